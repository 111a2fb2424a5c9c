// The measurements of one bat call, taken from the short-time spectrum of
// the stretch the call detector found (CallDetector.h). Every value is in
// real time (time expansion applied) and real frequency.
//
// The spectrum is given as levels above the background noise of each
// frequency bin (dB, "SNR"). From the column and bin of the call's strongest
// point the contour is traced backward and forward: in each neighbouring
// column the strongest bin near the frequency the last contour points
// predict (within `slopeChangeKHzPerMs`; the first step, without a
// prediction, within `maxSlopeKHzPerMs`) is taken while it stays at or above
// the edge level
//     edge = max(edgeSnrDb, peak SNR − edgeDropDb).
// A column below the edge level ends the trace, except that up to
// `gapColumns` such columns are stepped over when a later one is above it
// (3 dB above it when the call's peak is 10 dB or more over the edge level:
// the wider search after a gap finds the noise's strongest bins too).
// The contour is the frequency of those bins (refined between bins by a
// parabola through the three levels around each), one point per column.
//
// From its first and last point the contour is carried on along its slope
// into the call's faint start and end: column by column while the mean
// power of the three bins around the predicted frequency stays `tailSnrDb`
// above the noise (a mean of three bins, as a single bin of noise often
// stands that high), for at most `maxTailMs`. These tails widen the call's
// time and box, not its contour.
//
// Definitions (the user guide lists the same):
//   start, end      where the level crosses the edge level (the tail level
//                   beyond a tail), found between the first (last) column
//                   of the call and the column before (after) it by linear
//                   interpolation of the levels; ms from the start of the
//                   recording
//   duration        end − start
//   max, min freq   the highest and lowest frequency of the contour
//   peak freq       the frequency of the strongest point of the call
//   char freq       characteristic frequency: the contour frequency where
//                   the contour (smoothed over three points) is flattest,
//                   within the last 40 % of the call's contour points (the
//                   later point when equally flat)
//   knee freq       the contour frequency farthest from the straight line
//                   from the contour's first to its last point, with time
//                   measured in units of the call's duration and frequency
//                   in units of its bandwidth (the first point when the
//                   contour has fewer than three points)
//   bandwidth       max freq − min freq
//   low, high freq  the call's box, harmonics included: the contour
//                   extended along its first and last slope to the start
//                   and end (each contour point is the centre of a window;
//                   by at most one column), its lowest and highest
//                   frequency times the lowest and highest harmonic
//                   factor (½, ⅓; 2, 3) at which at least half of the
//                   contour's columns reach the edge level
//   slope           (first contour frequency − last contour frequency) /
//                   time between them, kHz/ms: positive for a call that
//                   sweeps down; 0 for a contour of one point
//   interval        start of this call − start of the call before it in
//                   the same run; below 0 for the first call
//   snr             level of the strongest point above the noise of its bin
//
// The parameters that bat workers compare across the zero-crossing and
// full-spectrum programs of the field, from the same contour (slopes in
// octaves per second, OPS, positive for a call that sweeps down; times from
// the call's start):
//   Fc, Tc          characteristic frequency (= char freq) and the time of
//                   its contour point
//   Sc              characteristic slope: the slope of the call's body,
//                   from the knee to Fc; when Fc is not after the knee, the
//                   slope between the smoothed contour points around Fc
//   S1              initial slope: the steepest of the slopes from the first
//                   contour point to each of the next four
//   Fk, Tk          knee frequency (= knee freq) and the time of its point
//   Fmean           the time-weighted mean of the contour (trapezoids)
//   Qual            how smooth the contour is: the mean distance of each
//                   inner contour point from the middle of its two
//                   neighbours, in percent of its frequency (0 for a
//                   straight sweep; noise-like contours score high)
//   TBC             time between call starts (= interval)
//   Fmax, Fmin      max and min freq above: each contour point stands for
//                   one column, so they are weighted by duration, not by
//                   level
#pragma once

#include <cstdint>
#include <vector>

struct CallMeasures {
    int call = 0;               // counted from 1 in each run
    double startMs = 0;
    double endMs = 0;
    double durationMs = 0;
    double maxFreqHz = 0;
    double minFreqHz = 0;
    double peakFreqHz = 0;
    double lowFreqHz = 0;       // the box of the whole call, harmonics included
    double highFreqHz = 0;
    double charFreqHz = 0;
    double kneeFreqHz = 0;
    double bandwidthHz = 0;
    double slopeKHzPerMs = 0;
    double intervalMs = -1;     // below 0: no call before this one
    double snrDb = 0;
    std::int64_t startFrame = 0;  // frames of the recording (as stored)
    std::int64_t endFrame = 0;
    int contourPoints = 0;
    // Median |second difference| of the contour, Hz: near 0 for a call
    // whose frequency changes smoothly, large for the random peaks of noise.
    double roughnessHz = 0;
    // Median |first difference| of the contour, Hz (how fast it moves).
    double stepHz = 0;
    // Median over the contour of its level above the median level of its
    // column's band, dB: high for a call, low for broadband noise that
    // raises every bin alike.
    double prominenceDb = 0;
    // The field's parameters (see above); Fc, Fk and TBC are charFreqHz,
    // kneeFreqHz and intervalMs.
    double charTimeMs = 0;       // Tc
    double charSlopeOps = 0;     // Sc
    double initialSlopeOps = 0;  // S1
    double kneeTimeMs = 0;       // Tk
    double meanFreqHz = 0;       // Fmean
    double qualityPct = 0;       // Qual
};

// The levels above noise of a stretch of spectrogram columns, bins of the
// search band only: snrDb[column · bins + bin].
struct CallSpectrum {
    int columns = 0;
    int bins = 0;
    double firstColumnMs = 0;   // real time of column 0 (the centre of its window)
    double columnMs = 1;        // real time between columns
    double firstBinHz = 0;      // frequency of bin 0
    double binHz = 1;           // frequency between bins
    const float* snrDb = nullptr;

    float at(int column, int bin) const { return snrDb[static_cast<std::size_t>(column) * bins + bin]; }
};

struct CallTraceParms {
    double edgeSnrDb = 10;
    double edgeDropDb = 24;
    double maxSlopeKHzPerMs = 60;     // how far the contour may move from one column to the next
    double slopeChangeKHzPerMs = 6;   // how far from the frequency its last points predict
    int gapColumns = 1;
    // The faint start and end of a call (below the edge level, which is
    // high for a loud call): the contour is carried on along its slope
    // while the mean power of the three bins around it stays this far above
    // the noise, for at most `maxTailMs` at each end (0: no tails).
    double tailSnrDb = 0;
    double maxTailMs = 0;
};

// Measures the call whose strongest point is (peakColumn, peakBin). False
// when the strongest point is below the edge level (nothing to trace).
// `call` and `intervalMs` are left for the caller; frames are not set.
// The columns of the first and last contour point go to firstColumn and
// lastColumn when given.
bool measureCall(const CallSpectrum& spectrum, int peakColumn, int peakBin, const CallTraceParms& parms,
                 CallMeasures& out, int* firstColumn = nullptr, int* lastColumn = nullptr);

// The characteristic and knee frequencies of a contour (times ms, frequencies
// Hz, one point per column, in time order), as defined above.
double characteristicFrequency(const std::vector<double>& timesMs, const std::vector<double>& freqsHz);
double kneeFrequency(const std::vector<double>& timesMs, const std::vector<double>& freqsHz);

// Fc, Tc, Sc, S1, Fk, Tk, Fmean and Qual of a contour (as above; times ms,
// frequencies Hz, in time order) into `out`, times from `startMs`.
void contourParameters(const std::vector<double>& timesMs, const std::vector<double>& freqsHz, double startMs,
                       CallMeasures& out);
