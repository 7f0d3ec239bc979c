#pragma once

#include <QDateTime>
#include <QString>
#include <QVector>

class QIODevice;

// The samples a measurement file holds, as the charts and the recovery of
// unfinished runs use them.
// Only the first four cells of each row are used (time, velocity, level,
// flow), so files with more columns read the same. A file cut short yields
// the rows before the cut.
class RunFile
{
public:
    struct Row
    {
        QDateTime time;
        double speed = 0;
        double level = 0;
        double quantity = 0;
    };

    QVector<Row> rows;
    // Rows without a valid time and three numbers; left out of rows.
    int unreadableRows = 0;
    // The document ended where it should, without an error.
    bool isComplete = false;
    // The reader's message when it stopped early.
    QString errorString;

    static RunFile Read(QIODevice *device);
};
