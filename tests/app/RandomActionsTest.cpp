// The running program under a stream of random user actions: enabled menu
// commands, clicks and drags in the plot, wheel turns and keys, each with
// random modifiers, every dialog dismissed as it appears. After every action
// the program must still be there and every document's length must be what
// its sample store holds; the recording file it started with is never
// touched (the save dialogs are cancelled).
//
// The seed is fixed; each action is printed, so that a failure can be
// replayed. VES_RANDOM_ACTIONS sets the number of actions (default 150),
// VES_RANDOM_SEED the seed. Under Xvfb:
//   xvfb-run -a env QT_QPA_PLATFORM=xcb build/tests/app/test_app --gtest_filter='RandomActions*'
#include "AppTestSupport.h"

#include "commands/CommandTable.h"
#include "display/CAnaPlot.h"
#include "display/CVesAnaView.h"
#include "document/CVesSoundDoc.h"
#include "shell/CAppDocument.h"
#include "shell/CMainFrame.h"
#include "shell/CVesSoundApp.h"
#include "soundio/SoundSystem.h"

#include <QApplication>
#include <QDialog>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QTimer>
#include <QWheelEvent>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <iterator>
#include <random>
#include <set>
#include <string>
#include <vector>

namespace {

int envInt(const char* name, int fallback)
{
    const char* v = std::getenv(name);
    return v && *v ? std::atoi(v) : fallback;
}

std::vector<char> fileBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

class RandomActionsTest : public apptest::AppTest {
protected:
    void SetUp() override
    {
        // Playback goes to a file, not to a sound card.
        const std::string conf = dir.file("alsa.conf");
        std::ofstream(conf) << "pcm.default { type file slave.pcm { type null } file \"" << dir.file("out.raw")
                            << "\" format \"raw\" }\n";
        setenv("ALSA_CONFIG_PATH", conf.c_str(), 1);
    }
    void TearDown() override { unsetenv("ALSA_CONFIG_PATH"); }
};

// Commands with effects outside the program (printers, browsers, devices) or
// that end it.
const std::set<int> kLeftOut = {cmd::AppExit,          cmd::FilePrintDirect, cmd::HelpLocal,   cmd::HelpWeb,
                                cmd::HomePage,         cmd::RecordSound,     cmd::AutomaticRecording,
                                cmd::HighSpeedPlayback, cmd::SoundDevices,   cmd::FileSave,     cmd::OpenAtStartUp,
                                cmd::DetectorFileManagement};

TEST_F(RandomActionsTest, TheProgramSurvivesRandomActionsAndKeepsItsSamples)
{
    const std::string wav = dir.file("night.wav");
    apptest::writeToneWave(wav, 192000, 0.5, 30000);
    const std::vector<char> original = fileBytes(wav);
    start({wav});
    startSoundDevices("", "");
    apptest::processEvents();

    // Every modal dialog and pop-up menu goes as soon as it shows.
    QTimer dismisser;
    dismisser.setInterval(10);
    QObject::connect(&dismisser, &QTimer::timeout, [] {
        if (QWidget* popup = QApplication::activePopupWidget())
            popup->close();
        if (QWidget* modal = QApplication::activeModalWidget()) {
            if (auto* d = qobject_cast<QDialog*>(modal))
                d->reject();
            else
                modal->close();
        }
    });
    dismisser.start();

    std::vector<int> commands;
    for (const CommandInfo& c : commandTable())
        if (!kLeftOut.count(c.id))
            commands.push_back(c.id);
    const unsigned seed = static_cast<unsigned>(envInt("VES_RANDOM_SEED", 20261211));
    const int actions = envInt("VES_RANDOM_ACTIONS", 150);
    std::mt19937 rng(seed);
    auto pick = [&](int n) { return static_cast<int>(rng() % static_cast<unsigned>(std::max(1, n))); };
    const Qt::KeyboardModifiers modifierSets[] = {Qt::NoModifier, Qt::ShiftModifier, Qt::ControlModifier,
                                                  Qt::AltModifier, Qt::ShiftModifier | Qt::ControlModifier};
    const int keys[] = {Qt::Key_Left, Qt::Key_Right, Qt::Key_Up,     Qt::Key_Down,  Qt::Key_Home, Qt::Key_End,
                        Qt::Key_Plus, Qt::Key_Minus, Qt::Key_Delete, Qt::Key_Space, Qt::Key_N,    Qt::Key_B};
    std::cout << "random actions: seed " << seed << ", " << actions << " actions\n";

    for (int i = 0; i < actions; ++i) {
        CVesAnaView* view = activeView();
        CAnaPlot* plot = view ? view->plot() : nullptr;
        const Qt::KeyboardModifiers mods = modifierSets[pick(static_cast<int>(std::size(modifierSets)))];
        // Half of the actions are commands; the rest are mouse and keys in the plot.
        const int kind = plot ? std::max(0, pick(8) - 3) : 0;
        std::cout << "#" << i << ' ';
        if (kind == 0) {
            const int id = commands[static_cast<std::size_t>(pick(static_cast<int>(commands.size())))];
            const bool enabled = app().commandState(id).enabled;
            std::cout << "command " << id << (enabled ? "" : " (disabled)") << std::endl;
            if (enabled)
                app().runCommand(id);
        } else {
            const QPoint a(pick(plot->width()), pick(plot->height()));
            const QPoint b(pick(plot->width()), pick(plot->height()));
            if (kind == 1) {
                std::cout << "click " << a.x() << ',' << a.y() << " mods " << mods.toInt() << std::endl;
                QMouseEvent press(QEvent::MouseButtonPress, a, plot->mapToGlobal(a), Qt::LeftButton, Qt::LeftButton, mods);
                QApplication::sendEvent(plot, &press);
                QMouseEvent release(QEvent::MouseButtonRelease, a, plot->mapToGlobal(a), Qt::LeftButton, Qt::NoButton, mods);
                QApplication::sendEvent(plot, &release);
            } else if (kind == 2) {
                std::cout << "drag " << a.x() << ',' << a.y() << " to " << b.x() << ',' << b.y() << " mods "
                          << mods.toInt() << std::endl;
                QMouseEvent press(QEvent::MouseButtonPress, a, plot->mapToGlobal(a), Qt::LeftButton, Qt::LeftButton, mods);
                QApplication::sendEvent(plot, &press);
                QMouseEvent move(QEvent::MouseMove, b, plot->mapToGlobal(b), Qt::NoButton, Qt::LeftButton, mods);
                QApplication::sendEvent(plot, &move);
                QMouseEvent release(QEvent::MouseButtonRelease, b, plot->mapToGlobal(b), Qt::LeftButton, Qt::NoButton, mods);
                QApplication::sendEvent(plot, &release);
            } else if (kind == 3) {
                const int delta = pick(2) ? 120 : -120;
                std::cout << "wheel " << delta << " at " << a.x() << ',' << a.y() << " mods " << mods.toInt() << std::endl;
                QWheelEvent wheel(QPointF(a), QPointF(plot->mapToGlobal(a)), QPoint(), QPoint(0, delta), Qt::NoButton,
                                  mods, Qt::NoScrollPhase, false);
                QApplication::sendEvent(plot, &wheel);
            } else {
                const int key = keys[pick(static_cast<int>(std::size(keys)))];
                std::cout << "key " << key << " mods " << mods.toInt() << std::endl;
                QWidget* target = QApplication::focusWidget() ? QApplication::focusWidget() : plot;
                QKeyEvent press(QEvent::KeyPress, key, mods);
                QApplication::sendEvent(target, &press);
                QKeyEvent release(QEvent::KeyRelease, key, mods);
                QApplication::sendEvent(target, &release);
            }
        }
        apptest::processEvents();

        ASSERT_NE(app().mainFrame(), nullptr) << "the program went at action " << i;
        for (CAppDocument* d : app().documents()) {
            const CVesSoundDoc& doc = d->doc();
            ASSERT_EQ(doc.lengthFrames(), doc.bytesToFrames(doc.samples().length()))
                << "length and samples of " << d->title().toStdString() << " differ after action " << i;
        }
    }
    // Whatever still plays stops before the program goes.
    for (int id : {cmd::StopPlay})
        if (app().commandState(id).enabled)
            app().runCommand(id);
    apptest::processEvents();
    dismisser.stop();
    EXPECT_EQ(fileBytes(wav), original) << "the recording file was changed";
}

}  // namespace
