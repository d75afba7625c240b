#pragma once

// One dial: pppd started as "pppd call ENTRY nodetach" (an argument list, never a shell), its
// log lines on standard output read on a thread of their own and turned into the states of a
// dial, its exit status into the error of a dial that failed. Hanging up sends it SIGTERM and
// reaps it; one that has not ended after 3 s is killed.

#include "platform/Backend.h"

#include <atomic>
#include <condition_variable>
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
    ~PppdDial();
    PppdDial(const PppdDial&) = delete;
    PppdDial& operator=(const PppdDial&) = delete;

    // Ends the dial (or the connection it made): SIGTERM, then SIGKILL after 3 s; reaped.
    void HangUp();
    [[nodiscard]] pid_t Pid() const { return Process; }

private:
    PppdDial(pid_t process, int output, IRasService::DialNotify notify);
    void Read();
    bool WaitReaped(int milliseconds);

    pid_t Process;
    int Output;
    IRasService::DialNotify Notify;
    std::atomic<bool> Cancelled = false;
    std::mutex Lock;
    std::condition_variable ReapedChanged;
    bool Reaped = false;
    std::thread Reader;
};

} // namespace win::posix
