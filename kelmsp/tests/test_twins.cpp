// The single-precision twins follow the double routines within single precision.
#include <kelmsp/kelmsp.h>

#include <gtest/gtest.h>

#include <cmath>

#include "KelmTestSupport.h"

using namespace kelm_test;

namespace {

class Twins : public ErrorCapture {};

// The same computation in both precisions.
template <class T>
std::vector<std::vector<double>> pipeline() {
  KelmVector<T> x(300);
  for (int i = 0; i < 300; ++i) x[i] = T(std::sin(0.05 * i * i / 30.0) + 0.3 * std::cos(1.3 * i));
  const KelmIIRFilter<T> iir(vec<T>(refData("iir.b")), vec<T>(refData("iir.a")));
  const KelmFIRFilter<T> fir(vec<T>({0.1, 0.2, 0.4, 0.2, 0.1}));
  KelmVector<T> f, e, k, low, high;
  KelmMatrixGeneral<T> A;
  std::vector<std::vector<double>> out;
  out.push_back(values(iir(x)));
  out.push_back(values(iir(x, 1)));
  out.push_back(values(fir(x, KELM_FIR_FULL)));
  out.push_back(values(spectrum(x, 64, f)));
  out.push_back(values(iir.frequencyResponseZ(16, f)));
  out.push_back(values(upSample(fir, x, 3, 0)));
  levinsonDurbin(vec<T>(refData("toeplitz.r")), e, A, k);
  out.push_back(values(k));
  QMFForward(KelmFIRFilter<T>(vec<T>({0.5, 0.5})), x, low, high);
  out.push_back(values(high));
  out.push_back(values(polynomialSqrt2(vec<T>({0.645, 0.6, 0.2}))));
  return out;
}

TEST_F(Twins, AgreeWithinSinglePrecision) {
  const auto d = pipeline<double>();
  const auto f = pipeline<float>();
  ASSERT_EQ(d.size(), f.size());
  for (std::size_t i = 0; i < d.size(); ++i) {
    ASSERT_FALSE(d[i].empty()) << "step " << i;
    expectClose(f[i], d[i], 2e-4, "step " + std::to_string(i));
  }
  expectNoErrors();
}

}  // namespace
