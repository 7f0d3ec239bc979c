#include "registerconvert.h"

#include <cmath>

namespace RegisterConvert {

namespace {

// trunc(t x scale + 0.5) in 64 bits, or false for text that is not a number.
// *isNegative tells a t below 0 that the rounding made 0 (-0.01 x 100 + 0.5).
bool ScaledInteger(const QString &text, int scale, qint64 *out, bool *isNegative = nullptr)
{
    bool ok = false;
    const double t = text.trimmed().toDouble(&ok);
    if (!ok || !std::isfinite(t))
        return false;
    if (isNegative)
        *isNegative = t < 0;
    const double scaled = std::trunc(t * scale + 0.5);
    if (std::fabs(scaled) > 9.0e15)
        return false;
    *out = qint64(scaled);
    return true;
}

} // namespace

u16 FixedPointFromText(const QString &text, int scale)
{
    qint64 v = 0;
    if (!ScaledInteger(text, scale, &v))
        return 0;
    return u16(quint64(v) & 0xFFFF);
}

bool FixedPointChecked(const QString &text, int scale, u16 *out)
{
    qint64 v = 0;
    bool isNegative = false;
    if (!ScaledInteger(text, scale, &v, &isNegative) || isNegative || v > 0xFFFF)
        return false;
    *out = u16(v);
    return true;
}

bool IntegerChecked(const QString &text, u16 *out)
{
    bool ok = false;
    const uint v = text.trimmed().toUInt(&ok);
    if (!ok || v > 0xFFFF)
        return false;
    *out = u16(v);
    return true;
}

bool FixedPoint32Checked(const QString &text, int scale, quint32 *out)
{
    qint64 v = 0;
    bool isNegative = false;
    if (!ScaledInteger(text, scale, &v, &isNegative) || isNegative || v > qint64(0xFFFFFFFFu))
        return false;
    *out = quint32(v);
    return true;
}

QByteArray U32ToBytes(quint32 value)
{
    QByteArray bytes;
    bytes.append(char(value >> 24));
    bytes.append(char((value >> 16) & 0xFF));
    bytes.append(char((value >> 8) & 0xFF));
    bytes.append(char(value & 0xFF));
    return bytes;
}

QByteArray U16ToBytes(u16 value)
{
    QByteArray bytes;
    bytes.append(char(value >> 8));
    bytes.append(char(value & 0xFF));
    return bytes;
}

} // namespace RegisterConvert
