#pragma once

// Add-on packs: allowances bought during a period, each from the moment it was added to the end of
// its own last day (at most the period's end). What the period counts is drawn from the
// allowances as it was counted: each byte from the allowance, among those there at that moment
// with something left, that ends first (a pack that ends before the period is used before the
// plan's own allowance; one that ends with it, after). Plain rules: the plan keeper applies them.

#include <QDateTime>

#include <cstdint>
#include <optional>
#include <vector>

namespace pulo {

struct TPack final
{
    std::int64_t Id = 0;
    QDateTime AddedAt;
    QDate Until; // its last day, local
    std::int64_t Bytes = 0;
    // What the period had counted when it was added: only what is counted after is the pack's.
    std::int64_t CountedAtAdd = 0;
    // Of a pack that has ended, what the period had counted at its end (as far as known).
    std::optional<std::int64_t> CountedAtEnd;

    bool operator==(const TPack&) const = default;
};

struct TPackUse final
{
    std::int64_t Used = 0;
    std::int64_t Left = 0; // nothing once it has ended
    bool Ended = false;
};

struct TAllowance final
{
    // The whole allowance of the moment: the plan's own, the packs there now, and what the packs
    // that ended covered. None when there is neither a limit nor a pack.
    std::optional<std::int64_t> Limit;
    std::vector<TPackUse> Packs; // in the order given
    std::int64_t RolloverLeft = 0;
};

// The end of the pack's last day as a moment, but never after the period's end.
[[nodiscard]] QDateTime PackEnd(const TPack& pack, const QDateTime& periodEnd);

// How the counted figure is drawn from the plan's own allowance (none: no limit) and the packs at
// now; a pack that has ended without a known CountedAtEnd is taken to have ended at now. What
// rolled over from earlier periods is used before everything else.
[[nodiscard]] TAllowance DrawAllowance(std::int64_t counted,
                                       const std::optional<std::int64_t>& limit,
                                       const std::vector<TPack>& packs,
                                       const QDateTime& now,
                                       const QDateTime& periodEnd,
                                       std::int64_t rollover = 0);

} // namespace pulo
