// The pulse interval and pulse length histograms: the pulses of one channel
// of a stretch of the recording are found by an amplitude threshold in the
// time domain, and either the intervals between the starts of successive
// pulses or the pulse lengths are counted into bars.
//
// RateHistogram holds what the histogram window's plot shows: the counters,
// the bar edges, the scales and the threshold. prepare() derives the layout
// from the window's settings record (called after every change of settings,
// range, channel or level); calculate() runs the passes over the samples
// and, with automatic settings, writes the derived start, end, bar count and
// threshold back into the record. Both run on the caller's thread; the
// samples are read straight from the store, one channel, a piece at a time.
#pragma once

#include "pulse/PulseCommon.h"
#include "records/VesSettings.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <optional>
#include <string>

class CVesSoundDoc;

class RateHistogram {
public:
    static constexpr int kMaxBars = 1024;
    // Notifications of the histogram window to its view (window messages).
    static constexpr int kMsgRateWindowClosed = 1044;
    static constexpr int kMsgPrintRateWindow = 1045;
    static constexpr int kMsgRateLevelTarget = 1047;

    // ---- results of the last calculation ----
    // Counter 0 counts values at or below the histogram start (never shown
    // or exported), counters 1..N the bars.
    std::array<std::int32_t, kMaxBars + 1> counts{};
    // Edge k = the histogram start plus k bar widths, in frames.
    std::array<std::int64_t, kMaxBars + 1> edges{};
    int firstBar = 1;
    int lastBar = 0;                  // N
    std::int32_t highestCount = 1;
    std::int32_t lowestCount = 0;
    std::int64_t total = 0;           // bars 1..N
    // Real time, microseconds.
    std::int64_t barWidthUs = 1;
    std::int64_t startUs = 0;
    std::int64_t endUs = 0;
    std::int64_t axisRangeUs = 1;     // time-axis tick step
    std::int64_t countTickStep = 0;   // count-axis tick step; 0 or less: calculation pending
    std::int64_t delayFrames = 0;
    std::int64_t threshold = -1;      // 16-bit amplitude units; negative: not yet computed
    int bitsPerSample = 16;
    ChannelIndex channel = ChannelIndex::Left;
    bool stereo = false;
    int bytesPerFrame = 2;
    bool intervalMode = true;
    // The analysed frames [first, last).
    std::int64_t firstFrame = 0;
    std::int64_t lastFrame = 0;
    // True when the last calculation computed the threshold from the data
    // (a level-cursor view then shows the new level).
    bool thresholdFromData = false;

    // Layout derivation. `last` before `first` (also −1, none) analyses the
    // single frame at `first`. Corrects the record's bar count as the layout
    // does (a width below 1 µs, more than 1024 bars).
    void prepare(VesRateParms& parms, const CVesSoundDoc& doc, std::int64_t first, std::int64_t last);
    bool pending() const { return countTickStep <= 0; }

    // The calculation. With automatic settings the record's HistStart,
    // HistEnd (ms), BarAnt and Threshold are overwritten with what was
    // derived. False (and the results cleared) when `stop` was set.
    bool calculate(CVesSoundDoc& doc, VesRateParms& parms, const std::atomic<bool>* stop = nullptr);

    // The table of "Copy Ascii": "From (ms)\tTo (ms)\t# observations\r\n",
    // then per bar 1..N the lower edge, upper edge and count, tab-separated.
    // Edges run from the histogram start in steps of the bar width; they are
    // whole milliseconds ("%lld") when start and width are, else
    // milliseconds with three decimals.
    std::string asciiTable() const;

    // "Pulse Interval Analysis" or "Pulse Length Analysis", followed for a
    // stereo recording by " - Left channel." or " - Right channel.".
    std::string title() const;
    // The end of the foot text: ", %d " with the total and "pulses." or
    // "pulse intervals.".
    std::string countText() const;

private:
    // One pass of the detection over the analysed frames. Averaging: returns
    // the mean value in frames (1 when none). Counting: fills the counters.
    enum class Pass { Average, Count };
    std::int64_t detect(AmplitudeReader& reader, Pass pass, int bars, const std::atomic<bool>* stop, bool& stopped);
    void computeEdges(const CVesSoundDoc& doc);
    void clearCounts();
};

// ---- settings dialog "Pulse Interval / Pulse Length Analysis Settings" ----

// The threshold as the dialog shows it: Threshold·100/32768 rounded.
int rateThresholdToPercent(std::int32_t threshold);
// And back: percent·32768/100 rounded.
std::int32_t RatePercentToThreshold(int percent);
// The level cursor's level (hundredths of a percent of full scale) as a
// threshold: |level·32768 / 10000|.
std::int32_t RateLevelToThreshold(std::int64_t level);
// The threshold as the level cursor shows it: Threshold·10000/32768.
std::int64_t RateThresholdToLevel(std::int32_t threshold);
// The checks of OK after the range checks of the fields: the message that
// keeps the dialog open, or nothing.
std::optional<std::string> validateRateSettings(std::int32_t histStartMs, std::int32_t histEndMs, std::int32_t bars);
