// Bat calls from the dots of a zero-crossing file, measured with the same
// definitions as the calls of the spectrum (pulse/CallMeasures.h).
//
// A dot takes part when its status is normal or main and its frequency lies
// in the search band. Consecutive such dots, each within `smoothPct` of the
// one before, make a segment (the dots of a call follow one another
// closely, those of noise jump about); segments of fewer than three dots are
// noise. Segments less than the minimum interval apart join into one call
// unless the later starts more than twice `smoothPct` above where the earlier
// ended (overlapping calls of two bats: the louder takes over the divider);
// calls with fewer than `minDots` dots or shorter than the minimum duration
// are dropped. The maximum and minimum frequency are those of the call's
// dots. Its contour is its dots (time = the end of each dot's interval, in
// real time), each frequency taken from the mean interval of up to five dots
// centred on it (whole-µs intervals make steps of several hundred Hz, and
// runs of equal dots would pass for the flattest part); from the contour come
// Fc, Tc, Sc, S1, Fk, Tk, Fmean, Qual, the slope and TBC. Its start is the
// beginning of its first dot's interval, its end the end of its last. Without
// amplitudes, peak frequency and SNR are not defined: the peak frequency is
// left at the characteristic frequency and the SNR at 0; the call's box is
// the range of its dots.
#pragma once

#include "pulse/CallMeasures.h"
#include "zcfiles/ZcFile.h"

#include <vector>

namespace zcfile {

struct ZcCallSettings {
    double bandLowHz = 10000;
    double bandHighHz = 150000;
    double smoothPct = 8;
    int minDots = 4;
    double minDurationMs = 1.0;
    double minIntervalMs = 1.0;
};

std::vector<CallMeasures> findCalls(const std::vector<Dot>& dots, const ZcCallSettings& settings);

}  // namespace zcfile
