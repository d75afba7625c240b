// Plans as they are sold, through the main window on the simulated platform: a line up across the
// edge of the free night hours, and a plan changed to periods of days while a line is up. What the
// tip, the status line and --json say, and what the next start says from the files.

#include "app/Unit1.h"
#include "sources/KZIntDet.h"
#include "tests/app/Unit1TrayFixture.h"
#include "usage/HistoryRecorder.h"
#include "usage/HistoryStore.h"
#include "usage/StatusReport.h"

#include <QFile>
#include <QLabel>

#include <gtest/gtest.h>

#include <memory>

namespace pulo {
namespace {

using Unit1PlanShapesTest = test::Unit1TrayTest;

TEST_F(Unit1PlanShapesTest, ALineUpAcrossTheEndOfTheFreeNightCountsOnlyWhatCameAfterIt)
{
    WriteIni("[General]\nSounds=0\nMaximumMB=1\nMaxMBAlarm=100\nFreeHours=00:00-06:00\n");
    Sim->SetNow(2026, 12, 10, 5, 59, 40);
    auto form = std::make_unique<TForm1>(Services());
    ASSERT_TRUE(form->FlushHistory(5000));
    const win::HRASCONN line = Sim->AddLine("Night plan", "10.64.0.2");
    Sim->SetLineRates(line, 0, 100'000);
    form->KZInternetDetect1->Poll();
    Run(*form, 40); // 20 seconds before 06:00, 20 after
    const TStatusReport live = form->LiveReport();
    EXPECT_NEAR(static_cast<double>(live.Plan.Free), 2e6, 2e5);
    EXPECT_NEAR(static_cast<double>(live.Plan.Counted), 2e6, 2e5);
    EXPECT_EQ(live.Plan.Counted + live.Plan.Free, live.Plan.Received) << "every byte is counted or free";
    const QJsonObject json = ReportJson(live);
    EXPECT_EQ(json[QStringLiteral("freeBytes")].toInteger(), live.Plan.Free);
    EXPECT_EQ(json[QStringLiteral("countedBytes")].toInteger(), live.Plan.Counted);
    EXPECT_TRUE(Log->LongTip.contains(QStringLiteral("free, not counted"))) << Log->LongTip.toStdString();
    EXPECT_TRUE(ReportLine(live).contains(QStringLiteral("free, not counted"))) << ReportLine(live).toStdString();
    // The tip's period figure is what the limit counts: the free part is left out.
    EXPECT_TRUE(Log->LongTip.contains(QStringLiteral("This period: %1 MB of 100 MB")
                                          .arg(QString::number(static_cast<double>(live.Plan.Counted) / 1e6, 'f', 2))))
        << Log->LongTip.toStdString();

    // Under the month totals (everything received), the row of what the plan counts, and why.
    auto* planFigure = form->findChild<QLabel*>(QStringLiteral("PlanFigure"));
    ASSERT_NE(planFigure, nullptr);
    EXPECT_TRUE(planFigure->isVisibleTo(form.get()));
    EXPECT_EQ(planFigure->text(), QString::number(static_cast<double>(live.Plan.Counted) / 1e6));
    EXPECT_TRUE(planFigure->toolTip().contains(QStringLiteral("free time"))) << planFigure->toolTip().toStdString();

    // The line ends; the next start counts the same from the settings file and the history.
    Sim->DropLine(line);
    form->KZInternetDetect1->Poll();
    ASSERT_TRUE(form->FlushHistory(5000));
    const TPlanStatus ended = form->LiveReport().Plan;
    EXPECT_EQ(ended.Free, live.Plan.Free) << "nothing came free after 06:00";
    form.reset();
    form = std::make_unique<TForm1>(Services());
    ASSERT_TRUE(form->FlushHistory(5000));
    Run(*form, 2);
    const TPlanStatus again = form->LiveReport().Plan;
    EXPECT_EQ(again.Received, ended.Received);
    EXPECT_EQ(again.Free, ended.Free);
    EXPECT_EQ(again.Counted, ended.Counted);
}

TEST_F(Unit1PlanShapesTest, APlanChangedToPeriodsOfDaysWhileConnectedRecountsAndLosesNothing)
{
    WriteIni("[General]\nSounds=0\nMaximumMB=1\nMaxMBAlarm=100\n");
    auto form = std::make_unique<TForm1>(Services());
    ASSERT_TRUE(form->FlushHistory(5000));
    // 10 s at 100 kB/s on the 3rd and on the 18th; a line up on the 19th.
    for (const int day : {3, 18, 19}) {
        Sim->SetNow(2026, 12, day, 10, 0, 0);
        const win::HRASCONN line = Sim->AddLine("Prepaid", "10.64.0.2");
        Sim->SetLineRates(line, 0, 100'000);
        form->KZInternetDetect1->Poll();
        Run(*form, 10);
        if (day == 19)
            break;
        Sim->DropLine(line);
        form->KZInternetDetect1->Poll();
        ASSERT_TRUE(form->FlushHistory(5000));
    }
    const TPlanStatus monthly = form->LiveReport().Plan;
    EXPECT_EQ(monthly.Period.First, QDate(2026, 12, 1));
    EXPECT_NEAR(static_cast<double>(monthly.Counted), 3e6, 3e5);

    // Now 30 days from the 15th at 08:00, as the Plan page stores it: the 3rd is last period's.
    form->Plan.PeriodKind = QStringLiteral("days");
    form->Plan.PeriodDays = 30;
    form->Plan.PeriodStart = QDateTime(QDate(2026, 12, 15), QTime(8, 0));
    Run(*form, 1);
    const TPlanStatus days = form->LiveReport().Plan;
    EXPECT_EQ(days.Kind, TPeriodKind::Days);
    EXPECT_EQ(days.Period.From(), QDateTime(QDate(2026, 12, 15), QTime(8, 0)));
    EXPECT_NEAR(static_cast<double>(days.Counted), 2e6 + 1e5, 2e5);
    EXPECT_EQ(ReportJson(form->LiveReport())[QStringLiteral("periodKind")].toString(), QStringLiteral("days"));

    // And back to the calendar month: all of it again, nothing lost on the way.
    form->Plan.PeriodKind = QStringLiteral("monthly");
    Run(*form, 1);
    EXPECT_GE(form->LiveReport().Plan.Counted, monthly.Counted);
    EXPECT_EQ(form->LiveReport().Plan.Period.First, QDate(2026, 12, 1));
}

} // namespace
} // namespace pulo
