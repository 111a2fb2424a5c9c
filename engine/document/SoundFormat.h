// The sound format of a document: the 18-byte PCM wave format record.
#pragma once

#include <cstdint>

struct SoundFormat {
    std::uint16_t formatTag = 1;  // 1 = PCM
    std::uint16_t channels = 1;
    std::uint32_t samplesPerSec = 44100;
    std::uint32_t avgBytesPerSec = 88200;
    std::uint16_t blockAlign = 2;  // bytes per frame
    std::uint16_t bitsPerSample = 16;
    std::uint16_t cbSize = 0;

    // Block alignment and average bytes per second from channels, bits and rate.
    void derive()
    {
        blockAlign = static_cast<std::uint16_t>(channels * bitsPerSample / 8);
        avgBytesPerSec = blockAlign * samplesPerSec;
    }
    static SoundFormat pcm(int channels, int bits, std::uint32_t rate)
    {
        SoundFormat f;
        f.channels = static_cast<std::uint16_t>(channels);
        f.bitsPerSample = static_cast<std::uint16_t>(bits);
        f.samplesPerSec = rate;
        f.derive();
        return f;
    }
    bool operator==(const SoundFormat&) const = default;
};
