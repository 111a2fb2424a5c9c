// Trigger and recording options shared by vesperon-cli record and
// trigger-split, and a host that reports a run on the terminal.
#pragma once

#include "CliOptions.h"

#include "autorec/AutoRecTypes.h"

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

struct RecordOptions {
    VesAutoRecParms parms;
    std::string output;       // folder
    std::string prefix;       // beginning of the names ("" = per command default)
    autorec::FileNaming naming = autorec::FileNaming::Sequence;
    double timeExpansion = 1;
    bool verbose = false;
};

// Sets the defaults of a command-line run (level trigger at -20 dB, 10 ms
// before, 100 ms after, numbered files, no marks).
void initRecordOptions(RecordOptions& o);
// The trigger and file options the two commands share, as table entries.
std::vector<OptionSpec> recordOptionSpecs();
// Applies one of them; false when `v` is not one of them.
bool applyRecordOption(const OptionValue& v, RecordOptions& o);
// --duration TIME of a recording run.
OptionSpec durationOption();
// A time "8h", "30m", "90s", "250ms" or plain seconds, as milliseconds; -1 when invalid.
std::int64_t parseDurationMs(const std::string& text);

// Prints one line per file written ("PATH<TAB>FRAMES<TAB>SECONDS<TAB>START"
// with START the real time in seconds of its first frame in the stream), log
// lines with --verbose, errors on standard error.
class CliRecordHost : public autorec::IAutoRecHost {
public:
    CliRecordHost(bool verbose, std::uint32_t rate, std::int32_t timeExp25 = 1000)
        : m_verbose(verbose), m_rate(rate), m_timeExp25(timeExp25 > 0 ? timeExp25 : 1000)
    {
    }
    void recLog(const std::string& text) override;
    void recFileSpan(const std::string& path, std::int64_t streamFrame, std::int64_t frames) override;
    void recFileWritten(const std::string& path, std::int64_t frames, std::int64_t number) override;
    void recError(const std::string& text, bool endsRun) override;
    void recEnded() override { m_ended = true; }
    bool ended() const { return m_ended; }
    bool failed() const { return m_failed; }
    std::int64_t files() const { return m_files; }
    void setRate(std::uint32_t rate) { m_rate = rate; }

private:
    std::mutex m_mx;
    bool m_verbose;
    std::uint32_t m_rate;
    std::int32_t m_timeExp25;
    std::int64_t m_spanStart = 0;
    std::atomic<bool> m_ended{false};
    std::atomic<bool> m_failed{false};
    std::atomic<std::int64_t> m_files{0};
};
