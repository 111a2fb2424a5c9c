// The recording file's XML document (the payload of its VPrZ form): root
// element VprdData with, in this order, the VesRecData element, one
// VesAnaParms element per analysis view, one AnaMarkSave element per saved
// mark and, when the document has one, its PlaySpeedDataList element.
#pragma once

#include "core/VkitXML.h"
#include "records/VesAnaParms.h"
#include "records/VesRecData.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

struct VprdData {
    static constexpr const char* kXmlName = "VprdData";
    static constexpr const char* kPlaySpeedListName = "PlaySpeedDataList";
    // Zero bytes written after the text in the VPrZ form.
    static constexpr std::size_t kPayloadPadding = 64;

    VesRecData m_recData;
    std::vector<VesAnaParms> m_anaParms;
    std::vector<AnaMarkSave> m_marks;
    // The play-speed list element, kept as it is (its records belong to the
    // playback code); null when the document has none.
    std::unique_ptr<VkitXML::Node> m_playSpeedList;
    // Set by reading when a VesAnaParms element of a later program version
    // ended the reading of the views.
    bool m_newerAnaParmsFound = false;

    VprdData() = default;
    VprdData(const VprdData& other);
    VprdData& operator=(const VprdData& other);
    VprdData(VprdData&&) = default;
    VprdData& operator=(VprdData&&) = default;

    std::unique_ptr<VkitXML::Node> toXml() const;
    // The VPrZ payload: the written form of toXml() followed by 64 zero bytes.
    std::vector<std::uint8_t> toPayload() const;

    // Reads a VprdData element (or the first VprdData child of `node`); false
    // when there is none. The recording record is read over m_recData as it
    // stands (missing fields keep their values); the views and marks replace
    // m_anaParms and m_marks, each starting from a default record; views are
    // taken up to the first one with a Release above 4 or a Version above 99.
    // A PlaySpeedDataList element replaces m_playSpeedList.
    bool fromXml(const VkitXML::Node& node);
    // Parses a VPrZ payload (trailing zero bytes are ignored) and reads it.
    bool fromPayload(std::span<const std::uint8_t> payload);
};
