#include "mainwindow.h"

#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QRegularExpression>
#include <QTabWidget>
#include <QTableView>
#include <QTranslator>
#include <QXmlStreamReader>
#include <QtTest>

namespace {

// A widget the form no longer has reads as this, not as a crash.
const QString missing = QStringLiteral("<missing>");

template <typename Widget> QString TextOf(const MainWindow &window, const char *name)
{
    const auto *widget = window.findChild<Widget *>(QLatin1String(name));
    return widget ? widget->text() : missing;
}

QString TabCaptions(const MainWindow &window, const char *name)
{
    const auto *tabs = window.findChild<QTabWidget *>(QLatin1String(name));
    if (!tabs)
        return missing;
    QStringList captions;
    for (int i = 0; i < tabs->count(); ++i)
        captions << tabs->tabText(i);
    return captions.join(QLatin1Char('|'));
}

// What the operator reads first in each corner of the window, keyed by where it
// shows. Texts from the form, from the code's tr() and from the marked tables
// (channel-shape labels, history headers) all take part.
QHash<QString, QString> WindowTexts()
{
    MainWindow window;
    QHash<QString, QString> texts;
    texts.insert(QStringLiteral("title"), window.windowTitle());
    for (const char *name : {"pushButtonUartConnect", "pushButtonAutoRun70", "pushButtonReadAll"})
        texts.insert(QLatin1String(name), TextOf<QPushButton>(window, name));
    for (const char *name : {"labelKongGaoCaption", "labelDischargeCaption", "label_radius"})
        texts.insert(QLatin1String(name), TextOf<QLabel>(window, name));
    for (const char *name : {"tabWidget", "tabWidget_2", "tabWidget_3"})
        texts.insert(QLatin1String(name), TabCaptions(window, name));
    if (const auto *addresses = window.findChild<QComboBox *>(QStringLiteral("comboBoxDevAddr")))
        texts.insert(QStringLiteral("comboBoxDevAddr"),
                     addresses->itemText(addresses->count() - 1));
    if (const auto *history = window.findChild<QTableView *>(QStringLiteral("historyTable")))
        texts.insert(QStringLiteral("historyTable"),
                     history->model()->headerData(1, Qt::Horizontal).toString());
    return texts;
}

struct Message
{
    QString context;
    QString source;
    QString translation;
    bool isFinished = true;
};

QList<Message> TsMessages(const QString &path)
{
    QList<Message> messages;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return messages;
    QXmlStreamReader xml(&file);
    QString context;
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement)
            continue;
        if (xml.name() == QLatin1String("name")) {
            context = xml.readElementText();
        } else if (xml.name() == QLatin1String("message")) {
            messages.append({context, {}, {}, true});
        } else if (xml.name() == QLatin1String("source")) {
            messages.last().source = xml.readElementText();
        } else if (xml.name() == QLatin1String("translation")) {
            messages.last().isFinished = xml.attributes().value(QLatin1String("type")).isEmpty();
            messages.last().translation = xml.readElementText();
        }
    }
    return xml.hasError() ? QList<Message>() : messages;
}

QStringList Placeholders(const QString &text)
{
    static const QRegularExpression placeholder(QStringLiteral("%\\d"));
    QStringList found;
    for (auto it = placeholder.globalMatch(text); it.hasNext();)
        found << it.next().captured();
    found.sort();
    return found;
}

} // namespace

class tst_Translation : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void windowTexts_data();
    void windowTexts();
    void everyMessageTranslated();
    void translationsKeepMarkup();

private:
    QHash<QString, QString> chinese;
    QHash<QString, QString> english;
};

void tst_Translation::initTestCase()
{
    // No ports of the test machine in the list; nothing is opened.
    qunsetenv("RADARFLOW_PORTS");
    chinese = WindowTexts();

    QTranslator translator;
    QVERIFY2(translator.load(QStringLiteral(RADARFLOW_QM_FILE)), RADARFLOW_QM_FILE);
    QVERIFY(QCoreApplication::installTranslator(&translator));
    english = WindowTexts();
    QCoreApplication::removeTranslator(&translator);
}

void tst_Translation::windowTexts_data()
{
    QTest::addColumn<QString>("where");
    QTest::addColumn<QString>("zh");
    QTest::addColumn<QString>("en");
    QTest::newRow("window title") << "title"
                                  << "雷达波流速水位流量测量系统"
                                  << "Radar Velocity, Level and Flow Measurement System";
    QTest::newRow("port button") << "pushButtonUartConnect"
                                 << "打开串口"
                                 << "Open Port";
    QTest::newRow("run button") << "pushButtonAutoRun70"
                                << "开始测量"
                                << "Start";
    QTest::newRow("read-back button") << "pushButtonReadAll"
                                      << "读出所有设置"
                                      << "Read All Settings";
    QTest::newRow("air gap caption") << "labelKongGaoCaption"
                                     << "空高："
                                     << "Air gap:";
    QTest::newRow("discharge caption") << "labelDischargeCaption"
                                       << "累计流量："
                                       << "Total discharge:";
    QTest::newRow("shape label set by code") << "label_radius"
                                             << "圆形水渠半径R(m)"
                                             << "Radius R(m)";
    QTest::newRow("main tabs") << "tabWidget"
                               << "主菜单|参数设置|流速回波曲线|水位回波曲线|历史记录"
                               << "Main|Settings|Velocity Echo|Level Echo|History";
    QTest::newRow("measurement settings tabs") << "tabWidget_2"
                                               << "测量参数设置|高级设置"
                                               << "Measurement|Advanced";
    QTest::newRow("channel tabs") << "tabWidget_3"
                                  << "水渠参数设置|水渠特性设置"
                                  << "Channel Geometry|Channel Properties";
    QTest::newRow("address discovery choice") << "comboBoxDevAddr"
                                              << "查地址"
                                              << "Find address";
    QTest::newRow("history header") << "historyTable"
                                    << "测量开始时间"
                                    << "Start time";
}

void tst_Translation::windowTexts()
{
    QFETCH(QString, where);
    QFETCH(QString, zh);
    QFETCH(QString, en);
    QCOMPARE(chinese.value(where), zh);
    QCOMPARE(english.value(where), en);
}

void tst_Translation::everyMessageTranslated()
{
    const QList<Message> messages = TsMessages(QStringLiteral(RADARFLOW_TS_FILE));
    QVERIFY(messages.size() > 100);
    for (const Message &message : messages) {
        const QString what = message.context + QLatin1Char('/') + message.source;
        QVERIFY2(message.isFinished, qPrintable(what));
        QVERIFY2(!message.translation.isEmpty(), qPrintable(what));
        // A translation that still holds Chinese was left half done.
        static const QRegularExpression han(QStringLiteral("\\p{Han}"));
        QVERIFY2(!message.translation.contains(han), qPrintable(what));
    }
}

// arg() fills %1, %2 by number, rich text needs its tags and the chart bubbles
// their line breaks: a translation must keep all three.
void tst_Translation::translationsKeepMarkup()
{
    static const QRegularExpression tag(QStringLiteral("<[^>]*>"));
    for (const Message &message : TsMessages(QStringLiteral(RADARFLOW_TS_FILE))) {
        const QString what = message.context + QLatin1Char('/') + message.source;
        QVERIFY2(Placeholders(message.translation) == Placeholders(message.source),
                 qPrintable(what));
        QStringList sourceTags;
        QStringList translationTags;
        for (auto it = tag.globalMatch(message.source); it.hasNext();)
            sourceTags << it.next().captured();
        for (auto it = tag.globalMatch(message.translation); it.hasNext();)
            translationTags << it.next().captured();
        QVERIFY2(translationTags == sourceTags, qPrintable(what));
        QVERIFY2(message.translation.count(QLatin1Char('\n')) ==
                     message.source.count(QLatin1Char('\n')),
                 qPrintable(what));
    }
}

QTEST_MAIN(tst_Translation)
#include "tst_translation.moc"
