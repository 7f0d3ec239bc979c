// Parameter editors: one "写入" button per instrument setting, each writing
// one holding register from its field or combo box.
#include "mainwindow.h"
#include "ui_mainwindow.h"

#include "registerconvert.h"

#include <iterator>

namespace {

// Holding registers of the single-register settings.
constexpr u16 Threshold70 = 11;
constexpr u16 Threshold80 = 12;
constexpr u16 SpeedFilterTimes = 13;
constexpr u16 DistFilterTimes = 14;
constexpr u16 Coefficient = 21;
constexpr u16 RiverModel = 22;
constexpr u16 SampRate70 = 23;
constexpr u16 RadarDir = 24;
constexpr u16 MaxMeasureSpeed = 25;
constexpr u16 AngleAdjust = 29;
constexpr u16 AngleH = 30;
constexpr u16 RainMode = 31;
constexpr u16 SleepTime = 32;
constexpr u16 LowestWater = 44;
constexpr u16 Stable = 47;
constexpr u16 LowSpeed = 48;
constexpr u16 MeasureTimes = 49;
constexpr u16 Relative = 51;
constexpr u16 BaseLine = 52;
constexpr u16 FilterType = 53;
constexpr u16 Silt = 54;
constexpr u16 BaseLineMin = 56;
constexpr u16 FilterFactor = 57;
constexpr u16 Kalman = 58;
constexpr u16 PowerMode = 59;
constexpr u16 Relative_2 = 63;
constexpr u16 Valid = 66;
constexpr u16 ValidThreshold = 67;
constexpr u16 ZeroCounter = 68;

// The scan volume is entered as 405 to 525 and stored less this offset.
constexpr int ScanVolumeOffset = 375;
constexpr int ScanVolumeMin = 405;
constexpr int ScanVolumeMax = 525;
constexpr int AngleHMax = 60;

// How an editor's text or selection becomes the register value.
enum class Conversion
{
    Whole,        // a whole number 0 to 65535, stored as is
    Centi,        // metres or a factor, stored x 100
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
    u16 usRegister;
    Conversion conversion;
    QLineEdit *Form::*lineEdit;
    QComboBox *Form::*comboBox;
    // Shown for an empty field; null where an empty field is just bad input.
    const char *emptyText;
};

constexpr EditorRow Line(u16 reg, Conversion conversion, QLineEdit *Form::*edit,
                         const char *emptyText = nullptr)
{
    return {reg, conversion, edit, nullptr, emptyText};
}

constexpr EditorRow Combo(u16 reg, Conversion conversion, QComboBox *Form::*box)
{
    return {reg, conversion, nullptr, box, nullptr};
}

const EditorRow Editors[] = {
    Combo(SampRate70, Conversion::IndexPlusOne, &Form::comboBoxSampRate70),
    Line(Threshold70, Conversion::Whole, &Form::lineEditThreshold70),
    Line(SpeedFilterTimes, Conversion::Whole, &Form::lineSpeedFilterTimes),
    Line(AngleH, Conversion::Angle, &Form::lineEditAngleH,
         QT_TRANSLATE_NOOP("MainWindow", "请输入要修正的水平角度！")),
    Line(SleepTime, Conversion::Whole, &Form::lineEditSleepTime,
         QT_TRANSLATE_NOOP("MainWindow", "请输入休眠时间！")),
    Line(Silt, Conversion::Centi, &Form::lineEditSilt),
    Combo(RadarDir, Conversion::IndexPlusOne, &Form::comboBoxRadarDir),
    Line(Threshold80, Conversion::Whole, &Form::lineEditThreshold80),
    Line(DistFilterTimes, Conversion::Whole, &Form::lineDistFilterTimes),
    Combo(RainMode, Conversion::IndexPlusOne, &Form::comboBoxRainMode),
    Line(LowestWater, Conversion::Centi, &Form::lineEditLowestWater),
    Line(MaxMeasureSpeed, Conversion::Centi, &Form::lineEditMaxMeasureSpeed),
    Combo(LowSpeed, Conversion::Index, &Form::comboBoxLowSpeed),
    Line(Stable, Conversion::Whole, &Form::lineEditStable),
    Line(BaseLine, Conversion::Centi, &Form::lineEditBaseLine),
    Line(BaseLineMin, Conversion::Centi, &Form::lineEditBaseLineMin),
    Combo(Kalman, Conversion::Index, &Form::comboBoxKalman),
    Combo(Valid, Conversion::Index, &Form::comboBoxValid),
    Combo(Relative_2, Conversion::Index, &Form::comboBoxRelative),
    Line(MeasureTimes, Conversion::ScanVolume, &Form::lineEditMeasureTimes),
    Line(Relative, Conversion::CentiSingle, &Form::lineEditRelative),
    Combo(FilterType, Conversion::Index, &Form::comboBoxFilterType),
    Line(FilterFactor, Conversion::Centi, &Form::lineEditFilterFactor),
    Combo(PowerMode, Conversion::Index, &Form::comboBoxPowerMode),
    Line(ValidThreshold, Conversion::Whole, &Form::lineEditValidThreshold),
    Line(ZeroCounter, Conversion::Whole, &Form::lineEditZeroCounter),
    Combo(RiverModel, Conversion::IndexPlusOne, &Form::comboBoxRiverModel),
    Line(Coefficient, Conversion::Centi, &Form::lineEditCoefficient),
    {AngleAdjust, Conversion::Command, nullptr, nullptr, nullptr},
};

const EditorRow *FindEditor(u16 usRegister)
{
    for (const EditorRow &row : Editors) {
        if (row.usRegister == usRegister)
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

} // namespace

void MainWindow::ShowWarning(const QString &text)
{
    notifier.Warn(text);
}

void MainWindow::WriteSetting(u16 usRegister)
{
    if (!CheckPortOrWarn())
        return;
    const EditorRow *row = FindEditor(usRegister);
    if (!row)
        return;
    u16 value = 0;
    QString warning;
    if (!Convert(*row, ui, &value, &warning)) {
        ShowWarning(warning);
        return;
    }
    emit WriteHoldingRegister(usRegister, value);
}

void MainWindow::on_pushButtonSampRate70_clicked()
{
    WriteSetting(SampRate70);
}

void MainWindow::on_pushButtonThreshold70_clicked()
{
    WriteSetting(Threshold70);
}

void MainWindow::on_pushButtonSpeedFilterTimes_clicked()
{
    WriteSetting(SpeedFilterTimes);
}

void MainWindow::on_pushButtonAngleH_clicked()
{
    WriteSetting(AngleH);
}

void MainWindow::on_pushButtonSleepTime_clicked()
{
    WriteSetting(SleepTime);
}

void MainWindow::on_pushButtonSilt_clicked()
{
    WriteSetting(Silt);
}

void MainWindow::on_pushButtonRadarDir_clicked()
{
    WriteSetting(RadarDir);
}

void MainWindow::on_pushButtonThreshold80_clicked()
{
    WriteSetting(Threshold80);
}

void MainWindow::on_pushButtonDistFilterTimes_clicked()
{
    WriteSetting(DistFilterTimes);
}

void MainWindow::on_pushButtonRainMode_clicked()
{
    WriteSetting(RainMode);
}

void MainWindow::on_pushButtonLowestWater_clicked()
{
    WriteSetting(LowestWater);
}

void MainWindow::on_pushButtonMaxMeasureSpeed_clicked()
{
    WriteSetting(MaxMeasureSpeed);
}

void MainWindow::on_pushButtonLowSpeed_clicked()
{
    WriteSetting(LowSpeed);
}

void MainWindow::on_pushButtonStable_clicked()
{
    WriteSetting(Stable);
}

void MainWindow::on_pushButtonBaseLine_clicked()
{
    WriteSetting(BaseLine);
}

void MainWindow::on_pushButtonBaseLineMin_clicked()
{
    WriteSetting(BaseLineMin);
}

void MainWindow::on_pushButtonKalman_clicked()
{
    WriteSetting(Kalman);
}

void MainWindow::on_pushButtonValid_clicked()
{
    WriteSetting(Valid);
}

void MainWindow::on_pushButtonRelative_2_clicked()
{
    WriteSetting(Relative_2);
}

void MainWindow::on_pushButtonMeasureTimes_clicked()
{
    WriteSetting(MeasureTimes);
}

void MainWindow::on_pushButtonRelative_clicked()
{
    WriteSetting(Relative);
}

void MainWindow::on_pushButtonFilterType_clicked()
{
    WriteSetting(FilterType);
}

void MainWindow::on_pushButtonFilterFactor_clicked()
{
    WriteSetting(FilterFactor);
}

void MainWindow::on_pushButtonPowerMode_clicked()
{
    WriteSetting(PowerMode);
}

void MainWindow::on_pushButtonValidThreshold_clicked()
{
    WriteSetting(ValidThreshold);
}

void MainWindow::on_pushButtonZeroCounter_clicked()
{
    WriteSetting(ZeroCounter);
}

void MainWindow::on_pushButtonRiverModel_clicked()
{
    WriteSetting(RiverModel);
}

void MainWindow::on_pushButtonCoefficient_clicked()
{
    WriteSetting(Coefficient);
}

void MainWindow::on_pushButtonAngleAdjust_clicked()
{
    WriteSetting(AngleAdjust);
}
