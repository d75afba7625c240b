// Sound end to end: SDL's disk audio driver writes what would be heard into a file, in the
// format the sound was opened with, so the samples can be compared.

#include "platform/posix/PosixSound.h"

#include "platform/Mmsystem.h"
#include "platform/WaveSynth.h"
#include "tests/support/SimPlatformTest.h"

#include <QFile>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace win {
namespace {

using Bytes = std::vector<std::uint8_t>;

void Le(Bytes& out, std::uint32_t value, int size)
{
    for (int i = 0; i < size; ++i)
        out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

void Tag(Bytes& out, const char* tag)
{
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<std::uint8_t>(tag[i]));
}

// A wave file: format tag, bits, block alignment, the extra format bytes, and the data.
Bytes Wave(std::uint16_t format,
           std::uint16_t bits,
           std::uint16_t blockAlign,
           const Bytes& extra,
           const Bytes& data,
           std::uint32_t rate = 8000)
{
    Bytes fmt;
    Le(fmt, format, 2);
    Le(fmt, 1, 2);
    Le(fmt, rate, 4);
    Le(fmt, rate * blockAlign, 4);
    Le(fmt, blockAlign, 2);
    Le(fmt, bits, 2);
    if (format != 1 && format != 3) {
        Le(fmt, static_cast<std::uint32_t>(extra.size()), 2);
        fmt.insert(fmt.end(), extra.begin(), extra.end());
    }
    Bytes out;
    Tag(out, "RIFF");
    Le(out, static_cast<std::uint32_t>(4 + 8 + fmt.size() + 8 + data.size()), 4);
    Tag(out, "WAVE");
    Tag(out, "fmt ");
    Le(out, static_cast<std::uint32_t>(fmt.size()), 4);
    out.insert(out.end(), fmt.begin(), fmt.end());
    Tag(out, "data");
    Le(out, static_cast<std::uint32_t>(data.size()), 4);
    out.insert(out.end(), data.begin(), data.end());
    return out;
}

Bytes Repeat(const Bytes& unit, std::size_t times)
{
    Bytes out;
    for (std::size_t i = 0; i < times; ++i)
        out.insert(out.end(), unit.begin(), unit.end());
    return out;
}

Bytes S16(std::initializer_list<std::int16_t> samples, std::size_t times)
{
    Bytes unit;
    for (const std::int16_t sample : samples)
        Le(unit, static_cast<std::uint16_t>(sample), 2);
    return Repeat(unit, times);
}

class PosixSoundTest : public pulo::test::SimPlatformTest
{
protected:
    void SetUp() override
    {
        SimPlatformTest::SetUp();
        InstalledBackend().Sound = posix::MakePosixSound();
        Output = Folder->filePath(QStringLiteral("heard.raw"));
        setenv("SDL_AUDIODRIVER", "disk", 1);
        setenv("SDL_DISKAUDIOFILE", Output.toLocal8Bit().constData(), 1);
    }
    void TearDown() override
    {
        unsetenv("SDL_AUDIODRIVER");
        unsetenv("SDL_DISKAUDIOFILE");
        SimPlatformTest::TearDown();
    }

    QString Save(const QString& name, const Bytes& image) const
    {
        const QString path = Folder->filePath(name);
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(reinterpret_cast<const char*>(image.data()), static_cast<qint64>(image.size()));
        return path;
    }

    // What the device was given, from its first byte.
    [[nodiscard]] QByteArray Heard() const
    {
        QFile file(Output);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    // The device may have played a little silence before the sound began (it runs from the
    // moment it is opened); after that the sound's samples must come whole.
    static bool StartsWith(const QByteArray& heard, const Bytes& expected)
    {
        const QByteArray wanted(reinterpret_cast<const char*>(expected.data()),
                                static_cast<qsizetype>(expected.size()));
        const qsizetype at = heard.indexOf(wanted);
        if (at < 0)
            return false;
        const QByteArray before = heard.left(at);
        return before.count('\0') == before.size() || before.count('\x80') == before.size();
    }

    QString Output;
};

TEST_F(PosixSoundTest, EveryWaveFormatIsHeardAsItsSamples)
{
    // IMA ADPCM: a 256-byte block starts with sample 1234 at step 0; nibbles of 0 keep it.
    Bytes imaBlock;
    Le(imaBlock, 1234, 2);
    Le(imaBlock, 0, 2);
    imaBlock.resize(256, 0);
    Bytes imaExtra;
    Le(imaExtra, 505, 2);
    // MS ADPCM: predictor 0 (256, 0), delta 16, both start samples -2000; nibbles of 0 keep them.
    Bytes msBlock;
    Le(msBlock, 0, 1);
    Le(msBlock, 16, 2);
    Le(msBlock, static_cast<std::uint16_t>(-2000), 2);
    Le(msBlock, static_cast<std::uint16_t>(-2000), 2);
    msBlock.resize(256, 0);
    Bytes msExtra;
    Le(msExtra, 500, 2);
    Le(msExtra, 7, 2);
    for (const int coefficient : {256, 0, 512, -256, 0, 0, 192, 64, 240, 0, 460, -208, 392, -232})
        Le(msExtra, static_cast<std::uint16_t>(coefficient), 2);
    const float floats[] = {0.5f, -0.25f};
    Bytes floatUnit(sizeof floats);
    std::memcpy(floatUnit.data(), floats, sizeof floats);

    const struct
    {
        const char* Name;
        Bytes Image;
        Bytes Expected;
    } cases[] = {
        {"PCM 16 bit", Wave(1, 16, 2, {}, S16({1000, -1000}, 400)), S16({1000, -1000}, 400)},
        {"PCM 8 bit", Wave(1, 8, 1, {}, Repeat({0x10, 0xF0}, 400)), Repeat({0x10, 0xF0}, 400)},
        {"IEEE float", Wave(3, 32, 4, {}, Repeat(floatUnit, 400)), Repeat(floatUnit, 400)},
        {"mu-law", Wave(7, 8, 1, {}, Repeat({0x80, 0x00}, 400)), S16({32124, -32124}, 400)},
        {"A-law", Wave(6, 8, 1, {}, Repeat({0xD5, 0x55}, 400)), S16({8, -8}, 400)},
        {"IMA ADPCM", Wave(0x11, 4, 256, imaExtra, Repeat(imaBlock, 2)), S16({1234}, 1010)},
        {"MS ADPCM", Wave(2, 4, 256, msExtra, Repeat(msBlock, 2)), S16({-2000}, 1000)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        const QString path = Save(QStringLiteral("sound.wav"), c.Image);
        ASSERT_EQ(PlaySoundA(path.toLocal8Bit().constData(), nullptr, SND_FILENAME), TRUE_RESULT);
        EXPECT_TRUE(StartsWith(Heard(), c.Expected));
    }
}

TEST_F(PosixSoundTest, ASoundThatCannotBeUsedPlaysTheDefaultSound)
{
    const Bytes& fallback = FallbackSound();
    const Bytes fallbackSamples(fallback.begin() + 44, fallback.end());
    const QString garbage = Save(QStringLiteral("garbage.wav"), Repeat({'R', 'I', 'F', 'F', 0xFF}, 100));
    const Bytes image = Wave(1, 16, 2, {}, S16({300}, 80));
    const QString slow = Save(QStringLiteral("slow.wav"), Wave(1, 16, 2, {}, S16({300}, 24), 16));
    const QString fast = Save(QStringLiteral("fast.wav"), Wave(1, 16, 2, {}, S16({300}, 24), 1000000000));
    const struct
    {
        const char* Name;
        QByteArray Sound;
        DWORD Flags;
        BOOL Result;
        bool DefaultHeard;
    } cases[] = {
        {"missing file", Folder->filePath(QStringLiteral("none.wav")).toLocal8Bit(), SND_FILENAME, TRUE_RESULT, true},
        {"malformed file", garbage.toLocal8Bit(), SND_FILENAME, TRUE_RESULT, true},
        {"a rate of 16 Hz", slow.toLocal8Bit(), SND_FILENAME, TRUE_RESULT, true},
        {"a rate of 1 GHz", fast.toLocal8Bit(), SND_FILENAME, TRUE_RESULT, true},
        {"missing without default", "none.wav", SND_FILENAME | SND_NODEFAULT, FALSE_RESULT, false},
        {"missing resource", "NoSuchSound", SND_RESOURCE, TRUE_RESULT, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        QFile::remove(Output);
        EXPECT_EQ(PlaySoundA(c.Sound.constData(), nullptr, c.Flags), c.Result);
        EXPECT_EQ(StartsWith(Heard(), fallbackSamples), c.DefaultHeard);
    }
    // A whole image in memory plays from memory.
    EXPECT_EQ(PlaySoundA(reinterpret_cast<LPCSTR>(image.data()), nullptr, SND_MEMORY), TRUE_RESULT);
    EXPECT_TRUE(StartsWith(Heard(), S16({300}, 80)));
}

TEST_F(PosixSoundTest, ASynchronousCallLastsAsLongAsTheSound)
{
    const QString path = Save(QStringLiteral("half.wav"), Wave(1, 16, 2, {}, S16({500}, 4000)));
    const auto started = std::chrono::steady_clock::now();
    ASSERT_EQ(PlaySoundA(path.toLocal8Bit().constData(), nullptr, SND_FILENAME), TRUE_RESULT);
    const auto took = std::chrono::steady_clock::now() - started;
    EXPECT_GE(took, std::chrono::milliseconds(480));
    EXPECT_LT(took, std::chrono::milliseconds(2000));

    // Looping only plays in the background; a synchronous loop would never return.
    EXPECT_EQ(PlaySoundA(path.toLocal8Bit().constData(), nullptr, SND_FILENAME | SND_LOOP), FALSE_RESULT);
    const auto asyncStart = std::chrono::steady_clock::now();
    EXPECT_EQ(PlaySoundA(path.toLocal8Bit().constData(), nullptr, SND_FILENAME | SND_LOOP | SND_ASYNC), TRUE_RESULT);
    EXPECT_LT(std::chrono::steady_clock::now() - asyncStart, std::chrono::milliseconds(400));
    EXPECT_EQ(PlaySoundA(nullptr, nullptr, SND_ASYNC), TRUE_RESULT) << "a null sound stops the loop";
}

TEST_F(PosixSoundTest, WithoutAnAudioDeviceTheCallFailsQuickly)
{
    setenv("SDL_AUDIODRIVER", "no-such-driver", 1);
    const auto started = std::chrono::steady_clock::now();
    EXPECT_EQ(PlaySoundA("Online.wav", nullptr, SND_FILENAME), FALSE_RESULT);
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::milliseconds(500));
}

} // namespace
} // namespace win
