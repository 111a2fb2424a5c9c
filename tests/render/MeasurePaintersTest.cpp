// The pictures of the measurement windows: where the spectrum's points and
// the histogram's bars land, and ranges that leave nothing to divide by.
#include "render/PowerPlotPainter.h"
#include "render/RatePlotPainter.h"

#include <QImage>
#include <QPainter>

#include <gtest/gtest.h>

#include <cmath>

namespace {

PowerResult peakAt(int bin, int n = 64, double rate = 64000)
{
    PowerResult r;
    r.fftSize = n;
    r.rateHz = rate;
    r.power.assign(static_cast<std::size_t>(n / 2 + 1), 1e-8);
    r.power[static_cast<std::size_t>(bin)] = 0.5;
    r.complete = true;
    return r;
}

// The x of the highest curve pixel in the plot area.
int highestCurveX(const QImage& img, const QRectF& area)
{
    int bestY = img.height(), bestX = -1;
    for (int x = static_cast<int>(area.left()) + 2; x < static_cast<int>(area.right()) - 1; ++x)
        for (int y = static_cast<int>(area.top()) + 1; y < static_cast<int>(area.bottom()); ++y) {
            const QColor c = img.pixelColor(x, y);
            if (c.blue() > 100 && c.red() < 120 && c.green() < 120) {
                if (y < bestY) {
                    bestY = y;
                    bestX = x;
                }
                break;
            }
        }
    return bestX;
}

TEST(PowerPlotPainter, ThePeakLandsAtItsFrequencyOnAnyTargetAndScale)
{
    const PowerResult r = peakAt(10);  // 10 kHz
    PowerPicture pic;
    pic.result = &r;
    pic.parms.m_zeroDB = -90;
    pic.parms.m_maxDB = 0;
    for (const auto& [size, scale] : {std::pair{QSize(520, 220), 1.0 / 15}, std::pair{QSize(1600, 800), 2.0 / 15}}) {
        QImage img(size, QImage::Format_RGB32);
        QPainter p(&img);
        const PowerPlotPainter pp(pic, QRectF(QPointF(0, 0), QSizeF(size)), scale);
        pp.paint(p);
        p.end();
        EXPECT_EQ(pp.peakBin(), 10);
        const int x = highestCurveX(img, pp.plotArea());
        ASSERT_GE(x, 0) << size.width();
        // The point stands half a bin's width (b / 2 + 1 pixels, b = 2 × width / N + 1) right of its frequency.
        const int b = 2 * static_cast<int>(pp.plotArea().width()) / 64 + 1;
        EXPECT_EQ(pp.binX(10) - pp.xOfFrequency(10000), b / 2 + 1) << size.width();
        EXPECT_NEAR(x, pp.binX(10), 1.5) << size.width();
        EXPECT_NEAR(pp.frequencyAtX(x - (b / 2 + 1)), 10000, 1.5 * 32000 / pp.plotArea().width() + 100) << size.width();
        // 140 twips above the plot.
        EXPECT_NEAR(pp.plotArea().top(), 140 * scale, 1e-9) << size.width();
        EXPECT_NEAR(pp.yOfLevel(powerLevel(0.5, true)), pp.plotArea().top() + 3.01 / 90 * pp.plotArea().height(), 1);
    }
}

TEST(PowerPlotPainter, EmptyRangesDivideByNothing)
{
    // Equal level bounds, a zero rate, no result, a target smaller than the margins.
    PowerPicture pic;
    pic.parms.m_zeroDB = pic.parms.m_maxDB = -20;
    const PowerResult r = peakAt(3);
    for (const PowerResult* result : {static_cast<const PowerResult*>(nullptr), &r}) {
        pic.result = result;
        for (const QSize size : {QSize(520, 220), QSize(10, 10)}) {
            QImage img(size, QImage::Format_RGB32);
            QPainter p(&img);
            const PowerPlotPainter pp(pic, QRectF(QPointF(0, 0), QSizeF(size)));
            pp.paint(p);
            EXPECT_TRUE(std::isfinite(pp.yOfLevel(-20)));
            EXPECT_TRUE(std::isfinite(pp.levelAtY(5)));
            EXPECT_TRUE(std::isfinite(pp.frequencyAtX(5)));
            EXPECT_TRUE(std::isfinite(pp.xOfFrequency(100)));
        }
    }
}

// The histogram's time labels come from the analysis plot's formatter, in
// the label type of the axis step.
TEST(RatePlotPainter, TimeLabelsUseThePlotsTimeFormatter)
{
    const struct {
        std::int64_t micros, stepMicros;
        RateTimeText kind;
        const char* text;
    } cases[] = {
        {5000, 1000, RateTimeText::Label, "5 ms"},
        {150000, 50000, RateTimeText::Label, "150 ms"},
        {4000000, 2000000, RateTimeText::Label, "4 sec"},
        {5000, 200, RateTimeText::Label, "5000 \u00b5s"},
        {5000, 1000, RateTimeText::Number, "5"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(rateTimeLabel(c.micros, c.stepMicros, c.kind), c.text) << c.micros << " " << c.stepMicros;
}

TEST(RatePlotPainter, BarsAreDrawnInProportionAndNothingDividesByZero)
{
    RateHistogram h;
    h.lastBar = 4;
    h.counts[1] = 2;
    h.counts[3] = 4;
    h.highestCount = 4;
    h.startUs = 0;
    h.endUs = 4000;
    h.barWidthUs = 1000;
    h.axisRangeUs = 1000;
    h.countTickStep = 1;
    RatePicture pic;
    pic.histogram = &h;
    QImage img(420, 220, QImage::Format_RGB32);
    QPainter p(&img);
    const RatePlotPainter rp(pic, QRectF(0, 0, 420, 220));
    rp.paint(p);
    p.end();
    const QRectF a = rp.plotArea();
    const auto filledHeight = [&](int bar) {
        const int x = static_cast<int>(a.left() + (bar - 0.5) * a.width() / 4);
        int n = 0;
        for (int y = static_cast<int>(a.top()); y < static_cast<int>(a.bottom()); ++y)
            n += img.pixelColor(x, y) == QColor(Qt::black);
        return n;
    };
    EXPECT_EQ(filledHeight(2), 0);
    EXPECT_NEAR(filledHeight(3), a.height(), 2);
    EXPECT_NEAR(filledHeight(1), a.height() / 2, 2);
    EXPECT_EQ(rp.barAtX(a.left() + 0.1), 1);
    EXPECT_EQ(rp.barAtX(a.right() - 0.1), 4);

    // A pending or empty histogram, and zero steps: drawn without a hang.
    RateHistogram empty;
    empty.countTickStep = 0;
    empty.axisRangeUs = 0;
    RatePicture none;
    none.histogram = &empty;
    QImage small(8, 8, QImage::Format_RGB32);
    QPainter q(&small);
    RatePlotPainter(none, QRectF(0, 0, 8, 8)).paint(q);
    empty.countTickStep = 1;
    empty.lastBar = 2;
    empty.endUs = empty.startUs;
    RatePlotPainter(none, QRectF(0, 0, 8, 8)).paint(q);
    EXPECT_TRUE(std::isfinite(RatePlotPainter(none, QRectF(0, 0, 8, 8)).timeAtX(3)));
}

}  // namespace
