// The power spectrum of 60 s of 384 kHz sound at N = 1024, as a multiple of
// real time (the counter "x_realtime": seconds of sound per second of work).
#include "document/CVesSoundDoc.h"
#include "BenchSupport.h"
#include "power/PowerCalc.h"
#include "soundfiles/DemoRecording.h"

#include <benchmark/benchmark.h>

#include <cstdio>

namespace {

using vesbench::QuietHost;

void BM_PowerSpectrum60s(benchmark::State& state)
{
    QuietHost host;
    CVesSoundDoc doc(host);
    DemoRecordingSpec spec;
    spec.durationSec = 60;
    const auto samples = synthesizeDemoSamples(spec);
    doc.setFormat(SoundFormat::pcm(1, 16, spec.rateHz));
    doc.appendSamples(samples.data(), static_cast<std::int64_t>(samples.size() * 2));
    PowerRequest req{0, -1, ChannelIndex::Left, static_cast<int>(state.range(0)), 2};
    for (auto _ : state) {
        const PowerResult r = computePowerSpectrum(doc, req);
        benchmark::DoNotOptimize(r.power.data());
    }
    state.counters["x_realtime"] = benchmark::Counter(60.0 * static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

}  // namespace

BENCHMARK(BM_PowerSpectrum60s)->Arg(1024)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_MAIN();
