#pragma once

#include "mainwindow.h"
#include "messageboxrecorder.h"
#include "simprocess.h"

#include <memory>

// A main window talking to a simulated instrument of its own, driven as the
// operator would: by object names, clicks and typed text.
class WindowBench
{
public:
    // simArgs follow "--baud 0 --reply-delay 0" and may override them.
    explicit WindowBench(const QStringList &simArgs = {});

    bool isReady() const { return sim.isReady(); }

    template <class T> T *find(const QString &name) const { return window->findChild<T *>(name); }

    // Brings the button's page forward and clicks it; false if the operator
    // could not have clicked it.
    bool click(const QString &name);

    // "field=text" (a combo box takes the index) and buttons to click,
    // separated by spaces; false at the first the operator could not use.
    bool enter(const QString &inputs);

    // Selects the simulator's port and clicks the connect button.
    bool openPort();
    bool isPortOpen() const;

    // Waits for count frames in the journal, then lets the last answer
    // reach the window.
    bool settle(int count, int timeoutMs = 10000);

    // The texts of the named labels, fields and combo boxes, separated by
    // spaces, as the operator reads them, joined by "|".
    QString shown(const QString &names) const;

    // Journal entries of one function code.
    QList<QJsonObject> requests(int function) const;

    SimProcess sim;
    MessageBoxRecorder boxes;
    // Last, so that it goes first, while the simulator still serves its port.
    std::unique_ptr<MainWindow> window;
};
