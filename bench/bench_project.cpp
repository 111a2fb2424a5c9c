// A season project at scale, with synthetic rows: storing calls, looking up
// known files (what "project add" does for each file already in the project)
// and the night × site × species summary, each beside a yardstick in the same
// process: a plain SQLite insert or scan of a table of the same width, with no
// index. The summary is run over two sizes to show how it scales; the
// counters give rows per second, so the ratio to the yardstick is the figure
// to read (the machines are shared).
//
// The review cases time one step of the review window (the next pass, with
// each filter it offers), one stored decision and pages of the recordings
// table, over a season of VES_BENCH_PROJECT_RECORDINGS recordings (default
// 1 M) made by SQL; their budget is 100 ms a step.
//
// VES_BENCH_PROJECT_CALLS sets the larger size (default 2 M calls, 20 per
// recording; 20 M is the size of a busy season).
#include "project/Project.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <sys/resource.h>
#include <unistd.h>

namespace {

constexpr int kCallsPerRecording = 20;

std::int64_t largeSize()
{
    const char* env = std::getenv("VES_BENCH_PROJECT_CALLS");
    return env ? std::max<std::int64_t>(100000, std::atoll(env)) : 2000000;
}

std::string tempPath(const std::string& name)
{
    const char* tmp = std::getenv("TMPDIR");
    return std::string(tmp && *tmp ? tmp : "/tmp") + "/vesperon-bench-" + std::to_string(::getpid()) + "-" + name;
}

void removeDb(const std::string& path)
{
    for (const char* suffix : {"", "-wal", "-shm"})
        std::remove((path + suffix).c_str());
}

CallMeasures syntheticCall(int number, std::uint32_t& seed)
{
    seed = seed * 1664525u + 1013904223u;
    CallMeasures c;
    c.call = number;
    c.startMs = number * 80.0 + (seed >> 28);
    c.durationMs = 3 + (seed >> 29);
    c.endMs = c.startMs + c.durationMs;
    c.peakFreqHz = 40000 + (seed >> 16);
    c.charFreqHz = c.peakFreqHz - 1000;
    c.snrDb = 20 + (seed >> 27);
    c.startFrame = static_cast<std::int64_t>(c.startMs * 384);
    c.endFrame = static_cast<std::int64_t>(c.endMs * 384);
    return c;
}

const char* const kSpecies[] = {"Pipistrellus pipistrellus", "Myotis daubentonii", "Nyctalus noctula",
                                "Eptesicus serotinus"};

// A project of `calls` synthetic calls: 40 sites, nights over a season, a
// quarter of the calls identified. Built once per size and kept for the run.
struct Season {
    std::string path;
    std::unique_ptr<Project> project;
    std::int64_t recordings = 0, calls = 0;
};

// The built seasons, removed with their files when the program ends.
struct Seasons : std::map<std::int64_t, Season> {
    ~Seasons()
    {
        for (auto& [n, s] : *this) {
            s.project.reset();
            removeDb(s.path);
        }
    }
};

Season& season(std::int64_t calls)
{
    static Seasons built;
    Season& s = built[calls];
    if (s.project)
        return s;
    s.path = tempPath("season-" + std::to_string(calls) + ".vproj");
    removeDb(s.path);
    s.project = Project::create(s.path);
    s.recordings = calls / kCallsPerRecording;
    s.calls = calls;
    std::uint32_t seed = 1;
    constexpr std::int64_t kBatch = 2000;
    for (std::int64_t first = 0; first < s.recordings; first += kBatch) {
        s.project->inTransaction([&] {
            for (std::int64_t i = first; i < std::min(s.recordings, first + kBatch); ++i) {
                RecordingRow r;
                char name[96];
                const int site = static_cast<int>(i % 40), night = static_cast<int>((i / 40) % 150);
                std::snprintf(name, sizeof name, "SITE%02d/D%02d/%03d/R%09lld.wav", site, site, night,
                              static_cast<long long>(i));
                r.path = name;
                r.size = 1 << 20;
                r.mtime = 1700000000 + i;
                r.hash = "0123456789abcdef";
                r.rate = 384000;
                r.channels = 1;
                r.frames = 384000 * 3;
                r.lengthSec = 3;
                std::snprintf(name, sizeof name, "2026-%02d-%02d", 4 + night / 30, 1 + night % 28);
                r.night = name;
                r.startTime = r.night + " 22:00:00.000";
                r.startSource = "name";
                r.site = "SITE" + std::to_string(site);
                r.detector = "D" + std::to_string(site);
                const std::int64_t id = s.project->putRecording(r);
                std::vector<CallMeasures> list;
                for (int c = 1; c <= kCallsPerRecording; ++c)
                    list.push_back(syntheticCall(c, seed));
                s.project->storeCalls(id, "k", 0, list);
                // A quarter of the calls identified, as a classifier would: all
                // of a recording's, then its counts once.
                for (int c = 4; c <= kCallsPerRecording; c += 4)
                    s.project->setAutoLabel(s.project->callId(id, c), kSpecies[(i + c) % 4], 0.8, false);
                s.project->refreshCounts(id);
            }
        });
    }
    return s;
}

void rows(benchmark::State& state, std::int64_t perIteration)
{
    state.counters["rows_per_s"] =
        benchmark::Counter(static_cast<double>(perIteration) * static_cast<double>(state.iterations()),
                           benchmark::Counter::kIsRate);
    rusage ru{};
    ::getrusage(RUSAGE_SELF, &ru);
    state.counters["max_rss_mb"] = static_cast<double>(ru.ru_maxrss) / 1024.0;
}

// ---- storing: the calls of 1000 recordings, one transaction each (as a run does) ----

void BM_StoreCalls(benchmark::State& state)
{
    const std::string path = tempPath("store.vproj");
    removeDb(path);
    auto p = Project::create(path);
    std::vector<std::int64_t> ids;
    p->inTransaction([&] {
        for (int i = 0; i < 1000; ++i) {
            RecordingRow r;
            r.path = "r" + std::to_string(i) + ".wav";
            ids.push_back(p->putRecording(r));
        }
    });
    std::uint32_t seed = 7;
    std::vector<CallMeasures> list;
    for (int c = 1; c <= kCallsPerRecording; ++c)
        list.push_back(syntheticCall(c, seed));
    for (auto _ : state)
        for (std::int64_t id : ids)
            p->storeCalls(id, "k", 0, list);
    rows(state, 1000 * kCallsPerRecording);
    p.reset();
    removeDb(path);
}
BENCHMARK(BM_StoreCalls)->Unit(benchmark::kMillisecond);

// Yardstick: the same rows into a plain table of as many columns, one
// transaction per 20 rows.
void BM_PlainInsertYardstick(benchmark::State& state)
{
    const std::string path = tempPath("plain.db");
    removeDb(path);
    {
        sql::Db db(path, true, 0);
        db.exec("PRAGMA journal_mode = WAL");
        db.exec("PRAGMA synchronous = NORMAL");
        std::string cols = "CREATE TABLE plain(a INTEGER, b INTEGER";
        for (int i = 0; i < 28; ++i)
            cols += ", c" + std::to_string(i) + " REAL";
        db.exec((cols + ")").c_str());
        std::string ins = "INSERT INTO plain VALUES(?1, ?2";
        for (int i = 0; i < 28; ++i)
            ins += ", ?" + std::to_string(i + 3);
        sql::Stmt s(db, (ins + ")").c_str());
        for (auto _ : state) {
            for (int r = 0; r < 1000; ++r) {
                sql::Transaction t(db);
                for (int c = 0; c < kCallsPerRecording; ++c) {
                    s.bind(1, r).bind(2, c);
                    for (int i = 0; i < 28; ++i)
                        s.bind(i + 3, 1.5 * i);
                    s.run();
                }
                t.commit();
            }
        }
    }
    rows(state, 1000 * kCallsPerRecording);
    removeDb(path);
}
BENCHMARK(BM_PlainInsertYardstick)->Unit(benchmark::kMillisecond);

// ---- known files: the lookup "project add" makes per file it finds ----

void BM_KnownFileLookup(benchmark::State& state)
{
    Season& s = season(largeSize());
    std::int64_t i = 0, found = 0;
    for (auto _ : state) {
        char name[96];
        const int site = static_cast<int>(i % 40), night = static_cast<int>((i / 40) % 150);
        std::snprintf(name, sizeof name, "SITE%02d/D%02d/%03d/R%09lld.wav", site, site, night,
                      static_cast<long long>(i));
        found += s.project->find(name).has_value();
        i = (i + 7919) % s.recordings;
    }
    if (found != static_cast<std::int64_t>(state.iterations()))
        state.SkipWithError("a known file was not found");
    rows(state, 1);
    state.counters["recordings"] = static_cast<double>(s.recordings);
}
BENCHMARK(BM_KnownFileLookup);

// ---- the summary over all calls: at the stored pass gap (a row per
// recording and species) and at another (every call read) ----

void summaryAt(benchmark::State& state, double gapMs)
{
    Season& s = season(state.range(0));
    for (auto _ : state) {
        std::int64_t groups = 0, calls = 0;
        s.project->summary({SummaryKey::Night, SummaryKey::Site, SummaryKey::Species}, gapMs,
                           [&](const SummaryRow& r) {
                               ++groups;
                               calls += r.calls;
                           });
        if (calls != s.calls)
            state.SkipWithError("calls missing from the summary");
        benchmark::DoNotOptimize(groups);
    }
    rows(state, s.calls);
}
void BM_SummaryNightSiteSpecies(benchmark::State& state)
{
    summaryAt(state, Project::kStoredPassGapMs);
}
void BM_SummaryOtherPassGap(benchmark::State& state)
{
    summaryAt(state, 2000);
}

// Yardstick: a scan of the calls table alone, summing one column (no join,
// no grouping, no order).
void BM_PlainScanYardstick(benchmark::State& state)
{
    Season& s = season(state.range(0));
    sql::Stmt scan(s.project->db(), "SELECT sum(start_ms) FROM calls");
    for (auto _ : state) {
        scan.step();
        benchmark::DoNotOptimize(scan.real(0));
        scan.reset();
    }
    rows(state, s.calls);
}

// ---- review: moving to the next pass, and a page of the recordings table ----

std::int64_t reviewRecordings()
{
    const char* env = std::getenv("VES_BENCH_PROJECT_RECORDINGS");
    return env ? std::max<std::int64_t>(1000, std::atoll(env)) : 1000000;
}

// A season of `recordings` recordings made by SQL alone (a row-by-row build
// of a million recordings takes hours): 40 sites, 150 nights, four calls per
// recording in two passes, a quarter of the recordings with automatic labels
// and the kept counts that the label filter reads.
Season& reviewSeason()
{
    static Seasons built;
    const std::int64_t n = reviewRecordings();
    Season& s = built[n];
    if (s.project)
        return s;
    s.path = tempPath("review-" + std::to_string(n) + ".vproj");
    removeDb(s.path);
    s.project = Project::create(s.path);
    s.recordings = n;
    s.calls = 4 * n;
    sql::Db& db = s.project->db();
    // Every measure column the table has, zero but for the times.
    std::string measures, zeros;
    {
        sql::Stmt cols(db, "SELECT name FROM pragma_table_info('calls') WHERE type = 'REAL'");
        while (cols.step()) {
            const std::string c = cols.text(0);
            if (c == "start_ms" || c == "end_ms")
                continue;
            measures += ", " + c;
            zeros += ", 0";
        }
    }
    const std::string count = std::to_string(n);
    s.project->inTransaction([&] {
        db.exec(("WITH RECURSIVE k(i) AS (SELECT 0 UNION ALL SELECT i + 1 FROM k WHERE i < " + count +
                 " - 1) INSERT INTO recordings(path, size, mtime, hash, rate, channels, time_expansion, frames,"
                 " length_s, start_time, start_source, site, detector, night, analysed_with, call_count)"
                 " SELECT printf('SITE%02d/D%02d/%03d/R%09d.wav', i % 40, i % 40, (i / 40) % 150, i), 1048576,"
                 " 1700000000 + i, '0123456789abcdef', 384000, 1, 1, 1152000, 3,"
                 " printf('2026-%02d-%02d 22:00:00.000', 4 + ((i / 40) % 150) / 30, 1 + ((i / 40) % 150) % 28),"
                 " 'name', 'SITE' || (i % 40), 'D' || (i % 40),"
                 " printf('2026-%02d-%02d', 4 + ((i / 40) % 150) / 30, 1 + ((i / 40) % 150) % 28), 'k', 4 FROM k")
                    .c_str());
        // Calls 1, 2 (one pass) and 3, 4 (a second, 2 s later).
        db.exec(("INSERT INTO calls(recording, channel, number, start_frame, end_frame, contour_points, label,"
                 " start_ms, end_ms" + measures + ") SELECT r.id, 0, c.number, c.t * 384, (c.t + 5) * 384, 0,"
                 " CASE WHEN r.id % 4 = 0 THEN 'Nyctalus noctula' END, c.t, c.t + 5" + zeros +
                 " FROM recordings r, (SELECT 1 AS number, 100 AS t UNION ALL SELECT 2, 200"
                 " UNION ALL SELECT 3, 2200 UNION ALL SELECT 4, 2300) c ORDER BY r.id, c.number")
                    .c_str());
        db.exec("INSERT INTO identifications(call, auto_label, auto_confidence)"
                " SELECT id, label, 0.8 FROM calls WHERE label IS NOT NULL");
        db.exec("INSERT INTO recording_species(recording, species, calls, passes)"
                " SELECT recording, coalesce(label, 'unidentified'), count(*), 2 FROM calls GROUP BY recording, label");
    });
    review::prepareForTable(*s.project);
    return s;
}

// One step of the review window: the pass after the current one (one
// recording's calls and an index), with the filters the window offers.
// The budget is 100 ms a step: the time per iteration is the step.
void BM_ReviewNextPass(benchmark::State& state)
{
    Season& s = reviewSeason();
    review::RecordingFilter filter;
    if (state.range(0) == 1)
        filter.notVetted = true;
    if (state.range(0) == 2)
        filter.night = "2026-05-01";  // one night in 150: most recordings are skipped
    if (state.range(0) == 3)
        filter.label = "Nyctalus noctula";  // a quarter of the recordings
    std::optional<review::Pass> pass;
    for (auto _ : state) {
        pass = review::nextPass(*s.project, pass ? &*pass : nullptr, filter, Project::kStoredPassGapMs, true);
        if (!pass) {
            state.SkipWithError("no pass found");
            break;
        }
    }
    state.counters["recordings"] = static_cast<double>(s.recordings);
}
BENCHMARK(BM_ReviewNextPass)->ArgName("filter")->DenseRange(0, 3)->Unit(benchmark::kMillisecond);

// A decision: the manual label of a pass stored with its recording's counts.
void BM_ReviewLabelPass(benchmark::State& state)
{
    Season& s = reviewSeason();
    std::optional<review::Pass> pass;
    for (auto _ : state) {
        pass = review::nextPass(*s.project, pass ? &*pass : nullptr, {}, Project::kStoredPassGapMs, true);
        review::labelPass(*s.project, *pass, kSpecies[1], "bench", "2026-12-11T20:00:00Z");
    }
    state.counters["recordings"] = static_cast<double>(s.recordings);
}
BENCHMARK(BM_ReviewLabelPass)->Unit(benchmark::kMillisecond);

// The table: the count, and a page of 256 rows in the middle of the order
// (the deepest OFFSET, as pages past it are read from the end), by path (0),
// by calls (1), filtered by a site (2) and by "not vetted" (3).
void BM_TablePage(benchmark::State& state)
{
    Season& s = reviewSeason();
    const auto sort = state.range(0) == 1 ? review::RecordingSort::Calls : review::RecordingSort::Path;
    review::RecordingFilter filter;
    if (state.range(0) == 2)
        filter.site = "SITE7";
    if (state.range(0) == 3)
        filter.notVetted = true;
    for (auto _ : state) {
        const std::int64_t n = review::countRecordings(*s.project, filter);
        const auto page = review::recordingPage(*s.project, filter, sort, false, n / 2, 256, n);
        if (page.empty())
            state.SkipWithError("an empty page");
    }
    state.counters["recordings"] = static_cast<double>(s.recordings);
}
BENCHMARK(BM_TablePage)->ArgName("kind")->DenseRange(0, 3)->Unit(benchmark::kMillisecond);

// The first page as the window opens: count and the first 256 rows by path.
void BM_TableFirstPage(benchmark::State& state)
{
    Season& s = reviewSeason();
    for (auto _ : state) {
        benchmark::DoNotOptimize(review::countRecordings(*s.project, {}));
        benchmark::DoNotOptimize(review::recordingPage(*s.project, {}, review::RecordingSort::Path, false, 0, 256));
    }
    state.counters["recordings"] = static_cast<double>(s.recordings);
}
BENCHMARK(BM_TableFirstPage)->Unit(benchmark::kMillisecond);

void sizes(benchmark::internal::Benchmark* b)
{
    b->Arg(largeSize() / 4)->Arg(largeSize())->Unit(benchmark::kMillisecond)->Iterations(2);
}
BENCHMARK(BM_SummaryNightSiteSpecies)->Apply(sizes);
BENCHMARK(BM_SummaryOtherPassGap)->Apply(sizes);
BENCHMARK(BM_PlainScanYardstick)->Apply(sizes);

}  // namespace

BENCHMARK_MAIN();
