#pragma once

#include <QByteArray>

// The length of an answer follows from the request it answers and from its
// own first bytes, so a master can close a frame the moment its last byte is
// in, instead of waiting for the line to fall quiet.
class ModbusAnswer
{
public:
    // Bytes the answer to request will have once complete, judged from the
    // bytes received so far; 0 while that cannot be told yet or when the
    // bytes do not start an answer to request. A spectrum request's answer
    // never has a length known in advance.
    static int ExpectedLength(const QByteArray &request, const QByteArray &received);

    // received can still grow into the answer to request: its address and
    // function fit, and it is shorter than the answer they announce.
    static bool IsPartial(const QByteArray &request, const QByteArray &received);

    // received is exactly one whole answer to request, its CRC intact.
    static bool IsComplete(const QByteArray &request, const QByteArray &received);
};
