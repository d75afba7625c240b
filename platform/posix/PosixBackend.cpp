#include "platform/posix/PosixBackend.h"

#include "platform/ProfileFiles.h"
#include "platform/posix/MeterClient.h"
#include "platform/posix/PosixIpHelper.h"
#include "platform/posix/PosixRas.h"
#include "platform/posix/PosixRegistry.h"
#include "platform/posix/PosixShell.h"
#include "platform/posix/PosixSound.h"
#include "platform/posix/PosixSystem.h"

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
    backend->Meter = std::make_shared<MeterClient>();
    return backend;
}

} // namespace win::posix
