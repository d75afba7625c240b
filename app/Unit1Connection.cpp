// The start and the end of an online period, as the connection detector reports them, and the
// accounting of a connection when it ends or the program ends while it lasts. The detector has
// already updated its Connected and IP when these run.

#include "app/AutoSizeLabel.h"
#include "app/LabelColor.h"
#include "app/Unit1.h"
#include "common/ClockText.h"
#include "common/ErrorBoundary.h"
#include "common/MonthAccounting.h"
#include "platform/Backend.h"
#include "settings/LogViewer.h"
#include "settings/Settings.h"
#include "sources/DialUp.h"
#include "sources/KZIntDet.h"
#include "widgets/PlayerWave.h"
#include "widgets/RXShell.h"

#include <QComboBox>
#include <QLabel>
#include <QPushButton>

#include <algorithm>
#include <cmath>

namespace pulo {

namespace {

// Before now by this much, so that the first supervision tick already shows a second online.
constexpr TDateTime StartAllowance = 1.15e-5;
constexpr std::int64_t StartAllowanceMs = 994;

} // namespace

void TForm1::KZInternetDetect1Connect(QObject* /*sender*/)
{
    if (Settings.ShowConnected)
        RestoreApplication();
    AlarmMuted = false;
    BitBtn1->show();
    BitBtn1->setEnabled(true);
    BitBtn2->setEnabled(false);
    BitBtn2->hide();
    btnAlarmOff->setEnabled(true);

    const TDateTime now = Now();
    ConnectStart = now - StartAllowance;
    ConnectClock.Start(UtcNow(), Uptime(), StartAllowanceMs);
    ConnectedHandle = KZInternetDetect1->Handle();
    if (DialPastLimit && DialStarted) {
        LimitDone = ConnectedHandle;
        DialPastLimit = false;
    }
    StatsXmit = 0;
    StatsRecv = 0;
    ConnectDate = std::floor(now);

    SetFontColor(Label1b, clRed);
    Label1b->setText(QStringLiteral("      Connected"));
    Label2b->setText(KZInternetDetect1->IP());

    ConnectionUnaccounted = true;
    PlaySound(Settings.ConnectSnd);
    RxTrayIcon1->SetAnimated(true);

    // The dialer names the connection (the " Modem " text and the entry every log line
    // carries).
    DialUp1->GetConnections();
    ComboBox1->setCurrentIndex(ComboBox1->findText(ActiveEntryName, Qt::MatchExactly | Qt::MatchCaseSensitive));
    ReloadInterfaces();
    HistoryConnectionBegins();
    NoticeConnected();
    ApplyDataSaver(); // a saver that is on takes the new line at once
}

void TForm1::KZInternetDetect1Disconnect(QObject* /*sender*/)
{
    KZInternetDetect1->SetConnected(false);
    BitBtn2->show();
    BitBtn2->setEnabled(true);
    BitBtn1->hide();
    BitBtn1->setEnabled(false);
    AlarmMuted = false;
    btnAlarmOff->setEnabled(true);
    ReloadInterfaces();

    // A log that cannot be written is shown; the connection still counts and ends. It is
    // marked accounted first, so that an exit request arriving while a message box is open
    // does not count it again.
    ConnectionUnaccounted = false;
    FollowConnectionClock();
    TakeFinalCounters();
    RunGuarded([this] { UpdateLog(); });
    WriteHistory(true);
    UndoDataSaver(); // the line's mark and holds end with it
    NoticeDisconnected();
    ConnectStart = 0;
    ConnectedHandle = 0;
    ConnectClock.Stop();
    StatsXmit = 0;
    StatsRecv = 0;
    // A refused write is shown; the window still shows the connection as ended.
    RunGuarded([this] { StoreMonthTotals(); });

    SetFontColor(Label1b, clBlack);
    Label1b->setText(QStringLiteral("      Not connected"));
    Label2b->setText(QStringLiteral("0.0.0.0"));
    PlaySound(Settings.DisconnectSnd);
    RxTrayIcon1->SetAnimated(false);

    Label3b->setText(QStringLiteral("00:00:00"));
    Label4b->setText(QStringLiteral("0"));
    Label4c->setText(QStringLiteral("bps"));
    Label5b->setText(QStringLiteral("0"));
    Label6b->setText(QStringLiteral("0"));
    Label7b->setText(QStringLiteral("      None active"));
    ShowMonthTotals();

    DialStarted = false;
    OnlineText.clear();
    if (Settings.AutoHide)
        HideToTray();
}

void TForm1::UpdateLog()
{
    DateParts current{CurrentYear, CurrentMonth, CurrentDay};
    ClockParts past{PastHours, PastMinutes, PastSeconds};
    TLogContext context{Totals,      current,         past,      Settings.Logging, ConnectStart,
                        ConnectDate, ActiveEntryName, StatsXmit, StatsRecv,        Plan.BillingDay};
    if (ConnectClock.Running())
        context.Milliseconds = ConnectClock.Milliseconds(Uptime());
    // The state follows the writer even when the log itself could not be written: the
    // connection has been counted.
    const auto takeBack = [&] {
        CurrentYear = current.Year;
        CurrentMonth = current.Month;
        CurrentDay = current.Day;
        PastHours = past.Hours;
        PastMinutes = past.Minutes;
        PastSeconds = past.Seconds;
    };
    try {
        LogWriter.UpdateLog(context);
        if (frmLog)
            frmLog->LogWritten();
    } catch (...) {
        takeBack();
        throw;
    }
    takeBack();
}

void TForm1::StoreMonthTotals()
{
    // The totals are written as the month they now belong to; a connection that started in an
    // earlier month has moved CurrentMonth there.
    Totals.StoredMonth = CurrentMonth;
    WriteMonthTotals(Totals);
    // Both files hold the connection now (unless the log still waits for it).
    CloseLogJournal(LogWriter);
    ForgetLogLinesInHistory();
}

void TForm1::AccountConnectionAtExit()
{
    // Only a connection that came up and has not been counted yet counts, whatever the labels
    // show (Hang up resets them before the line is gone); a dial that never connected adds
    // nothing.
    if (!ConnectionUnaccounted)
        return;
    ConnectionUnaccounted = false;
    FollowConnectionClock();
    TakeFinalCounters();
    RunGuarded([this] { UpdateLog(); });
    WriteHistory(true);
    ConnectStart = 0;
    ConnectedHandle = 0;
    ConnectClock.Stop();
    // Stored as at a disconnect, so that ending the program (or the computer) while online does
    // not lose the connection from the month.
    StoreMonthTotals();
}

std::int64_t TForm1::ConnectionSecondsNow() const
{
    return ConnectClock.Milliseconds(Uptime()) / 1000;
}

void TForm1::TakeFinalCounters()
{
    std::uint64_t sent = 0;
    std::uint64_t received = 0;
    if (ConnectedHandle == 0 ||
        win::InstalledBackend().Ras->Counters(ConnectedHandle, sent, received) != win::ERROR_SUCCESS)
        return;
    StatsXmit = std::max(StatsXmit, static_cast<double>(sent));
    StatsRecv = std::max(StatsRecv, static_cast<double>(received));
}

void TForm1::FollowConnectionClock()
{
    // The local reading changes only when the clock was set: across a change of daylight saving
    // time alone the start keeps the local time it had.
    if (ConnectStart > 0 && ConnectClock.Follow(UtcNow(), Uptime()))
        ConnectStart = FromQDateTime(ConnectClock.StartUtc());
}

bool TForm1::IsOnline() const
{
    return Label2b->text() != QStringLiteral("0.0.0.0");
}

void TForm1::PlaySound(const QString& waveName)
{
    PlayerWave1->WaveName = waveName;
    if (Settings.Sounds)
        PlayerWave1->Play();
}

} // namespace pulo
