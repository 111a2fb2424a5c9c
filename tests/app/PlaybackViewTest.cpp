// Playing a view's recording through the Sound menu, end to end through
// ALSA's file plugin (the configuration is set before the devices are listed).
#include "AppTestSupport.h"

#include "commands/CommandTable.h"
#include "display/CAnaPlot.h"
#include "widgets/CRecStatus.h"
#include "display/CVesAnaView.h"
#include "document/CVesSoundDoc.h"
#include "shell/CVesSoundApp.h"
#include "soundio/SoundDevices.h"
#include "soundio/SoundSystem.h"
#include "soundio/ViewPlayback.h"

#include <QElapsedTimer>

#include <cstdlib>
#include <fstream>
#include <iterator>

namespace {

class PlaybackViewTest : public apptest::AppTest {
protected:
    void SetUp() override
    {
        out = dir.file("play_out.raw");
        const std::string conf = dir.file("alsa.conf");
        std::ofstream(conf) << "pcm.default { type file slave.pcm { type null } file \"" << out
                            << "\" format \"raw\" }\n";
        setenv("ALSA_CONFIG_PATH", conf.c_str(), 1);
        wav = dir.file("tone.wav");
        apptest::writeToneWave(wav, 48000, 0.5, 1000);
    }
    void TearDown() override { unsetenv("ALSA_CONFIG_PATH"); }
    std::string out, wav;
};

TEST_F(PlaybackViewTest, PlaysTheRecordingAtTheChosenSpeedAndRemovesThePlayCursorAtTheEnd)
{
    start({wav});
    startSoundDevices("", "");
    CVesAnaView* view = activeView();
    ASSERT_NE(view, nullptr);
    ASSERT_TRUE(app().runCommand(cmd::PlaySpeedFirst + 1));  // 1/10
    EXPECT_TRUE(app().commandState(cmd::PlaySpeedFirst + 1).checked);
    ASSERT_TRUE(app().runCommand(cmd::PlaySound));
    EXPECT_TRUE(soundBusy());
    EXPECT_FALSE(app().commandState(cmd::PlaySound).enabled) << "one sound activity at a time";
    EXPECT_EQ(ViewPlayback::of(view)->openedRateHz(), 4800u);
    QElapsedTimer t;
    t.start();
    while (soundBusy() && t.elapsed() < 20000)
        apptest::processEvents();
    ASSERT_FALSE(soundBusy());
    EXPECT_EQ(view->plot()->playCursor(), -1);
    EXPECT_EQ(view->statusStrip()->statusText(), QStringLiteral("End of play"));

    std::ifstream in(out, std::ios::binary);
    const std::vector<char> played((std::istreambuf_iterator<char>(in)), {});
    std::vector<char> samples(static_cast<std::size_t>(view->doc().lengthBytes()));
    view->doc().samples().read(samples.data(), static_cast<std::int64_t>(samples.size()), 0);
    EXPECT_EQ(played.size(), samples.size());
    EXPECT_TRUE(played == samples);
}

}  // namespace
