#include "checkedfile.h"

#include <QFileInfo>
#include <QTemporaryFile>

#include <cerrno>
#include <cstdio>
#include <cstring>

bool CheckedFile::Write(QFileDevice *device, const QByteArray &bytes, QString *error)
{
    // A write into the device's buffer succeeds even on a full disk; only the
    // flush tells.
    if (device->write(bytes) == bytes.size() && device->flush())
        return true;
    *error = device->errorString();
    return false;
}

bool CheckedFile::Replace(const QString &path, const QByteArray &bytes, QString *error)
{
    // A link is followed: the file it names is replaced, the link stays.
    const QFileInfo info(path);
    const QString target = info.isSymLink() ? info.symLinkTarget() : path;
    QTemporaryFile temporary(target + QStringLiteral(".XXXXXX"));
    if (!temporary.open()) {
        *error = temporary.errorString();
        return false;
    }
    if (!Write(&temporary, bytes, error))
        return false;
    if (temporary.size() != bytes.size()) {
        *error = QStringLiteral("%1 of %2 bytes written").arg(temporary.size()).arg(bytes.size());
        return false;
    }
    // A new file is readable by all, as any other file the program writes.
    temporary.setPermissions(QFileInfo::exists(target) ? QFileInfo(target).permissions()
                                                       : QFile::ReadOwner | QFile::WriteOwner |
                                                             QFile::ReadGroup | QFile::ReadOther);
    temporary.close();
    // rename() replaces the old file in one step: a power cut leaves either.
    if (std::rename(QFile::encodeName(temporary.fileName()).constData(),
                    QFile::encodeName(target).constData()) != 0) {
        *error = QString::fromLocal8Bit(std::strerror(errno));
        return false;
    }
    temporary.setAutoRemove(false);
    return true;
}
