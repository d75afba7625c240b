#include "platform/ProfileText.h"

#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <string>

namespace win {
namespace {

struct ReadCase
{
    const char* Name;
    std::string Text;
    const char* Section;
    const char* Key;
    std::optional<std::string> Expected;
};

TEST(ProfileTextTest, ReadsValuesAsTheSettingsExpect)
{
    const ReadCase cases[] = {
        {"plain", "[General]\nNIC=3\n", "General", "NIC", "3"},
        {"names ignore case", "[general]\nnic=3\n", "GENERAL", "Nic", "3"},
        {"blanks trimmed", "  [ General ]  \n  NIC  =  3  \n", "General", "NIC", "3"},
        {"windows line ends", "[General]\r\nNIC=3\r\nSounds=1\r\n", "General", "NIC", "3"},
        {"first key wins", "[General]\nNIC=3\nNIC=4\n", "General", "NIC", "3"},
        {"first section wins", "[General]\nA=1\n[General]\nNIC=4\n", "General", "NIC", std::nullopt},
        {"key of another section", "[Sounds]\nNIC=3\n[General]\n", "General", "NIC", std::nullopt},
        {"comment is no key", "[General]\n;NIC=3\n", "General", "NIC", std::nullopt},
        {"value with equals", "[Sounds]\nConnectSnd=a=b.wav\n", "Sounds", "ConnectSnd", "a=b.wav"},
        {"empty value", "[Sounds]\nConnectSnd=\n", "Sounds", "ConnectSnd", ""},
        {"last line without break", "[General]\nNIC=7", "General", "NIC", "7"},
        {"key before any section", "NIC=3\n[General]\n", "General", "NIC", std::nullopt},
        {"nul bytes kept out of the way", std::string("[General]\n\0\0=x\nNIC=5\n", 21), "General", "NIC", "5"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        EXPECT_EQ(ProfileText(c.Text).Value(c.Section, c.Key), c.Expected);
    }
}

struct EditCase
{
    const char* Name;
    std::string Before;
    std::string After;
};

TEST(ProfileTextTest, WritesKeepEveryOtherLineByteForByte)
{
    const EditCase cases[] = {
        {"new file", "", "[Stats]\nTotCon=5\n"},
        {"replaced in place", "; mine\n[Stats]\nMonth=2\ntotcon = 1 \nTotTime=3\n",
         "; mine\n[Stats]\nMonth=2\nTotCon=5\nTotTime=3\n"},
        {"added at the end of its section", "[Stats]\nMonth=2\n\n[Other]\nx=1\n",
         "[Stats]\nMonth=2\nTotCon=5\n\n[Other]\nx=1\n"},
        {"section added at the end", "[Other]\r\nx=1\r\n", "[Other]\r\nx=1\r\n[Stats]\r\nTotCon=5\r\n"},
        {"file without final break", "[Other]\nx=1", "[Other]\nx=1\n[Stats]\nTotCon=5\n"},
        {"section last without final break", "[Stats]\nMonth=2", "[Stats]\nMonth=2\nTotCon=5\n"},
        {"empty section", "[Stats]\n[Next]\n", "[Stats]\nTotCon=5\n[Next]\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        ProfileText text(c.Before);
        ASSERT_TRUE(text.SetValue("Stats", "TotCon", "5"));
        EXPECT_EQ(text.Bytes(), c.After);
    }
}

TEST(ProfileTextTest, RefusesWritesThatWouldBreakTheLayout)
{
    const char* const original = "[Sounds]\nConnectSnd=a.wav\n";
    ProfileText text(original);
    EXPECT_FALSE(text.SetValue("Sounds", "ConnectSnd", "a.wav\n[General]\nNIC=9"));
    EXPECT_FALSE(text.SetValue("Sounds", "Con=nect", "x"));
    EXPECT_FALSE(text.SetValue("Sou]nds", "ConnectSnd", "x"));
    EXPECT_FALSE(text.SetValue("Sounds", "  ", "x"));
    EXPECT_FALSE(text.SetValue("Sounds", "#Snd", "x")) << "it would read back as a comment";
    EXPECT_EQ(text.Bytes(), original);
}

TEST(ProfileTextTest, RemovesKeysAndSectionsAndListsNames)
{
    ProfileText text("[A]\nx=1\ny=2\n[b]\nz=3\n[a]\nw=4\n");
    EXPECT_EQ(text.SectionNames(), (std::vector<std::string>{"A", "b"}));
    EXPECT_EQ(text.KeyNames("a"), (std::vector<std::string>{"x", "y"}));
    text.RemoveKey("A", "X");
    EXPECT_EQ(text.Bytes(), "[A]\ny=2\n[b]\nz=3\n[a]\nw=4\n");
    text.RemoveSection("B");
    EXPECT_EQ(text.Bytes(), "[A]\ny=2\n[a]\nw=4\n");
}

TEST(ProfileTextTest, EditsThatUsedToGoWrong)
{
    const struct
    {
        const char* Name;
        std::string Before;
        std::function<void(ProfileText&)> Edit;
        std::string After;
    } cases[] = {
        {"a file ending in a lone CR", "[Stats]\r\nk=v\r",
         [](ProfileText& t) { ASSERT_TRUE(t.SetValue("Stats", "n", "1")); }, "[Stats]\r\nk=v\r\nn=1\r\n"},
        {"a one-line file ending in a lone CR", "k=v\r", [](ProfileText& t) { ASSERT_TRUE(t.SetValue("S", "n", "1")); },
         "k=v\r\n[S]\r\nn=1\r\n"},
        {"a key written twice is gone when deleted", "[A]\nk=new\nk=old\nj=1\n",
         [](ProfileText& t) { t.RemoveKey("A", "k"); }, "[A]\nj=1\n"},
        {"a section written twice is gone when deleted", "[A]\nk=1\n[B]\nj=1\n[a]\nk=2\n",
         [](ProfileText& t) { t.RemoveSection("A"); }, "[B]\nj=1\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        ProfileText text(c.Before);
        c.Edit(text);
        EXPECT_EQ(text.Bytes(), c.After);
    }
    const ProfileText empties("[]\n=x\nk=1\n[A]\n=y\nj=2\n");
    EXPECT_EQ(empties.SectionNames(), std::vector<std::string>{"A"}) << "an empty name would end the list early";
    EXPECT_EQ(empties.KeyNames("A"), std::vector<std::string>{"j"});
}

} // namespace
} // namespace win
