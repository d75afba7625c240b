#pragma once

// iphlpapi: the interface table and the IPv4 address table, with their records in their
// oldest sizes. The calls are also offered for run-time loading as "IPHLPAPI.DLL".

#include "platform/Win32.h"

#include <cstddef>
#include <cstdint>

namespace win {

class ModuleRegistry;

constexpr DWORD MAX_INTERFACE_NAME_LEN = 256;
constexpr DWORD MAXLEN_PHYSADDR = 8;
constexpr DWORD MAXLEN_IFDESCR = 256;

constexpr DWORD IF_TYPE_OTHER = 1;
constexpr DWORD IF_TYPE_ETHERNET_CSMACD = 6;
constexpr DWORD IF_TYPE_PPP = 23;
constexpr DWORD IF_TYPE_SOFTWARE_LOOPBACK = 24;
constexpr DWORD IF_TYPE_TUNNEL = 131;

constexpr DWORD MIB_IF_ADMIN_STATUS_UP = 1;
constexpr DWORD MIB_IF_ADMIN_STATUS_DOWN = 2;
constexpr DWORD MIB_IF_OPER_STATUS_NON_OPERATIONAL = 0;
constexpr DWORD MIB_IF_OPER_STATUS_OPERATIONAL = 5;

struct MIB_IFROW
{
    WCHAR wszName[MAX_INTERFACE_NAME_LEN];
    DWORD dwIndex;
    DWORD dwType;
    DWORD dwMtu;
    DWORD dwSpeed;
    DWORD dwPhysAddrLen;
    BYTE bPhysAddr[MAXLEN_PHYSADDR];
    DWORD dwAdminStatus;
    DWORD dwOperStatus;
    DWORD dwLastChange;
    DWORD dwInOctets;
    DWORD dwInUcastPkts;
    DWORD dwInNUcastPkts;
    DWORD dwInDiscards;
    DWORD dwInErrors;
    DWORD dwInUnknownProtos;
    DWORD dwOutOctets;
    DWORD dwOutUcastPkts;
    DWORD dwOutNUcastPkts;
    DWORD dwOutDiscards;
    DWORD dwOutErrors;
    DWORD dwOutQLen;
    DWORD dwDescrLen; // including the terminating NUL
    BYTE bDescr[MAXLEN_IFDESCR];
};
static_assert(sizeof(MIB_IFROW) == 860);

struct MIB_IFTABLE
{
    DWORD dwNumEntries;
    MIB_IFROW table[1];
};

struct MIB_IPADDRROW
{
    DWORD dwAddr; // first octet in the lowest byte
    DWORD dwIndex;
    DWORD dwMask;
    DWORD dwBCastAddr;
    DWORD dwReasmSize;
    WORD unused1;
    WORD wType;
};
static_assert(sizeof(MIB_IPADDRROW) == 24);

struct MIB_IPADDRTABLE
{
    DWORD dwNumEntries;
    MIB_IPADDRROW table[1];
};

// The newer interface table, with 64-bit counters.
constexpr DWORD IF_MAX_STRING_SIZE = 256;
constexpr DWORD IF_MAX_PHYS_ADDRESS_LENGTH = 32;
using ULONG64 = std::uint64_t;

struct GUID
{
    DWORD Data1;
    WORD Data2;
    WORD Data3;
    BYTE Data4[8];
};
static_assert(sizeof(GUID) == 16);

struct MIB_IF_ROW2
{
    ULONG64 InterfaceLuid;
    ULONG InterfaceIndex;
    GUID InterfaceGuid;
    WCHAR Alias[IF_MAX_STRING_SIZE + 1];
    WCHAR Description[IF_MAX_STRING_SIZE + 1];
    ULONG PhysicalAddressLength;
    BYTE PhysicalAddress[IF_MAX_PHYS_ADDRESS_LENGTH];
    BYTE PermanentPhysicalAddress[IF_MAX_PHYS_ADDRESS_LENGTH];
    ULONG Mtu;
    ULONG Type;
    DWORD TunnelType;
    DWORD MediaType;
    DWORD PhysicalMediumType;
    DWORD AccessType;
    DWORD DirectionType;
    BYTE InterfaceAndOperStatusFlags;
    DWORD OperStatus;
    DWORD AdminStatus;
    DWORD MediaConnectState;
    GUID NetworkGuid;
    DWORD ConnectionType;
    ULONG64 TransmitLinkSpeed;
    ULONG64 ReceiveLinkSpeed;
    ULONG64 InOctets;
    ULONG64 InUcastPkts;
    ULONG64 InNUcastPkts;
    ULONG64 InDiscards;
    ULONG64 InErrors;
    ULONG64 InUnknownProtos;
    ULONG64 InUcastOctets;
    ULONG64 InMulticastOctets;
    ULONG64 InBroadcastOctets;
    ULONG64 OutOctets;
    ULONG64 OutUcastPkts;
    ULONG64 OutNUcastPkts;
    ULONG64 OutDiscards;
    ULONG64 OutErrors;
    ULONG64 OutUcastOctets;
    ULONG64 OutMulticastOctets;
    ULONG64 OutBroadcastOctets;
    ULONG64 OutQLen;
};
static_assert(sizeof(MIB_IF_ROW2) == 1352);
static_assert(offsetof(MIB_IF_ROW2, InOctets) == 1208);

struct MIB_IF_TABLE2
{
    ULONG NumEntries;
    MIB_IF_ROW2 Table[1];
};

// The interface table: a row count, then the rows (by interface index when order is true).
// ERROR_INSUFFICIENT_BUFFER with *size the room needed when the table is missing or too small.
DWORD GetIfTable(MIB_IFTABLE* table, ULONG* size, BOOL order);
// The IPv4 address table (by ascending address when order is true), with the same room rules.
DWORD GetIpAddrTable(MIB_IPADDRTABLE* table, ULONG* size, BOOL order);

// The index of the interface the system would send to destination by (an IPv4 address in network
// byte order; 0.0.0.0: the interface of the default route). ERROR_NOT_FOUND when no route leads
// there, ERROR_NOT_SUPPORTED when the system cannot be asked.
using IPAddr = DWORD;
DWORD GetBestInterface(IPAddr destination, DWORD* index);

// The interface table with 64-bit counters, in a table the call allocates and the caller frees
// with FreeMibTable. ERROR_NOT_SUPPORTED (table null) when the system cannot be asked.
DWORD GetIfTable2(MIB_IF_TABLE2** table);
void FreeMibTable(void* memory);

// Offers the calls above as "IPHLPAPI.DLL".
void RegisterIpHelperModule(ModuleRegistry& modules);

} // namespace win
