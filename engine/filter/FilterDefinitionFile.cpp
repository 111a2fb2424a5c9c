#include "filter/FilterDefinitionFile.h"

#include "core/NumberText.h"

#include <cmath>
#include <cstdio>
#include <vector>

namespace {

constexpr std::size_t kLongestLine = 1023;
constexpr std::size_t kLargestFile = 1 << 20;

FilterDefinition refused(const char* message)
{
    FilterDefinition d;
    d.message = message;
    return d;
}

// A line with its comment removed and control characters cut from both ends.
std::string_view cleaned(std::string_view line)
{
    const std::size_t semicolon = line.rfind(';');
    if (semicolon != std::string_view::npos)
        line = line.substr(0, semicolon);
    while (!line.empty() && static_cast<unsigned char>(line.front()) < 32)
        line.remove_prefix(1);
    while (!line.empty() && static_cast<unsigned char>(line.back()) < 32)
        line.remove_suffix(1);
    return line;
}

bool blank(std::string_view s)
{
    for (char c : s)
        if (c != ' ')
            return false;
    return true;
}

}  // namespace

FilterDefinition parseFilterDefinition(std::string_view text)
{
    std::vector<std::string_view> lines;
    for (std::size_t pos = 0; pos < text.size();) {
        std::size_t end = text.find('\n', pos);
        if (end == std::string_view::npos)
            end = text.size();
        if (end - pos > kLongestLine + 1 || (end - pos == kLongestLine + 1 && text[end - 1] != '\r'))
            return refused("File format error in filter definition file (a line is longer than 1023 characters).");
        lines.push_back(text.substr(pos, end - pos));
        pos = end + 1;
    }
    for (std::string_view line : lines)
        for (char c : line)
            if (c == '\0')
                return refused("File format error in filter definition file.");

    std::size_t i = 0;
    while (i < lines.size() && blank(cleaned(lines[i])))
        ++i;
    if (i == lines.size())
        return refused("File format error in filter definition file.");
    std::int64_t order = 0;
    if (!vkit::parseInt64(cleaned(lines[i]), order))
        return refused("File format error in filter definition file.");
    if (order < 1 || order > FilterRecord::kMaxOrder)
        return refused("Error in filter definition file (filter order out of range).");
    ++i;

    FilterDefinition d;
    d.order = static_cast<int>(order);
    auto readBlock = [&](std::array<double, FilterRecord::kCoefficients>& into, const char* illegal,
                         const char* missing) -> const char* {
        for (int k = 0; k <= d.order; ++k, ++i) {
            if (i >= lines.size())
                return missing;
            const std::string_view s = cleaned(lines[i]);
            double v = 0;
            if (blank(s))
                v = 0;
            else if (!vkit::parseDouble(s, v) || !std::isfinite(v))
                return illegal;
            into[static_cast<std::size_t>(k)] = v;
        }
        return nullptr;
    };
    if (const char* m = readBlock(d.A, "Error in filter definition file (illegal A koefficient).",
                                  "Error in filter definition file (missing A koefficient)."))
        return refused(m);
    if (const char* m = readBlock(d.B, "Error in filter definition file (illegal B koefficient).",
                                  "Error in filter definition file (missing B koefficient)."))
        return refused(m);
    d.ok = true;
    return d;
}

FilterDefinition readFilterDefinitionFile(const std::string& path)
{
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f)
        return refused("Unable to open the filter definition file.");
    std::string text;
    char buf[65536];
    std::size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) {
        text.append(buf, n);
        if (text.size() > kLargestFile) {
            std::fclose(f);
            return refused("File format error in filter definition file (the file is larger than 1 MiB).");
        }
    }
    const bool failed = std::ferror(f) != 0;
    std::fclose(f);
    if (failed)
        return refused("Unable to open the filter definition file.");
    return parseFilterDefinition(text);
}
