#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QVector>

// A run file followed as it grows, the way a log shipper follows a log: each
// Read() parses only the whole rows appended since the last one. When the
// file was replaced (the end of a run rewrites it) or cut shorter, it is read
// again from its first row; rows keep their numbers, so nothing is counted
// twice.
class RunFollower
{
public:
    struct Sample
    {
        int seq = 0;    // the row's number in its file, from 1
        QDateTime time; // invalid when the cell is no time
        // Velocity, level, flow, air gap, discharge; NaN when the file has
        // no number there.
        double values[5];
        // The two signal strengths; hasStrength false in older files.
        int strengths[2] = {0, 0};
        bool hasStrength[2] = {false, false};
    };

    explicit RunFollower(const QString &path);

    // Reads what was appended. Rows numbered above fromSeq are put into rows
    // (when given). False when the file cannot be opened; errorString() says
    // why.
    bool Read(QVector<Sample> *rows, int fromSeq);

    QString path() const { return filePath; }
    // Whole rows read so far.
    int rowCount() const { return rows; }
    // The table is closed: no row will follow.
    bool isFinished() const { return isEnded; }
    // The file is no well-formed run file from some row on; the rows before
    // the defect were read.
    bool isDamaged() const { return !damage.isEmpty(); }
    QString errorString() const { return damage.isEmpty() ? openError : damage; }

private:
    void Restart();

    QString filePath;
    qint64 offset = -1; // just after the last whole row; -1 before the first
    QByteArray tail;    // the bytes before offset, to notice a replaced file
    int rows = 0;
    bool isEnded = false;
    QString damage;
    QString openError;
};
