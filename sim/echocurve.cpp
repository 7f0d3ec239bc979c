#include "echocurve.h"

#include <QtGlobal>

#include <cmath>

QByteArray EchoCurve::render(double dPeakFraction, bool isNearLeak, std::mt19937 &rng)
{
    std::normal_distribution<double> noise(0.0, 1.0);
    const double dPeakBin = qBound(0.0, dPeakFraction, 1.0) * (Points - 1);
    const double dPeakHeight = 900.0 + 150.0 * noise(rng);
    const double dPeakWidth = 3.0;

    QByteArray text;
    text.reserve(Points * 6);
    for (int i = 0; i < Points; ++i) {
        const double dOffset = (i - dPeakBin) / dPeakWidth;
        double dAmplitude = 40.0 + 12.0 * std::fabs(noise(rng));
        dAmplitude += dPeakHeight * std::exp(-0.5 * dOffset * dOffset);
        if (isNearLeak)
            dAmplitude += 350.0 * std::exp(-i / 4.0);
        text += QByteArray::number(qMax(0, int(std::lround(dAmplitude)))) + "\r\n";
    }
    return text;
}
