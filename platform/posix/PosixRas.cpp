#include "platform/posix/PosixRas.h"

#include <algorithm>
#include <csignal>
#include <fnmatch.h>
#include <net/if.h>
#include <net/if_arp.h>

namespace win::posix {

PosixRas::PosixRas(std::string pidDirectory) : PidDirectory(std::move(pidDirectory)) {}

bool PosixRas::Counts(const NetLink& link) const
{
    if ((link.Flags & IFF_UP) == 0 || (link.Flags & IFF_LOOPBACK) != 0)
        return false;
    if (link.Type == ARPHRD_PPP)
        return true;
    // An always-up VPN would keep the program online for ever: only the ones listed count.
    return !link.Address.empty() && std::any_of(Patterns.begin(), Patterns.end(), [&](const std::string& pattern) {
        return fnmatch(pattern.c_str(), link.Name.c_str(), 0) == 0;
    });
}

void PosixRas::CountLinks(const std::vector<std::string>& patterns)
{
    Patterns = patterns;
    PatternsChanged = true;
}

void PosixRas::Refresh()
{
    const bool changed = Table.Update();
    if (!changed && !PatternsChanged)
        return;
    PatternsChanged = false;
    std::vector<Connection> fresh;
    {
        for (const auto& [index, link] : Table.Links()) {
            if (!Counts(link))
                continue;
            Connection connection;
            connection.Pppd = FindPppd(PidDirectory, link.Name);
            connection.Link.Handle = static_cast<HRASCONN>(link.Index);
            connection.Link.EntryName = connection.Pppd.EntryName.empty() ? link.Name : connection.Pppd.EntryName;
            connection.Link.DeviceType = link.Type == ARPHRD_PPP ? "modem" : "vpn";
            connection.Link.DeviceName = connection.Pppd.DeviceName.empty() ? link.Name : connection.Pppd.DeviceName;
            connection.Address = link.Address;
            fresh.push_back(std::move(connection));
        }
    }
    Current = std::move(fresh);
    Links.clear();
    for (const Connection& connection : Current)
        Links.push_back(connection.Link);
}

const PosixRas::Connection* PosixRas::Find(HRASCONN connection)
{
    Refresh();
    for (const Connection& candidate : Current)
        if (candidate.Link.Handle == connection)
            return &candidate;
    return nullptr;
}

const std::vector<RasLink>& PosixRas::Connections()
{
    Refresh();
    return Links;
}

DWORD PosixRas::Address(HRASCONN connection, std::string& address)
{
    const Connection* found = Find(connection);
    if (found == nullptr)
        return ERROR_INVALID_HANDLE;
    if (found->Address.empty())
        return ERROR_PROJECTION_NOT_COMPLETE;
    address = found->Address;
    return ERROR_SUCCESS;
}

DWORD PosixRas::Status(HRASCONN connection, RASCONNSTATE& state, RasLink& link)
{
    const Connection* found = Find(connection);
    if (found == nullptr)
        return ERROR_INVALID_HANDLE;
    state = found->Address.empty() ? RASCS_Authenticated : RASCS_Connected;
    link = found->Link;
    return ERROR_SUCCESS;
}

DWORD PosixRas::HangUp(HRASCONN connection)
{
    const Connection* found = Find(connection);
    if (found == nullptr)
        return ERROR_INVALID_HANDLE;
    if (found->Pppd.Pid == 0)
        return ERROR_NOT_SUPPORTED;
    return kill(found->Pppd.Pid, SIGTERM) == 0 ? ERROR_SUCCESS : ERROR_ACCESS_DENIED;
}

} // namespace win::posix
