#pragma once

// Reads the byte counters of the Remote Access Service's total out of a performance-data block
// as the system returns it: every object type, its counter definitions (at most 50) and its
// instances, each counter block searched for the bytes transmitted (872) and received (874).
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
    std::optional<std::int32_t> Transmitted;
    std::optional<std::int32_t> Received;
};

// False when the block is too short (under 100 bytes), has no object types, or an object has
// more than 50 counter definitions. pause runs once per object type and once per counter
// definition collected, so that a long reading lets other events through.
bool ReadRasByteCounts(const win::BYTE* data,
                       std::size_t size,
                       TPerfByteCounts& counts,
                       const std::function<void()>& pause = {});

} // namespace pulo
