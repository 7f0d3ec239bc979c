// Parameter editors: one "写入" button per instrument setting, each writing
// one holding register from its field or combo box.
#include "mainwindow.h"
#include "ui_mainwindow.h"

#include "settingstable.h"

void MainWindow::ShowWarning(const QString &text)
{
    notifier.Warn(text);
}

void MainWindow::WriteSetting(const QPushButton *button)
{
    if (!CheckPortOrWarn())
        return;
    u16 usRegister = 0;
    u16 value = 0;
    QString warning;
    if (!SettingsTable::ValueToWrite(button, ui, &usRegister, &value, &warning)) {
        if (!warning.isEmpty())
            ShowWarning(warning);
        return;
    }
    emit WriteHoldingRegister(usRegister, value);
}

void MainWindow::on_pushButtonSampRate70_clicked()
{
    WriteSetting(ui->pushButtonSampRate70);
}

void MainWindow::on_pushButtonThreshold70_clicked()
{
    WriteSetting(ui->pushButtonThreshold70);
}

void MainWindow::on_pushButtonSpeedFilterTimes_clicked()
{
    WriteSetting(ui->pushButtonSpeedFilterTimes);
}

void MainWindow::on_pushButtonAngleH_clicked()
{
    WriteSetting(ui->pushButtonAngleH);
}

void MainWindow::on_pushButtonSleepTime_clicked()
{
    WriteSetting(ui->pushButtonSleepTime);
}

void MainWindow::on_pushButtonSilt_clicked()
{
    WriteSetting(ui->pushButtonSilt);
}

void MainWindow::on_pushButtonRadarDir_clicked()
{
    WriteSetting(ui->pushButtonRadarDir);
}

void MainWindow::on_pushButtonThreshold80_clicked()
{
    WriteSetting(ui->pushButtonThreshold80);
}

void MainWindow::on_pushButtonDistFilterTimes_clicked()
{
    WriteSetting(ui->pushButtonDistFilterTimes);
}

void MainWindow::on_pushButtonRainMode_clicked()
{
    WriteSetting(ui->pushButtonRainMode);
}

void MainWindow::on_pushButtonLowestWater_clicked()
{
    WriteSetting(ui->pushButtonLowestWater);
}

void MainWindow::on_pushButtonMaxMeasureSpeed_clicked()
{
    WriteSetting(ui->pushButtonMaxMeasureSpeed);
}

void MainWindow::on_pushButtonLowSpeed_clicked()
{
    WriteSetting(ui->pushButtonLowSpeed);
}

void MainWindow::on_pushButtonStable_clicked()
{
    WriteSetting(ui->pushButtonStable);
}

void MainWindow::on_pushButtonBaseLine_clicked()
{
    WriteSetting(ui->pushButtonBaseLine);
}

void MainWindow::on_pushButtonBaseLineMin_clicked()
{
    WriteSetting(ui->pushButtonBaseLineMin);
}

void MainWindow::on_pushButtonKalman_clicked()
{
    WriteSetting(ui->pushButtonKalman);
}

void MainWindow::on_pushButtonValid_clicked()
{
    WriteSetting(ui->pushButtonValid);
}

void MainWindow::on_pushButtonRelative_2_clicked()
{
    WriteSetting(ui->pushButtonRelative_2);
}

void MainWindow::on_pushButtonMeasureTimes_clicked()
{
    WriteSetting(ui->pushButtonMeasureTimes);
}

void MainWindow::on_pushButtonRelative_clicked()
{
    WriteSetting(ui->pushButtonRelative);
}

void MainWindow::on_pushButtonFilterType_clicked()
{
    WriteSetting(ui->pushButtonFilterType);
}

void MainWindow::on_pushButtonFilterFactor_clicked()
{
    WriteSetting(ui->pushButtonFilterFactor);
}

void MainWindow::on_pushButtonPowerMode_clicked()
{
    WriteSetting(ui->pushButtonPowerMode);
}

void MainWindow::on_pushButtonValidThreshold_clicked()
{
    WriteSetting(ui->pushButtonValidThreshold);
}

void MainWindow::on_pushButtonZeroCounter_clicked()
{
    WriteSetting(ui->pushButtonZeroCounter);
}

void MainWindow::on_pushButtonRiverModel_clicked()
{
    WriteSetting(ui->pushButtonRiverModel);
}

void MainWindow::on_pushButtonCoefficient_clicked()
{
    WriteSetting(ui->pushButtonCoefficient);
}

void MainWindow::on_pushButtonAngleAdjust_clicked()
{
    WriteSetting(ui->pushButtonAngleAdjust);
}
