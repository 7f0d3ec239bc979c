#include "framecutter.h"

int FrameCutter::impliedLength(const QByteArray &head)
{
    if (head.size() < 2)
        return 0;
    switch (quint8(head.at(1))) {
    case 0x01: // the read and single-write functions all carry two words
    case 0x02:
    case 0x03:
    case 0x04:
    case 0x05:
    case 0x06:
        return 8;
    case 0x0F: // address, function, start, count, byte count, data, CRC
    case 0x10:
        return head.size() < 7 ? 0 : 9 + quint8(head.at(6));
    default:
        return -1;
    }
}

QList<QByteArray> FrameCutter::feed(const QByteArray &bytes)
{
    pending += bytes;
    QList<QByteArray> frames;
    for (;;) {
        const int iLength = impliedLength(pending);
        if (iLength <= 0 || pending.size() < iLength)
            break;
        frames << pending.left(iLength);
        pending.remove(0, iLength);
    }
    return frames;
}

QByteArray FrameCutter::flush()
{
    QByteArray rest;
    rest.swap(pending);
    return rest;
}
