// The call detector: finds the bat calls of a stretch of a recording and
// measures them (CallMeasures.h), for batch work and for the program's
// "Find calls".
//
// How it works:
// 1. A short-time spectrum (Hann window of about 0.66 ms of real time, a power
//    of two of 64 … 2048 frames, hop half the window) of one channel, or the
//    summed power of both channels of a stereo recording, over the bins of
//    the search band (default 10–150 kHz, cut to the recording's range).
// 2. The background noise of every bin is the median of its level over about
//    a second: the medians of blocks of a quarter of the noise window,
//    combined by the median of five consecutive blocks centred on the column's
//    block. Levels become levels above that noise (dB), so quiet and loud
//    calls, and recordings made at any gain, are treated alike, and steady
//    sounds (insects, hum, hiss) sink into the noise of their bins.
// 3. A column belongs to a candidate when its strongest band bin is at least
//    the detection SNR minus 4 dB above the noise, or when its band level
//    (the highest mean power, relative to the noise, over `bandWidthHz` of
//    neighbouring bins in it and the column before it, each bin held to at
//    most 20 dB) reaches `bandSnrDb`: a matched look at the whole band of a
//    call, which finds the short, quiet, broadband calls of leaf-nosed and
//    vampire bats whose strongest bin hardly stands out. Columns are joined
//    into candidates across gaps shorter than the minimum interval between
//    calls; a candidate needs at least one column at the detection SNR or
//    the band level.
// 4. Each candidate is searched for calls, strongest first: from its
//    strongest point (down to 2 dB above the edge SNR) the call is traced
//    and measured (CallMeasures.h); its contour ends where it falls below
//    the edge level, `edgeDropDb` below its peak or `edgeSnrDb` above the
//    noise, whichever is higher, and is carried on from there along its
//    slope into the call's faint start and end while the mean of three bins
//    stays `tailSnrDb` above the noise (at most `maxTailMs`). The columns of
//    the traced contour are then taken out and the strongest point of what
//    is left is the next call. A sound that starts or ends within the minimum interval of a
//    stronger one found before it in the candidate is a harmonic or a piece
//    of that one, not a call of its own.
// 5. Calls shorter than the minimum duration are dropped, and so are sounds
//    whose contour is rough (median second difference above
//    `maxRoughnessBins` frequency bins plus half the median first
//    difference, as steep sweeps bend more): a bat call's frequency changes
//    smoothly from column to column, the strongest bins of noise bursts
//    (insects, rain, rustling) jump about; sounds whose contour stands
//    less than `minProminenceDb` above the median level of its band, or
//    whose strongest column is within 10 dB of its peak in 40 % of the band
//    (broadband noise and clicks raise every bin alike); and sounds whose
//    contour stays in the lowest or highest bin of the band: they come from
//    outside it. A sound below the detection SNR, found by its band level,
//    must have the shape of a quiet broadband call: three or more contour
//    points, sweeping down or holding, smooth (Qual at most 3.3 times
//    `maxLowQualPct`), peaking at or above `lowCallHz`.
//    Sounds peaking below `lowCallHz`, or whose contour's mean frequency
//    lies below it (insects, rain, wind and voices are common there), need
//    a call's structure: a contour that sweeps one way or holds its
//    frequency rather than wandering up and down, smooth (Qual at most
//    `maxLowQualPct`, 3.3 times that for sweeps of 8 kHz or more), and not
//    longer than `maxLowCallMs`.
//    Steady tones (a contour within `steadySpanPct` of its frequency, or
//    within a frequency bin) are calls only when short and at or above
//    `lowCallHz`: the long CF calls of horseshoe and leaf-nosed bats begin
//    and end with a sweep of several kHz, the short QCF calls of
//    pipistrelles last at most about 12 ms, and the QCF calls of the
//    low-frequency bats still sweep a few percent; insects, machines and
//    electronics hold a tone for longer.
// 6. Echoes are decided by their relation to the calls before them: a sound
//    that starts more than 0.5 ms and at most `echoWindowMs` after the start
//    of an earlier call, is at least `echoDropDb` weaker, whose contour lies
//    within that call's box (±2 bins; an echo's contour may follow another
//    harmonic), is not much longer than it (1.5 times plus 2 ms), does not
//    sweep the other way and, after a steep sweep (8 kHz/ms or more), sweeps
//    at least a quarter as steeply, is an echo of it and not a call. Echoes come back
//    5–25 ms after their call, often overlapping the next quiet stretch; a
//    fixed window after the call's end missed the later ones.
//
// Memory is bounded whatever the length: only the columns of about two
// seconds (and of a call up to `maxCallMs` long) are kept. The results depend
// only on the samples, the format, the time expansion, the stretch and the
// settings, so the same file gives the same calls alone or among others.
#pragma once

#include "pulse/CallMeasures.h"

#include <atomic>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

class CVesSoundDoc;

// 10·log10(p) within 0.001 dB for p > 0 (and a very low level for p = 0),
// without a library log: the float's exponent gives the octaves, a
// polynomial the natural log of its mantissa in [1, 2), which 10/ln 10 turns
// into decibels. The detector takes one per bin and column.
inline float callDb(float p)
{
    p += 1e-30f;
    std::uint32_t bits;
    std::memcpy(&bits, &p, sizeof bits);
    const int e = static_cast<int>((bits >> 23) & 255) - 127;
    bits = (bits & 0x7FFFFFu) | 0x3F800000u;
    float m;
    std::memcpy(&m, &bits, sizeof m);
    const float lnM = -1.7417939f + (2.8212026f + (-1.4699568f + (0.44717955f - 0.056570851f * m) * m) * m) * m;
    return 3.0102999566f * static_cast<float>(e) + 4.3429448190f * lnM;
}

enum class CallChannel { Mix, Left, Right };

struct CallDetectorSettings {
    double bandLowHz = 10000;      // the search band, real frequency; cut to 0 … half the rate
    double bandHighHz = 150000;
    double snrDb = 15;             // a call's peak must be this far above the noise …
    double bandSnrDb = 6.5;        // … or its mean power over `bandWidthHz` (two columns) this far
    double bandWidthHz = 16000;    //   (quiet broadband calls spread their energy over many bins)
    double edgeSnrDb = 8;          // a call's edges: this far above the noise …
    double edgeDropDb = 30;        // … and not more than this below its peak;
    double tailSnrDb = 6;          // beyond them its faint start and end, the mean of three bins this far
    double maxTailMs = 1.0;        //   above the noise along its slope, for at most this long
    double minDurationMs = 1.0;    // shorter calls are dropped (a call of 1 ms measures about 1 ms: its
                                   // edges are where the window still holds part of it)
    double minIntervalMs = 1.0;    // gaps at least this long separate calls; shorter ones are bridged
    double maxCallMs = 300;        // a candidate is closed after this long
    double echoWindowMs = 30;      // echoes start at most this long after the start of their call …
    double echoDropDb = 10;        // … at least this much weaker, within its frequencies
    double lowCallHz = 28000;      // sounds peaking below this need a call's structure:
    double maxLowQualPct = 1.5;    // … a contour at least this smooth (Qual; 3.3 times this for sweeps of 8 kHz),
    double maxLowCallMs = 40;      // … not longer than this, one-way or steady
    double steadySpanPct = 4;      // a contour within this much of its frequency (or a bin) holds it steady: …
    double maxSteadyCallMs = 15;   // … a bat's call does so at most this long (longer CF calls have FM ends)
    double maxRoughnessBins = 1.0;  // candidates whose contour is rougher are noise
    double minProminenceDb = 10;    // … and so are those that stand out less above their band
    double noiseWindowSec = 1.0;
    double windowMs = 0.66;        // analysis window, real time (rounded to a power of two of frames)
    CallChannel channel = CallChannel::Mix;
};

// What the settings give for a recording.
struct CallDetectorSetup {
    int fftSize = 0;             // frames
    int hop = 0;                 // frames
    double effectiveRate = 0;    // real-time sample rate, Hz
    int firstBin = 0, lastBin = -1;  // the band's bins (lastBin < firstBin: no bins)
    int columnsPerBlock = 0;
};
CallDetectorSetup makeCallDetectorSetup(double effectiveRate, const CallDetectorSettings& settings);

class ICallSink {
public:
    virtual ~ICallSink() = default;
    virtual void callFound(const CallMeasures& call) = 0;
    // Progress over the frames of the stretch; false asks the run to stop.
    virtual bool callProgress(std::int64_t /*done*/, std::int64_t /*total*/) { return true; }
};

class CallCollector : public ICallSink {
public:
    std::vector<CallMeasures> calls;
    void callFound(const CallMeasures& call) override { calls.push_back(call); }
};

struct CallRunStats {
    bool completed = false;      // false: aborted or stopped by the sink
    int calls = 0;
    int echoes = 0;              // candidates taken as echoes
    int tooShort = 0;            // candidates shorter than the minimum duration
    int weak = 0;                // below the detection SNR without a broadband call's shape
    int low = 0;                 // low sounds without a call's structure
    int steady = 0;              // steady tones: long, or low, with no sweep at either end
    int parts = 0;               // harmonics and pieces of a stronger call
    int rough = 0;               // candidates too rough or not prominent enough for a call
    int outside = 0;             // candidates held at an edge of the band (sound from outside it)
    std::int64_t columns = 0;
};

// Finds the calls in frames [first, last) of the document (last < 0: to its
// end) on the calling thread.
CallRunStats detectCalls(CVesSoundDoc& doc, std::int64_t first, std::int64_t last,
                         const CallDetectorSettings& settings, ICallSink& sink,
                         const std::atomic<bool>* abort = nullptr);

// Settings from a text of the command line, "LO,HI" in kHz (e.g. "15,120"):
// false on a malformed text or LO >= HI.
bool parseCallBand(const std::string& text, double& lowHz, double& highHz);
