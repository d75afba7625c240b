// The Usage window and its figures, on a history made by the store's own functions.

#include "usage/UsageFigures.h"
#include "usage/window/frmUsage.h"

#include <QBarCategoryAxis>
#include <QBarSet>
#include <QChartView>
#include <QFile>
#include <QHeaderView>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QLabel>
#include <QLineSeries>
#include <QPalette>
#include <QPushButton>
#include <QStackedBarSeries>
#include <QTabWidget>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QValueAxis>

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
        host.PeriodRule = [billingDay] {
            TPeriodRule rule;
            rule.BillingDay = billingDay;
            return rule;
        };
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
    // Billing day 31: the periods meet end to start through February's short month.
    const std::vector<TUsageBar> last = PeriodBars(History, QDate(2027, 3, 15), 31);
    EXPECT_EQ(last.back().First, QDate(2027, 2, 28));
    EXPECT_EQ(last[10].First, QDate(2027, 1, 31));
    for (std::size_t i = 1; i < last.size(); ++i)
        EXPECT_EQ(last[i - 1].End, last[i].First) << i;
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
        {2'000'000'000'000, 2'000'000'000'000, "2.00 TB"},
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
    // Said on the day itself, or the day before.
    status.Today = QDate(2026, 12, 9);
    for (const auto& [forecast, said] : {std::pair{QDate(2026, 12, 9), "today"},
                                         {QDate(2026, 12, 10), "tomorrow"},
                                         {QDate(2026, 12, 11), "on 11 December"}}) {
        status.Forecast = forecast;
        EXPECT_EQ(ForecastText(status), QStringLiteral("at this pace the limit is reached ") + QLatin1String(said));
    }
    // A figure and its limit tell "past" from "at" from "short of" with the places it takes.
    const struct
    {
        std::int64_t Bytes;
        std::int64_t Limit;
        const char* Text;
    } limits[] = {
        {1'830'400'000, 1'830'000'000, "1.8304 GB of 1.8300 GB"},
        {1'829'990'000, 1'830'000'000, "1.82999 GB of 1.83000 GB"},
        {1'830'000'000, 1'830'000'000, "1.83 GB of 1.83 GB"},
        {900'000'000, 2'000'000'000, "0.900 GB of 2.00 GB"},
        {5'000'000, 10'000'000, "5.00 MB of 10.0 MB"},
    };
    for (const auto& c : limits)
        EXPECT_EQ(OfLimit(c.Bytes, c.Limit), QString::fromLatin1(c.Text));

    // The day the limit was passed: where the days' figures reached it.
    std::vector<TUsageBar> days;
    for (int day = 1; day <= 4; ++day)
        days.push_back({QDate(2026, 12, day), QDate(2026, 12, day + 1), 0, 5'000'000, 0});
    TPlanStatus passed;
    passed.Limit = 12'000'000;
    passed.Counted = 20'000'000;
    EXPECT_EQ(LimitPassedText(passed, days), QStringLiteral("limit passed on 3 December"));
    passed.Correction = 9'000'000; // with the provider's figure the day is not known
    EXPECT_EQ(LimitPassedText(passed, days), QStringLiteral("limit passed"));
    passed.Counted = 10'000'000;
    EXPECT_EQ(LimitPassedText(passed, days), ForecastText(passed)) << "within it: the forecast";
}

// The series of a chart by name, and the value axis a series is drawn against on one side.
template <typename T> T* SeriesNamed(QChartView* view, const QString& name)
{
    for (QAbstractSeries* series : view->chart()->series())
        if (series->name() == name)
            return qobject_cast<T*>(series);
    return nullptr;
}

QValueAxis* AxisOn(QChartView* view, Qt::Alignment side)
{
    const QList<QAbstractAxis*> axes = view->chart()->axes(Qt::Vertical);
    for (QAbstractAxis* axis : axes)
        if (axis->alignment() == side)
            return qobject_cast<QValueAxis*>(axis);
    return nullptr;
}

TEST(UsageUnitsTest, AxesStepRoundly)
{
    const struct
    {
        double Highest;
        double Top;
        double Step;
    } cases[] = {{910.7, 1000, 200}, {3.0, 4, 1}, {2.8, 3, 1}, {0.0123, 0.015, 0.005}, {47, 50, 10}, {0, 1, 0.2}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Highest);
        const TAxisScale scale = RoundScale(c.Highest);
        EXPECT_NEAR(scale.Top, c.Top, 1e-9);
        EXPECT_NEAR(scale.Step, c.Step, 1e-9);
        EXPECT_NEAR((scale.Ticks - 1) * scale.Step, scale.Top, 1e-9);
        EXPECT_GE(scale.Top, c.Highest);
    }
}

TEST_F(UsageWindowTest, TheChartsReadAtAGlance)
{
    for (const bool dark : {false, true}) {
        SCOPED_TRACE(dark ? "dark" : "light");
        TfrmUsage window(Host(1));
        if (dark)
            window.setPalette(QPalette(QColor(0x20, 0x20, 0x20), QColor(0x30, 0x30, 0x30)));
        window.resize(800, 640);
        window.show();

        // Day by day: round ticks, nothing online after today (the 15th), today labelled.
        QValueAxis* bytes = AxisOn(window.chartPeriod, Qt::AlignLeft);
        ASSERT_NE(bytes, nullptr);
        EXPECT_EQ(bytes->titleText(), QStringLiteral("MB"));
        EXPECT_EQ(bytes->max(), 6) << "5 MB a day at most, in steps of 2";
        EXPECT_EQ(bytes->tickCount(), 4);
        auto* online = SeriesNamed<QLineSeries>(window.chartPeriod, QStringLiteral("Online"));
        ASSERT_NE(online, nullptr);
        EXPECT_EQ(online->points().size(), 15) << "1 to 15 December";
        EXPECT_DOUBLE_EQ(online->points().at(14).y(), 0.5);
        auto* today = SeriesNamed<QLineSeries>(window.chartPeriod, QStringLiteral("Today (15 December)"));
        ASSERT_NE(today, nullptr);
        EXPECT_EQ(today->points().at(0).x(), 14);
        auto* bars = qobject_cast<QStackedBarSeries*>(window.chartPeriod->chart()->series().at(0));
        ASSERT_NE(bars, nullptr);
        EXPECT_EQ(bars->barSets().at(0)->color(), QColor(0x1f, 0x77, 0xb4)) << "received keeps its colour";
        EXPECT_TRUE(window.chartPeriod->chart()->title().contains(QStringLiteral("1 to 31 December 2026")));

        // Counted on an axis of its own: so far up to today, then the forecast to the last day.
        auto* counted = SeriesNamed<QLineSeries>(window.chartCounted, QStringLiteral("Counted so far"));
        auto* forecast = SeriesNamed<QLineSeries>(window.chartCounted, QStringLiteral("Forecast"));
        auto* limit = SeriesNamed<QLineSeries>(window.chartCounted, QStringLiteral("Limit"));
        ASSERT_TRUE(counted != nullptr && forecast != nullptr && limit != nullptr);
        EXPECT_EQ(counted->points().back(), QPointF(14, 8.5)) << "the plan's 8.5 MB counted today";
        EXPECT_EQ(counted->points().at(1).y(), 0.5) << "2 December";
        EXPECT_EQ(forecast->points().back().x(), 30);
        EXPECT_NEAR(forecast->points().back().y(), 8.5 * 31 / 14.5, 0.01) << "14.5 days' pace over 31 days";
        EXPECT_EQ(limit->points().at(0).y(), 12);
        EXPECT_EQ(AxisOn(window.chartCounted, Qt::AlignLeft)->max(), 20);
        EXPECT_GE(window.UsageTabs->indexOf(window.chartCounted), 0) << "a tab of its own, as tall as the window lets";
        EXPECT_EQ(SeriesNamed<QLineSeries>(window.chartCounted, QStringLiteral("Limit passed (15 December)")), nullptr)
            << "not passed";
        // Today's limit over this period's bar only: the past periods' limits are not known.
        auto* periodLimit = SeriesNamed<QLineSeries>(window.chartPeriods, QStringLiteral("Limit (this period)"));
        ASSERT_NE(periodLimit, nullptr);
        EXPECT_EQ(periodLimit->points().front().x(), 10.5);
        EXPECT_EQ(periodLimit->points().back().x(), 11.5);

        // The last twelve periods: "Dec 2026", this one's forecast on top of it.
        auto* months = qobject_cast<QBarCategoryAxis*>(window.chartPeriods->chart()->axes(Qt::Horizontal).at(0));
        ASSERT_NE(months, nullptr);
        EXPECT_EQ(months->categories().back(), QStringLiteral("Dec 2026"));
        auto* periods = qobject_cast<QStackedBarSeries*>(window.chartPeriods->chart()->series().at(0));
        ASSERT_EQ(periods->barSets().size(), 3);
        EXPECT_GT(periods->barSets().at(2)->at(11), 0);
        EXPECT_EQ(periods->barSets().at(2)->at(10), 0);
        EXPECT_NE(SeriesNamed<QLineSeries>(window.chartPeriods, QStringLiteral("Online")), nullptr);
    }
}

TEST_F(UsageWindowTest, TheSummarySaysWhyTheHistoryAndTheTotalsDiffer)
{
    const struct
    {
        const char* Name;
        double TotRCV; // kilobytes the month totals hold (the history holds 8.5 MB this period)
        bool Logging;
        const char* Why;
    } cases[] = {
        {"totals counted before the history began", 20'000, true, "connections the history did not record"},
        {"connections while Logging was off", 1'000, true, "made while Logging was off"},
        {"Logging off now", 1'000, false, "Logging is off"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        TUsageHost host = Host(1);
        host.Status = [&c] {
            TPlanKeeper keeper;
            keeper.SetTotals({2, 4200, c.TotRCV, 2100.0, 12});
            keeper.SetPlan(1, false, 12'000'000);
            return keeper.Status(QDateTime(QDate(2026, 12, 15), QTime(12, 0)));
        };
        host.Logging = [&c] { return c.Logging; };
        TfrmUsage window(host);
        window.show();
        const QString summary = window.lblSummary->text();
        EXPECT_TRUE(summary.contains(QLatin1String(c.Why))) << summary.toStdString();
        for (const auto& other : cases) {
            if (QLatin1String(other.Why) != QLatin1String(c.Why)) {
                EXPECT_FALSE(summary.contains(QLatin1String(other.Why))) << summary.toStdString();
            }
        }
    }
}

TEST_F(UsageWindowTest, FreeTrafficIsStackedApartAndLeftOutOfTheCountedLine)
{
    // 2 December 23:00 to 01:00 at 1 MB an hour, nights free from midnight: the window kept 1 MB
    // of it as free.
    const QDateTime start(QDate(2026, 12, 2), QTime(23, 0));
    const std::int64_t id = History.BeginConnection(start, QStringLiteral("My ISP"), QStringLiteral("ppp0"));
    const TFreeBytes free{0, 1'000'000};
    ASSERT_TRUE(History.UpdateConnection(id, start.addSecs(7200), 0, 2'000'000, true, {}, nullptr, &free));
    const struct
    {
        const char* Name;
        const char* Hours;
        std::int64_t Second; // free on 2 December
        std::int64_t Third;  // and on the 3rd
    } cases[] = {
        {"its free minutes are the 3rd's", "00:00-06:00", 0, 1'000'000},
        {"shared by free minutes across midnight", "23:30-00:30", 500'000, 500'000},
        {"free time changed since: the day it began", "12:00-13:00", 1'000'000, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        std::vector<TUsageBar> days = DayBars(History, PeriodOf(QDate(2026, 12, 15), 1));
        AddFreeToDays(days, History, FreeTimeOf(QLatin1String(c.Hours), {}));
        EXPECT_EQ(days[1].FreeReceived, c.Second);
        EXPECT_EQ(days[2].FreeReceived, c.Third);
    }

    TUsageHost host = Host(1);
    host.FreeTime = [] { return FreeTimeOf(QStringLiteral("00:00-06:00"), {}); };
    TfrmUsage window(host);
    window.resize(800, 640);
    window.show();
    auto* bars = qobject_cast<QStackedBarSeries*>(window.chartPeriod->chart()->series().at(0));
    ASSERT_NE(bars, nullptr);
    ASSERT_EQ(bars->barSets().size(), 3);
    EXPECT_EQ(bars->barSets().at(2)->label(), QStringLiteral("Free, not counted"));
    EXPECT_DOUBLE_EQ(bars->barSets().at(2)->at(2), 1.0) << "3 December, in MB";
    EXPECT_DOUBLE_EQ(bars->barSets().at(0)->at(2), 0.0) << "nothing of the 3rd counts";
    auto* counted = SeriesNamed<QLineSeries>(window.chartCounted, QStringLiteral("Counted so far"));
    ASSERT_NE(counted, nullptr);
    EXPECT_DOUBLE_EQ(counted->points().at(2).y(), counted->points().at(1).y()) << "the free night adds nothing";
}

TEST_F(UsageWindowTest, AnEmptyHistorySaysSo)
{
    QTemporaryDir folder;
    THistoryStore empty(folder.filePath(QStringLiteral("empty.sqlite")));
    ASSERT_TRUE(empty.Open(THistoryStore::TAccess::ReadWrite));
    TUsageHost host = Host(1);
    host.History = [&empty] { return &empty; };
    host.Status = [] {
        TPlanKeeper keeper;
        return keeper.Status(QDateTime(QDate(2026, 12, 15), QTime(12, 0)));
    };
    TfrmUsage window(host);
    window.show();
    for (QChartView* view : {window.chartPeriod, window.chartCounted, window.chartPeriods}) {
        SCOPED_TRACE(view->objectName().toStdString());
        EXPECT_TRUE(view->chart()->series().isEmpty());
        EXPECT_TRUE(view->chart()->title().contains(QStringLiteral(": nothing")))
            << view->chart()->title().toStdString();
    }
}

TEST_F(UsageWindowTest, TheWindowSavesAndSorts)
{
    TfrmUsage window(Host(1));
    window.resize(800, 640);
    window.show();
    for (const char* name : {"lblSummary", "UsageTabs", "chartPeriod", "chartCounted", "chartPeriods", "tblConnections",
                             "btnSaveChart", "btnSaveConnections", "btnClose"})
        EXPECT_NE(window.findChild<QWidget*>(QString::fromLatin1(name)), nullptr) << name;
    EXPECT_TRUE(window.lblSummary->text().contains(QStringLiteral("8.50 MB received")))
        << window.lblSummary->text().toStdString();
    EXPECT_TRUE(window.lblSummary->text().contains(QStringLiteral("at this pace the limit is reached on")));

    QTemporaryDir out;
    const QString png = out.filePath(QStringLiteral("usage.png"));
    ASSERT_TRUE(window.SaveChart(png));
    const QImage saved(png);
    EXPECT_EQ(saved.size(), window.pagePeriod->size() * 2) << "twice the screen's size";
    int drawn = 0; // a good share of it is not the background
    for (int y = 0; y < saved.height(); y += 4)
        for (int x = 0; x < saved.width(); x += 4)
            drawn += saved.pixel(x, y) != saved.pixel(2, 2) ? 1 : 0;
    EXPECT_GT(drawn, saved.width() * saved.height() / 16 / 50) << "more than 2 % of the chart";
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

    QTableWidget* table = window.tblConnections;
    ASSERT_EQ(table->rowCount(), 2);
    table->sortItems(4, Qt::AscendingOrder);
    const QStringList first{table->item(0, 2)->text(), table->item(0, 3)->text(), table->item(0, 4)->text(),
                            table->item(0, 6)->text()};
    EXPECT_EQ(first, (QStringList{QStringLiteral("0:10:00"), QStringLiteral("0.100 MB"), QStringLiteral("0.500 MB"),
                                  QStringLiteral("ppp0")}))
        << "rounded as the summary rounds";
    EXPECT_LE(table->columnWidth(6), table->horizontalHeader()->sectionSizeHint(6) + 40)
        << "the interface's column as wide as what it shows";
    // A chart is saved only from a tab that shows one.
    window.UsageTabs->setCurrentWidget(window.tblConnections);
    EXPECT_FALSE(window.btnSaveChart->isEnabled());
    window.UsageTabs->setCurrentWidget(window.pagePeriod);
    EXPECT_TRUE(window.btnSaveChart->isEnabled());
    EXPECT_EQ(table->item(1, 4)->text(), QStringLiteral("8.00 MB")) << "sorts by value, not by its text";
    EXPECT_EQ(table->item(1, 2)->text(), QStringLiteral("1:00:00"));
}

} // namespace
} // namespace pulo
