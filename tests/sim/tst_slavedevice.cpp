#include "registerbank.h"
#include "rivermodel.h"
#include "slavedevice.h"
#include "wire.h"

#include <QtTest>

#include <algorithm>

using Wire::hex;

namespace {

// One instrument at the factory settings with a calm river, 1 m deep at 2 m/s.
struct Instrument
{
    Instrument() : bank(0x0206, 0x80), river(1), device(&bank, &river, nullptr)
    {
        river.setCalm(true);
        river.setMeanVelocity(2.0);
        river.setMeanLevel(1.0);
        river.step(0.1, bank);
    }

    RegisterBank bank;
    RiverModel river;
    SlaveDevice device;
};

} // namespace

class tst_SlaveDevice : public QObject
{
    Q_OBJECT

private slots:
    void spectrum_data();
    void spectrum();
    void commands();
};

void tst_SlaveDevice::spectrum_data()
{
    QTest::addColumn<int>("reg");
    QTest::addColumn<double>("peakBin");

    // 2 m/s of the factory's 10 m/s range: 0.2 of 299 bins.
    QTest::newRow("velocity radar") << 38 << 0.2 * 299;
    // Air gap 2 m under D = 3 m, the range reaching 1.25 D: 2 / 3.75 of 299.
    QTest::newRow("level radar") << 91 << 2.0 / 3.75 * 299;
}

void tst_SlaveDevice::spectrum()
{
    QFETCH(int, reg);
    QFETCH(double, peakBin);

    Instrument instrument;
    const QByteArray request = Wire::withCrc(hex("80 06 00") + char(reg) + hex("12 34"));
    const SlaveDevice::Reply reply = instrument.device.handle(request);
    // The echo, and the amplitudes straight after it in the same burst.
    QCOMPARE(reply.wire, request + reply.spectrum);
    const QString text = QString::fromLatin1(reply.spectrum);
    QVERIFY2(QRegularExpression("^(\\d+\\r\\n){200,}$").match(text).hasMatch(), qPrintable(text));
    QList<int> amplitudes;
    for (const QString &line : text.trimmed().split("\r\n"))
        amplitudes << line.toInt();

    // The echo stands well above the noise floor where the river puts it;
    // the first bins of the level radar carry its antenna leak.
    const auto peak = std::max_element(amplitudes.cbegin() + 20, amplitudes.cend());
    QVERIFY2(std::abs(int(peak - amplitudes.cbegin()) - peakBin) <= 3,
             qPrintable(QString::number(peak - amplitudes.cbegin())));
    QVERIFY(*peak > 5 * amplitudes.at(int(peakBin) > 150 ? 60 : 250));
    QCOMPARE(instrument.bank.holding(reg), quint16(0)); // ready for the next request
}

void tst_SlaveDevice::commands()
{
    Instrument instrument;
    instrument.river.setCalm(false); // the angle wanders off its mounting
    instrument.river.step(120, instrument.bank);
    instrument.device.handle(hex("80 06 00 1D 00 01 C6 1D")); // 29: adjust the angle
    instrument.river.step(1, instrument.bank);
    QCOMPARE(instrument.bank.holding(29), quint16(1)); // still adjusting
    instrument.river.setCalm(true);
    instrument.device.handle(hex("80 06 00 1A 00 01 77 DC")); // 26: clear the discharge
    instrument.river.step(2.5, instrument.bank);
    QCOMPARE(instrument.bank.holding(29), quint16(0));
    QCOMPARE(instrument.bank.holding(26), quint16(0));  // done at once
    QCOMPARE(instrument.bank.input(12), quint16(3000)); // back on its mounting angle
    // Counted again from the clear: 4.25 m3/s for 2.5 s, in 1/1000 m3 (5-7).
    QCOMPARE(instrument.bank.input(5) << 16 | instrument.bank.input(6), 0);
    QCOMPARE(instrument.bank.input(7), quint16(10625));
}

QTEST_APPLESS_MAIN(tst_SlaveDevice)
#include "tst_slavedevice.moc"
