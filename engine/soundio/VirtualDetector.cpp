#include "soundio/VirtualDetector.h"

#include "core/TimeConv.h"

#include <algorithm>
#include <cmath>
#include <numbers>



namespace detector {

int proposedSpeedFactor(std::int32_t timeExp25)
{
    const int k = timeExp25 / 1000;
    return k < 2 ? 10 : std::min(k, kMaxSpeedFactor);
}

std::uint32_t playbackRateHz(std::uint32_t rateHz, int speedFactor, bool useSpeedFactor)
{
    if (!useSpeedFactor || speedFactor <= 0)
        return rateHz;
    return rateHz / static_cast<std::uint32_t>(speedFactor);
}

int outputGain(int filterOrder) { return std::max(0, filterOrder) * 3 / 2; }

std::int64_t blockFrames(const SoundFormat& format, std::uint32_t outputRateHz, int speedFactor)
{
    SoundFormat out = format;
    out.samplesPerSec = outputRateHz;
    out.derive();
    // The play buffer: a sixteenth of the output rate in bytes (the rule of playback).
    const std::int64_t align = std::max<std::int64_t>(1, out.blockAlign);
    return out.blockSize(outputRateHz) / align * std::max(1, speedFactor);
}

}  // namespace detector

// ---- oscillator ----

HeterodyneOscillator::HeterodyneOscillator(std::uint32_t rateHz, std::int32_t timeExp25)
    : m_modulus(std::max<std::int64_t>(1, static_cast<std::int64_t>(timeExp25 > 0 ? timeExp25 : 1000) *
                                              std::max<std::int64_t>(1, rateHz)))
{
}

void HeterodyneOscillator::setTuningHz(std::int64_t realHz)
{
    m_tuningHz = std::max<std::int64_t>(0, realHz);
    // Real hertz × 1000 / timeExp are the recording's hertz; one unit of the
    // phase is 1 / (timeExp · f_s) of a cycle.
    m_step = static_cast<std::int64_t>((static_cast<vkit::Int128>(m_tuningHz) * 1000) % m_modulus);
}

double HeterodyneOscillator::value() const
{
    return std::sin(2.0 * std::numbers::pi * (static_cast<double>(m_phase) / static_cast<double>(m_modulus)));
}

void HeterodyneOscillator::advance(std::int64_t frames)
{
    const vkit::Int128 p = static_cast<vkit::Int128>(m_phase) + static_cast<vkit::Int128>(m_step) * frames;
    m_phase = static_cast<std::int64_t>(((p % m_modulus) + m_modulus) % m_modulus);
}

// ---- processing ----

VirtualDetector::VirtualDetector(const DetectorSetup& setup)
    : m_setup(setup),
      m_layout(SampleLayout::of(setup.format)),
      m_osc(setup.format.samplesPerSec, setup.timeExp25),
      m_sections(setup.filter.sections()),
      m_s1(m_sections.size()),
      m_s2(m_sections.size()),
      m_gain(detector::outputGain(setup.filterOrder)),
      m_offset(m_layout.offsetOf(setup.channel))
{
    m_setup.speedFactor = std::clamp(m_setup.speedFactor, detector::kMinSpeedFactor, detector::kMaxSpeedFactor);
}

void VirtualDetector::reset()
{
    m_osc.reset();
    std::fill(m_s1.begin(), m_s1.end(), 0.0);
    std::fill(m_s2.begin(), m_s2.end(), 0.0);
    m_sinceKept = 0;
    m_ok = true;
}

std::int64_t VirtualDetector::process(const std::uint8_t* frames, std::int64_t count, std::uint8_t* out)
{
    const int bytes = m_layout.bytesPerSample;
    const int align = m_layout.blockAlign;
    const int slots = std::max(1, m_layout.channels);
    const int k = m_setup.speedFactor;
    const std::size_t nSections = m_sections.size();
    std::int64_t written = 0;
    for (std::int64_t n = 0; n < count; ++n) {
        // Mixed once with the oscillator, then filtered.
        double v = decodeRawSample(frames + n * align + m_offset, bytes) * m_osc.value();
        m_osc.advance();
        for (std::size_t s = 0; s < nSections; ++s) {
            const Biquad& q = m_sections[s];
            const double y = q.b0 * v + m_s1[s];
            m_s1[s] = q.b1 * v - q.a1 * y + m_s2[s];
            m_s2[s] = q.b2 * v - q.a2 * y;
            v = y;
        }
        if (m_sinceKept == 0) {
            std::int64_t value = 0;
            if (std::isfinite(v)) {
                // Truncated, then the gain; anything beyond every width clips below.
                const double t = std::clamp(std::trunc(v), -4.0e15, 4.0e15);
                value = static_cast<std::int64_t>(t) * m_gain;
            } else {
                m_ok = false;
            }
            std::uint8_t* o = out + written * align;
            for (int c = 0; c < slots; ++c)
                encodeRawSample(o + c * bytes, bytes, value);
            ++written;
        }
        if (++m_sinceKept == k)
            m_sinceKept = 0;
    }
    return written;
}

// ---- source of the player ----

DetectorSource::DetectorSource(FileCls& store, const DetectorSetup& setup, std::uint32_t outputRateHz,
                               std::int64_t startFrame, std::int64_t endFrame, std::int64_t tuningHz)
    : m_store(store), m_detector(setup), m_tuning(tuningHz)
{
    const std::int64_t align = std::max<std::int64_t>(1, setup.format.blockAlign);
    const std::int64_t total = store.length() / align;
    m_end = endFrame < 0 ? total : std::min(endFrame, total);
    m_start = std::clamp<std::int64_t>(startFrame, 0, m_end);
    m_blockFrames = detector::blockFrames(setup.format, outputRateHz, m_detector.setup().speedFactor);
    m_block.resize(static_cast<std::size_t>(blockOutputFrames() * align));
    m_detector.reset();
}

std::int64_t DetectorSource::wholeBlocks() const
{
    return m_blockFrames > 0 ? (m_end - m_start) / m_blockFrames : 0;
}

std::int64_t DetectorSource::sourceFrame(std::int64_t played) const
{
    return m_start + played * m_detector.setup().speedFactor;
}

bool DetectorSource::nextBlock()
{
    const std::int64_t align = m_detector.setup().format.blockAlign;
    const std::int64_t d = m_start + m_blocksDone * m_blockFrames;
    if (m_blockFrames <= 0 || d + m_blockFrames > m_end)
        return false;  // a last partial block is not played
    m_detector.setTuningHz(m_tuning.load());
    std::int64_t got = 0, outFrames = 0;
    while (got < m_blockFrames) {
        FileViewRef view = m_store.readView((d + got) * align, (d + m_blockFrames) * align);
        const std::int64_t bytes = std::min(view.available(), (m_blockFrames - got) * align) / align * align;
        if (!view || bytes <= 0) {
            m_failed = true;
            return false;
        }
        outFrames += m_detector.process(reinterpret_cast<const std::uint8_t*>(view.data()), bytes / align,
                                        m_block.data() + outFrames * align);
        got += bytes / align;
    }
    ++m_blocksDone;
    m_blockFrom = 0;
    m_blockCount = outFrames;
    return true;
}

std::int64_t DetectorSource::fill(std::uint8_t* out, std::int64_t maxFrames)
{
    if (m_blockFrom >= m_blockCount && !nextBlock())
        return m_failed ? -1 : 0;
    const std::int64_t align = m_detector.setup().format.blockAlign;
    const std::int64_t n = std::min(maxFrames, m_blockCount - m_blockFrom);
    std::copy_n(m_block.data() + m_blockFrom * align, n * align, out);
    m_blockFrom += n;
    return n;
}
