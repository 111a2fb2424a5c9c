#include "core/FileCls.h"

#include "core/LoggCls.h"
#include "core/MemFileCls.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

using vkit::CritSectLock;
using vkit::Logg;

namespace {
constexpr int kUnreferencedViewsKept = 8;
constexpr int kMappingsKept = 2;
}  // namespace

bool FileMapCls::inUse() const
{
    return std::any_of(m_views.begin(), m_views.end(), [](const auto& v) { return v->refs > 0; });
}

FileViewRef::FileViewRef(FileCls* file, FileViewCls* view, std::int64_t offset)
    : m_file(file), m_view(view), m_offset(offset)
{
}

FileViewRef::FileViewRef(FileViewRef&& other) noexcept
    : m_file(other.m_file), m_view(other.m_view), m_offset(other.m_offset)
{
    other.m_file = nullptr;
    other.m_view = nullptr;
}

FileViewRef& FileViewRef::operator=(FileViewRef&& other) noexcept
{
    if (this != &other) {
        reset();
        m_file = other.m_file;
        m_view = other.m_view;
        m_offset = other.m_offset;
        other.m_file = nullptr;
        other.m_view = nullptr;
    }
    return *this;
}

void FileViewRef::reset()
{
    if (m_file && m_view)
        m_file->releaseRef(m_view);
    m_file = nullptr;
    m_view = nullptr;
}

FileCls::~FileCls()
{
    close();
}

FileCls::FileCls(FileCls&& other) noexcept
{
    *this = std::move(other);
}

FileCls& FileCls::operator=(FileCls&& other) noexcept
{
    if (this == &other)
        return *this;
    close();
    CritSectLock lock(m_cs);
    CritSectLock otherLock(other.m_cs);
    m_path = std::move(other.m_path);
    m_fd = std::exchange(other.m_fd, -1);
    m_capacity = std::exchange(other.m_capacity, 0);
    m_length = std::exchange(other.m_length, 0);
    m_position = std::exchange(other.m_position, 0);
    m_head = std::exchange(other.m_head, 0);
    m_growthStep = std::exchange(other.m_growthStep, kDefaultGrowthStep);
    m_sectionSize = std::exchange(other.m_sectionSize, kSectionSize);
    m_maps = std::move(other.m_maps);
    other.m_maps.clear();
    m_readView = std::exchange(other.m_readView, nullptr);
    m_writeView = std::exchange(other.m_writeView, nullptr);
    m_useClock = std::exchange(other.m_useClock, 0);
    m_error = std::exchange(other.m_error, false);
    m_errorText = std::move(other.m_errorText);
    other.m_errorText.clear();
    m_source = std::move(other.m_source);
    other.m_path.clear();
    return *this;
}

void FileCls::failLocked(const std::string& message, int code)
{
    m_error = true;
    m_errorText = message + vkit::systemErrorText(code);
    Logg().error(m_errorText);
}

bool FileCls::create(const std::string& path, std::int64_t initialCapacity, std::int64_t growthStep)
{
    close();
    CritSectLock lock(m_cs);
    m_path = path;
    m_error = false;
    m_errorText.clear();
    m_growthStep = growthStep > 0 ? growthStep : kDefaultGrowthStep;
    m_fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (m_fd < 0) {
        failLocked("CANNOT CREATE FILE: " + path + ": ", errno);
        return false;
    }
    ::unlink(path.c_str());
    if (initialCapacity > 0 && !reserveLocked(initialCapacity, "CANNOT CREATE FILE (can't get space): ")) {
        ::close(m_fd);
        m_fd = -1;
        return false;
    }
    return true;
}

bool FileCls::createTemp(const std::string& prefix, std::int64_t initialCapacity, std::int64_t growthStep)
{
    close();
    std::string templ = vkit::tempFolder() + "/" + prefix + "XXXXXX";
    std::vector<char> name(templ.begin(), templ.end());
    name.push_back('\0');
    const int fd = ::mkostemp(name.data(), O_CLOEXEC);
    if (fd < 0) {
        CritSectLock lock(m_cs);
        m_path = templ;
        failLocked("CANNOT CREATE FILE: " + templ + ": ", errno);
        return false;
    }
    ::close(fd);
    return create(name.data(), initialCapacity, growthStep);
}

void FileCls::close()
{
    CritSectLock lock(m_cs);
    stopSourceLocked();
    m_readView = nullptr;
    m_writeView = nullptr;
    for (auto& map : m_maps)
        for (auto& v : map->views())
            ::munmap(v->mapBase, v->mapLength);
    m_maps.clear();
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
    m_capacity = m_length = m_position = m_head = 0;
}

std::int64_t FileCls::length() const
{
    CritSectLock lock(m_cs);
    return m_length;
}

std::int64_t FileCls::position() const
{
    CritSectLock lock(m_cs);
    return m_position;
}

std::int64_t FileCls::capacity() const
{
    CritSectLock lock(m_cs);
    return m_capacity;
}

bool FileCls::error() const
{
    CritSectLock lock(m_cs);
    return m_error;
}

std::string FileCls::errorText() const
{
    CritSectLock lock(m_cs);
    return m_errorText;
}

// A position past the end extends the store to it (zeros), as a write
// there would.
bool FileCls::setPosition(std::int64_t position)
{
    CritSectLock lock(m_cs);
    if (position < 0 || m_fd < 0)
        return false;
    if (position > m_length && !setLengthLocked(position))
        return false;
    m_position = position;
    return true;
}

// A position past the new end is pulled back to it.
bool FileCls::setLength(std::int64_t length)
{
    CritSectLock lock(m_cs);
    if (length < 0 || m_fd < 0)
        return false;
    if (!setLengthLocked(length))
        return false;
    m_position = std::min(m_position, m_length);
    return true;
}

bool FileCls::setLengthLocked(std::int64_t length)
{
    if (m_error)
        return false;
    if (sourceActiveLocked() && length == m_length)
        return true;
    if (length == 0)
        abandonSourceLocked();  // nothing of it stays: no need to copy it
    if (!settleSourceLocked())
        return false;
    if (!growLocked(length))
        return false;
    m_length = length;
    return true;
}

bool FileCls::reserveLocked(std::int64_t newCapacity, const char* what)
{
    if (newCapacity <= m_capacity)
        return true;
    int rc = ::posix_fallocate(m_fd, m_head + m_capacity, newCapacity - m_capacity);
    if (rc == EOPNOTSUPP || rc == ENOSYS || rc == EINVAL)
        rc = ::ftruncate(m_fd, m_head + newCapacity) == 0 ? 0 : errno;
    if (rc != 0) {
        failLocked(std::string(what) + (what[std::strlen(what) - 1] == ':' ? "" : m_path + ": "), rc);
        return false;
    }
    m_capacity = newCapacity;
    m_maps.push_back(std::make_unique<FileMapCls>(newCapacity));
    trimLocked();
    return true;
}

bool FileCls::growLocked(std::int64_t end)
{
    if (end <= m_capacity)
        return true;
    const std::int64_t steps = (end - m_capacity) / m_growthStep + 1;
    return reserveLocked(end + steps * m_growthStep, "CANNOT CREATE FILE MAPPING:");
}

std::int64_t FileCls::read(void* buffer, std::int64_t length, std::int64_t position)
{
    std::int64_t pos, head;
    {
        CritSectLock lock(m_cs);
        if (m_fd < 0 || length <= 0)
            return 0;
        head = m_head;
        pos = position >= 0 ? position : m_position;
        length = std::min(length, m_length - pos);
        if (length <= 0) {
            m_position = pos;
            return 0;
        }
        if (sourceActiveLocked()) {
            const std::int64_t n = readSourceLocked(static_cast<char*>(buffer), length, pos);
            m_position = pos + n;
            return n;
        }
    }
    std::int64_t done = 0;
    auto* out = static_cast<char*>(buffer);
    while (done < length) {
        const ssize_t n = ::pread(m_fd, out + done, static_cast<size_t>(length - done), head + pos + done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            CritSectLock lock(m_cs);
            failLocked("CANNOT READ FILE (read returns error): ", n < 0 ? errno : EIO);
            break;
        }
        done += n;
    }
    CritSectLock lock(m_cs);
    m_position = pos + done;
    return done;
}

std::int64_t FileCls::write(const void* buffer, std::int64_t length, std::int64_t position)
{
    std::int64_t pos, head;
    {
        CritSectLock lock(m_cs);
        if (m_fd < 0 || m_error || length <= 0)
            return 0;
        pos = position >= 0 ? position : m_position;
        if (!settleSourceLocked() || !growLocked(pos + length))
            return 0;
        head = m_head;
    }
    std::int64_t done = 0;
    const auto* in = static_cast<const char*>(buffer);
    while (done < length) {
        const ssize_t n = ::pwrite(m_fd, in + done, static_cast<size_t>(length - done), head + pos + done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            CritSectLock lock(m_cs);
            failLocked("CANNOT WRITE FILE: " + m_path + ": ", n < 0 ? errno : EIO);
            break;
        }
        done += n;
    }
    CritSectLock lock(m_cs);
    m_position = pos + done;
    m_length = std::max(m_length, m_position);
    return done;
}

bool FileCls::setFileSize(std::int64_t size)
{
    CritSectLock lock(m_cs);
    if (m_fd < 0 || size < 0)
        return false;
    if (size == 0)
        abandonSourceLocked();
    if (!settleSourceLocked())
        return false;
    for (auto& map : m_maps)
        for (auto& v : map->views()) {
            const int hold = (v.get() == m_readView) + (v.get() == m_writeView);
            if (v->refs > hold)
                return false;  // somebody still points into a view
        }
    m_readView = nullptr;
    m_writeView = nullptr;
    for (auto& map : m_maps)
        for (auto& v : map->views())
            ::munmap(v->mapBase, v->mapLength);
    m_maps.clear();
    if (size == 0)
        m_head = 0;
    if (::ftruncate(m_fd, m_head + size) != 0) {
        failLocked("CANNOT CREATE FILE MAPPING:", errno);
        return false;
    }
    m_capacity = std::min(m_capacity, size);
    if (size > m_capacity && !reserveLocked(size, "CANNOT CREATE FILE MAPPING:"))
        return false;
    m_capacity = size;
    if (m_maps.empty())
        m_maps.push_back(std::make_unique<FileMapCls>(size));
    m_length = size;
    m_position = std::min(m_position, size);
    return true;
}

FileViewRef FileCls::readView(std::int64_t from, std::int64_t to)
{
    return viewFor(from, to, false);
}

FileViewRef FileCls::writeView(std::int64_t from, std::int64_t to)
{
    return viewFor(from, to, true);
}

FileViewRef FileCls::viewFor(std::int64_t from, std::int64_t to, bool write)
{
    CritSectLock lock(m_cs);
    if (m_fd < 0 || from < 0)
        return {};
    to = std::max(to, from + 1);
    if (write && (m_error || !settleSourceLocked() || !growLocked(to)))
        return {};
    if (!write && sourceActiveLocked() && from < m_length)
        return sourceViewLocked(from);
    if (from >= m_capacity)
        return {};
    to = std::min(to, m_capacity);
    FileViewCls*& current = write ? m_writeView : m_readView;
    if (current && from >= current->first && to <= current->end) {
        ++current->refs;
        current->lastUse = ++m_useClock;
        return FileViewRef(this, current, from);
    }
    if (current) {
        --current->refs;  // the hold of the current view
        current = nullptr;
    }
    FileViewCls* found = nullptr;
    for (auto it = m_maps.rbegin(); it != m_maps.rend() && !found; ++it)
        for (auto& v : (*it)->views())
            if (from >= v->first && to <= v->end) {
                found = v.get();
                break;
            }
    if (!found) {
        const std::int64_t half = m_sectionSize / 2;
        const std::int64_t first = std::max<std::int64_t>(0, from - half) / m_sectionSize * m_sectionSize;
        const std::int64_t end = std::min(m_capacity, ((to + half) / m_sectionSize + 1) * m_sectionSize);
        // The store may begin anywhere in its file (dropFront): the mapping
        // starts at the page that holds the view's first byte.
        const std::int64_t page = vkit::MemFileCls::allocationGranularity();
        const std::int64_t physical = m_head + first;
        const std::int64_t skip = physical % page;
        const auto mapLength = static_cast<size_t>(end - first + skip);
        void* p = ::mmap(nullptr, mapLength, PROT_READ | PROT_WRITE, MAP_SHARED, m_fd, static_cast<off_t>(physical - skip));
        if (p == MAP_FAILED) {
            failLocked("CANNOT CREATE FILE MAPPING:", errno);
            return {};
        }
        auto view = std::make_unique<FileViewCls>();
        view->mapBase = static_cast<char*>(p);
        view->mapLength = mapLength;
        view->base = static_cast<char*>(p) + skip;
        view->first = first;
        view->end = end;
        view->map = m_maps.back().get();
        found = view.get();
        m_maps.back()->views().push_back(std::move(view));
    }
    current = found;
    found->refs += 2;  // the hold of the current view and the caller's
    found->lastUse = ++m_useClock;
    trimLocked();
    return FileViewRef(this, found, from);
}

std::int64_t FileCls::bytesLeftInView(std::int64_t position)
{
    FileViewRef ref = readView(position, position + 1);
    return ref.available();
}

void FileCls::releaseRef(FileViewCls* view)
{
    CritSectLock lock(m_cs);
    if (!view->map) {
        releaseSourceRefLocked(view);
        return;
    }
    --view->refs;
    trimLocked();
}

void FileCls::releaseViews()
{
    CritSectLock lock(m_cs);
    for (FileViewCls** cur : {&m_readView, &m_writeView})
        if (*cur) {
            --(*cur)->refs;
            *cur = nullptr;
        }
    for (auto& map : m_maps) {
        auto& views = map->views();
        for (auto it = views.begin(); it != views.end();) {
            if ((*it)->refs == 0) {
                ::munmap((*it)->mapBase, (*it)->mapLength);
                it = views.erase(it);
            } else {
                ++it;
            }
        }
    }
    trimLocked();
}

void FileCls::trimLocked()
{
    // Old mappings without a view in use go, but the newest two always stay.
    for (size_t i = 0; i + kMappingsKept < m_maps.size();) {
        if (m_maps[i]->inUse()) {
            ++i;
            continue;
        }
        for (auto& v : m_maps[i]->views())
            ::munmap(v->mapBase, v->mapLength);
        m_maps.erase(m_maps.begin() + static_cast<std::ptrdiff_t>(i));
    }
    // Keep a few unreferenced views for neighbouring requests, least recently used go first.
    for (;;) {
        int unreferenced = 0;
        FileMapCls* oldestMap = nullptr;
        size_t oldestIndex = 0;
        std::uint64_t oldestUse = UINT64_MAX;
        for (auto& map : m_maps) {
            auto& views = map->views();
            for (size_t i = 0; i < views.size(); ++i) {
                if (views[i]->refs > 0)
                    continue;
                ++unreferenced;
                if (views[i]->lastUse < oldestUse) {
                    oldestUse = views[i]->lastUse;
                    oldestMap = map.get();
                    oldestIndex = i;
                }
            }
        }
        if (unreferenced <= kUnreferencedViewsKept || !oldestMap)
            break;
        auto& views = oldestMap->views();
        ::munmap(views[oldestIndex]->mapBase, views[oldestIndex]->mapLength);
        views.erase(views.begin() + static_cast<std::ptrdiff_t>(oldestIndex));
    }
}

void FileCls::setSectionSize(std::int64_t bytes)
{
    releaseViews();
    CritSectLock lock(m_cs);
    const std::int64_t page = vkit::MemFileCls::allocationGranularity();
    m_sectionSize = std::max(2 * page, bytes / (2 * page) * (2 * page));
}

int FileCls::mappingCount() const
{
    CritSectLock lock(m_cs);
    return static_cast<int>(m_maps.size());
}

int FileCls::viewCount() const
{
    CritSectLock lock(m_cs);
    int n = 0;
    for (auto& map : m_maps)
        n += static_cast<int>(map->views().size());
    return n;
}

bool FileCls::unmapAllLocked()
{
    for (auto& map : m_maps)
        for (auto& v : map->views()) {
            const int hold = (v.get() == m_readView) + (v.get() == m_writeView);
            if (v->refs > hold)
                return false;  // somebody still points into a view
        }
    m_readView = nullptr;
    m_writeView = nullptr;
    for (auto& map : m_maps)
        for (auto& v : map->views())
            ::munmap(v->mapBase, v->mapLength);
    m_maps.clear();
    m_maps.push_back(std::make_unique<FileMapCls>(m_capacity));
    return true;
}

bool FileCls::movePiecesLocked(std::int64_t from, std::int64_t to, std::int64_t length, const MoveProgress& progress)
{
    const bool down = to < from;
    for (std::int64_t done = 0; done < length;) {
        const std::int64_t n = std::min(kTransferChunk, length - done);
        const std::int64_t first = down ? done : length - done - n;
        if (!moveBytes(from + first, to + first, n))
            return false;
        done += n;
        if (progress)
            progress(done, length);
    }
    return true;
}

bool FileCls::removeRange(std::int64_t from, std::int64_t length, const MoveProgress& progress)
{
    CritSectLock lock(m_cs);
    if (m_fd < 0 || m_error || from < 0 || length < 0 || from > m_length)
        return false;
    length = std::min(length, m_length - from);
    if (length == 0)
        return true;
    if (!settleSourceLocked())
        return false;
    const std::int64_t tail = m_length - from - length;
    if (from < tail && unmapAllLocked()) {
        // Fewer bytes before the range than after it: those move up, and the
        // store begins where the range ended.
        if (!movePiecesLocked(0, length, from, progress))
            return false;
        unmapAllLocked();  // the moves map nothing of their own; this only drops the holds
        m_head += length;
        m_length -= length;
        m_capacity -= length;
        m_position = std::max<std::int64_t>(0, m_position - length);
        m_maps.back() = std::make_unique<FileMapCls>(m_capacity);
        // The whole pages before the store go back to the file system.
        const std::int64_t page = vkit::MemFileCls::allocationGranularity();
        if (const std::int64_t freed = m_head / page * page; freed > 0)
            (void)::fallocate(m_fd, FALLOC_FL_PUNCH_HOLE | FALLOC_FL_KEEP_SIZE, 0, static_cast<off_t>(freed));
        return true;
    }
    if (!movePiecesLocked(from + length, from, tail, progress))
        return false;
    m_length -= length;
    m_position = std::min(m_position, m_length);
    return true;
}

bool FileCls::insertRange(std::int64_t at, std::int64_t length, const MoveProgress& progress)
{
    CritSectLock lock(m_cs);
    if (m_fd < 0 || m_error || at < 0 || length < 0 || at > m_length)
        return false;
    if (length == 0)
        return true;
    if (!settleSourceLocked())
        return false;
    const std::int64_t old = m_length;
    if (length <= m_head && at <= old - at && unmapAllLocked()) {
        // Space on disk again for the pages given back, so that storing
        // through a view can never fault.
        const int rc = ::posix_fallocate(m_fd, m_head - length, length);
        if (rc != 0 && rc != EOPNOTSUPP && rc != ENOSYS && rc != EINVAL) {
            failLocked("CANNOT WRITE FILE: " + m_path + ": ", rc);
            return false;
        }
        m_head -= length;
        m_length += length;
        m_capacity += length;
        m_position += length;
        m_maps.back() = std::make_unique<FileMapCls>(m_capacity);
        return movePiecesLocked(length, 0, at, progress);
    }
    if (!growLocked(old + length))
        return false;
    m_length = old + length;
    return movePiecesLocked(at, at + length, old - at, progress);
}

std::int64_t FileCls::frontRoom() const
{
    CritSectLock lock(m_cs);
    return m_head;
}
