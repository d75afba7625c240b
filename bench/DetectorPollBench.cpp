// One connection-detector poll with a thousand network interfaces in the namespace.
//
// Runs as root in a network namespace of its own (nothing outside is touched): it makes a PPP
// link with an address and 1000 idle tun devices, then times
//   - a poll when nothing has changed (the link list is not read again), and
//   - a poll right after a change (the whole list read again over netlink),
// each against the same poll with only the PPP link present, measured in the same run.
// Aim: a poll under 2 ms.

#include "bench/Median.h"
#include "platform/posix/PosixBackend.h"
#include "sources/KZIntDet.h"
#include "tests/support/TunLink.h"

#include <QCoreApplication>

#include <cstdio>

int main(int argc, char** argv)
{
    std::string reason;
    if (!pulo::test::EnterOwnNetworkNamespace(reason)) {
        std::printf("detector poll bench skipped: %s\n", reason.c_str());
        return 0;
    }
    QCoreApplication application(argc, argv);
    win::InstallBackend(win::posix::MakePosixBackend("/nonexistent"));

    pulo::test::TunLink ppp("ppp0");
    pulo::test::TunLink toggled("flip0", pulo::test::LinkTypeNone);
    if (!ppp.Valid() || !ppp.SetUp(true) || !ppp.SetAddress("10.64.0.2", "10.64.0.1") || !toggled.Valid()) {
        std::printf("cannot make the links\n");
        return 1;
    }
    pulo::TKZInternetDetect detector;
    const auto flip = [&](int i) { (void)toggled.SetUp(i % 2 == 0); };
    const auto nothing = [](int) {};

    const auto poll = [&] { detector.Poll(); };
    const double baseUnchanged = pulo::bench::MedianMicroseconds(poll, nothing, 200);
    const double baseChanged = pulo::bench::MedianMicroseconds(poll, flip, 200);

    for (int i = 0; i < 1000; ++i) {
        if (!pulo::test::MakePersistentTun("t" + std::to_string(i))) {
            std::printf("cannot make interface %d\n", i);
            return 1;
        }
    }
    const double unchanged = pulo::bench::MedianMicroseconds(poll, nothing, 200);
    const double changed = pulo::bench::MedianMicroseconds(poll, flip, 50);

    std::printf("poll, nothing changed:  %8.1f us median (3 links: %.1f us, ratio %.1f)\n", unchanged, baseUnchanged,
                unchanged / baseUnchanged);
    std::printf("poll after a change:    %8.1f us median (3 links: %.1f us, ratio %.1f)   aim < 2000 us\n", changed,
                baseChanged, changed / baseChanged);
    std::printf("detector %s at %s\n", detector.Connected() ? "online" : "offline",
                detector.IP().toLatin1().constData());
    return 0;
}
