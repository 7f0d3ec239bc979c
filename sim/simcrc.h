#pragma once

#include <QByteArray>

// CRC-16/MODBUS as the instrument computes it: a plain shift register, no
// tables, so that it stays independent of the client's implementation.
namespace SimCrc {

quint16 of(const QByteArray &bytes);

// The frame with its CRC appended, low byte first.
QByteArray appended(const QByteArray &body);

// An intact frame run through the CRC together with its CRC bytes leaves 0.
bool isIntact(const QByteArray &frame);

} // namespace SimCrc
