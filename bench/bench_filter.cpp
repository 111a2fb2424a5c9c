// Filtering 60 s of 384 kHz 16-bit sound in place on the sample store with an
// 8th-order elliptic band-pass (four sections), against a memcpy of the same
// bytes and against the bare section loop over doubles already in memory, all
// in the same run. The counter "MS/s" is millions of samples a second; compare
// it with scipy.signal.sosfilt on the same machine (bench/sosfilt_throughput.py).
#include "BenchSupport.h"
#include "filter/FilterDesign.h"
#include "filter/FilterDocument.h"

#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

namespace {

constexpr std::uint32_t kRate = 384000;
constexpr std::int64_t kSeconds = 60;
constexpr std::int64_t kFrames = kRate * kSeconds;

using vesbench::QuietHost;

SosCascade bandPass()
{
    FilterRecord r;
    r.type = FilterType::Elliptic;
    r.band = FilterBand::BandPass;
    r.order = 8;
    r.bandPassLowHz = 20000;
    r.bandPassHighHz = 60000;
    r.rippleTenthDb = 5;
    r.stopbandDb = -50;
    return designFilter(r, filterNyquistHz(kRate, 1000)).sections;
}

void BM_FilterDocument(benchmark::State& state)
{
    QuietHost host;
    CVesSoundDoc doc(host);
    vesbench::appendSweepCalls(doc, kRate, kSeconds);
    const SosCascade filter = bandPass();
    for (auto _ : state) {
        if (!filterDocument(doc, 0, kFrames, ChannelSel::Both, filter))
            state.SkipWithError("filtering failed");
    }
    state.counters["MS/s"] = benchmark::Counter(static_cast<double>(kFrames) * static_cast<double>(state.iterations()) / 1e6,
                                               benchmark::Counter::kIsRate);
    state.SetBytesProcessed(state.iterations() * kFrames * 2);
}
BENCHMARK(BM_FilterDocument)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_SectionLoopInMemory(benchmark::State& state)
{
    const SosCascade filter = bandPass();
    std::vector<double> x(static_cast<std::size_t>(kFrames));
    for (std::size_t i = 0; i < x.size(); ++i)
        x[i] = static_cast<double>((i * 7919) % 2001) - 1000;
    for (auto _ : state) {
        // The plain sample-by-sample cascade, as scipy runs it.
        std::vector<double> s1(filter.sections().size()), s2(filter.sections().size());
        for (double& v : x) {
            double in = v;
            for (std::size_t k = 0; k < filter.sections().size(); ++k) {
                const Biquad& q = filter.sections()[k];
                const double y = q.b0 * in + s1[k];
                s1[k] = q.b1 * in - q.a1 * y + s2[k];
                s2[k] = q.b2 * in - q.a2 * y;
                in = y;
            }
            v = in;
        }
        benchmark::DoNotOptimize(x.data());
    }
    state.counters["MS/s"] = benchmark::Counter(static_cast<double>(kFrames) * static_cast<double>(state.iterations()) / 1e6,
                                               benchmark::Counter::kIsRate);
}
BENCHMARK(BM_SectionLoopInMemory)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_MemcpySameBytes(benchmark::State& state)
{
    std::vector<char> a(static_cast<std::size_t>(kFrames) * 2, 1), b(a.size());
    for (auto _ : state) {
        std::memcpy(b.data(), a.data(), a.size());
        benchmark::DoNotOptimize(b.data());
    }
    state.SetBytesProcessed(state.iterations() * kFrames * 2);
}
BENCHMARK(BM_MemcpySameBytes)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
