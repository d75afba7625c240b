#include "common/AmountText.h"
#include "usage/window/UsageCharts.h"
#include "usage/window/frmUsage.h"

#include <QLocale>
#include <QPushButton>
#include <QTableWidget>

#include <cstdlib>
#include <limits>

namespace pulo {

namespace {

// A cell that shows its figure for people and sorts by its value.
class TValueItem final : public QTableWidgetItem
{
public:
    TValueItem(const QString& text, qint64 value) : QTableWidgetItem(text) { setData(Qt::UserRole, value); }
    bool operator<(const QTableWidgetItem& other) const override
    {
        return data(Qt::UserRole).toLongLong() < other.data(Qt::UserRole).toLongLong();
    }
};

// "512 MB", "0.100 MB", "3.00 GB": as the summary and every other view round a figure.
QString Amount(std::int64_t bytes)
{
    return InUnit(bytes, UnitFor(bytes));
}

} // namespace

void TfrmUsage::FillConnections(const TPlanStatus& status)
{
    const THistoryStore* history = Host.History ? Host.History() : nullptr;
    Shown = history != nullptr ? history->Connections(status.Period.From(), status.Period.Until())
                               : std::vector<TUsageConnection>{};
    tblConnections->setSortingEnabled(false);
    tblConnections->setRowCount(static_cast<int>(Shown.size()));
    for (int row = 0; row < static_cast<int>(Shown.size()); ++row) {
        const TUsageConnection& connection = Shown[static_cast<std::size_t>(row)];
        const auto when = [](const QDateTime& moment) {
            return new TValueItem(moment.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")),
                                  moment.toMSecsSinceEpoch());
        };
        tblConnections->setItem(row, 0, when(connection.Start));
        // The one still going has no end yet: it sorts after every ended one.
        tblConnections->setItem(row, 1,
                                connection.InProgress
                                    ? new TValueItem(QStringLiteral("in progress"), std::numeric_limits<qint64>::max())
                                    : when(connection.End));
        tblConnections->setItem(row, 2, new TValueItem(Duration(connection.Seconds), connection.Seconds));
        tblConnections->setItem(row, 3, new TValueItem(Amount(connection.Sent), connection.Sent));
        tblConnections->setItem(row, 4, new TValueItem(Amount(connection.Received), connection.Received));
        for (const int column : {2, 3, 4})
            tblConnections->item(row, column)->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
        tblConnections->setItem(row, 5, new QTableWidgetItem(connection.Entry));
        tblConnections->setItem(row, 6, new QTableWidgetItem(connection.Interface));
    }
    tblConnections->setSortingEnabled(true);
    tblConnections->resizeColumnsToContents();
}

void TfrmUsage::FillCorrections(const TPlanStatus& status)
{
    const THistoryStore* history = Host.History ? Host.History() : nullptr;
    Corrections = history != nullptr ? history->Adjustments(status.Period.First) : std::vector<TUsageAdjustment>{};
    tblCorrections->setRowCount(static_cast<int>(Corrections.size()));
    for (int row = 0; row < static_cast<int>(Corrections.size()); ++row) {
        const TUsageAdjustment& given = Corrections[static_cast<std::size_t>(row)];
        const std::int64_t correction = given.Provider - given.Counted;
        const QStringList cells{given.At.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")),
                                Amount(given.Provider), Amount(given.Counted),
                                (correction < 0 ? QStringLiteral("-") : QStringLiteral("+")) +
                                    Amount(std::abs(correction))};
        for (int column = 0; column < cells.size(); ++column)
            tblCorrections->setItem(row, column, new QTableWidgetItem(cells[column]));
    }
    tblCorrections->resizeColumnsToContents();
    btnRemoveCorrection->setEnabled(!Corrections.empty());

    ShownPacks = status.Packs;
    tblPacks->setRowCount(static_cast<int>(ShownPacks.size()));
    for (int row = 0; row < static_cast<int>(ShownPacks.size()); ++row) {
        const TPack& pack = ShownPacks[static_cast<std::size_t>(row)];
        const TPackUse use = static_cast<std::size_t>(row) < status.PackUses.size()
                                 ? status.PackUses[static_cast<std::size_t>(row)]
                                 : TPackUse{};
        const QStringList cells{pack.AddedAt.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")),
                                Amount(pack.Bytes), pack.Until.toString(Qt::ISODate),
                                use.Ended ? QStringLiteral("ended") : Amount(use.Left)};
        for (int column = 0; column < cells.size(); ++column)
            tblPacks->setItem(row, column, new QTableWidgetItem(cells[column]));
    }
    tblPacks->resizeColumnsToContents();
    btnRemovePack->setEnabled(!ShownPacks.empty() && static_cast<bool>(Host.RemovePack));
}

} // namespace pulo
