#include "CliSupport.h"

#include "core/NumberText.h"
#include "records/GuanoRecord.h"

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstdio>
#include <unistd.h>

const VesDefData& userDefaults()
{
    return VesDefData::saved();
}

void CliDocHost::message(const std::string& text)
{
    ++m_messages;
    if (m_context.empty())
        std::fprintf(stderr, "vesperon-cli: %s\n", text.c_str());
    else
        std::fprintf(stderr, "vesperon-cli: %s: %s\n", m_context.c_str(), text.c_str());
}

bool CliDocHost::progress(const std::string& text, std::int64_t done, std::int64_t total)
{
    if (total > 0 && ::isatty(2)) {
        std::fprintf(stderr, "\r%s %3.0f%%", text.c_str(), 100.0 * static_cast<double>(done) / static_cast<double>(total));
        m_showedProgress = true;
    }
    return true;
}

void CliDocHost::endOperation()
{
    if (m_showedProgress)
        std::fprintf(stderr, "\r\033[K");
    m_showedProgress = false;
}

bool CliDocHost::askCompressedSaveParms(int& level, int& before, int& after)
{
    level = silentLevelDb;
    before = beforeMs;
    after = afterMs;
    return true;
}

std::optional<std::int64_t> parseInt(const std::string& text)
{
    std::int64_t v = 0;
    const auto r = std::from_chars(text.data(), text.data() + text.size(), v);
    if (r.ec != std::errc() || r.ptr != text.data() + text.size())
        return std::nullopt;
    return v;
}

std::optional<double> parseNumber(const std::string& text)
{
    if (text.empty())
        return std::nullopt;
    char* end = nullptr;
    const double v = vkit::strtodC(text.c_str(), &end);
    if (end != text.c_str() + text.size() || !std::isfinite(v))
        return std::nullopt;
    return v;
}

int parseWindowName(const std::string& v)
{
    if (const auto n = parseInt(v))
        return *n >= 0 && *n <= 8 ? static_cast<int>(*n) : -1;
    static const struct {
        const char* name;
        int code;
    } names[] = {{"rectangular", 0}, {"parzen", 1}, {"hanning", 2}, {"hann", 2}, {"hamming", 4}, {"cosine", 8}};
    for (const auto& n : names)
        if (v == n.name)
            return n.code;
    return -1;
}

std::string jsonString(const std::string& text)
{
    std::string out = "\"";
    for (unsigned char c : text) {
        switch (c) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        default:
            if (c < 0x20) {
                char buf[8];
                std::snprintf(buf, sizeof buf, "\\u%04x", c);
                out += buf;
            } else {
                out += static_cast<char>(c);
            }
        }
    }
    out += '"';
    return out;
}

void printGuanoFields(const GuanoRecord& g)
{
    for (const auto& field : g.fields())
        if (field.key.empty())
            vkit::printfC("    %s\n", field.value.c_str());
        else
            vkit::printfC("    %s: %s\n", field.key.c_str(), field.value.c_str());
}
