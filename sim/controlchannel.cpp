#include "controlchannel.h"

#include <QFileInfo>
#include <QSocketNotifier>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

ControlChannel::ControlChannel(QObject *parent) : QObject(parent) {}

ControlChannel::~ControlChannel()
{
    if (fifoSource.fd >= 0)
        ::close(fifoSource.fd);
    if (isFifoOurs)
        ::unlink(fifoPath.toLocal8Bit().constData());
}

void ControlChannel::listenToStdin()
{
    watch(&stdinSource, STDIN_FILENO);
}

bool ControlChannel::openFifo(const QString &path, QString *error)
{
    const QByteArray name = path.toLocal8Bit();
    if (!QFileInfo::exists(path)) {
        if (::mkfifo(name.constData(), 0600) != 0) {
            *error =
                QString("mkfifo %1: %2").arg(path, QString::fromLocal8Bit(std::strerror(errno)));
            return false;
        }
        isFifoOurs = true;
    }
    fifoPath = path;
    // Opened for writing too, so the pipe never reports end of file when a
    // writer goes away.
    const int fd = ::open(name.constData(), O_RDWR | O_NONBLOCK);
    if (fd < 0) {
        *error = QString("open %1: %2").arg(path, QString::fromLocal8Bit(std::strerror(errno)));
        return false;
    }
    watch(&fifoSource, fd);
    return true;
}

void ControlChannel::watch(Source *ptSource, int fd)
{
    ptSource->fd = fd;
    ptSource->ptNotifier = new QSocketNotifier(fd, QSocketNotifier::Read, this);
    connect(ptSource->ptNotifier, &QSocketNotifier::activated, this,
            [this, ptSource] { readFrom(ptSource); });
}

void ControlChannel::readFrom(Source *ptSource)
{
    char buffer[256];
    const ssize_t n = ::read(ptSource->fd, buffer, sizeof buffer);
    if (n == 0 || (n < 0 && errno != EAGAIN && errno != EINTR)) {
        // End of input: a simulator started without a terminal carries on.
        ptSource->ptNotifier->setEnabled(false);
        return;
    }
    if (n < 0)
        return;
    ptSource->pending.append(buffer, int(n));
    int iEnd;
    while ((iEnd = ptSource->pending.indexOf('\n')) >= 0) {
        const QString line = QString::fromUtf8(ptSource->pending.left(iEnd)).trimmed();
        ptSource->pending.remove(0, iEnd + 1);
        if (!line.isEmpty())
            emit command(line);
    }
}
