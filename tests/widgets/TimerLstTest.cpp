#include "widgets/TimerLst.h"

#include "common/ErrorBoundary.h"
#include "tests/support/SimPlatformTest.h"

#include <vector>

namespace pulo {
namespace {

// The list's platform timer, ticked by the test: RunFor moves the simulated clock one armed
// delay at a time and delivers each tick.
struct FakeTimer
{
    bool Armed = false;
    unsigned Delay = 0;
    int Arms = 0;
    bool Refuse = false;
    std::function<void()> OnTick;
};

class FakeHost final : public ITimerHost
{
public:
    explicit FakeHost(std::shared_ptr<FakeTimer> timer) : Timer(std::move(timer)) {}
    ~FakeHost() override
    {
        Timer->Armed = false;
        Timer->OnTick = nullptr;
    }
    bool SetTimer(unsigned delayMs) override
    {
        if (Timer->Refuse)
            return false;
        Timer->Armed = true;
        Timer->Delay = delayMs;
        ++Timer->Arms;
        return true;
    }
    void KillTimer() override { Timer->Armed = false; }

private:
    std::shared_ptr<FakeTimer> Timer;
};

class TimerLstTest : public test::SimPlatformTest
{
protected:
    void SetUp() override
    {
        SimPlatformTest::SetUp();
        Sim->Ticks = 5000;
    }

    TimerHostFactory Factory()
    {
        return [timer = Timer](std::function<void()> onTick) {
            timer->OnTick = std::move(onTick);
            return std::make_unique<FakeHost>(timer);
        };
    }

    TRxTimerEvent* AddEvent(TRxTimerList& list, const char* name, std::int32_t interval)
    {
        auto event = std::make_unique<TRxTimerEvent>(QString::fromLatin1(name));
        event->SetInterval(interval);
        event->OnTimer = [this](TRxTimerEvent* sender) {
            Fired.push_back(sender->Name() + QLatin1Char('@') + QString::number(Sim->Ticks - 5000));
        };
        return list.Add(std::move(event));
    }

    void RunFor(unsigned ms)
    {
        for (unsigned passed = 0; Timer->Armed && passed + Timer->Delay <= ms;) {
            passed += Timer->Delay;
            Sim->Ticks += Timer->Delay;
            Timer->OnTick();
        }
    }

    std::shared_ptr<FakeTimer> Timer = std::make_shared<FakeTimer>();
    QStringList Fired;
};

TEST_F(TimerLstTest, PeriodIsTheLongestCommonStepOfTheIntervals)
{
    const struct
    {
        const char* Name;
        std::vector<std::int32_t> Intervals;
        win::DWORD SinceLastFiring;
        win::DWORD Expected;
    } cases[] = {
        {"main window at start", {1000, 10000, 1000, 1000}, 0, 1000},
        {"all just fired", {1000, 1000, 1000, 1500}, 0, 500},
        {"700 ms left goes down to the floor", {1000, 1000, 1000, 1500}, 300, 100},
        {"never below 100 ms", {30, 1000}, 0, 100},
        {"overdue events", {1000}, 5000, 100},
        {"a negative interval takes no part", {-7, 1000}, 0, 1000},
        {"no event", {}, 0, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        TRxTimerList list(Factory());
        for (const auto interval : c.Intervals)
            AddEvent(list, "e", interval);
        list.CalculatePeriod(Sim->Ticks + c.SinceLastFiring);
        EXPECT_EQ(list.TickPeriod(), c.Expected);
    }
}

TEST_F(TimerLstTest, DueEventsFireFromTheEndOfTheList)
{
    TRxTimerList list(Factory());
    list.Loading = true;
    list.SetActive(true);
    AddEvent(list, "E1", 1000);
    AddEvent(list, "E2", 10000);
    AddEvent(list, "E3", 1000);
    AddEvent(list, "E4", 1000);
    list.Loading = false;

    QStringList order;
    for (const auto& event : list.Events())
        order << event->Name();
    EXPECT_EQ(order, (QStringList{"E1", "E3", "E4", "E2"}));
    EXPECT_EQ(Timer->Delay, 1000U);

    const int arms = Timer->Arms;
    RunFor(10000);
    EXPECT_EQ(Fired.size(), 31);
    EXPECT_EQ(Fired.mid(27), (QStringList{"E2@10000", "E4@10000", "E3@10000", "E1@10000"}));
    EXPECT_EQ(Timer->Arms, arms) << "a steady list leaves its timer alone";
}

TEST_F(TimerLstTest, ReEnablingInItsOwnHandlerRestartsTheInterval)
{
    TRxTimerList list(Factory());
    list.Loading = true;
    list.SetActive(true);
    AddEvent(list, "E1", 1000);
    TRxTimerEvent* slow = AddEvent(list, "E3", 1000);
    list.Loading = false;
    slow->OnTimer = [&](TRxTimerEvent* sender) {
        sender->SetEnabled(false);
        Fired << QStringLiteral("E3@") + QString::number(Sim->Ticks - 5000);
        Sim->Ticks += 1500; // the handler takes longer than its interval
        sender->SetEnabled(true);
    };
    RunFor(1000);
    EXPECT_EQ(Fired, (QStringList{"E3@1000", "E1@2500"}));
    EXPECT_EQ(list.TickPeriod(), 100U) << "E1 was due when E3 came back";
    EXPECT_EQ(slow->LastTick(), 5000U + 2500);

    // The short period stays until the next recalculation; each event fires at the first tick
    // at least its interval less 50 ms after its last firing.
    slow->OnTimer = [&](TRxTimerEvent*) { Fired << QStringLiteral("E3@") + QString::number(Sim->Ticks - 5000); };
    Fired.clear();
    RunFor(1000);
    EXPECT_EQ(Fired, (QStringList{"E1@2600", "E3@3500"}));
    EXPECT_EQ(Timer->Delay, 100U);
}

TEST_F(TimerLstTest, ReEnablingInAQuickHandlerKeepsTheWholePeriod)
{
    // As the main window's speed sample does every second: the period must stay at a
    // second, not fall to the floor and wake the program ten times a second.
    TRxTimerList list(Factory());
    list.Loading = true;
    list.SetActive(true);
    AddEvent(list, "E1", 1000);
    TRxTimerEvent* sample = AddEvent(list, "E3", 1000);
    AddEvent(list, "E4", 10000);
    list.Loading = false;
    sample->OnTimer = [&](TRxTimerEvent* sender) {
        sender->SetEnabled(false);
        Fired << QStringLiteral("E3@") + QString::number(Sim->Ticks - 5000);
        sender->SetEnabled(true);
    };
    RunFor(3000);
    EXPECT_EQ(list.TickPeriod(), 1000U);
    EXPECT_EQ(Timer->Delay, 1000U);
    EXPECT_EQ(Fired, (QStringList{"E3@1000", "E1@1000", "E3@2000", "E1@2000", "E3@3000", "E1@3000"}));

    // A sample that takes a few milliseconds puts its event that much behind the others: the
    // period still stays at a second.
    sample->OnTimer = [&](TRxTimerEvent* sender) {
        sender->SetEnabled(false);
        Sim->Ticks += 2;
        sender->SetEnabled(true);
    };
    RunFor(3000);
    EXPECT_EQ(list.TickPeriod(), 1000U);
    EXPECT_EQ(Timer->Delay, 1000U);

    // So the ten-second event falls due a few milliseconds before a tick: that tick serves it,
    // rather than ten ticks a second until then.
    Fired.clear();
    for (int second = 1; second <= 12; ++second) {
        RunFor(1000);
        EXPECT_EQ(Timer->Delay, 1000U) << "second " << second;
    }
    EXPECT_TRUE(Fired.filter(QStringLiteral("E4@")).size() == 1) << Fired.join(u' ').toStdString();
}

TEST_F(TimerLstTest, ALongEventEnabledAMomentBeforeTheOthersFallsIntoStep)
{
    // The main window enables its ten-second event 80 ms before its one-second ones: the period
    // stays at a second, the long event fires at a tick 80 ms late once, and then in step.
    TRxTimerList list(Factory());
    list.Loading = true;
    list.SetActive(true);
    AddEvent(list, "E2", 10000);
    Sim->Ticks += 80;
    AddEvent(list, "E1", 1000);
    list.Loading = false;
    for (int second = 1; second <= 21; ++second) {
        RunFor(1000);
        EXPECT_EQ(Timer->Delay, 1000U) << "second " << second;
    }
    EXPECT_EQ(Fired.filter(QStringLiteral("E2@")), (QStringList{"E2@10080", "E2@20080"}));
}

TEST_F(TimerLstTest, ElapsedTimesSurviveTheTickCountWrap)
{
    Sim->Ticks = 0xFFFFFFFFU - 400;
    TRxTimerList list(Factory());
    TRxTimerEvent* event = AddEvent(list, "E", 1000);
    event->OnTimer = [&](TRxTimerEvent*) { Fired << QString::number(Sim->Ticks); };
    list.SetActive(true);
    RunFor(2000);
    EXPECT_EQ(Fired, (QStringList{"599", "1599"}));
}

TEST_F(TimerLstTest, LongPeriodsAreArmedInStepsOf65535)
{
    TRxTimerList list(Factory());
    AddEvent(list, "Long", 100000);
    list.SetActive(true);
    EXPECT_EQ(list.TickPeriod(), 100000U);
    EXPECT_EQ(Timer->Delay, 65535U);
    EXPECT_EQ(list.PeriodCarry(), 65535U);

    RunFor(65535);
    EXPECT_EQ(Timer->Delay, 100000U - 65535);
    EXPECT_EQ(list.PeriodCarry(), 0U);
    EXPECT_TRUE(Fired.isEmpty());

    RunFor(100000 - 65535);
    EXPECT_EQ(Fired, QStringList{"Long@100000"});
    EXPECT_EQ(Timer->Delay, 65535U) << "the next round starts with a full step";

    RunFor(100000);
    EXPECT_EQ(Fired, (QStringList{"Long@100000", "Long@200000"}));
}

TEST_F(TimerLstTest, RepeatCountEndsTheEventAndTheListFinishes)
{
    TRxTimerList list(Factory());
    int finished = 0;
    list.OnFinish = [&](TRxTimerList*) { ++finished; };
    std::vector<std::int32_t> handles;
    list.OnTimers = [&](TRxTimerList*, std::int32_t handle) { handles.push_back(handle); };
    TRxTimerEvent* event = AddEvent(list, "Twice", 500);
    event->SetCycled(false);
    EXPECT_EQ(event->RepeatCount(), 1) << "raised to at least one";
    event->SetRepeatCount(2);
    list.SetActive(true);

    RunFor(5000);
    EXPECT_EQ(Fired, (QStringList{"Twice@500", "Twice@1000"}));
    EXPECT_EQ(handles, (std::vector<std::int32_t>{1, 1}));
    EXPECT_FALSE(event->Enabled());
    EXPECT_FALSE(list.Active());
    EXPECT_EQ(finished, 1);
}

TEST_F(TimerLstTest, IntervalChangeKeepsTheLastFiring)
{
    TRxTimerList list(Factory());
    TRxTimerEvent* event = AddEvent(list, "E", 1000);
    list.SetActive(true);
    RunFor(1000);
    Sim->Ticks += 1000;
    event->SetInterval(3000);
    EXPECT_EQ(event->LastTick(), 5000U + 1000);
    EXPECT_EQ(Timer->Delay, 1000U) << "2000 ms remain of the new interval";
    RunFor(3000);
    EXPECT_EQ(Fired, (QStringList{"E@1000", "E@4000"}));
}

TEST_F(TimerLstTest, EmptyListStaysActiveOnlyWhileLoading)
{
    TRxTimerList list(Factory());
    int finished = 0;
    list.OnFinish = [&](TRxTimerList*) { ++finished; };
    list.SetActive(true);
    EXPECT_FALSE(list.Active());
    EXPECT_EQ(finished, 1);
    list.Loading = true;
    list.SetActive(true);
    EXPECT_TRUE(list.Active());
}

TEST_F(TimerLstTest, RefusedTimerDeactivatesAndRaises)
{
    TRxTimerList list(Factory());
    int finished = 0;
    list.OnFinish = [&](TRxTimerList*) { ++finished; };
    AddEvent(list, "E", 1000);
    Timer->Refuse = true;
    QString message;
    SetErrorReporter([&](const QString& text) { message = text; });
    EXPECT_FALSE(RunGuarded([&] { list.SetActive(true); }));
    SetErrorReporter(nullptr);
    EXPECT_EQ(message, QStringLiteral("Not enough timers available"));
    EXPECT_FALSE(list.Active());
    EXPECT_EQ(finished, 1);
}

} // namespace
} // namespace pulo
