#pragma once

// The interface and address tables on Linux: every interface of the network namespace from
// netlink, in index order, with the kernel's 64-bit counters; the description is the
// interface name, with its alias in parentheses when one is set.

#include "platform/Backend.h"
#include "platform/posix/Netlink.h"

#include <vector>

namespace win::posix {

class PosixIpHelper final : public IIpHelperService
{
public:
    [[nodiscard]] bool Interfaces(std::vector<IfEntry>& entries) override;
    // The kernel's 64-bit counters alone, over the kept link table.
    [[nodiscard]] bool ByteCounts(std::vector<IfByteCounts>& counts) override;
    [[nodiscard]] std::size_t InterfaceCount() override;
    [[nodiscard]] bool Addresses(std::vector<IpAddrEntry>& entries) override;
    // From the kernel's IPv4 routing table (/proc/net/route); asked only when interfaces come or go.
    [[nodiscard]] bool BestInterface(DWORD destination, DWORD& index) override;

private:
    // The link table brought up to date and every link's counters read; false when they cannot be.
    bool ReadCounters();
    // Each link of the table in order, with its counters of the last read (none: zero).
    template <typename Take> void ForEachLink(Take take) const;

    std::vector<NetCounters> Counters;
    std::vector<NetAddress> AddressScratch;
    LinkTable Table;
};

} // namespace win::posix
