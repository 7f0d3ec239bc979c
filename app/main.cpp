#include "loghandler.h"

#include <QApplication>
#include <QMainWindow>
#include <QTranslator>

int main(int argc, char *argv[])
{
    qInstallMessageHandler(LogHandler::MessageHandler);
    QApplication app(argc, argv);

    // Without the file the Chinese source texts stay.
    QTranslator translator;
    translator.load(QStringLiteral("./ZelEnglish.qm"));
    app.installTranslator(&translator);

    QMainWindow window;
    window.setWindowTitle(QStringLiteral("雷达波流速水位流量测量系统"));
    window.resize(1263, 779);
    window.grabGesture(Qt::PanGesture);
    window.grabGesture(Qt::PinchGesture);
    window.showMaximized();
    return app.exec();
}
