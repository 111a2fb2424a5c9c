// The column engine on a 1600-column spectrogram of 60 s of 384 kHz 16-bit
// sound (N = 512), with automatic overlap and with 50 % overlap, against the
// cost of the same number of 512-point FFTs alone, measured in the same run.
// The counter x_fft_only is the column time divided by the FFT-only time.
// VES_BENCH_KERNELS=portable, avx2 or avx512 forces the vector kernels
// (decoding, FFT and column loops) of a processor class.
#include "display/FftWindow.h"
#include "display/RealFft.h"
#include "display/ColumnEngine.h"
#include "core/AlignedAllocator.h"
#include "document/CVesSoundDoc.h"
#include "kernels/Kernels.h"
#include "BenchSupport.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

constexpr std::uint32_t kRate = 384000;
constexpr std::int64_t kSeconds = 60;

struct Recording {
    vesbench::QuietHost host;
    CVesSoundDoc doc{host};
    Recording() { vesbench::appendSweepCalls(doc, kRate, kSeconds); }
};

Recording& recording()
{
    static Recording r;
    return r;
}

class CountingSink : public IColumnSink {
public:
    long runs = 0;
    void column(const PlotColumn& c) override { runs += c.runCount; }
};

// What an empty interval between two clock readings measures, to take out of
// the batches below.
double clockCost()
{
    static const double cost = [] {
        constexpr int kReadings = 20000;
        double sum = 0;
        for (int i = 0; i < kReadings; ++i) {
            const auto start = std::chrono::steady_clock::now();
            sum += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        }
        return sum / kReadings;
    }();
    return cost;
}

// The yardstick: `count` transforms of a windowed frame of the sweep, in
// batches of a few frames that are refilled (untimed) before each batch, so
// that every transform sees ordinary sound. Transforming a frame's own
// output again would shrink it by sqrt(N) a time into denormal numbers,
// which are many times slower, and then into zeros, which are not.
double fftOnlySeconds(std::int64_t count, int m)
{
    constexpr int kBatch = 4;
    const int n = 1 << m;
    const auto size = static_cast<std::size_t>(n);
    std::vector<double> window(size), source(size);
    // Frames on cache lines, as the column engine holds its frame.
    vkit::AlignedVector<double> frames(size * kBatch);
    buildWindowTable(window.data(), n, 2);
    for (std::size_t i = 0; i < size; ++i)
        source[i] = 8000.0 * std::sin(0.3 * static_cast<double>(i) + 1e-4 * static_cast<double>(i * i)) * window[i];
    double seconds = 0;
    for (std::int64_t done = 0; done < count;) {
        const int batch = static_cast<int>(std::min<std::int64_t>(kBatch, count - done));
        for (int b = 0; b < batch; ++b)
            std::copy(source.begin(), source.end(), frames.begin() + static_cast<std::ptrdiff_t>(size) * b);
        benchmark::ClobberMemory();
        const auto start = std::chrono::steady_clock::now();
        for (int b = 0; b < batch; ++b) {
            RealFft(frames.data() + size * static_cast<std::size_t>(b), m);
            benchmark::DoNotOptimize(frames.data());
        }
        seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count() - clockCost();
        done += batch;
    }
    return seconds;
}

void runColumns(benchmark::State& state, int overlap)
{
    Recording& r = recording();
    VesAnaParms parms;
    parms.m_ampPlot = false;
    parms.m_spectPlot = true;
    parms.m_scale = true;
    parms.m_fftSize = 512;
    parms.m_fftOverLap = overlap;
    parms.m_plotSize = kSeconds * 1000000;
    parms.m_plotStart = 0;
    // 1735 x 600 pixels at 15 twips per pixel: 1600 columns.
    const PlotLayout layout = PrepareLayout(parms, SoundInfo::of(r.doc), PlotDevice::fromScreen(1735, 600, 150000));
    ColumnEngine engine(layout);
    CountingSink sink;
    // Each pass is followed by its yardstick, so that both see the same
    // machine (others' load on a shared host comes and goes within seconds).
    double seconds = 0, fft = 0;
    std::int64_t frames = 0;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        engine.compute(r.doc, 0, 0, layout.columns, sink);
        seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        state.PauseTiming();
        frames = engine.framesComputed();
        fft += fftOnlySeconds(frames, layout.spect.fftOrder);
        state.ResumeTiming();
    }
    const double perPass = seconds / static_cast<double>(state.iterations());
    fft /= static_cast<double>(state.iterations());
    state.counters["columns"] = layout.columns;
    state.counters["runs_per_column"] = static_cast<double>(sink.runs) / static_cast<double>(state.iterations()) / layout.columns;
    state.counters["ffts"] = static_cast<double>(frames);
    state.counters["fft_only_ms"] = fft * 1e3;
    state.counters["ns_per_fft"] = fft * 1e9 / static_cast<double>(frames);
    state.counters["x_fft_only"] = perPass / fft;
}

void BM_ColumnsAutomaticOverlap(benchmark::State& state)
{
    runColumns(state, -1);
}

void BM_Columns50PercentOverlap(benchmark::State& state)
{
    runColumns(state, 50);
}

BENCHMARK(BM_ColumnsAutomaticOverlap)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Columns50PercentOverlap)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv)
{
    setVectorKernels(vectorKernelsNamed(std::getenv("VES_BENCH_KERNELS")));
    std::printf("vector kernels: %s\n", vectorKernelsName(activeVectorKernels()));
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
