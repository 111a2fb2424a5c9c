#include "filter/FilterDefinitionFile.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <string>

TEST(FilterDefinitionFile, ReadsOrderAndBothBlocks)
{
    const FilterDefinition d = parseFilterDefinition(
        "; a second-order low-pass\r\n"
        "\r\n"
        "  2  ; the order\r\n"
        "1.0;A0\r\n"
        "-1.9\r\n"
        "\r\n"  // an empty line inside a block is 0
        "0.0125\r\n"
        "2.5e-2 ; B1\r\n"
        "0.0125\r\n"
        "this line and the rest are ignored\r\n");
    ASSERT_TRUE(d.ok) << d.message;
    EXPECT_EQ(d.order, 2);
    EXPECT_EQ(d.A[0], 1.0);
    EXPECT_EQ(d.A[1], -1.9);
    EXPECT_EQ(d.A[2], 0.0);
    EXPECT_EQ(d.B[0], 0.0125);
    EXPECT_EQ(d.B[1], 0.025);
    EXPECT_EQ(d.B[2], 0.0125);
    EXPECT_EQ(d.A[3], 0.0);
}

TEST(FilterDefinitionFile, RefusesMalformedAndHostileFiles)
{
    const std::string format = "File format error in filter definition file.";
    const std::string range = "Error in filter definition file (filter order out of range).";
    const std::string illegalA = "Error in filter definition file (illegal A koefficient).";
    const std::string missingA = "Error in filter definition file (missing A koefficient).";
    const std::string illegalB = "Error in filter definition file (illegal B koefficient).";
    const std::string missingB = "Error in filter definition file (missing B koefficient).";
    std::string fifty = "50\n";
    struct Case {
        std::string text;
        std::string message;
    } cases[] = {
        {"", format},
        {"\n\n  \n; only comments\n", format},
        {"two\n", format},
        {"8.5\n", format},
        {"0\n", range},
        {"-3\n", range},
        {"50\n", range},
        {"99999999999999999999\n", format},
        {"1\n", missingA},
        {"1\n1\n", missingA},
        {"1\n1\nx\n", illegalA},
        {"1\n1\nnan\n1\n1\n", illegalA},
        {"1\n1\n0.5\ninf\n", illegalB},
        {"1\n1\n0.5\n1,5\n", illegalB},
        {"1\n1\n0.5\n1\n", missingB},
        {"1\n1\n0.5\n1" + std::string("\0", 1) + "\n0\n", format},
        {"1\n" + std::string(1024, '1') + "\n", format.substr(0, format.size() - 1) + " (a line is longer than 1023 characters)."},
    };
    for (const auto& c : cases) {
        const FilterDefinition d = parseFilterDefinition(c.text);
        EXPECT_FALSE(d.ok) << '"' << c.text.substr(0, 40) << '"';
        EXPECT_EQ(d.message, c.message) << '"' << c.text.substr(0, 40) << '"';
    }
    // A line of exactly 1023 characters is fine, with or without CR.
    EXPECT_TRUE(parseFilterDefinition("1\n1\n" + std::string(1022, ' ') + "2\r\n1\n1\n").ok);

    vestest::TempDir dir;
    EXPECT_FALSE(readFilterDefinitionFile(dir.file("absent.flt")).ok);
    vestest::writeFile(dir.file("big.flt"), vestest::Bytes(2 << 20, ' '));
    EXPECT_FALSE(readFilterDefinitionFile(dir.file("big.flt")).ok);
    vestest::writeFile(dir.file("ok.flt"), vestest::Bytes{'1', '\n', '1', '\n', '-', '.', '5', '\n', '1', '\n', '1', '\n'});
    const FilterDefinition ok = readFilterDefinitionFile(dir.file("ok.flt"));
    ASSERT_TRUE(ok.ok) << ok.message;
    EXPECT_EQ(ok.A[1], -0.5);
}

TEST(FilterDefinitionFile, NumbersAreReadWithADecimalPointUnderAnyLocale)
{
    vestest::DecimalCommaLocale german;
    if (!german.active())
        GTEST_SKIP() << "no German locale available";
    const FilterDefinition d = parseFilterDefinition("1\n1\n-0.25\n0.5\n0.5\n");
    ASSERT_TRUE(d.ok) << d.message;
    EXPECT_EQ(d.A[1], -0.25);
}
