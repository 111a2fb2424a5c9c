// Pieces shared by the pulse interval/length histograms and the pulse
// characteristics analysis: the clock that converts frames to real-time
// microseconds and back, the "nice" step of bars and ticks, and a reader
// that walks one channel of the document's sample store and hands out the
// absolute amplitude of every frame as a whole number.
#pragma once

#include "document/SampleCodec.h"
#include "document/SoundFormat.h"

#include <cstdint>
#include <vector>

class CVesSoundDoc;

// Real time of frames with the document's sample rate r and time-expansion
// factor in thousandths x: µs(n) = n·10^9 / r / x and frames(t) = t·x·r /
// 10^6 / 1000, each step an integer division (the document's own conversions,
// which these equal exactly).
struct PulseClock {
    std::int64_t rateHz = 1;
    std::int64_t timeExp25 = 1000;

    static PulseClock of(const CVesSoundDoc& doc);
    std::int64_t framesToMicros(std::int64_t frames) const;
    std::int64_t microsToFrames(std::int64_t micros) const;
    // The effective (real-time) sample rate R = r·x / 1000.
    double effectiveRate() const { return static_cast<double>(rateHz) * static_cast<double>(timeExp25) / 1000.0; }
};

// The step of bars and axis ticks for a positive quantity x: a tenth of the
// power of ten at or below x, times 1, 5 or 10 by the leading digit (10 from
// 5 up, 5 from 2 up, odd digits rounded down first). Never below 1.
std::int64_t NiceStep(std::int64_t x);

// How amplitudes are scaled.
enum class AmplitudeScale {
    Units16,  // 16-bit units: 8-bit |(s−128)·256|, 16-bit |s|, 24-bit |s|/256, 32-bit |s|/65536
    Native,   // the sample's own scale: 8-bit |s−128|, otherwise |s| (full scale sampleFullScale(bits))
};

// Reads the absolute amplitudes of one channel straight from the mapped
// sample store, a piece at a time (through the document's SampleReader).
class AmplitudeReader {
public:
    AmplitudeReader(CVesSoundDoc& doc, ChannelIndex channel, AmplitudeScale scale);

    // Up to `max` amplitudes from frame `first` on into out[0..]; returns how
    // many were read (0 past the end of the samples or when the store fails).
    std::int64_t read(std::int64_t first, std::int64_t max, std::int64_t* out);

    const SoundFormat& format() const { return m_format; }
    std::int64_t lengthFrames() const { return m_reader.lengthFrames(); }

private:
    SampleReader m_reader;
    SoundFormat m_format;
};
