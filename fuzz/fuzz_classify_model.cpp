// Feeds arbitrary bytes to the classifier model file reader, as they come
// and with their checksum mended (so that the header and length checks
// behind it are reached too); a model that reads is written again and must
// give the same bytes.
#include "classify/ModelFile.h"

#include <cstdint>
#include <cstdlib>
#include <string>

namespace {

std::uint32_t crc32(const std::string& data)
{
    std::uint32_t c = 0xFFFFFFFFu;
    for (unsigned char b : data) {
        c ^= b;
        for (int k = 0; k < 8; ++k)
            c = c & 1 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
    }
    return c ^ 0xFFFFFFFFu;
}

void check(const std::string& bytes)
{
    classify::ClassifierModel m;
    std::string error;
    if (classify::readModelBytes(bytes, m, error)) {
        classify::ClassifierModel back;
        if (!classify::readModelBytes(classify::writeModelBytes(m), back, error) ||
            classify::writeModelBytes(back) != classify::writeModelBytes(m))
            std::abort();
    } else if (error.empty()) {
        std::abort();  // a refusal always says why
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::string bytes(reinterpret_cast<const char*>(data), size);
    check(bytes);
    if (bytes.size() >= 4) {
        const std::uint32_t c = crc32(bytes.substr(0, bytes.size() - 4));
        for (int i = 0; i < 4; ++i)
            bytes[bytes.size() - 4 + i] = static_cast<char>((c >> (8 * i)) & 255);
        check(bytes);
    }
    return 0;
}
