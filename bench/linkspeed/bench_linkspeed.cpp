// How fast the read-back on opening runs against an instrument on a 9600-baud
// line that answers after 5 ms: the gaps between consecutive requests, taken
// from the simulator's journal, beside the time the line itself needs for
// each exchange. A master that closes a frame as soon as the answer is whole
// cycles at the wire's speed; one that waits for the line to fall quiet adds
// that quiet time to every exchange.
//   bench_linkspeed [--baud 9600] [--reply-delay 5] [--frames 12]
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
    parser.process(app);
    const int baud = parser.value("baud").toInt();
    const int replyDelayMs = parser.value("reply-delay").toInt();
    const int frames = parser.value("frames").toInt();

    // The window keeps its log, history and files in the working directory.
    QTemporaryDir work;
    QDir::setCurrent(work.path());
    const QString link = work.filePath("ttySim");
    const QString journal = work.filePath("journal.jsonl");

    QProcess sim;
    sim.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    sim.start(QStringLiteral(RADARFLOW_SIM_PATH),
              {"--link", link, "--journal", journal, "--seed", "1", "--baud", QString::number(baud),
               "--reply-delay", QString::number(replyDelayMs)});
    // The first line is the link, printed once the port is there.
    if (!sim.waitForStarted(5000) || !sim.waitForReadyRead(5000)) {
        std::fprintf(stderr, "radarflow-sim did not start\n");
        return 1;
    }
    qputenv("RADARFLOW_PORTS", link.toLocal8Bit());

    auto window = std::make_unique<MainWindow>();
    window->show();
    auto *ports = window->findChild<QComboBox *>("comboBoxPort");
    ports->setCurrentIndex(ports->findText(link));
    window->findChild<QPushButton *>("pushButtonUartConnect")->click();

    const QDeadlineTimer deadline(60000);
    QList<QJsonObject> entries;
    while (entries.size() < frames && !deadline.hasExpired()) {
        pump(50);
        entries = journalEntries(journal);
    }
    pump(300);
    window.reset();
    sim.kill();
    sim.waitForFinished(5000);
    if (entries.size() < frames) {
        std::fprintf(stderr, "only %d of %d requests in %s\n", int(entries.size()), frames,
                     qPrintable(journal));
        return 1;
    }

    std::printf("Opening read-back against radarflow-sim at %d baud, answers after %d ms.\n\n",
                baud, replyDelayMs);
    std::printf("%-26s %8s %8s %8s %8s\n", "request", "out B", "back B", "wire ms", "gap ms");
    QVector<double> gaps;
    QVector<double> limits;
    QVector<double> wires;
    for (int i = 0; i + 1 < frames; ++i) {
        const QJsonObject &entry = entries.at(i);
        const int out = wireBytes(entry, "rx");
        const int back = wireBytes(entry, "tx");
        const double wireMs = (out + back) * BitsPerByte * 1000.0 / baud;
        const double gapMs =
            entries.at(i + 1).value("ms").toDouble() - entry.value("ms").toDouble();
        const QJsonObject request = entry.value("request").toObject();
        const QString what = QStringLiteral("fc %1 start %2 count %3")
                                 .arg(request.value("function").toInt())
                                 .arg(request.value("start").toInt())
                                 .arg(request.value("count").toInt(1));
        std::printf("%-26s %8d %8d %8.1f %8.0f\n", qPrintable(what), out, back, wireMs, gapMs);
        gaps << gapMs;
        wires << wireMs;
        limits << wireMs + replyDelayMs + AllowanceMs;
    }
    const double gap = Median(gaps);
    const double wire = Median(wires);
    const double limit = Median(limits);
    const double total =
        entries.at(frames - 1).value("ms").toDouble() - entries.at(0).value("ms").toDouble();
    std::printf("\nmedian gap %.0f ms, median wire time %.1f ms, answer delay %d ms "
                "(gap / wire %.1f); %d requests in %.2f s\n",
                gap, wire, replyDelayMs, gap / wire, frames, total / 1000.0);
    const bool met = gap <= limit;
    std::printf("Goal: median gap <= wire + answer delay + %.0f ms = %.1f ms: %s\n", AllowanceMs,
                limit, met ? "met" : "NOT met");
    return met ? 0 : 2;
}
