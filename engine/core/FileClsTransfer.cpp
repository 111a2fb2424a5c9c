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
#include <future>
#include <linux/magic.h>
#include <memory>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <system_error>
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

// Long copies go to the disk by direct writes: the target does not fill the
// page cache with a second copy of the recording (which the machine may
// have to find fresh memory for), and where the bytes lie alike within
// pages in the store and in the target (a save of an opened wave in the
// layout it was read in) they go from the store's own pages, copied by
// nobody. Elsewhere they pass through two buffers, one read while the other
// is written. Offsets and lengths of direct writes are multiples of this.
constexpr std::int64_t kDirectBlock = 4096;
// Copies shorter than this are left to the kernel copy.
constexpr std::int64_t kDirectMinimum = 4 * 1024 * 1024;
// The size of each of the two buffers.
constexpr std::int64_t kDirectStep = 4 * 1024 * 1024;

// Direct writes are tried on regular files of local file systems that take
// them as they should; elsewhere (network and user-space file systems,
// tmpfs ...) the kernel copy is used.
bool directWritesSuit(int fd)
{
    struct stat st {};
    struct statfs fs {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || ::fstatfs(fd, &fs) != 0)
        return false;
    return fs.f_type == EXT4_SUPER_MAGIC || fs.f_type == XFS_SUPER_MAGIC;
}

// Refused (part may have been written): the file system, the mapping or a
// read would not do it, and the caller copies the range the ordinary way,
// which also finds out about a source cut short meanwhile. Failed, errno
// set, after a write error.
enum class DirectWrite { Done, Refused, Failed };

// Sets O_DIRECT on a descriptor for its lifetime (the status flags belong
// to the open file, which the caller goes on using the ordinary way).
class DirectMode {
public:
    explicit DirectMode(int fd) : m_fd(fd), m_flags(::fcntl(fd, F_GETFL))
    {
        m_on = m_flags >= 0 && ::fcntl(fd, F_SETFL, m_flags | O_DIRECT) == 0;
    }
    ~DirectMode()
    {
        if (m_on) {
            const int code = errno;
            ::fcntl(m_fd, F_SETFL, m_flags);
            errno = code;
        }
    }
    DirectMode(const DirectMode&) = delete;
    DirectMode& operator=(const DirectMode&) = delete;
    bool on() const { return m_on; }

private:
    int m_fd;
    int m_flags;
    bool m_on = false;
};

// Writes `length` bytes from `bytes` (block-aligned) at `offset` of a
// descriptor in direct mode.
DirectWrite writeBlocks(int out, const char* bytes, std::int64_t length, std::int64_t offset)
{
    for (std::int64_t put = 0; put < length;) {
        const ssize_t n =
            ::pwrite(out, bytes + put, static_cast<size_t>(length - put), static_cast<off_t>(offset + put));
        if (n > 0) {
            put += n;
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        const bool refused = n == 0 || errno == EINVAL || errno == EFAULT || errno == EOPNOTSUPP ||
                             errno == ENOTSUP || errno == ENOSYS;
        return refused ? DirectWrite::Refused : DirectWrite::Failed;
    }
    return DirectWrite::Done;
}

// Writes [from, from + length) of `in` to `out` at outOffset (both a
// multiple of kDirectBlock, as is length) by direct writes from a read-only
// mapping of `in`, when from lies like outOffset within a block.
DirectWrite writeDirectMapped(int in, std::int64_t from, int out, std::int64_t outOffset, std::int64_t length)
{
    const std::int64_t page = std::max<std::int64_t>(kDirectBlock, ::sysconf(_SC_PAGESIZE));
    const std::int64_t mapFrom = from / page * page;
    const auto mapLength = static_cast<size_t>(from - mapFrom + length);
    void* map = ::mmap(nullptr, mapLength, PROT_READ, MAP_SHARED, in, static_cast<off_t>(mapFrom));
    if (map == MAP_FAILED)
        return DirectWrite::Refused;
    DirectWrite result = DirectWrite::Refused;
    {
        DirectMode direct(out);
        if (direct.on())
            result = writeBlocks(out, static_cast<const char*>(map) + (from - mapFrom), length, outOffset);
    }
    const int code = errno;
    ::munmap(map, mapLength);
    errno = code;
    return result;
}

// Two block-aligned buffers of kDirectStep bytes.
struct DirectBuffers {
    std::unique_ptr<char, decltype(&std::free)> memory{nullptr, &std::free};
    char* part(int which) { return memory.get() + which * kDirectStep; }
    bool ready()
    {
        if (!memory)
            memory.reset(static_cast<char*>(std::aligned_alloc(kDirectBlock, 2 * kDirectStep)));
        return memory != nullptr;
    }
};

// The same from anywhere in `in`: each step is read into one buffer while
// the step before it is written from the other.
DirectWrite writeDirectBuffered(int in, std::int64_t from, int out, std::int64_t outOffset, std::int64_t length,
                                DirectBuffers& buffers)
{
    if (!buffers.ready())
        return DirectWrite::Refused;
    DirectMode direct(out);
    if (!direct.on())
        return DirectWrite::Refused;
    const auto readStep = [&](int which, std::int64_t at) {
        return readFully(in, buffers.part(which), std::min(kDirectStep, length - at), from + at);
    };
    DirectWrite result = DirectWrite::Done;
    try {
        std::future<bool> next = std::async(std::launch::async, readStep, 0, std::int64_t{0});
        for (std::int64_t at = 0; at < length; at += kDirectStep) {
            const int which = static_cast<int>((at / kDirectStep) % 2);
            if (!next.get())
                return DirectWrite::Refused;
            if (at + kDirectStep < length)
                next = std::async(std::launch::async, readStep, 1 - which, at + kDirectStep);
            result = writeBlocks(out, buffers.part(which), std::min(kDirectStep, length - at), outOffset + at);
            if (result != DirectWrite::Done) {
                const int code = errno;
                if (next.valid())
                    next.wait();  // its buffer is not to be freed under it
                errno = code;
                return result;
            }
        }
    } catch (const std::system_error&) {
        return DirectWrite::Refused;  // no thread to read with
    }
    return result;
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
    bool direct = fdOffset >= 0 && length >= kDirectMinimum && directWritesSuit(fd);
    const bool alike = (base + from - fdOffset) % kDirectBlock == 0;
    DirectBuffers buffers;
    std::vector<char> buffer;
    std::int64_t done = 0;
    bool ok = true;
    // [at, at + n) of the copy, the ordinary way.
    const auto copyPart = [&](std::int64_t at, std::int64_t n) {
        return n <= 0 || copyRange(store, base + from + at, fd, fdOffset >= 0 ? fdOffset + at : -1, n, kernel, buffer);
    };
    while (ok && done < length) {
        const std::int64_t n = std::min(chunk > 0 ? chunk : kTransferChunk, length - done);
        // The whole blocks of the target within this piece go direct; the
        // bytes before and after them (sharing blocks with the header or
        // the chunks after the samples) the ordinary way.
        std::int64_t lo = done, hi = done;
        if (direct) {
            const std::int64_t first = (fdOffset + done + kDirectBlock - 1) / kDirectBlock * kDirectBlock;
            const std::int64_t last = (fdOffset + done + n) / kDirectBlock * kDirectBlock;
            if (last > first) {
                lo = first - fdOffset;
                hi = last - fdOffset;
            }
        }
        ok = copyPart(done, lo - done);
        if (ok && hi > lo) {
            const DirectWrite w =
                alike ? writeDirectMapped(store, base + from + lo, fd, fdOffset + lo, hi - lo)
                      : writeDirectBuffered(store, base + from + lo, fd, fdOffset + lo, hi - lo, buffers);
            if (w == DirectWrite::Refused) {
                direct = false;
                ok = copyPart(lo, hi - lo);
            }
            ok = ok && w != DirectWrite::Failed;
        }
        ok = ok && copyPart(std::max(lo, hi), done + n - std::max(lo, hi));
        if (!ok)
            break;
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
