#include "settings/frmConfig.h"

#include "common/ErrorBoundary.h"
#include "common/PuloError.h"
#include "platform/ProfileText.h"
#include "settings/FilenameEdit.h"
#include "settings/Settings.h"
#include "settings/SpinEdit.h"
#include "tests/support/SimPlatformTest.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QDateTimeEdit>
#include <QDoubleSpinBox>
#include <QFocusEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTableWidget>
#include <QTest>

namespace pulo {
namespace {

class frmConfigTest : public test::SimPlatformTest
{
protected:
    std::unique_ptr<TfrmConfig> Make()
    {
        TConfigHost host;
        host.Preview = [this](const QString& name) { Previewed << name; };
        host.InterfaceCell = [this](int row, int column) {
            const QTableWidgetItem* item = Grid.item(row, column);
            return item != nullptr ? item->text() : QString();
        };
        host.InterfaceCount = [this] { return Grid.rowCount() - 1; };
        host.SetOnlineSoundInterval = [this](std::int32_t seconds) { Interval = seconds; };
        host.ShowMainWindow = [this] { ++MainShown; };
        host.Plan = &Plan;
        host.PeriodLastDay = [] { return QDate(2026, 12, 14); };
        host.AddPack = [this](std::int64_t bytes, const QDate& until) { Packs.emplace_back(bytes, until); };
        auto dialog = std::make_unique<TfrmConfig>(Settings, host);
        dialog->Warn = [this](const QString& text) { Warnings << text; };
        return dialog;
    }

    // "Section/Key" as the settings file holds it now.
    [[nodiscard]] QString Stored(const char* key) const
    {
        const QStringList parts = QString::fromLatin1(key).split(QLatin1Char('/'));
        const win::ProfileText text(ReadIni().toStdString());
        const auto value = text.Value(parts[0].toStdString(), parts[1].toStdString());
        return value ? QString::fromStdString(*value) : QString();
    }

    TSettings Settings;
    TPlanSettings Plan;
    std::vector<std::pair<std::int64_t, QDate>> Packs; // added on the Plan page
    QTableWidget Grid{3, 9};
    QStringList Previewed;
    QStringList Warnings;
    std::int32_t Interval = 0;
    int MainShown = 0;
};

TEST_F(frmConfigTest, FirstOpeningShowsTheDefaultsAndOkStoresThem)
{
    auto dialog = Make();
    dialog->OpenConfig();
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_EQ(dialog->windowTitle(), QStringLiteral(" Pulo Configuration Options"));
    EXPECT_TRUE(dialog->RadioIdleOnly->isChecked());
    EXPECT_FALSE(dialog->AlwaysChosen());
    EXPECT_EQ(dialog->SpinEdit1->text(), QStringLiteral("60"));
    EXPECT_EQ(dialog->SpinEdit2->text(), QStringLiteral("1"));
    EXPECT_EQ(dialog->SpinEdit3->text(), QStringLiteral("1"));
    EXPECT_EQ(dialog->edConnect->Text(), QStringLiteral("DefaultCon.wav"));
    dialog->btnSave->click();
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_EQ(MainShown, 1);
    EXPECT_EQ(Stored("General/MaxTimeAlarm"), "1");
    EXPECT_EQ(Stored("General/MaxMBAlarm"), "1");
    EXPECT_EQ(Stored("General/OnlineInterval"), "60");
    EXPECT_EQ(Interval, 60);
}

TEST_F(frmConfigTest, NumbersAreHeldToTheirRangeExceptAsTyped)
{
    const struct
    {
        const char* Name;
        QByteArray Ini;
        const char* Typed; // null: nothing typed
        bool LeaveWithTab;
        const char* Shown;
        const char* Stored;
    } cases[] = {
        {"5 in the file shows 10", "[General]\nOnlineInterval=5\n", nullptr, false, "10", "10"},
        {"5000 left with Tab", "", "5000", true, "3600", "3600"},
        {"5000 accepted while typed", "", "5000", false, "5000", "5000"},
        {"emptied", "", "", false, "", "10"},
        {"letters are refused", "", "1x2", false, "12", "12"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        WriteIni(c.Ini);
        auto dialog = Make();
        dialog->OpenConfig();
        dialog->Pages->setCurrentIndex(1);
        TSpinEdit* field = dialog->SpinEdit1;
        if (c.Typed != nullptr) {
            field->setFocus();
            field->clear();
            QTest::keyClicks(field, QString::fromLatin1(c.Typed));
            if (c.LeaveWithTab) {
                QFocusEvent leave(QEvent::FocusOut, Qt::TabFocusReason);
                QApplication::sendEvent(field, &leave);
            }
        }
        EXPECT_EQ(field->text(), QString::fromLatin1(c.Shown));
        dialog->btnSave->click();
        EXPECT_EQ(Stored("General/OnlineInterval"), QString::fromLatin1(c.Stored));
    }
}

TEST_F(frmConfigTest, WithoutEitherSoundOptionOkWarnsAndStoresNothing)
{
    WriteIni("[General]\nSounds=1\nDialAlarm=1\nAutoHide=0\n");
    const QByteArray before = ReadIni();
    auto dialog = Make();
    dialog->OpenConfig();
    dialog->CheckBox3->setChecked(false);
    dialog->CheckBox5->setChecked(false);
    dialog->CheckBox9->setChecked(true);
    dialog->btnSave->click();
    EXPECT_EQ(Warnings, QStringList{"At least one of the options 'Connect/Disconnect sounds' and 'Dial start Alarm' "
                                    "must be checked !"});
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_EQ(ReadIni(), before);
    EXPECT_FALSE(Settings.AutoHide);
    dialog->OpenConfig();
    EXPECT_TRUE(dialog->CheckBox3->isChecked()) << "reopening shows the old values";
}

TEST_F(frmConfigTest, EnterAndEscCancel)
{
    for (const Qt::Key key : {Qt::Key_Escape, Qt::Key_Return}) {
        SCOPED_TRACE(key);
        WriteIni("[General]\nAutoHide=0\n");
        auto dialog = Make();
        dialog->OpenConfig();
        dialog->CheckBox9->setChecked(true);
        dialog->Pages->setCurrentIndex(1);
        dialog->SpinEdit2->setFocus();
        QTest::keyClick(dialog->SpinEdit2, key);
        EXPECT_FALSE(dialog->isVisible());
        EXPECT_FALSE(Settings.AutoHide);
        EXPECT_EQ(ReadIni(), QByteArray("[General]\nAutoHide=0\n"));
    }
}

TEST_F(frmConfigTest, TheAdapterGridAndSelectNic)
{
    Grid.setRowCount(12); // eleven interfaces
    for (int row = 1; row < 12; ++row) {
        Grid.setItem(row, 0, new QTableWidgetItem(QStringLiteral("if%1").arg(row)));
        Grid.setItem(row, 2, new QTableWidgetItem(QStringLiteral("10.0.0.%1").arg(row)));
    }
    WriteIni("[General]\nNIC=2\n");
    auto dialog = Make();
    dialog->OpenConfig();
    EXPECT_EQ(dialog->sgNICS->rowCount(), 10);
    EXPECT_EQ(dialog->sgNICS->item(0, 0)->text(), QStringLiteral("    Adapter"));
    EXPECT_EQ(dialog->sgNICS->item(9, 0)->text(), QStringLiteral("if9"));
    EXPECT_EQ(dialog->sgNICS->item(9, 1)->text(), QStringLiteral("10.0.0.9"));
    EXPECT_EQ(dialog->sgNICS->selectedRanges().value(0).topRow(), 2);

    dialog->sgNICS->selectRow(4);
    dialog->btnSelectNIC->click();
    dialog->btnCancel->click();
    EXPECT_EQ(Settings.NIC, 4);
    EXPECT_EQ(Stored("General/NIC"), "4") << "kept after Cancel";

    Settings.NIC = 12;
    EXPECT_THROW(dialog->OpenConfig(), PuloError);
}

TEST_F(frmConfigTest, ARefusedWriteKeepsTheDialogOpen)
{
    auto dialog = Make();
    dialog->OpenConfig();
    Sim->RefuseProfileWrites = true;
    EXPECT_THROW(dialog->btnSaveClick(), PuloError);
    EXPECT_TRUE(dialog->isVisible());
    dialog->edConnect->SetText(QStringLiteral("/tmp/mine.wav"));
    dialog->Button4->click();
    EXPECT_EQ(Previewed, QStringList{"/tmp/mine.wav"});
}

TEST_F(frmConfigTest, ThePlanPageStoresOnOkAndRevertsOnCancel)
{
    WriteIni("[General]\nBillingDay=40\nQuotaCounts=both\n");
    auto dialog = Make();
    dialog->OpenConfig();
    EXPECT_EQ(dialog->Pages->tabText(dialog->Pages->count() - 1), QStringLiteral(" Plan "));
    EXPECT_EQ(dialog->SpinBillingDay->Value(), 1) << "a day past 31 reads as the calendar month";
    EXPECT_TRUE(dialog->RadioQuotaBoth->isChecked());

    dialog->Pages->setCurrentIndex(dialog->Pages->count() - 1);
    dialog->SpinBillingDay->setFocus();
    dialog->SpinBillingDay->clear();
    QTest::keyClicks(dialog->SpinBillingDay, QStringLiteral("32"));
    QFocusEvent leave(QEvent::FocusOut, Qt::TabFocusReason);
    QApplication::sendEvent(dialog->SpinBillingDay, &leave);
    EXPECT_EQ(dialog->SpinBillingDay->Value(), 31) << "held to its range";
    dialog->SpinBillingDay->SetValue(15);
    dialog->RadioQuotaReceived->setChecked(true);
    auto* saver = dialog->findChild<QComboBox*>(QStringLiteral("ComboDataSaver"));
    ASSERT_NE(saver, nullptr);
    EXPECT_EQ(saver->currentText(), QStringLiteral("Off"));
    saver->setCurrentIndex(1);
    // The daily cap and the prices, and the plan in a line as the user would say it.
    dialog->findChild<QDoubleSpinBox*>(QStringLiteral("SpinDailyLimit"))->setValue(1000);
    dialog->findChild<QDoubleSpinBox*>(QStringLiteral("SpinPricePerHour"))->setValue(0.6);
    dialog->findChild<QDoubleSpinBox*>(QStringLiteral("SpinPricePerPeriod"))->setValue(20);
    dialog->findChild<QLineEdit*>(QStringLiteral("EditCurrency"))->setText(QStringLiteral("EUR"));
    // A pack bought today, taken with OK.
    EXPECT_EQ(dialog->findChild<QDateEdit*>(QStringLiteral("DatePackUntil"))->date(), QDate(2026, 12, 14))
        << "the billing period's last day";
    dialog->findChild<QDoubleSpinBox*>(QStringLiteral("SpinPackSize"))->setValue(2.5);
    dialog->findChild<QDateEdit*>(QStringLiteral("DatePackUntil"))->setDate(QDate(2026, 12, 10));
    EXPECT_EQ(dialog->findChild<QLabel*>(QStringLiteral("lblPlanSummary"))->text().toStdString(),
              "Monthly from day 15, 1000 MB a day, 20.00 EUR a period, 0.6 EUR an hour");
    dialog->btnSave->click();
    EXPECT_EQ(Stored("General/BillingDay"), QStringLiteral("15"));
    EXPECT_EQ(Stored("General/QuotaCounts"), QStringLiteral("received"));
    EXPECT_EQ(Stored("General/DataSaver"), QStringLiteral("1"));
    EXPECT_EQ(Stored("General/DailyLimitMB"), QStringLiteral("1000"));
    EXPECT_EQ(Packs, (std::vector<std::pair<std::int64_t, QDate>>{{2'500'000'000, QDate(2026, 12, 10)}}));
    EXPECT_EQ(Stored("General/PricePerHour"), QStringLiteral("0.6"));
    EXPECT_EQ(Stored("General/Currency"), QStringLiteral("EUR"));
    TPlanSettings stored{15, false};
    stored.DataSaver = 1;
    stored.DailyLimitMB = 1000;
    stored.PricePerHour = 0.6;
    stored.PricePerPeriod = 20;
    stored.Currency = QStringLiteral("EUR");
    EXPECT_EQ(Plan, stored);

    dialog->OpenConfig();
    dialog->SpinBillingDay->SetValue(3);
    dialog->RadioQuotaBoth->setChecked(true);
    dialog->btnCancel->click();
    EXPECT_EQ(Stored("General/BillingDay"), QStringLiteral("15"));
    EXPECT_EQ(Plan, stored);
    EXPECT_EQ(dialog->SpinBillingDay->Value(), 15);
}

TEST_F(frmConfigTest, ThePlanPageAndTheAlarmsPageEditOneDownloadLimit)
{
    WriteIni("[General]\nMaximumMB=1\nMaxMBAlarm=3000\n");
    auto dialog = Make();
    dialog->OpenConfig();
    EXPECT_TRUE(dialog->CheckPlanLimit->isChecked());
    EXPECT_EQ(dialog->ComboPlanUnit->currentText(), QStringLiteral("GB"));
    EXPECT_DOUBLE_EQ(dialog->SpinPlanLimit->value(), 3.0);

    // Typed on the Plan page, in gigabytes: the Alarms page shows it in megabytes.
    dialog->Pages->setCurrentIndex(dialog->Pages->count() - 1);
    dialog->SpinPlanLimit->setFocus();
    dialog->SpinPlanLimit->selectAll();
    QTest::keyClicks(dialog->SpinPlanLimit, QStringLiteral("2.5"));
    EXPECT_EQ(dialog->SpinEdit3->text(), QStringLiteral("2500"));
    dialog->ComboPlanUnit->setCurrentIndex(0);
    EXPECT_DOUBLE_EQ(dialog->SpinPlanLimit->value(), 2500.0) << "the same limit in the other unit";
    dialog->CheckPlanLimit->setChecked(false);
    EXPECT_FALSE(dialog->CheckBox8->isChecked());
    dialog->btnSave->click();
    EXPECT_EQ(Stored("General/MaxMBAlarm"), QStringLiteral("2500"));
    EXPECT_EQ(Stored("General/MaximumMB"), QStringLiteral("0"));

    // Typed on the Alarms page: the Plan page follows; Cancel reverts both.
    dialog->OpenConfig();
    dialog->SpinEdit3->setFocus();
    dialog->SpinEdit3->clear();
    QTest::keyClicks(dialog->SpinEdit3, QStringLiteral("700"));
    dialog->CheckBox8->setChecked(true);
    EXPECT_DOUBLE_EQ(dialog->SpinPlanLimit->value(), 0.7) << "in the unit the page opened in";
    EXPECT_TRUE(dialog->CheckPlanLimit->isChecked());
    dialog->btnCancel->click();
    dialog->OpenConfig();
    EXPECT_DOUBLE_EQ(dialog->SpinPlanLimit->value(), 2.5);
    EXPECT_FALSE(dialog->CheckPlanLimit->isChecked());
}

TEST_F(frmConfigTest, ThePlansWarningsAreStoredOnlyWhenTheyArePercentages)
{
    WriteIni("[General]\nThresholds=70, 95%\nHangUpAtLimit=1\n");
    auto dialog = Make();
    dialog->OpenConfig();
    EXPECT_EQ(dialog->EditThresholds->text(), QStringLiteral("70 95"));
    EXPECT_TRUE(dialog->CheckHangUpAtLimit->isChecked());
    EXPECT_TRUE(dialog->CheckAllowanceNotice->isChecked()) << "on unless turned off";
    // Each refused with the word that cannot be read.
    const std::pair<const char*, const char*> refused[] = {
        {"80 abc", "\u201Cabc\u201D"}, {"0", "\u201C0\u201D"}, {"1001", "\u201C1001\u201D"}, {"-5", "\u201C-5\u201D"}};
    for (const auto& [wrong, named] : refused) {
        SCOPED_TRACE(wrong);
        dialog->EditThresholds->setText(QLatin1String(wrong));
        dialog->CheckHangUpAtLimit->setChecked(false);
        Warnings.clear();
        dialog->btnSave->click();
        ASSERT_EQ(Warnings.size(), 1);
        EXPECT_TRUE(Warnings[0].contains(QString::fromUtf8(named))) << Warnings[0].toStdString();
        EXPECT_TRUE(dialog->isVisible()) << "the dialog stays open";
        EXPECT_EQ(Stored("General/HangUpAtLimit"), QStringLiteral("1")) << "nothing stored";
    }
    dialog->EditThresholds->setText(QStringLiteral("90 50 90"));
    dialog->btnSave->click();
    EXPECT_EQ(Stored("General/Thresholds"), QStringLiteral("50 90"));
    EXPECT_EQ(Stored("General/HangUpAtLimit"), QStringLiteral("0"));
    EXPECT_EQ(Plan.Thresholds, (std::vector<int>{50, 90}));
}

TEST_F(frmConfigTest, ThePlanPageDescribesAPrepaidPlanOfDaysWithFreeNightsAndRollover)
{
    WriteIni("[General]\nPeriodKind=days\nPeriodDays=30\nPeriodStart=2026-11-20 09:00\nMaximumMB=1\n"
             "MaxMBAlarm=10000\n");
    auto dialog = Make();
    dialog->OpenConfig();
    EXPECT_EQ(dialog->ComboPeriodKind->currentIndex(), 1);
    EXPECT_EQ(dialog->EditPeriodStart->dateTime(), QDateTime(QDate(2026, 11, 20), QTime(9, 0)));
    EXPECT_FALSE(dialog->SpinBillingDay->isEnabled()) << "a plan of days has no billing day";
    EXPECT_FALSE(dialog->EditPeriodEnd->isEnabled());
    dialog->EditFreeHours->setText(QStringLiteral("00:00-06:00"));
    dialog->findChild<QDoubleSpinBox*>(QStringLiteral("SpinDailyLimit"))->setValue(1000);
    EXPECT_EQ(dialog->findChild<QLabel*>(QStringLiteral("lblPlanSummary"))->text().toStdString(),
              "30 days from 20 Nov 2026 09:00, 10 GB, 00:00-06:00 free, 1000 MB a day");
    // Free time that cannot be read, or a plan that ends before it starts, is refused on the page.
    const struct
    {
        const char* Hours;
        const char* Days;
        int Kind;
        const char* Said;
    } refused[] = {{"night", "", 1, "The free hours cannot be read"},
                   {"06:00-06:00", "", 1, "The free hours cannot be read"},
                   {"", "weekend", 1, "The free days cannot be read"},
                   {"", "", 2, "must end after it starts"}};
    for (const auto& r : refused) {
        SCOPED_TRACE(r.Said);
        dialog->EditFreeHours->setText(QLatin1String(r.Hours));
        dialog->EditFreeDays->setText(QLatin1String(r.Days));
        dialog->ComboPeriodKind->setCurrentIndex(r.Kind);
        dialog->EditPeriodEnd->setDateTime(dialog->EditPeriodStart->dateTime().addSecs(-60));
        Warnings.clear();
        dialog->btnSave->click();
        ASSERT_EQ(Warnings.size(), 1);
        EXPECT_TRUE(Warnings[0].contains(QLatin1String(r.Said))) << Warnings[0].toStdString();
        EXPECT_TRUE(dialog->isVisible());
        EXPECT_EQ(Stored("General/FreeHours"), QString()) << "nothing stored";
    }
    dialog->ComboPeriodKind->setCurrentIndex(1);
    dialog->SpinPeriodDays->SetValue(28);
    dialog->EditFreeHours->setText(QStringLiteral("22:00-06:00"));
    dialog->EditFreeDays->setText(QStringLiteral("sat,sun"));
    dialog->SpinRolloverMB->setValue(2000);
    dialog->SpinRolloverPeriods->SetValue(2);
    dialog->btnSave->click();
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_EQ(Stored("General/PeriodKind"), QStringLiteral("days"));
    EXPECT_EQ(Stored("General/PeriodDays"), QStringLiteral("28"));
    EXPECT_EQ(Stored("General/PeriodStart"), QStringLiteral("2026-11-20 09:00"));
    EXPECT_EQ(Stored("General/FreeHours"), QStringLiteral("22:00-06:00"));
    EXPECT_EQ(Stored("General/FreeDays"), QStringLiteral("sat,sun"));
    EXPECT_EQ(Stored("General/RolloverMB"), QStringLiteral("2000"));
    EXPECT_EQ(Stored("General/RolloverPeriods"), QStringLiteral("2"));
    const TPlanSettings read = ReadPlanSettings();
    EXPECT_EQ(read.PeriodStart, QDateTime(QDate(2026, 11, 20), QTime(9, 0)));
    EXPECT_EQ(Plan, read) << "the window's plan is the file's";
}

TEST_F(frmConfigTest, DesktopNotificationsAndStartingWithTheDesktop)
{
    auto portable = Make();
    portable->OpenConfig();
    EXPECT_FALSE(portable->CheckAutostart->isVisibleTo(portable.get())) << "a portable copy is not autostarted";
    portable->btnCancel->click();

    TDesktopSettings desktop;
    bool autostart = false;
    TConfigHost host;
    host.Desktop = &desktop;
    host.AutostartEnabled = [&] { return autostart; };
    host.SetAutostart = [&](bool enabled) { return autostart = enabled, true; };
    TfrmConfig dialog(Settings, host);
    dialog.OpenConfig();
    EXPECT_TRUE(dialog.CheckNotify->isChecked()) << "on by default";
    EXPECT_TRUE(dialog.CheckAutostart->isVisibleTo(&dialog));
    dialog.CheckNotify->setChecked(false);
    dialog.CheckAutostart->setChecked(true);
    dialog.btnSave->click();
    EXPECT_EQ(Stored("General/Notify"), QStringLiteral("0"));
    EXPECT_FALSE(desktop.Notify);
    EXPECT_TRUE(autostart);

    dialog.OpenConfig();
    dialog.CheckNotify->setChecked(true);
    dialog.CheckAutostart->setChecked(false);
    dialog.btnCancel->click();
    EXPECT_EQ(Stored("General/Notify"), QStringLiteral("0"));
    EXPECT_TRUE(autostart) << "Cancel changes nothing";

    // An entry that cannot be written is said, as the settings file's refusal is.
    QStringList messages;
    SetErrorReporter([&](const QString& message) { messages << message; });
    host.SetAutostart = [](bool) { return false; };
    host.AutostartPath = [] { return QStringLiteral("/home/u/.config/autostart/pulopro.desktop"); };
    TfrmConfig refused(Settings, host);
    refused.OpenConfig();
    refused.CheckAutostart->setChecked(false);
    refused.btnSave->click();
    SetErrorReporter(nullptr);
    EXPECT_EQ(messages, QStringList{"Unable to write to /home/u/.config/autostart/pulopro.desktop"});
    EXPECT_TRUE(refused.isVisible()) << "the dialog stays open";
}

// Run at the ordinary scale and again at scale 2 (ctest sets QT_SCALE_FACTOR), where the test's
// 1024 x 600 screen is 512 x 300 to the dialog.
TEST_F(frmConfigTest, TheDialogIsWhollyOnItsScreenAndEveryButtonCanBeReached)
{
    const auto dialog = Make();
    dialog->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(dialog.get()));
    const QRect room = dialog->screen()->availableGeometry();
    EXPECT_TRUE(room.contains(dialog->frameGeometry())) << "the screen is " << room.width() << " x " << room.height();
    const bool small = room.height() < 416 + 32 || room.width() < 465 + 8;
    const auto* scroller = dialog->findChild<QWidget*>(QStringLiteral("ConfigScroller"));
    EXPECT_EQ(scroller != nullptr, small) << "a scrolling body only where the dialog does not fit";
    if (!small) {
        EXPECT_EQ(dialog->btnSave->geometry(), QRect(120, 382, 75, 25)) << "its own layout where it fits";
    }
    for (QPushButton* button : {dialog->btnSave, dialog->btnCancel, dialog->btnHelp}) {
        SCOPED_TRACE(button->objectName().toStdString());
        button->setFocus(Qt::TabFocusReason);
        QCoreApplication::processEvents();
        const QRect shown(button->mapTo(dialog.get(), QPoint(0, 0)), button->size());
        EXPECT_TRUE(dialog->rect().contains(shown)) << "the button with the focus is in view";
        EXPECT_TRUE(button->isVisible()) << "and shown, with everything it lies on";
        EXPECT_FALSE(button->visibleRegion().isEmpty());
    }
    // Clicked where it is shown, OK still saves and closes.
    QTest::mouseClick(dialog->btnSave, Qt::LeftButton);
    EXPECT_FALSE(dialog->isVisible());
}

} // namespace
} // namespace pulo
