// The settings table: every single-register setting with its editor and its
// conversions to and from the register.
#include "settingstable.h"

#include "mainwindow.h"
#include "modbusregister.h"
#include "registerconvert.h"
#include "ui_mainwindow.h"

namespace {

// Firmware from which the advanced settings 47-68 exist.
constexpr u16 AdvancedSettingsVersion = 0x0206;

// The scan volume is entered as 405 to 525 and stored less this offset.
constexpr int ScanVolumeOffset = 375;
constexpr int ScanVolumeMin = 405;
constexpr int ScanVolumeMax = 525;
constexpr int AngleHMax = 60;

// How an editor's text or selection becomes the register value, and back.
enum class Conversion
{
    Whole,        // a whole number 0 to 65535, stored as is
    Centi,        // metres or a factor, stored x 100
    CentiFixed,   // the same, shown with two decimals
    CentiSingle,  // the same, the text first taken to single precision
    Index,        // the combo box index
    IndexPlusOne, // the combo box index plus 1
    ScanVolume,   // 405 to 525, stored less 375
    Angle,        // horizontal angle 0 to 60 degrees
    Command,      // no field: the command value 1
};

using Form = Ui::MainWindow;

struct EditorRow
{
    QPushButton *Form::*button;
    u16 usRegister;
    Conversion conversion;
    QLineEdit *Form::*lineEdit;
    QComboBox *Form::*comboBox;
    // Shown for an empty field; null where an empty field is just bad input.
    const char *emptyText;
    // The firmware from which the register exists.
    u16 usSinceVersion;
    // The register's value is shown by the read-back; otherwise the field
    // keeps what the operator typed or chose.
    bool isReadBack;
};

constexpr EditorRow Line(QPushButton *Form::*button, u16 reg, Conversion conversion,
                         QLineEdit *Form::*edit, u16 sinceVersion = 0,
                         const char *emptyText = nullptr)
{
    return {button, reg, conversion, edit, nullptr, emptyText, sinceVersion, true};
}

constexpr EditorRow Combo(QPushButton *Form::*button, u16 reg, Conversion conversion,
                          QComboBox *Form::*box, u16 sinceVersion = 0)
{
    return {button, reg, conversion, nullptr, box, nullptr, sinceVersion, true};
}

// A setting that is written, never read back.
constexpr EditorRow WriteOnly(EditorRow row)
{
    row.isReadBack = false;
    return row;
}

constexpr u16 Advanced = AdvancedSettingsVersion;

const EditorRow Editors[] = {
    Combo(&Form::pushButtonSampRate70, 23, Conversion::IndexPlusOne, &Form::comboBoxSampRate70),
    Line(&Form::pushButtonThreshold70, 11, Conversion::Whole, &Form::lineEditThreshold70),
    Line(&Form::pushButtonSpeedFilterTimes, 13, Conversion::Whole, &Form::lineSpeedFilterTimes),
    WriteOnly(Line(&Form::pushButtonAngleH, 30, Conversion::Angle, &Form::lineEditAngleH, 0,
                   QT_TRANSLATE_NOOP("MainWindow", "请输入要修正的水平角度！"))),
    Line(&Form::pushButtonSleepTime, 32, Conversion::Whole, &Form::lineEditSleepTime, 0,
         QT_TRANSLATE_NOOP("MainWindow", "请输入休眠时间！")),
    Line(&Form::pushButtonSilt, 54, Conversion::Centi, &Form::lineEditSilt, Advanced),
    Combo(&Form::pushButtonRadarDir, 24, Conversion::IndexPlusOne, &Form::comboBoxRadarDir),
    Line(&Form::pushButtonThreshold80, 12, Conversion::Whole, &Form::lineEditThreshold80),
    Line(&Form::pushButtonDistFilterTimes, 14, Conversion::Whole, &Form::lineDistFilterTimes),
    WriteOnly(
        Combo(&Form::pushButtonRainMode, 31, Conversion::IndexPlusOne, &Form::comboBoxRainMode)),
    Line(&Form::pushButtonLowestWater, 44, Conversion::Centi, &Form::lineEditLowestWater),
    Line(&Form::pushButtonMaxMeasureSpeed, SettingsTable::MaxMeasureSpeedReg, Conversion::Centi,
         &Form::lineEditMaxMeasureSpeed),
    Combo(&Form::pushButtonLowSpeed, 48, Conversion::Index, &Form::comboBoxLowSpeed, Advanced),
    Line(&Form::pushButtonStable, 47, Conversion::Whole, &Form::lineEditStable, Advanced),
    Line(&Form::pushButtonBaseLine, 52, Conversion::CentiFixed, &Form::lineEditBaseLine, Advanced),
    Line(&Form::pushButtonBaseLineMin, 56, Conversion::CentiFixed, &Form::lineEditBaseLineMin,
         Advanced),
    Combo(&Form::pushButtonKalman, 58, Conversion::Index, &Form::comboBoxKalman, Advanced),
    Combo(&Form::pushButtonValid, 66, Conversion::Index, &Form::comboBoxValid, Advanced),
    Combo(&Form::pushButtonRelative_2, 63, Conversion::Index, &Form::comboBoxRelative, Advanced),
    Line(&Form::pushButtonMeasureTimes, 49, Conversion::ScanVolume, &Form::lineEditMeasureTimes,
         Advanced),
    Line(&Form::pushButtonRelative, 51, Conversion::CentiSingle, &Form::lineEditRelative, Advanced),
    Combo(&Form::pushButtonFilterType, 53, Conversion::Index, &Form::comboBoxFilterType, Advanced),
    Line(&Form::pushButtonFilterFactor, 57, Conversion::CentiFixed, &Form::lineEditFilterFactor,
         Advanced),
    Combo(&Form::pushButtonPowerMode, 59, Conversion::Index, &Form::comboBoxPowerMode, Advanced),
    Line(&Form::pushButtonValidThreshold, 67, Conversion::Whole, &Form::lineEditValidThreshold,
         Advanced),
    Line(&Form::pushButtonZeroCounter, 68, Conversion::Whole, &Form::lineEditZeroCounter, Advanced),
    Combo(&Form::pushButtonRiverModel, 22, Conversion::IndexPlusOne, &Form::comboBoxRiverModel),
    Line(&Form::pushButtonCoefficient, 21, Conversion::Centi, &Form::lineEditCoefficient),
    WriteOnly({&Form::pushButtonAngleAdjust, 29, Conversion::Command, nullptr, nullptr, nullptr, 0,
               false}),
};

const EditorRow *FindEditor(const Form *form, const QPushButton *button)
{
    for (const EditorRow &row : Editors) {
        if (form->*row.button == button)
            return &row;
    }
    return nullptr;
}

// The register value of a row, or the warning that refuses the input. Text
// the register cannot hold as typed is refused rather than wrapped or
// written as 0.
bool Convert(const EditorRow &row, const Form *form, u16 *value, QString *warning)
{
    const QString text = row.lineEdit ? (form->*row.lineEdit)->text().trimmed() : QString();
    const int index = row.comboBox ? (form->*row.comboBox)->currentIndex() : -1;

    if (row.emptyText && text.isEmpty()) {
        *warning = ::MainWindow::tr(row.emptyText);
        return false;
    }
    const QString badInput = ::MainWindow::tr("输入参数有误，请输入正确参数！");
    *warning = badInput;
    // Text the box's own validator would not accept as a whole (a pasted
    // "0x10", a threshold of 0 below its minimum) is not what gets written.
    if (row.lineEdit && (form->*row.lineEdit)->validator() &&
        !(form->*row.lineEdit)->hasAcceptableInput())
        return false;

    switch (row.conversion) {
    case Conversion::Whole:
        return RegisterConvert::IntegerChecked(text, value);
    case Conversion::Centi:
    case Conversion::CentiFixed:
        return RegisterConvert::FixedPointChecked(text, 100, value);
    case Conversion::CentiSingle: {
        // The instrument's own tools scale this factor in single precision:
        // 0.3 is stored as 30, 0.005 as 0.
        bool ok = false;
        const float single = text.toFloat(&ok);
        return ok && RegisterConvert::FixedPointChecked(QString::number(double(single), 'g', 17),
                                                        100, value);
    }
    case Conversion::Index:
    case Conversion::IndexPlusOne:
        // A box left empty by a stored value outside its items has no
        // selection to write.
        if (index < 0)
            return false;
        *value = u16(row.conversion == Conversion::Index ? index : index + 1);
        return true;
    case Conversion::ScanVolume: {
        bool ok = false;
        const int volume = text.toInt(&ok);
        if (!ok || volume < ScanVolumeMin || volume > ScanVolumeMax)
            return false;
        *value = u16(volume - ScanVolumeOffset);
        return true;
    }
    case Conversion::Angle: {
        bool ok = false;
        const qlonglong angle = text.toLongLong(&ok);
        if (!ok)
            return false;
        if (angle < 0 || angle > AngleHMax) {
            *warning = ::MainWindow::tr("水平角度修正无效，修正范围0-60！");
            return false;
        }
        *value = u16(angle);
        return true;
    }
    case Conversion::Command:
        *value = 1;
        return true;
    }
    return false;
}

// What the field shows for the stored value.
QString FieldText(Conversion conversion, u16 usValue)
{
    switch (conversion) {
    case Conversion::Centi:
        return QString::number(usValue / 100.0);
    case Conversion::CentiFixed:
    case Conversion::CentiSingle:
        return QString::number(usValue / 100.0, 'f', 2);
    case Conversion::ScanVolume:
        return QString::number(usValue + ScanVolumeOffset);
    default:
        return QString::number(usValue);
    }
}

} // namespace

bool SettingsTable::ValueToWrite(const QPushButton *button, const Ui::MainWindow *form,
                                 u16 *usRegister, u16 *value, QString *warning)
{
    const EditorRow *row = FindEditor(form, button);
    if (!row)
        return false;
    *usRegister = row->usRegister;
    return Convert(*row, form, value, warning);
}

void SettingsTable::Show(Ui::MainWindow *form, u16 usVersion)
{
    for (const EditorRow &row : Editors) {
        if (!row.isReadBack || usVersion < row.usSinceVersion)
            continue;
        const u16 stored = ModbusRegister::GetHoldingReg(row.usRegister);
        if (row.comboBox) {
            const int offset = row.conversion == Conversion::IndexPlusOne ? 1 : 0;
            (form->*row.comboBox)->setCurrentIndex(int(stored) - offset);
        } else if (row.lineEdit) {
            (form->*row.lineEdit)->setText(FieldText(row.conversion, stored));
        }
    }
}
