// The built program as the operator starts it, in a working folder of its
// own: the English translation taken from there, and the log's first line
// stamped with the clock.
#include <QtTest>

class tst_Program : public QObject
{
    Q_OBJECT

private slots:
    void startsFromItsWorkingFolder();
};

void tst_Program::startsFromItsWorkingFolder()
{
    QTemporaryDir dir;
    QVERIFY(QFile::copy(RADARFLOW_QM_FILE, dir.filePath("ZelEnglish.qm")));
    QProcess program;
    program.setWorkingDirectory(dir.path());
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("QT_QPA_PLATFORM", "offscreen");
    environment.remove("RADARFLOW_PORTS");
    // Without it the platform's first warning opens the log.
    environment.remove("XDG_RUNTIME_DIR");
    program.setProcessEnvironment(environment);
    const QDateTime started = QDateTime::currentDateTime();
    program.start(RADARFLOW_PATH, QStringList());
    QVERIFY(program.waitForStarted(5000));

    // An installed translation stays mapped into the program's memory.
    const auto isMapped = [&] {
        QFile maps(QStringLiteral("/proc/%1/maps").arg(program.processId()));
        return maps.open(QIODevice::ReadOnly) &&
               maps.readAll().contains(dir.filePath("ZelEnglish.qm").toUtf8());
    };
    QTRY_VERIFY_WITH_TIMEOUT(isMapped(), 20000);
    QByteArray logText;
    const auto logged = [&] {
        QFile log(dir.filePath("log.txt"));
        logText = log.open(QIODevice::ReadOnly) ? log.readAll() : QByteArray();
        return logText.contains('\n');
    };
    QTRY_VERIFY_WITH_TIMEOUT(logged(), 20000);
    program.terminate();
    program.waitForFinished(5000);
    const QStringList lines = QString::fromUtf8(logText).split('\n', Qt::SkipEmptyParts);
    const QRegularExpression format(
        R"(^\[(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d)\] (DEBUG|WARNING|CRITICAL|FATAL|)\|(.*) \((.*)\) Line:\((\d+)\)$)");
    const QRegularExpressionMatch first = format.match(lines.value(0));
    QVERIFY2(first.hasMatch(), qPrintable(lines.value(0)));
    const QDateTime stamp = QDateTime::fromString(first.captured(1), "yyyy-MM-dd HH:mm:ss");
    QVERIFY2(started.secsTo(stamp) >= 0 && started.secsTo(stamp) <= 5, qPrintable(lines.value(0)));
}

QTEST_GUILESS_MAIN(tst_Program)
#include "tst_program.moc"
