// vesperon-cli pulses and vesperon-cli histogram: the pulse characteristics
// table and the pulse interval / pulse length histogram of recordings.
#include "CliCommands.h"
#include "core/NumberText.h"
#include "CliSupport.h"

#include "document/CVesSoundDoc.h"
#include "document/MarkTables.h"
#include "pulse/PulsCharSettings.h"
#include "pulse/PulseAnalysis.h"
#include "pulse/PulseTable.h"
#include "pulse/RateHistogram.h"
#include "MeasurePictures.h"

#include <algorithm>
#include <cmath>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>

void helpPulses()
{
    std::printf(
        "Usage: vesperon-cli pulses [OPTIONS] FILE...\n\n"
        "Finds the pulses of each recording (or of a stretch of it) by an amplitude\n"
        "threshold and measures them as the pulse characteristics analysis does.\n"
        "Prints the result table as the program copies it: a first row of headings,\n"
        "then one row per pulse, cells separated by tabs, lines ended by CR LF.\n"
        "With several files, each table follows a line \"# FILE\".\n\n"
        "  --start POS, --end POS   the stretch: a frame number, or a real time with\n"
        "                    the unit ms or s (\"12.5ms\", \"1.2s\"); default the whole file\n"
        "  --channel left|right     channel of a stereo recording (default left)\n"
        "  --threshold DB     oscillogram threshold in dB, e.g. -12\n"
        "  --separation MS    minimum separation: a gap that ends a pulse\n"
        "  --min-duration MS  minimum duration of a pulse\n"
        "  --spect-threshold DB     spectrogram threshold in dB, e.g. -24\n"
        "  --freq-separation HZ     frequency separation (0: no contour frequencies)\n"
        "  --min-freq HZ, --max-freq HZ   frequency limits (0: none)\n"
        "  --fft N            FFT size, a power of two 16..4096\n"
        "  --overlap PERCENT  FFT overlap 0..99\n"
        "  --window NAME      rectangular, hanning, parzen, hamming or cosine, or a code\n"
        "                     (default FFT size, overlap and window: the spectrogram of a\n"
        "                     new view with the default analysis settings)\n"
        "  --columns LIST     comma-separated: pulse,start,stop,duration,maxfreq,minfreq,\n"
        "                     strongfreq,maxamp, or all (default: the settings, all when\n"
        "                     the settings enable none)\n"
        "  --marks LIST       marks to place: start,end,maxamp,high,low, or all; the\n"
        "                     marks placed are listed after each table\n"
        "  --time-expansion X treat the recordings as time-expanded by X (e.g. 10)\n"
        "  --csv              comma-separated values instead, one header row and one row\n"
        "                     per pulse of every file, every column filled:\n"
        "                     file,pulse,start_ms,end_ms,duration_ms,max_freq_hz,\n"
        "                     min_freq_hz,peak_freq_hz,peak_level_db\n"
        "  --raven            a Raven selection table instead (one FILE): begin and end in\n"
        "                     real seconds, the contour's lowest and highest frequency,\n"
        "                     pulse number, duration, peak frequency and level\n"
        "  --jobs N           analyse N files at a time (output stays in input order)\n\n"
        "The other settings come from the user's pulse characteristics settings.\n"
        "Exit status 1 when a file cannot be read, 2 for wrong options.\n");
}

void helpHistogram()
{
    std::printf(
        "Usage: vesperon-cli histogram --interval|--length [OPTIONS] FILE...\n\n"
        "Finds the pulses of one channel of each recording (or of a stretch of it) by an\n"
        "amplitude threshold and prints the histogram of the intervals between pulse\n"
        "starts (--interval, the default) or of the pulse lengths (--length) as the\n"
        "histogram window copies it: \"From (ms)\", \"To (ms)\", \"# observations\".\n"
        "With several files, each table follows a line \"# FILE\".\n\n"
        "  --start POS, --end POS   the stretch: a frame number, or a real time with\n"
        "                    the unit ms or s; default the whole file\n"
        "  --channel left|right     channel of a stereo recording (default left)\n"
        "  --delay MS         detection delay: the hold-off that ends a pulse and the\n"
        "                     minimum pulse length\n"
        "  --image FILE       also draw the histogram as its window shows it (PNG, JPEG,\n"
        "                     BMP by the extension; one recording only)\n"
        "  --threshold P      detection threshold in percent of full scale (1..100),\n"
        "                     or \"auto\" to compute it from the sound\n"
        "  --auto             bar width, start, end, count and threshold from the data\n"
        "  --manual           use --hist-start, --hist-end and --bars\n"
        "  --hist-start MS, --hist-end MS, --bars N   the bars (manual settings)\n"
        "  --time-expansion X treat the recordings as time-expanded by X (e.g. 10)\n"
        "  --jobs N           analyse N files at a time (output stays in input order)\n\n"
        "Defaults come from the user's pulse interval / pulse length settings.\n"
        "Exit status 1 when a file cannot be read, 2 for wrong options.\n");
}

namespace {

// A frame number, or a real time ("12.5ms", "1.2s").
struct Position {
    bool set = false;
    bool time = false;
    std::int64_t frames = 0;
    std::int64_t micros = 0;

    std::int64_t resolve(const CVesSoundDoc& doc, std::int64_t unset) const
    {
        if (!set)
            return unset;
        return time ? doc.realMicrosToFrames(micros) : frames;
    }
};

bool parsePosition(const std::string& text, Position& pos)
{
    pos.set = true;
    if (const auto n = parseInt(text); n && *n >= 0) {
        pos.frames = *n;
        return true;
    }
    double scale = 0;
    std::string number;
    if (text.size() > 2 && text.compare(text.size() - 2, 2, "ms") == 0) {
        scale = 1e3;
        number = text.substr(0, text.size() - 2);
    } else if (text.size() > 1 && text.back() == 's') {
        scale = 1e6;
        number = text.substr(0, text.size() - 1);
    }
    const auto v = parseNumber(number);
    if (scale == 0 || !v || *v < 0 || *v * scale > 9e15)
        return false;
    pos.time = true;
    pos.micros = std::llround(*v * scale);
    return true;
}

std::vector<std::string> splitList(const std::string& text)
{
    std::vector<std::string> out;
    std::size_t from = 0;
    while (from <= text.size()) {
        const std::size_t comma = text.find(',', from);
        const std::size_t to = comma == std::string::npos ? text.size() : comma;
        if (to > from)
            out.push_back(text.substr(from, to - from));
        if (comma == std::string::npos)
            break;
        from = comma + 1;
    }
    return out;
}

// The output of one file, produced on any thread and printed in input order.
struct FileOutput {
    std::string text;
    bool failed = false;
};

// Runs work(i) for every file on up to `jobs` threads and prints each output
// as soon as it and all before it are done.
void runInOrder(std::size_t count, int jobs, const std::function<FileOutput(std::size_t)>& work, bool& anyFailed)
{
    std::vector<std::optional<FileOutput>> outputs(count);
    std::mutex mutex;
    std::condition_variable ready;
    std::size_t next = 0;
    auto worker = [&] {
        for (;;) {
            std::size_t i;
            {
                std::lock_guard<std::mutex> lock(mutex);
                if (next >= count)
                    return;
                i = next++;
            }
            FileOutput out = work(i);
            {
                std::lock_guard<std::mutex> lock(mutex);
                outputs[i] = std::move(out);
            }
            ready.notify_all();
        }
    };
    const int threads = static_cast<int>(std::min<std::size_t>(static_cast<std::size_t>(std::max(1, jobs)), count));
    std::vector<std::thread> pool;
    if (threads > 1)
        for (int t = 0; t < threads; ++t)
            pool.emplace_back(worker);
    else
        worker();
    for (std::size_t i = 0; i < count; ++i) {
        FileOutput out;
        {
            std::unique_lock<std::mutex> lock(mutex);
            ready.wait(lock, [&] { return outputs[i].has_value(); });
            out = std::move(*outputs[i]);
            outputs[i].reset();
        }
        std::fwrite(out.text.data(), 1, out.text.size(), stdout);
        std::fflush(stdout);
        anyFailed = anyFailed || out.failed;
    }
    for (auto& t : pool)
        t.join();
}

// Options shared by both commands.
struct CommonOptions {
    Position start, end;
    std::optional<std::int32_t> timeExp25;
    int jobs = 1;
    std::vector<std::string> files;
};

enum class Parsed { Taken, NotMine, Error };

Parsed takeCommon(const char* command, const CliArgs& args, std::size_t& i, CommonOptions& o)
{
    std::string v;
    const bool isStart = takeOption(args, i, "--start", v);
    if (isStart || takeOption(args, i, "--end", v)) {
        if (!parsePosition(v, isStart ? o.start : o.end)) {
            std::fprintf(stderr, "vesperon-cli %s: a position is a frame number or a time such as 12.5ms or 1.2s, not '%s'\n",
                         command, v.c_str());
            return Parsed::Error;
        }
        return Parsed::Taken;
    }
    if (takeOption(args, i, "--time-expansion", v)) {
        const auto x = parseNumber(v);
        if (!x || *x <= 0 || *x > 1000) {
            std::fprintf(stderr, "vesperon-cli %s: --time-expansion takes a factor above 0, such as 10\n", command);
            return Parsed::Error;
        }
        o.timeExp25 = static_cast<std::int32_t>(std::lround(*x * 1000));
        return Parsed::Taken;
    }
    if (takeOption(args, i, "--jobs", v)) {
        const auto n = parseInt(v);
        if (!n || *n < 1 || *n > 256) {
            std::fprintf(stderr, "vesperon-cli %s: --jobs takes a number from 1 to 256\n", command);
            return Parsed::Error;
        }
        o.jobs = static_cast<int>(*n);
        return Parsed::Taken;
    }
    if (args[i].rfind("--", 0) == 0)
        return Parsed::NotMine;
    o.files.push_back(args[i++]);
    return Parsed::Taken;
}

bool openDocument(CVesSoundDoc& doc, const std::string& file, const CommonOptions& o)
{
    if (!doc.open(file))
        return false;
    if (o.timeExp25)
        doc.recData().m_timeExp25 = *o.timeExp25;
    return true;
}

// A decimal option scaled to an integer field (ms to µs, dB to 0.01 dB).
bool takeScaled(const char* command, const CliArgs& args, std::size_t& i, const char* name, double scale,
                double minValue, std::int32_t& field, bool& matched)
{
    std::string v;
    if (!takeOption(args, i, name, v))
        return true;
    matched = true;
    const auto x = parseNumber(v);
    if (!x || *x < minValue || std::fabs(*x * scale) > 2e9) {
        std::fprintf(stderr, "vesperon-cli %s: %s takes a number%s, not '%s'\n", command, name,
                     minValue >= 0 ? " of 0 or more" : "", v.c_str());
        return false;
    }
    field = static_cast<std::int32_t>(std::llround(*x * scale));
    return true;
}

}  // namespace

int cmdPulses(const CliArgs& args)
{
    const char* cmd = "pulses";
    VesPulsParms parms;
    VesAnaParms ana;
    {
        vkit::RegCls reg;
        parms.load(reg);
        ana.load(reg);
    }
    CommonOptions common;
    std::optional<int> fftSize, overlapPercent, window;
    std::optional<bool> left;
    bool csv = false;
    bool raven = false;
    bool columnsGiven = false;
    bool marksGiven = false;
    for (std::size_t i = 0; i < args.size();) {
        std::string v;
        bool matched = false;
        if (!takeScaled(cmd, args, i, "--threshold", 100, -1e9, parms.m_ampThres, matched) ||
            !takeScaled(cmd, args, i, "--separation", 1000, 0, parms.m_ampSeparationMySec, matched) ||
            !takeScaled(cmd, args, i, "--min-duration", 1000, 0, parms.m_durTimeMySec, matched) ||
            !takeScaled(cmd, args, i, "--spect-threshold", 100, -1e9, parms.m_freqThreshold, matched) ||
            !takeScaled(cmd, args, i, "--freq-separation", 1, 0, parms.m_freqSeparation, matched) ||
            !takeScaled(cmd, args, i, "--min-freq", 1, 0, parms.m_minFrequency, matched) ||
            !takeScaled(cmd, args, i, "--max-freq", 1, 0, parms.m_maxFrequency, matched))
            return 2;
        if (matched)
            continue;
        if (takeOption(args, i, "--fft", v)) {
            const auto n = parseInt(v);
            if (!n || *n < 16 || *n > 4096 || (*n & (*n - 1)) != 0) {
                std::fprintf(stderr, "vesperon-cli pulses: --fft takes a power of two from 16 to 4096\n");
                return 2;
            }
            fftSize = static_cast<int>(*n);
        } else if (takeOption(args, i, "--overlap", v)) {
            const auto n = parseInt(v);
            if (!n || *n < 0 || *n > 99) {
                std::fprintf(stderr, "vesperon-cli pulses: --overlap takes a percentage from 0 to 99\n");
                return 2;
            }
            overlapPercent = static_cast<int>(*n);
        } else if (takeOption(args, i, "--window", v)) {
            window = parseWindowName(v);
            if (*window < 0) {
                std::fprintf(stderr, "vesperon-cli pulses: unknown window '%s'\n", v.c_str());
                return 2;
            }
        } else if (takeOption(args, i, "--channel", v)) {
            if (v != "left" && v != "right") {
                std::fprintf(stderr, "vesperon-cli pulses: --channel is left or right\n");
                return 2;
            }
            left = v == "left";
        } else if (takeOption(args, i, "--columns", v)) {
            columnsGiven = true;
            parms.m_pulsNum = parms.m_startTime = parms.m_stopTime = parms.m_duration = false;
            parms.m_freqMax = parms.m_freqMin = parms.m_freqStrong = parms.m_ampMaxAmp = false;
            for (const std::string& c : splitList(v)) {
                const bool all = c == "all";
                bool known = all;
                auto set = [&](const char* name, bool& flag) {
                    if (all || c == name) {
                        flag = true;
                        known = true;
                    }
                };
                set("pulse", parms.m_pulsNum);
                set("start", parms.m_startTime);
                set("stop", parms.m_stopTime);
                set("duration", parms.m_duration);
                set("maxfreq", parms.m_freqMax);
                set("minfreq", parms.m_freqMin);
                set("strongfreq", parms.m_freqStrong);
                set("maxamp", parms.m_ampMaxAmp);
                if (!known) {
                    std::fprintf(stderr, "vesperon-cli pulses: unknown column '%s'\n", c.c_str());
                    return 2;
                }
            }
        } else if (takeOption(args, i, "--marks", v)) {
            marksGiven = true;
            parms.m_startTimeMark = parms.m_stopTimeMark = false;
            parms.m_freqStrongMark = parms.m_freqMaxMark = parms.m_freqMinMark = false;
            for (const std::string& m : splitList(v)) {
                const bool all = m == "all";
                bool known = all || m == "none";
                auto set = [&](const char* name, bool& flag) {
                    if (all || m == name) {
                        flag = true;
                        known = true;
                    }
                };
                set("start", parms.m_startTimeMark);
                set("end", parms.m_stopTimeMark);
                set("maxamp", parms.m_freqStrongMark);
                set("high", parms.m_freqMaxMark);
                set("low", parms.m_freqMinMark);
                if (!known) {
                    std::fprintf(stderr, "vesperon-cli pulses: unknown mark '%s'\n", m.c_str());
                    return 2;
                }
            }
        } else if (args[i] == "--csv") {
            csv = true;
            ++i;
        } else if (args[i] == "--raven") {
            raven = true;
            ++i;
        } else {
            switch (takeCommon(cmd, args, i, common)) {
            case Parsed::Taken: break;
            case Parsed::Error: return 2;
            case Parsed::NotMine:
                std::fprintf(stderr, "vesperon-cli pulses: unknown option %s\n", args[i].c_str());
                return 2;
            }
        }
    }
    if (common.files.empty()) {
        helpPulses();
        return 2;
    }
    if (raven && (csv || marksGiven || common.files.size() != 1)) {
        std::fprintf(stderr, "vesperon-cli pulses: --raven writes the table of one FILE, without --csv or --marks\n");
        return 2;
    }
    if (csv && marksGiven) {
        std::fprintf(stderr, "vesperon-cli pulses: --marks lists the marks with the table; it does not go with --csv\n");
        return 2;
    }
    if (!columnsGiven && pulseTableColumns(parms).empty())
        parms.m_pulsNum = parms.m_startTime = parms.m_stopTime = parms.m_duration = parms.m_freqMax =
            parms.m_freqMin = parms.m_freqStrong = parms.m_ampMaxAmp = true;
    if (!marksGiven)  // marks only when asked for: the tool does not save the documents
        parms.m_startTimeMark = parms.m_stopTimeMark = parms.m_freqStrongMark = parms.m_freqMaxMark =
            parms.m_freqMinMark = false;
    // Like a view showing both channels: the left one unless asked otherwise.
    parms.m_leftChan = left.value_or(true);
    parms.m_rightChan = !parms.m_leftChan;
    if (window)
        ana.m_fftWindow = *window;
    if (fftSize)
        ana.m_fftSize = *fftSize;
    if (overlapPercent)
        ana.m_fftOverLap = *overlapPercent;
    if (ana.m_fftSize == 0 || ana.m_fftOverLap < 0)
        std::fprintf(stderr, "vesperon-cli: %s\n", pulseFftWarning(ana.m_fftSize == 0, ana.m_fftOverLap < 0).c_str());

    if (csv)
        std::fputs(pulseCsvHeader().c_str(), stdout);
    const bool several = common.files.size() > 1;
    bool failed = false;
    runInOrder(
        common.files.size(), common.jobs,
        [&](std::size_t index) {
            const std::string& file = common.files[index];
            FileOutput out;
            CliDocHost host(file);
            CVesSoundDoc doc(host, userDefaults());
            if (!openDocument(doc, file, common)) {
                out.failed = true;
                return out;
            }
            PulseRequest req;
            req.parms = parms;
            takeDefaultSpectrogramSettings(req.parms, doc, ana);
            req.first = common.start.resolve(doc, 0);
            req.last = common.end.resolve(doc, -1);
            req.alwaysMeasureSpectrum = csv || raven;
            PulseCollector rows;
            analysePulses(doc, req, rows);
            if (raven) {
                out.text = writeSelectionTable(pulsesToTable(rows.rows));
                return out;
            }
            if (csv) {
                for (const PulseResult& r : rows.rows)
                    out.text += pulseCsvRow(file, r);
                return out;
            }
            if (several)
                out.text += "# " + file + "\n";
            out.text += pulseTableText(req.parms, rows.rows);
            if (marksGiven) {
                for (PulseResult& r : rows.rows)
                    placePulseMarks(doc, r);
                char buf[160];
                for (const AnaMarkSave& m : doc.marks()) {
                    const double ms = static_cast<double>(doc.framesToRealMicros(m.m_posX)) / 1000.0;
                    if (m.m_anyY)
                        vkit::snprintfC(buf, sizeof buf, "Mark %d\t%s\t%.3f ms\r\n", m.m_markNr, m.m_label.c_str(), ms);
                    else
                        vkit::snprintfC(buf, sizeof buf, "Mark %d\t%s\t%.3f ms\t%lld Hz\r\n", m.m_markNr,
                                      m.m_label.c_str(), ms, static_cast<long long>(m.m_posY));
                    out.text += buf;
                }
            }
            return out;
        },
        failed);
    return failed ? 1 : 0;
}

int cmdHistogram(const CliArgs& args)
{
    const char* cmd = "histogram";
    VesRateParms parms;
    {
        vkit::RegCls reg;
        parms.load(reg);
    }
    parms.m_intervalMode = true;
    parms.m_leftChan = parms.m_rightChan = true;  // left of a stereo recording unless asked
    CommonOptions common;
    std::string image;
    for (std::size_t i = 0; i < args.size();) {
        std::string v;
        bool matched = false;
        if (takeOption(args, i, "--image", v)) {
            image = v;
            continue;
        }
        if (!takeScaled(cmd, args, i, "--delay", 1, 0, parms.m_delay, matched))
            return 2;
        if (matched)
            continue;
        if (args[i] == "--interval" || args[i] == "--length") {
            parms.m_intervalMode = args[i++] == "--interval";
        } else if (args[i] == "--auto" || args[i] == "--manual") {
            parms.m_autoCalc = args[i++] == "--auto";
        } else if (takeOption(args, i, "--threshold", v)) {
            if (v == "auto") {
                parms.m_threshold = -1;
                continue;
            }
            const auto p = parseNumber(v);
            if (!p || *p < 1 || *p > 100) {
                std::fprintf(stderr, "vesperon-cli histogram: --threshold takes a percentage from 1 to 100, or auto\n");
                return 2;
            }
            parms.m_threshold = static_cast<std::int32_t>(std::lround(*p * 32768.0 / 100.0));
        } else if (takeOption(args, i, "--channel", v)) {
            if (v != "left" && v != "right") {
                std::fprintf(stderr, "vesperon-cli histogram: --channel is left or right\n");
                return 2;
            }
            parms.m_leftChan = v == "left";
            parms.m_rightChan = v == "right";
        } else if (takeOption(args, i, "--hist-start", v) || takeOption(args, i, "--hist-end", v) ||
                   takeOption(args, i, "--bars", v)) {
            const std::string& opt = args[i - (args[i - 1].find('=') == std::string::npos ? 2 : 1)];
            const auto n = parseInt(v);
            const bool isStart = opt.rfind("--hist-start", 0) == 0, isEnd = opt.rfind("--hist-end", 0) == 0;
            const std::int64_t lo = isStart ? 0 : (isEnd ? 1 : 2), hi = isStart || isEnd ? 999999 : 1024;
            if (!n || *n < lo || *n > hi) {
                std::fprintf(stderr, "vesperon-cli histogram: %s takes a whole number from %lld to %lld\n",
                             opt.substr(0, opt.find('=')).c_str(), static_cast<long long>(lo),
                             static_cast<long long>(hi));
                return 2;
            }
            (isStart ? parms.m_histStart : isEnd ? parms.m_histEnd : parms.m_barAnt) = static_cast<std::int32_t>(*n);
            parms.m_autoCalc = false;
        } else {
            switch (takeCommon(cmd, args, i, common)) {
            case Parsed::Taken: break;
            case Parsed::Error: return 2;
            case Parsed::NotMine:
                std::fprintf(stderr, "vesperon-cli histogram: unknown option %s\n", args[i].c_str());
                return 2;
            }
        }
    }
    if (common.files.empty()) {
        helpHistogram();
        return 2;
    }
    if (!parms.m_autoCalc) {
        if (const auto message = validateRateSettings(parms.m_histStart, parms.m_histEnd, parms.m_barAnt)) {
            std::fprintf(stderr, "vesperon-cli histogram: %s\n", message->c_str());
            return 2;
        }
    }
    if (!image.empty() && common.files.size() != 1) {
        std::fprintf(stderr, "vesperon-cli histogram: --image takes one recording\n");
        return 2;
    }
    const bool several = common.files.size() > 1;
    bool failed = false;
    runInOrder(
        common.files.size(), common.jobs,
        [&](std::size_t index) {
            const std::string& file = common.files[index];
            FileOutput out;
            CliDocHost host(file);
            CVesSoundDoc doc(host, userDefaults());
            if (!openDocument(doc, file, common)) {
                out.failed = true;
                return out;
            }
            VesRateParms record = parms;
            RateHistogram histogram;
            histogram.prepare(record, doc, common.start.resolve(doc, 0), common.end.resolve(doc, doc.lengthFrames()));
            histogram.calculate(doc, record);
            if (several)
                out.text += "# " + file + "\n";
            out.text += histogram.asciiTable();
            if (!image.empty()) {
                std::string error;
                char range[96];
                vkit::snprintfC(range, sizeof range, "     %.3f s - %.3f s",
                                static_cast<double>(doc.framesToRealMicros(histogram.firstFrame)) / 1e6,
                                static_cast<double>(doc.framesToRealMicros(histogram.lastFrame)) / 1e6);
                if (!writeHistogramPicture(image, histogram, range, 420, 220, error)) {
                    std::fprintf(stderr, "vesperon-cli histogram: %s\n", error.c_str());
                    out.failed = true;
                }
            }
            return out;
        },
        failed);
    return failed ? 1 : 0;
}
