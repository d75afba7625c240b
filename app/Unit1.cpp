#include "app/Unit1.h"

#include "app/AutoSizeLabel.h"
#include "app/LabelColor.h"
#include "app/TrayImages.h"
#include "app/WindowModules.h"
#include "common/AlarmColor.h"
#include "common/BillingPeriod.h"
#include "common/ClockText.h"
#include "common/ErrorBoundary.h"
#include "common/NumberText.h"
#include "common/Supervision.h"
#include "desktop/Autostart.h"
#include "desktop/Notifications.h"
#include "platform/Backend.h"
#include "platform/HtmlHelp.h"
#include "platform/Iphlpapi.h"
#include "settings/FileLocations.h"
#include "settings/LogFile.h"
#include "settings/LogJournal.h"
#include "settings/PlanSettings.h"
#include "settings/SavePosition.h"
#include "settings/Settings.h"
#include "settings/frmConfig.h"
#include "sources/DialUp.h"
#include "sources/IPHelper.h"
#include "sources/KZIntDet.h"
#include "sources/rascomp32.h"
#include "usage/HistoryRecorder.h"
#include "usage/HistoryStore.h"
#include "usage/window/UsageWindow.h"
#include "widgets/HelpRouter.h"
#include "widgets/PlayerWave.h"
#include "widgets/RXShell.h"
#include "widgets/StringGrid.h"
#include "widgets/TimerLst.h"
#include "widgets/untAbout.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QToolTip>

#include <algorithm>
#include <limits>

namespace pulo {

namespace {

constexpr const char* PlacementSection = "Placement";

// How long after the window is shown start-up has settled.
constexpr int StartSettledMs = 10000;

// The window's outer size once created (wider than first drawn by the left column's extra
// room for long values).
constexpr QSize OuterSize(377, 304);
// What the window frame of the desktop the program was designed on takes of that size.
constexpr QSize FrameAllowance(6, 27);

// The online sound's period in milliseconds; a period from a hand-edited file that does not
// fit the timer's range is held to it rather than wrapped around.
std::int32_t OnlineSoundPeriod(std::int32_t seconds)
{
    const std::int64_t ms = static_cast<std::int64_t>(seconds) * 1000;
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(ms, std::numeric_limits<std::int32_t>::min(),
                                                              std::numeric_limits<std::int32_t>::max()));
}

} // namespace

TForm1::TForm1(const TForm1Services& services, QWidget* parent) : QMainWindow(parent)
{
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral(" Pulo Pro"));
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    QFont font(QStringLiteral("Arial"));
    font.setPixelSize(11);
    setFont(font);
    resize(544, 423);

    setWindowIcon(WindowImage());

    CreateControls();
    CreateMenu();
    RunGuarded([&] { CreateComponents(services); });

    connect(Hide1, &QAction::triggered, this, [this] { RunGuarded([this] { Hide1Click(); }); });
    connect(BitBtn3, &QPushButton::clicked, this, [this] { RunGuarded([this] { BitBtn3Click(); }); });
    connect(Exit1, &QAction::triggered, this, [this] { RunGuarded([this] { Exit1Click(); }); });
    connect(btnReset, &QPushButton::clicked, this, [this] { RunGuarded([this] { btnResetClick(); }); });
    connect(About1, &QAction::triggered, this, [this] { RunGuarded([this] { About1Click(); }); });
    connect(C1, &QAction::triggered, this, [this] { RunGuarded([this] { C1Click(); }); });
    connect(Configuration1, &QAction::triggered, this, [this] { RunGuarded([this] { Configuration1Click(); }); });
    connect(ViewLogfile1, &QAction::triggered, this, [this] { RunGuarded([this] { ViewLogfile1Click(); }); });
    connect(Usage1, &QAction::triggered, this, [this] { RunGuarded([this] { Usage1Click(); }); });
    connect(BitBtn2, &QPushButton::clicked, this, [this] { RunGuarded([this] { BitBtn2Click(); }); });
    connect(BitBtn1, &QPushButton::clicked, this, [this] { RunGuarded([this] { BitBtn1Click(); }); });
    connect(btnAlarmOff, &QPushButton::clicked, this, [this] { RunGuarded([this] { btnAlarmOffClick(); }); });

    RunGuarded([&] { FormCreate(services); });
    CreateWindows();
    ChooseDefaultInterface();
    Created = true;
}

void TForm1::ChooseDefaultInterface()
{
    // A new user has chosen no interface: the speed monitor follows the line (after the
    // dialog's creation, which reads the settings again). A stored choice is kept.
    FollowingTheLine = !NICStored();
    if (FollowTheLine())
        ShowMonitoredInterface();
}

bool TForm1::FollowTheLine()
{
    // Until the user selects an interface: the one of the connection while a line is up (the
    // first, which decides whether the user is online), else the one of the default route (where
    // the traffic goes), else the first one that is up, not the loopback that Linux always lists
    // first, where nothing would ever move. Asked only when interfaces come or go.
    if (!FollowingTheLine)
        return false;
    if (NICStored()) {
        FollowingTheLine = false; // chosen in the dialog meanwhile
        return false;
    }
    std::int32_t row = 0;
    const std::vector<win::RasLink>& links = win::InstalledBackend().Ras->Connections();
    if (!links.empty()) {
        for (std::size_t i = 0; i < IfTable.size() && row == 0; ++i)
            if (IfTable[i].dwIndex == static_cast<win::DWORD>(links.front().Handle))
                row = static_cast<std::int32_t>(i + 1);
    }
    if (win::DWORD routed = 0; row == 0 && win::GetBestInterface(0, &routed) == win::ERROR_SUCCESS) {
        for (std::size_t i = 0; i < IfTable.size() && row == 0; ++i)
            if (IfTable[i].dwIndex == routed)
                row = static_cast<std::int32_t>(i + 1);
    }
    if (row == 0)
        row = FirstActiveAdapterRow(IfTable);
    if (row <= 0 || row == Settings.NIC)
        return false;
    // Shown from the next sample on, which writes every row's figures.
    Settings.NIC = row;
    return true;
}

void TForm1::CreateWindows()
{
    TConfigHost host;
    host.Preview = [this](const QString& waveName) {
        PlayerWave1->WaveName = waveName;
        PlayerWave1->Play();
    };
    host.InterfaceCell = [this](int row, int column) { return sgMIB->Cell(row, column); };
    host.InterfaceCount = [this] { return static_cast<int>(IfTable.size()); };
    host.SetOnlineSoundInterval = [this](std::int32_t seconds) {
        RxTimerEvent4->SetInterval(OnlineSoundPeriod(seconds));
    };
    host.ShowMainWindow = [this] { RestoreApplication(); };
    host.Plan = &Plan;
    host.SetProviderFigure = [this](std::int64_t bytes) { RunGuarded([&] { SetProviderFigure(bytes); }); };
    host.PeriodLastDay = [this] { return PlanNow().Period.End.addDays(-1); };
    host.AddPack = [this](std::int64_t bytes, const QDate& until) {
        RunGuarded([&] { AddPack(bytes, until.isValid() ? std::optional<QDate>(until) : std::nullopt); });
    };
    host.CountedNow = [this] { return PlanNow().Counted; };
    host.Desktop = &Desktop;
    // Offered to an installed copy; a portable one moves with its folder.
    if (FileLocation() == TFileLocation::UserFolders) {
        host.AutostartEnabled = [] { return AutostartEnabled(); };
        host.SetAutostart = [](bool enabled) { return SetAutostart(enabled); };
        host.AutostartPath = [] { return AutostartPath(); };
    }
    if (HTMLhelpRouter1 != nullptr)
        host.ShowHelp = [this] { HTMLhelpRouter1->ShowTopic(QString(), QStringLiteral("cfgGen")); };
    // The settings are read again here, where the dialog was once made, StartHidden with them:
    // the window goes to the tray at its first activation when the user asked for that. The
    // dialog and the log viewer themselves are made at their first opening.
    ConfigHost = std::move(host);
    ReadConfiguration(Settings, ConfigHost, WithNIC::Yes);
    LogWriter.KeepWaiting(LinesWaitingForTheLog);
}

TForm1::~TForm1()
{
    // Whatever way the program ends, the line is not left marked nor programs held.
    RunGuarded([this] { UndoDataSaver(); });
    // The statistics component hangs up its connection as it goes; a line that is not a
    // dial-up line is the user's and stays up.
    win::InstalledBackend().Ras->ProgramEnds();
}

void TForm1::CreateComponents(const TForm1Services& services)
{
    KZInternetDetect1 = new TKZInternetDetect(this);
    KZInternetDetect1->setObjectName(QStringLiteral("KZInternetDetect1"));
    KZInternetDetect1->OnConnect = [this](QObject* sender) { RunGuarded([&] { KZInternetDetect1Connect(sender); }); };
    KZInternetDetect1->OnDisconnect = [this](QObject* sender) {
        RunGuarded([&] { KZInternetDetect1Disconnect(sender); });
    };

    RxTimerList1 = std::make_unique<TRxTimerList>(services.Timers);
    RxTimerList1->Loading = true;
    RxTimerList1->SetActive(true);
    const auto addEvent = [this](const char* name, std::int32_t interval, void (TForm1::*handler)()) {
        auto event = std::make_unique<TRxTimerEvent>(QString::fromLatin1(name));
        event->SetInterval(interval);
        // A message box shown while the window is being made runs the timers in its own loop;
        // the events wait until every component they use exists.
        event->OnTimer = [this, handler](TRxTimerEvent*) {
            if (Created)
                (this->*handler)();
        };
        // The list owns the event even when arming its timer fails, so the window always has
        // its four events; the failure is shown and the window goes on.
        TRxTimerEvent* joined = event.get();
        RunGuarded([&] { RxTimerList1->Add(std::move(event)); });
        return joined;
    };
    RxTimerEvent1 = addEvent("RxTimerEvent1", 1000, &TForm1::RxTimerEvent1Timer);
    RxTimerEvent2 = addEvent("RxTimerEvent2", 10000, &TForm1::RxTimerEvent2Timer);
    RxTimerEvent3 = addEvent("RxTimerEvent3", 1000, &TForm1::RxTimerEvent3Timer);
    RxTimerEvent4 = addEvent("RxTimerEvent4", 1000, &TForm1::RxTimerEvent4Timer);
    RxTimerList1->Loading = false;

    CreateDialer();

    HTMLhelpRouter1 = new THTMLhelpRouter(this);
    HTMLhelpRouter1->setObjectName(QStringLiteral("HTMLhelpRouter1"));
    HTMLhelpRouter1->SetHelpType(THelpType::htHTMLhelp);
    HTMLhelpRouter1->ShowType = TShowType::stMain;
    HTMLhelpRouter1->Helpfile = QStringLiteral("PuloHelp.chm");

    PlayerWave1 = new TPlayerWave(this);
    PlayerWave1->setObjectName(QStringLiteral("PlayerWave1"));

    RxTrayIcon1 = new TRxTrayIcon(services.TrayShell(), this);
    RxTrayIcon1->setObjectName(QStringLiteral("RxTrayIcon1"));
    RxTrayIcon1->SetHint(QStringLiteral("Pulo - Click to restore"));
    // At rest both arrows grey; while connected the sent and the received arrow light in turn.
    ShowTrayIcons(false);
    RxTrayIcon1->SetInterval(150);
    RxTrayIcon1->OnClick = [this](QObject*, TMouseButton, TShiftState, int, int) { RxTrayIcon1Click(); };
    CreateTrayMenu();
    MakeNotifier = services.Notifier;
    RxTrayIcon1->Loaded();
}

void TForm1::FormCreate(const TForm1Services& services)
{
    if (const QString refusal = PrepareSettingsFile(); !refusal.isEmpty())
        ShowErrorMessage(refusal);
    // A connection end a kill interrupted is finished before the totals are read, so that the
    // log and the settings file agree again.
    PrepareLogFile();
    const TInterruptedEnd interrupted = FinishInterruptedConnectionEnd();
    LinesWaitingForTheLog = interrupted.Waiting;
    for (const QString& problem : interrupted.Problems)
        NoticeProblem(problem);
    OpenHistory(services);
    // The alarm flags are read with the rest: a limit the user did not activate never warns.
    ReadSettings(Settings, WithNIC::Yes, WithMaximumFlags::Yes);
    Plan = ReadPlanSettings();
    Desktop = ReadDesktopSettings();
    const QStringList refusedTotals = ReadMonthTotals(Totals);
    if (!refusedTotals.isEmpty())
        NoticeProblem(QStringLiteral("The month totals in the settings file held what PuloPro could never have "
                                     "written (%1); they count as 0.")
                          .arg(refusedTotals.join(QStringLiteral(", "))));
    CountConfiguredLinks();
    RestoreWindowPosition(*this, PlacementSection);

    ResetSpeedMonitor();
    RxTimerEvent3->SetEnabled(true);

    ApplyStartingColors();

    // The month totals belong to the month in which the running billing period began.
    const DateParts today = DecodeDate(Now());
    const QDate periodFirst = PeriodOf(QDate(today.Year, today.Month, today.Day), Plan.BillingDay).First;
    CurrentYear = static_cast<std::uint16_t>(periodFirst.year());
    CurrentMonth = static_cast<std::uint16_t>(periodFirst.month());
    CurrentDay = today.Day;
    if (Totals.StoredMonth == 0)
        Totals.StoredMonth = CurrentMonth;
    ShownPeriodFirst = periodFirst;
    CountedBillingDay = Plan.BillingDay;

    // Hints everywhere, on aqua.
    QPalette tips = QToolTip::palette();
    tips.setColor(QPalette::ToolTipBase, ToQColor(clAqua));
    tips.setColor(QPalette::ToolTipText, Qt::black);
    QToolTip::setPalette(tips);

    setFixedSize(OuterSize - FrameAllowance);

    RxTimerEvent4->SetInterval(OnlineSoundPeriod(Settings.OnlineInterval));

    ComboBox1->clear();
    DialUp1->GetEntries();
    BitBtn1->setEnabled(false);
    BitBtn1->hide();
    DialUp1->GetConnections();

    SpeedShown = false;
    RasConnName.clear();

    CreateRasStats();

    if (Settings.StartHidden) {
        Settings.StartHidden = false;
        StartMinimized = true;
        RxTrayIcon1->SetActive(true);
    }

    ShowMonthTotals();

    const QStringList headers = {
        QStringLiteral("Adapter"),  QStringLiteral("MAC-address"),  QStringLiteral("IP-Address"),
        QStringLiteral("kbps in"),  QStringLiteral("Peak in/sec"),  QStringLiteral("Avg. in/sec"),
        QStringLiteral("kbps out"), QStringLiteral("Peak out/sec"), QStringLiteral("Avg. out/sec")};
    for (int column = 0; column < headers.size(); ++column)
        sgMIB->SetCell(0, column, headers[column]);

    RxTimerEvent3->SetInterval(1000);
}

void TForm1::CreateRasStats()
{
    win::OSVERSIONINFOA version{};
    version.dwOSVersionInfoSize = sizeof version;
    win::GetVersionExA(&version);
    PlatformId = version.dwPlatformId;
    RasStats = new TRAS(this);
    RasStats->setObjectName(QStringLiteral("RasStats"));
    if (!RasStats->RasAvailable())
        return;
    RasStats->GetPhoneBookEntries();
    RasStats->GetDevices();
    for (qsizetype i = 0; i < RasStats->DeviceNames.size(); ++i)
        RasStats->SetStatsActive(true, true);
}

void TForm1::CountConfiguredLinks()
{
    std::vector<std::string> patterns;
    for (const QString& pattern : ReadLinks())
        patterns.push_back(QFile::encodeName(pattern).toStdString());
    win::InstalledBackend().Ras->CountLinks(patterns);
    win::InstalledBackend().Ras->CountMetered(ReadMetered());
}

void TForm1::ApplyStartingColors()
{
    TimeAlarmColor = RaiseLimitColor(TimeAlarmColor, ShownTotals().TotTime, Settings.MaxTimeAlarm, SecondsPerHour,
                                     Settings.MaximumTime);
    if (TimeAlarmColor != clBlack) {
        SetFontColor(Label12b, TimeAlarmColor);
        SetFontColor(Label3b, TimeAlarmColor);
    }
    MBAlarmColor =
        RaiseLimitColor(MBAlarmColor, LimitCountedKB(0, 0), Settings.MaxMBAlarm, KilobytesPerMB, Settings.MaximumMB);
    if (MBAlarmColor != clBlack) {
        SetFontColor(Label11b, MBAlarmColor);
        SetFontColor(Label6b, MBAlarmColor);
    }
}

void TForm1::ShowMonthTotals()
{
    const TMonthTotals shown = ShownTotals();
    Label10b->setText(FloatToStr(shown.TotTMT / 1000));
    Label11b->setText(FloatToStr(shown.TotRCV / 1000));
    const ClockParts past = SplitSeconds(shown.TotTime);
    PastHours = past.Hours;
    PastMinutes = past.Minutes;
    PastSeconds = past.Seconds;
    Label12b->setText(ClockText(past, MonthTotalHourDigits));
}

void TForm1::ShowAtStart()
{
    // By then start-up's passing memory (the settings read, the history checked and read, the
    // first drawings) has been freed, and the system can have it back.
    QTimer::singleShot(StartSettledMs, this, [] { win::InstalledBackend().System->ReleaseFreeMemory(); });
    if (!StartMinimized) {
        show();
        return;
    }
    showMinimized();
    // Started hidden: straight to the tray (where there is one), as the activation rule does.
    if (Settings.StartHidden)
        HideToTray();
}

void TForm1::FormActivate()
{
    if (Settings.StartHidden)
        HideToTray();
}

void TForm1::HideToTray()
{
    // A notification area that appeared since the icon was last refused takes it now. Without
    // one the window stays minimised on the task bar: hidden, it could not be brought back.
    if (!RxTrayIcon1->Registered())
        RxTrayIcon1->Update();
    if (RxTrayIcon1->Registered()) {
        // Hidden without being minimised first: a window manager carries out a request to
        // minimise when it gets to it, which may be after the window was hidden and shown again
        // (a second start, a click on the icon), and the window shown again would go with it.
        hide();
        HiddenToTray = true;
    } else {
        showMinimized();
    }
    RxTrayIcon1->SetActive(true);
}

void TForm1::WatchTrayHost()
{
    const bool available = RxTrayIcon1->TrayAvailable();
    // Only a window hidden in the tray comes back; one hidden while a dialog or the log viewer
    // stands in its place waits for that to close.
    if (!available && HiddenToTray && !isVisible() && RxTrayIcon1->Active()) {
        ShownForLostTray = true;
        RestoreApplication();
    } else if (available && ShownForLostTray) {
        ShownForLostTray = false;
        if (isVisible())
            HideToTray();
    }
}

void TForm1::About1Click()
{
    // The About box is made when it is first asked for: nothing of it is needed before, and a
    // program that runs for months in the tray need not carry it.
    if (!frmAbout) {
        frmAbout = std::make_unique<TfrmAbout>();
        frmAbout->OnClose = [this] { RestoreApplication(); };
    }
    hide();
    frmAbout->ShowAbout();
}

void TForm1::C1Click()
{
    ApplicationHelpCommand(win::HELP_FINDER, 0);
}

void TForm1::Configuration1Click()
{
    if (!frmConfig)
        frmConfig = std::make_unique<TfrmConfig>(Settings, ConfigHost, nullptr, TConfigCreation::ShowsSettings);
    hide();
    frmConfig->OpenConfig();
}

bool TForm1::OnlineSoundAlways() const
{
    // The dialog's choice counts from the moment it is made, before it is stored.
    return frmConfig ? frmConfig->AlwaysChosen() : !Settings.IdleOnly;
}

void TForm1::ViewLogfile1Click()
{
    if (!frmLog) {
        TLogViewerLoad load = MakeLogViewer(ModuleFolders(QCoreApplication::applicationDirPath()));
        if (!load.Window) {
            ShowErrorMessage(load.Problem);
            return;
        }
        frmLog = std::move(load.Window);
        frmLog->OnClose = [this] {
            Settings.StartHidden = false;
            RestoreApplication();
        };
    }
    // A log that cannot be loaded is shown as an error and the main window stays.
    frmLog->Open();
    hide();
}

void TForm1::RxTrayIcon1Click()
{
    RestoreApplication();
}

void TForm1::RaiseForSecondStart()
{
    Settings.StartHidden = false;
    RestoreApplication();
}

void TForm1::RestoreApplication()
{
    HiddenToTray = false;
    showNormal();
    raise();
    activateWindow();
}

void TForm1::Hide1Click()
{
    HideToTray();
}

void TForm1::BitBtn3Click()
{
    HideToTray();
}

void TForm1::Exit1Click()
{
    if (Tag == 1)
        return;
    Tag = 1;
    RunGuarded([this] { UndoDataSaver(); });
    KZInternetDetect1->SetConnected(false);
    // The window closes even when the totals could not be stored: that failure is shown.
    RunGuarded([this] { AccountConnectionAtExit(); });
    RunGuarded([this] { KeepUnsavedLogLines(); });
    close();
}

void TForm1::closeEvent(QCloseEvent* event)
{
    if (Tag == 1) {
        // A refused write is shown, and the program still ends.
        RunGuarded([this] { SaveWindowPosition(*this, PlacementSection); });
        event->accept();
        Q_EMIT Exited();
        return;
    }
    event->ignore();
    RunGuarded([this] { HideToTray(); });
}

bool TForm1::event(QEvent* event)
{
    if (event->type() == QEvent::WindowActivate)
        RunGuarded([this] { FormActivate(); });
    return QMainWindow::event(event);
}

} // namespace pulo
