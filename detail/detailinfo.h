#pragma once

#include "chartsetup.h"

#include <QDialog>
#include <QPointF>
#include <QString>
#include <QtCharts/qchartglobal.h>

class ChartView;
class RunFile;
class RunSeries;

QT_CHARTS_BEGIN_NAMESPACE
class QDateTimeAxis;
class QValueAxis;
QT_CHARTS_END_NAMESPACE

namespace Ui {
class DetailInfo;
}

// One recorded run: velocity, level and flow over time, each on a tab of its
// own, read back from the run's measurement file; the file can be exported.
class DetailInfo : public QDialog
{
    Q_OBJECT

public:
    explicit DetailInfo(QWidget *parent = nullptr);
    ~DetailInfo() override;

    // Builds the charts and plots the file. Called once, after show().
    void setDetailInfoFileName(QString name);
    // A run that is no file here (the fleet's server): its samples as a run
    // file gives them, and its CSV for the export. Called once, after show().
    void setDetailRun(const QString &title, const RunFile &content, const QByteArray &csv);

public slots:
    void ExportFile();
    // The time axes from the first to the last sample of the run.
    void ShowWholeRun();
    void DetailChartHoveredSlot(QPointF point, bool state);

private:
    struct Plot
    {
        ChartSetup::Parts parts;
        QtCharts::QDateTimeAxis *timeAxis = nullptr;
        QtCharts::QValueAxis *valueAxis = nullptr;
        // Every sample, once the whole run has been asked for; the series
        // then hold what the time axis shows, thinned per pixel column.
        RunSeries *runSeries = nullptr;
    };

    void InitDetailCharts();
    void ResetDetailTimeAxes();
    void InitPlot(Plot &plot, ChartView *view, const QString &valueTitle);
    void LoadFile();
    void PlotRun(const RunFile &content);
    void ShowExportResult(bool isSucceed);
    void ShowWarning(const QString &text);

    Ui::DetailInfo *ui;
    QString fileName;
    // The run's CSV when it came from the server; then the export writes it.
    QByteArray runCsv;
    // Velocity, level and flow. The charts belong to their views, and the
    // series, axes and call-outs to their charts.
    Plot speed;
    Plot level;
    Plot quantity;
};
