// The streaming wave writer of the recording engine: RIFF while the sizes
// fit, RF64 in the same header room beyond, never over an existing file.
#include "TestSupport.h"

#include "autorec/RecordingFileWriter.h"
#include "soundfiles/RiffFile.h"

#include <gtest/gtest.h>

using autorec::RecordingFileWriter;

TEST(RecordingFileWriter, RiffOrRf64ByTheSizesAndReadableEitherWay)
{
    struct Case {
        std::int64_t limit;
        const char* form;
    } cases[] = {{0xFFFFFFFFLL, "RIFF"}, {1000, "RF64"}};
    for (const Case& c : cases) {
        vestest::TempDir dir;
        RecordingFileWriter w;
        w.setRiffLimit(c.limit);
        std::string err;
        ASSERT_TRUE(w.open(dir.file("a.wav"), SoundFormat::pcm(2, 24, 500000), err)) << err;
        vestest::Bytes data(6 * 1001);
        for (std::size_t i = 0; i < data.size(); ++i)
            data[i] = static_cast<std::uint8_t>(i * 13);
        ASSERT_TRUE(w.append(data.data(), 3000));
        ASSERT_TRUE(w.append(data.data() + 3000, static_cast<std::int64_t>(data.size()) - 3000));
        w.addChunk("guan", {'A', ':', ' ', 'b'});
        ASSERT_TRUE(w.finish());
        const vestest::Bytes file = vestest::readFile(dir.file("a.wav"));
        EXPECT_EQ(std::string(file.begin(), file.begin() + 4), c.form);
        WaveFile r;
        ASSERT_GT(r.open(dir.file("a.wav")), 0);
        PcmFormat f;
        ASSERT_TRUE(r.getFormat(f));
        EXPECT_EQ(f.samplesPerSec, 500000u);
        EXPECT_EQ(f.bitsPerSample, 24);
        ASSERT_EQ(r.dataLength(), static_cast<std::int64_t>(data.size()));
        vestest::Bytes got(data.size());
        r.readData(got.data(), r.dataLength(), 0);
        EXPECT_EQ(got, data);
        bool guano = false;
        for (const RiffCls* ch : r.foreignChunks())
            guano = guano || ch->name() == "guan";
        EXPECT_TRUE(guano) << c.form;
    }
}

TEST(RecordingFileWriter, NeverOpensAnExistingFile)
{
    vestest::TempDir dir;
    vestest::writeFile(dir.file("a.wav"), {1, 2, 3});
    RecordingFileWriter w;
    std::string err;
    EXPECT_FALSE(w.open(dir.file("a.wav"), SoundFormat::pcm(1, 16, 48000), err));
    EXPECT_NE(err.find("Failed to open/create file"), std::string::npos);
    EXPECT_EQ(vestest::readFile(dir.file("a.wav")), (vestest::Bytes{1, 2, 3}));
}
