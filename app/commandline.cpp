#include "commandline.h"

#include "linkport.h"

#include <QCommandLineParser>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#include <cstdio>
#include <cstring>

namespace {

// The address box takes 0x01..0xF7: 0 is the broadcast address and 0xF8 and
// above are reserved by Modbus.
constexpr uint MinDevAddr = 0x01;
constexpr uint MaxDevAddr = 0xF7;
constexpr int MaxIntervalSecs = 65535;

void Print(FILE *stream, const QString &text)
{
    const QByteArray bytes = text.toLocal8Bit();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stream);
    std::fflush(stream);
}

// A name with a folder in it is a path and must survive the change into
// the data folder; a bare name (ttyUSB0, COM3) is the platform's.
QString PortPath(const QString &name)
{
    if (LinkPort::IsNetworkName(name))
        return name;
    return name.contains(QLatin1Char('/')) ? QFileInfo(name).absoluteFilePath() : name;
}

// Qt's platform option, which the application object takes for itself.
bool IsPlatformOption(const char *argument)
{
    return std::strcmp(argument, "-platform") == 0 || std::strcmp(argument, "--platform") == 0;
}

} // namespace

CommandLine::CommandLine(const QStringList &arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(
        tr("Client of the radar flow instrument, a Modbus RTU slave on a serial line."));
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption version = parser.addVersionOption();
    const QCommandLineOption port(
        QStringLiteral("port"),
        tr("The port to use: a device path such as /dev/ttyUSB0 or /dev/serial/by-id/..., a "
           "pseudo-terminal, a platform name, tcp://HOST:PORT for a transparent serial server, "
           "or modbus-tcp://HOST[:PORT] for a Modbus TCP gateway (port 502 by default)."),
        tr("NAME"));
    const QCommandLineOption address(
        QStringLiteral("address"),
        tr("The instrument's slave address, hexadecimal from 0x01 to 0xF7 (default 0x80)."),
        tr("ADDR"));
    const QCommandLineOption interval(QStringLiteral("interval"),
                                      tr("The poll interval, whole seconds from 1 to 65535."),
                                      tr("SECONDS"));
    const QCommandLineOption connect(QStringLiteral("connect"), tr("Open the port at start."));
    const QCommandLineOption measure(
        QStringLiteral("measure"),
        tr("Open the port and measure as soon as the instrument answers; implies --connect and "
           "--reconnect."));
    const QCommandLineOption reconnect(
        QStringLiteral("reconnect"),
        tr("Keep the link alive unattended: a lost port is reopened every 5 seconds, and no "
           "warning waits for an answer."));
    const QCommandLineOption dataDirOption(
        QStringLiteral("data-dir"),
        tr("The folder for log.txt, database.db and xml/, created if missing (default: the "
           "working folder)."),
        tr("DIR"));
    const QCommandLineOption userData(
        QStringLiteral("user-data"),
        tr("Use the user's data folder (%1); --data-dir wins over it.")
            .arg(QStandardPaths::writableLocation(QStandardPaths::AppDataLocation)));
    const QCommandLineOption lang(QStringLiteral("lang"),
                                  tr("The interface language: zh or en (built in)."),
                                  QStringLiteral("zh|en"));
    const QCommandLineOption headless(
        QStringLiteral("headless"),
        tr("No window and no message box: warnings go to standard error and the log, questions "
           "are answered No."));
    const QCommandLineOption exportCsv(
        QStringLiteral("export-csv"),
        tr("Convert a run file to CSV and exit: onto standard output, or into the file named "
           "after it."),
        tr("RUN.xml"));
    parser.addOptions({port, address, interval, connect, measure, reconnect, dataDirOption,
                       userData, lang, headless, exportCsv});
    parser.addPositionalArgument(QStringLiteral("OUT.csv"),
                                 tr("With --export-csv: the CSV file to write."),
                                 QStringLiteral("[OUT.csv]"));

    // The usage names the program as started, which needs the application.
    if (QCoreApplication::instance())
        usage = parser.helpText();
    if (!parser.parse(arguments)) {
        Refuse(parser.errorText());
        return;
    }
    // The parser offers --help-all beside --help; there are no options of
    // Qt's worth listing, so both print the same usage.
    isHelp = parser.isSet(help) || parser.isSet(QStringLiteral("help-all"));
    isVersion = parser.isSet(version);
    const QStringList positional = parser.positionalArguments();
    if (parser.isSet(exportCsv)) {
        exportRun = parser.value(exportCsv);
        if (exportRun.isEmpty() || positional.size() > 1) {
            Refuse(tr("--export-csv takes a run file and at most one CSV file: "
                      "--export-csv RUN.xml [OUT.csv]."));
            return;
        }
        exportOut = positional.value(0);
        return;
    }
    if (!positional.isEmpty()) {
        Refuse(tr("Unexpected argument '%1'.").arg(positional.constFirst()));
        return;
    }

    if (parser.isSet(port)) {
        station.portName = parser.value(port).trimmed();
        if (station.portName.isEmpty()) {
            Refuse(tr("--port needs a port name, such as /dev/ttyUSB0."));
            return;
        }
        LinkPort::Kind kind;
        QString host;
        quint16 usPort = 0;
        if (LinkPort::IsNetworkName(station.portName) &&
            !LinkPort::ParseNetworkName(station.portName, &kind, &host, &usPort)) {
            Refuse(tr("Bad value '%1' for --port: tcp://HOST:PORT or modbus-tcp://HOST[:PORT].")
                       .arg(station.portName));
            return;
        }
        station.portName = PortPath(station.portName);
    }
    if (parser.isSet(address)) {
        QString text = parser.value(address).trimmed();
        if (text.startsWith(QLatin1String("0x"), Qt::CaseInsensitive))
            text = text.mid(2);
        bool ok = false;
        const uint value = text.toUInt(&ok, 16);
        if (!ok || value < MinDevAddr || value > MaxDevAddr) {
            Refuse(tr("Bad value '%1' for --address: a hexadecimal address from 0x01 to 0xF7, "
                      "such as 0x80.")
                       .arg(parser.value(address)));
            return;
        }
        station.devAddr = QStringLiteral("0x") +
                          QStringLiteral("%1").arg(value, 2, 16, QLatin1Char('0')).toUpper();
    }
    if (parser.isSet(interval)) {
        bool ok = false;
        const int secs = parser.value(interval).toInt(&ok);
        if (!ok || secs < 1 || secs > MaxIntervalSecs) {
            Refuse(tr("Bad value '%1' for --interval: whole seconds from 1 to 65535.")
                       .arg(parser.value(interval)));
            return;
        }
        station.interval = QString::number(secs);
    }
    if (parser.isSet(lang)) {
        language = parser.value(lang);
        if (language != QLatin1String("zh") && language != QLatin1String("en")) {
            Refuse(tr("Bad value '%1' for --lang: zh or en.").arg(language));
            return;
        }
    }
    if (parser.isSet(dataDirOption)) {
        if (parser.value(dataDirOption).isEmpty()) {
            Refuse(tr("--data-dir needs a folder."));
            return;
        }
        dataDir = QFileInfo(parser.value(dataDirOption)).absoluteFilePath();
    } else if (parser.isSet(userData)) {
        dataDir = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    }
    station.isMeasure = parser.isSet(measure);
    station.isConnect = parser.isSet(connect) || station.isMeasure;
    station.isReconnect = parser.isSet(reconnect) || station.isMeasure;
    station.isHeadless = parser.isSet(headless);
}

bool CommandLine::WantsScreen(int argc, char **argv)
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i) {
        if (IsPlatformOption(argv[i]) && i + 1 < argc)
            ++i;
        else
            arguments << QString::fromLocal8Bit(argv[i]);
    }
    const CommandLine commandLine(arguments);
    return !commandLine.IsDone() && !commandLine.IsExport() && !commandLine.station.isHeadless;
}

void CommandLine::DropPlatform(int &argc, char **argv)
{
    int kept = 0;
    for (int i = 0; i < argc; ++i) {
        if (IsPlatformOption(argv[i]) && i + 1 < argc)
            ++i;
        else
            argv[kept++] = argv[i];
    }
    argc = kept;
    argv[argc] = nullptr;
}

void CommandLine::Refuse(const QString &text)
{
    error = text;
}

int CommandLine::Finish() const
{
    if (!error.isEmpty()) {
        Print(stderr, QStringLiteral("radarflow: %1\n\n%2").arg(error, usage));
        return UsageError;
    }
    if (isHelp)
        Print(stdout, usage);
    else if (isVersion)
        Print(stdout, QStringLiteral("%1 %2\n").arg(QCoreApplication::applicationName(),
                                                    QCoreApplication::applicationVersion()));
    return 0;
}
