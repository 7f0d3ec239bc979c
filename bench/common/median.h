#pragma once

#include <QVector>

#include <algorithm>

// The middle of repeated measurements: one slow run (a busy machine) does
// not move it.
inline double Median(QVector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}
