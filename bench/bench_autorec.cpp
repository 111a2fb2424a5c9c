// Eight hours of 500 kHz 16-bit mono sound through ALSA's file plugin into
// the recording engine, with a 3 ms call every 3 s: run time, the engine's
// CPU time as a share of the eight hours it would take on a real device,
// the files written and the buffers lost. The input is a sparse file (the
// calls are its only data blocks), so the run needs little disk. The
// yardstick is a memcpy of the same number of bytes.
//
// VES_BENCH_AUTOREC_HOURS=N runs N hours instead of 8.
#include "autorec/AutoRecEngine.h"
#include "soundio/AudioBackend.h"

#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

namespace {

constexpr std::uint32_t kRate = 500000;
constexpr std::int64_t kCallEveryFrames = 3LL * kRate;
constexpr std::int64_t kCallFrames = 1500;  // 3 ms

double hours()
{
    const char* h = std::getenv("VES_BENCH_AUTOREC_HOURS");
    return h ? std::atof(h) : 8.0;
}

double cpuSeconds()
{
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) + ts.tv_nsec * 1e-9;
}

struct Setup {
    std::string dir;
    std::string input;
    std::int64_t bytes = 0;
    std::int64_t calls = 0;
};

// The input file: holes of silence, a call every 3 s.
Setup& setup()
{
    static Setup s = [] {
        Setup r;
        char tmpl[] = "/tmp/VpBenchAutoRecXXXXXX";
        r.dir = ::mkdtemp(tmpl);
        r.input = r.dir + "/in.raw";
        r.bytes = static_cast<std::int64_t>(hours() * 3600 * kRate) * 2;
        const int fd = ::open(r.input.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        std::vector<std::int16_t> call(kCallFrames);
        for (std::int64_t i = 0; i < kCallFrames; ++i)
            call[static_cast<std::size_t>(i)] =
                static_cast<std::int16_t>(12000 * std::sin(2 * M_PI * (70000 - 10e6 * i / kRate) * i / kRate));
        for (std::int64_t f = kRate; (f + kCallFrames) * 2 <= r.bytes; f += kCallEveryFrames) {
            if (::pwrite(fd, call.data(), call.size() * 2, f * 2) != static_cast<ssize_t>(call.size() * 2))
                std::abort();
            ++r.calls;
        }
        if (::ftruncate(fd, r.bytes) != 0)
            std::abort();
        ::close(fd);
        const std::string conf = r.dir + "/alsa.conf";
        std::ofstream out(conf);
        out << "pcm.filecap { type file slave.pcm { type null } file \"/dev/null\" infile \"" << r.input
            << "\" format \"raw\" }\n"
            << "pcm.default { type asym playback.pcm \"filecap\" capture.pcm \"filecap\" }\n";
        out.close();
        setenv("ALSA_CONFIG_PATH", conf.c_str(), 1);
        return r;
    }();
    return s;
}

// Counts the files and removes them, so that the run needs no disk for them.
class CountingHost : public autorec::IAutoRecHost {
public:
    void recFileWritten(const std::string& path, std::int64_t, std::int64_t) override
    {
        ++files;
        ::unlink(path.c_str());
    }
    void recError(const std::string& text, bool) override { std::fprintf(stderr, "%s\n", text.c_str()); }
    void recEnded() override { ended = true; }
    std::atomic<std::int64_t> files{0};
    std::atomic<bool> ended{false};
};

void BM_Memcpy(benchmark::State& state)
{
    const Setup& s = setup();
    std::vector<char> a(1 << 20, 1), b(1 << 20);
    for (auto _ : state) {
        for (std::int64_t done = 0; done < s.bytes; done += static_cast<std::int64_t>(a.size()))
            std::memcpy(b.data(), a.data(), a.size());
        benchmark::DoNotOptimize(b.data());
    }
    state.counters["GB"] = s.bytes / 1e9;
}

void BM_AutoRecEightHours(benchmark::State& state)
{
    const Setup& s = setup();
    auto backend = makeAudioBackend(AudioBackendKind::Alsa);
    for (auto _ : state) {
        autorec::AutoRecConfig cfg;
        cfg.parms.m_trigger = TriggerType::Level;
        cfg.parms.m_ampThresProc = 1000;
        cfg.parms.m_recTimeBefore = 10;
        cfg.parms.m_recTimeAfter = 50;
        cfg.parms.m_fileSwitch = FileNaming::Sequence;
        cfg.parms.m_fileMarks = MarkType::None;
        cfg.parms.m_fileName = s.dir + "/bat";
        cfg.format = SoundFormat::pcm(1, 16, kRate);
        cfg.backend = backend.get();
        cfg.maxStreamBytes = s.bytes;
        cfg.listenAtStart = true;
        CountingHost host;
        autorec::AutoRecEngine engine;
        std::string err;
        const double cpu0 = cpuSeconds();
        const auto t0 = std::chrono::steady_clock::now();
        if (!engine.start(cfg, host, err)) {
            state.SkipWithError(err.c_str());
            return;
        }
        while (!host.ended && engine.running())
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        engine.end();
        engine.wait(60000);
        const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
        const double cpu = cpuSeconds() - cpu0;
        const autorec::AutoRecStatus st = engine.status();
        state.SetIterationTime(wall);
        state.counters["wall_s"] = wall;
        state.counters["cpu_s"] = cpu;
        state.counters["cpu_share_pct"] = 100.0 * cpu / (hours() * 3600);
        state.counters["files"] = static_cast<double>(host.files.load());
        state.counters["calls"] = static_cast<double>(s.calls);
        state.counters["lost_buffers"] = static_cast<double>(st.lostBuffers);
        state.counters["device_overruns"] = static_cast<double>(st.deviceOverruns);
        state.counters["hours_analysed"] = st.streamBytes / 2.0 / kRate / 3600;
    }
}

}  // namespace

BENCHMARK(BM_Memcpy)->Iterations(1)->Unit(benchmark::kSecond);
BENCHMARK(BM_AutoRecEightHours)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);

BENCHMARK_MAIN();
