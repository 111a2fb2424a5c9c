#include "RecordOptions.h"

#include "CliSupport.h"
#include "autorec/AutoRecTexts.h"
#include "core/NumberText.h"

#include <cmath>
#include <cstdio>

void initRecordOptions(RecordOptions& o)
{
    o.parms = VesAutoRecParms();
    o.parms.m_trigger = autorec::TriggerType::Level;
    o.parms.m_ampThresDb = -2000;
    o.parms.m_ampThresProc = autorec::thresholdDbToPercent(-2000);
    o.parms.m_frecThres = -3000;
    o.parms.m_recTimeBefore = 10;
    o.parms.m_recTimeAfter = 100;
    o.parms.m_fileMarks = autorec::MarkType::None;
    o.parms.m_fileSwitch = autorec::FileNaming::Sequence;
    o.parms.m_graphics = false;
    o.naming = autorec::FileNaming::Sequence;
}

std::int64_t parseDurationMs(const std::string& text)
{
    struct Unit {
        const char* suffix;
        double ms;
    } units[] = {{"ms", 1}, {"h", 3600000}, {"m", 60000}, {"s", 1000}};
    for (const Unit& u : units) {
        const std::string suf = u.suffix;
        if (text.size() > suf.size() && text.compare(text.size() - suf.size(), suf.size(), suf) == 0) {
            const auto v = parseNumber(text.substr(0, text.size() - suf.size()));
            return v && *v >= 0 ? static_cast<std::int64_t>(std::llround(*v * u.ms)) : -1;
        }
    }
    const auto v = parseNumber(text);
    return v && *v >= 0 ? static_cast<std::int64_t>(std::llround(*v * 1000)) : -1;
}

namespace {

OptionSpec integer(const char* name, const char* valueName, double min, double max, const char* defaultText,
                   const char* help, const char* group)
{
    return rangeOption(name, OptionKind::Integer, valueName, min, max, defaultText, help, group);
}

OptionSpec level(const char* name, const char* defaultText, const char* help)
{
    return rangeOption(name, OptionKind::Number, "DB", -100, 0, defaultText, help, "Trigger");
}

bool durationIsValid(const std::string& text)
{
    return parseDurationMs(text) > 0;
}

}  // namespace

std::vector<OptionSpec> recordOptionSpecs()
{
    const char* trigger = "Trigger";
    const char* files = "Files";
    OptionSpec window = windowOption("hanning", "window of the trigger's spectrum");
    window.group = trigger;
    OptionSpec te = timeExpansionOption("the sound is time-expanded by X (times and frequencies above are real ones)");
    te.group = files;
    return {
        {.name = "trigger", .kind = OptionKind::Choice, .defaultText = "level", .choices = "level|spectrum|none",
         .help = "oscillogram level, power spectrum level, or none: keep everything", .group = trigger},
        level("threshold", "-20", "oscillogram threshold in dB of full scale"),
        {.name = "threshold-percent", .kind = OptionKind::Number, .valueName = "P", .min = 0, .max = 99.99,
         .help = "the same in percent", .group = trigger},
        {.name = "trigger-channel", .kind = OptionKind::Choice, .defaultText = "both", .choices = "both|left|right",
         .help = "channels that trigger", .group = trigger},
        level("spectrum-threshold", "-30", "power spectrum threshold"),
        integer("min-freq", "HZ", 0, 100000000, "all", "lower edge of the trigger band in real Hz", trigger),
        integer("max-freq", "HZ", 0, 100000000, "all", "upper edge of the trigger band in real Hz", trigger),
        integer("fft", "N", 16, 2048, "256", "FFT size of the trigger's spectrum", trigger),
        integer("overlap", "PERCENT", 0, 100, "0", "overlap of the trigger's spectrum", trigger),
        window,
        integer("pre", "MS", 0, 10000, "10", "time kept before a pulse", trigger),
        integer("post", "MS", 0, 10000, "100", "time kept after a pulse; silence shorter than this continues a recording",
                trigger),
        integer("min-duration", "MS", 0, 2147483647, "0", "shortest pulse kept", trigger),
        integer("max-time", "MS", 0, 2400000, nullptr, "longest recording; a longer one goes on in the next file",
                trigger),
        integer("max-recordings", "N", 0, 2147483647, "0: no limit", "stop after N recordings", trigger),
        {.name = "output", .kind = OptionKind::Path, .valueName = "FOLDER", .help = "where the files go (required)",
         .group = files, .sample = "."},
        {.name = "prefix", .kind = OptionKind::Text, .valueName = "NAME", .help = "beginning of the file names",
         .group = files, .sample = "bat"},
        {.name = "naming", .kind = OptionKind::Choice, .defaultText = "numbered", .choices = "numbered|dated|timed",
         .help = "NAME#N, NAME_YYYYMMDD#NN or NAME_YYYYMMDD_hhmmss; an existing file is never overwritten: \"(2)\" "
                 "is added instead",
         .group = files},
        integer("start-number", "N", -2147483647, 2147483647, "1", "first sequence number", files),
        te,
        {.name = "verbose", .shortName = 'v', .help = "print the engine's log lines on standard error", .group = files},
    };
}

bool applyRecordOption(const OptionValue& v, RecordOptions& o)
{
    const auto i32 = [&] { return static_cast<std::int32_t>(v.integer()); };
    if (v.is("trigger"))
        o.parms.m_trigger = v.word == 0   ? autorec::TriggerType::Level
                             : v.word == 1 ? autorec::TriggerType::Spectrum
                                           : autorec::TriggerType::Continuous;
    else if (v.is("threshold")) {
        o.parms.m_ampThresDb = static_cast<std::int32_t>(std::lround(v.number * 100));
        o.parms.m_ampThresProc = autorec::thresholdDbToPercent(o.parms.m_ampThresDb);
    } else if (v.is("threshold-percent")) {
        o.parms.m_ampThresProc = static_cast<std::int32_t>(std::lround(v.number * 100));
        o.parms.m_ampThresDb = autorec::thresholdPercentToDb(o.parms.m_ampThresProc);
    } else if (v.is("spectrum-threshold"))
        o.parms.m_frecThres = static_cast<std::int32_t>(std::lround(v.number * 100));
    else if (v.is("min-freq"))
        o.parms.m_frecMin = i32();
    else if (v.is("max-freq"))
        o.parms.m_frecMax = i32();
    else if (v.is("fft"))
        o.parms.m_fftSize = i32();
    else if (v.is("overlap"))
        o.parms.m_fftMinOverLap = i32();
    else if (v.is("window"))
        o.parms.m_fftWindow = parseWindowName(v.text);
    else if (v.is("trigger-channel"))
        o.parms.m_trigChans = v.word == 0   ? autorec::TriggerChannels::Both
                               : v.word == 1 ? autorec::TriggerChannels::Left
                                             : autorec::TriggerChannels::Right;
    else if (v.is("pre"))
        o.parms.m_recTimeBefore = i32();
    else if (v.is("post"))
        o.parms.m_recTimeAfter = i32();
    else if (v.is("min-duration"))
        o.parms.m_ampMinDuration = i32();
    else if (v.is("max-time"))
        o.parms.m_recMaxTime = i32();
    else if (v.is("max-recordings"))
        o.parms.m_recMaxCnt = i32();
    else if (v.is("start-number"))
        o.parms.m_fileSeqStart = i32();
    else if (v.is("output"))
        o.output = v.text;
    else if (v.is("prefix"))
        o.prefix = v.text;
    else if (v.is("naming"))
        o.parms.m_fileSwitch = o.naming = v.word == 0   ? autorec::FileNaming::Sequence
                                          : v.word == 1 ? autorec::FileNaming::DateSequence
                                                        : autorec::FileNaming::DateTime;
    else if (v.is("time-expansion"))
        o.timeExpansion = v.number;
    else if (v.is("verbose"))
        o.verbose = true;
    else
        return false;
    return true;
}

OptionSpec durationOption()
{
    OptionSpec s;
    s.name = "duration";
    s.kind = OptionKind::Text;
    s.valueName = "TIME";
    s.help = "stop after this much sound: 8h, 30m, 90s, 500ms";
    s.check = durationIsValid;
    s.expects = "a time such as 8h, 30m or 90s";
    s.sample = "90s";
    s.group = "Device";
    return s;
}

void CliRecordHost::recLog(const std::string& text)
{
    if (!m_verbose)
        return;
    std::lock_guard<std::mutex> lock(m_mx);
    std::fprintf(stderr, "%s\n", text.c_str());
}

void CliRecordHost::recFileSpan(const std::string&, std::int64_t streamFrame, std::int64_t)
{
    std::lock_guard<std::mutex> lock(m_mx);
    m_spanStart = streamFrame;
}

void CliRecordHost::recFileWritten(const std::string& path, std::int64_t frames, std::int64_t)
{
    std::lock_guard<std::mutex> lock(m_mx);
    ++m_files;
    // Real seconds: the file's own seconds shortened by the time expansion.
    const double toReal = m_rate ? 1000.0 / m_timeExp25 / m_rate : 0.0;
    vkit::printfC("%s\t%lld\t%.6f\t%.6f\n", path.c_str(), static_cast<long long>(frames), frames * toReal,
                  m_spanStart * toReal);
    std::fflush(stdout);
}

void CliRecordHost::recError(const std::string& text, bool)
{
    std::lock_guard<std::mutex> lock(m_mx);
    m_failed = true;
    std::string t;  // CR LF to LF (copied, not replaced in place: GCC 12 warns falsely there)
    for (std::size_t i = 0; i < text.size(); ++i)
        if (!(text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n'))
            t += text[i];
    std::fprintf(stderr, "vesperon-cli: %s\n", t.c_str());
}
