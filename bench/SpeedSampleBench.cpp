// The speed monitor with a thousand network interfaces in the namespace: one SampleInterfaces
// (the once-a-second path) and one ReloadInterfaces, medians, each against the same call with
// only the namespace's few interfaces, measured in the same run. Aim: under 5 ms and 20 ms.
// Runs as root in a network namespace of its own, on Qt's offscreen platform.

#include "app/Unit1.h"
#include "platform/posix/PosixBackend.h"
#include "tests/support/TunLink.h"

#include <QApplication>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

namespace {

template <typename Call> double MedianMicroseconds(Call call, int rounds)
{
    std::vector<double> times;
    for (int i = 0; i < rounds; ++i) {
        const auto start = std::chrono::steady_clock::now();
        call();
        times.push_back(std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start).count());
    }
    std::nth_element(times.begin(), times.begin() + rounds / 2, times.end());
    return times[static_cast<std::size_t>(rounds / 2)];
}

} // namespace

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

    const double sampleFew = MedianMicroseconds([&] { form.SampleInterfaces(); }, 200);
    const double reloadFew = MedianMicroseconds([&] { form.ReloadInterfaces(); }, 50);
    for (int i = 0; i < 1000; ++i) {
        if (!pulo::test::MakePersistentTun("t" + std::to_string(i))) {
            std::printf("cannot make interface %d\n", i);
            return 1;
        }
    }
    form.ReloadInterfaces();
    const double sample = MedianMicroseconds([&] { form.SampleInterfaces(); }, 100);
    const double reload = MedianMicroseconds([&] { form.ReloadInterfaces(); }, 20);
    std::printf(
        "SampleInterfaces, 1001 interfaces: %8.1f us median (1 interface: %.1f us, ratio %.0f)   aim < 5000 us\n",
        sample, sampleFew, sample / sampleFew);
    std::printf(
        "ReloadInterfaces, 1001 interfaces: %8.1f us median (1 interface: %.1f us, ratio %.0f)   aim < 20000 us\n",
        reload, reloadFew, reload / reloadFew);
    return 0;
}
