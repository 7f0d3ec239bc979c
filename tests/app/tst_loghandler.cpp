// The log file: one whole line per message, also from two threads at once,
// the line of a fatal error on disk before the process ends, and the
// rotation at its size limit.
#include "filebytes.h"
#include "loghandler.h"

#include <QtTest>

class tst_LogHandler : public QObject
{
    Q_OBJECT

private slots:
    void twoThreadsGiveWholeLines()
    {
        QTemporaryDir dir;
        QVERIFY(QDir::setCurrent(dir.path()));
        qInstallMessageHandler(LogHandler::MessageHandler);
        const QString longText(500, 'x');
        const auto logMany = [&](char name) {
            for (int i = 0; i < 300; ++i)
                qDebug("%c %d %s", name, i, qPrintable(longText));
        };
        std::unique_ptr<QThread> a(QThread::create(logMany, 'A'));
        std::unique_ptr<QThread> b(QThread::create(logMany, 'B'));
        a->start();
        b->start();
        QVERIFY(a->wait(20000) && b->wait(20000));
        qInstallMessageHandler(nullptr);

        const QStringList lines =
            QString::fromUtf8(FileBytes("log.txt")).split('\n', Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 600);
        const QRegularExpression whole(
            R"(^\[\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\] DEBUG\|[AB] \d+ x{500} )"
            R"(\(.*tst_loghandler\.cpp\) Line:\(\d+\)$)");
        for (const QString &text : lines)
            QVERIFY2(whole.match(text).hasMatch(), qPrintable(text));
    }

    void fatalLineIsWrittenBeforeAbort()
    {
        QTemporaryDir dir;
        QProcess child;
        child.setWorkingDirectory(dir.path());
        child.start(QCoreApplication::applicationFilePath(), {"fatal-child"});
        QVERIFY(child.waitForFinished(10000));
        QCOMPARE(child.exitStatus(), QProcess::CrashExit);
        const QByteArray line = FileBytes(dir.filePath("log.txt"));
        QVERIFY2(line.contains("] FATAL|gate lost ("), line.constData());
        // The copy on standard output is UTF-8 with CR LF.
        QCOMPARE(child.readAllStandardOutput(), line.trimmed() + "\r\n");
    }

    void rotation_data()
    {
        // log.txt, log.1.txt, ... before one more line is logged at a limit of
        // 100 bytes, and log.1.txt, ... afterwards.
        QTest::addColumn<QStringList>("before");
        QTest::addColumn<QStringList>("rotated");
        const QString full(100, 'b');
        QTest::newRow("one byte short") << QStringList{QString(99, 'a')} << QStringList{};
        QTest::newRow("at the size") << QStringList{full} << QStringList{full};
        QTest::newRow("five kept")
            << QStringList{full, "1", "2", "3", "4", "5"} << QStringList{full, "1", "2", "3", "4"};
    }

    void rotation()
    {
        QFETCH(QStringList, before);
        QFETCH(QStringList, rotated);
        QTemporaryDir dir;
        QVERIFY(QDir::setCurrent(dir.path()));
        const auto name = [](int i) {
            return i ? QString("log.%1.txt").arg(i) : QString("log.txt");
        };
        for (int i = 0; i < before.size(); ++i) {
            QFile file(name(i));
            QVERIFY(file.open(QIODevice::WriteOnly) && file.write(before[i].toUtf8()));
        }
        LogHandler::SetRotationSize(100);
        LogHandler::SetEchoToStdout(false);
        LogHandler::MessageHandler(QtWarningMsg, QMessageLogContext(), "next");
        LogHandler::SetRotationSize(0);
        QStringList pieces;
        for (int i = 0; QFile::exists(name(i)); ++i)
            pieces << QString::fromUtf8(FileBytes(name(i)));
        // The new line goes to log.txt, after the old text only if that stayed.
        const QString log = pieces.takeFirst();
        QVERIFY2(log.startsWith((rotated.isEmpty() ? before[0] : QString()) + "[") &&
                     log.count('\n') == 1 && log.endsWith("WARNING|next () Line:(0)\n"),
                 qPrintable(log));
        QCOMPARE(pieces, rotated);
    }
};

int main(int argc, char *argv[])
{
    if (argc == 2 && qstrcmp(argv[1], "fatal-child") == 0) {
        qInstallMessageHandler(LogHandler::MessageHandler);
        qFatal("gate lost");
    }
    QCoreApplication app(argc, argv);
    tst_LogHandler test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_loghandler.moc"
