// A store that begins as a stretch of another file: reads come from a
// read-only mapping of the source until a thread has copied the stretch into
// the store's own file. Nothing writes the store before the copy has ended,
// so the two always hold the same bytes and readers never see a mixture.
#include "core/BackgroundJob.h"
#include "core/FileCls.h"

#include "core/LoggCls.h"
#include "core/MemFileCls.h"
#include "core/TruncationGuard.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <vector>

using vkit::CritSectLock;
using vkit::Logg;

namespace {
constexpr std::int64_t kCopyChunk = 16 << 20;
constexpr std::int64_t kFallbackBuffer = 4 << 20;

// copy_file_range refuses some pairs of files (other file systems, kernels
// without it, special files): then the bytes go through a buffer.
bool copyRangeRefused(int code)
{
    return code == EXDEV || code == EINVAL || code == ENOSYS || code == EOPNOTSUPP || code == EBADF ||
           code == EPERM || code == ETXTBSY || code == EOVERFLOW;
}
}  // namespace

struct FileCls::Source {
    std::string path;
    int fd = -1;
    std::int64_t offset = 0;  // of the stretch in the source file
    std::int64_t length = 0;
    char* map = nullptr;
    std::size_t mapLength = 0;
    int guard = -1;
    FileViewCls view;  // over the whole stretch; its null map tells it from the store's views
    int target = -1;   // the store's own file
    std::int64_t targetHead = 0;  // where the store's byte 0 lies in it

    vkit::BackgroundJob copier;  // stops by `stop`
    bool started = false;
    std::atomic<bool> stop{false};
    std::atomic<bool> ended{false};
    std::atomic<std::int64_t> copied{0};
    // Written by the thread before `ended`, read after it.
    bool shortened = false;
    int readError = 0;
    int writeError = 0;

    bool settled = false;         // the store reads its own file now
    bool shorteningTaken = false;
    std::int64_t keptBytes = 0;

    void run();
    void join()
    {
        if (copier.active()) {
            stop = true;
            copier.join();
        }
    }
    void unmap()
    {
        vkit::TruncationGuard::release(guard);
        guard = -1;
        if (map)
            ::munmap(map, mapLength);
        map = nullptr;
        if (fd >= 0)
            ::close(fd);
        fd = -1;
    }
    ~Source()
    {
        join();
        unmap();
    }
};

void FileCls::SourceDeleter::operator()(Source* source) const
{
    delete source;
}

void FileCls::Source::run()
{
    std::int64_t done = 0;
    bool buffered = false;
    std::vector<char> buffer;
    while (done < length && !stop.load(std::memory_order_relaxed)) {
        const std::int64_t want = std::min(kCopyChunk, length - done);
        ssize_t n = -1;
        if (!buffered) {
            loff_t in = offset + done, out = targetHead + done;
            n = ::copy_file_range(fd, &in, target, &out, static_cast<size_t>(want), 0);
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0 && copyRangeRefused(errno)) {
                buffered = true;
                continue;
            }
            if (n < 0 && (errno == ENOSPC || errno == EDQUOT || errno == EFBIG)) {
                writeError = errno;
                break;
            }
            if (n < 0) {
                buffered = true;  // tell a read error from a write error below
                continue;
            }
        } else {
            if (buffer.empty())
                buffer.resize(static_cast<size_t>(kFallbackBuffer));
            const std::int64_t piece = std::min<std::int64_t>(want, kFallbackBuffer);
            n = ::pread(fd, buffer.data(), static_cast<size_t>(piece), offset + done);
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0) {
                readError = errno;
                break;
            }
            for (ssize_t w = 0; w < n;) {
                const ssize_t m =
                    ::pwrite(target, buffer.data() + w, static_cast<size_t>(n - w), targetHead + done + w);
                if (m < 0 && errno == EINTR)
                    continue;
                if (m <= 0) {
                    writeError = m < 0 ? errno : EIO;
                    break;
                }
                w += m;
            }
            if (writeError)
                break;
        }
        if (n == 0)
            break;  // the source file ends before the stretch does
        done += n;
        copied.store(done, std::memory_order_release);
    }
    shortened = !stop && !writeError && done < length;
    ended.store(true, std::memory_order_release);
}

bool FileCls::adoptSource(const std::string& path, std::int64_t offset, std::int64_t length)
{
    CritSectLock lock(m_cs);
    if (m_fd < 0 || m_error || m_length != 0 || m_head != 0 || m_source || offset < 0 || length < 0)
        return false;
    if (length == 0)
        return true;
    auto src = std::unique_ptr<Source, SourceDeleter>(new Source);
    src->path = path;
    src->fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (src->fd < 0)
        return false;
    struct stat st {};
    if (::fstat(src->fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size < offset + length)
        return false;
    const std::int64_t page = vkit::MemFileCls::allocationGranularity();
    const std::int64_t mapFirst = offset / page * page;
    src->mapLength = static_cast<std::size_t>(offset + length - mapFirst);
    void* p = ::mmap(nullptr, src->mapLength, PROT_READ, MAP_SHARED, src->fd, static_cast<off_t>(mapFirst));
    if (p == MAP_FAILED)
        return false;
    src->map = static_cast<char*>(p);
    const std::size_t pageBytes = static_cast<std::size_t>(page);
    src->guard = vkit::TruncationGuard::protect(src->map, (src->mapLength + pageBytes - 1) / pageBytes * pageBytes);
    if (src->guard < 0)
        return false;
    src->offset = offset;
    src->length = length;
    src->view.base = src->map + (offset - mapFirst);
    src->view.first = 0;
    src->view.end = length;
    src->view.map = nullptr;
    // The store's bytes lie at the same place within their pages as in the
    // file: the kernel then copies whole pages into the store, and a save
    // of the same type (whose header is as long) copies whole pages out of it.
    // Misplaced by a header's length, every page is written in two parts,
    // which makes the copy and writing the copy back to disk slower.
    m_head = offset % page;
    if (!reserveLocked(length, "CANNOT CREATE FILE (can't get space): ")) {
        m_head = 0;
        return false;
    }
    src->target = m_fd;
    src->targetHead = m_head;
    ::posix_fadvise(src->fd, offset, length, POSIX_FADV_SEQUENTIAL);
    m_length = length;
    m_source = std::move(src);
    return true;
}

bool FileCls::hasSource() const
{
    CritSectLock lock(m_cs);
    return sourceActiveLocked();
}

const std::string& FileCls::sourcePath() const
{
    static const std::string none;
    CritSectLock lock(m_cs);
    return m_source ? m_source->path : none;
}

void FileCls::startSourceCopy()
{
    CritSectLock lock(m_cs);
    if (!sourceActiveLocked() || m_source->started)
        return;
    Source* src = m_source.get();
    // Without a thread the copy runs when the store first needs its own file.
    m_source->started = m_source->copier.start([src](vkit::BackgroundJob::Control&) { src->run(); });
}

std::int64_t FileCls::sourceCopied() const
{
    CritSectLock lock(m_cs);
    if (!m_source)
        return 0;
    return m_source->settled ? m_source->keptBytes : m_source->copied.load(std::memory_order_acquire);
}

bool FileCls::sourceCopyEnded() const
{
    CritSectLock lock(m_cs);
    return !sourceActiveLocked() || m_source->ended.load(std::memory_order_acquire);
}

bool FileCls::finishSourceCopy(const std::function<bool(std::int64_t, std::int64_t)>& progress)
{
    startSourceCopy();
    for (;;) {
        std::int64_t done = 0, total = 0;
        {
            CritSectLock lock(m_cs);
            if (!sourceActiveLocked() || m_source->ended.load(std::memory_order_acquire))
                return settleSourceLocked();
            done = m_source->copied.load(std::memory_order_acquire);
            total = m_source->length;
        }
        if (progress && !progress(done, total))
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

bool FileCls::takeSourceShortening(std::int64_t& keptBytes, std::string& reason)
{
    CritSectLock lock(m_cs);
    if (!m_source || !m_source->settled || !m_source->shortened || m_source->shorteningTaken)
        return false;
    m_source->shorteningTaken = true;
    keptBytes = m_source->keptBytes;
    reason = m_source->readError ? vkit::systemErrorText(m_source->readError) : std::string();
    return true;
}

bool FileCls::sourceActiveLocked() const
{
    return m_source && !m_source->settled;
}

FileViewRef FileCls::sourceViewLocked(std::int64_t from)
{
    ++m_source->view.refs;
    return FileViewRef(this, &m_source->view, from);
}

std::int64_t FileCls::readSourceLocked(char* out, std::int64_t length, std::int64_t position)
{
    const Source& src = *m_source;
    std::int64_t done = 0;
    const std::int64_t inSource = std::clamp<std::int64_t>(src.length - position, 0, length);
    while (done < inSource) {
        const ssize_t n = ::pread(src.fd, out + done, static_cast<size_t>(inSource - done), src.offset + position + done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;  // cut short: the rest reads as silence, the copy reports it
        done += n;
    }
    std::memset(out + done, 0, static_cast<size_t>(length - done));
    return length;
}

bool FileCls::settleSourceLocked()
{
    if (!sourceActiveLocked())
        return true;
    Source& src = *m_source;
    if (!src.started) {
        src.started = true;
        src.run();  // on this thread: the caller waits anyway
    } else if (src.copier.active()) {
        src.copier.join();  // the copy thread never takes the lock
    }
    if (src.writeError) {
        if (!m_error)
            failLocked("CANNOT WRITE FILE: " + m_path + ": ", src.writeError);
        return false;
    }
    src.settled = true;
    src.keptBytes = src.copied.load(std::memory_order_acquire);
    if (src.shortened) {
        m_length = src.keptBytes;
        m_position = std::min(m_position, m_length);
        Logg().warning("FileCls: " + src.path + " ended after " + std::to_string(src.keptBytes) + " of " +
                       std::to_string(src.length) + " bytes while it was being copied");
    }
    if (src.view.refs == 0)
        src.unmap();
    else if (src.fd >= 0) {
        ::close(src.fd);
        src.fd = -1;
    }
    return true;
}

void FileCls::releaseSourceRefLocked(FileViewCls* view)
{
    --view->refs;
    if (m_source && m_source->settled && view->refs == 0)
        m_source->unmap();
}

bool FileCls::sourceDescriptorLocked(int& fd, std::int64_t& offset) const
{
    if (!sourceActiveLocked())
        return true;
    fd = ::fcntl(m_source->fd, F_DUPFD_CLOEXEC, 0);
    offset = m_source->offset;
    return fd >= 0;
}

void FileCls::stopSourceLocked()
{
    m_source.reset();
}

void FileCls::abandonSourceLocked()
{
    if (!sourceActiveLocked())
        return;
    Source& src = *m_source;
    src.join();
    src.started = true;
    src.ended = true;
    src.writeError = 0;
    src.shortened = false;
    src.settled = true;
    src.keptBytes = 0;
    if (src.view.refs == 0)
        src.unmap();
}
