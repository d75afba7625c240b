// Which programs used the line, as the window takes it from the per-program meter and keeps it in
// the history: each program's share of the connection, Other for the rest, always adding up to
// the connection's own figures; and the Usage window's Programs tab, which shows it.

#include "app/Unit1.h"
#include "sources/KZIntDet.h"
#include "tests/app/Unit1TrayFixture.h"
#include "usage/HistoryRecorder.h"
#include "usage/HistoryStore.h"

#include <QComboBox>
#include <QDateEdit>
#include <QLabel>
#include <QTabWidget>
#include <QTableWidget>
#include <QTest>

namespace pulo {
namespace {

using Unit1ProgramsTest = test::Unit1TrayTest;

win::ProgramBytes Program(const char* name, std::uint64_t received, std::uint64_t sent)
{
    return {name, std::string("/usr/bin/") + name, received, sent, 0, 0};
}

TEST_F(Unit1ProgramsTest, EachConnectionKeepsItsProgramsAndOtherToTheByte)
{
    WriteIni("[General]\nSounds=0\n");
    Sim->SetNow(2026, 12, 8, 12, 0, 0);
    TForm1 form(Services());
    // What the browser moved before the line came up is not the line's.
    Sim->Meter->Set("ppp0", {Program("browser", 5000, 1000)});
    const win::HRASCONN line = Sim->AddLine("My ISP", "10.64.0.2");
    Sim->SetLineRates(line, 100, 1000);
    form.KZInternetDetect1->Poll();
    Run(form, 1);
    ASSERT_TRUE(form.UsageRecorder()->Flush(5000));
    Run(form, 20);
    Sim->Meter->Set("ppp0", {Program("browser", 5000 + 12000, 1000 + 1500), Program("updater", 4000, 100)});
    Run(form, 10);
    Sim->DropLine(line);
    form.KZInternetDetect1->Poll();
    ASSERT_TRUE(form.UsageRecorder()->Flush(5000));
    EXPECT_GE(Sim->Meter->Questions(), 4) << "asked every few seconds while the line was up";

    THistoryStore history(Folder->filePath("pulopro.sqlite"));
    ASSERT_TRUE(history.Open(THistoryStore::TAccess::ReadOnly));
    const std::optional<TUsageConnection> connection = [&] {
        std::optional<TUsageConnection> found;
        history.ForEachConnection(0, 1LL << 40, [&](const TUsageConnection& each) {
            found = each;
            return true;
        });
        return found;
    }();
    ASSERT_TRUE(connection);
    ASSERT_GE(connection->Received, 30000);
    const std::vector<TProgramRow> rows = history.ProgramsOf(connection->Id);
    ASSERT_EQ(rows.size(), 3U);
    EXPECT_EQ(rows[0].Program, "browser");
    EXPECT_EQ(rows[0].Received, 12000);
    EXPECT_EQ(rows[0].Sent, 1500);
    EXPECT_EQ(rows[1].Path, "/usr/bin/updater");
    EXPECT_EQ(rows[1].Received, 4000);
    EXPECT_EQ(rows[1].Sent, 100);
    EXPECT_TRUE(rows[2].Other);
    EXPECT_EQ(rows[2].Received, connection->Received - 16000) << "Other is the rest of the line's own figure";
    EXPECT_EQ(rows[2].Sent, connection->Sent - 1600);
    EXPECT_EQ(history.ProgramsOn(QDate(2026, 12, 8), QDate(2026, 12, 8)).size(), 3U);
    EXPECT_TRUE(history.ProgramsOn(QDate(2026, 12, 9), QDate(2026, 12, 31)).empty());

    // The Usage window's Programs tab shows the same, the most first and Other last; without
    // the meter it says why, and what to do.
    Sim->Meter->SetAbsent("the per-program meter is not running");
    const win::HRASCONN second = Sim->AddLine("My ISP", "10.64.0.2");
    Sim->SetLineRates(second, 0, 1000);
    form.KZInternetDetect1->Poll();
    Run(form, 6);
    form.Usage1Click();
    QWidget* window = test::ShownWindow(QStringLiteral("frmUsage"));
    ASSERT_NE(window, nullptr);
    auto* tabs = window->findChild<QTabWidget*>(QStringLiteral("UsageTabs"));
    auto* page = window->findChild<QWidget*>(QStringLiteral("pagePrograms"));
    auto* table = window->findChild<QTableWidget*>(QStringLiteral("tblPrograms"));
    auto* reason = window->findChild<QLabel*>(QStringLiteral("lblProgramsReason"));
    ASSERT_TRUE(tabs && page && table && reason);
    tabs->setCurrentWidget(page);
    ASSERT_EQ(table->rowCount(), 3);
    EXPECT_EQ(table->item(0, 0)->text(), "browser");
    EXPECT_EQ(table->item(0, 1)->data(Qt::UserRole).toLongLong(), 12000);
    EXPECT_EQ(table->item(2, 0)->text(), "Other");
    EXPECT_GE(table->item(2, 1)->data(Qt::UserRole).toLongLong(), connection->Received - 16000 + 5000)
        << "the connection in progress is this period's too";
    EXPECT_TRUE(reason->isVisible());
    EXPECT_TRUE(reason->text().contains("the per-program meter is not running")) << reason->text().toStdString();
    EXPECT_TRUE(reason->text().contains("systemctl enable --now pulopro-meter.service"));

    // A chosen day, and a connection double-clicked on the Connections tab.
    auto* scope = window->findChild<QComboBox*>(QStringLiteral("cmbProgramsScope"));
    auto* day = window->findChild<QDateEdit*>(QStringLiteral("dateProgramsDay"));
    auto* connections = window->findChild<QTableWidget*>(QStringLiteral("tblConnections"));
    ASSERT_TRUE(scope && day && connections);
    scope->setCurrentIndex(2);
    EXPECT_TRUE(day->isEnabled());
    day->setDate(QDate(2026, 12, 7));
    EXPECT_EQ(table->rowCount(), 0) << "a day without connections";
    day->setDate(QDate(2026, 12, 8));
    EXPECT_EQ(table->rowCount(), 3);
    tabs->setCurrentWidget(connections);
    int first = -1;
    for (int row = 0; row < connections->rowCount(); ++row)
        if (connections->item(row, 1)->text() != "in progress")
            first = row;
    ASSERT_GE(first, 0);
    Q_EMIT connections->cellActivated(first, 0);
    EXPECT_EQ(tabs->currentWidget(), page);
    EXPECT_EQ(scope->currentIndex(), 3);
    EXPECT_TRUE(scope->currentText().startsWith("The connection of 2026-12-08 ")) << scope->currentText().toStdString();
    ASSERT_EQ(table->rowCount(), 3);
    EXPECT_EQ(table->item(1, 0)->text(), "updater");
    EXPECT_EQ(table->item(1, 1)->data(Qt::UserRole).toLongLong(), 4000);
    EXPECT_EQ(table->item(2, 1)->data(Qt::UserRole).toLongLong(), connection->Received - 16000)
        << "the first connection's own Other";
    Sim->DropLine(second);
    form.KZInternetDetect1->Poll();
}

} // namespace
} // namespace pulo
