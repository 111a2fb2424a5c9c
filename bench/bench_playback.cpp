// CPU time of playing 60 s of a 500 kHz 16-bit mono recording at 1/10 speed
// through ALSA's file plugin (written to /dev/null), as a share of one core
// over the 600 s the playback lasts on a real device. The yardstick is a
// memcpy of the same bytes.
#include "core/FileCls.h"
#include "soundio/AudioBackend.h"
#include "soundio/SoundPlayer.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

constexpr std::uint32_t kRate = 500000;
constexpr std::int64_t kFrames = 60LL * kRate;

double cpuSeconds()
{
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) + ts.tv_nsec * 1e-9;
}

FileCls& store()
{
    static FileCls s = [] {
        FileCls f;
        f.createTemp("VpBench");
        std::vector<std::int16_t> chunk(kRate);
        for (std::size_t i = 0; i < chunk.size(); ++i)
            chunk[i] = static_cast<std::int16_t>(i * 31);
        for (int second = 0; second < 60; ++second)
            f.write(chunk.data(), static_cast<std::int64_t>(chunk.size() * 2));
        return f;
    }();
    return s;
}

void BM_PlayOneMinuteAtOneTenth(benchmark::State& state)
{
    auto backend = makeAudioBackend(AudioBackendKind::Alsa);
    for (auto _ : state) {
        SoundPlayer player(*backend);
        PlayRequest r;
        r.store = &store();
        r.format = SoundFormat::pcm(1, 16, kRate);
        r.rateHz = kRate / 10;
        const double cpu0 = cpuSeconds();
        if (player.start(r) != 0) {
            state.SkipWithError("device did not open");
            return;
        }
        while (!player.finished())
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        const double cpu = cpuSeconds() - cpu0;
        state.counters["cpu_s"] = cpu;
        state.counters["core_share_pct"] = 100.0 * cpu / 600.0;
    }
}
BENCHMARK(BM_PlayOneMinuteAtOneTenth)->Iterations(1)->Unit(benchmark::kMillisecond);

void BM_MemcpyYardstick(benchmark::State& state)
{
    std::vector<char> a(static_cast<std::size_t>(kFrames * 2)), b(a.size());
    for (auto _ : state) {
        std::memcpy(b.data(), a.data(), a.size());
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_MemcpyYardstick)->Iterations(3)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv)
{
    const std::string conf = std::string(std::getenv("TMPDIR") ? std::getenv("TMPDIR") : "/tmp") + "/vesperon-bench-alsa.conf";
    std::ofstream(conf) << "pcm.default { type file slave.pcm { type null } file \"/dev/null\" format \"raw\" }\n";
    setenv("ALSA_CONFIG_PATH", conf.c_str(), 1);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    unlink(conf.c_str());
    return 0;
}
