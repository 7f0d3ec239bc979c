#include "detailinfo.h"
#include "ui_detailinfo.h"

#include "callout.h"
#include "chart.h"
#include "chartview.h"

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
#include <QXmlStreamReader>

using namespace QtCharts;

namespace {

const char *const timeFormat = "yyyy-MM-dd HH:mm:ss";
// The chart opens on the last 20 seconds of a run; zoom and pan reach the rest.
const qint64 windowMs = 20 * 1000;
const double valueFloor = -0.0001;

// Reads the row times "yyyy-MM-dd HH:mm:ss" as local time. Converting each
// time through the time zone costs a look at the zone file; the rows of a run
// share their hour for minutes on end, so the hour is converted once and the
// minutes and seconds are added to it.
class RowTimeReader
{
public:
    QDateTime Read(const QString &text)
    {
        if (text.size() != 19 || text[13] != QLatin1Char(':') || text[16] != QLatin1Char(':'))
            return QDateTime::fromString(text, QString::fromLatin1(timeFormat));
        for (int i : {14, 15, 17, 18}) {
            if (!text[i].isDigit())
                return QDateTime();
        }
        const int minute = text.midRef(14, 2).toInt();
        const int second = text.midRef(17, 2).toInt();
        if (minute > 59 || second > 59)
            return QDateTime();
        const QStringRef hour = text.leftRef(13);
        if (hour != cachedHour) {
            cachedHour = hour.toString();
            hourStart = QDateTime::fromString(cachedHour + QStringLiteral(":00:00"),
                                              QString::fromLatin1(timeFormat));
        }
        if (!hourStart.isValid())
            return QDateTime();
        return hourStart.addSecs(minute * 60 + second);
    }

private:
    QString cachedHour;
    QDateTime hourStart;
};

void FitValueAxis(QValueAxis *axis, double maximum)
{
    // A quantity that stayed 0 throughout keeps the default range.
    if (maximum > 0)
        axis->setRange(valueFloor, maximum + maximum / 10);
}

} // namespace

DetailInfo::DetailInfo(QWidget *parent) : QDialog(parent), ui(new Ui::DetailInfo)
{
    ui->setupUi(this);
    connect(ui->okButton, &QPushButton::clicked, this, &DetailInfo::close);
    connect(ui->ButtonExport, &QPushButton::clicked, this, &DetailInfo::ExportFile);
}

DetailInfo::~DetailInfo()
{
    delete ui;
}

void DetailInfo::InitPlot(Plot &plot, ChartView *view, const QString &valueTitle)
{
    const QFont titleFont(QStringLiteral("ADMU13Lg"), 11);

    plot.chart = new Chart();
    plot.lineSeries = new QLineSeries();
    plot.scatterSeries = new QScatterSeries();
    plot.scatterSeries->setMarkerSize(8);
    plot.scatterSeries->setColor(QColor(32, 159, 223));
    plot.chart->addSeries(plot.lineSeries);
    plot.chart->addSeries(plot.scatterSeries);

    plot.timeAxis = new QDateTimeAxis();
    plot.timeAxis->setTickCount(10);
    plot.timeAxis->setFormat(QStringLiteral("HH:mm:ss"));
    plot.timeAxis->setTitleText(tr("时间"));
    plot.timeAxis->setTitleFont(titleFont);
    plot.chart->addAxis(plot.timeAxis, Qt::AlignBottom);
    plot.lineSeries->attachAxis(plot.timeAxis);
    plot.scatterSeries->attachAxis(plot.timeAxis);

    plot.valueAxis = new QValueAxis();
    plot.valueAxis->setTitleText(valueTitle);
    plot.valueAxis->setTitleFont(titleFont);
    plot.chart->addAxis(plot.valueAxis, Qt::AlignLeft);
    plot.valueAxis->setRange(valueFloor, 3);
    plot.lineSeries->attachAxis(plot.valueAxis);
    plot.scatterSeries->attachAxis(plot.valueAxis);

    plot.chart->legend()->hide();
    plot.chart->setAnimationOptions(QChart::AllAnimations);
    view->installChart(plot.chart);
    view->setRenderHint(QPainter::Antialiasing);
}

void DetailInfo::InitDetailCharts()
{
    InitPlot(speed, ui->detailInfoChart70, tr("流速(m/s)"));
    InitPlot(level, ui->detailInfoChart80, tr("水位(m)"));
    InitPlot(quantity, ui->detailInfoChart90, tr("流量(m³/s)"));
    ResetDetailTimeAxes();
    for (Plot *plot : {&speed, &level, &quantity}) {
        plot->callout = new Callout(plot->chart);
        // Empty until the first hover places it.
        plot->callout->hide();
        connect(plot->scatterSeries, &QScatterSeries::hovered, this,
                &DetailInfo::DetailChartHoveredSlot);
    }
}

void DetailInfo::ResetDetailTimeAxes()
{
    const QDateTime now = QDateTime::currentDateTime();
    for (Plot *plot : {&speed, &level, &quantity})
        plot->timeAxis->setRange(now, now.addMSecs(windowMs));
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
        return;
    }
    qDebug() << fileName << "open file success";

    // The points are gathered first and handed to each series in one
    // replace: appending 3000 points one by one redraws the chart each time.
    QVector<QPointF> speedPoints;
    QVector<QPointF> levelPoints;
    QVector<QPointF> quantityPoints;
    double maxSpeed = 0;
    double maxLevel = 0;
    double maxQuantity = 0;
    QDateTime first;
    QDateTime last;

    QXmlStreamReader reader(&file);
    RowTimeReader timeReader;
    bool isInRow = false;
    QStringList values;
    while (!reader.atEnd()) {
        const QXmlStreamReader::TokenType token = reader.readNext();
        if (token == QXmlStreamReader::StartElement && reader.name() == QLatin1String("Row")) {
            isInRow = true;
        } else if (token == QXmlStreamReader::Characters && isInRow && !reader.isWhitespace()) {
            values.append(reader.text().toString());
        } else if (token == QXmlStreamReader::EndElement && reader.name() == QLatin1String("Row")) {
            if (values.size() != 4)
                qDebug() << "read xml error";
            const QDateTime time = timeReader.Read(values.value(0));
            // A row short of values, or without a time, is left out: its
            // missing values are never read as zeros.
            if (values.size() >= 4 && time.isValid()) {
                const double x = time.toMSecsSinceEpoch();
                const double speedValue = values[1].toDouble();
                const double levelValue = values[2].toDouble();
                const double quantityValue = values[3].toDouble();
                speedPoints.append(QPointF(x, speedValue));
                levelPoints.append(QPointF(x, levelValue));
                quantityPoints.append(QPointF(x, quantityValue));
                maxSpeed = qMax(maxSpeed, speedValue);
                maxLevel = qMax(maxLevel, levelValue);
                maxQuantity = qMax(maxQuantity, quantityValue);
                if (!first.isValid())
                    first = time;
                last = time;
            }
            values.clear();
            isInRow = false;
        }
    }

    if (first.isValid()) {
        const bool isLong = first.msecsTo(last) > windowMs;
        const QDateTime from = isLong ? last.addMSecs(-windowMs) : first;
        const QDateTime to = isLong ? last : first.addMSecs(windowMs);
        for (Plot *plot : {&speed, &level, &quantity})
            plot->timeAxis->setRange(from, to);
    }
    FitValueAxis(speed.valueAxis, maxSpeed);
    FitValueAxis(level.valueAxis, maxLevel);
    FitValueAxis(quantity.valueAxis, maxQuantity);

    // Axes first, points second: the chart lays the points out once.
    speed.lineSeries->replace(speedPoints);
    speed.scatterSeries->replace(speedPoints);
    level.lineSeries->replace(levelPoints);
    level.scatterSeries->replace(levelPoints);
    quantity.lineSeries->replace(quantityPoints);
    quantity.scatterSeries->replace(quantityPoints);

    // A file cut short by a killed program ends here; its rows stay plotted.
    if (reader.hasError())
        qDebug() << "error: " << reader.errorString();
    file.close();
}

void DetailInfo::DetailChartHoveredSlot(QPointF point, bool state)
{
    const Plot *plot = nullptr;
    QString format;
    if (sender() == speed.scatterSeries) {
        plot = &speed;
        format = tr("时间: %1 \n流速: %2 m/s");
    } else if (sender() == level.scatterSeries) {
        plot = &level;
        format = tr("时间: %1 \n水位: %2 m");
    } else if (sender() == quantity.scatterSeries) {
        plot = &quantity;
        format = tr("时间: %1 \n流量: %2 m³/s");
    }
    if (!plot)
        return;
    if (!state) {
        plot->callout->hide();
        return;
    }
    const QString time = QDateTime::fromMSecsSinceEpoch(static_cast<qint64>(point.x()))
                             .toString(QString::fromLatin1(timeFormat));
    plot->callout->setText(format.arg(time).arg(point.y(), 0, 'g', 6));
    plot->callout->setAnchor(point);
    plot->callout->setZValue(11);
    plot->callout->updateGeometry();
    plot->callout->show();
}

void DetailInfo::ExportFile()
{
    const QString target = QFileDialog::getSaveFileName(
        this, tr("导出文件"), fileName, tr("XML数据(*.xml);;Excel 97-2003 工作簿(*.xls)"));
    if (target.isEmpty())
        return;
    // Copying the record onto itself would delete it first.
    if (QFileInfo(target) == QFileInfo(fileName)) {
        ShowExportResult(false);
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
