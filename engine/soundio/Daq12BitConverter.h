// Conversion of a recording into the output words of the data-acquisition
// card: 16-bit little-endian words that hold 12-bit signed values
// (-2048 .. 2047), interleaved as the recording's frames, in a temporary file
// of their own ("hsp..." in the temporary folder).
//
// Each sample becomes one word, computed from its Raw value (the codec's
// integer relative to the zero line):
//    8 bits  (s - 128) x 16
//   12 bits  the stored 16-bit word as it is, clipped to the 12-bit range
//   16 bits  s >> 4   (arithmetic, so rounding is toward minus infinity)
//   24 bits  s >> 12
//   32 bits  s >> 20
// A compressed wave plays its removed stretches as silence: before each kept
// segment the gap up to its start is written as zero words. 65536 zero bytes
// follow the samples, so the card's output settles at zero.
//
// The samples are read in blocks of 16384 bytes and the words written as they
// are made: recordings of any length convert in a few dozen kilobytes.
#pragma once

#include "soundfiles/LoadedRecording.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// One 12-bit output word from a sample's Raw value at a width in bits.
constexpr std::int16_t daq12BitWord(std::int32_t raw, int bitsPerSample)
{
    switch (bitsPerSample) {
    case 8: return static_cast<std::int16_t>(raw * 16);
    case 12: return static_cast<std::int16_t>(raw < -2048 ? -2048 : raw > 2047 ? 2047 : raw);
    case 16: return static_cast<std::int16_t>(raw >> 4);
    case 24: return static_cast<std::int16_t>(raw >> 12);
    case 32: return static_cast<std::int16_t>(raw >> 20);
    default: return 0;
    }
}

// Bytes a sample of the width takes in the data chunk (12-bit samples sit in
// 16-bit words); 0 for widths the card cannot play.
constexpr int daqSampleBytes(int bitsPerSample)
{
    switch (bitsPerSample) {
    case 8: return 1;
    case 12:
    case 16: return 2;
    case 24: return 3;
    case 32: return 4;
    default: return 0;
    }
}

// `samples` stored samples at `in` into output words at `out`.
void convertTo12BitWords(const std::uint8_t* in, std::int64_t samples, int bitsPerSample, std::int16_t* out);

// The temporary file of one converted recording. It is unlinked as soon as it
// is made, so it goes away with the last owner (or with the process); the
// card reads it through its descriptor.
class DaqTempFile {
public:
    static constexpr const char* kPrefix = "hsp";

    // A new empty file in `folder`; null with `error` set when it cannot be made.
    static std::shared_ptr<DaqTempFile> create(const std::string& folder, std::string& error);
    ~DaqTempFile();
    DaqTempFile(const DaqTempFile&) = delete;
    DaqTempFile& operator=(const DaqTempFile&) = delete;

    int fd() const { return m_fd; }
    // The name the file was made under (it no longer exists in the folder).
    const std::string& path() const { return m_path; }
    std::int64_t size() const { return m_size; }
    // Appends all `bytes`; false on a write failure.
    bool append(const void* data, std::size_t bytes);
    // Up to `bytes` from `offset`; how many were read (0 at the end, -1 on an error).
    std::int64_t read(void* data, std::size_t bytes, std::int64_t offset) const;

private:
    DaqTempFile(int fd, std::string path) : m_fd(fd), m_path(std::move(path)) {}
    int m_fd = -1;
    std::string m_path;
    std::int64_t m_size = 0;
};

// What a recording gives the card.
struct DaqConversion {
    bool ok = false;
    std::string error;                  // the system's text when not ok
    std::vector<std::string> warnings;  // shown, the conversion went on
    std::shared_ptr<DaqTempFile> file;
    int channels = 0;
    int bitsPerSample = 0;
    std::int64_t fileRateHz = 0;
    std::int32_t timeExp25 = 1000;      // time expansion x 1000
    std::int64_t playbackRateHz = 0;    // the real-time rate: file rate x expansion
    std::int64_t convertedBytes = 0;
    std::int64_t points = 0;            // words of every channel: convertedBytes / 2
};

struct DaqConvertOptions {
    std::string tempFolder;             // empty: the system's temporary folder
    const std::atomic<bool>* cancel = nullptr;
    // Free bytes assumed for the temporary folder (-1: ask the file system).
    std::int64_t freeBytes = -1;
};

// Converts the recording at `path` (a RIFF wave, with or without the
// program's own forms and segment table).
DaqConversion convertForDaq(const std::string& path, const DaqConvertOptions& options = {});

// The real-time rate of a recording: rate x time expansion / 1000; a time
// expansion of 0 or less counts as none.
std::int64_t daqRealTimeRateHz(std::int64_t fileRateHz, std::int32_t timeExp25);

// Checks a compressed wave's segments against its sound data before anything
// is written: every segment must hold frames, all of them together no more
// than the data holds, and the expanded recording (gaps as silence, in output
// words) must fit in `freeBytes` (-1: not checked). Empty when they fit, else
// the system's text.
std::string checkDaqSegments(const std::vector<SegmentRecord>& segments, std::int64_t dataFrames, int channels,
                             std::int64_t freeBytes);
