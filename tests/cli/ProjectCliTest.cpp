// vesperon-cli project, run as a user would over a small season folder:
// SITE/DETECTOR/NIGHT/*.wav with a bad file among the recordings.
#include "soundfiles/DemoRecording.h"

#include "CliRunner.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

using vestest::TempDir;
namespace fs = std::filesystem;

namespace {

constexpr auto cli = &vestest::runCli;
constexpr auto q = &vestest::quoted;
constexpr auto lines = &vestest::outputLines;

class ProjectCli : public ::testing::Test {
protected:
    void SetUp() override
    {
        root = fs::weakly_canonical(dir.file("season")).string();
        fs::create_directories(root + "/North/D1/2026-06-01");
        fs::create_directories(root + "/South/D2/2026-06-02");
        ASSERT_TRUE(writeDemoRecording(root + "/North/D1/2026-06-01/N_20260601_221500.wav"));
        // Another stretch of the demo, so that the files differ.
        ASSERT_EQ(cli("convert --start 0.7s --end 2.6s " + q(root + "/North/D1/2026-06-01/N_20260601_221500.wav") +
                          " " + q(root + "/North/D1/2026-06-01/N_20260602_031500.wav"),
                      dir)
                      .status,
                  0);
        ASSERT_TRUE(writeDemoRecording(root + "/South/D2/2026-06-02/S_20260602_230000.wav"));
        std::ofstream(root + "/South/D2/2026-06-02/broken.wav") << "RIFF and then nothing useful";
        project = dir.file("season.vproj");
    }
    vestest::CliRun run(const std::string& args) { return cli("project " + args, dir); }
    vestest::CliRun init()
    {
        auto r = run("init " + q(project) + " --root " + q(root));
        EXPECT_EQ(r.status, 0) << r.err;
        r = run("add " + q(project) + " " + q(root) + " --site-level 1 --detector-level 2");
        EXPECT_EQ(r.status, 1) << "the broken file is reported";
        return r;
    }

    TempDir dir;
    std::string root, project;
};

TEST_F(ProjectCli, ASeasonFromInitToSummaryGivesTheRowsOfTheCallsCommand)
{
    const auto added = init();
    EXPECT_EQ(added.out, "4 added, 0 changed, 0 unchanged, 1 unreadable, 0 missing\n");
    EXPECT_NE(added.err.find("broken.wav: "), std::string::npos) << added.err;
    const auto again = run("add " + q(project) + " " + q(root + "/North"));
    EXPECT_EQ(again.status, 0) << again.err;
    EXPECT_EQ(again.out, "0 added, 0 changed, 2 unchanged, 0 unreadable, 0 missing\n");

    const auto calls = run("calls " + q(project) + " --jobs 2");
    ASSERT_EQ(calls.status, 0) << calls.err;
    const auto direct = cli("calls --csv -r " + q(root), dir);
    const auto exported = run("export " + q(project) + " --calls --csv");
    ASSERT_EQ(exported.status, 0) << exported.err;
    EXPECT_EQ(exported.out, direct.out) << "row for row, every measurement";
    EXPECT_GT(lines(exported.out).size(), 100u);
    EXPECT_EQ(run("calls " + q(project)).out, "0 recordings analysed, 0 calls; 0 unreadable, 0 missing\n")
        << "nothing is due twice";

    const auto recordings = run("export " + q(project) + " --recordings --csv");
    const auto rows = lines(recordings.out);
    ASSERT_EQ(rows.size(), 5u);
    EXPECT_EQ(rows[1].rfind("North/D1/2026-06-01/N_20260601_221500.wav,2026-06-01 22:15:00.000,name,2026-06-01,"
                            "North,D1,384000,1,1,3.000,",
                            0),
              0u)
        << rows[1];
    EXPECT_EQ(rows[2].rfind("North/D1/2026-06-01/N_20260602_031500.wav,2026-06-02 03:15:00.000,name,2026-06-01,", 0),
              0u)
        << "three in the morning belongs to the night before: " << rows[2];
    EXPECT_EQ(rows[4].rfind("South/D2/2026-06-02/broken.wav,", 0), 0u) << "bytewise path order: " << rows[4];
    EXPECT_NE(rows[4].find(",file-time,"), std::string::npos) << "no name or header to date it: " << rows[4];

    const auto summary = run("summary " + q(project) + " --by night,site --csv");
    ASSERT_EQ(summary.status, 0) << summary.err;
    const auto table = lines(summary.out);
    ASSERT_EQ(table.size(), 3u) << summary.out;
    EXPECT_EQ(table[0], "night,site,files,recordings_with_calls,calls,passes");
    EXPECT_EQ(table[1].rfind("2026-06-01,North,2,2,", 0), 0u) << table[1];
    EXPECT_EQ(table[2].rfind("2026-06-02,South,1,1,", 0), 0u) << "the unreadable file is not counted: " << table[2];
    const auto bySpecies = run("summary " + q(project) + " --by species");
    EXPECT_EQ(lines(bySpecies.out).at(1).rfind("unidentified\t3\t3\t", 0), 0u) << bySpecies.out;

    const auto status = run("status " + q(project));
    EXPECT_NE(status.out.find("recordings: 4\nunreadable: 1\nmissing: 0\nanalysed: 3\n"), std::string::npos)
        << status.out;
}

// A run stopped after each recording and started again ends with exactly the
// calls of one uninterrupted run, whatever the number of jobs.
TEST_F(ProjectCli, AStoppedRunResumesWithoutLossOrDuplicates)
{
    init();
    ::setenv("VES_PROJECT_STOP_AFTER", "1", 1);
    int stops = 0;
    for (; stops < 10; ++stops) {
        const auto r = run("calls " + q(project) + " --jobs 3");
        if (r.status != 3)
            break;
    }
    ::unsetenv("VES_PROJECT_STOP_AFTER");
    EXPECT_EQ(stops, 3) << "one recording committed per run";
    const auto resumed = run("export " + q(project) + " --calls --csv");

    const std::string whole = dir.file("whole.vproj");
    ASSERT_EQ(cli("project init " + q(whole) + " --root " + q(root), dir).status, 0);
    cli("project add " + q(whole) + " " + q(root), dir);
    ASSERT_EQ(cli("project calls " + q(whole), dir).status, 0);
    EXPECT_EQ(resumed.out, cli("project export " + q(whole) + " --calls --csv", dir).out);
    EXPECT_NE(run("status " + q(project)).out.find("analysed: 3\n"), std::string::npos);
}

TEST_F(ProjectCli, ChangedDeletedAndMovedRecordingsAreToldAndKept)
{
    init();
    ASSERT_EQ(run("calls " + q(project)).status, 0);
    fs::remove(root + "/South/D2/2026-06-02/S_20260602_230000.wav");
    const std::string changed = root + "/North/D1/2026-06-01/N_20260601_221500.wav";
    fs::copy_file(root + "/North/D1/2026-06-01/N_20260602_031500.wav", changed, fs::copy_options::overwrite_existing);
    fs::last_write_time(changed, fs::last_write_time(changed) + std::chrono::seconds(10));
    const auto add = run("add " + q(project) + " " + q(root));
    EXPECT_EQ(add.out, "0 added, 1 changed, 2 unchanged, 0 unreadable, 1 missing\n") << add.err;
    EXPECT_NE(add.err.find("1 recordings are gone from their place since they were added"), std::string::npos);
    EXPECT_EQ(run("calls " + q(project)).out, "1 recordings analysed, " +
                                                  std::to_string(lines(cli("calls --csv " + q(changed), dir).out).size() - 1) +
                                                  " calls; 0 unreadable, 0 missing\n");

    // The whole season moved: the project says how to follow it.
    const std::string moved = dir.file("moved");
    fs::rename(root, moved);
    const auto lost = run("calls " + q(project) + " --snr 20");
    EXPECT_EQ(lost.status, 1);
    EXPECT_NE(lost.err.find("project init " + project + " --root DIR"), std::string::npos) << lost.err;
    EXPECT_NE(run("status " + q(project)).out.find("(gone: give its new place with init --root)"), std::string::npos);
    const auto reroot = run("init " + q(project) + " --root " + q(moved));
    EXPECT_NE(reroot.err.find("the root moved from " + root), std::string::npos) << reroot.err;
    EXPECT_EQ(run("calls " + q(project) + " --snr 20").status, 0) << "new settings: every recording again";
}

TEST_F(ProjectCli, FilesThatAreNoProjectAndWrongUsageGetClearMessages)
{
    const std::string text = dir.file("notes.vproj");
    std::ofstream(text) << std::string(200, 'x');
    const struct {
        std::string args;
        int status;
        std::string message;
    } cases[] = {
        {"status " + q(text), 1, text + " is not a Vesperon project"},
        {"calls " + q(dir.file("none.vproj")), 1, "make one with \"vesperon-cli project init\""},
        {"frobnicate " + q(text), 2, "unknown action 'frobnicate'"},
        {"status", 2, "give an action"},
        {"status " + q(text) + " extra", 2, "takes one project file"},
        {"export " + q(text), 2, "choose --calls or --recordings"},
        {"export " + q(text) + " --recordings --raven", 2, "--raven exports calls only"},
        {"summary " + q(text) + " --by night,night", 2, "--by must be night, site or species"},
        {"init " + q(text) + " --jobs 2", 2, "--jobs is not an option of init"},
    };
    for (const auto& c : cases) {
        const auto r = run(c.args);
        EXPECT_EQ(r.status, c.status) << c.args;
        EXPECT_EQ(r.err.rfind("vesperon-cli project: ", 0), 0u) << r.err;
        EXPECT_NE(r.err.find(c.message), std::string::npos) << c.args << "\n" << r.err;
    }
    EXPECT_EQ(vestest::readFile(text).size(), 200u) << "left as it was";
}

// Real recordings: the project's calls are those of the calls command.
TEST(ProjectCliData, RealRecordingsGiveTheRowsOfTheCallsCommand)
{
    const std::vector<std::string> files = vestest::sharedRecordings();
    if (files.empty())
        GTEST_SKIP() << "no shared recordings";
    TempDir dir;
    const std::string root = dir.file("real");
    fs::create_directories(root);
    // Links, not copies: a few files of different sources.
    for (std::size_t i = 0; i < files.size() && i < 12; i += 3)
        fs::create_symlink(files[i], root + "/" + std::to_string(i) + "_" + fs::path(files[i]).filename().string());
    const std::string project = dir.file("real.vproj");
    ASSERT_EQ(cli("project init " + q(project) + " --root " + q(root), dir).status, 0);
    cli("project add " + q(project) + " " + q(root), dir);
    cli("project calls --jobs 2 " + q(project), dir);
    const auto exported = cli("project export " + q(project) + " --calls --csv", dir);
    const auto direct = cli("calls --csv " + q(root), dir);
    EXPECT_EQ(exported.out, direct.out);
    EXPECT_GT(lines(direct.out).size(), 1u) << direct.err;
}

}  // namespace
