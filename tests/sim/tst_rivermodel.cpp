// The simulated river's flow for each channel shape, worked out by hand.
#include "registerbank.h"
#include "rivermodel.h"

#include <QtTest>

class tst_RiverModel : public QObject
{
    Q_OBJECT

private slots:
    void flow_data();
    void flow();
};

void tst_RiverModel::flow_data()
{
    // What the operator wrote into 15 and 17-21 (shape, R, A, B, C in cm,
    // bank coefficient x100) and 54 (silt, cm); the river runs at 2 m/s.
    QTest::addColumn<QList<int>>("holding");
    QTest::addColumn<double>("level");
    QTest::addColumn<int>("flow"); // input 15-16, 1/1000 m3/s
    const QList<int> trapezoid = {2, 0, 200, 400, 200, 100, 0};
    // pi/2 m2 * 2 m/s * 0.85
    QTest::newRow("circle R1 half full") << QList<int>{1, 100, 0, 0, 0, 85, 0} << 1.0 << 2670;
    QTest::newRow("circle over full is full") << QList<int>{1, 100, 0, 0, 0, 100, 0} << 3.0 << 6283;
    // Full trapezoid 6 m2, then straight walls 4 m wide for 0.5 m.
    QTest::newRow("trapezoid over its height") << trapezoid << 2.5 << 16000;
    // Silt 0.5 m deep fills 2 * 0.5 + 2 * 0.25 / 4 = 1.125 m2 of the 2.5.
    QTest::newRow("trapezoid silted") << QList<int>{2, 0, 200, 400, 200, 100, 50} << 1.0 << 2750;
    // The factory's lowest water is 5 cm; 2 * 0.06 + 2 * 0.0036 / 4 = 0.1218 m2.
    QTest::newRow("just above the lowest water") << trapezoid << 0.06 << 244;
    QTest::newRow("below the lowest water") << trapezoid << 0.04 << 0;
    // A half circle of radius 1, then 1 m widening from 2 to 4 over 2 m, at 0.90.
    QTest::newRow("U A2 E1 B4 C3 at 2") << QList<int>{3, 100, 200, 400, 300, 90, 0} << 2.0 << 7327;
    QTest::newRow("unknown shape") << QList<int>{7, 100, 200, 400, 200, 100, 0} << 1.0 << 0;
}

void tst_RiverModel::flow()
{
    QFETCH(QList<int>, holding);
    QFETCH(double, level);
    QFETCH(int, flow);
    RegisterBank bank(0x0206, 0x80);
    const int registers[] = {15, 17, 18, 19, 20, 21, RegisterBank::RegSilt};
    bank.setHolding(RegisterBank::RegDevToButtomLen, 500);
    for (int i = 0; i < 7; ++i)
        bank.setHolding(registers[i], quint16(holding.at(i)));
    RiverModel river(1);
    river.setCalm(true);
    river.setMeanLevel(level);
    river.setMeanVelocity(2.0);
    river.step(1.0, bank);
    QCOMPARE(bank.input(15) << 16 | bank.input(16), flow);
}

QTEST_APPLESS_MAIN(tst_RiverModel)
#include "tst_rivermodel.moc"
