// The column engine on documents holding synthetic tones: levels, frame
// sequences with automatic and fixed overlap, edges of the recording, zero
// crossings, the 32-bit sample convention, and that computing columns
// allocates nothing per column.
#include "display/ColumnEngine.h"

#include "DocTestSupport.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <cstdlib>
#include <new>
#include <numbers>
#include <vector>

// Counts allocations so that a test can see whether work per column allocates.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
#endif
namespace {
std::atomic<long> g_allocations{0};
}
void* operator new(std::size_t n)
{
    g_allocations.fetch_add(1, std::memory_order_relaxed);
    if (void* p = std::malloc(n ? n : 1))
        return p;
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept
{
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept
{
    std::free(p);
}

namespace {

using vestest::RecordingHost;

constexpr std::uint32_t kRate = 384000;

// Interleaved samples of a tone (amplitude as a fraction of full scale) on the
// given channels; other channels silent.
std::vector<std::uint8_t> toneBytes(int bits, int channels, std::int64_t frames, double hz, double amplitude,
                                    int toneChannel = -1)
{
    const int bytes = bits / 8;
    std::vector<std::uint8_t> out(static_cast<std::size_t>(frames * channels * bytes));
    const double full = std::ldexp(1.0, bits - 1) - 1;
    std::size_t at = 0;
    for (std::int64_t i = 0; i < frames; ++i) {
        const double s = amplitude * full * std::sin(2 * std::numbers::pi * hz * static_cast<double>(i) / kRate);
        for (int c = 0; c < channels; ++c) {
            std::int64_t v = (toneChannel < 0 || toneChannel == c) ? std::llround(s) : 0;
            if (bits == 8)
                v += 128;
            for (int b = 0; b < bytes; ++b)
                out[at++] = static_cast<std::uint8_t>((static_cast<std::uint64_t>(v) >> (8 * b)) & 0xFF);
        }
    }
    return out;
}

class Collect : public IColumnSink {
public:
    struct Col {
        PlotColumn c;
        std::vector<SpectRun> runs;
    };
    std::vector<Col> cols;
    void column(const PlotColumn& c) override
    {
        Col k{c, std::vector<SpectRun>(c.runs, c.runs + c.runCount)};
        k.c.runs = nullptr;
        cols.push_back(std::move(k));
    }
    int maxPen() const
    {
        int m = -1;
        for (const auto& k : cols)
            for (const auto& r : k.runs)
                m = std::max(m, r.pen);
        return m;
    }
};

class ColumnTest : public ::testing::Test {
protected:
    RecordingHost host;
    CVesSoundDoc doc{host};
    VesAnaParms parms;
    PlotDevice device = PlotDevice::fromScreen(400, 300, 150000);  // 15 twips per pixel

    void SetUp() override
    {
        parms.m_ampPlot = false;
        parms.m_spectPlot = true;
        parms.m_scale = false;
        parms.m_fftWindow = 2;
        parms.m_fftThresHold = 0;
    }
    void fill(int bits, int channels, std::int64_t frames, double hz, double amplitude, int toneChannel = -1)
    {
        vestest::fillDocument(doc, channels, bits, kRate, toneBytes(bits, channels, frames, hz, amplitude, toneChannel));
    }
    PlotLayout layout() { return PrepareLayout(parms, SoundInfo::of(doc), device); }
    Collect run(const PlotLayout& l, int first = 0, int end = 1 << 30, std::size_t channel = 0)
    {
        ColumnEngine engine(l);
        Collect c;
        EXPECT_TRUE(engine.compute(doc, channel, first, end, c));
        return c;
    }
};

TEST_F(ColumnTest, FullScaleSineReachesTheTopOfThePalette)
{
    // Bin 100 of 512 at 384 kHz: 75 kHz, centred on the bin.
    fill(16, 1, 200000, 75000.0, 1.0);
    parms.m_fftSize = 512;
    parms.m_fftOverLap = 50;
    parms.m_plotSize = 200000;  // 0.2 s
    const PlotLayout l = layout();
    ColumnEngine engine(l);
    Collect c;
    ASSERT_TRUE(engine.compute(doc, 0, 100, 101, c));
    ASSERT_EQ(c.cols.size(), 1u);
    EXPECT_NEAR(engine.binPower(100) / kFullScalePower, 1.0, 0.01);
    EXPECT_EQ(c.maxPen(), 63);
    // The runs stack upwards inside the pane without gaps or overlaps.
    const TwipsRect& pane = l.channels[0].freqPane;
    const auto& runs = c.cols[0].runs;
    ASSERT_FALSE(runs.empty());
    for (std::size_t i = 0; i < runs.size(); ++i) {
        EXPECT_GE(runs[i].yLow, pane.bottom);
        EXPECT_LE(runs[i].yHigh, pane.top);
        EXPECT_LE(runs[i].yLow, runs[i].yHigh);
        if (i > 0) {
            EXPECT_LE(runs[i - 1].yHigh, runs[i].yLow);
        }
    }
}

TEST_F(ColumnTest, AutomaticOverlapTakesOneFrameCentredOnEachColumn)
{
    fill(16, 1, 400000, 40000.0, 0.5);
    parms.m_fftSize = 0;
    parms.m_fftOverLap = -1;
    parms.m_plotSize = 1000000;
    const PlotLayout l = layout();
    const std::int64_t half = l.spect.fftSize / 2;
    const Collect c = run(l);
    ASSERT_GT(c.cols.size(), 100u);
    for (const auto& k : c.cols) {
        EXPECT_EQ(k.c.frames, 1);
        EXPECT_EQ(k.c.firstFrameStart, k.c.firstSample - half);
        EXPECT_FALSE(k.c.repeated);
    }
}

TEST_F(ColumnTest, FixedOverlapAveragesEveryFrameStartingUpToTheColumnEnd)
{
    fill(16, 1, 300000, 40000.0, 0.5);
    parms.m_fftSize = 2048;
    parms.m_fftOverLap = 99;
    parms.m_plotSize = 500000;
    const PlotLayout l = layout();
    ASSERT_EQ(l.spect.hop, 20);
    const Collect c = run(l, 10, 60);
    ASSERT_EQ(c.cols.size(), 50u);
    const std::int64_t half = 1024;
    // The first column starts the sequence half a frame before its first sample.
    EXPECT_EQ(c.cols[0].c.firstFrameStart, c.cols[0].c.firstSample - half);
    std::int64_t last = 0;
    for (std::size_t i = 0; i < c.cols.size(); ++i) {
        const PlotColumn& col = c.cols[i].c;
        const std::int64_t end = l.columnFirstSample(col.column + 1) - half;
        if (i > 0) {
            if (col.repeated)
                continue;
            EXPECT_EQ(col.firstFrameStart, last + l.spect.hop);
        }
        EXPECT_LE(col.lastFrameStart, end);
        EXPECT_GT(col.lastFrameStart + l.spect.hop, end);
        EXPECT_EQ(col.frames, (col.lastFrameStart - col.firstFrameStart) / l.spect.hop + 1);
        last = col.lastFrameStart;
    }
}

TEST_F(ColumnTest, ZeroHopAdvancesOneSample)
{
    fill(16, 1, 20000, 40000.0, 0.5);
    parms.m_fftSize = 16;
    parms.m_fftOverLap = 99;  // (100 - 99) x 16 / 100 = 0
    parms.m_plotSize = 50000;
    const PlotLayout l = layout();
    EXPECT_EQ(l.spect.hop, 1);
    const Collect c = run(l, 0, 40);
    ASSERT_EQ(c.cols.size(), 40u);
    for (std::size_t i = 1; i < c.cols.size(); ++i) {
        const PlotColumn& col = c.cols[i].c;
        if (!col.repeated) {
            EXPECT_EQ(col.frames, col.lastFrameStart - col.firstFrameStart + 1);
        }
    }
}

TEST_F(ColumnTest, ColumnsAtBothEndsOfTheRecordingUseZeroPaddedFrames)
{
    const std::int64_t frames = 100000;
    fill(16, 1, frames, 60000.0, 0.5);
    parms.m_fftSize = 1024;
    parms.m_fftOverLap = -1;
    parms.m_plotSize = frames * 1000000 / kRate;  // the whole recording
    const PlotLayout l = layout();
    const Collect c = run(l);
    ASSERT_GE(c.cols.size(), 2u);
    const auto& first = c.cols.front();
    const auto& last = c.cols.back();
    EXPECT_EQ(first.c.firstSample, 0);
    EXPECT_LT(first.c.firstFrameStart, 0);
    EXPECT_GT(last.c.firstFrameStart + 1024, frames);
    EXPECT_FALSE(first.runs.empty());
    EXPECT_FALSE(last.runs.empty());
    // No column starts beyond the data, nor beyond a drawable end (live mode).
    for (const auto& k : c.cols)
        EXPECT_LT(k.c.firstSample, frames);
    ColumnEngine engine(l);
    Collect live;
    engine.compute(doc, 0, 0, l.columns, live, frames - 1024);
    ASSERT_FALSE(live.cols.empty());
    EXPECT_LT(live.cols.back().c.firstSample, frames - 1024);
    EXPECT_GE(l.columnFirstSample(live.cols.back().c.column + 1), frames - 1024);
}

TEST_F(ColumnTest, BinZeroNeverShowsColour)
{
    // A constant offset puts all power into bin 0.
    std::vector<std::uint8_t> bytes(2 * 20000);
    for (std::size_t i = 0; i < bytes.size(); i += 2) {
        bytes[i] = 0x00;
        bytes[i + 1] = 0x40;  // 16384
    }
    vestest::fillDocument(doc, 1, 16, kRate, bytes);
    parms.m_fftSize = 256;
    parms.m_fftOverLap = -1;
    parms.m_fftWindow = 0;  // rectangular: no leakage out of bin 0
    parms.m_plotSize = 40000;
    const PlotLayout l = layout();
    ASSERT_EQ(l.spect.firstBin, 0);
    ColumnEngine engine(l);
    Collect c;
    engine.compute(doc, 0, 20, 21, c);
    EXPECT_EQ(engine.binPower(0), 0.0);
    EXPECT_TRUE(c.cols.at(0).runs.empty());
}

// The runs of a column are its bins above the threshold, each with the pen
// of its level, neighbours of one pen merged (the kernels that find those
// bins and sum their power are compared with the portable ones in
// KernelsTest). Tones and noise scatter them across the spectrum (over the 64-bin
// boundaries too), densely at the lower threshold; the frequency range
// starts off bin 0.
TEST_F(ColumnTest, RunsAreTheBinsAboveTheThresholdWithThePensOfTheirLevels)
{
    std::vector<std::uint8_t> bytes(2 * 200000);
    std::uint32_t noise = 12345;
    for (std::size_t i = 0; i < bytes.size() / 2; ++i) {
        noise = noise * 1664525u + 1013904223u;
        const double t = static_cast<double>(i) / kRate;
        const double v = 6000 * std::sin(2 * std::numbers::pi * 24000 * t) +
                         3000 * std::sin(2 * std::numbers::pi * 61000 * t) +
                         1500 * std::sin(2 * std::numbers::pi * 119000 * t) + static_cast<double>(noise >> 21) - 1024;
        const auto s16 = static_cast<std::int16_t>(std::lround(v));
        bytes[2 * i] = static_cast<std::uint8_t>(s16 & 0xFF);
        bytes[2 * i + 1] = static_cast<std::uint8_t>((s16 >> 8) & 0xFF);
    }
    vestest::fillDocument(doc, 1, 16, kRate, bytes);
    parms.m_fftSize = 512;
    parms.m_plotSize = 200000;
    parms.m_spectMin = 10000;
    struct Case {
        int overlap, threshold;
    };
    for (const Case& k : {Case{-1, 12}, Case{50, 12}, Case{-1, 18}, Case{50, 18}, Case{75, 24}}) {
        parms.m_fftOverLap = k.overlap;
        parms.m_fftThresHold = k.threshold;
        const PlotLayout l = layout();
        ASSERT_GT(l.spect.firstBin, 0);
        const std::int64_t bottom = l.channels[0].freqPane.bottom;
        ColumnEngine engine(l);
        for (int col : {5, 123}) {
            Collect c;
            engine.compute(doc, 0, col, col + 1, c);
            ASSERT_EQ(c.cols.size(), 1u);
            std::vector<SpectRun> want;
            int prev = -1;
            for (int bin = l.spect.firstBin; bin < l.spect.lastBin; ++bin) {
                const int pen = l.spect.penForPower(engine.binPower(bin));
                const std::int64_t top = bottom + l.spect.binTop[static_cast<std::size_t>(bin)];
                if (pen >= 0 && pen == prev)
                    want.back().yHigh = top;
                else if (pen >= 0)
                    want.push_back({pen, bottom + l.spect.binBottom(bin), top});
                prev = pen;
            }
            const auto& got = c.cols[0].runs;
            ASSERT_EQ(got.size(), want.size()) << k.overlap << " " << k.threshold << " " << col;
            EXPECT_GT(got.size(), 3u);
            for (std::size_t i = 0; i < got.size(); ++i) {
                EXPECT_EQ(got[i].pen, want[i].pen) << i;
                EXPECT_EQ(got[i].yLow, want[i].yLow) << i;
                EXPECT_EQ(got[i].yHigh, want[i].yHigh) << i;
            }
        }
    }
}

TEST_F(ColumnTest, UserMapPensFollowTheLevel)
{
    fill(16, 1, 100000, 75000.0, 1.0);
    parms.m_fftSize = 512;
    parms.m_fftOverLap = 0;
    parms.m_plotSize = 100000;
    parms.m_colorScheme = kUserColorScheme;
    VesColorMap map;
    map.m_colorMapRader = 1;
    map.m_bands[0] = {1000, -100000, -1000, 101, 0x000000, 0xFFFFFF};
    parms.m_colorMap = map;
    const PlotLayout l = layout();
    ASSERT_TRUE(l.spect.userMap);
    ColumnEngine engine(l);
    Collect c;
    engine.compute(doc, 0, 50, 51, c);
    // The tone's bin, about 0 dB: one step below 1 dB, pen 1.
    const int pen = l.spect.userPalette.lookup(UserMapKey(engine.binPower(100)));
    EXPECT_EQ(pen, 1);
    // Far from the tone the level lies below the map's -100 dB: not drawn.
    EXPECT_EQ(l.spect.userPalette.lookup(UserMapKey(engine.binPower(10))), -1);
    bool found = false;
    for (const auto& r : c.cols.at(0).runs)
        found = found || r.pen == 1;
    EXPECT_TRUE(found);
}

TEST_F(ColumnTest, OscillogramStrokeSpansTheColumnsSamples)
{
    fill(16, 1, 100000, 1000.0, 0.5);
    parms.m_ampPlot = true;
    parms.m_spectPlot = false;
    parms.m_ampCont = true;
    parms.m_plotSize = 100000;
    const PlotLayout l = layout();
    const Collect c = run(l, 0, 30);
    ASSERT_EQ(c.cols.size(), 30u);
    const TwipsRect& pane = l.channels[0].oscPane;
    for (std::size_t i = 0; i < c.cols.size(); ++i) {
        const PlotColumn& col = c.cols[i].c;
        ASSERT_TRUE(col.hasOsc);
        EXPECT_FALSE(col.hasSpect);
        EXPECT_LE(col.oscMin, col.oscMax);
        EXPECT_GE(col.oscMinY, pane.bottom);
        EXPECT_LE(col.oscMaxY, pane.top);
        EXPECT_EQ(col.joinFromPrevious, i > 0);
        if (i > 0) {
            EXPECT_EQ(col.prevMaxY, c.cols[i - 1].c.oscMaxY);
        }
    }
    // A 1 kHz tone at half scale: over a millisecond the strokes reach +-50 %.
    double lo = 0, hi = 0;
    for (const auto& k : c.cols) {
        lo = std::min(lo, k.c.oscMin);
        hi = std::max(hi, k.c.oscMax);
    }
    EXPECT_NEAR(PlotLayout::sampleToAmplitude(hi), 5000, 10);
    EXPECT_NEAR(PlotLayout::sampleToAmplitude(lo), -5000, 10);
}

// 32-bit integer samples have full scale 2^31, like every other width's
// 2^(bits-1): the same tone reads the same level, amplitude and threshold in
// every width.
TEST_F(ColumnTest, EveryWidthReadsTheSameToneAlike)
{
    parms.m_fftSize = 512;
    parms.m_fftOverLap = 0;
    parms.m_plotSize = 100000;
    parms.m_ampPlot = true;
    parms.m_leftChan = false;
    parms.m_rightChan = true;
    double reference = 0;
    for (int bits : {16, 8, 24, 32}) {
        fill(bits, 2, 100000, 75000.0, 0.5, 1);  // tone on the right channel only
        const PlotLayout l = layout();
        ASSERT_EQ(l.channels.size(), 1u);
        ASSERT_EQ(l.channels[0].channel, ChannelIndex::Right);
        ColumnEngine engine(l);
        Collect c;
        engine.compute(doc, 0, 40, 41, c);
        const double level = engine.binPower(100);
        if (bits == 16) {
            reference = level;
            EXPECT_NEAR(level / (kFullScalePower / 4), 1.0, 0.01);
        }
        // 8-bit quantisation costs a little level; the others agree closely.
        EXPECT_NEAR(level / reference, 1.0, bits == 8 ? 0.05 : 1e-4) << bits;
        EXPECT_NEAR(PlotLayout::sampleToAmplitude(c.cols.at(0).c.oscMax), 5000, bits == 8 ? 40 : 1) << bits;
        // The zero-crossing threshold, 5 % of full scale, in 16-bit units.
        EXPECT_NEAR(l.zeroCrossThreshold, 0.05 * 32768, bits == 8 ? 256 : 1) << bits;
    }
}

// ---------------------------------------------------------------------------
// Zero crossings

TEST_F(ColumnTest, FortyKilohertzSineReadsCloseToFortyKilohertz)
{
    fill(16, 1, 100000, 40000.0, 0.5);
    parms.m_spectPlot = false;
    parms.m_freqPlot = 1;
    parms.m_freqSize = 2000;
    parms.m_freqThreshold = 5;
    parms.m_spectMax = 100000;
    parms.m_plotSize = 100000;
    const PlotLayout l = layout();
    const Collect c = run(l, 10, 20);
    ASSERT_EQ(c.cols.size(), 10u);
    const TwipsRect& pane = l.channels[0].freqPane;
    for (const auto& k : c.cols) {
        ASSERT_TRUE(k.c.hasZeroCross);
        EXPECT_FALSE(k.c.hasSpect);
        // k crossings counted over about k - 1 half periods: a little above
        // the tone, by about one half period in the window's 208.
        EXPECT_NEAR(static_cast<double>(k.c.zeroCrossHz), 40000.0, 200.0);
        EXPECT_EQ(k.c.zeroCrossY, l.frequencyToY(static_cast<double>(k.c.zeroCrossHz), pane));
    }
}

TEST(ZeroCrossCounter, SignalInsideTheBandGivesNoValue)
{
    const std::vector<double> w = {100, -100, 150, -150, 100, -100};
    ZeroCrossCounter c(200, 0);
    c.feed(w.data(), static_cast<std::int64_t>(w.size()));
    EXPECT_EQ(c.crossings(), 0);
    EXPECT_EQ(c.frequency(kRate, 6), -1);
}

TEST(ZeroCrossCounter, ZeroThresholdCountsEverySignChangeButZerosNeverArm)
{
    // Arms at 1; crosses at -1 (index 2), 2 (index 4), -3 (index 6); zeros ignored.
    const std::vector<double> w = {0, 1, -1, 0, 2, 0, -3, 0};
    ZeroCrossCounter c(0, 0);
    c.feed(w.data(), static_cast<std::int64_t>(w.size()));
    EXPECT_EQ(c.crossings(), 3);
    // f = 3 (the index after the first crossing sample), window end 8.
    EXPECT_EQ(c.frequency(1000, 8), 1000 * 3 / 5 / 2);
}

TEST_F(ColumnTest, SilenceBreaksTheZeroCrossingValues)
{
    std::vector<std::uint8_t> bytes = toneBytes(16, 1, 40000, 20000.0, 0.5);
    std::fill(bytes.begin() + 2 * 15000, bytes.begin() + 2 * 25000, 0);
    vestest::fillDocument(doc, 1, 16, kRate, bytes);
    parms.m_spectPlot = false;
    parms.m_freqPlot = 1;
    parms.m_freqSize = 1;  // the column's own samples
    parms.m_plotSize = 100000;
    const PlotLayout l = layout();
    const Collect c = run(l);
    int with = 0, without = 0;
    for (const auto& k : c.cols) {
        const bool silent = k.c.firstSample >= 15000 && l.columnFirstSample(k.c.column + 1) <= 25000;
        if (silent) {
            EXPECT_FALSE(k.c.hasZeroCross) << k.c.column;
        }
        (k.c.hasZeroCross ? with : without)++;
    }
    EXPECT_GT(with, 0);
    EXPECT_GT(without, 0);
}

TEST_F(ColumnTest, NoAllocationPerColumn)
{
    fill(16, 1, 300000, 40000.0, 0.5);
    parms.m_ampPlot = true;
    parms.m_fftSize = 256;
    parms.m_fftOverLap = 50;
    parms.m_plotSize = 500000;
    const PlotLayout l = layout();
    ColumnEngine engine(l);
    struct Quiet : IColumnSink {
        int n = 0;
        void column(const PlotColumn&) override { ++n; }
    } sink;
    engine.compute(doc, 0, 0, 1000, sink);  // tables and views set up once
    auto allocationsFor = [&](int columns) {
        const long before = g_allocations.load();
        engine.compute(doc, 0, 0, columns, sink);
        return g_allocations.load() - before;
    };
    EXPECT_EQ(allocationsFor(10), allocationsFor(300));
}

}  // namespace
