#include "records/VesRecData.h"

#include "core/ByteOrder.h"
#include "records/RecordFieldIo.h"
#include "records/VesSettings.h"

#include <limits>

using VkitXML::Node;
using namespace vesrec;

const Node* findRecordElement(const Node& node, const char* name)
{
    if (node.name() == name)
        return &node;
    return node.findChild(name);
}

// ---------------------------------------------------------------------------
// VesRecData

void VesRecData::setFromDefaults(const VesDefData& def)
{
    *this = VesRecData{};
    m_release = def.m_release;
    m_version = def.m_version;
    m_build = def.m_build;
    m_copyright = def.m_copyright;
    m_timeExp25 = def.m_timeExp25;
    m_by = def.m_by;
    m_spare1 = def.m_spare1;
    m_spare2 = def.m_spare2;
    // Date, Time and At stay empty.
}

std::uint32_t VesRecData::detectorHeaderLength() const
{
    return readLe32(m_detectorHeader.data());
}

void VesRecData::setDetectorHeaderLength(std::uint32_t length)
{
    writeLe32(m_detectorHeader.data(), length);
}

namespace {

using F = Field<VesRecData>;

// In the order of the XML children.
constexpr F kRecDataFields[] = {
    field<&VesRecData::m_release>().element("Release").bytes(0, 4),
    field<&VesRecData::m_version>().element("Version").bytes(4, 4),
    field<&VesRecData::m_build>().element("Build").bytes(8, 4),
    field<&VesRecData::m_copyright>().element("Copyright").bytes(12, 40),
    // Thousandths; files of Release below 2 and of Release 2 Version 0 hold a
    // whole factor here (timeExpFromOldFactor).
    field<&VesRecData::m_timeExp25>().element("TimeExp25").bytes(52, 4),
    field<&VesRecData::m_date>().element("Date").bytes(56, 16),
    field<&VesRecData::m_time>().element("Time").bytes(72, 10),
    field<&VesRecData::m_at>().element("At").bytes(122, 80),
    field<&VesRecData::m_by>().element("By").bytes(82, 40),
    field<&VesRecData::m_recDate>().element("RecDate"),
    field<&VesRecData::m_recDev>().element("RecDev"),
    field<&VesRecData::m_modTime>().element("ModTime"),
    field<&VesRecData::m_user>().element("User"),
    field<&VesRecData::m_spare1>().bytes(204, 4),
    field<&VesRecData::m_spare2>().bytes(208, 4),
};

constexpr const char* kExtraDataName = "ExtraData";

}  // namespace

std::span<const Field<VesRecData>> VesRecData::fields()
{
    return kRecDataFields;
}

std::vector<std::uint8_t> VesRecData::toBytes() const
{
    return recordToBytes(*this);
}

bool VesRecData::fromBytes(std::span<const std::uint8_t> bytes)
{
    return recordFromBytes(*this, bytes);
}

std::unique_ptr<Node> VesRecData::toXml() const
{
    auto n = recordToXml(*this);
    for (const auto& line : m_extraData)
        n->addChildElement(kExtraDataName, line);
    return n;
}

bool VesRecData::fromXml(const Node& node)
{
    const Node* e = recordFromXml(*this, node);
    if (!e)
        return false;
    for (const auto& c : e->children())
        if (c->name() == kExtraDataName)
            m_extraData.push_back(c->text());
    return true;
}

std::int32_t VesRecData::timeExpFromOldFactor(std::int32_t factor)
{
    const std::int64_t v = static_cast<std::int64_t>(factor) * 1000;
    constexpr std::int64_t lo = std::numeric_limits<std::int32_t>::min();
    constexpr std::int64_t hi = std::numeric_limits<std::int32_t>::max();
    return static_cast<std::int32_t>(v < lo ? lo : (v > hi ? hi : v));
}

// ---------------------------------------------------------------------------
// AnaMarkSave

namespace {

using M = Field<AnaMarkSave>;

// In the order of the XML children. The fixed form begins with its own size,
// Release 4 and Version 0; a mark read from it takes Release and Version
// from there.
constexpr M kMarkFields[] = {
    field<&AnaMarkSave::m_size>().bytes(0, 4).bytesConst(AnaMarkSave::kFixedSize, false),
    field<&AnaMarkSave::m_release>().element("Release").bytes(4, 4).bytesConst(4, true),
    field<&AnaMarkSave::m_version>().element("Version").bytes(8, 4).bytesConst(0, true),
    field<&AnaMarkSave::m_posX>().element("PosX").bytes(12, 4),
    field<&AnaMarkSave::m_posY>().element("PosY").bytes(16, 4),
    field<&AnaMarkSave::m_chan>().element("Chan").bytes(24, 4),
    field<&AnaMarkSave::m_spect>().element("Spect").bytes(28, 4),
    field<&AnaMarkSave::m_typ>().element("Typ").bytes(32, 4),
    field<&AnaMarkSave::m_first>().element("First").bytes(36, 4),
    field<&AnaMarkSave::m_last>().element("Last").bytes(40, 4),
    field<&AnaMarkSave::m_markNr>().element("MarkNr").bytes(52, 4),
    field<&AnaMarkSave::m_select>().element("Select").bytes(56, 4),
    field<&AnaMarkSave::m_anyY>().element("AnyY"),
    field<&AnaMarkSave::m_show>().element("Show").bytes(44, 4),
    field<&AnaMarkSave::m_showLabel>().element("ShowLabel").bytes(48, 4),
    field<&AnaMarkSave::m_label>().element("Label").bytes(60, 80),
    field<&AnaMarkSave::m_desc>().element("Desc").bytes(140, 400),
};

}  // namespace

std::span<const Field<AnaMarkSave>> AnaMarkSave::fields()
{
    return kMarkFields;
}

std::vector<std::uint8_t> AnaMarkSave::toBytes() const
{
    return recordToBytes(*this);
}

bool AnaMarkSave::fromBytes(std::span<const std::uint8_t> bytes)
{
    if (!recordFromBytes(*this, bytes))
        return false;
    m_anyY = false;  // no place in the fixed form
    return true;
}

std::unique_ptr<Node> AnaMarkSave::toXml() const
{
    return recordToXml(*this);
}

bool AnaMarkSave::fromXml(const Node& node)
{
    return recordFromXml(*this, node) != nullptr;
}
