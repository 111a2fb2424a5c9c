#include "display/PlotLayout.h"

#include "core/NumberText.h"
#include "core/TimeConv.h"
#include "display/FftWindow.h"
#include "display/RealFft.h"
#include "document/CVesSoundDoc.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>

namespace {

constexpr std::int64_t kNsPerSec = 1000000000;
using vkit::mulDiv;

std::int64_t floorDiv(std::int64_t a, std::int64_t b)
{
    std::int64_t q = a / b;
    if ((a % b != 0) && ((a < 0) != (b < 0)))
        --q;
    return q;
}

std::string channelSuffix(const PlotLayout& L, ChannelIndex channel)
{
    if (!L.stereo || L.bothChannels)
        return {};
    return channel == ChannelIndex::Left ? " - Left " : " - Right ";
}

std::string spectrogramTitle(int fftSize, FftWindow window, int overlap)
{
    char buf[160];
    const long long n = fftSize;
    const char* w = windowTitleLabel(window);
    if (overlap == 0)
        vkit::snprintfC(buf, sizeof buf, "Spectrogram, FFT size %lld%s, no overlap ", n, w);
    else if (overlap < 0)
        vkit::snprintfC(buf, sizeof buf, "Spectrogram, FFT size %lld%s", n, w);
    else
        vkit::snprintfC(buf, sizeof buf, "Spectrogram, FFT size %lld%s, %lld%% overlap ", n, w,
                      static_cast<long long>(overlap));
    return buf;
}

// Panes of one channel's part of the window (before the channel's offset).
void layoutPanes(PlotLayout& L, ChannelPanes& ch, const TwipsRect& win)
{
    const std::int64_t fontSize = L.parms.m_fontSize;
    const std::int64_t t = fontSize * 20;
    const std::int64_t left = L.plotLeft, right = L.plotLeft + L.plotWidth;
    const bool freq = L.showSpect || L.showZeroCross;
    ch.window = win;
    if (L.showOsc && !freq) {
        ch.oscPane = {left, win.top - t - 80, right, win.bottom + t + 160};
        ch.timeAxisY = ch.oscPane.bottom;
        ch.timeLabelY = win.bottom + t + 140;
        ch.secondTickRowY = ch.timeAxisY;
    } else if (!L.showOsc) {
        ch.freqPane = {left, win.top - 400, right, win.bottom + t + 160};
        ch.timeAxisY = ch.freqPane.bottom;
        ch.timeLabelY = win.bottom + t + 140;
        ch.secondTickRowY = ch.timeAxisY;
    } else {
        const std::int64_t mid = (win.top + win.bottom) / 2;
        ch.oscPane = {left, win.top - t - 180, right, mid + 100};
        ch.freqPane = {left, mid - 360, right, win.bottom + 40};
        ch.timeAxisY = ch.oscPane.bottom;
        ch.timeLabelY = mid;
        ch.secondTickRowY = ch.freqPane.bottom;
    }
    if (L.showColourBar && !ch.freqPane.empty()) {
        const std::int64_t paneWidth = right - ch.freqPane.left;
        std::int64_t width = paneWidth / 3;
        if (width > 1200 * fontSize - 1200)
            width = 1200 * fontSize - 1200;
        if (width < 320 * fontSize - 20)
            width = 320 * fontSize - 320;
        std::int64_t height = 60 * fontSize - 40;
        if (ch.freqPane.height() < 480 * fontSize - 320)
            height = std::max(ch.freqPane.height() / 8, 40 * fontSize - 120);
        const std::int64_t top = ch.freqPane.top + 400 - 20;
        ch.colourBar = {right - width, top, right, top - height};
        ch.freqPane.top = ch.colourBar.bottom - 20;
    }
    ch.titleX = left + 60;
    ch.oscTitleY = ch.oscPane.top + 20;
    ch.freqTitleY = ch.freqPane.top + 20;
    const std::string suffix = channelSuffix(L, ch.channel);
    if (L.showOsc)
        ch.oscTitle = "Amplitude" + suffix;
    if (L.showZeroCross)
        ch.freqTitle = "Zero Crossing Analysis" + suffix;
    else if (L.showSpect)
        ch.freqTitle = spectrogramTitle(L.spect.fftSize, fftWindowOf(L.parms.m_fftWindow), L.parms.m_fftOverLap) + suffix;
}

void buildBinTable(SpectrogramSetup& s, std::int64_t paneHeight, std::int64_t spectMin, std::int64_t spectMax,
                   double rate)
{
    const int half = s.fftSize / 2;
    s.binFrequency.assign(static_cast<std::size_t>(half), 0.0);
    s.binTop.assign(static_cast<std::size_t>(half), 0);
    const std::int64_t h = std::max<std::int64_t>(paneHeight, 0);
    const double span = static_cast<double>(spectMax - spectMin);
    int first = 0, last = half - 1;
    for (int i = 0; i < half; ++i) {
        const double f = BinFrequency(s.fftSize, rate, i);
        s.binFrequency[static_cast<std::size_t>(i)] = f;
        const std::int64_t y = static_cast<std::int64_t>(std::floor((f - spectMin) * (paneHeight - 2) / span + 0.5));
        if (y < 0)
            first = i;
        if (y > h && i < last)
            last = i;
        s.binTop[static_cast<std::size_t>(i)] = y;
    }
    // Centre the bands on their bins: raise each upper edge by half a band,
    // then keep it inside the pane. (Clamping the bin below SpectMin to the
    // pane bottom before raising it would leave the bin at SpectMin an empty
    // band.)
    const std::int64_t band = h / std::max(1, last - first + 1);
    for (int i = 0; i < half; ++i) {
        auto& y = s.binTop[static_cast<std::size_t>(i)];
        if (i >= first && i < last)
            y += band / 2 + 1;
        y = std::clamp<std::int64_t>(y, 0, h);
    }
    s.firstBin = first;
    s.lastBin = last;
}

void setUpSpectrogram(PlotLayout& L)
{
    SpectrogramSetup& s = L.spect;
    const VesAnaParms& p = L.parms;
    const std::int64_t paneHeightPx = L.channels.front().freqPane.height() / L.device.twipsPerPixel;
    s.fftSize = p.m_fftSize != 0 ? p.m_fftSize
                                 : automaticFftSize(L.samplesPerColumn, paneHeightPx, L.sound.lengthFrames);
    s.fftOrder = 0;
    while ((1 << s.fftOrder) < s.fftSize)
        ++s.fftOrder;
    s.window = p.m_fftWindow;
    s.autoOverlap = p.m_fftOverLap < 0;
    if (s.autoOverlap) {
        s.overlap = static_cast<int>(std::clamp<std::int64_t>(s.fftSize - L.samplesPerColumn,
                                                              std::numeric_limits<int>::min(), s.fftSize));
        s.hop = static_cast<int>(std::clamp<std::int64_t>(L.samplesPerColumn, 1, std::numeric_limits<int>::max()));
    } else {
        s.overlap = std::min(p.m_fftOverLap * s.fftSize / 100, s.fftSize - 1);
        // Small sizes at high overlap round the hop to 0: advance at least one sample.
        s.hop = std::max(1, (100 - p.m_fftOverLap) * s.fftSize / 100);
    }
    s.windowTable.assign(static_cast<std::size_t>(s.fftSize), 0.0);
    buildWindowTable(s.windowTable.data(), s.fftSize, fftWindowOf(s.window));
    buildBinTable(s, L.channels.front().freqPane.height(), L.spectMin, L.spectMax, static_cast<double>(L.rateHz));
    s.level = LevelScale(p.m_fftThresHold, p.m_contrast);
    s.userMap = p.m_colorScheme == kUserColorScheme;
    if (s.userMap) {
        s.userColorMap = p.m_colorMap;
        s.userPalette = BuildUserPalette(s.userColorMap);
    } else {
        s.palette = BuildLevelPalette(p.m_colorScheme, p.m_invColors);
    }
}

}  // namespace

SoundInfo SoundInfo::of(const CVesSoundDoc& doc)
{
    SoundInfo s;
    s.format = doc.format();
    s.lengthFrames = doc.lengthFrames();
    s.timeExp25 = doc.effectiveTimeExp25();
    return s;
}

PlotDevice PlotDevice::fromScreen(std::int64_t widthPx, std::int64_t heightPx, std::int64_t twipsFor10000Pixels)
{
    PlotDevice d;
    d.twipsPerPixel = std::max<std::int64_t>(1, twipsFor10000Pixels / 10000);
    d.twipsPer1000Pixels = std::max<std::int64_t>(1, twipsFor10000Pixels / 10);
    while (d.twipsPerPixel <= 6) {
        d.twipsPerPixel *= 2;
        d.twipsPer1000Pixels *= 2;
    }
    d.widthTwips = widthPx * d.twipsPerPixel;
    d.heightTwips = heightPx * d.twipsPerPixel;
    return d;
}

int automaticFftSize(std::int64_t s, std::int64_t paneHeightPx, std::int64_t lengthFrames)
{
    int n = s < 49 ? 64 : s < 65 ? 128 : s < 129 ? 256 : s < 257 ? 512 : 1024;
    while (n > 2 * paneHeightPx && n >= 17)
        n /= 2;
    while (n < paneHeightPx && n < 1024)
        n *= 2;
    while (n > lengthFrames && n >= 17)
        n /= 2;
    return n;
}

PlotLayout PrepareLayout(VesAnaParms& parms, const SoundInfo& sound, const PlotDevice& device)
{
    PlotLayout L;
    L.sound = sound;
    L.device = device;
    L.device.twipsPerPixel = std::max<std::int64_t>(1, device.twipsPerPixel);
    if (L.sound.timeExp25 < 1 || L.sound.timeExp25 > 100000)
        L.sound.timeExp25 = 1000;
    L.rateHz = std::max<std::int64_t>(1, static_cast<std::int64_t>(L.sound.format.samplesPerSec) * L.sound.timeExp25 / 1000);
    // A plot size below 1 µs draws 5 µs (the record keeps the repaired 1 µs).
    const bool belowOneMicro = parms.m_plotSize < 1;
    parms.repair(L.rateHz);

    L.durationNs = parms.m_plotSize > std::numeric_limits<std::int64_t>::max() / 1000 ? std::numeric_limits<std::int64_t>::max()
                                                                                      : parms.m_plotSize * 1000;
    if (belowOneMicro)
        L.durationNs = 5000;
    L.samplesPerPlot = mulDiv(L.rateHz, L.durationNs, kNsPerSec);
    L.plotStart = std::max<std::int64_t>(0, parms.m_plotStart);
    if (parms.m_plotStart != -1 || parms.m_plotEnd != -1) {
        if (parms.m_plotEnd <= 0)
            parms.m_plotEnd = L.plotStart + L.samplesPerPlot;
        L.plotEnd = parms.m_plotEnd;
    } else {
        L.plotEnd = L.plotStart + L.samplesPerPlot;
    }
    L.parms = parms;

    const std::int64_t tpp = L.device.twipsPerPixel;
    L.penWidthTwips = tpp + 1;
    L.marginTwips = 14 * tpp + static_cast<std::int64_t>(parms.m_fontSize) * 100;
    L.plotLeft = L.marginTwips;
    L.plotWidth = std::max<std::int64_t>(0, L.device.widthTwips - 2 * L.marginTwips - 2);
    L.columns = static_cast<int>(std::min<std::int64_t>(L.plotWidth / tpp, std::numeric_limits<int>::max()));
    L.samplesPerColumn = L.plotWidth > 0 ? mulDiv(L.samplesPerPlot, tpp, L.plotWidth) : 0;

    L.showZeroCross = parms.m_freqPlot != 0;
    L.showSpect = parms.m_spectPlot && !L.showZeroCross;
    L.showOsc = parms.m_ampPlot || (!L.showSpect && !L.showZeroCross);
    L.showColourBar = L.showSpect && parms.m_scale;
    L.stereo = L.sound.format.channels >= 2;
    L.bothChannels = L.stereo && parms.m_leftChan && parms.m_rightChan;

    L.spectMin = parms.m_spectMin;
    L.spectMax = parms.m_spectMax;
    L.freqScale = makeFreqAxisScale(L.spectMin, L.spectMax);
    L.ampMin = parms.m_ampMin;
    L.ampMax = parms.m_ampMax;
    L.ampScale = makeAmpAxisScale(L.ampMin, L.ampMax);
    L.timeStepNs = TimeTickStepNs(L.durationNs);
    L.timeLabelType = timeLabelTypeFor(L.timeStepNs);
    L.fineTimeLabelType = fineTimeLabelTypeFor(L.timeStepNs);

    // Channels: one half of the window each when both are shown.
    const TwipsRect window{0, 0, L.device.widthTwips, -L.device.heightTwips};
    if (L.bothChannels) {
        const std::int64_t half = L.device.heightTwips / 2;
        L.channels.resize(2);
        L.channels[0].channel = ChannelIndex::Left;
        L.channels[1].channel = ChannelIndex::Right;
        L.channels[1].yOffset = -half;
        for (auto& ch : L.channels)
            ch.window = {0, 0, window.right, -half};
    } else {
        L.channels.resize(1);
        L.channels[0].channel = (L.stereo && parms.m_rightChan && !parms.m_leftChan) ? ChannelIndex::Right : ChannelIndex::Left;
        L.channels[0].window = window;
    }
    // The first layout pass gives the pane heights the FFT size depends on;
    // the titles need the FFT size, so the panes are laid out again after it.
    for (auto& ch : L.channels)
        layoutPanes(L, ch, ch.window);
    if (L.showSpect)
        setUpSpectrogram(L);
    for (auto& ch : L.channels) {
        const TwipsRect win = ch.window;
        const ChannelIndex channel = ch.channel;
        const std::int64_t offset = ch.yOffset;
        ch = ChannelPanes{};
        ch.channel = channel;
        ch.yOffset = offset;
        layoutPanes(L, ch, win);
        if (offset != 0) {
            ch.window = ch.window.shifted(offset);
            if (!ch.oscPane.empty())
                ch.oscPane = ch.oscPane.shifted(offset);
            if (!ch.freqPane.empty())
                ch.freqPane = ch.freqPane.shifted(offset);
            if (!ch.colourBar.empty())
                ch.colourBar = ch.colourBar.shifted(offset);
            ch.timeAxisY += offset;
            ch.timeLabelY += offset;
            ch.secondTickRowY += offset;
            ch.oscTitleY += offset;
            ch.freqTitleY += offset;
        }
    }

    // Zero crossings: theta = FreqThreshold % of full scale 2^(bits-1), in
    // the sample's own units, expressed in 16-bit units (exact: a power of two).
    const int bits = L.sound.format.bitsPerSample;
    if (bits >= 8 && bits <= 32) {
        const std::int64_t fullScale = std::int64_t{1} << (bits - 1);
        const std::int64_t theta = parms.m_freqThreshold * fullScale / 100;
        L.zeroCrossThreshold = std::ldexp(static_cast<double>(theta), 16 - bits);
    }
    L.zeroCrossSize = parms.m_freqSize;
    return L;
}

// ---------------------------------------------------------------------------
// Scales

std::int64_t PlotLayout::xToSample(std::int64_t x) const
{
    if (plotWidth <= 0)
        return plotStart;
    return plotStart + mulDiv(x - plotLeft, samplesPerPlot, plotWidth);
}

double PlotLayout::sampleToX(double sample) const
{
    if (samplesPerPlot <= 0)
        return static_cast<double>(plotLeft);
    return static_cast<double>(plotLeft) +
           (sample - static_cast<double>(plotStart)) * static_cast<double>(plotWidth) / static_cast<double>(samplesPerPlot);
}

std::int64_t PlotLayout::sampleToTimeNs(std::int64_t sample) const
{
    return mulDiv(sample, kNsPerSec, rateHz);
}

double PlotLayout::timeNsToX(std::int64_t timeNs) const
{
    return sampleToX(static_cast<double>(timeNs) * static_cast<double>(rateHz) / 1e9);
}

std::int64_t PlotLayout::frequencyToY(double hz, const TwipsRect& pane) const
{
    if (hz < static_cast<double>(spectMin))
        return pane.bottom;
    if (hz > static_cast<double>(spectMax))
        return pane.top;
    return pane.bottom + static_cast<std::int64_t>((hz - spectMin) / static_cast<double>(spectMax - spectMin) *
                                                   static_cast<double>(pane.height()));
}

double PlotLayout::yToFrequency(std::int64_t y, const TwipsRect& pane) const
{
    if (y < pane.bottom || y > pane.top || pane.height() <= 0)
        return -1;
    return static_cast<double>(spectMin) +
           static_cast<double>(y - pane.bottom) / static_cast<double>(pane.height()) * static_cast<double>(spectMax - spectMin);
}

std::int64_t PlotLayout::amplitudeToY(double amp, const TwipsRect& pane) const
{
    if (amp < static_cast<double>(ampMin))
        return pane.bottom;
    if (amp > static_cast<double>(ampMax))
        return pane.top;
    return pane.bottom + static_cast<std::int64_t>((amp - ampMin) / static_cast<double>(ampMax - ampMin) *
                                                   static_cast<double>(pane.height()));
}

double PlotLayout::yToAmplitude(std::int64_t y, const TwipsRect& pane) const
{
    if (y < pane.bottom || y > pane.top || pane.height() <= 0)
        return -1;
    return static_cast<double>(ampMin) +
           static_cast<double>(y - pane.bottom) / static_cast<double>(pane.height()) * static_cast<double>(ampMax - ampMin);
}

// ---------------------------------------------------------------------------
// Axes

std::vector<PlotTick> PlotLayout::timeTicks(const ChannelPanes& ch) const
{
    std::vector<PlotTick> ticks;
    if (timeStepNs <= 0)
        return ticks;
    const std::int64_t start = startTimeNs(), end = endTimeNs();
    const bool perTick = !(showOsc && (showSpect || showZeroCross));
    for (std::int64_t t = -floorDiv(-start, timeStepNs) * timeStepNs; t <= end; t += timeStepNs) {
        PlotTick tick;
        tick.value = static_cast<double>(t);
        tick.pos = std::llround(timeNsToX(t));
        tick.from = ch.timeAxisY - 40;
        tick.to = ch.timeAxisY + 40;
        if (perTick) {
            tick.labelled = true;
            tick.text = formatTimeValue(t, timeLabelType);
            tick.textPos = ch.timeLabelY;
        }
        ticks.push_back(std::move(tick));
    }
    if (perTick && !ticks.empty())
        ticks.back().text += std::string(" ") + timeUnitText(timeLabelType);
    return ticks;
}

TimeDivisionTexts PlotLayout::timeDivisionTexts() const
{
    return makeTimeDivisionTexts(endTimeNs(), timeStepNs, timeLabelType);
}

std::vector<PlotTick> PlotLayout::frequencyTicks(const TwipsRect& pane) const
{
    std::vector<PlotTick> ticks;
    const double lo = static_cast<double>(spectMin), hi = static_cast<double>(spectMax);
    const bool allLabels = parms.m_freqAllTicksLabels;
    if (!allLabels && freqScale.labelStep > 0) {
        for (double i = std::floor(lo / freqScale.labelStep) + 1; i * freqScale.labelStep <= hi; ++i) {
            const double v = i * freqScale.labelStep;
            ticks.push_back({v, frequencyToY(v, pane), pane.left - 80, pane.left + 100, true, freqScale.label(v),
                             pane.left - 140});
        }
    }
    if (freqScale.tickStep > 0) {
        for (double i = std::ceil(lo / freqScale.tickStep); i * freqScale.tickStep <= hi; ++i) {
            const double v = i * freqScale.tickStep;
            PlotTick tick{v, frequencyToY(v, pane), pane.left - 40, pane.left + 60, false, {}, pane.left - 140};
            if (allLabels && v != 0.0) {
                tick.labelled = true;
                tick.text = freqScale.label(v);
            }
            ticks.push_back(std::move(tick));
        }
    }
    return ticks;
}

std::vector<PlotTick> PlotLayout::amplitudeTicks(const TwipsRect& pane) const
{
    std::vector<std::int64_t> values;
    const std::int64_t step = ampScale.tickStep;
    for (std::int64_t v = -floorDiv(-std::max<std::int64_t>(ampMin, 0), step) * step; v <= ampMax; v += step)
        values.push_back(v);
    for (std::int64_t v = floorDiv(std::min<std::int64_t>(ampMax, 0), step) * step; v >= ampMin; v -= step)
        values.push_back(v);
    std::sort(values.begin(), values.end());
    values.erase(std::unique(values.begin(), values.end()), values.end());
    std::vector<PlotTick> ticks;
    for (int edge = 0; edge < 2; ++edge) {
        for (std::int64_t v : values) {
            PlotTick tick;
            tick.value = static_cast<double>(v);
            tick.pos = amplitudeToY(static_cast<double>(v), pane);
            tick.from = edge == 0 ? pane.left - 40 : pane.right - 20;
            tick.to = edge == 0 ? pane.left + 20 : pane.right + 40;
            if (edge == 0 && v % ampScale.labelStep == 0) {
                tick.labelled = true;
                tick.text = ampScale.label(v);
                tick.textPos = pane.left - 100;
            }
            ticks.push_back(std::move(tick));
        }
    }
    return ticks;
}

std::vector<std::int64_t> PlotLayout::timeGrid(int linesPerStep) const
{
    std::vector<std::int64_t> xs;
    if (linesPerStep <= 0 || timeStepNs <= 0)
        return xs;
    const double spacing = static_cast<double>(timeStepNs) / linesPerStep;
    if (!(spacing > 1.0))
        return xs;
    const double start = static_cast<double>(startTimeNs()), end = static_cast<double>(endTimeNs());
    for (double i = std::ceil(start / spacing); i * spacing <= end; ++i)
        xs.push_back(std::llround(timeNsToX(std::llround(i * spacing))));
    return xs;
}

std::vector<std::int64_t> PlotLayout::frequencyGrid(int setting, const TwipsRect& pane) const
{
    std::vector<std::int64_t> ys;
    const double lo = static_cast<double>(spectMin), hi = static_cast<double>(spectMax);
    if (setting == 0) {
        if (freqScale.labelStep > 0)
            for (double i = std::floor(lo / freqScale.labelStep) + 1; i * freqScale.labelStep <= hi; ++i)
                ys.push_back(frequencyToY(i * freqScale.labelStep, pane));
    } else if (setting > 0) {
        const double spacing = freqScale.tickStep / setting;
        if (spacing > 1.0)
            for (double i = std::ceil(lo / spacing); i * spacing <= hi; ++i)
                ys.push_back(frequencyToY(i * spacing, pane));
    }
    return ys;
}

std::vector<std::int64_t> PlotLayout::amplitudeGrid(int linesPerStep, const TwipsRect& pane) const
{
    std::vector<std::int64_t> ys;
    if (linesPerStep <= 0)
        return ys;
    const double spacing = static_cast<double>(ampScale.tickStep) / linesPerStep;
    if (!(spacing > 1.0))
        return ys;
    for (double i = std::ceil(ampMin / spacing); i * spacing <= ampMax; ++i)
        ys.push_back(amplitudeToY(i * spacing, pane));
    return ys;
}

ColourBarLayout PlotLayout::colourBar(const ChannelPanes& ch) const
{
    ColourBarLayout bar;
    bar.strip = ch.colourBar;
    const std::int64_t left = bar.strip.left, right = bar.strip.right, width = bar.strip.width();
    if (bar.strip.empty() || width <= 0)
        return bar;
    auto xOf = [&](int db) { return right + static_cast<std::int64_t>(db) * width / 100; };
    for (int db = -100; db <= 0; db += 10) {
        PlotTick tick;
        tick.value = db;
        tick.pos = xOf(db);
        tick.from = bar.strip.top;
        tick.to = bar.strip.top + 40;
        if (db == -10 || db == -30 || db == -50 || db == -70 || db == -90) {
            char buf[32];
            vkit::snprintfC(buf, sizeof buf, "%1.0f dB", static_cast<double>(db));
            tick.labelled = true;
            tick.text = buf;
            tick.textPos = bar.strip.top + 60;
        }
        bar.ticks.push_back(std::move(tick));
    }
    if (spect.userMap) {
        const double step = std::max(0.001, static_cast<double>(device.twipsPerPixel) - 0.25);
        for (double xf = static_cast<double>(right); xf >= static_cast<double>(left); xf -= step) {
            const std::int64_t x = std::llround(xf);
            const std::int64_t key = -100000 * (right - x) / width;
            const int pen = spect.userPalette.lookup(static_cast<std::int32_t>(key));
            if (pen >= 0)
                bar.userLines.push_back({x, pen});
        }
        return bar;
    }
    int prevIndex = kLevelPaletteSize - 1;
    std::int64_t prevX = right;
    for (int db = -10; db >= -100; db -= 10) {
        const std::int64_t x = xOf(db);
        const double p = kFullScalePower * std::pow(10.0, db / 10.0);
        const int index = std::clamp(spect.level.paletteIndexUnclipped(p), 0, kLevelPaletteSize - 1);
        if (index < prevIndex) {
            const int count = prevIndex - index;
            const double w = static_cast<double>(prevX - x) / count;
            for (int e = 0; e < count; ++e) {
                const std::int64_t xr = prevX - std::llround(e * w);
                const std::int64_t xl = prevX - std::llround((e + 1) * w);
                bar.bands.push_back({xl, xr, prevIndex - 1 - e});
            }
        }
        prevIndex = index;
        prevX = x;
    }
    return bar;
}

int PlotLayout::hitTest(std::int64_t xPx, std::int64_t yPx) const
{
    if (channels.empty())
        return 0;
    std::int64_t x = xPx * device.twipsPerPixel;
    std::int64_t y = -yPx * device.twipsPerPixel;
    const ChannelPanes& ch = channels.front();
    if (bothChannels && y < -device.heightTwips / 2)
        y += device.heightTwips / 2;
    if (ch.oscPane.contains(x, y))
        return 3;
    if (ch.freqPane.contains(x, y))
        return showZeroCross ? 2 : 1;
    return 0;
}
