// vesperon-cli calls: finds and measures the bat calls of recordings and
// folders of recordings with the noise-adaptive call detector.
#include "CliCommands.h"
#include "CliSupport.h"

#include "core/NumberText.h"
#include "document/CVesSoundDoc.h"
#include "pulse/CallDetector.h"
#include "pulse/CallTable.h"
#include "records/AnnotationTable.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <mutex>
#include <optional>
#include <thread>
#include <unistd.h>

void helpCalls()
{
    const CallDetectorSettings d;
    std::printf(
        "Usage: vesperon-cli calls [OPTIONS] IN...\n\n"
        "Finds the bat calls of each recording with a detector that follows the\n"
        "background noise of every frequency band, and measures them. IN is a\n"
        "recording or a folder (its .wav files, sorted by name, become one table).\n"
        "Prints one row per call: call number, start, end and duration (ms of real\n"
        "time from the start of the file), highest, lowest, peak, characteristic and\n"
        "knee frequency, bandwidth (Hz), mean slope (kHz/ms, positive for a downward\n"
        "sweep), interval to the call before (ms) and signal-to-noise ratio (dB).\n"
        "Without --csv or --raven the rows are tab-separated, each file's after a\n"
        "line \"# FILE\".\n\n"
        "  --csv              comma-separated values, one header row for all files:\n"
        "                     file,call,start_ms,end_ms,duration_ms,max_freq_hz,\n"
        "                     min_freq_hz,peak_freq_hz,char_freq_hz,knee_freq_hz,\n"
        "                     bandwidth_hz,slope_khz_per_ms,interval_ms,snr_db,\n"
        "                     fc_hz,tc_ms,sc_ops,s1_ops,fk_hz,tk_ms,fmean_hz,qual_pct,\n"
        "                     tbc_ms,low_freq_hz,high_freq_hz (the parameters of\n"
        "                     the field's programs and the call's box; see the guide)\n"
        "  --raven            one Raven selection table for all files (a \"Begin File\"\n"
        "                     column names each call's file)\n"
        "  --band LO,HI       search band in kHz (default %.0f,%.0f; cut to the recording)\n"
        "  --snr DB           a call's peak above the noise of its band (default %.0f)\n"
        "  --edge-snr DB      a call's start and end stay this far above the noise\n"
        "                     (default %.0f) ...\n"
        "  --edge-drop DB     ... and this close to its peak (default %.0f)\n"
        "  --min-duration MS  shorter calls are dropped (default %.1f)\n"
        "  --min-interval MS  gaps at least this long separate two calls (default %.1f)\n"
        "  --echo-window MS   a weaker copy of a call starting up to this long after the\n"
        "                     call's start is its echo (default %.0f)\n"
        "  --max-roughness B  a contour whose median second difference exceeds B\n"
        "                     frequency bins is noise, not a call (default %.1f)\n"
        "  --channel mix|left|right   channel of a stereo recording (default mix: both)\n"
        "  --time-expansion X treat the recordings as time-expanded by X (e.g. 10)\n"
        "  --jobs N           analyse N files at a time (output stays in input order)\n\n"
        "Exit status 1 when a file cannot be read, 2 for wrong options.\n",
        d.bandLowHz / 1000, d.bandHighHz / 1000, d.snrDb, d.edgeSnrDb, d.edgeDropDb, d.minDurationMs,
        d.minIntervalMs, d.echoWindowMs, d.maxRoughnessBins);
}

namespace {

bool isSoundFile(const std::filesystem::path& p)
{
    std::string ext = p.extension().string();
    std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return ext == ".wav" || ext == ".vprd";
}

// Files and folders to a sorted list of files; false when an input is missing.
bool expandInputs(const std::vector<std::string>& inputs, std::vector<std::string>& files, bool& anyFolder)
{
    for (const std::string& in : inputs) {
        std::error_code ec;
        if (std::filesystem::is_directory(in, ec)) {
            anyFolder = true;
            std::vector<std::string> list;
            for (const auto& entry : std::filesystem::directory_iterator(in, ec))
                if (entry.is_regular_file(ec) && isSoundFile(entry.path()))
                    list.push_back(entry.path().string());
            if (ec) {
                std::fprintf(stderr, "vesperon-cli calls: cannot read the folder %s: %s\n", in.c_str(),
                             ec.message().c_str());
                return false;
            }
            std::sort(list.begin(), list.end());
            files.insert(files.end(), list.begin(), list.end());
        } else {
            files.push_back(in);
        }
    }
    return true;
}

bool takeNumber(const CliArgs& args, std::size_t& i, const char* name, double minValue, double maxValue,
                double& field, bool& matched, bool& bad)
{
    std::string v;
    if (!takeOption(args, i, name, v))
        return false;
    matched = true;
    const auto x = parseNumber(v);
    if (!x || *x < minValue || *x > maxValue) {
        std::fprintf(stderr, "vesperon-cli calls: %s takes a number from %g to %g, not '%s'\n", name, minValue,
                     maxValue, v.c_str());
        bad = true;
        return true;
    }
    field = *x;
    return true;
}

struct FileResult {
    bool done = false;
    bool failed = false;
    std::vector<CallMeasures> calls;
};

}  // namespace

int cmdCalls(const CliArgs& args)
{
    CallDetectorSettings settings;
    std::vector<std::string> inputs;
    std::optional<std::int32_t> timeExp25;
    int jobs = 1;
    bool csv = false, raven = false;
    for (std::size_t i = 0; i < args.size();) {
        std::string v;
        bool matched = false, bad = false;
        takeNumber(args, i, "--snr", 0, 100, settings.snrDb, matched, bad) ||
            takeNumber(args, i, "--edge-snr", 0, 100, settings.edgeSnrDb, matched, bad) ||
            takeNumber(args, i, "--edge-drop", 1, 100, settings.edgeDropDb, matched, bad) ||
            takeNumber(args, i, "--min-duration", 0, 10000, settings.minDurationMs, matched, bad) ||
            takeNumber(args, i, "--min-interval", 0.01, 1000, settings.minIntervalMs, matched, bad) ||
            takeNumber(args, i, "--echo-window", 0, 1000, settings.echoWindowMs, matched, bad) ||
            takeNumber(args, i, "--max-roughness", 0, 1000, settings.maxRoughnessBins, matched, bad);
        if (bad)
            return 2;
        if (matched)
            continue;
        if (args[i] == "--csv") {
            csv = true;
            ++i;
        } else if (args[i] == "--raven") {
            raven = true;
            ++i;
        } else if (takeOption(args, i, "--band", v)) {
            if (!parseCallBand(v, settings.bandLowHz, settings.bandHighHz)) {
                std::fprintf(stderr, "vesperon-cli calls: --band takes LO,HI in kHz with LO below HI, such as 15,120\n");
                return 2;
            }
        } else if (takeOption(args, i, "--channel", v)) {
            if (v == "mix")
                settings.channel = CallChannel::Mix;
            else if (v == "left")
                settings.channel = CallChannel::Left;
            else if (v == "right")
                settings.channel = CallChannel::Right;
            else {
                std::fprintf(stderr, "vesperon-cli calls: --channel is mix, left or right\n");
                return 2;
            }
        } else if (takeOption(args, i, "--time-expansion", v)) {
            const auto x = parseNumber(v);
            if (!x || *x <= 0 || *x > 1000) {
                std::fprintf(stderr, "vesperon-cli calls: --time-expansion takes a factor above 0, such as 10\n");
                return 2;
            }
            timeExp25 = static_cast<std::int32_t>(std::lround(*x * 1000));
        } else if (takeOption(args, i, "--jobs", v)) {
            const auto n = parseInt(v);
            if (!n || *n < 1 || *n > 256) {
                std::fprintf(stderr, "vesperon-cli calls: --jobs takes a number from 1 to 256\n");
                return 2;
            }
            jobs = static_cast<int>(*n);
        } else if (args[i].rfind("--", 0) == 0) {
            std::fprintf(stderr, "vesperon-cli calls: unknown option %s\n", args[i].c_str());
            return 2;
        } else {
            inputs.push_back(args[i++]);
        }
    }
    if (inputs.empty()) {
        helpCalls();
        return 2;
    }
    if (csv && raven) {
        std::fprintf(stderr, "vesperon-cli calls: choose --csv or --raven, not both\n");
        return 2;
    }
    std::vector<std::string> files;
    bool anyFolder = false;
    if (!expandInputs(inputs, files, anyFolder))
        return 1;
    const bool showProgress = anyFolder && ::isatty(2) && files.size() > 1;

    // Files are analysed on up to `jobs` threads; output is written in input
    // order as soon as a file and all before it are done.
    std::vector<FileResult> results(files.size());
    std::mutex mutex;
    std::condition_variable ready;
    std::atomic<std::size_t> next{0};
    auto analyse = [&](std::size_t index) {
        FileResult r;
        CliDocHost host(files[index]);
        CVesSoundDoc doc(host, userDefaults());
        if (!doc.open(files[index])) {
            r.failed = true;
        } else {
            if (timeExp25)
                doc.recData().m_timeExp25 = *timeExp25;
            CallCollector collector;
            detectCalls(doc, 0, -1, settings, collector);
            r.calls = std::move(collector.calls);
        }
        r.done = true;
        return r;
    };
    auto worker = [&] {
        for (;;) {
            const std::size_t index = next++;
            if (index >= files.size())
                return;
            FileResult r = analyse(index);
            {
                std::lock_guard<std::mutex> lock(mutex);
                results[index] = std::move(r);
            }
            ready.notify_all();
        }
    };
    const int threads = static_cast<int>(std::min<std::size_t>(static_cast<std::size_t>(jobs), files.size()));
    std::vector<std::thread> pool;
    if (threads > 1)
        for (int t = 0; t < threads; ++t)
            pool.emplace_back(worker);

    if (csv)
        std::fputs(callCsvHeader().c_str(), stdout);
    AnnotationTable table = emptyCallTable();
    bool failed = false;
    std::size_t totalCalls = 0;
    for (std::size_t i = 0; i < files.size(); ++i) {
        if (threads <= 1)
            results[i] = analyse(i);
        FileResult r;
        {
            std::unique_lock<std::mutex> lock(mutex);
            ready.wait(lock, [&] { return results[i].done; });
            r = std::move(results[i]);
            results[i] = FileResult{true, false, {}};
        }
        failed = failed || r.failed;
        totalCalls += r.calls.size();
        if (showProgress)
            std::fprintf(stderr, "\rcalls: %zu of %zu files, %zu calls", i + 1, files.size(), totalCalls);
        if (r.failed)
            continue;
        std::string text;
        if (raven) {
            appendCallsToTable(table, files[i], r.calls);
        } else if (csv) {
            for (const CallMeasures& c : r.calls)
                text += callCsvRow(files[i], c);
        } else {
            if (files.size() > 1)
                text += "# " + files[i] + "\n";
            text += callTableText(r.calls);
        }
        std::fwrite(text.data(), 1, text.size(), stdout);
        std::fflush(stdout);
    }
    if (showProgress)
        std::fprintf(stderr, "\n");
    for (auto& t : pool)
        t.join();
    if (raven)
        std::fputs(writeSelectionTable(table).c_str(), stdout);
    return failed ? 1 : 0;
}
