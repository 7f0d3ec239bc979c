#include "loghandler.h"
#include "mainwindow.h"
#include "shutdownsignals.h"

#include <QApplication>
#include <QTranslator>

int main(int argc, char *argv[])
{
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
    ShutdownSignals shutdownSignals;
    QObject::connect(&shutdownSignals, &ShutdownSignals::received, &window,
                     &MainWindow::EndRunAndQuit);
    return app.exec();
}
