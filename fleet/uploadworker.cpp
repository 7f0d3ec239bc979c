#include "uploadworker.h"

#include "fleetschema.h"
#include "runfileformat.h"

#include <QDebug>
#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSqlDatabase>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlField>
#include <QSqlQuery>
#include <QTimer>

#include <libpq-fe.h>

#include <cmath>

#include <sys/socket.h>

namespace {

constexpr int FirstRetryMs = 5 * 1000;
constexpr int LastRetryMs = 5 * 60 * 1000;

const QRegularExpression RunName{QLatin1String(RunFileFormat::FileNamePattern)};

QString OneLine(QString text)
{
    return text.replace(QRegularExpression(QStringLiteral("\\s+")), QStringLiteral(" ")).trimmed();
}

QString ErrorText(const QSqlError &error)
{
    const QString text = OneLine(error.databaseText());
    return text.isEmpty() ? OneLine(error.text()) : text;
}

QByteArray UtcText(const QDateTime &time)
{
    return time.toUTC().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz+00")).toLatin1();
}

void AppendNumber(QByteArray &line, double value)
{
    if (std::isnan(value))
        line += "\\N";
    else
        line += QByteArray::number(value, 'g', 17);
}

} // namespace

UploadWorker::UploadWorker(const Settings &settings, QObject *parent)
    : QObject(parent), settings(settings),
      connectionName(QStringLiteral("radarflow-upload-%1").arg(quintptr(this), 0, 16)),
      mark(settings.markPath, QStringLiteral("%1@%2:%3/%4 %5")
                                  .arg(settings.server.user, settings.server.host)
                                  .arg(settings.server.port)
                                  .arg(settings.server.database, settings.station))
{
}

UploadWorker::~UploadWorker()
{
    if (QSqlDatabase::contains(connectionName)) {
        CloseConnection();
        QSqlDatabase::removeDatabase(connectionName);
    }
}

int UploadWorker::RetryDelayMs(int failures)
{
    qint64 delay = FirstRetryMs;
    for (int i = 1; i < failures && delay < LastRetryMs; ++i)
        delay *= 2;
    return int(qMin<qint64>(delay, LastRetryMs));
}

void UploadWorker::Start()
{
    pollTimer = new QTimer(this);
    pollTimer->setInterval(settings.pollMs);
    connect(pollTimer, &QTimer::timeout, this, &UploadWorker::Poll);
    pollTimer->start();
    Poll();
}

void UploadWorker::Drain(int msecs)
{
    if (pollTimer)
        pollTimer->stop();
    isStopped = true;
    QElapsedTimer deadline;
    deadline.start();
    if (isUp)
        Pass(&deadline, msecs);
    if (QSqlDatabase::contains(connectionName))
        CloseConnection();
    isUp = false;
}

void UploadWorker::Poll()
{
    if (!isUp && (!sinceFailure.isValid() || sinceFailure.elapsed() >= RetryDelayMs(failures)))
        Connect();
    Pass(nullptr, 0);
}

bool UploadWorker::Connect()
{
    if (!QSqlDatabase::contains(connectionName))
        settings.server.Connection(connectionName);
    QSqlDatabase db = QSqlDatabase::database(connectionName, false);
    QString error;
    if (!db.open()) {
        Lost(ErrorText(db.lastError()));
        return false;
    }
    if (PGconn *conn = Handle()) {
        const QMutexLocker locker(&socketLock);
        socketFd = PQsocket(conn);
    }
    QSqlField softwareField(QStringLiteral("software"), QVariant::String);
    softwareField.setValue(settings.software);
    // The temporary table takes each batch by COPY; its rows go at commit.
    if (!FleetSchema::Ensure(db, &error) ||
        !Exec(QStringLiteral("CREATE TEMP TABLE IF NOT EXISTS upload_samples (LIKE samples) "
                             "ON COMMIT DELETE ROWS"),
              &error) ||
        !Exec(QStringLiteral("INSERT INTO stations (station, first_seen, last_seen, software) "
                             "VALUES ('%1', now(), now(), %2) ON CONFLICT (station) DO UPDATE "
                             "SET last_seen = now(), software = EXCLUDED.software")
                  .arg(settings.station, db.driver()->formatValue(softwareField)),
              &error)) {
        Lost(error);
        return false;
    }
    isUp = true;
    failures = 0;
    sinceFailure.invalidate();
    return true;
}

void UploadWorker::Lost(const QString &reason)
{
    if (QSqlDatabase::contains(connectionName))
        CloseConnection();
    isUp = false;
    ++failures;
    sinceFailure.start();
    caughtUp = 0;
    if (!isDownTold) {
        isDownTold = true;
        emit Told(
            tr("服务器 %1 无法连接：%2，数据将在恢复后上传").arg(settings.server.host, reason));
    }
    Report();
}

bool UploadWorker::Exec(const QString &statement, QString *error)
{
    QSqlQuery query(QSqlDatabase::database(connectionName, false));
    if (query.exec(statement))
        return true;
    *error = ErrorText(query.lastError());
    return false;
}

void UploadWorker::RefreshNames()
{
    // A new run file changes the folder; rows added to one do not.
    const QFileInfo folder(settings.runFolder);
    const QDateTime changed = folder.lastModified();
    if (changed == folderTime && changed.isValid())
        return;
    folderTime = changed;
    names.clear();
    const QStringList all =
        QDir(settings.runFolder).entryList({QStringLiteral("*.xml")}, QDir::Files, QDir::Name);
    for (const QString &name : all) {
        if (RunName.match(name).hasMatch() && name > mark.doneUpTo())
            names << name;
    }
}

bool UploadWorker::Pass(const QElapsedTimer *deadline, qint64 msecs)
{
    RefreshNames();
    qint64 waiting = 0;
    for (const QString &name : qAsConst(names)) {
        if (mark.isComplete(name))
            continue;
        std::shared_ptr<RunFollower> &follower = followers[name];
        if (!follower)
            follower =
                std::make_shared<RunFollower>(QDir(settings.runFolder).absoluteFilePath(name));
        const bool isTimeLeft = !deadline || deadline->elapsed() < msecs;
        if (isUp && isTimeLeft)
            SendFile(name, *follower);
        if (!mark.isComplete(name) && follower->Read(nullptr, 0))
            waiting += qMax(0, follower->rowCount() - mark.sent(name));
    }
    mark.Advance(names);
    // Once a pass: a mark lost to a crash only sends rows again.
    if (!mark.Save() && !isMarkTold) {
        isMarkTold = true;
        qWarning() << "upload mark not saved:" << mark.errorString();
    }
    for (auto it = followers.begin(); it != followers.end();)
        it = it.key() <= mark.doneUpTo() ? followers.erase(it) : std::next(it);
    names.erase(std::remove_if(names.begin(), names.end(),
                               [this](const QString &name) { return name <= mark.doneUpTo(); }),
                names.end());
    lastWaiting = waiting;
    if (isUp && waiting == 0 && isDownTold) {
        isDownTold = false;
        emit Told(
            tr("服务器 %1 已恢复连接，已补传 %2 行数据").arg(settings.server.host).arg(caughtUp));
        caughtUp = 0;
    }
    Report();
    return isUp;
}

bool UploadWorker::SendFile(const QString &name, RunFollower &follower)
{
    const int sent = mark.sent(name);
    QVector<RunFollower::Sample> rows;
    // Rows counted while the server was away were not kept: read them again.
    if (follower.rowCount() > sent) {
        follower = RunFollower(follower.path());
    }
    if (!follower.Read(&rows, sent)) {
        if (!toldFiles.contains(name)) {
            toldFiles.insert(name);
            emit Told(tr("运行文件 %1 无法读取：%2，已跳过").arg(name, follower.errorString()));
        }
        mark.SetSkipped(name);
        return true;
    }
    // A file that is not the newest and not finished belongs to a run that
    // was cut off; it is finished at the next start and then completed here.
    const bool isEnd = follower.isFinished() || follower.isDamaged();
    if (follower.isDamaged() && !toldFiles.contains(name)) {
        toldFiles.insert(name);
        emit Told(tr("运行文件 %1 已损坏（%2），已上传其前 %3 行，其余跳过")
                      .arg(name, follower.errorString())
                      .arg(follower.rowCount()));
    }
    if (rows.isEmpty() && !isEnd)
        return true;
    if (rows.isEmpty() && follower.rowCount() == 0) {
        mark.Set(name, 0, true);
        return true;
    }
    for (int from = 0; from < rows.size() || (rows.isEmpty() && from == 0); from += BatchRows) {
        const QVector<RunFollower::Sample> batch = rows.mid(from, BatchRows);
        const bool isLast = from + BatchRows >= rows.size();
        const int upTo = batch.isEmpty() ? sent : batch.last().seq;
        if (!SendBatch(name, batch, isEnd && isLast))
            return false;
        mark.Set(name, upTo, isEnd && isLast);
        caughtUp += batch.size();
        lastUpload = QDateTime::currentDateTime();
    }
    return true;
}

QDateTime UploadWorker::StartTime(const QString &name,
                                  const QVector<RunFollower::Sample> &rows) const
{
    const QRegularExpressionMatch match = RunName.match(name);
    QDateTime start =
        QDateTime::fromString(match.captured(1), QLatin1String(RunFileFormat::FileNameTimeFormat));
    // Runs started in the same second are told apart by a millisecond each.
    if (start.isValid())
        return start.addMSecs(qMax(0, match.captured(2).toInt() - 1));
    return rows.isEmpty() ? QDateTime() : rows.first().time;
}

bool UploadWorker::SendBatch(const QString &name, const QVector<RunFollower::Sample> &rows,
                             bool isEnd)
{
    QDateTime start = startTimes.value(name);
    if (!start.isValid()) {
        start = StartTime(name, rows);
        if (start.isValid())
            startTimes.insert(name, start);
    }
    QSqlDatabase db = QSqlDatabase::database(connectionName, false);
    QSqlField fileField(QStringLiteral("file"), QVariant::String);
    fileField.setValue(QDir(settings.runFolder).absoluteFilePath(name));
    const QString station = settings.station;
    const QString startText = QString::fromLatin1(UtcText(start));

    QByteArray data;
    data.reserve(rows.size() * 120);
    const QByteArray prefix = station.toUtf8() + '\t' + UtcText(start) + '\t';
    for (const RunFollower::Sample &row : rows) {
        data += prefix;
        data += QByteArray::number(row.seq);
        data += '\t';
        data += row.time.isValid() ? UtcText(row.time) : QByteArray("\\N");
        for (double value : row.values) {
            data += '\t';
            AppendNumber(data, value);
        }
        for (int i = 0; i < 2; ++i) {
            data += '\t';
            data += row.hasStrength[i] ? QByteArray::number(row.strengths[i]) : QByteArray("\\N");
        }
        data += '\n';
    }

    QString error;
    const bool isDone =
        db.transaction() &&
        Exec(QStringLiteral("INSERT INTO runs (station, start_time, file) VALUES ('%1', '%2', %3) "
                            "ON CONFLICT DO NOTHING")
                 .arg(station, startText, db.driver()->formatValue(fileField)),
             &error) &&
        (rows.isEmpty() || (Copy(data, &error) &&
                            Exec(QStringLiteral("INSERT INTO samples SELECT * FROM upload_samples "
                                                "ON CONFLICT DO NOTHING"),
                                 &error))) &&
        Exec(
            QStringLiteral("UPDATE runs r SET samples = a.n, mean_velocity = a.v, "
                           "mean_level = a.l, mean_flow = a.f, end_time = %3 FROM "
                           "(SELECT count(*) AS n, avg(velocity) AS v, avg(level) AS l, "
                           "avg(flow) AS f, max(time) AS last FROM samples "
                           "WHERE station = '%1' AND start_time = '%2') a "
                           "WHERE r.station = '%1' AND r.start_time = '%2'")
                .arg(station, startText, isEnd ? QStringLiteral("a.last") : QStringLiteral("NULL")),
            &error) &&
        Exec(QStringLiteral("UPDATE stations SET last_seen = now() WHERE station = '%1'")
                 .arg(station),
             &error);
    if (isDone && db.commit())
        return true;
    if (error.isEmpty())
        error = ErrorText(db.lastError());
    if (db.isOpen())
        db.rollback();
    Lost(error);
    return false;
}

PGconn *UploadWorker::Handle() const
{
    const QVariant handle = QSqlDatabase::database(connectionName, false).driver()->handle();
    return handle.isValid() && qstrcmp(handle.typeName(), "PGconn*") == 0
               ? *static_cast<PGconn *const *>(handle.data())
               : nullptr;
}

void UploadWorker::CloseConnection()
{
    {
        const QMutexLocker locker(&socketLock);
        socketFd = -1;
    }
    QSqlDatabase::database(connectionName, false).close();
}

void UploadWorker::Interrupt()
{
    // The socket is shut down, not closed: the worker's blocked call returns
    // with an error and the worker closes the connection as for a lost one.
    const QMutexLocker locker(&socketLock);
    if (socketFd >= 0)
        ::shutdown(socketFd, SHUT_RDWR);
}

bool UploadWorker::Copy(const QByteArray &data, QString *error)
{
    PGconn *conn = Handle();
    if (!conn) {
        *error = QStringLiteral("the driver gives no connection handle");
        return false;
    }
    PGresult *result = PQexec(conn, "COPY upload_samples FROM STDIN");
    const bool isCopying = PQresultStatus(result) == PGRES_COPY_IN;
    PQclear(result);
    if (!isCopying) {
        *error = OneLine(QString::fromUtf8(PQerrorMessage(conn)));
        return false;
    }
    bool isSent = PQputCopyData(conn, data.constData(), data.size()) == 1;
    isSent = PQputCopyEnd(conn, isSent ? nullptr : "not sent") == 1 && isSent;
    bool isOk = isSent;
    while ((result = PQgetResult(conn)) != nullptr) {
        if (PQresultStatus(result) != PGRES_COMMAND_OK)
            isOk = false;
        PQclear(result);
    }
    if (!isOk)
        *error = OneLine(QString::fromUtf8(PQerrorMessage(conn)));
    return isOk;
}

void UploadWorker::Report()
{
    if (lastWaiting < 0 ||
        (lastWaiting == reportedWaiting && isUp == reportedUp && lastUpload == reportedUpload))
        return;
    reportedWaiting = lastWaiting;
    reportedUp = isUp;
    reportedUpload = lastUpload;
    emit StatusChanged(lastUpload, lastWaiting, isUp);
}
