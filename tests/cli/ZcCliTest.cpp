// Zero-crossing files in vesperon-cli: convert writes them from recordings,
// info describes them, calls finds the same calls in their dots as in the
// spectrum, and damaged files end with a message.
#include "soundfiles/DemoRecording.h"

#include "CliRunner.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

using vestest::TempDir;

namespace {

constexpr auto cli = &vestest::runCli;
constexpr auto q = &vestest::quoted;

struct CsvCall {
    double startMs, durationMs, fcHz;
};

// The calls of `calls --csv` output: start (column 3), duration (5) and Fc (15).
std::vector<CsvCall> csvCalls(const std::string& out)
{
    std::vector<CsvCall> calls;
    const auto rows = vestest::outputLines(out);
    for (std::size_t i = 1; i < rows.size(); ++i) {
        std::vector<std::string> cells;
        std::stringstream in(rows[i]);
        for (std::string cell; std::getline(in, cell, ',');)
            cells.push_back(cell);
        if (cells.size() < 15)
            continue;
        calls.push_back({std::atof(cells[2].c_str()), std::atof(cells[4].c_str()), std::atof(cells[14].c_str())});
    }
    return calls;
}

}  // namespace

TEST(ZcCli, ConvertInfoAndCallsOfTheDemoRecording)
{
    TempDir dir;
    const std::string demo = dir.file("demo.wav"), zc = dir.file("demo.zc");
    ASSERT_TRUE(writeDemoRecording(demo));
    const auto conv = cli("convert " + q(demo) + " " + q(zc), dir);
    ASSERT_EQ(conv.status, 0) << conv.err;

    const auto info = cli("info " + q(zc), dir);
    ASSERT_EQ(info.status, 0) << info.err;
    EXPECT_NE(info.out.find("[Anabat 132]"), std::string::npos) << info.out;
    EXPECT_NE(info.out.find("division ratio: 8"), std::string::npos) << info.out;
    EXPECT_NE(info.out.find("Samplerate: 384000"), std::string::npos) << info.out;
    EXPECT_NE(info.out.find("Original Filename: demo.wav"), std::string::npos) << info.out;
    const auto json = cli("info --json " + q(zc) + " " + q(demo), dir);
    ASSERT_EQ(json.status, 0) << json.err;
    EXPECT_NE(json.out.find("\"zc_type\": 132"), std::string::npos) << json.out;
    EXPECT_NE(json.out.find("\"rate_hz\": 384000"), std::string::npos) << "the wave after it";

    // Every call of the recording that overlaps no other is found in the
    // dots, starting within a millisecond of where the spectrum finds it,
    // with Fc within 3 % of the spectrum's. (Where two bats overlap, the
    // louder holds the divider: zero crossings cannot see both.)
    const auto spectrum = cli("calls --csv " + q(demo), dir);
    const auto dots = cli("calls --csv " + q(zc), dir);
    ASSERT_EQ(spectrum.status, 0) << spectrum.err;
    ASSERT_EQ(dots.status, 0) << dots.err;
    const auto want = csvCalls(spectrum.out), got = csvCalls(dots.out);
    const std::vector<DemoCall> truth = demoCalls();
    const auto alone = [&](double startMs) {
        for (const DemoCall& a : truth) {
            const double a0 = a.startSec * 1000, a1 = a0 + a.durationSec * 1000;
            if (std::fabs(a0 - startMs) > 1.0)
                continue;
            for (const DemoCall& b : truth) {
                const double b0 = b.startSec * 1000, b1 = b0 + b.durationSec * 1000;
                if (&a != &b && b0 < a1 + 1 && b1 > a0 - 1)
                    return false;
            }
            return true;
        }
        return false;
    };
    int compared = 0;
    for (const CsvCall& w : want) {
        if (!alone(w.startMs))
            continue;
        const CsvCall* match = nullptr;
        for (const CsvCall& g : got)
            if (std::fabs(g.startMs - w.startMs) < 1.0)
                match = &g;
        ASSERT_NE(match, nullptr) << "no call in the dots near " << w.startMs << " ms";
        EXPECT_NEAR(match->fcHz, w.fcHz, w.fcHz * 0.03) << "at " << w.startMs << " ms";
        ++compared;
    }
    EXPECT_GT(compared, 20);
}

TEST(ZcCli, FolderToFolderWithOptionsAndFolderInputs)
{
    TempDir dir;
    const std::string in = dir.file("night"), out = dir.file("zc");
    std::filesystem::create_directories(in);
    std::filesystem::create_directories(out);
    ASSERT_TRUE(writeDemoRecording(in + "/a.wav"));
    ASSERT_TRUE(writeDemoRecording(in + "/b.wav"));
    const auto conv = cli("convert --type zc --division 16 --threshold 2 " + q(in) + " " + q(out), dir);
    ASSERT_EQ(conv.status, 0) << conv.err;
    EXPECT_TRUE(vestest::fileExists(out + "/a.zc"));
    EXPECT_TRUE(vestest::fileExists(out + "/b.zc"));
    const auto info = cli("info " + q(out), dir);
    ASSERT_EQ(info.status, 0) << info.err;
    EXPECT_NE(info.out.find(out + "/a.zc"), std::string::npos) << info.out;
    EXPECT_NE(info.out.find("division ratio: 16"), std::string::npos) << info.out;
    const auto calls = cli("calls " + q(out), dir);
    ASSERT_EQ(calls.status, 0) << calls.err;
    EXPECT_NE(calls.out.find("# " + out + "/b.zc"), std::string::npos) << calls.out;

    // Read as time-expanded by 10, the 3 s recording lasted 0.3 s and its
    // calls were ten times higher.
    ASSERT_EQ(cli("convert --time-expansion 10 " + q(in + "/a.wav") + " " + q(dir.file("te.zc")), dir).status, 0);
    const auto te = cli("info --json " + q(dir.file("te.zc")), dir);
    EXPECT_NE(te.out.find("\"duration_s\": 0.29"), std::string::npos) << te.out;
    EXPECT_NE(te.out.find("\"TE\": \"10\""), std::string::npos) << te.out;

    // A stereo recording: 0.1 s of 40 kHz on the left (8000 crossings, the
    // first only arming the count: 999 dots), silence on the right.
    {
        const std::string stereo = dir.file("stereo.wav");
        vestest::ByteWriter samples;
        for (int i = 0; i < 38400; ++i) {
            const double phase = 2 * 3.14159265358979 * 40000 * i / 384000.0;
            const auto v = static_cast<std::int16_t>(std::lround(16000 * std::sin(phase)));
            samples.u16(static_cast<std::uint16_t>(v)).u16(0);
        }
        vestest::ByteWriter chunks;
        chunks.chunk("fmt ", vestest::pcmFormat(2, 384000, 16)).chunk("data", samples.data());
        vestest::writeFile(stereo, vestest::riffWave(chunks.data()));
        ASSERT_EQ(cli("convert " + q(stereo) + " " + q(dir.file("left.zc")), dir).status, 0);
        ASSERT_EQ(cli("convert --channel right " + q(stereo) + " " + q(dir.file("right.zc")), dir).status, 0);
        EXPECT_NE(cli("info " + q(dir.file("left.zc")), dir).out.find("dots:           999 "), std::string::npos);
        EXPECT_NE(cli("info " + q(dir.file("right.zc")), dir).out.find("dots:           0 "), std::string::npos);
    }

    // The gate at 0 dB closes on everything: every dot off, so no calls.
    ASSERT_EQ(cli("convert --gate 0 " + q(in + "/a.wav") + " " + q(dir.file("gated.zc")), dir).status, 0);
    const auto gated = cli("info " + q(dir.file("gated.zc")), dir);
    EXPECT_NE(gated.out.find(" off, "), std::string::npos);
    const auto none = cli("calls --csv " + q(dir.file("gated.zc")), dir);
    EXPECT_EQ(vestest::outputLines(none.out).size(), 1u) << none.out;
}

TEST(ZcCli, DamagedFilesAndSampleCommandsEndWithAMessage)
{
    TempDir dir;
    const std::string demo = dir.file("demo.wav"), zc = dir.file("demo.zc");
    ASSERT_TRUE(writeDemoRecording(demo));
    ASSERT_EQ(cli("convert " + q(demo) + " " + q(zc), dir).status, 0);
    vestest::Bytes bytes = vestest::readFile(zc);
    bytes.resize(0x140);  // before the data pointer
    vestest::writeFile(dir.file("cut.zc"), bytes);
    for (const char* command : {"info", "calls"}) {
        const auto r = cli(std::string(command) + " " + q(dir.file("cut.zc")), dir);
        EXPECT_EQ(r.status, 1) << command;
        EXPECT_NE(r.err.find("cut.zc: "), std::string::npos) << r.err;
        EXPECT_NE(r.err.find("past the end"), std::string::npos) << r.err;
    }
    const auto again = cli("convert " + q(zc) + " " + q(dir.file("again.zc")), dir);
    EXPECT_EQ(again.status, 1);
    EXPECT_NE(again.err.find("holds no samples"), std::string::npos) << again.err;
    EXPECT_FALSE(vestest::fileExists(dir.file("again.zc")));
    EXPECT_EQ(cli("convert --start 10 " + q(demo) + " " + q(dir.file("x.zc")), dir).status, 2);
}
