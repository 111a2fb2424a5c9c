#include "records/VprdData.h"

#include "records/RecordFieldIo.h"

#include <cstring>

using VkitXML::Node;

VprdData::VprdData(const VprdData& other)
    : m_recData(other.m_recData),
      m_anaParms(other.m_anaParms),
      m_marks(other.m_marks),
      m_playSpeedList(other.m_playSpeedList ? other.m_playSpeedList->clone() : nullptr),
      m_newerAnaParmsFound(other.m_newerAnaParmsFound)
{
}

VprdData& VprdData::operator=(const VprdData& other)
{
    if (this != &other) {
        VprdData copy(other);
        *this = std::move(copy);
    }
    return *this;
}

std::unique_ptr<Node> VprdData::toXml() const
{
    auto root = std::make_unique<Node>(kXmlName);
    root->addChild(m_recData.toXml());
    for (const auto& a : m_anaParms)
        root->addChild(a.toXml());
    for (const auto& m : m_marks)
        root->addChild(m.toXml());
    if (m_playSpeedList && !m_playSpeedList->children().empty())
        root->addChild(m_playSpeedList->clone());
    return root;
}

std::vector<std::uint8_t> VprdData::toPayload() const
{
    const auto root = toXml();
    std::vector<std::uint8_t> payload(root->writtenLength() + kPayloadPadding, 0);
    root->write(reinterpret_cast<char*>(payload.data()));
    return payload;
}

bool VprdData::fromXml(const Node& node)
{
    const Node* root = findRecordElement(node, kXmlName);
    if (!root)
        return false;
    m_recData.fromXml(*root);
    m_anaParms.clear();
    m_marks.clear();
    m_newerAnaParmsFound = false;
    for (const auto& c : root->children()) {
        if (c->name() == VesAnaParms::kXmlName) {
            if (m_newerAnaParmsFound)
                continue;
            VesAnaParms a;
            a.fromXml(*c);
            if (a.isNewerThanSupported()) {
                m_newerAnaParmsFound = true;
                continue;
            }
            m_anaParms.push_back(std::move(a));
        } else if (c->name() == AnaMarkSave::kXmlName) {
            AnaMarkSave m;
            m.fromXml(*c);
            m_marks.push_back(std::move(m));
        }
    }
    if (const Node* list = root->findChild(kPlaySpeedListName))
        m_playSpeedList = list->clone();
    return true;
}

bool VprdData::fromPayload(std::span<const std::uint8_t> payload)
{
    const auto root = Node::parse(reinterpret_cast<const char*>(payload.data()), payload.size());
    return root && fromXml(*root);
}
