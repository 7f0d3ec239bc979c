// The chart view: rubber-band zoom of the time range, keyboard zoom and scroll,
// and touch sequences that keep the mouse from zooming.
#include "chart.h"
#include "chartview.h"

#include <QGraphicsRectItem>
#include <QKeyEvent>
#include <QLineSeries>
#include <QTouchEvent>
#include <QValueAxis>
#include <QtTest>

using namespace QtCharts;

namespace {

// A focusable item of the scene that notes the keys the view passes on.
class KeyRecorder : public QGraphicsRectItem
{
public:
    KeyRecorder() : QGraphicsRectItem(0, 0, 5, 5) { setFlag(ItemIsFocusable); }
    QList<int> keys;

protected:
    void keyPressEvent(QKeyEvent *event) override { keys << event->key(); }
};

} // namespace

class tst_ChartView : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void horizontalRubberBand_data();
    void horizontalRubberBand();
    void keys_data();
    void keys();
    void otherKeysReachTheScene();
    void releaseLeavesSeriesAnimations_data();
    void releaseLeavesSeriesAnimations();
    void dragZoomsTimeRange_data();
    void dragZoomsTimeRange();

private:
    void mouse(QEvent::Type type, QPoint pos, Qt::MouseButton button, Qt::MouseButtons buttons);
    void touchBegin();

    ChartView *view = nullptr;
    Chart *chart = nullptr;
    QValueAxis *axisX = nullptr;
    QValueAxis *axisY = nullptr;
    QTouchDevice *touchScreen = QTest::createTouchDevice();
};

void tst_ChartView::init()
{
    chart = new Chart();
    auto *series = new QLineSeries(chart);
    series->append(0, 0);
    series->append(100, 100);
    chart->addSeries(series);
    axisX = new QValueAxis(chart);
    axisY = new QValueAxis(chart);
    chart->addAxis(axisX, Qt::AlignBottom);
    chart->addAxis(axisY, Qt::AlignLeft);
    series->attachAxis(axisX);
    series->attachAxis(axisY);
    axisX->setRange(0, 100);
    axisY->setRange(0, 100);
    chart->legend()->hide();
    chart->setAnimationOptions(QChart::NoAnimation);

    view = new ChartView(chart);
    view->resize(600, 400);
    view->show();
    QVERIFY(QTest::qWaitForWindowExposed(view));
    QTRY_VERIFY(chart->plotArea().width() > 100);
}

void tst_ChartView::cleanup()
{
    delete view;
    view = nullptr;
}

void tst_ChartView::mouse(QEvent::Type type, QPoint pos, Qt::MouseButton button,
                          Qt::MouseButtons buttons)
{
    QMouseEvent event(type, pos, view->viewport()->mapToGlobal(pos), button, buttons,
                      Qt::NoModifier);
    QApplication::sendEvent(view->viewport(), &event);
}

void tst_ChartView::touchBegin()
{
    QTouchEvent::TouchPoint point(0);
    point.setState(Qt::TouchPointPressed);
    point.setPos(chart->plotArea().center());
    QTouchEvent event(QEvent::TouchBegin, touchScreen, Qt::NoModifier, Qt::TouchPointPressed,
                      {point});
    QApplication::sendEvent(view->viewport(), &event);
}

void tst_ChartView::horizontalRubberBand_data()
{
    QTest::addColumn<bool>("fromForm");
    QTest::newRow("made by the form") << true;
    QTest::newRow("made with a chart") << false;
}

void tst_ChartView::horizontalRubberBand()
{
    QFETCH(bool, fromForm);
    QWidget parent;
    ChartView *made = fromForm ? new ChartView(&parent) : new ChartView(new Chart(), &parent);
    QCOMPARE(made->rubberBand(), QChartView::HorizontalRubberBand);
}

void tst_ChartView::keys_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<QRectF>("range"); // x range left/right, y range top (min)/bottom (max)

    // Scroll steps are 10 pixels of the plot; zoom keeps the plot's centre.
    QTest::newRow("plus zooms in") << int(Qt::Key_Plus) << QRectF(25, 25, 50, 50);
    QTest::newRow("minus zooms out") << int(Qt::Key_Minus) << QRectF(-50, -50, 200, 200);
    QTest::newRow("left") << int(Qt::Key_Left) << QRectF(-10, 0, 100, 100);
    QTest::newRow("right") << int(Qt::Key_Right) << QRectF(10, 0, 100, 100);
    QTest::newRow("up") << int(Qt::Key_Up) << QRectF(0, 10, 100, 100);
    QTest::newRow("down") << int(Qt::Key_Down) << QRectF(0, -10, 100, 100);
    QTest::newRow("other key") << int(Qt::Key_A) << QRectF(0, 0, 100, 100);
}

void tst_ChartView::keys()
{
    QFETCH(int, key);
    QFETCH(QRectF, range);
    const QRectF plot = chart->plotArea();
    // Expected scroll offsets were given in pixels; turn them into axis units.
    const bool scrolls = range.width() == 100;
    const qreal minX = scrolls ? range.left() * 100 / plot.width() : range.left();
    const qreal minY = scrolls ? range.top() * 100 / plot.height() : range.top();

    QTest::keyClick(view, Qt::Key(key));

    QVERIFY2(qAbs(axisX->min() - minX) < 0.01, qPrintable(QString::number(axisX->min())));
    QVERIFY2(qAbs(axisX->max() - (minX + range.width())) < 0.01,
             qPrintable(QString::number(axisX->max())));
    QVERIFY2(qAbs(axisY->min() - minY) < 0.01, qPrintable(QString::number(axisY->min())));
    QVERIFY2(qAbs(axisY->max() - (minY + range.height())) < 0.01,
             qPrintable(QString::number(axisY->max())));
}

void tst_ChartView::otherKeysReachTheScene()
{
    auto *recorder = new KeyRecorder;
    view->scene()->addItem(recorder);
    QApplication::setActiveWindow(view);
    QVERIFY(QTest::qWaitForWindowActive(view));
    view->setFocus();
    recorder->setFocus();

    QTest::keyClick(view, Qt::Key_A);
    QTest::keyClick(view, Qt::Key_Plus);
    QTest::keyClick(view, Qt::Key_Space);
    QTest::keyClick(view, Qt::Key_Left);

    QCOMPARE(recorder->keys, QList<int>({Qt::Key_A, Qt::Key_Space}));
}

void tst_ChartView::releaseLeavesSeriesAnimations_data()
{
    QTest::addColumn<int>("before");
    QTest::newRow("all animations") << int(QChart::AllAnimations);
    QTest::newRow("none") << int(QChart::NoAnimation);
    QTest::newRow("grid and axes only") << int(QChart::GridAxisAnimations);
}

void tst_ChartView::releaseLeavesSeriesAnimations()
{
    QFETCH(int, before);
    chart->setAnimationOptions(QChart::AnimationOptions(before));
    // Outside the plot, so that the release has no rubber band to finish.
    QTest::mouseClick(view->viewport(), Qt::LeftButton, Qt::NoModifier, QPoint(2, 2));
    QCOMPARE(chart->animationOptions(), QChart::AnimationOptions(QChart::SeriesAnimations));
}

void tst_ChartView::dragZoomsTimeRange_data()
{
    QTest::addColumn<bool>("touching");
    QTest::newRow("mouse drag") << false;
    QTest::newRow("mouse drag during a touch") << true;
}

void tst_ChartView::dragZoomsTimeRange()
{
    QFETCH(bool, touching);
    chart->setAnimationOptions(QChart::AllAnimations);
    if (touching) {
        touchBegin();
        QCOMPARE(chart->animationOptions(), QChart::AnimationOptions(QChart::NoAnimation));
    }

    // Drag over the middle half of the plot, and far down: the band still
    // spans the whole plot height, so only the horizontal axis zooms.
    const QRectF plot = chart->plotArea();
    const QPoint from(qRound(plot.left() + plot.width() / 4), qRound(plot.top() + 20));
    const QPoint to(qRound(plot.left() + plot.width() * 3 / 4), qRound(plot.bottom() - 20));
    mouse(QEvent::MouseButtonPress, from, Qt::LeftButton, Qt::LeftButton);
    mouse(QEvent::MouseMove, (from + to) / 2, Qt::NoButton, Qt::LeftButton);
    mouse(QEvent::MouseMove, to, Qt::NoButton, Qt::LeftButton);
    mouse(QEvent::MouseButtonRelease, to, Qt::LeftButton, Qt::NoButton);

    const qreal pixel = 100 / plot.width();
    if (touching) {
        QCOMPARE(axisX->min(), 0.0);
        QCOMPARE(axisX->max(), 100.0);
    } else {
        QVERIFY2(qAbs(axisX->min() - 25) < 2 * pixel, qPrintable(QString::number(axisX->min())));
        QVERIFY2(qAbs(axisX->max() - 75) < 2 * pixel, qPrintable(QString::number(axisX->max())));
    }
    QVERIFY(qAbs(axisY->min()) < 0.01);
    QVERIFY(qAbs(axisY->max() - 100) < 0.01);
    QCOMPARE(chart->animationOptions(), QChart::AnimationOptions(QChart::SeriesAnimations));

    // The release ended the touch: the next drag zooms again.
    if (touching) {
        mouse(QEvent::MouseButtonPress, from, Qt::LeftButton, Qt::LeftButton);
        mouse(QEvent::MouseMove, to, Qt::NoButton, Qt::LeftButton);
        mouse(QEvent::MouseButtonRelease, to, Qt::LeftButton, Qt::NoButton);
        QVERIFY(qAbs(axisX->min() - 25) < 2 * pixel);
    }
}

QTEST_MAIN(tst_ChartView)
#include "tst_chartview.moc"
