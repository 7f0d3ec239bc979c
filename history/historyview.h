#pragma once

#include "database.h"

#include <QModelIndex>

#include <array>

class QAbstractButton;
class QTableView;
class QWidget;
class TableViewDelegate;

// The history page's behaviour, kept apart from the window that holds its
// widgets: the table over the store, the age filter, the delete question.
namespace HistoryView {

// Shows the store's model in the table with the delegate's delete buttons:
// whole-row single selection, read-only, ID column hidden, columns as wide
// as what they show and the path column taking the rest. A click on a row
// opens the detail dialog.
void SetUp(QTableView *historyTable, Database *database, TableViewDelegate *delegate);

// Runs the selection of the first checked button, in the order 7 days,
// 30 days, half year, all; nothing when none is checked.
void ApplyFilter(Database *database, const std::array<const QAbstractButton *, 4> &filterButtons);

// Asks before deleting; on Yes deletes the row and its file and returns true
// (the caller then re-applies the filter). A row or a file that cannot be
// deleted is named in a warning with the reason; a row that stays gives false.
bool ConfirmDelete(QWidget *parent, Database *database, const QModelIndex &index);

} // namespace HistoryView
