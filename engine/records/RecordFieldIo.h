// The loops over a record's field table (RecordFields.h): settings save and
// load, XML out and in, fixed bytes out and in, and the reader's ranges.
#pragma once

#include "core/ByteOrder.h"
#include "core/RegCls.h"
#include "core/VkitXML.h"
#include "records/RecordBytes.h"
#include "records/RecordFields.h"
#include "records/SettingsValues.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

// The element itself when it has that name, else its first child of that name.
const VkitXML::Node* findRecordElement(const VkitXML::Node& node, const char* name);

namespace vesrec {

// round(v x 1000) as a 64-bit integer; not-a-number gives 0, values beyond the
// range are limited to it.
inline std::int64_t thousandths(double v)
{
    if (std::isnan(v))
        return 0;
    const double t = std::round(v * 1000.0);
    if (t >= 9.2e18)
        return std::numeric_limits<std::int64_t>::max();
    if (t <= -9.2e18)
        return std::numeric_limits<std::int64_t>::min();
    return static_cast<std::int64_t>(t);
}

inline std::int32_t clampToInt32(std::int64_t v)
{
    using Limits = std::numeric_limits<std::int32_t>;
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(v, Limits::min(), Limits::max()));
}

template <class R>
bool fieldPresent(const Field<R>& f, const R& r)
{
    return !f.present || f.present(r);
}

// ---------------------------------------------------------------------------
// Settings

template <class R>
void saveFields(std::span<const Field<R>> table, const R& r, KeyWriter& w)
{
    for (const auto& f : table) {
        if (!fieldPresent(f, r))
            continue;
        if (f.regSave) {
            f.regSave(r, w);
            continue;
        }
        if (!f.writesSettings())
            continue;
        switch (f.kind) {
        case FieldKind::Int:
        case FieldKind::Colour: w.integer(f.reg, f.getNum(r)); break;
        case FieldKind::Flag: w.flag(f.reg, f.getNum(r) != 0); break;
        case FieldKind::Text: w.text(f.reg, f.getText(r)); break;
        case FieldKind::Real: w.integer(f.reg, thousandths(f.getReal(r))); break;
        }
    }
}

template <class R>
void loadFields(std::span<const Field<R>> table, R& r, const vkit::RegCls& reg, std::string_view key)
{
    for (const auto& f : table) {
        if (!fieldPresent(f, r))
            continue;
        if (f.regLoad) {
            f.regLoad(r, reg, key);
            continue;
        }
        if (!f.readsSettings() || (f.regReadIf && !f.regReadIf(reg, key)))
            continue;
        switch (f.kind) {
        case FieldKind::Int:
        case FieldKind::Colour:
            if (f.msFallback && !reg.hasValue(key, f.reg)) {
                if (const auto ms = readOptionalInt(reg, key, f.msFallback))
                    f.setNum(r, f.bits == 64 ? mulSaturated(*ms, 1000) : clampToInt32(mulSaturated(*ms, 1000)));
            } else if (f.bits == 64) {
                f.setNum(r, readInt64(reg, key, f.reg, f.getNum(r)));
            } else {
                f.setNum(r, readInt32(reg, key, f.reg, clampToInt32(f.getNum(r))));
            }
            break;
        case FieldKind::Flag: f.setNum(r, readFlag(reg, key, f.reg, f.getNum(r) != 0) ? 1 : 0); break;
        case FieldKind::Text: f.setText(r, readText(reg, key, f.reg, f.getText(r), f.maxBytes)); break;
        case FieldKind::Real:
            if (const auto v = readOptionalInt(reg, key, f.reg))
                f.setReal(r, static_cast<double>(*v) / 1000.0);
            break;
        }
    }
}

// ---------------------------------------------------------------------------
// XML

template <class R>
void fieldsToXml(std::span<const Field<R>> table, const R& r, VkitXML::Node& n)
{
    for (const auto& f : table) {
        if (!f.xml || !fieldPresent(f, r))
            continue;
        switch (f.kind) {
        case FieldKind::Int:
            if (f.bits == 64)
                n.addChildElement(f.xml, f.getNum(r));
            else
                n.addChildElement(f.xml, static_cast<std::int32_t>(f.getNum(r)));
            break;
        case FieldKind::Colour: n.addChildElement(f.xml, f.getNum(r)); break;
        case FieldKind::Flag: n.addChildElement(f.xml, std::int32_t{f.getNum(r) != 0}); break;
        case FieldKind::Text: n.addChildElement(f.xml, cutText(f.getText(r), f.maxBytes)); break;
        case FieldKind::Real: n.addChildElement(f.xml, f.getReal(r)); break;
        }
    }
}

// Missing children keep the field.
template <class R>
void fieldsFromXml(std::span<const Field<R>> table, R& r, const VkitXML::Node& e)
{
    for (const auto& f : table) {
        if (!f.xml || !fieldPresent(f, r))
            continue;
        switch (f.kind) {
        case FieldKind::Int:
            if (f.bits == 64) {
                std::int64_t v = f.getNum(r);
                if (e.getInt64(f.xml, v))
                    f.setNum(r, v);
            } else {
                std::int32_t v = static_cast<std::int32_t>(f.getNum(r));
                if (e.getInt(f.xml, v))
                    f.setNum(r, v);
            }
            break;
        case FieldKind::Colour: {
            std::int64_t v = 0;
            if (e.getInt64(f.xml, v))
                f.setNum(r, static_cast<std::uint32_t>(v));
            break;
        }
        case FieldKind::Flag: {
            bool v = false;
            if (e.getFlag(f.xml, v))
                f.setNum(r, v ? 1 : 0);
            break;
        }
        case FieldKind::Text: {
            std::string v;
            if (e.getString(f.xml, v))
                f.setText(r, cutText(v, f.maxBytes));
            break;
        }
        case FieldKind::Real: {
            double v = 0;
            if (e.getDouble(f.xml, v))
                f.setReal(r, v);
            break;
        }
        }
    }
}

// ---------------------------------------------------------------------------
// Fixed layout (little-endian)

// Writes the fields into a zeroed image `p` of the whole layout.
template <class R>
void fieldsToBytes(std::span<const Field<R>> table, const R& r, std::uint8_t* p)
{
    for (const auto& f : table) {
        if (!f.inBytes() || !fieldPresent(f, r))
            continue;
        std::uint8_t* at = p + f.at;
        if (f.kind == FieldKind::Text) {
            putText(at, static_cast<std::size_t>(f.width), f.getText(r));
            continue;
        }
        const std::int64_t v = f.fixedConst ? f.fixedValue : f.getNum(r);
        if (f.kind == FieldKind::Flag) {
            const std::uint8_t flag = v != 0 ? 1 : 0;
            if (f.width == 1)
                *at = flag;
            else
                writeLe32(at, flag);
        } else if (f.width == 8)
            writeLeI64(at, v);
        else
            writeLe32(at, static_cast<std::uint32_t>(v));
    }
}

// Reads every field that lies wholly inside the first `size` bytes at `p`.
template <class R>
void fieldsFromBytes(std::span<const Field<R>> table, R& r, const std::uint8_t* p, std::size_t size)
{
    for (const auto& f : table) {
        if (!f.inBytes() || !f.fixedRead || !fieldPresent(f, r) ||
            static_cast<std::size_t>(f.at + f.width) > size)
            continue;
        const std::uint8_t* at = p + f.at;
        switch (f.kind) {
        case FieldKind::Text: f.setText(r, getText(at, std::min(static_cast<std::size_t>(f.width), f.maxBytes))); break;
        case FieldKind::Flag: f.setNum(r, (f.width == 1 ? *at : readLe32(at)) != 0 ? 1 : 0); break;
        case FieldKind::Colour: f.setNum(r, readLe32(at)); break;
        case FieldKind::Int: f.setNum(r, f.width == 8 ? readLeI64(at) : readLeI32(at)); break;
        case FieldKind::Real: break;
        }
    }
}

// ---------------------------------------------------------------------------
// A record whose fixed form (R::kFixedSize bytes) and XML element (R::kXmlName)
// its table holds whole; the records add what their tables do not hold.

template <class R>
std::vector<std::uint8_t> recordToBytes(const R& r)
{
    std::vector<std::uint8_t> b(R::kFixedSize, 0);
    fieldsToBytes(R::fields(), r, b.data());
    return b;
}

// False (and the record unchanged) when fewer than R::kFixedSize bytes are given.
template <class R>
bool recordFromBytes(R& r, std::span<const std::uint8_t> bytes)
{
    if (bytes.size() < R::kFixedSize)
        return false;
    fieldsFromBytes(R::fields(), r, bytes.data(), R::kFixedSize);
    return true;
}

template <class R>
std::unique_ptr<VkitXML::Node> recordToXml(const R& r)
{
    auto n = std::make_unique<VkitXML::Node>(R::kXmlName);
    fieldsToXml(R::fields(), r, *n);
    return n;
}

// Reads `node` when it is the record's element, else its first child of that
// name, and returns that element; null (and the record unchanged) when there
// is neither.
template <class R>
const VkitXML::Node* recordFromXml(R& r, const VkitXML::Node& node)
{
    const VkitXML::Node* e = findRecordElement(node, R::kXmlName);
    if (e)
        fieldsFromXml(R::fields(), r, *e);
    return e;
}

// ---------------------------------------------------------------------------
// Ranges

template <class R>
void applyRanges(std::span<const Field<R>> table, R& r)
{
    for (const auto& f : table)
        if (f.range.active && f.getNum && fieldPresent(f, r))
            f.setNum(r, f.range.apply(f.getNum(r)));
}

}  // namespace vesrec
