#include "ptytransport.h"

#include <QFileInfo>
#include <QSocketNotifier>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

PtyTransport::PtyTransport(int iBaud, QObject *parent) : QObject(parent), iBaud(iBaud)
{
    clock.start();
    pumpTimer.setTimerType(Qt::PreciseTimer);
    pumpTimer.setInterval(1);
    connect(&pumpTimer, &QTimer::timeout, this, &PtyTransport::pump);
}

PtyTransport::~PtyTransport()
{
    close();
}

bool PtyTransport::open(const QString &linkPath, QString *error)
{
    const auto fail = [&](const QString &what) {
        *error = QString("%1: %2").arg(what, QString::fromLocal8Bit(std::strerror(errno)));
        close();
        return false;
    };

    masterFd = posix_openpt(O_RDWR | O_NOCTTY);
    if (masterFd < 0)
        return fail("posix_openpt");
    if (grantpt(masterFd) != 0 || unlockpt(masterFd) != 0)
        return fail("grantpt/unlockpt");
    ptsName = QString::fromLocal8Bit(ptsname(masterFd));
    fcntl(masterFd, F_SETFL, fcntl(masterFd, F_GETFL) | O_NONBLOCK);

    // Holding the slave side open ourselves keeps the master from reporting
    // a hang-up whenever a client closes the port.
    slaveFd = ::open(ptsName.toLocal8Bit().constData(), O_RDWR | O_NOCTTY);
    if (slaveFd < 0)
        return fail("open " + ptsName);
    termios tio{};
    if (tcgetattr(slaveFd, &tio) != 0)
        return fail("tcgetattr");
    cfmakeraw(&tio);
    cfsetispeed(&tio, B9600);
    cfsetospeed(&tio, B9600);
    tio.c_cflag |= CLOCAL | CREAD;
    if (tcsetattr(slaveFd, TCSANOW, &tio) != 0)
        return fail("tcsetattr");

    const QFileInfo existing(linkPath);
    if (existing.isSymLink()) {
        ::unlink(linkPath.toLocal8Bit().constData());
    } else if (existing.exists()) {
        errno = EEXIST;
        return fail(linkPath);
    }
    if (::symlink(ptsName.toLocal8Bit().constData(), linkPath.toLocal8Bit().constData()) != 0)
        return fail("symlink " + linkPath);
    this->linkPath = linkPath;

    ptReadNotifier = new QSocketNotifier(masterFd, QSocketNotifier::Read, this);
    connect(ptReadNotifier, &QSocketNotifier::activated, this, &PtyTransport::readMaster);
    return true;
}

void PtyTransport::close()
{
    pumpTimer.stop();
    bursts.clear();
    delete ptReadNotifier;
    ptReadNotifier = nullptr;
    if (!linkPath.isEmpty()) {
        // Only our own link goes; a newer instance may have taken the path.
        if (QFileInfo(linkPath).symLinkTarget() == ptsName)
            ::unlink(linkPath.toLocal8Bit().constData());
        linkPath.clear();
    }
    if (slaveFd >= 0)
        ::close(slaveFd);
    if (masterFd >= 0)
        ::close(masterFd);
    slaveFd = masterFd = -1;
}

void PtyTransport::readMaster()
{
    QByteArray bytes;
    char buffer[512];
    for (;;) {
        const ssize_t n = ::read(masterFd, buffer, sizeof buffer);
        if (n <= 0)
            break;
        bytes.append(buffer, int(n));
    }
    if (!bytes.isEmpty())
        emit received(bytes);
}

void PtyTransport::send(const QByteArray &bytes, int iDelayMs, int iSplitMs)
{
    if (bytes.isEmpty() || masterFd < 0)
        return;
    const qint64 nowNs = clock.nsecsElapsed();
    const qint64 delayNs = qint64(iDelayMs) * 1000000;
    if (iSplitMs > 0 && bytes.size() > 1) {
        const int iHalf = bytes.size() / 2;
        bursts.push_back({bytes.left(iHalf), nowNs + delayNs, delayNs});
        bursts.push_back({bytes.mid(iHalf), 0, qint64(iSplitMs) * 1000000});
    } else {
        bursts.push_back({bytes, nowNs + delayNs, delayNs});
    }
    pump();
}

void PtyTransport::pump()
{
    while (!bursts.empty()) {
        Burst &burst = bursts.front();
        const qint64 nowNs = clock.nsecsElapsed();
        if (burst.startNs < 0) {
            const qint64 startNs = std::max(burst.earliestNs, lastEndNs + burst.gapNs);
            if (nowNs < startNs)
                break;
            burst.startNs = startNs;
        }
        int iDue = burst.bytes.size();
        if (iBaud > 0) {
            // Byte k has left the line once (k + 1) byte times have passed.
            const double dElapsed = (nowNs - burst.startNs) / 1e9;
            iDue = std::min(iDue, int(dElapsed / byteTime()) + 1);
        }
        if (iDue > burst.iSent) {
            const ssize_t n = ::write(masterFd, burst.bytes.constData() + burst.iSent,
                                      size_t(iDue - burst.iSent));
            if (n > 0)
                burst.iSent += int(n);
        }
        if (burst.iSent < burst.bytes.size())
            break;
        lastEndNs =
            iBaud > 0 ? burst.startNs + qint64(burst.bytes.size() * byteTime() * 1e9) : nowNs;
        bursts.pop_front();
    }
    if (bursts.empty())
        pumpTimer.stop();
    else if (!pumpTimer.isActive())
        pumpTimer.start();
}
