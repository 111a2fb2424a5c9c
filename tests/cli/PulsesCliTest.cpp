// vesperon-cli pulses and histogram, run as a user would.
#include "soundfiles/DemoRecording.h"

#include "CliRunner.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <vector>

using vestest::TempDir;

namespace {

using CliRun = vestest::CliRun;

constexpr auto cli = &vestest::runCli;
constexpr auto q = &vestest::quoted;

constexpr auto lines = &vestest::outputLines;

// Settings that separate the demo recording's calls.
const std::string kDemoSettings = "--threshold -20 --separation 0.5 --min-duration 0.5 --fft 256 --overlap 75 ";

class PulsesCli : public testing::Test {
protected:
    void SetUp() override
    {
        demo = dir.file("demo.wav");
        copy = dir.file("copy, 2.wav");
        ASSERT_TRUE(writeDemoRecording(demo));
        ASSERT_TRUE(writeDemoRecording(copy));
    }
    TempDir dir;
    std::string demo, copy;
};

}  // namespace

TEST_F(PulsesCli, TableHasAHeadingRowAndOneRowPerCall)
{
    const CliRun r = cli("pulses " + kDemoSettings + "--columns pulse,start,duration " + q(demo), dir);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out.find('\n'), r.out.find("\r\n") + 1) << "lines end with CR LF";
    const auto rows = lines(r.out);
    ASSERT_EQ(rows.size(), vestest::separateDemoCalls() + 1);
    EXPECT_EQ(rows[0], "          \tPulse# \tStart osc. (ms) \tDuration osc. (ms) ");
    EXPECT_EQ(rows[1].rfind("  \t    1 \t 20.", 0), 0u) << rows[1];
}

TEST_F(PulsesCli, CsvOfSeveralFilesIsOneTableAndJobsKeepTheOrder)
{
    const std::string args = "pulses --csv " + kDemoSettings + "--freq-separation 3000 " + q(demo) + " " + q(copy) + " " +
                             q(demo);
    const CliRun serial = cli(args, dir);
    ASSERT_EQ(serial.status, 0) << serial.err;
    const auto rows = lines(serial.out);
    const std::size_t calls = vestest::separateDemoCalls();
    ASSERT_EQ(rows.size(), 1 + 3 * calls);
    EXPECT_EQ(rows[0], "file,pulse,start_ms,end_ms,duration_ms,max_freq_hz,min_freq_hz,peak_freq_hz,peak_level_db");
    EXPECT_EQ(rows[1].rfind(demo + ",1,20.", 0), 0u) << rows[1];
    EXPECT_EQ(rows[1 + calls].rfind("\"" + copy + "\",1,", 0), 0u) << "a name with a comma is quoted";
    for (std::size_t i = 1; i < rows.size(); ++i) {
        std::istringstream cells(rows[i].substr(rows[i].rfind(".wav") + 4));
        std::vector<double> v;
        std::string cell;
        std::getline(cells, cell, ',');
        while (std::getline(cells, cell, ','))
            v.push_back(std::stod(cell));
        ASSERT_EQ(v.size(), 8u) << rows[i];
        EXPECT_GT(v[4], 25000) << "every column filled: " << rows[i];  // max_freq_hz
        EXPECT_GT(v[5], 20000) << rows[i];                              // min_freq_hz
        EXPECT_LE(v[5], v[4]);
        EXPECT_LT(v[7], 0) << rows[i];                                  // peak_level_db
    }
    const CliRun parallel = cli(args + " --jobs 3", dir);
    ASSERT_EQ(parallel.status, 0) << parallel.err;
    EXPECT_EQ(parallel.out, serial.out);
}

TEST_F(PulsesCli, StretchInRealTimeAndMarks)
{
    const CliRun r = cli("pulses " + kDemoSettings + "--columns start --marks start --start 1s --end 1200ms " + q(demo), dir);
    ASSERT_EQ(r.status, 0) << r.err;
    int rows = 0, marks = 0;
    for (const std::string& line : lines(r.out)) {
        if (line.rfind("Mark ", 0) == 0) {
            ++marks;
            EXPECT_NE(line.find("\t#"), std::string::npos) << line;
            EXPECT_NE(line.find(" start\t1"), std::string::npos) << line;
        } else if (line.rfind("  \t", 0) == 0) {
            ++rows;
            const double ms = std::stod(line.substr(3));
            EXPECT_GE(ms, 1000);
            EXPECT_LT(ms, 1200);
        }
    }
    EXPECT_GT(rows, 2);
    EXPECT_EQ(marks, rows);
}

TEST_F(PulsesCli, HistogramPrintsTheBars)
{
    const CliRun r = cli("histogram --length --delay 1 --manual --hist-start 0 --hist-end 10 --bars 10 " + q(demo), dir);
    ASSERT_EQ(r.status, 0) << r.err;
    const auto rows = lines(r.out);
    ASSERT_EQ(rows.size(), 11u);
    EXPECT_EQ(rows[0], "From (ms)\tTo (ms)\t# observations");
    EXPECT_EQ(rows[1].rfind("0\t1\t", 0), 0u);
    int total = 0;
    for (std::size_t i = 1; i < rows.size(); ++i)
        total += std::stoi(rows[i].substr(rows[i].rfind('\t') + 1));
    EXPECT_GT(total, static_cast<int>(vestest::separateDemoCalls()) * 9 / 10) << "about one pulse per call";
    EXPECT_LE(total, static_cast<int>(demoCalls().size()));

    const CliRun two = cli("histogram --interval --jobs 2 " + q(demo) + " " + q(copy), dir);
    ASSERT_EQ(two.status, 0) << two.err;
    EXPECT_EQ(two.out.rfind("# " + demo + "\n", 0), 0u);
    EXPECT_NE(two.out.find("# " + copy + "\n"), std::string::npos);
}

TEST_F(PulsesCli, FailuresAndHelp)
{
    const CliRun missing = cli("pulses " + q(dir.file("none.wav")) + " " + q(demo), dir);
    EXPECT_EQ(missing.status, 1);
    EXPECT_NE(missing.err.find("Unable to open file " + dir.file("none.wav") + "!"), std::string::npos) << missing.err;
    EXPECT_FALSE(missing.out.empty()) << "the other file is still analysed";
    for (const char* bad : {"pulses --fft 100 x.wav", "pulses --overlap 100 x.wav", "pulses --frobnicate x.wav",
                            "pulses --csv --marks all x.wav", "pulses --start soon x.wav", "pulses --columns size x.wav",
                            "pulses --jobs 0 x.wav", "histogram --threshold 0 x.wav", "histogram --bars 1 x.wav", "pulses",
                            "histogram"})
        EXPECT_EQ(cli(bad, dir).status, 2) << bad;
    const CliRun order = cli("histogram --hist-start 10 --hist-end 5 " + q(demo), dir);
    EXPECT_EQ(order.status, 2);
    EXPECT_NE(order.err.find("Histogram end must be greather then Histogram start."), std::string::npos);
    for (const char* command : {"pulses", "histogram"}) {
        const CliRun help = cli(std::string(command) + " --help", dir);
        EXPECT_EQ(help.status, 0);
        EXPECT_NE(help.out.find("Usage: vesperon-cli " + std::string(command)), std::string::npos);
    }
}
