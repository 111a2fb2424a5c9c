#include "classify/SpeciesTable.h"

#include "records/AnnotationTable.h"

#include <algorithm>
#include <cctype>
#include <filesystem>

namespace fs = std::filesystem;

namespace classify {

namespace {

std::string lower(std::string_view s)
{
    std::string out(s);
    for (char& c : out)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

// Species names go into the model's tab-separated header: no tabs or line
// breaks, no blanks around them.
std::string cleanSpecies(std::string s)
{
    for (char& c : s)
        if (c == '\t' || c == '\r' || c == '\n')
            c = ' ';
    const auto first = s.find_first_not_of(' ');
    if (first == std::string::npos)
        return {};
    return s.substr(first, s.find_last_not_of(' ') - first + 1);
}

int columnOf(const AnnotationTable& t, const char* name)
{
    for (std::size_t i = 0; i < t.extraColumns.size(); ++i)
        if (lower(t.extraColumns[i]) == name)
            return static_cast<int>(i);
    return -1;
}

bool isFile(const fs::path& p)
{
    std::error_code ec;
    return fs::is_regular_file(p, ec);
}

}  // namespace

bool readSpeciesTable(std::string_view text, std::vector<SpeciesSelection>& out, std::string& error)
{
    out.clear();
    AnnotationTable t;
    if (!readSelectionTable(text, t, error))
        return false;
    // The species column: one of its own first, else the label the reader found.
    int col = -1;
    for (const char* name : {"species", "species code", "class"})
        if ((col = columnOf(t, name)) >= 0)
            break;
    bool labelColumn = col < 0;
    if (labelColumn && std::none_of(t.rows.begin(), t.rows.end(), [](const Annotation& a) { return !a.label.empty(); })) {
        error = "the table has no species column (Species, Species Code, Class, Annotation or Label) with a species "
                "in it";
        return false;
    }
    const int pathCol = columnOf(t, "begin path");
    const int fileCol = columnOf(t, "begin file");
    for (const Annotation& a : t.rows) {
        SpeciesSelection s;
        s.beginSeconds = a.beginSeconds;
        s.endSeconds = a.endSeconds;
        s.lowHz = a.lowHz;
        s.highHz = a.highHz;
        s.species = cleanSpecies(labelColumn ? a.label : a.extra[col]);
        if (s.species.empty())
            continue;
        if (pathCol >= 0 && !a.extra[pathCol].empty())
            s.file = a.extra[pathCol];
        else if (fileCol >= 0)
            s.file = fs::path(a.extra[fileCol]).filename().string();
        out.push_back(std::move(s));
    }
    if (out.empty()) {
        error = "no row of the table names a species";
        return false;
    }
    return true;
}

std::string recordingOfSelection(const std::string& tablePath, const SpeciesSelection& row, std::string& tried)
{
    const fs::path table(tablePath);
    const fs::path folder = table.parent_path();
    std::vector<fs::path> candidates;
    if (!row.file.empty()) {
        const fs::path f(row.file);
        if (f.is_absolute())
            candidates.push_back(f);
        candidates.push_back(folder / f);
        candidates.push_back(folder / f.filename());
    } else {
        std::string stem = table.filename().string();
        const std::string l = lower(stem);
        std::size_t cut = std::string::npos;
        if (const std::size_t t = l.find(".table."); t != std::string::npos && l.ends_with(".selections.txt"))
            cut = t;
        else if (l.ends_with(".selections.txt"))
            cut = l.size() - 15;
        else if (l.ends_with(".txt"))
            cut = l.size() - 4;
        stem = stem.substr(0, cut);
        for (const char* ext : {".wav", ".WAV", ".vprd"})
            candidates.push_back(folder / (stem + ext));
        if (isFile(folder / stem))
            candidates.insert(candidates.begin(), folder / stem);  // the stem already has its extension
    }
    tried = candidates.front().string();
    for (const fs::path& p : candidates)
        if (isFile(p))
            return p.lexically_normal().string();
    return {};
}

std::vector<std::string> speciesOfCalls(const std::vector<CallMeasures>& calls,
                                        const std::vector<SpeciesSelection>& selections)
{
    std::vector<std::string> out(calls.size());
    std::vector<bool> ambiguous(calls.size(), false);
    for (std::size_t i = 0; i < calls.size(); ++i) {
        const CallMeasures& c = calls[i];
        for (const SpeciesSelection& s : selections) {
            const double b = s.beginSeconds * 1000, e = s.endSeconds * 1000;
            bool hit;
            if (e - b < 1.0) {
                const double mid = (b + e) / 2;
                hit = mid >= c.startMs - 1.0 && mid <= c.endMs + 1.0;
            } else {
                const double overlap = std::min(e, c.endMs) - std::max(b, c.startMs);
                hit = overlap >= 0.5 * std::max(c.durationMs, 1e-9);
                if (hit && s.lowHz >= 0 && s.highHz > s.lowHz)
                    hit = c.peakFreqHz >= 0.9 * s.lowHz && c.peakFreqHz <= 1.1 * s.highHz;
            }
            if (!hit)
                continue;
            if (out[i].empty())
                out[i] = s.species;
            else if (out[i] != s.species)
                ambiguous[i] = true;
        }
    }
    for (std::size_t i = 0; i < calls.size(); ++i)
        if (ambiguous[i])
            out[i].clear();
    return out;
}

}  // namespace classify
