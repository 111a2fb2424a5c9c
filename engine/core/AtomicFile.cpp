#include "core/AtomicFile.h"

#include "core/LoggCls.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace vkit {

bool readWholeFile(const std::string& path, std::string& out, std::size_t maxBytes)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    out.clear();
    char buf[65536];
    bool ok = true;
    for (;;) {
        const ssize_t n = ::read(fd, buf, sizeof buf);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            ok = false;
            break;
        }
        if (n == 0)
            break;
        if (out.size() + static_cast<size_t>(n) > maxBytes) {
            ok = false;
            break;
        }
        out.append(buf, static_cast<size_t>(n));
    }
    ::close(fd);
    return ok;
}

bool makeDirectories(const std::string& path)
{
    if (path.empty())
        return true;
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0)
        return S_ISDIR(st.st_mode);
    const size_t slash = path.find_last_of('/');
    if (slash != std::string::npos && slash > 0 && !makeDirectories(path.substr(0, slash)))
        return false;
    return ::mkdir(path.c_str(), 0755) == 0 || errno == EEXIST;
}

bool writeFileAtomically(const std::string& path, const std::string& data, std::string* error)
{
    AtomicFileWriter w;
    if (!w.open(path)) {
        if (error)
            *error = w.error();
        return false;
    }
    if (!data.empty())
        std::fwrite(data.data(), 1, data.size(), w.stream());
    if (!w.commit()) {
        if (error)
            *error = w.error();
        return false;
    }
    return true;
}

AtomicFileWriter::~AtomicFileWriter()
{
    abandon();
}

bool AtomicFileWriter::open(const std::string& target)
{
    abandon();
    m_target = target;
    m_error.clear();
    const size_t slash = target.find_last_of('/');
    const std::string dir = slash == std::string::npos ? std::string(".") : target.substr(0, slash + 1);
    const std::string base = slash == std::string::npos ? target : target.substr(slash + 1);
    std::string t(dir == "." ? std::string() : dir);
    t += "." + base + ".tmp-XXXXXX";
    std::vector<char> name(t.begin(), t.end());
    name.push_back('\0');
    const int fd = ::mkostemp(name.data(), O_CLOEXEC);
    if (fd < 0) {
        m_error = systemErrorText(errno);
        return false;
    }
    m_tempPath = name.data();
    // Keep the mode of the file being replaced; a new file gets the usual mode.
    struct stat st {};
    if (::stat(target.c_str(), &st) == 0) {
        (void)::fchmod(fd, st.st_mode & 07777);
    } else {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        (void)::fchmod(fd, 0666 & ~mask);
    }
    m_stream = ::fdopen(fd, "wb");
    if (!m_stream) {
        m_error = systemErrorText(errno);
        ::close(fd);
        ::unlink(m_tempPath.c_str());
        m_tempPath.clear();
        return false;
    }
    return true;
}

bool AtomicFileWriter::commit()
{
    if (!m_stream) {
        if (m_error.empty())
            m_error = "no file open";
        return false;
    }
    bool ok = std::fflush(m_stream) == 0 && !std::ferror(m_stream);
    if (!ok)
        m_error = systemErrorText(errno ? errno : EIO);
    if (ok && ::fsync(::fileno(m_stream)) != 0) {
        m_error = systemErrorText(errno);
        ok = false;
    }
    if (std::fclose(m_stream) != 0 && ok) {
        m_error = systemErrorText(errno);
        ok = false;
    }
    m_stream = nullptr;
    if (ok && ::rename(m_tempPath.c_str(), m_target.c_str()) != 0) {
        m_error = systemErrorText(errno);
        ok = false;
    }
    if (!ok) {
        ::unlink(m_tempPath.c_str());
        m_tempPath.clear();
        return false;
    }
    m_tempPath.clear();
    // Make the rename itself durable.
    const size_t slash = m_target.find_last_of('/');
    const std::string dir = slash == std::string::npos ? std::string(".") : m_target.substr(0, slash + 1);
    const int dfd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dfd >= 0) {
        (void)::fsync(dfd);
        ::close(dfd);
    }
    return true;
}

void AtomicFileWriter::abandon()
{
    if (m_stream) {
        std::fclose(m_stream);
        m_stream = nullptr;
    }
    if (!m_tempPath.empty()) {
        ::unlink(m_tempPath.c_str());
        m_tempPath.clear();
    }
}

}  // namespace vkit
