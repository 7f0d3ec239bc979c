// Construction, initialisation, signal wiring, close confirmation and teardown.
#include "mainwindow.h"
#include "ui_mainwindow.h"

#include "database.h"
#include "linkport.h"
#include "msgprocessthread.h"
#include "tableviewdelegate.h"
#include "upperboundvalidator.h"

#include <QCloseEvent>
#include <QDesktopServices>
#include <QDoubleValidator>
#include <QMessageBox>
#include <QThread>
#include <QUrl>

namespace {

// The button that opens it is hidden; the address is kept in one place.
const char MakerUrl[] = "https://radarflow.example.com/";

constexpr quint8 DefaultDevAddr = 0x80;

} // namespace

// The images are compiled into this static library; the form needs them.
// (Q_INIT_RESOURCE must not stand in a namespace.)
static void InitImages()
{
    Q_INIT_RESOURCE(images);
}

MainWindow::MainWindow(QWidget *parent) : QMainWindow(parent), ui(new Ui::MainWindow)
{
    InitImages();
    ui->setupUi(this);
    isPortOpen = false;
    isSpeedFreqPending = false;
    isLevelFreqPending = false;
    ptSerialPort = nullptr;

    // A network port (tcp://HOST:PORT, modbus-tcp://HOST) is typed in.
    ui->comboBoxPort->setEditable(true);
    ui->comboBoxPort->setInsertPolicy(QComboBox::NoInsert);
    ui->pushButtonLogo->hide();
    ui->menuBar->hide();
    ui->labelFltCnt->setText(tr("[1-30)"));
    for (int tab = 1; tab <= 3; ++tab)
        ui->tabWidget->setTabEnabled(tab, false);

    ptModbus = new Modbus(DefaultDevAddr);
    Kx70Init();

    connect(ui->actionKX70, &QAction::triggered, this, &MainWindow::Kx70Init);
    connect(ui->actionKX90, &QAction::triggered, this, &MainWindow::Kx90Init);
    connect(ui->pushButtonAutoRun70, &QPushButton::clicked, this, &MainWindow::AutoRunClicked);
    connect(ui->lineEditAutoRunIntvel, &QLineEdit::textChanged, this,
            &MainWindow::AutoRunTimerChanged);
    connect(ptModbus, &Modbus::ModbusGetDevAddrCompleted, this, &MainWindow::GetDevAddrCompleted);
    connect(ptModbus, &Modbus::SerialWrite, this, &MainWindow::WriteSerial);
    ConnectSettings();
    connect(ptModbus, &Modbus::InputRegisterUpdate, this, &MainWindow::InputRegisterUpdate);
    connect(ptModbus, &Modbus::ExceptionAnswer, this, &MainWindow::ExceptionAnswer);
    connect(&autoRunTimer, &QTimer::timeout, this, &MainWindow::HandleAutoRunTimeout);
    storageRetryTimer.setInterval(DefaultStorageRetryMs);
    connect(&storageRetryTimer, &QTimer::timeout, this, &MainWindow::RetryStorage);
    connect(&readSerialTimer, &QTimer::timeout, this, &MainWindow::HandleReadSerialTimeout);
    connect(&recvTimeoutTimer, &QTimer::timeout, this, &MainWindow::RecvTimeoutSlot);

    ConnectStation();
    usHoldingRegCount = DefaultHoldingRegCount;
    ui->pushButtonSinkShape->setIcon(QIcon(QStringLiteral(":/Image/Image/circle-e.png")));
}

MainWindow::~MainWindow()
{
    // No late request may reach the port or the codec once they are gone.
    StopWorkers();
    delete sendThread;
    delete recvThread;
    if (ptSerialPort) {
        ptSerialPort->disconnect(this);
        delete ptSerialPort;
    }
    delete ptModbus;
    delete historyDelegate;
    delete database;
    // The charts belong to their views and go with the form's widgets.
    delete ui;
}

void MainWindow::Kx70Init()
{
    isAutoRun = false;
    on_pushButtonUpdatePort_clicked();
    // The action can run this again; what exists is kept.
    if (!sendThread)
        sendThread = new QThread;
    if (!recvThread)
        recvThread = new QThread;
    if (!speedChart) {
        InitMainCharts();
        InitFreqCharts();
        ui->radioButtonDay->setChecked(true);
        InitHistoryTable();
        CheckStorage();
        RecoverUnfinishedRuns();
        HistoryQueryUpdate();
        InstallValidators();
    }
}

void MainWindow::Kx90Init()
{
    on_pushButtonUpdatePort_clicked();
}

void MainWindow::InstallValidators()
{
    auto *positive = new UpperBoundValidator(1, 65535, this);
    for (QLineEdit *edit : {ui->lineEditAutoRunIntvel, ui->lineSpeedFilterTimes,
                            ui->lineEditThreshold70, ui->lineEditThreshold80})
        edit->setValidator(positive);
    ui->lineDistFilterTimes->setValidator(new UpperBoundValidator(0, 65535, this));

    auto *centi = new QDoubleValidator(0.01, 65535, 2, this);
    centi->setNotation(QDoubleValidator::StandardNotation);
    for (QLineEdit *edit : {ui->lineEditMaxSpeed, ui->lineEditRadius, ui->lineEditButtomLen,
                            ui->lineEditTopLen, ui->lineEditHeight, ui->lineEditCoefficient})
        edit->setValidator(centi);
    auto *milli = new QDoubleValidator(0.001, 65535, 3, this);
    milli->setNotation(QDoubleValidator::StandardNotation);
    ui->lineEditDevToButtomLen->setValidator(milli);
}

void MainWindow::on_pushButtonLogo_clicked()
{
    QDesktopServices::openUrl(QUrl(QString::fromLatin1(MakerUrl)));
}

void MainWindow::closeEvent(QCloseEvent *event)
{
    // A headless station has nobody to ask: its run is saved and it closes.
    if (!isAutoRun || notifier.IsHeadless()) {
        if (isAutoRun)
            ui->pushButtonAutoRun70->click();
        // A run that could not be recorded is told before the window goes.
        DeliverWarnings(!notifier.IsHeadless());
        event->accept();
        return;
    }
    const auto answer =
        QMessageBox::warning(this, tr("警告"), tr("系统正在测量，是否退出测量并保存数据？"),
                             QMessageBox::Ok | QMessageBox::Cancel, QMessageBox::Cancel);
    if (answer == QMessageBox::Ok) {
        ui->pushButtonAutoRun70->click();
        DeliverWarnings(true);
        event->accept();
    } else {
        event->ignore();
    }
}
