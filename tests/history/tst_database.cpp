// The history store and its page: the table on disk, the age filters at
// their date boundaries, and deletion with its question, asked only by the
// delete button.
#include "database.h"
#include "historyview.h"
#include "messageboxrecorder.h"
#include "runfilemaker.h"
#include "tableviewdelegate.h"

#include <QtSql>
#include <QtTest>
#include <QtWidgets>

class tst_Database : public QObject
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> dir;
    std::unique_ptr<Database> database;
    TableViewDelegate delegate;
    QWidget page; // the filters exclude each other as siblings
    QRadioButton day{&page}, month{&page}, year{&page}, all{&page}; // 7, 30, 180 days, all
    QTableView table;

    void Insert(const QDateTime &start, const QString &path)
    {
        QVERIFY(database->insertRecord({start.toString("yyyy-MM-dd hh:mm:ss"), "0-0:12:34", 377,
                                        "0.850", "1.200", "2.000", path}));
    }
    void Refresh() { HistoryView::ApplyFilter(database.get(), {&day, &month, &year, &all}); }
    QString PathAt(int row) const
    {
        return database->getModel()->record(row).value("filePath").toString();
    }

private slots:
    void init()
    {
        database.reset(); // one connection at a time
        dir = std::make_unique<QTemporaryDir>();
        QVERIFY(QDir::setCurrent(dir->path()));
        database = std::make_unique<Database>();
        HistoryView::SetUp(&table, database.get(), &delegate);
        day.setChecked(true);
    }

    void tableSurvivesRestart()
    {
        Insert(QDateTime::currentDateTime(), "/x/a.xml");
        database.reset();
        database = std::make_unique<Database>();
        QCOMPARE(database->getModel()->rowCount(), 1);
        const QSqlRecord row = database->getModel()->record(0);
        QStringList fields;
        for (int i = 0; i < row.count(); ++i)
            fields << row.fieldName(i) + '=' + row.value(i).toString();
        QCOMPARE(fields.mid(2).join(' '), QString("durationTime=0-0:12:34 count=377 min=0.850 "
                                                  "max=1.200 average=2.000 filePath=/x/a.xml "
                                                  "operation="));
        // The data folder moved here: the run is found by its name in "xml",
        // and only there.
        QCOMPARE(database->filePathAt(0), QString("/x/a.xml"));
        QVERIFY(QDir().mkdir("xml") && !RunFileMaker::Write("xml/a.xml", {}).isEmpty());
        QCOMPARE(database->filePathAt(0), QDir::current().absoluteFilePath("xml/a.xml"));
    }

    void filters_data()
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
    void filters()
    {
        QFETCH(int, filter);
        QFETCH(int, daysAgo);
        QFETCH(bool, isListed);
        // The first second of the day: a run's date counts, not its time.
        Insert(QDateTime(QDate::currentDate().addDays(-daysAgo), QTime(0, 0, 1)), "/old.xml");
        Insert(QDateTime::currentDateTime(), "/today.xml");
        QRadioButton *buttons[] = {&day, &month, &year, &all};
        buttons[filter]->setChecked(true);
        Refresh();
        QCOMPARE(database->getModel()->rowCount(), isListed ? 2 : 1);
        QCOMPARE(PathAt(0), QString("/today.xml")); // newest first
    }

    void deleteWithConfirmation_data()
    {
        // Where in the operation cell, 100 pixels wide, the click lands: the
        // button covers pixels 62 to 86. The answer, and whether the history
        // refuses every delete.
        QTest::addColumn<int>("x");
        QTest::addColumn<int>("answer");
        QTest::addColumn<bool>("isLocked");
        QTest::newRow("just left of the button") << 61 << int(QMessageBox::Yes) << false;
        QTest::newRow("left edge, Yes deletes both") << 62 << int(QMessageBox::Yes) << false;
        QTest::newRow("right edge, No keeps both") << 86 << int(QMessageBox::No) << false;
        QTest::newRow("just right of the button") << 87 << int(QMessageBox::Yes) << false;
        QTest::newRow("a row that stays keeps its file") << 70 << int(QMessageBox::Yes) << true;
    }
    void deleteWithConfirmation()
    {
        QFETCH(int, x);
        QFETCH(int, answer);
        QFETCH(bool, isLocked);
        const QString older = RunFileMaker::Write("older.xml", {});
        const QString newer = RunFileMaker::Write("newer.xml", {});
        Insert(QDateTime::currentDateTime().addSecs(-60), older);
        Insert(QDateTime::currentDateTime(), newer);
        if (isLocked)
            QVERIFY(QSqlQuery().exec("create trigger keep before delete on history "
                                     "begin select raise(abort, 'locked'); end"));
        connect(&delegate, &TableViewDelegate::deleteData, this, [this](const QModelIndex &index) {
            if (HistoryView::ConfirmDelete(&table, database.get(), index))
                Refresh();
        });
        Refresh();
        table.resize(1200, 300);
        table.setColumnWidth(8, 100);
        table.show();
        QVERIFY(QTest::qWaitForWindowExposed(&table));
        MessageBoxRecorder boxes{QMessageBox::StandardButton(answer)};
        const QRect cell = table.visualRect(table.model()->index(0, 8));
        QTest::mouseClick(table.viewport(), Qt::LeftButton, {},
                          QPoint(cell.left() + x, cell.center().y()));
        const bool isAsked = x >= 62 && x <= 86;
        QCOMPARE(boxes.waitForBoxes(1, isAsked ? 5000 : 100), isAsked);
        if (isAsked)
            QCOMPARE(boxes.boxes()[0].title + boxes.lastText(),
                     QString("删除历史记录数据删除后不可恢复，是否删除本条记录？"));
        const bool isDeleted = isAsked && answer == QMessageBox::Yes && !isLocked;
        QCOMPARE(QFile::exists(newer), !isDeleted);
        QVERIFY(QFile::exists(older));
        QCOMPARE(database->getModel()->rowCount(), isDeleted ? 1 : 2);
        QCOMPARE(PathAt(0), isDeleted ? older : newer);
        disconnect(&delegate, nullptr, this, nullptr);
    }
};

QTEST_MAIN(tst_Database)
#include "tst_database.moc"
