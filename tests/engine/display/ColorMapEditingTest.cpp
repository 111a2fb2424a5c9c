#include "display/ColorMapEditing.h"

#include "display/ColorPalettes.h"

#include <gtest/gtest.h>

#include <limits>

namespace {

TEST(ColorMapEditing, RowCheckNormalisesAndNamesBothLevels)
{
    struct Case {
        std::int32_t from, to, step, count;
        const char* message;
        std::int32_t wantCount;
    };
    const Case cases[] = {
        {-20000, -80000, -10000, 1, "", 6},
        {-80000, -20000, 0, 1, "From (-80) must be greater then To (-20).", 1},
        {-20500, -20500, 0, 1, "From (-20.5) must be greater then To (-20.5).", 1},
        {0, 0, 0, 0, "", 0},  // an empty row is not checked (nor touched)
        {-12345, -60000, 0, 3, "", 3},
    };
    for (const Case& c : cases) {
        VesColorMapRad band;
        band.m_dbFrom = c.from;
        band.m_dbTo = c.to;
        band.m_dbStep = c.step;
        band.m_count = c.count;
        EXPECT_EQ(checkColorMapRow(band), c.message) << c.from << " " << c.to;
        EXPECT_EQ(band.m_count, c.wantCount) << c.from << " " << c.to;
    }
    EXPECT_EQ(colorMapDbText(-12345), "-12.35");
    EXPECT_EQ(colorMapDbText(-90), "-0.09");
}

TEST(ColorMapEditing, StoredNameIsTrimmedAndCutOnACharacterBoundary)
{
    EXPECT_EQ(colorMapStoredName("  calls  "), "calls");
    EXPECT_EQ(colorMapStoredName(std::string(40, 'a')), std::string(30, 'a'));
    // 30 two-byte characters are 60 bytes: the name keeps 15 whole ones.
    std::string umlauts;
    for (int i = 0; i < 30; ++i)
        umlauts += "\xC3\xA4";
    const std::string stored = colorMapStoredName(umlauts);
    EXPECT_EQ(stored.size(), 30u);
    EXPECT_EQ(stored, umlauts.substr(0, 30));
    // Stored and read back through the 32-byte field, the name is the same.
    VesColorMap m;
    m.m_name = stored;
    VesColorMap back;
    ASSERT_TRUE(back.fromBytes(m.toBytes()));
    EXPECT_EQ(back.m_name, stored);
}

TEST(ColorMapEditing, RowsStoredIntoTheMap)
{
    VesColorMap m;
    m.m_release = 3;
    m.m_reserv = -2;
    auto rows = VesColorMap::defaultBands();
    rows[0] = {0, -30000, 0, 3, 0x0000FF, 0xFFFFFF, 7};
    rows[2] = {-30000, -60000, -5000, 1, 0, 0xFFFFFF, 7};
    storeColorMapRows(m, rows, " night ", 132000000000000000LL);
    EXPECT_EQ(m.m_name, "night");
    EXPECT_EQ(m.m_modTime, 132000000000000000LL);
    EXPECT_EQ(m.m_release, 3);
    EXPECT_EQ(m.m_colorMapRader, 3);
    EXPECT_EQ(m.m_bands[0].m_dbStep, -10000);
    EXPECT_EQ(m.m_bands[2].m_count, 6);
    EXPECT_EQ(m.m_bands[0].m_firstPenIx, std::numeric_limits<std::int32_t>::min());
    const std::int64_t now = colorMapTimeNow();
    EXPECT_GT(now, 132000000000000000LL);  // after 2019
}

TEST(ColorMapEditing, MapsFromRecordingsWithExtremeLevelsStayUsable)
{
    // A damaged or hostile map: whole-decibel levels that overflow 32 bits
    // when converted, and counts at the ends of the range.
    VesColorMap m;
    m.m_release = 2;
    m.m_version = 5;
    m.m_reserv = -1;
    m.m_colorMapRader = 64;
    m.m_bands[0] = {std::numeric_limits<std::int32_t>::max(), std::numeric_limits<std::int32_t>::min(), 1,
                    std::numeric_limits<std::int32_t>::max(), 0, 0xFFFFFF, 0};
    m.m_bands[1] = {0, -100, 0, std::numeric_limits<std::int32_t>::min(), 0, 0xFFFFFF, 0};
    std::vector<VesColorMap> maps{m};
    upgradeColorMaps(maps);
    const VesColorMapRad& b0 = maps[0].m_bands[0];
    EXPECT_GT(b0.m_dbFrom, b0.m_dbTo);
    EXPECT_GE(b0.m_count, 1);
    EXPECT_LT(b0.m_dbStep, 0);
    EXPECT_EQ(maps[0].m_reserv, -2);
    EXPECT_GE(maps[0].m_bands[1].m_count, 1);
    UserPalette pal = BuildUserPalette(maps[0]);
    EXPECT_GE(pal.lookup(-5000), 0);
    EXPECT_LE(pal.pens().size(), 64u * UserPalette::kMaxPensPerBand);
}

}  // namespace
