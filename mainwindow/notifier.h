#pragma once

#include <QString>

class QMainWindow;

// Where the window's warnings and questions go. An operator at the screen gets
// boxes; an unattended station must never stop behind a modal box, so there a
// warning goes to the status bar and the log (and to standard error when no
// screen exists at all), and a question takes its safe answer, No.
class Notifier
{
public:
    explicit Notifier(QMainWindow *window);

    // No screen at all: no box, warnings also on standard error, station
    // events as lines on standard output.
    void SetHeadless(bool isOn) { isHeadless = isOn; }
    bool IsHeadless() const { return isHeadless; }
    // Nobody is expected to answer a box (the link is kept alive by itself).
    void SetUnattended(bool isOn) { isUnattended = isOn; }
    bool IsUnattended() const { return isUnattended || isHeadless; }

    // The warning box, title "警告" and one OK button, or its unattended form;
    // the log has it either way.
    void Warn(const QString &text);
    // A Yes/No question; true only for Yes.
    bool Ask(const QString &title, const QString &text);
    // A warning when nobody is left to read a box (the program is ending):
    // the log, and standard error when headless.
    void WarnUnseen(const QString &text);
    // The end of a fault told by Warn: the log, and standard error when
    // headless, so that the warning there is not the last word.
    void Resolve(const QString &text);
    // An event of the station (a run saved, the link lost or back): one log
    // line, and one line on standard output when headless.
    void Tell(const QString &text);

private:
    QMainWindow *window;
    bool isHeadless = false;
    bool isUnattended = false;
};
