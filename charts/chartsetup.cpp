// The one way the program's charts are built and kept cheap to animate.
#include "chartsetup.h"

#include "callout.h"
#include "chart.h"
#include "chartview.h"

#include <QDateTimeAxis>
#include <QEvent>
#include <QGraphicsLineItem>
#include <QGraphicsRectItem>
#include <QGraphicsScene>
#include <QLineSeries>
#include <QPointer>
#include <QScatterSeries>
#include <QValueAxis>

#include <cmath>

using namespace QtCharts;

namespace {

constexpr int MarkerSize = 8;
// As many ticks as the framework's value axis shows by default.
constexpr int DefaultTickCount = 5;
const QColor MarkerColour(32, 159, 223, 255);

QFont AxisTitleFont()
{
    QFont font(QStringLiteral("ADMU13Lg"), 11);
    font.setItalic(false);
    return font;
}

// Keeps the frames of a chart's animations cheap and stops them where nobody
// sees them.
//
// Every frame repaints the axis lines, grid and backgrounds with the series,
// although most of them have not changed; each drawn once into a pixmap of its
// own, a frame costs a fraction. (Not the labels: the framework's tick labels
// vanish when cached.) The framework creates these items at the chart's first
// layout and again when a resize changes them, so they are looked for before
// the first paint after a show or a resize.
//
// A view that is hidden (another tab, a minimised window) animates without
// being seen; it gets its animations back when it is shown again.
class FrameSaver : public QObject
{
public:
    explicit FrameSaver(ChartView *view)
        : QObject(view), view(view), viewport(view->viewport()), chart(view->chart())
    {
        view->installEventFilter(this);
        viewport->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        // A view being destroyed still reports its hiding; its chart may be gone.
        if (!chart)
            return false;
        switch (event->type()) {
        case QEvent::Show:
        case QEvent::Resize:
            isStale = true;
            if (watched == view && event->type() == QEvent::Show && isParked) {
                isParked = false;
                chart->setAnimationOptions(parkedOptions);
            }
            break;
        case QEvent::Hide:
            if (watched == view && !isParked) {
                isParked = true;
                parkedOptions = chart->animationOptions();
                chart->setAnimationOptions(QChart::NoAnimation);
            }
            break;
        case QEvent::Paint:
            if (isStale && watched == viewport) {
                isStale = false;
                CacheStillItems();
            }
            break;
        default:
            break;
        }
        return false;
    }

private:
    void CacheStillItems()
    {
        if (!chart->scene())
            return;
        for (QGraphicsItem *item : chart->scene()->items()) {
            switch (item->type()) {
            case QGraphicsLineItem::Type:
            case QGraphicsRectItem::Type:
                if (item->cacheMode() == QGraphicsItem::NoCache)
                    item->setCacheMode(QGraphicsItem::DeviceCoordinateCache);
                break;
            default:
                break;
            }
        }
    }

    ChartView *view;
    QWidget *viewport;
    QPointer<QChart> chart;
    bool isStale = true;
    bool isParked = false;
    QChart::AnimationOptions parkedOptions;
};

// The smallest of 1, 2, 2.5 and 5 times a power of ten that is at least step.
double RoundStep(double step)
{
    const double power = std::pow(10.0, std::floor(std::log10(step)));
    for (double factor : {1.0, 2.0, 2.5, 5.0})
        if (factor * power >= step * (1 - 1e-9))
            return factor * power;
    return 10 * power;
}

// Ticks at round multiples counted from 0, chosen anew whenever zoom or pan
// change the range: a range that starts just below 0 (the detail charts' -0.0001,
// which keeps the zeros off the axis line) labels its bottom tick "0", never
// "-0.00", as ticks spread evenly from the range's own ends would.
void RoundTicks(QValueAxis *axis, int tickCount)
{
    const auto fit = [axis, tickCount](qreal min, qreal max) {
        const double step = (max - min) / qMax(tickCount - 1, 1);
        if (std::isfinite(step) && step > 0)
            axis->setTickInterval(RoundStep(step));
    };
    axis->setTickAnchor(0);
    axis->setTickType(QValueAxis::TicksDynamic);
    QObject::connect(axis, &QValueAxis::rangeChanged, axis, fit);
    fit(axis->min(), axis->max());
}

QAbstractAxis *MakeAxis(const ChartSetup::Axis &spec, Chart *chart, Qt::Alignment alignment)
{
    QAbstractAxis *axis = nullptr;
    if (spec.kind == ChartSetup::Axis::Kind::Time) {
        auto *time = new QDateTimeAxis(chart);
        if (spec.tickCount > 0)
            time->setTickCount(spec.tickCount);
        if (!spec.format.isEmpty())
            time->setFormat(spec.format);
        axis = time;
    } else {
        auto *value = new QValueAxis(chart);
        if (spec.tickCount > 0)
            value->setTickCount(spec.tickCount);
        if (!spec.format.isEmpty())
            value->setLabelFormat(spec.format);
        axis = value;
    }
    if (!spec.title.isEmpty()) {
        axis->setTitleText(spec.title);
        axis->setTitleFont(AxisTitleFont());
    }
    chart->addAxis(axis, alignment);
    if (auto *value = qobject_cast<QValueAxis *>(axis)) {
        value->setRange(spec.min, spec.max);
        // Only a range that starts below 0 needs them: the framework's own
        // ticks label a bottom of exactly 0 as "0.00".
        if (spec.min < 0)
            RoundTicks(value, spec.tickCount > 0 ? spec.tickCount : DefaultTickCount);
    }
    return axis;
}

} // namespace

QString ChartSetup::ValueText(double value, int precision)
{
    // -0.0 compares equal to 0 and leaves as 0, without its sign.
    return QString::number(value == 0 ? 0.0 : value, 'g', precision);
}

ChartSetup ChartSetup::Live(const QString &timeTitle, const QString &valueTitle, double valueMax)
{
    ChartSetup setup;
    setup.axisX.kind = Axis::Kind::Time;
    setup.axisX.title = timeTitle;
    setup.axisX.format = QStringLiteral("HH:mm:ss");
    setup.axisX.tickCount = 5;
    setup.axisY.title = valueTitle;
    setup.axisY.max = valueMax;
    setup.hasCallout = true;
    setup.isMoving = true;
    return setup;
}

ChartSetup::Parts ChartSetup::Build(ChartView *view) const
{
    Parts parts;
    parts.chart = new Chart;
    parts.line = new QLineSeries(parts.chart);
    parts.chart->addSeries(parts.line);
    if (hasScatter) {
        parts.scatter = new QScatterSeries(parts.chart);
        parts.scatter->setMarkerSize(MarkerSize);
        parts.scatter->setColor(MarkerColour);
        parts.chart->addSeries(parts.scatter);
    }
    parts.axisX = MakeAxis(axisX, parts.chart, Qt::AlignBottom);
    parts.axisY = MakeAxis(axisY, parts.chart, Qt::AlignLeft);
    for (QAbstractAxis *axis : {parts.axisX, parts.axisY}) {
        parts.line->attachAxis(axis);
        if (parts.scatter)
            parts.scatter->attachAxis(axis);
    }

    parts.chart->legend()->hide();
    // The framework crashes animating an axis whose tick count changes with
    // its range (round ticks): such charts animate their series only.
    parts.chart->setAnimationOptions(axisY.kind == Axis::Kind::Value && axisY.min < 0
                                         ? QChart::SeriesAnimations
                                         : QChart::AllAnimations);
    if (isMoving)
        parts.chart->setAnimationDuration(AnimationMs);
    view->installChart(parts.chart);
    view->setRenderHint(QPainter::Antialiasing);
    if (isMoving)
        new FrameSaver(view);
    if (hasCallout) {
        parts.callout = new Callout(parts.chart);
        parts.callout->hide();
    }
    return parts;
}
