#pragma once

// The main window: it owns every component that watches the connection, holds the state the
// rest of the program shares (working settings, month totals, connection state) and routes the
// menu and the buttons. Its handlers stay short; the rules live in common/ and settings/.

#include "app/AutoSizeLabel.h"
#include "app/TrayShellChoice.h"
#include "common/Colors.h"
#include "common/ConnectionClock.h"
#include "common/DateTime.h"
#include "common/SpeedCounter.h"
#include "common/TSettings.h"
#include "common/TrayStatus.h"
#include "platform/Iphlpapi.h"
#include "platform/Ras.h"
#include "settings/DesktopSettings.h"
#include "settings/LogFile.h"
#include "settings/PlanSettings.h"
#include "settings/frmConfig.h"
#include "sources/IPHelper.h"
#include "usage/DataSaver.h"
#include "usage/PlanAlerts.h"
#include "usage/PlanStatus.h"
#include "usage/StatusReport.h"
#include "widgets/TimerHost.h"
#include "widgets/TrayShell.h"

#include <QMainWindow>
#include <QStringList>

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

class QAction;
class QComboBox;
class QGroupBox;
class QLabel;
class QMenu;
class QPushButton;

namespace pulo {

// The keys of the buttons the plan's notices carry (where the desktop shows them).
extern const QString NoticeOpensUsage;
extern const QString NoticeHangsUp;
extern const QString NoticeNotToday;

class ThhALed;
class TKZInternetDetect;
class TPlayerWave;
class TRAS;
class TStringGrid;
class TDialUp;
class THTMLhelpRouter;
class TfrmAbout;
class TLogViewer;
class THistoryRecorder;
class THistoryStore;
class TNotifier;
class TUsageWindow;
enum class TNotice;
struct TNoticeAction;
enum class TUrgency;
class TRxTimerEvent;
class TRxTimerList;
class TRxTrayIcon;

// The operating-system services the window's components are built on; tests replace them.
struct TForm1Services
{
    TimerHostFactory Timers = MakeQtTimerHost;
    std::function<std::unique_ptr<ITrayShell>()> TrayShell = MakeDesktopTrayShell;
    // Desktop notifications; none: the session bus's service (or the tray's balloon).
    std::function<std::unique_ptr<TNotifier>()> Notifier;
    // How long a refused write of the usage history waits before it is tried again.
    int HistoryRetryMs = 10000;
    // How long the history waits to be opened when nothing needs it sooner: the window first.
    int HistoryOpenAfterMs = 1000;
};

class TForm1 final : public QMainWindow
{
    Q_OBJECT

public:
    explicit TForm1(const TForm1Services& services = {}, QWidget* parent = nullptr);
    ~TForm1() override;
    TForm1(const TForm1&) = delete;
    TForm1& operator=(const TForm1&) = delete;

    // Shows the window as start-up leaves it: minimised when the settings start it hidden.
    void ShowAtStart();
    // Waits at most timeoutMs until the usage history is open and holds everything reported.
    bool FlushHistory(int timeoutMs);

    // Handlers.
    void FormCreate(const TForm1Services& services);
    void FormActivate();
    void Hide1Click();
    void BitBtn3Click();
    void Exit1Click();
    void RxTrayIcon1Click();
    // Brings the window back from the tray or the task bar, to the front.
    void RestoreApplication();
    void KZInternetDetect1Connect(QObject* sender);
    void KZInternetDetect1Disconnect(QObject* sender);
    void RxTimerEvent1Timer();
    void RxTimerEvent2Timer();
    void RxTimerEvent3Timer();
    void RxTimerEvent4Timer();
    void btnAlarmOffClick();
    // The tray icon's menu brought up to date, and its status tip (Unit1Tray.cpp).
    void UpdateTrayMenu();
    void ShowTrayStatus(const TPlanStatus& plan);
    // The icon and its animation's frames, with the mark of a passed limit or without.
    void ShowTrayIcons(bool pastLimit);
    // What the limit counts, under the month totals whenever it is not the received megabytes
    // they show: with the provider's figure given this period, or with both directions counted.
    void ShowPlanFigure(const TPlanStatus& plan);
    // The kilobytes the download limit counts: the month's and the running connection's
    // received bytes, and its sent ones too when the plan counts both.
    [[nodiscard]] double LimitCountedKB(std::int64_t sent, std::int64_t received) const;
    // The month totals as this period's figures start from them (see TotalsOfPeriod).
    [[nodiscard]] TMonthTotals ShownTotals() const;
    // Whether the connection in progress counts in this period (it began in it).
    [[nodiscard]] bool RunningCounts() const;
    // Where the plan stands now, as every view shows it: the plan keeper, fed what the window
    // knows (the totals, the plan, the connection in progress).
    [[nodiscard]] TPlanStatus PlanNow();
    [[nodiscard]] TPlanStatus PlanAt(const QDateTime& now);
    // "My provider says I have used this much this period" (bytes, what the limit counts): a
    // correction kept in the history, from now on in every figure; and one taken back (by the
    // moment it was given).
    // The provider's figure for this period, given at the moment at (now when not given).
    void SetProviderFigure(std::int64_t bytes, const QDateTime& at = {});
    // An add-on pack of bytes bought now, lasting to the end of until (the period's last day when
    // none): counted from now on in every view, and kept in the history.
    void AddPack(std::int64_t bytes, const std::optional<QDate>& until);
    void RemovePack(const QDateTime& addedAt);
    void RemoveProviderFigure(const QDateTime& at);
    void ShowCorrectedFigure();
    // What the command line's --status and --json show while this copy runs.
    [[nodiscard]] TStatusReport LiveReport();
    // Writes the connection in progress, its programs included, to the history now (waiting a
    // moment for it); why the per-program meter did not answer, empty when it did.
    QString WriteProgramsNow();
    // The data saver's mode as the tray's menu and the command line set it (the key written; a
    // refused write raises and changes nothing); "Not today" from its notice or the tray.
    void SetDataSaverMode(TDataSaverMode mode);
    void DataSaverNotToday();
    // The programs held back while it is on, as the Programs tab chooses them (the key written).
    void SetHeldBack(const std::vector<QString>& paths);
    [[nodiscard]] const TDataSaver& DataSaverNow() const { return Saver; }
    [[nodiscard]] const std::vector<QString>& HeldBackPrograms() const { return Plan.HeldBack; }
    // When the chosen programs were held back on the line; none while they are not.
    [[nodiscard]] const QDateTime& HeldBackSince() const { return HeldSince; }
    void ViewLogfile1Click();
    // View > Usage: the Usage window, made at its first showing (Unit1Usage.cpp).
    void Usage1Click();
    // A second start asked for the window: it comes up and stays, even before the first
    // activation that would send a window started hidden to the tray.
    void RaiseForSecondStart();
    // Tells the desktop of a problem without waiting for anyone (the program is ending unattended).
    void NoticeProblem(const QString& message);
    // The usage history's writer (on a thread of its own).
    [[nodiscard]] THistoryRecorder* UsageRecorder() const { return History.get(); }
    // Dialling (Unit1Dial.cpp).
    void DialUp1EntryGet(const QString& entryName, const QByteArray& entryBytes = {});
    void DialUp1ActiveConnection(win::HRASCONN handle, const QString& entryName, const QString& deviceName);
    void DialUp1Dialing();
    void DialUp1AsyncEvent(int state, int error, const QString& messageText);
    void DialUp1Error();
    void DialUp1NotConnected();
    void BitBtn2Click();
    void BitBtn1Click();
    // Back at rest after a dial that failed or never connected: no address, the disconnect
    // sound, the Dial button back. The status text is the caller's.
    void ReturnToRestAfterDial();
    // Waits the three seconds a hung-up line needs to drop, the window still painting.
    void WaitForLineToDrop();
    // Says why the hang-up was refused and shows the line as still up.
    void ShowRefusedHangUp();
    // The usage history's row of the connection: made at its start, written at least every five
    // minutes while it lasts (WriteHistory(false), from the supervision tick) and at its end.
    void HistoryConnectionBegins();
    void WriteHistory(bool ended);
    void NoticeConnected();
    void NoticeDisconnected();
    void NoticeDialFailed(const QString& reason);
    // Shows an information message and waits for it; tests replace it.
    std::function<void(const QString& text)> Inform;
    // Asks a yes-or-no question, no by default; tests replace it.
    std::function<bool(const QString& text)> Confirm;
    void Configuration1Click();
    // Whether the online sound plays while traffic moves too ("Always").
    [[nodiscard]] bool OnlineSoundAlways() const;
    void C1Click();
    void About1Click();
    // Counts the connection that ends into the month totals (the log viewer's work once it
    // exists), and stores the totals in the settings file as the month they belong to.
    void UpdateLog();
    void StoreMonthTotals();
    // File > Exit, the end of the session or a signal while online: the connection is counted
    // and stored.
    void AccountConnectionAtExit();
    // Lines waiting for the log across the program's end (Unit1LogWaiting.cpp): kept at the end,
    // taken back once the history can be read, forgotten once the log holds them.
    void KeepUnsavedLogLines();
    void TakeLogLinesFromHistory(const THistoryStore& history);
    void ForgetLogLinesInHistory();
    // Online in the window's sense: the IP label shows an address.
    [[nodiscard]] bool IsOnline() const;
    // Names the wave file in the player and plays it when sounds are on.
    void PlaySound(const QString& waveName);
    // Hides the window to the tray: minimise, hide, tray icon active.
    void HideToTray();
    // Keeps the program reachable: when the notification area goes away (a panel restart)
    // while the window is hidden in it, the window comes back, and it returns to the tray once
    // the notification area is there again. Run once a second.
    void WatchTrayHost();
    // The month totals as the " Month totals " group shows them.
    void ShowMonthTotals();
    // The speed monitor: the interface table read afresh with its figures restarted, one
    // sample of every interface's counters, and both together.
    void ReloadInterfaces();
    void SampleInterfaces();
    void ResetSpeedMonitor();
    void btnResetClick();

    // Working settings and month totals, and the data plan's keys (billing day, what the
    // download limit counts).
    TSettings Settings;
    TPlanSettings Plan;
    TDesktopSettings Desktop;
    TMonthTotals Totals;
    std::uint16_t CurrentYear = 0;
    std::uint16_t CurrentMonth = 0;
    std::uint16_t CurrentDay = 0;
    QString PastHours;
    QString PastMinutes;
    QString PastSeconds;

    // Connection state. ConnectStart follows the connection's clock, which measures its length
    // whatever the wall clock does (see FollowConnectionClock).
    TConnectionClock ConnectClock;
    TDateTime ConnectStart = 0;
    TDateTime ConnectDate = 0;
    TDateTime OnlineElapsed = 0;
    QString OnlineText;
    TColor TimeAlarmColor = clBlack;
    TColor MBAlarmColor = clBlack;
    QDateTime ShownPlanGiven; // what the row under the month totals shows the reason of
    bool ShownPlanBoth = false;
    bool ShownPlanFree = false; // the row leaves out free traffic
    QDate ShownPlanPeriod;      // the first day of a plan's period that is not the month
    bool AlarmMuted = false;
    bool SpeedShown = false;
    QString RasConnName;
    QString ActiveEntryName;
    QString ActiveDeviceName;     // the device the dialer reported with the entry
    bool DialStarted = false;     // the Dial button's mark
    bool HangUpRequested = false; // the Hang-up button's mark
    win::DWORD HangUpRefusal = 0; // the error of the last hang-up the system refused
    // From a connection's start until it is logged and counted, at its end or at exit.
    bool ConnectionUnaccounted = false;
    // The connection's bytes sent and received as the supervision tick last read them, and at
    // its end as the system gives them then.
    double StatsXmit = 0;
    double StatsRecv = 0;
    win::HRASCONN ConnectedHandle = 0; // the connection the detector took up
    // The line the download limit's hang-up is done with: hung up there, or dialled past the limit
    // by the user's choice (DialPastLimit, until that dial's line comes up).
    win::HRASCONN LimitDone = 0;
    bool DialPastLimit = false;
    // The system family, as the version call reports it at start (1: the 9x family).
    std::uint32_t PlatformId = 0;
    QString LastSentText;

    // The interface table as last read, and each interface's figures since the last reload.
    std::vector<win::MIB_IFROW> IfTable;
    std::vector<IfCounter> IfCounters;

    // The exit flag: 1 only after File > Exit; any other close hides the window instead.
    int Tag = 0;

    // Components.
    TKZInternetDetect* KZInternetDetect1 = nullptr;
    std::unique_ptr<TRxTimerList> RxTimerList1;
    TRxTimerEvent* RxTimerEvent1 = nullptr;
    TRxTimerEvent* RxTimerEvent2 = nullptr;
    TRxTimerEvent* RxTimerEvent3 = nullptr;
    TRxTimerEvent* RxTimerEvent4 = nullptr;
    TRxTrayIcon* RxTrayIcon1 = nullptr;
    std::optional<TTrayFigures> TrayFigures; // what the tray's tip says now
    bool TrayShowsPastLimit = false;
    TPlayerWave* PlayerWave1 = nullptr;
    // The About box, shown in place of the window; made at its first showing.
    std::unique_ptr<TfrmAbout> frmAbout;
    // The configuration dialog, shown in place of the window; made at its first opening, with
    // what it needs of the window.
    std::unique_ptr<TfrmConfig> frmConfig;
    TConfigHost ConfigHost;
    // The log viewer, a window of its own, made at its first opening; the log's writer lives
    // with the window from the start.
    std::unique_ptr<TLogViewer> frmLog;
    TLogWriter LogWriter;
    TDialUp* DialUp1 = nullptr;
    THTMLhelpRouter* HTMLhelpRouter1 = nullptr;
    // Destroyed with the window; it hangs up the connection it is attached to.
    TRAS* RasStats = nullptr;

    // Controls, named as the user documentation and the tests know them.
    QGroupBox* gbStatus = nullptr;
    QGroupBox* gbModem = nullptr;
    QGroupBox* gbStatistics = nullptr;
    QGroupBox* gbMonthTotals = nullptr;
    QGroupBox* gbSpeedMonitor = nullptr;
    TAutoSizeLabel* Label1b = nullptr;
    TAutoSizeLabel* Label7b = nullptr;
    TAutoSizeLabel* Label2b = nullptr;
    TAutoSizeLabel* Label4b = nullptr;
    QLabel* Label4c = nullptr;
    TAutoSizeLabel* Label3b = nullptr;
    TAutoSizeLabel* Label5b = nullptr;
    TAutoSizeLabel* Label6b = nullptr;
    TAutoSizeLabel* Label12b = nullptr;
    TAutoSizeLabel* Label10b = nullptr;
    TAutoSizeLabel* Label11b = nullptr;
    QLabel* lblPlanFigure = nullptr;
    TAutoSizeLabel* PlanFigure = nullptr;
    QLabel* lbCurrentIn = nullptr;
    QLabel* lbPeakIn = nullptr;
    QLabel* lbAvgIn = nullptr;
    QLabel* lbCurrentOut = nullptr;
    QLabel* lbPeakOut = nullptr;
    QLabel* lbAvgOut = nullptr;
    QPushButton* btnReset = nullptr;
    ThhALed* LedIN = nullptr;
    ThhALed* LedOut = nullptr;
    QLabel* lblConnections = nullptr;
    QComboBox* ComboBox1 = nullptr;
    QPushButton* btnAlarmOff = nullptr;
    QPushButton* BitBtn3 = nullptr;
    QPushButton* BitBtn2 = nullptr;
    QPushButton* BitBtn1 = nullptr;
    TStringGrid* sgMIB = nullptr;

    QAction* Hide1 = nullptr;
    QAction* Exit1 = nullptr;
    QAction* Configuration1 = nullptr;
    QAction* ViewLogfile1 = nullptr;
    QAction* C1 = nullptr;
    QAction* About1 = nullptr;
    QAction* Usage1 = nullptr; // View > Usage
    // The tray icon's menu.
    QMenu* TrayMenu = nullptr;
    QAction* TrayRestore = nullptr;
    QMenu* TrayDial = nullptr;
    QAction* TrayHangUp = nullptr;
    QAction* TrayViewLog = nullptr;
    QAction* TrayUsage = nullptr;
    QAction* TrayConfiguration = nullptr;
    QAction* TrayMute = nullptr;
    QMenu* TrayDataSaver = nullptr;
    QAction* TrayExit = nullptr;

Q_SIGNALS:
    // The window closed for good after File > Exit: the program ends.
    void Exited();

protected:
    void closeEvent(QCloseEvent* event) override;
    bool event(QEvent* event) override;

private:
    void CreateControls();
    void CreateMenu();
    void CreateComponents(const TForm1Services& services);
    // The dialog and the log viewer, created after the window as the program starts.
    void CreateWindows();
    // Watches the first interface that is up when the settings name none.
    void ChooseDefaultInterface();
    // True when it chose another row.
    bool FollowTheLine();
    void CreateTrayMenu();
    // The supervision tick's own work: time online, the connection, its bytes and colours;
    // and what a change of colour tells the desktop.
    void SuperviseConnection();
    void CheckConnection();
    // Whether the statistics component lists the connection among the active ones.
    [[nodiscard]] bool Listed(win::HRASCONN connection) const;
    // ConnectStart moved to where the connection's own clock places it, when the wall clock was
    // set since it began.
    void FollowConnectionClock();
    // The connection's figures at its end: what its line carried after the last tick counts too
    // (a link's counters go with it, and the system gives them at its very end).
    void TakeFinalCounters();
    // Its whole seconds so far.
    [[nodiscard]] std::int64_t ConnectionSecondsNow() const;
    // Desktop notifications (Unit1Notices.cpp): the notifier is made at the first notice, so that
    // the window's start does not wait for the desktop's notification service.
    TNotifier& TheNotifier();
    void Notice(TNotice kind, const QString& summary, const QString& body);
    void Notice(TNotice kind, const QString& summary, const QString& body, TUrgency urgency);
    void Notice(TNotice kind,
                const QString& summary,
                const QString& body,
                TUrgency urgency,
                const std::vector<TNoticeAction>& actions);
    void NoticeLimitColors(TColor timeBefore);
    // The plan's warnings due now (the forecast while online, the thresholds, the limit, the daily
    // allowance), each given once and kept in the history, in one notification a moment (the most
    // pressing, carrying the rest); the line hung up at the limit when the user asked for it.
    void NoticePlanAlerts(const TPlanStatus& plan);
    // What the plan keeps in the history (today's finished use, the warnings given, the
    // provider's figure), read once it can be; false until then.
    bool ReadPlanFacts();
    // The plan keeper told the month totals, the plan and the connection in progress as they are.
    void UpdateKeeper();
    void HangUpAtLimit(const TPlanStatus& plan);
    // Today's use has reached the plan's daily cap.
    [[nodiscard]] static bool PastDailyCap(const TPlanStatus& plan)
    {
        return plan.DailyLimit && plan.UsedToday >= *plan.DailyLimit;
    }
    // The data saver (Unit1DataSaver.cpp): followed at each tick, and applied to the line that is
    // up (marked metered, the chosen programs held back) or undone, as it turns on or off.
    void FollowDataSaver(const TPlanStatus& plan);
    void ApplyDataSaver();
    // The chosen programs held back on the line the saver is applied to (or let go).
    void HoldBack();
    // The line's mark and the holds undone (the saver off, the line ended, the program ending).
    void UndoDataSaver();
    // At start: the mark a killed copy left (as the history kept it) undone.
    void UndoLeftMark(const QString& fact);
    void NoticeDataSaver();
    // The tray menu's Data saver entries, as the saver stands.
    void UpdateTrayDataSaver();
    // A line of the kind the program exists to dial is up (never a Wi-Fi, a cable or a VPN).
    [[nodiscard]] bool DialUpLineUp() const;
    // The usage history (Unit1Usage.cpp).
    void OpenHistory(const TForm1Services& services);
    // At the tick: a new billing period, or a new billing day, starts the month figures and
    // colours again from what counts in it (Unit1Usage.cpp).
    void FollowBillingPeriod();
    void FollowPlanDay(const QDateTime& now);
    // The month totals counted again from the history for the period (Always: the billing day
    // changed; WhenRecorded: only when the history holds connections of it).
    enum class TRecount
    {
        Always,
        WhenRecorded
    };
    // True when the totals were counted again.
    bool RecountForBillingDay(const TBillingPeriod& period, TRecount when = TRecount::Always);
    // The history as the Usage window reads it, on this thread; null while there is none.
    [[nodiscard]] const THistoryStore* HistoryReader();
    void ApplyStartingColors();
    // Tells the platform which interfaces besides the dial-up links are connections.
    void CountConfiguredLinks();
    void CreateDialer();
    // Creates the RAS statistics component and starts its counters.
    void CreateRasStats();
    enum class KeepFigures
    {
        No,
        Yes,
    };
    // Rebuilds the grid rows from IfTable as just read: the figures start again, or each
    // interface keeps its own.
    void RebuildInterfaceRows(KeepFigures keep);
    // The counters of the interface in a row, from the last read; null when it has none.
    [[nodiscard]] const IfOctets* OctetsOf(std::size_t row) const;
    // The " Speed monitor " group: the figures of row NIC, or zeros when it has no interface.
    void ShowMonitoredInterface();
    std::vector<IfOctets> Octets;
    // The figures each grid row shows, as written last; rows whose figures did not change are
    // left alone.
    static constexpr IfFigures UnknownFigures = {-2, -2, -2, -2, -2, -2};
    std::vector<IfFigures> GridFigures;
    // Interfaces by index as of the last reload: a sample that finds others reloads.
    std::vector<win::DWORD> ReloadedIndexes;

    bool FollowingTheLine = false; // no interface chosen: the speed monitor follows the line
    bool Created = false;          // every component and window the timed events use exists
    bool StartMinimized = false;
    bool ShownForLostTray = false;
    bool HiddenToTray = false; // hidden by HideToTray, not by a window shown in its place
    // Connection lines a log that could not be written still waits for, from the last run.
    QStringList LinesWaitingForTheLog;
    bool LogLinesInHistory = false;                           // the history keeps lines the log still waits for
    std::function<std::unique_ptr<TNotifier>()> MakeNotifier; // the services' own, when they give one
    std::unique_ptr<TNotifier> Notifier;
    std::unique_ptr<TUsageWindow> frmUsage; // made at its first opening
    QDate ForecastWarned;                   // the period whose forecast warning was given
    TPlanAlerts Alerts;
    TDataSaver Saver;
    win::HRASCONN SaverLine = 0; // the line the data saver is applied to; 0: none
    std::string MarkedProfile;   // the profile it marked metered, and the flag it had
    int MarkedBefore = 0;
    QDateTime HeldSince; // when the chosen programs were held back, while they are
    QString SaverProblem;
    bool PlanFactsRead = false;      // the warnings given and the provider's figure were read from the history
    std::int64_t PlanReadTried = -1; // uptime of a recount from the history that had to wait
    TPlanKeeper Keeper;
    // The plan's settings as the keeper was last given them, and what they came to: the free
    // hours are text to read, and the keeper is given the plan every tick.
    std::optional<TPlanSettings> KeeperPlan;
    TPeriodRule KeeperRule;
    TTariff KeeperTariff;
    QDate ShownPeriodFirst;          // the period the month figures were last shown for
    int CountedBillingDay = 0;       // the billing day the month totals were counted by
    bool StartTotalsChecked = false; // whether the stored totals' period was checked at start
    // The usage history: written on a thread of its own, read here for the Usage window.
    std::unique_ptr<THistoryRecorder> History;
    std::unique_ptr<THistoryStore> HistoryRead;
    std::int64_t HistoryConnection = 0;
    std::int64_t LastHistoryWrite = -1; // when the history was last written (Uptime); -1: due now
    std::int64_t LastProgramTake = 0;   // when the programs' shares were last taken (Uptime)
};

} // namespace pulo
