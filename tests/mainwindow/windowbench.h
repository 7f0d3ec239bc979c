#pragma once

#include "mainwindow.h"
#include "messageboxrecorder.h"
#include "simprocess.h"

#include <QtTest>
#include <QtWidgets>

#include <memory>

// A main window talking to a simulated instrument of its own, driven as the
// operator would: by object names, clicks and typed text.
class WindowBench
{
public:
    // simArgs follow "--baud 0 --reply-delay 0" and may override them.
    explicit WindowBench(const QStringList &simArgs = {})
        : sim(QStringList{"--baud", "0", "--reply-delay", "0"} + simArgs)
    {
        qputenv("RADARFLOW_PORTS", sim.linkPath().toLocal8Bit());
        // The window remembers the operator's choices; a test's stay out of
        // the user's own settings, for the life of the process.
        static QTemporaryDir config;
        qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
        window = std::make_unique<MainWindow>();
        window->show();
    }

    template <class T> T *find(const QString &name) const { return window->findChild<T *>(name); }

    // Brings the button's page forward and clicks it; false if the operator
    // could not have clicked it.
    bool click(const QString &name)
    {
        auto *button = find<QAbstractButton>(name);
        if (!button)
            return false;
        for (QWidget *page = button; page->parentWidget(); page = page->parentWidget())
            if (auto *tabs = qobject_cast<QTabWidget *>(page->parentWidget()->parentWidget()))
                tabs->setCurrentWidget(page);
        if (!button->isVisible() || !button->isEnabled())
            return false;
        QTest::mouseClick(button, Qt::LeftButton);
        return true;
    }

    // "field=text" (a combo box takes the index) and buttons to click,
    // separated by spaces; false at the first the operator could not use.
    bool enter(const QString &inputs)
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

    // Selects the simulator's port, or types the name given, and clicks the
    // connect button.
    bool openPort(const QString &name = {})
    {
        auto *ports = find<QComboBox>("comboBoxPort");
        ports->setCurrentIndex(ports->findText(sim.linkPath()));
        if (!name.isEmpty())
            ports->setEditText(name);
        return !ports->currentText().isEmpty() && click("pushButtonUartConnect") && isPortOpen();
    }
    bool isPortOpen() const
    {
        return find<QPushButton>("pushButtonUartConnect")->text() == QStringLiteral("关闭串口");
    }

    // Waits for count frames in the journal, then lets the last answer
    // reach the window.
    bool settle(int count, int timeoutMs = 10000)
    {
        if (!sim.waitForEntries(count, timeoutMs))
            return false;
        QTest::qWait(300);
        return sim.entries().size() == count;
    }

    // The last box's title and text, or else the status bar.
    QString told() const
    {
        const auto &all = boxes.boxes();
        return all.isEmpty() ? find<QStatusBar>("statusBar")->currentMessage()
                             : all.last().title + '/' + all.last().text;
    }
    // The texts of the named labels, fields and combo boxes, separated by
    // spaces, as the operator reads them, joined by "|".
    QString shown(const QString &names) const
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

    // Journal entries of one function code.
    QList<QJsonObject> requests(int function) const
    {
        QList<QJsonObject> list;
        for (const QJsonObject &entry : sim.entries())
            if (entry.value("request").toObject().value("function").toInt() == function)
                list << entry;
        return list;
    }

    SimProcess sim;
    MessageBoxRecorder boxes;
    // Last, so that it goes first, while the simulator still serves its port.
    std::unique_ptr<MainWindow> window;
};
