// Start times, nights, sites and detectors read from outside text.
#include "project/ProjectText.h"

#include "records/GuanoRecord.h"

#include <gtest/gtest.h>

namespace {

std::string iso(const char* text)
{
    const auto t = parseIsoTimestamp(text);
    return t ? formatLocalTime(*t) : "none";
}

TEST(ProjectText, GuanoTimestampsAreReadInTheirLocalWallTime)
{
    const struct {
        const char* in;
        const char* out;
    } cases[] = {
        {"2026-06-01T22:15:03", "2026-06-01 22:15:03.000"},
        {"2026-06-01 22:15:03.25", "2026-06-01 22:15:03.250"},
        {"2026-06-01T22:15:03.123456+02:00", "2026-06-01 22:15:03.123"},  // offset not applied
        {"2026-06-01T22:15:03-0500", "2026-06-01 22:15:03.000"},
        {"2026-06-01T22:15Z", "2026-06-01 22:15:00.000"},
        {"  2024-02-29T00:00:00 \r\n", "2024-02-29 00:00:00.000"},
        {"2023-02-29T00:00:00", "none"},  // not a date
        {"2026-13-01T00:00:00", "none"},
        {"2026-06-01T24:00:00", "none"},
        {"2026-06-01T22:15:03.", "none"},
        {"2026-06-01T22:15:03 nonsense", "none"},
        {"2026-06-01", "none"},
        {"", "none"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(iso(c.in), c.out) << c.in;
}

TEST(ProjectText, NamesGiveATimeOnlyFromAWholeRealDateAndTime)
{
    const struct {
        const char* name;
        const char* out;
    } cases[] = {
        {"SITE1_20260601_221503.wav", "2026-06-01 22:15:03.000"},
        {"20260601-221503.wav", "2026-06-01 22:15:03.000"},
        {"20260601T221503_0001.wav", "2026-06-01 22:15:03.000"},
        {"Car370293-2016-Pass1-Z3-US-16611-0_20160629_232346_627.wav", "2016-06-29 23:23:46.000"},
        {"120260601_221503.wav", "none"},   // part of a longer number
        {"20260601_2215031.wav", "none"},
        {"20261301_221503.wav", "none"},    // month 13
        {"20260601_256003.wav", "none"},
        {"99999999_999999_20260601_221503.wav", "2026-06-01 22:15:03.000"},  // the first valid one
        {"recording.wav", "none"},
    };
    for (const auto& c : cases) {
        const auto t = parseNameTimestamp(c.name);
        EXPECT_EQ(t ? formatLocalTime(*t) : "none", c.out) << c.name;
    }
    const auto h = parseHeaderTimestamp("01.06.2026", "22:15");
    ASSERT_TRUE(h);
    EXPECT_EQ(formatLocalTime(*h), "2026-06-01 22:15:00.000");
    EXPECT_TRUE(parseHeaderTimestamp("20260601", "22:15:03"));
    EXPECT_FALSE(parseHeaderTimestamp("", ""));
    EXPECT_FALSE(parseHeaderTimestamp("2026-06-01", "22:15:0"));
}

TEST(ProjectText, NightsRunFromNoonToNoonAcrossMonthsAndYears)
{
    const struct {
        LocalTime t;
        const char* night;
    } cases[] = {
        {{2026, 6, 1, 12, 0, 0}, "2026-06-01"},
        {{2026, 6, 1, 23, 59, 59}, "2026-06-01"},
        {{2026, 6, 2, 11, 59, 59}, "2026-06-01"},
        {{2026, 7, 1, 3, 0, 0}, "2026-06-30"},
        {{2027, 1, 1, 0, 30, 0}, "2026-12-31"},
        {{2024, 3, 1, 6, 0, 0}, "2024-02-29"},
        {{2026, 2, 30, 6, 0, 0}, ""},  // not a date
    };
    for (const auto& c : cases)
        EXPECT_EQ(nightOf(c.t), c.night) << formatLocalTime(c.t);
}

TEST(ProjectText, SitesAndDetectorsFromFolderLevelsOrGuano)
{
    EXPECT_EQ(folderLevel("SITE/DET/NIGHT/a.wav", 1), "SITE");
    EXPECT_EQ(folderLevel("SITE/DET/NIGHT/a.wav", 2), "DET");
    EXPECT_EQ(folderLevel("SITE/DET/NIGHT/a.wav", 3), "NIGHT");
    EXPECT_EQ(folderLevel("SITE/DET/NIGHT/a.wav", 4), "") << "the file name is no level";
    EXPECT_EQ(folderLevel("SITE//DET/a.wav", 2), "DET");
    EXPECT_EQ(folderLevel("a.wav", 1), "");
    EXPECT_EQ(folderLevel("SITE/a.wav", 0), "");

    GuanoRecord g;
    EXPECT_EQ(guanoSite(g), "");
    g.set("Model", "Mic 4");
    g.set("Site Name", "  North\tmeadow \x01 pond ");
    EXPECT_EQ(guanoSite(g), "North meadow pond");
    EXPECT_EQ(guanoDetector(g), "Mic 4");
    g.set("Serial", "SN-0042");
    EXPECT_EQ(guanoDetector(g), "SN-0042") << "the serial names one detector of a model";

    const std::string longName(200, 'x');
    EXPECT_EQ(cleanLabel(longName).size(), 120u);
    const std::string umlauts = std::string(119, 'a') + "\xC3\xA4";  // a 2-byte character across the cut
    EXPECT_EQ(cleanLabel(umlauts), std::string(119, 'a'));
}

}  // namespace
