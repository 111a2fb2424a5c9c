// A season project: one SQLite database file holding a season's recordings
// (by path relative to the project's root), the calls found in them and
// their identifications, with per-night, per-site and per-species summaries.
//
// Writes happen in transactions, one recording (or one batch of files) at a
// time, so a run killed at any point keeps what it had finished and repeats
// nothing; the database runs in WAL mode, so a second program reading or
// writing at the same time sees a consistent project. Reads stream: no table
// is ever held in memory whole.
#pragma once

#include "project/Sqlite.h"
#include "pulse/CallMeasures.h"

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

struct CallDetectorSettings;

// What a project knows of one recording file.
struct RecordingRow {
    std::int64_t id = 0;
    std::string path;           // relative to the root, '/' between folders
    std::int64_t size = 0;      // bytes
    std::int64_t mtime = 0;     // modification time, seconds since the epoch
    std::string hash;           // of the first and last MiB and the size (hex)
    std::int64_t rate = 0;      // frames per second of the file
    int channels = 0;
    double timeExpansion = 1;
    std::int64_t frames = 0;
    double lengthSec = 0;       // file time
    std::string startTime;      // "YYYY-MM-DD HH:MM:SS.mmm" local, "" when unknown
    std::string startSource;    // guano, header, name, file-time
    std::string site, detector, night;
    std::optional<std::string> error;  // why the file could not be read
    bool missing = false;       // gone from its place since it was added
    int calls = -1;             // calls found; -1: not analysed
};

struct ProjectStatus {
    int schemaVersion = 0;
    std::string root;
    std::int64_t recordings = 0, unreadable = 0, missing = 0, analysed = 0, calls = 0, identified = 0, vetted = 0;
    std::int64_t nights = 0, sites = 0;
    std::string firstNight, lastNight;
};

enum class SummaryKey { Night, Site, Species };

struct SummaryRow {
    std::vector<std::string> keys;  // in the order asked for
    std::int64_t files = 0;         // recordings of the group (with a call of the species when by species)
    std::int64_t withCalls = 0;
    std::int64_t calls = 0;
    std::int64_t passes = 0;
};

class Project {
public:
    static constexpr int kSchemaVersion = 1;
    // The label of calls nobody identified yet, in summaries.
    static constexpr const char* kUnidentified = "unidentified";
    // The pass gap whose passes are counted as calls are stored, so that a
    // summary with it reads a row per recording and species, not every call.
    static constexpr double kStoredPassGapMs = 1000;

    // Opens an existing project; throws ProjectError: the file is missing,
    // is not a project, was made by a newer version, or is locked.
    static std::unique_ptr<Project> open(const std::string& path);
    // Makes a new project file (or opens the one that is there).
    static std::unique_ptr<Project> create(const std::string& path);
    ~Project();

    int schemaVersion() const;
    std::string root() const;
    void setRoot(const std::string& root);

    // ---- recordings ----
    // The stored row of a path relative to the root, or nothing.
    std::optional<RecordingRow> find(const std::string& path);
    // Adds the recording, or replaces the row of its path: a changed file
    // loses its calls (they are found again). Returns its id.
    std::int64_t putRecording(const RecordingRow& row);
    void setMissing(std::int64_t id, bool missing);
    // Runs fn in one transaction (committed when it returns, rolled back when
    // it throws).
    void inTransaction(const std::function<void()>& fn);

    // Calls `fn` for each recording under `folder` (relative; "" for all), in
    // path order.
    void forEachRecording(const std::string& folder, const std::function<void(const RecordingRow&)>& fn);

    // ---- calls ----
    // Readable recordings not yet analysed with `settingsKey`, in id order,
    // after `afterId`, at most `limit`.
    std::vector<RecordingRow> pendingForCalls(const std::string& settingsKey, std::int64_t afterId, int limit);
    // Replaces the calls of a recording by `calls` (channel 0 mix, 1 left,
    // 2 right) and marks it analysed with `settingsKey`, in one transaction.
    void storeCalls(std::int64_t recordingId, const std::string& settingsKey, int channel,
                    const std::vector<CallMeasures>& calls);
    // A recording that could not be analysed: its message is kept, its calls dropped.
    void storeFailure(std::int64_t recordingId, const std::string& message);
    // The calls of each analysed recording, in path order (each recording's
    // in the order found); fn gets the row and its calls.
    void forEachRecordingCalls(const std::function<void(const RecordingRow&, const std::vector<CallMeasures>&)>& fn);
    // Number of every call of the project, for identifications: the id of
    // call `number` of recording `recordingId`, or 0.
    std::int64_t callId(std::int64_t recordingId, int number);

    // ---- identifications ----
    // A label changes the counts of its recording (refreshCounts); a
    // classifier labelling many calls of one recording passes refresh = false
    // and refreshes once.
    void setAutoLabel(std::int64_t callId, const std::string& label, double confidence, bool refresh = true);
    void setManualLabel(std::int64_t callId, const std::string& label, const std::string& by,
                        const std::string& when);
    // Recomputes the calls and passes per species of a recording, kept for
    // the summaries.
    void refreshCounts(std::int64_t recordingId);

    // ---- summaries ----
    // One row per group, sorted by its keys. A pass is a run of calls of one
    // species in one recording with gaps (end to start) under `passGapMs`.
    void summary(const std::vector<SummaryKey>& by, double passGapMs,
                 const std::function<void(const SummaryRow&)>& fn);
    ProjectStatus status();

    // The open database, for benchmarks and tests that write synthetic rows.
    sql::Db& db() { return *m_db; }

private:
    explicit Project(std::unique_ptr<sql::Db> db);
    void migrate(bool isNew);
    // A prepared statement kept for the calls made once per file or call
    // (preparing costs more than running them); reset after every use.
    sql::Stmt& cached(const std::string& text);
    std::int64_t recordingOfCall(std::int64_t callId);
    std::unique_ptr<sql::Db> m_db;
    std::map<std::string, std::unique_ptr<sql::Stmt>> m_statements;
};

// A text that names every detector setting, stored with the recordings
// analysed with them: a changed setting makes them due again.
std::string callSettingsKey(const CallDetectorSettings& settings);

// Content hash of a file: FNV-1a over its first and last MiB and its size,
// 16 hex digits; "" when it cannot be read.
std::string fileContentHash(const std::string& path, std::int64_t size);

// ===========================================================================
// Shards: the calls of one project found by many processes or machines.
//
// Shard I of N takes the pending recordings whose id leaves remainder I when
// divided by N: a fixed part whatever order the shards run in, and the same
// part when a shard runs again. A shard never writes the project; its results
// go to a file of their own beside it (PROJECT.shard-I-of-N), written whole
// or not at all, with the detector settings and program version that made
// them. Merging checks that every shard used the same ones and imports the
// shards in order of N and I, each in one transaction, then removes it: a
// merge stopped at any point and run again loses and doubles nothing, and a
// recording analysed already (by an earlier merge or a plain run) is skipped.
// ===========================================================================

struct VesDefData;

struct ShardSpec {
    int index = 0;  // 0 .. count - 1
    int count = 1;
};
// "I/N" with 0 <= I < N <= 100000; false for anything else.
bool parseShardSpec(const std::string& text, ShardSpec& out);
// "<project>.shard-<I>-of-<N>", I and N with at least four digits.
std::string shardFilePath(const std::string& projectPath, const ShardSpec& shard);

// What became of one recording: its calls, or why it could not be read.
struct RecordingCallsResult {
    bool missing = false;
    std::optional<std::string> error;
    std::vector<CallMeasures> calls;
};
// Opens `file` and finds its calls as the calls command does; a file that
// cannot be read gives its message, never an exception.
RecordingCallsResult analyseRecordingCalls(const std::string& file, const CallDetectorSettings& settings,
                                           const VesDefData& defaults);

// Readable recordings of the shard not yet analysed with `settingsKey`, in id
// order, after `afterId`, at most `limit`.
std::vector<RecordingRow> pendingForShard(Project& project, const std::string& settingsKey, const ShardSpec& shard,
                                          std::int64_t afterId, int limit);

// The settings and version a shard file was made with; throws ProjectError
// when the file is not a shard file.
struct ShardInfo {
    std::string path;
    ShardSpec shard;
    std::string settingsKey, version;
    std::int64_t recordings = 0;
};
ShardInfo readShardInfo(const std::string& path);
// The shard files beside a project, in merge order (by N, then I).
std::vector<std::string> listShardFiles(const std::string& projectPath);

// Collects a shard's results in a temporary file beside the target;
// commit() syncs it and renames it into place. Destroyed uncommitted, the
// temporary file is removed and the target left as it was.
class ShardWriter {
public:
    ShardWriter(const std::string& target, const ShardSpec& shard, const std::string& settingsKey,
                const std::string& version);
    ~ShardWriter();
    ShardWriter(const ShardWriter&) = delete;
    ShardWriter& operator=(const ShardWriter&) = delete;
    void add(const RecordingRow& row, int channel, const RecordingCallsResult& result);
    void commit();

private:
    struct Impl;
    std::unique_ptr<Impl> m;
};

struct MergeReport {
    int shards = 0;
    std::int64_t recordings = 0, calls = 0, unreadable = 0, missing = 0;
    std::int64_t skipped = 0;  // analysed already, or changed since the shard read them
    std::int64_t pending = 0;  // recordings still due with the shards' settings afterwards
};
// Imports every shard file beside the project into it and removes them.
// Throws ProjectError, importing nothing, when the shards differ in settings
// or version (the message names them) or a file is not a shard file.
MergeReport mergeCallShards(Project& project, const std::string& projectPath);
// ==== Species classifier: the calls people labelled and the calls to label ====
// (ProjectCalls.cpp; free functions over the open database)

// The identity of one stored call beside its measurements: its id (for
// setAutoLabel) and the label a person gave it, "" when none.
struct CallIdentity {
    std::int64_t id = 0;
    std::string manualLabel;
};

// As Project::forEachRecordingCalls, with each call's id and manual label
// (same order as the calls).
void forEachRecordingCallsWithLabels(
    Project& project,
    const std::function<void(const RecordingRow&, const std::vector<CallMeasures>&, const std::vector<CallIdentity>&)>&
        fn);
// ==== end of the species classifier block ====
// ============================================================================
// Review: the pages of the recordings table, passes one at a time, manual
// labels and writing them back into the recordings' GUANO (ProjectReview.cpp).
// Free functions over Project::db(), so that the class itself stays as it is.
// ============================================================================

namespace review {

// The label a reviewer gives calls that are not a bat.
inline constexpr const char* kNoiseLabel = "noise";

// Which recordings the table and the review show; empty texts take all.
struct RecordingFilter {
    std::string night, site;
    std::string label;       // recordings with a call of this label (manual, else automatic)
    bool notVetted = false;  // recordings with a call nobody has vetted yet
};

enum class RecordingSort { Path, Night, Site, Calls, Labels };

// A row of the recordings table: the recording and the labels of its calls.
struct RecordingListRow {
    RecordingRow rec;
    std::string labels;  // the distinct labels of its calls, ", " between them
};

// Adds the indexes that the table's sorting and filtering by night, site and
// calls use (once; an index changes nothing a reader sees, so older
// programs read the project as before). False when the project cannot be
// written (read-only, locked): the table then works, slower.
bool prepareForTable(Project& p);

// Counted by SQL: nothing but the number leaves the database.
std::int64_t countRecordings(Project& p, const RecordingFilter& filter);
// The rows [offset, offset + limit) of the filtered table in the sort order
// (ties in path order), fetched as one page. Given the filter's `total`
// (countRecordings), a page in the second half is read from the end, so
// that no page skips more than half the rows.
std::vector<RecordingListRow> recordingPage(Project& p, const RecordingFilter& filter, RecordingSort sort,
                                            bool descending, std::int64_t offset, int limit,
                                            std::int64_t total = -1);
// The distinct nights, sites and labels, sorted, for the filter choices.
std::vector<std::string> distinctNights(Project& p);
std::vector<std::string> distinctSites(Project& p);
std::vector<std::string> distinctLabels(Project& p);

// One call as the review shows it.
struct ReviewCall {
    std::int64_t id = 0;  // the call's row, for labels
    CallMeasures m;
    std::string autoLabel;  // "" when none
    double autoConfidence = 0;
    std::string manualLabel;  // "" while not vetted
    std::string vettedBy, vettedAt;
};

// A pass: a run of calls of one recording whose gaps (end of a call to start
// of the next) are under the pass gap, counted as the summaries count them
// but over every call of the recording, whatever their labels, so that
// labelling a pass never moves its edges.
struct Pass {
    RecordingRow rec;
    std::vector<ReviewCall> calls;
    int firstNumber() const { return calls.empty() ? 0 : calls.front().m.call; }
    int lastNumber() const { return calls.empty() ? 0 : calls.back().m.call; }
    // The automatic label most of its calls carry ("" when none has one).
    std::string autoLabel() const;
    // The manual label when every call has the same one, else "".
    std::string manualLabel() const;
    bool vetted() const;
};

// The pass of recording `recordingId` holding call `number` (0: its first pass).
std::optional<Pass> passAt(Project& p, std::int64_t recordingId, int number, double passGapMs);
// The pass after (forward) or before `current` among the filtered
// recordings in path order; from the start (or the end) when `current` is
// null. With filter.notVetted, passes whose calls are all vetted are skipped.
// Each step reads one recording's calls and an index, whatever the size of
// the project.
std::optional<Pass> nextPass(Project& p, const Pass* current, const RecordingFilter& filter, double passGapMs,
                             bool forward);

// Gives every call of the pass the manual label `label`, stamped with `by`
// and `when` (UTC, ISO 8601), in one transaction.
void labelPass(Project& p, const Pass& pass, const std::string& label, const std::string& by,
               const std::string& when);
// Accepts the automatic labels: each call's becomes its manual label. False
// (and nothing stored) when no call of the pass has one.
bool acceptPass(Project& p, const Pass& pass, const std::string& by, const std::string& when);

// The manual labels of a recording, distinct, in the order of its calls.
std::vector<std::string> manualLabels(Project& p, std::int64_t recordingId);

// Puts `value` under `key` in a wave file's GUANO chunk (adding the chunk,
// with its version line, when there is none), leaving every other byte of the
// file as it was, through an atomic replace. False with `error` set when the
// file is not a RIFF/WAVE file, its chunks are damaged, its GUANO cannot be
// read or it cannot be written (the file is then unchanged). `changed` tells
// whether anything needed writing.
bool writeGuanoField(const std::string& path, const std::string& key, const std::string& value, std::string& error,
                     bool* changed = nullptr);

struct WriteLabelsResult {
    int written = 0, unchanged = 0;
    std::vector<std::string> failures;  // "path: reason"
};
// Writes each vetted recording's manual labels (", " between them) into its
// GUANO `Species Manual ID` and stores the file's new size, time and hash, so
// that the next `add` does not take it for a changed recording. `root` is
// where the recordings lie. `progress` may stop the run by returning false.
WriteLabelsResult writeLabelsToFiles(Project& p, const std::string& root,
                                     const std::function<bool(std::int64_t done, std::int64_t total)>& progress = {});

// Whether `root` holds this project's recordings: the hashes of up to
// `samples` readable recordings agree. `checked` gets how many were compared.
bool rootHoldsRecordings(Project& p, const std::string& root, int samples, int* checked = nullptr);

}  // namespace review
