#include "app/CommandLine.h"

#include "app/PlanTariff.h"
#include "common/AlarmColor.h"
#include "common/AmountText.h"
#include "common/BuildInfo.h"
#include "common/ClockText.h"
#include "common/PuloError.h"
#include "common/TSettings.h"
#include "desktop/SingleInstance.h"
#include "platform/Ras.h"
#include "settings/FileLocations.h"
#include "settings/PlanSettings.h"
#include "settings/Settings.h"
#include "sources/KZIntDet.h"
#include "usage/DataSaver.h"
#include "usage/Export.h"
#include "usage/HistoryStore.h"
#include "usage/PlanStatus.h"
#include "usage/ProgramsReport.h"
#include "usage/StatusFormats.h"
#include "usage/StatusReport.h"
#include "usage/UsageFigures.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocale>
#include <QRegularExpression>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>

namespace pulo {

namespace {

constexpr int Success = 0;
constexpr int Failure = 1;
constexpr int UsageError = 2;
// --check: past a threshold of the download limit, past the limit itself.
constexpr int PastThreshold = 3;
constexpr int PastLimit = 4;

// Why the last write to standard output failed.
int WriteError = 0;

// Standard output was closed when the program started.
bool OutputClosed = false;

// False when not all of it reached the stream (a closed output, a full disk).
[[nodiscard]] bool Write(std::FILE* stream, const QByteArray& text)
{
    if (stream == stdout && OutputClosed)
        return false;
    errno = 0;
    const std::size_t written = std::fwrite(text.constData(), 1, static_cast<std::size_t>(text.size()), stream);
    const bool complete =
        std::fflush(stream) == 0 && written == static_cast<std::size_t>(text.size()) && std::ferror(stream) == 0;
    if (!complete && stream == stdout)
        WriteError = errno != 0 ? errno : EIO;
    return complete;
}

int Refuse(int status, const QString& message)
{
    (void)Write(stderr, QStringLiteral("%1: %2\n").arg(QCoreApplication::applicationName(), message).toUtf8());
    return status;
}

int OutputFailed()
{
    return Refuse(
        Failure,
        QStringLiteral("cannot write to standard output: %1").arg(QString::fromLocal8Bit(std::strerror(WriteError))));
}

// What the program printed is its answer: one that did not all get out is a failure.
int Answer(std::FILE* stream, const QByteArray& text)
{
    return Write(stream, text) ? Success : OutputFailed();
}

// A value echoed in a message is cut short: it may be anything a script passed.
QString Shown(const QString& value)
{
    constexpr qsizetype Longest = 40;
    return value.size() <= Longest ? value : value.left(Longest) + QStringLiteral("...");
}

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

// While a copy runs on this settings file its live figures (the connection in progress
// included); otherwise the files' (the month totals, and a line that is up without PuloPro
// counting it).
std::optional<TStatusReport> LiveReport(const std::optional<QByteArray>& live)
{
    if (!live)
        return std::nullopt;
    return ReportFromJson(QJsonDocument::fromJson(*live).object());
}

// The plan as the files have it: the month totals, today's use and the provider's figure from the
// history (none yet reads as nothing used and nothing corrected).
TPlanKeeper KeeperFromFiles(const QDateTime& now, const THistoryStore& history)
{
    TSettings settings;
    ReadSettings(settings, WithNIC::No);
    const TPlanSettings plan = ReadPlanSettings();
    TMonthTotals totals;
    ReadMonthTotals(totals);
    TPlanKeeper keeper;
    keeper.SetTotals(totals);
    keeper.SetPlan(plan.BillingDay, plan.CountsBoth, DownloadLimitBytes(settings.MaximumMB, settings.MaxMBAlarm));
    keeper.SetTariff(TariffOf(plan));
    if (history.IsOpen())
        keeper.ReadHistory(history, now);
    return keeper;
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

// How the status is printed.
enum class TStatusForm
{
    Line,
    Json,
    Waybar,
    OneLine,
    Check, // nothing printed: the exit status says it
};

int Status(TStatusForm form)
{
    const TStatusReport report = Report();
    const std::vector<int> thresholds = ReadPlanSettings().Thresholds;
    switch (form) {
    case TStatusForm::Json:
        return Answer(stdout, StatusJson(report));
    case TStatusForm::Waybar:
        return Answer(stdout, QJsonDocument(WaybarJson(report, thresholds)).toJson(QJsonDocument::Compact) + '\n');
    case TStatusForm::OneLine:
        return Answer(stdout, OneLine(report));
    case TStatusForm::Check:
        switch (LevelOf(report.Plan, thresholds)) {
        case TPlanLevel::Within:
            return Success;
        case TPlanLevel::Threshold:
            return PastThreshold;
        case TPlanLevel::Past:
            return PastLimit;
        }
        return Success;
    case TStatusForm::Line:
        break;
    }
    return Answer(stdout, ReportLine(report).toUtf8() + '\n');
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

// The history day by day this period up to today, or period by period over the last twelve.
int History(bool byPeriod, bool json)
{
    THistoryStore history(ProgramFilePath(QStringLiteral(".sqlite")));
    if (QFileInfo::exists(history.Path()) && !history.Open(THistoryStore::TAccess::ReadOnly))
        return Refuse(Failure, history.Problem());
    const QDate today = QDate::currentDate();
    const int billingDay = ReadPlanSettings().BillingDay;
    std::vector<TUsageBar> bars = byPeriod ? PeriodBars(history, today, billingDay, 12, TBarRows::Finished)
                                           : DayBars(history, PeriodOf(today, billingDay), TBarRows::Finished);
    // None to come, and none from before the history began: it knows nothing of them.
    std::optional<QDate> began;
    history.ForEachConnection(std::numeric_limits<std::int64_t>::min(), std::numeric_limits<std::int64_t>::max(),
                              [&](const TUsageConnection& first) {
                                  began = first.Start.toLocalTime().date();
                                  return false;
                              });
    std::erase_if(bars, [&](const TUsageBar& bar) { return bar.First > today || !began || bar.End <= *began; });
    if (json)
        return Answer(stdout, BarsJson(bars));
    const QDateTime now = QDateTime::currentDateTime();
    return Answer(stdout, BarsText(bars) + EstimateLine(KeeperFromFiles(now, history).Status(now)));
}

// Which programs used the line this period, on a day, or in a connection (counted from 1, oldest
// first, as --export lists them). A running copy writes the connection in progress first.
int Programs(const std::optional<QDate>& day, std::optional<qlonglong> connection, bool json)
{
    const std::optional<QByteArray> live = AskRunningCopyToWriteItsPrograms(SettingsPath());
    const QString problem = live ? QString::fromUtf8(live->mid(3)).trimmed() : QString();
    THistoryStore history(ProgramFilePath(QStringLiteral(".sqlite")));
    if (QFileInfo::exists(history.Path()) && !history.Open(THistoryStore::TAccess::ReadOnly))
        return Refuse(Failure, history.Problem());
    std::vector<TProgramRow> rows;
    QString title;
    if (connection) {
        qlonglong number = 0;
        std::optional<TUsageConnection> found;
        history.ForEachConnection(std::numeric_limits<std::int64_t>::min(), std::numeric_limits<std::int64_t>::max(),
                                  [&](const TUsageConnection& each) {
                                      if (++number == *connection)
                                          found = each;
                                      return !found;
                                  });
        if (!found)
            return Refuse(UsageError, QStringLiteral("--connection: there is no connection %1 (the history has %2)")
                                          .arg(*connection)
                                          .arg(number));
        rows = history.ProgramsOf(found->Id);
        title = QStringLiteral("Connection %1, %2 from %3")
                    .arg(*connection)
                    .arg(found->Entry, found->Start.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")));
    } else {
        const QDate today = QDate::currentDate();
        const TBillingPeriod period = PeriodOf(today, ReadPlanSettings().BillingDay);
        const QDate first = day ? *day : period.First;
        const QDate last = day ? *day : std::min(today, period.End.addDays(-1));
        rows = history.ProgramsOn(first, last);
        title =
            day ? day->toString(Qt::ISODate)
                : QStringLiteral("This period, %1 to %2").arg(first.toString(Qt::ISODate), last.toString(Qt::ISODate));
    }
    if (json)
        return Answer(stdout, ProgramsJson(rows));
    QByteArray text = title.toUtf8() + '\n';
    text +=
        rows.empty() ? QByteArray("No program figures: nothing was counted per program then.\n") : ProgramsText(rows);
    if (!problem.isEmpty())
        text += QStringLiteral("Not everything is counted by program now: %1.\n").arg(problem).toUtf8();
    return Answer(stdout, text);
}

// A day of the common era as YYYY-MM-DD, nothing else.
std::optional<QDate> DateOption(const QString& text)
{
    static const QRegularExpression day(QStringLiteral("^[0-9]{4}-[0-9]{2}-[0-9]{2}$"));
    if (!day.match(text).hasMatch())
        return std::nullopt;
    const QDate date = QDate::fromString(text, QStringLiteral("yyyy-MM-dd"));
    return date.isValid() && date.year() >= 1 ? std::optional<QDate>(date) : std::nullopt;
}

// The connections of [from, to) written as they are read, or which programs used each.
int Export(const THistoryStore& history, TExportFormat::TKind kind, bool programs, std::int64_t from, std::int64_t to)
{
    TExportFormat format(kind, programs ? TExportFormat::TContent::Programs : TExportFormat::TContent::Connections);
    if (!Write(stdout, format.Begin()))
        return OutputFailed();
    bool written = true;
    const bool read = history.ForEachConnection(from, to, [&](const TUsageConnection& connection) {
        if (!programs)
            return written = Write(stdout, format.Row(connection));
        for (const TProgramRow& row : history.ProgramDaysOf(connection.Id))
            if (!(written = Write(stdout, format.Row(connection, row))))
                break;
        return written;
    });
    if (!written)
        return OutputFailed();
    // No history yet reads as an empty one.
    if (!read && history.IsOpen())
        return Refuse(Failure, QStringLiteral("the usage history %1 could not be read").arg(history.Path()));
    return Answer(stdout, format.End());
}

} // namespace

bool WantsCommandLine(int argc, char** argv)
{
    for (int i = 1; i < argc; ++i) {
        // Qt's own options for the window (-platform, -style ...) take one dash.
        if (std::strncmp(argv[i], "--", 2) == 0 || std::strcmp(argv[i], "-h") == 0 || std::strcmp(argv[i], "-v") == 0)
            return true;
    }
    return false;
}

int RunCommandLine(const QStringList& arguments, bool outputClosed)
{
    if (outputClosed) {
        OutputClosed = true;
        WriteError = EBADF;
    }
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("PuloPro watches a dial-up style Internet connection. Without options it starts its window."));
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption version = parser.addVersionOption();
    const QCommandLineOption status(QStringLiteral("status"),
                                    QStringLiteral("One line: online or not, this billing period's totals, the limit "
                                                   "used, days left and the forecast."));
    const QCommandLineOption json(QStringLiteral("json"),
                                  QStringLiteral("The status as a JSON object (or --days and --months as JSON)."));
    const QCommandLineOption waybar(QStringLiteral("waybar"),
                                    QStringLiteral("The status as a status bar's custom module: text, tooltip, class "
                                                   "(ok, warning, critical) and percentage."));
    const QCommandLineOption oneline(QStringLiteral("oneline"),
                                     QStringLiteral("The status as one line of ;-separated fields, its format's "
                                                    "version first."));
    const QCommandLineOption check(QStringLiteral("check"),
                                   QStringLiteral("Prints nothing; exits 0 within the limit, 3 past a threshold, 4 "
                                                  "past the limit."));
    const QCommandLineOption setUsed(QStringLiteral("set-used"),
                                     QStringLiteral("What the provider's meter says this billing period counts, such "
                                                    "as 3.2GB or 800MB: every figure follows it from now on."),
                                     QStringLiteral("amount"));
    const QCommandLineOption force(QStringLiteral("force"),
                                   QStringLiteral("With --set-used: a figure over ten times the limit is set too."));
    const QCommandLineOption days(QStringLiteral("days"), QStringLiteral("This billing period's history, day by day."));
    const QCommandLineOption months(QStringLiteral("months"),
                                    QStringLiteral("The last twelve billing periods' history, period by period."));
    const QCommandLineOption exportFormat(QStringLiteral("export"),
                                          QStringLiteral("The connections to standard output, as csv or json."),
                                          QStringLiteral("format"));
    const QCommandLineOption from(QStringLiteral("from"), QStringLiteral("Export from this day on."),
                                  QStringLiteral("YYYY-MM-DD"));
    const QCommandLineOption to(QStringLiteral("to"), QStringLiteral("Export up to this day, included."),
                                QStringLiteral("YYYY-MM-DD"));
    const QCommandLineOption apps(QStringLiteral("apps"),
                                  QStringLiteral("Which programs used the line this period (--json: as JSON); "
                                                 "with --export, which programs used each connection."));
    const QCommandLineOption appsDay(QStringLiteral("day"), QStringLiteral("With --apps: on this day."),
                                     QStringLiteral("YYYY-MM-DD"));
    const QCommandLineOption appsConnection(
        QStringLiteral("connection"),
        QStringLiteral("With --apps: in this connection, counted from 1 as --export lists them."), QStringLiteral("N"));
    const QCommandLineOption dataSaver(QStringLiteral("data-saver"),
                                       QStringLiteral("The data saver: on, off, or auto (on while the plan runs "
                                                      "short); on the running PuloPro, else from its next start."),
                                       QStringLiteral("mode"));
    const QCommandLineOption addPack(QStringLiteral("add-pack"),
                                     QStringLiteral("An add-on pack bought now, such as 5GB, counted from now to the "
                                                    "end of the period, or of the day --until gives."),
                                     QStringLiteral("amount"));
    const QCommandLineOption until(QStringLiteral("until"), QStringLiteral("With --add-pack: its last day."),
                                   QStringLiteral("YYYY-MM-DD"));
    parser.addOptions({status, json, waybar, oneline, check, setUsed, force, days, months, exportFormat, from, to, apps,
                       appsDay, appsConnection, dataSaver, addPack, until});
    if (!parser.parse(arguments))
        return Refuse(UsageError, parser.errorText());
    if (parser.isSet(help))
        return Answer(stdout, parser.helpText().toUtf8());
    if (parser.isSet(version))
        return Answer(stdout, QStringLiteral("%1 %2\n")
                                  .arg(QCoreApplication::applicationName(), QString::fromLatin1(ProgramVersion))
                                  .toUtf8());
    if (!parser.positionalArguments().isEmpty())
        return Refuse(UsageError,
                      QStringLiteral("unexpected argument: ") + Shown(parser.positionalArguments().first()));
    // One of them (--json alone is the status as JSON).
    const bool wantsStatus = parser.isSet(status) || (parser.isSet(json) && !parser.isSet(days) &&
                                                      !parser.isSet(months) && !parser.isSet(apps));
    const bool wantsExport = parser.isSet(exportFormat);
    int modes = 0;
    // --apps with --export exports which programs used each connection.
    for (const bool chosen : {wantsStatus, parser.isSet(waybar), parser.isSet(oneline), parser.isSet(check),
                              parser.isSet(setUsed), parser.isSet(days), parser.isSet(months), wantsExport,
                              parser.isSet(apps) && !wantsExport, parser.isSet(dataSaver), parser.isSet(addPack)})
        modes += chosen ? 1 : 0;
    if (modes != 1)
        return Refuse(UsageError, QStringLiteral("give one of --status, --json, --waybar, --oneline, --check, "
                                                 "--set-used, --days, --months, --export, --apps, --data-saver or "
                                                 "--add-pack; see --help"));
    if ((!parser.isSet(apps) || wantsExport) && (parser.isSet(appsDay) || parser.isSet(appsConnection)))
        return Refuse(UsageError, QStringLiteral("--day and --connection go with --apps (an export takes --from "
                                                 "and --to)"));
    if (parser.isSet(appsDay) && parser.isSet(appsConnection))
        return Refuse(UsageError, QStringLiteral("give --day or --connection, not both"));
    std::optional<QDate> programsDay;
    if (parser.isSet(appsDay)) {
        programsDay = DateOption(parser.value(appsDay));
        if (!programsDay)
            return Refuse(UsageError, QStringLiteral("--day: not a day (YYYY-MM-DD): ") + Shown(parser.value(appsDay)));
    }
    std::optional<qlonglong> programsConnection;
    if (parser.isSet(appsConnection)) {
        bool number = false;
        programsConnection = parser.value(appsConnection).toLongLong(&number);
        if (!number || *programsConnection < 1)
            return Refuse(UsageError, QStringLiteral("--connection: not a connection's number (1, 2 ...): ") +
                                          Shown(parser.value(appsConnection)));
    }
    if (!wantsExport && (parser.isSet(from) || parser.isSet(to)))
        return Refuse(UsageError, QStringLiteral("--from and --to go with --export"));

    std::optional<std::int64_t> providersFigure;
    if (parser.isSet(setUsed)) {
        providersFigure = AmountBytes(parser.value(setUsed));
        if (!providersFigure)
            return Refuse(UsageError, QStringLiteral("--set-used: not an amount such as 3.2GB or 800MB: ") +
                                          Shown(parser.value(setUsed)));
        if (*providersFigure > MostProviderBytes)
            return Refuse(UsageError, QStringLiteral("--set-used: more than any line could carry (1000 TB): ") +
                                          Shown(parser.value(setUsed)));
    }
    std::optional<TDataSaverMode> saverMode;
    if (parser.isSet(dataSaver)) {
        const QString mode = parser.value(dataSaver).toLower();
        if (mode == QLatin1String("on"))
            saverMode = TDataSaverMode::Always;
        else if (mode == QLatin1String("off"))
            saverMode = TDataSaverMode::Off;
        else if (mode == QLatin1String("auto"))
            saverMode = TDataSaverMode::WhenShort;
        else
            return Refuse(UsageError,
                          QStringLiteral("--data-saver takes on, off or auto, not ") + Shown(parser.value(dataSaver)));
    }
    std::optional<std::int64_t> packBytes;
    std::optional<QDate> packUntil;
    if (parser.isSet(until) && !parser.isSet(addPack))
        return Refuse(UsageError, QStringLiteral("--until goes with --add-pack"));
    if (parser.isSet(addPack)) {
        packBytes = AmountBytes(parser.value(addPack));
        if (!packBytes || *packBytes <= 0 || *packBytes > MostProviderBytes)
            return Refuse(UsageError, QStringLiteral("--add-pack: not an amount such as 5GB or 500MB: ") +
                                          Shown(parser.value(addPack)));
        if (parser.isSet(until)) {
            packUntil = DateOption(parser.value(until));
            if (!packUntil || *packUntil < QDate::currentDate())
                return Refuse(UsageError, QStringLiteral("--until: not a day from today on (YYYY-MM-DD): ") +
                                              Shown(parser.value(until)));
        }
    }
    ChooseFileLocation();
    if (packBytes)
        return AddPack(*packBytes, packUntil);
    if (saverMode)
        return SetDataSaver(*saverMode);
    if (providersFigure)
        return SetUsed(*providersFigure, parser.isSet(force));
    if (wantsStatus)
        return Status(parser.isSet(json) ? TStatusForm::Json : TStatusForm::Line);
    if (parser.isSet(waybar))
        return Status(TStatusForm::Waybar);
    if (parser.isSet(oneline))
        return Status(TStatusForm::OneLine);
    if (parser.isSet(check))
        return Status(TStatusForm::Check);
    if (parser.isSet(days) || parser.isSet(months))
        return History(parser.isSet(months), parser.isSet(json));
    if (parser.isSet(apps) && !wantsExport)
        return Programs(programsDay, programsConnection, parser.isSet(json));
    THistoryStore history(ProgramFilePath(QStringLiteral(".sqlite")));
    const bool exists = QFileInfo::exists(history.Path());
    if (exists && !history.Open(THistoryStore::TAccess::ReadOnly))
        return Refuse(Failure, history.Problem());

    const QString format = parser.value(exportFormat).toLower();
    if (format != QStringLiteral("csv") && format != QStringLiteral("json"))
        return Refuse(UsageError,
                      QStringLiteral("--export takes csv or json, not ") + Shown(parser.value(exportFormat)));
    // Without --from or --to the range has no end on that side.
    std::int64_t start = std::numeric_limits<std::int64_t>::min();
    std::int64_t end = std::numeric_limits<std::int64_t>::max();
    if (parser.isSet(from)) {
        const std::optional<QDate> day = DateOption(parser.value(from));
        if (!day)
            return Refuse(UsageError, QStringLiteral("--from: not a day (YYYY-MM-DD): ") + Shown(parser.value(from)));
        start = day->startOfDay().toSecsSinceEpoch();
    }
    if (parser.isSet(to)) {
        const std::optional<QDate> day = DateOption(parser.value(to));
        if (!day)
            return Refuse(UsageError, QStringLiteral("--to: not a day (YYYY-MM-DD): ") + Shown(parser.value(to)));
        end = day->addDays(1).startOfDay().toSecsSinceEpoch();
    }
    if (start >= end)
        return Refuse(UsageError, QStringLiteral("--from is after --to"));
    if (parser.isSet(apps))
        (void)AskRunningCopyToWriteItsPrograms(SettingsPath());
    return Export(history, format == QStringLiteral("csv") ? TExportFormat::TKind::Csv : TExportFormat::TKind::Json,
                  parser.isSet(apps), start, end);
}

} // namespace pulo
