#pragma once

// Reads the byte counters of the Remote Access Service's total out of a performance-data block
// as the system returns it: every object type, its counter definitions (at most 50) and its
// instances, each counter block searched for the bytes transmitted (872) and received (874).
// A counter is read as the signed 32-bit value it always was, or as an unsigned 64-bit one when
// its definition gives it eight bytes (the large raw count), so that links past 4 GB keep their
// figures; a 64-bit value above the largest signed one is taken as that largest.
// Lengths in the block are checked against the buffer: a block that lies about them ends the
// reading, it is never read outside the buffer.

#include "platform/Win32.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>

namespace pulo {

struct TPerfByteCounts final
{
    // The largest value of each counter seen in the block; none when it was not there.
    std::optional<std::int64_t> Transmitted;
    std::optional<std::int64_t> Received;
};

// False when the block is too short (under 100 bytes), has no object types, or an object has
// more than 50 counter definitions. pause runs once per object type and once per counter
// definition collected, so that a long reading lets other events through.
bool ReadRasByteCounts(const win::BYTE* data,
                       std::size_t size,
                       TPerfByteCounts& counts,
                       const std::function<void()>& pause = {});

} // namespace pulo
