// The detail dialog of one run: the points, time window and value ranges it
// plots from the run's file, damaged files, the hover bubble, the export, and
// the whole run at a glance.
#include "callout.h"
#include "chartview.h"
#include "detailinfo.h"
#include "messageboxrecorder.h"
#include "runfilemaker.h"

#include <QtCharts>
#include <QtTest>
#include <QtWidgets>

#include <ctime>

class tst_DetailInfo : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;
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
    static QByteArray Bytes(const QString &path)
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    void Open(const QString &path)
    {
        dialog = std::make_unique<DetailInfo>();
        dialog->show();
        dialog->setDetailInfoFileName(path);
    }

private slots:
    void initTestCase()
    {
        // The CSV's times carry this offset.
        qputenv("TZ", "Asia/Shanghai");
        tzset();
        QVERIFY(QDir::setCurrent(dir.path()));
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
        QList<QStringList> two =
            RunFileMaker::Rows("2017-12-10 10:10:00", 2, 5, {"0.85", "1.2", "2"});
        two[1] = QStringList{two[1][0], "1e-05", "0", "4.29497e+06"};
        QTest::newRow("two rows 5 s apart, exponents read back")
            << RunFileMaker::Write("two.xml", two) << 2 << 0
            << QList<double>{0.935, 1.32, 4.29497e+06 * 1.1};
        QTest::newRow("100 rows 2 s apart open on the last 20 s")
            << RunFileMaker::Write(
                   "long.xml", RunFileMaker::Rows("2017-12-10 10:10:00", 100, 2, {"1", "0", "0"}))
            << 100 << 178 << QList<double>{1.1, 3, 3};
        QList<QStringList> damaged =
            RunFileMaker::Rows("2017-12-10 10:10:00", 6, 1, {"0.5", "0.5", "0.5"});
        damaged[1].removeLast();
        damaged[2].append("9");
        damaged[3][0] = "2017-12-10 10:1x:00";
        damaged[4][0] = "2017-12-10 10:10:60";
        damaged[5][0] = "10:10:05";
        QTest::newRow("rows short of a value or a time left out, extra values ignored")
            << RunFileMaker::Write("damaged.xml", damaged) << 2 << 0
            << QList<double>{0.55, 0.55, 0.55};
        QTest::newRow("a file cut short keeps the rows before the cut")
            << RunFileMaker::Write(
                   "cut.xml",
                   RunFileMaker::Rows("2017-12-10 10:10:00", 4, 1, {"0.5", "0.5", "0.5"}), false)
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
        Open(dir.filePath("deleted by hand.xml"));
        auto *time = qobject_cast<QDateTimeAxis *>(Chart(1)->axes(Qt::Horizontal).value(0));
        QVERIFY(Series<QLineSeries>(1)->count() == 0 && time->min() >= before);
        QCOMPARE(time->min().msecsTo(time->max()), 20000);
        Open(RunFileMaker::Write(
            "run.xml", RunFileMaker::Rows("2017-12-10 10:10:00", 2, 2, {"0.5", "0.5", "1.25"})));
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

    void exports_data()
    {
        // The file chosen in the save box (export.xls is there already and is
        // replaced once confirmed), the box after it, and what the file then
        // holds: empty for the run file's own bytes.
        QTest::addColumn<QString>("target");
        QTest::addColumn<QString>("box");
        QTest::addColumn<QByteArray>("content");
        QTest::newRow("copy") << "export.xls"
                              << "文件导出成功      " << QByteArray();
        QTest::newRow("onto its own file") << "run.xml"
                                           << "文件导出失败      " << QByteArray();
        QTest::newRow("CSV") << "导出.csv"
                             << "文件导出成功      "
                             << QByteArray("time,velocity (m/s),level (m),flow (m3/s)\n"
                                           "2017-12-10T10:10:00+08:00,0.5,0.6,0.7\n"
                                           "2017-12-10T10:10:02+08:00,0.5,0.6,0.7\n");
    }
    void exports()
    {
        QFETCH(QString, target);
        QFETCH(QString, box);
        QFETCH(QByteArray, content);
        const QString record = RunFileMaker::Write(
            "run.xml", RunFileMaker::Rows("2017-12-10 10:10:00", 2, 2, {"0.5", "0.6", "0.7"}));
        const QByteArray recordBytes = Bytes(record);
        RunFileMaker::Write("export.xls", {});
        Open(record);
        MessageBoxRecorder boxes(QMessageBox::Yes);
        QStringList filters;
        QTimer::singleShot(0, this, [&] {
            QFileDialog *save = nullptr;
            QVERIFY(QTest::qWaitFor([&] { return (save = dialog->findChild<QFileDialog *>()); }));
            filters = save->nameFilters();
            save->findChild<QLineEdit *>("fileNameEdit")->setText(dir.filePath(target));
            QMetaObject::invokeMethod(save, "accept");
        });
        QTest::mouseClick(dialog->findChild<QPushButton *>("ButtonExport"), Qt::LeftButton);
        QCOMPARE(filters,
                 QStringList({"XML数据(*.xml)", "Excel 97-2003 工作簿(*.xls)", "CSV (*.csv)"}));
        QCOMPARE(boxes.lastText(), box);
        QCOMPARE(Bytes(dir.filePath(target)), content.isEmpty() ? recordBytes : content);
    }

    void wholeRun()
    {
        // 3000 rows 2 s apart, one peak in the middle.
        QList<QStringList> rows = RunFileMaker::Rows("2017-12-10 10:10:00", 3000, 2, {});
        for (int i = 0; i < 3000; ++i)
            rows[i] << QString::number(i == 1234 ? 9.5 : i % 7 * 0.1)
                    << QString::number(1 + i % 5 * 0.01) << QString::number(i * 0.001);
        Open(RunFileMaker::Write("whole.xml", rows));
        QTest::mouseClick(dialog->findChild<QPushButton *>("pushButtonWholeRun"), Qt::LeftButton);
        const QDateTime start(QDate(2017, 12, 10), QTime(10, 10));
        for (int view = 0; view < 3; ++view) {
            auto *axis = qobject_cast<QDateTimeAxis *>(Chart(view)->axes(Qt::Horizontal).value(0));
            auto *line = Series<QLineSeries>(view);
            QCOMPARE(axis->min(), start);
            QCOMPARE(axis->max(), start.addSecs(2 * 2999));
            // Two points per pixel column at most (the plot is narrower than
            // 1024 pixels), the ends and the peak among them.
            QVERIFY2(line->count() <= 2 * 1024 + 6, qPrintable(QString::number(line->count())));
            const auto point = [&](int row) {
                return QPointF(start.addSecs(2 * row).toMSecsSinceEpoch(),
                               rows[row][view + 1].toDouble());
            };
            const QVector<QPointF> points = line->pointsVector();
            QVERIFY(points.contains(point(0)) && points.contains(point(2999)));
            QVERIFY(view != 0 || points.contains(point(1234)));
            // Zoomed in to 20 s: every sample back, with one beyond each edge.
            axis->setRange(start.addSecs(1000), start.addSecs(1020));
            QVector<QPointF> expected;
            for (int row = 499; row <= 511; ++row)
                expected.append(point(row));
            QCOMPARE(line->pointsVector(), expected);
        }
    }
};

QTEST_MAIN(tst_DetailInfo)
#include "tst_detailinfo.moc"
