#include "display/ColumnEngine.h"

#include "display/RealFft.h"
#include "document/CVesSoundDoc.h"
#include "kernels/Kernels.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>

namespace {

// Samples per piece of the oscillogram and zero-crossing scans.
constexpr std::int64_t kChunkSamples = 8192;

// How far ahead of a frame's end the samples of frames to come are fetched
// at fixed overlap. The processor's own prefetcher follows the stream within
// a page but not into the next one; a page ahead hides that wait.
constexpr std::int64_t kFetchAheadBytes = 4096;

// Bit j % 64 of bits[j / 64] says whether level[j] (0 <= j < n) lies above
// the threshold (NaN does not).
void aboveBits(const double* level, int n, double threshold, std::uint64_t* bits)
{
    vectorKernels().aboveBits(level, n, threshold, bits);
}

}  // namespace

// ---------------------------------------------------------------------------

void ZeroCrossCounter::feed(const double* w, std::int64_t n)
{
    for (std::int64_t j = 0; j < n; ++j) {
        const double v = w[j];
        ++m_index;  // names the sample after v
        if ((m_arm > 0 && v < -m_theta) || (m_arm < 0 && v > m_theta)) {
            ++m_count;
            m_arm = v;
            if (m_first < 0)
                m_first = m_index;
        } else if (m_arm == 0 && std::fabs(v) > m_theta) {
            m_arm = v;
        }
    }
}

std::int64_t ZeroCrossCounter::frequency(std::int64_t rateHz, std::int64_t windowEnd) const
{
    if (m_count <= 0 || windowEnd <= m_first)
        return -1;
    return rateHz * m_count / (windowEnd - m_first) / 2;
}

// ---------------------------------------------------------------------------

ColumnEngine::ColumnEngine(const PlotLayout& layout) : m_layout(layout)
{
    const SpectrogramSetup& s = layout.spect;
    const int n = std::max(2, s.fftSize);
    m_frame.assign(static_cast<std::size_t>(n), 0.0);
    // The sums are of |2 X_k|^2 with X_k not divided by N; a bin's power is
    // |2 X_k / N|^2, the sum times 1/N^2 (exactly: a power of two).
    m_powerFactor = std::ldexp(1.0, -2 * s.fftOrder);
    if (s.fftSize >= 2 && static_cast<int>(s.windowTable.size()) >= s.fftSize)
        m_pcmWindow = RealFftPcm16Window(s.windowTable.data(), s.fftOrder);
    m_acc.assign(static_cast<std::size_t>(n / 2), 0.0);
    m_level.assign(static_cast<std::size_t>(n / 2), 0.0);
    m_runs.resize(static_cast<std::size_t>(n / 2));
    m_above.assign(static_cast<std::size_t>(n / 2 / 64 + 1), 0);
    m_chunk.assign(static_cast<std::size_t>(kChunkSamples), 0.0);
}

double ColumnEngine::binPower(int k) const
{
    if (k < 0 || k >= static_cast<int>(m_acc.size()) || m_count == 0)
        return 0.0;
    return m_powerFactor * m_acc[static_cast<std::size_t>(k)] / m_count;
}

void ColumnEngine::clearAccumulator()
{
    std::fill(m_acc.begin(), m_acc.end(), 0.0);
    m_count = 0;
}

// The spectrogram's hot path besides the FFT; starting the function on a
// cache line keeps its speed from depending on where the linker happens to
// place it (a few per cent either way).
__attribute__((aligned(64))) void ColumnEngine::takeFrame(SampleReader& reader, std::int64_t start,
                                                          std::int64_t fetchFirst, std::int64_t fetchCount)
{
    const SpectrogramSetup& s = m_layout.spect;
    const int n = s.fftSize;
    double* frame = m_frame.data();
    // A frame of 16-bit mono samples inside the recording goes to the
    // transform as it is stored; any other is decoded into the frame first.
    const std::uint8_t* pcm = activeVectorKernels() != VectorKernels::Portable && !m_pcmWindow.empty()
                                  ? reader.mono16Bytes(start, n)
                                  : nullptr;
    // Samples of frames to come arrive from memory while this one is transformed.
    reader.prefetch(fetchFirst, fetchCount);
    if (pcm == nullptr || !RealFftPcm16AddPower(pcm, m_pcmWindow.data(), s.fftOrder, frame, m_acc.data())) {
        reader.readWindowed(start, n, s.windowTable.data(), frame);
        RealFftAddPower(frame, s.fftOrder, m_acc.data());
    }
    if (m_count == 0)
        m_firstFrame = start;
    m_lastFrame = start;
    ++m_count;
    ++m_framesComputed;
}

void ColumnEngine::makeRuns(const ChannelPanes& ch, PlotColumn& out)
{
    const SpectrogramSetup& s = m_layout.spect;
    const std::int64_t base = ch.freqPane.bottom;
    const double count = m_count;
    // The column's levels first, in a loop of its own that runs on vectors.
    // A single frame (automatic overlap) is its own average: its sums are
    // used as they are, with their factor applied to the few that are looked
    // at and taken out of the threshold (both exactly).
    const double* level = m_acc.data();
    double factor = m_powerFactor;
    if (m_count != 1) {
        double* __restrict avg = m_level.data();
        const double* __restrict acc = m_acc.data();
        for (int k = s.firstBin; k < s.lastBin; ++k)
            avg[k] = m_powerFactor * acc[k] / count;
        level = avg;
        factor = 1.0;
    }
    int runs = 0;
    int prevPen = -1;
    const auto addBin = [&](int k, int pen) {
        if (pen < 0) {
            prevPen = -1;
            return;
        }
        const std::int64_t top = base + s.binTop[static_cast<std::size_t>(k)];
        if (pen == prevPen) {
            m_runs[static_cast<std::size_t>(runs - 1)].yHigh = top;
        } else {
            m_runs[static_cast<std::size_t>(runs++)] = {pen, base + s.binBottom(k), top};
            prevPen = pen;
        }
    };
    if (s.userMap) {
        for (int k = s.firstBin; k < s.lastBin; ++k)
            addBin(k, s.penForPower(factor * level[k]));
    } else if (s.lastBin > s.firstBin) {
        // Built-in schemes draw nothing at or below the threshold, which is
        // where most bins of a spectrogram lie: only the bins above it, found
        // with vector compares, are looked at.
        const int n = s.lastBin - s.firstBin;
        aboveBits(level + s.firstBin, n, s.level.threshold() / factor, m_above.data());
        int last = -2;
        for (int w = 0; w * 64 < n; ++w) {
            for (std::uint64_t word = m_above[static_cast<std::size_t>(w)]; word != 0; word &= word - 1) {
                const int k = s.firstBin + w * 64 + std::countr_zero(word);
                if (k != last + 1)
                    prevPen = -1;
                addBin(k, s.penForPower(factor * level[k]));
                last = k;
            }
        }
    }
    out.runs = m_runs.data();
    out.runCount = runs;
}

void ColumnEngine::oscillogram(SampleReader& reader, const ChannelPanes& ch, std::int64_t c0, PlotColumn& out)
{
    const std::int64_t end = std::min(reader.lengthFrames(), c0 + std::max<std::int64_t>(1, m_layout.samplesPerColumn));
    if (c0 >= end)
        return;
    double lo = 0, hi = 0;
    bool any = false;
    for (std::int64_t at = c0; at < end;) {
        const std::int64_t n = std::min<std::int64_t>(kChunkSamples, end - at);
        reader.read(at, n, m_chunk.data());
        const auto [mn, mx] = std::minmax_element(m_chunk.data(), m_chunk.data() + n);
        lo = any ? std::min(lo, *mn) : *mn;
        hi = any ? std::max(hi, *mx) : *mx;
        any = true;
        at += n;
    }
    out.hasOsc = true;
    out.oscMin = lo;
    out.oscMax = hi;
    out.oscMinY = m_layout.amplitudeToY(PlotLayout::sampleToAmplitude(lo), ch.oscPane);
    out.oscMaxY = m_layout.amplitudeToY(PlotLayout::sampleToAmplitude(hi), ch.oscPane);
    out.oscFlat = out.oscMaxY - out.oscMinY < m_layout.device.twipsPerPixel;
}

void ColumnEngine::zeroCrossings(SampleReader& reader, const ChannelPanes& ch, std::int64_t c0, std::int64_t c1,
                                 PlotColumn& out)
{
    const std::int64_t length = reader.lengthFrames();
    const std::int64_t size = m_layout.zeroCrossSize;
    std::int64_t start = c0, end = c1;
    if (size != 1) {
        start = std::max<std::int64_t>(0, c0 - size / 2);
        end = start + size;
    }
    end = std::min(end, length);
    ZeroCrossCounter counter(m_layout.zeroCrossThreshold, start);
    for (std::int64_t at = start; at < end;) {
        const std::int64_t n = std::min<std::int64_t>(kChunkSamples, end - at);
        reader.read(at, n, m_chunk.data());
        counter.feed(m_chunk.data(), n);
        at += n;
    }
    const std::int64_t hz = counter.frequency(m_layout.rateHz, end);
    if (hz < 0)
        return;
    out.hasZeroCross = true;
    out.zeroCrossHz = hz;
    out.zeroCrossY = m_layout.frequencyToY(static_cast<double>(hz), ch.freqPane);
}

bool ColumnEngine::compute(CVesSoundDoc& doc, std::size_t channelIndex, int firstColumn, int endColumn,
                           IColumnSink& sink, std::int64_t drawableEnd)
{
    const PlotLayout& L = m_layout;
    m_framesComputed = 0;
    m_count = 0;
    if (channelIndex >= L.channels.size() || L.plotWidth <= 0)
        return true;
    const ChannelPanes& ch = L.channels[channelIndex];
    SampleReader reader(doc, ch.channel);
    const std::int64_t length = reader.lengthFrames();
    const std::int64_t stop = drawableEnd >= 0 ? std::min(drawableEnd, length) : length;
    const SpectrogramSetup& s = L.spect;
    const bool spectrogram = L.showSpect && s.fftSize >= 2 && static_cast<int>(m_frame.size()) >= s.fftSize;
    const std::int64_t half = s.fftSize / 2;
    const std::int64_t fetchAhead = kFetchAheadBytes / std::max(1, reader.layout().blockAlign);

    firstColumn = std::max(firstColumn, 0);
    endColumn = std::min(endColumn, L.columns);
    bool anyFrame = false;
    std::int64_t next = 0;  // fixed overlap: start of the next frame
    bool havePrev = false;
    std::int64_t prevX = 0, prevMaxY = 0;

    for (int col = firstColumn; col < endColumn; ++col) {
        const std::int64_t c0 = L.columnFirstSample(col);
        if (c0 >= stop)
            break;
        const std::int64_t c1 = L.columnFirstSample(col + 1);
        PlotColumn out;
        out.column = col;
        out.x = L.columnX(col);
        out.firstSample = c0;

        if (L.showOsc && !ch.oscPane.empty()) {
            oscillogram(reader, ch, c0, out);
            if (out.hasOsc && L.parms.m_ampCont && havePrev) {
                out.joinFromPrevious = true;
                out.prevX = prevX;
                out.prevMaxY = prevMaxY;
            }
            if (out.hasOsc) {
                havePrev = true;
                prevX = out.x;
                prevMaxY = out.oscMaxY;
            }
        }
        if (L.showZeroCross && !ch.freqPane.empty())
            zeroCrossings(reader, ch, c0, c1, out);

        if (spectrogram) {
            const std::int64_t end = c1 - half;
            int before = m_count;
            if (s.autoOverlap) {
                clearAccumulator();
                takeFrame(reader, c0 - half, c1 - half, s.fftSize);
            } else {
                if (!anyFrame)
                    next = c0 - half;
                if (!anyFrame || next <= end) {
                    clearAccumulator();
                    before = 0;
                }
                while (next <= end || !anyFrame) {
                    // The samples a hop brings in, a page ahead of this frame's end.
                    takeFrame(reader, next, next + s.fftSize + fetchAhead - s.hop, s.hop);
                    anyFrame = true;
                    const bool endsAtLast = next + s.fftSize == length;
                    next += s.hop;
                    if (endsAtLast)
                        break;
                }
            }
            out.hasSpect = true;
            out.frames = m_count;
            out.repeated = !s.autoOverlap && m_count == before;
            out.firstFrameStart = m_firstFrame;
            out.lastFrameStart = m_lastFrame;
            makeRuns(ch, out);
        }
        sink.column(out);
    }
    return !reader.failed();
}
