// vesperon-cli detector-files on a folder of synthetic detector recordings.
#include "CliRunner.h"
#include "DetectorFixtures.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <dirent.h>
#include <set>

using vestest::TempDir;
using vestest::quoted;
using vestest::runCli;

namespace {

std::string rows(const std::string& folder, const char* sep, const char* eol)
{
    const std::string s(sep);
    const auto row = [&](std::initializer_list<std::string> texts) {
        std::string r;
        for (const auto& t : texts)
            r += (r.empty() ? "" : s) + t;
        return r + eol;
    };
    return row({"File name", "Recorded date", "GPS Latitude", "GPS Longitude", "Original file name", "Firmware", "Path"}) +
           row({"A_0001.wav", "2024-01-31 23:59:59", "E 8.5417",
                s == "," ? "\"N 47.3769, E 8.5417\"" : "N 47.3769, E 8.5417", "R0001.WAV", "R9000Z   V1.2",
                folder + "/A_0001.wav"}) +
           row({"b_0002.WAV", "2024-02-29 00:00:00", "E 7.0", "N 46.0", "R0002.WAV", "R450Z   V1.07",
                folder + "/b_0002.WAV"}) +
           row({"c-0003", "2023-12-31 23:59:59", "", "", "R0003", "R9000Z   V1.2", folder + "/c-0003"}) +
           row({"d:0004 H\xc3\xb6hle.wav", "2023-06-30 12:00:00", "", "", "R0004.WAV", "R9000Z   V1.2",
                folder + "/d:0004 H\xc3\xb6hle.wav"});
}

std::set<std::string> namesIn(const std::string& folder)
{
    std::set<std::string> out;
    if (DIR* d = ::opendir(folder.c_str())) {
        while (const dirent* e = ::readdir(d))
            if (std::string(e->d_name) != "." && std::string(e->d_name) != "..")
                out.insert(e->d_name);  // a temporary file left behind would show
        ::closedir(d);
    }
    return out;
}

TEST(DetectorFilesCli, ListsExportsAndCopies)
{
    TempDir dir, src, dest;
    vestest::writeDetectorFolder(src.path());
    const auto list = runCli("detector-files " + quoted(src.path() + "/") + " --export " + quoted(dir.file("l.cvs")), dir);
    EXPECT_EQ(list.status, 0) << list.err;
    EXPECT_EQ(list.out, rows(src.path(), "\t", "\n")) << "the export's columns and texts";
    const vestest::Bytes csv = vestest::readFile(dir.file("l.cvs"));
    EXPECT_EQ(std::string(csv.begin(), csv.end()), rows(src.path(), ",", "\r\n"));
    for (const char* left : {"empty.wav: empty file", "short.wav: detector header too short", "plain.wav: ",
                             "notes.txt: ", "nameless.wav: no detector file name"})
        EXPECT_NE(list.err.find(std::string("left out ") + left), std::string::npos) << left << "\n" << list.err;

    // One target exists already: it stays as it is, the others are copied.
    vestest::writeFile(dest.file("s1_2024-02-29_00_00_00_b_0002.WAV"), vestest::Bytes{'x'});
    const auto copy = runCli("detector-files " + quoted(src.path()) + " --copy-to " + quoted(dest.path()) +
                                 " --prefix s1_ --json",
                             dir);
    EXPECT_EQ(copy.status, 1) << "one copy failed";
    EXPECT_NE(copy.err.find("Copy of file b_0002 FAILED!\nFile exists"), std::string::npos) << copy.err;
    EXPECT_NE(copy.err.find("3 files copied to " + dest.path()), std::string::npos) << copy.err;
    EXPECT_EQ(namesIn(dest.path()),
              (std::set<std::string>{"s1_2024-01-31_23_59_59_A_0001.wav", "s1_2024-02-29_00_00_00_b_0002.WAV",
                                     "s1_2023-12-31_23_59_59_c-0003", "s1_2023-06-30_12_00_00_d:0004 H\xc3\xb6hle.wav"}));
    EXPECT_EQ(vestest::readFile(dest.file("s1_2024-02-29_00_00_00_b_0002.WAV")), vestest::Bytes{'x'});
    EXPECT_EQ(vestest::readFile(dest.file("s1_2023-12-31_23_59_59_c-0003")), vestest::readFile(src.file("c-0003")));
    EXPECT_NE(copy.out.find("\"copied\": 3"), std::string::npos) << copy.out;
    EXPECT_NE(copy.out.find("\"header_length\": 244"), std::string::npos);
    EXPECT_NE(copy.out.find("{\"path\": \"" + src.file("empty.wav") + "\", \"reason\": \"empty file\"}"),
              std::string::npos)
        << copy.out;

    const auto plain = runCli("detector-files " + quoted(src.path()) + " --copy-to " + quoted(dest.path()) +
                                  " --no-date --suffix _x",
                              dir);
    EXPECT_EQ(plain.status, 0) << plain.err;
    EXPECT_TRUE(vestest::fileExists(dest.file("c-0003_x")));
    EXPECT_TRUE(vestest::fileExists(dest.file("A_0001_x.wav")));
}

TEST(DetectorFilesCli, WrongUseAndFailures)
{
    TempDir dir, src;
    vestest::writeDetectorFolder(src.path());
    struct Case {
        std::string args;
        int status;
        std::string err;
    };
    const Case cases[] = {
        {"", 2, ""},
        {quoted(dir.file("none")), 1, "No such file or directory"},
        {quoted(src.path()) + " --copy-to " + quoted(src.path() + "/"), 1, "Destination and source the same!"},
        {quoted(src.path()) + " --copy-to " + quoted(dir.file("none")), 1,
         "Directory '" + dir.file("none") + "'not found!"},
        {quoted(src.path()) + " --export " + quoted(dir.file("l.xls")), 2, "Unknown file type xls"},
        {quoted(src.path()) + " --export " + quoted(dir.file("no/l.txt")), 1, "Unable to create " + dir.file("no/l.txt")},
        {quoted(src.path()) + " --copy", 2, "unknown option"},
        {quoted(src.path()) + " " + quoted(src.path()), 2, "one folder only"},
    };
    for (const Case& c : cases) {
        const auto r = runCli("detector-files " + c.args, dir);
        EXPECT_EQ(r.status, c.status) << c.args << "\n" << r.err;
        EXPECT_NE(r.err.find(c.err), std::string::npos) << c.args << "\n" << r.err;
    }
    EXPECT_FALSE(vestest::fileExists(dir.file("l.xls")));
}

}  // namespace
