// Writes one recording as a wave file while it is being made: the header is
// written first with room reserved for RF64's `ds64` chunk (a `JUNK` chunk of
// the same size), the sample data is appended as it comes, and finish()
// writes the metadata chunks after the data and fills in the sizes — as RIFF
// while they fit 32 bits, else as RF64 in the same place. The file is created
// exclusively: an existing file is never overwritten.
//
// When a write fails (disk full), the file keeps the whole frames that
// reached the disk and finish() still makes it a valid, shorter wave file;
// when even that fails the file is removed.
#pragma once

#include "records/SoundFormat.h"

#include <cstdint>
#include <string>
#include <vector>

namespace autorec {

class RecordingFileWriter {
public:
    static constexpr std::int64_t kHeaderBytes = 82;

    RecordingFileWriter() = default;
    ~RecordingFileWriter();  // finishes an open file
    RecordingFileWriter(const RecordingFileWriter&) = delete;
    RecordingFileWriter& operator=(const RecordingFileWriter&) = delete;

    // Creates `path` exclusively (false with `error` when it exists or cannot be made).
    bool open(const std::string& path, const SoundFormat& format, std::string& error);
    bool isOpen() const { return m_fd >= 0; }
    // Appends sample bytes; false once a write has failed (nothing more is written).
    bool append(const void* data, std::int64_t bytes);
    // Metadata chunks written after the data at finish (id of four characters).
    void addChunk(const std::string& id, std::vector<std::uint8_t> bytes);
    void clearChunks() { m_chunks.clear(); }
    // Completes the file. False when it could not be completed (it is then
    // removed, unless it holds whole frames under a valid header: `kept`).
    bool finish(bool* kept = nullptr);

    // Sizes above this are written as RF64 (default: RIFF's 32-bit limit).
    void setRiffLimit(std::int64_t bytes) { m_riffLimit = bytes; }

    const std::string& path() const { return m_path; }
    std::int64_t dataBytes() const { return m_data; }
    bool failed() const { return m_failed; }
    const std::string& failure() const { return m_failure; }

private:
    bool writeHeader(std::int64_t dataBytes, std::int64_t riffSize);

    int m_fd = -1;
    std::string m_path;
    SoundFormat m_format;
    std::int64_t m_data = 0;
    std::int64_t m_riffLimit = 0xFFFFFFFFLL;
    bool m_failed = false;
    std::string m_failure;
    struct Chunk {
        std::string id;
        std::vector<std::uint8_t> bytes;
    };
    std::vector<Chunk> m_chunks;
};

}  // namespace autorec
