// Feeds arbitrary bytes to the measurement-file reader of the detail dialog:
// files cut short, damaged by hand or written by another program.
#include "runfile.h"

#include <QBuffer>

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext &, const QString &) {});
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    QByteArray bytes(reinterpret_cast<const char *>(data), int(size));
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    const RunFile content = RunFile::Read(&buffer);
    // Every row taken has a time; a complete document has no error text.
    for (const RunFile::Row &row : content.rows) {
        if (!row.time.isValid())
            __builtin_trap();
    }
    if (content.isComplete && !content.errorString.isEmpty())
        __builtin_trap();
    return 0;
}
