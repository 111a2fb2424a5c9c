#include "document/CVesSoundDoc.h"
#include "soundfiles/DemoRecording.h"

#include "DocTestSupport.h"
#include "CliRunner.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <string>
#include <sys/wait.h>

using vestest::TempDir;

namespace {

using CliRun = vestest::CliRun;

constexpr auto cli = &vestest::runCli;
constexpr auto q = &vestest::quoted;

}  // namespace

TEST(Cli, InfoDescribesTheDemoRecording)
{
    TempDir dir;
    const std::string demo = dir.file("demo.wav");
    ASSERT_EQ(cli("demo " + q(demo), dir).status, 0);
    const CliRun text = cli("info " + q(demo), dir);
    EXPECT_EQ(text.status, 0) << text.err;
    EXPECT_NE(text.out.find("384000 Hz, 16 bit, 1 channel"), std::string::npos) << text.out;
    EXPECT_NE(text.out.find("frames:         1152000"), std::string::npos) << text.out;
    const CliRun json = cli("info --json " + q(demo) + " " + q(demo), dir);
    EXPECT_EQ(json.status, 0);
    EXPECT_EQ(json.out.front(), '[');
    EXPECT_NE(json.out.find("\"rate_hz\": 384000"), std::string::npos) << json.out;
    EXPECT_NE(json.out.find("},\n  {"), std::string::npos) << "two objects";
}

TEST(Cli, ConvertWritesTypesAndIntervals)
{
    TempDir dir;
    const std::string demo = dir.file("demo.wav");
    ASSERT_TRUE(writeDemoRecording(demo));
    ASSERT_EQ(cli("convert " + q(demo) + " " + q(dir.file("a.vprd")), dir).status, 0);
    ASSERT_EQ(cli("convert --start 1000 --end 5000 " + q(dir.file("a.vprd")) + " " + q(dir.file("b.wav")), dir).status, 0);
    ASSERT_EQ(cli("convert --type \"[Wave Comp]\" --silent-level -20 " + q(demo) + " " + q(dir.file("c.vprd")), dir).status, 0);
    vestest::RecordingHost host;
    CVesSoundDoc a(host), b(host), c(host), orig(host);
    ASSERT_TRUE(orig.open(demo));
    ASSERT_TRUE(a.open(dir.file("a.vprd")));
    ASSERT_TRUE(b.open(dir.file("b.wav")));
    ASSERT_TRUE(c.open(dir.file("c.vprd")));
    EXPECT_EQ(a.saveType(), 9);
    EXPECT_EQ(vestest::documentBytes(a), vestest::documentBytes(orig));
    EXPECT_EQ(b.lengthFrames(), 4000);
    EXPECT_EQ(c.saveType(), 7);
    EXPECT_GT(c.segments().size(), 10u) << "one segment per call";

    // Several inputs into a folder.
    vestest::TempDir out;
    ASSERT_EQ(cli("convert --type 1 " + q(demo) + " " + q(dir.file("a.vprd")) + " " + q(out.path()), dir).status, 0);
    EXPECT_TRUE(vestest::fileExists(out.file("demo.wav")));
    EXPECT_TRUE(vestest::fileExists(out.file("a.wav")));
}

TEST(Cli, FailuresGiveTheMessageAndAnExitStatus)
{
    TempDir dir;
    vestest::writeFile(dir.file("junk.wav"), vestest::Bytes(10, 0x33));
    const CliRun missing = cli("info " + q(dir.file("nothing.wav")), dir);
    EXPECT_EQ(missing.status, 1);
    EXPECT_NE(missing.err.find("Unable to open file " + dir.file("nothing.wav") + "!"), std::string::npos) << missing.err;
    const CliRun junk = cli("convert " + q(dir.file("junk.wav")) + " " + q(dir.file("x.wav")), dir);
    EXPECT_EQ(junk.status, 1);
    EXPECT_NE(junk.err.find("Unable to decompress files of this type!"), std::string::npos) << junk.err;
    EXPECT_FALSE(vestest::fileExists(dir.file("x.wav")));
    EXPECT_EQ(cli("convert " + q(dir.file("junk.wav")) + " " + q(dir.file("x.unknown")), dir).status, 2);
    EXPECT_EQ(cli("convert --type 99 a b", dir).status, 2);
    EXPECT_EQ(cli("frobnicate", dir).status, 2);
    for (const char* command : {"info", "convert", "demo"}) {
        const CliRun help = cli(std::string(command) + " --help", dir);
        EXPECT_EQ(help.status, 0) << command;
        EXPECT_NE(help.out.find("Usage: vesperon-cli"), std::string::npos) << command;
    }
}

// Inputs that once crashed the program: info and convert end with a status of
// their own (0, or 1 with the message), never by a signal, and a failed
// convert leaves no output behind.
TEST(Cli, InputsThatOnceCrashedEndWithAStatus)
{
    const auto inputs = vestest::sharedCrashInputs();
    if (inputs.empty())
        GTEST_SKIP() << "no crash inputs beside the project (../shared/crashes)";
    for (const auto& input : inputs) {
        TempDir dir;
        const CliRun info = cli("info " + q(input), dir);
        EXPECT_TRUE(info.status == 0 || info.status == 1) << input << ": status " << info.status << "\n" << info.err;
        if (info.status == 1) {
            EXPECT_FALSE(info.err.empty()) << input;
        }
        const std::string out = dir.file("out.wav");
        const CliRun convert = cli("convert " + q(input) + " " + q(out), dir);
        EXPECT_TRUE(convert.status == 0 || convert.status == 1) << input << ": status " << convert.status;
        EXPECT_EQ(vestest::fileExists(out), convert.status == 0) << input;
    }
}

TEST(Cli, PowerPrintsTheSpectrumOfTheCalls)
{
    TempDir dir;
    const std::string demo = dir.file("demo.wav");
    ASSERT_TRUE(writeDemoRecording(demo));
    const CliRun r = cli("power --fft 512 --window hanning " + q(demo), dir);
    ASSERT_EQ(r.status, 0) << r.err;
    ASSERT_EQ(r.out.rfind("kHz\tdB\r\n", 0), 0u);
    int lines = 0;
    double bestKhz = 0, best = -1e9;
    for (size_t pos = r.out.find("\r\n") + 2; pos < r.out.size();) {
        const size_t end = r.out.find("\r\n", pos);
        const std::string line = r.out.substr(pos, end - pos);
        const double khz = std::stod(line.substr(0, line.find('\t')));
        const double db = std::stod(line.substr(line.find('\t') + 1));
        if (db > best) {
            best = db;
            bestKhz = khz;
        }
        ++lines;
        pos = end + 2;
    }
    EXPECT_EQ(lines, 256);
    EXPECT_GT(bestKhz, 30.0);  // the calls sweep from 95 down to 30 kHz
    EXPECT_LT(bestKhz, 95.0);
    EXPECT_EQ(cli("power --fft 1000 " + q(demo), dir).status, 2);
    EXPECT_EQ(cli("power --channel middle " + q(demo), dir).status, 2);
}
