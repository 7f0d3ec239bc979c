#include "loghandler.h"
#include "mainwindow.h"

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
    return app.exec();
}
