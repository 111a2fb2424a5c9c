// Every check of the FIR design routines: reported once, with its code,
// severity, routine text and parameters, and an empty result; and the
// single-precision twins following the double routines.
#include <kelmsp/kelmsp.h>

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <string>
#include <vector>

#include "KelmTestSupport.h"

using namespace kelm_test;

namespace {

struct FirErrorCase {
  const char* name;
  std::function<bool()> call;  // true when the result is the empty one
  int code;
  const char* routine;
  std::vector<std::string> texts = {};
  std::vector<int> ints = {};
  int severity = KELM_TERMINAL;
};

std::ostream& operator<<(std::ostream& os, const FirErrorCase& c) { return os << c.name; }

using D = KelmVectorDouble;
const double kNaN = std::numeric_limits<double>::quiet_NaN();

const char* const kWindow = "FIRWindowDouble(const int, KelmFIRWindowOption, const double)";
const char* const kWindowPlain = "FIRWindowDouble(const int, KelmFIRWindowOption)";
const char* const kDesign1 = "FIRFilterDesign(KelmFilterDesignOption, const int, const double)";
const char* const kDesign1W = "FIRFilterDesign(KelmFilterDesignOption, const KelmVectorDouble&, const double)";
const char* const kDesign2 = "FIRFilterDesign(KelmFilterDesignOption, const int, const double, const double)";
const char* const kDesign2W =
    "FIRFilterDesign(KelmFilterDesignOption, const KelmVectorDouble&, const double, const double)";
const char* const kWiener = "FIRLSFilterDesign(const int, const KelmVectorDouble&, const KelmVectorDouble&)";
const char* const kLS =
    "FIRLSFilterDesign(const int, const KelmVectorDouble&, const KelmVectorDouble&, const int, const int)";
const char* const kRemez =
    "FIRRemezFilterDesign(const double, const double, const KelmVectorDouble&, const KelmVectorDouble&, const "
    "KelmVectorDouble&, int*, const double)";
const char* const kQMF = "FIRQMFFilterDesign(const KelmVectorDouble&)";
const char* const kSG = "KelmFIRSGFFilterDesignDouble(const double, const double)";
const char* const kDown = "downSampleFilterDesignDouble(const int, const int)";
const char* const kUp = "upSampleFilterDesignDouble(const int, const int, const double)";

D ones(int n) {
  D v(n);
  v = 1.0;
  return v;
}

// Remez call with the usual arguments unless overridden.
bool remezFails(double nfilt, double type, const D& edges, const D& fx, const D& wtx, int maxit = 25,
                double lgrid = 16, bool withMaxit = true) {
  return !FIRRemezFilterDesign(nfilt, type, edges, fx, wtx, withMaxit ? &maxit : nullptr, lgrid).defined();
}
const D kEdges = vec<double>({0, 0.3, 0.4, 1});
const D kTwo = vec<double>({1, 0});

bool ls(int n, const D& f, const D& a, int anti, int density) {
  return !FIRLSFilterDesign(n, f, a, anti, density).defined();
}

std::vector<FirErrorCase> cases() {
  return {
      // Windows.
      {"WindowTooShort", [] { return FIRWindowDouble(1, KELM_WINDOW_HANN).empty(); }, 200118, kWindowPlain, {"n"}, {1}},
      {"WindowFloatText", [] { return FIRWindowFloat(0, KELM_WINDOW_HANN, 1.0f).empty(); }, 200118,
       "FIRWindowFloat(const int, KelmFIRWindowOption, const float)", {"n"}, {1}},
      {"WindowUnknownOption", [] { return FIRWindowDouble(5, KelmFIRWindowOption(9), 1.0).empty(); }, 200110, kWindow,
       {"option", "[0, 6]"}},
      {"KaiserWithoutParameter", [] { return FIRWindowDouble(5, KELM_WINDOW_KAISER).empty(); }, 200120, kWindowPlain},
      {"DolphWithoutParameter", [] { return FIRWindowDouble(5, KELM_WINDOW_DOLPH_CHEBYSHEV).empty(); }, 200120,
       kWindowPlain},
      {"DolphEvenLength", [] { return FIRWindowDouble(6, KELM_WINDOW_DOLPH_CHEBYSHEV, 0.3).empty(); }, 200119, kWindow},
      {"DolphThetaOne", [] { return FIRWindowDouble(7, KELM_WINDOW_DOLPH_CHEBYSHEV, 1.0).empty(); }, 200110, kWindow,
       {"theta", "(0, 1)"}},
      {"DolphThetaNaN", [] { return FIRWindowDouble(7, KELM_WINDOW_DOLPH_CHEBYSHEV, kNaN).empty(); }, 200110, kWindow,
       {"theta", "(0, 1)"}},
      {"KaiserBeyondBesselRange", [] { return FIRWindowDouble(7, KELM_WINDOW_KAISER, 1e308).empty(); }, 200212,
       kWindow, {}, {}, KELM_FATAL},
      {"KaiserNaN", [] { return FIRWindowDouble(7, KELM_WINDOW_KAISER, kNaN).empty(); }, 200212, kWindow, {}, {},
       KELM_FATAL},
      // Window method.
      {"DesignLengthOne", [] { return !FIRFilterDesign(KELM_LOW_PASS, 1, 0.3).defined(); }, 200111, kDesign1,
       {"length", "one"}},
      {"DesignWindowTooShort", [] { return !FIRFilterDesign(KELM_LOW_PASS, ones(1), 0.3).defined(); }, 200101,
       kDesign1W, {}, {2}},
      {"OneEdgeBandPass", [] { return !FIRFilterDesign(KELM_BAND_PASS, 11, 0.3).defined(); }, 200223, kDesign1},
      {"OneEdgeBandStopWindow", [] { return !FIRFilterDesign(KELM_BAND_STOP, ones(11), 0.3).defined(); }, 200223,
       kDesign1W},
      {"HighPassEvenLength", [] { return !FIRFilterDesign(KELM_HIGH_PASS, 10, 0.3).defined(); }, 200224, kDesign1},
      {"BandStopEvenLength", [] { return !FIRFilterDesign(KELM_BAND_STOP, 10, 0.3, 0.5).defined(); }, 200225, kDesign2},
      {"BandPassEqualEdges", [] { return !FIRFilterDesign(KELM_BAND_PASS, 11, 0.3, 0.3).defined(); }, 200254, kDesign2},
      {"BandStopEdgesReversed", [] { return !FIRFilterDesign(KELM_BAND_STOP, ones(11), 0.6, 0.3).defined(); }, 200254,
       kDesign2W},
      {"DesignUnknownOption", [] { return !FIRFilterDesign(KelmFilterDesignOption(4), 11, 0.3, 0.5).defined(); },
       200110, kDesign2, {"option", "[0, 3]"}},
      {"DesignFloatText", [] { return !FIRFilterDesign(KELM_HIGH_PASS, 4, 0.3f, 0.5f).defined(); }, 200224,
       "FIRFilterDesign(KelmFilterDesignOption, const int, const float, const float)"},
      // Wiener smoother.
      {"WienerLengths", [] { return !FIRLSFilterDesign(3, ones(4), ones(5)).defined(); }, 200226, kWiener},
      {"WienerShortCorrelation", [] { return !FIRLSFilterDesign(5, ones(4), ones(4)).defined(); }, 200255, kWiener},
      {"WienerEvenLength", [] { return !FIRLSFilterDesign(4, ones(4), ones(4)).defined(); }, 200227, kWiener, {"n"}},
      {"WienerNegativeLength", [] { return !FIRLSFilterDesign(-3, ones(4), ones(4)).defined(); }, 200109, kWiener,
       {"n"}},
      {"WienerZeroPower", [] { return !FIRLSFilterDesign(3, D(3), D(3)).defined(); }, 200107,
       "toeplitzSolve(const KelmVectorDouble&, const KelmVectorDouble&)", {"r(0)"}},
      // Least-squares frequency sampling.
      {"LSShortFrequencies", [] { return ls(11, vec<double>({0, 1}), ones(3), 0, 0); }, 200100, kLS, {"f"}, {3}},
      {"LSShortAmplitudes", [] { return ls(11, vec<double>({0, 0.5, 1}), ones(2), 0, 0); }, 200100, kLS,
       {"amplitude"}, {3}},
      {"LSLengthsDiffer", [] { return ls(11, vec<double>({0, 0.5, 1}), ones(4), 0, 0); }, 200112, kLS,
       {"f", "amplitude"}},
      {"LSNotIncreasing", [] { return ls(11, vec<double>({0, 0.5, 0.5, 1}), ones(4), 0, 0); }, 200228, kLS},
      {"LSOutsideRange", [] { return ls(11, vec<double>({0, 0.5, 1.2}), ones(3), 0, 0); }, 200256, kLS},
      {"LSAntisymmetricTooShort", [] { return ls(1, vec<double>({0, 0.5, 1}), ones(3), 1, 0); }, 200214, kLS, {"n"},
       {2}},
      {"LSEvenSymmetricAtOne", [] { return ls(6, vec<double>({0, 0.5, 1}), ones(3), 0, 0); }, 200229, kLS},
      {"LSOddAntisymmetricAtZero", [] { return ls(7, vec<double>({0, 0.5, 0.9}), ones(3), 1, 0); }, 200230, kLS},
      {"LSOddAntisymmetricAtOne", [] { return ls(7, vec<double>({0.1, 0.5, 1}), ones(3), 1, 0); }, 200230, kLS},
      {"LSEvenAntisymmetricAtZero", [] { return ls(6, vec<double>({0, 0.5, 1}), ones(3), 1, 0); }, 200231, kLS},
      {"LSGridTooLarge", [] { return ls(11, vec<double>({0, 0.5, 1}), ones(3), 0, 1 << 30); }, 200110, kLS,
       {"density", "[1, 715827882]"}},
      // Remez exchange.
      {"RemezTooShort", [] { return remezFails(2, 1, kEdges, kTwo, ones(2)); }, 200214, kRemez, {"nfilt"}, {3}},
      {"RemezLengthBelowThree", [] { return remezFails(2.9, 1, kEdges, kTwo, ones(2)); }, 200214, kRemez, {"nfilt"},
       {3}},
      {"RemezLengthNaN", [] { return remezFails(kNaN, 1, kEdges, kTwo, ones(2)); }, 200214, kRemez, {"nfilt"}, {3}},
      {"RemezLengthHuge", [] { return remezFails(1e9, 1, kEdges, kTwo, ones(2)); }, 200110, kRemez,
       {"nfilt", "[3, 16777216]"}},
      {"RemezType", [] { return remezFails(21, 4, kEdges, kTwo, ones(2)); }, 200215, kRemez},
      {"RemezOddEdges", [] { return remezFails(21, 1, vec<double>({0, 0.3, 0.4}), kTwo, ones(2)); }, 200216, kRemez},
      {"RemezNoEdges", [] { return remezFails(21, 1, D(), D(), D()); }, 200217, kRemez},
      {"RemezTooManyEdges", [] { return remezFails(21, 1, ones(22), ones(11), ones(11)); }, 200217, kRemez},
      {"RemezDesired", [] { return remezFails(21, 1, kEdges, ones(3), ones(2)); }, 200108, kRemez, {"fx"}},
      {"RemezWeights", [] { return remezFails(21, 1, kEdges, kTwo, ones(1)); }, 200108, kRemez, {"wtx"}},
      {"RemezGridDensity", [] { return remezFails(21, 1, kEdges, kTwo, ones(2), 25, 0); }, 200214, kRemez,
       {"lgrid"}, {1}},
      {"RemezIterationLimit", [] { return remezFails(21, 1, kEdges, kTwo, ones(2), 26); }, 200218, kRemez},
      {"RemezNoIterationLimit", [] { return remezFails(21, 1, kEdges, kTwo, ones(2), 25, 16, false); }, 200218,
       kRemez},
      {"RemezEdgeOutside", [] { return remezFails(21, 1, vec<double>({0, 0.3, 0.4, 1.1}), kTwo, ones(2)); }, 200219,
       kRemez},
      {"RemezEdgesDecreasing", [] { return remezFails(21, 1, vec<double>({0, 0.4, 0.3, 1}), kTwo, ones(2)); }, 200228,
       kRemez},
      {"RemezBandsTouching", [] { return remezFails(21, 1, vec<double>({0, 0.4, 0.4, 1}), kTwo, ones(2)); }, 200228,
       kRemez},
      {"RemezZeroWeight", [] { return remezFails(21, 1, kEdges, kTwo, vec<double>({1, 0})); }, 200109, kRemez,
       {"wtx"}},
      {"RemezGridTooLarge", [] { return remezFails(101, 1, kEdges, kTwo, ones(2), 25, 1e6); }, 200110, kRemez,
       {"lgrid"}},
      {"RemezGridTooCoarse",
       [] { return remezFails(101, 1, vec<double>({0, 0.01, 0.99, 1}), kTwo, ones(2)); }, 200214, kRemez, {"lgrid"}},
      {"RemezNoConvergence", [] { return remezFails(61, 1, kEdges, kTwo, ones(2), 1); }, 200220, kRemez, {}, {1}},
      {"RemezFloatText",
       [] {
         int maxit = 25;
         return !FIRRemezFilterDesign(21.0f, 5.0f, KelmVectorFloat(4), KelmVectorFloat(2), KelmVectorFloat(2),
                                      &maxit, 16.0f)
                     .defined();
       },
       200215,
       "FIRRemezFilterDesign(const float, const float, const KelmVectorFloat&, const KelmVectorFloat&, const "
       "KelmVectorFloat&, int*, const float)"},
      // Complementary filter.
      {"QMFTooShort", [] { return !FIRQMFFilterDesign(ones(1)).defined(); }, 200100, kQMF, {"h"}, {2}},
      {"QMFSingleCoefficient", [] { return !FIRQMFFilterDesign(vec<double>({1, 1e-14})).defined(); }, 200100, kQMF,
       {"h"}, {2}},
      {"QMFSharedZeros", [] { return !FIRQMFFilterDesign(vec<double>({1, 0, -1})).defined(); }, 200252, kQMF},
      // Savitzky-Golay.
      {"SGEvenLength", [] { return !KelmFIRSGFFilterDesignDouble(6, 2).defined(); }, 200213, kSG},
      {"SGFractionalLength", [] { return !KelmFIRSGFFilterDesignDouble(5.5, 2).defined(); }, 200213, kSG},
      {"SGNegativeDegree", [] { return !KelmFIRSGFFilterDesignDouble(5, -1).defined(); }, 200214, kSG, {"l"}, {0}},
      {"SGDegreeNaN", [] { return !KelmFIRSGFFilterDesignDouble(5, kNaN).defined(); }, 200214, kSG, {"l"}, {0}},
      {"SGDegreeAboveLength", [] { return !KelmFIRSGFFilterDesignDouble(5, 6).defined(); }, 200111, kSG, {"n", "l"}},
      {"SGNegativeLength", [] { return !KelmFIRSGFFilterDesignDouble(-5, 0).defined(); }, 200111, kSG, {"n", "l"}},
      {"SGFloatText", [] { return !KelmFIRSGFFilterDesignFloat(4, 2).defined(); }, 200213,
       "KelmFIRSGFFilterDesignFloat(const float, const float)"},
      // Resampling filters.
      {"DownFactor", [] { return !downSampleFilterDesignDouble(1, 100).defined(); }, 200100, kDown, {"m"}, {2}},
      {"UpAlphaZero", [] { return !upSampleFilterDesignDouble(2, 4, 0).defined(); }, 200110, kUp,
       {"alpha", "(0, 1]"}},
      {"UpAlphaAboveOne", [] { return !upSampleFilterDesignDouble(2, 4, 1.5).defined(); }, 200110, kUp,
       {"alpha", "(0, 1]"}},
      {"UpFactorZero", [] { return !upSampleFilterDesignDouble(0, 4, 0.5).defined(); }, 200109, kUp, {"l"}},
      {"UpNoNeighbours", [] { return !upSampleFilterDesignDouble(2, 0, 0.5).defined(); }, 200109, kUp, {"n"}},
      {"UpTooLong", [] { return !upSampleFilterDesignDouble(1 << 16, 1 << 16, 0.5).defined(); }, 200109, kUp, {"n"}},
  };
}

class FirReportedOnce : public ErrorCapture, public ::testing::WithParamInterface<FirErrorCase> {};

TEST_P(FirReportedOnce, WithCodeRoutineAndParameters) {
  const FirErrorCase& c = GetParam();
  EXPECT_TRUE(c.call()) << "result is not the empty one";
  EXPECT_EQ(kelm_e1lev(), 0) << "routine stack not unwound";
  ASSERT_EQ(errors().size(), 1u) << "reported " << errors().size() << " times";
  const CapturedError& e = errors().front();
  EXPECT_EQ(e.code, c.code) << e.message;
  EXPECT_EQ(e.severity, c.severity);
  EXPECT_EQ(e.routine, c.routine);
  for (std::size_t i = 0; i < c.texts.size(); ++i) EXPECT_EQ(e.text(int(i)), c.texts[i]) << "text " << i;
  for (std::size_t i = 0; i < c.ints.size(); ++i) EXPECT_EQ(e.params.i[i], c.ints[i]) << "integer " << i;
  EXPECT_EQ(kelm_n1rcd(0), c.code);
}

INSTANTIATE_TEST_SUITE_P(Kelm, FirReportedOnce, ::testing::ValuesIn(cases()),
                         [](const ::testing::TestParamInfo<FirErrorCase>& p) { return p.param.name; });

class FirTwins : public ErrorCapture {};

// Every FIR design in both precisions.
template <class T>
std::vector<std::vector<double>> designs() {
  std::vector<std::vector<double>> out;
  for (int option = 0; option <= 5; ++option)
    out.push_back(values(FIRWindow<T>(17, KelmFIRWindowOption(option), T(2.5))));
  out.push_back(values(FIRWindow<T>(17, KELM_WINDOW_DOLPH_CHEBYSHEV, T(0.3))));
  out.push_back(values(FIRFilterDesign(KELM_BAND_STOP, 31, T(0.3), T(0.6)).B()));
  out.push_back(values(FIRFilterDesign(KELM_HIGH_PASS, FIRWindow<T>(21, KELM_WINDOW_BLACKMAN), T(0.4)).B()));
  KelmVector<T> r(8), p(8);
  for (int k = 0; k < 8; ++k) {
    r[k] = T(std::pow(0.8, k));
    p[k] = T(k == 0 ? 0.3 : 0);
  }
  out.push_back(values(FIRLSFilterDesign(7, r, p).B()));
  out.push_back(values(FIRLSFilterDesign(20, vec<T>({0, 0.4, 0.5, 1}), vec<T>({0, 0, 1, 1}), 1, 8).B()));
  int maxit = 25;
  out.push_back(values(FIRRemezFilterDesign(T(35), T(1), vec<T>({0, 0.25, 0.35, 1}), vec<T>({1, 0}), vec<T>({1, 3}),
                                            &maxit, T(16))
                           .B()));
  out.push_back(values(FIRQMFFilterDesign(FIRFilterDesign(KELM_LOW_PASS, FIRWindow<T>(6, KELM_WINDOW_HAMMING), T(0.5)).B()).B()));
  out.push_back(values(KelmFIRSGFFilterDesign<T>(T(15), T(4)).B()));
  out.push_back(values(downSampleFilterDesign<T>(3, 200).B()));
  out.push_back(values(upSampleFilterDesign<T>(3, 4, T(0.7)).B()));
  return out;
}

TEST_F(FirTwins, AgreeWithinSinglePrecision) {
  const auto d = designs<double>();
  const auto f = designs<float>();
  ASSERT_EQ(d.size(), f.size());
  for (std::size_t i = 0; i < d.size(); ++i) {
    ASSERT_FALSE(d[i].empty()) << "design " << i;
    expectClose(f[i], d[i], 2e-4, "design " + std::to_string(i));
  }
  expectNoErrors();
}

}  // namespace
