#include "autorec/RecordingFileWriter.h"

#include "core/ByteOrder.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace autorec {

namespace {

bool writeAll(int fd, const void* data, std::int64_t n, std::int64_t at, int& err)
{
    const auto* p = static_cast<const char*>(data);
    std::int64_t done = 0;
    while (done < n) {
        const ssize_t w = ::pwrite(fd, p + done, static_cast<size_t>(n - done), at + done);
        if (w < 0 && errno == EINTR)
            continue;
        if (w <= 0) {
            err = w < 0 ? errno : ENOSPC;
            return false;
        }
        done += w;
    }
    return true;
}

void put32(std::uint8_t* p, std::uint32_t v) { writeLe32(p, v); }
void put64(std::uint8_t* p, std::uint64_t v)
{
    writeLe32(p, static_cast<std::uint32_t>(v));
    writeLe32(p + 4, static_cast<std::uint32_t>(v >> 32));
}

}  // namespace

RecordingFileWriter::~RecordingFileWriter()
{
    if (m_fd >= 0)
        finish();
}

bool RecordingFileWriter::open(const std::string& path, const SoundFormat& format, std::string& error)
{
    if (m_fd >= 0)
        finish();
    m_fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (m_fd < 0) {
        error = "Failed to open/create file: " + path + ": " + std::strerror(errno);
        return false;
    }
    m_path = path;
    m_format = format;
    m_data = 0;
    m_failed = false;
    m_failure.clear();
    if (!writeHeader(0, kHeaderBytes - 8)) {
        error = m_failure;
        ::close(m_fd);
        m_fd = -1;
        ::unlink(path.c_str());
        return false;
    }
    return true;
}

bool RecordingFileWriter::writeHeader(std::int64_t dataBytes, std::int64_t riffSize)
{
    std::uint8_t h[kHeaderBytes] = {};
    const bool rf64 = riffSize > m_riffLimit || dataBytes > m_riffLimit;
    std::memcpy(h, rf64 ? "RF64" : "RIFF", 4);
    put32(h + 4, rf64 ? 0xFFFFFFFFu : static_cast<std::uint32_t>(riffSize));
    std::memcpy(h + 8, "WAVE", 4);
    std::memcpy(h + 12, rf64 ? "ds64" : "JUNK", 4);
    put32(h + 16, 28);
    if (rf64) {
        put64(h + 20, static_cast<std::uint64_t>(riffSize));
        put64(h + 28, static_cast<std::uint64_t>(dataBytes));
        put64(h + 36, static_cast<std::uint64_t>(m_format.blockAlign ? dataBytes / m_format.blockAlign : 0));
        put32(h + 44, 0);
    }
    std::memcpy(h + 48, "fmt ", 4);
    put32(h + 52, 18);
    writeLe16(h + 56, m_format.formatTag);
    writeLe16(h + 58, m_format.channels);
    put32(h + 60, m_format.samplesPerSec);
    put32(h + 64, m_format.avgBytesPerSec);
    writeLe16(h + 68, m_format.blockAlign);
    writeLe16(h + 70, m_format.bitsPerSample);
    writeLe16(h + 72, 0);
    std::memcpy(h + 74, "data", 4);
    put32(h + 78, rf64 ? 0xFFFFFFFFu : static_cast<std::uint32_t>(dataBytes));
    int err = 0;
    if (!writeAll(m_fd, h, kHeaderBytes, 0, err)) {
        m_failed = true;
        m_failure = "CANNOT WRITE FILE: " + m_path + ": " + std::strerror(err);
        return false;
    }
    return true;
}

bool RecordingFileWriter::append(const void* data, std::int64_t bytes)
{
    if (m_fd < 0 || m_failed)
        return false;
    if (bytes <= 0)
        return true;
    int err = 0;
    if (!writeAll(m_fd, data, bytes, kHeaderBytes + m_data, err)) {
        m_failed = true;
        m_failure = "CANNOT WRITE FILE: " + m_path + ": " + std::strerror(err);
        return false;
    }
    m_data += bytes;
    return true;
}

void RecordingFileWriter::addChunk(const std::string& id, std::vector<std::uint8_t> bytes)
{
    for (Chunk& c : m_chunks)
        if (c.id == id) {
            c.bytes = std::move(bytes);
            return;
        }
    m_chunks.push_back({id, std::move(bytes)});
}

bool RecordingFileWriter::finish(bool* kept)
{
    if (kept)
        *kept = false;
    if (m_fd < 0)
        return false;
    const std::int64_t align = std::max<std::int64_t>(1, m_format.blockAlign);
    m_data = m_data / align * align;
    std::int64_t end = kHeaderBytes + m_data;
    bool ok = !m_failed;
    int err = 0;
    if (ok && (m_data & 1)) {
        const std::uint8_t zero = 0;
        ok = writeAll(m_fd, &zero, 1, end, err);
        end += 1;
    }
    for (const Chunk& c : m_chunks) {
        if (!ok)
            break;
        std::vector<std::uint8_t> b(8 + c.bytes.size() + (c.bytes.size() & 1), 0);
        std::memcpy(b.data(), c.id.c_str(), std::min<std::size_t>(4, c.id.size()));
        put32(b.data() + 4, static_cast<std::uint32_t>(c.bytes.size()));
        if (!c.bytes.empty())
            std::memcpy(b.data() + 8, c.bytes.data(), c.bytes.size());
        ok = writeAll(m_fd, b.data(), static_cast<std::int64_t>(b.size()), end, err);
        end += static_cast<std::int64_t>(b.size());
    }
    if (!ok) {
        // Keep the frames that reached the disk, without the metadata.
        if (!m_failed) {
            m_failed = true;
            m_failure = "CANNOT WRITE FILE: " + m_path + ": " + std::strerror(err);
        }
        if (m_data & 1)
            m_data -= align;  // an odd length would need a pad byte (frames of odd size)
        m_data = std::max<std::int64_t>(0, m_data);
        end = kHeaderBytes + m_data;
    }
    bool valid = ::ftruncate(m_fd, end) == 0 && writeHeader(m_data, end - 8);
    valid = ::close(m_fd) == 0 && valid;
    m_fd = -1;
    if (!valid) {
        ::unlink(m_path.c_str());
        return false;
    }
    if (kept)
        *kept = true;
    return ok;
}

}  // namespace autorec
