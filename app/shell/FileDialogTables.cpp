#include "shell/FileDialogTables.h"

#include "soundfiles/VesFileType.h"

const char* const kOpenFilterList =
    "Vesperon & Wave Files (*.wav*;*.vprd*)|*.wav*;*.vprd*| Wave Files (*.wav)|*.wav|Vesperon Files (*.vprd)|*.vprd|"
    "Vesperon File Pairs (Data + Wave) (*.vprdp)|*.vprdp|Data Files (*.dat)|*.dat|"
    "Zero-crossing Files (*.zc;*#)|*.zc;*#|All Files (*.*)|*.*||";

const char* const kSaveFilterList =
    "Vesperon data files (*.vprd)|*.vprd|Vesperon file pairs (*.vprdp)|*.vprdp|Vesperon Wave Files (*.wav)|*.wav|"
    "Vesperon Compressed Wave Files (*.wav)|*.wav|Wave Files (*.wav)|*.wav|Data Files (*.dat)|*.dat||";

const char* const kSaveDetectorFilter = "R450Z/R9000Z Files (*.wav)|*.wav";

std::vector<FileFilter> parseFilterList(std::string_view list)
{
    std::vector<std::string> parts;
    size_t start = 0;
    while (start < list.size()) {
        const size_t bar = list.find('|', start);
        const std::string_view part = list.substr(start, bar == std::string_view::npos ? std::string_view::npos : bar - start);
        if (part.empty())
            break;  // "||" ends the list
        parts.emplace_back(part);
        if (bar == std::string_view::npos)
            break;
        start = bar + 1;
    }
    std::vector<FileFilter> out;
    for (size_t i = 0; i + 1 < parts.size(); i += 2) {
        FileFilter f;
        f.description = parts[i];
        const std::string& p = parts[i + 1];
        for (size_t s = 0; s <= p.size();) {
            const size_t semi = p.find(';', s);
            const std::string one = p.substr(s, semi == std::string::npos ? std::string::npos : semi - s);
            if (!one.empty())
                f.patterns.push_back(one);
            if (semi == std::string::npos)
                break;
            s = semi + 1;
        }
        out.push_back(std::move(f));
    }
    return out;
}

std::string qtNameFilter(const FileFilter& filter)
{
    std::string joined;
    for (const std::string& p : filter.patterns)
        joined += (joined.empty() ? "" : " ") + p;
    std::string desc = filter.description;
    const size_t open = desc.rfind('(');
    if (open != std::string::npos && !desc.empty() && desc.back() == ')')
        desc.erase(open);
    while (!desc.empty() && desc.back() == ' ')
        desc.pop_back();
    return desc + " (" + joined + ")";
}

const std::vector<OpenAsEntry>& openAsEntries()
{
    static const std::vector<OpenAsEntry> entries = {
        {"Automatic detection", kTypeNone},       {"Wave", kTypeStandardWave},
        {"Vesperon Wave", kTypeStandardWave},     {"Vesperon Data + Wave", kTypeVesperonPair},
        {"R450Z/R9000Z Wave file", kTypeDetectorWave}, {"Samples 16 bits MONO", kTypeData16Mono},
        {"Samples 8 bits MONO", kTypeData8Mono},
    };
    return entries;
}

int openAsType(int index)
{
    const auto& e = openAsEntries();
    if (index < 0 || index >= static_cast<int>(e.size()))
        return kTypeStandardWave;
    return e[static_cast<size_t>(index)].type;
}

namespace {
struct SaveRow {
    int type;
    const char* ext;
};
constexpr SaveRow kSaveRows[] = {
    {kTypeVesperonWave, "vprd"}, {kTypeVesperonPair, "vprdp"}, {kTypeWave, "wav"},        {kTypeWaveComp, "wav"},
    {kTypeStandardWave, "wav"},  {kTypeRawData, "dat"},        {kTypeDetectorWave, "wav"},
};
constexpr int kSaveRowCount = static_cast<int>(sizeof kSaveRows / sizeof kSaveRows[0]);
}  // namespace

std::vector<FileFilter> saveFilters(int documentType)
{
    std::vector<FileFilter> f = parseFilterList(kSaveFilterList);
    if (documentType == kTypeDetectorWave) {
        const std::vector<FileFilter> extra = parseFilterList(kSaveDetectorFilter);
        f.insert(f.end(), extra.begin(), extra.end());
    }
    return f;
}

int saveTypeForFilter(int filterIndex)
{
    if (filterIndex < 1 || filterIndex > kSaveRowCount)
        return kTypeVesperonWave;
    return kSaveRows[filterIndex - 1].type;
}

const char* saveExtensionForFilter(int filterIndex)
{
    if (filterIndex < 1 || filterIndex > kSaveRowCount)
        return "vprd";
    return kSaveRows[filterIndex - 1].ext;
}

int saveFilterForType(int documentType)
{
    for (int i = 2; i <= kSaveRowCount; ++i)
        if (kSaveRows[i - 1].type == documentType)
            return i;
    return 1;
}

std::string stripExtension(const std::string& name)
{
    const size_t slash = name.find_last_of('/');
    const size_t dot = name.find_last_of('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash))
        return name;
    return name.substr(0, dot);
}

std::string pathWithOpenType(const std::string& path, int type)
{
    if (type == kTypeNone || path.find('[') != std::string::npos)
        return path;
    return VesFilePath::tagged(path, type);
}

bool tagNamesType(int type)
{
    return fileTypeByName(fileTypeDisplayName(type)) == type;
}

std::string proposedSaveName(const std::string& title)
{
    std::string name = title.substr(0, title.find_first_of(" #%;/\\"));
    const size_t dot = name.find_last_of('.');
    if (dot != std::string::npos && isSaveableType(fileTypeBySaveExtension(name)))
        name.erase(dot);
    return name;
}
