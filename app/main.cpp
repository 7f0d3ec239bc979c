#include "csvexport.h"
#include "loghandler.h"
#include "mainwindow.h"

#include <QApplication>
#include <QFile>
#include <QTranslator>

#include <cstdio>

namespace {

// radarflow --export-csv RUN.xml [OUT.csv]: a station ships its runs to other
// systems by script, without a window; the CSV goes to standard output when
// no OUT is given.
int ExportCsv(const QStringList &arguments)
{
    if (arguments.isEmpty() || arguments.size() > 2) {
        std::fputs("usage: radarflow --export-csv RUN.xml [OUT.csv]\n", stderr);
        return 1;
    }
    CsvExport csv;
    QString reason;
    if (arguments.size() == 2) {
        if (!csv.ExportFile(arguments[0], arguments[1]))
            reason = csv.errorString();
    } else {
        QFile out;
        if (!out.open(stdout, QIODevice::WriteOnly) || !csv.Export(arguments[0], &out))
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

int main(int argc, char *argv[])
{
    if (argc > 1 && qstrcmp(argv[1], "--export-csv") == 0) {
        // Paths as the platform gave them, non-ASCII ones included.
        QCoreApplication app(argc, argv);
        return ExportCsv(app.arguments().mid(2));
    }

    qInstallMessageHandler(LogHandler::MessageHandler);
    QApplication app(argc, argv);

    // Without the file the Chinese source texts stay.
    QTranslator translator;
    translator.load(QStringLiteral("./ZelEnglish.qm"));
    app.installTranslator(&translator);

    MainWindow window;
    window.grabGesture(Qt::PanGesture);
    window.grabGesture(Qt::PinchGesture);
    window.showMaximized();
    return app.exec();
}
