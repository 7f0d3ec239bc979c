// How fast the read-back on opening runs against an instrument on a 9600-baud
// line that answers after 5 ms: the gaps between consecutive requests, taken
// from the simulator's journal, beside the time the line itself needs for
// each exchange. A master that closes a frame as soon as the answer is whole
// cycles at the wire's speed; one that waits for the line to fall quiet adds
// that quiet time to every exchange. The same opening then runs over loopback
// TCP, through a transparent serial server and a Modbus TCP gateway, where no
// wire time is left and the gap should be the answer delay and little more.
// Each port is opened --rounds times, in turn, so that a busy moment of the
// machine falls on all three alike.
//   bench_linkspeed [--baud 9600] [--reply-delay 5] [--frames 12] [--rounds 3]
#include "mainwindow.h"

#include "median.h"

#include <QApplication>
#include <QComboBox>
#include <QCommandLineParser>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QThread>

#include <cstdio>
#include <memory>

namespace {

// Start, stop and 8 data bits for every byte on the line.
constexpr double BitsPerByte = 10;
// What the master may add to the wire and the answer delay per exchange.
constexpr double AllowanceMs = 15;
// Over loopback TCP, to the answer delay alone.
constexpr double NetworkAllowanceMs = 5;

QList<QJsonObject> journalEntries(const QString &path)
{
    QList<QJsonObject> entries;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return entries;
    for (const QByteArray &line : file.readAll().split('\n'))
        if (!line.trimmed().isEmpty())
            entries << QJsonDocument::fromJson(line).object();
    return entries;
}

int wireBytes(const QJsonObject &entry, const char *key)
{
    return QByteArray::fromHex(entry.value(QLatin1String(key)).toString().toLatin1()).size();
}

double gapMs(const QList<QJsonObject> &entries, int i)
{
    return entries.at(i + 1).value("ms").toDouble() - entries.at(i).value("ms").toDouble();
}

void pump(int ms)
{
    const QDeadlineTimer deadline(ms);
    while (!deadline.hasExpired())
        QApplication::processEvents(QEventLoop::AllEvents, 5);
}

// The window's frame log would bury the table.
void quietDebug(QtMsgType type, const QMessageLogContext &, const QString &message)
{
    if (type != QtDebugMsg)
        std::fprintf(stderr, "%s\n", qPrintable(message));
}

} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    qInstallMessageHandler(quietDebug);
    QCommandLineParser parser;
    parser.addHelpOption();
    parser.addOption({"baud", "Line speed the simulator paces its answers to.", "rate", "9600"});
    parser.addOption({"reply-delay", "The simulator's answer delay in ms.", "ms", "5"});
    parser.addOption({"frames", "Requests of the opening: version read and read-back.", "n", "12"});
    parser.addOption({"rounds", "Openings of each port.", "n", "3"});
    parser.process(app);
    const int baud = parser.value("baud").toInt();
    const int replyDelayMs = parser.value("reply-delay").toInt();
    const int frames = parser.value("frames").toInt();
    const int rounds = qMax(1, parser.value("rounds").toInt());

    // The window keeps its log, history and files in the working directory.
    QTemporaryDir work;
    QDir::setCurrent(work.path());
    // The ports it opens are remembered, in its own settings.
    qputenv("XDG_CONFIG_HOME", work.filePath("config").toLocal8Bit());
    const QString link = work.filePath("ttySim");
    const QString journal = work.filePath("journal.jsonl");

    QProcess sim;
    sim.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    sim.start(QStringLiteral(RADARFLOW_SIM_PATH),
              {"--link", link, "--journal", journal, "--seed", "1", "--baud", QString::number(baud),
               "--reply-delay", QString::number(replyDelayMs), "--tcp", "0", "--modbus-tcp", "0"});
    // The link, then the two network ports, each on a line once it is there.
    QStringList ports;
    while (ports.size() < 3 && sim.waitForReadyRead(5000))
        while (sim.canReadLine())
            ports << QString::fromUtf8(sim.readLine().trimmed());
    if (ports.size() < 3) {
        std::fprintf(stderr, "radarflow-sim did not start\n");
        return 1;
    }
    qputenv("RADARFLOW_PORTS", link.toLocal8Bit());

    // One window opens the three ports in turn; each opening is the same
    // version read and read-back.
    auto window = std::make_unique<MainWindow>();
    window->show();
    auto *portBox = window->findChild<QComboBox *>("comboBoxPort");
    auto *connectButton = window->findChild<QPushButton *>("pushButtonUartConnect");
    QList<QJsonObject> entries;
    // Where each opening's requests start in the journal, by port.
    QVector<QVector<int>> starts(ports.size());
    for (int run = 0; run < rounds * ports.size(); ++run) {
        const int port = run % ports.size();
        const int start = entries.size();
        portBox->setEditText(ports.at(port));
        connectButton->click();
        const QDeadlineTimer deadline(60000);
        while (entries.size() < start + frames && !deadline.hasExpired()) {
            pump(50);
            entries = journalEntries(journal);
        }
        pump(300);
        connectButton->click();
        entries = journalEntries(journal);
        if (entries.size() < start + frames) {
            std::fprintf(stderr, "only %d of %d requests in %s over %s\n",
                         int(entries.size() - start), frames, qPrintable(journal),
                         qPrintable(ports.at(port)));
            return 1;
        }
        starts[port] << start;
    }
    window.reset();
    sim.kill();
    sim.waitForFinished(5000);

    std::printf("Opening read-back against radarflow-sim at %d baud, answers after %d ms.\n\n",
                baud, replyDelayMs);
    std::printf("%-26s %8s %8s %8s %8s\n", "request", "out B", "back B", "wire ms", "gap ms");
    QVector<double> limits;
    QVector<double> wires;
    for (int i = 0; i + 1 < frames; ++i) {
        const QJsonObject &entry = entries.at(starts[0][0] + i);
        const int out = wireBytes(entry, "rx");
        const int back = wireBytes(entry, "tx");
        const double wireMs = (out + back) * BitsPerByte * 1000.0 / baud;
        const QJsonObject request = entry.value("request").toObject();
        const QString what = QStringLiteral("fc %1 start %2 count %3")
                                 .arg(request.value("function").toInt())
                                 .arg(request.value("start").toInt())
                                 .arg(request.value("count").toInt(1));
        std::printf("%-26s %8d %8d %8.1f %8.0f\n", qPrintable(what), out, back, wireMs,
                    gapMs(entries, starts[0][0] + i));
        wires << wireMs;
        limits << wireMs + replyDelayMs + AllowanceMs;
    }
    const auto medianGap = [&](int port) {
        QVector<double> portGaps;
        for (const int start : qAsConst(starts[port]))
            for (int i = start; i + 1 < start + frames; ++i)
                portGaps << gapMs(entries, i);
        return Median(portGaps);
    };
    const double gap = medianGap(0);
    const double wire = Median(wires);
    const double limit = Median(limits);
    const double total = entries.at(starts[0][0] + frames - 1).value("ms").toDouble() -
                         entries.at(starts[0][0]).value("ms").toDouble();
    std::printf("\nmedian gap %.0f ms over %d openings, median wire time %.1f ms, answer delay "
                "%d ms (gap / wire %.1f); the first %d requests in %.2f s\n",
                gap, rounds, wire, replyDelayMs, gap / wire, frames, total / 1000.0);
    bool met = gap <= limit;
    std::printf("Goal: median gap <= wire + answer delay + %.0f ms = %.1f ms: %s\n\n", AllowanceMs,
                limit, met ? "met" : "NOT met");

    std::printf("%-34s %14s %12s %s\n", "port", "median gap ms", "limit ms", "goal");
    std::printf("%-34s %14.1f %12.1f %s\n", "9600-baud pseudo-terminal", gap, limit,
                gap <= limit ? "met" : "NOT met");
    const double networkLimit = replyDelayMs + NetworkAllowanceMs;
    for (int run = 1; run < ports.size(); ++run) {
        const double networkGap = medianGap(run);
        met = met && networkGap <= networkLimit;
        std::printf("%-34s %14.1f %12.1f %s\n", qPrintable(ports.at(run)), networkGap, networkLimit,
                    networkGap <= networkLimit ? "met" : "NOT met");
    }
    std::printf("Goal over loopback TCP: median gap <= answer delay + %.0f ms\n",
                NetworkAllowanceMs);
    return met ? 0 : 2;
}
