// The hover bubble: where it sits, what it covers, how its wedge points at the
// data point, and dragging it.
#include "callout.h"
#include "chart.h"
#include "chartview.h"

#include <QFontMetrics>
#include <QGraphicsSceneMouseEvent>
#include <QImage>
#include <QLineSeries>
#include <QPainter>
#include <QValueAxis>
#include <QtTest>

using namespace QtCharts;

class tst_Callout : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void boxFitsText_data();
    void boxFitsText();
    void sitsAboveRightOfPoint();
    void wedge_data();
    void wedge();
    void drag_data();
    void drag();

private:
    // The bubble painted alone; pixel (0, 0) of the image is item position
    // (-margin, -margin).
    QImage painted(int margin);
    bool isBubble(const QImage &image, int margin, qreal x, qreal y) const;

    ChartView *view = nullptr;
    Chart *chart = nullptr;
    Callout *callout = nullptr;
};

void tst_Callout::init()
{
    chart = new Chart();
    auto *series = new QLineSeries(chart);
    series->append(0, 0);
    series->append(100, 100);
    chart->addSeries(series);
    auto *axisX = new QValueAxis(chart);
    auto *axisY = new QValueAxis(chart);
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
    callout = new Callout(chart);
}

void tst_Callout::cleanup()
{
    delete view; // the callout goes with its chart
    view = nullptr;
}

QImage tst_Callout::painted(int margin)
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

bool tst_Callout::isBubble(const QImage &image, int margin, qreal x, qreal y) const
{
    const QColor colour = image.pixelColor(int(x) + margin, int(y) + margin);
    return colour.alpha() > 200 && colour.blue() > 200 && colour.red() < 60;
}

void tst_Callout::boxFitsText_data()
{
    QTest::addColumn<QString>("text");
    QTest::newRow("one line") << QStringLiteral("X: 12 \nY: 34");
    QTest::newRow("live point") << QStringLiteral("时间: 2024-05-01 08:00:00 \n流速: 1.234 m/s");
    QTest::newRow("longer than 150 pixels stays on one line")
        << QStringLiteral("a rather long line of text that is wider than the measuring box");
}

void tst_Callout::boxFitsText()
{
    QFETCH(QString, text);
    callout->setText(text);
    callout->setAnchor(QPointF(50, 50));
    callout->updateGeometry();

    // The text rectangle starts 5 pixels in, the box keeps 5 pixels round it.
    const QRect measured =
        QFontMetrics(QFont()).boundingRect(QRect(0, 0, 150, 150), Qt::AlignLeft, text);
    const QRectF bounds = callout->boundingRect();
    QCOMPARE(bounds.top(), 0.0);
    QCOMPARE(bounds.right(), measured.width() + 10.0);
    QCOMPARE(callout->text(), text);
    const int lines = text.count('\n') + 1;
    QVERIFY(measured.height() >= lines * QFontMetrics(QFont()).height());

    const QImage image = painted(0);
    QVERIFY(isBubble(image, 0, 3, 3));
    QVERIFY(isBubble(image, 0, measured.width() + 7, measured.height() + 7));
}

void tst_Callout::sitsAboveRightOfPoint()
{
    callout->setText(QStringLiteral("X: 40 \nY: 60"));
    callout->setAnchor(QPointF(40, 60));
    callout->updateGeometry();

    const QPointF point = chart->mapToPosition(QPointF(40, 60));
    QCOMPARE(callout->pos(), point + QPointF(10, -50));
    QCOMPARE(callout->anchor(), QPointF(40, 60));
    // The covered area reaches down to the point.
    const QRectF bounds = callout->boundingRect();
    QCOMPARE(bounds.left(), -10.0);
    QCOMPARE(bounds.bottom(), 50.0);
    QVERIFY(bounds.contains(callout->mapFromParent(point)));
}

void tst_Callout::wedge_data()
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
    QTest::newRow("left of the upper half: off the left edge")
        << QPointF(-60, 8) << QPointF(-3, 15) << QPointF(15, -3) << false;
    QTest::newRow("right of the lower half: off the right edge")
        << QPointF(60, -8) << QPointF(3, -15) << QPointF(3, -25) << true;
}

void tst_Callout::wedge()
{
    QFETCH(QPointF, anchor);
    QFETCH(QPointF, covered);
    QFETCH(QPointF, uncovered);
    QFETCH(bool, fromBottomRight);

    const QString text = QStringLiteral("X: 512 \nY: 1234");
    const QRect measured =
        QFontMetrics(QFont()).boundingRect(QRect(0, 0, 150, 150), Qt::AlignLeft, text);
    const QPointF corner =
        fromBottomRight ? QPointF(measured.width() + 10, measured.height() + 10) : QPointF(0, 0);
    anchor += corner;
    covered += corner;
    uncovered += corner;

    callout->setText(text);
    callout->setPos(200, 150);
    callout->setAnchor(chart->mapToValue(QPointF(200, 150) + anchor));
    const int margin = 100;
    const QImage image = painted(margin);

    QVERIFY(isBubble(image, margin, covered.x(), covered.y()));
    QVERIFY(!isBubble(image, margin, uncovered.x(), uncovered.y()));
    // Halfway from the edge to the anchor the wedge is still there.
    const QPointF halfway = (covered + anchor) / 2;
    const bool hasWedge = anchor.x() < 0 || anchor.y() < 0 || fromBottomRight;
    if (hasWedge)
        QVERIFY(isBubble(image, margin, halfway.x(), halfway.y()));
}

void tst_Callout::drag_data()
{
    QTest::addColumn<int>("button");
    QTest::addColumn<bool>("moves");
    QTest::newRow("left button drags") << int(Qt::LeftButton) << true;
    QTest::newRow("right button does not") << int(Qt::RightButton) << false;
}

void tst_Callout::drag()
{
    QFETCH(int, button);
    QFETCH(bool, moves);
    callout->setText(QStringLiteral("X: 1 \nY: 2"));
    callout->setPos(100, 100);

    QGraphicsSceneMouseEvent press(QEvent::GraphicsSceneMousePress);
    press.setButton(Qt::MouseButton(button));
    press.setButtons(Qt::MouseButton(button));
    press.setPos(QPointF(8, 6));
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

QTEST_MAIN(tst_Callout)
#include "tst_callout.moc"
