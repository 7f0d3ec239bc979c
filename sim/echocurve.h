#pragma once

#include <QByteArray>

#include <random>

// The text a radar sends as its echo spectrum: one decimal amplitude per
// line, each ended by CR LF.
class EchoCurve
{
public:
    static constexpr int Points = 300;

    // A noise floor with one echo peak at dPeakFraction (0 to 1) of the
    // spectrum's width. isNearLeak adds the hump a level radar sees from its
    // own antenna in the first bins.
    static QByteArray render(double dPeakFraction, bool isNearLeak, std::mt19937 &rng);
};
