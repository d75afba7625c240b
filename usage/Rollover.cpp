#include "usage/Rollover.h"

#include <algorithm>

namespace pulo {

std::int64_t RolloverInto(const std::vector<std::int64_t>& pastCounted,
                          const std::optional<std::int64_t>& limit,
                          std::int64_t most,
                          int periods)
{
    if (!limit || *limit <= 0 || most <= 0)
        return 0;
    struct TTranche final
    {
        std::int64_t Left = 0;
        std::size_t LastPeriod = 0; // the last period it may be used in
    };
    std::vector<TTranche> alive; // oldest, and so ending first, first
    const std::size_t lifetime = static_cast<std::size_t>(std::max(1, periods));
    for (std::size_t i = 0; i < pastCounted.size(); ++i) {
        std::erase_if(alive, [&](const TTranche& tranche) { return tranche.LastPeriod < i; });
        std::int64_t counted = std::max<std::int64_t>(0, pastCounted[i]);
        for (TTranche& tranche : alive) {
            const std::int64_t take = std::min(counted, tranche.Left);
            tranche.Left -= take;
            counted -= take;
        }
        alive.push_back({std::min(most, std::max<std::int64_t>(0, *limit - counted)), i + lifetime});
    }
    std::int64_t into = 0;
    for (const TTranche& tranche : alive)
        if (tranche.LastPeriod >= pastCounted.size())
            into += tranche.Left;
    return into;
}

} // namespace pulo
