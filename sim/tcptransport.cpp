#include "tcptransport.h"

#include "simcrc.h"

namespace {

constexpr int MbapHeaderLen = 7;
// A network may pause inside a request far longer than a line does; a
// request whose length is known is cut by it, this only ends the rest.
constexpr int RtuSilenceMs = 100;

quint16 wordAt(const QByteArray &bytes, int i)
{
    return quint16(quint8(bytes.at(i)) << 8 | quint8(bytes.at(i + 1)));
}

void appendWord(QByteArray *ptBytes, quint16 usWord)
{
    ptBytes->append(char(usWord >> 8));
    ptBytes->append(char(usWord & 0xFF));
}

} // namespace

TcpTransport::TcpTransport(Framing framing, QObject *parent) : QObject(parent), framing(framing)
{
    silenceTimer.setSingleShot(true);
    silenceTimer.setInterval(RtuSilenceMs);
    connect(&silenceTimer, &QTimer::timeout, this, &TcpTransport::flushRtu);
    connect(&server, &QTcpServer::newConnection, this, &TcpTransport::accept);
}

bool TcpTransport::listen(quint16 usWanted, QString *error)
{
    if (!server.listen(QHostAddress::LocalHost, usWanted)) {
        *error = QString("listen on 127.0.0.1:%1: %2").arg(usWanted).arg(server.errorString());
        return false;
    }
    usPort = server.serverPort();
    return true;
}

QString TcpTransport::portName() const
{
    return QString("%1://127.0.0.1:%2").arg(isMbap() ? "modbus-tcp" : "tcp").arg(usPort);
}

bool TcpTransport::setListening(bool isOn, QString *error)
{
    if (!isOn) {
        server.close();
        hangUp();
        return true;
    }
    return server.isListening() || listen(usPort, error);
}

void TcpTransport::hangUp()
{
    if (client)
        client->close();
}

void TcpTransport::accept()
{
    while (QTcpSocket *next = server.nextPendingConnection()) {
        if (client)
            client->close();
        client = next;
        connect(next, &QTcpSocket::disconnected, next, &QObject::deleteLater);
        connect(next, &QTcpSocket::readyRead, this, &TcpTransport::read);
        next->setSocketOption(QAbstractSocket::LowDelayOption, 1);
        cutter.flush();
        pending.clear();
    }
}

void TcpTransport::read()
{
    auto *socket = qobject_cast<QTcpSocket *>(sender());
    if (socket != client)
        return;
    const QByteArray bytes = socket->readAll();
    if (framing == Framing::Rtu) {
        silenceTimer.start();
        for (const QByteArray &rtu : cutter.feed(bytes))
            emit frame(rtu, rtu);
        return;
    }
    pending += bytes;
    while (pending.size() >= MbapHeaderLen) {
        // A header without unit and function leaves nothing to resynchronise on.
        if (wordAt(pending, 4) < 2) {
            pending.clear();
            break;
        }
        const int iLen = MbapHeaderLen - 1 + wordAt(pending, 4);
        if (pending.size() < iLen)
            break;
        const QByteArray wire = pending.left(iLen);
        pending.remove(0, iLen);
        usTransaction = wordAt(wire, 0);
        ucUnit = quint8(wire.at(MbapHeaderLen - 1));
        // The gateway puts the request on the line with the unit as address.
        emit frame(SimCrc::appended(wire.mid(MbapHeaderLen - 1)), wire);
    }
}

void TcpTransport::flushRtu()
{
    const QByteArray rest = cutter.flush();
    if (!rest.isEmpty())
        emit frame(rest, rest);
}

QByteArray TcpTransport::mbapAnswer(const QByteArray &rtuAnswer, int iTransactionOffset) const
{
    if (rtuAnswer.size() < 4)
        return QByteArray();
    const QByteArray pdu = rtuAnswer.mid(1, rtuAnswer.size() - 3);
    QByteArray wire;
    appendWord(&wire, quint16(usTransaction + iTransactionOffset));
    appendWord(&wire, 0);
    appendWord(&wire, quint16(pdu.size() + 1));
    wire.append(char(ucUnit));
    return wire + pdu;
}

void TcpTransport::send(const QByteArray &bytes, int iDelayMs, int iPieces, int iPauseMs)
{
    if (bytes.isEmpty() || !client)
        return;
    const int iCount = qBound(1, iPieces, bytes.size());
    const int iSize = (bytes.size() + iCount - 1) / iCount;
    for (int i = 0; i * iSize < bytes.size(); ++i) {
        const QByteArray piece = bytes.mid(i * iSize, iSize);
        QPointer<QTcpSocket> target = client;
        const auto write = [target, piece] {
            if (target) {
                target->write(piece);
                target->flush();
            }
        };
        const int iAtMs = iDelayMs + i * iPauseMs;
        if (iAtMs == 0)
            write();
        else
            QTimer::singleShot(iAtMs, Qt::PreciseTimer, client, write);
    }
}
