// Analysis parameter sets of other programs or of damaged files, read back
// from a recording and from the settings, then set up as a view, laid out
// and drawn: every value comes into the range the settings allow, and no
// layout or column divides by zero or reads outside its tables (run under
// -fsanitize=undefined to see the latter).
#include "display/ColumnEngine.h"
#include "display/PlotLayout.h"
#include "display/ViewPolicy.h"
#include "soundfiles/VesFileType.h"

#include "DocTestSupport.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <functional>
#include <limits>

namespace {

constexpr std::int64_t kBig = std::numeric_limits<std::int64_t>::max();
constexpr std::int32_t kBig32 = std::numeric_limits<std::int32_t>::max();
constexpr std::int32_t kLow32 = std::numeric_limits<std::int32_t>::min();

struct Hostile {
    const char* what;
    std::function<void(VesAnaParms&)> set;
    std::int32_t timeExp25 = 1000;
};

const Hostile kHostile[] = {
    {"all zero",
     [](VesAnaParms& p) {
         p.m_plotSize = p.m_spectMin = p.m_spectMax = p.m_ampMin = p.m_ampMax = 0;
         p.m_fftSize = p.m_fftOverLap = p.m_fftThresHold = p.m_fontSize = p.m_freqSize = 0;
     },
     0},
    {"negative",
     [](VesAnaParms& p) {
         p.m_plotSize = p.m_spectMin = p.m_spectMax = p.m_ampMin = p.m_ampMax = -7;
         p.m_fftSize = p.m_fftOverLap = p.m_fftThresHold = p.m_contrast = p.m_colorScheme = -7;
         p.m_fontSize = p.m_freqSize = p.m_freqThreshold = p.m_freqGridY = p.m_oscGridX = -7;
     },
     -5},
    {"huge",
     [](VesAnaParms& p) {
         p.m_plotSize = p.m_spectMin = p.m_spectMax = p.m_ampMin = p.m_ampMax = kBig;
         p.m_fftSize = p.m_fftOverLap = p.m_fftThresHold = p.m_contrast = p.m_colorScheme = kBig32;
         p.m_fontSize = p.m_freqSize = p.m_freqThreshold = p.m_spectGridY = p.m_oscGridY = kBig32;
         p.m_colorMap.m_colorMapRader = kBig32;
     },
     kBig32},
    {"smallest",
     [](VesAnaParms& p) {
         p.m_plotSize = p.m_spectMin = p.m_spectMax = p.m_ampMin = p.m_ampMax = std::numeric_limits<std::int64_t>::min();
         p.m_fftSize = p.m_fftOverLap = p.m_fftThresHold = p.m_contrast = p.m_colorScheme = kLow32;
         p.m_fontSize = p.m_freqSize = p.m_freqThreshold = kLow32;
     }},
    {"equal limits",
     [](VesAnaParms& p) {
         p.m_spectMin = p.m_spectMax = 20000;
         p.m_ampMin = p.m_ampMax = 3000;
     }},
    {"inverted limits",
     [](VesAnaParms& p) {
         p.m_spectMin = 90000;
         p.m_spectMax = 10000;
         p.m_ampMin = 5000;
         p.m_ampMax = -5000;
     }},
    {"FFT size not a power of two, overlap 100 %",
     [](VesAnaParms& p) {
         p.m_fftSize = 1000;
         p.m_fftOverLap = 100;
     }},
    {"user map with too many bands",
     [](VesAnaParms& p) {
         p.m_colorScheme = 100;
         p.m_colorMap.m_colorMapRader = 65;
     }},
};

// The ranges of the settings dialogs.
void expectInRange(const VesAnaParms& p, const std::string& what)
{
    SCOPED_TRACE(what);
    EXPECT_GE(p.m_plotSize, 1);
    EXPECT_GE(p.m_spectMin, 0);
    EXPECT_LE(p.m_spectMax, 100000000);
    EXPECT_TRUE(p.m_spectMax < 0 || p.m_spectMax > p.m_spectMin) << p.m_spectMin << " " << p.m_spectMax;
    EXPECT_GE(p.m_ampMin, -10000);
    EXPECT_LE(p.m_ampMax, 10000);
    EXPECT_LT(p.m_ampMin, p.m_ampMax);
    EXPECT_TRUE(p.m_fftSize == 0 || (p.m_fftSize >= 16 && p.m_fftSize <= 4096 && (p.m_fftSize & (p.m_fftSize - 1)) == 0))
        << p.m_fftSize;
    EXPECT_GE(p.m_fftOverLap, -1);
    EXPECT_LE(p.m_fftOverLap, 99);
    EXPECT_GE(p.m_fftThresHold, 0);
    EXPECT_LE(p.m_fftThresHold, 32);
    EXPECT_GE(p.m_contrast, -10);
    EXPECT_LE(p.m_contrast, 10);
    EXPECT_TRUE((p.m_colorScheme >= 0 && p.m_colorScheme <= 7) || p.m_colorScheme == 100) << p.m_colorScheme;
    EXPECT_GE(p.m_colorMap.m_colorMapRader, 0);
    EXPECT_LE(p.m_colorMap.m_colorMapRader, 64);
    EXPECT_GE(p.m_freqThreshold, 0);
    EXPECT_LE(p.m_freqThreshold, 99);
    EXPECT_GE(p.m_freqSize, 1);
    EXPECT_LE(p.m_freqSize, 16000);
    EXPECT_GE(p.m_fontSize, 1);
    EXPECT_LE(p.m_fontSize, 72);
    for (const std::int32_t g : {p.m_freqGridX, p.m_spectGridX, p.m_oscGridX, p.m_oscGridY}) {
        EXPECT_GE(g, 0);
        EXPECT_LE(g, 5);
    }
    for (const std::int32_t g : {p.m_freqGridY, p.m_spectGridY}) {
        EXPECT_GE(g, -1);
        EXPECT_LE(g, 5);
    }
}

class CountColumns : public IColumnSink {
public:
    int columns = 0;
    void column(const PlotColumn&) override { ++columns; }
};

// Lays the set out with the spectrogram and the oscillogram, and with the
// zero-crossing analysis, and computes every column of both channels.
void drawAllPanes(CVesSoundDoc& doc, const VesAnaParms& loaded, const std::string& what)
{
    SCOPED_TRACE(what);
    for (const int zeroCrossing : {0, 1}) {
        VesAnaParms p = loaded;
        p.m_spectPlot = p.m_ampPlot = zeroCrossing == 0;
        p.m_freqPlot = zeroCrossing;
        p.m_scale = true;
        const PlotLayout l = PrepareLayout(p, SoundInfo::of(doc), PlotDevice::fromScreen(400, 300, 150000));
        EXPECT_GT(l.rateHz, 0);
        EXPECT_GT(l.spectMax, l.spectMin);
        EXPECT_GT(l.ampMax, l.ampMin);
        if (l.showSpect) {
            EXPECT_GE(l.spect.fftSize, 16);
            EXPECT_LE(l.spect.fftSize, 4096);
            EXPECT_GE(l.spect.hop, 1);
        }
        for (const auto& ch : l.channels) {
            l.timeTicks(ch);
            l.colourBar(ch);
            if (!ch.freqPane.empty())
                l.frequencyTicks(ch.freqPane);
            if (!ch.oscPane.empty())
                l.amplitudeTicks(ch.oscPane);
        }
        for (std::size_t channel = 0; channel < 2; ++channel) {
            ColumnEngine engine(l);
            CountColumns sink;
            EXPECT_TRUE(engine.compute(doc, channel, 0, l.columns, sink));
        }
    }
}

void fillStereo(CVesSoundDoc& doc)
{
    vestest::fillDocument(doc, 2, 16, 384000, vestest::patternSamples(2, 16, 20000));
}

class NullView : public IDocView {
public:
    void onLengthChanged(std::int64_t) override {}
};

}  // namespace

TEST(LoadedParms, HostileSetsOfARecordingAreRepairedOnLoadingAndDrawWithoutFault)
{
    for (const Hostile& h : kHostile) {
        vestest::TempDir dir;
        vestest::RecordingHost host;
        const std::string file = dir.file("hostile.vprd");
        {
            CVesSoundDoc doc(host);
            fillStereo(doc);
            doc.recData().m_timeExp25 = h.timeExp25;
            VesAnaParms p;
            h.set(p);
            NullView view;
            doc.attachView(&view, &p);
            ASSERT_TRUE(doc.save(file, kTypeVesperonWave)) << h.what << ": " << host.lastMessage();
            doc.detachView(&view);
        }
        CVesSoundDoc doc(host);
        ASSERT_TRUE(doc.open(file)) << h.what << ": " << host.lastMessage();
        ASSERT_FALSE(doc.pendingAnaParms().empty()) << h.what;
        EXPECT_GT(doc.effectiveTimeExp25(), 0) << h.what;
        NewViewContext c;
        c.kind = ViewKind::Base;
        const VesAnaParms p = initialViewParms(doc, c);
        expectInRange(p, h.what);
        drawAllPanes(doc, p, h.what);
    }
}

TEST(LoadedParms, HostileDefaultSettingsAreRepairedOnLoadingAndDrawWithoutFault)
{
    vestest::RecordingHost host;
    CVesSoundDoc doc(host);
    fillStereo(doc);
    for (const Hostile& h : kHostile) {
        vestest::TempDir dir;
        vkit::RegCls reg(dir.file("u.conf"), "");
        VesAnaParms stored;
        h.set(stored);
        ASSERT_TRUE(stored.save(reg)) << h.what;
        VesAnaParms loaded;
        loaded.load(reg);
        expectInRange(loaded, h.what);
        const VesAnaParms p = defaultViewParms(loaded, ViewKind::Combined);
        expectInRange(p, h.what);
        drawAllPanes(doc, p, h.what);
    }
}

TEST(LoadedParms, RepairKeepsEveryValueTheDialogsAllow)
{
    VesAnaParms p;
    p.m_plotSize = 123456789012;  // beyond the dialogs' 10 hours: a whole recording
    p.m_spectMin = 15000;
    p.m_spectMax = -1;            // unset: half the effective rate
    p.m_ampMin = -10000;
    p.m_ampMax = 10000;
    p.m_fftSize = 4096;
    p.m_fftOverLap = 99;
    p.m_fftThresHold = 32;
    p.m_contrast = -10;
    p.m_colorScheme = 100;
    p.m_colorMap.m_colorMapRader = 64;
    p.m_freqThreshold = 99;
    p.m_freqSize = 16000;
    p.m_freqGridY = -1;
    p.m_spectGridX = 5;
    VesAnaParms q = p;
    q.repair();
    EXPECT_EQ(q, p);
    q.repair(384000);
    EXPECT_EQ(q.m_spectMax, 192000) << "with a known rate, unset is half of it";
}
