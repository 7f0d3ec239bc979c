// The device settings against the simulated instrument, one open window per
// firmware: the read-back, every editor with the first refused value beside
// the last accepted one, the commands and the port guard.
#include "windowbench.h"
#include "wire.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTextDocumentFragment>
#include <QtTest>

namespace {

const QString PortWarning = QStringLiteral("串口无连接，请先打开串口！");
const QString InputWarning = QStringLiteral("输入参数有误，请输入正确参数！");
const QString WidthWarning = QStringLiteral("参数输入有误，顶边长不能小于底边长");
const QString AngleWarning = QStringLiteral("水平角度修正无效，修正范围0-60！");
const QString AddrWarning = QStringLiteral("设备地址无效，必须在0x01-0xC8之间！");

QByteArray Frame(const QString &hex)
{
    return Wire::withCrc(Wire::hex(qPrintable(hex)));
}

// The shape to click, then "D R A B C" (R is E for the U shape).
QStringList Geometry(const char *shape, const QString &dims)
{
    const QStringList fields{"lineEditDevToButtomLen", "lineEditRadius", "lineEditButtomLen",
                             "lineEditTopLen", "lineEditHeight"};
    QStringList inputs{shape};
    for (int i = 0; i < fields.size(); ++i)
        inputs << fields.at(i) + '=' + QString(dims.split(' ').value(i)).remove('_');
    return inputs;
}

} // namespace

class tst_Settings : public QObject
{
    Q_OBJECT

private slots:
    void readBack_data();
    void readBack();
    void writes_data();
    void writes();
    void refusals_data();
    void refusals();
    void factoryResetDuringRun();
    void portGuardComesFirst(); // last: it closes the port
    void cleanupTestCase() { bench.reset(); }

private:
    WindowBench *Shared(const QString &firmware = "0x0206");
    // Each input is "field=text" (a combo box takes its index) or a button.
    bool Enter(const QStringList &inputs);
    QString Shown(const QString &name) const;

    std::unique_ptr<WindowBench> bench;
    QString firmware;
};

WindowBench *tst_Settings::Shared(const QString &wanted)
{
    if (bench && firmware == wanted && bench->isPortOpen())
        return bench.get();
    bench.reset();
    // D is 3 m in register 16 and 100 m in 75-76; the combo boxes get items
    // other than their first, and 7 in register 23 is no item at all.
    bench = std::make_unique<WindowBench>(
        QStringList{"--firmware", wanted},
        QStringList{"holding 75 1", "holding 76 34464", "holding 22 3", "holding 24 3",
                    "holding 23 7", "holding 48 5", "holding 53 2", "holding 59 1", "holding 66 0",
                    "holding 15 3"});
    firmware = wanted;
    // The simulator answers in one burst: a short quiet time closes its frames.
    bench->window->SetLineTiming(3000, 20);
    const int frames = wanted == "0x0205" ? 10 : wanted == "0x0206" ? 12 : 22;
    if (!bench->isReady() || !bench->openPort() || !bench->settle(frames))
        return nullptr;
    return bench.get();
}

bool tst_Settings::Enter(const QStringList &inputs)
{
    for (const QString &input : inputs) {
        const QString name = input.section('=', 0, 0);
        if (auto *box = bench->find<QComboBox>(name))
            box->setCurrentIndex(input.section('=', 1).toInt());
        else if (auto *edit = bench->find<QLineEdit>(name))
            edit->setText(input.section('=', 1));
        else if (!bench->click(name))
            return false;
    }
    return true;
}

QString tst_Settings::Shown(const QString &name) const
{
    if (auto *box = bench->find<QComboBox>(name))
        return box->currentText();
    if (auto *label = bench->find<QLabel>(name))
        return QTextDocumentFragment::fromHtml(label->text()).toPlainText();
    return bench->find<QLineEdit>(name)->text();
}

void tst_Settings::readBack_data()
{
    QTest::addColumn<QString>("firmware");
    QTest::addColumn<QString>("lastBlock"); // start/count of the last read
    QTest::addColumn<QStringList>("shown");
    const QStringList advanced{"lineEditStable=50", "lineEditMeasureTimes=450",
                               "lineEditRelative=0.50", "comboBoxLowSpeed=5档"};
    // Registers above 51 are read only where the firmware asks for all 101.
    const QStringList above51{"comboBoxFilterType=M2", "comboBoxPowerMode=短上电",
                              "comboBoxValid=关闭", "lineEditZeroCounter=3"};
    QTest::newRow("V2.5: 45 registers, advanced left")
        << "0x0205"
        << "41/5"
        << QStringList{"labelDevVersion=设备软件版本：V2.5", "lineEditDevToButtomLen=3",
                       "lineEditStable=10", "lineEditMeasureTimes=405", "lineEditRelative=0.3"};
    QTest::newRow("V2.6: 51 registers")
        << "0x0206"
        << "51/1"
        << QStringList{"labelDevVersion=设备软件版本：V2.6", "lineEditDevToButtomLen=3"} + advanced;
    QTest::newRow("V4.26: 101 registers, D in mm")
        << "0x041A"
        << "101/1"
        << QStringList{"labelDevVersion=设备软件版本：V4.26", "lineEditDevToButtomLen=100"} +
               advanced + above51;
}

void tst_Settings::readBack()
{
    QFETCH(QString, firmware);
    QFETCH(QString, lastBlock);
    QFETCH(QStringList, shown);
    QVERIFY(Shared(firmware));
    const QJsonObject last = bench->requests(0x03).last().value("request").toObject();
    QCOMPARE(
        QStringLiteral("%1/%2").arg(last.value("start").toInt()).arg(last.value("count").toInt()),
        lastBlock);
    // The U shape comes from register 15, the river type from 22.
    shown += QStringList{"lineEditThreshold70=30",    "lineEditCoefficient=0.85",
                         "comboBoxRiverModel=特一型", "comboBoxRadarDir=自动",
                         "comboBoxSampRate70=",       "label_radius=扇形高度E(m)"};
    for (const QString &expected : shown)
        QCOMPARE(expected.section('=', 0, 0) + '=' + Shown(expected.section('=', 0, 0)), expected);
    QVERIFY(bench->boxes.boxes().isEmpty());
}

void tst_Settings::writes_data()
{
    QTest::addColumn<QString>("firmware");
    QTest::addColumn<QStringList>("inputs"); // the button last
    QTest::addColumn<QByteArrayList>("frames");
    QTest::addColumn<QString>("status");
    const auto edit = [](const char *name, const QString &input, const char *button, int reg,
                         int value) {
        QTest::newRow(name)
            << QString("0x0206")
            << (input.isEmpty() ? QStringList() : QStringList{input}) + QStringList{button}
            << QByteArrayList{Frame(QString::asprintf("80 06 %04X %04X", reg, value))}
            << QString("设置写入成功");
    };
    const auto geometry = [](const char *name, const char *firmware, const QStringList &inputs,
                             const QByteArrayList &frames) {
        QTest::newRow(name) << QString(firmware) << inputs + QStringList{"pushButtonWriteParameter"}
                            << frames << QString("参数设置成功");
    };
    // The window shared with the last read-back comes first.
    geometry("V4.26: D 70 also in mm, high word first", "0x041A",
             Geometry("radioButtonCircle", "70 1 _ _ _"),
             {Frame("80 10 00 0F 00 06 0C 00 01 1B 58 00 64 00 00 00 00 00 00"),
              Frame("80 10 00 4B 00 02 04 00 01 11 70")});
    geometry("circle R 0.5 D 2", "0x0206", Geometry("radioButtonCircle", "2 0.5 _ _ _"),
             {Frame("80 10 00 0F 00 06 0C 00 01 00 C8 00 32 00 00 00 00 00 00")});
    geometry("trapezoid A = B", "0x0206", Geometry("radioButtonRectangle", "3 _ 1.5 1.5 2"),
             {Frame("80 10 00 0F 00 06 0C 00 02 01 2C 00 00 00 96 00 96 00 C8")});
    geometry("U with E", "0x0206", Geometry("radioButtonU", "2.5 0.3 1 2 1.2"),
             {Frame("80 10 00 0F 00 06 0C 00 03 00 FA 00 1E 00 64 00 C8 00 78")});
    edit("range step 3", "comboBoxSampRate70=2", "pushButtonSampRate70", 23, 3);
    edit("velocity threshold 40000", "lineEditThreshold70=40000", "pushButtonThreshold70", 11,
         40000);
    edit("velocity filter 20", "lineSpeedFilterTimes=20", "pushButtonSpeedFilterTimes", 13, 20);
    edit("horizontal angle 60", "lineEditAngleH=60", "pushButtonAngleH", 30, 60);
    edit("horizontal angle 0", "lineEditAngleH=0", "pushButtonAngleH", 30, 0);
    edit("sleep 15 min", "lineEditSleepTime=15", "pushButtonSleepTime", 32, 15);
    edit("silt 655.35 m", "lineEditSilt=655.35", "pushButtonSilt", 54, 65535);
    edit("beam upstream", "comboBoxRadarDir=1", "pushButtonRadarDir", 24, 2);
    edit("level threshold 500", "lineEditThreshold80=500", "pushButtonThreshold80", 12, 500);
    edit("level filter 0", "lineDistFilterTimes=0", "pushButtonDistFilterTimes", 14, 0);
    edit("rain mode off", "comboBoxRainMode=1", "pushButtonRainMode", 31, 2);
    edit("lowest water 0.05 m", "lineEditLowestWater=0.05", "pushButtonLowestWater", 44, 5);
    edit("max velocity 10", "lineEditMaxMeasureSpeed=10", "pushButtonMaxMeasureSpeed", 25, 1000);
    edit("low speed off", "comboBoxLowSpeed=0", "pushButtonLowSpeed", 48, 0);
    edit("immunity 65535", "lineEditStable=65535", "pushButtonStable", 47, 65535);
    edit("upper threshold 0.3", "lineEditBaseLine=0.3", "pushButtonBaseLine", 52, 30);
    edit("lower threshold 0.2", "lineEditBaseLineMin=0.2", "pushButtonBaseLineMin", 56, 20);
    edit("damper on", "comboBoxKalman=1", "pushButtonKalman", 58, 1);
    edit("validity off", "comboBoxValid=0", "pushButtonValid", 66, 0);
    edit("correlation on", "comboBoxRelative=1", "pushButtonRelative_2", 63, 1);
    edit("scan volume 405", "lineEditMeasureTimes=405", "pushButtonMeasureTimes", 49, 30);
    edit("scan volume 525", "lineEditMeasureTimes=525", "pushButtonMeasureTimes", 49, 150);
    edit("tolerance 0.3 in single precision", "lineEditRelative=0.3", "pushButtonRelative", 51, 30);
    edit("filter M4", "comboBoxFilterType=4", "pushButtonFilterType", 53, 4);
    edit("quantisation 0.1", "lineEditFilterFactor=0.1", "pushButtonFilterFactor", 57, 10);
    edit("short power-up", "comboBoxPowerMode=1", "pushButtonPowerMode", 59, 1);
    edit("validity threshold 20", "lineEditValidThreshold=20", "pushButtonValidThreshold", 67, 20);
    edit("zeroing 3", "lineEditZeroCounter=3", "pushButtonZeroCounter", 68, 3);
    edit("river type 4", "comboBoxRiverModel=3", "pushButtonRiverModel", 22, 4);
    edit("bank coefficient 0.29", "lineEditCoefficient=0.29", "pushButtonCoefficient", 21, 29);
    edit("vertical angle command", "", "pushButtonAngleAdjust", 29, 1);
    // The address is hexadecimal; the simulator must stay reachable at 0x80.
    edit("address 80", "lineEditNewDevAddr=80", "pushButtonChangeAddr", 28, 0x80);
    edit("address 0x80", "lineEditNewDevAddr=0x80", "pushButtonChangeAddr", 28, 0x80);
    // Asked first and answered Yes.
    edit("clear discharge", "", "dischargeClear", 26, 1);
    QTest::newRow("factory reset")
        << QString("0x0206") << QStringList{"pushButtonFactoryRst2"}
        << QByteArrayList{Frame("80 06 00 25 00 01")} << QString("恢复出厂，系统正在重启。。。");
}

void tst_Settings::writes()
{
    QFETCH(QString, firmware);
    QFETCH(QStringList, inputs);
    QFETCH(QByteArrayList, frames);
    QFETCH(QString, status);
    QVERIFY(Shared(firmware));
    auto *statusBar = bench->find<QStatusBar>("statusBar");
    statusBar->clearMessage();
    bench->boxes.clear();
    bench->boxes.setAnswer(QMessageBox::Yes);
    const int sent = bench->sim.entries().size();

    QVERIFY(Enter(inputs));
    QVERIFY(bench->sim.waitForEntries(sent + frames.size()));
    QTRY_COMPARE(statusBar->currentMessage(), status);
    QByteArrayList written;
    for (const QJsonObject &entry : bench->sim.entries().mid(sent))
        written << SimProcess::requestBytes(entry);
    QCOMPARE(written, frames);
    for (const MessageBoxRecorder::Box &box : bench->boxes.boxes())
        QVERIFY2(box.title != "警告", qPrintable(box.text));
}

void tst_Settings::refusals_data()
{
    QTest::addColumn<QStringList>("inputs"); // the button last
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("text");
    const auto row = [](const char *name, const QString &input, const char *button,
                        const QString &warning) {
        QTest::newRow(name) << QStringList{input, button} << QString("警告") << warning;
    };
    const auto geometry = [](const char *name, const char *shape, const char *dims,
                             const QString &warning) {
        QTest::newRow(name) << Geometry(shape, dims) + QStringList{"pushButtonWriteParameter"}
                            << QString("警告") << warning;
    };
    row("immunity 65536", "lineEditStable=65536", "pushButtonStable", InputWarning);
    row("immunity -1", "lineEditStable=-1", "pushButtonStable", InputWarning);
    row("immunity not a number", "lineEditStable=ten", "pushButtonStable", InputWarning);
    row("zeroing empty", "lineEditZeroCounter=", "pushButtonZeroCounter", InputWarning);
    row("negative silt", "lineEditSilt=-0.5", "pushButtonSilt", InputWarning);
    row("silt 655.36", "lineEditSilt=655.36", "pushButtonSilt", InputWarning);
    row("lowest water 655.36", "lineEditLowestWater=655.36", "pushButtonLowestWater", InputWarning);
    row("tolerance with a comma", "lineEditRelative=0,3", "pushButtonRelative", InputWarning);
    row("angle empty", "lineEditAngleH=", "pushButtonAngleH", "请输入要修正的水平角度！");
    row("angle 61", "lineEditAngleH=61", "pushButtonAngleH", AngleWarning);
    row("angle -1", "lineEditAngleH=-1", "pushButtonAngleH", AngleWarning);
    row("angle 65566 would wrap to 30", "lineEditAngleH=65566", "pushButtonAngleH", AngleWarning);
    row("sleep empty", "lineEditSleepTime=", "pushButtonSleepTime", "请输入休眠时间！");
    row("scan volume 404", "lineEditMeasureTimes=404", "pushButtonMeasureTimes", InputWarning);
    row("scan volume 526", "lineEditMeasureTimes=526", "pushButtonMeasureTimes", InputWarning);
    row("scan volume 65941 would wrap to 405", "lineEditMeasureTimes=65941",
        "pushButtonMeasureTimes", InputWarning);
    row("low speed unselected", "comboBoxLowSpeed=-1", "pushButtonLowSpeed", InputWarning);
    row("river type unselected", "comboBoxRiverModel=-1", "pushButtonRiverModel", InputWarning);
    row("address empty", "lineEditNewDevAddr=", "pushButtonChangeAddr",
        "请输入要设置的设备地址，以十进制表示！");
    row("address C9", "lineEditNewDevAddr=C9", "pushButtonChangeAddr", AddrWarning);
    row("address 0", "lineEditNewDevAddr=0", "pushButtonChangeAddr", AddrWarning);
    row("address xyz", "lineEditNewDevAddr=xyz", "pushButtonChangeAddr", AddrWarning);
    row("address 10080 would wrap to 80", "lineEditNewDevAddr=10080", "pushButtonChangeAddr",
        AddrWarning);
    geometry("trapezoid A 2 over B 1.99", "radioButtonRectangle", "3 _ 2 1.99 2", WidthWarning);
    geometry("circle, A 3 B 1 left over", "radioButtonCircle", "3 0.5 3 1 _", WidthWarning);
    geometry("D empty", "radioButtonCircle", "_ 0.5 _ _ _", InputWarning);
    geometry("R 655.36", "radioButtonCircle", "3 655.36 _ _ _", InputWarning);
    geometry("trapezoid height empty", "radioButtonRectangle", "3 _ 1 2 _", InputWarning);
    geometry("negative E before width", "radioButtonU", "3 -1 2 1 1", InputWarning);
    // Commands ask first; No sends nothing.
    QTest::newRow("clear discharge, No") << QStringList{"dischargeClear"} << QString("清空累计流量")
                                         << QString("确定要清空累计流量吗？");
    QTest::newRow("factory reset, No")
        << QStringList{"pushButtonFactoryRst"} << QString("恢复出厂设置")
        << QString("确定要恢复出厂设置吗？");
}

void tst_Settings::refusals()
{
    QFETCH(QStringList, inputs);
    QFETCH(QString, title);
    QFETCH(QString, text);
    QVERIFY(Shared());
    bench->boxes.clear();
    bench->boxes.setAnswer(QMessageBox::No);
    QSignalSpy writes(bench->window.get(), &MainWindow::WriteHoldingRegister);
    QSignalSpy blocks(bench->window.get(), &MainWindow::WriteMultHoldingRegisters);
    QVERIFY(Enter(inputs));
    QCOMPARE(bench->boxes.boxes().size(), 1);
    QCOMPARE(bench->boxes.boxes().at(0).title, title);
    QCOMPARE(bench->boxes.lastText(), text);
    QCOMPARE(writes.count() + blocks.count(), 0);
}

void tst_Settings::factoryResetDuringRun()
{
    QVERIFY(Shared() && Enter({"lineEditAutoRunIntvel=1", "pushButtonAutoRun70"}));
    bench->boxes.clear();
    bench->boxes.setAnswer(QMessageBox::Yes);
    const int sent = bench->sim.entries().size();
    // Both buttons warn; no question is asked, so Yes cannot reach the instrument.
    QVERIFY(Enter({"pushButtonFactoryRst", "pushButtonFactoryRst2"}));
    QTest::qWait(300);
    QVERIFY(bench->click("pushButtonAutoRun70"));
    QCOMPARE(bench->boxes.boxes().size(), 2);
    for (const MessageBoxRecorder::Box &box : bench->boxes.boxes())
        QCOMPARE(box.text, QString("恢复出厂设置后仪器会自动重启，请先结束测量！"));
    for (const QJsonObject &entry : bench->sim.entries().mid(sent))
        QVERIFY(SimProcess::requestBytes(entry) != Frame("80 06 00 25 00 01"));
}

void tst_Settings::portGuardComesFirst()
{
    // Closing keeps the settings tab open. Every button must now refuse before
    // looking at its input; only the geometry checks its fields first.
    QVERIFY(Shared() && bench->click("pushButtonUartConnect"));
    bench->boxes.setAnswer(QMessageBox::Yes);
    bench->boxes.clear();
    QVERIFY(
        Enter(Geometry("radioButtonCircle", "3 0.5 3 1 _") +
              QStringList{"lineEditAngleH=", "lineEditNewDevAddr=", "pushButtonWriteParameter"}));
    QCOMPARE(bench->boxes.lastText(), WidthWarning);
    QVERIFY(Enter({"lineEditTopLen=3"}));
    QStringList buttons{"dischargeClear", "pushButtonAngleAdjust", "pushButtonChangeAddr",
                        "pushButtonReadAll", "pushButtonFactoryRst"};
    for (const QPushButton *button : bench->find<QWidget>("tab_3")->findChildren<QPushButton *>())
        buttons << button->objectName();
    buttons.removeOne("pushButtonSinkShape");
    for (const QString &button : buttons) {
        bench->boxes.clear();
        QVERIFY2(bench->click(button), qPrintable(button));
        QCOMPARE(bench->boxes.boxes().size(), 1);
        QVERIFY2(bench->boxes.lastText() == PortWarning, qPrintable(button));
    }
}

QTEST_MAIN(tst_Settings)
#include "tst_settings.moc"
