// Numbers: base conversion of the temporary folder's name, the integer rule
// of every configuration value (owned here; the readers are not tested for it again).
#include <gtest/gtest.h>

#include "support/TestPrint.h"

#include "config/wqArithm.h"

namespace {

TEST(IntToBaseTest, DigitsZeroToVInBase32PaddedNeverCut) {
    const struct { long value; int width, base; const char* text; } cases[] = {
        {8639999, 5, 32, "87LFV"}, {0, 3, 32, "000"}, {0, 0, 32, "0"}, {3347, 3, 32, "38J"},
        {1023, 1, 32, "VV"},       {255, 0, 16, "FF"}, {-1, 3, 32, ""},
    };
    for (const auto& c : cases) EXPECT_EQ(IntToBase(c.value, c.width, c.base), c.text) << c.value;
}

TEST(TextToIntTest, FollowsTheIntegerRuleExactly) {
    const struct { const char* text; bool ok; long value; } cases[] = {
        {"$1F", true, 31},         {"$1f", true, 31},       {"  -7", true, -7},     {"+12", true, 12},
        {"2147483647", true, 2147483647L},                  {"-2147483648", true, -2147483647L - 1},
        {"$FFFFFFFF", true, -1},   {"$000000001", true, 1},  // leading zeros are not significant
        {"2147483648", false, 0},  {"99999999999999999999", false, 0}, {"$123456789", false, 0},
        {"7 ", false, 0},          {"\t7", false, 0},       {"0x1F", false, 0},     {"", false, 0},
        {"-", false, 0},           {"+$1F", false, 0},      {"$", false, 0},        {"1e3", false, 0},
    };
    for (const auto& c : cases) {
        long value = 12345;
        EXPECT_EQ(TextToInt(c.text, value), c.ok) << c.text;
        EXPECT_EQ(value, c.ok ? c.value : 12345) << c.text;
    }
    EXPECT_EQ(TextToIntDef("nope", -9), -9);
}

TEST(RoundingTest, HalvesGoToTheEvenNeighbour) {
    const struct { unsigned long long num, den, rounded; } cases[] = {
        {1535, 1024, 1}, {1536, 1024, 2}, {2560, 1024, 2}, {2561, 1024, 3}, {3584, 1024, 4},
        {0, 1024, 0},    {7, 0, 0},       {~0ull, 1, ~0ull}, {~0ull, ~0ull, 1}, {~0ull - 1, 2, (~0ull) / 2},
    };
    for (const auto& c : cases) EXPECT_EQ(DivRoundHalfEven(c.num, c.den), c.rounded) << c.num << "/" << c.den;
    const struct { unsigned long long part, whole; int percent; } percents[] = {
        {1, 200, 0}, {3, 200, 2}, {5, 200, 2}, {199, 200, 100}, {200, 200, 100}, {300, 200, 100},
        {5, 0, 0},   {1ull << 62, 1ull << 63, 50},
    };
    for (const auto& c : percents) EXPECT_EQ(PercentHalfEven(c.part, c.whole), c.percent) << c.part << "/" << c.whole;
}

}  // namespace
