#pragma once

// TPlayerWave: plays one wave sound through PlaySoundA. Callers set WaveName and call Play.

#include <QObject>
#include <QString>

namespace pulo {

enum class TWhereWave
{
    wwInFile,
    wwInResource,
    wwInRAM,
};

class TPlayerWave final : public QObject
{
    Q_OBJECT

public:
    explicit TPlayerWave(QObject* owner = nullptr);

    QString WaveName;
    TWhereWave WhereWave = TWhereWave::wwInFile;
    bool Loop = false;
    bool Async = false;
    // A complete wave file image, used with wwInRAM; the owner keeps it alive while it plays.
    const void* WaveImage = nullptr;

    // Plays the sound as the properties say; true when the system accepted it. A sound that
    // cannot be found plays the system's default sound.
    bool Play();
};

} // namespace pulo
