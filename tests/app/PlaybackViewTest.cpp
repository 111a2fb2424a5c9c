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

// Where Play starts and what the cursor commands do around a playback: it
// starts at the marking cursor, the cursor steps wait while it plays, and a
// mark saved from the cursor forgets the paused position.
TEST_F(PlaybackViewTest, PlayStartsAtTheCursorAndTheCursorCommandsFollowThePlayback)
{
    start({wav});
    startSoundDevices("", "");
    CVesAnaView* view = activeView();
    ASSERT_NE(view, nullptr);
    ASSERT_TRUE(app().runCommand(cmd::PlaySpeedFirst + 1));  // 1/10: five seconds of sound
    CursorRecord c;
    c.position = 12000;  // 0.25 s
    view->setCursorRecord(c);
    apptest::processEvents();
    EXPECT_TRUE(app().commandState(cmd::CursorStepLeft).enabled);
    EXPECT_TRUE(app().commandState(cmd::CursorStepRight).enabled);

    ASSERT_TRUE(app().runCommand(cmd::PlaySound));
    EXPECT_TRUE(view->statusStrip()->statusText().startsWith(QStringLiteral("Playing from cursor 0.25 - 0.50")))
        << view->statusStrip()->statusText().toStdString();
    EXPECT_GE(view->plot()->playCursor(), 12000);
    for (int id : {cmd::CursorStepLeft, cmd::CursorStepRight})
        EXPECT_FALSE(app().commandState(id).enabled) << "command " << id << " while playing";
    EXPECT_FALSE(app().runCommand(cmd::CursorStepRight));
    EXPECT_FALSE(view->selection().has_value()) << "the selection grew while playing";

    ASSERT_TRUE(app().runCommand(cmd::PausePlay));
    QElapsedTimer t;
    t.start();
    while (soundBusy() && t.elapsed() < 20000)
        apptest::processEvents();
    ASSERT_FALSE(soundBusy());
    EXPECT_GE(view->plot()->playCursor(), 12000) << "the paused position is kept";
    EXPECT_TRUE(app().commandState(cmd::CursorStepRight).enabled);

    ASSERT_TRUE(app().runCommand(cmd::SaveCursorAsMark));
    EXPECT_EQ(view->doc().marks().size(), 1u);
    EXPECT_EQ(view->plot()->playCursor(), -1) << "the paused position outlived the new mark";
    ASSERT_TRUE(app().runCommand(cmd::PlaySound));
    EXPECT_TRUE(view->statusStrip()->statusText().startsWith(QStringLiteral("Playing from cursor 0.25")))
        << view->statusStrip()->statusText().toStdString();
    ASSERT_TRUE(app().runCommand(cmd::StopPlay));
    t.restart();
    while (soundBusy() && t.elapsed() < 20000)
        apptest::processEvents();
    ASSERT_FALSE(soundBusy());

    // Without a cursor Play starts at the view's left edge.
    view->setCursorRecord(CursorRecord{});
    ASSERT_TRUE(app().runCommand(cmd::PlaySound));
    EXPECT_TRUE(view->statusStrip()->statusText().startsWith(QStringLiteral("Playing 0.00")))
        << view->statusStrip()->statusText().toStdString();
    app().runCommand(cmd::StopPlay);
    t.restart();
    while (soundBusy() && t.elapsed() < 20000)
        apptest::processEvents();
}

}  // namespace
