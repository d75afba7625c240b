#include "platform/ProfileFiles.h"

#include "platform/posix/PosixBackend.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <array>
#include <string>

namespace win {
namespace {

class ProfileFilesTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(Folder.isValid());
        InstallBackend(posix::MakePosixBackend());
    }

    [[nodiscard]] std::string Path(const char* name = "pulopro.ini") const
    {
        return Folder.filePath(QString::fromLatin1(name)).toStdString();
    }
    void Put(const QByteArray& bytes) const
    {
        QFile file(QString::fromStdString(Path()));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        ASSERT_EQ(file.write(bytes), bytes.size());
    }
    [[nodiscard]] QByteArray Contents() const
    {
        QFile file(QString::fromStdString(Path()));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
    }
    [[nodiscard]] std::string Read(const char* section, const char* key, const char* fallback = "dflt") const
    {
        std::array<char, 2048> buffer{};
        const DWORD length = GetPrivateProfileStringA(section, key, fallback, buffer.data(), 2048, Path().c_str());
        EXPECT_EQ(length, std::string(buffer.data()).size());
        return std::string(buffer.data(), length);
    }

    QTemporaryDir Folder;
};

TEST_F(ProfileFilesTest, MissingFileOrKeyGivesTheDefault)
{
    EXPECT_EQ(Read("General", "NIC"), "dflt");
    Put("[General]\nNIC=2\n");
    EXPECT_EQ(Read("General", "Sounds"), "dflt");
    EXPECT_EQ(Read("General", "NIC"), "2");
}

TEST_F(ProfileFilesTest, LongValuesAreCutToTheBuffer)
{
    Put("[Sounds]\nConnectSnd=" + QByteArray(3000, 'a') + "\n");
    EXPECT_EQ(Read("Sounds", "ConnectSnd").size(), 2047U);

    std::array<char, 4> small{};
    EXPECT_EQ(GetPrivateProfileStringA("Sounds", "ConnectSnd", "", small.data(), 4, Path().c_str()), 3U);
    EXPECT_STREQ(small.data(), "aaa");
}

TEST_F(ProfileFilesTest, ListsSectionNamesWithNulSeparators)
{
    Put("[General]\nNIC=2\n[Stats]\nMonth=3\n");
    std::array<char, 64> buffer{};
    const DWORD length = GetPrivateProfileStringA(nullptr, nullptr, "", buffer.data(), 64, Path().c_str());
    EXPECT_EQ(std::string(buffer.data(), length), std::string("General\0Stats\0", 14));
    EXPECT_EQ(buffer[length], '\0');

    std::array<char, 6> cut{};
    EXPECT_EQ(GetPrivateProfileStringA(nullptr, nullptr, "", cut.data(), 6, Path().c_str()), 4U);
    EXPECT_EQ(std::string(cut.data(), 6), std::string("Gene\0\0", 6));
}

TEST_F(ProfileFilesTest, WriteKeepsForeignContentAndReplacesTheFileWhole)
{
    Put("; kept\n[Mine]\nfoo = bar\n\n[General]\nNIC=1\n");
    ASSERT_TRUE(QFile::setPermissions(QString::fromStdString(Path()),
                                      QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup));
    ASSERT_NE(WritePrivateProfileStringA("General", "NIC", "4", Path().c_str()), 0);
    EXPECT_EQ(Contents(), QByteArray("; kept\n[Mine]\nfoo = bar\n\n[General]\nNIC=4\n"));
    constexpr auto modeBits = QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner |
                              QFileDevice::ReadGroup | QFileDevice::WriteGroup | QFileDevice::ExeGroup |
                              QFileDevice::ReadOther | QFileDevice::WriteOther | QFileDevice::ExeOther;
    EXPECT_EQ(QFile::permissions(QString::fromStdString(Path())) & modeBits,
              QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup);
    // No temporary file is left beside it.
    EXPECT_EQ(QDir(Folder.path()).entryList(QDir::Files), QStringList{QStringLiteral("pulopro.ini")});
}

TEST_F(ProfileFilesTest, RefusedWritesReportFailureAndLeaveTheFile)
{
    Put("[General]\nNIC=1\n");
    ASSERT_TRUE(QFile::setPermissions(QString::fromStdString(Path()), QFileDevice::ReadOwner));
    EXPECT_EQ(WritePrivateProfileStringA("General", "NIC", "4", Path().c_str()), 0);
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
    EXPECT_EQ(Contents(), QByteArray("[General]\nNIC=1\n"));

    const std::string nowhere = Folder.filePath(QStringLiteral("missing/pulopro.ini")).toStdString();
    EXPECT_EQ(WritePrivateProfileStringA("General", "NIC", "4", nowhere.c_str()), 0);

    ASSERT_TRUE(
        QFile::setPermissions(QString::fromStdString(Path()), QFileDevice::ReadOwner | QFileDevice::WriteOwner));
    EXPECT_EQ(WritePrivateProfileStringA("Sounds", "ConnectSnd", "a\nNIC=9", Path().c_str()), 0);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(Contents(), QByteArray("[General]\nNIC=1\n"));
}

TEST_F(ProfileFilesTest, HostileFilesNeverCrashOrHang)
{
    QByteArray garbage(1 << 20, '\0');
    for (auto& byte : garbage)
        byte = static_cast<char>(QRandomGenerator::global()->bounded(256));
    QByteArray manySections;
    for (int i = 0; i < 100000; ++i)
        manySections += "[S" + QByteArray::number(i) + "]\nk=v\n";
    const std::pair<const char*, QByteArray> files[] = {
        {"binary garbage", garbage},
        {"nul bytes", QByteArray("[General]\0\nNIC\0=2\n", 18)},
        {"a 10 MB line", "[General]\nNIC=" + QByteArray(10 << 20, '7')},
        {"100000 sections", manySections + "[General]\nNIC=2\n"},
    };
    for (const auto& [name, bytes] : files) {
        SCOPED_TRACE(name);
        Put(bytes);
        const std::string value = Read("General", "NIC");
        EXPECT_LE(value.size(), 2047U);
        EXPECT_NE(WritePrivateProfileStringA("Stats", "TotCon", "1", Path().c_str()), 0);
        EXPECT_EQ(Read("Stats", "TotCon"), "1");
    }
    Put(manySections + "[General]\nNIC=2\n");
    EXPECT_EQ(Read("General", "NIC"), "2");
}

} // namespace
} // namespace win
