// Live charts: velocity, level and flow against time, their moving time
// window, hover call-outs and value-axis maxima.
#include "mainwindow.h"
#include "ui_mainwindow.h"

#include "runfileformat.h"

#include "callout.h"
#include "chart.h"
#include "chartsetup.h"
#include "runseries.h"

#include <QDateTimeAxis>
#include <QLineSeries>
#include <QScatterSeries>
#include <QValueAxis>

using namespace QtCharts;

namespace {

constexpr int TimeWindowSecs = 20;

// A positive number typed into an axis-maximum field, or 0.
double PositiveValue(const QString &text)
{
    bool ok = false;
    const double v = text.toDouble(&ok);
    return ok && v > 0 ? v : 0;
}

} // namespace

void MainWindow::InitMainCharts()
{
    // Its translation is kept under QObject, not MainWindow.
    const QString time = QObject::tr("时间");
    ChartSetup::Live(time, tr("流速(m/s)"), 3)
        .Build(ui->kx70MainChart)
        .Into(speedChart, speedLineSeries, speedScatterSeries, speedAxisX, speedAxisY,
              speedCallout);
    ChartSetup::Live(time, tr("水位(m)"), ui->lineEditMaxLevel->text().toDouble())
        .Build(ui->kx80MainChart)
        .Into(levelChart, levelLineSeries, levelScatterSeries, levelAxisX, levelAxisY,
              levelCallout);
    ChartSetup::Live(time, tr("流量(m³/s)"), ui->lineEditMaxQuantity->text().toDouble())
        .Build(ui->kx90MainChart)
        .Into(quantityChart, quantityLineSeries, quantityScatterSeries, quantityAxisX,
              quantityAxisY, quantityCallout);
    ResetTimeAxis();
    for (QScatterSeries *scatter : {speedScatterSeries, levelScatterSeries, quantityScatterSeries})
        connect(scatter, &QScatterSeries::hovered, this, &MainWindow::MainChartHoveredSlot);

    // The run's samples live outside the series, which only show what the
    // time window holds, so a sample costs the same however long the run.
    speedRun = new RunSeries(speedLineSeries, speedScatterSeries, speedAxisX, this);
    levelRun = new RunSeries(levelLineSeries, levelScatterSeries, levelAxisX, this);
    quantityRun = new RunSeries(quantityLineSeries, quantityScatterSeries, quantityAxisX, this);
}

void MainWindow::ResetTimeAxis()
{
    const QDateTime now = QDateTime::currentDateTime();
    for (QDateTimeAxis *axis : {speedAxisX, levelAxisX, quantityAxisX})
        axis->setRange(now, now.addSecs(TimeWindowSecs));
}

void MainWindow::ClearLiveCharts()
{
    for (RunSeries *run : {speedRun, levelRun, quantityRun})
        run->clear();
}

void MainWindow::PlotSample(const QDateTime &now, double speed, double level, double quantity)
{
    const qint64 x = now.toMSecsSinceEpoch();
    speedRun->append(x, speed);
    levelRun->append(x, level);
    quantityRun->append(x, quantity);
    ScrollLiveChart(speedChart, speedAxisX, now);
    ScrollLiveChart(levelChart, levelAxisX, now);
    ScrollLiveChart(quantityChart, quantityAxisX, now);
}

void MainWindow::ScrollLiveChart(Chart *chart, QDateTimeAxis *axisX, const QDateTime &now)
{
    // Keeps the newest point one tenth of the window left of the right edge.
    const qint64 span = axisX->min().secsTo(axisX->max());
    if (span <= 0)
        return;
    const qint64 step = span / 10;
    const qint64 lag = axisX->max().secsTo(now);
    if (lag < -step)
        return;
    chart->scroll(double(step + lag) * chart->plotArea().width() / double(span), 0);
}

void MainWindow::MainChartHoveredSlot(QPointF point, bool state)
{
    const QObject *series = sender();
    Callout *callout = nullptr;
    QString format;
    if (series == speedScatterSeries) {
        callout = speedCallout;
        format = tr("时间: %1 \n流速: %2 m/s");
    } else if (series == levelScatterSeries) {
        callout = levelCallout;
        format = tr("时间: %1 \n水位: %2 m");
    } else if (series == quantityScatterSeries) {
        callout = quantityCallout;
        format = tr("时间: %1 \n流量: %2 m³/s");
    } else {
        return;
    }
    if (!state) {
        callout->hide();
        return;
    }
    const QDateTime time = QDateTime::fromMSecsSinceEpoch(qint64(point.x()));
    callout->ShowAt(
        point,
        format.arg(time.toString(QLatin1String(RunFileFormat::RowTimeFormat))).arg(point.y()));
}

void MainWindow::on_pushButtonMaxSpeed_clicked()
{
    // An empty or zero field would collapse the axis; it is ignored like
    // the level and flow maxima.
    if (const double v = PositiveValue(ui->lineEditMaxSpeed->text()))
        speedAxisY->setRange(0, v);
}

void MainWindow::on_pushButtonMaxLevel_clicked()
{
    if (const double v = PositiveValue(ui->lineEditMaxLevel->text()))
        levelAxisY->setRange(0, v);
}

void MainWindow::on_pushButtonMaxQuantity_clicked()
{
    if (const double v = PositiveValue(ui->lineEditMaxQuantity->text()))
        quantityAxisY->setRange(0, v);
}
