// The " Plan " page's period, free time and rollover: how the plan's periods run (monthly from the
// billing day, every so many days from the moment of a top-up, or once), the hours and days it
// does not count, and what of a period's unused allowance carries into the next ones. New keys of
// section "General"; OK stores them with the rest of the page.

#include "common/BillingPeriod.h"
#include "common/FreeTime.h"
#include "settings/CaptionedRow.h"
#include "settings/PlanSettings.h"
#include "settings/SpinEdit.h"
#include "settings/frmConfig.h"

#include <QComboBox>
#include <QDateTimeEdit>
#include <QDoubleSpinBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QScrollArea>
#include <QTabWidget>

#include <cmath>

namespace pulo {

namespace {

QString Moment(const QDateTime& at)
{
    return QLocale(QLocale::English).toString(at, QStringLiteral("d MMM yyyy HH:mm"));
}

} // namespace

void TfrmConfig::CreatePeriodControls(QWidget* page)
{
    auto* group = new QGroupBox(QStringLiteral(" Period, free time and rollover: "), page);
    group->setGeometry(12, 530, 420, 196);
    const auto row = [&](const char* caption, int y, QWidget* field, int width) {
        CaptionedRow(group, caption, y, field, 200, width);
    };
    ComboPeriodKind = new QComboBox(group);
    ComboPeriodKind->setObjectName(QStringLiteral("ComboPeriodKind"));
    ComboPeriodKind->addItems({QStringLiteral("Monthly, from the billing day"), QStringLiteral("Every so many days"),
                               QStringLiteral("Once, from start to end")});
    row("The plan runs:", 20, ComboPeriodKind, 206);
    SpinPeriodDays = new TSpinEdit(1, 3660, 30, group);
    SpinPeriodDays->setObjectName(QStringLiteral("SpinPeriodDays"));
    SpinPeriodDays->setToolTip(QStringLiteral("Minimum 1  -  Maximum 3660: the days of each period"));
    row("Days in a period:", 46, SpinPeriodDays, 70);
    const auto moment = [&](const char* name) {
        auto* edit = new QDateTimeEdit(group);
        edit->setObjectName(QString::fromLatin1(name));
        edit->setDisplayFormat(QStringLiteral("yyyy-MM-dd HH:mm"));
        edit->setCalendarPopup(true);
        return edit;
    };
    EditPeriodStart = moment("EditPeriodStart");
    EditPeriodStart->setToolTip(QStringLiteral("When the first period began: the day and hour you topped up"));
    row("From:", 70, EditPeriodStart, 150);
    EditPeriodEnd = moment("EditPeriodEnd");
    EditPeriodEnd->setToolTip(QStringLiteral("When a plan that runs once ends"));
    row("Until (once):", 94, EditPeriodEnd, 150);
    EditFreeHours = new QLineEdit(group);
    EditFreeHours->setObjectName(QStringLiteral("EditFreeHours"));
    EditFreeHours->setPlaceholderText(QStringLiteral("00:00-06:00"));
    EditFreeHours->setToolTip(QStringLiteral("Hours not counted, e.g. 00:00-06:00; several separated by commas"));
    row("Free hours:", 118, EditFreeHours, 100);
    EditFreeDays = new QLineEdit(group);
    EditFreeDays->setObjectName(QStringLiteral("EditFreeDays"));
    EditFreeDays->setPlaceholderText(QStringLiteral("sat,sun"));
    EditFreeDays->setToolTip(QStringLiteral("Days not counted, e.g. sat,sun"));
    EditFreeDays->setGeometry(306, 118, 100, 22);
    EditFreeDays->setAccessibleName(QStringLiteral("Free days"));
    SpinRolloverMB = new QDoubleSpinBox(group);
    SpinRolloverMB->setObjectName(QStringLiteral("SpinRolloverMB"));
    SpinRolloverMB->setRange(0, 1e7);
    SpinRolloverMB->setDecimals(0);
    SpinRolloverMB->setSuffix(QStringLiteral(" MB"));
    SpinRolloverMB->setSpecialValueText(QStringLiteral("none"));
    SpinRolloverMB->setToolTip(QStringLiteral("The most of a period's unused allowance that carries over"));
    row("Unused data carries over:", 144, SpinRolloverMB, 100);
    SpinRolloverPeriods = new TSpinEdit(1, 120, 1, group);
    SpinRolloverPeriods->setObjectName(QStringLiteral("SpinRolloverPeriods"));
    SpinRolloverPeriods->setToolTip(QStringLiteral("Minimum 1  -  Maximum 120: the periods it lasts"));
    row("For periods:", 168, SpinRolloverPeriods, 70);
    const auto follow = [this] {
        const int kind = ComboPeriodKind->currentIndex();
        SpinBillingDay->setEnabled(kind == 0);
        SpinPeriodDays->setEnabled(kind == 1);
        EditPeriodStart->setEnabled(kind != 0);
        EditPeriodEnd->setEnabled(kind == 2);
        ShowPlanSummary();
    };
    connect(ComboPeriodKind, &QComboBox::currentIndexChanged, this, follow);
    connect(SpinPeriodDays, &TSpinEdit::Changed, this, [this] { ShowPlanSummary(); });
    for (QDateTimeEdit* edit : {EditPeriodStart, EditPeriodEnd})
        connect(edit, &QDateTimeEdit::dateTimeChanged, this, [this] { ShowPlanSummary(); });
    for (QLineEdit* edit : {EditFreeHours, EditFreeDays})
        connect(edit, &QLineEdit::textChanged, this, [this] { ShowPlanSummary(); });
    connect(SpinRolloverMB, &QDoubleSpinBox::valueChanged, this, [this] { ShowPlanSummary(); });
}

void TfrmConfig::LoadPeriodControls(const TPlanSettings& plan)
{
    // The combo's items are in the kinds' order.
    const int kind = static_cast<int>(PeriodKindNamed(plan.PeriodKind).value_or(TPeriodKind::Monthly));
    // A new plan of days starts at this hour today: the moment most users topped up.
    const QDateTime hour(QDate::currentDate(), QTime(QTime::currentTime().hour(), 0));
    EditPeriodStart->setDateTime(plan.PeriodStart.isValid() ? plan.PeriodStart : hour);
    EditPeriodEnd->setDateTime(plan.PeriodEnd.isValid() ? plan.PeriodEnd : EditPeriodStart->dateTime().addDays(30));
    SpinPeriodDays->SetValue(plan.PeriodDays);
    EditFreeHours->setText(plan.FreeHours);
    EditFreeDays->setText(plan.FreeDays);
    SpinRolloverMB->setValue(static_cast<double>(plan.RolloverMB));
    SpinRolloverPeriods->SetValue(plan.RolloverPeriods);
    ComboPeriodKind->setCurrentIndex(kind);
    SpinBillingDay->setEnabled(kind == 0);
    SpinPeriodDays->setEnabled(kind == 1);
    EditPeriodStart->setEnabled(kind != 0);
    EditPeriodEnd->setEnabled(kind == 2);
}

void TfrmConfig::StorePeriodControls(TPlanSettings& plan) const
{
    const int kind = std::clamp(ComboPeriodKind->currentIndex(), 0, 2);
    plan.PeriodKind = PeriodKindName(static_cast<TPeriodKind>(kind));
    plan.PeriodDays = SpinPeriodDays->Value();
    // Kept to the minute, as the file keeps it; a monthly plan keeps the moments it had.
    const auto minute = [](const QDateTime& at) {
        return QDateTime(at.date(), QTime(at.time().hour(), at.time().minute()));
    };
    plan.PeriodStart = kind == 0 && Host.Plan != nullptr ? Host.Plan->PeriodStart : minute(EditPeriodStart->dateTime());
    plan.PeriodEnd = kind == 2              ? minute(EditPeriodEnd->dateTime())
                     : Host.Plan != nullptr ? Host.Plan->PeriodEnd
                                            : QDateTime();
    plan.FreeHours = EditFreeHours->text().trimmed();
    plan.FreeDays = EditFreeDays->text().trimmed();
    plan.RolloverMB = std::llround(SpinRolloverMB->value());
    plan.RolloverPeriods = SpinRolloverPeriods->Value();
}

bool TfrmConfig::PeriodInputValid()
{
    QWidget* field = nullptr;
    QString why;
    if (!ParseFreeHours(EditFreeHours->text())) {
        field = EditFreeHours;
        why =
            QStringLiteral("The free hours cannot be read: \u201C%1\u201D. Write ranges such as 00:00-06:00, separated "
                           "by commas.")
                .arg(EditFreeHours->text().trimmed());
    } else if (!ParseFreeDays(EditFreeDays->text())) {
        field = EditFreeDays;
        why = QStringLiteral("The free days cannot be read: \u201C%1\u201D. Write days such as sat,sun.")
                  .arg(EditFreeDays->text().trimmed());
    } else if (ComboPeriodKind->currentIndex() == 2 && EditPeriodEnd->dateTime() <= EditPeriodStart->dateTime()) {
        field = EditPeriodEnd;
        why = QStringLiteral("A plan that runs once must end after it starts.");
    }
    if (field == nullptr)
        return true;
    Pages->setCurrentWidget(PlanTab);
    field->setFocus();
    Warn(why);
    return false;
}

QString TfrmConfig::PeriodSummary() const
{
    switch (ComboPeriodKind->currentIndex()) {
    case 1:
        return QStringLiteral("%1 days from %2").arg(SpinPeriodDays->Value()).arg(Moment(EditPeriodStart->dateTime()));
    case 2:
        return QStringLiteral("Once, %1 to %2")
            .arg(Moment(EditPeriodStart->dateTime()), Moment(EditPeriodEnd->dateTime()));
    default:
        break;
    }
    return SpinBillingDay->Value() == 1 ? QStringLiteral("The calendar month")
                                        : QStringLiteral("Monthly from day %1").arg(SpinBillingDay->Value());
}

QString TfrmConfig::FreeSummary() const
{
    QStringList parts;
    if (const QString free = FreeTimeText(FreeTimeOf(EditFreeHours->text(), EditFreeDays->text())); !free.isEmpty())
        parts << free;
    if (SpinRolloverMB->value() > 0)
        parts << QStringLiteral("up to %1 MB carried over for %2 %3")
                     .arg(SpinRolloverMB->value())
                     .arg(SpinRolloverPeriods->Value())
                     .arg(SpinRolloverPeriods->Value() == 1 ? QStringLiteral("period") : QStringLiteral("periods"));
    return parts.join(QStringLiteral(", "));
}

} // namespace pulo
