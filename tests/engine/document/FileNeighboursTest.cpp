#include "document/CVesSoundDoc.h"
#include "document/FileNeighbours.h"

#include "DocTestSupport.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

using vestest::Bytes;
using vestest::TempDir;

TEST(FileNeighbours, NextAndPreviousInCaseInsensitiveOrderSkippingEmptyAndOpenFiles)
{
    TempDir dir;
    for (const char* name : {"a.wav", "B2.wav", "c.WAV", "d.vprd", "b.wav"})
        vestest::writeFile(dir.file(name), Bytes{1});
    vestest::writeFile(dir.file("b1.wav"), {});  // empty: skipped
    const std::string folder = dir.path();
    EXPECT_EQ(findNeighbourFile(dir.file("b.wav"), true, {}).path, dir.file("B2.wav"));
    EXPECT_EQ(findNeighbourFile(dir.file("b.wav") + " [Vesperon Wave]", false, {}).path, dir.file("a.wav"));
    EXPECT_EQ(findNeighbourFile(dir.file("b.wav"), true, {dir.file("B2.wav") + " [Standard Wave]"}).path, dir.file("c.WAV"))
        << "an open file is skipped";
    EXPECT_EQ(findNeighbourFile(dir.file("a.wav"), false, {}).message, "No more files of type .wav in " + folder);
    EXPECT_EQ(findNeighbourFile(dir.file("b.wav"), true, {dir.file("B2.wav"), dir.file("c.WAV")}).message,
              "All files of type .wav in " + folder + " has already been opened.");
    EXPECT_EQ(findNeighbourFile("", true, {}).message, "No file to open next from (unable to open next from a new file)!");
    vestest::writeFile(dir.file("b0[1].wav"), Bytes{1});
    EXPECT_EQ(findNeighbourFile(dir.file("b.wav"), true, {}).message,
              "Can not open files with names containing '[' or ']' as in b0[1].wav");
}
