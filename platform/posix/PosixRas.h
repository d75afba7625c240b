#pragma once

// Connections on Linux: the PPP links that are up (pppd's: modems, PPPoE, mobile broadband),
// and the interfaces the user lists (a WireGuard or tun VPN) while they are up with an IPv4
// address, in interface-index order, then the dials of this program still in progress (as the
// system lists a connection that is not connected yet, so that it can be hung up). A link's
// handle is its interface index, a dial's the one Dial gave; the link's own IPv4 address is its
// IP projection. The link list is read again only when the kernel reports a change.
//
// Where NetworkManager runs, its lines join them: its dial-up profiles are phonebook entries
// (a peer of the same name is the one dialled), dialling and hanging up go through it, and its
// active connections of the dial-up kinds, or on a device it takes for metered, count, under
// the profile's name, on the interface that carries their traffic.

#include "platform/Backend.h"
#include "platform/posix/Netlink.h"
#include "platform/posix/NmClient.h"
#include "platform/posix/PppdDial.h"
#include "platform/posix/PppdLink.h"
#include "platform/posix/ProcessEnd.h"

#include <QObject>

#include <chrono>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace win::posix {

class PosixRas final : public IRasService
{
public:
    // networkManagerBus: the bus NetworkManager is looked for on (empty: the system bus).
    explicit PosixRas(std::string pidDirectory = "/var/run",
                      std::string peersDirectory = "/etc/ppp/peers",
                      std::string networkManagerBus = {});

    [[nodiscard]] const std::vector<RasLink>& Connections() override;
    [[nodiscard]] DWORD Address(HRASCONN connection, std::string& address) override;
    [[nodiscard]] DWORD Status(HRASCONN connection, RASCONNSTATE& state, RasLink& link) override;
    // Ends the dial, or the pppd of the link (SIGTERM, then SIGKILL three seconds later), without
    // waiting for it. A link no pppd is known to run is left alone (ERROR_NOT_SUPPORTED); a pppd
    // that may not be signalled gives ERROR_ACCESS_DENIED.
    [[nodiscard]] DWORD HangUp(HRASCONN connection) override;
    // A link's counters less those it had when its connection began; of a link that is gone, the
    // counters the kernel gave with its end.
    [[nodiscard]] DWORD Counters(HRASCONN connection, std::uint64_t& sent, std::uint64_t& received) override;
    void CountLinks(const std::vector<std::string>& patterns) override;
    void CountMetered(bool counts) override;
    void ProgramEnds() override { Ending = true; }
    [[nodiscard]] bool IsDialUpLine(HRASCONN connection) override;
    // The peers pppd can be called for (the files of the peers folder with plain names).
    [[nodiscard]] std::vector<std::string> PhonebookEntries() override;
    // The modems present (serial ports with a UART, USB and ACM modems) and PPPoE where pppd's
    // plugin for it is installed.
    [[nodiscard]] std::vector<RasDevice> Devices() override;
    [[nodiscard]] bool HasEntry(const std::string& entry) override;
    // Runs pppd for a peer (see PppdDial), or has NetworkManager activate its profile; the
    // handle stands for that dial until the connection it made ends.
    [[nodiscard]] DWORD Dial(const std::string& entry, DialNotify notify, HRASCONN& handle) override;
    // A NetworkManager line's profile, by its UUID.
    [[nodiscard]] std::string MeteredProfile(HRASCONN connection) override;
    [[nodiscard]] DWORD SetMetered(const std::string& profile, int value, int& before) override;
    ~PosixRas() override;
    PosixRas(const PosixRas&) = delete;
    PosixRas& operator=(const PosixRas&) = delete;

private:
    struct Connection
    {
        RasLink Link;
        std::string Address;
        PppdLink Pppd;
        std::string NmActive; // NetworkManager's active connection, for its lines
        // A link that came and went between two looks is listed until then, so that it is
        // seen, and counted from its end's counters; zero for a link that is there.
        std::chrono::steady_clock::time_point GoneUntil{};
        // Of a link already gone, what it carried, taken from its end's counters when it was
        // listed; when more such links came than could be listed one by one, the bytes of the
        // ones past the last are counted with it.
        std::uint64_t CarriedSent = 0;
        std::uint64_t CarriedReceived = 0;
    };
    // What a connection that ended is counted from: its link's final counters less these, or,
    // of a link that was gone when it was listed, what it carried.
    struct Ended
    {
        std::uint64_t SentBefore = 0;
        std::uint64_t ReceivedBefore = 0;
        bool Gone = false;
        std::uint64_t CarriedSent = 0;
        std::uint64_t CarriedReceived = 0;
    };

    void Refresh();
    [[nodiscard]] static bool IsGone(const Connection& connection)
    {
        return connection.GoneUntil != std::chrono::steady_clock::time_point{};
    }
    // A PPP link, or an interface the user listed, as a connection under pppd's peer name.
    [[nodiscard]] Connection LinkConnection(const NetLink& link) const;
    // Lists the PPP links that came and went unseen (see Connection::GoneUntil), and keeps the
    // ones listed still.
    void KeepBriefLinks(std::vector<Connection>& fresh, std::chrono::steady_clock::time_point now);
    // A NetworkManager line on an interface that was there before it counts from the
    // interface's counters when it was first seen (see RasLink).
    void StartCounting(Connection& connection, const NetLink& link, std::vector<NetCounters>& counters) const;
    // Drops the dials whose pppd has ended and been reaped.
    void ForgetFinishedDials();
    [[nodiscard]] PppdDial* FindDial(HRASCONN handle);
    // The link a dial of ours brought up, once it is there.
    [[nodiscard]] const Connection* LinkOf(const PppdDial& dial);
    [[nodiscard]] bool Counts(const NetLink& link) const;
    [[nodiscard]] const Connection* Find(HRASCONN connection);
    // NetworkManager, once there is an application to run its thread (made on first use).
    [[nodiscard]] NmClient* NetworkManager();
    // Takes the newest reading of NetworkManager; true when it changed what counts.
    bool TakeNetworkManagerChanges();
    [[nodiscard]] const nm::Profile* NmProfile(const std::string& entry);
    [[nodiscard]] std::shared_ptr<NmDial> FindNmDial(HRASCONN handle);
    [[nodiscard]] const Connection* LinkOf(const NmDial& dial);
    [[nodiscard]] bool IsPeer(const std::string& entry) const;
    // Has NetworkManager take the connection down (once, however often it is asked).
    [[nodiscard]] DWORD DeactivateNm(const std::string& activePath);

    std::string PidDirectory;
    std::string PeersDirectory;
    std::string NmBus;
    std::unique_ptr<NmClient> Nm;
    std::unique_ptr<QObject> NmOwner; // ties Nm to the application's lifetime
    bool NmTried = false;
    bool Ending = false; // see ProgramEnds
    // Whether a NetworkManager active connection is of a kind the program's end hangs up.
    [[nodiscard]] bool NmEndsWithProgram(const std::string& activePath) const;
    bool MeteredCounts = true;
    std::uint64_t NmSeen = 0;
    std::shared_ptr<const nm::Snapshot> NmNow = std::make_shared<nm::Snapshot>();
    std::vector<nm::Counted> NmCounted;
    std::map<HRASCONN, std::shared_ptr<NmDial>> NmDials;
    std::set<std::string> NmEnding; // active connections asked to end, until they have
    std::vector<std::string> Patterns;
    bool PatternsChanged = false;
    LinkTable Table;
    std::vector<Connection> Current;
    std::set<int> SeenLinks; // the interfaces of the last look, by index
    // What the connections that ended lately are counted from, by handle (a few only).
    std::map<HRASCONN, Ended> EndedBefore;
    std::vector<RasLink> Links;  // Current's links, rebuilt only when the table changed
    std::vector<RasLink> Listed; // Links and the dials in progress, while there are any
    // The pppd processes this program started, by dial handle; ended at the latest with it.
    std::map<HRASCONN, std::unique_ptr<PppdDial>> Dials;
    // Ends the pppds of links this program did not dial; declared last, so that it waits for
    // them before anything else goes.
    ProcessEnder Ender;
    HRASCONN NextDial = 0x7F000001;
};

} // namespace win::posix
