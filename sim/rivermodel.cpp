#include "rivermodel.h"

#include "echocurve.h"
#include "registerbank.h"

#include <QtGlobal>

#include <algorithm>
#include <cmath>

namespace {

// Seconds the smooth velocity and level take to return towards their means.
constexpr double DriftTime = 20.0;

// Area of a circle of radius r filled to depth h from its lowest point.
double segmentArea(double r, double h)
{
    h = qBound(0.0, h, 2 * r);
    return r * r * std::acos((r - h) / r) - (r - h) * std::sqrt(std::max(0.0, 2 * r * h - h * h));
}

// Area of a trapezoid widening from a to b over the height c, filled to
// depth h; above c the walls rise straight at the width b.
double prismArea(double a, double b, double c, double h)
{
    if (c <= 0)
        return b * h;
    const double hIn = std::min(h, c);
    return a * hIn + (b - a) * hIn * hIn / (2 * c) + b * std::max(0.0, h - c);
}

quint16 scaled(double dValue, double dScale)
{
    return quint16(qBound<qint64>(0, std::llround(dValue * dScale), 0xFFFF));
}

} // namespace

Channel Channel::fromRegisters(const RegisterBank &bank)
{
    Channel channel;
    channel.iShape = bank.holding(RegisterBank::RegSinkShape);
    channel.dRadius = bank.holding(RegisterBank::RegRadius) / 100.0;
    channel.dBottom = bank.holding(RegisterBank::RegButtomLen) / 100.0;
    channel.dTop = bank.holding(RegisterBank::RegTopLen) / 100.0;
    channel.dHeight = bank.holding(RegisterBank::RegHeight) / 100.0;
    return channel;
}

RiverModel::RiverModel(quint32 uSeed) : rng(uSeed) {}

double RiverModel::wettedArea(const Channel &channel, double dLevel)
{
    if (dLevel <= 0)
        return 0;
    switch (channel.iShape) {
    case Channel::Circle:
        return channel.dRadius > 0 ? segmentArea(channel.dRadius, dLevel) : 0;
    case Channel::Trapezoid:
        return prismArea(channel.dBottom, channel.dTop, channel.dHeight, dLevel);
    case Channel::U: {
        // The round part is a circular segment whose chord is the bottom
        // width A of the trapezoidal part, E deep.
        const double e = channel.dRadius;
        const double a = channel.dBottom;
        if (e <= 0 || a <= 0)
            return prismArea(a, channel.dTop, channel.dHeight, dLevel);
        const double r = (a * a / 4 + e * e) / (2 * e);
        if (dLevel <= e)
            return segmentArea(r, dLevel);
        return segmentArea(r, e) + prismArea(a, channel.dTop, channel.dHeight - e, dLevel - e);
    }
    default:
        return 0;
    }
}

double RiverModel::gauss(double dSigma)
{
    return std::normal_distribution<double>(0.0, dSigma)(rng);
}

double RiverModel::targetLevel(const Channel &channel, double dDistance) const
{
    if (dMeanLevel >= 0)
        return dMeanLevel;
    double dDepth = channel.iShape == Channel::Circle ? 2 * channel.dRadius : channel.dHeight;
    if (dDepth <= 0)
        dDepth = dDistance;
    double dTarget = 0.4 * dDepth;
    if (dDistance > 0)
        dTarget = std::min(dTarget, 0.9 * dDistance);
    return dTarget;
}

void RiverModel::step(double dSeconds, RegisterBank &bank)
{
    const Channel channel = Channel::fromRegisters(bank);
    const double dDistance = bank.distance();
    const double dTarget = targetLevel(channel, dDistance);

    if (!isStarted || isCalm) {
        dVelocity = dMeanVelocity;
        dLevel = dTarget;
        isStarted = true;
    } else {
        const double k = std::min(1.0, dSeconds / DriftTime);
        const double dRoot = std::sqrt(dSeconds);
        dVelocity += (dMeanVelocity - dVelocity) * k + gauss(0.04 * dRoot);
        dLevel += (dTarget - dLevel) * k + gauss(0.008 * dRoot);
    }
    dShownVelocity = std::max(0.0, dVelocity + (isCalm ? 0.0 : gauss(0.01)));
    dShownLevel = std::max(0.0, dLevel + (isCalm ? 0.0 : gauss(0.002)));
    dGap = std::max(0.0, dDistance - dShownLevel);

    const double dCoefficient = bank.holding(RegisterBank::RegCoefficient) / 100.0;
    const double dLowest = bank.holding(RegisterBank::RegLowestWater) / 100.0;
    const double dSilt = std::min(bank.holding(RegisterBank::RegSilt) / 100.0, dShownLevel);
    // Silt fills the bottom of the section; below the minimum depth the
    // instrument reports no flow at all.
    const double dArea = wettedArea(channel, dShownLevel) - wettedArea(channel, dSilt);
    dFlow = dShownLevel < dLowest ? 0.0 : std::max(0.0, dArea * dShownVelocity * dCoefficient);
    dDischarge += dFlow * dSeconds;

    if (dAdjustLeft > 0) {
        dAngleOffset *= std::max(0.0, dAdjustLeft - dSeconds) / dAdjustLeft;
        dAdjustLeft = std::max(0.0, dAdjustLeft - dSeconds);
        if (dAdjustLeft == 0)
            bank.setHolding(RegisterBank::RegAngleAdjust, 0);
    } else if (!isCalm) {
        dAngleOffset = qBound(-0.5, dAngleOffset + gauss(0.01 * std::sqrt(dSeconds)), 0.5);
    }
    dAngle = MountAngle + dAngleOffset + (isCalm ? 0.0 : gauss(0.02));
    iStrength70 = 120 + (isCalm ? 0 : int(std::lround(gauss(3))));
    iStrength80 = 90 + (isCalm ? 0 : int(std::lround(gauss(3))));

    publish(bank);
}

void RiverModel::publish(RegisterBank &bank) const
{
    bank.setInput(1, scaled(dShownVelocity, 1000));
    bank.setInput(2, scaled(dShownLevel, 1000));
    bank.setInput(3, scaled(dGap, 1000));

    // Old firmware reports the flow in 1/100 m3/s in register 4 and counts
    // the discharge in 1/100 m3; newer firmware uses 32 bits of 1/1000 m3/s
    // in 15-16 and counts 1/1000 m3.
    const bool isOld = bank.firmware() <= RegisterBank::FirmwareOldScaling;
    const quint32 uFlow = quint32(qBound<qint64>(0, std::llround(dFlow * 1000), 0xFFFFFFFFLL));
    bank.setInput(4, isOld ? scaled(dFlow, 100) : 0);
    bank.setInput(15, isOld ? 0 : quint16(uFlow >> 16));
    bank.setInput(16, isOld ? 0 : quint16(uFlow & 0xFFFF));

    const quint64 uCount =
        quint64(std::llround(dDischarge * (isOld ? 100 : 1000))) & 0xFFFFFFFFFFFFULL;
    bank.setInput(5, quint16(uCount >> 32));
    bank.setInput(6, quint16(uCount >> 16));
    bank.setInput(7, quint16(uCount));

    bank.setInput(8, quint16(std::max(0, iStrength70)));
    bank.setInput(9, quint16(std::max(0, iStrength80)));
    bank.setInput(12, scaled(dAngle, 100));
}

QByteArray RiverModel::spectrum(Radar radar, const RegisterBank &bank)
{
    if (radar == Radar::Velocity) {
        double dMaxSpeed = bank.holding(RegisterBank::RegMaxMeasureSpeed) / 100.0;
        if (dMaxSpeed <= 0)
            dMaxSpeed = 10.0;
        return EchoCurve::render(dShownVelocity / dMaxSpeed, false, rng);
    }
    const double dDistance = bank.distance();
    const double dFraction = dDistance > 0 ? dGap / (1.25 * dDistance) : 0.5;
    return EchoCurve::render(dFraction, true, rng);
}
