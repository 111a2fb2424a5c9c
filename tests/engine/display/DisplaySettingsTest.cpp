#include "display/DisplaySettings.h"

#include <gtest/gtest.h>

#include <limits>

namespace {

struct ReadCase {
    const char* text;
    NumEditFormat format;
    NumEditRead::Status status;
    std::int64_t value;
    const char* message;
};

const NumEditFormat kMs = plotSizeFormat();
const NumEditFormat kDb{3, -200000, 20000, true, false};
const NumEditFormat kHz{0, 0, 96000, false, true};
const NumEditFormat kWide{0, std::numeric_limits<std::int64_t>::min(), std::numeric_limits<std::int64_t>::max(), false, false};

TEST(NumEdit, ReadsTextAsTheFieldAllows)
{
    using S = NumEditRead::Status;
    const ReadCase cases[] = {
        {"0,5", kMs, S::Ok, 500, ""},
        {" 12.25 ", kMs, S::Ok, 12250, ""},
        {"1.0009", kMs, S::Ok, 1000, ""},  // decimals beyond the third are cut
        {"36000000", kMs, S::Ok, 36000000000LL, ""},
        {"36000000.001", kMs, S::OutOfRange, 0, "Numeric '36000000.001' out of range (0.001 - 36000000)."},
        {"0", kMs, S::OutOfRange, 0, "Numeric '0' out of range (0.001 - 36000000)."},
        {"1a", kMs, S::IllegalCharacter, 0, "Illegal character in numeric '1a'."},
        {"1.2.3", kMs, S::IllegalCharacter, 0, "Illegal character in numeric '1.2.3'."},
        {"-", kMs, S::IllegalCharacter, 0, "Illegal character in numeric '-'."},
        {"", kMs, S::IllegalCharacter, 0, "Illegal character in numeric ''."},
        {"", kHz, S::Empty, 0, ""},
        {"-20.5", kDb, S::Ok, -20500, ""},
        {"-200.001", kDb, S::OutOfRange, 0, "Numeric '-200.001' out of range (-200 - 20)."},
        {"2.5", kHz, S::IllegalCharacter, 0, "Illegal character in numeric '2.5'."},
        // 64-bit limits: the overflow is found before the range check, and a
        // user's '%' is text, not a format.
        {"9223372036854775807", kWide, S::Ok, std::numeric_limits<std::int64_t>::max(), ""},
        {"-9223372036854775808", kWide, S::Ok, std::numeric_limits<std::int64_t>::min(), ""},
        {"9223372036854775808", kWide, S::OutOfRange, 0, nullptr},
        {"18446744073709551617", kWide, S::OutOfRange, 0, nullptr},
        {"99999999999999999999999", kMs, S::OutOfRange, 0, "Numeric '99999999999999999999999' out of range (0.001 - 36000000)."},
        {"%s%n", kMs, S::IllegalCharacter, 0, "Illegal character in numeric '%s%n'."},
    };
    for (const ReadCase& c : cases) {
        SCOPED_TRACE(c.text);
        const NumEditRead r = readNumEdit(c.text, c.format);
        EXPECT_EQ(r.status, c.status);
        if (c.status == S::Ok) {
            EXPECT_EQ(r.value, c.value);
        }
        if (c.message) {
            EXPECT_EQ(r.message, c.message);
        }
    }
}

TEST(NumEdit, WritesAndFiltersAsTheFieldShows)
{
    EXPECT_EQ(formatNumEdit(500, kMs), "0.5");
    EXPECT_EQ(formatNumEdit(1000000, kMs), "1000");
    EXPECT_EQ(formatNumEdit(-20500, kDb), "-20.5");
    EXPECT_EQ(formatNumEdit(std::numeric_limits<std::int64_t>::min(), kWide), "-9223372036854775808");
    EXPECT_EQ(formatNumEdit(1500, NumEditFormat{3, 0, 10000, false, false}), "1.500");
    // Pasted text keeps what typing accepts.
    EXPECT_EQ(numEditFilter("-1x2,5 ms", kMs), "12,5");
    EXPECT_EQ(numEditFilter("-1x2,5 ms", kDb), "-12,5");
    EXPECT_EQ(numEditFilter("4.8 kHz", kHz), "48");
    for (const char* t : {"12.5", "0,001", "7"})
        EXPECT_EQ(readNumEdit(formatNumEdit(readNumEdit(t, kMs).value, kMs), kMs).value, readNumEdit(t, kMs).value);
}

TEST(SettingsDerivedValues, TimeAndFrequencyResolution)
{
    struct Case {
        std::int64_t rate, timeExp;
        std::int32_t fft, overlap, window;
        const char* time;
        const char* freq;
    };
    const Case cases[] = {
        {384000, 1000, 512, 50, 2, "0.67 ms", "1050 Hz"},
        {384000, 1000, 256, 90, 1, "0.067 ms", "2730 Hz"},
        {44100, 1000, 2048, 75, 4, "12 ms", "28 Hz"},
        {44100, 1000, 2048, 0, 0, "46 ms", "18 Hz"},
        {500000, 1000, 16, 98, 4, "0.001 ms", "40625 Hz"},
        // Time expansion 10 (TimeExp25 10000): R = 441000.
        {44100, 10000, 1024, 50, 2, "1.2 ms", "603 Hz"},
        // A time expansion of 0 counts as none instead of dividing by zero.
        {44100, 0, 2048, 0, 0, "46 ms", "18 Hz"},
        {44100, 1000, 0, 50, 2, "", ""},
        {44100, 1000, 1024, -1, 2, "", "60 Hz"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.rate << " " << c.timeExp << " " << c.fft << " " << c.overlap);
        const std::int64_t r = settingsEffectiveRate(c.rate, c.timeExp);
        EXPECT_EQ(timeBetweenFftsText(c.fft, c.overlap, r), c.time);
        EXPECT_EQ(frequencyResolutionText(c.fft, c.window, r), c.freq);
    }
    // 500 kHz x time expansion 100 does not fit in 32 bits.
    EXPECT_EQ(settingsEffectiveRate(500000, 100000), 50000000);
    EXPECT_EQ(settingsEffectiveRate(3000000000LL, 100000), 300000000000LL);
}

TEST(SettingsChecks, FirstFailureGivesTheFixedText)
{
    VesAnaParms ok;
    ok.m_spectMin = 1000;
    ok.m_spectMax = 96000;
    ok.m_ampMin = -5000;
    ok.m_ampMax = 5000;
    const std::int64_t R = 192000;
    EXPECT_EQ(checkSpectSettings(ok, R), "");
    EXPECT_EQ(checkOscSettings(ok, true), "");
    EXPECT_EQ(checkFreqSettings(ok, R, true), "");

    struct Case {
        void (*change)(VesAnaParms&);
        const char* spect;
        const char* osc;
        const char* freq;
    };
    const Case cases[] = {
        {[](VesAnaParms& p) { p.m_leftChan = p.m_rightChan = false; }, "Error: At least one channel must be selected!",
         "Error: At least one channel must be selected!", "Error: At least one channel must be selected!"},
        {[](VesAnaParms& p) { p.m_plotSize = 0; }, "Error: Time per plot must not be below 0.001 msec or above 36000 sec!",
         "Error: Time per plot must not be below 0.001 msec or above 36000 sec!",
         "Error: Time per plot must not be below 0.001 msec or above 36000 sec!"},
        {[](VesAnaParms& p) { p.m_plotSize = kMaxPlotSizeMicros + 1; },
         "Error: Time per plot must not be below 0.001 msec or above 36000 sec!",
         "Error: Time per plot must not be below 0.001 msec or above 36000 sec!",
         "Error: Time per plot must not be below 0.001 msec or above 36000 sec!"},
        {[](VesAnaParms& p) { p.m_spectMax = 96001; }, "Error: Max frequency > 96000 Hz", "", "Error: Max frequency > 96000 Hz"},
        {[](VesAnaParms& p) { p.m_spectMin = 96000; }, "Error: Min frequency > Max frequency.", "",
         "Error: Min frequency > Max frequency."},
        {[](VesAnaParms& p) { p.m_spectMin = -1; }, "Error: Min frequency < zero.", "", "Error: Min frequency < zero."},
        // An unset maximum (R/2) passes the order check; an empty minimum does not.
        {[](VesAnaParms& p) { p.m_spectMax = -1; p.m_spectMin = 150000; }, "", "", "Error: Min frequency > Max frequency."},
        {[](VesAnaParms& p) { p.m_spectMax = -1; p.m_spectMin = -1; }, "Error: Min frequency < zero.", "",
         "Error: Min frequency > Max frequency."},
        {[](VesAnaParms& p) { p.m_fftSize = 1000; }, "Error: FFT size must be a power of two.", "", ""},
        {[](VesAnaParms& p) { p.m_fftOverLap = 100; }, "Error: FFT overlap must be below 100%.", "", ""},
        {[](VesAnaParms& p) { p.m_ampMax = 10001; }, "", "Error: Max amplitude > 100%", ""},
        {[](VesAnaParms& p) { p.m_ampMin = 5000; }, "", "Error: Min amplitude > Max amplitude.", ""},
        {[](VesAnaParms& p) { p.m_ampMin = -10001; }, "", "Error: Min amplitude < -100%.", ""},
    };
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        SCOPED_TRACE(i);
        VesAnaParms p = ok;
        cases[i].change(p);
        EXPECT_EQ(checkSpectSettings(p, R), cases[i].spect);
        EXPECT_EQ(checkOscSettings(p, true), cases[i].osc);
        EXPECT_EQ(checkFreqSettings(p, R, true), cases[i].freq);
    }
    // The defaults dialogs do not exchange the ranges and do not check them.
    VesAnaParms p = ok;
    p.m_ampMin = 9000;
    p.m_spectMin = 200000;
    EXPECT_EQ(checkOscSettings(p, false), "");
    EXPECT_EQ(checkFreqSettings(p, R, false), "");
}

TEST(SettingsChecks, FinishedRecordStoresHalfTheRateAsUnset)
{
    VesAnaParms p;
    p.m_spectMax = 96000;
    finishSettings(p, 192000);
    EXPECT_EQ(p.m_spectMax, -1);
    p.m_spectMax = 50000;
    p.m_fftSize = 1000;
    finishSettings(p, 192000);
    EXPECT_EQ(p.m_spectMax, 50000);
    EXPECT_EQ(p.m_fftSize, 512);
}

}  // namespace
