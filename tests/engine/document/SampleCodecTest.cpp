// The sample codec: every width on both channels in the three scales, the
// round trip of the extremes, clipping on encode, and the reader of a store
// across its mapped pieces.
#include "document/SampleCodec.h"

#include "DocTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

namespace {

struct Width {
    int bits;
    // min, -1, 0, 1, the largest value the editor keeps, the largest stored value
    std::vector<std::int64_t> raw;
    std::vector<std::int64_t> units16Int;  // 16-bit units as integers (truncated toward zero)
    double units16Factor;                  // 16-bit units per raw step
    double fullScale;
};

const std::vector<Width>& widths()
{
    static const std::vector<Width> w = {
        {8, {-128, -1, 0, 1, 127, 127}, {-32768, -256, 0, 256, 32512, 32512}, 256.0, 128.0},
        {16, {-32768, -1, 0, 1, 32767, 32767}, {-32768, -1, 0, 1, 32767, 32767}, 1.0, 32768.0},
        {24, {-8388608, -1, 0, 1, 0x7FFF00, 0x7FFFFF}, {-32768, 0, 0, 0, 32767, 32767}, 1.0 / 256, 8388608.0},
        {32, {INT32_MIN, -1, 0, 1, INT32_MAX, INT32_MAX}, {-32768, 0, 0, 0, 32767, 32767}, 1.0 / 65536, 2147483648.0},
    };
    return w;
}

// Stereo frames written here byte by byte: the left channel holds the values
// in order, the right one in reverse order.
std::vector<std::uint8_t> stereoFrames(int bits, const std::vector<std::int64_t>& raw)
{
    const int bytes = bits / 8;
    std::vector<std::uint8_t> out;
    for (std::size_t i = 0; i < raw.size(); ++i)
        for (std::int64_t v : {raw[i], raw[raw.size() - 1 - i]}) {
            const auto stored = static_cast<std::uint64_t>(bits == 8 ? v + 128 : v);
            for (int b = 0; b < bytes; ++b)
                out.push_back(static_cast<std::uint8_t>(stored >> (8 * b)));
        }
    return out;
}

std::vector<std::int64_t> reversed(std::vector<std::int64_t> v)
{
    std::reverse(v.begin(), v.end());
    return v;
}

SampleLayout stereo(int bits)
{
    return SampleLayout::of(SoundFormat::pcm(2, bits, 48000));
}

class SampleCodecWidths : public testing::TestWithParam<Width> {};

}  // namespace

INSTANTIATE_TEST_SUITE_P(Bits, SampleCodecWidths, testing::ValuesIn(widths()),
                         [](const testing::TestParamInfo<Width>& p) { return std::to_string(p.param.bits) + "bit"; });

TEST_P(SampleCodecWidths, DecodesBothChannelsInEveryScale)
{
    const Width& w = GetParam();
    const std::vector<std::uint8_t> frames = stereoFrames(w.bits, w.raw);
    const SampleLayout layout = stereo(w.bits);
    const auto n = static_cast<std::int64_t>(w.raw.size());
    for (ChannelIndex ch : {ChannelIndex::Left, ChannelIndex::Right}) {
        SCOPED_TRACE(channelIndexValue(ch));
        const std::vector<std::int64_t> raw = ch == ChannelIndex::Left ? w.raw : reversed(w.raw);
        const std::vector<std::int64_t> units16 = ch == ChannelIndex::Left ? w.units16Int : reversed(w.units16Int);
        std::vector<std::int64_t> ints(raw.size());
        decodeBlock(frames.data(), n, layout, ch, SampleScale::Raw, ints.data());
        EXPECT_EQ(ints, raw);
        decodeBlock(frames.data(), n, layout, ch, SampleScale::Units16, ints.data());
        EXPECT_EQ(ints, units16);
        decodeMagnitudes(frames.data(), n, layout, ch, SampleScale::Raw, ints.data());
        for (std::size_t i = 0; i < raw.size(); ++i)
            EXPECT_EQ(ints[i], std::abs(raw[i])) << i;

        std::vector<double> d(raw.size());
        std::vector<float> f(raw.size());
        for (SampleScale scale : {SampleScale::Units16, SampleScale::Level, SampleScale::Raw}) {
            const double factor = scale == SampleScale::Units16 ? w.units16Factor
                                  : scale == SampleScale::Level ? 1.0 / w.fullScale
                                                                : 1.0;
            decodeBlock(frames.data(), n, layout, ch, scale, d.data());
            decodeBlock(frames.data(), n, layout, ch, scale, f.data());
            for (std::size_t i = 0; i < raw.size(); ++i) {
                EXPECT_EQ(d[i], static_cast<double>(raw[i]) * factor) << i;
                EXPECT_EQ(f[i], static_cast<float>(static_cast<double>(raw[i]) * factor)) << i;
            }
        }
    }
    // The most negative value is full scale: -32768 in 16-bit units, -1 as a level.
    double lowest = 0;
    decodeBlock(frames.data(), 1, layout, ChannelIndex::Left, SampleScale::Units16, &lowest);
    EXPECT_EQ(lowest, -32768.0);
    decodeBlock(frames.data(), 1, layout, ChannelIndex::Left, SampleScale::Level, &lowest);
    EXPECT_EQ(lowest, -1.0);
    EXPECT_EQ(sampleFullScale(w.bits), static_cast<std::int64_t>(w.fullScale));
}

TEST_P(SampleCodecWidths, EncodesOneChannelAndDecodesTheSameValuesBack)
{
    const Width& w = GetParam();
    const std::vector<std::int64_t> kept(w.raw.begin(), w.raw.end() - 1);  // values the editor keeps
    const std::vector<std::uint8_t> want = stereoFrames(w.bits, kept);
    const SampleLayout layout = stereo(w.bits);
    const auto n = static_cast<std::int64_t>(kept.size());
    for (SampleScale scale : {SampleScale::Units16, SampleScale::Level, SampleScale::Raw}) {
        std::vector<double> left(kept.size()), right(kept.size());
        decodeBlock(want.data(), n, layout, ChannelIndex::Left, scale, left.data());
        decodeBlock(want.data(), n, layout, ChannelIndex::Right, scale, right.data());
        std::vector<std::uint8_t> frames(want.size(), 0x5A);
        encodeBlock(left.data(), n, layout, ChannelIndex::Left, scale, frames.data());
        encodeBlock(right.data(), n, layout, ChannelIndex::Right, scale, frames.data());
        EXPECT_EQ(frames, want) << static_cast<int>(scale);
    }
    // Raw integers into the right channel leave the left one alone.
    std::vector<std::uint8_t> frames = stereoFrames(w.bits, kept);
    const std::vector<std::int64_t> zeros(kept.size(), 0);
    encodeBlock(zeros.data(), n, layout, ChannelIndex::Right, frames.data());
    std::vector<std::int64_t> left(kept.size()), right(kept.size());
    decodeBlock(frames.data(), n, layout, ChannelIndex::Left, SampleScale::Raw, left.data());
    decodeBlock(frames.data(), n, layout, ChannelIndex::Right, SampleScale::Raw, right.data());
    EXPECT_EQ(left, kept);
    EXPECT_EQ(right, zeros);
}

TEST(SampleCodec, EncodingClipsToTheEditorsRangeOfEachWidth)
{
    struct Case {
        int bits;
        SampleScale scale;
        double in;
        std::int64_t stored;  // raw value decoded back
    } cases[] = {
        {8, SampleScale::Raw, -129, -128},         {8, SampleScale::Raw, 128, 127},
        {8, SampleScale::Level, 1.0, 127},         {8, SampleScale::Units16, 40000.0, 127},
        {8, SampleScale::Units16, -384.0, -2},     // rounds to the nearest step (-1.5 away from zero)
        {16, SampleScale::Raw, -32769, -32768},    {16, SampleScale::Raw, 32768, 32767},
        {16, SampleScale::Units16, 32767.6, 32767}, {16, SampleScale::Level, -1.0, -32768},
        {24, SampleScale::Raw, 0x7FFF01, 0x7FFF00}, {24, SampleScale::Raw, 0x7FFFFF, 0x7FFF00},
        {24, SampleScale::Raw, -8388609, -8388608}, {24, SampleScale::Level, 1.0, 0x7FFF00},
        {32, SampleScale::Raw, 2147483648.0, INT32_MAX}, {32, SampleScale::Raw, -2147483649.0, INT32_MIN},
        {32, SampleScale::Level, 1.5, INT32_MAX},  {32, SampleScale::Units16, -32768.0, INT32_MIN},
        {16, SampleScale::Units16, std::nan(""), 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.bits) + " bit, " + std::to_string(c.in));
        const SampleLayout mono = SampleLayout::of(SoundFormat::pcm(1, c.bits, 48000));
        std::uint8_t bytes[4] = {};
        encodeBlock(&c.in, 1, mono, ChannelIndex::Left, c.scale, bytes);
        std::int64_t back = 0;
        decodeBlock(bytes, 1, mono, ChannelIndex::Left, SampleScale::Raw, &back);
        EXPECT_EQ(back, c.stored);
        if (c.scale == SampleScale::Raw && c.in == std::floor(c.in)) {
            const auto v = static_cast<std::int64_t>(c.in);
            encodeBlock(&v, 1, mono, ChannelIndex::Left, bytes);
            decodeBlock(bytes, 1, mono, ChannelIndex::Left, SampleScale::Raw, &back);
            EXPECT_EQ(back, c.stored) << "as an integer";
        }
    }
}

// ---------------------------------------------------------------------------
// Reading a store through mapped pieces

TEST(SampleReader, ReadsAcrossPiecesWithZerosOutsideTheRecording)
{
    vestest::RecordingHost host;
    CVesSoundDoc doc(host);
    // 96 MiB of stereo 16-bit frames: three pieces.
    const std::int64_t frames = 24 * 1024 * 1024;
    const std::vector<std::uint8_t> pcm = vestest::patternSamples(2, 16, frames, 11);
    vestest::fillDocument(doc, 2, 16, 384000, pcm);
    SampleReader reader(doc.samples(), doc.format(), doc.lengthFrames(), ChannelIndex::Right);
    const std::int64_t pieceFrames = SampleReader::kPieceBytes / 4;
    std::vector<double> got(64), want(64);
    // Stretches wholly before the first and after the last frame read as zeros
    // and write nothing outside their buffer.
    for (std::int64_t at : {std::int64_t{-100}, frames, frames + 1000, std::int64_t{-10}, pieceFrames - 20,
                            2 * pieceFrames - 33, frames - 40}) {
        std::vector<double> guarded(64 + 2 * 16, -7.0);
        ASSERT_TRUE(reader.read(at, 64, guarded.data() + 16));
        EXPECT_TRUE(std::all_of(guarded.begin(), guarded.begin() + 16, [](double v) { return v == -7.0; })) << at;
        EXPECT_TRUE(std::all_of(guarded.end() - 16, guarded.end(), [](double v) { return v == -7.0; })) << at;
        std::copy(guarded.begin() + 16, guarded.end() - 16, got.begin());
        for (std::int64_t i = 0; i < 64; ++i) {
            const std::int64_t f = at + i;
            const auto byte = static_cast<std::size_t>(f * 4 + 2);  // the right channel's sample
            want[static_cast<std::size_t>(i)] =
                f < 0 || f >= frames ? 0.0 : static_cast<std::int16_t>(pcm[byte] | (pcm[byte + 1] << 8));
        }
        EXPECT_EQ(got, want) << at;
    }
    EXPECT_GE(reader.piecesMapped(), 3);
    EXPECT_FALSE(reader.failed());
    // The document reads the same through its own reader, up to its end.
    std::vector<double> tail(64);
    EXPECT_EQ(doc.readFramesAsDouble(frames - 40, 64, ChannelIndex::Right, tail.data()), 40);
    EXPECT_TRUE(std::equal(tail.begin(), tail.begin() + 40, want.begin()));
    EXPECT_EQ(doc.readFramesAsDouble(frames, 64, ChannelIndex::Right, tail.data()), 0);
}

// Windowed reading gives exactly the products of the plain read and the
// window, and mono 16-bit (read through the vector kernels, which
// KernelsTest compares with the portable ones) the stored values, for every
// width and channel count, inside the recording and across its edges.
TEST(SampleReader, WindowedReadsEqualPlainReadsTimesTheWindow)
{
    const std::int64_t frames = 1000;
    constexpr int kN = 64;
    std::vector<double> window(kN);
    for (int i = 0; i < kN; ++i)
        window[static_cast<std::size_t>(i)] = 0.5 - 0.5 * std::cos(2 * M_PI * i / kN) + 1e-3 * i;
    for (int channels : {1, 2})
        for (int bits : {8, 16, 24, 32}) {
            SCOPED_TRACE(std::to_string(channels) + " x " + std::to_string(bits) + " bit");
            vestest::RecordingHost host;
            CVesSoundDoc doc(host);
            const std::vector<std::uint8_t> pcm = vestest::patternSamples(channels, bits, frames, 5);
            vestest::fillDocument(doc, channels, bits, 384000, pcm);
            const ChannelIndex ch = channels == 2 ? ChannelIndex::Right : ChannelIndex::Left;
            const SampleLayout layout = SampleLayout::of(doc.format());
            SampleReader reader(doc, ch);
            for (std::int64_t at : {std::int64_t{-20}, std::int64_t{0}, std::int64_t{333}, frames - 30, frames + 5}) {
                std::vector<double> plain(kN), windowed(kN), stored(kN);
                ASSERT_TRUE(reader.read(at, kN, plain.data()));
                ASSERT_TRUE(reader.readWindowed(at, kN, window.data(), windowed.data()));
                for (int i = 0; i < kN; ++i) {
                    const std::int64_t f = at + i;
                    const std::size_t byte = static_cast<std::size_t>(f * layout.blockAlign + layout.offsetOf(ch));
                    stored[static_cast<std::size_t>(i)] =
                        f < 0 || f >= frames ? 0.0
                                             : decodeSample(pcm.data() + byte, bits / 8, SampleScale::Units16);
                }
                EXPECT_EQ(plain, stored) << at;
                for (int i = 0; i < kN; ++i) {
                    const auto k = static_cast<std::size_t>(i);
                    EXPECT_EQ(windowed[k], plain[k] * window[k]) << at << " + " << i;
                }
                // Frames of 16-bit mono inside the recording can be had
                // as they are stored, no others.
                const std::uint8_t* raw = reader.mono16Bytes(at, kN);
                const bool asStored = channels == 1 && bits == 16 && at >= 0 && at + kN <= frames;
                ASSERT_EQ(raw != nullptr, asStored) << at;
                if (raw != nullptr) {
                    EXPECT_EQ(std::memcmp(raw, pcm.data() + 2 * at, 2 * kN), 0) << at;
                }
            }
            // In another scale the stored values are not the values read.
            SampleReader level(doc, ch, SampleScale::Level);
            EXPECT_EQ(level.mono16Bytes(0, kN), nullptr);
        }
}
