// The analysis parameter set: everything one analysis view shows and how.
// One set per view is stored in a recording file, as a VPr1 form of 1968
// bytes and as a VesAnaParms element of the VprdData document; the default
// set for new views lives in the settings under "Settings\DefData\Analys".
#pragma once

#include "core/RegCls.h"
#include "core/VkitXML.h"
#include "records/RecordFields.h"
#include "records/VesColorMap.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

// Fixed-layout form in VPr1 (1968 bytes, little-endian): the first 1968
// bytes of the record's 2000-byte image in memory, fields in the order of the
// record, each in its own size (flags in one byte, 64-bit fields at multiples
// of 8; offsets in the field table, VesAnaParms.cpp), the user colour map from
// offset 144. The map's 1848 bytes run to 1991, so the form holds its header,
// bands 0..62 and the DbFrom of band 63; the rest of band 63 and
// FreqAllTicksLabels do not fit, and reading the form leaves them as they
// were (the XML form carries them).
//
// Old view records (files of Release below 2, and of Release 2 Version 0..4)
// are 80 bytes long: the same layout up to FftOverLap.
struct VesAnaParms {
    static constexpr std::size_t kFixedSize = 1968;
    static constexpr std::size_t kOldFixedSize = 80;
    static constexpr std::size_t kMemorySize = 2000;
    static constexpr std::size_t kColorMapOffset = 144;
    static constexpr const char* kXmlName = "VesAnaParms";
    static constexpr const char* kRegKey = "Settings\\DefData\\Analys";
    static constexpr const char* kUserColorName = "UserColor";

    std::int32_t m_release = 4;
    std::int32_t m_version = 0;
    bool m_ampPlot = false;
    bool m_ampCont = false;
    bool m_spectPlot = true;
    bool m_leftChan = true;
    bool m_rightChan = true;
    bool m_scale = true;
    std::int64_t m_plotSize = 1000000;  // microseconds
    std::int64_t m_spectMin = 0;        // Hz; negative: 0
    std::int64_t m_spectMax = -1;       // Hz; negative: half the effective rate
    std::int64_t m_ampMin = -10000;     // hundredths of a percent of full scale
    std::int64_t m_ampMax = 10000;
    std::int64_t m_plotStart = 0;       // sample index; -1 = not set
    std::int64_t m_plotEnd = -1;
    std::int32_t m_fftSize = 0;         // 0 = automatic
    std::int32_t m_fftOverLap = -1;     // percent; -1 = automatic
    std::int32_t m_fftThresHold = 16;   // 0 .. 32
    std::int32_t m_fftWindow = 2;       // 1 Parzen, 2 Hanning, 4 Hamming, 8 Cosine, other rectangular
    std::int32_t m_colorScheme = 0;     // 0 .. 7, 100 = the user colour map below
    std::int32_t m_contrast = 0;        // -10 .. 10
    bool m_invColors = false;
    std::int32_t m_fontSize = 8;
    std::int32_t m_freqSize = 1;        // 1 = automatic
    std::int32_t m_freqPlot = 0;
    std::int32_t m_freqThreshold = 5;   // percent, 0 .. 99
    std::int32_t m_freqPlotType = 0;
    std::int32_t m_freqGridX = 0;
    std::int32_t m_freqGridY = -1;
    std::int32_t m_spectGridX = 0;
    std::int32_t m_spectGridY = -1;
    std::int32_t m_oscGridX = 0;
    std::int32_t m_oscGridY = 0;
    VesColorMap m_colorMap;
    bool m_freqAllTicksLabels = false;

    // The field table of every form (the colour map is stored apart).
    static std::span<const vesrec::Field<VesAnaParms>> fields();

    std::vector<std::uint8_t> toBytes() const;
    // False (and the record unchanged) when fewer than kFixedSize bytes are given.
    bool fromBytes(std::span<const std::uint8_t> bytes);
    // An old 80-byte view record: the fields up to FftOverLap; the others keep
    // their values. False when fewer than kOldFixedSize bytes are given.
    bool fromOldBytes(std::span<const std::uint8_t> bytes);

    // Sets of Release below 3, or Release 3 Version 0, hold the plot size,
    // start and end in thousands: multiplies each by 1000 when it is above 0.
    // Returns whether the set was of such a release.
    bool convertOldTimeUnits();
    // A set of Release above 4 or Version above 99 was written by a later
    // program; readers stop at it.
    bool isNewerThanSupported() const { return m_release > 4 || m_version > 99; }

    std::unique_ptr<VkitXML::Node> toXml() const;
    // Reads `node` when it is a VesAnaParms element, else its first VesAnaParms
    // child; false when there is neither. Missing children keep the field;
    // the colour map comes from the child VesColorMap.
    bool fromXml(const VkitXML::Node& node);

    // The default set for new views, under "Settings\DefData\Analys"; the
    // colour map is the binary value UserColor of the same key.
    //  - AmpPlot and AmpCont share the value name "Amp": saving writes AmpPlot
    //    and then AmpCont under it, loading sets both from it.
    //  - PlotSizemySec holds the plot size in microseconds; when it is missing,
    //    PlotSize (milliseconds) x 1000 is taken. PlotSize is also written.
    //  - FftThresHold is taken only when a plot size was found.
    //  - SpectMin, SpectMax, AmpMin, AmpMax, PlotStart(mySec), PlotEnd(mySec)
    //    are written for information and not read back; FftSize and FftOverLap
    //    are not stored.
    //  - UserColor is taken only when it holds exactly 1848 bytes.
    // Loading ends with repair().
    void load(const vkit::RegCls& reg);
    bool save(vkit::RegCls& reg) const;

    // Brings every field into the range the settings dialogs allow, so that
    // no view, plot or column engine divides by zero or reads out of bounds:
    // each field by the range of its table entry (and the user colour map's
    // bands in use into 0 .. 64), then what a range cannot say:
    //  - a negative SpectMax stays "unset" (R/2) unless `effectiveRateHz` is
    //    given, then it becomes R/2; a frequency range that is empty or
    //    inverted becomes SpectMin 0 (and, when SpectMax is not above 0,
    //    SpectMax unset, or R/2 with a known rate);
    //  - AmpMin at or above AmpMax -> AmpMax - 1, or the pair -10000/-9999;
    //  - FftSize other than 0 (automatic): the power of two at or below it
    //    within 16 .. 4096;
    //  - ColorScheme other than 0 .. 7 and 100 -> 0.
    // `effectiveRateHz` is the rate R (rate x time expansion) of the
    // recording the set is shown for; 0 when not known (settings, a set just
    // read from a file).
    void repair(std::int64_t effectiveRateHz = 0);

    bool operator==(const VesAnaParms&) const = default;
};
