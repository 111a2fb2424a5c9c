#include "records/VesColorMap.h"

#include "records/RecordFieldIo.h"
#include "records/VesRecData.h"

#include <algorithm>
#include <cstdio>

using VkitXML::Node;
using namespace vesrec;

namespace {

constexpr Field<VesColorMapRad> kBandFields[] = {
    field<&VesColorMapRad::m_dbFrom>().element("DbFrom").bytes(0, 4),
    field<&VesColorMapRad::m_dbTo>().element("DbTo").bytes(4, 4),
    field<&VesColorMapRad::m_dbStep>().element("DbStep").bytes(8, 4),
    field<&VesColorMapRad::m_count>().element("Count").bytes(12, 4),
    field<&VesColorMapRad::m_colFrom>().element("colFrom").bytes(16, 4),
    field<&VesColorMapRad::m_colTo>().element("colTo").bytes(20, 4),
    field<&VesColorMapRad::m_firstPenIx>().element("FirstPenIx").bytes(24, 4),
};

constexpr Field<VesColorMap> kMapFields[] = {
    field<&VesColorMap::m_release>().element("Release").bytes(0, 4),
    field<&VesColorMap::m_version>().element("Version").bytes(4, 4),
    field<&VesColorMap::m_name>().element("Name").bytes(8, VesColorMap::kNameSize).atMost(VesColorMap::kNameSize - 1),
    field<&VesColorMap::m_colorMapRader>().element("ColorMapRader").bytes(40, 4).clamp(0, VesColorMap::kBands),
    field<&VesColorMap::m_reserv>().element("Reserv").bytes(44, 4),
    field<&VesColorMap::m_modTime>().element("ModTime").bytes(48, 8),
};

}  // namespace

std::span<const Field<VesColorMapRad>> VesColorMapRad::fields()
{
    return kBandFields;
}

std::span<const Field<VesColorMap>> VesColorMap::fields()
{
    return kMapFields;
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
    fieldsToBytes(fields(), *this, full);
    for (std::size_t i = 0; i < kBands; ++i)
        fieldsToBytes(VesColorMapRad::fields(), m_bands[i], full + kBandsOffset + i * VesColorMapRad::kFixedSize);
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
    size = std::min(size, kFixedSize);
    fieldsFromBytes(fields(), *this, in, size);
    for (std::size_t i = 0; i < kBands; ++i) {
        const std::size_t at = kBandsOffset + i * VesColorMapRad::kFixedSize;
        if (at < size)
            fieldsFromBytes(VesColorMapRad::fields(), m_bands[i], in + at, size - at);
    }
}

std::unique_ptr<Node> VesColorMap::toXml() const
{
    auto n = recordToXml(*this);
    for (const auto& band : m_bands)
        fieldsToXml(VesColorMapRad::fields(), band, *n->addChild(std::make_unique<Node>(VesColorMapRad::kXmlName)));
    return n;
}

bool VesColorMap::fromXml(const Node& node)
{
    const Node* e = recordFromXml(*this, node);
    if (!e)
        return false;
    std::size_t i = 0;
    for (const auto& c : e->children()) {
        if (c->name() != VesColorMapRad::kXmlName)
            continue;
        if (i >= kBands)
            break;
        fieldsFromXml(VesColorMapRad::fields(), m_bands[i++], *c);
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
