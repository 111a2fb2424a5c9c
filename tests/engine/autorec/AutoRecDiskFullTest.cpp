// A run whose disk fills up: every file completed before stays intact, the
// one being written is completed shorter or removed, nothing corrupt is
// left, and the run stops and says why. Runs on a small tmpfs of its own
// (needs the right to make a mount namespace; skipped otherwise).
#include "AutoRecTestSupport.h"
#include "TestSupport.h"

#include "autorec/AutoRecEngine.h"
#include "soundfiles/RiffFile.h"

#include <gtest/gtest.h>

#include <dirent.h>
#include <sched.h>
#include <sys/mount.h>

#include <algorithm>

using namespace autorec;
using rectest::Bytes;
using rectest::PulseSignal;
using rectest::RecordingHost;

namespace {

bool mountSmallTmpfs(const std::string& where, const char* size)
{
    static bool ownNamespace = ::unshare(CLONE_NEWNS) == 0 && ::mount("none", "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0;
    if (!ownNamespace)
        return false;
    return ::mount("tmpfs", where.c_str(), "tmpfs", 0, (std::string("size=") + size).c_str()) == 0;
}

std::vector<std::string> wavesIn(const std::string& dir)
{
    std::vector<std::string> names;
    if (DIR* d = ::opendir(dir.c_str())) {
        while (dirent* e = ::readdir(d))
            if (std::string(e->d_name).find(".wav") != std::string::npos)
                names.push_back(dir + "/" + e->d_name);
        ::closedir(d);
    }
    std::sort(names.begin(), names.end());
    return names;
}

}  // namespace

TEST(AutoRecDiskFull, CompletedFilesStayIntactAndTheRunStops)
{
    struct Case {
        const char* name;
        std::int64_t reserve;  // -1: no free-space check, the disk really fills
        bool lowSpaceStop;
    } cases[] = {{"WriteFails", -1, false}, {"FreeSpaceCheckStopsFirst", 200000, true}};
    for (const Case& c : cases) {
        vestest::TempDir dir;
        if (!mountSmallTmpfs(dir.path(), "512k"))
            GTEST_SKIP() << "cannot mount a tmpfs here";
        // 16-bit mono at 100 kHz: each 150 ms pulse keeps 40000 bytes.
        const std::uint32_t rate = 100000;
        PulseSignal s(60 * rate / 2);
        for (std::int64_t f = 50000; f + 20000 < s.frames; f += 40000)
            s.pulse(f, f + 15000);
        AutoRecConfig cfg;
        cfg.parms.m_trigger = autorec::TriggerType::Level;
        cfg.parms.m_ampThresProc = 1000;
        cfg.parms.m_recTimeBefore = 25;
        cfg.parms.m_recTimeAfter = 25;
        cfg.parms.m_fileSwitch = autorec::FileNaming::Sequence;
        cfg.parms.m_fileMarks = autorec::MarkType::None;
        cfg.parms.m_fileName = dir.file("bat");
        cfg.format = SoundFormat::pcm(1, 16, rate);
        cfg.diskReserveBytes = c.reserve;
        cfg.listenAtStart = true;
        RecordingHost host;
        AutoRecEngine engine;
        std::string err;
        ASSERT_TRUE(engine.start(cfg, host, err)) << err;
        const std::int64_t chunk = AutoRecEngine::bufferBytes(cfg.format);
        for (std::int64_t p = 0; p < static_cast<std::int64_t>(s.bytes.size()) && host.endedCount() == 0; p += chunk)
            engine.feed(s.bytes.data() + p, std::min<std::int64_t>(chunk, static_cast<std::int64_t>(s.bytes.size()) - p));
        engine.end();
        ASSERT_TRUE(engine.wait(30000));
        const auto written = host.fileList();
        ASSERT_GE(written.size(), 3u) << c.name;
        ASSERT_LT(written.size(), 20u) << c.name;
        EXPECT_EQ(host.errors.empty(), false) << c.name;
        EXPECT_TRUE(host.logHas(c.lowSpaceStop ? "Stopping - Disk space low!" : "could not be written")) << c.name;
        // Every completed file holds its pulse exactly.
        for (std::size_t i = 0; i < written.size(); ++i) {
            WaveFile w;
            ASSERT_GT(w.open(written[i]), 0) << written[i];
            const std::int64_t first = 50000 + 40000 * static_cast<std::int64_t>(i) - 2500;
            Bytes got(static_cast<std::size_t>(w.dataLength()));
            w.readData(got.data(), w.dataLength(), 0);
            EXPECT_EQ(got, s.frameRange(first, first + 20000)) << written[i];
        }
        // Nothing else is left but, at most, one shorter file that is still a valid wave.
        const auto present = wavesIn(dir.path());
        EXPECT_LE(present.size(), written.size() + (c.lowSpaceStop ? 0 : 1)) << c.name;
        for (const std::string& f : present) {
            WaveFile w;
            ASSERT_GT(w.open(f), 0) << f;
            EXPECT_EQ(w.dataLength() % 2, 0);
            EXPECT_LE(w.dataStart() + w.dataLength(), w.getFileSize()) << f;
        }
        ::umount(dir.path().c_str());
    }
}
