// Quadrature-mirror filter bank and wavelet transform round trips.
#include <kelmsp/kelmsp.h>

#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "KelmTestSupport.h"

using namespace kelm_test;

namespace {

// Orthogonal low-pass filters normalised to the sum 1.
std::vector<double> haar() { return {0.5, 0.5}; }
std::vector<double> daubechies4() {
  const double s3 = std::sqrt(3.0);
  return {(1 + s3) / 8, (3 + s3) / 8, (3 - s3) / 8, (1 - s3) / 8};
}
std::vector<double> daubechies6() {
  const double r = std::sqrt(2.0);
  std::vector<double> h = {0.3326705529500825, 0.8068915093110924, 0.4598775021184914,
                           -0.1350110200102546, -0.0854412738820267, 0.0352262918857095};
  for (double& v : h) v /= r;
  return h;
}

std::vector<double> signal(int n) {
  std::mt19937 gen(static_cast<unsigned>(n));
  std::normal_distribution<double> dist;
  std::vector<double> x(static_cast<std::size_t>(n));
  for (double& v : x) v = dist(gen);
  return x;
}

template <class T>
class Wavelets : public TypedErrorCapture<T> {};
TYPED_TEST_SUITE(Wavelets, RealTypes);

TYPED_TEST(Wavelets, QmfAnalysisThenSynthesisReconstructs) {
  using T = TypeParam;
  for (const auto& h : {haar(), daubechies4(), daubechies6()}) {
    const KelmFIRFilter<T> filter(vec<T>(h));
    for (int n : {6, 7, 16, 33}) {
      const std::vector<double> x = signal(n);
      KelmVector<T> low, high, y;
      QMFForward(filter, vec<T>(x), low, high);
      EXPECT_EQ(low.length(), high.length());
      QMFBackward(filter, y, n, low, high);
      expectClose(y, x, 20 * tolerance<T>(), "length " + std::to_string(n) + ", taps " + std::to_string(h.size()));
    }
  }
  // Haar: the channels hold scaled sums and differences of (x[2k-1], x[2k]).
  KelmVector<T> low, high;
  QMFForward(KelmFIRFilter<T>(vec<T>(haar())), vec<T>({1, 3, 5}), low, high);
  const double a = 1 / std::sqrt(2.0);
  expectClose(low, {a, 8 * a}, tolerance<T>());
  expectClose(high, {a, 2 * a}, tolerance<T>());
  this->expectNoErrors();
}

TYPED_TEST(Wavelets, MultiStageRoundTrip) {
  using T = TypeParam;
  const KelmFIRFilter<T> filter(vec<T>(daubechies4()));
  const std::vector<double> x = signal(100);
  KelmWavelet<T> w;
  EXPECT_EQ(w.QMFStages(), -1);
  w.forward(filter, vec<T>(x), 4);
  EXPECT_EQ(w.QMFStages(), 4);
  EXPECT_FALSE(w.coefs(4).empty());
  EXPECT_FALSE(w.approximation().empty());
  const KelmWavelet<T> copy = w;  // copies hold all stages
  w = KelmWavelet<T>();
  expectClose(copy.backward(filter), x, 50 * tolerance<T>());
  // Energy is kept by the orthogonal transform.
  double energy = 0, coefEnergy = 0;
  for (double v : x) energy += v * v;
  for (int i = 1; i <= 4; ++i)
    for (double v : values(copy.coefs(i))) coefEnergy += v * v;
  for (double v : values(copy.approximation())) coefEnergy += v * v;
  EXPECT_NEAR(coefEnergy / energy, 1.0, 50 * tolerance<T>());
  this->expectNoErrors();
}

}  // namespace
