// The configuration dialog's " Plan " page, after " Adapter ": the day the ISP's billing month
// starts and what the download limit counts. An addition of ours (the keys BillingDay and
// QuotaCounts of section "General"), kept to the dialog's rules: range-held fields, OK stores,
// Cancel reverts.

#include "settings/PlanSettings.h"
#include "settings/SpinEdit.h"
#include "settings/frmConfig.h"

#include <QGroupBox>
#include <QLabel>
#include <QRadioButton>
#include <QTabWidget>

namespace pulo {

void TfrmConfig::CreatePlanPage()
{
    auto* page = new QWidget;
    page->setObjectName(QStringLiteral("PlanPage"));
    (new QLabel(QStringLiteral("The billing month starts on day:"), page))->setGeometry(24, 28, 230, 20);
    SpinBillingDay = new TSpinEdit(1, 28, 1, page);
    SpinBillingDay->setObjectName(QStringLiteral("SpinBillingDay"));
    SpinBillingDay->setToolTip(QStringLiteral("Minimum 1  -  Maximum 28 (1: the calendar month)"));
    SpinBillingDay->setGeometry(260, 26, 60, 22);
    auto* counts = new QGroupBox(QStringLiteral(" The download limit counts: "), page);
    counts->setGeometry(12, 70, 434, 80);
    RadioQuotaReceived = new QRadioButton(QStringLiteral("Received only"), counts);
    RadioQuotaReceived->setObjectName(QStringLiteral("RadioQuotaReceived"));
    RadioQuotaReceived->setGeometry(16, 24, 300, 20);
    RadioQuotaBoth = new QRadioButton(QStringLiteral("Sent and received"), counts);
    RadioQuotaBoth->setObjectName(QStringLiteral("RadioQuotaBoth"));
    RadioQuotaBoth->setGeometry(16, 48, 300, 20);
    Pages->addTab(page, QStringLiteral(" Plan "));
}

void TfrmConfig::LoadPlanControls()
{
    if (Host.Plan == nullptr)
        return;
    SpinBillingDay->SetValue(Host.Plan->BillingDay);
    RadioQuotaBoth->setChecked(Host.Plan->CountsBoth);
    RadioQuotaReceived->setChecked(!Host.Plan->CountsBoth);
}

void TfrmConfig::ReadPlan()
{
    if (Host.Plan != nullptr)
        *Host.Plan = ReadPlanSettings();
}

void TfrmConfig::StorePlan()
{
    if (Host.Plan == nullptr)
        return;
    TPlanSettings plan;
    plan.BillingDay = SpinBillingDay->Value();
    plan.CountsBoth = RadioQuotaBoth->isChecked();
    WritePlanSettings(plan); // a refused write raises: the dialog stays open
    *Host.Plan = plan;
}

} // namespace pulo
