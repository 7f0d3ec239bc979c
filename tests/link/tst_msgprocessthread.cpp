// What only the workers themselves can show: a request blocked on the gate
// can be abandoned, and the two ways of reopening the gate never open it twice.
#include "linkport.h"
#include "modbus.h"
#include "msgprocessthread.h"

#include <QtTest>

#include <thread>

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

class tst_MsgProcessThread : public QObject
{
    Q_OBJECT

signals:
    void ReadHoldingRegister(u16 usAddr, u16 usCount);

private slots:
    void blockedRequestCanBeAbandoned()
    {
        // The workers only ask the port whether it is open; a pseudo-terminal will do.
        const int pty = posix_openpt(O_RDWR | O_NOCTTY);
        QVERIFY(pty >= 0 && grantpt(pty) == 0 && unlockpt(pty) == 0);
        LinkPort port;
        QString why;
        QVERIFY2(port.Open(QString::fromLocal8Bit(ptsname(pty)), &why), qPrintable(why));
        qRegisterMetaType<u16>("u16");
        Modbus codec(0x80);
        int frames = 0;
        connect(
            &codec, &Modbus::SerialWrite, this, [&] { ++frames; }, Qt::QueuedConnection);
        QThread thread;
        auto *worker = new MsgProcessThread(0x80, &port, &codec);
        worker->moveToThread(&thread);
        connect(&thread, &QThread::finished, worker, &QObject::deleteLater);
        connect(this, &tst_MsgProcessThread::ReadHoldingRegister, worker,
                &MsgProcessThread::ReadHoldingRegister, Qt::QueuedConnection);
        thread.start();

        // The first request takes the gate; the second waits for its answer.
        emit ReadHoldingRegister(11, 1);
        emit ReadHoldingRegister(12, 1);
        QTRY_COMPARE(frames, 1);
        QTest::qWait(100);
        QCOMPARE(frames, 1);
        worker->Abandon();
        thread.quit();
        QVERIFY(thread.wait(1000));
        QCOMPARE(frames, 1);
        QCOMPARE(msgSemaphore.available(), 0);

        // The next connection's workers reopen the gate: its first request goes out at once.
        MsgProcessThread next(0x80, &port, &codec);
        QCOMPARE(msgSemaphore.available(), 1);
        next.ReadHoldingRegister(36, 1);
        QTRY_COMPARE(frames, 2);
        MsgProcessThread::OpenGate();
        ::close(pty);
    }

    void concurrentReleasesNeverExceedOne()
    {
        // The spectrum path reopens the gate from the GUI thread while the
        // receive worker may do the same.
        Modbus codec(0x80);
        MsgProcessThread worker(0x80, nullptr, &codec);
        for (int round = 0; round < 200; ++round) {
            msgSemaphore.acquire(1);
            std::thread a([] { MsgProcessThread::OpenGate(); });
            std::thread b([&] { worker.ReleaseSemphore(); });
            a.join();
            b.join();
            QCOMPARE(msgSemaphore.available(), 1);
        }
    }
};

QTEST_GUILESS_MAIN(tst_MsgProcessThread)
#include "tst_msgprocessthread.moc"
