#include "detectorfiles/DetectorFileInfo.h"

#include "core/LoggCls.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr std::size_t kHeaderStart = DetectorFileInfo::kWaveHeaderSize;

std::uint32_t le32(const std::uint8_t* p)
{
    return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
           static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

// The text of a header field up to its first zero byte.
std::string headerField(const std::uint8_t* header, std::size_t offset, std::size_t width)
{
    const char* p = reinterpret_cast<const char*>(header + offset);
    return std::string(p, strnlen(p, width));
}

// [pos, pos + n) of `s`, cut at its end (empty beyond it).
std::string part(const std::string& s, std::size_t pos, std::size_t n = std::string::npos)
{
    return pos < s.size() ? s.substr(pos, n) : std::string();
}

std::string dateOf(const std::string& t)
{
    return "20" + part(t, 0, 2) + "-" + part(t, 2, 2) + "-" + part(t, 4, 2);
}

// Length of the UTF-8 sequence at s[i], 0 when it is not a valid one.
std::size_t utf8Length(const std::string& s, std::size_t i)
{
    const auto c = static_cast<unsigned char>(s[i]);
    std::size_t n = 0;
    std::uint32_t cp = 0;
    if (c < 0x80)
        return 1;
    if (c >= 0xc2 && c <= 0xdf) {
        n = 2;
        cp = c & 0x1f;
    } else if (c >= 0xe0 && c <= 0xef) {
        n = 3;
        cp = c & 0x0f;
    } else if (c >= 0xf0 && c <= 0xf4) {
        n = 4;
        cp = c & 0x07;
    } else {
        return 0;
    }
    if (i + n > s.size())
        return 0;
    for (std::size_t k = 1; k < n; ++k) {
        const auto d = static_cast<unsigned char>(s[i + k]);
        if ((d & 0xc0) != 0x80)
            return 0;
        cp = cp << 6 | (d & 0x3f);
    }
    if ((n == 3 && cp < 0x800) || (n == 4 && (cp < 0x10000 || cp > 0x10ffff)) || (cp >= 0xd800 && cp <= 0xdfff))
        return 0;
    return n;
}

}  // namespace

std::string DetectorFileInfo::fileName() const
{
    const std::size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string detectorDisplayText(const std::string& bytes)
{
    bool valid = true;
    for (std::size_t i = 0; i < bytes.size() && valid;) {
        const std::size_t n = utf8Length(bytes, i);
        valid = n > 0;
        i += n;
    }
    std::string out;
    out.reserve(bytes.size());
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const auto c = static_cast<unsigned char>(bytes[i]);
        if (c < 0x20 || c == 0x7f) {
            out += '?';
        } else if (c < 0x80 || valid) {
            out += static_cast<char>(c);
        } else if (c < 0xa0) {
            out += '?';  // Latin-1 control characters
        } else {
            out += static_cast<char>(0xc0 | c >> 6);
            out += static_cast<char>(0x80 | (c & 0x3f));
        }
    }
    return out;
}

std::string detectorRecordedDate(const std::string& t)
{
    if (t.size() < 6)
        return t;
    std::string date = dateOf(t);
    if (t.find(':') == std::string::npos) {
        if (t.size() >= 10)
            date += " " + part(t, 6, 2) + ":" + part(t, 8, 2);
        if (t.size() >= 12)
            date += ":" + part(t, 10, 2);
    } else if (t.size() >= 8) {
        date += part(t, 6);
    }
    return date;
}

std::string detectorDatePart(const std::string& fileTime)
{
    std::string t = fileTime;
    bool colon = false;
    for (char& c : t)
        if (c == ':') {
            c = '_';
            colon = true;
        }
    std::string date;
    if (colon && t.size() >= 7)
        date = dateOf(t) + "_" + part(t, 7);
    else if (t.size() >= 12)
        date = dateOf(t) + "_" + part(t, 6, 2) + "_" + part(t, 8, 2) + "_" + part(t, 10, 2);
    else if (t.size() >= 6)
        date = dateOf(t);  // also a text with a colon of 6 characters: its date
    else
        date = t;          // also a short text with a colon
    date += "_";
    // The part becomes a file name: only characters that are safe in one.
    for (char& c : date) {
        const auto u = static_cast<unsigned char>(c);
        const bool safe = (u >= '0' && u <= '9') || (u >= 'A' && u <= 'Z') || (u >= 'a' && u <= 'z') || u == '-' ||
                          u == '_' || u == '.' || u == '+';
        if (!safe)
            c = '_';
    }
    return date;
}

DetectorFileInfo examineDetectorHeader(const std::uint8_t* bytes, std::size_t size)
{
    DetectorFileInfo info;
    std::uint8_t head[DetectorFileInfo::kExaminedSize] = {};
    const std::size_t n = size < sizeof head ? size : sizeof head;
    if (n > 0)
        std::memcpy(head, bytes, n);
    if (size == 0) {
        info.skipReason = "empty file";
        return info;
    }
    if (n < kHeaderStart) {
        info.skipReason = "shorter than a wave header (" + std::to_string(n) + " bytes)";
        return info;
    }
    if (std::memcmp(head, "RIFF", 4) != 0 || std::memcmp(head + 8, "WAVE", 4) != 0 ||
        std::memcmp(head + 12, "fmt ", 4) != 0 || std::memcmp(head + 36, "data", 4) != 0) {
        info.skipReason = "not a wave file with its data at byte 44";
        return info;
    }
    const std::size_t headerRead = n - kHeaderStart;
    if (headerRead <= 64) {
        info.skipReason = "detector header too short (" + std::to_string(headerRead) + " bytes)";
        return info;
    }
    std::uint8_t* header = head + kHeaderStart;
    std::uint32_t length = le32(header);
    if (length < 33 || length > 1023) {
        info.skipReason = "header length " + std::to_string(length) + " outside 33..1023";
        return info;
    }
    const char* version = reinterpret_cast<const char*>(header + 196);
    if (length == 176 && (std::strncmp(version, "R450Z   V1", 10) == 0 || std::strncmp(version, "R9000Z   V1", 10) == 0))
        length = 244;
    if (length < DetectorFileInfo::kDetectorHeaderSize)
        std::memset(header + length, 0, DetectorFileInfo::kDetectorHeaderSize - length);
    if (length >= 177 && std::strncmp(version, "R450Z ", 6) != 0 && std::strncmp(version, "R9000Z", 6) != 0) {
        info.skipReason = "header length " + std::to_string(length) + " without a detector version text";
        return info;
    }
    const std::string fileName = headerField(header, 164, 16);
    if (fileName.empty()) {
        info.skipReason = "no detector file name in the header";
        return info;
    }
    info.isDetectorFile = true;
    info.headerLength = length;
    info.rawFileTime = headerField(header, 180, 16);
    info.detectorFileName = detectorDisplayText(fileName);
    info.fileTime = detectorDisplayText(info.rawFileTime);
    info.positionA = detectorDisplayText(headerField(header, 132, 32));
    info.positionB = detectorDisplayText(headerField(header, 100, 32));
    info.firmware = detectorDisplayText(headerField(header, 196, 48));
    info.recordedDate = detectorDisplayText(detectorRecordedDate(info.rawFileTime));
    return info;
}

DetectorFileInfo readDetectorFileInfo(const std::string& path)
{
    DetectorFileInfo info;
    // Non-blocking, so that a FIFO among the files does not stop the listing.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) {
        info.path = path;
        info.skipReason = "cannot be opened: " + vkit::systemErrorText(errno);
        return info;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        info.path = path;
        info.skipReason = "not a regular file";
        return info;
    }
    std::uint8_t head[DetectorFileInfo::kExaminedSize] = {};
    std::size_t got = 0;
    while (got < sizeof head) {
        const ssize_t r = ::read(fd, head + got, sizeof head - got);
        if (r < 0 && errno == EINTR)
            continue;
        if (r < 0) {
            const int e = errno;
            ::close(fd);
            info.path = path;
            info.skipReason = "cannot be read: " + vkit::systemErrorText(e);
            return info;
        }
        if (r == 0)
            break;
        got += static_cast<std::size_t>(r);
    }
    ::close(fd);
    info = examineDetectorHeader(head, got);
    info.path = path;
    return info;
}
