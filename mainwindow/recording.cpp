// Recording of a run: its measurement file and its history row.
#include "mainwindow.h"

void MainWindow::BeginRecording() {}

void MainWindow::RecordSample(const QDateTime &, double, double, double)
{
    ++xmlFileRowCount;
}

void MainWindow::FinishRecording() {}
