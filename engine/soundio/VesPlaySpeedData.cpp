#include "soundio/VesPlaySpeedData.h"

#include "core/VkitXML.h"

void VesPlaySpeedDataLst::fromXml(const VkitXML::Node* list)
{
    m_list.clear();
    if (!list)
        return;
    std::vector<const VkitXML::Node*> items;
    list->collectChildren("PlaySpeedData", items);
    for (const VkitXML::Node* n : items) {
        VesPlaySpeedData d;
        n->getString("Device", d.device);
        n->getDouble("RelSpeed", d.relSpeed);
        n->getInt64("AbsSpeed", d.absSpeed);
        m_list.emplace(d.device, d);
    }
}

std::unique_ptr<VkitXML::Node> VesPlaySpeedDataLst::toXml() const
{
    auto list = std::make_unique<VkitXML::Node>("PlaySpeedDataList");
    for (const auto& [name, d] : m_list) {
        auto n = std::make_unique<VkitXML::Node>("PlaySpeedData");
        n->addChildElement("Device", d.device);
        n->addChildElement("RelSpeed", d.relSpeed);
        n->addChildElement("AbsSpeed", d.absSpeed);
        list->addChild(std::move(n));
    }
    return list;
}

VesPlaySpeedData& VesPlaySpeedDataLst::current(const std::string& deviceName)
{
    auto it = m_list.find(deviceName);
    if (it != m_list.end())
        return it->second;
    return ofDevice(kDefaultName);
}

VesPlaySpeedData& VesPlaySpeedDataLst::ofDevice(const std::string& deviceName)
{
    auto it = m_list.find(deviceName);
    if (it == m_list.end()) {
        VesPlaySpeedData d;
        d.device = deviceName;
        it = m_list.emplace(deviceName, d).first;
    }
    return it->second;
}

std::uint32_t playbackRate(std::uint32_t docRateHz, const VesPlaySpeedData& preset, bool deviceRateChange)
{
    double r = docRateHz;
    if (preset.absSpeed > 1)
        r = static_cast<double>(preset.absSpeed);
    const double s = preset.relSpeed;
    if (!deviceRateChange && s >= 0.01 && s <= 100 && s != 1)
        r = static_cast<double>(static_cast<std::uint64_t>(r * s + 1e-6));
    return static_cast<std::uint32_t>(r);
}

int menuSpeedIndex(const VesPlaySpeedData& preset)
{
    if (preset.absSpeed == 0)
        for (int i = 0; i < 7; ++i)
            if (preset.relSpeed == VesPlaySpeedDataLst::kMenuSpeeds[i])
                return i;
    return 7;
}
