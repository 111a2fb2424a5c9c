// The short spectrogram of one pulse and the measurements taken from it: the
// strongest point, and the highest and lowest frequency of the pulse's
// contour traced from that point through the columns before and after it.
//
// It uses the spectrogram's FFT and window functions, but its columns are
// spread evenly over the analysed stretch (C = ceil(length / hop) columns)
// instead of being placed at steps of the hop, and each column is one frame
// (no averaging). Levels are in dB relative to full scale (0 dB = a
// full-scale sine). Columns are computed on demand and a limited number is
// kept, so a pulse of any length is measured in bounded memory.
#pragma once

#include "pulse/PulseCommon.h"

#include <cstdint>
#include <vector>

class CVesSoundDoc;

class PulsFftCls {
public:
    static constexpr int kMinFftSize = 16;
    static constexpr int kMaxFftSize = 65536;

    // `fftSize` is rounded down to a power of two within the limits above;
    // `window` is a window code of the spectrogram.
    PulsFftCls(int fftSize, int window, const PulseClock& clock);

    int fftSize() const { return m_n; }
    int bins() const { return m_n / 2; }
    double binFrequency(int k) const { return m_binHz[static_cast<std::size_t>(k)]; }
    const std::vector<double>& window() const { return m_window; }

    // Sets up the columns over frames [first, first + length) of one channel
    // (0 left or mono, 1 right); hop h at least 1. Samples outside the
    // document read as 0.
    void setStretch(CVesSoundDoc& doc, ChannelIndex channel, std::int64_t first, std::int64_t length, int hop);
    int columns() const { return m_columns; }
    std::int64_t columnStart(int column) const;
    std::int64_t columnTimeUs(int column) const { return m_clock.framesToMicros(columnStart(column)); }
    // The N/2 levels of a column in dB (bin 0 included); the lowest double
    // for a bin without power. Valid until the next call.
    const double* levels(int column);

private:
    int m_n = 0;
    int m_order = 0;
    PulseClock m_clock;
    std::vector<double> m_window;
    std::vector<double> m_binHz;
    CVesSoundDoc* m_doc = nullptr;
    ChannelIndex m_channel = ChannelIndex::Left;
    std::int64_t m_first = 0;
    std::int64_t m_length = 0;
    int m_columns = 0;
    std::vector<double> m_buffer;
    // Direct-mapped cache of computed columns.
    static constexpr int kCacheSlots = 256;
    std::vector<double> m_cache;
    std::vector<int> m_cachedColumn;
    void compute(int column, double* out);
};

// What the contour measurement needs besides the spectrogram.
struct PulseContourParms {
    double minFrequencyHz = 0;   // below 1: no lower limit
    double maxFrequencyHz = 0;   // below 1: no upper limit
    double thresholdDb = -24;    // V
    double separationHz = 0;     // frequency separation; 0 or less: no bands
    int timeGapColumns = 1;      // T, at least 1
};

struct PulseContour {
    bool strongest = false;        // a strongest point was found
    double strongestDb = 0;
    double strongestHz = 0;
    std::int64_t strongestTimeUs = 0;
    int strongestColumn = -1;
    int strongestBin = -1;
    bool contour = false;          // at least one band was recorded
    double highestHz = 0;
    std::int64_t highestTimeUs = 0;
    double lowestHz = 0;
    std::int64_t lowestTimeUs = 0;
    int upperBin = 0, lowerBin = 0;  // B_hi, B_lo
    int gapBins = 0;                 // G
};

// Strongest point and contour over the columns of the spectrogram.
PulseContour measurePulseContour(PulsFftCls& fft, const PulseContourParms& parms);
