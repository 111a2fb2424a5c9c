// What several benchmarks share: a document host that only prints its
// messages, and a recording of bat-like calls of any length.
#pragma once

#include "document/CVesSoundDoc.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace vesbench {

class QuietHost : public IDocHost {
public:
    void message(const std::string& text) override { std::fprintf(stderr, "%s\n", text.c_str()); }
};

// Mono 16-bit calls sweeping 80 -> 30 kHz in 5 ms every 100 ms over a little
// noise, written one second at a time so that long recordings need no buffer
// of their size.
inline void appendSweepCalls(CVesSoundDoc& doc, std::uint32_t rate, std::int64_t seconds)
{
    doc.setFormat(SoundFormat::pcm(1, 16, rate));
    std::vector<std::int16_t> block(rate);
    std::uint32_t noise = 1;
    double phase = 0;
    for (std::int64_t s = 0; s < seconds; ++s) {
        for (std::uint32_t i = 0; i < rate; ++i) {
            const double t = static_cast<double>(i % (rate / 10)) / rate;
            const double hz = t < 0.005 ? 80000 - 10e6 * t : 0;
            phase += 2 * M_PI * hz / rate;
            noise = noise * 1664525u + 1013904223u;
            const double v = (hz > 0 ? 12000 * std::sin(phase) : 0) + static_cast<double>(noise >> 24) - 128;
            block[i] = static_cast<std::int16_t>(v);
        }
        doc.appendSamples(block.data(), static_cast<std::int64_t>(block.size()) * 2);
    }
    doc.setLengthFrames(seconds * rate);
}

}  // namespace vesbench
