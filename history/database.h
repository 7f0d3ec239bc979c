#pragma once

#include "historyrecord.h"

#include <QHash>
#include <QModelIndex>
#include <QObject>
#include <QString>

class QSqlQueryModel;

// The history of recorded runs: "database.db" in the working directory, one
// row per run in the table history, shown through a read-only query model.
// Owns the default database connection for as long as it lives.
class Database : public QObject
{
    Q_OBJECT

public:
    // The selections of the history view, by the age of a run's start.
    // The model's column of the delete buttons.
    static constexpr int OperationColumn = 8;

    enum Filter
    {
        LastWeek,
        LastMonth,
        LastHalfYear,
        All
    };

    // A file that is no database or holds another history table is put
    // aside under a new name, never deleted, and a fresh one is made. One
    // that stays locked or cannot be opened leaves the history unavailable;
    // startupProblem() then says why.
    explicit Database(QObject *parent = nullptr);
    ~Database() override;

    // Empty when the history opened as it should; otherwise what the operator
    // is told once at start.
    QString startupProblem() const { return problem; }
    bool isAvailable() const { return isOpen; }
    // Why the last insert or delete failed.
    QString lastError() const { return lastErrorText; }
    // The measurement files the history lists, by file name (a run is known
    // by its name inside the folder "xml", wherever that folder now lies),
    // each with the count of rows the history holds for it.
    QHash<QString, int> listedCounts() const;
    // A run file as the history stored it: the file of that name in the
    // current folder "xml" when there is one (the data folder was moved or
    // copied), otherwise the path stored.
    static QString CurrentPath(const QString &storedPath);

    // SQLite found the file damaged after the start (a failed insert says
    // so): it is put aside as at the start and a new, empty one opened, for
    // the caller to refill from the run files. False when that failed.
    bool isDamaged() const { return isDamagedLater; }
    bool Renew();

    // The model the history view shows: all rows, newest first. Created on
    // the first call, a child of the store.
    QSqlQueryModel *getModel();

    // False when the row was not entered; lastError() says why.
    bool insertRecord(const HistoryRecord &record);

    // Calendar days, today included: 7, 30 and 180 days.
    void queryLastWeek();
    void queryLastMonth();
    void queryLastHalfYear();
    void queryAll();
    void query(Filter filter);

    // The measurement file of the model's row.
    QString filePathAt(int row) const;
    // Deletes the row under index, then its measurement file. The file
    // stays when the row could not be deleted; false then, and lastError()
    // says why. The caller re-queries.
    bool deleteRowFromTable(QModelIndex index);

private:
    enum class Health
    {
        Healthy,
        Damaged,
        Unavailable
    };
    Health Open(QString *reason);
    bool PutAside(QString *newName);
    // Damaged, put aside and renewed: what the operator is told.
    QString RenewedText(const QString &reason, const QString &keptAs) const;
    void SetModelQuery(const QString &statement);

    QSqlQueryModel *model = nullptr;
    bool isOpen = false;
    bool isDamagedLater = false;
    QString problem;
    QString lastErrorText;
};
