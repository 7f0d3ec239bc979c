#pragma once

#include <QByteArray>
#include <QList>

// Modbus TCP on the master's side of a gateway. The rest of the program
// speaks RTU; the framer turns each request frame into its MBAP form (the CRC
// gives way to a header whose unit identifier carries the slave address) and
// each answer back into the RTU frame the codec expects, CRC included. Only
// the answer to the request in flight gets through: one with another
// transaction, protocol or unit is dropped and logged.
class MbapFramer
{
public:
    static constexpr quint16 DefaultPort = 502;
    // Transaction, protocol, length, unit.
    static constexpr int HeaderLen = 7;

    // The MBAP form of an RTU request; each request, a resend too, takes the
    // next transaction identifier.
    QByteArray Wrap(const QByteArray &rtuFrame);

    // Takes received bytes; returns the RTU form of the answers they complete.
    QList<QByteArray> Feed(const QByteArray &bytes);

    // A new connection: nothing is in flight and nothing half received.
    void Reset();

private:
    QByteArray pending;
    quint16 usTransaction = 0;
    quint8 ucUnit = 0;
    bool isAwaiting = false;
};
