// Shard files of a project's calls: their names and order, writing whole or
// not at all, and a merge that imports exactly what is still due, bit for
// bit, and refuses shards that do not belong together.
#include "project/Project.h"

#include "pulse/CallDetector.h"
#include "records/VesSettings.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using vestest::TempDir;
namespace fs = std::filesystem;

RecordingRow recording(const std::string& path)
{
    RecordingRow r;
    r.path = path;
    r.size = 1000;
    r.mtime = 1700000000;
    r.hash = "00";
    r.rate = 384000;
    r.channels = 1;
    r.frames = 384000;
    r.lengthSec = 1;
    r.night = "2026-06-01";
    return r;
}

CallMeasures call(int number, double startMs)
{
    CallMeasures c;
    c.call = number;
    c.startMs = startMs;
    c.endMs = startMs + 2.5;
    c.peakFreqHz = 45123.456789012345;  // values a text round trip would change
    c.snrDb = 1.0 / 3.0;
    c.qualityPct = 1e-300;
    c.startFrame = static_cast<std::int64_t>(startMs * 384);
    c.endFrame = c.startFrame + 960;
    c.contourPoints = 7;
    return c;
}

TEST(ShardSpec, ParsesOnlyWellFormedParts)
{
    const struct {
        const char* text;
        bool ok;
        int index, count;
    } cases[] = {
        {"0/1", true, 0, 1},      {"3/16", true, 3, 16},   {"99999/100000", true, 99999, 100000},
        {"1/1", false, 0, 0},     {"16/16", false, 0, 0},  {"0/0", false, 0, 0},
        {"-1/4", false, 0, 0},    {"1/100001", false, 0, 0}, {"1", false, 0, 0},
        {"1/2/3", false, 0, 0},   {" 1/2", false, 0, 0},   {"1/2 ", false, 0, 0},
        {"", false, 0, 0},        {"/", false, 0, 0},      {"1e1/20", false, 0, 0},
    };
    for (const auto& c : cases) {
        ShardSpec s{7, 9};
        EXPECT_EQ(parseShardSpec(c.text, s), c.ok) << c.text;
        if (c.ok)
            EXPECT_TRUE(s.index == c.index && s.count == c.count) << c.text;
        else
            EXPECT_TRUE(s.index == 7 && s.count == 9) << c.text << ": left as it was";
    }
}

TEST(ShardFiles, AreListedInMergeOrderAndWrittenWholeOrNotAtAll)
{
    TempDir dir;
    const std::string project = dir.file("season.vproj");
    Project::create(project);
    const RecordingRow row = recording("a.wav");
    // Left by runs of shard 1/3 on this machine: one killed, one still running.
    char host[256] = "host";
    ::gethostname(host, sizeof host - 1);
    const pid_t dead = ::fork();
    if (dead == 0)
        ::_exit(0);
    ::waitpid(dead, nullptr, 0);
    const std::string stale = project + ".shard-0001-of-0003.tmp-" + host + "-" + std::to_string(dead) + "-0";
    const std::string running = project + ".shard-0001-of-0003.tmp-" + host + "-" + std::to_string(::getpid()) + "-9";
    std::ofstream(stale) << "killed half-way";
    std::ofstream(running) << "still being written";
    for (const ShardSpec s : {ShardSpec{10, 12}, ShardSpec{2, 12}, ShardSpec{1, 3}}) {
        ShardWriter w(shardFilePath(project, s), s, "k", "1.0");
        w.add(row, 0, {});
        w.commit();
    }
    {
        // Abandoned (a shard that failed half-way): nothing is left behind.
        ShardWriter w(shardFilePath(project, {0, 3}), {0, 3}, "k", "1.0");
        w.add(row, 0, {});
    }
    std::ofstream(project + ".shard-0002-of-0003.tmp-123-0") << "a shard still being written";
    std::ofstream(dir.file("other.vproj.shard-0000-of-0001")) << "another project's";
    std::ofstream(project + ".shard-x-of-3") << "not a shard name";

    EXPECT_FALSE(fs::exists(stale)) << "a dead run's file is removed";
    EXPECT_TRUE(fs::exists(running)) << "a live run's file is not";
    const std::vector<std::string> files = listShardFiles(project);
    ASSERT_EQ(files.size(), 3u);
    EXPECT_EQ(files[0], project + ".shard-0001-of-0003");
    EXPECT_EQ(files[1], project + ".shard-0002-of-0012");
    EXPECT_EQ(files[2], project + ".shard-0010-of-0012");
    const ShardInfo info = readShardInfo(files[1]);
    EXPECT_EQ(info.shard.index, 2);
    EXPECT_EQ(info.shard.count, 12);
    EXPECT_EQ(info.settingsKey, "k");
    EXPECT_EQ(info.version, "1.0");
    EXPECT_EQ(info.recordings, 1);
}

class ShardMerge : public ::testing::Test {
protected:
    void SetUp() override
    {
        project = Project::create(path);
        for (const char* p : {"a.wav", "b.wav", "c.wav", "d.wav", "e.wav"})
            ids.push_back(project->putRecording(recording(p)));
    }
    // Writes shard s of the pending recordings, each with `calls` calls.
    void writeShard(const ShardSpec& s, const std::string& key, const std::string& version = "1.0")
    {
        ShardWriter w(shardFilePath(path, s), s, key, version);
        for (const RecordingRow& r : pendingForShard(*project, key, s, 0, 100)) {
            RecordingCallsResult result;
            if (r.path == "c.wav")
                result.error = "Unable to open file c.wav!";
            else
                for (int i = 1; i <= static_cast<int>(r.id); ++i)
                    result.calls.push_back(call(i, 10.0 * i + 1.0 / 7.0));
            w.add(r, 0, result);
        }
        w.commit();
    }
    std::vector<std::pair<std::string, std::vector<CallMeasures>>> stored()
    {
        std::vector<std::pair<std::string, std::vector<CallMeasures>>> out;
        project->forEachRecordingCalls(
            [&](const RecordingRow& r, const std::vector<CallMeasures>& c) { out.emplace_back(r.path, c); });
        return out;
    }

    TempDir dir;
    std::string path = dir.file("season.vproj");
    std::unique_ptr<Project> project;
    std::vector<std::int64_t> ids;
};

TEST_F(ShardMerge, ShardsSplitThePendingRecordingsAndMergeBitForBit)
{
    std::vector<std::int64_t> seen;
    for (int i = 0; i < 3; ++i)
        for (const RecordingRow& r : pendingForShard(*project, "k", {i, 3}, 0, 100)) {
            EXPECT_EQ(r.id % 3, i);
            seen.push_back(r.id);
        }
    std::sort(seen.begin(), seen.end());
    EXPECT_EQ(seen, ids) << "each recording in exactly one shard";
    // Paging: after an id, at most `limit`.
    const auto page = pendingForShard(*project, "k", {0, 1}, ids[1], 2);
    ASSERT_EQ(page.size(), 2u);
    EXPECT_EQ(page[0].id, ids[2]);

    for (int i = 0; i < 3; ++i)
        writeShard({i, 3}, "k");
    const MergeReport r = mergeCallShards(*project, path);
    EXPECT_EQ(r.shards, 3);
    EXPECT_EQ(r.recordings, 5);
    EXPECT_EQ(r.unreadable, 1);
    EXPECT_EQ(r.pending, 0);
    EXPECT_TRUE(listShardFiles(path).empty()) << "merged files are removed";
    const auto calls = stored();
    ASSERT_EQ(calls.size(), 4u);
    for (const auto& [file, list] : calls) {
        const std::int64_t id = project->find(file)->id;
        ASSERT_EQ(list.size(), static_cast<std::size_t>(id)) << file;
        const CallMeasures expected = call(static_cast<int>(id), 10.0 * static_cast<double>(id) + 1.0 / 7.0);
        EXPECT_EQ(list.back().startMs, expected.startMs);
        EXPECT_EQ(list.back().peakFreqHz, expected.peakFreqHz);
        EXPECT_EQ(list.back().qualityPct, expected.qualityPct);
        EXPECT_EQ(list.back().contourPoints, 7);
    }
    EXPECT_EQ(project->find("c.wav")->error.value_or(""), "Unable to open file c.wav!");
}

TEST_F(ShardMerge, WhatWasAnalysedOrChangedMeanwhileIsKept)
{
    writeShard({0, 1}, "k");
    // Since the shard read them: a.wav analysed by a plain run, b.wav changed.
    project->storeCalls(ids[0], "k", 0, {call(1, 99)});
    RecordingRow changed = recording("b.wav");
    changed.hash = "ff";
    project->putRecording(changed);
    const MergeReport r = mergeCallShards(*project, path);
    EXPECT_EQ(r.skipped, 2);
    EXPECT_EQ(r.recordings, 3);
    EXPECT_EQ(r.pending, 1) << "the changed file is due again";
    const auto calls = stored();
    ASSERT_FALSE(calls.empty());
    EXPECT_EQ(calls[0].first, "a.wav");
    ASSERT_EQ(calls[0].second.size(), 1u);
    EXPECT_EQ(calls[0].second[0].startMs, 99) << "not replaced, nor doubled";
    // Merged again (the files are gone): nothing changes.
    EXPECT_EQ(mergeCallShards(*project, path).recordings, 0);
    EXPECT_EQ(stored().size(), calls.size());
}

TEST_F(ShardMerge, MixedSettingsOrVersionsAreRefusedWithoutImportingAnything)
{
    for (const auto& [key, version] : {std::pair<std::string, std::string>{"other", "1.0"}, {"k", "2.0"}}) {
        for (const std::string& f : listShardFiles(path))
            fs::remove(f);
        writeShard({0, 2}, "k");
        writeShard({1, 2}, key, version);
        try {
            mergeCallShards(*project, path);
            ADD_FAILURE() << key << " " << version << " merged";
        } catch (const ProjectError& e) {
            const std::string text = e.what();
            EXPECT_NE(text.find("different settings or versions"), std::string::npos) << text;
            EXPECT_NE(text.find("shard 1/2"), std::string::npos) << text;
            EXPECT_NE(text.find("nothing was merged"), std::string::npos) << text;
        }
        EXPECT_TRUE(stored().empty());
        EXPECT_EQ(listShardFiles(path).size(), 2u) << "the files stay for the user to choose";
    }
}

TEST_F(ShardMerge, DamagedShardFilesGetAMessageAndNoCrash)
{
    std::vector<vestest::Bytes> inputs = {
        {},
        {'S', 'Q', 'L', 'i', 't', 'e', ' ', 'f', 'o', 'r', 'm', 'a', 't', ' ', '3', 0},
        vestest::Bytes(4096, 0xAB),
    };
    for (const std::string& crash : vestest::sharedCrashInputs())
        inputs.push_back(vestest::readFile(crash));
    // A project put where a shard belongs.
    Project::create(dir.file("p2.vproj"));
    inputs.push_back(vestest::readFile(dir.file("p2.vproj")));
    for (std::size_t i = 0; i < inputs.size(); ++i) {
        const std::string shard = shardFilePath(path, {0, 1});
        vestest::writeFile(shard, inputs[i]);
        EXPECT_THROW(mergeCallShards(*project, path), ProjectError) << "input " << i;
        EXPECT_TRUE(stored().empty());
        fs::remove(shard);
    }
}

TEST(AnalyseRecordingCalls, TellsMissingAndUnreadableFilesApart)
{
    TempDir dir;
    const CallDetectorSettings settings;
    const RecordingCallsResult gone = analyseRecordingCalls(dir.file("gone.wav"), settings, VesDefData());
    EXPECT_TRUE(gone.missing);
    EXPECT_FALSE(gone.error);
    std::ofstream(dir.file("bad.wav")) << "RIFF and then nothing useful";
    const RecordingCallsResult bad = analyseRecordingCalls(dir.file("bad.wav"), settings, VesDefData());
    EXPECT_FALSE(bad.missing);
    ASSERT_TRUE(bad.error);
    EXPECT_FALSE(bad.error->empty());
    EXPECT_TRUE(bad.calls.empty());
}

}  // namespace
