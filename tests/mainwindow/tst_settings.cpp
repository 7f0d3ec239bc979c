// The device settings of the main window against the simulated instrument:
// the read-back on opening, every editor, the device commands and the
// channel geometry, checked on the wire and on the screen.
#include "windowbench.h"
#include "wire.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTabWidget>
#include <QTextDocumentFragment>
#include <QtTest>

#include <memory>

namespace {

const QString PortWarning = QStringLiteral("串口无连接，请先打开串口！");
const QString InputWarning = QStringLiteral("输入参数有误，请输入正确参数！");
const QString WidthWarning = QStringLiteral("参数输入有误，顶边长不能小于底边长");

QByteArray Frame(const char *hex)
{
    return Wire::withCrc(Wire::hex(hex));
}

QByteArray WriteFrame(int reg, int value)
{
    return Frame(qPrintable(QString::asprintf("80 06 %04X %04X", reg, value)));
}

// The shape to click, then D, R (or E), A, B and C.
QStringList Geometry(const char *shape, const QStringList &dims)
{
    const QStringList fields{"lineEditDevToButtomLen", "lineEditRadius", "lineEditButtomLen",
                             "lineEditTopLen", "lineEditHeight"};
    QStringList inputs{shape};
    for (int i = 0; i < fields.size(); ++i)
        inputs << fields.at(i) + '=' + dims.at(i);
    return inputs;
}

// Each input is "field=text" (a combo box takes its index as text) or a
// button to click.
bool Enter(WindowBench &bench, const QStringList &inputs)
{
    for (const QString &input : inputs) {
        const QString name = input.section('=', 0, 0);
        const QString text = input.section('=', 1);
        if (auto *box = bench.find<QComboBox>(name))
            box->setCurrentIndex(text.toInt());
        else if (auto *edit = bench.find<QLineEdit>(name))
            edit->setText(text);
        else if (!bench.click(name))
            return false;
    }
    return true;
}

QString Shown(const WindowBench &bench, const QString &name)
{
    if (auto *box = bench.find<QComboBox>(name))
        return box->currentText();
    if (auto *label = bench.find<QLabel>(name))
        return QTextDocumentFragment::fromHtml(label->text()).toPlainText();
    return bench.find<QLineEdit>(name)->text();
}

QByteArrayList SentSince(const WindowBench &bench, int first)
{
    QByteArrayList frames;
    for (const QJsonObject &entry : bench.sim.entries().mid(first))
        frames << SimProcess::requestBytes(entry);
    return frames;
}

} // namespace

class tst_Settings : public QObject
{
    Q_OBJECT

private slots:
    void readBackOnOpening_data();
    void readBackOnOpening();
    void writes_data();
    void writes();
    void refusals_data();
    void refusals();
    void factoryResetDuringRun();
    // Last: it closes the port.
    void portGuardComesFirst();
    void cleanupTestCase() { sharedBench.reset(); }

private:
    // An open window shared by the tests of one firmware. Only one window
    // lives at a time: a recorder answers the boxes of every window.
    WindowBench *shared(const QString &firmware = "0x0206");

    std::unique_ptr<WindowBench> sharedBench;
    QString sharedFirmware;
};

WindowBench *tst_Settings::shared(const QString &firmware)
{
    if (sharedBench && sharedFirmware == firmware && sharedBench->isPortOpen())
        return sharedBench.get();
    sharedBench.reset();
    // D is 3 m in register 16 and 100 m in 75-76, so the two sources differ;
    // the combo boxes get items other than their first, and 7 in register 23
    // is no item at all.
    sharedBench = std::make_unique<WindowBench>(
        QStringList{"--firmware", firmware},
        QStringList{"holding 75 1", "holding 76 34464", "holding 22 3", "holding 24 3",
                    "holding 23 7", "holding 48 5", "holding 53 2", "holding 59 1", "holding 66 0",
                    "holding 15 3"});
    sharedFirmware = firmware;
    // The version read, then one read per five registers.
    const int frames = 1 + (firmware == "0x0205" ? 9 : firmware == "0x0206" ? 11 : 21);
    if (!sharedBench->isReady() || !sharedBench->openPort() || !sharedBench->settle(frames))
        return nullptr;
    return sharedBench.get();
}

void tst_Settings::readBackOnOpening_data()
{
    QTest::addColumn<QString>("firmware");
    QTest::addColumn<int>("registers");
    QTest::addColumn<QStringList>("shown"); // "field=text"

    const QStringList advanced{"lineEditStable=50", "lineEditMeasureTimes=450",
                               "lineEditRelative=0.50", "comboBoxLowSpeed=5档"};
    // Registers above 51 are read only where the firmware asks for all 101.
    const QStringList above51{"comboBoxFilterType=M2", "comboBoxPowerMode=短上电",
                              "comboBoxValid=关闭", "comboBoxKalman=开启", "lineEditZeroCounter=3"};
    QTest::newRow("2.5: 9 blocks, advanced left")
        << QString("0x0205") << 45
        << QStringList{"labelDevVersion=设备软件版本：V2.5", "lineEditDevToButtomLen=3",
                       "lineEditStable=10", "lineEditMeasureTimes=405", "lineEditRelative=0.3"};
    QTest::newRow("2.6: 11 blocks, advanced shown")
        << QString("0x0206") << 51
        << QStringList{"labelDevVersion=设备软件版本：V2.6", "lineEditDevToButtomLen=3"} + advanced;
    QTest::newRow("4.26: 21 blocks, D in mm")
        << QString("0x041A") << 101
        << QStringList{"labelDevVersion=设备软件版本：V4.26", "lineEditDevToButtomLen=100"} +
               advanced + above51;
}

void tst_Settings::readBackOnOpening()
{
    QFETCH(QString, firmware);
    QFETCH(int, registers);
    QFETCH(QStringList, shown);

    WindowBench *bench = shared(firmware);
    QVERIFY(bench);
    const QList<QJsonObject> reads = bench->requests(0x03);
    const int blocks = (registers + 4) / 5;
    QCOMPARE(reads.size(), 1 + blocks);
    QCOMPARE(SimProcess::requestBytes(reads.at(0)), Frame("80 03 00 24 00 01"));
    for (int k = 0; k < blocks; ++k) {
        const QJsonObject request = reads.at(1 + k).value("request").toObject();
        QCOMPARE(request.value("start").toInt(), 1 + 5 * k);
        QCOMPARE(request.value("count").toInt(), qMin(5, registers - 5 * k));
    }

    QVERIFY(bench->find<QTabWidget>("tabWidget")->isTabEnabled(1));
    // The U shape comes from register 15.
    shown += QStringList{"lineEditThreshold70=30",   "lineEditMaxMeasureSpeed=10",
                         "lineEditCoefficient=0.85", "comboBoxRiverModel=特一型",
                         "comboBoxRadarDir=自动",    "comboBoxSampRate70=",
                         "label_radius=扇形高度E(m)"};
    for (const QString &expected : shown) {
        const QString name = expected.section('=', 0, 0);
        QCOMPARE(name + '=' + Shown(*bench, name), expected);
    }
    QVERIFY(bench->boxes.boxes().isEmpty());
}

void tst_Settings::writes_data()
{
    QTest::addColumn<QString>("firmware");
    QTest::addColumn<QString>("button");
    QTest::addColumn<QStringList>("inputs");
    QTest::addColumn<QByteArrayList>("frames");
    QTest::addColumn<QString>("status");

    const auto edit = [](const char *name, const char *button, const char *input, int reg,
                         int value) {
        QTest::newRow(name) << QString("0x0206") << QString(button)
                            << (*input ? QStringList{input} : QStringList())
                            << QByteArrayList{WriteFrame(reg, value)} << QString("设置写入成功");
    };
    const auto geometry = [](const char *name, const char *firmware, const QStringList &inputs,
                             const QByteArrayList &frames) {
        QTest::newRow(name) << QString(firmware) << QString("pushButtonWriteParameter") << inputs
                            << frames << QString("参数设置成功");
    };
    // The window shared with the last read-back comes first.
    geometry("4.26: D 70 also in mm, high word first", "0x041A",
             Geometry("radioButtonCircle", {"70", "1", "", "", ""}),
             {Frame("80 10 00 0F 00 06 0C 00 01 1B 58 00 64 00 00 00 00 00 00"),
              Frame("80 10 00 4B 00 02 04 00 01 11 70")});
    geometry("circle R 0.5 D 2, rest empty", "0x0206",
             Geometry("radioButtonCircle", {"2", "0.5", "", "", ""}),
             {Frame("80 10 00 0F 00 06 0C 00 01 00 C8 00 32 00 00 00 00 00 00")});
    geometry("trapezoid A = B", "0x0206",
             Geometry("radioButtonRectangle", {"3", "", "1.5", "1.5", "2"}),
             {Frame("80 10 00 0F 00 06 0C 00 02 01 2C 00 00 00 96 00 96 00 C8")});
    geometry("U with E", "0x0206", Geometry("radioButtonU", {"2.5", "0.3", "1", "2", "1.2"}),
             {Frame("80 10 00 0F 00 06 0C 00 03 00 FA 00 1E 00 64 00 C8 00 78")});
    // Combo boxes take the index as input.
    edit("range step 3", "pushButtonSampRate70", "comboBoxSampRate70=2", 23, 3);
    edit("velocity threshold 40000 as typed", "pushButtonThreshold70", "lineEditThreshold70=40000",
         11, 40000);
    edit("velocity filter 20", "pushButtonSpeedFilterTimes", "lineSpeedFilterTimes=20", 13, 20);
    edit("horizontal angle 60", "pushButtonAngleH", "lineEditAngleH=60", 30, 60);
    edit("horizontal angle 0", "pushButtonAngleH", "lineEditAngleH=0", 30, 0);
    edit("sleep 15 min", "pushButtonSleepTime", "lineEditSleepTime=15", 32, 15);
    edit("silt 655.35 m", "pushButtonSilt", "lineEditSilt=655.35", 54, 65535);
    edit("beam upstream", "pushButtonRadarDir", "comboBoxRadarDir=1", 24, 2);
    edit("level threshold 500", "pushButtonThreshold80", "lineEditThreshold80=500", 12, 500);
    edit("level filter 0", "pushButtonDistFilterTimes", "lineDistFilterTimes=0", 14, 0);
    edit("rain mode off", "pushButtonRainMode", "comboBoxRainMode=1", 31, 2);
    edit("lowest water 0.05 m", "pushButtonLowestWater", "lineEditLowestWater=0.05", 44, 5);
    edit("max velocity 10", "pushButtonMaxMeasureSpeed", "lineEditMaxMeasureSpeed=10", 25, 1000);
    edit("low speed off", "pushButtonLowSpeed", "comboBoxLowSpeed=0", 48, 0);
    edit("immunity 65535", "pushButtonStable", "lineEditStable=65535", 47, 65535);
    edit("upper threshold 0.3", "pushButtonBaseLine", "lineEditBaseLine=0.3", 52, 30);
    edit("lower threshold 0.2", "pushButtonBaseLineMin", "lineEditBaseLineMin=0.2", 56, 20);
    edit("damper on", "pushButtonKalman", "comboBoxKalman=1", 58, 1);
    edit("validity off", "pushButtonValid", "comboBoxValid=0", 66, 0);
    edit("correlation on", "pushButtonRelative_2", "comboBoxRelative=1", 63, 1);
    edit("scan volume 405", "pushButtonMeasureTimes", "lineEditMeasureTimes=405", 49, 30);
    edit("scan volume 525", "pushButtonMeasureTimes", "lineEditMeasureTimes=525", 49, 150);
    edit("tolerance 0.3 in single precision", "pushButtonRelative", "lineEditRelative=0.3", 51, 30);
    edit("filter M4", "pushButtonFilterType", "comboBoxFilterType=4", 53, 4);
    edit("quantisation 0.1", "pushButtonFilterFactor", "lineEditFilterFactor=0.1", 57, 10);
    edit("short power-up", "pushButtonPowerMode", "comboBoxPowerMode=1", 59, 1);
    edit("validity threshold 20", "pushButtonValidThreshold", "lineEditValidThreshold=20", 67, 20);
    edit("zeroing 3", "pushButtonZeroCounter", "lineEditZeroCounter=3", 68, 3);
    edit("river type 4", "pushButtonRiverModel", "comboBoxRiverModel=3", 22, 4);
    edit("bank coefficient 0.29", "pushButtonCoefficient", "lineEditCoefficient=0.29", 21, 29);
    edit("vertical angle command", "pushButtonAngleAdjust", "", 29, 1);
    // The address is hexadecimal; the simulator must stay reachable at 0x80.
    // After the change, the hint to reopen at the new address.
    for (const char *typed : {"80", "0x80"})
        QTest::newRow(qPrintable(QString("address ") + typed))
            << QString("0x0206") << QString("pushButtonChangeAddr")
            << QStringList{QString("lineEditNewDevAddr=") + typed}
            << QByteArrayList{WriteFrame(28, 0x80)}
            << QString("设置写入成功，请在地址框中选择新地址 0x80 并重新打开串口");
    // Asked first and answered Yes.
    QTest::newRow("clear discharge")
        << QString("0x0206") << QString("dischargeClear") << QStringList()
        << QByteArrayList{WriteFrame(26, 1)} << QString("设置写入成功");
    QTest::newRow("factory reset")
        << QString("0x0206") << QString("pushButtonFactoryRst2") << QStringList()
        << QByteArrayList{WriteFrame(37, 1)} << QString("恢复出厂，系统正在重启。。。");
}

void tst_Settings::writes()
{
    QFETCH(QString, firmware);
    QFETCH(QString, button);
    QFETCH(QStringList, inputs);
    QFETCH(QByteArrayList, frames);
    QFETCH(QString, status);

    WindowBench *bench = shared(firmware);
    QVERIFY(bench && Enter(*bench, inputs));
    auto *statusBar = bench->find<QStatusBar>("statusBar");
    statusBar->clearMessage();
    bench->boxes.clear();
    bench->boxes.setAnswer(QMessageBox::Yes);
    const int sent = bench->sim.entries().size();

    QVERIFY(bench->click(button));
    QVERIFY(bench->sim.waitForEntries(sent + frames.size()));
    QTRY_COMPARE(statusBar->currentMessage(), status);
    QCOMPARE(SentSince(*bench, sent), frames);
    // Only a command asks first; no write warns.
    for (const MessageBoxRecorder::Box &box : bench->boxes.boxes())
        QVERIFY2(box.title != "警告", qPrintable(box.text));
}

void tst_Settings::refusals_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<QStringList>("inputs");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("text");

    const auto row = [](const char *name, const char *button, const QStringList &inputs,
                        const QString &warning) {
        QTest::newRow(name) << QString(button) << inputs << QString("警告") << warning;
    };
    const auto geometry = [&row](const char *name, const char *shape, const QStringList &dims,
                                 const QString &warning) {
        row(name, "pushButtonWriteParameter", Geometry(shape, dims), warning);
    };
    const QString angleRange = QStringLiteral("水平角度修正无效，修正范围0-60！");
    const QString badAddress = QStringLiteral("设备地址无效，必须在0x01-0xC8之间！");
    row("immunity 70000 does not fit", "pushButtonStable", {"lineEditStable=70000"}, InputWarning);
    row("immunity -1", "pushButtonStable", {"lineEditStable=-1"}, InputWarning);
    row("immunity not a number", "pushButtonStable", {"lineEditStable=ten"}, InputWarning);
    row("zeroing empty", "pushButtonZeroCounter", {"lineEditZeroCounter="}, InputWarning);
    row("negative silt", "pushButtonSilt", {"lineEditSilt=-0.5"}, InputWarning);
    row("lowest water above 655.35", "pushButtonLowestWater", {"lineEditLowestWater=655.36"},
        InputWarning);
    row("tolerance not a number", "pushButtonRelative", {"lineEditRelative=0,3"}, InputWarning);
    row("angle empty", "pushButtonAngleH", {"lineEditAngleH="}, "请输入要修正的水平角度！");
    row("angle 61", "pushButtonAngleH", {"lineEditAngleH=61"}, angleRange);
    row("angle -1", "pushButtonAngleH", {"lineEditAngleH=-1"}, angleRange);
    row("angle 65566 would wrap to 30", "pushButtonAngleH", {"lineEditAngleH=65566"}, angleRange);
    row("sleep empty", "pushButtonSleepTime", {"lineEditSleepTime="}, "请输入休眠时间！");
    row("scan volume 404", "pushButtonMeasureTimes", {"lineEditMeasureTimes=404"}, InputWarning);
    row("scan volume 526", "pushButtonMeasureTimes", {"lineEditMeasureTimes=526"}, InputWarning);
    row("scan volume 65941 would wrap to 405", "pushButtonMeasureTimes",
        {"lineEditMeasureTimes=65941"}, InputWarning);
    row("low speed without selection", "pushButtonLowSpeed", {"comboBoxLowSpeed=-1"}, InputWarning);
    row("river type without selection", "pushButtonRiverModel", {"comboBoxRiverModel=-1"},
        InputWarning);
    row("address empty", "pushButtonChangeAddr", {"lineEditNewDevAddr="},
        "请输入要设置的设备地址，以十进制表示！");
    row("address C9", "pushButtonChangeAddr", {"lineEditNewDevAddr=C9"}, badAddress);
    row("address 0", "pushButtonChangeAddr", {"lineEditNewDevAddr=0"}, badAddress);
    row("address xyz", "pushButtonChangeAddr", {"lineEditNewDevAddr=xyz"}, badAddress);
    row("address 10080 would wrap to 80", "pushButtonChangeAddr", {"lineEditNewDevAddr=10080"},
        badAddress);
    geometry("trapezoid A 2 B 1.5", "radioButtonRectangle", {"3", "", "2", "1.5", "2"},
             WidthWarning);
    geometry("circle, A 3 B 1 left over", "radioButtonCircle", {"3", "0.5", "3", "1", ""},
             WidthWarning);
    geometry("D empty", "radioButtonCircle", {"", "0.5", "", "", ""}, InputWarning);
    geometry("R above 655.35", "radioButtonCircle", {"3", "700", "", "", ""}, InputWarning);
    geometry("trapezoid height empty", "radioButtonRectangle", {"3", "", "1", "2", ""},
             InputWarning);
    // A bad field is reported before the width check would apply.
    geometry("negative E before width", "radioButtonU", {"3", "-1", "2", "1", "1"}, InputWarning);
    // Commands ask first; No sends nothing.
    QTest::newRow("clear discharge, No")
        << QString("dischargeClear") << QStringList() << QString("清空累计流量")
        << QString("确定要清空累计流量吗？");
    QTest::newRow("factory reset, No")
        << QString("pushButtonFactoryRst") << QStringList() << QString("恢复出厂设置")
        << QString("确定要恢复出厂设置吗？");
}

void tst_Settings::refusals()
{
    QFETCH(QString, button);
    QFETCH(QStringList, inputs);
    QFETCH(QString, title);
    QFETCH(QString, text);

    WindowBench *bench = shared();
    QVERIFY(bench && Enter(*bench, inputs));
    QSignalSpy writes(bench->window.get(), &MainWindow::WriteHoldingRegister);
    QSignalSpy blocks(bench->window.get(), &MainWindow::WriteMultHoldingRegisters);
    bench->boxes.clear();
    bench->boxes.setAnswer(QMessageBox::No);
    const int sent = bench->sim.entries().size();

    QVERIFY(bench->click(button));
    QCOMPARE(bench->boxes.boxes().size(), 1);
    QCOMPARE(bench->boxes.boxes().at(0).title, title);
    QCOMPARE(bench->boxes.lastText(), text);
    QCOMPARE(writes.count() + blocks.count(), 0);
    QTest::qWait(100);
    QCOMPARE(bench->sim.entries().size(), sent);
}

void tst_Settings::factoryResetDuringRun()
{
    WindowBench *bench = shared();
    QVERIFY(bench && Enter(*bench, {"lineEditAutoRunIntvel=1", "pushButtonAutoRun70"}));
    bench->boxes.clear();
    bench->boxes.setAnswer(QMessageBox::Yes);
    const int sent = bench->sim.entries().size();

    // Both buttons warn; no question is asked, so Yes cannot reach the instrument.
    QVERIFY(bench->click("pushButtonFactoryRst"));
    QVERIFY(bench->click("pushButtonFactoryRst2"));
    bench->boxes.setAnswer(QMessageBox::Ok);
    QTest::qWait(300);
    QVERIFY(bench->click("pushButtonAutoRun70"));
    QCOMPARE(bench->boxes.boxes().size(), 2);
    for (const MessageBoxRecorder::Box &box : bench->boxes.boxes()) {
        QCOMPARE(box.title, QString("警告"));
        QCOMPARE(box.text, QString("恢复出厂设置后仪器会自动重启，请先结束测量！"));
    }
    QVERIFY(!SentSince(*bench, sent).contains(WriteFrame(37, 1)));
}

void tst_Settings::portGuardComesFirst()
{
    WindowBench *bench = shared();
    QVERIFY(bench);
    // Closing keeps the settings tab open. Every button must now refuse before
    // looking at its input; only the geometry checks its fields first.
    QVERIFY(bench->click("pushButtonUartConnect"));
    QVERIFY(Enter(*bench, Geometry("radioButtonCircle", {"3", "0.5", "3", "1", ""})
                              << "lineEditAngleH="
                              << "lineEditNewDevAddr="));
    bench->boxes.setAnswer(QMessageBox::Yes);
    bench->boxes.clear();
    QVERIFY(bench->click("pushButtonWriteParameter"));
    QCOMPARE(bench->boxes.lastText(), WidthWarning);
    QVERIFY(Enter(*bench, {"lineEditTopLen=3"}));

    // Every button of the settings page but the drawing, and the commands
    // of the main page.
    QStringList buttons{"dischargeClear", "pushButtonAngleAdjust", "pushButtonChangeAddr",
                        "pushButtonReadAll", "pushButtonFactoryRst"};
    for (const QPushButton *button : bench->find<QWidget>("tab_3")->findChildren<QPushButton *>())
        buttons << button->objectName();
    buttons.removeOne("pushButtonSinkShape");
    for (const QString &button : buttons) {
        bench->boxes.clear();
        QVERIFY2(bench->click(button), qPrintable(button));
        QCOMPARE(bench->boxes.boxes().size(), 1);
        QCOMPARE(bench->boxes.boxes().at(0).title, QString("警告"));
        QVERIFY2(bench->boxes.lastText() == PortWarning, qPrintable(button));
    }
}

QTEST_MAIN(tst_Settings)
#include "tst_settings.moc"
