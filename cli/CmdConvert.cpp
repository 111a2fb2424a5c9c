#include "CliCommands.h"
#include "CliSupport.h"

#include "document/CVesSoundDoc.h"
#include "soundfiles/VesFileType.h"

#include <cstdio>
#include <filesystem>

namespace fs = std::filesystem;

void helpConvert()
{
    std::printf("Usage: vesperon-cli convert [OPTIONS] IN OUT\n"
                "       vesperon-cli convert [OPTIONS] IN... FOLDER/\n\n"
                "Opens each recording (any readable type, compressed audio included) and\n"
                "writes it as another type. With several inputs OUT names a folder and each\n"
                "output keeps its input's name with the extension of the type.\n\n"
                "  --type NAME|CODE   the type to write: a code 1..10 or a display name such\n"
                "                     as \"[Vesperon Wave]\"; by default the output's extension\n"
                "                     decides (wav: Standard Wave, vprd: Vesperon Wave,\n"
                "                     vprdp: Vesperon Data + Wave, r9000z/r450z: detector wave),\n"
                "                     and Vesperon Wave when OUT is a folder\n"
                "  --start FRAME      first frame to write (default 0)\n"
                "  --end FRAME        frame after the last one to write (default: the end)\n"
                "  --silent-level DB  compressed wave (type 7): level below which sound is\n"
                "                     silence, -99..99 (default -40)\n"
                "  --before MS        compressed wave: silence kept before a pulse (default 10)\n"
                "  --after MS         compressed wave: silence kept after a pulse (default 10)\n\n"
                "Exit status 1 when a file cannot be read or written, 2 for wrong usage.\n");
}

namespace {

int parseType(const std::string& text)
{
    if (const auto code = parseInt(text))
        return (*code >= 1 && *code <= 10) ? static_cast<int>(*code) : -1;
    const std::string name = text.front() == '[' ? text : "[" + text + "]";
    for (int t = 1; t <= 10; ++t)
        if (name == fileTypeDisplayName(t))
            return t;
    return -1;
}

}  // namespace

int cmdConvert(const CliArgs& args)
{
    std::vector<std::string> files;
    int type = 0;
    std::int64_t start = 0, end = -1;
    CliDocHost host;
    for (std::size_t i = 0; i < args.size();) {
        std::string v;
        if (takeOption(args, i, "--type", v)) {
            type = parseType(v);
            if (type < 0) {
                std::fprintf(stderr, "vesperon-cli convert: unknown type '%s'\n", v.c_str());
                return 2;
            }
        } else if (takeOption(args, i, "--start", v) || takeOption(args, i, "--end", v) ||
                   takeOption(args, i, "--silent-level", v) || takeOption(args, i, "--before", v) ||
                   takeOption(args, i, "--after", v)) {
            const std::string& opt = args[i - (args[i - 1].find('=') == std::string::npos ? 2 : 1)];
            const auto n = parseInt(v);
            if (!n) {
                std::fprintf(stderr, "vesperon-cli convert: %s needs a whole number, not '%s'\n", opt.c_str(), v.c_str());
                return 2;
            }
            if (opt.rfind("--start", 0) == 0)
                start = *n;
            else if (opt.rfind("--end", 0) == 0)
                end = *n;
            else if (opt.rfind("--silent-level", 0) == 0)
                host.silentLevelDb = static_cast<int>(*n);
            else if (opt.rfind("--before", 0) == 0)
                host.beforeMs = static_cast<int>(*n);
            else
                host.afterMs = static_cast<int>(*n);
        } else if (args[i].rfind("--", 0) == 0) {
            std::fprintf(stderr, "vesperon-cli convert: unknown option %s\n", args[i].c_str());
            return 2;
        } else {
            files.push_back(args[i++]);
        }
    }
    if (files.size() < 2 || start < 0 || (end >= 0 && end < start)) {
        helpConvert();
        return 2;
    }
    const std::string out = files.back();
    files.pop_back();
    std::error_code ec;
    const bool toFolder = files.size() > 1 || fs::is_directory(out, ec) || (!out.empty() && out.back() == '/');
    if (toFolder && !fs::is_directory(out, ec)) {
        std::fprintf(stderr, "vesperon-cli convert: %s: no such folder\n", out.c_str());
        return 2;
    }
    int status = 0;
    for (const auto& in : files) {
        host.setContext(in);
        int t = type;
        std::string target = out;
        if (toFolder) {
            if (t == 0)
                t = kTypeVesperonWave;
            const fs::path name = fs::path(VesFilePath(in).plain()).filename().replace_extension(extensionForType(t));
            target = (fs::path(out) / name).string();
        } else if (t == 0) {
            t = fileTypeBySaveExtension(out);
            if (t == kTypeNone) {
                std::fprintf(stderr, "vesperon-cli convert: %s: cannot tell the type from the extension; give --type\n",
                             out.c_str());
                return 2;
            }
        }
        CVesSoundDoc doc(host, userDefaults());
        if (!doc.open(in)) {
            status = 1;
            continue;
        }
        if (t == kTypeWaveComp)
            doc.segmentHeader().setParameters(host.silentLevelDb, host.beforeMs, host.afterMs);
        host.setContext(target);
        if (!doc.save(target, t, start, end)) {
            status = 1;
            continue;
        }
    }
    return status;
}
