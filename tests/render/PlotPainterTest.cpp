// The plot painter on recordings of known signals, checked by the pixels it
// draws: where the spectrogram band of a tone and of an FM sweep lies in
// frequency and time, that levels below the threshold leave the background,
// the two halves of a stereo plot, the oscillogram and zero-crossing panes,
// drawing a range of columns, the conversions a widget needs, and marks.
#include "render/PlotExport.h"
#include "render/PlotPainter.h"

#include "DocTestSupport.h"

#include <QImage>
#include <QPainter>

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <map>
#include <numbers>
#include <optional>
#include <vector>

namespace {

using vestest::RecordingHost;

constexpr std::uint32_t kRate = 384000;
constexpr double kSeconds = 0.3;
const QRgb kWhite = qRgb(255, 255, 255);
const QRgb kBlack = qRgb(0, 0, 0);

// A signal in 16-bit units as a function of time in seconds.
using Signal = std::function<double(double)>;

Signal silence()
{
    return [](double) { return 0.0; };
}

Signal tone(double hz, double amplitude, double from, double to)
{
    return [=](double t) {
        return t >= from && t < to ? amplitude * 32767 * std::sin(2 * std::numbers::pi * hz * t) : 0.0;
    };
}

// A linear sweep from f0 to f1 during [from, to).
Signal sweep(double f0, double f1, double amplitude, double from, double to)
{
    const double rate = (f1 - f0) / (to - from);
    return [=](double t) {
        if (t < from || t >= to)
            return 0.0;
        const double u = t - from;
        return amplitude * 32767 * std::sin(2 * std::numbers::pi * (f0 * u + 0.5 * rate * u * u));
    };
}

std::vector<std::uint8_t> interleave(const std::vector<Signal>& channels, double seconds)
{
    const auto frames = static_cast<std::int64_t>(seconds * kRate);
    std::vector<std::uint8_t> out;
    out.reserve(static_cast<std::size_t>(frames) * channels.size() * 2);
    for (std::int64_t i = 0; i < frames; ++i)
        for (const Signal& s : channels) {
            const auto v = static_cast<std::int16_t>(std::lround(s(static_cast<double>(i) / kRate)));
            out.push_back(static_cast<std::uint8_t>(v & 0xFF));
            out.push_back(static_cast<std::uint8_t>((v >> 8) & 0xFF));
        }
    return out;
}

class PlotImageTest : public ::testing::Test {
protected:
    static constexpr int kWidth = 700;
    static constexpr int kHeight = 420;

    RecordingHost host;
    CVesSoundDoc doc{host};
    VesAnaParms parms;
    PlotLayout layout;
    QImage image;
    std::map<QRgb, int> paletteIndex;

    void SetUp() override
    {
        parms.m_ampPlot = false;
        parms.m_spectPlot = true;
        parms.m_scale = false;
        parms.m_plotSize = static_cast<std::int64_t>(kSeconds * 1e6);
        parms.m_plotStart = 0;
        parms.m_fftSize = 512;
        parms.m_fftOverLap = 50;
        parms.m_fftWindow = 2;
        parms.m_fftThresHold = 16;
        parms.m_colorScheme = 0;
    }

    void fill(const std::vector<Signal>& channels, double seconds = kSeconds)
    {
        vestest::fillDocument(doc, static_cast<int>(channels.size()), 16, kRate, interleave(channels, seconds));
    }

    void prepare()
    {
        layout = PrepareLayout(parms, SoundInfo::of(doc), PlotDevice::fromScreen(kWidth, kHeight, 150000));
        paletteIndex.clear();
        for (int i = 0; i < kLevelPaletteSize; ++i) {
            const VesRgb c = layout.spect.palette[static_cast<std::size_t>(i)];
            paletteIndex[qRgb(c.r, c.g, c.b)] = i;
        }
    }

    void draw()
    {
        prepare();
        image = renderPlotImage(layout, doc);
        ASSERT_EQ(image.size(), QSize(kWidth, kHeight));
    }

    std::int64_t tpp() const { return layout.device.twipsPerPixel; }

    // The pixel column that shows the plot column holding time t.
    int pixelX(double seconds) const
    {
        const auto sample = static_cast<std::int64_t>(seconds * kRate);
        const std::int64_t column = (sample - layout.plotStart) * layout.plotWidth / layout.samplesPerPlot / tpp();
        return static_cast<int>(std::lround(static_cast<double>(layout.columnX(static_cast<int>(column))) / tpp() - 0.5));
    }

    // Pixel rows inside a pane, clear of its frame and of the ticks reaching in.
    std::pair<int, int> rows(const TwipsRect& pane) const
    {
        return {static_cast<int>(-pane.top / tpp()) + 4, static_cast<int>(-pane.bottom / tpp()) - 4};
    }
    double rowFrequency(int row, const TwipsRect& pane) const
    {
        return layout.yToFrequency(-(row * tpp() + tpp() / 2), pane);
    }
    int frequencyRow(double hz, const TwipsRect& pane) const
    {
        return static_cast<int>(-layout.frequencyToY(hz, pane) / tpp());
    }

    int levelAt(int x, int y) const
    {
        const auto it = paletteIndex.find(image.pixel(x, y));
        return it == paletteIndex.end() ? -1 : it->second;
    }

    // The frequencies of the rows of column x drawn in a palette colour above
    // entry 0, and the frequency of the strongest of them (rows of equal level
    // averaged); nullopt when the column shows only background.
    struct ColumnLevels {
        std::vector<double> shown;
        std::optional<double> peak;
    };
    ColumnLevels levels(int x, const TwipsRect& pane) const
    {
        ColumnLevels out;
        const auto [top, bottom] = rows(pane);
        int best = 0;
        double sum = 0;
        int n = 0;
        for (int y = top; y <= bottom; ++y) {
            const int level = levelAt(x, y);
            if (level <= 0)
                continue;
            const double f = rowFrequency(y, pane);
            out.shown.push_back(f);
            if (level > best) {
                best = level;
                sum = 0;
                n = 0;
            }
            if (level == best) {
                sum += f;
                ++n;
            }
        }
        if (n > 0)
            out.peak = sum / n;
        return out;
    }

    // Rows of column x in [top, bottom] drawn in ink.
    std::vector<int> inkRows(int x, int top, int bottom) const
    {
        std::vector<int> out;
        for (int y = top; y <= bottom; ++y)
            if (image.pixel(x, y) == kBlack)
                out.push_back(y);
        return out;
    }
};

// ---------------------------------------------------------------------------
// Spectrogram bands

struct BandCase {
    const char* name;
    Signal (*signal)();
    double from, to;                 // seconds
    double (*frequencyAt)(double);   // Hz at a time
};

void PrintTo(const BandCase& c, std::ostream* os)
{
    *os << c.name;
}

class SpectrogramBand : public PlotImageTest, public ::testing::WithParamInterface<BandCase> {};

TEST_P(SpectrogramBand, SitsAtItsFrequencyAndTimeOverBackground)
{
    const BandCase& c = GetParam();
    fill({c.signal()});
    draw();
    const TwipsRect& pane = layout.channels[0].freqPane;
    // A frame reaches half an FFT length (1.3 ms) either side of its column.
    const double margin = 0.004;
    int inside = 0;
    for (double t = 0.01; t < kSeconds - 0.01; t += 0.0025) {
        const ColumnLevels col = levels(pixelX(t), pane);
        if (t > c.from + margin && t < c.to - margin) {
            ++inside;
            ASSERT_TRUE(col.peak) << "t = " << t;
            const double expected = c.frequencyAt(t);
            EXPECT_NEAR(*col.peak, expected, 1500) << "t = " << t;
            for (double f : col.shown)
                EXPECT_NEAR(f, expected, 12000) << "t = " << t;
        } else if (t < c.from - margin || t > c.to + margin) {
            EXPECT_TRUE(col.shown.empty()) << "silence at t = " << t << " shows " << col.shown.size() << " rows";
        }
    }
    EXPECT_GT(inside, 20);
}

Signal tone40k()
{
    return tone(40000, 0.5, 0.1, 0.2);
}
double at40k(double)
{
    return 40000;
}
Signal sweepDown()
{
    return sweep(80000, 30000, 0.5, 0.08, 0.22);
}
double sweepDownAt(double seconds)
{
    return 80000 + (30000 - 80000) * (seconds - 0.08) / 0.14;
}
Signal tone150k()
{
    return tone(150000, 0.9, 0.05, 0.25);
}
double at150k(double)
{
    return 150000;
}
std::string bandName(const ::testing::TestParamInfo<BandCase>& param)
{
    return param.param.name;
}

INSTANTIATE_TEST_SUITE_P(Signals, SpectrogramBand,
                         ::testing::Values(BandCase{"Tone40kHz", tone40k, 0.1, 0.2, at40k},
                                           BandCase{"Sweep80To30kHz", sweepDown, 0.08, 0.22, sweepDownAt},
                                           BandCase{"HighTone150kHz", tone150k, 0.05, 0.25, at150k}),
                         bandName);

TEST_F(PlotImageTest, LevelsBelowTheThresholdLeaveTheBackground)
{
    // A tone at about -70 dB of full scale: below the default threshold
    // (about -53 dB), above the lowest one (-90 dB).
    fill({tone(40000, 10.0 / 32767, 0.0, kSeconds)});
    const int x = 300;
    struct {
        int threshold;
        bool shown;
    } cases[] = {{0, true}, {16, false}, {31, false}};
    for (const auto& c : cases) {
        parms.m_fftThresHold = c.threshold;
        draw();
        const ColumnLevels col = levels(x, layout.channels[0].freqPane);
        if (c.shown) {
            ASSERT_TRUE(col.peak) << "threshold " << c.threshold;
            EXPECT_NEAR(*col.peak, 40000, 1500);
        } else {
            EXPECT_TRUE(col.shown.empty()) << "threshold " << c.threshold;
            // The whole pane shows the background.
            const auto [top, bottom] = rows(layout.channels[0].freqPane);
            for (int y = top; y <= bottom; ++y)
                ASSERT_EQ(image.pixel(x, y), kWhite) << "row " << y;
        }
    }
}

TEST_F(PlotImageTest, GridLinesShowOnlyWhereTheBackgroundShows)
{
    fill({tone(50000, 0.5, 0.1, 0.2)});
    parms.m_spectGridY = 0;  // one line per labelled frequency: 50, 100, 150 kHz
    parms.m_spectGridX = 1;  // one line per time step (50 ms)
    draw();
    const TwipsRect& pane = layout.channels[0].freqPane;
    const QRgb grid = PlotColours{}.grid.rgb();
    // Grid pixels on the line of a frequency, between two times.
    auto gridPixels = [&](double hz, double from, double to) {
        const int row = static_cast<int>(std::floor(-static_cast<double>(layout.frequencyToY(hz, pane)) / tpp()));
        int n = 0;
        for (int x = pixelX(from); x < pixelX(to); ++x)
            for (int y = row - 1; y <= row + 1; ++y)
                n += image.pixel(x, y) == grid;
        return n;
    };
    EXPECT_GT(gridPixels(50000, 0.01, 0.09), 20) << "before the tone";
    EXPECT_EQ(gridPixels(50000, 0.11, 0.19), 0) << "the tone's band covers its line";
    EXPECT_GT(gridPixels(100000, 0.11, 0.19), 20) << "above the band the line shows";
    // The time grid line at 150 ms runs through the pane but not through the band.
    const int x = pixelX(0.15);
    int onLine = 0;
    for (int dx = -1; dx <= 1; ++dx) {
        const auto [top, bottom] = rows(pane);
        for (int y = top; y <= bottom; ++y)
            onLine += image.pixel(x + dx, y) == grid;
        EXPECT_NE(image.pixel(x + dx, frequencyRow(50000, pane)), grid);
    }
    EXPECT_GT(onLine, 20);
}

TEST_F(PlotImageTest, ColourBarRunsFromTheStrongestEntryDownToTheThreshold)
{
    fill({silence()});
    parms.m_scale = true;
    parms.m_fftThresHold = 24;  // about -28 dB
    draw();
    const TwipsRect& strip = layout.channels[0].colourBar;
    ASSERT_FALSE(strip.empty());
    const int y = static_cast<int>(-strip.bottom / tpp()) - 2;
    const int right = static_cast<int>(strip.right / tpp()) - 2;
    const int left = static_cast<int>(strip.left / tpp()) + 2;
    // The strongest entries sit at the right end (0 dB).
    EXPECT_GE(levelAt(right, y), 60);
    // -100 dB lies far below the threshold: the left end stays empty.
    EXPECT_EQ(image.pixel(left, y), kWhite);
    // Levels fall from right to left.
    int previous = 64;
    for (int x = right; x > left; x -= 3) {
        const int level = levelAt(x, y);
        if (level < 0)
            continue;
        EXPECT_LE(level, previous) << "x = " << x;
        previous = level;
    }
}

// ---------------------------------------------------------------------------
// Stereo, oscillogram and zero crossings

TEST_F(PlotImageTest, StereoPlotShowsEachChannelInItsOwnHalf)
{
    fill({tone(40000, 0.5, 0.05, 0.25), sweep(90000, 60000, 0.5, 0.05, 0.25)});
    parms.m_ampPlot = true;  // both panes in each half
    draw();
    ASSERT_EQ(layout.channels.size(), 2u);
    const ChannelPanes& left = layout.channels[0];
    const ChannelPanes& right = layout.channels[1];
    EXPECT_EQ(left.channel, ChannelIndex::Left);
    EXPECT_EQ(right.channel, ChannelIndex::Right);
    EXPECT_LT(right.oscPane.top, left.freqPane.bottom) << "the right channel lies in the lower half";
    const double t = 0.15;
    const ColumnLevels upper = levels(pixelX(t), left.freqPane);
    const ColumnLevels lower = levels(pixelX(t), right.freqPane);
    ASSERT_TRUE(upper.peak);
    ASSERT_TRUE(lower.peak);
    EXPECT_NEAR(*upper.peak, 40000, 1500);
    EXPECT_NEAR(*lower.peak, 75000, 1500);
    for (double f : upper.shown)
        EXPECT_LT(f, 55000);
    for (double f : lower.shown)
        EXPECT_GT(f, 55000);
    // Each half's oscillogram carries its own signal (0.5 of full scale).
    for (const ChannelPanes* ch : {&left, &right}) {
        const auto [top, bottom] = rows(ch->oscPane);
        const std::vector<int> ink = inkRows(pixelX(t), top, bottom);
        ASSERT_FALSE(ink.empty());
        EXPECT_NEAR(ink.front(), -layout.amplitudeToY(5000, ch->oscPane) / tpp(), 2);
        EXPECT_NEAR(ink.back(), -layout.amplitudeToY(-5000, ch->oscPane) / tpp(), 2);
    }
}

TEST_F(PlotImageTest, OscillogramAndZeroCrossingPanesDrawTheToneWhereItBelongs)
{
    fill({tone(40000, 0.5, 0.1, 0.2)});
    parms.m_ampPlot = true;
    parms.m_freqPlot = 1;  // zero crossings in place of the spectrogram
    parms.m_freqThreshold = 5;
    draw();
    const ChannelPanes& ch = layout.channels[0];
    ASSERT_FALSE(ch.oscPane.empty());
    ASSERT_FALSE(ch.freqPane.empty());
    EXPECT_EQ(ch.freqTitle, "Zero Crossing Analysis");
    const auto [oscTop, oscBottom] = rows(ch.oscPane);
    const auto [zcTop, zcBottom] = rows(ch.freqPane);
    const int zero = static_cast<int>(-layout.amplitudeToY(0, ch.oscPane) / tpp());
    for (double t : {0.12, 0.16, 0.19}) {
        const int x = pixelX(t);
        const std::vector<int> osc = inkRows(x, oscTop, oscBottom);
        ASSERT_FALSE(osc.empty());
        EXPECT_NEAR(osc.front(), -layout.amplitudeToY(5000, ch.oscPane) / tpp(), 2) << t;
        EXPECT_NEAR(osc.back(), -layout.amplitudeToY(-5000, ch.oscPane) / tpp(), 2) << t;
        const std::vector<int> zc = inkRows(x, zcTop, zcBottom);
        ASSERT_FALSE(zc.empty()) << t;
        for (int y : zc)
            EXPECT_NEAR(rowFrequency(y, ch.freqPane), 40000, 2000) << t;
    }
    for (double t : {0.03, 0.26}) {
        const int x = pixelX(t);
        EXPECT_EQ(inkRows(x, oscTop, oscBottom), (std::vector<int>{zero})) << "a flat line at " << t;
        EXPECT_TRUE(inkRows(x, zcTop, zcBottom).empty()) << t;
    }
}

// ---------------------------------------------------------------------------
// What the plot widget uses

TEST_F(PlotImageTest, DrawsOnlyTheColumnsAskedAndConvertsPointsBack)
{
    fill({tone(40000, 0.5, 0.0, kSeconds)});
    parms.m_ampPlot = true;
    prepare();
    PlotPainter painter(layout, doc);
    const int x0 = pixelX(0.1), x1 = pixelX(0.2);
    const auto [first, end] = painter.columnsBetween(x0, x1);
    image = QImage(kWidth, kHeight, QImage::Format_RGB32);
    image.fill(kWhite);
    {
        QPainter p(&image);
        ASSERT_TRUE(painter.paint(p, first, end));
    }
    const ChannelPanes& ch = layout.channels[0];
    EXPECT_TRUE(levels(x0, ch.freqPane).peak);
    EXPECT_TRUE(levels(x1 - 1, ch.freqPane).peak);
    EXPECT_FALSE(levels(x0 - 3, ch.freqPane).peak);
    EXPECT_FALSE(levels(x1 + 3, ch.freqPane).peak);
    const auto [oscTop, oscBottom] = rows(ch.oscPane);
    EXPECT_TRUE(inkRows(x1 + 3, oscTop, oscBottom).empty());

    // The point on the band converts back to its time and frequency.
    const int row = frequencyRow(40000, ch.freqPane);
    const PlotPoint pt = painter.pointAt(QPointF(x0 + 0.5, row + 0.5));
    EXPECT_EQ(pt.pane, 1);
    EXPECT_EQ(pt.channelIndex, 0);
    ASSERT_TRUE(pt.hasFrequency);
    EXPECT_NEAR(pt.frequencyHz, 40000, 800);
    EXPECT_NEAR(static_cast<double>(pt.sample), 0.1 * kRate, 2.0 * static_cast<double>(layout.samplesPerColumn));
    EXPECT_NEAR(painter.sampleToDeviceX(static_cast<double>(pt.sample)), x0 + 0.5, 1.0);
    EXPECT_NEAR(painter.frequencyToDeviceY(pt.frequencyHz), row + 0.5, 1.0);
    const PlotPoint osc = painter.pointAt(QPointF(x0, painter.amplitudeToDeviceY(2500)));
    EXPECT_EQ(osc.pane, 3);
    ASSERT_TRUE(osc.hasAmplitude);
    EXPECT_NEAR(osc.amplitude, 2500, 100);
    EXPECT_EQ(painter.pointAt(QPointF(2, 2)).pane, 0);
}

TEST_F(PlotImageTest, MarksShowWhereTheirRecordPlacesThem)
{
    fill({silence(), silence()});
    parms.m_ampPlot = true;
    parms.m_leftChan = parms.m_rightChan = true;
    auto addMark = [&](std::int64_t frame, CursorType typ, int chan, std::int64_t hz, bool show) {
        AnaMarkSave m;
        m.m_posX = frame;
        m.m_posY = hz;
        m.m_anyY = hz < 0;
        m.m_typ = typ;
        m.m_chan = chan;
        m.m_spect = true;
        m.m_show = show;
        m.m_showLabel = false;
        doc.addMark(m);
    };
    addMark(kRate / 10, CursorType::Measurement, 1, 50000, true);  // measurement point, left channel
    addMark(kRate / 5, CursorType::Marking, 2, -1, true);          // time mark, right channel
    addMark(kRate * 25 / 100, CursorType::Marking, 3, -1, false);  // not shown
    draw();
    const QColor markColour = PlotColours{}.mark;
    auto markPixels = [&](int x, const TwipsRect& pane) {
        int n = 0;
        const auto [top, bottom] = rows(pane);
        for (int dx = -1; dx <= 1; ++dx)
            for (int y = top; y <= bottom; ++y)
                n += image.pixel(x + dx, y) == markColour.rgb();
        return n;
    };
    const ChannelPanes& left = layout.channels[0];
    const ChannelPanes& right = layout.channels[1];
    const int xPoint = static_cast<int>(layout.sampleToX(kRate / 10.0) / tpp());
    const int xTime = static_cast<int>(layout.sampleToX(kRate / 5.0) / tpp());
    const int xHidden = static_cast<int>(layout.sampleToX(kRate * 0.25) / tpp());
    EXPECT_GT(markPixels(xPoint, left.freqPane), 0);
    EXPECT_EQ(markPixels(xPoint, left.oscPane), 0) << "a frequency point shows in the frequency pane only";
    EXPECT_EQ(markPixels(xPoint, right.freqPane), 0) << "a left-channel mark stays in the upper half";
    EXPECT_GT(markPixels(xTime, right.freqPane), 0);
    EXPECT_GT(markPixels(xTime, right.oscPane), 0);
    EXPECT_EQ(markPixels(xTime, left.freqPane), 0);
    EXPECT_EQ(markPixels(xHidden, left.freqPane) + markPixels(xHidden, right.freqPane), 0);
    // The point's cross sits at its frequency.
    const int row = frequencyRow(50000, left.freqPane);
    int onRow = 0;
    for (int x = xPoint - 15; x <= xPoint + 15; ++x)
        onRow += image.pixel(x, row) == markColour.rgb();
    EXPECT_GT(onRow, 5);
}

}  // namespace
