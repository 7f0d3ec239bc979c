#include "upperboundvalidator.h"

QValidator::State UpperBoundValidator::validate(QString &input, int &pos) const
{
    bool ok = false;
    const qlonglong value = input.trimmed().toLongLong(&ok);
    if (ok && value > top())
        return Invalid;
    return QIntValidator::validate(input, pos);
}
