#include "chartview.h"
#include "database.h"
#include "detailinfo.h"
#include "historyview.h"
#include "messageboxrecorder.h"
#include "tableviewdelegate.h"

#include <QApplication>
#include <QHeaderView>
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

HistoryRecord Record(const QDateTime &start, const QString &filePath = QString())
{
    HistoryRecord record;
    record.startTime = start.toString(QStringLiteral("yyyy-MM-dd hh:mm:ss"));
    record.durationTime = QStringLiteral("0-0:12:34");
    record.count = 377;
    record.min = QStringLiteral("0.850");
    record.max = QStringLiteral("1.200");
    record.average = QStringLiteral("2.000");
    record.filePath = filePath;
    return record;
}

QStringList StartTimes(QSqlQueryModel *model)
{
    QStringList times;
    for (int row = 0; row < model->rowCount(); ++row)
        times.append(model->record(row).value(QStringLiteral("startTime")).toString());
    return times;
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
        for (QRadioButton *button : {&day, &month, &year, &all})
            layout->addWidget(button);
        layout->addWidget(&table);
        day.setChecked(true);
        HistoryView::SetUp(&table, &database, &delegate);
        QObject::connect(&delegate, &TableViewDelegate::deleteData, this,
                         [this](QModelIndex index) {
                             if (HistoryView::ConfirmDelete(this, &database, index))
                                 Refresh();
                         });
        Refresh();
        resize(1200, 400);
        table.setColumnWidth(operationColumn, 100);
    }
    void Refresh() { HistoryView::ApplyFilter(&database, {&day, &month, &year, &all}); }
    QSqlQueryModel *model() { return database.getModel(); }
    QPoint CellPoint(int row, int column, int dx = -1)
    {
        const QRect cell = table.visualRect(table.model()->index(row, column));
        if (dx >= 0)
            return QPoint(cell.left() + dx, cell.center().y());
        return column == operationColumn ? delegate.ButtonRect(cell).center() : cell.center();
    }

    Database database;
    TableViewDelegate delegate;
    QRadioButton day{QStringLiteral("查询最近7天数据")};
    QRadioButton month{QStringLiteral("查询最近30天数据")};
    QRadioButton year{QStringLiteral("查询最近半年数据")};
    QRadioButton all{QStringLiteral("查询所有数据")};
    QTableView table;
};

class tst_Database : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void tableSurvivesRestart();
    void filters_data();
    void filters();
    void firstCheckedFilterWins();
    void viewLayout();
    void quoteInWorkingDirectory();
    void deleteWithConfirmation_data();
    void deleteWithConfirmation();
    void failedDeleteKeepsFile();
    void deleteButtonHitArea_data();
    void deleteButtonHitArea();

private:
    QString MakeFile(const QString &name);

    std::unique_ptr<QTemporaryDir> dir;
    QString startDir;
};

void tst_Database::init()
{
    startDir = QDir::currentPath();
    dir = std::make_unique<QTemporaryDir>();
    QVERIFY(dir->isValid());
    QVERIFY(QDir::setCurrent(dir->path()));
}

void tst_Database::cleanup()
{
    QDir::setCurrent(startDir);
}

QString tst_Database::MakeFile(const QString &name)
{
    const QString path = QDir::current().absoluteFilePath(name);
    QFile file(path);
    if (file.open(QIODevice::WriteOnly))
        file.write("<Workbook><Table>"
                   "<Row><Cell><Data>2017-12-10 10:10:00</Data></Cell><Cell><Data>0.5</Data>"
                   "</Cell><Cell><Data>1</Data></Cell><Cell><Data>2</Data></Cell></Row>"
                   "<Row><Cell><Data>2017-12-10 10:10:02</Data></Cell><Cell><Data>0.6</Data>"
                   "</Cell><Cell><Data>1</Data></Cell><Cell><Data>2</Data></Cell></Row>"
                   "</Table></Workbook>");
    return path;
}

void tst_Database::tableSurvivesRestart()
{
    {
        Database database;
        QVERIFY(QFile::exists(QStringLiteral("database.db")));
        QCOMPARE(database.getModel()->rowCount(), 0);
        QVERIFY(database.insertRecord(Record(QDateTime::currentDateTime(), "/x/a.xml")));
    }
    Database database;
    QSqlQueryModel *model = database.getModel();
    QCOMPARE(model->rowCount(), 1);
    const QSqlRecord row = model->record(0);
    const QStringList columns = {"id",  "startTime", "durationTime", "count",    "min",
                                 "max", "average",   "filePath",     "operation"};
    for (int i = 0; i < columns.size(); ++i)
        QCOMPARE(row.fieldName(i), columns[i]);
    QCOMPARE(row.value("durationTime").toString(), QStringLiteral("0-0:12:34"));
    QCOMPARE(row.value("count").toInt(), 377);
    QCOMPARE(row.value("min").toString(), QStringLiteral("0.850"));
    QCOMPARE(row.value("filePath").toString(), QStringLiteral("/x/a.xml"));
    QVERIFY(row.value("operation").isNull());
}

void tst_Database::filters_data()
{
    QTest::addColumn<int>("filter");
    QTest::addColumn<int>("daysAgo");
    QTest::addColumn<bool>("isListed");

    QTest::newRow("7 days: today") << int(Database::LastWeek) << 0 << true;
    QTest::newRow("7 days: D-6") << int(Database::LastWeek) << 6 << true;
    QTest::newRow("7 days: D-7") << int(Database::LastWeek) << 7 << false;
    QTest::newRow("30 days: D-7") << int(Database::LastMonth) << 7 << true;
    QTest::newRow("30 days: D-29") << int(Database::LastMonth) << 29 << true;
    QTest::newRow("30 days: D-30") << int(Database::LastMonth) << 30 << false;
    QTest::newRow("half year: D-179") << int(Database::LastHalfYear) << 179 << true;
    QTest::newRow("half year: D-180") << int(Database::LastHalfYear) << 180 << false;
    QTest::newRow("all: D-400") << int(Database::All) << 400 << true;
}

void tst_Database::filters()
{
    QFETCH(int, filter);
    QFETCH(int, daysAgo);
    QFETCH(bool, isListed);

    Database database;
    const QDateTime start(QDate::currentDate().addDays(-daysAgo), QTime(0, 0, 1));
    database.insertRecord(Record(start));
    database.query(Database::Filter(filter));
    QCOMPARE(StartTimes(database.getModel()).contains(Record(start).startTime), isListed);
}

void tst_Database::firstCheckedFilterWins()
{
    HistoryPage page;
    for (int days : {0, 10, 100, 1000})
        page.database.insertRecord(Record(QDate::currentDate().addDays(-days).startOfDay()));
    page.Refresh();
    QCOMPARE(page.model()->rowCount(), 1);

    // Radio buttons of one parent are exclusive; the window's may be in
    // other states while it builds itself.
    page.day.setAutoExclusive(false);
    page.year.setAutoExclusive(false);
    page.year.setChecked(true);
    page.Refresh();
    QCOMPARE(page.model()->rowCount(), 1);
    page.day.setChecked(false);
    page.Refresh();
    QCOMPARE(page.model()->rowCount(), 3);
    page.year.setChecked(false);
    page.Refresh(); // none checked: the last selection stays
    QCOMPARE(page.model()->rowCount(), 3);
    page.all.setChecked(true);
    page.Refresh();
    QCOMPARE(page.model()->rowCount(), 4);
}

void tst_Database::viewLayout()
{
    HistoryPage page;
    page.database.insertRecord(Record(QDateTime::currentDateTime().addSecs(-60), "/a.xml"));
    page.database.insertRecord(Record(QDateTime::currentDateTime(), "/b.xml"));
    page.Refresh();
    page.show();

    QSqlQueryModel *model = page.model();
    QCOMPARE(model->record(0).value("filePath").toString(), QStringLiteral("/b.xml"));
    QCOMPARE(model->record(1).value("filePath").toString(), QStringLiteral("/a.xml"));
    QVERIFY(page.table.isColumnHidden(0));
    QCOMPARE(page.table.horizontalHeader()->sectionResizeMode(7), QHeaderView::Stretch);
}

void tst_Database::quoteInWorkingDirectory()
{
    QVERIFY(QDir().mkdir(QStringLiteral("O'Brien's runs")));
    QVERIFY(QDir::setCurrent(QStringLiteral("O'Brien's runs")));
    const QString path = QDir::current().absoluteFilePath(QStringLiteral("xml/a'b.xml"));
    Database database;
    QVERIFY(database.insertRecord(Record(QDateTime::currentDateTime(), path)));
    database.queryLastWeek();
    QCOMPARE(database.getModel()->rowCount(), 1);
    QCOMPARE(database.getModel()->record(0).value("filePath").toString(), path);
}

void tst_Database::deleteWithConfirmation_data()
{
    QTest::addColumn<int>("answer");
    QTest::addColumn<bool>("isDeleted");
    QTest::newRow("Yes deletes the row and its file") << int(QMessageBox::Yes) << true;
    QTest::newRow("No keeps both") << int(QMessageBox::No) << false;
}

void tst_Database::deleteWithConfirmation()
{
    QFETCH(int, answer);
    QFETCH(bool, isDeleted);

    HistoryPage page;
    const QString older = MakeFile(QStringLiteral("older.xml"));
    const QString newer = MakeFile(QStringLiteral("newer.xml"));
    page.database.insertRecord(Record(QDateTime::currentDateTime().addSecs(-60), older));
    page.database.insertRecord(Record(QDateTime::currentDateTime(), newer));
    page.Refresh();
    page.show();
    QVERIFY(QTest::qWaitForWindowExposed(&page));

    MessageBoxRecorder boxes{QMessageBox::StandardButton(answer)};
    QTest::mouseClick(page.table.viewport(), Qt::LeftButton, {},
                      page.CellPoint(0, operationColumn));
    QVERIFY(boxes.waitForBoxes(1));
    QCOMPARE(boxes.boxes().size(), 1);
    QCOMPARE(boxes.boxes()[0].title, QStringLiteral("删除历史记录"));
    QCOMPARE(boxes.boxes()[0].text, QStringLiteral("数据删除后不可恢复，是否删除本条记录？"));

    QCOMPARE(QFile::exists(newer), !isDeleted);
    QVERIFY(QFile::exists(older));
    QCOMPARE(page.model()->rowCount(), isDeleted ? 1 : 2);
    // The next row moves to the top; the filter stays as it was.
    if (isDeleted)
        QCOMPARE(page.model()->record(0).value("filePath").toString(), older);
    QVERIFY(page.day.isChecked());
}

void tst_Database::failedDeleteKeepsFile()
{
    HistoryPage page;
    const QString path = MakeFile(QStringLiteral("kept.xml"));
    page.database.insertRecord(Record(QDateTime::currentDateTime(), path));
    QSqlQuery().exec(QStringLiteral("create trigger keep before delete on history "
                                    "begin select raise(abort, 'locked'); end"));
    page.Refresh();
    page.show();
    QVERIFY(QTest::qWaitForWindowExposed(&page));

    MessageBoxRecorder boxes(QMessageBox::Yes);
    QTest::mouseClick(page.table.viewport(), Qt::LeftButton, {},
                      page.CellPoint(0, operationColumn));
    QVERIFY(boxes.waitForBoxes(1));
    QCOMPARE(page.model()->rowCount(), 1);
    QVERIFY(QFile::exists(path));
}

void tst_Database::deleteButtonHitArea_data()
{
    QTest::addColumn<int>("column");
    QTest::addColumn<int>("dx"); // from the cell's left edge; -1 the centre
    QTest::addColumn<bool>("isQuestion");
    QTest::addColumn<bool>("isDetail");

    // In a cell 100 pixels wide the button covers pixels 62 to 86.
    QTest::newRow("left half of the operation cell") << operationColumn << 10 << false << false;
    QTest::newRow("just left of the button") << operationColumn << 61 << false << false;
    QTest::newRow("button's left edge") << operationColumn << 62 << true << false;
    QTest::newRow("button's right edge") << operationColumn << 86 << true << false;
    QTest::newRow("just right of the button") << operationColumn << 87 << false << false;
    QTest::newRow("start time column") << 1 << -1 << false << true;
    QTest::newRow("path column") << 7 << -1 << false << true;
}

void tst_Database::deleteButtonHitArea()
{
    QFETCH(int, column);
    QFETCH(int, dx);
    QFETCH(bool, isQuestion);
    QFETCH(bool, isDetail);

    HistoryPage page;
    page.database.insertRecord(
        Record(QDateTime::currentDateTime(), MakeFile(QStringLiteral("run.xml"))));
    page.Refresh();
    page.show();
    QVERIFY(QTest::qWaitForWindowExposed(&page));
    QCOMPARE(page.table.columnWidth(operationColumn), 100);

    // A detail dialog is closed as soon as it appears, after noting how many
    // points of the run it plots.
    int detailPoints = -1;
    QTimer closer;
    connect(&closer, &QTimer::timeout, this, [&detailPoints] {
        for (QWidget *widget : QApplication::topLevelWidgets()) {
            auto *detail = qobject_cast<DetailInfo *>(widget);
            if (!detail || !detail->isVisible())
                continue;
            auto *view = detail->findChild<ChartView *>(QStringLiteral("detailInfoChart70"));
            auto *series = qobject_cast<QtCharts::QXYSeries *>(view->chart()->series().value(0));
            detailPoints = series ? series->count() : 0;
            detail->findChild<QPushButton *>(QStringLiteral("okButton"))->click();
        }
    });
    closer.start(10);
    MessageBoxRecorder boxes(QMessageBox::No);

    QTest::mouseClick(page.table.viewport(), Qt::LeftButton, {}, page.CellPoint(0, column, dx));
    QTest::qWait(50);
    QCOMPARE(boxes.boxes().size(), isQuestion ? 1 : 0);
    QCOMPARE(detailPoints, isDetail ? 2 : -1);
}

QTEST_MAIN(tst_Database)
#include "tst_database.moc"
