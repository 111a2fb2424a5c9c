// The review side of a project: pages of the recordings table, passes, manual
// labels and the labels written back into the recordings (Project.h, the
// block "Review").
#include "project/Project.h"
#include "project/ProjectColumns.h"

#include "core/AtomicFile.h"
#include "records/GuanoRecord.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <map>

namespace review {

namespace {


// The WHERE terms of a filter over recordings `r`; their values go to
// parameters ?101, ?102, … (bindFilter), clear of the query's own.
struct FilterSql {
    std::string where;
    std::vector<std::string> values;
};

FilterSql filterSql(const RecordingFilter& f, bool withCallsOnly)
{
    FilterSql out;
    std::vector<std::string> terms;
    if (withCallsOnly)
        terms.push_back("r.call_count > 0");
    const auto add = [&](const std::string& term, const std::string& value) {
        out.values.push_back(value);
        std::string t = term;
        t.replace(t.find('#'), 1, "?" + std::to_string(100 + out.values.size()));
        terms.push_back(t);
    };
    if (!f.night.empty())
        add("r.night = #", f.night);
    if (!f.site.empty())
        add("r.site = #", f.site);
    if (!f.label.empty())
        add("EXISTS(SELECT 1 FROM recording_species s WHERE s.recording = r.id AND s.species = #)", f.label);
    if (f.notVetted)
        terms.push_back("EXISTS(SELECT 1 FROM calls c LEFT JOIN identifications i ON i.call = c.id"
                        " WHERE c.recording = r.id AND i.manual_label IS NULL)");
    for (std::size_t i = 0; i < terms.size(); ++i)
        out.where += (i == 0 ? " WHERE " : " AND ") + terms[i];
    return out;
}

void bindFilter(sql::Stmt& s, const FilterSql& f)
{
    for (std::size_t i = 0; i < f.values.size(); ++i)
        s.bind(101 + static_cast<int>(i), f.values[i]);
}

std::vector<std::string> strings(Project& p, const char* query)
{
    sql::Stmt s(p.db(), query);
    std::vector<std::string> out;
    while (s.step())
        out.push_back(s.text(0));
    return out;
}

std::string effectiveLabel(const ReviewCall& c)
{
    return c.manualLabel.empty() ? c.autoLabel : c.manualLabel;
}

// Every call of a recording with its identification, split into passes.
std::vector<Pass> passesOf(Project& p, const RecordingRow& rec, double passGapMs)
{
    std::string text = "SELECT c.id, c.number, c.start_frame, c.end_frame";
    text += projectcolumns::measureColumns(", c.", "");
    text += ", i.auto_label, i.auto_confidence, i.manual_label, i.vetted_by, i.vetted_at"
            " FROM calls c LEFT JOIN identifications i ON i.call = c.id WHERE c.recording = ?1 ORDER BY c.number, c.id";
    sql::Stmt s(p.db(), text.c_str());
    s.bind(1, rec.id);
    std::vector<Pass> passes;
    double lastEnd = 0;
    while (s.step()) {
        ReviewCall c;
        c.id = s.i64(0);
        c.m.call = static_cast<int>(s.i64(1));
        c.m.startFrame = s.i64(2);
        c.m.endFrame = s.i64(3);
        projectcolumns::readMeasures(s, 4, c.m);
        const int k = 4 + projectcolumns::measureCount();
        c.autoLabel = s.isNull(k) ? "" : s.text(k);
        c.autoConfidence = s.isNull(k + 1) ? 0 : s.real(k + 1);
        c.manualLabel = s.isNull(k + 2) ? "" : s.text(k + 2);
        c.vettedBy = s.isNull(k + 3) ? "" : s.text(k + 3);
        c.vettedAt = s.isNull(k + 4) ? "" : s.text(k + 4);
        // The summaries' rule: a call that starts at least the gap after
        // every earlier call ended starts a new pass.
        if (passes.empty() || c.m.startMs - lastEnd >= passGapMs) {
            passes.push_back({rec, {}});
            lastEnd = c.m.endMs;
        }
        lastEnd = std::max(lastEnd, c.m.endMs);
        passes.back().calls.push_back(std::move(c));
    }
    return passes;
}

bool passMatches(const Pass& pass, const RecordingFilter& f)
{
    if (f.notVetted && pass.vetted())
        return false;
    if (!f.label.empty()) {
        const bool any = std::any_of(pass.calls.begin(), pass.calls.end(), [&](const ReviewCall& c) {
            const std::string l = effectiveLabel(c);
            return (l.empty() ? std::string(Project::kUnidentified) : l) == f.label;
        });
        if (!any)
            return false;
    }
    return true;
}

std::optional<RecordingRow> recordingById(Project& p, std::int64_t id)
{
    sql::Stmt s(p.db(), ("SELECT " + projectcolumns::recordingColumns("r") + " FROM recordings r WHERE r.id = ?1").c_str());
    s.bind(1, id);
    if (!s.step())
        return std::nullopt;
    return projectcolumns::readRecording(s);
}

void storeManual(Project& p, const Pass& pass, const std::function<std::string(const ReviewCall&)>& labelOf,
                 const std::string& by, const std::string& when)
{
    sql::Db& db = p.db();
    sql::Stmt ident(db, "INSERT INTO identifications(call, manual_label, vetted_by, vetted_at) VALUES(?1, ?2, ?3, ?4)"
                        " ON CONFLICT(call) DO UPDATE SET manual_label = excluded.manual_label,"
                        " vetted_by = excluded.vetted_by, vetted_at = excluded.vetted_at");
    sql::Stmt label(db, "UPDATE calls SET label = ?2 WHERE id = ?1");
    p.inTransaction([&] {
        for (const ReviewCall& c : pass.calls) {
            const std::string l = labelOf(c);
            if (l.empty())
                continue;
            ident.bind(1, c.id).bind(2, l).bind(3, by).bind(4, when).run();
            label.bind(1, c.id).bind(2, l).run();
        }
        p.refreshCounts(pass.rec.id);
    });
}

// ---- RIFF ----

std::uint32_t le32(const unsigned char* p)
{
    return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
           static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

void putLe32(unsigned char* p, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<unsigned char>(v >> (8 * i));
}

bool plausibleId(const unsigned char* p)
{
    for (int i = 0; i < 4; ++i)
        if (p[i] < 0x20 || p[i] > 0x7e)
            return false;
    return true;
}

struct File {
    std::FILE* f = nullptr;
    ~File()
    {
        if (f)
            std::fclose(f);
    }
};

bool readAt(std::FILE* f, std::int64_t offset, unsigned char* out, std::size_t n)
{
    return fseeko(f, static_cast<off_t>(offset), SEEK_SET) == 0 && std::fread(out, 1, n, f) == n;
}

bool copyRange(std::FILE* from, std::int64_t begin, std::int64_t end, std::FILE* to)
{
    if (begin >= end)
        return true;
    if (fseeko(from, static_cast<off_t>(begin), SEEK_SET) != 0)
        return false;
    std::vector<unsigned char> buf(1 << 20);
    for (std::int64_t left = end - begin; left > 0;) {
        const std::size_t n = static_cast<std::size_t>(std::min<std::int64_t>(left, static_cast<std::int64_t>(buf.size())));
        if (std::fread(buf.data(), 1, n, from) != n || std::fwrite(buf.data(), 1, n, to) != n)
            return false;
        left -= static_cast<std::int64_t>(n);
    }
    return true;
}

}  // namespace

std::string Pass::autoLabel() const
{
    std::map<std::string, int> votes;
    for (const ReviewCall& c : calls)
        if (!c.autoLabel.empty())
            ++votes[c.autoLabel];
    std::string best;
    int most = 0;
    for (const auto& [label, n] : votes)
        if (n > most)
            best = label, most = n;
    return best;
}

std::string Pass::manualLabel() const
{
    if (calls.empty() || calls.front().manualLabel.empty())
        return {};
    for (const ReviewCall& c : calls)
        if (c.manualLabel != calls.front().manualLabel)
            return {};
    return calls.front().manualLabel;
}

bool Pass::vetted() const
{
    return std::all_of(calls.begin(), calls.end(), [](const ReviewCall& c) { return !c.manualLabel.empty(); });
}

bool prepareForTable(Project& p)
{
    try {
        p.inTransaction([&] {
            p.db().exec("CREATE INDEX IF NOT EXISTS recordings_night_path ON recordings(night, path);"
                        "CREATE INDEX IF NOT EXISTS recordings_site_path ON recordings(site, path);"
                        "CREATE INDEX IF NOT EXISTS recordings_calls_path ON recordings(call_count, path)");
        });
        return true;
    } catch (const ProjectError&) {
        return false;
    }
}

std::int64_t countRecordings(Project& p, const RecordingFilter& filter)
{
    const FilterSql f = filterSql(filter, false);
    sql::Stmt s(p.db(), ("SELECT count(*) FROM recordings r" + f.where).c_str());
    bindFilter(s, f);
    return s.step() ? s.i64(0) : 0;
}

std::vector<RecordingListRow> recordingPage(Project& p, const RecordingFilter& filter, RecordingSort sort,
                                            bool descending, std::int64_t offset, int limit, std::int64_t total)
{
    // OFFSET steps over the rows it skips: from the end, the second half
    // costs what the first does.
    const bool fromEnd = total >= 0 && offset > total / 2;
    if (fromEnd) {
        if (offset >= total)
            return {};
        const std::int64_t end = std::min<std::int64_t>(total, offset + limit);
        limit = static_cast<int>(end - offset);
        offset = total - end;
        descending = !descending;
    }
    const FilterSql f = filterSql(filter, false);
    const char* dir = descending ? " DESC" : "";
    std::string order;
    switch (sort) {
    case RecordingSort::Path: break;
    case RecordingSort::Night: order = std::string("r.night") + dir + ", "; break;
    case RecordingSort::Site: order = std::string("r.site") + dir + ", "; break;
    // NULL (not analysed) sorts before 0, as the index has it.
    case RecordingSort::Calls: order = std::string("r.call_count") + dir + ", "; break;
    case RecordingSort::Labels: order = std::string("labels") + dir + ", "; break;
    }
    order += std::string("r.path") + dir;
    const std::string text = "SELECT " + projectcolumns::recordingColumns("r") +
                             ", (SELECT group_concat(species, ', ') FROM (SELECT species FROM recording_species"
                             " WHERE recording = r.id ORDER BY species)) AS labels FROM recordings r" +
                             f.where + " ORDER BY " + order + " LIMIT ?1 OFFSET ?2";
    sql::Stmt s(p.db(), text.c_str());
    bindFilter(s, f);
    s.bind(1, limit).bind(2, offset);
    std::vector<RecordingListRow> out;
    while (s.step())
        out.push_back({projectcolumns::readRecording(s), s.isNull(18) ? std::string() : s.text(18)});
    if (fromEnd)
        std::reverse(out.begin(), out.end());
    return out;
}

std::vector<std::string> distinctNights(Project& p)
{
    return strings(p, "SELECT DISTINCT night FROM recordings ORDER BY night");
}

std::vector<std::string> distinctSites(Project& p)
{
    return strings(p, "SELECT DISTINCT site FROM recordings ORDER BY site");
}

std::vector<std::string> distinctLabels(Project& p)
{
    return strings(p, "SELECT DISTINCT species FROM recording_species ORDER BY species");
}

std::optional<Pass> passAt(Project& p, std::int64_t recordingId, int number, double passGapMs)
{
    const std::optional<RecordingRow> rec = recordingById(p, recordingId);
    if (!rec)
        return std::nullopt;
    std::vector<Pass> passes = passesOf(p, *rec, passGapMs);
    for (Pass& pass : passes)
        if (number <= 0 || (number >= pass.firstNumber() && number <= pass.lastNumber()))
            return std::move(pass);
    return std::nullopt;
}

std::optional<Pass> nextPass(Project& p, const Pass* current, const RecordingFilter& filter, double passGapMs,
                             bool forward)
{
    // The rest of the current recording first.
    if (current) {
        std::vector<Pass> passes = passesOf(p, current->rec, passGapMs);
        if (!forward)
            std::reverse(passes.begin(), passes.end());
        for (Pass& pass : passes) {
            const bool beyond = forward ? pass.firstNumber() > current->lastNumber()
                                        : pass.lastNumber() < current->firstNumber();
            if (beyond && passMatches(pass, filter))
                return std::move(pass);
        }
    }
    // Then the recordings after it in path order, one by one through the
    // path index.
    const FilterSql f = filterSql(filter, true);
    std::string text = "SELECT " + projectcolumns::recordingColumns("r") + " FROM recordings r" + f.where;
    text += f.where.empty() ? " WHERE " : " AND ";
    text += forward ? "r.path > ?1 ORDER BY r.path LIMIT 1" : "r.path < ?1 ORDER BY r.path DESC LIMIT 1";
    sql::Stmt s(p.db(), text.c_str());
    // Past every path: a text sorting after any UTF-8 path.
    std::string after = current ? current->rec.path : (forward ? std::string() : std::string(4, '\xff'));
    for (;;) {
        bindFilter(s, f);
        s.bind(1, after);
        if (!s.step())
            return std::nullopt;
        const RecordingRow rec = projectcolumns::readRecording(s);
        s.reset();
        std::vector<Pass> passes = passesOf(p, rec, passGapMs);
        if (!forward)
            std::reverse(passes.begin(), passes.end());
        for (Pass& pass : passes)
            if (passMatches(pass, filter))
                return std::move(pass);
        after = rec.path;
    }
}

void labelPass(Project& p, const Pass& pass, const std::string& label, const std::string& by,
               const std::string& when)
{
    storeManual(p, pass, [&](const ReviewCall&) { return label; }, by, when);
}

bool acceptPass(Project& p, const Pass& pass, const std::string& by, const std::string& when)
{
    // A call without a label of its own takes the pass's: the classifier
    // may have left a weak call of a pass out.
    const std::string passLabel = pass.autoLabel();
    if (passLabel.empty())
        return false;
    storeManual(p, pass, [&](const ReviewCall& c) { return c.autoLabel.empty() ? passLabel : c.autoLabel; }, by,
                when);
    return true;
}

std::vector<std::string> manualLabels(Project& p, std::int64_t recordingId)
{
    sql::Stmt s(p.db(), "SELECT i.manual_label FROM calls c JOIN identifications i ON i.call = c.id"
                        " WHERE c.recording = ?1 AND i.manual_label IS NOT NULL ORDER BY c.number, c.id");
    s.bind(1, recordingId);
    std::vector<std::string> out;
    while (s.step()) {
        std::string l = s.text(0);
        if (std::find(out.begin(), out.end(), l) == out.end())
            out.push_back(std::move(l));
    }
    return out;
}

bool writeGuanoField(const std::string& path, const std::string& key, const std::string& value, std::string& error,
                     bool* changed)
{
    if (changed)
        *changed = false;
    File in;
    in.f = std::fopen(path.c_str(), "rb");
    if (!in.f) {
        error = "cannot open " + path + ": " + std::strerror(errno);
        return false;
    }
    struct stat st {};
    if (fstat(fileno(in.f), &st) != 0) {
        error = "cannot read " + path + ": " + std::strerror(errno);
        return false;
    }
    const std::int64_t size = st.st_size;
    unsigned char head[12];
    if (size < 12 || !readAt(in.f, 0, head, 12) || std::memcmp(head + 8, "WAVE", 4) != 0 ||
        (std::memcmp(head, "RIFF", 4) != 0 && std::memcmp(head, "RF64", 4) != 0)) {
        error = path + " is not a wave file (no RIFF/WAVE header)";
        return false;
    }
    if (std::memcmp(head, "RF64", 4) == 0) {
        error = path + " is an RF64 file; labels are written into RIFF wave files only";
        return false;
    }
    const std::int64_t riffEnd = std::min<std::int64_t>(size, 8 + static_cast<std::int64_t>(le32(head + 4)));
    // Walk the sub-chunks to the GUANO one, if any. Odd lengths are followed
    // by a pad byte in most files, but not in every program's: the pad is
    // taken when the byte after it starts a plausible chunk id.
    std::int64_t guanBegin = -1, guanEnd = -1, pos = 12;
    std::vector<std::uint8_t> oldPayload;
    while (pos + 8 <= riffEnd) {
        unsigned char ch[8];
        if (!readAt(in.f, pos, ch, 8)) {
            error = "cannot read " + path;
            return false;
        }
        const std::int64_t n = le32(ch + 4);
        std::int64_t next = pos + 8 + n;
        if (next > riffEnd && std::memcmp(ch, "data", 4) != 0) {
            error = path + ": the chunk '" + std::string(reinterpret_cast<char*>(ch), 4) +
                    "' runs past the end of the file; the file was left unchanged";
            return false;
        }
        if ((n & 1) != 0 && next + 5 <= riffEnd) {
            unsigned char probe[5];
            if (readAt(in.f, next, probe, 5) && probe[0] == 0 && plausibleId(probe + 1))
                ++next;
        }
        if (std::memcmp(ch, "guan", 4) == 0) {
            guanBegin = pos;
            guanEnd = std::min(next, riffEnd);
            oldPayload.resize(static_cast<std::size_t>(n));
            if (n > 0 && !readAt(in.f, pos + 8, oldPayload.data(), oldPayload.size())) {
                error = "cannot read the GUANO chunk of " + path;
                return false;
            }
            break;
        }
        pos = next;
    }
    GuanoRecord record;
    if (guanBegin >= 0 && !GuanoRecord::parse(oldPayload, record, error)) {
        error = path + ": its GUANO metadata cannot be read (" + error + "); the file was left unchanged";
        return false;
    }
    if (const std::string* old = record.find(key); old && *old == value)
        return true;
    if (!record.find(GuanoRecord::kVersionKey))
        record.fields().insert(record.fields().begin(), {GuanoRecord::kVersionKey, "1.0"});
    record.set(key, value);
    std::vector<std::uint8_t> payload = record.toBytes();
    std::vector<unsigned char> chunk(8);
    std::memcpy(chunk.data(), "guan", 4);
    putLe32(chunk.data() + 4, static_cast<std::uint32_t>(payload.size()));
    chunk.insert(chunk.end(), payload.begin(), payload.end());
    if (chunk.size() & 1)
        chunk.push_back(0);

    // Without a GUANO chunk the new one goes at the end of the WAVE form.
    const std::int64_t cutBegin = guanBegin >= 0 ? guanBegin : riffEnd;
    const std::int64_t cutEnd = guanBegin >= 0 ? guanEnd : riffEnd;
    const std::int64_t newRiffSize =
        static_cast<std::int64_t>(le32(head + 4)) + static_cast<std::int64_t>(chunk.size()) - (cutEnd - cutBegin);
    if (newRiffSize > 0xFFFFFFFFLL) {
        error = path + " would grow past 4 GiB; the file was left unchanged";
        return false;
    }
    vkit::AtomicFileWriter out;
    if (!out.open(path)) {
        error = "cannot write " + path + ": " + out.error();
        return false;
    }
    unsigned char riffHead[8];
    std::memcpy(riffHead, head, 4);
    putLe32(riffHead + 4, static_cast<std::uint32_t>(newRiffSize));
    bool ok = std::fwrite(riffHead, 1, 8, out.stream()) == 8 && copyRange(in.f, 8, cutBegin, out.stream()) &&
              std::fwrite(chunk.data(), 1, chunk.size(), out.stream()) == chunk.size() &&
              copyRange(in.f, cutEnd, size, out.stream());
    // The copy keeps the file's permissions.
    ok = ok && fchmod(fileno(out.stream()), st.st_mode & 07777) == 0;
    if (!ok) {
        out.abandon();
        error = "cannot write " + path + "; the file was left unchanged";
        return false;
    }
    if (!out.commit()) {
        error = "cannot write " + path + ": " + out.error() + "; the file was left unchanged";
        return false;
    }
    if (changed)
        *changed = true;
    return true;
}

WriteLabelsResult writeLabelsToFiles(Project& p, const std::string& root,
                                     const std::function<bool(std::int64_t done, std::int64_t total)>& progress)
{
    WriteLabelsResult result;
    std::vector<std::int64_t> ids;
    {
        sql::Stmt s(p.db(), "SELECT DISTINCT c.recording FROM identifications i JOIN calls c ON c.id = i.call"
                            " WHERE i.manual_label IS NOT NULL ORDER BY c.recording");
        while (s.step())
            ids.push_back(s.i64(0));
    }
    sql::Stmt update(p.db(), "UPDATE recordings SET size = ?2, mtime = ?3, hash = ?4 WHERE id = ?1");
    const std::int64_t total = static_cast<std::int64_t>(ids.size());
    for (std::int64_t done = 0; done < total; ++done) {
        if (progress && !progress(done, total))
            break;
        const std::optional<RecordingRow> rec = recordingById(p, ids[static_cast<std::size_t>(done)]);
        if (!rec)
            continue;
        std::string label;
        for (const std::string& l : manualLabels(p, rec->id))
            label += (label.empty() ? "" : ", ") + l;
        const std::string file = root.empty() ? rec->path : root + "/" + rec->path;
        std::string error;
        bool changed = false;
        if (!writeGuanoField(file, "Species Manual ID", label, error, &changed)) {
            result.failures.push_back(rec->path + ": " + error);
            continue;
        }
        if (!changed) {
            ++result.unchanged;
            continue;
        }
        ++result.written;
        struct stat st {};
        if (::stat(file.c_str(), &st) == 0)
            update.bind(1, rec->id).bind(2, static_cast<std::int64_t>(st.st_size))
                .bind(3, static_cast<std::int64_t>(st.st_mtime))
                .bind(4, fileContentHash(file, st.st_size))
                .run();
    }
    return result;
}

bool rootHoldsRecordings(Project& p, const std::string& root, int samples, int* checked)
{
    // The first readable recordings added: enough to tell a moved season
    // from another folder.
    sql::Stmt s(p.db(), "SELECT path, size, hash FROM recordings WHERE error IS NULL AND missing = 0 AND hash <> ''"
                        " ORDER BY id LIMIT ?1");
    s.bind(1, samples);
    int n = 0, good = 0;
    while (s.step()) {
        ++n;
        if (fileContentHash(root + "/" + s.text(0), s.i64(1)) == s.text(2))
            ++good;
    }
    if (checked)
        *checked = n;
    return n > 0 && good == n;
}

}  // namespace review
