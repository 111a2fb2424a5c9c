#include "core/FileCls.h"
#include "core/LoggCls.h"
#include "core/MemFileCls.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <numeric>
#include <unistd.h>
#include <vector>

using vestest::Bytes;
using vestest::TempDir;

namespace {

std::vector<std::uint8_t> pattern(std::size_t n, std::uint32_t seed)
{
    std::vector<std::uint8_t> v(n);
    std::uint32_t s = seed;
    for (auto& b : v) {
        s = s * 1103515245u + 12345u;
        b = static_cast<std::uint8_t>(s >> 16);
    }
    return v;
}

}  // namespace

// ---- MemFileCls ----

TEST(MemFileCls, EmptyFileCannotBeMapped)
{
    TempDir dir;
    vestest::writeFile(dir.file("empty"), {});
    vkit::MemFileCls mf(dir.file("empty"));
    EXPECT_FALSE(mf.open(true));
    vkit::MemFileCls missing(dir.file("nope"));
    EXPECT_FALSE(missing.open(true));
}

TEST(MemFileCls, ViewsAreReusedAndRangesOutsideTheFileRefused)
{
    TempDir dir;
    const auto data = pattern(300000, 1);
    vestest::writeFile(dir.file("f"), data);
    vkit::MemFileCls mf(dir.file("f"));
    ASSERT_TRUE(mf.open(true));
    EXPECT_EQ(mf.size(), 300000);
    auto* a = static_cast<const std::uint8_t*>(mf.getPointer(true, 5000, 100000));
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(0, std::memcmp(a, data.data() + 5000, 100000));
    auto* b = static_cast<const std::uint8_t*>(mf.getPointer(true, 6000, 10));
    EXPECT_EQ(b, a + 1000) << "a range inside an existing view reuses it";
    EXPECT_EQ(mf.mappedViews(), 1);
    EXPECT_EQ(mf.getPointer(true, 299990, 11), nullptr);
    EXPECT_EQ(mf.getPointer(false, 0, 10), nullptr) << "read-only mapping";
    EXPECT_TRUE(mf.releasePointer(a));
    EXPECT_TRUE(mf.releasePointer(b));
    EXPECT_FALSE(mf.releasePointer(b)) << "released twice";
    // Unreferenced views beyond the limit are unmapped.
    mf.setUnreferencedLimit(2);
    for (int i = 0; i < 6; ++i)
        mf.releasePointer(mf.getPointer(true, i * 40000 + 20000, 10));
    EXPECT_LE(mf.mappedViews(), 2);
}

TEST(MemFileCls, WritableMappingGrowsTheFileAndSharedMemoryWorks)
{
    TempDir dir;
    vkit::MemFileCls mf(dir.file("w"), 10000);
    ASSERT_TRUE(mf.open(false));
    auto* p = static_cast<char*>(mf.getPointer(false, 9990, 10));
    ASSERT_NE(p, nullptr);
    std::memcpy(p, "0123456789", 10);
    mf.releasePointer(p);
    mf.close();
    const Bytes onDisk = vestest::readFile(dir.file("w"));
    ASSERT_EQ(onDisk.size(), 10000u);
    EXPECT_EQ(std::string(onDisk.end() - 10, onDisk.end()), "0123456789");

    vkit::MemFileCls anon("", 1 << 20);
    ASSERT_TRUE(anon.open(false));
    auto* q = static_cast<char*>(anon.getPointer(false, (1 << 20) - 4, 4));
    ASSERT_NE(q, nullptr);
    q[3] = 42;
    anon.releasePointer(q);
}

// ---- FileCls ----

TEST(FileCls, WriteFarOutGrowsAndReadIsCutAtTheLength)
{
    FileCls f;
    ASSERT_TRUE(f.createTemp("VpTst", 0, FileCls::kStoreGrowthStep));
    EXPECT_FALSE(vestest::fileExists(f.path())) << "unlinked right after creation";
    const char one = 'x';
    ASSERT_EQ(f.write(&one, 1, 10000000), 1);
    EXPECT_EQ(f.length(), 10000001);
    // Growth: requested end plus (floor((end - old capacity) / step) + 1) steps.
    EXPECT_EQ(f.capacity(), 10000001 + (10000001 / FileCls::kStoreGrowthStep + 1) * FileCls::kStoreGrowthStep);
    char buf[100];
    EXPECT_EQ(f.read(buf, 100, 9999990), 11);
    EXPECT_EQ(buf[10], 'x');
    EXPECT_EQ(buf[0], 0);
    EXPECT_EQ(f.position(), 10000001);
    ASSERT_TRUE(f.setLength(0));
    EXPECT_EQ(f.position(), 0) << "a position past the new end is pulled back";
    EXPECT_EQ(f.read(buf, 100, 0), 0);
}

TEST(FileCls, PositionPastTheEndExtendsTheLengthAndShorteningPullsItBack)
{
    FileCls f;
    ASSERT_TRUE(f.createTemp("VpTst", 0, FileCls::kStoreGrowthStep));
    ASSERT_TRUE(f.setPosition(5000));
    EXPECT_EQ(f.length(), 5000);
    char buf[8] = {1, 1, 1, 1, 1, 1, 1, 1};
    EXPECT_EQ(f.read(buf, 8, 4992), 8);
    EXPECT_EQ(buf[7], 0);
    ASSERT_TRUE(f.setPosition(100));
    EXPECT_EQ(f.length(), 5000) << "a position inside leaves the length";
    ASSERT_TRUE(f.setLength(50));
    EXPECT_EQ(f.position(), 50);
    ASSERT_TRUE(f.setLength(70));
    EXPECT_EQ(f.position(), 50) << "lengthening leaves the position";
}

TEST(FileCls, PiecesThroughViewsMatchPlainReadsAcrossViewBoundaries)
{
    FileCls f;
    ASSERT_TRUE(f.createTemp("VpTst"));
    const auto data = pattern(37 * 1024 * 1024 + 123, 7);  // several 8 MiB sections
    ASSERT_EQ(f.write(data.data(), static_cast<std::int64_t>(data.size()), 0), static_cast<std::int64_t>(data.size()));

    // Negate every byte in place through write views, in pieces that end where a view ends.
    std::int64_t pos = 1000, pieces = 0;
    const std::int64_t end = static_cast<std::int64_t>(data.size()) - 1000;
    while (pos < end) {
        FileViewRef v = f.writeView(pos, pos + 1);
        ASSERT_TRUE(v);
        const std::int64_t n = std::min(v.available(), end - pos);
        ASSERT_GT(n, 0);
        for (std::int64_t i = 0; i < n; ++i)
            v.data()[i] = static_cast<char>(~v.data()[i]);
        pos += n;
        ++pieces;
    }
    EXPECT_GT(pieces, 1);
    std::vector<std::uint8_t> back(data.size());
    ASSERT_EQ(f.read(back.data(), static_cast<std::int64_t>(back.size()), 0), static_cast<std::int64_t>(back.size()));
    for (std::size_t i = 0; i < data.size(); ++i) {
        const bool flipped = static_cast<std::int64_t>(i) >= 1000 && static_cast<std::int64_t>(i) < end;
        ASSERT_EQ(back[i], flipped ? static_cast<std::uint8_t>(~data[i]) : data[i]) << "byte " << i;
    }
    // A view never reaches past the capacity, and the bytes-left query agrees with it.
    FileViewRef tail = f.readView(f.length() - 10, f.length());
    ASSERT_TRUE(tail);
    EXPECT_GE(tail.available(), 10);
    EXPECT_LE(tail.offset() + tail.available(), f.capacity());
    EXPECT_EQ(f.bytesLeftInView(f.length() - 10), tail.available());
    EXPECT_FALSE(f.readView(f.capacity(), f.capacity() + 1)) << "nothing to map past the capacity";
}

TEST(FileCls, ViewsStayValidWhileTheStoreGrowsAndShrinkingWaitsForThem)
{
    FileCls f;
    ASSERT_TRUE(f.createTemp("VpTst", 1 << 20, 64 * 1024));
    const auto data = pattern(1 << 20, 3);
    f.write(data.data(), 1 << 20, 0);
    FileViewRef held = f.readView(0, 4096);
    ASSERT_TRUE(held);
    for (int i = 0; i < 200; ++i) {  // many growth steps, new mappings each time
        const auto more = pattern(64 * 1024, static_cast<std::uint32_t>(i));
        f.write(more.data(), 64 * 1024, -1);
        FileViewRef other = f.readView(f.length() - 100, f.length());
        ASSERT_TRUE(other);
    }
    EXPECT_EQ(0, std::memcmp(held.data(), data.data(), 4096));
    EXPECT_LE(f.mappingCount(), 3) << "old mappings without views in use are closed";
    EXPECT_FALSE(f.setFileSize(100)) << "a view is still in use";
    held.reset();
    ASSERT_TRUE(f.setFileSize(100));
    EXPECT_EQ(f.length(), 100);
    EXPECT_EQ(f.capacity(), 100);
    char buf[200];
    EXPECT_EQ(f.read(buf, 200, 0), 100);
    EXPECT_EQ(0, std::memcmp(buf, data.data(), 100));
}

TEST(FileCls, CreateFailureSetsTheErrorAndLaterWritesDoNothing)
{
    TempDir dir;
    vestest::TempDir logDir;
    vkit::Logg().setPath(logDir.file("f.log"));
    FileCls f;
    EXPECT_FALSE(f.create(dir.file("no/such/folder/x")));
    EXPECT_TRUE(f.error());
    EXPECT_EQ(f.errorText().rfind("CANNOT CREATE FILE: " + dir.file("no/such/folder/x") + ": ", 0), 0u)
        << f.errorText();
    const char c = 1;
    EXPECT_EQ(f.write(&c, 1, 0), 0);
    const Bytes log = vestest::readFile(logDir.file("f.log"));
    EXPECT_NE(std::string(log.begin(), log.end()).find("CANNOT CREATE FILE"), std::string::npos);
    vkit::Logg().setPath(vkit::tempFolder() + "/vesperon-tests.log");
}

TEST(FileCls, MoveHandsOverTheFileItsMappingsAndSettings)
{
    // Small sections, so that the views the store has already mapped are
    // several and a moved store must keep using them.
    const auto data = pattern(3 * 1024 * 1024 + 17, 5);
    const auto size = static_cast<std::int64_t>(data.size());
    FileCls a;
    ASSERT_TRUE(a.createTemp("VpTst", 0, FileCls::kStoreGrowthStep));
    a.setSectionSize(64 * 1024);
    ASSERT_EQ(a.write(data.data(), size, 0), size);
    for (std::int64_t pos = 0; pos < size; pos += 500000)
        ASSERT_TRUE(a.readView(pos, pos + 1));
    const std::string path = a.path();
    const int views = a.viewCount();
    ASSERT_GT(views, 0);

    FileCls b(std::move(a));
    EXPECT_FALSE(a.isOpen());
    EXPECT_EQ(a.length(), 0);
    EXPECT_EQ(a.viewCount(), 0);
    const char c = 'q';
    EXPECT_EQ(a.write(&c, 1, 0), 0) << "a moved-from store is closed";
    EXPECT_EQ(b.path(), path) << "the same (unlinked) file, not a copy";
    EXPECT_EQ(b.viewCount(), views);
    EXPECT_EQ(b.sectionSize(), 64 * 1024);
    EXPECT_EQ(b.growthStep(), FileCls::kStoreGrowthStep);

    // Assigning onto an open store closes that store's own file first.
    FileCls target;
    ASSERT_TRUE(target.createTemp("VpTst"));
    ASSERT_EQ(target.write("zz", 2, 0), 2);
    target = std::move(b);
    EXPECT_FALSE(b.isOpen());
    EXPECT_EQ(target.path(), path);
    ASSERT_EQ(target.length(), size);
    std::vector<std::uint8_t> back(data.size());
    ASSERT_EQ(target.read(back.data(), size, 0), size);
    EXPECT_EQ(back, data);
    FileViewRef v = target.writeView(size, size + 10);
    ASSERT_TRUE(v) << "the moved store still grows";
    std::memcpy(v.data(), "0123456789", 10);
    v.reset();
    ASSERT_TRUE(target.setLength(size + 10));
    char tail[10];
    ASSERT_EQ(target.read(tail, 10, size), 10);
    EXPECT_EQ(std::memcmp(tail, "0123456789", 10), 0);
}
