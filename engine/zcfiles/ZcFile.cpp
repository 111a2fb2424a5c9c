#include "zcfiles/ZcFile.h"

#include "core/AtomicFile.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <fstream>

namespace zcfile {

namespace {

struct FieldPlace {
    std::size_t offset, size;
};

FieldPlace place(TextField f)
{
    switch (f) {
    case TextField::Tape: return {0, 8};
    case TextField::Date: return {8, 8};
    case TextField::Loc: return {16, 40};
    case TextField::Species: return {56, 50};
    case TextField::Spec: return {106, 16};
    case TextField::Note: return {122, 73};
    case TextField::Note1: return {195, 80};
    }
    return {0, 0};
}

std::string trimmed(const char* p, std::size_t n)
{
    std::size_t b = 0, e = n;
    const auto blank = [](char c) { return c == ' ' || c == '\0' || c == '\t'; };
    while (b < e && blank(p[b]))
        ++b;
    while (e > b && blank(p[e - 1]))
        --e;
    std::string out(p + b, e - b);
    // NULs inside a field (an old writer's fault) read as blanks.
    std::replace(out.begin(), out.end(), '\0', ' ');
    return out;
}

void padded(char* p, std::size_t n, const std::string& value)
{
    const std::size_t k = std::min(n, value.size());
    std::copy(value.begin(), value.begin() + static_cast<std::ptrdiff_t>(k), p);
    std::fill(p + k, p + n, ' ');
}

std::uint16_t u16(const std::uint8_t* p)
{
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}

void put16(std::uint8_t* p, std::uint32_t v)
{
    p[0] = static_cast<std::uint8_t>(v & 0xFF);
    p[1] = static_cast<std::uint8_t>((v >> 8) & 0xFF);
}

std::string hex(std::size_t v)
{
    char buf[32];
    std::snprintf(buf, sizeof buf, "0x%zX", v);
    return buf;
}

// Reads intervals and runs of types 130 … 132.
bool parseData130(const std::uint8_t* d, std::size_t size, std::size_t at, int type, ZcFile& out, std::string& error)
{
    std::int64_t last = -1;  // no interval yet
    while (at < size) {
        const std::uint8_t b = d[at];
        if (b < 0x80) {
            if (last < 0) {
                error = "the first interval is a difference to one before it (byte " + hex(at) + ")";
                return false;
            }
            const int delta = b < 0x40 ? b : b - 0x80;
            const std::int64_t v = last + delta;
            if (v < 0) {
                error = "an interval below zero at byte " + hex(at);
                return false;
            }
            out.intervals.push_back(static_cast<std::uint32_t>(v));
            last = v;
            ++at;
        } else if (b < 0xE0) {
            const std::size_t n = b < 0xA0 ? 2 : b < 0xC0 ? 3 : 4;
            if (size - at < n) {
                error = "the file ends inside the interval at byte " + hex(at) + " (truncated)";
                return false;
            }
            std::uint32_t v = b & 0x1Fu;
            for (std::size_t k = 1; k < n; ++k)
                v = (v << 8) | d[at + k];
            out.intervals.push_back(v);
            last = v;
            at += n;
        } else {
            StatusRun run;
            run.firstDot = out.intervals.size();
            run.code = b;
            if (type == 130) {
                run.count = b & 0x1F;
                ++at;
            } else {
                run.status = static_cast<DotStatus>(b & 3);
                if (size - at < 2) {
                    error = "the file ends inside the status run at byte " + hex(at) + " (truncated)";
                    return false;
                }
                run.count = d[at + 1];
                at += 2;
            }
            out.runs.push_back(run);
        }
    }
    return true;
}

bool parseData129(const std::uint8_t* d, std::size_t size, std::size_t at, ZcFile& out, std::string& error)
{
    std::int64_t last = 0;
    while (at < size) {
        const std::uint8_t b = d[at];
        if (b < 0x80) {
            last += b;
            out.intervals.push_back(static_cast<std::uint32_t>(std::min<std::int64_t>(last, ZcFile::kMaxInterval)));
            ++at;
        } else if (b > 248) {
            StatusRun run;
            run.firstDot = out.intervals.size();
            run.code = 0xE1;  // off
            run.count = b - 248;
            out.runs.push_back(run);
            ++at;
        } else {
            if (size - at < 2) {
                error = "the file ends inside the interval at byte " + hex(at) + " (truncated)";
                return false;
            }
            const int shift = (b >> 3) & 0x0F;
            last = static_cast<std::int64_t>(((b & 7) << 8) | d[at + 1]) << shift;
            out.intervals.push_back(static_cast<std::uint32_t>(last));
            at += 2;
        }
    }
    return true;
}

bool validDate(int y, int mo, int d)
{
    static const int days[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return y >= 1900 && y <= 2200 && mo >= 1 && mo <= 12 && d >= 1 && d <= days[mo - 1];
}

}  // namespace

const char* statusName(DotStatus s)
{
    switch (s) {
    case DotStatus::OutOfRange: return "out of range";
    case DotStatus::Off: return "off";
    case DotStatus::Normal: return "normal";
    case DotStatus::Main: return "main";
    }
    return "?";
}

bool Timestamp::valid() const
{
    return validDate(year, month, day) && hour < 24 && minute < 60 && second < 60 && hundredths < 100 &&
           micros < 10000 && hour >= 0 && minute >= 0 && second >= 0 && hundredths >= 0 && micros >= 0;
}

std::string Timestamp::iso() const
{
    if (!present())
        return {};
    char buf[64];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02dT%02d:%02d:%02d.%06d", year, month, day, hour, minute, second,
                  hundredths * 10000 + micros);
    return buf;
}

ZcFile::ZcFile()
{
    m_text.fill(' ');
    m_id.fill(' ');
    m_gps.fill(' ');
}

std::string ZcFile::text(TextField f) const
{
    const FieldPlace p = place(f);
    return trimmed(m_text.data() + p.offset, p.size);
}

void ZcFile::setText(TextField f, const std::string& value)
{
    const FieldPlace p = place(f);
    padded(m_text.data() + p.offset, p.size, value);
}

std::string ZcFile::id() const { return trimmed(m_id.data(), m_id.size()); }
void ZcFile::setId(const std::string& value) { padded(m_id.data(), m_id.size(), value); }
std::string ZcFile::gps() const { return trimmed(m_gps.data(), m_gps.size()); }
void ZcFile::setGps(const std::string& value) { padded(m_gps.data(), m_gps.size(), value); }

bool ZcFile::guanoRecord(GuanoRecord& out, std::string& error) const
{
    error.clear();
    out = GuanoRecord();
    const auto blank = [](std::uint8_t c) { return c == 0 || c == ' ' || c == 0xFF; };
    if (std::all_of(guano.begin(), guano.end(), blank))
        return false;
    static const std::string kStart = "GUANO|Version";
    std::size_t first = 0;
    while (first < guano.size() && (guano[first] == ' ' || guano[first] == '\r' || guano[first] == '\n'))
        ++first;
    if (guano.size() - first < kStart.size() || !std::equal(kStart.begin(), kStart.end(), guano.begin() + first)) {
        error = "the block before the data (0x150) is not GUANO metadata";
        return false;
    }
    if (!GuanoRecord::parse(guano.data(), guano.size(), out, error)) {
        error = "bad GUANO metadata: " + error;
        return false;
    }
    return true;
}

void ZcFile::setGuano(const GuanoRecord& g)
{
    guano = g.toBytes();
}

double ZcFile::frequencyOf(std::uint32_t intervalTicks) const
{
    const double us = ticksToMicros(intervalTicks);
    return us > 0 ? divRatio * 1e6 / (2.0 * us) : 0.0;
}

std::vector<DotStatus> ZcFile::statuses() const
{
    std::vector<DotStatus> out(intervals.size(), DotStatus::Normal);
    for (const StatusRun& r : runs) {
        const std::size_t end = std::min(out.size(), r.firstDot + static_cast<std::size_t>(r.count));
        for (std::size_t i = r.firstDot; i < end; ++i)
            out[i] = r.status;
    }
    return out;
}

std::vector<Dot> ZcFile::dots() const
{
    const std::vector<DotStatus> st = statuses();
    std::vector<Dot> out(intervals.size());
    double ticks = 0;
    for (std::size_t i = 0; i < intervals.size(); ++i) {
        ticks += intervals[i];
        out[i].timeUs = ticksToMicros(ticks);
        out[i].intervalUs = ticksToMicros(intervals[i]);
        out[i].freqHz = frequencyOf(intervals[i]);
        out[i].status = st[i];
    }
    return out;
}

double ZcFile::lengthUs() const
{
    double ticks = 0;
    for (std::uint32_t v : intervals)
        ticks += v;
    return ticksToMicros(ticks);
}

bool looksLikeZc(const std::uint8_t* head, std::size_t size)
{
    return size >= 4 && head[0] == 0x1A && head[1] == 0x01 && head[3] >= 129 && head[3] <= 132;
}

bool isZcPath(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::uint8_t head[4] = {};
    if (in && in.read(reinterpret_cast<char*>(head), 4))
        return looksLikeZc(head, 4);
    std::string ext = std::filesystem::path(path).extension().string();
    std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return !in && (ext == ".zc" || (!ext.empty() && ext.back() == '#'));
}

bool parse(const std::uint8_t* d, std::size_t size, ZcFile& out, std::string& error)
{
    out = ZcFile();
    error.clear();
    if (size < ZcFile::kTableOffset + 6) {
        error = "too short for a zero-crossing file (" + std::to_string(size) + " bytes; the header alone takes " +
                std::to_string(ZcFile::kTableOffset + 6) + ")";
        return false;
    }
    if (!looksLikeZc(d, size)) {
        error = "not a zero-crossing file (no Anabat header: table pointer " + hex(u16(d)) + ", type " +
                std::to_string(d[3]) + ")";
        return false;
    }
    out.type = d[3];
    const std::size_t table = u16(d);
    const std::size_t dataPointer = u16(d + table);
    out.res1 = u16(d + table + 2);
    out.divRatio = d[table + 4];
    out.vres = d[table + 5];
    const std::size_t headerEnd = out.type == 132 ? ZcFile::kGuanoOffset : table + 6;
    if (dataPointer < headerEnd) {
        error = "the data pointer " + hex(dataPointer) + " lies inside the header (which ends at " + hex(headerEnd) +
                ")";
        return false;
    }
    if (dataPointer > size) {
        error = "the data pointer " + hex(dataPointer) + " lies past the end of the file (" + std::to_string(size) +
                " bytes; truncated?)";
        return false;
    }
    if (out.res1 < 10000 || out.res1 > 60000) {
        error = "the time resolution RES1 is " + std::to_string(out.res1) + " (10000 to 60000 expected)";
        return false;
    }
    if (out.divRatio == 0) {
        error = "the division ratio is 0";
        return false;
    }
    std::copy(d + ZcFile::kTextOffset, d + ZcFile::kTextOffset + ZcFile::kTextBytes, out.m_text.begin());
    if (out.type == 132) {
        const std::uint8_t* t = d + ZcFile::kTimeOffset;
        out.time.year = u16(t);
        out.time.month = t[2];
        out.time.day = t[3];
        out.time.hour = t[4];
        out.time.minute = t[5];
        out.time.second = t[6];
        out.time.hundredths = t[7];
        out.time.micros = u16(t + 8);
        if (out.time.present() && !out.time.valid())
            out.warnings.push_back("the start time " + out.time.iso() + " is not a valid date and time");
        std::copy(d + ZcFile::kIdOffset, d + ZcFile::kIdOffset + 6, out.m_id.begin());
        std::copy(d + ZcFile::kGpsOffset, d + ZcFile::kGpsOffset + 32, out.m_gps.begin());
        out.guano.assign(d + ZcFile::kGuanoOffset, d + dataPointer);
        GuanoRecord g;
        std::string guanoError;
        if (!out.guanoRecord(g, guanoError) && !guanoError.empty())
            out.warnings.push_back(guanoError + " (kept as it is)");
    }
    out.rawHeader.assign(d, d + dataPointer);
    const bool ok = out.type == 129 ? parseData129(d, size, dataPointer, out, error)
                                    : parseData130(d, size, dataPointer, out.type, out, error);
    if (!ok)
        return false;
    for (const StatusRun& r : out.runs) {
        if (r.firstDot + static_cast<std::size_t>(r.count) > out.intervals.size()) {
            error = "a status run covers dots " + std::to_string(r.firstDot + 1) + " to " +
                    std::to_string(r.firstDot + static_cast<std::size_t>(r.count)) + " but the file has " +
                    std::to_string(out.intervals.size()) + " dots";
            return false;
        }
    }
    return true;
}

bool readFile(const std::string& path, ZcFile& out, std::string& error)
{
    std::string bytes;
    // ZC files are small (a detector's hold ~16 000 dots); anything beyond
    // this is no such file.
    constexpr std::size_t kMaxBytes = 256u * 1024 * 1024;
    if (!vkit::readWholeFile(path, bytes, kMaxBytes)) {
        std::error_code ec;
        error = std::filesystem::exists(path, ec) ? "cannot read the file" : "no such file";
        return false;
    }
    return parse(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size(), out, error);
}

bool encode(const ZcFile& f, std::vector<std::uint8_t>& out, std::string& error)
{
    out.clear();
    if (f.type < 130 || f.type > 132) {
        error = "zero-crossing files of type " + std::to_string(f.type) + " are not written (types 130 to 132 are)";
        return false;
    }
    if (f.divRatio == 0) {
        error = "the division ratio is 0";
        return false;
    }
    if (f.res1 < 10000 || f.res1 > 60000) {
        error = "the time resolution RES1 is " + std::to_string(f.res1) + " (10000 to 60000 expected)";
        return false;
    }
    for (const StatusRun& r : f.runs) {
        if (r.count < 0 || r.firstDot + static_cast<std::size_t>(r.count) > f.intervals.size()) {
            error = "a status run covers dots past the last one (" + std::to_string(f.intervals.size()) + " dots)";
            return false;
        }
    }
    // Types 130 and 131 keep whatever stood between the table and the data.
    const std::size_t headerEnd = f.type == 132 ? ZcFile::kGuanoOffset + f.guano.size()
                                                : std::max<std::size_t>(ZcFile::kTableOffset + 6, f.rawHeader.size());
    if (headerEnd > 0xFFFF) {
        error = "the GUANO block is too large for the data pointer (" + std::to_string(f.guano.size()) + " bytes)";
        return false;
    }
    // The header: what was read (reserved bytes kept), or blanks and zeros.
    std::vector<std::uint8_t> h(headerEnd, 0);
    const std::size_t keep = std::min({f.rawHeader.size(), headerEnd,
                                       f.type == 132 ? ZcFile::kGuanoOffset : headerEnd});
    if (!f.rawHeader.empty() && f.rawHeader.size() >= ZcFile::kTableOffset + 6)
        std::copy(f.rawHeader.begin(), f.rawHeader.begin() + static_cast<std::ptrdiff_t>(keep), h.begin());
    put16(h.data(), ZcFile::kTableOffset);
    h[3] = static_cast<std::uint8_t>(f.type);
    std::copy(f.rawText(), f.rawText() + ZcFile::kTextBytes, h.begin() + ZcFile::kTextOffset);
    put16(h.data() + ZcFile::kTableOffset, static_cast<std::uint32_t>(headerEnd));
    put16(h.data() + ZcFile::kTableOffset + 2, f.res1);
    h[ZcFile::kTableOffset + 4] = f.divRatio;
    h[ZcFile::kTableOffset + 5] = f.vres;
    if (f.type == 132) {
        std::uint8_t* t = h.data() + ZcFile::kTimeOffset;
        put16(t, static_cast<std::uint32_t>(f.time.year));
        t[2] = static_cast<std::uint8_t>(f.time.month);
        t[3] = static_cast<std::uint8_t>(f.time.day);
        t[4] = static_cast<std::uint8_t>(f.time.hour);
        t[5] = static_cast<std::uint8_t>(f.time.minute);
        t[6] = static_cast<std::uint8_t>(f.time.second);
        t[7] = static_cast<std::uint8_t>(f.time.hundredths);
        put16(t + 8, static_cast<std::uint32_t>(f.time.micros));
        const std::string id = f.rawId(), gps = f.rawGps();
        std::copy(id.begin(), id.end(), h.begin() + ZcFile::kIdOffset);
        std::copy(gps.begin(), gps.end(), h.begin() + ZcFile::kGpsOffset);
        std::copy(f.guano.begin(), f.guano.end(), h.begin() + ZcFile::kGuanoOffset);
    }
    out = std::move(h);

    // The data.
    std::size_t nextRun = 0;
    const auto emitRuns = [&](std::size_t dot) -> bool {
        for (; nextRun < f.runs.size() && f.runs[nextRun].firstDot <= dot; ++nextRun) {
            const StatusRun& r = f.runs[nextRun];
            if (r.firstDot < dot)
                continue;  // out of order: dropped rather than misplaced
            if (f.type == 130) {
                if (r.count > 31) {
                    error = "a status run of " + std::to_string(r.count) + " dots does not fit a type-130 file";
                    return false;
                }
                out.push_back(static_cast<std::uint8_t>(0xE0 | r.count));
            } else {
                if (r.count < 0 || r.count > 255) {
                    error = "a status run of " + std::to_string(r.count) + " dots (at most 255 fit one run)";
                    return false;
                }
                // The code as read keeps its spare bits; only the status counts.
                const std::uint8_t code = (r.code & 0xE0) == 0xE0 ? r.code : 0xE0;
                out.push_back(static_cast<std::uint8_t>((code & 0xFC) | static_cast<std::uint8_t>(r.status)));
                out.push_back(static_cast<std::uint8_t>(r.count));
            }
        }
        return true;
    };
    std::int64_t last = -1;
    for (std::size_t i = 0; i < f.intervals.size(); ++i) {
        if (!emitRuns(i))
            return false;
        const std::uint32_t v = f.intervals[i];
        if (v > ZcFile::kMaxInterval) {
            error = "interval " + std::to_string(i + 1) + " of " + std::to_string(v) +
                    " ticks is too long for the format (at most 2^29 - 1)";
            return false;
        }
        const std::int64_t delta = static_cast<std::int64_t>(v) - last;
        if (last >= 0 && delta > -64 && delta < 64) {
            out.push_back(static_cast<std::uint8_t>(delta & 0x7F));
        } else if (v < (1u << 13)) {
            out.push_back(static_cast<std::uint8_t>(0x80 | (v >> 8)));
            out.push_back(static_cast<std::uint8_t>(v & 0xFF));
        } else if (v < (1u << 21)) {
            out.push_back(static_cast<std::uint8_t>(0xA0 | (v >> 16)));
            out.push_back(static_cast<std::uint8_t>((v >> 8) & 0xFF));
            out.push_back(static_cast<std::uint8_t>(v & 0xFF));
        } else {
            out.push_back(static_cast<std::uint8_t>(0xC0 | (v >> 24)));
            out.push_back(static_cast<std::uint8_t>((v >> 16) & 0xFF));
            out.push_back(static_cast<std::uint8_t>((v >> 8) & 0xFF));
            out.push_back(static_cast<std::uint8_t>(v & 0xFF));
        }
        last = v;
    }
    return emitRuns(f.intervals.size());
}

bool writeFile(const std::string& path, const ZcFile& file, std::string& error)
{
    std::vector<std::uint8_t> bytes;
    if (!encode(file, bytes, error))
        return false;
    return vkit::writeFileAtomically(path, std::string(bytes.begin(), bytes.end()), &error);
}

}  // namespace zcfile
