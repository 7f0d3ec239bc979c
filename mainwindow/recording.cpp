// Recording of a run: its measurement file and its history row.
#include "mainwindow.h"
#include "ui_mainwindow.h"

#include "database.h"

#include <QDebug>
#include <QDir>
#include <QFileInfo>
#include <QTemporaryFile>
#include <QTimer>

namespace {

constexpr int StatusMs = 3000;
constexpr int RecoveryStatusMs = 10000;
// A run file holds its head and a few rows in this much; a probe of this
// size written whole means a new run file can be recorded again.
constexpr int ProbeBytes = 16 * 1024;

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
    storageRetryTimer.start();
}

void MainWindow::SetStorageRetryMs(int ms)
{
    storageRetryTimer.setInterval(ms);
}

void MainWindow::RetryStorage()
{
    if (!isAutoRun || measurementFile.isRecording()) {
        storageRetryTimer.stop();
        return;
    }
    // Room for a head and some rows, or nothing is started: a run file that
    // fails again at once would only add a warning.
    QTemporaryFile probe(QDir::current().absoluteFilePath(QStringLiteral("xml/XXXXXX.probe")));
    if (!probe.open() || probe.write(QByteArray(ProbeBytes, ' ')) != ProbeBytes || !probe.flush() ||
        probe.size() != ProbeBytes)
        return;
    probe.remove();
    startTime = QDateTime::currentDateTime();
    if (!measurementFile.CreateXmlFile(startTime))
        return;
    storageRetryTimer.stop();
    const QString text = tr("存储空间已恢复，测量重新记录到 %1").arg(measurementFile.filePath());
    ui->statusBar->showMessage(text, StatusMs);
    notifier.Tell(text);
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
    const QString cause = tr("测量数据无法写入文件 %1：%2。本次测量的记录已停止，实时显示继续；"
                             "可以写入时将自动开始新的记录。")
                              .arg(measurementFile.filePath(), measurementFile.errorString());
    endTime = QDateTime::currentDateTime();
    SaveXmlFile(cause);
    storageRetryTimer.start();
}

void MainWindow::SaveXmlFile(const QString &cause)
{
    QStringList problems;
    if (!cause.isEmpty())
        problems << cause;
    const QString path = measurementFile.filePath();
    const std::optional<HistoryRecord> record = measurementFile.SaveXmlFile(startTime, endTime);
    if (record) {
        if (!measurementFile.errorString().isEmpty())
            problems
                << tr("测量文件 %1 未能完成：%2。它保留已写入的 %3 个数据，下次启动时将自动完成。")
                       .arg(path, measurementFile.errorString())
                       .arg(record->count);
        if (!database->insertRecord(*record)) {
            const QString failure =
                tr("本次测量无法记入历史记录（%1）：%2").arg(path, database->lastError());
            // A history damaged meanwhile is renewed and refilled from the
            // run files, this one among them once it is finished.
            if (database->isDamaged() && database->Renew()) {
                problems << database->startupProblem();
                RecoverUnfinishedRuns();
                if (!database->listedCounts().contains(QFileInfo(path).fileName()) &&
                    !database->insertRecord(*record))
                    problems << failure;
            } else {
                problems << failure;
            }
        }
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
    // Without the history nothing could be entered, and a listed file could
    // not be told from an unlisted one.
    if (!database->isAvailable())
        return;
    const QHash<QString, int> listed = database->listedCounts();
    int recovered = 0;
    QStringList damaged;
    for (const QString &path : MeasurementFile::RunFiles()) {
        const QString name = QFileInfo(path).fileName();
        const MeasurementFile::Recovery recovery =
            MeasurementFile::Recover(path, listed.value(name, -1));
        switch (recovery.outcome) {
        case MeasurementFile::Recovery::Untouched:
            break;
        case MeasurementFile::Recovery::Finished:
            ++recovered;
            qDebug() << "run recovered:" << path;
            break;
        case MeasurementFile::Recovery::Removed:
            qDebug() << "run of fewer than 2 rows removed:" << path;
            break;
        case MeasurementFile::Recovery::CutHead:
            damaged << (recovery.movedTo.isEmpty()
                            ? tr("%1：开头已损坏，无法读取").arg(path)
                            : tr("%1：开头已损坏，已移至 %2").arg(path, recovery.movedTo));
            break;
        case MeasurementFile::Recovery::CutShort:
            damaged << tr("%1：已被截断，只剩 %2 个数据（历史记录为 %3 个），文件保持原样")
                           .arg(path)
                           .arg(recovery.rows)
                           .arg(listed.value(name));
            break;
        case MeasurementFile::Recovery::Failed:
            qWarning() << "run not recovered:" << path << recovery.error;
            break;
        }
        if (recovery.record && database->insertRecord(*recovery.record) &&
            recovery.outcome == MeasurementFile::Recovery::Untouched)
            ++recovered;
    }
    MeasurementFile::RemoveTemporaries();
    if (recovered > 0)
        ui->statusBar->showMessage(tr("已恢复 %1 次未完成的测量").arg(recovered), RecoveryStatusMs);
    if (!damaged.isEmpty())
        WarnLater(tr("以下测量文件已损坏：\n%1").arg(damaged.join(QLatin1Char('\n'))));
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
