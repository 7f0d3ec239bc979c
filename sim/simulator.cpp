#include "simulator.h"

#include <QDateTime>
#include <QJsonArray>

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {

QString hexText(const QByteArray &bytes)
{
    return QString::fromLatin1(bytes.toHex(' ').toUpper());
}

bool parseDouble(const QString &text, double *ptValue)
{
    bool isOk = false;
    *ptValue = text.toDouble(&isOk);
    return isOk && *ptValue >= 0;
}

} // namespace

Simulator::Simulator(const SimConfig &config, QObject *parent)
    : QObject(parent), config(config), bank(config.usFirmware, config.ucAddr), river(config.uSeed),
      device(&bank, &river, &faults), transport(config.iBaud)
{
    // A frame ends when the line stays quiet for 3.5 byte times; a pseudo-
    // terminal delivers in scheduler slices, so never less than 20 ms.
    const int iSilenceMs = std::max(20, int(std::ceil(3.5 * transport.byteTime() * 1000)));
    silenceTimer.setSingleShot(true);
    silenceTimer.setInterval(iSilenceMs);
    riverTimer.setInterval(RiverStepMs);

    connect(&transport, &PtyTransport::received, this, &Simulator::onReceived);
    connect(&silenceTimer, &QTimer::timeout, this, &Simulator::onSilence);
    connect(&riverTimer, &QTimer::timeout, this, &Simulator::stepRiver);
    connect(&control, &ControlChannel::command, this, &Simulator::onControl);
    for (TcpTransport *tcp : {&rtuTcp, &mbapTcp})
        connect(tcp, &TcpTransport::frame, this,
                [this, tcp](const QByteArray &frame, const QByteArray &wire) {
                    process(frame, wire, tcp);
                });
}

bool Simulator::start(QString *error)
{
    for (const QString &line : qAsConst(config.startCommands)) {
        if (!command(line, error))
            return false;
    }
    if (!journal.open(config.journalPath, error))
        return false;
    if (!config.controlPath.isEmpty() && !control.openFifo(config.controlPath, error))
        return false;
    if (!transport.open(config.linkPath, error))
        return false;
    if (config.iTcpPort >= 0 && !rtuTcp.listen(quint16(config.iTcpPort), error))
        return false;
    if (config.iModbusTcpPort >= 0 && !mbapTcp.listen(quint16(config.iModbusTcpPort), error))
        return false;
    control.listenToStdin();
    uptime.start();
    stepRiver();
    riverTimer.start();
    return true;
}

bool Simulator::command(const QString &line, QString *error)
{
    const QStringList words = line.simplified().split(' ', Qt::SkipEmptyParts);
    const QString name = words.value(0);
    const auto fail = [&](const QString &why) {
        *error = QString("%1: %2").arg(name, why);
        return false;
    };
    double dValue = 0;
    if (name == "velocity") {
        if (words.size() != 2 || !parseDouble(words[1], &dValue))
            return fail("expected metres per second");
        river.setMeanVelocity(dValue);
        return true;
    }
    if (name == "level") {
        if (words.value(1) == "auto") {
            river.setMeanLevel(-1);
            return true;
        }
        if (words.size() != 2 || !parseDouble(words[1], &dValue))
            return fail("expected metres or auto");
        river.setMeanLevel(dValue);
        return true;
    }
    if (name == "calm") {
        const QString arg = words.value(1);
        if (words.size() != 2 || (arg != "on" && arg != "off"))
            return fail("expected on or off");
        river.setCalm(arg == "on");
        return true;
    }
    if (name == "hang-up" || name == "listen") {
        const QString arg = words.value(1);
        if (!rtuTcp.isEnabled() && !mbapTcp.isEnabled())
            return fail("no --tcp or --modbus-tcp port");
        if (name == "listen" && (words.size() != 2 || (arg != "on" && arg != "off")))
            return fail("expected on or off");
        for (TcpTransport *tcp : {&rtuTcp, &mbapTcp}) {
            if (!tcp->isEnabled())
                continue;
            if (name == "hang-up")
                tcp->hangUp();
            else if (!tcp->setListening(arg == "on", error))
                return false;
        }
        return true;
    }
    if (name == "holding") {
        bool isRegOk = false;
        bool isValueOk = false;
        const int iAddr = words.value(1).toInt(&isRegOk, 0);
        const int iValue = words.value(2).toInt(&isValueOk, 0);
        if (words.size() != 3 || !isRegOk || !isValueOk || !RegisterBank::holdsHolding(iAddr) ||
            iValue < 0 || iValue > 0xFFFF)
            return fail("expected a register from 1 to 101 and a value from 0 to 65535");
        bank.setHolding(iAddr, quint16(iValue));
        return true;
    }
    // Bytes an instrument left on the line before the client opened it.
    if (name == "send") {
        QByteArray digits = words.mid(1).join(QString()).toLatin1();
        const QByteArray bytes = QByteArray::fromHex(digits);
        if (bytes.isEmpty() || bytes.toHex() != digits.toLower())
            return fail("expected hexadecimal bytes");
        transport.send(bytes, 0, 0);
        return true;
    }
    return faults.apply(line, error);
}

QStringList Simulator::networkPortNames() const
{
    QStringList names;
    for (const TcpTransport *tcp : {&rtuTcp, &mbapTcp})
        if (tcp->isEnabled())
            names << tcp->portName();
    return names;
}

void Simulator::onControl(const QString &line)
{
    QString error;
    // The acknowledgement tells a test that the command is in force before
    // it sends its next request.
    if (command(line, &error))
        std::printf("ok %s\n", qPrintable(line));
    else
        std::printf("error %s\n", qPrintable(error));
    std::fflush(stdout);
}

void Simulator::stepRiver()
{
    river.step(RiverStepMs / 1000.0, bank);
}

void Simulator::onReceived(const QByteArray &bytes)
{
    silenceTimer.start();
    const QList<QByteArray> frames = cutter.feed(bytes);
    for (const QByteArray &frame : frames)
        process(frame, frame, nullptr);
}

void Simulator::onSilence()
{
    const QByteArray rest = cutter.flush();
    if (!rest.isEmpty())
        process(rest, rest, nullptr);
}

void Simulator::process(const QByteArray &frame, const QByteArray &wire, TcpTransport *ptFrom)
{
    const QStringList activeFaults = faults.active();
    const SlaveDevice::Reply reply = device.handle(frame);
    QByteArray tx = reply.wire;
    if (!ptFrom) {
        transport.send(tx, config.iReplyDelayMs, faults.splitMs());
    } else {
        // A gateway passes only a whole Modbus frame: a damaged answer gets no
        // further, and the spectrum text after the echo is dropped.
        if (ptFrom->isMbap())
            tx = tx == reply.answer + reply.spectrum
                     ? ptFrom->mbapAnswer(reply.answer, faults.isBadTransaction() ? 1 : 0)
                     : QByteArray();
        ptFrom->send(tx, config.iReplyDelayMs, faults.segments(), faults.segmentPauseMs());
    }

    QJsonObject entry;
    entry["time"] = QDateTime::currentDateTime().toString(Qt::ISODateWithMs);
    entry["ms"] = uptime.elapsed();
    entry["rx"] = hexText(wire);
    if (ptFrom)
        entry["via"] = ptFrom->isMbap() ? "modbus-tcp" : "tcp";
    entry["crcOk"] = reply.outcome != SlaveDevice::Outcome::BadCrc;
    if (!reply.request.isEmpty())
        entry["request"] = reply.request;
    entry["outcome"] = SlaveDevice::outcomeName(reply.outcome);
    if (reply.ucException != 0)
        entry["exception"] = reply.ucException;
    entry["tx"] = hexText(tx);
    if (!reply.spectrum.isEmpty())
        entry["spectrumBytes"] = reply.spectrum.size();
    if (!activeFaults.isEmpty())
        entry["faults"] = QJsonArray::fromStringList(activeFaults);
    journal.record(entry);
}
