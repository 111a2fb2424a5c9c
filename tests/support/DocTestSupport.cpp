#include "DocTestSupport.h"

namespace vestest {

std::vector<std::uint8_t> patternSamples(int channels, int bits, std::int64_t frames, std::uint32_t seed)
{
    const int bytes = bits / 8;
    std::vector<std::uint8_t> out(static_cast<size_t>(frames * channels * bytes));
    std::uint32_t s = seed;
    for (auto& b : out) {
        s = s * 1664525u + 1013904223u;
        b = static_cast<std::uint8_t>(s >> 24);
    }
    return out;
}

void fillDocument(CVesSoundDoc& doc, int channels, int bits, std::uint32_t rate, const std::vector<std::uint8_t>& bytes)
{
    doc.clearSamples();
    doc.setFormat(SoundFormat::pcm(channels, bits, rate));
    doc.appendSamples(bytes.data(), static_cast<std::int64_t>(bytes.size()));
    doc.setLengthFrames(doc.lengthFrames());
}

std::vector<std::uint8_t> documentBytes(CVesSoundDoc& doc)
{
    std::vector<std::uint8_t> out(static_cast<size_t>(doc.lengthBytes()));
    doc.samples().read(out.data(), static_cast<std::int64_t>(out.size()), 0);
    return out;
}

}  // namespace vestest
