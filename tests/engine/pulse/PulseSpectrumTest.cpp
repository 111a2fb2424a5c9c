// Measurements of synthetic calls whose start, end and frequencies are known,
// at 384 kHz and as the same samples time-expanded ×10.
#include "pulse/PulsFftCls.h"
#include "pulse/PulseAnalysis.h"
#include "pulse/PulseTable.h"

#include "PulseFixtures.h"

#include <gtest/gtest.h>

#include <cmath>
#include <thread>

using pulsetest::Call;
using pulsetest::fill16;
using vestest::RecordingHost;

namespace {

constexpr double kRate = 384000;
constexpr int kFft = 256;
constexpr double kBin = kRate / kFft;  // 1500 Hz

// An FM sweep 80 → 40 kHz of 5 ms and a constant-frequency call on bin 27
// (40.5 kHz) of 10 ms with a second harmonic 10 dB down.
const std::vector<Call> kCalls = {{0.010, 0.005, 80000, 40000}, {0.030, 0.010, 40500, 40500, 0.5, 0.3}};

VesPulsParms measuring()
{
    VesPulsParms p;
    p.m_ampThres = -1200;
    p.m_ampSeparationMySec = 300;
    p.m_durTimeMySec = 1000;
    p.m_fftSize = kFft;
    p.m_fftOverlap = kFft * 3 / 4;
    p.m_fftWindow = 2;
    p.m_freqThreshold = -2400;
    p.m_freqSeparation = 3000;
    p.m_freqMax = p.m_freqMin = p.m_freqStrong = p.m_ampMaxAmp = true;
    return p;
}

std::vector<PulseResult> analyse(CVesSoundDoc& doc, const VesPulsParms& parms)
{
    PulseRequest req;
    req.parms = parms;
    PulseCollector sink;
    EXPECT_TRUE(analysePulses(doc, req, sink));
    return sink.rows;
}

// The same samples as recorded at 384 kHz, or at 38.4 kHz by a detector
// that expands time ten times.
struct Recording {
    const char* name;
    std::uint32_t rate;
    std::int32_t timeExp25;
};

class SyntheticCalls : public testing::TestWithParam<Recording> {};

}  // namespace

INSTANTIATE_TEST_SUITE_P(Recordings, SyntheticCalls,
                         testing::Values(Recording{"RealTime384kHz", 384000, 1000},
                                         Recording{"TimeExpanded10", 38400, 10000}),
                         [](const testing::TestParamInfo<Recording>& param) { return std::string(param.param.name); });

TEST_P(SyntheticCalls, StartEndAndFrequenciesWithinTheFftResolution)
{
    RecordingHost host;
    CVesSoundDoc doc(host);
    fill16(doc, GetParam().rate, pulsetest::synthesize(kRate, 0.05, kCalls), nullptr, GetParam().timeExp25);
    const auto rows = analyse(doc, measuring());
    ASSERT_EQ(rows.size(), 2u);

    // Time domain: the threshold is crossed within the 50 µs ramps.
    for (std::size_t i = 0; i < 2; ++i) {
        EXPECT_NEAR(rows[i].startUs, kCalls[i].startSec * 1e6, 50) << i;
        EXPECT_NEAR(rows[i].endUs, (kCalls[i].startSec + kCalls[i].durationSec) * 1e6, 50) << i;
        EXPECT_NEAR(rows[i].durationUs, kCalls[i].durationSec * 1e6, 100) << i;
        EXPECT_TRUE(rows[i].spectrumMeasured);
        EXPECT_TRUE(rows[i].contourFound);
    }

    // The sweep: a window of N samples spans 5.3 kHz of it (half of which
    // lies beyond the ends), plus the bins that the window's main lobe lifts
    // above the threshold.
    const double sweepPerWindow = 40000.0 / 0.005 * kFft / kRate;
    const double tolerance = sweepPerWindow / 2 + 2 * kBin;
    const PulseResult& fm = rows[0];
    EXPECT_NEAR(fm.highestHz, 80000, tolerance);
    EXPECT_NEAR(fm.lowestHz, 40000, tolerance);
    EXPECT_GT(fm.strongestHz, 40000 - tolerance);
    EXPECT_LT(fm.strongestHz, 80000 + tolerance);
    EXPECT_LT(fm.highestTimeUs, fm.lowestTimeUs) << "a downward sweep";

    // The constant-frequency call: the strongest point on its bin at the
    // level of a half-scale sine; the harmonic is not part of its contour.
    const PulseResult& cf = rows[1];
    EXPECT_DOUBLE_EQ(cf.strongestHz, 40500);
    EXPECT_NEAR(cf.strongestDb, 20 * std::log10(0.5), 0.3);
    EXPECT_NEAR(cf.highestHz, 40500, 3 * kBin);
    EXPECT_NEAR(cf.lowestHz, 40500, 3 * kBin);
    EXPECT_GE(cf.strongestTimeUs, static_cast<std::int64_t>(kCalls[1].startSec * 1e6) - 1000);
}

TEST(SyntheticCalls, TimeExpandedCopyMeasuresExactlyTheSame)
{
    RecordingHost host;
    CVesSoundDoc real(host), expanded(host);
    const auto samples = pulsetest::synthesize(kRate, 0.05, kCalls);
    fill16(real, 384000, samples);
    fill16(expanded, 38400, samples, nullptr, 10000);
    VesPulsParms p = measuring();
    p.m_freqMaxMark = p.m_freqMinMark = p.m_freqStrongMark = p.m_startTimeMark = p.m_stopTimeMark = true;
    const auto a = analyse(real, p), b = analyse(expanded, p);
    ASSERT_EQ(a.size(), b.size());
    for (std::size_t i = 0; i < a.size(); ++i) {
        EXPECT_EQ(pulseCsvRow("x", a[i]), pulseCsvRow("x", b[i]));
        ASSERT_EQ(a[i].marks.size(), 5u);
        for (std::size_t m = 0; m < 5; ++m)
            EXPECT_EQ(a[i].marks[m].frame, b[i].marks[m].frame);
    }
}

TEST(SyntheticCalls, ContourMarksSitOnTheMeasuredPoints)
{
    RecordingHost host;
    CVesSoundDoc doc(host);
    fill16(doc, 384000, pulsetest::synthesize(kRate, 0.05, kCalls));
    VesPulsParms p = measuring();
    p.m_freqMaxMark = p.m_freqMinMark = p.m_freqStrongMark = true;
    auto rows = analyse(doc, p);
    ASSERT_EQ(rows.size(), 2u);
    PulseResult& fm = rows[0];
    ASSERT_EQ(fm.marks.size(), 3u);
    EXPECT_EQ(fm.marks[0].label, "#1 max ampl.");
    EXPECT_EQ(fm.marks[1].label, "#1 high");
    EXPECT_EQ(fm.marks[2].label, "#1 low");
    EXPECT_EQ(fm.marks[1].frame, doc.realMicrosToFrames(fm.highestTimeUs) + kFft / 2) << "the middle of its column";
    EXPECT_DOUBLE_EQ(fm.marks[1].frequencyHz, fm.highestHz);
    placePulseMarks(doc, fm);
    ASSERT_EQ(doc.marks().size(), 3u);
    EXPECT_EQ(doc.marks()[2].m_typ, CursorType::Measurement);
    EXPECT_FALSE(doc.marks()[2].m_anyY);
    EXPECT_EQ(doc.marks()[2].m_posY, std::llround(fm.lowestHz));
    EXPECT_EQ(fm.markIds, (std::array<int, 5>{0, 1, 2, -1, -1}));
}

TEST(PulseContour, SeparationAndFrequencyLimits)
{
    RecordingHost host;
    CVesSoundDoc doc(host);
    fill16(doc, 384000, pulsetest::synthesize(kRate, 0.05, kCalls));
    struct Case {
        int separationHz, minHz, maxHz;
        bool contour;
        double highest;  // 0: not checked
    };
    const Case cases[] = {
        {0, 0, 0, false, 0},              // no bands: strongest point only
        {50000, 0, 0, true, 81000},       // bridges the gap to the harmonic at 81 kHz
        {50000, 0, 60000, true, 40500},   // the limit cuts the harmonic off
        {3000, 45000, 0, true, 81000},    // above the fundamental: the harmonic
    };
    for (const Case& c : cases) {
        VesPulsParms p = measuring();
        p.m_freqSeparation = c.separationHz;
        p.m_minFrequency = c.minHz;
        p.m_maxFrequency = c.maxHz;
        const auto rows = analyse(doc, p);
        ASSERT_EQ(rows.size(), 2u);
        const PulseResult& cf = rows[1];
        EXPECT_TRUE(cf.strongestFound);
        EXPECT_EQ(cf.contourFound, c.contour) << c.separationHz << " " << c.minHz << " " << c.maxHz;
        if (!c.contour) {
            EXPECT_EQ(cf.highestHz, 0);
            EXPECT_EQ(cf.lowestHz, 0);
        }
        if (c.highest > 0) {
            EXPECT_NEAR(cf.highestHz, c.highest, 3 * kBin) << c.separationHz << " " << c.maxHz;
        }
        if (c.minHz > 0) {
            EXPECT_GE(cf.strongestHz, c.minHz);
        }
        if (c.maxHz > 0) {
            EXPECT_LE(cf.highestHz, c.maxHz);
        }
    }
}

TEST(PulseContour, LowerLimitAboveEveryBinLeavesTheTopBin)
{
    RecordingHost host;
    CVesSoundDoc doc(host);
    fill16(doc, 384000, pulsetest::synthesize(kRate, 0.02, {{0.005, 0.005, 60000, 60000}}));
    PulsFftCls fft(kFft, 2, PulseClock::of(doc));
    fft.setStretch(doc, ChannelIndex::Left, 1000, 3000, 64);
    EXPECT_EQ(fft.columns(), 47);
    EXPECT_EQ(fft.columnStart(0), 1000);
    EXPECT_EQ(fft.columnStart(46), 1000 + (3000 - kFft) * 46 / 47) << "spread evenly, not at steps of the hop";
    PulseContourParms parms;
    parms.minFrequencyHz = 500000;
    parms.separationHz = 3000;
    const PulseContour c = measurePulseContour(fft, parms);
    EXPECT_EQ(c.lowerBin, kFft / 2 - 1);
    EXPECT_EQ(c.upperBin, kFft / 2 - 1);
    EXPECT_TRUE(c.strongest);
    EXPECT_DOUBLE_EQ(c.strongestHz, (kFft / 2 - 1) * kBin);
    EXPECT_FALSE(c.contour);
}

TEST(PulsFftCls, ShortRecordingsAreZeroPaddedAndSilenceHasNoLevel)
{
    RecordingHost host;
    CVesSoundDoc doc(host);
    fill16(doc, 384000, std::vector<std::int16_t>(100, 0));
    PulsFftCls fft(1000, 2, PulseClock::of(doc));  // rounded down to 512
    EXPECT_EQ(fft.fftSize(), 512);
    fft.setStretch(doc, ChannelIndex::Left, 0, 100, 16);
    EXPECT_EQ(fft.columnStart(0), 100 - 512) << "reaches before the recording";
    const double* lv = fft.levels(0);
    EXPECT_EQ(lv[10], std::numeric_limits<double>::lowest());
}

TEST(PulseAnalysis, RunsSideBySideGiveTheSameRows)
{
    RecordingHost host;
    CVesSoundDoc doc(host);
    fill16(doc, 384000, pulsetest::synthesize(kRate, 0.05, kCalls));
    const VesPulsParms p = measuring();
    const auto alone = analyse(doc, p);
    std::vector<PulseResult> a, b;
    std::thread t1([&] { a = analyse(doc, p); });
    std::thread t2([&] { b = analyse(doc, p); });
    t1.join();
    t2.join();
    ASSERT_EQ(a.size(), alone.size());
    ASSERT_EQ(b.size(), alone.size());
    for (std::size_t i = 0; i < alone.size(); ++i) {
        EXPECT_EQ(pulseCsvRow("f", a[i]), pulseCsvRow("f", alone[i]));
        EXPECT_EQ(pulseCsvRow("f", b[i]), pulseCsvRow("f", alone[i]));
    }
}
