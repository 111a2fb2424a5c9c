// The program started as a user starts it: with files on the command line,
// without (the open dialog, then a new recording), dropped files, opening as
// a chosen type, several views of one recording, Close & Open Next/Previous,
// and the settings that outlive the program.
#include "AppTestSupport.h"

#include "core/RegCls.h"
#include "display/CAnaPlot.h"
#include "display/CVesAnaView.h"
#include "shell/CAppDocument.h"
#include "shell/CChildFrame.h"
#include "shell/CMainFrame.h"
#include "shell/CVesSoundApp.h"
#include "commands/CommandTable.h"
#include "soundfiles/VesFileType.h"

#include <QAction>
#include <QCoreApplication>
#include <QDropEvent>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMimeData>
#include <QStatusBar>
#include <QUrl>

#include <filesystem>

namespace {

using apptest::AppTest;
using apptest::processEvents;
using apptest::writeToneWave;

QStringList frameTitles(CVesSoundApp& app)
{
    QStringList t;
    for (QMdiSubWindow* w : app.mainFrame()->mdiArea()->subWindowList())
        t << w->windowTitle();
    t.sort();
    return t;
}

TEST_F(AppTest, StartsWithAFileArgumentInOneCombinedView)
{
    const std::string wav = dir.file("tone.wav");
    writeToneWave(wav, 384000, 0.25, 40000);
    start({wav});
    ASSERT_EQ(app().documents().size(), 1u);
    CAppDocument* doc = app().documents().front();
    EXPECT_EQ(doc->doc().lengthFrames(), 96000);
    EXPECT_EQ(doc->doc().path(), wav);
    ASSERT_EQ(doc->views().size(), 1u);
    CVesAnaView* view = doc->views().front();
    EXPECT_EQ(view->kind(), ViewKind::Combined);
    EXPECT_TRUE(view->parms().m_ampPlot && view->parms().m_spectPlot);
    EXPECT_EQ(activeView(), view);
    EXPECT_EQ(frameTitles(app()), QStringList{QStringLiteral("tone.wav")});
    EXPECT_TRUE(CChildFrame::of(view)->isMaximized());
    EXPECT_EQ(app().mainFrame()->windowTitle(), QStringLiteral("Vesperon - [tone.wav]"));
    EXPECT_EQ(app().recentFiles().entries().front(), wav);
    EXPECT_TRUE(dialogs().messages.empty());
    EXPECT_TRUE(app().mainFrame()->action(cmd::ZoomIn)->isEnabled());
    EXPECT_TRUE(app().mainFrame()->action(cmd::PlaySound)->isEnabled());
    EXPECT_TRUE(app().mainFrame()->action(cmd::RecordSound)->isEnabled());
    // A number no part of the program handles is shown disabled.
    CommandState unhandled = app().commandState(cmd::FileMruLast + 1000);
    EXPECT_FALSE(unhandled.enabled) << "not built: disabled";
}

TEST_F(AppTest, APlainStartShowsTheOpenDialogAndCancellingLeavesANewRecording)
{
    start();
    ASSERT_EQ(app().documents().size(), 1u);
    CAppDocument* doc = app().documents().front();
    EXPECT_EQ(doc->doc().lengthFrames(), 0);
    EXPECT_EQ(doc->title(), QStringLiteral("Vesperon1"));
    ASSERT_EQ(doc->views().size(), 1u);
    EXPECT_EQ(doc->views().front()->kind(), ViewKind::Combined);
    EXPECT_FALSE(app().mainFrame()->action(cmd::SaveSelectedInterval)->isEnabled());
    EXPECT_FALSE(app().mainFrame()->action(cmd::FileMruFirst)->isEnabled()) << "no recent files yet";
}

TEST_F(AppTest, FilesFromTheOpenDialogWithAChosenType)
{
    const std::string a = dir.file("a.wav"), b = dir.file("b.wav"), missing = dir.file("missing.wav"),
                      c = dir.file("c.wav");
    writeToneWave(a, 48000, 0.1, 1000);
    writeToneWave(b, 48000, 0.1, 1000);
    writeToneWave(c, 48000, 0.1, 1000);
    start({a});
    // "Samples 8 bits MONO": every byte of the file is a sample, header and all.
    dialogs().openAnswers.push_back(OpenChoice{{b}, kTypeData8Mono});
    EXPECT_TRUE(app().runCommand(cmd::FileOpen));
    CAppDocument* doc = activeDocument();
    ASSERT_NE(doc, nullptr);
    EXPECT_EQ(doc->doc().path(), b) << "the path without the type tag";
    EXPECT_EQ(doc->doc().saveType(), kTypeData8Mono);
    EXPECT_EQ(doc->doc().format().bitsPerSample, 8);
    EXPECT_EQ(doc->doc().lengthFrames(), static_cast<std::int64_t>(std::filesystem::file_size(b)));
    EXPECT_EQ(app().recentFiles().entries().front(), b + " [8 bit samples MONO]");

    // Several files: opening stops at the first that fails.
    dialogs().openAnswers.push_back(OpenChoice{{missing, c}, kTypeNone});
    app().runCommand(cmd::FileOpen);
    EXPECT_EQ(app().documents().size(), 2u);
    ASSERT_EQ(dialogs().messages.size(), 1u);
    EXPECT_NE(dialogs().messages.front().find("missing.wav"), std::string::npos) << dialogs().messages.front();

    // Opening an open file again brings it to the front.
    dialogs().openAnswers.push_back(OpenChoice{{a}, kTypeStandardWave});
    app().runCommand(cmd::FileOpen);
    EXPECT_EQ(app().documents().size(), 2u);
    EXPECT_EQ(activeDocument()->doc().path(), a);
}

TEST_F(AppTest, DroppedFilesOpenLikeFilesOfTheCommandLine)
{
    const std::string a = dir.file("dropped.wav");
    writeToneWave(a, 96000, 0.1, 5000);
    start({});
    QMimeData mime;
    mime.setUrls({QUrl::fromLocalFile(QString::fromStdString(a))});
    CMainFrame* frame = app().mainFrame();
    QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(frame, &enter);
    EXPECT_TRUE(enter.isAccepted());
    QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(frame, &drop);
    processEvents();
    ASSERT_NE(app().findDocument(a), nullptr);
    EXPECT_EQ(activeDocument()->doc().lengthFrames(), 9600);
}

TEST_F(AppTest, SeveralViewsOfOneRecordingEachInItsFrame)
{
    const std::string wav = dir.file("calls.wav");
    writeToneWave(wav, 384000, 0.2, 50000);
    start({wav});
    for (int id : {cmd::NewSpectrogramView, cmd::NewOscillogramView, cmd::NewZeroCrossingView})
        EXPECT_TRUE(app().runCommand(id)) << id;
    processEvents();
    CAppDocument* doc = app().documents().front();
    ASSERT_EQ(doc->views().size(), 4u);
    EXPECT_EQ(doc->views()[1]->kind(), ViewKind::Spectrogram);
    EXPECT_EQ(doc->views()[2]->kind(), ViewKind::Oscillogram);
    EXPECT_EQ(doc->views()[3]->kind(), ViewKind::ZeroCrossing);
    EXPECT_EQ(doc->views()[3]->plot()->layout().showZeroCross, true);
    EXPECT_EQ(frameTitles(app()), (QStringList{"calls.wav:1", "calls.wav:2", "calls.wav:3", "calls.wav:4"}));

    // Closing views: the recording goes with its last one.
    for (int i = 0; i < 3; ++i) {
        CChildFrame::of(doc->views().back())->close();
        processEvents();
    }
    EXPECT_EQ(frameTitles(app()), QStringList{"calls.wav"});
    EXPECT_TRUE(app().runCommand(cmd::FileClose));
    processEvents();
    EXPECT_TRUE(app().documents().empty());
    EXPECT_FALSE(app().mainFrame()->action(cmd::ZoomIn)->isEnabled());
}

TEST_F(AppTest, CloseAndOpenNextAndPreviousInAFolder)
{
    for (const char* n : {"a.wav", "B2.wav", "c.wav", "b.wav", "notes.txt"})
        writeToneWave(dir.file(n), 48000, 0.05, 1000);
    vestest::writeFile(dir.file("b1.wav"), {});  // empty: skipped
    start({dir.file("b.wav")});
    EXPECT_TRUE(app().runCommand(cmd::CloseOpenNextKey));  // the key N
    processEvents();
    ASSERT_EQ(app().documents().size(), 1u);
    EXPECT_EQ(activeDocument()->doc().path(), dir.file("B2.wav")) << "case-insensitive order, empty b1.wav skipped";

    EXPECT_TRUE(app().runCommand(cmd::CloseOpenPrevious));
    processEvents();
    EXPECT_EQ(activeDocument()->doc().path(), dir.file("b.wav"));
    app().runCommand(cmd::CloseOpenPrevious);
    processEvents();
    EXPECT_EQ(activeDocument()->doc().path(), dir.file("a.wav"));

    app().runCommand(cmd::CloseOpenPrevious);
    processEvents();
    ASSERT_EQ(dialogs().messages.size(), 1u);
    EXPECT_EQ(dialogs().messages.back(), "No more files of type .wav in " + dir.path());
    EXPECT_EQ(activeDocument()->doc().path(), dir.file("a.wav")) << "the recording stays open";

    // A new recording has no folder to go on in.
    app().runCommand(cmd::FileNew);
    app().runCommand(cmd::CloseOpenNext);
    EXPECT_EQ(dialogs().messages.back(), "No file to open next from (unable to open next from a new file)!");
}

TEST_F(AppTest, RecentFilesDefaultSettingsAndWindowStateOutliveTheProgram)
{
    const std::string wav = dir.file("kept.wav");
    writeToneWave(wav, 48000, 0.05, 1000);
    start({wav});
    app().defaultAnaParms().m_plotSize = 250000;
    app().defaultAnaParms().m_fftWindow = 4;
    app().mainFrame()->resize(700, 520);
    quit();
    ASSERT_TRUE(std::filesystem::exists(configHome + "/vesperon/vesperon.conf"));
    {
        vkit::RegCls reg;
        EXPECT_EQ(reg.readText(RecentFileList::kRegKey, "File1", ""), wav);
        EXPECT_EQ(reg.readInt(VesAnaParms::kRegKey, "PlotSizemySec", 0), 250000);
        EXPECT_TRUE(reg.readBinary(CVesSoundApp::kWindowKey, "Geometry").has_value());
    }
    start({});  // the open dialog is cancelled: a new recording
    EXPECT_EQ(app().recentFiles().entries(), std::vector<std::string>{wav});
    EXPECT_EQ(app().defaultAnaParms().m_plotSize, 250000);
    EXPECT_EQ(app().defaultAnaParms().m_fftWindow, 4);
    EXPECT_EQ(app().mainFrame()->size(), QSize(700, 520));
    QAction* first = app().mainFrame()->action(cmd::FileMruFirst);
    EXPECT_EQ(first->text(), QStringLiteral("&1 kept.wav"));
    EXPECT_TRUE(first->isEnabled());
    first->trigger();
    processEvents();
    EXPECT_NE(app().findDocument(wav), nullptr);
}

}  // namespace

namespace {

TEST_F(AppTest, ProgressInTheStatusBarAndCancel)
{
    start({});
    CMainFrame* frame = app().mainFrame();
    app().beginOperation("Open ");
    EXPECT_EQ(frame->statusBar()->currentMessage(), QStringLiteral("Open Started"));
    EXPECT_TRUE(app().progress("Open", 1, 4));
    EXPECT_EQ(frame->statusBar()->currentMessage(), QStringLiteral("Open  25%"));
    EXPECT_FALSE(app().commandState(cmd::FileNew).enabled) << "no commands while an operation runs";
    EXPECT_FALSE(app().runCommand(cmd::FileNew));
    app().requestCancel();
    EXPECT_FALSE(app().progress("Open", 2, 4)) << "the operation learns of the cancel";
    app().endOperation();
    EXPECT_EQ(frame->statusBar()->currentMessage(), QStringLiteral("Done"));
    EXPECT_TRUE(app().commandState(cmd::FileNew).enabled);
    app().beginOperation("Save");
    EXPECT_TRUE(app().progress("Save", 1, 4)) << "a new operation starts without the old cancel";
    app().endOperation();
}

}  // namespace
