#pragma once

// One dial: pppd started as "pppd call ENTRY nodetach" (an argument list, never a shell), its
// log lines on standard output read on a thread of their own and turned into the states of a
// dial, its exit status into the error of a dial that failed. Hanging up sends it SIGTERM and
// returns; the dial's thread kills a pppd that has not ended 3 s later, and reaps it. The thread
// stops reading when pppd itself has ended, even while a child of its (a connect script) keeps
// the output open.

#include "platform/Backend.h"

#include <atomic>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <sys/types.h>
#include <thread>

namespace win::posix {

// The dial state a line of pppd's log stands for, if any.
[[nodiscard]] std::optional<RASCONNSTATE> StateOfPppdLine(const std::string& line);
// The error of a dial whose pppd ended with this exit status before the link was up.
[[nodiscard]] DWORD ErrorOfPppdExit(int status);
// pppd: the first found on PATH, then /usr/sbin/pppd; empty when there is none.
[[nodiscard]] std::string FindPppdProgram();

class PppdDial final
{
public:
    // Starts pppd for the entry; ERROR_SUCCESS, or the error of a start that failed.
    static DWORD Start(const std::string& entry, IRasService::DialNotify notify, std::unique_ptr<PppdDial>& dial);
    // Ends pppd as HangUp does and waits for it: at most about three seconds.
    ~PppdDial();
    PppdDial(const PppdDial&) = delete;
    PppdDial& operator=(const PppdDial&) = delete;

    // Ends the dial (or the connection it made) without waiting: SIGTERM now, SIGKILL from the
    // dial's own thread when pppd has not ended three seconds later; reaped there.
    void HangUp();
    [[nodiscard]] pid_t Pid() const { return Process; }
    [[nodiscard]] const std::string& Entry() const { return EntryName; }
    // Still dialling: pppd runs, has not brought the link up and has not been told to end.
    [[nodiscard]] bool Dialling() const { return !Connected && !Cancelled && !Finished(); }
    // The link is up (pppd has said so), until pppd ends.
    [[nodiscard]] bool LinkUp() const { return Connected && !Finished(); }
    // The last state the dial reached.
    [[nodiscard]] RASCONNSTATE State() const { return LastState; }
    // pppd has ended and been reaped, and the dial's thread is done with it.
    [[nodiscard]] bool Finished() const { return Done; }

private:
    PppdDial(pid_t process, int output, std::string entry, IRasService::DialNotify notify);
    void Read();
    // Reads what pppd wrote: false at the end of its output.
    bool ReadOutput(std::string& pending);
    void Consume(std::string& pending);
    // Reaps pppd if it has ended; true once it has.
    bool Reap(int& status);
    void Tell(RASCONNSTATE state, DWORD error);

    pid_t Process;
    int Output;
    int ExitFd; // readable once pppd has ended (a pidfd); -1 where the kernel has none
    int WakeFd; // an eventfd HangUp writes to, so the thread sees the request at once
    std::string EntryName;
    IRasService::DialNotify Notify;
    std::atomic<bool> Cancelled = false;
    std::atomic<bool> Connected = false;
    std::atomic<bool> Done = false;
    std::atomic<RASCONNSTATE> LastState = RASCS_OpenPort;
    std::mutex Lock; // held while pppd's process number is signalled or reaped
    bool Reaped = false;
    std::thread Reader;
};

} // namespace win::posix
