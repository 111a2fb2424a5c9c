#include "records/AnnotationTable.h"

#include <gtest/gtest.h>

#include <string>

namespace {

AnnotationTable sampleTable()
{
    AnnotationTable t;
    t.extraColumns = {"Pulse", "Peak Freq (Hz)"};
    Annotation a;
    a.beginSeconds = 0.125;
    a.endSeconds = 0.1315;
    a.lowHz = 38000;
    a.highHz = 92500.5;
    a.label = "Pipistrellus\ttab";  // a tab in a label must not split the row
    a.extra = {"1", "45100.0"};
    Annotation point;
    point.beginSeconds = point.endSeconds = 2.5;
    point.channel = 2;
    point.label = "";
    point.extra = {"2", ""};
    t.rows = {a, point};
    return t;
}

void expectRowsEqual(const AnnotationTable& got, const AnnotationTable& want, bool withExtra)
{
    ASSERT_EQ(got.rows.size(), want.rows.size());
    for (size_t i = 0; i < want.rows.size(); ++i) {
        const Annotation& g = got.rows[i];
        const Annotation& w = want.rows[i];
        EXPECT_DOUBLE_EQ(g.beginSeconds, w.beginSeconds) << i;
        EXPECT_DOUBLE_EQ(g.endSeconds, w.endSeconds) << i;
        EXPECT_DOUBLE_EQ(g.lowHz, w.lowHz) << i;
        EXPECT_DOUBLE_EQ(g.highHz, w.highHz) << i;
        if (withExtra) {
            EXPECT_EQ(g.channel, w.channel) << i;
            EXPECT_EQ(g.extra, w.extra) << i;
        }
    }
}

TEST(AnnotationTable, BothFormatsReadBackWhatTheyWrote)
{
    const AnnotationTable t = sampleTable();
    const std::string raven = writeSelectionTable(t);
    EXPECT_EQ(raven.substr(0, raven.find('\n')),
              "Selection\tView\tChannel\tBegin Time (s)\tEnd Time (s)\tLow Freq (Hz)\tHigh Freq (Hz)\tAnnotation\tPulse\t"
              "Peak Freq (Hz)");
    EXPECT_TRUE(looksLikeSelectionTable(raven));
    AnnotationTable back;
    std::string error;
    ASSERT_TRUE(readSelectionTable(raven, back, error)) << error;
    expectRowsEqual(back, t, true);
    EXPECT_EQ(back.extraColumns, t.extraColumns);
    EXPECT_EQ(back.rows[0].label, "Pipistrellus tab");

    const std::string labels = writeLabelTrack(t);
    EXPECT_EQ(labels, "0.125000\t0.131500\tPipistrellus tab\n\\\t38000.000000\t92500.500000\n2.500000\t2.500000\t\n");
    EXPECT_FALSE(looksLikeSelectionTable(labels));
    ASSERT_TRUE(readLabelTrack(labels, back, error)) << error;
    expectRowsEqual(back, t, false);
}

TEST(AnnotationTable, ReadsTablesAsOtherProgramsWriteThem)
{
    // CRLF, a BOM, columns in another order, the label under "Label", a
    // selection listed for two views, empty frequency cells.
    const std::string raven =
        "\xEF\xBB\xBF" "Selection\tView\tChannel\tLow Freq (Hz)\tHigh Freq (Hz)\tBegin Time (s)\tEnd Time (s)\tLabel\tDelta Time (s)\r\n"
        "1\tWaveform 1\t1\t\t\t1.5\t1.75\tcall\t0.25\r\n"
        "1\tSpectrogram 1\t1\t20000\t60000\t1.5\t1.75\tcall\t0.25\r\n"
        "2\tSpectrogram 1\t1\t20000\t60000\t3\t3.5\tsocial\t0.5\r\n";
    AnnotationTable t;
    std::string error;
    ASSERT_TRUE(readSelectionTable(raven, t, error)) << error;
    ASSERT_EQ(t.rows.size(), 2u);
    EXPECT_EQ(t.rows[0].label, "call");
    EXPECT_EQ(t.rows[0].lowHz, -1) << "the first row of a selection counts";
    EXPECT_EQ(t.rows[1].beginSeconds, 3);
    EXPECT_EQ(t.rows[1].highHz, 60000);
    EXPECT_EQ(t.extraColumns, std::vector<std::string>{"Delta Time (s)"});
    EXPECT_EQ(t.rows[1].extra, std::vector<std::string>{"0.5"});

    ASSERT_TRUE(readLabelTrack("1\t2\n3.5\t3.5\tpoint label with spaces\r\n", t, error)) << error;
    ASSERT_EQ(t.rows.size(), 2u);
    EXPECT_EQ(t.rows[0].label, "");
    EXPECT_EQ(t.rows[1].label, "point label with spaces");
}

TEST(AnnotationTable, BadTablesGiveAMessageAndNoRows)
{
    struct Case {
        const char* name;
        bool raven;
        std::string text;
        const char* inMessage;
    };
    const std::string head = "Selection\tBegin Time (s)\tEnd Time (s)\tLow Freq (Hz)\n";
    const std::vector<Case> cases = {
        {"no begin column", true, "Selection\tEnd Time (s)\n1\t2\n", "Begin Time (s)"},
        {"no end column", true, "Begin Time (s)\n1\n", "End Time (s)"},
        {"empty", true, "", "empty"},
        {"text in a time", true, head + "1\tabc\t2\t100\n", "\"abc\" in column \"Begin Time (s)\""},
        {"text in a frequency", true, head + "1\t1\t2\tlow\n", "Low Freq (Hz)"},
        {"decimal comma", true, head + "1\t1,5\t2\t100\n", "not a number"},
        {"short row", true, head + "1\t1\n", "Line 2"},
        {"ends before it begins", true, head + "1\t2\t1\t100\n", "ends before"},
        {"infinite", true, head + "1\tinf\t2\t100\n", "not a number"},
        {"label text first", false, "start\t1\tx\n", "two times"},
        {"frequency line first", false, "\\\t100\t200\n", "frequency line"},
        {"frequency words", false, "1\t2\tx\n\\\tlow\thigh\n", "not numbers"},
        {"negative begin", false, "-1\t2\tx\n", "before 0"},
    };
    for (const auto& c : cases) {
        AnnotationTable t;
        t.rows.resize(3);
        std::string error;
        const bool ok = c.raven ? readSelectionTable(c.text, t, error) : readLabelTrack(c.text, t, error);
        EXPECT_FALSE(ok) << c.name;
        EXPECT_NE(error.find(c.inMessage), std::string::npos) << c.name << ": " << error;
        EXPECT_TRUE(t.rows.empty()) << c.name;
    }
}

}  // namespace
