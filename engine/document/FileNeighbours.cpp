#include "document/FileNeighbours.h"

#include "soundfiles/VesFileType.h"

#include <algorithm>
#include <cctype>
#include <filesystem>

namespace fs = std::filesystem;

namespace {

std::string lower(std::string s)
{
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return s;
}

}  // namespace

NeighbourFile findNeighbourFile(const std::string& documentPath, bool next, const std::vector<std::string>& openPaths)
{
    NeighbourFile r;
    const std::string path = VesFilePath(documentPath).plain();
    if (path.empty()) {
        r.message = "No file to open next from (unable to open next from a new file)!";
        return r;
    }
    const size_t slash = path.find_last_of('/');
    const std::string folder = slash == std::string::npos ? std::string(".") : path.substr(0, slash + 1);
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    const size_t dot = name.find_last_of('.');
    const std::string ext = dot == std::string::npos ? std::string() : name.substr(dot);
    const std::string ref = lower(name);

    std::vector<std::string> candidates;
    std::error_code ec;
    for (auto it = fs::directory_iterator(folder, ec); !ec && it != fs::directory_iterator(); it.increment(ec)) {
        if (!it->is_regular_file(ec) || it->file_size(ec) == 0)
            continue;
        const std::string n = it->path().filename().string();
        if (lower(n).size() < ext.size() || lower(n).compare(n.size() - ext.size(), ext.size(), lower(ext)) != 0)
            continue;
        const std::string ln = lower(n);
        if (next ? ln > ref : ln < ref)
            candidates.push_back(n);
    }
    std::sort(candidates.begin(), candidates.end(), [](const std::string& a, const std::string& b) { return lower(a) < lower(b); });
    const std::string shownFolder = folder.size() > 1 && folder.back() == '/' ? folder.substr(0, folder.size() - 1) : folder;
    if (candidates.empty()) {
        r.message = "No more files of type " + ext + " in " + shownFolder;
        return r;
    }
    if (!next)
        std::reverse(candidates.begin(), candidates.end());
    for (const std::string& n : candidates) {
        if (n.find('[') != std::string::npos || n.find(']') != std::string::npos) {
            r.message = "Can not open files with names containing '[' or ']' as in " + n;
            return r;
        }
        const std::string full = (folder == "." ? std::string() : folder) + n;
        const bool open = std::any_of(openPaths.begin(), openPaths.end(),
                                      [&](const std::string& p) { return VesFilePath(p).plain() == full; });
        if (!open) {
            r.path = full;
            return r;
        }
    }
    r.message = "All files of type " + ext + " in " + shownFolder + " has already been opened.";
    return r;
}
