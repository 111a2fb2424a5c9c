#include "pulse/PulseCommon.h"
#include "pulse/RateHistogram.h"

#include "PulseFixtures.h"

#include <gtest/gtest.h>

using pulsetest::Block;
using pulsetest::blocks;
using pulsetest::fill16;
using vestest::RecordingHost;

namespace {

// At 1000 Hz one frame is one millisecond: the detection delay of 10 ms is
// 10 frames and pulse lengths and intervals read directly in frames.
constexpr std::uint32_t kRate = 1000;

VesRateParms manual(bool interval, int startMs, int endMs, int bars)
{
    VesRateParms p;
    p.m_intervalMode = interval;
    p.m_autoCalc = false;
    p.m_histStart = startMs;
    p.m_histEnd = endMs;
    p.m_barAnt = bars;
    p.m_delay = 10;
    p.m_threshold = 1000;
    return p;
}

RateHistogram run(CVesSoundDoc& doc, VesRateParms& p, std::int64_t first = 0, std::int64_t last = -2)
{
    RateHistogram h;
    h.prepare(p, doc, first, last == -2 ? doc.lengthFrames() : last);
    EXPECT_TRUE(h.pending());
    EXPECT_TRUE(h.calculate(doc, p));
    EXPECT_FALSE(h.pending());
    return h;
}

}  // namespace

TEST(NiceStep, StepsOfOneFiveOrTenTenths)
{
    const std::pair<std::int64_t, std::int64_t> cases[] = {
        {0, 1},    {7, 1},     {10, 1},    {19, 1},     {25, 5},      {35, 5},      {49, 5},
        {50, 5},   {60, 10},   {99, 10},   {999, 100},  // 999 already counts as the next power of ten
        {1000, 100}, {4999, 500}, {7000, 1000}, {123456789, 10000000}};
    for (const auto& [x, step] : cases)
        EXPECT_EQ(NiceStep(x), step) << x;
}

TEST(PulseClock, AgreesWithTheDocumentIncludingTimeExpansion)
{
    RecordingHost host;
    CVesSoundDoc doc(host);
    for (const auto& [rate, te] : {std::pair<std::uint32_t, std::int32_t>{384000, 1000}, {44100, 10000}, {38400, 10000}}) {
        fill16(doc, rate, std::vector<std::int16_t>(10), nullptr, te);
        const PulseClock c = PulseClock::of(doc);
        for (std::int64_t v : {0LL, 1LL, 383LL, 384001LL, 12345678901LL}) {
            EXPECT_EQ(c.framesToMicros(v), doc.framesToRealMicros(v)) << rate << " " << v;
            EXPECT_EQ(c.microsToFrames(v), doc.realMicrosToFrames(v)) << rate << " " << v;
        }
    }
}

TEST(RateHistogram, LengthsAreCountedIntoTheSmallestBarWhoseEdgeIsAtOrAbove)
{
    RecordingHost host;
    CVesSoundDoc doc(host);
    fill16(doc, kRate,
           blocks(1000, {{100, 16, 5000},    // length 15
                         {200, 26, 5000},    // 25
                         {300, 11, 5000},    // 10: not above the delay
                         {400, 12, 5000},    // 11
                         {500, 45, 5000},    // 44: above the last edge, dropped
                         {600, 21, 5000},    // 20: exactly on an edge
                         {900, 100, 5000}})); // still above at the end: not counted
    VesRateParms p = manual(false, 0, 30, 3);
    const RateHistogram h = run(doc, p);
    EXPECT_EQ(h.lastBar, 3);
    EXPECT_EQ(h.barWidthUs, 10000);
    EXPECT_EQ(h.edges[1], 10);
    EXPECT_EQ(h.counts[1], 0);
    EXPECT_EQ(h.counts[2], 3);
    EXPECT_EQ(h.counts[3], 1);
    EXPECT_EQ(h.total, 4);
    EXPECT_EQ(h.highestCount, 3);
    EXPECT_EQ(h.countText(), ", 4 pulses.");
    EXPECT_EQ(h.asciiTable(), "From (ms)\tTo (ms)\t# observations\r\n0\t10\t0\r\n10\t20\t3\r\n20\t30\t1\r\n");
}

TEST(RateHistogram, IntervalsNeedAReferencePulseThatDidNotStartAtFrameZero)
{
    RecordingHost host;
    CVesSoundDoc doc(host);
    fill16(doc, kRate,
           blocks(1000, {{0, 15, 5000},      // reference only, and as it starts at 0 not even that
                         {100, 15, 5000},    // has no usable predecessor: reference for the next
                         {250, 15, 5000},    // 150
                         {330, 15, 5000},    // 80: at the first edge, counter 0
                         {400, 5, 5000},     // too short to count, still the next reference
                         {500, 15, 5000}})); // 100
    VesRateParms p = manual(true, 80, 180, 2);
    const RateHistogram h = run(doc, p);
    EXPECT_EQ(h.counts[0], 1);
    EXPECT_EQ(h.counts[1], 1);
    EXPECT_EQ(h.counts[2], 1);
    EXPECT_EQ(h.total, 2) << "counter 0 is never part of the total";
    EXPECT_EQ(h.countText(), ", 2 pulse intervals.");
    EXPECT_EQ(h.asciiTable(), "From (ms)\tTo (ms)\t# observations\r\n80\t130\t1\r\n130\t180\t1\r\n")
        << "edges start at the histogram start";
}

TEST(RateHistogram, ThresholdComesFromTheDataWhenNotAboveZero)
{
    RecordingHost host;
    CVesSoundDoc doc(host);
    std::vector<std::int16_t> s = blocks(1000, {{100, 20, 8000}, {300, 20, -8000}});
    s[50] = 2000;  // below mean + max/4
    fill16(doc, kRate, s);
    std::int64_t sum = 0;
    for (auto v : s)
        sum += std::abs(v);
    const std::int64_t expected = sum / 1000 + 8000 / 4;
    for (std::int32_t recorded : {0, -1}) {
        VesRateParms p = manual(false, 0, 30, 3);
        p.m_threshold = recorded;
        const RateHistogram h = run(doc, p);
        EXPECT_EQ(h.threshold, expected);
        EXPECT_TRUE(h.thresholdFromData);
        EXPECT_EQ(h.total, 2);
        EXPECT_EQ(p.m_threshold, recorded) << "manual settings keep the record's threshold";
    }
}

TEST(RateHistogram, AutomaticSettingsDeriveTheBarsAndWriteThemBack)
{
    RecordingHost host;
    CVesSoundDoc doc(host);
    fill16(doc, kRate, blocks(1000, {{100, 16, 5000}, {200, 26, 5000}, {400, 12, 5000}}));  // 15, 25, 11
    VesRateParms p;
    p.m_intervalMode = false;
    p.m_delay = 10;
    ASSERT_TRUE(p.m_autoCalc);
    ASSERT_EQ(p.m_threshold, -1);
    RateHistogram h = run(doc, p);
    // Mean 17 frames; a fifth of it is 3 ms, whose nice step is 500 µs.
    EXPECT_EQ(h.barWidthUs, 500);
    EXPECT_EQ(h.startUs, 0);
    EXPECT_EQ(h.lastBar, 50) << "the highest bar holding a count";
    EXPECT_EQ(h.endUs, 25000);
    EXPECT_EQ(h.total, 3);
    EXPECT_EQ(p.m_histStart, 0);
    EXPECT_EQ(p.m_histEnd, 25);
    EXPECT_EQ(p.m_barAnt, 50);
    EXPECT_EQ(p.m_threshold, h.threshold);
    EXPECT_GT(h.threshold, 0);

    // The next layout keeps the computed threshold.
    const std::int64_t kept = h.threshold;
    h.prepare(p, doc, 0, doc.lengthFrames());
    EXPECT_EQ(h.threshold, kept);

    // Without pulses: two empty bars.
    fill16(doc, kRate, std::vector<std::int16_t>(1000, 0));
    VesRateParms q;
    const RateHistogram empty = run(doc, q);
    EXPECT_EQ(empty.lastBar, 2);
    EXPECT_EQ(empty.total, 0);
    EXPECT_EQ(q.m_barAnt, 2);
}

TEST(RateHistogram, StereoAnalysesTheLeftChannelUnlessOnlyTheRightIsChosen)
{
    RecordingHost host;
    CVesSoundDoc doc(host);
    const auto left = blocks(1000, {{100, 16, 5000}});   // length 15
    const auto right = blocks(1000, {{100, 26, 5000}});  // length 25
    fill16(doc, kRate, left, &right);
    for (const auto& [l, r, bar] : {std::tuple{true, true, 2}, {false, false, 2}, {true, false, 2}, {false, true, 3}}) {
        VesRateParms p = manual(false, 0, 30, 3);
        p.m_leftChan = l;
        p.m_rightChan = r;
        const RateHistogram h = run(doc, p);
        EXPECT_EQ(h.counts[static_cast<std::size_t>(bar)], 1) << l << r;
        EXPECT_EQ(h.total, 1);
        EXPECT_EQ(h.title(), bar == 3 ? "Pulse Length Analysis - Right channel." : "Pulse Length Analysis - Left channel.");
    }
}

TEST(RateHistogram, LayoutRepairsBarCountsAndTheRange)
{
    RecordingHost host;
    CVesSoundDoc doc(host);
    fill16(doc, kRate, std::vector<std::int16_t>(100, 0));
    RateHistogram h;
    VesRateParms p = manual(true, 0, 10, 10);
    h.prepare(p, doc, 0, 50);
    EXPECT_EQ(h.lastBar, 10);
    EXPECT_EQ(h.barWidthUs, 1000);
    EXPECT_EQ(h.edges[10], 10);

    p = manual(true, 0, 1, 5000);  // a width below 1 µs
    h.prepare(p, doc, 0, 50);
    EXPECT_EQ(h.barWidthUs, 1);
    EXPECT_EQ(h.lastBar, 1000);
    EXPECT_EQ(p.m_barAnt, 1000);

    for (int bars : {0, -3}) {  // from a damaged settings file: no division by zero
        p = manual(true, 0, 10, bars);
        h.prepare(p, doc, 0, 50);
        EXPECT_GE(h.lastBar, 1);
        EXPECT_TRUE(h.calculate(doc, p));
    }
    p = manual(true, 20, 10, 5);  // end before start
    h.prepare(p, doc, 0, 50);
    EXPECT_EQ(h.barWidthUs, 1);
    EXPECT_EQ(h.lastBar, 1);

    p = manual(true, 0, 10, 2000);
    h.prepare(p, doc, 0, 50);
    EXPECT_EQ(h.lastBar, 1024) << "bars 1024 at most";

    // No selection: a single frame, an empty histogram.
    p = manual(true, 0, 10, 10);
    h.prepare(p, doc, 30, -1);
    EXPECT_EQ(h.firstFrame, 30);
    EXPECT_EQ(h.lastFrame, 31);
    EXPECT_TRUE(h.calculate(doc, p));
    EXPECT_EQ(h.total, 0);
}

TEST(RateHistogram, StoppedCalculationLeavesNoCounts)
{
    RecordingHost host;
    CVesSoundDoc doc(host);
    fill16(doc, kRate, blocks(1000, {{100, 16, 5000}}));
    VesRateParms p = manual(false, 0, 30, 3);
    RateHistogram h;
    h.prepare(p, doc, 0, 1000);
    std::atomic<bool> stop{true};
    EXPECT_FALSE(h.calculate(doc, p, &stop));
    EXPECT_EQ(h.total, 0);
    EXPECT_TRUE(h.pending());
}

TEST(RateSettings, DialogConversionsAndChecks)
{
    EXPECT_EQ(rateThresholdToPercent(3277), 10);
    EXPECT_EQ(RatePercentToThreshold(10), 3277);
    EXPECT_EQ(RateLevelToThreshold(-2500), 8192);
    EXPECT_EQ(RateThresholdToLevel(8192), 2500);
    EXPECT_FALSE(validateRateSettings(0, 10, 10));
    EXPECT_EQ(validateRateSettings(10, 10, 2).value_or(""), "Histogram end must be greather then Histogram start.");
    EXPECT_EQ(validateRateSettings(0, 10, 11).value_or(""),
              "Number of histogram bars to high! Each bar must represent at least 1 millisecond.");
}
