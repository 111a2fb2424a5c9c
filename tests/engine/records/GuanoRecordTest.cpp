#include "records/GuanoRecord.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes text(const std::string& s)
{
    return Bytes(s.begin(), s.end());
}

TEST(GuanoRecord, ParseKeepsEveryLineInOrderAndWritesItBack)
{
    // Namespaced and unknown keys, no blank after the colon, a colon inside
    // the value, a duplicate, a line without a key, CRLF, NUL padding.
    const Bytes in = text("GUANO|Version:1.0\r\nMake: Open Acoustic Devices\nOAD|Battery Voltage:4.2\n"
                          "Timestamp: 2024-09-03T20:26:15+01:00\nNote: a: b\nNote: second\nstray words\n\n"
                          "WA|Song Meter|Prefix: x\n") ;
    Bytes padded = in;
    padded.push_back(0);
    GuanoRecord g;
    std::string error, warning;
    ASSERT_TRUE(GuanoRecord::parse(padded, g, error, &warning)) << error;
    const std::vector<std::pair<std::string, std::string>> want = {
        {"GUANO|Version", "1.0"}, {"Make", "Open Acoustic Devices"}, {"OAD|Battery Voltage", "4.2"},
        {"Timestamp", "2024-09-03T20:26:15+01:00"}, {"Note", "a: b"}, {"Note", "second"}, {"", "stray words"},
        {"WA|Song Meter|Prefix", "x"}};
    ASSERT_EQ(g.fields().size(), want.size());
    for (size_t i = 0; i < want.size(); ++i) {
        EXPECT_EQ(g.fields()[i].key, want[i].first) << i;
        EXPECT_EQ(g.fields()[i].value, want[i].second) << i;
    }
    EXPECT_NE(warning.find("Note"), std::string::npos) << "a repeated key is reported";
    EXPECT_EQ(*g.find("Note"), "a: b") << "the first copy answers";
    EXPECT_EQ(g.number("OAD|Battery Voltage").value_or(0), 4.2);

    GuanoRecord back;
    ASSERT_TRUE(GuanoRecord::parse(g.toBytes(), back, error)) << error;
    ASSERT_EQ(back.fields().size(), g.fields().size());
    for (size_t i = 0; i < want.size(); ++i) {
        EXPECT_EQ(back.fields()[i].key, want[i].first) << i;
        EXPECT_EQ(back.fields()[i].value, want[i].second) << i;
    }
}

TEST(GuanoRecord, RefusesDamagedChunksWithAMessage)
{
    struct Case {
        const char* name;
        Bytes bytes;
        const char* inMessage;
    };
    Bytes longLine = text("GUANO|Version: 1.0\nNote: ");
    longLine.insert(longLine.end(), 1 << 20, 'x');
    const std::vector<Case> cases = {
        {"NUL inside", Bytes{'N', ':', 0, 'x'}, "NUL"},
        {"megabyte line", longLine, "longer"},
    };
    for (const auto& c : cases) {
        GuanoRecord g;
        g.set("Make", "left over");
        std::string error;
        EXPECT_FALSE(GuanoRecord::parse(c.bytes, g, error)) << c.name;
        EXPECT_NE(error.find(c.inMessage), std::string::npos) << c.name << ": " << error;
        EXPECT_TRUE(g.empty()) << c.name;
    }
    GuanoRecord ok;
    std::string error;
    EXPECT_TRUE(GuanoRecord::parse(text("Species Manual ID: Myotis \xC3\xA9\xE2\x82\xAC\xF0\x9F\xA6\x87\n"), ok, error))
        << "multi-byte characters are fine: " << error;
    EXPECT_EQ(ok.encoding(), GuanoEncoding::Utf8);
}

// Notes from programs that write a legacy code page: read as Windows-1252,
// said so, shown and editable, and written back byte for byte while unchanged.
TEST(GuanoRecord, InvalidUtf8IsReadAsWindows1252AndKeptWhileUnchanged)
{
    struct Case {
        const char* name;
        Bytes bytes;
        const char* note;  // the Note as UTF-8
    };
    const std::vector<Case> cases = {
        {"apostrophe 0xD5 and euro 0x80", text("GUANO|Version: 1.0\nNote: bat\xD5s \x80 5\n"), "bat\xC3\x95s \xE2\x82\xAC 5"},
        {"right quote 0x92", text("GUANO|Version: 1.0\nNote: it\x92s\n"), "it\xE2\x80\x99s"},
        {"overlong slash", text("Note: \xC0\xAF\n"), "\xC3\x80\xC2\xAF"},
        {"unassigned 0x81", text("Note: a\x81\n"), "a\xC2\x81"},
        {"cut sequence at the end", text("Note: \xE2\x82"), "\xC3\xA2\xE2\x80\x9A"},
    };
    for (const auto& c : cases) {
        GuanoRecord g;
        std::string error, warning;
        ASSERT_TRUE(GuanoRecord::parse(c.bytes, g, error, &warning)) << c.name << ": " << error;
        EXPECT_EQ(g.encoding(), GuanoEncoding::Windows1252) << c.name;
        EXPECT_NE(warning.find("Windows-1252"), std::string::npos) << c.name << ": " << warning;
        ASSERT_NE(g.find("Note"), nullptr) << c.name;
        EXPECT_EQ(*g.find("Note"), c.note) << c.name;
        EXPECT_EQ(g.toBytes(), c.bytes) << c.name << ": unchanged, so the original bytes";
    }
    GuanoRecord g;
    std::string error;
    ASSERT_TRUE(GuanoRecord::parse(cases[0].bytes, g, error));
    g.set("Species Manual ID", "Myotis");
    const Bytes changed = g.toBytes();
    EXPECT_EQ(std::string(changed.begin(), changed.end()),
              "GUANO|Version: 1.0\nNote: bat\xC3\x95s \xE2\x82\xAC 5\nSpecies Manual ID: Myotis\n")
        << "a changed record is written as UTF-8";
}

TEST(GuanoRecord, EscapedLineBreaksShowAsBreaksAndGoBackAsEscapes)
{
    const struct {
        const char* stored;
        const char* shown;
    } cases[] = {
        {"one\\ntwo", "one\ntwo"},
        {"C:\\bats\\data", "C:\\bats\\data"},
        {"a literal \\\\n stays", "a literal \\n stays"},
        {"plain", "plain"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(guanoValueForDisplay(c.stored), c.shown) << c.stored;
        EXPECT_EQ(guanoValueFromDisplay(c.shown), c.stored) << c.stored;
    }
    EXPECT_EQ(guanoValueFromDisplay("\r\n  first\r\nsecond \n\n"), "first\\nsecond");
}

TEST(GuanoRecord, SetEscapesNewlinesAndRemoveTakesEveryCopy)
{
    GuanoRecord g;
    g.set("Note", "two\nlines");
    g.set("Note", "one\r\nmore");
    ASSERT_EQ(g.fields().size(), 1u);
    EXPECT_EQ(*g.find("Note"), "one\\nmore");
    const Bytes b = g.toBytes();
    EXPECT_EQ(std::string(b.begin(), b.end()), "GUANO|Version: 1.0\nNote: one\\nmore\n");
    g.fields().push_back({"Note", "again"});
    EXPECT_TRUE(g.remove("Note"));
    EXPECT_TRUE(g.empty());
}

TEST(GuanoRecord, ShiftsTimestampsInTheirOwnNotation)
{
    struct Case {
        const char* in;
        double seconds;
        const char* out;
    };
    const std::vector<Case> cases = {
        {"2024-06-02T22:53:40", 1.0, "2024-06-02T22:53:41"},
        {"2024-06-02T23:59:30", 45.0, "2024-06-03T00:00:15"},
        {"2024-02-28T23:59:59+01:00", 1.0, "2024-02-29T00:00:00+01:00"},  // leap year
        {"2023-12-31 23:59:59.500Z", 0.75, "2024-01-01 00:00:00.250Z"},
        {" 2022-08-15 21:34:14+0100", 2.5, " 2022-08-15 21:34:16.500+0100"},
        {"2024-03-01T00:00:00-05", -1.0, "2024-02-29T23:59:59-05"},
        {"2024-06-02T22:53:40.123456", 0.000001, "2024-06-02T22:53:40.123457"},
        {"2024-06-02", 1.0, ""},
        {"2024-13-02T22:53:40", 1.0, ""},
        {"2024-06-02T22:53:40+1", 1.0, ""},
        {"yesterday evening", 1.0, ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(shiftGuanoTimestamp(c.in, c.seconds), c.out) << c.in << " + " << c.seconds;
}

TEST(GuanoRecord, ApplySaveUpdatesOnlyWhatTheSaveChanged)
{
    GuanoRecord g;
    g.set("Make", "Maker");
    g.set("Length", "6983.00");
    g.set("Samplerate", "256000");
    g.set("Timestamp", "2024-06-02T22:53:40");
    g.set("Original Filename", "first.wav");
    GuanoRecord same = g;
    GuanoRecord::SaveContext whole;
    whole.lengthSeconds = 6.9825;
    whole.samplerate = 256000;
    same.applySave(whole);
    EXPECT_EQ(same.toBytes(), g.toBytes()) << "a save of the recording as it came changes nothing";

    GuanoRecord::SaveContext part;
    part.lengthSeconds = 1.5;
    part.lengthChanged = true;
    part.samplerate = 128000;
    part.timeExpansion = 10;
    part.startRealSeconds = 0.25;
    part.originalFilename = "other.wav";
    g.applySave(part);
    EXPECT_EQ(*g.find("Length"), "1.500000");
    EXPECT_EQ(*g.find("Samplerate"), "128000");
    EXPECT_EQ(*g.find("TE"), "10");
    EXPECT_EQ(*g.find("Timestamp"), "2024-06-02T22:53:40.250");
    EXPECT_EQ(*g.find("Original Filename"), "first.wav") << "the name the recording was made under stays";
    EXPECT_EQ(g.fields()[0].key, "Make") << "fields keep their places";
}

TEST(GuanoRecord, NewRecordingCarriesTheCommonFields)
{
    NewRecordingInfo info;
    info.version = "4.2";
    info.unixSeconds = 1717368820;  // 2024-06-02 22:53:40 UTC
    info.utcOffsetMinutes = -150;   // 20:23:40 at -02:30
    info.samplerate = 384000;
    info.timeExpansion = 10;
    info.lengthSeconds = 2.5;
    info.device = "USB Ultrasound: input 1";
    const GuanoRecord g = guanoForNewRecording(info);
    const std::vector<std::pair<std::string, std::string>> want = {
        {"GUANO|Version", "1.0"}, {"Make", "Vallomer"}, {"Model", "Vesperon"}, {"Firmware Version", "4.2"},
        {"Timestamp", "2024-06-02T20:23:40-02:30"}, {"Samplerate", "384000"}, {"TE", "10"}, {"Length", "2.500000"},
        {"Vesperon|Device", "USB Ultrasound: input 1"}};
    ASSERT_EQ(g.fields().size(), want.size());
    for (size_t i = 0; i < want.size(); ++i) {
        EXPECT_EQ(g.fields()[i].key, want[i].first);
        EXPECT_EQ(g.fields()[i].value, want[i].second);
    }
    EXPECT_EQ(shiftGuanoTimestamp(*g.find("Timestamp"), 0), "2024-06-02T20:23:40-02:30") << "our own notation reads";
}

TEST(GuanoRecord, WamdTimeExpansion)
{
    // tag 0 version, tag 15 time expansion 10, as Kaleidoscope writes them.
    const Bytes wamd = {0, 0, 2, 0, 0, 0, 1, 0, 15, 0, 2, 0, 0, 0, 10, 0};
    EXPECT_EQ(wamdTimeExpansion(wamd.data(), wamd.size()), 10);
    Bytes lying = wamd;
    lying[2] = 0xFF;  // the first record claims more bytes than there are
    EXPECT_EQ(wamdTimeExpansion(lying.data(), lying.size()), 0);
    EXPECT_EQ(wamdTimeExpansion(wamd.data(), 8), 0);
}

}  // namespace
