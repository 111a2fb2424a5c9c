#include "records/AnnotationTable.h"

#include "core/NumberText.h"

#include <algorithm>
#include <cmath>
#include <set>

namespace {

constexpr const char* kBegin = "Begin Time (s)";
constexpr const char* kEnd = "End Time (s)";
constexpr const char* kLow = "Low Freq (Hz)";
constexpr const char* kHigh = "High Freq (Hz)";

std::vector<std::string_view> splitLines(std::string_view text)
{
    std::vector<std::string_view> lines;
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t nl = text.find('\n', pos);
        if (nl == std::string_view::npos)
            nl = text.size();
        std::string_view line = text.substr(pos, nl - pos);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        lines.push_back(line);
        pos = nl + 1;
    }
    return lines;
}

std::vector<std::string_view> splitTabs(std::string_view line)
{
    std::vector<std::string_view> cells;
    std::size_t pos = 0;
    for (;;) {
        const std::size_t tab = line.find('\t', pos);
        if (tab == std::string_view::npos) {
            cells.push_back(line.substr(pos));
            return cells;
        }
        cells.push_back(line.substr(pos, tab - pos));
        pos = tab + 1;
    }
}

std::string_view trim(std::string_view s)
{
    while (!s.empty() && (s.front() == ' ' || s.front() == '"'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '"'))
        s.remove_suffix(1);
    return s;
}

// Tabs and line breaks would break the table: written as blanks.
std::string cellText(std::string_view s)
{
    std::string out(s);
    std::replace_if(out.begin(), out.end(), [](char c) { return c == '\t' || c == '\n' || c == '\r'; }, ' ');
    return out;
}

std::string number(double v)
{
    return vkit::formatC("%.6f", v);
}

bool parseCell(std::string_view cell, double& v)
{
    return vkit::parseDouble(trim(cell), v) && std::isfinite(v);
}

std::string shown(std::string_view cell)
{
    if (cell.size() > 40)
        return std::string(cell.substr(0, 40)) + "...";
    return std::string(cell);
}

bool isStandard(std::string_view name)
{
    static const std::set<std::string_view> names = {"Selection", "View", "Channel", kBegin, kEnd, kLow, kHigh,
                                                     "Annotation", "Label"};
    return names.count(name) != 0;
}

}  // namespace

std::string writeSelectionTable(const AnnotationTable& table)
{
    std::string out = std::string("Selection\tView\tChannel\t") + kBegin + "\t" + kEnd + "\t" + kLow + "\t" + kHigh +
                      "\tAnnotation";
    for (const auto& c : table.extraColumns)
        out += "\t" + cellText(c);
    out += "\n";
    int n = 0;
    for (const auto& r : table.rows) {
        out += vkit::formatC("%d\tSpectrogram 1\t%d\t", ++n, r.channel);
        out += number(r.beginSeconds) + "\t" + number(r.endSeconds) + "\t";
        const bool range = r.lowHz >= 0 && r.highHz >= 0;
        out += range ? number(r.lowHz) + "\t" + number(r.highHz) : std::string("\t");
        out += "\t" + cellText(r.label);
        for (std::size_t i = 0; i < table.extraColumns.size(); ++i)
            out += "\t" + (i < r.extra.size() ? cellText(r.extra[i]) : std::string());
        out += "\n";
    }
    return out;
}

bool readSelectionTable(std::string_view text, AnnotationTable& out, std::string& error)
{
    out = AnnotationTable();
    error.clear();
    if (text.size() >= 3 && static_cast<unsigned char>(text[0]) == 0xEF && static_cast<unsigned char>(text[1]) == 0xBB &&
        static_cast<unsigned char>(text[2]) == 0xBF)
        text.remove_prefix(3);
    const auto lines = splitLines(text);
    if (lines.empty()) {
        error = "The selection table is empty.";
        return false;
    }
    const auto header = splitTabs(lines[0]);
    int begin = -1, end = -1, low = -1, high = -1, label = -1, channel = -1, selection = -1;
    AnnotationTable table;
    std::vector<int> extraIndex;
    for (int i = 0; i < static_cast<int>(header.size()); ++i) {
        const std::string_view h = trim(header[i]);
        if (h == kBegin)
            begin = i;
        else if (h == kEnd)
            end = i;
        else if (h == kLow)
            low = i;
        else if (h == kHigh)
            high = i;
        else if ((h == "Annotation" || h == "Label") && label < 0)
            label = i;
        else if (h == "Channel")
            channel = i;
        else if (h == "Selection")
            selection = i;
        if (!isStandard(h) && !h.empty()) {
            table.extraColumns.emplace_back(h);
            extraIndex.push_back(i);
        }
    }
    for (const auto& [index, name] : {std::pair{begin, kBegin}, std::pair{end, kEnd}})
        if (index < 0) {
            error = std::string("The selection table has no column \"") + name + "\".";
            return false;
        }
    std::set<std::string> seenSelections;
    for (std::size_t n = 1; n < lines.size(); ++n) {
        if (lines[n].empty())
            continue;
        const auto cells = splitTabs(lines[n]);
        const int lineNo = static_cast<int>(n + 1);
        if (cells.size() < header.size()) {
            error = vkit::formatC("Line %d of the selection table has %zu of its %zu columns.", lineNo, cells.size(),
                                  header.size());
            return false;
        }
        if (selection >= 0) {
            const std::string id(trim(cells[selection]));
            if (!id.empty() && !seenSelections.insert(id).second)
                continue;  // the same selection in another view
        }
        Annotation a;
        const auto need = [&](int index, const char* name, double& v, bool optional) {
            if (index < 0)
                return true;
            if (optional && trim(cells[index]).empty())
                return true;
            if (!parseCell(cells[index], v)) {
                error = vkit::formatC("Line %d of the selection table: \"%s\" in column \"%s\" is not a number.", lineNo,
                                      shown(cells[index]).c_str(), name);
                return false;
            }
            return true;
        };
        double ch = 1;
        if (!need(begin, kBegin, a.beginSeconds, false) || !need(end, kEnd, a.endSeconds, false) ||
            !need(low, kLow, a.lowHz, true) || !need(high, kHigh, a.highHz, true) ||
            !need(channel, "Channel", ch, true))
            return false;
        if (a.endSeconds < a.beginSeconds || a.beginSeconds < 0) {
            error = vkit::formatC("Line %d of the selection table: the selection ends before it begins or begins "
                                  "before 0.", lineNo);
            return false;
        }
        if (a.lowHz < 0 || a.highHz < 0)
            a.lowHz = a.highHz = -1;
        a.channel = static_cast<int>(std::lround(std::clamp(ch, 1.0, 64.0)));
        if (label >= 0)
            a.label = std::string(cells[label]);
        for (int i : extraIndex)
            a.extra.emplace_back(cells[i]);
        table.rows.push_back(std::move(a));
    }
    out = std::move(table);
    return true;
}

std::string writeLabelTrack(const AnnotationTable& table)
{
    std::string out;
    for (const auto& r : table.rows) {
        out += number(r.beginSeconds) + "\t" + number(r.endSeconds) + "\t" + cellText(r.label) + "\n";
        if (r.lowHz >= 0 && r.highHz >= 0)
            out += "\\\t" + number(r.lowHz) + "\t" + number(r.highHz) + "\n";
    }
    return out;
}

bool readLabelTrack(std::string_view text, AnnotationTable& out, std::string& error)
{
    out = AnnotationTable();
    error.clear();
    AnnotationTable table;
    const auto lines = splitLines(text);
    for (std::size_t n = 0; n < lines.size(); ++n) {
        if (lines[n].empty())
            continue;
        const int lineNo = static_cast<int>(n + 1);
        const auto cells = splitTabs(lines[n]);
        if (cells[0] == "\\") {
            if (table.rows.empty() || cells.size() < 3) {
                error = vkit::formatC("Line %d of the label track: a frequency line without a label before it or "
                                      "without two frequencies.", lineNo);
                return false;
            }
            Annotation& a = table.rows.back();
            if (!parseCell(cells[1], a.lowHz) || !parseCell(cells[2], a.highHz)) {
                error = vkit::formatC("Line %d of the label track: the frequencies are not numbers.", lineNo);
                return false;
            }
            if (a.lowHz < 0 || a.highHz < 0)
                a.lowHz = a.highHz = -1;
            continue;
        }
        Annotation a;
        if (cells.size() < 2 || !parseCell(cells[0], a.beginSeconds) || !parseCell(cells[1], a.endSeconds)) {
            error = vkit::formatC("Line %d of the label track: \"%s\" does not start with two times.", lineNo,
                                  shown(lines[n]).c_str());
            return false;
        }
        if (a.endSeconds < a.beginSeconds || a.beginSeconds < 0) {
            error = vkit::formatC("Line %d of the label track: the label ends before it begins or begins before 0.",
                                  lineNo);
            return false;
        }
        if (cells.size() >= 3)
            a.label = std::string(cells[2]);
        table.rows.push_back(std::move(a));
    }
    out = std::move(table);
    return true;
}

bool looksLikeSelectionTable(std::string_view text)
{
    const std::size_t nl = text.find('\n');
    const std::string_view first = text.substr(0, nl);
    return first.find(kBegin) != std::string_view::npos;
}
