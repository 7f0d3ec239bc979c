#pragma once

#include "u16.h"

#include <QString>

namespace Ui {
class MainWindow;
}

// The instrument's single-register settings, each described once: its holding
// register, its field or combo box on the settings form, the conversion both
// ways and the firmware from which the register exists. The editors write
// through it and the read-back fills the form through it. What it cannot
// express (the channel geometry block, the address, the commands) is code of
// its own.
class SettingsTable
{
public:
    // Holding registers of the settings in the table.
    enum Register : u16
    {
        Threshold70 = 11,
        Threshold80 = 12,
        SpeedFilterTimes = 13,
        DistFilterTimes = 14,
        Coefficient = 21,
        RiverModel = 22,
        SampRate70 = 23,
        RadarDir = 24,
        MaxMeasureSpeed = 25,
        AngleAdjust = 29,
        AngleH = 30,
        RainMode = 31,
        SleepTime = 32,
        LowestWater = 44,
        Stable = 47,
        LowSpeed = 48,
        MeasureTimes = 49,
        Relative = 51,
        BaseLine = 52,
        FilterType = 53,
        Silt = 54,
        BaseLineMin = 56,
        FilterFactor = 57,
        Kalman = 58,
        PowerMode = 59,
        Relative_2 = 63,
        Valid = 66,
        ValidThreshold = 67,
        ZeroCounter = 68,
    };

    // The value to write for the editor of usRegister, or the warning that
    // refuses its input. False also for a register the table does not hold.
    static bool ValueToWrite(u16 usRegister, const Ui::MainWindow *form, u16 *value,
                             QString *warning);

    // Fills every field whose register is read back and exists in the
    // firmware usVersion from the register image. A stored value outside a
    // combo box's items leaves the box without a selection.
    static void Show(Ui::MainWindow *form, u16 usVersion);
};
