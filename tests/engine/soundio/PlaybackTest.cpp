// Playback end to end through real ALSA: the test configuration's `file`
// plugin writes what is played into a raw file, which must hold exactly the
// frames asked for.
#include "AlsaTestConfig.h"
#include "TestSupport.h"

#include "core/FileCls.h"
#include "soundio/AudioBackend.h"
#include "soundio/SoundDevices.h"
#include "soundio/SoundPlayer.h"
#include "soundio/VesPlaySpeedData.h"
#include "soundio/WaveError.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <thread>

namespace {

using Bytes = std::vector<std::uint8_t>;

using vestest::AlsaFileConfig;

// A store of `frames` 16-bit stereo frames, each sample distinct.
struct StoreFixture {
    explicit StoreFixture(std::int64_t frames, std::uint32_t rate = 384000)
        : format(SoundFormat::pcm(2, 16, rate))
    {
        EXPECT_TRUE(store.createTemp("VpTest"));
        bytes.resize(static_cast<std::size_t>(frames * 4));
        for (std::size_t i = 0; i < bytes.size() / 2; ++i) {
            const auto v = static_cast<std::uint16_t>(i * 7919u);
            bytes[2 * i] = static_cast<std::uint8_t>(v);
            bytes[2 * i + 1] = static_cast<std::uint8_t>(v >> 8);
        }
        store.write(bytes.data(), static_cast<std::int64_t>(bytes.size()), 0);
    }
    Bytes frames(std::int64_t first, std::int64_t end) const
    {
        return Bytes(bytes.begin() + first * 4, bytes.begin() + end * 4);
    }
    FileCls store;
    SoundFormat format;
    Bytes bytes;
};

bool waitFinished(SoundPlayer& player, int seconds = 30)
{
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    while (!player.finished()) {
        if (std::chrono::steady_clock::now() > until)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

class PlaybackTest : public ::testing::TestWithParam<AudioBackendKind> {
protected:
    void SetUp() override
    {
        AlsaFileConfig::get();
        m_backend = makeAudioBackend(GetParam());
        if (!m_backend)
            GTEST_SKIP() << "back end not built in";
        // PortAudio refuses rates above 384 kHz in its front end; both play a selection
        // slowed down to a rate every back end takes.
    }
    PlayRequest request(StoreFixture& f, std::int64_t first, std::int64_t end, std::uint32_t rate)
    {
        PlayRequest r;
        r.store = &f.store;
        r.format = f.format;
        r.startFrame = first;
        r.endFrame = end;
        r.rateHz = rate;
        r.deviceId = "default";
        return r;
    }
    std::unique_ptr<IAudioBackend> m_backend;
};

TEST_P(PlaybackTest, SelectionAtOneTenthPlaysExactlyItsFramesAtTheRateAsked)
{
    StoreFixture f(120000);
    VesPlaySpeedData preset;
    preset.relSpeed = 0.1;
    const std::uint32_t rate = playbackRate(f.format.samplesPerSec, preset, false);
    ASSERT_EQ(rate, 38400u);
    SoundPlayer player(*m_backend);
    ASSERT_EQ(player.start(request(f, 10007, 40007, rate)), wave::NoError);
    EXPECT_EQ(player.openedRateHz(), rate);
    EXPECT_TRUE(soundBusy());
    ASSERT_TRUE(waitFinished(player));
    EXPECT_FALSE(soundBusy());
    EXPECT_EQ(player.failure(), 0);
    EXPECT_EQ(player.position(), 40007);
    const Bytes played = AlsaFileConfig::get().played();
    ASSERT_EQ(played.size(), f.frames(10007, 40007).size());
    EXPECT_TRUE(played == f.frames(10007, 40007));
}

TEST_P(PlaybackTest, PauseAndResumeLoseAndRepeatNothing)
{
    // The null sink takes sound faster than real time: the range is long
    // enough for the pause to land in the middle.
    const std::int64_t end = 3000000;
    StoreFixture f(end);
    SoundPlayer player(*m_backend);
    ASSERT_EQ(player.start(request(f, 1000, end, 38400)), wave::NoError);
    while (player.position() < 5000 && !player.finished())
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    player.stop();
    ASSERT_TRUE(waitFinished(player));
    const std::int64_t paused = player.position();
    ASSERT_GT(paused, 1000);
    ASSERT_LT(paused, end) << "the pause came after the end";
    const Bytes first = AlsaFileConfig::get().played();

    ASSERT_EQ(player.start(request(f, paused, end, 38400)), wave::NoError);
    ASSERT_TRUE(waitFinished(player));
    Bytes all = first;
    const Bytes second = AlsaFileConfig::get().played();
    all.insert(all.end(), second.begin(), second.end());
    EXPECT_EQ(static_cast<std::int64_t>(first.size()), (paused - 1000) * 4);
    EXPECT_TRUE(all == f.frames(1000, end));
}

TEST_P(PlaybackTest, RefusalsGiveTheWaveErrorText)
{
    StoreFixture f(4000);
    SoundPlayer player(*m_backend);
    // Another sound activity holds the device.
    ASSERT_TRUE(acquireSoundBusy());
    const int busy = player.start(request(f, 0, 4000, 38400));
    releaseSoundBusy();
    EXPECT_EQ(WaveErrorText("Failed to open waveform output device.", busy),
              "Failed to open waveform output device.\r\nWave Error#4: Device already allocated.");
    PlayRequest missing = request(f, 0, 4000, 38400);
    missing.deviceId = "no-such-device";
    EXPECT_EQ(player.start(missing), wave::BadDeviceId);
    // Bat-detector rates: ALSA plays them, PortAudio's front end refuses them.
    const int highRate = player.start(request(f, 0, 4000, 500000));
    if (GetParam() == AudioBackendKind::PortAudio) {
        EXPECT_EQ(WaveErrorText("Failed to open waveform output device.", highRate),
                  "Failed to open waveform output device.\r\nWave Error#32: Unsupported wave format.");
    } else {
        EXPECT_EQ(highRate, wave::NoError);
        EXPECT_EQ(player.openedRateHz(), 500000u);
        ASSERT_TRUE(waitFinished(player));
    }
    f.format = SoundFormat::pcm(2, 12, 38400);  // no device plays 12-bit frames
    f.format.blockAlign = 4;
    EXPECT_EQ(player.start(request(f, 0, 4000, 38400)), wave::BadFormat);
    EXPECT_FALSE(soundBusy());
}

TEST_P(PlaybackTest, DestroyingAPlayingPlayerFreesTheDevice)
{
    StoreFixture f(3000000);
    {
        SoundPlayer player(*m_backend);
        ASSERT_EQ(player.start(request(f, 0, 3000000, 38400)), wave::NoError);
    }
    EXPECT_FALSE(soundBusy());
}

TEST_P(PlaybackTest, VolumeIsAGainOnTheSamples)
{
    StoreFixture f(2000);
    SoundPlayer player(*m_backend);
    player.setGain(0.5);
    ASSERT_EQ(player.start(request(f, 0, 2000, 38400)), wave::NoError);
    ASSERT_TRUE(waitFinished(player));
    const Bytes played = AlsaFileConfig::get().played();
    ASSERT_EQ(played.size(), f.bytes.size());
    for (std::size_t i = 0; i < played.size(); i += 2) {
        const auto in = static_cast<std::int16_t>(f.bytes[i] | f.bytes[i + 1] << 8);
        const auto outv = static_cast<std::int16_t>(played[i] | played[i + 1] << 8);
        ASSERT_EQ(outv, static_cast<std::int16_t>(std::lround(in * 0.5))) << "sample " << i / 2;
    }
}

// The device stops taking sound while playing: the player ends by itself,
// frees the device and the sound-busy flag, and keeps the code for the
// wave error text.
TEST(AlsaPlayback, ADeviceThatFailsWhilePlayingStopsCleanlyWithTheWaveErrorText)
{
    AlsaFileConfig::get();
    auto backend = makeAudioBackend(AudioBackendKind::Alsa);
    StoreFixture f(3000000);
    SoundPlayer player(*backend);
    PlayRequest r;
    r.store = &f.store;
    r.format = f.format;
    r.rateHz = 38400;
    r.deviceId = AlsaFileConfig::kVanishingDevice;
    ASSERT_EQ(player.start(r), wave::NoError);
    ASSERT_TRUE(waitFinished(player));
    EXPECT_FALSE(soundBusy());
    EXPECT_EQ(WaveErrorText("Failed to write block to device", player.failure()),
              "Failed to write block to device\r\nWave Error#1: Unspecified error.");
    EXPECT_GE(player.position(), 0);
    EXPECT_LT(player.position(), 3000000);
    // The device is free again for the next playback.
    r.deviceId = "default";
    r.endFrame = 4000;
    ASSERT_EQ(player.start(r), wave::NoError);
    ASSERT_TRUE(waitFinished(player));
    EXPECT_EQ(player.failure(), 0);
}

// A device that has only some rates: the format query refuses the others
// with the wave error text; the rate it has passes.
TEST(AlsaPlayback, RefusedRateGivesTheWaveErrorText)
{
    AlsaFileConfig::get();
    auto backend = makeAudioBackend(AudioBackendKind::Alsa);
    const int refused = backend->queryPlayback(AlsaFileConfig::kFixedRateDevice, {1, 16, 96000});
    EXPECT_EQ(WaveErrorText("Failed to open waveform output device.", refused),
              "Failed to open waveform output device.\r\nWave Error#32: Unsupported wave format.");
    EXPECT_EQ(backend->queryPlayback(AlsaFileConfig::kFixedRateDevice, {1, 16, 48000}), wave::NoError);
}

INSTANTIATE_TEST_SUITE_P(Backends, PlaybackTest,
                         ::testing::Values(AudioBackendKind::Alsa, AudioBackendKind::PortAudio),
                         [](const auto& p) { return p.param == AudioBackendKind::Alsa ? "Alsa" : "PortAudio"; });

TEST(AlsaDevices, ListedWithTheRatesTheyReport)
{
    AlsaFileConfig::get();
    auto backend = makeAudioBackend(AudioBackendKind::Alsa);
    const std::vector<AudioDeviceInfo> outs = backend->outputDevices();
    ASSERT_FALSE(outs.empty());
    EXPECT_EQ(outs[0].id, "default");
    // The file plugin over the null sink takes bat-detector rates.
    EXPECT_GE(outs[0].maxRateHz, 500000u);
    std::unique_ptr<IPlaybackStream> stream;
    ASSERT_EQ(backend->openPlayback("default", {2, 32, 500000}, 500, stream), wave::NoError);
    EXPECT_EQ(stream->rateHz(), 500000u);
}

}  // namespace
