// Helpers for the fixed-layout forms of the records: little-endian numbers
// and zero-terminated text fields, always within the bounds the caller gives.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace vesrec {

inline std::uint32_t getLe32(const std::uint8_t* p)
{
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}
inline std::int32_t getLeI32(const std::uint8_t* p) { return static_cast<std::int32_t>(getLe32(p)); }
inline std::uint64_t getLe64(const std::uint8_t* p)
{
    return static_cast<std::uint64_t>(getLe32(p)) | (static_cast<std::uint64_t>(getLe32(p + 4)) << 32);
}
inline std::int64_t getLeI64(const std::uint8_t* p) { return static_cast<std::int64_t>(getLe64(p)); }

inline void putLe32(std::uint8_t* p, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}
inline void putLeI32(std::uint8_t* p, std::int32_t v) { putLe32(p, static_cast<std::uint32_t>(v)); }
inline void putLe64(std::uint8_t* p, std::uint64_t v)
{
    for (int i = 0; i < 8; ++i)
        p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}
inline void putLeI64(std::uint8_t* p, std::int64_t v) { putLe64(p, static_cast<std::uint64_t>(v)); }

// The first `maxBytes` bytes of `text`, shortened further so that a UTF-8
// sequence is never split.
std::string cutText(std::string_view text, std::size_t maxBytes);

// Writes `text` into a field of `fieldSize` bytes: at most fieldSize - 1
// bytes of it (cut as by cutText), then zeros up to the end of the field.
void putText(std::uint8_t* field, std::size_t fieldSize, std::string_view text);

// The text of a field: up to its first zero, or the whole field when it holds none.
std::string getText(const std::uint8_t* field, std::size_t fieldSize);

}  // namespace vesrec
