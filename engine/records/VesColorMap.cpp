#include "records/VesColorMap.h"

#include "core/ByteOrder.h"
#include "records/RecordBytes.h"
#include "records/SettingsValues.h"
#include "records/VesRecData.h"

#include <algorithm>
#include <cstdio>

using VkitXML::Node;
using namespace vesrec;

void VesColorMapRad::toBytes(std::uint8_t* p) const
{
    writeLeI32(p + 0, m_dbFrom);
    writeLeI32(p + 4, m_dbTo);
    writeLeI32(p + 8, m_dbStep);
    writeLeI32(p + 12, m_count);
    writeLe32(p + 16, m_colFrom);
    writeLe32(p + 20, m_colTo);
    writeLeI32(p + 24, m_firstPenIx);
}

void VesColorMapRad::fromBytes(const std::uint8_t* p)
{
    m_dbFrom = readLeI32(p + 0);
    m_dbTo = readLeI32(p + 4);
    m_dbStep = readLeI32(p + 8);
    m_count = readLeI32(p + 12);
    m_colFrom = readLe32(p + 16);
    m_colTo = readLe32(p + 20);
    m_firstPenIx = readLeI32(p + 24);
}

std::unique_ptr<Node> VesColorMapRad::toXml() const
{
    auto n = std::make_unique<Node>(kXmlName);
    n->addChildElement("DbFrom", m_dbFrom);
    n->addChildElement("DbTo", m_dbTo);
    n->addChildElement("DbStep", m_dbStep);
    n->addChildElement("Count", m_count);
    n->addChildElement("colFrom", std::int64_t{m_colFrom});
    n->addChildElement("colTo", std::int64_t{m_colTo});
    n->addChildElement("FirstPenIx", m_firstPenIx);
    return n;
}

void VesColorMapRad::fromXml(const Node& band)
{
    band.getInt("DbFrom", m_dbFrom);
    band.getInt("DbTo", m_dbTo);
    band.getInt("DbStep", m_dbStep);
    band.getInt("Count", m_count);
    std::int64_t col = 0;
    if (band.getInt64("colFrom", col))
        m_colFrom = static_cast<std::uint32_t>(col);
    if (band.getInt64("colTo", col))
        m_colTo = static_cast<std::uint32_t>(col);
    band.getInt("FirstPenIx", m_firstPenIx);
}

std::array<VesColorMapRad, VesColorMap::kBands> VesColorMap::defaultBands()
{
    std::array<VesColorMapRad, kBands> bands{};
    bands[0].m_dbFrom = 0;
    bands[0].m_dbTo = -90;
    bands[0].m_dbStep = -1;
    bands[0].m_count = 90;
    return bands;
}

std::vector<std::uint8_t> VesColorMap::toBytes() const
{
    std::vector<std::uint8_t> b(kFixedSize, 0);
    toBytes(b.data(), b.size());
    return b;
}

void VesColorMap::toBytes(std::uint8_t* out, std::size_t size) const
{
    if (size > kFixedSize)
        size = kFixedSize;
    std::uint8_t full[kFixedSize] = {};
    writeLeI32(full + 0, m_release);
    writeLeI32(full + 4, m_version);
    putText(full + 8, kNameSize, m_name);
    writeLeI32(full + 40, m_colorMapRader);
    writeLeI32(full + 44, m_reserv);
    writeLeI64(full + 48, m_modTime);
    for (std::size_t i = 0; i < kBands; ++i)
        m_bands[i].toBytes(full + kBandsOffset + i * VesColorMapRad::kFixedSize);
    std::copy(full, full + size, out);
}

bool VesColorMap::fromBytes(std::span<const std::uint8_t> bytes)
{
    if (bytes.size() < kFixedSize)
        return false;
    fromBytesPrefix(bytes.data(), kFixedSize);
    return true;
}

void VesColorMap::fromBytesPrefix(const std::uint8_t* in, std::size_t size)
{
    // Each field is taken only when it lies wholly inside the bytes given.
    auto fits = [size](std::size_t offset, std::size_t length) { return offset + length <= size; };
    if (fits(0, 4))
        m_release = readLeI32(in + 0);
    if (fits(4, 4))
        m_version = readLeI32(in + 4);
    if (fits(8, kNameSize))
        m_name = getText(in + 8, kNameSize - 1);  // the last byte is always the terminator
    if (fits(40, 4))
        m_colorMapRader = readLeI32(in + 40);
    if (fits(44, 4))
        m_reserv = readLeI32(in + 44);
    if (fits(48, 8))
        m_modTime = readLeI64(in + 48);
    for (std::size_t i = 0; i < kBands; ++i) {
        const std::size_t at = kBandsOffset + i * VesColorMapRad::kFixedSize;
        VesColorMapRad& band = m_bands[i];
        if (fits(at, VesColorMapRad::kFixedSize)) {
            band.fromBytes(in + at);
            continue;
        }
        std::int32_t* fields[] = {&band.m_dbFrom, &band.m_dbTo, &band.m_dbStep, &band.m_count};
        for (std::size_t f = 0; f < 4; ++f)
            if (fits(at + 4 * f, 4))
                *fields[f] = readLeI32(in + at + 4 * f);
        if (fits(at + 16, 4))
            band.m_colFrom = readLe32(in + at + 16);
        if (fits(at + 20, 4))
            band.m_colTo = readLe32(in + at + 20);
        // FirstPenIx is the last field: a band cut short never holds it.
    }
}

std::unique_ptr<Node> VesColorMap::toXml() const
{
    auto n = std::make_unique<Node>(kXmlName);
    n->addChildElement("Release", m_release);
    n->addChildElement("Version", m_version);
    n->addChildElement("Name", cutText(m_name, kNameSize - 1));
    n->addChildElement("ColorMapRader", m_colorMapRader);
    n->addChildElement("Reserv", m_reserv);
    n->addChildElement("ModTime", m_modTime);
    for (const auto& band : m_bands)
        n->addChild(band.toXml());
    return n;
}

bool VesColorMap::fromXml(const Node& node)
{
    const Node* e = findRecordElement(node, kXmlName);
    if (!e)
        return false;
    e->getInt("Release", m_release);
    e->getInt("Version", m_version);
    std::string name;
    if (e->getString("Name", name))
        m_name = cutText(name, kNameSize - 1);
    e->getInt("ColorMapRader", m_colorMapRader);
    e->getInt("Reserv", m_reserv);
    e->getInt64("ModTime", m_modTime);
    std::size_t i = 0;
    for (const auto& c : e->children()) {
        if (c->name() != VesColorMapRad::kXmlName)
            continue;
        if (i >= kBands)
            break;
        m_bands[i++].fromXml(*c);
    }
    return true;
}

std::string VesColorMapList::entryName(std::size_t index)
{
    char buf[24];
    std::snprintf(buf, sizeof buf, "%03zu", index);
    return buf;
}

std::vector<VesColorMap> VesColorMapList::load(const vkit::RegCls& reg)
{
    std::vector<VesColorMap> maps;
    int missing = 0;
    for (std::size_t i = 0; missing < 9; ++i) {
        const auto bytes = reg.readBinary(kRegKey, entryName(i));
        VesColorMap map;
        if (bytes && bytes->size() == VesColorMap::kFixedSize && map.fromBytes(*bytes)) {
            maps.push_back(std::move(map));
            missing = 0;
        } else {
            ++missing;
        }
    }
    return maps;
}

bool VesColorMapList::save(vkit::RegCls& reg, const std::vector<VesColorMap>& maps)
{
    KeyWriter w(reg, kRegKey);
    std::size_t i = 0;
    for (const auto& map : maps) {
        const auto bytes = map.toBytes();
        w.binary(entryName(i++), bytes.data(), bytes.size());
    }
    for (int k = 0; k < 10; ++k)
        w.binary(entryName(i++), nullptr, 0);
    return w.finish();
}
