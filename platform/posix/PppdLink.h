#pragma once

// What pppd tells about a link it runs: its process, the peer (phonebook entry) it was called
// for and the serial device it dials on. pppd leaves its process number in "<ifname>.pid" in
// its pid-file folder; the rest comes from its command line.

#include <string>
#include <sys/types.h>

namespace win::posix {

struct PppdLink
{
    pid_t Pid = 0;          // 0 when no running pppd owns the link
    std::string EntryName;  // "call NAME" or "file /etc/ppp/peers/NAME"; empty when not given
    std::string DeviceName; // its tty ("/dev/ttyS0"); empty when not given
};

// Looks up the pppd of the link; a missing, stale or garbage pid file gives Pid 0.
[[nodiscard]] PppdLink FindPppd(const std::string& pidDirectory, const std::string& interfaceName);

} // namespace win::posix
