// Recording of a run: its measurement file and its history row.
#include "mainwindow.h"
#include "ui_mainwindow.h"

#include "database.h"

#include <QDebug>

namespace {

constexpr int StatusMs = 3000;

} // namespace

void MainWindow::CreateXmlFile()
{
    xmlFileRowCount = 0;
    if (measurementFile.CreateXmlFile(startTime))
        return;
    // The live display goes on; the operator must not think it is recorded.
    const QString text =
        tr("测量文件无法创建，本次测量不记录：%1").arg(measurementFile.errorString());
    ui->statusBar->showMessage(text, StatusMs);
    qWarning() << text;
}

void MainWindow::WriteXmlFileRow(const QString &time, double speed, double level, double quantity,
                                 double airGap, double discharge, int speedStrength,
                                 int levelStrength)
{
    if (measurementFile.WriteXmlFileRow(time, speed, level, quantity, airGap, discharge,
                                        speedStrength, levelStrength))
        ++xmlFileRowCount;
}

void MainWindow::SaveXmlFile()
{
    const std::optional<HistoryRecord> record =
        measurementFile.SaveXmlFile(startTime, endTime, speedSum, levelSum, quantitySum);
    if (!record)
        return;
    database->insertRecord(*record);
    HistoryQueryUpdate();
    notifier.Tell(tr("测量结束：开始于 %1，持续 %2，%3 个数据")
                      .arg(record->startTime, record->durationTime)
                      .arg(record->count));
}
