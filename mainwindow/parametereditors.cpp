// Parameter editors: one "写入" button per instrument setting, each writing
// one holding register from its field or combo box.
#include "mainwindow.h"
#include "ui_mainwindow.h"

#include "settingstable.h"

void MainWindow::ShowWarning(const QString &text)
{
    notifier.Warn(text);
}

void MainWindow::WriteSetting(u16 usRegister)
{
    if (!CheckPortOrWarn())
        return;
    u16 value = 0;
    QString warning;
    if (!SettingsTable::ValueToWrite(usRegister, ui, &value, &warning)) {
        if (!warning.isEmpty())
            ShowWarning(warning);
        return;
    }
    emit WriteHoldingRegister(usRegister, value);
}

void MainWindow::on_pushButtonSampRate70_clicked()
{
    WriteSetting(SettingsTable::SampRate70);
}

void MainWindow::on_pushButtonThreshold70_clicked()
{
    WriteSetting(SettingsTable::Threshold70);
}

void MainWindow::on_pushButtonSpeedFilterTimes_clicked()
{
    WriteSetting(SettingsTable::SpeedFilterTimes);
}

void MainWindow::on_pushButtonAngleH_clicked()
{
    WriteSetting(SettingsTable::AngleH);
}

void MainWindow::on_pushButtonSleepTime_clicked()
{
    WriteSetting(SettingsTable::SleepTime);
}

void MainWindow::on_pushButtonSilt_clicked()
{
    WriteSetting(SettingsTable::Silt);
}

void MainWindow::on_pushButtonRadarDir_clicked()
{
    WriteSetting(SettingsTable::RadarDir);
}

void MainWindow::on_pushButtonThreshold80_clicked()
{
    WriteSetting(SettingsTable::Threshold80);
}

void MainWindow::on_pushButtonDistFilterTimes_clicked()
{
    WriteSetting(SettingsTable::DistFilterTimes);
}

void MainWindow::on_pushButtonRainMode_clicked()
{
    WriteSetting(SettingsTable::RainMode);
}

void MainWindow::on_pushButtonLowestWater_clicked()
{
    WriteSetting(SettingsTable::LowestWater);
}

void MainWindow::on_pushButtonMaxMeasureSpeed_clicked()
{
    WriteSetting(SettingsTable::MaxMeasureSpeed);
}

void MainWindow::on_pushButtonLowSpeed_clicked()
{
    WriteSetting(SettingsTable::LowSpeed);
}

void MainWindow::on_pushButtonStable_clicked()
{
    WriteSetting(SettingsTable::Stable);
}

void MainWindow::on_pushButtonBaseLine_clicked()
{
    WriteSetting(SettingsTable::BaseLine);
}

void MainWindow::on_pushButtonBaseLineMin_clicked()
{
    WriteSetting(SettingsTable::BaseLineMin);
}

void MainWindow::on_pushButtonKalman_clicked()
{
    WriteSetting(SettingsTable::Kalman);
}

void MainWindow::on_pushButtonValid_clicked()
{
    WriteSetting(SettingsTable::Valid);
}

void MainWindow::on_pushButtonRelative_2_clicked()
{
    WriteSetting(SettingsTable::Relative_2);
}

void MainWindow::on_pushButtonMeasureTimes_clicked()
{
    WriteSetting(SettingsTable::MeasureTimes);
}

void MainWindow::on_pushButtonRelative_clicked()
{
    WriteSetting(SettingsTable::Relative);
}

void MainWindow::on_pushButtonFilterType_clicked()
{
    WriteSetting(SettingsTable::FilterType);
}

void MainWindow::on_pushButtonFilterFactor_clicked()
{
    WriteSetting(SettingsTable::FilterFactor);
}

void MainWindow::on_pushButtonPowerMode_clicked()
{
    WriteSetting(SettingsTable::PowerMode);
}

void MainWindow::on_pushButtonValidThreshold_clicked()
{
    WriteSetting(SettingsTable::ValidThreshold);
}

void MainWindow::on_pushButtonZeroCounter_clicked()
{
    WriteSetting(SettingsTable::ZeroCounter);
}

void MainWindow::on_pushButtonRiverModel_clicked()
{
    WriteSetting(SettingsTable::RiverModel);
}

void MainWindow::on_pushButtonCoefficient_clicked()
{
    WriteSetting(SettingsTable::Coefficient);
}

void MainWindow::on_pushButtonAngleAdjust_clicked()
{
    WriteSetting(SettingsTable::AngleAdjust);
}
