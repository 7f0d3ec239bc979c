#include "fleetschema.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>
#include <QVariant>

namespace FleetSchema {

namespace {

// Any 64-bit number that no other program on the server uses for its lock.
constexpr qint64 SchemaLock = 0x7261646172666c77; // "radarflw"

const char *const Statements[] = {
    "CREATE TABLE IF NOT EXISTS schema_version (version int NOT NULL)",
    "CREATE TABLE IF NOT EXISTS stations (station text PRIMARY KEY, first_seen timestamptz, "
    "last_seen timestamptz, software text, firmware text)",
    "CREATE TABLE IF NOT EXISTS runs (station text, start_time timestamptz, end_time timestamptz, "
    "samples int, mean_velocity double precision, mean_level double precision, "
    "mean_flow double precision, file text, PRIMARY KEY (station, start_time))",
    "CREATE TABLE IF NOT EXISTS samples (station text, start_time timestamptz, seq int, "
    "time timestamptz, velocity double precision, level double precision, "
    "flow double precision, air_gap double precision, discharge double precision, "
    "velocity_strength int, level_strength int, PRIMARY KEY (station, start_time, seq))",
    "INSERT INTO schema_version SELECT 1 WHERE NOT EXISTS (SELECT 1 FROM schema_version)",
};

int StoredVersion(QSqlDatabase &db, bool *isPresent)
{
    QSqlQuery query(db);
    *isPresent = false;
    if (!query.exec(QStringLiteral("SELECT to_regclass('schema_version') IS NOT NULL")) ||
        !query.next() || !query.value(0).toBool())
        return 0;
    if (!query.exec(QStringLiteral("SELECT max(version) FROM schema_version")) || !query.next())
        return 0;
    *isPresent = !query.value(0).isNull();
    return query.value(0).toInt();
}

} // namespace

QString CreateStatements()
{
    QStringList lines;
    for (const char *statement : Statements)
        lines << QString::fromLatin1(statement) + QLatin1Char(';');
    return lines.join(QLatin1Char('\n'));
}

bool Ensure(QSqlDatabase &db, QString *error)
{
    bool isPresent = false;
    int version = StoredVersion(db, &isPresent);
    if (!isPresent) {
        QSqlQuery query(db);
        bool isDone =
            db.transaction() &&
            query.exec(QStringLiteral("SELECT pg_advisory_xact_lock(%1)").arg(SchemaLock));
        for (const char *statement : Statements) {
            if (isDone)
                isDone = query.exec(QString::fromLatin1(statement));
        }
        if (!isDone || !db.commit()) {
            *error = query.lastError().text().trimmed();
            if (error->isEmpty())
                *error = db.lastError().text().trimmed();
            db.rollback();
            return false;
        }
        version = StoredVersion(db, &isPresent);
    }
    if (version > Version) {
        *error = QStringLiteral("the server's schema is version %1, newer than this program's %2")
                     .arg(version)
                     .arg(Version);
        return false;
    }
    return true;
}

} // namespace FleetSchema
