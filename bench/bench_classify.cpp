// Species classification speed: calls labelled per second on one core by a
// model of ten synthetic species (counter "calls_per_s"), with the call
// features alone as the yardstick (what the trees add to reading the
// measurements), and one training with 5-fold cross-validation.
#include "classify/CallFeatures.h"
#include "classify/Classifier.h"

#include <benchmark/benchmark.h>

#include <random>
#include <vector>

namespace {

using namespace classify;

// Ten species, each a step away from the last in characteristic frequency,
// duration or bandwidth, with a few percent of scatter in every measurement.
CallMeasures call(int species, double startMs, std::mt19937& rng)
{
    std::normal_distribution<double> j(1.0, 0.04);
    const double fc = (30 + 6 * (species % 5)) * 1000 * j(rng);
    const double dur = (species < 5 ? 4 : 7) * j(rng);
    const double bw = (20 + 4 * (species % 3)) * 1000 * j(rng);
    CallMeasures c;
    c.startMs = startMs;
    c.durationMs = dur;
    c.endMs = startMs + dur;
    c.charFreqHz = fc;
    c.minFreqHz = fc * 0.97;
    c.bandwidthHz = bw;
    c.maxFreqHz = c.minFreqHz + bw;
    c.peakFreqHz = c.minFreqHz + 0.3 * bw;
    c.kneeFreqHz = c.minFreqHz + 0.2 * bw;
    c.meanFreqHz = c.minFreqHz + 0.35 * bw;
    c.lowFreqHz = c.minFreqHz;
    c.highFreqHz = c.maxFreqHz;
    c.slopeKHzPerMs = bw / 1000 / dur;
    c.charTimeMs = 0.8 * dur;
    c.kneeTimeMs = 0.4 * dur;
    c.charSlopeOps = 20 * j(rng);
    c.initialSlopeOps = 200 * j(rng);
    c.qualityPct = 0.5 * j(rng);
    c.snrDb = 30 * j(rng);
    c.prominenceDb = 25 * j(rng);
    c.intervalMs = 90 * j(rng);
    return c;
}

std::vector<LabelledCall> trainingSet()
{
    std::mt19937 rng(1);
    std::vector<LabelledCall> out;
    for (int s = 0; s < 10; ++s)
        for (int r = 0; r < 5; ++r)
            for (int k = 0; k < 60; ++k)
                out.push_back({"s" + std::to_string(s) + "r" + std::to_string(r), "species" + std::to_string(s),
                               call(s, k * 90.0, rng)});
    return out;
}

const Classifier& classifier()
{
    static const Classifier c(train(trainingSet(), TrainOptions{}));
    return c;
}

// 10 000 calls of mixed species in passes of 20.
const std::vector<CallMeasures>& calls()
{
    static const std::vector<CallMeasures> out = [] {
        std::mt19937 rng(2);
        std::vector<CallMeasures> v;
        for (int i = 0; i < 10000; ++i)
            v.push_back(call((i / 20) % 10, i * 90.0 + (i / 20) * 2000.0, rng));
        return v;
    }();
    return out;
}

void BM_ClassifyCalls(benchmark::State& state)
{
    const Classifier& c = classifier();
    std::vector<CallLabel> labels;
    std::vector<PassLabel> passes;
    for (auto _ : state) {
        c.classify(calls(), labels, passes);
        benchmark::DoNotOptimize(labels.data());
    }
    state.counters["calls_per_s"] =
        benchmark::Counter(static_cast<double>(calls().size() * state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_ClassifyCalls)->Unit(benchmark::kMillisecond);

void BM_FeaturesOnly(benchmark::State& state)
{
    std::vector<float> x(calls().size() * kFeatureCount);
    for (auto _ : state) {
        for (std::size_t i = 0; i < calls().size(); ++i)
            callFeatures(calls()[i], &x[i * kFeatureCount]);
        benchmark::DoNotOptimize(x.data());
    }
    state.counters["calls_per_s"] =
        benchmark::Counter(static_cast<double>(calls().size() * state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_FeaturesOnly)->Unit(benchmark::kMillisecond);

void BM_TrainTenSpecies(benchmark::State& state)
{
    const auto set = trainingSet();
    ClassifierModel m;
    for (auto _ : state)
        m = train(set, TrainOptions{});
    // The cross-validated figures of the ten synthetic species, beside the time.
    state.counters["pass_accuracy"] = m.summary.passAccuracy;
    state.counters["pass_no_id"] = m.summary.passNoId;
    state.counters["call_accuracy"] = m.summary.callAccuracy;
    state.counters["call_no_id"] = m.summary.callNoId;
}
BENCHMARK(BM_TrainTenSpecies)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace

BENCHMARK_MAIN();
