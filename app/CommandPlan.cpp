#include "app/CommandPlan.h"

#include "app/CommandOutput.h"
#include "app/PlanTariff.h"
#include "common/AlarmColor.h"
#include "common/AmountText.h"
#include "common/PuloError.h"
#include "common/TSettings.h"
#include "desktop/SingleInstance.h"
#include "platform/Ras.h"
#include "settings/FileLocations.h"
#include "settings/PlanSettings.h"
#include "settings/Settings.h"
#include "sources/KZIntDet.h"

#include <QJsonDocument>
#include <QJsonObject>

#include <cstring>

namespace pulo::cli {

namespace {

// The connection the system has up now, as the program's detector sees it; its entry.
std::optional<QString> OnlineEntry()
{
    TKZInternetDetect detector;
    detector.Poll();
    if (!detector.Connected())
        return std::nullopt;
    win::RASCONNA records[1] = {};
    records[0].dwSize = sizeof(win::RASCONNA);
    win::DWORD size = sizeof records;
    win::DWORD count = 0;
    if (win::RasEnumConnectionsA(records, &size, &count) != 0 || count == 0)
        return QString();
    return QString::fromLocal8Bit(
        records[0].szEntryName, static_cast<qsizetype>(strnlen(records[0].szEntryName, sizeof records[0].szEntryName)));
}

// The data saver as the files have it: its mode, and whether the plan runs short now ("Not today"
// as the history keeps it).
void DataSaverFromFiles(TStatusReport& report, const THistoryStore& history, const QDate& today)
{
    const TPlanSettings plan = ReadPlanSettings();
    TDataSaver saver;
    saver.SetMode(static_cast<TDataSaverMode>(plan.DataSaver));
    if (history.IsOpen())
        saver.Restore(history.Fact(QStringLiteral("data_saver_not_today")));
    (void)saver.Follow(report.Plan, plan.Thresholds, today);
    report.DataSaver = saver.State();
    report.HeldBack = plan.HeldBack;
}

} // namespace

std::optional<TStatusReport> LiveReport(const std::optional<QByteArray>& live)
{
    if (!live)
        return std::nullopt;
    return ReportFromJson(QJsonDocument::fromJson(*live).object());
}

TPlanKeeper KeeperFromFiles(const QDateTime& now, const THistoryStore& history)
{
    TSettings settings;
    ReadSettings(settings, WithNIC::No);
    const TPlanSettings plan = ReadPlanSettings();
    TMonthTotals totals;
    ReadMonthTotals(totals);
    TPlanKeeper keeper;
    keeper.SetTotals(totals);
    keeper.SetPlan(PeriodRuleOf(plan), plan.CountsBoth, DownloadLimitBytes(settings.MaximumMB, settings.MaxMBAlarm));
    keeper.SetTariff(TariffOf(plan));
    if (history.IsOpen())
        keeper.ReadHistory(history, now);
    return keeper;
}

TStatusReport Report()
{
    if (const std::optional<TStatusReport> live = LiveReport(AskRunningCopyForStatus(SettingsPath())))
        return *live;
    const QDateTime now = QDateTime::currentDateTime();
    THistoryStore history(ProgramFilePath(QStringLiteral(".sqlite")));
    (void)history.Open(THistoryStore::TAccess::ReadOnly);
    TStatusReport report;
    report.Plan = KeeperFromFiles(now, history).Status(now);
    DataSaverFromFiles(report, history, now.date());
    if (const std::optional<QString> entry = OnlineEntry()) {
        report.Online = true;
        report.Entry = *entry;
    }
    return report;
}

// The provider's figure for this period: to the running copy, which keeps it, or into the history.
// A figure over ten times the limit is most likely a slip of the unit (TB for GB): it is set only
// when the user says so.
int SetUsed(std::int64_t bytes, bool force)
{
    if (!force) {
        TSettings settings;
        ReadSettings(settings, WithNIC::No);
        const std::optional<std::int64_t> limit = DownloadLimitBytes(settings.MaximumMB, settings.MaxMBAlarm);
        if (limit && bytes / 10 > *limit)
            return Refuse(UsageError, QStringLiteral("--set-used: %1 is over ten times your limit of %2; give --force "
                                                     "to set it all the same")
                                          .arg(InUnit(bytes, UnitFor(bytes)), InUnit(*limit, UnitFor(*limit))));
    }
    // The moment names the figure: should the copy take the request after this gives up waiting,
    // the history still holds it once.
    QDateTime now = QDateTime::currentDateTime();
    now = now.addMSecs(-now.time().msec());
    if (const std::optional<TStatusReport> live =
            LiveReport(TellRunningCopyTheProvidersFigure(SettingsPath(), bytes, now)))
        return Answer(stdout, ReportLine(*live).toUtf8() + '\n');
    THistoryStore history(ProgramFilePath(QStringLiteral(".sqlite")));
    if (!history.Open(THistoryStore::TAccess::ReadWrite))
        return Refuse(Failure, history.Problem());
    TPlanKeeper keeper = KeeperFromFiles(now, history);
    if (history.AddAdjustment(keeper.Correct(now, bytes)) == 0)
        return Refuse(Failure, history.Problem());
    TStatusReport report;
    report.Plan = keeper.Status(now);
    return Answer(stdout, ReportLine(report).toUtf8() + '\n');
}

// An add-on pack: to the running copy, which keeps it, or into the history.
int AddPack(std::int64_t bytes, const std::optional<QDate>& until)
{
    if (const std::optional<TStatusReport> live =
            LiveReport(TellRunningCopyThePack(SettingsPath(), bytes, until.value_or(QDate()))))
        return Answer(stdout, ReportLine(*live).toUtf8() + '\n');
    const QDateTime now = QDateTime::currentDateTime();
    THistoryStore history(ProgramFilePath(QStringLiteral(".sqlite")));
    if (!history.Open(THistoryStore::TAccess::ReadWrite))
        return Refuse(Failure, history.Problem());
    TPlanKeeper keeper = KeeperFromFiles(now, history);
    const TPack pack = keeper.AddPack(now, bytes, until);
    if (history.AddPack(pack, keeper.Status(now).Period.First) == 0)
        return Refuse(Failure, history.Problem());
    TStatusReport report;
    report.Plan = keeper.Status(now);
    return Answer(stdout, ReportLine(report).toUtf8() + '\n');
}

// The data saver's mode, on the running copy, or in the settings file for the next start; its
// state after it.
int SetDataSaver(TDataSaverMode mode)
{
    const char* asked = mode == TDataSaverMode::Off ? "off" : mode == TDataSaverMode::Always ? "on" : "auto";
    const auto told = [&](const TStatusReport& report) {
        const bool taken = mode == TDataSaverMode::Off      ? report.DataSaver == QLatin1String("off")
                           : mode == TDataSaverMode::Always ? report.DataSaver == QLatin1String("on")
                                                            : report.DataSaver.startsWith(QLatin1String("auto-"));
        if (!taken)
            return Refuse(Failure, QStringLiteral("--data-saver: the running PuloPro could not write its settings "
                                                  "file; the data saver stays %1")
                                       .arg(report.DataSaver));
        return Answer(stdout, QStringLiteral("Data saver: %1\n").arg(report.DataSaver).toUtf8());
    };
    if (const std::optional<TStatusReport> live =
            LiveReport(TellRunningCopyTheDataSaver(SettingsPath(), static_cast<int>(mode))))
        return told(*live);
    try {
        WriteDataSaver(static_cast<int>(mode));
    } catch (const PuloError& error) {
        return Refuse(Failure, QStringLiteral("--data-saver %1: %2").arg(QString::fromLatin1(asked), error.Message()));
    }
    return told(Report());
}

} // namespace pulo::cli
