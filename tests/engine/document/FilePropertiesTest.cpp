#include "document/CVesSoundDoc.h"
#include "document/FileProperties.h"

#include "DocTestSupport.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

using vestest::Bytes;
using vestest::TempDir;

TEST(FileProperties, DurationsAndPlayTimeFollowTheTimeExpansion)
{
    struct Case {
        long long micros;
        const char* text;
    } cases[] = {
        {2999, "Recording time:\t\t2999 microseconds"},  {2500000, "Recording time:\t\t2500 milliseconds"},
        {30000000, "Recording time:\t\t30 seconds"},    {3599999999LL, "Recording time:\t\t3599 seconds"},
        {3600000000LL, "Recording time:\t\t60 minutes"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(durationLine("Recording time", c.micros), c.text);

    TempDir dir;
    vestest::RecordingHost host;
    CVesSoundDoc doc(host);
    vestest::fillDocument(doc, 1, 16, 44100, vestest::patternSamples(1, 16, 441000));  // 10 s of file
    doc.recData().m_timeExp25 = 10000;  // 1 s real time
    doc.recData().m_by = "Ann";
    ASSERT_TRUE(doc.save(dir.file("p.vprd"), 9));
    doc.setPath(dir.file("p.vprd") + " [Vesperon Wave]");
    const auto lines = filePropertiesText(doc);
    ASSERT_GT(lines.size(), 15u);
    EXPECT_TRUE(lines[0].heading);
    EXPECT_EQ(lines[0].text, "p.vprd\t");
    auto has = [&](const std::string& t) {
        for (const auto& l : lines)
            if (l.text == t)
                return true;
        return false;
    };
    EXPECT_TRUE(has("Recording size:\t\t861 kbytes"));
    EXPECT_TRUE(has("Recording time:\t\t1000 milliseconds"));
    EXPECT_TRUE(has("Play time:\t\t10000 milliseconds"));  // ten times the real time
    EXPECT_TRUE(has("Recorded by:\t\tAnn "));
    EXPECT_TRUE(has("Windows file system data:")) << "the file on disk is found without its type tag";
}
