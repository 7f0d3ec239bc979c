#pragma once

#include <QByteArray>
#include <QPointF>
#include <QVector>

#include <limits>

// An echo spectrum as the instrument sends it: decimal amplitudes in ASCII,
// each ended by CR LF. A text that ends with CR LF yields one last point
// (n, 0), which lies on the right edge of the chart.
struct EchoCurve
{
    // (index, amplitude); an entry that is not a number counts as 0.
    QVector<QPointF> points;
    // How many CR LF the text holds: the chart's horizontal range.
    int crlfCount = 0;
    int maxAmplitude = 0;

    // The top of the vertical axis: a tenth of headroom above the peak, and
    // for the velocity radar one more so that a flat spectrum still has a range.
    // A peak near the largest int keeps the axis there instead of wrapping.
    int VelocityAxisMax() const { return Headroom(maxAmplitude, 1); }
    int LevelAxisMax() const { return Headroom(maxAmplitude, 0); }

    // Reads the bytes up to the first NUL, or all of them.
    static EchoCurve Parse(const QByteArray &data);

private:
    static int Headroom(int peak, int extra)
    {
        return int(qMin<qint64>(std::numeric_limits<int>::max(), qint64(peak) + peak / 10 + extra));
    }
};
