// The layout of one analysis plot as plain data: pane rectangles in twips,
// the scales between screen positions, samples, times, frequencies and
// amplitudes, the spectrogram tables (FFT size, overlap, window table, bin
// bands, level scale and pens), and the axis ticks, grids, titles and colour
// bar that a painter draws.
//
// Coordinates are twips (1/1440 inch) of the plot window with the origin at
// its top-left corner and y growing upwards: the window spans x = 0 .. width
// and y = 0 (top) .. -height (bottom). A painter maps them to the device with
// x_px = x / twipsPerPixel and y_px = -y / twipsPerPixel; on a printer the
// same numbers are used with the screen's twips per pixel.
//
// PrepareLayout is called after creation, resizing, zooming, scrolling and any
// change of the view's parameters; ColumnEngine (ColumnEngine.h)
// computes the data columns from it.
#pragma once

#include "core/AlignedAllocator.h"
#include "display/ColorPalettes.h"
#include "display/PlotAxes.h"
#include "document/ChannelSelection.h"
#include "document/SoundFormat.h"
#include "records/VesAnaParms.h"

#include <cstdint>
#include <string>
#include <vector>

class CVesSoundDoc;

// What the layout needs to know of the document.
struct SoundInfo {
    SoundFormat format;
    std::int64_t lengthFrames = 0;
    std::int32_t timeExp25 = 1000;  // time expansion x 1000

    static SoundInfo of(const CVesSoundDoc& doc);
};

// The window the plot is drawn into.
struct PlotDevice {
    std::int64_t widthTwips = 0;
    std::int64_t heightTwips = 0;
    std::int64_t twipsPerPixel = 15;
    std::int64_t twipsPer1000Pixels = 15000;

    // From the window's size in device pixels and the twips that 10,000
    // device pixels measure on the screen (twips per pixel = that / 10,000,
    // per 1000 pixels = that / 10); while twips per pixel is 6 or less both
    // are doubled.
    static PlotDevice fromScreen(std::int64_t widthPx, std::int64_t heightPx, std::int64_t twipsFor10000Pixels);
};

struct TwipsRect {
    std::int64_t left = 0, top = 0, right = 0, bottom = 0;  // top > bottom

    std::int64_t width() const { return right - left; }
    std::int64_t height() const { return top - bottom; }
    bool empty() const { return right <= left || top <= bottom; }
    bool contains(std::int64_t x, std::int64_t y) const { return x >= left && x < right && y <= top && y > bottom; }
    TwipsRect shifted(std::int64_t dy) const { return {left, top + dy, right, bottom + dy}; }
    bool operator==(const TwipsRect&) const = default;
};

// One tick of an axis. For the time axis pos is x and from/to the y extent;
// for the frequency and amplitude axes pos is y and from/to the x extent.
// A labelled tick has its text; textPos is where it goes: for time labels the
// y of the text's top (centred on pos), for the others the x at which the
// text ends (right-aligned).
struct PlotTick {
    double value = 0;  // ns, Hz, hundredths of a percent, or dB (colour bar)
    std::int64_t pos = 0;
    std::int64_t from = 0, to = 0;
    bool labelled = false;
    std::string text;
    std::int64_t textPos = 0;
};

// The colour-bar strip: ticks every 10 dB from -100 dB (left) to 0 dB (right),
// "%1.0f dB" labels (small font) at -10, -30, -50, -70 and -90 dB above the
// strip, and what fills it: for a built-in scheme, bands of palette entries
// (each filled with lines of its index from xLeft to xRight, drawn from the
// right end leftwards); for a user map, one vertical line per position with
// the pen the map gives at that level. The outline is drawn last.
struct ColourBarLayout {
    struct Band {
        std::int64_t xLeft = 0, xRight = 0;
        int index = 0;
    };
    struct Line {
        std::int64_t x = 0;
        int pen = 0;
    };
    TwipsRect strip;
    std::vector<PlotTick> ticks;
    std::vector<Band> bands;
    std::vector<Line> userLines;
};

// The panes of one channel. With both channels of a stereo recording shown,
// each gets half the window, the right channel the lower half.
struct ChannelPanes {
    ChannelIndex channel = ChannelIndex::Left;  // the sample channel
    std::int64_t yOffset = 0;   // 0, or minus half the window height
    TwipsRect window;
    TwipsRect oscPane;          // empty when the oscillogram is not shown
    TwipsRect freqPane;         // spectrogram or zero-crossing pane, or empty
    TwipsRect colourBar;        // empty without a colour bar
    std::int64_t timeAxisY = 0;       // the time axis line and its ticks
    std::int64_t timeLabelY = 0;      // one pane: top of the tick labels; both: the middle between the panes
    std::int64_t secondTickRowY = 0;  // both panes: ticks repeated on the frequency pane's bottom edge
    std::string oscTitle;             // "Amplitude" (+ " - Left " / " - Right ")
    std::string freqTitle;            // spectrogram or "Zero Crossing Analysis" title
    std::int64_t titleX = 0;          // titles: 60 right of the plot's left edge,
    std::int64_t oscTitleY = 0;       // 20 above their pane
    std::int64_t freqTitleY = 0;
};

struct SpectrogramSetup {
    int fftSize = 0;                 // N
    int fftOrder = 0;                // m, N = 2^m
    int overlap = 0;                 // samples (automatic: N - samples per column)
    int hop = 1;                     // fixed overlap: frame advance, at least 1
    bool autoOverlap = true;
    int window = 0;
    vkit::AlignedVector<double> windowTable;  // N entries: gain x shape
    std::vector<double> binFrequency; // N/2 entries, Hz
    std::vector<std::int64_t> binTop; // N/2 entries: upper band edge of bin i above the pane bottom
    int firstBin = 0;                 // bins firstBin .. lastBin - 1 are drawn
    int lastBin = 0;
    LevelScale level;
    bool userMap = false;
    LevelPalette palette{};           // built-in scheme
    VesColorMap userColorMap;         // the view's map with FirstPenIx set
    UserPalette userPalette;

    // Lower edge of bin i's band above the pane bottom.
    std::int64_t binBottom(int i) const { return i <= firstBin ? 0 : binTop[static_cast<std::size_t>(i - 1)]; }
    // The pen of a column level: palette index or user pen, -1 for none.
    int penForPower(double p) const { return userMap ? userPalette.penForPower(p) : level.paletteIndex(p); }
};

class PlotLayout {
public:
    VesAnaParms parms;         // the view's parameters after the repairs
    SoundInfo sound;           // TimeExp25 repaired
    PlotDevice device;

    std::int64_t rateHz = 1;          // effective rate R = rate x TimeExp25 / 1000
    std::int64_t durationNs = 0;      // plot duration D
    std::int64_t samplesPerPlot = 0;  // R x D / 10^9
    std::int64_t plotStart = 0;       // sample index of the left edge
    std::int64_t plotEnd = 0;
    std::int64_t marginTwips = 0;
    std::int64_t plotLeft = 0;
    std::int64_t plotWidth = 0;
    int columns = 0;                    // device pixel columns across the plot
    std::int64_t samplesPerColumn = 0;  // S = samples per plot x twips per pixel / plot width
    std::int64_t penWidthTwips = 16;    // pens: one device pixel + 1 twip

    bool showOsc = false, showSpect = false, showZeroCross = false, showColourBar = false;
    bool bothChannels = false;  // both channels of a stereo recording, one half each
    bool stereo = false;
    std::vector<ChannelPanes> channels;

    std::int64_t spectMin = 0, spectMax = 0;  // Hz
    FreqAxisScale freqScale;
    std::int64_t ampMin = -10000, ampMax = 10000;  // hundredths of a percent
    AmpAxisScale ampScale;
    std::int64_t timeStepNs = 0;
    int timeLabelType = 0;
    int fineTimeLabelType = 0;

    SpectrogramSetup spect;       // set up when the spectrogram is shown
    double zeroCrossThreshold = 0;  // theta in 16-bit units
    int zeroCrossSize = 1;          // FreqSize: 1 = the column's own samples

    // ---- scales ----
    std::int64_t xToSample(std::int64_t x) const;
    double sampleToX(double sample) const;
    std::int64_t columnX(int column) const { return plotLeft + static_cast<std::int64_t>(column) * device.twipsPerPixel; }
    std::int64_t columnFirstSample(int column) const { return xToSample(columnX(column)); }
    std::int64_t sampleToTimeNs(std::int64_t sample) const;
    double timeNsToX(std::int64_t timeNs) const;
    std::int64_t startTimeNs() const { return sampleToTimeNs(plotStart); }
    std::int64_t endTimeNs() const { return sampleToTimeNs(plotStart + samplesPerPlot); }
    // Frequency in the frequency pane: below SpectMin the bottom, above
    // SpectMax the top; the inverse gives -1 outside the pane.
    std::int64_t frequencyToY(double hz, const TwipsRect& pane) const;
    double yToFrequency(std::int64_t y, const TwipsRect& pane) const;
    // Amplitude (hundredths of a percent) in the oscillogram pane, likewise.
    std::int64_t amplitudeToY(double amp, const TwipsRect& pane) const;
    double yToAmplitude(std::int64_t y, const TwipsRect& pane) const;
    // A sample in 16-bit units as hundredths of a percent of full scale.
    static double sampleToAmplitude(double value16) { return value16 * 10000.0 / 32768.0; }

    // ---- axes, grids, colour bar ----
    std::vector<PlotTick> timeTicks(const ChannelPanes& ch) const;
    TimeDivisionTexts timeDivisionTexts() const;
    std::vector<PlotTick> frequencyTicks(const TwipsRect& pane) const;
    std::vector<PlotTick> amplitudeTicks(const TwipsRect& pane) const;  // left edge, then right edge
    // Grid line positions: x for the time grid, y for the others; empty when off.
    std::vector<std::int64_t> timeGrid(int linesPerStep) const;
    std::vector<std::int64_t> frequencyGrid(int setting, const TwipsRect& pane) const;
    std::vector<std::int64_t> amplitudeGrid(int linesPerStep, const TwipsRect& pane) const;
    ColourBarLayout colourBar(const ChannelPanes& ch) const;

    // ---- device pixels ----
    std::int64_t toPixelsX(std::int64_t x) const { return x / device.twipsPerPixel; }
    std::int64_t toPixelsY(std::int64_t y) const { return -y / device.twipsPerPixel; }
    // The context menu's hit test of a point in device pixels: 3 in the
    // oscillogram pane, 1 in a spectrogram pane, 2 in a zero-crossing pane,
    // 0 elsewhere.
    int hitTest(std::int64_t xPx, std::int64_t yPx) const;
};

// Repairs out-of-range values in the view's record (FreqThreshold outside
// 0..99 -> 5, FreqSize < 1 -> 50, negative SpectMin -> 0, negative SpectMax ->
// R/2, AmpMin < -10000 -> -10000, AmpMax < -10000 -> 10000, AmpMin >= AmpMax
// -> AmpMax - 1 or the pair -10000/-9999; also SpectMax <= SpectMin -> 0 ..
// R/2, FftSize not a power of two in 16..4096 -> the power of two below it
// within that range, FftOverLap above 99 -> 99; an unset PlotEnd becomes
// PlotStart + samples per plot when PlotStart is set), then computes the
// layout.
PlotLayout PrepareLayout(VesAnaParms& parms, const SoundInfo& sound, const PlotDevice& device);

// The automatic FFT size: from the samples per pixel column S, 64 below 49,
// 128 below 65, 256 below 129, 512 below 257, else 1024; halved while above
// twice the pane height in pixels, doubled while below it (up to 1024), and
// halved while above the frames of the recording; never below 16.
int automaticFftSize(std::int64_t samplesPerColumn, std::int64_t paneHeightPx, std::int64_t lengthFrames);
