#include "pulse/RateHistogram.h"

#include "core/NumberText.h"
#include "document/CVesSoundDoc.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

constexpr std::int64_t kPiece = 1 << 16;

std::string formatEdgeMs(std::int64_t us, bool wholeMs)
{
    char buf[48];
    if (wholeMs)
        vkit::snprintfC(buf, sizeof buf, "%lld", static_cast<long long>(us / 1000));
    else
        vkit::snprintfC(buf, sizeof buf, "%.3f", static_cast<double>(us) / 1000.0);
    return buf;
}

}  // namespace

void RateHistogram::clearCounts()
{
    counts.fill(0);
    total = 0;
}

void RateHistogram::computeEdges(const CVesSoundDoc& doc)
{
    const PulseClock clock = PulseClock::of(doc);
    for (int k = 0; k <= kMaxBars; ++k)
        edges[static_cast<std::size_t>(k)] = clock.microsToFrames(startUs + k * barWidthUs);
}

void RateHistogram::prepare(VesRateParms& parms, const CVesSoundDoc& doc, std::int64_t first, std::int64_t last)
{
    const PulseClock clock = PulseClock::of(doc);
    intervalMode = parms.m_intervalMode;
    firstFrame = std::max<std::int64_t>(0, first);
    lastFrame = last < firstFrame ? firstFrame + 1 : last;
    startUs = static_cast<std::int64_t>(parms.m_histStart) * 1000;
    endUs = static_cast<std::int64_t>(parms.m_histEnd) * 1000;
    delayFrames = clock.microsToFrames(static_cast<std::int64_t>(parms.m_delay) * 1000);

    // A bar count below 1 (possible in a settings file) would divide by zero.
    int bars = std::max(1, parms.m_barAnt);
    barWidthUs = (endUs - startUs) / bars;
    if (barWidthUs < 1) {
        barWidthUs = 1;
        bars = static_cast<int>(std::clamp<std::int64_t>(endUs - startUs, 1, kMaxBars));
        parms.m_barAnt = bars;
    }
    if (bars >= kMaxBars)
        bars = kMaxBars;
    lastBar = bars;
    computeEdges(doc);

    if (!parms.m_autoCalc || threshold >= 0)
        threshold = parms.m_threshold;

    const SoundFormat& f = doc.format();
    bitsPerSample = f.bitsPerSample;
    stereo = f.channels > 1;
    if (stereo) {
        channel = parms.m_leftChan || !parms.m_rightChan ? ChannelIndex::Left : ChannelIndex::Right;
        bytesPerFrame = 2 * (bitsPerSample / 8);
    } else {
        channel = ChannelIndex::Left;
        bytesPerFrame = bitsPerSample / 8;
    }
    countTickStep = 0;  // calculation pending
}

std::int64_t RateHistogram::detect(AmplitudeReader& reader, Pass pass, int bars, const std::atomic<bool>* stop,
                                   bool& stopped)
{
    const std::int64_t frames = std::max<std::int64_t>(0, std::min(lastFrame, reader.lengthFrames()) - firstFrame);
    const std::int64_t t = threshold;
    const std::int64_t d = delayFrames;
    const std::int64_t lastEdge = edges[static_cast<std::size_t>(bars)];
    const auto edgeBegin = edges.begin();
    const auto edgeEnd = edges.begin() + bars + 1;
    bool inPulse = false;
    std::int64_t s = 0, l = 0, p = 0;
    std::int64_t sum = 0, count = 0;
    std::vector<std::int64_t> amp(static_cast<std::size_t>(kPiece));
    for (std::int64_t base = 0; base < frames;) {
        if (stop && stop->load(std::memory_order_relaxed)) {
            stopped = true;
            return 1;
        }
        const std::int64_t got = reader.read(firstFrame + base, std::min(kPiece, frames - base), amp.data());
        if (got <= 0)
            break;
        for (std::int64_t j = 0; j < got; ++j) {
            const std::int64_t i = base + j;
            if (amp[static_cast<std::size_t>(j)] > t) {
                l = i;
                if (!inPulse) {
                    s = i;
                    inPulse = true;
                }
            } else if (inPulse && i > l + d) {
                inPulse = false;
                // A pulse whose predecessor started at frame 0 counts as having none.
                const bool measured = !intervalMode || p != 0;
                if (measured && l - s > d) {
                    const std::int64_t value = intervalMode ? s - p : l - s;
                    if (pass == Pass::Average) {
                        sum += value;
                        ++count;
                    } else if (value <= lastEdge) {
                        const auto k = std::lower_bound(edgeBegin, edgeEnd, value) - edgeBegin;
                        ++counts[static_cast<std::size_t>(k)];
                    }
                }
                p = s;
            }
        }
        base += got;
    }
    return count > 0 ? sum / count : 1;
}

bool RateHistogram::calculate(CVesSoundDoc& doc, VesRateParms& parms, const std::atomic<bool>* stop)
{
    clearCounts();
    thresholdFromData = false;
    AmplitudeReader reader(doc, channel, AmplitudeScale::Units16);
    const std::int64_t frames = std::max<std::int64_t>(0, std::min(lastFrame, reader.lengthFrames()) - firstFrame);
    bool stopped = false;

    if (threshold <= 0) {
        std::int64_t sum = 0, peak = 0;
        std::vector<std::int64_t> amp(static_cast<std::size_t>(kPiece));
        for (std::int64_t base = 0; base < frames;) {
            if (stop && stop->load(std::memory_order_relaxed)) {
                clearCounts();
                return false;
            }
            const std::int64_t got = reader.read(firstFrame + base, std::min(kPiece, frames - base), amp.data());
            if (got <= 0)
                break;
            for (std::int64_t j = 0; j < got; ++j) {
                sum += amp[static_cast<std::size_t>(j)];
                peak = std::max(peak, amp[static_cast<std::size_t>(j)]);
            }
            base += got;
        }
        threshold = frames > 0 ? sum / frames + peak / 4 : 1;
        thresholdFromData = true;
    }

    const PulseClock clock = PulseClock::of(doc);
    if (parms.m_autoCalc) {
        std::int64_t m = detect(reader, Pass::Average, kMaxBars, stop, stopped);
        if (stopped) {
            clearCounts();
            return false;
        }
        m = std::max<std::int64_t>(m, 5);
        barWidthUs = std::max<std::int64_t>(1, NiceStep(clock.framesToMicros(m / 5)));
        startUs = 0;
        endUs = clock.framesToMicros(frames);
        computeEdges(doc);
        lastBar = kMaxBars;
    }

    detect(reader, Pass::Count, lastBar, stop, stopped);
    if (stopped) {
        clearCounts();
        return false;
    }

    if (parms.m_autoCalc) {
        int n = 0;
        for (int k = kMaxBars; k >= 1; --k)
            if (counts[static_cast<std::size_t>(k)] > 0) {
                n = k;
                break;
            }
        lastBar = std::max(n, 2);
    }
    highestCount = 1;
    for (int k = 1; k <= lastBar; ++k)
        highestCount = std::max(highestCount, counts[static_cast<std::size_t>(k)]);
    lowestCount = 0;
    endUs = startUs + lastBar * barWidthUs;
    if (parms.m_autoCalc) {
        parms.m_histStart = static_cast<std::int32_t>(startUs / 1000);
        parms.m_histEnd = static_cast<std::int32_t>(endUs / 1000);
        parms.m_barAnt = lastBar;
        parms.m_threshold = static_cast<std::int32_t>(threshold);
    }
    total = 0;
    for (int k = 1; k <= lastBar; ++k)
        total += counts[static_cast<std::size_t>(k)];
    axisRangeUs = NiceStep(endUs - startUs);
    countTickStep = NiceStep(highestCount);
    return true;
}

std::string RateHistogram::asciiTable() const
{
    std::string out = "From (ms)\tTo (ms)\t# observations\r\n";
    const bool wholeMs = startUs % 1000 == 0 && barWidthUs % 1000 == 0;
    char buf[32];
    for (int k = 1; k <= lastBar; ++k) {
        out += formatEdgeMs(startUs + (k - 1) * barWidthUs, wholeMs);
        out += '\t';
        out += formatEdgeMs(startUs + k * barWidthUs, wholeMs);
        vkit::snprintfC(buf, sizeof buf, "\t%d\r\n", counts[static_cast<std::size_t>(k)]);
        out += buf;
    }
    return out;
}

std::string RateHistogram::title() const
{
    std::string t = intervalMode ? "Pulse Interval Analysis" : "Pulse Length Analysis";
    if (stereo)
        t += channel == ChannelIndex::Left ? " - Left channel." : " - Right channel.";
    return t;
}

std::string RateHistogram::countText() const
{
    char buf[48];
    vkit::snprintfC(buf, sizeof buf, ", %lld ", static_cast<long long>(total));
    return std::string(buf) + (intervalMode ? "pulse intervals." : "pulses.");
}

int rateThresholdToPercent(std::int32_t threshold)
{
    return static_cast<int>(std::lround(threshold * 100.0 / 32768.0));
}

std::int32_t RatePercentToThreshold(int percent)
{
    return static_cast<std::int32_t>(std::lround(percent * 32768.0 / 100.0));
}

std::int32_t RateLevelToThreshold(std::int64_t level)
{
    return static_cast<std::int32_t>(std::llabs(level * 32768 / 10000));
}

std::int64_t RateThresholdToLevel(std::int32_t threshold)
{
    return static_cast<std::int64_t>(threshold) * 10000 / 32768;
}

std::optional<std::string> validateRateSettings(std::int32_t histStartMs, std::int32_t histEndMs, std::int32_t bars)
{
    if (histEndMs <= histStartMs)
        return std::string("Histogram end must be greather then Histogram start.");
    if (bars > histEndMs - histStartMs)
        return std::string("Number of histogram bars to high! Each bar must represent at least 1 millisecond.");
    return std::nullopt;
}
