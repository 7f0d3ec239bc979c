#include "loghandler.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QMutex>
#include <QMutexLocker>
#include <QStringList>
#include <QTextStream>

#include <cstdio>
#include <cstdlib>

namespace LogHandler {

namespace {

// A station logs for weeks: the log is cut at this size and the five
// newest pieces are kept, log.1.txt the newest.
constexpr qint64 DefaultRotationBytes = 10 * 1024 * 1024;
constexpr int KeptLogs = 5;

qint64 rotationBytes = DefaultRotationBytes;
bool isEchoToStdout = true;
// Lines held back until the program knows its data folder.
bool isDeferred = false;
QStringList deferredLines;

QString RotatedName(int index)
{
    return QStringLiteral("log.%1.txt").arg(index);
}

// Called with the handler's mutex held.
void RotateIfFull()
{
    const QFileInfo log(QStringLiteral("log.txt"));
    if (!log.exists() || log.size() < rotationBytes)
        return;
    QFile::remove(RotatedName(KeptLogs));
    for (int i = KeptLogs - 1; i >= 1; --i)
        QFile::rename(RotatedName(i), RotatedName(i + 1));
    QFile::rename(log.fileName(), RotatedName(1));
}

QString LevelText(QtMsgType type)
{
    switch (type) {
    case QtDebugMsg:
        return QStringLiteral("DEBUG");
    case QtWarningMsg:
        return QStringLiteral("WARNING");
    case QtCriticalMsg:
        return QStringLiteral("CRITICAL");
    case QtFatalMsg:
        return QStringLiteral("FATAL");
    case QtInfoMsg:
        break;
    }
    return QString();
}

void AppendToFile(const QString &line)
{
    RotateIfFull();
    QFile file(QStringLiteral("log.txt"));
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append))
        return;
    QTextStream stream(&file);
    // Written as UTF-8 whatever the locale: under the C locale the 8-bit
    // default would turn every Chinese message into question marks.
    stream.setCodec("UTF-8");
    stream << line << '\n';
    stream.flush();
}

void PrintToStdout(const QString &line)
{
    const QByteArray utf8 = line.toUtf8() + "\r\n";
    std::fwrite(utf8.constData(), 1, size_t(utf8.size()), stdout);
    std::fflush(stdout);
}

} // namespace

QString FormatLine(QtMsgType type, const QMessageLogContext &context, const QString &msg)
{
    return QStringLiteral("[%1] %2|%3 (%4) Line:(%5)")
        .arg(QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd hh:mm:ss")),
             LevelText(type), msg, QString::fromUtf8(context.file))
        .arg(context.line);
}

void MessageHandler(QtMsgType type, const QMessageLogContext &context, const QString &msg)
{
    // Created on first use and never destroyed, so messages logged while the
    // process shuts down still find it.
    static QMutex *mutex = new QMutex;
    QMutexLocker locker(mutex);

    const QString line = FormatLine(type, context, msg);
    if (isDeferred && type != QtFatalMsg) {
        deferredLines << line;
        return;
    }
    // Only a fatal message comes here while deferred: what led to it is kept.
    for (const QString &held : qAsConst(deferredLines))
        AppendToFile(held);
    deferredLines.clear();
    AppendToFile(line);
    if (isEchoToStdout)
        PrintToStdout(line);

    // The line that explains a fatal error is on disk before the process ends.
    if (type == QtFatalMsg) {
        locker.unlock();
        std::abort();
    }
}

void SetRotationSize(qint64 bytes)
{
    rotationBytes = bytes > 0 ? bytes : DefaultRotationBytes;
}

void Defer(bool isOn)
{
    isDeferred = isOn;
    if (isOn)
        return;
    // Start-up runs in one thread; nothing else logs yet.
    for (const QString &held : qAsConst(deferredLines)) {
        AppendToFile(held);
        if (isEchoToStdout)
            PrintToStdout(held);
    }
    deferredLines.clear();
}

void DropDeferred()
{
    deferredLines.clear();
}

void SetEchoToStdout(bool isEcho)
{
    isEchoToStdout = isEcho;
}

} // namespace LogHandler
