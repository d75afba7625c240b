#include "usage/Packs.h"

#include <algorithm>
#include <limits>

namespace pulo {

namespace {

constexpr std::int64_t Never = std::numeric_limits<std::int64_t>::max();

// One allowance in the counted figure's terms: it takes bytes counted from From up to Till (the
// figure when it ended), at most Capacity of them; the one that ends first takes first.
struct TSource final
{
    std::int64_t From = 0;
    std::int64_t Till = Never;
    std::int64_t Capacity = 0;
    std::int64_t EndsMs = 0;
    int Order = 0; // the plan's own allowance before a pack that ends with the period
    std::int64_t Taken = 0;
};

} // namespace

QDateTime PackEnd(const TPack& pack, const QDateTime& periodEnd)
{
    const QDateTime end = pack.Until.addDays(1).startOfDay();
    return end.isValid() && end < periodEnd ? end : periodEnd;
}

TAllowance DrawAllowance(std::int64_t counted,
                         const std::optional<std::int64_t>& limit,
                         const std::vector<TPack>& packs,
                         const QDateTime& now,
                         const QDateTime& periodEnd,
                         std::int64_t rollover)
{
    std::vector<TSource> sources;
    if (limit)
        sources.push_back({0, Never, std::max<std::int64_t>(0, *limit), periodEnd.toMSecsSinceEpoch(), 0, 0});
    const std::size_t firstPack = sources.size();
    std::vector<bool> ended;
    for (const TPack& pack : packs) {
        const QDateTime end = PackEnd(pack, periodEnd);
        const bool over = end <= now;
        ended.push_back(over);
        const std::int64_t till = over ? std::max(pack.CountedAtAdd, pack.CountedAtEnd.value_or(counted)) : Never;
        sources.push_back({std::max<std::int64_t>(0, pack.CountedAtAdd), till, std::max<std::int64_t>(0, pack.Bytes),
                           end.toMSecsSinceEpoch(), 1, 0});
    }
    if (rollover > 0)
        sources.push_back({0, Never, rollover, std::numeric_limits<std::int64_t>::min(), -1, 0});
    // The counted figure in stretches between the moments an allowance came or went; each stretch
    // is drawn from the allowances there, the one that ends first first.
    std::vector<std::int64_t> edges{0, std::max<std::int64_t>(0, counted)};
    for (const TSource& source : sources) {
        edges.push_back(std::min(source.From, counted));
        if (source.Till != Never)
            edges.push_back(std::min(source.Till, counted));
    }
    std::sort(edges.begin(), edges.end());
    edges.erase(std::unique(edges.begin(), edges.end()), edges.end());
    std::vector<TSource*> byEnd;
    for (TSource& source : sources)
        byEnd.push_back(&source);
    std::stable_sort(byEnd.begin(), byEnd.end(), [](const TSource* a, const TSource* b) {
        return a->EndsMs != b->EndsMs ? a->EndsMs < b->EndsMs : a->Order < b->Order;
    });
    for (std::size_t i = 0; i + 1 < edges.size(); ++i) {
        std::int64_t stretch = edges[i + 1] - edges[i];
        for (TSource* source : byEnd) {
            if (stretch == 0)
                break;
            if (source->From > edges[i] || source->Till <= edges[i])
                continue;
            const std::int64_t take = std::min(stretch, source->Capacity - source->Taken);
            source->Taken += take;
            stretch -= take;
        }
    }
    TAllowance allowance;
    std::int64_t whole = limit ? std::max<std::int64_t>(0, *limit) : 0;
    for (std::size_t i = 0; i < packs.size(); ++i) {
        const TSource& source = sources[firstPack + i];
        TPackUse use{source.Taken, ended[i] ? 0 : source.Capacity - source.Taken, ended[i]};
        whole += ended[i] ? use.Used : source.Capacity;
        allowance.Packs.push_back(use);
    }
    if (rollover > 0) {
        whole += rollover;
        allowance.RolloverLeft = rollover - sources.back().Taken;
    }
    if (limit || !packs.empty() || rollover > 0)
        allowance.Limit = whole;
    return allowance;
}

} // namespace pulo
