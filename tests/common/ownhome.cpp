// Built into every test and benchmark program: before the first test runs,
// the program's home, settings, data and cache folders move into a temporary
// folder of its own, and the programs it starts (radarflow, radarflow-sim)
// inherit them. The remembered port of a test's pseudo-terminal never reaches
// the operator's ~/.config/radarflow/radarflow.conf.
#include "ownhome.h"

#include <QCoreApplication>
#include <QDir>
#include <QStandardPaths>
#include <QTemporaryDir>

namespace {

QString userHome;

void UseOwnHome()
{
    userHome = QDir::homePath();
    static QTemporaryDir home;
    if (!home.isValid())
        qFatal("no temporary home: %s", qPrintable(home.errorString()));
    qputenv("HOME", QFile::encodeName(home.path()));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(home.filePath(".config")));
    qputenv("XDG_DATA_HOME", QFile::encodeName(home.filePath(".local/share")));
    qputenv("XDG_CACHE_HOME", QFile::encodeName(home.filePath(".cache")));
    // QSettings follows the test mode on Linux; within the new home as well.
    QStandardPaths::setTestModeEnabled(true);
}

} // namespace

Q_COREAPP_STARTUP_FUNCTION(UseOwnHome)

QString UserHome()
{
    return userHome;
}
