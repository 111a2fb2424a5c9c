// Zero-crossing dots from samples, the way a frequency-division detector
// makes them and with the crossing rule of the program's own zero-crossing
// analysis (display/ColumnEngine.h, ZeroCrossCounter): a crossing is a swing
// from beyond +theta to below −theta or back, the first swing out of the band
// ±theta only arming the count. Every `divRatio`-th crossing is a transition
// of the divided signal, placed at the input's zero crossing just before the
// swing (linear interpolation between the two samples around zero), so that
// the intervals keep sub-sample precision. A dot's interval is the real time
// (time expansion applied) from the transition before; the first one is
// measured from the start of the recording. Times are rounded to whole µs
// from the start, so rounding never accumulates.
//
// The noise gate marks dots off whose strongest sample within their interval
// lies below `gateDb` (dB of full scale): the divided signal of a quiet
// stretch is noise. Off dots keep their intervals, so times stay right.
#pragma once

#include "zcfiles/ZcFile.h"

#include <cstdint>
#include <string>
#include <vector>

class CVesSoundDoc;

namespace zcfile {

struct ConvertSettings {
    int divRatio = 8;
    double thresholdPct = 5;   // theta, percent of full scale (the zero-crossing view's default)
    double gateDb = -200;      // dots whose peak stays below this are off; -200: no gate
    int channel = 0;           // 0 left (or mono), 1 right
    double timeExpansion = 0;  // 0: the recording's own
};

// The transitions of samples (in 16-bit units, full scale 32768) at `rateHz`
// real-time samples per second: intervals in µs (rounded as above) and, per
// dot, the peak |sample| of its interval.
struct Transitions {
    std::vector<std::uint32_t> intervals;
    std::vector<double> peaks;
};
class TransitionFinder {
public:
    TransitionFinder(double rateHz, const ConvertSettings& settings);
    void feed(const double* samples, std::int64_t n);
    // False when an interval reaches 2^29 µs (the format's limit).
    bool ok() const { return m_ok; }
    Transitions take() { return std::move(m_out); }

private:
    double m_rate, m_theta;
    int m_div;
    double m_arm = 0, m_prev = 0, m_zeroAt = 0, m_peak = 0;
    std::int64_t m_index = 0, m_crossings = 0, m_lastUs = 0;
    bool m_ok = true;
    Transitions m_out;
};

// The ZC file (type 132) of a recording: dots as above, the recording's
// GUANO with its Timestamp, Samplerate, TE, Length and Original Filename,
// the start time from the GUANO timestamp, and the text fields from GUANO
// where it has them (DATE, LOC from the position, SPECIES, NOTE).
bool fromRecording(CVesSoundDoc& doc, const ConvertSettings& settings, ZcFile& out, std::string& error);

}  // namespace zcfile
