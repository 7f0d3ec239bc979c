// The fleet after a day-long outage of the office: N stations with H hours of
// 2-s samples each as run files, every station uploading on its own
// connection into one throwaway cluster. Prints the wall time and rows per
// second of the catch-up, a COPY of the same rows into the same schema for
// comparison, one station's backlog alone, and the station's CPU while it
// follows a growing run at a 1-s poll.
//   bench_fleetsync [--stations N] [--hours H] [--steady SECONDS]
#include "fleetschema.h"
#include "serveraddress.h"
#include "uploader.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QThread>
#include <QVariant>

#include <libpq-fe.h>

#include <cstdio>
#include <ctime>
#include <memory>
#include <vector>

namespace {

constexpr int RowsPerFile = 3000; // the recorder's limit
constexpr int StepSeconds = 2;
const QDateTime Start = QDateTime(QDate(2026, 3, 1), QTime(0, 0));

QByteArray Head()
{
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
           "<Workbook xmlns=\"urn:schemas-microsoft-com:office:spreadsheet\" "
           "xmlns:x=\"urn:schemas-microsoft-com:office:excel\" "
           "xmlns:ss=\"urn:schemas-microsoft-com:office:spreadsheet\">\n"
           " <Worksheet ss:Name=\"Sheet1\">\n  <Table ss:ExpandedColumnCount=\"8\">\n";
}

// Velocity, level, flow, air gap, discharge and the two strengths of row i.
void Values(int i, double *values, int *strengths)
{
    values[0] = 0.5 + (i % 100) * 0.001;
    values[1] = 1.25 + (i % 50) * 0.01;
    values[2] = 2.5 + (i % 70) * 0.01;
    values[3] = 3.0 - (i % 50) * 0.01;
    values[4] = 100.0 + i * 5.0;
    strengths[0] = 40 + i % 20;
    strengths[1] = 60 + i % 10;
}

QByteArray Row(const QDateTime &time, int i)
{
    double values[5];
    int strengths[2];
    Values(i, values, strengths);
    QByteArray row = "   <Row>\n    <Cell><Data ss:Type=\"String\" x:Ticked=\"1\">" +
                     time.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")).toLatin1() +
                     "</Data></Cell>\n";
    for (double value : values)
        row += "    <Cell><Data ss:Type=\"Number\">" + QByteArray::number(value, 'g', 6) +
               "</Data></Cell>\n";
    for (int strength : strengths)
        row += "    <Cell><Data ss:Type=\"Number\">" + QByteArray::number(strength) +
               "</Data></Cell>\n";
    return row + "   </Row>\n";
}

// hours of samples as finished run files of 3000 rows in folder.
qint64 WriteRuns(const QString &folder, double hours)
{
    QDir().mkpath(folder);
    const qint64 rows = qint64(hours * 3600 / StepSeconds);
    for (qint64 first = 0; first < rows; first += RowsPerFile) {
        const QDateTime start = Start.addSecs(first * StepSeconds);
        QFile file(folder + QLatin1Char('/') +
                   start.toString(QStringLiteral("yyyy-MM-dd_hh_mm_ss")) + QStringLiteral(".xml"));
        if (!file.open(QIODevice::WriteOnly))
            return -1;
        QByteArray text = Head();
        for (qint64 i = first; i < qMin(rows, first + RowsPerFile); ++i)
            text += Row(Start.addSecs(i * StepSeconds), int(i));
        text += "  </Table>\n </Worksheet>\n</Workbook>\n";
        file.write(text);
    }
    return rows;
}

QString Url()
{
    return QStringLiteral("postgresql://%1@localhost:%2/postgres")
        .arg(qEnvironmentVariable("PGUSER"), qEnvironmentVariable("PGPORT"));
}

QSqlDatabase Open(const QString &name)
{
    QString error;
    QSqlDatabase db = ServerAddress::Parse(Url(), &error).Connection(name);
    if (!db.open() || !FleetSchema::Ensure(db, &error))
        std::fprintf(stderr, "server: %s %s\n", qPrintable(db.lastError().text()),
                     qPrintable(error));
    return db;
}

qint64 Count(QSqlDatabase &db, const QString &sql)
{
    QSqlQuery query(db);
    return query.exec(sql) && query.next() ? query.value(0).toLongLong() : -1;
}

// The same rows as the stations hold, as COPY text in chunks of about 1 MiB,
// made before the clock starts so that only the server's work is timed.
std::vector<QByteArray> CopyText(int stations, qint64 rowsEach)
{
    std::vector<QByteArray> chunks(1);
    const qint64 epoch = Start.toSecsSinceEpoch();
    auto utc = [](qint64 seconds) {
        return QDateTime::fromSecsSinceEpoch(seconds, Qt::UTC)
            .toString(QStringLiteral("yyyy-MM-dd HH:mm:ss+00"))
            .toLatin1();
    };
    for (int s = 0; s < stations; ++s) {
        const QByteArray station = "copy-" + QByteArray::number(s) + '\t';
        QByteArray start;
        for (qint64 i = 0; i < rowsEach; ++i) {
            if (i % RowsPerFile == 0)
                start = utc(epoch + i * StepSeconds) + '\t';
            double values[5];
            int strengths[2];
            Values(int(i), values, strengths);
            QByteArray &chunk = chunks.back();
            chunk += station + start + QByteArray::number(i % RowsPerFile + 1) + '\t' +
                     utc(epoch + i * StepSeconds);
            for (double value : values)
                chunk += '\t' + QByteArray::number(value, 'g', 17);
            for (int strength : strengths)
                chunk += '\t' + QByteArray::number(strength);
            chunk += '\n';
            if (chunk.size() > (1 << 20))
                chunks.emplace_back();
        }
    }
    return chunks;
}

double CopyTime(QSqlDatabase &db, const std::vector<QByteArray> &chunks)
{
    PGconn *conn = *static_cast<PGconn *const *>(db.driver()->handle().data());
    QElapsedTimer timer;
    timer.start();
    PQclear(PQexec(conn, "COPY samples FROM STDIN"));
    for (const QByteArray &chunk : chunks)
        PQputCopyData(conn, chunk.constData(), chunk.size());
    PQputCopyEnd(conn, nullptr);
    while (PGresult *result = PQgetResult(conn))
        PQclear(result);
    return timer.elapsed() / 1000.0;
}

double CpuSeconds()
{
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return now.tv_sec + now.tv_nsec / 1e9;
}

std::unique_ptr<Uploader> MakeUploader(const QString &folder, const QString &station)
{
    UploadWorker::Settings settings;
    QString error;
    settings.server = ServerAddress::Parse(Url(), &error);
    settings.station = station;
    settings.runFolder = folder;
    settings.markPath = folder + QStringLiteral(".mark");
    settings.software = QStringLiteral("bench");
    auto uploader = std::make_unique<Uploader>(settings);
    uploader->Start();
    return uploader;
}

// Until the server holds rows samples of stations matching pattern.
double WaitFor(QSqlDatabase &db, const QString &pattern, qint64 rows)
{
    QElapsedTimer timer;
    timer.start();
    while (
        timer.elapsed() < 3600 * 1000 &&
        Count(db,
              QStringLiteral("SELECT count(*) FROM samples WHERE station LIKE '%1'").arg(pattern)) <
            rows)
        QThread::msleep(100);
    return timer.elapsed() / 1000.0;
}

const char *Verdict(bool isMet)
{
    return isMet ? "met" : "NOT met";
}

} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("PGPORT")) {
        // One connection per station and the benchmark's own.
        QStringList arguments{QStringLiteral("-o"), QStringLiteral("max_connections=300"),
                              QString::fromLocal8Bit(argv[0])};
        for (int i = 1; i < argc; ++i)
            arguments << QString::fromLocal8Bit(argv[i]);
        return QProcess::execute(QStringLiteral(RADARFLOW_WITH_SERVER), arguments);
    }
    QCoreApplication app(argc, argv);
    // Each figure as soon as it is measured.
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    const QStringList arguments = app.arguments();
    auto option = [&](const char *name, double fallback) {
        const int at = arguments.indexOf(QLatin1String(name));
        return at > 0 && at + 1 < arguments.size() ? arguments[at + 1].toDouble() : fallback;
    };
    const int stations = int(option("--stations", 100));
    const double hours = option("--hours", 24);
    const int steadySeconds = int(option("--steady", 60));

    QTemporaryDir dir;
    QSqlDatabase db = Open(QStringLiteral("bench"));
    std::printf("fleetsync: %d stations x %g h of 2-s samples, one connection each\n", stations,
                hours);
    qint64 rowsEach = 0;
    for (int s = 0; s < stations; ++s)
        rowsEach = WriteRuns(dir.filePath(QStringLiteral("st-%1").arg(s)), hours);
    const qint64 total = rowsEach * stations;

    const double copySeconds = CopyTime(db, CopyText(stations, rowsEach));
    std::printf("COPY of the same %lld rows:      %8.2f s  %10.0f rows/s\n", total, copySeconds,
                total / copySeconds);
    QSqlQuery(db).exec(QStringLiteral("TRUNCATE samples, runs, stations"));
    QSqlQuery(db).exec(QStringLiteral("CHECKPOINT"));

    QElapsedTimer wall;
    wall.start();
    std::vector<std::unique_ptr<Uploader>> uploaders;
    for (int s = 0; s < stations; ++s)
        uploaders.push_back(MakeUploader(dir.filePath(QStringLiteral("st-%1").arg(s)),
                                         QStringLiteral("st-%1").arg(s)));
    WaitFor(db, QStringLiteral("st-%"), total);
    const double fleetSeconds = wall.elapsed() / 1000.0;
    uploaders.clear();
    std::printf("catch-up through the uploaders:  %8.2f s  %10.0f rows/s  (%.2fx the COPY time; "
                "goal within 2x: %s)\n",
                fleetSeconds, total / fleetSeconds, fleetSeconds / copySeconds,
                Verdict(fleetSeconds <= 2 * copySeconds));
    const qint64 duplicates = Count(db, QStringLiteral("SELECT count(*) - count(DISTINCT "
                                                       "(station, start_time, seq)) FROM samples"));
    std::printf("rows on the server: %lld, twice: %lld\n",
                Count(db, QStringLiteral("SELECT count(*) FROM samples WHERE station LIKE 'st-%'")),
                duplicates);

    // One station's day alone.
    const QString solo = dir.filePath(QStringLiteral("solo"));
    const qint64 soloRows = WriteRuns(solo, 24);
    wall.restart();
    auto uploader = MakeUploader(solo, QStringLiteral("solo"));
    WaitFor(db, QStringLiteral("solo"), soloRows);
    const double soloSeconds = wall.elapsed() / 1000.0;
    std::printf("one station's 24-h backlog (%lld rows): %.2f s  (goal under 2 s: %s)\n", soloRows,
                soloSeconds, Verdict(soloSeconds < 2));

    // Steady state: a run growing by a row every 2 s, followed at a 1-s poll.
    const QString steady = dir.filePath(QStringLiteral("steady"));
    QDir().mkpath(steady);
    QFile run(steady + QStringLiteral("/2026-03-02_00_00_00.xml"));
    run.open(QIODevice::WriteOnly);
    run.write(Head());
    run.flush();
    auto follower = MakeUploader(steady, QStringLiteral("steady"));
    QThread::sleep(2);
    const double cpuBefore = CpuSeconds();
    wall.restart();
    int written = 0;
    while (wall.elapsed() < steadySeconds * 1000) {
        run.write(Row(Start.addDays(1).addSecs(written * StepSeconds), written));
        run.flush();
        ++written;
        QThread::msleep(StepSeconds * 1000);
    }
    const double cpu = CpuSeconds() - cpuBefore;
    const double share = 100.0 * cpu / (wall.elapsed() / 1000.0);
    WaitFor(db, QStringLiteral("steady"), written);
    std::printf("steady state, %d rows in %d s at a 1-s poll: %.3f s CPU = %.2f %% of a core "
                "(goal under 1 %%: %s)\n",
                written, steadySeconds, cpu, share, Verdict(share < 1));
    follower.reset();
    uploader.reset();
    db.close();
    return 0;
}
