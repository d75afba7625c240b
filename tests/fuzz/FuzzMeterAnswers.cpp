// libFuzzer: what the per-program figures are read from comes from outside the program: the
// meter service's answer over its socket, and the kernel's socket statistics over netlink. The
// first byte chooses which is read from the rest.

#include "platform/ProgramMeter.h"
#include "platform/posix/TcpSocketMeter.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0)
        return 0;
    if (data[0] % 2 == 0) {
        std::vector<win::ProgramBytes> programs;
        std::string why;
        const bool read =
            win::ParseMeterAnswer(std::string(reinterpret_cast<const char*>(data) + 1, size - 1), programs, why);
        // An answer not taken gives nothing, and says why.
        if (!read && (!programs.empty() || why.empty()))
            __builtin_trap();
        for (const win::ProgramBytes& program : programs)
            if (program.Program.empty())
                __builtin_trap();
        return 0;
    }
    // Netlink's messages are read from aligned memory, as the kernel's are.
    std::vector<std::uint32_t> aligned((size - 1 + 3) / 4);
    std::memcpy(aligned.data(), data + 1, size - 1);
    std::vector<win::posix::TcpSocketMeter::Reading> readings;
    win::posix::ParseSocketReadings(reinterpret_cast<const unsigned char*>(aligned.data()), size - 1, readings);
    if (readings.size() > size / 16)
        __builtin_trap();
    return 0;
}
