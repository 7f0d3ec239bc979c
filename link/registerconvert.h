#pragma once

#include "u16.h"

#include <QByteArray>
#include <QString>

// Conversions between what the operator types or sees and the instrument's
// fixed-point registers (value x 100, or x 1000 for the 32-bit distance).
namespace RegisterConvert {

// The low 16 bits of trunc(t x scale + 0.5), where an unparsable text counts
// as 0: 0.29 gives 29, -0.5 gives 0xFFCF. This is the instrument's own
// convention; editors that must not wrap use FixedPointChecked instead.
u16 FixedPointFromText(const QString &text, int scale);

// Like FixedPointFromText, but false (and *out untouched) when the text is
// not a number, is negative (also -0.001, which rounds to 0) or its scaled
// value does not fit an unsigned register.
bool FixedPointChecked(const QString &text, int scale, u16 *out);

// The same for a plain integer register: false when the text is not a whole
// number from 0 to 65535.
bool IntegerChecked(const QString &text, u16 *out);

// A scaled 32-bit value (the distance in millimetres); false when negative or
// out of range.
bool FixedPoint32Checked(const QString &text, int scale, quint32 *out);

// Big-endian register bytes for a write of several registers.
QByteArray U32ToBytes(quint32 value);
QByteArray U16ToBytes(u16 value);

} // namespace RegisterConvert
