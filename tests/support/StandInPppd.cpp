// A stand-in for pppd in the tests: it brings up a PPP-type link with an address, leaves its
// process number in "<piddir>/<ifname>.pid" as pppd does, prints pppd's own progress lines and
// ends (taking the link with it) when it is sent SIGTERM, as pppd hangs up. Once the link and
// the pid file are in place it writes "ready" on its standard output, so a test can wait for
// that instead of for time.
//
//   pppd call PEER nodetach [/dev/ttyS0] [piddir DIR] [ifname ppp0] [local A] [remote B]
//
// "piddir", "ifname", "local" and "remote" are options of the stand-in only. When the
// environment names a folder in PULO_STANDIN_PEERS, the peer's file there adds options, one a
// line, as pppd's peer files do, and more of the stand-in's own: "exit N" (fail with that exit
// status after the serial connection), "ignore-term" (SIGTERM does not end it), "stall" (the dial
// stops after the serial connection until a signal ends it) and "child-holds-output" (a child
// keeps the output open for twenty seconds after the stand-in itself has ended).

#include "tests/support/TunLink.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <unistd.h>
#include <vector>

int main(int argc, char** argv)
{
    // Whatever the test process left open besides the three standard streams (ctest's log and
    // output pipes among them) is not the stand-in's: one left running after a failed test must
    // not keep ctest waiting for the end of its output.
    for (int descriptor = 3; descriptor < 1024; ++descriptor)
        close(descriptor);
    std::vector<std::string> options(argv + 1, argv + argc);
    std::string peer;
    for (std::size_t i = 0; i + 1 < options.size(); ++i)
        if (options[i] == "call")
            peer = options[i + 1];
    if (const char* peers = std::getenv("PULO_STANDIN_PEERS"); peers != nullptr && !peer.empty()) {
        std::ifstream file(std::string(peers) + "/" + peer);
        for (std::string line; std::getline(file, line);) {
            std::istringstream words(line);
            for (std::string word; words >> word;)
                options.push_back(word);
        }
    }
    std::string pidDirectory = ".";
    std::string interfaceName = "ppp0";
    std::string local = "10.64.64.2";
    std::string remote = "10.64.64.1";
    int exitStatus = -1;
    bool ignoreTerm = false;
    bool stall = false;
    bool childHoldsOutput = false;
    long burst = 0; // bytes the peer sends at each SIGUSR1
    for (std::size_t i = 0; i < options.size(); ++i) {
        const std::string& option = options[i];
        const bool hasValue = i + 1 < options.size();
        if (option == "piddir" && hasValue)
            pidDirectory = options[++i];
        else if (option == "ifname" && hasValue)
            interfaceName = options[++i];
        else if (option == "local" && hasValue)
            local = options[++i];
        else if (option == "remote" && hasValue)
            remote = options[++i];
        else if (option == "exit" && hasValue)
            exitStatus = std::atoi(options[++i].c_str());
        else if (option == "ignore-term")
            ignoreTerm = true;
        else if (option == "stall")
            stall = true;
        else if (option == "child-holds-output")
            childHoldsOutput = true;
        else if (option == "burst" && hasValue)
            burst = std::atol(options[++i].c_str());
    }

    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGTERM);
    sigaddset(&signals, SIGINT);
    sigprocmask(SIG_BLOCK, &signals, nullptr);
    if (ignoreTerm)
        sigdelset(&signals, SIGTERM);

    std::printf("Serial connection established.\n");
    std::fflush(stdout);
    if (childHoldsOutput && fork() == 0) {
        sigprocmask(SIG_UNBLOCK, &signals, nullptr);
        sleep(20);
        _exit(0);
    }
    if (stall) {
        int received = 0;
        sigwait(&signals, &received);
        return 5;
    }
    if (exitStatus >= 0)
        return exitStatus;

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
    std::printf("Using interface %s\nConnect: %s <--> /dev/ttyS0\nPAP authentication succeeded\n"
                "local  IP address %s\nremote IP address %s\nready\n",
                interfaceName.c_str(), interfaceName.c_str(), local.c_str(), remote.c_str());
    std::fflush(stdout);

    // The peer sends a burst at each SIGUSR1 (the link's received bytes grow by it), until the end.
    sigaddset(&signals, SIGUSR1);
    sigprocmask(SIG_BLOCK, &signals, nullptr);
    int received = 0;
    while (sigwait(&signals, &received) == 0 && received == SIGUSR1) {
        constexpr long Packet = 1000;
        for (long sent = 0; sent < burst; sent += Packet)
            (void)link.Receive(pulo::test::Ipv4Packet(Packet));
        std::printf("burst\n");
        std::fflush(stdout);
    }
    std::remove(pidFile.c_str());
    return 5;
}
