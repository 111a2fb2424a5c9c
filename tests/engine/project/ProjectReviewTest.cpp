// The review side of a project: passes and moving between them, manual
// labels, table pages with filters and sorting, and labels written into the
// recordings' GUANO with every other byte kept.
#include "project/Project.h"

#include "records/GuanoRecord.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <filesystem>

namespace {

using vestest::Bytes;
using vestest::ByteWriter;
using vestest::TempDir;

Bytes operator+(Bytes a, const Bytes& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

RecordingRow recording(const std::string& path, const std::string& night, const std::string& site)
{
    RecordingRow r;
    r.path = path;
    r.size = 1000;
    r.hash = "00";
    r.rate = 384000;
    r.channels = 1;
    r.frames = 384000;
    r.lengthSec = 1;
    r.night = night;
    r.site = site;
    r.startSource = "name";
    return r;
}

CallMeasures call(int number, double startMs, double durationMs)
{
    CallMeasures c;
    c.call = number;
    c.startMs = startMs;
    c.endMs = startMs + durationMs;
    c.durationMs = durationMs;
    c.startFrame = static_cast<std::int64_t>(startMs * 384);
    c.endFrame = static_cast<std::int64_t>((startMs + durationMs) * 384);
    return c;
}

std::vector<int> firstNumbers(Project& p, std::int64_t rec, double gap)
{
    std::vector<int> out;
    for (int n = 1;;) {
        auto pass = review::passAt(p, rec, n, gap);
        if (!pass)
            break;
        out.push_back(pass->firstNumber());
        n = pass->lastNumber() + 1;
    }
    return out;
}

TEST(ProjectReview, PassesSplitAtGapsFromTheEndOfEveryEarlierCall)
{
    struct Case {
        const char* what;
        std::vector<std::pair<double, double>> calls;  // start, duration (ms)
        double gapMs;
        std::vector<int> firsts;
    };
    const Case cases[] = {
        {"one run", {{0, 5}, {100, 5}, {200, 5}}, 1000, {1}},
        {"a gap of exactly the pass gap starts a pass", {{0, 5}, {1005, 5}}, 1000, {1, 2}},
        {"just under the gap stays", {{0, 5}, {1004.9, 5}}, 1000, {1}},
        {"a long call bridges later short ones", {{0, 3000}, {2500, 5}, {3100, 5}}, 1000, {1}},
        {"three passes", {{0, 5}, {2000, 5}, {2100, 5}, {5000, 5}}, 1000, {1, 2, 4}},
        {"a small gap splits everything", {{0, 5}, {10, 5}, {20, 5}}, 2, {1, 2, 3}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TempDir dir;
        auto p = Project::create(dir.file("p.vproj"));
        const std::int64_t id = p->putRecording(recording("a.wav", "2026-06-01", "A"));
        std::vector<CallMeasures> calls;
        for (const auto& [start, length] : c.calls)
            calls.push_back(call(static_cast<int>(calls.size()) + 1, start, length));
        p->storeCalls(id, "k", 0, calls);
        EXPECT_EQ(firstNumbers(*p, id, c.gapMs), c.firsts);
    }
}

// Three recordings: a/1 with two passes, b/2 without calls, c/3 with one.
struct Season {
    TempDir dir;
    std::unique_ptr<Project> p = Project::create(dir.file("p.vproj"));
    std::int64_t a = 0, b = 0, c = 0;
    Season()
    {
        a = p->putRecording(recording("a/1.wav", "2026-06-01", "North"));
        b = p->putRecording(recording("b/2.wav", "2026-06-01", "South"));
        c = p->putRecording(recording("c/3.wav", "2026-06-02", "South"));
        p->storeCalls(a, "k", 0, {call(1, 0, 5), call(2, 100, 5), call(3, 5000, 5)});
        p->storeCalls(b, "k", 0, {});
        p->storeCalls(c, "k", 0, {call(1, 0, 5), call(2, 50, 5)});
        p->setAutoLabel(p->callId(a, 1), "PIPPIP", 0.9);
        p->setAutoLabel(p->callId(a, 2), "PIPPIP", 0.8);
        p->setAutoLabel(p->callId(a, 3), "NYCNOC", 0.7);
        p->setAutoLabel(p->callId(c, 2), "MYODAU", 0.6);
    }
    std::vector<std::string> walk(const review::RecordingFilter& f, bool forward)
    {
        std::vector<std::string> out;
        std::optional<review::Pass> pass = review::nextPass(*p, nullptr, f, 1000, forward);
        while (pass) {
            out.push_back(pass->rec.path + "#" + std::to_string(pass->firstNumber()));
            pass = review::nextPass(*p, &*pass, f, 1000, forward);
        }
        return out;
    }
};

TEST(ProjectReview, MovingThroughPassesFollowsPathOrderAndTheFilter)
{
    Season s;
    using V = std::vector<std::string>;
    EXPECT_EQ(s.walk({}, true), (V{"a/1.wav#1", "a/1.wav#3", "c/3.wav#1"}));
    EXPECT_EQ(s.walk({}, false), (V{"c/3.wav#1", "a/1.wav#3", "a/1.wav#1"}));
    EXPECT_EQ(s.walk({.night = "2026-06-02"}, true), (V{"c/3.wav#1"}));
    EXPECT_EQ(s.walk({.site = "North"}, true), (V{"a/1.wav#1", "a/1.wav#3"}));
    EXPECT_EQ(s.walk({.label = "NYCNOC"}, true), (V{"a/1.wav#3"}));
    EXPECT_EQ(s.walk({.label = "unidentified"}, true), (V{"c/3.wav#1"}));

    // Vetting the first pass takes it out of the not-vetted walk; a pass
    // with a single vetted call stays in it.
    auto first = review::nextPass(*s.p, nullptr, {}, 1000, true);
    ASSERT_TRUE(first);
    review::labelPass(*s.p, *first, "PIPPIP", "ann", "2026-12-11T20:00:00Z");
    auto c = review::passAt(*s.p, s.c, 1, 1000);
    ASSERT_TRUE(c);
    s.p->setManualLabel(c->calls[0].id, "MYODAU", "ann", "2026-12-11T20:01:00Z");
    EXPECT_EQ(s.walk({.notVetted = true}, true), (V{"a/1.wav#3", "c/3.wav#1"}));
}

TEST(ProjectReview, DecisionsStoreTheLabelTheUserAndTheTimeAndReachTheSummaries)
{
    Season s;
    const std::string when = "2026-12-11T20:00:00Z";
    auto first = review::passAt(*s.p, s.a, 1, 1000);
    auto second = review::passAt(*s.p, s.a, 3, 1000);
    auto third = review::passAt(*s.p, s.c, 2, 1000);
    ASSERT_TRUE(first && second && third);
    EXPECT_EQ(first->autoLabel(), "PIPPIP");
    EXPECT_EQ(third->autoLabel(), "MYODAU");

    EXPECT_TRUE(review::acceptPass(*s.p, *first, "ann", when));
    review::labelPass(*s.p, *second, review::kNoiseLabel, "ann", when);
    // Accepting fills a call the classifier left out with the pass's label.
    EXPECT_TRUE(review::acceptPass(*s.p, *third, "bob", when));

    first = review::passAt(*s.p, s.a, 1, 1000);
    ASSERT_TRUE(first);
    for (const review::ReviewCall& c : first->calls) {
        EXPECT_EQ(c.manualLabel, "PIPPIP");
        EXPECT_EQ(c.vettedBy, "ann");
        EXPECT_EQ(c.vettedAt, when);
    }
    EXPECT_TRUE(first->vetted());
    EXPECT_EQ(review::passAt(*s.p, s.c, 1, 1000)->manualLabel(), "MYODAU");
    EXPECT_EQ(review::manualLabels(*s.p, s.a), (std::vector<std::string>{"PIPPIP", "noise"}));

    std::map<std::string, std::int64_t> calls;
    s.p->summary({SummaryKey::Species}, Project::kStoredPassGapMs,
                 [&](const SummaryRow& r) { calls[r.keys[0]] = r.calls; });
    EXPECT_EQ(calls, (std::map<std::string, std::int64_t>{{"MYODAU", 2}, {"PIPPIP", 2}, {"noise", 1}}));
    EXPECT_EQ(s.p->status().vetted, 5);

    // A pass without any automatic label cannot be accepted and stays as it was.
    const std::int64_t d = s.p->putRecording(recording("d.wav", "2026-06-03", "X"));
    s.p->storeCalls(d, "k", 0, {call(1, 0, 5)});
    auto bare = review::passAt(*s.p, d, 1, 1000);
    ASSERT_TRUE(bare);
    EXPECT_FALSE(review::acceptPass(*s.p, *bare, "ann", when));
    EXPECT_FALSE(review::passAt(*s.p, d, 1, 1000)->vetted());
}

TEST(ProjectReview, PagesAndCountsFollowFilterAndSort)
{
    Season s;
    using review::RecordingSort;
    struct Case {
        review::RecordingFilter filter;
        RecordingSort sort;
        bool descending;
        std::int64_t offset;
        int limit;
        std::vector<std::string> paths;
        std::int64_t count;
    };
    const Case cases[] = {
        {{}, RecordingSort::Path, false, 0, 10, {"a/1.wav", "b/2.wav", "c/3.wav"}, 3},
        {{}, RecordingSort::Path, true, 1, 1, {"b/2.wav"}, 3},
        {{}, RecordingSort::Calls, true, 0, 10, {"a/1.wav", "c/3.wav", "b/2.wav"}, 3},
        {{}, RecordingSort::Site, false, 0, 10, {"a/1.wav", "b/2.wav", "c/3.wav"}, 3},
        {{}, RecordingSort::Night, true, 0, 2, {"c/3.wav", "b/2.wav"}, 3},
        {{}, RecordingSort::Labels, false, 0, 10, {"b/2.wav", "c/3.wav", "a/1.wav"}, 3},
        {{.site = "South"}, RecordingSort::Path, false, 0, 10, {"b/2.wav", "c/3.wav"}, 2},
        {{.night = "2026-06-01", .site = "South"}, RecordingSort::Path, false, 0, 10, {"b/2.wav"}, 1},
        {{.label = "PIPPIP"}, RecordingSort::Path, false, 0, 10, {"a/1.wav"}, 1},
        {{.notVetted = true}, RecordingSort::Path, false, 0, 10, {"a/1.wav", "c/3.wav"}, 2},
        {{.site = "nowhere"}, RecordingSort::Path, false, 0, 10, {}, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.paths));
        std::vector<std::string> paths;
        for (const auto& row : review::recordingPage(*s.p, c.filter, c.sort, c.descending, c.offset, c.limit))
            paths.push_back(row.rec.path);
        EXPECT_EQ(paths, c.paths);
        EXPECT_EQ(review::countRecordings(*s.p, c.filter), c.count);
        // Read from the end when the page lies in the second half: the same rows.
        std::vector<std::string> fromEnd;
        for (const auto& row :
             review::recordingPage(*s.p, c.filter, c.sort, c.descending, c.offset, c.limit, c.count))
            fromEnd.push_back(row.rec.path);
        EXPECT_EQ(fromEnd, c.paths);
    }
    // Every single-row page of the whole table, both ways.
    for (int i = 0; i < 4; ++i) {
        const auto a = review::recordingPage(*s.p, {}, RecordingSort::Night, true, i, 1);
        const auto b = review::recordingPage(*s.p, {}, RecordingSort::Night, true, i, 1, 3);
        ASSERT_EQ(a.size(), b.size()) << i;
        if (!a.empty()) {
            EXPECT_EQ(a[0].rec.path, b[0].rec.path) << i;
        }
    }
    const auto page = review::recordingPage(*s.p, {}, RecordingSort::Path, false, 0, 1);
    ASSERT_EQ(page.size(), 1u);
    EXPECT_EQ(page[0].labels, "NYCNOC, PIPPIP");
    EXPECT_EQ(page[0].rec.calls, 3);
    EXPECT_EQ(review::distinctSites(*s.p), (std::vector<std::string>{"North", "South"}));
    EXPECT_EQ(review::distinctLabels(*s.p), (std::vector<std::string>{"MYODAU", "NYCNOC", "PIPPIP", "unidentified"}));
}

// ---- labels into the files ----

Bytes guanPayload(const std::string& text)
{
    return Bytes(text.begin(), text.end());
}

struct WaveParts {
    Bytes before, guan, after;  // sub-chunks before the GUANO chunk, it, after it
};

Bytes wave(const WaveParts& w)
{
    Bytes all = w.before;
    all.insert(all.end(), w.guan.begin(), w.guan.end());
    all.insert(all.end(), w.after.begin(), w.after.end());
    return vestest::riffWave(all);
}

std::uint32_t le32(const Bytes& b, std::size_t at)
{
    return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<std::uint32_t>(b[at + 3]) << 24;
}

TEST(ProjectReview, TheLabelGoesIntoGuanoAndEveryOtherByteStays)
{
    const Bytes fmt = ByteWriter().chunk("fmt ", vestest::pcmFormat(1, 384000, 16)).data();
    const Bytes data = ByteWriter().chunk("data", Bytes(101, 7), true).data();  // odd, padded
    const Bytes list = ByteWriter().chunk("LIST", guanPayload("INFOISFT")).data();
    struct Case {
        const char* what;
        WaveParts parts;
    };
    const Case cases[] = {
        {"no GUANO yet: added at the end", {fmt + data, {}, {}}},
        {"GUANO between data and LIST, odd and padded",
         {fmt + data, ByteWriter().chunk("guan", guanPayload("GUANO|Version: 1.0\nSite Name: Moor\nX"), true).data(),
          list}},
        {"GUANO last, with an old manual label",
         {fmt + data, ByteWriter().chunk("guan", guanPayload("GUANO|Version: 1.0\nSpecies Manual ID: Myo\n")).data(),
          {}}},
        {"GUANO before the data, without a version line",
         {fmt, ByteWriter().chunk("guan", guanPayload("Note: a\n")).data(), data}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TempDir dir;
        const std::string file = dir.file("r.wav");
        const Bytes original = wave(c.parts);
        vestest::writeFile(file, original);
        std::string error;
        bool changed = false;
        ASSERT_TRUE(review::writeGuanoField(file, "Species Manual ID", "PIPPIP, noise", error, &changed)) << error;
        EXPECT_TRUE(changed);
        const Bytes got = vestest::readFile(file);
        // Everything before and after the GUANO chunk is as it was; the RIFF
        // length counts the new chunk.
        const std::size_t head = 12 + c.parts.before.size();
        ASSERT_GE(got.size(), original.size() - c.parts.guan.size());
        EXPECT_TRUE(std::equal(got.begin(), got.begin() + 4, original.begin()));
        EXPECT_TRUE(std::equal(got.begin() + 8, got.begin() + static_cast<long>(head), original.begin() + 8));
        EXPECT_TRUE(std::equal(c.parts.after.rbegin(), c.parts.after.rend(), got.rbegin()));
        EXPECT_EQ(le32(got, 4), got.size() - 8);
        const std::size_t guanEnd = got.size() - c.parts.after.size();
        ASSERT_EQ(std::string(got.begin() + static_cast<long>(head), got.begin() + static_cast<long>(head) + 4), "guan");
        const std::uint32_t n = le32(got, head + 4);
        EXPECT_EQ(head + 8 + n + (n & 1), guanEnd);
        GuanoRecord g;
        ASSERT_TRUE(GuanoRecord::parse(got.data() + head + 8, n, g, error)) << error;
        ASSERT_TRUE(g.find("Species Manual ID"));
        EXPECT_EQ(*g.find("Species Manual ID"), "PIPPIP, noise");
        EXPECT_TRUE(g.find(GuanoRecord::kVersionKey));
        if (const std::string* site = g.find("Site Name")) {
            EXPECT_EQ(*site, "Moor");
        }

        // The same label again changes nothing, not even the file's time.
        struct stat before {};
        ::stat(file.c_str(), &before);
        ASSERT_TRUE(review::writeGuanoField(file, "Species Manual ID", "PIPPIP, noise", error, &changed));
        EXPECT_FALSE(changed);
        EXPECT_EQ(vestest::readFile(file), got);
    }
}

TEST(ProjectReview, FilesThatAreNoWaveOrDamagedAreRefusedAndLeftAlone)
{
    const Bytes fmt = ByteWriter().chunk("fmt ", vestest::pcmFormat(1, 384000, 16)).data();
    Bytes badGuano = ByteWriter().chunk("guan", Bytes{'N', ':', 0x00, 0x41, 0x0a}).data();
    Bytes runaway = ByteWriter().tag("LIST").u32(100000).tag("INFO").data();
    struct Case {
        const char* what;
        Bytes bytes;
        const char* says;
    };
    const Case cases[] = {
        {"text", guanPayload("not a recording at all"), "not a wave file"},
        {"empty", {}, "not a wave file"},
        {"RF64", [&] { Bytes b = vestest::riffWave(fmt); std::copy_n("RF64", 4, b.begin()); return b; }(), "RF64"},
        {"GUANO with a NUL byte", vestest::riffWave(fmt + badGuano), "cannot be read"},
        {"a chunk running past the end", vestest::riffWave(fmt + runaway), "runs past the end"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TempDir dir;
        const std::string file = dir.file("r.wav");
        vestest::writeFile(file, c.bytes);
        std::string error;
        EXPECT_FALSE(review::writeGuanoField(file, "Species Manual ID", "PIPPIP", error));
        EXPECT_NE(error.find(c.says), std::string::npos) << error;
        EXPECT_EQ(vestest::readFile(file), c.bytes);
    }
    std::string error;
    EXPECT_FALSE(review::writeGuanoField("/nonexistent/r.wav", "Species Manual ID", "PIPPIP", error));
    EXPECT_NE(error.find("cannot open"), std::string::npos);
}

// Inputs that once crashed the program, as recordings to label: each is
// written or refused with a message, a refused one is left as it was, and
// nothing is left beside it.
TEST(ProjectReview, InputsThatOnceCrashedAreLabelledOrRefusedWithAMessage)
{
    const auto inputs = vestest::sharedCrashInputs();
    if (inputs.empty())
        GTEST_SKIP() << "no crash inputs beside the project (../shared/crashes)";
    for (const std::string& input : inputs) {
        SCOPED_TRACE(input);
        TempDir dir;
        const std::string file = dir.file("r.wav");
        const Bytes bytes = vestest::readFile(input);
        vestest::writeFile(file, bytes);
        std::string error;
        bool changed = false;
        if (!review::writeGuanoField(file, "Species Manual ID", "PIPPIP", error, &changed)) {
            EXPECT_FALSE(error.empty());
            EXPECT_EQ(vestest::readFile(file), bytes);
        } else {
            EXPECT_TRUE(review::writeGuanoField(file, "Species Manual ID", "PIPPIP", error, &changed)) << error;
            EXPECT_FALSE(changed);
        }
        std::size_t left = 0;
        for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(dir.path()))
            ++left;
        EXPECT_EQ(left, 1u);
    }
}

TEST(ProjectReview, WritingLabelsKeepsTheProjectsFileRecordsCurrent)
{
    TempDir dir;
    const std::string root = dir.path();
    const Bytes bytes = vestest::riffWave(ByteWriter().chunk("fmt ", vestest::pcmFormat(1, 384000, 16)).data() +
                                          ByteWriter().chunk("data", Bytes(200, 1)).data());
    vestest::writeFile(dir.file("a.wav"), bytes);
    vestest::writeFile(dir.file("b.wav"), bytes);
    auto p = Project::create(dir.file("p.vproj"));
    RecordingRow ra = recording("a.wav", "2026-06-01", "A");
    ra.size = static_cast<std::int64_t>(bytes.size());
    ra.hash = fileContentHash(dir.file("a.wav"), ra.size);
    RecordingRow rb = ra;
    rb.path = "b.wav";
    RecordingRow rc = ra;
    rc.path = "gone.wav";
    const std::int64_t a = p->putRecording(ra), b = p->putRecording(rb), c = p->putRecording(rc);
    p->setMissing(c, true);
    p->storeCalls(a, "k", 0, {call(1, 0, 5)});
    p->storeCalls(b, "k", 0, {call(1, 0, 5)});
    p->storeCalls(c, "k", 0, {call(1, 0, 5)});
    review::labelPass(*p, *review::passAt(*p, a, 1, 1000), "PIPPIP", "ann", "2026-12-11T20:00:00Z");
    review::labelPass(*p, *review::passAt(*p, c, 1, 1000), "PIPPIP", "ann", "2026-12-11T20:00:00Z");

    const review::WriteLabelsResult r = review::writeLabelsToFiles(*p, root);
    EXPECT_EQ(r.written, 1);
    ASSERT_EQ(r.failures.size(), 1u);
    EXPECT_NE(r.failures[0].find("gone.wav"), std::string::npos);
    EXPECT_EQ(vestest::readFile(dir.file("b.wav")), bytes);  // nothing vetted there
    const auto row = p->find("a.wav");
    ASSERT_TRUE(row);
    struct stat st {};
    ASSERT_EQ(::stat(dir.file("a.wav").c_str(), &st), 0);
    EXPECT_EQ(row->size, st.st_size);
    EXPECT_EQ(row->mtime, st.st_mtime);
    EXPECT_EQ(row->hash, fileContentHash(dir.file("a.wav"), st.st_size));
    EXPECT_TRUE(review::rootHoldsRecordings(*p, root, 5));
    EXPECT_FALSE(review::rootHoldsRecordings(*p, dir.file("elsewhere"), 5));
}

}  // namespace
