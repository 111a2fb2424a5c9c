#include "display/ColorPalettes.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

namespace {

VesRgb rgb(int r, int g, int b)
{
    auto c = [](int v) { return static_cast<std::uint8_t>(std::clamp(v, 0, 255)); };
    return {c(r), c(g), c(b)};
}

VesRgb grey(int v)
{
    return rgb(v, v, v);
}

VesRgb normalColor(int scheme, int i)
{
    switch (scheme) {
    case 0:
        if (i <= 20)
            return rgb(255, 255, 255 - 12 * i);
        if (i <= 41)
            return rgb(255, 255 - 12 * (i - 21), 0);
        return rgb(255 - 12 * (i - 42), 0, 0);
    case 1: return rgb(0, 0, 0);
    case 2: return grey(255 - 4 * i);
    case 3:
        if (i <= 31)
            return rgb(255, 255 - 8 * i, 255 - 8 * i);
        return rgb(255 - 8 * (i - 32), 0, 0);
    case 4:
        if (i <= 31)
            return rgb(255 - 8 * i, 255 - 8 * i, 255);
        return rgb(0, 0, 255 - 8 * (i - 32));
    case 5:
        if (i <= 9)
            return rgb(255, 255 - 24 * i, 255 - 24 * i);
        if (i <= 20)
            return rgb(255, 24 * (i - 10), 0);
        if (i <= 31)
            return rgb(255 - 24 * (i - 21), 255, 0);
        if (i <= 41)
            return rgb(0, 255, 24 * (i - 32));
        if (i <= 52)
            return rgb(0, 255 - 24 * (i - 42), 255);
        return rgb(0, 0, 255 - 24 * (i - 53));
    case 6:
        if (i <= 15)
            return rgb(255, 255, 255 - 16 * i);
        if (i <= 31)
            return rgb(255 - 16 * (i - 16), 255, 16 * (i - 16));
        if (i <= 47)
            return rgb(0, 255 - 16 * (i - 32), 255);
        return rgb(0, 0, 255 - 16 * (i - 48));
    case 7:
        if (i <= 15)
            return rgb(255, 255, 255 - 16 * i);
        if (i <= 31)
            return rgb(255, 255 - 16 * (i - 16), 0);
        if (i <= 47)
            return rgb(255 - 16 * (i - 32), 0, 16 * (i - 32));
        return rgb(0, 0, 255 - 16 * (i - 48));
    default: return rgb(255 - 4 * i, 128 - 2 * i, i);
    }
}

VesRgb deEmphasisColor(int scheme, int i)
{
    switch (scheme) {
    case 0:
        if (i <= 15)
            return rgb(255, 255, 255 - 8 * i);
        if (i <= 31)
            return rgb(255, 255 - 12 * (i - 16), 128 - 8 * (i - 16));
        if (i <= 47)
            return rgb(255 - 12 * (i - 32), 0, 0);
        return rgb(0, 0, 0);
    case 1:
        // The normal "Black & White" draws every level black. Here weak levels
        // stay a light grey, visible on a white background but quiet, and
        // darken to black over the lower half; the upper half is black.
        if (i <= 31)
            return grey(224 - 7 * i);
        return grey(0);
    case 2:
        if (i <= 15)
            return grey(255 - 2 * i);
        if (i <= 31)
            return grey(225 - 6 * (i - 16));
        if (i <= 47)
            return grey(129 - 8 * (i - 32));
        return grey(0);
    case 3:
        if (i <= 31)
            return rgb(255, 255 - 4 * i, 255 - 4 * i);
        return rgb(255 - 8 * (i - 32), 127 - 4 * (i - 32), 127 - 4 * (i - 32));
    case 4:
        if (i <= 31)
            return rgb(255 - 4 * i, 255 - 4 * i, 255);
        return rgb(127 - 4 * (i - 32), 127 - 4 * (i - 32), 255 - 8 * (i - 32));
    case 5:
        if (i <= 9)
            return rgb(255, 255 - 12 * i, 255 - 12 * i);
        if (i <= 20)
            return rgb(255, 127 + 12 * (i - 10), 128 - 12 * (i - 10));
        return normalColor(5, i);
    case 6:
        if (i <= 47)
            return normalColor(6, i);
        return rgb(0, 0, 0);
    case 7:
        if (i <= 15)
            return rgb(255, 255, 255 - 8 * i);
        if (i <= 31)
            return rgb(255, 255 - 16 * (i - 16), 128 - 8 * (i - 16));
        return normalColor(7, i);
    default: return rgb(4 * i, 127 + 2 * i, 255 - i);
    }
}

std::int32_t clampToInt32(long long v)
{
    return static_cast<std::int32_t>(
        std::clamp<long long>(v, std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max()));
}

// (DbTo - DbFrom) / DbStep + 0.5, truncated toward zero.
std::int32_t stepCount(const VesColorMapRad& band)
{
    const double q = static_cast<double>(static_cast<long long>(band.m_dbTo) - band.m_dbFrom) / band.m_dbStep + 0.5;
    return clampToInt32(static_cast<long long>(std::clamp(q, -2147483648.0, 2147483647.0)));
}

long long bandSpan(const VesColorMapRad& band)
{
    return static_cast<long long>(band.m_dbTo) - band.m_dbFrom;
}

// DbStep = 0: a step from the count (at least one pen), never 0.
void stepFromCount(VesColorMapRad& band)
{
    if (band.m_count <= 0)
        band.m_count = 1;
    band.m_dbStep = clampToInt32(bandSpan(band) / band.m_count);
    if (band.m_dbStep == 0)
        band.m_dbStep = band.m_dbTo > band.m_dbFrom ? 1 : -1;
}

// DbStep != 0: the count from the step; a count that was not positive takes
// the magnitude, turning the step round when the step pointed away.
void countFromStep(VesColorMapRad& band, bool zeroGivesOne)
{
    const std::int32_t q = stepCount(band);
    if (band.m_count > 0) {
        band.m_count = q;
    } else {
        band.m_count = q == std::numeric_limits<std::int32_t>::min() ? std::numeric_limits<std::int32_t>::max()
                                                                      : std::abs(q);
        if (q < 0)
            band.m_dbStep = clampToInt32(-static_cast<long long>(band.m_dbStep));
    }
    if (zeroGivesOne && q == 0)
        band.m_count = 1;
}

}  // namespace

LevelPalette BuildLevelPalette(int scheme, bool deEmphasis)
{
    LevelPalette p;
    for (int i = 0; i < kLevelPaletteSize; ++i)
        p[static_cast<std::size_t>(i)] = deEmphasis ? deEmphasisColor(scheme, i) : normalColor(scheme, i);
    return p;
}

// ---------------------------------------------------------------------------

LevelScale::LevelScale(int thresHold, int contrast)
{
    if (thresHold < 1) {
        m_threshold = 1.0;
        m_lnThreshold = 0.0;
    } else if (thresHold < 32) {
        m_lnThreshold = std::log(kMaxThresholdPower) * thresHold * 0.03125;
        m_threshold = std::exp(m_lnThreshold);
    } else {
        m_threshold = kMaxThresholdPower;
        m_lnThreshold = std::log(kMaxThresholdPower);
    }
    if (contrast > 0)
        m_exponent = 1.0 + contrast / 2.0;
    else if (contrast < 0)
        m_exponent = 1.0 / (1.0 - contrast / 2.0);
    const double lnFull = std::log(kFullScalePower);
    m_bounds[0] = m_threshold;
    for (int j = 1; j < kLevelPaletteSize; ++j) {
        const double x = std::pow(static_cast<double>(j) / kLevelPaletteSize, 1.0 / m_exponent);
        m_bounds[static_cast<std::size_t>(j)] = std::exp(m_lnThreshold + (lnFull - m_lnThreshold) * x);
    }
    for (int e = 0; e < kOctaves; ++e) {
        const double octave = std::ldexp(1.0, e);
        int j = 0;
        while (j + 1 < kLevelPaletteSize && m_bounds[static_cast<std::size_t>(j + 1)] <= octave)
            ++j;
        m_startAt[static_cast<std::size_t>(e)] = static_cast<std::int8_t>(j);
    }
    // The cells a boundary lies in or within rounding of (the search's own
    // nearness test is 1e-9 of the boundary) are searched; every other cell
    // takes the index of its lowest power.
    constexpr double kMargin = 4e-9;
    for (double b : m_bounds)
        for (std::int64_t c = cellOf(b * (1 - kMargin)); c <= cellOf(b * (1 + kMargin)) && c < kCells; ++c)
            if (c >= 0)
                m_cells[static_cast<std::size_t>(c)] = kMixedCell;
    for (int c = 0; c < kCells; ++c) {
        std::int8_t& cell = m_cells[static_cast<std::size_t>(c)];
        if (cell != kMixedCell) {
            const double lowest = std::ldexp(1.0 + static_cast<double>(c & ((1 << kCellBits) - 1)) / (1 << kCellBits),
                                             c >> kCellBits);
            cell = static_cast<std::int8_t>(searchIndex(lowest));
        }
    }
}

int LevelScale::searchIndex(double p) const
{
    if (!(p > m_threshold))
        return -1;
    // p > T >= 1: a normal number with a binary exponent of 0 or more.
    std::uint64_t bits;
    std::memcpy(&bits, &p, sizeof bits);
    const int e = static_cast<int>((bits >> 52) & 0x7FF) - 1023;
    if (e >= kOctaves - 1)
        return indexAbove(p);  // at or above 2^30: the top index, or beyond the table
    int j = m_startAt[static_cast<std::size_t>(e)];
    while (j + 1 < kLevelPaletteSize && m_bounds[static_cast<std::size_t>(j + 1)] <= p)
        ++j;
    // Within rounding of a boundary the formula itself decides.
    constexpr double kNear = 1e-9;
    const double below = m_bounds[static_cast<std::size_t>(j)];
    if (std::fabs(p - below) <= kNear * below)
        return indexAbove(p);
    if (j + 1 < kLevelPaletteSize) {
        const double above = m_bounds[static_cast<std::size_t>(j + 1)];
        if (std::fabs(above - p) <= kNear * above)
            return indexAbove(p);
    }
    return j;
}

int LevelScale::indexAbove(double p) const
{
    static const double lnFull = std::log(kFullScalePower);
    double x = (std::log(p) - m_lnThreshold) / (lnFull - m_lnThreshold);
    // Below the threshold (only asked for by the colour bar) the level is the
    // weakest index; a power of a negative base would turn it positive again.
    if (!(x > 0.0))
        return 0;
    if (m_exponent != 1.0)
        x = std::pow(x, m_exponent);
    const double idx = x * kLevelPaletteSize;
    if (idx >= kLevelPaletteSize - 1)
        return kLevelPaletteSize - 1;
    return static_cast<int>(idx);
}

// ---------------------------------------------------------------------------

std::int32_t UserMapKey(double p)
{
    if (!(p > 0.0))
        return kNoUserKey;
    const double db = 10.0 * std::log10(p / kFullScalePower);
    if (!(std::fabs(db) < 1e6))
        return kNoUserKey;
    return static_cast<std::int32_t>(db * 1000.0);
}

int UserPalette::lookup(std::int32_t key) const
{
    for (const Band& b : m_bands) {
        if (b.dbFrom >= key && key > b.dbTo) {
            // A band that was never normalised may still hold a zero step: it
            // then gives its first pen.
            long long steps = 0;
            if (b.dbStep != 0)
                steps = std::llabs((static_cast<long long>(key) - b.dbFrom) / b.dbStep);
            return b.firstPen + static_cast<int>(std::min<long long>(steps, b.pens - 1));
        }
    }
    return -1;
}

UserPalette BuildUserPalette(VesColorMap& map)
{
    UserPalette pal;
    const int inUse = std::clamp<int>(map.m_colorMapRader, 0, static_cast<int>(VesColorMap::kBands));
    std::int32_t next = 0;
    for (int bi = 0; bi < inUse; ++bi) {
        VesColorMapRad& band = map.m_bands[static_cast<std::size_t>(bi)];
        band.m_firstPenIx = next;
        const std::int32_t d = std::min(band.m_count, UserPalette::kMaxPensPerBand);
        const VesRgb from = VesRgb::fromColorRef(band.m_colFrom);
        const VesRgb to = VesRgb::fromColorRef(band.m_colTo);
        std::int32_t made = 0;
        if (d < 2) {
            pal.m_pens.push_back(from);
            made = 1;
        } else {
            auto channel = [d](int f, int t, int k) { return f + k * (t - f) / d; };
            for (int k = 0; k <= d - 2; ++k)
                pal.m_pens.push_back(rgb(channel(from.r, to.r, k), channel(from.g, to.g, k), channel(from.b, to.b, k)));
            pal.m_pens.push_back(to);
            made = d;
        }
        pal.m_bands.push_back({band.m_dbFrom, band.m_dbTo, band.m_dbStep, made, next});
        next += made;
    }
    return pal;
}

// ---------------------------------------------------------------------------

void normalizeColorMapBand(VesColorMapRad& band, BandField edited)
{
    if (edited == BandField::None) {
        if (band.m_dbFrom == band.m_dbTo) {
            if (band.m_count <= 0)
                band.m_count = 1;
            return;
        }
        if (band.m_dbStep == 0)
            stepFromCount(band);
        else
            countFromStep(band, false);
        if (band.m_count <= 0)
            band.m_count = 1;
        band.m_dbStep = clampToInt32(bandSpan(band) / band.m_count);
        if (band.m_dbStep >= 0)
            band.m_dbStep = -1;
        return;
    }

    // An editor row that is still being filled in.
    if (band.m_dbFrom == band.m_dbTo || band.m_dbTo == 0) {
        if (band.m_count <= 0)
            band.m_count = 1;
        return;
    }
    if (edited == BandField::Count) {
        if (band.m_count > 0) {
            band.m_dbStep = clampToInt32(bandSpan(band) / band.m_count);
        } else if (band.m_dbStep == 0) {
            band.m_count = 1;
            band.m_dbStep = clampToInt32(bandSpan(band));
        } else {
            countFromStep(band, true);
        }
    } else if (band.m_dbStep == 0) {
        stepFromCount(band);
    } else {
        countFromStep(band, true);
    }
    if (band.m_count <= 0)
        band.m_count = 1;
}

void UpgradeColorMap(VesColorMap& map)
{
    if (map.m_release == 2 && map.m_version == 5 && map.m_reserv == -1) {
        for (VesColorMapRad& b : map.m_bands) {
            b.m_dbFrom = clampToInt32(b.m_dbFrom * 1000LL);
            b.m_dbTo = clampToInt32(b.m_dbTo * 1000LL);
            b.m_dbStep = clampToInt32(b.m_dbStep * 1000LL);
        }
        map.m_reserv = -2;
    }
    const auto fresh = VesColorMap::defaultBands();
    for (std::size_t i = 0; i < VesColorMap::kBands; ++i) {
        VesColorMapRad& b = map.m_bands[i];
        if (b.m_dbFrom != b.m_dbTo || b.m_dbStep != 0)
            normalizeColorMapBand(b);
        else
            b = fresh[i];
    }
}

bool TakeInColorMap(std::vector<VesColorMap>& list, const VesColorMap& map)
{
    if (map.m_name.empty() || static_cast<unsigned char>(map.m_name[0]) <= 32 || map.m_colorMapRader <= 0)
        return false;
    const std::size_t stored = VesColorMap::kNameSize - 1;
    const std::string name = map.m_name.substr(0, stored);
    for (const VesColorMap& m : list)
        if (m.m_modTime == map.m_modTime && m.m_name.substr(0, stored) == name)
            return false;
    list.push_back(map);
    return true;
}
