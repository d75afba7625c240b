#pragma once

// TfrmConfig: the configuration dialog. The user edits every setting, previews the sounds and
// chooses the interface the speed monitor summarises. It is shown and hidden for the program's
// whole run, never modal; while it is shown the main window is hidden.

#include "common/TSettings.h"
#include "settings/DesktopSettings.h"
#include "settings/PlanSettings.h"
#include "settings/Settings.h"

#include <QDialog>

#include <cstdint>
#include <functional>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QDateEdit;
class QDateTimeEdit;
class QDoubleSpinBox;
class QPushButton;
class QRadioButton;
class QTabWidget;
class QTableWidget;

class QScrollArea;

namespace pulo {

class TFilenameEdit;
class TSpinEdit;

// What the dialog needs of the main window.
struct TConfigHost final
{
    // Plays a wave file through the main window's player, synchronously.
    std::function<void(const QString& waveName)> Preview;
    // A cell of the main window's interface grid (row 0 its header; column 0 an interface's
    // adapter, column 2 its address) and the number of interfaces in it.
    std::function<QString(int row, int column)> InterfaceCell;
    std::function<int()> InterfaceCount;
    // The online sound's period, in seconds.
    std::function<void(std::int32_t)> SetOnlineSoundInterval;
    // Brings the main window back from the tray or the task bar.
    std::function<void()> ShowMainWindow;
    // Opens the help on the dialog's topic; none: no help is installed.
    std::function<void()> ShowHelp;
    // The data plan's working values, shared like the settings; none: no " Plan " page values.
    TPlanSettings* Plan = nullptr;
    // What the limit counts this period now (bytes): where the provider's figure starts, so that
    // the user corrects a number rather than types one from nothing.
    std::function<std::int64_t()> CountedNow;
    // The provider's figure for this period (bytes), given on the Plan page: taken with OK.
    std::function<void(std::int64_t bytes)> SetProviderFigure;
    // An add-on pack bought now, of bytes, to the end of that day (an invalid day: the period's
    // last); none: the Plan page cannot add one.
    std::function<void(std::int64_t bytes, const QDate& until)> AddPack;
    // The billing period's last day now, which a pack lasts to unless the user says otherwise.
    std::function<QDate()> PeriodLastDay;
    // The desktop's working values (notifications), shared likewise.
    TDesktopSettings* Desktop = nullptr;
    // The autostart entry; none: not offered (a portable copy).
    std::function<bool()> AutostartEnabled;
    std::function<bool(bool enabled)> SetAutostart;
    std::function<QString()> AutostartPath; // named when the entry cannot be written
};

// What the dialog's creation reads: the settings (with the chosen interface when asked), and the
// plan's and the desktop's values into the host's. A program that makes the dialog only at its
// first opening reads them itself at the moment the dialog would have been made.
void ReadConfiguration(TSettings& settings, const TConfigHost& host, WithNIC nic);

// Whether the dialog's creation reads the settings (as at the program's start), or only shows
// the ones read already (made at its first opening, when they are read again anyway).
enum class TConfigCreation
{
    ReadsSettings,
    ShowsSettings
};

class TfrmConfig final : public QDialog
{
    Q_OBJECT

public:
    TfrmConfig(TSettings& settings,
               TConfigHost host,
               QWidget* parent = nullptr,
               TConfigCreation creation = TConfigCreation::ReadsSettings);

    void FormCreate();
    void OpenConfig();
    void btnSaveClick();
    void btnCancelClick();
    void btnHelpClick();
    void btnSelectNICClick();
    // Whether "Always" is chosen: the online sound's rule asks.
    [[nodiscard]] bool AlwaysChosen() const;

    QPushButton* btnSave = nullptr;
    QPushButton* btnCancel = nullptr;
    QPushButton* btnHelp = nullptr;
    QTabWidget* Pages = nullptr;
    QWidget* Body = nullptr;         // the pages and buttons, at the dialog's own size
    QScrollArea* Scroller = nullptr; // holds the body on a screen too small for it
    static constexpr QSize BodySize{465, 416};
    QCheckBox* CheckBox1 = nullptr; // StartHidden
    QCheckBox* CheckBox2 = nullptr; // ShowConnected
    QCheckBox* CheckBox9 = nullptr; // AutoHide
    QCheckBox* CheckBox4 = nullptr; // Logging
    QCheckBox* CheckBox3 = nullptr; // Sounds
    QCheckBox* CheckBox5 = nullptr; // DialAlarm
    QCheckBox* CheckBox6 = nullptr; // OnlineSound
    QRadioButton* RadioAlways = nullptr;
    QRadioButton* RadioIdleOnly = nullptr;
    TSpinEdit* SpinEdit1 = nullptr; // OnlineInterval
    QCheckBox* CheckBox7 = nullptr; // MaximumTime
    TSpinEdit* SpinEdit2 = nullptr; // MaxTimeAlarm
    QCheckBox* CheckBox8 = nullptr; // MaximumMB
    TSpinEdit* SpinEdit3 = nullptr; // MaxMBAlarm
    TFilenameEdit* edConnect = nullptr;
    TFilenameEdit* edDisconnect = nullptr;
    TFilenameEdit* edDial = nullptr;
    TFilenameEdit* edOnline = nullptr;
    TFilenameEdit* edMaximum = nullptr;
    QPushButton* Button4 = nullptr;
    QPushButton* Button5 = nullptr;
    QPushButton* Button6 = nullptr;
    QPushButton* Button1 = nullptr;
    QPushButton* Button2 = nullptr;
    QTableWidget* sgNICS = nullptr;
    QPushButton* btnSelectNIC = nullptr;
    // The " Plan " page (frmConfigPlan.cpp).
    TSpinEdit* SpinBillingDay = nullptr;
    QRadioButton* RadioQuotaReceived = nullptr;
    QRadioButton* RadioQuotaBoth = nullptr;
    // The download limit again, in MB or GB: the same setting as CheckBox8 and SpinEdit3.
    QCheckBox* CheckPlanLimit = nullptr;
    QDoubleSpinBox* SpinPlanLimit = nullptr;
    QComboBox* ComboPlanUnit = nullptr;
    QLineEdit* EditThresholds = nullptr;
    QCheckBox* CheckAllowanceNotice = nullptr;
    QCheckBox* CheckHangUpAtLimit = nullptr;
    QComboBox* ComboDataSaver = nullptr;
    QDoubleSpinBox* SpinDailyLimit = nullptr;
    QDoubleSpinBox* SpinPricePerMB = nullptr;
    QDoubleSpinBox* SpinPricePerHour = nullptr;
    QDoubleSpinBox* SpinPricePerPeriod = nullptr;
    QLineEdit* EditCurrency = nullptr;
    QLabel* lblPlanSummary = nullptr;       // the plan in a line, as the user would say it
    QDoubleSpinBox* SpinPackSize = nullptr; // a pack to add with OK, in GB (0: none)
    QDateEdit* DatePackUntil = nullptr;
    QScrollArea* PlanTab = nullptr;
    // How the plan's periods run, its free time and its rollover (frmConfigPeriod.cpp).
    QComboBox* ComboPeriodKind = nullptr; // monthly, every N days, once
    TSpinEdit* SpinPeriodDays = nullptr;
    QDateTimeEdit* EditPeriodStart = nullptr;
    QDateTimeEdit* EditPeriodEnd = nullptr;
    QLineEdit* EditFreeHours = nullptr;
    QLineEdit* EditFreeDays = nullptr;
    QDoubleSpinBox* SpinRolloverMB = nullptr;
    TSpinEdit* SpinRolloverPeriods = nullptr;
    QDoubleSpinBox* SpinProviderFigure = nullptr;
    QComboBox* ComboProviderUnit = nullptr;
    double ProviderFigureShown = 0; // what the provider's field started at, in its unit
    int ProviderUnitShown = 0;
    // The " General " page's desktop checks (frmConfigDesktop.cpp).
    QCheckBox* CheckNotify = nullptr;
    QCheckBox* CheckAutostart = nullptr;

    // The warning of an OK without either sound option; tests replace the message box.
    std::function<void(const QString& text)> Warn;

protected:
    void reject() override;
    void showEvent(QShowEvent* event) override;

private:
    void CreateGeneralPage();
    void CreateAlarmsPage();
    void CreateSoundsPage();
    void CreateAdapterPage();
    void CreatePlanPage();
    void CreateTariffControls(QWidget* page);
    void CreatePeriodControls(QWidget* page);
    void LoadPeriodControls(const TPlanSettings& plan);
    void StorePeriodControls(TPlanSettings& plan) const;
    // The period's words of the plan's summary: "30 days from 20 Nov 09:00", "The calendar month".
    [[nodiscard]] QString PeriodSummary() const;
    [[nodiscard]] QString FreeSummary() const;
    // The period's and free time's fields can be stored; else says why, on the page.
    [[nodiscard]] bool PeriodInputValid();
    void ShowPlanSummary();
    void LoadPlanControls();
    void BindPlanLimit();
    void ShowPlanLimit(std::int32_t megabytes);
    void StorePlan();
    // The Plan page's fields can be stored; else says why, on the page.
    [[nodiscard]] bool PlanInputValid();
    void CreateDesktopChecks(QWidget* page);
    void LoadDesktopControls();
    void StoreDesktop();
    void LoadControls();
    void FillAdapterGrid();
    void CloseConfig();
    // Keeps the dialog within its screen: where the screen is smaller than the dialog, its body
    // scrolls inside a dialog of the screen's size.
    void FitScreen();

    TSettings& Settings;
    TConfigHost Host;
    bool BindingLimit = false; // one of the limit's two pages is following the other
};

} // namespace pulo
