// Finding pulses in the time domain, the marks they ask for and the worker.
#include "pulse/PulsCharWorker.h"
#include "pulse/PulseAnalysis.h"

#include "PulseFixtures.h"

#include <gtest/gtest.h>

#include <chrono>
#include <mutex>
#include <thread>

using pulsetest::Block;
using pulsetest::blocks;
using pulsetest::fill16;
using vestest::RecordingHost;

namespace {

// At 1 MHz one frame is one microsecond.
constexpr std::uint32_t kRate = 1000000;

VesPulsParms timeOnly(int separationUs, int minDurationUs)
{
    VesPulsParms p;
    p.m_ampThres = -1200;  // 10^-1.2 of full scale: 2068 in 16-bit samples
    p.m_ampSeparationMySec = separationUs;
    p.m_durTimeMySec = minDurationUs;
    p.m_fftSize = 64;
    return p;
}

std::vector<PulseResult> analyse(CVesSoundDoc& doc, const VesPulsParms& parms, std::int64_t first = 0,
                                 std::int64_t last = -1)
{
    PulseRequest req;
    req.parms = parms;
    req.first = first;
    req.last = last;
    PulseCollector sink;
    EXPECT_TRUE(analysePulses(doc, req, sink));
    EXPECT_EQ(sink.statuses, (std::vector<std::string>{"Calculation started.", "Calculation completed."}));
    return sink.rows;
}

struct ScanCase {
    const char* name;
    std::int64_t frames;
    std::vector<Block> blocks;
    int minDurationUs;
    std::vector<std::pair<std::int64_t, std::int64_t>> pulses;  // start frame, length
};

class PulseScan : public testing::TestWithParam<ScanCase> {};

}  // namespace

// S = 5 frames. A pulse ends when more than S frames in a row are at or below
// the threshold; its length counts the frames from its start up to the end
// of that gap, less the gap (c − r).
INSTANTIATE_TEST_SUITE_P(
    Cases, PulseScan,
    testing::Values(
        ScanCase{"GapOfSFramesBridged", 300, {{100, 20, 10000}, {125, 20, 10000}}, 2, {{100, 43}}},
        ScanCase{"GapOfSPlusOneEnds", 300, {{100, 20, 10000}, {126, 20, 10000}}, 2, {{100, 18}, {126, 18}}},
        ScanCase{"OpenAtTheEnd", 150, {{100, 50, 10000}}, 2, {{100, 49}}},
        ScanCase{"OpenAtTheEndInAShortGap", 143, {{100, 40, 10000}}, 2, {{100, 39}}},
        ScanCase{"NegativeSamplesCount", 300, {{100, 20, -10000}}, 2, {{100, 18}}},
        ScanCase{"DurationEqualToTheMinimumDropped", 300, {{100, 20, 10000}, {200, 21, 10000}}, 18, {{200, 19}}},
        ScanCase{"DurationAboveTheMinimumKept", 300, {{100, 20, 10000}}, 17, {{100, 18}}},
        ScanCase{"PulsesWithoutLengthDropped", 300, {{100, 1, 10000}, {200, 2, 10000}}, -100, {}}),
    [](const testing::TestParamInfo<ScanCase>& param) { return std::string(param.param.name); });

TEST_P(PulseScan, FindsThePulsesWithTheirLengths)
{
    const ScanCase& c = GetParam();
    RecordingHost host;
    CVesSoundDoc doc(host);
    fill16(doc, kRate, blocks(c.frames, c.blocks));
    const auto rows = analyse(doc, timeOnly(5, c.minDurationUs));
    ASSERT_EQ(rows.size(), c.pulses.size());
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const auto [start, length] = c.pulses[i];
        EXPECT_EQ(rows[i].pulse, static_cast<int>(i) + 1);
        EXPECT_EQ(rows[i].startFrame, start);
        EXPECT_EQ(rows[i].lengthFrames, length);
        EXPECT_DOUBLE_EQ(rows[i].startUs, static_cast<double>(start));
        EXPECT_DOUBLE_EQ(rows[i].durationUs, static_cast<double>(length));
        EXPECT_DOUBLE_EQ(rows[i].endUs, static_cast<double>(start + length));
        EXPECT_FALSE(rows[i].spectrumMeasured) << "no frequency value was asked for";
    }
}

TEST(PulseScan, ThresholdSignDoesNotMatterAndTheThresholdItselfIsBelow)
{
    RecordingHost host;
    CVesSoundDoc doc(host);
    fill16(doc, kRate, blocks(400, {{100, 20, 2068}, {200, 20, 2069}}));
    for (int thres : {-1200, 1200}) {
        VesPulsParms p = timeOnly(5, 2);
        p.m_ampThres = thres;
        PulseRequest req;
        req.parms = p;
        EXPECT_EQ(makePulseScanSetup(doc, req).threshold, 2068);
        const auto rows = analyse(doc, p);
        ASSERT_EQ(rows.size(), 1u) << thres;
        EXPECT_EQ(rows[0].startFrame, 200);
    }
}

TEST(PulseScan, RangeAndStereoChannel)
{
    RecordingHost host;
    CVesSoundDoc doc(host);
    const auto left = blocks(1000, {{100, 20, 10000}, {600, 20, 10000}});
    const auto right = blocks(1000, {{300, 30, 10000}});
    fill16(doc, kRate, left, &right);
    VesPulsParms p = timeOnly(5, 2);
    p.m_startTimeMark = true;
    p.m_leftChan = true;
    auto rows = analyse(doc, p);
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].startFrame, 100);
    EXPECT_EQ(rows[0].marks.at(0).channel, ChannelSel::Left);
    p.m_leftChan = false;  // the right channel
    rows = analyse(doc, p);
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].startFrame, 300);
    EXPECT_EQ(rows[0].marks.at(0).channel, ChannelSel::Right);
    // A stretch given back to front is ordered; it ends the open pulse at its end.
    p.m_leftChan = true;
    rows = analyse(doc, p, 610, 50);
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[1].startFrame, 600);
    EXPECT_EQ(rows[1].lengthFrames, 9);
}

TEST(PulseMarks, StartAndEndMarksArePlacedAndClearedByNumber)
{
    RecordingHost host;
    CVesSoundDoc doc(host);
    fill16(doc, kRate, blocks(400, {{0, 20, 10000}, {100, 20, 10000}}));
    VesPulsParms p = timeOnly(5, 2);
    p.m_startTimeMark = true;
    p.m_stopTimeMark = true;
    auto rows = analyse(doc, p);
    ASSERT_EQ(rows.size(), 2u);
    // A pulse starting at 0 µs gets no start mark.
    ASSERT_EQ(rows[0].marks.size(), 1u);
    EXPECT_EQ(rows[0].marks[0].label, "#1 end");
    ASSERT_EQ(rows[1].marks.size(), 2u);
    EXPECT_EQ(rows[1].marks[0].label, "#2 start");
    EXPECT_EQ(rows[1].marks[0].frame, 100);
    EXPECT_EQ(rows[1].marks[1].label, "#2 end");
    EXPECT_EQ(rows[1].marks[1].frame, 118);

    doc.addMark(AnaMarkSave());  // a mark of the user's, number 0
    for (auto& r : rows)
        placePulseMarks(doc, r);
    EXPECT_EQ(rows[0].markIds, (std::array<int, 5>{-1, -1, -1, -1, 1}));
    EXPECT_EQ(rows[1].markIds, (std::array<int, 5>{-1, -1, -1, 2, 3}));
    ASSERT_EQ(doc.marks().size(), 4u);
    const AnaMarkSave& m = doc.marks()[2];
    EXPECT_EQ(m.m_label, "#2 start");
    EXPECT_EQ(m.m_posX, 100);
    EXPECT_TRUE(m.m_anyY);
    EXPECT_EQ(m.m_typ, CursorType::Marking);
    EXPECT_EQ(m.m_chan, 1);
    EXPECT_EQ(doc.activeMark(), 3);

    EXPECT_EQ(removePulseMarks(doc, {1, 2, 3}), 3);
    ASSERT_EQ(doc.marks().size(), 1u);
    EXPECT_EQ(doc.marks()[0].m_markNr, 0);
    EXPECT_EQ(doc.activeMark(), -1);
}

namespace {

// Collects from the worker thread; stops the worker after its first row.
class StoppingSink : public IPulseSink {
public:
    std::mutex mutex;
    std::vector<PulseResult> rows;
    std::vector<std::string> statuses;
    PulsCharWorker* worker = nullptr;
    bool stopAfterFirst = false;
    bool refuseProgress = false;

    void pulseStatus(const std::string& text) override
    {
        std::lock_guard<std::mutex> lock(mutex);
        statuses.push_back(text);
    }
    void pulseRow(PulseResult result) override
    {
        std::lock_guard<std::mutex> lock(mutex);
        rows.push_back(std::move(result));
        if (stopAfterFirst && worker)
            worker->requestStop();
    }
    bool pulseProgress(std::int64_t, std::int64_t) override { return !refuseProgress; }
};

void waitFinished(const PulsCharWorker& w)
{
    for (int i = 0; i < 6000 && !w.finished(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    ASSERT_TRUE(w.finished());
}

}  // namespace

TEST(PulsCharWorker, DeliversRowsThenEndsOrStops)
{
    RecordingHost host;
    CVesSoundDoc doc(host);
    std::vector<Block> list;
    for (int i = 0; i < 50; ++i)
        list.push_back({1000 + i * 100, 20, 10000});
    fill16(doc, kRate, blocks(10000, list));
    PulseRequest req;
    req.parms = timeOnly(5, 2);

    {
        StoppingSink sink;
        std::atomic<int> done{0};
        PulsCharWorker w(doc, req, sink, [&](PulsCharWorker&) { ++done; });
        ASSERT_TRUE(w.start());
        waitFinished(w);
        EXPECT_TRUE(w.completed());
        EXPECT_FALSE(w.aborted());
        EXPECT_EQ(done.load(), 1);
        EXPECT_EQ(sink.rows.size(), 50u);
        EXPECT_EQ(sink.statuses.back(), "Calculation completed.");
    }
    {
        StoppingSink sink;
        sink.stopAfterFirst = true;
        std::atomic<int> done{0};
        PulsCharWorker w(doc, req, sink, [&](PulsCharWorker&) { ++done; });
        sink.worker = &w;
        ASSERT_TRUE(w.start());
        waitFinished(w);
        EXPECT_TRUE(w.aborted());
        EXPECT_EQ(done.load(), 1) << "the dialog hears of the end in any case";
        EXPECT_EQ(sink.rows.size(), 1u) << "no rows after the stop";
        EXPECT_EQ(sink.statuses, std::vector<std::string>{"Calculation started."});
    }
    {
        StoppingSink sink;
        sink.refuseProgress = true;  // cancelled from the progress display
        PulsCharWorker w(doc, req, sink);
        ASSERT_TRUE(w.start());
        waitFinished(w);
        EXPECT_TRUE(w.aborted());
        EXPECT_TRUE(sink.rows.empty());
    }
}
