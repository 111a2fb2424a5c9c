#include "records/RecordBytes.h"

#include <cstring>

namespace vesrec {

std::string cutText(std::string_view text, std::size_t maxBytes)
{
    if (text.size() <= maxBytes)
        return std::string(text);
    std::size_t n = maxBytes;
    // Step back over a multi-byte sequence that the cut would split: find its
    // lead byte among the last three bytes kept and check its length.
    for (std::size_t back = 1; back <= 3 && back <= n; ++back) {
        const auto c = static_cast<unsigned char>(text[n - back]);
        if ((c & 0xC0) == 0x80)
            continue;  // a continuation byte: keep looking for the lead
        std::size_t len = 1;
        if ((c & 0xE0) == 0xC0)
            len = 2;
        else if ((c & 0xF0) == 0xE0)
            len = 3;
        else if ((c & 0xF8) == 0xF0)
            len = 4;
        if (len > back)
            n -= back;
        break;
    }
    return std::string(text.substr(0, n));
}

void putText(std::uint8_t* field, std::size_t fieldSize, std::string_view text)
{
    if (fieldSize == 0)
        return;
    const std::string kept = cutText(text, fieldSize - 1);
    std::memset(field, 0, fieldSize);
    if (!kept.empty())
        std::memcpy(field, kept.data(), kept.size());
}

std::string getText(const std::uint8_t* field, std::size_t fieldSize)
{
    const void* zero = std::memchr(field, 0, fieldSize);
    const std::size_t n = zero ? static_cast<std::size_t>(static_cast<const std::uint8_t*>(zero) - field) : fieldSize;
    return std::string(reinterpret_cast<const char*>(field), n);
}

}  // namespace vesrec
