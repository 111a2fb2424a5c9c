#include "CliInputs.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <filesystem>

namespace fs = std::filesystem;

bool isRecordingFile(const std::string& path)
{
    std::string ext = fs::path(path).extension().string();
    std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return ext == ".wav" || ext == ".vprd";
}

bool isZcFileName(const std::string& path)
{
    std::string ext = fs::path(path).extension().string();
    std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return ext == ".zc" || (ext.size() > 1 && ext.back() == '#');
}

namespace {

// The recordings of `folder`, sorted by path (component by component, so
// the order never depends on the file system's). False when it cannot be read.
bool collect(const std::string& folder, bool recursive, bool withZc, std::vector<fs::path>& found,
             bool& hasSubFolders, std::string& error)
{
    std::error_code ec;
    const auto keep = [&](const fs::directory_entry& e) {
        std::error_code fileEc;
        if (e.is_directory(fileEc))
            hasSubFolders = true;
        else if (e.is_regular_file(fileEc) &&
                 (isRecordingFile(e.path().string()) || (withZc && isZcFileName(e.path().string()))))
            found.push_back(e.path());
    };
    if (recursive) {
        fs::recursive_directory_iterator it(folder, fs::directory_options::skip_permission_denied, ec), end;
        for (; !ec && it != end; it.increment(ec))
            keep(*it);
    } else {
        fs::directory_iterator it(folder, ec), end;
        for (; !ec && it != end; it.increment(ec))
            keep(*it);
    }
    if (ec) {
        error = ec.message();
        return false;
    }
    std::sort(found.begin(), found.end());
    return true;
}

}  // namespace

RecordingInputs expandRecordingInputs(const char* command, const std::vector<std::string>& inputs, bool recursive,
                                      bool withZc)
{
    RecordingInputs out;
    for (const std::string& in : inputs) {
        std::error_code ec;
        if (!fs::is_directory(in, ec)) {
            out.files.push_back(in);
            continue;
        }
        out.anyFolder = true;
        std::vector<fs::path> found;
        bool hasSubFolders = false;
        std::string error;
        if (!collect(in, recursive, withZc, found, hasSubFolders, error)) {
            std::fprintf(stderr, "vesperon-cli %s: cannot read the folder %s: %s\n", command, in.c_str(), error.c_str());
            out.ok = false;
            continue;
        }
        if (found.empty()) {
            std::fprintf(stderr, "vesperon-cli %s: no recordings found in %s%s\n", command, in.c_str(),
                         !recursive && hasSubFolders ? " (--recursive also searches its sub-folders)" : "");
            out.ok = false;
            continue;
        }
        for (const fs::path& p : found)
            out.files.push_back(p.string());
    }
    return out;
}
