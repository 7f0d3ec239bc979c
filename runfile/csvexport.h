#pragma once

#include <QString>

class QIODevice;

// A run's measurement file as CSV, for spreadsheets and for scripts that ship
// runs to other systems: UTF-8, comma-separated, a header row of names and
// units, times in ISO 8601 with their UTC offset, numbers with a '.' whatever
// the locale, and every column the file holds (four in older files, eight in
// newer ones). Rows without a time or short of the first four cells are left
// out; a cell that is no number stays empty, never 0.
class CsvExport
{
public:
    // Writes the CSV of runPath to csvPath, which is replaced only once the
    // whole text is written. False, with the reason in errorString(), when
    // the run file cannot be read or the target cannot be written.
    bool ExportFile(const QString &runPath, const QString &csvPath);
    // The same into a device open for writing (standard output).
    bool Export(const QString &runPath, QIODevice *out);

    QString errorString() const { return lastError; }

private:
    bool Convert(const QString &runPath, QByteArray &csv);

    QString lastError;
};
