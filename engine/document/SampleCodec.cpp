#include "document/SampleCodec.h"

#include "document/CVesSoundDoc.h"
#include "kernels/Kernels.h"

#include <bit>
#include <cmath>
#include <cstring>
#include <type_traits>

namespace {

// The hot loops of 16-bit mono sound run in the vector kernels.
void decodeMono16(const std::uint8_t* p, std::int64_t n, double* out)
{
    vectorKernels().decodeMono16(p, n, out);
}

void decodeMono16Windowed(const std::uint8_t* p, std::int64_t n, const double* window, double* out)
{
    vectorKernels().decodeMono16Windowed(p, n, window, out);
}

// One stored sample of a fixed width as its Raw value. On a little-endian
// host the 16- and 32-bit loads are plain moves, which lets the contiguous
// loops run on vectors.
template <int Bytes>
inline std::int32_t loadRaw(const std::uint8_t* p)
{
    if constexpr (Bytes == 1) {
        return static_cast<std::int32_t>(p[0]) - 128;
    } else if constexpr (Bytes == 3) {
        return readLeI24(p);
    } else if constexpr (std::endian::native == std::endian::little) {
        if constexpr (Bytes == 2) {
            std::int16_t v;
            std::memcpy(&v, p, 2);
            return v;
        } else {
            std::int32_t v;
            std::memcpy(&v, p, 4);
            return v;
        }
    } else {
        return Bytes == 2 ? readLeI16(p) : readLeI32(p);
    }
}

template <int Bytes, SampleScale Scale, typename Out, bool Absolute>
inline Out convertRaw(std::int32_t raw)
{
    if constexpr (std::is_floating_point_v<Out>) {
        constexpr Out factor = static_cast<Out>(sampleScaleFactor(Bytes, Scale));
        if constexpr (factor == Out(1))
            return static_cast<Out>(raw);
        else
            return static_cast<Out>(raw) * factor;
    } else {
        std::int64_t v = raw;
        if constexpr (Scale == SampleScale::Units16) {
            if constexpr (Bytes == 1)
                v *= 256;
            else if constexpr (Bytes == 3)
                v /= 256;
            else if constexpr (Bytes == 4)
                v /= 65536;
        }
        if constexpr (Absolute)
            v = v < 0 ? -v : v;
        return v;
    }
}

// One decoded value as it is stored: alone, or times its window entry (the
// windowed frames of the spectrogram, made in the same pass).
template <bool Windowed, typename Out>
inline Out weighted(Out v, const double* __restrict window, std::int64_t i)
{
    if constexpr (Windowed)
        return v * window[i];
    else
        return v;
}

template <int Bytes, SampleScale Scale, typename Out, bool Absolute, bool Windowed>
void decodeRun(const std::uint8_t* p, std::int64_t stride, std::int64_t n, const double* __restrict window,
               Out* __restrict out)
{
    if constexpr (Bytes == 2 && std::is_same_v<Out, double> && !Absolute && sampleScaleFactor(2, Scale) == 1.0 &&
                  std::endian::native == std::endian::little) {
        if (stride == 2) {  // the common recording: 16-bit mono as it is
            if constexpr (Windowed)
                decodeMono16Windowed(p, n, window, out);
            else
                decodeMono16(p, n, out);
            return;
        }
    }
    if (stride == Bytes) {  // mono: one contiguous run the compiler vectorises
        for (std::int64_t i = 0; i < n; ++i)
            out[i] = weighted<Windowed>(convertRaw<Bytes, Scale, Out, Absolute>(loadRaw<Bytes>(p + Bytes * i)),
                                        window, i);
        return;
    }
    for (std::int64_t i = 0; i < n; ++i, p += stride)
        out[i] = weighted<Windowed>(convertRaw<Bytes, Scale, Out, Absolute>(loadRaw<Bytes>(p)), window, i);
}

template <int Bytes, typename Out, bool Absolute, bool Windowed>
void decodeWidth(const std::uint8_t* p, std::int64_t stride, std::int64_t n, SampleScale scale,
                 const double* window, Out* out)
{
    switch (scale) {
    case SampleScale::Units16:
        decodeRun<Bytes, SampleScale::Units16, Out, Absolute, Windowed>(p, stride, n, window, out);
        break;
    case SampleScale::Level:
        decodeRun<Bytes, SampleScale::Level, Out, Absolute, Windowed>(p, stride, n, window, out);
        break;
    case SampleScale::Raw:
        decodeRun<Bytes, SampleScale::Raw, Out, Absolute, Windowed>(p, stride, n, window, out);
        break;
    }
}

template <typename Out, bool Absolute = false, bool Windowed = false>
void decodeAny(const std::uint8_t* frames, std::int64_t count, const SampleLayout& layout, ChannelIndex channel,
               SampleScale scale, Out* out, const double* window = nullptr)
{
    if (count <= 0 || !layout.valid())
        return;
    const std::uint8_t* p = frames + layout.offsetOf(channel);
    const std::int64_t stride = layout.blockAlign;
    switch (layout.bytesPerSample) {
    case 1: decodeWidth<1, Out, Absolute, Windowed>(p, stride, count, scale, window, out); break;
    case 2: decodeWidth<2, Out, Absolute, Windowed>(p, stride, count, scale, window, out); break;
    case 3: decodeWidth<3, Out, Absolute, Windowed>(p, stride, count, scale, window, out); break;
    default: decodeWidth<4, Out, Absolute, Windowed>(p, stride, count, scale, window, out); break;
    }
}

// A value in a scale as the nearest Raw value, held within 2^40 so that
// clipping sees it (and NaN as 0).
std::int64_t rawOf(double value, int bytes, SampleScale scale)
{
    const double raw = value / sampleScaleFactor(bytes, scale);
    if (!(raw == raw))
        return 0;
    return std::llround(std::clamp(raw, -0x1p40, 0x1p40));
}

// in[0 .. count) through toRaw into one channel's samples, clipped.
template <typename In, typename ToRaw>
void encodeAny(const In* in, std::int64_t count, const SampleLayout& layout, ChannelIndex channel,
               std::uint8_t* frames, ToRaw toRaw)
{
    if (count <= 0 || !layout.valid())
        return;
    std::uint8_t* p = frames + layout.offsetOf(channel);
    for (std::int64_t i = 0; i < count; ++i, p += layout.blockAlign)
        encodeRawSample(p, layout.bytesPerSample, toRaw(in[i]));
}

}  // namespace

void decodeBlock(const std::uint8_t* frames, std::int64_t count, const SampleLayout& layout, ChannelIndex channel,
                 SampleScale scale, double* out)
{
    decodeAny(frames, count, layout, channel, scale, out);
}

void decodeBlock(const std::uint8_t* frames, std::int64_t count, const SampleLayout& layout, ChannelIndex channel,
                 SampleScale scale, float* out)
{
    decodeAny(frames, count, layout, channel, scale, out);
}

void decodeBlock(const std::uint8_t* frames, std::int64_t count, const SampleLayout& layout, ChannelIndex channel,
                 SampleScale scale, std::int64_t* out)
{
    decodeAny(frames, count, layout, channel, scale, out);
}

void decodeMagnitudes(const std::uint8_t* frames, std::int64_t count, const SampleLayout& layout,
                      ChannelIndex channel, SampleScale scale, std::int64_t* out)
{
    decodeAny<std::int64_t, true>(frames, count, layout, channel, scale, out);
}

void decodeBlockWindowed(const std::uint8_t* frames, std::int64_t count, const SampleLayout& layout,
                         ChannelIndex channel, SampleScale scale, const double* window, double* out)
{
    decodeAny<double, false, true>(frames, count, layout, channel, scale, out, window);
}

void encodeBlock(const double* in, std::int64_t count, const SampleLayout& layout, ChannelIndex channel,
                 SampleScale scale, std::uint8_t* frames)
{
    const int bytes = layout.bytesPerSample;
    encodeAny(in, count, layout, channel, frames, [bytes, scale](double v) { return rawOf(v, bytes, scale); });
}

void encodeBlock(const std::int64_t* in, std::int64_t count, const SampleLayout& layout, ChannelIndex channel,
                 std::uint8_t* frames)
{
    encodeAny(in, count, layout, channel, frames, [](std::int64_t v) { return v; });
}

// ---------------------------------------------------------------------------

SampleReader::SampleReader(FileCls& store, const SoundFormat& format, std::int64_t lengthFrames,
                           ChannelIndex channel, SampleScale scale)
    : m_store(store), m_layout(SampleLayout::of(format)), m_channel(channel), m_scale(scale)
{
    if (m_layout.valid())
        m_length = std::clamp<std::int64_t>(lengthFrames, 0, store.length() / m_layout.blockAlign);
}

SampleReader::SampleReader(CVesSoundDoc& doc, ChannelIndex channel, SampleScale scale)
    : SampleReader(doc.samples(), doc.format(), doc.lengthFrames(), channel, scale)
{
}

bool SampleReader::cover(std::int64_t byteFrom, std::int64_t byteTo)
{
    if (m_base != nullptr && byteFrom >= m_pieceFirst && byteTo <= m_pieceEnd)
        return true;
    m_view.reset();
    m_base = nullptr;
    const std::int64_t storeEnd = m_length * m_layout.blockAlign;
    const std::int64_t first = byteFrom / kSectionBytes * kSectionBytes;
    const std::int64_t end = std::min(storeEnd, std::max(first + kPieceBytes, byteTo));
    m_view = m_store.readView(first, end);
    if (!m_view || m_view.available() < end - first)
        return false;
    m_base = reinterpret_cast<const std::uint8_t*>(m_view.data());
    m_pieceFirst = first;
    m_pieceEnd = end;
    ++m_pieces;
    return byteTo <= end;
}

// Calls block(bytes, frames, out) for the frames [first, first + count) in
// steps of at most a section, so that every step lies within one piece;
// returns the frames decoded before the first step that could not be mapped.
template <typename T, typename Block>
std::int64_t SampleReader::decodeWith(std::int64_t first, std::int64_t count, T* out, Block block)
{
    if (first < 0 || count <= 0 || first >= m_length)
        return 0;
    const std::int64_t end = first + std::min(count, m_length - first);
    const std::int64_t align = m_layout.blockAlign;
    const std::int64_t tail = m_layout.offsetOf(m_channel) + m_layout.bytesPerSample;
    const std::int64_t perStep = std::max<std::int64_t>(1, kSectionBytes / align);
    for (std::int64_t at = first; at < end;) {
        const std::int64_t n = std::min(perStep, end - at);
        if (!cover(at * align, (at + n - 1) * align + tail)) {
            m_failed = true;
            return at - first;
        }
        block(m_base + (at * align - m_pieceFirst), n, out + (at - first));
        at += n;
    }
    return end - first;
}

template <typename T>
bool SampleReader::readZeroFilled(std::int64_t first, std::int64_t count, T* out)
{
    if (count <= 0)
        return true;
    // The common request: inside the recording and inside the current piece.
    const std::int64_t align = m_layout.blockAlign;
    if (m_base != nullptr && first >= 0 && first + count <= m_length && first * align >= m_pieceFirst &&
        (first + count) * align <= m_pieceEnd) {
        decodeBlock(m_base + (first * align - m_pieceFirst), count, m_layout, m_channel, m_scale, out);
        return true;
    }
    // A request may lie wholly before the first or after the last sample.
    if (first >= m_length || first + count <= 0) {
        std::fill(out, out + count, T(0));
        return true;
    }
    const std::int64_t lo = std::clamp<std::int64_t>(first, 0, m_length);
    const std::int64_t hi = std::clamp<std::int64_t>(first + count, lo, m_length);
    std::fill(out, out + (lo - first), T(0));
    std::fill(out + (hi - first), out + count, T(0));
    bool ok = true;
    // A piece that cannot be mapped reads as 0; the pieces after it are tried.
    for (std::int64_t at = lo; at < hi;) {
        T* dst = out + (at - first);
        const std::int64_t got = decodeWith(at, hi - at, dst, [this](const std::uint8_t* p, std::int64_t n, T* o) {
            decodeBlock(p, n, m_layout, m_channel, m_scale, o);
        });
        at += got;
        if (at < hi) {
            ok = false;
            const std::int64_t skip = std::min(hi - at, std::max<std::int64_t>(1, kSectionBytes / m_layout.blockAlign));
            std::fill(out + (at - first), out + (at - first) + skip, T(0));
            at += skip;
        }
    }
    return ok;
}

bool SampleReader::read(std::int64_t first, std::int64_t count, double* out)
{
    return readZeroFilled(first, count, out);
}

bool SampleReader::readWindowed(std::int64_t first, std::int64_t count, const double* window, double* out)
{
    const std::int64_t align = m_layout.blockAlign;
    if (m_base != nullptr && first >= 0 && count > 0 && first + count <= m_length && first * align >= m_pieceFirst &&
        (first + count) * align <= m_pieceEnd) {
        decodeBlockWindowed(m_base + (first * align - m_pieceFirst), count, m_layout, m_channel, m_scale, window, out);
        return true;
    }
    const bool ok = readZeroFilled(first, count, out);
    for (std::int64_t i = 0; i < count; ++i)
        out[i] *= window[i];
    return ok;
}

const std::uint8_t* SampleReader::mono16Bytes(std::int64_t first, std::int64_t count)
{
    if (m_layout.bytesPerSample != 2 || m_layout.blockAlign != 2 || m_scale != SampleScale::Units16 || first < 0 ||
        count <= 0 || first > m_length - count || !cover(2 * first, 2 * (first + count)))
        return nullptr;
    return m_base + (2 * first - m_pieceFirst);
}

const std::uint8_t* SampleReader::frames16Bytes(std::int64_t first, std::int64_t count)
{
    const std::int64_t frame = m_layout.blockAlign;
    if (m_layout.bytesPerSample != 2 || frame < 2 || frame % 2 != 0 || m_scale != SampleScale::Units16 ||
        first < 0 || count <= 0 || first > m_length - count || !cover(frame * first, frame * (first + count)))
        return nullptr;
    return m_base + (frame * first - m_pieceFirst);
}

void SampleReader::prefetch(std::int64_t first, std::int64_t count) const
{
#if defined(__GNUC__)
    const std::int64_t align = m_layout.blockAlign;
    const std::int64_t from = std::max<std::int64_t>(first, 0) * align;
    const std::int64_t to = std::min(first + count, m_length) * align;
    if (m_base == nullptr || from >= to || from < m_pieceFirst || to > m_pieceEnd)
        return;
    constexpr std::int64_t kCacheLine = 64;
    for (std::int64_t b = from; b < to; b += kCacheLine)
        __builtin_prefetch(m_base + (b - m_pieceFirst));
    __builtin_prefetch(m_base + (to - 1 - m_pieceFirst));
#else
    (void)first;
    (void)count;
#endif
}

bool SampleReader::read(std::int64_t first, std::int64_t count, float* out)
{
    return readZeroFilled(first, count, out);
}

bool SampleReader::read(std::int64_t first, std::int64_t count, std::int64_t* out)
{
    return readZeroFilled(first, count, out);
}

std::int64_t SampleReader::decode(std::int64_t first, std::int64_t count, double* out)
{
    return decodeWith(first, count, out, [this](const std::uint8_t* p, std::int64_t n, double* o) {
        decodeBlock(p, n, m_layout, m_channel, m_scale, o);
    });
}

std::int64_t SampleReader::decodeMagnitudes(std::int64_t first, std::int64_t count, std::int64_t* out)
{
    return decodeWith(first, count, out, [this](const std::uint8_t* p, std::int64_t n, std::int64_t* o) {
        ::decodeMagnitudes(p, n, m_layout, m_channel, m_scale, o);
    });
}
