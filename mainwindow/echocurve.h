#pragma once

#include <QByteArray>
#include <QPointF>
#include <QVector>

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
    int VelocityAxisMax() const { return maxAmplitude + maxAmplitude / 10 + 1; }
    int LevelAxisMax() const { return maxAmplitude + maxAmplitude / 10; }

    // Reads the bytes up to the first NUL, or all of them.
    static EchoCurve Parse(const QByteArray &data);
};
