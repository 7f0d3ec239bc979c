#include "database.h"

#include <QDateTime>
#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlQueryModel>
#include <QSqlRecord>
#include <QStringList>

namespace {

const char *const CreateStatement =
    "create table history(id integer primary key autoincrement,startTime varchar(30),"
    "durationTime varchar(20),count int,min varchar(10),max varchar(10),average varchar(10),"
    "filePath varchar(256),operation varchar(1))";

// Dates compared by calendar day: a run started on today − 6 is within the
// last 7 days, one started on today − 7 is not.
const char *const SelectLastWeek = "select * from history where DATE(startTime) > "
                                   "DATE('now', '-7 day', 'localtime') order by id desc";
const char *const SelectLastMonth = "select * from history where DATE(startTime) > "
                                    "DATE('now', '-30 day', 'localtime') order by id desc";
const char *const SelectLastHalfYear = "select * from history where DATE(startTime) > "
                                       "DATE('now', '-180 day', 'localtime') order by id desc";
const char *const SelectAll = "select * from history order by id desc";

const char *const FileName = "database.db";
const char *const ColumnNames[] = {"id",  "startTime", "durationTime", "count",    "min",
                                   "max", "average",   "filePath",     "operation"};
// SQLite's answers for a file that is no database, or a damaged one.
const char *const NotADatabase = "26";
const char *const Corrupt = "11";
// Another program holding the file is waited for this long at most.
const char *const BusyTimeout = "QSQLITE_BUSY_TIMEOUT=2000";

} // namespace

Database::Database(QObject *parent) : QObject(parent)
{
    if (!QSqlDatabase::drivers().contains(QStringLiteral("QSQLITE")))
        qDebug() << "Unable to load database";
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"));
    db.setDatabaseName(QString::fromLatin1(FileName));
    db.setConnectOptions(QString::fromLatin1(BusyTimeout));

    QString reason;
    Health health = Open(&reason);
    if (health == Health::Damaged) {
        qWarning() << "history database damaged:" << reason;
        QString keptAs;
        if (PutAside(&keptAs)) {
            health = Open(&reason);
            if (health == Health::Healthy)
                problem = RenewedText(reason, keptAs);
        } else {
            reason = tr("损坏的数据库无法改名（%1）").arg(reason);
            health = Health::Unavailable;
        }
    }
    isOpen = health == Health::Healthy;
    if (!isOpen) {
        problem = tr("历史记录不可用：%1").arg(reason);
        qWarning() << "open database failed" << reason;
    }
}

Database::Health Database::Open(QString *reason)
{
    QSqlDatabase db = QSqlDatabase::database(QSqlDatabase::defaultConnection, false);
    if (!db.open()) {
        *reason = db.lastError().text();
        return Health::Unavailable;
    }
    // SQLite reads the file only now: garbage and locks show here.
    QSqlQuery columns(db);
    if (!columns.exec(QStringLiteral("pragma table_info(history)"))) {
        const QSqlError error = columns.lastError();
        *reason = error.text();
        const QString code = error.nativeErrorCode();
        db.close();
        return code == QLatin1String(NotADatabase) || code == QLatin1String(Corrupt)
                   ? Health::Damaged
                   : Health::Unavailable;
    }
    QStringList names;
    while (columns.next())
        names << columns.value(1).toString();
    columns.finish();
    // A sound header says nothing of the pages behind it; a quick look at
    // every page does, in a fraction of a second for years of runs.
    QSqlQuery check(db);
    if (!check.exec(QStringLiteral("pragma quick_check")) || !check.next() ||
        check.value(0).toString() != QLatin1String("ok")) {
        // The first fault found says enough; the check may list a hundred.
        QString fault;
        for (const QString &line : check.value(0).toString().split(QLatin1Char('\n'))) {
            if (fault.isEmpty() && !line.startsWith(QLatin1String("***")))
                fault = line;
        }
        *reason = check.lastError().isValid() ? check.lastError().text() : fault;
        check.finish();
        db.close();
        return Health::Damaged;
    }
    check.finish();
    if (names.isEmpty()) {
        QSqlQuery create(db);
        if (create.exec(QString::fromLatin1(CreateStatement)))
            return Health::Healthy;
        *reason = create.lastError().text();
        db.close();
        return Health::Unavailable;
    }
    QStringList expected;
    for (const char *name : ColumnNames)
        expected << QString::fromLatin1(name);
    if (names == expected)
        return Health::Healthy;
    *reason = tr("history 表的列不符：%1").arg(names.join(QLatin1Char(',')));
    db.close();
    return Health::Damaged;
}

bool Database::PutAside(QString *newName)
{
    *newName =
        QStringLiteral("database_damaged_%1.db")
            .arg(QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd_hh_mm_ss")));
    // A journal left beside it belongs to the damaged file, not the new one.
    const QString journal = QString::fromLatin1(FileName) + QStringLiteral("-journal");
    if (QFile::exists(journal))
        QFile::rename(journal, *newName + QStringLiteral("-journal"));
    return QFile::rename(QString::fromLatin1(FileName), *newName);
}

QString Database::RenewedText(const QString &reason, const QString &keptAs) const
{
    return tr("历史数据库已损坏（%1），已另存为 %2 并新建数据库，历史记录由测量文件重建。")
        .arg(reason, keptAs);
}

bool Database::Renew()
{
    isDamagedLater = false;
    if (model)
        model->clear();
    QSqlDatabase::database(QSqlDatabase::defaultConnection, false).close();
    QString keptAs;
    QString reason;
    isOpen = PutAside(&keptAs) && Open(&reason) == Health::Healthy;
    if (!isOpen) {
        problem = tr("历史记录不可用：%1").arg(reason.isEmpty() ? lastErrorText : reason);
        qWarning() << "history database not renewed:" << problem;
        return false;
    }
    problem = RenewedText(lastErrorText, keptAs);
    qWarning() << problem;
    return true;
}

QHash<QString, int> Database::listedCounts() const
{
    QHash<QString, int> counts;
    if (!isOpen)
        return counts;
    QSqlQuery select;
    if (select.exec(QStringLiteral("select filePath, count from history"))) {
        while (select.next())
            counts.insert(QFileInfo(select.value(0).toString()).fileName(),
                          select.value(1).toInt());
    }
    return counts;
}

QString Database::CurrentPath(const QString &storedPath)
{
    const QString here =
        QDir::current().absoluteFilePath(QStringLiteral("xml/") + QFileInfo(storedPath).fileName());
    return QFileInfo(storedPath).fileName().isEmpty() || !QFile::exists(here) ? storedPath : here;
}

Database::~Database()
{
    // The model's query must be gone before the connection can be removed.
    delete model;
    model = nullptr;
    {
        QSqlDatabase db = QSqlDatabase::database(QSqlDatabase::defaultConnection, false);
        db.close();
    }
    QSqlDatabase::removeDatabase(QString::fromLatin1(QSqlDatabase::defaultConnection));
}

QSqlQueryModel *Database::getModel()
{
    if (model)
        return model;
    model = new QSqlQueryModel(this);
    SetModelQuery(QString::fromLatin1(SelectAll));
    const char *const labels[] = {"ID",
                                  QT_TR_NOOP("测量开始时间"),
                                  QT_TR_NOOP("测量持续时间"),
                                  QT_TR_NOOP("数据个数"),
                                  QT_TR_NOOP("流速平均值(m/s)"),
                                  QT_TR_NOOP("水位平均值(m)"),
                                  QT_TR_NOOP("流量平均值(m3/s)"),
                                  QT_TR_NOOP("文件目录"),
                                  QT_TR_NOOP("文件操作")};
    int section = 0;
    for (const char *label : labels)
        model->setHeaderData(section++, Qt::Horizontal, tr(label), Qt::EditRole);
    return model;
}

bool Database::insertRecord(const HistoryRecord &record)
{
    // Bound values: a quote in a path (a working directory such as
    // "O'Brien") must not break the statement.
    QSqlQuery insert;
    insert.prepare(QStringLiteral("insert into history (startTime, durationTime, count, min, max, "
                                  "average, filePath) values(?, ?, ?, ?, ?, ?, ?)"));
    insert.addBindValue(record.startTime);
    insert.addBindValue(record.durationTime);
    insert.addBindValue(record.count);
    insert.addBindValue(record.min);
    insert.addBindValue(record.max);
    insert.addBindValue(record.average);
    insert.addBindValue(record.filePath);
    if (!insert.exec()) {
        lastErrorText = insert.lastError().text();
        isDamagedLater = insert.lastError().nativeErrorCode() == QLatin1String(Corrupt) ||
                         insert.lastError().nativeErrorCode() == QLatin1String(NotADatabase);
        qDebug() << "history row not entered:" << lastErrorText;
        return false;
    }
    return true;
}

void Database::SetModelQuery(const QString &statement)
{
    if (!model)
        getModel();
    model->setQuery(statement);
    if (model->lastError().isValid())
        qDebug() << "history selection failed:" << model->lastError().text();
}

void Database::queryLastWeek()
{
    SetModelQuery(QString::fromLatin1(SelectLastWeek));
}

void Database::queryLastMonth()
{
    SetModelQuery(QString::fromLatin1(SelectLastMonth));
}

void Database::queryLastHalfYear()
{
    SetModelQuery(QString::fromLatin1(SelectLastHalfYear));
}

void Database::queryAll()
{
    SetModelQuery(QString::fromLatin1(SelectAll));
}

void Database::query(Filter filter)
{
    switch (filter) {
    case LastWeek:
        queryLastWeek();
        break;
    case LastMonth:
        queryLastMonth();
        break;
    case LastHalfYear:
        queryLastHalfYear();
        break;
    case All:
        queryAll();
        break;
    }
}

QString Database::filePathAt(int row) const
{
    if (!model)
        return QString();
    return CurrentPath(model->record(row).value(QStringLiteral("filePath")).toString());
}

bool Database::deleteRowFromTable(QModelIndex index)
{
    if (!model)
        return false;
    const QSqlRecord record = model->record(index.row());
    QSqlQuery remove;
    remove.prepare(QStringLiteral("delete from history where id = ?"));
    remove.addBindValue(record.value(QStringLiteral("id")).toLongLong());
    // The file goes only once its row is gone: a row must never point at a
    // file that no longer exists because the delete failed.
    if (!remove.exec()) {
        lastErrorText = remove.lastError().text();
        qDebug() << "history row not deleted:" << lastErrorText;
        return false;
    }
    const QString path = CurrentPath(record.value(QStringLiteral("filePath")).toString());
    if (QFile::exists(path) && !QFile::remove(path))
        qDebug() << "measurement file not deleted:" << path;
    return true;
}
