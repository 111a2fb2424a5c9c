#include "filter/FilterDesign.h"
#include "filter/FilterKernel.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

namespace {

FilterRecord record(FilterType type, FilterBand band, int order, int lo, int hi = 0)
{
    FilterRecord r;
    r.type = type;
    r.band = band;
    r.order = order;
    r.typeName = filterTypeName(type);
    switch (band) {
    case FilterBand::LowPass: r.lowPassHz = lo; break;
    case FilterBand::HighPass: r.highPassHz = lo; break;
    case FilterBand::BandPass: r.bandPassLowHz = lo; r.bandPassHighHz = hi; break;
    case FilterBand::BandStop: r.bandStopLowHz = lo; r.bandStopHighHz = hi; break;
    case FilterBand::None: break;
    }
    return r;
}

double gainDb(const SosCascade& s, double hz, double nyquistHz)
{
    return 20 * std::log10(std::abs(s.response(M_PI * hz / nyquistHz)));
}

}  // namespace

TEST(FilterDesign, CutOffChecksInTheirOrder)
{
    using T = FilterType;
    using B = FilterBand;
    const double N = 192000;  // 384 kHz
    const std::string inc8 = "Filter cut-off frequency not allowed. Increase cut-off frequency or decrease filter order.";
    const std::string dec8 = "Filter cut-off frequency not allowed. Decrease cut-off frequency or decrease filter order.";
    const std::string inc = "Filter cut-off frequency not allowed. Increase cut-off frequency.";
    const std::string dec = "Filter cut-off frequency not allowed. Decrease cut-off frequency.";
    struct Case {
        FilterRecord r;
        std::string message;
    } cases[] = {
        {record(T::Butterworth, B::LowPass, 0, 10000), "Ilegal filter order!"},
        {record(T::UserDefined, B::None, -1, 0), "Ilegal filter order!"},
        {record(T::UserDefined, B::None, 3, 0), ""},
        {record(T::Butterworth, B::LowPass, 4, 0), "Illegal cut-off frequency!"},
        {record(T::Butterworth, B::HighPass, 4, 192001), "Illegal cut-off frequency!"},
        {record(T::Butterworth, B::LowPass, 4, 192000), dec},  // fc = N passes the first check only
        {record(T::Butterworth, B::LowPass, 8, 192000), dec8},
        {record(T::Butterworth, B::LowPass, 8, 3482), inc8},  // F = 0.01813...
        {record(T::Butterworth, B::LowPass, 8, 3484), ""},
        {record(T::Butterworth, B::LowPass, 6, 1741), inc},
        {record(T::Butterworth, B::LowPass, 6, 1742), ""},
        {record(T::Butterworth, B::HighPass, 6, 190253), dec},
        {record(T::Butterworth, B::HighPass, 10, 10), ""},  // above order 8: no range check
        // For a band-pass the range checks run in any case; a failing one
        // replaces the message of an earlier check.
        {record(T::Elliptic, B::BandPass, 4, 0, 50000), inc},
        {record(T::Elliptic, B::BandPass, 4, 20000, 200000), dec},
        {record(T::Elliptic, B::BandPass, 10, 0, 50000), "Illegal lower cut-off frequency!"},
        {record(T::Elliptic, B::BandPass, 10, 20000, 200000), "Illegal upper cut-off frequency!"},
        {record(T::Elliptic, B::BandPass, 4, 60000, 20000), "Lower cut-off frequency greater than upper!"},
        {record(T::Elliptic, B::BandPass, 4, 20000, 21000), "Filter bandwidth too narrow. Increase the bandwidth."},
        {record(T::Elliptic, B::BandPass, 4, 1000, 1500), inc},  // the range check replaces "too narrow"
        {record(T::Elliptic, B::BandPass, 8, 3000, 60000), inc8},
        {record(T::Elliptic, B::BandPass, 4, 20000, 60000), ""},
        {record(T::Elliptic, B::BandStop, 4, 50000, 40000), "Low bandstop frequency greater than high!"},
        {record(T::Elliptic, B::BandStop, 4, 40000, 43000), "Filter bandwidth too narrow. Increase the bandwidth."},
        {record(T::Elliptic, B::BandStop, 8, 40000, 190000), dec8},
        {record(T::Elliptic, B::None, 4, 0), "Filter range type not selected!!"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(filterCheckMessage(c.r, N), c.message)
            << "band " << static_cast<int>(c.r.band) << ", order " << c.r.order << ", " << c.r.lowPassHz << "/"
            << c.r.highPassHz << "/" << c.r.bandPassLowHz << "-" << c.r.bandPassHighHz << "/" << c.r.bandStopLowHz
            << "-" << c.r.bandStopHighHz;
    // Rates and time expansions whose product leaves 32 bits.
    EXPECT_DOUBLE_EQ(filterNyquistHz(500000, 10000), 2500000.0);
    EXPECT_DOUBLE_EQ(filterNyquistHz(384000, 0), 192000.0);
}

TEST(FilterDesign, RippleAndStopbandTexts)
{
    std::int32_t v = 0;
    EXPECT_TRUE(rippleFromText("0.2 dB", v));
    EXPECT_EQ(v, 2);
    EXPECT_TRUE(rippleFromText("1 db", v));
    EXPECT_EQ(v, 10);
    EXPECT_TRUE(rippleFromText("2.5", v));
    EXPECT_EQ(v, 25);
    EXPECT_FALSE(rippleFromText("dB", v));
    EXPECT_FALSE(rippleFromText("1.2.3 dB", v));
    EXPECT_TRUE(stopbandFromText("-50 dB", v));
    EXPECT_EQ(v, -50);
    EXPECT_FALSE(stopbandFromText("- dB", v));
}

// Each type and band meets its defining properties, its sections agree with
// the library's difference equation, and the record holds that equation.
TEST(FilterDesign, EveryTypeAndBandMeetsItsSpecification)
{
    const double N = 192000;
    for (FilterType type : {FilterType::Butterworth, FilterType::Chebyshev1, FilterType::Elliptic, FilterType::InverseChebyshev}) {
        for (FilterBand band : {FilterBand::LowPass, FilterBand::HighPass, FilterBand::BandPass, FilterBand::BandStop}) {
            for (int order : {2, 4, 8}) {
                FilterRecord r = band == FilterBand::BandPass || band == FilterBand::BandStop
                                     ? record(type, band, order, 20000, 60000)
                                     : record(type, band, order, 30000);
                r.rippleTenthDb = 5;
                r.stopbandDb = -50;
                const FilterDesignResult d = designFilter(r, N);
                const std::string what = std::string(filterTypeName(type)) + " band " +
                                         std::to_string(static_cast<int>(band)) + " order " + std::to_string(order);
                ASSERT_TRUE(d.ok) << what << ": " << d.message;
                EXPECT_TRUE(d.sections.stable()) << what;
                EXPECT_EQ(r.A[0], 1.0) << what;
                EXPECT_EQ(d.sections.order(), r.order) << what;
                const bool inverse = type == FilterType::InverseChebyshev;
                // Passband and stopband probes for each band.
                double pass = 0, stop = 0;
                switch (band) {
                case FilterBand::LowPass: pass = 10000; stop = 150000; break;
                case FilterBand::HighPass: pass = 150000; stop = 3000; break;
                case FilterBand::BandPass: pass = 35000; stop = 3000; break;
                case FilterBand::BandStop: pass = 3000; stop = 35000; break;
                case FilterBand::None: break;
                }
                EXPECT_LT(gainDb(d.sections, pass, N), 0.01) << what;
                if (inverse) {
                    // The edge is where the stopband begins: beyond it, the stopband gain.
                    EXPECT_LT(gainDb(d.sections, stop, N), -49.9) << what;
                } else {
                    EXPECT_GT(gainDb(d.sections, pass, N), -3.02) << what;
                    EXPECT_LT(gainDb(d.sections, stop, N), order == 2 ? -6 : -20) << what;
                    // At the (first) edge: -3 dB for Butterworth, the ripple for the others.
                    const double edge = band == FilterBand::LowPass || band == FilterBand::HighPass ? 30000 : 20000;
                    EXPECT_NEAR(gainDb(d.sections, edge, N), type == FilterType::Butterworth ? -3.01 : -0.5, 0.05) << what;
                }
            }
        }
    }
}

// The elliptic band-pass of order 8 at the lowest edge the dialog allows
// diverges when run from its rounded difference equation; from the
// transformed roots every ripple and stopband of the lists gives a stable
// filter that passes a call and stops the hum.
TEST(FilterDesign, NarrowLowEllipticFiltersStayStable)
{
    const double N = 192000;
    for (int ripple : {2, 5, 10, 20, 30}) {
        for (int stop : {-20, -30, -40, -50, -60, -70}) {
            for (FilterBand band : {FilterBand::BandPass, FilterBand::HighPass}) {
                FilterRecord r = band == FilterBand::BandPass ? record(FilterType::Elliptic, band, 8, 3500, 12000)
                                                              : record(FilterType::Elliptic, band, 8, 3500);
                r.rippleTenthDb = ripple;
                r.stopbandDb = stop;
                const FilterDesignResult d = designFilter(r, N);
                const std::string what = "ripple " + std::to_string(ripple) + ", stop " + std::to_string(stop) +
                                         (band == FilterBand::BandPass ? ", band-pass" : ", high-pass");
                ASSERT_TRUE(d.ok) << what << ": " << d.message;
                EXPECT_LT(d.sections.largestPoleRadius(), 1 - SosCascade::kStabilityMargin) << what;
                EXPECT_NEAR(gainDb(d.sections, 8000, N), 0, ripple / 10.0 + 0.01) << what;
                EXPECT_LT(gainDb(d.sections, 500, N), stop + 0.5) << what;
            }
        }
    }
}

// A definition-file filter whose poles lie outside the unit circle, and one
// with A[0] = 0, are refused; a stable one is factored into sections that
// follow its coefficients.
TEST(FilterDesign, UserDefinedFiltersAreFactoredOrRefused)
{
    FilterRecord r = record(FilterType::UserDefined, FilterBand::None, 2, 0);
    r.A = {1, -1.9, 0.95};  // poles at radius 0.975
    r.B = {0.0125, 0.025, 0.0125};
    FilterDesignResult d = designFilter(r, 192000);
    ASSERT_TRUE(d.ok) << d.message;
    EXPECT_NEAR(std::abs(d.sections.response(0)), 0.05 / 0.05, 1e-9);
    r.A = {2, -3.8, 1.9};  // normalised by A[0]
    r.B = {0.025, 0.05, 0.025};
    d = designFilter(r, 192000);
    ASSERT_TRUE(d.ok) << d.message;
    EXPECT_DOUBLE_EQ(r.A[1], -1.9);
    EXPECT_DOUBLE_EQ(r.B[0], 0.0125);
    r.A = {1, -2.1, 1.1};  // a pole at 1.1
    EXPECT_FALSE(designFilter(r, 192000).ok);
    r.A = {0, 1, 0.5};
    const FilterDesignResult zero = designFilter(r, 192000);
    EXPECT_FALSE(zero.ok);
    EXPECT_NE(zero.message.find("A[0]"), std::string::npos) << zero.message;
}

TEST(FilterDesign, ResponseIsNormalisedToItsPeak)
{
    FilterRecord lp = record(FilterType::Butterworth, FilterBand::LowPass, 4, 30000);
    const auto low = normalisedMagnitudeResponse(designFilter(lp, 192000).sections, 1024);
    ASSERT_EQ(low.size(), 1024u);
    EXPECT_NEAR(low.front(), 1.0, 1e-9) << "0 dB at the lowest point";
    FilterRecord hp = record(FilterType::Butterworth, FilterBand::HighPass, 4, 30000);
    const auto high = normalisedMagnitudeResponse(designFilter(hp, 192000).sections, 1024);
    EXPECT_LT(high.front(), 1e-6) << "nothing at 0 Hz";
    EXPECT_NEAR(high.back(), 1.0, 1e-9);
}

// The estimated order is the least that meets the stopband edges: a design of
// that order reaches the stopband level there, one order less does not.
TEST(FilterDesign, EstimatedOrderIsTheLeastThatMeetsTheStopbandEdges)
{
    const double N = 192000;
    struct Case {
        FilterType type;
        FilterBand band;
        std::vector<double> pass, stop;
    } cases[] = {
        {FilterType::Chebyshev1, FilterBand::LowPass, {20000}, {30000}},
        {FilterType::Elliptic, FilterBand::LowPass, {20000}, {24000}},
        {FilterType::Chebyshev1, FilterBand::HighPass, {40000}, {25000}},
        {FilterType::Elliptic, FilterBand::HighPass, {40000}, {35000}},
        {FilterType::Elliptic, FilterBand::BandPass, {30000, 60000}, {20000, 80000}},
    };
    for (const Case& c : cases) {
        const std::string what = std::string(filterTypeName(c.type)) + " band " + std::to_string(static_cast<int>(c.band));
        FilterRecord r = record(c.type, c.band, 1, static_cast<int>(c.pass[0]),
                                c.pass.size() > 1 ? static_cast<int>(c.pass[1]) : 0);
        r.rippleTenthDb = 5;
        r.stopbandDb = -50;
        const int n = estimateFilterOrder(r, c.pass, c.stop, N);
        ASSERT_GT(n, 0) << what;
        const auto worstStopGain = [&](int order) {
            FilterRecord d = r;
            d.order = order;
            const FilterDesignResult res = designFilter(d, N);
            EXPECT_TRUE(res.ok) << what << " order " << order << ": " << res.message;
            double worst = -1000;
            for (double s : c.stop)
                worst = std::max(worst, gainDb(res.sections, s, N));
            return worst;
        };
        EXPECT_LE(worstStopGain(n), -49.5) << what << " order " << n;
        const int less = c.band == FilterBand::BandPass ? n - 2 : n - 1;
        if (less >= 1) {
            EXPECT_GT(worstStopGain(less), -49.5) << what << " order " << less;
        }
    }
    // A stopband edge inside the passband: no order meets it.
    FilterRecord r = record(FilterType::Elliptic, FilterBand::LowPass, 1, 20000);
    r.rippleTenthDb = 5;
    r.stopbandDb = -50;
    EXPECT_EQ(estimateFilterOrder(r, {20000}, {15000}, N), 0);
    EXPECT_EQ(estimateFilterOrder(r, {20000}, {}, N), 0);
}
