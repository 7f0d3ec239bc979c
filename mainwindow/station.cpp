// Unattended station: the start options, the port, address and interval
// remembered between starts, and keeping the link alive (reopening a lost
// port, resuming the run it ended).
#include "mainwindow.h"
#include "ui_mainwindow.h"

#include "linkport.h"
#include "modbusregister.h"

#include <QDebug>
#include <QFileInfo>
#include <QSettings>

namespace {

constexpr int ReconnectMs = 5000;

const QString PortKey = QStringLiteral("port");
const QString AddressKey = QStringLiteral("address");
const QString IntervalKey = QStringLiteral("interval");
const QString ReconnectKey = QStringLiteral("reconnect");
const QString NetworkPortsKey = QStringLiteral("networkPorts");
// Gateways a station has used, offered in the port list.
constexpr int NetworkPortsKept = 8;
// Stored for the discovery choice, whose text depends on the language.
const QString FindAddress = QStringLiteral("find");

// ~/.config/radarflow/radarflow.conf on Linux.
QVariant Remembered(const QString &key)
{
    const QSettings settings(QStringLiteral("radarflow"), QStringLiteral("radarflow"));
    return settings.value(key);
}

void Remember(const QString &key, const QVariant &value)
{
    QSettings settings(QStringLiteral("radarflow"), QStringLiteral("radarflow"));
    settings.setValue(key, value);
}

} // namespace

void MainWindow::ConnectStation()
{
    reconnectTimer.setSingleShot(true);
    reconnectTimer.setInterval(ReconnectMs);
    connect(&reconnectTimer, &QTimer::timeout, this, &MainWindow::OpenStationLink);
    connect(ui->checkBoxReconnect, &QCheckBox::toggled, this, [this](bool isOn) {
        notifier.SetUnattended(isOn);
        if (!isOn)
            StopReconnecting();
    });
    connect(ptModbus, &Modbus::SingleHoldingRegisterUpdate, this,
            [this](u16 usRegister, const QByteArray &) { StationAnswered(usRegister); });
}

void MainWindow::StartStation(const StationOptions &options)
{
    notifier.SetHeadless(options.isHeadless);

    // What the operator last chose, unless the command line says otherwise.
    const QString portName =
        options.portName.isEmpty() ? Remembered(PortKey).toString() : options.portName;
    if (!portName.isEmpty())
        SelectPort(portName);
    QString devAddr =
        options.devAddr.isEmpty() ? Remembered(AddressKey).toString() : options.devAddr;
    if (devAddr == FindAddress)
        devAddr = tr("查地址");
    if (!devAddr.isEmpty())
        ui->comboBoxDevAddr->setCurrentText(devAddr);
    const QString interval =
        options.interval.isEmpty() ? Remembered(IntervalKey).toString() : options.interval;
    if (!interval.isEmpty())
        ui->lineEditAutoRunIntvel->setText(interval);
    ui->checkBoxReconnect->setChecked(options.isReconnect || Remembered(ReconnectKey).toBool());

    // Only what the operator does in the window is remembered.
    connect(ui->comboBoxPort, QOverload<int>::of(&QComboBox::activated), this,
            &MainWindow::RememberChoices);
    connect(ui->comboBoxDevAddr, QOverload<int>::of(&QComboBox::activated), this,
            &MainWindow::RememberChoices);
    connect(ui->comboBoxDevAddr->lineEdit(), &QLineEdit::textEdited, this,
            &MainWindow::RememberChoices);
    connect(ui->lineEditAutoRunIntvel, &QLineEdit::textEdited, this, &MainWindow::RememberChoices);
    connect(ui->checkBoxReconnect, &QCheckBox::clicked, this, &MainWindow::RememberChoices);

    isRunWanted = options.isMeasure;
    if (options.isConnect) {
        reconnectPortName = ui->comboBoxPort->currentText();
        // Once the event loop runs, so that a box has a window to stand on.
        QMetaObject::invokeMethod(this, &MainWindow::OpenStationLink, Qt::QueuedConnection);
    }
}

void MainWindow::SelectPort(const QString &name)
{
    // /dev/ttyUSB0 is the listed ttyUSB0.
    int index = ui->comboBoxPort->findText(name);
    const QFileInfo path(name);
    if (index < 0 && path.path() == QLatin1String("/dev"))
        index = ui->comboBoxPort->findText(path.fileName());
    // A device the platform does not list (a pseudo-terminal, a by-id link)
    // is offered as given.
    if (index < 0) {
        ui->comboBoxPort->addItem(name);
        index = ui->comboBoxPort->count() - 1;
    }
    ui->comboBoxPort->setCurrentIndex(index);
}

QStringList MainWindow::NetworkPortsUsed() const
{
    return Remembered(NetworkPortsKey).toStringList();
}

void MainWindow::RememberChoices()
{
    const QString portName = ui->comboBoxPort->currentText().trimmed();
    if (!portName.isEmpty())
        Remember(PortKey, portName);
    // Only a network port that was opened: a typing slip never joins the list.
    if (LinkPort::IsNetworkName(portName) && IsPortReady() && ptSerialPort->Name() == portName) {
        QStringList used = NetworkPortsUsed();
        used.removeAll(portName);
        used.prepend(portName);
        Remember(NetworkPortsKey, QVariant(used.mid(0, NetworkPortsKept)));
    }
    const QString devAddr = ui->comboBoxDevAddr->currentText();
    Remember(AddressKey, devAddr == tr("查地址") ? FindAddress : devAddr);
    Remember(IntervalKey, ui->lineEditAutoRunIntvel->text());
    Remember(ReconnectKey, ui->checkBoxReconnect->isChecked());
}

void MainWindow::LinkLost(const QString &boxText, const QString &reason)
{
    const QString portName = ui->comboBoxPort->currentText();
    const bool wasRunning = isAutoRun;
    const bool wasUp = isLinkUp;
    // Ends and saves a running measurement, as the operator's click would.
    CloseConnection();
    if (!ui->checkBoxReconnect->isChecked()) {
        ShowWarning(boxText);
        return;
    }
    isRunWanted = isRunWanted || wasRunning;
    reconnectPortName = portName;
    isReconnecting = true;
    // Told once per loss; a port that does not come back stays quiet.
    if (wasUp) {
        const QString text = tr("串口 %1 连接中断：%2，每 5 秒重新连接").arg(portName, reason);
        ui->statusBar->showMessage(text);
        notifier.Tell(text);
    } else if (!answeredPorts.contains(portName)) {
        // An instrument that never answered is a fault of the set-up, worth
        // a warning, but only once.
        TellSilence(tr("串口 %1 无应答：%2，每 5 秒重新连接").arg(portName, reason));
    }
    reconnectTimer.start();
}

void MainWindow::OpenStationLink()
{
    if (isPortOpen)
        return;
    // Nothing was listed at start: the adapter may have been plugged in since.
    if (reconnectPortName.isEmpty()) {
        on_pushButtonUpdatePort_clicked();
        reconnectPortName = ui->comboBoxPort->currentText();
    }
    if (!reconnectPortName.isEmpty())
        SelectPort(reconnectPortName);
    QString why;
    if (OpenConnection(&why)) {
        lastOpenFailure.clear();
        return;
    }
    if (why != lastOpenFailure) {
        ShowWarning(why);
        isSilenceTold = true;
    }
    if (!ui->checkBoxReconnect->isChecked())
        return;
    lastOpenFailure = why;
    isReconnecting = true;
    reconnectTimer.start();
}

void MainWindow::TellSilence(const QString &text)
{
    if (isSilenceTold)
        return;
    isSilenceTold = true;
    ShowWarning(text);
}

void MainWindow::StopReconnecting()
{
    isReconnecting = false;
    lastOpenFailure.clear();
    reconnectTimer.stop();
}

void MainWindow::StationAnswered(u16 usRegister)
{
    // The version read is the first request of every opening.
    if (usRegister != ModbusRegister::DevVersionReg || !IsPortReady() || isLinkUp)
        return;
    isLinkUp = true;
    const QString portName = ui->comboBoxPort->currentText();
    // Back only where it had been before; a first answer after failed
    // attempts is a first connection.
    const bool isBack = isReconnecting && answeredPorts.contains(portName);
    answeredPorts.insert(portName);
    if (isSilenceTold) {
        isSilenceTold = false;
        notifier.Resolve(tr("串口 %1 的仪器已应答").arg(portName));
    }
    if (isBack) {
        const QString text = tr("串口 %1 已重新连接").arg(portName);
        ui->statusBar->showMessage(text);
        notifier.Tell(text);
    } else {
        notifier.Tell(tr("串口 %1 已连接").arg(portName));
    }
    StopReconnecting();
    if (isRunWanted && !isAutoRun) {
        isRunWanted = false;
        StartRun(true);
    }
}
