#include "widgets/PlayerWave.h"

#include "platform/Mmsystem.h"

namespace pulo {

TPlayerWave::TPlayerWave(QObject* owner) : QObject(owner) {}

bool TPlayerWave::Play()
{
    win::DWORD flags = win::SND_SYNC;
    switch (WhereWave) {
    case TWhereWave::wwInFile:
        flags = win::SND_FILENAME;
        break;
    case TWhereWave::wwInResource:
        flags = win::SND_RESOURCE;
        break;
    case TWhereWave::wwInRAM:
        flags = win::SND_MEMORY;
        break;
    }
    if (Loop)
        flags |= win::SND_LOOP;
    if (Async)
        flags |= win::SND_ASYNC;
    // File names go to the call in the encoding the file system uses.
    const QByteArray name = WaveName.toLocal8Bit();
    const char* sound = WhereWave == TWhereWave::wwInRAM ? static_cast<const char*>(WaveImage) : name.constData();
    return win::PlaySoundA(sound, nullptr, flags) != win::FALSE_RESULT;
}

} // namespace pulo
