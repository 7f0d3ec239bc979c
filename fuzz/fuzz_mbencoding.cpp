// Feeds arbitrary received bytes to the answer decoder, after a request of
// the kind the first input byte selects, with a frame length that may
// disagree with the bytes received.
#include "modbus.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    // The decoder's debug lines would drown the fuzzer's own output.
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext &, const QString &) {});
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 3)
        return 0;
    static Modbus codec(0x80);

    const uint8_t selector = data[0];
    const u16 start = u16(data[1] % 110);
    codec.SetDevAddr((selector & 0x80) ? Modbus::DiscoveryAddr : 0x80);
    switch (selector & 0x03) {
    case 0:
        codec.MBReadHoldingRegister(start, 5);
        break;
    case 1:
        codec.MBReadInputRegister(start, 16);
        break;
    case 2:
        codec.MBWriteHoldingRegister(start, 0x1234);
        break;
    default:
        codec.MBWriteMultHoldingRegisters(start, QByteArray(4, '\0'), 2);
        break;
    }

    const QByteArray frame(reinterpret_cast<const char *>(data + 2), int(size - 2));
    // Mostly the true length, sometimes a length that lies about the frame.
    u16 usLen = u16(frame.size());
    if (selector & 0x04)
        usLen = u16(usLen + (selector >> 3));
    else if (selector & 0x08)
        usLen = u16(usLen > (selector >> 4) ? usLen - (selector >> 4) : 0);

    const eMBException result = codec.MBEncoding(frame, usLen);
    // Results are one of the result codes, never more.
    if (result > MB_EX_EXCEPTION_ANSWER)
        __builtin_trap();
    return 0;
}
