// vesperon-cli project calls --shard I/N and project merge: N separate
// processes analyse parts of one season at once, and the merged project is
// the one a single run makes, whatever N, the jobs, stops and repeats.
#include "soundfiles/DemoRecording.h"

#include "CliRunner.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

using vestest::TempDir;
namespace fs = std::filesystem;

namespace {

constexpr auto cli = &vestest::runCli;
constexpr auto q = &vestest::quoted;

class ProjectShards : public ::testing::Test {
protected:
    void SetUp() override
    {
        root = fs::weakly_canonical(dir.file("season")).string();
        fs::create_directories(root + "/a");
        fs::create_directories(root + "/b");
        const std::string demo = root + "/a/demo.wav";
        ASSERT_TRUE(writeDemoRecording(demo));
        // Stretches of the demo, so that the files (and their calls) differ.
        const char* const cuts[][3] = {{"0.2s", "1.5s", "/a/cut1.wav"}, {"0.7s", "2.6s", "/a/cut2.wav"},
                                       {"0.1s", "2.0s", "/b/cut3.wav"}, {"1.0s", "2.9s", "/b/cut4.wav"},
                                       {"0.4s", "1.1s", "/b/cut5.wav"}};
        for (const auto& c : cuts)
            ASSERT_EQ(cli(std::string("convert --start ") + c[0] + " --end " + c[1] + " " + q(demo) + " " +
                              q(root + c[2]),
                          dir)
                          .status,
                      0);
        reference = makeProject("reference.vproj");
        const auto r = cli("project calls " + q(reference), dir);
        ASSERT_EQ(r.status, 0) << r.err;
        referenceCsv = exportCsv(reference);
        ASSERT_GT(referenceCsv.size(), 1000u);
    }

    std::string makeProject(const std::string& name)
    {
        const std::string p = dir.file(name);
        EXPECT_EQ(cli("project init " + q(p) + " --root " + q(root), dir).status, 0);
        EXPECT_EQ(cli("project add " + q(p) + " " + q(root), dir).status, 0);
        return p;
    }
    std::string exportCsv(const std::string& p) { return cli("project export " + q(p) + " --calls --csv", dir).out; }

    // Runs the shards `first` .. N-1 of N as separate processes at the same time.
    int runShardsAtOnce(const std::string& p, int n, const std::string& options = {}, int first = 0)
    {
        std::string script;
        for (int i = first; i < n; ++i)
            script += "'" + std::string(VES_CLI_PATH) + "' project calls " + q(p) + " --shard " + std::to_string(i) +
                      "/" + std::to_string(n) + " " + options + " >/dev/null 2>&1 &\n";
        script += "wait\n";
        const std::string file = dir.file("shards.sh");
        std::ofstream(file) << "export XDG_CONFIG_HOME=" << q(dir.file("config")) << "\n" << script;
        return std::system(("sh " + q(file)).c_str());
    }

    TempDir dir;
    std::string root, reference, referenceCsv;
};

TEST_F(ProjectShards, AnyNumberOfShardsAndJobsMergesToTheSingleRunsCalls)
{
    struct Case {
        int shards;
        const char* options;
    };
    const Case cases[] = {{1, ""}, {3, ""}, {3, "--jobs 2"}, {16, ""}};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.shards) + " shards " + c.options);
        const std::string p = makeProject("p" + std::to_string(c.shards) + (*c.options ? "j" : "") + ".vproj");
        ASSERT_EQ(runShardsAtOnce(p, c.shards, c.options), 0);
        const std::string before = exportCsv(p);
        EXPECT_EQ(before.find('\n'), before.size() - 1) << "shards only read the project: " << before;
        const auto merged = cli("project merge " + q(p), dir);
        EXPECT_EQ(merged.status, 0) << merged.err;
        EXPECT_NE(merged.out.find(std::to_string(c.shards) + " shards merged: 6 recordings"), std::string::npos)
            << merged.out;
        EXPECT_EQ(exportCsv(p), referenceCsv);
        for (const auto& e : fs::directory_iterator(dir.path()))
            EXPECT_EQ(e.path().filename().string().find(".shard-"), std::string::npos) << e.path();
    }
}

TEST_F(ProjectShards, KilledShardsAndRepeatedRunsLoseAndDoubleNothing)
{
    const std::string p = makeProject("killed.vproj");
    // Shard 1/3 dies after one recording: it leaves no shard file behind.
    ::setenv("VES_PROJECT_STOP_AFTER", "1", 1);
    EXPECT_EQ(cli("project calls " + q(p) + " --shard 1/3", dir).status, 3);
    ::unsetenv("VES_PROJECT_STOP_AFTER");
    EXPECT_FALSE(fs::exists(p + ".shard-0001-of-0003"));
    ASSERT_EQ(cli("project calls " + q(p) + " --shard 0/3", dir).status, 0);
    ASSERT_EQ(cli("project calls " + q(p) + " --shard 2/3", dir).status, 0);
    const auto again = cli("project calls " + q(p) + " --shard 2/3", dir);
    EXPECT_NE(again.out.find("done already"), std::string::npos) << again.out;

    const auto partial = cli("project merge " + q(p), dir);
    EXPECT_EQ(partial.status, 1) << "the lost shard's recordings are still due";
    EXPECT_NE(partial.out.find("2 still pending"), std::string::npos) << partial.out;
    EXPECT_NE(partial.err.find("still due"), std::string::npos) << partial.err;

    // The array run again: the lost shard is analysed, the merged ones are
    // not analysed twice.
    ASSERT_EQ(runShardsAtOnce(p, 3), 0);
    const auto rest = cli("project merge " + q(p), dir);
    EXPECT_EQ(rest.status, 0) << rest.err;
    EXPECT_NE(rest.out.find("3 shards merged: 2 recordings"), std::string::npos) << rest.out;
    EXPECT_EQ(exportCsv(p), referenceCsv);
    EXPECT_NE(cli("project merge " + q(p), dir).err.find("no shard files"), std::string::npos);
    EXPECT_EQ(exportCsv(p), referenceCsv) << "a merge repeated doubles nothing";
}

TEST_F(ProjectShards, MixedSettingsAreRefusedAndABadRecordingNeverFailsItsShard)
{
    const std::string p = makeProject("mixed.vproj");
    // Spoilt after it was added: its shard records why it cannot be read.
    std::ofstream(root + "/b/cut5.wav", std::ios::trunc) << "RIFF and then nothing useful";
    ASSERT_EQ(cli("project calls " + q(p) + " --shard 0/2", dir).status, 0);
    const auto odd = cli("project calls " + q(p) + " --shard 1/2 --snr 20", dir);
    ASSERT_EQ(odd.status, 0) << odd.err;

    const auto refused = cli("project merge " + q(p), dir);
    EXPECT_EQ(refused.status, 1);
    EXPECT_NE(refused.err.find("different settings"), std::string::npos) << refused.err;
    EXPECT_NE(refused.err.find("nothing was merged"), std::string::npos) << refused.err;
    EXPECT_NE(cli("project status " + q(p), dir).out.find("analysed: 0\n"), std::string::npos);

    fs::remove(p + ".shard-0001-of-0002");
    ASSERT_EQ(cli("project calls " + q(p) + " --shard 1/2", dir).status, 0);
    const auto merged = cli("project merge " + q(p), dir);
    EXPECT_EQ(merged.status, 1) << "an unreadable recording is told";
    EXPECT_NE(merged.out.find("1 unreadable"), std::string::npos) << merged.out;
    const auto recordings = cli("project export " + q(p) + " --recordings --csv", dir).out;
    EXPECT_NE(recordings.find("b/cut5.wav,"), std::string::npos);
    EXPECT_NE(recordings.find("b/cut5.wav!"), std::string::npos) << "its message is kept: " << recordings;
}

TEST_F(ProjectShards, WrongShardsAreUsageErrors)
{
    const std::string p = makeProject("usage.vproj");
    for (const char* bad : {"3/3", "1/0", "-1/2", "a/b", "2", "1/100001"}) {
        const auto r = cli("project calls " + q(p) + " --shard " + q(bad), dir);
        EXPECT_EQ(r.status, 2) << bad;
        EXPECT_NE(r.err.find("I/N"), std::string::npos) << bad << ": " << r.err;
    }
    EXPECT_EQ(cli("project merge " + q(p) + " --jobs 2", dir).status, 2);
    EXPECT_EQ(cli("project summary " + q(p) + " --shard 0/2", dir).status, 2);
}

}  // namespace
