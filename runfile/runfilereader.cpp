// Reading the rows of a run's measurement file back.
#include "runfilereader.h"

RunFileReader::RunFileReader(QIODevice *device) : reader(device) {}

bool RunFileReader::ReadRow(QStringList &cells)
{
    cells.clear();
    isInRow = false;
    while (!reader.atEnd()) {
        const QXmlStreamReader::TokenType token = reader.readNext();
        if (token == QXmlStreamReader::EndElement && isInRow &&
            reader.name() == QLatin1String("Row")) {
            isInRow = false;
            return true;
        }
        if (token != QXmlStreamReader::StartElement)
            continue;
        const QStringRef name = reader.name();
        if (name == QLatin1String("Row")) {
            isInRow = true;
            cells.clear();
        } else if (isInRow && name == QLatin1String("Cell")) {
            // A spreadsheet program that saved the file skips empty cells
            // and numbers the next one.
            const int index = reader.attributes().value(QLatin1String("ss:Index")).toInt();
            while (index > cells.size() + 1 && index <= ColumnCount)
                cells.append(QString());
            cells.append(QString());
        } else if (isInRow && name == QLatin1String("Data") && !cells.isEmpty()) {
            cells.last() = reader.readElementText(QXmlStreamReader::IncludeChildElements).trimmed();
        }
    }
    return false;
}

QDateTime RunFileReader::RowTime(const QString &text)
{
    // The fast path knows where the separators of the hour, minutes and
    // seconds stand.
    static_assert(sizeof(RunFileFormat::RowTimeFormat) == 20, "the row time has 19 characters");
    const QLatin1String TimeFormat(RunFileFormat::RowTimeFormat);
    if (text.size() != 19 || text[13] != QLatin1Char(':') || text[16] != QLatin1Char(':'))
        return QDateTime::fromString(text, TimeFormat);
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
        hourStart = QDateTime::fromString(cachedHour + QStringLiteral(":00:00"), TimeFormat);
    }
    if (!hourStart.isValid())
        return QDateTime();
    return hourStart.addSecs(minute * 60 + second);
}
