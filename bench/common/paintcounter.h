#pragma once

#include <QEvent>
#include <QObject>

// Counts the paints of the widgets it filters, to show that frames were
// really drawn while a benchmark measured them.
class PaintCounter : public QObject
{
public:
    int paints = 0;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Paint)
            ++paints;
        return QObject::eventFilter(watched, event);
    }
};
