// Echo charts: set-up, hover, requesting and parsing the radar echo spectra.
#include "mainwindow.h"
#include "ui_mainwindow.h"

#include "callout.h"
#include "chart.h"
#include "echocurve.h"

#include <QLineSeries>
#include <QScatterSeries>
#include <QValueAxis>

using namespace QtCharts;

namespace {

constexpr u16 SpectrumCommand = 0x1234;
constexpr int CalloutZ = 11;

QValueAxis *MakeSpectrumAxis(Chart *chart, Qt::Alignment alignment, int max)
{
    auto *axis = new QValueAxis(chart);
    axis->setLabelFormat(QStringLiteral("%i"));
    if (alignment == Qt::AlignBottom)
        axis->setTickCount(16);
    axis->setRange(0, max);
    chart->addAxis(axis, alignment);
    return axis;
}

} // namespace

void MainWindow::InitFreqCharts()
{
    speedFreqChart = new Chart;
    speedFreqLineSeries = new QLineSeries(speedFreqChart);
    speedFreqScatterSeries = new QScatterSeries(speedFreqChart);
    speedFreqScatterSeries->setMarkerSize(8);
    speedFreqScatterSeries->setColor(QColor(32, 159, 223, 255));
    speedFreqChart->addSeries(speedFreqLineSeries);
    speedFreqChart->addSeries(speedFreqScatterSeries);
    speedFreqAxisX = MakeSpectrumAxis(speedFreqChart, Qt::AlignBottom, 1024);
    speedFreqAxisY = MakeSpectrumAxis(speedFreqChart, Qt::AlignLeft, 10000);
    for (QAbstractSeries *series : {static_cast<QAbstractSeries *>(speedFreqLineSeries),
                                    static_cast<QAbstractSeries *>(speedFreqScatterSeries)}) {
        series->attachAxis(speedFreqAxisX);
        series->attachAxis(speedFreqAxisY);
    }
    speedFreqChart->legend()->hide();
    speedFreqChart->setAnimationOptions(QChart::AllAnimations);
    ui->kx70FreqChart->installChart(speedFreqChart);
    ui->kx70FreqChart->setRenderHint(QPainter::Antialiasing);
    speedFreqCallout = new Callout(speedFreqChart);
    connect(speedFreqScatterSeries, &QScatterSeries::hovered, this,
            &MainWindow::FreqChartHoveredSlot);
    speedFreqCallout->hide();
    speedFreqScatterSeries->clear();

    levelFreqChart = new Chart;
    levelFreqLineSeries = new QLineSeries(levelFreqChart);
    levelFreqChart->addSeries(levelFreqLineSeries);
    levelFreqAxisX = MakeSpectrumAxis(levelFreqChart, Qt::AlignBottom, 1024);
    levelFreqAxisY = MakeSpectrumAxis(levelFreqChart, Qt::AlignLeft, 10000);
    levelFreqLineSeries->attachAxis(levelFreqAxisX);
    levelFreqLineSeries->attachAxis(levelFreqAxisY);
    levelFreqChart->legend()->hide();
    levelFreqChart->setAnimationOptions(QChart::AllAnimations);
    ui->kx80FreqChart->installChart(levelFreqChart);
    ui->kx80FreqChart->setRenderHint(QPainter::Antialiasing);
}

void MainWindow::FreqChartHoveredSlot(QPointF point, bool state)
{
    if (!state) {
        speedFreqCallout->hide();
        return;
    }
    speedFreqCallout->setText(tr("X: %1 \nY: %2").arg(point.x()).arg(point.y()));
    speedFreqCallout->setAnchor(point);
    speedFreqCallout->setZValue(CalloutZ);
    speedFreqCallout->updateGeometry();
    speedFreqCallout->show();
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
