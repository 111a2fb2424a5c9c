// Copies under new names: the names, no file ever replaced, nothing lost when
// the disk fills up in the middle of a folder, sources never changed.
#include "detectorfiles/DetectorFileCopy.h"
#include "detectorfiles/DetectorFileList.h"

#include "DetectorFixtures.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <map>

#include <cerrno>
#include <csignal>
#include <dirent.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>

namespace {

using Bytes = vestest::Bytes;

std::vector<std::string> folderNames(const std::string& folder)
{
    std::vector<std::string> out;
    if (DIR* d = ::opendir(folder.c_str())) {
        while (const dirent* e = ::readdir(d))
            if (std::string(e->d_name) != "." && std::string(e->d_name) != "..")
                out.push_back(e->d_name);
        ::closedir(d);
    }
    std::sort(out.begin(), out.end());
    return out;
}

struct Snapshot {
    Bytes bytes;
    struct stat st {};
};

Snapshot snapshot(const std::string& path)
{
    Snapshot s{vestest::readFile(path), {}};
    ::stat(path.c_str(), &s.st);
    return s;
}

void expectUnchanged(const std::string& path, const Snapshot& before)
{
    const Snapshot now = snapshot(path);
    EXPECT_EQ(now.bytes, before.bytes) << path;
    EXPECT_EQ(now.st.st_mtim.tv_sec, before.st.st_mtim.tv_sec) << path;
    EXPECT_EQ(now.st.st_mtim.tv_nsec, before.st.st_mtim.tv_nsec) << path;
    EXPECT_EQ(now.st.st_ino, before.st.st_ino) << path;
}

TEST(DetectorFileCopy, TargetNames)
{
    struct Case {
        const char* file;
        CopyRenameOptions options;
        const char* datePart;
        const char* expected;
    };
    const Case cases[] = {
        {"/d/X1.wav", {true, "site", ""}, "2024-01-31_23_59_59_", "site2024-01-31_23_59_59_X1.wav"},
        {"/d/X1.wav", {false, "site", ""}, "2024-01-31_23_59_59_", "siteX1.wav"},
        {"/d/X1", {true, "p", "_s"}, "2023-12-31_", "p2023-12-31_X1_s"},
        {"/d/a.b.wav", {false, "", "-copy"}, "", "a.b-copy.wav"},
        {"/d/d:0004 H\xc3\xb6hle.wav", {true, "", ""}, "_", "_d:0004 H\xc3\xb6hle.wav"},
        {"/d/X1.wav", {false, "../../up/", "/x\n"}, "", ".._.._up_X1_x_.wav"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(DetectorFileCopy::targetName(c.file, c.options, c.datePart), c.expected) << c.file;
}

TEST(DetectorFileCopy, DestinationChecks)
{
    vestest::TempDir dir;
    ::mkdir(dir.file("src").c_str(), 0755);
    EXPECT_EQ(DetectorFileCopy::checkDestination(dir.file("none"), dir.file("src")),
              "Directory '" + dir.file("none") + "'not found!");
    vestest::writeFile(dir.file("file"), {});
    EXPECT_EQ(DetectorFileCopy::checkDestination(dir.file("file"), dir.file("src")),
              "Directory '" + dir.file("file") + "'not found!");
    EXPECT_EQ(DetectorFileCopy::checkDestination(dir.file("src"), dir.file("src")), "Destination and source the same!");
    EXPECT_EQ(DetectorFileCopy::checkDestination(dir.file("src/."), dir.file("src")), "Destination and source the same!")
        << "the same folder by another path";
    EXPECT_EQ(DetectorFileCopy::checkDestination(dir.path(), dir.file("src")), "");
}

TEST(DetectorFileCopy, CopiesUnderDateNamesAndNeverReplaces)
{
    vestest::TempDir src, dest;
    vestest::writeDetectorFolder(src.path());
    DetectorFileList list;
    ASSERT_TRUE(list.load(src.path()));
    std::vector<std::string> paths;
    std::map<std::string, Snapshot> before;
    for (const auto& f : list.files()) {
        paths.push_back(f.path);
        before[f.path] = snapshot(f.path);
    }
    // The folder already holds the target of the second file.
    const std::string taken = dest.file("night1_2024-02-29_00_00_00_b_0002.WAV");
    vestest::writeFile(taken, Bytes{'m', 'i', 'n', 'e'});

    std::vector<DetectorFileCopy::Failure> failures;
    const CopyRenameOptions options{true, "night1_", ""};
    const auto result = DetectorFileCopy::run(paths, dest.path(), options, [&](const DetectorFileCopy::Failure& f) {
        failures.push_back(f);
        return true;
    });
    EXPECT_EQ(result.copied, 3);
    EXPECT_FALSE(result.cancelled);
    ASSERT_EQ(failures.size(), 1u);
    EXPECT_EQ(failures[0].code, EEXIST);
    EXPECT_EQ(failures[0].baseName, "b_0002");
    EXPECT_EQ(DetectorFileCopy::failureText(failures[0]), "Copy of file b_0002 FAILED!\nFile exists");
    EXPECT_EQ(vestest::readFile(taken), (Bytes{'m', 'i', 'n', 'e'})) << "an existing file is never replaced";
    EXPECT_EQ(folderNames(dest.path()),
              (std::vector<std::string>{"night1_2023-06-30_12_00_00_d:0004 H\xc3\xb6hle.wav",
                                        "night1_2023-12-31_23_59_59_c-0003", "night1_2024-01-31_23_59_59_A_0001.wav",
                                        "night1_2024-02-29_00_00_00_b_0002.WAV"}))
        << "no temporary file is left";
    EXPECT_EQ(vestest::readFile(dest.file("night1_2024-01-31_23_59_59_A_0001.wav")), before[paths[0]].bytes);
    struct stat st {};
    ::stat(dest.file("night1_2023-12-31_23_59_59_c-0003").c_str(), &st);
    EXPECT_EQ(st.st_mtim.tv_sec, before[paths[2]].st.st_mtim.tv_sec) << "the copy keeps the recording's time";

    // The same folder again: every name is taken; Cancel after the first failure stops.
    int asked = 0;
    const auto again = DetectorFileCopy::run(paths, dest.path(), options, [&](const DetectorFileCopy::Failure&) {
        ++asked;
        return false;
    });
    EXPECT_EQ(again.copied, 0);
    EXPECT_TRUE(again.cancelled);
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(again.copies.size(), 1u);
    EXPECT_EQ(DetectorFileCopy::summary(again.copied, dest.path()), "0 files copied to " + dest.path());
    for (const auto& p : paths)
        expectUnchanged(p, before[p]);
    EXPECT_EQ(folderNames(dest.path()).size(), 4u);
}

TEST(DetectorFileCopy, NamesFromHostileHeadersStayInTheDestination)
{
    vestest::TempDir src, dest;
    vestest::DetectorHeader h;
    h.fileName = "R0001.WAV";
    h.fileTime = "../../x/y:z";
    vestest::writeFile(src.file("a.wav"), vestest::detectorRecording(h));
    const auto r = DetectorFileCopy::run({src.file("a.wav")}, dest.path(), {true, "../", "/.."});
    ASSERT_EQ(r.copied, 1) << r.copies[0].error;
    const std::vector<std::string> made = folderNames(dest.path());
    ASSERT_EQ(made.size(), 1u);
    EXPECT_EQ(dest.file(made[0]), r.copies[0].target);
    EXPECT_EQ(folderNames(src.path()), (std::vector<std::string>{"a.wav"})) << "nothing written beside the source";

    // A name that is not UTF-8 is shown readably and copied byte for byte.
    vestest::writeFile(src.file("R\xf6hre.wav"), vestest::detectorRecording(h));
    DetectorFileList list;
    ASSERT_TRUE(list.load(src.path()));
    ASSERT_EQ(list.files().size(), 2u);
    EXPECT_EQ(DetectorFileList::rowTexts(list.files()[1])[0], "R\xc3\xb6hre.wav");
    const auto latin = DetectorFileCopy::run({list.files()[1].path}, dest.path(), {false, "", ""});
    EXPECT_EQ(latin.copied, 1);
    EXPECT_TRUE(vestest::fileExists(dest.file("R\xf6hre.wav")));

    std::string error;
    for (const char* bad : {"", ".", "..", "../a.wav", "sub/a.wav"})
        EXPECT_FALSE(DetectorFileCopy::copyFile(src.file("a.wav"), dest.path(), bad, error)) << bad;
    EXPECT_EQ(folderNames(dest.path()).size(), 2u);
}

// Copies recordings of the given sizes into `dest`, which takes only the
// first `fit` of them; the failure must keep the copies made, leave no
// partial file, change no source, and stop the run. `limit` is called after
// the sources are written and before copying.
void copyUntilTheSpaceRunsOut(const std::string& dest, const std::vector<std::size_t>& sampleBytes, int fit,
                              const std::function<void(bool on)>& limit = {})
{
    vestest::TempDir src;
    std::vector<std::string> paths;
    std::map<std::string, Snapshot> before;
    for (std::size_t i = 0; i < sampleBytes.size(); ++i) {
        vestest::DetectorHeader h;
        h.fileName = "R000" + std::to_string(i);
        h.fileTime = "24013123595" + std::to_string(i);
        h.sampleBytes = sampleBytes[i];
        paths.push_back(src.file("f" + std::to_string(i) + ".wav"));
        vestest::writeFile(paths.back(), vestest::detectorRecording(h));
        before[paths.back()] = snapshot(paths.back());
    }
    std::vector<DetectorFileCopy::Failure> failures;
    if (limit)
        limit(true);
    const auto r = DetectorFileCopy::run(paths, dest, {true, "", ""}, [&](const DetectorFileCopy::Failure& f) {
        failures.push_back(f);
        return f.code == EEXIST;  // stop on anything but a taken name
    });
    if (limit)
        limit(false);
    EXPECT_EQ(r.copied, fit);
    EXPECT_TRUE(r.cancelled);
    ASSERT_EQ(failures.size(), 1u);
    EXPECT_EQ(failures[0].source, paths[static_cast<std::size_t>(fit)]);
    EXPECT_NE(failures[0].code, EEXIST);
    EXPECT_FALSE(failures[0].error.empty());
    EXPECT_EQ(folderNames(dest).size(), static_cast<std::size_t>(fit)) << "no partial copy";
    for (int i = 0; i < r.copied; ++i)
        EXPECT_EQ(vestest::readFile(r.copies[static_cast<std::size_t>(i)].target),
                  before[paths[static_cast<std::size_t>(i)]].bytes);
    for (const auto& p : paths)
        expectUnchanged(p, before[p]);
}

TEST(DetectorFileCopy, AFullDiskKeepsWhatWasCopied)
{
    // A small file system of its own: needs the right to mount, in a mount
    // namespace of this process so that nothing outlives the test.
    vestest::TempDir dir;
    const std::string mnt = dir.file("small");
    ::mkdir(mnt.c_str(), 0755);
    if (::unshare(CLONE_NEWNS) != 0 || ::mount("none", "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
        ::mount("tmpfs", mnt.c_str(), "tmpfs", 0, "size=256k") != 0)
        GTEST_SKIP() << "cannot mount a small tmpfs here: " << std::strerror(errno);
    copyUntilTheSpaceRunsOut(mnt, {100 * 1024, 100 * 1024, 100 * 1024, 10}, 2);
    ::umount(mnt.c_str());
}

TEST(DetectorFileCopy, AFileSizeLimitKeepsWhatWasCopied)
{
    // The kernel refuses writes past the limit of the process as a full disk
    // refuses them; this runs without any privileges.
    vestest::TempDir dest;
    rlimit old {};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &old), 0);
    const auto oldSignal = std::signal(SIGXFSZ, SIG_IGN);
    copyUntilTheSpaceRunsOut(dest.path(), {100 * 1024, 200 * 1024, 10}, 1, [&](bool on) {
        rlimit low = old;
        if (on && (low.rlim_max == RLIM_INFINITY || low.rlim_max > 150 * 1024))
            low.rlim_cur = 150 * 1024;
        ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, on ? &low : &old), 0);
    });
    std::signal(SIGXFSZ, oldSignal);
}

}  // namespace
