// The records that travel with every recording: the recording record
// (VesRecData) and the mark record (AnaMarkSave). Each has three forms: the
// record in memory, a fixed-layout form (VPr0: 212 bytes, VPr2: 540 bytes,
// little-endian) and an XML element inside the recording file's VprdData
// document. New files carry both forms; readers prefer the XML form.
#pragma once

#include "core/VkitXML.h"
#include "records/MarkCodes.h"
#include "records/RecordFields.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

struct VesDefData;

// Recording record. The fixed-layout form (212 bytes) holds Release,
// Version, Build, Copyright, the time expansion, Date, Time, By, At and the
// two integers, texts zero-terminated and cut to fit (offsets in the field
// table, VesRecData.cpp); neither RecDate, RecDev, ModTime, User, ExtraData
// nor the detector header, which reading it leaves as they are. Files of
// Release below 2, and of Release 2 Version 0, hold a whole time expansion
// factor: the file reader converts it (timeExpFromOldFactor).
struct VesRecData {
    static constexpr std::size_t kFixedSize = 212;
    static constexpr std::size_t kDetectorHeaderSize = 244;
    static constexpr const char* kXmlName = "VesRecData";
    static constexpr const char* kDefaultCopyright = "Vesperon, copyright Vallomer";

    std::int32_t m_release = 4;
    std::int32_t m_version = 0;
    std::int32_t m_build = 0;
    std::string m_copyright = kDefaultCopyright;
    std::int32_t m_timeExp25 = 1000;  // 1000 = no expansion, 10000 = factor 10
    std::string m_date;
    std::string m_time;
    std::string m_by;
    std::string m_at;
    // Two integers kept only in the fixed-layout form (-1 unless the default
    // data settings give other values).
    std::int32_t m_spare1 = -1;
    std::int32_t m_spare2 = -1;
    std::string m_recDate;
    std::string m_recDev;
    std::string m_modTime;
    std::string m_user;
    // The bat detector's header; its first dword holds the header length in effect.
    std::array<std::uint8_t, kDetectorHeaderSize> m_detectorHeader{};
    std::vector<std::string> m_extraData;

    // The defaults of a new or opened document: Release, Version, Build,
    // Copyright, time expansion, By and the two integers from the default data
    // settings; Date, Time and At empty.
    void setFromDefaults(const VesDefData& def);

    std::uint32_t detectorHeaderLength() const;
    void setDetectorHeaderLength(std::uint32_t length);

    // The field table of the fixed and the XML form.
    static std::span<const vesrec::Field<VesRecData>> fields();

    std::vector<std::uint8_t> toBytes() const;
    // False (and the record unchanged) when fewer than kFixedSize bytes are given.
    bool fromBytes(std::span<const std::uint8_t> bytes);

    std::unique_ptr<VkitXML::Node> toXml() const;
    // Reads `node` when it is a VesRecData element, else its first VesRecData
    // child; false when there is neither. Missing children keep the field;
    // every ExtraData child is appended to m_extraData.
    bool fromXml(const VkitXML::Node& node);

    // Converts a whole time expansion factor of an old file to thousandths.
    static std::int32_t timeExpFromOldFactor(std::int32_t factor);

    bool operator==(const VesRecData&) const = default;
};

// Mark record. The fixed-layout form (540 bytes) begins with its size,
// Release 4 and Version 0 (read back into m_release and m_version); the
// positions keep their low 32 bits (sign-extended on reading), Label at most
// 79 and Desc at most 399 bytes. AnyY has no place in it: a mark read from it
// has AnyY false.
struct AnaMarkSave {
    static constexpr std::size_t kFixedSize = 540;
    static constexpr std::int32_t kMemorySize = 136;
    static constexpr const char* kXmlName = "AnaMarkSave";

    std::int32_t m_size = kMemorySize;  // in memory only
    std::int32_t m_release = 4;
    std::int32_t m_version = 0;
    std::int64_t m_posX = 0;  // frame index
    std::int64_t m_posY = 0;
    bool m_anyY = false;      // the mark has no vertical position
    std::int32_t m_chan = 0;
    bool m_spect = true;      // placed in the spectrogram pane
    CursorType m_typ = CursorType::Unset;
    std::int64_t m_first = -1;
    std::int64_t m_last = -1;
    bool m_show = false;
    bool m_showLabel = false;
    std::int32_t m_markNr = -1;
    bool m_select = false;
    std::string m_label;
    std::string m_desc;

    // The field table of the fixed and the XML form.
    static std::span<const vesrec::Field<AnaMarkSave>> fields();

    std::vector<std::uint8_t> toBytes() const;
    // False (and the record unchanged) when fewer than kFixedSize bytes are given.
    bool fromBytes(std::span<const std::uint8_t> bytes);

    std::unique_ptr<VkitXML::Node> toXml() const;
    // Reads `node` when it is an AnaMarkSave element, else its first
    // AnaMarkSave child; false when there is neither. Missing children keep
    // the field.
    bool fromXml(const VkitXML::Node& node);

    bool operator==(const AnaMarkSave&) const = default;
};
