// The meter's rules without the kernel: how owners are named, where cgroup v2 is found, and what
// a caller is shown.

#include "meter/CgroupRoot.h"
#include "meter/MeterHolds.h"
#include "meter/MeterServer.h"
#include "meter/MeterService.h"
#include "meter/Naming.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <sys/socket.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>

namespace pulo::meter {
namespace {

TEST(MeterRulesTest, AnOwnerIsNamedByItsAppItsExecutableOrWhatIsLeft)
{
    const struct
    {
        const char* Case;
        TOwnerFacts Facts;
        const char* Program;
        const char* Path;
    } cases[] = {
        {"a Flatpak app",
         {7, 1000, "/app/lib/firefox/firefox", "firefox",
          "/user.slice/user-1000.slice/user@1000.service/app.slice/app-flatpak-org.mozilla.firefox-12345.scope"},
         "org.mozilla.firefox",
         "org.mozilla.firefox"},
        {"a snap",
         {7, 1000, "/snap/spotify/80/usr/share/spotify/spotify", "spotify",
          "/user.slice/user-1000.slice/user@1000.service/app.slice/snap.spotify.spotify-0c8a1b2c-3d4e.scope"},
         "spotify",
         "spotify"},
        {"an app a desktop launched",
         {7, 1000, "/usr/bin/gnome-maps", "gnome-maps",
          "/user.slice/user-1000.slice/user@1000.service/app.slice/app-gnome-org.gnome.Maps-4242.scope"},
         "org.gnome.Maps",
         "org.gnome.Maps"},
        {"an app started as a service",
         {7, 1000, "/usr/bin/konsole", "konsole",
          "/user.slice/user-1000.slice/user@1000.service/app.slice/app-org.kde.konsole@1a2b3c.service"},
         "org.kde.konsole",
         "org.kde.konsole"},
        {"a program in a terminal's scope is named by its executable",
         {7, 1000, "/usr/bin/curl", "curl", "/user.slice/user-1000.slice/session-3.scope"},
         "curl",
         "/usr/bin/curl"},
        {"a system service",
         {7, 0, "/usr/sbin/chronyd", "chronyd", "/system.slice/chrony.service"},
         "chronyd",
         "/usr/sbin/chronyd"},
        {"a process gone before it was named", {7, 1000, "", "wget", ""}, "wget", "wget"},
        {"a kernel thread", {7, 0, "", "kworker/u8:2", ""}, "System", ""},
        {"a socket of the kernel's own, older than the meter", {0, 0, "", "", "/"}, "System", ""},
        {"a user's socket older than the meter",
         {0, 1000, "", "", "/user.slice/user-1000.slice/session-3.scope"},
         "User 1000",
         ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Case);
        const TProgramName name = NameOwner(c.Facts);
        EXPECT_EQ(name.Program, c.Program);
        EXPECT_EQ(name.Path, c.Path);
    }
}

TEST(MeterRulesTest, TheCgroupRootIsTheUnifiedHierarchyWhereverItIsMounted)
{
    const std::string v1 = "30 25 0:26 / /sys/fs/cgroup ro,nosuid shared:9 - tmpfs tmpfs ro,mode=755\n"
                           "31 30 0:27 / /sys/fs/cgroup/cpu rw shared:10 - cgroup cgroup rw,cpu\n";
    const struct
    {
        const char* Case;
        std::string Mountinfo;
        const char* Root;
    } cases[] = {
        {"unified", "29 23 0:26 / /sys/fs/cgroup rw,nosuid shared:4 - cgroup2 cgroup2 rw,nsdelegate\n",
         "/sys/fs/cgroup"},
        {"hybrid", v1 + "32 30 0:28 / /sys/fs/cgroup/unified rw shared:11 - cgroup2 cgroup2 rw\n",
         "/sys/fs/cgroup/unified"},
        {"mounted elsewhere", v1 + "40 23 0:29 / /run/cg2 rw shared:20 - cgroup2 none rw\n", "/run/cg2"},
        {"a group's own folder bound elsewhere is no root", v1 + "41 23 0:29 /user.slice /mnt rw - cgroup2 none rw\n",
         ""},
        {"none", v1, ""},
        {"a line cut short", "29 23 0:26 / /sys/fs/cgroup rw,nosuid shared:4 -", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Case);
        EXPECT_EQ(CgroupRootIn(c.Mountinfo), c.Root);
    }
}

TKey Key(std::uint32_t tgid, std::uint32_t uid, std::uint32_t ifindex, std::uint32_t direction)
{
    return {tgid, uid, 1, ifindex, direction};
}

TEST(MeterRulesTest, ACallerSeesItsOwnProgramsOnTheLineAndOthersAsOne)
{
    TLedger ledger;
    ledger.Living = {
        {Key(10, 1000, 3, METER_RECEIVED), {5000, 5}},     {Key(10, 1000, 3, METER_SENT), {700, 7}},
        {Key(11, 1000, 3, METER_RECEIVED), {1000, 1}}, // a second curl: the same program
        {Key(12, 1001, 3, METER_RECEIVED), {90000, 60}},   {Key(13, 0, 3, METER_SENT), {300, 3}},
        {Key(10, 1000, 4, METER_RECEIVED), {123456, 100}}, // another interface
    };
    const TOwnerLookup lookup{[](std::uint32_t tgid, std::string& path, std::string& comm) {
                                  if (tgid == 12) {
                                      comm = "steam"; // gone: its command name is all there is
                                      return true;
                                  }
                                  path = tgid == 13 ? "/usr/bin/apt" : "/usr/bin/curl";
                                  comm = "x";
                                  return true;
                              },
                              [](std::uint64_t) { return std::string("/user.slice"); }};
    const struct
    {
        const char* Case;
        std::uint32_t Caller;
        const char* Answer;
    } cases[] = {
        {"a user", 1000, "ok\nOther users\t\t90000\t300\t60\t3\ncurl\t/usr/bin/curl\t6000\t700\t6\t7\n.\n"},
        {"root", 0,
         "ok\nsteam\tsteam\t90000\t0\t60\t0\ncurl\t/usr/bin/curl\t6000\t700\t6\t7\napt\t/usr/bin/"
         "apt\t0\t300\t0\t3\n.\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Case);
        EXPECT_EQ(AnswerText(ProgramsOn(ledger, 3, c.Caller, lookup)), c.Answer);
    }
}

TEST(MeterRulesTest, ProcessesThatEndedLeaveOneEntryPerProgram)
{
    // Three short-lived curls and a wget, each a process of its own, on one line.
    TLedger ledger;
    for (std::uint32_t tgid : {20U, 21U, 22U, 23U})
        ledger.Living[Key(tgid, 1000, 3, METER_RECEIVED)] = {1000 * tgid, tgid};
    const TOwnerLookup lookup{[](std::uint32_t tgid, std::string& path, std::string&) {
                                  path = tgid == 23 ? "/usr/bin/wget" : "/usr/bin/curl";
                                  return true;
                              },
                              {}};
    const std::string before = AnswerText(ProgramsOn(ledger, 3, 0, lookup));
    Retire(ledger,
           {Key(20, 1000, 3, METER_RECEIVED), Key(21, 1000, 3, METER_RECEIVED), Key(22, 1000, 3, METER_RECEIVED),
            Key(23, 1000, 3, METER_RECEIVED)},
           lookup);
    EXPECT_TRUE(ledger.Living.empty());
    EXPECT_EQ(ledger.Ended.size(), 2U) << "curl and wget";
    EXPECT_TRUE(ledger.Names.empty());
    EXPECT_EQ(AnswerText(ProgramsOn(ledger, 3, 0, lookup)), before) << "the same figures as while they lived";
    EXPECT_EQ(before, "ok\ncurl\t/usr/bin/curl\t63000\t0\t63\t0\nwget\t/usr/bin/wget\t23000\t0\t23\t0\n.\n");
}

TEST(MeterRulesTest, CallersThatSayNothingAreLetGoSoTheNextIsServed)
{
    QTemporaryDir folder;
    const std::string path = folder.filePath(QStringLiteral("socket")).toStdString();
    TMeterServer server([](const std::string& request, uid_t, std::uint64_t) { return "ok\n" + request + "\n.\n"; });
    std::string why;
    ASSERT_TRUE(server.Listen(path, why)) << why;
    int stop[2];
    ASSERT_EQ(pipe(stop), 0);
    std::thread serving([&] {
        EXPECT_TRUE(server.Run(
            stop[0], 100, [] {}, why))
            << why;
    });
    const auto call = [&] {
        const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::memcpy(address.sun_path, path.c_str(), path.size());
        EXPECT_EQ(connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
        return fd;
    };
    // As many callers as are served at once, none of which ever asks anything.
    std::vector<int> silent;
    for (int i = 0; i < 16; ++i)
        silent.push_back(call());
    const int asker = call();
    ASSERT_EQ(send(asker, "programs lo\n", 12, 0), 12);
    timeval patience{10, 0};
    setsockopt(asker, SOL_SOCKET, SO_RCVTIMEO, &patience, sizeof patience);
    char answer[64] = {};
    EXPECT_EQ(recv(asker, answer, sizeof answer - 1, 0), 17) << "answered once the silent ones were let go";
    EXPECT_STREQ(answer, "ok\nprograms lo\n.\n");
    ASSERT_EQ(write(stop[1], "x", 1), 1);
    serving.join();
    for (const int fd : silent)
        close(fd);
    close(asker);
    close(stop[0]);
    close(stop[1]);
}

TEST(MeterRulesTest, ANameCannotBreakTheAnswersLines)
{
    const std::vector<TProgramUsage> programs = {{"evil\tname\nok", "/tmp/a\rb", 1, 2, 3, 4}};
    EXPECT_EQ(AnswerText(programs), "ok\nevil name ok\t/tmp/a b\t1\t2\t3\t4\n.\n");
}

TEST(MeterRulesTest, HoldRequestsAreCheckedAndReachOnlyTheCallersOwnProcesses)
{
    const struct
    {
        const char* Request;
        uid_t Caller;
        bool Taken;
        THold Expected;
    } cases[] = {
        {"hold #3 8:1 131", 1000, true, {131, 8U << 20 | 1, 1000, 3}},
        {"hold #3 259:65536 99", 0, true, {99, 259U << 20 | 65536, METER_ANY_USER, 3}},
        {"hold #3 8:1 131 ", 1000, false, {}},
        {"hold #3 8:1", 1000, false, {}},
        {"hold 3 8:1 131", 1000, false, {}},
        {"hold #0 8:1 131", 1000, false, {}},
        {"hold #3 8:1 0", 1000, false, {}},
        {"hold #3 4096:1 131", 1000, false, {}},
        {"hold #3 8:1048576 131", 1000, false, {}},
        {"hold #3 -8:1 131", 1000, false, {}},
        {"hold #3 8:1 99999999999999999999999", 1000, false, {}},
        {"hold #4294967296 8:1 131", 1000, false, {}},
    };
    for (const auto& c : cases) {
        THold hold;
        std::string why;
        EXPECT_EQ(ParseHold(c.Request, c.Caller, hold, why), c.Taken) << c.Request;
        if (c.Taken)
            EXPECT_EQ(hold, c.Expected) << c.Request;
        else
            EXPECT_FALSE(why.empty()) << c.Request;
    }
}

TEST(MeterRulesTest, HoldsEndWithTheirCallerAndAreBounded)
{
    THolds holds;
    std::string why;
    const THold curl{131, 8U << 20 | 1, 1000, 3};
    const THold steam{977, 8U << 20 | 1, 1000, 3};
    ASSERT_TRUE(holds.Add(1, curl, why));
    ASSERT_TRUE(holds.Add(1, steam, why));
    ASSERT_TRUE(holds.Add(2, curl, why));
    EXPECT_EQ(holds.Wanted(), (std::set<THold>{curl, steam}));
    holds.Release(1);
    EXPECT_FALSE(holds.Holds(1));
    EXPECT_EQ(holds.Wanted(), std::set<THold>{curl}) << "the other caller's hold stays";
    holds.Release(2);
    EXPECT_TRUE(holds.Wanted().empty());

    for (std::uint64_t inode = 1; inode <= 64; ++inode)
        ASSERT_TRUE(holds.Add(7, {inode, 1, 1000, 3}, why)) << inode;
    EXPECT_FALSE(holds.Add(7, {65, 1, 1000, 3}, why)) << "one caller holds at most 64";
    EXPECT_TRUE(holds.Add(7, {64, 1, 1000, 3}, why)) << "asking again for one it holds is no new hold";
    std::uint64_t caller = 100;
    for (std::size_t all = 64; all < METER_HOLDS_MAX; ++caller)
        for (int i = 0; i < 64 && all < METER_HOLDS_MAX; ++i, ++all)
            ASSERT_TRUE(holds.Add(caller, {all + 1000, 1, 1000, 3}, why));
    EXPECT_FALSE(holds.Add(caller + 1, curl, why)) << "the kernel's table is full";
    EXPECT_FALSE(holds.Holds(caller + 1)) << "a refused first hold leaves the caller holding nothing";
}

} // namespace
} // namespace pulo::meter
