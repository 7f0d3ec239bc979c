// History view: the table of recorded runs, its age filter and deletion.
#include "mainwindow.h"
#include "ui_mainwindow.h"

#include "database.h"
#include "historyview.h"
#include "tableviewdelegate.h"

void MainWindow::InitHistoryTable()
{
    database = new Database;
    historyDelegate = new TableViewDelegate;
    HistoryView::SetUp(ui->historyTable, database, historyDelegate);
    connect(historyDelegate, &TableViewDelegate::deleteData, this,
            &MainWindow::DeleteRowFromTableView);
    for (QRadioButton *filter :
         {ui->radioButtonDay, ui->radioButtonMonth, ui->radioButtonYear, ui->radioButtonAll})
        connect(filter, &QRadioButton::clicked, this, &MainWindow::HistoryQueryUpdate);
}

void MainWindow::HistoryQueryUpdate()
{
    HistoryView::ApplyFilter(database, {ui->radioButtonDay, ui->radioButtonMonth,
                                        ui->radioButtonYear, ui->radioButtonAll});
}

void MainWindow::DeleteRowFromTableView(QModelIndex index)
{
    if (HistoryView::ConfirmDelete(this, database, index))
        HistoryQueryUpdate();
}
