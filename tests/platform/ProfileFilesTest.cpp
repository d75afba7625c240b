#include "platform/ProfileFiles.h"

#include "platform/AtomicFile.h"
#include "platform/posix/PosixBackend.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <functional>
#include <sched.h>
#include <string>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

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
    // Listing the names takes one pass, not one per name.
    std::vector<char> names(2 << 20);
    const DWORD length =
        GetPrivateProfileStringA(nullptr, nullptr, "", names.data(), static_cast<DWORD>(names.size()), Path().c_str());
    EXPECT_EQ(std::count(names.begin(), names.begin() + length, '\0'), 100001);
}

// Runs body in a child process (so that limits and mounts stay there) and returns its exit code.
int InChild(const std::function<int()>& body)
{
    const pid_t child = fork();
    if (child == 0)
        _exit(body());
    int status = 0;
    waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 100 + WTERMSIG(status);
}

TEST_F(ProfileFilesTest, AFullDiskLeavesTheOldFileWholeAndReportsTheFailure)
{
    const QByteArray original = "[Stats]\nMonth=12\nTotCon=31\nTotTime=90210\nTotRCV=51234.5\nTotTMT=4321.25\n"
                                "[General]\nSounds=1\nLogging=1\nNIC=2\n";
    Put(original);
    // A file size limit below the file's size: every write beyond it fails as on a full disk.
    const int code = InChild([this] {
        signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{20, 20};
        setrlimit(RLIMIT_FSIZE, &limit);
        const BOOL written = WritePrivateProfileStringA("Stats", "TotCon", "32", Path().c_str());
        return written == FALSE_RESULT && GetLastError() == ERROR_DISK_FULL ? 0 : 1;
    });
    EXPECT_EQ(code, 0) << "the write must fail as a full disk";
    EXPECT_EQ(Contents(), original);
    EXPECT_EQ(QDir(Folder.path()).entryList(QDir::Files), QStringList{"pulopro.ini"}) << "no temporary file left";
}

TEST_F(ProfileFilesTest, AFullFileSystemLeavesTheOldFileWhole)
{
    if (geteuid() != 0)
        GTEST_SKIP() << "skipped: mounting a small file system needs root";
    const std::string mountPoint = Folder.filePath(QStringLiteral("small")).toStdString();
    ASSERT_TRUE(QDir().mkpath(QString::fromStdString(mountPoint)));
    const std::string file = mountPoint + "/pulopro.ini";
    const int code = InChild([&] {
        if (unshare(CLONE_NEWNS) != 0 || mount("none", "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
            mount("tmpfs", mountPoint.c_str(), "tmpfs", 0, "size=64k") != 0)
            return 77;
        const std::string original = "[Stats]\nMonth=12\nTotCon=31\nTotTime=90210\n";
        if (WritePrivateProfileStringA("Stats", "Month", "12", file.c_str()) == FALSE_RESULT ||
            WritePrivateProfileStringA("Stats", "TotCon", "31", file.c_str()) == FALSE_RESULT ||
            WritePrivateProfileStringA("Stats", "TotTime", "90210", file.c_str()) == FALSE_RESULT)
            return 2;
        // Fill the file system to the last block.
        std::FILE* filler = std::fopen((mountPoint + "/filler").c_str(), "wb");
        const std::vector<char> block(4096, 'x');
        while (std::fwrite(block.data(), 1, block.size(), filler) == block.size() && std::fflush(filler) == 0) {
        }
        std::fclose(filler);
        const BOOL written = WritePrivateProfileStringA("Stats", "TotCon", "32", file.c_str());
        const auto after = ProfileFiles::ReadWholeFile(file);
        if (written != FALSE_RESULT || GetLastError() != ERROR_DISK_FULL)
            return 3;
        if (after.Bytes != original)
            return 4;
        return QDir(QString::fromStdString(mountPoint)).entryList(QDir::Files).size() == 2 ? 0 : 5;
    });
    if (code == 77)
        GTEST_SKIP() << "skipped: no mount namespace here";
    EXPECT_EQ(code, 0) << "2: setup, 3: write reported success, 4: old file changed, 5: temporary file left";
}

TEST_F(ProfileFilesTest, OnlyOurOwnOldTemporaryFilesAreRemoved)
{
    Put("[General]\nNIC=2\n");
    const auto make = [this](const char* name, int ageSeconds) {
        const QString path = Folder.filePath(QString::fromLatin1(name));
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.close();
        const timespec times[2] = {{time(nullptr) - ageSeconds, 0}, {time(nullptr) - ageSeconds, 0}};
        EXPECT_EQ(utimensat(AT_FDCWD, path.toLocal8Bit().constData(), times, 0), 0);
    };
    make("pulopro.ini.pulotmp-Ab12Cd", 3600); // left by a write killed an hour ago
    make("pulopro.ini.pulotmp-Ef34Gh", 1);    // another copy writing right now
    make("pulopro.ini.pulotmp-toolong1", 3600);
    make("pulopro.ini.bak", 3600);
    make("other.ini.pulotmp-Ij56Kl", 3600);
    EXPECT_EQ(RemoveStaleTemporaries(Path()), 1);
    EXPECT_EQ(QDir(Folder.path()).entryList(QDir::Files),
              (QStringList{"other.ini.pulotmp-Ij56Kl", "pulopro.ini", "pulopro.ini.bak", "pulopro.ini.pulotmp-Ef34Gh",
                           "pulopro.ini.pulotmp-toolong1"}));
}

TEST_F(ProfileFilesTest, AFileFarTooLargeIsNeitherReadNorOverwritten)
{
    Put("[General]\nNIC=2\n");
    ASSERT_EQ(truncate(Path().c_str(), 17 << 20), 0); // sparse: cheap to make
    EXPECT_EQ(Read("General", "NIC"), "dflt");
    EXPECT_EQ(GetLastError(), ERROR_FILE_TOO_LARGE);
    EXPECT_EQ(WritePrivateProfileStringA("General", "NIC", "3", Path().c_str()), FALSE_RESULT);
    EXPECT_EQ(GetLastError(), ERROR_FILE_TOO_LARGE);
    EXPECT_EQ(QFileInfo(QString::fromStdString(Path())).size(), 17 << 20);
    EXPECT_TRUE(Contents().startsWith("[General]\nNIC=2\n"));
}

TEST_F(ProfileFilesTest, AWriteAsRootKeepsTheUsersOwnershipAndPermissions)
{
    if (geteuid() != 0)
        GTEST_SKIP() << "skipped: changing a file's owner needs root";
    Put("[General]\nNIC=2\n");
    ASSERT_EQ(chown(Path().c_str(), 4321, 4321), 0);
    ASSERT_EQ(chmod(Path().c_str(), 0640), 0);
    ASSERT_NE(WritePrivateProfileStringA("General", "NIC", "3", Path().c_str()), FALSE_RESULT);
    struct stat status = {};
    ASSERT_EQ(stat(Path().c_str(), &status), 0);
    EXPECT_EQ(status.st_uid, 4321U);
    EXPECT_EQ(status.st_gid, 4321U);
    EXPECT_EQ(status.st_mode & 07777, 0640U);
    EXPECT_EQ(Contents(), QByteArray("[General]\nNIC=3\n"));
}

} // namespace
} // namespace win
