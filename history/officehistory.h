#pragma once

#include <array>

class FleetOffice;
class QAbstractButton;
class QComboBox;
class QTableView;

// The history page of the office: the runs of the fleet's server with their
// station, filtered by station and by age like the local history; a row
// opens its run from the server's samples.
namespace OfficeHistory {

// Fills the station filter ("全部站点" and each station) and shows the
// server's runs in the table. Read-only: no delete buttons.
void SetUp(QTableView *historyTable, QComboBox *stationFilter, FleetOffice *office);

// Runs the selection of the checked age button for the chosen station.
void ApplyFilter(FleetOffice *office, const QComboBox *stationFilter,
                 const std::array<const QAbstractButton *, 4> &filterButtons);

} // namespace OfficeHistory
