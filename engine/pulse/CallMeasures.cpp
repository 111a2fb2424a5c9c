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
    // Across a gap the search is wider and the contour's own level lost: a
    // point just over the edge level there is as likely the noise's
    // strongest bin as the call, so the contour of a loud sound (whose level
    // has fallen far to get there) must stand out more to go on. A faint
    // call dips below the edge level and on as it is.
    const double gapEdge = from.snr - edge >= 10 ? edge + 3 : edge;
    Point last = from;
    int velocity = 0;  // bins per column
    bool haveVelocity = false;
    int misses = 0;
    for (int c = from.column + step; c >= 0 && c < s.columns; c += step) {
        const int gap = misses + 1;
        const int predicted = std::clamp(last.bin + velocity * gap, 0, s.bins - 1);
        const int r = haveVelocity ? reach * gap : firstReach;
        const Point p = strongestNear(s, c, predicted, r);
        if (p.snr >= (misses > 0 ? gapEdge : edge)) {
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

// The mean power, in dB, of the three bins around `bin` of `column`.
double meanOf3Db(const CallSpectrum& s, int column, int bin)
{
    double sum = 0;
    int n = 0;
    for (int k = std::max(0, bin - 1); k <= std::min(s.bins - 1, bin + 1); ++k, ++n)
        sum += std::pow(10.0, s.at(column, k) / 10.0);
    return n > 0 ? 10 * std::log10(sum / n) : -300.0;
}

// A contour end (`end`, the point before it `inner`) carried on in
// direction `step` into the call's faint part: the columns whose three
// bins around the frequency the end's slope predicts hold `level` dB above
// the noise, at most `maxColumns` of them. The strongest bin of those three
// steers the prediction, so the tail follows a bending sweep.
std::vector<Point> tail(const CallSpectrum& s, Point end, const Point* inner, int step, double level,
                        int maxColumns)
{
    std::vector<Point> out;
    // Bins per step outward: the slope between the end and its inner neighbour.
    const int velocity =
        inner && inner->column != end.column ? (end.bin - inner->bin) * step / (end.column - inner->column) : 0;
    Point last = end;
    for (int i = 1; i <= maxColumns; ++i) {
        const int c = end.column + step * i;
        if (c < 0 || c >= s.columns)
            break;
        const int predicted = std::clamp(last.bin + velocity, 0, s.bins - 1);
        const double db = meanOf3Db(s, c, predicted);
        if (db < level)
            break;
        Point p = strongestNear(s, c, predicted, 1);
        p.snr = static_cast<float>(db);
        out.push_back(p);
        last = p;
    }
    return out;
}

}  // namespace

namespace {

std::vector<double> smoothed3(const std::vector<double>& f)
{
    const std::size_t n = f.size();
    std::vector<double> smooth(n);
    for (std::size_t i = 0; i < n; ++i) {
        const std::size_t a = i == 0 ? 0 : i - 1, b = std::min(n - 1, i + 1);
        double sum = 0;
        for (std::size_t j = a; j <= b; ++j)
            sum += f[j];
        smooth[i] = sum / static_cast<double>(b - a + 1);
    }
    return smooth;
}

// The contour point of the characteristic frequency (n >= 3).
std::size_t characteristicIndex(const std::vector<double>& timesMs, const std::vector<double>& smooth)
{
    const std::size_t n = smooth.size();
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
    return best;
}

// The contour point of the knee (n >= 3).
std::size_t kneeIndex(const std::vector<double>& timesMs, const std::vector<double>& freqsHz)
{
    const std::size_t n = freqsHz.size();
    const auto [lo, hi] = std::minmax_element(freqsHz.begin(), freqsHz.end());
    const double span = timesMs.back() - timesMs.front();
    const double band = *hi - *lo;
    if (span <= 0 || band <= 0)
        return 0;
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
    return at;
}

// Octaves per second from (t0, f0) to (t1, f1), positive when falling.
double octavesPerSecond(double t0Ms, double f0, double t1Ms, double f1)
{
    if (!(t1Ms > t0Ms) || !(f0 > 0) || !(f1 > 0))
        return 0;
    return std::log2(f0 / f1) / ((t1Ms - t0Ms) / 1000.0);
}

}  // namespace

double characteristicFrequency(const std::vector<double>& timesMs, const std::vector<double>& freqsHz)
{
    const std::size_t n = freqsHz.size();
    if (n == 0)
        return 0;
    if (n < 3)
        return freqsHz.back();
    const std::vector<double> smooth = smoothed3(freqsHz);
    return smooth[characteristicIndex(timesMs, smooth)];
}

double kneeFrequency(const std::vector<double>& timesMs, const std::vector<double>& freqsHz)
{
    const std::size_t n = freqsHz.size();
    if (n == 0)
        return 0;
    if (n < 3)
        return freqsHz.front();
    return freqsHz[kneeIndex(timesMs, freqsHz)];
}

void contourParameters(const std::vector<double>& timesMs, const std::vector<double>& freqsHz, double startMs,
                       CallMeasures& out)
{
    const std::size_t n = std::min(timesMs.size(), freqsHz.size());
    out.charTimeMs = out.kneeTimeMs = out.charSlopeOps = out.initialSlopeOps = out.qualityPct = 0;
    out.meanFreqHz = 0;
    if (n == 0)
        return;
    if (n < 3) {
        out.charFreqHz = freqsHz[n - 1];
        out.kneeFreqHz = freqsHz[0];
        out.charTimeMs = timesMs[n - 1] - startMs;
        out.kneeTimeMs = timesMs[0] - startMs;
        out.meanFreqHz = n == 1 ? freqsHz[0] : 0.5 * (freqsHz[0] + freqsHz[1]);
        if (n == 2)
            out.charSlopeOps = out.initialSlopeOps = octavesPerSecond(timesMs[0], freqsHz[0], timesMs[1], freqsHz[1]);
        return;
    }
    const std::vector<double> smooth = smoothed3(freqsHz);
    const std::size_t c = characteristicIndex(timesMs, smooth);
    out.charFreqHz = smooth[c];
    out.charTimeMs = timesMs[c] - startMs;
    const std::size_t k = kneeIndex(timesMs, freqsHz);
    out.kneeFreqHz = freqsHz[k];
    out.kneeTimeMs = timesMs[k] - startMs;
    // The body of the call runs from the knee to Fc; without a body after
    // the knee, the slope around Fc.
    if (c > k + 1) {
        out.charSlopeOps = octavesPerSecond(timesMs[k], freqsHz[k], timesMs[c], smooth[c]);
    } else {
        const std::size_t a = c == 0 ? 0 : c - 1, b = std::min(n - 1, c + 1);
        out.charSlopeOps = octavesPerSecond(timesMs[a], smooth[a], timesMs[b], smooth[b]);
    }
    // The steepest of the first point's slopes to the next four: single
    // points wobble, the steepest of a few is what the call's start does.
    double s1 = 0;
    bool any = false;
    for (std::size_t j = 1; j < std::min<std::size_t>(n, 5); ++j) {
        const double s = octavesPerSecond(timesMs[0], freqsHz[0], timesMs[j], freqsHz[j]);
        if (!any || std::fabs(s) > std::fabs(s1))
            s1 = s;
        any = true;
    }
    out.initialSlopeOps = s1;
    double area = 0;
    for (std::size_t i = 1; i < n; ++i)
        area += 0.5 * (freqsHz[i] + freqsHz[i - 1]) * (timesMs[i] - timesMs[i - 1]);
    const double span = timesMs[n - 1] - timesMs[0];
    out.meanFreqHz = span > 0 ? area / span : freqsHz[0];
    double dev = 0;
    for (std::size_t i = 1; i + 1 < n; ++i)
        if (freqsHz[i] > 0)
            dev += std::fabs(freqsHz[i] - 0.5 * (freqsHz[i - 1] + freqsHz[i + 1])) / freqsHz[i];
    out.qualityPct = 100.0 * dev / static_cast<double>(n - 2);
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
    // The faint start and end beyond the contour.
    const int tailColumns =
        parms.tailSnrDb > 0 ? static_cast<int>(std::floor(parms.maxTailMs / s.columnMs + 1e-9)) : 0;
    const std::size_t nc = contour.size();
    const std::vector<Point> headTail =
        tail(s, contour.front(), nc >= 2 ? &contour[1] : nullptr, -1, parms.tailSnrDb, tailColumns);
    const std::vector<Point> endTail =
        tail(s, contour.back(), nc >= 2 ? &contour[nc - 2] : nullptr, +1, parms.tailSnrDb, tailColumns);

    // The level falls through `level` between an end column and its outer
    // neighbour (the neighbour's level taken near the end's bin: its
    // strongest bin within reach, or beyond a tail the mean of three).
    auto crossing = [&](const Point& end, int step, double level, bool inTail) {
        const int c = end.column + step;
        if (c < 0 || c >= s.columns)
            return static_cast<double>(end.column);
        const double outer = inTail ? meanOf3Db(s, c, end.bin) : strongestNear(s, c, end.bin, reach).snr;
        const double inner = end.snr;
        const double frac = inner > outer ? std::clamp((inner - level) / (inner - outer), 0.0, 1.0) : 0.0;
        return end.column + step * frac;
    };
    out.startMs = headTail.empty() ? columnMs(crossing(contour.front(), -1, edge, false))
                                   : columnMs(crossing(headTail.back(), -1, parms.tailSnrDb, true));
    out.endMs = endTail.empty() ? columnMs(crossing(contour.back(), +1, edge, false))
                                : columnMs(crossing(endTail.back(), +1, parms.tailSnrDb, true));
    out.durationMs = out.endMs - out.startMs;
    const auto [lo, hi] = std::minmax_element(freqs.begin(), freqs.end());
    out.minFreqHz = *lo;
    out.maxFreqHz = *hi;
    out.bandwidthHz = *hi - *lo;
    out.peakFreqHz = binFrequency(peak);
    {
        // The box. The contour's points (and its tails') are the centres of
        // their columns' windows; a sweep goes on to the call's start and
        // end, so it is extended there along its first and last slope, at
        // most a column and within the band.
        std::vector<double> bt, bf;  // the tails and the contour, in time order
        for (auto p = headTail.rbegin(); p != headTail.rend(); ++p) {
            bt.push_back(columnMs(p->column));
            bf.push_back(s.firstBinHz + p->bin * s.binHz);
        }
        bt.insert(bt.end(), times.begin(), times.end());
        bf.insert(bf.end(), freqs.begin(), freqs.end());
        for (const Point& p : endTail) {
            bt.push_back(columnMs(p.column));
            bf.push_back(s.firstBinHz + p.bin * s.binHz);
        }
        const double bandLo = s.firstBinHz, bandHi = s.firstBinHz + (s.bins - 1) * s.binHz;
        auto extended = [&](std::size_t i, std::size_t j, double toMs) {
            const double dt = bt[j] - bt[i];
            const double slope = dt != 0 ? (bf[j] - bf[i]) / dt : 0.0;
            const double reachMs = std::min(std::fabs(toMs - bt[i]), s.columnMs);
            return std::clamp(bf[i] + slope * reachMs * (toMs < bt[i] ? -1 : 1), bandLo, std::max(bandLo, bandHi));
        };
        const std::size_t n = bf.size();
        const auto [blo, bhi] = std::minmax_element(bf.begin(), bf.end());
        double boxLo = *blo, boxHi = *bhi;
        if (n >= 2) {
            const double first = extended(0, 1, out.startMs), last = extended(n - 1, n - 2, out.endMs);
            boxLo = std::min({boxLo, first, last});
            boxHi = std::max({boxHi, first, last});
        }
        // Harmonics: the contour follows the strongest one; the others lie
        // at whole multiples and fractions of it. One counts when the
        // middle of the call reaches the edge level there.
        auto harmonicHolds = [&](double factor) {
            int hits = 0, tried = 0;
            for (const Point& p : contour) {
                const double f = s.firstBinHz + p.bin * s.binHz;
                const int bin = static_cast<int>(std::lround((f * factor - s.firstBinHz) / s.binHz));
                if (bin < 1 || bin >= s.bins - 1)
                    continue;
                ++tried;
                if (strongestNear(s, p.column, bin, 1).snr >= edge)
                    ++hits;
            }
            return tried >= 1 && hits * 2 >= static_cast<int>(contour.size());
        };
        double top = 1, bottom = 1;
        for (double factor : {2.0, 3.0})
            if (harmonicHolds(factor))
                top = factor;
        for (double factor : {0.5, 1.0 / 3.0})
            if (harmonicHolds(factor))
                bottom = factor;
        out.lowFreqHz = boxLo * bottom;
        out.highFreqHz = boxHi * top;
    }
    contourParameters(times, freqs, out.startMs, out);
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
