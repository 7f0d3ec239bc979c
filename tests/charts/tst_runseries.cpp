// A run's samples behind a live chart: the series hold the shown slice, thinned
// to the plot's columns when zoomed out, and every sample stays reachable.
#include "chart.h"
#include "chartview.h"
#include "runseries.h"

#include <QDateTimeAxis>
#include <QLineSeries>
#include <QScatterSeries>
#include <QtTest>

#include <cmath>

using namespace QtCharts;

namespace {

const QDateTime kRunStart(QDate(2024, 5, 1), QTime(8, 0));
constexpr int kDay = 86400;

double wave(int i)
{
    return 1.5 + std::sin(i / 50.0) + 0.1 * std::sin(i * 1.7);
}

// A day at a 1 s poll from the run's start, with one sample set apart.
QVector<QPointF> day(int spikeAt = -1, double spike = 0)
{
    QVector<QPointF> points;
    points.reserve(kDay);
    const qint64 start = kRunStart.toMSecsSinceEpoch();
    for (int i = 0; i < kDay; ++i)
        points << QPointF(double(start + qint64(i) * 1000), i == spikeAt ? spike : wave(i));
    return points;
}

} // namespace

class tst_RunSeries : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void followsLiveWindow_data();
    void followsLiveWindow();
    void zoomedOutAndInOnADay_data();
    void zoomedOutAndInOnADay();
    void zoomedOutLiveKeepsPointCount();
    void newRun_data();
    void newRun();
    void keepsTimeOrder();

private:
    // The live charts' 20 s time window, as a run starts.
    void startWindow(const QDateTime &now) { axisX->setRange(now, now.addSecs(20)); }
    // A sample as the live charts take it: once the newest comes within a
    // tenth of the window of the right edge, the window scrolls to keep it 2 s
    // left of that edge.
    void appendLive(const QDateTime &now, double value);
    // Two points per pixel column and the neighbours of the range.
    int thinnedMost() const { return 2 * int(std::ceil(chart->plotArea().width())) + 4; }

    ChartView *view = nullptr;
    Chart *chart = nullptr;
    QLineSeries *line = nullptr;
    QScatterSeries *scatter = nullptr;
    QDateTimeAxis *axisX = nullptr;
    RunSeries *run = nullptr;
};

void tst_RunSeries::init()
{
    chart = new Chart();
    line = new QLineSeries(chart);
    scatter = new QScatterSeries(chart);
    axisX = new QDateTimeAxis(chart);
    chart->addAxis(axisX, Qt::AlignBottom);
    for (QXYSeries *series : {static_cast<QXYSeries *>(line), static_cast<QXYSeries *>(scatter)}) {
        chart->addSeries(series);
        series->attachAxis(axisX);
    }
    view = new ChartView(chart);
    view->resize(1000, 300);
    view->show();
    QVERIFY(QTest::qWaitForWindowExposed(view));
    QTRY_VERIFY(chart->plotArea().width() > 650);
    run = new RunSeries(line, scatter, axisX, chart);
    startWindow(kRunStart);
}

void tst_RunSeries::cleanup()
{
    delete view;
    view = nullptr;
}

void tst_RunSeries::appendLive(const QDateTime &now, double value)
{
    run->append(now.toMSecsSinceEpoch(), value);
    const qint64 span = axisX->min().secsTo(axisX->max());
    const qint64 lag = axisX->max().secsTo(now);
    if (lag >= -span / 10)
        chart->scroll(double(span / 10 + lag) * chart->plotArea().width() / double(span), 0);
}

void tst_RunSeries::followsLiveWindow_data()
{
    QTest::addColumn<int>("pollSeconds");
    QTest::addColumn<int>("samples");
    QTest::newRow("1 s poll") << 1 << 1500;
    QTest::newRow("2 s poll") << 2 << 800;
    QTest::newRow("30 s poll, longer than the window") << 30 << 200;
}

void tst_RunSeries::followsLiveWindow()
{
    QFETCH(int, pollSeconds);
    QFETCH(int, samples);

    for (int i = 1; i <= samples; ++i) {
        // A little jitter, as the poll's answers have.
        appendLive(kRunStart.addMSecs(qint64(i) * pollSeconds * 1000 + (i * 37) % 90), wave(i));

        // The newest samples without a gap, reaching past the window's left
        // edge so that the line runs on to it, and by no more than a few.
        const QVector<QPointF> shown = line->pointsVector();
        QCOMPARE(scatter->pointsVector(), shown);
        QCOMPARE(shown, run->points().mid(run->size() - shown.size()));
        const double minX = double(axisX->min().toMSecsSinceEpoch());
        const auto left = std::count_if(shown.cbegin(), shown.cend(),
                                        [&](const QPointF &p) { return p.x() < minX; });
        QVERIFY2(shown.size() == run->size() || (left >= 1 && left <= 10),
                 qPrintable(QString::number(left)));
    }
    QCOMPARE(run->size(), samples);

    // Zoomed out over the whole run, thinned or not, its first and newest samples are there.
    axisX->setRange(kRunStart, kRunStart.addSecs(samples * pollSeconds));
    const QVector<QPointF> shown = line->pointsVector();
    QCOMPARE(scatter->pointsVector(), shown);
    QVERIFY(shown.contains(run->at(0)) && shown.contains(run->at(samples - 1)));
}

void tst_RunSeries::zoomedOutAndInOnADay_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<double>("value");
    QTest::newRow("peak mid-run") << 43210 << 2.95;
    QTest::newRow("trough mid-run") << 43210 << 0.01;
    QTest::newRow("peak near the start") << 3 << 2.95;
    QTest::newRow("trough near the end") << 86398 << 0.01;
}

void tst_RunSeries::zoomedOutAndInOnADay()
{
    QFETCH(int, index);
    QFETCH(double, value);
    run->replace(day(index, value));

    axisX->setRange(kRunStart, kRunStart.addSecs(kDay - 1));
    const QVector<QPointF> shown = line->pointsVector();
    QVERIFY(shown.size() <= thinnedMost());
    QCOMPARE(scatter->pointsVector(), shown);
    // Each column keeps its lowest and highest sample, and the run's ends stay.
    QVERIFY(shown.contains(run->at(0)) && shown.contains(run->at(index)) &&
            shown.contains(run->at(kDay - 1)));

    // Ten minutes in the middle of the day: all 601 samples and one on each side.
    const QDateTime from = kRunStart.addSecs(43200);
    axisX->setRange(from, from.addSecs(600));
    QCOMPARE(line->pointsVector(), run->points().mid(43199, 603));
    QCOMPARE(scatter->pointsVector(), line->pointsVector());
}

void tst_RunSeries::zoomedOutLiveKeepsPointCount()
{
    // Zoomed out to six hours while the run goes on: the picture keeps its
    // number of points, so series animations morph it in place.
    run->replace(day());
    const QDateTime last = kRunStart.addSecs(kDay - 1);
    axisX->setRange(last.addSecs(-6 * 3600 + 2), last.addSecs(2));
    const int count = line->count();
    QVERIFY(count > 100 && count <= thinnedMost());
    for (int i = 1; i <= 120; ++i) {
        appendLive(last.addSecs(i), wave(kDay + i));
        QCOMPARE(line->count(), count);
        QCOMPARE(line->pointsVector().constLast(), run->at(run->size() - 1));
    }
}

void tst_RunSeries::newRun_data()
{
    QTest::addColumn<bool>("cleared");
    QTest::newRow("operator's start clears") << true;
    QTest::newRow("chained run keeps the samples") << false;
}

void tst_RunSeries::newRun()
{
    QFETCH(bool, cleared);
    for (int i = 0; i < 100; ++i)
        run->append(kRunStart.addSecs(i).toMSecsSinceEpoch(), wave(i));

    if (cleared)
        run->clear();
    startWindow(kRunStart.addSecs(100));
    const QDateTime now = kRunStart.addSecs(102);
    run->append(now.toMSecsSinceEpoch(), 0.5);

    // The new window: the new sample, and of a kept run the one left of the window.
    QCOMPARE(line->pointsVector().constLast(), QPointF(double(now.toMSecsSinceEpoch()), 0.5));
    QCOMPARE(line->count(), cleared ? 1 : 2);
    QCOMPARE(scatter->count(), line->count());
    // Zoomed out over both runs: a cleared run is gone for good.
    axisX->setRange(kRunStart, now);
    QCOMPARE(line->count(), cleared ? 1 : 101);
}

void tst_RunSeries::keepsTimeOrder()
{
    // A clock set back during a run still leaves the line in time order.
    const qint64 t0 = kRunStart.toMSecsSinceEpoch();
    for (int second : {0, 2, 1, 3})
        run->append(t0 + second * 1000, second);
    const QVector<QPointF> expected = {QPointF(t0, 0), QPointF(t0 + 1000, 1), QPointF(t0 + 2000, 2),
                                       QPointF(t0 + 3000, 3)};
    QCOMPARE(line->pointsVector(), expected);
    QCOMPARE(scatter->pointsVector(), expected);
}

QTEST_MAIN(tst_RunSeries)
#include "tst_runseries.moc"
