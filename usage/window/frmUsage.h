#pragma once

// The Usage window: this billing period as a bar per day (received and sent stacked, time online
// as a line up to today, today marked) above the period's counted use so far with the limit and
// the forecast's projection, the last twelve periods as a bar each (with the current one's
// forecast and time online), a summary strip, and the period's connections in a table that sorts.
// Charts save as PNG (at twice the screen's size) or SVG, connections as CSV or JSON. It is not
// modal; while a connection is up it is drawn again once a minute, and not at all while hidden.

#include "usage/HistoryStore.h"
#include "usage/PlanStatus.h"
#include "usage/UsageFigures.h"
#include "usage/window/DesktopEntries.h"
#include "usage/window/UsageWindow.h"

#include <QTimer>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

class QChartView;
class QComboBox;
class QDateEdit;
class QKeyEvent;
class QLabel;
class QPushButton;
class QTabWidget;
class QTableWidget;
class QTableWidgetItem;

namespace pulo {

class TfrmUsage final : public TUsageWindow
{
    Q_OBJECT

public:
    explicit TfrmUsage(TUsageHost host, QWidget* parent = nullptr);

    void Refresh() override;
    // Saves the chart on show (PNG or SVG by the name's ending) or the period's connections (CSV
    // or JSON); false when the file could not be written.
    bool SaveChart(const QString& path);
    bool SaveConnections(const QString& path);

    QLabel* lblSummary = nullptr;
    QTabWidget* UsageTabs = nullptr;
    QWidget* pagePeriod = nullptr;      // the first tab: the two charts of this period
    QChartView* chartPeriod = nullptr;  // day by day
    QChartView* chartCounted = nullptr; // what the limit counts, so far and at this pace
    QChartView* chartPeriods = nullptr;
    QTableWidget* tblConnections = nullptr;
    QWidget* pageCorrections = nullptr;
    QTableWidget* tblCorrections = nullptr; // this period's corrections to the provider's meter
    QPushButton* btnRemoveCorrection = nullptr;
    QTableWidget* tblPacks = nullptr; // this period's add-on packs
    QPushButton* btnRemovePack = nullptr;
    QWidget* pagePrograms = nullptr;
    QComboBox* cmbProgramsScope = nullptr; // this period, this connection, a day, a chosen connection
    QDateEdit* dateProgramsDay = nullptr;
    QLabel* lblProgramsReason = nullptr; // why no program is counted now, and what to do
    QLabel* lblHeldBack = nullptr;       // what the data saver holds back now, or why it cannot
    QTableWidget* tblPrograms = nullptr;
    QChartView* chartPrograms = nullptr;
    QPushButton* btnSaveChart = nullptr;
    QPushButton* btnSaveConnections = nullptr;
    QPushButton* btnClose = nullptr;

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void DrawPeriod(const TPlanStatus& status, const std::vector<TUsageBar>& days);
    void DrawCounted(const TPlanStatus& status, const std::vector<TUsageBar>& days);
    void DrawPeriods(const TPlanStatus& status);
    void FillConnections(const TPlanStatus& status);
    void FillCorrections(const TPlanStatus& status);
    void MakeProgramsPage();
    void FillPrograms();
    // The Hold back column: a box to tick for each program's executable, and since when it is held.
    void ShowHolds(const std::vector<TProgramRow>& rows);
    void HoldChanged(QTableWidgetItem* item);
    void AskAndSaveChart();
    void AskAndSaveConnections();

    TUsageHost Host;
    const THistoryStore NoHistory{QString()}; // stands in, empty, while there is no history
    QTimer Live;
    std::vector<TUsageConnection> Shown;
    std::vector<TUsageAdjustment> Corrections;
    std::vector<TPack> ShownPacks;
    std::int64_t ChosenProgramsConnection = 0;
    std::unique_ptr<TDesktopEntries> Entries; // read when the Programs tab is first filled
};

} // namespace pulo
