#include "detectorfiles/DetectorFileList.h"

#include "core/AtomicFile.h"
#include "core/LoggCls.h"

#include <algorithm>
#include <cerrno>
#include <dirent.h>
#include <sys/stat.h>

const std::array<DetectorFileList::Column, DetectorFileList::kColumnCount> DetectorFileList::kColumns = {{
    {"File name", 100},
    {"Recorded date", 120},
    {"GPS Latitude", 100},
    {"GPS Longitude", 100},
    {"Original file name", 90},
    {"Firmware", 120},
    {"Path", 300},
}};

namespace {

char lower(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// Ascending by name without regard to the case of ASCII letters, then by bytes.
bool nameBefore(const std::string& a, const std::string& b)
{
    const auto m = std::mismatch(a.begin(), a.end(), b.begin(), b.end(),
                                 [](char x, char y) { return lower(x) == lower(y); });
    if (m.first == a.end() || m.second == b.end()) {
        if (a.size() != b.size())
            return a.size() < b.size();
        return a < b;
    }
    return static_cast<unsigned char>(lower(*m.first)) < static_cast<unsigned char>(lower(*m.second));
}

}  // namespace

bool DetectorFileList::load(const std::string& folder)
{
    m_folder = folder;
    m_files.clear();
    m_skipped.clear();
    m_error.clear();
    DIR* dir = ::opendir(folder.c_str());
    if (!dir) {
        m_error = "Cannot read the folder " + folder + ": " + vkit::systemErrorText(errno);
        return false;
    }
    const std::string prefix = !folder.empty() && folder.back() == '/' ? folder : folder + "/";
    std::vector<std::string> names;
    for (;;) {
        errno = 0;
        const dirent* e = ::readdir(dir);
        if (!e)
            break;
        const std::string name = e->d_name;
        if (name == "." || name == "..")
            continue;
        names.push_back(name);
    }
    const int readError = errno;
    ::closedir(dir);
    if (readError != 0) {
        m_error = "Cannot read the folder " + folder + ": " + vkit::systemErrorText(readError);
        return false;
    }
    std::sort(names.begin(), names.end(), nameBefore);
    for (const std::string& name : names) {
        const std::string path = prefix + name;
        struct stat st {};
        if (::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode))
            continue;  // sub-folders are not examined
        DetectorFileInfo info = readDetectorFileInfo(path);
        (info.isDetectorFile ? m_files : m_skipped).push_back(std::move(info));
    }
    return true;
}

DetectorFileList::Row DetectorFileList::rowTexts(const DetectorFileInfo& info)
{
    return {detectorDisplayText(info.fileName()), info.recordedDate, info.positionA, info.positionB,
            info.detectorFileName, info.firmware, detectorDisplayText(info.path)};
}

DetectorFileList::Table DetectorFileList::textTable(const std::vector<int>& selected) const
{
    Table table;
    Row headings;
    for (const Column& c : kColumns)
        headings.emplace_back(c.heading);
    table.push_back(std::move(headings));
    if (selected.empty()) {
        for (const DetectorFileInfo& f : m_files)
            table.push_back(rowTexts(f));
        return table;
    }
    std::vector<int> rows = selected;
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    for (int i : rows)
        if (i >= 0 && static_cast<std::size_t>(i) < m_files.size())
            table.push_back(rowTexts(m_files[static_cast<std::size_t>(i)]));
    return table;
}

std::string DetectorFileList::tableText(const Table& table, char separator, const char* lineEnd)
{
    std::string out;
    for (const Row& row : table) {
        for (std::size_t i = 0; i < row.size(); ++i) {
            if (i)
                out += separator;
            const std::string& t = row[i];
            if (t.find_first_of(std::string{separator, '"', '\r', '\n'}) == std::string::npos) {
                out += t;
                continue;
            }
            out += '"';
            for (char c : t) {
                if (c == '"')
                    out += '"';
                out += c;
            }
            out += '"';
        }
        out += lineEnd;
    }
    return out;
}

char DetectorFileList::exportSeparator(const std::string& path, std::string& message)
{
    const std::size_t slash = path.find_last_of('/');
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    const std::size_t dot = name.find_last_of('.');
    const std::string ext = dot == std::string::npos ? std::string() : name.substr(dot + 1);
    if (ext == "txt")
        return '\t';
    if (ext == "cvs" || ext == "csv")
        return ',';
    message = "Unknown file type " + ext;
    return 0;
}

bool DetectorFileList::exportTable(const std::string& path, const Table& table, std::string& message)
{
    const char separator = exportSeparator(path, message);
    if (!separator)
        return false;
    std::string error;
    if (!vkit::writeFileAtomically(path, tableText(table, separator, "\r\n"), &error)) {
        message = "Unable to create " + path + ": " + error;
        return false;
    }
    return true;
}
