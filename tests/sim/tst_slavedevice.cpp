#include "faultswitchboard.h"
#include "registerbank.h"
#include "rivermodel.h"
#include "slavedevice.h"
#include "wire.h"

#include <QtTest>

#include <algorithm>

using Wire::hex;
using Wire::withCrc;

namespace {

// One instrument at the factory settings with a calm river.
struct Instrument
{
    Instrument() : bank(0x0206, 0x80), river(1), device(&bank, &river, &faults)
    {
        river.setCalm(true);
        river.step(0.1, bank);
    }

    static QByteArray writeRequest(int iReg, int iValue)
    {
        QByteArray body = hex("80 06");
        body += char(iReg >> 8);
        body += char(iReg & 0xFF);
        body += char(iValue >> 8);
        body += char(iValue & 0xFF);
        return withCrc(body);
    }

    SlaveDevice::Reply writeSingle(int iReg, int iValue)
    {
        return device.handle(writeRequest(iReg, iValue));
    }

    void run(double dSeconds)
    {
        for (int i = 0; i < int(dSeconds * 10 + 0.5); ++i)
            river.step(0.1, bank);
    }

    quint64 dischargeCount() const
    {
        return quint64(bank.input(5)) << 32 | quint64(bank.input(6)) << 16 | bank.input(7);
    }

    RegisterBank bank;
    RiverModel river;
    FaultSwitchboard faults;
    SlaveDevice device;
};

} // namespace

Q_DECLARE_METATYPE(SlaveDevice::Outcome)

class tst_SlaveDevice : public QObject
{
    Q_OBJECT

private slots:
    void spectrum_data();
    void spectrum();
    void otherValueSendsNoSpectrum();
    void dischargeClearCommand();
    void angleAdjustmentCommand();
    void lostRequestsHaveNoEffect_data();
    void lostRequestsHaveNoEffect();
    void spoiledAnswersStillAct();
};

void tst_SlaveDevice::spectrum_data()
{
    QTest::addColumn<int>("reg");
    QTest::addColumn<double>("velocity");
    QTest::addColumn<double>("level");
    QTest::addColumn<double>("peakBin");

    // 2 m/s of the factory's 10 m/s range: 0.2 of 299 bins.
    QTest::newRow("velocity radar") << 38 << 2.0 << 1.0 << 0.2 * 299;
    // Air gap 2 m under D = 3 m, the range reaching 1.25 D: 2 / 3.75 of 299.
    QTest::newRow("level radar") << 91 << 1.2 << 1.0 << 2.0 / 3.75 * 299;
}

void tst_SlaveDevice::spectrum()
{
    QFETCH(int, reg);
    QFETCH(double, velocity);
    QFETCH(double, level);
    QFETCH(double, peakBin);

    Instrument instrument;
    instrument.river.setMeanVelocity(velocity);
    instrument.river.setMeanLevel(level);
    instrument.run(0.1);
    const SlaveDevice::Reply reply = instrument.writeSingle(reg, SlaveDevice::SpectrumKey);

    QCOMPARE(reply.outcome, SlaveDevice::Outcome::Answered);
    QCOMPARE(reply.wire.left(8), reply.answer);
    QCOMPARE(reply.answer, Instrument::writeRequest(reg, SlaveDevice::SpectrumKey));
    QVERIFY(reply.spectrum.size() >= 120);
    QVERIFY(reply.spectrum.endsWith("\r\n"));

    QList<QByteArray> lines = reply.spectrum.split('\n');
    QCOMPARE(lines.takeLast(), QByteArray());
    QVERIFY(lines.size() >= 200);
    QList<int> amplitudes;
    for (const QByteArray &line : qAsConst(lines)) {
        QVERIFY(line.endsWith('\r'));
        bool isNumber = false;
        amplitudes << line.chopped(1).toInt(&isNumber);
        QVERIFY2(isNumber, line.constData());
    }
    // The echo stands well above the noise floor where the river puts it;
    // the first bins of the level radar carry its antenna leak.
    const auto from = amplitudes.cbegin() + 20;
    const auto peak = std::max_element(from, amplitudes.cend());
    QVERIFY2(std::abs(int(peak - amplitudes.cbegin()) - peakBin) <= 3,
             qPrintable(QString::number(peak - amplitudes.cbegin())));
    QVERIFY(*peak > 5 * amplitudes.at(int(peakBin) > 150 ? 60 : 250));
    QCOMPARE(instrument.bank.holding(reg), quint16(0));
}

void tst_SlaveDevice::otherValueSendsNoSpectrum()
{
    Instrument instrument;
    const SlaveDevice::Reply reply = instrument.writeSingle(38, 0x1233);
    QCOMPARE(reply.wire, withCrc(hex("80 06 00 26 12 33")));
    QVERIFY(reply.spectrum.isEmpty());
}

void tst_SlaveDevice::dischargeClearCommand()
{
    Instrument instrument;
    instrument.run(60);
    const quint64 full = instrument.dischargeCount();
    QVERIFY(full > 0);

    QCOMPARE(instrument.writeSingle(26, 1).outcome, SlaveDevice::Outcome::Answered);
    instrument.run(1);
    QVERIFY(instrument.dischargeCount() * 30 < full);
    QCOMPARE(instrument.bank.holding(26), quint16(0));
}

void tst_SlaveDevice::angleAdjustmentCommand()
{
    Instrument instrument;
    instrument.river.setCalm(false);
    instrument.run(120);

    instrument.writeSingle(29, 1);
    instrument.run(1);
    QCOMPARE(instrument.bank.holding(29), quint16(1)); // still adjusting
    instrument.run(2.5);
    QCOMPARE(instrument.bank.holding(29), quint16(0));
    instrument.river.setCalm(true);
    instrument.run(0.1);
    QCOMPARE(instrument.bank.input(12), quint16(3000)); // back on its mounting angle
}

void tst_SlaveDevice::lostRequestsHaveNoEffect_data()
{
    QTest::addColumn<QString>("fault");
    QTest::addColumn<SlaveDevice::Outcome>("outcome");

    QTest::newRow("silent-next") << "silent-next 1" << SlaveDevice::Outcome::Silent;
    QTest::newRow("silent-function") << "silent-function 6" << SlaveDevice::Outcome::Silent;
    QTest::newRow("exception") << "exception 6:4" << SlaveDevice::Outcome::Exception;
}

void tst_SlaveDevice::lostRequestsHaveNoEffect()
{
    QFETCH(QString, fault);
    QFETCH(SlaveDevice::Outcome, outcome);

    Instrument instrument;
    QString error;
    QVERIFY2(instrument.faults.apply(fault, &error), qPrintable(error));
    QCOMPARE(instrument.writeSingle(11, 99).outcome, outcome);
    QCOMPARE(instrument.bank.holding(11), quint16(30));
}

void tst_SlaveDevice::spoiledAnswersStillAct()
{
    Instrument instrument;
    QString error;
    QVERIFY(instrument.faults.apply("bad-crc on", &error));
    QVERIFY(instrument.faults.apply("stray 00 FF", &error));
    const SlaveDevice::Reply reply = instrument.writeSingle(11, 99);
    QCOMPARE(reply.wire.left(2), hex("00 FF"));
    QVERIFY(!Wire::isIntact(reply.wire.mid(2)));
    QCOMPARE(instrument.bank.holding(11), quint16(99));
}

QTEST_APPLESS_MAIN(tst_SlaveDevice)
#include "tst_slavedevice.moc"
