#pragma once

// PlaySoundA on Linux: wave files decoded and played through SDL's audio (PipeWire, PulseAudio
// or ALSA underneath). The audio device is opened for one sound and closed after it, so an idle
// program holds no audio stream and no audio thread.

#include "platform/Backend.h"

#include <memory>

namespace win::posix {

[[nodiscard]] std::unique_ptr<ISoundService> MakePosixSound();

} // namespace win::posix
