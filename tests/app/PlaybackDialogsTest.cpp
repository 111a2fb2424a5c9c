// The Sound format dialog's checks and the Change play speed dialog, driven
// offscreen as a user would.
#include "AppTestSupport.h"

#include "document/CVesSoundDoc.h"
#include "soundio/CDevs.h"
#include "soundio/CPlaySpeedDlg.h"
#include "records/VesSettings.h"
#include "soundio/CSndFormat.h"
#include "soundio/SoundDevices.h"

#include <QAbstractButton>
#include <QApplication>
#include <QButtonGroup>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QTimer>

#include <gtest/gtest.h>

namespace {

// Answers the next message boxes the dialog shows with `answers`, one each,
// and records their texts.
struct MessageBoxScript {
    std::vector<QMessageBox::StandardButton> answers;
    std::vector<std::string> texts;
    void arm()
    {
        QTimer::singleShot(10, [this] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box) {
                arm();
                return;
            }
            texts.push_back(box->text().toStdString());
            if (QAbstractButton* b = box->button(answers[texts.size() - 1]))
                b->click();
            else
                box->button(QMessageBox::Ok)->click();
            if (texts.size() < answers.size())
                arm();
        });
    }
};

class SoundFormatDialogTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        apptest::processEvents();
        soundDevices().fill({}, {});  // no output device: the device refuses every format
        const std::vector<std::int16_t> frames(38400, 1000);
        doc.setFormat(SoundFormat::pcm(1, 16, 384000));
        doc.appendSamples(frames.data(), static_cast<std::int64_t>(frames.size() * 2));
        doc.setLengthFrames(38400);
    }
    StderrDocHost host;
    CVesSoundDoc doc{host};
};

TEST_F(SoundFormatDialogTest, NewFrequencyOfARecordingAsksAndRelabelsTheSamples)
{
    CSndFormat dlg(doc);
    EXPECT_FALSE(dlg.bitsGroup()->button(3)->isEnabled()) << "24/32 bits only for an empty recording";
    EXPECT_FALSE(dlg.channelsGroup()->button(1)->isEnabled());
    EXPECT_EQ(dlg.rateGroup()->checkedId(), 6) << "384 kHz is not one of the fixed rates";
    EXPECT_EQ(dlg.otherRate()->text(), QStringLiteral("384000"));

    // Out of range: the range message, and the dialog stays open.
    dlg.otherRate()->setText(QStringLiteral("99"));
    MessageBoxScript range;
    range.answers = {QMessageBox::Ok};
    range.arm();
    dlg.accept();
    EXPECT_EQ(range.texts, std::vector<std::string>{"Please enter an integer between 100 and 5120000."});
    EXPECT_EQ(dlg.result(), 0);

    // A No to the second question keeps the dialog open.
    dlg.otherRate()->setText(QStringLiteral("250000"));
    MessageBoxScript no;
    no.answers = {QMessageBox::Yes, QMessageBox::No};
    no.arm();
    dlg.accept();
    const std::vector<std::string> asked = {
        "This format (sampling frequency, sampling resolution and number of channels) is not supported by the "
        "selected sound device. Continue?",
        "Sampling frequency in existing file will be changed. Continue?"};
    EXPECT_EQ(no.texts, asked);
    EXPECT_EQ(dlg.result(), 0);

    MessageBoxScript yes;
    yes.answers = {QMessageBox::Yes, QMessageBox::Yes};
    yes.arm();
    dlg.accept();
    EXPECT_EQ(yes.texts, asked);
    EXPECT_EQ(dlg.result(), QDialog::Accepted);
    EXPECT_TRUE(dlg.apply(doc));
    EXPECT_EQ(doc.format().samplesPerSec, 250000u);
    EXPECT_EQ(doc.format().bitsPerSample, 16);
    EXPECT_EQ(doc.lengthFrames(), 38400) << "relabelled, not converted";
}

TEST_F(SoundFormatDialogTest, TimeExpansionAndCommentsAreStored)
{
    CSndFormat dlg(doc);
    dlg.timeExpansion()->setText(QStringLiteral("10"));
    EXPECT_EQ(dlg.timeExp25(), 10000);
    EXPECT_TRUE(dlg.apply(doc)) << "a new time expansion recomputes the views";
    EXPECT_EQ(doc.recData().m_timeExp25, 10000);
    EXPECT_EQ(doc.format().samplesPerSec, 384000u);
}

// A format set on the recording becomes the format of new recordings; a
// recording whose frequency stays keeps the defaults' format. Time expansion
// and comments always become the defaults.
TEST_F(SoundFormatDialogTest, AppliedFormatAndCommentsBecomeTheDefaultsForNewRecordings)
{
    for (const bool newRate : {true, false}) {
        SCOPED_TRACE(newRate);
        VesDefData defaults;
        defaults.m_rate = 44100;
        CSndFormat dlg(doc);
        if (newRate)
            dlg.otherRate()->setText(QString::number(doc.format().samplesPerSec == 250000 ? 300000 : 250000));
        dlg.timeExpansion()->setText(QStringLiteral("10"));
        apptest::child<QLineEdit>(&dlg, "Contents")->setText(QStringLiteral("Pipistrelle roost"));
        apptest::child<QLineEdit>(&dlg, "Recorded by")->setText(QStringLiteral("A. Recorder"));
        dlg.apply(doc, &defaults);
        EXPECT_EQ(defaults.m_rate, newRate ? static_cast<std::int32_t>(doc.format().samplesPerSec) : 44100);
        EXPECT_EQ(defaults.m_chans, 1);
        EXPECT_EQ(defaults.m_bits, 16);
        EXPECT_EQ(defaults.m_timeExp25, 10000);
        EXPECT_EQ(defaults.m_at, "Pipistrelle roost");
        EXPECT_EQ(defaults.m_by, "A. Recorder");
    }
    // A new recording takes them.
    VesDefData defaults;
    CSndFormat dlg(doc);
    dlg.otherRate()->setText(QStringLiteral("192000"));
    dlg.apply(doc, &defaults);
    CVesSoundDoc fresh(host, defaults);
    EXPECT_EQ(fresh.format().samplesPerSec, 192000u);
}

TEST(PlaySpeedDialog, FieldsMakeThePreset)
{
    apptest::processEvents();
    soundDevices().fill({}, {{"default", "default", 2, 8000, 768000}, {"hw:1", "hw:1", 2, 8000, 384000}});
    CPlaySpeedDlg dlg({"hw:1", 0.1, 0});
    EXPECT_EQ(dlg.deviceBox()->count(), 2);
    EXPECT_EQ(dlg.deviceBox()->currentText(), QStringLiteral("hw:1"));
    EXPECT_EQ(dlg.relativeBox()->currentText(), QStringLiteral("0.10"));
    EXPECT_EQ(dlg.absoluteBox()->currentText(), QStringLiteral("Original"));
    VesPlaySpeedData p = dlg.result();
    EXPECT_EQ(p.device, "hw:1");
    EXPECT_DOUBLE_EQ(p.relSpeed, 0.1);
    EXPECT_EQ(p.absSpeed, 0);

    dlg.absoluteBox()->setCurrentText(QStringLiteral("44100"));
    EXPECT_EQ(dlg.relativeBox()->currentText(), QStringLiteral("1.00")) << "a fixed rate plays at speed 1";
    dlg.relativeBox()->setCurrentText(QStringLiteral("0.5"));
    p = dlg.result();
    EXPECT_EQ(p.absSpeed, 44100);
    EXPECT_DOUBLE_EQ(p.relSpeed, 0.5);
}

TEST(SoundDevicesDialog, ListsEveryDeviceAndSelectsTheOneChosen)
{
    apptest::processEvents();
    std::vector<AudioDeviceInfo> outs;
    for (int i = 0; i < 9; ++i)
        outs.push_back({"hw:" + std::to_string(i), "card " + std::to_string(i), 2, 8000, 384000});
    soundDevices().fill({{"mic", "mic", 1, 8000, 500000}}, outs);
    soundDevices().selectByName("card 3", "mic");
    CDevs dlg;
    ASSERT_EQ(dlg.outputList()->count(), 9) << "not four fixed buttons";
    EXPECT_EQ(dlg.outputList()->currentItem()->text(), QStringLiteral("card 3  384 kHz,stereo"));
    EXPECT_EQ(dlg.inputList()->count(), 1);
    dlg.outputList()->setCurrentRow(7);
    dlg.apply();
    EXPECT_EQ(soundDevices().playbackDeviceName(), "card 7");
    EXPECT_EQ(soundDevices().recordingDeviceName(), "mic");
}

}  // namespace
