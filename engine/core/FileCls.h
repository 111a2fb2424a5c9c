// The growable store: a temporary file that holds a document's samples, clip
// or undo data. It grows in steps, is reached through mapped views, and is
// unlinked right after it is created, so nothing is left behind even after a
// crash.
//
// Plain read() and write() copy with pread/pwrite (the kernel's page cache is
// the same one the views map, so both see the same bytes). Direct access goes
// through views: readView()/writeView() return a FileViewRef that points at
// the requested offset and says how many bytes follow it in the view, so a
// caller processes a range in pieces that end where a view ends. A view stays
// mapped while any FileViewRef refers to it.
//
// Capacity is reserved on disk (fallocate) before the file grows, so running
// out of disk space is an error reported by write(), never a fault while
// storing through a view.
#pragma once

#include "core/CritSectCls.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class FileCls;
class FileMapCls;

// One mapped view of the store.
class FileViewCls {
public:
    char* base = nullptr;      // first byte of the view
    std::int64_t first = 0;    // store offset of base
    std::int64_t end = 0;      // store offset one past the view
    int refs = 0;
    std::uint64_t lastUse = 0;
    FileMapCls* map = nullptr;
    char* mapBase = nullptr;  // the mapping itself (base lies within its first page)
    std::size_t mapLength = 0;
};

// One mapping of the store at a given capacity with the views cached in it.
class FileMapCls {
public:
    explicit FileMapCls(std::int64_t size) : m_size(size) {}
    std::int64_t size() const { return m_size; }
    std::vector<std::unique_ptr<FileViewCls>>& views() { return m_views; }
    bool inUse() const;

private:
    std::int64_t m_size;
    std::vector<std::unique_ptr<FileViewCls>> m_views;
};

// A borrowed pointer into a view; gives the view back when destroyed.
class FileViewRef {
public:
    FileViewRef() = default;
    FileViewRef(FileCls* file, FileViewCls* view, std::int64_t offset);
    ~FileViewRef() { reset(); }
    FileViewRef(FileViewRef&& other) noexcept;
    FileViewRef& operator=(FileViewRef&& other) noexcept;
    FileViewRef(const FileViewRef&) = delete;
    FileViewRef& operator=(const FileViewRef&) = delete;

    explicit operator bool() const { return m_view != nullptr; }
    // The byte at the requested offset.
    char* data() const { return m_view ? m_view->base + (m_offset - m_view->first) : nullptr; }
    std::int64_t offset() const { return m_offset; }
    // Bytes from the requested offset to the end of the view.
    std::int64_t available() const { return m_view ? m_view->end - m_offset : 0; }
    void reset();

private:
    FileCls* m_file = nullptr;
    FileViewCls* m_view = nullptr;
    std::int64_t m_offset = 0;
};

class FileCls {
public:
    static constexpr std::int64_t kSectionSize = 8 * 1024 * 1024;
    static constexpr std::int64_t kViewSize = 4 * 1024 * 1024;
    static constexpr std::int64_t kDefaultGrowthStep = 512 * 1024;
    static constexpr std::int64_t kStoreGrowthStep = 256 * 1024;  // the document's stores

    FileCls() = default;
    ~FileCls();
    FileCls(const FileCls&) = delete;
    FileCls& operator=(const FileCls&) = delete;
    // Takes over the other store's file, mappings and state without copying a
    // byte; the other store is left closed. No view of either store may be in
    // use while it moves.
    FileCls(FileCls&& other) noexcept;
    FileCls& operator=(FileCls&& other) noexcept;

    // Creates the file anew at `path` (replacing one that exists) and unlinks
    // it at once. growthStep 0 means 512 KiB.
    bool create(const std::string& path, std::int64_t initialCapacity = 0, std::int64_t growthStep = 0);
    // Creates it in the temporary folder with a unique name beginning with `prefix`.
    bool createTemp(const std::string& prefix, std::int64_t initialCapacity = 0, std::int64_t growthStep = 0);
    void close();
    bool isOpen() const { return m_fd >= 0; }

    std::int64_t length() const;
    bool setLength(std::int64_t length);
    std::int64_t position() const;
    bool setPosition(std::int64_t position);
    std::int64_t capacity() const;
    std::int64_t growthStep() const { return m_growthStep; }

    // Bytes read (cut at the length); position −1 reads at the current position.
    std::int64_t read(void* buffer, std::int64_t length, std::int64_t position = -1);
    // Bytes written (0 after an error); position −1 writes at the current position.
    std::int64_t write(const void* buffer, std::int64_t length, std::int64_t position = -1);
    // Releases every view, then sets capacity, length and the size on disk.
    bool setFileSize(std::int64_t size);

    // A view over at least [from, to) (cut at the capacity); empty on failure.
    FileViewRef readView(std::int64_t from, std::int64_t to);
    // As readView, growing the store first so that `to` lies within it.
    FileViewRef writeView(std::int64_t from, std::int64_t to);
    // Bytes left from `position` to the end of the view that serves it.
    std::int64_t bytesLeftInView(std::int64_t position);
    // Unmaps every view and mapping that is not in use.
    void releaseViews();

    bool error() const;
    std::string errorText() const;
    const std::string& path() const { return m_path; }
    int mappingCount() const;
    // Views are made of whole sections (8 MiB) with a margin of half a
    // section; smaller sections (a multiple of two pages) serve tests that
    // must cross many view edges. Releases every view first.
    void setSectionSize(std::int64_t bytes);
    std::int64_t sectionSize() const { return m_sectionSize; }
    int viewCount() const;

    // ---- Bulk transfers (FileClsTransfer.cpp) ----
    // These read and write the store only through its file descriptor, never
    // through views; mapped views see the same page cache.
    //
    // Copies [from, from + length) of the store (cut at the length) into `fd`
    // at fdOffset, or at its current offset when fdOffset is −1 (which then
    // moves past the bytes). The kernel copies the bytes itself where it can
    // (copy_file_range); where it refuses (pipes, other file systems, append
    // mode ...) they go through a buffer. progress(done) is called after each
    // chunk of `chunk` bytes (kTransferChunk when 0); false cancels. Returns the bytes copied,
    // or −1 with errno set after a failure (ECANCELED when cancelled). The
    // store's own error state is not touched by a failing target.
    static constexpr std::int64_t kTransferChunk = 64 * 1024 * 1024;
    std::int64_t copyTo(int fd, std::int64_t fdOffset, std::int64_t from, std::int64_t length,
                        const std::function<bool(std::int64_t done)>& progress = {}, std::int64_t chunk = 0);
    // Moves [from, from + length) to `to` inside the store; the ranges may
    // overlap (as memmove). The store grows first so that running out of disk
    // space is a write error, not a fault; the length grows to cover the
    // target. False after an error (error() tells).
    bool moveBytes(std::int64_t from, std::int64_t to, std::int64_t length);
    // Removes [from, from + length) of the store (cut at its length), moving
    // the shorter side: the bytes after the range move down, or the bytes
    // before it move up and the store then begins further into its file (the
    // disk space in front is given back). insertRange opens a gap of `length`
    // bytes at `at` (<= the length) for the caller to fill, again moving the
    // shorter side: the bytes before it move down into room left in front by
    // a removal when there is enough, else the bytes after it move up.
    // progress(done, total) follows the bytes moved. The front is used only
    // while no view is in use. False after an error (error() tells).
    using MoveProgress = std::function<void(std::int64_t done, std::int64_t total)>;
    bool removeRange(std::int64_t from, std::int64_t length, const MoveProgress& progress = {});
    bool insertRange(std::int64_t at, std::int64_t length, const MoveProgress& progress = {});
    // Room in front of the store left by removals, or by the header of a
    // source file (adoptSource keeps the bytes where they lie within pages).
    std::int64_t frontRoom() const;
    // ---- end of bulk transfers ----

    // ---- a store that begins as a stretch of another file ----
    // The store's bytes become [offset, offset + length) of the file at
    // `path` at once (the store must be open and empty): until they have been
    // copied into the store's own file, reads come from a read-only mapping of
    // that file, which is never written. startSourceCopy() runs the copy on a
    // thread of its own; every write, length change and writable view waits
    // for it first (finishSourceCopy() waits with progress). Deleting or
    // replacing the source file does not disturb the store; when another
    // program cuts it short, its missing part reads as zeros and the store
    // ends where the copy had to stop (takeSourceShortening()).
    bool adoptSource(const std::string& path, std::int64_t offset, std::int64_t length);
    // Whether reads still come from the source file.
    bool hasSource() const;
    const std::string& sourcePath() const;
    void startSourceCopy();
    // Bytes copied so far, and whether the copy thread has ended.
    std::int64_t sourceCopied() const;
    bool sourceCopyEnded() const;
    // Waits for the copy (starting it when needed), calling progress(done,
    // total) every few hundredths of a second; false when progress returned
    // false (the copy goes on) or the store's own file could not be written
    // (error() says why; the store keeps reading from the source).
    bool finishSourceCopy(const std::function<bool(std::int64_t done, std::int64_t total)>& progress = {});
    // Once after the copy stopped early because the source file ended (or
    // could not be read) before the stretch did: true with the bytes the
    // store kept and the system's reason, if any.
    bool takeSourceShortening(std::int64_t& keptBytes, std::string& reason);

private:
    struct Source;
    struct SourceDeleter {
        void operator()(Source* source) const;
    };
    // Source helpers (FileClsSource.cpp); called with the lock held.
    bool sourceActiveLocked() const;
    FileViewRef sourceViewLocked(std::int64_t from);
    std::int64_t readSourceLocked(char* out, std::int64_t length, std::int64_t position);
    bool settleSourceLocked();
    void releaseSourceRefLocked(FileViewCls* view);
    void stopSourceLocked();
    void abandonSourceLocked();
    // While reads come from a source file: a duplicate of its descriptor (the
    // caller closes it) and the offset of the store's byte 0 in it; otherwise
    // fd and offset stay as given. False with errno set when the duplicate
    // cannot be made.
    bool sourceDescriptorLocked(int& fd, std::int64_t& offset) const;

    friend class FileViewRef;
    void releaseRef(FileViewCls* view);
    FileViewRef viewFor(std::int64_t from, std::int64_t to, bool write);
    bool growLocked(std::int64_t end);
    bool setLengthLocked(std::int64_t length);
    bool reserveLocked(std::int64_t newCapacity, const char* what);
    void failLocked(const std::string& message, int code);
    void trimLocked();
    // Unmaps every view; false (nothing unmapped) while one is in use.
    bool unmapAllLocked();
    // moveBytes in pieces of kTransferChunk, in an order that overwrites no
    // byte before it has moved.
    bool movePiecesLocked(std::int64_t from, std::int64_t to, std::int64_t length, const MoveProgress& progress);

    std::string m_path;
    int m_fd = -1;
    std::int64_t m_capacity = 0;
    std::int64_t m_length = 0;
    std::int64_t m_position = 0;
    std::int64_t m_head = 0;  // where byte 0 of the store lies in its file
    std::int64_t m_growthStep = kDefaultGrowthStep;
    std::int64_t m_sectionSize = kSectionSize;
    std::vector<std::unique_ptr<FileMapCls>> m_maps;  // oldest first
    FileViewCls* m_readView = nullptr;   // the current views hold one reference each
    FileViewCls* m_writeView = nullptr;
    std::uint64_t m_useClock = 0;
    bool m_error = false;
    std::string m_errorText;
    std::unique_ptr<Source, SourceDeleter> m_source;
    mutable vkit::CritSectCls m_cs;
};
