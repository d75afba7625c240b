// The usage history beside the seed's files: opened (and the log imported into it once) at
// start, a row per connection written at its start, at least every five minutes while it lasts
// and at its end. The writes wait on the recorder's thread while the history cannot take them,
// reported once; the settings file and the log go on as before.

#include "app/Unit1.h"
#include "common/AlarmColor.h"
#include "common/ErrorBoundary.h"
#include "common/PuloError.h"
#include "desktop/Notifications.h"
#include "settings/FileLocations.h"
#include "settings/LogFile.h"
#include "settings/SavePosition.h"
#include "usage/HistoryRecorder.h"
#include "usage/HistoryStore.h"
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
        services.HistoryRetryMs);
    History->OnMessage = [this](const QString& message) {
        HistoryProblem = message;
        Notice(TNotice::History, QStringLiteral("Usage history"), message);
        if (frmUsage)
            frmUsage->Refresh();
    };
    History->OnWritten = [this] {
        if (History->Problem().isEmpty())
            HistoryProblem.clear();
    };
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
    HistoryConnection = History->Begin(Moment(ConnectStart), ActiveEntryName, ActiveDeviceName);
    LastHistoryWrite = Now();
}

void TForm1::WriteHistory(bool ended)
{
    if (!History || HistoryConnection == 0)
        return;
    const TDateTime now = Now();
    if (!ended && now - LastHistoryWrite < HistoryWriteDays)
        return;
    LastHistoryWrite = now;
    History->Update(HistoryConnection, Moment(now), static_cast<std::int64_t>(StatsXmit),
                    static_cast<std::int64_t>(StatsRecv), ended);
    if (ended)
        HistoryConnection = 0;
}

void TForm1::Usage1Click()
{
    if (!frmUsage) {
        TUsageHost host;
        host.History = [this] { return HistoryReader(); };
        host.BillingDay = [this] { return Plan.BillingDay; };
        host.Status = [this] { return PlanNow(); };
        host.Online = [this] { return IsOnline(); };
        host.Now = [] { return ToQDateTime(Now()); };
        frmUsage = std::make_unique<TfrmUsage>(host);
        RestoreWindowPosition(*frmUsage, UsagePlacementSection);
        frmUsage->OnClose = [this] { RunGuarded([this] { SaveWindowPosition(*frmUsage, UsagePlacementSection); }); };
    }
    // The figures of the connection in progress, as of now; a history that is busy is shown as it
    // stands rather than keeping the window from opening.
    LastHistoryWrite = 0;
    WriteHistory(false);
    if (History)
        History->Flush(250);
    frmUsage->show();
    frmUsage->raise();
    frmUsage->activateWindow();
}

} // namespace pulo
