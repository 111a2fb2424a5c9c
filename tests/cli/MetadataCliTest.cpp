// vesperon-cli info with GUANO metadata, and vesperon-cli marks.
#include "CliRunner.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <string>

using vestest::ByteWriter;
using vestest::Bytes;
using vestest::TempDir;

namespace {

constexpr auto cli = &vestest::runCli;
constexpr auto q = &vestest::quoted;

Bytes text(const std::string& s)
{
    return Bytes(s.begin(), s.end());
}

std::string guanoWave(const TempDir& dir, const std::string& guano)
{
    const std::string path = dir.file("guano.wav");
    vestest::writeFile(path, vestest::riffWave(ByteWriter()
                                                   .chunk("fmt ", vestest::pcmFormat(1, 250000, 16))
                                                   .chunk("data", Bytes(500000, 0))
                                                   .chunk("guan", text(guano), true)
                                                   .data()));
    return path;
}

TEST(MetadataCli, InfoShowsGuanoFieldsAndJsonObject)
{
    TempDir dir;
    const std::string wav = guanoWave(dir, "GUANO|Version: 1.0\nMake: Maker \"A\"\nWA|Song Meter|Prefix: p\nNote: one\n"
                                           "Note: two\n");
    const auto t = cli("info " + q(wav), dir);
    ASSERT_EQ(t.status, 0) << t.err;
    EXPECT_NE(t.out.find("    WA|Song Meter|Prefix: p\n"), std::string::npos) << t.out;
    EXPECT_NE(t.out.find("repeats the key \"Note\""), std::string::npos) << t.out;
    const auto j = cli("info --json " + q(wav), dir);
    ASSERT_EQ(j.status, 0) << j.err;
    EXPECT_NE(j.out.find("\"guano\": {\"GUANO|Version\": \"1.0\", \"Make\": \"Maker \\\"A\\\"\", "
                         "\"WA|Song Meter|Prefix\": \"p\", \"Note\": \"one\"}"),
              std::string::npos)
        << j.out;

    // Legacy 8-bit notes are read as Windows-1252, and info says so.
    const std::string legacy = guanoWave(dir, "GUANO|Version: 1.0\nNote: it\x92s a \xD5\n");
    const auto l = cli("info " + q(legacy), dir);
    EXPECT_EQ(l.status, 0) << l.err;
    EXPECT_NE(l.out.find("read as Windows-1252"), std::string::npos) << l.out;
    EXPECT_NE(l.out.find("    Note: it\xE2\x80\x99s a \xC3\x95\n"), std::string::npos) << l.out;
    const auto lj = cli("info --json " + q(legacy), dir);
    EXPECT_NE(lj.out.find("\"Note\": \"it\xE2\x80\x99s a \xC3\x95\"}"), std::string::npos) << lj.out;
    EXPECT_NE(lj.out.find("\"guano_encoding\": \"windows-1252\""), std::string::npos) << lj.out;

    static const char kNul[] = "GUANO|Version: 1.0\nNote: a\0b\n";
    const std::string bad = guanoWave(dir, std::string(kNul, sizeof kNul - 1));
    const auto b = cli("info --json " + q(bad), dir);
    EXPECT_EQ(b.status, 0) << "the recording itself reads";
    EXPECT_NE(b.out.find("\"guano_error\": \"GUANO metadata holds a NUL byte"), std::string::npos) << b.out;
}

TEST(MetadataCli, MarksImportAndExportBothFormats)
{
    TempDir dir;
    const std::string wav = guanoWave(dir, "GUANO|Version: 1.0\n");
    const std::string labels = dir.file("labels.txt");
    vestest::writeFile(labels, text("0.25\t0.5\tsweep\n\\\t20000\t60000\n0.75\t0.75\tpoint\n"));
    const std::string marked = dir.file("marked.wav");
    const auto imp = cli("marks import -o " + q(marked) + " " + q(wav) + " " + q(labels), dir);
    ASSERT_EQ(imp.status, 0) << imp.err;
    EXPECT_NE(imp.err.find("2 marks added"), std::string::npos) << imp.err;

    const auto raven = cli("marks export " + q(marked), dir);
    ASSERT_EQ(raven.status, 0) << raven.err;
    EXPECT_EQ(raven.out, "Selection\tView\tChannel\tBegin Time (s)\tEnd Time (s)\tLow Freq (Hz)\tHigh Freq (Hz)\t"
                         "Annotation\n"
                         "1\tSpectrogram 1\t1\t0.250000\t0.500000\t20000.000000\t60000.000000\tsweep\n"
                         "2\tSpectrogram 1\t1\t0.750000\t0.750000\t\t\tpoint\n");
    const auto audacity = cli("marks export --format audacity " + q(marked), dir);
    ASSERT_EQ(audacity.status, 0) << audacity.err;
    EXPECT_EQ(audacity.out, "0.250000\t0.500000\tsweep\n\\\t20000.000000\t60000.000000\n0.750000\t0.750000\tpoint\n");

    // A wrong table: a message, the exit status, and the recording untouched.
    const std::string broken = dir.file("broken.txt");
    vestest::writeFile(broken, text("Begin Time (s)\tEnd Time (s)\nsoon\t1\n"));
    const Bytes before = vestest::readFile(marked);
    const auto bad = cli("marks import " + q(marked) + " " + q(broken), dir);
    EXPECT_EQ(bad.status, 1);
    EXPECT_NE(bad.err.find("\"soon\" in column \"Begin Time (s)\" is not a number"), std::string::npos) << bad.err;
    EXPECT_EQ(vestest::readFile(marked), before);
    EXPECT_EQ(cli("marks export --format csv " + q(marked), dir).status, 2);
}

}  // namespace
