#pragma once

#include <QtCore>

// Measurement files for tests, written and read without the program's code.
namespace RunFileMaker {

// Writes rows of time, velocity, level and flow in the recorder's layout:
// head, table, one row of four cells per sample, tail (left off when not
// finished, as a killed writer leaves it). Returns the absolute path.
inline QString Write(const QString &path, const QList<QStringList> &rows, bool isFinished = true)
{
    QByteArray xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                     "<Workbook xmlns=\"urn:schemas-microsoft-com:office:spreadsheet\"\n"
                     " xmlns:x=\"urn:schemas-microsoft-com:office:excel\"\n"
                     " xmlns:ss=\"urn:schemas-microsoft-com:office:spreadsheet\">\n"
                     " <Worksheet ss:Name=\"Sheet1\">\n"
                     "<Table ss:ExpandedColumnCount=\"4\" ss:ExpandedRowCount=\"10\">\n";
    for (const QStringList &row : rows) {
        xml += "<Row><Cell><Data ss:Type=\"String\" x:Ticked=\"1\">" + row.value(0).toUtf8() +
               "</Data></Cell>\n";
        for (const QString &value : row.mid(1))
            xml += "<Cell><Data ss:Type=\"Number\">" + value.toUtf8() + "</Data></Cell>\n";
        xml += "</Row>\n";
    }
    if (isFinished)
        xml += "</Table>\n </Worksheet>\n</Workbook>\n";
    QFile file(QDir::current().absoluteFilePath(path));
    if (!file.open(QIODevice::WriteOnly) || file.write(xml) != xml.size())
        return QString();
    return file.fileName();
}

// The cell texts of every row, and the table's declared row count.
inline QList<QStringList> Read(const QString &path, QString *rowCount = nullptr)
{
    QList<QStringList> rows;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return rows;
    QXmlStreamReader reader(&file);
    while (!reader.atEnd()) {
        if (reader.readNext() != QXmlStreamReader::StartElement)
            continue;
        if (reader.qualifiedName() == QLatin1String("Table") && rowCount)
            *rowCount = reader.attributes().value("ss:ExpandedRowCount").toString();
        else if (reader.qualifiedName() == QLatin1String("Row"))
            rows.append(QStringList());
        else if (reader.qualifiedName() == QLatin1String("Data") && !rows.isEmpty())
            rows.last().append(reader.readElementText());
    }
    return rows;
}

// count rows from start, stepSeconds apart, all with the same three values.
inline QList<QStringList> Rows(const QString &start, int count, int stepSeconds,
                               const QStringList &values)
{
    const QDateTime first = QDateTime::fromString(start, QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    QList<QStringList> rows;
    for (int i = 0; i < count; ++i)
        rows.append(QStringList{first.addSecs(qint64(i) * stepSeconds)
                                    .toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"))} +
                    values);
    return rows;
}

} // namespace RunFileMaker
