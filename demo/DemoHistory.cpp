#include "demo/DemoHistory.h"

#include "usage/HistoryStore.h"

#include <random>

namespace pulo {

bool FillDemoHistory(THistoryStore& history, const QDate& today)
{
    std::mt19937 random(20261208); // the same history at every first start
    std::uniform_int_distribution<int> perDay(0, 3);
    std::uniform_int_distribution<int> hour(7, 22);
    std::uniform_int_distribution<int> minutes(10, 180);
    std::uniform_int_distribution<int> megabytes(5, 400);
    for (QDate day = today.addDays(-120); day <= today; day = day.addDays(1)) {
        const int connections = perDay(random);
        for (int i = 0; i < connections; ++i) {
            const QDateTime start(day, QTime(hour(random), 0));
            const int seconds = minutes(random) * 60;
            const std::int64_t received = static_cast<std::int64_t>(megabytes(random)) * 1'000'000;
            const QString entry = i % 2 == 0 ? QStringLiteral("My ISP") : QStringLiteral("Backup ISP");
            const std::int64_t id = history.BeginConnection(start, entry, QStringLiteral("Standard 56000 bps Modem"));
            if (!history.UpdateConnection(id, start.addSecs(seconds), received / 10, received, true))
                return false;
        }
    }
    return true;
}

} // namespace pulo
