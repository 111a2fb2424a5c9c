// vesperon-cli trigger-split: runs the recording triggers over existing long
// recordings and writes one file per triggered stretch.
#include "CliCommands.h"
#include "CliInputs.h"
#include "CliSupport.h"
#include "RecordOptions.h"

#include "autorec/AutoRecEngine.h"
#include "autorec/AutoRecTexts.h"
#include "core/FileCls.h"
#include "document/CVesSoundDoc.h"
#include "records/GuanoRecord.h"

#include <sys/stat.h>

#include <cmath>
#include <cstdio>
#include <ctime>

#ifndef VES_VERSION
#define VES_VERSION "0"
#endif

namespace {

// The wall-clock time the recording began, as Unix microseconds read back
// in the local zone: its GUANO timestamp's date and time of day, else the
// file's modification time less its length.
std::int64_t recordingStart(const CVesSoundDoc& doc, const std::string& path)
{
    GuanoRecord g;
    std::string err;
    if (doc.guano(g, err)) {
        if (const std::string* ts = g.find("Timestamp")) {
            std::tm tm{};
            int y, mo, d, h, mi;
            double sec = 0;
            if (std::sscanf(ts->c_str(), "%d-%d-%d%*c%d:%d:%lf", &y, &mo, &d, &h, &mi, &sec) == 6) {
                tm.tm_year = y - 1900;
                tm.tm_mon = mo - 1;
                tm.tm_mday = d;
                tm.tm_hour = h;
                tm.tm_min = mi;
                tm.tm_sec = static_cast<int>(sec);
                tm.tm_isdst = -1;
                const std::time_t t = std::mktime(&tm);
                if (t != static_cast<std::time_t>(-1))
                    return static_cast<std::int64_t>(t) * 1000000 +
                           static_cast<std::int64_t>(std::llround((sec - std::floor(sec)) * 1e6));
            }
        }
    }
    struct stat st;
    if (::stat(path.c_str(), &st) == 0)
        return static_cast<std::int64_t>(st.st_mtime) * 1000000 - doc.framesToRealMicros(doc.lengthFrames());
    return autorec::nowUnixMicros();
}

std::string stemOf(const std::string& path)
{
    std::string name = path.substr(path.find_last_of('/') == std::string::npos ? 0 : path.find_last_of('/') + 1);
    const std::size_t dot = name.find_last_of('.');
    return dot == std::string::npos || dot == 0 ? name : name.substr(0, dot);
}

}  // namespace

const CommandSpec& cmdTriggerSplitSpec()
{
    static const CommandSpec spec = [] {
        CommandSpec c{
            "trigger-split",
            "one file per triggered stretch of existing recordings",
            {"--output FOLDER [OPTIONS] IN..."},
            "Runs the triggers of automatic recording over existing recordings (a night\n"
            "of recorder files, for example) and writes one wave file per triggered\n"
            "stretch, with the time before and after each pulse as a live run would keep\n"
            "it. Each file keeps the source's metadata chunks (GUANO, LIST, ...), its\n"
            "GUANO Length and Timestamp brought up to the stretch. Names begin with the\n"
            "source's name (or --prefix); dated and timed names use the time the sound\n"
            "was recorded (from GUANO, else the file's time). IN is a recording or a\n"
            "folder of recordings.\n"
            "Prints one line per file written: PATH, frames, its length and its start in the\n"
            "stream (real seconds), separated by tabs.\n",
            recordOptionSpecs(),
            "Exit status 1 when a file cannot be read or written or a folder holds no\n"
            "recordings, 2 for wrong options.\n"};
        OptionSpec r = recursiveOption();
        r.group = "Files";
        c.options.push_back(r);
        return c;
    }();
    return spec;
}

int cmdTriggerSplit(const CliArgs& args)
{
    const CommandSpec& spec = cmdTriggerSplitSpec();
    ParsedArgs parsed;
    if (!parseOrComplain(spec, args, parsed))
        return 2;
    RecordOptions o;
    initRecordOptions(o);
    for (const OptionValue& v : parsed.options)
        applyRecordOption(v, o);
    const bool teGiven = parsed.has("time-expansion");
    if (o.output.empty() || parsed.operands.empty()) {
        std::fprintf(stderr, "vesperon-cli trigger-split: --output and at least one FILE are required (see --help)\n");
        return 2;
    }
    const RecordingInputs inputs = expandRecordingInputs(spec.name, parsed.operands, parsed.has("recursive"));
    if (inputs.files.empty())
        return 1;  // said why
    struct stat st;
    if (::stat(o.output.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
        std::fprintf(stderr, "vesperon-cli trigger-split: no such folder: %s\n", o.output.c_str());
        return 1;
    }
    int status = inputs.ok ? 0 : 1;
    for (const std::string& in : inputs.files) {
        CliDocHost docHost(in);
        CVesSoundDoc doc(docHost, userDefaults());
        if (!doc.open(in)) {
            status = 1;
            continue;
        }
        autorec::AutoRecConfig cfg;
        cfg.parms = o.parms;
        cfg.parms.m_fileSwitch = o.naming;
        cfg.parms.m_fileName = o.output + "/" + (o.prefix.empty() ? stemOf(in) : o.prefix);
        cfg.format = doc.format();
        cfg.timeExp25 = teGiven ? static_cast<std::int32_t>(std::lround(o.timeExpansion * 1000))
                                : doc.effectiveTimeExp25();
        cfg.programVersion = VES_VERSION;
        cfg.deviceName = doc.recData().m_recDev;
        cfg.listenAtStart = true;
        cfg.streamStartUnixMicros = recordingStart(doc, in);
        cfg.localTimeFromStream = true;
        cfg.diskReserveBytes = 1 << 20;
        for (const ForeignChunk& c : doc.foreignChunks())
            if (c.id != "JUNK")  // reserved room of a wave writer, not metadata
                cfg.extraChunks.push_back({c.id, c.bytes});
        CliRecordHost host(o.verbose, cfg.format.samplesPerSec, cfg.timeExp25);
        autorec::AutoRecEngine engine;
        std::string error;
        if (!engine.start(cfg, host, error)) {
            std::fprintf(stderr, "vesperon-cli trigger-split: %s: %s\n", in.c_str(), error.c_str());
            status = 1;
            continue;
        }
        FileCls& store = doc.samples();
        const std::int64_t total = store.length();
        const std::int64_t block = autorec::AutoRecEngine::bufferBytes(cfg.format);
        for (std::int64_t pos = 0; pos < total && !host.ended();) {
            FileViewRef v = store.readView(pos, std::min(total, pos + block));
            if (!v) {
                std::fprintf(stderr, "vesperon-cli trigger-split: %s: cannot read the samples\n", in.c_str());
                status = 1;
                break;
            }
            const std::int64_t n = std::min({v.available(), total - pos, block});
            if (!engine.feed(v.data(), n))
                break;
            pos += n;
        }
        engine.end();
        engine.wait(600000);
        if (host.failed())
            status = 1;
        // Files of several sources under one prefix go on numbering.
        if (!o.prefix.empty())
            o.parms.m_fileSeqStart = static_cast<std::int32_t>(engine.status().sequenceNumber);
        if (o.verbose)
            std::fprintf(stderr, "%s: %lld recordings\n", in.c_str(), static_cast<long long>(engine.status().recordings));
    }
    return status;
}
