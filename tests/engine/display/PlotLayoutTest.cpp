// Plot layout: pane geometry in twips, parameter repairs, automatic FFT size,
// bin bands, scales, ticks, grids, titles and the colour bar.
#include "display/PlotLayout.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

constexpr std::uint32_t kRate = 384000;

SoundInfo sound(std::int64_t frames = 10 * kRate, int channels = 1, int bits = 16)
{
    SoundInfo s;
    s.format = SoundFormat::pcm(channels, bits, kRate);
    s.lengthFrames = frames;
    return s;
}

// 1000 x 600 pixels at 15 twips per pixel: 15000 x 9000 twips.
const PlotDevice kDevice = PlotDevice::fromScreen(1000, 600, 150000);

VesAnaParms spectrogramParms()
{
    VesAnaParms p;
    p.m_ampPlot = false;
    p.m_spectPlot = true;
    p.m_scale = false;
    p.m_fftSize = 512;
    p.m_fftOverLap = 50;
    p.m_fftWindow = 2;
    return p;
}

TEST(PlotDevice, SmallPixelsAreDoubled)
{
    const PlotDevice d = PlotDevice::fromScreen(100, 50, 60000);  // 6 twips per pixel
    EXPECT_EQ(d.twipsPerPixel, 12);
    EXPECT_EQ(d.twipsPer1000Pixels, 12000);
    EXPECT_EQ(d.widthTwips, 1200);
    EXPECT_EQ(kDevice.twipsPerPixel, 15);
}

TEST(PlotLayoutGeometry, OscillogramAndSpectrogram)
{
    VesAnaParms p = spectrogramParms();
    p.m_ampPlot = true;
    const PlotLayout l = PrepareLayout(p, sound(), kDevice);
    // Margin 14 px + 8 x 100; plot width 15000 - 2 x 1010 - 2.
    EXPECT_EQ(l.marginTwips, 1010);
    EXPECT_EQ(l.plotLeft, 1010);
    EXPECT_EQ(l.plotWidth, 12978);
    EXPECT_EQ(l.columns, 865);
    ASSERT_EQ(l.channels.size(), 1u);
    const ChannelPanes& ch = l.channels[0];
    // Middle -4500: oscillogram from -160 - 180 down to -4400, spectrogram
    // from -4860 down to -8960.
    EXPECT_EQ(ch.oscPane, (TwipsRect{1010, -340, 13988, -4400}));
    EXPECT_EQ(ch.freqPane, (TwipsRect{1010, -4860, 13988, -8960}));
    EXPECT_TRUE(ch.colourBar.empty());
    EXPECT_EQ(ch.timeAxisY, -4400);
    EXPECT_EQ(ch.secondTickRowY, -8960);
    EXPECT_EQ(ch.oscTitle, "Amplitude");
    EXPECT_EQ(ch.freqTitle, "Spectrogram, FFT size 512, Hanning window, 50% overlap ");
    EXPECT_EQ(ch.titleX, 1070);
    EXPECT_EQ(ch.oscTitleY, -320);
    EXPECT_EQ(ch.freqTitleY, -4840);
}

TEST(PlotLayoutGeometry, ColourBarAtTheEndOfTheTitleLine)
{
    VesAnaParms p = spectrogramParms();
    p.m_scale = true;
    const PlotLayout l = PrepareLayout(p, sound(), kDevice);
    const ChannelPanes& ch = l.channels[0];
    // Pane -400 .. -8680 before the bar; the bar is a third of the plot wide
    // and 60 x 8 - 40 high, 20 below the window top; the pane starts 20 below it.
    EXPECT_EQ(ch.colourBar, (TwipsRect{13988 - 4326, -20, 13988, -460}));
    EXPECT_EQ(ch.freqPane, (TwipsRect{1010, -480, 13988, -8680}));
    EXPECT_EQ(ch.timeLabelY, -9000 + 160 + 140);

    // A low pane: an eighth of its height.
    const PlotLayout low = PrepareLayout(p, sound(), PlotDevice::fromScreen(1000, 200, 150000));
    EXPECT_EQ(low.channels[0].colourBar.height(), (3000 - 320 - 400) / 8);
    // A small font: the width is capped at 1200 x 2 - 1200.
    p.m_fontSize = 2;
    const PlotLayout small = PrepareLayout(p, sound(), kDevice);
    EXPECT_EQ(small.channels[0].colourBar.width(), 1200);
    // The zero-crossing pane has no colour bar.
    p.m_freqPlot = 1;
    EXPECT_TRUE(PrepareLayout(p, sound(), kDevice).channels[0].colourBar.empty());
}

TEST(PlotLayoutGeometry, BothChannelsGetAHalfEach)
{
    VesAnaParms p = spectrogramParms();
    p.m_fftOverLap = -1;
    const PlotLayout l = PrepareLayout(p, sound(kRate, 2), kDevice);
    ASSERT_TRUE(l.bothChannels);
    ASSERT_EQ(l.channels.size(), 2u);
    const ChannelPanes& left = l.channels[0];
    const ChannelPanes& right = l.channels[1];
    EXPECT_EQ(left.channel, ChannelIndex::Left);
    EXPECT_EQ(right.channel, ChannelIndex::Right);
    EXPECT_EQ(left.freqPane, (TwipsRect{1010, -400, 13988, -4500 + 320}));
    EXPECT_EQ(right.freqPane, left.freqPane.shifted(-4500));
    EXPECT_EQ(right.timeAxisY, left.timeAxisY - 4500);
    EXPECT_EQ(left.freqTitle, "Spectrogram, FFT size 512, Hanning window");
    EXPECT_EQ(right.freqTitle, left.freqTitle);
    // The hit test moves the lower half up.
    EXPECT_EQ(l.hitTest(500, 100), 1);
    EXPECT_EQ(l.hitTest(500, 400), 1);
    EXPECT_EQ(l.hitTest(10, 100), 0);

    // One channel of a stereo recording says which.
    p.m_leftChan = false;
    p.m_fftOverLap = 0;
    p.m_fftWindow = 0;
    const PlotLayout one = PrepareLayout(p, sound(kRate, 2), kDevice);
    ASSERT_EQ(one.channels.size(), 1u);
    EXPECT_EQ(one.channels[0].channel, ChannelIndex::Right);
    EXPECT_EQ(one.channels[0].freqTitle, "Spectrogram, FFT size 512, no overlap  - Right ");
    p.m_freqPlot = 1;
    p.m_ampPlot = true;
    const PlotLayout zc = PrepareLayout(p, sound(kRate, 2), kDevice);
    EXPECT_EQ(zc.channels[0].freqTitle, "Zero Crossing Analysis - Right ");
    EXPECT_EQ(zc.channels[0].oscTitle, "Amplitude - Right ");
    EXPECT_EQ(zc.hitTest(500, 100), 3);
    EXPECT_EQ(zc.hitTest(500, 500), 2);
}

TEST(PlotLayoutRepairs, OutOfRangeValuesAreRepairedInTheRecord)
{
    VesAnaParms p = spectrogramParms();
    p.m_freqThreshold = 120;
    p.m_freqSize = 0;
    p.m_spectMin = -5;
    p.m_spectMax = -1;
    p.m_ampMin = -20000;
    p.m_ampMax = -20000;
    p.m_fftSize = 3000;
    p.m_fftOverLap = 150;
    SoundInfo s = sound();
    s.timeExp25 = 0;
    const PlotLayout l = PrepareLayout(p, s, kDevice);
    EXPECT_EQ(p.m_freqThreshold, 5);
    EXPECT_EQ(p.m_freqSize, 50);
    EXPECT_EQ(p.m_spectMin, 0);
    EXPECT_EQ(p.m_spectMax, kRate / 2);
    EXPECT_EQ(p.m_ampMin, -10000);
    EXPECT_EQ(p.m_ampMax, 10000);
    EXPECT_EQ(p.m_fftSize, 2048);
    EXPECT_EQ(p.m_fftOverLap, 99);
    EXPECT_EQ(l.sound.timeExp25, 1000);
    EXPECT_EQ(l.rateHz, kRate);
    EXPECT_EQ(l.parms, p);

    struct AmpCase {
        std::int64_t min, max, wantMin, wantMax;
    };
    for (const AmpCase& c : {AmpCase{500, 500, 499, 500}, AmpCase{-10000, -10000, -10000, -9999},
                             AmpCase{3000, -2000, -2001, -2000}}) {
        VesAnaParms q = spectrogramParms();
        q.m_ampMin = c.min;
        q.m_ampMax = c.max;
        PrepareLayout(q, sound(), kDevice);
        EXPECT_EQ(q.m_ampMin, c.wantMin) << c.min << " " << c.max;
        EXPECT_EQ(q.m_ampMax, c.wantMax) << c.min << " " << c.max;
    }
    for (const auto& [in, want] : {std::pair{5, 16}, std::pair{8192, 4096}, std::pair{-3, 16}, std::pair{1024, 1024}}) {
        VesAnaParms q = spectrogramParms();
        q.m_fftSize = in;
        const PlotLayout k = PrepareLayout(q, sound(), kDevice);
        EXPECT_EQ(k.spect.fftSize, want) << in;
        EXPECT_EQ(1 << k.spect.fftOrder, want) << in;
    }
    // An empty frequency range becomes the full one.
    VesAnaParms q = spectrogramParms();
    q.m_spectMin = 50000;
    q.m_spectMax = 50000;
    PrepareLayout(q, sound(), kDevice);
    EXPECT_EQ(q.m_spectMin, 0);
    EXPECT_EQ(q.m_spectMax, 50000);
}

TEST(PlotLayoutRepairs, PlotEndFollowsPlotStart)
{
    VesAnaParms p = spectrogramParms();
    p.m_plotSize = 1000;  // 1 ms: 384 samples
    p.m_plotStart = 1000;
    p.m_plotEnd = -1;
    const PlotLayout l = PrepareLayout(p, sound(), kDevice);
    EXPECT_EQ(l.samplesPerPlot, 384);
    EXPECT_EQ(p.m_plotEnd, 1384);
    EXPECT_EQ(l.plotStart, 1000);
    EXPECT_EQ(l.columnFirstSample(0), 1000);
    // A plot duration below 1000 ns counts as 5000 ns.
    p.m_plotSize = 0;
    EXPECT_EQ(PrepareLayout(p, sound(), kDevice).durationNs, 5000);
}

struct AutoCase {
    std::int64_t s, paneHeightPx, frames;
    int n;
};

class AutomaticFft : public ::testing::TestWithParam<AutoCase> {};

TEST_P(AutomaticFft, Size)
{
    const AutoCase& c = GetParam();
    EXPECT_EQ(automaticFftSize(c.s, c.paneHeightPx, c.frames), c.n) << c.s << " " << c.paneHeightPx << " " << c.frames;
}

INSTANTIATE_TEST_SUITE_P(Cases, AutomaticFft,
                         ::testing::Values(AutoCase{10, 300, 1000000, 512},   // 64 doubled while below 300
                                           AutoCase{48, 40, 1000000, 64},     // S < 49, within 2 x pane
                                           AutoCase{48, 20, 1000000, 32},     // above twice the pane: halved
                                           AutoCase{49, 80, 1000000, 128},
                                           AutoCase{300, 100, 1000000, 128},  // 1024 halved to <= 200
                                           AutoCase{300, 2000, 1000000, 1024},
                                           AutoCase{10, 1000, 40, 32},        // short recordings
                                           AutoCase{10, 1000, 63, 32}, AutoCase{10, 1000, 16, 16},
                                           AutoCase{10, 1000, 5, 16}, AutoCase{10, 1000, 0, 16}));

TEST(PlotLayoutSpectrogram, AutomaticSizeComesFromTheColumnsAndThePane)
{
    VesAnaParms p = spectrogramParms();
    p.m_fftSize = 0;
    p.m_fftOverLap = -1;
    p.m_plotSize = 1000000;
    const PlotLayout l = PrepareLayout(p, sound(), kDevice);
    const std::int64_t paneHeightPx = l.channels[0].freqPane.height() / 15;
    EXPECT_EQ(l.samplesPerColumn, 384000LL * 15 / 12978);
    EXPECT_EQ(l.spect.fftSize, automaticFftSize(l.samplesPerColumn, paneHeightPx, l.sound.lengthFrames));
    EXPECT_EQ(l.spect.overlap, l.spect.fftSize - l.samplesPerColumn);
    EXPECT_TRUE(l.spect.autoOverlap);
    EXPECT_EQ(l.channels[0].freqTitle,
              "Spectrogram, FFT size " + std::to_string(l.spect.fftSize) + ", Hanning window");
}

TEST(PlotLayoutSpectrogram, BinAtSpectMinIsVisible)
{
    VesAnaParms p = spectrogramParms();  // 512 points: 750 Hz per bin
    p.m_spectMin = 19500;                // bin 26 exactly
    p.m_spectMax = 100000;
    const PlotLayout l = PrepareLayout(p, sound(), kDevice);
    const SpectrogramSetup& s = l.spect;
    EXPECT_EQ(s.firstBin, 25);
    EXPECT_EQ(s.lastBin, 134);  // 100.5 kHz lies above the pane
    EXPECT_DOUBLE_EQ(s.binFrequency[26], 19500.0);
    const std::int64_t h = l.channels[0].freqPane.height();
    for (int i = s.firstBin; i < s.lastBin; ++i) {
        EXPECT_LE(s.binBottom(i), s.binTop[static_cast<std::size_t>(i)]) << i;
        EXPECT_GE(s.binBottom(i), 0);
        EXPECT_LE(s.binTop[static_cast<std::size_t>(i)], h);
    }
    EXPECT_EQ(s.binBottom(s.firstBin), 0);
    // The bin at SpectMin has a band of its own; the one below it keeps what
    // is left of its half band above the pane bottom.
    EXPECT_GT(s.binTop[26], s.binBottom(26));
    EXPECT_LT(s.binTop[25], s.binTop[26]);

    p.m_spectMin = 0;
    EXPECT_EQ(PrepareLayout(p, sound(), kDevice).spect.firstBin, 0);
}

TEST(PlotLayoutScales, ConversionsAreInverse)
{
    VesAnaParms p = spectrogramParms();
    p.m_ampPlot = true;
    p.m_plotSize = 500000;
    p.m_spectMin = 10000;
    p.m_spectMax = 110000;
    const PlotLayout l = PrepareLayout(p, sound(), kDevice);
    EXPECT_EQ(l.samplesPerPlot, 192000);
    EXPECT_EQ(l.xToSample(l.plotLeft), 0);
    EXPECT_EQ(l.xToSample(l.plotLeft + l.plotWidth), 192000);
    EXPECT_NEAR(l.sampleToX(96000), l.plotLeft + l.plotWidth / 2.0, 1e-9);
    EXPECT_EQ(l.sampleToTimeNs(384000), 1000000000);
    const TwipsRect& f = l.channels[0].freqPane;
    EXPECT_EQ(l.frequencyToY(5000, f), f.bottom);
    EXPECT_EQ(l.frequencyToY(200000, f), f.top);
    EXPECT_EQ(l.frequencyToY(60000, f), f.bottom + f.height() / 2);
    EXPECT_NEAR(l.yToFrequency(f.bottom + f.height() / 2, f), 60000, 100000.0 / f.height());
    EXPECT_EQ(l.yToFrequency(f.top + 1, f), -1);
    const TwipsRect& o = l.channels[0].oscPane;
    EXPECT_EQ(l.amplitudeToY(-20000, o), o.bottom);
    EXPECT_EQ(l.amplitudeToY(0, o), o.bottom + o.height() / 2);
    EXPECT_EQ(PlotLayout::sampleToAmplitude(32768), 10000);
    EXPECT_EQ(l.yToAmplitude(o.bottom - 1, o), -1);
}

// ---------------------------------------------------------------------------

TEST(PlotLayoutAxes, TwoMillisecondTicksLabelledInMilliseconds)
{
    VesAnaParms p = spectrogramParms();
    p.m_plotSize = 19900;  // 19.9 ms: 2 ms ticks
    const PlotLayout l = PrepareLayout(p, sound(), kDevice);
    EXPECT_EQ(l.timeStepNs, 2000000);
    EXPECT_EQ(l.timeLabelType, 7);
    const auto ticks = l.timeTicks(l.channels[0]);
    ASSERT_EQ(ticks.size(), 10u);
    std::vector<std::string> texts;
    for (const auto& t : ticks) {
        EXPECT_TRUE(t.labelled);
        EXPECT_EQ(t.from, l.channels[0].timeAxisY - 40);
        EXPECT_EQ(t.to, l.channels[0].timeAxisY + 40);
        texts.push_back(t.text);
    }
    EXPECT_EQ(texts, (std::vector<std::string>{"0", "2", "4", "6", "8", "10", "12", "14", "16", "18 ms"}));
    EXPECT_EQ(ticks[0].pos, l.plotLeft);
    EXPECT_TRUE(std::is_sorted(ticks.begin(), ticks.end(), [](auto& a, auto& b) { return a.pos < b.pos; }));
}

TEST(PlotLayoutAxes, BothPanesLabelOnlyTheEndAndTheStep)
{
    VesAnaParms p = spectrogramParms();
    p.m_ampPlot = true;
    p.m_plotSize = 20000;  // 20 ms: 5 ms ticks
    p.m_plotStart = 3840;  // from 10 ms
    const PlotLayout l = PrepareLayout(p, sound(), kDevice);
    EXPECT_EQ(l.timeStepNs, 5000000);
    const auto ticks = l.timeTicks(l.channels[0]);
    ASSERT_EQ(ticks.size(), 5u);  // 10, 15, 20, 25, 30 ms
    EXPECT_DOUBLE_EQ(ticks.front().value, 10e6);
    for (const auto& t : ticks)
        EXPECT_FALSE(t.labelled);
    const TimeDivisionTexts texts = l.timeDivisionTexts();
    EXPECT_EQ(texts.endText, "30 ms");
    EXPECT_EQ(texts.stepText, "5 ms/div");
}

TEST(PlotLayoutAxes, FrequencyTicksAndGrid)
{
    VesAnaParms p = spectrogramParms();
    p.m_spectMin = 0;
    p.m_spectMax = 250000;
    const PlotLayout l = PrepareLayout(p, sound(), kDevice);
    const TwipsRect& pane = l.channels[0].freqPane;
    std::vector<double> labelled, plain;
    for (const auto& t : l.frequencyTicks(pane)) {
        if (t.labelled) {
            labelled.push_back(t.value);
            EXPECT_EQ(t.from, pane.left - 80);
            EXPECT_EQ(t.to, pane.left + 100);
            EXPECT_EQ(t.textPos, pane.left - 140);
        } else {
            plain.push_back(t.value);
            EXPECT_EQ(t.to, pane.left + 60);
        }
    }
    EXPECT_EQ(labelled, (std::vector<double>{100000, 200000}));
    EXPECT_EQ(plain, (std::vector<double>{0, 50000, 100000, 150000, 200000, 250000}));
    EXPECT_EQ(l.freqScale.label(100000), "100 kHz");
    EXPECT_TRUE(l.frequencyGrid(-1, pane).empty());
    EXPECT_EQ(l.frequencyGrid(0, pane).size(), 2u);
    EXPECT_EQ(l.frequencyGrid(2, pane).size(), 11u);  // every 25 kHz

    p.m_freqAllTicksLabels = true;
    const PlotLayout all = PrepareLayout(p, sound(), kDevice);
    std::vector<std::string> texts;
    for (const auto& t : all.frequencyTicks(pane)) {
        EXPECT_EQ(t.to, pane.left + 60);  // no long ticks
        if (t.labelled)
            texts.push_back(t.text);
    }
    EXPECT_EQ(texts, (std::vector<std::string>{"50 kHz", "100 kHz", "150 kHz", "200 kHz", "250 kHz"}));
}

TEST(PlotLayoutAxes, AmplitudeTicksOnBothEdges)
{
    VesAnaParms p = spectrogramParms();
    p.m_ampPlot = true;
    p.m_spectPlot = false;
    const PlotLayout l = PrepareLayout(p, sound(), kDevice);
    const TwipsRect& pane = l.channels[0].oscPane;
    const auto ticks = l.amplitudeTicks(pane);
    ASSERT_EQ(ticks.size(), 10u);  // -100, -50, 0, 50, 100 % at each edge
    std::vector<std::string> labels;
    for (const auto& t : ticks)
        if (t.labelled) {
            labels.push_back(t.text);
            EXPECT_EQ(t.from, pane.left - 40);
            EXPECT_EQ(t.textPos, pane.left - 100);
        }
    EXPECT_EQ(labels, (std::vector<std::string>{"-100%", "-50%", "  0%", " 50%", "100%"}));
    EXPECT_EQ(ticks[5].from, pane.right - 20);
    EXPECT_EQ(ticks[5].to, pane.right + 40);
    EXPECT_EQ(l.amplitudeGrid(2, pane).size(), 9u);
    EXPECT_TRUE(l.amplitudeGrid(0, pane).empty());
    // +-50 %: ticks every 10 %, labels every 50 %.
    p.m_ampMin = -5000;
    p.m_ampMax = 5000;
    const PlotLayout half = PrepareLayout(p, sound(), kDevice);
    const auto t2 = half.amplitudeTicks(half.channels[0].oscPane);
    EXPECT_EQ(t2.size(), 22u);
    EXPECT_EQ(std::count_if(t2.begin(), t2.end(), [](auto& t) { return t.labelled; }), 3);
    // Two grid lines per time step: every tick and half way between.
    const auto grid = half.timeGrid(2);
    const auto timeTicks = half.timeTicks(half.channels[0]);
    ASSERT_GE(grid.size(), 2 * timeTicks.size() - 1);
    EXPECT_EQ(grid[0], timeTicks[0].pos);
    EXPECT_EQ(grid[2], timeTicks[1].pos);
}

// ---------------------------------------------------------------------------

TEST(PlotLayoutColourBar, BuiltInSchemeFillsFromTheRightDownToTheThreshold)
{
    VesAnaParms p = spectrogramParms();
    p.m_scale = true;
    p.m_fftThresHold = 0;
    const PlotLayout l = PrepareLayout(p, sound(), kDevice);
    const ColourBarLayout bar = l.colourBar(l.channels[0]);
    ASSERT_EQ(bar.ticks.size(), 11u);
    std::vector<std::string> labels;
    for (const auto& t : bar.ticks)
        if (t.labelled)
            labels.push_back(t.text);
    EXPECT_EQ(labels, (std::vector<std::string>{"-90 dB", "-70 dB", "-50 dB", "-30 dB", "-10 dB"}));
    ASSERT_FALSE(bar.bands.empty());
    EXPECT_EQ(bar.bands.front().xRight, bar.strip.right);
    EXPECT_EQ(bar.bands.front().index, 62);
    EXPECT_EQ(bar.bands.back().index, 0);
    for (std::size_t i = 1; i < bar.bands.size(); ++i) {
        EXPECT_EQ(bar.bands[i].index, bar.bands[i - 1].index - 1);
        EXPECT_EQ(bar.bands[i].xRight, bar.bands[i - 1].xLeft);
    }
    // Below the threshold (T = 1, about -90 dB) the strip stays empty.
    const std::int64_t minus90 = bar.strip.right - 90 * bar.strip.width() / 100;
    EXPECT_GE(bar.bands.back().xLeft, minus90);

    // A raised threshold empties more of the strip.
    p.m_fftThresHold = 20;
    const PlotLayout raised = PrepareLayout(p, sound(), kDevice);
    EXPECT_GT(raised.colourBar(raised.channels[0]).bands.back().xLeft, bar.bands.back().xLeft);
}

TEST(PlotLayoutColourBar, UserMapPaintsOnlyItsRange)
{
    VesAnaParms p = spectrogramParms();
    p.m_scale = true;
    p.m_colorScheme = kUserColorScheme;
    p.m_colorMap.m_colorMapRader = 1;
    p.m_colorMap.m_bands[0] = {0, -50000, -10000, 5, 0x000000, 0xFFFFFF};
    const PlotLayout l = PrepareLayout(p, sound(), kDevice);
    const ColourBarLayout bar = l.colourBar(l.channels[0]);
    EXPECT_TRUE(bar.bands.empty());
    ASSERT_FALSE(bar.userLines.empty());
    const std::int64_t minus50 = bar.strip.right - bar.strip.width() / 2;
    EXPECT_EQ(bar.userLines.front().x, bar.strip.right);
    EXPECT_EQ(bar.userLines.front().pen, 0);
    EXPECT_EQ(bar.userLines.back().pen, 4);
    for (const auto& line : bar.userLines)
        EXPECT_GT(line.x, minus50 - 15);
    // About one line per pixel over half the strip.
    EXPECT_NEAR(static_cast<double>(bar.userLines.size()), bar.strip.width() / 2.0 / (15 - 0.25), 2.0);
}

}  // namespace
