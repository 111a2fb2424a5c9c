// Bulk transfers of the growable store: moves inside it (against memmove on a
// copy in memory) and copies out into descriptors the kernel copies into and
// ones it refuses (a pipe, another file system, append mode).
#include "core/FileCls.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <linux/magic.h>
#include <sys/mman.h>
#include <sys/vfs.h>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

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

std::vector<std::uint8_t> storeBytes(FileCls& f)
{
    std::vector<std::uint8_t> out(static_cast<size_t>(f.length()));
    EXPECT_EQ(f.read(out.data(), f.length(), 0), f.length());
    return out;
}

// Fills a store with small sections, so that moves cross many section ends,
// and keeps a view mapped over the whole of it while the bytes move.
void fill(FileCls& f, const std::vector<std::uint8_t>& data)
{
    ASSERT_TRUE(f.createTemp("VpTst", 0, FileCls::kStoreGrowthStep));
    f.setSectionSize(64 * 1024);
    ASSERT_EQ(f.write(data.data(), static_cast<std::int64_t>(data.size()), 0), static_cast<std::int64_t>(data.size()));
}

struct MoveCase {
    const char* name;
    std::int64_t size, from, to, length;
};

}  // namespace

TEST(FileClsTransfer, MoveBytesMatchesMemmove)
{
    constexpr std::int64_t K = 1024, M = 1024 * 1024;
    const MoveCase cases[] = {
        {"down by a few bytes, overlapping", 3 * M + 7, 5, 2, 3 * M},
        {"up by a few bytes, overlapping", 3 * M + 7, 1, 4, 3 * M},
        {"down by more than the mapped-move limit, overlapping", 3 * M + 7, 700 * K + 3, 11, 2 * M + 5},
        {"up by more than the mapped-move limit, overlapping", 3 * M + 7, 13, 700 * K + 1, 2 * M + 5},
        {"farther than long: no overlap", 3 * M + 7, 2 * M + 1, 17, 400 * K},
        {"up past the end grows the store", 1 * M, 100, 1 * M - 50, 1000},
        {"far up past the end by the kernel copy", 1 * M, 3, 2 * M + 1, 1 * M - 3},
        {"zero length", 1 * M, 10, 20, 0},
        {"onto itself", 1 * M, 10, 10, 1000},
        {"close move in several mapped pieces", FileCls::kTransferChunk + 3 * M + 16, 3 * M + 1, 9, FileCls::kTransferChunk + 5},
    };
    for (const MoveCase& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<std::uint8_t> model = pattern(static_cast<size_t>(c.size), 7);
        FileCls f;
        fill(f, model);
        FileViewRef view = f.readView(0, c.size);  // views may stay mapped during a move
        ASSERT_TRUE(view);
        ASSERT_TRUE(f.moveBytes(c.from, c.to, c.length));
        model.resize(static_cast<size_t>(std::max(c.size, c.to + c.length)), 0);
        std::memmove(model.data() + c.to, model.data() + c.from, static_cast<size_t>(c.length));
        ASSERT_EQ(f.length(), static_cast<std::int64_t>(model.size()));
        const auto got = storeBytes(f);
        EXPECT_TRUE(got == model);
        // The mapped view sees the moved bytes.
        const std::int64_t probe = std::min(c.to, c.size - 1);
        EXPECT_EQ(static_cast<std::uint8_t>(view.data()[probe]), model[static_cast<size_t>(probe)]);
        EXPECT_FALSE(f.error());
    }
}

TEST(FileClsTransfer, MoveBytesRefusesBadRangesAndAClosedStore)
{
    FileCls closed;
    EXPECT_FALSE(closed.moveBytes(0, 10, 10));
    FileCls f;
    fill(f, pattern(1000, 3));
    EXPECT_FALSE(f.moveBytes(-1, 10, 10));
    EXPECT_FALSE(f.moveBytes(0, -10, 10));
    EXPECT_FALSE(f.moveBytes(0, 10, -1));
    EXPECT_EQ(storeBytes(f), pattern(1000, 3));
}

namespace {

enum class Target { FileAtOffset, FileAtItsOffset, AppendFile, OtherFileSystem, Pipe };

struct CopyCase {
    const char* name;
    Target target;
};

// Copies `length` bytes from `from` of the store into the target and returns
// what arrived there (after the 5 bytes the target already holds for files).
std::vector<std::uint8_t> copyInto(FileCls& f, Target target, const std::string& path, std::int64_t from,
                                   std::int64_t length, std::int64_t& result)
{
    std::vector<std::uint8_t> out;
    if (target == Target::Pipe) {
        int p[2];
        EXPECT_EQ(::pipe(p), 0);
        std::thread reader([&] {
            char buf[65536];
            ssize_t n;
            while ((n = ::read(p[0], buf, sizeof buf)) > 0)
                out.insert(out.end(), buf, buf + n);
        });
        result = f.copyTo(p[1], -1, from, length);
        ::close(p[1]);
        reader.join();
        ::close(p[0]);
        return out;
    }
    const int flags = O_RDWR | O_CREAT | O_TRUNC | (target == Target::AppendFile ? O_APPEND : 0);
    const int fd = ::open(path.c_str(), flags, 0600);
    EXPECT_GE(fd, 0) << path;
    EXPECT_EQ(::write(fd, "head:", 5), 5);
    result = f.copyTo(fd, target == Target::FileAtOffset ? 5 : -1, from, length);
    if (target != Target::FileAtOffset) {
        EXPECT_EQ(::lseek(fd, 0, SEEK_CUR), 5 + std::max<std::int64_t>(0, result)) << "the offset moves past the bytes";
    }
    const off_t size = ::lseek(fd, 0, SEEK_END);
    out.resize(static_cast<size_t>(std::max<off_t>(0, size - 5)));
    EXPECT_EQ(::pread(fd, out.data(), out.size(), 5), static_cast<ssize_t>(out.size()));
    ::close(fd);
    ::unlink(path.c_str());
    return out;
}

}  // namespace

TEST(FileClsTransfer, CopyToGivesTheSameBytesWhetherTheKernelCopiesOrNot)
{
    const CopyCase cases[] = {
        {"file at an offset", Target::FileAtOffset},
        {"file at its own offset", Target::FileAtItsOffset},
        {"file in append mode (the kernel refuses)", Target::AppendFile},
        {"file on another file system", Target::OtherFileSystem},
        {"pipe (the kernel refuses)", Target::Pipe},
    };
    const auto data = pattern(3 * 1024 * 1024 + 11, 9);
    const auto size = static_cast<std::int64_t>(data.size());
    TempDir dir;
    for (const CopyCase& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.target == Target::OtherFileSystem && ::access("/dev/shm", W_OK) != 0)
            continue;
        const std::string path = c.target == Target::OtherFileSystem ? "/dev/shm/vesperon-copyto-" + std::to_string(::getpid())
                                                                     : dir.file("out");
        FileCls f;
        fill(f, data);
        std::int64_t result = 0;
        // Part of the store, with odd ends.
        auto got = copyInto(f, c.target, path, 12345, size - 20000, result);
        EXPECT_EQ(result, size - 20000);
        EXPECT_TRUE(got == std::vector<std::uint8_t>(data.begin() + 12345, data.end() - 20000 + 12345));
        // A length past the store's end is cut there.
        got = copyInto(f, c.target, path, size - 100, 1000, result);
        EXPECT_EQ(result, 100);
        EXPECT_TRUE(got == std::vector<std::uint8_t>(data.end() - 100, data.end()));
        EXPECT_FALSE(f.error());
    }
}

// Long copies go to the disk directly, from the store's pages where the
// bytes lie alike within blocks in the store and in the target, through
// buffers where they do not: the same bytes arrive, the target's descriptor
// is left as it was, and its whole blocks are not left in the page cache.
// The blocks the copy shares with what lies around it, and short copies, go
// the ordinary way.
TEST(FileClsTransfer, LongCopiesGoStraightToTheDisk)
{
    constexpr std::int64_t M = 1024 * 1024, kBlock = 4096;
    struct Case {
        const char* name;
        std::int64_t from, at, length, chunk;
        bool direct;
    };
    const Case cases[] = {
        {"a wave's samples after their header, in odd pieces", 3 * kBlock + 44, 44, 6 * M + 777, M + 5, true},
        {"whole blocks in one piece", 0, 0, 8 * M, 0, true},
        {"lying differently, through buffers", 46, 44, 6 * M, 0, true},
        {"lying differently, buffers filled unevenly", 4097, 2, 9 * M + 20, 5 * M, true},
        {"too short to bother", 44, 44, 2 * M, 0, false},
    };
    const auto data = pattern(10 * M + 123, 21);
    FileCls f;
    fill(f, data);
    TempDir dir;
    // The file systems that take direct writes.
    struct statfs fs {};
    const bool directFs =
        ::statfs(dir.path().c_str(), &fs) == 0 && (fs.f_type == EXT4_SUPER_MAGIC || fs.f_type == XFS_SUPER_MAGIC);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const int fd = ::open(dir.file("out").c_str(), O_RDWR | O_CREAT | O_TRUNC, 0600);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(::pwrite(fd, data.data(), static_cast<size_t>(c.at), 0), c.at);  // a header before the bytes
        const int flags = ::fcntl(fd, F_GETFL);
        ASSERT_EQ(f.copyTo(fd, c.at, c.from, c.length, {}, c.chunk), c.length);
        EXPECT_EQ(::fcntl(fd, F_GETFL), flags);
        ASSERT_EQ(::lseek(fd, 0, SEEK_END), c.at + c.length);
        // Which of the target's whole blocks are in the page cache, before
        // reading them back brings them in.
        const auto size = static_cast<size_t>(c.at + c.length);
        void* map = ::mmap(nullptr, size, PROT_READ, MAP_SHARED, fd, 0);
        ASSERT_NE(map, MAP_FAILED);
        std::vector<unsigned char> resident((size + kBlock - 1) / kBlock);
        ASSERT_EQ(::mincore(map, size, resident.data()), 0);
        ::munmap(map, size);
        const auto cached = std::count_if(resident.begin() + 1, resident.end() - 1, [](unsigned char r) { return r & 1; });
        if (!c.direct) {
            EXPECT_GT(cached, static_cast<long>(resident.size()) / 2) << "the ordinary way leaves them cached";
        } else if (directFs) {
            EXPECT_LT(cached, 8) << "whole blocks went through the page cache";
        }
        std::vector<std::uint8_t> got(static_cast<size_t>(c.length));
        ASSERT_EQ(::pread(fd, got.data(), got.size(), c.at), static_cast<ssize_t>(got.size()));
        EXPECT_TRUE(std::equal(got.begin(), got.end(), data.begin() + c.from));
        ::close(fd);
    }
    EXPECT_FALSE(f.error());
}

TEST(FileClsTransfer, CopyToReportsProgressCancelsAndLeavesTheStoreUsable)
{
    const auto data = pattern(200000, 4);
    FileCls f;
    fill(f, data);
    TempDir dir;
    const int fd = ::open(dir.file("out").c_str(), O_RDWR | O_CREAT | O_TRUNC, 0600);
    ASSERT_GE(fd, 0);
    std::vector<std::int64_t> reports;
    EXPECT_EQ(f.copyTo(fd, 0, 0, 200000, [&](std::int64_t done) { reports.push_back(done); return true; }), 200000);
    EXPECT_EQ(reports, std::vector<std::int64_t>{200000});
    reports.clear();
    EXPECT_EQ(f.copyTo(fd, 0, 0, 200000, [&](std::int64_t done) { reports.push_back(done); return true; }, 70000), 200000);
    EXPECT_EQ(reports, (std::vector<std::int64_t>{70000, 140000, 200000}));
    reports.clear();
    EXPECT_EQ(f.copyTo(fd, 0, 0, 200000, [&](std::int64_t done) { reports.push_back(done); return false; }, 70000), -1);
    EXPECT_EQ(errno, ECANCELED);
    EXPECT_EQ(reports, std::vector<std::int64_t>{70000}) << "the copy stops at the first refusal";
    EXPECT_EQ(f.copyTo(fd, 0, 0, 0, [&](std::int64_t) { ADD_FAILURE() << "nothing to report"; return true; }), 0);
    ::close(fd);
    // A target that cannot be written fails the copy, not the store.
    EXPECT_EQ(f.copyTo(fd, 0, 0, 100), -1);
    EXPECT_FALSE(f.error());
    const int readOnly = ::open(dir.file("out").c_str(), O_RDONLY);
    EXPECT_EQ(f.copyTo(readOnly, -1, 0, 100), -1);
    ::close(readOnly);
    EXPECT_FALSE(f.error());
    EXPECT_TRUE(f.moveBytes(0, 1, 10));
}

// Removing and inserting ranges move the shorter side; a removal near the
// start leaves room in front that a later insertion there takes back. Views
// made afterwards, plain reads and copies out all see the same bytes.
TEST(FileClsTransfer, RemoveAndInsertRangesMoveTheShorterSide)
{
    constexpr std::int64_t K = 1024;
    struct Step {
        bool insert;
        std::int64_t at, length;
        std::int64_t frontRoomAfter;
    };
    struct Case {
        const char* name;
        std::vector<Step> steps;
    };
    const Case cases[] = {
        {"remove the start, put it back", {{false, 0, 3 * K + 5, 3 * K + 5}, {true, 0, 3 * K + 5, 0}}},
        {"remove near the start, then insert in the middle of the room",
         {{false, 100 * K + 3, 70 * K, 70 * K}, {true, 5000, 30 * K, 40 * K}}},
        {"remove near the end: the tail moves", {{false, 900 * K, 1000, 0}, {true, 900 * K, 1000, 0}}},
        {"insert near the start without room: the tail moves", {{true, 10, 999, 0}}},
        {"insert larger than the room", {{false, 0, 100, 100}, {true, 0, 200, 100}}},
        {"remove past the end is cut", {{false, 1000 * K - 10, 100, 0}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<std::uint8_t> expected = pattern(1000 * K, 5);
        FileCls f;
        fill(f, expected);
        std::uint32_t seed = 40;
        for (const Step& s : c.steps) {
            if (s.insert) {
                ASSERT_TRUE(f.insertRange(s.at, s.length));
                const std::vector<std::uint8_t> gap = pattern(static_cast<size_t>(s.length), ++seed);
                ASSERT_EQ(f.write(gap.data(), s.length, s.at), s.length);
                expected.insert(expected.begin() + s.at, gap.begin(), gap.end());
            } else {
                std::int64_t progressed = 0;
                ASSERT_TRUE(f.removeRange(s.at, s.length, [&](std::int64_t done, std::int64_t) { progressed = done; }));
                const auto end = std::min<std::int64_t>(s.at + s.length, static_cast<std::int64_t>(expected.size()));
                expected.erase(expected.begin() + s.at, expected.begin() + end);
                EXPECT_GE(progressed, 0);
            }
            EXPECT_EQ(f.frontRoom(), s.frontRoomAfter);
            ASSERT_EQ(f.length(), static_cast<std::int64_t>(expected.size()));
            EXPECT_EQ(storeBytes(f), expected);
            const std::int64_t probe = std::min<std::int64_t>(70 * K + 13, f.length() - 1);
            FileViewRef v = f.readView(probe, probe + 1);
            ASSERT_TRUE(v);
            EXPECT_EQ(static_cast<std::uint8_t>(*v.data()), expected[static_cast<size_t>(probe)]);
        }
        TempDir dir;
        const int fd = ::open(dir.file("out").c_str(), O_RDWR | O_CREAT | O_TRUNC, 0600);
        ASSERT_GE(fd, 0);
        EXPECT_EQ(f.copyTo(fd, 0, 0, f.length()), f.length());
        ::close(fd);
        EXPECT_EQ(vestest::readFile(dir.file("out")), expected);
    }
}

TEST(FileClsTransfer, ViewInUseKeepsTheFrontWhereItIs)
{
    std::vector<std::uint8_t> expected = pattern(300000, 9);
    FileCls f;
    fill(f, expected);
    {
        FileViewRef held = f.readView(0, 1);
        ASSERT_TRUE(f.removeRange(0, 1000));
        EXPECT_EQ(f.frontRoom(), 0) << "the held view must not change under its holder";
    }
    expected.erase(expected.begin(), expected.begin() + 1000);
    EXPECT_EQ(storeBytes(f), expected);
    ASSERT_TRUE(f.removeRange(0, 1000));
    EXPECT_EQ(f.frontRoom(), 1000);
    ASSERT_TRUE(f.setFileSize(0));
    EXPECT_EQ(f.frontRoom(), 0) << "emptying starts the store at the start of its file again";
}
