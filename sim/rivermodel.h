#pragma once

#include <QByteArray>

#include <random>

class RegisterBank;

// The channel cross-section as the operator wrote it, lengths in metres.
struct Channel
{
    enum Shape
    {
        Circle = 1,
        Trapezoid = 2,
        U = 3
    };

    int iShape = Trapezoid;
    double dRadius = 0; // circle radius R, or for the U the height E of its round part
    double dBottom = 0; // bottom width A (of the trapezoidal part for the U)
    double dTop = 0;    // top width B
    double dHeight = 0; // channel height C

    static Channel fromRegisters(const RegisterBank &bank);
};

// The river under the radar: velocity and level drift smoothly around their
// means with some noise, the flow follows from the channel, and the
// cumulative discharge integrates it. Everything random comes from one seeded
// generator, so a seed and a step size give the same river every time.
class RiverModel
{
public:
    enum class Radar
    {
        Velocity,
        Level
    };

    explicit RiverModel(quint32 uSeed);

    // Wetted cross-section in m2 at a water depth dLevel above the channel
    // bottom. Above the channel's height the walls rise straight at the top
    // width; a circle is a closed pipe and holds no more than when full.
    static double wettedArea(const Channel &channel, double dLevel);

    // Mean velocity in m/s; mean level in m above the channel bottom, or a
    // negative value to let the level follow the channel (40 % of its depth).
    void setMeanVelocity(double dVelocity) { dMeanVelocity = dVelocity; }
    void setMeanLevel(double dLevel) { dMeanLevel = dLevel; }
    // A calm river stands still at its means: no drift, no noise.
    void setCalm(bool isCalm) { this->isCalm = isCalm; }

    void clearDischarge() { dDischarge = 0; }
    // The radar re-measures its vertical angle over a few seconds; the angle
    // settles on its mounting value and register 29 reads 1 meanwhile.
    void startAngleAdjustment() { dAdjustLeft = AngleAdjustSeconds; }

    // Advances the river by dSeconds under the settings in bank and publishes
    // the live values into its input registers.
    void step(double dSeconds, RegisterBank &bank);

    // The echo spectrum of one radar, its peak placed by the current velocity
    // or air gap.
    QByteArray spectrum(Radar radar, const RegisterBank &bank);

    double velocity() const { return dShownVelocity; }
    double level() const { return dShownLevel; }
    double flow() const { return dFlow; }
    double discharge() const { return dDischarge; }

private:
    static constexpr double AngleAdjustSeconds = 3.0;
    static constexpr double MountAngle = 30.0;

    double gauss(double dSigma);
    double targetLevel(const Channel &channel, double dDistance) const;
    void publish(RegisterBank &bank) const;

    std::mt19937 rng;
    double dMeanVelocity = 1.2;
    double dMeanLevel = -1;
    bool isCalm = false;
    bool isStarted = false;

    double dVelocity = 0; // smooth state
    double dLevel = 0;
    double dShownVelocity = 0; // with measurement noise
    double dShownLevel = 0;
    double dGap = 0;
    double dFlow = 0;
    double dDischarge = 0;
    double dAngleOffset = 0;
    double dAngle = MountAngle;
    double dAdjustLeft = 0;
    int iStrength70 = 0;
    int iStrength80 = 0;
};
