#include "soundfiles/DemoRecording.h"

#include "core/AtomicFile.h"
#include "core/ByteOrder.h"
#include "soundfiles/RiffFile.h"

#include <algorithm>
#include <cmath>
#include <numbers>

std::vector<DemoCall> demoCalls(const DemoRecordingSpec& spec)
{
    std::vector<DemoCall> calls;
    for (double t = 0.020; t + 0.006 < spec.durationSec; t += 0.090)
        calls.push_back({t, 0.005, 75000.0, 45000.0});
    for (double t = 0.055; t + 0.003 < spec.durationSec; t += 0.065)
        calls.push_back({t, 0.0025, 95000.0, 30000.0});
    std::sort(calls.begin(), calls.end(), [](const DemoCall& a, const DemoCall& b) { return a.startSec < b.startSec; });
    return calls;
}

std::vector<std::int16_t> synthesizeDemoSamples(const DemoRecordingSpec& spec)
{
    const auto frames = static_cast<std::size_t>(spec.durationSec * spec.rateHz);
    std::vector<double> x(frames, 0.0);
    const double rate = spec.rateHz;
    for (const DemoCall& c : demoCalls(spec)) {
        const auto first = static_cast<std::size_t>(c.startSec * rate);
        const auto n = static_cast<std::size_t>(c.durationSec * rate);
        // Hyperbolic sweep (period changing linearly), as many FM bats emit.
        const double p0 = 1.0 / c.startHz, p1 = 1.0 / c.endHz;
        const double k = (p1 - p0) / c.durationSec;
        const double amp = 0.6;
        for (std::size_t i = 0; i < n && first + i < frames; ++i) {
            const double t = static_cast<double>(i) / rate;
            const double phase = 2.0 * std::numbers::pi * std::log1p(k * t / p0) / k;
            const double env = std::sin(std::numbers::pi * static_cast<double>(i) / static_cast<double>(n));
            const double harmonic = 0.15 * std::sin(2.0 * phase);
            x[first + i] += amp * env * env * (std::sin(phase) + harmonic);
        }
    }
    std::uint32_t state = spec.seed;
    std::vector<std::int16_t> out(frames);
    for (std::size_t i = 0; i < frames; ++i) {
        state = state * 1664525u + 1013904223u;
        const double noise = (static_cast<double>(state >> 8) / 16777216.0 - 0.5) * 2.0 * spec.noiseLevel;
        const double v = std::clamp((x[i] + noise) * 32767.0, -32768.0, 32767.0);
        out[i] = static_cast<std::int16_t>(std::lround(v));
    }
    return out;
}

bool writeDemoRecording(const std::string& path, std::string* error, const DemoRecordingSpec& spec)
{
    const std::vector<std::int16_t> samples = synthesizeDemoSamples(spec);
    WaveFile wave;
    PcmFormat fmt;
    fmt.formatTag = 1;
    fmt.channels = 1;
    fmt.samplesPerSec = spec.rateHz;
    fmt.bitsPerSample = 16;
    fmt.blockAlign = 2;
    fmt.avgBytesPerSec = spec.rateHz * 2;
    wave.setFormat(fmt);
    vkit::AtomicFileWriter out;
    if (!out.open(path)) {
        if (error)
            *error = out.error();
        return false;
    }
    // Samples are stored little-endian, which is this machine's order.
    std::vector<std::uint8_t> bytes(samples.size() * 2);
    for (std::size_t i = 0; i < samples.size(); ++i)
        writeLe16(&bytes[2 * i], static_cast<std::uint16_t>(samples[i]));
    const auto len = static_cast<std::int64_t>(bytes.size());
    if (wave.writeWaveHeader(out.stream(), bytes.data(), len) != 44 + len || !out.commit()) {
        if (error)
            *error = out.error().empty() ? "write failed" : out.error();
        return false;
    }
    return true;
}
