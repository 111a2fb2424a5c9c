// Every error of every routine: reported exactly once, with its code,
// severity, routine text and parameters, and an empty result.
#include <kelmsp/kelmsp.h>

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "KelmTestSupport.h"

using namespace kelm_test;

namespace {

struct ErrorCase {
  const char* name;
  std::function<bool()> call;  // true when the result is the empty one
  int code;
  const char* routine;
  std::vector<std::string> texts = {};
  std::vector<int> ints = {};
  int severity = KELM_TERMINAL;
};

std::ostream& operator<<(std::ostream& os, const ErrorCase& c) { return os << c.name; }

using D = KelmVectorDouble;
using DC = KelmVectorDcomplex;
using M = KelmMatrixGeneralDouble;
const D kEmpty;
const KelmFIRFilterDouble kNoFir;
const KelmIIRFilterDouble kNoIir;
const KelmFIRFilterDouble kFir3(vec<double>({1, 2, 1}));
const KelmFIRFilterDouble kHaar(vec<double>({0.5, 0.5}));
const KelmIIRFilterDouble kIir(vec<double>({1}), vec<double>({1, -0.5}));

const char* const kFirCall = "KelmFIRFilterDouble::operator()(const KelmVectorDouble&, const int)";
const char* const kSpectrum = "spectrum(const KelmVectorDouble&, const int, const int, const KelmVectorDouble&, "
                              "KelmVectorDouble&)";
const char* const kToeplitz = "toeplitzSolve(const KelmVectorDouble&, const KelmVectorDouble&)";

D ones(int n) {
  D v(n);
  v = 1.0;
  return v;
}

std::vector<ErrorCase> cases() {
  D f;
  return {
      // Convolution and FIR filtering.
      {"ConvolutionEmpty", [] { return convolution(kEmpty, ones(2), 0).empty(); }, 200253,
       "convolution(const KelmVectorDouble&, const KelmVectorDouble&, const int)"},
      {"ConvolutionFloatText", [] { return convolution(KelmVectorFloat(), KelmVectorFloat(1), 1).empty(); }, 200253,
       "convolution(const KelmVectorFloat&, const KelmVectorFloat&, const int)"},
      {"ConvolutionComplexText", [] { return convolution(DC(), DC(1), 0).empty(); }, 200253,
       "convolution(const KelmVectorDcomplex&, const KelmVectorDcomplex&, const int)"},
      {"FirUndefined", [] { return kNoFir(ones(4)).empty(); }, 200105,
       "KelmFIRFilterDouble::operator()(const KelmVectorDouble&)"},
      {"FirFloatText", [] { return KelmFIRFilterFloat()(KelmVectorFloat(3)).empty(); }, 200105,
       "KelmFIRFilterFloat::operator()(const KelmVectorFloat&)"},
      {"FirSignalShorter", [] { return kFir3(ones(2), 0).empty(); }, 200233, kFirCall, {}, {2, 3}},
      {"FirDelayAboveLength", [] { return kFir3(ones(5), 4).empty(); }, 200234, kFirCall, {}, {4, 3}},
      {"FirDelayNegative", [] { return kFir3(ones(5), -1).empty(); }, 200235, kFirCall, {}, {-1}},
      {"FirOptionSignalShorter", [] { return kFir3(ones(2), KELM_FIR_PERIODIC, 1).empty(); }, 200233,
       "KelmFIRFilterDouble::operator()(const KelmVectorDouble&, KelmFIRFilterOption, const int)", {}, {2, 3}},
      // IIR filtering.
      {"IirUndefined", [] { return kNoIir(ones(3)).empty(); }, 200105,
       "KelmIIRFilterDouble::operator()(const KelmVectorDouble&)"},
      {"IirZeroLeadingDenominator",
       [] { return KelmIIRFilterDouble(ones(1), vec<double>({0, 1}))(ones(3), 1).empty(); }, 200107,
       "KelmIIRFilterDouble::operator()(const KelmVectorDouble&, const int)", {"a(0)"}},
      {"ZeroPhaseWithUnitCircleDenominator",
       [] { return KelmIIRFilterDouble(ones(1), vec<double>({1, -2, 1}))(ones(3), 1).empty(); }, 8019,
       "polynomialJury(const KelmVectorDouble&, const KelmVectorDouble&)"},
      // Responses.
      {"ResponseSNoPoints", [] { return kFir3.frequencyResponseS(kEmpty).empty(); }, 200117,
       "KelmFIRFilterDouble::frequencyResponseS(const KelmVectorDouble&)", {"points"}},
      {"ResponseSUndefined", [] { return kNoIir.frequencyResponseS(DC(1)).empty(); }, 200105,
       "KelmIIRFilterDouble::frequencyResponseS(const KelmVectorDcomplex&)"},
      {"ResponseSZeroDenominator", [] { return !kIir.frequencyResponseS(vec<double>({2})).empty(); }, 200244,
       "KelmIIRFilterDouble::frequencyResponseS(const KelmVectorDouble&)", {}, {0}, KELM_WARNING},
      {"ResponseZNoFrequencies", [f]() mutable { return kIir.frequencyResponseZ(kEmpty, f).empty(); }, 200109,
       "KelmIIRFilterDouble::frequencyResponseZ(const KelmVectorDouble&, KelmVectorDouble&)", {"npoints"}},
      {"ResponseZNoPoints", [f]() mutable { return kFir3.frequencyResponseZ(0, f).empty(); }, 200109,
       "KelmFIRFilterDouble::frequencyResponseZ(const int, KelmVectorDouble&)", {"npoints"}},
      {"ImpulseUndefined", [] { return kNoFir.impulseResponse(3).empty(); }, 200105,
       "KelmFIRFilterDouble::impulseResponse(const int)"},
      {"ImpulseNoPoints", [] { return kIir.impulseResponse(0).empty(); }, 200118,
       "KelmIIRFilterDouble::impulseResponse(const int)", {"npoints"}, {0}},
      // Resampling.
      {"UpSampleUndefined", [] { return upSample(kNoFir, ones(3), 2, 0).empty(); }, 200105,
       "upSample(const KelmFIRFilterDouble&, const KelmVectorDouble&, const int, const int)"},
      {"UpSampleEmpty", [] { return upSample(kFir3, kEmpty, 2, 0).empty(); }, 200117,
       "upSample(const KelmFIRFilterDouble&, const KelmVectorDouble&, const int, const int)", {"x"}},
      {"UpSampleFactorBelowOne", [] { return upSample(kFir3, ones(3), 0, 0).empty(); }, 200109,
       "upSample(const KelmFIRFilterDouble&, const KelmVectorDouble&, const int, const int)", {"l"}},
      {"DownSampleUndefined", [] { return downSample(kNoFir, ones(3), 2, 0).empty(); }, 200105,
       "downSample(const KelmFIRFilterDouble&, const KelmVectorDouble&, const int, const int)"},
      {"DownSampleFactorBelowOne", [] { return downSample(kFir3, ones(3), 0, 0).empty(); }, 200109,
       "downSample(const KelmFIRFilterDouble&, const KelmVectorDouble&, const int, const int)", {"m"}},
      {"DownSampleSignalShorterThanFactor", [] { return downSample(kFir3, ones(3), 4, 1).empty(); }, 200100,
       "downSample(const KelmFIRFilterDouble&, const KelmVectorDouble&, const int, const int)", {"x"}, {4}},
      // Spectra.
      {"SpectrumSignalTooShort", [f]() mutable { return spectrum(ones(1), 4, 0, ones(4), f).empty(); }, 200100,
       kSpectrum, {"x"}, {2}},
      {"SpectrumSegmentTooShort", [f]() mutable { return spectrum(ones(10), 2, 0, ones(2), f).empty(); }, 200102,
       kSpectrum, {}, {2, 2}},
      {"SpectrumWindowLength", [f]() mutable { return spectrum(ones(10), 4, 0, ones(5), f).empty(); }, 200101,
       kSpectrum, {}, {4, 5}},
      {"SpectrumOverlapEqualToSegment", [f]() mutable { return spectrum(ones(10), 4, 4, ones(4), f).empty(); },
       200103, kSpectrum, {}, {4, 3}},
      {"SpectrumZeroWindow", [f]() mutable { return spectrum(ones(10), 4, 0, D(4), f).empty(); }, 200107, kSpectrum,
       {"w"}},
      {"SpectrumComplexFloatText",
       [] {
         KelmVectorFloat g;
         return spectrum(KelmVectorFcomplex(1), 4, 0, KelmVectorFloat(4), g).empty();
       },
       200100, "spectrum(const KelmVectorFcomplex&, const int, const int, const KelmVectorFloat&, KelmVectorFloat&)",
       {"x"}, {2}},
      {"SpectrogramNegativeOverlap", [f]() mutable { return spectrogram(ones(10), 4, -1, f).empty(); }, 200103,
       "spectrogram(const KelmVectorDouble&, const int, const int, KelmVectorDouble&)", {}, {-1, 3}},
      // Vector and polynomial routines.
      {"ReverseEmpty", [] { return reverse(kEmpty).empty(); }, 200117, "reverse(const KelmVectorDouble&)", {"v"}},
      {"SincEmpty", [] { return sinc(kEmpty).empty(); }, 200117, "sinc(const KelmVectorDouble&)", {"v"}},
      {"MultiplyEmpty", [] { return polynomialMultiply(ones(2), kEmpty).empty(); }, 200253,
       "polynomialMultiply(const KelmVectorDouble&, const KelmVectorDouble&)"},
      {"SumEmpty", [] { return polynomialSum(kEmpty, ones(2)).empty(); }, 200253,
       "polynomialSum(const KelmVectorDouble&, const KelmVectorDouble&)"},
      {"DivideEmpty",
       [] {
         D q, r;
         polynomialDivide(kEmpty, ones(2), q, r);
         return q.empty() && r.empty();
       },
       200253, "polynomialDivide(const KelmVectorDouble&, const KelmVectorDouble&, KelmVectorDouble&, KelmVectorDouble&)"},
      {"DivideByZeroPolynomial",
       [] {
         D q, r;
         polynomialDivide(ones(3), D(2), q, r);
         return q.empty() && r.empty();
       },
       200107, "polynomialDivide(const KelmVectorDouble&, const KelmVectorDouble&, KelmVectorDouble&, KelmVectorDouble&)",
       {"d"}},
      {"DegreeEmpty", [] { return polynomialDegree(kEmpty) == 0; }, 200253, "polynomialDegree(const KelmVectorDouble&)"},
      {"Root2PolyEmpty", [] { return root2Poly(DC()).empty(); }, 200253, "root2Poly(const KelmVectorDcomplex&)"},
      {"EuclidEmpty",
       [] {
         D x, y;
         polynomialEuclid(ones(2), kEmpty, ones(1), x, y);
         return x.empty() && y.empty();
       },
       200253,
       "polynomialEuclid(const KelmVectorDouble&, const KelmVectorDouble&, const KelmVectorDouble&, "
       "KelmVectorDouble&, KelmVectorDouble&)"},
      {"SchurCohnEmpty", [] { return schurCohnTest(kEmpty, 0.0) == -1; }, 200100,
       "schurCohnTest(const KelmVectorDouble&, const double)", {"p"}, {1}},
      {"SchurCohnEpsilon", [] { return schurCohnTest(ones(2), 1.0) == -1; }, 200110,
       "schurCohnTest(const KelmVectorDouble&, const double)", {"epsilon", "[0, 1)"}},
      {"JuryEmpty", [] { return polynomialJury(kEmpty, ones(1)).empty(); }, 200253,
       "polynomialJury(const KelmVectorDouble&, const KelmVectorDouble&)"},
      {"Sqrt2Empty", [] { return polynomialSqrt2(kEmpty).empty(); }, 200253, "polynomialSqrt2(const KelmVectorDouble&)"},
      {"Sqrt2NonPositiveCentre", [] { return polynomialSqrt2(vec<double>({-1, 0.5})).empty(); }, 200109,
       "polynomialSqrt2(const KelmVectorDouble&)", {"p(0)"}},
      {"Sqrt2NoConvergence", [] { return polynomialSqrt2(vec<double>({3, 4, 1})).empty(); }, 200251,
       "polynomialSqrt2(const KelmVectorDouble&)"},
      {"StabilizeEmpty", [] { return polynomialStabilize(kEmpty, 1).empty(); }, 200253,
       "polynomialStabilize(const KelmVectorDouble&, const int)"},
      // Linear prediction.
      {"LevinsonEmpty",
       [] {
         D e, k;
         M A;
         levinsonDurbin(kEmpty, e, A, k);
         return e.empty() && A.empty() && k.empty();
       },
       200100, "levinsonDurbin(const KelmVectorDouble&, KelmVectorDouble&, KelmMatrixGeneralDouble&, KelmVectorDouble&)",
       {"r"}, {2}},
      {"LevinsonZeroPower",
       [] {
         D e, k;
         M A;
         levinsonDurbin(vec<double>({0, 1}), e, A, k);
         return e.empty();
       },
       200107, "levinsonDurbin(const KelmVectorDouble&, KelmVectorDouble&, KelmMatrixGeneralDouble&, KelmVectorDouble&)",
       {"r(0)"}},
      {"LevinsonSingular",
       [] {
         D e, k;
         M A;
         levinsonDurbin(ones(3), e, A, k);
         return e.empty();
       },
       200259, "levinsonDurbin(const KelmVectorDouble&, KelmVectorDouble&, KelmMatrixGeneralDouble&, KelmVectorDouble&)",
       {}, {1}},
      {"LevinsonACEmpty",
       [] {
         D r;
         levinsonAC(r, kEmpty, M(1, 1));
         return r.empty();
       },
       200100, "levinsonAC(KelmVectorDouble&, const KelmVectorDouble&, const KelmMatrixGeneralDouble&)", {"alpha"}, {2}},
      {"LevinsonACMatrixSize",
       [] {
         D r;
         levinsonAC(r, ones(3), M(3, 2));
         return r.empty();
       },
       200108, "levinsonAC(KelmVectorDouble&, const KelmVectorDouble&, const KelmMatrixGeneralDouble&)", {"A"}},
      {"JuryRCEmpty",
       [] {
         D e, k;
         M A;
         juryRC(1.0, kEmpty, e, A, k);
         return e.empty();
       },
       200100,
       "juryRC(const double, const KelmVectorDouble&, KelmVectorDouble&, KelmMatrixGeneralDouble&, KelmVectorDouble&)",
       {"a"}, {1}},
      {"JuryRCZeroLeading",
       [] {
         D e, k;
         M A;
         juryRC(1.0, vec<double>({0, 1}), e, A, k);
         return e.empty();
       },
       200107,
       "juryRC(const double, const KelmVectorDouble&, KelmVectorDouble&, KelmMatrixGeneralDouble&, KelmVectorDouble&)",
       {"a(0)"}},
      {"JuryRCUnitReflection",
       [] {
         D e, k;
         M A;
         juryRC(1.0, vec<double>({1, 0.5, 1}), e, A, k);
         return e.empty();
       },
       200259,
       "juryRC(const double, const KelmVectorDouble&, KelmVectorDouble&, KelmMatrixGeneralDouble&, KelmVectorDouble&)",
       {}, {2}},
      {"ToeplitzEmpty", [] { return toeplitzSolve(kEmpty, kEmpty).empty(); }, 200100, kToeplitz, {"r"}, {1}},
      {"ToeplitzLengths", [] { return toeplitzSolve(ones(2), ones(3)).empty(); }, 200112, kToeplitz, {"b", "r"}},
      {"ToeplitzZeroDiagonal", [] { return toeplitzSolve(vec<double>({0, 1}), ones(2)).empty(); }, 200107, kToeplitz,
       {"r(0)"}},
      // Root pairing.
      {"PairInvEmpty", [] { return pairInv(DC()).empty(); }, 200117, "pairInv(const KelmVectorDcomplex&)", {"z"}},
      {"PairConjEmpty", [] { return pairConj(DC()).empty(); }, 200117, "pairConj(const KelmVectorDcomplex&)", {"z"}},
      {"PairConjOddCount", [] { return pairConj(cvec<double>({1, 1, 2, 0, 1, -1, 3, 2})).empty(); }, 200116,
       "pairConj(const KelmVectorDcomplex&)", {}, {3}},
      // Filter bank and wavelets.
      {"QMFForwardEmpty",
       [] {
         D lo, hi;
         QMFForward(kHaar, kEmpty, lo, hi);
         return lo.empty() && hi.empty();
       },
       200117, "QMFForward(const KelmFIRFilterDouble&, const KelmVectorDouble&, KelmVectorDouble&, KelmVectorDouble&)",
       {"x"}},
      {"QMFForwardUndefined",
       [] {
         D lo, hi;
         QMFForward(kNoFir, ones(4), lo, hi);
         return lo.empty();
       },
       200105, "QMFForward(const KelmFIRFilterDouble&, const KelmVectorDouble&, KelmVectorDouble&, KelmVectorDouble&)"},
      {"QMFBackwardUndefined",
       [] {
         D y;
         QMFBackward(kNoFir, y, 4, ones(2), ones(2));
         return y.empty();
       },
       200105,
       "QMFBackward(const KelmFIRFilterDouble&, KelmVectorDouble&, const int, const KelmVectorDouble&, const "
       "KelmVectorDouble&)"},
      {"QMFBackwardChannelLengths",
       [] {
         D y;
         QMFBackward(kHaar, y, 4, ones(2), ones(3));
         return y.empty();
       },
       200106,
       "QMFBackward(const KelmFIRFilterDouble&, KelmVectorDouble&, const int, const KelmVectorDouble&, const "
       "KelmVectorDouble&)",
       {}, {2, 3}},
      {"QMFBackwardNoSamples",
       [] {
         D y;
         QMFBackward(kHaar, y, 0, ones(2), ones(2));
         return y.empty();
       },
       200109,
       "QMFBackward(const KelmFIRFilterDouble&, KelmVectorDouble&, const int, const KelmVectorDouble&, const "
       "KelmVectorDouble&)",
       {"n"}},
      {"WaveletUndefined", [] { return KelmWaveletDouble().forward(kNoFir, ones(8), 1).QMFStages() == -1; }, 200105,
       "KelmWaveletDouble::forward(const KelmFIRFilterDouble&, const KelmVectorDouble&, const int)"},
      {"WaveletNoStages", [] { return KelmWaveletDouble().forward(kHaar, ones(8), 0).QMFStages() == -1; }, 200109,
       "KelmWaveletDouble::forward(const KelmFIRFilterDouble&, const KelmVectorDouble&, const int)", {"J"}},
      {"WaveletTooManyStages", [] { return KelmWaveletDouble().forward(kHaar, ones(8), 4).QMFStages() == -1; },
       200104, "KelmWaveletDouble::forward(const KelmFIRFilterDouble&, const KelmVectorDouble&, const int)", {}, {4}},
      {"WaveletHugeStageCount",
       [] { return KelmWaveletDouble().forward(kHaar, ones(8), 5000).QMFStages() == -1; }, 200104,
       "KelmWaveletDouble::forward(const KelmFIRFilterDouble&, const KelmVectorDouble&, const int)", {}, {5000}},
      {"WaveletCoefsBeforeTransform", [] { return KelmWaveletDouble().coefs(1).empty(); }, 200257,
       "KelmWaveletDouble::coefs(const int)"},
      {"WaveletCoefsStage",
       [] {
         KelmWaveletDouble w;
         w.forward(kHaar, ones(8), 2);
         return w.coefs(3).empty();
       },
       200258, "KelmWaveletDouble::coefs(const int)", {}, {3, 2}},
      {"WaveletBackwardBeforeTransform", [] { return KelmWaveletDouble().backward(kHaar).empty(); }, 200257,
       "KelmWaveletDouble::backward(const KelmFIRFilterDouble&)"},
      {"WaveletBackwardUndefined", [] { return KelmWaveletDouble().backward(kNoFir).empty(); }, 200105,
       "KelmWaveletDouble::backward(const KelmFIRFilterDouble&)"},
  };
}

class ReportedOnce : public ErrorCapture, public ::testing::WithParamInterface<ErrorCase> {};
class RoutineErrors : public ErrorCapture {};

TEST_P(ReportedOnce, WithCodeRoutineAndParameters) {
  const ErrorCase& c = GetParam();
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
  EXPECT_EQ(kelm_n1rty(0), c.severity);
}

INSTANTIATE_TEST_SUITE_P(Kelm, ReportedOnce, ::testing::ValuesIn(cases()),
                         [](const ::testing::TestParamInfo<ErrorCase>& p) { return p.param.name; });

// A successful call after a failed one leaves no error behind.
TEST_F(RoutineErrors, SuccessClearsTheLastError) {
  EXPECT_TRUE(reverse(kEmpty).empty());
  EXPECT_EQ(kelm_n1rcd(0), 200117);
  EXPECT_EQ(reverse(ones(2)).length(), 2);
  EXPECT_EQ(kelm_n1rcd(0), 0);
  EXPECT_EQ(kelm_n1rty(0), 0);
}

}  // namespace
