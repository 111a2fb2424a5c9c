#include "display/AnaViewZoom.h"

#include <gtest/gtest.h>

TEST(AnaViewZoom, TableEndsHoldAndThirtyTwoStepsLoseTheOldest)
{
    VesAnaParms p;
    p.m_plotSize = 1;
    AnaViewZoom z(p);
    z.zoomIn(nullptr, 0, true, true);
    EXPECT_EQ(p.m_plotSize, 1) << "nothing smaller than 1";
    p.m_plotSize = 3600000000LL;
    z.clearHistory();
    z.zoomOut();
    EXPECT_EQ(p.m_plotSize, 3600000000LL) << "nothing larger than the largest";

    VesAnaParms q;
    q.m_plotSize = 3600000000LL;
    AnaViewZoom zz(q);
    std::vector<std::int64_t> sizes = {q.m_plotSize};
    for (int i = 0; i < 32; ++i) {
        zz.zoomIn(nullptr, 0, true, true);
        sizes.push_back(q.m_plotSize);
    }
    EXPECT_EQ(q.m_plotSize, 1);
    EXPECT_EQ(zz.historyDepth(), 31);
    for (int i = 0; i < 31; ++i)
        zz.zoomOut();
    EXPECT_EQ(q.m_plotSize, sizes[1]) << "the state of the second step; the first was dropped";
    zz.zoomOut();  // the history is empty: on through the zoom table
    EXPECT_EQ(q.m_plotSize, 3600000000LL);
}

TEST(AnaViewZoom, SelectionsDefaultAndFullRange)
{
    VesAnaParms p;
    p.m_plotSize = 1000000;
    p.m_spectMin = 20000;
    p.m_spectMax = 100000;
    AnaViewZoom z(p);
    ZoomSelection rect{5000, 1000, false, false, -2500, 5000};  // a rectangle in the oscillogram
    z.zoomIn(&rect, 10416, true, true);
    EXPECT_EQ(p.m_plotStart, 1000);
    EXPECT_EQ(p.m_plotEnd, 5000);
    EXPECT_EQ(p.m_plotSize, 10416);
    EXPECT_EQ(p.m_ampMin, -2500);
    EXPECT_EQ(p.m_ampMax, 5000);
    EXPECT_EQ(p.m_spectMax, 100000) << "an oscillogram rectangle leaves the frequencies";
    ZoomSelection inSpectrogramOfAnOscView{0, 10, false, true, 30000, 60000};
    z.zoomIn(&inSpectrogramOfAnOscView, 100, false, true);
    EXPECT_EQ(p.m_spectMin, 20000) << "a view without a frequency pane keeps its frequency range";
    z.fullRange();
    EXPECT_EQ(p.m_spectMax, -1);
    EXPECT_EQ(p.m_ampMin, -10000);
    z.defaultZoom();
    EXPECT_EQ(z.current(), z.defaultState());
    z.entireFile(37000000);
    EXPECT_EQ(p.m_plotSize, 37000000);
    EXPECT_EQ(p.m_plotStart, 0);
}

TEST(AnaViewZoom, ScrollingStaysWithinTheRecording)
{
    VesAnaParms p;
    AnaViewZoom z(p);
    using S = AnaViewZoom::Scroll;
    EXPECT_EQ(z.scroll(S::RightEnd, 500, 1000, 10), 0) << "a recording shorter than one plot stays at 0";
    EXPECT_EQ(z.scroll(S::RightEnd, 100000, 1000, 10), 99000);
    EXPECT_EQ(p.m_plotEnd, 100000);
    EXPECT_EQ(z.scroll(S::LineLeft, 100000, 1000, 10), 98990);
    EXPECT_EQ(z.scroll(S::LineRight, 100000, 1000, 0), 98991) << "at least one sample";
    EXPECT_EQ(z.scroll(S::PageLeft, 100000, 1000, 10), 97991);
    EXPECT_EQ(z.scroll(S::Thumb, 100000, 1000, 10, 123456), 99000);
    EXPECT_EQ(z.scroll(S::LeftEnd, 100000, 1000, 10), 0);
    EXPECT_EQ(z.scroll(S::PageLeft, 100000, 1000, 10), 0);
}
