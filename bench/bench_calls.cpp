// The call detector over 60 s of 384 kHz sound (a 5 ms sweep every 100 ms),
// as a multiple of real time (the counter "x_realtime": seconds of sound per
// second of processor time on one core: the machines it runs on are shared,
// so processor time rather than wall time). Yardsticks in the same process: reading every
// sample as a float, and the bare FFTs of the detector's spectrogram (the
// same window size and hop, RealFft on windowed samples, nothing else).
#include "BenchSupport.h"
#include "display/RealFft.h"
#include "document/SampleCodec.h"
#include "pulse/CallDetector.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>
#include <numbers>
#include <vector>

namespace {

constexpr std::int64_t kSeconds = 60;
constexpr std::uint32_t kRate = 384000;

CVesSoundDoc& document()
{
    static vesbench::QuietHost host;
    static CVesSoundDoc doc(host);
    if (doc.lengthFrames() == 0)
        vesbench::appendSweepCalls(doc, kRate, kSeconds);
    return doc;
}

void realTime(benchmark::State& state)
{
    state.counters["x_realtime"] =
        benchmark::Counter(static_cast<double>(kSeconds) * static_cast<double>(state.iterations()),
                           benchmark::Counter::kIsRate);
}

void BM_CallDetector60s(benchmark::State& state)
{
    CVesSoundDoc& doc = document();
    for (auto _ : state) {
        CallCollector sink;
        detectCalls(doc, 0, -1, CallDetectorSettings{}, sink);
        if (sink.calls.size() < 590 || sink.calls.size() > 600)
            state.SkipWithError("not 600 calls");
        benchmark::DoNotOptimize(sink.calls.data());
    }
    realTime(state);
}

// Yardstick: the detector's FFTs alone.
void BM_SpectrogramFftsOnly60s(benchmark::State& state)
{
    CVesSoundDoc& doc = document();
    const CallDetectorSetup setup = makeCallDetectorSetup(kRate, CallDetectorSettings{});
    const int n = setup.fftSize;
    int order = 0;
    while ((1 << order) < n)
        ++order;
    std::vector<double> window(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i)
        window[static_cast<std::size_t>(i)] = 0.5 - 0.5 * std::cos(2 * std::numbers::pi * i / n);
    std::vector<float> samples(1 << 16);
    std::vector<double> buf(static_cast<std::size_t>(n));
    const std::int64_t chunkColumns = (static_cast<std::int64_t>(samples.size()) - n) / setup.hop + 1;
    for (auto _ : state) {
        SampleReader reader(doc, ChannelIndex::Left);
        double sum = 0;
        for (std::int64_t f = 0; f + n <= doc.lengthFrames(); f += chunkColumns * setup.hop) {
            reader.read(f, static_cast<std::int64_t>(samples.size()), samples.data());
            for (std::int64_t c = 0; c < chunkColumns && f + c * setup.hop + n <= doc.lengthFrames(); ++c) {
                const float* x = samples.data() + c * setup.hop;
                for (int i = 0; i < n; ++i)
                    buf[static_cast<std::size_t>(i)] = x[i] * window[static_cast<std::size_t>(i)];
                RealFft(buf.data(), order);
                sum += buf[1];
            }
        }
        benchmark::DoNotOptimize(sum);
    }
    realTime(state);
}

// Yardstick of the detector: every sample read as a float, a piece at a time.
void BM_ReadAllSamplesFloat60s(benchmark::State& state)
{
    CVesSoundDoc& doc = document();
    std::vector<float> buf(1 << 16);
    for (auto _ : state) {
        SampleReader reader(doc, ChannelIndex::Left);
        double sum = 0;
        for (std::int64_t f = 0; f < doc.lengthFrames(); f += static_cast<std::int64_t>(buf.size())) {
            reader.read(f, static_cast<std::int64_t>(buf.size()), buf.data());
            sum += buf[0];
        }
        benchmark::DoNotOptimize(sum);
    }
    realTime(state);
}

// Every sample read as a double in 16-bit units, 65536 frames at a time,
// against memcpy in the same process with the same pieces:
//   x_memcpy_in   memcpy of the stored 16-bit bytes read (from the store's
//                 mapped views into a buffer of their size) / the reading
//   x_memcpy_out  memcpy of as many bytes as the doubles written (4 x those,
//                 buffer to buffer) / the reading
// A ratio of 1 means reading runs as fast as that memcpy.
void BM_ReadAllSamples60s(benchmark::State& state)
{
    using Clock = std::chrono::steady_clock;
    CVesSoundDoc& doc = document();
    constexpr std::int64_t kPiece = 1 << 16;
    const std::int64_t frames = doc.lengthFrames();
    std::vector<double> buf(kPiece), source(kPiece, 1.0);
    std::vector<std::uint8_t> bytes(kPiece * 2);
    double readSeconds = 0, inSeconds = 0, outSeconds = 0;
    for (auto _ : state) {
        auto start = Clock::now();
        {
            SampleReader reader(doc, ChannelIndex::Left);
            double sum = 0;
            for (std::int64_t f = 0; f < frames; f += kPiece) {
                reader.read(f, kPiece, buf.data());
                sum += buf[0];
            }
            benchmark::DoNotOptimize(sum);
        }
        readSeconds += std::chrono::duration<double>(Clock::now() - start).count();

        start = Clock::now();
        for (std::int64_t f = 0; f < frames; f += kPiece) {
            const std::int64_t n = std::min(kPiece, frames - f) * 2;
            const FileViewRef view = doc.samples().readView(f * 2, f * 2 + n);
            if (!view || view.available() < n) {
                state.SkipWithError("store not mapped");
                return;
            }
            std::memcpy(bytes.data(), view.data(), static_cast<std::size_t>(n));
            benchmark::DoNotOptimize(bytes.data());
        }
        inSeconds += std::chrono::duration<double>(Clock::now() - start).count();

        start = Clock::now();
        for (std::int64_t f = 0; f < frames; f += kPiece) {
            std::memcpy(buf.data(), source.data(), static_cast<std::size_t>(kPiece) * sizeof(double));
            benchmark::DoNotOptimize(buf.data());
        }
        outSeconds += std::chrono::duration<double>(Clock::now() - start).count();
    }
    realTime(state);
    state.counters["read_ms"] = readSeconds * 1e3 / static_cast<double>(state.iterations());
    state.counters["x_memcpy_in"] = inSeconds / readSeconds;
    state.counters["x_memcpy_out"] = outSeconds / readSeconds;
}

}  // namespace

BENCHMARK(BM_CallDetector60s)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SpectrogramFftsOnly60s)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadAllSamplesFloat60s)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadAllSamples60s)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
