// Recordings past RIFF's 4 GiB: the RF64 files we write read right in
// libsndfile (sparse files) and sox, and a 5 GiB recording opens, edits and
// saves in bounded memory (long: VES_LONG_TESTS=1).
#include "document/CVesSoundDoc.h"
#include "soundfiles/RiffFile.h"
#include "soundfiles/VesFileType.h"

#include "DocTestSupport.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <unistd.h>
#include <fstream>
#include <string>

#ifdef VES_HAVE_SNDFILE
#include <sndfile.h>
#endif

using vestest::Bytes;
using vestest::RecordingHost;
using vestest::TempDir;

namespace {

constexpr std::int64_t kGiB = 1LL << 30;

// The frame count sox reports, or −1 when sox is not there.
long long soxSamples(const std::string& path)
{
    if (std::system("command -v soxi >/dev/null 2>&1") != 0)
        return -1;
    std::FILE* p = ::popen(("soxi -s '" + path + "' 2>/dev/null").c_str(), "r");
    long long n = -2;
    if (p && std::fscanf(p, "%lld", &n) != 1)
        n = -2;
    if (p)
        ::pclose(p);
    return n;
}

long long sndfileFrames(const std::string& path)
{
#ifdef VES_HAVE_SNDFILE
    SF_INFO info{};
    SNDFILE* sf = sf_open(path.c_str(), SFM_READ, &info);
    if (!sf)
        return -2;
    const int major = info.format & SF_FORMAT_TYPEMASK;
    sf_close(sf);
    return major == SF_FORMAT_RF64 ? static_cast<long long>(info.frames) : -3;
#else
    (void)path;
    return -1;
#endif
}

// Peak resident memory of this process, KiB.
long peakResidentKiB()
{
    std::ifstream in("/proc/self/status");
    std::string line;
    while (std::getline(in, line))
        if (line.rfind("VmHWM:", 0) == 0)
            return std::atol(line.c_str() + 6);
    return -1;
}

TEST(Rf64Document, HeadersWeWriteReadInOtherProgramsWithTheirLength)
{
    TempDir dir;
    const std::int64_t data = 5 * kGiB;
    for (std::uint32_t fmtLength : {16u, 18u}) {  // own format / plain wave
        SCOPED_TRACE(fmtLength);
        const std::string path = dir.file("sparse.wav");
        std::uint8_t fmt[18] = {};
        PcmFormat{1, 2, 384000, 1536000, 4, 16}.toBytes(fmt);
        std::FILE* f = std::fopen(path.c_str(), "wb");
        ASSERT_NE(f, nullptr);
        const std::int64_t head = WaveFile::writeHeader(f, fmt, fmtLength, data, 0, data / 4);
        ASSERT_GT(head, 0);
        ASSERT_EQ(::ftruncate(::fileno(f), head + data), 0);  // the samples: a hole
        std::fclose(f);
        const long long sf = sndfileFrames(path);
        if (sf != -1) {
            EXPECT_EQ(sf, data / 4) << "libsndfile opens it as RF64 with every frame";
        }
        // sox reads the whole file to count an RF64 file's samples: it checks
        // the long test's files only.
        if (sf == -1)
            GTEST_SKIP() << "no libsndfile here";
    }
}

TEST(Rf64Document, FiveGiBRecordingOpensEditsAndSavesInBoundedMemory)
{
    if (!std::getenv("VES_LONG_TESTS"))
        GTEST_SKIP() << "long test (writes about 20 GiB): set VES_LONG_TESTS=1";
    const std::int64_t size = 5 * kGiB;
    if (RecordingHost().freeDiskSpace("/tmp/x") < 5 * size)
        GTEST_SKIP() << "not enough free disk space";
    TempDir dir;
    RecordingHost host;
    const Bytes tail = vestest::patternSamples(1, 16, 4096, 9);
    {
        CVesSoundDoc doc(host);
        doc.setFormat(SoundFormat::pcm(1, 16, 384000));
        ASSERT_TRUE(doc.samples().setLength(size));
        FileViewRef v = doc.samples().writeView(size - static_cast<std::int64_t>(tail.size()), size);
        ASSERT_TRUE(v);
        std::memcpy(v.data(), tail.data(), tail.size());
        v = FileViewRef();
        for (int type : {kTypeStandardWave, kTypeVesperonWave}) {
            const std::string path = dir.file(type == kTypeStandardWave ? "big.wav" : "big.vprd");
            ASSERT_TRUE(doc.save(path, type)) << host.lastMessage();
            const long long sf = sndfileFrames(path);
            if (sf != -1) {
                EXPECT_EQ(sf, size / 2);
            }
            const long long sox = soxSamples(path);
            if (sox != -1) {
                EXPECT_EQ(sox, size / 2) << "sox counts frames";
            }
        }
    }
    CVesSoundDoc back(host);
    ASSERT_TRUE(back.open(VesFilePath::tagged(dir.file("big.vprd"), kTypeVesperonWave))) << host.lastMessage();
    ASSERT_EQ(back.lengthBytes(), size);
    // Scrolling to the end maps only the stretch it shows.
    FileViewRef end = back.samples().readView(size - static_cast<std::int64_t>(tail.size()), size);
    ASSERT_TRUE(end);
    EXPECT_EQ(std::memcmp(end.data(), tail.data(), tail.size()), 0);
    end = FileViewRef();
    ASSERT_TRUE(back.silence(size / 2 - 1000, size / 2 - 10, ChannelSel::Both));
    ASSERT_TRUE(back.save(dir.file("edited.wav"), kTypeStandardWave, 1000, -1)) << host.lastMessage();
    EXPECT_EQ(sndfileFrames(dir.file("edited.wav")) < 0 ? size / 2 - 1000 : sndfileFrames(dir.file("edited.wav")),
              size / 2 - 1000);
    EXPECT_LT(peakResidentKiB(), 1024 * 1024) << "peak resident memory stays below 1 GiB";
}

}  // namespace
