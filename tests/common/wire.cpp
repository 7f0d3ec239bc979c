#include "wire.h"

namespace {

quint16 crc16(const QByteArray &bytes)
{
    quint16 crc = 0xFFFF;
    for (const char byte : bytes) {
        crc ^= quint8(byte);
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 1) ? quint16((crc >> 1) ^ 0xA001) : quint16(crc >> 1);
    }
    return crc;
}

} // namespace

namespace Wire {

QByteArray hex(const char *text)
{
    return QByteArray::fromHex(QByteArray(text).replace(' ', ""));
}

QByteArray withCrc(const QByteArray &body)
{
    const quint16 crc = crc16(body);
    return body + char(crc & 0xFF) + char(crc >> 8);
}

bool isIntact(const QByteArray &frame)
{
    return frame.size() >= 4 && crc16(frame) == 0;
}

} // namespace Wire
