// The speed monitor with a thousand network interfaces in the namespace: one SampleInterfaces
// (the once-a-second path) and one ReloadInterfaces, medians, each against the same call with
// only the namespace's few interfaces, measured in the same run. Aim: under 5 ms and 20 ms.
// Runs as root in a network namespace of its own, on Qt's offscreen platform.

#include "app/Unit1.h"
#include "bench/Median.h"
#include "platform/posix/PosixBackend.h"
#include "tests/support/TunLink.h"

#include <QApplication>

#include <cstdio>

int main(int argc, char** argv)
{
    std::string reason;
    if (!pulo::test::EnterOwnNetworkNamespace(reason)) {
        std::printf("speed sample bench skipped: %s\n", reason.c_str());
        return 0;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    win::InstallBackend(win::posix::MakePosixBackend("/nonexistent"));
    pulo::TForm1 form;

    const double sampleFew = pulo::bench::MedianMicroseconds([&] { form.SampleInterfaces(); }, 200);
    const double reloadFew = pulo::bench::MedianMicroseconds([&] { form.ReloadInterfaces(); }, 50);
    for (int i = 0; i < 1000; ++i) {
        if (!pulo::test::MakePersistentTun("t" + std::to_string(i))) {
            std::printf("cannot make interface %d\n", i);
            return 1;
        }
    }
    form.ReloadInterfaces();
    const double sample = pulo::bench::MedianMicroseconds([&] { form.SampleInterfaces(); }, 100);
    const double reload = pulo::bench::MedianMicroseconds([&] { form.ReloadInterfaces(); }, 20);
    std::printf(
        "SampleInterfaces, 1001 interfaces: %8.1f us median (1 interface: %.1f us, ratio %.0f)   aim < 5000 us\n",
        sample, sampleFew, sample / sampleFew);
    std::printf(
        "ReloadInterfaces, 1001 interfaces: %8.1f us median (1 interface: %.1f us, ratio %.0f)   aim < 20000 us\n",
        reload, reloadFew, reload / reloadFew);
    return 0;
}
