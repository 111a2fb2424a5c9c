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
    // Intervals are whole µs: at 50 kHz and a divide-by-8 signal that is
    // steps of 600 Hz, and runs of equal dots would pass for the flattest
    // part of the call. The contour takes each dot's frequency from the mean
    // interval of up to five dots centred on it (fewer near the call's ends,
    // so that a sweep's ends are not pulled inwards).
    std::vector<double> t, f;
    t.reserve(idx.size());
    f.reserve(idx.size());
    const std::size_t n = idx.size();
    for (std::size_t k = 0; k < n; ++k) {
        const std::size_t half = std::min({std::size_t{2}, k, n - 1 - k});
        const std::size_t a = k - half, b = k + half;
        double sumUs = 0, sumHz = 0;
        for (std::size_t j = a; j <= b; ++j) {
            sumUs += dots[idx[j]].intervalUs;
            sumHz += dots[idx[j]].freqHz * dots[idx[j]].intervalUs;
        }
        t.push_back(dots[idx[k]].timeUs / 1000.0);
        // D / (2 · mean interval): each dot's f · interval is D / 2.
        f.push_back(sumUs > 0 ? sumHz / sumUs : dots[idx[k]].freqHz);
    }
    const Dot& first = dots[idx.front()];
    c.startMs = (first.timeUs - first.intervalUs) / 1000.0;
    c.endMs = dots[idx.back()].timeUs / 1000.0;
    c.durationMs = c.endMs - c.startMs;
    // The highest and lowest dot, as the field's zero-crossing programs give them.
    c.maxFreqHz = 0;
    c.minFreqHz = dots[idx.front()].freqHz;
    for (std::size_t i : idx) {
        c.maxFreqHz = std::max(c.maxFreqHz, dots[i].freqHz);
        c.minFreqHz = std::min(c.minFreqHz, dots[i].freqHz);
    }
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

    // Segments closer than the minimum interval are one call, unless the
    // later one starts well above where the earlier ended: a call sweeps on
    // down or holds, a jump up is another bat's call taking over the divider.
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
        if (!cur.empty() &&
            ((first.timeUs - first.intervalUs - dots[cur.back()].timeUs) / 1000.0 >= s.minIntervalMs ||
             first.freqHz > dots[cur.back()].freqHz * (1 + 2 * s.smoothPct / 100)))
            close();
        cur.insert(cur.end(), g.begin(), g.end());
    }
    close();
    return calls;
}

}  // namespace zcfile
