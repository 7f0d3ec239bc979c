// Echo charts: set-up, hover, requesting and parsing the radar echo spectra.
#include "mainwindow.h"
#include "ui_mainwindow.h"

#include "callout.h"
#include "chartsetup.h"
#include "echocurve.h"
#include "linkport.h"

#include <QLineSeries>
#include <QScatterSeries>
#include <QValueAxis>

using namespace QtCharts;

namespace {

constexpr u16 SpectrumCommand = 0x1234;

// Spectrum points against their line number, until a spectrum sets the ranges.
ChartSetup SpectrumSetup(bool hasPoints)
{
    ChartSetup setup;
    setup.axisX = {ChartSetup::Axis::Kind::Value, QString(), QStringLiteral("%i"), 16, 0, 1024};
    setup.axisY = {ChartSetup::Axis::Kind::Value, QString(), QStringLiteral("%i"), 0, 0, 10000};
    setup.hasScatter = hasPoints;
    setup.hasCallout = hasPoints;
    return setup;
}

} // namespace

void MainWindow::InitFreqCharts()
{
    SpectrumSetup(true)
        .Build(ui->kx70FreqChart)
        .Into(speedFreqChart, speedFreqLineSeries, speedFreqScatterSeries, speedFreqAxisX,
              speedFreqAxisY, speedFreqCallout);
    connect(speedFreqScatterSeries, &QScatterSeries::hovered, this,
            &MainWindow::FreqChartHoveredSlot);

    const ChartSetup::Parts level = SpectrumSetup(false).Build(ui->kx80FreqChart);
    levelFreqChart = level.chart;
    levelFreqLineSeries = level.line;
    levelFreqAxisX = qobject_cast<QValueAxis *>(level.axisX);
    levelFreqAxisY = qobject_cast<QValueAxis *>(level.axisY);
}

void MainWindow::FreqChartHoveredSlot(QPointF point, bool state)
{
    if (!state) {
        speedFreqCallout->hide();
        return;
    }
    speedFreqCallout->ShowAt(point, tr("X: %1 \nY: %2").arg(point.x()).arg(point.y()));
}

void MainWindow::on_pushButtonGetFreq70_clicked()
{
    RequestSpectrum(ModbusRegister::GetFreq70Reg, true);
}

void MainWindow::on_pushButtonGetFreq80_clicked()
{
    RequestSpectrum(ModbusRegister::GetFreq80Reg, false);
}

void MainWindow::RequestSpectrum(u16 usRegister, bool isSpeed)
{
    if (!CheckPortOrWarn())
        return;
    if (!ptSerialPort->CarriesSpectra()) {
        ShowWarning(tr("回波谱不是 Modbus 帧，Modbus TCP "
                       "网关不会转发：读取回波谱需要串口或透明传输的串口服务器（tcp://）"));
        return;
    }
    if (isSpeed) {
        speedFreqLineSeries->clear();
        speedFreqScatterSeries->clear();
        isSpeedFreqPending = true;
        ui->pushButtonGetFreq70->setEnabled(false);
    } else {
        levelFreqLineSeries->clear();
        isLevelFreqPending = true;
        ui->pushButtonGetFreq80->setEnabled(false);
    }
    // Polling pauses while the spectrum is on the line.
    if (autoRunTimer.isActive())
        autoRunTimer.stop();
    emit WriteHoldingRegister(usRegister, SpectrumCommand);
}

void MainWindow::ParseSpeedFreq(const QByteArray &data)
{
    const EchoCurve spectrum = EchoCurve::Parse(data);
    speedFreqAxisX->setRange(0, spectrum.crlfCount);
    speedFreqLineSeries->replace(spectrum.points);
    speedFreqScatterSeries->replace(spectrum.points);
    speedFreqAxisY->setRange(0, spectrum.VelocityAxisMax());
    ui->pushButtonGetFreq70->setEnabled(true);
    ui->pushButtonGetFreq80->setEnabled(true);
}

void MainWindow::ParseLevelFreq(const QByteArray &data)
{
    const EchoCurve spectrum = EchoCurve::Parse(data);
    levelFreqAxisX->setRange(0, spectrum.crlfCount);
    levelFreqLineSeries->replace(spectrum.points);
    levelFreqAxisY->setRange(0, spectrum.LevelAxisMax());
    ui->pushButtonGetFreq70->setEnabled(true);
    ui->pushButtonGetFreq80->setEnabled(true);
}
