// The Usage window and its figures, on a history made by the store's own functions.

#include "usage/UsageFigures.h"
#include "usage/window/frmUsage.h"

#include <QBarSet>
#include <QChartView>
#include <QFile>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QLabel>
#include <QPushButton>
#include <QStackedBarSeries>
#include <QTabWidget>
#include <QTableWidget>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace pulo {
namespace {

class UsageWindowTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(History.Open(THistoryStore::TAccess::ReadWrite));
        // 23:30 on 14 December to 00:30 on the 15th, the billing day: half on each side.
        Connect(QDateTime(QDate(2026, 12, 14), QTime(23, 30)), 3600, 2'000'000, 8'000'000);
        Connect(QDateTime(QDate(2026, 12, 2), QTime(10, 0)), 600, 100'000, 500'000);
        Connect(QDateTime(QDate(2026, 10, 20), QTime(10, 0)), 600, 1'000, 3'000'000'000);
    }
    void Connect(const QDateTime& start, int seconds, std::int64_t sent, std::int64_t received)
    {
        const std::int64_t id = History.BeginConnection(start, QStringLiteral("My ISP"), QStringLiteral("ppp0"));
        ASSERT_TRUE(History.UpdateConnection(id, start.addSecs(seconds), sent, received, true));
    }
    TUsageHost Host(int billingDay)
    {
        TUsageHost host;
        host.History = [this] { return &History; };
        host.BillingDay = [billingDay] { return billingDay; };
        // The month totals as the program would hold them after the connections above.
        host.Status = [billingDay] {
            TPlanKeeper keeper;
            keeper.SetTotals({2, 4200, billingDay == 1 ? 8500.0 : 0.0, billingDay == 1 ? 2100.0 : 0.0, 12});
            keeper.SetPlan(billingDay, false, 12'000'000);
            return keeper.Status(QDateTime(QDate(2026, 12, 15), QTime(12, 0)));
        };
        host.Online = [] { return false; };
        host.Now = [] { return QDateTime(QDate(2026, 12, 15), QTime(12, 0)); };
        return host;
    }

    QTemporaryDir Folder;
    THistoryStore History{Folder.filePath(QStringLiteral("pulopro.sqlite"))};
};

TEST_F(UsageWindowTest, DayBarsShareOutTheDaysAndSumToThePeriod)
{
    const struct
    {
        int BillingDay;
        QDate First;
        std::int64_t Received; // in the period holding 15 December
        std::int64_t FirstDayReceived;
    } cases[] = {
        {1, {2026, 12, 1}, 8'500'000, 0},
        {15, {2026, 12, 15}, 0, 4'000'000}, // the connection began on the 14th: by start, the last period's
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.BillingDay);
        const TBillingPeriod period = PeriodOf(QDate(2026, 12, 15), c.BillingDay);
        ASSERT_EQ(period.First, c.First);
        const std::vector<TUsageBar> bars = DayBars(History, period);
        ASSERT_EQ(bars.size(), static_cast<std::size_t>(period.First.daysTo(period.End)));
        EXPECT_EQ(bars.front().Received, c.FirstDayReceived) << "the hour after midnight falls on its day";
        EXPECT_EQ(HistoryOfPeriod(History, period).Received, c.Received);
    }
    // The calendar month: its day bars add up to the month's figures.
    const std::vector<TUsageBar> december = DayBars(History, PeriodOf(QDate(2026, 12, 15), 1));
    std::int64_t received = 0;
    for (const TUsageBar& bar : december)
        received += bar.Received;
    EXPECT_EQ(received, 8'500'000);
    EXPECT_EQ(december[13].Received, 4'000'000) << "14 December, 23:30 to midnight";
    EXPECT_EQ(december[14].Received, 4'000'000) << "15 December, midnight to 00:30";

    const std::vector<TUsageBar> periods = PeriodBars(History, QDate(2026, 12, 15), 1);
    ASSERT_EQ(periods.size(), 12U);
    EXPECT_EQ(periods.back().First, QDate(2026, 12, 1));
    EXPECT_EQ(periods.front().First, QDate(2026, 1, 1));
    EXPECT_EQ(periods[9].Received, 3'000'000'000) << "October";
}

TEST(UsageUnitsTest, UnitsAndTheForecastInWords)
{
    const struct
    {
        std::int64_t Largest;
        std::int64_t Bytes;
        const char* Text;
    } cases[] = {
        {500'000'000, 12'345'678, "12.3 MB"},
        {999'000'000, 1'234'567, "1.23 MB"},
        {5'000'000'000, 1'250'000'000, "1.25 GB"},
        {5'000'000'000, 123'456'000'000, "123 GB"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(InUnit(c.Bytes, UnitFor(c.Largest)), QString::fromLatin1(c.Text));
    TPlanStatus status;
    status.Period = {{2026, 12, 1}, {2027, 1, 1}};
    EXPECT_EQ(ForecastText(status), QStringLiteral("no limit set"));
    status.Limit = 100;
    status.Forecast = QDate(2026, 12, 21);
    EXPECT_EQ(ForecastText(status), QStringLiteral("at this pace the limit is reached on 21 December"));
    status.Forecast = QDate(2027, 1, 3);
    EXPECT_EQ(ForecastText(status), QStringLiteral("within the limit"));
}

TEST_F(UsageWindowTest, TheWindowDrawsSavesAndSorts)
{
    TfrmUsage window(Host(1));
    window.resize(800, 560);
    window.show();
    for (const char* name : {"lblSummary", "UsageTabs", "chartPeriod", "chartPeriods", "tblConnections", "btnSaveChart",
                             "btnSaveConnections", "btnClose"})
        EXPECT_NE(window.findChild<QWidget*>(QString::fromLatin1(name)), nullptr) << name;
    EXPECT_TRUE(window.lblSummary->text().contains(QStringLiteral("8.50 MB received")))
        << window.lblSummary->text().toStdString();
    EXPECT_TRUE(window.lblSummary->text().contains(QStringLiteral("at this pace the limit is reached on")));
    EXPECT_EQ(window.tblConnections->rowCount(), 2);

    // The chart is drawn: a good share of it is not the background.
    const QImage shot = window.chartPeriod->grab().toImage();
    const QRgb background = shot.pixel(2, 2);
    int drawn = 0;
    for (int y = 0; y < shot.height(); y += 2)
        for (int x = 0; x < shot.width(); x += 2)
            drawn += shot.pixel(x, y) != background ? 1 : 0;
    EXPECT_GT(drawn, shot.width() * shot.height() / 4 / 50) << "more than 2 % of the chart";

    QTemporaryDir out;
    const QString png = out.filePath(QStringLiteral("usage.png"));
    ASSERT_TRUE(window.SaveChart(png));
    EXPECT_EQ(QImage(png).size(), window.chartPeriod->size() * window.chartPeriod->devicePixelRatio());
    const QString svg = out.filePath(QStringLiteral("usage.svg"));
    ASSERT_TRUE(window.SaveChart(svg));
    QFile drawing(svg);
    ASSERT_TRUE(drawing.open(QIODevice::ReadOnly));
    EXPECT_TRUE(drawing.readAll().contains("<svg"));
    const QString json = out.filePath(QStringLiteral("connections.json"));
    ASSERT_TRUE(window.SaveConnections(json));
    QFile rows(json);
    ASSERT_TRUE(rows.open(QIODevice::ReadOnly));
    EXPECT_EQ(QJsonDocument::fromJson(rows.readAll()).array().size(), 2);

    window.tblConnections->sortItems(4, Qt::DescendingOrder);
    EXPECT_EQ(window.tblConnections->item(0, 4)->data(Qt::DisplayRole).toLongLong(), 8'000'000) << "sorts as numbers";
}

} // namespace
} // namespace pulo
