#pragma once

#include <QString>

// One recorded run as it enters the history. The three means are kept as
// text with three decimals; the columns they fill are named min, max and
// average for historical reasons but hold the mean velocity, level and flow.
struct HistoryRecord
{
    QString startTime;    // RunFileFormat::StartTimeFormat, local
    QString durationTime; // days-hours:minutes:seconds, unpadded
    int count = 0;        // data rows in the file
    QString min;          // mean surface velocity, m/s
    QString max;          // mean water level, m
    QString average;      // mean flow, m³/s
    QString filePath;     // absolute, "/" separators
};
