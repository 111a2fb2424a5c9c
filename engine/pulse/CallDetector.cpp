#include "pulse/CallDetector.h"

#include "core/NumberText.h"
#include "kernels/Kernels.h"
#include "display/RealFft.h"
#include "document/CVesSoundDoc.h"
#include "document/SampleCodec.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <deque>
#include <memory>
#include <numbers>

namespace {

// The largest of n > 0 values, in eight lanes side by side.
inline float maxOf(const float* v, int n)
{
    float lane[8];
    for (int i = 0; i < 8; ++i)
        lane[i] = v[0];
    int k = 0;
    for (; k + 8 <= n; k += 8)
        for (int i = 0; i < 8; ++i)
            lane[i] = std::max(lane[i], v[k + i]);
    for (; k < n; ++k)
        lane[0] = std::max(lane[0], v[k]);
    float most = lane[0];
    for (int i = 1; i < 8; ++i)
        most = std::max(most, lane[i]);
    return most;
}

int log2Of(int n)
{
    int m = 0;
    while ((1 << m) < n)
        ++m;
    return m;
}

class Run {
public:
    Run(CVesSoundDoc& doc, std::int64_t first, std::int64_t last, const CallDetectorSettings& settings,
        ICallSink& sink, const std::atomic<bool>* abort);
    CallRunStats go();

private:
    const CallDetectorSettings m_set;
    ICallSink& m_sink;
    const std::atomic<bool>* m_abort;
    CallDetectorSetup m_setup;
    std::int64_t m_first = 0, m_length = 0;
    int m_order = 0, m_bins = 0;
    // The lowest noise level taken: white noise of one unit (16-bit LSB) rms,
    // so that digital silence does not make every later sound a call.
    float m_noiseFloorDb = 0;
    std::int64_t m_totalColumns = 0;
    std::vector<double> m_window;
    std::vector<std::unique_ptr<SampleReader>> m_readers;

    // Columns (levels, then levels above noise once their block is final) in a ring.
    std::int64_t m_ringColumns = 0;
    std::vector<float> m_ring;
    float* column(std::int64_t c) { return &m_ring[static_cast<std::size_t>(c % m_ringColumns) * m_bins]; }
    // The same columns' powers, for the band level (a power per bin from its
    // level would cost an exponential each).
    std::vector<float> m_powerRing;
    float* powers(std::int64_t c) { return &m_powerRing[static_cast<std::size_t>(c % m_ringColumns) * m_bins]; }

    // Block medians of the last blocks: (block index, medians).
    std::deque<std::pair<std::int64_t, std::vector<float>>> m_medians;

    // Candidate state.
    bool m_open = false, m_seeded = false;
    std::int64_t m_segStart = 0, m_segLast = 0;
    std::int64_t m_finalColumns = 0;  // columns [0, m_finalColumns) hold levels above noise
    int m_gapColumns = 1, m_maxCallColumns = 1;

    // The band level of every column (mean level above noise over the
    // broadband width), in a ring like the columns.
    std::vector<float> m_bandRing;
    // The column being fed: the mean of its and the column before's power
    // over noise, bin by bin; the latter's for the next column.
    std::vector<float> m_power, m_lastPower;
    std::vector<float> m_medianRows;  // a block's levels, bin by bin, for their medians
    int m_bandBins = 1;
    float& bandLevel(std::int64_t c) { return m_bandRing[static_cast<std::size_t>(c % m_ringColumns)]; }

    bool m_haveLast = false;
    CallMeasures m_last;
    std::deque<CallMeasures> m_recent;  // calls that later sounds may be echoes of
    CallRunStats m_stats;
    std::vector<float> m_callBuffer;

    double columnMs(std::int64_t c) const
    {
        const double centre = static_cast<double>(m_first + c * m_setup.hop) + m_setup.fftSize / 2.0;
        return centre / m_setup.effectiveRate * 1000.0;
    }
    void computeBlock(std::int64_t block, std::vector<float>& samples, std::vector<float>& samples2);
    // A column's powers (the band's sums of RealFftAddPower times scale) and levels.
    void convertColumn(const double* sums, double scale, float* power, float* level) const
    {
        for (int k = 0; k < m_bins; ++k)
            power[k] = static_cast<float>(sums[k] * scale);
        for (int k = 0; k < m_bins; ++k)
            level[k] = callDb(power[k]);
    }
    std::vector<double> m_pcmWindow;  // the window laid out for RealFftPcm16AddPower
    void finalizeBlock(std::int64_t block);
    void feed(std::int64_t c);
    void closeCandidate();
    void emit(CallMeasures& call, double marginHz);
    bool isEcho(const CallMeasures& m, const CallMeasures& call, double marginHz) const;
    // Below the frequencies of most bat calls, insects, rain, wind and
    // voices are common; a sound there is a call only with a call's
    // structure: a smooth contour (Qual) that sweeps one way or holds its
    // frequency (not one that wanders up and down), not longer than a
    // call.
    bool lowNoise(const CallMeasures& m, double binHz) const
    {
        // Low by its peak or by the bulk of its contour (a noise whose
        // strongest point strays above the limit lies mostly below it).
        if (std::min(m.peakFreqHz, m.meanFreqHz) >= m_set.lowCallHz)
            return false;
        const double sweep = std::fabs(m.slopeKHzPerMs) * 1000.0 * m.durationMs;
        const bool wanders = m.maxFreqHz - m.minFreqHz > std::max(2 * binHz, 2 * sweep);
        // A wide sweep bends (Qual is higher for it), but not erratically; a
        // narrow sound must be smooth.
        const double maxQual = sweep >= 8000 ? 3.3 * m_set.maxLowQualPct : m_set.maxLowQualPct;
        return wanders || m.durationMs > m_set.maxLowCallMs || m.qualityPct > maxQual;
    }
    // A steady tone (see the settings): a CF bat call is short, or longer
    // with a sweep at its start or end that widens its contour.
    bool steadyTone(const CallMeasures& m, double binHz) const
    {
        // Within a bin is steady too (at low frequencies a bin is more than
        // the percentage).
        const double span = std::max(m.peakFreqHz * m_set.steadySpanPct / 100, binHz);
        const bool steady = m.maxFreqHz - m.minFreqHz < span;
        return steady && (m.durationMs > m_set.maxSteadyCallMs || m.peakFreqHz < m_set.lowCallHz);
    }
    // A click (a raindrop, a twig) is as loud at every frequency: when 40 %
    // of the band's bins are within 10 dB of the peak of its column, the
    // sound is noise; a call, however broad, fills a few ridges.
    static bool flatSpectrum(const CallSpectrum& s, int column, float peak)
    {
        int near = 0;
        for (int k = 0; k < s.bins; ++k)
            near += s.at(column, k) >= peak - 10 ? 1 : 0;
        return near * 5 > s.bins * 2;
    }
    // Whether a column of [c0, c1] reaches the band level of a broadband call.
    bool broadIn(std::int64_t c0, std::int64_t c1);
    // A sound found by its band level alone (its peak below the detection
    // SNR) is a call when it has the shape of the quiet broadband calls of
    // leaf-nosed and vampire bats: a smooth contour (Qual as for low sweeps)
    // of three or more points that sweeps down or holds, above the low
    // sounds' frequencies.
    bool faintCall(const CallMeasures& m, std::int64_t c0, std::int64_t c1)
    {
        return broadIn(c0, c1) && m.contourPoints >= 3 && m.slopeKHzPerMs > -1.0 && m.peakFreqHz >= m_set.lowCallHz &&
               m.qualityPct <= 3.3 * m_set.maxLowQualPct;
    }
    // A steep sweep may bend more from column to column than a flat call.
    bool rough(const CallMeasures& m, double binHz) const
    {
        return m.roughnessHz > m_set.maxRoughnessBins * binHz + 0.5 * m.stepHz;
    }
    static constexpr float kWiped = -1000.0f;
};

Run::Run(CVesSoundDoc& doc, std::int64_t first, std::int64_t last, const CallDetectorSettings& settings,
         ICallSink& sink, const std::atomic<bool>* abort)
    : m_set(settings), m_sink(sink), m_abort(abort)
{
    const std::int64_t docLength = doc.lengthFrames();
    if (last < 0 || last > docLength)
        last = docLength;
    first = std::clamp<std::int64_t>(first, 0, last);
    m_first = first;
    m_length = last - first;
    const double rate = static_cast<double>(std::max<std::uint32_t>(1, doc.format().samplesPerSec)) *
                        (doc.timeExpansion() > 0 ? doc.timeExpansion() : 1000) / 1000.0;
    m_setup = makeCallDetectorSetup(rate, settings);
    m_order = log2Of(m_setup.fftSize);
    // E|X_k|² of unit-variance white noise through the Hann window and the 1/N scaling.
    m_noiseFloorDb = callDb(static_cast<float>(0.375 / m_setup.fftSize));
    m_bins = std::max(0, m_setup.lastBin - m_setup.firstBin + 1);
    const int n = m_setup.fftSize;
    if (m_length > 0)
        m_totalColumns = m_length >= n ? (m_length - n) / m_setup.hop + 1 : 1;
    m_window.resize(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i)
        m_window[static_cast<std::size_t>(i)] = 0.5 - 0.5 * std::cos(2 * std::numbers::pi * i / n);
    if (activeVectorKernels() != VectorKernels::Portable)
        m_pcmWindow = RealFftPcm16Window(m_window.data(), m_order);

    const bool stereo = doc.format().channels > 1;
    if (!stereo || settings.channel == CallChannel::Left)
        m_readers.push_back(std::make_unique<SampleReader>(doc, ChannelIndex::Left, SampleScale::Units16));
    else if (settings.channel == CallChannel::Right)
        m_readers.push_back(std::make_unique<SampleReader>(doc, ChannelIndex::Right, SampleScale::Units16));
    else {
        m_readers.push_back(std::make_unique<SampleReader>(doc, ChannelIndex::Left, SampleScale::Units16));
        m_readers.push_back(std::make_unique<SampleReader>(doc, ChannelIndex::Right, SampleScale::Units16));
    }

    const double colMs = m_setup.hop / m_setup.effectiveRate * 1000.0;
    m_gapColumns = std::max(1, static_cast<int>(std::ceil(settings.minIntervalMs / colMs - 1e-9)));
    m_maxCallColumns = std::max(4, static_cast<int>(std::ceil(settings.maxCallMs / colMs)));
    const std::int64_t cpb = m_setup.columnsPerBlock;
    // Blocks b−2 … b+2 while block b is finalised, plus the longest candidate.
    m_ringColumns = cpb * 6 + m_maxCallColumns + 4;
    m_ring.assign(static_cast<std::size_t>(m_ringColumns) * static_cast<std::size_t>(std::max(1, m_bins)), 0.0f);
    m_powerRing.assign(m_ring.size(), 0.0f);
    m_bandRing.assign(static_cast<std::size_t>(m_ringColumns), 0.0f);
    const double binHz = m_setup.effectiveRate / m_setup.fftSize;
    m_bandBins = std::clamp(static_cast<int>(std::lround(settings.bandWidthHz / binHz)), 3, std::max(3, m_bins));
}

void Run::computeBlock(std::int64_t block, std::vector<float>& samples, std::vector<float>& samples2)
{
    const int n = m_setup.fftSize, hop = m_setup.hop;
    const std::int64_t c0 = block * m_setup.columnsPerBlock;
    const std::int64_t c1 = std::min(m_totalColumns, c0 + m_setup.columnsPerBlock);
    const std::int64_t frames = (c1 - c0 - 1) * hop + n;
    const std::int64_t from = m_first + c0 * hop;
    const std::int64_t inRange = std::clamp<std::int64_t>(m_first + m_length - from, 0, frames);
    samples.assign(static_cast<std::size_t>(frames), 0.0f);
    m_readers[0]->read(from, inRange, samples.data());
    if (m_readers.size() > 1) {
        samples2.assign(static_cast<std::size_t>(frames), 0.0f);
        m_readers[1]->read(from, inRange, samples2.data());
    }
    std::vector<double> buf(static_cast<std::size_t>(n)), acc(static_cast<std::size_t>(n / 2));
    const int lo = m_setup.firstBin;
    // RealFftAddPower adds (2N)² times the power of RealFft's bin, taking it
    // while the spectrum is split (no pass over a stored spectrum), and sums
    // the channels of a stereo recording.
    const double scale = 1.0 / (4.0 * n * static_cast<double>(n));
    for (std::int64_t c = c0; c < c1; ++c) {
        float* out = column(c);
        float* power = powers(c);
        std::fill(acc.begin() + lo, acc.begin() + lo + m_bins, 0.0);
        // A frame of 16-bit mono samples inside the stretch goes to the
        // transform as it is stored (no decoded copy, no windowing pass);
        // any other is windowed from the decoded samples.
        const std::int64_t start = from + (c - c0) * hop;
        if (m_readers.size() == 1 && !m_pcmWindow.empty() && start + n <= m_first + m_length) {
            const std::uint8_t* pcm = m_readers[0]->mono16Bytes(start, n);
            if (pcm && RealFftPcm16AddPower(pcm, m_pcmWindow.data(), m_order, buf.data(), acc.data())) {
                convertColumn(acc.data() + lo, scale, power, out);
                continue;
            }
        }
        for (std::size_t r = 0; r < m_readers.size(); ++r) {
            const float* x = (r == 0 ? samples : samples2).data() + (c - c0) * hop;
            for (int i = 0; i < n; ++i)
                buf[static_cast<std::size_t>(i)] = x[i] * m_window[static_cast<std::size_t>(i)];
            RealFftAddPower(buf.data(), m_order, acc.data());
        }
        convertColumn(acc.data() + lo, scale, power, out);
    }
    // The block's median level of every bin, from at most 256 of its columns.
    const std::int64_t count = c1 - c0;
    const std::int64_t stride = std::max<std::int64_t>(1, (count + 255) / 256);
    const auto taken = static_cast<std::size_t>((count + stride - 1) / stride);
    // The taken columns' levels bin by bin, each bin's in a row of its own:
    // read column after column (not bin after bin across the ring, a cache
    // line per value).
    m_medianRows.resize(taken * static_cast<std::size_t>(m_bins));
    std::size_t j = 0;
    for (std::int64_t c = c0; c < c1; c += stride, ++j) {
        const float* col = column(c);
        for (int k = 0; k < m_bins; ++k)
            m_medianRows[static_cast<std::size_t>(k) * taken + j] = col[k];
    }
    std::vector<float> medians(static_cast<std::size_t>(m_bins));
    for (int k = 0; k < m_bins; ++k) {
        const auto row = m_medianRows.begin() + static_cast<std::ptrdiff_t>(static_cast<std::size_t>(k) * taken);
        const auto mid = row + static_cast<std::ptrdiff_t>(taken / 2);
        std::nth_element(row, mid, row + static_cast<std::ptrdiff_t>(taken));
        medians[static_cast<std::size_t>(k)] = *mid;
    }
    m_medians.emplace_back(block, std::move(medians));
    while (m_medians.size() > 5)
        m_medians.pop_front();
}

void Run::finalizeBlock(std::int64_t block)
{
    std::vector<float> noise(static_cast<std::size_t>(m_bins)), inverse(static_cast<std::size_t>(m_bins));
    std::vector<float> values;
    for (int k = 0; k < m_bins; ++k) {
        values.clear();
        for (const auto& [b, med] : m_medians)
            if (b >= block - 2 && b <= block + 2)
                values.push_back(med[static_cast<std::size_t>(k)]);
        auto mid = values.begin() + static_cast<std::ptrdiff_t>(values.size() / 2);
        std::nth_element(values.begin(), mid, values.end());
        noise[static_cast<std::size_t>(k)] = std::max(*mid, m_noiseFloorDb);
        inverse[static_cast<std::size_t>(k)] =
            static_cast<float>(std::pow(10.0, -static_cast<double>(noise[static_cast<std::size_t>(k)]) / 10));
    }
    // Power over noise for the band level, held to −30 … 20 dB, and its
    // mean with the column before (see feed), in the same pass.
    m_power.resize(static_cast<std::size_t>(m_bins));
    m_lastPower.resize(static_cast<std::size_t>(m_bins), 1.0f);
    const std::int64_t c0 = block * m_setup.columnsPerBlock;
    const std::int64_t c1 = std::min(m_totalColumns, c0 + m_setup.columnsPerBlock);
    const float* __restrict nz = noise.data();
    const float* __restrict inv = inverse.data();
    float* __restrict two = m_power.data();
    float* __restrict last = m_lastPower.data();
    for (std::int64_t c = c0; c < c1; ++c) {
        float* __restrict col = column(c);
        const float* __restrict power = powers(c);
        for (int k = 0; k < m_bins; ++k)
            col[k] -= nz[k];
        for (int k = 0; k < m_bins; ++k) {
            const float ratio = std::min(std::max(power[k] * inv[k], 0.001f), 100.0f);
            two[k] = 0.5f * (ratio + last[k]);
            last[k] = ratio;
        }
        m_finalColumns = c + 1;
        feed(c);
    }
}

void Run::feed(std::int64_t c)
{
    const float* col = column(c);
    const float snr = maxOf(col, m_bins);
    // The band level: the highest mean power over `m_bandBins` neighbouring
    // bins relative to their noise (dB), each bin held to at most 20 dB so
    // that one loud tone does not pass for a broadband sound. A short
    // broadband call spreads its energy over many bins; their mean power
    // stands out of the noise (whose mean over many bins varies little)
    // before its strongest bin does: a matched look at the call's band.
    float band = 0;
    if (m_bins >= m_bandBins) {
        // Two columns together (half a window apart): a call of a
        // millisecond or more fills both, the noise averages down. The
        // means of the two columns' powers are in m_power (finalizeBlock).
        // Running sums over four stretches of the positions at once: one
        // running sum waits at every step for the step before.
        const float* two = m_power.data();
        const int positions = m_bins - m_bandBins + 1;
        const int part = (positions + 3) / 4;
        float sum[4], most[4];
        int at[4], end[4];
        for (int i = 0; i < 4; ++i) {
            at[i] = std::min(positions, i * part);
            end[i] = std::min(positions, at[i] + part);
            sum[i] = 0;
            for (int k = at[i]; k < at[i] + m_bandBins && at[i] < end[i]; ++k)
                sum[i] += two[k];
            most[i] = at[i] < end[i] ? sum[i] : 0.0f;
        }
        for (int step = 1; step < part; ++step)
            for (int i = 0; i < 4; ++i) {
                const int k = at[i] + step;
                if (k < end[i]) {
                    sum[i] += two[k + m_bandBins - 1] - two[k - 1];
                    most[i] = std::max(most[i], sum[i]);
                }
            }
        band = callDb(std::max(std::max(most[0], most[1]), std::max(most[2], most[3])) /
                      static_cast<float>(m_bandBins));
    }
    bandLevel(c) = band;
    const bool loud = snr >= m_set.snrDb, broad = band >= m_set.bandSnrDb;
    const bool near = snr >= m_set.snrDb - 4;
    if (near || broad) {
        // The band level of a column holds the column before it too: by
        // itself it claims only that one.
        const std::int64_t last = near ? c : std::max<std::int64_t>(0, c - 1);
        if (!m_open) {
            m_open = true;
            m_seeded = false;
            m_segStart = last;
            m_segLast = last;
        }
        m_segLast = std::max(m_segLast, last);
        if (loud || broad)
            m_seeded = true;
    }
    if (m_open && (c - m_segLast >= m_gapColumns || c - m_segStart + 1 >= m_maxCallColumns))
        closeCandidate();
}

void Run::closeCandidate()
{
    m_open = false;
    if (!m_seeded)
        return;
    const std::int64_t from = std::max<std::int64_t>(0, m_segStart - 1);
    const std::int64_t to = std::min(m_finalColumns - 1, m_segLast + 1);
    const int cols = static_cast<int>(to - from + 1);
    m_callBuffer.resize(static_cast<std::size_t>(cols) * static_cast<std::size_t>(m_bins));
    for (int i = 0; i < cols; ++i)
        std::memcpy(&m_callBuffer[static_cast<std::size_t>(i) * m_bins], column(from + i),
                    sizeof(float) * static_cast<std::size_t>(m_bins));
    CallSpectrum s;
    s.columns = cols;
    s.bins = m_bins;
    s.firstColumnMs = columnMs(from);
    s.columnMs = m_setup.hop / m_setup.effectiveRate * 1000.0;
    s.binHz = m_setup.effectiveRate / m_setup.fftSize;
    s.firstBinHz = m_setup.firstBin * s.binHz;
    s.snrDb = m_callBuffer.data();
    CallTraceParms trace;
    trace.edgeSnrDb = m_set.edgeSnrDb;
    trace.edgeDropDb = m_set.edgeDropDb;
    trace.gapColumns = 1;
    trace.tailSnrDb = m_set.tailSnrDb;
    trace.maxTailMs = m_set.maxTailMs;

    // The strongest call of the candidate first, then the strongest of the
    // columns it left, and so on: a candidate may hold several calls (and
    // their echoes) joined by sounds between them.
    // Stronger sounds of the candidate (calls, and sounds taken for noise)
    // claim what lies within the minimum interval of them.
    std::vector<CallMeasures> found, taken;
    // Peaks down to a little above the edge level are traced, so that broad
    // calls with no loud bin are found; what is found must then be loud at
    // its peak or broad in some column.
    const float seedDb = static_cast<float>(std::min(m_set.snrDb, m_set.edgeSnrDb));
    for (;;) {
        int bestColumn = -1, bestBin = 0;
        float best = seedDb;
        for (int c = 0; c < cols; ++c)
            for (int k = 0; k < m_bins; ++k)
                if (s.at(c, k) >= best) {
                    best = s.at(c, k);
                    bestColumn = c;
                    bestBin = k;
                }
        if (bestColumn < 0)
            break;
        CallMeasures m;
        int firstColumn = bestColumn, lastColumn = bestColumn;
        const bool measured = measureCall(s, bestColumn, bestBin, trace, m, &firstColumn, &lastColumn);
        std::fill(m_callBuffer.begin() + static_cast<std::ptrdiff_t>(firstColumn) * m_bins,
                  m_callBuffer.begin() + static_cast<std::ptrdiff_t>(lastColumn + 1) * m_bins, kWiped);
        if (!measured)
            continue;
        // Within the minimum interval of a stronger sound of the candidate:
        // a harmonic or a piece of it.
        const bool part = std::any_of(taken.begin(), taken.end(), [&](const CallMeasures& f) {
            return m.startMs < f.endMs + m_set.minIntervalMs && m.endMs > f.startMs - m_set.minIntervalMs;
        });
        if (part)
            ++m_stats.parts;
        else if (m.durationMs < m_set.minDurationMs)
            ++m_stats.tooShort;
        else if (m.snrDb < m_set.snrDb && !faintCall(m, from + firstColumn, from + lastColumn))
            ++m_stats.weak;
        else if (lowNoise(m, s.binHz))
            ++m_stats.low;
        else if (steadyTone(m, s.binHz))
            ++m_stats.steady;
        else if (rough(m, s.binHz) || m.prominenceDb < m_set.minProminenceDb || flatSpectrum(s, bestColumn, best))
            ++m_stats.rough;
        else if (m.maxFreqHz < s.firstBinHz + s.binHz || m.minFreqHz > s.firstBinHz + (m_bins - 2) * s.binHz)
            ++m_stats.outside;  // held at an edge of the band: sound from outside it
        else
            found.push_back(m);
        taken.push_back(m);
    }
    std::sort(found.begin(), found.end(),
              [](const CallMeasures& a, const CallMeasures& b) { return a.startMs < b.startMs; });
    for (CallMeasures& m : found)
        emit(m, 2 * s.binHz);
}

bool Run::isEcho(const CallMeasures& m, const CallMeasures& call, double marginHz) const
{
    // An echo is a weaker copy of a call a little later: it starts within
    // the echo window after the call's start (after the call's own start, as
    // it overlaps the call's end when the target is near), is at least the
    // echo drop weaker, and its contour repeats the call's: within its
    // frequencies, no longer than it, sweeping the same way.
    const double delay = m.startMs - call.startMs;
    if (!(delay > 0.5) || delay > m_set.echoWindowMs)
        return false;
    if (m.snrDb > call.snrDb - m_set.echoDropDb)
        return false;
    // Within the call's box: an echo's contour may follow another harmonic.
    if (m.minFreqHz < call.lowFreqHz - marginHz || m.maxFreqHz > call.highFreqHz + marginHz)
        return false;
    if (m.durationMs > call.durationMs * 1.5 + 2)
        return false;
    // The echo of a steep sweep (8 kHz/ms or more: an FM call) sweeps
    // steeply too, even when only its strongest part comes back; a nearly
    // steady sound in its box is another bat's call.
    if (std::fabs(call.slopeKHzPerMs) >= 8 && std::fabs(m.slopeKHzPerMs) < std::fabs(call.slopeKHzPerMs) / 4)
        return false;
    const double flat = 1.0;  // kHz/ms: slopes below this are no sweep either way
    return !(m.slopeKHzPerMs > flat && call.slopeKHzPerMs < -flat) &&
           !(m.slopeKHzPerMs < -flat && call.slopeKHzPerMs > flat);
}

bool Run::broadIn(std::int64_t c0, std::int64_t c1)
{
    for (std::int64_t c = c0; c <= c1; ++c)
        if (bandLevel(c) >= m_set.bandSnrDb)
            return true;
    return false;
}

void Run::emit(CallMeasures& m, double marginHz)
{
    while (!m_recent.empty() && m.startMs - m_recent.front().startMs > m_set.echoWindowMs)
        m_recent.pop_front();
    for (const CallMeasures& call : m_recent)
        if (isEcho(m, call, marginHz)) {
            ++m_stats.echoes;
            return;
        }
    if (m_haveLast)
        m.intervalMs = m.startMs - m_last.startMs;
    m.call = ++m_stats.calls;
    m.startFrame = std::llround(m.startMs / 1000.0 * m_setup.effectiveRate);
    m.endFrame = std::llround(m.endMs / 1000.0 * m_setup.effectiveRate);
    m_last = m;
    m_haveLast = true;
    m_recent.push_back(m);
    m_sink.callFound(m);
}

CallRunStats Run::go()
{
    if (m_bins <= 0 || m_totalColumns <= 0) {
        m_stats.completed = true;
        return m_stats;
    }
    const std::int64_t blocks = (m_totalColumns + m_setup.columnsPerBlock - 1) / m_setup.columnsPerBlock;
    std::vector<float> samples, samples2;
    std::int64_t finalized = 0;
    for (std::int64_t b = 0; b < blocks; ++b) {
        if ((m_abort && m_abort->load()) ||
            !m_sink.callProgress(std::min(m_length, b * m_setup.columnsPerBlock * m_setup.hop), m_length))
            return m_stats;
        computeBlock(b, samples, samples2);
        if (b >= 2)
            finalizeBlock(finalized++);
    }
    while (finalized < blocks)
        finalizeBlock(finalized++);
    if (m_open)
        closeCandidate();
    m_stats.columns = m_totalColumns;
    m_stats.completed = true;
    m_sink.callProgress(m_length, m_length);
    return m_stats;
}

}  // namespace

CallDetectorSetup makeCallDetectorSetup(double effectiveRate, const CallDetectorSettings& settings)
{
    CallDetectorSetup s;
    s.effectiveRate = effectiveRate > 0 ? effectiveRate : 1;
    const double target = std::max(1.0, s.effectiveRate * settings.windowMs / 1000.0);
    const int order = std::clamp(static_cast<int>(std::lround(std::log2(target))), 6, 11);
    s.fftSize = 1 << order;
    s.hop = s.fftSize / 2;
    const double binHz = s.effectiveRate / s.fftSize;
    s.firstBin = std::max(1, static_cast<int>(std::ceil(settings.bandLowHz / binHz - 1e-9)));
    s.lastBin = std::min(s.fftSize / 2 - 1, static_cast<int>(std::floor(settings.bandHighHz / binHz + 1e-9)));
    const double blockSec = std::max(0.01, settings.noiseWindowSec / 4);
    s.columnsPerBlock = std::max(8, static_cast<int>(std::lround(blockSec * s.effectiveRate / s.hop)));
    return s;
}

CallRunStats detectCalls(CVesSoundDoc& doc, std::int64_t first, std::int64_t last,
                         const CallDetectorSettings& settings, ICallSink& sink, const std::atomic<bool>* abort)
{
    Run run(doc, first, last, settings, sink, abort);
    return run.go();
}

bool parseCallBand(const std::string& text, double& lowHz, double& highHz)
{
    const std::size_t comma = text.find(',');
    if (comma == std::string::npos)
        return false;
    double lo = 0, hi = 0;
    if (!vkit::parseDouble(text.substr(0, comma), lo) || !vkit::parseDouble(text.substr(comma + 1), hi))
        return false;
    if (!(lo >= 0) || !(hi > lo) || hi > 1e4)
        return false;
    lowHz = lo * 1000;
    highHz = hi * 1000;
    return true;
}
