// The main window's timed events: the supervision tick, the maximum alarm and the online sound
// (the speed sample is in Unit1Speed.cpp), and the Mute button.

#include "app/LabelColor.h"
#include "app/PlanTariff.h"
#include "app/Unit1.h"
#include "common/AlarmColor.h"
#include "common/BillingPeriod.h"
#include "common/MonthAccounting.h"
#include "common/NumberText.h"
#include "common/Supervision.h"
#include "settings/frmConfig.h"
#include "sources/KZIntDet.h"
#include "sources/rascomp32.h"
#include "widgets/PlayerWave.h"

#include <QLabel>
#include <QPushButton>

namespace pulo {

void TForm1::RxTimerEvent1Timer()
{
    WatchTrayHost();
    FollowBillingPeriod();
    SuperviseConnection();
    // The tick's moment, made once: each local date-time made asks the C library for the offset.
    const QDateTime now = ToQDateTime(Now());
    FollowPlanDay(now);
    // Where the plan stands, once a tick, for the forecast's warning and the tip.
    const TPlanStatus plan = PlanAt(now);
    NoticePlanAlerts(plan);
    FollowDataSaver(plan);
    // The tray sends the tip on only when it changed.
    ShowTrayStatus(plan);
    ShowPlanFigure(plan);
}

void TForm1::SuperviseConnection()
{
    const TColor timeBefore = TimeAlarmColor;
    CheckConnection();
    NoticeLimitColors(timeBefore);
}

void TForm1::CheckConnection()
{
    if (IsOnline()) {
        const TDateTime now = Now();
        FollowConnectionClock();
        // The time online is the connection's own length: a clock set meanwhile, or a change of
        // daylight saving time, neither adds an hour nor takes one away.
        const std::int64_t seconds =
            ConnectClock.Running() ? ConnectionSecondsNow() : ConnectionSeconds(ConnectStart, now);
        OnlineElapsed = static_cast<double>(seconds) / 86400;
        const double total = ShownTotals().TotTime + (RunningCounts() ? OnlineElapsed * 86400 : 0);
        TimeAlarmColor =
            RaiseLimitColor(TimeAlarmColor, total, Settings.MaxTimeAlarm, SecondsPerHour, Settings.MaximumTime);
        OnlineText = OnlineClockText(seconds);
        SetFontColor(Label3b, TimeAlarmColor);
        Label3b->setText(OnlineText);
    }
    if (RasStats == nullptr)
        return;
    RasStats->GetConnections();
    if (RasStats->Connections.Count() == 0) {
        SpeedShown = false;
        if (!RasConnName.isEmpty()) {
            RasConnName.clear();
            RasStats->HangUp();
            RasStats->ResetStats();
        }
        return;
    }
    // The figures of another line than the one that is up are not this connection's: it ended,
    // and another took its place before the detector's poll saw it (which ends this one and
    // begins that one).
    const win::HRASCONN watched = KZInternetDetect1->Handle();
    if (watched != 0 && RasStats->CurRASConn != watched)
        return;
    const QString name = RasStats->Connections.ConnEntryName(0);
    const bool attachedGone =
        RasStats->RASConn != 0 && RasStats->RASConn != RasStats->CurRASConn && !Listed(RasStats->RASConn);
    if (attachedGone) {
        // The line it watched has ended and another is up in its place (under the same name, or
        // another): the component lets go of the old one as it does when the list empties, and
        // watches the new one.
        RasStats->HangUp();
        RasConnName.clear();
    }
    if (name != RasConnName) {
        RasConnName = name;
        RasStats->AttachConnection(0);
    }
    RasStats->GetStatusText();
    if (RasStats->ConnectState != win::RASCS_Connected)
        return;
    RasStats->GetStats();
    // Kept for the connection's end: the list may empty (and the component reset) before the
    // detector reports the end, and the bytes must still be counted.
    StatsXmit = static_cast<double>(RasStats->StatsXmit);
    StatsRecv = static_cast<double>(RasStats->StatsRecv);
    WriteHistory(false);
    if (!SpeedShown) {
        SpeedShown = true;
        const TDceSpeedText speed = DceSpeedText(PlatformId, RasStats->StatsConn);
        if (speed.SetSpeed)
            Label4b->setText(speed.Speed);
        if (speed.ClearUnit)
            Label4c->setText(QString());
    }
    // The connection in progress counts towards the limit, as its time does towards the time
    // limit: the figure this colour paints includes it, and the alarm must sound while the user
    // passes the limit, not at the next connection.
    // A connection that began in the last period counts there, at its end: this period's figures
    // leave it out, as every other view does.
    const TMonthTotals shown = ShownTotals();
    const std::int64_t countedSent = RunningCounts() ? RasStats->StatsXmit : 0;
    const std::int64_t countedReceived = RunningCounts() ? RasStats->StatsRecv : 0;
    const double receivedKB = shown.TotRCV + static_cast<double>(countedReceived) / 1000;
    MBAlarmColor = RaiseLimitColor(MBAlarmColor, LimitCountedKB(countedSent, countedReceived), Settings.MaxMBAlarm,
                                   KilobytesPerMB, Settings.MaximumMB);
    Label5b->setText(QString::number(RasStats->StatsXmit));
    Label6b->setText(QString::number(RasStats->StatsRecv));
    SetFontColor(Label11b, MBAlarmColor);
    Label10b->setText(FloatToStr((static_cast<double>(countedSent) / 1000 + shown.TotTMT) / 1000));
    Label11b->setText(FloatToStr(receivedKB / 1000));
}

bool TForm1::Listed(win::HRASCONN connection) const
{
    for (int i = 0; i < RasStats->Connections.Count(); ++i)
        if (RasStats->Connections.ConnHandle(i) == connection)
            return true;
    return false;
}

double TForm1::LimitCountedKB(std::int64_t sent, std::int64_t received) const
{
    // The plan's QuotaCounts: received only (the download limit as it always was), or both ways.
    // The provider's figure, where the user gave one this period, moves it as it moves every view's.
    const TMonthTotals shown = ShownTotals();
    const double receivedKB = shown.TotRCV + static_cast<double>(received) / 1000;
    const double correctionKB =
        static_cast<double>(CorrectionIn(Keeper.LatestAdjustment(), PeriodOf(DateOf(Now()), Plan.BillingDay))) / 1000;
    return std::max(0.0, (Plan.CountsBoth ? receivedKB + shown.TotTMT + static_cast<double>(sent) / 1000 : receivedKB) +
                             correctionKB);
}

TMonthTotals TForm1::ShownTotals() const
{
    // The settings file's totals roll over at the first connection end of a new period; until
    // then they are last period's, and this period's figures start at zero.
    const QDate today = DateOf(Now());
    return TotalsOfPeriod(Totals, PeriodOf(today, Plan.BillingDay));
}

bool TForm1::RunningCounts() const
{
    return ConnectStart > 0 && BeganIn(DateOf(ConnectStart), PeriodOf(DateOf(Now()), Plan.BillingDay));
}

TPlanStatus TForm1::PlanNow()
{
    return PlanAt(ToQDateTime(Now()));
}

TPlanStatus TForm1::PlanAt(const QDateTime& now)
{
    UpdateKeeper();
    return Keeper.Status(now);
}

void TForm1::UpdateKeeper()
{
    Keeper.SetTotals(Totals);
    if (!KeeperPlan || !(*KeeperPlan == Plan)) {
        KeeperPlan = Plan;
        KeeperRule = PeriodRuleOf(Plan);
        KeeperTariff = TariffOf(Plan);
    }
    Keeper.SetPlan(KeeperRule, Plan.CountsBoth, DownloadLimitBytes(Settings.MaximumMB, Settings.MaxMBAlarm));
    Keeper.SetTariff(KeeperTariff);
    if (IsOnline() && ConnectStart > 0)
        Keeper.SetRunning(ConnectClock.Running() ? ConnectClock.StartUtc() : ToQDateTime(ConnectStart),
                          static_cast<std::int64_t>(StatsXmit), static_cast<std::int64_t>(StatsRecv));
    else
        Keeper.SetRunning(std::nullopt, 0, 0);
}

TStatusReport TForm1::LiveReport()
{
    TStatusReport report;
    report.Online = IsOnline();
    report.Entry = ActiveEntryName;
    if (report.Online && ConnectStart > 0)
        report.SecondsOnline = ConnectClock.Running()
                                   ? ConnectionSecondsNow()
                                   : std::max<std::int64_t>(0, ToQDateTime(ConnectStart).secsTo(ToQDateTime(Now())));
    report.Plan = PlanNow();
    report.DataSaver = Saver.State();
    report.HeldBack = Plan.HeldBack;
    return report;
}

void TForm1::RxTimerEvent2Timer()
{
    if (!IsOnline() || AlarmMuted || (MBAlarmColor != clRed && TimeAlarmColor != clRed))
        return;
    btnAlarmOff->setEnabled(true);
    // The alarm sounds whatever the Sounds setting says.
    PlayerWave1->WaveName = Settings.MaximumSnd;
    PlayerWave1->Play();
}

void TForm1::btnAlarmOffClick()
{
    AlarmMuted = true;
    if (IsOnline()) {
        btnAlarmOff->setText(QStringLiteral("Muted"));
        btnAlarmOff->setEnabled(false);
    }
}

void TForm1::RxTimerEvent4Timer()
{
    if (Settings.OnlineSound && IsOnline() && OnlineSoundPlays(OnlineSoundAlways(), Label5b->text(), LastSentText)) {
        PlayerWave1->WaveName = Settings.OnlineSnd;
        PlayerWave1->Play();
    }
    LastSentText = Label5b->text();
}

} // namespace pulo
