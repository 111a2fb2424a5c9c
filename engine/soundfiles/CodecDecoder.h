// Decodes compressed or otherwise non-PCM audio (mp3, flac, ogg, m4a, float
// or extensible wave, ...) with FFmpeg into interleaved little-endian PCM at
// the source's own sampling rate.
//
// Output format: 16-bit signed, except for lossless sources with more than
// 16 bits per sample, which give 24-bit (up to 24 bits of source) or 32-bit
// samples (more bits, or floating point: full scale ±1.0 maps to ±2^31).
// More than two channels keep the first two.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

struct CodecInfo {
    std::uint32_t rateHz = 0;
    int channels = 0;        // channels delivered (1 or 2)
    int sourceChannels = 0;  // channels in the file
    int bitsPerSample = 0;   // 16, 24 or 32
    bool lossless = false;
    std::string codecName;
    std::int64_t estimatedFrames = -1;  // from the container, −1 when unknown
};

// Receives the decoded audio. Returning false from any call cancels decoding.
class CodecSink {
public:
    virtual ~CodecSink() = default;
    // Called once, before the first data.
    virtual bool format(const CodecInfo& info) = 0;
    // Whole frames of interleaved samples.
    virtual bool data(const std::uint8_t* bytes, std::size_t length) = 0;
    // Bytes of the file read so far, and its size.
    virtual bool progress(std::int64_t done, std::int64_t total) = 0;
};

class CodecDecoder {
public:
    enum class Result {
        Ok,
        CannotDecode,  // not a file FFmpeg can open, or no audio stream or decoder
        WrongFormat,   // decoded audio cannot be turned into PCM
        DecodeFailed,  // the decoder or the sink failed half-way
        Cancelled,
    };

    Result decode(const std::string& path, CodecSink& sink);
    const CodecInfo& info() const { return m_info; }
    // FFmpeg's own description of the last failure, for the log.
    const std::string& detail() const { return m_detail; }

    // Routes FFmpeg's messages to the program log (errors only) instead of the console.
    static void silenceLibraryOutput();

private:
    CodecInfo m_info;
    std::string m_detail;
};
