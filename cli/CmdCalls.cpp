// vesperon-cli calls: finds and measures the bat calls of recordings and
// folders of recordings with the noise-adaptive call detector.
#include "CliCommands.h"
#include "CliInputs.h"
#include "CliSupport.h"
#include "OrderedFor.h"
#include "ZcCli.h"

#include "core/NumberText.h"
#include "document/CVesSoundDoc.h"
#include "pulse/CallDetector.h"
#include "pulse/CallTable.h"
#include "records/AnnotationTable.h"

#include <cstdio>
#include <optional>
#include <unistd.h>

namespace {

OptionSpec number(const char* name, const char* valueName, double min, double max, double defaultValue,
                  const char* help)
{
    return rangeOption(name, OptionKind::Number, valueName, min, max, keepText(vkit::formatC("%g", defaultValue)), help);
}

CommandSpec makeSpec()
{
    const CallDetectorSettings d;
    const OptionSpec band = callBandOption("search band in kHz, cut to the recording");
    return CommandSpec{
        "calls",
        "find and measure the bat calls of recordings and folders (noise-adaptive)",
        {"[OPTIONS] IN..."},
        "Finds the bat calls of each recording with a detector that follows the\n"
        "background noise of every frequency band, and measures them. IN is a\n"
        "recording or a folder (its .wav and .vprd files, sorted by name, become one\n"
        "table; with --recursive those of its sub-folders too).\n"
        "Prints one row per call: call number, start, end and duration (ms of real\n"
        "time from the start of the file), highest, lowest, peak, characteristic and\n"
        "knee frequency, bandwidth (Hz), mean slope (kHz/ms, positive for a downward\n"
        "sweep), interval to the call before (ms) and signal-to-noise ratio (dB).\n"
        "Without --csv or --raven the rows are tab-separated, each file's after a\n"
        "line \"# FILE\".\n\n"
        "Zero-crossing files (Anabat types 129 to 132; in a folder .zc and extensions\n"
        "ending in #) have no spectrum: their calls are runs of smooth dots (each\n"
        "within --smooth of the one before) in the band, joined across gaps shorter\n"
        "than --min-interval, and measured from their dots with the same definitions\n"
        "(Fc, Tc, Sc, S1, Fk, Tk, Fmean, Qual, TBC); the peak frequency is the\n"
        "characteristic one and the SNR 0, as dots carry no level.\n",
        {
            {.name = "csv",
             .help = "comma-separated values, one header row for all files:\n"
                     "file,call,start_ms,end_ms,duration_ms,max_freq_hz,\n"
                     "min_freq_hz,peak_freq_hz,char_freq_hz,knee_freq_hz,\n"
                     "bandwidth_hz,slope_khz_per_ms,interval_ms,snr_db,\n"
                     "fc_hz,tc_ms,sc_ops,s1_ops,fk_hz,tk_ms,fmean_hz,qual_pct,\n"
                     "tbc_ms,low_freq_hz,high_freq_hz (the parameters of the\n"
                     "field's programs and the call's box; see the guide)"},
            {.name = "raven",
             .help = "one Raven selection table for all files (a \"Begin File\" column names each call's file)"},
            recursiveOption(),
            band,
            number("snr", "DB", 0, 100, d.snrDb, "a call's peak above the noise of its band"),
            number("edge-snr", "DB", 0, 100, d.edgeSnrDb, "a call's start and end stay this far above the noise ..."),
            number("edge-drop", "DB", 1, 100, d.edgeDropDb, "... and this close to its peak"),
            number("min-duration", "MS", 0, 10000, d.minDurationMs, "shorter calls are dropped"),
            number("min-interval", "MS", 0.01, 1000, d.minIntervalMs, "gaps at least this long separate two calls"),
            number("echo-window", "MS", 0, 1000, d.echoWindowMs, "a weaker copy of a call starting up to this long after the call's start is its echo"),
            number("max-roughness", "B", 0, 1000, d.maxRoughnessBins,
                   "a contour whose median second difference exceeds B frequency bins is noise, not a call"),
            channelOption("mix|left|right", "mix: both", "channel of a stereo recording"),
            number("smooth", "PCT", 0.1, 100, zcfile::ZcCallSettings{}.smoothPct,
                   "zero-crossing files: a call's dots change by at most this much from one to the next"),
            timeExpansionOption(),
            jobsOption(),
        },
        "Exit status 1 when a file cannot be read or a folder holds no recordings,\n"
        "2 for wrong options.\n"};
}

struct FileResult {
    bool failed = false;
    std::vector<CallMeasures> calls;
};

}  // namespace

OptionSpec callBandOption(const char* help)
{
    const CallDetectorSettings d;
    OptionSpec band;
    band.name = "band";
    band.kind = OptionKind::Text;
    band.valueName = "LO,HI";
    band.defaultText = keepText(vkit::formatC("%.0f,%.0f", d.bandLowHz / 1000, d.bandHighHz / 1000));
    band.help = help;
    band.check = [](const std::string& text) {
        double lo = 0, hi = 0;
        return parseCallBand(text, lo, hi);
    };
    band.expects = "LO,HI in kHz with LO below HI, such as 15,120";
    band.sample = "15,120";
    return band;
}

const CommandSpec& cmdCallsSpec()
{
    static const CommandSpec spec = makeSpec();
    return spec;
}

int cmdCalls(const CliArgs& args)
{
    const CommandSpec& spec = cmdCallsSpec();
    ParsedArgs parsed;
    if (!parseOrComplain(spec, args, parsed))
        return 2;
    CallDetectorSettings settings;
    zcfile::ZcCallSettings zcSettings;
    std::optional<std::int32_t> timeExp25;
    int jobs = 1;
    bool csv = false, raven = false, recursive = false;
    for (const OptionValue& o : parsed.options) {
        if (o.is("csv"))
            csv = true;
        else if (o.is("raven"))
            raven = true;
        else if (o.is("recursive"))
            recursive = true;
        else if (o.is("band"))
            parseCallBand(o.text, settings.bandLowHz, settings.bandHighHz);
        else if (o.is("snr"))
            settings.snrDb = o.number;
        else if (o.is("edge-snr"))
            settings.edgeSnrDb = o.number;
        else if (o.is("edge-drop"))
            settings.edgeDropDb = o.number;
        else if (o.is("min-duration"))
            settings.minDurationMs = o.number;
        else if (o.is("min-interval"))
            settings.minIntervalMs = o.number;
        else if (o.is("echo-window"))
            settings.echoWindowMs = o.number;
        else if (o.is("smooth"))
            zcSettings.smoothPct = o.number;
        else if (o.is("max-roughness"))
            settings.maxRoughnessBins = o.number;
        else if (o.is("channel"))
            settings.channel = channelValue(o) == Channel::Left    ? CallChannel::Left
                               : channelValue(o) == Channel::Right ? CallChannel::Right
                                                                   : CallChannel::Mix;
        else if (o.is("time-expansion"))
            timeExp25 = timeExpansionValue(o);
        else if (o.is("jobs"))
            jobs = static_cast<int>(o.integer());
    }
    if (parsed.operands.empty())
        return usageError(spec, "give one or more recordings or folders (see --help)");
    if (csv && raven)
        return usageError(spec, "choose --csv or --raven, not both");
    const RecordingInputs inputs = expandRecordingInputs(spec.name, parsed.operands, recursive, true);
    zcSettings.bandLowHz = settings.bandLowHz;
    zcSettings.bandHighHz = settings.bandHighHz;
    zcSettings.minDurationMs = settings.minDurationMs;
    zcSettings.minIntervalMs = settings.minIntervalMs;
    const std::vector<std::string>& files = inputs.files;
    if (files.empty())
        return 1;  // said why
    const bool showProgress = inputs.anyFolder && ::isatty(2) && files.size() > 1;

    if (csv)
        std::fputs(callCsvHeader().c_str(), stdout);
    AnnotationTable table = emptyCallTable();
    bool failed = !inputs.ok;
    std::size_t totalCalls = 0;
    parallelForInOrder<FileResult>(
        files.size(), jobs,
        [&](std::size_t index) {
            FileResult r;
            if (zcfile::isZcPath(files[index])) {
                zcfile::ZcFile zc;
                if (!readZcOrComplain(spec.name, files[index], zc))
                    r.failed = true;
                else
                    r.calls = zcfile::findCalls(zc.dots(), zcSettings);
                return r;
            }
            CliDocHost host(files[index]);
            CVesSoundDoc doc(host, userDefaults());
            if (!doc.open(files[index])) {
                r.failed = true;
                return r;
            }
            if (timeExp25)
                doc.recData().m_timeExp25 = *timeExp25;
            CallCollector collector;
            detectCalls(doc, 0, -1, settings, collector);
            r.calls = std::move(collector.calls);
            return r;
        },
        [&](std::size_t i, FileResult&& r) {
            failed = failed || r.failed;
            totalCalls += r.calls.size();
            if (showProgress)
                std::fprintf(stderr, "\rcalls: %zu of %zu files, %zu calls", i + 1, files.size(), totalCalls);
            if (r.failed)
                return;
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
        });
    if (showProgress)
        std::fprintf(stderr, "\n");
    if (raven)
        std::fputs(writeSelectionTable(table).c_str(), stdout);
    return failed ? 1 : 0;
}
