// The device settings against the simulated instrument, one open window that
// meets one firmware after the other: the read-back, every editor with the
// first refused value beside the last accepted one, the commands and the port
// guard.
#include "windowbench.h"
#include "wire.h"

#include <QtTest>
#include <QtWidgets>

// Short names of the channel geometry's fields, buttons and shapes.
const QString Aliases =
    R"(D=lineEditDevToButtomLen R=lineEditRadius A=lineEditButtomLen B=lineEditTopLen C=lineEditHeight write=pushButtonWriteParameter circle=radioButtonCircle trapezoid=radioButtonRectangle U=radioButtonU)";

class tst_Settings : public QObject
{
    Q_OBJECT

    std::unique_ptr<WindowBench> bench;
    QString firmware;

    // An open window on an instrument of the firmware, kept while the next
    // case wants the same. Another firmware is another instrument on the same
    // line: the window stays and reopens the port.
    WindowBench *Shared(const QString &wanted = "0x0206")
    {
        if (bench && firmware == wanted && bench->isPortOpen())
            return bench.get();
        bool isSetUp = true;
        if (!bench) {
            // D is 3 m in register 16 and 100 m in 75-76; the combo boxes get
            // items other than their first, and 7 in register 23 is no item.
            bench = std::make_unique<WindowBench>(QStringList{"--firmware", wanted});
            isSetUp = bench->sim.isReady();
            for (const char *command :
                 {"holding 75 1", "holding 76 34464", "holding 22 3", "holding 24 3",
                  "holding 23 7", "holding 48 5", "holding 53 2", "holding 59 1", "holding 66 0",
                  "holding 15 3"})
                isSetUp = isSetUp && bench->sim.command(command);
            // The simulator answers in one burst: a short quiet time closes its frames.
            bench->window->SetLineTiming(3000, 20);
        } else if (bench->isPortOpen()) {
            isSetUp = bench->click("pushButtonUartConnect");
        }
        firmware = wanted;
        const int sent = bench->sim.entries().size();
        const int frames = wanted == "0x0205" ? 10 : wanted == "0x0206" ? 12 : 22;
        return isSetUp && bench->sim.command("holding 36 " + wanted) && bench->openPort() &&
                       bench->settle(sent + frames)
                   ? bench.get()
                   : nullptr;
    }
    // The inputs with the geometry's short names spelled out.
    bool Enter(QString inputs)
    {
        for (const QString &alias : Aliases.split(' '))
            inputs.replace(QRegularExpression("(^| )" + alias.section('=', 0, 0) + "(?=[= ]|$)"),
                           "\\1" + alias.section('=', 1));
        return bench->enter(inputs);
    }

private slots:
    void cleanupTestCase() { bench.reset(); }

    void readBack()
    {
        // One window, one instrument after the other on its line: the last
        // block read (start/count), then what the form shows. The U shape
        // comes from register 15, the river type from 22; registers above 51
        // are read only where the firmware asks for all 101, even after an
        // instrument that asked for fewer.
        const QString rows = R"(
0x0205 | 41/5  | labelDevVersion=设备软件版本：V2.5 lineEditDevToButtomLen=3 lineEditStable=10 lineEditMeasureTimes=405 lineEditRelative=0.3
0x0206 | 51/1  | labelDevVersion=设备软件版本：V2.6 lineEditDevToButtomLen=3 lineEditStable=50 lineEditMeasureTimes=450 lineEditRelative=0.50 comboBoxLowSpeed=5档
0x041A | 101/1 | labelDevVersion=设备软件版本：V4.26 lineEditDevToButtomLen=100 lineEditStable=50 comboBoxLowSpeed=5档 comboBoxFilterType=M2 comboBoxPowerMode=短上电 comboBoxValid=关闭 lineEditZeroCounter=3
)";
        const QString all =
            " lineEditThreshold70=30 lineEditCoefficient=0.85 comboBoxRiverModel=特一型 "
            "comboBoxRadarDir=自动 comboBoxSampRate70= label_radius=扇形高度E(m)";
        for (const QString &row : rows.split('\n', Qt::SkipEmptyParts)) {
            const QStringList cell = row.split(QRegularExpression(" *\\| *"));
            QVERIFY(Shared(cell[0]));
            const QJsonObject last = bench->requests(0x03).last().value("request").toObject();
            QStringList shown{
                QString("%1/%2").arg(last.value("start").toInt()).arg(last.value("count").toInt())};
            for (const QString &expected : (cell[2] + all).split(' '))
                shown << expected.section('=', 0, 0) + '=' +
                             bench->shown(expected.section('=', 0, 0));
            QCOMPARE(shown.join(' '), cell[1] + ' ' + cell[2] + all);
            QVERIFY(bench->boxes.boxes().isEmpty());
        }
    }

    void editors_data()
    {
        // What the operator enters and clicks, then the frames that go out
        // (";" between them), or "!" and the warning that refuses, or "?" and
        // the question answered No. The first row shares the last read-back's window.
        QTest::addColumn<QString>("firmware");
        QTest::addColumn<QString>("inputs");
        QTest::addColumn<QString>("expected");
        const QString rows = R"(
V4.26: D 70 also in mm, high word first| circle D=70 R=1 A= B= C= write        | 80 10 00 0F 00 06 0C 00 01 1B 58 00 64 00 00 00 00 00 00; 80 10 00 4B 00 02 04 00 01 11 70
circle R 0.5 D 2                       | circle D=2 R=0.5 A= B= C= write         | 80 10 00 0F 00 06 0C 00 01 00 C8 00 32 00 00 00 00 00 00
trapezoid A = B                        | trapezoid D=3 R= A=1.5 B=1.5 C=2 write  | 80 10 00 0F 00 06 0C 00 02 01 2C 00 00 00 96 00 96 00 C8
trapezoid A 2 over B 1.99              | trapezoid D=3 R= A=2 B=1.99 C=2 write   | !参数输入有误，顶边长不能小于底边长
U with E                               | U D=2.5 R=0.3 A=1 B=2 C=1.2 write       | 80 10 00 0F 00 06 0C 00 03 00 FA 00 1E 00 64 00 C8 00 78
R 1e2                                  | circle D=3 R=1e2 A= B= C= write         | !输入参数有误，请输入正确参数！
R 655.36                               | circle D=3 R=655.36 A= B= C= write      | !输入参数有误，请输入正确参数！
negative E before width                | U D=3 R=-1 A=2 B=1 C=1 write            | !输入参数有误，请输入正确参数！
range step 3                           | comboBoxSampRate70=2 pushButtonSampRate70 | 80 06 00 17 00 03
velocity threshold 0                   | lineEditThreshold70=0 pushButtonThreshold70 | !输入参数有误，请输入正确参数！
velocity threshold 1                   | lineEditThreshold70=1 pushButtonThreshold70 | 80 06 00 0B 00 01
velocity threshold 65535               | lineEditThreshold70=65535 pushButtonThreshold70 | 80 06 00 0B FF FF
velocity threshold 65536               | lineEditThreshold70=65536 pushButtonThreshold70 | !输入参数有误，请输入正确参数！
velocity filter 20                     | lineSpeedFilterTimes=20 pushButtonSpeedFilterTimes | 80 06 00 0D 00 14
velocity filter 0x10                   | lineSpeedFilterTimes=0x10 pushButtonSpeedFilterTimes | !输入参数有误，请输入正确参数！
horizontal angle 60                    | lineEditAngleH=60 pushButtonAngleH      | 80 06 00 1E 00 3C
horizontal angle 61                    | lineEditAngleH=61 pushButtonAngleH      | !水平角度修正无效，修正范围0-60！
horizontal angle 0                     | lineEditAngleH=0 pushButtonAngleH       | 80 06 00 1E 00 00
horizontal angle -1                    | lineEditAngleH=-1 pushButtonAngleH      | !水平角度修正无效，修正范围0-60！
angle 65566 would wrap to 30           | lineEditAngleH=65566 pushButtonAngleH   | !水平角度修正无效，修正范围0-60！
silt 655.35 m                          | lineEditSilt=655.35 pushButtonSilt      | 80 06 00 36 FF FF
silt 655.36 m                          | lineEditSilt=655.36 pushButtonSilt      | !输入参数有误，请输入正确参数！
beam upstream                          | comboBoxRadarDir=1 pushButtonRadarDir   | 80 06 00 18 00 02
level threshold 500                    | lineEditThreshold80=500 pushButtonThreshold80 | 80 06 00 0C 01 F4
level filter 0                         | lineDistFilterTimes=0 pushButtonDistFilterTimes | 80 06 00 0E 00 00
rain mode off                          | comboBoxRainMode=1 pushButtonRainMode   | 80 06 00 1F 00 02
lowest water 0.05 m                    | lineEditLowestWater=0.05 pushButtonLowestWater | 80 06 00 2C 00 05
lowest water 655.36 m                  | lineEditLowestWater=655.36 pushButtonLowestWater | !输入参数有误，请输入正确参数！
max velocity 10                        | lineEditMaxMeasureSpeed=10 pushButtonMaxMeasureSpeed | 80 06 00 19 03 E8
low speed off                          | comboBoxLowSpeed=0 pushButtonLowSpeed   | 80 06 00 30 00 00
low speed unselected                   | comboBoxLowSpeed=-1 pushButtonLowSpeed  | !输入参数有误，请输入正确参数！
immunity 65535                         | lineEditStable=65535 pushButtonStable   | 80 06 00 2F FF FF
immunity 65536                         | lineEditStable=65536 pushButtonStable   | !输入参数有误，请输入正确参数！
immunity -1                            | lineEditStable=-1 pushButtonStable      | !输入参数有误，请输入正确参数！
upper threshold 0.3                    | lineEditBaseLine=0.3 pushButtonBaseLine | 80 06 00 34 00 1E
lower threshold 0.2                    | lineEditBaseLineMin=0.2 pushButtonBaseLineMin | 80 06 00 38 00 14
damper on                              | comboBoxKalman=1 pushButtonKalman       | 80 06 00 3A 00 01
validity off                           | comboBoxValid=0 pushButtonValid         | 80 06 00 42 00 00
correlation on                         | comboBoxRelative=1 pushButtonRelative_2 | 80 06 00 3F 00 01
scan volume 405                        | lineEditMeasureTimes=405 pushButtonMeasureTimes | 80 06 00 31 00 1E
scan volume 404                        | lineEditMeasureTimes=404 pushButtonMeasureTimes | !输入参数有误，请输入正确参数！
scan volume 525                        | lineEditMeasureTimes=525 pushButtonMeasureTimes | 80 06 00 31 00 96
scan volume 526                        | lineEditMeasureTimes=526 pushButtonMeasureTimes | !输入参数有误，请输入正确参数！
scan volume 65941 would wrap to 405    | lineEditMeasureTimes=65941 pushButtonMeasureTimes | !输入参数有误，请输入正确参数！
tolerance 0.3 in single precision      | lineEditRelative=0.3 pushButtonRelative | 80 06 00 33 00 1E
filter M4                              | comboBoxFilterType=4 pushButtonFilterType | 80 06 00 35 00 04
quantisation 0.1                       | lineEditFilterFactor=0.1 pushButtonFilterFactor | 80 06 00 39 00 0A
short power-up                         | comboBoxPowerMode=1 pushButtonPowerMode | 80 06 00 3B 00 01
validity threshold 20                  | lineEditValidThreshold=20 pushButtonValidThreshold | 80 06 00 43 00 14
zeroing 3                              | lineEditZeroCounter=3 pushButtonZeroCounter | 80 06 00 44 00 03
river type 4                           | comboBoxRiverModel=3 pushButtonRiverModel | 80 06 00 16 00 04
bank coefficient 0.29                  | lineEditCoefficient=0.29 pushButtonCoefficient | 80 06 00 15 00 1D
vertical angle command                 | pushButtonAngleAdjust                   | 80 06 00 1D 00 01
address 80, read as hexadecimal        | lineEditNewDevAddr=80 pushButtonChangeAddr | 80 06 00 1C 00 80
address 0x80                           | lineEditNewDevAddr=0x80 pushButtonChangeAddr | 80 06 00 1C 00 80
address C9                             | lineEditNewDevAddr=C9 pushButtonChangeAddr | !设备地址无效，必须在0x01-0xC8之间！
address 0                              | lineEditNewDevAddr=0 pushButtonChangeAddr | !设备地址无效，必须在0x01-0xC8之间！
address 10080 would wrap to 80         | lineEditNewDevAddr=10080 pushButtonChangeAddr | !设备地址无效，必须在0x01-0xC8之间！
clear discharge, Yes                   | dischargeClear                          | 80 06 00 1A 00 01
clear discharge, No                    | dischargeClear                          | ?清空累计流量|确定要清空累计流量吗？
factory reset, Yes                     | pushButtonFactoryRst2                   | 80 06 00 25 00 01
factory reset, No                      | pushButtonFactoryRst                    | ?恢复出厂设置|确定要恢复出厂设置吗？
factory reset during a run, no question| lineEditAutoRunIntvel=1 pushButtonAutoRun70 pushButtonFactoryRst2 pushButtonAutoRun70 | !恢复出厂设置后仪器会自动重启，请先结束测量！
)";
        for (const QString &row : rows.split('\n', Qt::SkipEmptyParts)) {
            const QStringList cells = row.split(QRegularExpression(" *\\| *"));
            QTest::newRow(qPrintable(cells[0].trimmed()))
                << (cells[0].startsWith("V4.26") ? "0x041A" : "0x0206") << cells[1]
                << cells.mid(2).join('|');
        }
    }
    void editors()
    {
        QFETCH(QString, firmware);
        QFETCH(QString, inputs);
        QFETCH(QString, expected);
        QVERIFY(Shared(firmware));
        bench->find<QStatusBar>("statusBar")->clearMessage();
        bench->boxes.clear();
        bench->boxes.setAnswer(expected.startsWith('?') ? QMessageBox::No : QMessageBox::Yes);
        QSignalSpy writes(bench->window.get(), &MainWindow::WriteHoldingRegister);
        QSignalSpy blocks(bench->window.get(), &MainWindow::WriteMultHoldingRegisters);
        const int sent = bench->sim.entries().size();
        QVERIFY(Enter(inputs));
        if (expected.startsWith('!') || expected.startsWith('?')) {
            const QString title = expected.startsWith('!') ? "警告|" : QString();
            QCOMPARE(bench->boxes.boxes().size(), 1);
            QCOMPARE(bench->boxes.boxes().at(0).title + '|' + bench->boxes.lastText(),
                     title + expected.mid(1));
            QCOMPARE(writes.count() + blocks.count(), 0);
            return;
        }
        const QStringList frames = expected.split(';');
        QVERIFY(bench->sim.waitForEntries(sent + frames.size()));
        // After an address change, the hint to reopen at the new address.
        const QString status = inputs.endsWith("write") ? "参数设置成功"
                               : inputs.endsWith("FactoryRst2") ? "恢复出厂，系统正在重启。。。"
                               : inputs.endsWith("ChangeAddr")
                                   ? "设置写入成功，请在地址框中选择新地址 0x80 并重新打开串口"
                                   : "设置写入成功";
        QTRY_COMPARE(bench->find<QStatusBar>("statusBar")->currentMessage(), status);
        for (int i = 0; i < frames.size(); ++i)
            QCOMPARE(SimProcess::requestBytes(bench->sim.entries().at(sent + i)),
                     Wire::withCrc(Wire::hex(qPrintable(frames.at(i)))));
        QCOMPARE(bench->sim.entries().size(), sent + frames.size());
        for (const MessageBoxRecorder::Box &box : bench->boxes.boxes())
            QVERIFY2(box.title != "警告", qPrintable(box.text));
    }

    void portGuardComesFirst() // last: it closes the port
    {
        // Closing keeps the settings tab open. Every button must now refuse before
        // looking at its input; only the geometry checks its fields first.
        QVERIFY(Shared() && bench->click("pushButtonUartConnect"));
        bench->boxes.setAnswer(QMessageBox::Yes);
        bench->boxes.clear();
        QVERIFY(Enter("circle D=3 R=0.5 A=3 B=1 C= lineEditAngleH= lineEditNewDevAddr= write"));
        QCOMPARE(bench->boxes.lastText(), QString("参数输入有误，顶边长不能小于底边长"));
        QVERIFY(Enter("B=3"));
        QStringList buttons{"dischargeClear", "pushButtonAngleAdjust", "pushButtonChangeAddr",
                            "pushButtonReadAll", "pushButtonFactoryRst"};
        for (const QPushButton *button :
             bench->find<QWidget>("tab_3")->findChildren<QPushButton *>())
            buttons << button->objectName();
        buttons.removeOne("pushButtonSinkShape");
        for (const QString &button : buttons) {
            bench->boxes.clear();
            QVERIFY2(bench->click(button), qPrintable(button));
            QCOMPARE(bench->boxes.boxes().size(), 1);
            QVERIFY2(bench->boxes.lastText() == "串口无连接，请先打开串口！", qPrintable(button));
        }
    }
};

QTEST_MAIN(tst_Settings)
#include "tst_settings.moc"
