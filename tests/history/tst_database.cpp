// The history store and its page: the table on disk, the age filters at
// their date boundaries, deletion with its question, and which clicks open
// the detail dialog.
#include "chartview.h"
#include "database.h"
#include "detailinfo.h"
#include "historyview.h"
#include "messageboxrecorder.h"
#include "runfile.h"
#include "tableviewdelegate.h"

#include <QApplication>
#include <QPushButton>
#include <QRadioButton>
#include <QSqlQuery>
#include <QSqlQueryModel>
#include <QSqlRecord>
#include <QTableView>
#include <QTemporaryDir>
#include <QVBoxLayout>
#include <QXYSeries>
#include <QtTest>

namespace {

const int operationColumn = 8;

HistoryRecord Record(const QDateTime &start, const QString &filePath)
{
    return {start.toString("yyyy-MM-dd hh:mm:ss"),
            "0-0:12:34",
            377,
            "0.850",
            "1.200",
            "2.000",
            filePath};
}

QString MakeFile(const QString &name)
{
    return RunFile::Write(name, RunFile::Rows("2017-12-10 10:10:00", 2, 2, {"0.5", "1", "2"}));
}

} // namespace

// The history page as the window builds it: the table, the four filters and
// the delete question on the delegate's signal.
class HistoryPage : public QWidget
{
public:
    HistoryPage()
    {
        auto *layout = new QVBoxLayout(this);
        for (QRadioButton *button : filters)
            layout->addWidget(button);
        layout->addWidget(&table);
        day.setChecked(true);
        HistoryView::SetUp(&table, &database, &delegate);
        QObject::connect(&delegate, &TableViewDelegate::deleteData, this,
                         [this](QModelIndex index) {
                             if (HistoryView::ConfirmDelete(this, &database, index))
                                 Refresh();
                         });
        resize(1200, 400);
        table.setColumnWidth(operationColumn, 100);
    }
    void Refresh() { HistoryView::ApplyFilter(&database, {&day, &month, &year, &all}); }
    bool Show()
    {
        Refresh();
        show();
        return QTest::qWaitForWindowExposed(this);
    }
    QString PathAt(int row)
    {
        return database.getModel()->record(row).value(QStringLiteral("filePath")).toString();
    }
    QRect Cell(int row, int column) { return table.visualRect(table.model()->index(row, column)); }

    Database database;
    TableViewDelegate delegate;
    QRadioButton day, month, year, all; // 7 days, 30 days, half a year, all
    const std::array<QRadioButton *, 4> filters{&day, &month, &year, &all};
    QTableView table;
};

class tst_Database : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        dir = std::make_unique<QTemporaryDir>();
        QVERIFY(QDir::setCurrent(dir->path()));
    }
    void tableSurvivesRestart();
    void filters_data();
    void filters();
    void deleteWithConfirmation_data();
    void deleteWithConfirmation();
    void clicks_data();
    void clicks();

private:
    std::unique_ptr<QTemporaryDir> dir;
};

void tst_Database::tableSurvivesRestart()
{
    {
        Database database;
        QVERIFY(database.insertRecord(Record(QDateTime::currentDateTime(), "/x/a.xml")));
    }
    Database database;
    QCOMPARE(database.getModel()->rowCount(), 1);
    const QSqlRecord row = database.getModel()->record(0);
    QStringList fields, values;
    for (int i = 0; i < row.count(); ++i) {
        fields << row.fieldName(i);
        values << row.value(i).toString();
    }
    QCOMPARE(fields.join(' '), QStringLiteral("id startTime durationTime count min max average "
                                              "filePath operation"));
    QCOMPARE(values.mid(2).join('|'), QStringLiteral("0-0:12:34|377|0.850|1.200|2.000|/x/a.xml|"));
}

void tst_Database::filters_data()
{
    QTest::addColumn<int>("filter"); // the checked button: 7 days, 30 days, half year, all
    QTest::addColumn<int>("daysAgo");
    QTest::addColumn<bool>("isListed");
    QTest::newRow("7 days: D-6") << 0 << 6 << true;
    QTest::newRow("7 days: D-7") << 0 << 7 << false;
    QTest::newRow("30 days: D-29") << 1 << 29 << true;
    QTest::newRow("30 days: D-30") << 1 << 30 << false;
    QTest::newRow("half year: D-179") << 2 << 179 << true;
    QTest::newRow("half year: D-180") << 2 << 180 << false;
    QTest::newRow("all: D-400") << 3 << 400 << true;
}

void tst_Database::filters()
{
    QFETCH(int, filter);
    QFETCH(int, daysAgo);
    QFETCH(bool, isListed);
    // The first second of the day: a run's date counts, not its time.
    HistoryPage page;
    page.database.insertRecord(
        Record(QDateTime(QDate::currentDate().addDays(-daysAgo), QTime(0, 0, 1)), "/old.xml"));
    page.database.insertRecord(Record(QDateTime::currentDateTime(), "/today.xml"));
    page.filters[filter]->setChecked(true);
    page.Refresh();
    QCOMPARE(page.database.getModel()->rowCount(), isListed ? 2 : 1);
    QCOMPARE(page.PathAt(0), QStringLiteral("/today.xml")); // newest first
}

void tst_Database::deleteWithConfirmation_data()
{
    QTest::addColumn<int>("answer");
    QTest::addColumn<bool>("isLocked"); // the history refuses every delete
    QTest::addColumn<bool>("isDeleted");
    QTest::newRow("Yes deletes the row and its file") << int(QMessageBox::Yes) << false << true;
    QTest::newRow("No keeps both") << int(QMessageBox::No) << false << false;
    QTest::newRow("a row that stays keeps its file") << int(QMessageBox::Yes) << true << false;
}

void tst_Database::deleteWithConfirmation()
{
    QFETCH(int, answer);
    QFETCH(bool, isLocked);
    QFETCH(bool, isDeleted);
    HistoryPage page;
    const QString older = MakeFile("older.xml");
    const QString newer = MakeFile("newer.xml");
    page.database.insertRecord(Record(QDateTime::currentDateTime().addSecs(-60), older));
    page.database.insertRecord(Record(QDateTime::currentDateTime(), newer));
    if (isLocked)
        QVERIFY(QSqlQuery().exec("create trigger keep before delete on history "
                                 "begin select raise(abort, 'locked'); end"));
    QVERIFY(page.Show());
    MessageBoxRecorder boxes{QMessageBox::StandardButton(answer)};
    QTest::mouseClick(page.table.viewport(), Qt::LeftButton, {},
                      page.delegate.ButtonRect(page.Cell(0, operationColumn)).center());
    QVERIFY(boxes.waitForBoxes(1));
    QCOMPARE(boxes.boxes().size(), 1);
    QCOMPARE(boxes.boxes()[0].title, QStringLiteral("删除历史记录"));
    QCOMPARE(boxes.boxes()[0].text, QStringLiteral("数据删除后不可恢复，是否删除本条记录？"));
    QCOMPARE(QFile::exists(newer), !isDeleted);
    QVERIFY(QFile::exists(older));
    QCOMPARE(page.database.getModel()->rowCount(), isDeleted ? 1 : 2);
    QCOMPARE(page.PathAt(0), isDeleted ? older : newer);
}

void tst_Database::clicks_data()
{
    QTest::addColumn<int>("column");
    QTest::addColumn<int>("dx"); // from the cell's left edge; -1 the centre
    QTest::addColumn<bool>("isQuestion");
    QTest::addColumn<bool>("isDetail");
    // In a cell 100 pixels wide the button covers pixels 62 to 86; the rest
    // of the operation cell does nothing.
    QTest::newRow("just left of the button") << operationColumn << 61 << false << false;
    QTest::newRow("button's left edge") << operationColumn << 62 << true << false;
    QTest::newRow("button's right edge") << operationColumn << 86 << true << false;
    QTest::newRow("just right of the button") << operationColumn << 87 << false << false;
    QTest::newRow("start time column") << 1 << -1 << false << true;
}

void tst_Database::clicks()
{
    QFETCH(int, column);
    QFETCH(int, dx);
    QFETCH(bool, isQuestion);
    QFETCH(bool, isDetail);
    HistoryPage page;
    page.database.insertRecord(Record(QDateTime::currentDateTime(), MakeFile("run.xml")));
    QVERIFY(page.Show());
    // A detail dialog is closed as soon as it appears, after noting how many
    // points of the run it plots.
    int detailPoints = -1;
    QTimer closer;
    connect(&closer, &QTimer::timeout, this, [&detailPoints] {
        for (QWidget *widget : QApplication::topLevelWidgets()) {
            auto *detail = qobject_cast<DetailInfo *>(widget);
            if (!detail || !detail->isVisible())
                continue;
            auto *view = detail->findChild<ChartView *>("detailInfoChart70");
            auto *series = qobject_cast<QtCharts::QXYSeries *>(view->chart()->series().value(0));
            detailPoints = series ? series->count() : 0;
            detail->findChild<QPushButton *>("okButton")->click();
        }
    });
    closer.start(10);
    MessageBoxRecorder boxes(QMessageBox::No);
    const QRect cell = page.Cell(0, column);
    QTest::mouseClick(page.table.viewport(), Qt::LeftButton, {},
                      dx < 0 ? cell.center() : QPoint(cell.left() + dx, cell.center().y()));
    QTest::qWait(50);
    QCOMPARE(boxes.boxes().size(), isQuestion ? 1 : 0);
    QCOMPARE(detailPoints, isDetail ? 2 : -1);
}

QTEST_MAIN(tst_Database)
#include "tst_database.moc"
