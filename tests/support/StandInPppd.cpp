// A stand-in for pppd in the tests: it brings up a PPP-type link with an address, leaves its
// process number in "<piddir>/<ifname>.pid" as pppd does, and ends (taking the link with it)
// when it is sent SIGTERM, as pppd hangs up. Once the link and the pid file are in place it
// writes "ready" on its standard output, so a test can wait for that instead of for time.
//
//   pppd call PEER nodetach [/dev/ttyS0] piddir DIR [ifname ppp0] [local A] [remote B]
//
// "piddir", "ifname", "local" and "remote" are options of the stand-in only.

#include "tests/support/TunLink.h"

#include <csignal>
#include <cstdio>
#include <fstream>
#include <string>
#include <unistd.h>

int main(int argc, char** argv)
{
    std::string pidDirectory = ".";
    std::string interfaceName = "ppp0";
    std::string local = "10.64.64.2";
    std::string remote = "10.64.64.1";
    for (int i = 1; i + 1 < argc; ++i) {
        const std::string option = argv[i];
        if (option == "piddir")
            pidDirectory = argv[++i];
        else if (option == "ifname")
            interfaceName = argv[++i];
        else if (option == "local")
            local = argv[++i];
        else if (option == "remote")
            remote = argv[++i];
    }

    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGTERM);
    sigaddset(&signals, SIGINT);
    sigprocmask(SIG_BLOCK, &signals, nullptr);

    pulo::test::TunLink link(interfaceName);
    if (!link.Valid() || !link.SetUp(true) || !link.SetAddress(local, remote)) {
        std::fprintf(stderr, "pppd (stand-in): cannot bring up %s\n", interfaceName.c_str());
        return 1;
    }
    const std::string pidFile = pidDirectory + "/" + interfaceName + ".pid";
    {
        std::ofstream out(pidFile + ".new");
        out << getpid() << "\n" << interfaceName << "\n";
    }
    std::rename((pidFile + ".new").c_str(), pidFile.c_str());
    std::fputs("ready\n", stdout);
    std::fflush(stdout);

    int received = 0;
    sigwait(&signals, &received);
    std::remove(pidFile.c_str());
    return 0;
}
