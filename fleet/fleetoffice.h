#pragma once

#include "runfile.h"
#include "serveraddress.h"

#include <QDateTime>
#include <QObject>
#include <QSqlQueryModel>
#include <QStringList>

class QIODevice;

// The office's view of the fleet's server: the runs of every station, newest
// first, and the samples of one run or one station's span. Reads only.
class FleetOffice : public QObject
{
    Q_OBJECT

public:
    // The columns of runsModel().
    enum Column
    {
        StationColumn,
        StartColumn,
        EndColumn,
        SamplesColumn,
        VelocityColumn,
        LevelColumn,
        FlowColumn,
        LastSeenColumn,
        ColumnCount
    };

    explicit FleetOffice(const ServerAddress &server, QObject *parent = nullptr);
    ~FleetOffice() override;

    // False, with the reason, when the server cannot be reached.
    bool Open(QString *error);
    QString errorString() const { return lastError; }

    // Times in the office's own zone, means with three decimals.
    QSqlQueryModel *runsModel() { return &model; }
    // The stations the server knows, by name.
    QStringList stations();
    // Runs of station (all stations when empty) started within the last days
    // calendar days, today included (all runs when days is 0).
    void Query(const QString &station, int days);

    QString stationAt(int row) const;
    QDateTime startAt(int row) const;

    // The samples of one run, as a run file gives them.
    bool ReadRun(const QString &station, const QDateTime &start, RunFile *run);
    // The same run as CSV in the program's format.
    bool RunCsv(const QString &station, const QDateTime &start, QByteArray *csv);
    // A station's samples taken from from (included) to to (excluded), as CSV.
    bool SpanCsv(const QString &station, const QDateTime &from, const QDateTime &to,
                 QByteArray *csv);

private:
    class RunsModel;
    bool Csv(const QString &where, QByteArray *csv);

    ServerAddress server;
    QString connectionName;
    QSqlQueryModel &model;
    QString lastError;
};
