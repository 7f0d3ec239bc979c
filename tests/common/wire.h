#pragma once

#include <QByteArray>

// Modbus RTU frames as the wire shows them, for tests. The CRC here is the
// textbook bit loop, independent of both the program's and the simulator's.
namespace Wire {

// "80 03 00 24" to bytes; spaces are ignored.
QByteArray hex(const char *text);

// The frame with its CRC-16/MODBUS appended, low byte first.
QByteArray withCrc(const QByteArray &body);

// The CRC over the whole frame, its CRC bytes included, leaves 0.
bool isIntact(const QByteArray &frame);

} // namespace Wire
