// Zoom and scrolling through a view's commands, its scroll bar and its keys.
#include "AppTestSupport.h"

#include "display/AnaViewZoom.h"
#include "display/CAnaPlot.h"
#include "display/CVesAnaView.h"
#include "shell/CAppDocument.h"
#include "shell/CVesSoundApp.h"
#include "commands/CommandTable.h"

#include <QScrollBar>
#include <QTest>

namespace {

using apptest::processEvents;
using apptest::writeToneWave;

class ViewZoomScrollTest : public apptest::AppTest {
protected:
    CVesAnaView* view = nullptr;

    // A recording of `seconds` at 384 kHz, shown in a combined view.
    void open(double seconds)
    {
        const std::string wav = dir.file("rec.wav");
        writeToneWave(wav, 384000, seconds, 40000);
        start({wav});
        view = activeView();
        ASSERT_NE(view, nullptr);
    }
    const PlotLayout& layout() const { return view->plot()->layout(); }
    std::int64_t plotStart() const { return view->parms().m_plotStart; }
};

TEST_F(ViewZoomScrollTest, ThirtyTwoZoomInsThenThirtyTwoZoomOuts)
{
    open(0.25);
    ASSERT_EQ(view->parms().m_plotSize, 1000000);
    std::vector<std::int64_t> sizes;
    for (int i = 0; i < 32; ++i) {
        ASSERT_TRUE(app().runCommand(cmd::ZoomIn));
        sizes.push_back(view->parms().m_plotSize);
    }
    EXPECT_EQ(sizes.front(), 500000);
    EXPECT_EQ(sizes.back(), 1) << "the table's end holds";
    EXPECT_EQ(view->zoom().historyDepth(), 31);
    EXPECT_EQ(layout().samplesPerPlot, 0) << "1 us at 384 kHz: less than one sample";
    EXPECT_EQ(plotStart(), 0);
    for (int i = 0; i < 31; ++i)
        app().runCommand(cmd::ZoomOut);
    EXPECT_EQ(view->parms().m_plotSize, sizes.front()) << "the oldest state was dropped";
    EXPECT_EQ(view->zoom().historyDepth(), 0);
    app().runCommand(cmd::ZoomOut);
    EXPECT_EQ(view->parms().m_plotSize, 1000000) << "on through the zoom table";
    EXPECT_EQ(layout().samplesPerPlot, 384000);
    for (int i = 0; i < 12; ++i)
        app().runCommand(cmd::ZoomOut);
    EXPECT_EQ(view->parms().m_plotSize, 3600000000LL);
    app().runCommand(cmd::ZoomOut);
    EXPECT_EQ(view->parms().m_plotSize, 3600000000LL) << "the table's other end holds";
}

TEST_F(ViewZoomScrollTest, EntireFileDefaultAndFullRange)
{
    open(0.25);
    app().runCommand(cmd::ZoomEntireFile);
    EXPECT_EQ(view->parms().m_plotSize, 250000);
    EXPECT_EQ(layout().samplesPerPlot, 96000);
    view->zoomIn();
    view->zoomIn();
    EXPECT_EQ(view->parms().m_plotSize, 100000);
    app().runCommand(cmd::ZoomDefault);
    EXPECT_EQ(view->parms().m_plotSize, 1000000);
    EXPECT_EQ(view->zoom().historyDepth(), 4);

    // A rectangle in the spectrogram: its time and its frequencies.
    ViewSelection sel{38400, 19200, ChannelSel::Both, false, true, 30000, 60000};
    view->setSelection(sel);
    app().runCommand(cmd::ZoomIn);
    EXPECT_EQ(plotStart(), 19200);
    EXPECT_EQ(view->parms().m_plotSize, 50000);
    EXPECT_EQ(layout().spectMin, 30000);
    EXPECT_EQ(layout().spectMax, 60000);
    EXPECT_FALSE(view->selection()) << "the selection is used up";
    app().runCommand(cmd::ZoomFullRange);
    EXPECT_EQ(layout().spectMin, 0);
    EXPECT_EQ(layout().spectMax, 192000);
    EXPECT_EQ(layout().ampMin, -10000);
    EXPECT_EQ(layout().ampMax, 10000);
}

TEST_F(ViewZoomScrollTest, ScrollingAShortRecordingStaysAtTheStart)
{
    open(0.25);  // shorter than the 1 s plot
    for (int id : {cmd::MoveToEnd, cmd::ScrollLineRight})
        app().runCommand(id);
    view->scroll(AnaViewZoom::Scroll::PageRight);
    EXPECT_EQ(plotStart(), 0);
    EXPECT_EQ(view->scrollBar()->maximum(), 0);
}

TEST_F(ViewZoomScrollTest, LinesPagesEndsTheThumbAndKeys)
{
    open(1.0);
    for (int i = 0; i < 5; ++i)
        view->zoomIn();  // 1 s -> 20 ms
    ASSERT_EQ(view->parms().m_plotSize, 20000);
    const std::int64_t perPlot = layout().samplesPerPlot;
    ASSERT_EQ(perPlot, 7680);
    const std::int64_t perTick = view->samplesPerTick();
    EXPECT_EQ(perTick, 1920) << "20 ms shows a tick every 5 ms";

    app().runCommand(cmd::ScrollLineRight);
    EXPECT_EQ(plotStart(), perTick);
    app().runCommand(cmd::ScrollLineLeft);
    app().runCommand(cmd::ScrollLineLeft);
    EXPECT_EQ(plotStart(), 0) << "not before the start";

    QScrollBar* bar = view->scrollBar();
    EXPECT_EQ(bar->maximum(), 384000 - perPlot);
    EXPECT_EQ(bar->pageStep(), perPlot);
    bar->triggerAction(QAbstractSlider::SliderPageStepAdd);
    EXPECT_EQ(plotStart(), perPlot);
    EXPECT_EQ(bar->value(), perPlot);
    bar->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    EXPECT_EQ(plotStart(), perPlot + perTick);
    bar->triggerAction(QAbstractSlider::SliderToMaximum);
    EXPECT_EQ(plotStart(), 384000 - perPlot) << "the right end shows the last samples";
    EXPECT_EQ(layout().plotStart, 384000 - perPlot);
    bar->setValue(100000);  // the thumb released there
    EXPECT_EQ(plotStart(), 100000);
    EXPECT_EQ(view->parms().m_plotEnd, 100000 + perPlot);

    QTest::keyClick(view, Qt::Key_Home);
    EXPECT_EQ(plotStart(), 0);
    QTest::keyClick(view, Qt::Key_PageDown);
    EXPECT_EQ(plotStart(), perPlot);
    QTest::keyClick(view, Qt::Key_End);
    EXPECT_EQ(plotStart(), 384000 - perPlot);
    app().runCommand(cmd::MoveToBeginning);
    EXPECT_EQ(plotStart(), 0);

    // Zooming keeps the start and brings the scroll bar along.
    bar->setValue(200000);
    app().runCommand(cmd::ZoomOut);
    EXPECT_EQ(plotStart(), 200000);
    EXPECT_EQ(view->parms().m_plotSize, 50000);
    EXPECT_EQ(bar->pageStep(), 19200);
    EXPECT_EQ(bar->value(), 200000);
}

}  // namespace
