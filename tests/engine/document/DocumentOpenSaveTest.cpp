#include "document/CVesSoundDoc.h"
#include "records/VprdData.h"
#include "core/ByteOrder.h"
#include "soundfiles/RiffFile.h"
#include "soundfiles/VesFileType.h"

#include "DocTestSupport.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <unistd.h>
#include <filesystem>

#ifdef VES_HAVE_SNDFILE
#include <sndfile.h>
#endif

using vestest::ByteWriter;
using vestest::Bytes;
using vestest::RecordingHost;
using vestest::TempDir;

namespace fs = std::filesystem;

namespace {

// Files left in a folder other than the ones named.
std::vector<std::string> strayFiles(const std::string& dir, const std::vector<std::string>& expected)
{
    std::vector<std::string> out;
    for (const auto& e : fs::directory_iterator(dir)) {
        const std::string name = e.path().filename().string();
        if (std::find(expected.begin(), expected.end(), name) == expected.end())
            out.push_back(name);
    }
    return out;
}

AnaMarkSave markAt(std::int64_t frame, const char* label)
{
    AnaMarkSave m;
    m.m_posX = frame;
    m.m_label = label;
    m.m_show = true;
    return m;
}

}  // namespace

TEST(CVesSoundDoc, BlockSizeAndConversions)
{
    struct Case {
        int channels, bits;
        std::uint32_t rate;
        int align;
        std::uint32_t perSecond;
        std::int64_t block;
    } cases[] = {
        // A sixteenth of a second, rounded down to 64 bytes and to the frame size.
        {2, 16, 48000, 4, 192000, 11968},
        {1, 8, 8000, 1, 8000, 448},
        {1, 8, 2000, 1, 2000, 256},  // the 256-frame minimum
        {2, 24, 384000, 6, 2304000, 144000},
        {1, 16, 44100, 2, 88200, 5504},  // 5512 rounded down to 64 bytes
    };
    for (const auto& c : cases) {
        const SoundFormat f = SoundFormat::pcm(c.channels, c.bits, c.rate);
        EXPECT_EQ(f.blockAlign, c.align);
        EXPECT_EQ(f.avgBytesPerSec, c.perSecond);
        EXPECT_EQ(CVesSoundDoc::computeBlockSize(f), c.block) << c.channels << "x" << c.bits << "@" << c.rate;
    }
    RecordingHost host;
    CVesSoundDoc doc(host);
    doc.setFormat(SoundFormat::pcm(1, 16, 44100));
    doc.recData().m_timeExp25 = 10000;  // time expansion 10
    EXPECT_EQ(doc.framesToRealMicros(44100), 100000) << "one second of file is 0.1 s in the field";
    EXPECT_EQ(doc.framesToFileMicros(44100), 1000000);
    EXPECT_EQ(doc.realMicrosToFrames(100000), 44100);
    EXPECT_EQ(doc.realMicrosToBytes(100000), 88200);
    // Ten hours at 500 kHz without overflow.
    doc.setFormat(SoundFormat::pcm(1, 16, 500000));
    doc.recData().m_timeExp25 = 1000;
    EXPECT_EQ(doc.realMicrosToFrames(36000LL * 1000000), 36000LL * 500000);
    EXPECT_EQ(doc.framesToRealMicros(36000LL * 500000), 36000LL * 1000000);
}

namespace {

struct TypeCase {
    const char* name;
    int type;
    const char* ext;
    int channels, bits;
    bool keepsRecords;  // own forms: records, views and marks
};

void PrintTo(const TypeCase& c, std::ostream* os)
{
    *os << c.name;
}

class SaveReopen : public ::testing::TestWithParam<TypeCase> {};

}  // namespace

TEST_P(SaveReopen, SamplesAndRecordsSurvive)
{
    const TypeCase& c = GetParam();
    TempDir dir;
    RecordingHost host;
    const Bytes pcm = vestest::patternSamples(c.channels, c.bits, 5001, 7);
    CVesSoundDoc doc(host);
    vestest::fillDocument(doc, c.channels, c.bits, 250000, pcm);
    doc.recData().m_by = "Field team";
    doc.recData().m_extraData = {"line one", "line two", "line three"};
    doc.recData().m_timeExp25 = 1000;
    doc.addMark(markAt(10, "first"));
    doc.addMark(markAt(4000, "second"));
    VesAnaParms view;
    view.m_plotStart = 100;
    view.m_plotEnd = 900;
    doc.pendingAnaParms().push_back(view);
    doc.foreignChunks().push_back({"guan", Bytes{'G', 'U', 'A', 'N', 'O', '|', 'x'}});

    const std::string path = dir.file(std::string("out.") + c.ext);
    ASSERT_TRUE(doc.save(path, c.type)) << host.lastMessage();
    EXPECT_TRUE(host.messages.empty()) << host.lastMessage();
    std::vector<std::string> expected = {fs::path(path).filename().string()};
    if (c.type == kTypeVesperonPair)
        expected.push_back(expected[0] + ".wav");
    EXPECT_TRUE(strayFiles(dir.path(), expected).empty()) << "temporary files left behind";

    CVesSoundDoc back(host);
    ASSERT_TRUE(back.open(VesFilePath::tagged(path, c.type))) << host.lastMessage();
    EXPECT_EQ(back.format().channels, c.channels);
    EXPECT_EQ(back.format().bitsPerSample, c.bits);
    EXPECT_EQ(vestest::documentBytes(back), pcm);
    EXPECT_EQ(back.saveType(), c.type);
    if (c.keepsRecords) {
        EXPECT_EQ(back.recData().m_by, "Field team");
        EXPECT_EQ(back.recData().m_extraData.size(), 3u);
        ASSERT_EQ(back.marks().size(), 2u);
        EXPECT_EQ(back.marks()[1].m_posX, 4000);
        EXPECT_EQ(back.marks()[1].m_label, "second");
        EXPECT_EQ(back.nextMarkNumber(), 2);
        ASSERT_EQ(back.pendingAnaParms().size(), 1u);
        EXPECT_EQ(back.pendingAnaParms()[0].m_plotStart, 100);
        EXPECT_EQ(back.pendingAnaParms()[0].m_plotEnd, 900);
    }
    ASSERT_EQ(back.foreignChunks().size(), 1u) << "metadata chunks are written back";
    EXPECT_EQ(back.foreignChunks()[0].id, "guan");
    EXPECT_EQ(back.foreignChunks()[0].bytes.size(), 7u);
}

INSTANTIATE_TEST_SUITE_P(CVesSoundDoc, SaveReopen,
                         ::testing::Values(TypeCase{"standard8mono", 1, "wav", 1, 8, false},
                                           TypeCase{"standard16stereo", 1, "wav", 2, 16, false},
                                           TypeCase{"standard24mono", 1, "wav", 1, 24, false},
                                           TypeCase{"standard32stereo", 1, "wav", 2, 32, false},
                                           TypeCase{"vesperon16mono", 9, "vprd", 1, 16, true},
                                           TypeCase{"vesperon24stereo", 9, "vprd", 2, 24, true},
                                           TypeCase{"wave5", 5, "wav", 1, 16, true},
                                           TypeCase{"pair", 10, "vprdp", 2, 16, true}),
                         [](const auto& tp) { return std::string(tp.param.name); });

TEST(CVesSoundDoc, SavedIntervalKeepsOnlyItsMarksShifted)
{
    TempDir dir;
    RecordingHost host;
    CVesSoundDoc doc(host);
    vestest::fillDocument(doc, 1, 16, 48000, vestest::patternSamples(1, 16, 3000));
    doc.addMark(markAt(500, "a"));
    doc.addMark(markAt(1500, "b"));
    doc.addMark(markAt(2500, "c"));
    VesAnaParms early;
    early.m_plotStart = 200;  // before the interval: becomes the whole recording
    early.m_plotEnd = 400;
    doc.pendingAnaParms().push_back(early);
    ASSERT_TRUE(doc.save(dir.file("part.vprd"), kTypeVesperonWave, 1000, 2000));
    CVesSoundDoc back(host);
    ASSERT_TRUE(back.open(dir.file("part.vprd")));
    EXPECT_EQ(back.lengthFrames(), 1000);
    ASSERT_EQ(back.marks().size(), 1u);
    EXPECT_EQ(back.marks()[0].m_posX, 500);
    EXPECT_EQ(back.marks()[0].m_label, "b");
    ASSERT_EQ(back.pendingAnaParms().size(), 1u);
    EXPECT_EQ(back.pendingAnaParms()[0].m_plotStart, 0);
    EXPECT_EQ(back.pendingAnaParms()[0].m_plotEnd, -1);
    const Bytes all = vestest::documentBytes(doc);
    EXPECT_EQ(vestest::documentBytes(back), Bytes(all.begin() + 2000, all.begin() + 4000));
}

TEST(CVesSoundDoc, RawTypesWriteOnlyTheSamples)
{
    TempDir dir;
    RecordingHost host;
    CVesSoundDoc doc(host);
    const Bytes pcm = vestest::patternSamples(1, 16, 1000);
    vestest::fillDocument(doc, 1, 16, 22050, pcm);
    ASSERT_TRUE(doc.save(dir.file("raw.dat"), kTypeData16Mono, 100, 600));
    EXPECT_EQ(vestest::readFile(dir.file("raw.dat")), Bytes(pcm.begin() + 200, pcm.begin() + 1200));
    CVesSoundDoc back(host);
    ASSERT_TRUE(back.open(VesFilePath::tagged(dir.file("raw.dat"), kTypeData16Mono)));
    EXPECT_EQ(back.format().samplesPerSec, 22050u);
    EXPECT_EQ(back.lengthFrames(), 500);

    // The 60-byte-header type stores 16-bit unsigned samples after its header.
    ByteWriter special;
    special.fill(60, 0xEE).u16(0x8000).u16(0x8001).u16(0x7FFF);
    vestest::writeFile(dir.file("s.dat"), special.data());
    CVesSoundDoc s(host);
    ASSERT_TRUE(s.open(VesFilePath::tagged(dir.file("s.dat"), kTypeSpecial60)));
    EXPECT_EQ(vestest::documentBytes(s), (Bytes{0x00, 0x00, 0x01, 0x00, 0xFF, 0xFF}));
    EXPECT_EQ(s.format().samplesPerSec, 44100u);
}

TEST(CVesSoundDoc, CompressedWaveKeepsTheCallsAndRestoresTheirPlaces)
{
    TempDir dir;
    RecordingHost host;
    host.compressedLevel = -40;  // threshold 10^-4 of full scale: about 3 in 16-bit units
    host.compressedBefore = 1;   // ms
    host.compressedAfter = 2;
    CVesSoundDoc doc(host);
    const std::uint32_t rate = 100000;
    std::vector<std::int16_t> s(50000, 0);
    for (int burst : {10000, 30000})
        for (int i = 0; i < 500; ++i)
            s[static_cast<size_t>(burst + i)] = static_cast<std::int16_t>((i % 2 ? 1 : -1) * 1000);
    Bytes pcm(s.size() * 2);
    for (size_t i = 0; i < s.size(); ++i)
        writeLe16(&pcm[2 * i], static_cast<std::uint16_t>(s[i]));
    vestest::fillDocument(doc, 1, 16, rate, pcm);
    doc.recData().m_timeExp25 = 1000;
    ASSERT_TRUE(doc.doSave(VesFilePath::tagged(dir.file("c.vprd"), kTypeWaveComp)));
    EXPECT_EQ(doc.lastSavedSegmentCount(), 2);
    // The samples stored are only the two bursts with 1 ms before and 2 ms after each.
    WaveFile w;
    ASSERT_GE(w.open(dir.file("c.vprd")), 1);
    EXPECT_EQ(w.dataLength(), 2 * (100 + 500 + 200) * 2);
    CVesSoundDoc back(host);
    ASSERT_TRUE(back.open(dir.file("c.vprd")));
    EXPECT_EQ(back.saveType(), kTypeWaveComp);
    EXPECT_EQ(back.segmentHeader().fileType(), kTypeWaveComp) << "the table's header names the type it was saved as";
    ASSERT_EQ(back.segments().size(), 2u);
    EXPECT_EQ(back.segments()[0].startFrame, 10000 - 100);
    EXPECT_EQ(back.lengthFrames(), 30000 + 500 + 200);
    EXPECT_EQ(vestest::documentBytes(back), Bytes(pcm.begin(), pcm.begin() + 2 * (30000 + 500 + 200)));
}

TEST(CVesSoundDoc, SegmentTableFillsGapsWithSilence)
{
    TempDir dir;
    RecordingHost host;
    // Segments at frames 100-199 and 1000-1099 of an 8-bit recording, stored back to back.
    Bytes stored(200);
    for (size_t i = 0; i < stored.size(); ++i)
        stored[i] = static_cast<std::uint8_t>(i < 100 ? 10 : 20);
    SegmentTableHeader header;
    ByteWriter table;
    table.bytes(Bytes(header.bytes.begin(), header.bytes.end()));
    table.u32(16).u32(100).u32(100).u32(0).u32(16).u32(1000).u32(100).u32(0);
    VesRecData rec;
    ByteWriter file;
    file.bytes(vestest::riffWave(ByteWriter().chunk("fmt ", vestest::pcmFormat(1, 8000, 8)).chunk("data", stored).data()));
    const Bytes recBytes = rec.toBytes();
    file.tag("RIFF").u32(static_cast<std::uint32_t>(recBytes.size() + 4)).tag("VPr0").bytes(recBytes);
    file.tag("RIFF").u32(static_cast<std::uint32_t>(table.size() + 4)).tag("VPrC").bytes(table.data());
    vestest::writeFile(dir.file("seg.vprd"), file.data());
    CVesSoundDoc doc(host);
    ASSERT_TRUE(doc.open(dir.file("seg.vprd"))) << host.lastMessage();
    EXPECT_EQ(doc.saveType(), kTypeWaveComp);
    const Bytes got = vestest::documentBytes(doc);
    ASSERT_EQ(got.size(), 1100u);
    EXPECT_EQ(got[99], 0);
    EXPECT_EQ(got[100], 10);
    EXPECT_EQ(got[199], 10);
    EXPECT_EQ(got[200], 0);
    EXPECT_EQ(got[999], 0);
    EXPECT_EQ(got[1000], 20);
    EXPECT_EQ(got[1099], 20);
}

// A VPr0 form cut short still gives the record as far as it goes (the rest
// keeps its defaults) with no message; only a longer one is refused.
TEST(CVesSoundDoc, ShortRecordFormIsReadLongOneRefused)
{
    TempDir dir;
    VesRecData rec;
    rec.m_timeExp25 = 10000;
    const Bytes full = rec.toBytes();
    const Bytes wave =
        vestest::riffWave(ByteWriter().chunk("fmt ", vestest::pcmFormat(1, 50000, 8)).chunk("data", Bytes(100, 128)).data());
    struct Case {
        std::size_t length;
        bool message;
    };
    for (const Case c : {Case{200, false}, Case{212, false}, Case{220, true}}) {
        Bytes payload(full.begin(), full.begin() + static_cast<std::ptrdiff_t>(std::min(c.length, full.size())));
        payload.resize(c.length, 0);
        ByteWriter file;
        file.bytes(wave);
        file.tag("RIFF").u32(static_cast<std::uint32_t>(payload.size() + 4)).tag("VPr0").bytes(payload);
        const std::string path = dir.file("r" + std::to_string(c.length) + ".vprd");
        vestest::writeFile(path, file.data());
        RecordingHost host;
        CVesSoundDoc doc(host);
        ASSERT_TRUE(doc.open(path)) << c.length;
        EXPECT_EQ(host.lastMessage() == "Can not read Vesperon format information.", c.message) << c.length;
        if (!c.message) {
            EXPECT_EQ(doc.recData().m_timeExp25, 10000) << c.length;
        }
    }
}

TEST(CVesSoundDoc, DetectorHeaderIsReadDescribedAndWrittenBack)
{
    TempDir dir;
    RecordingHost host;
    Bytes data(244 + 100, 0);
    data[0] = 176;  // stated length 176, but a version text at 196 means 244
    auto put = [&](int offset, const char* text) { std::copy(text, text + std::strlen(text), data.begin() + offset); };
    put(68, "2024-06-02 22:53:40");
    put(100, "49.09");
    put(196, "R9000Z V2.1");
    for (int i = 0; i < 100; ++i)
        data[static_cast<size_t>(244 + i)] = static_cast<std::uint8_t>(i);
    vestest::writeFile(dir.file("d.r9000z"),
                       vestest::riffWave(ByteWriter().chunk("fmt ", vestest::pcmFormat(1, 300000, 8)).chunk("data", data).data()));
    CVesSoundDoc doc(host);
    ASSERT_TRUE(doc.open(dir.file("d.r9000z"))) << host.lastMessage();
    EXPECT_EQ(doc.saveType(), kTypeDetectorWave);
    EXPECT_EQ(doc.recData().detectorHeaderLength(), 244u);
    EXPECT_EQ(doc.lengthFrames(), 100);
    EXPECT_EQ(doc.detectorDescription(), "R9000Z Record time (utc):2024-06-02 22:53:40 Latitude : 49.09 version : R9000Z V2.1");
    EXPECT_EQ(doc.recData().m_recDev, doc.detectorDescription());
    ASSERT_TRUE(doc.save(dir.file("again.r9000z"), kTypeDetectorWave));
    CVesSoundDoc back(host);
    ASSERT_TRUE(back.open(dir.file("again.r9000z")));
    EXPECT_EQ(back.detectorDescription(), doc.detectorDescription());
    EXPECT_EQ(vestest::documentBytes(back), vestest::documentBytes(doc));

    // A detector-typed file without a header is read whole, with a warning.
    vestest::writeFile(dir.file("n.r9000z"),
                       vestest::riffWave(ByteWriter().chunk("fmt ", vestest::pcmFormat(1, 300000, 8)).chunk("data", Bytes(50, 3)).data()));
    CVesSoundDoc none(host);
    ASSERT_TRUE(none.open(dir.file("n.r9000z")));
    EXPECT_EQ(host.lastMessage(), "No R9000Z data found?");
    EXPECT_EQ(none.lengthFrames(), 50);
}

TEST(CVesSoundDoc, FastRecordingsOfAPlainWaveGetNoTimeExpansion)
{
    TempDir dir;
    VesDefData defaults;
    defaults.m_timeExp25 = 10000;
    for (const std::uint32_t rate : {48000u, 192000u}) {
        const std::string path = dir.file("r" + std::to_string(rate) + ".wav");
        vestest::writeFile(path, vestest::riffWave(ByteWriter().chunk("fmt ", vestest::pcmFormat(1, rate, 16)).chunk("data", Bytes(400)).data()));
        RecordingHost host;
        CVesSoundDoc doc(host, defaults);
        ASSERT_TRUE(doc.open(path));
        EXPECT_EQ(doc.timeExpansion(), rate > 97000 ? 1000 : 10000) << rate;
    }
}

TEST(CVesSoundDoc, DiskSpaceBoundaryAndReadOnlyTarget)
{
    TempDir dir;
    RecordingHost host;
    CVesSoundDoc doc(host);
    vestest::fillDocument(doc, 1, 16, 8000, vestest::patternSamples(1, 16, 10000));
    const std::int64_t needed = doc.lengthBytes();
    host.freeSpace = static_cast<std::int64_t>(needed * 1.1 + 16384);
    EXPECT_TRUE(doc.save(dir.file("fits.wav"), kTypeStandardWave));
    host.freeSpace -= 1;
    EXPECT_FALSE(doc.save(dir.file("full.wav"), kTypeStandardWave));
    EXPECT_EQ(host.lastMessage(), "Disk full!");
    EXPECT_FALSE(vestest::fileExists(dir.file("full.wav")));
    host.freeSpace = -1;
    if (::geteuid() != 0) {  // root may write anyway
        vestest::writeFile(dir.file("ro.wav"), Bytes{1});
        fs::permissions(dir.file("ro.wav"), fs::perms::owner_read);
        EXPECT_FALSE(doc.save(dir.file("ro.wav"), kTypeStandardWave));
        EXPECT_EQ(host.lastMessage(), "The file is read only!");
    }
}

TEST(CVesSoundDoc, CancelledSaveLeavesTheOldFileUntouched)
{
    TempDir dir;
    RecordingHost host;
    CVesSoundDoc doc(host);
    vestest::fillDocument(doc, 1, 16, 384000, vestest::patternSamples(1, 16, 4 << 20));  // 8 MiB: several pieces
    vestest::writeFile(dir.file("keep.vprd"), Bytes{'o', 'l', 'd'});
    host.cancelAfterFirstProgress = true;
    EXPECT_FALSE(doc.save(dir.file("keep.vprd"), kTypeVesperonWave));
    EXPECT_EQ(vestest::readFile(dir.file("keep.vprd")), (Bytes{'o', 'l', 'd'}));
    EXPECT_TRUE(strayFiles(dir.path(), {"keep.vprd"}).empty());
}

// Samples past the RIFF limit are written as RF64: Rf64DocumentTest.cpp.

TEST(CVesSoundDoc, BrokenFilesGiveTheirMessageAndNoDocument)
{
    TempDir dir;
    const Bytes fmt = vestest::pcmFormat(1, 44100, 16);
    struct Case {
        const char* name;
        Bytes bytes;
        const char* message;  // the start of the expected message
    } cases[] = {
        // Not RIFF: handed to the decoder, which cannot make sense of it either.
        {"empty.vprd", {}, "/"},
        {"garbage.vprd", Bytes(100, 0x5A), "/"},
        {"lying.vprd", ByteWriter().tag("RIFF").u32(0x7FFFFFF0).tag("VPr0").fill(20, 0).data(), "Unable to open file "},
        {"nofmt.wav", vestest::riffWave(ByteWriter().chunk("data", Bytes(10)).data()), "File "},
        {"zerochannels.vprd", vestest::riffWave(ByteWriter().chunk("fmt ", Bytes(16, 0)).chunk("data", Bytes(10)).data()), "File "},
        {"garbage.mp3", Bytes(1000, 0x00), ""},
    };
    for (const auto& c : cases) {
        vestest::writeFile(dir.file(c.name), c.bytes);
        RecordingHost host;
        CVesSoundDoc doc(host);
        EXPECT_FALSE(doc.open(dir.file(c.name))) << c.name;
        ASSERT_EQ(host.messages.size(), 1u) << c.name;
        EXPECT_EQ(host.messages[0].rfind(c.message, 0), 0u) << c.name << ": " << host.messages[0];
        EXPECT_EQ(doc.lengthFrames(), 0) << c.name;
    }
    RecordingHost host;
    CVesSoundDoc doc(host);
    EXPECT_FALSE(doc.open(dir.file("garbage.mp3")));
    EXPECT_EQ(host.lastMessage(), dir.file("garbage.mp3") + ": Unable to decompress files of this type!");
    vestest::writeFile(dir.file("lonely.vprdp"), ByteWriter().tag("RIFF").u32(216).tag("VPr0").fill(212, 0).data());
    EXPECT_FALSE(doc.open(dir.file("lonely.vprdp")));
    EXPECT_EQ(host.lastMessage(), "Wave file missing in file pair " + dir.file("lonely.vprdp") + " and " +
                                      dir.file("lonely.vprdp") + ".wav");
}

TEST(CVesSoundDoc, FixedRecordsAreReadFromTheSecondFormOn)
{
    TempDir dir;
    RecordingHost host;
    VesRecData rec;
    rec.m_by = "old file";
    const Bytes recBytes = rec.toBytes();
    ByteWriter file;
    file.bytes(vestest::riffWave(ByteWriter().chunk("fmt ", vestest::pcmFormat(1, 44100, 16)).chunk("data", Bytes(100)).data()));
    file.tag("RIFF").u32(216).tag("VPr0").bytes(recBytes);
    for (int i = 0; i < 3; ++i) {
        AnaMarkSave m = markAt(10 * i, "m");
        m.m_markNr = 5 + i;
        const Bytes mb = m.toBytes();
        file.tag("RIFF").u32(static_cast<std::uint32_t>(mb.size() + 4)).tag("VPr2").bytes(mb);
        VesAnaParms p;
        p.m_plotStart = i;
        const Bytes pb = p.toBytes();
        file.tag("RIFF").u32(static_cast<std::uint32_t>(pb.size() + 4)).tag("VPr1").bytes(pb);
    }
    vestest::writeFile(dir.file("fixed.vprd"), file.data());
    CVesSoundDoc doc(host);
    ASSERT_TRUE(doc.open(dir.file("fixed.vprd"))) << host.lastMessage();
    EXPECT_EQ(doc.saveType(), kTypeWave);
    EXPECT_EQ(doc.recData().m_by, "old file");
    ASSERT_EQ(doc.marks().size(), 2u);
    EXPECT_EQ(doc.marks()[0].m_posX, 10);
    EXPECT_EQ(doc.nextMarkNumber(), 8);
    ASSERT_EQ(doc.pendingAnaParms().size(), 2u);
    EXPECT_EQ(doc.pendingAnaParms()[0].m_plotStart, 1);
    EXPECT_EQ(host.combinedViewsAsked, 1) << "one more view for the second set";
    EXPECT_TRUE(host.postedMessages.empty());
}

TEST(CVesSoundDoc, AdoptingTakesTheLoadedStoreItselfAndAnnouncesTheLength)
{
    struct LengthView : IDocView {
        std::vector<std::int64_t> lengths;
        void onLengthChanged(std::int64_t frames) override { lengths.push_back(frames); }
    };
    RecordingHost host;
    CVesSoundDoc doc(host);
    LengthView view;
    doc.attachView(&view, nullptr);
    const Bytes pcm = vestest::patternSamples(2, 16, 5000);
    LoadedRecording rec;
    rec.format = SoundFormat::pcm(2, 16, 250000);
    ASSERT_TRUE(rec.samples.createTemp("VpTst", 0, FileCls::kStoreGrowthStep));
    ASSERT_EQ(rec.samples.write(pcm.data(), static_cast<std::int64_t>(pcm.size()), 0), static_cast<std::int64_t>(pcm.size()));
    const std::string store = rec.samples.path();
    rec.marks = {markAt(10, "a"), markAt(20, "b")};
    rec.nextMarkNumber = 5;
    rec.anaParms.resize(2);
    rec.segments = {{0, 5000}};
    rec.foreignChunks.push_back({"guan", Bytes{1, 2, 3}});
    rec.saveType = kTypeVesperonWave;
    rec.typeName = fileTypeDisplayName(kTypeVesperonWave);
    rec.titleSuffix = CVesSoundDoc::kConvertedSuffix;
    rec.pendingSavePath = "/somewhere/call.mp3.vprd";
    rec.modified = true;
    doc.adopt(std::move(rec), "/somewhere/call.mp3");
    EXPECT_EQ(doc.samples().path(), store) << "the store is taken over, not copied";
    EXPECT_FALSE(rec.samples.isOpen());
    EXPECT_EQ(doc.format(), SoundFormat::pcm(2, 16, 250000));
    EXPECT_EQ(doc.blockSize(), CVesSoundDoc::computeBlockSize(doc.format()));
    EXPECT_EQ(doc.lengthFrames(), 5000);
    EXPECT_EQ(view.lengths, std::vector<std::int64_t>{5000});
    EXPECT_EQ(doc.lastBlock(), 0);
    EXPECT_EQ(vestest::documentBytes(doc), pcm);
    EXPECT_EQ(doc.marks().size(), 2u);
    EXPECT_EQ(doc.nextMarkNumber(), 5);
    EXPECT_EQ(doc.pendingAnaParms().size(), 2u);
    EXPECT_EQ(doc.segments(), (std::vector<SegmentRecord>{{0, 5000}}));
    ASSERT_EQ(doc.foreignChunks().size(), 1u);
    EXPECT_EQ(doc.foreignChunks()[0].id, "guan");
    EXPECT_EQ(doc.path(), "/somewhere/call.mp3");
    EXPECT_EQ(doc.title(), "call.mp3.vprd [converted]");
    EXPECT_EQ(doc.typeName(), "[Vesperon Wave]");
    EXPECT_TRUE(doc.modified());
    doc.detachView(&view);

    // Opening a file goes the same way: the document ends up with the
    // reader's store, not with a copy in the store it had.
    TempDir dir;
    vestest::writeFile(dir.file("p.wav"), vestest::riffWave(ByteWriter().chunk("fmt ", vestest::pcmFormat(2, 250000, 16)).chunk("data", pcm).data()));
    CVesSoundDoc opened(host);
    const std::string own = opened.samples().path();
    ASSERT_TRUE(opened.open(dir.file("p.wav"))) << host.lastMessage();
    EXPECT_NE(opened.samples().path(), own);
    EXPECT_EQ(vestest::documentBytes(opened), pcm);
}

TEST(CVesSoundDoc, SaveTakesThePathsTagAndCodecFilesBecomeConverted)
{
    TempDir dir;
    RecordingHost host;
    CVesSoundDoc doc(host);
    vestest::fillDocument(doc, 1, 16, 44100, vestest::patternSamples(1, 16, 100));
    doc.setPath(dir.file("x.vprd"));
    doc.setSaveType(kTypeVesperonWave);
    ASSERT_TRUE(doc.doSave(""));
    EXPECT_EQ(doc.path(), dir.file("x.vprd") + " [Vesperon Wave]");
    EXPECT_FALSE(doc.modified());
}

#ifdef VES_HAVE_SNDFILE
TEST(CVesSoundDoc, LibsndfileReadsOurWaveFilesSampleForSample)
{
    TempDir dir;
    struct Case {
        int channels, bits;
        int sfFormat;
    } cases[] = {
        {1, 8, SF_FORMAT_PCM_U8},
        {2, 16, SF_FORMAT_PCM_16},
        {1, 24, SF_FORMAT_PCM_24},
        {2, 32, SF_FORMAT_PCM_32},
    };
    for (const auto& c : cases) {
        RecordingHost host;
        CVesSoundDoc doc(host);
        const std::int64_t frames = 3001;
        const Bytes pcm = vestest::patternSamples(c.channels, c.bits, frames, static_cast<std::uint32_t>(c.bits));
        vestest::fillDocument(doc, c.channels, c.bits, 384000, pcm);
        doc.foreignChunks().push_back({"guan", Bytes(5, 'g')});  // odd: padded after the samples
        const std::string path = dir.file("sf" + std::to_string(c.bits) + ".wav");
        ASSERT_TRUE(doc.save(path, kTypeStandardWave));
        SF_INFO info{};
        SNDFILE* sf = sf_open(path.c_str(), SFM_READ, &info);
        ASSERT_NE(sf, nullptr) << sf_strerror(nullptr) << " " << path;
        EXPECT_EQ(info.frames, frames);
        EXPECT_EQ(info.channels, c.channels);
        EXPECT_EQ(info.samplerate, 384000);
        EXPECT_EQ(info.format & SF_FORMAT_SUBMASK, c.sfFormat);
        std::vector<int> got(static_cast<size_t>(frames * c.channels));
        EXPECT_EQ(sf_readf_int(sf, got.data(), frames), frames);
        sf_close(sf);
        // libsndfile scales every width to 32-bit integers.
        const int bytes = c.bits / 8;
        for (size_t i = 0; i < got.size(); ++i) {
            std::int32_t v = 0;
            for (int b = 0; b < bytes; ++b)
                v |= static_cast<std::int32_t>(pcm[i * static_cast<size_t>(bytes) + static_cast<size_t>(b)]) << (8 * (4 - bytes + b));
            if (c.bits == 8)
                v = static_cast<std::int32_t>(static_cast<std::uint32_t>(v) ^ 0x80000000u);
            ASSERT_EQ(got[i], v) << path << " sample " << i;
        }
    }
}
#endif

// Our own recording file carries further RIFF forms after the wave form, which
// libsndfile refuses; sox reads the wave form and stops there.
TEST(CVesSoundDoc, SoxReadsTheSamplesOfOurRecordingFiles)
{
    if (std::system("command -v sox >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "sox is not installed";
    TempDir dir;
    for (const auto& [channels, bits] : {std::pair{1, 16}, std::pair{2, 24}, std::pair{1, 8}}) {
        RecordingHost host;
        CVesSoundDoc doc(host);
        const Bytes pcm = vestest::patternSamples(channels, bits, 2001, 99);
        vestest::fillDocument(doc, channels, bits, 500000, pcm);
        doc.addMark(markAt(5, "m"));
        const std::string path = dir.file("own" + std::to_string(bits) + ".vprd");
        ASSERT_TRUE(doc.save(path, kTypeVesperonWave));
        const std::string raw = dir.file("out.raw");
        ASSERT_EQ(std::system(("sox -t wav '" + path + "' -t raw '" + raw + "'").c_str()), 0) << path;
        EXPECT_EQ(vestest::readFile(raw), pcm) << path;
    }
}

TEST(CVesSoundDoc, RealRecordingsResaveWithIdenticalSamplesAndTheirMetadata)
{
    const auto files = vestest::sharedRecordings();
    if (files.empty())
        GTEST_SKIP() << "no shared recordings beside the project (../shared/data)";
    TempDir dir;
    for (const auto& file : files) {
        RecordingHost host;
        CVesSoundDoc doc(host);
        ASSERT_TRUE(doc.open(file)) << file << ": " << host.lastMessage();
        ASSERT_GT(doc.lengthFrames(), 0) << file;
        const Bytes original = vestest::documentBytes(doc);
        const auto chunks = doc.foreignChunks();
        for (int type : {kTypeStandardWave, kTypeVesperonWave}) {
            const std::string out = dir.file(std::string("resaved.") + extensionForType(type));
            ASSERT_TRUE(doc.save(out, type)) << file << ": " << host.lastMessage();
            CVesSoundDoc back(host);
            ASSERT_TRUE(back.open(out)) << file;
            EXPECT_EQ(vestest::documentBytes(back), original) << file << " as type " << type;
            ASSERT_EQ(back.foreignChunks().size(), chunks.size()) << file;
            for (size_t i = 0; i < chunks.size(); ++i) {
                EXPECT_EQ(back.foreignChunks()[i].id, chunks[i].id) << file;
                EXPECT_EQ(back.foreignChunks()[i].bytes, chunks[i].bytes) << file;
            }
        }
    }
}
