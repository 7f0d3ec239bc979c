// A run's samples behind a live chart: the series hold the shown slice, thinned
// when zoomed out, and every sample stays reachable.
#include "chart.h"
#include "chartview.h"
#include "runseries.h"

#include <QDateTimeAxis>
#include <QLineSeries>
#include <QScatterSeries>
#include <QValueAxis>
#include <QtTest>

#include <cmath>

using namespace QtCharts;

namespace {

const QDateTime kRunStart(QDate(2024, 5, 1), QTime(8, 0));

// Where the live charts keep the newest sample: 2 s left of the right edge
// once it comes within a tenth of the window of it.
void followNewest(QChart *chart, QDateTimeAxis *axis, const QDateTime &now)
{
    const qint64 span = axis->min().secsTo(axis->max());
    if (span <= 0)
        return;
    const qint64 step = span / 10;
    const qint64 lag = axis->max().secsTo(now);
    if (lag >= -step)
        chart->scroll(double(step + lag) * chart->plotArea().width() / double(span), 0);
}

double wave(int i)
{
    return 1.5 + std::sin(i / 50.0) + 0.1 * std::sin(i * 1.7);
}

bool holds(const QXYSeries *series, QPointF point)
{
    const QVector<QPointF> points = series->pointsVector();
    return std::any_of(points.cbegin(), points.cend(),
                       [&](const QPointF &p) { return p.x() == point.x() && p.y() == point.y(); });
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
    void zoomedOutReachesFirstAndNewest();
    void peaksSurviveThinning_data();
    void peaksSurviveThinning();
    void zoomInShowsEverySample();
    void zoomedOutLiveKeepsPointCount();
    void newRun_data();
    void newRun();
    void keepsTimeOrder();

private:
    void resetTimeAxis(const QDateTime &now) { axisX->setRange(now, now.addSecs(20)); }
    void loadDay(int spikeAt = -1, double spike = 0);
    // The samples whose time lies inside the axis range.
    QVector<QPointF> inside() const;

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
    scatter->setMarkerSize(8);
    chart->addSeries(line);
    chart->addSeries(scatter);
    axisX = new QDateTimeAxis(chart);
    axisX->setTickCount(5);
    axisX->setFormat("HH:mm:ss");
    chart->addAxis(axisX, Qt::AlignBottom);
    line->attachAxis(axisX);
    scatter->attachAxis(axisX);
    auto *axisY = new QValueAxis(chart);
    chart->addAxis(axisY, Qt::AlignLeft);
    axisY->setRange(0, 3);
    line->attachAxis(axisY);
    scatter->attachAxis(axisY);
    chart->legend()->hide();
    // Animations only move the drawing; what the series hold is the same.
    chart->setAnimationOptions(QChart::NoAnimation);

    view = new ChartView(chart);
    view->resize(800, 300);
    view->show();
    QVERIFY(QTest::qWaitForWindowExposed(view));
    QTRY_VERIFY(chart->plotArea().width() > 500);

    run = new RunSeries(line, scatter, axisX, chart);
    resetTimeAxis(kRunStart);
}

void tst_RunSeries::cleanup()
{
    delete view;
    view = nullptr;
}

QVector<QPointF> tst_RunSeries::inside() const
{
    const double minX = double(axisX->min().toMSecsSinceEpoch());
    const double maxX = double(axisX->max().toMSecsSinceEpoch());
    QVector<QPointF> points;
    for (const QPointF &p : run->points())
        if (p.x() >= minX && p.x() <= maxX)
            points << p;
    return points;
}

void tst_RunSeries::loadDay(int spikeAt, double spike)
{
    QVector<QPointF> day;
    day.reserve(86400);
    const qint64 start = kRunStart.toMSecsSinceEpoch();
    for (int i = 0; i < 86400; ++i)
        day << QPointF(double(start + qint64(i) * 1000), i == spikeAt ? spike : wave(i));
    run->replace(day);
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
        const QDateTime now = kRunStart.addMSecs(qint64(i) * pollSeconds * 1000 + (i * 37) % 90);
        run->append(now.toMSecsSinceEpoch(), wave(i));
        followNewest(chart, axisX, now);

        const QVector<QPointF> shown = line->pointsVector();
        const QVector<QPointF> visible = inside();
        QCOMPARE(scatter->pointsVector(), shown);
        QVERIFY(!shown.isEmpty());
        QCOMPARE(shown.constLast(), run->at(run->size() - 1));
        // Every sample in the window is there, in order, and little else.
        const int at = shown.indexOf(visible.constFirst());
        QVERIFY(at >= 0);
        QCOMPARE(shown.mid(at, visible.size()), visible);
        QVERIFY2(shown.size() <= visible.size() + 10, qPrintable(QString::number(shown.size())));
    }
    QCOMPARE(run->size(), samples);
    // The newest sample stays 2 s left of the right edge.
    QVERIFY(qAbs(axisX->max().toMSecsSinceEpoch() - run->at(samples - 1).x() - 2000) < 1000);
}

void tst_RunSeries::zoomedOutReachesFirstAndNewest()
{
    // A day at a 1 s poll, the first sample set apart so that its marker
    // stands alone; the last hour of it taken live.
    loadDay(0, 2.8);
    const QVector<QPointF> day = run->points();
    run->replace(day.mid(0, 86400 - 3600));
    resetTimeAxis(kRunStart.addSecs(86400 - 3600 - 18));
    for (int i = 86400 - 3600; i < 86400; ++i) {
        run->append(qint64(day.at(i).x()), day.at(i).y());
        followNewest(chart, axisX, QDateTime::fromMSecsSinceEpoch(qint64(day.at(i).x())));
    }
    QCOMPARE(run->size(), 86400);
    QVERIFY(line->count() < 40);

    axisX->setRange(kRunStart, kRunStart.addSecs(86399));
    const QPointF firstSample = run->at(0);
    const QPointF newest = run->at(86399);
    QVERIFY(line->count() <= 2 * int(chart->plotArea().width()) + 2);
    QCOMPARE(scatter->pointsVector(), line->pointsVector());
    QVERIFY(holds(scatter, firstSample));
    QVERIFY(holds(scatter, newest));
    QCOMPARE(firstSample, QPointF(double(kRunStart.toMSecsSinceEpoch()), 2.8));

    // Hovering its marker reports the sample itself.
    QPointF hovered;
    connect(scatter, &QScatterSeries::hovered, this, [&](const QPointF &point, bool state) {
        if (state)
            hovered = point;
    });
    const QPoint at = view->mapFromScene(chart->mapToPosition(firstSample, scatter));
    QMouseEvent move(QEvent::MouseMove, at, view->viewport()->mapToGlobal(at), Qt::NoButton,
                     Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(view->viewport(), &move);
    QCOMPARE(hovered, firstSample);
    QCOMPARE(hovered.x(), firstSample.x());
}

void tst_RunSeries::peaksSurviveThinning_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<double>("value");
    QTest::newRow("peak mid-run") << 43210 << 2.95;
    QTest::newRow("trough mid-run") << 43210 << 0.01;
    QTest::newRow("peak near the start") << 3 << 2.95;
    QTest::newRow("trough near the end") << 86398 << 0.01;
}

void tst_RunSeries::peaksSurviveThinning()
{
    QFETCH(int, index);
    QFETCH(double, value);
    loadDay(index, value);

    axisX->setRange(kRunStart, kRunStart.addSecs(86399));
    QVERIFY(line->count() <= 2 * int(chart->plotArea().width()) + 2);
    QVERIFY(holds(line, run->at(index)));
    QVERIFY(holds(scatter, run->at(index)));
    // Each column keeps its extremes, so the envelope of the day survives.
    const QVector<QPointF> shown = line->pointsVector();
    const auto [low, high] =
        std::minmax_element(shown.cbegin(), shown.cend(),
                            [](const QPointF &a, const QPointF &b) { return a.y() < b.y(); });
    double dayLow = 10;
    double dayHigh = -10;
    for (const QPointF &p : run->points()) {
        dayLow = qMin(dayLow, p.y());
        dayHigh = qMax(dayHigh, p.y());
    }
    QCOMPARE(low->y(), dayLow);
    QCOMPARE(high->y(), dayHigh);
}

void tst_RunSeries::zoomInShowsEverySample()
{
    loadDay();
    axisX->setRange(kRunStart, kRunStart.addSecs(86399));
    QVERIFY(line->count() < 2000);

    // Ten minutes in the middle of the day: all 601 samples and one on each side.
    const QDateTime from = kRunStart.addSecs(43200);
    axisX->setRange(from, from.addSecs(600));
    QCOMPARE(line->count(), 603);
    QCOMPARE(line->pointsVector(), run->points().mid(43199, 603));
    QCOMPARE(scatter->pointsVector(), line->pointsVector());
}

void tst_RunSeries::zoomedOutLiveKeepsPointCount()
{
    // Zoomed out to six hours while the run goes on: the picture keeps its
    // number of points, so series animations morph it in place.
    loadDay();
    const QDateTime last = kRunStart.addSecs(86399);
    axisX->setRange(last.addSecs(-6 * 3600 + 2), last.addSecs(2));
    const int count = line->count();
    QVERIFY(count > 100 && count <= 2 * int(chart->plotArea().width()) + 2);
    for (int i = 1; i <= 120; ++i) {
        const QDateTime now = last.addSecs(i);
        run->append(now.toMSecsSinceEpoch(), wave(86400 + i));
        followNewest(chart, axisX, now);
        QCOMPARE(line->count(), count);
        QVERIFY(holds(line, run->at(run->size() - 1)));
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

    const QDateTime restart = kRunStart.addSecs(100);
    if (cleared)
        run->clear();
    resetTimeAxis(restart);
    const QDateTime now = restart.addSecs(2);
    run->append(now.toMSecsSinceEpoch(), 0.5);

    const QPointF newest(double(now.toMSecsSinceEpoch()), 0.5);
    QCOMPARE(run->size(), cleared ? 1 : 101);
    QCOMPARE(line->pointsVector().constLast(), newest);
    QCOMPARE(line->count(), cleared ? 1 : 2); // with the sample left of the window
    QCOMPARE(scatter->count(), line->count());

    axisX->setRange(kRunStart, now);
    QCOMPARE(line->count(), cleared ? 1 : 101);
    QCOMPARE(line->pointsVector().constFirst(), run->at(0));
}

void tst_RunSeries::keepsTimeOrder()
{
    // A clock set back during a run still leaves the line in time order.
    const qint64 t0 = kRunStart.toMSecsSinceEpoch();
    run->append(t0, 1.0);
    run->append(t0 + 2000, 2.0);
    run->append(t0 + 1000, 1.5);
    run->append(t0 + 3000, 2.5);
    const QVector<QPointF> expected = {QPointF(t0, 1.0), QPointF(t0 + 1000, 1.5),
                                       QPointF(t0 + 2000, 2.0), QPointF(t0 + 3000, 2.5)};
    QCOMPARE(run->points(), expected);
    QCOMPARE(line->pointsVector(), expected);
    QCOMPARE(scatter->pointsVector(), expected);
}

QTEST_MAIN(tst_RunSeries)
#include "tst_runseries.moc"
