// Pulse characteristics over 60 s of 384 kHz sound holding 100 calls, as a
// multiple of real time (the counter "x_realtime": seconds of sound per
// second of work). The time-domain scan alone and reading every sample as a
// double (the yardstick) run beside it, as do the pulse length histogram.
#include "document/CVesSoundDoc.h"
#include "BenchSupport.h"
#include "pulse/PulseAnalysis.h"
#include "pulse/RateHistogram.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <numbers>
#include <vector>

namespace {

constexpr double kSeconds = 60;
constexpr double kRate = 384000;

using vesbench::QuietHost;

// 100 calls, one every 0.6 s: 5 ms sweeps from 80 to 40 kHz at half scale
// with a second harmonic, over white noise at -54 dB.
CVesSoundDoc& document()
{
    static QuietHost host;
    static CVesSoundDoc doc(host);
    if (doc.lengthFrames() == 0) {
        const auto frames = static_cast<std::size_t>(kSeconds * kRate);
        std::vector<std::int16_t> s(frames);
        std::uint32_t state = 1;
        for (auto& v : s) {
            state = state * 1664525u + 1013904223u;
            v = static_cast<std::int16_t>((static_cast<double>(state >> 8) / 16777216.0 - 0.5) * 2.0 * 0.002 * 32767);
        }
        const double d = 0.005;
        for (int c = 0; c < 100; ++c) {
            const auto first = static_cast<std::size_t>((0.3 + 0.6 * c) * kRate);
            for (std::size_t i = 0; i < static_cast<std::size_t>(d * kRate); ++i) {
                const double t = static_cast<double>(i) / kRate;
                const double phase = 2 * std::numbers::pi * (80000 * t - 40000 * t * t / (2 * d));
                const double x = 0.5 * (std::sin(phase) + 0.2 * std::sin(2 * phase));
                s[first + i] = static_cast<std::int16_t>(std::clamp(s[first + i] + x * 32767, -32768.0, 32767.0));
            }
        }
        doc.setFormat(SoundFormat::pcm(1, 16, static_cast<std::uint32_t>(kRate)));
        doc.appendSamples(s.data(), static_cast<std::int64_t>(s.size() * 2));
        doc.setLengthFrames(doc.lengthFrames());
    }
    return doc;
}

VesPulsParms settings(bool spectrum)
{
    VesPulsParms p;
    p.m_ampThres = -1200;
    p.m_ampSeparationMySec = 500;
    p.m_durTimeMySec = 1000;
    p.m_fftSize = 256;
    p.m_fftOverlap = 192;
    p.m_fftWindow = 2;
    p.m_freqSeparation = 3000;
    p.m_startTime = p.m_stopTime = p.m_duration = true;
    p.m_freqMax = p.m_freqMin = p.m_freqStrong = p.m_ampMaxAmp = spectrum;
    return p;
}

void realTime(benchmark::State& state)
{
    state.counters["x_realtime"] = benchmark::Counter(kSeconds * static_cast<double>(state.iterations()),
                                                      benchmark::Counter::kIsRate);
}

void BM_PulseCharacteristics60s(benchmark::State& state)
{
    CVesSoundDoc& doc = document();
    PulseRequest req;
    req.parms = settings(state.range(0) != 0);
    for (auto _ : state) {
        PulseCollector rows;
        analysePulses(doc, req, rows);
        if (rows.rows.size() != 100)
            state.SkipWithError("not 100 pulses");
        benchmark::DoNotOptimize(rows.rows.data());
    }
    realTime(state);
}

void BM_PulseLengthHistogram60s(benchmark::State& state)
{
    CVesSoundDoc& doc = document();
    for (auto _ : state) {
        VesRateParms p;
        p.m_intervalMode = false;
        p.m_delay = 1;
        RateHistogram h;
        h.prepare(p, doc, 0, doc.lengthFrames());
        h.calculate(doc, p);
        benchmark::DoNotOptimize(h.total);
    }
    realTime(state);
}

// Yardstick: every sample read as a double, a piece at a time.
void BM_ReadAllSamples60s(benchmark::State& state)
{
    CVesSoundDoc& doc = document();
    std::vector<double> buf(1 << 16);
    for (auto _ : state) {
        double sum = 0;
        for (std::int64_t f = 0; f < doc.lengthFrames(); f += static_cast<std::int64_t>(buf.size())) {
            const auto n = doc.readFramesAsDouble(f, static_cast<std::int64_t>(buf.size()), ChannelIndex::Left, buf.data());
            sum += buf[static_cast<std::size_t>(n - 1)];
        }
        benchmark::DoNotOptimize(sum);
    }
    realTime(state);
}

}  // namespace

BENCHMARK(BM_PulseCharacteristics60s)->ArgName("spectrum")->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_PulseLengthHistogram60s)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ReadAllSamples60s)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_MAIN();
