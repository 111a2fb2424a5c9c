// What a new view starts with and how a view follows its document, without
// windows.
#include "display/ViewPolicy.h"

#include "DocTestSupport.h"

#include <gtest/gtest.h>

namespace {

using vestest::RecordingHost;

class ViewPolicyTest : public ::testing::Test {
protected:
    RecordingHost host;
    CVesSoundDoc doc{host};
    VesAnaParms defaults;

    void fill(std::uint32_t rate, std::int64_t frames, int channels = 1)
    {
        vestest::fillDocument(doc, channels, 16, rate, vestest::patternSamples(channels, 16, frames));
    }
};

TEST_F(ViewPolicyTest, AStoredSetIsTakenWholeAndEachViewTakesTheNextOne)
{
    fill(384000, 1000);
    VesAnaParms a, b;
    a.m_plotSize = 123;
    a.m_ampPlot = true;
    a.m_spectPlot = false;
    b.m_plotSize = 456;
    doc.pendingAnaParms() = {a, b};
    NewViewContext c{ViewKind::Combined, nullptr, nullptr, &defaults};
    EXPECT_EQ(initialViewParms(doc, c).m_plotSize, 456) << "the last set first";
    const VesAnaParms second = initialViewParms(doc, c);
    EXPECT_EQ(second.m_plotSize, 123);
    EXPECT_FALSE(second.m_spectPlot) << "the stored panes, not the kind's";
    EXPECT_EQ(initialViewParms(doc, c).m_plotSize, defaults.m_plotSize) << "none left: the defaults";
}

TEST_F(ViewPolicyTest, DefaultFrequencyRangeOnlyWhereItFitsTheRecording)
{
    fill(384000, 1000);  // R/2 = 192 kHz, a tenth of it 19.2 kHz
    struct Case {
        std::int64_t defMin, defMax, min, max;
    };
    const Case cases[] = {
        {25000, 120000, 25000, 120000},
        {10000, 120000, 0, 120000},     // a minimum below a tenth of R/2 is not taken
        {25000, 250000, 25000, -1},     // a maximum above R/2 is not taken
        {25000, 15000, 25000, -1},      // nor one below a tenth of R/2
        {150000, 100000, 0, 100000},    // a minimum not below the maximum becomes 0
    };
    for (const Case& k : cases) {
        defaults.m_spectMin = k.defMin;
        defaults.m_spectMax = k.defMax;
        const VesAnaParms p = initialViewParms(doc, {ViewKind::Spectrogram, nullptr, nullptr, &defaults});
        EXPECT_EQ(p.m_spectMin, k.min) << k.defMin << " " << k.defMax;
        EXPECT_EQ(p.m_spectMax, k.max) << k.defMin << " " << k.defMax;
        EXPECT_EQ(p.m_plotStart, 0);
        EXPECT_EQ(p.m_plotEnd, -1);
        EXPECT_TRUE(p.m_spectPlot && !p.m_ampPlot && p.m_freqPlot == 0);
    }
}

TEST_F(ViewPolicyTest, ANewViewStartsAtThePreviousViewsSelection)
{
    fill(384000, 384000, 2);
    VesAnaParms osc;
    setViewPanes(osc, ViewKind::Oscillogram);
    osc.m_plotStart = 5000;
    osc.m_plotEnd = 10000;
    osc.m_spectMin = 0;
    osc.m_spectMax = 192000;
    // A rectangle drawn in the oscillogram of the right channel.
    ViewSelection rect{38400, 19200, ChannelSel::Right, false, false, -5000, 5000};
    NewViewContext c{ViewKind::Spectrogram, &osc, &rect, &defaults};
    const VesAnaParms p = initialViewParms(doc, c);
    EXPECT_EQ(p.m_plotStart, 19200);
    EXPECT_EQ(p.m_plotEnd, 38400);
    EXPECT_EQ(p.m_plotSize, 50000) << "19200 frames at 384 kHz";
    EXPECT_EQ(p.m_spectMin, 0);
    EXPECT_EQ(p.m_spectMax, 192000) << "an oscillogram rectangle leaves the full frequency range";
    EXPECT_TRUE(p.m_spectPlot && !p.m_ampPlot);
    EXPECT_FALSE(p.m_leftChan);
    EXPECT_TRUE(p.m_rightChan) << "the selection's channel only";

    ViewSelection inSpect{1000, 2000, ChannelSel::Both, false, true, 30000, 60000};
    const VesAnaParms q = initialViewParms(doc, {ViewKind::Combined, &osc, &inSpect, &defaults});
    EXPECT_EQ(q.m_spectMin, 30000);
    EXPECT_EQ(q.m_spectMax, 60000);
    EXPECT_TRUE(q.m_leftChan && q.m_rightChan);

    const VesAnaParms r = initialViewParms(doc, {ViewKind::ZeroCrossing, &osc, nullptr, &defaults});
    EXPECT_EQ(r.m_plotStart, 5000) << "without a selection where the old view is";
    EXPECT_EQ(r.m_freqPlot, 1);
}

TEST_F(ViewPolicyTest, RepairsOfEveryNewView)
{
    VesAnaParms bad;
    bad.m_plotSize = -5;
    bad.m_ampPlot = true;
    bad.m_spectPlot = false;
    bad.m_freqPlot = 1;
    bad.m_freqGridX = 9;
    bad.m_spectGridY = -2;
    bad.m_oscGridY = 6;
    bad.m_spectGridX = 3;
    bad.m_spectMax = 90000;
    doc.pendingAnaParms() = {bad};
    const VesAnaParms p = initialViewParms(doc, {ViewKind::Combined, nullptr, nullptr, &defaults});
    EXPECT_EQ(p.m_plotSize, 1);
    EXPECT_EQ(p.m_freqPlot, 0) << "with the oscillogram the spectrogram shows instead";
    EXPECT_TRUE(p.m_spectPlot);
    EXPECT_EQ(p.m_freqGridX, 0);
    EXPECT_EQ(p.m_spectGridY, -1);
    EXPECT_EQ(p.m_oscGridY, 0);
    EXPECT_EQ(p.m_spectGridX, 3);
    EXPECT_EQ(p.m_spectMax, -1) << "a document without samples has no frequency range";
}

TEST(ViewDocTracker, ChangesOfTimeExpansionAndRateRescale)
{
    VesAnaParms p;
    p.m_spectMin = 20000;
    p.m_spectMax = 100000;
    p.m_plotSize = 1000000;
    AnaViewZoom zoom(p);
    zoom.fullRange();  // history: 20 .. 100 kHz
    p.m_spectMin = 0;
    p.m_spectMax = 22050;
    ViewDocTracker t(1000, 44100);
    t.formatChanged(p, zoom, 10000, 44100);  // time expansion 10
    EXPECT_EQ(p.m_spectMax, 220500);
    EXPECT_EQ(p.m_spectMin, 0) << "only positive values scale";
    EXPECT_EQ(p.m_plotSize, 100000);
    EXPECT_EQ(zoom.history().back().spectMin, 200000);
    EXPECT_EQ(zoom.history().back().spectMax, 1000000);
    t.formatChanged(p, zoom, 10000, 88200);  // rate doubled
    EXPECT_EQ(p.m_spectMax, 441000);
    EXPECT_EQ(p.m_plotSize, 50000);
    t.formatChanged(p, zoom, 0, 88200);  // below 1 counts as 1000
    EXPECT_EQ(t.timeExp25(), 1000);
    EXPECT_EQ(p.m_plotSize, 500000);
}

TEST(ViewDocTracker, AppendedSamplesAdvanceByWholePages)
{
    VesAnaParms p;
    p.m_plotStart = 0;
    p.m_plotEnd = 1000;
    ViewDocTracker t(1000, 384000);
    EXPECT_EQ(t.appended(p, 300, 1000, false), ViewDocTracker::Append::Redraw) << "length unknown before";
    EXPECT_EQ(p.m_plotEnd, -1);
    p.m_plotEnd = 1000;
    EXPECT_EQ(t.appended(p, 300, 1000, false), ViewDocTracker::Append::Nothing);
    EXPECT_EQ(t.appended(p, 900, 1000, false), ViewDocTracker::Append::DrawNewColumns);
    EXPECT_EQ(t.appended(p, 3500, 1000, false), ViewDocTracker::Append::Redraw);
    EXPECT_EQ(p.m_plotStart, 3000) << "three whole pages on";
    EXPECT_EQ(p.m_plotEnd, -1);
    p.m_plotEnd = 4000;
    EXPECT_EQ(t.appended(p, 3600, 1000, true), ViewDocTracker::Append::Redraw) << "asked for a full redraw";
    p.m_plotStart = 9000;
    p.m_plotEnd = 10000;
    EXPECT_EQ(t.appended(p, 800, 1000, false), ViewDocTracker::Append::DrawNewColumns);
    EXPECT_EQ(p.m_plotStart, 0) << "a start beyond the recording goes back to 0";
    EXPECT_EQ(p.m_plotEnd, 1000);
}

TEST(ScrollBarNumbers, SamplesBeyondTheBarsRangeAreCountedInUnits)
{
    const ScrollBarNumbers small = ScrollBarNumbers::make(384000, 38400, 3840, 1000);
    EXPECT_EQ(small.unit, 1);
    EXPECT_EQ(small.maximum, 345600);
    EXPECT_EQ(small.page, 38400);
    EXPECT_EQ(small.value, 1000);
    EXPECT_EQ(small.singleStep, 3840);
    const ScrollBarNumbers shortOne = ScrollBarNumbers::make(100, 38400, 10, 0);
    EXPECT_EQ(shortOne.maximum, 0) << "a recording shorter than the plot does not scroll";

    const std::int64_t hours = 500000LL * 3600 * 10;  // ten hours at 500 kHz
    const ScrollBarNumbers big = ScrollBarNumbers::make(hours, 500000, 50000, hours - 500000);
    EXPECT_GT(big.unit, 1);
    EXPECT_EQ(big.value, big.maximum);
    EXPECT_LE(big.toSamples(big.maximum), hours - 500000);
    EXPECT_GT(big.toSamples(big.maximum), hours - 500000 - big.unit);
}

TEST(SoundFormatText, MonoStereoAndTimeExpansion)
{
    EXPECT_EQ(soundFormatText(1, 16, 44100, 10000), "Mono, 16 bits, 44100 Hz, Time exp 10.00.");
    EXPECT_EQ(soundFormatText(2, 8, 384000, 1000), "Stereo, 8 bits, 384000 Hz.");
    EXPECT_EQ(soundFormatText(1, 16, 384000, 0), "Mono, 16 bits, 384000 Hz.");
}

}  // namespace
