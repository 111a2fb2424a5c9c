// Reading and writing the values of a settings record through vkit::RegCls:
// integers as decimal text (numbers stored as 32- or 64-bit values by other
// tools read alike), flags as 0 or 1 (read as true only for 1), texts as text.
// A value that is missing, or is not a number where a number is expected,
// leaves the record's value.
#pragma once

#include "core/RegCls.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace vesrec {

// The number stored under the name, or nothing when it is missing or not a number.
std::optional<std::int64_t> readOptionalInt(const vkit::RegCls& reg, std::string_view key, std::string_view name);
std::int64_t readInt64(const vkit::RegCls& reg, std::string_view key, std::string_view name, std::int64_t def);
// Values beyond the 32-bit range are limited to it.
std::int32_t readInt32(const vkit::RegCls& reg, std::string_view key, std::string_view name, std::int32_t def);
bool readFlag(const vkit::RegCls& reg, std::string_view key, std::string_view name, bool def);
// At most maxBytes bytes of the text (never splitting a UTF-8 sequence).
std::string readText(const vkit::RegCls& reg, std::string_view key, std::string_view name, std::string_view def,
                     std::size_t maxBytes = std::string::npos);

// a * b limited to the 64-bit range.
std::int64_t mulSaturated(std::int64_t a, std::int64_t b);

// Writes the values of one key as one update of the settings file.
class KeyWriter {
public:
    KeyWriter(vkit::RegCls& reg, std::string key);
    ~KeyWriter();
    KeyWriter(const KeyWriter&) = delete;
    KeyWriter& operator=(const KeyWriter&) = delete;

    void integer(std::string_view name, std::int64_t value);
    void flag(std::string_view name, bool value) { integer(name, value ? 1 : 0); }
    void text(std::string_view name, std::string_view value);
    void binary(std::string_view name, const void* data, std::size_t size);
    // Ends the update; true when every value was written.
    bool finish();

private:
    vkit::RegCls& m_reg;
    std::string m_key;
    bool m_ok = true;
    bool m_open = true;
};

}  // namespace vesrec
