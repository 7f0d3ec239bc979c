#include "registerbank.h"
#include "rivermodel.h"

#include <QtTest>

#include <cmath>

namespace {

// The registers after a calm river at dLevel m and dVelocity m/s has run for
// iSeconds under the factory settings with these holding registers changed.
RegisterBank calmRiver(int iFirmware, double dLevel, double dVelocity,
                       const QMap<int, int> &holding, int iSeconds = 1)
{
    RegisterBank bank(quint16(iFirmware), 0x80);
    for (auto it = holding.cbegin(); it != holding.cend(); ++it)
        bank.setHolding(it.key(), quint16(it.value()));
    RiverModel river(1);
    river.setCalm(true);
    river.setMeanLevel(dLevel);
    river.setMeanVelocity(dVelocity);
    for (int i = 0; i < iSeconds; ++i)
        river.step(1.0, bank);
    return bank;
}

// Input registers iFirst onwards as one number, high word first.
quint64 wide(const RegisterBank &bank, int iFirst, int iCount)
{
    quint64 value = 0;
    for (int reg = iFirst; reg < iFirst + iCount; ++reg)
        value = value << 16 | bank.input(reg);
    return value;
}

} // namespace

class tst_RiverModel : public QObject
{
    Q_OBJECT

private slots:
    void flow_data();
    void flow();
    void firmware_data();
    void firmware();
    void riverDriftsSmoothly();
};

void tst_RiverModel::flow_data()
{
    // What the operator wrote into 15 and 17-21 (shape, R, A, B, C in cm,
    // bank coefficient x100) and 54 (silt, cm); the river runs at 2 m/s.
    QTest::addColumn<QList<int>>("holding");
    QTest::addColumn<double>("level");
    QTest::addColumn<quint64>("flow"); // input 15-16, 1/1000 m3/s

    const QList<int> trapezoid = {2, 0, 200, 400, 200, 100, 0};
    // Circle of radius R filled to h: R² acos((R-h)/R) - (R-h) sqrt(2Rh - h²).
    // pi/2 m2 * 2 m/s * 0.85 = 2.67035 m3/s
    QTest::newRow("circle R1 half full") << QList<int>{1, 100, 0, 0, 0, 85, 0} << 1.0 << 2670ull;
    // 0.25 acos(0.5) - 0.25 sqrt(0.1875) = 0.261799 - 0.108253
    QTest::newRow("circle R0.5 a quarter full")
        << QList<int>{1, 50, 0, 0, 0, 100, 0} << 0.25 << 307ull;
    QTest::newRow("circle over full is full")
        << QList<int>{1, 100, 0, 0, 0, 100, 0} << 3.0 << 6283ull;
    // Width 2 at the bottom, 3 at h = 1: (2 + 3) / 2 * 1 = 2.5 m2.
    QTest::newRow("trapezoid A2 B4 C2 at 1") << trapezoid << 1.0 << 5000ull;
    // Full trapezoid 6, then straight walls 4 wide for 0.5.
    QTest::newRow("trapezoid over its height") << trapezoid << 2.5 << 16000ull;
    // Silt 0.5 m deep fills 2 * 0.5 + 2 * 0.25 / 4 = 1.125 m2 of the 2.5.
    QTest::newRow("trapezoid silted") << QList<int>{2, 0, 200, 400, 200, 100, 50} << 1.0 << 2750ull;
    // The factory's lowest water is 5 cm; 2 * 0.06 + 2 * 0.0036 / 4 = 0.1218 m2.
    QTest::newRow("just above the lowest water") << trapezoid << 0.06 << 244ull;
    QTest::newRow("below the lowest water") << trapezoid << 0.04 << 0ull;
    // Chord 2, depth 1: a half circle of radius 1, then 1 m of a trapezoid
    // widening from 2 to 4 over 2 m: (pi/2 + 2.5) m2 * 2 m/s * 0.90.
    QTest::newRow("U A2 E1 B4 C3 at 2")
        << QList<int>{3, 100, 200, 400, 300, 90, 0} << 2.0 << 7327ull;
    // Flat round part, chord 2, depth 0.5: radius 1.25; 1.5625 acos(0.6) - 0.75.
    QTest::newRow("U A2 E0.5 round part full")
        << QList<int>{3, 50, 200, 400, 300, 100, 0} << 0.5 << 1398ull;
    QTest::newRow("unknown shape") << QList<int>{7, 100, 200, 400, 200, 100, 0} << 1.0 << 0ull;
}

void tst_RiverModel::flow()
{
    QFETCH(QList<int>, holding);
    QFETCH(double, level);
    QFETCH(quint64, flow);

    const int registers[] = {15, 17, 18, 19, 20, 21, RegisterBank::RegSilt};
    QMap<int, int> written{{RegisterBank::RegDevToButtomLen, 500}};
    for (int i = 0; i < 7; ++i)
        written.insert(registers[i], holding.at(i));
    QCOMPARE(wide(calmRiver(0x0206, level, 2.0, written), 15, 2), flow);
}

void tst_RiverModel::firmware_data()
{
    QTest::addColumn<int>("firmware");
    QTest::addColumn<int>("reg4");      // flow, 1/100 m3/s
    QTest::addColumn<quint64>("flow");  // input 15-16, 1/1000 m3/s
    QTest::addColumn<quint64>("count"); // input 5-7
    QTest::addColumn<int>("airGap");    // input 3, mm

    // Factory trapezoid at 1 m: 2.5 m2 * 2 m/s * 0.85 = 4.25 m3/s, for 10 s 42.5 m3.
    // D is 3 m in register 16, 4.5 m in 75-76.
    QTest::newRow("0x0108 counts hundredths") << 0x0108 << 425 << 0ull << 4250ull << 2000;
    QTest::newRow("0x0109 counts thousandths") << 0x0109 << 0 << 4250ull << 42500ull << 2000;
    QTest::newRow("0x0419 takes D from 16") << 0x0419 << 0 << 4250ull << 42500ull << 2000;
    QTest::newRow("0x041A takes D from 75-76") << 0x041A << 0 << 4250ull << 42500ull << 3500;
}

void tst_RiverModel::firmware()
{
    QFETCH(int, firmware);
    QFETCH(int, reg4);
    QFETCH(quint64, flow);
    QFETCH(quint64, count);
    QFETCH(int, airGap);

    const RegisterBank bank =
        calmRiver(firmware, 1.0, 2.0, {{RegisterBank::RegDevToButtomLenMm + 1, 4500}}, 10);
    QCOMPARE(int(bank.input(4)), reg4);
    QCOMPARE(wide(bank, 15, 2), flow);
    QCOMPARE(wide(bank, 5, 3), count);
    QCOMPARE(int(bank.input(3)), airGap);
}

void tst_RiverModel::riverDriftsSmoothly()
{
    // Ten minutes at the factory settings, twice with one seed, once with another.
    const quint32 seeds[] = {3, 3, 4};
    QList<quint16> runs[3];
    for (int n = 0; n < 3; ++n) {
        RegisterBank bank(0x0206, 0x80);
        RiverModel river(seeds[n]);
        river.step(0.1, bank);
        double dMinVelocity = river.velocity();
        double dMaxVelocity = dMinVelocity;
        for (int i = 0; i < 6000; ++i) {
            const double dPrevVelocity = river.velocity();
            const double dPrevLevel = river.level();
            river.step(0.1, bank);
            // The values move, but never jump, and stay within the channel.
            QVERIFY(std::fabs(river.velocity() - dPrevVelocity) < 0.1);
            QVERIFY(std::fabs(river.level() - dPrevLevel) < 0.02);
            QVERIFY(river.level() > 0 && river.level() < 2.0);
            dMinVelocity = std::min(dMinVelocity, river.velocity());
            dMaxVelocity = std::max(dMaxVelocity, river.velocity());
            for (int reg = 1; reg <= 16; ++reg)
                runs[n] << bank.input(reg);
        }
        QVERIFY(dMaxVelocity - dMinVelocity > 0.05);
        QVERIFY(river.discharge() > 0);
        QVERIFY(std::abs(int(bank.input(12)) - 3000) <= 60); // 30 degrees, a little off
    }
    QVERIFY(runs[0] == runs[1]);
    QVERIFY(runs[0] != runs[2]);
}

QTEST_APPLESS_MAIN(tst_RiverModel)
#include "tst_rivermodel.moc"
