#include "runfile.h"

#include <QDebug>
#include <QIODevice>
#include <QStringList>
#include <QXmlStreamReader>

namespace {

const char *const timeFormat = "yyyy-MM-dd HH:mm:ss";

// Reads the row times "yyyy-MM-dd HH:mm:ss" as local time. Converting each
// time through the time zone costs a look at the zone file; the rows of a run
// share their hour for minutes on end, so the hour is converted once and the
// minutes and seconds are added to it.
class RowTimeReader
{
public:
    QDateTime Read(const QString &text)
    {
        if (text.size() != 19 || text[13] != QLatin1Char(':') || text[16] != QLatin1Char(':'))
            return QDateTime::fromString(text, QString::fromLatin1(timeFormat));
        for (int i : {14, 15, 17, 18}) {
            if (!text[i].isDigit())
                return QDateTime();
        }
        const int minute = text.midRef(14, 2).toInt();
        const int second = text.midRef(17, 2).toInt();
        if (minute > 59 || second > 59)
            return QDateTime();
        const QStringRef hour = text.leftRef(13);
        if (hour != cachedHour) {
            cachedHour = hour.toString();
            hourStart = QDateTime::fromString(cachedHour + QStringLiteral(":00:00"),
                                              QString::fromLatin1(timeFormat));
        }
        if (!hourStart.isValid())
            return QDateTime();
        return hourStart.addSecs(minute * 60 + second);
    }

private:
    QString cachedHour;
    QDateTime hourStart;
};

} // namespace

RunFile RunFile::Read(QIODevice *device)
{
    RunFile content;
    QXmlStreamReader reader(device);
    RowTimeReader timeReader;
    bool isInRow = false;
    QStringList values;
    QString cell;
    while (!reader.atEnd()) {
        const QXmlStreamReader::TokenType token = reader.readNext();
        if (token == QXmlStreamReader::StartElement && reader.name() == QLatin1String("Row")) {
            isInRow = true;
            values.clear();
            cell.clear();
        } else if (token == QXmlStreamReader::Characters && isInRow && !reader.isWhitespace()) {
            // An entity splits a text into several pieces; they make one value.
            cell += reader.text();
        } else if (token == QXmlStreamReader::EndElement && isInRow) {
            if (!cell.isEmpty())
                values.append(cell);
            cell.clear();
            if (reader.name() != QLatin1String("Row"))
                continue;
            isInRow = false;
            if (values.size() < 4)
                qDebug() << "read xml error";
            Row row;
            bool isNumber[3] = {false, false, false};
            row.time = timeReader.Read(values.value(0));
            row.speed = values.value(1).toDouble(&isNumber[0]);
            row.level = values.value(2).toDouble(&isNumber[1]);
            row.quantity = values.value(3).toDouble(&isNumber[2]);
            // A missing or damaged value is never read as 0: the row is left out.
            if (row.time.isValid() && isNumber[0] && isNumber[1] && isNumber[2])
                content.rows.append(row);
            else
                ++content.unreadableRows;
        }
    }
    // A document cut inside a row leaves that row out, counted as unreadable.
    if (isInRow)
        ++content.unreadableRows;
    content.isComplete = !reader.hasError();
    if (reader.hasError())
        content.errorString = reader.errorString();
    return content;
}
