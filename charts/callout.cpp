// The hover bubble: its measured box, its placement beside the anchor and its wedge.
#include "callout.h"

#include <QChart>
#include <QFontMetrics>
#include <QGraphicsSceneMouseEvent>
#include <QPainter>
#include <QPainterPath>

#include <cmath>

Callout::Callout(QtCharts::QChart *ptChart) : QGraphicsItem(ptChart), ptChart(ptChart) {}

Callout::~Callout() = default;

void Callout::setText(const QString &text)
{
    label = text;
    const QFontMetrics metrics(font);
    // Lines break only where the text has line breaks.
    labelRect = metrics.boundingRect(QRect(0, 0, 150, 150), Qt::AlignLeft, label);
    labelRect.translate(5, 5);
    prepareGeometryChange();
    boxRect = labelRect.adjusted(-5, -5, 5, 5);
}

void Callout::setAnchor(QPointF point)
{
    anchorPoint = point;
}

QPointF Callout::anchorInChart() const
{
    // Without a chart there are no value coordinates; the anchor is then taken in pixels.
    return ptChart ? ptChart->mapToPosition(anchorPoint) : anchorPoint;
}

void Callout::updateGeometry()
{
    prepareGeometryChange();
    setPos(anchorInChart() + QPointF(10, -50));
}

void Callout::ShowAt(QPointF point, const QString &text)
{
    // Above the series and their points.
    constexpr int CalloutZ = 11;
    setText(text);
    setAnchor(point);
    setZValue(CalloutZ);
    updateGeometry();
    show();
}

QPointF Callout::anchorInItem() const
{
    return mapFromParent(anchorInChart());
}

QRectF Callout::boundingRect() const
{
    const QPointF a = anchorInItem();
    QRectF rect;
    rect.setLeft(qMin(boxRect.left(), a.x()));
    rect.setRight(qMax(boxRect.right(), a.x()));
    rect.setTop(qMin(boxRect.top(), a.y()));
    rect.setBottom(qMax(boxRect.bottom(), a.y()));
    return rect;
}

void Callout::paint(QPainter *painter, const QStyleOptionGraphicsItem *, QWidget *)
{
    QPainterPath path;
    path.addRoundedRect(boxRect, 5, 5);

    const QPointF a = anchorInItem();
    if (!boxRect.contains(a)) {
        const qreal top = boxRect.top();
        const qreal bottom = boxRect.bottom();
        const qreal left = boxRect.left();
        const qreal right = boxRect.right();
        const QPointF centre = boxRect.center();

        const bool above = a.y() <= top;
        const bool aboveCenter = a.y() > top && a.y() <= centre.y();
        const bool belowCenter = a.y() > centre.y() && a.y() <= bottom;
        const bool below = a.y() > bottom;
        const bool onLeft = a.x() <= left;
        const bool leftOfCenter = a.x() > left && a.x() <= centre.x();
        const bool rightOfCenter = a.x() > centre.x() && a.x() <= right;
        const bool onRight = a.x() > right;

        // The corner or edge of the box nearest to the anchor; the wedge's
        // base sits on it, 10 to 20 pixels from that corner.
        const qreal x = (onRight + rightOfCenter) * boxRect.width();
        const qreal y = (below + belowCenter) * boxRect.height();
        const bool cornerCase = (above || below) && (onLeft || onRight);
        const bool vertical = std::abs(a.x() - x) > std::abs(a.y() - y);

        const qreal x1 = x + leftOfCenter * 10 - rightOfCenter * 20 +
                         cornerCase * !vertical * (onLeft * 10 - onRight * 20);
        const qreal y1 = y + aboveCenter * 10 - belowCenter * 20 +
                         cornerCase * vertical * (above * 10 - below * 20);
        const qreal x2 = x + leftOfCenter * 20 - rightOfCenter * 10 +
                         cornerCase * !vertical * (onLeft * 20 - onRight * 10);
        const qreal y2 = y + aboveCenter * 20 - belowCenter * 10 +
                         cornerCase * vertical * (above * 20 - below * 10);

        path.moveTo(x1, y1);
        path.lineTo(a);
        path.lineTo(x2, y2);
        path = path.simplified();
    }

    painter->setPen(
        QPen(QBrush(QColor(255, 255, 255, 255)), 1, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter->setBrush(QColor(0, 137, 224, 230));
    painter->drawPath(path);
    painter->drawText(labelRect, label, QTextOption());
}

void Callout::mousePressEvent(QGraphicsSceneMouseEvent *event)
{
    // Taking the press makes the bubble the mouse grabber, so it can be dragged.
    event->setAccepted(true);
}

void Callout::mouseMoveEvent(QGraphicsSceneMouseEvent *event)
{
    if (event->buttons() & Qt::LeftButton) {
        setPos(mapToParent(event->pos() - event->buttonDownPos(Qt::LeftButton)));
        event->setAccepted(true);
    } else {
        event->setAccepted(false);
    }
}
