#include "loghandler.h"

#include <QDateTime>
#include <QFile>
#include <QMutex>
#include <QMutexLocker>
#include <QTextStream>

#include <cstdio>
#include <cstdlib>

namespace LogHandler {

namespace {

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
    AppendToFile(line);
    PrintToStdout(line);

    // The line that explains a fatal error is on disk before the process ends.
    if (type == QtFatalMsg) {
        locker.unlock();
        std::abort();
    }
}

} // namespace LogHandler
