#include "messageboxrecorder.h"

#include <QtTest>

MessageBoxRecorder::MessageBoxRecorder(QMessageBox::StandardButton answer, QObject *parent)
    : QObject(parent), answer(answer)
{
    // A box shown by the static helpers runs its own event loop, in which
    // this timer keeps firing.
    connect(&poll, &QTimer::timeout, this, &MessageBoxRecorder::AnswerOpenBoxes);
    poll.start(10);
}

bool MessageBoxRecorder::waitForBoxes(int count, int timeoutMs)
{
    return QTest::qWaitFor([&] { return seen.size() >= count; }, timeoutMs);
}

void MessageBoxRecorder::AnswerOpenBoxes()
{
    for (QWidget *widget : QApplication::topLevelWidgets()) {
        auto *box = qobject_cast<QMessageBox *>(widget);
        if (!box || !box->isVisible() || answered.contains(box))
            continue;
        answered.append(box);
        seen.append({box->windowTitle(), box->text()});
        QAbstractButton *button = box->button(answer);
        if (!button)
            button = box->buttons().value(0);
        if (button)
            button->click();
        else
            box->done(0);
    }
}
