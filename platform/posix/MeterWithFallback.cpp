#include "platform/posix/MeterWithFallback.h"

namespace win::posix {

std::string MeterWithFallback::Identify(const std::string& interface)
{
    // Both learn the line while it is there; both name it by its index.
    (void)Tcp.Identify(interface);
    return Meter.Identify(interface);
}

bool MeterWithFallback::Programs(const std::string& identity, MeterAnswer& answer, std::string& why)
{
    std::string meterWhy;
    if (Meter.Programs(identity, answer, meterWhy))
        return true;
    if (!Tcp.Programs(identity, answer, why)) {
        why = meterWhy;
        return false;
    }
    answer.Note = meterWhy + "; " + answer.Note;
    return true;
}

} // namespace win::posix
