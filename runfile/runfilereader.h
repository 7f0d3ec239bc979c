#pragma once

#include "runfileformat.h"

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <QXmlStreamReader>

class QIODevice;

// The rows of a run's measurement file, in file order, as the texts of their
// cells. Older files hold four cells a row (time, velocity, level, flow); newer
// ones four more after them (air gap, discharge, the velocity and the level
// radar's signal strength). Reading stops at the first defect of the XML, so a
// file cut short by a killed program gives every row before the cut.
class RunFileReader
{
public:
    static constexpr int OldColumnCount = RunFileFormat::OldColumnCount;
    static constexpr int ColumnCount = RunFileFormat::ColumnCount;

    explicit RunFileReader(QIODevice *device);

    // The next row's cells, an empty cell as an empty text. False at the end
    // of the file or at a defect.
    bool ReadRow(QStringList &cells);
    // A time cell (RunFileFormat::RowTimeFormat, local) as a date-time;
    // invalid when the text is no such time.
    QDateTime RowTime(const QString &text);

    // Reading stopped inside a row: the file was cut there.
    bool isInsideRow() const { return isInRow; }
    bool hasError() const { return reader.hasError(); }
    QString errorString() const { return reader.errorString(); }

private:
    QXmlStreamReader reader;
    bool isInRow = false;
    // Converting each time through the time zone costs a look at the zone
    // file; the rows of a run share their hour for minutes on end, so the
    // hour is converted once and the minutes and seconds are added to it.
    QString cachedHour;
    QDateTime hourStart;
};
