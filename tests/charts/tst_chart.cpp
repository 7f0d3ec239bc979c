// Touch gestures on a chart: a pan scrolls it, a pinch that changes the scale zooms it.
#include "chart.h"
#include "chartview.h"

#include <QGesture>
#include <QGestureEvent>
#include <QLineSeries>
#include <QValueAxis>
#include <QtTest>

using namespace QtCharts;

class tst_Chart : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void gestures_data();
    void gestures();

private:
    ChartView *view = nullptr;
    Chart *chart = nullptr;
    QValueAxis *axisX = nullptr;
    QValueAxis *axisY = nullptr;
};

void tst_Chart::init()
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

    view = new ChartView(chart);
    view->resize(600, 400);
    view->show();
    QVERIFY(QTest::qWaitForWindowExposed(view));
    QTRY_VERIFY(chart->plotArea().width() > 100);
}

void tst_Chart::cleanup()
{
    delete view; // deletes the chart with its series and axes
    view = nullptr;
}

void tst_Chart::gestures_data()
{
    QTest::addColumn<bool>("withPan");
    QTest::addColumn<QPointF>("panDelta");
    QTest::addColumn<bool>("withPinch");
    QTest::addColumn<qreal>("scale");
    QTest::addColumn<int>("changeFlags");
    QTest::addColumn<qreal>("zoom");

    const int scaleChanged = QPinchGesture::ScaleFactorChanged;
    const int centreOnly = QPinchGesture::CenterPointChanged;
    const int rotationAndCentre = QPinchGesture::RotationAngleChanged | centreOnly;
    // The content follows the finger: a pan to the right shows earlier values.
    QTest::newRow("pan right") << true << QPointF(30, 0) << false << 1.0 << 0 << 1.0;
    QTest::newRow("pan left and down") << true << QPointF(-25, 40) << false << 1.0 << 0 << 1.0;
    QTest::newRow("pinch open") << false << QPointF() << true << 2.0 << scaleChanged << 2.0;
    QTest::newRow("pinch close") << false << QPointF() << true << 0.5 << (scaleChanged | centreOnly)
                                 << 0.5;
    QTest::newRow("pinch moving its centre only")
        << false << QPointF() << true << 2.0 << centreOnly << 1.0;
    QTest::newRow("pinch turning only")
        << false << QPointF() << true << 3.0 << rotationAndCentre << 1.0;
    QTest::newRow("pan and pinch together")
        << true << QPointF(10, -10) << true << 2.0 << scaleChanged << 2.0;
}

void tst_Chart::gestures()
{
    QFETCH(bool, withPan);
    QFETCH(QPointF, panDelta);
    QFETCH(bool, withPinch);
    QFETCH(qreal, scale);
    QFETCH(int, changeFlags);
    QFETCH(qreal, zoom);

    QPanGesture pan;
    pan.setLastOffset(QPointF(5, 5));
    pan.setOffset(QPointF(5, 5) + panDelta);
    QPinchGesture pinch;
    pinch.setScaleFactor(scale);
    pinch.setChangeFlags(QPinchGesture::ChangeFlags(changeFlags));
    QList<QGesture *> gestures;
    if (withPan)
        gestures << &pan;
    if (withPinch)
        gestures << &pinch;
    QGestureEvent event(gestures);

    const QRectF plot = chart->plotArea();
    QVERIFY(chart->scene()->sendEvent(chart, &event));

    // The pan moves the plot by the finger's travel in pixels, then the pinch
    // scales about the plot's centre.
    const qreal shiftX = -panDelta.x() * 100 / plot.width();
    const qreal shiftY = panDelta.y() * 100 / plot.height();
    const qreal centreX = 50 + shiftX;
    const qreal centreY = 50 + shiftY;
    QVERIFY2(qAbs(axisX->min() - (centreX - 50 / zoom)) < 0.01,
             qPrintable(QString::number(axisX->min())));
    QVERIFY2(qAbs(axisX->max() - (centreX + 50 / zoom)) < 0.01,
             qPrintable(QString::number(axisX->max())));
    QVERIFY2(qAbs(axisY->min() - (centreY - 50 / zoom)) < 0.01,
             qPrintable(QString::number(axisY->min())));
    QVERIFY2(qAbs(axisY->max() - (centreY + 50 / zoom)) < 0.01,
             qPrintable(QString::number(axisY->max())));
}

QTEST_MAIN(tst_Chart)
#include "tst_chart.moc"
