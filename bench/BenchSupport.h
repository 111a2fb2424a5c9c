// What several benchmarks share: a document host that only prints its
// messages, and a recording of bat-like calls of any length.
#pragma once

#include "document/CVesSoundDoc.h"

#include "soundfiles/RiffFile.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <sys/stat.h>
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

// A 16-bit mono 384 kHz wave of `dataBytes` sample bytes in the temporary
// folder, written once and kept for later runs.
inline std::string bigWaveFile(std::int64_t dataBytes)
{
    const char* tmp = std::getenv("TMPDIR");
    const std::string path = std::string(tmp && *tmp ? tmp : "/tmp") + "/vesperon-bench-" +
                             std::to_string(dataBytes >> 20) + "m.wav";
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0 && st.st_size == dataBytes + 44)
        return path;
    WaveFile w;
    w.setFormat({1, 1, 384000, 768000, 2, 16});
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f)
        return path;
    w.writeWaveHeader(f, nullptr, dataBytes);
    std::vector<std::int16_t> block(1 << 20);
    for (std::size_t i = 0; i < block.size(); ++i)
        block[i] = static_cast<std::int16_t>(((i * 7919) & 0x7fff) - 0x4000);
    for (std::int64_t done = 0; done < dataBytes; done += static_cast<std::int64_t>(block.size() * 2))
        std::fwrite(block.data(), 2, block.size(), f);
    std::fclose(f);
    return path;
}

}  // namespace vesbench
