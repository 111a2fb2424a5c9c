// The engine's two threads driven as the status window drives them: listen,
// pause, clear, new file and end, with sound handed in as a device would.
#include "AutoRecTestSupport.h"
#include "TestSupport.h"

#include "autorec/AutoRecEngine.h"
#include "core/FileCls.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

using namespace autorec;
using rectest::Bytes;
using rectest::PulseSignal;
using rectest::RecordingHost;

namespace {

void feedAll(AutoRecEngine& e, const Bytes& b, const SoundFormat& f)
{
    const std::int64_t chunk = AutoRecEngine::bufferBytes(f);
    for (std::int64_t p = 0; p < static_cast<std::int64_t>(b.size()); p += chunk)
        ASSERT_TRUE(e.feed(b.data() + p, std::min<std::int64_t>(chunk, static_cast<std::int64_t>(b.size()) - p)));
}

// Waits until the analysis has taken everything handed in.
void settle(AutoRecEngine& e)
{
    for (int i = 0; i < 2000 && e.status().queuedBuffers > 0; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
}

AutoRecConfig levelConfig()
{
    AutoRecConfig cfg;
    cfg.parms.m_trigger = autorec::TriggerType::Level;
    cfg.parms.m_ampThresProc = 1000;
    cfg.parms.m_recTimeAfter = 5;
    cfg.parms.m_fileMarks = autorec::MarkType::None;
    cfg.format = SoundFormat::pcm(1, 16, 10000);
    return cfg;
}

}  // namespace

TEST(AutoRecEngineRun, ClearWhilePausedEmptiesTheStoreAndRecordingStartsAfresh)
{
    FileCls store;
    ASSERT_TRUE(store.createTemp("VpTest"));
    AutoRecConfig cfg = levelConfig();
    cfg.store = &store;
    RecordingHost host;
    AutoRecEngine engine;
    std::string err;
    ASSERT_TRUE(engine.start(cfg, host, err)) << err;
    engine.listen();
    PulseSignal s(10000);
    s.pulse(2000, 2100);
    feedAll(engine, s.bytes, cfg.format);
    engine.pause();
    settle(engine);
    EXPECT_EQ(store.length(), 2 * 150);
    engine.clearFile();
    settle(engine);
    EXPECT_EQ(store.length(), 0);
    EXPECT_EQ(engine.status().storeBytes, 0);
    engine.listen();
    PulseSignal t(10000);
    t.pulse(5000, 5040);
    feedAll(engine, t.bytes, cfg.format);
    engine.end();
    ASSERT_TRUE(engine.wait(10000));
    Bytes got(static_cast<std::size_t>(store.length()));
    store.read(got.data(), store.length(), 0);
    EXPECT_EQ(got, t.frameRange(5000, 5090));
    bool reset = false;
    for (DisplayKind k : host.displays)
        reset = reset || k == DisplayKind::Reset;
    EXPECT_TRUE(reset);
    EXPECT_EQ(engine.status().recordings, 2);
    // A second end, after the run ended, changes nothing.
    engine.end();
    EXPECT_TRUE(engine.wait(1000));
}

TEST(AutoRecEngineRun, NewFileContinuesUnderTheNewName)
{
    vestest::TempDir dir;
    AutoRecConfig cfg = levelConfig();
    cfg.parms.m_fileSwitch = autorec::FileNaming::Sequence;
    cfg.parms.m_fileName = dir.file("first");
    cfg.listenAtStart = true;
    RecordingHost host;
    AutoRecEngine engine;
    std::string err;
    ASSERT_TRUE(engine.start(cfg, host, err)) << err;
    PulseSignal s(10000);
    s.pulse(2000, 2100).pulse(6000, 6100);
    feedAll(engine, s.bytes, cfg.format);
    settle(engine);
    engine.newFile(dir.file("second"));
    feedAll(engine, s.bytes, cfg.format);
    engine.end();
    ASSERT_TRUE(engine.wait(10000));
    EXPECT_EQ(host.fileList(), (std::vector<std::string>{dir.file("first#1.wav"), dir.file("first#2.wav"),
                                                          dir.file("second#3.wav"), dir.file("second#4.wav")}));
    EXPECT_EQ(engine.status().sequenceNumber, 5);
    EXPECT_EQ(engine.status().lostBuffers, 0);
}
