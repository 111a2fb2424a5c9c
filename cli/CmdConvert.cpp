#include "CliCommands.h"
#include "CliInputs.h"
#include "CliSupport.h"
#include "ZcCli.h"

#include "document/CVesSoundDoc.h"
#include "soundfiles/VesFileType.h"

#include <cstdio>
#include <filesystem>
#include <set>

namespace fs = std::filesystem;

namespace {

// Zero-crossing output is no document type: it is written from the samples'
// zero crossings, not saved.
constexpr int kZcOutput = 1000;

int parseType(const std::string& text)
{
    if (text.empty())
        return -1;
    if (text == "zc" || text == "[zc]")
        return kZcOutput;
    if (const auto code = parseInt(text))
        return (*code >= 1 && *code <= 10) ? static_cast<int>(*code) : -1;
    const std::string name = text.front() == '[' ? text : "[" + text + "]";
    for (int t = 1; t <= 10; ++t)
        if (name == fileTypeDisplayName(t))
            return t;
    return -1;
}

bool isType(const std::string& text)
{
    return parseType(text) > 0;
}

}  // namespace

namespace {

CommandSpec makeSpec()
{
    CommandSpec spec{
        "convert",
        "write recordings as another file type, whole or an interval",
        {"[OPTIONS] IN OUT", "[OPTIONS] IN... FOLDER/"},
        "Opens each recording (any readable type, compressed audio included) and\n"
        "writes it as another type. With several inputs, or a folder of recordings,\n"
        "OUT names a folder and each output keeps its input's name with the extension\n"
        "of the type (\"NAME-2\" when two inputs have the same name).\n\n"
        "An OUT ending in .zc (or --type zc) writes a zero-crossing file (Anabat type\n"
        "132) from the recording's zero crossings as a frequency-division detector\n"
        "makes them: one dot per N crossings (--division), a crossing being a swing\n"
        "through the band of --threshold around zero, as in the zero-crossing view.\n"
        "Intervals are in real time (time expansion applied). The file carries the\n"
        "recording's GUANO with its timestamp, sample rate, time expansion and\n"
        "length, and the start time and texts taken from it.\n",
        {
            {.name = "type", .kind = OptionKind::Text, .valueName = "NAME|CODE",
             .help = "the type to write: a code 1..10, a display name such as \"[Vesperon Wave]\", or zc for a "
                     "zero-crossing file; by default "
                     "the output's extension decides (wav: Standard Wave, vprd: Vesperon Wave, vprdp: Vesperon "
                     "Data + Wave, r9000z/r450z: detector wave, zc: zero crossings), and Vesperon Wave when OUT "
                     "is a folder",
             .check = isType,
             .expects = "a type code 1..10, a type's name such as \"[Vesperon Wave]\", or zc",
             .sample = "1"},
            startOption(PositionUnit::Frames,
                        "first frame to write, or a real time with the unit ms or s (default 0)"),
            endOption(PositionUnit::Frames, "frame after the last one to write, or a real time (default: the end)"),
            {.name = "silent-level", .kind = OptionKind::Integer, .valueName = "DB", .defaultText = "-40",
             .min = -99, .max = 99, .help = "compressed wave (type 7): level below which sound is silence"},
            {.name = "before", .kind = OptionKind::Integer, .valueName = "MS", .defaultText = "10", .min = 0,
             .max = 100000, .help = "compressed wave: silence kept before a pulse"},
            {.name = "after", .kind = OptionKind::Integer, .valueName = "MS", .defaultText = "10", .min = 0,
             .max = 100000, .help = "compressed wave: silence kept after a pulse"},
            recursiveOption(),
        },
        "Exit status 1 when a file cannot be read or written or a folder holds no\n"
        "recordings, 2 for wrong usage.\n"};
    for (const OptionSpec& o : zcConvertOptions())
        spec.options.push_back(o);
    return spec;
}

}  // namespace

const CommandSpec& cmdConvertSpec()
{
    static const CommandSpec spec = makeSpec();
    return spec;
}

int cmdConvert(const CliArgs& args)
{
    const CommandSpec& spec = cmdConvertSpec();
    ParsedArgs parsed;
    if (!parseOrComplain(spec, args, parsed))
        return 2;
    int type = 0;
    Position start, end;
    CliDocHost host;
    zcfile::ConvertSettings zcSettings;
    for (const OptionValue& o : parsed.options) {
        if (takeZcConvertOption(o, zcSettings))
            continue;
        if (o.is("type"))
            type = parseType(o.text);
        else if (o.is("start"))
            start = positionValue(o);
        else if (o.is("end"))
            end = positionValue(o);
        else if (o.is("silent-level"))
            host.silentLevelDb = static_cast<int>(o.integer());
        else if (o.is("before"))
            host.beforeMs = static_cast<int>(o.integer());
        else if (o.is("after"))
            host.afterMs = static_cast<int>(o.integer());
    }
    std::vector<std::string> operands = parsed.operands;
    if (operands.size() < 2)
        return usageError(spec, "give the recordings and OUT (see --help)");
    if (!start.time && !end.time && end.set && end.frames < start.frames)
        return usageError(spec, "--end lies before --start");
    const std::string out = operands.back();
    operands.pop_back();
    const RecordingInputs inputs = expandRecordingInputs(spec.name, operands, parsed.has("recursive"));
    const std::vector<std::string>& files = inputs.files;
    if (files.empty())
        return 1;  // said why
    std::error_code ec;
    const bool toFolder = files.size() > 1 || inputs.anyFolder || fs::is_directory(out, ec) ||
                          (!out.empty() && out.back() == '/');
    if (toFolder && !fs::is_directory(out, ec)) {
        std::fprintf(stderr, "vesperon-cli convert: %s: no such folder\n", out.c_str());
        return 2;
    }
    int status = inputs.ok ? 0 : 1;
    std::set<std::string> used;
    for (const auto& in : files) {
        host.setContext(in);
        int t = type;
        std::string target = out;
        if (toFolder) {
            if (t == 0)
                t = kTypeVesperonWave;
            // Recordings of one name from different folders do not overwrite each other.
            const fs::path plain = fs::path(VesFilePath(in).plain()).filename();
            const std::string stem = plain.stem().string(),
                              ext = t == kZcOutput ? std::string(".zc") : std::string(".") + extensionForType(t);
            std::string name = stem + ext;
            for (int n = 2; used.count(name) != 0; ++n)
                name = stem + "-" + std::to_string(n) + ext;
            used.insert(name);
            target = (fs::path(out) / name).string();
        } else if (t == 0 && isZcOutputPath(out)) {
            t = kZcOutput;
        } else if (t == 0) {
            t = fileTypeBySaveExtension(out);
            if (t == kTypeNone) {
                std::fprintf(stderr, "vesperon-cli convert: %s: cannot tell the type from the extension; give --type\n",
                             out.c_str());
                return 2;
            }
        }
        if (t == kZcOutput) {
            if (start.set || end.set) {
                std::fprintf(stderr, "vesperon-cli convert: --start and --end do not apply to zero-crossing output\n");
                return 2;
            }
            if (!convertToZc(in, target, zcSettings))
                status = 1;
            continue;
        }
        CVesSoundDoc doc(host, userDefaults());
        if (!doc.open(in)) {
            status = 1;
            continue;
        }
        const std::int64_t first = start.resolve(doc, 0), last = end.resolve(doc, -1);
        if (last >= 0 && last < first) {
            host.message("--end lies before --start");
            status = 1;
            continue;
        }
        if (t == kTypeWaveComp)
            doc.segmentHeader().setParameters(host.silentLevelDb, host.beforeMs, host.afterMs);
        host.setContext(target);
        if (!doc.save(target, t, first, last)) {
            status = 1;
            continue;
        }
    }
    return status;
}
