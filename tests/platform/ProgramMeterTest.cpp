// The meter's answer as PuloPro takes it apart: whatever comes over the socket is checked.

#include "platform/ProgramMeter.h"

#include <gtest/gtest.h>

namespace win {
namespace {

TEST(ProgramMeterTest, AnAnswerIsTakenWholeOrNotAtAll)
{
    const struct
    {
        const char* Case;
        std::string Answer;
        std::size_t Programs; // when taken
        const char* Why;      // when refused: the start of why
    } cases[] = {
        {"two programs", "ok\ncurl\t/usr/bin/curl\t6000\t700\t6\t7\nSystem\t\t0\t416\t0\t5\n.\n", 2, nullptr},
        {"none yet", "ok\n.\n", 0, nullptr},
        {"the meter's refusal", "error no interface ppp9\n", 0, "the meter said: no interface ppp9"},
        {"cut short", "ok\ncurl\t/usr/bin/curl\t6000\t700\t6\t7\n", 0, "the meter's answer ended early"},
        {"not a number", "ok\ncurl\t/usr/bin/curl\t6k\t700\t6\t7\n.\n", 0, "the meter's answer has a line"},
        {"a negative number", "ok\ncurl\t/usr/bin/curl\t-6\t700\t6\t7\n.\n", 0, "the meter's answer has a line"},
        {"past 64 bits", "ok\ncurl\t/usr/bin/curl\t18446744073709551616\t0\t0\t0\n.\n", 0,
         "the meter's answer has a line"},
        {"a field short", "ok\ncurl\t/usr/bin/curl\t6000\t700\t6\n.\n", 0, "the meter's answer has a line"},
        {"a field more", "ok\ncurl\t/usr/bin/curl\t6000\t700\t6\t7\t8\n.\n", 0, "the meter's answer has a line"},
        {"no program's name", "ok\n\t/usr/bin/curl\t6000\t700\t6\t7\n.\n", 0, "the meter's answer has a line"},
        {"something else", "HTTP/1.1 200 OK\n", 0, "the meter's answer is not one"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Case);
        std::vector<ProgramBytes> programs{{"stale", "", 1, 1, 1, 1}};
        std::string why;
        const bool taken = ParseMeterAnswer(c.Answer, programs, why);
        EXPECT_EQ(taken, c.Why == nullptr) << why;
        EXPECT_EQ(programs.size(), c.Programs);
        if (c.Why != nullptr) {
            EXPECT_EQ(why.rfind(c.Why, 0), 0U) << why;
        }
    }
    std::vector<ProgramBytes> programs;
    std::string why;
    ASSERT_TRUE(ParseMeterAnswer("ok\ncurl\t/usr/bin/curl\t6000\t700\t6\t7\n.\n", programs, why));
    EXPECT_EQ(programs[0].Program, "curl");
    EXPECT_EQ(programs[0].Path, "/usr/bin/curl");
    EXPECT_EQ(programs[0].Received, 6000U);
    EXPECT_EQ(programs[0].Sent, 700U);
    EXPECT_EQ(programs[0].ReceivedPackets, 6U);
    EXPECT_EQ(programs[0].SentPackets, 7U);
}

} // namespace
} // namespace win
