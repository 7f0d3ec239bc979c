// Fleet: this station's runs sent to the fleet's server, the upload state in
// the status bar, and the office's window over the server.
#include "mainwindow.h"
#include "ui_mainwindow.h"

#include "fleetoffice.h"
#include "officehistory.h"
#include "serveraddress.h"
#include "uploader.h"

#include <QComboBox>
#include <QDebug>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDir>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>
#include <QStyledItemDelegate>
#include <QTableView>

namespace {

const QString ServerKey = QStringLiteral("server");
const QString StationKey = QStringLiteral("station");
// The station's mark of what the server holds, beside database.db.
const QString MarkName = QStringLiteral("upload.mark");
constexpr int TellMs = 10000;

QString Remembered(const QString &key)
{
    const QSettings settings(QStringLiteral("radarflow"), QStringLiteral("radarflow"));
    return settings.value(key).toString();
}

} // namespace

void MainWindow::StartUploader(const QString &server, const QString &station)
{
    if (!uploadLabel) {
        uploadLabel = new QLabel(this);
        uploadLabel->setObjectName(QStringLiteral("labelUpload"));
        ui->statusBar->addPermanentWidget(uploadLabel);
        auto *edit = new QPushButton(tr("服务器…"), this);
        edit->setObjectName(QStringLiteral("pushButtonServer"));
        ui->statusBar->addPermanentWidget(edit);
        connect(edit, &QPushButton::clicked, this, &MainWindow::EditServer);
    }
    if (uploader) {
        uploader->Finish();
        delete uploader;
        uploader = nullptr;
    }
    uploadLabel->setText(server.isEmpty() ? tr("未配置服务器") : tr("服务器连接中"));
    if (server.isEmpty())
        return;
    QString error;
    UploadWorker::Settings settings;
    settings.server = ServerAddress::Parse(server, &error);
    settings.station = station.isEmpty() ? ServerAddress::DefaultStation() : station;
    if (!error.isEmpty() || !ServerAddress::IsStationName(settings.station)) {
        // Only a remembered choice can be wrong here: the command line and
        // the dialog refuse a wrong one.
        const QString text =
            tr("服务器设置无效：%1").arg(error.isEmpty() ? settings.station : error);
        uploadLabel->setText(text);
        notifier.Tell(text);
        return;
    }
    QDir folder;
    folder.mkpath(QStringLiteral("xml"));
    settings.runFolder = folder.absoluteFilePath(QStringLiteral("xml"));
    settings.markPath = folder.absoluteFilePath(MarkName);
    settings.software = QCoreApplication::applicationVersion();
    uploader = new Uploader(settings, this);
    connect(uploader, &Uploader::Told, this, [this](const QString &text) {
        ui->statusBar->showMessage(text, TellMs);
        notifier.Tell(text);
    });
    connect(uploader, &Uploader::StatusChanged, this, &MainWindow::ShowUploadStatus);
    uploader->Start();
}

void MainWindow::ShowUploadStatus(const QDateTime &lastUpload, qint64 waiting, bool isUp)
{
    const QString last = lastUpload.isValid()
                             ? lastUpload.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"))
                             : tr("无");
    uploadLabel->setText(isUp ? tr("最后上传 %1，待传 %2 行").arg(last).arg(waiting)
                              : tr("服务器未连接，最后上传 %1，待传 %2 行").arg(last).arg(waiting));
}

void MainWindow::EditServer()
{
    QSettings settings(QStringLiteral("radarflow"), QStringLiteral("radarflow"));
    QDialog dialog(this);
    dialog.setWindowTitle(tr("服务器"));
    auto *form = new QFormLayout(&dialog);
    auto *server = new QLineEdit(settings.value(ServerKey).toString(), &dialog);
    server->setObjectName(QStringLiteral("lineEditServer"));
    server->setPlaceholderText(
        QStringLiteral("postgresql://USER@HOST:5432/DBNAME?sslmode=verify-full"));
    auto *station = new QLineEdit(settings.value(StationKey).toString(), &dialog);
    station->setObjectName(QStringLiteral("lineEditStation"));
    station->setPlaceholderText(ServerAddress::DefaultStation());
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    form->addRow(tr("服务器地址"), server);
    form->addRow(tr("站点名称"), station);
    form->addRow(buttons);
    connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    connect(buttons, &QDialogButtonBox::accepted, &dialog, [&] {
        QString error;
        if (!server->text().trimmed().isEmpty())
            ServerAddress::Parse(server->text().trimmed(), &error);
        if (error.isEmpty() && !station->text().trimmed().isEmpty() &&
            !ServerAddress::IsStationName(station->text().trimmed()))
            error = tr("站点名称只能包含字母、数字、“-”、“_”和“.”");
        if (!error.isEmpty()) {
            ShowWarning(error);
            return;
        }
        dialog.accept();
    });
    if (dialog.exec() != QDialog::Accepted)
        return;
    settings.setValue(ServerKey, server->text().trimmed());
    settings.setValue(StationKey, station->text().trimmed());
    StartUploader(server->text().trimmed(), station->text().trimmed());
}

void MainWindow::StartOffice(const StationOptions &options)
{
    notifier.SetHeadless(options.isHeadless);
    ui->tabWidget->setCurrentWidget(ui->kx70_setting);
    for (int tab = 0; tab < ui->tabWidget->count(); ++tab)
        ui->tabWidget->setTabEnabled(tab, ui->tabWidget->widget(tab) == ui->kx70_setting);
    const QString server = options.server.isEmpty() ? Remembered(ServerKey) : options.server;
    QString error;
    const ServerAddress address = ServerAddress::Parse(server, &error);
    office = new FleetOffice(address, this);
    stationFilter = new QComboBox(this);
    stationFilter->setObjectName(QStringLiteral("comboBoxStation"));
    ui->horizontalLayoutHistoryFilter->insertWidget(0, stationFilter);
    if (error.isEmpty() && !office->Open(&error)) {
        error = tr("服务器 %1 无法连接：%2").arg(address.host, error);
    }
    if (!error.isEmpty()) {
        ShowWarning(error);
        return;
    }
    // The local history's model and buttons give way to the server's.
    for (QRadioButton *filter :
         {ui->radioButtonDay, ui->radioButtonMonth, ui->radioButtonYear, ui->radioButtonAll}) {
        filter->disconnect(this);
        connect(filter, &QRadioButton::clicked, this, &MainWindow::OfficeQueryUpdate);
    }
    // Read-only: the plain delegate, without the delete buttons.
    ui->historyTable->setItemDelegate(new QStyledItemDelegate(ui->historyTable));
    disconnect(ui->historyTable, &QTableView::clicked, nullptr, nullptr);
    OfficeHistory::SetUp(ui->historyTable, stationFilter, office);
    connect(stationFilter, QOverload<int>::of(&QComboBox::activated), this,
            &MainWindow::OfficeQueryUpdate);
    OfficeQueryUpdate();
}

void MainWindow::OfficeQueryUpdate()
{
    OfficeHistory::ApplyFilter(
        office, stationFilter,
        {ui->radioButtonDay, ui->radioButtonMonth, ui->radioButtonYear, ui->radioButtonAll});
    ui->historyTable->resizeColumnsToContents();
}
