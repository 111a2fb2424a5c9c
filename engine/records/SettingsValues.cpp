#include "records/SettingsValues.h"

#include "records/RecordBytes.h"

#include <limits>

namespace vesrec {

std::optional<std::int64_t> readOptionalInt(const vkit::RegCls& reg, std::string_view key, std::string_view name)
{
    if (!reg.hasValue(key, name))
        return std::nullopt;
    // readInt gives the default for a text that is not a number; try two
    // different defaults so that every stored number is told apart from that.
    const std::int64_t a = reg.readInt(key, name, 0);
    if (a != 0)
        return a;
    const std::int64_t b = reg.readInt(key, name, 1);
    if (b != 1)
        return b;
    return std::nullopt;
}

std::int64_t mulSaturated(std::int64_t a, std::int64_t b)
{
    std::int64_t r = 0;
    if (__builtin_mul_overflow(a, b, &r))
        return ((a < 0) != (b < 0)) ? std::numeric_limits<std::int64_t>::min() : std::numeric_limits<std::int64_t>::max();
    return r;
}

std::int64_t readInt64(const vkit::RegCls& reg, std::string_view key, std::string_view name, std::int64_t def)
{
    return reg.readInt(key, name, def);
}

std::int32_t readInt32(const vkit::RegCls& reg, std::string_view key, std::string_view name, std::int32_t def)
{
    const std::int64_t v = reg.readInt(key, name, def);
    constexpr std::int64_t lo = std::numeric_limits<std::int32_t>::min();
    constexpr std::int64_t hi = std::numeric_limits<std::int32_t>::max();
    return static_cast<std::int32_t>(v < lo ? lo : (v > hi ? hi : v));
}

bool readFlag(const vkit::RegCls& reg, std::string_view key, std::string_view name, bool def)
{
    const auto v = readOptionalInt(reg, key, name);
    return v ? *v == 1 : def;
}

std::string readText(const vkit::RegCls& reg, std::string_view key, std::string_view name, std::string_view def,
                     std::size_t maxBytes)
{
    return cutText(reg.readText(key, name, def), maxBytes);
}

KeyWriter::KeyWriter(vkit::RegCls& reg, std::string key) : m_reg(reg), m_key(std::move(key))
{
    m_reg.beginUpdate();
}

KeyWriter::~KeyWriter()
{
    finish();
}

void KeyWriter::integer(std::string_view name, std::int64_t value)
{
    m_ok = m_reg.writeInt(m_key, name, value) && m_ok;
}

void KeyWriter::text(std::string_view name, std::string_view value)
{
    m_ok = m_reg.writeText(m_key, name, value) && m_ok;
}

void KeyWriter::binary(std::string_view name, const void* data, std::size_t size)
{
    m_ok = m_reg.writeBinary(m_key, name, data, size) && m_ok;
}

bool KeyWriter::finish()
{
    if (m_open) {
        m_open = false;
        m_ok = m_reg.endUpdate() && m_ok;
    }
    return m_ok;
}

}  // namespace vesrec
