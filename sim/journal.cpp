#include "journal.h"

#include <QJsonDocument>

bool Journal::open(const QString &path, QString *error)
{
    if (path.isEmpty())
        return true;
    file.setFileName(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Text)) {
        *error = QString("cannot write the journal %1: %2").arg(path, file.errorString());
        return false;
    }
    return true;
}

void Journal::record(const QJsonObject &entry)
{
    if (!file.isOpen())
        return;
    file.write(QJsonDocument(entry).toJson(QJsonDocument::Compact) + '\n');
    file.flush();
}
