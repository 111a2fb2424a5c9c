// Pole-zero models fitted to data: Prony's method on impulse and frequency
// responses, and linear prediction against scipy's normal equations.
#include <kelmsp/kelmsp.h>

#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <functional>
#include <string>
#include <vector>

#include "KelmTestSupport.h"
#include "test_iir_reference.h"

using namespace kelm_test;
using namespace kelm_iir_test;

namespace {

template <class T>
class IIRModels : public TypedErrorCapture<T> {};
TYPED_TEST_SUITE(IIRModels, RealTypes);

// A filter whose poles lie within radius 0.7, so that its impulse response
// has died out (below 1e-10) after 64 samples.
const std::vector<double> kB{0.2, -0.1, 0.35};
const std::vector<double> kA{1.0, -0.6, 0.45, -0.1};

// 1/(1 - 0.5 z^-1) from its first four samples.
TYPED_TEST(IIRModels, PronyOfTheGeometricSequence) {
  using T = TypeParam;
  const KelmIIRFilter<T> h = IIRLSFilterDesign(1, 1, vec<T>({1, 0.5, 0.25, 0.125}));
  expectClose(h.A(), {1, -0.5}, tolerance<T>());
  expectClose(h.B(), {1, 0}, tolerance<T>());
  this->expectNoErrors();
}

// Prony on the impulse response of a known filter recovers it: exactly when
// the samples are just enough, and in the least-squares sense from more.
TYPED_TEST(IIRModels, PronyRecoversAKnownFilter) {
  using T = TypeParam;
  const KelmIIRFilter<T> known(vec<T>(kB), vec<T>(kA));
  const double tol = sizeof(T) == sizeof(float) ? 1e-3 : 1e-9;
  for (int length : {6, 7, 40}) {
    const KelmIIRFilter<T> fit = IIRLSFilterDesign(2, 3, known.impulseResponse(length));
    ASSERT_TRUE(fit.defined());
    expectClose(fit.B(), kB, tol, "b from " + std::to_string(length));
    expectClose(fit.A(), kA, tol, "a from " + std::to_string(length));
  }
  // No denominator: the first nb + 1 samples are the FIR fit.
  const KelmIIRFilter<T> fir = IIRLSFilterDesign(3, 0, known.impulseResponse(10));
  expectClose(fir.A(), {1}, 0);
  expectClose(fir.B(), values(known.impulseResponse(4)), tolerance<T>());
  this->expectNoErrors();
}

// The frequency-response form: the samples of B/A on [0, pi] at the
// frequencies 2j/N (evaluated independently here) give back the filter, for
// even and odd N.
TYPED_TEST(IIRModels, PronyFromAFrequencyResponse) {
  using T = TypeParam;
  const double tol = sizeof(T) == sizeof(float) ? 1e-3 : 1e-8;
  for (int c : {63, 64}) {
    const int N = c + 1;
    KelmVector<KelmComplex<T>> H(N / 2 + 1);
    for (int j = 0; j <= N / 2; ++j) {
      const std::complex<double> v = response(kB, kA, 2.0 * j / N);
      H[j] = KelmComplex<T>(T(v.real()), T(v.imag()));
    }
    const KelmIIRFilter<T> fit = IIRLSFilterDesign(2, 3, H, c);
    ASSERT_TRUE(fit.defined());
    expectClose(fit.B(), kB, tol, "b from N = " + std::to_string(N));
    expectClose(fit.A(), kA, tol, "a from N = " + std::to_string(N));
  }
  this->expectNoErrors();
}

// Linear prediction solves the same normal equations as scipy's
// solve_toeplitz, and for a long AR(4) process lands near its coefficients.
TYPED_TEST(IIRModels, LinearPredictionOfAnARProcess) {
  using T = TypeParam;
  const KelmVector<T> x = vec<T>(iirRef("lpc.x"));
  const double tol = sizeof(T) == sizeof(float) ? 2e-3 : 1e-9;
  for (int p : {4, 6}) {
    const KelmIIRFilter<T> h = IIRLPCFilterDesign(x, p);
    expectClose(h.B(), {1}, 0);
    expectClose(h.A(), iirRef("lpc." + std::to_string(p) + ".a"), tol, "order " + std::to_string(p));
  }
  const KelmIIRFilter<T> h = IIRLPCFilterDesign(x, 4);
  expectClose(h.A(), iirRef("lpc.true"), 0.05, "true AR coefficients");
  // An order above the signal's length: the autocorrelation is padded with zeros.
  expectClose(IIRLPCFilterDesign(vec<T>(iirRef("lpc.short.x")), 6).A(), iirRef("lpc.short.a"),
              sizeof(T) == sizeof(float) ? 1e-4 : 1e-12, "short signal");
  this->expectNoErrors();
}

// --- Errors: undefined filter, reported once ---

struct ModelError {
  const char* name;
  std::function<bool()> call;  // true when the result is defined
  int code;
  const char* routine;
  std::vector<std::string> texts;
  std::vector<int> ints;
};

std::ostream& operator<<(std::ostream& os, const ModelError& e) { return os << e.name; }

const char* const kProny = "IIRLSFilterDesign(const int, const int, const KelmVectorDouble&)";
const char* const kPronyH = "IIRLSFilterDesign(const int, const int, const KelmVectorDcomplex&, const int)";
const char* const kLpc = "IIRLPCFilterDesign(const KelmVectorDouble&, const int)";

KelmVectorDouble ramp(int n) { return KelmRampDouble(n) + 1.0; }
KelmVectorDcomplex flat(int n) {
  KelmVectorDcomplex v(n);
  v = KelmDcomplex(1.0);
  return v;
}

std::vector<ModelError> modelErrors() {
  return {
      {"PronyTooShort", [] { return IIRLSFilterDesign(2, 2, ramp(4)).defined(); }, 200243, kProny},
      {"PronyEmpty", [] { return IIRLSFilterDesign(0, 0, KelmVectorDouble()).defined(); }, 200243, kProny},
      {"PronyNegativeOrder", [] { return IIRLSFilterDesign(-1, 2, ramp(8)).defined(); }, 200118, kProny, {"nb"}, {-1}},
      {"PronyFloatText", [] { return IIRLSFilterDesign(1, 1, KelmVectorFloat(2)).defined(); }, 200243,
       "IIRLSFilterDesign(const int, const int, const KelmVectorFloat&)"},
      {"ResponseLengthBelowOrders", [] { return IIRLSFilterDesign(2, 3, flat(8), 4).defined(); }, 200241, kPronyH,
       {}, {5, 5}},
      {"ResponseLengthZero", [] { return IIRLSFilterDesign(0, 0, flat(8), 0).defined(); }, 200241, kPronyH, {}, {1, 0}},
      {"ResponseTooFewValues", [] { return IIRLSFilterDesign(1, 1, flat(5), 10).defined(); }, 200242, kPronyH},
      {"ResponseNegativeOrder", [] { return IIRLSFilterDesign(1, -2, flat(8), 10).defined(); }, 200118, kPronyH,
       {"na"}, {-1}},
      {"LpcOrderZero", [] { return IIRLPCFilterDesign(ramp(8), 0).defined(); }, 200109, kLpc, {"n"}},
      {"LpcSignalTooShort", [] { return IIRLPCFilterDesign(ramp(1), 2).defined(); }, 200100, kLpc, {"x"}, {2}},
      // A silent signal has no prediction: r(0) = 0.
      {"LpcSilentSignal",
       [] { return IIRLPCFilterDesign(KelmVectorDouble(16), 2).defined(); },
       200107,
       "toeplitzSolve(const KelmVectorDouble&, const KelmVectorDouble&)",
       {"r(0)"}},
  };
}

class IIRModelErrors : public ErrorCapture, public ::testing::WithParamInterface<ModelError> {};

TEST_P(IIRModelErrors, ReturnAnUndefinedFilter) {
  const ModelError& e = GetParam();
  EXPECT_FALSE(e.call());
  const CapturedError err = onlyError();
  EXPECT_EQ(err.code, e.code);
  EXPECT_EQ(err.severity, KELM_TERMINAL);
  EXPECT_EQ(err.routine, e.routine);
  for (std::size_t i = 0; i < e.texts.size(); ++i) EXPECT_EQ(err.text(int(i)), e.texts[i]);
  for (std::size_t i = 0; i < e.ints.size(); ++i) EXPECT_EQ(err.params.i[i], e.ints[i]);
}

std::string modelErrorName(const ::testing::TestParamInfo<ModelError>& param) { return param.param.name; }

INSTANTIATE_TEST_SUITE_P(Table, IIRModelErrors, ::testing::ValuesIn(modelErrors()), modelErrorName);

}  // namespace
