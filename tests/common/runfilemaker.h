#pragma once

#include <QStringList>

// Measurement files for tests, written and read without the program's code.
namespace RunFileMaker {

// Writes rows of time, velocity, level and flow in the recorder's layout:
// head, table, one row of four cells per sample, tail (left off when not
// finished, as a killed writer leaves it). Returns the absolute path.
QString Write(const QString &path, const QList<QStringList> &rows, bool isFinished = true);

// The cell texts of every row, and the table's declared row count.
QList<QStringList> Read(const QString &path, QString *rowCount = nullptr);

// count rows from start, stepSeconds apart, all with the same three values.
QList<QStringList> Rows(const QString &start, int count, int stepSeconds,
                        const QStringList &values);

} // namespace RunFileMaker
