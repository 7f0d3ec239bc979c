// Cost of one live sample on the three live charts after a long run, the
// charts built exactly as the program builds them (ChartSetup), with the
// run's samples behind a RunSeries and, as the baseline, with every sample
// kept in the chart series themselves.
//
// Run without arguments it measures every configuration, each in a fresh
// process so that the resident memory is that configuration's alone, and
// prints a table. One configuration:
//   bench_livecharts --one --mode sliced|literal --size N --anim-ms MS
// MS -1 keeps the program's animations, 0 switches them off, any other value
// replaces their duration. --hidden measures the charts while they are not
// on screen (another tab, a minimised window).
#include "chart.h"
#include "chartsetup.h"
#include "chartview.h"
#include "runseries.h"

#include "paintcounter.h"

#include <QAbstractAnimation>
#include <QApplication>
#include <QBasicTimer>
#include <QCommandLineParser>
#include <QDateTime>
#include <QDateTimeAxis>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QLineSeries>
#include <QProcess>
#include <QScatterSeries>
#include <QTimer>
#include <QVBoxLayout>
#include <QValueAxis>

#include <cmath>
#include <cstdio>
#include <ctime>

using namespace QtCharts;

namespace {

double cpuSeconds()
{
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return double(now.tv_sec) + double(now.tv_nsec) / 1e9;
}

QString statusField(const char *name)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return QStringLiteral("?");
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith(name))
            return QString::fromLatin1(line.mid(int(qstrlen(name)))).simplified();
    return QStringLiteral("?");
}

double residentMiB(const char *field)
{
    return statusField(field).section(' ', 0, 0).toDouble() / 1024.0;
}

// Drives every animation of the program at a fixed frame rate instead of
// the default 60 per second: the same animations, fewer frames.
class PacedAnimationDriver : public QAnimationDriver
{
public:
    explicit PacedAnimationDriver(int framesPerSecond) : interval(1000 / framesPerSecond) {}
    // Time since the animations last started running, as the default driver counts it.
    qint64 elapsed() const override { return isRunning() ? clock.elapsed() : 0; }

protected:
    void start() override
    {
        clock.start();
        timer.start(interval, Qt::PreciseTimer, this);
        QAnimationDriver::start();
    }
    void stop() override
    {
        timer.stop();
        QAnimationDriver::stop();
    }
    void timerEvent(QTimerEvent *) override { advance(); }

private:
    int interval;
    QElapsedTimer clock;
    QBasicTimer timer;
};

struct LiveChart
{
    Chart *chart = nullptr;
    QLineSeries *line = nullptr;
    QScatterSeries *scatter = nullptr;
    QDateTimeAxis *axisX = nullptr;
    ChartView *view = nullptr;
    RunSeries *run = nullptr;
};

// One live chart as the main window builds it.
LiveChart makeLiveChart(const QString &title, double maxY, QWidget *parent, bool sliced,
                        int animationMs)
{
    LiveChart c;
    c.view = new ChartView(parent);
    const ChartSetup::Parts parts =
        ChartSetup::Live(QStringLiteral("时间"), title, maxY).Build(c.view);
    c.chart = parts.chart;
    c.line = parts.line;
    c.scatter = parts.scatter;
    c.axisX = qobject_cast<QDateTimeAxis *>(parts.axisX);
    if (animationMs == 0)
        c.chart->setAnimationOptions(QChart::NoAnimation);
    else if (animationMs > 0)
        c.chart->setAnimationDuration(animationMs);
    if (sliced)
        c.run = new RunSeries(c.line, c.scatter, c.axisX, c.chart);
    return c;
}

// The live charts' scroll rule: once the newest sample is within a tenth of
// the window of the right edge, the window moves so that it sits that tenth
// left of the edge.
void followNewest(LiveChart &c, const QDateTime &now)
{
    const qint64 span = c.axisX->min().secsTo(c.axisX->max());
    if (span <= 0)
        return;
    const qint64 step = span / 10;
    const qint64 lag = c.axisX->max().secsTo(now);
    if (lag >= -step)
        c.chart->scroll(double(step + lag) * c.chart->plotArea().width() / double(span), 0);
}

double sampleValue(int chart, qint64 i)
{
    const double scale[] = {1.0, 3.0, 3.0};
    return scale[chart] * (1.5 + std::sin(double(i) / 300.0) + 0.2 * std::sin(double(i) * 1.7));
}

void runEventLoopFor(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

int measureOne(const QString &mode, int size, int animationMs, int samples, int fps, bool hidden)
{
    // How long the animations that one sample starts take.
    const int frameMs = animationMs < 0 ? ChartSetup::AnimationMs : animationMs;
    PacedAnimationDriver paced(qMax(fps, 1));
    if (fps > 0)
        paced.install();
    const bool sliced = mode == QLatin1String("sliced");
    QWidget window;
    window.setWindowTitle(QStringLiteral("livecharts"));
    auto *layout = new QVBoxLayout(&window);
    LiveChart charts[3] = {
        makeLiveChart(QStringLiteral("流速(m/s)"), 3, &window, sliced, animationMs),
        makeLiveChart(QStringLiteral("水位(m)"), 10, &window, sliced, animationMs),
        makeLiveChart(QStringLiteral("流量(m³/s)"), 10, &window, sliced, animationMs),
    };
    PaintCounter counter;
    for (LiveChart &c : charts) {
        layout->addWidget(c.view);
        c.view->viewport()->installEventFilter(&counter);
    }
    window.resize(1366, 900);
    window.show();
    runEventLoopFor(200);

    // The run so far, one sample a second.
    const QDateTime start(QDate(2024, 5, 1), QTime(0, 0));
    const qint64 startMs = start.toMSecsSinceEpoch();
    QElapsedTimer loading;
    loading.start();
    for (int k = 0; k < 3; ++k) {
        QVector<QPointF> run;
        run.reserve(size);
        for (int i = 0; i < size; ++i)
            run << QPointF(double(startMs + qint64(i) * 1000), sampleValue(k, i));
        LiveChart &c = charts[k];
        const QDateTime newest = start.addSecs(size - 1);
        c.axisX->setRange(newest.addSecs(-18), newest.addSecs(2));
        if (c.run) {
            c.run->replace(run);
        } else {
            c.line->replace(run);
            c.scatter->replace(run);
        }
    }
    window.repaint();
    runEventLoopFor(frameMs + 300);
    if (hidden) {
        window.hide();
        runEventLoopFor(100);
    }
    const double loadSeconds = double(loading.elapsed()) / 1000.0;

    qint64 i = size;
    auto takeSample = [&]() {
        const QDateTime now = start.addSecs(i);
        for (int k = 0; k < 3; ++k) {
            LiveChart &c = charts[k];
            if (c.run) {
                c.run->append(now.toMSecsSinceEpoch(), sampleValue(k, i));
            } else {
                const QPointF point(double(now.toMSecsSinceEpoch()), sampleValue(k, i));
                c.line->append(point);
                c.scatter->append(point);
            }
        }
        for (LiveChart &c : charts)
            followNewest(c, now);
        if (frameMs > 0) {
            // The frames of the animations that the sample started.
            runEventLoopFor(frameMs + 50);
        } else {
            QCoreApplication::processEvents();
            window.repaint();
        }
        ++i;
    };

    takeSample(); // warm-up
    const int paintsBefore = counter.paints;
    const double cpuBefore = cpuSeconds();
    QElapsedTimer wall;
    wall.start();
    for (int s = 0; s < samples; ++s)
        takeSample();
    const double cpuPerSample = (cpuSeconds() - cpuBefore) / samples;
    const double wallPerSample = double(wall.elapsed()) / 1000.0 / samples;
    const double paintsPerSample = double(counter.paints - paintsBefore) / samples;

    int shown = charts[0].line->count();
    std::printf("RESULT mode=%s size=%d anim=%d hidden=%d cpu_ms=%.2f wall_ms=%.1f paints=%.1f "
                "rss_mib=%.1f hwm_mib=%.1f points=%d load_s=%.2f\n",
                qPrintable(mode), size, animationMs, int(hidden), cpuPerSample * 1000,
                wallPerSample * 1000, paintsPerSample, residentMiB("VmRSS:"), residentMiB("VmHWM:"),
                shown, loadSeconds);
    std::fflush(stdout);
    return 0;
}

struct Result
{
    QString mode;
    int size = 0;
    int anim = 0;
    bool hidden = false;
    QMap<QString, QString> fields;
};

QString animationText(int anim, bool hidden)
{
    if (anim < 0)
        return QStringLiteral("%1 %2ms").arg(hidden ? "hid" : "own").arg(ChartSetup::AnimationMs);
    return anim > 0 ? QStringLiteral("all %1ms").arg(anim) : QStringLiteral("none");
}

// One configuration in a process of its own; false if it gave no figures.
bool measureChild(Result *r, int timeoutSeconds)
{
    const int samples = r->anim != 0 ? 5 : 20;
    QStringList args = {
        QStringLiteral("--one"),  QStringLiteral("--mode"),    r->mode,
        QStringLiteral("--size"), QString::number(r->size),    QStringLiteral("--anim-ms"),
        QString::number(r->anim), QStringLiteral("--samples"), QString::number(samples)};
    if (r->hidden)
        args << QStringLiteral("--hidden");
    QProcess child;
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    child.start(QCoreApplication::applicationFilePath(), args);
    if (!child.waitForFinished(timeoutSeconds * 1000)) {
        child.kill();
        child.waitForFinished();
        std::printf("%-8s %6d %-11s   gave up after %d s\n", qPrintable(r->mode), r->size,
                    qPrintable(animationText(r->anim, r->hidden)), timeoutSeconds);
        return false;
    }
    QString line;
    for (const QString &out : QString::fromLocal8Bit(child.readAllStandardOutput()).split('\n'))
        if (out.startsWith(QLatin1String("RESULT ")))
            line = out;
    for (const QString &pair : line.mid(7).split(' ', Qt::SkipEmptyParts))
        r->fields.insert(pair.section('=', 0, 0), pair.section('=', 1));
    std::printf(
        "%-8s %6d %-11s %10s %10s %8s %9s %9s %8s\n", qPrintable(r->mode), r->size,
        qPrintable(animationText(r->anim, r->hidden)), qPrintable(r->fields.value("cpu_ms", "?")),
        qPrintable(r->fields.value("wall_ms", "?")), qPrintable(r->fields.value("paints", "?")),
        qPrintable(r->fields.value("rss_mib", "?")), qPrintable(r->fields.value("hwm_mib", "?")),
        qPrintable(r->fields.value("points", "?")));
    std::fflush(stdout);
    return !line.isEmpty();
}

int measureAll(int literalMax, int timeoutSeconds, const QList<int> &animations)
{
    const QList<int> sizes = {1000, 10000, 86400};
    QList<Result> results;
    std::printf("Three live charts, one sample a second; CPU per sample includes the frames "
                "of the animations it starts.\nPlatform: %s. Animations \"own\" are the "
                "program's, \"hid\" the same while the charts are not on screen.\n\n",
                qPrintable(QGuiApplication::platformName()));
    std::printf("%-8s %6s %-11s %10s %10s %8s %9s %9s %8s\n", "build", "run", "animations",
                "cpu ms", "wall ms", "paints", "RSS MiB", "peak MiB", "points");
    for (int anim : animations) {
        for (const QString &mode : {QStringLiteral("sliced"), QStringLiteral("literal")}) {
            for (int size : sizes) {
                if (mode == QLatin1String("literal") && size > literalMax) {
                    std::printf("%-8s %6d %-11s   skipped (literal build capped at %d samples)\n",
                                qPrintable(mode), size, qPrintable(animationText(anim, false)),
                                literalMax);
                    continue;
                }
                Result r{mode, size, anim, false, {}};
                if (measureChild(&r, timeoutSeconds))
                    results << r;
            }
        }
    }
    if (animations.contains(-1)) {
        for (int size : {1000, 86400}) {
            Result r{QStringLiteral("sliced"), size, -1, true, {}};
            measureChild(&r, timeoutSeconds);
        }
    }

    const auto find = [&](int anim, int size) {
        for (const Result &r : results)
            if (r.mode == QLatin1String("sliced") && r.anim == anim && r.size == size)
                return r.fields;
        return QMap<QString, QString>();
    };
    std::printf("\nGoal for the sliced build: cost at 86400 <= 1.5 x cost at 1000, <= 50 ms "
                "CPU per sample, < 150 MiB resident.\n");
    for (int anim : animations) {
        const double at1000 = find(anim, 1000).value("cpu_ms", "-1").toDouble();
        const double at86400 = find(anim, 86400).value("cpu_ms", "-1").toDouble();
        const double rss = find(anim, 86400).value("rss_mib", "-1").toDouble();
        if (at1000 <= 0 || at86400 < 0)
            continue;
        const bool met = at86400 <= 1.5 * at1000 && at86400 <= 50 && rss < 150;
        std::printf("animations %-9s: %.2f ms at 1000, %.2f ms at 86400 (x%.2f), %.1f MiB: %s\n",
                    qPrintable(animationText(anim, false)), at1000, at86400, at86400 / at1000, rss,
                    met ? "met" : "NOT met");
    }
    if (animations.contains(-1)) {
        const double at1000 = find(-1, 1000).value("cpu_ms", "-1").toDouble();
        const double at86400 = find(-1, 86400).value("cpu_ms", "-1").toDouble();
        const double rss = qMax(find(-1, 1000).value("rss_mib", "999").toDouble(),
                                find(-1, 86400).value("rss_mib", "999").toDouble());
        const bool met = at1000 >= 0 && at86400 >= 0 && at1000 <= 50 && at86400 <= 50 && rss < 150;
        std::printf("\nGoal for the program's live charts, animations on (%d ms): <= 50 ms CPU "
                    "per sample at 1000 and at 86400 samples, < 150 MiB resident.\n"
                    "%.2f ms at 1000, %.2f ms at 86400, %.1f MiB: %s\n",
                    ChartSetup::AnimationMs, at1000, at86400, rss, met ? "met" : "NOT met");
    }
    return 0;
}

} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);

    QCommandLineParser parser;
    parser.addHelpOption();
    parser.addOption({"one", "Measure one configuration."});
    parser.addOption({"mode", "sliced or literal.", "mode", "sliced"});
    parser.addOption({"size", "Samples already in the run.", "n", "1000"});
    parser.addOption({"anim-ms", "Animation duration: -1 the program's, 0 none.", "ms", "-1"});
    parser.addOption({"hidden", "Measure while the charts are not on screen."});
    parser.addOption({"samples", "Samples measured.", "n", "5"});
    parser.addOption({"literal-max", "Largest run measured for the literal build.", "n", "86400"});
    parser.addOption({"fps", "Animation frames per second (0: Qt's default of 60).", "n", "0"});
    parser.addOption({"timeout", "Seconds one configuration may take.", "s", "150"});
    parser.addOption(
        {"animations",
         "Comma-separated animation durations to measure (-1: the program's, 0: none).", "list",
         "-1,1000,0"});
    parser.process(app);

    if (parser.isSet("one"))
        return measureOne(parser.value("mode"), parser.value("size").toInt(),
                          parser.value("anim-ms").toInt(), parser.value("samples").toInt(),
                          parser.value("fps").toInt(), parser.isSet("hidden"));

    QList<int> animations;
    for (const QString &ms : parser.value("animations").split(',', Qt::SkipEmptyParts))
        animations << ms.toInt();
    return measureAll(parser.value("literal-max").toInt(), parser.value("timeout").toInt(),
                      animations);
}
