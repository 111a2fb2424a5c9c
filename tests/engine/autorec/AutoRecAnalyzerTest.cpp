// The trigger, the ring and the writing of the recording engine, driven
// synchronously with synthetic sound whose pulses lie at known frames.
#include "AutoRecTestSupport.h"
#include "TestSupport.h"

#include "autorec/AutoRecEngine.h"
#include "autorec/AutoRecTexts.h"
#include "autorec/CAutoRecAnaThread.h"
#include "core/FileCls.h"
#include "document/SampleCodec.h"
#include "records/GuanoRecord.h"
#include "soundfiles/RiffFile.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace autorec;
using rectest::Bytes;
using rectest::PulseSignal;
using rectest::RecordingHost;

namespace {

constexpr std::uint32_t kRate = 10000;  // 10 frames per millisecond

VesAutoRecParms levelParms(int beforeMs, int afterMs, int minMs)
{
    VesAutoRecParms p;
    p.m_trigger = autorec::TriggerType::Level;
    p.m_ampThresProc = 1000;  // 10 %: threshold 3277 for 16 bits
    p.m_recTimeBefore = beforeMs;
    p.m_recTimeAfter = afterMs;
    p.m_ampMinDuration = minMs;
    p.m_fileMarks = autorec::MarkType::None;
    return p;
}

// A synchronous run into a store: the analyzer fed in input-sized buffers.
struct StoreRun {
    RecordingHost host;
    std::atomic<int> pending{0};
    FileCls store;
    AutoRecConfig cfg;
    std::unique_ptr<AutoRecAnalyzer> an;

    StoreRun(const VesAutoRecParms& parms, int channels = 1, std::uint32_t rate = kRate)
    {
        EXPECT_TRUE(store.createTemp("VpTest"));
        cfg.parms = parms;
        cfg.format = SoundFormat::pcm(channels, 16, rate);
        cfg.store = &store;
        an = std::make_unique<AutoRecAnalyzer>(cfg, host, pending);
        std::string err;
        EXPECT_TRUE(an->init(err)) << err;
        an->start();
    }
    void feed(const Bytes& b, std::int64_t from = 0, std::int64_t to = -1)
    {
        const std::int64_t chunk = AutoRecEngine::bufferBytes(cfg.format);
        if (to < 0)
            to = static_cast<std::int64_t>(b.size());
        for (std::int64_t p = from; p < to; p += chunk)
            an->data(b.data() + p, std::min(chunk, to - p));
    }
    Bytes stored()
    {
        Bytes out(static_cast<std::size_t>(store.length()));
        if (!out.empty())
            store.read(out.data(), static_cast<std::int64_t>(out.size()), 0);
        return out;
    }
};

Bytes concat(std::initializer_list<Bytes> parts)
{
    Bytes out;
    for (const Bytes& p : parts)
        out.insert(out.end(), p.begin(), p.end());
    return out;
}

}  // namespace

TEST(AutoRecDerived, LevelThresholdByWidth)
{
    struct Case {
        int bits;
        std::int32_t percent;
        std::int64_t threshold;
    } cases[] = {{16, 1000, 3277}, {8, 5000, 64}, {24, 1000, 419430}, {32, 1, 107374}, {16, 0, 0}};
    for (const Case& c : cases)
        EXPECT_EQ(levelThreshold(c.bits, c.percent), c.threshold) << c.bits << " bits, " << c.percent;
}

TEST(AutoRecDerived, ThresholdCouplingStaysInTheFieldsRange)
{
    EXPECT_EQ(thresholdDbToPercent(-600), 5012);
    EXPECT_EQ(thresholdPercentToDb(1000), -2000);
    // 0 dB would be 100.00 %, above the field's 99.99 %.
    EXPECT_EQ(thresholdDbToPercent(0), 9999);
}

TEST(AutoRecDerived, TimesAreRealTimeAndSixtyFourBit)
{
    // 500 kHz stereo 32-bit, ten hours: beyond 32 bits of bytes.
    const SoundFormat f = SoundFormat::pcm(2, 32, 500000);
    EXPECT_EQ(realMillisToBytes(f, 1000, 36000000), 36000LL * 500000 * 8);
    // Time expansion 10: one real millisecond lasts ten in the file.
    EXPECT_EQ(realMillisToBytes(SoundFormat::pcm(1, 16, 44100), 10000, 100), 44100 * 2);
    EXPECT_EQ(bytesToRealMicros(f, 1000, 36000LL * 500000 * 8), 36000LL * 1000000);
}

TEST(AutoRecLevel, MagnitudeMustExceedTheThreshold)
{
    for (int v : {3277, -3277, 3278, -3278}) {
        StoreRun run(levelParms(0, 0, 0));
        PulseSignal s(4000);
        writeLe16(&s.bytes[2000], static_cast<std::uint16_t>(v));
        run.feed(s.bytes);
        run.an->stop();
        EXPECT_EQ(run.stored().size(), std::abs(v) > 3277 ? 2u : 0u) << v;
    }
}

// Each case: pulses (frames), before/after/minimum (ms); the retained frames.
struct RetainCase {
    const char* name;
    std::vector<std::pair<std::int64_t, std::int64_t>> pulses;
    int before, after, minimum;
    std::vector<std::pair<std::int64_t, std::int64_t>> kept;
};

class AutoRecRetain : public ::testing::TestWithParam<RetainCase> {};

TEST_P(AutoRecRetain, StoreHoldsExactlyTheRetainedInput)
{
    const RetainCase& c = GetParam();
    PulseSignal s(20000);
    for (auto [a, b] : c.pulses)
        s.pulse(a, b);
    StoreRun run(levelParms(c.before, c.after, c.minimum));
    run.feed(s.bytes);
    run.an->stop();
    Bytes want;
    for (auto [a, b] : c.kept) {
        const Bytes part = s.frameRange(a, b);
        want.insert(want.end(), part.begin(), part.end());
    }
    EXPECT_EQ(run.stored(), want);
    EXPECT_EQ(run.an->ringBytes() >= 3 * AutoRecEngine::bufferBytes(run.cfg.format), true);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, AutoRecRetain,
    ::testing::Values(
        RetainCase{"OnePulseWithPreAndPost", {{5000, 5100}}, 10, 20, 0, {{4900, 5300}}},
        RetainCase{"PulsesCloserThanPostJoin", {{5000, 5050}, {5150, 5200}}, 10, 20, 0, {{4900, 5400}}},
        RetainCase{"PulsesFurtherApartSplit", {{5000, 5050}, {5350, 5400}}, 0, 20, 0, {{5000, 5250}, {5350, 5600}}},
        RetainCase{"PostZeroClickKeptWithMinimumZero", {{5000, 5001}}, 0, 0, 0, {{5000, 5001}}},
        RetainCase{"PostZeroClickDroppedWithMinimum", {{5000, 5001}}, 0, 0, 1, {}},
        RetainCase{"ClickWithPreAndPost", {{5000, 5001}}, 5, 5, 0, {{4950, 5051}}},
        RetainCase{"ShortPulseBelowMinimumDropped", {{5000, 5040}}, 0, 10, 5, {}},
        RetainCase{"PulseAcrossBufferEdges", {{1190, 2500}}, 3, 3, 2, {{1160, 2530}}},
        RetainCase{"PreTriggerBeforeStreamStartClipped", {{20, 60}}, 10, 0, 0, {{0, 60}}}),
    [](const auto& param) { return std::string(param.param.name); });

TEST(AutoRecLevel, StoppingInsideALongPulseKeepsItUpToTheStop)
{
    PulseSignal s(20000);
    s.pulse(5000, 20000);
    StoreRun run(levelParms(10, 10, 0));
    run.feed(s.bytes, 0, 12000 * 2);
    run.an->stop();
    EXPECT_EQ(run.stored(), s.frameRange(4900, 12000));
    EXPECT_TRUE(run.host.logHas("Last recording #1"));
}

TEST(AutoRecLevel, MaximumTimeNeverWritesPastTheReceivedSound)
{
    // A long pulse, recordings of at most 50 ms, a long post-trigger time:
    // each recording must be the input itself, no stale ring bytes.
    PulseSignal s(30000);
    s.pulse(2000, 30000);
    VesAutoRecParms p = levelParms(0, 400, 0);
    p.m_recMaxTime = 50;
    p.m_fileSwitch = autorec::FileNaming::Sequence;
    vestest::TempDir dir;
    p.m_fileName = dir.file("long");
    StoreRun run(p);
    run.feed(s.bytes);
    run.an->end();
    const auto files = run.host.fileList();
    ASSERT_GE(files.size(), 10u);
    std::int64_t frame = 2000;
    for (const std::string& f : files) {
        WaveFile w;
        ASSERT_GT(w.open(f), 0) << f;
        Bytes got(static_cast<std::size_t>(w.dataLength()));
        w.readData(got.data(), w.dataLength(), 0);
        const std::int64_t n = w.dataLength() / 2;
        ASSERT_LE(n, 500) << f;
        EXPECT_EQ(got, s.frameRange(frame, frame + n)) << f;
        frame += n;
    }
    EXPECT_EQ(frame, 30000);
}

TEST(AutoRecMarks, SingleFileMarksFromTheSecondRecordingOn)
{
    struct Case {
        MarkType type;
        std::vector<std::int64_t> pulses;  // frames (10 per ms)
        std::vector<std::string> names;
    } cases[] = {
        {MarkType::Sequence, {5000, 15000}, {"#2"}},
        {MarkType::RelativeTime, {5000, 15000, 250000}, {"1500 ms", "25.0 s"}},
        {MarkType::RelativeTime, {100, 25000, 2400000}, {"2.50 s", "240 s"}},
    };
    for (const Case& c : cases) {
        VesAutoRecParms p = levelParms(0, 1, 0);
        p.m_fileMarks = c.type;
        PulseSignal s(c.pulses.back() + 1000);
        for (std::int64_t f : c.pulses)
            s.pulse(f, f + 20);
        StoreRun run(p);
        run.feed(s.bytes);
        run.an->stop();
        std::vector<std::string> names;
        for (const auto& m : run.host.marks)
            names.push_back(m.name);
        EXPECT_EQ(names, c.names) << "mark type " << static_cast<int>(c.type);
        // Each mark sits where its recording begins in the store.
        for (std::size_t i = 0; i < run.host.marks.size(); ++i)
            EXPECT_EQ(run.host.marks[i].frame, static_cast<std::int64_t>(30 * (i + 1)));
    }
}

TEST(AutoRecFiles, MaximumNumberOfRecordingsEndsTheRun)
{
    vestest::TempDir dir;
    VesAutoRecParms p = levelParms(0, 5, 0);
    p.m_fileSwitch = autorec::FileNaming::Sequence;
    p.m_recMaxCnt = 3;
    p.m_fileName = dir.file("bat");
    PulseSignal s(20000);
    for (int i = 0; i < 5; ++i)
        s.pulse(2000 + 3000 * i, 2100 + 3000 * i);
    StoreRun run(p);
    run.feed(s.bytes);
    run.an->end();
    EXPECT_EQ(run.host.fileList(),
              (std::vector<std::string>{dir.file("bat#1.wav"), dir.file("bat#2.wav"), dir.file("bat#3.wav")}));
    EXPECT_TRUE(run.host.logHas("Maximum number of recordings reached."));
    EXPECT_EQ(run.host.ended, 1);
    EXPECT_FALSE(vestest::fileExists(dir.file("bat#4.wav")));
}

TEST(AutoRecFiles, EachFileIsAWaveWithItsGuanoAndNoFileIsOverwritten)
{
    vestest::TempDir dir;
    const Bytes existing = {'k', 'e', 'e', 'p'};
    vestest::writeFile(dir.file("bat#2.wav"), existing);
    VesAutoRecParms p = levelParms(1, 1, 0);
    p.m_fileSwitch = autorec::FileNaming::Sequence;
    p.m_fileName = dir.file("bat");
    PulseSignal s(20000);
    s.pulse(3000, 3100).pulse(9000, 9300).pulse(15000, 15050);
    StoreRun run(p);
    run.cfg.deviceName = "hw:1,0";
    run.feed(s.bytes);
    run.an->end();
    const auto files = run.host.fileList();
    ASSERT_EQ(files.size(), 3u);
    EXPECT_EQ(files[1], dir.file("bat#2(2).wav"));
    EXPECT_EQ(vestest::readFile(dir.file("bat#2.wav")), existing);
    const std::pair<std::int64_t, std::int64_t> kept[] = {{2990, 3110}, {8990, 9310}, {14990, 15060}};
    for (std::size_t i = 0; i < files.size(); ++i) {
        WaveFile w;
        ASSERT_GT(w.open(files[i]), 0);
        PcmFormat pf;
        ASSERT_TRUE(w.getFormat(pf));
        EXPECT_EQ(pf.samplesPerSec, kRate);
        Bytes got(static_cast<std::size_t>(w.dataLength()));
        w.readData(got.data(), w.dataLength(), 0);
        EXPECT_EQ(got, s.frameRange(kept[i].first, kept[i].second)) << files[i];
        bool guano = false;
        for (const RiffCls* c : w.foreignChunks())
            if (c->name() == "guan") {
                GuanoRecord g;
                std::string err;
                Bytes raw(static_cast<std::size_t>(c->payloadLength()));
                c->read(raw.data(), c->payloadLength(), 0);
                ASSERT_TRUE(GuanoRecord::parse(raw, g, err)) << err;
                ASSERT_NE(g.find("Length"), nullptr);
                EXPECT_NEAR(*g.number("Length"), (kept[i].second - kept[i].first) / double(kRate), 1e-3);
                EXPECT_EQ(*g.find("Samplerate"), "10000");
                EXPECT_EQ(*g.find("Make"), "Vesperon");
                guano = true;
            }
        EXPECT_TRUE(guano);
    }
}

TEST(AutoRecSpectrum, ShortCallsAreFoundWhereverTheyLieInStereo)
{
    // 1 ms calls at 40 kHz in the right channel of a 250 kHz stereo stream,
    // at positions that do not line up with any column grid.
    const std::uint32_t rate = 250000;
    VesAutoRecParms p;
    p.m_trigger = autorec::TriggerType::Spectrum;
    p.m_frecThres = -3000;  // -30 dB
    p.m_frecMin = 30000;
    p.m_frecMax = 50000;
    p.m_fftSize = 256;
    p.m_trigChans = autorec::TriggerChannels::Right;
    p.m_fileMarks = autorec::MarkType::None;
    p.m_recTimeAfter = 1;
    PulseSignal s(rate, 2);
    const std::int64_t starts[] = {20011, 61337, 100003, 150777, 201234};
    for (std::int64_t f : starts)
        s.tone(f, f + 250, 40000, rate, 8000, 1);
    // Loud sound outside the band and on the other channel triggers nothing.
    s.tone(230000, 240000, 10000, rate, 20000, 1).tone(5000, 15000, 40000, rate, 20000, 0);
    StoreRun run(p, 2, rate);
    run.feed(s.bytes);
    run.an->stop();
    EXPECT_EQ(run.an->hopFrames(), 256);
    EXPECT_EQ(run.host.marks.size(), 0u);
    EXPECT_TRUE(run.host.logHas("Last recording #5"));
    EXPECT_FALSE(run.host.logHas("Last recording #6"));
}

TEST(AutoRecSpectrum, BandIsRealFrequencyUnderTimeExpansion)
{
    // Time expansion 10: a 40 kHz call is stored at 4 kHz in a 44.1 kHz file.
    VesAutoRecParms p;
    p.m_trigger = autorec::TriggerType::Spectrum;
    p.m_frecThres = -3000;
    p.m_frecMin = 30000;
    p.m_frecMax = 50000;
    p.m_fftSize = 512;
    AutoRecConfig cfg;
    cfg.parms = p;
    cfg.format = SoundFormat::pcm(1, 16, 44100);
    cfg.timeExp25 = 10000;
    RecordingHost host;
    std::atomic<int> pending{0};
    AutoRecAnalyzer an(cfg, host, pending);
    std::string err;
    ASSERT_TRUE(an.init(err));
    const double binHz = 44100.0 / 512 * 10;  // real Hz per bin
    EXPECT_GE(an.bottomBin() * binHz, 30000);
    EXPECT_LT((an.bottomBin() - 1) * binHz, 30000);
    EXPECT_LE(an.topBin() * binHz, 50000);
    EXPECT_GT((an.topBin() + 1) * binHz, 50000);
}

TEST(AutoRecContinuous, KeepsEverythingAppendsAfterExistingSoundAndResumesWithoutANewMark)
{
    VesAutoRecParms p;
    p.m_trigger = autorec::TriggerType::Continuous;
    p.m_fileMarks = autorec::MarkType::RelativeTime;
    StoreRun run(p);
    run.an->stop();
    const Bytes before(1000, 7);
    run.store.write(before.data(), 1000, 0);
    run.an->start();
    PulseSignal s(30000);
    s.pulse(100, 29000, 2000);
    run.feed(s.bytes);
    run.an->stop();
    // Pausing and resuming goes on with the same recording: no further mark.
    run.an->start();
    run.feed(s.bytes);
    run.an->end();
    EXPECT_EQ(run.stored(), concat({before, s.bytes, s.bytes}));
    ASSERT_EQ(run.host.marks.size(), 1u);
    EXPECT_EQ(run.host.marks[0].frame, 500);
    EXPECT_EQ(run.host.marks[0].name, "0 ms");
}

TEST(AutoRecTexts, FileNamesMarksAndStatusTexts)
{
    LocalTime t;
    t.tm.tm_year = 124, t.tm.tm_mon = 5, t.tm.tm_mday = 2, t.tm.tm_hour = 22, t.tm.tm_min = 5, t.tm.tm_sec = 9;
    t.millis = 42;
    EXPECT_EQ(recordingFileName("/d/b", FileNaming::Sequence, 12, t), "/d/b#12");
    EXPECT_EQ(recordingFileName("/d/b", FileNaming::DateSequence, 3, t), "/d/b_20240602#03");
    EXPECT_EQ(recordingFileName("/d/b", FileNaming::DateTime, 3, t), "/d/b_20240602_220509");
    EXPECT_EQ(recordingFileName("/d/b", FileNaming::TimeMillis, 3, t), "/d/b_220509_042");
    EXPECT_EQ(withExtension("/d.x/b#1", "wav"), "/d.x/b#1.wav");
    EXPECT_EQ(withExtension("/d/b.vprd", "wav"), "/d/b.vprd");
    EXPECT_EQ(withExtension("/d/site_42.94_23.03#1", "wav"), "/d/site_42.94_23.03#1.wav");
    EXPECT_EQ(markText(MarkType::TimeMillis, 1, t, 0), "220509_042");
    EXPECT_EQ(diskSizeText(3000000000LL), "2.79 Gb");
    EXPECT_EQ(diskSizeText(5000000000000LL), "4656 Gb");
    EXPECT_EQ(recordedTimeText(12345678), "12 s recorded");
    EXPECT_EQ(recordedTimeText(400), "400 \xC2\xB5s recorded");
    EXPECT_FALSE(diskSpaceLow(100LL << 30, -1, 1000000, 15000));
    // A 500 kHz stereo 32-bit run writes 60 MB in 15 s: 50 MB free is not enough.
    EXPECT_TRUE(diskSpaceLow(50000000, -1, 4000000, 15000));
}

TEST(AutoRecRun, EndsByItselfWhereTheSettingsSaySo)
{
    // Single file: the maximum recording time ends the run; the stored
    // stretch is exactly that long.
    VesAutoRecParms p = levelParms(0, 10, 0);
    p.m_recMaxTime = 100;
    PulseSignal s(20000);
    s.pulse(3000, 20000);
    StoreRun run(p);
    run.feed(s.bytes);
    EXPECT_TRUE(run.an->ending());
    EXPECT_EQ(run.stored().size(), s.frameRange(3000, 4000).size());
    EXPECT_EQ(run.stored(), s.frameRange(3000, 4000));
    EXPECT_TRUE(run.host.logHas("Maximum recording time reached."));
    EXPECT_EQ(run.host.ended, 1);
}

TEST(AutoRecRun, DisplayBacklogSwitchesRealtimeGraphicsOff)
{
    // The host never finishes a redraw: past 25 pending updates the engine
    // stops posting them and says so, and recording goes on.
    VesAutoRecParms p;
    p.m_trigger = autorec::TriggerType::Continuous;
    p.m_graphics = true;
    StoreRun run(p);
    const Bytes chunk(static_cast<std::size_t>(AutoRecEngine::bufferBytes(run.cfg.format)), 1);
    for (int i = 0; i < 40; ++i)
        run.an->data(chunk.data(), static_cast<std::int64_t>(chunk.size()));
    EXPECT_EQ(run.host.graphics, std::vector<bool>{false});
    EXPECT_TRUE(run.host.logHas("Overload - Graphics disabled"));
    EXPECT_EQ(run.pending.load(), 26);
    EXPECT_EQ(run.store.length(), 40 * static_cast<std::int64_t>(chunk.size()));
}

TEST(AutoRecLevel, EveryWidthAndOnlyTheChosenChannelTriggers)
{
    // One loud sample in one channel of a frame; which widths, channels and
    // trigger channel settings keep it.
    struct Case {
        int bits, channels;
        TriggerChannels trigChans;
        int loudChannel;
        std::int64_t value;  // raw sample value
        bool kept;
    } cases[] = {
        {24, 2, TriggerChannels::Right, 1, 419431, true},
        {24, 2, TriggerChannels::Right, 1, 419430, false},
        {24, 2, TriggerChannels::Left, 1, -8000000, false},
        {24, 2, TriggerChannels::Both, 1, -419431, true},
        {32, 1, TriggerChannels::Both, 0, -107375, true},
        {32, 1, TriggerChannels::Both, 0, 107374, false},
        {8, 1, TriggerChannels::Both, 0, -33, true},
        {8, 1, TriggerChannels::Both, 0, 32, false},
        {16, 2, TriggerChannels::Left, 0, 3278, true},
        {16, 2, TriggerChannels::Left, 1, 30000, false},
    };
    for (const Case& c : cases) {
        VesAutoRecParms p = levelParms(0, 0, 0);
        p.m_trigChans = c.trigChans;
        p.m_ampThresProc = c.bits == 8 ? 2500 : c.bits == 32 ? 1 : 1000;
        RecordingHost host;
        std::atomic<int> pending{0};
        FileCls store;
        ASSERT_TRUE(store.createTemp("VpTest"));
        AutoRecConfig cfg;
        cfg.parms = p;
        cfg.format = SoundFormat::pcm(c.channels, c.bits, kRate);
        cfg.store = &store;
        AutoRecAnalyzer an(cfg, host, pending);
        std::string err;
        ASSERT_TRUE(an.init(err));
        an.start();
        const int bytes = c.bits / 8, frame = bytes * c.channels;
        Bytes b(static_cast<std::size_t>(frame * 4000), c.bits == 8 ? 128 : 0);
        std::uint8_t* at = &b[static_cast<std::size_t>(frame * 1777 + c.loudChannel * bytes)];
        encodeRawSample(at, bytes, c.value);
        an.data(b.data(), static_cast<std::int64_t>(b.size()));
        an.stop();
        EXPECT_EQ(store.length(), c.kept ? frame : 0)
            << c.bits << " bits, " << c.channels << " ch, trigger " << static_cast<int>(c.trigChans) << ", value "
            << c.value;
    }
}
