// The main window's part in keeping to the plan: today's use, the plan's warnings and the action
// at the limit, and the provider's figure (its correction kept in the history and shown).

#include "app/LabelColor.h"
#include "app/Unit1.h"
#include "common/AmountText.h"
#include "common/BillingPeriod.h"
#include "common/NumberText.h"
#include "desktop/Notifications.h"
#include "platform/Backend.h"
#include "usage/HistoryRecorder.h"
#include "usage/HistoryStore.h"
#include "usage/UsageFigures.h"
#include "usage/window/UsageWindow.h"

#include <QGroupBox>
#include <QLabel>

#include <algorithm>
#include <vector>

namespace pulo {

bool TForm1::ReadPlanFacts()
{
    if (PlanFactsRead)
        return true;
    if (const THistoryStore* history = HistoryReader()) {
        UpdateKeeper();
        Keeper.ReadHistory(*history, ToQDateTime(Now()));
        Alerts.Restore(history->Fact(QStringLiteral("plan_alerts")));
        Saver.Restore(history->Fact(QStringLiteral("data_saver_not_today")));
        UndoLeftMark(history->Fact(QStringLiteral("data_saver_mark")));
        PlanFactsRead = true;
        TakeLogLinesFromHistory(*history);
        if (Keeper.LatestAdjustment())
            ShowCorrectedFigure();
    } else if (!History || !History->Problem().isEmpty()) {
        PlanFactsRead = true; // no history to wait for: kept in memory only
    }
    return PlanFactsRead;
}

void TForm1::SetProviderFigure(std::int64_t bytes, const QDateTime& at)
{
    (void)ReadPlanFacts();
    UpdateKeeper();
    const TUsageAdjustment given = Keeper.Correct(at.isValid() ? at.toLocalTime() : ToQDateTime(Now()), bytes);
    if (History)
        History->Adjust(given);
    ShowCorrectedFigure();
}

void TForm1::AddPack(std::int64_t bytes, const std::optional<QDate>& until)
{
    (void)ReadPlanFacts();
    UpdateKeeper();
    const TPack pack = Keeper.AddPack(ToQDateTime(Now()), bytes, until);
    if (History)
        History->AddPack(pack, Keeper.Status(pack.AddedAt).Period.First);
    ShowCorrectedFigure();
}

void TForm1::RemovePack(const QDateTime& addedAt)
{
    if (History)
        History->RemovePack(addedAt);
    Keeper.RemovePack(addedAt);
    ShowCorrectedFigure();
}

void TForm1::ShowCorrectedFigure()
{
    // The download limit's colour follows the corrected figure both ways (a correction may lower
    // it); the connection in progress adds itself again at the next tick.
    MBAlarmColor = clBlack;
    for (QLabel* label : {Label11b, Label6b})
        SetFontColor(label, clBlack);
    ApplyStartingColors();
    const TPlanStatus plan = PlanNow();
    ShowTrayStatus(plan);
    ShowPlanFigure(plan);
    if (frmUsage && frmUsage->isVisible())
        frmUsage->Refresh();
}

void TForm1::ShowPlanFigure(const TPlanStatus& plan)
{
    // Also when the plan leaves free traffic out, or its period is not the month the totals are of.
    const bool free = plan.Free > 0;
    const QDate period = plan.Kind != TPeriodKind::Monthly ? plan.Period.First : QDate();
    const bool shown = plan.Correction != 0 || plan.CountsBoth || free || period.isValid();
    if (shown)
        SetFontColor(PlanFigure, MBAlarmColor);
    // Asked every second: the row is laid out and its words made again only when they change.
    const QString figure = shown ? FloatToStr(static_cast<double>(plan.Counted) / 1e6) : QString();
    const std::optional<TUsageAdjustment>& given = Keeper.LatestAdjustment();
    const QDateTime givenAt = plan.Correction != 0 && given ? given->At : QDateTime();
    if (shown == !PlanFigure->isHidden() && figure == PlanFigure->text() && givenAt == ShownPlanGiven &&
        plan.CountsBoth == ShownPlanBoth && free == ShownPlanFree && period == ShownPlanPeriod)
        return;
    ShownPlanGiven = givenAt;
    ShownPlanBoth = plan.CountsBoth;
    ShownPlanFree = free;
    ShownPlanPeriod = period;
    constexpr int groupHeight = 72;
    constexpr int rowHeight = 16;
    gbMonthTotals->resize(gbMonthTotals->width(), shown ? groupHeight + rowHeight : groupHeight);
    lblPlanFigure->setVisible(shown);
    PlanFigure->setVisible(shown);
    PlanFigure->setText(figure);
    QStringList parts;
    if (givenAt.isValid())
        parts << QStringLiteral("your provider's figure of %1 (%2) and what PuloPro counted after it")
                     .arg(QLocale::system().toString(givenAt.date(), QStringLiteral("d MMM yyyy")),
                          InUnit(given->Provider, UnitFor(given->Provider)));
    if (plan.CountsBoth)
        parts << QStringLiteral("sent and received, as your plan counts both");
    if (period.isValid())
        parts << QStringLiteral("your plan's period, since %1")
                     .arg(QLocale::system().toString(plan.Period.From(), QStringLiteral("d MMM yyyy HH:mm")));
    if (free)
        parts << QStringLiteral("without what came in your plan's free time");
    const QString tip = shown ? QStringLiteral("Megabytes your download limit counts this period: ") +
                                    parts.join(QStringLiteral("; ")) + QLatin1Char('.')
                              : QString();
    lblPlanFigure->setToolTip(tip);
    PlanFigure->setToolTip(tip);
}

void TForm1::RemoveProviderFigure(const QDateTime& at)
{
    if (History)
        History->RemoveAdjustment(at);
    Keeper.TakeBack(at, HistoryReader());
    ShowCorrectedFigure();
}

void TForm1::FollowPlanDay(const QDateTime& now)
{
    // Today's use: the program's own counting from each new day's start, and what the history
    // holds of today once it can be read.
    UpdateKeeper();
    Keeper.FollowFree(now);
    Keeper.FollowDay(now);
    Keeper.FollowPacks(now);
    // A new period, a connection's end, or a plan changed to another period, limit or rollover:
    // counted again from the history, which keeps every connection (tried again in a while when
    // the history is busy).
    const std::int64_t uptime = Uptime();
    if (ReadPlanFacts() && Keeper.NeedsHistory(now) && (PlanReadTried < 0 || uptime - PlanReadTried >= 5000)) {
        const THistoryStore* history = HistoryReader();
        if (history != nullptr && History && History->Flush(250)) {
            Keeper.ReadHistory(*history, now);
            PlanReadTried = -1;
        } else {
            PlanReadTried = uptime;
        }
    }
}

namespace {

// One of the plan's warnings due at a moment; the most pressing is given, carrying the others.
struct TPlanNotice final
{
    int Weight = 0; // the most pressing is the heaviest
    TNotice Kind = TNotice::Forecast;
    QString Summary;
    QString Body;
    TUrgency Urgency = TUrgency::Normal;
};

} // namespace

void TForm1::NoticePlanAlerts(const TPlanStatus& plan)
{
    // Until what was given before this start is known nothing is given, so nothing is given twice.
    if (!ReadPlanFacts())
        return;
    // The hang-up at the limit is due for each dial-up line up while the period is past it, once a
    // line: also when the user turns it on after the limit was passed, or dials a modem line after
    // the limit was passed on another.
    if (!plan.WithinLimit())
        HangUpAtLimit(plan);
    else if (PastDailyCap(plan))
        HangUpAtLimit(plan);
    std::vector<TPlanNotice> notices;
    // Once a period, while online and under the limit: at this pace it is reached before the
    // period ends.
    if (IsOnline() && plan.Limit && plan.WithinLimit() && !plan.ForecastWithinLimit() &&
        ForecastWarned != plan.Period.First) {
        ForecastWarned = plan.Period.First;
        notices.push_back({1, TNotice::Forecast, QStringLiteral("Download limit ahead"),
                           Capitalised(ForecastText(plan)) + QLatin1Char('.'), TUrgency::Normal});
    }
    Alerts.SetThresholds(Plan.Thresholds);
    Alerts.SetAllowanceNotice(Plan.AllowanceNotice);
    const std::vector<TPlanAlert> due = Alerts.Due(plan, DateOf(Now()));
    if (!due.empty() && History)
        History->Remember(QStringLiteral("plan_alerts"), Alerts.Given());
    const QString ofLimit =
        plan.Limit ? OfLimit(plan.Counted, *plan.Limit) + QStringLiteral(" this period.") : QString();
    for (const TPlanAlert& alert : due) {
        switch (alert.Kind) {
        case TPlanAlert::TKind::Threshold:
            if (alert.Percent >= 100)
                notices.push_back({3, TNotice::DownloadLimit, QStringLiteral("Download past the limit"), ofLimit,
                                   TUrgency::Critical});
            else
                notices.push_back({2, TNotice::DownloadLimit,
                                   QStringLiteral("Download at %1 % of the limit").arg(alert.Percent),
                                   ofLimit + QLatin1Char(' ') + Capitalised(ForecastText(plan)) + QLatin1Char('.'),
                                   TUrgency::Normal});
            break;
        case TPlanAlert::TKind::Limit:
            break; // the line's hang-up is due by itself (above); the notice is the threshold's
        case TPlanAlert::TKind::DailyCap:
            notices.push_back({3, TNotice::DownloadLimit, QStringLiteral("Past today's cap"),
                               QStringLiteral("%1 used today; your plan allows %2 a day.")
                                   .arg(InUnit(plan.UsedToday, UnitFor(plan.UsedToday)),
                                        InUnit(*plan.DailyLimit, UnitFor(*plan.DailyLimit))),
                               TUrgency::Critical});
            break;
        case TPlanAlert::TKind::Allowance:
            notices.push_back({0, TNotice::Allowance, QStringLiteral("Past today's allowance"),
                               QStringLiteral("%1 used today; %2.")
                                   .arg(InUnit(plan.UsedToday, UnitFor(plan.UsedToday)), AllowanceText(plan)),
                               TUrgency::Normal});
            break;
        }
    }
    if (notices.empty())
        return;
    // Several at one moment (at 91 %: the forecast and 80 % and 90 %) make one notification: the
    // most pressing, with what the others say that it does not.
    std::stable_sort(notices.begin(), notices.end(),
                     [](const TPlanNotice& a, const TPlanNotice& b) { return a.Weight > b.Weight; });
    TPlanNotice given = notices.front();
    for (auto other = notices.begin() + 1; other != notices.end(); ++other)
        if (!given.Body.contains(other->Body) && !(other->Kind == given.Kind && other->Weight == given.Weight))
            given.Body += QLatin1Char(' ') + (other->Kind == TNotice::Allowance
                                                  ? QStringLiteral("Past today's allowance: ") + other->Body
                                                  : other->Body);
    // Each offers the Usage window; the limit's, on a dial-up line that is up, the hang-up too.
    std::vector<TNoticeAction> actions{{NoticeOpensUsage, QStringLiteral("Open Usage")}};
    if ((!plan.WithinLimit() || PastDailyCap(plan)) && DialUpLineUp())
        actions.push_back({NoticeHangsUp, QStringLiteral("Hang up")});
    Notice(given.Kind, given.Summary, given.Body, given.Urgency, actions);
}

bool TForm1::DialUpLineUp() const
{
    if (!IsOnline())
        return false;
    const std::vector<win::RasLink>& links = win::InstalledBackend().Ras->Connections();
    return !links.empty() && win::InstalledBackend().Ras->IsDialUpLine(links.front().Handle);
}

void TForm1::HangUpAtLimit(const TPlanStatus& plan)
{
    // Only when asked, only while a line is up, and only a line of the kind the program exists to
    // dial: a Wi-Fi, a cable or a VPN is never cut.
    if (!Plan.HangUpAtLimit || ConnectedHandle == 0 || ConnectedHandle == LimitDone || !DialUpLineUp())
        return;
    LimitDone = ConnectedHandle;
    BitBtn1Click();
    if (plan.WithinLimit()) {
        Notice(TNotice::DownloadLimit, QStringLiteral("Hung up at today's cap"),
               QStringLiteral("%1 used today; your plan allows %2 a day. Dial asks before dialling again today.")
                   .arg(InUnit(plan.UsedToday, UnitFor(plan.UsedToday)),
                        InUnit(*plan.DailyLimit, UnitFor(*plan.DailyLimit))),
               TUrgency::Critical);
        return;
    }
    Notice(TNotice::DownloadLimit, QStringLiteral("Hung up at the download limit"),
           (plan.Limit ? OfLimit(plan.Counted, *plan.Limit) + QStringLiteral(" this period. ") : QString()) +
               QStringLiteral("Dial asks before dialling again until the period ends."),
           TUrgency::Critical);
}

} // namespace pulo
