// The program's folders include each other in one direction only: shell
// includes display and commands, display includes commands, and neither of
// those includes shell; commands and the engine need no Qt.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

// "file:line: text" of every include in the sources under `folder` that
// starts with one of `prefixes`.
std::vector<std::string> includesOf(const std::string& folder, const std::vector<std::string>& prefixes)
{
    std::vector<std::string> found;
    const fs::path root = fs::path(VES_SOURCE_DIR) / folder;
    for (const auto& entry : fs::recursive_directory_iterator(root)) {
        const std::string ext = entry.path().extension().string();
        if (!entry.is_regular_file() || (ext != ".h" && ext != ".cpp"))
            continue;
        std::ifstream in(entry.path());
        std::string line;
        for (int n = 1; std::getline(in, line); ++n) {
            if (line.rfind("#include ", 0) != 0)
                continue;
            const std::string target = line.substr(9);
            for (const std::string& p : prefixes)
                if (target.rfind(p, 0) == 0)
                    found.push_back(entry.path().lexically_relative(VES_SOURCE_DIR).string() + ":" + std::to_string(n) +
                                    ": " + line);
        }
    }
    return found;
}

}  // namespace

TEST(IncludeLayers, NoFolderIncludesTheOneAboveIt)
{
    struct Rule {
        const char* folder;
        std::vector<std::string> forbidden;
    } rules[] = {
        {"app/display", {"\"shell/"}},
        // Printing serves the views and the measurement windows alike.
        {"app/print", {"\"shell/", "\"display/", "\"power/", "\"pulse/"}},
        {"app/commands", {"\"shell/", "\"display/", "<Q"}},
        {"engine", {"<Q", "\"shell/", "\"render/"}},
    };
    for (const Rule& r : rules)
        EXPECT_EQ(includesOf(r.folder, r.forbidden), std::vector<std::string>{}) << r.folder;
}
