// Opening (importing into the sample store) a 1 GiB 16-bit wave and saving it
// again, against copying the same file with copy_file_range and with plain
// read/write, all in the same run. With VES_BENCH_RUNS set, each save's and
// its yardstick's time is printed.
#include "document/CVesSoundDoc.h"
#include "BenchSupport.h"
#include "soundfiles/RiffFile.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <numeric>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr std::int64_t kDataBytes = 1LL << 30;

using vesbench::QuietHost;

// Seconds per iteration of the memmove yardstick, for the ratios of the edits after it.
double g_memmoveSeconds = 0;

double secondsSince(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// The run's speed against its yardstick's: 1 is as fast, above 1 faster.
void setRatio(benchmark::State& state, const char* name, double yardstickSeconds, double seconds)
{
    if (yardstickSeconds > 0 && seconds > 0 && state.iterations() > 0)
        state.counters[name] = yardstickSeconds / (seconds / static_cast<double>(state.iterations()));
}

// A MiB of the samples the benchmarks' recordings repeat.
std::vector<std::int16_t> sampleBlock()
{
    std::vector<std::int16_t> block(1 << 20);
    for (std::size_t i = 0; i < block.size(); ++i)
        block[i] = static_cast<std::int16_t>((i * 7919) & 0x7fff);
    return block;
}

const std::string& sourceFile()
{
    static const std::string path = [] {
        const char* tmp = std::getenv("TMPDIR");
        std::string p = std::string(tmp && *tmp ? tmp : "/tmp") + "/vesperon-bench-1g.wav";
        struct stat st {};
        if (::stat(p.c_str(), &st) == 0 && st.st_size == kDataBytes + 44)
            return p;
        WaveFile w;
        w.setFormat({1, 1, 384000, 768000, 2, 16});
        std::FILE* f = std::fopen(p.c_str(), "wb");
        w.writeWaveHeader(f, nullptr, kDataBytes);
        const std::vector<std::int16_t> block = sampleBlock();
        for (std::int64_t done = 0; done < kDataBytes; done += static_cast<std::int64_t>(block.size() * 2))
            std::fwrite(block.data(), 2, block.size(), f);
        std::fclose(f);
        return p;
    }();
    return path;
}

std::string target()
{
    return sourceFile() + ".out";
}

// The whole source file copied with copy_file_range and made durable with
// fsync: over `path` in place (truncating it first), or, as a save replaces
// a file, into a new file beside it that is then renamed over `path` (the
// directory synced too); seconds taken.
//
// The two differ in more than the rename. Truncating frees the old copy's
// page cache just before the new copy needs as much again, and gets those
// same pages back. A replacing copy keeps the old file until the rename, so
// its pages come from the free pool. In a virtual machine that hands free
// memory back to its host (free page reporting), such pages cost the host a
// fault and a clearing each, which can take longer than the copy itself.
// A save is timed against the replacing copy: the same bytes, the same
// durability, the same memory.
double copyFileRangeOnce(const std::string& path, bool replace)
{
    const auto start = std::chrono::steady_clock::now();
    const std::string written = replace ? path + ".new" : path;
    const int in = ::open(sourceFile().c_str(), O_RDONLY);
    const int out = ::open(written.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    std::int64_t left = kDataBytes + 44;
    while (left > 0) {
        const ssize_t n = ::copy_file_range(in, nullptr, out, nullptr, static_cast<size_t>(left), 0);
        if (n <= 0)
            break;
        left -= n;
    }
    ::fsync(out);
    ::close(in);
    ::close(out);
    if (replace) {
        ::rename(written.c_str(), path.c_str());
        const std::string dir = path.substr(0, path.find_last_of('/') + 1);
        const int d = ::open(dir.empty() ? "." : dir.c_str(), O_RDONLY | O_DIRECTORY);
        ::fsync(d);
        ::close(d);
    }
    return secondsSince(start);
}

void BM_CopyFileRange(benchmark::State& state)
{
    for (auto _ : state)
        copyFileRangeOnce(target(), false);
    state.SetBytesProcessed(state.iterations() * kDataBytes);
}

void BM_ReadWriteCopy(benchmark::State& state)
{
    std::vector<char> buf(4 << 20);
    for (auto _ : state) {
        const int in = ::open(sourceFile().c_str(), O_RDONLY);
        const int out = ::open(target().c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        ssize_t n;
        while ((n = ::read(in, buf.data(), buf.size())) > 0)
            if (::write(out, buf.data(), static_cast<size_t>(n)) != n)
                break;
        ::fsync(out);
        ::close(in);
        ::close(out);
    }
    state.SetBytesProcessed(state.iterations() * kDataBytes);
}

void BM_DocumentOpen(benchmark::State& state)
{
    QuietHost host;
    for (auto _ : state) {
        CVesSoundDoc doc(host);
        if (!doc.open(sourceFile()))
            state.SkipWithError("open failed");
        benchmark::DoNotOptimize(doc.lengthFrames());
    }
    state.SetBytesProcessed(state.iterations() * kDataBytes);
}

// Times saves of `doc` as type state.range(0) over target(), each followed
// by its yardsticks over files of their own: a shared disk's speed comes and
// goes, and all should meet the same disk. All replace a file of the same
// size, which costs its freeing too. The replacing copy is always run; the
// in-place one when `inPlace` holds.
void timeSaves(benchmark::State& state, CVesSoundDoc& doc, bool inPlace)
{
    const std::string replaced = target() + ".yardstick";
    const std::string inPlaceTarget = target() + ".yardstick-in-place";
    // Each is run once untimed first, so that none of them pays alone for
    // memory the machine has not used before.
    if (!doc.save(target(), state.range(0))) {
        state.SkipWithError("save failed");
        return;
    }
    copyFileRangeOnce(replaced, true);
    if (inPlace)
        copyFileRangeOnce(inPlaceTarget, false);
    // Besides the ratio of the means, the ratios of the best and of the
    // median runs: a run that meets such memory (or a neighbour's burst on
    // the disk) can take three times as long as the next, whichever of the
    // three it is, and one such run moves the means by half.
    std::vector<double> saves, copies;
    double copyingInPlace = 0;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        if (!doc.save(target(), state.range(0)))
            state.SkipWithError("save failed");
        saves.push_back(secondsSince(start));
        state.PauseTiming();
        copies.push_back(copyFileRangeOnce(replaced, true));
        if (std::getenv("VES_BENCH_RUNS") != nullptr)
            std::fprintf(stderr, "save %.0f ms, copy %.0f ms\n", saves.back() * 1e3, copies.back() * 1e3);
        state.ResumeTiming();
    }
    // The in-place copies after the others: truncating gets its own pages
    // back, and run in between it would leave the save different memory
    // from the replacing copy's.
    if (inPlace)
        for (std::size_t i = 0; i < saves.size(); ++i)
            copyingInPlace += copyFileRangeOnce(inPlaceTarget, false);
    std::remove(replaced.c_str());
    const auto sum = [](const std::vector<double>& v) { return std::accumulate(v.begin(), v.end(), 0.0); };
    const auto median = [](std::vector<double> v) {
        std::sort(v.begin(), v.end());
        return v.empty() ? 0.0 : v[v.size() / 2];
    };
    const auto n = static_cast<double>(saves.size());
    setRatio(state, "x_copy_file_range", sum(copies) / n, sum(saves));
    if (inPlace) {
        std::remove(inPlaceTarget.c_str());
        setRatio(state, "x_copy_file_range_in_place", copyingInPlace / n, sum(saves));
    }
    if (!saves.empty()) {
        state.counters["x_copy_file_range_best"] =
            *std::min_element(copies.begin(), copies.end()) / *std::min_element(saves.begin(), saves.end());
        state.counters["x_copy_file_range_median"] = median(copies) / median(saves);
    }
}

void BM_DocumentSave(benchmark::State& state)
{
    QuietHost host;
    CVesSoundDoc doc(host);
    // A document that has been open a while: its samples are in its store,
    // and written back to disk like the yardstick's source file.
    if (!doc.open(sourceFile()) || !doc.finishBackgroundCopy()) {
        state.SkipWithError("open failed");
        return;
    }
    ::sync();
    timeSaves(state, doc, true);
    state.SetBytesProcessed(state.iterations() * kDataBytes);
}

// A document whose samples were written into a fresh store, as an import
// or a recording leaves it, saved as a plain wave and in the program's own
// format, against the replacing copy of the same bytes. Its bytes begin a
// page, so the copy out is not page to page (unlike an opened wave's).
void BM_FreshStoreSave(benchmark::State& state)
{
    QuietHost host;
    CVesSoundDoc doc(host);
    doc.setFormat(SoundFormat::pcm(1, 16, 384000));
    const std::vector<std::int16_t> block = sampleBlock();
    for (std::int64_t done = 0; done < kDataBytes; done += static_cast<std::int64_t>(block.size() * 2))
        doc.appendSamples(block.data(), static_cast<std::int64_t>(block.size() * 2));
    doc.setLengthFrames(kDataBytes / 2);
    ::sync();
    timeSaves(state, doc, false);
    state.SetBytesProcessed(state.iterations() * kDataBytes);
}

}  // namespace

BENCHMARK(BM_CopyFileRange)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
BENCHMARK(BM_ReadWriteCopy)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
// Opening reads the samples from the file at once; the background copy into
// the document's store, waited for here, is the cost of one file copy.
void BM_DocumentOpenAndCopy(benchmark::State& state)
{
    QuietHost host;
    for (auto _ : state) {
        CVesSoundDoc doc(host);
        if (!doc.open(sourceFile()) || !doc.finishBackgroundCopy())
            state.SkipWithError("open failed");
        benchmark::DoNotOptimize(doc.lengthFrames());
    }
    state.SetBytesProcessed(state.iterations() * kDataBytes);
}

BENCHMARK(BM_DocumentOpen)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
BENCHMARK(BM_DocumentOpenAndCopy)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
BENCHMARK(BM_DocumentSave)->Arg(1)->Arg(9)->Unit(benchmark::kMillisecond)->Iterations(7)->UseRealTime();
BENCHMARK(BM_FreshStoreSave)->Arg(1)->Arg(9)->Unit(benchmark::kMillisecond)->Iterations(7)->UseRealTime();
BENCHMARK_MAIN();

namespace {

// Deleting the first second of a 1 GiB recording and undoing it moves the
// rest of the recording twice; the yardstick is memmove of the same bytes,
// twice, in memory.
void BM_MemmoveYardstick(benchmark::State& state)
{
    const std::int64_t second = 768000;
    std::vector<char> buf(kDataBytes);
    for (std::int64_t i = 0; i < kDataBytes; i += 4096)
        buf[static_cast<size_t>(i)] = static_cast<char>(i);
    const auto start = std::chrono::steady_clock::now();
    for (auto _ : state) {
        std::memmove(buf.data(), buf.data() + second, static_cast<size_t>(kDataBytes - second));
        std::memmove(buf.data() + second, buf.data(), static_cast<size_t>(kDataBytes - second));
        benchmark::ClobberMemory();
    }
    g_memmoveSeconds = secondsSince(start) / static_cast<double>(state.iterations());
    state.SetBytesProcessed(state.iterations() * 2 * (kDataBytes - second));
}

void BM_DeleteFirstSecondAndUndo(benchmark::State& state)
{
    QuietHost host;
    CVesSoundDoc doc(host);
    // A document that has been open a while: its samples are in its store.
    if (!doc.open(sourceFile()) || !doc.finishBackgroundCopy()) {
        state.SkipWithError("open failed");
        return;
    }
    const std::int64_t second = doc.format().samplesPerSec;
    const auto start = std::chrono::steady_clock::now();
    for (auto _ : state) {
        if (!doc.deleteRange(0, second, ChannelSel::Both) || !doc.undo())
            state.SkipWithError("edit failed");
    }
    setRatio(state, "x_memmove", g_memmoveSeconds, secondsSince(start));
    state.SetBytesProcessed(state.iterations() * 2 * (kDataBytes - second * 2));
}

// A second deleted from the middle and put back: half of the recording moves
// each way (the shorter side), against memmove of those bytes (half the
// yardstick's).
void BM_DeleteMiddleSecondAndUndo(benchmark::State& state)
{
    QuietHost host;
    CVesSoundDoc doc(host);
    if (!doc.open(sourceFile()) || !doc.finishBackgroundCopy()) {
        state.SkipWithError("open failed");
        return;
    }
    const std::int64_t second = doc.format().samplesPerSec;
    const std::int64_t middle = doc.lengthFrames() / 2;
    const auto start = std::chrono::steady_clock::now();
    for (auto _ : state) {
        if (!doc.deleteRange(middle, middle + second, ChannelSel::Both) || !doc.undo())
            state.SkipWithError("edit failed");
    }
    setRatio(state, "x_memmove", g_memmoveSeconds / 2, secondsSince(start));
    state.SetBytesProcessed(state.iterations() * (kDataBytes - second * 2));
}

}  // namespace

BENCHMARK(BM_MemmoveYardstick)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
BENCHMARK(BM_DeleteFirstSecondAndUndo)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
BENCHMARK(BM_DeleteMiddleSecondAndUndo)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
