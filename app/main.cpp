#include "commandline.h"
#include "csvexport.h"
#include "loghandler.h"
#include "mainwindow.h"
#include "shutdownsignals.h"

#include <QApplication>
#include <QDebug>
#include <QDir>
#include <QFile>
#include <QLockFile>
#include <QMessageBox>
#include <QTranslator>

#include <cstdio>

namespace {

// --lang en takes the translation built into the program, --lang zh none;
// otherwise ZelEnglish.qm in the data folder switches to English when present.
void LoadTranslation(QTranslator &translator, const QString &language, const QString &dataDir)
{
    if (language == QLatin1String("en"))
        translator.load(QStringLiteral(":/i18n/ZelEnglish.qm"));
    else if (language.isEmpty())
        translator.load(QDir(dataDir.isEmpty() ? QStringLiteral(".") : dataDir)
                            .filePath(QStringLiteral("ZelEnglish.qm")));
}

// Every relative file of the program (log.txt, database.db, xml/) lives in
// the data folder, so the program simply works in it.
bool EnterDataDir(const QString &dataDir)
{
    if (dataDir.isEmpty())
        return true;
    if (QDir().mkpath(dataDir) && QDir::setCurrent(dataDir))
        return true;
    const QByteArray text =
        CommandLine::tr("radarflow: cannot use the data folder %1\n").arg(dataDir).toLocal8Bit();
    std::fwrite(text.constData(), 1, size_t(text.size()), stderr);
    return false;
}

// --export-csv RUN.xml [OUT.csv]: a station ships its runs to other systems
// by script, without a window; the CSV goes to standard output when no OUT
// is given.
int ExportCsv(const QString &runPath, const QString &outPath)
{
    CsvExport csv;
    QString reason;
    if (!outPath.isEmpty()) {
        if (!csv.ExportFile(runPath, outPath))
            reason = csv.errorString();
    } else {
        QFile out;
        if (!out.open(stdout, QIODevice::WriteOnly) || !csv.Export(runPath, &out))
            reason = csv.errorString().isEmpty() ? out.errorString() : csv.errorString();
        else if (!out.flush())
            reason = out.errorString();
    }
    if (reason.isEmpty())
        return 0;
    std::fprintf(stderr, "%s\n", reason.toLocal8Bit().constData());
    return 1;
}

// A second program in one data folder would take the first one's live run
// file for an unfinished one and finish it. The lock of a program that was
// killed is stale (its process is gone) and taken over; age alone never makes
// a lock stale, as a station runs for months.
bool LockDataDir(QLockFile &lock, bool isHeadless, ShutdownSignals &shutdownSignals)
{
    lock.setStaleLockTime(0);
    if (lock.tryLock(0))
        return true;
    if (lock.error() != QLockFile::LockFailedError) {
        // A folder that cannot be written cannot be damaged either; the
        // window says what cannot be recorded.
        qWarning() << "data folder not locked:" << lock.error();
        return true;
    }
    qint64 pid = 0;
    QString host;
    QString program;
    lock.getLockInfo(&pid, &host, &program);
    const QString folder = QDir::currentPath();
    if (isHeadless) {
        const QByteArray text =
            CommandLine::tr("radarflow: the data folder %1 is in use by another radarflow "
                            "(process %2)\n")
                .arg(folder)
                .arg(pid)
                .toLocal8Bit();
        std::fwrite(text.constData(), 1, size_t(text.size()), stderr);
    } else {
        QMessageBox box(QMessageBox::Warning, QCoreApplication::translate("MainWindow", "警告"),
                        QCoreApplication::translate("MainWindow",
                                                    "数据文件夹 %1 正由另一个 radarflow（进程 "
                                                    "%2）使用，本程序不能同时在其中运行。")
                            .arg(folder)
                            .arg(pid),
                        QMessageBox::Ok);
        // A signal ends the program here too, box or not.
        QObject::connect(&shutdownSignals, &ShutdownSignals::received, &box, &QMessageBox::reject);
        box.exec();
    }
    return false;
}

} // namespace

// The English translation is compiled into the program; it lives in a static
// library, so it is registered by hand (never inside a namespace).
static void InitTranslation()
{
    Q_INIT_RESOURCE(translation);
}

// The signal handlers go in before the libraries' own initialisers run, which
// take most of a start's first 100 ms; InstallEarly() calls the C library only.
static void InstallSignalsFirst(int, char **, char **)
{
    ShutdownSignals::InstallEarly();
}
__attribute__((section(".preinit_array"),
               used)) static void (*const signalsFirst)(int, char **,
                                                        char **) = InstallSignalsFirst;

int main(int argc, char *argv[])
{
    // A signal during start-up must not kill the program halfway through
    // making its files.
    ShutdownSignals::InstallEarly();
    qInstallMessageHandler(LogHandler::MessageHandler);
    // log.txt belongs in the data folder, which the command line names.
    LogHandler::Defer(true);
    // The platform is chosen before the application exists: the usage and a
    // headless station must work where there is no screen, whatever
    // -platform says.
    if (!CommandLine::WantsScreen(argc, argv)) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        CommandLine::DropPlatform(argc, argv);
    }
    QApplication app(argc, argv);
    // SIGTERM, SIGINT and SIGHUP end a running measurement as the operator's
    // stop would, so a station stopped by systemd loses nothing.
    ShutdownSignals shutdownSignals;
    QCoreApplication::setApplicationName(QStringLiteral("radarflow"));
    QCoreApplication::setApplicationVersion(QStringLiteral(RADARFLOW_VERSION));
    InitTranslation();

    // Read once untranslated to find the translation, then again so that the
    // usage is printed in the chosen language.
    const CommandLine untranslated(app.arguments());
    QTranslator translator;
    if (!untranslated.IsDone())
        LoadTranslation(translator, untranslated.Language(), untranslated.DataDir());
    app.installTranslator(&translator);
    const CommandLine commandLine(app.arguments());
    if (commandLine.IsDone()) {
        LogHandler::DropDeferred();
        return commandLine.Finish();
    }
    if (commandLine.IsExport()) {
        LogHandler::DropDeferred();
        // An export has no event loop to hear a signal in.
        ShutdownSignals::RestoreDefaults();
        return ExportCsv(commandLine.ExportRun(), commandLine.ExportOut());
    }
    // Nothing is made yet: a signal now ends the program with nothing to undo.
    if (ShutdownSignals::IsPending())
        return 0;
    const StationOptions &station = commandLine.Station();
    if (!EnterDataDir(commandLine.DataDir())) {
        LogHandler::DropDeferred();
        return CommandLine::UsageError;
    }
    // Before anything in the folder is read or written (log, history,
    // recovery of run files): one program per data folder.
    QLockFile folderLock(QDir::current().absoluteFilePath(QStringLiteral("radarflow.lock")));
    if (!LockDataDir(folderLock, station.isHeadless, shutdownSignals)) {
        LogHandler::DropDeferred();
        return CommandLine::UsageError;
    }
    if (ShutdownSignals::IsPending())
        return 0;
    // A headless station keeps standard output for its event lines.
    LogHandler::SetEchoToStdout(!station.isHeadless);
    LogHandler::Defer(false);

    MainWindow window;
    window.grabGesture(Qt::PanGesture);
    window.grabGesture(Qt::PinchGesture);
    QObject::connect(&shutdownSignals, &ShutdownSignals::received, &window,
                     &MainWindow::EndRunAndQuit);
    window.StartStation(station);
    if (!station.isHeadless)
        window.showMaximized();
    return app.exec();
}
