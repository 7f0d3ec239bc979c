#pragma once

#include "u16.h"

#include <QString>

class QPushButton;

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
    // The velocity chart's axis follows a successful write of this one.
    static constexpr u16 MaxMeasureSpeedReg = 25;

    // The register and value that the write button of a setting writes, or
    // the warning that refuses its input. False, without a warning, for a
    // button the table does not hold.
    static bool ValueToWrite(const QPushButton *button, const Ui::MainWindow *form, u16 *usRegister,
                             u16 *value, QString *warning);

    // Fills every field whose register is read back and exists in the
    // firmware usVersion from the register image. A stored value outside a
    // combo box's items leaves the box without a selection.
    static void Show(Ui::MainWindow *form, u16 usVersion);
};
