// vesperon-cli calls, run as a user would on the demo recording and a folder.
#include "soundfiles/DemoRecording.h"

#include "CliRunner.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

using vestest::TempDir;

namespace {

constexpr auto cli = &vestest::runCli;
constexpr auto q = &vestest::quoted;

constexpr auto lines = &vestest::outputLines;

}  // namespace

// Every call of the demo recording once, in a folder of two recordings the
// same rows for each whether analysed one at a time or two at a time.
TEST(CallsCli, CsvOfAFolderHasOneRowPerCall)
{
    TempDir dir;
    const std::string folder = dir.file("night");
    std::filesystem::create_directories(folder);
    ASSERT_TRUE(writeDemoRecording(folder + "/a.wav"));
    ASSERT_TRUE(writeDemoRecording(folder + "/b.wav"));
    const auto one = cli("calls --csv " + q(folder), dir);
    ASSERT_EQ(one.status, 0) << one.err;
    const auto rows = lines(one.out);
    ASSERT_FALSE(rows.empty());
    EXPECT_EQ(rows[0], "file,call,start_ms,end_ms,duration_ms,max_freq_hz,min_freq_hz,peak_freq_hz,char_freq_hz,"
                       "knee_freq_hz,bandwidth_hz,slope_khz_per_ms,interval_ms,snr_db,fc_hz,tc_ms,sc_ops,s1_ops,"
                       "fk_hz,tk_ms,fmean_hz,qual_pct,tbc_ms,low_freq_hz,high_freq_hz");
    EXPECT_GE(rows.size() - 1, 2 * (vestest::separateDemoCalls() - 1));
    EXPECT_LE(rows.size() - 1, 2 * demoCalls().size());
    EXPECT_EQ(rows[1].rfind(folder + "/a.wav,1,", 0), 0u) << rows[1];
    EXPECT_EQ(rows.back().rfind(folder + "/b.wav,", 0), 0u) << rows.back();
    const auto two = cli("calls --csv --jobs 2 " + q(folder + "/a.wav") + " " + q(folder + "/b.wav"), dir);
    ASSERT_EQ(two.status, 0) << two.err;
    EXPECT_EQ(two.out, one.out);

    const auto raven = cli("calls --raven " + q(folder), dir);
    ASSERT_EQ(raven.status, 0) << raven.err;
    const auto table = lines(raven.out);
    EXPECT_EQ(table.size(), rows.size()) << "one selection table: a header and every call";
    EXPECT_EQ(table[0].rfind("Selection\tView\tChannel\tBegin Time (s)\tEnd Time (s)\tLow Freq (Hz)\tHigh Freq (Hz)", 0),
              0u);
}

TEST(CallsCli, WrongOptionsAndFiles)
{
    TempDir dir;
    for (const char* args : {"calls", "calls --band 120,15 x.wav", "calls --snr x x.wav", "calls --channel up x.wav",
                             "calls --csv --raven x.wav", "calls --frobnicate x.wav"}) {
        const auto r = cli(args, dir);
        EXPECT_EQ(r.status, 2) << args;
    }
    const auto missing = cli("calls " + q(dir.file("missing.wav")), dir);
    EXPECT_EQ(missing.status, 1);
    EXPECT_NE(missing.err.find("missing.wav"), std::string::npos) << missing.err;
}
