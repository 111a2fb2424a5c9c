#include "display/FftWindow.h"
#include "display/RealFft.h"
#include "document/CVesSoundDoc.h"
#include "power/PowerCalc.h"
#include "power/PowerScale.h"
#include "core/ByteOrder.h"
#include "soundfiles/RiffFile.h"

#include "DocTestSupport.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <numbers>
#include <thread>

using vestest::RecordingHost;

namespace {

// A document holding a sine of the given amplitude (16-bit units) and frequency.
void fillSine(CVesSoundDoc& doc, std::uint32_t rate, double freq, double amp, std::int64_t frames, int channels = 1,
              int sineChannel = 0)
{
    std::vector<std::uint8_t> pcm(static_cast<size_t>(frames * channels * 2));
    for (std::int64_t i = 0; i < frames; ++i) {
        const double v = amp * std::sin(2 * std::numbers::pi * freq * static_cast<double>(i) / rate);
        const auto s = static_cast<std::int16_t>(std::lround(std::clamp(v, -32768.0, 32767.0)));
        writeLe16(&pcm[static_cast<size_t>((i * channels + sineChannel) * 2)], static_cast<std::uint16_t>(s));
    }
    vestest::fillDocument(doc, channels, 16, rate, pcm);
}

}  // namespace

TEST(PowerSpectrum, FullScaleSinePeaksAtZeroDecibelsWithEveryWindow)
{
    RecordingHost host;
    CVesSoundDoc doc(host);
    const std::uint32_t rate = 384000;
    const int n = 1024;
    const double freq = 100.0 * rate / n;  // exactly bin 100
    fillSine(doc, rate, freq, 32767.0, 20 * n);
    for (int window : {0, 1, 2, 4, 8}) {
        PowerRequest req;
        req.fftSize = n;
        req.window = window;
        const PowerResult r = computePowerSpectrum(doc, req);
        ASSERT_TRUE(r.complete);
        const auto peak = std::max_element(r.power.begin() + 1, r.power.end()) - r.power.begin();
        EXPECT_EQ(peak, 100) << "window " << window;
        EXPECT_NEAR(powerLevel(r.power[100], true), 0.0, 0.2) << "window " << window;
        EXPECT_DOUBLE_EQ(r.binFrequency(100), freq);
        EXPECT_EQ(r.frames, 20);
    }
}

TEST(PowerSpectrum, FramesAreSpreadOverTheStretchAndAveragedAsWithRealFftDirectly)
{
    RecordingHost host;
    CVesSoundDoc doc(host);
    vestest::fillDocument(doc, 2, 16, 250000, vestest::patternSamples(2, 16, 5000, 4));
    const int n = 256;
    struct Case {
        std::int64_t start, end;
        int frames;
    } cases[] = {{0, 3 * 256, 3}, {100, 100 + 3 * 256 + 1, 4}, {1000, 1010, 1}};
    for (const auto& c : cases) {
        PowerRequest req{c.start, c.end, ChannelIndex::Right, n, 4};
        const PowerResult r = computePowerSpectrum(doc, req);
        ASSERT_EQ(r.frames, c.frames);
        // The same average computed here: frame i starts at (F − N)·i / K.
        const std::int64_t f = std::max<std::int64_t>(c.end - c.start, n);
        std::vector<double> expect(static_cast<size_t>(n / 2 + 1), 0.0), table(n), buf(n);
        buildWindowTable(table.data(), n, 4);
        for (int i = 0; i < c.frames; ++i) {
            const std::int64_t s = (f - n) * i / c.frames;
            doc.readFramesAsDouble(c.start + s, n, ChannelIndex::Right, buf.data());
            for (int j = 0; j < n; ++j)
                buf[static_cast<size_t>(j)] *= table[static_cast<size_t>(j)];
            RealFft(buf.data(), 8);
            expect[0] += 4 * buf[0] * buf[0] / (1 << 30);
            for (int k = 1; k < n / 2; ++k)
                expect[static_cast<size_t>(k)] += (4 * buf[static_cast<size_t>(k)] * buf[static_cast<size_t>(k)] +
                                                   4 * buf[static_cast<size_t>(n - k)] * buf[static_cast<size_t>(n - k)]) /
                                                  (1 << 30);
        }
        for (int k = 0; k < n / 2; ++k)
            EXPECT_NEAR(r.power[static_cast<size_t>(k)], expect[static_cast<size_t>(k)] / c.frames,
                        1e-12 * (1 + expect[static_cast<size_t>(k)]))
                << "bin " << k;
    }
}

TEST(PowerSpectrum, ShortStretchIsExtendedAndTheRightChannelIsTheRightOne)
{
    RecordingHost host;
    CVesSoundDoc doc(host);
    fillSine(doc, 192000, 192000.0 * 32 / 512, 16000, 4096, 2, 1);  // a sine on the right channel only
    PowerRequest req{500, 510, ChannelIndex::Left, 512, 2};
    PowerResult left = computePowerSpectrum(doc, req);
    EXPECT_EQ(left.end - left.start, 512) << "extended to N from its start";
    req.channel = ChannelIndex::Right;
    PowerResult right = computePowerSpectrum(doc, req);
    EXPECT_LT(left.power[32], 1e-12);
    EXPECT_NEAR(powerLevel(right.power[32], true), 20 * std::log10(16000.0 / 32768.0), 0.2);
}

TEST(PowerSpectrum, ExportWritesLevelsAndADefinedTextForZeroPower)
{
    PowerResult r;
    r.fftSize = 8;
    r.rateHz = 8000;
    r.power = {0.0, 1.0, 0.01, 0.5, 7};
    EXPECT_EQ(powerExportText(r, true), "kHz\tdB\r\n0.000\t-inf\r\n1.000\t0.000\r\n2.000\t-20.000\r\n3.000\t-3.010\r\n");
    EXPECT_EQ(powerExportText(r, false), "kHz\tV\xC2\xB2\r\n0.000\t0.000\r\n1.000\t1.000\r\n2.000\t0.010\r\n3.000\t0.500\r\n");
}

TEST(PowerSpectrum, ScalesTitlesAndSettingsChecks)
{
    VesPowerParms p;
    EXPECT_EQ(powerFrequencyRange(p, 384000).maxHz, 192000);
    p.m_maxFrequency = 100000;
    p.m_minFrequency = 20000;
    EXPECT_EQ(powerFrequencyRange(p, 384000).minHz, 20000);
    p.m_maxFrequency = 300000;  // above R/2: the whole range
    EXPECT_EQ(powerFrequencyRange(p, 384000).minHz, 0);
    const auto ticks = powerFrequencyTicks({0, 192000});
    std::vector<std::string> labels;
    for (const auto& t : ticks)
        if (t.labelled)
            labels.push_back(t.label);
    EXPECT_EQ(labels, (std::vector<std::string>{"50 kHz", "100 kHz", "150 kHz"}));
    EXPECT_EQ(powerWindowTitle(1024, 2, 2, ChannelIndex::Left), "Power spectrum, FFT size 1024, Hanning window. - Left channel.");
    EXPECT_EQ(powerWindowTitle(512, 0, 1, ChannelIndex::Left), "Power spectrum, FFT size 512");
    EXPECT_EQ(powerTimeRangeText(1000000, 1500000), "1.00 - 1.50 s");
    EXPECT_EQ(powerTimeRangeText(10, 110), "10 - 110 \xC2\xB5s");
    EXPECT_EQ(validatePowerSettings(-90, 0, true, 0, 100000, 384000), "");
    EXPECT_EQ(validatePowerSettings(0, 0, true, 0, 1, 384000), "Zero level must be less than Maximum level.");
    EXPECT_EQ(validatePowerSettings(-130, 0, true, 0, 1, 384000), "Minimum level must be greater than or equal to -120 dB.");
    EXPECT_EQ(validatePowerSettings(0, 0.001, false, 0, 1, 384000), "Maximum level must be greater than or equal to 0.01 V\xC2\xB2.");
    EXPECT_EQ(validatePowerSettings(-90, 0, true, 0, 200000, 384000), "Error: Max frequency > 192000");
    EXPECT_EQ(validatePowerSettings(-90, 0, true, 5000, 5000, 384000), "Error: Min frequency > Max frequency.");
    EXPECT_EQ(powerAutoFftSize(700), 1024);
}

TEST(PowerSpectrum, AJobDeliversItsResultAndStopsPromptlyWhenAsked)
{
    RecordingHost host;
    CVesSoundDoc doc(host);
    fillSine(doc, 384000, 40000, 10000, 384000);
    std::atomic<int> finishedRuns{0};
    std::atomic<bool> stoppedRun{false};
    {
        PowerCalc calc(doc, PowerRequest{0, -1, ChannelIndex::Left, 1024, 2});
        vkit::BackgroundJob job;
        ASSERT_TRUE(job.start([&](vkit::BackgroundJob::Control& c) { calc.run(c); },
                              [&](bool stopped) { stoppedRun = stopped; ++finishedRuns; }));
        // stop() would ask the job to stop: wait for it to finish on its own.
        for (int i = 0; i < 60000 && !job.finished(); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        ASSERT_TRUE(job.finished());
        EXPECT_EQ(finishedRuns.load(), 1);
        EXPECT_FALSE(stoppedRun);
        EXPECT_EQ(job.progressPermille(), 1000);
        EXPECT_TRUE(calc.result().complete);
        EXPECT_EQ(calc.result().frames, 375);
    }
    // A long stretch, stopped right away: the calculation ends incomplete,
    // and the job says it was stopped.
    CVesSoundDoc big(host);
    fillSine(big, 384000, 40000, 10000, 384000 * 20);
    PowerCalc calc(big, PowerRequest{0, -1, ChannelIndex::Left, 16, 0});
    vkit::BackgroundJob job;
    ASSERT_TRUE(job.start([&](vkit::BackgroundJob::Control& c) { calc.run(c); },
                          [&](bool stopped) { stoppedRun = stopped; }));
    job.stop();
    EXPECT_TRUE(job.finished());
    EXPECT_FALSE(job.active());
    EXPECT_TRUE(stoppedRun);
    EXPECT_FALSE(calc.result().complete);
}

TEST(PowerSpectrum, StretchAtTheEndOfTheRecordingIsPaddedWithSilence)
{
    RecordingHost host;
    CVesSoundDoc doc(host);
    fillSine(doc, 192000, 192000.0 * 32 / 512, 16000, 1000);
    // The last 100 frames: the FFT frame reaches 412 frames past the end.
    const PowerResult r = computePowerSpectrum(doc, {900, -1, ChannelIndex::Left, 512, 2});
    ASSERT_TRUE(r.complete);
    EXPECT_EQ(r.start, 900);
    EXPECT_EQ(r.frames, 1);
    // A fifth of the frame is sine: its level is well below a full frame's and finite.
    const double level = powerLevel(r.power[32], true);
    EXPECT_TRUE(std::isfinite(level));
    EXPECT_LT(level, 20 * std::log10(16000.0 / 32768.0) - 6);
}

TEST(PowerSpectrum, DegenerateScalesGiveFiniteTicks)
{
    // Widths just below a power of ten must still give a label step.
    for (const double w : {9999.99, 99999.999, 0.99999, 1.0, 3.0, 192000.0}) {
        const auto ticks = powerFrequencyTicks({0, w});
        int labelled = 0;
        for (const auto& t : ticks)
            labelled += t.labelled;
        EXPECT_GE(labelled, 1) << w;
        EXPECT_LT(ticks.size(), 200u) << w;
    }
    EXPECT_TRUE(powerFrequencyTicks({5000, 5000}).empty());
    EXPECT_TRUE(powerFrequencyTicks({5000, 4000}).empty());
    VesPowerParms p;
    p.m_zeroDB = p.m_maxDB = -10;
    EXPECT_EQ(powerLevelTicks(p).size(), 1u);
    p.m_logScale = false;
    p.m_zeroV = p.m_maxV = 0.5;
    EXPECT_EQ(powerLevelTicks(p).size(), 1u);
}
