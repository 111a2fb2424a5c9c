// The default pulse characteristics settings find whole calls: one pulse per
// call, not one per cycle, with the highest and lowest frequency of its
// contour.
#include "pulse/PulseAnalysis.h"

#include "PulseFixtures.h"

#include <gtest/gtest.h>

using pulsetest::Call;

TEST(PulseDefaults, FindWholeCallsWithTheirContour)
{
    // Calls of a quarter and a twentieth of full scale, with the dips of
    // their cycles, an FM sweep and a call with a second harmonic.
    const std::vector<Call> calls = {{0.020, 0.005, 75000, 45000, 0.25},
                                     {0.110, 0.004, 90000, 35000, 0.05},
                                     {0.200, 0.008, 42000, 40000, 0.25, 0.3}};
    vestest::RecordingHost host;
    CVesSoundDoc doc(host);
    pulsetest::fill16(doc, 384000, pulsetest::synthesize(384000, 0.3, calls));
    PulseRequest req;
    req.parms.m_fftSize = 256;
    req.parms.m_fftOverlap = 192;
    req.parms.m_fftWindow = 2;
    req.alwaysMeasureSpectrum = true;
    PulseCollector sink;
    ASSERT_TRUE(analysePulses(doc, req, sink));
    ASSERT_EQ(sink.rows.size(), calls.size());
    for (std::size_t i = 0; i < calls.size(); ++i) {
        SCOPED_TRACE(i);
        const PulseResult& r = sink.rows[i];
        EXPECT_NEAR(r.startUs, calls[i].startSec * 1e6, 300);
        EXPECT_NEAR(r.durationUs, calls[i].durationSec * 1e6, 600);
        ASSERT_TRUE(r.contourFound) << "a frequency separation above 0 gives the contour";
        // The contour reaches the call's ends; loud calls spill a few bins
        // above the threshold around them.
        const double hi = std::max(calls[i].f0, calls[i].f1), lo = std::min(calls[i].f0, calls[i].f1);
        EXPECT_GE(r.highestHz, hi - 3000);
        EXPECT_LE(r.highestHz, hi + 12000);
        EXPECT_LE(r.lowestHz, lo + 3000);
        EXPECT_GE(r.lowestHz, lo - 12000);
    }
}
