#pragma once

// rasapi32: the Remote Access Service calls and records PuloPro uses, in their ANSI forms and
// oldest sizes. Connection handles are 32-bit values here, as in those records. The calls are
// also offered for run-time loading as the module "RASAPI32.DLL".

#include "platform/Win32.h"

namespace win {

class ModuleRegistry;

using HRASCONN = DWORD;

constexpr DWORD RAS_MaxEntryName = 256;
constexpr DWORD RAS_MaxDeviceType = 16;
constexpr DWORD RAS_MaxDeviceName = 128;
constexpr DWORD RAS_MaxIpAddress = 15;

struct RASCONNA
{
    DWORD dwSize;
    HRASCONN hrasconn;
    CHAR szEntryName[RAS_MaxEntryName + 1];
    CHAR szDeviceType[RAS_MaxDeviceType + 1];
    CHAR szDeviceName[RAS_MaxDeviceName + 1];
};
static_assert(sizeof(RASCONNA) == 412);

struct RASPPPIPA
{
    DWORD dwSize;
    DWORD dwError;
    CHAR szIpAddress[RAS_MaxIpAddress + 1];
};
static_assert(sizeof(RASPPPIPA) == 24);

using RASCONNSTATE = DWORD;
constexpr RASCONNSTATE RASCS_OpenPort = 0;
constexpr RASCONNSTATE RASCS_Authenticated = 14;
constexpr RASCONNSTATE RASCS_Connected = 0x2000;
constexpr RASCONNSTATE RASCS_Disconnected = 0x2001;

struct RASCONNSTATUSA
{
    DWORD dwSize;
    RASCONNSTATE rasconnstate;
    DWORD dwError;
    CHAR szDeviceType[RAS_MaxDeviceType + 1];
    CHAR szDeviceName[RAS_MaxDeviceName + 1];
};
static_assert(sizeof(RASCONNSTATUSA) == 160);

using RASPROJECTION = DWORD;
constexpr RASPROJECTION RASP_PppIp = 0x8021;

constexpr DWORD ERROR_INVALID_HANDLE = 6;
constexpr DWORD ERROR_NOT_SUPPORTED = 50;
constexpr DWORD ERROR_BUFFER_TOO_SMALL = 603;
constexpr DWORD ERROR_INVALID_SIZE = 632;
constexpr DWORD ERROR_PROJECTION_NOT_COMPLETE = 730;
constexpr DWORD ERROR_PROTOCOL_NOT_CONFIGURED = 731;

// Lists the active connections into an array of records whose first dwSize must be 412. When
// *size is too small for all of them: ERROR_BUFFER_TOO_SMALL, with *size the room needed and
// *count the number of connections.
DWORD RasEnumConnectionsA(RASCONNA* connections, DWORD* size, DWORD* count);
// The IP projection (RASP_PppIp) of a connection into a RASPPPIPA (dwSize 24):
// ERROR_PROJECTION_NOT_COMPLETE while the connection has no address yet, ERROR_INVALID_HANDLE
// once it is gone.
DWORD RasGetProjectionInfoA(HRASCONN connection, RASPROJECTION projection, void* record, DWORD* size);
// The connection's state (dwSize 160): RASCS_Connected while up with an address,
// ERROR_INVALID_HANDLE once the connection is gone.
DWORD RasGetConnectStatusA(HRASCONN connection, RASCONNSTATUSA* status);
// Ends the connection.
DWORD RasHangUpA(HRASCONN connection);

// Offers the calls above as "RASAPI32.DLL".
void RegisterRasModule(ModuleRegistry& modules);

} // namespace win
