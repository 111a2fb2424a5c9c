// The project database: opening and refusing files, recordings, calls that
// come back unchanged, summaries and what a second program sees.
#include "project/Project.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>

namespace {

using vestest::TempDir;

RecordingRow recording(const std::string& path, const std::string& night, const std::string& site)
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
    r.startTime = night + " 22:00:00.000";
    r.startSource = "name";
    r.night = night;
    r.site = site;
    return r;
}

CallMeasures call(int number, double startMs, double durationMs)
{
    CallMeasures c;
    c.call = number;
    c.startMs = startMs;
    c.endMs = startMs + durationMs;
    c.durationMs = durationMs;
    c.peakFreqHz = 45123.456789012345;  // values that a text round trip would change
    c.snrDb = 1.0 / 3.0;
    c.intervalMs = number == 1 ? -1 : 0.1 + 0.2;
    c.startFrame = static_cast<std::int64_t>(startMs * 384);
    c.endFrame = c.startFrame + 100;
    c.qualityPct = 1e-300;
    return c;
}

TEST(Project, CallsComeBackBitForBitInPathOrder)
{
    TempDir dir;
    const std::string file = dir.file("season.vproj");
    {
        auto p = Project::create(file);
        p->setRoot("/data/season");
        const std::int64_t b = p->putRecording(recording("b/2.wav", "2026-06-01", "B"));
        const std::int64_t a = p->putRecording(recording("a/1.wav", "2026-06-01", "A"));
        p->storeCalls(b, "k", 0, {call(1, 10, 3), call(2, 50, 4)});
        p->storeCalls(a, "k", 1, {call(1, 5, 2)});
    }
    auto p = Project::open(file);
    EXPECT_EQ(p->root(), "/data/season");
    EXPECT_EQ(p->schemaVersion(), Project::kSchemaVersion);
    std::vector<std::string> order;
    p->forEachRecordingCalls([&](const RecordingRow& r, const std::vector<CallMeasures>& calls) {
        order.push_back(r.path);
        if (r.path != "b/2.wav")
            return;
        ASSERT_EQ(calls.size(), 2u);
        const CallMeasures want = call(2, 50, 4);
        EXPECT_EQ(calls[1].peakFreqHz, want.peakFreqHz);
        EXPECT_EQ(calls[1].snrDb, want.snrDb);
        EXPECT_EQ(calls[1].intervalMs, want.intervalMs);
        EXPECT_EQ(calls[1].qualityPct, want.qualityPct);
        EXPECT_EQ(calls[1].startFrame, want.startFrame);
        EXPECT_EQ(calls[0].intervalMs, -1);
    });
    EXPECT_EQ(order, (std::vector<std::string>{"a/1.wav", "b/2.wav"}));


    // Analysed recordings are no longer due with the same settings, again with others.
    EXPECT_TRUE(p->pendingForCalls("k", 0, 10).empty());
    EXPECT_EQ(p->pendingForCalls("other", 0, 10).size(), 2u);
    // Storing again replaces, never adds.
    const std::int64_t b = p->find("b/2.wav")->id;
    p->storeCalls(b, "k", 0, {call(1, 10, 3)});
    EXPECT_EQ(p->status().calls, 2);
    // A changed file loses its calls and is due again.
    p->putRecording(recording("b/2.wav", "2026-06-01", "B"));
    EXPECT_EQ(p->find("b/2.wav")->id, b) << "the row keeps its id";
    EXPECT_EQ(p->find("b/2.wav")->calls, -1);
    EXPECT_EQ(p->pendingForCalls("k", 0, 10).size(), 1u);
    EXPECT_EQ(p->status().calls, 1);
    // A failure keeps the message and takes the recording out of the work.
    p->storeFailure(b, "truncated data chunk");
    EXPECT_EQ(p->find("b/2.wav")->error.value_or(""), "truncated data chunk");
    EXPECT_TRUE(p->pendingForCalls("k", 0, 10).empty());

    // Folders before longer names that start alike, as a listing of the tree
    // gives them; a folder's recordings without its namesakes.
    for (const char* path : {"a-b/3.wav", "a/0/4.wav", "a.wav"})
        p->putRecording(recording(path, "2026-06-01", "A"));
    order.clear();
    p->forEachRecording({}, [&](const RecordingRow& r) { order.push_back(r.path); });
    EXPECT_EQ(order, (std::vector<std::string>{"a/0/4.wav", "a/1.wav", "a-b/3.wav", "a.wav", "b/2.wav"}));
    order.clear();
    p->forEachRecording("a", [&](const RecordingRow& r) { order.push_back(r.path); });
    EXPECT_EQ(order, (std::vector<std::string>{"a/0/4.wav", "a/1.wav"}));
}

TEST(Project, SummaryCountsFilesCallsAndPassesPerGroup)
{
    TempDir dir;
    auto p = Project::create(dir.file("s.vproj"));
    const std::int64_t r1 = p->putRecording(recording("A/1.wav", "2026-06-01", "A"));
    const std::int64_t r2 = p->putRecording(recording("A/2.wav", "2026-06-01", "A"));
    p->putRecording(recording("A/3.wav", "2026-06-01", "A"));  // not analysed
    const std::int64_t r4 = p->putRecording(recording("B/1.wav", "2026-06-02", "B"));
    // r1: two passes (gap 2000 ms between them), r2: one call, r4: none.
    p->storeCalls(r1, "k", 0, {call(1, 0, 5), call(2, 100, 5), call(3, 2200, 5)});
    p->storeCalls(r2, "k", 0, {call(1, 0, 5)});
    p->storeCalls(r4, "k", 0, {});
    // Call 2 of r1 is a Pipistrelle by hand (a manual label wins over the automatic one).
    p->setAutoLabel(p->callId(r1, 2), "Myotis", 0.6);
    p->setManualLabel(p->callId(r1, 2), "Pipistrellus", "ann", "2026-07-01 10:00");

    std::vector<std::string> rows;
    const auto collect = [&](const SummaryRow& r) {
        std::string line;
        for (const std::string& k : r.keys)
            line += k + "|";
        rows.push_back(line + std::to_string(r.files) + " " + std::to_string(r.withCalls) + " " +
                       std::to_string(r.calls) + " " + std::to_string(r.passes));
    };
    p->summary({SummaryKey::Night}, 1000, collect);
    EXPECT_EQ(rows, (std::vector<std::string>{"2026-06-01|3 2 4 4", "2026-06-02|1 0 0 0"}));
    rows.clear();
    p->summary({SummaryKey::Night, SummaryKey::Site, SummaryKey::Species}, 1000, collect);
    // r1: unidentified calls 1 and 3 are two passes (the Pipistrelle between
    // them does not join them; 3 starts 2 s after 1 ended).
    EXPECT_EQ(rows, (std::vector<std::string>{"2026-06-01|A|Pipistrellus|1 1 1 1",
                                              "2026-06-01|A|unidentified|2 2 3 3"}));
    rows.clear();
    p->summary({SummaryKey::Site}, 5000, collect);
    EXPECT_EQ(rows, (std::vector<std::string>{"A|3 2 4 3", "B|1 0 0 0"}))
        << "a longer gap joins the unidentified calls of r1; passes stay per species";

    const ProjectStatus st = p->status();
    EXPECT_EQ(st.recordings, 4);
    EXPECT_EQ(st.analysed, 3);
    EXPECT_EQ(st.identified, 1);
    EXPECT_EQ(st.vetted, 1);
    EXPECT_EQ(st.nights, 2);
    EXPECT_EQ(st.firstNight, "2026-06-01");
}

// The counts kept per recording (the usual pass gap) and the count over
// every call (any other gap) are two readings of one rule: on a season of
// random calls and labels they agree.
TEST(Project, KeptCountsAgreeWithACountOverEveryCall)
{
    TempDir dir;
    auto p = Project::create(dir.file("s.vproj"));
    std::uint32_t seed = 3;
    const auto next = [&seed](std::uint32_t n) {
        seed = seed * 1664525u + 1013904223u;
        return (seed >> 8) % n;
    };
    const char* species[] = {"Pip", "Myo", "Nyc"};
    for (int r = 0; r < 30; ++r) {
        const std::int64_t id = p->putRecording(recording("r" + std::to_string(r) + ".wav",
                                                          "2026-06-0" + std::to_string(1 + r % 3),
                                                          r % 2 ? "A" : "B"));
        std::vector<CallMeasures> calls;
        double t = 0;
        for (int c = 1; c <= static_cast<int>(next(25)); ++c) {
            t += 10 + next(4) * 450.0 + 0.25;  // gaps clear of the pass gap by 0.25 ms or more
            calls.push_back(call(c, t, 3));
        }
        p->storeCalls(id, "k", 0, calls);
        for (const CallMeasures& c : calls)
            if (next(3) == 0)
                p->setAutoLabel(p->callId(id, c.call), species[next(3)], 0.5);
    }
    for (const auto& by : {std::vector<SummaryKey>{SummaryKey::Night, SummaryKey::Site, SummaryKey::Species},
                           std::vector<SummaryKey>{SummaryKey::Site}}) {
        std::vector<std::string> kept, scanned;
        const auto into = [](std::vector<std::string>& out) {
            return [&out](const SummaryRow& r) {
                std::string line;
                for (const std::string& k : r.keys)
                    line += k + "|";
                out.push_back(line + std::to_string(r.files) + " " + std::to_string(r.withCalls) + " " +
                              std::to_string(r.calls) + " " + std::to_string(r.passes));
            };
        };
        p->summary(by, Project::kStoredPassGapMs, into(kept));
        p->summary(by, Project::kStoredPassGapMs + 0.001, into(scanned));
        EXPECT_EQ(kept, scanned);
        EXPECT_GT(kept.size(), 1u);
    }
}

TEST(Project, FilesThatAreNoProjectOrNewerAreRefusedAndLeftAlone)
{
    TempDir dir;
    const auto kindOf = [](const std::string& path) {
        try {
            Project::open(path);
        } catch (const ProjectError& e) {
            EXPECT_NE(std::string(e.what()).find(path), std::string::npos) << e.what();
            return e.kind();
        }
        return ProjectError::Kind::Other;
    };
    const std::string text = dir.file("notes.vproj");
    std::ofstream(text) << "This is a text file, long enough to fill a database header of a hundred bytes. "
                           "It is certainly not a project at all.\n";
    const vestest::Bytes before = vestest::readFile(text);
    EXPECT_EQ(kindOf(text), ProjectError::Kind::NotAProject);
    EXPECT_EQ(vestest::readFile(text), before) << "left unchanged";

    EXPECT_EQ(kindOf(dir.file("none.vproj")), ProjectError::Kind::Missing);

    // Another program's database.
    const std::string other = dir.file("other.vproj");
    {
        auto p = Project::create(other);
        p->db().exec("PRAGMA application_id = 42");
    }
    EXPECT_EQ(kindOf(other), ProjectError::Kind::NotAProject);
    EXPECT_THROW(Project::create(other), ProjectError) << "create does not take over another database either";

    // A newer schema is refused and not touched.
    const std::string newer = dir.file("newer.vproj");
    {
        auto p = Project::create(newer);
        p->putRecording(recording("a.wav", "2026-06-01", "A"));
        p->db().exec("PRAGMA user_version = 99");
    }
    EXPECT_EQ(kindOf(newer), ProjectError::Kind::NewerSchema);
    {
        sql::Db raw(newer, false, 0);
        sql::Stmt s(raw, "SELECT count(*) FROM recordings");
        ASSERT_TRUE(s.step());
        EXPECT_EQ(s.i64(0), 1);
    }
}

TEST(Project, ASecondWriterWaitsOrIsToldItIsLockedAndAReaderSeesCommittedRowsOnly)
{
    TempDir dir;
    const std::string file = dir.file("s.vproj");
    auto writer = Project::create(file);
    writer->putRecording(recording("a.wav", "2026-06-01", "A"));
    auto reader = Project::open(file);
    {
        sql::Transaction t(writer->db());
        writer->putRecording(recording("b.wav", "2026-06-01", "A"));
        // WAL: the reader goes on reading the last committed state.
        EXPECT_EQ(reader->status().recordings, 1);
        // A second writer cannot start while the first holds the lock.
        sql::Db second(file, false, 50);
        try {
            sql::Transaction t2(second);
            ADD_FAILURE() << "a second write transaction started";
        } catch (const ProjectError& e) {
            EXPECT_EQ(e.kind(), ProjectError::Kind::Locked);
            EXPECT_NE(std::string(e.what()).find("locked by another program"), std::string::npos);
        }
        t.commit();
    }
    EXPECT_EQ(reader->status().recordings, 2);
}

// SQLite reports a full disk as it reports a page limit: the step that
// failed is rolled back, everything committed before stays.
TEST(Project, AFullDiskKeepsWhatWasStoredBefore)
{
    TempDir dir;
    const std::string file = dir.file("s.vproj");
    auto p = Project::create(file);
    const std::int64_t a = p->putRecording(recording("a.wav", "2026-06-01", "A"));
    const std::int64_t b = p->putRecording(recording("b.wav", "2026-06-01", "A"));
    p->storeCalls(a, "k", 0, {call(1, 0, 5)});
    sql::Stmt pages(p->db(), "PRAGMA page_count");
    ASSERT_TRUE(pages.step());
    const std::string limit = "PRAGMA max_page_count = " + std::to_string(pages.i64(0));
    pages.reset();
    p->db().exec(limit.c_str());
    std::vector<CallMeasures> many;
    for (int i = 1; i <= 5000; ++i)
        many.push_back(call(i, i * 10.0, 5));
    try {
        p->storeCalls(b, "k", 0, many);
        ADD_FAILURE() << "no error";
    } catch (const ProjectError& e) {
        EXPECT_EQ(e.kind(), ProjectError::Kind::DiskFull);
        EXPECT_NE(std::string(e.what()).find("the disk is full; what was stored before this step is kept"),
                  std::string::npos)
            << e.what();
    }
    p.reset();
    auto again = Project::open(file);
    EXPECT_EQ(again->status().calls, 1);
    EXPECT_EQ(again->find("a.wav")->calls, 1);
    EXPECT_EQ(again->find("b.wav")->calls, -1) << "still due";
}

TEST(Project, ContentHashesFollowTheFirstAndLastMebibyteAndTheSize)
{
    TempDir dir;
    const std::string f = dir.file("a.bin");
    vestest::Bytes bytes(3 << 20, 7);
    vestest::writeFile(f, bytes);
    const std::string h = fileContentHash(f, static_cast<std::int64_t>(bytes.size()));
    EXPECT_EQ(h.size(), 16u);
    bytes[(3 << 20) / 2] = 8;  // the middle MiB is not read
    vestest::writeFile(f, bytes);
    EXPECT_EQ(fileContentHash(f, static_cast<std::int64_t>(bytes.size())), h);
    bytes.back() = 9;
    vestest::writeFile(f, bytes);
    EXPECT_NE(fileContentHash(f, static_cast<std::int64_t>(bytes.size())), h);
    EXPECT_EQ(fileContentHash(dir.file("none"), 10), "");
}

}  // namespace
