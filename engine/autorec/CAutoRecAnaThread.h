// The analysis side of automatic recording. AutoRecAnalyzer is the trigger
// and writer itself, driven synchronously (a run's analysis thread, the
// command line's trigger-split); CAutoRecAnaThread runs one on a thread of
// its own fed by a bounded queue of buffers and commands.
//
// The analyzer keeps a ring of the recent sound indexed by stream position
// (bytes received since listening began, 64-bit), decides per frame (level
// trigger) or per spectrum column (spectrum trigger) whether sound triggers,
// and retains each pulse with the time before and after it: appended to the
// store, or written as one file per recording.
#pragma once

#include "core/BackgroundJob.h"
#include "autorec/AutoRecTypes.h"
#include "autorec/RecordingFileWriter.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace autorec {

class AutoRecAnalyzer {
public:
    AutoRecAnalyzer(const AutoRecConfig& config, IAutoRecHost& host, std::atomic<int>& pendingDisplays);
    ~AutoRecAnalyzer();
    AutoRecAnalyzer(const AutoRecAnalyzer&) = delete;
    AutoRecAnalyzer& operator=(const AutoRecAnalyzer&) = delete;

    // Derived values and the ring; false with a message when they cannot be made.
    bool init(std::string& error);
    void start();
    void data(const std::uint8_t* bytes, std::int64_t n);
    void stop();
    // Stop, then analyse nothing more; an open file is completed.
    void end();
    void clearFile();
    void newFile(const std::string& name);
    void setGraphics(bool on);
    // Updates the shared figures (lost buffers and overruns come from the input side).
    void fillStatus(AutoRecStatus& s) const;

    bool ending() const { return m_ending; }
    bool started() const { return m_started; }

    // Derived values (bytes), for tests.
    std::int64_t beforeBytes() const { return m_before; }
    std::int64_t afterBytes() const { return m_after; }
    std::int64_t minimumBytes() const { return m_minimum; }
    std::int64_t maximumBytes() const { return m_maximum; }
    std::int64_t ringBytes() const { return m_ringSize; }
    std::int64_t levelThresholdValue() const { return m_levelThreshold; }
    double spectrumThreshold() const { return m_specThreshold; }
    int bottomBin() const { return m_binLo; }
    int topBin() const { return m_binHi; }
    std::int64_t hopFrames() const { return m_hopFrames; }

private:
    void analyseLevel(std::int64_t from, std::int64_t to);
    void analyseSpectrum();
    std::int64_t nextTrigger(std::int64_t from, std::int64_t to) const;
    bool frameTriggers(std::int64_t p) const;
    bool columnTriggers(std::int64_t end);
    void step(std::int64_t p, bool trig, std::int64_t stepBytes);
    void progressive(std::int64_t unit);
    void write(std::int64_t s, std::int64_t e);
    void beginRecording(std::int64_t s);
    void finishRecording();
    bool closeFile();
    void stopWithMessage(const std::string& text);
    void fail(const std::string& text);
    void checkDisk();
    void postRedraw();
    std::string lastRecordingLine() const;
    std::string baseName(const std::string& path) const;
    std::int64_t unixMicrosAt(std::int64_t streamPos) const;
    bool perFile() const { return isPerFile(m_naming); }
    void readRing(std::int64_t pos, std::int64_t n, std::uint8_t* out) const;

    AutoRecConfig m_cfg;
    IAutoRecHost& m_host;
    std::atomic<int>& m_pending;
    FileNaming m_naming = FileNaming::SingleFile;
    TriggerType m_trigger = TriggerType::Level;
    int m_align = 1;
    int m_sampleBytes = 2;
    int m_channels = 1;
    std::int64_t m_bytesPerSecond = 0;
    std::int64_t m_before = 0, m_after = 0, m_minimum = 0, m_maximum = 0;
    std::int64_t m_levelThreshold = 0;
    double m_specThreshold = 0;
    int m_fftOrder = 8, m_fftSize = 256;
    std::int64_t m_hopFrames = 256;
    int m_binLo = 1, m_binHi = 128;
    std::vector<double> m_window, m_fft;
    double m_powerNorm = 1;
    std::int64_t m_nextColumn = 0;

    std::vector<std::uint8_t> m_ring;
    std::int64_t m_ringSize = 0;
    std::vector<std::uint8_t> m_scratch;

    std::int64_t m_total = 0;          // stream bytes received
    std::int64_t m_writtenUpTo = 0;    // stream position written
    std::int64_t m_writePos = 0;       // bytes in the store or the current file
    bool m_inPulse = false;
    std::int64_t m_pulseStart = 0, m_lastTrig = 0, m_silence = 0, m_length = 0;
    bool m_recording = false;
    std::int64_t m_recStart = -1;
    std::int64_t m_count = 0;
    std::int64_t m_seq = 1;
    std::string m_fileName;
    RecordingFileWriter m_writer;
    std::int64_t m_filesWritten = 0;
    std::string m_lastFile;
    std::int64_t m_recordedBytes = 0;
    std::int64_t m_storeSize0 = 0;
    bool m_graphics = true;
    bool m_started = false;
    bool m_ending = false;
    bool m_stopAnalysing = false;
    bool m_storeFailed = false;
    bool m_everListened = false;
    std::int64_t m_listenUnixMicros = 0;
    std::int64_t m_nextDiskCheck = 0;
    std::int64_t m_freeDisk = -1;
    std::int64_t m_diskReserve = 0;
    StateCode m_state = StateCode::Listening;
    std::int64_t m_fileStartMicros = -1;
    std::int64_t m_fileStreamStart = -1;
};

// The analysis thread: commands and buffers in one queue, handled in order.
class CAutoRecAnaThread {
public:
    CAutoRecAnaThread(const AutoRecConfig& config, IAutoRecHost& host);
    ~CAutoRecAnaThread();

    bool init(std::string& error);
    // False when the system could not make the thread.
    bool startThread();
    // Queues a buffer. While the queue is full waits up to `waitMs` for room
    // (-1: as long as it takes); then drops the buffer and counts it lost
    // (returns false).
    bool postData(std::vector<std::uint8_t>&& buffer, int waitMs);
    void postStart();
    void postStop();
    void postEnd();
    void postClear();
    void postNewFile(const std::string& name);
    void postGraphics(bool on);
    void join();
    bool finished() const { return m_finished; }
    bool endRequested() const { return m_endRequested; }
    void displayDone();
    void status(AutoRecStatus& s) const;
    void setInputFigures(std::int64_t received, std::int64_t overruns);
    // Set by the analyzer's host wrapper when the run ended by itself.
    std::atomic<bool>& selfEnded() { return m_selfEnded; }

private:
    enum class Cmd { Data, Start, Stop, End, Clear, NewFile, Graphics };
    struct Item {
        Cmd cmd;
        std::vector<std::uint8_t> bytes;
        std::string text;
        bool flag = false;
    };
    void post(Item&& item);
    void run();

    IAutoRecHost& m_host;
    std::atomic<bool> m_selfEnded{false};
    std::unique_ptr<IAutoRecHost> m_watch;
    std::atomic<int> m_pending{0};
    std::unique_ptr<AutoRecAnalyzer> m_an;
    std::size_t m_queueLimit;
    mutable std::mutex m_mx;
    std::condition_variable m_cv, m_room;
    std::deque<Item> m_queue;
    std::size_t m_dataQueued = 0;
    vkit::BackgroundJob m_job;  // ends by its own protocol (postEnd / requestEnd)
    std::atomic<bool> m_finished{false};
    std::atomic<bool> m_endRequested{false};
    std::atomic<std::int64_t> m_lost{0};
    std::atomic<std::int64_t> m_received{0};
    std::atomic<std::int64_t> m_overruns{0};
    mutable std::mutex m_statusMx;
    AutoRecStatus m_status;
};

}  // namespace autorec
