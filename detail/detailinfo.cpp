#include "detailinfo.h"
#include "ui_detailinfo.h"

#include "callout.h"
#include "chartsetup.h"
#include "chartview.h"
#include "csvexport.h"
#include "runfile.h"
#include "runfileformat.h"
#include "runseries.h"

#include <QDateTime>
#include <QDateTimeAxis>
#include <QDebug>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QLineSeries>
#include <QMessageBox>
#include <QScatterSeries>
#include <QValueAxis>
#include <QVector>

using namespace QtCharts;

namespace {

// The chart opens on the last 20 seconds of a run; zoom and pan reach the rest.
const qint64 WindowMs = 20 * 1000;
const double ValueFloor = -0.0001;

void FitValueAxis(QValueAxis *axis, double maximum)
{
    // A quantity that stayed 0 throughout keeps the default range.
    if (maximum > 0)
        axis->setRange(ValueFloor, maximum + maximum / 10);
}

} // namespace

DetailInfo::DetailInfo(QWidget *parent) : QDialog(parent), ui(new Ui::DetailInfo)
{
    ui->setupUi(this);
    connect(ui->okButton, &QPushButton::clicked, this, &DetailInfo::close);
    connect(ui->ButtonExport, &QPushButton::clicked, this, &DetailInfo::ExportFile);
    connect(ui->pushButtonWholeRun, &QPushButton::clicked, this, &DetailInfo::ShowWholeRun);
}

DetailInfo::~DetailInfo()
{
    // Gone before the charts, so that no chart torn down signals into them.
    for (Plot *plot : {&speed, &level, &quantity})
        delete plot->runSeries;
    delete ui;
}

void DetailInfo::InitPlot(Plot &plot, ChartView *view, const QString &valueTitle)
{
    ChartSetup setup;
    setup.axisX = {ChartSetup::Axis::Kind::Time, tr("时间"), QStringLiteral("HH:mm:ss"), 10};
    setup.axisY = {ChartSetup::Axis::Kind::Value, valueTitle, QString(), 0, ValueFloor, 3};
    setup.hasCallout = true;
    plot.parts = setup.Build(view);
    plot.timeAxis = qobject_cast<QDateTimeAxis *>(plot.parts.axisX);
    plot.valueAxis = qobject_cast<QValueAxis *>(plot.parts.axisY);
    connect(plot.parts.scatter, &QScatterSeries::hovered, this,
            &DetailInfo::DetailChartHoveredSlot);
}

void DetailInfo::InitDetailCharts()
{
    InitPlot(speed, ui->detailInfoChart70, tr("流速(m/s)"));
    InitPlot(level, ui->detailInfoChart80, tr("水位(m)"));
    InitPlot(quantity, ui->detailInfoChart90, tr("流量(m³/s)"));
    ResetDetailTimeAxes();
}

void DetailInfo::ResetDetailTimeAxes()
{
    const QDateTime now = QDateTime::currentDateTime();
    for (Plot *plot : {&speed, &level, &quantity})
        plot->timeAxis->setRange(now, now.addMSecs(WindowMs));
}

void DetailInfo::setDetailInfoFileName(QString name)
{
    fileName = name;
    InitDetailCharts();
    LoadFile();
}

void DetailInfo::LoadFile()
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        qDebug() << "Open file failed";
        qDebug() << file.errorString();
        ShowWarning(QFile::exists(fileName)
                        ? tr("测量文件无法读取：%1\n%2").arg(fileName, file.errorString())
                        : tr("测量文件不存在：%1").arg(fileName));
        return;
    }
    qDebug() << fileName << "open file success";
    const RunFile content = RunFile::Read(&file);
    file.close();

    // The points are gathered first and handed to each series in one
    // replace: appending 3000 points one by one redraws the chart each time.
    QVector<QPointF> speedPoints;
    QVector<QPointF> levelPoints;
    QVector<QPointF> quantityPoints;
    double maxSpeed = 0;
    double maxLevel = 0;
    double maxQuantity = 0;
    for (const RunFile::Row &row : content.rows) {
        const double x = row.time.toMSecsSinceEpoch();
        speedPoints.append(QPointF(x, row.speed));
        levelPoints.append(QPointF(x, row.level));
        quantityPoints.append(QPointF(x, row.quantity));
        maxSpeed = qMax(maxSpeed, row.speed);
        maxLevel = qMax(maxLevel, row.level);
        maxQuantity = qMax(maxQuantity, row.quantity);
    }

    if (!content.rows.isEmpty()) {
        const QDateTime first = content.rows.first().time;
        const QDateTime last = content.rows.last().time;
        const bool isLong = first.msecsTo(last) > WindowMs;
        const QDateTime from = isLong ? last.addMSecs(-WindowMs) : first;
        const QDateTime to = isLong ? last : first.addMSecs(WindowMs);
        for (Plot *plot : {&speed, &level, &quantity})
            plot->timeAxis->setRange(from, to);
    }
    FitValueAxis(speed.valueAxis, maxSpeed);
    FitValueAxis(level.valueAxis, maxLevel);
    FitValueAxis(quantity.valueAxis, maxQuantity);

    // Axes first, points second: the chart lays the points out once.
    speed.parts.line->replace(speedPoints);
    speed.parts.scatter->replace(speedPoints);
    level.parts.line->replace(levelPoints);
    level.parts.scatter->replace(levelPoints);
    quantity.parts.line->replace(quantityPoints);
    quantity.parts.scatter->replace(quantityPoints);

    ui->pushButtonWholeRun->setEnabled(!content.rows.isEmpty());

    // What could be read stays plotted; the operator learns what could not.
    QStringList problems;
    if (!content.isComplete) {
        qDebug() << "error: " << content.errorString;
        problems << tr("文件不完整或已损坏（%1）").arg(content.errorString);
    }
    if (content.unreadableRows > 0)
        problems << tr("%1 行数据无法读取").arg(content.unreadableRows);
    if (!problems.isEmpty())
        ShowWarning(tr("测量文件 %1：%2。已显示可读取的 %3 行。")
                        .arg(fileName, problems.join(tr("，")))
                        .arg(content.rows.size()));
}

void DetailInfo::ShowWarning(const QString &text)
{
    // Over the charts, not before them: the dialog is not yet running when
    // the file is read.
    auto *box = new QMessageBox(QMessageBox::Warning, tr("警告"), text, QMessageBox::Ok, this);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
}

void DetailInfo::ShowWholeRun()
{
    for (Plot *plot : {&speed, &level, &quantity}) {
        // Until now the series held every sample; from now on the run series
        // holds them and gives the series what the axis shows, so a run of
        // thousands of samples draws per pixel column and zooming in brings
        // every sample back.
        if (!plot->runSeries) {
            const QVector<QPointF> points = plot->parts.line->pointsVector();
            plot->runSeries =
                new RunSeries(plot->parts.line, plot->parts.scatter, plot->timeAxis, this);
            plot->runSeries->replace(points);
        }
        const RunSeries &samples = *plot->runSeries;
        if (samples.size() < 2 || samples.at(0).x() >= samples.at(samples.size() - 1).x())
            continue;
        plot->timeAxis->setRange(
            QDateTime::fromMSecsSinceEpoch(qint64(samples.at(0).x())),
            QDateTime::fromMSecsSinceEpoch(qint64(samples.at(samples.size() - 1).x())));
    }
}

void DetailInfo::DetailChartHoveredSlot(QPointF point, bool state)
{
    const Plot *plot = nullptr;
    QString format;
    if (sender() == speed.parts.scatter) {
        plot = &speed;
        format = tr("时间: %1 \n流速: %2 m/s");
    } else if (sender() == level.parts.scatter) {
        plot = &level;
        format = tr("时间: %1 \n水位: %2 m");
    } else if (sender() == quantity.parts.scatter) {
        plot = &quantity;
        format = tr("时间: %1 \n流量: %2 m³/s");
    }
    if (!plot)
        return;
    if (!state) {
        plot->parts.callout->hide();
        return;
    }
    const QString time = QDateTime::fromMSecsSinceEpoch(static_cast<qint64>(point.x()))
                             .toString(QLatin1String(RunFileFormat::RowTimeFormat));
    plot->parts.callout->ShowAt(point, format.arg(time).arg(point.y(), 0, 'g', 6));
}

void DetailInfo::ExportFile()
{
    const QString csvFilter = QStringLiteral("CSV (*.csv)");
    QString filter;
    const QString target = QFileDialog::getSaveFileName(
        this, tr("导出文件"), fileName,
        tr("XML数据(*.xml);;Excel 97-2003 工作簿(*.xls)") + QStringLiteral(";;") + csvFilter,
        &filter);
    if (target.isEmpty())
        return;
    // Copying the record onto itself would delete it first.
    if (QFileInfo(target) == QFileInfo(fileName)) {
        ShowExportResult(false);
        return;
    }
    // The name decides; a name without a suffix takes the chosen filter.
    const QString suffix = QFileInfo(target).suffix();
    if (suffix.compare(QLatin1String("csv"), Qt::CaseInsensitive) == 0 ||
        (suffix.isEmpty() && filter == csvFilter)) {
        CsvExport csv;
        const bool isSucceed = csv.ExportFile(fileName, target);
        if (!isSucceed)
            qWarning() << "CSV export failed:" << csv.errorString();
        ShowExportResult(isSucceed);
        return;
    }
    if (QFile::copy(fileName, target)) {
        ShowExportResult(true);
        return;
    }
    // A file already at the target is replaced, but only by a record that is
    // there to copy.
    if (QFile::exists(fileName) && QFile::exists(target) && QFile::remove(target) &&
        QFile::copy(fileName, target)) {
        ShowExportResult(true);
        return;
    }
    // Every failed copy says so, also where no file was there to replace.
    ShowExportResult(false);
}

void DetailInfo::ShowExportResult(bool isSucceed)
{
    QMessageBox::information(this, QString(),
                             isSucceed ? tr("文件导出成功      ") : tr("文件导出失败      "));
}
