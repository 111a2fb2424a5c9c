// The recording engine end to end through real ALSA: the test
// configuration's `file` plugin captures from a raw file holding known calls
// and silence, faster than real time.
#include "AutoRecTestSupport.h"
#include "TestSupport.h"

#include "autorec/AutoRecEngine.h"
#include "core/FileCls.h"
#include "soundfiles/RiffFile.h"
#include "soundio/AudioBackend.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <thread>

using namespace autorec;
using rectest::Bytes;
using rectest::PulseSignal;
using rectest::RecordingHost;

namespace {

// One ALSA configuration for the whole program (alsa-lib reads it once);
// each test writes the capture input before it opens the device.
class AlsaCapture {
public:
    static AlsaCapture& get()
    {
        static AlsaCapture c;
        return c;
    }
    void setInput(const Bytes& bytes) { vestest::writeFile(m_dir.file("capture_in.raw"), bytes); }

private:
    AlsaCapture()
    {
        const std::string conf = m_dir.file("alsa.conf");
        std::ofstream out(conf);
        out << "pcm.filecap { type file slave.pcm { type null } file \"" << m_dir.file("tee.raw") << "\" infile \""
            << m_dir.file("capture_in.raw") << "\" format \"raw\" }\n"
            << "pcm.default { type asym playback.pcm \"filecap\" capture.pcm \"filecap\" }\n";
        out.close();
        setenv("ALSA_CONFIG_PATH", conf.c_str(), 1);
    }
    vestest::TempDir m_dir;
};

// Runs until `bytes` of the stream have been analysed, then ends the run.
bool runUntil(AutoRecEngine& engine, std::int64_t bytes, int seconds = 60)
{
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    while (engine.status().streamBytes < bytes) {
        if (std::chrono::steady_clock::now() > until || !engine.running())
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    engine.end();
    return engine.wait(30000);
}

Bytes waveData(const std::string& path)
{
    WaveFile w;
    if (w.open(path) <= 0)
        return {};
    Bytes b(static_cast<std::size_t>(w.dataLength()));
    w.readData(b.data(), w.dataLength(), 0);
    return b;
}

}  // namespace

TEST(AutoRecAlsa, TriggeredFilesHoldExactlyTheCapturedCalls)
{
    const std::uint32_t rate = 250000;
    PulseSignal s(3 * rate);
    const std::int64_t calls[] = {100000, 262144, 400001, 555555};
    for (std::int64_t f : calls)
        s.pulse(f, f + 500);  // 2 ms
    AlsaCapture::get().setInput(s.bytes);
    auto backend = makeAudioBackend(AudioBackendKind::Alsa);
    ASSERT_TRUE(backend);
    vestest::TempDir dir;
    AutoRecConfig cfg;
    cfg.parms.m_trigger = autorec::TriggerType::Level;
    cfg.parms.m_ampThresProc = 1000;
    cfg.parms.m_recTimeBefore = 1;
    cfg.parms.m_recTimeAfter = 2;
    cfg.parms.m_fileSwitch = autorec::FileNaming::Sequence;
    cfg.parms.m_fileName = dir.file("night");
    cfg.format = SoundFormat::pcm(1, 16, rate);
    cfg.backend = backend.get();
    cfg.deviceId = "default";
    cfg.deviceName = "default";
    cfg.listenAtStart = true;
    RecordingHost host;
    AutoRecEngine engine;
    std::string err;
    ASSERT_TRUE(engine.start(cfg, host, err)) << err;
    ASSERT_TRUE(runUntil(engine, 2 * static_cast<std::int64_t>(s.bytes.size()) * 9 / 10 / 2));
    const auto files = host.fileList();
    ASSERT_EQ(files.size(), 4u);
    for (std::size_t i = 0; i < 4; ++i)
        EXPECT_EQ(waveData(files[i]), s.frameRange(calls[i] - 250, calls[i] + 500 + 500)) << files[i];
    EXPECT_EQ(engine.status().lostBuffers, 0);
    EXPECT_EQ(engine.status().recordings, 4);
}

struct ContinuousCase {
    std::uint32_t rate;
    int bits, channels;
};

class AutoRecAlsaContinuous : public ::testing::TestWithParam<ContinuousCase> {};

TEST_P(AutoRecAlsaContinuous, StoreHoldsTheCapturedStreamWithoutAGap)
{
    const ContinuousCase c = GetParam();
    const SoundFormat f = SoundFormat::pcm(c.channels, c.bits, c.rate);
    Bytes in(static_cast<std::size_t>(f.avgBytesPerSec) * 2);
    std::uint32_t x = 12345;
    for (auto& b : in)
        b = static_cast<std::uint8_t>((x = x * 1103515245u + 12345u) >> 16);
    AlsaCapture::get().setInput(in);
    auto backend = makeAudioBackend(AudioBackendKind::Alsa);
    FileCls store;
    ASSERT_TRUE(store.createTemp("VpTest"));
    AutoRecConfig cfg;
    cfg.parms.m_trigger = autorec::TriggerType::Continuous;
    cfg.format = f;
    cfg.backend = backend.get();
    cfg.store = &store;
    RecordingHost host;
    AutoRecEngine engine;
    std::string err;
    ASSERT_TRUE(engine.start(cfg, host, err)) << err;
    engine.listen();
    ASSERT_TRUE(runUntil(engine, static_cast<std::int64_t>(in.size()) * 3 / 4));
    const std::int64_t n = std::min<std::int64_t>(store.length(), static_cast<std::int64_t>(in.size()));
    ASSERT_GE(n, static_cast<std::int64_t>(in.size()) * 3 / 4);
    Bytes got(static_cast<std::size_t>(n));
    store.read(got.data(), n, 0);
    // The plugin captures faster than real time, so a slow run may drop
    // buffers (and count them); what reached the store is the stream itself.
    EXPECT_TRUE(std::equal(got.begin(), got.end(), in.begin()));
    EXPECT_EQ(store.length() - n, engine.status().recordedBytes - n);
}

INSTANTIATE_TEST_SUITE_P(Formats, AutoRecAlsaContinuous,
                         ::testing::Values(ContinuousCase{500000, 16, 1}, ContinuousCase{500000, 24, 2},
                                           ContinuousCase{384000, 32, 2}, ContinuousCase{44100, 8, 1}),
                         [](const auto& p) {
                             return std::to_string(p.param.rate) + "Hz" + std::to_string(p.param.bits) + "bit" +
                                    std::to_string(p.param.channels) + "ch";
                         });

TEST(AutoRecAlsa, DeviceThatCannotOpenIsReportedByStart)
{
    auto backend = makeAudioBackend(AudioBackendKind::Alsa);
    AutoRecConfig cfg;
    cfg.backend = backend.get();
    cfg.deviceId = "no_such_device_here";
    RecordingHost host;
    AutoRecEngine engine;
    std::string err;
    EXPECT_FALSE(engine.start(cfg, host, err));
    EXPECT_NE(err.find("Failed to open waveform recording device."), std::string::npos) << err;
    EXPECT_FALSE(engine.running());
}
