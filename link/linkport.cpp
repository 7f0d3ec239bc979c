#include "linkport.h"

#include <QDebug>
#include <QSerialPort>
#include <QTcpSocket>
#include <QUrl>

namespace {

const QString TcpScheme = QStringLiteral("tcp");
const QString ModbusTcpScheme = QStringLiteral("modbus-tcp");

bool IsSerialLost(QSerialPort::SerialPortError error)
{
    switch (error) {
    case QSerialPort::ResourceError:
    case QSerialPort::ReadError:
    case QSerialPort::WriteError:
    case QSerialPort::DeviceNotFoundError:
    case QSerialPort::PermissionError:
    case QSerialPort::UnknownError:
        return true;
    default:
        return false;
    }
}

} // namespace

LinkPort::LinkPort(QObject *parent) : QObject(parent) {}

LinkPort::~LinkPort()
{
    Close();
}

bool LinkPort::IsNetworkName(const QString &name)
{
    return name.startsWith(TcpScheme + QLatin1String("://"), Qt::CaseInsensitive) ||
           name.startsWith(ModbusTcpScheme + QLatin1String("://"), Qt::CaseInsensitive);
}

bool LinkPort::ParseNetworkName(const QString &name, Kind *ptKind, QString *ptHost, quint16 *ptPort)
{
    if (!IsNetworkName(name))
        return false;
    const QUrl url(name.trimmed(), QUrl::StrictMode);
    const bool isGateway = url.scheme().compare(ModbusTcpScheme, Qt::CaseInsensitive) == 0;
    const int iPort = url.port(isGateway ? MbapFramer::DefaultPort : -1);
    const QString path = url.path();
    if (!url.isValid() || url.host().isEmpty() || iPort < 1 || iPort > 0xFFFF ||
        !(path.isEmpty() || path == QLatin1String("/")) || url.hasQuery() ||
        !url.userInfo().isEmpty())
        return false;
    *ptKind = isGateway ? Kind::ModbusTcp : Kind::RtuOverTcp;
    *ptHost = url.host();
    *ptPort = quint16(iPort);
    return true;
}

bool LinkPort::Open(const QString &portName, QString *ptReason)
{
    Close();
    name = portName;
    isPermissionDenied = false;
    isLost = false;
    const bool isOk = IsNetworkName(name) ? OpenNetwork(ptReason) : OpenSerial(ptReason);
    if (!isOk) {
        Close();
        return false;
    }
    connect(ptDevice, &QIODevice::readyRead, this,
            kind == Kind::ModbusTcp ? &LinkPort::ReadGateway : &LinkPort::readyRead);
    isOpen = true;
    return true;
}

bool LinkPort::OpenSerial(QString *ptReason)
{
    kind = Kind::Serial;
    ptSerial = new QSerialPort(this);
    ptDevice = ptSerial;
    ptSerial->setPortName(name);
    if (!ptSerial->open(QIODevice::ReadWrite)) {
        isPermissionDenied = ptSerial->error() == QSerialPort::PermissionError;
        *ptReason = ptSerial->errorString();
        return false;
    }
    ptSerial->setBaudRate(QSerialPort::Baud9600);
    ptSerial->setParity(QSerialPort::NoParity);
    ptSerial->setDataBits(QSerialPort::Data8);
    ptSerial->setStopBits(QSerialPort::OneStop);
    ptSerial->setFlowControl(QSerialPort::NoFlowControl);
    // Bytes left on the line from before (an instrument restarted, a quick
    // reopen) would be taken for the first answer.
    ptSerial->clear(QSerialPort::Input);
    // A vanished adapter reports errors in a tight loop until the port is
    // closed; the first one is enough.
    connect(ptSerial, &QSerialPort::errorOccurred, this,
            [this](QSerialPort::SerialPortError error) {
                if (IsSerialLost(error))
                    ReportLost(ptSerial->errorString());
            });
    return true;
}

bool LinkPort::OpenNetwork(QString *ptReason)
{
    QString host;
    quint16 usPort = 0;
    if (!ParseNetworkName(name, &kind, &host, &usPort)) {
        *ptReason =
            QStringLiteral("not a network port: tcp://HOST:PORT or modbus-tcp://HOST[:PORT]");
        return false;
    }
    ptSocket = new QTcpSocket(this);
    ptDevice = ptSocket;
    framer.Reset();
    gatewayAnswers.clear();
    ptSocket->connectToHost(host, usPort);
    if (!ptSocket->waitForConnected(ConnectTimeoutMs)) {
        *ptReason = ptSocket->error() == QAbstractSocket::SocketTimeoutError
                        ? QStringLiteral("no connection within %1 s").arg(ConnectTimeoutMs / 1000)
                        : ptSocket->errorString();
        return false;
    }
    // A request is a few bytes: it must leave at once, not wait for more.
    ptSocket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
    ptSocket->setSocketOption(QAbstractSocket::KeepAliveOption, 1);
    // The other side closing is as final as an adapter pulled out.
    connect(ptSocket, &QAbstractSocket::errorOccurred, this,
            [this] { ReportLost(ptSocket->errorString()); });
    connect(ptSocket, &QAbstractSocket::disconnected, this,
            [this] { ReportLost(ptSocket->errorString()); });
    return true;
}

void LinkPort::ReportLost(const QString &reason)
{
    if (isLost || !isOpen)
        return;
    isLost = true;
    emit lost(reason);
}

void LinkPort::Close()
{
    isOpen = false;
    if (ptDevice)
        ptDevice->disconnect(this);
    if (ptSerial) {
        ptSerial->clear(QSerialPort::AllDirections);
        ptSerial->close();
    }
    if (ptSocket)
        ptSocket->abort();
    delete ptSerial;
    delete ptSocket;
    ptSerial = nullptr;
    ptSocket = nullptr;
    ptDevice = nullptr;
    gatewayAnswers.clear();
    framer.Reset();
}

void LinkPort::ReadGateway()
{
    const QByteArray bytes = ptSocket->readAll();
    qDebug() << "MBAP receive:" << bytes.toHex();
    for (const QByteArray &answer : framer.Feed(bytes))
        gatewayAnswers += answer;
    if (!gatewayAnswers.isEmpty())
        emit readyRead();
}

qint64 LinkPort::BytesAvailable() const
{
    if (kind == Kind::ModbusTcp)
        return gatewayAnswers.size();
    return ptDevice ? ptDevice->bytesAvailable() : 0;
}

QByteArray LinkPort::Peek() const
{
    if (kind == Kind::ModbusTcp)
        return gatewayAnswers;
    return ptDevice ? ptDevice->peek(ptDevice->bytesAvailable()) : QByteArray();
}

QByteArray LinkPort::ReadAll()
{
    if (kind == Kind::ModbusTcp) {
        QByteArray answers;
        answers.swap(gatewayAnswers);
        return answers;
    }
    return ptDevice ? ptDevice->readAll() : QByteArray();
}

QByteArray LinkPort::Write(const QByteArray &rtuFrame)
{
    if (!isOpen)
        return QByteArray();
    const QByteArray wire = kind == Kind::ModbusTcp ? framer.Wrap(rtuFrame) : rtuFrame;
    ptDevice->write(wire);
    return wire;
}
