#include "core/LoggCls.h"

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace vkit {

std::string systemErrorText(int code)
{
    char buf[256];
    // GNU strerror_r may return a static string instead of filling buf.
    const char* text = strerror_r(code, buf, sizeof buf);
    return text ? std::string(text) : std::string();
}

std::string programPath()
{
    std::vector<char> buf(4096);
    const ssize_t n = ::readlink("/proc/self/exe", buf.data(), buf.size() - 1);
    if (n <= 0)
        return {};
    return std::string(buf.data(), static_cast<size_t>(n));
}

std::string tempFolder()
{
    const char* dir = std::getenv("TMPDIR");
    std::string folder = (dir && *dir) ? dir : "/tmp";
    while (folder.size() > 1 && folder.back() == '/')
        folder.pop_back();
    return folder;
}

int LoggCls::readTraceLevelFile(const std::string& program)
{
    if (program.empty())
        return 0;
    FILE* f = std::fopen((program + ".vtrace").c_str(), "rb");
    if (!f)
        return 0;
    char buf[32] = {};
    const size_t n = std::fread(buf, 1, sizeof buf - 1, f);
    std::fclose(f);
    buf[n] = 0;
    return std::atoi(buf);
}

LoggCls::LoggCls() = default;

LoggCls::~LoggCls()
{
    std::lock_guard lock(m_mutex);
    closeLocked();
}

LoggCls& LoggCls::instance()
{
    static LoggCls* log = [] {
        auto* l = new LoggCls();  // never destroyed: workers may log during exit
        const std::string prog = programPath();
        std::string name = prog.empty() ? std::string("vesperon") : prog.substr(prog.rfind('/') + 1);
        l->m_path = tempFolder() + "/" + name + ".log";
        l->m_traceLevel = readTraceLevelFile(prog);
        return l;
    }();
    return *log;
}

void LoggCls::setPath(const std::string& path)
{
    std::lock_guard lock(m_mutex);
    closeLocked();
    m_path = path;
}

std::string LoggCls::path() const
{
    std::lock_guard lock(m_mutex);
    return m_path;
}

void LoggCls::setSizeLimit(std::int64_t bytes)
{
    std::lock_guard lock(m_mutex);
    m_sizeLimit = bytes;
}

std::int64_t LoggCls::sizeLimit() const
{
    std::lock_guard lock(m_mutex);
    return m_sizeLimit;
}

void LoggCls::setTraceLevel(int level)
{
    std::lock_guard lock(m_mutex);
    m_traceLevel = level;
}

int LoggCls::traceLevel() const
{
    std::lock_guard lock(m_mutex);
    return m_traceLevel;
}

bool LoggCls::openLocked()
{
    if (m_fd >= 0)
        return true;
    if (m_path.empty())
        return false;
    m_fd = ::open(m_path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    return m_fd >= 0;
}

void LoggCls::closeLocked()
{
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
}

namespace {

bool writeAll(int fd, const char* p, size_t n)
{
    while (n > 0) {
        const ssize_t w = ::write(fd, p, n);
        if (w < 0 && errno == EINTR)
            continue;
        if (w <= 0)
            return false;
        p += w;
        n -= static_cast<size_t>(w);
    }
    return true;
}

// Moves the last `keep` bytes of the file to its start and cuts it there.
void keepTail(int fd, std::int64_t fileSize, std::int64_t keep)
{
    if (keep <= 0) {
        (void)::ftruncate(fd, 0);
        return;
    }
    std::vector<char> buf(64 * 1024);
    std::int64_t from = fileSize - keep;
    std::int64_t to = 0;
    while (to < keep) {
        const size_t want = static_cast<size_t>(std::min<std::int64_t>(static_cast<std::int64_t>(buf.size()), keep - to));
        const ssize_t r = ::pread(fd, buf.data(), want, from);
        if (r <= 0)
            break;
        if (::pwrite(fd, buf.data(), static_cast<size_t>(r), to) != r)
            break;
        from += r;
        to += r;
    }
    (void)::ftruncate(fd, to);
}

}  // namespace

void LoggCls::writeEntry(std::string_view levelText, std::string_view message)
{
    std::lock_guard lock(m_mutex);
    if (!openLocked())
        return;
    // Several processes may share one log: serialise whole entries.
    ::flock(m_fd, LOCK_EX);
    struct stat st {};
    std::int64_t size = (::fstat(m_fd, &st) == 0) ? static_cast<std::int64_t>(st.st_size) : 0;
    const auto msgLen = static_cast<std::int64_t>(message.size());
    if (size + msgLen + 4 > m_sizeLimit) {
        keepTail(m_fd, size, m_sizeLimit - m_sizeLimit / 4 - msgLen);
    }

    const auto now = std::chrono::system_clock::now();
    const std::time_t t = std::chrono::system_clock::to_time_t(now);
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000;
    std::tm tmv {};
    localtime_r(&t, &tmv);
    char header[128];
    const std::string level(levelText);
    std::snprintf(header, sizeof header, "\r\n%s %04d-%02d-%02d %02d:%02d:%02d.%03d\r\n", level.c_str(),
                  tmv.tm_year + 1900, tmv.tm_mon + 1, tmv.tm_mday, tmv.tm_hour, tmv.tm_min, tmv.tm_sec,
                  static_cast<int>(ms));
    std::string entry = header;
    entry.append(message);
    entry.append("\r\n");
    ::lseek(m_fd, 0, SEEK_END);
    writeAll(m_fd, entry.data(), entry.size());
    ::flock(m_fd, LOCK_UN);
}

void LoggCls::trace(int level, std::string_view message)
{
    if (level < traceLevel())
        writeEntry("Trace", message);
}

void LoggCls::systemError(int code, std::string_view message)
{
    std::string text(message);
    text += "\r\n";
    char prefix[48];
    std::snprintf(prefix, sizeof prefix, "Windows Error#%d: ", code);
    text += prefix;
    text += systemErrorText(code);
    writeEntry("Error", text);
}

void LoggCls::lastSystemError(std::string_view message)
{
    systemError(errno, message);
}

}  // namespace vkit
