#include "app/CommandLine.h"

#include "app/CommandOutput.h"
#include "app/CommandPlan.h"
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

using namespace cli;

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

// The history day by day this period up to today, or period by period over the last twelve.
int History(bool byPeriod, bool json)
{
    THistoryStore history(ProgramFilePath(QStringLiteral(".sqlite")));
    if (QFileInfo::exists(history.Path()) && !history.Open(THistoryStore::TAccess::ReadOnly))
        return Refuse(Failure, history.Problem());
    const QDate today = QDate::currentDate();
    const QDateTime moment = QDateTime::currentDateTime();
    const TPlanSettings plan = ReadPlanSettings();
    const TPeriodRule rule = PeriodRuleOf(plan);
    std::vector<TUsageBar> bars = byPeriod ? PeriodBars(history, rule, moment, 12, TBarRows::Finished)
                                           : DayBars(history, PeriodOf(rule, moment), TBarRows::Finished);
    if (!byPeriod)
        AddFreeToDays(bars, history, FreeTimeOf(plan.FreeHours, plan.FreeDays), TBarRows::Finished);
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
        const TBillingPeriod period = PeriodOf(PeriodRuleOf(ReadPlanSettings()), QDateTime::currentDateTime());
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
        OutputWasClosed();
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
