// Measurement runs: starting and ending a run, the poll timer, the live
// values of each answer and the samples taken while a run is active.
#include "mainwindow.h"
#include "ui_mainwindow.h"

#include "runfileformat.h"

#include <QDebug>
#include <QMessageBox>

namespace {

constexpr u16 FirstInputReg = 1;
constexpr u16 InputRegBlock = 16;
// Firmware up to V1.8 reports the flow in register 4 and the discharge in
// hundredths; later firmware uses registers 15-16 and thousandths.
constexpr u16 LastOldScalingVersion = 0x0108;
// A measurement file holds at most this many rows; the run then chains.
constexpr int MaxRowsPerRun = 3000;

int IntervalSecs(const QString &text)
{
    bool ok = false;
    const int secs = text.toInt(&ok);
    return ok && secs >= 1 && secs <= 65535 ? secs : 0;
}

} // namespace

void MainWindow::AutoRunClicked(bool checked)
{
    if (isAutoRun)
        EndRun();
    else
        StartRun(checked);
}

void MainWindow::StartRun(bool keepCharts)
{
    if (!CheckPortOrWarn())
        return;
    // An empty or zero interval would poll as fast as the event loop runs;
    // the last valid interval stays in force instead.
    if (const int secs = IntervalSecs(ui->lineEditAutoRunIntvel->text()))
        autoRunIntervalSecs = secs;
    else
        ui->lineEditAutoRunIntvel->setText(QString::number(autoRunIntervalSecs));

    isAutoRun = true;
    ui->pushButtonChangeAddr->setEnabled(false);
    ui->pushButtonAutoRun70->setText(tr("结束测量"));
    ui->pushButtonAutoRun70->setIcon(QIcon(QStringLiteral(":/Image/Image/play.png")));
    ResetTimeAxis();
    if (!keepCharts)
        ClearLiveCharts();
    autoRunTimer.setInterval(autoRunIntervalSecs * 1000);
    autoRunTimer.start();
    isPollPending = false;
    // The file is named after the start, so the start is taken first.
    startTime = QDateTime::currentDateTime();
    CreateXmlFile();
}

void MainWindow::EndRun()
{
    isAutoRun = false;
    ui->pushButtonChangeAddr->setEnabled(true);
    ui->pushButtonAutoRun70->setText(tr("开始测量"));
    ui->pushButtonAutoRun70->setIcon(QIcon(QStringLiteral(":/Image/Image/pause.png")));
    autoRunTimer.stop();
    endTime = QDateTime::currentDateTime();
    SaveXmlFile();
}

void MainWindow::HandleAutoRunTimeout()
{
    // Ticks that come while an answer is awaited are dropped, not queued:
    // after an outage they would all go out at once.
    if (isPollPending || recvTimeoutTimer.isActive()) {
        qDebug() << "poll skipped: a request is outstanding";
        return;
    }
    isPollPending = true;
    emit ReadInputRegister(FirstInputReg, InputRegBlock);
}

void MainWindow::AutoRunTimerChanged()
{
    const int secs = IntervalSecs(ui->lineEditAutoRunIntvel->text());
    if (!autoRunTimer.isActive() || secs == 0)
        return;
    autoRunIntervalSecs = secs;
    autoRunTimer.stop();
    autoRunTimer.setInterval(secs * 1000);
    autoRunTimer.start();
}

void MainWindow::InputRegisterUpdate(ModbusRegister *)
{
    isPollPending = false;
    const double speed = ModbusRegister::GetInputReg(1) / 1000.0;
    ui->curSpeed->setText(QStringLiteral("%1 m/s").arg(speed));
    const double level = ModbusRegister::GetInputReg(2) / 1000.0;
    ui->curLevel->setText(QStringLiteral("%1 m").arg(level));
    const double airGap = ModbusRegister::GetInputReg(3) / 1000.0;
    ui->curKongGao->setText(QStringLiteral("%1 m").arg(airGap));

    const u16 version = ModbusRegister::GetInputReg(14);
    ui->labelDevVersion->setText(
        tr("<html><head/><body><p><span style=' color:#55aaff;'>设备软件版本：V%1.%2</span></p>"
           "</body></html>")
            .arg(version >> 8)
            .arg(version & 0xFF));

    const bool isOldScaling = version <= LastOldScalingVersion;
    const double quantity = isOldScaling ? ModbusRegister::GetInputReg(4) / 100.0
                                         : ModbusRegister::GetInputValue(15, 2) / 1000.0;
    const quint64 dischargeRaw = ModbusRegister::GetInputValue(5, 3);
    const double discharge = double(dischargeRaw) / (isOldScaling ? 100.0 : 1000.0);
    ui->curQuantity->setText(QStringLiteral("%1 m³/s").arg(quantity));
    ui->dischargeCount->setText(QStringLiteral("%1 m³").arg(discharge));
    qDebug() << ModbusRegister::GetInputReg(5) << ModbusRegister::GetInputReg(6)
             << ModbusRegister::GetInputReg(7) << dischargeRaw << discharge;

    const int speedStrength = ModbusRegister::GetInputReg(8);
    const int levelStrength = ModbusRegister::GetInputReg(9);
    AppendMeasurement(speed, level, quantity, airGap, discharge, speedStrength, levelStrength);

    ui->labelThreshold70->setText(QString::number(speedStrength));
    ui->labelThreshold80->setText(QString::number(levelStrength));
    ui->labelVerAngle->setText(QStringLiteral("%1°").arg(ModbusRegister::GetInputReg(12) / 100.0));
}

void MainWindow::AppendMeasurement(double speed, double level, double quantity, double airGap,
                                   double discharge, int speedStrength, int levelStrength)
{
    if (!isAutoRun)
        return;
    const QDateTime now = QDateTime::currentDateTime();
    PlotSample(now, speed, level, quantity);
    WriteXmlFileRow(now.toString(QLatin1String(RunFileFormat::RowTimeFormat)), speed, level,
                    quantity, airGap, discharge, speedStrength, levelStrength);
    if (measurementFile.rowCount() >= MaxRowsPerRun) {
        AutoRunClicked(true); // ends the run and records it
        AutoRunClicked(true); // starts the next one, keeping the charts
    }
}
