// The shell's logic that needs no window: progress texts, the file dialogs'
// tables and the paths made from them, and the recent-file list.
#include "core/RegCls.h"
#include "shell/FileDialogTables.h"
#include "shell/ProgressStack.h"
#include "shell/RecentFileList.h"
#include "soundfiles/VesFileType.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

namespace {

TEST(ProgressStack, TextsOnlyWhenTheWholePercentageChanges)
{
    ProgressStack p;
    EXPECT_FALSE(p.progress("Open", 1, 2)) << "no operation, nothing shown";
    EXPECT_EQ(p.begin("Open "), "Open Started");
    EXPECT_EQ(p.progress("Open", 1, 3).value_or(""), "Open  33%");
    EXPECT_FALSE(p.progress("Open", 333, 1000)) << "still 33 %";
    EXPECT_EQ(p.progress("Open", 1000, 1000).value_or(""), "Open 100%");
    p.begin("Save");
    EXPECT_EQ(p.progress("Save", 1, 200).value_or(""), "Save   0%") << "the inner operation's name once";
    EXPECT_EQ(p.progress("Copying", 100, 200).value_or(""), "Save Copying  50%");
    EXPECT_EQ(p.end(), "Done");
    EXPECT_TRUE(p.active());
    p.end();
    EXPECT_FALSE(p.active());
    EXPECT_DOUBLE_EQ(ProgressStack::percent(3, 0), 300000.0) << "a total of 0 counts done x 100,000";
    EXPECT_EQ(ProgressStack::format("Filtering", 5.4), "Filtering   5%");
}

TEST(FileDialogTables, FilterListsAndTheirQtForm)
{
    const std::vector<FileFilter> open = parseFilterList(kOpenFilterList);
    ASSERT_EQ(open.size(), 7u);
    EXPECT_EQ(open[0].description, "Vesperon & Wave Files (*.wav*;*.vprd*)");
    EXPECT_EQ(open[0].patterns, (std::vector<std::string>{"*.wav*", "*.vprd*"}));
    EXPECT_EQ(qtNameFilter(open[0]), "Vesperon & Wave Files (*.wav* *.vprd*)");
    EXPECT_EQ(qtNameFilter(open[1]), " Wave Files (*.wav)");
    EXPECT_EQ(qtNameFilter(open[5]), "Zero-crossing Files (*.zc *#)");
    EXPECT_EQ(qtNameFilter(open[6]), "All Files (*.*)");

    EXPECT_EQ(saveFilters(kTypeWave).size(), 6u);
    const std::vector<FileFilter> detector = saveFilters(kTypeDetectorWave);
    ASSERT_EQ(detector.size(), 7u);
    EXPECT_EQ(detector[6].description, "R450Z/R9000Z Files (*.wav)");
}

TEST(FileDialogTables, OpenAsChoices)
{
    const int expected[] = {0, 1, 1, 10, 8, 2, 3};
    ASSERT_EQ(openAsEntries().size(), 7u);
    for (int i = 0; i < 7; ++i)
        EXPECT_EQ(openAsType(i), expected[i]) << openAsEntries()[static_cast<size_t>(i)].text;
    EXPECT_EQ(openAsType(-1), 1) << "no entry chosen";
    EXPECT_STREQ(openAsEntries()[6].text, "Samples 8 bits MONO");
}

TEST(FileDialogTables, SaveFilterTypeAndExtension)
{
    struct Row {
        int filter, type;
        const char* ext;
        int preselectedFor;
    };
    const Row rows[] = {{1, 9, "vprd", 9}, {2, 10, "vprdp", 10}, {3, 5, "wav", 5}, {4, 7, "wav", 7},
                        {5, 1, "wav", 1},  {6, 6, "dat", 6},     {7, 8, "wav", 8}};
    for (const Row& r : rows) {
        EXPECT_EQ(saveTypeForFilter(r.filter), r.type) << r.filter;
        EXPECT_STREQ(saveExtensionForFilter(r.filter), r.ext) << r.filter;
        EXPECT_EQ(saveFilterForType(r.preselectedFor), r.filter) << r.preselectedFor;
    }
    for (int other : {0, 2, 3, 4, 11})
        EXPECT_EQ(saveFilterForType(other), 1) << other;
    EXPECT_EQ(stripExtension("rec01.wav"), "rec01");
    EXPECT_EQ(stripExtension("/data/night.2/rec01"), "/data/night.2/rec01") << "a dot in a folder name stays";
}

TEST(FileDialogTables, PathsOfChoices)
{
    EXPECT_EQ(pathWithOpenType("/d/x.wav", kTypeStandardWave), "/d/x.wav [Standard Wave]");
    EXPECT_EQ(pathWithOpenType("/d/x.wav", kTypeNone), "/d/x.wav") << "automatic detection adds no tag";
    EXPECT_EQ(pathWithOpenType("/d/x.wav [Vesperon Wave]", kTypeData8Mono), "/d/x.wav [Vesperon Wave]");
    EXPECT_EQ(proposedSaveName("rec01.wav"), "rec01");
    EXPECT_EQ(proposedSaveName("night.vprd"), "night");
    EXPECT_EQ(proposedSaveName("rec02.mp3 [converted]"), "rec02.mp3") << "cut at the blank; mp3 is no saveable type";
    EXPECT_EQ(proposedSaveName("a#b.wav"), "a");
    EXPECT_EQ(proposedSaveName("samples.dat"), "samples.dat");
}

TEST(RecentFileList, SevenNewestFirstWithoutDuplicatesAndPersisted)
{
    RecentFileList list;
    for (int i = 1; i <= 9; ++i)
        list.add("/d/f" + std::to_string(i) + ".wav");
    list.add("/d/f5.wav [Vesperon Wave]");
    ASSERT_EQ(list.entries().size(), 7u);
    EXPECT_EQ(list.entries()[0], "/d/f5.wav [Vesperon Wave]") << "the same file with a tag replaces the old entry";
    EXPECT_EQ(list.entries()[1], "/d/f9.wav");
    EXPECT_EQ(list.entries()[6], "/d/f3.wav") << "f1 and f2 fell off the end";
    EXPECT_EQ(RecentFileList::menuText(0, list.entries()[0]), "&1 f5.wav [Vesperon Wave]");
    EXPECT_EQ(RecentFileList::menuText(2, "/d/R&D.wav"), "&3 R&&D.wav");

    vestest::TempDir dir;
    {
        vkit::RegCls reg(dir.file("user.conf"), "");
        ASSERT_TRUE(list.save(reg));
    }
    vkit::RegCls reg(dir.file("user.conf"), "");
    RecentFileList back;
    back.load(reg);
    EXPECT_EQ(back.entries(), list.entries());
    RecentFileList shorter;
    shorter.add("/d/only.wav");
    ASSERT_TRUE(shorter.save(reg));
    back.load(reg);
    EXPECT_EQ(back.entries(), std::vector<std::string>{"/d/only.wav"}) << "old entries are removed from the file";
}

}  // namespace
