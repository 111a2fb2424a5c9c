// Helpers for the fixed-layout forms of the records: zero-terminated text
// fields, always within the bounds the caller gives (their numbers go through
// core/ByteOrder.h).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace vesrec {

// The first `maxBytes` bytes of `text`, shortened further so that a UTF-8
// sequence is never split.
std::string cutText(std::string_view text, std::size_t maxBytes);

// Writes `text` into a field of `fieldSize` bytes: at most fieldSize - 1
// bytes of it (cut as by cutText), then zeros up to the end of the field.
void putText(std::uint8_t* field, std::size_t fieldSize, std::string_view text);

// The text of a field: up to its first zero, or the whole field when it holds none.
std::string getText(const std::uint8_t* field, std::size_t fieldSize);

}  // namespace vesrec
