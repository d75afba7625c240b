#pragma once

// What the program knows of the Usage window. The window itself (and Qt Charts, which it draws
// with) lives in a module of its own that the program loads the first time the window is opened,
// so that a program that is never asked for it never maps those libraries.

#include "usage/HistoryStore.h"
#include "usage/PlanStatus.h"

#include <QDateTime>
#include <QString>
#include <QWidget>

#include <functional>

namespace pulo {

// What the window needs of the program.
struct TUsageHost final
{
    std::function<const THistoryStore*()> History; // none while the history cannot be used
    std::function<TPeriodRule()> PeriodRule;
    // The plan's free hours and days, whose traffic the charts show apart.
    std::function<TFreeTime()> FreeTime;
    // Where the plan stands now: the figures of the summary, the limit and the forecast.
    std::function<TPlanStatus()> Status;
    // Why the history is not being written now; empty while it is.
    std::function<QString()> Problem;
    // Takes back the correction to the provider's meter given at that moment.
    std::function<void(const QDateTime& at)> RemoveAdjustment;
    // Takes back the add-on pack added at that moment.
    std::function<void(const QDateTime& addedAt)> RemovePack;
    std::function<bool()> Online;
    std::function<QDateTime()> Now;
    // Whether connections are counted into the month totals now (the Logging setting).
    std::function<bool()> Logging;
    // Which programs used the connection in progress so far, by day; and why the per-program
    // meter did not answer when last asked (empty when it did).
    std::function<std::vector<TProgramRow>()> LivePrograms;
    std::function<QString()> MeterProblem;
    // Has the connection in progress written to the history; the window is refreshed once it is.
    std::function<void()> WriteNow;
    // The data saver: the executables it holds back while on, and choosing them; when they were
    // held back on the line (none while they are not); what kept it from doing all it should.
    std::function<std::vector<QString>()> HeldBack;
    std::function<void(const std::vector<QString>& paths)> SetHeldBack;
    std::function<QDateTime()> HeldSince;
    std::function<QString()> DataSaverProblem;
};

class TUsageWindow : public QWidget
{
public:
    using QWidget::QWidget;

    // Draws everything again from the history.
    virtual void Refresh() = 0;

    // Run once the window is closed: its place is kept.
    std::function<void()> OnClose;
};

// The module's one entry: makes the window (owned by the caller).
using TMakeUsageWindow = TUsageWindow* (*)(const TUsageHost& host);
inline constexpr char MakeUsageWindowEntry[] = "PuloMakeUsageWindow";

} // namespace pulo
