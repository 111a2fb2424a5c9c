// A long edit shows its progress with the status bar's Cancel button, and
// Cancel puts every sample back as it was, with nothing to undo.
#include "AppTestSupport.h"

#include "commands/CommandTable.h"
#include "display/CVesAnaView.h"
#include "document/SampleCodec.h"
#include "shell/CAppDocument.h"
#include "shell/CMainFrame.h"
#include "shell/CVesSoundApp.h"

#include <QPushButton>
#include <QStatusBar>
#include <QTimer>

#include <vector>

namespace {

class LongEditCancelTest : public apptest::AppTest {};

std::vector<double> samplesAt(CVesSoundDoc& doc, const std::vector<std::int64_t>& frames)
{
    SampleReader reader(doc, ChannelIndex::Left);
    std::vector<double> out;
    for (std::int64_t f : frames) {
        double v = 0;
        reader.read(f, 1, &v);
        out.push_back(v);
    }
    return out;
}

TEST_F(LongEditCancelTest, CancelDuringReversePutsTheSamplesBack)
{
    start();
    QPushButton* cancel = nullptr;
    for (QPushButton* b : app().mainFrame()->statusBar()->findChildren<QPushButton*>())
        if (b->accessibleName() == QStringLiteral("Cancel"))
            cancel = b;
    ASSERT_NE(cancel, nullptr);
    ASSERT_FALSE(cancel->isVisible());

    // The program looks at its events a few times a second during an edit:
    // the recording must be long enough for it to look at least once.
    for (double seconds = 30; seconds <= 480; seconds *= 2) {
        const std::string wav = dir.file("long" + std::to_string(static_cast<int>(seconds)) + ".wav");
        apptest::writeToneWave(wav, 384000, seconds, 25000);
        dialogs().openAnswers.push_back(OpenChoice{{wav}, 0});
        ASSERT_TRUE(app().runCommand(cmd::FileOpen));
        apptest::processEvents();
        CVesSoundDoc& doc = activeDocument()->doc();
        const std::int64_t n = doc.lengthFrames();
        const std::vector<std::int64_t> probes = {0, 1, n / 3, n / 2 + 7, n - 2, n - 1};
        const std::vector<double> before = samplesAt(doc, probes);

        int pressed = 0;
        bool visibleWhilePressed = false;
        QTimer presser;
        presser.setInterval(0);
        QObject::connect(&presser, &QTimer::timeout, [&] {
            if (cancel->isVisible() && pressed == 0) {
                visibleWhilePressed = true;
                ++pressed;
                cancel->click();
            }
        });
        presser.start();
        ASSERT_TRUE(app().runCommand(cmd::SelectAll));
        app().runCommand(cmd::EditReverse);
        presser.stop();
        apptest::processEvents();

        if (pressed == 0) {
            // Done before the first look: a longer recording.
            ASSERT_TRUE(app().runCommand(cmd::EditUndo));
            dialogs().saveChangesAnswer = IShellDialogs::Answer::No;
            ASSERT_TRUE(app().runCommand(cmd::FileClose));
            apptest::processEvents();
            continue;
        }
        EXPECT_TRUE(visibleWhilePressed);
        EXPECT_FALSE(cancel->isVisible()) << "the button stays after the edit";
        EXPECT_EQ(samplesAt(doc, probes), before);
        EXPECT_EQ(doc.lengthFrames(), n);
        EXPECT_FALSE(doc.modified());
        EXPECT_FALSE(app().commandState(cmd::EditUndo).enabled);
        // The program goes on working: the same edit without Cancel reverses.
        ASSERT_TRUE(app().runCommand(cmd::EditReverse));
        const std::vector<double> after = samplesAt(doc, {0, n - 1});
        EXPECT_EQ(after[0], before[5]);
        EXPECT_EQ(after[1], before[0]);
        return;
    }
    GTEST_SKIP() << "every edit ended before the program looked at its events";
}

}  // namespace
