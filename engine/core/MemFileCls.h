// A memory-mapped file (or a region of shared memory) from which callers
// borrow pointers into views. A view that already covers a requested range is
// reused; views nobody refers to are kept mapped up to a small limit so that
// sequential readers map each part of a file about once.
#pragma once

#include "core/CritSectCls.h"

#include <cstdint>
#include <string>
#include <vector>

namespace vkit {

class MemFileCls {
public:
    // size −1: the file's own size. An empty fileName puts the mapping in
    // memory: anonymous, or shared by every process using the same
    // mappingName.
    explicit MemFileCls(std::string fileName, std::int64_t size = -1, std::string mappingName = {});
    // The historical form: the size in two 32-bit halves (both 0xFFFFFFFF = −1).
    MemFileCls(std::uint32_t sizeLow, std::uint32_t sizeHigh, const char* fileName, const char* mappingName = nullptr);
    ~MemFileCls();
    MemFileCls(const MemFileCls&) = delete;
    MemFileCls& operator=(const MemFileCls&) = delete;

    bool open(bool readOnly);
    bool isOpen() const { return m_fd >= 0; }
    // Pointer to `length` bytes at `offset`, or null when the range is
    // outside the mapping or cannot be mapped. A writable pointer needs a
    // mapping opened for writing.
    void* getPointer(bool readOnly, std::int64_t offset, std::int64_t length);
    // Gives back a pointer obtained from getPointer.
    bool releasePointer(const void* pointer);
    // Copies up to `length` bytes at `offset` of the file into destination
    // without mapping them: the bytes read, fewer where the file now ends
    // (another program may have cut it short since it was opened, which a
    // mapping would answer with SIGBUS), or -1 on a read error.
    std::int64_t readAt(void* destination, std::int64_t length, std::int64_t offset) const;
    std::int64_t size() const { return m_size; }
    void close();

    void setUnreferencedLimit(int views) { m_unreferencedLimit = views; }
    // Number of views currently mapped (referenced or not).
    int mappedViews() const;

    static std::int64_t allocationGranularity();

private:
    struct View {
        char* base = nullptr;     // start of the mapping
        std::int64_t offset = 0;  // file offset of base
        std::int64_t length = 0;
        int refs = 0;
        std::uint64_t lastUse = 0;
    };
    void trimUnreferencedLocked();

    std::string m_fileName;
    std::string m_mappingName;
    std::int64_t m_requestedSize = -1;
    std::int64_t m_size = 0;
    bool m_readOnly = true;
    int m_fd = -1;
    std::vector<View> m_readViews;
    std::vector<View> m_writeViews;
    int m_unreferencedLimit = 4;
    std::uint64_t m_useClock = 0;
    mutable CritSectCls m_cs;
};

}  // namespace vkit
