#include "modbus.h"
#include "msgprocessthread.h"

#include <QSerialPort>
#include <QSignalSpy>
#include <QThread>
#include <QtTest>

#include <thread>

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

namespace {

QByteArray withCrc(const QByteArray &body)
{
    const u16 crc = Modbus::MBCRC16(body);
    return body + char(crc & 0xFF) + char(crc >> 8);
}

QByteArray holdingAnswer(u16 value)
{
    return withCrc(QByteArray::fromHex("800302") + char(value >> 8) + char(value & 0xFF));
}

// Stands in for the main window: emits the request signals and collects
// the frames the codec builds.
class Window : public QObject
{
    Q_OBJECT
public:
    QList<QByteArray> frames;
    int recvSucceeded = 0;
    int sendSucceeded = 0;
signals:
    void ReadHoldingRegister(u16 usAddr, u16 usCount);
    void WriteHoldingRegister(u16 usAddr, u16 usValue);
    void ModbusEncoding(QByteArray byteArray, u16 usLen);
};

} // namespace

class tst_MsgProcessThread : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void requestsLeaveOneAtATime();
    void damagedAnswerKeepsGateClosed();
    void spectrumEchoNeedsManualRelease();
    void blockedRequestCanBeAbandoned();
    void closedPortDropsRequests();
    void concurrentReleasesNeverExceedOne();

private:
    bool waitForFrames(int n)
    {
        return QTest::qWaitFor([&] { return window->frames.size() >= n; });
    }
    void answer(const QByteArray &frame) { emit window->ModbusEncoding(frame, u16(frame.size())); }

    int ptyMaster = -1;
    QSerialPort *port = nullptr;
    Modbus *codec = nullptr;
    Window *window = nullptr;
    QThread *sendThread = nullptr;
    QThread *recvThread = nullptr;
    MsgProcessThread *sendWorker = nullptr;
    MsgProcessThread *recvWorker = nullptr;
};

void tst_MsgProcessThread::initTestCase()
{
    qRegisterMetaType<u16>("u16");
    // The workers only ask the port whether it is open; a pseudo-terminal will do.
    ptyMaster = posix_openpt(O_RDWR | O_NOCTTY);
    QVERIFY(ptyMaster >= 0);
    QCOMPARE(grantpt(ptyMaster), 0);
    QCOMPARE(unlockpt(ptyMaster), 0);
}

void tst_MsgProcessThread::init()
{
    port = new QSerialPort(QString::fromLocal8Bit(ptsname(ptyMaster)));
    QVERIFY2(port->open(QIODevice::ReadWrite), qPrintable(port->errorString()));
    codec = new Modbus(0x80);
    window = new Window;
    connect(codec, &Modbus::SerialWrite, window,
            [this](const QByteArray &f) { window->frames << f; });

    sendThread = new QThread;
    recvThread = new QThread;
    sendWorker = new MsgProcessThread(0x80, port, codec);
    recvWorker = new MsgProcessThread(0x80, port, codec);
    sendWorker->moveToThread(sendThread);
    recvWorker->moveToThread(recvThread);
    sendThread->start();
    recvThread->start();
    connect(window, &Window::ReadHoldingRegister, sendWorker,
            &MsgProcessThread::ReadHoldingRegister, Qt::QueuedConnection);
    connect(window, &Window::WriteHoldingRegister, sendWorker,
            &MsgProcessThread::WriteHoldingRegister, Qt::QueuedConnection);
    connect(window, &Window::ModbusEncoding, recvWorker, &MsgProcessThread::ModbusEncoding,
            Qt::QueuedConnection);
    connect(sendWorker, &MsgProcessThread::SendMsgSucceed, window,
            [this] { ++window->sendSucceeded; });
    connect(recvWorker, &MsgProcessThread::RecvMsgSucceed, window,
            [this] { ++window->recvSucceeded; });
    QCOMPARE(msgSemaphore.available(), 1);
}

void tst_MsgProcessThread::cleanup()
{
    sendWorker->Abandon();
    recvWorker->Abandon();
    sendThread->quit();
    recvThread->quit();
    QVERIFY(sendThread->wait(2000));
    QVERIFY(recvThread->wait(2000));
    delete sendWorker;
    delete recvWorker;
    delete sendThread;
    delete recvThread;
    delete window;
    delete codec;
    delete port;
}

void tst_MsgProcessThread::requestsLeaveOneAtATime()
{
    emit window->ReadHoldingRegister(11, 1);
    emit window->ReadHoldingRegister(12, 1);
    emit window->ReadHoldingRegister(13, 1);

    for (int i = 1; i <= 3; ++i) {
        QVERIFY(waitForFrames(i));
        QTest::qWait(100);
        QCOMPARE(window->frames.size(), i);
        QCOMPARE(int(window->frames.last().at(3)), 10 + i);
        answer(holdingAnswer(u16(i)));
        QVERIFY(QTest::qWaitFor([&] { return window->recvSucceeded == i; }));
    }
    QCOMPARE(window->sendSucceeded, 3);
    QCOMPARE(ModbusRegister::GetHoldingReg(13), u16(3));
    QCOMPARE(msgSemaphore.available(), 1);
}

void tst_MsgProcessThread::damagedAnswerKeepsGateClosed()
{
    emit window->ReadHoldingRegister(11, 1);
    emit window->ReadHoldingRegister(12, 1);
    QVERIFY(waitForFrames(1));

    QByteArray damaged = holdingAnswer(7);
    damaged[3] = char(damaged.at(3) ^ 0x40);
    answer(damaged);
    QTest::qWait(150);
    QCOMPARE(window->recvSucceeded, 0);
    QCOMPARE(window->frames.size(), 1);

    // The resend's good answer lets the next request out.
    answer(holdingAnswer(7));
    QVERIFY(waitForFrames(2));
    QCOMPARE(window->recvSucceeded, 1);
}

void tst_MsgProcessThread::spectrumEchoNeedsManualRelease()
{
    emit window->WriteHoldingRegister(38, 0x1234);
    emit window->ReadHoldingRegister(36, 1);
    QVERIFY(waitForFrames(1));
    answer(window->frames.first());
    QVERIFY(QTest::qWaitFor([&] { return window->recvSucceeded == 1; }));
    QTest::qWait(100);
    QCOMPARE(window->frames.size(), 1);

    recvWorker->ReleaseSemphore();
    QVERIFY(waitForFrames(2));
    answer(holdingAnswer(0x0206));
    QVERIFY(QTest::qWaitFor([&] { return window->recvSucceeded == 2; }));

    // Releasing an open gate leaves it at 1.
    recvWorker->ReleaseSemphore();
    QCOMPARE(msgSemaphore.available(), 1);
}

void tst_MsgProcessThread::blockedRequestCanBeAbandoned()
{
    emit window->ReadHoldingRegister(11, 1);
    emit window->ReadHoldingRegister(12, 1);
    QVERIFY(waitForFrames(1));
    QTest::qWait(50); // the second request is now blocked on the gate

    sendWorker->Abandon();
    sendThread->quit();
    QVERIFY(sendThread->wait(1000));
    QCOMPARE(window->frames.size(), 1);
    QCOMPARE(msgSemaphore.available(), 0);

    // The next connection's workers reopen the gate: its first request goes out at once.
    MsgProcessThread next(0x80, port, codec);
    QCOMPARE(msgSemaphore.available(), 1);
    connect(&next, &MsgProcessThread::SendMsgSucceed, window, [this] { ++window->sendSucceeded; });
    next.ReadHoldingRegister(36, 1);
    QCOMPARE(window->sendSucceeded, 2);
    QCOMPARE(msgSemaphore.available(), 0);
    MsgProcessThread::OpenGate();
}

void tst_MsgProcessThread::closedPortDropsRequests()
{
    port->close();
    emit window->ReadHoldingRegister(11, 1);
    QTest::qWait(100);
    QCOMPARE(window->frames.size(), 0);
    QCOMPARE(window->sendSucceeded, 0);
    QCOMPARE(msgSemaphore.available(), 1);
}

void tst_MsgProcessThread::concurrentReleasesNeverExceedOne()
{
    for (int round = 0; round < 200; ++round) {
        msgSemaphore.acquire(1);
        std::thread a([] { MsgProcessThread::OpenGate(); });
        std::thread b([this] { recvWorker->ReleaseSemphore(); });
        a.join();
        b.join();
        QCOMPARE(msgSemaphore.available(), 1);
    }
}

QTEST_GUILESS_MAIN(tst_MsgProcessThread)
#include "tst_msgprocessthread.moc"
