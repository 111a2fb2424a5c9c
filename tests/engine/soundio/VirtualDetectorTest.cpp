// The virtual bat detector against a reference computed here from its
// definition: each sample times sin(2π · tuning · t), the user's filter as
// its difference equation y(n) = Σ b[i]·v(n−i) − Σ a[i]·y(n−i) from rest,
// every k-th frame kept, trunc(y) · ⌊3N/2⌋ clipped to the width. And the
// detector played end to end through ALSA's file plugin.
#include "AlsaTestConfig.h"
#include "TestSupport.h"

#include "core/FileCls.h"
#include "core/TimeConv.h"
#include "document/SampleCodec.h"
#include "filter/FilterDesign.h"
#include "soundio/AudioBackend.h"
#include "soundio/SoundDevices.h"
#include "soundio/SoundPlayer.h"
#include "soundio/VirtualDetector.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <numbers>
#include <thread>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr std::uint32_t kRate = 384000;
constexpr int kSpeed = 10;

// A recording of tones: channel c holds amplitude[c] · sin(2π · hz[c] · t).
struct ToneStore {
    ToneStore(int channels, int bits, std::int64_t frames, std::vector<double> hz, std::vector<double> amplitude,
              std::uint32_t rate = kRate)
        : format(SoundFormat::pcm(channels, bits, rate)), raw(static_cast<std::size_t>(channels))
    {
        EXPECT_TRUE(store.createTemp("VpTest"));
        const int bytes = bits / 8;
        Bytes data(static_cast<std::size_t>(frames * format.blockAlign));
        for (std::int64_t n = 0; n < frames; ++n)
            for (int c = 0; c < channels; ++c) {
                const auto cc = static_cast<std::size_t>(c);
                const auto v = static_cast<std::int64_t>(
                    std::lround(amplitude[cc] * std::sin(2 * std::numbers::pi * hz[cc] * static_cast<double>(n) / rate)));
                std::uint8_t* p = data.data() + n * format.blockAlign + c * bytes;
                encodeRawSample(p, bytes, v);
                raw[cc].push_back(decodeRawSample(p, bytes));
            }
        store.write(data.data(), static_cast<std::int64_t>(data.size()), 0);
    }
    FileCls store;
    SoundFormat format;
    std::vector<std::vector<std::int32_t>> raw;  // per channel, as stored
};

// A Butterworth low-pass of order 4 at 8 kHz, designed as the filter dialog does.
struct LowPass {
    LowPass(std::uint32_t rate = kRate)
    {
        record.type = FilterType::Butterworth;
        record.band = FilterBand::LowPass;
        record.lowPassHz = 8000;
        record.order = 4;
        FilterDesignResult r = designFilter(record, filterNyquistHz(rate, 1000));
        EXPECT_TRUE(r.ok) << r.message;
        sections = r.sections;
    }
    FilterRecord record;
    SosCascade sections;
};

DetectorSetup setupOf(const ToneStore& s, const LowPass& f, ChannelIndex channel = ChannelIndex::Left)
{
    DetectorSetup d;
    d.format = s.format;
    d.channel = channel;
    d.speedFactor = kSpeed;
    d.timeExp25 = 1000;
    d.filter = f.sections;
    d.filterOrder = f.record.order;
    return d;
}

// The kept outputs from the definition, for samples x from the first played
// frame on; tuning[j] holds from frame j · blockFrames on (the last one to the end).
std::vector<std::int64_t> reference(const std::vector<std::int32_t>& x, const FilterRecord& f, int bits,
                                    const std::vector<double>& tuning, std::int64_t blockFrames)
{
    const int N = f.order;
    const std::int64_t G = 3 * N / 2;
    std::vector<double> v(x.size()), y(x.size());
    long double cycles = 0;
    std::vector<std::int64_t> out;
    for (std::size_t n = 0; n < x.size(); ++n) {
        const std::size_t block = std::min(tuning.size() - 1, static_cast<std::size_t>(static_cast<std::int64_t>(n) / blockFrames));
        v[n] = x[n] * std::sin(2 * std::numbers::pi * static_cast<double>(cycles - std::floor(cycles)));
        cycles += static_cast<long double>(tuning[block]) / kRate;
        double acc = 0;
        for (int i = 0; i <= N; ++i)
            if (n >= static_cast<std::size_t>(i))
                acc += f.B[static_cast<std::size_t>(i)] * v[n - static_cast<std::size_t>(i)];
        for (int i = 1; i <= N; ++i)
            if (n >= static_cast<std::size_t>(i))
                acc -= f.A[static_cast<std::size_t>(i)] * y[n - static_cast<std::size_t>(i)];
        y[n] = acc;
        if (n % kSpeed == 0) {
            const std::int64_t full = sampleFullScale(bits);
            const std::int64_t hi = bits == 24 ? 0x7FFF00 : full - 1;
            out.push_back(std::clamp<std::int64_t>(static_cast<std::int64_t>(std::trunc(acc)) * G, -full, hi));
        }
    }
    return out;
}

std::vector<std::int64_t> slot(const Bytes& frames, const SoundFormat& format, int channel)
{
    std::vector<std::int64_t> v;
    const int bytes = format.bitsPerSample / 8;
    for (std::size_t i = 0; i + format.blockAlign <= frames.size(); i += format.blockAlign)
        v.push_back(decodeRawSample(frames.data() + i + channel * bytes, bytes));
    return v;
}

// Frames a source hands out to its end, in pieces of `piece`.
Bytes drain(DetectorSource& source, const SoundFormat& format, std::int64_t piece = 1000)
{
    Bytes all, buf(static_cast<std::size_t>(piece * format.blockAlign));
    std::int64_t n;
    while ((n = source.fill(buf.data(), piece)) > 0)
        all.insert(all.end(), buf.begin(), buf.begin() + n * format.blockAlign);
    EXPECT_EQ(n, 0);
    return all;
}

// Differences of the truncation at the same boundary aside (one step of G,
// and the rounding of two forms of one filter on 32-bit values), the
// detector is the definition.
void expectNear(const std::vector<std::int64_t>& got, const std::vector<std::int64_t>& want, std::int64_t G)
{
    ASSERT_EQ(got.size(), want.size());
    int off = 0;
    for (std::size_t i = 0; i < got.size(); ++i) {
        const double tolerance = static_cast<double>(G) + 1e-7 * static_cast<double>(std::llabs(want[i]));
        ASSERT_LE(static_cast<double>(std::llabs(got[i] - want[i])), tolerance) << "output frame " << i << " of " << got.size();
        off += got[i] != want[i] && std::llabs(want[i]) < (1 << 24);
    }
    EXPECT_LT(off, static_cast<int>(got.size() / 50 + 1));
}

// The strongest frequency in 50 Hz steps up to `maxHz`.
double peakHz(const std::vector<std::int64_t>& s, double rate, double maxHz)
{
    double best = 0, bestHz = 0;
    for (double f = 200; f <= maxHz; f += 50) {
        double re = 0, im = 0;
        for (std::size_t n = 0; n < s.size(); ++n) {
            const double w = 2 * std::numbers::pi * f * static_cast<double>(n) / rate;
            re += static_cast<double>(s[n]) * std::cos(w);
            im += static_cast<double>(s[n]) * std::sin(w);
        }
        if (re * re + im * im > best) {
            best = re * re + im * im;
            bestHz = f;
        }
    }
    return bestHz;
}

TEST(VirtualDetectorRules, SpeedFactorRateAndGain)
{
    // Time expansion in thousandths → proposed speed factor.
    for (auto [te, k] : {std::pair{10000, 10}, {1000, 10}, {5000, 5}, {1500, 10}, {0, 10}})
        EXPECT_EQ(detector::proposedSpeedFactor(te), k) << te;
    EXPECT_EQ(detector::playbackRateHz(300000, 10, true), 30000u);
    EXPECT_EQ(detector::playbackRateHz(384000, 10, true), 38400u);
    EXPECT_EQ(detector::playbackRateHz(300000, 10, false), 300000u);
    EXPECT_EQ(detector::playbackRateHz(0, 10, true), 0u);
    for (auto [order, gain] : {std::pair{4, 6}, {1, 1}, {2, 3}, {5, 7}})
        EXPECT_EQ(detector::outputGain(order), gain) << order;
}

// A 45 kHz call is heard at |45 kHz − tuning|.
TEST(VirtualDetector, HeterodyneProductOfA45kHzToneLiesAtTheDifference)
{
    ToneStore tone(1, 16, 38400, {45000}, {8000});
    LowPass lp;
    for (auto [tuning, heard] : {std::pair{40000.0, 5000.0}, {42000.0, 3000.0}, {48000.0, 3000.0}, {44000.0, 1000.0}}) {
        VirtualDetector det(setupOf(tone, lp));
        det.reset();
        det.setTuningHz(static_cast<std::int64_t>(tuning));
        Bytes out(3840 * 2);
        Bytes in(tone.raw[0].size() * 2);
        tone.store.read(in.data(), static_cast<std::int64_t>(in.size()), 0);
        ASSERT_EQ(det.process(in.data(), 38400, out.data()), 3840);
        const std::vector<std::int64_t> got = slot(out, tone.format, 0);
        expectNear(got, reference(tone.raw[0], lp.record, 16, {tuning}, 38400), 6);
        EXPECT_NEAR(peakHz(got, kRate / kSpeed, 15000), heard, 50) << "tuned at " << tuning;
    }
}

// Every width, loud enough that the gain drives it beyond full scale: the
// outputs clip (32-bit ones too) and never wrap.
TEST(VirtualDetector, EveryWidthClipsAsTheDefinitionSays)
{
    LowPass lp;
    for (auto [bits, amplitude] : {std::pair{8, 100.0}, {16, 30000.0}, {24, 8.0e6}, {32, 2.0e9}}) {
        ToneStore tone(1, bits, 24000, {45000}, {amplitude});
        VirtualDetector det(setupOf(tone, lp));
        det.reset();
        det.setTuningHz(40000);
        const int bytes = bits / 8;
        Bytes in(tone.raw[0].size() * static_cast<std::size_t>(bytes)), out(2400 * static_cast<std::size_t>(bytes));
        tone.store.read(in.data(), static_cast<std::int64_t>(in.size()), 0);
        det.process(in.data(), 24000, out.data());
        const std::vector<std::int64_t> got = slot(out, tone.format, 0);
        const std::vector<std::int64_t> want = reference(tone.raw[0], lp.record, bits, {40000}, 24000);
        SCOPED_TRACE(bits);
        expectNear(got, want, 6);
        const std::int64_t full = sampleFullScale(bits);
        EXPECT_EQ(*std::max_element(got.begin(), got.end()), bits == 24 ? 0x7FFF00 : full - 1);
        EXPECT_EQ(*std::min_element(got.begin(), got.end()), -full);
    }
}

// Of a stereo recording the chosen channel is heard, in both output slots.
TEST(VirtualDetector, StereoPlaysTheChosenChannelInBothSlots)
{
    ToneStore tone(2, 16, 38400, {45000, 30000}, {8000, 5000});
    LowPass lp;
    for (ChannelIndex ch : {ChannelIndex::Left, ChannelIndex::Right}) {
        DetectorSource source(tone.store, setupOf(tone, lp, ch), kRate / kSpeed, 0, -1, 40000);
        const Bytes out = drain(source, tone.format);
        const std::size_t c = ch == ChannelIndex::Right ? 1 : 0;
        std::vector<std::int32_t> x = tone.raw[c];
        x.resize(static_cast<std::size_t>(source.wholeBlocks() * source.blockFrames()));
        const std::vector<std::int64_t> left = slot(out, tone.format, 0);
        expectNear(left, reference(x, lp.record, 16, {40000}, source.blockFrames()), 6);
        EXPECT_EQ(slot(out, tone.format, 1), left);
    }
}

// A new tuning is taken from the next block on, with the oscillator's phase
// running on; the last partial block of the range is not played.
TEST(VirtualDetector, RetuningAppliesFromTheNextBlockAndThePartialLastBlockIsDropped)
{
    ToneStore tone(1, 16, 60000, {45000}, {8000});
    LowPass lp;
    const std::int64_t first = 3000;
    DetectorSource source(tone.store, setupOf(tone, lp), kRate / kSpeed, first, 60000, 40000);
    const std::int64_t block = source.blockFrames();
    ASSERT_EQ(block, 1184 * kSpeed);  // 38400 / 16 bytes, to 64 bytes: 2368 bytes of 16-bit frames
    ASSERT_EQ(source.wholeBlocks(), 4);  // 57000 frames: 4 blocks and a part

    const SoundFormat& f = tone.format;
    Bytes out(static_cast<std::size_t>(source.blockOutputFrames() * f.blockAlign));
    ASSERT_EQ(source.fill(out.data(), source.blockOutputFrames()), source.blockOutputFrames());
    source.setTuningHz(48000);  // while the first block plays
    Bytes rest = drain(source, f);
    out.insert(out.end(), rest.begin(), rest.end());
    EXPECT_EQ(static_cast<std::int64_t>(out.size()), 4 * source.blockOutputFrames() * f.blockAlign);
    EXPECT_EQ(source.sourceFrame(4 * source.blockOutputFrames()), first + 4 * block);

    std::vector<std::int32_t> x(tone.raw[0].begin() + first, tone.raw[0].begin() + first + 4 * block);
    const std::vector<std::int64_t> got = slot(out, f, 0);
    expectNear(got, reference(x, lp.record, 16, {40000, 48000}, block), 6);
    const auto half = got.begin() + source.blockOutputFrames();
    EXPECT_NEAR(peakHz({got.begin(), half}, kRate / kSpeed, 15000), 5000, 100);
    EXPECT_NEAR(peakHz({half, got.end()}, kRate / kSpeed, 15000), 3000, 100);
}

// After ten hours of listening the oscillator is where its frequency puts it.
TEST(VirtualDetector, OscillatorPhaseIsExactAfterHours)
{
    struct Case {
        std::uint32_t rate;
        std::int32_t timeExp25;
        std::int64_t tuningHz;  // real
    };
    for (const Case& c : {Case{384000, 1000, 40001}, Case{44100, 10000, 45017}, Case{500000, 1000, 123457}}) {
        HeterodyneOscillator osc(c.rate, c.timeExp25);
        osc.setTuningHz(c.tuningHz);
        const std::int64_t frames = std::int64_t{10} * 3600 * c.rate + 12345;
        for (int i = 0; i < 1000; ++i)
            osc.advance(frames / 1000);
        osc.advance(frames % 1000);
        // cycles = tuning · 1000 / timeExp · frames / rate, taken modulo 1 in integers.
        const std::int64_t denom = static_cast<std::int64_t>(c.timeExp25) * c.rate;
        const std::int64_t units = static_cast<std::int64_t>(
            static_cast<vkit::Int128>(c.tuningHz * 1000) * frames % denom);
        EXPECT_NEAR(osc.value(), std::sin(2 * std::numbers::pi * static_cast<double>(units) / static_cast<double>(denom)), 1e-12)
            << c.rate;
    }
}

bool waitFinished(SoundPlayer& player, int seconds = 60)
{
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    while (!player.finished()) {
        if (std::chrono::steady_clock::now() > until)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

// 384 kHz with speed factor 10 plays at 38 400 Hz and lasts as long as the
// recording (to the last whole block); the device gets the detector's frames.
TEST(VirtualDetectorPlayback, PlaysThroughAlsaAtTheLowerRateForTheRecordingsDuration)
{
    vestest::AlsaFileConfig::get();
    auto backend = makeAudioBackend(AudioBackendKind::Alsa);
    ASSERT_TRUE(backend);
    ToneStore tone(2, 16, 2 * kRate, {45000, 20000}, {8000, 8000});
    LowPass lp;
    const std::uint32_t w = detector::playbackRateHz(kRate, kSpeed, true);
    auto source = std::make_shared<DetectorSource>(tone.store, setupOf(tone, lp), w, 1000, -1, 40000);
    DetectorSource expected(tone.store, setupOf(tone, lp), w, 1000, -1, 40000);
    const Bytes want = drain(expected, tone.format);

    PlayRequest req;
    req.format = tone.format;
    req.rateHz = w;
    req.bufferMs = 250;
    req.source = source;
    SoundPlayer player(*backend);
    ASSERT_EQ(player.start(req), 0);
    EXPECT_EQ(player.openedRateHz(), 38400u);
    ASSERT_TRUE(waitFinished(player));
    EXPECT_EQ(player.failure(), 0);
    EXPECT_FALSE(soundBusy());
    const Bytes played = vestest::AlsaFileConfig::get().played();
    EXPECT_TRUE(played == want) << played.size() << " bytes played, " << want.size() << " expected";
    const double heardSeconds = static_cast<double>(played.size() / tone.format.blockAlign) / w;
    const double recordedSeconds = (2.0 * kRate - 1000) / kRate;
    EXPECT_NEAR(heardSeconds, recordedSeconds, static_cast<double>(source->blockFrames()) / kRate);
    EXPECT_EQ(player.position(), 1000 + source->wholeBlocks() * source->blockFrames());
}

}  // namespace
