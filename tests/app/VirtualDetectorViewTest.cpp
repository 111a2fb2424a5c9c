// The virtual bat detector from the Sound menu: its start dialog, the
// detector cursor in the view (mouse, Up/Down, Left/Right) and listening
// end to end through ALSA's file plugin at the detector's lower rate.
#include "AppTestSupport.h"

#include "commands/CommandTable.h"
#include "display/CAnaPlot.h"
#include "widgets/CRecStatus.h"
#include "display/CVesAnaView.h"
#include "soundio/ViewDetector.h"
#include "document/CVesSoundDoc.h"
#include "filter/CVesFilterDlg.h"
#include "filter/FilterDesign.h"
#include "shell/CVesSoundApp.h"
#include "soundio/CVirtStartDlg.h"
#include "soundio/SoundDevices.h"
#include "soundio/SoundSystem.h"
#include "soundio/ViewPlayback.h"
#include "soundio/VirtualDetector.h"

#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTest>

#include <cstdlib>
#include <fstream>
#include <iterator>

namespace {

using apptest::child;
using apptest::processEvents;
using apptest::whenModal;

constexpr std::uint32_t kRate = 384000;

// No filter designed yet: the program's record as it starts.
void forgetProgramFilter()
{
    FilterRecord r;
    r.typeName = filterTypeName(r.type);
    CVesFilterDlg::programRecord() = r;
}

TEST(VirtStartDialog, PlaySpeedFollowsTheFactorAndOkWaitsForAFilter)
{
    forgetProgramFilter();
    CVirtStartDlg dlg(10, true, kRate, kRate / 2.0);
    auto* speed = child<QSpinBox>(&dlg, "Speed factor");
    auto* use = child<QCheckBox>(&dlg, "Use the speed factor to calculate playback sampling rate");
    auto* rate = child<QLineEdit>(&dlg, "Play speed");
    auto* ok = child<QPushButton>(&dlg, "OK");
    ASSERT_TRUE(speed && use && rate && ok && child<QPushButton>(&dlg, "Select Filter"));
    EXPECT_EQ(dlg.windowTitle(), "Virtual Bat Detector");
    EXPECT_TRUE(rate->isReadOnly());
    struct Case {
        int factor;
        bool use;
        const char* shown;
    };
    for (const Case& c : {Case{10, true, "38400"}, Case{10, false, "384000"}, Case{7, true, "54857"}, Case{200, true, "1920"}}) {
        speed->setValue(c.factor);
        use->setChecked(c.use);
        EXPECT_EQ(rate->text(), c.shown) << c.factor << " " << c.use;
    }
    speed->setValue(500);
    EXPECT_EQ(speed->value(), 200) << "at most 200";
    EXPECT_FALSE(ok->isEnabled()) << "no filter defined";

    // "Select Filter" opens the filter dialog; its OK defines the filter.
    whenModal([](QWidget* f) {
        ASSERT_NE(qobject_cast<CVesFilterDlg*>(f), nullptr);
        child<QRadioButton>(f, "Lowpass")->setChecked(true);
        child<QLineEdit>(f, "Lowpass cut-off frequency")->setText("8000");
        child<QComboBox>(f, "Filter order")->setCurrentText("4");
        child<QPushButton>(f, "OK")->click();
    });
    child<QPushButton>(&dlg, "Select Filter")->click();
    EXPECT_TRUE(ok->isEnabled());
    EXPECT_TRUE(dlg.filterChosen());
    EXPECT_EQ(dlg.filterRecord().lowPassHz, 8000);
    EXPECT_EQ(dlg.filterRecord().order, 4);
    EXPECT_EQ(dlg.filterSections().order(), 4);
}

class VirtualDetectorViewTest : public apptest::AppTest {
protected:
    void SetUp() override
    {
        out = dir.file("play_out.raw");
        const std::string conf = dir.file("alsa.conf");
        std::ofstream(conf) << "pcm.default { type file slave.pcm { type null } file \"" << out
                            << "\" format \"raw\" }\n";
        setenv("ALSA_CONFIG_PATH", conf.c_str(), 1);
        wav = dir.file("call.wav");
        apptest::writeToneWave(wav, kRate, 1.0, 45000, 0.2);
        // A low-pass the detector listens through.
        FilterRecord r;
        r.type = FilterType::Butterworth;
        r.typeName = filterTypeName(r.type);
        r.band = FilterBand::LowPass;
        r.lowPassHz = 8000;
        r.order = 4;
        ASSERT_TRUE(designFilter(r, kRate / 2.0).ok);
        CVesFilterDlg::programRecord() = r;
    }
    void TearDown() override
    {
        unsetenv("ALSA_CONFIG_PATH");
        forgetProgramFilter();
    }
    // The mode on through the command, its dialog answered with `factor`.
    bool switchOn(int factor = 0, bool useSpeedFactor = true)
    {
        bool asked = false;
        whenModal([&](QWidget* dlg) {
            asked = qobject_cast<CVirtStartDlg*>(dlg) != nullptr;
            if (factor > 0)
                child<QSpinBox>(dlg, "Speed factor")->setValue(factor);
            child<QCheckBox>(dlg, "Use the speed factor to calculate playback sampling rate")->setChecked(useSpeedFactor);
            child<QPushButton>(dlg, "OK")->click();
        });
        return app().runCommand(cmd::VirtualDetector) && asked;
    }
    // Plays to the end; the bytes the device got.
    std::vector<char> playToTheEnd()
    {
        EXPECT_TRUE(app().runCommand(cmd::PlaySound));
        QElapsedTimer t;
        t.start();
        while (soundBusy() && t.elapsed() < 20000)
            processEvents();
        EXPECT_FALSE(soundBusy());
        std::ifstream in(out, std::ios::binary);
        return std::vector<char>((std::istreambuf_iterator<char>(in)), {});
    }
    QPoint pointOf(CAnaPlot* plot, std::int64_t frame, double hz)
    {
        return QPoint(static_cast<int>(plot->painter()->sampleToDeviceX(static_cast<double>(frame))),
                      static_cast<int>(plot->painter()->frequencyToDeviceY(hz, 0)));
    }
    std::string out, wav;
};

TEST_F(VirtualDetectorViewTest, ModeCommandPlacesTheCursorThatMouseAndKeysMove)
{
    start({wav});
    CVesAnaView* view = activeView();
    ASSERT_NE(view, nullptr);
    CAnaPlot* plot = view->plot();
    ViewDetector* det = ViewDetector::of(view);
    ASSERT_NE(det, nullptr);
    EXPECT_TRUE(app().commandState(cmd::VirtualDetector).enabled);
    EXPECT_FALSE(app().commandState(cmd::VirtualDetector).checked);

    // Cancel leaves the mode off.
    whenModal([](QWidget* dlg) { child<QPushButton>(dlg, "Cancel")->click(); });
    app().runCommand(cmd::VirtualDetector);
    EXPECT_FALSE(det->on());

    ASSERT_TRUE(switchOn());
    EXPECT_TRUE(det->on());
    EXPECT_TRUE(app().commandState(cmd::VirtualDetector).checked);
    EXPECT_EQ(det->speedFactor(), 10) << "no time expansion: 10";
    EXPECT_EQ(det->playbackRateHz(), 38400u);
    // No selection, no cursor: the first frame shown, a quarter of the rate.
    EXPECT_EQ(plot->detectorCursorFrame(), 0);
    EXPECT_EQ(plot->detectorCursorHz(), kRate / 4.0);

    // A click in the spectrogram takes the cursor there.
    const PlotLayout& L = plot->layout();
    const std::int64_t at = L.plotStart + L.samplesPerPlot / 3;
    QTest::mouseClick(plot, Qt::LeftButton, Qt::NoModifier, pointOf(plot, at, 40000));
    const PlotPoint clicked = plot->pointAt(pointOf(plot, at, 40000));
    ASSERT_TRUE(clicked.hasFrequency);
    EXPECT_EQ(plot->detectorCursorFrame(), clicked.sample);
    EXPECT_NEAR(plot->detectorCursorHz(), 40000, std::abs(clicked.frequencyHz - 40000) + 1);
    EXPECT_FALSE(view->cursorRecord().isSet()) << "the click moved the detector cursor, not the marking cursor";

    // Up and Down: two pixels of the frequency axis each way.
    const double before = plot->detectorCursorHz();
    const double perPixel = static_cast<double>(L.spectMax - L.spectMin) /
                            std::abs(plot->painter()->frequencyToDeviceY(static_cast<double>(L.spectMax), 0) -
                                     plot->painter()->frequencyToDeviceY(static_cast<double>(L.spectMin), 0));
    QTest::keyClick(plot, Qt::Key_Up);
    EXPECT_NEAR(plot->detectorCursorHz() - before, 2 * perPixel, perPixel);
    QTest::keyClick(plot, Qt::Key_Down);
    QTest::keyClick(plot, Qt::Key_Down);
    EXPECT_LT(plot->detectorCursorHz(), before);
    // Left/Right: one pixel column in time.
    const std::int64_t frame = plot->detectorCursorFrame();
    QTest::keyClick(plot, Qt::Key_Right);
    EXPECT_EQ(plot->detectorCursorFrame(), frame + std::max<std::int64_t>(1, L.samplesPerColumn));
    // Nothing outside the plot is taken.
    EXPECT_FALSE(det->setCursor(L.plotStart + L.samplesPerPlot + 10, 40000));
    EXPECT_FALSE(det->setCursor(frame, static_cast<double>(L.spectMax) + 1000));

    // Off again: the cursor goes.
    ASSERT_TRUE(app().runCommand(cmd::VirtualDetector));
    EXPECT_FALSE(det->on());
    EXPECT_EQ(plot->detectorCursorFrame(), -1);
}

TEST_F(VirtualDetectorViewTest, PlaySoundListensThroughTheDetectorAtTheLowerRate)
{
    start({wav});
    startSoundDevices("", "");
    CVesAnaView* view = activeView();
    ASSERT_NE(view, nullptr);
    ASSERT_TRUE(switchOn(10));
    ViewDetector* det = ViewDetector::of(view);
    // Listening starts at the detector cursor.
    const std::int64_t from = 38400;
    ASSERT_TRUE(det->setCursor(from, 40000));

    ASSERT_TRUE(app().runCommand(cmd::PlaySound));
    EXPECT_TRUE(soundBusy());
    EXPECT_FALSE(app().commandState(cmd::VirtualDetector).enabled) << "not switched while listening";
    EXPECT_EQ(ViewPlayback::of(view)->openedRateHz(), 38400u);
    EXPECT_EQ(view->plot()->playCursor(), -1) << "the detector cursor shows the position";
    QElapsedTimer t;
    t.start();
    while (soundBusy() && t.elapsed() < 20000)
        processEvents();
    ASSERT_FALSE(soundBusy());
    EXPECT_EQ(view->statusStrip()->statusText(), QStringLiteral("End of play"));
    EXPECT_EQ(view->plot()->detectorCursorFrame(), from) << "back where listening began";

    // 0.9 s of 384 kHz are heard as (whole blocks of) 0.9 s at 38 400 Hz.
    std::ifstream in(out, std::ios::binary);
    const std::vector<char> played((std::istreambuf_iterator<char>(in)), {});
    const std::int64_t block = detector::blockFrames(view->doc().format(), 38400, 10);
    const std::int64_t blocks = (view->doc().lengthFrames() - from) / block;
    EXPECT_EQ(static_cast<std::int64_t>(played.size()), blocks * (block / 10) * 2);
    EXPECT_NEAR(static_cast<double>(played.size()) / 2 / 38400, 0.9, static_cast<double>(block) / kRate);
}

// Without the speed factor's rate every k-th frame is still heard, at the
// recording's own rate: k times faster than real time.
TEST_F(VirtualDetectorViewTest, WithoutTheSpeedFactorsRateItPlaysKTimesFaster)
{
    start({wav});
    startSoundDevices("", "");
    CVesAnaView* view = activeView();
    ASSERT_TRUE(switchOn(10, false));
    ViewDetector* det = ViewDetector::of(view);
    EXPECT_EQ(det->playbackRateHz(), kRate);
    ASSERT_TRUE(det->setCursor(0, 40000));
    const std::vector<char> played = playToTheEnd();
    EXPECT_EQ(ViewPlayback::of(view)->openedRateHz(), kRate);
    const std::int64_t block = detector::blockFrames(view->doc().format(), kRate, 10);
    ASSERT_GT(block, 0);
    EXPECT_EQ(static_cast<std::int64_t>(played.size()), view->doc().lengthFrames() / block * (block / 10) * 2);
}

}  // namespace
