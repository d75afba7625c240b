#include "demo/DemoHistory.h"

#include "common/ClockText.h"
#include "common/DateTime.h"
#include "common/ErrorBoundary.h"
#include "platform/sim/SimBackend.h"
#include "settings/LogFile.h"
#include "settings/Settings.h"
#include "usage/HistoryStore.h"

#include <QFileInfo>

#include <cmath>
#include <random>

namespace pulo {

bool MakeDemoPast(win::sim::SimState& sim, const QDateTime& now)
{
    std::mt19937 random(20261208); // the same past at every first start
    std::uniform_int_distribution<int> perDay(0, 2);
    std::uniform_int_distribution<int> hour(7, 22);
    std::uniform_int_distribution<int> minutes(10, 180);
    std::uniform_int_distribution<int> megabytes(5, 400);
    TMonthTotals totals;
    DateParts current{};
    ClockParts past{};
    TLogWriter writer;
    const bool realClock = sim.RealClock;
    sim.RealClock = false;
    bool written = true;
    const QDate today = now.date();
    for (QDate day = today.addDays(-120); day <= today && written; day = day.addDays(1)) {
        const int connections = perDay(random);
        for (int i = 0; i < connections && written; ++i) {
            const QDateTime start(day, QTime(hour(random), 0));
            const QDateTime end = start.addSecs(minutes(random) * 60);
            const double received = megabytes(random) * 1e6;
            if (end >= now)
                break; // nothing in the future
            // The connection ends at its end, on the demo's clock.
            sim.SetNow(end.date().year(), end.date().month(), end.date().day(), end.time().hour(), end.time().minute(),
                       end.time().second());
            TLogContext context{totals,
                                current,
                                past,
                                true,
                                EncodeDate(day.year(), day.month(), day.day()) +
                                    EncodeTime(start.time().hour(), 0, 0, 0),
                                EncodeDate(day.year(), day.month(), day.day()),
                                i % 2 == 0 ? QStringLiteral("My ISP") : QStringLiteral("Backup ISP"),
                                received / 10,
                                received,
                                1};
            written = RunGuarded([&] {
                writer.UpdateLog(context);
                totals.StoredMonth = current.Month;
                WriteMonthTotals(totals);
                CloseLogJournal(writer);
            });
        }
    }
    sim.RealClock = realClock;
    return written;
}

bool HistoryHoldsConnections(const QString& path)
{
    if (!QFileInfo::exists(path))
        return false;
    THistoryStore history(path);
    return history.Open(THistoryStore::TAccess::ReadOnly) &&
           !history.Connections(QDateTime::fromSecsSinceEpoch(0), QDateTime::currentDateTime().addYears(100)).empty();
}

} // namespace pulo
