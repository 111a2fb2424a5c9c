// Read-only mappings of files that another program may cut short. Touching a
// mapped page that lies wholly beyond the end of its file raises SIGBUS; for a
// range registered here the process-wide handler puts zero pages in place of
// the rest of the range instead, and the range remembers that it was hit, so
// the reader sees silence and the owner can tell the user what happened.
// Faults outside registered ranges go on to the handler that was installed
// before (or end the process as they would have).
#pragma once

#include <cstddef>

namespace vkit {

class TruncationGuard {
public:
    // At most kSlots ranges are guarded at once; protect() returns −1 when
    // all are taken (the caller then reads the file some other way).
    static constexpr int kSlots = 64;

    // Guards [begin, begin + length), a read-only mapping made by the caller.
    static int protect(const void* begin, std::size_t length);
    // Stops guarding the range; call before unmapping it.
    static void release(int slot);
    // Whether a fault in the range was answered with zero pages.
    static bool wasHit(int slot);
};

}  // namespace vkit
