#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

class QSocketNotifier;

// Runtime commands, one per line, from standard input and optionally from a
// named pipe that other programs (a test, a shell) write to.
class ControlChannel : public QObject
{
    Q_OBJECT

public:
    explicit ControlChannel(QObject *parent = nullptr);
    ~ControlChannel() override;

    void listenToStdin();
    // Creates the pipe unless it exists; a pipe it created goes again on exit.
    bool openFifo(const QString &path, QString *error);

signals:
    void command(const QString &line);

private:
    struct Source
    {
        int fd = -1;
        QSocketNotifier *ptNotifier = nullptr;
        QByteArray pending;
    };

    void watch(Source *ptSource, int fd);
    void readFrom(Source *ptSource);

    Source stdinSource;
    Source fifoSource;
    QString fifoPath;
    bool isFifoOurs = false;
};
