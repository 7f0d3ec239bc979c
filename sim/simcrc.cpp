#include "simcrc.h"

namespace SimCrc {

quint16 of(const QByteArray &bytes)
{
    quint16 crc = 0xFFFF;
    for (const char byte : bytes) {
        crc ^= quint8(byte);
        for (int bit = 0; bit < 8; ++bit) {
            const bool isCarry = crc & 1;
            crc >>= 1;
            if (isCarry)
                crc ^= 0xA001;
        }
    }
    return crc;
}

QByteArray appended(const QByteArray &body)
{
    const quint16 crc = of(body);
    return body + char(crc & 0xFF) + char(crc >> 8);
}

bool isIntact(const QByteArray &frame)
{
    return frame.size() >= 4 && of(frame) == 0;
}

} // namespace SimCrc
