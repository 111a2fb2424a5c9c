#include "core/ByteOrder.h"
#include "soundfiles/RiffFile.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <filesystem>

using vestest::ByteWriter;
using vestest::Bytes;
using vestest::TempDir;

namespace {

Bytes samples(std::size_t n)
{
    Bytes b(n);
    for (std::size_t i = 0; i < n; ++i)
        b[i] = static_cast<std::uint8_t>(i * 7 + 1);
    return b;
}

Bytes text(const char* s)
{
    return Bytes(s, s + std::strlen(s));
}

// One WAVE layout and where its samples must be found.
struct Layout {
    const char* name;
    Bytes file;
    std::int64_t dataStart;
    std::int64_t dataLength;
    std::vector<std::string> foreign;  // metadata chunks kept, in order
};

std::vector<Layout> layouts()
{
    const Bytes fmt = vestest::pcmFormat(1, 384000, 16);
    const Bytes pcm = samples(100);
    std::vector<Layout> v;
    v.push_back({"canonical44", vestest::riffWave(ByteWriter().chunk("fmt ", fmt).chunk("data", pcm).data()), 44, 100, {}});
    v.push_back({"listBetweenFmtAndData",
                 vestest::riffWave(ByteWriter().chunk("fmt ", fmt).chunk("LIST", text("INFOICMT")).chunk("data", pcm).data()),
                 44 + 16, 100, {"LIST"}});
    v.push_back({"chunksAfterData",
                 vestest::riffWave(ByteWriter().chunk("fmt ", fmt).chunk("data", pcm).chunk("guan", text("GUANO|Version: 1.0\n"))
                                       .chunk("wamd", text("wa")).data()),
                 44, 100, {"guan", "wamd"}});
    // An odd-length chunk before the samples: our own files put nothing between, others a pad byte.
    v.push_back({"oddChunkNoPad",
                 vestest::riffWave(ByteWriter().chunk("fmt ", fmt).chunk("LIST", text("odd")).chunk("data", pcm).data()),
                 44 + 11, 100, {"LIST"}});
    v.push_back({"oddChunkPadded",
                 vestest::riffWave(ByteWriter().chunk("fmt ", fmt).chunk("LIST", text("odd"), true).chunk("data", pcm).data()),
                 44 + 12, 100, {"LIST"}});
    v.push_back({"oddDataPaddedThenGuano",
                 vestest::riffWave(ByteWriter().chunk("fmt ", fmt).chunk("data", samples(99), true).chunk("guan", text("g")).data()),
                 44, 99, {"guan"}});
    v.push_back({"fmt18",
                 vestest::riffWave(ByteWriter().chunk("fmt ", ByteWriter().bytes(fmt).u16(0).data()).chunk("data", pcm).data()),
                 46, 100, {}});
    // Samples cut short: the data chunk claims more than the file holds.
    {
        Bytes f = vestest::riffWave(ByteWriter().chunk("fmt ", fmt).chunk("data", pcm).data());
        f.resize(f.size() - 30);
        v.push_back({"truncatedRecording", f, 44, 70, {}});
    }
    // No chunk named "data": the samples follow `fmt ` directly.
    v.push_back({"noDataChunk", vestest::riffWave(ByteWriter().chunk("fmt ", fmt).tag("dat?").u32(100).bytes(pcm).data()),
                 44, 100, {}});
    return v;
}

void PrintTo(const Layout& l, std::ostream* os)
{
    *os << l.name;
}

class WaveLayouts : public ::testing::TestWithParam<Layout> {};

}  // namespace

TEST_P(WaveLayouts, SamplesAndMetadataAreFound)
{
    const Layout& l = GetParam();
    TempDir dir;
    vestest::writeFile(dir.file("f.wav"), l.file);
    WaveFile w;
    ASSERT_EQ(w.open(dir.file("f.wav")), 1);
    PcmFormat fmt;
    ASSERT_TRUE(w.getFormat(fmt));
    EXPECT_EQ(fmt.samplesPerSec, 384000u);
    EXPECT_EQ(fmt.bitsPerSample, 16u);
    EXPECT_EQ(w.dataStart(), l.dataStart);
    EXPECT_EQ(w.dataLength(), l.dataLength);
    Bytes got(static_cast<std::size_t>(l.dataLength));
    ASSERT_EQ(w.readData(got.data(), l.dataLength, 0), l.dataLength);
    EXPECT_EQ(got, Bytes(l.file.begin() + l.dataStart, l.file.begin() + l.dataStart + l.dataLength));
    std::vector<std::string> names;
    for (const RiffCls* c : w.foreignChunks())
        names.push_back(c->name());
    EXPECT_EQ(names, l.foreign);
}

INSTANTIATE_TEST_SUITE_P(RiffFile, WaveLayouts, ::testing::ValuesIn(layouts()),
                         [](const auto& tp) { return std::string(tp.param.name); });

TEST(RiffFile, FormatAreaTakesUpTo40BytesOfFmt)
{
    TempDir dir;
    Bytes ext = ByteWriter().bytes(vestest::pcmFormat(2, 250000, 24)).u16(22).fill(22, 0xAB).data();  // 40 bytes
    vestest::writeFile(dir.file("x.wav"), vestest::riffWave(ByteWriter().chunk("fmt ", ext).chunk("data", samples(12)).data()));
    WaveFile w;
    ASSERT_EQ(w.open(dir.file("x.wav")), 1);
    std::uint8_t area[40];
    ASSERT_TRUE(w.getFormatArea(area));
    EXPECT_EQ(0, std::memcmp(area, ext.data(), 40));
    EXPECT_EQ(w.fmtLength(), 40);
}

TEST(RiffFile, ZeroLengthChunkEndsTheWalk)
{
    TempDir dir;
    const Bytes fmt = vestest::pcmFormat(1, 44100, 16);
    vestest::writeFile(dir.file("z.wav"),
                       vestest::riffWave(ByteWriter().chunk("fmt ", fmt).chunk("JUNK", {}).chunk("data", samples(8)).data()));
    WaveFile w;
    ASSERT_EQ(w.open(dir.file("z.wav")), 1);
    RiffCls* wave = w.find("WAVE");
    ASSERT_NE(wave, nullptr);
    EXPECT_EQ(wave->subChunks().size(), 1u) << "only fmt is seen";
    EXPECT_EQ(wave->findSubChunk("data", 0), nullptr);
}

TEST(RiffFile, FormsThatOverrunTheFile)
{
    TempDir dir;
    struct Case {
        const char* name;
        Bytes bytes;
        int forms;
    } cases[] = {
        // A foreign form claiming 9 bytes more than the file has: unreadable.
        {"overrun9", ByteWriter().tag("RIFF").u32(4 + 9).tag("VPr0").data(), 0},
        // Up to 8 bytes too long is accepted.
        {"overrun8", ByteWriter().tag("RIFF").u32(4 + 8).tag("VPr0").data(), 1},
        // A form too short to hold its type is not a form.
        {"lengthBelow4", ByteWriter().tag("RIFF").u32(3).tag("VPr0").data(), 0},
        {"notRiff", ByteWriter().tag("RIFX").u32(4).tag("WAVE").data(), 0},
    };
    for (const auto& c : cases) {
        vestest::writeFile(dir.file(c.name), c.bytes);
        RiffFile f;
        EXPECT_EQ(f.open(dir.file(c.name)), c.forms) << c.name;
    }
    vestest::writeFile(dir.file("empty"), {});
    RiffFile f;
    EXPECT_EQ(f.open(dir.file("empty")), -1) << "an empty file cannot be mapped";
    EXPECT_EQ(f.open(dir.file("missing")), -1);
}

TEST(RiffFile, OwnFormsRoundTripAfterTheWaveForm)
{
    TempDir dir;
    const std::string path = dir.file("own.vprd");
    const Bytes pcm = samples(1000);
    Bytes rec212(212), view1(33), view2(34);  // odd lengths are written without pad bytes
    for (std::size_t i = 0; i < rec212.size(); ++i)
        rec212[i] = static_cast<std::uint8_t>(i);
    view1[0] = 1;
    view2[0] = 2;
    {
        WaveFile w;
        PcmFormat fmt{1, 1, 384000, 768000, 2, 16};
        w.setFormat(fmt);
        w.add("VPr0", static_cast<std::int64_t>(rec212.size()), rec212.data());
        w.add("VPr1", static_cast<std::int64_t>(view1.size()), view1.data());
        w.add("VPr1", static_cast<std::int64_t>(view2.size()), view2.data());
        w.add("Z", 0, nullptr);
        std::FILE* out = std::fopen(path.c_str(), "wb");
        ASSERT_NE(out, nullptr);
        EXPECT_EQ(w.writeWaveHeader(out, pcm.data(), static_cast<std::int64_t>(pcm.size())), 44 + 1000);
        EXPECT_EQ(w.writeAll(out), (12 + 212) + (12 + 33) + (12 + 34) + 12);
        std::fclose(out);
    }
    const Bytes bytes = vestest::readFile(path);
    // The form of a 212-byte record has the length field 216; a short name is padded with blanks.
    const std::size_t vpr0 = 44 + 1000;
    EXPECT_EQ(std::string(bytes.begin() + vpr0, bytes.begin() + vpr0 + 4), "RIFF");
    EXPECT_EQ(readLe32(&bytes[vpr0 + 4]), 216u);
    const std::size_t z = bytes.size() - 12;
    EXPECT_EQ(std::string(bytes.begin() + z + 8, bytes.end()), "Z   ");

    WaveFile r;
    ASSERT_EQ(r.open(path), 5);
    EXPECT_EQ(r.dataLength(), 1000);
    RiffCls* own = r.find("VPr0");
    ASSERT_NE(own, nullptr);
    Bytes back(212);
    EXPECT_EQ(own->read(back.data(), 500, 0), 212) << "read is cut at the payload";
    EXPECT_EQ(back, rec212);
    ASSERT_NE(r.find("VPr1", 1), nullptr);
    EXPECT_EQ(r.find("VPr1", 1)->buffer()[0], 2) << "index 1 is the second form of that name";
    EXPECT_EQ(r.find("VPr1", 2), nullptr);
    // Editing the form list: remove the first VPr1 by number, replace VPr0.
    EXPECT_TRUE(r.remove("VPr1", true, 1));
    EXPECT_EQ(r.find("VPr1", 0)->buffer()[0], 2);
    const std::uint8_t replacement[4] = {9, 9, 9, 9};
    r.set("VPr0", 4, replacement);
    EXPECT_EQ(r.find("VPr0")->getLength(), 8);
    EXPECT_EQ(r.removeAll("VPr1", true), 1);
}

TEST(RiffFile, ReadDataNearTheEndReturnsOnlyWhatIsThere)
{
    TempDir dir;
    vestest::writeFile(dir.file("d.wav"), vestest::riffWave(ByteWriter()
                                                                .chunk("fmt ", vestest::pcmFormat(1, 8000, 8))
                                                                .chunk("data", samples(50))
                                                                .chunk("LIST", text("trailer!"))
                                                                .data()));
    WaveFile w;
    ASSERT_EQ(w.open(dir.file("d.wav")), 1);
    std::uint8_t buf[64];
    EXPECT_EQ(w.readData(buf, 64, 40), 10) << "never into the chunk after the samples";
    EXPECT_EQ(w.readData(buf, 64, 50), 0);
    EXPECT_EQ(w.readData(buf, 64, -1), 0);
}

TEST(RiffFile, SmallSectionsReadAcrossManyViews)
{
    TempDir dir;
    const Bytes pcm = samples(200000);
    vestest::writeFile(dir.file("big.wav"),
                       vestest::riffWave(ByteWriter().chunk("fmt ", vestest::pcmFormat(1, 8000, 8)).chunk("data", pcm).data()));
    WaveFile w;
    w.setSectionSize(8192);  // views of one page pair
    ASSERT_EQ(w.open(dir.file("big.wav")), 1);
    Bytes got(pcm.size());
    ASSERT_EQ(w.readData(got.data(), static_cast<std::int64_t>(got.size()), 0), static_cast<std::int64_t>(pcm.size()));
    EXPECT_EQ(got, pcm);
}

// Past what RIFF can hold the header is RF64: Rf64Test.cpp.
TEST(RiffFile, WaveHeaderIsTheCanonical44Bytes)
{
    WaveFile w;
    w.setFormat({1, 2, 192000, 768000, 4, 16});
    char* buf = nullptr;
    size_t size = 0;
    std::FILE* mem = open_memstream(&buf, &size);
    EXPECT_EQ(w.writeWaveHeader(mem, nullptr, 1000, 24), 44);
    std::fclose(mem);
    ASSERT_EQ(size, 44u);
    const auto* p = reinterpret_cast<const std::uint8_t*>(buf);
    EXPECT_EQ(std::string(buf, 4), "RIFF");
    EXPECT_EQ(readLe32(p + 4), 36u + 1000u + 24u);
    EXPECT_EQ(std::string(buf + 8, 8), "WAVEfmt ");
    EXPECT_EQ(readLe32(p + 16), 16u);
    EXPECT_EQ(readLe16(p + 22), 2u);
    EXPECT_EQ(readLe32(p + 24), 192000u);
    EXPECT_EQ(std::string(buf + 36, 4), "data");
    EXPECT_EQ(readLe32(p + 40), 1000u);
    std::free(buf);
}

TEST(RiffFile, RealRecordingsOpenWithTheirFormatAndLength)
{
    if (vestest::sharedDataDir().empty())
        GTEST_SKIP() << "no shared recordings beside the project (../shared/data)";
    struct Expect {
        const char* file;
        std::uint32_t rate;
        std::int64_t frames;
        const char* keeps;  // a metadata chunk that must be kept, or ""
    } table[] = {
        {"batdetect2/20230322_172000_selec2.wav", 192000, 384000, "id3 "},
        {"batdetect2/audio_20170701_213954-MYOMYS-LR_0_0.5.wav", 500000, 250000, ""},
        {"batdetect2/audio_20180530_213516-EPTSER-LR_0_0.5.wav", 384000, 192000, ""},
        {"batdetect2/audio_20180627_215323-RHIFER-LR_0_0.5.wav", 384000, 192000, ""},
        {"batdetect2/contrib_jeff37_0166_20240602_225340.wav", 312500, 1260544, "guan"},
        {"batdetect2/contrib_padpadpadpad_Echometer.wav", 256000, 1787520, "wamd"},
        {"batdetect2/contrib_padpadpadpad_Audiomoth.WAV", 250000, 1681312, "guan"},
        {"batdetect2/contrib_padpadpadpad_AudiomothNoBatCalls.WAV", 250000, 26272, "LIST"},
        {"cc-by/test_file.wav", 441000, 169345, ""},
        {"soundclass/20170907_234031_bat.wav", 300000, 600000, ""},
        {"soundclass/20170908_010423_bat.wav", 300000, 600000, ""},
        {"soundclass/20170908_013901_bat.wav", 300000, 600000, ""},
        {"soundclass/20170908_022458_bat.wav", 300000, 600000, ""},
        {"soundclass/20170908_061154_noise.wav", 300000, 600000, ""},
        {"soundclass/20170908_063845_noise.wav", 300000, 600000, ""},
        {"soundclass/20170908_080424_noise.wav", 300000, 600000, ""},
        {"soundclass/Bbar001.wav", 44100, 150329, ""},
        {"soundclass/Bbar002.wav", 44100, 627792, ""},
        {"soundclass/Bbar003.wav", 44100, 610939, ""},
        {"soundclass/Bbar004.wav", 44100, 551952, ""},
        {"soundclass/Bbar005.wav", 44100, 705740, ""},
        {"soundclass/Bbar006.wav", 44100, 689825, ""},
        {"soundclass/Bbar007.wav", 44100, 736287, ""},
        {"soundclass/Bbar008.wav", 44100, 735234, ""},
        {"soundclass/Bbar009.wav", 44100, 608832, ""},
        {"soundclass/Bbar010.wav", 44100, 762621, ""},
        {"soundclass/Mesc002.wav", 44100, 603627, ""},
        {"soundclass/Mesc003.wav", 44100, 273668, ""},
        {"soundclass/Mesc004.wav", 44100, 401492, ""},
        {"soundclass/Mesc005.wav", 44100, 617302, ""},
        {"tadarida/Car370293-2016-Pass1-Z3-US-16611-0_20160629_213356_166.wav", 38400, 1433600, "wamd"},
        {"tadarida/Car370293-2016-Pass1-Z3-US-16611-0_20160629_232346_627.wav", 38400, 1920000, "wamd"},
        {"timeexp10/2008-08-08_17-26-07_42.94_23.03_10_0.wav", 44100, 171648, ""},
        {"timeexp10/2018-02-01_17-26-07_42.08_24.33_10_0.wav", 44100, 171648, ""},
    };
    std::size_t checked = 0;
    for (const auto& e : table) {
        const std::string path = vestest::sharedDataDir() + "/" + e.file;
        if (!vestest::fileExists(path))
            continue;
        WaveFile w;
        ASSERT_EQ(w.open(path), 1) << e.file;
        PcmFormat fmt;
        ASSERT_TRUE(w.getFormat(fmt)) << e.file;
        EXPECT_EQ(fmt.samplesPerSec, e.rate) << e.file;
        EXPECT_EQ(fmt.bitsPerSample, 16) << e.file;
        EXPECT_EQ(w.dataLength() / fmt.blockAlign, e.frames) << e.file;
        if (*e.keeps) {
            bool found = false;
            for (const RiffCls* c : w.foreignChunks())
                found |= c->name() == e.keeps;
            EXPECT_TRUE(found) << e.file << " keeps " << e.keeps;
        }
        ++checked;
    }
    EXPECT_EQ(checked, vestest::sharedRecordings().size()) << "a recording in the shared folder is not in the table";
}
