#include "core/VkitXML.h"
#include "soundio/SoundDevices.h"
#include "soundio/VesPlaySpeedData.h"
#include "soundio/WaveError.h"

#include <gtest/gtest.h>

namespace {

AudioDeviceInfo dev(const std::string& name, std::uint32_t maxRate, int channels = 2)
{
    return {name, name, channels, 8000, maxRate};
}

TEST(SoundDeviceTables, FilledFromTheBackEndAndRestoredByName)
{
    SoundDeviceTables t;
    std::vector<AudioDeviceInfo> outs = {dev("default", 768000), dev("hw:CARD=U", 384000, 1), dev("hw:CARD=U", 192000)};
    for (int i = 0; i < 20; ++i)
        outs.push_back(dev("extra" + std::to_string(i), 48000));
    t.fill({dev("mic", 500000, 1)}, outs);
    EXPECT_EQ(t.outputs()[15].name, "extra12") << "entries beyond 16 are dropped";
    EXPECT_EQ(t.outputs()[1].label, "hw:CARD=U  384 kHz,mono");
    EXPECT_EQ(t.outputs()[0].highestFrequency, 768000);

    t.selectByName("hw:CARD=U", "mic");
    EXPECT_EQ(t.selectedOutput(), 1) << "the first of two equal names";
    EXPECT_EQ(t.playbackHighestFrequency(), 384000);
    EXPECT_EQ(t.recordingDeviceName(), "mic");
    t.selectByName("gone", "");
    EXPECT_EQ(t.selectedOutput(), 0);
    EXPECT_EQ(t.selectedInput(), 0);

    SoundDeviceTables none;
    none.fill({}, {});
    none.selectByName("x", "y");
    EXPECT_EQ(none.playbackDeviceIndex(), -1);
    EXPECT_EQ(none.recordingDevicePresent(), 0);
    EXPECT_EQ(none.playbackHighestFrequency(), 48000);
    EXPECT_FALSE(none.playbackRateChange());
}

TEST(WaveErrorText, CodesAndTheirWords)
{
    const std::pair<int, const char*> cases[] = {
        {0, "No error."},
        {2, "Device ID out of range."},
        {12, "Handle being used simultaneously on another thread (eg callback)."},
        {21, "More data to be returned."},
        {22, "Unknown error code."},
        {32, "Unsupported wave format."},
        {35, "Device is synchronous."},
        {-1, "Unknown error code."},
    };
    for (const auto& [code, text] : cases)
        EXPECT_EQ(WaveErrorText("Caller.", code), "Caller.\r\nWave Error#" + std::to_string(code) + ": " + text);
}

TEST(PlaySpeed, RateForEverySpeedOfTheMenuAndOther)
{
    struct Case {
        double rel;
        std::int64_t abs;
        bool rateChange;
        std::uint32_t doc, expected;
    };
    const Case cases[] = {
        {0.05, 0, false, 384000, 19200}, {0.1, 0, false, 384000, 38400}, {0.25, 0, false, 384000, 96000},
        {0.5, 0, false, 384000, 192000}, {1, 0, false, 384000, 384000},  {2, 0, false, 44100, 88200},
        {4, 0, false, 44100, 176400},    {0.1, 0, false, 300000, 30000}, {0.1, 0, true, 300000, 300000},
        {0.37, 0, false, 500000, 185000}, {1, 44100, false, 250000, 44100}, {0.5, 44100, false, 250000, 22050},
        {0.005, 0, false, 384000, 384000}, {0.1, 1, false, 250000, 25000},
    };
    for (const Case& c : cases) {
        VesPlaySpeedData p;
        p.relSpeed = c.rel;
        p.absSpeed = c.abs;
        EXPECT_EQ(playbackRate(c.doc, p, c.rateChange), c.expected) << c.rel << " " << c.abs;
    }
}

TEST(PlaySpeed, PresetsPerDeviceRoundTripThroughXml)
{
    VesPlaySpeedDataLst list;
    EXPECT_EQ(list.current("card").device, "Default") << "a missing device falls back to a new Default";
    EXPECT_EQ(list.size(), 1u);
    list.set({"card", 0.05, 0});
    list.set({"usb", 1.0, 96000});
    VesPlaySpeedDataLst back;
    back.fromXml(list.toXml().get());
    EXPECT_EQ(back.size(), 3u);
    EXPECT_EQ(back.current("card").relSpeed, 0.05);
    EXPECT_EQ(menuSpeedIndex(back.current("card")), 0);
    EXPECT_EQ(back.current("usb").absSpeed, 96000);
    EXPECT_EQ(menuSpeedIndex(back.current("usb")), 7) << "a fixed rate is Other";
    EXPECT_EQ(back.current("other").device, "Default");
}

}  // namespace

#include "soundio/SoundFormatCheck.h"

namespace {

TEST(SoundFormatCheck, QuestionsInOrder)
{
    const std::string refused = "This format (sampling frequency, sampling resolution and number of channels) is not "
                                "supported by the selected sound device. Continue?";
    const std::string mayNot = "The selected sampling frequency may not be supported by your computer! Continue?";
    const std::string bits24 = "The selected sampling resolution of 24 bits may not be supported by your computer! Continue?";
    const std::string freq = "Sampling frequency in existing file will be changed. Continue?";
    const std::string chans = "Number of channels in existing file will be changed. Continue?";
    const std::string bits = "Number of bits per sample in existing file will be changed. Continue?";
    const SoundFormat doc = SoundFormat::pcm(1, 16, 384000);
    struct Case {
        SoundFormatChoice choice;
        bool empty, accepts;
        std::int64_t highest;
        std::vector<std::string> expected;
    };
    const Case cases[] = {
        {{1, 16, 384000}, false, true, 384000, {}},
        {{1, 16, 7999}, true, true, 384000, {mayNot}},
        {{1, 16, 8000}, true, true, 384000, {}},
        {{1, 16, 500000}, true, true, 384000, {mayNot}},
        {{1, 16, 500000}, true, false, 384000, {refused}},
        {{2, 24, 250000}, true, true, 384000, {bits24}},
        {{1, 16, 250000}, false, true, 384000, {freq}},
        {{2, 24, 250000}, false, false, 48000, {refused, bits24, freq, chans, bits}},
    };
    for (const Case& c : cases) {
        const SoundFormatCheck r = checkSoundFormat(c.choice, doc, c.empty, c.accepts, c.highest);
        EXPECT_TRUE(r.error.empty());
        EXPECT_EQ(r.questions, c.expected) << c.choice.rateHz << " Hz " << c.choice.bits << " bits";
    }
    EXPECT_EQ(checkSoundFormat({1, 16, 0}, doc, true, true, 48000).error, "Unknown sampling frequency!");
}

}  // namespace
