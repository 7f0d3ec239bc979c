#pragma once

#include <QByteArray>
#include <QString>

class QFileDevice;

// Writing a file so that a full disk can never pass for success: every write
// and the flush are checked, and a whole file replaces another only once all
// of it lies on the disk.
class CheckedFile
{
public:
    // Writes bytes to a temporary file beside path and renames it over path
    // only when every byte was written and flushed; otherwise path stays as
    // it was. False, with the reason in *error, when it could not be done.
    static bool Replace(const QString &path, const QByteArray &bytes, QString *error);
    // Writes bytes to an open device and flushes it; false with the reason.
    static bool Write(QFileDevice *device, const QByteArray &bytes, QString *error);
};
