#include "zcfiles/ZcCalls.h"

#include <algorithm>
#include <cmath>

namespace zcfile {

namespace {

bool usable(const Dot& d, const ZcCallSettings& s)
{
    return (d.status == DotStatus::Normal || d.status == DotStatus::Main) && d.freqHz >= s.bandLowHz &&
           d.freqHz <= s.bandHighHz;
}

bool near(double a, double b, double pct)
{
    return std::fabs(a - b) <= pct / 100.0 * std::max(a, b);
}

void measure(const std::vector<Dot>& dots, const std::vector<std::size_t>& idx, CallMeasures& c)
{
    std::vector<double> t, f;
    t.reserve(idx.size());
    f.reserve(idx.size());
    for (std::size_t i : idx) {
        t.push_back(dots[i].timeUs / 1000.0);
        f.push_back(dots[i].freqHz);
    }
    const Dot& first = dots[idx.front()];
    c.startMs = (first.timeUs - first.intervalUs) / 1000.0;
    c.endMs = dots[idx.back()].timeUs / 1000.0;
    c.durationMs = c.endMs - c.startMs;
    c.maxFreqHz = *std::max_element(f.begin(), f.end());
    c.minFreqHz = *std::min_element(f.begin(), f.end());
    c.bandwidthHz = c.maxFreqHz - c.minFreqHz;
    c.lowFreqHz = c.minFreqHz;
    c.highFreqHz = c.maxFreqHz;
    c.contourPoints = static_cast<int>(idx.size());
    const double span = t.back() - t.front();
    c.slopeKHzPerMs = span > 0 ? (f.front() - f.back()) / 1000.0 / span : 0;
    contourParameters(t, f, c.startMs, c);
    c.peakFreqHz = c.charFreqHz;
    c.snrDb = 0;
}

}  // namespace

std::vector<CallMeasures> findCalls(const std::vector<Dot>& dots, const ZcCallSettings& s)
{
    // Segments: runs of consecutive usable dots, each within smoothPct of
    // the one before. Noise makes segments of one or two dots.
    std::vector<std::vector<std::size_t>> segments;
    std::vector<std::size_t> seg;
    const auto endSegment = [&]() {
        if (seg.size() >= 3)
            segments.push_back(seg);
        seg.clear();
    };
    for (std::size_t i = 0; i < dots.size(); ++i) {
        if (!usable(dots[i], s)) {
            endSegment();
            continue;
        }
        if (!seg.empty() && !near(dots[i].freqHz, dots[seg.back()].freqHz, s.smoothPct))
            endSegment();
        seg.push_back(i);
    }
    endSegment();

    // Segments closer than the minimum interval are one call.
    std::vector<CallMeasures> calls;
    std::vector<std::size_t> cur;
    double lastStartMs = -1;
    const auto close = [&]() {
        if (static_cast<int>(cur.size()) >= s.minDots) {
            CallMeasures c;
            measure(dots, cur, c);
            if (c.durationMs >= s.minDurationMs) {
                c.call = static_cast<int>(calls.size()) + 1;
                c.intervalMs = lastStartMs < 0 ? -1 : c.startMs - lastStartMs;
                lastStartMs = c.startMs;
                calls.push_back(c);
            }
        }
        cur.clear();
    };
    for (const auto& g : segments) {
        const Dot& first = dots[g.front()];
        if (!cur.empty() && (first.timeUs - first.intervalUs - dots[cur.back()].timeUs) / 1000.0 >= s.minIntervalMs)
            close();
        cur.insert(cur.end(), g.begin(), g.end());
    }
    close();
    return calls;
}

}  // namespace zcfile
