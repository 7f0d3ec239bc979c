#include "mbapframer.h"

#include "modbus.h"

#include <QDebug>

namespace {

// Function code and at most 252 data bytes follow the unit identifier.
constexpr int MaxPduLen = 253;
constexpr int CrcLen = 2;

quint16 WordAt(const QByteArray &bytes, int i)
{
    return quint16(quint8(bytes.at(i)) << 8 | quint8(bytes.at(i + 1)));
}

void AppendWord(QByteArray *ptBytes, quint16 usWord)
{
    ptBytes->append(char(usWord >> 8));
    ptBytes->append(char(usWord & 0xFF));
}

} // namespace

QByteArray MbapFramer::Wrap(const QByteArray &rtuFrame)
{
    if (rtuFrame.size() < 2 + CrcLen)
        return QByteArray();
    const QByteArray unitAndPdu = rtuFrame.left(rtuFrame.size() - CrcLen);
    // The identifier wraps from 0xFFFF to 1: 0 is taken by many gateways
    // for "not set".
    usTransaction = usTransaction == 0xFFFF ? 1 : usTransaction + 1;
    ucUnit = quint8(rtuFrame.at(0));
    isAwaiting = true;
    QByteArray mbap;
    AppendWord(&mbap, usTransaction);
    AppendWord(&mbap, 0);
    AppendWord(&mbap, quint16(unitAndPdu.size()));
    return mbap + unitAndPdu;
}

QList<QByteArray> MbapFramer::Feed(const QByteArray &bytes)
{
    pending += bytes;
    QList<QByteArray> answers;
    while (pending.size() >= HeaderLen) {
        const quint16 usLength = WordAt(pending, 4);
        // Unit and function at least: anything else means the stream is lost
        // and no later header can be found in it.
        if (usLength < 2 || usLength > MaxPduLen + 1) {
            qWarning() << "MBAP stream unreadable, dropped:" << pending.toHex(' ');
            pending.clear();
            break;
        }
        const int iFrameLen = HeaderLen - 1 + usLength;
        if (pending.size() < iFrameLen)
            break;
        const QByteArray frame = pending.left(iFrameLen);
        pending.remove(0, iFrameLen);
        const quint16 usId = WordAt(frame, 0);
        const quint16 usProtocol = WordAt(frame, 2);
        const quint8 ucAnswerUnit = quint8(frame.at(HeaderLen - 1));
        // The address query goes to unit 0xFF; a gateway may answer it with the
        // instrument's own address.
        const bool isUnitOk = ucAnswerUnit == ucUnit || ucUnit == Modbus::DiscoveryAddr;
        if (!isAwaiting || usId != usTransaction || usProtocol != 0 || !isUnitOk) {
            qWarning() << "MBAP answer dropped: transaction" << usId << "protocol" << usProtocol
                       << "unit" << ucAnswerUnit << "while awaiting transaction" << usTransaction
                       << "unit" << ucUnit << ":" << frame.toHex(' ');
            continue;
        }
        isAwaiting = false;
        QByteArray rtu = frame.mid(HeaderLen - 1);
        const u16 usCrc = Modbus::MBCRC16(rtu);
        rtu.append(char(usCrc & 0xFF));
        rtu.append(char(usCrc >> 8));
        answers << rtu;
    }
    return answers;
}

void MbapFramer::Reset()
{
    pending.clear();
    isAwaiting = false;
}
