#pragma once

#include <QByteArray>

// Modbus RTU frames as the wire shows them, for tests. The CRC here is the
// textbook bit loop, independent of both the program's and the simulator's.
namespace Wire {

// "80 03 00 24" to bytes; spaces are ignored.
inline QByteArray hex(const char *text)
{
    return QByteArray::fromHex(QByteArray(text).replace(' ', ""));
}

// The frame with its CRC-16/MODBUS appended, low byte first.
inline QByteArray withCrc(const QByteArray &body)
{
    quint16 crc = 0xFFFF;
    for (const char byte : body) {
        crc ^= quint8(byte);
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 1) ? quint16((crc >> 1) ^ 0xA001) : quint16(crc >> 1);
    }
    return body + char(crc & 0xFF) + char(crc >> 8);
}

} // namespace Wire
