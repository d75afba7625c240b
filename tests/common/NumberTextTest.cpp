#include "common/NumberText.h"

#include "common/FormatSettings.h"

#include <gtest/gtest.h>

#include <optional>

namespace pulo {
namespace {

class NumberTextTest : public ::testing::Test
{
protected:
    void TearDown() override { CurrentFormat() = FormatSettings{}; }
};

TEST_F(NumberTextTest, GeneralFormatIsShortestWithFifteenDigits)
{
    const struct
    {
        double Value;
        const char* Point;
        const char* Comma;
    } cases[] = {
        {0, "0", "0"},
        {3, "3", "3"},
        {2.5, "2.5", "2,5"},
        {-2.5, "-2.5", "-2,5"},
        {0.1 + 0.2, "0.3", "0,3"},
        {1234.567, "1234.567", "1234,567"},
        {360000, "360000", "360000"},
        {999999999999999, "999999999999999", "999999999999999"},
        {1e15, "1E15", "1E15"},
        {1.5e-7, "1.5E-7", "1,5E-7"},
        {0.00001, "0.00001", "0,00001"},
        {1.0 / 3, "0.333333333333333", "0,333333333333333"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Point);
        CurrentFormat().DecimalSeparator = '.';
        EXPECT_EQ(FloatToStr(c.Value), QString::fromLatin1(c.Point));
        EXPECT_EQ(TryStrToFloat(FloatToStr(c.Value)), std::optional<double>(std::stod(c.Point)));
        CurrentFormat().DecimalSeparator = ',';
        EXPECT_EQ(FloatToStr(c.Value), QString::fromLatin1(c.Comma));
    }
}

TEST_F(NumberTextTest, RealsReadOnlyInTheUsersFormat)
{
    const struct
    {
        const char* Text;
        char Separator;
        std::optional<double> Expected;
    } cases[] = {
        {"2.5", '.', 2.5},          {" 2.5 ", '.', 2.5},          {"2,5", ',', 2.5},
        {"2,5", '.', std::nullopt}, {"2.5", ',', std::nullopt},   {"1E15", '.', 1e15},
        {"-4", '.', -4.0},          {"", '.', std::nullopt},      {"abc", '.', std::nullopt},
        {"1e", '.', std::nullopt},  {"1E999", '.', std::nullopt}, {"NAN", '.', std::nullopt},
        {".5", '.', 0.5},           {"1 000", '.', std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Text);
        CurrentFormat().DecimalSeparator = c.Separator;
        EXPECT_EQ(TryStrToFloat(QString::fromLatin1(c.Text)), c.Expected);
    }
}

TEST_F(NumberTextTest, IntegersReadDecimalAndHexadecimal)
{
    const struct
    {
        const char* Text;
        std::int32_t Expected;
    } cases[] = {
        {"60", 60},        {"-60", -60},
        {"+60", 60},       {"0x3C", 60},
        {"0X3c", 60},      {"$3C", 60},
        {"$FFFFFFFF", -1}, {"$100000000", 7},
        {"0x", 7},         {"$", 7},
        {"yes", 7},        {"", 7},
        {"12abc", 7},      {"2147483647", 2147483647},
        {"2147483648", 7}, {"-2147483648", INT32_MIN},
        {"+-1", 7},        {"1.5", 7},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Text);
        EXPECT_EQ(StrToIntDef(QString::fromLatin1(c.Text), 7), c.Expected);
    }
}

// The log's times are local: the locale's long time format loses its time zone.
TEST(FormatSettingsTest, TheLongTimeLosesItsTimeZone)
{
    const struct
    {
        const char* Locale;
        const char* Written;
    } cases[] = {
        {"HH:mm:ss t", "HH:mm:ss"}, {"h:mm:ss AP tttt", "h:mm:ss AP"},   {"t HH:mm:ss", "HH:mm:ss"},
        {"HH:mm:ss", "HH:mm:ss"},   {"HH 'h' mm\tt ss", "HH 'h' mm ss"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(WithoutTimeZone(QString::fromUtf8(c.Locale)), QString::fromUtf8(c.Written)) << c.Locale;
}

} // namespace
} // namespace pulo
