#pragma once

#include <QString>
#include <QtGlobal>

// Turns every message of the program and of Qt into one line of "log.txt" in
// the working directory, with a UTF-8 copy on standard output. At its size
// limit log.txt becomes log.1.txt, the older pieces move up to log.5.txt and
// the oldest is dropped.
namespace LogHandler {

// "[time] LEVEL|message (file) Line:(line)"; the level is empty for
// informational messages.
QString FormatLine(QtMsgType type, const QMessageLogContext &context, const QString &msg);

void MessageHandler(QtMsgType type, const QMessageLogContext &context, const QString &msg);

// The size at which log.txt is rotated; 0 or less restores 10 MiB.
void SetRotationSize(qint64 bytes);

// While deferred, lines are held in memory; the first line after Defer(false)
// writes them to log.txt first. Start-up defers until the data folder is
// known, and drops them when the program only prints its usage.
void Defer(bool isOn);
void DropDeferred();

// A headless station keeps standard output for its own event lines.
void SetEchoToStdout(bool isEcho);

} // namespace LogHandler
