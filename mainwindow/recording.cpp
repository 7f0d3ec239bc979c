// Recording of a run: its measurement file and its history row.
#include "mainwindow.h"
#include "ui_mainwindow.h"

#include "database.h"

#include <QDebug>
#include <QDir>
#include <QTemporaryFile>
#include <QTimer>

namespace {

constexpr int StatusMs = 3000;
constexpr int RecoveryStatusMs = 10000;

} // namespace

void MainWindow::CreateXmlFile()
{
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
    if (!measurementFile.isRecording())
        return;
    if (measurementFile.WriteXmlFileRow(time, speed, level, quantity, airGap, discharge,
                                        speedStrength, levelStrength))
        return;
    // The rows so far are kept and recorded now; the live display goes on
    // without a file.
    const QString cause = tr("测量数据无法写入文件 %1：%2。本次测量的记录已停止，实时显示继续。")
                              .arg(measurementFile.filePath(), measurementFile.errorString());
    endTime = QDateTime::currentDateTime();
    SaveXmlFile(cause);
}

void MainWindow::SaveXmlFile(const QString &cause)
{
    QStringList problems;
    if (!cause.isEmpty())
        problems << cause;
    const QString path = measurementFile.filePath();
    const std::optional<HistoryRecord> record = measurementFile.SaveXmlFile(startTime, endTime);
    if (record) {
        if (!measurementFile.errorString().isEmpty() && cause.isEmpty())
            problems << tr("测量文件 %1 未能完成：%2。下次启动时将自动完成。")
                            .arg(path, measurementFile.errorString());
        if (!database->insertRecord(*record))
            problems << tr("本次测量无法记入历史记录（%1）：%2").arg(path, database->lastError());
        HistoryQueryUpdate();
        notifier.Tell(tr("测量结束：开始于 %1，持续 %2，%3 个数据")
                          .arg(record->startTime, record->durationTime)
                          .arg(record->count));
    }
    if (!problems.isEmpty())
        WarnLater(problems.join(QLatin1Char('\n')));
}

void MainWindow::WarnLater(const QString &text)
{
    ui->statusBar->showMessage(text, StatusMs);
    // Not inside the slot that takes a sample: the polls go on meanwhile.
    pendingWarnings << text;
    QTimer::singleShot(0, this, [this] { DeliverWarnings(true); });
}

void MainWindow::DeliverWarnings(bool isBoxAllowed)
{
    const QStringList texts = pendingWarnings;
    pendingWarnings.clear();
    for (const QString &text : texts) {
        if (isBoxAllowed)
            notifier.Warn(text);
        else
            notifier.WarnUnseen(text);
    }
}

void MainWindow::CheckStorage()
{
    QStringList problems;
    if (!database->startupProblem().isEmpty())
        problems << database->startupProblem();
    QDir folder(QDir::currentPath());
    folder.mkdir(QStringLiteral("xml"));
    folder.cd(QStringLiteral("xml"));
    QTemporaryFile probe(folder.absoluteFilePath(QStringLiteral("XXXXXX.probe")));
    if (!probe.open())
        problems << tr("文件夹 %1 无法写入（%2），测量数据不会被记录。")
                        .arg(folder.absolutePath(), probe.errorString());
    if (!problems.isEmpty())
        WarnLater(problems.join(QLatin1Char('\n')));
}

void MainWindow::RecoverUnfinishedRuns()
{
    const QSet<QString> listed = database->listedFiles();
    int recovered = 0;
    for (const QString &path : MeasurementFile::RunFiles()) {
        bool isChanged = false;
        QString error;
        const bool isListed = listed.contains(path);
        const std::optional<HistoryRecord> record =
            MeasurementFile::Recover(path, isListed, &isChanged, &error);
        if (!error.isEmpty())
            qWarning() << "run not recovered:" << path << error;
        const bool isEntered = record && !isListed && database->insertRecord(*record);
        if (isChanged || isEntered) {
            qDebug() << "run recovered:" << path;
            ++recovered;
        }
    }
    if (recovered > 0)
        ui->statusBar->showMessage(tr("已恢复 %1 次未完成的测量").arg(recovered), RecoveryStatusMs);
}

void MainWindow::EndRunAndQuit()
{
    if (isAutoRun)
        ui->pushButtonAutoRun70->click();
    // The event loop ends before a warning of the run's end could be shown;
    // nobody waits for a box now.
    DeliverWarnings(false);
    QCoreApplication::quit();
}
