#pragma once

// NetworkManager over the D-Bus system bus, followed on a thread of its own: its profiles,
// devices and active connections are read once, then again only when it signals a change
// that matters here, and handed out as a snapshot, so the once-a-second callers only compare
// a counter. It may be missing (no bus, not running, access refused): the snapshot then says
// it is not running, and it is picked up when it starts. Every call has a time-out; none is
// made on the caller's thread except a hang-up, which answers within three seconds.

#include "platform/Backend.h"
#include "platform/posix/NmRules.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

class QThread;

namespace win::posix {

class NmWorker;

// One activation asked for by this program, from the request until the connection it made ends.
class NmDial final
{
public:
    NmDial(std::string entry, nm::Profile profile, IRasService::DialNotify notify);

    [[nodiscard]] const std::string& Entry() const { return EntryName; }
    [[nodiscard]] const std::string& ProfilePath() const { return Profile.Path; }
    // The connection list's device type for the profile's kind.
    [[nodiscard]] std::string DeviceType() const { return nm::RasDeviceType(Profile.Type); }
    // Still dialling: not connected, not ended, not hung up.
    [[nodiscard]] bool Dialling() const { return !Connected && !Cancelled && !Done; }
    [[nodiscard]] bool LinkUp() const { return Connected && !Done; }
    [[nodiscard]] bool Finished() const { return Done; }
    [[nodiscard]] RASCONNSTATE State() const { return LastState; }
    // The active connection, once the service has made it.
    [[nodiscard]] std::string ActivePath() const;

private:
    friend class NmClient;
    friend class NmWorker;
    // Tells the states after the last one told, up to and including this one.
    void Reach(RASCONNSTATE state);
    void Fail(DWORD error);
    void SetActivePath(std::string path);

    std::string EntryName;
    nm::Profile Profile;
    IRasService::DialNotify Notify;
    std::atomic<bool> Cancelled = false;
    std::atomic<bool> Connected = false;
    std::atomic<bool> Done = false;
    std::atomic<RASCONNSTATE> LastState = RASCS_OpenPort;
    mutable std::mutex Lock;
    std::string Active;
    // Kept by the worker's thread only.
    std::size_t Told = 0;
    bool Answered = false;     // the activation request has been answered
    bool Deactivating = false; // the worker's: the activation has been asked to end, once
    std::string DevicePath;
    std::uint32_t DeviceReason = 0;
    std::uint32_t ActiveReason = 0;
};

class NmClient final
{
public:
    // Follows the service on the bus at this address (empty: the system bus).
    explicit NmClient(std::string busAddress = {});
    // Stops following; dials still in progress are cancelled, connections made stay up.
    ~NmClient();
    NmClient(const NmClient&) = delete;
    NmClient& operator=(const NmClient&) = delete;

    // Waits until the first reading is done (at once when there is no bus), at most timeout.
    void WaitForFirstRead(std::chrono::milliseconds timeout);
    // Changes whenever the snapshot does.
    [[nodiscard]] std::uint64_t Generation() const { return Published.load(std::memory_order_acquire); }
    [[nodiscard]] std::shared_ptr<const nm::Snapshot> Current() const;
    // Asks the service to activate the profile; the states, and the end of a dial that fails,
    // go to notify on the client's thread.
    [[nodiscard]] std::shared_ptr<NmDial>
    Activate(const std::string& entry, const nm::Profile& profile, IRasService::DialNotify notify);
    // Stops a dial in progress without waiting; the connection it made, if any, is taken down.
    void Cancel(const std::shared_ptr<NmDial>& dial);
    // Takes the active connection down: ERROR_SUCCESS (also when it has gone already) or the
    // error of a refusal or time-out.
    [[nodiscard]] DWORD Deactivate(const std::string& activePath);
    // Sets the metered flag of the profile of that UUID in the service's memory (see
    // SetProfileMetered); answers within a few seconds.
    [[nodiscard]] DWORD SetMetered(const std::string& uuid, int value, int& before);

private:
    friend class NmWorker;
    void Publish(nm::Snapshot snapshot);

    QThread* Thread = nullptr;
    NmWorker* Worker = nullptr;
    mutable std::mutex Lock;
    std::shared_ptr<const nm::Snapshot> Latest = std::make_shared<nm::Snapshot>();
    std::atomic<std::uint64_t> Published = 0;
    std::atomic<bool> FirstReadDone = false;
    std::mutex FirstReadLock;
    std::condition_variable FirstRead;
};

} // namespace win::posix
