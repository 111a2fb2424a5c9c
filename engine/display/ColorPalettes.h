// Colours of the spectrogram: the built-in level palettes, the pens of a user
// colour map and the mapping of a column's power to either.
//
// A level is a bin's power P averaged over the frames of a pixel column, in
// squared 16-bit units with the window gain applied, so that a full-scale
// sine (amplitude 32768) reads as 2^30 = 0 dB. Built-in schemes turn it into
// one of 64 palette indices above a threshold; a user map (scheme 100) looks
// its key in thousandths of a dB up in its bands.
#pragma once

#include "records/VesColorMap.h"

#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

struct VesRgb {
    std::uint8_t r = 0, g = 0, b = 0;

    // 0x00BBGGRR, the colour form of the colour map record.
    static VesRgb fromColorRef(std::uint32_t c)
    {
        return {static_cast<std::uint8_t>(c & 0xFF), static_cast<std::uint8_t>((c >> 8) & 0xFF),
                static_cast<std::uint8_t>((c >> 16) & 0xFF)};
    }
    std::uint32_t toColorRef() const { return r | (std::uint32_t{g} << 8) | (std::uint32_t{b} << 16); }
    bool operator==(const VesRgb&) const = default;
};

constexpr int kLevelPaletteSize = 64;
constexpr int kUserColorScheme = 100;
using LevelPalette = std::array<VesRgb, kLevelPaletteSize>;

// The 64 colours of built-in scheme `scheme` (0 .. 7; any other code gives the
// fallback palette), index 0 the weakest level shown and 63 the strongest.
// `deEmphasis` selects the low level de-emphasis variant.
LevelPalette BuildLevelPalette(int scheme, bool deEmphasis);

// ---------------------------------------------------------------------------
// Level to palette index (built-in schemes)

constexpr double kFullScalePower = 1073741824.0;  // 2^30: a full-scale sine
constexpr double kMaxThresholdPower = 2.56e7;

class LevelScale {
public:
    LevelScale() : LevelScale(0, 0) {}
    // thresHold: FftThresHold (0 .. 31 on the slider; below 1 gives T = 1,
    // 32 and above T = 2.56e7); contrast: Contrast (exponent 1 + c/2 above 0,
    // 1 / (1 - c/2) below).
    LevelScale(int thresHold, int contrast);

    double threshold() const { return m_threshold; }
    double lnThreshold() const { return m_lnThreshold; }
    // Palette index 0 .. 63 of power p, or -1 when p <= T (not drawn).
    int paletteIndex(double p) const;
    // The same without the threshold test (the colour bar): levels at or below
    // T give 0.
    int paletteIndexUnclipped(double p) const { return p <= 0 ? 0 : indexAbove(p); }

private:
    int indexAbove(double p) const;
    int searchIndex(double p) const;
    double m_threshold = 1.0;
    double m_lnThreshold = 0.0;
    double m_exponent = 1.0;
    // m_bounds[j]: the power at which index j begins (j = 1 .. 63), so that a
    // level needs a few comparisons instead of a logarithm and a power;
    // m_startAt[e]: the last index that begins at or below 2^e.
    static constexpr int kOctaves = 31;
    std::array<double, kLevelPaletteSize> m_bounds{};
    std::array<std::int8_t, kOctaves> m_startAt{};
    // Most levels need not even that: powers 1 <= p < 2^30 fall into cells of
    // a 64th of an octave (the top six bits of the mantissa), and a cell that
    // no boundary comes near has one index for all of its powers. A cell
    // with a boundary in or near it holds kMixedCell and is searched.
    static constexpr int kCellBits = 6;
    static constexpr int kCells = (kOctaves - 1) << kCellBits;
    static constexpr std::int8_t kMixedCell = -2;
    static constexpr std::uint64_t kOneBits = 0x3FF0000000000000;  // 1.0
    std::array<std::int8_t, kCells> m_cells{};
    // The cell of power p, -1 below 1 (kCells and more from 2^30 up, for NaN
    // and for negative numbers).
    static std::int64_t cellOf(double p)
    {
        std::uint64_t bits;
        std::memcpy(&bits, &p, sizeof bits);
        return bits < kOneBits ? -1 : static_cast<std::int64_t>((bits - kOneBits) >> (52 - kCellBits));
    }
};

// Inline: the spectrogram asks once per bin and column.
inline int LevelScale::paletteIndex(double p) const
{
    // Most powers of a spectrogram lie below the threshold: that test comes
    // first (and keeps NaN out). Above it p > T >= 1, so the cell is not -1.
    if (!(p > m_threshold))
        return -1;
    const auto cell = static_cast<std::uint64_t>(cellOf(p));
    if (cell < static_cast<std::uint64_t>(kCells)) {
        const int index = m_cells[static_cast<std::size_t>(cell)];
        if (index != kMixedCell)
            return index;
    }
    return searchIndex(p);
}

// ---------------------------------------------------------------------------
// User colour maps

constexpr std::int32_t kNoUserKey = std::numeric_limits<std::int32_t>::min();

// The map key of power p: 10 log10(p / 2^30) in thousandths of a dB,
// truncated toward zero; kNoUserKey when p <= 0 or the level is 10^6 dB or
// more away from full scale.
std::int32_t UserMapKey(double p);

// The pens of a user map: the bands in use with the index of their first pen,
// and the colours.
class UserPalette {
public:
    // Pens made for one band at most; a band needs more only when it was
    // normalised from a tiny step, and its last pens would repeat colours.
    static constexpr std::int32_t kMaxPensPerBand = 65536;

    struct Band {
        std::int32_t dbFrom = 0, dbTo = 0, dbStep = 0;
        std::int32_t pens = 1;      // pens made for the band
        std::int32_t firstPen = 0;  // index of its first pen in pens()
    };

    // Pen index for a key (thousandths of a dB), or -1 when no band holds it:
    // the first band with DbFrom >= key > DbTo, pen firstPen + min(b, pens - 1)
    // with b = |(key - DbFrom) / DbStep|.
    int lookup(std::int32_t key) const;
    int penForPower(double p) const { return lookup(UserMapKey(p)); }

    const std::vector<VesRgb>& pens() const { return m_pens; }
    const std::vector<Band>& bands() const { return m_bands; }

private:
    friend UserPalette BuildUserPalette(VesColorMap& map);
    std::vector<Band> m_bands;
    std::vector<VesRgb> m_pens;
};

// Makes the pens of bands 0 .. ColorMapRader - 1 band after band and writes
// each band's FirstPenIx. A band of Count d >= 2 gets d - 1 pens
// from + k (to - from) / d (k = 0 .. d - 2, each channel separately, truncated
// toward zero) and a last pen of colTo; Count below 2 gives one pen of colFrom.
UserPalette BuildUserPalette(VesColorMap& map);

// Which field of a band the editor left (None: the band as read or saved).
enum class BandField { None, DbFrom, DbTo, DbStep, Count };

// Brings DbStep and Count of a band in line with its range: after a
// normalisation with BandField::None, Count >= 1 and DbStep < 0.
void normalizeColorMapBand(VesColorMapRad& band, BandField edited = BandField::None);

// Applied to every map read from storage: maps of Release 2, Version 5 with
// Reserv -1 hold whole decibels and are converted to thousandths (Reserv
// becomes -2); each band in use is normalised, each empty one replaced by the
// band of a new map at that position.
void UpgradeColorMap(VesColorMap& map);

// Takes a map carried by a recording into the list of user maps: appends it
// unless its name is empty or begins with a character of code 32 or below,
// it has no band in use, or the list already holds a map with the same name
// (over the 31 stored characters) and the same ModTime. True when appended;
// the caller then writes the list back.
bool TakeInColorMap(std::vector<VesColorMap>& list, const VesColorMap& map);
