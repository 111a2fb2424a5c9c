#include "pulse/PulsCharSettings.h"
#include "pulse/PulseTable.h"

#include <gtest/gtest.h>

#include <limits>

TEST(PulseTable, CopiedTextHasTheEnabledColumnsInTheirOrder)
{
    VesPulsParms p;
    p.m_ampMaxAmp = p.m_freqMax = p.m_startTime = p.m_pulsNum = true;
    PulseResult r;
    r.pulse = 3;
    r.startUs = 12345.6;
    r.highestHz = 80250;
    r.strongestDb = -6.021;
    EXPECT_EQ(pulseTableText(p, {r}),
              "          \tPulse# \tStart osc. (ms) \tMax freq. (Hz)\tMax freq amplitude (Hz)\r\n"
              "  \t    3 \t 12.35 \t 80250 \t -6.02 \r\n");
    EXPECT_STREQ(pulseColumnHeading(pulseTableColumns(p).back()), "Max freq amplitude ");
    EXPECT_EQ(pulseTableText(VesPulsParms(), {r}), "          \r\n  \r\n") << "no column enabled";
}

TEST(PulseTable, CsvRowsHaveEveryColumnAndQuoteFileNames)
{
    EXPECT_EQ(pulseCsvHeader(),
              "file,pulse,start_ms,end_ms,duration_ms,max_freq_hz,min_freq_hz,peak_freq_hz,peak_level_db\n");
    PulseResult r;
    r.pulse = 2;
    r.startUs = 10015;
    r.endUs = 14981;
    r.durationUs = 4966;
    r.highestHz = 82500;
    r.lowestHz = 37500;
    r.strongestHz = 66000;
    r.strongestDb = -6.8249;
    r.strongestFound = true;
    EXPECT_EQ(pulseCsvRow("a,\"b\".wav", r), "\"a,\"\"b\"\".wav\",2,10.015,14.981,4.966,82500.0,37500.0,66000.0,-6.82\n");
    r.strongestDb = std::numeric_limits<double>::lowest();  // a silent stretch
    EXPECT_EQ(pulseCsvRow("f", r), "f,2,10.015,14.981,4.966,82500.0,37500.0,66000.0,-inf\n");
}

TEST(PulsCharSettings, WarningsLevelsAndFieldTexts)
{
    EXPECT_EQ(pulseFftWarning(false, false), "");
    EXPECT_NE(pulseFftWarning(true, true).find("for FFT size and overlap. We recommend"), std::string::npos);
    EXPECT_NE(pulseFftWarning(false, true).find("for FFT overlap."), std::string::npos);
    EXPECT_NE(pulseFftWarning(true, false).find("for FFT size."), std::string::npos);
    EXPECT_EQ(PulsLevelToAmpThres(631), -1199);   // 6.31 % of full scale
    EXPECT_EQ(PulsLevelToAmpThres(-631), -1199);
    EXPECT_EQ(PulsLevelToAmpThres(0), -1000000);
    EXPECT_EQ(PulsAmpThresToLevel(-1200), 630);
    EXPECT_EQ(pulsFftSizeText(0), "--");
    EXPECT_EQ(pulsFftSizeText(256), "256 samples");
    EXPECT_EQ(pulsFftOverlapText(192, 256), "75%");
    EXPECT_EQ(pulsFftWindowText(8), "Cosine");
}

TEST(PulseTable, PulsesBecomeSelections)
{
    PulseResult p;
    p.pulse = 3;
    p.startUs = 125000;
    p.endUs = 131500;
    p.durationUs = 6500;
    p.contourFound = true;
    p.lowestHz = 38000;
    p.highestHz = 92000;
    p.strongestFound = true;
    p.strongestHz = 45100;
    p.strongestDb = -12.5;
    PulseResult noContour = p;
    noContour.contourFound = false;
    noContour.strongestFound = false;
    const AnnotationTable t = pulsesToTable({p, noContour});
    ASSERT_EQ(t.rows.size(), 2u);
    EXPECT_DOUBLE_EQ(t.rows[0].beginSeconds, 0.125);
    EXPECT_DOUBLE_EQ(t.rows[0].endSeconds, 0.1315);
    EXPECT_EQ(t.rows[0].lowHz, 38000);
    EXPECT_EQ(t.rows[0].highHz, 92000);
    EXPECT_EQ(t.rows[0].extra, (std::vector<std::string>{"3", "6.500", "45100.0", "-12.50"}));
    EXPECT_EQ(t.rows[1].lowHz, -1);
    EXPECT_EQ(t.rows[1].extra[2], "");
}
