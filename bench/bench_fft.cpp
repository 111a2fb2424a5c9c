// RealFft against FFTW's real-to-complex transform (plan made with
// FFTW_MEASURE in the same process) for N = 64 ... 4096, and RealFft's
// portable kernels against its vector kernels. Read the results as ratios
// of the times at the same N. VES_BENCH_KERNELS=portable, avx2 or avx512
// forces the vector kernels of a processor class (kernels/Kernels.h) for
// every run but the portable one.
#include "core/AlignedAllocator.h"
#include "display/RealFft.h"
#include "kernels/Kernels.h"

#include <benchmark/benchmark.h>

#ifdef VES_HAVE_FFTW
#include <fftw3.h>
#endif

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

std::vector<double> testSignal(int n)
{
    std::vector<double> x(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i)
        x[static_cast<std::size_t>(i)] = 20000.0 * std::sin(0.37 * i) + 3000.0 * std::cos(1.91 * i);
    return x;
}

// The kernels chosen for the run (VES_BENCH_KERNELS, else the widest).
VectorKernels g_kernels = VectorKernels::Automatic;

void runRealFft(benchmark::State& state, VectorKernels kernels)
{
    setVectorKernels(kernels);
    const int m = static_cast<int>(state.range(0));
    const int n = 1 << m;
    const std::vector<double> input = testSignal(n);
    // On a cache line, as FFTW's buffers are (fftw_alloc) and the
    // spectrogram's frames are.
    vkit::AlignedVector<double> x(input.begin(), input.end());
    RealFft(x.data(), m);  // tables built outside the timing
    for (auto _ : state) {
        // Transforming the previous output keeps the values bounded (1/N scaling)
        // without a copy that the yardstick does not pay for either.
        RealFft(x.data(), m);
        benchmark::DoNotOptimize(x.data());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * n);
    setVectorKernels(g_kernels);
}

void BM_RealFft(benchmark::State& state)
{
    runRealFft(state, g_kernels);
}

void BM_RealFftPortable(benchmark::State& state)
{
    runRealFft(state, VectorKernels::Portable);
}

#ifdef VES_HAVE_FFTW
void BM_FftwR2c(benchmark::State& state)
{
    const int m = static_cast<int>(state.range(0));
    const int n = 1 << m;
    double* in = fftw_alloc_real(static_cast<std::size_t>(n));
    fftw_complex* out = fftw_alloc_complex(static_cast<std::size_t>(n / 2 + 1));
    fftw_plan plan = fftw_plan_dft_r2c_1d(n, in, out, FFTW_MEASURE);
    const std::vector<double> input = testSignal(n);
    std::copy(input.begin(), input.end(), in);
    for (auto _ : state) {
        fftw_execute(plan);
        benchmark::DoNotOptimize(out);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * n);
    fftw_destroy_plan(plan);
    fftw_free(in);
    fftw_free(out);
}
BENCHMARK(BM_FftwR2c)->DenseRange(6, 12);

// Both transforms alternately in blocks within each iteration, so that load
// from other processes falls on both alike: the counter ratio is RealFft's
// time over FFTW's, ratio_best that of their fastest blocks.
void BM_RatioToFftw(benchmark::State& state)
{
    const int m = static_cast<int>(state.range(0));
    const int n = 1 << m;
    double* in = fftw_alloc_real(static_cast<std::size_t>(n));
    fftw_complex* out = fftw_alloc_complex(static_cast<std::size_t>(n / 2 + 1));
    fftw_plan plan = fftw_plan_dft_r2c_1d(n, in, out, FFTW_MEASURE);
    const std::vector<double> input = testSignal(n);
    std::copy(input.begin(), input.end(), in);
    vkit::AlignedVector<double> x(input.begin(), input.end());  // on a cache line, as above
    RealFft(x.data(), m);
    const int block = std::max(1, 65536 / n);
    double ours = 0, theirs = 0;
    // On a loaded machine some blocks lose the processor part of the time;
    // the fastest block of each is the time without such losses.
    double oursBest = 1e30, theirsBest = 1e30;
    for (auto _ : state) {
        auto t0 = std::chrono::steady_clock::now();
        for (int i = 0; i < block; ++i) {
            fftw_execute(plan);
            benchmark::DoNotOptimize(out);
            benchmark::ClobberMemory();
        }
        auto t1 = std::chrono::steady_clock::now();
        for (int i = 0; i < block; ++i) {
            RealFft(x.data(), m);
            benchmark::DoNotOptimize(x.data());
            benchmark::ClobberMemory();
        }
        auto t2 = std::chrono::steady_clock::now();
        const double theirBlock = std::chrono::duration<double>(t1 - t0).count();
        const double ourBlock = std::chrono::duration<double>(t2 - t1).count();
        theirs += theirBlock;
        ours += ourBlock;
        theirsBest = std::min(theirsBest, theirBlock);
        oursBest = std::min(oursBest, ourBlock);
    }
    const double calls = static_cast<double>(state.iterations()) * block;
    state.counters["fftw_ns"] = theirs / calls * 1e9;
    state.counters["ours_ns"] = ours / calls * 1e9;
    state.counters["ratio"] = ours / theirs;
    state.counters["ratio_best"] = oursBest / theirsBest;
    fftw_destroy_plan(plan);
    fftw_free(in);
    fftw_free(out);
}
BENCHMARK(BM_RatioToFftw)->DenseRange(6, 12)->Unit(benchmark::kMicrosecond);
#endif

BENCHMARK(BM_RealFft)->DenseRange(6, 12);
BENCHMARK(BM_RealFftPortable)->DenseRange(6, 12);

}  // namespace

int main(int argc, char** argv)
{
    g_kernels = vectorKernelsNamed(std::getenv("VES_BENCH_KERNELS"));
    setVectorKernels(g_kernels);
    std::printf("vector kernels: %s\n", vectorKernelsName(activeVectorKernels()));
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
