#include "windowbench.h"

#include <QtTest>
#include <QtWidgets>

WindowBench::WindowBench(const QStringList &simArgs)
    : sim(QStringList{"--baud", "0", "--reply-delay", "0"} + simArgs)
{
    qputenv("RADARFLOW_PORTS", sim.linkPath().toLocal8Bit());
    window = std::make_unique<MainWindow>();
    window->show();
}

bool WindowBench::click(const QString &name)
{
    auto *button = find<QAbstractButton>(name);
    if (!button)
        return false;
    for (QWidget *page = button; page->parentWidget(); page = page->parentWidget()) {
        if (auto *tabs = qobject_cast<QTabWidget *>(page->parentWidget()->parentWidget()))
            tabs->setCurrentWidget(page);
    }
    if (!button->isVisible() || !button->isEnabled())
        return false;
    QTest::mouseClick(button, Qt::LeftButton);
    return true;
}

bool WindowBench::enter(const QString &inputs)
{
    for (const QString &input : inputs.split(' ', Qt::SkipEmptyParts)) {
        const QString name = input.section('=', 0, 0), text = input.section('=', 1);
        if (auto *box = find<QComboBox>(name))
            box->setCurrentIndex(text.toInt());
        else if (auto *edit = find<QLineEdit>(name))
            edit->setText(text);
        else if (!click(name))
            return false;
    }
    return true;
}

bool WindowBench::openPort()
{
    auto *ports = find<QComboBox>("comboBoxPort");
    ports->setCurrentIndex(ports->findText(sim.linkPath()));
    return ports->currentIndex() >= 0 && click("pushButtonUartConnect") && isPortOpen();
}

bool WindowBench::isPortOpen() const
{
    return find<QPushButton>("pushButtonUartConnect")->text() == QStringLiteral("关闭串口");
}

bool WindowBench::settle(int count, int timeoutMs)
{
    if (!sim.waitForEntries(count, timeoutMs))
        return false;
    QTest::qWait(300);
    return sim.entries().size() == count;
}

QString WindowBench::shown(const QString &names) const
{
    QStringList texts;
    for (const QString &name : names.split(' ')) {
        if (auto *box = find<QComboBox>(name))
            texts << box->currentText();
        else if (auto *label = find<QLabel>(name))
            texts << QTextDocumentFragment::fromHtml(label->text()).toPlainText();
        else
            texts << find<QLineEdit>(name)->text();
    }
    return texts.join('|');
}

QList<QJsonObject> WindowBench::requests(int function) const
{
    QList<QJsonObject> list;
    for (const QJsonObject &entry : sim.entries()) {
        if (entry.value("request").toObject().value("function").toInt() == function)
            list << entry;
    }
    return list;
}
