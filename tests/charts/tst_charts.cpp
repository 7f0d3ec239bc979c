// The chart widgets every chart is made of: keys, drags and gestures move the
// axes of a 0..100 chart; the hover bubble; a day of samples thinned when
// zoomed out, with its peaks and ends kept, and whole when zoomed in; a live
// chart as the program sets it up, still while nobody can see it.
#include "callout.h"
#include "chart.h"
#include "chartsetup.h"
#include "chartview.h"
#include "runseries.h"

#include <QtCharts>
#include <QtTest>
#include <QtWidgets>

using namespace QtCharts;

class tst_Charts : public QObject
{
    Q_OBJECT

    ChartView *view = nullptr;
    Chart *chart = nullptr;

private slots:
    void cleanup() { delete view; }

    void init()
    {
        chart = new Chart();
        auto *series = new QLineSeries(chart);
        *series << QPointF(0, 0) << QPointF(100, 100);
        chart->addSeries(series);
        chart->createDefaultAxes();
        chart->legend()->hide();
        view = new ChartView(chart);
        view->resize(600, 400);
        view->show();
        QVERIFY(QTest::qWaitForWindowExposed(view));
        QTRY_VERIFY(chart->plotArea().width() > 100);
    }

    void moves_data()
    {
        // A key, a drag over the middle half of the plot's width and its whole
        // height (also with a finger on the screen, which the touch handling
        // takes), or a pan of 40 pixels to the left with a pinch; the plot's
        // scroll in pixels afterwards and the zoom of each axis about its centre.
        QTest::addColumn<QString>("input");
        QTest::addColumn<QPointF>("scrolled");
        QTest::addColumn<QPointF>("zoom");
        QTest::newRow("plus zooms in") << "+" << QPointF() << QPointF(2, 2);
        QTest::newRow("minus zooms out") << "-" << QPointF() << QPointF(0.5, 0.5);
        QTest::newRow("left") << "left" << QPointF(-10, 0) << QPointF(1, 1);
        QTest::newRow("right") << "right" << QPointF(10, 0) << QPointF(1, 1);
        QTest::newRow("up") << "up" << QPointF(0, 10) << QPointF(1, 1);
        QTest::newRow("down") << "down" << QPointF(0, -10) << QPointF(1, 1);
        QTest::newRow("drag zooms the time axis only") << "drag" << QPointF() << QPointF(2, 1);
        QTest::newRow("a finger on the screen drags no band")
            << "touch drag" << QPointF() << QPointF(1, 1);
        QTest::newRow("other keys leave it be") << "home" << QPointF() << QPointF(1, 1);
        QTest::newRow("content follows the finger, pinch closing")
            << "gesture" << QPointF(40, 0) << QPointF(0.5, 0.5);
    }

    void moves()
    {
        QFETCH(QString, input);
        QFETCH(QPointF, scrolled);
        QFETCH(QPointF, zoom);
        const QRectF plot = chart->plotArea();
        const QHash<QString, Qt::Key> keys{{"+", Qt::Key_Plus},    {"-", Qt::Key_Minus},
                                           {"left", Qt::Key_Left}, {"right", Qt::Key_Right},
                                           {"up", Qt::Key_Up},     {"down", Qt::Key_Down},
                                           {"home", Qt::Key_Home}};
        QTouchEvent touch(QEvent::TouchBegin, QTest::createTouchDevice(), {}, Qt::TouchPointPressed,
                          {QTouchEvent::TouchPoint()});
        if (input.startsWith("touch"))
            QApplication::sendEvent(view->viewport(), &touch);
        if (keys.contains(input)) {
            QTest::keyClick(view, keys.value(input));
        } else if (input.endsWith("drag")) {
            const QPoint from(qRound(plot.left() + plot.width() / 4), qRound(plot.top() + 20));
            const QPoint to(qRound(plot.left() + plot.width() * 3 / 4), qRound(plot.bottom() - 20));
            for (const auto &[type, pos] : {std::pair{QEvent::MouseButtonPress, from},
                                            {QEvent::MouseMove, (from + to) / 2},
                                            {QEvent::MouseMove, to},
                                            {QEvent::MouseButtonRelease, to}}) {
                QMouseEvent event(type, pos, view->viewport()->mapToGlobal(pos),
                                  type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton,
                                  type == QEvent::MouseButtonRelease ? Qt::NoButton
                                                                     : Qt::LeftButton,
                                  Qt::NoModifier);
                QApplication::sendEvent(view->viewport(), &event);
            }
        } else {
            QPanGesture pan;
            pan.setOffset(QPointF(-40, 0));
            QPinchGesture pinch;
            pinch.setScaleFactor(0.5);
            pinch.setChangeFlags(QPinchGesture::ScaleFactorChanged);
            QGestureEvent event({&pan, &pinch});
            QVERIFY(chart->scene()->sendEvent(chart, &event));
        }
        auto *x = qobject_cast<QValueAxis *>(chart->axes(Qt::Horizontal).value(0));
        auto *y = qobject_cast<QValueAxis *>(chart->axes(Qt::Vertical).value(0));
        const QPointF centre(50 + scrolled.x() * 100 / plot.width(),
                             50 + scrolled.y() * 100 / plot.height());
        const double tolerance = input == "drag" ? 200 / plot.width() : 0.01;
        QVERIFY2(qAbs(x->min() - (centre.x() - 50 / zoom.x())) < tolerance &&
                     qAbs(x->max() - (centre.x() + 50 / zoom.x())) < tolerance &&
                     qAbs(y->min() - (centre.y() - 50 / zoom.y())) < 0.01 &&
                     qAbs(y->max() - (centre.y() + 50 / zoom.y())) < 0.01,
                 qPrintable(QString::asprintf("x %g..%g, y %g..%g", x->min(), x->max(), y->min(),
                                              y->max())));
    }

    void callout()
    {
        // 10 pixels right of and 50 above its point, and painted there.
        auto *callout = new Callout(chart);
        callout->setText("X: 512 \nY: 1234");
        callout->setAnchor(QPointF(40, 60));
        callout->updateGeometry();
        QCOMPARE(callout->pos(), chart->mapToPosition(QPointF(40, 60)) + QPointF(10, -50));
        QImage image(300, 300, QImage::Format_ARGB32);
        image.fill(Qt::transparent);
        QPainter painter(&image);
        painter.translate(100, 100);
        callout->paint(&painter, nullptr, nullptr);
        QVERIFY(image.pixelColor(105, 105).alpha() > 200 && image.pixelColor(295, 5).alpha() == 0);
        // It takes a press, so that it can be dragged.
        QGraphicsSceneMouseEvent press(QEvent::GraphicsSceneMousePress);
        QVERIFY(chart->scene()->sendEvent(callout, &press));
    }

    void runThinnedAndWhole()
    {
        auto *line = new QLineSeries(chart);
        auto *scatter = new QScatterSeries(chart);
        auto *time = new QDateTimeAxis(chart);
        chart->addAxis(time, Qt::AlignBottom);
        for (QXYSeries *series : std::initializer_list<QXYSeries *>{line, scatter}) {
            chart->addSeries(series);
            series->attachAxis(time);
        }
        RunSeries run(line, scatter, time);
        // A day at a 1 s poll, with one peak and one trough.
        const QDateTime start(QDate(2024, 5, 1), QTime(8, 0));
        QVector<QPointF> day;
        for (int i = 0; i < 86400; ++i)
            day << QPointF(start.toMSecsSinceEpoch() + i * 1000.0, i == 43210 ? 9
                                                                   : i == 5   ? -9
                                                                              : i % 7);
        run.replace(day);
        time->setRange(start, start.addSecs(86399));
        QVERIFY(line->count() <= 2 * int(chart->plotArea().width()) + 6);
        QCOMPARE(scatter->pointsVector(), line->pointsVector());
        for (int i : {0, 5, 43210, 86399})
            QVERIFY2(line->pointsVector().contains(day.at(i)), qPrintable(QString::number(i)));
        // Five minutes: all 301 samples and one on each side.
        time->setRange(start.addSecs(43200), start.addSecs(43500));
        QCOMPARE(line->pointsVector(), day.mid(43199, 303));
        // A new sample during the day joins in time order; a window grown on
        // the right keeps its left edge.
        run.append(start.toMSecsSinceEpoch() + 43350500, 4);
        QCOMPARE(line->at(152), QPointF(start.toMSecsSinceEpoch() + 43350500.0, 4));
        time->setRange(start.addSecs(43200), start.addSecs(43501));
        QCOMPARE(line->count(), 305);
    }

    void hiddenChartsDoNotAnimate_data()
    {
        QTest::addColumn<bool>("isMinimised");
        QTest::newRow("page of another tab") << false;
        QTest::newRow("minimised window") << true;
    }

    void hiddenChartsDoNotAnimate()
    {
        QFETCH(bool, isMinimised);
        QWidget window;
        auto *page = new QWidget(&window);
        auto *live = new ChartView(page);
        (new QVBoxLayout(page))->addWidget(live);
        QChart *liveChart = ChartSetup::Live("t", "v", 3).Build(live).chart;
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        // Twice: with the chart's own animations, then after a mouse release has
        // left it animating its series only; hidden, none; shown, those again.
        for (const QChart::AnimationOptions shown :
             {QChart::AllAnimations, QChart::SeriesAnimations}) {
            if (shown == QChart::SeriesAnimations)
                QTest::mouseRelease(live->viewport(), Qt::LeftButton, {}, QPoint(50, 50));
            for (const bool isOnScreen : {true, false, true}) {
                if (isMinimised)
                    window.setWindowState(isOnScreen ? Qt::WindowNoState : Qt::WindowMinimized);
                else
                    page->setVisible(isOnScreen);
                QCOMPARE(liveChart->animationOptions(), isOnScreen ? shown : QChart::NoAnimation);
            }
        }
    }
};

QTEST_MAIN(tst_Charts)
#include "tst_charts.moc"
