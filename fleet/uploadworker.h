#pragma once

#include "runfollower.h"
#include "serveraddress.h"
#include "uploadmark.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QHash>
#include <QMutex>
#include <QObject>
#include <QSet>
#include <QStringList>

#include <memory>

class QTimer;
struct pg_conn;
typedef struct pg_conn PGconn;

// The station's side of the fleet, on a thread of its own: follows the run
// files oldest first and sends their rows to the server, one transaction a
// batch, moving the mark only after the commit. With the server away the rows
// wait in the run files, and the connection is tried again 5 s later, then
// 10 s, doubling up to 5 minutes.
class UploadWorker : public QObject
{
    Q_OBJECT

public:
    struct Settings
    {
        ServerAddress server;
        QString station;
        QString runFolder; // the "xml" folder of the run files
        QString markPath;
        QString software; // the program's version, for the stations table
        int pollMs = 1000;
    };

    // Rows sent in one transaction at most.
    static constexpr int BatchRows = 10000;

    explicit UploadWorker(const Settings &settings, QObject *parent = nullptr);
    ~UploadWorker() override;

    // From any thread: a statement waiting on a server that stopped answering
    // fails at once.
    void Interrupt();

    // The wait before the n-th attempt after a failure (n from 1).
    static int RetryDelayMs(int failures);

public slots:
    // In the worker's thread: starts polling at once.
    void Start();
    // The clean exit: what is waiting may go up until the deadline (msecs
    // from now); then the connection is closed and polling stops.
    void Drain(int msecs);

signals:
    // A line for the operator: the server lost or back, a run file skipped.
    void Told(const QString &text);
    // The state the window shows: last commit, rows not yet on the server.
    void StatusChanged(const QDateTime &lastUpload, qint64 waiting, bool isUp);

private:
    PGconn *Handle() const;
    void CloseConnection();
    void Poll();
    // One pass over the files; false when the server went away.
    bool Pass(const QElapsedTimer *deadline, qint64 msecs);
    bool Connect();
    void Lost(const QString &reason);
    bool SendFile(const QString &name, RunFollower &follower);
    bool SendBatch(const QString &name, const QVector<RunFollower::Sample> &rows, bool isEnd);
    bool Copy(const QByteArray &data, QString *error);
    bool Exec(const QString &statement, QString *error);
    void RefreshNames();
    void Report();
    QDateTime StartTime(const QString &name, const QVector<RunFollower::Sample> &rows) const;

    Settings settings;
    QString connectionName;
    UploadMark mark;
    QTimer *pollTimer = nullptr;
    QMutex socketLock;
    int socketFd = -1; // the open connection's, for Interrupt()
    bool isUp = false;
    bool isStopped = false;
    bool isDownTold = false;
    bool isMarkTold = false;
    int failures = 0;
    QElapsedTimer sinceFailure;
    qint64 caughtUp = 0; // rows sent since the server came back
    QStringList names;
    QDateTime folderTime;
    QHash<QString, std::shared_ptr<RunFollower>> followers;
    QHash<QString, QDateTime> startTimes;
    QSet<QString> toldFiles;
    QDateTime lastUpload;
    qint64 lastWaiting = -1;
    qint64 reportedWaiting = -1;
    bool reportedUp = false;
    QDateTime reportedUpload;
};
