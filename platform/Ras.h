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
constexpr RASCONNSTATE RASCS_PortOpened = 1;
constexpr RASCONNSTATE RASCS_ConnectDevice = 2;
constexpr RASCONNSTATE RASCS_DeviceConnected = 3;
constexpr RASCONNSTATE RASCS_AllDevicesConnected = 4;
constexpr RASCONNSTATE RASCS_Authenticate = 5;
constexpr RASCONNSTATE RASCS_Authenticated = 14;
constexpr RASCONNSTATE RASCS_Projected = 18;
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

constexpr DWORD ERROR_BUFFER_TOO_SMALL = 603;
constexpr DWORD ERROR_INVALID_SIZE = 632;
constexpr DWORD ERROR_PROJECTION_NOT_COMPLETE = 730;
constexpr DWORD ERROR_PROTOCOL_NOT_CONFIGURED = 731;
constexpr DWORD ERROR_INVALID_PORT_HANDLE = 601;
constexpr DWORD ERROR_CANNOT_FIND_PHONEBOOK_ENTRY = 623;
constexpr DWORD ERROR_NO_CONNECTION = 668;
constexpr DWORD ERROR_SERVICE_DOES_NOT_EXIST = 1060;
constexpr DWORD ERROR_DLL_INIT_FAILED = 1114;
constexpr DWORD ERROR_RAS_NOT_AVAILABLE = 1157; // what the program reports for a missing RAS library

// Codes of our own, past the system's range, for what a mobile-broadband modem or the network
// service reports and no remote access code says.
constexpr DWORD ERROR_SIM_NOT_INSERTED = 900;
constexpr DWORD ERROR_SIM_LOCKED = 901;
constexpr DWORD ERROR_SIM_REFUSED = 902;
constexpr DWORD ERROR_REGISTRATION_DENIED = 903;
constexpr DWORD ERROR_REGISTRATION_FAILED = 904;
constexpr DWORD ERROR_APN_REFUSED = 905;
constexpr DWORD ERROR_NETWORK_SERVICE_STOPPED = 906;
constexpr DWORD ERROR_NETWORK_SERVICE_REFUSED = 907;

constexpr DWORD RAS_MaxPhoneNumber = 128;
constexpr DWORD RAS_MaxCallbackNumber = 128;
constexpr DWORD UNLEN = 256;
constexpr DWORD PWLEN = 256;
constexpr DWORD DNLEN = 15;

struct RASDIALPARAMSA
{
    DWORD dwSize;
    CHAR szEntryName[RAS_MaxEntryName + 1];
    CHAR szPhoneNumber[RAS_MaxPhoneNumber + 1];
    CHAR szCallbackNumber[RAS_MaxCallbackNumber + 1];
    CHAR szUserName[UNLEN + 1];
    CHAR szPassword[PWLEN + 1];
    CHAR szDomain[DNLEN + 1];
};
static_assert(sizeof(RASDIALPARAMSA) == 1052);

// The notifier of an asynchronous dial: called on a thread of the system's for every state
// of the dial, with the message code, the state and an error code (0 while all goes well).
using RasDialFunc = void (*)(UINT message, RASCONNSTATE state, DWORD error);
constexpr UINT WM_RASDIALEVENT = 0xCCCD;

struct RASENTRYNAMEA
{
    DWORD dwSize;
    CHAR szEntryName[RAS_MaxEntryName + 1];
};
static_assert(sizeof(RASENTRYNAMEA) == 264);

struct RASDEVINFOA
{
    DWORD dwSize;
    CHAR szDeviceType[RAS_MaxDeviceType + 1];
    CHAR szDeviceName[RAS_MaxDeviceName + 1]; // the name, and after a NUL the port where there is one
};
static_assert(sizeof(RASDEVINFOA) == 152);

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

// The phonebook's entry names into records whose first dwSize must be 264 (phonebook null: the
// default one); the room rules are those of RasEnumConnectionsA.
DWORD RasEnumEntriesA(LPCSTR reserved, LPCSTR phonebook, RASENTRYNAMEA* entries, DWORD* size, DWORD* count);
// The dialling devices into records whose first dwSize must be 152, with the same room rules.
DWORD RasEnumDevicesA(RASDEVINFOA* devices, DWORD* size, DWORD* count);
// The text of a remote access error (600 to 799). ERROR_INVALID_PARAMETER, the buffer
// untouched, for any other code.
DWORD RasGetErrorStringA(UINT code, LPSTR buffer, DWORD size);

// The dial parameters stored for the entry named in parameters->szEntryName (dwSize 1052):
// ERROR_CANNOT_FIND_PHONEBOOK_ENTRY when there is no such entry.
DWORD RasGetEntryDialParamsA(LPCSTR phonebook, RASDIALPARAMSA* parameters, BOOL* password);
// Dials the entry of the parameters. With a notifier (type 0, a RasDialFunc) the call returns
// at once with the dial's handle and the notifier reports the states on a thread of its own,
// ending with RASCS_Connected or an error; without one it returns when the dial has ended, 0
// when connected. A code other than 0 means the dial did not start (or failed).
DWORD RasDialA(void* extensions,
               LPCSTR phonebook,
               RASDIALPARAMSA* parameters,
               DWORD notifierType,
               void* notifier,
               HRASCONN* connection);

// The dialogs and entry editing are offered under their names so that the library is
// complete; this system does not carry them out: each answers ERROR_NOT_SUPPORTED.
DWORD RasSetEntryDialParamsA(LPCSTR phonebook, void* parameters, BOOL removePassword);
BOOL RasMonitorDlgA(LPCSTR device, void* info);
DWORD RasEditPhonebookEntryA(void* window, LPCSTR phonebook, LPCSTR entry);
DWORD RasCreatePhonebookEntryA(void* window, LPCSTR phonebook);
DWORD RasGetCountryInfoA(void* info, DWORD* size);
DWORD RasGetEntryPropertiesA(
    LPCSTR phonebook, LPCSTR entry, void* properties, DWORD* size, BYTE* device, DWORD* deviceSize);
DWORD RasSetEntryPropertiesA(
    LPCSTR phonebook, LPCSTR entry, void* properties, DWORD size, BYTE* device, DWORD deviceSize);
DWORD RasRenameEntryA(LPCSTR phonebook, LPCSTR oldEntry, LPCSTR newEntry);
DWORD RasDeleteEntryA(LPCSTR phonebook, LPCSTR entry);
DWORD RasValidateEntryNameA(LPCSTR phonebook, LPCSTR entry);

// Where the extension calls (RasGetCountryInfoA ... RasEnumDevicesA) live: in the RAS library
// itself, in "RNAPH.DLL" beside it, or nowhere.
enum class RasExtensionPlace
{
    RasLibrary,
    SeparateLibrary,
    Missing,
};

// Offers the calls above as "RASAPI32.DLL" (and "RNAPH.DLL" when the extensions live there).
void RegisterRasModule(ModuleRegistry& modules, RasExtensionPlace extensions = RasExtensionPlace::RasLibrary);

} // namespace win
