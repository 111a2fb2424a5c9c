// The column engine of the analysis plot: for a range of device pixel
// columns of one channel it computes, column by column, the oscillogram
// stroke, the zero-crossing frequency and the spectrogram runs, straight from
// the document's mapped sample data. Nothing is cached between calls: a
// repaint of part of the plot restarts the frame sequence at its first column.
//
// A painter consumes it like this:
//
//   PlotLayout layout = PrepareLayout(parms, SoundInfo::of(doc), device);
//   ColumnEngine engine(layout);            // buffers sized once per layout
//   struct Painter : IColumnSink {
//       void column(const PlotColumn& c) override {
//           // oscillogram: c.oscMinY .. c.oscMaxY at c.x (or the flat segment)
//           // spectrogram: for each run, a vertical line at c.x from
//           //   run.yLow to run.yHigh in palette entry / user pen run.pen
//           // zero crossings: a stroke at (c.x, c.zeroCrossY)
//       }
//   } painter;
//   engine.compute(doc, channelIndex, firstColumn, endColumn, painter);
//
// All y values already include the channel's offset.
#pragma once

#include "display/PlotLayout.h"
#include "core/AlignedAllocator.h"
#include "document/SampleCodec.h"

#include <cstdint>
#include <vector>

class CVesSoundDoc;

// ---------------------------------------------------------------------------
// Sample values
//
// The analysis display reads samples through a SampleReader
// (document/SampleCodec.h) as doubles in 16-bit units (SampleScale::Units16),
// so that every width's full scale 2^(bits-1) becomes 32768. In particular a
// 32-bit integer sample has full scale 2^31; the spectrogram, the power
// spectrum, the oscillogram and the zero-crossing threshold all use this one
// convention.

// ---------------------------------------------------------------------------
// Zero crossings

// The zero-crossing count of one analysis window. Samples are fed in order;
// a crossing is a swing from beyond +theta to below -theta or back, counted
// from the first swing out of the band +-theta (which only arms the count).
class ZeroCrossCounter {
public:
    ZeroCrossCounter(double theta, std::int64_t windowStart) : m_theta(theta), m_index(windowStart) {}
    void feed(const double* w, std::int64_t n);
    // R x k / (end - f) / 2 in Hz (integer arithmetic) with k crossings and f
    // the index after the first crossing sample; -1 without a value.
    std::int64_t frequency(std::int64_t rateHz, std::int64_t windowEnd) const;
    std::int64_t crossings() const { return m_count; }

private:
    double m_theta;
    double m_arm = 0;
    std::int64_t m_count = 0;
    std::int64_t m_first = -1;
    std::int64_t m_index;
};

// ---------------------------------------------------------------------------
// Columns

// One run of bins with the same pen: a vertical line at the column's x from
// the lower edge of its first bin's band to the upper edge of its last.
struct SpectRun {
    int pen = 0;  // palette index 0..63, or the user pen index with a user map
    std::int64_t yLow = 0;
    std::int64_t yHigh = 0;
};

struct PlotColumn {
    int column = 0;                 // device pixel column from the plot's left edge
    std::int64_t x = 0;             // its logical x, twips
    std::int64_t firstSample = 0;   // its first sample

    // Oscillogram: minimum and maximum of the column's samples (16-bit units)
    // and their y. When they lie less than a pixel apart the stroke is a
    // horizontal segment one pixel plus one twip long at oscMaxY; otherwise a
    // vertical line. With AmpCont, a line from (prevX, prevMaxY) to
    // (x, oscMinY) comes first when joinFromPrevious is set.
    bool hasOsc = false;
    double oscMin = 0, oscMax = 0;
    std::int64_t oscMinY = 0, oscMaxY = 0;
    bool oscFlat = false;
    bool joinFromPrevious = false;
    std::int64_t prevX = 0, prevMaxY = 0;

    // Zero crossings: the frequency (placed on the pane's edge when outside
    // SpectMin .. SpectMax), or hasZeroCross false when the column has none.
    bool hasZeroCross = false;
    std::int64_t zeroCrossHz = 0;
    std::int64_t zeroCrossY = 0;

    // Spectrogram: the runs of this column (valid during the call only).
    bool hasSpect = false;
    int frames = 0;            // frames averaged
    bool repeated = false;     // no frame started in the column: the previous column's levels again
    std::int64_t firstFrameStart = 0, lastFrameStart = 0;  // frames taken for this column
    const SpectRun* runs = nullptr;
    int runCount = 0;
};

class IColumnSink {
public:
    virtual ~IColumnSink() = default;
    virtual void column(const PlotColumn& column) = 0;
};

class ColumnEngine {
public:
    // The layout must outlive the engine.
    explicit ColumnEngine(const PlotLayout& layout);

    // Computes columns [firstColumn, endColumn) of layout.channels[channelIndex]
    // and hands each to the sink, left to right; stops at the first column
    // that starts at or beyond the drawable end: the end of the data, or
    // drawableEnd when that is smaller and not -1 (live mode passes the
    // document's length minus one FFT size). False when the sample data could
    // not be mapped (the samples concerned count as 0).
    bool compute(CVesSoundDoc& doc, std::size_t channelIndex, int firstColumn, int endColumn, IColumnSink& sink,
                 std::int64_t drawableEnd = -1);

    // The averaged power of bin k (0 <= k < N/2) in the last column computed.
    double binPower(int k) const;
    // FFTs computed by the last compute().
    std::int64_t framesComputed() const { return m_framesComputed; }

private:
    // The frame at `start` into the accumulator; the fetchCount samples from
    // fetchFirst, which frames to come will need, are fetched meanwhile.
    void takeFrame(SampleReader& reader, std::int64_t start, std::int64_t fetchFirst, std::int64_t fetchCount);
    void clearAccumulator();
    void makeRuns(const ChannelPanes& ch, PlotColumn& out);
    void oscillogram(SampleReader& reader, const ChannelPanes& ch, std::int64_t c0, PlotColumn& out);
    void zeroCrossings(SampleReader& reader, const ChannelPanes& ch, std::int64_t c0, std::int64_t c1,
                       PlotColumn& out);

    const PlotLayout& m_layout;
    vkit::AlignedVector<double> m_frame;
    std::vector<double> m_pcmWindow;  // the window laid out for frames read as stored
    double m_powerFactor = 1.0;       // takes a sum of |2 X_k|^2 to a bin's power
    vkit::AlignedVector<double> m_acc;
    vkit::AlignedVector<double> m_level;  // the averaged column levels
    std::vector<double> m_chunk;
    std::vector<SpectRun> m_runs;
    std::vector<std::uint64_t> m_above;  // bins above the threshold, a bit each
    int m_count = 0;
    std::int64_t m_firstFrame = 0, m_lastFrame = 0;
    std::int64_t m_framesComputed = 0;
};
