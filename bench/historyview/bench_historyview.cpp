// The history page over 10,000 recorded runs: start-up until the table is
// first painted, and each switch of the age filter until it is repainted.
// Run with QT_QPA_PLATFORM=offscreen on a headless box.
#include "database.h"
#include "historyview.h"
#include "tableviewdelegate.h"

#include "median.h"
#include "paintcounter.h"
#include "runfileformat.h"

#include <QApplication>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QRadioButton>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTableView>
#include <QTemporaryDir>
#include <QVBoxLayout>

#include <algorithm>
#include <cstdio>
#include <memory>

namespace {

const int historyRows = 10000;
const int repeats = 5;

// The history page as the window holds it.
struct Page
{
    Page()
    {
        auto *layout = new QVBoxLayout(&window);
        for (QRadioButton *button : {day, month, year, all})
            layout->addWidget(button);
        layout->addWidget(table);
        day->setChecked(true);
        database = std::make_unique<Database>();
        delegate = std::make_unique<TableViewDelegate>();
        HistoryView::SetUp(table, database.get(), delegate.get());
        Refresh();
        table->viewport()->installEventFilter(&counter);
        window.resize(1280, 700);
    }
    void Refresh() { HistoryView::ApplyFilter(database.get(), {day, month, year, all}); }
    void WaitForPaint()
    {
        const int before = counter.paints;
        while (counter.paints == before)
            QApplication::processEvents(QEventLoop::AllEvents, 5);
    }

    QWidget window;
    QRadioButton *day = new QRadioButton("查询最近7天数据", &window);
    QRadioButton *month = new QRadioButton("查询最近30天数据", &window);
    QRadioButton *year = new QRadioButton("查询最近半年数据", &window);
    QRadioButton *all = new QRadioButton("查询所有数据", &window);
    QTableView *table = new QTableView(&window);
    PaintCounter counter;
    std::unique_ptr<Database> database;
    std::unique_ptr<TableViewDelegate> delegate;
};

void FillHistory()
{
    Database database;
    QSqlDatabase db = QSqlDatabase::database();
    db.transaction();
    QSqlQuery insert;
    insert.prepare("insert into history (startTime, durationTime, count, min, max, average, "
                   "filePath) values(?, ?, ?, ?, ?, ?, ?)");
    // Spread over two years, about 14 runs a day, oldest first.
    const QDateTime now = QDateTime::currentDateTime();
    for (int i = 0; i < historyRows; ++i) {
        const QDateTime start = now.addSecs(-qint64(historyRows - i) * 6300);
        insert.addBindValue(start.toString(QLatin1String(RunFileFormat::StartTimeFormat)));
        insert.addBindValue("0-1:40:0");
        insert.addBindValue(3000);
        insert.addBindValue("0.850");
        insert.addBindValue("1.200");
        insert.addBindValue("2.448");
        insert.addBindValue(QDir::current().absoluteFilePath(
            QLatin1String(RunFileFormat::Folder) + QLatin1Char('/') +
            start.toString(QLatin1String(RunFileFormat::FileNameTimeFormat)) + ".xml"));
        insert.exec();
    }
    db.commit();
    QSqlQuery count(QStringLiteral("select count(*) from history"));
    count.next();
    std::printf("history rows stored: %d\n", count.value(0).toInt());
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QTemporaryDir dir;
    QDir::setCurrent(dir.path());
    FillHistory();

    QVector<double> startUp;
    QVector<double> toAll;
    QVector<double> toHalfYear;
    QVector<double> toMonth;
    QVector<double> toWeek;
    for (int i = 0; i <= repeats; ++i) {
        QElapsedTimer timer;
        timer.start();
        Page page;
        page.window.show();
        page.WaitForPaint();
        const double opened = timer.nsecsElapsed() / 1e6;

        auto switchTo = [&page](QRadioButton *button) {
            QElapsedTimer switchTimer;
            switchTimer.start();
            button->setChecked(true);
            page.Refresh();
            page.WaitForPaint();
            return switchTimer.nsecsElapsed() / 1e6;
        };
        const double all = switchTo(page.all);
        const double year = switchTo(page.year);
        const double month = switchTo(page.month);
        const double week = switchTo(page.day);
        if (i == 0)
            continue; // warm-up
        startUp.append(opened);
        toAll.append(all);
        toHalfYear.append(year);
        toMonth.append(month);
        toWeek.append(week);
    }
    std::printf("history view, %d rows (median of %d, goal < 200 ms each)\n", historyRows, repeats);
    std::printf("  start-up until painted:  %8.1f ms\n", Median(startUp));
    std::printf("  switch to all:           %8.1f ms\n", Median(toAll));
    std::printf("  switch to half year:     %8.1f ms\n", Median(toHalfYear));
    std::printf("  switch to 30 days:       %8.1f ms\n", Median(toMonth));
    std::printf("  switch to 7 days:        %8.1f ms\n", Median(toWeek));
    return 0;
}
