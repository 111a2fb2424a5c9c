// The call detector on synthetic recordings whose calls are known: whole
// calls found once, their measurements, noise adaptation, echoes and
// harmonics, close calls, the band, time expansion, stereo and long files.
#include "pulse/CallDetector.h"
#include "pulse/CallTable.h"

#include "PulseFixtures.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>

using pulsetest::Call;

namespace {

std::vector<CallMeasures> detect(CVesSoundDoc& doc, const CallDetectorSettings& settings = {},
                                 std::int64_t first = 0, std::int64_t last = -1)
{
    CallCollector sink;
    const CallRunStats stats = detectCalls(doc, first, last, settings, sink);
    EXPECT_TRUE(stats.completed);
    EXPECT_EQ(stats.calls, static_cast<int>(sink.calls.size()));
    return sink.calls;
}

struct Doc {
    vestest::RecordingHost host;
    CVesSoundDoc doc{host};
};

// A recording of calls in white noise, optionally with extra samples added.
void fill(Doc& d, double rate, double seconds, const std::vector<Call>& calls, double noise = 0.002,
          std::int32_t timeExp25 = 1000)
{
    pulsetest::fill16(d.doc, static_cast<std::uint32_t>(rate), pulsetest::synthesize(rate, seconds, calls, noise),
                      nullptr, timeExp25);
}

}  // namespace

// Calls of different shapes are found once each, with start, end and the
// frequencies of their contour where they were made.
TEST(CallDetector, FindsWholeCallsAndMeasuresThem)
{
    struct Case {
        const char* what;
        Call call;
    };
    const Case cases[] = {
        {"shallow FM", {0.100, 0.005, 75000, 45000, 0.3}},
        {"steep FM", {0.100, 0.0025, 95000, 30000, 0.3}},
        {"constant frequency", {0.100, 0.010, 83000, 83000, 0.3}},
        {"quiet FM", {0.100, 0.006, 60000, 40000, 0.01}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Doc d;
        fill(d, 384000, 0.3, {c.call});
        const auto calls = detect(d.doc);
        ASSERT_EQ(calls.size(), 1u);
        const CallMeasures& m = calls[0];
        EXPECT_NEAR(m.startMs, 100.0, 0.4);
        EXPECT_NEAR(m.endMs, 100.0 + c.call.durationSec * 1000, 0.4);
        EXPECT_NEAR(m.durationMs, m.endMs - m.startMs, 1e-9);
        const double hi = std::max(c.call.f0, c.call.f1), lo = std::min(c.call.f0, c.call.f1);
        EXPECT_NEAR(m.maxFreqHz, hi, 4000);
        EXPECT_NEAR(m.minFreqHz, lo, 4000);
        EXPECT_NEAR(m.bandwidthHz, m.maxFreqHz - m.minFreqHz, 1e-6);
        EXPECT_GE(m.peakFreqHz, lo - 2000);
        EXPECT_LE(m.peakFreqHz, hi + 2000);
        const double slope = (c.call.f0 - c.call.f1) / 1000 / (c.call.durationSec * 1000);
        EXPECT_NEAR(m.slopeKHzPerMs, slope, std::max(1.5, std::fabs(slope) * 0.25));
        EXPECT_LT(m.intervalMs, 0) << "no call before";
        EXPECT_GT(m.snrDb, 15);
        EXPECT_EQ(m.call, 1);
        EXPECT_NEAR(static_cast<double>(m.startFrame), m.startMs * 384, 1);
    }
}

// The threshold follows the noise: the same calls are found when the whole
// recording (calls and noise) is 30 dB quieter, and a call far quieter than
// the loudest one of the recording is found too.
TEST(CallDetector, FollowsTheNoiseNotFullScale)
{
    const std::vector<Call> calls = {{0.05, 0.005, 70000, 45000, 0.5},
                                     {0.15, 0.005, 70000, 45000, 0.02},
                                     {0.25, 0.005, 70000, 45000, 0.5}};
    Doc loud, quiet;
    fill(loud, 384000, 0.4, calls, 0.004);
    std::vector<Call> scaled = calls;
    for (Call& c : scaled)
        c.amplitude /= 31.6;
    fill(quiet, 384000, 0.4, scaled, 0.004 / 31.6);
    const auto a = detect(loud.doc), b = detect(quiet.doc);
    ASSERT_EQ(a.size(), 3u);
    ASSERT_EQ(b.size(), 3u);
    for (std::size_t i = 0; i < a.size(); ++i) {
        EXPECT_NEAR(a[i].startMs, calls[i].startSec * 1000, 0.4);
        EXPECT_NEAR(b[i].startMs, a[i].startMs, 0.3);
        EXPECT_NEAR(b[i].minFreqHz, a[i].minFreqHz, 2000);
    }
    EXPECT_NEAR(a[1].intervalMs, 100, 0.5);
}

// Noise alone gives no calls: white noise, a steady tone (an insect) inside
// the band, and sweeping tone pulses below the band.
TEST(CallDetector, NoCallsInNoise)
{
    const double rate = 384000;
    std::vector<std::int16_t> s = pulsetest::synthesize(rate, 2.0, {}, 0.01, 3);
    for (std::size_t i = 0; i < s.size(); ++i) {
        const double t = static_cast<double>(i) / rate;
        const double tp = std::fmod(t, 0.1);  // 6 to 4 kHz in 10 ms
        const double v = 3000 * std::sin(2 * std::numbers::pi * 25000 * t) +
                         (tp < 0.01 ? 8000 * std::sin(2 * std::numbers::pi * (6000 * tp - 1e5 * tp * tp)) : 0.0);
        s[i] = static_cast<std::int16_t>(std::clamp(s[i] + v, -32768.0, 32767.0));
    }
    Doc d;
    pulsetest::fill16(d.doc, 384000, s);
    for (const CallMeasures& m : detect(d.doc))
        ADD_FAILURE() << "call at " << m.startMs << " ms, " << m.durationMs << " ms, " << m.minFreqHz << " to "
                      << m.maxFreqHz << " Hz, SNR " << m.snrDb;
    CallDetectorSettings wide;
    wide.bandLowHz = 1000;
    EXPECT_FALSE(detect(d.doc, wide).empty()) << "the low pulses are found when the band includes them";
}

// A loud call's faint first millisecond (far below its peak, well above the
// noise) is part of it, as people box it from its first audible part: its
// start and top frequency are there, not where the loud part begins.
TEST(CallDetector, FaintStartBelongsToTheCall)
{
    Doc d;
    fill(d, 384000, 0.3, {{0.100, 0.001, 80000, 72000, 0.006}, {0.101, 0.004, 72000, 40000, 0.3}});
    CallDetectorSettings noTails;
    noTails.tailSnrDb = 0;
    const auto cut = detect(d.doc, noTails), whole = detect(d.doc);
    ASSERT_EQ(cut.size(), 1u);
    ASSERT_EQ(whole.size(), 1u);
    EXPECT_GT(cut[0].startMs, 100.6) << "the edge level alone cuts the faint start";
    EXPECT_NEAR(whole[0].startMs, 100.0, 0.4);
    EXPECT_NEAR(whole[0].highFreqHz, 80000, 3000);
    EXPECT_NEAR(whole[0].endMs, cut[0].endMs, 0.4) << "the loud end is where it was";
    EXPECT_NEAR(whole[0].minFreqHz, cut[0].minFreqHz, 1) << "the contour is the same";
}

// A long constant-frequency call begins and ends with a sweep (horseshoe
// bats: up into the CF, down out of it) and is found whole; a tone held as
// long without them, or a steady tone below the bats' main band, is an
// insect, a machine or electronics.
TEST(CallDetector, SteadyTonesNeedACallsEnds)
{
    struct Case {
        const char* what;
        std::vector<Call> parts;
        bool call;
    };
    const Case cases[] = {
        {"CF with FM ends",
         {{0.100, 0.002, 76000, 83000, 0.3}, {0.102, 0.036, 83000, 83000, 0.3}, {0.138, 0.002, 83000, 68000, 0.3}},
         true},
        {"short CF", {{0.100, 0.008, 83000, 83000, 0.3}}, true},
        {"tone of 40 ms", {{0.100, 0.040, 57000, 57000, 0.3}}, false},
        {"tone of 12 ms at 22 kHz", {{0.100, 0.012, 22000, 22000, 0.3}}, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Doc d;
        fill(d, 384000, 0.3, c.parts);
        const auto calls = detect(d.doc);
        if (!c.call) {
            EXPECT_TRUE(calls.empty());
            continue;
        }
        ASSERT_EQ(calls.size(), 1u);
        const double end = (c.parts.back().startSec + c.parts.back().durationSec) * 1000;
        EXPECT_NEAR(calls[0].startMs, 100.0, 0.5);
        EXPECT_NEAR(calls[0].endMs, end, 0.5);
    }
}

// Bursts of broadband noise (as insects, rain or rustling leaves make), as
// loud as the call among them, are not calls: their strongest frequency
// jumps about instead of sweeping.
TEST(CallDetector, NoiseBurstsAreNotCalls)
{
    const double rate = 384000;
    std::vector<std::int16_t> s = pulsetest::synthesize(rate, 1.0, {{0.515, 0.005, 70000, 45000, 0.1}}, 0.002, 4);
    std::mt19937 gen(2);
    std::normal_distribution<double> noise(0.0, 1500.0);
    for (std::size_t i = 0; i < s.size(); ++i) {
        const double t = static_cast<double>(i) / rate;
        if (std::fmod(t, 0.03) >= 0.01 || (t > 0.5 && t < 0.53))
            continue;
        s[i] = static_cast<std::int16_t>(std::clamp(s[i] + noise(gen), -32768.0, 32767.0));
    }
    Doc d;
    pulsetest::fill16(d.doc, 384000, s);
    CallCollector sink;
    const CallRunStats stats = detectCalls(d.doc, 0, -1, {}, sink);
    ASSERT_EQ(sink.calls.size(), 1u);
    EXPECT_NEAR(sink.calls[0].startMs, 515, 0.4);
    EXPECT_GT(stats.rough, 0) << "the bursts were candidates, taken for noise";
}

// A call's second harmonic and its echo are not calls of their own, but two
// calls a few milliseconds apart are two calls, and so is a weaker sound of
// another shape soon after a call.
TEST(CallDetector, EchoesAndHarmonicsBelongToTheirCall)
{
    Doc d;
    fill(d, 384000, 0.42,
         {{0.050, 0.005, 60000, 40000, 0.4, 0.5},   // with a second harmonic
          {0.058, 0.005, 60000, 40000, 0.04},       // its echo, 20 dB down, 3 ms after its end
          {0.200, 0.003, 70000, 45000, 0.3},        // two calls 4 ms apart
          {0.207, 0.003, 70000, 45000, 0.3},
          {0.300, 0.005, 60000, 40000, 0.4},        // a call and, 15 ms later and 18 dB down, a
          {0.315, 0.006, 95000, 92000, 0.05},       // weaker call of another shape: not its echo
          {0.350, 0.003, 100000, 40000, 0.4},       // a steep FM call and, 12 ms later and 15 dB
          {0.362, 0.004, 55000, 52000, 0.07}});     // down in its box, another bat's QCF call
    const auto calls = detect(d.doc);
    ASSERT_EQ(calls.size(), 7u);
    EXPECT_NEAR(calls[0].startMs, 50, 0.4);
    EXPECT_NEAR(calls[0].endMs, 55, 0.4);
    EXPECT_LT(calls[0].maxFreqHz, 70000) << "the contour follows the fundamental";
    EXPECT_NEAR(calls[1].startMs, 200, 0.4);
    EXPECT_NEAR(calls[2].startMs, 207, 0.4);
    EXPECT_NEAR(calls[2].intervalMs, 7, 0.5);
    EXPECT_NEAR(calls[4].startMs, 315, 0.4);
    EXPECT_GT(calls[4].minFreqHz, 85000);
    EXPECT_NEAR(calls[6].startMs, 362, 0.4);
    EXPECT_NEAR(calls[6].peakFreqHz, 53500, 2500);
}

// Scenes of every kind of bat, with echoes, insects and rain: the calls found
// against the calls made, as people box them (the whole call with its
// harmonics, first to last audible part). Recall and precision at least 0.9,
// start and end within 0.5 ms and the box's frequencies within 2 kHz
// (medians), and nothing in the scenes without bats.
namespace {

struct Scene {
    const char* what;
    double rate;
    std::vector<Call> calls;      // each a call to be found
    std::vector<Call> echoes;     // copies of calls, to be left out
    double insectHz = 0;          // an insect's song at this carrier (0: none)
    double insectAmplitude = 0;
    double rainPerSec = 0;        // raindrops
    double rainAmplitude = 0;
    double seconds = 1.2;
    double noise = 0.006;         // white noise, of full scale: loud calls stand 40 dB above it
    double minRecall = 0.9;
};

// Calls of one shape every `periodSec`, each with an echo `echoDelaySec`
// after it `echoDropDb` weaker (no echo when 0).
void train(Scene& s, Call call, double periodSec, double echoDelaySec, double echoDropDb)
{
    for (double t = 0.05; t + call.durationSec + echoDelaySec < s.seconds - 0.02; t += periodSec) {
        call.startSec = t;
        s.calls.push_back(call);
        if (echoDropDb > 0) {
            Call echo = call;
            echo.startSec = t + echoDelaySec;
            echo.amplitude *= std::pow(10.0, -echoDropDb / 20);
            s.echoes.push_back(echo);
        }
    }
}

std::vector<Scene> scenes()
{
    std::vector<Scene> list;
    const Call fm{0, 0.004, 80000, 40000, 0.3};        // aerial hunter's FM sweep
    const Call qcf{0, 0.012, 48000, 43000, 0.3};       // quasi-constant frequency
    const Call whisper{0, 0.0015, 55000, 45000, 0.012, 1.6};  // leaf-nosed bat: 45–110 kHz, 25 dB down
    const Call whisper1ms{0, 0.001, 56000, 46000, 0.012, 1.6};
    {
        Scene s{"FM with echoes 8 ms later, 15 dB down", 384000, {}, {}};
        train(s, fm, 0.09, 0.008, 15);
        list.push_back(s);
    }
    {
        Scene s{"QCF with echoes 20 ms later, 18 dB down", 500000, {}, {}};
        train(s, qcf, 0.11, 0.020, 18);
        list.push_back(s);
    }
    {
        Scene s{"FM with echoes 5 ms later, 20 dB down", 384000, {}, {}};
        train(s, fm, 0.07, 0.005, 20);
        list.push_back(s);
    }
    {
        Scene s{"quiet broadband multi-harmonic 1.5 ms", 384000, {}, {}};
        train(s, whisper, 0.06, 0.006, 15);
        list.push_back(s);
    }
    {
        Scene s{"faint broadband multi-harmonic 1.5 ms", 384000, {}, {}};
        Call faint = whisper;
        faint.amplitude = 0.002;
        train(s, faint, 0.04, 0, 0);
        list.push_back(s);
    }
    {
        // Fainter still: the strongest bin alone finds a fifth of these
        // calls, the band's power most of them.
        Scene s{"fainter broadband multi-harmonic 1.5 ms", 384000, {}, {}};
        s.minRecall = 0.75;
        Call faint = whisper;
        faint.amplitude = 0.0015;
        train(s, faint, 0.04, 0, 0);
        list.push_back(s);
    }
    {
        Scene s{"quiet broadband multi-harmonic 1 ms", 500000, {}, {}};
        train(s, whisper1ms, 0.05, 0, 0);
        list.push_back(s);
    }
    {
        Scene s{"FM among singing insects", 384000, {}, {}, 18000, 0.05};
        train(s, fm, 0.1, 0.01, 16);
        list.push_back(s);
    }
    {
        Scene s{"QCF and broadband calls in rain", 384000, {}, {}, 0, 0, 40, 0.05};
        train(s, qcf, 0.12, 0, 0);
        Call w = whisper;
        w.amplitude = 0.02;
        Scene t{"", 384000, {}, {}};
        t.seconds = s.seconds;
        train(t, w, 0.12, 0, 0);
        for (Call c : t.calls) {
            c.startSec += 0.05;
            s.calls.push_back(c);
        }
        list.push_back(s);
    }
    list.push_back(Scene{"no bats: insects", 384000, {}, {}, 21000, 0.1, 0, 0, 3.0});
    list.push_back(Scene{"no bats: rain", 384000, {}, {}, 0, 0, 60, 0.2, 3.0});
    list.push_back(Scene{"no bats: insects at 12 kHz and rain", 250000, {}, {}, 12000, 0.2, 30, 0.1, 3.0});
    return list;
}

double median(std::vector<double> v)
{
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

}  // namespace

TEST(CallDetector, ScenesOfEveryKindOfBat)
{
    for (const Scene& scene : scenes()) {
        SCOPED_TRACE(scene.what);
        std::vector<Call> all = scene.calls;
        all.insert(all.end(), scene.echoes.begin(), scene.echoes.end());
        std::vector<std::int16_t> s = pulsetest::synthesize(scene.rate, scene.seconds, all, scene.noise, 13);
        if (scene.insectHz > 0)
            pulsetest::addInsect(s, scene.rate, scene.insectHz, scene.insectAmplitude);
        if (scene.rainPerSec > 0)
            pulsetest::addRain(s, scene.rate, scene.rainPerSec, scene.rainAmplitude);
        Doc d;
        pulsetest::fill16(d.doc, static_cast<std::uint32_t>(scene.rate), s);
        const auto found = detect(d.doc);
        if (scene.calls.empty()) {
            for (const CallMeasures& m : found)
                ADD_FAILURE() << "call at " << m.startMs << " ms, " << m.durationMs << " ms, " << m.lowFreqHz
                              << " to " << m.highFreqHz << " Hz, SNR " << m.snrDb;
            continue;
        }
        int hits = 0, good = 0;
        std::vector<double> dStart, dEnd, dLow, dHigh;
        for (const Call& c : scene.calls) {
            const double start = c.startSec * 1000, end = start + c.durationSec * 1000;
            const CallMeasures* best = nullptr;
            double bestOverlap = 0;
            for (const CallMeasures& m : found) {
                const double overlap = std::min(end, m.endMs) - std::max(start, m.startMs);
                if (overlap > bestOverlap) {
                    bestOverlap = overlap;
                    best = &m;
                }
            }
            if (!best)
                continue;
            ++hits;
            dStart.push_back(std::fabs(best->startMs - start));
            dEnd.push_back(std::fabs(best->endMs - end));
            const double top = std::max(c.f0, c.f1) * (c.harmonic > 0 ? 2 : 1);
            dLow.push_back(std::fabs(best->lowFreqHz - std::min(c.f0, c.f1)));
            dHigh.push_back(std::fabs(best->highFreqHz - top));
        }
        for (const CallMeasures& m : found) {
            const bool real = std::any_of(scene.calls.begin(), scene.calls.end(), [&](const Call& c) {
                return std::min(c.startSec * 1000 + c.durationSec * 1000, m.endMs) > std::max(c.startSec * 1000, m.startMs);
            });
            good += real ? 1 : 0;
        }
        const double recall = static_cast<double>(hits) / static_cast<double>(scene.calls.size());
        const double precision = found.empty() ? 0 : static_cast<double>(good) / static_cast<double>(found.size());
        EXPECT_GE(recall, scene.minRecall) << hits << " of " << scene.calls.size();
        EXPECT_GE(precision, 0.9) << good << " of " << found.size();
        EXPECT_LE(median(dStart), 0.5);
        EXPECT_LE(median(dEnd), 0.5);
        EXPECT_LE(median(dLow), 2000);
        EXPECT_LE(median(dHigh), 2000);
    }
}

// A 10× time-expanded recording gives the real-time values of the same calls
// recorded in real time; a stereo recording's calls are found on the channel
// that has them, and by default on either.
TEST(CallDetector, TimeExpansionAndChannels)
{
    const std::vector<Call> calls = {{0.040, 0.006, 60000, 40000, 0.3}, {0.140, 0.006, 60000, 40000, 0.3}};
    Doc real;
    fill(real, 384000, 0.2, calls);
    std::vector<Call> slow = calls;
    for (Call& c : slow) {
        c.startSec *= 10;
        c.durationSec *= 10;
        c.f0 /= 10;
        c.f1 /= 10;
    }
    Doc expanded;
    fill(expanded, 38400, 2.0, slow, 0.002, 10000);
    const auto a = detect(real.doc), b = detect(expanded.doc);
    ASSERT_EQ(a.size(), 2u);
    ASSERT_EQ(b.size(), 2u);
    for (std::size_t i = 0; i < 2; ++i) {
        EXPECT_NEAR(b[i].startMs, a[i].startMs, 0.05);
        EXPECT_NEAR(b[i].endMs, a[i].endMs, 0.05);
        EXPECT_NEAR(b[i].peakFreqHz, a[i].peakFreqHz, 100);
        EXPECT_NEAR(static_cast<double>(b[i].startFrame), b[i].startMs * 384, 1) << "frames as stored, 10 per real-time frame";
    }

    Doc stereo;
    const auto quiet = pulsetest::synthesize(384000, 0.2, {}, 0.002, 9);
    const auto right = pulsetest::synthesize(384000, 0.2, calls, 0.002, 11);
    pulsetest::fill16(stereo.doc, 384000, quiet, &right);
    CallDetectorSettings s;
    EXPECT_EQ(detect(stereo.doc, s).size(), 2u) << "both channels";
    s.channel = CallChannel::Right;
    EXPECT_EQ(detect(stereo.doc, s).size(), 2u);
    s.channel = CallChannel::Left;
    EXPECT_TRUE(detect(stereo.doc, s).empty());
}

// A stretch gives the calls inside it with times from the start of the
// recording; a long recording is worked through block by block with the same
// result for every call, also where the noise changes halfway.
TEST(CallDetector, StretchesAndLongRecordings)
{
    const double rate = 250000;
    std::vector<Call> calls;
    for (int i = 0; i < 60; ++i)
        calls.push_back({0.2 + i * 0.25, 0.004, 55000, 35000, 0.2});
    std::vector<std::int16_t> s = pulsetest::synthesize(rate, 15.5, calls, 0.002, 5);
    std::mt19937 gen(1);
    std::normal_distribution<double> extra(0.0, 200.0);
    for (std::size_t i = s.size() / 2; i < s.size(); ++i)  // louder noise in the second half
        s[i] = static_cast<std::int16_t>(std::clamp(s[i] + extra(gen), -32768.0, 32767.0));
    Doc d;
    pulsetest::fill16(d.doc, 250000, s);
    const auto all = detect(d.doc);
    ASSERT_EQ(all.size(), calls.size());
    for (std::size_t i = 0; i < all.size(); ++i)
        EXPECT_NEAR(all[i].startMs, calls[i].startSec * 1000, 0.5) << i;

    const std::int64_t first = static_cast<std::int64_t>(5.1 * rate), last = static_cast<std::int64_t>(7.1 * rate);
    const auto part = detect(d.doc, {}, first, last);
    ASSERT_EQ(part.size(), 8u);
    EXPECT_NEAR(part[0].startMs, 5200, 0.5);
    EXPECT_EQ(part[0].call, 1);
}

// The sink can stop a run, and so can the abort flag.
TEST(CallDetector, StopsWhenAsked)
{
    Doc d;
    fill(d, 384000, 3.0, {{1.0, 0.005, 60000, 40000, 0.3}});
    struct Stopper : ICallSink {
        int calls = 0;
        void callFound(const CallMeasures&) override { ++calls; }
        bool callProgress(std::int64_t done, std::int64_t total) override { return done < total / 10; }
    } stopper;
    const CallRunStats stopped = detectCalls(d.doc, 0, -1, {}, stopper);
    EXPECT_FALSE(stopped.completed);
    EXPECT_EQ(stopper.calls, 0);
    std::atomic<bool> abort{true};
    CallCollector sink;
    EXPECT_FALSE(detectCalls(d.doc, 0, -1, {}, sink, &abort).completed);
}

TEST(CallDetector, SetupFollowsTheRateAndTheBand)
{
    struct Case {
        double rate;
        int fftSize;
        int lastBinBelowHz;
    };
    for (const Case& c : {Case{384000, 256, 150000}, Case{500000, 256, 150000}, Case{250000, 128, 125000},
                          Case{44100, 64, 22050}}) {
        const CallDetectorSetup s = makeCallDetectorSetup(c.rate, CallDetectorSettings{});
        EXPECT_EQ(s.fftSize, c.fftSize) << c.rate;
        EXPECT_EQ(s.hop, c.fftSize / 2);
        const double binHz = c.rate / c.fftSize;
        EXPECT_GE(s.firstBin * binHz, 10000 - 1e-6);
        EXPECT_LT((s.firstBin - 1) * binHz, 10000);
        EXPECT_LE(s.lastBin * binHz, c.lastBinBelowHz);
        EXPECT_LT(s.lastBin, c.fftSize / 2);
    }
    double lo = 0, hi = 0;
    EXPECT_TRUE(parseCallBand("15,120", lo, hi));
    EXPECT_EQ(lo, 15000);
    EXPECT_EQ(hi, 120000);
    for (const char* bad : {"", "15", "120,15", "a,b", "15,", "-1,20"})
        EXPECT_FALSE(parseCallBand(bad, lo, hi)) << bad;
}

// The detector's levels are decibels: every threshold (SNR, edges, band
// level) assumes 10·log10 of the power, at every power of two as between them.
TEST(CallDetector, LevelsAreDecibels)
{
    double worst = 0;
    for (double p = 1e-12; p < 1e12; p *= 1.0137)
        worst = std::max(worst, std::fabs(static_cast<double>(callDb(static_cast<float>(p))) -
                                          10 * std::log10(static_cast<double>(static_cast<float>(p)))));
    EXPECT_LT(worst, 0.01);
    for (const float p : {1.0f, 2.0f, 0.5f, 1.999f, 1024.0f, 1000.0f})
        EXPECT_NEAR(callDb(p), 10 * std::log10(p), 0.01) << p;
    EXPECT_LT(callDb(0.0f), -250.0f);
}

// The characteristic frequency is where the end of the call is flattest, the
// knee where a steep sweep turns into a shallow one.
TEST(CallMeasures, CharacteristicAndKneeFrequency)
{
    std::vector<double> t, f;
    for (int i = 0; i <= 20; ++i) {  // 80 → 50 kHz in 2 ms, then 50 → 45 kHz in 3 ms
        const double ms = i * 0.25;
        t.push_back(ms);
        f.push_back(ms <= 2 ? 80000 - 15000 * ms : 50000 - 5000.0 / 3 * (ms - 2));
    }
    EXPECT_NEAR(kneeFrequency(t, f), 50000, 500);
    EXPECT_LT(characteristicFrequency(t, f), 47500);
    // A sweep that flattens out at its end: the flat part.
    std::vector<double> f2;
    for (double ms : t)
        f2.push_back(40000 + 30000 * std::exp(-ms * 2));
    EXPECT_NEAR(characteristicFrequency(t, f2), 40000, 300);
    EXPECT_EQ(kneeFrequency({0, 1}, {50000, 40000}), 50000) << "fewer than three points: the first";
    EXPECT_EQ(characteristicFrequency({0, 1}, {50000, 40000}), 40000) << "fewer than three points: the last";
    EXPECT_EQ(characteristicFrequency({}, {}), 0);
}

// The field's parameters of a contour with a known shape: a steep sweep
// (80 → 50 kHz in 2 ms) that turns into a shallow one (50 → 45 kHz in 3 ms),
// starting 0.1 ms after the call's start; and a rough contour's Qual.
TEST(CallMeasures, FieldParameters)
{
    std::vector<double> t, f;
    for (int i = 0; i <= 20; ++i) {
        const double ms = i * 0.25;
        t.push_back(10.1 + ms);
        f.push_back(ms <= 2 ? 80000 - 15000 * ms : 50000 - 5000.0 / 3 * (ms - 2));
    }
    CallMeasures m;
    contourParameters(t, f, 10.0, m);
    EXPECT_EQ(m.charFreqHz, characteristicFrequency(t, f));
    EXPECT_EQ(m.kneeFreqHz, kneeFrequency(t, f));
    EXPECT_NEAR(m.kneeTimeMs, 2.1, 1e-9);
    EXPECT_GT(m.charTimeMs, 0.6 * 5);
    EXPECT_LE(m.charTimeMs, 5.1 + 1e-9);
    // Octaves per second: the body falls 50 → 45 kHz in 3 ms; the first ms 80 → 65 kHz.
    EXPECT_NEAR(m.charSlopeOps, std::log2(50000.0 / 45000.0) / 0.003, 3);
    EXPECT_NEAR(m.initialSlopeOps, std::log2(80.0 / 65.0) / 0.001, 1);
    EXPECT_NEAR(m.meanFreqHz, (2 * 65000 + 3 * 47500) / 5.0, 1);
    EXPECT_LT(m.qualityPct, 0.3) << "straight pieces: smooth";

    std::vector<double> rough = f;
    for (std::size_t i = 0; i < rough.size(); ++i)
        rough[i] += (i % 2 ? 3000 : -3000);
    CallMeasures r;
    contourParameters(t, rough, 10.0, r);
    EXPECT_GT(r.qualityPct, 5) << "a contour that jumps about";

    CallMeasures up;  // a rising contour has negative slopes
    contourParameters({0, 0.25, 0.5, 0.75}, {40000, 42000, 44000, 46000}, 0, up);
    EXPECT_LT(up.initialSlopeOps, 0);
    EXPECT_LT(up.charSlopeOps, 0);
    CallMeasures one;
    contourParameters({3.0}, {50000}, 2.5, one);
    EXPECT_EQ(one.meanFreqHz, 50000);
    EXPECT_EQ(one.charTimeMs, 0.5);
    EXPECT_EQ(one.initialSlopeOps, 0);
}

TEST(CallTable, CsvAndSelectionTable)
{
    CallMeasures a;
    a.call = 1;
    a.startMs = 12.3456;
    a.endMs = 17.5;
    a.durationMs = 5.1544;
    a.maxFreqHz = 70123.44;
    a.minFreqHz = 45000;
    a.peakFreqHz = 50000;
    a.charFreqHz = 45500;
    a.kneeFreqHz = 52000;
    a.bandwidthHz = 25123.44;
    a.slopeKHzPerMs = 4.8;
    a.snrDb = 31.234;
    a.charTimeMs = 4.25;
    a.charSlopeOps = 12.345;
    a.initialSlopeOps = 250.5;
    a.kneeTimeMs = 1.5;
    a.meanFreqHz = 51000.04;
    a.qualityPct = 0.456;
    a.lowFreqHz = 44000;
    a.highFreqHz = 140500;
    CallMeasures b = a;
    b.call = 2;
    b.intervalMs = 90.5;
    EXPECT_EQ(callCsvHeader(), "file,call,start_ms,end_ms,duration_ms,max_freq_hz,min_freq_hz,peak_freq_hz,"
                               "char_freq_hz,knee_freq_hz,bandwidth_hz,slope_khz_per_ms,interval_ms,snr_db,"
                               "fc_hz,tc_ms,sc_ops,s1_ops,fk_hz,tk_ms,fmean_hz,qual_pct,tbc_ms,low_freq_hz,high_freq_hz\n");
    EXPECT_EQ(callCsvRow("a,b.wav", a),
              "\"a,b.wav\",1,12.346,17.500,5.154,70123.4,45000.0,50000.0,45500.0,52000.0,25123.4,4.800,,31.23,"
              "45500.0,4.250,12.35,250.50,52000.0,1.500,51000.0,0.46,,44000.0,140500.0\n");
    const std::string row = callCsvRow("x.wav", b);
    EXPECT_NE(row.find(",4.800,90.500,31.23,"), std::string::npos) << row;
    EXPECT_NE(row.find(",0.46,90.500,"), std::string::npos) << "TBC, the time between call starts";

    AnnotationTable table = emptyCallTable();
    appendCallsToTable(table, "one.wav", {a});
    appendCallsToTable(table, "two.wav", {a, b});
    const std::string text = writeSelectionTable(table);
    AnnotationTable back;
    std::string error;
    ASSERT_TRUE(readSelectionTable(text, back, error)) << error;
    ASSERT_EQ(back.rows.size(), 3u);
    EXPECT_NEAR(back.rows[2].beginSeconds, 0.0123456, 1e-6);
    EXPECT_NEAR(back.rows[2].highHz, 140500, 0.01) << "the box, harmonics included";
    ASSERT_FALSE(back.extraColumns.empty());
    EXPECT_EQ(back.extraColumns[0], "Begin File");
    EXPECT_EQ(back.rows[1].extra[0], "two.wav");

    const std::string copied = callTableText({a, b});
    EXPECT_EQ(copied.substr(0, copied.find("\r\n")),
              "Call\tStart (ms)\tEnd (ms)\tDuration (ms)\tMax freq (Hz)\tMin freq (Hz)\tPeak freq (Hz)\tChar freq "
              "(Hz)\tKnee freq (Hz)\tBandwidth (Hz)\tSlope (kHz/ms)\tInterval (ms)\tSNR (dB)\tFc (Hz)\tTc (ms)\tSc "
              "(OPS)\tS1 (OPS)\tFk (Hz)\tTk (ms)\tFmean (Hz)\tQual (%)\tTBC (ms)\tLow freq (Hz)\tHigh freq (Hz)");
}
