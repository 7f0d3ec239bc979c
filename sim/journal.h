#pragma once

#include <QFile>
#include <QJsonObject>
#include <QString>

// One JSON object per line for every frame the instrument received, written
// through at once so that a reader sees each entry as soon as it happened.
class Journal
{
public:
    // An empty path keeps no journal. False with a reason when the file
    // cannot be created.
    bool open(const QString &path, QString *error);

    void record(const QJsonObject &entry);

private:
    QFile file;
};
