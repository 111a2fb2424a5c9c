#include "project/Project.h"
#include "project/ProjectColumns.h"

#include "pulse/CallDetector.h"

#include <sqlite3.h>

#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <map>

namespace {

// 'VPRJ': tells a Vesperon project from any other SQLite database.
constexpr std::int64_t kApplicationId = 0x5650524A;

// The measurements of a call as stored, one column each, in the order of the
// table; doubles go in and out of SQLite's REAL unchanged, so an export
// gives the very rows the detector gave.
struct MeasureColumn {
    const char* name;
    double CallMeasures::*member;
};
const MeasureColumn kMeasures[] = {
    {"start_ms", &CallMeasures::startMs},
    {"end_ms", &CallMeasures::endMs},
    {"duration_ms", &CallMeasures::durationMs},
    {"max_freq_hz", &CallMeasures::maxFreqHz},
    {"min_freq_hz", &CallMeasures::minFreqHz},
    {"peak_freq_hz", &CallMeasures::peakFreqHz},
    {"low_freq_hz", &CallMeasures::lowFreqHz},
    {"high_freq_hz", &CallMeasures::highFreqHz},
    {"char_freq_hz", &CallMeasures::charFreqHz},
    {"knee_freq_hz", &CallMeasures::kneeFreqHz},
    {"bandwidth_hz", &CallMeasures::bandwidthHz},
    {"slope_khz_per_ms", &CallMeasures::slopeKHzPerMs},
    {"interval_ms", &CallMeasures::intervalMs},
    {"snr_db", &CallMeasures::snrDb},
    {"roughness_hz", &CallMeasures::roughnessHz},
    {"step_hz", &CallMeasures::stepHz},
    {"prominence_db", &CallMeasures::prominenceDb},
    {"char_time_ms", &CallMeasures::charTimeMs},
    {"char_slope_ops", &CallMeasures::charSlopeOps},
    {"initial_slope_ops", &CallMeasures::initialSlopeOps},
    {"knee_time_ms", &CallMeasures::kneeTimeMs},
    {"mean_freq_hz", &CallMeasures::meanFreqHz},
    {"quality_pct", &CallMeasures::qualityPct},
};
constexpr int kMeasureCount = static_cast<int>(sizeof kMeasures / sizeof kMeasures[0]);

std::string measureColumns(const char* prefix, const char* suffix)
{
    std::string out;
    for (const MeasureColumn& m : kMeasures)
        out += std::string(prefix) + m.name + suffix;
    return out;
}

// Each step takes the schema from version i to i + 1. A later version adds
// a step here; existing projects are brought up to date when opened.
const char* const kMigrations[] = {
    // 0 → 1
    "CREATE TABLE meta(key TEXT PRIMARY KEY, value TEXT NOT NULL);"
    "CREATE TABLE recordings("
    " id INTEGER PRIMARY KEY, path TEXT NOT NULL UNIQUE, size INTEGER NOT NULL, mtime INTEGER NOT NULL,"
    " hash TEXT NOT NULL, rate INTEGER NOT NULL, channels INTEGER NOT NULL, time_expansion REAL NOT NULL,"
    " frames INTEGER NOT NULL, length_s REAL NOT NULL, start_time TEXT NOT NULL, start_source TEXT NOT NULL,"
    " site TEXT NOT NULL, detector TEXT NOT NULL, night TEXT NOT NULL, error TEXT, missing INTEGER NOT NULL DEFAULT 0,"
    " analysed_with TEXT, call_count INTEGER);"
    "CREATE INDEX recordings_night_site ON recordings(night, site);"
    "CREATE INDEX recordings_analysed ON recordings(analysed_with);",
    nullptr,  // calls: built from the measure table below
    "CREATE TABLE recording_species("
    " recording INTEGER NOT NULL REFERENCES recordings(id) ON DELETE CASCADE, species TEXT NOT NULL,"
    " calls INTEGER NOT NULL, passes INTEGER NOT NULL, PRIMARY KEY(recording, species)) WITHOUT ROWID;"
    "CREATE TABLE identifications("
    " call INTEGER PRIMARY KEY REFERENCES calls(id) ON DELETE CASCADE, auto_label TEXT, auto_confidence REAL,"
    " manual_label TEXT, vetted_by TEXT, vetted_at TEXT);",
};

std::string callsTableSql()
{
    return "CREATE TABLE calls(id INTEGER PRIMARY KEY,"
           " recording INTEGER NOT NULL REFERENCES recordings(id) ON DELETE CASCADE,"
           " channel INTEGER NOT NULL, number INTEGER NOT NULL, start_frame INTEGER NOT NULL,"
           " end_frame INTEGER NOT NULL, contour_points INTEGER NOT NULL,"
           // The label that counts (manual, else automatic) kept beside the
           // call, so that summaries read one table.
           " label TEXT" +
           measureColumns(", ", " REAL NOT NULL") +
           ");"
           "CREATE INDEX calls_recording ON calls(recording, number);";
}

std::int64_t pragmaInt(sql::Db& db, const char* pragma)
{
    sql::Stmt s(db, pragma);
    return s.step() ? s.i64(0) : 0;
}


}  // namespace

namespace projectcolumns {

std::string measureColumns(const char* prefix, const char* suffix)
{
    return ::measureColumns(prefix, suffix);
}

int measureCount()
{
    return kMeasureCount;
}

void bindMeasures(sql::Stmt& s, int first, const CallMeasures& c)
{
    for (int i = 0; i < kMeasureCount; ++i)
        s.bind(first + i, c.*kMeasures[i].member);
}

void readMeasures(const sql::Stmt& s, int first, CallMeasures& c)
{
    for (int i = 0; i < kMeasureCount; ++i)
        c.*kMeasures[i].member = s.real(first + i);
}

std::string recordingColumns(const char* table)
{
    static const char* const kNames[] = {"id",         "path",       "size",      "mtime",       "hash",
                                         "rate",       "channels",   "time_expansion", "frames", "length_s",
                                         "start_time", "start_source", "site",    "detector",    "night",
                                         "error",      "missing",    "call_count"};
    std::string out;
    for (const char* name : kNames) {
        if (!out.empty())
            out += ", ";
        if (table)
            out += std::string(table) + ".";
        out += name;
    }
    return out;
}

RecordingRow readRecording(const sql::Stmt& s)
{
    RecordingRow r;
    r.id = s.i64(0);
    r.path = s.text(1);
    r.size = s.i64(2);
    r.mtime = s.i64(3);
    r.hash = s.text(4);
    r.rate = s.i64(5);
    r.channels = static_cast<int>(s.i64(6));
    r.timeExpansion = s.real(7);
    r.frames = s.i64(8);
    r.lengthSec = s.real(9);
    r.startTime = s.text(10);
    r.startSource = s.text(11);
    r.site = s.text(12);
    r.detector = s.text(13);
    r.night = s.text(14);
    if (!s.isNull(15))
        r.error = s.text(15);
    r.missing = s.i64(16) != 0;
    r.calls = s.isNull(17) ? -1 : static_cast<int>(s.i64(17));
    return r;
}

}  // namespace projectcolumns

Project::Project(std::unique_ptr<sql::Db> db) : m_db(std::move(db)) {}
Project::~Project()
{
    m_statements.clear();  // before the connection closes
}

sql::Stmt& Project::cached(const std::string& text)
{
    std::unique_ptr<sql::Stmt>& s = m_statements[text];
    if (!s)
        s = std::make_unique<sql::Stmt>(*m_db, text.c_str());
    return *s;
}

std::unique_ptr<Project> Project::open(const std::string& path)
{
    auto db = std::make_unique<sql::Db>(path, false, 5000);
    std::unique_ptr<Project> p(new Project(std::move(db)));
    p->migrate(false);
    return p;
}

std::unique_ptr<Project> Project::create(const std::string& path)
{
    auto db = std::make_unique<sql::Db>(path, true, 5000);
    std::unique_ptr<Project> p(new Project(std::move(db)));
    p->migrate(true);
    return p;
}

void Project::migrate(bool mayBeNew)
{
    sql::Db& db = *m_db;
    // Reading the header tells a database from any other file.
    const std::int64_t appId = pragmaInt(db, "PRAGMA application_id");
    const std::int64_t version = pragmaInt(db, "PRAGMA user_version");
    const std::int64_t tables = pragmaInt(db, "SELECT count(*) FROM sqlite_master");
    if (appId != kApplicationId && !(mayBeNew && appId == 0 && tables == 0))
        throw ProjectError(ProjectError::Kind::NotAProject,
                           db.path() + " is not a Vesperon project (a database of another program)");
    if (version > kSchemaVersion)
        throw ProjectError(ProjectError::Kind::NewerSchema,
                           db.path() + " was made by a newer Vesperon (project schema " + std::to_string(version) +
                               "; this one reads up to " + std::to_string(kSchemaVersion) +
                               "); it was left unchanged");
    db.exec("PRAGMA foreign_keys = ON");
    if (version == kSchemaVersion) {
        db.exec("PRAGMA journal_mode = WAL");
        db.exec("PRAGMA synchronous = NORMAL");
        return;
    }
    // WAL lets a second program read while this one writes; it is set
    // outside a transaction, once the file is a project.
    sql::Transaction t(db);
    if (version < 1) {
        db.exec(kMigrations[0]);
        db.exec(callsTableSql().c_str());
        db.exec(kMigrations[2]);
        db.exec("INSERT INTO meta(key, value) VALUES('root', '')");
    }
    db.exec(("PRAGMA application_id = " + std::to_string(kApplicationId)).c_str());
    db.exec(("PRAGMA user_version = " + std::to_string(kSchemaVersion)).c_str());
    t.commit();
    db.exec("PRAGMA journal_mode = WAL");
    db.exec("PRAGMA synchronous = NORMAL");
}

int Project::schemaVersion() const
{
    return static_cast<int>(pragmaInt(*m_db, "PRAGMA user_version"));
}

std::string Project::root() const
{
    sql::Stmt s(*m_db, "SELECT value FROM meta WHERE key = 'root'");
    return s.step() ? s.text(0) : std::string();
}

void Project::setRoot(const std::string& root)
{
    sql::Stmt s(*m_db, "INSERT OR REPLACE INTO meta(key, value) VALUES('root', ?1)");
    s.bind(1, root).run();
}

void Project::inTransaction(const std::function<void()>& fn)
{
    sql::Transaction t(*m_db);
    fn();
    t.commit();
}

std::optional<RecordingRow> Project::find(const std::string& path)
{
    sql::Stmt& s = cached("SELECT " + projectcolumns::recordingColumns() + " FROM recordings WHERE path = ?1");
    s.bind(1, path);
    std::optional<RecordingRow> row;
    if (s.step())
        row = projectcolumns::readRecording(s);
    s.reset();
    return row;
}

std::int64_t Project::putRecording(const RecordingRow& r)
{
    // An upsert keeps the id (and so any identification of calls that stay);
    // the calls of a changed file are dropped, as its contents changed.
    sql::Stmt& s = cached(
                "INSERT INTO recordings(path, size, mtime, hash, rate, channels, time_expansion, frames, length_s,"
                " start_time, start_source, site, detector, night, error, missing, analysed_with, call_count)"
                " VALUES(?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10, ?11, ?12, ?13, ?14, ?15, 0, NULL, NULL)"
                " ON CONFLICT(path) DO UPDATE SET size = excluded.size, mtime = excluded.mtime, hash = excluded.hash,"
                " rate = excluded.rate, channels = excluded.channels, time_expansion = excluded.time_expansion,"
                " frames = excluded.frames, length_s = excluded.length_s, start_time = excluded.start_time,"
                " start_source = excluded.start_source, site = excluded.site, detector = excluded.detector,"
                " night = excluded.night, error = excluded.error, missing = 0, analysed_with = NULL,"
                " call_count = NULL RETURNING id");
    s.bind(1, r.path).bind(2, r.size).bind(3, r.mtime).bind(4, r.hash).bind(5, r.rate).bind(6, r.channels);
    s.bind(7, r.timeExpansion).bind(8, r.frames).bind(9, r.lengthSec).bind(10, r.startTime).bind(11, r.startSource);
    s.bind(12, r.site).bind(13, r.detector).bind(14, r.night).bind(15, r.error);
    s.step();
    const std::int64_t id = s.i64(0);
    s.reset();
    cached("DELETE FROM calls WHERE recording = ?1").bind(1, id).run();
    cached("DELETE FROM recording_species WHERE recording = ?1").bind(1, id).run();
    return id;
}

void Project::setMissing(std::int64_t id, bool missing)
{
    cached("UPDATE recordings SET missing = ?2 WHERE id = ?1").bind(1, id).bind(2, missing ? 1 : 0).run();
}

void Project::forEachRecording(const std::string& folder, const std::function<void(const RecordingRow&)>& fn)
{
    // Paths under a folder sort together: "a/" ≤ path < "a0" ('0' follows '/').
    std::string sqlText = "SELECT " + projectcolumns::recordingColumns() + " FROM recordings";
    if (!folder.empty())
        sqlText += " WHERE path >= ?1 AND path < ?2";
    sqlText += " ORDER BY path COLLATE PATHS";
    sql::Stmt s(*m_db, sqlText.c_str());
    if (!folder.empty())
        s.bind(1, folder + "/").bind(2, folder + "0");
    while (s.step())
        fn(projectcolumns::readRecording(s));
}

std::vector<RecordingRow> Project::pendingForCalls(const std::string& settingsKey, std::int64_t afterId, int limit)
{
    sql::Stmt s(*m_db, ("SELECT " + projectcolumns::recordingColumns() +
                        " FROM recordings WHERE id > ?1 AND error IS NULL AND missing = 0"
                        " AND (analysed_with IS NULL OR analysed_with <> ?2) ORDER BY id LIMIT ?3")
                           .c_str());
    s.bind(1, afterId).bind(2, settingsKey).bind(3, limit);
    std::vector<RecordingRow> out;
    while (s.step())
        out.push_back(projectcolumns::readRecording(s));
    return out;
}

void Project::storeCalls(std::int64_t recordingId, const std::string& settingsKey, int channel,
                         const std::vector<CallMeasures>& calls)
{
    sql::Transaction t(*m_db);
    cached("DELETE FROM calls WHERE recording = ?1").bind(1, recordingId).run();
    std::string text = "INSERT INTO calls(recording, channel, number, start_frame, end_frame, contour_points" +
                       measureColumns(", ", "") + ") VALUES(?1, ?2, ?3, ?4, ?5, ?6";
    for (int i = 0; i < kMeasureCount; ++i)
        text += ", ?" + std::to_string(7 + i);
    text += ")";
    sql::Stmt& ins = cached(text);
    for (const CallMeasures& c : calls) {
        ins.bind(1, recordingId).bind(2, channel).bind(3, c.call).bind(4, c.startFrame).bind(5, c.endFrame);
        ins.bind(6, c.contourPoints);
        for (int i = 0; i < kMeasureCount; ++i)
            ins.bind(7 + i, c.*kMeasures[i].member);
        ins.run();
    }
    sql::Stmt& mark = cached("UPDATE recordings SET analysed_with = ?2, call_count = ?3, error = NULL WHERE id = ?1");
    mark.bind(1, recordingId).bind(2, settingsKey).bind(3, static_cast<std::int64_t>(calls.size())).run();
    refreshCounts(recordingId);
    t.commit();
}

void Project::storeFailure(std::int64_t recordingId, const std::string& message)
{
    sql::Transaction t(*m_db);
    sql::Stmt drop(*m_db, "DELETE FROM calls WHERE recording = ?1");
    drop.bind(1, recordingId).run();
    sql::Stmt mark(*m_db, "UPDATE recordings SET error = ?2, analysed_with = NULL, call_count = NULL WHERE id = ?1");
    mark.bind(1, recordingId).bind(2, message).run();
    refreshCounts(recordingId);
    t.commit();
}

void Project::forEachRecordingCalls(
    const std::function<void(const RecordingRow&, const std::vector<CallMeasures>&)>& fn)
{
    // One pass over the recordings in path order; each one's calls by the
    // index on (recording, number): memory holds one recording's calls.
    sql::Stmt recs(*m_db, ("SELECT " + projectcolumns::recordingColumns() +
                           " FROM recordings WHERE call_count IS NOT NULL ORDER BY path COLLATE PATHS")
                              .c_str());
    sql::Stmt calls(*m_db, ("SELECT number, start_frame, end_frame, contour_points" + measureColumns(", ", "") +
                            " FROM calls WHERE recording = ?1 ORDER BY number, id")
                               .c_str());
    std::vector<CallMeasures> list;
    while (recs.step()) {
        const RecordingRow row = projectcolumns::readRecording(recs);
        list.clear();
        calls.bind(1, row.id);
        while (calls.step()) {
            CallMeasures c;
            c.call = static_cast<int>(calls.i64(0));
            c.startFrame = calls.i64(1);
            c.endFrame = calls.i64(2);
            c.contourPoints = static_cast<int>(calls.i64(3));
            for (int i = 0; i < kMeasureCount; ++i)
                c.*kMeasures[i].member = calls.real(4 + i);
            list.push_back(c);
        }
        calls.reset();
        fn(row, list);
    }
}

std::int64_t Project::callId(std::int64_t recordingId, int number)
{
    sql::Stmt s(*m_db, "SELECT id FROM calls WHERE recording = ?1 AND number = ?2 ORDER BY id LIMIT 1");
    s.bind(1, recordingId).bind(2, number);
    return s.step() ? s.i64(0) : 0;
}

void Project::setAutoLabel(std::int64_t callId, const std::string& label, double confidence, bool refresh)
{
    sql::Stmt& s = cached("INSERT INTO identifications(call, auto_label, auto_confidence) VALUES(?1, ?2, ?3)"
                       " ON CONFLICT(call) DO UPDATE SET auto_label = excluded.auto_label,"
                       " auto_confidence = excluded.auto_confidence");
    s.bind(1, callId).bind(2, label).bind(3, confidence).run();
    cached("UPDATE calls SET label = (SELECT coalesce(manual_label, auto_label) FROM identifications WHERE call = ?1)"
           " WHERE id = ?1")
        .bind(1, callId)
        .run();
    if (refresh)
        refreshCounts(recordingOfCall(callId));
}

std::int64_t Project::recordingOfCall(std::int64_t callId)
{
    sql::Stmt& s = cached("SELECT recording FROM calls WHERE id = ?1");
    s.bind(1, callId);
    const std::int64_t id = s.step() ? s.i64(0) : 0;
    s.reset();
    return id;
}

void Project::refreshCounts(std::int64_t recordingId)
{
    cached("DELETE FROM recording_species WHERE recording = ?1").bind(1, recordingId).run();
    struct Count {
        std::string species;
        std::int64_t calls = 0, passes = 0;
        double lastEnd = 0;
    };
    std::vector<Count> counts;
    sql::Stmt& s = cached("SELECT label, start_ms, end_ms FROM calls WHERE recording = ?1 ORDER BY number, id");
    s.bind(1, recordingId);
    while (s.step()) {
        const std::string species = s.isNull(0) ? std::string(kUnidentified) : s.text(0);
        auto it = std::find_if(counts.begin(), counts.end(), [&](const Count& c) { return c.species == species; });
        const bool first = it == counts.end();
        if (first) {
            counts.push_back({species});
            it = counts.end() - 1;
        }
        const double start = s.real(1), end = s.real(2);
        ++it->calls;
        if (first || start - it->lastEnd >= kStoredPassGapMs)
            ++it->passes;
        it->lastEnd = first ? end : std::max(it->lastEnd, end);
    }
    s.reset();
    sql::Stmt& ins = cached("INSERT INTO recording_species(recording, species, calls, passes) VALUES(?1, ?2, ?3, ?4)");
    for (const Count& c : counts)
        ins.bind(1, recordingId).bind(2, c.species).bind(3, c.calls).bind(4, c.passes).run();
}

void Project::setManualLabel(std::int64_t callId, const std::string& label, const std::string& by,
                             const std::string& when)
{
    sql::Stmt& s = cached("INSERT INTO identifications(call, manual_label, vetted_by, vetted_at) VALUES(?1, ?2, ?3, ?4)"
                       " ON CONFLICT(call) DO UPDATE SET manual_label = excluded.manual_label,"
                       " vetted_by = excluded.vetted_by, vetted_at = excluded.vetted_at");
    s.bind(1, callId).bind(2, label).bind(3, by).bind(4, when).run();
    cached("UPDATE calls SET label = (SELECT coalesce(manual_label, auto_label) FROM identifications WHERE call = ?1)"
           " WHERE id = ?1")
        .bind(1, callId)
        .run();
    refreshCounts(recordingOfCall(callId));
}

void Project::summary(const std::vector<SummaryKey>& by, double passGapMs,
                      const std::function<void(const SummaryRow&)>& fn)
{
    bool bySpecies = false;
    for (SummaryKey k : by)
        bySpecies = bySpecies || k == SummaryKey::Species;
    const auto keyOf = [&](const std::string& night, const std::string& site, const std::string& species) {
        std::vector<std::string> keys;
        for (SummaryKey k : by)
            keys.push_back(k == SummaryKey::Night ? night : k == SummaryKey::Site ? site : species);
        return keys;
    };
    // The groups are few (nights × sites × species); the rows stream past.
    std::map<std::vector<std::string>, SummaryRow> groups;
    // Files per group, from the recordings alone (not when grouped by species:
    // a file counts for a species when it holds one of its calls).
    if (!bySpecies) {
        sql::Stmt s(*m_db, "SELECT night, site, count(*), sum(call_count > 0) FROM recordings"
                           " WHERE error IS NULL GROUP BY night, site");
        while (s.step()) {
            SummaryRow& g = groups[keyOf(s.text(0), s.text(1), {})];
            g.files += s.i64(2);
            g.withCalls += s.i64(3);
        }
    }
    // The (night, site) of each recording as a small number: 4 bytes per
    // recording, not the table.
    std::vector<std::pair<std::string, std::string>> places;
    std::vector<std::uint32_t> placeOf;
    {
        std::map<std::pair<std::string, std::string>, std::uint32_t> index;
        sql::Stmt recs(*m_db, "SELECT id, night, site FROM recordings");
        while (recs.step()) {
            const auto id = static_cast<std::size_t>(recs.i64(0));
            auto [it, added] = index.try_emplace({recs.text(1), recs.text(2)}, static_cast<std::uint32_t>(places.size()));
            if (added)
                places.push_back(it->first);
            if (placeOf.size() <= id)
                placeOf.resize(std::max(id + 1, placeOf.size() * 2), 0);
            placeOf[id] = it->second;
        }
    }
    const std::map<std::vector<std::string>, SummaryRow> filesOnly = groups;
    // One pass over the calls. A recording's calls are stored in one
    // transaction, in order, so they lie together in the table's own order,
    // which reads fastest; should they ever not (checked as they stream
    // past), the index on (recording, number) gives that order instead. A
    // pass is counted at each call that starts a run of its species in its
    // recording.
    const auto count = [&](const char* query) {
        sql::Stmt s(*m_db, query);
        std::int64_t recording = -1;
        int lastNumber = 0;
        std::vector<bool> done(placeOf.size(), false);
        struct Run {
            SummaryRow* group = nullptr;
            double lastEnd = 0;
        };
        // Per species, in the current recording: a few, searched in order.
        std::vector<std::pair<std::string, Run>> runs;
        while (s.step()) {
            const std::int64_t rec = s.i64(0);
            const int number = static_cast<int>(s.i64(4));
            if (rec != recording) {
                if (recording >= 0)
                    done[static_cast<std::size_t>(recording)] = true;
                if (rec < 0 || static_cast<std::size_t>(rec) >= placeOf.size() || done[static_cast<std::size_t>(rec)])
                    return false;
                recording = rec;
                runs.clear();
            } else if (number < lastNumber) {
                return false;
            }
            lastNumber = number;
            const auto& [night, site] = places[placeOf[static_cast<std::size_t>(rec)]];
            const std::string_view species = s.isNull(1) ? std::string_view(kUnidentified) : s.view(1);
            Run* run = nullptr;
            for (auto& r : runs)
                if (r.first == species)
                    run = &r.second;
            const bool first = run == nullptr;
            if (first) {
                runs.emplace_back(std::string(species), Run{});
                run = &runs.back().second;
                run->group = &groups[keyOf(night, site, runs.back().first)];
                if (bySpecies) {
                    ++run->group->files;
                    ++run->group->withCalls;
                }
            }
            SummaryRow& g = *run->group;
            ++g.calls;
            const double start = s.real(2), end = s.real(3);
            if (first || start - run->lastEnd >= passGapMs)
                ++g.passes;
            run->lastEnd = first ? end : std::max(run->lastEnd, end);
        }
        return true;
    };
    if (passGapMs == kStoredPassGapMs) {
        // The counts kept per recording and species: a row each, not a row per call.
        sql::Stmt s(*m_db, "SELECT recording, species, calls, passes FROM recording_species");
        while (s.step()) {
            const auto rec = static_cast<std::size_t>(s.i64(0));
            if (rec >= placeOf.size())
                continue;
            const auto& [night, site] = places[placeOf[rec]];
            SummaryRow& g = groups[keyOf(night, site, s.text(1))];
            g.calls += s.i64(2);
            g.passes += s.i64(3);
            if (bySpecies) {
                ++g.files;
                ++g.withCalls;
            }
        }
    } else if (!count("SELECT recording, label, start_ms, end_ms, number FROM calls")) {
        groups = filesOnly;
        count("SELECT recording, label, start_ms, end_ms, number FROM calls ORDER BY recording, number");
    }
    for (auto& [keys, row] : groups) {
        row.keys = keys;
        fn(row);
    }
}

ProjectStatus Project::status()
{
    ProjectStatus st;
    st.schemaVersion = schemaVersion();
    st.root = root();
    sql::Stmt r(*m_db, "SELECT count(*), sum(error IS NOT NULL), sum(missing), sum(call_count IS NOT NULL),"
                       " count(DISTINCT night), count(DISTINCT site), min(night), max(night) FROM recordings");
    if (r.step()) {
        st.recordings = r.i64(0);
        st.unreadable = r.i64(1);
        st.missing = r.i64(2);
        st.analysed = r.i64(3);
        st.nights = r.i64(4);
        st.sites = r.i64(5);
        st.firstNight = r.text(6);
        st.lastNight = r.text(7);
    }
    sql::Stmt c(*m_db, "SELECT (SELECT count(*) FROM calls), count(auto_label), count(manual_label)"
                       " FROM identifications");
    if (c.step()) {
        st.calls = c.i64(0);
        st.identified = c.i64(1);
        st.vetted = c.i64(2);
    }
    return st;
}

std::string callSettingsKey(const CallDetectorSettings& s)
{
    char buf[1024];
    std::snprintf(buf, sizeof buf,
                  "v1 band=%.17g,%.17g snr=%.17g bandsnr=%.17g bandwidth=%.17g edge=%.17g,%.17g dur=%.17g"
                  " int=%.17g max=%.17g echo=%.17g,%.17g low=%.17g,%.17g,%.17g rough=%.17g prom=%.17g"
                  " noise=%.17g win=%.17g ch=%d",
                  s.bandLowHz, s.bandHighHz, s.snrDb, s.bandSnrDb, s.bandWidthHz, s.edgeSnrDb, s.edgeDropDb,
                  s.minDurationMs, s.minIntervalMs, s.maxCallMs, s.echoWindowMs, s.echoDropDb, s.lowCallHz,
                  s.maxLowQualPct, s.maxLowCallMs, s.maxRoughnessBins, s.minProminenceDb, s.noiseWindowSec,
                  s.windowMs, static_cast<int>(s.channel));
    return buf;
}

std::string fileContentHash(const std::string& path, std::int64_t size)
{
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f)
        return {};
    std::uint64_t h = 1469598103934665603ull;
    const auto mix = [&h](const unsigned char* p, std::size_t n) {
        for (std::size_t i = 0; i < n; ++i) {
            h ^= p[i];
            h *= 1099511628211ull;
        }
    };
    constexpr std::int64_t kMiB = 1 << 20;
    std::vector<unsigned char> buf(static_cast<std::size_t>(kMiB));
    bool ok = true;
    const auto hashAt = [&](std::int64_t offset, std::int64_t n) {
        if (n <= 0 || std::fseek(f, static_cast<long>(offset), SEEK_SET) != 0) {
            ok = ok && n <= 0;
            return;
        }
        const std::size_t got = std::fread(buf.data(), 1, static_cast<std::size_t>(n), f);
        ok = ok && got == static_cast<std::size_t>(n);
        mix(buf.data(), got);
    };
    hashAt(0, std::min(size, kMiB));
    if (size > kMiB)
        hashAt(std::max(kMiB, size - kMiB), std::min(kMiB, size - kMiB));
    std::fclose(f);
    if (!ok)
        return {};
    const std::uint64_t n = static_cast<std::uint64_t>(size);
    mix(reinterpret_cast<const unsigned char*>(&n), sizeof n);
    char out[24];
    std::snprintf(out, sizeof out, "%016" PRIx64, h);
    return out;
}
