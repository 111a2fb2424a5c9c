#include "records/VesRecData.h"

#include "core/ByteOrder.h"
#include "records/RecordBytes.h"
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

std::vector<std::uint8_t> VesRecData::toBytes() const
{
    std::vector<std::uint8_t> b(kFixedSize, 0);
    std::uint8_t* p = b.data();
    writeLeI32(p + 0, m_release);
    writeLeI32(p + 4, m_version);
    writeLeI32(p + 8, m_build);
    putText(p + 12, 40, m_copyright);
    writeLeI32(p + 52, m_timeExp25);
    putText(p + 56, 16, m_date);
    putText(p + 72, 10, m_time);
    putText(p + 82, 40, m_by);
    putText(p + 122, 80, m_at);
    // 202..203 stay zero
    writeLeI32(p + 204, m_spare1);
    writeLeI32(p + 208, m_spare2);
    return b;
}

bool VesRecData::fromBytes(std::span<const std::uint8_t> bytes)
{
    if (bytes.size() < kFixedSize)
        return false;
    const std::uint8_t* p = bytes.data();
    m_release = readLeI32(p + 0);
    m_version = readLeI32(p + 4);
    m_build = readLeI32(p + 8);
    m_copyright = getText(p + 12, 40);
    m_timeExp25 = readLeI32(p + 52);
    m_date = getText(p + 56, 16);
    m_time = getText(p + 72, 10);
    m_by = getText(p + 82, 40);
    m_at = getText(p + 122, 80);
    m_spare1 = readLeI32(p + 204);
    m_spare2 = readLeI32(p + 208);
    return true;
}

std::unique_ptr<Node> VesRecData::toXml() const
{
    auto n = std::make_unique<Node>(kXmlName);
    n->addChildElement("Release", m_release);
    n->addChildElement("Version", m_version);
    n->addChildElement("Build", m_build);
    n->addChildElement("Copyright", m_copyright);
    n->addChildElement("TimeExp25", m_timeExp25);
    n->addChildElement("Date", m_date);
    n->addChildElement("Time", m_time);
    n->addChildElement("At", m_at);
    n->addChildElement("By", m_by);
    n->addChildElement("RecDate", m_recDate);
    n->addChildElement("RecDev", m_recDev);
    n->addChildElement("ModTime", m_modTime);
    n->addChildElement("User", m_user);
    for (const auto& line : m_extraData)
        n->addChildElement("ExtraData", line);
    return n;
}

bool VesRecData::fromXml(const Node& node)
{
    const Node* e = findRecordElement(node, kXmlName);
    if (!e)
        return false;
    e->getInt("Release", m_release);
    e->getInt("Version", m_version);
    e->getInt("Build", m_build);
    e->getString("Copyright", m_copyright);
    e->getInt("TimeExp25", m_timeExp25);
    e->getString("Date", m_date);
    e->getString("Time", m_time);
    e->getString("At", m_at);
    e->getString("By", m_by);
    e->getString("RecDate", m_recDate);
    e->getString("RecDev", m_recDev);
    e->getString("ModTime", m_modTime);
    e->getString("User", m_user);
    for (const auto& c : e->children())
        if (c->name() == "ExtraData")
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

std::vector<std::uint8_t> AnaMarkSave::toBytes() const
{
    std::vector<std::uint8_t> b(kFixedSize, 0);
    std::uint8_t* p = b.data();
    writeLe32(p + 0, static_cast<std::uint32_t>(kFixedSize));
    writeLeI32(p + 4, 4);
    writeLeI32(p + 8, 0);
    writeLe32(p + 12, static_cast<std::uint32_t>(m_posX));
    writeLe32(p + 16, static_cast<std::uint32_t>(m_posY));
    // 20..23 stay zero
    writeLeI32(p + 24, m_chan);
    writeLeI32(p + 28, m_spect ? 1 : 0);
    writeLeI32(p + 32, m_typ);
    writeLe32(p + 36, static_cast<std::uint32_t>(m_first));
    writeLe32(p + 40, static_cast<std::uint32_t>(m_last));
    writeLeI32(p + 44, m_show ? 1 : 0);
    writeLeI32(p + 48, m_showLabel ? 1 : 0);
    writeLeI32(p + 52, m_markNr);
    writeLeI32(p + 56, m_select ? 1 : 0);
    putText(p + 60, 80, m_label);
    putText(p + 140, 400, m_desc);
    return b;
}

bool AnaMarkSave::fromBytes(std::span<const std::uint8_t> bytes)
{
    if (bytes.size() < kFixedSize)
        return false;
    const std::uint8_t* p = bytes.data();
    m_release = readLeI32(p + 4);
    m_version = readLeI32(p + 8);
    m_posX = readLeI32(p + 12);
    m_posY = readLeI32(p + 16);
    m_anyY = false;
    m_chan = readLeI32(p + 24);
    m_spect = readLe32(p + 28) != 0;
    m_typ = readLeI32(p + 32);
    m_first = readLeI32(p + 36);
    m_last = readLeI32(p + 40);
    m_show = readLe32(p + 44) != 0;
    m_showLabel = readLe32(p + 48) != 0;
    m_markNr = readLeI32(p + 52);
    m_select = readLe32(p + 56) != 0;
    m_label = getText(p + 60, 80);
    m_desc = getText(p + 140, 400);
    return true;
}

std::unique_ptr<Node> AnaMarkSave::toXml() const
{
    auto n = std::make_unique<Node>(kXmlName);
    n->addChildElement("Release", m_release);
    n->addChildElement("Version", m_version);
    n->addChildElement("PosX", m_posX);
    n->addChildElement("PosY", m_posY);
    n->addChildElement("Chan", m_chan);
    n->addChildElement("Spect", std::int32_t{m_spect});
    n->addChildElement("Typ", m_typ);
    n->addChildElement("First", m_first);
    n->addChildElement("Last", m_last);
    n->addChildElement("MarkNr", m_markNr);
    n->addChildElement("Select", std::int32_t{m_select});
    n->addChildElement("AnyY", std::int32_t{m_anyY});
    n->addChildElement("Show", std::int32_t{m_show});
    n->addChildElement("ShowLabel", std::int32_t{m_showLabel});
    n->addChildElement("Label", m_label);
    n->addChildElement("Desc", m_desc);
    return n;
}

bool AnaMarkSave::fromXml(const Node& node)
{
    const Node* e = findRecordElement(node, kXmlName);
    if (!e)
        return false;
    e->getInt("Release", m_release);
    e->getInt("Version", m_version);
    e->getInt64("PosX", m_posX);
    e->getInt64("PosY", m_posY);
    e->getInt("Chan", m_chan);
    e->getFlag("Spect", m_spect);
    e->getInt("Typ", m_typ);
    e->getInt64("First", m_first);
    e->getInt64("Last", m_last);
    e->getInt("MarkNr", m_markNr);
    e->getFlag("Select", m_select);
    e->getFlag("AnyY", m_anyY);
    e->getFlag("Show", m_show);
    e->getFlag("ShowLabel", m_showLabel);
    e->getString("Label", m_label);
    e->getString("Desc", m_desc);
    return true;
}
