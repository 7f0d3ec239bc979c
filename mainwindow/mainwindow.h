#pragma once

#include "measurementfile.h"
#include "modbus.h"
#include "notifier.h"
#include "stationoptions.h"
#include "u16.h"

#include <QByteArray>
#include <QDateTime>
#include <QMainWindow>
#include <QModelIndex>
#include <QPointF>
#include <QSet>
#include <QTimer>

class Callout;
class Chart;
class ChartView;
class Database;
class LinkPort;
class TableViewDelegate;
class MsgProcessThread;
class QPushButton;
class QThread;
class RunSeries;

namespace QtCharts {
class QDateTimeAxis;
class QLineSeries;
class QScatterSeries;
class QValueAxis;
} // namespace QtCharts

namespace Ui {
class MainWindow;
}

// The program's only window. It owns the codec, the worker threads, the
// timers and the charts; its slots live in source files named by feature.
class MainWindow : public QMainWindow
{
    Q_OBJECT

public:
    explicit MainWindow(QWidget *parent = nullptr);
    ~MainWindow() override;

    // Applies the start options over the remembered port, address and
    // interval, and opens the port and measures when asked to.
    void StartStation(const StationOptions &options);

    // Ends a running measurement exactly as the operator's stop would (file
    // finished, history row entered), then quits the event loop with 0. For
    // a shutdown asked for from outside (SIGTERM, SIGINT, SIGHUP).
    void EndRunAndQuit();

    // The line's timing: an answer is awaited responseTimeoutMs before each
    // resend, and a frame is closed after quietTimeMs without a new byte.
    static constexpr int DefaultResponseTimeoutMs = 3000;
    static constexpr int DefaultQuietTimeMs = 100;
    void SetLineTiming(int iResponseTimeoutMs, int iQuietTimeMs);
    int ResponseTimeoutMs() const { return responseTimeoutMs; }
    int QuietTimeMs() const { return quietTimeMs; }
    // How often a run whose recording stopped on a full disk tries to record
    // again.
    static constexpr int DefaultStorageRetryMs = 60000;
    void SetStorageRetryMs(int ms);

signals:
    void WriteHoldingRegister(u16 ucAddr, u16 ucValue);
    void WriteMultHoldingRegisters(u16 usStartAddr, QByteArray value, u16 usCount);
    void ReadHoldingRegister(u16 usAddr, u16 usCount);
    void ReadInputRegister(u16 usAddr, u16 usCount);
    void ModbusEncoding(QByteArray byteArray, u16 usLen);

public slots:
    void Kx70Init();
    void Kx90Init();
    void ReadSerial();
    void GetDevAddrCompleted(ModbusRegister *ptReg);
    void WriteSerial(QByteArray array);
    void AutoRunClicked(bool checked);
    void HandleReadSerialTimeout();
    void HandleAutoRunTimeout();
    void AutoRunTimerChanged();
    void InputRegisterUpdate(ModbusRegister *ptReg);
    void SendMsgSucceedSlot();
    void RecvMsgSucceedSlot();
    void RecvTimeoutSlot();
    void HistoryQueryUpdate();
    void DeleteRowFromTableView(QModelIndex index);
    void MainChartHoveredSlot(QPointF point, bool state);
    void FreqChartHoveredSlot(QPointF point, bool state);

    void on_pushButtonMaxSpeed_clicked();
    void on_pushButtonMaxLevel_clicked();
    void on_pushButtonMaxQuantity_clicked();
    void on_pushButtonGetFreq70_clicked();
    void on_pushButtonGetFreq80_clicked();
    void on_pushButtonLogo_clicked();
    void on_pushButtonUartConnect_clicked();
    void on_pushButtonUpdatePort_clicked();

    // Device settings: read-back, commands, editors, channel geometry.
    // settings-slots-begin
    void ReadAllRegVal();
    void FactoryReset();
    void WriteSingleHoldingRegStatus(bool isSucceed, u16 usAddr);
    void WriteMultHoldingRegStatus(bool isSucceed, u16 usAddr);
    void HoldingRegisterUpdate(ModbusRegister *ptReg);
    void SingleHoldingRegisterUpdate(u16 usRegister, QByteArray data);
    void ExceptionAnswer(quint8 ucFunction, quint8 ucCode);
    void SinkShapeSelect();

    void on_pushButtonSpeedFilterTimes_clicked();
    void on_pushButtonDistFilterTimes_clicked();
    void on_pushButtonThreshold70_clicked();
    void on_pushButtonThreshold80_clicked();
    void on_pushButtonAngleAdjust_clicked();
    void on_pushButtonSampRate70_clicked();
    void on_pushButtonRadarDir_clicked();
    void on_dischargeClear_clicked();
    void on_pushButtonWriteParameter_clicked();
    void on_pushButtonRiverModel_clicked();
    void on_pushButtonCoefficient_clicked();
    void on_pushButtonAngleH_clicked();
    void on_pushButtonRainMode_clicked();
    void on_pushButtonSleepTime_clicked();
    void on_pushButtonChangeAddr_clicked();
    void on_pushButtonLowestWater_clicked();
    void on_pushButtonLowSpeed_clicked();
    void on_pushButtonMeasureTimes_clicked();
    void on_pushButtonStable_clicked();
    void on_pushButtonRelative_clicked();
    void on_pushButtonBaseLine_clicked();
    void on_pushButtonFilterType_clicked();
    void on_pushButtonSilt_clicked();
    void on_pushButtonBaseLineMin_clicked();
    void on_pushButtonFilterFactor_clicked();
    void on_pushButtonKalman_clicked();
    void on_pushButtonPowerMode_clicked();
    void on_pushButtonMaxMeasureSpeed_clicked();
    void on_pushButtonValid_clicked();
    void on_pushButtonValidThreshold_clicked();
    void on_pushButtonZeroCounter_clicked();
    void on_pushButtonRelative_2_clicked();
    // settings-slots-end

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    // Serial connection
    bool IsPortReady() const;
    bool CheckPortOrWarn();
    // False with the operator's explanation when the port does not open.
    bool OpenConnection(QString *ptWhy);
    void CloseConnection();
    void StopWorkers();
    void HandlePortLost(const QString &reason);
    void ConnectReadyRead();
    // Reads the waiting bytes as one frame and hands them on.
    void CloseFrame();
    quint8 ChosenDevAddr() const;
    // The last frame written asked for a spectrum that has not come yet.
    bool IsSpectrumRequestOnLine() const;
    // Why the port list is empty, and what to do about it.
    QString NoUsablePortText() const;
    QString OpenFailureText(const QString &portName, const LinkPort &port,
                            const QString &reason) const;

    // Unattended station: keeping the link alive
    void ConnectStation();
    void SelectPort(const QString &name);
    void RememberChoices();
    // Network ports opened before, the latest first.
    QStringList NetworkPortsUsed() const;
    // The response time-out or a port error ended the link.
    void LinkLost(const QString &boxText, const QString &reason);
    void OpenStationLink();
    void StopReconnecting();
    void StationAnswered(u16 usRegister);
    // The first opening that got no answer is told once, its end too.
    void TellSilence(const QString &text);

    // Measurement runs
    void StartRun(bool keepCharts);
    void EndRun();
    // One sample: velocity, level and flow are plotted; all seven are recorded.
    void AppendMeasurement(double speed, double level, double quantity, double airGap,
                           double discharge, int speedStrength, int levelStrength);

    // Measurement file and history
    void CreateXmlFile();
    void WriteXmlFileRow(const QString &time, double speed, double level, double quantity,
                         double airGap, double discharge, int speedStrength, int levelStrength);
    // cause: why the recording stopped early, for the one warning shown.
    void SaveXmlFile(const QString &cause = QString());
    void InitHistoryTable();
    // Says once at start what of the recording and the history cannot work.
    void CheckStorage();
    // Finishes the run files a killed program left and enters their rows.
    void RecoverUnfinishedRuns();
    // A run goes on live after its file failed: once a write succeeds
    // again, a new file records it.
    void RetryStorage();
    // A warning box shown once the current slot has returned.
    void WarnLater(const QString &text);
    // The warnings WarnLater holds, now; as boxes, or only to the log (and
    // standard error) when the program is ending.
    void DeliverWarnings(bool isBoxAllowed);

    // Live and echo charts
    void InitMainCharts();
    void InitFreqCharts();
    void ResetTimeAxis();
    void ScrollLiveChart(Chart *chart, QtCharts::QDateTimeAxis *axisX, const QDateTime &now);
    void ClearLiveCharts();
    // Appends one sample to the three live charts and scrolls them.
    void PlotSample(const QDateTime &now, double speed, double level, double quantity);
    void ParseSpeedFreq(const QByteArray &data);
    void ParseLevelFreq(const QByteArray &data);
    void RequestSpectrum(u16 usRegister, bool isSpeed);

    void InstallValidators();

    // Device settings
    // Connects the settings editors' signals; run once by the constructor.
    void ConnectSettings();
    // A read of holding registers was answered or refused (lastSendFrame is
    // still that request); the end of a read-back names what was refused.
    void HoldingReadDone(bool isRefused, quint8 ucCode);
    // The instrument took or refused a block of the channel geometry.
    void GeometryWriteAnswered(bool isSucceed, u16 usAddr);
    // settings-private-begin
    // Writes the setting of one editor row, keyed by its write button, after
    // the port guard and the row's checks.
    void WriteSetting(const QPushButton *button);
    // Asks the operator; true only for Yes.
    bool ConfirmCommand(const QString &title, const QString &text);
    void ShowWarning(const QString &text);
    // settings-private-end

    Ui::MainWindow *ui;
    int lastBytesAvailable = 0;
    // The line to the instrument: a serial port or a network connection.
    LinkPort *ptSerialPort = nullptr;
    bool isPortOpen = false;
    bool isAutoRun = false;
    bool isSpeedFreqPending = false;
    bool isLevelFreqPending = false;
    Modbus *ptModbus = nullptr;
    QThread *sendThread = nullptr;
    QThread *recvThread = nullptr;
    MsgProcessThread *sendWorker = nullptr;
    MsgProcessThread *recvWorker = nullptr;

    Chart *speedChart = nullptr;
    QtCharts::QLineSeries *speedLineSeries = nullptr;
    QtCharts::QScatterSeries *speedScatterSeries = nullptr;
    QtCharts::QDateTimeAxis *speedAxisX = nullptr;
    QtCharts::QValueAxis *speedAxisY = nullptr;
    Callout *speedCallout = nullptr;
    RunSeries *speedRun = nullptr;
    Chart *levelChart = nullptr;
    QtCharts::QLineSeries *levelLineSeries = nullptr;
    QtCharts::QScatterSeries *levelScatterSeries = nullptr;
    QtCharts::QDateTimeAxis *levelAxisX = nullptr;
    QtCharts::QValueAxis *levelAxisY = nullptr;
    Callout *levelCallout = nullptr;
    RunSeries *levelRun = nullptr;
    Chart *quantityChart = nullptr;
    QtCharts::QLineSeries *quantityLineSeries = nullptr;
    QtCharts::QScatterSeries *quantityScatterSeries = nullptr;
    QtCharts::QDateTimeAxis *quantityAxisX = nullptr;
    QtCharts::QValueAxis *quantityAxisY = nullptr;
    Callout *quantityCallout = nullptr;
    RunSeries *quantityRun = nullptr;
    Chart *speedFreqChart = nullptr;
    QtCharts::QLineSeries *speedFreqLineSeries = nullptr;
    QtCharts::QScatterSeries *speedFreqScatterSeries = nullptr;
    QtCharts::QValueAxis *speedFreqAxisX = nullptr;
    QtCharts::QValueAxis *speedFreqAxisY = nullptr;
    Callout *speedFreqCallout = nullptr;
    Chart *levelFreqChart = nullptr;
    QtCharts::QLineSeries *levelFreqLineSeries = nullptr;
    QtCharts::QValueAxis *levelFreqAxisX = nullptr;
    QtCharts::QValueAxis *levelFreqAxisY = nullptr;

    QTimer autoRunTimer;
    QTimer readSerialTimer;
    QTimer recvTimeoutTimer;
    QTimer storageRetryTimer;

    Database *database = nullptr;
    TableViewDelegate *historyDelegate = nullptr;
    MeasurementFile measurementFile;

    QDateTime startTime;
    QDateTime endTime;
    // The poll interval in force: the field's last valid value.
    int autoRunIntervalSecs = 2;
    int resendCount = 0;
    int responseTimeoutMs = DefaultResponseTimeoutMs;
    int quietTimeMs = DefaultQuietTimeMs;
    QByteArray lastSendFrame;
    // Until the version is read, a read-back asks for all 101 registers.
    static constexpr u16 DefaultHoldingRegCount = 101;
    u16 usHoldingRegCount = DefaultHoldingRegCount;
    u16 usDevVersion = 0;
    // The last block of the read-back under way; start 0 when none is.
    u16 usReadBackLastStart = 0;
    u16 usReadBackLastCount = 0;
    // Registers the instrument refused during the read-back: first and last.
    QVector<QPair<int, int>> refusedReads;
    quint8 ucRefusedCode = 0;
    // The millimetre distance of a geometry write, sent only once the instrument
    // has taken the first block.
    QByteArray pendingDistanceBlock;

    Notifier notifier{this};
    // Ports skipped by the last listing, by why they could not be opened.
    QStringList deniedPorts;
    QStringList failedPorts;
    QTimer reconnectTimer;
    QString reconnectPortName;
    QString lastOpenFailure;
    bool isReconnecting = false;
    // A run starts by itself once the instrument answers (--measure, or a
    // run that the lost link ended).
    bool isRunWanted = false;
    // The instrument has answered on the open port.
    bool isLinkUp = false;
    QStringList pendingWarnings;
    // Ports whose instrument has answered in this session: only there is a
    // link that comes back a reconnection.
    QSet<QString> answeredPorts;
    // An opening that never got an answer was told (standard error when
    // headless); its first answer is told too.
    bool isSilenceTold = false;

    // A poll sent and not yet answered: the next tick sends nothing.
    bool isPollPending = false;
    // The address last written to the instrument's address register.
    u16 usNewDevAddr = 0;
};
