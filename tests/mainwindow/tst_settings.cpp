// The device settings of the main window against the simulated instrument:
// the read-back on opening, every editor, the device commands and the
// channel geometry, checked on the wire and on the screen.
#include "windowbench.h"
#include "wire.h"

#include <QComboBox>
#include <QJsonArray>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTabWidget>
#include <QtTest>

#include <memory>

namespace {

constexpr int FuncReadHolding = 0x03;
constexpr int FuncWriteSingle = 0x06;

const QString PortWarning = QStringLiteral("串口无连接，请先打开串口！");
const QString InputWarning = QStringLiteral("输入参数有误，请输入正确参数！");
const QString WidthWarning = QStringLiteral("参数输入有误，顶边长不能小于底边长");

// Waits for count frames in all and for the answer to the last one to reach
// the window: every answer the settings handle ends in a status message,
// shown at least 100 ms after the request left.
bool Settle(WindowBench &bench, int count)
{
    if (!bench.sim.waitForEntries(count, 10000))
        return false;
    auto *statusBar = bench.find<QStatusBar>("statusBar");
    statusBar->clearMessage();
    // Under load the message may have come before it was cleared; the wait
    // then just ends by time.
    static_cast<void>(
        QTest::qWaitFor([statusBar] { return !statusBar->currentMessage().isEmpty(); }, 1000));
    return bench.sim.entries().size() == count;
}

bool Open(WindowBench &bench, int count)
{
    return bench.openPort() && Settle(bench, count);
}

QString Status(const WindowBench &bench)
{
    return bench.find<QStatusBar>("statusBar")->currentMessage();
}

QByteArray WriteFrame(int reg, int value)
{
    QByteArray body = Wire::hex("80 06");
    for (int word : {reg, value}) {
        body.append(char(word >> 8));
        body.append(char(word & 0xFF));
    }
    return Wire::withCrc(body);
}

// Puts text into a field, or for a combo box the index given as text.
void Enter(WindowBench &bench, const QString &field, const QString &input)
{
    if (auto *box = bench.find<QComboBox>(field))
        box->setCurrentIndex(input.toInt());
    else if (auto *edit = bench.find<QLineEdit>(field))
        edit->setText(input);
}

} // namespace

class tst_Settings : public QObject
{
    Q_OBJECT

private slots:
    // Each with a window of its own.
    void readBackOnOpening_data();
    void readBackOnOpening();
    void portGuardComesFirst();
    void shapeSelection();
    // On a shared window.
    void millimetreDistance_data();
    void millimetreDistance();
    void editorWrites_data();
    void editorWrites();
    void editorRefusals_data();
    void editorRefusals();
    void addressChange_data();
    void addressChange();
    void geometryBlock_data();
    void geometryBlock();
    void geometryRefusals_data();
    void geometryRefusals();
    void commandsAskFirst_data();
    void commandsAskFirst();
    void factoryResetDuringRun();
    void cleanupTestCase();

private:
    // An open window on firmware 2.6 (or 4.26) shared by the tests of one
    // firmware. Only one window lives at a time: a recorder answers the
    // boxes of every window.
    WindowBench &shared(const QString &firmware = "0x0206");

    std::unique_ptr<WindowBench> sharedBench;
    QString sharedFirmware;
};

WindowBench &tst_Settings::shared(const QString &firmware)
{
    if (!sharedBench || sharedFirmware != firmware) {
        sharedBench.reset();
        sharedBench = std::make_unique<WindowBench>(QStringList{"--firmware", firmware});
        sharedFirmware = firmware;
        const int versionAndBlocks = firmware == "0x0206" ? 12 : 22;
        if (!sharedBench->isReady() || !Open(*sharedBench, versionAndBlocks))
            qWarning("the shared window did not open");
    }
    return *sharedBench;
}

void tst_Settings::cleanupTestCase()
{
    sharedBench.reset();
}

void tst_Settings::readBackOnOpening_data()
{
    QTest::addColumn<QString>("firmware");
    QTest::addColumn<int>("registers");
    QTest::addColumn<bool>("isAdvanced");
    QTest::addColumn<QString>("distance");
    QTest::addColumn<QString>("version");

    const auto row = [](const char *name, const char *firmware, int registers, bool isAdvanced,
                        const char *distance, const char *version) {
        QTest::newRow(name) << QString(firmware) << registers << isAdvanced << QString(distance)
                            << QString(version);
    };
    row("2.6: 11 blocks, advanced shown", "0x0206", 51, true, "3", "V2.6");
    row("2.5: 9 blocks, advanced left", "0x0205", 45, false, "3", "V2.5");
    row("4.26: 21 blocks, D in mm", "0x041A", 101, true, "100", "V4.26");
}

void tst_Settings::readBackOnOpening()
{
    QFETCH(QString, firmware);
    QFETCH(int, registers);
    QFETCH(bool, isAdvanced);
    QFETCH(QString, distance);
    QFETCH(QString, version);

    // D is 3 m in register 16 and 100 m in 75-76, so the two sources differ;
    // the combo boxes get items other than their first, and 7 in register
    // 23 is no item at all.
    WindowBench bench({"--firmware", firmware},
                      {"holding 75 1", "holding 76 34464", "holding 22 3", "holding 24 3",
                       "holding 23 7", "holding 48 5", "holding 53 2", "holding 59 1",
                       "holding 66 0", "holding 15 3"});
    QVERIFY2(bench.isReady(), qPrintable(bench.sim.errorString()));
    const int blocks = (registers + 4) / 5;
    QVERIFY(Open(bench, 1 + blocks));

    const QList<QJsonObject> reads = bench.requests(FuncReadHolding);
    QCOMPARE(reads.size(), 1 + blocks);
    QCOMPARE(SimProcess::requestBytes(reads.at(0)), Wire::withCrc(Wire::hex("80 03 00 24 00 01")));
    for (int k = 0; k < blocks; ++k) {
        const QJsonObject request = reads.at(1 + k).value("request").toObject();
        QCOMPARE(request.value("start").toInt(), 1 + 5 * k);
        QCOMPARE(request.value("count").toInt(), qMin(5, registers - 5 * k));
    }

    QVERIFY(bench.find<QTabWidget>("tabWidget")->isTabEnabled(1));
    QVERIFY(bench.find<QLabel>("labelDevVersion")->text().contains(version));
    QCOMPARE(bench.find<QLineEdit>("lineEditThreshold70")->text(), QString("30"));
    QCOMPARE(bench.find<QLineEdit>("lineEditMaxMeasureSpeed")->text(), QString("10"));
    QCOMPARE(bench.find<QLineEdit>("lineEditCoefficient")->text(), QString("0.85"));
    QCOMPARE(bench.find<QLineEdit>("lineEditDevToButtomLen")->text(), distance);
    QCOMPARE(bench.find<QComboBox>("comboBoxRiverModel")->currentText(), QString("特一型"));
    QCOMPARE(bench.find<QComboBox>("comboBoxRadarDir")->currentText(), QString("自动"));
    QCOMPARE(bench.find<QComboBox>("comboBoxSampRate70")->currentIndex(), -1); // 7: no such item
    QVERIFY(bench.find<QRadioButton>("radioButtonU")->isChecked());
    QCOMPARE(bench.find<QLabel>("label_radius")->text(), QString("扇形高度E(m)"));

    const QString stable = bench.find<QLineEdit>("lineEditStable")->text();
    const QString scan = bench.find<QLineEdit>("lineEditMeasureTimes")->text();
    const QString tolerance = bench.find<QLineEdit>("lineEditRelative")->text();
    if (isAdvanced) {
        QCOMPARE(stable, QString("50"));
        QCOMPARE(scan, QString("450"));
        QCOMPARE(tolerance, QString("0.50"));
        QCOMPARE(bench.find<QComboBox>("comboBoxLowSpeed")->currentText(), QString("5档"));
    } else {
        QCOMPARE(stable, QString("10"));
        QCOMPARE(scan, QString("405"));
        QCOMPARE(tolerance, QString("0.3"));
    }
    // Registers above 51 are read only where the firmware asks for all 101.
    if (registers >= 68) {
        QCOMPARE(bench.find<QComboBox>("comboBoxFilterType")->currentText(), QString("M2"));
        QCOMPARE(bench.find<QComboBox>("comboBoxPowerMode")->currentText(), QString("短上电"));
        QCOMPARE(bench.find<QComboBox>("comboBoxValid")->currentText(), QString("关闭"));
        QCOMPARE(bench.find<QComboBox>("comboBoxKalman")->currentText(), QString("开启"));
        QCOMPARE(bench.find<QLineEdit>("lineEditZeroCounter")->text(), QString("3"));
    }
    QVERIFY(bench.boxes.boxes().isEmpty());
}

void tst_Settings::portGuardComesFirst()
{
    WindowBench bench({"--firmware", "0x0206"});
    QVERIFY2(bench.isReady(), qPrintable(bench.sim.errorString()));
    QVERIFY(Open(bench, 12));
    // Closing keeps the settings tab open; every button must now refuse,
    // before looking at its input.
    QVERIFY(bench.click("pushButtonUartConnect"));
    bench.find<QLineEdit>("lineEditAngleH")->clear();
    bench.find<QLineEdit>("lineEditNewDevAddr")->clear();
    const int sent = bench.sim.entries().size();

    const QStringList buttons{
        "pushButtonSampRate70",     "pushButtonThreshold70",  "pushButtonSpeedFilterTimes",
        "pushButtonAngleH",         "pushButtonSleepTime",    "pushButtonSilt",
        "pushButtonRadarDir",       "pushButtonThreshold80",  "pushButtonDistFilterTimes",
        "pushButtonRainMode",       "pushButtonLowestWater",  "pushButtonMaxMeasureSpeed",
        "pushButtonLowSpeed",       "pushButtonStable",       "pushButtonBaseLine",
        "pushButtonBaseLineMin",    "pushButtonKalman",       "pushButtonValid",
        "pushButtonRelative_2",     "pushButtonMeasureTimes", "pushButtonRelative",
        "pushButtonFilterType",     "pushButtonFilterFactor", "pushButtonPowerMode",
        "pushButtonValidThreshold", "pushButtonZeroCounter",  "pushButtonRiverModel",
        "pushButtonCoefficient",    "pushButtonAngleAdjust",  "pushButtonChangeAddr",
        "dischargeClear",           "pushButtonReadAll",      "pushButtonReadAll2",
        "pushButtonFactoryRst",     "pushButtonFactoryRst2",  "pushButtonWriteParameter"};
    bench.boxes.setAnswer(QMessageBox::Yes);
    for (const QString &button : buttons) {
        bench.boxes.clear();
        QVERIFY2(bench.click(button), qPrintable(button));
        QCOMPARE(bench.boxes.boxes().size(), 1);
        QCOMPARE(bench.boxes.boxes().at(0).title, QString("警告"));
        QVERIFY2(bench.boxes.lastText() == PortWarning, qPrintable(button));
    }
    QTest::qWait(200);
    QCOMPARE(bench.sim.entries().size(), sent);
}

void tst_Settings::editorWrites_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("input");
    QTest::addColumn<int>("reg");
    QTest::addColumn<int>("value");

    // Combo boxes take the index as input.
    const auto row = [](const char *name, const char *button, const char *field, const char *input,
                        int reg, int value) {
        QTest::newRow(name) << QString(button) << QString(field) << QString(input) << reg << value;
    };
    row("range step 3", "pushButtonSampRate70", "comboBoxSampRate70", "2", 23, 3);
    row("velocity threshold 40000 as typed", "pushButtonThreshold70", "lineEditThreshold70",
        "40000", 11, 40000);
    row("velocity threshold 32767", "pushButtonThreshold70", "lineEditThreshold70", "32767", 11,
        32767);
    row("velocity filter 20", "pushButtonSpeedFilterTimes", "lineSpeedFilterTimes", "20", 13, 20);
    row("horizontal angle 60", "pushButtonAngleH", "lineEditAngleH", "60", 30, 60);
    row("horizontal angle 0", "pushButtonAngleH", "lineEditAngleH", "0", 30, 0);
    row("sleep 15 min", "pushButtonSleepTime", "lineEditSleepTime", "15", 32, 15);
    row("silt 0.5 m", "pushButtonSilt", "lineEditSilt", "0.5", 54, 50);
    row("silt 655.35 m", "pushButtonSilt", "lineEditSilt", "655.35", 54, 65535);
    row("beam upstream", "pushButtonRadarDir", "comboBoxRadarDir", "1", 24, 2);
    row("level threshold 500", "pushButtonThreshold80", "lineEditThreshold80", "500", 12, 500);
    row("level filter 0", "pushButtonDistFilterTimes", "lineDistFilterTimes", "0", 14, 0);
    row("rain mode off", "pushButtonRainMode", "comboBoxRainMode", "1", 31, 2);
    row("lowest water 0.05 m", "pushButtonLowestWater", "lineEditLowestWater", "0.05", 44, 5);
    row("max velocity 10", "pushButtonMaxMeasureSpeed", "lineEditMaxMeasureSpeed", "10", 25, 1000);
    row("low speed off", "pushButtonLowSpeed", "comboBoxLowSpeed", "0", 48, 0);
    row("immunity 65535", "pushButtonStable", "lineEditStable", "65535", 47, 65535);
    row("upper threshold 0.3", "pushButtonBaseLine", "lineEditBaseLine", "0.3", 52, 30);
    row("lower threshold 0.2", "pushButtonBaseLineMin", "lineEditBaseLineMin", "0.2", 56, 20);
    row("damper on", "pushButtonKalman", "comboBoxKalman", "1", 58, 1);
    row("validity off", "pushButtonValid", "comboBoxValid", "0", 66, 0);
    row("correlation on", "pushButtonRelative_2", "comboBoxRelative", "1", 63, 1);
    row("scan volume 450", "pushButtonMeasureTimes", "lineEditMeasureTimes", "450", 49, 75);
    row("scan volume 405", "pushButtonMeasureTimes", "lineEditMeasureTimes", "405", 49, 30);
    row("scan volume 525", "pushButtonMeasureTimes", "lineEditMeasureTimes", "525", 49, 150);
    row("tolerance 0.3 in single precision", "pushButtonRelative", "lineEditRelative", "0.3", 51,
        30);
    row("filter M4", "pushButtonFilterType", "comboBoxFilterType", "4", 53, 4);
    row("quantisation 0.1", "pushButtonFilterFactor", "lineEditFilterFactor", "0.1", 57, 10);
    row("short power-up", "pushButtonPowerMode", "comboBoxPowerMode", "1", 59, 1);
    row("validity threshold 20", "pushButtonValidThreshold", "lineEditValidThreshold", "20", 67,
        20);
    row("zeroing 3", "pushButtonZeroCounter", "lineEditZeroCounter", "3", 68, 3);
    row("river type 4", "pushButtonRiverModel", "comboBoxRiverModel", "3", 22, 4);
    row("bank coefficient 0.29", "pushButtonCoefficient", "lineEditCoefficient", "0.29", 21, 29);
    row("vertical angle command", "pushButtonAngleAdjust", "", "", 29, 1);
}

void tst_Settings::editorWrites()
{
    QFETCH(QString, button);
    QFETCH(QString, field);
    QFETCH(QString, input);
    QFETCH(int, reg);
    QFETCH(int, value);

    WindowBench &bench = shared();
    QVERIFY(bench.isReady());
    Enter(bench, field, input);
    bench.find<QStatusBar>("statusBar")->clearMessage();
    const int sent = bench.sim.entries().size();

    QVERIFY(bench.click(button));
    QVERIFY(bench.sim.waitForEntries(sent + 1));
    QCOMPARE(SimProcess::requestBytes(bench.sim.entries().at(sent)), WriteFrame(reg, value));
    QTRY_COMPARE(Status(bench), QString("设置写入成功"));
    QVERIFY(bench.boxes.boxes().isEmpty());
    QCOMPARE(bench.sim.entries().size(), sent + 1);
}

void tst_Settings::editorRefusals_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("input");
    QTest::addColumn<QString>("warning");

    const auto row = [](const char *name, const char *button, const char *field, const char *input,
                        const QString &warning) {
        QTest::newRow(name) << QString(button) << QString(field) << QString(input) << warning;
    };
    const QString angleRange = QStringLiteral("水平角度修正无效，修正范围0-60！");
    row("immunity 70000 does not fit", "pushButtonStable", "lineEditStable", "70000", InputWarning);
    row("immunity -1", "pushButtonStable", "lineEditStable", "-1", InputWarning);
    row("immunity not a number", "pushButtonStable", "lineEditStable", "ten", InputWarning);
    row("zeroing empty", "pushButtonZeroCounter", "lineEditZeroCounter", "", InputWarning);
    row("velocity threshold empty", "pushButtonThreshold70", "lineEditThreshold70", "",
        InputWarning);
    row("negative silt", "pushButtonSilt", "lineEditSilt", "-0.5", InputWarning);
    row("lowest water above 655.35", "pushButtonLowestWater", "lineEditLowestWater", "655.36",
        InputWarning);
    row("tolerance not a number", "pushButtonRelative", "lineEditRelative", "0,3", InputWarning);
    row("angle empty", "pushButtonAngleH", "lineEditAngleH", "", "请输入要修正的水平角度！");
    row("angle 61", "pushButtonAngleH", "lineEditAngleH", "61", angleRange);
    row("angle -1", "pushButtonAngleH", "lineEditAngleH", "-1", angleRange);
    row("angle 65566 would wrap to 30", "pushButtonAngleH", "lineEditAngleH", "65566", angleRange);
    row("sleep empty", "pushButtonSleepTime", "lineEditSleepTime", "", "请输入休眠时间！");
    row("scan volume 404", "pushButtonMeasureTimes", "lineEditMeasureTimes", "404", InputWarning);
    row("scan volume 526", "pushButtonMeasureTimes", "lineEditMeasureTimes", "526", InputWarning);
    row("scan volume 65941 would wrap to 405", "pushButtonMeasureTimes", "lineEditMeasureTimes",
        "65941", InputWarning);
    row("low speed without selection", "pushButtonLowSpeed", "comboBoxLowSpeed", "-1",
        InputWarning);
    row("river type without selection", "pushButtonRiverModel", "comboBoxRiverModel", "-1",
        InputWarning);
}

void tst_Settings::editorRefusals()
{
    QFETCH(QString, button);
    QFETCH(QString, field);
    QFETCH(QString, input);
    QFETCH(QString, warning);

    WindowBench &bench = shared();
    QVERIFY(bench.isReady());
    Enter(bench, field, input);
    QSignalSpy writes(bench.window.get(), &MainWindow::WriteHoldingRegister);
    const int sent = bench.sim.entries().size();
    bench.boxes.clear();

    QVERIFY(bench.click(button));
    QCOMPARE(bench.boxes.boxes().size(), 1);
    QCOMPARE(bench.boxes.boxes().at(0).title, QString("警告"));
    QCOMPARE(bench.boxes.lastText(), warning);
    QCOMPARE(writes.count(), 0);
    QTest::qWait(100);
    QCOMPARE(bench.sim.entries().size(), sent);
}

void tst_Settings::addressChange_data()
{
    QTest::addColumn<QString>("input");
    QTest::addColumn<QString>("warning"); // empty: written

    const auto row = [](const char *input, const QString &warning) {
        QTest::newRow(input) << QString(input) << warning;
    };
    const QString invalid = QStringLiteral("设备地址无效，必须在0x01-0xC8之间！");
    // The simulator must stay reachable, so the accepted rows keep 0x80.
    row("80", QString());
    row("0x80", QString());
    row("", QStringLiteral("请输入要设置的设备地址，以十进制表示！"));
    row("C9", invalid);
    row("0", invalid);
    row("xyz", invalid);
    row("10080", invalid); // would wrap to 0x80
}

void tst_Settings::addressChange()
{
    QFETCH(QString, input);
    QFETCH(QString, warning);

    WindowBench &bench = shared();
    QVERIFY(bench.isReady());
    bench.find<QLineEdit>("lineEditNewDevAddr")->setText(input);
    bench.boxes.clear();
    const int sent = bench.sim.entries().size();

    QVERIFY(bench.click("pushButtonChangeAddr"));
    if (warning.isEmpty()) {
        QVERIFY(bench.sim.waitForEntries(sent + 1));
        QCOMPARE(SimProcess::requestBytes(bench.sim.entries().at(sent)), WriteFrame(28, 0x80));
        QVERIFY(bench.boxes.boxes().isEmpty());
        QVERIFY(Settle(bench, sent + 1));
    } else {
        QCOMPARE(bench.boxes.lastText(), warning);
        QTest::qWait(100);
        QCOMPARE(bench.sim.entries().size(), sent);
    }
}

void tst_Settings::geometryBlock_data()
{
    QTest::addColumn<QString>("shape");
    QTest::addColumn<QStringList>("dims"); // D, R, A, B, C
    QTest::addColumn<QByteArray>("block");

    const auto row = [](const char *name, const char *shape, const QStringList &dims,
                        const char *block) {
        QTest::newRow(name) << QString(shape) << dims << Wire::hex(block);
    };
    row("circle R 0.5 D 2, rest empty", "radioButtonCircle", {"2", "0.5", "", "", ""},
        "00 01 00 C8 00 32 00 00 00 00 00 00");
    row("trapezoid A = B", "radioButtonRectangle", {"3", "", "1.5", "1.5", "2"},
        "00 02 01 2C 00 00 00 96 00 96 00 C8");
    row("U with E", "radioButtonU", {"2.5", "0.3", "1", "2", "1.2"},
        "00 03 00 FA 00 1E 00 64 00 C8 00 78");
}

void tst_Settings::geometryBlock()
{
    QFETCH(QString, shape);
    QFETCH(QStringList, dims);
    QFETCH(QByteArray, block);

    WindowBench &bench = shared();
    QVERIFY(bench.isReady());
    bench.boxes.clear();
    QVERIFY(bench.click(shape));
    const QStringList fields{"lineEditDevToButtomLen", "lineEditRadius", "lineEditButtomLen",
                             "lineEditTopLen", "lineEditHeight"};
    for (int i = 0; i < fields.size(); ++i)
        bench.find<QLineEdit>(fields.at(i))->setText(dims.at(i));
    bench.find<QStatusBar>("statusBar")->clearMessage();
    const int sent = bench.sim.entries().size();

    QVERIFY(bench.click("pushButtonWriteParameter"));
    QVERIFY(Settle(bench, sent + 1)); // firmware 2.6: no millimetre block
    QCOMPARE(SimProcess::requestBytes(bench.sim.entries().at(sent)),
             Wire::withCrc(Wire::hex("80 10 00 0F 00 06 0C") + block));
    QCOMPARE(Status(bench), QString("参数设置成功"));
    QVERIFY(bench.boxes.boxes().isEmpty());
}

void tst_Settings::geometryRefusals_data()
{
    QTest::addColumn<QString>("shape");
    QTest::addColumn<QStringList>("dims"); // D, R, A, B, C
    QTest::addColumn<QString>("warning");

    const auto row = [](const char *name, const char *shape, const QStringList &dims,
                        const QString &warning) {
        QTest::newRow(name) << QString(shape) << dims << warning;
    };
    row("trapezoid A 2 B 1.5", "radioButtonRectangle", {"3", "", "2", "1.5", "2"}, WidthWarning);
    row("circle, A 3 B 1 left over", "radioButtonCircle", {"3", "0.5", "3", "1", ""}, WidthWarning);
    row("D empty", "radioButtonCircle", {"", "0.5", "", "", ""}, InputWarning);
    row("R above 655.35", "radioButtonCircle", {"3", "700", "", "", ""}, InputWarning);
    row("trapezoid height empty", "radioButtonRectangle", {"3", "", "1", "2", ""}, InputWarning);
    // A bad field is reported before the width check would apply.
    row("negative E before width", "radioButtonU", {"3", "-1", "2", "1", "1"}, InputWarning);
}

void tst_Settings::geometryRefusals()
{
    QFETCH(QString, shape);
    QFETCH(QStringList, dims);
    QFETCH(QString, warning);

    WindowBench &bench = shared();
    QVERIFY(bench.isReady());
    QVERIFY(bench.click(shape));
    const QStringList fields{"lineEditDevToButtomLen", "lineEditRadius", "lineEditButtomLen",
                             "lineEditTopLen", "lineEditHeight"};
    for (int i = 0; i < fields.size(); ++i)
        bench.find<QLineEdit>(fields.at(i))->setText(dims.at(i));
    QSignalSpy writes(bench.window.get(), &MainWindow::WriteMultHoldingRegisters);
    const int sent = bench.sim.entries().size();
    bench.boxes.clear();

    QVERIFY(bench.click("pushButtonWriteParameter"));
    QCOMPARE(bench.boxes.boxes().size(), 1);
    QCOMPARE(bench.boxes.lastText(), warning);
    QCOMPARE(writes.count(), 0);
    QTest::qWait(100);
    QCOMPARE(bench.sim.entries().size(), sent);
}

void tst_Settings::shapeSelection()
{
    WindowBench bench({"--firmware", "0x0206"});
    QVERIFY2(bench.isReady(), qPrintable(bench.sim.errorString()));
    auto *radius = bench.find<QLineEdit>("lineEditRadius");
    auto *buttom = bench.find<QLineEdit>("lineEditButtomLen");
    auto *radiusLabel = bench.find<QLabel>("label_radius");

    // The window opens on the circle, its settings page still locked.
    auto *page = bench.find<QWidget>("tab_3");
    QVERIFY(bench.find<QRadioButton>("radioButtonCircle")->isChecked());
    QVERIFY(radius->isEnabledTo(page));
    QVERIFY(!buttom->isEnabledTo(page));
    QCOMPARE(radiusLabel->text(), QString("圆形水渠半径R(m)"));

    // The settings page opens with the first read-back and stays open.
    QVERIFY(Open(bench, 12));
    QVERIFY(bench.click("pushButtonUartConnect"));

    QVERIFY(bench.click("radioButtonRectangle"));
    QVERIFY(!radius->isEnabled());
    QVERIFY(buttom->isEnabled());
    buttom->setText("1.25");

    QVERIFY(bench.click("radioButtonU"));
    QVERIFY(radius->isEnabled());
    QVERIFY(buttom->isEnabled());
    QCOMPARE(radiusLabel->text(), QString("扇形高度E(m)"));
    QCOMPARE(bench.find<QLabel>("label_height")->text(), QString("水渠高度C(m)"));

    QVERIFY(bench.click("radioButtonCircle"));
    QVERIFY(!buttom->isEnabled());
    QCOMPARE(buttom->text(), QString("1.25"));
    QCOMPARE(bench.find<QLabel>("label_buttom")->text(), QString("梯形水渠底边长A(m)"));

    // With the port closed the width check still comes first.
    buttom->setText("3");
    bench.find<QLineEdit>("lineEditTopLen")->setText("1");
    QVERIFY(bench.click("pushButtonWriteParameter"));
    QCOMPARE(bench.boxes.lastText(), WidthWarning);
    bench.find<QLineEdit>("lineEditTopLen")->setText("3");
    QVERIFY(bench.click("pushButtonWriteParameter"));
    QCOMPARE(bench.boxes.lastText(), PortWarning);
    QCOMPARE(bench.boxes.boxes().size(), 2);
}

void tst_Settings::millimetreDistance_data()
{
    QTest::addColumn<QString>("distance");
    QTest::addColumn<int>("centi");
    QTest::addColumn<QByteArray>("millimetres");

    QTest::newRow("D 2.5") << "2.5" << 250 << Wire::hex("00 00 09 C4");
    QTest::newRow("D 70") << "70" << 7000 << Wire::hex("00 01 11 70");
}

void tst_Settings::millimetreDistance()
{
    QFETCH(QString, distance);
    QFETCH(int, centi);
    QFETCH(QByteArray, millimetres);

    WindowBench &bench = shared("0x041A");
    QVERIFY(bench.isReady());
    QVERIFY(bench.click("radioButtonCircle"));
    for (const char *name : {"lineEditButtomLen", "lineEditTopLen", "lineEditHeight"})
        bench.find<QLineEdit>(name)->clear();
    bench.find<QLineEdit>("lineEditRadius")->setText("1");
    bench.find<QLineEdit>("lineEditDevToButtomLen")->setText(distance);
    const int sent = bench.sim.entries().size();

    // The second block goes out right behind the first.
    QVERIFY(bench.click("pushButtonWriteParameter"));
    QVERIFY(Settle(bench, sent + 2));
    const QList<QJsonObject> entries = bench.sim.entries();
    const QJsonObject first = entries.at(sent).value("request").toObject();
    QCOMPARE(first.value("start").toInt(), 15);
    QCOMPARE(first.value("values").toArray().at(1).toInt(), centi);
    QCOMPARE(SimProcess::requestBytes(entries.at(sent + 1)),
             Wire::withCrc(Wire::hex("80 10 00 4B 00 02 04") + millimetres));
}

void tst_Settings::commandsAskFirst_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("title");
    QTest::addColumn<bool>("isYes");
    QTest::addColumn<int>("reg"); // 0: nothing sent
    QTest::addColumn<QString>("status");

    const auto row = [](const char *name, const char *button, const char *title, bool isYes,
                        int reg, const char *status) {
        QTest::newRow(name) << QString(button) << QString(title) << isYes << reg << QString(status);
    };
    row("clear discharge, No", "dischargeClear", "清空累计流量", false, 0, "");
    row("clear discharge, Yes", "dischargeClear", "清空累计流量", true, 26, "设置写入成功");
    row("factory reset, No", "pushButtonFactoryRst", "恢复出厂设置", false, 0, "");
    row("factory reset, Yes", "pushButtonFactoryRst2", "恢复出厂设置", true, 37,
        "恢复出厂，系统正在重启。。。");
}

void tst_Settings::commandsAskFirst()
{
    QFETCH(QString, button);
    QFETCH(QString, title);
    QFETCH(bool, isYes);
    QFETCH(int, reg);
    QFETCH(QString, status);

    WindowBench &bench = shared();
    QVERIFY(bench.isReady());
    bench.boxes.clear();
    bench.boxes.setAnswer(isYes ? QMessageBox::Yes : QMessageBox::No);
    bench.find<QStatusBar>("statusBar")->clearMessage();
    const int sent = bench.sim.entries().size();

    QVERIFY(bench.click(button));
    bench.boxes.setAnswer(QMessageBox::Ok);
    QCOMPARE(bench.boxes.boxes().size(), 1);
    QCOMPARE(bench.boxes.boxes().at(0).title, title);
    if (!reg) {
        QTest::qWait(100);
        QCOMPARE(bench.sim.entries().size(), sent);
    } else {
        QVERIFY(Settle(bench, sent + 1));
        QCOMPARE(SimProcess::requestBytes(bench.sim.entries().at(sent)), WriteFrame(reg, 1));
        QCOMPARE(Status(bench), status);
    }
}

void tst_Settings::factoryResetDuringRun()
{
    WindowBench &bench = shared();
    QVERIFY(bench.isReady());
    const auto resets = [&bench] {
        int count = 0;
        for (const QJsonObject &write : bench.requests(FuncWriteSingle))
            count += write.value("request").toObject().value("register").toInt() == 37;
        return count;
    };
    const int before = resets();
    bench.find<QLineEdit>("lineEditAutoRunIntvel")->setText("1");
    QVERIFY(bench.click("pushButtonAutoRun70"));
    bench.boxes.clear();
    bench.boxes.setAnswer(QMessageBox::Yes);

    // Both buttons warn; no question is asked, so Yes cannot reach the instrument.
    QVERIFY(bench.click("pushButtonFactoryRst"));
    QVERIFY(bench.click("pushButtonFactoryRst2"));
    bench.boxes.setAnswer(QMessageBox::Ok);
    QCOMPARE(bench.boxes.boxes().size(), 2);
    for (const MessageBoxRecorder::Box &box : bench.boxes.boxes()) {
        QCOMPARE(box.title, QString("警告"));
        QCOMPARE(box.text, QString("恢复出厂设置后仪器会自动重启，请先结束测量！"));
    }
    QTest::qWait(300);
    QVERIFY(bench.click("pushButtonAutoRun70"));
    QCOMPARE(resets(), before);
}

QTEST_MAIN(tst_Settings)
#include "tst_settings.moc"
