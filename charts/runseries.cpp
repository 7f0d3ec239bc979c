// A run's samples and the slice of them that the chart's series show.
#include "runseries.h"

#include <QChart>
#include <QDateTime>
#include <QDateTimeAxis>
#include <QLineSeries>
#include <QScatterSeries>

#include <algorithm>
#include <cmath>

using namespace QtCharts;

namespace {

// Series animations morph the old geometry into the new one point by point. A
// step of one added point and one point dropped at the left edge morphs
// smoothly; a larger change of the point count redraws the line from the left.
// So a sliding window adds and drops one point at a time, and lets a few points
// that slid out on the left linger rather than drop several at once.
constexpr int MaxStepAppends = 4;
constexpr int MaxLingering = 8;

// Used until the chart has been laid out and knows its plot width.
constexpr int DefaultColumns = 1024;

bool earlierThan(const QPointF &point, double x)
{
    return point.x() < x;
}

bool laterThan(double x, const QPointF &point)
{
    return x < point.x();
}

// Time per thinning column, rounded up to 1, 1.25, 1.5 or 1.75 times a power of
// two, so that a window that keeps its span while it scrolls keeps its columns
// in the same places and a re-thinned picture differs only at its edges.
double columnWidth(double span, int columns)
{
    const double raw = span / columns;
    if (raw <= 1.0)
        return 1.0;
    const double power = std::exp2(std::floor(std::log2(raw)));
    const double quarters = std::ceil(raw / power * 4.0);
    return power * quarters / 4.0;
}

} // namespace

RunSeries::RunSeries(QLineSeries *ptLineSeries, QScatterSeries *ptScatterSeries,
                     QDateTimeAxis *ptAxisX, QObject *parent)
    : QObject(parent), ptLineSeries(ptLineSeries), ptScatterSeries(ptScatterSeries),
      ptAxisX(ptAxisX)
{
    if (ptAxisX)
        connect(ptAxisX, &QDateTimeAxis::rangeChanged, this, &RunSeries::refresh);
    if (ptLineSeries && ptLineSeries->chart())
        connect(ptLineSeries->chart(), &QChart::plotAreaChanged, this, &RunSeries::refresh);
}

RunSeries::~RunSeries() = default;

void RunSeries::append(qint64 msecs, double value)
{
    const QPointF point(double(msecs), value);
    if (samples.isEmpty() || samples.constLast().x() <= point.x()) {
        samples.append(point);
    } else {
        // A clock set back: keep the run in time order and redraw.
        const auto at = std::upper_bound(samples.begin(), samples.end(), point.x(), laterThan);
        samples.insert(at, point);
        shown = Shown::Nothing;
    }
    // No point is dropped here: the axis usually scrolls right after a sample,
    // and the drop belongs to that step.
    update(false);
}

void RunSeries::replace(QVector<QPointF> points)
{
    std::stable_sort(points.begin(), points.end(),
                     [](const QPointF &a, const QPointF &b) { return a.x() < b.x(); });
    samples = std::move(points);
    shown = Shown::Nothing;
    update(true);
}

void RunSeries::clear()
{
    samples.clear();
    samples.squeeze();
    showAll({});
    shown = Shown::Nothing;
    thinnedShown.clear();
}

void RunSeries::refresh()
{
    update(true);
}

int RunSeries::plotColumns() const
{
    const QChart *chart = ptLineSeries ? ptLineSeries->chart() : nullptr;
    const int width = chart ? int(std::ceil(chart->plotArea().width())) : 0;
    return width >= 16 ? width : DefaultColumns;
}

bool RunSeries::seriesIntact(int expected) const
{
    return ptLineSeries->count() == expected && ptScatterSeries->count() == expected;
}

void RunSeries::update(bool mayTrim)
{
    if (!ptLineSeries || !ptScatterSeries || !ptAxisX)
        return;
    if (samples.isEmpty()) {
        if (shown != Shown::Nothing || !seriesIntact(0))
            showAll({});
        shown = Shown::Nothing;
        thinnedShown.clear();
        return;
    }

    const double minX = double(ptAxisX->min().toMSecsSinceEpoch());
    const double maxX = double(ptAxisX->max().toMSecsSinceEpoch());
    const int n = samples.size();
    // Samples inside the window are [first, last); one more on each side lets
    // the line run on to the plot's edges.
    const int first = int(std::lower_bound(samples.cbegin(), samples.cend(), minX, earlierThan) -
                          samples.cbegin());
    const int last =
        int(std::upper_bound(samples.cbegin(), samples.cend(), maxX, laterThan) - samples.cbegin());
    const int lo = qMax(0, first - 1);
    const int hi = qMin(n, last + 1);

    const int columns = plotColumns();
    if (last - first > columns) {
        QVector<QPointF> points = thinned(first, last, minX, maxX, columns);
        if (shown == Shown::Thinned && seriesIntact(thinnedShown.size()) &&
            points.size() == thinnedShown.size() &&
            std::equal(points.cbegin(), points.cend(), thinnedShown.cbegin(),
                       [](const QPointF &a, const QPointF &b) {
                           return a.x() == b.x() && a.y() == b.y();
                       }))
            return;
        showAll(points);
        thinnedShown = std::move(points);
        shown = Shown::Thinned;
        return;
    }

    // The window slid right, or grew on the right: add the new samples on the
    // right and let the ones that left on the left go one at a time.
    if (shown == Shown::Slice && seriesIntact(sliceHi - sliceLo) && lo >= sliceLo &&
        hi >= sliceHi && hi - sliceHi <= MaxStepAppends && lo - sliceLo <= MaxLingering) {
        for (int i = sliceHi; i < hi; ++i) {
            ptLineSeries->append(samples.at(i));
            ptScatterSeries->append(samples.at(i));
        }
        sliceHi = hi;
        if (mayTrim && lo > sliceLo) {
            ptLineSeries->removePoints(0, 1);
            ptScatterSeries->removePoints(0, 1);
            ++sliceLo;
        }
        return;
    }

    showAll(samples.mid(lo, hi - lo));
    thinnedShown.clear();
    sliceLo = lo;
    sliceHi = hi;
    shown = Shown::Slice;
}

// Per column of the plot the lowest and the highest sample, in time order, two
// points per column whatever the data, so that a scrolling window keeps its
// point count and morphs in place. The first point is the sample left of the
// window (or the window's first sample), the last one the sample right of it
// (or the window's last sample): the run's first and newest samples are always
// among the points when the window holds them.
QVector<QPointF> RunSeries::thinned(int first, int last, double minX, double maxX,
                                    int columns) const
{
    const double width = columnWidth(qMax(maxX - minX, 1.0), columns);
    const double firstColumn = std::floor(minX / width);
    const int count = int(std::ceil((maxX - minX) / width)) + 1;

    QVector<QPointF> points;
    points.reserve(2 * count + 2);
    points.append(samples.at(first > 0 ? first - 1 : first));

    int i = first;
    for (int column = 0; column < count; ++column) {
        int lowest = -1;
        int highest = -1;
        // The last column also takes what rounding may leave beyond it.
        for (; i < last; ++i) {
            const double at = std::floor(samples.at(i).x() / width) - firstColumn;
            if (at > column && column < count - 1)
                break;
            if (lowest < 0 || samples.at(i).y() < samples.at(lowest).y())
                lowest = i;
            if (highest < 0 || samples.at(i).y() > samples.at(highest).y())
                highest = i;
        }
        if (lowest < 0) {
            // An empty column repeats the previous point: the line and the
            // markers look the same, and the count stays put.
            const QPointF previous = points.constLast();
            points.append(previous);
            points.append(previous);
            continue;
        }
        points.append(samples.at(qMin(lowest, highest)));
        points.append(samples.at(qMax(lowest, highest)));
    }

    points.append(samples.at(last < samples.size() ? last : last - 1));
    return points;
}

void RunSeries::showAll(const QVector<QPointF> &points)
{
    if (!ptLineSeries || !ptScatterSeries)
        return;
    ptLineSeries->replace(points);
    ptScatterSeries->replace(points);
}
