#pragma once

#include <QFont>
#include <QGraphicsItem>
#include <QPointF>
#include <QRectF>
#include <QString>

namespace QtCharts {
class QChart;
}

// The rounded bubble that shows a hovered data point's values, with a wedge
// pointing at the point. A child item of its chart; the operator can drag it.
class Callout : public QGraphicsItem
{
public:
    explicit Callout(QtCharts::QChart *ptChart);
    ~Callout() override;

    void setText(const QString &text);
    // The point in the chart's value coordinates.
    void setAnchor(QPointF point);
    // Places the bubble 10 pixels right of and 50 pixels above the anchor.
    void updateGeometry();
    // Shows text at point, above the chart's series.
    void ShowAt(QPointF point, const QString &text);

    QString text() const { return label; }
    QPointF anchor() const { return anchorPoint; }

    QRectF boundingRect() const override;
    void paint(QPainter *painter, const QStyleOptionGraphicsItem *option, QWidget *widget) override;

protected:
    void mousePressEvent(QGraphicsSceneMouseEvent *event) override;
    void mouseMoveEvent(QGraphicsSceneMouseEvent *event) override;

private:
    QPointF anchorInChart() const;
    QPointF anchorInItem() const;

    QString label;
    QRectF labelRect;
    QRectF boxRect;
    QPointF anchorPoint;
    QFont font;
    QtCharts::QChart *ptChart;
};
