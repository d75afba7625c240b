#include "platform/posix/PosixBackend.h"

#include "platform/ProfileFiles.h"
#include "platform/posix/PosixSystem.h"

namespace win::posix {

std::unique_ptr<Backend> MakePosixBackend()
{
    auto backend = std::make_unique<Backend>();
    backend->Profiles = std::make_unique<ProfileFiles>();
    backend->System = std::make_unique<PosixSystem>();
    return backend;
}

} // namespace win::posix
