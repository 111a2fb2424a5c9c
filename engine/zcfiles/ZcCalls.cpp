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
    const std::size_t n = dots.size();
    std::vector<bool> keep(n, false);
    for (std::size_t i = 0; i < n; ++i) {
        if (!usable(dots[i], s))
            continue;
        const bool before = i > 0 && usable(dots[i - 1], s) && near(dots[i].freqHz, dots[i - 1].freqHz, s.smoothPct);
        const bool after =
            i + 1 < n && usable(dots[i + 1], s) && near(dots[i].freqHz, dots[i + 1].freqHz, s.smoothPct);
        keep[i] = before || after;
    }
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
    for (std::size_t i = 0; i < n; ++i) {
        if (!keep[i])
            continue;
        if (!cur.empty() && (dots[i].timeUs - dots[cur.back()].timeUs) / 1000.0 >= s.minIntervalMs)
            close();
        cur.push_back(i);
    }
    close();
    return calls;
}

}  // namespace zcfile
