// Writing then reading 1 GiB through the growable store, against memcpy of
// the same bytes between two buffers.
#include "core/FileCls.h"

#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

namespace {

constexpr std::int64_t kTotal = 1LL << 30;
constexpr std::int64_t kChunk = 4 << 20;

std::vector<char>& source()
{
    static std::vector<char> buf = [] {
        std::vector<char> b(kChunk);
        for (std::size_t i = 0; i < b.size(); ++i)
            b[i] = static_cast<char>(i * 31);
        return b;
    }();
    return buf;
}

void BM_MemcpyYardstick(benchmark::State& state)
{
    std::vector<char> a(kTotal), b(kTotal);
    const auto& src = source();
    for (std::int64_t p = 0; p < kTotal; p += kChunk)
        std::memcpy(a.data() + p, src.data(), kChunk);  // fault the pages in before timing
    std::memset(b.data(), 0, kTotal);
    for (auto _ : state) {
        // The same traffic as the store: 1 GiB in, 1 GiB out.
        for (std::int64_t p = 0; p < kTotal; p += kChunk)
            std::memcpy(a.data() + p, src.data(), kChunk);
        for (std::int64_t p = 0; p < kTotal; p += kChunk)
            std::memcpy(b.data() + p, a.data() + p, kChunk);
        benchmark::DoNotOptimize(b.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * 2 * kTotal);
}

void BM_FileClsWriteRead(benchmark::State& state)
{
    const auto& src = source();
    std::vector<char> dst(kChunk);
    for (auto _ : state) {
        FileCls f;
        if (!f.createTemp("VpBench", 0, FileCls::kStoreGrowthStep)) {
            state.SkipWithError("cannot create the store");
            return;
        }
        for (std::int64_t p = 0; p < kTotal; p += kChunk)
            f.write(src.data(), kChunk, -1);
        for (std::int64_t p = 0; p < kTotal; p += kChunk)
            f.read(dst.data(), kChunk, p);
        benchmark::DoNotOptimize(dst.data());
    }
    state.SetBytesProcessed(state.iterations() * 2 * kTotal);
}

void BM_FileClsViewsWriteRead(benchmark::State& state)
{
    const auto& src = source();
    std::vector<char> dst(kChunk);
    for (auto _ : state) {
        FileCls f;
        if (!f.createTemp("VpBench", 0, FileCls::kStoreGrowthStep) || !f.setLength(kTotal)) {
            state.SkipWithError("cannot create the store");
            return;
        }
        for (std::int64_t p = 0; p < kTotal;) {
            FileViewRef v = f.writeView(p, p + 1);
            const std::int64_t n = std::min({v.available(), kTotal - p, kChunk});
            std::memcpy(v.data(), src.data(), static_cast<std::size_t>(n));
            p += n;
        }
        for (std::int64_t p = 0; p < kTotal;) {
            FileViewRef v = f.readView(p, p + 1);
            const std::int64_t n = std::min({v.available(), kTotal - p, kChunk});
            std::memcpy(dst.data(), v.data(), static_cast<std::size_t>(n));
            p += n;
        }
        benchmark::DoNotOptimize(dst.data());
    }
    state.SetBytesProcessed(state.iterations() * 2 * kTotal);
}

}  // namespace

BENCHMARK(BM_MemcpyYardstick)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_FileClsWriteRead)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_FileClsViewsWriteRead)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK_MAIN();
