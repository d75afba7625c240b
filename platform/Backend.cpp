#include "platform/Backend.h"

#include <cstdio>
#include <cstdlib>

namespace win {

namespace {

std::unique_ptr<Backend>& Slot()
{
    static std::unique_ptr<Backend> installed;
    return installed;
}

} // namespace

void InstallBackend(std::unique_ptr<Backend> backend)
{
    Slot() = std::move(backend);
}

Backend& InstalledBackend()
{
    if (!Slot()) {
        std::fputs("PuloPro: an operating-system call was made before a platform backend was installed\n", stderr);
        std::abort();
    }
    return *Slot();
}

} // namespace win
