#pragma once

#include <QString>
#include <QtGlobal>

// Turns every message of the program and of Qt into one line of "log.txt" in
// the working directory, with a UTF-8 copy on standard output.
namespace LogHandler {

// "[time] LEVEL|message (file) Line:(line)"; the level is empty for
// informational messages.
QString FormatLine(QtMsgType type, const QMessageLogContext &context, const QString &msg);

void MessageHandler(QtMsgType type, const QMessageLogContext &context, const QString &msg);

} // namespace LogHandler
