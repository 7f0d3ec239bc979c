// The simulated river's flow for each channel shape, worked out by hand.
#include "registerbank.h"
#include "rivermodel.h"

#include <QtTest>

class tst_RiverModel : public QObject
{
    Q_OBJECT

private slots:
    void flow()
    {
        // Shape, R, A, B, C in cm, bank coefficient x100, silt in cm (15, 17-21,
        // 54); the level in m; the flow at 2 m/s in 1/1000 m3/s (input 15-16).
        const QString rows = R"(
1 100 0   0   0   85  0  | 1    | 2670  | circle R1 half full: pi/2 m2 * 2 m/s * 0.85
1 100 0   0   0   100 0  | 3    | 6283  | circle over full is full
2 0   200 400 200 100 0  | 2.5  | 16000 | trapezoid 6 m2, then straight walls 4 m wide for 0.5 m
2 0   200 400 200 100 50 | 1    | 2750  | silt 0.5 m fills 2 * 0.5 + 2 * 0.25 / 4 = 1.125 m2 of 2.5
2 0   200 400 200 100 0  | 0.06 | 244   | above the lowest water: 2 * 0.06 + 2 * 0.0036 / 4 = 0.1218 m2
2 0   200 400 200 100 0  | 0.04 | 0     | below the factory's lowest water of 5 cm
3 100 200 400 300 90  0  | 2    | 7327  | U: half circle R1, then 1 m widening from 2 to 4 over 2 m
7 100 200 400 200 100 0  | 1    | 0     | unknown shape
)";
        for (const QString &row : rows.split('\n', Qt::SkipEmptyParts)) {
            const QStringList cell = row.split('|');
            const QStringList holding = cell[0].simplified().split(' ');
            RegisterBank bank(0x0206, 0x80);
            bank.setHolding(RegisterBank::RegDevToButtomLen, 500);
            const int registers[] = {15, 17, 18, 19, 20, 21, RegisterBank::RegSilt};
            for (int i = 0; i < 7; ++i)
                bank.setHolding(registers[i], quint16(holding.at(i).toInt()));
            RiverModel river(1);
            river.setCalm(true);
            river.setMeanLevel(cell[1].toDouble());
            river.setMeanVelocity(2.0);
            river.step(1.0, bank);
            QCOMPARE(row + QString::number(bank.input(15) << 16 | bank.input(16)),
                     row + cell[2].trimmed());
        }
    }
};

QTEST_APPLESS_MAIN(tst_RiverModel)
#include "tst_rivermodel.moc"
