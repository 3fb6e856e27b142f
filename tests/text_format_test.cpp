#include "params/text_format.h"

#include <gtest/gtest.h>

#include <climits>

namespace {

TEST(TextFormat, DecimalMatchesHandWrittenDigits) {
    EXPECT_EQ(Plugin::toDecimal(0), "0");
    EXPECT_EQ(Plugin::toDecimal(7), "7");
    EXPECT_EQ(Plugin::toDecimal(512), "512");
    EXPECT_EQ(Plugin::toDecimal(-40), "-40");
    EXPECT_EQ(Plugin::toDecimal(INT_MAX), "2147483647");
    EXPECT_EQ(Plugin::toDecimal(INT_MIN), "-2147483648");
    EXPECT_EQ(Plugin::toWideDecimal(100), L"100");
    EXPECT_EQ(Plugin::toWideDecimal(-1), L"-1");
}

TEST(TextFormat, JoinPutsOneSeparatorBetweenNeighbours) {
    EXPECT_EQ(Plugin::joinWide({L"1", L"2", L"4", L"8"}, L'|'), L"1|2|4|8");
    EXPECT_EQ(Plugin::joinWide({L"only"}, L'|'), L"only");
    EXPECT_EQ(Plugin::joinWide({}, L'|'), L"");
    EXPECT_EQ(Plugin::joinWide({L"", L""}, L'|'), L"|");
}

}  // namespace
