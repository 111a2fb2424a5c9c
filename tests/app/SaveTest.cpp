// Saving from the program: Save As every writable type through the save
// dialog's choice, the compressed-save parameters, Save to the own path, a
// selected interval, and the file properties.
#include "AppTestSupport.h"

#include "DocTestSupport.h"
#include "display/CVesAnaView.h"
#include "shell/CAppDocument.h"
#include "shell/CFilePropDlg.h"
#include "shell/CMainFrame.h"
#include "shell/CSndFileDialog.h"
#include "shell/CVesSoundApp.h"
#include "commands/CommandTable.h"
#include "soundfiles/VesFileType.h"
#include "soundio/SoundDevices.h"
#include "soundio/ViewPlayback.h"

#include <QAction>
#include <QComboBox>
#include <QTextEdit>

#include <algorithm>
#include <filesystem>

namespace {

using apptest::processEvents;
using apptest::writeToneWave;

class SaveTest : public apptest::AppTest {
protected:
    std::string wav;
    void SetUp() override
    {
        wav = dir.file("night.wav");
        writeToneWave(wav, 192000, 0.5, 30000);
        start({wav});
    }
    // Frames of a file read back by a fresh document.
    std::int64_t framesIn(const std::string& path, int type = 0)
    {
        vestest::RecordingHost host;
        CVesSoundDoc doc(host);
        if (!doc.open(type ? VesFilePath::tagged(path, type) : path))
            return -1;
        return doc.lengthFrames();
    }
};

TEST_F(SaveTest, SaveAsEveryWritableTypeOfTheDialog)
{
    struct Case {
        const char* name;
        int type;
        std::int64_t frames;  // read back
    };
    const Case cases[] = {
        {"out.vprd", kTypeVesperonWave, 96000}, {"pair.vprdp", kTypeVesperonPair, 96000}, {"own.wav", kTypeWave, 96000},
        {"plain.wav", kTypeStandardWave, 96000}, {"raw.dat", kTypeRawData, 96000},
    };
    for (const Case& c : cases) {
        const std::string path = dir.file(c.name);
        dialogs().saveAnswers.push_back(SaveChoice{path, c.type});
        ASSERT_TRUE(app().runCommand(cmd::FileSaveAs)) << c.name;
        CAppDocument* doc = activeDocument();
        const std::string tagged = c.type == kTypeRawData ? path : VesFilePath::tagged(path, c.type);
        EXPECT_EQ(doc->doc().path(), tagged) << c.name;
        EXPECT_EQ(doc->doc().saveType(), c.type);
        EXPECT_EQ(app().recentFiles().entries().front(), tagged);
        const int readAs = c.type == kTypeRawData ? kTypeRawData : 0;
        if (c.type != kTypeRawData)
            EXPECT_EQ(framesIn(path, readAs), c.frames) << c.name;
        else
            EXPECT_EQ(static_cast<std::int64_t>(std::filesystem::file_size(path)), c.frames * 2);
    }
    EXPECT_EQ(dialogs().compressedAsked, 0);
    // Saved as raw data, Save writes raw data again (the tag "[Raw data]"
    // would read back as a wave).
    std::filesystem::resize_file(dir.file("raw.dat"), 0);
    ASSERT_TRUE(app().runCommand(cmd::FileSave));
    EXPECT_EQ(dialogs().saveQuestions.size(), std::size(cases)) << "saved in place";
    EXPECT_EQ(static_cast<std::int64_t>(std::filesystem::file_size(dir.file("raw.dat"))), 96000 * 2);
    // The dialog proposed the title without its extension, in the file's folder,
    // and the type the recording was opened as.
    EXPECT_EQ(dialogs().saveQuestions.front(), std::make_pair(dir.file("night"), static_cast<int>(kTypeStandardWave)));
}

TEST_F(SaveTest, ACompressedWaveAsksForItsParametersAndACancelSavesNothing)
{
    const std::string path = dir.file("comp.wav");
    dialogs().saveAnswers.push_back(SaveChoice{path, kTypeWaveComp});
    dialogs().cancelCompressed = true;
    app().runCommand(cmd::FileSaveAs);
    EXPECT_EQ(dialogs().compressedAsked, 1);
    EXPECT_FALSE(std::filesystem::exists(path));
    EXPECT_EQ(activeDocument()->doc().path(), wav);

    dialogs().cancelCompressed = false;
    dialogs().saveAnswers.push_back(SaveChoice{path, kTypeWaveComp});
    app().runCommand(cmd::FileSaveAs);
    EXPECT_TRUE(std::filesystem::exists(path));
    EXPECT_EQ(activeDocument()->doc().segmentHeader().silentLevelDb(), -30);
    EXPECT_EQ(activeDocument()->doc().segmentHeader().silentBeforeMs(), 5);
}

TEST_F(SaveTest, SaveWritesTheOwnPathWithoutAskingOnlyWhenItCan)
{
    CAppDocument* doc = activeDocument();
    doc->doc().setModified(true);
    ASSERT_TRUE(app().runCommand(cmd::FileSave));
    EXPECT_TRUE(dialogs().saveQuestions.empty()) << "an existing, writable file is saved in place";
    EXPECT_FALSE(doc->doc().modified());
    EXPECT_EQ(framesIn(wav), 96000);

    std::filesystem::remove(wav);
    app().runCommand(cmd::FileSave);
    EXPECT_EQ(dialogs().saveQuestions.size(), 1u) << "a missing file needs the dialog";
}

TEST_F(SaveTest, SaveSelectedIntervalNeedsASelectionAndWritesIt)
{
    CVesAnaView* view = activeView();
    processEvents();
    EXPECT_FALSE(app().mainFrame()->action(cmd::SaveSelectedInterval)->isEnabled());
    ViewSelection sel;
    sel.a = 48000;
    sel.b = 19200;
    view->setSelection(sel);
    processEvents();
    EXPECT_TRUE(app().mainFrame()->action(cmd::SaveSelectedInterval)->isEnabled());
    const std::string path = dir.file("cut.vprd");
    dialogs().saveAnswers.push_back(SaveChoice{path, kTypeVesperonWave});
    ASSERT_TRUE(app().runCommand(cmd::SaveSelectedInterval));
    EXPECT_EQ(dialogs().saveQuestions.back(), std::make_pair(wav, static_cast<int>(kTypeVesperonWave)));
    EXPECT_EQ(framesIn(path), 28800);
    EXPECT_EQ(activeDocument()->doc().path(), wav) << "the recording keeps its own path";
    EXPECT_EQ(app().recentFiles().entries().front(), path + " [Vesperon Wave]");

    app().runCommand(cmd::SelectAll);
    ASSERT_TRUE(view->selection());
    EXPECT_EQ(view->selection()->last(), 96000);
}

TEST_F(SaveTest, EveryViewComesBackWithTheRecordingFile)
{
    CVesAnaView* combined = activeView();
    combined->zoomIn();
    app().runCommand(cmd::NewOscillogramView);
    processEvents();
    const std::string path = dir.file("views.vprd");
    dialogs().saveAnswers.push_back(SaveChoice{path, kTypeVesperonWave});
    ASSERT_TRUE(app().runCommand(cmd::FileSaveAs));
    ASSERT_TRUE(app().runCommand(cmd::FileClose));
    processEvents();
    ASSERT_TRUE(app().documents().empty());

    dialogs().openAnswers.push_back(OpenChoice{{path}, 0});
    ASSERT_TRUE(app().runCommand(cmd::FileOpen));
    processEvents();
    ASSERT_EQ(app().documents().size(), 1u);
    CAppDocument* doc = activeDocument();
    ASSERT_EQ(doc->views().size(), 2u) << "one view per stored set";
    std::vector<std::pair<bool, std::int64_t>> shown;
    for (CVesAnaView* v : doc->views())
        shown.emplace_back(v->parms().m_spectPlot, v->parms().m_plotSize);
    std::sort(shown.begin(), shown.end());
    EXPECT_EQ(shown, (std::vector<std::pair<bool, std::int64_t>>{{false, 500000}, {true, 500000}}))
        << "the oscillogram view and the zoomed combined view";
}

TEST_F(SaveTest, ImportConvertsAndSaveProposesARecordingFile)
{
    const std::string other = dir.file("field.wav");
    writeToneWave(other, 96000, 0.2, 20000);
    dialogs().importAnswer = {other};
    ASSERT_TRUE(app().runCommand(cmd::FileImport));
    processEvents();
    CAppDocument* doc = activeDocument();
    ASSERT_NE(doc, nullptr);
    EXPECT_EQ(doc->title(), QStringLiteral("field.wav.vprd [converted]"));
    EXPECT_TRUE(doc->doc().modified());
    EXPECT_EQ(doc->doc().lengthFrames(), 19200);
    app().runCommand(cmd::FileSave);
    ASSERT_FALSE(dialogs().saveQuestions.empty()) << "a converted recording is saved through the dialog";
    EXPECT_EQ(dialogs().saveQuestions.back(), std::make_pair(dir.file("field.wav"), static_cast<int>(kTypeVesperonWave)));
}

TEST_F(SaveTest, ClosingAModifiedRecordingAsks)
{
    CAppDocument* doc = activeDocument();
    doc->doc().setModified(true);
    dialogs().saveChangesAnswer = IShellDialogs::Answer::Cancel;
    app().runCommand(cmd::FileClose);
    processEvents();
    EXPECT_EQ(app().documents().size(), 1u) << "cancelled";
    dialogs().saveChangesAnswer = IShellDialogs::Answer::Yes;
    app().runCommand(cmd::FileClose);
    processEvents();
    EXPECT_TRUE(app().documents().empty());
    EXPECT_EQ(framesIn(wav), 96000) << "saved before closing";
}

TEST_F(SaveTest, FilePropertiesShowTheRecording)
{
    CFilePropDlg dlg(activeDocument()->doc());
    EXPECT_EQ(dlg.windowTitle(), QStringLiteral("File properties"));
    const QString text = dlg.textField()->toPlainText();
    EXPECT_TRUE(text.startsWith(QStringLiteral("night.wav"))) << text.toStdString();
    // Each label and its value are one row of the text's table.
    EXPECT_TRUE(text.contains(QStringLiteral("Recording time:\n500 milliseconds"))) << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("Samples:\n192000 per second")));
    EXPECT_TRUE(dlg.textField()->isReadOnly());
}

TEST_F(SaveTest, TheSaveDialogFollowsTheChosenType)
{
    CSndSaveDialog detector(nullptr, QString::fromStdString(dir.file("rec01.wav")), kTypeDetectorWave);
    EXPECT_EQ(detector.selectedNameFilter(), QStringLiteral("R450Z/R9000Z Files (*.wav)"));
    EXPECT_EQ(detector.chosenType(), kTypeDetectorWave);
    detector.chooseFilter(2);
    EXPECT_EQ(detector.fileNameText(), QStringLiteral("rec01"));
    EXPECT_EQ(detector.defaultSuffix(), QStringLiteral("vprdp"));
    EXPECT_EQ(detector.chosenType(), kTypeVesperonPair);

    CSndSaveDialog plain(nullptr, QString(), kTypeStandardWave);
    EXPECT_EQ(plain.nameFilters().size(), 6);
    EXPECT_EQ(plain.selectedNameFilter(), QStringLiteral("Wave Files (*.wav)"));

    CSndFileDialog open(nullptr, QString::fromStdString(dir.path()));
    open.openAsList()->setCurrentIndex(6);
    EXPECT_EQ(open.chosenType(), kTypeData8Mono);
    EXPECT_EQ(open.selectedNameFilter(), QStringLiteral("Vesperon & Wave Files (*.wav* *.vprd*)"));
}

// "Save selected interval" proposes the type the recording was read as: the
// one chosen under "Open as:", else the program's own recording file.
TEST_F(SaveTest, SaveSelectedIntervalProposesTheTypeTheFileWasOpenedAs)
{
    const struct {
        const char* name;
        int openAs;
        int proposed;
    } cases[] = {
        {"plain.wav", kTypeNone, kTypeVesperonWave},
        {"as-wave.wav", kTypeWave, kTypeWave},
        {"as-standard.wav", kTypeStandardWave, kTypeStandardWave},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = dir.file(c.name);
        writeToneWave(path, 96000, 0.1, 20000);
        dialogs().openAnswers.push_back(OpenChoice{{path}, c.openAs});
        ASSERT_TRUE(app().runCommand(cmd::FileOpen));
        processEvents();
        ASSERT_EQ(activeDocument()->plainPath(), path);
        ASSERT_TRUE(app().runCommand(cmd::SelectAll));
        processEvents();
        ASSERT_TRUE(app().runCommand(cmd::SaveSelectedInterval));  // cancelled in the dialog
        EXPECT_EQ(dialogs().saveQuestions.back(), std::make_pair(path, c.proposed));
        ASSERT_TRUE(app().runCommand(cmd::FileClose));
        processEvents();
    }
}

TEST_F(SaveTest, AConvertedRecordingClosedUnsavedTakesItsOwnFormatPath)
{
    const std::string other = dir.file("field.wav");
    writeToneWave(other, 96000, 0.2, 20000);
    dialogs().importAnswer = {other};
    ASSERT_TRUE(app().runCommand(cmd::FileImport));
    processEvents();
    CAppDocument* doc = activeDocument();
    ASSERT_NE(doc, nullptr);
    ASSERT_EQ(doc->doc().pendingSavePath(), other + ".vprd");
    std::string pathAtClose;
    QObject::connect(doc, &CAppDocument::lastViewClosed, [&](CAppDocument* d) { pathAtClose = d->doc().path(); });
    dialogs().saveChangesAnswer = IShellDialogs::Answer::No;
    ASSERT_TRUE(app().runCommand(cmd::FileClose));
    processEvents();
    EXPECT_EQ(pathAtClose, other + ".vprd");
    EXPECT_FALSE(std::filesystem::exists(other + ".vprd")) << "not saved: the user said no";
}

// The program's default play speeds: a speed chosen joins them, a new
// recording copies them, an opened one gets those of devices it has none for,
// and they outlive the program in its settings.
TEST_F(SaveTest, PlaySpeedDefaultsReachNewAndOpenedRecordings)
{
    auto speedOf = [](CAppDocument* d) {
        VesPlaySpeedDataLst list = ViewPlayback::presets(d->doc());
        return list.current(soundDevices().playbackDeviceName()).relSpeed;
    };
    ASSERT_TRUE(app().runCommand(cmd::PlaySpeedFirst + 1));  // 1/10
    EXPECT_DOUBLE_EQ(speedOf(activeDocument()), 0.1);

    ASSERT_TRUE(app().runCommand(cmd::FileNew));
    processEvents();
    EXPECT_DOUBLE_EQ(speedOf(activeDocument()), 0.1) << "New copies the program's list";
    EXPECT_FALSE(activeDocument()->doc().modified());

    // A recording file with its own speed keeps it; a plain wave file gets the default.
    ASSERT_TRUE(app().runCommand(cmd::PlaySpeedFirst + 6));  // 4 for the new recording, and the default now
    const std::string own = dir.file("own.vprd");
    dialogs().saveAnswers.push_back(SaveChoice{own, kTypeVesperonWave});
    ASSERT_TRUE(app().runCommand(cmd::FileSaveAs));
    ASSERT_TRUE(app().runCommand(cmd::PlaySpeedFirst + 3));  // 1/2 becomes the default
    dialogs().saveChangesAnswer = IShellDialogs::Answer::No;
    ASSERT_TRUE(app().runCommand(cmd::FileClose));
    processEvents();
    const std::string plain = dir.file("plain.wav");
    writeToneWave(plain, 96000, 0.1, 20000);
    for (const auto& [path, speed] : {std::pair{own, 4.0}, std::pair{plain, 0.5}}) {
        dialogs().openAnswers.push_back(OpenChoice{{path}, 0});
        ASSERT_TRUE(app().runCommand(cmd::FileOpen));
        processEvents();
        EXPECT_DOUBLE_EQ(speedOf(activeDocument()), speed) << path;
        EXPECT_FALSE(activeDocument()->doc().modified()) << path;
    }

    ASSERT_TRUE(app().saveSettings());
    ViewPlayback::programPresets() = VesPlaySpeedDataLst{};
    app().loadSettings();
    EXPECT_DOUBLE_EQ(ViewPlayback::programPresets().current(soundDevices().playbackDeviceName()).relSpeed, 0.5);
}

}  // namespace
