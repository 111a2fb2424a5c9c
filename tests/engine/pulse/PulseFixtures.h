// Synthetic recordings for the pulse tests: hand-made amplitude patterns and
// calls whose start, end and frequencies are known.
#pragma once

#include "document/CVesSoundDoc.h"
#include "core/ByteOrder.h"

#include "DocTestSupport.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <numbers>
#include <vector>

namespace pulsetest {

// 16-bit samples of one or two channels into a document.
inline void fill16(CVesSoundDoc& doc, std::uint32_t rate, const std::vector<std::int16_t>& left,
                   const std::vector<std::int16_t>* right = nullptr, std::int32_t timeExp25 = 1000)
{
    const int channels = right ? 2 : 1;
    std::vector<std::uint8_t> bytes(left.size() * 2 * static_cast<std::size_t>(channels));
    for (std::size_t i = 0; i < left.size(); ++i) {
        writeLe16(&bytes[(i * channels) * 2], static_cast<std::uint16_t>(left[i]));
        if (right)
            writeLe16(&bytes[(i * channels + 1) * 2], static_cast<std::uint16_t>((*right)[i]));
    }
    vestest::fillDocument(doc, channels, 16, rate, bytes);
    doc.recData().m_timeExp25 = timeExp25;
}

// `frames` zeros with blocks of constant value: {first, count, value}.
struct Block {
    std::int64_t first, count;
    std::int16_t value;
};
inline std::vector<std::int16_t> blocks(std::int64_t frames, const std::vector<Block>& list)
{
    std::vector<std::int16_t> s(static_cast<std::size_t>(frames), 0);
    for (const Block& b : list)
        for (std::int64_t i = b.first; i < b.first + b.count && i < frames; ++i)
            s[static_cast<std::size_t>(i)] = b.value;
    return s;
}

// A call: a linear sweep from f0 to f1 (equal for a constant-frequency call)
// with an optional second harmonic, flat between ramps of 50 µs.
struct Call {
    double startSec, durationSec, f0, f1;
    double amplitude = 0.5;   // of full scale
    double harmonic = 0.0;    // second harmonic, relative to the fundamental
};

inline std::vector<std::int16_t> synthesize(double rateHz, double durationSec, const std::vector<Call>& calls,
                                            double noise = 0.002, std::uint32_t seed = 7)
{
    const auto frames = static_cast<std::size_t>(durationSec * rateHz);
    std::vector<double> x(frames, 0.0);
    for (const Call& c : calls) {
        const auto first = static_cast<std::size_t>(std::llround(c.startSec * rateHz));
        const auto n = static_cast<std::size_t>(std::llround(c.durationSec * rateHz));
        const double ramp = 50e-6;
        for (std::size_t i = 0; i < n && first + i < frames; ++i) {
            const double t = static_cast<double>(i) / rateHz;
            const double phase = 2 * std::numbers::pi * (c.f0 * t + (c.f1 - c.f0) * t * t / (2 * c.durationSec));
            const double edge = std::min(t, c.durationSec - t);
            const double env = edge >= ramp ? 1.0 : 0.5 - 0.5 * std::cos(std::numbers::pi * edge / ramp);
            x[first + i] += c.amplitude * env * (std::sin(phase) + c.harmonic * std::sin(2 * phase));
        }
    }
    std::uint32_t state = seed;
    std::vector<std::int16_t> out(frames);
    for (std::size_t i = 0; i < frames; ++i) {
        state = state * 1664525u + 1013904223u;
        const double r = (static_cast<double>(state >> 8) / 16777216.0 - 0.5) * 2.0 * noise;
        out[i] = static_cast<std::int16_t>(std::lround(std::clamp((x[i] + r) * 32767.0, -32768.0, 32767.0)));
    }
    return out;
}

// Sounds that are not bat calls, added to samples of full scale 32767.
inline void addSamples(std::vector<std::int16_t>& s, std::size_t at, double v)
{
    if (at < s.size())
        s[at] = static_cast<std::int16_t>(std::clamp(std::lround(s[at] + v * 32767.0), -32768L, 32767L));
}

// An insect's song: pulses of `pulseSec` every `periodSec` of noise in a
// band of ±3 kHz around `centreHz` (many tooth strikes of a file: no ridge
// to follow), low in the band.
inline void addInsect(std::vector<std::int16_t>& s, double rateHz, double centreHz, double amplitude,
                      double pulseSec = 0.004, double periodSec = 0.012, std::uint32_t seed = 5)
{
    // Noise shifted to the band: a random walk of phase around the centre
    // frequency, smoothed so that it stays within a few kHz.
    std::uint32_t state = seed;
    double phase = 0, wander = 0;
    for (std::size_t i = 0; i < s.size(); ++i) {
        state = state * 1664525u + 1013904223u;
        const double r = static_cast<double>(state >> 8) / 16777216.0 - 0.5;
        wander = 0.95 * wander + 0.05 * r * 6000 * 6;
        phase += 2 * std::numbers::pi * (centreHz + std::clamp(wander, -3000.0, 3000.0)) / rateHz;
        const double t = static_cast<double>(i) / rateHz;
        const double inPulse = std::fmod(t, periodSec);
        if (inPulse >= pulseSec)
            continue;
        state = state * 1664525u + 1013904223u;
        const double am = 0.5 + static_cast<double>(state >> 8) / 16777216.0;
        addSamples(s, i, amplitude * am * std::sin(std::numbers::pi * inPulse / pulseSec) * std::sin(phase));
    }
}

// Rain: drops as clicks (a decaying burst of 0.1 ms) at random times,
// about `perSec` a second, of random loudness up to `amplitude`.
inline void addRain(std::vector<std::int16_t>& s, double rateHz, double perSec, double amplitude,
                    std::uint32_t seed = 3)
{
    std::uint32_t state = seed;
    auto uniform = [&state] {
        state = state * 1664525u + 1013904223u;
        return static_cast<double>(state >> 8) / 16777216.0;
    };
    const auto decay = static_cast<std::size_t>(1e-4 * rateHz);
    const double seconds = static_cast<double>(s.size()) / rateHz;
    const int drops = static_cast<int>(perSec * seconds);
    for (int d = 0; d < drops; ++d) {
        const auto at = static_cast<std::size_t>(uniform() * static_cast<double>(s.size()));
        const double a = amplitude * (0.2 + 0.8 * uniform());
        for (std::size_t i = 0; i < 4 * decay; ++i)
            addSamples(s, at + i, a * (2 * uniform() - 1) * std::exp(-static_cast<double>(i) / static_cast<double>(decay)));
    }
}

}  // namespace pulsetest
