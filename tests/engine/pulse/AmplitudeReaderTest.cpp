// Amplitudes of every sample width, on both scales, from either channel.
#include "pulse/PulseAnalysis.h"
#include "pulse/PulseCommon.h"

#include "DocTestSupport.h"

#include <gtest/gtest.h>

using vestest::RecordingHost;

namespace {

struct Width {
    int bits;
    // Three samples: half scale negative, the most negative value, zero.
    std::vector<std::int64_t> values;
    std::vector<std::int64_t> native;
    std::vector<std::int64_t> units16;
    std::int64_t thresholdAt12dB;  // 10^-1.2 of the sample's full scale
};

// Little-endian bytes of stereo frames: left = value, right = value / 2.
std::vector<std::uint8_t> stereoBytes(int bits, const std::vector<std::int64_t>& values)
{
    const int bytes = bits / 8;
    std::vector<std::uint8_t> out;
    for (std::int64_t v : values)
        for (std::int64_t s : {v, v / 2}) {
            const std::uint64_t stored = bits == 8 ? static_cast<std::uint64_t>(s + 128) : static_cast<std::uint64_t>(s);
            for (int b = 0; b < bytes; ++b)
                out.push_back(static_cast<std::uint8_t>(stored >> (8 * b)));
        }
    return out;
}

class AmplitudeWidths : public testing::TestWithParam<Width> {};

}  // namespace

INSTANTIATE_TEST_SUITE_P(
    Bits, AmplitudeWidths,
    testing::Values(Width{8, {-64, -128, 0}, {64, 128, 0}, {16384, 32768, 0}, 8},
                    Width{16, {-16384, -32768, 0}, {16384, 32768, 0}, {16384, 32768, 0}, 2068},
                    Width{24, {-4194304, -8388608, 0}, {4194304, 8388608, 0}, {16384, 32768, 0}, 529285},
                    Width{32, {-1073741824, -2147483648LL, 0}, {1073741824, 2147483648LL, 0}, {16384, 32768, 0}, 135497058}),
    [](const testing::TestParamInfo<Width>& param) { return std::to_string(param.param.bits) + "bit"; });

TEST_P(AmplitudeWidths, AbsoluteValuesOnBothScalesAndBothChannels)
{
    const Width& w = GetParam();
    RecordingHost host;
    CVesSoundDoc doc(host);
    vestest::fillDocument(doc, 2, w.bits, 384000, stereoBytes(w.bits, w.values));
    std::vector<std::int64_t> out(3);
    AmplitudeReader native(doc, ChannelIndex::Left, AmplitudeScale::Native);
    ASSERT_EQ(native.read(0, 10, out.data()), 3);
    EXPECT_EQ(out, w.native);
    AmplitudeReader units(doc, ChannelIndex::Left, AmplitudeScale::Units16);
    ASSERT_EQ(units.read(0, 3, out.data()), 3);
    EXPECT_EQ(out, w.units16);
    AmplitudeReader right(doc, ChannelIndex::Right, AmplitudeScale::Native);
    ASSERT_EQ(right.read(1, 3, out.data()), 2);
    EXPECT_EQ(out[0], w.native[1] / 2);
    EXPECT_EQ(right.read(3, 3, out.data()), 0);

    PulseRequest req;
    req.parms.m_ampThres = -1200;
    EXPECT_EQ(makePulseScanSetup(doc, req).threshold, w.thresholdAt12dB);
}
