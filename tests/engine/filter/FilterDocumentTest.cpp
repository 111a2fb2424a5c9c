#include "document/CVesSoundDoc.h"
#include "filter/FilterDesign.h"
#include "filter/FilterDocument.h"

#include "DocTestSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <vector>

namespace {

constexpr std::uint32_t kRate = 384000;

// Stereo 16-bit: a 2 kHz hum and a 40 kHz call on both channels.
std::vector<std::uint8_t> humAndCall(std::int64_t frames)
{
    std::vector<std::uint8_t> b(static_cast<std::size_t>(frames) * 4);
    for (std::int64_t i = 0; i < frames; ++i) {
        const double t = static_cast<double>(i) / kRate;
        const auto v = static_cast<std::int16_t>(9000 * std::sin(2 * M_PI * 2000 * t) + 9000 * std::sin(2 * M_PI * 40000 * t));
        for (int c = 0; c < 2; ++c) {
            b[static_cast<std::size_t>(i * 4 + c * 2)] = static_cast<std::uint8_t>(v & 0xFF);
            b[static_cast<std::size_t>(i * 4 + c * 2 + 1)] = static_cast<std::uint8_t>((v >> 8) & 0xFF);
        }
    }
    return b;
}

// RMS of a tone of one channel over frames [from, to): its correlation with the tone.
double toneLevel(const std::vector<std::uint8_t>& b, int channel, double hz, std::int64_t from, std::int64_t to)
{
    double re = 0, im = 0;
    for (std::int64_t i = from; i < to; ++i) {
        const auto lo = b[static_cast<std::size_t>(i * 4 + channel * 2)];
        const auto hi = b[static_cast<std::size_t>(i * 4 + channel * 2 + 1)];
        const double v = static_cast<std::int16_t>(lo | (hi << 8));
        const double w = 2 * M_PI * hz * static_cast<double>(i) / kRate;
        re += v * std::cos(w);
        im += v * std::sin(w);
    }
    return 2 * std::hypot(re, im) / static_cast<double>(to - from);
}

SosCascade highPass10k()
{
    FilterRecord r;
    r.type = FilterType::Elliptic;
    r.band = FilterBand::HighPass;
    r.order = 8;
    r.highPassHz = 10000;
    r.rippleTenthDb = 5;
    r.stopbandDb = -60;
    FilterDesignResult d = designFilter(r, filterNyquistHz(kRate, 1000));
    EXPECT_TRUE(d.ok) << d.message;
    return d.sections;
}

}  // namespace

// A high-pass on the right channel removes the hum there, keeps the call,
// leaves the left channel alone; the store's pieces change nothing; undo
// gives back every byte.
TEST(FilterDocument, HighPassOnOneChannelWithUndo)
{
    const std::int64_t frames = 96000;
    const auto original = humAndCall(frames);
    std::vector<std::uint8_t> results[2];
    for (int run = 0; run < 2; ++run) {
        vestest::RecordingHost host;
        CVesSoundDoc doc(host);
        vestest::fillDocument(doc, 2, 16, kRate, original);
        if (run == 1)
            doc.setEditPieceBytes(4 * 1000 + 4);  // pieces of 1001 frames
        ASSERT_TRUE(filterDocument(doc, 1000, frames, ChannelSel::Right, highPass10k()));
        EXPECT_EQ(doc.undoName(), "Undo Filter");
        EXPECT_TRUE(doc.modified());
        results[run] = vestest::documentBytes(doc);
        ASSERT_TRUE(doc.undo());
        EXPECT_EQ(vestest::documentBytes(doc), original) << "undo restores the bytes";
    }
    EXPECT_EQ(results[0], results[1]) << "pieces of the store give the samples of one pass";
    const auto& f = results[0];
    EXPECT_LT(toneLevel(f, 1, 2000, 20000, frames), 9000 * 0.001) << "hum removed (-60 dB)";
    EXPECT_NEAR(toneLevel(f, 1, 40000, 20000, frames), 9000, 9000 * 0.06) << "call kept (0.5 dB ripple)";
    for (std::int64_t i = 0; i < frames; ++i) {
        ASSERT_EQ(f[static_cast<std::size_t>(i * 4)], original[static_cast<std::size_t>(i * 4)]) << "left channel, frame " << i;
        if (i < 1000) {
            ASSERT_EQ(f[static_cast<std::size_t>(i * 4 + 2)], original[static_cast<std::size_t>(i * 4 + 2)]) << "before the start, frame " << i;
        }
    }
}

TEST(FilterDocument, RefusesWidthsItCannotFilter)
{
    vestest::RecordingHost host;
    CVesSoundDoc doc(host);
    vestest::fillDocument(doc, 1, 12, kRate, std::vector<std::uint8_t>(400, 0));
    EXPECT_FALSE(filterDocument(doc, 0, 100, ChannelSel::Both, highPass10k()));
    EXPECT_EQ(host.lastMessage(), "Unknown data format, only 8, 16 and 32 bits data supported.");
    EXPECT_FALSE(doc.canUndo());
}

// An output that is not a number stops the run: the stretch comes back as it
// was, nothing is left to undo, and the host hears why.
TEST(FilterDocument, AnOutputThatIsNotANumberRestoresTheStretch)
{
    vestest::RecordingHost host;
    CVesSoundDoc doc(host);
    const auto original = humAndCall(20000);
    vestest::fillDocument(doc, 2, 16, kRate, original);
    doc.setEditPieceBytes(4 * 1024);
    // Stable, but a gain of 1e308 overflows to infinity on any loud sample.
    const SosCascade poisoned({Biquad{1e308, 0, 0, 0, 0}});
    EXPECT_FALSE(filterDocument(doc, 0, 20000, ChannelSel::Both, poisoned));
    EXPECT_EQ(vestest::documentBytes(doc), original);
    EXPECT_FALSE(doc.canUndo());
    EXPECT_NE(host.lastMessage().find("not a number"), std::string::npos) << host.lastMessage();
}
