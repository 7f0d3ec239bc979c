#include "database.h"

#include "detailinfo.h"

#include <QDebug>
#include <QFile>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlQueryModel>
#include <QSqlRecord>

namespace {

const char *const createStatement =
    "create table history(id integer primary key autoincrement,startTime varchar(30),"
    "durationTime varchar(20),count int,min varchar(10),max varchar(10),average varchar(10),"
    "filePath varchar(256),operation varchar(1))";

// Dates compared by calendar day: a run started on today − 6 is within the
// last 7 days, one started on today − 7 is not.
const char *const selectLastWeek = "select * from history where DATE(startTime) > "
                                   "DATE('now', '-7 day', 'localtime') order by id desc";
const char *const selectLastMonth = "select * from history where DATE(startTime) > "
                                    "DATE('now', '-30 day', 'localtime') order by id desc";
const char *const selectLastHalfYear = "select * from history where DATE(startTime) > "
                                       "DATE('now', '-180 day', 'localtime') order by id desc";
const char *const selectAll = "select * from history order by id desc";

const int operationColumn = 8;

} // namespace

Database::Database(QObject *parent) : QObject(parent)
{
    if (!QSqlDatabase::drivers().contains(QStringLiteral("QSQLITE")))
        qDebug() << "Unable to load database";
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"));
    db.setDatabaseName(QStringLiteral("database.db"));
    if (!db.open())
        qDebug() << "open database failed" << db.lastError().text();
    // Fails on every start but the first: the table is already there.
    QSqlQuery create(db);
    create.exec(QString::fromLatin1(createStatement));
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
    SetModelQuery(QString::fromLatin1(selectAll));
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
        qDebug() << "history row not entered:" << insert.lastError().text();
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
    SetModelQuery(QString::fromLatin1(selectLastWeek));
}

void Database::queryLastMonth()
{
    SetModelQuery(QString::fromLatin1(selectLastMonth));
}

void Database::queryLastHalfYear()
{
    SetModelQuery(QString::fromLatin1(selectLastHalfYear));
}

void Database::queryAll()
{
    SetModelQuery(QString::fromLatin1(selectAll));
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

void Database::modelTableRowClicked(QModelIndex index)
{
    if (!model || index.column() < 0 || index.column() == operationColumn)
        return;
    const QString path = model->record(index.row()).value(QStringLiteral("filePath")).toString();
    DetailInfo dialog;
    dialog.show();
    dialog.setDetailInfoFileName(path);
    dialog.exec();
}

void Database::deleteRowFromTable(QModelIndex index)
{
    if (!model)
        return;
    const QSqlRecord record = model->record(index.row());
    QSqlQuery remove;
    remove.prepare(QStringLiteral("delete from history where id = ?"));
    remove.addBindValue(record.value(QStringLiteral("id")).toLongLong());
    // The file goes only once its row is gone: a row must never point at a
    // file that no longer exists because the delete failed.
    if (!remove.exec()) {
        qDebug() << "history row not deleted:" << remove.lastError().text();
        return;
    }
    const QString path = record.value(QStringLiteral("filePath")).toString();
    if (QFile::exists(path) && !QFile::remove(path))
        qDebug() << "measurement file not deleted:" << path;
}
