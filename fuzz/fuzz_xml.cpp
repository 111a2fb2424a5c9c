// Feeds arbitrary text to the XML parser and the record readers built on it.
// Checks that a parsed tree writes out in exactly its written length and that
// the written form parses back into a tree that writes the same text.
#include "core/VkitXML.h"
#include "records/VesColorMap.h"
#include "records/VprdData.h"

#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const auto root = VkitXML::Node::parse(reinterpret_cast<const char*>(data), size);
    if (!root)
        return 0;

    const std::size_t length = root->writtenLength();
    std::string written(length, '\0');
    if (root->write(written.data()) != length)
        std::abort();
    const auto again = VkitXML::Node::parse(written);
    if (!again || again->toString() != written)
        std::abort();

    VprdData doc;
    if (doc.fromXml(*root)) {
        for (const auto& a : doc.m_anaParms) {
            VesAnaParms back;
            if (!back.fromBytes(a.toBytes()))
                std::abort();
        }
        (void)doc.toPayload();
    }
    VesColorMap map;
    if (map.fromXml(*root))
        (void)map.toBytes();
    return 0;
}
