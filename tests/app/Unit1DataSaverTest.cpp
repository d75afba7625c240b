// The data saver through the main window on the simulated platform: it comes on by itself as the
// plan runs short, marks the line metered and holds the chosen programs back, says so in a notice
// and the tray's tip and menu, and each way it can end undoes both.

#include "app/Unit1.h"
#include "platform/ProfileText.h"
#include "sources/KZIntDet.h"
#include "tests/app/Unit1TrayFixture.h"
#include "usage/HistoryRecorder.h"

#include <QAction>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QTabWidget>
#include <QTableWidget>

#include <gtest/gtest.h>

#include <memory>

namespace pulo {
namespace {

class Unit1DataSaverTest : public test::Unit1TrayTest
{
protected:
    // A key of section General as the settings file holds it now.
    [[nodiscard]] std::string Stored(const char* key) const
    {
        const auto value = win::ProfileText(ReadIni().toStdString()).Value("General", key);
        return value ? *value : std::string("(none)");
    }
};

TEST_F(Unit1DataSaverTest, ItComesOnAsThePlanRunsShortAndEachWayOfEndingUndoesIt)
{
    enum class TEnding
    {
        TurnedOff,
        NotToday,
        LineEnds,
        ProgramExits,
    };
    const struct
    {
        const char* Name;
        TEnding Ending;
    } cases[] = {
        {"turned off in the tray's menu", TEnding::TurnedOff},
        {"not today, from the tray's menu", TEnding::NotToday},
        {"the line ends", TEnding::LineEnds},
        {"PuloPro exits", TEnding::ProgramExits},
    };
    const std::vector<std::string> chosen{"/usr/bin/curl", "/opt/game/launcher"};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        // 9.1 MB of a 10 MB limit on the 8th: at this pace the limit is reached long before the end.
        WriteIni("[General]\nSounds=0\nMaximumMB=1\nMaxMBAlarm=10\nAllowanceNotice=0\nDataSaver=1\n"
                 "HeldBack=/usr/bin/curl;/opt/game/launcher\n[Stats]\nMonth=12\nTotCon=1\nTotRCV=9100\n");
        for (const char* file : {"pulopro.sqlite", "pulopro.sqlite-wal", "pulopro.sqlite-shm"})
            QFile::remove(Folder->filePath(QLatin1String(file)));
        Log->Balloons.clear();
        Sim->Metered.clear();
        Sim->Meter->Release();
        Sim->SetNow(2026, 12, 8, 12, 0, 0);
        auto form = std::make_unique<TForm1>(Services());
        ASSERT_TRUE(form->FlushHistory(5000));
        Run(*form, 1);
        EXPECT_EQ(form->DataSaverNow().State().toStdString(), "auto-on") << "on while offline too";
        EXPECT_TRUE(Sim->Meter->Held().empty()) << "nothing to hold back on without a line";

        const win::HRASCONN line = Sim->AddLine("My ISP", "10.64.0.2");
        Sim->FindLine(line)->Profile = "uuid-my-isp";
        Sim->SetLineRates(line, 0, 1'000);
        form->KZInternetDetect1->Poll();
        Run(*form, 1);
        EXPECT_EQ(Sim->Metered["uuid-my-isp"], win::MeteredYes);
        std::string heldOn;
        EXPECT_EQ(Sim->Meter->Held(&heldOn), chosen);
        EXPECT_EQ(heldOn.rfind("sim:", 0), 0U);
        EXPECT_TRUE(form->HeldBackSince().isValid());
        ASSERT_FALSE(Log->Balloons.isEmpty());
        EXPECT_TRUE(Log->Balloons.filter(QStringLiteral("Data saver on / At this pace the limit is reached")).size() ==
                    1)
            << Log->Balloons.join('\n').toStdString();
        EXPECT_TRUE(Log->LongTip.endsWith(QStringLiteral("\nData saver on"))) << Log->LongTip.toStdString();
        form->UpdateTrayMenu();
        auto* menu = form->findChild<QMenu*>(QStringLiteral("TrayDataSaver"));
        ASSERT_NE(menu, nullptr);
        EXPECT_EQ(menu->title(), QStringLiteral("Data &saver: on"));
        EXPECT_TRUE(form->findChild<QAction*>(QStringLiteral("TrayDataSaverShort"))->isChecked());

        switch (c.Ending) {
        case TEnding::TurnedOff:
            form->findChild<QAction*>(QStringLiteral("TrayDataSaverOff"))->trigger();
            EXPECT_EQ(Stored("DataSaver"), "0");
            break;
        case TEnding::NotToday:
            form->findChild<QAction*>(QStringLiteral("TrayDataSaverNotToday"))->trigger();
            break;
        case TEnding::LineEnds:
            Sim->DropLine(line);
            form->KZInternetDetect1->Poll();
            break;
        case TEnding::ProgramExits:
            form->Exit1Click();
            break;
        }
        Run(*form, 1);
        EXPECT_EQ(Sim->Metered["uuid-my-isp"], win::MeteredUnknown);
        EXPECT_TRUE(Sim->Meter->Held().empty());
        EXPECT_FALSE(form->HeldBackSince().isValid());
        if (c.Ending == TEnding::NotToday) {
            // Until midnight, across a restart; the next day's plan decides again.
            ASSERT_TRUE(form->FlushHistory(5000));
            form.reset(); // which hangs the dial-up line up: it is dialled again
            form = std::make_unique<TForm1>(Services());
            Sim->FindLine(Sim->AddLine("My ISP", "10.64.0.3"))->Profile = "uuid-my-isp";
            form->KZInternetDetect1->Poll();
            ASSERT_TRUE(form->FlushHistory(5000));
            Run(*form, 2);
            EXPECT_EQ(form->DataSaverNow().State().toStdString(), "auto-off");
            EXPECT_EQ(Sim->Metered["uuid-my-isp"], win::MeteredUnknown);
            Sim->SetNow(2026, 12, 8, 23, 59, 59);
            Run(*form, 2);
            EXPECT_EQ(form->DataSaverNow().State().toStdString(), "auto-on");
            EXPECT_EQ(Sim->Metered["uuid-my-isp"], win::MeteredYes);
            EXPECT_EQ(Sim->Meter->Held(), chosen);
        }
    }
}

TEST_F(Unit1DataSaverTest, ALineTheNetworkServiceDoesNotManageIsHeldButNotMarked)
{
    // A pppd line of the program's own: no profile to mark; the programs are held back all the same.
    WriteIni("[General]\nSounds=0\nDataSaver=2\nHeldBack=/usr/bin/curl\n");
    Sim->Metered.clear();
    TForm1 form(Services());
    ASSERT_TRUE(form.FlushHistory(5000));
    const win::HRASCONN line = Sim->AddLine("My ISP", "10.64.0.2");
    (void)line;
    form.KZInternetDetect1->Poll();
    Run(form, 1);
    EXPECT_EQ(form.DataSaverNow().State().toStdString(), "on");
    EXPECT_TRUE(Sim->Metered.empty());
    EXPECT_EQ(Sim->Meter->Held(), std::vector<std::string>{"/usr/bin/curl"});
    form.Exit1Click();
}

TEST_F(Unit1DataSaverTest, TheProgramsTabChoosesWhatIsHeldBackAndShowsSinceWhen)
{
    WriteIni("[General]\nSounds=0\nDataSaver=2\n");
    Sim->SetNow(2026, 12, 8, 12, 0, 0);
    TForm1 form(Services());
    const win::HRASCONN line = Sim->AddLine("My ISP", "10.64.0.2");
    Sim->SetLineRates(line, 10'000, 100'000);
    form.KZInternetDetect1->Poll();
    Run(form, 1);
    ASSERT_TRUE(form.UsageRecorder()->Flush(5000));
    Sim->Meter->Set("ppp0", {{"browser", "/usr/bin/browser", 9000, 900, 0, 0},
                             {"org.example.Chat", "org.example.Chat", 3000, 300, 0, 0},
                             {"updater", "/usr/bin/updater", 4000, 100, 0, 0}});
    Run(form, 6);
    ASSERT_TRUE(form.UsageRecorder()->Flush(5000));
    form.Usage1Click();
    QWidget* window = test::ShownWindow(QStringLiteral("frmUsage"));
    ASSERT_NE(window, nullptr);
    window->findChild<QTabWidget*>(QStringLiteral("UsageTabs"))
        ->setCurrentWidget(window->findChild<QWidget*>(QStringLiteral("pagePrograms")));
    window->findChild<QComboBox*>(QStringLiteral("cmbProgramsScope"))->setCurrentIndex(1); // this connection
    auto* table = window->findChild<QTableWidget*>(QStringLiteral("tblPrograms"));
    auto* note = window->findChild<QLabel*>(QStringLiteral("lblHeldBack"));
    const auto rowOf = [&](const QString& name) {
        for (int row = 0; row < table->rowCount(); ++row)
            if (table->item(row, 0)->text() == name)
                return row;
        return -1;
    };
    ASSERT_GE(rowOf(QStringLiteral("updater")), 0) << [&] {
        std::string rows;
        for (int row = 0; row < table->rowCount(); ++row)
            rows += table->item(row, 0)->text().toStdString() + "\n";
        return rows;
    }();
    // A packaged app is named by its ID, not a file: it cannot be ticked; Other neither.
    EXPECT_FALSE(table->item(rowOf(QStringLiteral("org.example.Chat")), 4)->flags() & Qt::ItemIsUserCheckable);
    EXPECT_FALSE(table->item(rowOf(QStringLiteral("Other")), 4)->flags() & Qt::ItemIsUserCheckable);

    table->item(rowOf(QStringLiteral("updater")), 4)->setCheckState(Qt::Checked);
    EXPECT_EQ(Stored("HeldBack"), "/usr/bin/updater");
    EXPECT_EQ(Sim->Meter->Held(), std::vector<std::string>{"/usr/bin/updater"});
    EXPECT_EQ(table->item(rowOf(QStringLiteral("updater")), 4)->text(), QStringLiteral("held since 12:00"));
    EXPECT_TRUE(note->isVisibleTo(window));
    EXPECT_TRUE(note->text().contains(QStringLiteral("since 12:00"))) << note->text().toStdString();

    table->item(rowOf(QStringLiteral("browser")), 4)->setCheckState(Qt::Checked);
    EXPECT_EQ(Sim->Meter->Held(), (std::vector<std::string>{"/usr/bin/updater", "/usr/bin/browser"}));
    table->item(rowOf(QStringLiteral("updater")), 4)->setCheckState(Qt::Unchecked);
    table->item(rowOf(QStringLiteral("browser")), 4)->setCheckState(Qt::Unchecked);
    EXPECT_TRUE(Sim->Meter->Held().empty());
    EXPECT_EQ(Stored("HeldBack"), "");
    EXPECT_FALSE(note->isVisibleTo(window));
    form.Exit1Click();
}

} // namespace
} // namespace pulo
