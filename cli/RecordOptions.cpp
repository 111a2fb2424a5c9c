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

bool takeRecordOption(const std::vector<std::string>& args, std::size_t& i, RecordOptions& o, std::string& error)
{
    std::string v;
    auto intIn = [&](std::int64_t lo, std::int64_t hi, std::int32_t& out, const char* what) {
        const auto n = parseInt(v);
        if (!n || *n < lo || *n > hi)
            error = vkit::formatC("%s must be a whole number from %lld to %lld", what, static_cast<long long>(lo),
                                  static_cast<long long>(hi));
        else
            out = static_cast<std::int32_t>(*n);
    };
    auto dbIn = [&](std::int32_t& out, const char* what) {
        const auto d = parseNumber(v);
        if (!d || *d > 0 || *d < -100)
            error = std::string(what) + " must be a level in dB from -100 to 0";
        else
            out = static_cast<std::int32_t>(std::lround(*d * 100));
    };
    if (takeOption(args, i, "--trigger", v)) {
        if (v == "level")
            o.parms.m_trigger = autorec::TriggerType::Level;
        else if (v == "spectrum")
            o.parms.m_trigger = autorec::TriggerType::Spectrum;
        else if (v == "none")
            o.parms.m_trigger = autorec::TriggerType::Continuous;
        else
            error = "--trigger must be level, spectrum or none";
    } else if (takeOption(args, i, "--threshold", v)) {
        dbIn(o.parms.m_ampThresDb, "--threshold");
        o.parms.m_ampThresProc = autorec::thresholdDbToPercent(o.parms.m_ampThresDb);
    } else if (takeOption(args, i, "--threshold-percent", v)) {
        const auto d = parseNumber(v);
        if (!d || *d < 0 || *d > 99.99)
            error = "--threshold-percent must be from 0 to 99.99";
        else {
            o.parms.m_ampThresProc = static_cast<std::int32_t>(std::lround(*d * 100));
            o.parms.m_ampThresDb = autorec::thresholdPercentToDb(o.parms.m_ampThresProc);
        }
    } else if (takeOption(args, i, "--spectrum-threshold", v)) {
        dbIn(o.parms.m_frecThres, "--spectrum-threshold");
    } else if (takeOption(args, i, "--min-freq", v)) {
        intIn(0, 100000000, o.parms.m_frecMin, "--min-freq");
    } else if (takeOption(args, i, "--max-freq", v)) {
        intIn(0, 100000000, o.parms.m_frecMax, "--max-freq");
    } else if (takeOption(args, i, "--fft", v)) {
        intIn(16, 2048, o.parms.m_fftSize, "--fft");
    } else if (takeOption(args, i, "--overlap", v)) {
        intIn(0, 100, o.parms.m_fftMinOverLap, "--overlap");
    } else if (takeOption(args, i, "--window", v)) {
        const int w = parseWindowName(v);
        if (w < 0)
            error = "--window must be rectangular, hanning, parzen, hamming or cosine";
        else
            o.parms.m_fftWindow = w;
    } else if (takeOption(args, i, "--trigger-channel", v)) {
        if (v == "both")
            o.parms.m_trigChans = autorec::TriggerChannels::Both;
        else if (v == "left")
            o.parms.m_trigChans = autorec::TriggerChannels::Left;
        else if (v == "right")
            o.parms.m_trigChans = autorec::TriggerChannels::Right;
        else
            error = "--trigger-channel must be both, left or right";
    } else if (takeOption(args, i, "--pre", v)) {
        intIn(0, 10000, o.parms.m_recTimeBefore, "--pre");
    } else if (takeOption(args, i, "--post", v)) {
        intIn(0, 10000, o.parms.m_recTimeAfter, "--post");
    } else if (takeOption(args, i, "--min-duration", v)) {
        intIn(0, 2147483647, o.parms.m_ampMinDuration, "--min-duration");
    } else if (takeOption(args, i, "--max-time", v)) {
        intIn(0, 2400000, o.parms.m_recMaxTime, "--max-time");
    } else if (takeOption(args, i, "--max-recordings", v)) {
        intIn(0, 2147483647, o.parms.m_recMaxCnt, "--max-recordings");
    } else if (takeOption(args, i, "--start-number", v)) {
        intIn(-2147483647, 2147483647, o.parms.m_fileSeqStart, "--start-number");
    } else if (takeOption(args, i, "--output", v)) {
        o.output = v;
    } else if (takeOption(args, i, "--prefix", v)) {
        o.prefix = v;
    } else if (takeOption(args, i, "--naming", v)) {
        if (v == "numbered")
            o.naming = autorec::FileNaming::Sequence;
        else if (v == "dated")
            o.naming = autorec::FileNaming::DateSequence;
        else if (v == "timed")
            o.naming = autorec::FileNaming::DateTime;
        else
            error = "--naming must be numbered, dated or timed";
        o.parms.m_fileSwitch = o.naming;
    } else if (takeOption(args, i, "--time-expansion", v)) {
        const auto d = parseNumber(v);
        if (!d || *d < 0.001 || *d > 100)
            error = "--time-expansion must be from 0.001 to 100";
        else
            o.timeExpansion = *d;
    } else if (args[i] == "--verbose" || args[i] == "-v") {
        o.verbose = true;
        ++i;
    } else {
        return false;
    }
    return true;
}

const char* recordOptionsHelp()
{
    return "Trigger:\n"
           "  --trigger level|spectrum|none   oscillogram level (default), power spectrum\n"
           "                     level, or none: keep everything\n"
           "  --threshold DB     oscillogram threshold in dB of full scale (default -20)\n"
           "  --threshold-percent P   the same in percent (0..99.99)\n"
           "  --trigger-channel both|left|right   channels that trigger (default both)\n"
           "  --spectrum-threshold DB   power spectrum threshold (default -30)\n"
           "  --min-freq HZ, --max-freq HZ   trigger band in real Hz (default all)\n"
           "  --fft N, --overlap PERCENT, --window NAME   spectrum of the trigger\n"
           "                     (default 256, 0, hanning)\n"
           "  --pre MS, --post MS   time kept before and after a pulse (default 10, 100);\n"
           "                     silence shorter than --post continues a recording\n"
           "  --min-duration MS  shortest pulse kept (default 0)\n"
           "  --max-time MS      longest recording; a longer one goes on in the next file\n"
           "  --max-recordings N stop after N recordings (default 0: no limit)\n"
           "Files:\n"
           "  --output FOLDER    where the files go (required)\n"
           "  --prefix NAME      beginning of the file names\n"
           "  --naming numbered|dated|timed   NAME#N, NAME_YYYYMMDD#NN or\n"
           "                     NAME_YYYYMMDD_hhmmss (default numbered); an existing\n"
           "                     file is never overwritten: \"(2)\" is added instead\n"
           "  --start-number N   first sequence number (default 1)\n"
           "  --time-expansion X the sound is time-expanded by X (times and frequencies\n"
           "                     above are real ones)\n"
           "  --verbose          print the engine's log lines on standard error\n";
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
    std::string t = text;
    for (std::size_t p; (p = t.find("\r\n")) != std::string::npos;)
        t.replace(p, 2, "\n");
    std::fprintf(stderr, "vesperon-cli: %s\n", t.c_str());
}
