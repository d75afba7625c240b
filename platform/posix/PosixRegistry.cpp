#include "platform/posix/PosixRegistry.h"

#include "platform/PerfData.h"
#include "platform/posix/Netlink.h"
#include "platform/posix/TextFields.h"

#include <algorithm>

namespace win::posix {

namespace {

// True when the space-separated list of objects asks for the RAS total (or everything).
bool AsksForRasTotal(const std::string& names)
{
    for (const std::string_view word : Fields(names))
        if (word == "906" || word == "Global")
            return true;
    return false;
}

class PosixRegistry final : public IRegistryService
{
public:
    bool KeyExists(HKEY, const std::string&) override { return false; }
    std::vector<std::string> SubKeys(HKEY, const std::string&) override { return {}; }

    DWORD
    Value(HKEY root, const std::string& path, const std::string& name, DWORD& type, std::vector<BYTE>& data) override
    {
        if (root != HKEY_PERFORMANCE_DATA || !path.empty() || !AsksForRasTotal(name))
            return ERROR_FILE_NOT_FOUND;
        // The first connection's own 64-bit counters, since it began: the one the program watches.
        // With two lines up, the other's traffic is its own (it is counted once it is the first).
        std::uint64_t sent = 0;
        std::uint64_t received = 0;
        const std::vector<RasLink>& links = InstalledBackend().Ras->Connections();
        if (!links.empty() && DumpCounters(Counters)) {
            const RasLink& link = links.front();
            for (const NetCounters& counters : Counters) {
                if (static_cast<HRASCONN>(counters.Index) == link.Handle) {
                    sent = counters.TxBytes - std::min<std::uint64_t>(counters.TxBytes, link.SentBefore);
                    received = counters.RxBytes - std::min<std::uint64_t>(counters.RxBytes, link.ReceivedBefore);
                }
            }
        }
        SYSTEMTIME now{};
        InstalledBackend().System->LocalTime(now);
        type = REG_BINARY;
        data = RasTotalPerformanceData(sent, received, now);
        return ERROR_SUCCESS;
    }

private:
    std::vector<NetCounters> Counters;
};

} // namespace

std::unique_ptr<IRegistryService> MakePosixRegistry()
{
    return std::make_unique<PosixRegistry>();
}

} // namespace win::posix
