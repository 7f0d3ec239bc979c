#pragma once

#include <QIntValidator>

// An integer validator that refuses outright, while typing, any number above
// its top: QIntValidator still lets 65536 be typed as "intermediate".
class UpperBoundValidator : public QIntValidator
{
    Q_OBJECT

public:
    UpperBoundValidator(int bottom, int top, QObject *parent) : QIntValidator(bottom, top, parent)
    {
    }

    State validate(QString &input, int &pos) const override;
};
