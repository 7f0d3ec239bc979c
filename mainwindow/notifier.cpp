#include "notifier.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDebug>
#include <QMainWindow>
#include <QMessageBox>
#include <QStatusBar>

#include <cstdio>

namespace {

void PrintLine(FILE *stream, const QString &text)
{
    const QByteArray line =
        QStringLiteral("[%1] %2\n")
            .arg(QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd hh:mm:ss")), text)
            .toUtf8();
    std::fwrite(line.constData(), 1, size_t(line.size()), stream);
    std::fflush(stream);
}

} // namespace

Notifier::Notifier(QMainWindow *window) : window(window) {}

void Notifier::Warn(const QString &text)
{
    qWarning().noquote() << text;
    if (!IsUnattended()) {
        QMessageBox::warning(window, QCoreApplication::translate("MainWindow", "警告"), text,
                             QMessageBox::Ok, QMessageBox::NoButton);
        return;
    }
    // Kept until the next message: nobody may be watching when it comes.
    window->statusBar()->showMessage(text);
    if (isHeadless)
        PrintLine(stderr, text);
}

void Notifier::WarnUnseen(const QString &text)
{
    qWarning().noquote() << text;
    if (isHeadless)
        PrintLine(stderr, text);
}

void Notifier::Resolve(const QString &text)
{
    qInfo().noquote() << text;
    if (isHeadless)
        PrintLine(stderr, text);
}

bool Notifier::Ask(const QString &title, const QString &text)
{
    if (isHeadless) {
        qWarning().noquote() << title << text << "-> No";
        return false;
    }
    return QMessageBox::question(window, title, text, QMessageBox::Yes | QMessageBox::No,
                                 QMessageBox::No) == QMessageBox::Yes;
}

void Notifier::Tell(const QString &text)
{
    qInfo().noquote() << text;
    if (isHeadless)
        PrintLine(stdout, text);
}
