// Shards of a project's call analysis: which recordings a shard takes, its
// results file (a small SQLite database written under a temporary name and
// renamed into place), and the merge of the results into the project.
#include "project/Project.h"
#include "project/ProjectColumns.h"
#include "project/QuietDocHost.h"

#include "document/CVesSoundDoc.h"
#include "pulse/CallDetector.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

// 'VPSH': tells a shard file from a project and any other database.
constexpr std::int64_t kShardApplicationId = 0x56505348;
constexpr int kShardFormat = 1;
constexpr int kMaxShards = 100000;

bool parseCount(const std::string& text, int& out)
{
    if (text.empty() || text.size() > 6)
        return false;
    int v = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return false;
        v = v * 10 + (c - '0');
    }
    out = v;
    return true;
}

std::string metaValue(sql::Db& db, const char* key)
{
    sql::Stmt s(db, "SELECT value FROM meta WHERE key = ?1");
    s.bind(1, key);
    return s.step() ? s.text(0) : std::string();
}

// Flushes a file's data, or its folder's entry after a rename, to disk.
bool syncPath(const std::string& path, bool folder)
{
    const int fd = ::open(path.c_str(), folder ? O_RDONLY | O_DIRECTORY : O_RDONLY);
    if (fd < 0)
        return false;
    const bool ok = ::fsync(fd) == 0 || folder;  // some file systems refuse a folder's fsync
    ::close(fd);
    return ok;
}

std::string parentOf(const std::string& path)
{
    const fs::path p = fs::path(path).parent_path();
    return p.empty() ? std::string(".") : p.string();
}

}  // namespace

bool parseShardSpec(const std::string& text, ShardSpec& out)
{
    const std::size_t slash = text.find('/');
    if (slash == std::string::npos)
        return false;
    ShardSpec s;
    if (!parseCount(text.substr(0, slash), s.index) || !parseCount(text.substr(slash + 1), s.count))
        return false;
    if (s.count < 1 || s.count > kMaxShards || s.index >= s.count)
        return false;
    out = s;
    return true;
}

std::string shardFilePath(const std::string& projectPath, const ShardSpec& shard)
{
    char suffix[64];
    std::snprintf(suffix, sizeof suffix, ".shard-%04d-of-%04d", shard.index, shard.count);
    return projectPath + suffix;
}

RecordingCallsResult analyseRecordingCalls(const std::string& file, const CallDetectorSettings& settings,
                                           const VesDefData& defaults)
{
    RecordingCallsResult r;
    std::error_code ec;
    if (!fs::exists(file, ec)) {
        r.missing = true;
        return r;
    }
    try {
        QuietDocHost host(file);
        CVesSoundDoc doc(host, defaults);
        if (!doc.open(file)) {
            r.error = host.messages.empty() ? std::string("cannot be read") : host.messages;
            return r;
        }
        CallCollector collector;
        detectCalls(doc, 0, -1, settings, collector);
        r.calls = std::move(collector.calls);
    } catch (const std::bad_alloc&) {
        // One damaged file claiming an absurd length must not end a shard.
        r.error = "not enough memory to analyse it";
        r.calls.clear();
    } catch (const std::exception& e) {
        r.error = e.what();
        r.calls.clear();
    }
    return r;
}

std::vector<RecordingRow> pendingForShard(Project& project, const std::string& settingsKey, const ShardSpec& shard,
                                          std::int64_t afterId, int limit)
{
    // The same condition as Project::pendingForCalls, cut to the shard.
    std::vector<RecordingRow> out;
    std::int64_t after = afterId;
    while (static_cast<int>(out.size()) < limit) {
        const std::vector<RecordingRow> page = project.pendingForCalls(settingsKey, after, 256);
        if (page.empty())
            break;
        for (const RecordingRow& r : page)
            if (r.id % shard.count == shard.index && static_cast<int>(out.size()) < limit)
                out.push_back(r);
        after = out.size() == static_cast<std::size_t>(limit) ? out.back().id : page.back().id;
    }
    return out;
}

ShardInfo readShardInfo(const std::string& path)
{
    sql::Db db(path, false, 5000);
    sql::Stmt app(db, "PRAGMA application_id");
    if (!app.step() || app.i64(0) != kShardApplicationId)
        throw ProjectError(ProjectError::Kind::NotAProject, path + " is not a shard file of a Vesperon project");
    ShardInfo info;
    info.path = path;
    if (std::atoi(metaValue(db, "format").c_str()) > kShardFormat)
        throw ProjectError(ProjectError::Kind::NewerSchema,
                           path + " was written by a newer Vesperon; merge it with that version");
    if (!parseShardSpec(metaValue(db, "shard"), info.shard))
        throw ProjectError(ProjectError::Kind::NotAProject, path + ": the shard file names no shard");
    info.settingsKey = metaValue(db, "settings");
    info.version = metaValue(db, "version");
    sql::Stmt n(db, "SELECT count(*) FROM results");
    info.recordings = n.step() ? n.i64(0) : 0;
    return info;
}

std::vector<std::string> listShardFiles(const std::string& projectPath)
{
    const fs::path project(projectPath);
    const std::string prefix = project.filename().string() + ".shard-";
    std::vector<std::pair<ShardSpec, std::string>> found;
    std::error_code ec;
    for (fs::directory_iterator it(parentOf(projectPath), ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        if (name.rfind(prefix, 0) != 0)
            continue;
        // "<I>-of-<N>" and nothing after it: temporary files end otherwise.
        const std::string rest = name.substr(prefix.size());
        const std::size_t of = rest.find("-of-");
        ShardSpec s;
        if (of == std::string::npos || !parseShardSpec(rest.substr(0, of) + "/" + rest.substr(of + 4), s))
            continue;
        found.emplace_back(s, it->path().string());
    }
    std::sort(found.begin(), found.end(), [](const auto& a, const auto& b) {
        return a.first.count != b.first.count ? a.first.count < b.first.count : a.first.index < b.first.index;
    });
    std::vector<std::string> out;
    for (auto& f : found)
        out.push_back(std::move(f.second));
    return out;
}

struct ShardWriter::Impl {
    std::string target, temp;
    std::unique_ptr<sql::Db> db;
    std::unique_ptr<sql::Stmt> result, call;
    bool committed = false;
};

ShardWriter::ShardWriter(const std::string& target, const ShardSpec& shard, const std::string& settingsKey,
                         const std::string& version)
    : m(std::make_unique<Impl>())
{
    static std::atomic<int> serial{0};
    char host[256] = "host";
    ::gethostname(host, sizeof host - 1);
    host[sizeof host - 1] = 0;
    m->target = target;
    // The machine and process in the name: the same shard run twice at once
    // (a job requeued while the first still runs) writes two files.
    const std::string own = target + ".tmp-" + host + "-";
    m->temp = own + std::to_string(::getpid()) + "-" + std::to_string(serial++);
    // What a killed run of this shard on this machine left behind goes.
    std::error_code ec;
    for (fs::directory_iterator it(parentOf(target), ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().string();
        if (name.rfind(own, 0) != 0)
            continue;
        const long pid = std::atol(name.c_str() + own.size());
        if (pid > 0 && ::kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH)
            std::remove(name.c_str());
    }
    std::remove(m->temp.c_str());
    m->db = std::make_unique<sql::Db>(m->temp, true, 5000);
    sql::Db& db = *m->db;
    // The file counts only once renamed into place, so it needs no journal.
    db.exec("PRAGMA journal_mode = OFF");
    db.exec("PRAGMA synchronous = OFF");
    db.exec(("PRAGMA application_id = " + std::to_string(kShardApplicationId)).c_str());
    db.exec("CREATE TABLE meta(key TEXT PRIMARY KEY, value TEXT NOT NULL);"
            "CREATE TABLE results(recording INTEGER PRIMARY KEY, path TEXT NOT NULL, size INTEGER NOT NULL,"
            " mtime INTEGER NOT NULL, hash TEXT NOT NULL, channel INTEGER NOT NULL, missing INTEGER NOT NULL,"
            " error TEXT);");
    db.exec(("CREATE TABLE calls(recording INTEGER NOT NULL, number INTEGER NOT NULL, start_frame INTEGER NOT NULL,"
             " end_frame INTEGER NOT NULL, contour_points INTEGER NOT NULL" +
             projectcolumns::measureColumns(", ", " REAL NOT NULL") + ")")
                .c_str());
    db.exec("BEGIN");
    sql::Stmt meta(db, "INSERT INTO meta(key, value) VALUES(?1, ?2)");
    meta.bind(1, "format").bind(2, std::to_string(kShardFormat)).run();
    meta.bind(1, "shard").bind(2, std::to_string(shard.index) + "/" + std::to_string(shard.count)).run();
    meta.bind(1, "settings").bind(2, settingsKey).run();
    meta.bind(1, "version").bind(2, version).run();
    m->result = std::make_unique<sql::Stmt>(
        db, "INSERT INTO results(recording, path, size, mtime, hash, channel, missing, error)"
            " VALUES(?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8)");
    std::string text = "INSERT INTO calls(recording, number, start_frame, end_frame, contour_points" +
                       projectcolumns::measureColumns(", ", "") + ") VALUES(?1, ?2, ?3, ?4, ?5";
    for (int i = 0; i < projectcolumns::measureCount(); ++i)
        text += ", ?" + std::to_string(6 + i);
    m->call = std::make_unique<sql::Stmt>(db, (text + ")").c_str());
}

ShardWriter::~ShardWriter()
{
    if (m->committed)
        return;
    m->call.reset();
    m->result.reset();
    m->db.reset();
    std::remove(m->temp.c_str());
}

void ShardWriter::add(const RecordingRow& row, int channel, const RecordingCallsResult& r)
{
    m->result->bind(1, row.id).bind(2, row.path).bind(3, row.size).bind(4, row.mtime).bind(5, row.hash);
    m->result->bind(6, channel).bind(7, r.missing ? 1 : 0).bind(8, r.error).run();
    for (const CallMeasures& c : r.calls) {
        m->call->bind(1, row.id).bind(2, c.call).bind(3, c.startFrame).bind(4, c.endFrame).bind(5, c.contourPoints);
        projectcolumns::bindMeasures(*m->call, 6, c);
        m->call->run();
    }
}

void ShardWriter::commit()
{
    m->db->exec("COMMIT");
    m->call.reset();
    m->result.reset();
    m->db.reset();
    if (!syncPath(m->temp, false))
        throw ProjectError(ProjectError::Kind::Other, m->temp + ": cannot be written to disk (" +
                                                          std::strerror(errno) + ")");
    if (std::rename(m->temp.c_str(), m->target.c_str()) != 0) {
        const std::string why = std::strerror(errno);
        std::remove(m->temp.c_str());
        m->committed = true;
        throw ProjectError(ProjectError::Kind::Other, m->target + ": cannot be written (" + why + ")");
    }
    syncPath(parentOf(m->target), true);
    m->committed = true;
}

MergeReport mergeCallShards(Project& project, const std::string& projectPath)
{
    MergeReport report;
    const std::vector<std::string> files = listShardFiles(projectPath);
    std::vector<ShardInfo> infos;
    for (const std::string& f : files)
        infos.push_back(readShardInfo(f));
    if (infos.empty())
        return report;
    // Results of different settings or versions are not one analysis: the
    // merged project would depend on which shard ran with what.
    for (const ShardInfo& i : infos)
        if (i.settingsKey != infos.front().settingsKey || i.version != infos.front().version) {
            const auto describe = [](const ShardInfo& s) {
                return "shard " + std::to_string(s.shard.index) + "/" + std::to_string(s.shard.count) +
                       " (version " + s.version + ", settings \"" + s.settingsKey + "\")";
            };
            throw ProjectError(ProjectError::Kind::Other,
                               "the shards were made with different settings or versions: " + describe(infos.front()) +
                                   " and " + describe(i) +
                                   "; nothing was merged. Run the odd ones again with the same options (remove "
                                   "the files of the settings you do not want) and merge again");
        }
    const std::string key = infos.front().settingsKey;
    sql::Db& pdb = project.db();
    for (const ShardInfo& info : infos) {
        {
            sql::Db db(info.path, false, 5000);
            sql::Stmt results(db, "SELECT recording, path, size, mtime, hash, channel, missing, error FROM results"
                                  " ORDER BY recording");
            sql::Stmt calls(db, ("SELECT number, start_frame, end_frame, contour_points" +
                                 projectcolumns::measureColumns(", ", "") +
                                 " FROM calls WHERE recording = ?1 ORDER BY rowid")
                                    .c_str());
            sql::Stmt current(pdb, "SELECT path, size, mtime, hash, analysed_with FROM recordings WHERE id = ?1");
            project.inTransaction([&] {
                while (results.step()) {
                    const std::int64_t id = results.i64(0);
                    current.bind(1, id);
                    // A recording changed, removed or analysed since the shard
                    // read it keeps what the project says.
                    const bool same = current.step() && current.text(0) == results.text(1) &&
                                      current.i64(1) == results.i64(2) && current.i64(2) == results.i64(3) &&
                                      current.text(3) == results.text(4) &&
                                      (current.isNull(4) || current.text(4) != key);
                    current.reset();
                    if (!same) {
                        ++report.skipped;
                        continue;
                    }
                    ++report.recordings;
                    if (results.i64(6) != 0) {
                        project.setMissing(id, true);
                        ++report.missing;
                    } else if (!results.isNull(7)) {
                        project.storeFailure(id, results.text(7));
                        ++report.unreadable;
                    } else {
                        std::vector<CallMeasures> list;
                        calls.bind(1, id);
                        while (calls.step()) {
                            CallMeasures c;
                            c.call = static_cast<int>(calls.i64(0));
                            c.startFrame = calls.i64(1);
                            c.endFrame = calls.i64(2);
                            c.contourPoints = static_cast<int>(calls.i64(3));
                            projectcolumns::readMeasures(calls, 4, c);
                            list.push_back(c);
                        }
                        calls.reset();
                        project.storeCalls(id, key, static_cast<int>(results.i64(5)), list);
                        report.calls += static_cast<std::int64_t>(list.size());
                    }
                }
            });
        }
        // Imported: a merge run again must not see it (it would skip its
        // recordings as analysed, but the file has done its work).
        std::remove(info.path.c_str());
        ++report.shards;
    }
    std::int64_t after = 0;
    for (;;) {
        const std::vector<RecordingRow> page = project.pendingForCalls(key, after, 1024);
        if (page.empty())
            break;
        report.pending += static_cast<std::int64_t>(page.size());
        after = page.back().id;
    }
    return report;
}
