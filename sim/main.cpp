// radarflow-sim: the radar flow instrument as a Modbus RTU slave on a
// pseudo-terminal, for development and tests without the real device.
#include "simulator.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QSocketNotifier>

#include <csignal>
#include <cstdio>
#include <random>
#include <unistd.h>
#include <utility>

namespace {

int signalPipe[2] = {-1, -1};

void onSignal(int)
{
    const char byte = 1;
    [[maybe_unused]] const ssize_t n = ::write(signalPipe[1], &byte, 1);
}

const char *description =
    R"(A simulated radar flow instrument: a Modbus RTU slave (functions 0x03, 0x04,
0x06, 0x10) on a pseudo-terminal. The first line on standard output is the
link to open as a serial port at 9600 8N1. With --tcp and --modbus-tcp the
same instrument is also served on 127.0.0.1, behind a transparent serial
server (RTU over TCP) and behind a Modbus TCP gateway; the next lines are
the port names to open (tcp://127.0.0.1:PORT, then modbus-tcp://...), with
the port actually taken when 0 was asked for. Runs until SIGINT or SIGTERM
and then removes the link.

Runtime commands, one per line on standard input or on the --control pipe;
each is answered on standard output by "ok <command>" or "error <reason>":
  silent-next N            leave the next N requests unanswered
  silent-function FC|off   leave every request of function FC unanswered
  bad-crc on|off           answer with a damaged CRC
  split-ms MS              send each answer as two bursts MS apart (0: off)
  exception FC:CODE        answer function FC with exception CODE
  exception FC:CODE@START  the same, only for requests starting at START
  exception FC:off | off   stop forcing exceptions for FC, or for all
  stray HEX|off            put these bytes (e.g. "00 FF") before each answer
  send HEX                 put these bytes on the line now, unasked
  no-spectrum on|off       answer a spectrum request with the echo alone
  segments N:MS|off        over TCP, send each answer as N segments MS apart
  bad-tid on|off           over Modbus TCP, answer with the next transaction id
  hang-up                  close the client's TCP connection
  listen on|off            stop serving TCP (dropping the client), or again
  clear                    switch every fault off
  velocity M/S             mean surface velocity of the river
  level M|auto             mean water level above the channel bottom
  calm on|off              hold velocity and level still, without noise
  holding REG VALUE        set a holding register (1-10 and 33-35 are live
                           values, which the river overwrites)
Faults combine. A silenced request or a forced exception is lost: the
request has no effect. The other faults spoil only the answer.)";

bool parseNumber(const QString &text, qint64 iMin, qint64 iMax, qint64 *ptValue)
{
    bool isOk = false;
    const qint64 iValue = text.toLongLong(&isOk, 0);
    if (!isOk || iValue < iMin || iValue > iMax)
        return false;
    *ptValue = iValue;
    return true;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName("radarflow-sim");

    QCommandLineParser parser;
    parser.setApplicationDescription(QString::fromLatin1(description));
    parser.addHelpOption();
    const QCommandLineOption linkOption("link",
                                        "Symlink to the serial port (default /tmp/radarflow-sim).",
                                        "path", "/tmp/radarflow-sim");
    const QCommandLineOption addrOption("addr", "Slave address, 1 to 247 (default 0x80).", "addr",
                                        "0x80");
    const QCommandLineOption firmwareOption(
        "firmware", "Firmware version, major in the high byte (default 0x0206).", "version",
        "0x0206");
    const QCommandLineOption seedOption(
        "seed", "Seed of the river's randomness, for a repeatable river (default: random).", "n");
    const QCommandLineOption baudOption(
        "baud", "Pace answers as this line speed would; 0 sends at once (default 9600).", "rate",
        "9600");
    const QCommandLineOption delayOption(
        "reply-delay", "Milliseconds between a request and its answer (default 5).", "ms", "5");
    const QCommandLineOption journalOption(
        "journal",
        "Record every received frame to this file, one JSON object a line (emptied at start).",
        "path");
    const QCommandLineOption controlOption(
        "control", "Also read runtime commands from this named pipe (created if missing).", "path");
    const QCommandLineOption velocityOption("velocity",
                                            "Mean surface velocity in m/s (default 1.2).", "m/s");
    const QCommandLineOption levelOption(
        "level", "Mean water level in m (default: 40 % of the channel depth).", "m");
    const QCommandLineOption calmOption("calm", "Hold velocity and level still, without noise.");
    const QCommandLineOption silentNextOption("silent-next",
                                              "Leave the first N requests unanswered.", "n");
    const QCommandLineOption silentFunctionOption(
        "silent-function", "Leave every request of this function code unanswered.", "fc");
    const QCommandLineOption badCrcOption("bad-crc", "Answer with a damaged CRC.");
    const QCommandLineOption splitOption(
        "split-ms", "Send each answer as two bursts this many ms apart.", "ms");
    const QCommandLineOption exceptionOption(
        "exception", "Answer function FC with exception CODE (repeatable).", "fc:code");
    const QCommandLineOption strayOption("stray", "Put these hex bytes before each answer.", "hex");
    const QCommandLineOption noSpectrumOption("no-spectrum",
                                              "Answer a spectrum request with the echo alone.");
    const QCommandLineOption tcpOption(
        "tcp", "Also serve RTU over TCP on 127.0.0.1:PORT (0: any free port).", "port");
    const QCommandLineOption modbusTcpOption(
        "modbus-tcp", "Also serve Modbus TCP on 127.0.0.1:PORT (0: any free port).", "port");
    parser.addOptions({tcpOption, modbusTcpOption});
    parser.addOptions({linkOption, addrOption, firmwareOption, seedOption, baudOption, delayOption,
                       journalOption, controlOption, velocityOption, levelOption, calmOption,
                       silentNextOption, silentFunctionOption, badCrcOption, splitOption,
                       exceptionOption, strayOption, noSpectrumOption});
    parser.process(app);

    const auto usage = [](const QString &why) {
        std::fprintf(stderr, "radarflow-sim: %s\n", qPrintable(why));
        return 2;
    };

    SimConfig config;
    qint64 iValue = 0;
    config.linkPath = parser.value(linkOption);
    if (!parseNumber(parser.value(addrOption), 1, 247, &iValue))
        return usage("--addr takes 1 to 247");
    config.ucAddr = quint8(iValue);
    if (!parseNumber(parser.value(firmwareOption), 0, 0xFFFF, &iValue))
        return usage("--firmware takes 0 to 0xFFFF");
    config.usFirmware = quint16(iValue);
    if (parser.isSet(seedOption)) {
        if (!parseNumber(parser.value(seedOption), 0, 0xFFFFFFFF, &iValue))
            return usage("--seed takes 0 to 4294967295");
        config.uSeed = quint32(iValue);
    } else {
        config.uSeed = std::random_device()();
    }
    if (!parseNumber(parser.value(baudOption), 0, 4000000, &iValue))
        return usage("--baud takes 0 to 4000000");
    config.iBaud = int(iValue);
    if (!parseNumber(parser.value(delayOption), 0, 60000, &iValue))
        return usage("--reply-delay takes 0 to 60000");
    config.iReplyDelayMs = int(iValue);
    for (const auto &[option, ptPort] : {std::pair(&tcpOption, &config.iTcpPort),
                                         std::pair(&modbusTcpOption, &config.iModbusTcpPort)}) {
        if (!parser.isSet(*option))
            continue;
        if (!parseNumber(parser.value(*option), 0, 65535, &iValue))
            return usage(QString("--%1 takes 0 to 65535").arg(option->names().first()));
        *ptPort = int(iValue);
    }
    config.journalPath = parser.value(journalOption);
    config.controlPath = parser.value(controlOption);

    // Start-up options are the runtime commands of the same name.
    QStringList &commands = config.startCommands;
    const auto withValue = [&](const QCommandLineOption &option) {
        if (parser.isSet(option))
            commands << option.names().first() + ' ' + parser.value(option);
    };
    const auto switchedOn = [&](const QCommandLineOption &option) {
        if (parser.isSet(option))
            commands << option.names().first() + " on";
    };
    withValue(velocityOption);
    withValue(levelOption);
    switchedOn(calmOption);
    withValue(silentNextOption);
    withValue(silentFunctionOption);
    switchedOn(badCrcOption);
    withValue(splitOption);
    for (const QString &value : parser.values(exceptionOption))
        commands << "exception " + value;
    withValue(strayOption);
    switchedOn(noSpectrumOption);

    // SIGINT and SIGTERM end the event loop so that the link is removed.
    if (::pipe(signalPipe) != 0)
        return usage("cannot create the signal pipe");
    std::signal(SIGINT, onSignal);
    std::signal(SIGTERM, onSignal);
    // Started in the background of a terminal, reading standard input must
    // fail rather than stop the process.
    std::signal(SIGTTIN, SIG_IGN);
    QSocketNotifier signalNotifier(signalPipe[0], QSocketNotifier::Read);
    QObject::connect(&signalNotifier, &QSocketNotifier::activated, &app, &QCoreApplication::quit);

    Simulator simulator(config);
    QString error;
    if (!simulator.start(&error))
        return usage(error);

    std::printf("%s\n", qPrintable(config.linkPath));
    for (const QString &name : simulator.networkPortNames())
        std::printf("%s\n", qPrintable(name));
    std::fflush(stdout);
    std::fprintf(
        stderr, "radarflow-sim: slave 0x%02X, firmware 0x%04X, seed %u, %d baud, port %s\n",
        config.ucAddr, config.usFirmware, config.uSeed, config.iBaud,
        qPrintable((QStringList{config.linkPath} + simulator.networkPortNames()).join(", ")));
    return app.exec();
}
