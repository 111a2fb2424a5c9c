// Wave files past 4 GiB: the RF64 header we write and the ds64 walk we read,
// on sparse files (the samples are holes; only headers and trailing chunks
// take disk space).
#include "core/ByteOrder.h"
#include "soundfiles/RiffFile.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>

using vestest::Bytes;
using vestest::TempDir;

namespace {

constexpr std::int64_t kGiB = 1LL << 30;

// Header, `dataLength` bytes of hole, a pad byte after odd data, then a guan chunk.
void writeSparseWave(const std::string& path, std::int64_t dataLength, const char* tag = nullptr)
{
    const Bytes guano = {'G', 'U', 'A', 'N', 'O', '|', 'V', 'e', 'r', 's', 'i', 'o', 'n', ':', '1', '\n'};
    const std::int64_t trailing = (dataLength & 1) + WaveFile::paddedChunkSize(static_cast<std::int64_t>(guano.size()));
    std::uint8_t fmt[16];
    PcmFormat{1, 1, 384000, 768000, 2, 16}.toBytes(fmt);
    std::FILE* f = std::fopen(path.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    const std::int64_t head = WaveFile::writeHeader(f, fmt, 16, dataLength, trailing, dataLength / 2);
    ASSERT_EQ(head, WaveFile::headerSize(16, dataLength, trailing));
    ASSERT_EQ(::fseeko(f, head + dataLength + (dataLength & 1), SEEK_SET), 0);
    WaveFile::writePaddedSubChunk(f, "guan", guano.data(), static_cast<std::int64_t>(guano.size()));
    if (tag) {
        ASSERT_EQ(::fseeko(f, 0, SEEK_SET), 0);
        std::fwrite(tag, 1, 4, f);
    }
    std::fclose(f);
}

void patch(const std::string& path, std::int64_t at, const Bytes& bytes)
{
    std::FILE* f = std::fopen(path.c_str(), "r+b");
    ASSERT_NE(f, nullptr);
    ::fseeko(f, at, SEEK_SET);
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
}

Bytes le64(std::uint64_t v)
{
    Bytes b(8);
    writeLe64(b.data(), v);
    return b;
}

TEST(Rf64, HeaderTurnsRf64ExactlyWhereRiffSizesWouldOverflow)
{
    struct Case {
        std::int64_t data, trailing;
        bool rf64;
    };
    const std::int64_t riffMax = 0xFFFFFFFELL;  // 0xFFFFFFFF means "see ds64"
    const Case cases[] = {
        {1000, 24, false},
        {riffMax - 36 - 24, 24, false},  // the largest form that fits
        {riffMax - 36 - 24 + 1, 24, true},
        {riffMax - 36, 0, false},
        {0xFFFFFFFFLL, 0, true},  // the data size alone
        {5 * kGiB, 0, true},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(WaveFile::needsRf64(16, c.data, c.trailing), c.rf64) << c.data;
        EXPECT_EQ(WaveFile::headerSize(16, c.data, c.trailing), c.rf64 ? 80 : 44) << c.data;
    }

    WaveFile w;
    w.setFormat({1, 2, 192000, 768000, 4, 16});
    char* buf = nullptr;
    size_t size = 0;
    std::FILE* mem = open_memstream(&buf, &size);
    EXPECT_EQ(w.writeWaveHeader(mem, nullptr, 5 * kGiB, 10), 80);
    std::fclose(mem);
    ASSERT_EQ(size, 80u);
    const auto* p = reinterpret_cast<const std::uint8_t*>(buf);
    EXPECT_EQ(std::string(buf, 4), "RF64");
    EXPECT_EQ(readLe32(p + 4), 0xFFFFFFFFu);
    EXPECT_EQ(std::string(buf + 8, 8), "WAVEds64");
    EXPECT_EQ(readLe32(p + 16), 28u);
    EXPECT_EQ(readLe64(p + 20), static_cast<std::uint64_t>(80 - 8 + 5 * kGiB + 10)) << "form size";
    EXPECT_EQ(readLe64(p + 28), static_cast<std::uint64_t>(5 * kGiB)) << "data size";
    EXPECT_EQ(readLe64(p + 36), static_cast<std::uint64_t>(5 * kGiB / 4)) << "frames";
    EXPECT_EQ(readLe32(p + 44), 0u) << "no table";
    EXPECT_EQ(std::string(buf + 48, 4), "fmt ");
    EXPECT_EQ(readLe32(p + 52), 16u);
    EXPECT_EQ(readLe32(p + 60), 192000u);
    EXPECT_EQ(std::string(buf + 72, 4), "data");
    EXPECT_EQ(readLe32(p + 76), 0xFFFFFFFFu);
    std::free(buf);
}

TEST(Rf64, SparseFilesOpenWithTheirLengthAndTrailingChunks)
{
    struct Case {
        const char* name;
        std::int64_t data;
        const char* tag;
    };
    const Case cases[] = {
        {"riff just below the limit", 0xFFFFFFFELL - 36 - 40, nullptr},
        {"rf64 5 GiB", 5 * kGiB, nullptr},
        {"rf64 odd length", 5 * kGiB + 1, nullptr},
        {"bw64", 5 * kGiB, "BW64"},
    };
    TempDir dir;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = dir.file("big.wav");
        writeSparseWave(path, c.data, c.tag);
        WaveFile w;
        ASSERT_EQ(w.open(path), 1);
        PcmFormat f;
        ASSERT_TRUE(w.getFormat(f));
        EXPECT_EQ(f.samplesPerSec, 384000u);
        EXPECT_EQ(w.dataLength(), c.data);
        EXPECT_EQ(w.dataStart(), WaveFile::headerSize(16, c.data, 24 + (c.data & 1)));
        const auto chunks = w.foreignChunks();
        ASSERT_EQ(chunks.size(), 1u) << "ds64 is not a metadata chunk to keep";
        EXPECT_EQ(chunks[0]->name(), "guan");
        EXPECT_EQ(chunks[0]->bufferLength(), 16);
        std::uint8_t last[2] = {1, 1};
        EXPECT_EQ(w.readData(last, 2, c.data - 2), 2) << "the end of the samples is reached";
        EXPECT_EQ(last[0], 0);
        std::remove(path.c_str());
    }
}

TEST(Rf64, LyingDs64IsCutToTheFile)
{
    TempDir dir;
    const std::string path = dir.file("lie.wav");
    const std::int64_t data = 5 * kGiB;
    struct Case {
        const char* name;
        std::int64_t at;
        Bytes bytes;
        int forms;              // what open returns
        std::int64_t dataLength;  // when it opens
    };
    const std::int64_t fileSize = 80 + data + 24;
    const Case cases[] = {
        {"data size past the file", 28, le64(static_cast<std::uint64_t>(data) * 4), 1, fileSize - 80},
        {"form size past the file", 20, le64(static_cast<std::uint64_t>(data) * 4), 1, data},
        {"sizes past 2^62", 20, Bytes(16, 0xFF), 1, fileSize - 80},
        {"table of 2^32 entries", 44, Bytes(4, 0xFF), 1, data},
        {"no ds64", 12, Bytes{'J', 'U', 'N', 'K'}, 0, 0},
        {"ds64 too short", 16, Bytes{8, 0, 0, 0}, 0, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        writeSparseWave(path, data);
        patch(path, c.at, c.bytes);
        WaveFile w;
        ASSERT_EQ(w.open(path), c.forms);
        if (c.forms > 0) {
            EXPECT_EQ(w.dataLength(), c.dataLength);
        }
        std::remove(path.c_str());
    }
}

}  // namespace
