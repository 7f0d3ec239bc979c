// Serial connection: port list, opening and closing, frames out and in,
// the response time-out with its resends, and the echo-spectrum receive path.
#include "mainwindow.h"
#include "ui_mainwindow.h"

#include "msgprocessthread.h"

#include <QDebug>
#include <QDir>
#include <QMessageBox>
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

bool IsConnectionLost(QSerialPort::SerialPortError error)
{
    switch (error) {
    case QSerialPort::ResourceError:
    case QSerialPort::ReadError:
    case QSerialPort::WriteError:
    case QSerialPort::DeviceNotFoundError:
    case QSerialPort::PermissionError:
    case QSerialPort::UnknownError:
        return true;
    default:
        return false;
    }
}

} // namespace

void MainWindow::SetLineTiming(int iResponseTimeoutMs, int iQuietTimeMs)
{
    responseTimeoutMs = iResponseTimeoutMs;
    quietTimeMs = iQuietTimeMs;
}

bool MainWindow::IsPortReady() const
{
    return ptSerialPort && ptSerialPort->isOpen();
}

bool MainWindow::CheckPortOrWarn()
{
    if (IsPortReady())
        return true;
    QMessageBox::warning(this, tr("警告"), tr("串口无连接，请先打开串口！"), QMessageBox::Ok,
                         QMessageBox::NoButton);
    return false;
}

quint8 MainWindow::ChosenDevAddr() const
{
    QString text = ui->comboBoxDevAddr->currentText().trimmed();
    if (text.startsWith(QLatin1String("0x"), Qt::CaseInsensitive))
        text = text.mid(2);
    bool ok = false;
    const uint value = text.toUInt(&ok, 16);
    return ok ? quint8(value & 0xFF) : 0;
}

void MainWindow::on_pushButtonUpdatePort_clicked()
{
    ui->comboBoxPort->clear();
    QStringList names;
    for (const QSerialPortInfo &info : QSerialPortInfo::availablePorts()) {
        QSerialPort probe(info);
        if (CanOpen(probe))
            names << info.portName();
    }
    for (const QString &name : ExtraPortNames()) {
        QSerialPort probe(name);
        if (!names.contains(name) && CanOpen(probe))
            names << name;
    }
    ui->comboBoxPort->addItems(names);
}

void MainWindow::on_pushButtonUartConnect_clicked()
{
    if (isPortOpen)
        CloseConnection();
    else
        OpenConnection();
}

void MainWindow::OpenConnection()
{
    const QString portName = ui->comboBoxPort->currentText();
    ptSerialPort = new QSerialPort;
    ptSerialPort->setPortName(portName);
    if (!ptSerialPort->open(QIODevice::ReadWrite)) {
        const QString reason = ptSerialPort->errorString();
        qWarning() << "open failed:" << portName << reason;
        delete ptSerialPort;
        ptSerialPort = nullptr;
        QMessageBox::warning(this, tr("警告"), tr("串口 %1 打开失败：%2").arg(portName, reason),
                             QMessageBox::Ok);
        return;
    }
    ptSerialPort->setBaudRate(QSerialPort::Baud9600);
    ptSerialPort->setParity(QSerialPort::NoParity);
    ptSerialPort->setDataBits(QSerialPort::Data8);
    ptSerialPort->setStopBits(QSerialPort::OneStop);
    ptSerialPort->setFlowControl(QSerialPort::NoFlowControl);

    isPortOpen = true;
    resendCount = 0;
    ConnectReadyRead();
    connect(ptSerialPort, &QSerialPort::errorOccurred, this, &MainWindow::HandlePortError);

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

    if (ui->comboBoxDevAddr->currentText() == tr("查地址")) {
        ptModbus->SetDevAddr(Modbus::DiscoveryAddr);
        emit ReadHoldingRegister(ModbusRegister::DevAddrReg, 1);
    } else {
        emit ReadHoldingRegister(ModbusRegister::DevVersionReg, 1);
    }
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
    readSerialTimer.stop();
    recvTimeoutTimer.stop();

    // The workers go first: they ask the port whether it is open.
    StopWorkers();
    if (ptSerialPort) {
        disconnect(ptSerialPort, nullptr, this, nullptr);
        ptSerialPort->clear(QSerialPort::AllDirections);
        ptSerialPort->close();
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

void MainWindow::HandlePortError(QSerialPort::SerialPortError error)
{
    // A vanished adapter reports errors in a tight loop until the port is
    // closed; the first one closes it, the rest find it gone.
    auto *port = qobject_cast<QSerialPort *>(sender());
    if (!IsConnectionLost(error) || !isPortOpen || port != ptSerialPort)
        return;
    const QString portName = port->portName();
    const QString reason = port->errorString();
    qWarning() << "port error:" << portName << error << reason;
    disconnect(port, nullptr, this, nullptr);
    // Closing deletes the port, which must not happen inside its own signal.
    QMetaObject::invokeMethod(
        this,
        [this, port, portName, reason] {
            if (!isPortOpen || port != ptSerialPort)
                return;
            ui->pushButtonUartConnect->click();
            QMessageBox::warning(this, tr("警告"), tr("串口 %1 连接中断：%2").arg(portName, reason),
                                 QMessageBox::Ok);
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
    ptSerialPort->write(array);
    qDebug() << "write:" << array.toHex();
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
        ui->pushButtonUartConnect->click();
        QMessageBox::warning(this, tr("警告"), tr("消息接收超时，请检查设备连接是否正常"),
                             QMessageBox::Ok);
    }
}

void MainWindow::ConnectReadyRead()
{
    connect(ptSerialPort, &QSerialPort::readyRead, this, &MainWindow::ReadSerial,
            Qt::UniqueConnection);
}

void MainWindow::ReadSerial()
{
    if (!IsPortReady())
        return;
    const qint64 n = ptSerialPort->bytesAvailable();
    if (n <= 0)
        return;
    lastBytesAvailable = int(n);
    // Further bytes are collected until the line has been quiet for a tick.
    disconnect(ptSerialPort, &QSerialPort::readyRead, this, &MainWindow::ReadSerial);
    readSerialTimer.setInterval(quietTimeMs);
    readSerialTimer.start();
}

void MainWindow::HandleReadSerialTimeout()
{
    if (!IsPortReady()) {
        readSerialTimer.stop();
        return;
    }
    const int n = int(ptSerialPort->bytesAvailable());
    if (n != lastBytesAvailable) {
        lastBytesAvailable = n;
        return;
    }
    readSerialTimer.stop();
    const QByteArray data = ptSerialPort->readAll();

    if (!(isSpeedFreqPending || isLevelFreqPending) || n < SpectrumMinBytes) {
        qDebug() << "Receive:" << data.toHex();
        emit ModbusEncoding(data, u16(qMin(n, 0xFFFF)));
        ConnectReadyRead();
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
    ConnectReadyRead();
}
