#include "core/LoggCls.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <cctype>
#include <string>

using vestest::Bytes;
using vestest::TempDir;

namespace {

std::string readText(const std::string& path)
{
    const Bytes b = vestest::readFile(path);
    return std::string(b.begin(), b.end());
}

}  // namespace

TEST(LoggCls, EntryHasLevelLineWithLocalTimeThenMessage)
{
    TempDir dir;
    vkit::LoggCls log;
    log.setPath(dir.file("a.log"));
    log.warning("disk almost full");
    const std::string text = readText(dir.file("a.log"));
    // "\r\nWarn YYYY-MM-DD hh:mm:ss.mmm\r\ndisk almost full\r\n"
    const std::string shape = "\r\nWarn 0000-00-00 00:00:00.000\r\ndisk almost full\r\n";
    ASSERT_EQ(text.size(), shape.size()) << text;
    for (size_t i = 0; i < shape.size(); ++i) {
        if (shape[i] == '0')
            EXPECT_TRUE(std::isdigit(static_cast<unsigned char>(text[i]))) << i << ": " << text;
        else
            EXPECT_EQ(text[i], shape[i]) << i << ": " << text;
    }
}

TEST(LoggCls, ShortensToTheTailWhenTheLimitWouldBePassed)
{
    TempDir dir;
    const std::string path = dir.file("b.log");
    std::string old(319990, 'x');
    for (size_t i = 0; i < old.size(); ++i)
        old[i] = static_cast<char>('a' + i % 26);
    vestest::writeFile(path, Bytes(old.begin(), old.end()));
    vkit::LoggCls log;
    log.setPath(path);
    ASSERT_EQ(log.sizeLimit(), 320000);
    const std::string message(100, 'm');
    log.error(message);
    const std::string text = readText(path);
    // The last 320000 - 80000 - 100 = 239900 bytes move to the start, the entry follows.
    ASSERT_GT(text.size(), 239900u);
    EXPECT_EQ(text.substr(0, 239900), old.substr(old.size() - 239900));
    EXPECT_EQ(text.substr(239900, 8), "\r\nError ");
    EXPECT_EQ(text.substr(text.size() - 102), message + "\r\n");
}

TEST(LoggCls, MessageLongerThanTheKeptPartEmptiesTheLog)
{
    TempDir dir;
    const std::string path = dir.file("c.log");
    vestest::writeFile(path, Bytes(900, 'Q'));
    vkit::LoggCls log;
    log.setPath(path);
    log.setSizeLimit(1000);
    log.information(std::string(800, 'i'));
    const std::string text = readText(path);
    EXPECT_EQ(text.find('Q'), std::string::npos);
    EXPECT_NE(text.find(std::string(800, 'i')), std::string::npos);
}

TEST(LoggCls, TraceLinesNeedATraceLevelAboveTheirOwn)
{
    TempDir dir;
    const std::string program = dir.file("prog");
    EXPECT_EQ(vkit::LoggCls::readTraceLevelFile(program), 0);  // no .vtrace file
    vestest::writeFile(program + ".vtrace", Bytes{'3', '\n'});
    EXPECT_EQ(vkit::LoggCls::readTraceLevelFile(program), 3);

    vkit::LoggCls log;
    log.setPath(dir.file("t.log"));
    log.trace(1, "hidden at level 0");
    EXPECT_FALSE(vestest::fileExists(dir.file("t.log")) && !readText(dir.file("t.log")).empty());
    log.setTraceLevel(3);
    log.trace(2, "shown");
    log.trace(3, "still hidden");
    const std::string text = readText(dir.file("t.log"));
    EXPECT_NE(text.find("Trace"), std::string::npos);
    EXPECT_NE(text.find("shown"), std::string::npos);
    EXPECT_EQ(text.find("still hidden"), std::string::npos);
}

TEST(LoggCls, SystemErrorAddsTheCodeAndTheSystemsText)
{
    TempDir dir;
    vkit::LoggCls log;
    log.setPath(dir.file("s.log"));
    log.systemError(2, "open failed:");
    const std::string text = readText(dir.file("s.log"));
    EXPECT_NE(text.find("open failed:\r\nWindows Error#2: No such file or directory"), std::string::npos) << text;
}
