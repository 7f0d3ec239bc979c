#include "fleetoffice.h"

#include "csvexport.h"

#include <QSqlDatabase>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlField>
#include <QSqlQuery>
#include <QSqlRecord>

#include <cmath>

namespace {

const QString TimeFormat = QStringLiteral("yyyy-MM-dd HH:mm:ss");

QString UtcLiteral(const QDateTime &time)
{
    return QLatin1Char('\'') + time.toUTC().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz+00")) +
           QLatin1Char('\'');
}

// Instants travel as milliseconds since the epoch: the driver's own reading
// of timestamptz text depends on the session's and the office's zones.
QString Epoch(const QString &column)
{
    return QStringLiteral("(extract(epoch FROM %1) * 1000)::bigint").arg(column);
}

QDateTime Instant(const QVariant &value)
{
    if (value.isNull())
        return QDateTime();
    return QDateTime::fromMSecsSinceEpoch(value.toLongLong(), Qt::UTC);
}

} // namespace

// Instants in the office's zone and the means as the local history shows
// them.
class FleetOffice::RunsModel : public QSqlQueryModel
{
public:
    using QSqlQueryModel::QSqlQueryModel;

    QVariant data(const QModelIndex &index, int role) const override
    {
        const QVariant value = QSqlQueryModel::data(index, role);
        if (role != Qt::DisplayRole || value.isNull())
            return value;
        switch (index.column()) {
        case StartColumn:
        case EndColumn:
        case LastSeenColumn:
            return Instant(value).toLocalTime().toString(TimeFormat);
        case VelocityColumn:
        case LevelColumn:
        case FlowColumn:
            return QString::number(value.toDouble(), 'f', 3);
        default:
            return value;
        }
    }
};

FleetOffice::FleetOffice(const ServerAddress &server, QObject *parent)
    : QObject(parent), server(server),
      connectionName(QStringLiteral("radarflow-office-%1").arg(quintptr(this), 0, 16)),
      model(*new RunsModel(this))
{
}

FleetOffice::~FleetOffice()
{
    model.clear();
    if (QSqlDatabase::contains(connectionName)) {
        QSqlDatabase::database(connectionName, false).close();
        QSqlDatabase::removeDatabase(connectionName);
    }
}

bool FleetOffice::Open(QString *error)
{
    if (!QSqlDatabase::contains(connectionName))
        server.Connection(connectionName);
    QSqlDatabase db = QSqlDatabase::database(connectionName, false);
    QSqlQuery query(db);
    if (!db.open() || !query.exec(QStringLiteral("SET TIME ZONE 'UTC'"))) {
        lastError = db.lastError().databaseText().simplified();
        if (lastError.isEmpty())
            lastError = query.lastError().text().simplified();
        *error = lastError;
        return false;
    }
    return true;
}

QStringList FleetOffice::stations()
{
    QStringList names;
    QSqlQuery query(QSqlDatabase::database(connectionName, false));
    if (!query.exec(QStringLiteral("SELECT station FROM stations ORDER BY station"))) {
        lastError = query.lastError().text();
        return names;
    }
    while (query.next())
        names << query.value(0).toString();
    return names;
}

void FleetOffice::Query(const QString &station, int days)
{
    QSqlDatabase db = QSqlDatabase::database(connectionName, false);
    QStringList conditions;
    if (!station.isEmpty()) {
        QSqlField field(QStringLiteral("station"), QVariant::String);
        field.setValue(station);
        conditions << QStringLiteral("r.station = %1").arg(db.driver()->formatValue(field));
    }
    if (days > 0)
        conditions << QStringLiteral("r.start_time >= %1")
                          .arg(UtcLiteral(QDate::currentDate().addDays(1 - days).startOfDay()));
    model.setQuery(
        QStringLiteral("SELECT r.station, %2, %3, r.samples, r.mean_velocity, "
                       "r.mean_level, r.mean_flow, %4 FROM runs r "
                       "LEFT JOIN stations s ON s.station = r.station %1 "
                       "ORDER BY r.start_time DESC, r.station")
            .arg(conditions.isEmpty()
                     ? QString()
                     : QStringLiteral("WHERE ") + conditions.join(QStringLiteral(" AND ")),
                 Epoch(QStringLiteral("r.start_time")), Epoch(QStringLiteral("r.end_time")),
                 Epoch(QStringLiteral("s.last_seen"))),
        db);
    while (model.canFetchMore())
        model.fetchMore();
    if (model.lastError().isValid())
        lastError = model.lastError().text();
    const QStringList titles{tr("站点"),           tr("开始时间"),      tr("结束时间"),
                             tr("数据条数"),       tr("平均流速(m/s)"), tr("平均水位(m)"),
                             tr("平均流量(m³/s)"), tr("站点最后上线")};
    for (int column = 0; column < ColumnCount; ++column)
        model.setHeaderData(column, Qt::Horizontal, titles[column]);
}

QString FleetOffice::stationAt(int row) const
{
    return model.record(row).value(StationColumn).toString();
}

QDateTime FleetOffice::startAt(int row) const
{
    return Instant(model.record(row).value(StartColumn));
}

bool FleetOffice::ReadRun(const QString &station, const QDateTime &start, RunFile *run)
{
    QSqlDatabase db = QSqlDatabase::database(connectionName, false);
    QSqlField field(QStringLiteral("station"), QVariant::String);
    field.setValue(station);
    QSqlQuery query(db);
    query.setForwardOnly(true);
    if (!query.exec(QStringLiteral("SELECT %3, velocity, level, flow FROM samples "
                                   "WHERE station = %1 AND start_time = %2 ORDER BY seq")
                        .arg(db.driver()->formatValue(field), UtcLiteral(start),
                             Epoch(QStringLiteral("time"))))) {
        lastError = query.lastError().text();
        return false;
    }
    *run = RunFile();
    while (query.next()) {
        RunFile::Row row;
        row.time = Instant(query.value(0)).toLocalTime();
        const QVariant values[3] = {query.value(1), query.value(2), query.value(3)};
        if (!row.time.isValid() || values[0].isNull() || values[1].isNull() || values[2].isNull()) {
            ++run->unreadableRows;
            continue;
        }
        row.speed = values[0].toDouble();
        row.level = values[1].toDouble();
        row.quantity = values[2].toDouble();
        run->rows.append(row);
    }
    run->isComplete = true;
    return true;
}

bool FleetOffice::RunCsv(const QString &station, const QDateTime &start, QByteArray *csv)
{
    QSqlField field(QStringLiteral("station"), QVariant::String);
    field.setValue(station);
    const QSqlDatabase db = QSqlDatabase::database(connectionName, false);
    return Csv(QStringLiteral("station = %1 AND start_time = %2")
                   .arg(db.driver()->formatValue(field), UtcLiteral(start)),
               csv);
}

bool FleetOffice::SpanCsv(const QString &station, const QDateTime &from, const QDateTime &to,
                          QByteArray *csv)
{
    QSqlField field(QStringLiteral("station"), QVariant::String);
    field.setValue(station);
    const QSqlDatabase db = QSqlDatabase::database(connectionName, false);
    return Csv(QStringLiteral("station = %1 AND time >= %2 AND time < %3")
                   .arg(db.driver()->formatValue(field), UtcLiteral(from), UtcLiteral(to)),
               csv);
}

bool FleetOffice::Csv(const QString &where, QByteArray *csv)
{
    QSqlQuery query(QSqlDatabase::database(connectionName, false));
    query.setForwardOnly(true);
    if (!query.exec(QStringLiteral("SELECT %2, velocity, level, flow, air_gap, discharge, "
                                   "velocity_strength, level_strength FROM samples WHERE %1 "
                                   "ORDER BY time, start_time, seq")
                        .arg(where, Epoch(QStringLiteral("time"))))) {
        lastError = query.lastError().text();
        return false;
    }
    constexpr int Columns = 8;
    *csv = CsvExport::Header(Columns);
    while (query.next()) {
        const QDateTime time = Instant(query.value(0));
        if (!time.isValid())
            continue;
        QStringList fields{CsvExport::IsoTime(time.toLocalTime())};
        for (int i = 1; i < Columns; ++i) {
            const QVariant value = query.value(i);
            fields << (value.isNull() ? QString() : CsvExport::Number(value.toDouble()));
        }
        *csv += fields.join(QLatin1Char(',')).toUtf8() + '\n';
    }
    return true;
}
