// Rubber-band zoom, keyboard zoom and scroll, and touch handling of a chart view.
#include "chartview.h"

#include <QKeyEvent>
#include <QMouseEvent>

using QtCharts::QChart;

ChartView::ChartView(QWidget *parent) : QChartView(parent)
{
    setRubberBand(QChartView::HorizontalRubberBand);
}

ChartView::ChartView(QChart *chart, QWidget *parent) : QChartView(chart, parent)
{
    setRubberBand(QChartView::HorizontalRubberBand);
}

ChartView::~ChartView() = default;

void ChartView::installChart(QChart *newChart)
{
    QChart *old = chart();
    setChart(newChart);
    if (old != newChart)
        delete old;
}

bool ChartView::viewportEvent(QEvent *event)
{
    if (event->type() == QEvent::TouchBegin) {
        // Animating while a finger drags the content only makes it lag behind.
        isTouching = true;
        chart()->setAnimationOptions(QChart::NoAnimation);
    }
    return QGraphicsView::viewportEvent(event);
}

void ChartView::mousePressEvent(QMouseEvent *event)
{
    if (isTouching)
        return;
    QChartView::mousePressEvent(event);
}

void ChartView::mouseMoveEvent(QMouseEvent *event)
{
    if (isTouching)
        return;
    QChartView::mouseMoveEvent(event);
}

void ChartView::mouseReleaseEvent(QMouseEvent *event)
{
    if (isTouching)
        isTouching = false;
    chart()->setAnimationOptions(QChart::SeriesAnimations);
    QChartView::mouseReleaseEvent(event);
}

void ChartView::keyPressEvent(QKeyEvent *event)
{
    switch (event->key()) {
    case Qt::Key_Plus:
        chart()->zoomIn();
        break;
    case Qt::Key_Minus:
        chart()->zoomOut();
        break;
    case Qt::Key_Left:
        chart()->scroll(-10, 0);
        break;
    case Qt::Key_Right:
        chart()->scroll(10, 0);
        break;
    case Qt::Key_Up:
        chart()->scroll(0, 10);
        break;
    case Qt::Key_Down:
        chart()->scroll(0, -10);
        break;
    default:
        QGraphicsView::keyPressEvent(event);
        break;
    }
}
