// A store that begins as a stretch of another file: reads come from the file
// until the background copy has the bytes; the file is never written, and
// another program deleting, replacing or cutting it short loses nothing the
// store already holds.
#include "core/FileCls.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

using vestest::Bytes;
using vestest::TempDir;

namespace {

constexpr std::int64_t kHead = 100;
constexpr std::int64_t kData = (3 << 20) + 123;

Bytes pattern(std::int64_t n, unsigned seed = 7)
{
    Bytes b(static_cast<std::size_t>(n));
    for (std::size_t i = 0; i < b.size(); ++i)
        b[i] = static_cast<std::uint8_t>((i * 31 + seed + i / 4093) & 0xff);
    return b;
}

// Header, stretch, and a tail that is not part of the stretch.
Bytes sourceFile()
{
    Bytes file(static_cast<std::size_t>(kHead), 0xEE);
    const Bytes data = pattern(kData);
    file.insert(file.end(), data.begin(), data.end());
    file.insert(file.end(), 50, 0xDD);
    return file;
}

Bytes storeBytes(FileCls& store)
{
    Bytes out(static_cast<std::size_t>(store.length()));
    EXPECT_EQ(store.read(out.data(), store.length(), 0), store.length());
    return out;
}

Bytes viewBytes(FileCls& store, std::int64_t from, std::int64_t to)
{
    FileViewRef v = store.readView(from, to);
    EXPECT_TRUE(v);
    EXPECT_GE(v.available(), to - from);
    const auto* p = reinterpret_cast<const std::uint8_t*>(v.data());
    return Bytes(p, p + (to - from));
}

}  // namespace

TEST(SourceStore, ReadsTheStretchAtOnceAndCopiesItBeforeTheFirstWrite)
{
    TempDir dir;
    const std::string path = dir.file("source.bin");
    const Bytes file = sourceFile();
    vestest::writeFile(path, file);
    const Bytes data(file.begin() + kHead, file.begin() + kHead + kData);

    FileCls store;
    ASSERT_TRUE(store.createTemp("VpTest"));
    ASSERT_TRUE(store.adoptSource(path, kHead, kData));
    EXPECT_TRUE(store.hasSource());
    EXPECT_EQ(store.length(), kData);
    EXPECT_EQ(viewBytes(store, 0, kData), data);
    EXPECT_EQ(viewBytes(store, kData - 10, kData), Bytes(data.end() - 10, data.end()));
    EXPECT_EQ(storeBytes(store), data);
    FileCls other;
    ASSERT_TRUE(other.createTemp("VpTest"));
    ASSERT_TRUE(other.write("x", 1, 0));
    EXPECT_FALSE(other.adoptSource(path, kHead, kData)) << "only an empty store takes a source";
    EXPECT_FALSE(FileCls().adoptSource(path, kHead, kData)) << "nor a closed one";

    // Copies out come from the source file as well, and the store moves its
    // bytes only after it has them.
    {
        const std::string out = dir.file("out.bin");
        const int fd = ::open(out.c_str(), O_RDWR | O_CREAT | O_TRUNC, 0600);
        ASSERT_GE(fd, 0);
        EXPECT_EQ(store.copyTo(fd, 0, 0, kData), kData);
        ::close(fd);
        EXPECT_EQ(vestest::readFile(out), data);
        EXPECT_TRUE(store.hasSource());
    }

    // The first write waits for the copy; the source file stays as it was.
    const std::uint8_t four[4] = {1, 2, 3, 4};
    ASSERT_EQ(store.write(four, 4, 1000), 4);
    EXPECT_FALSE(store.hasSource());
    EXPECT_EQ(store.sourceCopied(), kData);
    Bytes expected = data;
    std::copy(four, four + 4, expected.begin() + 1000);
    EXPECT_EQ(storeBytes(store), expected);
    EXPECT_EQ(viewBytes(store, 990, 1010), Bytes(expected.begin() + 990, expected.begin() + 1010));
    EXPECT_EQ(vestest::readFile(path), file);
    std::int64_t kept = 0;
    std::string reason;
    EXPECT_FALSE(store.takeSourceShortening(kept, reason));

    // The copy keeps each byte's place within its page: the header's length
    // lies in front of the store, and an insertion at the front uses it.
    EXPECT_EQ(store.frontRoom(), kHead);
    ASSERT_TRUE(store.insertRange(0, 60));
    ASSERT_EQ(store.write(four, 4, 0), 4);
    EXPECT_EQ(store.frontRoom(), kHead - 60);
    Bytes inserted(56, 0);
    inserted.insert(inserted.begin(), four, four + 4);
    inserted.insert(inserted.end(), expected.begin(), expected.end());
    Bytes got = storeBytes(store);
    std::fill(got.begin() + 4, got.begin() + 60, 0);  // the gap's bytes are the caller's to fill
    EXPECT_EQ(got, inserted);
}

TEST(SourceStore, SourceDeletedOrReplacedMeanwhileChangesNothing)
{
    for (const bool replace : {false, true}) {
        SCOPED_TRACE(replace ? "replaced by a rename" : "deleted");
        TempDir dir;
        const std::string path = dir.file("source.bin");
        const Bytes file = sourceFile();
        vestest::writeFile(path, file);
        FileCls store;
        ASSERT_TRUE(store.createTemp("VpTest"));
        ASSERT_TRUE(store.adoptSource(path, kHead, kData));
        // Half-read views keep the old bytes too.
        const Bytes before = viewBytes(store, 0, 4096);
        if (replace) {
            vestest::writeFile(dir.file("new.bin"), pattern(kHead + kData, 99));
            ASSERT_EQ(std::rename(dir.file("new.bin").c_str(), path.c_str()), 0);
        } else {
            ASSERT_EQ(::unlink(path.c_str()), 0);
        }
        store.startSourceCopy();
        EXPECT_TRUE(store.finishSourceCopy());
        EXPECT_EQ(storeBytes(store), Bytes(file.begin() + kHead, file.begin() + kHead + kData));
        EXPECT_EQ(before, Bytes(file.begin() + kHead, file.begin() + kHead + 4096));
    }
}

TEST(SourceStore, FileCutShortReadsSilenceBeyondTheCutAndTheStoreEndsThere)
{
    TempDir dir;
    const std::string path = dir.file("source.bin");
    const Bytes file = sourceFile();
    vestest::writeFile(path, file);
    FileCls store;
    ASSERT_TRUE(store.createTemp("VpTest"));
    ASSERT_TRUE(store.adoptSource(path, kHead, kData));
    constexpr std::int64_t kKept = (1 << 20) + 7;
    ASSERT_EQ(::truncate(path.c_str(), kHead + kKept), 0);

    // A mapped view beyond the new end reads zeros instead of faulting.
    const Bytes seen = viewBytes(store, 0, kData);
    EXPECT_EQ(Bytes(seen.begin(), seen.begin() + kKept), Bytes(file.begin() + kHead, file.begin() + kHead + kKept));
    EXPECT_EQ(Bytes(seen.begin() + kKept, seen.end()), Bytes(static_cast<std::size_t>(kData - kKept), 0));
    Bytes tail(64, 0xAB);
    EXPECT_EQ(store.read(tail.data(), 64, kData - 64), 64);
    EXPECT_EQ(tail, Bytes(64, 0));

    EXPECT_TRUE(store.finishSourceCopy());
    EXPECT_EQ(store.length(), kKept);
    std::int64_t kept = 0;
    std::string reason = "x";
    ASSERT_TRUE(store.takeSourceShortening(kept, reason));
    EXPECT_EQ(kept, kKept);
    EXPECT_TRUE(reason.empty());
    EXPECT_FALSE(store.takeSourceShortening(kept, reason)) << "told once";
    EXPECT_EQ(storeBytes(store), Bytes(file.begin() + kHead, file.begin() + kHead + kKept));
    ASSERT_EQ(store.write("z", 1, kKept), 1);
    EXPECT_EQ(store.length(), kKept + 1);
}

TEST(SourceStore, EmptyingTheStoreDropsTheSourceWithoutCopying)
{
    TempDir dir;
    const std::string path = dir.file("source.bin");
    vestest::writeFile(path, sourceFile());
    FileCls store;
    ASSERT_TRUE(store.createTemp("VpTest"));
    ASSERT_TRUE(store.adoptSource(path, kHead, kData));
    ASSERT_TRUE(store.setFileSize(0));
    EXPECT_FALSE(store.hasSource());
    EXPECT_EQ(store.length(), 0);
    EXPECT_EQ(store.sourceCopied(), 0);
    ASSERT_EQ(store.write("ab", 2, 0), 2);
    EXPECT_EQ(storeBytes(store), (Bytes{'a', 'b'}));
}
