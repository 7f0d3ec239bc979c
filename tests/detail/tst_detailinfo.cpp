// The detail dialog of one run: the points, time window and value ranges it
// plots from the run's file, damaged files, the hover bubble, and the export.
#include "callout.h"
#include "chartview.h"
#include "detailinfo.h"
#include "messageboxrecorder.h"
#include "runfile.h"

#include <QApplication>
#include <QDateTimeAxis>
#include <QFileDialog>
#include <QLineEdit>
#include <QLineSeries>
#include <QPushButton>
#include <QScatterSeries>
#include <QTemporaryDir>
#include <QValueAxis>
#include <QtTest>

using namespace QtCharts;
using Rows = QList<QStringList>;
using Range = QPair<double, double>;

namespace {

const QDateTime runStart(QDate(2017, 12, 10), QTime(10, 10, 0));
const char *const views[] = {"detailInfoChart70", "detailInfoChart80", "detailInfoChart90"};

template <class T> T *Of(DetailInfo &dialog, int view, Qt::Orientation axis = Qt::Horizontal)
{
    QChart *chart = dialog.findChild<ChartView *>(views[view])->chart();
    if constexpr (std::is_base_of_v<QAbstractAxis, T>) {
        return qobject_cast<T *>(chart->axes(axis).value(0));
    } else if constexpr (std::is_base_of_v<QAbstractSeries, T>) {
        for (QAbstractSeries *series : chart->series()) {
            if (auto *s = qobject_cast<T *>(series))
                return s;
        }
    } else {
        for (QGraphicsItem *item : chart->childItems()) {
            if (auto *callout = dynamic_cast<T *>(item))
                return callout;
        }
    }
    return nullptr;
}

} // namespace

class tst_DetailInfo : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        dir = std::make_unique<QTemporaryDir>();
        QVERIFY(QDir::setCurrent(dir->path()));
    }
    void plotsRows_data();
    void plotsRows();
    void hoverShowsCallout();
    void exportFile_data();
    void exportFile();

private:
    std::unique_ptr<QTemporaryDir> dir;
};

void tst_DetailInfo::plotsRows_data()
{
    QTest::addColumn<QString>("path"); // "" for a file deleted by hand
    QTest::addColumn<int>("points");
    QTest::addColumn<int>("fromSecs");        // the time window's start after the run's
    QTest::addColumn<QList<Range>>("ranges"); // velocity, level, flow
    // The window is 20 s from the first row, or up to the last in a longer
    // run; a value axis reaches a tenth above the maximum, or 3 for a
    // series that stayed 0.
    const Range standard(-0.0001, 3);
    const Range half(-0.0001, 0.55);
    Rows two = RunFile::Rows("2017-12-10 10:10:00", 2, 5, {"0.85", "1.2", "2"});
    two[1] = QStringList{two[1][0], "1e-05", "0", "4.29497e+06"};
    QTest::newRow("two rows 5 s apart, exponents read back")
        << RunFile::Write("two.xml", two) << 2 << 0
        << QList<Range>{{-0.0001, 0.935}, {-0.0001, 1.32}, {-0.0001, 4.29497e+06 * 1.1}};
    QTest::newRow("100 rows 2 s apart open on the last 20 s, series that stayed 0")
        << RunFile::Write("long.xml", RunFile::Rows("2017-12-10 10:10:00", 100, 2, {"1", "0", "0"}))
        << 100 << 178 << QList<Range>{{-0.0001, 1.1}, standard, standard};
    Rows damaged = RunFile::Rows("2017-12-10 10:10:00", 6, 1, {"0.5", "0.5", "0.5"});
    damaged[1].removeLast();
    damaged[2].append("9");
    damaged[3][0] = "2017-12-10 10:1x:00";
    damaged[4][0] = "2017-12-10 10:10:60";
    damaged[5][0] = "10:10:05";
    QTest::newRow("rows short of a value or with no time left out, extra values ignored")
        << RunFile::Write("damaged.xml", damaged) << 2 << 0 << QList<Range>{half, half, half};
    QTest::newRow("a file cut short keeps the rows before the cut")
        << RunFile::Write("cut.xml",
                          RunFile::Rows("2017-12-10 10:10:00", 4, 1, {"0.5", "0.5", "0.5"}), false)
        << 4 << 0 << QList<Range>{half, half, half};
    QTest::newRow("deleted by hand")
        << QString() << 0 << -1 << QList<Range>{standard, standard, standard};
}

void tst_DetailInfo::plotsRows()
{
    QFETCH(QString, path);
    QFETCH(int, points);
    QFETCH(int, fromSecs);
    QFETCH(QList<Range>, ranges);
    DetailInfo dialog;
    dialog.show();
    const QDateTime opened = QDateTime::currentDateTime().addSecs(-1);
    dialog.setDetailInfoFileName(path.isEmpty() ? dir->filePath("gone.xml") : path);
    for (int i = 0; i < 3; ++i) {
        auto *line = Of<QLineSeries>(dialog, i);
        QCOMPARE(line->count(), points);
        QCOMPARE(Of<QScatterSeries>(dialog, i)->pointsVector(), line->pointsVector());
        // Without a file the window starts now.
        const QDateTime from =
            fromSecs < 0 ? Of<QDateTimeAxis>(dialog, i)->min() : runStart.addSecs(fromSecs);
        QVERIFY(fromSecs >= 0 || (from >= opened && from <= QDateTime::currentDateTime()));
        QCOMPARE(Of<QDateTimeAxis>(dialog, i)->min(), from);
        QCOMPARE(Of<QDateTimeAxis>(dialog, i)->max(), from.addSecs(20));
        QCOMPARE(Of<QValueAxis>(dialog, i, Qt::Vertical)->min(), ranges[i].first);
        QCOMPARE(Of<QValueAxis>(dialog, i, Qt::Vertical)->max(), ranges[i].second);
        if (points > 0)
            QCOMPARE(line->at(0).x(), double(runStart.toMSecsSinceEpoch()));
    }
}

void tst_DetailInfo::hoverShowsCallout()
{
    DetailInfo dialog;
    dialog.show();
    dialog.setDetailInfoFileName(RunFile::Write(
        "run.xml", RunFile::Rows("2017-12-10 10:10:00", 2, 2, {"0.5", "0.5", "1.25"})));
    auto *callout = Of<Callout>(dialog, 2);
    QVERIFY(callout && !callout->isVisible());
    const QPointF point(double(runStart.addSecs(2).toMSecsSinceEpoch()), 1.25);
    emit Of<QScatterSeries>(dialog, 2)->hovered(point, true);
    QCOMPARE(callout->text(), QStringLiteral("时间: 2017-12-10 10:10:02 \n流量: 1.25 m³/s"));
    QCOMPARE(callout->anchor(), point);
    QVERIFY(callout->isVisible() && !Of<Callout>(dialog, 0)->isVisible());
    emit Of<QScatterSeries>(dialog, 2)->hovered(point, false);
    QVERIFY(!callout->isVisible());
}

void tst_DetailInfo::exportFile_data()
{
    QTest::addColumn<QString>("target"); // relative to the scratch folder; "" cancels
    QTest::addColumn<QString>("message");
    QTest::addColumn<bool>("isCopied"); // the target holds the run's content afterwards
    const QString success = QStringLiteral("文件导出成功      ");
    const QString failure = QStringLiteral("文件导出失败      ");
    QTest::newRow("over an existing xls file") << "export.xls" << success << true;
    QTest::newRow("onto the record's own file, kept") << "run.xml" << failure << true;
    // Root writes anywhere; a folder that is a regular file stops even root.
    QTest::newRow("unwritable folder") << "plain/export.xml" << failure << false;
    QTest::newRow("cancelled") << QString() << QString() << false;
}

void tst_DetailInfo::exportFile()
{
    QFETCH(QString, target);
    QFETCH(QString, message);
    QFETCH(bool, isCopied);
    const QString record = RunFile::Write(
        "run.xml", RunFile::Rows("2017-12-10 10:10:00", 3, 2, {"0.5", "0.6", "0.7"}));
    QFile file(record);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray content = file.readAll();
    RunFile::Write("plain", {});
    RunFile::Write("export.xls", {});
    DetailInfo dialog;
    dialog.show();
    dialog.setDetailInfoFileName(record);
    // Replacing a file is confirmed in the save dialog first: Yes.
    MessageBoxRecorder boxes(QMessageBox::Yes);
    QTimer::singleShot(0, this, [&] {
        QFileDialog *save = nullptr;
        QTest::qWaitFor([&] {
            for (QWidget *widget : QApplication::topLevelWidgets())
                save = save ? save : qobject_cast<QFileDialog *>(widget);
            return save && save->isVisible();
        });
        if (target.isEmpty())
            return save->reject();
        save->findChild<QLineEdit *>("fileNameEdit")->setText(dir->filePath(target));
        QMetaObject::invokeMethod(save, "accept");
    });
    QTest::mouseClick(dialog.findChild<QPushButton *>("ButtonExport"), Qt::LeftButton);
    QCOMPARE(boxes.lastText(), message);
    QFile original(record), copy(dir->filePath(target));
    QVERIFY(original.open(QIODevice::ReadOnly) && original.readAll() == content);
    QCOMPARE(copy.open(QIODevice::ReadOnly) && copy.readAll() == content, isCopied);
}

QTEST_MAIN(tst_DetailInfo)
#include "tst_detailinfo.moc"
