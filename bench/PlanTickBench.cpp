// The plan keeper's part of the window's once-a-second tick: following the day, the packs and the
// free time, asking whether the history must be read again, and the status every view shows, for a
// plain calendar month against a prepaid plan of 30 days from an hour with free nights, a daily cap,
// rollover and a pack. The figures are read from the history only when the period or the plan
// changes, never in the tick. Aim: the plan of days costs at most a few times the plain month, and
// both stay in microseconds.

#include "bench/Median.h"
#include "common/BillingPeriod.h"
#include "usage/PlanStatus.h"

#include <QDateTime>

#include <cstdio>

namespace {

double TickMicroseconds(pulo::TPlanKeeper& keeper)
{
    QDateTime now(QDate(2026, 12, 10), QTime(5, 59, 0));
    const QDateTime start(QDate(2026, 12, 10), QTime(5, 0));
    std::int64_t received = 0;
    return pulo::bench::MedianMicroseconds(
        [&] {
            keeper.SetRunning(start, 0, received);
            keeper.FollowFree(now);
            keeper.FollowDay(now);
            keeper.FollowPacks(now);
            (void)keeper.NeedsHistory(now);
            (void)keeper.Status(now);
        },
        [&](int) {
            now = now.addSecs(1);
            received += 100'000;
        },
        20000);
}

} // namespace

int main()
{
    pulo::TPlanKeeper month;
    month.SetPlan(1, false, 10'000'000'000);
    const double plain = TickMicroseconds(month);

    pulo::TPlanKeeper prepaid;
    pulo::TPeriodRule rule;
    rule.Kind = pulo::TPeriodKind::Days;
    rule.Days = 30;
    rule.Start = QDateTime(QDate(2026, 11, 20), QTime(9, 0));
    prepaid.SetPlan(rule, false, 10'000'000'000);
    pulo::TTariff tariff;
    tariff.Free = pulo::FreeTimeOf(QStringLiteral("00:00-06:00"), QStringLiteral("sat,sun"));
    tariff.DailyLimit = 1'000'000'000;
    tariff.RolloverMost = 2'000'000'000;
    tariff.PricePerMB = 0.01;
    prepaid.SetTariff(tariff);
    (void)prepaid.AddPack(QDateTime(QDate(2026, 12, 1), QTime(12, 0)), 5'000'000'000, QDate(2026, 12, 20));
    const double days = TickMicroseconds(prepaid);

    std::printf("plan tick, calendar month:                     %.2f us\n", plain);
    std::printf("plan tick, 30 days, free nights, cap, pack...: %.2f us (%.1fx)\n", days, days / plain);
    return 0;
}
