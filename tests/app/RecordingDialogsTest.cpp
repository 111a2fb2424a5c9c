// The recording dialogs and the status strip: the parameters dialog's fields
// and checks, the status window driving a real engine (fed sound without a
// device, and through ALSA's file plugin), the help text and the strip's
// device and rate texts.
#include "AppTestSupport.h"

#include "autorec/AutoRecRun.h"
#include "autorec/CAutoRecDlg.h"
#include "autorec/CAutoRecHelpDlg.h"
#include "autorec/CAutoRecStatusDlg.h"
#include "autorec/RecDiskSpace.h"
#include "autorec/RecordingCommands.h"
#include "commands/CommandTable.h"
#include "core/ThreadStartFaults.h"
#include "widgets/CNumEdit.h"
#include "display/CursorMarks.h"
#include "widgets/CRecStatus.h"
#include "display/CVesAnaView.h"
#include "document/CVesSoundDoc.h"
#include "records/GuanoRecord.h"
#include "shell/CAppDocument.h"
#include "shell/CVesSoundApp.h"
#include "soundio/SoundDevices.h"
#include "soundio/ExternalControl.h"
#include "soundio/SoundSystem.h"
#include "shell/CMainFrame.h"
#include "shell/StatusPanes.h"
#include "soundfiles/VesFileType.h"

#include <QAbstractButton>
#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTextBrowser>
#include <QThread>
#include <QTimer>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>
#include <vector>

namespace {

// A run that records everything into the document ("Record sound").
autorec::AutoRecConfig recordingInto(CVesSoundDoc& doc)
{
    autorec::AutoRecConfig config;
    config.parms.m_trigger = autorec::TriggerType::Continuous;
    config.format = doc.format();
    config.store = &doc.samples();
    return config;
}

// ---------------------------------------------------------------------------
// Status strip

TEST(RecStatusText, DeviceNamesAreShortenedAtTheFirstFittingCut)
{
    struct Case {
        const char* name;
        const char* shortened;
    } cases[] = {
        // "(" at position 30 and a blank at 22: the "(" cut first, then the blank.
        {"USB Ultrasound Mic Pro 500k (hw:1,0) card", "USB Ultrasound Mic Pro"},
        // Short enough: unchanged.
        {"Default input", "Default input"},
        // A "(" after the 10th character that leaves less than 26 is enough.
        {"Ultrasound Card (hw:CARD=Bat,DEV=0)", "Ultrasound Card"},
        // A "(" within the first ten characters does not count: the "," after the 20th does.
        {"Bat Card (hw:CARD=Bat,DEV=0) ultrasonic", "Bat Card (hw:CARD=Bat"},
        // No blank after the 20th character: the "," is next.
        {"ultrasonic_capture_device,hw:0,0,snd_usb", "ultrasonic_capture_device"},
        // Nothing to cut at: the name stays as it is.
        {"abcdefghijklmnopqrstuvwxyz0123456789", "abcdefghijklmnopqrstuvwxyz0123456789"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(CRecStatus::shortenDeviceName(QString::fromLatin1(c.name)), QString::fromLatin1(c.shortened))
            << c.name;
}

TEST(RecStatusText, RateTextSaysWhetherTheRateAlreadyHoldsTheSpeed)
{
    EXPECT_EQ(CRecStatus::rateText(30000, 0.1, false), QStringLiteral(" 30000 Hz x (300000 Hz x 0.10). "));
    EXPECT_EQ(CRecStatus::rateText(384000, 0.1, true), QStringLiteral(" 384000 Hz x 0.10. "));
    EXPECT_EQ(CRecStatus::rateText(500000, 1.0, false), QStringLiteral(" 500000 Hz. "));
    EXPECT_EQ(CRecStatus::rateText(96, 1.0, false), QStringLiteral("   96 Hz. "));

    CRecStatus strip;
    EXPECT_EQ(strip.middleText(), QString()) << "no device, no override: nothing";
    strip.setDeviceName(QStringLiteral("USB Ultrasound Mic Pro 500k (hw:1,0) card"));
    strip.setRate(30000, 0.1, false);
    EXPECT_EQ(strip.middleText(), QStringLiteral("USB Ultrasound Mic Pro,  30000 Hz x (300000 Hz x 0.10). "));
    strip.setRate(-1, -1, true);  // keeps both
    EXPECT_TRUE(strip.middleText().endsWith(QStringLiteral("x 0.10). ")));
    strip.setMiddleText(QStringLiteral("override"));
    EXPECT_EQ(strip.middleText(), QStringLiteral("override"));
}

// ---------------------------------------------------------------------------
// Help

TEST(AutoRecHelp, RichTextBecomesStyledTextWithoutItsTables)
{
    const QByteArray rtf = "{\\rtf1\\ansi{\\fonttbl{\\f0 Helvetica;}}{\\colortbl;\\red0\\green0\\blue0;}"
                           "{\\*\\generator Writer;}\\f0 {\\b Bold} plain\\par 25\\'b5s \\u8211? x\\{y\\}}";
    const QString html = CAutoRecHelpDlg::rtfToHtml(rtf);
    EXPECT_TRUE(html.contains(QStringLiteral("<b>Bold</b>"))) << html.toStdString();
    EXPECT_FALSE(html.contains(QStringLiteral("Helvetica"))) << "font table skipped";
    EXPECT_FALSE(html.contains(QStringLiteral("Writer"))) << "hidden group skipped";
    QTextDocument doc;
    doc.setHtml(html);
    EXPECT_EQ(doc.toPlainText(), QString::fromUtf8("Bold plain\n25\xC2\xB5s \xE2\x80\x93 x{y}"));
}

TEST(AutoRecHelp, ShowsTheShippedHelpAndStaysEmptyWithoutIt)
{
    apptest::processEvents();
    const QString shipped = CAutoRecHelpDlg::findHelpFile();
    ASSERT_FALSE(shipped.isEmpty()) << "HlpARec.rtf is built beside the program";
    CAutoRecHelpDlg dlg(shipped);
    EXPECT_TRUE(dlg.text()->toPlainText().contains(QStringLiteral("Recording time before trigger")));
    EXPECT_TRUE(dlg.text()->isReadOnly());
    CAutoRecHelpDlg missing(QStringLiteral("/nonexistent/HlpARec.rtf"));
    EXPECT_TRUE(missing.text()->toPlainText().isEmpty());
}

// ---------------------------------------------------------------------------
// Parameters dialog

class RecordingDialogTest : public apptest::AppTest {
protected:
    void SetUp() override
    {
        CNumEdit::setMessageSink([this](QWidget*, const std::string& text) { fieldMessages.push_back(text); });
    }
    void TearDown() override { CNumEdit::setMessageSink({}); }

    // A new recording of the given format in the program.
    CVesAnaView* newRecording(int channels, int bits, std::uint32_t rate)
    {
        start({});
        return newRecordingView(channels, bits, rate);
    }
    // Another new recording in the running program.
    CVesAnaView* newRecordingView(int channels, int bits, std::uint32_t rate)
    {
        app().runCommand(cmd::FileNew);
        apptest::processEvents();
        CVesAnaView* view = activeView();
        if (view) {
            view->doc().setFormat(SoundFormat::pcm(static_cast<std::uint16_t>(channels),
                                                   static_cast<std::uint16_t>(bits), rate));
            view->doc().updateAllViews(viewupdate::Format{});
        }
        return view;
    }

    std::vector<std::string> fieldMessages;
};

TEST_F(RecordingDialogTest, DefaultThresholdOfZeroDbStaysInsideThePercentFieldAndDoesNotBlockStart)
{
    CVesAnaView* view = newRecording(1, 16, 48000);
    ASSERT_NE(view, nullptr);
    VesAutoRecParms defaults;  // 0 dB
    CAutoRecDlg dlg(*view, defaults);
    EXPECT_EQ(dlg.thresholdPercent()->text(), QStringLiteral("99.99"));
    EXPECT_TRUE(dlg.readFields(true));
    EXPECT_TRUE(fieldMessages.empty()) << fieldMessages.front();
    EXPECT_EQ(dlg.parms().m_ampThresProc, 9999);
    // The default upper frequency limit (-1, the whole band) reads back in range too.
    EXPECT_EQ(dlg.parms().m_frecMax, 0);

    VesAutoRecParms manual;
    manual.m_trigger = autorec::TriggerType::Continuous;
    CAutoRecDlg manualDlg(*view, manual);
    EXPECT_TRUE(manualDlg.readFields(true));
    EXPECT_EQ(manualDlg.parms().m_trigger, autorec::TriggerType::Continuous)
        << "the trigger radios are not exchanged in manual mode";
}

TEST_F(RecordingDialogTest, LeavingAThresholdFieldSetsTheOther)
{
    CVesAnaView* view = newRecording(1, 16, 48000);
    ASSERT_NE(view, nullptr);
    CAutoRecDlg dlg(*view, VesAutoRecParms{});
    struct Case {
        bool fromDb;
        const char* typed;
        const char* other;
    } cases[] = {
        {true, "-6.00", "50.12"}, {false, "10.00", "-20.00"}, {true, "-40.00", "1.00"}, {false, "0", "-100.00"}};
    for (const Case& c : cases) {
        CNumEdit* from = c.fromDb ? dlg.thresholdDb() : dlg.thresholdPercent();
        CNumEdit* to = c.fromDb ? dlg.thresholdPercent() : dlg.thresholdDb();
        from->setText(QString::fromLatin1(c.typed));
        if (c.fromDb)
            dlg.dbLeft();
        else
            dlg.percentLeft();
        EXPECT_EQ(to->text(), QString::fromLatin1(c.other)) << c.typed;
    }
    // A coupling still pending when Close reads the fields is applied first.
    dlg.thresholdDb()->setText(QStringLiteral("-6.00"));
    emit dlg.thresholdDb()->textEdited(dlg.thresholdDb()->text());
    ASSERT_TRUE(dlg.readFields(true));
    EXPECT_EQ(dlg.parms().m_ampThresDb, -600);
    EXPECT_EQ(dlg.parms().m_ampThresProc, 5012);
}

TEST_F(RecordingDialogTest, FieldsAreEnabledByTriggerTypeAndNumberingAndReadBackWithTheirCodes)
{
    CVesAnaView* view = newRecording(2, 16, 384000);
    ASSERT_NE(view, nullptr);
    VesAutoRecParms p;
    p.m_trigger = autorec::TriggerType::Level;
    p.m_trigChans = autorec::TriggerChannels::Right;
    CAutoRecDlg dlg(*view, p);
    EXPECT_TRUE(dlg.thresholdDb()->isEnabled());
    EXPECT_FALSE(dlg.lowerFrequency()->isEnabled());
    EXPECT_TRUE(dlg.triggerSource()->button(2)->isChecked());
    EXPECT_TRUE(dlg.triggerSource()->button(1)->isEnabled()) << "stereo: the source can be chosen";

    dlg.triggerType()->button(1)->click();
    for (QWidget* w : std::initializer_list<QWidget*>{dlg.lowerFrequency(), dlg.upperFrequency(), dlg.spectrumThreshold(),
                                                      dlg.fftSize(), dlg.fftOverlap(), dlg.fftWindow(), dlg.minDuration()})
        EXPECT_TRUE(w->isEnabled()) << w->accessibleName().toStdString();
    EXPECT_FALSE(dlg.thresholdDb()->isEnabled());
    EXPECT_FALSE(dlg.thresholdPercent()->isEnabled());

    struct Naming {
        int index;
        bool name, sequence;
    } namings[] = {{0, false, false}, {1, true, true}, {2, true, true}, {3, true, false}, {4, true, false}, {5, true, false}};
    for (const Naming& n : namings) {
        dlg.fileNumbering()->setCurrentIndex(n.index);
        EXPECT_EQ(dlg.fileName()->isEnabled(), n.name) << n.index;
        EXPECT_EQ(dlg.sequenceStart()->isEnabled(), n.sequence) << n.index;
    }

    dlg.fftWindow()->setCurrentText(QStringLiteral("Parzen"));
    dlg.fftSize()->setCurrentText(QStringLiteral("512 samples"));
    dlg.fftOverlap()->setValue(50);
    dlg.upperFrequency()->setValue(120000);
    ASSERT_TRUE(dlg.readFields(true));
    EXPECT_EQ(dlg.parms().m_trigger, autorec::TriggerType::Spectrum);
    EXPECT_EQ(dlg.parms().m_fftWindow, 1);
    EXPECT_EQ(dlg.parms().m_fftSize, 512);
    EXPECT_EQ(dlg.parms().m_fftMinOverLap, 50);
    EXPECT_EQ(dlg.parms().m_frecMax, 120000);
    EXPECT_EQ(dlg.parms().m_trigChans, autorec::TriggerChannels::Right);
}

TEST_F(RecordingDialogTest, MonoRecordingDisablesTheSourceAndStoresBothChannels)
{
    CVesAnaView* view = newRecording(1, 16, 48000);
    ASSERT_NE(view, nullptr);
    VesAutoRecParms p;
    p.m_trigChans = autorec::TriggerChannels::Right;
    CAutoRecDlg dlg(*view, p);
    for (QAbstractButton* b : dlg.triggerSource()->buttons())
        EXPECT_FALSE(b->isEnabled());
    ASSERT_TRUE(dlg.readFields(true));
    EXPECT_EQ(dlg.parms().m_trigChans, autorec::TriggerChannels::Both);
}

TEST_F(RecordingDialogTest, AFieldOutOfRangeKeepsTheDialogWithItsMessage)
{
    CVesAnaView* view = newRecording(1, 16, 48000);
    ASSERT_NE(view, nullptr);
    CAutoRecDlg dlg(*view, VesAutoRecParms{});
    dlg.show();
    dlg.timeBefore()->setText(QStringLiteral("20000"));
    dlg.accept();
    EXPECT_TRUE(dlg.isVisible());
    ASSERT_EQ(fieldMessages.size(), 1u);
    dlg.timeBefore()->setText(QStringLiteral("100"));
    dlg.fileName()->setText(QString(300, QLatin1Char('n')));
    EXPECT_FALSE(dlg.readFields(false)) << "a name longer than its 260-byte field";
    dlg.fileName()->setText(QString::fromStdString(dir.file("night")));
    dlg.accept();
    EXPECT_EQ(dlg.result(), QDialog::Accepted);
    EXPECT_EQ(dlg.parms().m_recTimeBefore, 100);
    EXPECT_EQ(dlg.parms().m_fileName, dir.file("night"));
}

TEST_F(RecordingDialogTest, FreeSpaceLineNamesTheDriveOfTheFiles)
{
    CVesAnaView* view = newRecording(1, 16, 48000);
    ASSERT_NE(view, nullptr);
    VesAutoRecParms p;
    p.m_fileSwitch = autorec::FileNaming::Sequence;
    p.m_fileName = dir.file("not/yet/there/bat");
    CAutoRecDlg dlg(*view, p);
    const auto space = recdisk::diskSpaceOf(p.m_fileName);
    ASSERT_TRUE(space.has_value()) << "measured at the nearest folder that exists";
    EXPECT_GT(space->freeBytes, 0);
    EXPECT_TRUE(dlg.freeSpaceLine()->text().contains(QString::fromStdString(space->drive)))
        << dlg.freeSpaceLine()->text().toStdString();
    EXPECT_FALSE(recdisk::diskSpaceOf("").has_value() && false);
}

TEST_F(RecordingDialogTest, StartWithoutADeviceLeavesNoInvisibleDialog)
{
    CVesAnaView* view = newRecording(1, 16, 48000);
    ASSERT_NE(view, nullptr);
    soundDevices().fill({}, {});
    VesAutoRecParms manual;
    manual.m_trigger = autorec::TriggerType::Continuous;
    CAutoRecDlg dlg(*view, manual);
    EXPECT_EQ(dlg.run(), QDialog::Rejected);
    EXPECT_FALSE(dlg.isVisible());
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    ASSERT_FALSE(dialogs().messages.empty());
    EXPECT_EQ(dialogs().messages.back(), "No recording device selected");

    // The command itself opens "Sound devices" first, then gives up.
    apptest::whenModal([](QWidget* w) { w->close(); });
    EXPECT_FALSE(app().runCommand(cmd::RecordSound) && !dialogs().messages.empty() &&
                 dialogs().messages.back() != "No recording device selected!");
    EXPECT_EQ(dialogs().messages.back(), "No recording device selected!");
    EXPECT_FALSE(soundBusy());
}

TEST_F(RecordingDialogTest, DeviceErrorBeforeTheStatusWindowIsShown)
{
    CVesAnaView* view = newRecording(1, 16, 48000);
    ASSERT_NE(view, nullptr);
    soundDevices().fill({AudioDeviceInfo{"hw:CARD=NoSuchCard,DEV=7", "Missing card", 1, 8000, 500000}}, {});
    soundDevices().selectByName("", "Missing card");
    ASSERT_TRUE(soundDevices().recordingDevicePresent());
    CAutoRecDlg dlg(*view, VesAutoRecParms{});
    dlg.show();
    EXPECT_FALSE(dlg.start());
    EXPECT_EQ(dlg.statusDialog(), nullptr);
    EXPECT_TRUE(dlg.isVisible()) << "the dialog stays for another try";
    ASSERT_FALSE(dialogs().messages.empty());
    EXPECT_NE(dialogs().messages.back().find("Failed to open waveform recording device."), std::string::npos)
        << dialogs().messages.back();
}

// ---------------------------------------------------------------------------
// Status window on a real engine fed with sound

// 16-bit mono samples: silence with tone bursts of `burstMs` at `burstAt` ms.
std::vector<std::int16_t> burstSound(std::uint32_t rate, int totalMs, const std::vector<int>& burstAt, int burstMs)
{
    std::vector<std::int16_t> s(static_cast<std::size_t>(rate) * totalMs / 1000, 0);
    for (int at : burstAt)
        for (std::int64_t i = 0; i < std::int64_t(rate) * burstMs / 1000; ++i)
            s[static_cast<std::size_t>(std::int64_t(rate) * at / 1000 + i)] =
                static_cast<std::int16_t>(16000 * std::sin(2 * M_PI * 5000.0 * i / rate));
    return s;
}

template <class Pred>
bool waitFor(Pred pred, int ms = 20000)
{
    QElapsedTimer t;
    t.start();
    while (!pred() && t.elapsed() < ms)
        apptest::processEvents();
    return pred();
}

TEST_F(RecordingDialogTest, RecordingWithSoundWaitsForStartAndClearFileEmptiesIt)
{
    CVesAnaView* view = newRecording(1, 16, 48000);
    ASSERT_NE(view, nullptr);
    CVesSoundDoc& doc = view->doc();
    const std::vector<std::int16_t> old(4800, 1000);
    ASSERT_TRUE(doc.appendSamples(old.data(), 9600));
    doc.setLengthFrames(4800);
    autorec::AutoRecConfig config = recordingInto(doc);
    AutoRecRun run(doc);
    std::string error;
    ASSERT_TRUE(run.start(config, error)) << error;
    CAutoRecStatusDlg status(run, config.parms, QStringLiteral("Recording Status"));
    status.show();
    EXPECT_FALSE(status.runningState());
    EXPECT_TRUE(status.logText().contains(QStringLiteral("File not empty!")));
    EXPECT_EQ(status.startStopButton()->text(), QStringLiteral("Start"));
    EXPECT_EQ(status.timeLabel()->text(), QStringLiteral("100 ms recorded"));
    EXPECT_TRUE(status.clearButton()->isEnabled());

    status.clearButton()->click();
    ASSERT_TRUE(waitFor([&] { return doc.samples().length() == 0 && doc.lengthFrames() == 0; }));
    status.startStopButton()->click();  // Start
    EXPECT_EQ(status.startStopButton()->text(), QStringLiteral("Stop"));
    const std::vector<std::int16_t> fresh(9600, -7);
    ASSERT_TRUE(run.engine().feed(fresh.data(), 19200));
    ASSERT_TRUE(waitFor([&] { return doc.samples().length() >= 19200; }));
    status.exitButton()->click();
    run.finish();
    EXPECT_EQ(doc.lengthFrames(), 9600);
}

// ---------------------------------------------------------------------------
// Record sound through ALSA's file plugin

class RecordSoundAlsaTest : public apptest::AppTest {
protected:
    void SetUp() override
    {
        in = dir.file("capture_in.raw");
        const std::string conf = dir.file("alsa.conf");
        std::ofstream(conf) << "pcm.filecap { type file slave.pcm { type null } file \"" << dir.file("tee.raw")
                            << "\" infile \"" << in << "\" format \"raw\" }\n"
                            << "pcm.fileplay { type file slave.pcm { type null } file \"" << dir.file("play.raw")
                            << "\" format \"raw\" }\n"
                            << "pcm.default { type asym playback.pcm \"fileplay\" capture.pcm \"filecap\" }\n";
        setenv("ALSA_CONFIG_PATH", conf.c_str(), 1);
    }
    void TearDown() override { unsetenv("ALSA_CONFIG_PATH"); }

    // The device's sound, with `zeros` frames of silence after it.
    void writeCapture(std::vector<std::int16_t> samples, std::size_t zeros)
    {
        samples.resize(samples.size() + zeros, 0);
        std::ofstream(in, std::ios::binary)
            .write(reinterpret_cast<const char*>(samples.data()), static_cast<std::streamsize>(samples.size() * 2));
    }
    // A new mono 16-bit 48 kHz recording in the program, the capture device chosen.
    CVesAnaView* newRecording()
    {
        start({});
        startSoundDevices("", "");
        app().runCommand(cmd::FileNew);
        apptest::processEvents();
        CVesAnaView* view = activeView();
        if (view)
            view->doc().setFormat(SoundFormat::pcm(1, 16, 48000));
        return view;
    }
    std::string in;
};

TEST_F(RecordSoundAlsaTest, StatusWindowFollowsARunAndMarksTheSecondRecording)
{
    // The capture device plays calls at 1 s and 2 s, then silence.
    const auto sound = burstSound(48000, 3000, {1000, 2000}, 100);
    writeCapture(sound, 48000 * 30);
    CVesAnaView* view = newRecording();
    ASSERT_NE(view, nullptr);
    CVesSoundDoc& doc = view->doc();
    autorec::AutoRecConfig config;
    config.parms.m_trigger = autorec::TriggerType::Level;
    config.parms.m_ampThresDb = -2000;  // 10 %
    config.parms.m_ampThresProc = 1000;
    config.parms.m_recTimeBefore = 10;
    config.parms.m_recTimeAfter = 50;
    config.parms.m_fileMarks = autorec::MarkType::Sequence;
    config.format = doc.format();
    config.store = &doc.samples();
    config.backend = &audioBackend();
    config.deviceId = "default";
    config.deviceName = "Test capture";
    // The file plugin delivers far faster than real time; a long queue keeps
    // the first seconds whatever the analysis does.
    config.inputBuffers = 4096;
    AutoRecRun run(doc);
    std::string error;
    ASSERT_TRUE(run.start(config, error)) << error;
    CAutoRecStatusDlg status(run, config.parms, QStringLiteral("Recording Status"));
    status.show();
    EXPECT_TRUE(status.runningState()) << "an empty recording starts listening at once";
    EXPECT_FALSE(status.clearButton()->isEnabled());
    EXPECT_FALSE(status.newFileButton()->isEnabled());
    ASSERT_TRUE(waitFor([&] { return status.windowTitle() == QStringLiteral("Automatic Recording Status"); }));

    ASSERT_TRUE(waitFor([&] { return run.status().recordings == 2 && status.stateText() == QStringLiteral("Listening  "); }));

    status.startStopButton()->click();  // Stop
    ASSERT_TRUE(waitFor([&] { return status.stateText() == QStringLiteral("Paused"); }));
    EXPECT_EQ(status.startStopButton()->text(), QStringLiteral("Start"));
    EXPECT_TRUE(status.clearButton()->isEnabled());
    // Two recordings of before + burst + after, one after the other.
    const std::int64_t each = 48000 * (10 + 100 + 50) / 1000;
    EXPECT_NEAR(static_cast<double>(doc.lengthFrames()), 2.0 * each, 48.0 * 2);
    ASSERT_EQ(doc.marks().size(), 1u) << "the first recording begins an empty store: no mark";
    EXPECT_EQ(doc.marks()[0].m_label, "#2");
    EXPECT_NEAR(static_cast<double>(doc.marks()[0].m_posX), static_cast<double>(each), 48.0);
    EXPECT_TRUE(status.logText().contains(QStringLiteral("Oscillogram level triggered recording initiated.")));
    EXPECT_TRUE(status.logText().contains(QStringLiteral("Recording #2")));
    status.updateRecordedTime();
    const QString timeText = status.timeLabel()->text();
    ASSERT_TRUE(timeText.endsWith(QStringLiteral(" ms recorded"))) << timeText.toStdString();
    EXPECT_NEAR(timeText.section(QLatin1Char(' '), 0, 0).toInt(), 320, 2) << timeText.toStdString();
    const autorec::AutoRecStatus st = run.status();
    EXPECT_TRUE(status.countsLabel()->text().startsWith(QStringLiteral("Recordings: 2   Files: 0   Lost buffers: ")))
        << status.countsLabel()->text().toStdString();
    EXPECT_GE(st.buffersReceived, 48);

    // The retained stretches are the input's samples exactly.
    std::vector<std::int16_t> kept(static_cast<std::size_t>(doc.lengthFrames()));
    doc.samples().read(kept.data(), static_cast<std::int64_t>(kept.size() * 2), 0);
    // The first recording begins the time before the trigger ahead of the
    // first sample above the threshold (3277).
    std::ptrdiff_t firstTrigger = 0;
    while (std::abs(sound[static_cast<std::size_t>(firstTrigger)]) <= 3277)
        ++firstTrigger;
    const std::ptrdiff_t checked = each - 48;
    ASSERT_GE(static_cast<std::ptrdiff_t>(kept.size()), checked);
    EXPECT_TRUE(std::equal(kept.begin(), kept.begin() + checked, sound.begin() + firstTrigger - 480));

    status.exitButton()->click();
    EXPECT_EQ(status.result(), QDialog::Accepted);
    run.finish();
    EXPECT_FALSE(run.status().running);
}

TEST_F(RecordSoundAlsaTest, RecordSoundAppendsWhatTheDeviceDeliversAndZoomsToIt)
{
    // Two seconds of a known ramp, then zeros.
    std::vector<std::int16_t> ramp(48000 * 2);
    for (std::size_t i = 0; i < ramp.size(); ++i)
        ramp[i] = static_cast<std::int16_t>((i * 37) % 20000 - 10000);
    writeCapture(ramp, 48000 * 30);
    CVesAnaView* view = newRecording();
    ASSERT_NE(view, nullptr);
    ASSERT_TRUE(soundDevices().recordingDevicePresent());
    ASSERT_TRUE(app().commandState(cmd::RecordSound).enabled);

    QString state, title, strip;
    bool busyDuring = false;
    apptest::whenModal([&](QWidget* w) {
        auto* status = qobject_cast<CAutoRecStatusDlg*>(w);
        ASSERT_NE(status, nullptr);
        busyDuring = soundBusy();
        CVesSoundDoc& doc = CAppDocument::of(*activeView()).doc();
        waitFor([&] {
            return doc.samples().length() >= 48000 * 2 * 3 && status->stateText() == QStringLiteral("RECORDING");
        });
        state = status->stateText();
        title = status->windowTitle();
        strip = activeView()->statusStrip()->middleText();
        status->exitButton()->click();
    });
    ASSERT_TRUE(app().runCommand(cmd::RecordSound));
    apptest::processEvents();
    EXPECT_TRUE(busyDuring);
    EXPECT_FALSE(soundBusy());
    EXPECT_EQ(title, QStringLiteral("Recording Status"));
    EXPECT_EQ(state, QStringLiteral("RECORDING"));
    EXPECT_EQ(strip, CRecStatus::shortenDeviceName(QString::fromStdString(soundDevices().recordingDeviceName())) +
                         QStringLiteral(",  48000 Hz. "))
        << "the strip names the recording device while it records";
    EXPECT_EQ(view->statusStrip()->middleText(), QString()) << "and forgets it afterwards";
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);

    CVesSoundDoc& doc = view->doc();
    ASSERT_GE(doc.lengthFrames(), 48000 * 3);
    std::vector<std::int16_t> got(48000 * 2);
    doc.samples().read(got.data(), static_cast<std::int64_t>(got.size() * 2), 0);
    EXPECT_TRUE(std::equal(got.begin(), got.end(), ramp.begin())) << "every captured sample, in order";
    EXPECT_EQ(doc.recData().m_recDev, soundDevices().recordingDeviceName());
    EXPECT_TRUE(doc.modified());
    EXPECT_EQ(app().autoRecParms(), VesAutoRecParms{}) << "manual recording leaves the stored settings";

    // The new recording carries the metadata a recorder writes; its length
    // is that of the sound saved.
    GuanoRecord guano;
    std::string error;
    ASSERT_TRUE(doc.guano(guano, error)) << error;
    EXPECT_EQ(*guano.find("Model"), "Vesperon");
    EXPECT_EQ(*guano.find("Samplerate"), "48000");
    ASSERT_NE(guano.find("Vesperon|Device"), nullptr);
    EXPECT_EQ(*guano.find("Vesperon|Device"), soundDevices().recordingDeviceName());
    const std::int64_t frames = doc.lengthFrames();
    ASSERT_TRUE(saveOwnCloseAndReopen(dir.file("recorded.vprd")));
    GuanoRecord saved;
    ASSERT_TRUE(activeDocument()->doc().guano(saved, error)) << error;
    ASSERT_TRUE(saved.number("Length").has_value());
    EXPECT_NEAR(*saved.number("Length"), static_cast<double>(frames) / 48000, 1e-3);
}

}  // namespace

namespace {

TEST_F(RecordSoundAlsaTest, RecordingIntoARecordingWithSoundAppendsAfterAMarkOnceStarted)
{
    std::vector<std::int16_t> calls(48000);
    for (std::size_t i = 0; i < calls.size(); ++i)
        calls[i] = static_cast<std::int16_t>((i * 91) % 30000 - 15000);
    writeCapture(calls, 48000 * 30);
    const std::string wav = dir.file("old.wav");
    apptest::writeToneWave(wav, 48000, 0.5, 2000);
    start({wav});
    startSoundDevices("", "");
    CVesAnaView* view = activeView();
    ASSERT_NE(view, nullptr);
    CVesSoundDoc& doc = view->doc();
    const std::int64_t oldFrames = doc.lengthFrames();
    ASSERT_EQ(oldFrames, 24000);
    std::vector<std::int16_t> old(24000);
    doc.samples().read(old.data(), 48000, 0);

    bool waitedForStart = false;
    apptest::whenModal([&](QWidget* w) {
        auto* status = qobject_cast<CAutoRecStatusDlg*>(w);
        ASSERT_NE(status, nullptr);
        apptest::processEvents();
        waitedForStart = status->logText().contains(QStringLiteral("File not empty!")) &&
                         doc.samples().length() == 48000 && !status->runningState();
        status->startStopButton()->click();
        waitFor([&] { return doc.samples().length() >= 48000 + 96000; });
        status->exitButton()->click();
    });
    ASSERT_TRUE(app().runCommand(cmd::RecordSound));
    apptest::processEvents();
    EXPECT_TRUE(waitedForStart) << "nothing is recorded before Start";
    ASSERT_GE(doc.lengthFrames(), oldFrames + 48000);
    std::vector<std::int16_t> all(static_cast<std::size_t>(oldFrames + 48000));
    doc.samples().read(all.data(), static_cast<std::int64_t>(all.size() * 2), 0);
    EXPECT_TRUE(std::equal(old.begin(), old.end(), all.begin())) << "the old sound stays";
    EXPECT_TRUE(std::equal(calls.begin(), calls.end(), all.begin() + oldFrames)) << "the new sound follows it";
    ASSERT_EQ(doc.marks().size(), 1u);
    EXPECT_EQ(doc.marks()[0].m_label, "0 ms");
    EXPECT_EQ(doc.marks()[0].m_posX, oldFrames);
    EXPECT_EQ(doc.marks()[0].m_desc.rfind("Recorded ", 0), 0u) << doc.marks()[0].m_desc;
    GuanoRecord none;
    std::string error;
    EXPECT_FALSE(doc.guano(none, error)) << "sound appended to a recording adds no metadata of a new one";
}

TEST_F(RecordSoundAlsaTest, ExternalControlOpensANewRecordingAndRecordsIntoIt)
{
    std::vector<std::int16_t> sound(48000, 1234);
    writeCapture(sound, 48000 * 30);
    CVesAnaView* first = newRecording();
    ASSERT_NE(first, nullptr);
    auto* control = app().mainFrame()->findChild<ExternalControl*>();
    ASSERT_NE(control, nullptr);
    const std::size_t before = app().documents().size();
    bool recording = false;
    ASSERT_EQ(control->Message(0x428, 0), 0);
    // "New" ran at once; "Record sound" is posted after it.
    EXPECT_EQ(app().documents().size(), before + 1);
    QTimer::singleShot(0, [&] {
        apptest::whenModal([&](QWidget* w) {
            auto* status = qobject_cast<CAutoRecStatusDlg*>(w);
            ASSERT_NE(status, nullptr);
            recording = waitFor([&] { return status->stateText() == QStringLiteral("RECORDING"); });
            status->exitButton()->click();
        });
    });
    waitFor([&] { return recording; }, 5000);
    apptest::processEvents();
    EXPECT_TRUE(recording);
    CVesAnaView* view = activeView();
    ASSERT_NE(view, nullptr);
    EXPECT_NE(view, first);
    EXPECT_GT(view->doc().lengthFrames(), 0);
    EXPECT_EQ(first->doc().lengthFrames(), 0);
}

}  // namespace

namespace {

TEST_F(RecordingDialogTest, NewFileInASingleFileRunSavesTheRecordingAndEmptiesIt)
{
    CVesAnaView* view = newRecording(1, 16, 48000);
    ASSERT_NE(view, nullptr);
    CVesSoundDoc& doc = view->doc();
    std::vector<std::int16_t> sound(4800);
    for (std::size_t i = 0; i < sound.size(); ++i)
        sound[i] = static_cast<std::int16_t>(i * 7);
    ASSERT_TRUE(doc.appendSamples(sound.data(), 9600));
    doc.setLengthFrames(4800);
    autorec::AutoRecConfig config = recordingInto(doc);
    AutoRecRun run(doc);
    std::string error;
    ASSERT_TRUE(run.start(config, error)) << error;
    CAutoRecStatusDlg status(run, config.parms, QStringLiteral("Recording Status"));
    std::string proposed;
    int proposedType = -1;
    const std::string target = dir.file("first-night");
    status.setAskSavePath([&](QWidget*, const std::string& p, int type) {
        proposed = p;
        proposedType = type;
        return std::optional<autorecui::SavePathChoice>(autorecui::SavePathChoice{target, kTypeWave});
    });
    status.show();
    ASSERT_TRUE(status.newFileButton()->isEnabled());
    status.newFileButton()->click();
    ASSERT_TRUE(waitFor([&] { return doc.lengthFrames() == 0 && doc.samples().length() == 0; }));
    EXPECT_TRUE(status.logText().contains(QStringLiteral("Saving file first-night.wav")));
    EXPECT_EQ(proposed, std::string()) << "a recording never saved proposes no name";
    EXPECT_EQ(proposedType, doc.saveType()) << "the dialog offers the document's type";

    // The saved file holds the sound, read back by the program's own reader.
    CVesSoundDoc saved(doc.host());
    ASSERT_TRUE(saved.open(target + ".wav"));
    ASSERT_EQ(saved.lengthFrames(), 4800);
    std::vector<std::int16_t> back(4800);
    saved.samples().read(back.data(), 9600, 0);
    EXPECT_EQ(back, sound);
    status.exitButton()->click();
    run.finish();
}

// No thread to be had: the run is refused with the message, the program goes
// on, and the next start works.
TEST_F(RecordingDialogTest, AFailedThreadStartRefusesTheRunWithItsMessage)
{
    CVesAnaView* view = newRecording(1, 16, 48000);
    ASSERT_NE(view, nullptr);
    const autorec::AutoRecConfig config = recordingInto(view->doc());
    {
        AutoRecRun run(view->doc());
        std::string error;
        vkit::failNextThreadStarts(1);
        EXPECT_FALSE(run.start(config, error));
        EXPECT_EQ(error, "Can't start recording (CreateThread failed)!");
    }
    vkit::failNextThreadStarts(0);
    AutoRecRun run(view->doc());
    std::string error;
    ASSERT_TRUE(run.start(config, error)) << error;
    run.finish();
}

// With a file name in the record "New file" asks nothing and saves there, in
// the type the name's extension says, else in the document's type.
TEST_F(RecordingDialogTest, NewFileInASingleFileRunTakesTheRecordsFileName)
{
    struct Case {
        const char* name;
        const char* written;
        int type;
    } cases[] = {{"named", "named.wav", kTypeWave}, {"own.vprd", "own.vprd", kTypeVesperonWave}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CVesAnaView* view = &c == cases ? newRecording(1, 16, 48000) : newRecordingView(1, 16, 48000);
        ASSERT_NE(view, nullptr);
        CVesSoundDoc& doc = view->doc();
        std::vector<std::int16_t> sound(480, 1000);
        ASSERT_TRUE(doc.appendSamples(sound.data(), 960));
        doc.setLengthFrames(480);
        autorec::AutoRecConfig config = recordingInto(doc);
        config.parms.m_fileName = dir.file(c.name);
        AutoRecRun run(doc);
        std::string error;
        ASSERT_TRUE(run.start(config, error)) << error;
        CAutoRecStatusDlg status(run, config.parms, QStringLiteral("Recording Status"));
        int asked = 0;
        status.setAskSavePath([&](QWidget*, const std::string&, int) {
            ++asked;
            return std::optional<autorecui::SavePathChoice>();
        });
        status.show();
        status.newFileButton()->click();
        ASSERT_TRUE(waitFor([&] { return doc.samples().length() == 0; }));
        EXPECT_EQ(asked, 0);
        CVesSoundDoc saved(doc.host());
        ASSERT_TRUE(saved.open(dir.file(c.written)));
        EXPECT_EQ(saved.lengthFrames(), 480);
        EXPECT_EQ(saved.saveType(), c.type);
        status.exitButton()->click();
        run.finish();
    }
}

}  // namespace

namespace {

TEST_F(RecordingDialogTest, MainWindowPanesMirrorTheActiveViewsStrip)
{
    CVesAnaView* view = newRecording(2, 24, 384000);
    ASSERT_NE(view, nullptr);
    apptest::processEvents();
    auto* panes = app().mainFrame()->findChild<StatusPanes*>();
    ASSERT_NE(panes, nullptr);
    EXPECT_EQ(panes->pane(3)->text(), QStringLiteral("Stereo, 24 bits, 384000 Hz."));
    view->statusStrip()->setStatusText(QStringLiteral("Cursor 1.000 s"));
    EXPECT_EQ(panes->pane(1)->text(), QStringLiteral("Cursor 1.000 s  "));
    view->statusStrip()->setDeviceName(QStringLiteral("Bat recorder"));
    view->statusStrip()->setRate(384000, 1.0, false);
    EXPECT_EQ(panes->pane(2)->text(), QStringLiteral("Bat recorder,  384000 Hz. "));

    // Another recording's view takes the panes over.
    CVesAnaView* second = newRecordingView(1, 16, 48000);
    ASSERT_NE(second, nullptr);
    ASSERT_NE(second, view);
    EXPECT_EQ(panes->pane(3)->text(), QStringLiteral("Mono, 16 bits, 48000 Hz."));
    EXPECT_EQ(panes->pane(1)->text(), QString());
}

}  // namespace

namespace {

TEST_F(RecordingDialogTest, EngineReportsReachTheWindowThreadAndAnErrorEndsTheRun)
{
    CVesAnaView* view = newRecording(1, 16, 48000);
    ASSERT_NE(view, nullptr);
    CVesSoundDoc& doc = view->doc();
    const std::vector<std::int16_t> old(4800, 5);
    ASSERT_TRUE(doc.appendSamples(old.data(), 9600));
    doc.setLengthFrames(4800);
    autorec::AutoRecConfig config;
    config.format = doc.format();
    config.store = &doc.samples();
    AutoRecRun run(doc);
    std::string error;
    ASSERT_TRUE(run.start(config, error)) << error;
    CAutoRecStatusDlg status(run, config.parms, QStringLiteral("Recording Status"));
    status.show();
    QThread* logThread = nullptr;
    QObject::connect(&run, &AutoRecRun::logLine, &status, [&](const QString&) { logThread = QThread::currentThread(); });

    // Reported from a worker thread, as the engine does.
    autorec::IAutoRecHost& host = run;
    std::thread worker([&] {
        host.recLog("Recording #1 to file night.wav");
        host.recAddMark(2400, "#1", "Recorded now", 1);
        host.recStarted("Bat recorder", "Monday");
        host.recError("Disk full: /data/night#3.wav was removed.", true);
    });
    worker.join();
    EXPECT_TRUE(doc.marks().empty()) << "nothing reaches the document before the window thread runs";
    ASSERT_TRUE(waitFor([&] { return !status.isVisible(); }, 5000)) << "an error that ends the run closes the window";
    EXPECT_EQ(logThread, QThread::currentThread());
    EXPECT_TRUE(status.logText().contains(QStringLiteral("Recording #1 to file night.wav")));
    ASSERT_EQ(doc.marks().size(), 1u);
    EXPECT_EQ(doc.marks()[0].m_label, "#1");
    EXPECT_EQ(doc.marks()[0].m_posX, 2400);
    EXPECT_EQ(doc.recData().m_recDev, "Bat recorder");
    ASSERT_FALSE(dialogs().messages.empty());
    EXPECT_EQ(dialogs().messages.back(), "Disk full: /data/night#3.wav was removed.");
    EXPECT_EQ(status.result(), QDialog::Rejected);
    run.finish();
}

}  // namespace

namespace {

TEST_F(RecordSoundAlsaTest, ExternalControlPlaysTheRecordingThenRecordsIntoANewOne)
{
    writeCapture(std::vector<std::int16_t>(48000, 321), 48000 * 30);
    const std::string wav = dir.file("played.wav");
    apptest::writeToneWave(wav, 48000, 0.2, 1000);
    start({wav});
    startSoundDevices("", "");
    CVesAnaView* played = activeView();
    ASSERT_NE(played, nullptr);
    auto* control = app().mainFrame()->findChild<ExternalControl*>();
    ASSERT_NE(control, nullptr);

    // Answers the status window whenever it shows: waits for sound, then Exit.
    bool recorded = false;
    QTimer watcher;
    watcher.setInterval(10);
    QObject::connect(&watcher, &QTimer::timeout, [&] {
        auto* status = qobject_cast<CAutoRecStatusDlg*>(QApplication::activeModalWidget());
        if (!status || recorded)
            return;
        recorded = waitFor([&] { return status->stateText() == QStringLiteral("RECORDING"); }, 5000);
        status->exitButton()->click();
    });
    watcher.start();
    ASSERT_EQ(control->Message(0x42A, 1), 0);
    EXPECT_TRUE(soundBusy()) << "playing first";
    ASSERT_TRUE(waitFor([&] { return recorded && !soundBusy(); }, 20000));
    watcher.stop();
    apptest::processEvents();
    CVesAnaView* view = activeView();
    ASSERT_NE(view, nullptr);
    EXPECT_NE(view, played) << "a new recording";
    EXPECT_GT(view->doc().lengthFrames(), 0);
    EXPECT_EQ(played->doc().lengthFrames(), 9600) << "the played one is left as it was";
}

}  // namespace

namespace {

TEST_F(RecordSoundAlsaTest, OneFilePerRecordingLeavesTheOpenRecordingAlone)
{
    writeCapture(burstSound(48000, 3000, {1000, 2000}, 100), 48000 * 30);
    const std::string wav = dir.file("kept.wav");
    apptest::writeToneWave(wav, 48000, 0.1, 1000);
    start({wav});
    startSoundDevices("", "");
    CVesAnaView* view = activeView();
    ASSERT_NE(view, nullptr);
    CVesSoundDoc& doc = view->doc();
    CursorRecord c;
    c.position = 100;
    addCursorMark(doc, c, "mine", "");
    autorec::AutoRecConfig config;
    config.parms.m_trigger = autorec::TriggerType::Level;
    config.parms.m_ampThresDb = -2000;
    config.parms.m_ampThresProc = 1000;
    config.parms.m_recTimeBefore = 10;
    config.parms.m_recTimeAfter = 50;
    config.parms.m_fileSwitch = autorec::FileNaming::Sequence;
    config.parms.m_fileName = dir.file("bat");
    config.format = doc.format();
    config.backend = &audioBackend();
    config.deviceId = "default";
    config.inputBuffers = 4096;
    AutoRecRun run(doc);
    std::string error;
    ASSERT_TRUE(run.start(config, error)) << error;
    CAutoRecStatusDlg status(run, config.parms, QStringLiteral("Recording Status"));
    status.show();
    EXPECT_TRUE(status.runningState()) << "files of its own: no need to wait for Start";
    ASSERT_TRUE(waitFor([&] { return run.status().filesWritten >= 2; }));
    status.exitButton()->click();
    run.finish();
    EXPECT_TRUE(std::filesystem::exists(dir.file("bat#1.wav")));
    EXPECT_TRUE(std::filesystem::exists(dir.file("bat#2.wav")));
    EXPECT_EQ(doc.lengthFrames(), 4800);
    ASSERT_EQ(doc.marks().size(), 1u);
    EXPECT_EQ(doc.marks()[0].m_label, "mine");
}

}  // namespace

namespace {

// One file per recording, as the user chose: drawn live in an empty
// recording's views with realtime graphics, and written in the recording's
// file type.
TEST_F(RecordSoundAlsaTest, OneFilePerRecordingIsDrawnLiveAndSavedInTheDocumentsType)
{
    writeCapture(burstSound(48000, 3000, {1000, 2000}, 100), 48000 * 30);
    CVesAnaView* view = newRecording();
    ASSERT_NE(view, nullptr);
    CVesSoundDoc& doc = view->doc();
    doc.setSaveType(kTypeVesperonWave);
    VesAutoRecParms p;
    p.m_trigger = autorec::TriggerType::Level;
    p.m_ampThresDb = -2000;
    p.m_ampThresProc = 1000;
    p.m_recTimeBefore = 10;
    p.m_recTimeAfter = 50;
    p.m_fileSwitch = autorec::FileNaming::Sequence;
    p.m_fileName = dir.file("bat");
    p.m_graphics = true;
    CAutoRecDlg dlg(*view, p);
    std::int64_t drawnFrames = 0;
    apptest::whenModal([&](QWidget* w) {
        auto* status = qobject_cast<CAutoRecStatusDlg*>(w);
        ASSERT_NE(status, nullptr) << w->metaObject()->className();
        waitFor([&] {
            drawnFrames = std::max(drawnFrames, doc.lengthFrames());
            return dlg.currentRun() && dlg.currentRun()->status().filesWritten >= 2;
        });
        status->exitButton()->click();
    });
    ASSERT_TRUE(dlg.start());
    for (const char* name : {"bat#1", "bat#2"}) {
        SCOPED_TRACE(name);
        EXPECT_FALSE(std::filesystem::exists(dir.file(std::string(name) + ".wav")));
        CVesSoundDoc saved(doc.host());
        ASSERT_TRUE(saved.open(dir.file(std::string(name) + ".vprd")));
        EXPECT_EQ(saved.saveType(), kTypeVesperonWave);
        EXPECT_NEAR(static_cast<double>(saved.lengthFrames()), 48000 * 0.16, 96);
    }
    EXPECT_GT(drawnFrames, 0) << "the recordings never reached the views";
}

TEST_F(RecordSoundAlsaTest, AutomaticRecordingStoresTheSettingsOnCloseOnly)
{
    writeCapture(std::vector<std::int16_t>(4800, 0), 48000);
    CVesAnaView* view = newRecording();
    ASSERT_NE(view, nullptr);
    ASSERT_TRUE(app().commandState(cmd::AutomaticRecording).enabled);
    // Cancel: nothing changes.
    apptest::whenModal([](QWidget* w) {
        auto* dlg = qobject_cast<CAutoRecDlg*>(w);
        if (!dlg)
            w->close();
        ASSERT_NE(dlg, nullptr) << w->metaObject()->className();
        dlg->timeBefore()->setText(QStringLiteral("250"));
        dlg->reject();
    });
    app().runCommand(cmd::AutomaticRecording);
    EXPECT_EQ(app().autoRecParms().m_recTimeBefore, 0);
    EXPECT_FALSE(soundBusy());

    bool busyWhileOpen = false;
    apptest::whenModal([&](QWidget* w) {
        auto* dlg = qobject_cast<CAutoRecDlg*>(w);
        if (!dlg)
            w->close();
        ASSERT_NE(dlg, nullptr) << w->metaObject()->className();
        busyWhileOpen = soundBusy();
        dlg->timeBefore()->setText(QStringLiteral("250"));
        dlg->fileNumbering()->setCurrentIndex(3);
        dlg->fileName()->setText(QString::fromStdString(dir.file("site3")));
        dlg->accept();
    });
    app().runCommand(cmd::AutomaticRecording);
    EXPECT_TRUE(busyWhileOpen) << "no other sound activity while the dialog is open";
    EXPECT_FALSE(soundBusy());
    EXPECT_EQ(app().autoRecParms().m_recTimeBefore, 250);
    EXPECT_EQ(app().autoRecParms().m_fileSwitch, autorec::FileNaming::DateTime);
    VesAutoRecParms stored;
    stored.load(app().settings());
    EXPECT_EQ(stored, app().autoRecParms()) << "written to the settings at once";
}

TEST_F(RecordSoundAlsaTest, RealtimeGraphicsBoxSwitchesTheRunsDrawing)
{
    writeCapture(std::vector<std::int16_t>(48000, 0), 48000 * 30);
    CVesAnaView* view = newRecording();
    ASSERT_NE(view, nullptr);
    autorec::AutoRecConfig config = recordingInto(view->doc());
    config.backend = &audioBackend();
    config.deviceId = "default";
    AutoRecRun run(view->doc());
    std::string error;
    ASSERT_TRUE(run.start(config, error)) << error;
    CAutoRecStatusDlg status(run, config.parms, QStringLiteral("Recording Status"));
    status.show();
    EXPECT_TRUE(status.graphicsBox()->isChecked());
    status.graphicsBox()->setChecked(false);
    EXPECT_TRUE(waitFor([&] { return !run.status().graphics; }, 5000));
    status.exitButton()->click();
    run.finish();
}

}  // namespace
