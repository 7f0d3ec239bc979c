// Cost of one live sample on the three live charts after a long run, with the
// run's samples behind a RunSeries and, as the baseline, with every sample
// kept in the chart series themselves.
//
// Run without arguments it measures every configuration, each in a fresh
// process so that the resident memory is that configuration's alone, and
// prints a table. One configuration:
//   bench_livecharts --one --mode sliced|literal --size N --anim-ms MS (0: no animations)
#include "chart.h"
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
    c.chart = new Chart();
    c.line = new QLineSeries(c.chart);
    c.scatter = new QScatterSeries(c.chart);
    c.scatter->setMarkerSize(8);
    QColor colour(32, 159, 223);
    colour.setAlpha(255);
    c.scatter->setColor(colour);
    c.chart->addSeries(c.line);
    c.chart->addSeries(c.scatter);

    QFont titleFont(QStringLiteral("ADMU13Lg"), 11);
    c.axisX = new QDateTimeAxis(c.chart);
    c.axisX->setTickCount(5);
    c.axisX->setFormat(QStringLiteral("HH:mm:ss"));
    c.axisX->setTitleText(QStringLiteral("时间"));
    c.axisX->setTitleFont(titleFont);
    c.chart->addAxis(c.axisX, Qt::AlignBottom);
    c.line->attachAxis(c.axisX);
    c.scatter->attachAxis(c.axisX);

    auto *axisY = new QValueAxis(c.chart);
    axisY->setTitleFont(titleFont);
    axisY->setTitleText(title);
    c.chart->addAxis(axisY, Qt::AlignLeft);
    axisY->setRange(0, maxY);
    c.line->attachAxis(axisY);
    c.scatter->attachAxis(axisY);

    c.chart->legend()->hide();
    c.chart->setAnimationOptions(animationMs > 0 ? QChart::AllAnimations : QChart::NoAnimation);
    if (animationMs > 0)
        c.chart->setAnimationDuration(animationMs);

    c.view = new ChartView(parent);
    QChart *placeholder = c.view->chart();
    c.view->setChart(c.chart);
    delete placeholder;
    c.view->setRenderHint(QPainter::Antialiasing);

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

int measureOne(const QString &mode, int size, int animationMs, int samples, int fps)
{
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
    runEventLoopFor(qMax(animationMs, 0) + 300);
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
        if (animationMs > 0) {
            // The frames of the animations that the sample started.
            runEventLoopFor(animationMs + 50);
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
    std::printf("RESULT mode=%s size=%d anim=%d cpu_ms=%.2f wall_ms=%.1f paints=%.1f "
                "rss_mib=%.1f hwm_mib=%.1f points=%d load_s=%.2f\n",
                qPrintable(mode), size, animationMs, cpuPerSample * 1000, wallPerSample * 1000,
                paintsPerSample, residentMiB("VmRSS:"), residentMiB("VmHWM:"), shown, loadSeconds);
    std::fflush(stdout);
    return 0;
}

struct Result
{
    QString mode;
    int size = 0;
    int anim = 0;
    QMap<QString, QString> fields;
    QString note;
};

int measureAll(int literalMax, int timeoutSeconds, const QList<int> &animations)
{
    const QList<int> sizes = {1000, 10000, 86400};
    QList<Result> results;
    std::printf("Three live charts, one sample a second; CPU per sample includes the frames "
                "of the animations it starts.\nPlatform: %s\n\n",
                qPrintable(QGuiApplication::platformName()));
    std::printf("%-8s %6s %-10s %10s %10s %8s %9s %9s %8s\n", "build", "run", "animations",
                "cpu ms", "wall ms", "paints", "RSS MiB", "peak MiB", "points");
    for (int anim : animations) {
        for (const QString &mode : {QStringLiteral("sliced"), QStringLiteral("literal")}) {
            for (int size : sizes) {
                Result r{mode, size, anim, {}, {}};
                const QString animText =
                    anim > 0 ? QStringLiteral("all %1ms").arg(anim) : QStringLiteral("none");
                if (mode == QLatin1String("literal") && size > literalMax) {
                    std::printf("%-8s %6d %-10s   skipped (literal build capped at %d samples)\n",
                                qPrintable(mode), size, qPrintable(animText), literalMax);
                    std::fflush(stdout);
                    continue;
                }
                const int samples = anim > 0 ? 5 : 20;
                QProcess child;
                child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
                child.start(QCoreApplication::applicationFilePath(),
                            {QStringLiteral("--one"), QStringLiteral("--mode"), mode,
                             QStringLiteral("--size"), QString::number(size),
                             QStringLiteral("--anim-ms"), QString::number(anim),
                             QStringLiteral("--samples"), QString::number(samples)});
                QString line;
                if (!child.waitForFinished(timeoutSeconds * 1000)) {
                    child.kill();
                    child.waitForFinished();
                    std::printf("%-8s %6d %-10s   gave up after %d s\n", qPrintable(mode), size,
                                qPrintable(animText), timeoutSeconds);
                    std::fflush(stdout);
                    continue;
                }
                for (const QString &out :
                     QString::fromLocal8Bit(child.readAllStandardOutput()).split('\n'))
                    if (out.startsWith(QLatin1String("RESULT ")))
                        line = out;
                for (const QString &pair : line.mid(7).split(' ', Qt::SkipEmptyParts))
                    r.fields.insert(pair.section('=', 0, 0), pair.section('=', 1));
                std::printf("%-8s %6d %-10s %10s %10s %8s %9s %9s %8s\n", qPrintable(mode), size,
                            qPrintable(animText), qPrintable(r.fields.value("cpu_ms", "?")),
                            qPrintable(r.fields.value("wall_ms", "?")),
                            qPrintable(r.fields.value("paints", "?")),
                            qPrintable(r.fields.value("rss_mib", "?")),
                            qPrintable(r.fields.value("hwm_mib", "?")),
                            qPrintable(r.fields.value("points", "?")));
                std::fflush(stdout);
                results << r;
            }
        }
    }

    std::printf("\nGoal for the sliced build: cost at 86400 <= 1.5 x cost at 1000, <= 50 ms "
                "CPU per sample, < 150 MiB resident.\n");
    for (int anim : animations) {
        double at1000 = -1;
        double at86400 = -1;
        double rss = -1;
        for (const Result &r : results) {
            if (r.mode != QLatin1String("sliced") || r.anim != anim)
                continue;
            if (r.size == 1000)
                at1000 = r.fields.value("cpu_ms").toDouble();
            if (r.size == 86400) {
                at86400 = r.fields.value("cpu_ms").toDouble();
                rss = r.fields.value("rss_mib").toDouble();
            }
        }
        if (at1000 <= 0 || at86400 < 0)
            continue;
        const bool met = at86400 <= 1.5 * at1000 && at86400 <= 50 && rss < 150;
        std::printf("animations %-9s: %.2f ms at 1000, %.2f ms at 86400 (x%.2f), %.1f MiB: %s\n",
                    anim > 0 ? qPrintable(QStringLiteral("%1ms").arg(anim)) : "none", at1000,
                    at86400, at86400 / at1000, rss, met ? "met" : "NOT met");
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
    parser.addOption({"anim-ms", "Animation duration, 0 for none.", "ms", "1000"});
    parser.addOption({"samples", "Samples measured.", "n", "5"});
    parser.addOption({"literal-max", "Largest run measured for the literal build.", "n", "86400"});
    parser.addOption({"fps", "Animation frames per second (0: Qt's default of 60).", "n", "0"});
    parser.addOption({"timeout", "Seconds one configuration may take.", "s", "150"});
    parser.addOption({"animations", "Comma-separated animation durations to measure (0: none).",
                      "list", "1000,0"});
    parser.process(app);

    if (parser.isSet("one"))
        return measureOne(parser.value("mode"), parser.value("size").toInt(),
                          parser.value("anim-ms").toInt(), parser.value("samples").toInt(),
                          parser.value("fps").toInt());

    QList<int> animations;
    for (const QString &ms : parser.value("animations").split(',', Qt::SkipEmptyParts))
        animations << ms.toInt();
    return measureAll(parser.value("literal-max").toInt(), parser.value("timeout").toInt(),
                      animations);
}
