#pragma once

#include <QChart>

class QGestureEvent;

// A cartesian chart that the operator pans and pinch-zooms with touch
// gestures. The chart item itself grabs the gestures, not the view.
class Chart : public QtCharts::QChart
{
    Q_OBJECT

public:
    explicit Chart(QGraphicsItem *parent = nullptr, Qt::WindowFlags wFlags = Qt::WindowFlags());
    ~Chart() override;

protected:
    bool sceneEvent(QEvent *event) override;

private:
    bool gestureEvent(QGestureEvent *event);
};
