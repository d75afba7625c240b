// The rasapi32 calls: the record rules every backend shares, over its connection service.

#include "platform/Backend.h"
#include "platform/ErrorTexts.h"

#include <algorithm>
#include <condition_variable>
#include <cstring>
#include <memory>
#include <mutex>

namespace win {

namespace {

template <std::size_t N> void CopyText(CHAR (&field)[N], const std::string& text)
{
    const std::size_t length = std::min(text.size(), N - 1);
    std::memcpy(field, text.data(), length);
    field[length] = '\0';
}

IRasService* Ras()
{
    return InstalledBackend().Ras.get();
}

// The record rules the enumerations share: the first record's dwSize names the record, the room
// must hold every item (else ERROR_BUFFER_TOO_SMALL with the room needed and the count), and
// each record is zeroed, sized and filled from its item.
template <typename Record, typename Item, typename Fill>
DWORD Enumerate(Record* records, DWORD* size, DWORD* count, const std::vector<Item>& items, Fill fill)
{
    const auto needed = static_cast<DWORD>(items.size() * sizeof(Record));
    *count = static_cast<DWORD>(items.size());
    if (*size < needed) {
        *size = needed;
        return ERROR_BUFFER_TOO_SMALL;
    }
    *size = needed;
    for (std::size_t i = 0; i < items.size(); ++i) {
        std::memset(&records[i], 0, sizeof(Record));
        records[i].dwSize = sizeof(Record);
        fill(records[i], items[i]);
    }
    return ERROR_SUCCESS;
}

// The checks before an enumeration: ERROR_SUCCESS when it may go on.
template <typename Record> DWORD CheckEnumeration(const Record* records, const DWORD* size, const DWORD* count)
{
    if (size == nullptr || count == nullptr)
        return ERROR_INVALID_PARAMETER;
    if (records == nullptr || records->dwSize != sizeof(Record))
        return ERROR_INVALID_SIZE;
    return Ras() == nullptr ? ERROR_PROTOCOL_NOT_CONFIGURED : ERROR_SUCCESS;
}

} // namespace

DWORD RasEnumConnectionsA(RASCONNA* connections, DWORD* size, DWORD* count)
{
    if (const DWORD refused = CheckEnumeration(connections, size, count); refused != ERROR_SUCCESS)
        return refused;
    return Enumerate(connections, size, count, Ras()->Connections(), [](RASCONNA& record, const RasLink& link) {
        record.hrasconn = link.Handle;
        CopyText(record.szEntryName, link.EntryName);
        CopyText(record.szDeviceType, link.DeviceType);
        CopyText(record.szDeviceName, link.DeviceName);
    });
}

DWORD RasGetProjectionInfoA(HRASCONN connection, RASPROJECTION projection, void* record, DWORD* size)
{
    if (record == nullptr || size == nullptr)
        return ERROR_INVALID_PARAMETER;
    if (projection != RASP_PppIp)
        return ERROR_PROTOCOL_NOT_CONFIGURED;
    auto* ip = static_cast<RASPPPIPA*>(record);
    if (ip->dwSize != sizeof(RASPPPIPA))
        return ERROR_INVALID_SIZE;
    if (*size < sizeof(RASPPPIPA)) {
        *size = sizeof(RASPPPIPA);
        return ERROR_BUFFER_TOO_SMALL;
    }
    if (Ras() == nullptr)
        return ERROR_PROTOCOL_NOT_CONFIGURED;
    std::string address;
    const DWORD code = Ras()->Address(connection, address);
    if (code != ERROR_SUCCESS)
        return code;
    ip->dwError = ERROR_SUCCESS;
    CopyText(ip->szIpAddress, address);
    return ERROR_SUCCESS;
}

DWORD RasGetConnectStatusA(HRASCONN connection, RASCONNSTATUSA* status)
{
    if (status == nullptr)
        return ERROR_INVALID_PARAMETER;
    if (status->dwSize != sizeof(RASCONNSTATUSA))
        return ERROR_INVALID_SIZE;
    if (Ras() == nullptr)
        return ERROR_PROTOCOL_NOT_CONFIGURED;
    RASCONNSTATE state = RASCS_Disconnected;
    RasLink link;
    const DWORD code = Ras()->Status(connection, state, link);
    if (code != ERROR_SUCCESS)
        return code;
    status->rasconnstate = state;
    status->dwError = ERROR_SUCCESS;
    CopyText(status->szDeviceType, link.DeviceType);
    CopyText(status->szDeviceName, link.DeviceName);
    return ERROR_SUCCESS;
}

DWORD RasHangUpA(HRASCONN connection)
{
    if (Ras() == nullptr)
        return ERROR_PROTOCOL_NOT_CONFIGURED;
    return Ras()->HangUp(connection);
}

DWORD RasEnumEntriesA(LPCSTR /*reserved*/, LPCSTR /*phonebook*/, RASENTRYNAMEA* entries, DWORD* size, DWORD* count)
{
    if (const DWORD refused = CheckEnumeration(entries, size, count); refused != ERROR_SUCCESS)
        return refused;
    return Enumerate(entries, size, count, Ras()->PhonebookEntries(),
                     [](RASENTRYNAMEA& record, const std::string& name) { CopyText(record.szEntryName, name); });
}

DWORD RasEnumDevicesA(RASDEVINFOA* devices, DWORD* size, DWORD* count)
{
    if (const DWORD refused = CheckEnumeration(devices, size, count); refused != ERROR_SUCCESS)
        return refused;
    return Enumerate(devices, size, count, Ras()->Devices(), [](RASDEVINFOA& record, const RasDevice& device) {
        CopyText(record.szDeviceType, device.Type);
        // The name, a NUL, then the port, all within the name's field.
        std::string field = device.Name.substr(0, RAS_MaxDeviceName);
        if (!device.Port.empty() && field.size() + 1 < RAS_MaxDeviceName) {
            field.push_back('\0');
            field += device.Port.substr(0, RAS_MaxDeviceName - field.size());
        }
        std::memcpy(record.szDeviceName, field.data(), std::min<std::size_t>(field.size(), RAS_MaxDeviceName));
    });
}

DWORD RasGetErrorStringA(UINT code, LPSTR buffer, DWORD size)
{
    const char* text = RasErrorText(code);
    if (text == nullptr || buffer == nullptr)
        return ERROR_INVALID_PARAMETER;
    const std::size_t length = std::strlen(text);
    if (length + 1 > size)
        return ERROR_INSUFFICIENT_BUFFER;
    std::memcpy(buffer, text, length + 1);
    return ERROR_SUCCESS;
}

DWORD RasGetEntryDialParamsA(LPCSTR /*phonebook*/, RASDIALPARAMSA* parameters, BOOL* password)
{
    if (parameters == nullptr)
        return ERROR_INVALID_PARAMETER;
    if (parameters->dwSize != sizeof(RASDIALPARAMSA))
        return ERROR_INVALID_SIZE;
    if (Ras() == nullptr)
        return ERROR_PROTOCOL_NOT_CONFIGURED;
    const std::string entry(parameters->szEntryName, strnlen(parameters->szEntryName, RAS_MaxEntryName + 1));
    if (!Ras()->HasEntry(entry))
        return ERROR_CANNOT_FIND_PHONEBOOK_ENTRY;
    // The number and the credentials stay in the entry itself (pppd's peer file); none are
    // handed out.
    if (password != nullptr)
        *password = FALSE_RESULT;
    return ERROR_SUCCESS;
}

DWORD RasDialA(void* /*extensions*/,
               LPCSTR /*phonebook*/,
               RASDIALPARAMSA* parameters,
               DWORD notifierType,
               void* notifier,
               HRASCONN* connection)
{
    if (parameters == nullptr || connection == nullptr || (notifier != nullptr && notifierType != 0))
        return ERROR_INVALID_PARAMETER;
    if (parameters->dwSize != sizeof(RASDIALPARAMSA))
        return ERROR_INVALID_SIZE;
    if (Ras() == nullptr)
        return ERROR_PROTOCOL_NOT_CONFIGURED;
    const std::string entry(parameters->szEntryName, strnlen(parameters->szEntryName, RAS_MaxEntryName + 1));
    if (notifier != nullptr) {
        const auto function = reinterpret_cast<RasDialFunc>(notifier);
        return Ras()->Dial(
            entry, [function](RASCONNSTATE state, DWORD error) { function(WM_RASDIALEVENT, state, error); },
            *connection);
    }
    // Without a notifier the call waits for the dial's end.
    struct Outcome
    {
        std::mutex Lock;
        std::condition_variable Ended;
        bool Done = false;
        DWORD Error = ERROR_SUCCESS;
    };
    auto outcome = std::make_shared<Outcome>();
    const DWORD started = Ras()->Dial(
        entry,
        [outcome](RASCONNSTATE state, DWORD error) {
            if (error == ERROR_SUCCESS && state != RASCS_Connected)
                return;
            const std::lock_guard lock(outcome->Lock);
            outcome->Done = true;
            outcome->Error = error;
            outcome->Ended.notify_all();
        },
        *connection);
    if (started != ERROR_SUCCESS)
        return started;
    std::unique_lock lock(outcome->Lock);
    outcome->Ended.wait(lock, [&] { return outcome->Done; });
    return outcome->Error;
}
DWORD RasSetEntryDialParamsA(LPCSTR, void*, BOOL)
{
    return ERROR_NOT_SUPPORTED;
}
BOOL RasMonitorDlgA(LPCSTR, void*)
{
    SetLastError(ERROR_NOT_SUPPORTED);
    return FALSE_RESULT;
}
DWORD RasEditPhonebookEntryA(void*, LPCSTR, LPCSTR)
{
    return ERROR_NOT_SUPPORTED;
}
DWORD RasCreatePhonebookEntryA(void*, LPCSTR)
{
    return ERROR_NOT_SUPPORTED;
}
DWORD RasGetCountryInfoA(void*, DWORD*)
{
    return ERROR_NOT_SUPPORTED;
}
DWORD RasGetEntryPropertiesA(LPCSTR, LPCSTR, void*, DWORD*, BYTE*, DWORD*)
{
    return ERROR_NOT_SUPPORTED;
}
DWORD RasSetEntryPropertiesA(LPCSTR, LPCSTR, void*, DWORD, BYTE*, DWORD)
{
    return ERROR_NOT_SUPPORTED;
}
DWORD RasRenameEntryA(LPCSTR, LPCSTR, LPCSTR)
{
    return ERROR_NOT_SUPPORTED;
}
DWORD RasDeleteEntryA(LPCSTR, LPCSTR)
{
    return ERROR_NOT_SUPPORTED;
}
DWORD RasValidateEntryNameA(LPCSTR, LPCSTR)
{
    return ERROR_NOT_SUPPORTED;
}

void RegisterRasModule(ModuleRegistry& modules, RasExtensionPlace extensions)
{
    const auto entry = [](const char* name, auto function) {
        return std::pair<std::string, FARPROC>(name, reinterpret_cast<FARPROC>(function));
    };
    std::vector<std::pair<std::string, FARPROC>> basic = {
        entry("RasDialA", &RasDialA),
        entry("RasEnumConnectionsA", &RasEnumConnectionsA),
        entry("RasEnumEntriesA", &RasEnumEntriesA),
        entry("RasGetConnectStatusA", &RasGetConnectStatusA),
        entry("RasGetErrorStringA", &RasGetErrorStringA),
        entry("RasHangUpA", &RasHangUpA),
        entry("RasGetEntryDialParamsA", &RasGetEntryDialParamsA),
        entry("RasSetEntryDialParamsA", &RasSetEntryDialParamsA),
        entry("RasMonitorDlgA", &RasMonitorDlgA),
        entry("RasEditPhonebookEntryA", &RasEditPhonebookEntryA),
        entry("RasCreatePhonebookEntryA", &RasCreatePhonebookEntryA),
        entry("RasGetProjectionInfoA", &RasGetProjectionInfoA),
    };
    const std::vector<std::pair<std::string, FARPROC>> extension = {
        entry("RasGetCountryInfoA", &RasGetCountryInfoA),
        entry("RasGetEntryPropertiesA", &RasGetEntryPropertiesA),
        entry("RasSetEntryPropertiesA", &RasSetEntryPropertiesA),
        entry("RasRenameEntryA", &RasRenameEntryA),
        entry("RasDeleteEntryA", &RasDeleteEntryA),
        entry("RasValidateEntryNameA", &RasValidateEntryNameA),
        entry("RasEnumDevicesA", &RasEnumDevicesA),
    };
    modules.Unregister("RNAPH.DLL");
    if (extensions == RasExtensionPlace::RasLibrary)
        basic.insert(basic.end(), extension.begin(), extension.end());
    else if (extensions == RasExtensionPlace::SeparateLibrary)
        modules.Register("RNAPH.DLL", {extension.begin(), extension.end()});
    modules.Register("RASAPI32.DLL", {basic.begin(), basic.end()});
}

} // namespace win
