#pragma once

// Table-driven suites write their rows as text: one line a row, its cells
// separated by '|', the first cell naming the row.
#include <QtTest>

namespace RowTable {

inline void Add(const QString &rows)
{
    QTest::addColumn<QString>("row");
    for (const QString &row : rows.split('\n', Qt::SkipEmptyParts))
        QTest::newRow(qPrintable(row.section('|', 0, 0).trimmed())) << row;
}

inline QStringList Cells(const QString &row)
{
    return row.split(QRegularExpression(" *\\| *"));
}

} // namespace RowTable
