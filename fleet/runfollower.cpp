#include "runfollower.h"

#include "runfilereader.h"

#include <QBuffer>
#include <QFile>

#include <cmath>
#include <limits>

namespace {

// Rows are parsed as the children of a table of their own, with the
// prefixes the run files use declared on it.
const QByteArray TableStart = "<Table xmlns=\"urn:schemas-microsoft-com:office:spreadsheet\" "
                              "xmlns:ss=\"urn:schemas-microsoft-com:office:spreadsheet\" "
                              "xmlns:x=\"urn:schemas-microsoft-com:office:excel\">";
const QByteArray TableEnd = "</Table>";
const QByteArray RowEnd = "</Row>";
constexpr int TailSize = 16;

double Number(const QString &cell)
{
    bool isNumber = false;
    const double value = cell.toDouble(&isNumber);
    return isNumber && std::isfinite(value) ? value : std::numeric_limits<double>::quiet_NaN();
}

} // namespace

RunFollower::RunFollower(const QString &path) : filePath(path) {}

void RunFollower::Restart()
{
    offset = -1;
    tail.clear();
    rows = 0;
    isEnded = false;
    damage.clear();
}

bool RunFollower::Read(QVector<Sample> *out, int fromSeq)
{
    QFile file(filePath);
    if (!file.open(QIODevice::ReadOnly)) {
        openError = file.errorString();
        return false;
    }
    openError.clear();
    // The end of a run writes the file anew: shorter, or other bytes where
    // the last row read ended.
    if (offset >= 0) {
        if (file.size() < offset || !file.seek(offset - tail.size()) ||
            file.read(tail.size()) != tail)
            Restart();
    }
    if (isEnded || isDamaged())
        return true;
    qint64 start = offset;
    QByteArray bytes;
    if (start < 0) {
        file.seek(0);
        bytes = file.readAll();
        const int table = bytes.indexOf("<Table");
        const int firstRow = table < 0 ? -1 : bytes.indexOf("<Row", table);
        if (firstRow < 0) {
            isEnded = table >= 0 && bytes.indexOf(TableEnd, table) >= 0;
            return true;
        }
        bytes.remove(0, firstRow);
        start = firstRow;
    } else {
        file.seek(start);
        bytes = file.readAll();
    }
    // Only whole rows: the recorder may be in the middle of one.
    const int rowsEnd = bytes.lastIndexOf(RowEnd);
    const int tableEnd = bytes.indexOf(TableEnd, rowsEnd < 0 ? 0 : rowsEnd);
    if (rowsEnd < 0) {
        isEnded = tableEnd >= 0;
        return true;
    }
    const int used = rowsEnd + RowEnd.size();

    QByteArray fragment = TableStart;
    fragment.append(bytes.constData(), used);
    fragment.append(TableEnd);
    QBuffer buffer(&fragment);
    buffer.open(QIODevice::ReadOnly);
    RunFileReader reader(&buffer);
    QStringList cells;
    while (reader.ReadRow(cells)) {
        ++rows;
        if (!out || rows <= fromSeq)
            continue;
        Sample sample;
        sample.seq = rows;
        sample.time = reader.RowTime(cells.value(0));
        for (int i = 0; i < 5; ++i)
            sample.values[i] = Number(cells.value(i + 1));
        for (int i = 0; i < 2; ++i) {
            bool isNumber = false;
            sample.strengths[i] = cells.value(i + 6).toInt(&isNumber);
            sample.hasStrength[i] = isNumber;
        }
        out->append(sample);
    }
    if (reader.hasError()) {
        // The rows before the defect are kept; the file is not read again.
        damage = reader.errorString();
        return true;
    }
    offset = start + used;
    tail = bytes.mid(used - TailSize, TailSize);
    isEnded = tableEnd >= 0;
    return true;
}
