#pragma once

#include <QMap>
#include <QString>

// The station's mark of what the server holds: how many rows of each run file
// went up in a committed batch. It moves only after the commit, and is saved
// in one rename, so a station killed at any moment sends again at most the
// rows of the batch it was in, which the server then ignores.
class UploadMark
{
public:
    // The mark belongs to one server and station: another target starts
    // from nothing (the server ignores what it already holds).
    UploadMark(const QString &path, const QString &target);

    // Every file up to and including this name went up whole and finished.
    QString doneUpTo() const { return done; }
    // Rows of a file after doneUpTo() that the server holds.
    int sent(const QString &name) const { return files.value(name).rows; }
    bool isComplete(const QString &name) const { return files.value(name).isComplete; }

    // Moves the mark after a commit. Saved by Save(): a station killed
    // before that sends those rows again, and the server ignores them.
    void Set(const QString &name, int rows, bool isComplete);
    // Files skipped for good (unreadable) count as done.
    void SetSkipped(const QString &name);
    // Writes the mark in one rename when it moved; false when it cannot.
    bool Save();
    // Passes every complete file in sorted order onto doneUpTo().
    void Advance(const QStringList &sortedNames);
    QString errorString() const { return lastError; }

private:
    struct Entry
    {
        int rows = 0;
        bool isComplete = false;
    };
    QString filePath;
    QString target;
    QString done;
    QMap<QString, Entry> files;
    QString lastError;
    bool isMoved = false;
};
