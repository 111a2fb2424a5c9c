// Bulk transfers of the growable store: copying a range out into another file
// and moving a range inside the store. Both work on the store's descriptor
// only; the views map the same page cache, so they see the result at once.
#include "core/FileCls.h"

#include "core/LoggCls.h"
#include "core/MemFileCls.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>
#include <vector>

using vkit::CritSectLock;

namespace {

constexpr std::int64_t kBufferBytes = 8 * 1024 * 1024;
// Moves over a shorter distance go through a mapping: the kernel copy would
// need a call per distance. Over longer ones the kernel copy is faster (it
// dirties the pages without a write fault each).
constexpr std::int64_t kMappedMoveBelow = 64 * 1024;

// The kernel will not copy between these descriptors (or not at all): use a buffer.
bool kernelRefuses(int code)
{
    return code == EXDEV || code == EINVAL || code == ENOSYS || code == EOPNOTSUPP || code == ENOTSUP ||
           code == EBADF || code == EPERM || code == ETXTBSY;
}

// Reads exactly `length` bytes at `offset`; false with errno set otherwise.
bool readFully(int fd, char* out, std::int64_t length, std::int64_t offset)
{
    for (std::int64_t got = 0; got < length;) {
        const ssize_t n = ::pread(fd, out + got, static_cast<size_t>(length - got), static_cast<off_t>(offset + got));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            if (n == 0)
                errno = EIO;
            return false;
        }
        got += n;
    }
    return true;
}

// Writes exactly `length` bytes at `offset`, or at the current offset when it is −1.
bool writeFully(int fd, const char* in, std::int64_t length, std::int64_t offset)
{
    for (std::int64_t put = 0; put < length;) {
        const auto left = static_cast<size_t>(length - put);
        const ssize_t n = offset >= 0 ? ::pwrite(fd, in + put, left, static_cast<off_t>(offset + put))
                                      : ::write(fd, in + put, left);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            if (n == 0)
                errno = EIO;
            return false;
        }
        put += n;
    }
    return true;
}

// Copies [from, from + length) of `in` to `outOffset` of `out` (−1: its
// current offset): by the kernel while `kernel` holds, else through `buffer`.
// The caller makes sure the two ranges do not overlap.
bool copyRange(int in, std::int64_t from, int out, std::int64_t outOffset, std::int64_t length, bool& kernel,
               std::vector<char>& buffer)
{
    std::int64_t done = 0;
    while (done < length) {
        if (kernel) {
            off_t inPos = static_cast<off_t>(from + done);
            off_t outPos = static_cast<off_t>(outOffset + done);
            const ssize_t n = ::copy_file_range(in, &inPos, out, outOffset >= 0 ? &outPos : nullptr,
                                                static_cast<size_t>(length - done), 0);
            if (n > 0) {
                done += n;
                continue;
            }
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0 && !kernelRefuses(errno))
                return false;
            kernel = false;  // refused, or no progress: the buffer finds out what is wrong
            continue;
        }
        if (buffer.empty())
            buffer.resize(static_cast<size_t>(kBufferBytes));
        const std::int64_t n = std::min<std::int64_t>(kBufferBytes, length - done);
        if (!readFully(in, buffer.data(), n, from + done) ||
            !writeFully(out, buffer.data(), n, outOffset >= 0 ? outOffset + done : -1))
            return false;
        done += n;
    }
    return true;
}

}  // namespace

std::int64_t FileCls::copyTo(int fd, std::int64_t fdOffset, std::int64_t from, std::int64_t length,
                             const std::function<bool(std::int64_t done)>& progress, std::int64_t chunk)
{
    int store;
    std::int64_t base = 0;
    bool duplicate = false;
    {
        CritSectLock lock(m_cs);
        if (m_fd < 0 || fd < 0) {
            errno = EBADF;
            return -1;
        }
        if (from < 0 || length < 0 || fdOffset < -1) {
            errno = EINVAL;
            return -1;
        }
        store = m_fd;
        length = std::min(length, std::max<std::int64_t>(0, m_length - from));
        // Bytes still read from a source file come from there, through a
        // descriptor of our own: the store may settle meanwhile.
        base = m_head;
        if (!sourceDescriptorLocked(store, base))
            return -1;
        duplicate = store != m_fd;
    }
    bool kernel = true;
    std::vector<char> buffer;
    std::int64_t done = 0;
    bool ok = true;
    while (ok && done < length) {
        const std::int64_t n = std::min(chunk > 0 ? chunk : kTransferChunk, length - done);
        if (!copyRange(store, base + from + done, fd, fdOffset >= 0 ? fdOffset + done : -1, n, kernel, buffer)) {
            ok = false;
            break;
        }
        done += n;
        if (progress && !progress(done)) {
            errno = ECANCELED;
            ok = false;
        }
    }
    if (duplicate) {
        const int code = errno;
        ::close(store);
        errno = code;
    }
    return ok ? done : -1;
}

bool FileCls::moveBytes(std::int64_t from, std::int64_t to, std::int64_t length)
{
    int fd;
    std::int64_t head = 0;
    {
        CritSectLock lock(m_cs);
        if (m_fd < 0 || m_error || from < 0 || to < 0 || length < 0)
            return false;
        if (length == 0 || from == to)
            return true;
        if (!settleSourceLocked())
            return false;
        // Space on disk first: a store into the range can never fault.
        if (!growLocked(std::max(from, to) + length))
            return false;
        fd = m_fd;
        head = m_head;
        from += head;  // where the bytes lie in the file
        to += head;
    }
    const std::int64_t dist = std::abs(to - from);
    const bool down = to < from;  // towards the start: front to back
    bool ok = true;
    int code = 0;
    if (dist < kMappedMoveBelow) {
        // Close moves: a mapping of source and target together, piece by piece
        // in the same order, and memmove sees the overlap.
        const std::int64_t page = vkit::MemFileCls::allocationGranularity();
        const std::int64_t piece = kTransferChunk;
        for (std::int64_t done = 0; ok && done < length;) {
            const std::int64_t n = std::min(piece, length - done);
            const std::int64_t first = down ? done : length - done - n;
            const std::int64_t lo = std::min(from, to) + first, hi = std::max(from, to) + first + n;
            const std::int64_t mapFirst = lo / page * page;
            const auto size = static_cast<size_t>(hi - mapFirst);
            void* p = ::mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_SHARED, fd, static_cast<off_t>(mapFirst));
            if (p == MAP_FAILED) {
                ok = false;
                code = errno;
                break;
            }
            auto* base = static_cast<char*>(p);
            // One call makes every page writable instead of a fault per page.
            (void)::madvise(p, size, MADV_POPULATE_WRITE);
            std::memmove(base + (to + first - mapFirst), base + (from + first - mapFirst), static_cast<size_t>(n));
            ::munmap(p, size);
            done += n;
        }
    } else {
        // Pieces no longer than the distance never overlap, and in this order
        // no piece overwrites bytes not yet read.
        bool kernel = true;
        std::vector<char> buffer;
        const std::int64_t piece = std::min(dist, kTransferChunk);
        for (std::int64_t done = 0; ok && done < length;) {
            const std::int64_t n = std::min(piece, length - done);
            const std::int64_t first = down ? done : length - done - n;
            ok = copyRange(fd, from + first, fd, to + first, n, kernel, buffer);
            if (!ok)
                code = errno;
            done += n;
        }
    }
    CritSectLock lock(m_cs);
    if (!ok) {
        failLocked("CANNOT WRITE FILE: " + m_path + ": ", code ? code : EIO);
        return false;
    }
    m_length = std::max(m_length, to - head + length);
    return true;
}
