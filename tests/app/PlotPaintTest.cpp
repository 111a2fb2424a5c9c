// The plot window as it paints: the spectrogram band of a known tone in a
// picture of the view, and the coalescing of repaint requests.
#include "AppTestSupport.h"

#include "display/CAnaPlot.h"
#include "display/CVesAnaView.h"
#include "shell/CVesSoundApp.h"
#include "commands/CommandTable.h"

#include <QImage>
#include <QPixmap>

namespace {

using apptest::processEvents;
using apptest::writeToneWave;

class PlotPaintTest : public apptest::AppTest {
protected:
    CVesAnaView* spectView = nullptr;

    void openTone(double hz)
    {
        const std::string wav = dir.file("tone.wav");
        writeToneWave(wav, 384000, 0.5, hz, 0.5);
        start({wav});
        ASSERT_TRUE(app().runCommand(cmd::NewSpectrogramView));
        processEvents();
        spectView = activeView();
        ASSERT_EQ(spectView->kind(), ViewKind::Spectrogram);
    }
};

bool isWhite(QRgb c)
{
    return qRed(c) > 245 && qGreen(c) > 245 && qBlue(c) > 245;
}

TEST_F(PlotPaintTest, TheSpectrogramBandOfAToneIsWhereItsFrequencyIs)
{
    openTone(60000);
    CAnaPlot* plot = spectView->plot();
    const QImage img = plot->grab().toImage();
    ASSERT_EQ(img.size(), plot->size());
    const PlotLayout& L = plot->layout();
    const ChannelPanes& ch = L.channels.front();
    ASSERT_FALSE(ch.freqPane.empty());
    const double scale = plot->painter()->deviceScale();
    const int left = static_cast<int>(static_cast<double>(ch.freqPane.left) * scale) + 5;
    const int right = static_cast<int>(static_cast<double>(ch.freqPane.right) * scale) - 5;
    // The tone lasts the whole 0.5 s of the 1 s plot: the band runs across
    // the first half and stops there.
    const int x0 = left + (right - left) / 10, x1 = left + (right - left) * 4 / 10, xAfter = left + (right - left) * 7 / 10;
    const int yTone = static_cast<int>(plot->painter()->frequencyToDeviceY(60000));
    const int yFar = static_cast<int>(plot->painter()->frequencyToDeviceY(150000));
    auto coloured = [&](int x, int y) {
        for (int dy = -2; dy <= 2; ++dy)
            if (!isWhite(img.pixel(x, y + dy)))
                return true;
        return false;
    };
    for (int x : {x0, (x0 + x1) / 2, x1}) {
        EXPECT_TRUE(coloured(x, yTone)) << "no band at 60 kHz, x " << x;
        EXPECT_FALSE(coloured(x, yFar)) << "something at 150 kHz, x " << x;
    }
    EXPECT_FALSE(coloured(xAfter, yTone)) << "the band goes on after the recording ends";
}

TEST_F(PlotPaintTest, ABurstOfRepaintRequestsCostsOneRecomputation)
{
    openTone(40000);
    CAnaPlot* plot = spectView->plot();
    processEvents();
    const int paints = plot->dataPaintCount();
    ASSERT_GT(paints, 0) << "the view painted when it showed";
    ASSERT_TRUE(plot->deferred());

    for (int i = 0; i < 20; ++i) {
        plot->requestRepaint(QRect(10 * i, 10, 50, 50));
        processEvents();
    }
    EXPECT_EQ(plot->dataPaintCount(), paints) << "requests wait while deferred";
    EXPECT_TRUE(plot->repaintTimer().isActive());
    EXPECT_EQ(plot->repaintTimer().interval(), CAnaPlot::kSpectrogramDelayMs);
    EXPECT_EQ(plot->pendingRegion().boundingRect(), QRect(0, 10, 240, 50));

    // The timer fires: one paint of what was asked for.
    plot->onTimer();
    processEvents();
    EXPECT_EQ(plot->dataPaintCount(), paints + 1);
    EXPECT_FALSE(plot->repaintTimer().isActive());
    EXPECT_TRUE(plot->pendingRegion().isEmpty());

    // A view without a spectrogram waits less; live mode does not wait.
    app().runCommand(cmd::NewOscillogramView);
    processEvents();
    CAnaPlot* osc = activeView()->plot();
    osc->requestRepaint();
    EXPECT_EQ(osc->repaintTimer().interval(), CAnaPlot::kOtherDelayMs);
    osc->setLiveMode(true);
    const int before = osc->dataPaintCount();
    osc->requestRepaint();
    processEvents();
    osc->requestRepaint();
    processEvents();
    EXPECT_EQ(osc->dataPaintCount(), before + 2);
}

TEST_F(PlotPaintTest, ContextMenuHitTestOfThePanes)
{
    openTone(40000);
    app().runCommand(cmd::NewCombinedView);
    processEvents();
    CAnaPlot* plot = activeView()->plot();
    const PlotLayout& L = plot->layout();
    const ChannelPanes& ch = L.channels.front();
    const double s = plot->painter()->deviceScale();
    auto centre = [&](const TwipsRect& r) {
        return QPoint(static_cast<int>((r.left + r.right) / 2.0 * s), static_cast<int>(-(r.top + r.bottom) / 2.0 * s));
    };
    EXPECT_EQ(plot->hitTest(centre(ch.oscPane)), 3);
    EXPECT_EQ(plot->hitTest(centre(ch.freqPane)), 1);
    EXPECT_EQ(plot->hitTest(QPoint(1, 1)), 0);
}

TEST_F(PlotPaintTest, ThePlayCursorIsADashedCyanLine)
{
    openTone(40000);
    CAnaPlot* plot = spectView->plot();
    processEvents();
    const QImage before = plot->grab().toImage();
    plot->setPlayCursor(48000);  // 0.125 s into the recording
    processEvents();
    const QImage img = plot->grab().toImage();
    ASSERT_EQ(img.size(), before.size());
    const int x = static_cast<int>(plot->painter()->sampleToDeviceX(48000.0));
    const QRgb cyan = qRgb(0, 255, 255);
    // Only one column changes, and only to cyan: a line one pixel wide.
    int onLine = 0, elsewhere = 0, notCyan = 0;
    for (int y = 0; y < img.height(); ++y)
        for (int xx = 0; xx < img.width(); ++xx) {
            if (img.pixel(xx, y) == before.pixel(xx, y))
                continue;
            if (xx != x)
                ++elsewhere;
            else if ((img.pixel(xx, y) & 0xffffff) == (cyan & 0xffffff))
                ++onLine;
            else
                ++notCyan;
        }
    EXPECT_GT(onLine, img.height() / 4) << "no cyan line at the play position";
    EXPECT_LT(onLine, img.height() * 3 / 4) << "the line is not dashed";
    EXPECT_EQ(elsewhere, 0) << "the play cursor is wider than a line";
    EXPECT_EQ(notCyan, 0);
    // Removing it leaves the picture as it was.
    plot->setPlayCursor(-1);
    processEvents();
    EXPECT_TRUE(plot->grab().toImage() == before);
}
}  // namespace
