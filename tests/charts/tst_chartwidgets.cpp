// The chart widgets every chart is made of: touch pan and pinch zoom on the chart,
// rubber-band and keyboard zoom and scroll in its view, and the hover bubble.
#include "callout.h"
#include "chart.h"
#include "chartview.h"

#include <QFontMetrics>
#include <QGesture>
#include <QGestureEvent>
#include <QGraphicsSceneMouseEvent>
#include <QGraphicsTextItem>
#include <QLineSeries>
#include <QPainter>
#include <QTouchEvent>
#include <QValueAxis>
#include <QtTest>

using namespace QtCharts;

namespace {

const QString kTwoLines = QStringLiteral("X: 512 \nY: 1234");

QRect measured(const QString &text)
{
    return QFontMetrics(QFont()).boundingRect(QRect(0, 0, 150, 150), Qt::AlignLeft, text);
}

// The bubble painted alone; item position (0, 0) is image pixel (margin, margin).
QImage painted(Callout *callout, int margin)
{
    const QRectF bounds = callout->boundingRect();
    QImage image(int(bounds.right()) + 2 * margin, int(bounds.bottom()) + 2 * margin,
                 QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.translate(margin, margin);
    callout->paint(&painter, nullptr, nullptr);
    return image;
}

bool isBubble(const QImage &image, int margin, QPointF at)
{
    const QColor colour = image.pixelColor(int(at.x()) + margin, int(at.y()) + margin);
    return colour.alpha() > 200 && colour.blue() > 200 && colour.red() < 60;
}

} // namespace

class tst_ChartWidgets : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void gestures_data();
    void gestures();
    void keys_data();
    void keys();
    void dragZoomsTimeRange_data();
    void dragZoomsTimeRange();
    void calloutBesideAnchor_data();
    void calloutBesideAnchor();
    void calloutWedge_data();
    void calloutWedge();
    void calloutDrag_data();
    void calloutDrag();

private:
    // Both axes run 0..100 before each test; checks them after the plot
    // scrolled by the given pixels and zoomed by the given factors about its centre.
    void checkRanges(QPointF scrolled, qreal zoomX, qreal zoomY, qreal tolerance = 0.01);
    void drag(QPoint from, QPoint to);

    ChartView *view = nullptr;
    Chart *chart = nullptr;
    QValueAxis *axisX = nullptr;
    QValueAxis *axisY = nullptr;
    // Before the test: axis labels that grow as the ranges move can shrink it.
    QRectF plot;
};

void tst_ChartWidgets::init()
{
    chart = new Chart();
    auto *series = new QLineSeries(chart);
    *series << QPointF(0, 0) << QPointF(100, 100);
    chart->addSeries(series);
    chart->createDefaultAxes();
    axisX = qobject_cast<QValueAxis *>(chart->axes(Qt::Horizontal).value(0));
    axisY = qobject_cast<QValueAxis *>(chart->axes(Qt::Vertical).value(0));
    chart->legend()->hide();

    // As the form makes its views: with a placeholder chart that goes when the
    // real one is installed.
    view = new ChartView();
    const QPointer<QChart> placeholder = view->chart();
    view->installChart(chart);
    QVERIFY(placeholder.isNull());
    view->resize(600, 400);
    view->show();
    QVERIFY(QTest::qWaitForWindowExposed(view));
    QTRY_VERIFY(chart->plotArea().width() > 100);
    plot = chart->plotArea();
}

void tst_ChartWidgets::cleanup()
{
    delete view; // the chart, its axes and any callout go with it
    view = nullptr;
}

void tst_ChartWidgets::checkRanges(QPointF scrolled, qreal zoomX, qreal zoomY, qreal tolerance)
{
    const qreal centreX = 50 + scrolled.x() * 100 / plot.width();
    const qreal centreY = 50 + scrolled.y() * 100 / plot.height();
    const auto near = [&](qreal actual, qreal expected) {
        return qAbs(actual - expected) < tolerance;
    };
    QVERIFY2(near(axisX->min(), centreX - 50 / zoomX) && near(axisX->max(), centreX + 50 / zoomX) &&
                 near(axisY->min(), centreY - 50 / zoomY) &&
                 near(axisY->max(), centreY + 50 / zoomY),
             qPrintable(QString::asprintf("x %g..%g, y %g..%g", axisX->min(), axisX->max(),
                                          axisY->min(), axisY->max())));
}

void tst_ChartWidgets::drag(QPoint from, QPoint to)
{
    const auto send = [this](QEvent::Type type, QPoint pos, Qt::MouseButton button,
                             Qt::MouseButtons buttons) {
        QMouseEvent event(type, pos, view->viewport()->mapToGlobal(pos), button, buttons,
                          Qt::NoModifier);
        QApplication::sendEvent(view->viewport(), &event);
    };
    send(QEvent::MouseButtonPress, from, Qt::LeftButton, Qt::LeftButton);
    send(QEvent::MouseMove, (from + to) / 2, Qt::NoButton, Qt::LeftButton);
    send(QEvent::MouseMove, to, Qt::NoButton, Qt::LeftButton);
    send(QEvent::MouseButtonRelease, to, Qt::LeftButton, Qt::NoButton);
}

void tst_ChartWidgets::gestures_data()
{
    QTest::addColumn<QPointF>("pan");    // the finger's travel; none if null
    QTest::addColumn<int>("pinchFlags"); // no pinch if 0
    QTest::addColumn<qreal>("scale");
    QTest::addColumn<qreal>("zoom");

    const int scaleChanged = QPinchGesture::ScaleFactorChanged;
    const int centreChanged = QPinchGesture::CenterPointChanged;
    QTest::newRow("pan left and down") << QPointF(-25, 40) << 0 << 1.0 << 1.0;
    QTest::newRow("pinch closing while its centre moves")
        << QPointF() << (scaleChanged | centreChanged) << 0.5 << 0.5;
    QTest::newRow("pinch turning and moving its centre only")
        << QPointF() << (int(QPinchGesture::RotationAngleChanged) | centreChanged) << 3.0 << 1.0;
    QTest::newRow("pan and pinch together") << QPointF(10, -10) << scaleChanged << 2.0 << 2.0;
}

void tst_ChartWidgets::gestures()
{
    QFETCH(QPointF, pan);
    QFETCH(int, pinchFlags);
    QFETCH(qreal, scale);
    QFETCH(qreal, zoom);

    QPanGesture panGesture;
    panGesture.setLastOffset(QPointF(5, 5));
    panGesture.setOffset(QPointF(5, 5) + pan);
    QPinchGesture pinchGesture;
    pinchGesture.setScaleFactor(scale);
    pinchGesture.setChangeFlags(QPinchGesture::ChangeFlags(pinchFlags));
    QList<QGesture *> gestures;
    if (!pan.isNull())
        gestures << &panGesture;
    if (pinchFlags)
        gestures << &pinchGesture;
    QGestureEvent event(gestures);
    QVERIFY(chart->scene()->sendEvent(chart, &event));

    // The content follows the finger: a pan to the right shows earlier values.
    checkRanges(QPointF(-pan.x(), pan.y()), zoom, zoom);
}

void tst_ChartWidgets::keys_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<QPointF>("scrolled"); // pixels of the plot
    QTest::addColumn<qreal>("zoom");
    QTest::addColumn<QString>("typed"); // into a text item of the scene

    QTest::newRow("plus zooms in") << int(Qt::Key_Plus) << QPointF() << 2.0 << QString();
    QTest::newRow("minus zooms out") << int(Qt::Key_Minus) << QPointF() << 0.5 << QString();
    QTest::newRow("left") << int(Qt::Key_Left) << QPointF(-10, 0) << 1.0 << QString();
    QTest::newRow("right") << int(Qt::Key_Right) << QPointF(10, 0) << 1.0 << QString();
    QTest::newRow("up") << int(Qt::Key_Up) << QPointF(0, 10) << 1.0 << QString();
    QTest::newRow("down") << int(Qt::Key_Down) << QPointF(0, -10) << 1.0 << QString();
    QTest::newRow("a letter reaches the scene") << int(Qt::Key_A) << QPointF() << 1.0 << "a";
}

void tst_ChartWidgets::keys()
{
    QFETCH(int, key);
    QFETCH(QPointF, scrolled);
    QFETCH(qreal, zoom);
    QFETCH(QString, typed);

    QGraphicsTextItem *editor = view->scene()->addText(QString());
    editor->setTextInteractionFlags(Qt::TextEditorInteraction);
    QApplication::setActiveWindow(view);
    QVERIFY(QTest::qWaitForWindowActive(view));
    view->setFocus();
    editor->setFocus();

    QTest::keyClick(view, Qt::Key(key));
    checkRanges(scrolled, zoom, zoom);
    QCOMPARE(editor->toPlainText(), typed);
}

void tst_ChartWidgets::dragZoomsTimeRange_data()
{
    QTest::addColumn<bool>("touching");
    QTest::newRow("mouse drag") << false;
    QTest::newRow("mouse drag during a touch") << true;
}

void tst_ChartWidgets::dragZoomsTimeRange()
{
    QFETCH(bool, touching);
    static QTouchDevice *touchScreen = QTest::createTouchDevice();
    chart->setAnimationOptions(QChart::AllAnimations);
    if (touching) {
        QTouchEvent::TouchPoint point(0);
        point.setState(Qt::TouchPointPressed);
        point.setPos(chart->plotArea().center());
        QTouchEvent touch(QEvent::TouchBegin, touchScreen, Qt::NoModifier, Qt::TouchPointPressed,
                          {point});
        QApplication::sendEvent(view->viewport(), &touch);
        QCOMPARE(chart->animationOptions(), QChart::AnimationOptions(QChart::NoAnimation));
    }

    // Over the middle half of the plot and far down: the band spans the whole
    // plot height, so only the time axis zooms.
    const QPoint from(qRound(plot.left() + plot.width() / 4), qRound(plot.top() + 20));
    const QPoint to(qRound(plot.left() + plot.width() * 3 / 4), qRound(plot.bottom() - 20));
    drag(from, to);
    // Any release leaves series animations only, whatever the chart had before.
    QCOMPARE(chart->animationOptions(), QChart::AnimationOptions(QChart::SeriesAnimations));
    if (touching) {
        // The drag during the touch zoomed nothing, but its release ended the touch.
        checkRanges(QPointF(), 1, 1);
        drag(from, to);
    }
    checkRanges(QPointF(), 2, 1, 2 * 100 / plot.width());
    // The other way to make a view gets the same band.
    QCOMPARE(ChartView(new Chart()).rubberBand(), QChartView::HorizontalRubberBand);
}

void tst_ChartWidgets::calloutBesideAnchor_data()
{
    QTest::addColumn<QString>("text");
    QTest::newRow("two lines") << kTwoLines;
    QTest::newRow("wider than 150 pixels stays on one line")
        << QStringLiteral("a rather long line of text that is wider than the measuring box");
}

void tst_ChartWidgets::calloutBesideAnchor()
{
    QFETCH(QString, text);
    auto *callout = new Callout(chart);
    callout->setText(text);
    callout->setAnchor(QPointF(40, 60));
    callout->updateGeometry();

    // 10 pixels right of and 50 above the point, and covering it; the box
    // keeps 5 pixels round the text, which starts 5 pixels in.
    QCOMPARE(callout->pos(), chart->mapToPosition(QPointF(40, 60)) + QPointF(10, -50));
    const QRect box = measured(text).adjusted(0, 0, 10, 10);
    QCOMPARE(callout->boundingRect(),
             QRectF(QPointF(-10, 0), QPointF(box.width(), qMax(box.height(), 50))));
    QVERIFY(isBubble(painted(callout, 0), 0, QPointF(box.width() - 3, box.height() - 3)));
}

void tst_ChartWidgets::calloutWedge_data()
{
    // Pixels of the item: the anchor, a spot by the box's edge that the wedge
    // covers and one it leaves empty. With fromBottomRight they count from
    // the box's bottom-right corner instead of its top-left one.
    QTest::addColumn<QPointF>("anchor");
    QTest::addColumn<QPointF>("covered");
    QTest::addColumn<QPointF>("uncovered");
    QTest::addColumn<bool>("fromBottomRight");

    QTest::newRow("inside the box: bare box")
        << QPointF(20, 10) << QPointF(10, 10) << QPointF(-3, 15) << false;
    QTest::newRow("up-left, farther across: off the left edge")
        << QPointF(-60, -20) << QPointF(-3, 15) << QPointF(15, -3) << false;
    QTest::newRow("up-left, farther up: off the top edge")
        << QPointF(-20, -60) << QPointF(15, -3) << QPointF(-3, 15) << false;
    QTest::newRow("below, right of the centre: off the bottom edge")
        << QPointF(-15, 40) << QPointF(-15, 3) << QPointF(-5, 3) << true;
    QTest::newRow("left of the upper half: off the left edge")
        << QPointF(-60, 8) << QPointF(-3, 15) << QPointF(15, -3) << false;
    QTest::newRow("right of the lower half: off the right edge")
        << QPointF(60, -8) << QPointF(3, -15) << QPointF(3, -25) << true;
}

void tst_ChartWidgets::calloutWedge()
{
    QFETCH(QPointF, anchor);
    QFETCH(QPointF, covered);
    QFETCH(QPointF, uncovered);
    QFETCH(bool, fromBottomRight);

    auto *callout = new Callout(chart);
    callout->setText(kTwoLines);
    callout->setPos(200, 150);
    const QRect text = measured(kTwoLines);
    const QPointF corner =
        fromBottomRight ? QPointF(text.width() + 10, text.height() + 10) : QPointF();
    callout->setAnchor(chart->mapToValue(QPointF(200, 150) + corner + anchor));

    const QImage image = painted(callout, 100);
    QVERIFY(isBubble(image, 100, corner + covered));
    QVERIFY(!isBubble(image, 100, corner + uncovered));
    // Halfway from the edge to the anchor the wedge is still there.
    QVERIFY(isBubble(image, 100, corner + (covered + anchor) / 2));
}

void tst_ChartWidgets::calloutDrag_data()
{
    QTest::addColumn<int>("button");
    QTest::addColumn<bool>("moves");
    QTest::newRow("left button drags") << int(Qt::LeftButton) << true;
    QTest::newRow("right button does not") << int(Qt::RightButton) << false;
}

void tst_ChartWidgets::calloutDrag()
{
    QFETCH(int, button);
    QFETCH(bool, moves);
    auto *callout = new Callout(chart);
    callout->setPos(100, 100);

    QGraphicsSceneMouseEvent press(QEvent::GraphicsSceneMousePress);
    press.setButton(Qt::MouseButton(button));
    press.setAccepted(false);
    chart->scene()->sendEvent(callout, &press);
    QVERIFY(press.isAccepted());

    QGraphicsSceneMouseEvent move(QEvent::GraphicsSceneMouseMove);
    move.setButtons(Qt::MouseButton(button));
    move.setButtonDownPos(Qt::MouseButton(button), QPointF(8, 6));
    move.setPos(QPointF(38, -14));
    chart->scene()->sendEvent(callout, &move);
    QCOMPARE(move.isAccepted(), moves);
    QCOMPARE(callout->pos(), moves ? QPointF(130, 80) : QPointF(100, 100));
}

QTEST_MAIN(tst_ChartWidgets)
#include "tst_chartwidgets.moc"
