// Marks through annotation tables: real time with time expansion, ranges and
// frequencies, and tables that do not fit the recording.
#include "document/CVesSoundDoc.h"
#include "document/MarkTables.h"

#include "DocTestSupport.h"

#include <gtest/gtest.h>

using vestest::RecordingHost;

namespace {

TEST(MarkTables, MarksGoOutInRealTimeAndComeBackOnTheSameFrames)
{
    RecordingHost host;
    CVesSoundDoc doc(host);
    // 38.4 kHz time-expanded by 10: one frame is 2.6 us of real time.
    vestest::fillDocument(doc, 2, 16, 38400, vestest::patternSamples(2, 16, 384000, 2));
    doc.recData().m_timeExp25 = 10000;
    AnaMarkSave point;
    point.m_posX = 38401;
    point.m_typ = CursorType::Marking;
    point.m_anyY = true;
    point.m_chan = 2;
    point.m_label = "point";
    AnaMarkSave freq;
    freq.m_posX = 100;
    freq.m_typ = CursorType::Measurement;
    freq.m_anyY = false;
    freq.m_posY = 45000;
    freq.m_label = "peak";
    AnaMarkSave range;
    range.m_posX = range.m_first = 1000;
    range.m_last = 7777;
    range.m_typ = CursorType::Marking;
    range.m_anyY = true;
    for (const auto& m : {point, freq, range})
        doc.addMark(m);

    const AnnotationTable t = marksToTable(doc);
    ASSERT_EQ(t.rows.size(), 3u);
    EXPECT_DOUBLE_EQ(t.rows[0].beginSeconds, t.rows[0].endSeconds);
    EXPECT_NEAR(t.rows[0].beginSeconds, 38401 / 384000.0, 1e-6) << "real time: the file time divided by 10";
    EXPECT_EQ(t.rows[0].channel, 2);
    EXPECT_EQ(t.rows[1].lowHz, 45000);
    EXPECT_EQ(t.rows[1].highHz, 45000);
    EXPECT_NEAR(t.rows[2].endSeconds, 7777 / 384000.0, 1e-6);

    // Through the text of both formats and back onto a fresh copy.
    for (bool raven : {true, false}) {
        SCOPED_TRACE(raven ? "selection table" : "label track");
        AnnotationTable back;
        std::string error;
        ASSERT_TRUE(raven ? readSelectionTable(writeSelectionTable(t), back, error)
                          : readLabelTrack(writeLabelTrack(t), back, error))
            << error;
        CVesSoundDoc copy(host);
        vestest::fillDocument(copy, 2, 16, 38400, vestest::patternSamples(2, 16, 384000, 2));
        copy.recData().m_timeExp25 = 10000;
        ASSERT_EQ(addMarksFromTable(copy, back, error), 3) << error;
        ASSERT_EQ(copy.marks().size(), 3u);
        EXPECT_EQ(copy.marks()[0].m_posX, 38401);
        EXPECT_EQ(copy.marks()[0].m_label, "point");
        EXPECT_EQ(copy.marks()[1].m_posX, 100);
        EXPECT_EQ(copy.marks()[1].m_typ, CursorType::Measurement);
        EXPECT_EQ(copy.marks()[1].m_posY, 45000);
        EXPECT_EQ(copy.marks()[2].m_first, 1000);
        EXPECT_EQ(copy.marks()[2].m_last, 7777);
        if (raven) {
            EXPECT_EQ(copy.marks()[0].m_chan, 2);
        }
    }
}

TEST(MarkTables, FrequencyRangesSurviveAndRowsOutsideTheRecordingAddNothing)
{
    RecordingHost host;
    CVesSoundDoc doc(host);
    vestest::fillDocument(doc, 1, 16, 250000, vestest::patternSamples(1, 16, 250000, 4));
    AnnotationTable t;
    Annotation a;
    a.beginSeconds = 0.25;
    a.endSeconds = 0.5;
    a.lowHz = 20000;
    a.highHz = 60000;
    a.label = "sweep";
    t.rows = {a};
    std::string error;
    ASSERT_EQ(addMarksFromTable(doc, t, error), 1) << error;
    const AnnotationTable out = marksToTable(doc);
    ASSERT_EQ(out.rows.size(), 1u);
    EXPECT_EQ(out.rows[0].lowHz, 20000);
    EXPECT_EQ(out.rows[0].highHz, 60000);
    EXPECT_DOUBLE_EQ(out.rows[0].endSeconds, 0.5);

    Annotation late = a;
    late.beginSeconds = 0.9;
    late.endSeconds = 1.5;  // the recording is one second long
    t.rows = {a, late};
    doc.setModified(false);
    EXPECT_EQ(addMarksFromTable(doc, t, error), -1);
    EXPECT_NE(error.find("Row 2"), std::string::npos) << error;
    EXPECT_EQ(doc.marks().size(), 1u) << "a refused table adds no mark at all";
    EXPECT_FALSE(doc.modified());
}

}  // namespace
