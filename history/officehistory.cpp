#include "officehistory.h"

#include "detailinfo.h"
#include "fleetoffice.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QCoreApplication>
#include <QHeaderView>
#include <QTableView>

namespace OfficeHistory {

void SetUp(QTableView *historyTable, QComboBox *stationFilter, FleetOffice *office)
{
    stationFilter->clear();
    // The first item stands for every station and carries no name.
    stationFilter->addItem(QCoreApplication::translate("OfficeHistory", "全部站点"), QString());
    for (const QString &station : office->stations())
        stationFilter->addItem(station, station);
    historyTable->setModel(office->runsModel());
    historyTable->setSelectionMode(QAbstractItemView::SingleSelection);
    historyTable->setSelectionBehavior(QAbstractItemView::SelectRows);
    historyTable->setEditTriggers(QAbstractItemView::NoEditTriggers);
    historyTable->horizontalHeader()->setStretchLastSection(true);
    QObject::connect(historyTable, &QTableView::clicked, office, [office](QModelIndex index) {
        if (!index.isValid())
            return;
        const QString station = office->stationAt(index.row());
        const QDateTime start = office->startAt(index.row());
        RunFile run;
        QByteArray csv;
        office->ReadRun(station, start, &run);
        office->RunCsv(station, start, &csv);
        DetailInfo dialog;
        dialog.show();
        dialog.setDetailRun(
            QStringLiteral("%1 %2").arg(
                station, start.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"))),
            run, csv);
        dialog.exec();
    });
}

void ApplyFilter(FleetOffice *office, const QComboBox *stationFilter,
                 const std::array<const QAbstractButton *, 4> &filterButtons)
{
    // Calendar days, today included, as the local history counts them.
    const int days[] = {7, 30, 180, 0};
    for (int i = 0; i < 4; ++i) {
        if (filterButtons[i] && filterButtons[i]->isChecked()) {
            office->Query(stationFilter->currentData().toString(), days[i]);
            return;
        }
    }
}

} // namespace OfficeHistory
