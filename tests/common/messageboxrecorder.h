#pragma once

#include <QtWidgets>

// Answers every message box the program shows while it lives, recording its
// title and text: a modal box would otherwise stop a headless test.
class MessageBoxRecorder : public QObject
{
    Q_OBJECT

public:
    struct Box
    {
        QString title;
        QString text;
    };

    explicit MessageBoxRecorder(QMessageBox::StandardButton answer = QMessageBox::Ok,
                                QObject *parent = nullptr);

    // The button the next boxes are answered with.
    void setAnswer(QMessageBox::StandardButton button) { answer = button; }
    // Waits until at least count boxes have been answered.
    bool waitForBoxes(int count, int timeoutMs = 5000);

    const QList<Box> &boxes() const { return seen; }
    QString lastText() const { return seen.isEmpty() ? QString() : seen.last().text; }
    void clear() { seen.clear(); }

private:
    void AnswerOpenBoxes();

    QMessageBox::StandardButton answer;
    QList<Box> seen;
    QList<QPointer<QMessageBox>> answered;
    QTimer poll;
};
