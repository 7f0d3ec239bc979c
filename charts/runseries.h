#pragma once

#include <QObject>
#include <QPointF>
#include <QPointer>
#include <QVector>

namespace QtCharts {
class QDateTimeAxis;
class QLineSeries;
class QScatterSeries;
} // namespace QtCharts

// Every sample of a measurement run against time, kept in a plain array; the
// chart's line and scatter series hold only what the time axis shows. When a
// zoomed-out range holds more samples than the plot has pixel columns, each
// column keeps its lowest and highest sample, so peaks stay visible and every
// sample stays reachable by zooming in. A sample therefore costs the same in the
// first minute of a run as on its third day.
//
// Create it once both series are in their chart and attached to the time axis;
// from then on samples go through append(), never straight into the series.
// It follows the axis by itself: scrolling, zooming and setting the axis range
// re-slice the series.
class RunSeries : public QObject
{
    Q_OBJECT

public:
    RunSeries(QtCharts::QLineSeries *ptLineSeries, QtCharts::QScatterSeries *ptScatterSeries,
              QtCharts::QDateTimeAxis *ptAxisX, QObject *parent = nullptr);
    ~RunSeries() override;

    // One sample: msecs since the epoch and the value in the axis unit.
    void append(qint64 msecs, double value);
    // A whole run at once (x in msecs since the epoch, in any order).
    void replace(QVector<QPointF> points);
    // Forgets every sample and empties both series.
    void clear();

    int size() const { return samples.size(); }
    bool isEmpty() const { return samples.isEmpty(); }
    // Sample i in time order: x = msecs since the epoch.
    QPointF at(int i) const { return samples.at(i); }
    const QVector<QPointF> &points() const { return samples; }

public slots:
    // Hands both series what the time axis shows now.
    void refresh();

private:
    enum class Shown
    {
        Nothing,
        Slice,
        Thinned
    };

    void update(bool mayTrim);
    int plotColumns() const;
    QVector<QPointF> thinned(int first, int last, double minX, double maxX, int columns) const;
    void showAll(const QVector<QPointF> &points);
    bool seriesIntact(int expected) const;

    QPointer<QtCharts::QLineSeries> ptLineSeries;
    QPointer<QtCharts::QScatterSeries> ptScatterSeries;
    QPointer<QtCharts::QDateTimeAxis> ptAxisX;
    QVector<QPointF> samples;

    Shown shown = Shown::Nothing;
    // While a slice is shown: the series hold samples [sliceLo, sliceHi).
    int sliceLo = 0;
    int sliceHi = 0;
    // While thinned: what the series hold.
    QVector<QPointF> thinnedShown;
};
