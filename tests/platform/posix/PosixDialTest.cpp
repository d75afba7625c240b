// Dialling for real: pppd (the tests' stand-in, found first on PATH) started for a peer of a
// peers folder of the test's own, its lines turned into dial states, its exit statuses into
// errors, and hang-up ending and reaping it, in the test process's own network namespace.

#include "platform/Ras.h"
#include "platform/posix/PosixBackend.h"
#include "tests/support/NetnsTestMain.h"
#include "tests/support/QtPrinters.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <sys/wait.h>
#include <thread>
#include <vector>

namespace pulo {
namespace {

// What the notifier was told, from its own thread.
struct Told
{
    std::mutex Lock;
    std::condition_variable Changed;
    std::vector<std::pair<win::RASCONNSTATE, win::DWORD>> Notes;
};
Told* Listener = nullptr;

void Notifier(win::UINT, win::RASCONNSTATE state, win::DWORD error)
{
    const std::lock_guard lock(Listener->Lock);
    Listener->Notes.emplace_back(state, error);
    Listener->Changed.notify_all();
}

class PosixDialTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        PULO_NEEDS_NETWORK_NAMESPACE();
        ASSERT_TRUE(PidFolder.isValid() && Peers.isValid());
        win::InstallBackend(win::posix::MakePosixBackend(PidFolder.path().toStdString(), Peers.path().toStdString()));
        const std::string standin = QFileInfo(QStringLiteral(STANDIN_PPPD)).absolutePath().toStdString();
        const char* path = std::getenv("PATH");
        setenv("PATH", (standin + ":" + (path != nullptr ? path : "")).c_str(), 1);
        setenv("PULO_STANDIN_PEERS", Peers.path().toLocal8Bit().constData(), 1);
        Listener = &Heard;
    }
    void TearDown() override
    {
        win::InstallBackend(win::posix::MakePosixBackend()); // ends every pppd still running
        Listener = nullptr;
    }

    void Peer(const char* name, const std::string& options) const
    {
        QFile file(Peers.filePath(QString::fromLatin1(name)));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(QByteArray::fromStdString(options + " piddir " + PidFolder.path().toStdString() + "\n"));
    }

    win::DWORD Dial(const char* entry, win::HRASCONN& handle)
    {
        win::RASDIALPARAMSA parameters{};
        parameters.dwSize = sizeof parameters;
        std::strncpy(parameters.szEntryName, entry, win::RAS_MaxEntryName);
        const win::DWORD found = win::RasGetEntryDialParamsA(nullptr, &parameters, nullptr);
        if (found != 0)
            return found;
        return win::RasDialA(nullptr, nullptr, &parameters, 0, reinterpret_cast<void*>(&Notifier), &handle);
    }

    // Waits for the dial's end: connected or an error. Returns the last note.
    std::pair<win::RASCONNSTATE, win::DWORD> End()
    {
        std::unique_lock lock(Heard.Lock);
        Heard.Changed.wait_for(lock, std::chrono::seconds(10), [&] {
            return !Heard.Notes.empty() &&
                   (Heard.Notes.back().first == win::RASCS_Connected || Heard.Notes.back().second != 0);
        });
        return Heard.Notes.empty() ? std::pair<win::RASCONNSTATE, win::DWORD>{0, 0} : Heard.Notes.back();
    }

    // Looks without reaping: reaping pppd is the dial's own business.
    static bool NoChildLeft()
    {
        siginfo_t info{};
        return waitid(P_ALL, 0, &info, WEXITED | WNOHANG | WNOWAIT) < 0 && errno == ECHILD;
    }
    // pppd ends on its dial's own thread after a hang-up: within a few seconds, whatever it does.
    static bool NoChildLeftSoon()
    {
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(6);
        while (!NoChildLeft() && std::chrono::steady_clock::now() < until)
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        return NoChildLeft();
    }
    static int Threads()
    {
        QFile status(QStringLiteral("/proc/self/status"));
        if (!status.open(QIODevice::ReadOnly))
            return -1;
        for (const QByteArray& line : status.readAll().split('\n'))
            if (line.startsWith("Threads:"))
                return line.mid(8).trimmed().toInt();
        return -1;
    }
    static std::vector<win::RASCONNA> Connections()
    {
        std::vector<win::RASCONNA> records(4);
        records[0].dwSize = sizeof(win::RASCONNA);
        win::DWORD size = static_cast<win::DWORD>(records.size() * sizeof(win::RASCONNA));
        win::DWORD count = 0;
        if (win::RasEnumConnectionsA(records.data(), &size, &count) != 0)
            count = 0;
        records.resize(count);
        return records;
    }

    QTemporaryDir PidFolder;
    QTemporaryDir Peers;
    Told Heard;
};

TEST_F(PosixDialTest, ADialWalksToConnectedAndHangUpEndsIt)
{
    Peer("myisp", "ifname ppp3 local 10.64.9.2 remote 10.64.9.1");
    win::HRASCONN handle = 0;
    ASSERT_EQ(Dial("myisp", handle), 0U);
    EXPECT_EQ(End(), (std::pair<win::RASCONNSTATE, win::DWORD>{win::RASCS_Connected, 0}));
    std::vector<win::RASCONNSTATE> states;
    for (const auto& [state, error] : Heard.Notes)
        states.push_back(state);
    EXPECT_EQ(states, (std::vector<win::RASCONNSTATE>{0, 1, 2, 3, 4, 5, 14, 18, 8192}));

    win::RASCONNA records[4] = {};
    records[0].dwSize = sizeof(win::RASCONNA);
    win::DWORD size = sizeof records;
    win::DWORD count = 0;
    ASSERT_EQ(win::RasEnumConnectionsA(records, &size, &count), 0U);
    ASSERT_EQ(count, 1U);
    EXPECT_STREQ(records[0].szEntryName, "myisp") << "the link pppd brought up";

    EXPECT_EQ(win::RasHangUpA(handle), 0U);
    EXPECT_TRUE(NoChildLeftSoon()) << "pppd ended and reaped";
    win::RasHangUpA(handle); // hanging up again is harmless
}

TEST_F(PosixDialTest, PppdsExitStatusesBecomeErrors)
{
    const struct
    {
        int Status;
        win::DWORD Error;
    } cases[] = {{6, 633}, {8, 651}, {16, 630}, {19, 691}, {10, 720}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Status);
        Heard.Notes.clear();
        Peer("failing", "exit " + std::to_string(c.Status));
        win::HRASCONN handle = 0;
        ASSERT_EQ(Dial("failing", handle), 0U);
        const auto end = End();
        EXPECT_EQ(end.first, win::RASCS_DeviceConnected) << "the state it had reached";
        EXPECT_EQ(end.second, c.Error);
        win::RasHangUpA(handle);
        EXPECT_TRUE(NoChildLeftSoon());
    }
}

TEST_F(PosixDialTest, HangUpNeverWaitsAndAlwaysEndsPppd)
{
    using Clock = std::chrono::steady_clock;
    enum class HangUpOf
    {
        TheDial,
        TheLinkItMade,
    };
    const struct
    {
        const char* Name;
        const char* Options;
        bool WaitForConnected;
        HangUpOf Target;
    } cases[] = {
        {"a dial in progress is listed and ends", "stall", false, HangUpOf::TheDial},
        {"a pppd that ignores SIGTERM is killed", "ignore-term ifname ppp4 local 10.64.8.2", true, HangUpOf::TheDial},
        {"the same through its link", "ignore-term ifname ppp5 local 10.64.7.2", true, HangUpOf::TheLinkItMade},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        Heard.Notes.clear();
        Peer("peer", c.Options);
        win::HRASCONN handle = 0;
        ASSERT_EQ(Dial("peer", handle), 0U);
        if (c.WaitForConnected) {
            ASSERT_EQ(End().first, win::RASCS_Connected);
        } else {
            std::unique_lock lock(Heard.Lock);
            Heard.Changed.wait_for(lock, std::chrono::seconds(5),
                                   [&] { return Heard.Notes.size() >= 4; }); // "Serial connection established"
        }
        const std::vector<win::RASCONNA> listed = Connections();
        ASSERT_EQ(listed.size(), 1U);
        EXPECT_STREQ(listed[0].szEntryName, "peer");
        win::RASCONNSTATUSA status{};
        status.dwSize = sizeof status;
        ASSERT_EQ(win::RasGetConnectStatusA(listed[0].hrasconn, &status), 0U);
        EXPECT_EQ(status.rasconnstate, c.WaitForConnected ? win::RASCS_Connected : win::RASCS_DeviceConnected);

        const auto asked = Clock::now();
        EXPECT_EQ(win::RasHangUpA(c.Target == HangUpOf::TheDial ? handle : listed[0].hrasconn), 0U);
        EXPECT_LT(Clock::now() - asked, std::chrono::milliseconds(500)) << "the caller does not wait";
        EXPECT_TRUE(NoChildLeftSoon());
        EXPECT_TRUE(Connections().empty());
    }
}

TEST_F(PosixDialTest, AFailedDialEndsWhenPppdDoesAndIsForgotten)
{
    // A connect script's child that keeps pppd's output open must not hold the dial's end.
    Peer("failing", "exit 8 child-holds-output");
    (void)Connections(); // the first use starts the service's own threads (NetworkManager's)
    const int threadsBefore = Threads();
    win::HRASCONN handle = 0;
    ASSERT_EQ(Dial("failing", handle), 0U);
    const auto asked = std::chrono::steady_clock::now();
    EXPECT_EQ(End().second, 651U);
    EXPECT_LT(std::chrono::steady_clock::now() - asked, std::chrono::seconds(5));
    // Listing the connections forgets the dials that have ended.
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(2);
    while ((!Connections().empty() || Threads() != threadsBefore) && std::chrono::steady_clock::now() < until)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_EQ(Threads(), threadsBefore) << "the finished dial's thread is joined and dropped";
}

TEST_F(PosixDialTest, NamesThatAreNoPlainPeerAreNotFound)
{
    Peer("myisp", "");
    QDir(Peers.path()).mkdir(QStringLiteral("sub"));
    for (const char* name : {"nosuch", "../myisp", "sub/myisp", "-myisp", ".", "..", "sub", "my\nisp"}) {
        SCOPED_TRACE(name);
        win::HRASCONN handle = 0;
        EXPECT_EQ(Dial(name, handle), win::ERROR_CANNOT_FIND_PHONEBOOK_ENTRY);
    }
    win::RASENTRYNAMEA entries[4] = {};
    entries[0].dwSize = sizeof(win::RASENTRYNAMEA);
    win::DWORD size = sizeof entries;
    win::DWORD count = 0;
    ASSERT_EQ(win::RasEnumEntriesA(nullptr, nullptr, entries, &size, &count), 0U);
    ASSERT_EQ(count, 1U);
    EXPECT_STREQ(entries[0].szEntryName, "myisp");
}

} // namespace
} // namespace pulo
