// The detail dialog of one run: the points, time window and value ranges it
// plots from the run's file, damaged files, the hover bubble, and the export.
#include "callout.h"
#include "chartview.h"
#include "detailinfo.h"
#include "messageboxrecorder.h"
#include "runfilemaker.h"

#include <QtCharts>
#include <QtTest>
#include <QtWidgets>

class tst_DetailInfo : public QObject
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> dir;
    std::unique_ptr<DetailInfo> dialog;

    QChart *Chart(int view) const
    {
        const char *const views[] = {"detailInfoChart70", "detailInfoChart80", "detailInfoChart90"};
        return dialog->findChild<ChartView *>(views[view])->chart();
    }
    template <class T> T *Series(int view) const
    {
        for (QAbstractSeries *series : Chart(view)->series()) {
            if (auto *s = qobject_cast<T *>(series))
                return s;
        }
        return nullptr;
    }
    void Open(const QString &path)
    {
        dialog = std::make_unique<DetailInfo>();
        dialog->show();
        dialog->setDetailInfoFileName(path);
    }

private slots:
    void init()
    {
        dir = std::make_unique<QTemporaryDir>();
        QVERIFY(QDir::setCurrent(dir->path()));
    }

    void plotsRows_data()
    {
        // The rows written; the points plotted; the time window's start after the
        // run's, 20 s long; each value axis's top: a tenth above the maximum, or
        // 3 for a series that stayed 0. Each axis starts just below 0.
        QTest::addColumn<QString>("path");
        QTest::addColumn<int>("points");
        QTest::addColumn<int>("fromSecs");
        QTest::addColumn<QList<double>>("tops");
        QList<QStringList> two = RunFileMaker::Rows("2017-12-10 10:10:00", 2, 5, {"0.85", "1.2", "2"});
        two[1] = QStringList{two[1][0], "1e-05", "0", "4.29497e+06"};
        QTest::newRow("two rows 5 s apart, exponents read back")
            << RunFileMaker::Write("two.xml", two) << 2 << 0
            << QList<double>{0.935, 1.32, 4.29497e+06 * 1.1};
        QTest::newRow("100 rows 2 s apart open on the last 20 s")
            << RunFileMaker::Write("long.xml",
                              RunFileMaker::Rows("2017-12-10 10:10:00", 100, 2, {"1", "0", "0"}))
            << 100 << 178 << QList<double>{1.1, 3, 3};
        QList<QStringList> damaged =
            RunFileMaker::Rows("2017-12-10 10:10:00", 6, 1, {"0.5", "0.5", "0.5"});
        damaged[1].removeLast();
        damaged[2].append("9");
        damaged[3][0] = "2017-12-10 10:1x:00";
        damaged[4][0] = "2017-12-10 10:10:60";
        damaged[5][0] = "10:10:05";
        QTest::newRow("rows short of a value or a time left out, extra values ignored")
            << RunFileMaker::Write("damaged.xml", damaged) << 2 << 0 << QList<double>{0.55, 0.55, 0.55};
        QTest::newRow("a file cut short keeps the rows before the cut")
            << RunFileMaker::Write("cut.xml",
                              RunFileMaker::Rows("2017-12-10 10:10:00", 4, 1, {"0.5", "0.5", "0.5"}),
                              false)
            << 4 << 0 << QList<double>{0.55, 0.55, 0.55};
    }
    void plotsRows()
    {
        QFETCH(QString, path);
        QFETCH(int, points);
        QFETCH(int, fromSecs);
        QFETCH(QList<double>, tops);
        Open(path);
        const QDateTime from(QDate(2017, 12, 10), QTime(10, 10, fromSecs % 60));
        for (int i = 0; i < 3; ++i) {
            auto *line = Series<QLineSeries>(i);
            QCOMPARE(line->count(), points);
            QCOMPARE(Series<QScatterSeries>(i)->pointsVector(), line->pointsVector());
            QCOMPARE(line->at(0).x(),
                     double(QDateTime(from.date(), QTime(10, 10)).toMSecsSinceEpoch()));
            auto *time = qobject_cast<QDateTimeAxis *>(Chart(i)->axes(Qt::Horizontal).value(0));
            QCOMPARE(time->min(), from.addSecs(fromSecs - fromSecs % 60));
            QCOMPARE(time->max(), time->min().addSecs(20));
            auto *value = qobject_cast<QValueAxis *>(Chart(i)->axes(Qt::Vertical).value(0));
            QCOMPARE(value->min(), -0.0001);
            QCOMPARE(value->max(), tops[i]);
        }
    }

    void missingFileAndHover()
    {
        // Without its file the window starts now and the values span 0 to 3.
        const QDateTime before = QDateTime::currentDateTime().addSecs(-1);
        Open(dir->filePath("deleted by hand.xml"));
        auto *time = qobject_cast<QDateTimeAxis *>(Chart(1)->axes(Qt::Horizontal).value(0));
        QVERIFY(Series<QLineSeries>(1)->count() == 0 && time->min() >= before);
        QCOMPARE(time->min().msecsTo(time->max()), 20000);
        Open(RunFileMaker::Write("run.xml",
                            RunFileMaker::Rows("2017-12-10 10:10:00", 2, 2, {"0.5", "0.5", "1.25"})));
        Callout *callout = nullptr;
        for (QGraphicsItem *item : Chart(2)->childItems())
            callout = callout ? callout : dynamic_cast<Callout *>(item);
        const QPointF point(
            double(QDateTime(QDate(2017, 12, 10), QTime(10, 10, 2)).toMSecsSinceEpoch()), 1.25);
        emit Series<QScatterSeries>(2)->hovered(point, true);
        QCOMPARE(callout->text(), QString("时间: 2017-12-10 10:10:02 \n流量: 1.25 m³/s"));
        QVERIFY(callout->isVisible() && callout->anchor() == point);
        emit Series<QScatterSeries>(2)->hovered(point, false);
        QVERIFY(!callout->isVisible());
    }

    void exportFile()
    {
        // Over an existing file, confirmed Yes in the save dialog: a copy. Onto
        // the record's own file: refused, the record kept.
        const QString record = RunFileMaker::Write(
            "run.xml", RunFileMaker::Rows("2017-12-10 10:10:00", 3, 2, {"0.5", "0.6", "0.7"}));
        QFile file(record);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray content = file.readAll();
        for (const QString target : {"export.xls", "run.xml"}) {
            RunFileMaker::Write("export.xls", {});
            Open(record);
            MessageBoxRecorder boxes(QMessageBox::Yes);
            QTimer::singleShot(0, this, [&] {
                QFileDialog *save = nullptr;
                QTest::qWaitFor([&] {
                    for (QWidget *widget : QApplication::topLevelWidgets())
                        save = save ? save : qobject_cast<QFileDialog *>(widget);
                    return save && save->isVisible();
                });
                save->findChild<QLineEdit *>("fileNameEdit")->setText(dir->filePath(target));
                QMetaObject::invokeMethod(save, "accept");
            });
            QTest::mouseClick(dialog->findChild<QPushButton *>("ButtonExport"), Qt::LeftButton);
            QCOMPARE(boxes.lastText(),
                     target == "run.xml" ? "文件导出失败      " : "文件导出成功      ");
            QFile copy(dir->filePath(target));
            QVERIFY(copy.open(QIODevice::ReadOnly) && copy.readAll() == content);
        }
    }
};

QTEST_MAIN(tst_DetailInfo)
#include "tst_detailinfo.moc"
