// Feeds arbitrary bytes to the echo-spectrum text parser: the burst that
// follows the echo of a spectrum request, as the line delivered it.
#include "echocurve.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), int(size));
    const EchoCurve curve = EchoCurve::Parse(bytes);
    // One point per CR LF and one after the last; the peak is among them.
    if (curve.points.size() != curve.crlfCount + 1)
        __builtin_trap();
    for (const QPointF &point : curve.points) {
        if (point.y() > curve.maxAmplitude)
            __builtin_trap();
    }
    // The axes never end below the peak (a wrapped sum would).
    if (curve.VelocityAxisMax() < curve.maxAmplitude || curve.LevelAxisMax() < curve.maxAmplitude)
        __builtin_trap();
    return 0;
}
