// The detail dialog of one run: the points, time window and value ranges it
// plots from the run's file, damaged files, the hover bubble, and the export.
#include "callout.h"
#include "chartview.h"
#include "detailinfo.h"
#include "messageboxrecorder.h"

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

namespace {

using Range = QPair<double, double>;
using Rows = QList<QStringList>; // time, velocity, level, flow as written

const QDateTime runStart(QDate(2017, 12, 10), QTime(10, 10, 0));

// The shape the recorder writes: head, table, rows of four cells, tail.
QByteArray Workbook(const Rows &rows, bool isFinished = true)
{
    QByteArray xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                     "<Workbook xmlns=\"urn:schemas-microsoft-com:office:spreadsheet\"\n"
                     " xmlns:x=\"urn:schemas-microsoft-com:office:excel\"\n"
                     " xmlns:ss=\"urn:schemas-microsoft-com:office:spreadsheet\">\n"
                     " <Worksheet ss:Name=\"Sheet1\">\n"
                     "<Table ss:ExpandedColumnCount=\"4\" ss:ExpandedRowCount=\"10\">\n"
                     "    <Column ss:AutoFitWidth=\"0\" ss:Width=\"150\"/>\n";
    for (const QStringList &row : rows) {
        xml += "    <Row>\n        <Cell>\n            <Data ss:Type=\"String\" x:Ticked=\"1\">" +
               row.value(0).toUtf8() + "</Data>\n        </Cell>\n";
        for (const QString &value : row.mid(1))
            xml += "        <Cell>\n            <Data ss:Type=\"Number\">" + value.toUtf8() +
                   "</Data>\n        </Cell>\n";
        xml += "    </Row>\n";
    }
    return isFinished ? xml + "</Table>\n </Worksheet>\n</Workbook>\n" : xml;
}

Rows Series(int count, int stepSeconds, double speed, double level, double quantity)
{
    Rows rows;
    for (int i = 0; i < count; ++i)
        rows.append({runStart.addSecs(qint64(i) * stepSeconds).toString("yyyy-MM-dd HH:mm:ss"),
                     QString::number(speed), QString::number(level), QString::number(quantity)});
    return rows;
}

struct Plot
{
    QLineSeries *line;
    QScatterSeries *scatter;
    QDateTimeAxis *time;
    QValueAxis *value;
    Callout *callout;
};

Plot PlotOf(DetailInfo &dialog, const char *viewName)
{
    QChart *chart = dialog.findChild<ChartView *>(QLatin1String(viewName))->chart();
    Plot plot{nullptr, nullptr, nullptr, nullptr, nullptr};
    for (QAbstractSeries *series : chart->series()) {
        if (auto *scatter = qobject_cast<QScatterSeries *>(series))
            plot.scatter = scatter;
        else
            plot.line = qobject_cast<QLineSeries *>(series);
    }
    plot.time = qobject_cast<QDateTimeAxis *>(chart->axes(Qt::Horizontal).value(0));
    plot.value = qobject_cast<QValueAxis *>(chart->axes(Qt::Vertical).value(0));
    for (QGraphicsItem *item : chart->childItems()) {
        if (auto *callout = dynamic_cast<Callout *>(item))
            plot.callout = callout;
    }
    return plot;
}

const char *const views[] = {"detailInfoChart70", "detailInfoChart80", "detailInfoChart90"};

} // namespace

class tst_DetailInfo : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void plotsRows_data();
    void plotsRows();
    void missingFile();
    void hoverShowsCallout();
    void exportFile_data();
    void exportFile();

private:
    QString WriteRun(const QByteArray &content, const QString &name = QStringLiteral("run.xml"));
    // Answers the next save dialog with path; an empty path cancels it.
    void AnswerSaveDialog(const QString &path);

    std::unique_ptr<QTemporaryDir> dir;
};

void tst_DetailInfo::init()
{
    dir = std::make_unique<QTemporaryDir>();
    QVERIFY(dir->isValid());
}

QString tst_DetailInfo::WriteRun(const QByteArray &content, const QString &name)
{
    QFile file(dir->filePath(name));
    if (!file.open(QIODevice::WriteOnly))
        return QString();
    file.write(content);
    return file.fileName();
}

void tst_DetailInfo::AnswerSaveDialog(const QString &path)
{
    QTimer::singleShot(0, this, [path] {
        QFileDialog *dialog = nullptr;
        const bool isShown = QTest::qWaitFor([&dialog] {
            for (QWidget *widget : QApplication::topLevelWidgets()) {
                dialog = qobject_cast<QFileDialog *>(widget);
                if (dialog && dialog->isVisible())
                    return true;
            }
            return false;
        });
        if (isShown && path.isEmpty()) {
            dialog->reject();
        } else if (isShown) {
            dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"))->setText(path);
            QMetaObject::invokeMethod(dialog, "accept");
        }
    });
}

void tst_DetailInfo::plotsRows_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<int>("points");
    QTest::addColumn<QDateTime>("from");
    QTest::addColumn<QDateTime>("to");
    QTest::addColumn<QList<Range>>("ranges"); // velocity, level, flow

    // The window is 20 s from the first row, or up to the last in a longer
    // run; a value axis reaches a tenth above the maximum, or 3 for a
    // series that stayed 0.
    const Range standard(-0.0001, 3);
    const Range half(-0.0001, 0.55);
    Rows two = Series(2, 5, 0.85, 1.2, 2.0);
    two[1] = QStringList{two[1][0], "1e-05", "0", "4.29497e+06"};
    QTest::newRow("two rows 5 s apart open on the first 20 s, exponents read back")
        << Workbook(two) << 2 << runStart << runStart.addSecs(20)
        << QList<Range>{{-0.0001, 0.935}, {-0.0001, 1.32}, {-0.0001, 4.29497e+06 * 1.1}};
    QTest::newRow("100 rows 2 s apart open on the last 20 s, series that stayed 0")
        << Workbook(Series(100, 2, 1, 0, 0)) << 100 << runStart.addSecs(198 - 20)
        << runStart.addSecs(198) << QList<Range>{{-0.0001, 1.1}, standard, standard};
    QTest::newRow("rows across hours and days")
        << Workbook(Series(3, 43200 + 1800, 1, 1, 1)) << 3 << runStart.addSecs(2 * 45000 - 20)
        << runStart.addSecs(2 * 45000)
        << QList<Range>{{-0.0001, 1.1}, {-0.0001, 1.1}, {-0.0001, 1.1}};

    Rows damaged = Series(6, 1, 0.5, 0.5, 0.5);
    damaged[1].removeLast();
    damaged[2].append(QStringLiteral("9"));
    damaged[3][0] = QStringLiteral("2017-12-10 10:1x:00");
    damaged[4][0] = QStringLiteral("2017-12-10 10:10:60");
    damaged[5][0] = QStringLiteral("10:10:05");
    QTest::newRow("rows short of a value or with no time left out, extra values ignored")
        << Workbook(damaged) << 2 << runStart << runStart.addSecs(20)
        << QList<Range>{half, half, half};
    const QByteArray cut = Workbook(Series(4, 1, 0.5, 0.5, 0.5), false) +
                           "    <Row>\n        <Cell>\n            <Data ss:Type=\"String\" x:Ti";
    QTest::newRow("a file cut short keeps the rows before the cut")
        << cut << 4 << runStart << runStart.addSecs(20) << QList<Range>{half, half, half};
}

void tst_DetailInfo::plotsRows()
{
    QFETCH(QByteArray, content);
    QFETCH(int, points);
    QFETCH(QDateTime, from);
    QFETCH(QDateTime, to);
    QFETCH(QList<Range>, ranges);

    DetailInfo dialog;
    dialog.show();
    dialog.setDetailInfoFileName(WriteRun(content));
    for (int i = 0; i < 3; ++i) {
        const Plot plot = PlotOf(dialog, views[i]);
        QCOMPARE(plot.line->count(), points);
        QCOMPARE(plot.scatter->pointsVector(), plot.line->pointsVector());
        QCOMPARE(plot.line->at(0).x(), double(runStart.toMSecsSinceEpoch()));
        // A run longer than the window ends at its right edge.
        if (from != runStart)
            QCOMPARE(plot.line->at(points - 1).x(), double(to.toMSecsSinceEpoch()));
        QCOMPARE(plot.time->min(), from);
        QCOMPARE(plot.time->max(), to);
        QCOMPARE(plot.value->min(), ranges[i].first);
        QCOMPARE(plot.value->max(), ranges[i].second);
    }
}

void tst_DetailInfo::missingFile()
{
    // No points; the window starts now, the values span 0 to 3.
    DetailInfo dialog;
    dialog.show();
    const QDateTime before = QDateTime::currentDateTime().addSecs(-1);
    dialog.setDetailInfoFileName(dir->filePath(QStringLiteral("deleted by hand.xml")));
    const Plot plot = PlotOf(dialog, views[1]);
    QCOMPARE(plot.line->count(), 0);
    QVERIFY(plot.time->min() >= before && plot.time->min() <= QDateTime::currentDateTime());
    QCOMPARE(plot.time->min().msecsTo(plot.time->max()), 20000);
    QCOMPARE(plot.value->min(), -0.0001);
    QCOMPARE(plot.value->max(), 3.0);
}

void tst_DetailInfo::hoverShowsCallout()
{
    DetailInfo dialog;
    dialog.show();
    dialog.setDetailInfoFileName(WriteRun(Workbook(Series(2, 2, 0.5, 0.5, 1.25))));
    const Plot flow = PlotOf(dialog, views[2]);
    QVERIFY(flow.callout && !flow.callout->isVisible());

    const QPointF point(double(runStart.addSecs(2).toMSecsSinceEpoch()), 1.25);
    emit flow.scatter->hovered(point, true);
    QCOMPARE(flow.callout->text(), QStringLiteral("时间: 2017-12-10 10:10:02 \n流量: 1.25 m³/s"));
    QCOMPARE(flow.callout->anchor(), point);
    QVERIFY(flow.callout->isVisible());
    QVERIFY(!PlotOf(dialog, views[0]).callout->isVisible());

    emit flow.scatter->hovered(point, false);
    QVERIFY(!flow.callout->isVisible());
}

void tst_DetailInfo::exportFile_data()
{
    QTest::addColumn<QString>("target");    // relative to the scratch folder
    QTest::addColumn<QByteArray>("before"); // content already at the target
    QTest::addColumn<QString>("message");
    QTest::addColumn<bool>("isCopied");

    const QString success = QStringLiteral("文件导出成功      ");
    const QString failure = QStringLiteral("文件导出失败      ");
    QTest::newRow("new xls path") << "export.xls" << QByteArray() << success << true;
    QTest::newRow("over an existing file") << "export.xml" << QByteArray("old") << success << true;
    QTest::newRow("onto the record's own file") << "run.xml" << QByteArray() << failure << false;
    // Root writes anywhere; a folder that is a regular file stops even root.
    QTest::newRow("unwritable folder") << "plain/export.xml" << QByteArray() << failure << false;
    QTest::newRow("cancelled") << QString() << QByteArray() << QString() << false;
}

void tst_DetailInfo::exportFile()
{
    QFETCH(QString, target);
    QFETCH(QByteArray, before);
    QFETCH(QString, message);
    QFETCH(bool, isCopied);

    const QByteArray content = Workbook(Series(3, 2, 0.5, 0.6, 0.7));
    const QString record = WriteRun(content);
    WriteRun("a file, not a folder", QStringLiteral("plain"));
    if (!before.isEmpty())
        WriteRun(before, target);
    const QString targetPath = target.isEmpty() ? QString() : dir->filePath(target);

    DetailInfo dialog;
    dialog.show();
    dialog.setDetailInfoFileName(record);
    // Replacing a file is confirmed in the save dialog first: Yes.
    MessageBoxRecorder boxes(QMessageBox::Yes);
    AnswerSaveDialog(targetPath);
    QTest::mouseClick(dialog.findChild<QPushButton *>(QStringLiteral("ButtonExport")),
                      Qt::LeftButton);

    QCOMPARE(boxes.lastText(), message);
    if (!message.isEmpty())
        QVERIFY(boxes.boxes().last().title.isEmpty());
    QFile original(record);
    QVERIFY(original.open(QIODevice::ReadOnly));
    QCOMPARE(original.readAll(), content);
    QFile copy(targetPath);
    if (isCopied)
        QVERIFY(copy.open(QIODevice::ReadOnly) && copy.readAll() == content);
}

QTEST_MAIN(tst_DetailInfo)
#include "tst_detailinfo.moc"
