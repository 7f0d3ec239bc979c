// A chart the way the program builds it stops animating while nobody can see
// it and gets back exactly the animations it had when it is shown again.
#include "chart.h"
#include "chartsetup.h"
#include "chartview.h"

#include <QChart>
#include <QVBoxLayout>
#include <QtTest>

using QtCharts::QChart;

class tst_ChartSetup : public QObject
{
    Q_OBJECT

private slots:
    void hiddenChartsDoNotAnimate_data();
    void hiddenChartsDoNotAnimate();
};

void tst_ChartSetup::hiddenChartsDoNotAnimate_data()
{
    QTest::addColumn<bool>("isMinimised");
    QTest::newRow("page of another tab") << false;
    QTest::newRow("minimised window") << true;
}

void tst_ChartSetup::hiddenChartsDoNotAnimate()
{
    QFETCH(bool, isMinimised);
    QWidget window;
    auto *page = new QWidget(&window);
    auto *view = new ChartView(page);
    (new QVBoxLayout(page))->addWidget(view);
    QChart *chart = ChartSetup::Live("t", "v", 3).Build(view).chart;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    const auto setOnScreen = [&](bool isOnScreen) {
        if (isMinimised)
            window.setWindowState(isOnScreen ? Qt::WindowNoState : Qt::WindowMinimized);
        else
            page->setVisible(isOnScreen);
    };

    // Twice: with the chart's own animations, then after a mouse release has
    // left it animating its series only.
    for (const QChart::AnimationOptions shown : {QChart::AllAnimations, QChart::SeriesAnimations}) {
        if (shown == QChart::SeriesAnimations)
            QTest::mouseRelease(view->viewport(), Qt::LeftButton, {}, QPoint(50, 50));
        QCOMPARE(chart->animationOptions(), shown);
        setOnScreen(false);
        QCOMPARE(chart->animationOptions(), QChart::AnimationOptions(QChart::NoAnimation));
        setOnScreen(true);
        QCOMPARE(chart->animationOptions(), shown);
    }
}

QTEST_MAIN(tst_ChartSetup)
#include "tst_chartsetup.moc"
