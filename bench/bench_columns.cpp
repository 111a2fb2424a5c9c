// The column engine on a 1600-column spectrogram of 60 s of 384 kHz 16-bit
// sound (N = 512), with automatic overlap and with 50 % overlap, against the
// cost of the same number of 512-point FFTs alone, measured in the same run.
// The counter x_fft_only is the column time divided by the FFT-only time.
#include "display/FftWindow.h"
#include "display/RealFft.h"
#include "display/ColumnEngine.h"
#include "document/CVesSoundDoc.h"
#include "BenchSupport.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cmath>
#include <cstdio>
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

double fftOnlySeconds(std::int64_t count, int m)
{
    const int n = 1 << m;
    std::vector<double> window(static_cast<std::size_t>(n)), frame(static_cast<std::size_t>(n));
    buildWindowTable(window.data(), n, 2);
    for (int i = 0; i < n; ++i)
        frame[static_cast<std::size_t>(i)] = std::sin(0.3 * i);
    const auto start = std::chrono::steady_clock::now();
    for (std::int64_t k = 0; k < count; ++k) {
        RealFft(frame.data(), m);
        benchmark::DoNotOptimize(frame.data());
    }
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
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
    double seconds = 0;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        engine.compute(r.doc, 0, 0, layout.columns, sink);
        seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    }
    const std::int64_t frames = engine.framesComputed();
    const double perPass = seconds / static_cast<double>(state.iterations());
    const double fft = fftOnlySeconds(frames, layout.spect.fftOrder);
    state.counters["columns"] = layout.columns;
    state.counters["ffts"] = static_cast<double>(frames);
    state.counters["fft_only_ms"] = fft * 1e3;
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

BENCHMARK_MAIN();
