// Views follow their document: repaints, format and time-expansion changes,
// samples appended while recording, and the length taken from the store.
#include "AppTestSupport.h"

#include "display/CAnaPlot.h"
#include "widgets/CRecStatus.h"
#include "display/CVesAnaView.h"
#include "document/ViewUpdate.h"
#include "shell/CAppDocument.h"
#include "shell/CVesSoundApp.h"
#include "commands/CommandTable.h"

#include <QScrollBar>

#include <vector>

namespace {

using apptest::processEvents;
using apptest::writeToneWave;

class DocumentUpdatesTest : public apptest::AppTest {
protected:
    CAppDocument* doc = nullptr;
    CVesAnaView* view = nullptr;
    void SetUp() override
    {
        const std::string wav = dir.file("rec.wav");
        writeToneWave(wav, 44100, 1.0, 4000);
        start({wav});
        doc = activeDocument();
        view = activeView();
        ASSERT_NE(view, nullptr);
    }
    void append(std::int64_t frames)
    {
        std::vector<std::uint8_t> bytes(static_cast<size_t>(frames * 2), 0);
        doc->doc().appendSamples(bytes.data(), static_cast<std::int64_t>(bytes.size()));
    }
};

TEST_F(DocumentUpdatesTest, TimeExpansionChangeKeepsTheSamplesOnScreen)
{
    view->zoomIn();  // 500 ms
    const std::int64_t perPlot = view->plot()->layout().samplesPerPlot;
    EXPECT_EQ(view->statusStrip()->formatText(), QStringLiteral("Mono, 16 bits, 44100 Hz."));
    const std::int64_t spectMax = view->parms().m_spectMax;
    doc->doc().recData().m_timeExp25 = 10000;
    doc->doc().updateAllViews(viewupdate::Format{});
    EXPECT_EQ(view->parms().m_plotSize, 50000);
    EXPECT_EQ(view->parms().m_spectMax, spectMax * 10);
    EXPECT_EQ(view->plot()->layout().samplesPerPlot, perPlot) << "as many samples as before";
    EXPECT_EQ(view->statusStrip()->formatText(), QStringLiteral("Mono, 16 bits, 44100 Hz, Time exp 10.00."));
    app().runCommand(cmd::ZoomOut);
    EXPECT_EQ(view->parms().m_plotSize, 1000000) << "the history keeps its plot sizes";
    EXPECT_EQ(view->parms().m_spectMax, spectMax * 10) << "and rescales its frequencies";
}

TEST_F(DocumentUpdatesTest, AppendedSamplesWhileRecording)
{
    view->zoomIn();  // 500 ms: 22050 samples per plot
    const std::int64_t perPlot = view->plot()->layout().samplesPerPlot;
    ViewUpdateRecord r;
    r.lengthFrames = doc->doc().lengthFrames();
    doc->doc().updateAllViews(viewupdate::Length{r});  // remembered, nothing drawn
    EXPECT_EQ(view->parms().m_plotStart, 0);

    append(1000);
    r.lengthFrames = doc->doc().lengthFrames();
    view->plot()->setLiveMode(true);
    doc->doc().updateAllViews(viewupdate::Append{r});
    EXPECT_EQ(view->parms().m_plotStart, 2 * perPlot) << "whole pages on to show the new end";
    EXPECT_EQ(view->scrollBar()->maximum(), r.lengthFrames - perPlot);
    processEvents();
    const int paints = view->plot()->dataPaintCount();
    append(500);
    r.lengthFrames = doc->doc().lengthFrames();
    doc->doc().updateAllViews(viewupdate::Append{r});
    processEvents();
    EXPECT_EQ(view->parms().m_plotStart, 2 * perPlot) << "still on the page";
    EXPECT_EQ(view->plot()->dataPaintCount(), paints + 1);
    doc->doc().updateAllViews(viewupdate::Append{r});
    processEvents();
    EXPECT_EQ(view->plot()->dataPaintCount(), paints + 1) << "the same length draws nothing";
}

TEST_F(DocumentUpdatesTest, TheLengthFromTheStoreScrollsEveryViewToTheEnd)
{
    app().runCommand(cmd::NewSpectrogramView);
    processEvents();
    append(44100);  // the store grew; the views were not told
    EXPECT_EQ(doc->doc().lengthFrames(), 88200);
    doc->host().postViewMessage(ViewMessage::LengthFromStore);
    processEvents();
    for (CVesAnaView* v : doc->views()) {
        const std::int64_t perPlot = v->plot()->layout().samplesPerPlot;
        EXPECT_EQ(v->parms().m_plotStart, 88200 - perPlot);
        EXPECT_EQ(v->scrollBar()->value(), 88200 - perPlot);
        EXPECT_EQ(v->plot()->layout().sound.lengthFrames, 88200);
    }

    // The document's request for a combined view gives the recording one more view.
    doc->host().openCombinedView();
    processEvents();
    EXPECT_EQ(doc->views().size(), 3u);
    EXPECT_EQ(doc->views().back()->kind(), ViewKind::Combined);
}

TEST_F(DocumentUpdatesTest, AShorterRecordingDropsASelectionBeyondItsEnd)
{
    ViewSelection s;
    s.a = 30000;
    s.b = 40000;
    view->setSelection(s);
    doc->doc().samples().setLength(20000 * 2);
    doc->doc().setLengthFrames(20000);
    EXPECT_FALSE(view->selection());
    doc->doc().updateAllViews(viewupdate::Repaint{});
    EXPECT_EQ(view->plot()->layout().sound.lengthFrames, 20000);
}

}  // namespace
