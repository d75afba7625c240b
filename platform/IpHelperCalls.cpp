// The iphlpapi calls: the table layout and room rules every backend shares.

#include "platform/Backend.h"

#include <algorithm>
#include <cstddef>
#include <cstdlib>
#include <cstring>

namespace win {

namespace {

void FillRow(MIB_IFROW& row, const IfEntry& entry)
{
    std::memset(&row, 0, sizeof row);
    const std::size_t nameLength = std::min<std::size_t>(entry.Description.size(), MAX_INTERFACE_NAME_LEN - 1);
    for (std::size_t i = 0; i < nameLength; ++i)
        row.wszName[i] = static_cast<unsigned char>(entry.Description[i]);
    row.dwIndex = entry.Index;
    row.dwType = entry.Type;
    row.dwMtu = entry.Mtu;
    row.dwSpeed = entry.Speed;
    row.dwPhysAddrLen = static_cast<DWORD>(std::min<std::size_t>(entry.PhysAddr.size(), MAXLEN_PHYSADDR));
    if (row.dwPhysAddrLen > 0)
        std::memcpy(row.bPhysAddr, entry.PhysAddr.data(), row.dwPhysAddrLen);
    row.dwAdminStatus = entry.Up ? MIB_IF_ADMIN_STATUS_UP : MIB_IF_ADMIN_STATUS_DOWN;
    row.dwOperStatus = entry.Running ? MIB_IF_OPER_STATUS_OPERATIONAL : MIB_IF_OPER_STATUS_NON_OPERATIONAL;
    // The record's counters are 32 bits: they wrap, and the speed monitor counts the wrap.
    row.dwInOctets = static_cast<DWORD>(entry.InOctets);
    row.dwOutOctets = static_cast<DWORD>(entry.OutOctets);
    row.dwInUcastPkts = static_cast<DWORD>(entry.InPackets);
    row.dwOutUcastPkts = static_cast<DWORD>(entry.OutPackets);
    row.dwInErrors = static_cast<DWORD>(entry.InErrors);
    row.dwOutErrors = static_cast<DWORD>(entry.OutErrors);
    row.dwInDiscards = static_cast<DWORD>(entry.InDrops);
    row.dwOutDiscards = static_cast<DWORD>(entry.OutDrops);
    const std::size_t descriptionLength = std::min<std::size_t>(entry.Description.size(), MAXLEN_IFDESCR - 1);
    std::memcpy(row.bDescr, entry.Description.data(), descriptionLength);
    row.dwDescrLen = static_cast<DWORD>(descriptionLength + 1);
}

DWORD HostOrder(DWORD addr)
{
    return ((addr & 0xFF) << 24) | ((addr & 0xFF00) << 8) | ((addr >> 8) & 0xFF00) | (addr >> 24);
}

} // namespace

DWORD GetIfTable(MIB_IFTABLE* table, ULONG* size, BOOL order)
{
    if (size == nullptr)
        return ERROR_INVALID_PARAMETER;
    IIpHelperService* service = InstalledBackend().IpHelper.get();
    if (service == nullptr)
        return ERROR_NOT_SUPPORTED;
    // A size probe is answered from the count alone; only a real read asks for the counters.
    if (table == nullptr || *size == 0) {
        *size = static_cast<ULONG>(offsetof(MIB_IFTABLE, table) + service->InterfaceCount() * sizeof(MIB_IFROW));
        return ERROR_INSUFFICIENT_BUFFER;
    }
    thread_local std::vector<IfEntry> entries;
    if (!service->Interfaces(entries))
        return ERROR_NOT_SUPPORTED;
    if (order != FALSE_RESULT)
        std::stable_sort(entries.begin(), entries.end(),
                         [](const IfEntry& a, const IfEntry& b) { return a.Index < b.Index; });
    const auto needed = static_cast<ULONG>(offsetof(MIB_IFTABLE, table) + entries.size() * sizeof(MIB_IFROW));
    if (*size < needed) {
        *size = needed;
        return ERROR_INSUFFICIENT_BUFFER;
    }
    table->dwNumEntries = static_cast<DWORD>(entries.size());
    for (std::size_t i = 0; i < entries.size(); ++i)
        FillRow(table->table[i], entries[i]);
    return ERROR_SUCCESS;
}

DWORD GetIfTable2(MIB_IF_TABLE2** table)
{
    if (table == nullptr)
        return ERROR_INVALID_PARAMETER;
    *table = nullptr;
    IIpHelperService* service = InstalledBackend().IpHelper.get();
    thread_local std::vector<IfEntry> entries;
    if (service == nullptr || !service->Interfaces(entries))
        return ERROR_NOT_SUPPORTED;
    const std::size_t bytes =
        offsetof(MIB_IF_TABLE2, Table) + std::max<std::size_t>(entries.size(), 1) * sizeof(MIB_IF_ROW2);
    auto* result = static_cast<MIB_IF_TABLE2*>(std::calloc(1, bytes));
    if (result == nullptr)
        return ERROR_NOT_ENOUGH_MEMORY;
    result->NumEntries = static_cast<ULONG>(entries.size());
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const IfEntry& entry = entries[i];
        MIB_IF_ROW2& row = result->Table[i];
        row.InterfaceLuid = entry.Index;
        row.InterfaceIndex = entry.Index;
        const std::size_t length = std::min<std::size_t>(entry.Description.size(), IF_MAX_STRING_SIZE);
        for (std::size_t c = 0; c < length; ++c) {
            row.Alias[c] = static_cast<unsigned char>(entry.Description[c]);
            row.Description[c] = static_cast<unsigned char>(entry.Description[c]);
        }
        row.PhysicalAddressLength =
            static_cast<ULONG>(std::min<std::size_t>(entry.PhysAddr.size(), IF_MAX_PHYS_ADDRESS_LENGTH));
        if (row.PhysicalAddressLength > 0) {
            std::memcpy(row.PhysicalAddress, entry.PhysAddr.data(), row.PhysicalAddressLength);
            std::memcpy(row.PermanentPhysicalAddress, entry.PhysAddr.data(), row.PhysicalAddressLength);
        }
        row.Mtu = entry.Mtu;
        row.Type = entry.Type;
        row.OperStatus = entry.Running ? 1 : 2; // IfOperStatusUp, IfOperStatusDown
        row.AdminStatus = entry.Up ? 1 : 2;
        row.TransmitLinkSpeed = entry.Speed;
        row.ReceiveLinkSpeed = entry.Speed;
        row.InOctets = entry.InOctets;
        row.OutOctets = entry.OutOctets;
        row.InUcastPkts = entry.InPackets;
        row.OutUcastPkts = entry.OutPackets;
        row.InErrors = entry.InErrors;
        row.OutErrors = entry.OutErrors;
        row.InDiscards = entry.InDrops;
        row.OutDiscards = entry.OutDrops;
    }
    *table = result;
    return ERROR_SUCCESS;
}

void FreeMibTable(void* memory)
{
    std::free(memory);
}

DWORD GetIpAddrTable(MIB_IPADDRTABLE* table, ULONG* size, BOOL order)
{
    if (size == nullptr)
        return ERROR_INVALID_PARAMETER;
    IIpHelperService* service = InstalledBackend().IpHelper.get();
    std::vector<IpAddrEntry> entries;
    if (service == nullptr || !service->Addresses(entries))
        return ERROR_NOT_SUPPORTED;
    if (order != FALSE_RESULT)
        std::stable_sort(entries.begin(), entries.end(), [](const IpAddrEntry& a, const IpAddrEntry& b) {
            return HostOrder(a.Addr) < HostOrder(b.Addr);
        });
    const auto needed = static_cast<ULONG>(offsetof(MIB_IPADDRTABLE, table) + entries.size() * sizeof(MIB_IPADDRROW));
    if (table == nullptr || *size < needed) {
        *size = needed;
        return ERROR_INSUFFICIENT_BUFFER;
    }
    table->dwNumEntries = static_cast<DWORD>(entries.size());
    for (std::size_t i = 0; i < entries.size(); ++i) {
        MIB_IPADDRROW& row = table->table[i];
        std::memset(&row, 0, sizeof row);
        row.dwAddr = entries[i].Addr;
        row.dwIndex = entries[i].Index;
        row.dwMask = entries[i].Mask;
        row.dwBCastAddr = 1;
        row.dwReasmSize = 65535;
    }
    return ERROR_SUCCESS;
}

DWORD GetBestInterface(IPAddr destination, DWORD* index)
{
    if (index == nullptr)
        return ERROR_INVALID_PARAMETER;
    IIpHelperService* service = InstalledBackend().IpHelper.get();
    if (service == nullptr)
        return ERROR_NOT_SUPPORTED;
    return service->BestInterface(destination, *index) ? ERROR_SUCCESS : ERROR_NOT_FOUND;
}

void RegisterIpHelperModule(ModuleRegistry& modules)
{
    modules.Register("IPHLPAPI.DLL", {
                                         {"GetIfTable", reinterpret_cast<FARPROC>(&GetIfTable)},
                                         {"GetIpAddrTable", reinterpret_cast<FARPROC>(&GetIpAddrTable)},
                                         {"GetIfTable2", reinterpret_cast<FARPROC>(&GetIfTable2)},
                                         {"GetBestInterface", reinterpret_cast<FARPROC>(&GetBestInterface)},
                                         {"FreeMibTable", reinterpret_cast<FARPROC>(&FreeMibTable)},
                                     });
}

} // namespace win
