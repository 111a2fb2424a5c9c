// vesperon-cli project: a season's recordings in one project database:
// init, add (scan folders for new and changed files), calls (find the calls
// of the recordings not yet analysed, resumable), summary, export, status.
#include "CliCommands.h"
#include "CliInputs.h"
#include "CliSupport.h"
#include "OrderedFor.h"

#include "core/NumberText.h"
#include "document/CVesSoundDoc.h"
#include "project/Project.h"
#include "project/ProjectText.h"
#include "project/QuietDocHost.h"
#include "pulse/CallDetector.h"
#include "pulse/CallTable.h"
#include "records/AnnotationTable.h"
#include "records/GuanoRecord.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

bool isSummaryKeys(const std::string& text);

// A field of comma-separated values, quoted when it holds a comma, a quote
// or a line break.
std::string csvField(const std::string& text)
{
    if (text.find_first_of(",\"\r\n") == std::string::npos)
        return text;
    std::string out = "\"";
    for (char c : text)
        out += c == '"' ? std::string("\"\"") : std::string(1, c);
    return out + "\"";
}

OptionSpec level(const char* name, const char* help)
{
    OptionSpec s;
    s.name = name;
    s.kind = OptionKind::Integer;
    s.valueName = "N";
    s.min = 1;
    s.max = 64;
    s.help = help;
    return s;
}


CommandSpec makeSpec()
{
    const CallDetectorSettings d;
    OptionSpec root;
    root.name = "root";
    root.kind = OptionKind::Path;
    root.valueName = "DIR";
    root.help = "the folder the recordings' paths are stored relative to (given again: the recordings moved there)";
    root.sample = "/data/season";
    root.group = "init";

    OptionSpec band = callBandOption("search band in kHz (as for the calls command)");
    band.group = "calls";
    const OptionSpec snr = rangeOption("snr", OptionKind::Number, "DB", 0, 100, keepText(vkit::formatC("%g", d.snrDb)),
                                       "a call's peak above the noise of its band");

    OptionSpec by;
    by.name = "by";
    by.kind = OptionKind::Text;
    by.valueName = "KEYS";
    by.defaultText = "night";
    by.help = "night, site or species, or several joined by commas (night,site,species)";
    by.check = isSummaryKeys;
    by.expects = "night, site or species, or several of them joined by commas";
    by.sample = "night,site,species";
    by.group = "summary";

    OptionSpec shard;
    shard.name = "shard";
    shard.kind = OptionKind::Text;
    shard.valueName = "I/N";
    shard.help = "calls: analyse only part I (0 .. N-1) of N and write it to PROJECT.shard-I-of-N for merge";
    shard.check = [](const std::string& text) {
        ShardSpec s;
        return parseShardSpec(text, s);
    };
    shard.expects = "I/N with 0 <= I < N <= 100000, such as 3/16";
    shard.sample = "3/16";

    const OptionSpec gap = rangeOption("pass-gap", OptionKind::Number, "MS", 1, 3600000, "1000",
                                       "calls with a shorter gap between them belong to one pass");

    return CommandSpec{
        "project",
        "a season's recordings in a project database: add, find calls, summarise per night, site and species",
        {"init PROJECT [--root DIR]", "add PROJECT ROOT... [--site-level N] [--detector-level N]",
         "calls PROJECT [--jobs N] [--band LO,HI] [--snr DB] [--channel C] [--shard I/N]", "merge PROJECT",
         "summary PROJECT [--by night|site|species|night,site,species] [--csv]",
         "export PROJECT --calls|--recordings [--csv|--raven]", "status PROJECT", "classify PROJECT MODEL.vcls"},
        "A project is one database file (.vproj) of a season's recordings, the calls\n"
        "found in them and their identifications. Recordings are kept by their path\n"
        "relative to the project's root folder, with size, modification time, a hash\n"
        "of their first and last MiB, format, length, start time (GUANO Timestamp,\n"
        "else the recording's header, else a YYYYMMDD_HHMMSS name, else the file\n"
        "time), site and detector (GUANO Site Name and Serial, or the folder levels\n"
        "named by --site-level and --detector-level, counted from the root) and night\n"
        "(local noon to noon, named by its evening's date).\n\n"
        "init makes the project (or, given --root again, moves its root). add scans\n"
        "folders below the root for new and changed recordings; a file that cannot\n"
        "be read is kept with its message, and files gone since they were added are\n"
        "marked missing. calls finds the calls of every recording not yet analysed\n"
        "with the same settings, committing each recording as it is done: a run\n"
        "stopped at any point and started again loses and repeats nothing; its\n"
        "calls are those of the calls command on the same files. summary counts\n"
        "files, recordings with calls, calls and passes per group; export prints\n"
        "the calls (as the calls command does) or the recordings; status tells what\n"
        "the project holds.\n\n"
        "calls --shard I/N analyses only the I-th of N fixed parts of the pending\n"
        "recordings (those whose number leaves remainder I divided by N) and writes\n"
        "the results, with the settings and the program version, to the file\n"
        "PROJECT.shard-I-of-N beside the project, whole or not at all; the project\n"
        "itself is only read, so N shards may run at once on many machines that\n"
        "share the folder. merge checks that all shard files were made with the\n"
        "same settings and version, imports them in order and removes them; the\n"
        "merged project is the same for any N and any number of jobs, and a shard\n"
        "or merge stopped and run again loses and doubles nothing. classify labels\n"
        "every call with a species model (see the classify command): the species\n"
        "and its probability, or No ID.\n",
        {
            root,
            [] {
                OptionSpec s = level("site-level", "the folder level below the root that names the site");
                s.group = "add";
                return s;
            }(),
            level("detector-level", "the folder level below the root that names the detector"),
            band,
            snr,
            channelOption("mix|left|right", "mix: both", "channel of a stereo recording"),
            jobsOption(),
            shard,
            by,
            gap,
            {.name = "calls", .help = "the calls, one row each", .group = "export"},
            {.name = "recordings", .help = "the recordings, one row each"},
            {.name = "csv", .help = "summary and export: comma-separated values with a header row"},
            {.name = "raven", .help = "export --calls: one Raven selection table"},
        },
        "Exit status 1 when the project cannot be opened or written (it is not a\n"
        "project, is newer than this program, is locked, the disk is full: what was\n"
        "stored before is kept) or a recording could not be read, 2 for wrong usage.\n"
        "calls --shard ends with 0 once its file is written, whatever the recordings\n"
        "(one that cannot be read is kept in the file with its message); merge ends\n"
        "with 1 when the shards disagree, a recording could not be read or some are\n"
        "still due (shards that did not run).\n"};
}

bool parseSummaryKeys(const std::string& text, std::vector<SummaryKey>& out)
{
    out.clear();
    std::size_t start = 0;
    for (;;) {
        const std::size_t comma = text.find(',', start);
        const std::string word = text.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
        SummaryKey k;
        if (word == "night")
            k = SummaryKey::Night;
        else if (word == "site")
            k = SummaryKey::Site;
        else if (word == "species")
            k = SummaryKey::Species;
        else
            return false;
        if (std::find(out.begin(), out.end(), k) != out.end())
            return false;
        out.push_back(k);
        if (comma == std::string::npos)
            return true;
        start = comma + 1;
    }
}

bool isSummaryKeys(const std::string& text)
{
    std::vector<SummaryKey> keys;
    return parseSummaryKeys(text, keys);
}

const CommandSpec& spec();

void say(const std::string& text)
{
    std::fprintf(stderr, "vesperon-cli project: %s\n", text.c_str());
}

std::string pathText(const fs::path& p)
{
    return p.generic_string();
}

// The path of `file` relative to `root`, or "" when it is not below it.
std::string relativeTo(const fs::path& root, const fs::path& file)
{
    const fs::path rel = file.lexically_relative(root);
    const std::string text = pathText(rel);
    if (text.empty() || text == "." || text.rfind("..", 0) == 0)
        return {};
    return text;
}

RecordingRow describe(const fs::path& file, const std::string& rel, std::int64_t size, std::int64_t mtime,
                      int siteLevel, int detectorLevel)
{
    RecordingRow row;
    row.path = rel;
    row.size = size;
    row.mtime = mtime;
    row.hash = fileContentHash(file.string(), size);
    QuietDocHost host(file.string());
    CVesSoundDoc doc(host, userDefaults());
    std::optional<LocalTime> start;
    StartSource source = StartSource::None;
    GuanoRecord guano;
    if (doc.open(file.string())) {
        const SoundFormat& f = doc.format();
        row.rate = f.samplesPerSec;
        row.channels = f.channels;
        row.timeExpansion = static_cast<double>(doc.recData().m_timeExp25 > 0 ? doc.recData().m_timeExp25 : 1000) / 1000;
        row.frames = doc.lengthFrames();
        row.lengthSec = f.samplesPerSec ? static_cast<double>(row.frames) / f.samplesPerSec : 0;
        std::string error;
        if (doc.guano(guano, error))
            if (const std::string* ts = guano.find("Timestamp"))
                if ((start = parseIsoTimestamp(*ts)))
                    source = StartSource::Guano;
        if (!start && (start = parseHeaderTimestamp(doc.recData().m_date, doc.recData().m_time)))
            source = StartSource::Header;
    } else {
        row.error = host.messages.empty() ? std::string("cannot be read") : host.messages;
    }
    if (!start && (start = parseNameTimestamp(file.filename().string())))
        source = StartSource::Name;
    if (!start) {
        start = localTimeOfEpoch(mtime);
        source = StartSource::FileTime;
    }
    row.startTime = formatLocalTime(*start);
    row.startSource = startSourceName(source);
    row.night = nightOf(*start);
    row.site = siteLevel > 0 ? folderLevel(rel, siteLevel) : guanoSite(guano);
    row.detector = detectorLevel > 0 ? folderLevel(rel, detectorLevel) : guanoDetector(guano);
    return row;
}

struct AddCounts {
    std::int64_t added = 0, changed = 0, unchanged = 0, unreadable = 0, missing = 0;
};

// Walks `folder` in sorted order, files before sub-folders, one folder's
// listing in memory at a time.
void walk(const fs::path& folder, const std::function<void(const fs::path&)>& onFile)
{
    std::vector<fs::path> files, folders;
    std::error_code ec;
    for (fs::directory_iterator it(folder, fs::directory_options::skip_permission_denied, ec), end; !ec && it != end;
         it.increment(ec)) {
        std::error_code e2;
        if (it->is_directory(e2))
            folders.push_back(it->path());
        else if (isRecordingFile(it->path().string()))
            files.push_back(it->path());
    }
    if (ec)
        say(pathText(folder) + ": " + ec.message() + " (skipped)");
    std::sort(files.begin(), files.end());
    std::sort(folders.begin(), folders.end());
    for (const fs::path& f : files)
        onFile(f);
    for (const fs::path& f : folders)
        walk(f, onFile);
}

int runInit(const ParsedArgs& parsed, const std::string& path)
{
    const bool existed = fs::exists(path);
    auto project = Project::create(path);
    if (const OptionValue* r = parsed.last("root")) {
        std::error_code ec;
        const fs::path root = fs::weakly_canonical(fs::absolute(r->text), ec);
        if (!fs::is_directory(root)) {
            say(r->text + " is not a folder");
            return 1;
        }
        const std::string old = project->root();
        project->setRoot(pathText(root));
        if (existed && !old.empty() && old != pathText(root))
            say("the root moved from " + old + " to " + pathText(root));
    }
    std::printf("%s: project (schema %d), root %s\n", path.c_str(), project->schemaVersion(),
                project->root().empty() ? "(set by the first add)" : project->root().c_str());
    return 0;
}

int runAdd(const ParsedArgs& parsed, const std::string& path, const std::vector<std::string>& roots)
{
    if (roots.empty())
        return usageError(spec(), "add: give one or more folders of recordings");
    auto project = Project::open(path);
    const int siteLevel = parsed.has("site-level") ? static_cast<int>(parsed.last("site-level")->integer()) : 0;
    const int detectorLevel =
        parsed.has("detector-level") ? static_cast<int>(parsed.last("detector-level")->integer()) : 0;
    AddCounts n;
    bool failed = false;
    for (const std::string& given : roots) {
        std::error_code ec;
        const fs::path folder = fs::weakly_canonical(fs::absolute(given), ec);
        if (!fs::is_directory(folder)) {
            say(given + " is not a folder");
            failed = true;
            continue;
        }
        if (project->root().empty())
            project->setRoot(pathText(folder));
        const fs::path root = project->root();
        if (!fs::is_directory(root)) {
            say("the project's root " + pathText(root) +
                " is gone; if the recordings moved, give their new place with \"vesperon-cli project init " + path +
                " --root DIR\"");
            return 1;
        }
        const std::string relFolder = folder == root ? std::string() : relativeTo(root, folder);
        if (folder != root && relFolder.empty()) {
            say(given + " is outside the project's root " + pathText(root));
            failed = true;
            continue;
        }
        // Files are committed in batches: a run stopped half-way keeps the
        // batches it finished, and the next one skips them as known.
        std::vector<RecordingRow> batch;
        const auto flush = [&] {
            project->inTransaction([&] {
                for (const RecordingRow& r : batch)
                    project->putRecording(r);
            });
            batch.clear();
        };
        walk(folder, [&](const fs::path& file) {
            struct stat st{};
            if (::stat(file.c_str(), &st) != 0)
                return;
            const std::string rel = relativeTo(root, file);
            const std::optional<RecordingRow> known = project->find(rel);
            if (known && known->size == st.st_size && known->mtime == st.st_mtime) {
                ++n.unchanged;
                if (known->missing)
                    project->setMissing(known->id, false);
                return;
            }
            RecordingRow row = describe(file, rel, st.st_size, st.st_mtime, siteLevel, detectorLevel);
            if (row.error) {
                ++n.unreadable;
                say(pathText(file) + ": " + *row.error + " (kept in the project)");
            }
            ++(known ? n.changed : n.added);
            batch.push_back(std::move(row));
            if (batch.size() >= 256)
                flush();
        });
        flush();
        // Recordings gone since they were added stay in the project, marked.
        std::vector<std::pair<std::int64_t, bool>> marks;
        project->forEachRecording(relFolder, [&](const RecordingRow& r) {
            const bool gone = !fs::exists(root / r.path);
            if (gone != r.missing)
                marks.emplace_back(r.id, gone);
            n.missing += gone;
        });
        project->inTransaction([&] {
            for (const auto& [id, gone] : marks)
                project->setMissing(id, gone);
        });
    }
    std::printf("%lld added, %lld changed, %lld unchanged, %lld unreadable, %lld missing\n",
                static_cast<long long>(n.added), static_cast<long long>(n.changed),
                static_cast<long long>(n.unchanged), static_cast<long long>(n.unreadable),
                static_cast<long long>(n.missing));
    if (n.missing)
        say(std::to_string(n.missing) + " recordings are gone from their place since they were added (kept, marked missing)");
    return failed || n.unreadable ? 1 : 0;
}

int runCalls(const ParsedArgs& parsed, const std::string& path)
{
    CallDetectorSettings settings;
    int jobs = 1;
    std::optional<ShardSpec> shard;
    for (const OptionValue& o : parsed.options) {
        if (o.is("band"))
            parseCallBand(o.text, settings.bandLowHz, settings.bandHighHz);
        else if (o.is("snr"))
            settings.snrDb = o.number;
        else if (o.is("channel"))
            settings.channel = channelValue(o) == Channel::Left    ? CallChannel::Left
                               : channelValue(o) == Channel::Right ? CallChannel::Right
                                                                   : CallChannel::Mix;
        else if (o.is("jobs"))
            jobs = static_cast<int>(o.integer());
        else if (o.is("shard"))
            parseShardSpec(o.text, shard.emplace());
    }
    auto project = Project::open(path);
    const fs::path root = project->root();
    if (root.empty() || !fs::is_directory(root)) {
        say("the project's root " + (root.empty() ? std::string("(none yet)") : pathText(root)) +
            " is not a folder; if the recordings moved, give their new place with \"vesperon-cli project init " +
            path + " --root DIR\"");
        return 1;
    }
    const std::string key = callSettingsKey(settings);
    const int channel = static_cast<int>(settings.channel);
    const std::string shardFile = shard ? shardFilePath(path, *shard) : std::string();
    if (shard) {
        // A shard done before with the same settings and version is not
        // done again: a job array run again redoes only the shards it lost.
        std::error_code ec;
        if (fs::exists(shardFile, ec)) {
            try {
                const ShardInfo info = readShardInfo(shardFile);
                if (info.settingsKey == key && info.version == VES_VERSION) {
                    std::printf("shard %d/%d done already (%s); run \"vesperon-cli project merge %s\"\n",
                                shard->index, shard->count, shardFile.c_str(), path.c_str());
                    return 0;
                }
            } catch (const ProjectError&) {
                // Not a usable shard file: written anew below.
            }
        }
    }
    std::unique_ptr<ShardWriter> writer;
    if (shard)
        writer = std::make_unique<ShardWriter>(shardFile, *shard, key, VES_VERSION);
    // A stop injected after so many recordings, for the tests of resuming: the
    // process ends as if killed, without closing anything.
    const char* stopEnv = std::getenv("VES_PROJECT_STOP_AFTER");
    const long stopAfter = stopEnv ? std::atol(stopEnv) : -1;
    std::int64_t done = 0, calls = 0, unreadable = 0, missing = 0, lastId = 0;
    const bool showProgress = ::isatty(2);
    for (;;) {
        // Pages of pending recordings keep memory bounded whatever the season.
        const std::vector<RecordingRow> page =
            shard ? pendingForShard(*project, key, *shard, lastId, 64) : project->pendingForCalls(key, lastId, 64);
        if (page.empty())
            break;
        lastId = page.back().id;
        parallelForInOrder<RecordingCallsResult>(
            page.size(), jobs,
            [&](std::size_t i) { return analyseRecordingCalls((root / page[i].path).string(), settings, userDefaults()); },
            [&](std::size_t i, RecordingCallsResult&& r) {
                if (writer)
                    writer->add(page[i], channel, r);
                if (r.missing) {
                    if (!writer)
                        project->setMissing(page[i].id, true);
                    ++missing;
                    say(pathText(root / page[i].path) + " is gone since it was added (marked missing)");
                } else if (r.error) {
                    if (!writer)
                        project->storeFailure(page[i].id, *r.error);
                    ++unreadable;
                    say(pathText(root / page[i].path) + ": " + *r.error + " (kept in the project)");
                } else {
                    if (!writer)
                        project->storeCalls(page[i].id, key, channel, r.calls);
                    calls += static_cast<std::int64_t>(r.calls.size());
                }
                ++done;
                if (showProgress)
                    std::fprintf(stderr, "\rcalls: %lld recordings, %lld calls", static_cast<long long>(done),
                                 static_cast<long long>(calls));
                if (stopAfter >= 0 && done >= stopAfter)
                    std::_Exit(3);
            });
    }
    if (writer)
        writer->commit();
    if (showProgress && done)
        std::fprintf(stderr, "\n");
    std::printf("%lld recordings analysed, %lld calls; %lld unreadable, %lld missing\n", static_cast<long long>(done),
                static_cast<long long>(calls), static_cast<long long>(unreadable), static_cast<long long>(missing));
    if (shard) {
        // A bad file is a result of the shard, kept for the merge, not its failure.
        std::printf("shard %d/%d written to %s\n", shard->index, shard->count, shardFile.c_str());
        return 0;
    }
    return unreadable || missing ? 1 : 0;
}

int runMerge(const std::string& path)
{
    auto project = Project::open(path);
    const MergeReport r = mergeCallShards(*project, path);
    std::printf("%d shards merged: %lld recordings, %lld calls; %lld unreadable, %lld missing, %lld skipped (analysed "
                "already or changed since); %lld still pending\n",
                r.shards, static_cast<long long>(r.recordings), static_cast<long long>(r.calls),
                static_cast<long long>(r.unreadable), static_cast<long long>(r.missing),
                static_cast<long long>(r.skipped), static_cast<long long>(r.pending));
    if (r.shards == 0)
        say("no shard files beside " + path + " (run \"vesperon-cli project calls " + path + " --shard I/N\" first)");
    if (r.pending)
        say(std::to_string(r.pending) + " recordings are still due: run the shards that are missing, then merge again");
    return r.pending || r.unreadable || r.missing ? 1 : 0;
}

int runSummary(const ParsedArgs& parsed, const std::string& path)
{
    std::vector<SummaryKey> keys{SummaryKey::Night};
    if (const OptionValue* b = parsed.last("by"))
        parseSummaryKeys(b->text, keys);
    const double gap = parsed.has("pass-gap") ? parsed.last("pass-gap")->number : 1000.0;
    const bool csv = parsed.has("csv");
    auto project = Project::open(path);
    std::string header;
    const char sep = csv ? ',' : '\t';
    for (SummaryKey k : keys)
        header += std::string(k == SummaryKey::Night ? "night" : k == SummaryKey::Site ? "site" : "species") + sep;
    header += std::string("files") + sep + "recordings_with_calls" + sep + "calls" + sep + "passes\n";
    std::fputs(header.c_str(), stdout);
    project->summary(keys, gap, [&](const SummaryRow& row) {
        std::string line;
        for (const std::string& k : row.keys)
            line += (csv ? csvField(k) : k) + sep;
        line += std::to_string(row.files) + sep + std::to_string(row.withCalls) + sep + std::to_string(row.calls) +
                sep + std::to_string(row.passes) + "\n";
        std::fputs(line.c_str(), stdout);
    });
    return 0;
}

int runExport(const ParsedArgs& parsed, const std::string& path)
{
    const bool calls = parsed.has("calls"), recordings = parsed.has("recordings");
    const bool csv = parsed.has("csv"), raven = parsed.has("raven");
    if (calls == recordings)
        return usageError(spec(), "export: choose --calls or --recordings");
    if (csv && raven)
        return usageError(spec(), "choose --csv or --raven, not both");
    if (recordings && raven)
        return usageError(spec(), "--raven exports calls only");
    auto project = Project::open(path);
    const fs::path root = project->root();
    if (calls) {
        if (csv)
            std::fputs(callCsvHeader().c_str(), stdout);
        AnnotationTable table = emptyCallTable();
        project->forEachRecordingCalls([&](const RecordingRow& r, const std::vector<CallMeasures>& list) {
            const std::string file = pathText(root / r.path);
            if (raven) {
                appendCallsToTable(table, file, list);
                return;
            }
            const std::string text = csv ? [&] {
                std::string t;
                for (const CallMeasures& c : list)
                    t += callCsvRow(file, c);
                return t;
            }()
                                         : "# " + file + "\n" + callTableText(list);
            std::fwrite(text.data(), 1, text.size(), stdout);
        });
        if (raven)
            std::fputs(writeSelectionTable(table).c_str(), stdout);
        return 0;
    }
    const char sep = csv ? ',' : '\t';
    const auto field = [&](const std::string& s) { return csv ? csvField(s) : s; };
    std::printf("path%cstart_time%cstart_source%cnight%csite%cdetector%crate_hz%cchannels%ctime_expansion%c"
                "length_s%csize%cmtime%chash%ccalls%cmissing%cerror\n",
                sep, sep, sep, sep, sep, sep, sep, sep, sep, sep, sep, sep, sep, sep, sep);
    project->forEachRecording({}, [&](const RecordingRow& r) {
        std::string line = field(r.path) + sep + r.startTime + sep + r.startSource + sep + r.night + sep +
                           field(r.site) + sep + field(r.detector) + sep + std::to_string(r.rate) + sep +
                           std::to_string(r.channels) + sep + vkit::formatC("%g", r.timeExpansion) + sep +
                           vkit::formatC("%.3f", r.lengthSec) + sep + std::to_string(r.size) + sep +
                           std::to_string(r.mtime) + sep + r.hash + sep + (r.calls < 0 ? "" : std::to_string(r.calls)) +
                           sep + (r.missing ? "1" : "0") + sep + field(r.error.value_or("")) + "\n";
        std::fputs(line.c_str(), stdout);
    });
    return 0;
}

int runStatus(const std::string& path)
{
    auto project = Project::open(path);
    const ProjectStatus s = project->status();
    std::printf("project: %s\nschema: %d\nroot: %s%s\nrecordings: %lld\nunreadable: %lld\nmissing: %lld\n"
                "analysed: %lld\ncalls: %lld\nidentified: %lld\nvetted: %lld\nnights: %lld%s\nsites: %lld\n",
                path.c_str(), s.schemaVersion, s.root.c_str(),
                !s.root.empty() && !fs::is_directory(s.root) ? " (gone: give its new place with init --root)" : "",
                static_cast<long long>(s.recordings), static_cast<long long>(s.unreadable),
                static_cast<long long>(s.missing), static_cast<long long>(s.analysed),
                static_cast<long long>(s.calls), static_cast<long long>(s.identified),
                static_cast<long long>(s.vetted), static_cast<long long>(s.nights),
                s.nights ? (" (" + s.firstNight + " to " + s.lastNight + ")").c_str() : "",
                static_cast<long long>(s.sites));
    return 0;
}

const CommandSpec& spec()
{
    return cmdProjectSpec();
}

}  // namespace

const CommandSpec& cmdProjectSpec()
{
    static const CommandSpec s = makeSpec();
    return s;
}

int cmdProject(const CliArgs& args)
{
    ParsedArgs parsed;
    if (!parseOrComplain(spec(), args, parsed))
        return 2;
    if (parsed.operands.size() < 2)
        return usageError(spec(), "give an action (init, add, calls, merge, summary, export, status, classify) and a project file");
    const std::string& action = parsed.operands[0];
    const std::string& path = parsed.operands[1];
    const std::vector<std::string> rest(parsed.operands.begin() + 2, parsed.operands.end());
    if (action == "classify" && rest.size() != 1)
        return usageError(spec(), "classify takes a project file and a model file");
    if (action != "add" && action != "classify" && !rest.empty())
        return usageError(spec(), action + " takes one project file, not '" + rest.front() + "'");
    // Each action takes its own options; one given to another is a mistake
    // worth telling rather than ignoring.
    static const std::map<std::string, std::vector<std::string>> kOptionsOf = {
        {"init", {"root"}},
        {"add", {"site-level", "detector-level"}},
        {"calls", {"band", "snr", "channel", "jobs", "shard"}},
        {"merge", {}},
        {"summary", {"by", "pass-gap", "csv"}},
        {"export", {"calls", "recordings", "csv", "raven"}},
        {"status", {}},
        {"classify", {}},
    };
    if (const auto own = kOptionsOf.find(action); own != kOptionsOf.end())
        for (const OptionValue& o : parsed.options)
            if (std::find(own->second.begin(), own->second.end(), o.spec->name) == own->second.end())
                return usageError(spec(), std::string("--") + o.spec->name + " is not an option of " + action);
    try {
        if (action == "init")
            return runInit(parsed, path);
        if (action == "add")
            return runAdd(parsed, path, rest);
        if (action == "calls")
            return runCalls(parsed, path);
        if (action == "merge")
            return runMerge(path);
        if (action == "summary")
            return runSummary(parsed, path);
        if (action == "export")
            return runExport(parsed, path);
        if (action == "status")
            return runStatus(path);
        if (action == "classify")
            return classifyProject(path, rest.front());
    } catch (const ProjectError& e) {
        say(e.what());
        return 1;
    }
    return usageError(spec(), "unknown action '" + action + "' (init, add, calls, merge, summary, export, status, classify)");
}
