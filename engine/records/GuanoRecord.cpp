#include "records/GuanoRecord.h"

#include "core/NumberText.h"
#include "core/TextTrim.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <cstdlib>
#include <algorithm>

namespace {


// Length of the UTF-8 sequence at p, or 0 when it is not a valid one
// (overlong forms, surrogates and code points past U+10FFFF refused).
std::size_t utf8Sequence(const std::uint8_t* p, std::size_t left)
{
    const std::uint8_t c = p[0];
    if (c < 0x80)
        return 1;
    std::size_t n = 0;
    std::uint32_t cp = 0;
    if ((c & 0xE0) == 0xC0) {
        n = 2;
        cp = c & 0x1F;
    } else if ((c & 0xF0) == 0xE0) {
        n = 3;
        cp = c & 0x0F;
    } else if ((c & 0xF8) == 0xF0) {
        n = 4;
        cp = c & 0x07;
    } else {
        return 0;
    }
    if (left < n)
        return 0;
    for (std::size_t i = 1; i < n; ++i) {
        if ((p[i] & 0xC0) != 0x80)
            return 0;
        cp = (cp << 6) | (p[i] & 0x3F);
    }
    static constexpr std::uint32_t kMin[5] = {0, 0, 0x80, 0x800, 0x10000};
    if (cp < kMin[n] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
        return 0;
    return n;
}

using vkit::trimBlanks;

// Days since 1970-01-01 of a proleptic Gregorian date, and back.
std::int64_t daysFromCivil(std::int64_t y, unsigned m, unsigned d)
{
    y -= m <= 2;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

void civilFromDays(std::int64_t z, std::int64_t& y, unsigned& m, unsigned& d)
{
    z += 719468;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    d = doy - (153 * mp + 2) / 5 + 1;
    m = mp < 10 ? mp + 3 : mp - 9;
    y = static_cast<std::int64_t>(yoe) + era * 400 + (m <= 2);
}

bool digits(std::string_view s, std::size_t at, std::size_t n, int& value)
{
    if (at + n > s.size())
        return false;
    value = 0;
    for (std::size_t i = at; i < at + n; ++i) {
        if (s[i] < '0' || s[i] > '9')
            return false;
        value = value * 10 + (s[i] - '0');
    }
    return true;
}

std::string plainNumber(double v)
{
    return vkit::formatC("%g", v);
}

}  // namespace

bool GuanoRecord::parse(const std::uint8_t* data, std::size_t size, GuanoRecord& out, std::string& error,
                        std::string* warning)
{
    out.m_fields.clear();
    error.clear();
    if (warning)
        warning->clear();
    while (size > 0 && data[size - 1] == 0)
        --size;
    std::size_t pos = 0;
    if (size >= 3 && data[0] == 0xEF && data[1] == 0xBB && data[2] == 0xBF)
        pos = 3;
    std::size_t firstInvalid = std::string::npos;
    for (std::size_t i = pos; i < size;) {
        if (data[i] == 0) {
            error = vkit::formatC("GUANO metadata holds a NUL byte at %zu; it is kept unchanged.", i);
            return false;
        }
        std::size_t n = utf8Sequence(data + i, size - i);
        if (n == 0) {
            if (firstInvalid == std::string::npos)
                firstInvalid = i;
            n = 1;
        }
        i += n;
    }
    if (firstInvalid != std::string::npos) {
        // Legacy 8-bit text: read it as Windows-1252, the code page such
        // programs write, and keep the bytes for a record left unchanged.
        const std::string text =
            windows1252ToUtf8(std::string_view(reinterpret_cast<const char*>(data + pos), size - pos));
        GuanoRecord decoded;
        std::string innerWarning;
        if (!parse(reinterpret_cast<const std::uint8_t*>(text.data()), text.size(), decoded, error, &innerWarning))
            return false;
        decoded.m_encoding = GuanoEncoding::Windows1252;
        decoded.m_legacyBytes.assign(data, data + size);
        decoded.m_legacyFields = decoded.m_fields;
        if (warning)
            *warning = vkit::formatC("GUANO metadata is not valid UTF-8 (byte %zu); it was read as Windows-1252.",
                                     firstInvalid) +
                       (innerWarning.empty() ? "" : " " + innerWarning);
        out = std::move(decoded);
        return true;
    }
    GuanoRecord rec;
    int lineNo = 0;
    while (pos < size) {
        const void* nlp = std::memchr(data + pos, '\n', size - pos);
        const std::size_t end = nlp ? static_cast<std::size_t>(static_cast<const std::uint8_t*>(nlp) - data) : size;
        ++lineNo;
        if (end - pos > kMaxLineBytes) {
            error = vkit::formatC("GUANO metadata line %d is longer than %zu bytes; it is kept unchanged.", lineNo,
                                  kMaxLineBytes);
            return false;
        }
        const std::string_view line(reinterpret_cast<const char*>(data + pos), end - pos);
        pos = end + 1;
        const std::string_view t = trimBlanks(line);
        if (t.empty())
            continue;
        const std::size_t colon = t.find(':');
        GuanoField f;
        if (colon == std::string_view::npos || trimBlanks(t.substr(0, colon)).empty()) {
            f.value = std::string(t);
        } else {
            f.key = std::string(trimBlanks(t.substr(0, colon)));
            f.value = std::string(trimBlanks(t.substr(colon + 1)));
            if (warning && warning->empty() && rec.find(f.key))
                *warning = "GUANO metadata repeats the key \"" + f.key + "\"; every copy is kept.";
        }
        rec.m_fields.push_back(std::move(f));
    }
    out = std::move(rec);
    return true;
}

std::vector<std::uint8_t> GuanoRecord::toBytes() const
{
    if (m_encoding == GuanoEncoding::Windows1252 && m_fields == m_legacyFields)
        return m_legacyBytes;
    std::string text;
    if (!find(GuanoRecord::kVersionKey))
        text = std::string(GuanoRecord::kVersionKey) + ": 1.0\n";
    for (const auto& f : m_fields) {
        if (f.key.empty())
            text += f.value;
        else
            text += f.key + ": " + f.value;
        text += '\n';
    }
    return std::vector<std::uint8_t>(text.begin(), text.end());
}

const std::string* GuanoRecord::find(std::string_view key) const
{
    for (const auto& f : m_fields)
        if (!f.key.empty() && f.key == key)
            return &f.value;
    return nullptr;
}

void GuanoRecord::set(std::string_view key, std::string value)
{
    // Newlines would split the field; GUANO writes them as "\n".
    std::string clean;
    for (char c : value) {
        if (c == '\n')
            clean += "\\n";
        else if (c != '\r')
            clean += c;
    }
    for (auto& f : m_fields)
        if (!f.key.empty() && f.key == key) {
            f.value = std::move(clean);
            return;
        }
    m_fields.push_back({std::string(key), std::move(clean)});
}

bool GuanoRecord::remove(std::string_view key)
{
    const auto before = m_fields.size();
    std::erase_if(m_fields, [&](const GuanoField& f) { return !f.key.empty() && f.key == key; });
    return m_fields.size() != before;
}

std::optional<double> GuanoRecord::number(std::string_view key) const
{
    const std::string* v = find(key);
    if (!v)
        return std::nullopt;
    double x = 0;
    if (!vkit::parseDouble(trimBlanks(*v), x))
        return std::nullopt;
    return x;
}

void GuanoRecord::applySave(const SaveContext& ctx)
{
    if (ctx.lengthChanged)
        set("Length", vkit::formatC("%.6f", ctx.lengthSeconds));
    if (ctx.samplerate > 0 && find("Samplerate")) {
        const auto rate = number("Samplerate");
        if (!rate || std::lround(*rate) != static_cast<long>(ctx.samplerate))
            set("Samplerate", vkit::formatC("%u", ctx.samplerate));
    }
    const auto te = number("TE");
    if ((te && std::fabs(*te - ctx.timeExpansion) > 1e-9) || (!te && std::fabs(ctx.timeExpansion - 1) > 1e-9))
        set("TE", plainNumber(ctx.timeExpansion));
    if (ctx.startRealSeconds != 0) {
        if (const std::string* ts = find("Timestamp")) {
            const std::string shifted = shiftGuanoTimestamp(*ts, ctx.startRealSeconds);
            if (!shifted.empty())
                set("Timestamp", shifted);
        }
    }
    if (!find("Original Filename") && !ctx.originalFilename.empty())
        set("Original Filename", ctx.originalFilename);
}

const std::vector<std::string>& GuanoRecord::editableKeys()
{
    static const std::vector<std::string> keys = {"Species Manual ID", "Note", "Loc Position", "Loc Elevation",
                                                  "Make", "Model"};
    return keys;
}

GuanoRecord guanoForNewRecording(const NewRecordingInfo& info)
{
    GuanoRecord g;
    g.set(GuanoRecord::kVersionKey, "1.0");
    g.set("Make", info.make);
    g.set("Model", info.model);
    if (!info.version.empty())
        g.set("Firmware Version", info.version);
    const std::int64_t local = info.unixSeconds + info.utcOffsetMinutes * 60LL;
    const std::int64_t days = local >= 0 ? local / 86400 : -((-local + 86399) / 86400);
    const std::int64_t inDay = local - days * 86400;
    std::int64_t y = 0;
    unsigned m = 0, d = 0;
    civilFromDays(days, y, m, d);
    const int off = std::abs(info.utcOffsetMinutes);
    g.set("Timestamp", vkit::formatC("%04lld-%02u-%02uT%02lld:%02lld:%02lld%c%02d:%02d", static_cast<long long>(y), m, d,
                                     static_cast<long long>(inDay / 3600), static_cast<long long>(inDay / 60 % 60),
                                     static_cast<long long>(inDay % 60), info.utcOffsetMinutes < 0 ? '-' : '+',
                                     off / 60, off % 60));
    g.set("Samplerate", vkit::formatC("%u", info.samplerate));
    g.set("TE", plainNumber(info.timeExpansion));
    g.set("Length", vkit::formatC("%.6f", info.lengthSeconds));
    if (!info.device.empty())
        g.set("Vesperon|Device", info.device);
    return g;
}

std::string shiftGuanoTimestamp(std::string_view text, double seconds)
{
    const std::string_view t = trimBlanks(text);
    int y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0;
    if (!digits(t, 0, 4, y) || t.size() < 19 || t[4] != '-' || !digits(t, 5, 2, mo) || t[7] != '-' ||
        !digits(t, 8, 2, d) || (t[10] != 'T' && t[10] != ' ') || !digits(t, 11, 2, h) || t[13] != ':' ||
        !digits(t, 14, 2, mi) || t[16] != ':' || !digits(t, 17, 2, s))
        return {};
    if (mo < 1 || mo > 12 || d < 1 || d > 31 || h > 23 || mi > 59 || s > 60 || !std::isfinite(seconds) ||
        std::fabs(seconds) > 1e12)
        return {};
    std::size_t at = 19;
    int fracDigits = 0;
    std::int64_t fracMicros = 0;
    if (at < t.size() && t[at] == '.') {
        ++at;
        std::int64_t scale = 100000;
        while (at < t.size() && t[at] >= '0' && t[at] <= '9') {
            fracMicros += (t[at] - '0') * scale;
            scale /= 10;
            ++fracDigits;
            ++at;
        }
        if (fracDigits == 0)
            return {};
    }
    const std::string_view zone = t.substr(at);
    if (!zone.empty() && zone != "Z") {
        int zh = 0, zm = 0;
        const bool colon = zone.size() == 6 && zone[3] == ':';
        if ((zone[0] != '+' && zone[0] != '-') || !digits(zone, 1, 2, zh) ||
            !(colon ? digits(zone, 4, 2, zm) : (zone.size() == 5 ? digits(zone, 3, 2, zm) : zone.size() == 3)))
            return {};
    }
    const std::int64_t shift = std::llround(seconds * 1e6);
    std::int64_t total = (daysFromCivil(y, static_cast<unsigned>(mo), static_cast<unsigned>(d)) * 86400 +
                          h * 3600 + mi * 60 + s) * 1000000 + fracMicros + shift;
    if (fracDigits == 0 && shift % 1000000 != 0)
        fracDigits = 3;
    fracDigits = std::min(fracDigits, 6);
    std::int64_t secs = total >= 0 ? total / 1000000 : -((-total + 999999) / 1000000);
    const std::int64_t micros = total - secs * 1000000;
    std::int64_t days = secs >= 0 ? secs / 86400 : -((-secs + 86399) / 86400);
    const std::int64_t inDay = secs - days * 86400;
    std::int64_t yy = 0;
    unsigned mm = 0, dd = 0;
    civilFromDays(days, yy, mm, dd);
    std::string out(text.substr(0, static_cast<std::size_t>(t.data() - text.data())));
    out += vkit::formatC("%04lld-%02u-%02u%c%02lld:%02lld:%02lld", static_cast<long long>(yy), mm, dd, t[10],
                         static_cast<long long>(inDay / 3600), static_cast<long long>(inDay / 60 % 60),
                         static_cast<long long>(inDay % 60));
    if (fracDigits > 0) {
        std::int64_t div = 1;
        for (int i = fracDigits; i < 6; ++i)
            div *= 10;
        out += vkit::formatC(".%0*lld", fracDigits, static_cast<long long>(micros / div));
    }
    out += std::string(zone);
    return out;
}

int wamdTimeExpansion(const std::uint8_t* data, std::size_t size)
{
    std::size_t pos = 0;
    while (pos + 6 <= size) {
        const unsigned tag = data[pos] | (data[pos + 1] << 8);
        const std::uint32_t len = static_cast<std::uint32_t>(data[pos + 2]) | (data[pos + 3] << 8) |
                                  (data[pos + 4] << 16) | (static_cast<std::uint32_t>(data[pos + 5]) << 24);
        pos += 6;
        if (len > size - pos)
            return 0;
        if (tag == 15 && len >= 2) {
            const int te = data[pos] | (data[pos + 1] << 8);
            return te >= 1 ? te : 0;
        }
        pos += len;
    }
    return 0;
}

std::string windows1252ToUtf8(std::string_view text)
{
    // 0x80 .. 0x9F; the rest of the upper half is Latin-1, i.e. the code point itself.
    static constexpr char16_t kHigh[32] = {
        0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
        0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
        0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};
    std::string out;
    out.reserve(text.size() + text.size() / 4);
    for (const char ch : text) {
        const auto b = static_cast<unsigned char>(ch);
        const std::uint32_t cp = b >= 0x80 && b < 0xA0 ? kHigh[b - 0x80] : b;
        if (cp < 0x80) {
            out += static_cast<char>(cp);
        } else if (cp < 0x800) {
            out += static_cast<char>(0xC0 | (cp >> 6));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        } else {
            out += static_cast<char>(0xE0 | (cp >> 12));
            out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        }
    }
    return out;
}

std::string guanoValueForDisplay(std::string_view value)
{
    std::string out;
    out.reserve(value.size());
    for (std::size_t i = 0; i < value.size(); ++i) {
        if (value[i] == '\\' && i + 1 < value.size() && value[i + 1] == 'n') {
            out += '\n';
            ++i;
        } else if (value[i] == '\\' && i + 2 < value.size() && value[i + 1] == '\\' && value[i + 2] == 'n') {
            out += '\\';  // an escaped backslash: the n after it is a letter
            ++i;
        } else {
            out += value[i];
        }
    }
    return out;
}

std::string guanoValueFromDisplay(std::string_view text)
{
    // Values are trimmed when read, so breaks and blanks at either end go.
    const auto isSpace = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    while (!text.empty() && isSpace(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && isSpace(text.back()))
        text.remove_suffix(1);
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\r')
            continue;  // a Windows line break is one break
        if (c == '\n')
            out += "\\n";
        else if (c == '\\' && i + 1 < text.size() && text[i + 1] == 'n')
            out += "\\\\";
        else
            out += c;
    }
    return out;
}
