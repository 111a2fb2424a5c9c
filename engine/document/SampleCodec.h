// The one decoder and encoder of stored samples, and the one reader of
// samples from a document's store.
//
// Samples are stored as in a wave data chunk: interleaved little-endian
// frames of one or two channels; 8-bit samples unsigned with 128 as zero,
// 16-, 24- (three bytes) and 32-bit samples signed.
//
// A scale names what a decoded value means:
//   Units16  analysis (display, spectra, pulses): 16-bit units, so that every
//            width's full scale becomes 32768: 8-bit (s - 128) x 256,
//            16-bit s, 24-bit s / 256, 32-bit s / 65536
//   Level    levels against full scale: the fraction of the width's full
//            scale sampleFullScale(bits) (128, 32768, 2^23, 2^31), -1.0 .. 1.0
//   Raw      editing: the integer relative to the zero line: 8-bit s - 128,
//            otherwise s
// All factors are powers of two, so floating-point values are exact (doubles
// always; floats up to 24 bits of the sample). Integer output takes Units16
// truncated toward zero and Raw as it is (Level, whose full scale is
// sampleFullScale(bits), reads as Raw there).
//
// Encoding rounds to the nearest integer and clips to what the editor keeps
// at each width: -128 .. 127, -32768 .. 32767, -8388608 .. 0x7FFF00 (the
// editor's 24-bit ceiling) and the 32-bit range (32-bit values clip, they
// never wrap).
#pragma once

#include "core/ByteOrder.h"
#include "core/FileCls.h"
#include "document/ChannelSelection.h"
#include "document/SoundFormat.h"

#include <algorithm>
#include <cstdint>

class CVesSoundDoc;

enum class SampleScale {
    Units16,
    Level,
    Raw,
};

// Where the samples of a channel lie in stored frames.
struct SampleLayout {
    int bytesPerSample = 2;  // 1 .. 4
    int blockAlign = 2;      // bytes per frame
    int channels = 1;

    static SampleLayout of(const SoundFormat& format)
    {
        return {format.bitsPerSample / 8, format.blockAlign, format.channels};
    }
    bool valid() const { return bytesPerSample >= 1 && bytesPerSample <= 4 && blockAlign >= bytesPerSample; }
    // Byte of the channel's sample within a frame (a mono recording has only the left one).
    int offsetOf(ChannelIndex channel) const
    {
        return channels > 1 && channel == ChannelIndex::Right ? bytesPerSample : 0;
    }
};

// Full scale of a sample width: 128, 32768, 8388608 or 2147483648 for 8-,
// 16-, 24- and 32-bit samples (32768 for anything else).
constexpr std::int64_t sampleFullScale(int bitsPerSample)
{
    switch (bitsPerSample) {
    case 8: return 128;
    case 24: return std::int64_t{1} << 23;
    case 32: return std::int64_t{1} << 31;
    default: return 32768;
    }
}

// One stored sample of `bytes` bytes as its Raw value.
constexpr std::int32_t decodeRawSample(const std::uint8_t* p, int bytes)
{
    switch (bytes) {
    case 1: return static_cast<std::int32_t>(p[0]) - 128;
    case 2: return readLeI16(p);
    case 3: return readLeI24(p);
    default: return readLeI32(p);
    }
}

// The factor that takes a Raw value of a width into a scale (a power of two).
constexpr double sampleScaleFactor(int bytes, SampleScale scale)
{
    if (scale == SampleScale::Raw)
        return 1.0;
    if (scale == SampleScale::Level)
        return 1.0 / static_cast<double>(sampleFullScale(8 * bytes));
    switch (bytes) {
    case 1: return 256.0;
    case 2: return 1.0;
    case 3: return 1.0 / 256.0;
    default: return 1.0 / 65536.0;
    }
}

// One stored sample as a value in a scale.
constexpr double decodeSample(const std::uint8_t* p, int bytes, SampleScale scale)
{
    return decodeRawSample(p, bytes) * sampleScaleFactor(bytes, scale);
}

// A Raw value clipped to what the editor stores at a width.
constexpr std::int64_t clipRawSample(std::int64_t value, int bytes)
{
    switch (bytes) {
    case 1: return std::clamp<std::int64_t>(value, -128, 127);
    case 2: return std::clamp<std::int64_t>(value, -32768, 32767);
    case 3: return std::clamp<std::int64_t>(value, -8388608, 0x7FFF00);
    default: return std::clamp<std::int64_t>(value, INT32_MIN, INT32_MAX);
    }
}

// Stores a Raw value, clipped as clipRawSample does.
constexpr void encodeRawSample(std::uint8_t* p, int bytes, std::int64_t value)
{
    const auto v = static_cast<std::int32_t>(clipRawSample(value, bytes));
    switch (bytes) {
    case 1: p[0] = static_cast<std::uint8_t>(v + 128); break;
    case 2: writeLeI16(p, static_cast<std::int16_t>(v)); break;
    case 3: writeLeI24(p, v); break;
    default: writeLeI32(p, v); break;
    }
}

// Block decoders: `count` frames from `frames` (the first byte of the first
// frame), the samples of one channel into out[0 .. count). The width and the
// scale are chosen once per block; each combination has its own inner loop.
void decodeBlock(const std::uint8_t* frames, std::int64_t count, const SampleLayout& layout, ChannelIndex channel,
                 SampleScale scale, double* out);
void decodeBlock(const std::uint8_t* frames, std::int64_t count, const SampleLayout& layout, ChannelIndex channel,
                 SampleScale scale, float* out);
void decodeBlock(const std::uint8_t* frames, std::int64_t count, const SampleLayout& layout, ChannelIndex channel,
                 SampleScale scale, std::int64_t* out);
// As the integer decodeBlock, the absolute values.
void decodeMagnitudes(const std::uint8_t* frames, std::int64_t count, const SampleLayout& layout,
                      ChannelIndex channel, SampleScale scale, std::int64_t* out);

// As the double decodeBlock, each value times window[i] (the windowed frames
// of a spectrogram in one pass; the products are the same as multiplying the
// decoded block afterwards).
void decodeBlockWindowed(const std::uint8_t* frames, std::int64_t count, const SampleLayout& layout,
                         ChannelIndex channel, SampleScale scale, const double* window, double* out);

// Block encoders: in[0 .. count) into the samples of one channel of `count`
// frames at `frames`; the other channel's samples are left as they are.
// Values in a scale, rounded to the nearest integer, then clipped:
void encodeBlock(const double* in, std::int64_t count, const SampleLayout& layout, ChannelIndex channel,
                 SampleScale scale, std::uint8_t* frames);
// Raw values, clipped:
void encodeBlock(const std::int64_t* in, std::int64_t count, const SampleLayout& layout, ChannelIndex channel,
                 std::uint8_t* frames);

// Reads one channel of a sample store in a scale, through mapped views of at
// most kPieceBytes (the store rounds each view out to whole 8 MiB sections,
// so no view of the reader exceeds 64 MiB). The reader keeps its current
// piece mapped between reads; nothing is ever read into memory whole.
class SampleReader {
public:
    static constexpr std::int64_t kSectionBytes = 8 * 1024 * 1024;
    static constexpr std::int64_t kPieceBytes = 48 * 1024 * 1024;

    SampleReader(FileCls& store, const SoundFormat& format, std::int64_t lengthFrames, ChannelIndex channel,
                 SampleScale scale = SampleScale::Units16);
    // The document's samples up to its current length.
    SampleReader(CVesSoundDoc& doc, ChannelIndex channel, SampleScale scale = SampleScale::Units16);
    SampleReader(const SampleReader&) = delete;
    SampleReader& operator=(const SampleReader&) = delete;

    // Frames first .. first + count - 1 into out[0 .. count); frames before
    // the first and at and beyond the last read as 0. False when the store
    // could not be mapped (the samples concerned read as 0).
    bool read(std::int64_t first, std::int64_t count, double* out);
    bool read(std::int64_t first, std::int64_t count, float* out);
    bool read(std::int64_t first, std::int64_t count, std::int64_t* out);
    // As read into doubles, each value times window[0 .. count).
    bool readWindowed(std::int64_t first, std::int64_t count, const double* window, double* out);
    // The stored bytes of frames first .. first + count - 1 when they are
    // 16-bit mono samples read in their own units (each value is the stored
    // one) and lie inside the recording and one mapped piece; nullptr
    // otherwise. Valid until the next call on this reader.
    const std::uint8_t* mono16Bytes(std::int64_t first, std::int64_t count);
    // The same for 16-bit frames of any channel count (interleaved, the
    // frame's size apart).
    const std::uint8_t* frames16Bytes(std::int64_t first, std::int64_t count);
    // Asks the processor to fetch frames first .. first + count - 1 into its
    // caches when they lie in the current piece (a hint: it reads nothing).
    void prefetch(std::int64_t first, std::int64_t count) const;

    // Up to `count` frames from `first` (0 <= first) into out[0 ..): how many
    // were decoded, up to the end of the samples or the first piece that
    // could not be mapped.
    std::int64_t decode(std::int64_t first, std::int64_t count, double* out);
    // As decode, the absolute values.
    std::int64_t decodeMagnitudes(std::int64_t first, std::int64_t count, std::int64_t* out);

    std::int64_t lengthFrames() const { return m_length; }
    const SampleLayout& layout() const { return m_layout; }
    // How many pieces have been mapped so far.
    int piecesMapped() const { return m_pieces; }
    // Whether any read could not be mapped.
    bool failed() const { return m_failed; }

private:
    bool cover(std::int64_t byteFrom, std::int64_t byteTo);
    template <typename T, typename Block>
    std::int64_t decodeWith(std::int64_t first, std::int64_t count, T* out, Block block);
    template <typename T>
    bool readZeroFilled(std::int64_t first, std::int64_t count, T* out);

    FileCls& m_store;
    SampleLayout m_layout;
    ChannelIndex m_channel;
    SampleScale m_scale;
    std::int64_t m_length = 0;
    FileViewRef m_view;
    const std::uint8_t* m_base = nullptr;  // the byte at m_pieceFirst
    std::int64_t m_pieceFirst = 0;
    std::int64_t m_pieceEnd = 0;
    int m_pieces = 0;
    bool m_failed = false;
};
