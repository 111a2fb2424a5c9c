#include "core/NumberText.h"
#include "core/TimeConv.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <limits>
#include <string>

using vkit::formatC;
using vkit::parseDouble;
using vkit::parseInt64;

// Under a locale with a decimal comma, the C library's own formatting changes;
// ours does not, in writing or in reading.
TEST(NumberText, DecimalPointUnderADecimalCommaLocale)
{
    vestest::DecimalCommaLocale german;
    if (!german.active())
        GTEST_SKIP() << "no German locale available (localedef)";
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.1f", 1.5);
    ASSERT_STREQ(buf, "1,5") << "the locale is in force";

    EXPECT_EQ(formatC("%.3f\t%1.0f dB %g", 12.5, -3.0, 0.25), "12.500\t-3 dB 0.25");
    vkit::snprintfC(buf, sizeof buf, "%2.2f", 2.0);
    EXPECT_STREQ(buf, "2.00");
    double v = 0;
    EXPECT_TRUE(parseDouble("1.25", v));
    EXPECT_EQ(v, 1.25);
    EXPECT_FALSE(parseDouble("1,25", v));
    char* end = nullptr;
    EXPECT_EQ(vkit::strtodC("3.5 kHz", &end), 3.5);
    EXPECT_STREQ(end, " kHz");
}

TEST(NumberText, ParsingTakesWholeNumbersOnly)
{
    struct Case {
        const char* text;
        bool isDouble;
        double d;
        bool isInt;
        std::int64_t i;
    } cases[] = {
        {"42", true, 42, true, 42},
        {"  -7 \r\n", true, -7, true, -7},
        {"+3", true, 3, true, 3},
        {"8.5", true, 8.5, false, 0},
        {"1e3", true, 1000, false, 0},
        {"9223372036854775807", true, 9223372036854775807.0, true, std::numeric_limits<std::int64_t>::max()},
        {"9223372036854775808", true, 9223372036854775808.0, false, 0},
        {"", false, 0, false, 0},
        {"abc", false, 0, false, 0},
        {"12abc", false, 0, false, 0},
        {"1 2", false, 0, false, 0},
        {"0x10", false, 0, false, 0},
    };
    for (const auto& c : cases) {
        double d = -1;
        std::int64_t i = -1;
        EXPECT_EQ(parseDouble(c.text, d), c.isDouble) << '"' << c.text << '"';
        if (c.isDouble) {
            EXPECT_EQ(d, c.d) << c.text;
        }
        EXPECT_EQ(parseInt64(c.text, i), c.isInt) << '"' << c.text << '"';
        if (c.isInt) {
            EXPECT_EQ(i, c.i) << c.text;
        }
    }
}

// Hours of sound at the highest rates: frames × 10^9 alone leaves 64 bits after
// about 5 hours at 500 kHz.
TEST(TimeConv, LongRecordingsConvertExactly)
{
    const std::int64_t rate = 500000;
    const std::int64_t tenHours = 10LL * 3600 * rate;
    EXPECT_EQ(vkit::framesToRealMicros(tenHours, rate, 1000), 10LL * 3600 * 1000000);
    EXPECT_EQ(vkit::framesToRealMicros(tenHours, rate, 10000), 3600LL * 1000000) << "time expansion 10";
    EXPECT_EQ(vkit::framesToFileMicros(tenHours, rate), 10LL * 3600 * 1000000);
    EXPECT_EQ(vkit::realMicrosToFrames(10LL * 3600 * 1000000, rate, 1000), tenHours);
    EXPECT_EQ(vkit::framesToRealMicros(1, 384000, 1000), 2) << "truncated";
    EXPECT_EQ(vkit::framesToRealMicros(-384000, 384000, 1000), -1000000);
    // Rate or time expansion 0 never divides by zero.
    EXPECT_EQ(vkit::framesToRealMicros(1000, 0, 0), 1000LL * 1000000);
    EXPECT_EQ(vkit::realMicrosToFrames(1000, 0, 0), 0);
    EXPECT_EQ(vkit::mulDiv(1, 2, 0), 0);
    EXPECT_EQ(vkit::mulDiv(std::numeric_limits<std::int64_t>::max(), 4, 2), std::numeric_limits<std::int64_t>::max())
        << "saturates";
    EXPECT_EQ(vkit::mulDiv(3000000000000LL, 5000000000LL, 1000000000LL), 15000000000000LL);
}
