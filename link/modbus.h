#pragma once

#include "modbusregister.h"
#include "u16.h"

#include <QByteArray>
#include <QObject>

// Result of decoding one received frame. 0 to 4 finish a transaction;
// 14 finishes it but leaves the request gate closed; an exception answer
// (17) finishes it as refused; the rest are failures.
enum eMBException : quint8
{
    MB_EX_NONE = 0x00,
    MB_EX_ILLEGAL_FUNCTION = 0x01,
    MB_EX_ILLEGAL_DATA_ADDRESS = 0x02,
    MB_EX_ILLEGAL_DATA_VALUE = 0x03,
    MB_EX_SLAVE_DEVICE_FAILURE = 0x04,
    MB_EX_ADDRESS_MISMATCH = 12,
    MB_EX_CRC_ERROR = 13,
    MB_EX_NEED_RELEASE = 14,
    // The frame is shorter than its function code or byte count says.
    MB_EX_TRUNCATED = 16,
    // The instrument refused the request (function byte with its top bit set).
    MB_EX_EXCEPTION_ANSWER = 17,
};

// The Modbus RTU master's protocol layer: builds the four request frames and
// decodes answers into the shared register image.
class Modbus : public QObject
{
    Q_OBJECT

public:
    static constexpr quint8 DiscoveryAddr = 0xFF;

    // Function codes; an exception answer sets the top bit of the request's.
    static constexpr quint8 FuncReadHolding = 0x03;
    static constexpr quint8 FuncReadInput = 0x04;
    static constexpr quint8 FuncWriteRegister = 0x06;
    static constexpr quint8 FuncWriteMultiple = 0x10;
    static constexpr quint8 FuncError = 0x80;
    // Address, function, byte count, CRC around a read answer's data bytes.
    static constexpr int ReadFrameOverhead = 5;
    // Address, function, exception code, CRC.
    static constexpr int ExceptionFrameLen = 5;
    // 0x06 echo and 0x10 answer: address, function, two words, CRC.
    static constexpr int FixedAnswerLen = 8;

    explicit Modbus(quint8 ucDevAddr);

    void SetDevAddr(quint8 ucDevAddr);

    void MBReadHoldingRegister(u16 usAddr, u16 usCount);
    void MBReadInputRegister(u16 usAddr, u16 usCount);
    void MBWriteHoldingRegister(u16 usAddr, u16 usValue);
    // value holds the registers already serialised big-endian, copied as is.
    void MBWriteMultHoldingRegisters(u16 usStartAddr, const QByteArray &value, u16 usCount);

    eMBException MBEncoding(QByteArray byteArray, u16 usLen);

    // What a Modbus exception code means, for the log.
    static QString ExceptionText(quint8 ucCode);

    // CRC-16/MODBUS of the first n bytes; 0xFFFF for n = 0. The wire carries
    // the low byte first. An intact frame run through the CRC together with
    // its two CRC bytes leaves 0.
    static u16 MBCRC16(const char *bytes, int n);
    static u16 MBCRC16(const QByteArray &bytes) { return MBCRC16(bytes.constData(), bytes.size()); }

signals:
    void SerialWrite(QByteArray array);
    void ModbusGetDevAddrCompleted(ModbusRegister *ptReg);
    void HoldingRegisterUpdate(ModbusRegister *ptReg);
    void InputRegisterUpdate(ModbusRegister *ptReg);
    void WriteSingleHoldingRegStatus(bool isSucceed, u16 usAddr);
    void WriteMultHoldingRegStatus(bool isSucceed, u16 usAddr);
    void SingleHoldingRegisterUpdate(u16 usAddr, QByteArray data);
    // The instrument refused a request of this function with this exception
    // code. A refused write also reports its status signal with false.
    void ExceptionAnswer(quint8 ucFunction, quint8 ucCode);

private:
    // Address, function and two big-endian words: every request starts so.
    QByteArray RequestHead(quint8 function, u16 usAddr, u16 usWord) const;
    // Appends the CRC, low byte first, and hands the frame to the port.
    void SendFrame(QByteArray frame);

    quint8 ucDevAddr;
    u16 usInputStartAddr = 0;
    u16 usWriteSingleAddr = 0;
    u16 usWriteMultStartAddr = 0;
    u16 usHoldingStartAddr = 0;
};

Q_DECLARE_METATYPE(ModbusRegister *)
