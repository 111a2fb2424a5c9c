// Cursor records and marks: one-pixel moves at the zoom extremes, the mark
// store on a document, synchronisation of two views' mark lists, the mark
// distance texts and the status strip read-outs.
#include "display/CursorMarks.h"
#include "display/PlotLayout.h"
#include "DocTestSupport.h"

#include <gtest/gtest.h>

namespace {

constexpr std::uint32_t kRate = 384000;

PlotLayout layoutFor(std::int64_t plotSizeMicros, std::int64_t start, std::int64_t frames)
{
    VesAnaParms p;
    p.m_ampPlot = true;
    p.m_spectPlot = true;
    p.m_plotSize = plotSizeMicros;
    p.m_plotStart = start;
    p.m_plotEnd = -1;
    SoundInfo s;
    s.format = SoundFormat::pcm(1, 16, kRate);
    s.lengthFrames = frames;
    return PrepareLayout(p, s, PlotDevice::fromScreen(1600, 600, 150000));
}

TEST(CursorMarks, PixelStepsAtZoomExtremes)
{
    const std::int64_t frames = 600LL * kRate;  // ten minutes
    struct Case {
        std::int64_t plotMicros;
        std::int64_t start;
    };
    for (const Case c : {Case{1, 1000}, Case{10, 0}, Case{3600000000LL, 0}}) {
        SCOPED_TRACE(c.plotMicros);
        const PlotLayout L = layoutFor(c.plotMicros, c.start, frames);
        const std::int64_t s = c.start + 3;
        const std::int64_t right = stepSampleByPixel(L, s, +1, frames);
        const std::int64_t left = stepSampleByPixel(L, s, -1, frames);
        EXPECT_GE(right - s, 1);  // at least one sample
        EXPECT_GE(s - left, 1);
        // About one pixel: the x positions differ by at most two pixels.
        const double px = static_cast<double>(L.device.twipsPerPixel);
        if (L.samplesPerPlot > 1600) {
            EXPECT_NEAR(L.sampleToX(static_cast<double>(right)) - L.sampleToX(static_cast<double>(s)), px, px);
        }
        // A step right and a step left come back to the same sample.
        EXPECT_EQ(stepSampleByPixel(L, right, -1, frames), s);
    }
    const PlotLayout L = layoutFor(1000000, 0, frames);
    EXPECT_EQ(stepSampleByPixel(L, 0, -1, frames), 0);            // never before the start
    EXPECT_EQ(stepSampleByPixel(L, frames, +1, frames), frames);  // nor after the end
}

TEST(CursorMarks, ValueStepsStayInTheirRange)
{
    const PlotLayout L = layoutFor(1000000, 0, kRate);
    // Up from the top stays at the top; one step of a wide range is more than one unit.
    EXPECT_EQ(stepValueByPixel(L, L.spectMax, true, +1), L.spectMax);
    EXPECT_EQ(stepValueByPixel(L, L.spectMin, true, -1), L.spectMin);
    const std::int64_t up = stepValueByPixel(L, 50000, true, +1);
    EXPECT_GT(up, 50001);
    EXPECT_EQ(stepValueByPixel(L, 10000, false, +1), 10000);   // +100 %
    EXPECT_EQ(stepValueByPixel(L, -10000, false, -1), -10000); // -100 %
}

TEST(CursorMarks, MarkStoreAddsRemovesAndKeepsOneActive)
{
    vestest::RecordingHost host;
    CVesSoundDoc doc(host);
    vestest::fillDocument(doc, 1, 16, kRate, vestest::patternSamples(1, 16, 1000));
    CursorRecord c;
    c.position = 100;
    c.type = CursorType::Measurement;
    c.hasValue = true;
    c.value = 45000;
    const int a = addCursorMark(doc, c);
    c.position = 200;
    // Labels are cut at 40 characters, not bytes.
    const std::string longLabel = std::string(39, 'x') + "\xc3\xa9\xc3\xa9\xc3\xa9";
    const int b = addCursorMark(doc, c, longLabel);
    ASSERT_EQ(doc.marks().size(), 2u);
    EXPECT_EQ(doc.marks()[0].m_label, "Mark " + std::to_string(a));
    EXPECT_EQ(doc.marks()[1].m_label, std::string(39, 'x') + "\xc3\xa9");
    EXPECT_FALSE(doc.marks()[0].m_select);
    EXPECT_TRUE(doc.marks()[1].m_select);  // the newest is the active mark
    EXPECT_EQ(activeMark(doc)->m_markNr, b);
    EXPECT_EQ(cursorFromMark(doc.marks()[0]).value, 45000);

    setActiveMarkNr(doc, a);
    EXPECT_EQ(activeMark(doc)->m_markNr, a);
    EXPECT_TRUE(removeMark(doc, b));
    EXPECT_EQ(activeMark(doc), nullptr);  // removing clears the active mark
    EXPECT_FALSE(removeMark(doc, b));
    ASSERT_EQ(doc.marks().size(), 1u);

    // Past the old limit of the menu number ranges: every mark keeps its own number.
    for (int i = 0; i < 201; ++i)
        addCursorMark(doc, c);
    EXPECT_EQ(doc.marks().size(), 202u);
    EXPECT_EQ(findMark(doc, doc.marks().back().m_markNr), 201);
}

TEST(CursorMarks, TwoViewsFollowTheDocument)
{
    vestest::RecordingHost host;
    CVesSoundDoc doc(host);
    vestest::fillDocument(doc, 2, 16, kRate, vestest::patternSamples(2, 16, 1000));
    CursorRecord c;
    c.position = 10;
    for (int i = 0; i < 3; ++i)
        addCursorMark(doc, c);
    std::vector<AnaMarkSave> v1, v2;
    EXPECT_EQ(syncMarkDisplays(v1, doc.marks()).added, 3);
    EXPECT_EQ(syncMarkDisplays(v2, doc.marks()).added, 3);
    EXPECT_FALSE(syncMarkDisplays(v1, doc.marks()).any());

    // One view moves a mark, another removes one: both views end up alike.
    doc.marks()[0].m_posX = 500;
    removeMark(doc, doc.marks()[2].m_markNr);
    addCursorMark(doc, c, "new");
    for (auto* v : {&v1, &v2}) {
        const MarkSyncResult r = syncMarkDisplays(*v, doc.marks());
        EXPECT_EQ(r.removed, 1);
        EXPECT_EQ(r.added, 1);
        EXPECT_GE(r.changed, 1);
        ASSERT_EQ(v->size(), 3u);
        EXPECT_EQ((*v)[0].m_posX, 500);
        EXPECT_EQ(v->back().m_label, "new");
    }
}

TEST(CursorMarks, ScrollToMark)
{
    EXPECT_EQ(scrollStartForMark(100, 1000, 100000), 0);  // near the start
    EXPECT_EQ(scrollStartForMark(5000, 1000, 100000), 4500);
    EXPECT_EQ(scrollStartForMark(200000, 1000, 100000), 100000);  // beyond the end
}

TEST(CursorMarks, FrequencyDifferenceTexts)
{
    const std::pair<std::int64_t, const char*> cases[] = {
        {500, "500 Hz"},       {-500, "-500 Hz"},       {1500, "1.500 kHz"},     {-1500, "-1.500 kHz"},
        {-5000, "-5.000 kHz"}, {12345, "12.35 kHz"},    {123456, "123.5 kHz"},   {1234567, " 1235 kHz"},
        {999, "999 Hz"},       {1000, "1.000 kHz"},     {0, "0 Hz"},
    };
    for (const auto& [hz, text] : cases)
        EXPECT_EQ(frequencyDifferenceText(hz), text) << hz;
}

TEST(CursorMarks, DistanceTableAndItsText)
{
    std::vector<AnaMarkSave> marks(3);
    const std::int64_t pos[] = {0, 38400, 96000};
    const std::int64_t hz[] = {40000, 41500, 40500};
    for (int i = 0; i < 3; ++i) {
        marks[i].m_label = "M" + std::to_string(i);
        marks[i].m_posX = pos[i];
        marks[i].m_posY = hz[i];
        marks[i].m_spect = true;
    }
    marks[2].m_spect = false;  // an amplitude mark has no frequency difference
    const auto t = markDistanceTable(marks, [](std::int64_t f) { return f * 1000000 / kRate; });
    ASSERT_EQ(t.size(), 4u);
    EXPECT_EQ(t[0][1], "M0");
    EXPECT_EQ(t[2][0], "M1");
    EXPECT_EQ(t[2][1], "100 ms");  // row M1 - column M0
    EXPECT_EQ(t[3][2], "150 ms");
    EXPECT_EQ(t[1][2], "-1.500 kHz");  // row minus column
    EXPECT_EQ(t[1][3], "-");
    EXPECT_EQ(t[1][1], "-");
    EXPECT_EQ(tableText({{"a", "b"}, {"c", "d"}}), "a\tb\r\nc\td\r\n");
}

TEST(CursorMarks, ReadOuts)
{
    const PlotLayout L = layoutFor(1000000, 0, 10 * kRate);  // one second, ticks of 0.1 s
    CursorRecord c;
    c.position = kRate / 2;
    EXPECT_EQ(cursorReadout(L, c), timeReadout(L, kRate / 2));
    EXPECT_NE(cursorReadout(L, c).find("500 ms"), std::string::npos);
    c.type = CursorType::Measurement;
    c.hasValue = true;
    c.value = 50000;
    c.inFrequencyPane = true;
    EXPECT_EQ(cursorReadout(L, c), timeReadout(L, kRate / 2) + " " + L.freqScale.readout(50000));
    const std::string sel = selectionReadout(L, kRate / 2, kRate / 4);
    EXPECT_EQ(sel.find(timeReadout(L, kRate / 4, true) + " - "), 0u);
    EXPECT_NE(sel.find(" Distance: "), std::string::npos);
    const std::string m = mouseReadout(L, kRate, true, 60000, &c);
    EXPECT_NE(m.find(", Distance: "), std::string::npos);
    EXPECT_NE(m.find(L.freqScale.readout(10000)), std::string::npos);
    // No reference in another kind of pane.
    EXPECT_EQ(mouseReadout(L, kRate, false, 5000, &c).find("Distance"), std::string::npos);
}

}  // namespace
