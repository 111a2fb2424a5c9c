// Pulse characteristics: the pulses of one channel of a stretch of the
// recording are found by an amplitude threshold in the time domain, and each
// one is measured: start, end and duration, and, from a short spectrogram of
// the pulse (PulsFftCls), the frequency and level of its strongest component
// and the highest and lowest frequency of its contour.
//
// analysePulses does the work on the calling thread and hands each measured
// pulse to a sink as a PulseResult, together with the marks it asks for as
// plain data; whoever owns the document's marks places them afterwards
// (placePulseMarks) on its own thread. A run depends only on the document's
// samples, its format and time expansion, and the request: the same stretch
// gives the same rows however many runs go on side by side.
#pragma once

#include "document/ChannelSelection.h"
#include "records/VesSettings.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

class CVesSoundDoc;

// Notifications of the pulse characteristics dialog, its worker and its
// result windows (window messages).
namespace pulsemsg {
constexpr int kDialogClosing = 1134;
constexpr int kLevelTarget = 1137;
constexpr int kWorkerDone = 1138;
constexpr int kRow = 1145;
constexpr int kStatus = 1146;
constexpr int kResultWindowGone = 1147;
}  // namespace pulsemsg

// A mark a measured pulse asks for.
struct PulseMarkRequest {
    enum Which { Strongest = 0, High = 1, Low = 2, Start = 3, End = 4 };
    Which which = Start;
    std::int64_t frame = 0;
    int kind = 1;              // 1 time mark, 2 time–frequency mark
    double frequencyHz = 0;    // kind 2
    ChannelSel channel = ChannelSel::Left;  // the channel of the analysis (left for mono)
    std::string label;         // "#%d start", "#%d end", "#%d max ampl.", "#%d high", "#%d low"
};

// One measured pulse. Times are real-time microseconds from the start of the
// recording; frequencies Hz; the level dB relative to full scale.
struct PulseResult {
    int pulse = 0;                 // counted from 1 in each run
    double startUs = 0;
    double endUs = 0;
    double durationUs = 0;
    std::int64_t startFrame = 0;
    std::int64_t lengthFrames = 0;
    bool spectrumMeasured = false; // the spectrogram measurement ran
    bool strongestFound = false;
    double strongestDb = 0;
    double strongestHz = 0;
    std::int64_t strongestTimeUs = 0;
    bool contourFound = false;
    double highestHz = 0;
    std::int64_t highestTimeUs = 0;
    double lowestHz = 0;
    std::int64_t lowestTimeUs = 0;
    // Mark numbers of the placed marks (strongest point, high, low, start,
    // end); −1 when no mark was made.
    std::array<int, 5> markIds{-1, -1, -1, -1, -1};
    std::vector<PulseMarkRequest> marks;
};

// What a run is given. The settings record carries the FFT size, overlap
// (frames) and window of the spectrogram; the stretch is [first, last).
struct PulseRequest {
    std::int64_t first = 0;   // below 0: 0
    std::int64_t last = -1;   // below 0: the end of the recording
    VesPulsParms parms;
    // Measure the spectrogram of every pulse whatever the column and mark
    // settings say (tables that fill every column).
    bool alwaysMeasureSpectrum = false;
};

// Where a run delivers. Called on the thread that runs the analysis.
class IPulseSink {
public:
    virtual ~IPulseSink() = default;
    // The status line: "Calculation started.", "Calculation completed.".
    virtual void pulseStatus(const std::string& /*text*/) {}
    virtual void pulseRow(PulseResult result) = 0;
    // Progress over the scanned frames; false asks the run to stop.
    virtual bool pulseProgress(std::int64_t /*done*/, std::int64_t /*total*/) { return true; }
};

// Keeps every row.
class PulseCollector : public IPulseSink {
public:
    std::vector<PulseResult> rows;
    std::vector<std::string> statuses;
    void pulseStatus(const std::string& text) override { statuses.push_back(text); }
    void pulseRow(PulseResult result) override { rows.push_back(std::move(result)); }
};

// The derived values of a run, for display and tests.
struct PulseScanSetup {
    std::int64_t first = 0, last = 0;   // frames, first <= last
    ChannelIndex channel = ChannelIndex::Left;
    std::int64_t threshold = 0;         // on the sample's own scale
    std::int64_t separationFrames = 0;  // S
    int fftSize = 0, hop = 1, window = 0;
};
PulseScanSetup makePulseScanSetup(const CVesSoundDoc& doc, const PulseRequest& request);

// Runs the analysis. Returns false when `abort` was set (or the sink asked to
// stop) before the end; rows already delivered stay delivered.
bool analysePulses(CVesSoundDoc& doc, const PulseRequest& request, IPulseSink& sink,
                   const std::atomic<bool>* abort = nullptr);

// Places the marks a result asks for in the document (on the thread that
// owns the document's marks) and records their mark numbers in the result.
void placePulseMarks(CVesSoundDoc& doc, PulseResult& result);
// "Clear Marks": removes the marks with these numbers from the document.
// Returns how many were removed.
int removePulseMarks(CVesSoundDoc& doc, const std::vector<int>& markIds);
