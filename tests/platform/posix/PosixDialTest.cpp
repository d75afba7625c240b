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

    static bool NoChildLeft() { return waitpid(-1, nullptr, WNOHANG) < 0 && errno == ECHILD; }

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
    EXPECT_TRUE(NoChildLeft()) << "pppd ended and reaped";
    EXPECT_EQ(win::RasHangUpA(handle), 0U) << "hanging up again is harmless";
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
        EXPECT_TRUE(NoChildLeft());
    }
}

TEST_F(PosixDialTest, APppdThatIgnoresSigtermIsKilled)
{
    Peer("stubborn", "ignore-term ifname ppp4 local 10.64.8.2");
    win::HRASCONN handle = 0;
    ASSERT_EQ(Dial("stubborn", handle), 0U);
    ASSERT_EQ(End().first, win::RASCS_Connected);
    const auto started = std::chrono::steady_clock::now();
    EXPECT_EQ(win::RasHangUpA(handle), 0U);
    EXPECT_GE(std::chrono::steady_clock::now() - started, std::chrono::milliseconds(2900));
    EXPECT_TRUE(NoChildLeft());
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
