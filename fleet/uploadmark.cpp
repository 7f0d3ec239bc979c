#include "uploadmark.h"

#include <QFile>
#include <QSaveFile>
#include <QStringList>

namespace {

const QByteArray TargetKey = "target ";
const QByteArray DoneKey = "done ";

} // namespace

UploadMark::UploadMark(const QString &path, const QString &target) : filePath(path), target(target)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return;
    const QList<QByteArray> lines = file.readAll().split('\n');
    if (lines.isEmpty() ||
        QString::fromUtf8(lines.first()) != QString::fromUtf8(TargetKey) + target)
        return;
    for (const QByteArray &line : lines.mid(1)) {
        if (line.startsWith(DoneKey)) {
            done = QString::fromUtf8(line.mid(DoneKey.size()));
            continue;
        }
        const QList<QByteArray> fields = line.split(' ');
        if (fields.size() != 3)
            continue;
        Entry entry;
        entry.rows = fields[1].toInt();
        entry.isComplete = fields[2] == "1";
        files.insert(QString::fromUtf8(fields[0]), entry);
    }
}

void UploadMark::Set(const QString &name, int rows, bool isComplete)
{
    files[name] = Entry{rows, isComplete};
    isMoved = true;
}

void UploadMark::SetSkipped(const QString &name)
{
    Set(name, files.value(name).rows, true);
}

void UploadMark::Advance(const QStringList &sortedNames)
{
    const QString before = done;
    for (const QString &name : sortedNames) {
        if (name <= done)
            continue;
        if (!files.value(name).isComplete)
            break;
        done = name;
    }
    if (done == before)
        return;
    // Entries behind the mark are no longer needed.
    for (auto it = files.begin(); it != files.end();)
        it = it.key() <= done ? files.erase(it) : std::next(it);
    isMoved = true;
}

bool UploadMark::Save()
{
    if (!isMoved)
        return true;
    QByteArray text = TargetKey + target.toUtf8() + '\n';
    if (!done.isEmpty())
        text += DoneKey + done.toUtf8() + '\n';
    for (auto it = files.cbegin(); it != files.cend(); ++it)
        text += it.key().toUtf8() + ' ' + QByteArray::number(it->rows) + ' ' +
                (it->isComplete ? '1' : '0') + '\n';
    QSaveFile file(filePath);
    if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size() || !file.commit()) {
        lastError = file.errorString();
        return false;
    }
    isMoved = false;
    return true;
}
