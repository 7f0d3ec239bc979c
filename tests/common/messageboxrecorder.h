#pragma once

#include <QtTest>
#include <QtWidgets>

// Answers every message box the program shows while it lives, recording its
// title and text: a modal box would otherwise stop a headless test.
class MessageBoxRecorder : public QObject
{
    Q_OBJECT

public:
    struct Box
    {
        QString title, text;
    };

    explicit MessageBoxRecorder(QMessageBox::StandardButton answer = QMessageBox::Ok)
        : answer(answer)
    {
        // A box shown by the static helpers runs its own event loop, in which
        // this timer keeps firing.
        connect(&poll, &QTimer::timeout, this, &MessageBoxRecorder::AnswerOpenBoxes);
        poll.start(10);
    }

    // The button the next boxes are answered with.
    void setAnswer(QMessageBox::StandardButton button) { answer = button; }
    // Waits until at least count boxes have been answered.
    bool waitForBoxes(int count, int timeoutMs = 5000)
    {
        return QTest::qWaitFor([&] { return seen.size() >= count; }, timeoutMs);
    }

    const QList<Box> &boxes() const { return seen; }
    QString lastText() const { return seen.isEmpty() ? QString() : seen.last().text; }
    void clear() { seen.clear(); }

private:
    void AnswerOpenBoxes()
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

    QMessageBox::StandardButton answer;
    QList<Box> seen;
    QList<QPointer<QMessageBox>> answered;
    QTimer poll;
};
