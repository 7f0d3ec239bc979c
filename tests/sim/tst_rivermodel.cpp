#include "registerbank.h"
#include "rivermodel.h"

#include <QtTest>

#include <cmath>

namespace {

constexpr double Pi = 3.14159265358979323846;

Channel channel(int iShape, double r, double a, double b, double c)
{
    Channel ch;
    ch.iShape = iShape;
    ch.dRadius = r;
    ch.dBottom = a;
    ch.dTop = b;
    ch.dHeight = c;
    return ch;
}

// Writes a channel into the bank as the operator's geometry write would.
void writeChannel(RegisterBank &bank, const Channel &ch)
{
    bank.setHolding(RegisterBank::RegSinkShape, quint16(ch.iShape));
    bank.setHolding(RegisterBank::RegRadius, quint16(std::lround(ch.dRadius * 100)));
    bank.setHolding(RegisterBank::RegButtomLen, quint16(std::lround(ch.dBottom * 100)));
    bank.setHolding(RegisterBank::RegTopLen, quint16(std::lround(ch.dTop * 100)));
    bank.setHolding(RegisterBank::RegHeight, quint16(std::lround(ch.dHeight * 100)));
}

quint32 flowRegisters(const RegisterBank &bank)
{
    return quint32(bank.input(15)) << 16 | bank.input(16);
}

quint64 dischargeCount(const RegisterBank &bank)
{
    return quint64(bank.input(5)) << 32 | quint64(bank.input(6)) << 16 | bank.input(7);
}

} // namespace

Q_DECLARE_METATYPE(Channel)

class tst_RiverModel : public QObject
{
    Q_OBJECT

private slots:
    void wettedArea_data();
    void wettedArea();
    void flow_data();
    void flow();
    void firmwareScaling_data();
    void firmwareScaling();
    void airGapFromDistance_data();
    void airGapFromDistance();
    void lowestWaterStopsTheFlow();
    void seedRepeatsTheRiver();
    void riverDriftsSmoothly();
};

void tst_RiverModel::wettedArea_data()
{
    QTest::addColumn<Channel>("ch");
    QTest::addColumn<double>("level");
    QTest::addColumn<double>("area");

    // Circle of radius R filled to h: R² acos((R-h)/R) - (R-h) sqrt(2Rh - h²).
    QTest::newRow("circle R1 half full") << channel(Channel::Circle, 1, 0, 0, 0) << 1.0 << Pi / 2;
    // 0.25 acos(0.5) - 0.25 sqrt(0.1875) = 0.261799 - 0.108253
    QTest::newRow("circle R0.5 quarter")
        << channel(Channel::Circle, 0.5, 0, 0, 0) << 0.25 << 0.153546;
    QTest::newRow("circle over full is full") << channel(Channel::Circle, 1, 0, 0, 0) << 3.0 << Pi;
    // Width 2 at the bottom, 3 at h = 1: (2 + 3) / 2 * 1.
    QTest::newRow("trapezoid A2 B4 C2 at 1")
        << channel(Channel::Trapezoid, 0, 2, 4, 2) << 1.0 << 2.5;
    // Full trapezoid 6, then straight walls 4 wide for 0.5.
    QTest::newRow("trapezoid over its height")
        << channel(Channel::Trapezoid, 0, 2, 4, 2) << 2.5 << 8.0;
    // Chord 2, depth 1: a half circle of radius 1, then 1 m of a trapezoid
    // widening from 2 to 4 over 2 m: pi/2 + (2 + 3) / 2.
    QTest::newRow("U A2 E1 B4 C3 at 2") << channel(Channel::U, 1, 2, 4, 3) << 2.0 << Pi / 2 + 2.5;
    // Inside the half circle: acos(0.5) - 0.5 sqrt(0.75).
    QTest::newRow("U A2 E1 at 0.5") << channel(Channel::U, 1, 2, 4, 3) << 0.5 << 0.614185;
    // Flat segment, chord 2, depth 0.5: radius (1 + 0.25) / 1 = 1.25;
    // 1.5625 acos(0.6) - 0.75 * 1.
    QTest::newRow("U flat round part A2 E0.5 full")
        << channel(Channel::U, 0.5, 2, 4, 3) << 0.5 << 0.698899;
    QTest::newRow("dry channel") << channel(Channel::Trapezoid, 0, 2, 4, 2) << 0.0 << 0.0;
    QTest::newRow("unknown shape") << channel(7, 1, 2, 4, 2) << 1.0 << 0.0;
}

void tst_RiverModel::wettedArea()
{
    QFETCH(Channel, ch);
    QFETCH(double, level);
    QFETCH(double, area);
    QVERIFY2(std::fabs(RiverModel::wettedArea(ch, level) - area) < 1e-5,
             qPrintable(QString::number(RiverModel::wettedArea(ch, level), 'f', 6)));
}

void tst_RiverModel::flow_data()
{
    QTest::addColumn<Channel>("ch");
    QTest::addColumn<double>("level");
    QTest::addColumn<double>("velocity");
    QTest::addColumn<int>("coefficient"); // register 21, x100
    QTest::addColumn<int>("silt");        // register 54, x100
    QTest::addColumn<quint32>("flow");    // input 15-16, 1/1000 m3/s

    // pi/2 m2 * 2 m/s * 0.85 = 2.67035 m3/s
    QTest::newRow("circle R1 half full")
        << channel(Channel::Circle, 1, 0, 0, 0) << 1.0 << 2.0 << 85 << 0 << 2670u;
    // 2.5 m2 * 1.5 m/s * 1.00
    QTest::newRow("trapezoid A2 B4 C2")
        << channel(Channel::Trapezoid, 0, 2, 4, 2) << 1.0 << 1.5 << 100 << 0 << 3750u;
    // (pi/2 + 2.5) m2 * 1 m/s * 0.90 = 3.66372 m3/s
    QTest::newRow("U A2 E1 B4 C3")
        << channel(Channel::U, 1, 2, 4, 3) << 2.0 << 1.0 << 90 << 0 << 3664u;
    // Silt 0.5 m deep fills 2 * 0.5 + 2 * 0.25 / 4 = 1.125 m2 of the 2.5.
    QTest::newRow("trapezoid silted")
        << channel(Channel::Trapezoid, 0, 2, 4, 2) << 1.0 << 1.0 << 100 << 50 << 1375u;
}

void tst_RiverModel::flow()
{
    QFETCH(Channel, ch);
    QFETCH(double, level);
    QFETCH(double, velocity);
    QFETCH(int, coefficient);
    QFETCH(int, silt);
    QFETCH(quint32, flow);

    RegisterBank bank(0x0206, 0x80);
    writeChannel(bank, ch);
    bank.setHolding(RegisterBank::RegDevToButtomLen, 500);
    bank.setHolding(RegisterBank::RegCoefficient, quint16(coefficient));
    bank.setHolding(RegisterBank::RegSilt, quint16(silt));
    RiverModel river(1);
    river.setCalm(true);
    river.setMeanVelocity(velocity);
    river.setMeanLevel(level);
    river.step(0.1, bank);

    QCOMPARE(bank.input(1), quint16(std::lround(velocity * 1000)));
    QCOMPARE(bank.input(2), quint16(std::lround(level * 1000)));
    QCOMPARE(flowRegisters(bank), flow);
}

void tst_RiverModel::firmwareScaling_data()
{
    QTest::addColumn<int>("firmware");
    QTest::addColumn<int>("reg4");
    QTest::addColumn<quint32>("reg15to16");
    QTest::addColumn<quint64>("count");

    // 3.75 m3/s for 10 s: 37.5 m3.
    QTest::newRow("0x0108 counts hundredths") << 0x0108 << 375 << 0u << quint64(3750);
    QTest::newRow("0x0109 counts thousandths") << 0x0109 << 0 << 3750u << quint64(37500);
}

void tst_RiverModel::firmwareScaling()
{
    QFETCH(int, firmware);
    QFETCH(int, reg4);
    QFETCH(quint32, reg15to16);
    QFETCH(quint64, count);

    RegisterBank bank(quint16(firmware), 0x80);
    writeChannel(bank, channel(Channel::Trapezoid, 0, 2, 4, 2));
    bank.setHolding(RegisterBank::RegCoefficient, 100);
    RiverModel river(1);
    river.setCalm(true);
    river.setMeanVelocity(1.5);
    river.setMeanLevel(1.0);
    for (int i = 0; i < 10; ++i)
        river.step(1.0, bank);

    QCOMPARE(int(bank.input(4)), reg4);
    QCOMPARE(flowRegisters(bank), reg15to16);
    QCOMPARE(dischargeCount(bank), count);
    QCOMPARE(int(bank.input(14)), firmware);

    // Clearing starts the count again from the next step.
    river.clearDischarge();
    river.step(1.0, bank);
    QCOMPARE(dischargeCount(bank), count / 10);
}

void tst_RiverModel::airGapFromDistance_data()
{
    QTest::addColumn<int>("firmware");
    QTest::addColumn<int>("reg16");  // D x100
    QTest::addColumn<int>("reg76");  // low word of D in mm
    QTest::addColumn<int>("airGap"); // input 3, mm

    QTest::newRow("D 3 m in register 16") << 0x0206 << 300 << 0 << 2000;
    QTest::newRow("0x0419 still reads register 16") << 0x0419 << 300 << 4500 << 2000;
    QTest::newRow("0x041A reads millimetres") << 0x041A << 300 << 4500 << 3500;
}

void tst_RiverModel::airGapFromDistance()
{
    QFETCH(int, firmware);
    QFETCH(int, reg16);
    QFETCH(int, reg76);
    QFETCH(int, airGap);

    RegisterBank bank(quint16(firmware), 0x80);
    bank.setHolding(RegisterBank::RegDevToButtomLen, quint16(reg16));
    bank.setHolding(RegisterBank::RegDevToButtomLenMm, 0);
    bank.setHolding(RegisterBank::RegDevToButtomLenMm + 1, quint16(reg76));
    RiverModel river(1);
    river.setCalm(true);
    river.setMeanLevel(1.0);
    river.step(0.1, bank);
    QCOMPARE(int(bank.input(3)), airGap);
}

void tst_RiverModel::lowestWaterStopsTheFlow()
{
    RegisterBank bank(0x0206, 0x80);
    bank.setHolding(RegisterBank::RegLowestWater, 5);
    RiverModel river(1);
    river.setCalm(true);
    river.setMeanLevel(0.04);
    river.step(0.1, bank);
    QCOMPARE(flowRegisters(bank), 0u);
    river.setMeanLevel(0.06);
    river.step(0.1, bank);
    QVERIFY(flowRegisters(bank) > 0);
}

void tst_RiverModel::seedRepeatsTheRiver()
{
    const auto run = [](quint32 uSeed) {
        RegisterBank bank(0x0206, 0x80);
        RiverModel river(uSeed);
        QList<quint16> values;
        for (int i = 0; i < 50; ++i) {
            river.step(0.1, bank);
            for (int reg = 1; reg <= 16; ++reg)
                values << bank.input(reg);
        }
        return values;
    };
    QCOMPARE(run(7), run(7));
    QVERIFY(run(7) != run(8));
}

void tst_RiverModel::riverDriftsSmoothly()
{
    // Ten minutes at the factory settings: the values move, but never jump,
    // and stay within the channel.
    RegisterBank bank(0x0206, 0x80);
    RiverModel river(3);
    river.step(0.1, bank);
    double dMinVelocity = river.velocity();
    double dMaxVelocity = river.velocity();
    double dPrevVelocity = river.velocity();
    double dPrevLevel = river.level();
    for (int i = 0; i < 6000; ++i) {
        river.step(0.1, bank);
        QVERIFY(std::fabs(river.velocity() - dPrevVelocity) < 0.1);
        QVERIFY(std::fabs(river.level() - dPrevLevel) < 0.02);
        QVERIFY(river.level() > 0 && river.level() < 2.0);
        dMinVelocity = std::min(dMinVelocity, river.velocity());
        dMaxVelocity = std::max(dMaxVelocity, river.velocity());
        dPrevVelocity = river.velocity();
        dPrevLevel = river.level();
    }
    QVERIFY(dMaxVelocity - dMinVelocity > 0.05);
    QVERIFY(river.discharge() > 0);
    QVERIFY(std::abs(int(bank.input(12)) - 3000) <= 60); // 30 degrees, a little off
}

QTEST_APPLESS_MAIN(tst_RiverModel)
#include "tst_rivermodel.moc"
