// The folders of the program include each other along the table of layers
// below and nowhere else: every include of every source file resolves to its
// own folder or to one its layer uses. The build links the same table
// (engine/, render/ and app/ CMakeLists.txt); this test also catches what the
// compiler cannot, an include that reaches a folder only by a relative path
// or through another layer's headers. docs/architecture.md explains the
// layers.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

// Each folder (relative to the source root) with the folders its files may
// include besides its own.
const std::map<std::string, std::set<std::string>>& allowedEdges()
{
    static const std::map<std::string, std::set<std::string>> table = {
        // The engine, from the bottom up.
        {"engine/core", {}},
        {"engine/kernels", {}},
        {"engine/records", {"engine/core"}},
        {"engine/soundfiles", {"engine/core", "engine/records"}},
        {"engine/document", {"engine/core", "engine/kernels", "engine/records", "engine/soundfiles"}},
        {"engine/display", {"engine/core", "engine/kernels", "engine/records", "engine/document"}},
        {"engine/power", {"engine/core", "engine/records", "engine/document", "engine/display"}},
        {"engine/pulse", {"engine/core", "engine/kernels", "engine/records", "engine/document", "engine/display"}},
        {"engine/filter", {"engine/core", "engine/document"}},
        {"engine/soundio",
         {"engine/core", "engine/records", "engine/soundfiles", "engine/document", "engine/display", "engine/filter"}},
        {"engine/autorec",
         {"engine/core", "engine/records", "engine/document", "engine/display", "engine/soundio"}},
        {"engine/detectorfiles", {"engine/core"}},
        {"engine/project", {"engine/core", "engine/records", "engine/document", "engine/pulse"}},
        {"engine/classify", {"engine/core", "engine/records", "engine/pulse"}},
        {"engine/zcfiles", {"engine/core", "engine/records", "engine/document", "engine/pulse"}},
        // Drawing, shared by the program and the command-line tool.
        {"render",
         {"engine/core", "engine/records", "engine/document", "engine/display", "engine/power", "engine/pulse"}},
        // The desktop program: commands, widgets and print, the views, the
        // window families, the shell.
        {"app/commands", {}},
        {"app/widgets", {"app/commands", "engine/core", "engine/display"}},
        {"app/print", {"render", "engine/core"}},
        {"app/display",
         {"app/commands", "app/widgets", "app/print", "render", "engine/core", "engine/records", "engine/document",
          "engine/display"}},
        {"app/filter",
         {"app/commands", "app/display", "render", "engine/core", "engine/document", "engine/filter"}},
        {"app/power",
         {"app/commands", "app/widgets", "app/print", "app/display", "render", "engine/core", "engine/records",
          "engine/document", "engine/power"}},
        {"app/pulse",
         {"app/commands", "app/widgets", "app/print", "app/display", "render", "engine/core", "engine/records",
          "engine/document", "engine/pulse"}},
        {"app/calls",
         {"app/commands", "app/display", "engine/core", "engine/document", "engine/pulse", "engine/classify"}},
        {"app/soundio",
         {"app/commands", "app/widgets", "app/display", "app/filter", "engine/core", "engine/records",
          "engine/document", "engine/filter", "engine/soundio"}},
        {"app/autorec",
         {"app/commands", "app/widgets", "app/display", "app/soundio", "engine/core", "engine/records",
          "engine/soundfiles", "engine/document", "engine/display", "engine/soundio", "engine/autorec"}},
        {"app/detectorfiles", {"engine/detectorfiles"}},
        {"app/project",
         {"render", "engine/core", "engine/records", "engine/document", "engine/display", "engine/pulse",
          "engine/project"}},
        {"app/shell",
         {"app/commands", "app/widgets", "app/print", "app/display", "app/filter", "app/power", "app/pulse",
          "app/calls", "app/soundio", "app/autorec", "app/detectorfiles", "app/project", "app/zc", "engine/core",
          "engine/records", "engine/soundfiles", "engine/document", "engine/display", "engine/soundio", "engine/zcfiles"}},
        {"app/zc", {"app/commands", "app/print", "render", "engine/core", "engine/records", "engine/zcfiles"}},
    };
    return table;
}

// The folder of the table that holds `path` (relative to the source root), or "".
std::string layerOf(const std::string& path)
{
    std::string best;
    for (const auto& [folder, uses] : allowedEdges())
        if (path.rfind(folder + "/", 0) == 0 && folder.size() > best.size())
            best = folder;
    return best;
}

// Where "a/b.h" of a file in `layer` is found, as the compiler looks for it:
// the program's folders first, then the engine's, then the source root.
std::string resolveInclude(const std::string& layer, const std::string& target)
{
    const fs::path root(VES_SOURCE_DIR);
    std::vector<std::string> bases;
    if (layer.rfind("app/", 0) == 0)
        bases.push_back("app/");
    bases.push_back("engine/");
    bases.push_back("");
    for (const std::string& base : bases)
        if (fs::exists(root / (base + target)))
            return base + target;
    return {};
}

struct Include {
    std::string where;  // "file:line"
    std::string layer;
    std::string target;  // as written between the quotes
};

std::vector<Include> includesOf(const std::string& layer)
{
    std::vector<Include> found;
    const fs::path root(VES_SOURCE_DIR);
    for (const auto& entry : fs::directory_iterator(root / layer)) {
        const std::string ext = entry.path().extension().string();
        if (!entry.is_regular_file() || (ext != ".h" && ext != ".cpp"))
            continue;
        std::ifstream in(entry.path());
        std::string line;
        for (int n = 1; std::getline(in, line); ++n) {
            const auto hash = line.find_first_not_of(" \t");
            if (hash == std::string::npos || line.compare(hash, 8, "#include") != 0)
                continue;
            const auto open = line.find_first_of("\"<", hash + 8);
            if (open == std::string::npos)
                continue;
            const auto close = line.find(line[open] == '"' ? '"' : '>', open + 1);
            const std::string target = line.substr(open, close - open + 1);
            found.push_back({entry.path().lexically_relative(root).string() + ":" + std::to_string(n), layer, target});
        }
    }
    return found;
}

}  // namespace

TEST(IncludeLayers, EveryIncludeStaysWithinItsLayersUses)
{
    std::vector<std::string> wrong;
    for (const auto& [layer, uses] : allowedEdges()) {
        ASSERT_TRUE(fs::is_directory(fs::path(VES_SOURCE_DIR) / layer)) << layer;
        for (const Include& inc : includesOf(layer)) {
            const bool quoted = inc.target.front() == '"';
            const std::string name = inc.target.substr(1, inc.target.size() - 2);
            if (!quoted) {
                // The engine and the command table need no Qt.
                const bool noQt = layer.rfind("engine/", 0) == 0 || layer == "app/commands";
                if (noQt && name.front() == 'Q')
                    wrong.push_back(inc.where + ": " + inc.target + " (no Qt in " + layer + ")");
                continue;
            }
            if (name.find("..") != std::string::npos || name.find('/') == std::string::npos) {
                wrong.push_back(inc.where + ": " + inc.target + " (write \"folder/file.h\")");
                continue;
            }
            const std::string path = resolveInclude(layer, name);
            const std::string to = layerOf(path);
            if (path.empty())
                wrong.push_back(inc.where + ": " + inc.target + " (not found)");
            else if (to != layer && !uses.count(to))
                wrong.push_back(inc.where + ": " + inc.target + " (" + layer + " does not use " +
                                (to.empty() ? path : to) + ")");
        }
    }
    EXPECT_EQ(wrong, std::vector<std::string>{});
}

TEST(IncludeLayers, TheTableHasNoCycleAndCoversEveryFolder)
{
    const auto& table = allowedEdges();
    // Depth-first search; a folder on the current path reached again is a cycle.
    std::map<std::string, int> state;  // 1 on the path, 2 done
    std::vector<std::string> path;
    std::function<void(const std::string&)> visit = [&](const std::string& folder) {
        state[folder] = 1;
        path.push_back(folder);
        for (const std::string& next : table.at(folder)) {
            ASSERT_TRUE(table.count(next)) << folder << " uses " << next << ", which is not in the table";
            if (state[next] == 1) {
                std::string cycle;
                for (auto it = std::find(path.begin(), path.end(), next); it != path.end(); ++it)
                    cycle += *it + " -> ";
                ADD_FAILURE() << "cycle: " << cycle << next;
            } else if (state[next] == 0) {
                visit(next);
            }
        }
        path.pop_back();
        state[folder] = 2;
    };
    for (const auto& [folder, uses] : table)
        if (state[folder] == 0)
            visit(folder);

    // Every folder with sources is in the table, so a new one gets its row.
    const fs::path root(VES_SOURCE_DIR);
    for (const char* top : {"engine", "app"})
        for (const auto& entry : fs::directory_iterator(root / top)) {
            if (!entry.is_directory() || entry.path().filename() == "tools")
                continue;
            const std::string folder = entry.path().lexically_relative(root).string();
            EXPECT_TRUE(table.count(folder)) << folder << " has no row in the table of layers";
        }
}
