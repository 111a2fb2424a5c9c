// Text exports write '.' as the decimal separator under every locale: a
// desktop program runs in the user's, where it may be a comma.
#include "power/PowerScale.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <string>

TEST(ExportLocale, PowerExportUnderADecimalCommaLocale)
{
    vestest::DecimalCommaLocale german;
    if (!german.active())
        GTEST_SKIP() << "no German locale available (localedef)";
    PowerResult r;
    r.fftSize = 4;
    r.rateHz = 3000;
    r.power = {0.5, 0.0, 0.25};
    r.frames = 1;
    r.complete = true;
    const std::string text = powerExportText(r, true);
    EXPECT_EQ(text.find(','), std::string::npos) << text;
    EXPECT_NE(text.find("0.000\t-"), std::string::npos) << text;
    EXPECT_NE(text.find("0.750\t-inf"), std::string::npos) << text;
}
