// The usage history beside the seed's files: opened (and the log imported into it once) at
// start, a row per connection written at its start, at least every five minutes while it lasts
// and at its end. A history that cannot be written is reported once; the settings file and the
// log go on as before.

#include "app/Unit1.h"
#include "common/AlarmColor.h"
#include "common/ErrorBoundary.h"
#include "common/PuloError.h"
#include "settings/FileLocations.h"
#include "settings/LogFile.h"
#include "settings/SavePosition.h"
#include "usage/HistoryStore.h"
#include "usage/LogImport.h"
#include "usage/window/frmUsage.h"

namespace pulo {

namespace {

// The Usage window's place and size, kept as the main window's are.
constexpr const char* UsagePlacementSection = "UsagePlacement";

// The figures of the connection in progress are written at least this often.
constexpr double HistoryWriteDays = 300.0 / 86400;

QDateTime Moment(TDateTime value)
{
    const QDateTime local = ToQDateTime(value);
    return local.toOffsetFromUtc(local.offsetFromUtc());
}

} // namespace

void TForm1::OpenHistory()
{
    auto store = std::make_unique<THistoryStore>(ProgramFilePath(QStringLiteral(".sqlite")));
    const bool opened = store->Open(THistoryStore::TAccess::ReadWrite);
    if (!store->Problem().isEmpty())
        ShowErrorMessage(store->Problem());
    if (!opened)
        return;
    store->CloseAbandoned();
    if (store->IsEmpty())
        ImportLogInto(*store);
    History = std::move(store);
}

void TForm1::ImportLogInto(THistoryStore& store)
{
    QStringList lines;
    try {
        lines = LoadLog();
    } catch (const PuloError&) {
        return; // no log to import, or none that can be read: the history starts empty
    }
    const TLogImport import = ImportLogLines(lines);
    if (!import.Connections.empty())
        store.AddFinished(import.Connections);
    if (import.Unreadable > 0)
        ShowErrorMessage(QStringLiteral("%1 lines of the log could not be read as connections and were not taken "
                                        "into the usage history.")
                             .arg(import.Unreadable));
}

void TForm1::HistoryConnectionBegins()
{
    if (!History)
        return;
    HistoryConnection = History->BeginConnection(Moment(ConnectStart), ActiveEntryName, ActiveDeviceName);
    LastHistoryWrite = Now();
    if (HistoryConnection == 0)
        HistoryFailed();
}

void TForm1::WriteHistory(bool ended)
{
    if (!History || HistoryConnection == 0)
        return;
    const TDateTime now = Now();
    if (!ended && now - LastHistoryWrite < HistoryWriteDays)
        return;
    LastHistoryWrite = now;
    if (!History->UpdateConnection(HistoryConnection, Moment(now), static_cast<std::int64_t>(StatsXmit),
                                   static_cast<std::int64_t>(StatsRecv), ended))
        HistoryFailed();
    if (ended)
        HistoryConnection = 0;
}

void TForm1::Usage1Click()
{
    if (!frmUsage) {
        TUsageHost host;
        host.History = [this] { return History.get(); };
        host.BillingDay = [this] { return Plan.BillingDay; };
        host.CountsBoth = [this] { return Plan.CountsBoth; };
        host.Limit = [this] { return DownloadLimitBytes(Settings.MaximumMB, Settings.MaxMBAlarm); };
        host.Online = [this] { return IsOnline(); };
        host.Now = [] { return ToQDateTime(Now()); };
        frmUsage = std::make_unique<TfrmUsage>(host);
        RestoreWindowPosition(*frmUsage, UsagePlacementSection);
        frmUsage->OnClose = [this] { RunGuarded([this] { SaveWindowPosition(*frmUsage, UsagePlacementSection); }); };
    }
    // The figures of the connection in progress, as of now.
    LastHistoryWrite = 0;
    WriteHistory(false);
    frmUsage->show();
    frmUsage->raise();
    frmUsage->activateWindow();
}

void TForm1::HistoryFailed()
{
    // Said once; from then on the program keeps to the settings file and the log.
    if (History)
        ShowErrorMessage(History->Problem() + QStringLiteral(" The settings file and the log are still written."));
    History.reset();
    HistoryConnection = 0;
}

} // namespace pulo
