#include "project/ProjectText.h"

#include "records/GuanoRecord.h"

#include <cstdio>
#include <ctime>

namespace {

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// `n` digits at `pos` as a number, or -1.
int digits(std::string_view s, std::size_t pos, int n)
{
    if (pos + static_cast<std::size_t>(n) > s.size())
        return -1;
    int v = 0;
    for (int i = 0; i < n; ++i) {
        const char c = s[pos + static_cast<std::size_t>(i)];
        if (!isDigit(c))
            return -1;
        v = v * 10 + (c - '0');
    }
    return v;
}

int daysInMonth(int year, int month)
{
    static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (month == 2 && ((year % 4 == 0 && year % 100 != 0) || year % 400 == 0))
        return 29;
    return days[month - 1];
}

// Days since 1970-01-01 of a civil date (proleptic Gregorian).
std::int64_t daysFromCivil(int y, int m, int d)
{
    y -= m <= 2;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const std::int64_t yoe = y - era * 400;
    const std::int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const std::int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

void civilFromDays(std::int64_t z, int& y, int& m, int& d)
{
    z += 719468;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const std::int64_t doe = z - era * 146097;
    const std::int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const std::int64_t mp = (5 * doy + 2) / 153;
    d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    y = static_cast<int>(yoe + era * 400 + (m <= 2));
}

std::string_view trim(std::string_view s)
{
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r' || s.back() == '\n'))
        s.remove_suffix(1);
    return s;
}

}  // namespace

bool validLocalTime(const LocalTime& t)
{
    return t.year >= 1900 && t.year <= 2999 && t.month >= 1 && t.month <= 12 && t.day >= 1 &&
           t.day <= daysInMonth(t.year, t.month) && t.hour >= 0 && t.hour <= 23 && t.minute >= 0 && t.minute <= 59 &&
           t.second >= 0 && t.second <= 60 && t.millis >= 0 && t.millis <= 999;
}

std::optional<LocalTime> parseIsoTimestamp(std::string_view text)
{
    const std::string_view s = trim(text);
    LocalTime t;
    t.year = digits(s, 0, 4);
    t.month = digits(s, 5, 2);
    t.day = digits(s, 8, 2);
    if (s.size() < 16 || s[4] != '-' || s[7] != '-' || (s[10] != 'T' && s[10] != ' ') || s[13] != ':')
        return std::nullopt;
    t.hour = digits(s, 11, 2);
    t.minute = digits(s, 14, 2);
    std::size_t pos = 16;
    if (pos < s.size() && s[pos] == ':') {
        t.second = digits(s, pos + 1, 2);
        pos += 3;
        if (pos < s.size() && (s[pos] == '.' || s[pos] == ',')) {
            ++pos;
            int scale = 100;
            const std::size_t first = pos;
            while (pos < s.size() && isDigit(s[pos])) {
                t.millis += (s[pos] - '0') * scale;
                scale /= 10;
                ++pos;
            }
            if (pos == first)
                return std::nullopt;
        }
    }
    // What may follow: nothing, 'Z', or an offset ±HH[[:]MM].
    const std::string_view rest = s.substr(std::min(pos, s.size()));
    if (!rest.empty() && rest != "Z") {
        if (rest[0] != '+' && rest[0] != '-')
            return std::nullopt;
        const int oh = digits(rest, 1, 2);
        if (oh < 0 || oh > 23)
            return std::nullopt;
        const std::string_view mm = rest.substr(3);
        if (!mm.empty() && !(mm.size() == 2 && digits(mm, 0, 2) >= 0) &&
            !(mm.size() == 3 && mm[0] == ':' && digits(mm, 1, 2) >= 0))
            return std::nullopt;
    }
    if (!validLocalTime(t))
        return std::nullopt;
    return t;
}

std::optional<LocalTime> parseNameTimestamp(std::string_view name)
{
    for (std::size_t i = 0; i + 15 <= name.size(); ++i) {
        if (i > 0 && isDigit(name[i - 1]))
            continue;
        const char sep = name[i + 8];
        if (sep != '_' && sep != '-' && sep != 'T')
            continue;
        if (i + 15 < name.size() && isDigit(name[i + 15]))
            continue;
        LocalTime t;
        t.year = digits(name, i, 4);
        t.month = digits(name, i + 4, 2);
        t.day = digits(name, i + 6, 2);
        t.hour = digits(name, i + 9, 2);
        t.minute = digits(name, i + 11, 2);
        t.second = digits(name, i + 13, 2);
        if (validLocalTime(t))
            return t;
    }
    return std::nullopt;
}

std::optional<LocalTime> parseHeaderTimestamp(std::string_view date, std::string_view time)
{
    date = trim(date);
    time = trim(time);
    LocalTime t;
    if (date.size() == 10 && date[4] == '-' && date[7] == '-') {
        t.year = digits(date, 0, 4);
        t.month = digits(date, 5, 2);
        t.day = digits(date, 8, 2);
    } else if (date.size() == 10 && date[2] == '.' && date[5] == '.') {
        t.day = digits(date, 0, 2);
        t.month = digits(date, 3, 2);
        t.year = digits(date, 6, 4);
    } else if (date.size() == 8) {
        t.year = digits(date, 0, 4);
        t.month = digits(date, 4, 2);
        t.day = digits(date, 6, 2);
    } else {
        return std::nullopt;
    }
    if (time.size() < 5 || time[2] != ':')
        return std::nullopt;
    t.hour = digits(time, 0, 2);
    t.minute = digits(time, 3, 2);
    if (time.size() >= 8 && time[5] == ':')
        t.second = digits(time, 6, 2);
    else if (time.size() != 5)
        return std::nullopt;
    if (!validLocalTime(t))
        return std::nullopt;
    return t;
}

LocalTime localTimeOfEpoch(std::int64_t seconds)
{
    const std::time_t tt = static_cast<std::time_t>(seconds);
    std::tm tm{};
    LocalTime t;
    if (!::localtime_r(&tt, &tm))
        return t;
    t.year = tm.tm_year + 1900;
    t.month = tm.tm_mon + 1;
    t.day = tm.tm_mday;
    t.hour = tm.tm_hour;
    t.minute = tm.tm_min;
    t.second = tm.tm_sec;
    return t;
}

std::string formatLocalTime(const LocalTime& t)
{
    char buf[48];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d.%03d", t.year, t.month, t.day, t.hour, t.minute,
                  t.second, t.millis);
    return buf;
}

std::string nightOf(const LocalTime& t)
{
    if (!validLocalTime(t))
        return {};
    // Before noon a time belongs to the night that began the evening before.
    std::int64_t days = daysFromCivil(t.year, t.month, t.day);
    if (t.hour < 12)
        --days;
    int y = 0, m = 0, d = 0;
    civilFromDays(days, y, m, d);
    char buf[24];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02d", y, m, d);
    return buf;
}

const char* startSourceName(StartSource s)
{
    switch (s) {
    case StartSource::Guano: return "guano";
    case StartSource::Header: return "header";
    case StartSource::Name: return "name";
    case StartSource::FileTime: return "file-time";
    case StartSource::None: break;
    }
    return "none";
}

std::string folderLevel(std::string_view path, int level)
{
    if (level < 1)
        return {};
    int current = 1;
    std::size_t start = 0;
    for (;;) {
        const std::size_t slash = path.find('/', start);
        if (slash == std::string_view::npos)
            return {};  // what is left is the file name
        if (slash > start) {
            if (current == level)
                return cleanLabel(path.substr(start, slash - start));
            ++current;
        }
        start = slash + 1;
    }
}

std::string cleanLabel(std::string_view text)
{
    std::string out;
    bool space = false;
    for (char c : text) {
        const unsigned char u = static_cast<unsigned char>(c);
        if (u < 0x20 || u == 0x7f || c == ' ') {
            space = space || c == ' ' || c == '\t';
            continue;
        }
        if (space && !out.empty())
            out += ' ';
        space = false;
        out += c;
    }
    constexpr std::size_t kMax = 120;
    if (out.size() > kMax) {
        std::size_t cut = kMax;
        while (cut > 0 && (static_cast<unsigned char>(out[cut]) & 0xC0) == 0x80)
            --cut;
        out.resize(cut);
    }
    return out;
}

std::string guanoSite(const GuanoRecord& guano)
{
    for (const char* key : {"Site Name", "Site", "Loc Name"})
        if (const std::string* v = guano.find(key); v && !cleanLabel(*v).empty())
            return cleanLabel(*v);
    return {};
}

std::string guanoDetector(const GuanoRecord& guano)
{
    for (const char* key : {"Serial", "Model"})
        if (const std::string* v = guano.find(key); v && !cleanLabel(*v).empty())
            return cleanLabel(*v);
    return {};
}
