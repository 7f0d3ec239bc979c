#pragma once

#include <QChartView>

// The view of every chart: a horizontal drag zooms to the dragged time range,
// the keyboard zooms and scrolls, and a touch sequence never turns into a
// rubber band.
class ChartView : public QtCharts::QChartView
{
public:
    explicit ChartView(QWidget *parent = nullptr);
    explicit ChartView(QtCharts::QChart *chart, QWidget *parent = nullptr);
    ~ChartView() override;

    // Shows chart, which the view then owns, and deletes the chart it showed
    // before: QChartView only lets go of the old one, which would leak the
    // placeholder every view is made with.
    void installChart(QtCharts::QChart *chart);

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    bool viewportEvent(QEvent *event) override;

private:
    bool isTouching = false;
};
