#include "sources/rascomp32.h"

#include "common/PuloError.h"
#include "platform/PerfData.h"
#include "sources/PerfDataReader.h"
#include "tests/support/SimPlatformTest.h"

#include <cstring>

namespace pulo {
namespace {

using RasTest = test::SimPlatformTest;

TEST_F(RasTest, WithoutTheRasLibraryEverythingAnswers1157AndTheLoadIsNotRetried)
{
    win::sim::SetRasLibraryPresent(*Sim, false);
    Sim->AddLine("My ISP", "10.64.0.2");
    TRAS ras;
    ras.Connections.AddConnection(win::RASCONNA{412, 7, "kept", "", ""});
    EXPECT_FALSE(ras.RasAvailable());
    EXPECT_EQ(ras.LastError, 1157U);
    EXPECT_EQ(ras.StatusStr, QStringLiteral("RASAPI32.DLL Not Available"));
    EXPECT_EQ(ras.GetConnections(), 1157U);
    EXPECT_EQ(ras.Connections.Count(), 1) << "the list is left as it was";
    EXPECT_EQ(ras.GetPhoneBookEntries(), 1157U);
    EXPECT_EQ(ras.GetDevices(), 1157U);
    win::sim::SetRasLibraryPresent(*Sim, true);
    EXPECT_FALSE(ras.RasAvailable()) << "one attempt per instance";
    EXPECT_TRUE(TRAS().RasAvailable());
}

TEST_F(RasTest, ConnectionsAttachmentAndStatusTexts)
{
    TRAS ras;
    QStringList events;
    ras.OnStateChanged = [&](QObject*) { events << ras.StatusStr; };
    EXPECT_EQ(ras.GetStatusText(), QStringLiteral("Not Connected"));
    EXPECT_TRUE(events.isEmpty()) << "nothing attached, nothing raised";

    for (int i = 0; i < 5; ++i)
        Sim->AddLine("Line " + std::to_string(i), "10.64.0." + std::to_string(i + 2));
    EXPECT_EQ(ras.GetConnections(), win::ERROR_BUFFER_TOO_SMALL);
    EXPECT_EQ(ras.NumConns, 5U);
    ASSERT_EQ(ras.Connections.Count(), 4) << "room for four, listed as the system left them";
    EXPECT_EQ(ras.Connections.ConnEntryName(0), QString()) << "a record starting with NUL has no name";
    EXPECT_THROW(static_cast<void>(ras.Connections.ConnHandle(4)), PuloError);

    Sim->DropLine(Sim->Lines.back().Handle);
    EXPECT_EQ(ras.GetConnections(), 0U);
    EXPECT_EQ(ras.CurConnName, QStringLiteral("Line 0"));
    EXPECT_EQ(ras.Connections.ConnEntryName(3), QStringLiteral("Line 3"));

    const win::HRASCONN first = ras.CurRASConn;
    ras.AttachConnection(0);
    EXPECT_EQ(ras.RASConn, first);
    EXPECT_EQ(ras.GetStatusText(), QStringLiteral("Connected/Online"));
    EXPECT_EQ(ras.GetStatusText(), QStringLiteral("Connected/Online"));
    EXPECT_EQ(events, QStringList{"Connected/Online"}) << "raised on a change only";

    ras.AttachConnection(2);
    EXPECT_EQ(ras.RASConn, first) << "the attached connection stays";
    Sim->DropLine(first);
    EXPECT_EQ(ras.GetStatusText(), QStringLiteral("Disconnected"));
    EXPECT_EQ(ras.GetStatusText(), QStringLiteral("Disconnected"));
    EXPECT_EQ(events.size(), 3) << "raised on every query while it fails";
    EXPECT_EQ(ras.SavedState, 0);

    EXPECT_EQ(ras.HangUp(), win::ERROR_INVALID_HANDLE);
    EXPECT_EQ(ras.RASConn, 0U);
}

TEST_F(RasTest, StateTexts)
{
    TRAS ras;
    const struct
    {
        std::uint16_t State;
        const char* DeviceType;
        const char* Text;
    } cases[] = {
        {2, "MODEM", "Connecting/Dialling (modem)"},
        {3, "", "Connected/Answered"},
        {7, "", "Unknown State - 7"},
        {9, "", "Unknown State - 9"},
        {8193, "", "Disconnected/Offline"},
        {4096, "", "Unknown State - "},
        {678, "", "Unknown State - There was no answer."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.State);
        ras.ConnectState = c.State;
        ras.DeviceType = QString::fromLatin1(c.DeviceType);
        EXPECT_EQ(ras.ConnectStateText(), QString::fromLatin1(c.Text));
    }
    EXPECT_EQ(ras.ErrorText(6), QStringLiteral("The handle is not valid."));
}

TEST_F(RasTest, PhonebookAndDevices)
{
    Sim->Phonebook = {"My ISP", "", "Backup"};
    Sim->Devices = {{"modem", "USB modem", "/dev/ttyUSB0"}, {"PPPoE", "PPP over Ethernet", ""}};
    TRAS ras;
    EXPECT_EQ(ras.GetPhoneBookEntries(), 0U);
    EXPECT_EQ(ras.PhoneBookEntries, (QStringList{"My ISP", "Backup"}));
    EXPECT_EQ(ras.GetDevices(), 0U);
    EXPECT_EQ(ras.DeviceNames, (QStringList{"USB modem", "PPP over Ethernet"}));
    EXPECT_EQ(ras.DevicePorts, (QStringList{"/dev/ttyUSB0", ""}));
    EXPECT_EQ(ras.DeviceTypes, (QStringList{"modem", "PPPoE"}));

    Sim->Phonebook.assign(101, "Entry");
    EXPECT_EQ(ras.GetPhoneBookEntries(), win::ERROR_BUFFER_TOO_SMALL);
    EXPECT_TRUE(ras.PhoneBookEntries.isEmpty());

    for (const auto place : {win::RasExtensionPlace::SeparateLibrary, win::RasExtensionPlace::Missing}) {
        Sim->Extensions = place;
        win::sim::SetRasLibraryPresent(*Sim, true);
        TRAS other;
        EXPECT_EQ(other.GetDevices(), place == win::RasExtensionPlace::Missing ? 1157U : 0U);
    }
}

TEST_F(RasTest, WindowsNineXCountersRestartBelowTheirBase)
{
    Sim->PlatformId = win::VER_PLATFORM_WIN32_WINDOWS;
    const win::HRASCONN line = Sim->AddLine("My ISP", "10.64.0.2");
    Sim->SetLineRates(line, 1000, 4000);
    Sim->Ticks += 10000;
    TRAS ras;
    ASSERT_TRUE(ras.SetStatsActive(true, true));
    EXPECT_EQ(ras.KeyDUNAdap, QStringLiteral("Dial-Up Adapter"));
    EXPECT_EQ(ras.StatsXmit, 0) << "counted from the reset";
    Sim->Ticks += 2000;
    ASSERT_TRUE(ras.GetStats());
    EXPECT_EQ(ras.StatsXmit, 2000);
    EXPECT_EQ(ras.StatsRecv, 8000);
    EXPECT_EQ(ras.StatsConn, 49333);

    Sim->DropLine(line); // a new connection restarts the counters
    Sim->SetLineRates(Sim->AddLine("My ISP", "10.64.0.3"), 100, 100);
    Sim->Ticks += 1000;
    ASSERT_TRUE(ras.GetStats());
    EXPECT_EQ(ras.StatsXmit, 0);
    EXPECT_EQ(ras.StatsRecv, 0);

    Sim->DialUpAdapterHasSpeed = false;
    TRAS without;
    EXPECT_FALSE(without.SetStatsActive(true, true));
    EXPECT_FALSE(without.GetStats()) << "the default key has no speed counter";
}

TEST_F(RasTest, NtFiguresOnlyGrowUntilReset)
{
    const win::HRASCONN line = Sim->AddLine("My ISP", "10.64.0.2");
    Sim->SetLineRates(line, 1000, 3000);
    TRAS ras;
    EXPECT_TRUE(ras.SetStatsActive(true, true));
    Sim->Ticks += 5000;
    ASSERT_TRUE(ras.GetStats());
    EXPECT_EQ(ras.StatsXmit, 5000);
    EXPECT_EQ(ras.StatsRecv, 15000);
    EXPECT_EQ(ras.StatsConn, 0);
    Sim->DropLine(line);
    ASSERT_TRUE(ras.GetStats());
    EXPECT_EQ(ras.StatsXmit, 5000) << "a smaller total does not lower the figure";
    ras.ResetStats();
    EXPECT_EQ(ras.StatsXmit, 0);
}

// A performance-data block built by hand: objects, each with its definitions and instances.
class Block
{
public:
    Block() { Bytes.resize(sizeof(win::PERF_DATA_BLOCK)); }

    // An object whose counters are the given name indexes (4-byte values at 4, 8, ...), with
    // one counter block per value set; instances -1 gives the block without an instance.
    void Object(const std::vector<win::DWORD>& names,
                const std::vector<std::vector<std::int32_t>>& blocks,
                win::LONG instances)
    {
        const std::size_t start = Bytes.size();
        win::PERF_OBJECT_TYPE object{};
        object.HeaderLength = sizeof object;
        object.NumCounters = static_cast<win::DWORD>(names.size());
        object.NumInstances = instances;
        object.DefinitionLength =
            static_cast<win::DWORD>(sizeof object + names.size() * sizeof(win::PERF_COUNTER_DEFINITION));
        Put(object);
        for (std::size_t i = 0; i < names.size(); ++i) {
            win::PERF_COUNTER_DEFINITION definition{};
            definition.ByteLength = sizeof definition;
            definition.CounterNameTitleIndex = names[i];
            definition.CounterSize = 4;
            definition.CounterOffset = static_cast<win::DWORD>(4 + 4 * i);
            Put(definition);
        }
        for (const auto& values : blocks) {
            if (instances != win::PERF_NO_INSTANCES) {
                win::PERF_INSTANCE_DEFINITION instance{};
                instance.ByteLength = sizeof instance;
                Put(instance);
            }
            Put(static_cast<win::DWORD>(4 + 4 * values.size()));
            for (const std::int32_t value : values)
                Put(value);
        }
        auto total = static_cast<win::DWORD>(Bytes.size() - start);
        std::memcpy(Bytes.data() + start, &total, 4);
        ++Objects;
    }

    std::vector<win::BYTE> Finish()
    {
        win::PERF_DATA_BLOCK header{};
        header.HeaderLength = sizeof header;
        header.NumObjectTypes = Objects;
        header.TotalByteLength = static_cast<win::DWORD>(Bytes.size());
        std::memcpy(Bytes.data(), &header, sizeof header);
        return Bytes;
    }

private:
    template <typename T> void Put(const T& value)
    {
        const auto* bytes = reinterpret_cast<const win::BYTE*>(&value);
        Bytes.insert(Bytes.end(), bytes, bytes + sizeof value);
    }
    std::vector<win::BYTE> Bytes;
    win::DWORD Objects = 0;
};

TEST(PerfDataReaderTest, ReadsTheByteCountersOfEveryLayout)
{
    const std::vector<win::DWORD> both = {100, 872, 874};
    std::vector<win::DWORD> many(51, 100);
    const auto build = [](const std::function<void(Block&)>& fill) {
        Block block;
        fill(block);
        return block.Finish();
    };
    const struct
    {
        const char* Name;
        std::vector<win::BYTE> Data;
        bool Read;
        std::optional<std::int64_t> Sent;
        std::optional<std::int64_t> Received;
    } cases[] = {
        {"no instances", build([&](Block& b) {
             b.Object(both, {{1, 500, 700}}, win::PERF_NO_INSTANCES);
         }),
         true, 500, 700},
        {"0 instances", build([&](Block& b) { b.Object(both, {}, 0); }), true, std::nullopt, std::nullopt},
        {"several instances, the largest wins", build([&](Block& b) {
             b.Object(both, {{1, 5, 9}, {1, 300, 2}, {1, 40, 80}}, 3);
         }),
         true, 300, 80},
        {"an object without counters is passed over", build([&](Block& b) {
             b.Object({}, {}, 0);
             b.Object(both, {{1, 11, 12}}, win::PERF_NO_INSTANCES);
         }),
         true, 11, 12},
        {"more than 50 definitions", build([&](Block& b) { b.Object(many, {}, 0); }), false, std::nullopt,
         std::nullopt},
        {"under 100 bytes", std::vector<win::BYTE>(99, 0), false, std::nullopt, std::nullopt},
        {"the system's own block", win::RasTotalPerformanceData(1234, 5678, {}), true, 1234, 5678},
        {"64-bit counters past 4 GB", win::RasTotalPerformanceData(5'100'000'000, 4'294'967'296, {}), true,
         5'100'000'000, 4'294'967'296},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        TPerfByteCounts counts;
        int pauses = 0;
        EXPECT_EQ(ReadRasByteCounts(c.Data.data(), c.Data.size(), counts, [&] { ++pauses; }), c.Read);
        EXPECT_EQ(counts.Transmitted, c.Sent);
        EXPECT_EQ(counts.Received, c.Received);
        if (c.Read) {
            EXPECT_GT(pauses, 0);
        }
    }
}

TEST(PerfDataReaderTest, LyingOrCutBlocksAreNeverReadOutside)
{
    Block block;
    block.Object({872, 874}, {{1, 5, 9}, {1, 6, 10}}, 2);
    const std::vector<win::BYTE> whole = block.Finish();
    // Every cut of the block, and blocks whose every length field says something else.
    for (std::size_t size = 0; size <= whole.size(); ++size) {
        std::vector<win::BYTE> cut(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(size));
        TPerfByteCounts counts;
        ReadRasByteCounts(cut.data(), cut.size(), counts);
    }
    for (std::size_t at = 0; at + 4 <= whole.size(); at += 4) {
        for (const win::DWORD lie : {0U, 1U, 0x7FFFFFFFU, 0xFFFFFFFFU, 0xFFFFFFF0U}) {
            std::vector<win::BYTE> lying = whole;
            std::memcpy(lying.data() + at, &lie, 4);
            TPerfByteCounts counts;
            ReadRasByteCounts(lying.data(), lying.size(), counts);
        }
    }
    SUCCEED() << "run under the sanitizers, a read outside the buffer fails this test";
}

// A registry whose performance data is larger than the first buffer.
class LargePerformanceData final : public win::IRegistryService
{
public:
    bool KeyExists(win::HKEY, const std::string&) override { return false; }
    std::vector<std::string> SubKeys(win::HKEY, const std::string&) override { return {}; }
    win::DWORD
    Value(win::HKEY, const std::string&, const std::string&, win::DWORD& type, std::vector<win::BYTE>& data) override
    {
        Block block;
        block.Object({100, 872, 874}, {{1, 77, 88}}, win::PERF_NO_INSTANCES);
        block.Object({100}, std::vector<std::vector<std::int32_t>>(700, {1, 0}), 700);
        data = block.Finish();
        type = win::REG_BINARY;
        return 0;
    }
};

TEST_F(RasTest, ThePerformanceDataBufferGrowsAndStaysGrown)
{
    win::InstalledBackend().Registry = std::make_unique<LargePerformanceData>();
    TRAS::PerfBufferSize = 0;
    TRAS ras;
    ASSERT_TRUE(ras.GetStats());
    EXPECT_EQ(ras.StatsXmit, 77);
    EXPECT_EQ(ras.StatsRecv, 88);
    EXPECT_GT(TRAS::PerfBufferSize, 8192U);
    EXPECT_EQ((TRAS::PerfBufferSize - 8192) % 1024, 0U);
}

} // namespace
} // namespace pulo
