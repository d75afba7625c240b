// The rasapi32 calls: the record rules every backend shares, over its connection service.

#include "platform/Backend.h"

#include <algorithm>
#include <cstring>

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

} // namespace

DWORD RasEnumConnectionsA(RASCONNA* connections, DWORD* size, DWORD* count)
{
    if (size == nullptr || count == nullptr)
        return ERROR_INVALID_PARAMETER;
    if (connections == nullptr || connections->dwSize != sizeof(RASCONNA))
        return ERROR_INVALID_SIZE;
    if (Ras() == nullptr)
        return ERROR_PROTOCOL_NOT_CONFIGURED;
    const std::vector<RasLink>& links = Ras()->Connections();
    const auto needed = static_cast<DWORD>(links.size() * sizeof(RASCONNA));
    *count = static_cast<DWORD>(links.size());
    if (*size < needed) {
        *size = needed;
        return ERROR_BUFFER_TOO_SMALL;
    }
    *size = needed;
    for (std::size_t i = 0; i < links.size(); ++i) {
        RASCONNA& record = connections[i];
        std::memset(&record, 0, sizeof record);
        record.dwSize = sizeof(RASCONNA);
        record.hrasconn = links[i].Handle;
        CopyText(record.szEntryName, links[i].EntryName);
        CopyText(record.szDeviceType, links[i].DeviceType);
        CopyText(record.szDeviceName, links[i].DeviceName);
    }
    return ERROR_SUCCESS;
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

void RegisterRasModule(ModuleRegistry& modules)
{
    modules.Register("RASAPI32.DLL", {
                                         {"RasEnumConnectionsA", reinterpret_cast<FARPROC>(&RasEnumConnectionsA)},
                                         {"RasGetProjectionInfoA", reinterpret_cast<FARPROC>(&RasGetProjectionInfoA)},
                                         {"RasGetConnectStatusA", reinterpret_cast<FARPROC>(&RasGetConnectStatusA)},
                                         {"RasHangUpA", reinterpret_cast<FARPROC>(&RasHangUpA)},
                                     });
}

} // namespace win
