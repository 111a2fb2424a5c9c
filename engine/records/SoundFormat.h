// The sound format of a recording: the 18-byte PCM wave format record.
#pragma once

#include <algorithm>
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
    // Bytes a document handles per block for a requested byte count per
    // second (one sixteenth of a second when 0): at least 256 frames, rounded
    // down to 64 bytes and to the block alignment.
    std::int64_t blockSize(std::int64_t requestedBytesPerSecond = 0) const
    {
        const std::int64_t align = std::max<std::int64_t>(1, blockAlign);
        const std::int64_t perSecond =
            requestedBytesPerSecond > 0 ? requestedBytesPerSecond : static_cast<std::int64_t>(avgBytesPerSec);
        std::int64_t size = std::max(perSecond / 16, 256 * align);
        size = size / 64 * 64;
        size = size / align * align;
        return std::max(size, align);
    }
    bool operator==(const SoundFormat&) const = default;
};
