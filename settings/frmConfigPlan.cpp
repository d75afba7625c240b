// The configuration dialog's " Plan " page, after " Adapter ": the day the ISP's billing month
// starts, what the download limit counts, and the download limit itself. An addition of ours (the
// keys BillingDay and QuotaCounts of section "General"), kept to the dialog's rules: range-held
// fields, OK stores, Cancel reverts. The limit is the " Alarms " page's maximum download alarm,
// shown here in MB or GB so that a plan is set up in one place: each page follows the other as
// it is edited, and OK stores it once, from the Alarms page's fields.

#include "common/BillingPeriod.h"
#include "settings/CaptionedRow.h"
#include "settings/PlanSettings.h"
#include "settings/SpinEdit.h"
#include "settings/frmConfig.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QDoubleSpinBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollArea>
#include <QTabWidget>

#include <cmath>

namespace pulo {

void TfrmConfig::CreatePlanPage()
{
    auto* page = new QWidget;
    page->setObjectName(QStringLiteral("PlanPage"));
    (new QLabel(QStringLiteral("The billing month starts on day:"), page))->setGeometry(24, 16, 230, 20);
    SpinBillingDay = new TSpinEdit(1, 31, 1, page);
    SpinBillingDay->setObjectName(QStringLiteral("SpinBillingDay"));
    SpinBillingDay->setToolTip(
        QStringLiteral("Minimum 1  -  Maximum 31 (1: the calendar month; 29 to 31: the last day of a shorter month)"));
    SpinBillingDay->setGeometry(260, 14, 60, 22);
    SpinBillingDay->setAccessibleName(QStringLiteral("The billing month starts on day"));
    auto* counts = new QGroupBox(QStringLiteral(" The download limit counts: "), page);
    counts->setGeometry(12, 40, 434, 58);
    RadioQuotaReceived = new QRadioButton(QStringLiteral("Received only"), counts);
    RadioQuotaReceived->setObjectName(QStringLiteral("RadioQuotaReceived"));
    RadioQuotaReceived->setGeometry(16, 18, 300, 18);
    RadioQuotaBoth = new QRadioButton(QStringLiteral("Sent and received"), counts);
    RadioQuotaBoth->setObjectName(QStringLiteral("RadioQuotaBoth"));
    RadioQuotaBoth->setGeometry(16, 36, 300, 18);

    auto* limit = new QGroupBox(QStringLiteral(" Download limit: "), page);
    limit->setGeometry(12, 102, 434, 50);
    CheckPlanLimit = new QCheckBox(QStringLiteral("Activate alarm"), limit);
    CheckPlanLimit->setObjectName(QStringLiteral("CheckPlanLimit"));
    CheckPlanLimit->setGeometry(16, 22, 150, 20);
    SpinPlanLimit = new QDoubleSpinBox(limit);
    SpinPlanLimit->setObjectName(QStringLiteral("SpinPlanLimit"));
    SpinPlanLimit->setGeometry(230, 20, 110, 22);
    SpinPlanLimit->setAccessibleName(QStringLiteral("Download limit"));
    ComboPlanUnit = new QComboBox(limit);
    ComboPlanUnit->setObjectName(QStringLiteral("ComboPlanUnit"));
    ComboPlanUnit->addItems({QStringLiteral("MB"), QStringLiteral("GB")});
    ComboPlanUnit->setGeometry(346, 20, 70, 22);
    ComboPlanUnit->setAccessibleName(QStringLiteral("Unit of the download limit"));
    auto* same = new QLabel(QStringLiteral("The same limit as the maximum download alarm on the Alarms page."), page);
    same->setGeometry(16, 154, 430, 16);

    auto* warnings = new QGroupBox(QStringLiteral(" Warnings: "), page);
    warnings->setGeometry(12, 172, 434, 136);
    auto* at = new QLabel(QStringLiteral("At (% of the limit, once a period):"), warnings);
    at->setGeometry(16, 22, 220, 20);
    EditThresholds = new QLineEdit(warnings);
    EditThresholds->setObjectName(QStringLiteral("EditThresholds"));
    EditThresholds->setToolTip(QStringLiteral("Whole percentages from 1 to 1000, separated by blanks; empty: none"));
    EditThresholds->setGeometry(240, 20, 176, 22);
    at->setBuddy(EditThresholds);
    EditThresholds->setAccessibleName(QStringLiteral("Warnings at percentages of the limit"));
    CheckAllowanceNotice = new QCheckBox(QStringLiteral("When today's use passes the daily allowance"), warnings);
    CheckAllowanceNotice->setObjectName(QStringLiteral("CheckAllowanceNotice"));
    CheckAllowanceNotice->setGeometry(16, 46, 400, 20);
    auto* allowance =
        new QLabel(QStringLiteral("Daily allowance: what was left this morning over the days left."), warnings);
    allowance->setObjectName(QStringLiteral("lblDailyAllowance"));
    allowance->setGeometry(36, 64, 390, 18);
    allowance->setEnabled(false); // a note, in the desktop's quieter text
    // Then the data saver: the line marked metered and the chosen programs held back.
    auto* saver = new QLabel(QStringLiteral("Data saver:"), warnings);
    saver->setGeometry(16, 86, 120, 20);
    ComboDataSaver = new QComboBox(warnings);
    ComboDataSaver->setObjectName(QStringLiteral("ComboDataSaver"));
    ComboDataSaver->addItems(
        {QStringLiteral("Off"), QStringLiteral("When the plan runs short"), QStringLiteral("Always")});
    ComboDataSaver->setGeometry(140, 84, 276, 22);
    saver->setBuddy(ComboDataSaver);
    ComboDataSaver->setAccessibleName(QStringLiteral("Data saver"));
    ComboDataSaver->setToolTip(QStringLiteral(
        "While it is on, the line is marked metered (software updates and sync wait) and the programs you chose on "
        "the Usage window's Programs tab are held back. \"When the plan runs short\": the forecast passes the "
        "limit, the highest warning is passed, or today's allowance is used up"));
    CheckHangUpAtLimit = new QCheckBox(QStringLiteral("Hang up a dial-up line when the limit is passed"), warnings);
    CheckHangUpAtLimit->setObjectName(QStringLiteral("CheckHangUpAtLimit"));
    CheckHangUpAtLimit->setGeometry(16, 110, 400, 20);
    auto* provider = new QLabel(QStringLiteral("Your provider's meter says:"), page);
    provider->setGeometry(16, 316, 190, 20);
    SpinProviderFigure = new QDoubleSpinBox(page);
    SpinProviderFigure->setObjectName(QStringLiteral("SpinProviderFigure"));
    provider->setBuddy(SpinProviderFigure);
    SpinProviderFigure->setAccessibleName(QStringLiteral("Your provider's meter says"));
    SpinProviderFigure->setToolTip(QStringLiteral("What your provider says this billing period has used, as the limit "
                                                  "counts it. It starts at what PuloPro counts; a figure you change "
                                                  "is taken with OK, and every figure follows it from then on"));
    SpinProviderFigure->setDecimals(3);
    // Up to what a line could carry in any unit (MostProviderBytes).
    SpinProviderFigure->setRange(0, 1e6);
    SpinProviderFigure->setGeometry(206, 316, 110, 22);
    ComboProviderUnit = new QComboBox(page);
    ComboProviderUnit->setObjectName(QStringLiteral("ComboProviderUnit"));
    ComboProviderUnit->addItems({QStringLiteral("MB"), QStringLiteral("GB")});
    ComboProviderUnit->setCurrentIndex(1);
    connect(ComboProviderUnit, &QComboBox::currentIndexChanged, this,
            [this](int unit) { SpinProviderFigure->setMaximum(unit == 1 ? 1e6 : 1e9); });
    ComboProviderUnit->setGeometry(320, 316, 56, 22);
    ComboProviderUnit->setAccessibleName(QStringLiteral("Unit of your provider's figure"));
    SpinProviderFigure->setEnabled(static_cast<bool>(Host.SetProviderFigure));
    ComboProviderUnit->setEnabled(static_cast<bool>(Host.SetProviderFigure));
    CreateTariffControls(page);
    CreatePeriodControls(page);
    // Taller than the dialog's pages: it scrolls, the plan's summary and its first fields on top.
    page->setFixedSize(440, 736);
    PlanTab = new QScrollArea;
    PlanTab->setObjectName(QStringLiteral("PlanTab"));
    PlanTab->setFrameShape(QFrame::NoFrame);
    PlanTab->setWidget(page);
    Pages->addTab(PlanTab, QStringLiteral(" Plan "));
    BindPlanLimit();
}

void TfrmConfig::CreateTariffControls(QWidget* page)
{
    // What the plan costs and caps, and the plan in a line as the user would say it.
    auto* tariff = new QGroupBox(QStringLiteral(" Daily cap and prices: "), page);
    tariff->setGeometry(12, 346, 420, 120);
    const auto row = [&](const char* caption, int y, QWidget* field) {
        CaptionedRow(tariff, caption, y, field, 250, 110);
    };
    SpinDailyLimit = new QDoubleSpinBox(tariff);
    SpinDailyLimit->setObjectName(QStringLiteral("SpinDailyLimit"));
    SpinDailyLimit->setRange(0, 1e6);
    SpinDailyLimit->setDecimals(0);
    SpinDailyLimit->setSuffix(QStringLiteral(" MB"));
    SpinDailyLimit->setSpecialValueText(QStringLiteral("none"));
    row("Daily cap:", 20, SpinDailyLimit);
    const auto price = [&](const char* name) {
        auto* spin = new QDoubleSpinBox(tariff);
        spin->setObjectName(QString::fromLatin1(name));
        spin->setRange(0, 1e6);
        spin->setDecimals(4);
        return spin;
    };
    SpinPricePerMB = price("SpinPricePerMB");
    row("Price a MB beyond the limit:", 44, SpinPricePerMB);
    SpinPricePerHour = price("SpinPricePerHour");
    row("Price an hour online:", 68, SpinPricePerHour);
    SpinPricePerPeriod = price("SpinPricePerPeriod");
    row("Price a billing period:", 92, SpinPricePerPeriod);
    EditCurrency = new QLineEdit(tariff);
    EditCurrency->setObjectName(QStringLiteral("EditCurrency"));
    EditCurrency->setMaxLength(8);
    EditCurrency->setGeometry(366, 92, 46, 22);
    EditCurrency->setAccessibleName(QStringLiteral("Currency"));
    EditCurrency->setToolTip(QStringLiteral("EUR, USD, $ ...; empty: your locale's"));
    // A pack bought today: taken with OK, like the provider's figure.
    auto* packs = new QLabel(QStringLiteral("Add a pack:"), page);
    packs->setGeometry(16, 474, 90, 20);
    SpinPackSize = new QDoubleSpinBox(page);
    SpinPackSize->setObjectName(QStringLiteral("SpinPackSize"));
    SpinPackSize->setRange(0, 10000);
    SpinPackSize->setDecimals(3);
    SpinPackSize->setSuffix(QStringLiteral(" GB"));
    SpinPackSize->setSpecialValueText(QStringLiteral("none"));
    SpinPackSize->setGeometry(110, 472, 110, 22);
    SpinPackSize->setAccessibleName(QStringLiteral("Add a pack of"));
    SpinPackSize->setToolTip(QStringLiteral("Data you bought on top of your plan, counted from OK on"));
    packs->setBuddy(SpinPackSize);
    auto* until = new QLabel(QStringLiteral("until"), page);
    until->setGeometry(228, 474, 40, 20);
    DatePackUntil = new QDateEdit(page);
    DatePackUntil->setObjectName(QStringLiteral("DatePackUntil"));
    DatePackUntil->setCalendarPopup(true);
    DatePackUntil->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
    DatePackUntil->setGeometry(270, 472, 120, 22);
    DatePackUntil->setAccessibleName(QStringLiteral("The pack's last day"));
    DatePackUntil->setToolTip(QStringLiteral("Its last day; at most the billing period's last day"));
    until->setBuddy(DatePackUntil);
    SpinPackSize->setEnabled(static_cast<bool>(Host.AddPack));
    DatePackUntil->setEnabled(static_cast<bool>(Host.AddPack));
    lblPlanSummary = new QLabel(page);
    lblPlanSummary->setObjectName(QStringLiteral("lblPlanSummary"));
    lblPlanSummary->setGeometry(16, 502, 420, 20);
    lblPlanSummary->setTextInteractionFlags(Qt::TextSelectableByMouse);
    for (QDoubleSpinBox* spin : {SpinDailyLimit, SpinPricePerMB, SpinPricePerHour, SpinPricePerPeriod, SpinPlanLimit})
        connect(spin, &QDoubleSpinBox::valueChanged, this, [this] { ShowPlanSummary(); });
    connect(EditCurrency, &QLineEdit::textChanged, this, [this] { ShowPlanSummary(); });
    connect(SpinBillingDay, &TSpinEdit::Changed, this, [this] { ShowPlanSummary(); });
}

void TfrmConfig::ShowPlanSummary()
{
    // "30 days from 20 Nov 2026 09:00, 10 GB, 00:00-06:00 free, 1000 MB a day, 20.00 EUR a period"
    if (ComboPeriodKind == nullptr)
        return; // still being made
    QStringList parts{PeriodSummary()};
    if (CheckPlanLimit->isChecked())
        parts << QStringLiteral("%1 %2").arg(SpinPlanLimit->value()).arg(ComboPlanUnit->currentText());
    if (const QString free = FreeSummary(); !free.isEmpty())
        parts << free;
    if (SpinDailyLimit->value() > 0)
        parts << QStringLiteral("%1 MB a day").arg(SpinDailyLimit->value());
    const QString currency = EditCurrency->text().trimmed().isEmpty()
                                 ? QLocale::system().currencySymbol(QLocale::CurrencyIsoCode)
                                 : EditCurrency->text().trimmed();
    if (SpinPricePerPeriod->value() > 0)
        parts << QStringLiteral("%1 %2 a period").arg(QString::number(SpinPricePerPeriod->value(), 'f', 2), currency);
    if (SpinPricePerMB->value() > 0)
        parts << QStringLiteral("%1 %2 a MB beyond").arg(QString::number(SpinPricePerMB->value(), 'g', 4), currency);
    if (SpinPricePerHour->value() > 0)
        parts << QStringLiteral("%1 %2 an hour").arg(QString::number(SpinPricePerHour->value(), 'g', 4), currency);
    lblPlanSummary->setText(parts.join(QStringLiteral(", ")));
}

void TfrmConfig::BindPlanLimit()
{
    // A check set to what it shows already says nothing, so the two checks cannot chase each other.
    connect(CheckPlanLimit, &QCheckBox::toggled, CheckBox8, &QCheckBox::setChecked);
    connect(CheckBox8, &QCheckBox::toggled, CheckPlanLimit, &QCheckBox::setChecked);
    connect(SpinPlanLimit, &QDoubleSpinBox::valueChanged, this, [this](double value) {
        if (BindingLimit)
            return;
        BindingLimit = true;
        SpinEdit3->SetValue(std::llround(value * (ComboPlanUnit->currentIndex() == 1 ? 1000 : 1)));
        BindingLimit = false;
    });
    connect(SpinEdit3, &TSpinEdit::Changed, this, [this] {
        if (!BindingLimit)
            ShowPlanLimit(SpinEdit3->Value());
    });
    connect(ComboPlanUnit, &QComboBox::currentIndexChanged, this, [this] { ShowPlanLimit(SpinEdit3->Value()); });
}

void TfrmConfig::ShowPlanLimit(std::int32_t megabytes)
{
    const bool gigabytes = ComboPlanUnit->currentIndex() == 1;
    BindingLimit = true;
    SpinPlanLimit->setDecimals(gigabytes ? 3 : 0);
    SpinPlanLimit->setRange(gigabytes ? 0.001 : 1, gigabytes ? 1e6 : 1e9);
    SpinPlanLimit->setValue(gigabytes ? megabytes / 1000.0 : megabytes);
    BindingLimit = false;
}

void TfrmConfig::LoadPlanControls()
{
    ComboPlanUnit->setCurrentIndex(SpinEdit3->Value() >= 1000 ? 1 : 0);
    ShowPlanLimit(SpinEdit3->Value());
    CheckPlanLimit->setChecked(CheckBox8->isChecked());
    if (Host.Plan == nullptr)
        return;
    SpinBillingDay->SetValue(Host.Plan->BillingDay);
    RadioQuotaBoth->setChecked(Host.Plan->CountsBoth);
    RadioQuotaReceived->setChecked(!Host.Plan->CountsBoth);
    EditThresholds->setText(ThresholdsText(Host.Plan->Thresholds));
    CheckAllowanceNotice->setChecked(Host.Plan->AllowanceNotice);
    CheckHangUpAtLimit->setChecked(Host.Plan->HangUpAtLimit);
    ComboDataSaver->setCurrentIndex(Host.Plan->DataSaver);
    SpinDailyLimit->setValue(static_cast<double>(Host.Plan->DailyLimitMB));
    SpinPricePerMB->setValue(Host.Plan->PricePerMB);
    SpinPricePerHour->setValue(Host.Plan->PricePerHour);
    SpinPricePerPeriod->setValue(Host.Plan->PricePerPeriod);
    EditCurrency->setText(Host.Plan->Currency);
    SpinPackSize->setValue(0);
    DatePackUntil->setDate(Host.PeriodLastDay ? Host.PeriodLastDay()
                                              : PeriodOf(QDate::currentDate(), Host.Plan->BillingDay).End.addDays(-1));
    LoadPeriodControls(*Host.Plan);
    ShowPlanSummary();
    // The provider's figure starts at what PuloPro counts now, in the unit that reads best.
    const std::int64_t counted = Host.CountedNow ? Host.CountedNow() : 0;
    ComboProviderUnit->setCurrentIndex(counted >= 1'000'000'000 ? 1 : 0);
    SpinProviderFigure->setValue(static_cast<double>(counted) / (counted >= 1'000'000'000 ? 1e9 : 1e6));
    ProviderFigureShown = SpinProviderFigure->value();
    ProviderUnitShown = ComboProviderUnit->currentIndex();
}

bool TfrmConfig::PlanInputValid()
{
    if (EditThresholds == nullptr)
        return true;
    if (ParseThresholds(EditThresholds->text()))
        return PeriodInputValid();
    Pages->setCurrentWidget(PlanTab);
    EditThresholds->setFocus();
    Warn(QStringLiteral("The warnings cannot be read: %1. They must be whole percentages from 1 to 1000, separated "
                        "by blanks.")
             .arg(UnreadableThreshold(EditThresholds->text())));
    return false;
}

void TfrmConfig::StorePlan()
{
    if (Host.Plan == nullptr)
        return;
    TPlanSettings plan;
    plan.BillingDay = SpinBillingDay->Value();
    plan.CountsBoth = RadioQuotaBoth->isChecked();
    plan.Thresholds = ParseThresholds(EditThresholds->text()).value_or(Host.Plan->Thresholds);
    plan.AllowanceNotice = CheckAllowanceNotice->isChecked();
    plan.HangUpAtLimit = CheckHangUpAtLimit->isChecked();
    plan.DataSaver = ComboDataSaver->currentIndex();
    plan.HeldBack = Host.Plan->HeldBack; // chosen on the Programs tab, kept as it is
    plan.DailyLimitMB = std::llround(SpinDailyLimit->value());
    plan.PricePerMB = SpinPricePerMB->value();
    plan.PricePerHour = SpinPricePerHour->value();
    plan.PricePerPeriod = SpinPricePerPeriod->value();
    plan.Currency = EditCurrency->text().trimmed();
    StorePeriodControls(plan);
    WritePlanSettings(plan); // a refused write raises: the dialog stays open
    *Host.Plan = plan;
    // The provider's figure, when the user changed it: with OK, like every other field.
    const bool changed = std::abs(SpinProviderFigure->value() - ProviderFigureShown) > 0.0005 ||
                         ComboProviderUnit->currentIndex() != ProviderUnitShown;
    if (changed && Host.SetProviderFigure)
        Host.SetProviderFigure(
            std::llround(SpinProviderFigure->value() * (ComboProviderUnit->currentIndex() == 1 ? 1e9 : 1e6)));
    if (SpinPackSize->value() > 0 && Host.AddPack)
        Host.AddPack(std::llround(SpinPackSize->value() * 1e9), DatePackUntil->date());
    SpinPackSize->setValue(0);
}

} // namespace pulo
