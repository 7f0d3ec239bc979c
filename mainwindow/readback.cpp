// Settings read-back and device commands: the version read and the full
// read-back it starts, the form fill, factory reset, discharge clearing,
// address change and the status messages of every write.
#include "mainwindow.h"
#include "ui_mainwindow.h"

#include "modbusregister.h"
#include "settingstable.h"

#include <QDebug>

namespace {

// A read-back asks for this many registers per request.
constexpr u16 ReadBlockSize = 5;

constexpr u16 DischargeClearReg = 26;
constexpr u16 FactoryRstReg = 37;
constexpr u16 DevToButtomLenMmReg = 75;

// Firmware from which the distance D is kept in millimetres in 75-76.
constexpr u16 MillimetreDistanceVersion = 0x041A;

constexpr u16 MinDevAddr = 0x01;
constexpr u16 MaxDevAddr = 0xC8;

constexpr int StatusMs = 3000;
// The hint after an address change stays until the operator can act on it.
constexpr int HintStatusMs = 30000;
// The instrument restarts after a factory reset; the message stays longer.
constexpr int RestartStatusMs = 5000;

u16 Reg(u16 usAddr)
{
    return ModbusRegister::GetHoldingReg(usAddr);
}

QString Centi(u16 usAddr)
{
    return QString::number(Reg(usAddr) / 100.0);
}

} // namespace

void MainWindow::ConnectSettings()
{
    connect(ui->pushButtonReadAll, &QPushButton::clicked, this, &MainWindow::ReadAllRegVal);
    connect(ui->pushButtonFactoryRst, &QPushButton::clicked, this, &MainWindow::FactoryReset);
    connect(ui->pushButtonReadAll2, &QPushButton::clicked, this, &MainWindow::ReadAllRegVal);
    connect(ui->pushButtonFactoryRst2, &QPushButton::clicked, this, &MainWindow::FactoryReset);
    for (QRadioButton *shape : {ui->radioButtonCircle, ui->radioButtonRectangle, ui->radioButtonU})
        connect(shape, &QRadioButton::clicked, this, &MainWindow::SinkShapeSelect);
    connect(ptModbus, &Modbus::WriteSingleHoldingRegStatus, this,
            &MainWindow::WriteSingleHoldingRegStatus);
    connect(ptModbus, &Modbus::WriteMultHoldingRegStatus, this,
            &MainWindow::WriteMultHoldingRegStatus);
    connect(ptModbus, &Modbus::HoldingRegisterUpdate, this, &MainWindow::HoldingRegisterUpdate);
    connect(ptModbus, &Modbus::SingleHoldingRegisterUpdate, this,
            &MainWindow::SingleHoldingRegisterUpdate);
    SinkShapeSelect();
}

void MainWindow::ReadAllRegVal()
{
    qDebug() << "HoldingRegCount: " << usHoldingRegCount;
    if (!CheckPortOrWarn())
        return;
    refusedReads.clear();
    // The worker queues the blocks and sends each after the previous answer.
    for (int start = 1; start <= usHoldingRegCount; start += ReadBlockSize) {
        const int count = qMin(int(ReadBlockSize), usHoldingRegCount - start + 1);
        usReadBackLastStart = u16(start);
        usReadBackLastCount = u16(count);
        emit ReadHoldingRegister(u16(start), u16(count));
    }
}

void MainWindow::HoldingReadDone(bool isRefused, quint8 ucCode)
{
    // The answer or refusal reaches this thread before the next request can
    // be written, so the last frame written is the one it belongs to.
    if (lastSendFrame.size() < 6 || quint8(lastSendFrame.at(1)) != Modbus::FuncReadHolding)
        return;
    const int start = quint8(lastSendFrame.at(2)) << 8 | quint8(lastSendFrame.at(3));
    const int count = quint8(lastSendFrame.at(4)) << 8 | quint8(lastSendFrame.at(5));
    if (isRefused) {
        ucRefusedCode = ucCode;
        if (!refusedReads.isEmpty() && refusedReads.last().second + 1 == start)
            refusedReads.last().second = start + count - 1;
        else
            refusedReads.append({start, start + count - 1});
    }
    // Within a read-back, the blocks after a refused one are read all the
    // same; its last block ends it.
    if (usReadBackLastStart != 0 && (start != usReadBackLastStart || count != usReadBackLastCount))
        return;
    usReadBackLastStart = 0;
    if (refusedReads.isEmpty())
        return;
    QStringList registers;
    for (const auto &range : qAsConst(refusedReads))
        registers << (range.first == range.second
                          ? QString::number(range.first)
                          : QStringLiteral("%1–%2").arg(range.first).arg(range.second));
    refusedReads.clear();
    const QString code = QStringLiteral("%1").arg(ucRefusedCode, 2, 16, QLatin1Char('0')).toUpper();
    WarnLater(tr("设备拒绝读出寄存器 %1（异常码 %2），这些设置未读出。")
                  .arg(registers.join(QStringLiteral("、")), code));
}

void MainWindow::SingleHoldingRegisterUpdate(u16 usRegister, QByteArray data)
{
    // The last block of a read-back and the address query also read one
    // register; only the version starts a read-back.
    if (usRegister != ModbusRegister::DevVersionReg || data.size() < 2)
        return;
    const u16 v = u16(quint8(data.at(0)) << 8 | quint8(data.at(1)));
    qDebug() << "version:" << v;
    usDevVersion = v;
    usHoldingRegCount = ModbusRegister::HoldingRegCountForVersion(v, usHoldingRegCount);
    // An answer that arrives after the port was closed starts nothing.
    if (!IsPortReady())
        return;
    ReadAllRegVal();
}

void MainWindow::HoldingRegisterUpdate(ModbusRegister *)
{
    ui->tabWidget->setTabEnabled(1, true);
    ui->tabWidget->setTabEnabled(2, true);

    // The channel geometry block, the sink shape and the version are not
    // settings of the table.
    ui->lineEditRadius->setText(Centi(17));
    ui->lineEditButtomLen->setText(Centi(18));
    ui->lineEditTopLen->setText(Centi(19));
    ui->lineEditHeight->setText(Centi(20));
    if (usDevVersion >= MillimetreDistanceVersion) {
        const quint64 mm = ModbusRegister::GetHoldingValue(DevToButtomLenMmReg, 2);
        ui->lineEditDevToButtomLen->setText(QString::number(mm / 1000.0));
    } else {
        ui->lineEditDevToButtomLen->setText(Centi(16));
    }

    switch (Reg(15)) {
    case 1:
        ui->radioButtonCircle->setChecked(true);
        break;
    case 2:
        ui->radioButtonRectangle->setChecked(true);
        break;
    case 3:
        ui->radioButtonU->setChecked(true);
        break;
    default:
        break;
    }
    SinkShapeSelect();
    ui->statusBar->showMessage(tr("读出设置成功"), StatusMs);

    const u16 version = Reg(ModbusRegister::DevVersionReg);
    ui->labelDevVersion->setText(
        tr("<html><head/><body><p><span style=' color:#55aaff;'>设备软件版本：V%1.%2</span></p>"
           "</body></html>")
            .arg(version >> 8)
            .arg(version & 0xFF));
    // Older firmware lacks the advanced settings; their fields keep what they
    // show.
    SettingsTable::Show(ui, version);
    HoldingReadDone(false, 0);
}

bool MainWindow::ConfirmCommand(const QString &title, const QString &text)
{
    return notifier.Ask(title, text);
}

void MainWindow::FactoryReset()
{
    if (!CheckPortOrWarn())
        return;
    if (isAutoRun) {
        ShowWarning(tr("恢复出厂设置后仪器会自动重启，请先结束测量！"));
        return;
    }
    if (ConfirmCommand(tr("恢复出厂设置"), tr("确定要恢复出厂设置吗？")))
        emit WriteHoldingRegister(FactoryRstReg, 1);
}

void MainWindow::on_dischargeClear_clicked()
{
    if (!CheckPortOrWarn())
        return;
    if (ConfirmCommand(tr("清空累计流量"), tr("确定要清空累计流量吗？")))
        emit WriteHoldingRegister(DischargeClearReg, 1);
}

void MainWindow::on_pushButtonChangeAddr_clicked()
{
    if (!CheckPortOrWarn())
        return;
    QString text = ui->lineEditNewDevAddr->text().trimmed();
    if (text.isEmpty()) {
        ShowWarning(tr("请输入要设置的设备地址，以十进制表示！"));
        return;
    }
    if (text.startsWith(QLatin1String("0x"), Qt::CaseInsensitive))
        text = text.mid(2);
    // The whole number is checked, so 0x10001 is refused rather than
    // written as 0x01.
    bool ok = false;
    const qulonglong address = text.toULongLong(&ok, 16);
    if (!ok || address < MinDevAddr || address > MaxDevAddr) {
        ShowWarning(tr("设备地址无效，必须在0x01-0xC8之间！"));
        return;
    }
    usNewDevAddr = u16(address);
    emit WriteHoldingRegister(ModbusRegister::DevAddrReg, u16(address));
}

void MainWindow::WriteSingleHoldingRegStatus(bool isSucceed, u16 usAddr)
{
    if (!isSucceed) {
        ui->statusBar->showMessage(tr("设置写入失败"), StatusMs);
        return;
    }
    if (usAddr == FactoryRstReg) {
        ui->statusBar->showMessage(tr("恢复出厂，系统正在重启。。。"), RestartStatusMs);
        return;
    }
    // The velocity axis follows the chart's own range field, not the
    // instrument's new maximum.
    if (usAddr == SettingsTable::MaxMeasureSpeedReg)
        on_pushButtonMaxSpeed_clicked();
    // The instrument answers at its new address from now on; this program
    // keeps the old one until the port is reopened.
    if (usAddr == ModbusRegister::DevAddrReg) {
        const QString hex = QString::number(usNewDevAddr, 16).toUpper().rightJustified(2, '0');
        ui->statusBar->showMessage(tr("设置写入成功") +
                                       tr("，请在地址框中选择新地址 0x%1 并重新打开串口").arg(hex),
                                   HintStatusMs);
        return;
    }
    ui->statusBar->showMessage(tr("设置写入成功"), StatusMs);
}

void MainWindow::ExceptionAnswer(quint8 ucFunction, quint8 ucCode)
{
    const QString code = QStringLiteral("%1").arg(ucCode, 2, 16, QLatin1Char('0')).toUpper();
    switch (ucFunction) {
    case 0x04:
        // That sample is lost; the next poll goes out as usual.
        isPollPending = false;
        ui->statusBar->showMessage(tr("设备返回异常码 %1").arg(code), StatusMs);
        break;
    case 0x03:
        HoldingReadDone(true, ucCode);
        break;
    case 0x06:
        // A refused spectrum request ends the wait for the spectrum.
        if (isSpeedFreqPending || isLevelFreqPending) {
            isSpeedFreqPending = false;
            isLevelFreqPending = false;
            ui->pushButtonGetFreq70->setEnabled(true);
            ui->pushButtonGetFreq80->setEnabled(true);
            if (isAutoRun)
                autoRunTimer.start();
        }
        break;
    default:
        break;
    }
}

void MainWindow::WriteMultHoldingRegStatus(bool isSucceed, u16 usAddr)
{
    ui->statusBar->showMessage(isSucceed ? tr("参数设置成功") : tr("参数设置失败"), StatusMs);
    GeometryWriteAnswered(isSucceed, usAddr);
}
