// Converting a run's measurement file into CSV.
#include "csvexport.h"
#include "checkedfile.h"
#include "runfileformat.h"
#include "runfilereader.h"

#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QVector>

#include <cmath>

namespace {

QString IsoTime(const QDateTime &time)
{
    // Qt writes a zero offset as "Z"; scripts get the same shape every time.
    const int offset = time.offsetFromUtc();
    const int minutes = std::abs(offset) / 60;
    return time.toString(QLatin1String(RunFileFormat::CsvTimeFormat)) +
           QStringLiteral("%1%2:%3")
               .arg(offset < 0 ? QLatin1Char('-') : QLatin1Char('+'))
               .arg(minutes / 60, 2, 10, QLatin1Char('0'))
               .arg(minutes % 60, 2, 10, QLatin1Char('0'));
}

QString NumberField(const QString &cell)
{
    // toDouble() reads the '.' of the file whatever the locale, and number()
    // writes it back the same way, with as many digits as the value needs.
    bool isNumber = false;
    const double value = cell.toDouble(&isNumber);
    if (!isNumber || !std::isfinite(value))
        return QString();
    return QString::number(value, 'g', QLocale::FloatingPointShortest);
}

} // namespace

bool CsvExport::Convert(const QString &runPath, QByteArray &csv)
{
    lastError.clear();
    QFile file(runPath);
    if (!file.open(QIODevice::ReadOnly)) {
        lastError = QStringLiteral("%1: %2").arg(runPath, file.errorString());
        return false;
    }

    RunFileReader reader(&file);
    QVector<QStringList> fields;
    int columns = RunFileFormat::OldColumnCount;
    QStringList cells;
    while (reader.ReadRow(cells)) {
        const QDateTime time = reader.RowTime(cells.value(0));
        if (!time.isValid() || cells.size() < RunFileFormat::OldColumnCount)
            continue;
        QStringList row{IsoTime(time)};
        for (int i = 1; i < qMin(int(cells.size()), RunFileFormat::ColumnCount); ++i)
            row.append(NumberField(cells[i]));
        columns = qMax(columns, int(row.size()));
        fields.append(row);
    }
    // A file cut short keeps the rows before the cut; a file without a single
    // row is no measurement file.
    if (fields.isEmpty()) {
        lastError = reader.hasError() ? QStringLiteral("%1: not a measurement file: %2")
                                            .arg(runPath, reader.errorString())
                                      : QStringLiteral("%1: no measurement rows").arg(runPath);
        return false;
    }

    QStringList header;
    for (int i = 0; i < columns; ++i)
        header.append(QLatin1String(RunFileFormat::ColumnNames[i]));
    csv = header.join(QLatin1Char(',')).toUtf8() + '\n';
    for (QStringList &row : fields) {
        while (row.size() < columns)
            row.append(QString());
        csv += row.join(QLatin1Char(',')).toUtf8() + '\n';
    }
    return true;
}

bool CsvExport::Export(const QString &runPath, QIODevice *out)
{
    QByteArray csv;
    if (!Convert(runPath, csv))
        return false;
    if (out->write(csv) != csv.size()) {
        lastError = out->errorString();
        return false;
    }
    return true;
}

bool CsvExport::ExportFile(const QString &runPath, const QString &csvPath)
{
    QByteArray csv;
    if (!Convert(runPath, csv))
        return false;
    // Writing onto the run file would replace the record with its own copy.
    if (QFileInfo(csvPath) == QFileInfo(runPath)) {
        lastError = QStringLiteral("%1: the CSV would replace the run file").arg(csvPath);
        return false;
    }
    // A device or a pipe is written as a stream; replacing it by a regular
    // file would take the node away from the system.
    const QFileInfo target(csvPath);
    QString error;
    if (target.exists() && !target.isFile()) {
        QFile stream(csvPath);
        if (!stream.open(QIODevice::WriteOnly) || !CheckedFile::Write(&stream, csv, &error)) {
            lastError = QStringLiteral("%1: %2").arg(csvPath, error.isEmpty() ? stream.errorString()
                                                                              : error);
            return false;
        }
        return true;
    }
    // An existing CSV is replaced only by a complete one.
    if (!CheckedFile::Replace(csvPath, csv, &error)) {
        lastError = QStringLiteral("%1: %2").arg(csvPath, error);
        return false;
    }
    return true;
}
