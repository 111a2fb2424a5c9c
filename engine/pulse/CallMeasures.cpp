#include "pulse/CallMeasures.h"

#include <algorithm>
#include <cmath>

namespace {

// Offset of the maximum of the parabola through three levels around a peak,
// in bins (−0.5 .. 0.5).
double parabolicOffset(double left, double mid, double right)
{
    const double denom = left - 2 * mid + right;
    if (!(denom < 0))
        return 0;
    return std::clamp(0.5 * (left - right) / denom, -0.5, 0.5);
}

struct Point {
    int column;
    int bin;
    float snr;
};

// The strongest bin of `column` within `reach` bins of `bin`.
Point strongestNear(const CallSpectrum& s, int column, int bin, int reach)
{
    const int lo = std::max(0, bin - reach), hi = std::min(s.bins - 1, bin + reach);
    Point best{column, lo, s.at(column, lo)};
    for (int k = lo + 1; k <= hi; ++k) {
        const float v = s.at(column, k);
        if (v > best.snr)
            best = {column, k, v};
    }
    return best;
}

// Traces from `from` in direction `step` (±1); appends the points found.
// Each column is searched around the frequency the last two points predict
// (within `reach` bins; `firstReach` for the first step, which has no
// prediction), so the trace stays on the call's ridge through noise.
void trace(const CallSpectrum& s, Point from, int step, int firstReach, int reach, int maxVelocity, double edge,
           int gapColumns, std::vector<Point>& out)
{
    Point last = from;
    int velocity = 0;  // bins per column
    bool haveVelocity = false;
    int misses = 0;
    for (int c = from.column + step; c >= 0 && c < s.columns; c += step) {
        const int gap = misses + 1;
        const int predicted = std::clamp(last.bin + velocity * gap, 0, s.bins - 1);
        const int r = haveVelocity ? reach * gap : firstReach;
        const Point p = strongestNear(s, c, predicted, r);
        if (p.snr >= edge) {
            const int v = (p.bin - last.bin) / gap;
            velocity = std::clamp(haveVelocity ? (v + velocity) / 2 : v, -maxVelocity, maxVelocity);
            haveVelocity = true;
            out.push_back(p);
            last = p;
            misses = 0;
        } else if (++misses > gapColumns) {
            break;
        }
    }
}

}  // namespace

double characteristicFrequency(const std::vector<double>& timesMs, const std::vector<double>& freqsHz)
{
    const std::size_t n = freqsHz.size();
    if (n == 0)
        return 0;
    if (n < 3)
        return freqsHz.back();
    std::vector<double> smooth(n);
    for (std::size_t i = 0; i < n; ++i) {
        const std::size_t a = i == 0 ? 0 : i - 1, b = std::min(n - 1, i + 1);
        double sum = 0;
        for (std::size_t j = a; j <= b; ++j)
            sum += freqsHz[j];
        smooth[i] = sum / static_cast<double>(b - a + 1);
    }
    const std::size_t from = std::min(n - 1, static_cast<std::size_t>(std::floor(0.6 * static_cast<double>(n))));
    double bestSlope = INFINITY;
    std::size_t best = n - 1;
    for (std::size_t i = from; i < n; ++i) {
        const std::size_t a = i == 0 ? 0 : i - 1, b = std::min(n - 1, i + 1);
        const double dt = timesMs[b] - timesMs[a];
        const double slope = dt > 0 ? std::fabs(smooth[b] - smooth[a]) / dt : INFINITY;
        if (slope <= bestSlope) {
            bestSlope = slope;
            best = i;
        }
    }
    return smooth[best];
}

double kneeFrequency(const std::vector<double>& timesMs, const std::vector<double>& freqsHz)
{
    const std::size_t n = freqsHz.size();
    if (n == 0)
        return 0;
    if (n < 3)
        return freqsHz.front();
    const auto [lo, hi] = std::minmax_element(freqsHz.begin(), freqsHz.end());
    const double span = timesMs.back() - timesMs.front();
    const double band = *hi - *lo;
    if (span <= 0 || band <= 0)
        return freqsHz.front();
    // Normalised coordinates: the chord runs from (0, f0) to (1, f1).
    const double f0 = (freqsHz.front() - *lo) / band, f1 = (freqsHz.back() - *lo) / band;
    const double dx = 1, dy = f1 - f0, len = std::hypot(dx, dy);
    double best = -1;
    std::size_t at = 0;
    for (std::size_t i = 1; i + 1 < n; ++i) {
        const double x = (timesMs[i] - timesMs.front()) / span, y = (freqsHz[i] - *lo) / band - f0;
        const double d = std::fabs(x * dy - y * dx) / len;
        if (d > best) {
            best = d;
            at = i;
        }
    }
    return freqsHz[at];
}

bool measureCall(const CallSpectrum& s, int peakColumn, int peakBin, const CallTraceParms& parms, CallMeasures& out,
                 int* firstColumn, int* lastColumn)
{
    if (s.columns <= 0 || s.bins <= 0 || peakColumn < 0 || peakColumn >= s.columns || peakBin < 0 ||
        peakBin >= s.bins)
        return false;
    const Point peak{peakColumn, peakBin, s.at(peakColumn, peakBin)};
    const double edge = std::max(parms.edgeSnrDb, static_cast<double>(peak.snr) - parms.edgeDropDb);
    if (peak.snr < edge)
        return false;
    const int reach = std::max(2, static_cast<int>(std::ceil(parms.maxSlopeKHzPerMs * 1000.0 * s.columnMs / s.binHz)));
    const int near = std::max(2, static_cast<int>(std::ceil(parms.slopeChangeKHzPerMs * 1000.0 * s.columnMs / s.binHz)));

    std::vector<Point> before, after;
    trace(s, peak, -1, reach, near, reach, edge, parms.gapColumns, before);
    trace(s, peak, +1, reach, near, reach, edge, parms.gapColumns, after);
    std::vector<Point> contour(before.rbegin(), before.rend());
    contour.push_back(peak);
    contour.insert(contour.end(), after.begin(), after.end());

    auto binFrequency = [&](const Point& p) {
        const double l = p.bin > 0 ? s.at(p.column, p.bin - 1) : p.snr;
        const double r = p.bin + 1 < s.bins ? s.at(p.column, p.bin + 1) : p.snr;
        return s.firstBinHz + (p.bin + parabolicOffset(l, p.snr, r)) * s.binHz;
    };
    auto columnMs = [&](double column) { return s.firstColumnMs + column * s.columnMs; };

    std::vector<double> times, freqs;
    times.reserve(contour.size());
    freqs.reserve(contour.size());
    for (const Point& p : contour) {
        times.push_back(columnMs(p.column));
        freqs.push_back(binFrequency(p));
    }

    // Edges: where the level falls through the edge level between a contour
    // end column and its outer neighbour (the neighbour's level taken near
    // the contour's bin); a contour at the stretch's border ends there.
    auto crossing = [&](const Point& end, int step) {
        const int c = end.column + step;
        if (c < 0 || c >= s.columns)
            return static_cast<double>(end.column);
        const double outer = strongestNear(s, c, end.bin, reach).snr;
        const double inner = end.snr;
        const double frac = inner > outer ? std::clamp((inner - edge) / (inner - outer), 0.0, 1.0) : 0.0;
        return end.column + step * frac;
    };
    out.startMs = columnMs(crossing(contour.front(), -1));
    out.endMs = columnMs(crossing(contour.back(), +1));
    out.durationMs = out.endMs - out.startMs;
    const auto [lo, hi] = std::minmax_element(freqs.begin(), freqs.end());
    out.minFreqHz = *lo;
    out.maxFreqHz = *hi;
    out.bandwidthHz = *hi - *lo;
    out.peakFreqHz = binFrequency(peak);
    out.charFreqHz = characteristicFrequency(times, freqs);
    out.kneeFreqHz = kneeFrequency(times, freqs);
    const double span = times.back() - times.front();
    out.slopeKHzPerMs = span > 0 ? (freqs.front() - freqs.back()) / 1000.0 / span : 0.0;
    out.snrDb = peak.snr;
    {
        std::vector<float> row(static_cast<std::size_t>(s.bins));
        std::vector<double> prominence;
        for (const Point& p : contour) {
            std::copy(&s.snrDb[static_cast<std::size_t>(p.column) * s.bins],
                      &s.snrDb[static_cast<std::size_t>(p.column + 1) * s.bins], row.begin());
            auto mid = row.begin() + static_cast<std::ptrdiff_t>(row.size() / 2);
            std::nth_element(row.begin(), mid, row.end());
            prominence.push_back(p.snr - *mid);
        }
        auto mid = prominence.begin() + static_cast<std::ptrdiff_t>(prominence.size() / 2);
        std::nth_element(prominence.begin(), mid, prominence.end());
        out.prominenceDb = *mid;
    }
    if (freqs.size() >= 2) {
        std::vector<double> d1;
        for (std::size_t i = 1; i < freqs.size(); ++i)
            d1.push_back(std::fabs(freqs[i] - freqs[i - 1]));
        auto mid = d1.begin() + static_cast<std::ptrdiff_t>(d1.size() / 2);
        std::nth_element(d1.begin(), mid, d1.end());
        out.stepHz = *mid;
    }
    if (freqs.size() >= 3) {
        std::vector<double> d2;
        for (std::size_t i = 1; i + 1 < freqs.size(); ++i)
            d2.push_back(std::fabs(freqs[i + 1] - 2 * freqs[i] + freqs[i - 1]));
        auto mid = d2.begin() + static_cast<std::ptrdiff_t>(d2.size() / 2);
        std::nth_element(d2.begin(), mid, d2.end());
        out.roughnessHz = *mid;
    }
    out.contourPoints = static_cast<int>(contour.size());
    if (firstColumn)
        *firstColumn = contour.front().column;
    if (lastColumn)
        *lastColumn = contour.back().column;
    return true;
}
