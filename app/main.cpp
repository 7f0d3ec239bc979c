#include "commandline.h"
#include "csvexport.h"
#include "loghandler.h"
#include "mainwindow.h"
#include "shutdownsignals.h"

#include <QApplication>
#include <QDebug>
#include <QDir>
#include <QFile>
#include <QLibraryInfo>
#include <QTranslator>

#include <cstdio>

namespace {

// --lang en takes the translation built into the program, --lang zh none;
// otherwise ZelEnglish.qm in the data folder switches to English when present.
// The Chinese interface takes Qt's own Chinese texts (the file dialog, the
// standard buttons, the edit menus) from the system's Qt translations.
void LoadTranslation(QTranslator &translator, QTranslator &qtTranslator, const QString &language,
                     const QString &dataDir)
{
    if (language == QLatin1String("en") && translator.load(QStringLiteral(":/i18n/ZelEnglish.qm")))
        return;
    if (language.isEmpty() &&
        translator.load(QDir(dataDir.isEmpty() ? QStringLiteral(".") : dataDir)
                            .filePath(QStringLiteral("ZelEnglish.qm"))))
        return;
    const QString qtDir = QLibraryInfo::location(QLibraryInfo::TranslationsPath);
    if (!qtTranslator.load(QStringLiteral("qtbase_zh_CN"), qtDir))
        qWarning() << "Qt's Chinese translation not found in" << qtDir;
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

} // namespace

// The English translation is compiled into the program; it lives in a static
// library, so it is registered by hand (never inside a namespace).
static void InitTranslation()
{
    Q_INIT_RESOURCE(translation);
}

int main(int argc, char *argv[])
{
    qInstallMessageHandler(LogHandler::MessageHandler);
    // log.txt belongs in the data folder, which the command line names.
    LogHandler::Defer(true);
    // The platform is chosen before the application exists: the usage and a
    // headless station must work where there is no screen.
    if (!CommandLine::WantsScreen(argc, argv))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("radarflow"));
    QCoreApplication::setApplicationVersion(QStringLiteral(RADARFLOW_VERSION));
    InitTranslation();

    // Read once untranslated to find the translation, then again so that the
    // usage is printed in the chosen language.
    const CommandLine untranslated(app.arguments());
    QTranslator translator;
    QTranslator qtTranslator;
    if (!untranslated.IsDone())
        LoadTranslation(translator, qtTranslator, untranslated.Language(), untranslated.DataDir());
    app.installTranslator(&qtTranslator);
    app.installTranslator(&translator);
    const CommandLine commandLine(app.arguments());
    if (commandLine.IsDone()) {
        LogHandler::DropDeferred();
        return commandLine.Finish();
    }
    if (commandLine.IsExport()) {
        LogHandler::DropDeferred();
        return ExportCsv(commandLine.ExportRun(), commandLine.ExportOut());
    }
    if (!EnterDataDir(commandLine.DataDir())) {
        LogHandler::DropDeferred();
        return CommandLine::UsageError;
    }
    const StationOptions &station = commandLine.Station();
    // A headless station keeps standard output for its event lines.
    LogHandler::SetEchoToStdout(!station.isHeadless);
    LogHandler::Defer(false);

    MainWindow window;
    window.grabGesture(Qt::PanGesture);
    window.grabGesture(Qt::PinchGesture);
    // SIGTERM, SIGINT and SIGHUP end a running measurement as the operator's
    // stop would, so a station stopped by systemd loses nothing.
    ShutdownSignals shutdownSignals;
    QObject::connect(&shutdownSignals, &ShutdownSignals::received, &window,
                     &MainWindow::EndRunAndQuit);
    window.StartStation(station);
    if (!station.isHeadless)
        window.showMaximized();
    return app.exec();
}
