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

struct Sample
{
    QString time;
    QStringList values; // velocity, level, flow as written
};

const QDateTime runStart(QDate(2017, 12, 10), QTime(10, 10, 0));

QString TimeText(const QDateTime &time)
{
    return time.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

// The shape the recorder writes: head, table, rows of four cells, tail.
QByteArray Workbook(const QList<Sample> &samples, bool isFinished = true)
{
    QByteArray xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                     "<Workbook xmlns=\"urn:schemas-microsoft-com:office:spreadsheet\"\n"
                     " xmlns:x=\"urn:schemas-microsoft-com:office:excel\"\n"
                     " xmlns:ss=\"urn:schemas-microsoft-com:office:spreadsheet\">\n"
                     " <Worksheet ss:Name=\"Sheet1\">\n"
                     "<Table ss:ExpandedColumnCount=\"4\" ss:ExpandedRowCount=\"10\">\n"
                     "    <Column ss:AutoFitWidth=\"0\" ss:Width=\"150\"/>\n";
    for (const Sample &sample : samples) {
        xml += "    <Row>\n        <Cell>\n            <Data ss:Type=\"String\" x:Ticked=\"1\">" +
               sample.time.toUtf8() + "</Data>\n        </Cell>\n";
        for (const QString &value : sample.values)
            xml += "        <Cell>\n            <Data ss:Type=\"Number\">" + value.toUtf8() +
                   "</Data>\n        </Cell>\n";
        xml += "    </Row>\n";
    }
    if (isFinished)
        xml += "</Table>\n </Worksheet>\n</Workbook>\n";
    return xml;
}

QList<Sample> Series(int count, int stepSeconds, double speed, double level, double quantity)
{
    QList<Sample> samples;
    for (int i = 0; i < count; ++i)
        samples.append(
            {TimeText(runStart.addSecs(qint64(i) * stepSeconds)),
             {QString::number(speed), QString::number(level), QString::number(quantity)}});
    return samples;
}

struct Plot
{
    QChart *chart;
    QLineSeries *line;
    QScatterSeries *scatter;
    QDateTimeAxis *time;
    QValueAxis *value;
};

Plot PlotOf(DetailInfo &dialog, const char *viewName)
{
    auto *view = dialog.findChild<ChartView *>(QLatin1String(viewName));
    QChart *chart = view->chart();
    Plot plot{chart, nullptr, nullptr, nullptr, nullptr};
    for (QAbstractSeries *series : chart->series()) {
        if (auto *scatter = qobject_cast<QScatterSeries *>(series))
            plot.scatter = scatter;
        else
            plot.line = qobject_cast<QLineSeries *>(series);
    }
    plot.time = qobject_cast<QDateTimeAxis *>(chart->axes(Qt::Horizontal).value(0));
    plot.value = qobject_cast<QValueAxis *>(chart->axes(Qt::Vertical).value(0));
    return plot;
}

Callout *CalloutOf(const Plot &plot)
{
    for (QGraphicsItem *item : plot.chart->childItems()) {
        if (auto *callout = dynamic_cast<Callout *>(item))
            return callout;
    }
    return nullptr;
}

using Range = QPair<double, double>;

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
    const QString path = dir->filePath(name);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return QString();
    file.write(content);
    return path;
}

void tst_DetailInfo::AnswerSaveDialog(const QString &path)
{
    QTimer::singleShot(0, this, [this, path] {
        QFileDialog *dialog = nullptr;
        const bool isShown = QTest::qWaitFor([&] {
            for (QWidget *widget : QApplication::topLevelWidgets()) {
                dialog = qobject_cast<QFileDialog *>(widget);
                if (dialog && dialog->isVisible())
                    return true;
            }
            return false;
        });
        if (!isShown)
            return;
        if (path.isEmpty()) {
            dialog->reject();
            return;
        }
        dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"))->setText(path);
        QMetaObject::invokeMethod(dialog, "accept");
    });
}

void tst_DetailInfo::plotsRows_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<int>("points");
    QTest::addColumn<QDateTime>("from");
    QTest::addColumn<QDateTime>("to");
    QTest::addColumn<Range>("speedRange");
    QTest::addColumn<Range>("levelRange");
    QTest::addColumn<Range>("quantityRange");

    const Range standard(-0.0001, 3);
    QTest::newRow("two rows 5 s apart open on the first 20 s")
        << Workbook(Series(2, 5, 0.85, 1.2, 2.0)) << 2 << runStart << runStart.addSecs(20)
        << Range(-0.0001, 0.935) << Range(-0.0001, 1.32) << Range(-0.0001, 2.2);
    QTest::newRow("100 rows 2 s apart open on the last 20 s")
        << Workbook(Series(100, 2, 1, 0, 0)) << 100 << runStart.addSecs(198 - 20)
        << runStart.addSecs(198) << Range(-0.0001, 1.1) << standard << standard;

    QTest::newRow("rows across hours and days")
        << Workbook(Series(3, 43200 + 1800, 1, 1, 1)) << 3 << runStart.addSecs(2 * 45000 - 20)
        << runStart.addSecs(2 * 45000) << Range(-0.0001, 1.1) << Range(-0.0001, 1.1)
        << Range(-0.0001, 1.1);

    QList<Sample> mixed = Series(3, 1, 0, 0, 0);
    mixed[0].values = QStringList{"0.5", "0", "1.25"};
    mixed[1].values = QStringList{"1", "0", "4.29497e+06"};
    mixed[2].values = QStringList{"0.8", "0", "1e-05"};
    QTest::newRow("maximum plus a tenth, a quantity that stayed 0 keeps 0 to 3")
        << Workbook(mixed) << 3 << runStart << runStart.addSecs(20) << Range(-0.0001, 1.1)
        << standard << Range(-0.0001, 4.29497e+06 * 1.1);

    QList<Sample> shortRow = Series(3, 1, 0.5, 0.5, 0.5);
    shortRow[1].values.removeLast();
    shortRow[2].values.append(QStringLiteral("9"));
    QTest::newRow("a row short of a value is left out, extra values ignored")
        << Workbook(shortRow) << 2 << runStart << runStart.addSecs(20) << Range(-0.0001, 0.55)
        << Range(-0.0001, 0.55) << Range(-0.0001, 0.55);

    QList<Sample> badTimes = Series(5, 1, 0.5, 0.5, 0.5);
    badTimes[1].time = QStringLiteral("2017-12-10 10:1x:00");
    badTimes[2].time = QStringLiteral("2017-12-10 10:10:60");
    badTimes[3].time = QStringLiteral("10:10:03");
    QTest::newRow("a row whose time is no time is left out")
        << Workbook(badTimes) << 2 << runStart << runStart.addSecs(20) << Range(-0.0001, 0.55)
        << Range(-0.0001, 0.55) << Range(-0.0001, 0.55);

    QByteArray cut = Workbook(Series(4, 1, 0.5, 0.5, 0.5), false);
    cut += "    <Row>\n        <Cell>\n            <Data ss:Type=\"String\" x:Ti";
    QTest::newRow("a file cut short keeps the rows before the cut")
        << cut << 4 << runStart << runStart.addSecs(20) << Range(-0.0001, 0.55)
        << Range(-0.0001, 0.55) << Range(-0.0001, 0.55);
}

void tst_DetailInfo::plotsRows()
{
    QFETCH(QByteArray, content);
    QFETCH(int, points);
    QFETCH(QDateTime, from);
    QFETCH(QDateTime, to);
    QFETCH(Range, speedRange);
    QFETCH(Range, levelRange);
    QFETCH(Range, quantityRange);

    DetailInfo dialog;
    dialog.show();
    dialog.setDetailInfoFileName(WriteRun(content));

    const char *views[] = {"detailInfoChart70", "detailInfoChart80", "detailInfoChart90"};
    const Range ranges[] = {speedRange, levelRange, quantityRange};
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
    DetailInfo dialog;
    dialog.show();
    const QDateTime before = QDateTime::currentDateTime();
    dialog.setDetailInfoFileName(dir->filePath(QStringLiteral("deleted by hand.xml")));
    const Plot plot = PlotOf(dialog, "detailInfoChart80");
    QCOMPARE(plot.line->count(), 0);
    QVERIFY(plot.time->min() >= before.addSecs(-1));
    QVERIFY(plot.time->min() <= QDateTime::currentDateTime());
    QCOMPARE(plot.time->min().msecsTo(plot.time->max()), 20000);
    QCOMPARE(plot.value->min(), -0.0001);
    QCOMPARE(plot.value->max(), 3.0);
}

void tst_DetailInfo::hoverShowsCallout()
{
    DetailInfo dialog;
    dialog.show();
    dialog.setDetailInfoFileName(WriteRun(Workbook(Series(2, 2, 0.5, 0.5, 1.25))));
    const Plot flow = PlotOf(dialog, "detailInfoChart90");
    Callout *callout = CalloutOf(flow);
    QVERIFY(callout);
    QVERIFY(!callout->isVisible());

    const QPointF point(double(runStart.addSecs(2).toMSecsSinceEpoch()), 1.25);
    emit flow.scatter->hovered(point, true);
    QCOMPARE(callout->text(), QStringLiteral("时间: 2017-12-10 10:10:02 \n流量: 1.25 m³/s"));
    QCOMPARE(callout->anchor(), point);
    QVERIFY(callout->isVisible());
    QVERIFY(!CalloutOf(PlotOf(dialog, "detailInfoChart70"))->isVisible());

    emit flow.scatter->hovered(point, false);
    QVERIFY(!callout->isVisible());
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
    QFile record2(record);
    QVERIFY(record2.open(QIODevice::ReadOnly));
    QCOMPARE(record2.readAll(), content);
    if (isCopied) {
        QFile copy(targetPath);
        QVERIFY(copy.open(QIODevice::ReadOnly));
        QCOMPARE(copy.readAll(), content);
    }
}

QTEST_MAIN(tst_DetailInfo)
#include "tst_detailinfo.moc"
