#include "faultswitchboard.h"

namespace {

// Decimal or 0x-prefixed hexadecimal, within [iMin, iMax].
bool parseNumber(const QString &text, int iMin, int iMax, int *ptValue)
{
    bool isOk = false;
    const int iValue = text.toInt(&isOk, 0);
    if (!isOk || iValue < iMin || iValue > iMax)
        return false;
    *ptValue = iValue;
    return true;
}

bool parseSwitch(const QString &text, bool *ptOn)
{
    if (text == "on" || text == "1") {
        *ptOn = true;
        return true;
    }
    if (text == "off" || text == "0") {
        *ptOn = false;
        return true;
    }
    return false;
}

} // namespace

bool FaultSwitchboard::apply(const QString &command, QString *error)
{
    const QStringList words = command.simplified().split(' ', Qt::SkipEmptyParts);
    const QString name = words.value(0);
    const QString arg = words.mid(1).join(' ');
    const auto fail = [&](const QString &why) {
        *error = QString("%1: %2").arg(name, why);
        return false;
    };

    if (name == "clear" && arg.isEmpty()) {
        clear();
        return true;
    }
    if (name == "silent-next") {
        return parseNumber(arg, 0, 1000000, &iSilentNext) || fail("expected a count");
    }
    if (name == "silent-function") {
        if (arg == "off") {
            iSilentFunction = -1;
            return true;
        }
        return parseNumber(arg, 1, 127, &iSilentFunction) ||
               fail("expected a function code or off");
    }
    if (name == "bad-crc")
        return parseSwitch(arg, &isBadCrc) || fail("expected on or off");
    if (name == "no-spectrum")
        return parseSwitch(arg, &isNoSpectrum) || fail("expected on or off");
    if (name == "bad-tid")
        return parseSwitch(arg, &isBadTid) || fail("expected on or off");
    if (name == "segments") {
        if (arg == "off") {
            iSegments = 1;
            return true;
        }
        const QStringList parts = arg.split(':');
        return (parts.size() == 2 && parseNumber(parts[0], 1, 255, &iSegments) &&
                parseNumber(parts[1], 0, 60000, &iSegmentMs)) ||
               fail("expected N:MS or off");
    }
    if (name == "split-ms")
        return parseNumber(arg, 0, 60000, &iSplitMs) || fail("expected milliseconds");
    if (name == "stray") {
        if (arg == "off") {
            stray.clear();
            return true;
        }
        QByteArray digits = arg.toLatin1();
        digits.replace(' ', "");
        const QByteArray bytes = QByteArray::fromHex(digits);
        if (bytes.isEmpty() || bytes.toHex() != digits.toLower())
            return fail("expected hexadecimal bytes or off");
        stray = bytes;
        return true;
    }
    if (name == "exception") {
        if (arg == "off") {
            exceptions.clear();
            return true;
        }
        const QStringList parts = arg.split(':');
        int iFunction = 0;
        if (parts.size() != 2 || !parseNumber(parts[0], 1, 127, &iFunction))
            return fail("expected FC:CODE, FC:off or off");
        if (parts[1] == "off") {
            exceptions.remove(quint8(iFunction));
            return true;
        }
        // CODE@START refuses only the request that starts at that register.
        int iCode = 0;
        int iStart = -1;
        const QStringList code = parts[1].split('@');
        if (code.size() > 2 || !parseNumber(code[0], 1, 255, &iCode) ||
            (code.size() == 2 && !parseNumber(code[1], 0, 0xFFFF, &iStart)))
            return fail("expected an exception code from 1 to 255, optionally @START");
        exceptions.insert(quint8(iFunction), {quint8(iCode), iStart});
        return true;
    }
    return fail("unknown command");
}

quint8 FaultSwitchboard::exceptionFor(quint8 ucFunction, quint16 usStart) const
{
    const auto it = exceptions.constFind(ucFunction);
    if (it == exceptions.cend() || (it->iStart >= 0 && it->iStart != usStart))
        return 0;
    return it->ucCode;
}

void FaultSwitchboard::clear()
{
    *this = FaultSwitchboard();
}

bool FaultSwitchboard::swallow(quint8 ucFunction)
{
    if (iSilentNext > 0) {
        --iSilentNext;
        return true;
    }
    return ucFunction == iSilentFunction;
}

QByteArray FaultSwitchboard::spoil(const QByteArray &answer) const
{
    QByteArray bytes = answer;
    if (isBadCrc && !bytes.isEmpty())
        bytes[bytes.size() - 1] = char(~quint8(bytes.back()));
    return stray + bytes;
}

QStringList FaultSwitchboard::active() const
{
    QStringList names;
    if (iSilentNext > 0)
        names << QString("silent-next %1").arg(iSilentNext);
    if (iSilentFunction >= 0)
        names << QString("silent-function %1").arg(iSilentFunction);
    if (isBadCrc)
        names << "bad-crc on";
    if (iSplitMs > 0)
        names << QString("split-ms %1").arg(iSplitMs);
    for (auto it = exceptions.cbegin(); it != exceptions.cend(); ++it)
        names << QString("exception %1:%2").arg(it.key()).arg(it->ucCode) +
                     (it->iStart >= 0 ? QString("@%1").arg(it->iStart) : QString());
    if (!stray.isEmpty())
        names << "stray " + QString::fromLatin1(stray.toHex(' '));
    if (isNoSpectrum)
        names << "no-spectrum on";
    if (iSegments > 1)
        names << QString("segments %1:%2").arg(iSegments).arg(iSegmentMs);
    if (isBadTid)
        names << "bad-tid on";
    return names;
}
