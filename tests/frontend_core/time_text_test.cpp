#include "frontend_core/time_text.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

namespace {

struct FormatCase {
    int ms;
    const char* text;
};

TEST(FormatTime, GivesFixedFieldWidths) {
    const FormatCase cases[] = {
        {0, "00:00:00.000"},
        {5, "00:00:00.005"},
        {50, "00:00:00.050"},
        {100, "00:00:00.100"},
        {999, "00:00:00.999"},
        {1000, "00:00:01.000"},
        {59999, "00:00:59.999"},
        {60000, "00:01:00.000"},
        {205040, "00:03:25.040"},
        {3599999, "00:59:59.999"},
        {3600000, "01:00:00.000"},
        {3723045, "01:02:03.045"},
        {35999999, "09:59:59.999"},
        {36000000, "10:00:00.000"},
        {359999999, "99:59:59.999"},
        {360000000, "100:00:00.000"},
        {INT_MAX, "596:31:23.647"},
        // Negative lengths should not occur; they show as zero.
        {-1, "00:00:00.000"},
        {-3723045, "00:00:00.000"},
        {INT_MIN, "00:00:00.000"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(FormatTime(c.ms), c.text) << "ms = " << c.ms;
    }
}

struct ParseCase {
    std::string text;
    int ms;
};

TEST(ParseTime, ReadsEachFieldLikeAtol) {
    const ParseCase cases[] = {
        {"01:02:03.045", 3723045},
        {"100:30:00.000", 361800000},
        {"596:31:23.647", INT_MAX},
        {"00:00:00.000", 0},
        {"", 0},
        // The digits after the dot are a count of milliseconds.
        {"00:00:01.5", 1005},
        {"00:00:01.0500", 1500},
        // Without ":" the whole text is both the seconds and the milliseconds.
        {"90", 90090},
        {"1.5", 1005},
        // Without "." the whole text is read for the milliseconds: 0 here.
        {"00:01:00", 60000},
        {"01:02:03", 3723001},
        // Minutes come from at most two characters after the first ":".
        {"00:123:00.000", 720000},
        {"1:2:3.4", 3723004},
        {"00:5x:00.000", 300000},
        // Leading blanks and a sign are taken; other text counts as 0.
        {" 01: 2: 3. 45", 3723045},
        {"-01:00:00.000", -3600000},
        {"+01:00:00.000", 3600000},
        {"abc", 0},
        {"xx:yy:zz.www", 0},
        {":::", 0},
        {"...", 0},
        // Seconds after the last ":", even with more than two colons.
        {"01:02:03:04.005", 3720000 + 4000 + 5},
        // Non-ASCII text around the fields does not disturb them.
        {"01:02:03.045 秒", 3723045},
        {"时间", 0},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ParseTime(c.text), c.ms) << '"' << c.text << '"';
    }
}

TEST(ParseTime, OverflowWrapsAsIn32BitArithmetic) {
    const ParseCase cases[] = {
        // 597 hours is 2149200000 ms, 2^32 - 2145767296 as a signed value.
        {"597:00:00.000", -2145767296},
        // 2^32 ms wraps to 0, 2^32 + 1 to 1.
        {"1193:02:47.296", 0},
        {"1193:02:47.297", 1},
        // A field beyond the 32-bit range stops at the limit before the sum.
        {"99999999999", static_cast<int>(2147483647u * 1001u)},
        {"00:00:00.99999999999", INT_MAX},
        {"-99999999999", INT_MIN},  // -2^31 * 1001 modulo 2^32
        {"2147483647:00:00.000", static_cast<int>(2147483647u * 3600000u)},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ParseTime(c.text), c.ms) << '"' << c.text << '"';
    }
}

TEST(TimeText, ParseTimeGivesBackWhatFormatTimeWasGiven) {
    std::vector<int> values = {0,         1,         9,           10,     99,      100,
                               999,       1000,      59999,       60000,  3599999, 3600000,
                               359999999, 360000000, INT_MAX - 1, INT_MAX};
    // A spread over the whole range: steps of a prime so every field varies.
    for (long long v = 0; v <= INT_MAX; v += 2147483647 / 4099 + 7) {
        values.push_back(static_cast<int>(v));
    }
    for (int ms : values) {
        const std::string text = FormatTime(ms);
        EXPECT_EQ(ParseTime(text), ms) << text;
    }
}

}  // namespace
