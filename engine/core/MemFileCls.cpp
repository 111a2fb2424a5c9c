#include "core/MemFileCls.h"

#include "core/LoggCls.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vkit {

std::int64_t MemFileCls::allocationGranularity()
{
    static const std::int64_t page = [] {
        const long p = ::sysconf(_SC_PAGESIZE);
        return p > 0 ? static_cast<std::int64_t>(p) : 4096;
    }();
    return page;
}

MemFileCls::MemFileCls(std::string fileName, std::int64_t size, std::string mappingName)
    : m_fileName(std::move(fileName)), m_mappingName(std::move(mappingName)), m_requestedSize(size)
{
}

MemFileCls::MemFileCls(std::uint32_t sizeLow, std::uint32_t sizeHigh, const char* fileName, const char* mappingName)
    : MemFileCls(fileName ? fileName : "",
                 (sizeLow == 0xFFFFFFFFu && sizeHigh == 0xFFFFFFFFu)
                     ? -1
                     : static_cast<std::int64_t>((static_cast<std::uint64_t>(sizeHigh) << 32) | sizeLow),
                 mappingName ? mappingName : "")
{
}

MemFileCls::~MemFileCls()
{
    close();
}

bool MemFileCls::open(bool readOnly)
{
    close();
    CritSectLock lock(m_cs);
    m_readOnly = readOnly;
    if (!m_fileName.empty()) {
        const int flags = (readOnly ? O_RDONLY : (O_RDWR | O_CREAT)) | O_CLOEXEC;
        m_fd = ::open(m_fileName.c_str(), flags, 0644);
        if (m_fd < 0) {
            Logg().lastSystemError("MemFileCls::MemFileCls:CreateFile failed:" + m_fileName);
            return false;
        }
        struct stat st {};
        if (::fstat(m_fd, &st) != 0 || S_ISDIR(st.st_mode)) {
            Logg().lastSystemError("MemFileCls::MemFileCls:CreateFile failed:" + m_fileName);
            ::close(m_fd);
            m_fd = -1;
            return false;
        }
        m_size = m_requestedSize < 0 ? static_cast<std::int64_t>(st.st_size) : m_requestedSize;
        if (!readOnly && m_size > st.st_size && ::ftruncate(m_fd, m_size) != 0) {
            Logg().lastSystemError("MemFileCls::MemFileCls:CreateFileMapping failed:" + m_fileName);
            ::close(m_fd);
            m_fd = -1;
            return false;
        }
        if (readOnly && m_size > st.st_size)
            m_size = st.st_size;  // a read-only file cannot grow: map only what is there
    } else {
        m_size = m_requestedSize;
        if (m_size <= 0) {
            errno = EINVAL;
            Logg().lastSystemError("MemFileCls::MemFileCls:CreateFileMapping failed:" + m_mappingName);
            return false;
        }
        if (m_mappingName.empty()) {
            m_fd = ::memfd_create("vesperon-mem", MFD_CLOEXEC);
        } else {
            std::string name = "/vesperon-map.";
            for (char c : m_mappingName)
                name += (c == '/') ? '_' : c;
            m_fd = ::shm_open(name.c_str(), (readOnly ? O_RDONLY : (O_RDWR | O_CREAT)) | O_CLOEXEC, 0600);
        }
        if (m_fd < 0) {
            Logg().lastSystemError("MemFileCls::MemFileCls:CreateFileMapping failed:" + m_mappingName);
            return false;
        }
        struct stat st {};
        if (!readOnly && ::fstat(m_fd, &st) == 0 && st.st_size < m_size && ::ftruncate(m_fd, m_size) != 0) {
            Logg().lastSystemError("MemFileCls::MemFileCls:CreateFileMapping failed:" + m_mappingName);
            ::close(m_fd);
            m_fd = -1;
            return false;
        }
    }
    if (m_size <= 0) {
        // Nothing to map (an empty file cannot be mapped).
        errno = EINVAL;
        Logg().lastSystemError("MemFileCls::MemFileCls:CreateFileMapping failed:" + m_fileName);
        ::close(m_fd);
        m_fd = -1;
        m_size = 0;
        return false;
    }
    return true;
}

void* MemFileCls::getPointer(bool readOnly, std::int64_t offset, std::int64_t length)
{
    CritSectLock lock(m_cs);
    if (m_fd < 0 || offset < 0 || length <= 0 || offset > m_size || length > m_size - offset)
        return nullptr;
    if (!readOnly && m_readOnly)
        return nullptr;
    auto& views = readOnly ? m_readViews : m_writeViews;
    for (auto& v : views) {
        if (offset >= v.offset && offset + length <= v.offset + v.length) {
            ++v.refs;
            v.lastUse = ++m_useClock;
            return v.base + (offset - v.offset);
        }
    }
    const std::int64_t gran = allocationGranularity();
    const std::int64_t start = offset - offset % gran;
    const std::int64_t len = offset + length - start;
    void* p = ::mmap(nullptr, static_cast<size_t>(len), readOnly ? PROT_READ : (PROT_READ | PROT_WRITE), MAP_SHARED,
                     m_fd, static_cast<off_t>(start));
    if (p == MAP_FAILED) {
        Logg().lastSystemError("MemFileCls::GetPointer:" + m_fileName + ":MapViewOfFile failed:");
        return nullptr;
    }
    View v;
    v.base = static_cast<char*>(p);
    v.offset = start;
    v.length = len;
    v.refs = 1;
    v.lastUse = ++m_useClock;
    views.push_back(v);
    return v.base + (offset - start);
}

std::int64_t MemFileCls::readAt(void* destination, std::int64_t length, std::int64_t offset) const
{
    if (m_fd < 0 || offset < 0 || length < 0)
        return -1;
    auto* out = static_cast<char*>(destination);
    std::int64_t done = 0;
    while (done < length) {
        const ssize_t n = ::pread(m_fd, out + done, static_cast<size_t>(length - done), static_cast<off_t>(offset + done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return done > 0 ? done : -1;
        if (n == 0)
            break;
        done += n;
    }
    return done;
}

bool MemFileCls::releasePointer(const void* pointer)
{
    CritSectLock lock(m_cs);
    const char* p = static_cast<const char*>(pointer);
    for (auto* views : {&m_readViews, &m_writeViews}) {
        for (auto& v : *views) {
            if (v.refs > 0 && p >= v.base && p < v.base + v.length) {
                --v.refs;
                trimUnreferencedLocked();
                return true;
            }
        }
    }
    return false;
}

void MemFileCls::trimUnreferencedLocked()
{
    for (auto* views : {&m_readViews, &m_writeViews}) {
        for (;;) {
            int unreferenced = 0;
            auto oldest = views->end();
            for (auto it = views->begin(); it != views->end(); ++it) {
                if (it->refs > 0)
                    continue;
                ++unreferenced;
                if (oldest == views->end() || it->lastUse < oldest->lastUse)
                    oldest = it;
            }
            if (unreferenced <= m_unreferencedLimit)
                break;
            ::munmap(oldest->base, static_cast<size_t>(oldest->length));
            views->erase(oldest);
        }
    }
}

int MemFileCls::mappedViews() const
{
    CritSectLock lock(m_cs);
    return static_cast<int>(m_readViews.size() + m_writeViews.size());
}

void MemFileCls::close()
{
    CritSectLock lock(m_cs);
    for (auto* views : {&m_readViews, &m_writeViews}) {
        for (auto& v : *views)
            ::munmap(v.base, static_cast<size_t>(v.length));
        views->clear();
    }
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
    m_size = 0;
}

}  // namespace vkit
