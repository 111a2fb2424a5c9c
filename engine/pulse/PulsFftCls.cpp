#include "pulse/PulsFftCls.h"

#include "display/FftWindow.h"
#include "display/RealFft.h"
#include "document/CVesSoundDoc.h"

#include <algorithm>
#include <cmath>
#include <limits>

PulsFftCls::PulsFftCls(int fftSize, int window, const PulseClock& clock) : m_clock(clock)
{
    const int n = std::clamp(fftSize, kMinFftSize, kMaxFftSize);
    m_order = 0;
    while ((2 << m_order) <= n)
        ++m_order;
    m_n = 1 << m_order;
    m_window.assign(static_cast<std::size_t>(m_n), 0.0);
    buildWindowTable(m_window.data(), m_n, window);
    const double rate = clock.effectiveRate();
    m_binHz.resize(static_cast<std::size_t>(m_n / 2));
    for (int k = 0; k < m_n / 2; ++k)
        m_binHz[static_cast<std::size_t>(k)] = BinFrequency(m_n, rate, k);
    m_buffer.assign(static_cast<std::size_t>(m_n), 0.0);
}

void PulsFftCls::setStretch(CVesSoundDoc& doc, ChannelIndex channel, std::int64_t first, std::int64_t length, int hop)
{
    m_doc = &doc;
    m_channel = channel;
    m_first = first;
    m_length = std::max<std::int64_t>(0, length);
    const std::int64_t h = std::max(1, hop);
    m_columns = static_cast<int>(std::min<std::int64_t>((m_length + h - 1) / h, std::numeric_limits<int>::max()));
    // Keep about two million levels at most.
    const int half = m_n / 2;
    const int slots = std::clamp((1 << 21) / half, 8, kCacheSlots);
    m_cache.assign(static_cast<std::size_t>(slots) * static_cast<std::size_t>(half), 0.0);
    m_cachedColumn.assign(static_cast<std::size_t>(slots), -1);
}

std::int64_t PulsFftCls::columnStart(int column) const
{
    if (m_columns <= 0)
        return m_first;
    std::int64_t a = m_first + (m_length - m_n) * column / m_columns;
    if (a + m_n > m_first + m_length)
        a = m_first + m_length - m_n;
    return a;
}

const double* PulsFftCls::levels(int column)
{
    const int half = m_n / 2;
    const auto slots = static_cast<int>(m_cachedColumn.size());
    const int slot = column % slots;
    double* out = m_cache.data() + static_cast<std::size_t>(slot) * static_cast<std::size_t>(half);
    if (m_cachedColumn[static_cast<std::size_t>(slot)] != column) {
        compute(column, out);
        m_cachedColumn[static_cast<std::size_t>(slot)] = column;
    }
    return out;
}

void PulsFftCls::compute(int column, double* out)
{
    const std::int64_t a = columnStart(column);
    std::fill(m_buffer.begin(), m_buffer.end(), 0.0);
    // Frames outside the recording read as 0.
    const std::int64_t from = std::max<std::int64_t>(a, 0);
    const std::int64_t skip = from - a;
    if (skip < m_n && m_doc)
        m_doc->readFramesAsDouble(from, m_n - skip, m_channel, m_buffer.data() + skip);
    for (int i = 0; i < m_n; ++i)
        m_buffer[static_cast<std::size_t>(i)] *= m_window[static_cast<std::size_t>(i)];
    RealFft(m_buffer.data(), m_order);
    const double scale = std::ldexp(1.0, -30);
    const double lowest = std::numeric_limits<double>::lowest();
    auto level = [lowest](double power) { return power > 0 ? 10.0 * std::log10(power) : lowest; };
    out[0] = level(4.0 * m_buffer[0] * m_buffer[0] * scale);
    for (int k = 1; k < m_n / 2; ++k) {
        const double re = 2.0 * m_buffer[static_cast<std::size_t>(k)];
        const double im = 2.0 * m_buffer[static_cast<std::size_t>(m_n - k)];
        out[k] = level((re * re + im * im) * scale);
    }
}

namespace {

struct Band {
    int bottom = 0, top = 0;
};

// The band of a column around start bin b: bins at or above the threshold,
// bridging up to G − 1 bins below it, upward then downward from b.
bool findBand(const double* lv, int b, int lo, int hi, int gap, double v, Band& band)
{
    bool found = false;
    int counter = gap;
    for (int k = b; counter > 0 && k <= hi; ++k) {
        if (lv[k] >= v) {
            band.top = k;
            if (!found)
                band.bottom = k;
            found = true;
            counter = gap;
        } else {
            --counter;
        }
    }
    counter = gap;
    for (int k = b; counter > 0 && k >= lo; --k) {
        if (lv[k] >= v) {
            band.bottom = k;
            if (!found)
                band.top = k;
            found = true;
            counter = gap;
        } else {
            --counter;
        }
    }
    return found;
}

}  // namespace

PulseContour measurePulseContour(PulsFftCls& fft, const PulseContourParms& parms)
{
    PulseContour r;
    const int half = fft.bins();
    int hi = half - 1;
    if (parms.maxFrequencyHz >= 1) {
        hi = 0;
        for (int k = 0; k < half; ++k)
            if (fft.binFrequency(k) <= parms.maxFrequencyHz)
                hi = k;
        hi = std::max(hi, 1);
    }
    int lo = 1;
    if (parms.minFrequencyHz >= 1) {
        lo = half - 1;
        for (int k = 1; k < half; ++k)
            if (fft.binFrequency(k) >= parms.minFrequencyHz) {
                lo = k;
                break;
            }
    }
    r.upperBin = hi;
    r.lowerBin = lo;
    const int columns = fft.columns();
    if (lo > hi || columns <= 0)
        return r;

    int gap = 0;
    if (parms.separationHz > 0)
        for (int k = lo; k <= hi && fft.binFrequency(k) - fft.binFrequency(lo) < parms.separationHz; ++k)
            ++gap;
    r.gapBins = gap;

    // Strongest point: the first of equal maxima wins.
    int bestCol = 0, bestBin = lo;
    double best = fft.levels(0)[lo];
    for (int i = 0; i < columns; ++i) {
        const double* lv = fft.levels(i);
        for (int k = lo; k <= hi; ++k)
            if (lv[k] > best) {
                best = lv[k];
                bestCol = i;
                bestBin = k;
            }
    }
    r.strongest = true;
    r.strongestDb = best;
    r.strongestHz = fft.binFrequency(bestBin);
    r.strongestColumn = bestCol;
    r.strongestBin = bestBin;
    r.strongestTimeUs = fft.columnTimeUs(bestCol);

    const double v = parms.thresholdDb;
    const int timeGap = std::max(1, parms.timeGapColumns);
    int topBin = -1, topCol = 0, bottomBin = -1, bottomCol = 0;
    auto record = [&](int col, const Band& band) {
        if (topBin < 0 || band.top >= topBin) {
            topBin = band.top;
            topCol = col;
        }
        if (bottomBin < 0 || band.bottom <= bottomBin) {
            bottomBin = band.bottom;
            bottomCol = col;
        }
    };
    // Follows the contour from the strongest point in one direction.
    auto trace = [&](int step) {
        int col = bestCol, start = bestBin;
        Band band;
        while (findBand(fft.levels(col), start, lo, hi, gap, v, band)) {
            record(col, band);
            const int bandLo = std::max(lo, band.bottom - 1), bandHi = std::min(hi, band.top + 1);
            int next = -1;
            for (int j = 1; j <= timeGap; ++j) {
                const int c = col + step * j;
                if (c < 0 || c >= columns)
                    break;
                const double* lv = fft.levels(c);
                int maxBin = bandLo;
                for (int k = bandLo; k <= bandHi; ++k)
                    if (lv[k] >= lv[maxBin])
                        maxBin = k;
                if (lv[maxBin] >= v) {
                    next = c;
                    start = maxBin;
                    break;
                }
            }
            if (next < 0)
                break;
            col = next;
        }
    };
    trace(-1);
    trace(+1);
    if (topBin >= 0) {
        r.contour = true;
        r.highestHz = fft.binFrequency(topBin);
        r.highestTimeUs = fft.columnTimeUs(topCol);
        r.lowestHz = fft.binFrequency(bottomBin);
        r.lowestTimeUs = fft.columnTimeUs(bottomCol);
    }
    return r;
}
