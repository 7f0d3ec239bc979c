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

QString CsvExport::IsoTime(const QDateTime &time)
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

QString CsvExport::Number(double value)
{
    // number() writes the '.' whatever the locale, with as many digits as
    // the value needs.
    if (!std::isfinite(value))
        return QString();
    return QString::number(value, 'g', QLocale::FloatingPointShortest);
}

QByteArray CsvExport::Header(int columns)
{
    QStringList header;
    for (int i = 0; i < qMin(columns, int(RunFileFormat::ColumnCount)); ++i)
        header.append(QLatin1String(RunFileFormat::ColumnNames[i]));
    return header.join(QLatin1Char(',')).toUtf8() + '\n';
}

namespace {

QString NumberField(const QString &cell)
{
    // toDouble() reads the '.' of the file whatever the locale.
    bool isNumber = false;
    const double value = cell.toDouble(&isNumber);
    return isNumber ? CsvExport::Number(value) : QString();
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

    csv = Header(columns);
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
    return Write(csvPath, csv, &lastError);
}

bool CsvExport::Write(const QString &csvPath, const QByteArray &csv, QString *error)
{
    // A device or a pipe is written as a stream; replacing it by a regular
    // file would take the node away from the system.
    const QFileInfo target(csvPath);
    QString why;
    if (target.exists() && !target.isFile()) {
        QFile stream(csvPath);
        if (!stream.open(QIODevice::WriteOnly) || !CheckedFile::Write(&stream, csv, &why)) {
            *error =
                QStringLiteral("%1: %2").arg(csvPath, why.isEmpty() ? stream.errorString() : why);
            return false;
        }
        return true;
    }
    // An existing CSV is replaced only by a complete one.
    if (!CheckedFile::Replace(csvPath, csv, &why)) {
        *error = QStringLiteral("%1: %2").arg(csvPath, why);
        return false;
    }
    return true;
}
