#include "core/RegCls.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

using vestest::TempDir;

namespace {

void writeText(const std::string& path, const std::string& text)
{
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    vestest::writeFile(path, vestest::Bytes(text.begin(), text.end()));
}

}  // namespace

TEST(RegCls, ValueMissingForTheUserIsReadFromTheMachineFile)
{
    TempDir dir;
    writeText(dir.file("etc/vesperon.conf"), "[Settings\\Power]\nFftSize=\"1024\"\nWindow=\"3\"\n");
    writeText(dir.file("user/vesperon.conf"), "[Settings\\Power]\nWindow=\"5\"\n");
    vkit::RegCls reg(dir.file("user/vesperon.conf"), dir.file("etc/vesperon.conf"));
    EXPECT_EQ(reg.readInt("Settings\\Power", "FftSize", 0), 1024);  // machine
    EXPECT_EQ(reg.readInt("Settings\\Power", "Window", 0), 5);      // user wins
    EXPECT_EQ(reg.readInt("Settings\\Power", "Missing", -7), -7);   // default
    EXPECT_EQ(reg.readInt("settings\\POWER\\", "fftsize", 0), 1024) << "keys and names ignore case";
}

TEST(RegCls, NumbersStoredByOtherToolsReadLikeDecimalText)
{
    TempDir dir;
    writeText(dir.file("u.conf"), "[K]\n"
                                  "D=dword:0000000a\n"
                                  "Neg=dword:ffffffd8\n"
                                  "Q=qword:0000000100000000\n"
                                  "Plain=12345\n"
                                  "Bad=\"12abc\"\n");
    vkit::RegCls reg(dir.file("u.conf"), "");
    struct Case {
        const char* name;
        std::int64_t value;
        const char* text;
    } cases[] = {{"D", 10, "10"}, {"Neg", -40, "-40"}, {"Q", 4294967296LL, "4294967296"}, {"Plain", 12345, "12345"}};
    for (const auto& c : cases) {
        EXPECT_EQ(reg.readInt("K", c.name, 0), c.value) << c.name;
        EXPECT_EQ(reg.readText("K", c.name, ""), c.text) << c.name;
    }
    EXPECT_EQ(reg.readInt("K", "Bad", 99), 99) << "text that is not a number keeps the default";
}

TEST(RegCls, WritesPersistAtomicallyAndRoundTripEveryKind)
{
    TempDir dir;
    const std::string file = dir.file("cfg/vesperon/vesperon.conf");
    const std::string awkward = "a \"quoted\" \\ path\nwith\ttabs and \x01 control";
    const std::uint8_t bin[] = {0, 1, 0x7f, 0x80, 0xff};
    {
        vkit::RegCls reg(file, "");
        ASSERT_TRUE(reg.writeInt("Settings\\DefaultData", "PlotSizemySec", 1000000));
        ASSERT_TRUE(reg.writeInt("Settings\\DefaultData", "Min", INT64_MIN));
        ASSERT_TRUE(reg.writeText("Settings", "Label", awkward));
        ASSERT_TRUE(reg.writeText("Settings", "odd=name", "v"));
        ASSERT_TRUE(reg.writeBinary("Settings", "UserColor", bin, sizeof bin));
        ASSERT_TRUE(reg.writeInt("Settings", "Gone", 1));
        ASSERT_TRUE(reg.deleteValue("Settings", "Gone"));
    }
    // Nothing but the settings file (and its lock) is left in the folder.
    int files = 0;
    for (const auto& e : std::filesystem::directory_iterator(dir.file("cfg/vesperon"))) {
        ++files;
        EXPECT_TRUE(e.path().filename() == "vesperon.conf" || e.path().filename() == "vesperon.conf.lock")
            << e.path();
    }
    EXPECT_EQ(files, 2);
    vkit::RegCls again(file, "");
    EXPECT_EQ(again.readInt("Settings\\DefaultData", "PlotSizemySec", 0), 1000000);
    EXPECT_EQ(again.readInt("Settings\\DefaultData", "Min", 0), INT64_MIN);
    EXPECT_EQ(again.readText("Settings", "Label", ""), awkward);
    EXPECT_EQ(again.readText("Settings", "odd=name", ""), "v");
    EXPECT_EQ(*again.readBinary("Settings", "UserColor"), std::vector<std::uint8_t>(bin, bin + sizeof bin));
    EXPECT_FALSE(again.hasValue("Settings", "Gone"));
}

TEST(RegCls, TwoProgramsWritingKeepEachOthersValues)
{
    TempDir dir;
    const std::string file = dir.file("v.conf");
    vkit::RegCls a(file, "");
    vkit::RegCls b(file, "");
    ASSERT_TRUE(a.writeInt("K", "FromA", 1));
    ASSERT_TRUE(b.writeInt("K", "FromB", 2));  // b read the file before a wrote
    ASSERT_TRUE(a.writeInt("K", "FromA2", 3));
    vkit::RegCls c(file, "");
    EXPECT_EQ(c.readInt("K", "FromA", 0), 1);
    EXPECT_EQ(c.readInt("K", "FromB", 0), 2);
    EXPECT_EQ(c.readInt("K", "FromA2", 0), 3);
    EXPECT_EQ(a.readInt("K", "FromB", 0), 2) << "a sees b's value once the file changed";
}

TEST(RegCls, UpdateGroupWritesOnceAtTheEnd)
{
    TempDir dir;
    const std::string file = dir.file("g.conf");
    vkit::RegCls reg(file, "");
    reg.beginUpdate();
    for (int i = 0; i < 50; ++i)
        reg.writeInt("Settings", "V" + std::to_string(i), i);
    EXPECT_FALSE(vestest::fileExists(file));
    EXPECT_EQ(reg.readInt("Settings", "V7", -1), 7) << "pending values are visible";
    ASSERT_TRUE(reg.endUpdate());
    vkit::RegCls again(file, "");
    EXPECT_EQ(again.readInt("Settings", "V49", -1), 49);
}

TEST(RegCls, FailedWriteIsReportedAndKeepsTheValueForLater)
{
    TempDir dir;
    vestest::writeFile(dir.file("blocker"), {1});
    vkit::RegCls reg(dir.file("blocker/sub/x.conf"), "");  // a file where a folder must be
    EXPECT_FALSE(reg.writeInt("K", "V", 5));
    EXPECT_FALSE(reg.lastError().empty());
    EXPECT_EQ(reg.readInt("K", "V", 0), 5);
}

TEST(RegCls, ParserSkipsDamagedLines)
{
    const auto sections = vkit::RegCls::parse("junk before any key\n[A]\n=novalue\nX=dword:zz\nY=dword:123456789\n"
                                              "Z=hex:01,zz\n[broken\nW=1\n[B]\nok=\"1\"\n\"quoted name\"=\"q\"\n");
    ASSERT_EQ(sections.size(), 2u);
    EXPECT_TRUE(sections[0].values.empty());
    ASSERT_EQ(sections[1].values.size(), 2u);
    EXPECT_EQ(sections[1].values[1].name, "quoted name");
}
