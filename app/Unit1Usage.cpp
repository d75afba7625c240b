// The usage history beside the seed's files: opened (and the log imported into it once) at
// start, a row per connection written at its start, at least every five minutes while it lasts
// and at its end. The writes wait on the recorder's thread while the history cannot take them,
// reported once; the settings file and the log go on as before.

#include "app/LabelColor.h"
#include "app/PlanTariff.h"
#include "app/Unit1.h"
#include "app/WindowModules.h"
#include "common/AlarmColor.h"
#include "common/BillingPeriod.h"
#include "common/ErrorBoundary.h"
#include "common/PuloError.h"
#include "desktop/Notifications.h"
#include "platform/Backend.h"
#include "settings/FileLocations.h"
#include "settings/LogFile.h"
#include "settings/SavePosition.h"
#include "settings/Settings.h"
#include "usage/HistoryRecorder.h"
#include "usage/HistoryStore.h"
#include "usage/UsageFigures.h"

#include <QCoreApplication>
#include <QLabel>

namespace pulo {

namespace {

// The Usage window's place and size, kept as the main window's are.
constexpr const char* UsagePlacementSection = "UsagePlacement";

// The figures of the connection in progress are written at least this often, and the programs'
// shares of them are taken this often.
constexpr std::int64_t HistoryWriteMs = 300'000;
constexpr std::int64_t ProgramTakeMs = 5'000;

QDateTime Moment(TDateTime value)
{
    const QDateTime local = ToQDateTime(value);
    return local.toOffsetFromUtc(local.offsetFromUtc());
}

} // namespace

void TForm1::OpenHistory(const TForm1Services& services)
{
    // Opened, settled and the log taken in on the recorder's thread: nothing of it holds up the
    // window's start, and what it has to say comes as a notice once the window runs.
    History = std::make_unique<THistoryRecorder>(
        ProgramFilePath(QStringLiteral(".sqlite")),
        [] {
            try {
                return LoadLog();
            } catch (const PuloError&) {
                return QStringList(); // no log to take in, or none that can be read
            }
        },
        services.HistoryRetryMs, services.HistoryOpenAfterMs, Moment(Now()));
    History->UseMeter(win::InstalledBackend().Meter);
    History->OnMessage = [this](const QString& message) {
        Notice(TNotice::History, QStringLiteral("Usage history"), message);
        if (frmUsage)
            frmUsage->Refresh();
    };
    History->OnWritten = [this] {
        // A connection began, was written or ended: the Usage window shows it as it now stands.
        if (frmUsage && frmUsage->isVisible())
            frmUsage->Refresh();
    };
}

bool TForm1::FlushHistory(int timeoutMs)
{
    return History && History->Flush(timeoutMs);
}

const THistoryStore* TForm1::HistoryReader()
{
    // Read-only beside the writer; opened once there is a history to read.
    if (!HistoryRead || !HistoryRead->IsOpen()) {
        HistoryRead = std::make_unique<THistoryStore>(History ? History->Path() : QString());
        if (!HistoryRead->Open(THistoryStore::TAccess::ReadOnly))
            return nullptr;
    }
    return HistoryRead.get();
}

void TForm1::HistoryConnectionBegins()
{
    if (!History)
        return;
    // The first connection is the one that decides whether the user is online.
    const std::vector<win::RasLink>& links = win::InstalledBackend().Ras->Connections();
    const QString interface = links.empty() ? QString() : QString::fromStdString(links.front().Interface);
    HistoryConnection = History->Begin(ConnectClock.Running() ? ConnectClock.StartLocal() : Moment(ConnectStart),
                                       ActiveEntryName, interface, ActiveDeviceName);
    LastHistoryWrite = Uptime();
}

void TForm1::WriteHistory(bool ended)
{
    if (!History || HistoryConnection == 0)
        return;
    // Timed on the clock that is never set: a clock set back does not hold the writes up.
    const std::int64_t uptime = Uptime();
    if (!ended && LastHistoryWrite >= 0 && uptime - LastHistoryWrite < HistoryWriteMs) {
        if (uptime - LastProgramTake >= ProgramTakeMs) {
            LastProgramTake = uptime;
            History->TakePrograms(HistoryConnection, UtcNow().toLocalTime(), static_cast<std::int64_t>(StatsXmit),
                                  static_cast<std::int64_t>(StatsRecv));
        }
        return;
    }
    LastHistoryWrite = uptime;
    LastProgramTake = uptime;
    const TDateTime now = Now();
    // Moments in UTC with their offsets: a local reading is ambiguous in the hour a change of
    // daylight saving time repeats.
    FollowConnectionClock();
    const QDateTime local = UtcNow().toLocalTime();
    History->Update(HistoryConnection,
                    ConnectClock.Running() ? local.toOffsetFromUtc(local.offsetFromUtc()) : Moment(now),
                    static_cast<std::int64_t>(StatsXmit), static_cast<std::int64_t>(StatsRecv), ended,
                    ConnectClock.StartLocal(), TFreeBytes{Keeper.RunningFreeSent(), Keeper.RunningFreeReceived()});
    if (ended)
        HistoryConnection = 0;
}

QString TForm1::WriteProgramsNow()
{
    LastHistoryWrite = -1; // written now
    WriteHistory(false);
    if (!FlushHistory(500) || !History)
        return QStringLiteral("the usage history is busy");
    return History->MeterProblem();
}

void TForm1::Usage1Click()
{
    if (!frmUsage) {
        TUsageHost host;
        host.History = [this] { return HistoryReader(); };
        host.PeriodRule = [this] { return PeriodRuleOf(Plan); };
        host.FreeTime = [this] { return FreeTimeOf(Plan.FreeHours, Plan.FreeDays); };
        host.Status = [this] { return PlanNow(); };
        host.Problem = [this] { return History ? History->Problem() : QString(); };
        host.RemoveAdjustment = [this](const QDateTime& at) { RunGuarded([&] { RemoveProviderFigure(at); }); };
        host.RemovePack = [this](const QDateTime& addedAt) { RunGuarded([&] { RemovePack(addedAt); }); };
        host.Online = [this] { return IsOnline(); };
        host.Now = [] { return ToQDateTime(Now()); };
        host.Logging = [this] { return Settings.Logging; };
        host.LivePrograms = [this] {
            return History && HistoryConnection != 0 ? History->LivePrograms(HistoryConnection)
                                                     : std::vector<TProgramRow>();
        };
        host.MeterProblem = [this] { return History ? History->MeterProblem() : QString(); };
        host.WriteNow = [this] {
            LastHistoryWrite = -1; // written now; OnWritten refreshes the window
            WriteHistory(false);
        };
        host.HeldBack = [this] { return Plan.HeldBack; };
        host.SetHeldBack = [this](const std::vector<QString>& paths) { RunGuarded([&] { SetHeldBack(paths); }); };
        host.HeldSince = [this] { return HeldSince; };
        host.DataSaverProblem = [this] { return SaverProblem; };
        TUsageWindowLoad load = MakeUsageWindow(host, ModuleFolders(QCoreApplication::applicationDirPath()));
        if (!load.Window) {
            ShowErrorMessage(load.Problem);
            return;
        }
        frmUsage = std::move(load.Window);
        RestoreWindowPosition(*frmUsage, UsagePlacementSection);
        frmUsage->OnClose = [this] { RunGuarded([this] { SaveWindowPosition(*frmUsage, UsagePlacementSection); }); };
    }
    // The figures of the connection in progress, as of now; a history that is busy is shown as it
    // stands rather than keeping the window from opening.
    LastHistoryWrite = -1; // written now
    WriteHistory(false);
    if (History)
        History->Flush(250);
    frmUsage->show();
    frmUsage->raise();
    frmUsage->activateWindow();
}

void TForm1::FollowBillingPeriod()
{
    const TBillingPeriod period = PeriodOf(DateOf(Now()), Plan.BillingDay);
    if (!StartTotalsChecked) {
        // Totals stored under another period than this one, while the history holds connections
        // of this one, were counted by another billing day: one written into the file while no
        // copy ran (by hand, a restored backup, a configuration tool).
        StartTotalsChecked = true;
        if (Settings.Logging && Totals.StoredMonth != period.First.month() &&
            RecountForBillingDay(period, TRecount::WhenRecorded))
            ShowMonthTotals();
    }
    if (period.First == ShownPeriodFirst)
        return;
    const bool newBillingDay = ShownPeriodFirst.isValid() && CountedBillingDay != Plan.BillingDay;
    ShownPeriodFirst = period.First;
    CountedBillingDay = Plan.BillingDay;
    if (newBillingDay)
        RecountForBillingDay(period);
    // A new period (or the period a new billing day names): its figures and colours start from
    // what counts in it.
    TimeAlarmColor = clBlack;
    MBAlarmColor = clBlack;
    for (QLabel* label : {Label12b, Label3b, Label11b, Label6b})
        SetFontColor(label, clBlack);
    ApplyStartingColors();
    ShowMonthTotals();
}

bool TForm1::RecountForBillingDay(const TBillingPeriod& period, TRecount when)
{
    // The month totals were counted by the old billing day; the history knows every connection,
    // so the period the new day names is counted from it (the totals would otherwise start
    // again at the next connection's end and lose what came before it in the period).
    if (History)
        History->Flush(500);
    const THistoryStore* history = HistoryReader();
    if (history == nullptr)
        return false;
    const TPeriodSum recorded = HistoryOfPeriod(*history, period);
    // With nothing recorded in it the period's totals are zero until its first connection ends,
    // which restarts them as a new period does: the file stays as it is.
    if (when == TRecount::WhenRecorded && recorded.Connections == 0)
        return false;
    Totals = {recorded.Connections, static_cast<double>(recorded.Seconds),
              static_cast<double>(recorded.Received) / 1000, static_cast<double>(recorded.Sent) / 1000,
              period.First.month()};
    CurrentYear = static_cast<std::uint16_t>(period.First.year());
    CurrentMonth = static_cast<std::uint16_t>(period.First.month());
    RunGuarded([this] { WriteMonthTotals(Totals); });
    return true;
}

} // namespace pulo
