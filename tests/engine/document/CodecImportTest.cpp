#include "document/CVesSoundDoc.h"
#include "soundfiles/DemoRecording.h"
#include "soundfiles/RiffFile.h"
#include "soundfiles/VesFileType.h"

#include "DocTestSupport.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <vector>

using vestest::Bytes;
using vestest::RecordingHost;
using vestest::TempDir;

namespace {

bool haveFfmpeg()
{
    return std::system("command -v ffmpeg >/dev/null 2>&1") == 0;
}

bool ffmpeg(const std::string& args)
{
    return std::system(("ffmpeg -hide_banner -loglevel error -y " + args).c_str()) == 0;
}

}  // namespace

TEST(CodecImport, LosslessFlacAtTheRecordersRateIsSampleExact)
{
    if (!haveFfmpeg())
        GTEST_SKIP() << "the ffmpeg command is not installed";
    TempDir dir;
    ASSERT_TRUE(writeDemoRecording(dir.file("demo.wav")));
    ASSERT_TRUE(ffmpeg("-i '" + dir.file("demo.wav") + "' '" + dir.file("demo.flac") + "'"));
    RecordingHost host;
    CVesSoundDoc flac(host), wav(host);
    ASSERT_TRUE(flac.open(dir.file("demo.flac"))) << host.lastMessage();
    ASSERT_TRUE(wav.open(dir.file("demo.wav")));
    EXPECT_EQ(flac.format().samplesPerSec, 384000u);
    EXPECT_EQ(flac.format().bitsPerSample, 16);
    EXPECT_EQ(vestest::documentBytes(flac), vestest::documentBytes(wav));
    EXPECT_EQ(flac.title(), "demo.flac.vprd [converted]");
    EXPECT_EQ(flac.pendingSavePath(), dir.file("demo.flac.vprd"));
    EXPECT_EQ(flac.saveType(), kTypeVesperonWave);
    EXPECT_EQ(flac.timeExpansion(), 1000);
    EXPECT_TRUE(flac.modified());
    // Save goes to the proposed own recording file.
    ASSERT_TRUE(flac.doSave(""));
    EXPECT_TRUE(vestest::fileExists(dir.file("demo.flac.vprd")));
    EXPECT_EQ(flac.title(), "demo.flac.vprd");
}

TEST(CodecImport, Mp3HasItsRateAndLength)
{
    if (!haveFfmpeg())
        GTEST_SKIP() << "the ffmpeg command is not installed";
    TempDir dir;
    const std::string mp3 = dir.file("tone.mp3");
    ASSERT_TRUE(ffmpeg("-f lavfi -i sine=frequency=3000:sample_rate=44100:duration=2 -ac 1 -b:a 128k '" + mp3 + "'"));
    RecordingHost host;
    CVesSoundDoc doc(host);
    ASSERT_TRUE(doc.open(mp3)) << host.lastMessage();
    EXPECT_EQ(doc.format().samplesPerSec, 44100u);
    EXPECT_EQ(doc.format().channels, 1);
    EXPECT_NEAR(static_cast<double>(doc.lengthFrames()), 88200.0, 1152.0) << "within one mp3 frame";
    std::vector<double> x(4410);
    doc.readFramesAsDouble(44100, 4410, ChannelIndex::Left, x.data());
    double peak = 0;
    for (double v : x)
        peak = std::max(peak, std::abs(v));
    EXPECT_GT(peak, 3000.0) << "the tone is there";
}

TEST(CodecImport, DeepLosslessSourcesKeepTheirResolution)
{
    if (!haveFfmpeg())
        GTEST_SKIP() << "the ffmpeg command is not installed";
    TempDir dir;
    struct Case {
        const char* name;
        const char* args;
        int bits;
    } cases[] = {
        {"s24.flac", "-c:a flac -sample_fmt s32 -bits_per_raw_sample 24", 24},
        {"s24.wav", "-c:a pcm_s24le", 24},  // written as an extensible wave
        {"f32.wav", "-c:a pcm_f32le", 32},
        {"s16.ogg", "-c:a libvorbis", 16},
    };
    for (const auto& c : cases) {
        const std::string path = dir.file(c.name);
        if (!ffmpeg("-f lavfi -i sine=frequency=20000:sample_rate=192000:duration=0.5 -ac 2 " + std::string(c.args) + " '" + path + "'"))
            continue;  // an encoder this ffmpeg lacks
        RecordingHost host;
        CVesSoundDoc doc(host);
        ASSERT_TRUE(doc.open(path)) << c.name << ": " << host.lastMessage();
        EXPECT_EQ(doc.format().bitsPerSample, c.bits) << c.name;
        EXPECT_EQ(doc.format().channels, 2) << c.name;
        EXPECT_EQ(doc.format().samplesPerSec, 192000u) << c.name;
        EXPECT_NEAR(static_cast<double>(doc.lengthFrames()), 96000.0, 2048.0) << c.name;
    }
}

TEST(CodecImport, MoreThanTwoChannelsKeepTheFirstTwoAndSaySo)
{
    if (!haveFfmpeg())
        GTEST_SKIP() << "the ffmpeg command is not installed";
    TempDir dir;
    const std::string path = dir.file("six.flac");
    // Channel n holds a tone of (n + 1) kHz.
    std::string inputs, labels;
    for (int n = 0; n < 6; ++n) {
        inputs += " -f lavfi -i sine=frequency=" + std::to_string((n + 1) * 1000) + ":sample_rate=48000:duration=0.2";
        labels += "[" + std::to_string(n) + ":a]";
    }
    ASSERT_TRUE(ffmpeg(inputs + " -filter_complex '" + labels +
                       "join=inputs=6:channel_layout=5.1:map=0.0-FL|1.0-FR|2.0-FC|3.0-LFE|4.0-BL|5.0-BR' '" + path + "'"));
    RecordingHost host;
    CVesSoundDoc doc(host);
    ASSERT_TRUE(doc.open(path)) << host.lastMessage();
    EXPECT_EQ(doc.format().channels, 2);
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_NE(host.messages[0].find("6 channels"), std::string::npos) << host.messages[0];
    // Zero crossings tell the tone of each channel: 1 kHz left, 2 kHz right.
    for (int ch = 0; ch < 2; ++ch) {
        std::vector<double> x(4800);
        ASSERT_EQ(doc.readFramesAsDouble(2400, 4800, channelIndexFromValue(ch), x.data()), 4800);
        int crossings = 0;
        for (size_t i = 1; i < x.size(); ++i)
            crossings += (x[i - 1] < 0) != (x[i] < 0);
        EXPECT_NEAR(crossings / 2.0 / 0.1, (ch + 1) * 1000.0, 50.0) << "channel " << ch;
    }
}

namespace {

// Frequency of a tone from its zero crossings over frames [first, first + count).
double toneHz(CVesSoundDoc& doc, std::int64_t first, std::int64_t count, int channel)
{
    std::vector<double> x(static_cast<size_t>(count));
    if (doc.readFramesAsDouble(first, count, static_cast<ChannelIndex>(channel), x.data()) != count)
        return 0;
    int crossings = 0;
    for (size_t i = 1; i < x.size(); ++i)
        crossings += (x[i - 1] < 0) != (x[i] < 0);
    return crossings / 2.0 * doc.format().samplesPerSec / static_cast<double>(count);
}

}  // namespace

// MPEG audio frames stand alone, so a stream may change its channel count or
// its rate from one frame to the next. Each stretch comes out in the format of
// the first frames: a stereo stretch in a mono recording keeps its left
// channel, a mono stretch in a stereo one goes to both channels, another rate is
// resampled.
TEST(CodecImport, StreamsWhoseFramesChangeChannelsOrRateKeepTheFirstFormat)
{
    if (!haveFfmpeg())
        GTEST_SKIP() << "the ffmpeg command is not installed";
    TempDir dir;
    auto part = [&](const std::string& name, int hz, int rate, int channels) {
        return ffmpeg("-f lavfi -i sine=frequency=" + std::to_string(hz) + ":sample_rate=" + std::to_string(rate) +
                      ":duration=0.5 -ac " + std::to_string(channels) + " -c:a mp2 -b:a 128k -f mp2 '" +
                      dir.file(name) + "'");
    };
    ASSERT_TRUE(part("mono.mp2", 1000, 32000, 1));
    ASSERT_TRUE(part("stereo.mp2", 3000, 32000, 2));
    ASSERT_TRUE(part("stereo48.mp2", 2000, 48000, 2));
    struct Case {
        const char* name;
        std::vector<const char*> parts;
        int channels;
        std::vector<double> tonesHz;  // of each half second
    } cases[] = {
        {"mono-then-stereo.mp2", {"mono.mp2", "stereo.mp2"}, 1, {1000, 3000}},
        {"stereo-then-mono.mp2", {"stereo.mp2", "mono.mp2"}, 2, {3000, 1000}},
        {"rate-change.mp2", {"mono.mp2", "stereo48.mp2", "mono.mp2"}, 1, {1000, 2000, 1000}},
    };
    for (const auto& c : cases) {
        vestest::Bytes joined;
        for (const char* p : c.parts) {
            const auto b = vestest::readFile(dir.file(p));
            joined.insert(joined.end(), b.begin(), b.end());
        }
        const std::string path = dir.file(c.name);
        vestest::writeFile(path, joined);
        RecordingHost host;
        CVesSoundDoc doc(host);
        ASSERT_TRUE(doc.open(path)) << c.name << ": " << host.lastMessage();
        EXPECT_EQ(doc.format().channels, c.channels) << c.name;
        EXPECT_EQ(doc.format().samplesPerSec, 32000u) << c.name;
        EXPECT_NEAR(static_cast<double>(doc.lengthFrames()), 16000.0 * static_cast<double>(c.parts.size()), 2400.0)
            << c.name;
        for (size_t i = 0; i < c.tonesHz.size(); ++i) {
            const std::int64_t mid = static_cast<std::int64_t>(i) * 16000 + 4000;
            for (int ch = 0; ch < c.channels; ++ch)
                EXPECT_NEAR(toneHz(doc, mid, 8000, ch), c.tonesHz[i], 40.0)
                    << c.name << ", stretch " << i << ", channel " << ch;
        }
    }
}

// Inputs that once crashed the program: each opens as a recording in a sane
// format or fails with a message, and nothing is written beside it.
TEST(CodecImport, InputsThatOnceCrashedOpenOrFailWithAMessage)
{
    const auto inputs = vestest::sharedCrashInputs();
    if (inputs.empty())
        GTEST_SKIP() << "no crash inputs beside the project (../shared/crashes)";
    for (const auto& input : inputs) {
        TempDir dir;
        const std::string name = std::filesystem::path(input).filename().string();
        const std::string path = dir.file(name);
        vestest::writeFile(path, vestest::readFile(input));
        RecordingHost host;
        {
            CVesSoundDoc doc(host);
            if (doc.open(path)) {
                EXPECT_GE(doc.format().channels, 1) << name;
                EXPECT_LE(doc.format().channels, 2) << name;
                EXPECT_GT(doc.format().samplesPerSec, 0u) << name;
                std::vector<double> x(4096);
                doc.readFramesAsDouble(0, 4096, ChannelIndex::Left, x.data());
            } else {
                ASSERT_FALSE(host.messages.empty()) << name << ": failed without a message";
                EXPECT_NE(host.lastMessage().find(name), std::string::npos) << host.lastMessage();
            }
        }
        std::vector<std::string> left;
        for (const auto& e : std::filesystem::directory_iterator(dir.path()))
            left.push_back(e.path().filename().string());
        EXPECT_EQ(left, std::vector<std::string>{name}) << name;
    }
}
