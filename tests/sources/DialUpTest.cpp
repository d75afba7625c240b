#include "sources/DialUp.h"

#include "tests/support/SimPlatformTest.h"

#include <QTest>

namespace pulo {
namespace {

class DialUpTest : public test::SimPlatformTest
{
protected:
    // Dials the entry and waits (delivering notifications) until count events arrived.
    void DialAndWait(TDialUp& dialer, const QString& entry, int count)
    {
        dialer.Entry = entry;
        EXPECT_EQ(dialer.Dial(), 0);
        EXPECT_TRUE(QTest::qWaitFor([&] { return Events.size() >= count; }, 10000)) << Events.join('|').toStdString();
    }

    void Record(TDialUp& dialer)
    {
        dialer.OnAsyncEvent = [this](QObject*, int state, int error, const QString& text) {
            Events << QStringLiteral("%1/%2/%3").arg(state).arg(error).arg(text);
        };
        dialer.OnError = [this](QObject*, int code, const QString& text) {
            Events << QStringLiteral("error %1 %2").arg(code).arg(text);
        };
        dialer.OnDialing = [this](QObject*) { Events << QStringLiteral("dialing"); };
    }

    QStringList Events;
};

TEST_F(DialUpTest, EntriesAreListedOrNotAtAll)
{
    const struct
    {
        const char* Name;
        std::vector<std::string> Phonebook;
        int Result;
        int Listed;
    } cases[] = {
        {"none", {}, 0, 0},
        {"two", {"My ISP", "Backup"}, 0, 2},
        {"more than 100", std::vector<std::string>(101, "Entry"), 603, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        Sim->Phonebook = c.Phonebook;
        TDialUp dialer;
        int events = 0;
        dialer.OnEntryGet = [&](QObject*, const char(&)[win::RAS_MaxEntryName + 1]) { ++events; };
        EXPECT_EQ(dialer.GetEntries(), c.Result);
        EXPECT_EQ(dialer.Entries().size(), c.Listed);
        EXPECT_EQ(events, c.Listed);
    }
}

TEST_F(DialUpTest, AnAsynchronousDialReportsEveryStateInOrder)
{
    TDialUp dialer;
    Record(dialer);
    DialAndWait(dialer, QStringLiteral("My ISP"), 10);
    EXPECT_EQ(Events, (QStringList{"dialing", "0/0/Opening port", "1/0/Port opened", "2/0/Connecting device",
                                   "3/0/Device connected", "4/0/All devices connected", "5/0/Start authenticating",
                                   "14/0/Authenticated", "18/0/Projected", "8192/0/Connected"}));
    EXPECT_TRUE(QTest::qWaitFor([&] { return !Sim->Lines.empty(); }, 5000)) << "the line comes up";
}

TEST_F(DialUpTest, FailuresAndTexts)
{
    Sim->DialScripts["Busy"] = {{0, 1, 2}, 0, 676, ""};
    TDialUp dialer;
    Record(dialer);
    dialer.Entry = QStringLiteral("Nowhere");
    EXPECT_EQ(dialer.Dial(), 623);
    EXPECT_EQ(Events, QStringList{"error 623 GetEntryDialParams failed"}) << "nothing else, not even dialing";

    Events.clear();
    Sim->Phonebook.push_back("Busy");
    DialAndWait(dialer, QStringLiteral("Busy"), 5);
    EXPECT_EQ(Events.last(), QStringLiteral("2/676/The phone line is busy."));

    dialer.Language = TLanguage::Czech;
    EXPECT_EQ(dialer.StatusText(14, 0), QStringLiteral("Ověřeno"));
    EXPECT_EQ(dialer.StatusText(4096, 0), QStringLiteral("Interakce"));
    EXPECT_EQ(dialer.StatusText(22, 0), QString());
    EXPECT_EQ(dialer.StatusText(5, 678), QStringLiteral("There was no answer.")) << "errors speak the system's words";
}

TEST_F(DialUpTest, ADialHangsUpThePreviousOneFirst)
{
    Sim->DialScripts["Slow"] = {{0, 1, 2, 3}, 200, 0, "10.64.0.9"};
    Sim->Phonebook.push_back("Slow");
    TDialUp dialer;
    dialer.Entry = QStringLiteral("Slow");
    ASSERT_EQ(dialer.Dial(), 0);
    const win::HRASCONN first = dialer.DialedHandle();
    ASSERT_EQ(dialer.Dial(), 0);
    ASSERT_EQ(Sim->HungUp.size(), 2U);
    EXPECT_EQ(Sim->HungUp[0], 0U) << "no dial before the first";
    EXPECT_EQ(Sim->HungUp[1], first);
    dialer.HangUpDialed();
    dialer.HangUpDialed();
    EXPECT_EQ(Sim->HungUp[2], Sim->HungUp[3]) << "the same handle twice";

    Sim->RefuseDialStart = true;
    QStringList errors;
    dialer.OnError = [&](QObject*, int code, const QString&) { errors << QString::number(code); };
    EXPECT_EQ(dialer.Dial(), 633);
    EXPECT_EQ(errors, QStringList{"633"});
}

TEST_F(DialUpTest, ASynchronousDialReportsItsEndOnly)
{
    Sim->DialScripts["Busy"] = {{0, 1, 2}, 0, 676, ""};
    Sim->Phonebook.push_back("Busy");
    const struct
    {
        const char* Entry;
        int Result;
        const char* Events;
    } cases[] = {
        {"My ISP", 0, "dialing|connect"},
        {"Busy", 676, "dialing|not connected 676 The phone line is busy."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Entry);
        TDialUp dialer;
        dialer.DialMode = TDialMode::dmSync;
        QStringList events;
        dialer.OnDialing = [&](QObject*) { events << QStringLiteral("dialing"); };
        dialer.OnConnect = [&](QObject*) { events << QStringLiteral("connect"); };
        dialer.OnNotConnected = [&](QObject*, int code, const QString& text) {
            events << QStringLiteral("not connected %1 %2").arg(code).arg(text);
        };
        dialer.OnAsyncEvent = [&](QObject*, int, int, const QString&) { events << QStringLiteral("async"); };
        dialer.Entry = QString::fromLatin1(c.Entry);
        EXPECT_EQ(dialer.Dial(), c.Result);
        EXPECT_EQ(events.join('|'), QString::fromLatin1(c.Events));
    }
}

TEST_F(DialUpTest, ABurstOfNotificationsArrivesWholeAndInOrder)
{
    std::vector<win::RASCONNSTATE> states;
    for (int i = 0; i < 100; ++i)
        states.push_back(static_cast<win::RASCONNSTATE>(i % 22));
    Sim->DialScripts["Burst"] = {states, 0, 691, ""};
    Sim->Phonebook.push_back("Burst");
    TDialUp dialer;
    Record(dialer);
    DialAndWait(dialer, QStringLiteral("Burst"), 102);
    ASSERT_EQ(Events.size(), 102);
    for (int i = 0; i < 100; ++i)
        ASSERT_TRUE(Events[i + 1].startsWith(QString::number(i % 22) + "/0/")) << i;
    EXPECT_TRUE(Events.last().startsWith("11/691/")) << "the last state, with the error";
}

} // namespace
} // namespace pulo
