#pragma once

#include <QObject>
#include <QString>

class Callout;
class Chart;
class ChartView;

namespace QtCharts {
class QAbstractAxis;
class QLineSeries;
class QScatterSeries;
} // namespace QtCharts

// How the program builds a chart into its view: a line series, optionally a
// scatter series of hoverable points on it and a hidden call-out, over a
// horizontal and a vertical axis. What tells one chart from another is given
// as data; the rest (look, animations) is the same for every chart built
// here.
class ChartSetup
{
public:
    // Long enough to read as motion (the new point slides in, the time axis
    // moves), short enough that a sample a second costs little CPU.
    static constexpr int AnimationMs = 150;

    struct Axis
    {
        enum class Kind
        {
            Time,
            Value
        };
        Kind kind = Kind::Value;
        QString title;
        // Label format; empty leaves the framework's.
        QString format;
        // 0 leaves the framework's.
        int tickCount = 0;
        // Value axes only.
        double min = 0;
        double max = 0;
    };

    // What Build made; the view owns the chart, the chart everything else.
    struct Parts
    {
        Chart *chart = nullptr;
        QtCharts::QLineSeries *line = nullptr;
        QtCharts::QScatterSeries *scatter = nullptr;
        QtCharts::QAbstractAxis *axisX = nullptr;
        QtCharts::QAbstractAxis *axisY = nullptr;
        Callout *callout = nullptr;

        // Hands the parts to the caller's own pointers, the axes as the
        // kinds built.
        template <typename AxisX, typename AxisY>
        void Into(Chart *&toChart, QtCharts::QLineSeries *&toLine,
                  QtCharts::QScatterSeries *&toScatter, AxisX *&toAxisX, AxisY *&toAxisY,
                  Callout *&toCallout) const
        {
            toChart = chart;
            toLine = line;
            toScatter = scatter;
            toAxisX = qobject_cast<AxisX *>(axisX);
            toAxisY = qobject_cast<AxisY *>(axisY);
            toCallout = callout;
        }
    };

    // A live chart: values against the time of day, newest point marked.
    static ChartSetup Live(const QString &timeTitle, const QString &valueTitle, double valueMax);

    Parts Build(ChartView *view) const;

    // A value as the charts' labels show it: the general format with
    // precision significant digits, never a negative zero.
    static QString ValueText(double value, int precision = 6);

    Axis axisX;
    Axis axisY;
    bool hasScatter = true;
    // Empty until the first hover places it.
    bool hasCallout = false;
    // A chart that moves with every sample: short animations, frames kept
    // cheap, and no animations while nobody sees it. Others animate as the
    // framework does.
    bool isMoving = false;
};
