// GUANO metadata through the document: kept through every save, the fields
// that describe a saved stretch brought up to date, time expansion taken
// from GUANO and wamd when the file has no record of ours.
#include "document/CVesSoundDoc.h"
#include "document/FileProperties.h"
#include "records/GuanoRecord.h"
#include "soundfiles/VesFileReaders.h"
#include "soundfiles/VesFileType.h"

#include "DocTestSupport.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <set>
#include <string>

using vestest::ByteWriter;
using vestest::Bytes;
using vestest::RecordingHost;
using vestest::TempDir;

namespace {

GuanoRecord guanoOf(const CVesSoundDoc& doc)
{
    GuanoRecord g;
    std::string error;
    EXPECT_TRUE(doc.guano(g, error)) << error;
    return g;
}

const ForeignChunk* chunkOf(const CVesSoundDoc& doc, const std::string& id)
{
    for (const auto& c : doc.foreignChunks())
        if (c.id == id)
            return &c;
    return nullptr;
}

TEST(DocumentGuano, RealRecordingsKeepEveryFieldAndUpdateTheSavedStretch)
{
    if (vestest::sharedDataDir().empty())
        GTEST_SKIP() << "no shared recordings beside the project (../shared/data)";
    const std::vector<std::string> files = {"batdetect2/contrib_jeff37_0166_20240602_225340.wav",
                                            "batdetect2/contrib_padpadpadpad_Echometer.wav",
                                            "batdetect2/contrib_padpadpadpad_Audiomoth.WAV"};
    const std::set<std::string> updated = {"Length", "Timestamp", "Samplerate", "TE"};
    for (const auto& name : files) {
        SCOPED_TRACE(name);
        const std::string path = vestest::sharedDataDir() + "/" + name;
        if (!vestest::fileExists(path))
            continue;
        TempDir dir;
        RecordingHost host;
        CVesSoundDoc doc(host);
        ASSERT_TRUE(doc.open(path)) << host.lastMessage();
        const GuanoRecord original = guanoOf(doc);
        ASSERT_FALSE(original.empty());
        const ForeignChunk* originalChunk = chunkOf(doc, "guan");
        ASSERT_NE(originalChunk, nullptr);

        // The whole recording: the chunk goes out byte for byte.
        const std::string whole = dir.file("whole.wav");
        ASSERT_TRUE(doc.save(whole, kTypeStandardWave)) << host.lastMessage();
        CVesSoundDoc wholeBack(host);
        ASSERT_TRUE(wholeBack.open(whole)) << host.lastMessage();
        ASSERT_NE(chunkOf(wholeBack, "guan"), nullptr);
        EXPECT_EQ(chunkOf(wholeBack, "guan")->bytes, originalChunk->bytes);

        // One second from half a second in, in the plain and our own format.
        const std::uint32_t rate = doc.format().samplesPerSec;
        for (int type : {kTypeStandardWave, kTypeVesperonWave}) {
            SCOPED_TRACE(type);
            const std::string part = dir.file(type == kTypeStandardWave ? "part.wav" : "part.vprd");
            ASSERT_TRUE(doc.save(part, type, rate / 2, rate / 2 + rate)) << host.lastMessage();
            CVesSoundDoc back(host);
            ASSERT_TRUE(back.open(VesFilePath::tagged(part, type))) << host.lastMessage();
            const GuanoRecord g = guanoOf(back);
            for (const auto& f : original.fields()) {
                if (f.key.empty() || updated.count(f.key))
                    continue;
                ASSERT_NE(g.find(f.key), nullptr) << f.key;
                EXPECT_EQ(*g.find(f.key), f.value) << f.key;
            }
            // Order of the fields that were there is kept.
            for (size_t i = 0; i < original.fields().size(); ++i)
                EXPECT_EQ(g.fields()[i].key, original.fields()[i].key) << i;
            ASSERT_NE(g.find("Length"), nullptr);
            EXPECT_NEAR(g.number("Length").value_or(0), 1.0, 1e-6);
            if (const std::string* ts = original.find("Timestamp")) {
                ASSERT_NE(g.find("Timestamp"), nullptr);
                EXPECT_EQ(*g.find("Timestamp"), shiftGuanoTimestamp(*ts, 0.5 * 1000.0 / doc.effectiveTimeExp25()));
            }
            ASSERT_NE(g.find("Original Filename"), nullptr);
            if (const std::string* of = original.find("Original Filename"))
                EXPECT_EQ(*g.find("Original Filename"), *of);
            else
                EXPECT_EQ(*g.find("Original Filename"), name.substr(name.find('/') + 1));
        }
    }
}

TEST(DocumentGuano, EditedFieldsAndTimeExpansionSurviveASave)
{
    TempDir dir;
    RecordingHost host;
    CVesSoundDoc doc(host);
    vestest::fillDocument(doc, 1, 16, 38400, vestest::patternSamples(1, 16, 38400, 3));
    doc.recData().m_timeExp25 = 10000;
    GuanoRecord g;
    g.set(GuanoRecord::kVersionKey, "1.0");
    g.set("Species Manual ID", "Pipistrellus pygmaeus");
    g.set("Note", "near the bridge");
    doc.setGuano(g);
    EXPECT_TRUE(doc.modified());
    const std::string path = dir.file("edited.wav");
    ASSERT_TRUE(doc.save(path, kTypeStandardWave, 0, 19200)) << host.lastMessage();

    // A plain wave brings no record of ours: the time expansion comes from GUANO.
    CVesSoundDoc back(host);
    ASSERT_TRUE(back.open(path)) << host.lastMessage();
    const GuanoRecord b = guanoOf(back);
    EXPECT_EQ(*b.find("Species Manual ID"), "Pipistrellus pygmaeus");
    EXPECT_EQ(*b.find("Note"), "near the bridge");
    EXPECT_EQ(b.number("TE").value_or(0), 10);
    EXPECT_NEAR(b.number("Length").value_or(0), 0.5, 1e-9);
    EXPECT_EQ(back.timeExpansion(), 10000);

    // Cutting a stretch and saving the whole recording: the length follows.
    ASSERT_TRUE(back.cut(0, 3840, ChannelSel::Both));
    const std::string cutPath = dir.file("cut.wav");
    ASSERT_TRUE(back.save(cutPath, kTypeStandardWave)) << host.lastMessage();
    CVesSoundDoc cut(host);
    ASSERT_TRUE(cut.open(cutPath)) << host.lastMessage();
    EXPECT_NEAR(guanoOf(cut).number("Length").value_or(0), 0.4, 1e-9);
    EXPECT_EQ(*guanoOf(cut).find("Original Filename"), "edited.wav");

    // File Properties lists the fields.
    bool heading = false, species = false;
    for (const auto& line : filePropertiesText(back)) {
        heading = heading || line.text == "GUANO metadata:";
        species = species || line.text == "Species Manual ID:\t\tPipistrellus pygmaeus";
    }
    EXPECT_TRUE(heading && species);
}

TEST(DocumentGuano, TimeExpansionFromMetadataWhenTheFileHasNoRecord)
{
    struct Case {
        const char* name;
        std::vector<ForeignChunk> chunks;
        std::int32_t timeExp25;
    };
    const Bytes wamd10 = {0, 0, 2, 0, 0, 0, 1, 0, 15, 0, 2, 0, 0, 0, 10, 0};
    const auto guano = [](const std::string& s) { return ForeignChunk{"guan", Bytes(s.begin(), s.end())}; };
    const std::vector<Case> cases = {
        {"GUANO TE", {guano("GUANO|Version: 1.0\nTE: 10\n")}, 10000},
        {"GUANO TE with a fraction", {guano("GUANO|Version: 1.0\nTE: 2.5\n")}, 2500},
        {"wamd", {{"wamd", wamd10}}, 10000},
        {"GUANO before wamd", {{"wamd", wamd10}, guano("GUANO|Version: 1.0\nTE: 20\n")}, 20000},
        {"TE out of range", {guano("GUANO|Version: 1.0\nTE: 0\n")}, 0},
        {"TE not a number", {guano("GUANO|Version: 1.0\nTE: ten\n")}, 0},
        {"nothing", {}, 0},
    };
    for (const auto& c : cases)
        EXPECT_EQ(metadataTimeExp25(c.chunks), c.timeExp25) << c.name;

    // At 384 kHz a file without metadata counts as real time; GUANO TE wins.
    TempDir dir;
    const std::string path = dir.file("te.wav");
    vestest::writeFile(path, vestest::riffWave(ByteWriter()
                                                   .chunk("fmt ", vestest::pcmFormat(1, 384000, 16))
                                                   .chunk("data", Bytes(2000, 0))
                                                   .chunk("guan", Bytes{'G', 'U', 'A', 'N', 'O', '|', 'V', 'e', 'r',
                                                                        's', 'i', 'o', 'n', ':', '1', '\n', 'T',
                                                                        'E', ':', '1', '0', '\n'})
                                                   .data()));
    RecordingHost host;
    CVesSoundDoc doc(host);
    ASSERT_TRUE(doc.open(path)) << host.lastMessage();
    EXPECT_EQ(doc.timeExpansion(), 10000);

    if (vestest::sharedDataDir().empty())
        return;
    const std::string tadarida =
        vestest::sharedDataDir() + "/tadarida/Car370293-2016-Pass1-Z3-US-16611-0_20160629_213356_166.wav";
    if (!vestest::fileExists(tadarida))
        return;
    CVesSoundDoc t(host);
    ASSERT_TRUE(t.open(tadarida)) << host.lastMessage();
    ASSERT_NE(chunkOf(t, "wamd"), nullptr);
    EXPECT_EQ(metadataTimeExp25(t.foreignChunks()), 10000);
    EXPECT_EQ(t.timeExpansion(), 10000);
}

TEST(DocumentGuano, UnreadableChunkIsKeptAsItCame)
{
    TempDir dir;
    RecordingHost host;
    CVesSoundDoc doc(host);
    vestest::fillDocument(doc, 1, 16, 250000, vestest::patternSamples(1, 16, 1000, 5));
    const Bytes bad = {'G', 'U', 'A', 'N', 'O', '|', 'V', 'e', 'r', 's', 'i', 'o', 'n', ':', '1', '\n', 'N', ':', 0, '\n'};
    doc.foreignChunks().push_back({"guan", bad});
    GuanoRecord g;
    std::string error;
    EXPECT_FALSE(doc.guano(g, error));
    EXPECT_NE(error.find("NUL"), std::string::npos);
    const std::string path = dir.file("bad.wav");
    ASSERT_TRUE(doc.save(path, kTypeStandardWave, 100, 600)) << host.lastMessage();
    CVesSoundDoc back(host);
    ASSERT_TRUE(back.open(path)) << host.lastMessage();
    ASSERT_NE(chunkOf(back, "guan"), nullptr);
    EXPECT_EQ(chunkOf(back, "guan")->bytes, bad);
}

// A record in a legacy code page is read, and saved byte for byte while the
// save changes none of its fields; a save that changes one writes UTF-8.
TEST(DocumentGuano, LegacyCodePageRecordIsReadAndKeptUnlessChanged)
{
    TempDir dir;
    RecordingHost host;
    CVesSoundDoc doc(host);
    vestest::fillDocument(doc, 1, 16, 250000, vestest::patternSamples(1, 16, 1000, 5));
    const std::string text = "GUANO|Version: 1.0\nLength: 0.004000\nNote: Myotis\xD5s roost\n";
    const Bytes legacy(text.begin(), text.end());
    doc.foreignChunks().push_back({"guan", legacy});
    GuanoRecord g;
    std::string error;
    ASSERT_TRUE(doc.guano(g, error)) << error;
    EXPECT_EQ(*g.find("Note"), "Myotis\xC3\x95s roost");

    ASSERT_TRUE(doc.save(dir.file("whole.wav"), kTypeStandardWave, 0, -1)) << host.lastMessage();
    CVesSoundDoc whole(host);
    ASSERT_TRUE(whole.open(dir.file("whole.wav"))) << host.lastMessage();
    ASSERT_NE(chunkOf(whole, "guan"), nullptr);
    EXPECT_EQ(std::string(chunkOf(whole, "guan")->bytes.begin(), chunkOf(whole, "guan")->bytes.end()), text);

    ASSERT_TRUE(doc.save(dir.file("part.wav"), kTypeStandardWave, 100, 600)) << host.lastMessage();
    CVesSoundDoc part(host);
    ASSERT_TRUE(part.open(dir.file("part.wav"))) << host.lastMessage();
    ASSERT_TRUE(part.guano(g, error)) << error;
    EXPECT_EQ(g.encoding(), GuanoEncoding::Utf8);
    EXPECT_EQ(*g.find("Note"), "Myotis\xC3\x95s roost");
    EXPECT_EQ(*g.find("Length"), "0.002000");
}

}  // namespace
