// The user colour map: up to 64 bands of decibel ranges, each painted with a
// gradient between two colours. Stored whole as a 1848-byte record (in the
// analysis parameter set, in the settings value UserColor and in the list of
// user maps) and as the XML element VesColorMap.
//
// Fixed layout (1848 bytes, little-endian): Release, Version, the name (at
// most 31 bytes, zero-terminated), the number of bands in use, a reserved
// value (-2: levels in thousandths dB), the modification time (100 ns since
// 1601) and 64 bands of 28 bytes; colours are 0x00BBGGRR, written to XML as
// 64-bit integers. Offsets and XML names are in the field tables.
#pragma once

#include "core/RegCls.h"
#include "core/VkitXML.h"
#include "records/RecordFields.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <memory>
#include <span>
#include <string>
#include <vector>

struct VesColorMapRad {
    static constexpr std::size_t kFixedSize = 28;
    static constexpr const char* kXmlName = "VesColorMapRad";

    std::int32_t m_dbFrom = 0;
    std::int32_t m_dbTo = 0;
    std::int32_t m_dbStep = 0;
    std::int32_t m_count = 1;
    std::uint32_t m_colFrom = 0x404040;  // RGB(64, 64, 64)
    std::uint32_t m_colTo = 0xF0F0F0;    // RGB(240, 240, 240)
    std::int32_t m_firstPenIx = std::numeric_limits<std::int32_t>::min();

    // The field table of the fixed and the XML form (offsets within the band).
    static std::span<const vesrec::Field<VesColorMapRad>> fields();

    bool operator==(const VesColorMapRad&) const = default;
};

struct VesColorMap {
    static constexpr std::size_t kFixedSize = 1848;
    static constexpr std::size_t kBands = 64;
    static constexpr std::size_t kNameSize = 32;  // bytes stored, terminator included
    static constexpr std::size_t kBandsOffset = 56;
    static constexpr const char* kXmlName = "VesColorMap";

    std::int32_t m_release = 4;
    std::int32_t m_version = 0;
    std::string m_name;
    std::int32_t m_colorMapRader = 0;  // bands 0 .. m_colorMapRader - 1 are in use
    std::int32_t m_reserv = -2;
    std::int64_t m_modTime = 0;
    std::array<VesColorMapRad, kBands> m_bands = defaultBands();

    // The bands of a new map: band 0 from 0 to -90 in steps of -1 with 90 pens,
    // the others empty (0, 0, 0, 1).
    static std::array<VesColorMapRad, kBands> defaultBands();

    // The field table of the header of the fixed and the XML form; the bands
    // follow it.
    static std::span<const vesrec::Field<VesColorMap>> fields();

    std::vector<std::uint8_t> toBytes() const;
    // Writes the first `size` bytes of the fixed layout (at most kFixedSize):
    // every field that lies wholly inside them.
    void toBytes(std::uint8_t* out, std::size_t size) const;
    // False (and the map unchanged) when fewer than kFixedSize bytes are given.
    bool fromBytes(std::span<const std::uint8_t> bytes);
    // Reads every field that lies wholly inside the first `size` bytes.
    void fromBytesPrefix(const std::uint8_t* in, std::size_t size);

    std::unique_ptr<VkitXML::Node> toXml() const;
    // Reads `node` when it is a VesColorMap element, else its first VesColorMap
    // child; false when there is neither. The VesColorMapRad children fill the
    // bands in order, at most 64; missing children keep the field.
    bool fromXml(const VkitXML::Node& node);

    bool operator==(const VesColorMap&) const = default;
};

// The application's list of user colour maps, kept in the settings under
// "Settings\ColorMap" as binary values "000", "001", ... of 1848 bytes each.
struct VesColorMapList {
    static constexpr const char* kRegKey = "Settings\\ColorMap";

    // Reads "000", "001", ... and stops after nine consecutive entries that are
    // missing or unusable (empty, or not 1848 bytes long).
    static std::vector<VesColorMap> load(const vkit::RegCls& reg);
    // Writes the maps as "000", "001", ... and ten empty entries after the last.
    static bool save(vkit::RegCls& reg, const std::vector<VesColorMap>& maps);
    static std::string entryName(std::size_t index);
};
