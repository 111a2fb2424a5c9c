// Built-in palettes, the level scale, user colour maps: pens, lookup,
// band normalisation, upgrade and taking maps in from recordings.
#include "display/ColorPalettes.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

// ---------------------------------------------------------------------------
// Built-in palettes

struct PaletteCase {
    int scheme;
    bool deEmphasis;
    int index;
    VesRgb rgb;
};

class LevelPalettes : public ::testing::TestWithParam<PaletteCase> {};

TEST_P(LevelPalettes, EntryAsDefined)
{
    const PaletteCase& c = GetParam();
    const LevelPalette p = BuildLevelPalette(c.scheme, c.deEmphasis);
    const VesRgb got = p[static_cast<std::size_t>(c.index)];
    EXPECT_EQ(got, c.rgb) << "scheme " << c.scheme << (c.deEmphasis ? " de-emphasis" : "") << " index " << c.index
                          << ": " << int(got.r) << "," << int(got.g) << "," << int(got.b);
}

INSTANTIATE_TEST_SUITE_P(
    Entries, LevelPalettes,
    ::testing::Values(
        // Each segment's first and last entry of the normal palettes.
        PaletteCase{0, false, 0, {255, 255, 255}}, PaletteCase{0, false, 20, {255, 255, 15}},
        PaletteCase{0, false, 21, {255, 255, 0}}, PaletteCase{0, false, 41, {255, 15, 0}},
        PaletteCase{0, false, 42, {255, 0, 0}}, PaletteCase{0, false, 63, {3, 0, 0}},
        PaletteCase{1, false, 0, {0, 0, 0}}, PaletteCase{1, false, 63, {0, 0, 0}},
        PaletteCase{2, false, 63, {3, 3, 3}}, PaletteCase{3, false, 31, {255, 7, 7}},
        PaletteCase{3, false, 32, {255, 0, 0}}, PaletteCase{4, false, 40, {0, 0, 191}},
        PaletteCase{5, false, 9, {255, 39, 39}}, PaletteCase{5, false, 10, {255, 0, 0}},
        PaletteCase{5, false, 21, {255, 255, 0}}, PaletteCase{5, false, 32, {0, 255, 0}},
        PaletteCase{5, false, 42, {0, 255, 255}}, PaletteCase{5, false, 53, {0, 0, 255}},
        PaletteCase{6, false, 16, {255, 255, 0}}, PaletteCase{6, false, 31, {15, 255, 240}},
        PaletteCase{7, false, 47, {15, 0, 240}}, PaletteCase{7, false, 48, {0, 0, 255}},
        PaletteCase{9, false, 10, {215, 108, 10}}, PaletteCase{-1, false, 63, {3, 2, 63}},
        // De-emphasis variants.
        PaletteCase{0, true, 16, {255, 255, 128}}, PaletteCase{0, true, 47, {75, 0, 0}},
        PaletteCase{0, true, 48, {0, 0, 0}}, PaletteCase{2, true, 16, {225, 225, 225}},
        PaletteCase{2, true, 47, {9, 9, 9}}, PaletteCase{3, true, 63, {7, 3, 3}},
        PaletteCase{4, true, 32, {127, 127, 255}}, PaletteCase{5, true, 20, {255, 247, 8}},
        PaletteCase{5, true, 21, {255, 255, 0}}, PaletteCase{6, true, 47, {0, 15, 255}},
        PaletteCase{6, true, 48, {0, 0, 0}}, PaletteCase{7, true, 31, {255, 15, 8}},
        PaletteCase{7, true, 32, {255, 0, 0}}, PaletteCase{100, true, 63, {252, 253, 192}}));

TEST(LevelPalettes, BlackAndWhiteDeEmphasisIsVisibleAndDarkens)
{
    const LevelPalette p = BuildLevelPalette(1, true);
    const VesRgb white{255, 255, 255};
    int previous = 256;
    for (const VesRgb& c : p) {
        EXPECT_NE(c, white);
        EXPECT_EQ(c.r, c.g);
        EXPECT_EQ(c.g, c.b);
        EXPECT_LE(c.r, previous);
        previous = c.r;
    }
    EXPECT_EQ(p[63], (VesRgb{0, 0, 0}));
    EXPECT_GT(p[0].r, 200);
}

// ---------------------------------------------------------------------------
// Level scale

TEST(LevelScale, ThresholdExtremes)
{
    for (int w : {0, -5}) {
        const LevelScale s(w, 0);
        EXPECT_EQ(s.threshold(), 1.0);
        EXPECT_EQ(s.paletteIndex(1.0), -1);
        EXPECT_EQ(s.paletteIndex(1.0001), 0);
    }
    for (int w : {32, 40}) {
        const LevelScale s(w, 0);
        EXPECT_EQ(s.threshold(), 2.56e7);
        EXPECT_EQ(s.paletteIndex(2.56e7), -1);
        EXPECT_GE(s.paletteIndex(2.57e7), 0);
    }
    // Slider position 16: half way on the logarithmic scale.
    EXPECT_NEAR(LevelScale(16, 0).threshold(), std::sqrt(2.56e7), 1e-6);
}

TEST(LevelScale, FullScaleIsTheTopIndexAndContrastBendsTheMiddle)
{
    const LevelScale flat(0, 0);
    EXPECT_EQ(flat.paletteIndex(kFullScalePower), 63);
    EXPECT_EQ(flat.paletteIndex(kFullScalePower * 0.999), 63);
    EXPECT_EQ(flat.paletteIndex(kFullScalePower * 4), 63);
    const double mid = std::sqrt(kFullScalePower);  // x = 0.5
    EXPECT_EQ(flat.paletteIndex(mid), 32);
    EXPECT_EQ(LevelScale(0, 2).paletteIndex(mid), 16);   // 0.5^2
    EXPECT_EQ(LevelScale(0, -2).paletteIndex(mid), 45);  // 0.5^(1/2)
    // The colour bar asks below the threshold too: the weakest index.
    EXPECT_EQ(LevelScale(20, 2).paletteIndexUnclipped(2.0), 0);
}

// The level mapping as defined, to check the boundary search against.
int definedIndex(double p, int thresHold, int contrast)
{
    const double lnT = thresHold < 1 ? 0.0 : thresHold < 32 ? std::log(2.56e7) * thresHold * 0.03125 : std::log(2.56e7);
    if (p <= std::exp(lnT))
        return -1;
    double x = (std::log(p) - lnT) / (std::log(kFullScalePower) - lnT);
    if (contrast > 0)
        x = std::pow(x, 1 + contrast / 2.0);
    else if (contrast < 0)
        x = std::pow(x, 1 / (1 - contrast / 2.0));
    return std::clamp(static_cast<int>(x * 64), 0, 63);
}

TEST(LevelScale, BoundarySearchAgreesWithTheDefinition)
{
    for (int thresHold : {0, 7, 16, 31, 32})
        for (int contrast : {-10, -3, 0, 1, 4, 10}) {
            const LevelScale s(thresHold, contrast);
            int mismatches = 0;
            for (double db = -100; db <= 10; db += 0.003) {
                const double p = kFullScalePower * std::pow(10.0, db / 10);
                mismatches += s.paletteIndex(p) != definedIndex(p, thresHold, contrast);
            }
            EXPECT_EQ(mismatches, 0) << thresHold << " " << contrast;
        }
}

// Powers are looked up in cells of a 64th of an octave: on either side of
// every cell edge the index must still be the defined one.
TEST(LevelScale, CellEdgesAgreeWithTheDefinition)
{
    for (int thresHold : {0, 16, 31})
        for (int contrast : {-10, 0, 10}) {
            const LevelScale s(thresHold, contrast);
            int mismatches = 0;
            for (int e = 0; e <= 31; ++e)
                for (int cell = 0; cell < 64; ++cell) {
                    const double edge = std::ldexp(1.0 + cell / 64.0, e);
                    for (double p : {std::nextafter(edge, 0.0), edge, std::nextafter(edge, 1e300)})
                        mismatches += s.paletteIndex(p) != definedIndex(p, thresHold, contrast);
                }
            EXPECT_EQ(mismatches, 0) << thresHold << " " << contrast;
            EXPECT_EQ(s.paletteIndex(0.0), -1);
            EXPECT_EQ(s.paletteIndex(-5e8), -1);
            EXPECT_EQ(s.paletteIndex(std::nan("")), -1);
        }
}

TEST(UserMapKey, ThousandthsOfADecibelTowardZero)
{
    EXPECT_EQ(UserMapKey(kFullScalePower), 0);
    EXPECT_EQ(UserMapKey(kFullScalePower / 10), -10000);
    EXPECT_EQ(UserMapKey(kFullScalePower * std::pow(10.0, -0.00005)), 0);  // -0.0005 dB
    EXPECT_EQ(UserMapKey(0.0), kNoUserKey);
    EXPECT_EQ(UserMapKey(-1.0), kNoUserKey);
    EXPECT_NEAR(UserMapKey(kFullScalePower * 1e-100), -1000000, 1);  // far below, still in range
}

// ---------------------------------------------------------------------------
// User maps

VesColorMap mapWith(std::initializer_list<VesColorMapRad> bands)
{
    VesColorMap m;
    std::size_t i = 0;
    for (const auto& b : bands)
        m.m_bands[i++] = b;
    m.m_colorMapRader = static_cast<std::int32_t>(bands.size());
    return m;
}

TEST(UserPalette, PensInterpolateWithATruncatedStepAndEndOnColTo)
{
    VesColorMap m = mapWith({{0, -30000, -10000, 3, 0x000000, 0xFFFFFF}, {-30000, -60000, -30000, 1, 0x0000FF, 0}});
    const UserPalette p = BuildUserPalette(m);
    ASSERT_EQ(p.pens().size(), 4u);
    EXPECT_EQ(p.pens()[0], (VesRgb{0, 0, 0}));
    EXPECT_EQ(p.pens()[1], (VesRgb{85, 85, 85}));
    EXPECT_EQ(p.pens()[2], (VesRgb{255, 255, 255}));
    EXPECT_EQ(p.pens()[3], (VesRgb{255, 0, 0}));  // 0x0000FF is red
    EXPECT_EQ(m.m_bands[0].m_firstPenIx, 0);
    EXPECT_EQ(m.m_bands[1].m_firstPenIx, 3);
    // Bands beyond those in use keep no pen index.
    EXPECT_EQ(m.m_bands[2].m_firstPenIx, std::numeric_limits<std::int32_t>::min());
}

struct LookupCase {
    std::int32_t key;
    int pen;
};

class UserLookup : public ::testing::TestWithParam<LookupCase> {
protected:
    // Band 0: 0 .. -60 dB in 60 pens of 1 dB; band 1: -60 .. -80 dB in 2 pens.
    VesColorMap map = mapWith({{0, -60000, -1000, 60, 0, 0xFFFFFF}, {-60000, -80000, -10000, 2, 0, 0xFFFFFF}});
    UserPalette pal = BuildUserPalette(map);
};

TEST_P(UserLookup, PenForKey)
{
    EXPECT_EQ(pal.lookup(GetParam().key), GetParam().pen) << GetParam().key;
}

INSTANTIATE_TEST_SUITE_P(Keys, UserLookup,
                         ::testing::Values(LookupCase{0, 0},            // DbFrom: the band's first pen
                                           LookupCase{-500, 0},          // -0.5 dB
                                           LookupCase{-59500, 59},       // last pen of band 0
                                           LookupCase{-60000, 60},       // DbTo belongs to the next band
                                           LookupCase{-79999, 61},       // min(b, Count - 1)
                                           LookupCase{-80000, -1},       // below every band
                                           LookupCase{1, -1},            // above the first band's DbFrom
                                           LookupCase{kNoUserKey, -1}));

TEST(UserPalette, BandsThatWereNeverNormalisedDoNotBreakTheLookup)
{
    VesColorMap m = mapWith({{0, -10000, 0, 0, 0, 0xFFFFFF}, {-10000, -2000000000, -1, 2000000000, 0, 0xFFFFFF}});
    m.m_colorMapRader = 200;  // more bands in use than there are
    const UserPalette p = BuildUserPalette(m);
    EXPECT_EQ(p.bands().size(), VesColorMap::kBands);
    EXPECT_EQ(p.lookup(-5000), 0);  // zero step: the band's first pen
    const int last = p.lookup(-1000000000);
    EXPECT_EQ(last, 1 + UserPalette::kMaxPensPerBand - 1);
    EXPECT_LT(static_cast<std::size_t>(last), p.pens().size());
}

// Normalisation of a band: (from, to, step, count) before and after.
struct BandCase {
    const char* name;
    BandField field;
    VesColorMapRad in;
    std::int32_t step, count;
};

class BandNormalisation : public ::testing::TestWithParam<BandCase> {};

TEST_P(BandNormalisation, StepAndCount)
{
    VesColorMapRad b = GetParam().in;
    normalizeColorMapBand(b, GetParam().field);
    EXPECT_EQ(b.m_dbStep, GetParam().step);
    EXPECT_EQ(b.m_count, GetParam().count);
    EXPECT_EQ(b.m_dbFrom, GetParam().in.m_dbFrom);
    EXPECT_EQ(b.m_dbTo, GetParam().in.m_dbTo);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, BandNormalisation,
    ::testing::Values(
        BandCase{"StepLeftGivesCount", BandField::DbStep, {-20000, -80000, -10000, 1}, -10000, 6},
        BandCase{"CountLeftGivesStep", BandField::Count, {-20000, -80000, -10000, 3}, -20000, 3},
        BandCase{"EditedZeroStepFromCount", BandField::DbFrom, {0, -90000, 0, 0}, -90000, 1},
        BandCase{"EditedCountNotPositiveWithZeroStep", BandField::Count, {0, -90000, 0, -4}, -90000, 1},
        BandCase{"EditedCountNegativeFlipsStep", BandField::Count, {0, -60000, 10000, -1}, -10000, 5},
        BandCase{"EditedRowStillEmpty", BandField::DbStep, {-10000, 0, 5, -3}, 5, 1},
        BandCase{"ReadZeroStepFromCount", BandField::None, {0, -90000, 0, 90}, -1000, 90},
        BandCase{"ReadCountFromStep", BandField::None, {0, -60000, -1000, 7}, -1000, 60},
        BandCase{"ReadNonPositiveCountTakesMagnitude", BandField::None, {0, -60000, 1000, 0}, -1016, 59},
        BandCase{"ReadInvertedRangeStepStaysNegative", BandField::None, {-60000, 0, 1000, 5}, -1, 60},
        BandCase{"ReadEmptyBandOnlyFixesCount", BandField::None, {-5000, -5000, 0, -2}, 0, 1},
        BandCase{"ReadExtremeRangeDoesNotOverflow", BandField::None,
                 {std::numeric_limits<std::int32_t>::max(), std::numeric_limits<std::int32_t>::min(), -1, 1},
                 -2, std::numeric_limits<std::int32_t>::max()}),
    [](const auto& p) { return std::string(p.param.name); });

TEST(UpgradeColorMap, WholeDecibelMapsBecomeThousandthsAndEmptyBandsFresh)
{
    VesColorMap m;
    m.m_release = 2;
    m.m_version = 5;
    m.m_reserv = -1;
    m.m_bands[0] = {-10, -50, -10, 4, 1, 2, 7};
    m.m_bands[1] = {0, 0, 0, 0, 5, 6, 7};  // empty: replaced by a new map's band
    m.m_colorMapRader = 1;
    UpgradeColorMap(m);
    EXPECT_EQ(m.m_reserv, -2);
    EXPECT_EQ(m.m_bands[0].m_dbFrom, -10000);
    EXPECT_EQ(m.m_bands[0].m_dbTo, -50000);
    EXPECT_EQ(m.m_bands[0].m_dbStep, -10000);
    EXPECT_EQ(m.m_bands[0].m_count, 4);
    EXPECT_EQ(m.m_bands[1], VesColorMap::defaultBands()[1]);

    // A current map is only normalised.
    VesColorMap current;
    current.m_bands[0] = {0, -60000, 0, 60};
    UpgradeColorMap(current);
    EXPECT_EQ(current.m_reserv, -2);
    EXPECT_EQ(current.m_bands[0].m_dbStep, -1000);
    EXPECT_EQ(current.m_bands[0].m_dbFrom, 0);
}

TEST(TakeInColorMap, AppendsOnlyNamedMapsInUseNotAlreadyListed)
{
    std::vector<VesColorMap> list;
    VesColorMap m = mapWith({{0, -60000, -1000, 60}});
    m.m_name = "Bats";
    m.m_modTime = 1234;
    EXPECT_TRUE(TakeInColorMap(list, m));
    EXPECT_FALSE(TakeInColorMap(list, m));  // same name and time
    VesColorMap later = m;
    later.m_modTime = 5678;
    EXPECT_TRUE(TakeInColorMap(list, later));
    VesColorMap unnamed = m;
    unnamed.m_name = " leading blank";
    EXPECT_FALSE(TakeInColorMap(list, unnamed));
    unnamed.m_name.clear();
    EXPECT_FALSE(TakeInColorMap(list, unnamed));
    VesColorMap unused = m;
    unused.m_name = "Other";
    unused.m_colorMapRader = 0;
    EXPECT_FALSE(TakeInColorMap(list, unused));
    // Names compare over the 31 stored characters.
    VesColorMap longName = m;
    longName.m_name = std::string(31, 'x') + "A";
    EXPECT_TRUE(TakeInColorMap(list, longName));
    longName.m_name = std::string(31, 'x') + "B";
    EXPECT_FALSE(TakeInColorMap(list, longName));
    EXPECT_EQ(list.size(), 3u);
}

}  // namespace
