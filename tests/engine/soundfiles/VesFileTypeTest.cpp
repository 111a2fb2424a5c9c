#include "soundfiles/VesFileType.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

using vestest::ByteWriter;
using vestest::Bytes;

TEST(VesFileType, NamesExtensionsAndTags)
{
    EXPECT_STREQ(fileTypeDisplayName(9), "[Vesperon Wave]");
    EXPECT_STREQ(fileTypeDisplayName(42), "[Raw data]");
    EXPECT_EQ(fileTypeByName("[R9000Z Wave file]"), 8);
    EXPECT_EQ(fileTypeByName("[Ves Wave]"), 5);
    EXPECT_EQ(fileTypeByName("[Something else]"), 5);
    struct Ext {
        const char* path;
        int open, save;
        const char* ext;  // extension of the open type
    } exts[] = {
        {"/a/b.WAV", 1, 1, "wav"},       {"/a/b.wave", 1, 1, "wav"},     {"/a/b.vprd", 9, 9, "vprd"},
        {"/a/b.vprdp", 10, 10, "vprdp"}, {"/a/b.R450Z", 8, 8, "wav"},    {"/a/b.mp3", 11, 0, "vprd"},
        {"/a/b.flac", 9, 0, "vprd"},     {"/a.dir/noext", 9, 0, "vprd"},
    };
    for (const auto& e : exts) {
        EXPECT_EQ(fileTypeByOpenExtension(e.path), e.open) << e.path;
        EXPECT_EQ(fileTypeBySaveExtension(e.path), e.save) << e.path;
        EXPECT_STREQ(extensionForType(e.open), e.ext) << e.path;
    }
    EXPECT_STREQ(extensionForType(4), "dat");
    EXPECT_STREQ(extensionForType(0), "dat");

    const VesFilePath tagged("/rec/night 1/call.wav [Vesperon Wave]");
    EXPECT_EQ(tagged.plain(), "/rec/night 1/call.wav");
    EXPECT_EQ(tagged.type(), 9) << "the tag wins over the extension";
    EXPECT_EQ(VesFilePath("/rec/x.vprd").withTag(), "/rec/x.vprd [Vesperon Wave]");
    EXPECT_EQ(VesFilePath("/rec/x.wav").withTag(), "/rec/x.wav") << "standard waves carry no tag";
    EXPECT_EQ(VesFilePath("").type(), 0);
}

TEST(VesFileType, ContentRefinesAPlainWave)
{
    vestest::TempDir dir;
    const Bytes fmtPcm = vestest::pcmFormat(1, 44100, 16);
    Bytes fmtFloat = fmtPcm;
    fmtFloat[0] = 3;  // IEEE float
    Bytes detectorData(300, 0);
    detectorData[0] = 244;
    const char* version = "R9000Z V1.2";
    std::copy(version, version + 11, detectorData.begin() + 196);
    struct Case {
        const char* name;
        Bytes bytes;
        int type;
    } cases[] = {
        {"plain.wav", vestest::riffWave(ByteWriter().chunk("fmt ", fmtPcm).chunk("data", Bytes(100)).data()), 1},
        {"float.wav", vestest::riffWave(ByteWriter().chunk("fmt ", fmtFloat).chunk("data", Bytes(100)).data()), 11},
        {"notriff.wav", Bytes(64, 0x11), 11},
        {"ownfirst.wav", ByteWriter().tag("RIFF").u32(8).tag("VPr0").u32(0).data(), 5},
        {"ownafter.wav", ByteWriter()
                             .bytes(vestest::riffWave(ByteWriter().chunk("fmt ", fmtPcm).chunk("data", Bytes(100)).data()))
                             .tag("RIFF").u32(216).tag("VPr0").fill(212, 0).data(),
         5},
        {"detector.wav", vestest::riffWave(ByteWriter().chunk("fmt ", fmtPcm).chunk("data", detectorData).data()), 8},
    };
    for (const auto& c : cases) {
        vestest::writeFile(dir.file(c.name), c.bytes);
        EXPECT_EQ(refineStandardWaveType(dir.file(c.name)), c.type) << c.name;
    }
    EXPECT_EQ(refineStandardWaveType(dir.file("missing.wav")), 1);
    EXPECT_TRUE(isDetectorVersionText("R450Z  V3", 48));
    EXPECT_FALSE(isDetectorVersionText("R450ZV3", 48));
    EXPECT_FALSE(isDetectorVersionText("Other V3", 48));
}
