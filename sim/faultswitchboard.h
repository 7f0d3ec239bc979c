#pragma once

#include <QByteArray>
#include <QMap>
#include <QString>
#include <QStringList>

// The faults a test can switch on, alone or together. A fault that keeps the
// answer back (silence, an injected exception) loses the request, so the
// request has no effect; the faults that spoil the answer (CRC, stray bytes,
// split, missing spectrum) leave the request carried out.
class FaultSwitchboard
{
public:
    // One command, as given on the control channel:
    //   silent-next N | silent-function FC|off | bad-crc on|off |
    //   split-ms MS (0 off) | exception FC:CODE[@START] | exception FC:off |
    //   exception off | stray HEX|off | no-spectrum on|off |
    //   segments N:MS|off | bad-tid on|off | clear
    // Returns false and a reason for anything else.
    bool apply(const QString &command, QString *error);

    void clear();

    // True when the request with this function code is to go unanswered;
    // counts down a pending silent-next.
    bool swallow(quint8 ucFunction);

    // Exception code forced on this function code for a request starting at
    // usStart, 0 when none.
    quint8 exceptionFor(quint8 ucFunction, quint16 usStart) const;

    bool dropsSpectrum() const { return isNoSpectrum; }

    // The answer as it goes on the line: CRC damaged, stray bytes in front.
    QByteArray spoil(const QByteArray &answer) const;

    int splitMs() const { return iSplitMs; }
    // Over TCP: the answer in this many segments, this far apart (1 and 0
    // when off; split-ms gives two).
    int segments() const { return iSegments > 1 ? iSegments : iSplitMs > 0 ? 2 : 1; }
    int segmentPauseMs() const { return iSegments > 1 ? iSegmentMs : iSplitMs; }
    // A Modbus TCP answer carries the transaction after the request's.
    bool isBadTransaction() const { return isBadTid; }

    // The faults in force, each as the command that switched it on.
    QStringList active() const;

private:
    int iSilentNext = 0;
    int iSilentFunction = -1;
    bool isBadCrc = false;
    int iSplitMs = 0;
    struct Refusal
    {
        quint8 ucCode;
        int iStart; // -1: any request of the function
    };
    QMap<quint8, Refusal> exceptions;
    QByteArray stray;
    bool isNoSpectrum = false;
    int iSegments = 1;
    int iSegmentMs = 0;
    bool isBadTid = false;
};
