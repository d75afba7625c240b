#pragma once

// Connections on Linux: the PPP links that are up (pppd's: modems, PPPoE, mobile broadband),
// and the interfaces the user lists (a WireGuard or tun VPN) while they are up with an IPv4
// address, in interface-index order. The handle is the interface index; the link's own IPv4 address is
// its IP projection. The link list is read again only when the kernel reports a change.

#include "platform/Backend.h"
#include "platform/posix/Netlink.h"
#include "platform/posix/PppdDial.h"
#include "platform/posix/PppdLink.h"

#include <map>
#include <memory>
#include <string>
#include <vector>

namespace win::posix {

class PosixRas final : public IRasService
{
public:
    explicit PosixRas(std::string pidDirectory = "/var/run", std::string peersDirectory = "/etc/ppp/peers");

    [[nodiscard]] const std::vector<RasLink>& Connections() override;
    [[nodiscard]] DWORD Address(HRASCONN connection, std::string& address) override;
    [[nodiscard]] DWORD Status(HRASCONN connection, RASCONNSTATE& state, RasLink& link) override;
    // Ends the pppd of the link (SIGTERM); a link pppd does not run is left alone
    // (ERROR_NOT_SUPPORTED).
    [[nodiscard]] DWORD HangUp(HRASCONN connection) override;
    void CountLinks(const std::vector<std::string>& patterns) override;
    // The peers pppd can be called for (the files of the peers folder with plain names).
    [[nodiscard]] std::vector<std::string> PhonebookEntries() override;
    // The modems present (serial ports with a UART, USB and ACM modems) and PPPoE where pppd's
    // plugin for it is installed.
    [[nodiscard]] std::vector<RasDevice> Devices() override;
    [[nodiscard]] bool HasEntry(const std::string& entry) override;
    // Runs pppd for the entry (see PppdDial); the handle stands for that pppd until it ends.
    [[nodiscard]] DWORD Dial(const std::string& entry, DialNotify notify, HRASCONN& handle) override;
    ~PosixRas() override;
    PosixRas(const PosixRas&) = delete;
    PosixRas& operator=(const PosixRas&) = delete;

private:
    struct Connection
    {
        RasLink Link;
        std::string Address;
        PppdLink Pppd;
    };

    void Refresh();
    [[nodiscard]] bool Counts(const NetLink& link) const;
    [[nodiscard]] const Connection* Find(HRASCONN connection);

    std::string PidDirectory;
    std::string PeersDirectory;
    std::vector<std::string> Patterns;
    bool PatternsChanged = false;
    LinkTable Table;
    std::vector<Connection> Current;
    std::vector<RasLink> Links; // Current's links, rebuilt only when the table changed
    // The pppd processes this program started, by dial handle; ended at the latest with it.
    std::map<HRASCONN, std::unique_ptr<PppdDial>> Dials;
    HRASCONN NextDial = 0x7F000001;
};

} // namespace win::posix
