// The header test, the header texts and the dates made from the file time.
#include "detectorfiles/DetectorFileInfo.h"

#include "DetectorFixtures.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

using vestest::DetectorHeader;

namespace {

DetectorFileInfo examine(const vestest::Bytes& b)
{
    return examineDetectorHeader(b.data(), b.size());
}

struct HeaderCase {
    const char* what;
    DetectorHeader header;
    bool listed;
    std::uint32_t lengthInEffect;  // when listed
    const char* fileName;          // the detector file name read (when listed), or a part of the reason
    const char* fileTime;
};

DetectorHeader with(std::uint32_t length, const char* version, long bytes = -1, const char* name = "R0001.WAV")
{
    DetectorHeader h;
    h.length = length;
    h.version = version;
    h.fileName = name;
    h.fileTime = "240131235959";
    h.fileBytesAfterWaveHeader = bytes;
    return h;
}

TEST(DetectorHeaderTest, WhichFilesAreDetectorRecordings)
{
    const HeaderCase cases[] = {
        {"a whole R9000Z header", with(244, "R9000Z   V1.2"), true, 244, "R0001.WAV", "240131235959"},
        {"176 with model, three blanks, V1 and more digits counts as 244", with(176, "R450Z   V1.07"), true, 244,
         "R0001.WAV", "240131235959"},
        {"176 with R9000Z, three blanks, V2: the first ten characters match", with(176, "R9000Z   V2.0"), true, 244,
         "R0001.WAV", "240131235959"},
        {"176 with one blank stays 176: bytes from 176 on count as zero", with(176, "R9000Z V1.0"), true, 176,
         "R0001.WAV", ""},
        {"a longer name is cut where the header of 176 ends", with(176, "R9000Z V1.0", -1, "ABCDEFGHIJKLMNOP"), true, 176,
         "ABCDEFGHIJKL", ""},
        {"1023 with a model name", with(1023, "R9000Z V3"), true, 1023, "R0001.WAV", "240131235959"},
        {"300 without a model name", with(300, "Foo V1.0"), false, 0, "without a detector version text", ""},
        {"177 zeroes the version text", with(177, "R9000Z   V1.2"), false, 0, "without a detector version", ""},
        {"length 32", with(32, "R9000Z   V1.2"), false, 0, "outside 33..1023", ""},
        {"length 1024", with(1024, "R9000Z   V1.2"), false, 0, "outside 33..1023", ""},
        {"no detector file name", with(244, "R9000Z   V1.2", -1, ""), false, 0, "no detector file name", ""},
        {"64 header bytes are too few", with(244, "R9000Z   V1.2", 64), false, 0, "too short (64 bytes)", ""},
        {"a file cut inside the header: what is there is read, the rest is zero",
         with(176, "R9000Z V1.0", 170, "ABCDEFGHIJ"), true, 176, "ABCDEF", ""},
        {"a header length past the end of the file", with(900, "R9000Z   V9", 210), true, 900, "R0001.WAV", "240131235959"},
        {"...unless the version text is cut off", with(900, "R9000Z   V9", 200), false, 0, "without a detector version", ""},
    };
    for (const HeaderCase& c : cases) {
        SCOPED_TRACE(c.what);
        const DetectorFileInfo info = examine(vestest::detectorRecording(c.header));
        EXPECT_EQ(info.isDetectorFile, c.listed) << info.skipReason;
        if (c.listed) {
            EXPECT_EQ(info.headerLength, c.lengthInEffect);
            EXPECT_EQ(info.detectorFileName, c.fileName);
            EXPECT_EQ(info.fileTime, c.fileTime);
            EXPECT_TRUE(info.skipReason.empty());
        } else {
            EXPECT_NE(info.skipReason.find(c.fileName), std::string::npos) << info.skipReason;
            EXPECT_TRUE(info.detectorFileName.empty() && info.fileTime.empty() && info.firmware.empty());
        }
    }
}

TEST(DetectorHeaderTest, TextsComeFromTheirOffsetsAndAreReadable)
{
    DetectorHeader h;
    h.latitude = "N 47.3769, E 8.5417";  // offset 100: the "GPS Longitude" column
    h.longitude = "E 8.5417";            // offset 132: the "GPS Latitude" column
    h.fileName = "R0001.WAV";
    h.fileTime = "240131235959";
    h.version = std::string(48, 'R');  // fills its field: no zero byte after it
    h.version.replace(0, 7, "R9000Z ");
    const DetectorFileInfo info = examine(vestest::detectorRecording(h));
    ASSERT_TRUE(info.isDetectorFile) << info.skipReason;
    EXPECT_EQ(info.positionA, "E 8.5417");
    EXPECT_EQ(info.positionB, "N 47.3769, E 8.5417");
    EXPECT_EQ(info.firmware, h.version) << "at most the width of the field";
    EXPECT_EQ(info.recordedDate, "2024-01-31 23:59:59");

    // Garbage in the texts: Latin-1 bytes and control characters.
    h.fileName = "R\xe9\x01X";
    h.fileTime = "24\x7f\xff";
    const DetectorFileInfo garbage = examine(vestest::detectorRecording(h));
    ASSERT_TRUE(garbage.isDetectorFile);
    EXPECT_EQ(garbage.detectorFileName, "R\xc3\xa9?X") << "Latin-1 e acute as UTF-8, a control as ?";
    EXPECT_EQ(garbage.fileTime, "24?\xc3\xbf");
    EXPECT_EQ(garbage.rawFileTime, "24\x7f\xff") << "the renaming rule gets the bytes as stored";
    EXPECT_EQ(detectorDisplayText("H\xc3\xb6hle"), "H\xc3\xb6hle") << "valid UTF-8 stays";
}

TEST(DetectorHeaderTest, ShortAndEmptyInputsAreNotRead)
{
    EXPECT_NE(examineDetectorHeader(nullptr, 0).skipReason.find("empty"), std::string::npos);
    const vestest::Bytes full = vestest::detectorRecording(with(244, "R9000Z   V1.2"));
    for (std::size_t n : {1u, 43u, 44u, 108u}) {
        const DetectorFileInfo info = examineDetectorHeader(full.data(), n);
        EXPECT_FALSE(info.isDetectorFile) << n;
        EXPECT_FALSE(info.skipReason.empty()) << n;
    }
    vestest::Bytes noData = full;
    noData[36] = 'X';
    EXPECT_FALSE(examine(noData).isDetectorFile) << "data must begin at byte 36";
}

struct DateCase {
    const char* fileTime;
    const char* recordedDate;
    const char* datePart;
};

TEST(DetectorDates, RecordedDateAndDatePartOfTheFileTime)
{
    const DateCase cases[] = {
        {"240131235959", "2024-01-31 23:59:59", "2024-01-31_23_59_59_"},  // the end of a month
        {"240229000000", "2024-02-29 00:00:00", "2024-02-29_00_00_00_"},  // midnight, leap day
        {"231231", "2023-12-31", "2023-12-31_"},
        {"231231 23:59:59", "2023-12-31 23:59:59", "2023-12-31_23_59_59_"},
        {"231231 00:00", "2023-12-31 00:00", "2023-12-31_00_00_"},
        {"2312312359", "2023-12-31 23:59", "2023-12-31_"},  // 10 characters: no time in the name
        {"23123123595", "2023-12-31 23:59", "2023-12-31_"},
        {"0101", "0101", "0101_"},
        {"", "", "_"},
        // A colon and fewer than 7 characters.
        {"12:30", "12:30", "12_30_"},
        {"1:2345", "201:-23-45", "201_-23-45_"},
        {"231231:", "2023-12-31", "2023-12-31__"},
        // Header bytes that would lead out of the folder.
        {"../../etc/pwd", "20..-/.-./ et:c/:pw", "20..-_.-.__et_c__pw_"},
        {"24/01/31 1:2", "2024-/0-1/31 1:2", "2024-_0-1__1_1_2_"},
        {"\\\\srv\\x", "20\\\\-sr-v\\", "20__-sr-v__"},
    };
    for (const DateCase& c : cases) {
        SCOPED_TRACE(c.fileTime);
        EXPECT_EQ(detectorRecordedDate(c.fileTime), c.recordedDate);
        const std::string part = detectorDatePart(c.fileTime);
        EXPECT_EQ(part, c.datePart);
        EXPECT_EQ(part.find('/'), std::string::npos);
    }
}

}  // namespace
