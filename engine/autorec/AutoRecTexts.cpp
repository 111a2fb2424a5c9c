#include "autorec/AutoRecTexts.h"

#include "core/NumberText.h"
#include "core/TimeConv.h"

#include <sys/stat.h>
#include <sys/statvfs.h>

#include <chrono>
#include <cctype>
#include <cmath>

namespace autorec {

const char* fileNamingName(int naming)
{
    static const char* const names[] = {"Single file",          "Sequence number",    "Date and sequence number",
                                        "Date and time",        "Time (hhmmss)",      "Time (hhmmss_mmm)"};
    return naming >= 0 && naming < 6 ? names[naming] : "";
}

const char* markTypeName(int type)
{
    static const char* const names[] = {"No marks", "Sequence number", "Time (hhmmss)", "Time (hhmmss_mmm)",
                                        "Relative time"};
    return type >= 0 && type < 5 ? names[type] : "";
}

std::int32_t thresholdDbToPercent(std::int32_t dbHundredths)
{
    const double db = std::abs(static_cast<double>(dbHundredths));
    const auto p = static_cast<std::int32_t>(std::lround(std::pow(10.0, -db / 2000.0) * 10000.0));
    return std::min(p, 9999);
}

std::int32_t thresholdPercentToDb(std::int32_t percentHundredths)
{
    if (percentHundredths <= 0)
        return -10000;
    const double db = 2000.0 * std::log10(percentHundredths / 10000.0) - 0.5;
    return std::max(static_cast<std::int32_t>(db), -10000);
}

std::int64_t levelThreshold(int bits, std::int32_t percentHundredths)
{
    std::int64_t full = 65535;
    switch (bits) {
    case 8: full = 256; break;
    case 24: full = 8388607; break;
    case 32: full = 2147483647; break;
    default: break;
    }
    return static_cast<std::int64_t>(static_cast<double>(full) * percentHundredths / 10000.0 + 0.5) / 2;
}

LocalTime localTimeOf(std::int64_t unixMicros)
{
    LocalTime t;
    std::int64_t secs = unixMicros / 1000000;
    std::int64_t rest = unixMicros % 1000000;
    if (rest < 0) {
        rest += 1000000;
        --secs;
    }
    const std::time_t tt = static_cast<std::time_t>(secs);
    localtime_r(&tt, &t.tm);
    t.millis = static_cast<int>(rest / 1000);
    return t;
}

std::int64_t nowUnixMicros()
{
    using namespace std::chrono;
    return duration_cast<microseconds>(system_clock::now().time_since_epoch()).count();
}

std::string recordingFileName(const std::string& base, FileNaming naming, std::int64_t sequence, const LocalTime& t)
{
    const std::tm& m = t.tm;
    switch (naming) {
    case FileNaming::Sequence: return base + vkit::formatC("#%lld", static_cast<long long>(sequence));
    case FileNaming::DateSequence:
        return base + vkit::formatC("_%04d%02d%02d#%02lld", m.tm_year + 1900, m.tm_mon + 1, m.tm_mday,
                                    static_cast<long long>(sequence));
    case FileNaming::DateTime:
        return base + vkit::formatC("_%04d%02d%02d_%02d%02d%02d", m.tm_year + 1900, m.tm_mon + 1, m.tm_mday,
                                    m.tm_hour, m.tm_min, m.tm_sec);
    case FileNaming::Time: return base + vkit::formatC("_%02d%02d%02d", m.tm_hour, m.tm_min, m.tm_sec);
    case FileNaming::TimeMillis:
        return base + vkit::formatC("_%02d%02d%02d_%03d", m.tm_hour, m.tm_min, m.tm_sec, t.millis);
    case FileNaming::SingleFile: break;
    }
    return base;
}

std::string withExtension(const std::string& name, const std::string& extension)
{
    if (extension.empty())
        return name;
    // A name that already ends in a sound file's extension keeps it; a dot
    // elsewhere ("site_42.94_23.03#1") does not count as one.
    static const char* const known[] = {"wav", "vprd", "vprdp", "raw", "dat"};
    const std::size_t slash = name.find_last_of('/');
    const std::size_t dot = name.find_last_of('.');
    if (dot != std::string::npos && (slash == std::string::npos || dot > slash)) {
        std::string ext = name.substr(dot + 1);
        for (char& c : ext)
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        for (const char* k : known)
            if (ext == k)
                return name;
        if (ext == extension)
            return name;
    }
    return name + "." + extension;
}

static bool exists(const std::string& path)
{
    struct stat st;
    return ::lstat(path.c_str(), &st) == 0;
}

std::string unusedPath(const std::string& path)
{
    if (!exists(path))
        return path;
    const std::size_t slash = path.find_last_of('/');
    std::size_t dot = path.find_last_of('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash))
        dot = path.size();
    for (int n = 2;; ++n) {
        std::string p = path.substr(0, dot) + vkit::formatC("(%d)", n) + path.substr(dot);
        if (!exists(p))
            return p;
    }
}

std::string markText(MarkType type, std::int64_t number, const LocalTime& t, std::int64_t ms)
{
    switch (type) {
    case MarkType::Sequence: return vkit::formatC("#%lld", static_cast<long long>(number));
    case MarkType::Time: return vkit::formatC("%02d%02d%02d", t.tm.tm_hour, t.tm.tm_min, t.tm.tm_sec);
    case MarkType::TimeMillis:
        return vkit::formatC("%02d%02d%02d_%03d", t.tm.tm_hour, t.tm.tm_min, t.tm.tm_sec, t.millis);
    case MarkType::RelativeTime:
        if (ms < 2000)
            return vkit::formatC("%lld ms", static_cast<long long>(ms));
        if (ms < 20000)
            return vkit::formatC("%2.2f s", ms / 1000.0);
        if (ms < 200000)
            return vkit::formatC("%2.1f s", ms / 1000.0);
        return vkit::formatC("%lld s", static_cast<long long>(ms / 1000));
    case MarkType::None: break;
    }
    return std::string();
}

std::string markComment(std::int64_t unixMicros)
{
    const std::time_t tt = static_cast<std::time_t>(unixMicros / 1000000);
    std::tm m{};
    gmtime_r(&tt, &m);
    return vkit::formatC("Recorded %04d-%02d-%02d %02d:%02d:%02d", m.tm_year + 1900, m.tm_mon + 1, m.tm_mday,
                         m.tm_hour, m.tm_min, m.tm_sec);
}

std::string recordedTimeText(std::int64_t us)
{
    if (us > 10000000)
        return vkit::formatC("%lld s recorded", static_cast<long long>(us / 1000000));
    if (us > 500000)
        return vkit::formatC("%2.2f s recorded", us / 1e6);
    if (us >= 10001)
        return vkit::formatC("%lld ms recorded", static_cast<long long>(us / 1000));
    if (us <= 500)
        return vkit::formatC("%lld \xC2\xB5s recorded", static_cast<long long>(us));
    return vkit::formatC("%2.2f ms recorded", us / 1000.0);
}

std::string diskSizeText(std::int64_t b)
{
    const double mb = b / 1048576.0, gb = b / 1073741824.0;
    if (b <= 1024000)
        return vkit::formatC("%lld kb", static_cast<long long>(b / 1024));
    if (b <= 9999999)
        return vkit::formatC("%1.2f Mb", mb);
    if (b <= 99999999)
        return vkit::formatC("%1.1f Mb", mb);
    if (b <= 1024999999)
        return vkit::formatC("%lld Mb", static_cast<long long>(b >> 20));
    if (b <= 9999999999LL)
        return vkit::formatC("%1.2f Gb", gb);
    if (b <= 999999999999LL)
        return vkit::formatC("%1.1f Gb", gb);
    return vkit::formatC("%lld Gb", static_cast<long long>(b >> 30));
}

std::int64_t freeDiskBytes(const std::string& path)
{
    std::string p = path.empty() ? std::string(".") : path;
    struct statvfs st;
    for (int i = 0; i < 64; ++i) {
        if (::statvfs(p.c_str(), &st) == 0)
            return static_cast<std::int64_t>(st.f_bavail) * static_cast<std::int64_t>(st.f_frsize);
        const std::size_t slash = p.find_last_of('/');
        // The folder above ("/" above "/x", "." above a bare name), cut in place.
        if (slash == std::string::npos)
            p.assign(1, '.');
        else
            p.erase(slash == 0 ? 1 : slash);
    }
    return -1;
}

bool diskSpaceShort(std::int64_t a, std::int64_t b)
{
    if (a < 0)
        a = 2147483647;
    if (b < 0)
        b = 2147483647;
    return a + b < 4194304 || a < 2097152 || b < 2097152;
}

bool diskSpaceLow(std::int64_t a, std::int64_t b, std::int64_t bytesPerSecond, int intervalMs)
{
    const std::int64_t margin = 2 * bytesPerSecond * intervalMs / 1000 + 131072;
    return (a >= 0 && a < margin) || (b >= 0 && b <= 131071);
}

std::int64_t realMillisToBytes(const SoundFormat& f, std::int32_t x, std::int64_t ms)
{
    return vkit::realMicrosToFrames(ms * 1000, f.samplesPerSec, x) * f.blockAlign;
}

std::int64_t bytesToRealMicros(const SoundFormat& f, std::int32_t x, std::int64_t bytes)
{
    return vkit::framesToRealMicros(f.blockAlign ? bytes / f.blockAlign : 0, f.samplesPerSec, x);
}

}  // namespace autorec
