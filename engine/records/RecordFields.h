// Field tables of the records. Each record lists its fields once, with
// everything its stored forms need: the settings value name, the XML element
// name, the place and width in the fixed layout, the range a reader brings a
// value into, and the few special rules (values written for information only
// or read only, texts of at most N bytes, thousandths, a fallback to an older
// value). Saving and loading settings, writing and reading XML and the fixed
// bytes are loops over the table (RecordFieldIo.h).
//
// The table's order is the order of the XML children and of the settings
// values; the fixed layout goes by offset.
#pragma once

#include <cstddef>
#include <cstdint>
#include <limits>
#include <string>
#include <string_view>
#include <type_traits>

namespace vkit {
class RegCls;
}

namespace vesrec {

class KeyWriter;

enum class FieldKind {
    Int,     // signed integer (or a code stored as one); XML and settings as decimal text
    Colour,  // unsigned 32-bit value: 64-bit decimal text in XML, zero-extended from the fixed layout
    Flag,    // 0 / 1
    Text,
    Real,    // double, stored in the settings as round(value x 1000)
};

// Where a settings value goes.
enum class RegUse {
    Both,       // written and read back
    WriteOnly,  // written for information, never read back
    ReadOnly,   // read, never written
};

// What a reader does with a value outside [lo, hi]: below lo it becomes
// `below`, above hi it becomes `above` (a clamp when they are lo and hi).
struct Range {
    std::int64_t lo = std::numeric_limits<std::int64_t>::min();
    std::int64_t hi = std::numeric_limits<std::int64_t>::max();
    std::int64_t below = lo;
    std::int64_t above = hi;
    bool active = false;

    std::int64_t apply(std::int64_t v) const { return !active ? v : v < lo ? below : v > hi ? above : v; }
};

inline constexpr std::int64_t kLowest = std::numeric_limits<std::int64_t>::min();
inline constexpr std::int64_t kHighest = std::numeric_limits<std::int64_t>::max();

template <class R>
struct Field {
    FieldKind kind = FieldKind::Int;
    int bits = 32;  // of an Int field in memory: 32 or 64

    // Settings: the value name (null: not stored), and what is done with it.
    const char* reg = nullptr;
    RegUse regUse = RegUse::Both;
    // A time in µs with an older value in ms: read `msFallback` x 1000 when
    // the µs value is missing.
    const char* msFallback = nullptr;
    // Settings handled by a hook instead (several values for one field).
    void (*regSave)(const R&, KeyWriter&) = nullptr;
    void (*regLoad)(R&, const vkit::RegCls&, std::string_view key) = nullptr;
    // Read back only when this says so.
    bool (*regReadIf)(const vkit::RegCls&, std::string_view key) = nullptr;

    // XML child element name (null: not in the XML form).
    const char* xml = nullptr;

    // Fixed layout: offset and width in bytes (offset -1: not in the form).
    // An Int of 64 bits in 4 bytes keeps the low 32 bits and is sign-extended
    // on reading; a flag takes 1 or 4 bytes (non-zero = true); a text is
    // zero-terminated, at most width - 1 bytes.
    int at = -1;
    int width = 0;
    // Written as this constant instead of the field's value.
    bool fixedConst = false;
    std::int64_t fixedValue = 0;
    bool fixedRead = true;  // false: written, never read back

    // Texts: at most this many bytes are taken on reading (every form), and
    // written to XML.
    std::size_t maxBytes = std::string::npos;

    Range range;

    // Only for records for which this holds (null: all).
    bool (*present)(const R&) = nullptr;

    // Access.
    std::int64_t (*getNum)(const R&) = nullptr;
    void (*setNum)(R&, std::int64_t) = nullptr;
    double (*getReal)(const R&) = nullptr;
    void (*setReal)(R&, double) = nullptr;
    const std::string& (*getText)(const R&) = nullptr;
    void (*setText)(R&, std::string) = nullptr;

    // Builders, for tables that read like the layouts they describe.
    template <class Change>
    constexpr Field with(Change change) const
    {
        Field f = *this;
        change(f);
        return f;
    }
    constexpr Field settings(const char* name, RegUse use = RegUse::Both) const
    {
        return with([&](Field& f) { f.reg = name, f.regUse = use; });
    }
    constexpr Field infoOnly(const char* name) const { return settings(name, RegUse::WriteOnly); }
    constexpr Field readOnly(const char* name) const { return settings(name, RegUse::ReadOnly); }
    constexpr Field orMs(const char* name) const { return with([&](Field& f) { f.msFallback = name; }); }
    constexpr Field settingsHook(void (*save)(const R&, KeyWriter&),
                                 void (*load)(R&, const vkit::RegCls&, std::string_view)) const
    {
        return with([&](Field& f) { f.regSave = save, f.regLoad = load; });
    }
    constexpr Field readIf(bool (*pred)(const vkit::RegCls&, std::string_view)) const
    {
        return with([&](Field& f) { f.regReadIf = pred; });
    }
    constexpr Field element(const char* name) const { return with([&](Field& f) { f.xml = name; }); }
    constexpr Field bytes(int offset, int size) const { return with([&](Field& f) { f.at = offset, f.width = size; }); }
    constexpr Field bytesConst(std::int64_t value, bool readBack) const
    {
        return with([&](Field& f) { f.fixedConst = true, f.fixedValue = value, f.fixedRead = readBack; });
    }
    constexpr Field atMost(std::size_t n) const { return with([&](Field& f) { f.maxBytes = n; }); }
    constexpr Field limits(std::int64_t lo, std::int64_t hi, std::int64_t below, std::int64_t above) const
    {
        return with([&](Field& f) { f.range = Range{lo, hi, below, above, true}; });
    }
    constexpr Field clamp(std::int64_t lo, std::int64_t hi) const { return limits(lo, hi, lo, hi); }
    constexpr Field notAbove(std::int64_t hi) const { return limits(kLowest, hi, kLowest, hi); }
    constexpr Field notBelow(std::int64_t lo) const { return limits(lo, kHighest, lo, kHighest); }
    // Outside [lo, hi] the value becomes `otherwise`.
    constexpr Field valid(std::int64_t lo, std::int64_t hi, std::int64_t otherwise) const
    {
        return limits(lo, hi, otherwise, otherwise);
    }
    constexpr Field onlyIf(bool (*pred)(const R&)) const { return with([&](Field& f) { f.present = pred; }); }

    bool readsSettings() const { return reg && regUse != RegUse::WriteOnly; }
    bool writesSettings() const { return reg && regUse != RegUse::ReadOnly; }
    bool inBytes() const { return at >= 0; }
};

namespace detail {

template <class M>
struct MemberOf;
template <class C, class T>
struct MemberOf<T C::*> {
    using Class = C;
    using Type = T;
};

}  // namespace detail

// The field of the member M, of the kind its type gives: bool a flag,
// std::string a text, double a real, an enum a code (stored as its number),
// std::uint32_t a colour, other integers a number.
template <auto M>
constexpr Field<typename detail::MemberOf<decltype(M)>::Class> field()
{
    using R = typename detail::MemberOf<decltype(M)>::Class;
    using T = typename detail::MemberOf<decltype(M)>::Type;
    Field<R> f;
    if constexpr (std::is_same_v<T, std::string>) {
        f.kind = FieldKind::Text;
        f.getText = [](const R& r) -> const std::string& { return r.*M; };
        f.setText = [](R& r, std::string v) { r.*M = std::move(v); };
    } else if constexpr (std::is_same_v<T, double>) {
        f.kind = FieldKind::Real;
        f.getReal = [](const R& r) { return r.*M; };
        f.setReal = [](R& r, double v) { r.*M = v; };
    } else {
        if constexpr (std::is_same_v<T, bool>) {
            f.kind = FieldKind::Flag;
        } else if constexpr (std::is_same_v<T, std::uint32_t>) {
            f.kind = FieldKind::Colour;
        } else {
            static_assert(std::is_enum_v<T> || std::is_signed_v<T>);
            f.kind = FieldKind::Int;
            f.bits = sizeof(T) == 8 ? 64 : 32;
        }
        f.getNum = [](const R& r) { return static_cast<std::int64_t>(r.*M); };
        f.setNum = [](R& r, std::int64_t v) {
            if constexpr (std::is_same_v<T, bool>)
                r.*M = v != 0;
            else
                r.*M = static_cast<T>(v);
        };
    }
    return f;
}

}  // namespace vesrec
