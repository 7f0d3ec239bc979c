#include "loghandler.h"

#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QThread>
#include <QtTest>

namespace {

const QRegularExpression wholeLine(
    QStringLiteral(R"(^\[\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\] (DEBUG|WARNING|CRITICAL|FATAL|)\|)"
                   R"(.* \((.*)\) Line:\((\d+)\)$)"));

QStringList logLines(const QString &dir = QStringLiteral("."))
{
    QFile file(dir + QStringLiteral("/log.txt"));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QString text = QString::fromUtf8(file.readAll());
    QStringList lines = text.split(QLatin1Char('\n'));
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    return lines;
}

} // namespace

class tst_LogHandler : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void lineFormat();
    void informationalHasEmptyLevel();
    void missingContext();
    void twoThreadsGiveWholeLines();
    void fatalLineIsWrittenBeforeAbort();
    void cleanupTestCase() { qInstallMessageHandler(nullptr); }

private:
    QTemporaryDir dir;
};

void tst_LogHandler::initTestCase()
{
    QVERIFY(dir.isValid());
    QVERIFY(QDir::setCurrent(dir.path()));
    qInstallMessageHandler(LogHandler::MessageHandler);
}

void tst_LogHandler::init()
{
    QFile::remove(QStringLiteral("log.txt"));
}

void tst_LogHandler::lineFormat()
{
    const int line = __LINE__ + 1;
    qWarning() << "write:" << QByteArray::fromHex("8003").toHex();
    qDebug("中文 %d", 7);
    const QStringList lines = logLines();
    QCOMPARE(lines.size(), 2);
    const auto match = wholeLine.match(lines.at(0));
    QVERIFY2(match.hasMatch(), qPrintable(lines.at(0)));
    QCOMPARE(match.captured(1), QStringLiteral("WARNING"));
    QVERIFY(lines.at(0).contains(QStringLiteral("|write: \"8003\" (")));
    QVERIFY(match.captured(2).endsWith(QStringLiteral("tst_loghandler.cpp")));
    QCOMPARE(match.captured(3).toInt(), line);
    QVERIFY(lines.at(1).contains(QStringLiteral("] DEBUG|中文 7 (")));
}

void tst_LogHandler::informationalHasEmptyLevel()
{
    qInfo("ready");
    const QStringList lines = logLines();
    QCOMPARE(lines.size(), 1);
    QVERIFY2(lines.at(0).contains(QStringLiteral("] |ready (")), qPrintable(lines.at(0)));
}

void tst_LogHandler::missingContext()
{
    LogHandler::MessageHandler(QtCriticalMsg, QMessageLogContext(), QStringLiteral("no context"));
    const QStringList lines = logLines();
    QCOMPARE(lines.size(), 1);
    QVERIFY2(lines.at(0).endsWith(QStringLiteral("] CRITICAL|no context () Line:(0)")),
             qPrintable(lines.at(0)));
}

void tst_LogHandler::twoThreadsGiveWholeLines()
{
    constexpr int perThread = 300;
    const QString longText(500, QLatin1Char('x'));
    auto logMany = [&](const char *name) {
        for (int i = 0; i < perThread; ++i)
            qDebug("%s %d %s", name, i, qPrintable(longText));
    };
    QThread *a = QThread::create([&] { logMany("A"); });
    QThread *b = QThread::create([&] { logMany("B"); });
    a->start();
    b->start();
    QVERIFY(a->wait(20000));
    QVERIFY(b->wait(20000));
    delete a;
    delete b;

    const QStringList lines = logLines();
    QCOMPARE(lines.size(), 2 * perThread);
    for (const QString &line : lines)
        QVERIFY2(wholeLine.match(line).hasMatch() && line.contains(longText), qPrintable(line));
}

void tst_LogHandler::fatalLineIsWrittenBeforeAbort()
{
    QTemporaryDir childDir;
    QProcess child;
    child.setWorkingDirectory(childDir.path());
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("LOGHANDLER_FATAL_CHILD"), QStringLiteral("1"));
    child.setProcessEnvironment(env);
    child.start(QCoreApplication::applicationFilePath(), QStringList());
    QVERIFY(child.waitForFinished(10000));
    QCOMPARE(child.exitStatus(), QProcess::CrashExit);

    const QStringList lines = logLines(childDir.path());
    QCOMPARE(lines.size(), 1);
    QVERIFY2(lines.at(0).contains(QStringLiteral("] FATAL|gate lost (")), qPrintable(lines.at(0)));
    // The copy on standard output is UTF-8 with CR LF.
    QVERIFY(child.readAllStandardOutput().endsWith(lines.at(0).toUtf8() + "\r\n"));
}

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsSet("LOGHANDLER_FATAL_CHILD")) {
        qInstallMessageHandler(LogHandler::MessageHandler);
        qFatal("gate lost");
    }
    QCoreApplication app(argc, argv);
    tst_LogHandler test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_loghandler.moc"
