// Serial connection: port list, opening and closing, frames out and in,
// the response time-out with its resends, and the echo-spectrum receive path.
#include "mainwindow.h"
#include "ui_mainwindow.h"

#include "linkport.h"
#include "modbusanswer.h"
#include "msgprocessthread.h"

#include <QDebug>
#include <QDir>
#include <QFileInfo>
#include <QSerialPort>
#include <QSerialPortInfo>
#include <QThread>

namespace {

constexpr int MaxResends = 2;
// A burst this long while a spectrum is awaited is the spectrum, not a frame.
constexpr int SpectrumMinBytes = 128;
// The write echo that precedes the spectrum text.
constexpr int SpectrumEchoLen = 8;

// Pseudo-terminals and other virtual ports are never enumerated by the
// platform; they reach the list through this variable.
QStringList ExtraPortNames()
{
    return qEnvironmentVariable("RADARFLOW_PORTS").split(QDir::listSeparator(), Qt::SkipEmptyParts);
}

// A port another program holds cannot be opened and is not worth listing.
bool CanOpen(QSerialPort &port)
{
    if (!port.open(QIODevice::ReadWrite))
        return false;
    port.close();
    return true;
}

// The device file as the platform names it: a bare name lives under /dev.
QString DevicePath(const QString &portName)
{
    return portName.contains(QLatin1Char('/')) ? portName : QStringLiteral("/dev/") + portName;
}

// The port exists but this user may not read and write it.
bool IsDenied(const QString &path)
{
    const QFileInfo info(path);
    return info.exists() && !(info.isReadable() && info.isWritable());
}

// The group that may use the port; on Debian and its kin "dialout".
QString DeviceGroup(const QString &path)
{
    const QString group = QFileInfo(path).group();
    return group.isEmpty() || group == QLatin1String("root") ? QStringLiteral("dialout") : group;
}

// A machine lists dozens of legacy ports; a message names a few.
QString ShortList(const QStringList &names)
{
    constexpr int Named = 4;
    QString text = names.mid(0, Named).join(QStringLiteral(", "));
    if (names.size() > Named)
        text += QStringLiteral(", …");
    return text;
}

} // namespace

void MainWindow::SetLineTiming(int iResponseTimeoutMs, int iQuietTimeMs)
{
    responseTimeoutMs = iResponseTimeoutMs;
    quietTimeMs = iQuietTimeMs;
}

bool MainWindow::IsPortReady() const
{
    return ptSerialPort && ptSerialPort->IsOpen();
}

bool MainWindow::CheckPortOrWarn()
{
    if (IsPortReady())
        return true;
    ShowWarning(tr("串口无连接，请先打开串口！"));
    return false;
}

quint8 MainWindow::ChosenDevAddr() const
{
    QString text = ui->comboBoxDevAddr->currentText().trimmed();
    if (text.startsWith(QLatin1String("0x"), Qt::CaseInsensitive))
        text = text.mid(2);
    bool ok = false;
    const uint value = text.toUInt(&ok, 16);
    return ok && value <= 0xFF ? quint8(value) : 0;
}

void MainWindow::on_pushButtonUpdatePort_clicked()
{
    ui->comboBoxPort->clear();
    deniedPorts.clear();
    failedPorts.clear();
    QStringList names;
    const auto probe = [&](QSerialPort &port, const QString &name) {
        if (CanOpen(port))
            names << name;
        else if (IsDenied(DevicePath(name)))
            deniedPorts << name;
        else
            failedPorts << name;
    };
    for (const QSerialPortInfo &info : QSerialPortInfo::availablePorts()) {
        QSerialPort port(info);
        probe(port, info.portName());
    }
    for (const QString &name : ExtraPortNames()) {
        QSerialPort port(name);
        if (!names.contains(name))
            probe(port, name);
    }
    // Network ports cannot be listed by anyone; the ones used before can.
    for (const QString &name : NetworkPortsUsed())
        if (!names.contains(name))
            names << name;
    ui->comboBoxPort->addItems(names);
}

void MainWindow::on_pushButtonUartConnect_clicked()
{
    // The operator takes the port over from the station.
    StopReconnecting();
    isRunWanted = false;
    if (isPortOpen) {
        CloseConnection();
        return;
    }
    QString why;
    if (OpenConnection(&why))
        RememberChoices();
    else
        ShowWarning(why);
}

QString MainWindow::NoUsablePortText() const
{
    if (!deniedPorts.isEmpty())
        return tr("没有可用的串口：没有打开 %1 的权限。请把用户加入 %2 组（sudo usermod -aG %2 "
                  "$USER），重新登录后再试")
            .arg(ShortList(deniedPorts), DeviceGroup(DevicePath(deniedPorts.first())));
    if (!failedPorts.isEmpty())
        return tr("没有可用的串口：%1 无法打开（被其他程序占用或不是真实的串口）")
            .arg(ShortList(failedPorts));
    return tr("没有找到串口：请接好 USB-RS485 转换器，然后点击“刷新串口”");
}

QString MainWindow::OpenFailureText(const QString &portName, const LinkPort &port,
                                    const QString &reason) const
{
    const QString path = DevicePath(portName);
    if (port.IsPermissionDenied() && IsDenied(path))
        return tr("没有打开串口 %1 的权限。请把用户加入 %2 组（sudo usermod -aG %2 "
                  "$USER），重新登录后再试")
            .arg(portName, DeviceGroup(path));
    return tr("串口 %1 打开失败：%2").arg(portName, reason);
}

bool MainWindow::OpenConnection(QString *ptWhy)
{
    // Text that is no address would talk to the broadcast address 0.
    const bool isDiscovery = ui->comboBoxDevAddr->currentText() == tr("查地址");
    if (!isDiscovery && ChosenDevAddr() == 0) {
        *ptWhy = tr("输入参数有误，请输入正确参数！");
        return false;
    }
    // A typed name may carry stray blanks.
    const QString portName = ui->comboBoxPort->currentText().trimmed();
    // An empty name would open "/dev/" and report a folder.
    if (portName.isEmpty()) {
        *ptWhy = NoUsablePortText();
        return false;
    }
    ptSerialPort = new LinkPort;
    QString reason;
    if (!ptSerialPort->Open(portName, &reason)) {
        *ptWhy = OpenFailureText(portName, *ptSerialPort, reason);
        delete ptSerialPort;
        ptSerialPort = nullptr;
        return false;
    }

    isPortOpen = true;
    resendCount = 0;
    // Another instrument may stand on the line now: nothing of the last one's
    // firmware is assumed.
    usDevVersion = 0;
    usHoldingRegCount = DefaultHoldingRegCount;
    usReadBackLastStart = 0;
    refusedReads.clear();
    pendingDistanceBlock.clear();
    ConnectReadyRead();
    connect(ptSerialPort, &LinkPort::lost, this, &MainWindow::HandlePortLost);

    ui->pushButtonUartConnect->setText(tr("关闭串口"));
    ui->pushButtonUartConnect->setIcon(QIcon(QStringLiteral(":/Image/Image/done.png")));
    ui->pushButtonUpdatePort->setEnabled(false);
    ui->comboBoxPort->setEnabled(false);
    ui->comboBoxDevAddr->setEnabled(false);
    ui->tabWidget->setTabEnabled(2, true);
    ui->tabWidget->setTabEnabled(3, true);

    const quint8 ucDevAddr = ChosenDevAddr();
    ptModbus->SetDevAddr(ucDevAddr);

    sendWorker = new MsgProcessThread(ucDevAddr, ptSerialPort, ptModbus);
    sendWorker->moveToThread(sendThread);
    sendThread->start();
    recvWorker = new MsgProcessThread(ucDevAddr, ptSerialPort, ptModbus);
    recvWorker->moveToThread(recvThread);
    recvThread->start();

    qRegisterMetaType<u16>("u16");
    connect(this, &MainWindow::WriteHoldingRegister, sendWorker,
            &MsgProcessThread::WriteHoldingRegister, Qt::QueuedConnection);
    connect(this, &MainWindow::WriteMultHoldingRegisters, sendWorker,
            &MsgProcessThread::WriteMultHoldingRegisters);
    connect(this, &MainWindow::ReadHoldingRegister, sendWorker,
            &MsgProcessThread::ReadHoldingRegister, Qt::QueuedConnection);
    connect(this, &MainWindow::ReadInputRegister, sendWorker, &MsgProcessThread::ReadInputRegister,
            Qt::QueuedConnection);
    connect(this, &MainWindow::ModbusEncoding, recvWorker, &MsgProcessThread::ModbusEncoding,
            Qt::QueuedConnection);
    connect(sendWorker, &MsgProcessThread::SendMsgSucceed, this, &MainWindow::SendMsgSucceedSlot);
    connect(recvWorker, &MsgProcessThread::RecvMsgSucceed, this, &MainWindow::RecvMsgSucceedSlot);

    if (isDiscovery) {
        ptModbus->SetDevAddr(Modbus::DiscoveryAddr);
        emit ReadHoldingRegister(ModbusRegister::DevAddrReg, 1);
    } else {
        emit ReadHoldingRegister(ModbusRegister::DevVersionReg, 1);
    }
    return true;
}

void MainWindow::StopWorkers()
{
    // A request blocked on the gate gives up, so both threads can be joined.
    for (MsgProcessThread *worker : {sendWorker, recvWorker}) {
        if (worker)
            worker->Abandon();
    }
    for (QThread *thread : {sendThread, recvThread}) {
        if (thread) {
            thread->quit();
            thread->wait();
        }
    }
    for (MsgProcessThread **worker : {&sendWorker, &recvWorker}) {
        if (*worker) {
            disconnect(*worker, nullptr, this, nullptr);
            disconnect(this, nullptr, *worker, nullptr);
            delete *worker;
            *worker = nullptr;
        }
    }
}

void MainWindow::CloseConnection()
{
    isPortOpen = false;
    isLinkUp = false;
    isPollPending = false;
    readSerialTimer.stop();
    recvTimeoutTimer.stop();

    // The workers go first: they ask the port whether it is open.
    StopWorkers();
    if (ptSerialPort) {
        disconnect(ptSerialPort, nullptr, this, nullptr);
        ptSerialPort->Close();
        delete ptSerialPort;
        ptSerialPort = nullptr;
    }

    ui->pushButtonUartConnect->setText(tr("打开串口"));
    ui->pushButtonUartConnect->setIcon(QIcon(QStringLiteral(":/Image/Image/error.png")));
    ui->pushButtonUpdatePort->setEnabled(true);
    // A spectrum still awaited dies with the connection; both buttons come back.
    isSpeedFreqPending = false;
    isLevelFreqPending = false;
    ui->pushButtonGetFreq70->setEnabled(true);
    ui->pushButtonGetFreq80->setEnabled(true);
    ui->comboBoxPort->setEnabled(true);
    ui->comboBoxDevAddr->setEnabled(true);

    if (isAutoRun)
        ui->pushButtonAutoRun70->click();
}

void MainWindow::HandlePortLost(const QString &reason)
{
    auto *port = qobject_cast<LinkPort *>(sender());
    if (!isPortOpen || port != ptSerialPort)
        return;
    const QString portName = port->Name();
    qWarning() << "port error:" << portName << reason;
    disconnect(port, nullptr, this, nullptr);
    // Closing deletes the port, which must not happen inside its own signal.
    QMetaObject::invokeMethod(
        this,
        [this, port, portName, reason] {
            if (!isPortOpen || port != ptSerialPort)
                return;
            LinkLost(tr("串口 %1 连接中断：%2").arg(portName, reason), reason);
        },
        Qt::QueuedConnection);
}

void MainWindow::GetDevAddrCompleted(ModbusRegister *)
{
    const u16 value = ModbusRegister::GetHoldingReg(ModbusRegister::DevAddrReg);
    ptModbus->SetDevAddr(quint8(value & 0xFF));
    ui->comboBoxDevAddr->setEditText(
        QStringLiteral("0x") + QStringLiteral("%1").arg(value, 2, 16, QLatin1Char('0')).toUpper());
    emit ReadHoldingRegister(ModbusRegister::DevVersionReg, 1);
}

void MainWindow::WriteSerial(QByteArray array)
{
    if (!IsPortReady())
        return;
    lastSendFrame = array;
    qDebug() << "write:" << ptSerialPort->Write(array).toHex();
}

void MainWindow::SendMsgSucceedSlot()
{
    // A signal queued before the connection closed arms nothing.
    if (!isPortOpen || recvTimeoutTimer.isActive())
        return;
    recvTimeoutTimer.setInterval(responseTimeoutMs);
    recvTimeoutTimer.start();
}

void MainWindow::RecvMsgSucceedSlot()
{
    // The echo of a spectrum request is not the end of it: the time-out
    // keeps watching until the spectrum itself has come.
    if (!recvTimeoutTimer.isActive() || IsSpectrumRequestOnLine())
        return;
    resendCount = 0;
    recvTimeoutTimer.stop();
}

bool MainWindow::IsSpectrumRequestOnLine() const
{
    if (!(isSpeedFreqPending || isLevelFreqPending) || lastSendFrame.size() < 4 ||
        quint8(lastSendFrame.at(1)) != 0x06)
        return false;
    const int reg = (quint8(lastSendFrame.at(2)) << 8) | quint8(lastSendFrame.at(3));
    return reg == ModbusRegister::GetFreq70Reg || reg == ModbusRegister::GetFreq80Reg;
}

void MainWindow::RecvTimeoutSlot()
{
    ++resendCount;
    if (resendCount <= MaxResends) {
        qDebug() << "Resend:" << resendCount;
        // Half an answer kept over the network belongs to the request before.
        if (IsPortReady() && ptSerialPort->PortKind() != LinkPort::Kind::Serial) {
            readSerialTimer.stop();
            const QByteArray stale = ptSerialPort->ReadAll();
            if (!stale.isEmpty())
                qDebug() << "dropped:" << stale.toHex();
            ConnectReadyRead();
        }
        WriteSerial(lastSendFrame);
        return;
    }
    resendCount = 0;
    recvTimeoutTimer.stop();
    if (isSpeedFreqPending || isLevelFreqPending) {
        isSpeedFreqPending = false;
        isLevelFreqPending = false;
        ui->pushButtonGetFreq70->setEnabled(true);
        ui->pushButtonGetFreq80->setEnabled(true);
        // The unanswered spectrum request left the gate closed; reopen it and
        // let a running measurement poll again.
        MsgProcessThread::OpenGate();
        if (isAutoRun)
            autoRunTimer.start();
    } else if (isPortOpen) {
        LinkLost(tr("消息接收超时，请检查设备连接是否正常"), tr("消息接收超时"));
    }
}

void MainWindow::ConnectReadyRead()
{
    connect(ptSerialPort, &LinkPort::readyRead, this, &MainWindow::ReadSerial,
            Qt::UniqueConnection);
}

void MainWindow::ReadSerial()
{
    if (!IsPortReady())
        return;
    const qint64 n = ptSerialPort->BytesAvailable();
    if (n <= 0)
        return;
    // An answer to the request on the line says by its own length when it is
    // over; the line need not fall quiet first.
    if (ModbusAnswer::IsComplete(lastSendFrame, ptSerialPort->Peek())) {
        readSerialTimer.stop();
        CloseFrame();
        return;
    }
    // Anything else is collected until the line has been quiet for a tick.
    if (readSerialTimer.isActive())
        return;
    lastBytesAvailable = int(n);
    readSerialTimer.setInterval(quietTimeMs);
    readSerialTimer.start();
}

void MainWindow::HandleReadSerialTimeout()
{
    if (!IsPortReady()) {
        readSerialTimer.stop();
        return;
    }
    const int n = int(ptSerialPort->BytesAvailable());
    if (n != lastBytesAvailable) {
        lastBytesAvailable = n;
        return;
    }
    // A network cuts an answer into segments with pauses a line never has:
    // an answer that says it is longer is waited for, up to the time-out.
    if (ptSerialPort->PortKind() != LinkPort::Kind::Serial &&
        ModbusAnswer::IsPartial(lastSendFrame, ptSerialPort->Peek()))
        return;
    readSerialTimer.stop();
    CloseFrame();
}

void MainWindow::CloseFrame()
{
    const QByteArray data = ptSerialPort->ReadAll();
    const int n = data.size();

    if (!(isSpeedFreqPending || isLevelFreqPending) || n < SpectrumMinBytes) {
        qDebug() << "Receive:" << data.toHex();
        emit ModbusEncoding(data, u16(qMin(n, 0xFFFF)));
        return;
    }

    QByteArray spectrum;
    const quint8 ucDevAddr = ChosenDevAddr();
    if (quint8(data.at(0)) == ucDevAddr) {
        qDebug() << "dev addr:" << ucDevAddr;
        emit ModbusEncoding(data, SpectrumEchoLen);
        spectrum = data.mid(SpectrumEchoLen);
    } else {
        qDebug() << data.toHex() << n;
        spectrum = data;
    }
    if (isSpeedFreqPending)
        ParseSpeedFreq(spectrum);
    else
        ParseLevelFreq(spectrum);

    isSpeedFreqPending = false;
    isLevelFreqPending = false;
    // The spectrum is the answer: the time-out must not resend the request
    // even when the receive worker finds the gate already reopened below.
    resendCount = 0;
    recvTimeoutTimer.stop();
    if (recvWorker)
        recvWorker->ReleaseSemphore();
    if (isAutoRun)
        autoRunTimer.start();
}
