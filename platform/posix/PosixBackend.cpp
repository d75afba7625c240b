#include "platform/posix/PosixBackend.h"

#include "platform/ProfileFiles.h"
#include "platform/posix/MeterWithFallback.h"
#include "platform/posix/PosixIpHelper.h"
#include "platform/posix/PosixRas.h"
#include "platform/posix/PosixRegistry.h"
#include "platform/posix/PosixShell.h"
#include "platform/posix/PosixSound.h"
#include "platform/posix/PosixSystem.h"

#include <cstdlib>

namespace win::posix {

std::unique_ptr<Backend> MakePosixBackend(const std::string& pidDirectory, const std::string& peersDirectory)
{
    auto backend = std::make_unique<Backend>();
    backend->Profiles = std::make_unique<ProfileFiles>();
    backend->System = std::make_unique<PosixSystem>();
    backend->Ras = std::make_unique<PosixRas>(pidDirectory, peersDirectory);
    RegisterRasModule(backend->Modules);
    backend->IpHelper = std::make_unique<PosixIpHelper>();
    RegisterIpHelperModule(backend->Modules);
    backend->Sound = MakePosixSound();
    backend->Registry = MakePosixRegistry();
    backend->Shell = MakePosixShell();
    // A meter started by hand answers where it was told to (pulopro-meter --socket PATH).
    const char* meterSocket = std::getenv("PULOPRO_METER_SOCKET");
    backend->Meter =
        std::make_shared<MeterWithFallback>(meterSocket != nullptr && *meterSocket != '\0' ? meterSocket : MeterSocket);
    return backend;
}

} // namespace win::posix
