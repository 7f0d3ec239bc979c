#include "runfile.h"

#include "runfileformat.h"
#include "runfilereader.h"

#include <QDebug>

RunFile RunFile::Read(QIODevice *device)
{
    RunFile content;
    RunFileReader reader(device);
    QStringList cells;
    while (reader.ReadRow(cells)) {
        // Rows hold four cells, or eight since the air gap, the discharge and
        // the signal strengths are recorded too; only the first four are used.
        if (cells.size() != RunFileFormat::OldColumnCount &&
            cells.size() != RunFileFormat::ColumnCount)
            qDebug() << "read xml error";
        Row row;
        bool isNumber[3] = {false, false, false};
        row.time = reader.RowTime(cells.value(0));
        row.speed = cells.value(1).toDouble(&isNumber[0]);
        row.level = cells.value(2).toDouble(&isNumber[1]);
        row.quantity = cells.value(3).toDouble(&isNumber[2]);
        // A missing or damaged value is never read as 0: the row is left out.
        if (row.time.isValid() && isNumber[0] && isNumber[1] && isNumber[2])
            content.rows.append(row);
        else
            ++content.unreadableRows;
    }
    // A document cut inside a row leaves that row out, counted as unreadable.
    if (reader.isInsideRow())
        ++content.unreadableRows;
    content.isComplete = !reader.hasError();
    if (reader.hasError())
        content.errorString = reader.errorString();
    return content;
}
