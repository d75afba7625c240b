#include "app/Unit1.h"
#include "sources/DialUp.h"
#include "sources/KZIntDet.h"
#include "tests/app/Unit1TrayFixture.h"

#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTimer>

namespace pulo {
namespace {

using Unit1DialTest = test::Unit1TrayTest;

TEST_F(Unit1DialTest, DialingShowsItsProgressAndTwoPressesDialOnce)
{
    Sim->DialScripts["Backup ISP"] = {{0, 1, 2}, 0, 0, "10.64.0.5"};
    TForm1 form(Services());
    ASSERT_EQ(form.ComboBox1->currentText(), QStringLiteral("Backup ISP"));
    form.BitBtn2->click();
    form.BitBtn2->click(); // hidden by then; the mark would stop it anyway
    form.BitBtn2Click();
    EXPECT_EQ(Sim->HungUp.size(), 1U) << "one dial only";
    EXPECT_EQ(form.Label1b->text(), QStringLiteral("      Dialing"));
    EXPECT_EQ(form.Label1b->palette().color(QPalette::WindowText), QColor(Qt::blue));
    EXPECT_TRUE(form.BitBtn1->isVisibleTo(&form));
    EXPECT_FALSE(form.BitBtn2->isVisibleTo(&form));
    EXPECT_EQ(test::SoundsPlayed(*Sim), QStringList{"Dialing.wav"});
    ASSERT_TRUE(QTest::qWaitFor([&] { return form.Label1b->text() == QStringLiteral("Connected"); }, 5000))
        << form.Label1b->text().toStdString();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !Sim->Lines.empty(); }, 5000));
    form.KZInternetDetect1->Poll();
    EXPECT_EQ(form.Label2b->text(), QStringLiteral("10.64.0.5"));
}

TEST_F(Unit1DialTest, AFailedDialPutsTheWindowBackToRest)
{
    Sim->DialScripts["Backup ISP"] = {{0, 1, 2}, 0, 678, ""};
    TForm1 form(Services());
    form.BitBtn2->click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return form.BitBtn2->isVisibleTo(&form); }, 5000));
    EXPECT_EQ(form.Label1b->text(), QStringLiteral("There was no answer.")) << "the reason stays on screen";
    EXPECT_EQ(Log->Balloons, QStringList{"Dial failed / There was no answer."}) << "and reaches the desktop";
    EXPECT_FALSE(form.BitBtn1->isVisibleTo(&form));
    EXPECT_EQ(test::SoundsPlayed(*Sim), (QStringList{"Dialing.wav", "DefaultDiscon.wav"}));
    EXPECT_FALSE(form.DialStarted);

    QStringList told;
    form.Inform = [&](const QString& text) { told << text; };
    Sim->RefuseDialStart = true;
    form.BitBtn2->click();
    EXPECT_EQ(told, QStringList{"Connection error. Reset modem and retry."});
    EXPECT_TRUE(form.BitBtn2->isVisibleTo(&form)) << "the Dial button is back";
}

TEST_F(Unit1DialTest, HangUpEndsTheFirstConnectionOnlyAndWaits)
{
    const win::HRASCONN first = Sim->AddLine("My ISP", "10.64.0.2");
    const win::HRASCONN second = Sim->AddLine("Backup ISP", "10.64.0.3");
    TForm1 form(Services());
    EXPECT_EQ(form.ActiveEntryName, QStringLiteral("Backup ISP")) << "reported at start, the last one listed";
    EXPECT_EQ(form.Label7b->text(), QStringLiteral("Standard 56000 bps Modem"));
    Sim->HungUp.clear();
    const win::DWORD before = Sim->Ticks;
    form.BitBtn1->setEnabled(true);
    form.BitBtn1Click();
    EXPECT_EQ(Sim->HungUp, (std::vector<win::HRASCONN>{first, first}));
    EXPECT_EQ(Sim->Ticks - before, 3000U) << "the window waited for the line to drop";
    EXPECT_NE(Sim->FindLine(second), nullptr);
    EXPECT_EQ(form.Label1b->text(), QStringLiteral("      Not connected"));
    EXPECT_EQ(form.Label7b->text(), QStringLiteral("      None active"));
    EXPECT_FALSE(form.HangUpRequested);
}

TEST_F(Unit1DialTest, AnEntryNamedInAnotherEncodingIsDialledByItsBytes)
{
    Sim->Phonebook = {"caf\xE9"};
    TForm1 form(Services());
    ASSERT_EQ(form.ComboBox1->count(), 1);
    form.BitBtn2->click();
    EXPECT_TRUE(form.DialStarted) << "the entry was found";
    EXPECT_EQ(form.Label1b->text(), QStringLiteral("      Dialing"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !Sim->Lines.empty(); }, 5000));
    EXPECT_EQ(Sim->Lines.front().EntryName, "caf\xE9");
}

TEST_F(Unit1DialTest, HangUpStopsADialInProgress)
{
    Sim->DialScripts["Backup ISP"] = {{0, 1, 2, 3, 4, 5, 14, 18}, 100, 0, "10.64.0.5"};
    TForm1 form(Services());
    form.BitBtn2->click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return form.Label1b->text() == QStringLiteral("Port opened"); }, 5000));
    Sim->HungUp.clear();
    form.BitBtn1->click();
    ASSERT_EQ(Sim->HungUp.size(), 2U) << "the dial was listed and hung up";
    EXPECT_EQ(form.Label1b->text(), QStringLiteral("      Not connected"));
    EXPECT_TRUE(form.BitBtn2->isVisibleTo(&form));
    EXPECT_FALSE(QTest::qWaitFor([&] { return !Sim->Lines.empty(); }, 1200)) << "the dial never connects";
    EXPECT_EQ(form.Label1b->text(), QStringLiteral("      Not connected"));
}

TEST_F(Unit1DialTest, ARefusedHangUpIsReportedAndTheLineStaysShown)
{
    const win::HRASCONN line = Sim->AddLine("My ISP", "10.64.0.2");
    TForm1 form(Services());
    form.KZInternetDetect1->Poll();
    QStringList told;
    form.Inform = [&](const QString& text) { told << text; };
    Sim->RefuseHangUp = true;
    const win::DWORD before = Sim->Ticks;
    form.BitBtn1->click();
    EXPECT_EQ(told, QStringList{"Hang up failed: Access is denied."});
    EXPECT_EQ(form.Label1b->text(), QStringLiteral("      Connected"));
    EXPECT_EQ(form.Label2b->text(), QStringLiteral("10.64.0.2"));
    EXPECT_TRUE(form.BitBtn1->isVisibleTo(&form));
    EXPECT_EQ(Sim->Ticks, before) << "no wait for a line that does not drop";
    Sim->RefuseHangUp = false;
    Sim->DropLine(line);
}

TEST_F(Unit1DialTest, TheWindowKeepsGoingWhileTheLineDrops)
{
    Sim->AddLine("My ISP", "10.64.0.2");
    TForm1 form(Services());
    form.KZInternetDetect1->Poll();
    bool ranDuringTheWait = false;
    QTimer::singleShot(0, &form, [&] { ranDuringTheWait = form.HangUpRequested; });
    form.BitBtn1->click();
    EXPECT_TRUE(ranDuringTheWait) << "events are handled during the three seconds";
}

} // namespace
} // namespace pulo
