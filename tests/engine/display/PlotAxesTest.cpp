// Time, frequency and amplitude axis steps, label types and formats.
#include "display/PlotAxes.h"

#include <gtest/gtest.h>

namespace {

constexpr std::int64_t us = 1000, ms = 1000 * us, sec = 1000 * ms;

struct StepCase {
    std::int64_t duration, step;
};

class TimeSteps : public ::testing::TestWithParam<StepCase> {};

TEST_P(TimeSteps, StepForDuration)
{
    EXPECT_EQ(TimeTickStepNs(GetParam().duration), GetParam().step) << GetParam().duration;
}

INSTANTIATE_TEST_SUITE_P(TableBoundaries, TimeSteps,
                         ::testing::Values(StepCase{20 * ms, 5 * ms}, StepCase{19900 * us, 2 * ms},
                                           StepCase{20 * ms - 1, 2 * ms}, StepCase{12000 * sec, 2400 * sec},
                                           StepCase{12000 * sec - 1, 1200 * sec}, StepCase{2 * sec, 500 * ms},
                                           StepCase{2 * sec - 1, 200 * ms}, StepCase{100 * ms, 20 * ms},
                                           StepCase{50 * us, 10 * us}, StepCase{1 * us, 200},
                                           StepCase{999, 100}, StepCase{0, 100}));

struct TypeCase {
    std::int64_t step;
    int type, fine;
};

class TimeLabelTypes : public ::testing::TestWithParam<TypeCase> {};

TEST_P(TimeLabelTypes, TypeAndFineType)
{
    EXPECT_EQ(timeLabelTypeFor(GetParam().step), GetParam().type) << GetParam().step;
    EXPECT_EQ(fineTimeLabelTypeFor(GetParam().step), GetParam().fine) << GetParam().step;
}

INSTANTIATE_TEST_SUITE_P(Steps, TimeLabelTypes,
                         ::testing::Values(TypeCase{2400 * sec, 1, 1},   // readouts of 24 s
                                           TypeCase{1 * sec, 1, 3},      // 0.01 s
                                           TypeCase{5 * sec, 1, 3},      // 0.05 s
                                           TypeCase{500 * ms, 7, 7},     // whole milliseconds
                                           TypeCase{2 * ms, 7, 9},       // 0.02 ms
                                           TypeCase{50 * us, 13, 14},    // 0.5 us
                                           TypeCase{200, 14, 16},        // 0.2 us; 0.002 us
                                           TypeCase{100, 14, 16}, TypeCase{0, 0, 0}));

TEST(TimeLabels, NumbersAndUnits)
{
    EXPECT_EQ(formatTimeValue(0, 7), "0");
    EXPECT_EQ(formatTimeValue(18 * ms, 7), "18");
    EXPECT_EQ(formatTimeValue(1500 * ms, 1), "2");  // rounded to the nearest second
    EXPECT_EQ(formatTimeValue(1400 * ms, 1), "1");
    EXPECT_EQ(formatTimeValue(1500 * ms, 2), "1.5");
    EXPECT_EQ(formatTimeValue(1500 * ms, 6), "1.50000");
    EXPECT_EQ(formatTimeValue(2500 * us, 9), "2.50");
    EXPECT_EQ(formatTimeValue(123456, 13), "123");
    EXPECT_EQ(formatTimeValue(100, 14), "0.1");
    EXPECT_EQ(formatTimeValue(1, 0), "0.000000");
    EXPECT_STREQ(timeUnitText(1), "sec");
    EXPECT_STREQ(timeUnitText(6), "sec");
    EXPECT_STREQ(timeUnitText(7), "ms");
    EXPECT_STREQ(timeUnitText(18), "\u00b5s");
    EXPECT_STREQ(timeUnitText(0), "sec?");
    EXPECT_STREQ(timeUnitText(19), "sec?");
}

TEST(TimeLabels, DivisionTexts)
{
    const TimeDivisionTexts plain = makeTimeDivisionTexts(1500 * ms, 200 * ms, 7);
    EXPECT_EQ(plain.endText, "1500 ms");
    EXPECT_EQ(plain.stepText, "200 ms/div");
    EXPECT_EQ(plain.stepUnitLine, "");
    // Zeros that both texts end in are blanked in both.
    const TimeDivisionTexts zeros = makeTimeDivisionTexts(1400, 200, 15);
    EXPECT_EQ(zeros.endText, "1.4  \u00b5s");
    EXPECT_EQ(zeros.stepText, "0.2  \u00b5s/div");
    const TimeDivisionTexts differ = makeTimeDivisionTexts(1450, 200, 15);
    EXPECT_EQ(differ.endText, "1.45 \u00b5s");
    EXPECT_EQ(differ.stepText, "0.20 \u00b5s/div");
    // Five characters or more: the unit goes on a line of its own.
    const TimeDivisionTexts wide = makeTimeDivisionTexts(30 * sec, 12345, 15);
    EXPECT_EQ(wide.stepText, "12.35");
    EXPECT_EQ(wide.stepUnitLine, "  \u00b5s/div");
}

// ---------------------------------------------------------------------------

struct FreqCase {
    std::int64_t min, max;
    const char* unit;
    double labelStep, tickStep;
    int labelDecimals, readoutDecimals;
    const char* label;    // label of labelStep
    const char* readout;  // readout of max
};

class FreqScales : public ::testing::TestWithParam<FreqCase> {};

TEST_P(FreqScales, UnitStepsAndFormats)
{
    const FreqCase& c = GetParam();
    const FreqAxisScale s = makeFreqAxisScale(c.min, c.max);
    EXPECT_STREQ(s.unit, c.unit);
    EXPECT_DOUBLE_EQ(s.labelStep, c.labelStep);
    EXPECT_DOUBLE_EQ(s.tickStep, c.tickStep);
    EXPECT_EQ(s.labelDecimals, c.labelDecimals);
    EXPECT_EQ(s.readoutDecimals, c.readoutDecimals);
    EXPECT_EQ(s.label(c.labelStep), c.label);
    EXPECT_EQ(s.readout(static_cast<double>(c.max)), c.readout);
}

INSTANTIATE_TEST_SUITE_P(
    Ranges, FreqScales,
    ::testing::Values(FreqCase{0, 250000, "kHz", 100000, 50000, 0, 0, "100 kHz", "250 kHz"},
                      FreqCase{0, 96000, "kHz", 40000, 10000, 0, 1, "40 kHz", "96.0 kHz"},
                      FreqCase{20000, 30000, "kHz", 5000, 1000, 1, 2, "5.0 kHz", "30.00 kHz"},
                      FreqCase{0, 2500, "kHz", 1000, 500, 1, 2, "1.0 kHz", "2.50 kHz"},
                      FreqCase{0, 1500, "Hz", 500, 100, 0, 0, "500 Hz", "1500 Hz"},
                      FreqCase{0, 10000000, "MHz", 5000000, 1000000, 1, 2, "5.0 MHz", "10.00 MHz"},
                      FreqCase{0, 3000000000, "GHz", 1000000000, 500000000, 1, 2, "1.0 GHz", "3.00 GHz"},
                      // Just below a power of ten: at least one unit per label step.
                      FreqCase{0, 99990, "kHz", 50000, 10000, 0, 1, "50 kHz", "100.0 kHz"}));

// ---------------------------------------------------------------------------

TEST(AmplitudeAxis, NiceSteps)
{
    EXPECT_EQ(NiceAmplitudeStep(20000), 5000);
    EXPECT_EQ(NiceAmplitudeStep(40000), 5000);
    EXPECT_EQ(NiceAmplitudeStep(10000), 1000);
    EXPECT_EQ(NiceAmplitudeStep(30000), 5000);  // 3 lowered to 2
    EXPECT_EQ(NiceAmplitudeStep(60000), 10000);
    EXPECT_EQ(NiceAmplitudeStep(200), 50);
    EXPECT_EQ(NiceAmplitudeStep(100), 10);
    EXPECT_EQ(NiceAmplitudeStep(7), 1);
    EXPECT_EQ(NiceAmplitudeStep(0), 1);
}

TEST(AmplitudeAxis, StepsAndFormatsOfTheRange)
{
    const AmpAxisScale full = makeAmpAxisScale(-10000, 10000);  // +-100 %
    EXPECT_EQ(full.tickStep, 5000);
    EXPECT_EQ(full.labelStep, 5000);
    EXPECT_EQ(full.label(5000), " 50%");
    EXPECT_EQ(full.label(-10000), "-100%");
    EXPECT_EQ(full.label(0), "  0%");
    EXPECT_EQ(full.readout(1234), "12.3 %");
    const AmpAxisScale half = makeAmpAxisScale(-5000, 5000);  // +-50 %
    EXPECT_EQ(half.tickStep, 1000);
    EXPECT_EQ(half.labelStep, 5000);
    const AmpAxisScale narrow = makeAmpAxisScale(0, 100);  // 0 .. 1 %
    EXPECT_EQ(narrow.tickStep, 10);
    EXPECT_EQ(narrow.labelStep, 50);
    EXPECT_EQ(narrow.label(50), "0.5%");
    EXPECT_EQ(narrow.readout(12.5), "0.12 %");
    EXPECT_EQ(makeAmpAxisScale(0, 8).labelDecimals, 2);
}

}  // namespace
