// The list of a folder, its text table and the export files.
#include "detectorfiles/DetectorFileList.h"

#include "DetectorFixtures.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace {

std::vector<std::string> names(const std::vector<DetectorFileInfo>& files)
{
    std::vector<std::string> out;
    for (const auto& f : files)
        out.push_back(f.fileName());
    return out;
}

std::string text(const vestest::Bytes& b)
{
    return std::string(b.begin(), b.end());
}

TEST(DetectorFileList, ListsTheDetectorRecordingsOfAFolder)
{
    vestest::TempDir dir;
    vestest::writeDetectorFolder(dir.path());
    ASSERT_EQ(::mkfifo(dir.file("pipe.wav").c_str(), 0644), 0);  // must not block the listing
    DetectorFileList list;
    ASSERT_TRUE(list.load(dir.path())) << list.error();
    EXPECT_EQ(names(list.files()),
              (std::vector<std::string>{"A_0001.wav", "b_0002.WAV", "c-0003", "d:0004 H\xc3\xb6hle.wav"}))
        << "every name, in ascending order without regard to case";
    EXPECT_EQ(names(list.skipped()), (std::vector<std::string>{"empty.wav", "nameless.wav", "notes.txt", "pipe.wav",
                                                               "plain.wav", "short.wav"}))
        << "the sub-folder is not examined";
    for (const auto& s : list.skipped())
        EXPECT_FALSE(s.skipReason.empty()) << s.path;

    EXPECT_EQ(DetectorFileList::rowTexts(list.files()[1]),
              (DetectorFileList::Row{"b_0002.WAV", "2024-02-29 00:00:00", "E 7.0", "N 46.0", "R0002.WAV", "R450Z   V1.07",
                                     dir.file("b_0002.WAV")}));
    EXPECT_EQ(list.files()[2].recordedDate, "2023-12-31 23:59:59");

    const DetectorFileList::Table all = list.textTable();
    ASSERT_EQ(all.size(), 5u);
    EXPECT_EQ(all[0], (DetectorFileList::Row{"File name", "Recorded date", "GPS Latitude", "GPS Longitude",
                                             "Original file name", "Firmware", "Path"}));
    const DetectorFileList::Table some = list.textTable({3, 0, 3});
    ASSERT_EQ(some.size(), 3u) << "the headings and the selected rows, once each";
    EXPECT_EQ(some[1][0], "A_0001.wav") << "in list order";
    EXPECT_EQ(some[2][0], "d:0004 H\xc3\xb6hle.wav");

    DetectorFileList missing;
    EXPECT_FALSE(missing.load(dir.file("nothing")));
    EXPECT_NE(missing.error().find("No such file or directory"), std::string::npos) << missing.error();
}

TEST(DetectorFileList, AFolderWithoutRecordingsGivesTheHeadingsAlone)
{
    vestest::TempDir dir;
    vestest::writeFile(dir.file("x.wav"), vestest::Bytes(300, 0));
    DetectorFileList list;
    ASSERT_TRUE(list.load(dir.path() + "/"));
    EXPECT_TRUE(list.files().empty());
    EXPECT_EQ(list.skipped().front().path, dir.file("x.wav")) << "one slash between folder and name";
    EXPECT_EQ(DetectorFileList::tableText(list.textTable(), '\t', "\r\n"),
              "File name\tRecorded date\tGPS Latitude\tGPS Longitude\tOriginal file name\tFirmware\tPath\r\n");
}

TEST(DetectorFileList, TextsHoldingTheSeparatorAreQuoted)
{
    const DetectorFileList::Table t = {{"a", "N 47.3769, E 8.5417", "say \"hi\""}, {"tab\there", "two\nlines", ""}};
    EXPECT_EQ(DetectorFileList::tableText(t, ',', "\r\n"),
              "a,\"N 47.3769, E 8.5417\",\"say \"\"hi\"\"\"\r\ntab\there,\"two\nlines\",\r\n");
    EXPECT_EQ(DetectorFileList::tableText(t, '\t', "\n"),
              "a\tN 47.3769, E 8.5417\t\"say \"\"hi\"\"\"\n\"tab\there\"\t\"two\nlines\"\t\n");
}

TEST(DetectorFileList, ExportChoosesTheSeparatorByExtension)
{
    vestest::TempDir dir;
    vestest::writeDetectorFolder(dir.path());
    DetectorFileList list;
    ASSERT_TRUE(list.load(dir.path()));
    const DetectorFileList::Table table = list.textTable({0});
    struct Case {
        const char* name;
        bool written;
        const char* expected;  // the beginning of the file, or the message
    };
    const Case cases[] = {
        {"list.txt", true, "File name\tRecorded date\t"},
        {"list.cvs", true, "File name,Recorded date,"},
        {"list.csv", true, "File name,Recorded date,"},
        {"list.TXT", false, "Unknown file type TXT"},
        {"list.xls", false, "Unknown file type xls"},
        {"list", false, "Unknown file type "},
        {"dotted.dir/list", false, "Unknown file type "},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::string message;
        EXPECT_EQ(DetectorFileList::exportTable(dir.file(c.name), table, message), c.written);
        if (c.written) {
            const std::string t = text(vestest::readFile(dir.file(c.name)));
            EXPECT_EQ(t.rfind(c.expected, 0), 0u) << t;
            EXPECT_EQ(t.substr(t.size() - 2), "\r\n");
        } else {
            EXPECT_EQ(message, c.expected);
            EXPECT_FALSE(vestest::fileExists(dir.file(c.name)));
        }
    }
    const std::string csv = text(vestest::readFile(dir.file("list.csv")));
    EXPECT_NE(csv.find(",E 8.5417,\"N 47.3769, E 8.5417\",R0001.WAV,"), std::string::npos) << csv;

    std::string message;
    EXPECT_FALSE(DetectorFileList::exportTable(dir.file("no/such/list.txt"), table, message));
    EXPECT_EQ(message.rfind("Unable to create " + dir.file("no/such/list.txt") + ": ", 0), 0u) << message;
}

TEST(DetectorFileList, RealRecordings)
{
    const std::string data = vestest::sharedDataDir();
    if (data.empty())
        GTEST_SKIP() << "no folder of real recordings beside the project";
    DetectorFileList list;
    ASSERT_TRUE(list.load(data + "/batdetect2"));
    // One clip comes from a detector of another model whose header states
    // 176 bytes: it passes the test, and what lies past 176 counts as zero.
    ASSERT_EQ(names(list.files()), (std::vector<std::string>{"audio_20170701_213954-MYOMYS-LR_0_0.5.wav"}));
    const DetectorFileInfo& f = list.files()[0];
    EXPECT_EQ(f.headerLength, 176u);
    EXPECT_EQ(f.detectorFileName, "/M00009.WAV");
    EXPECT_EQ(f.fileTime, "");
    EXPECT_EQ(f.firmware, "");
    EXPECT_GT(list.skipped().size(), 3u);
    for (const auto& s : list.skipped())
        EXPECT_FALSE(s.skipReason.empty()) << s.path;
}

}  // namespace
