// vesperon-cli pulses and vesperon-cli histogram: the pulse characteristics
// table and the pulse interval / pulse length histogram of recordings.
#include "CliCommands.h"
#include "CliInputs.h"
#include "CliSupport.h"
#include "MeasurePictures.h"
#include "OrderedFor.h"

#include "core/NumberText.h"
#include "document/CVesSoundDoc.h"
#include "document/MarkTables.h"
#include "pulse/PulsCharSettings.h"
#include "pulse/PulseAnalysis.h"
#include "pulse/PulseTable.h"
#include "pulse/RateHistogram.h"

#include <cmath>
#include <cstdio>
#include <iterator>
#include <optional>

namespace {

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

const char* const kColumnNames[] = {"pulse", "start", "stop", "duration", "maxfreq", "minfreq", "strongfreq", "maxamp"};
const char* const kMarkNames[] = {"start", "end", "maxamp", "high", "low"};

template <std::size_t N>
bool isListOf(const std::string& text, const char* const (&names)[N], bool noneAllowed)
{
    const std::vector<std::string> items = splitList(text);
    for (const std::string& item : items) {
        bool known = item == "all" || (noneAllowed && item == "none");
        for (const char* n : names)
            known = known || item == n;
        if (!known)
            return false;
    }
    return !items.empty();
}

bool isColumnList(const std::string& text)
{
    return isListOf(text, kColumnNames, false);
}

bool isMarkList(const std::string& text)
{
    return isListOf(text, kMarkNames, true);
}

OptionSpec scaled(const char* name, const char* valueName, double min, double max, const char* help)
{
    return rangeOption(name, OptionKind::Number, valueName, min, max, nullptr, help);
}

// Options of both commands: the stretch and the channel first, the files last.
void addCommon(std::vector<OptionSpec>& options)
{
    options.insert(options.begin(),
                   {startOption(PositionUnit::Frames,
                                "start of the stretch: a frame number, or a real time with the unit ms or s "
                                "(\"12.5ms\", \"1.2s\"); default the start of the file"),
                    endOption(PositionUnit::Frames, "end of the stretch, the same way; default the end of the file"),
                    channelOption("left|right", "left", "channel of a stereo recording")});
    options.push_back(recursiveOption());
    options.push_back(timeExpansionOption());
    options.push_back(jobsOption());
}

CommandSpec makePulsesSpec()
{
    CommandSpec spec{
        "pulses",
        "pulse characteristics table of recordings (text, CSV or a Raven table)",
        {"[OPTIONS] IN..."},
        "Finds the pulses of each recording (or of a stretch of it) by an amplitude\n"
        "threshold and measures them as the pulse characteristics analysis does.\n"
        "IN is a recording or a folder (its .wav and .vprd files, sorted by name;\n"
        "with --recursive those of its sub-folders too).\n"
        "Prints the result table as the program copies it: a first row of headings,\n"
        "then one row per pulse, cells separated by tabs, lines ended by CR LF.\n"
        "With several files, each table follows a line \"# FILE\"; --csv and --raven\n"
        "make one table of all files.\n",
        {
            scaled("threshold", "DB", -1000, 1000, "oscillogram threshold in dB, e.g. -12"),
            scaled("separation", "MS", 0, 1000000, "minimum separation: a gap that ends a pulse"),
            scaled("min-duration", "MS", 0, 1000000, "minimum duration of a pulse"),
            scaled("spect-threshold", "DB", -1000, 1000, "spectrogram threshold in dB, e.g. -24"),
            scaled("freq-separation", "HZ", 0, 100000000, "frequency separation (0: no contour frequencies)"),
            scaled("min-freq", "HZ", 0, 100000000, "lower frequency limit (0: none)"),
            scaled("max-freq", "HZ", 0, 100000000, "upper frequency limit (0: none)"),
            {.name = "fft", .kind = OptionKind::Integer, .valueName = "N", .min = 16, .max = 4096,
             .help = "FFT size, a power of two 16..4096", .flags = kPowerOfTwo},
            {.name = "overlap", .kind = OptionKind::Integer, .valueName = "PERCENT", .min = 0, .max = 99,
             .help = "FFT overlap 0..99"},
            windowOption(nullptr,
                         "rectangular, hanning, parzen, hamming or cosine, or a code (default FFT size, overlap "
                         "and window: the spectrogram of a new view with the default analysis settings)"),
            {.name = "columns", .kind = OptionKind::Text, .valueName = "LIST",
             .help = "comma-separated from pulse, start, stop, duration, maxfreq, minfreq, strongfreq and "
                     "maxamp, or all (default: the settings, all when the settings enable none)",
             .check = isColumnList,
             .expects = "a comma-separated list of pulse, start, stop, duration, maxfreq, minfreq, strongfreq, "
                        "maxamp or all",
             .sample = "pulse,start"},
            {.name = "marks", .kind = OptionKind::Text, .valueName = "LIST",
             .help = "marks to place, comma-separated from start, end, maxamp, high and low, or all; the marks "
                     "placed are listed after each table",
             .check = isMarkList,
             .expects = "a comma-separated list of start, end, maxamp, high, low, all or none",
             .sample = "start"},
            {.name = "csv",
             .help = "comma-separated values instead, one header row and one row per pulse of every file, every "
                     "column filled:\n"
                     "file,pulse,start_ms,end_ms,duration_ms,max_freq_hz,\n"
                     "min_freq_hz,peak_freq_hz,peak_level_db"},
            {.name = "raven",
             .help = "a Raven selection table instead: begin and end in real seconds, the contour's lowest and "
                     "highest frequency, pulse number, duration, peak frequency and level; of several files or a "
                     "folder one table with a \"Begin File\" column"},
        },
        "The other settings come from the user's pulse characteristics settings.\n"
        "Exit status 1 when a file cannot be read or a folder holds no recordings,\n"
        "2 for wrong options.\n"};
    addCommon(spec.options);
    return spec;
}

CommandSpec makeHistogramSpec()
{
    CommandSpec spec{
        "histogram",
        "pulse interval or pulse length histogram of recordings",
        {"--interval|--length [OPTIONS] IN..."},
        "Finds the pulses of one channel of each recording (or of a stretch of it) by an\n"
        "amplitude threshold and prints the histogram of the intervals between pulse\n"
        "starts (--interval, the default) or of the pulse lengths (--length) as the\n"
        "histogram window copies it: \"From (ms)\", \"To (ms)\", \"# observations\".\n"
        "IN is a recording or a folder of recordings. With several files, each table\n"
        "follows a line \"# FILE\".\n",
        {
            {.name = "interval", .help = "histogram of the intervals between pulse starts"},
            {.name = "length", .help = "histogram of the pulse lengths"},
            scaled("delay", "MS", 0, 1000000,
                   "detection delay: the hold-off that ends a pulse and the minimum pulse length"),
            {.name = "image", .kind = OptionKind::Path, .valueName = "FILE",
             .help = "also draw the histogram as its window shows it (PNG, JPEG, BMP by the extension; one "
                     "recording only)",
             .sample = "histogram.png"},
            {.name = "threshold", .kind = OptionKind::Number, .valueName = "P", .min = 1, .max = 100,
             .choices = "auto",
             .help = "detection threshold in percent of full scale (1..100), or \"auto\" to compute it from the "
                     "sound"},
            {.name = "auto", .help = "bar width, start, end, count and threshold from the data"},
            {.name = "manual", .help = "use --hist-start, --hist-end and --bars"},
            {.name = "hist-start", .kind = OptionKind::Integer, .valueName = "MS", .min = 0, .max = 999999,
             .help = "start of the first bar (manual settings)"},
            {.name = "hist-end", .kind = OptionKind::Integer, .valueName = "MS", .min = 1, .max = 999999,
             .help = "end of the last bar (manual settings)"},
            {.name = "bars", .kind = OptionKind::Integer, .valueName = "N", .min = 2, .max = 1024,
             .help = "number of bars (manual settings)"},
        },
        "Defaults come from the user's pulse interval / pulse length settings.\n"
        "Exit status 1 when a file cannot be read or a folder holds no recordings,\n"
        "2 for wrong options.\n"};
    addCommon(spec.options);
    return spec;
}

// The options both commands share, taken from the command line.
struct CommonOptions {
    Position start, end;
    std::optional<std::int32_t> timeExp25;
    std::optional<bool> left;
    int jobs = 1;
    bool recursive = false;

    // True when `o` was one of them.
    bool take(const OptionValue& o)
    {
        if (o.is("start"))
            start = positionValue(o);
        else if (o.is("end"))
            end = positionValue(o);
        else if (o.is("time-expansion"))
            timeExp25 = timeExpansionValue(o);
        else if (o.is("jobs"))
            jobs = static_cast<int>(o.integer());
        else if (o.is("channel"))
            left = channelValue(o) == Channel::Left;
        else if (o.is("recursive"))
            recursive = true;
        else
            return false;
        return true;
    }
};

bool openDocument(CVesSoundDoc& doc, const std::string& file, const CommonOptions& o)
{
    if (!doc.open(file))
        return false;
    if (o.timeExp25)
        doc.recData().m_timeExp25 = *o.timeExp25;
    return true;
}

std::int32_t scaledValue(const OptionValue& o, double scale)
{
    return static_cast<std::int32_t>(std::llround(o.number * scale));
}

// The output of one file, produced on any thread and printed in input order.
struct FileOutput {
    std::string text;
    AnnotationTable table;  // --raven
    bool failed = false;
};

}  // namespace

const CommandSpec& cmdPulsesSpec()
{
    static const CommandSpec spec = makePulsesSpec();
    return spec;
}

const CommandSpec& cmdHistogramSpec()
{
    static const CommandSpec spec = makeHistogramSpec();
    return spec;
}

int cmdPulses(const CliArgs& args)
{
    const CommandSpec& spec = cmdPulsesSpec();
    ParsedArgs parsed;
    if (!parseOrComplain(spec, args, parsed))
        return 2;
    VesPulsParms parms;
    VesAnaParms ana;
    {
        vkit::RegCls reg;
        parms.load(reg);
        ana.load(reg);
    }
    CommonOptions common;
    bool csv = false, raven = false, columnsGiven = false, marksGiven = false;
    for (const OptionValue& o : parsed.options) {
        if (common.take(o))
            continue;
        if (o.is("threshold"))
            parms.m_ampThres = scaledValue(o, 100);
        else if (o.is("separation"))
            parms.m_ampSeparationMySec = scaledValue(o, 1000);
        else if (o.is("min-duration"))
            parms.m_durTimeMySec = scaledValue(o, 1000);
        else if (o.is("spect-threshold"))
            parms.m_freqThreshold = scaledValue(o, 100);
        else if (o.is("freq-separation"))
            parms.m_freqSeparation = scaledValue(o, 1);
        else if (o.is("min-freq"))
            parms.m_minFrequency = scaledValue(o, 1);
        else if (o.is("max-freq"))
            parms.m_maxFrequency = scaledValue(o, 1);
        else if (o.is("fft"))
            ana.m_fftSize = static_cast<std::int32_t>(o.integer());
        else if (o.is("overlap"))
            ana.m_fftOverLap = static_cast<std::int32_t>(o.integer());
        else if (o.is("window"))
            ana.m_fftWindow = parseWindowName(o.text);
        else if (o.is("csv"))
            csv = true;
        else if (o.is("raven"))
            raven = true;
        else if (o.is("columns")) {
            columnsGiven = true;
            bool* flags[] = {&parms.m_pulsNum, &parms.m_startTime, &parms.m_stopTime, &parms.m_duration,
                             &parms.m_freqMax, &parms.m_freqMin,  &parms.m_freqStrong, &parms.m_ampMaxAmp};
            for (bool* f : flags)
                *f = false;
            for (const std::string& c : splitList(o.text))
                for (std::size_t k = 0; k < std::size(kColumnNames); ++k)
                    if (c == "all" || c == kColumnNames[k])
                        *flags[k] = true;
        } else if (o.is("marks")) {
            marksGiven = true;
            bool* flags[] = {&parms.m_startTimeMark, &parms.m_stopTimeMark, &parms.m_freqStrongMark,
                             &parms.m_freqMaxMark, &parms.m_freqMinMark};
            for (bool* f : flags)
                *f = false;
            for (const std::string& m : splitList(o.text))
                for (std::size_t k = 0; k < std::size(kMarkNames); ++k)
                    if (m == "all" || m == kMarkNames[k])
                        *flags[k] = true;
        }
    }
    if (parsed.operands.empty())
        return usageError(spec, "give one or more recordings or folders (see --help)");
    if (raven && (csv || marksGiven))
        return usageError(spec, "--raven writes a selection table, without --csv or --marks");
    if (csv && marksGiven)
        return usageError(spec, "--marks lists the marks with the table; it does not go with --csv");
    const RecordingInputs inputs = expandRecordingInputs(spec.name, parsed.operands, common.recursive);
    const std::vector<std::string>& files = inputs.files;
    if (files.empty())
        return 1;  // said why
    if (!columnsGiven && pulseTableColumns(parms).empty())
        parms.m_pulsNum = parms.m_startTime = parms.m_stopTime = parms.m_duration = parms.m_freqMax =
            parms.m_freqMin = parms.m_freqStrong = parms.m_ampMaxAmp = true;
    if (!marksGiven)  // marks only when asked for: the tool does not save the documents
        parms.m_startTimeMark = parms.m_stopTimeMark = parms.m_freqStrongMark = parms.m_freqMaxMark =
            parms.m_freqMinMark = false;
    // Like a view showing both channels: the left one unless asked otherwise.
    parms.m_leftChan = common.left.value_or(true);
    parms.m_rightChan = !parms.m_leftChan;
    if (ana.m_fftSize == 0 || ana.m_fftOverLap < 0)
        std::fprintf(stderr, "vesperon-cli: %s\n", pulseFftWarning(ana.m_fftSize == 0, ana.m_fftOverLap < 0).c_str());

    // One selection table of one recording as before; of several, the file
    // of each row in a first extra column, as calls writes it.
    const bool ravenOfSeveral = raven && (files.size() > 1 || inputs.anyFolder);
    AnnotationTable table;
    if (ravenOfSeveral) {
        table = pulsesToTable({});
        table.extraColumns.insert(table.extraColumns.begin(), "Begin File");
    }
    if (csv)
        std::fputs(pulseCsvHeader().c_str(), stdout);
    const bool several = files.size() > 1;
    bool failed = !inputs.ok;
    parallelForInOrder<FileOutput>(
        files.size(), common.jobs,
        [&](std::size_t index) {
            const std::string& file = files[index];
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
                out.table = pulsesToTable(rows.rows);
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
        [&](std::size_t index, FileOutput&& out) {
            failed = failed || out.failed;
            if (out.failed)
                return;
            if (ravenOfSeveral) {
                for (Annotation& a : out.table.rows) {
                    a.extra.insert(a.extra.begin(), files[index]);
                    table.rows.push_back(std::move(a));
                }
                return;
            }
            if (raven)
                out.text = writeSelectionTable(out.table);
            std::fwrite(out.text.data(), 1, out.text.size(), stdout);
            std::fflush(stdout);
        });
    if (ravenOfSeveral)
        std::fputs(writeSelectionTable(table).c_str(), stdout);
    return failed ? 1 : 0;
}

int cmdHistogram(const CliArgs& args)
{
    const CommandSpec& spec = cmdHistogramSpec();
    ParsedArgs parsed;
    if (!parseOrComplain(spec, args, parsed))
        return 2;
    VesRateParms parms;
    {
        vkit::RegCls reg;
        parms.load(reg);
    }
    parms.m_intervalMode = true;
    CommonOptions common;
    std::string image;
    for (const OptionValue& o : parsed.options) {
        if (common.take(o))
            continue;
        if (o.is("image"))
            image = o.text;
        else if (o.is("delay"))
            parms.m_delay = scaledValue(o, 1);
        else if (o.is("interval") || o.is("length"))
            parms.m_intervalMode = o.is("interval");
        else if (o.is("auto") || o.is("manual"))
            parms.m_autoCalc = o.is("auto");
        else if (o.is("threshold"))
            parms.m_threshold = o.word >= 0 ? -1 : static_cast<std::int32_t>(std::lround(o.number * 32768.0 / 100.0));
        else if (o.is("hist-start") || o.is("hist-end") || o.is("bars")) {
            (o.is("hist-start") ? parms.m_histStart : o.is("hist-end") ? parms.m_histEnd : parms.m_barAnt) =
                static_cast<std::int32_t>(o.integer());
            parms.m_autoCalc = false;
        }
    }
    if (common.left) {
        parms.m_leftChan = *common.left;
        parms.m_rightChan = !*common.left;
    } else {
        parms.m_leftChan = parms.m_rightChan = true;  // the left channel of a stereo recording
    }
    if (parsed.operands.empty())
        return usageError(spec, "give one or more recordings or folders (see --help)");
    if (!parms.m_autoCalc) {
        if (const auto message = validateRateSettings(parms.m_histStart, parms.m_histEnd, parms.m_barAnt))
            return usageError(spec, *message);
    }
    const RecordingInputs inputs = expandRecordingInputs(spec.name, parsed.operands, common.recursive);
    const std::vector<std::string>& files = inputs.files;
    if (files.empty())
        return 1;  // said why
    if (!image.empty() && files.size() != 1)
        return usageError(spec, "--image takes one recording");
    const bool several = files.size() > 1;
    bool failed = !inputs.ok;
    parallelForInOrder<FileOutput>(
        files.size(), common.jobs,
        [&](std::size_t index) {
            const std::string& file = files[index];
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
        [&](std::size_t, FileOutput&& out) {
            failed = failed || out.failed;
            std::fwrite(out.text.data(), 1, out.text.size(), stdout);
            std::fflush(stdout);
        });
    return failed ? 1 : 0;
}
