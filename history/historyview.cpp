#include "historyview.h"

#include "detailinfo.h"
#include "tableviewdelegate.h"

#include <QAbstractButton>
#include <QCoreApplication>
#include <QHeaderView>
#include <QMessageBox>
#include <QSqlQueryModel>
#include <QTableView>

namespace HistoryView {

void SetUp(QTableView *historyTable, Database *database, TableViewDelegate *delegate)
{
    historyTable->setModel(database->getModel());
    // Sized by what they show whenever rows come or go (a table empty at
    // start would otherwise cut the first start time); the file path takes
    // what is left.
    QHeaderView *header = historyTable->horizontalHeader();
    for (int column = 1; column <= 6 && column < header->count(); ++column)
        header->setSectionResizeMode(column, QHeaderView::ResizeToContents);
    // A history that could not be opened has no columns to lay out.
    if (header->count() > 7)
        header->setSectionResizeMode(7, QHeaderView::Stretch);
    historyTable->setItemDelegate(delegate);
    historyTable->setSelectionMode(QAbstractItemView::SingleSelection);
    historyTable->setSelectionBehavior(QAbstractItemView::SelectRows);
    historyTable->setColumnHidden(0, true);
    historyTable->setEditTriggers(QAbstractItemView::NoEditTriggers);
    historyTable->horizontalHeader()->setHighlightSections(false);
    historyTable->verticalHeader()->setHighlightSections(false);
    // A click on a row shows its run; the delete buttons are the delegate's.
    QObject::connect(historyTable, &QTableView::clicked, database, [database](QModelIndex index) {
        if (index.column() < 0 || index.column() == Database::OperationColumn)
            return;
        DetailInfo dialog;
        dialog.show();
        dialog.setDetailInfoFileName(database->filePathAt(index.row()));
        dialog.exec();
    });
}

void ApplyFilter(Database *database, const std::array<const QAbstractButton *, 4> &filterButtons)
{
    const Database::Filter filters[] = {Database::LastWeek, Database::LastMonth,
                                        Database::LastHalfYear, Database::All};
    for (int i = 0; i < 4; ++i) {
        if (filterButtons[i] && filterButtons[i]->isChecked()) {
            database->query(filters[i]);
            return;
        }
    }
}

bool ConfirmDelete(QWidget *parent, Database *database, const QModelIndex &index)
{
    const QMessageBox::StandardButton answer = QMessageBox::question(
        parent, QCoreApplication::translate("HistoryView", "删除历史记录"),
        QCoreApplication::translate("HistoryView", "数据删除后不可恢复，是否删除本条记录？"),
        QMessageBox::Yes | QMessageBox::No, QMessageBox::No);
    if (answer != QMessageBox::Yes)
        return false;
    const QString path = database->filePathAt(index.row());
    const bool isDeleted = database->deleteRowFromTable(index);
    // A row that stays, or a file left behind, is said, with the reason.
    if (!database->lastError().isEmpty())
        QMessageBox::warning(
            parent, QCoreApplication::translate("HistoryView", "警告"),
            (isDeleted ? QCoreApplication::translate("HistoryView", "测量文件 %1 无法删除：%2")
                       : QCoreApplication::translate("HistoryView",
                                                     "历史记录无法删除，测量文件 %1 保留：%2"))
                .arg(path, database->lastError()),
            QMessageBox::Ok);
    return isDeleted;
}

} // namespace HistoryView
