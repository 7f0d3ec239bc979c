// The fleet against a real throwaway PostgreSQL cluster (tests/common/
// with-server.sh): the station's uploader through growth and faults, two
// stations into one server, the office's window and the command line. The
// station runs in Asia/Shanghai, the office in Europe/Berlin.
#include "fleetoffice.h"
#include "mainwindow.h"
#include "measurementfile.h"
#include "messageboxrecorder.h"
#include "runfilemaker.h"
#include "uploader.h"

#include <QChartView>
#include <QLineSeries>
#include <QtSql>
#include <QtTest>

#include <ctime>
#include <memory>

namespace {

const QString Start = QStringLiteral("2026-03-01 08:00:00");
const QString StartName = QStringLiteral("2026-03-01_08_00_00.xml");
// 08:00 in Shanghai is midnight UTC, 01:00 in Berlin.
const QString StartUtc = QStringLiteral("2026-03-01 00:00:00");
const QStringList Values{QStringLiteral("0.5"), QStringLiteral("1.25"), QStringLiteral("2.5")};
const QString StationPassword = QStringLiteral("right-pw");

void SetZone(const char *zone)
{
    qputenv("TZ", zone);
    tzset();
}

} // namespace

class tst_Fleet : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void upload_data();
    void upload();
    void twoStations();
    void office();
    void commandLine_data();
    void commandLine();
    void retryDelays();

private:
    enum Fault
    {
        NoFault,
        DownFirstHalf,
        KilledMidBatch,
        StationKilled,
        WrongPassword
    };

    std::unique_ptr<Uploader> MakeUploader(const QString &folder, const QString &station,
                                           const QString &user);
    bool Server(const QString &action);
    QVariant Value(const QString &sql);
    QString Url(const QString &user) const;

    QTemporaryDir dir;
    QStringList told;
};

void tst_Fleet::initTestCase()
{
    // Never skipped: without its cluster the suite fails.
    QVERIFY2(!qEnvironmentVariableIsEmpty("PGPORT"), "run under tests/common/with-server.sh");
    QVERIFY(dir.isValid());
    QStandardPaths::setTestModeEnabled(true);
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), QStringLiteral("check"));
    db.setHostName(QStringLiteral("localhost"));
    db.setPort(qEnvironmentVariableIntValue("PGPORT"));
    db.setDatabaseName(QStringLiteral("postgres"));
    db.setUserName(QStringLiteral("postgres"));
    db.setPassword(qEnvironmentVariable("PGPASSWORD"));
    QVERIFY2(db.open(), qPrintable(db.lastError().text()));
    // The office's set-up, as the README has it run once.
    QProcess psql;
    psql.start(QStringLiteral("psql"),
               {QStringLiteral("-v"), QStringLiteral("ON_ERROR_STOP=1"), QStringLiteral("-q"),
                QStringLiteral("-f"), QStringLiteral(RADARFLOW_SETUP_SQL)});
    QVERIFY(psql.waitForFinished(30000));
    QVERIFY2(psql.exitCode() == 0, psql.readAllStandardError().constData());
    for (const char *role : {"st-pw", "st-a", "st-b"})
        QVERIFY(QSqlQuery(db).exec(QStringLiteral("CREATE ROLE \"%1\" LOGIN PASSWORD '%2' "
                                                  "IN ROLE radarflow_station")
                                       .arg(QLatin1String(role), StationPassword)));
    QVERIFY(QSqlQuery(db).exec(
        QStringLiteral("CREATE ROLE office LOGIN PASSWORD '%1' IN ROLE radarflow_office")
            .arg(StationPassword)));
}

QString tst_Fleet::Url(const QString &user) const
{
    return QStringLiteral("postgresql://%1@localhost:%2/postgres")
        .arg(user, qEnvironmentVariable("PGPORT"));
}

std::unique_ptr<Uploader> tst_Fleet::MakeUploader(const QString &folder, const QString &station,
                                                  const QString &user)
{
    UploadWorker::Settings settings;
    QString error;
    settings.server = ServerAddress::Parse(Url(user), &error);
    settings.station = station;
    settings.runFolder = folder;
    settings.markPath = folder + QStringLiteral("/../upload.mark");
    settings.software = QStringLiteral("test");
    auto uploader = std::make_unique<Uploader>(settings);
    connect(uploader.get(), &Uploader::Told, this, [this](const QString &text) { told << text; });
    uploader->Start();
    return uploader;
}

bool tst_Fleet::Server(const QString &action)
{
    // The cluster pg_virtualenv made; stop -m immediate is a crash.
    QStringList arguments{qEnvironmentVariable("PGVERSION"), QStringLiteral("regress")};
    arguments << action.split(QLatin1Char(' '));
    QSqlDatabase::database(QStringLiteral("check"), false).close();
    return QProcess::execute(QStringLiteral("pg_ctlcluster"), arguments) == 0;
}

QVariant tst_Fleet::Value(const QString &sql)
{
    QSqlDatabase db = QSqlDatabase::database(QStringLiteral("check"), false);
    if (!db.isOpen())
        db.open();
    QSqlQuery query(db);
    return query.exec(sql) && query.next() ? query.value(0) : QVariant();
}

void tst_Fleet::upload_data()
{
    QTest::addColumn<int>("fault");
    QTest::addColumn<QString>("user");
    // What the operator is told, in order; "" for none.
    QTest::addColumn<QStringList>("expectTold");
    const QString down = QStringLiteral("服务器 localhost 无法连接：");
    QTest::newRow("grows") << int(NoFault) << "postgres" << QStringList();
    QTest::newRow("down first half")
        << int(DownFirstHalf) << "postgres"
        << QStringList{down, QStringLiteral("服务器 localhost 已恢复连接，已补传 6 行数据")};
    QTest::newRow("killed mid-batch")
        << int(KilledMidBatch) << "postgres" << QStringList{down, QStringLiteral("已补传")};
    QTest::newRow("station killed") << int(StationKilled) << "postgres" << QStringList();
    QTest::newRow("wrong password")
        << int(WrongPassword) << "st-pw"
        << QStringList{QStringLiteral(
                           "password authentication failed for user \"st-pw\"，数据将在恢复后上传"),
                       QStringLiteral("已补传 6 行数据")};
}

void tst_Fleet::upload()
{
    QFETCH(int, fault);
    QFETCH(QString, user);
    QFETCH(QStringList, expectTold);
    const QString station = fault == WrongPassword
                                ? user
                                : QString::fromLatin1(QTest::currentDataTag()).replace(' ', '-');
    const QString folder = dir.filePath(station + QStringLiteral("/xml"));
    QVERIFY(QDir().mkpath(folder));
    const QString path = folder + QLatin1Char('/') + StartName;
    const QList<QStringList> rows = RunFileMaker::Rows(Start, 6, 2, Values);
    told.clear();
    const QByteArray password = qgetenv("PGPASSWORD");
    auto count = [&](const QString &where = QString()) {
        return Value(QStringLiteral("SELECT count(*) FROM samples WHERE station = '%1' %2")
                         .arg(station, where))
            .toInt();
    };
    // Both ends of the table: the run's start and its last sample.
    const QString runEnd = QStringLiteral(
        "SELECT to_char(end_time AT TIME ZONE 'UTC', 'YYYY-MM-DD HH24:MI:SS') || ' ' || samples "
        "|| ' ' || mean_velocity FROM runs WHERE station = '%1' AND start_time = '%2+00'");

    if (fault == KilledMidBatch) {
        // A day's backlog in four files of 3000 rows.
        for (int file = 0; file < 4; ++file)
            RunFileMaker::Write(
                folder + QStringLiteral("/2026-03-0%1_08_00_00.xml").arg(file + 2),
                RunFileMaker::Rows(QStringLiteral("2026-03-0%1 08:00:00").arg(file + 2), 3000, 2,
                                   Values));
        auto uploader = MakeUploader(folder, station, user);
        QVERIFY(QTest::qWaitFor([&] { return count() > 0; }, 20000));
        QVERIFY(Server(QStringLiteral("stop -m immediate")));
        const int before = count();
        QTRY_VERIFY_WITH_TIMEOUT(!told.isEmpty(), 10000);
        QVERIFY(Server(QStringLiteral("start")));
        QTRY_COMPARE_WITH_TIMEOUT(count(), 12000, 40000);
        QVERIFY2(before < 12000, "the crash came after the last batch");
        QCOMPARE(Value(QStringLiteral("SELECT count(DISTINCT (start_time, seq)) FROM samples "
                                      "WHERE station = '%1'")
                           .arg(station))
                     .toInt(),
                 12000);
        QCOMPARE(Value(QStringLiteral("SELECT count(*) FROM runs WHERE station = '%1' AND "
                                      "samples = 3000 AND end_time IS NOT NULL")
                           .arg(station))
                     .toInt(),
                 4);
        QTRY_COMPARE_WITH_TIMEOUT(told.size(), 2, 5000);
    } else {
        if (fault == DownFirstHalf)
            QVERIFY(Server(QStringLiteral("stop")));
        if (fault == WrongPassword)
            qputenv("PGPASSWORD", "wrong");
        QVERIFY(!RunFileMaker::Write(path, rows.mid(0, 3), false).isEmpty());
        QElapsedTimer sinceStart;
        sinceStart.start();
        auto uploader = MakeUploader(folder, station, user);
        if (fault == DownFirstHalf || fault == WrongPassword) {
            QTRY_COMPARE_WITH_TIMEOUT(told.size(), 1, 10000);
            // The retry 5 s later fails too, and is not told again.
            QTest::qWait(6000);
            QCOMPARE(told.size(), 1);
            QTRY_COMPARE(uploader->waiting(), 3);
            QVERIFY(!uploader->isUp());
            if (fault == DownFirstHalf)
                QVERIFY(Server(QStringLiteral("start")));
            else
                qputenv("PGPASSWORD", StationPassword.toLatin1());
            QCOMPARE(count(), 0);
        } else {
            QTRY_COMPARE_WITH_TIMEOUT(count(), 3, 10000);
            QVERIFY(Value(runEnd.arg(station, StartUtc)).isNull());
        }
        if (fault == StationKilled) {
            // Gone without its grace, in the middle of the fourth row.
            uploader.reset();
            RunFileMaker::Write(path, rows.mid(0, 5), false);
            QFile file(path);
            QVERIFY(file.open(QIODevice::Append));
            file.write("<Row><Cell><Data ss:Type=\"String\">2026-03-01 08:00:1");
            file.close();
            // The recorder's templates lie beside the run files.
            QVERIFY(QDir::setCurrent(dir.filePath(station)));
            const MeasurementFile::Recovery recovery = MeasurementFile::Recover(path, -1);
            QVERIFY2(recovery.outcome == MeasurementFile::Recovery::Finished,
                     qPrintable(recovery.error));
            uploader = MakeUploader(folder, station, user);
            QTRY_COMPARE_WITH_TIMEOUT(Value(runEnd.arg(station, StartUtc)).toString(),
                                      QStringLiteral("2026-03-01 00:00:08 5 0.5"), 10000);
        } else {
            RunFileMaker::Write(path, rows, true);
            QTRY_COMPARE_WITH_TIMEOUT(Value(runEnd.arg(station, StartUtc)).toString(),
                                      QStringLiteral("2026-03-01 00:00:10 6 0.5"), 30000);
            QTRY_COMPARE(uploader->waiting(), 0);
            QVERIFY(uploader->lastUpload().isValid());
        }
        // Every row once, at its instant, with all its values.
        const int expected = fault == StationKilled ? 5 : 6;
        QCOMPARE(count(), expected);
        QCOMPARE(count(QStringLiteral("AND time = start_time + (seq - 1) * interval '2 s' AND "
                                      "start_time = '%1+00' AND velocity = 0.5 AND level = 1.25 "
                                      "AND flow = 2.5 AND air_gap IS NULL")
                           .arg(StartUtc)),
                 expected);
        QTRY_COMPARE_WITH_TIMEOUT(told.size(), expectTold.size(), 5000);
        uploader->Finish();
        qputenv("PGPASSWORD", password);
    }
    for (int i = 0; i < expectTold.size(); ++i)
        QVERIFY2(told[i].contains(expectTold[i]), qPrintable(told[i]));
    // The password never reaches what the operator is told.
    QVERIFY(!told.join(QString()).contains(StationPassword));
    QCOMPARE(
        Value(QStringLiteral("SELECT software FROM stations WHERE station = '%1'").arg(station))
            .toString(),
        QStringLiteral("test"));
}

void tst_Fleet::twoStations()
{
    // Two stations in their own roles: each writes only its own rows.
    std::vector<std::unique_ptr<Uploader>> uploaders;
    const QByteArray password = qgetenv("PGPASSWORD");
    qputenv("PGPASSWORD", StationPassword.toLatin1());
    for (const QString &station : {QStringLiteral("st-a"), QStringLiteral("st-b")}) {
        const QString folder = dir.filePath(station + QStringLiteral("/xml"));
        QVERIFY(QDir().mkpath(folder));
        RunFileMaker::Write(
            folder + QLatin1Char('/') + StartName,
            RunFileMaker::Rows(Start, station == QLatin1String("st-a") ? 4 : 7, 2, Values));
        uploaders.push_back(MakeUploader(folder, station, station));
    }
    QTRY_COMPARE_WITH_TIMEOUT(
        Value(QStringLiteral("SELECT string_agg(station || ':' || samples, ' ' ORDER BY station) "
                             "FROM runs WHERE station LIKE 'st-_'"))
            .toString(),
        QStringLiteral("st-a:4 st-b:7"), 15000);
    for (auto &uploader : uploaders)
        uploader->Finish();
    // Row-level security: st-a may not write a row of st-b.
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), QStringLiteral("st-a"));
    db.setHostName(QStringLiteral("localhost"));
    db.setPort(qEnvironmentVariableIntValue("PGPORT"));
    db.setDatabaseName(QStringLiteral("postgres"));
    db.setUserName(QStringLiteral("st-a"));
    db.setPassword(StationPassword);
    QVERIFY(db.open());
    QSqlQuery query(db);
    QVERIFY(!query.exec(
        QStringLiteral("INSERT INTO runs (station, start_time) VALUES ('st-b', now())")));
    QVERIFY(query.exec(QStringLiteral("SELECT count(*) FROM samples")) && query.next());
    QCOMPARE(query.value(0).toInt(), 4);
    db.close();
    qputenv("PGPASSWORD", password);
}

void tst_Fleet::office()
{
    // The office in Berlin sees the Shanghai station's instants.
    SetZone("Europe/Berlin");
    MessageBoxRecorder boxes;
    MainWindow window;
    StationOptions options;
    options.server = Url(QStringLiteral("postgres"));
    options.isOffice = true;
    window.StartOffice(options);
    QVERIFY2(boxes.boxes().isEmpty(), qPrintable(boxes.lastText()));
    auto *stations = window.findChild<QComboBox *>(QStringLiteral("comboBoxStation"));
    auto *table = window.findChild<QTableView *>(QStringLiteral("historyTable"));
    QVERIFY(stations && table);
    QCOMPARE(stations->itemText(0), QStringLiteral("全部站点"));
    QVERIFY(stations->findText(QStringLiteral("st-a")) > 0);
    window.findChild<QRadioButton *>(QStringLiteral("radioButtonAll"))->click();
    // Every run of every station; then those of st-b alone.
    QCOMPARE(table->model()->rowCount(),
             Value(QStringLiteral("SELECT count(*) FROM runs")).toInt());
    QVERIFY(table->model()->rowCount() >= 2);
    stations->setCurrentIndex(stations->findText(QStringLiteral("st-b")));
    emit stations->activated(stations->currentIndex());
    QCOMPARE(table->model()->rowCount(), 1);
    QCOMPARE(table->model()->index(0, 0).data().toString(), QStringLiteral("st-b"));
    QCOMPARE(table->model()->index(0, 1).data().toString(), QStringLiteral("2026-03-01 01:00:00"));
    QCOMPARE(table->model()->index(0, 2).data().toString(), QStringLiteral("2026-03-01 01:00:12"));
    QCOMPARE(table->model()->index(0, 3).data().toInt(), 7);
    QCOMPARE(table->model()->index(0, 4).data().toString(), QStringLiteral("0.500"));
    QVERIFY(!table->model()->index(0, 7).data().toString().isEmpty());

    // The row opens its run from the server's samples, all of them plotted.
    int points = -1;
    QString title;
    QTimer poll;
    connect(&poll, &QTimer::timeout, this, [&] {
        QDialog *dialog = nullptr;
        for (QWidget *widget : QApplication::topLevelWidgets()) {
            if (widget->inherits("DetailInfo") && widget->isVisible())
                dialog = qobject_cast<QDialog *>(widget);
        }
        if (!dialog)
            return;
        poll.stop();
        title = dialog->windowTitle();
        QMetaObject::invokeMethod(dialog, "ShowWholeRun");
        // The velocity chart's line.
        const auto views = dialog->findChildren<QtCharts::QChartView *>();
        const auto *line =
            views.isEmpty() || views.first()->chart()->series().isEmpty()
                ? nullptr
                : qobject_cast<QtCharts::QLineSeries *>(views.first()->chart()->series().first());
        points = line ? line->count() : -2;
        dialog->close();
    });
    poll.start(20);
    const QRect cell = table->visualRect(table->model()->index(0, 1));
    QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, cell.center());
    QTRY_VERIFY(points != -1);
    QCOMPARE(title, QStringLiteral("st-b 2026-03-01 01:00:00"));
    QCOMPARE(points, 7);

    // The CSV of a span: Berlin's offset, the recorder's format.
    FleetOffice office(ServerAddress::Parse(Url(QStringLiteral("postgres")), &title));
    QVERIFY(office.Open(&title));
    QByteArray csv;
    QVERIFY(office.SpanCsv(
        QStringLiteral("st-b"),
        QDateTime::fromString(QStringLiteral("2026-03-01T01:00:02+01:00"), Qt::ISODate),
        QDateTime::fromString(QStringLiteral("2026-03-01T01:00:06+01:00"), Qt::ISODate), &csv));
    QCOMPARE(csv, QByteArray("time,velocity (m/s),level (m),flow (m3/s),air gap (m),discharge (m3),"
                             "velocity signal strength,level signal strength\n"
                             "2026-03-01T01:00:02+01:00,0.5,1.25,2.5,,,,\n"
                             "2026-03-01T01:00:04+01:00,0.5,1.25,2.5,,,,\n"));
    SetZone("Asia/Shanghai");
}

void tst_Fleet::commandLine_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("output");
    const QString url = Url(QStringLiteral("postgres"));
    QTest::newRow("not postgresql")
        << QStringList{"--server", "http://h/db", "--version"} << 2 << "Bad value for --server";
    QTest::newRow("password in url")
        << QStringList{"--server", "postgresql://u:secret@h/db", "--version"} << 2
        << "must not hold a password";
    QTest::newRow("no database") << QStringList{"--server", "postgresql://u@h/", "--version"} << 2
                                 << "lacks the user, host or database";
    QTest::newRow("station with blank")
        << QStringList{"--station", "a b", "--version"} << 2 << "Bad value 'a b' for --station";
    QTest::newRow("station with slash")
        << QStringList{"--station", "a/b", "--version"} << 2 << "for --station";
    QTest::newRow("office without server")
        << QStringList{"--office", "--version"} << 2 << "--office needs --server";
    QTest::newRow("first accepted")
        << QStringList{"--server", "postgresql://u@h:5433/db?sslmode=verify-full", "--station",
                       "a.B-9_z", "--version"}
        << 0 << "radarflow";
    QTest::newRow("export span") << QStringList{"--export-csv", "-",
                                                "--server",     url,
                                                "--station",    "st-a",
                                                "--from",       "2026-03-01T01:00:06+01:00",
                                                "--to",         "2026-03-01T02:00:00+01:00"}
                                 << 0 << "2026-03-01T01:00:06+01:00,0.5,1.25,2.5,,,,\n";
}

void tst_Fleet::commandLine()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, exitCode);
    QFETCH(QString, output);
    QProcess program;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("TZ"), QStringLiteral("Europe/Berlin"));
    program.setProcessEnvironment(environment);
    program.setWorkingDirectory(dir.path());
    program.start(QStringLiteral(RADARFLOW_PATH), arguments);
    QVERIFY(program.waitForFinished(30000));
    QCOMPARE(program.exitCode(), exitCode);
    const QString all =
        QString::fromLocal8Bit(program.readAllStandardOutput() + program.readAllStandardError());
    QVERIFY2(all.contains(output), qPrintable(all));
    if (exitCode == 2)
        QVERIFY2(all.startsWith(QStringLiteral("radarflow: ")) && !all.contains("secret"),
                 qPrintable(all));
}

void tst_Fleet::retryDelays()
{
    // 5 s, doubling, capped at 5 minutes: each side of the cap.
    const int expected[][2] = {{1, 5000},   {2, 10000},  {3, 20000},  {6, 160000},
                               {7, 300000}, {8, 300000}, {40, 300000}};
    for (const auto &row : expected)
        QCOMPARE(UploadWorker::RetryDelayMs(row[0]), row[1]);
}

int main(int argc, char *argv[])
{
    // The station's zone; the office test moves to Berlin.
    SetZone("Asia/Shanghai");
    QApplication app(argc, argv);
    tst_Fleet test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_fleet.moc"
