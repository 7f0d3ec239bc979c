#pragma once

#include "stationoptions.h"

#include <QCoreApplication>
#include <QStringList>

// The program's command line. Read once before the application object
// exists (to choose the platform) and again with the translation loaded.
class CommandLine
{
    Q_DECLARE_TR_FUNCTIONS(CommandLine)

public:
    // Exit status of a wrong command line.
    static constexpr int UsageError = 2;

    explicit CommandLine(const QStringList &arguments);

    // Without a screen: printing the usage or the version, a wrong command
    // line and --headless all run on Qt's offscreen platform.
    static bool WantsScreen(int argc, char **argv);
    // Takes Qt's -platform NAME (or --platform NAME) out of argv: without a
    // screen the program runs offscreen whatever the command line asks.
    static void DropPlatform(int &argc, char **argv);

    // --help, --help-all, --version or a wrong command line: nothing else is
    // to be done but Finish(), which prints and gives the exit status.

    bool IsDone() const { return isHelp || isVersion || !error.isEmpty(); }
    int Finish() const;

    const StationOptions &Station() const { return station; }
    // Absolute, or empty for the working folder.
    QString DataDir() const { return dataDir; }
    // "", "zh" or "en".
    QString Language() const { return language; }

    // --export-csv RUN.xml [OUT.csv]: convert a run file and exit; an empty
    // ExportOut() means standard output.
    bool IsExport() const { return !exportRun.isEmpty(); }
    QString ExportRun() const { return exportRun; }
    QString ExportOut() const { return exportOut; }

private:
    void Refuse(const QString &text);

    StationOptions station;
    QString dataDir;
    QString language;
    QString exportRun;
    QString exportOut;
    bool isHelp = false;
    bool isVersion = false;
    QString error;
    QString usage;
};
