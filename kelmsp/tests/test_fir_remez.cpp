// Remez exchange: agreement with scipy's remez, equiripple errors with the
// weights asked for, and the signs of the differentiator and the Hilbert
// transformer on real signals.
#include <kelmsp/kelmsp.h>

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "KelmTestSupport.h"
#include "test_fir_support.h"

using namespace kelm_test;
using namespace kelm_fir_test;

namespace {

template <class T>
class FirRemez : public TypedErrorCapture<T> {};
TYPED_TEST_SUITE(FirRemez, RealTypes);

template <class T>
KelmFIRFilter<T> remez(int nfilt, int type, const std::vector<double>& edges, const std::vector<double>& fx,
                       const std::vector<double>& wtx, double lgrid = 16, int maxit = 25) {
  return FIRRemezFilterDesign(T(nfilt), T(type), vec<T>(edges), vec<T>(fx), vec<T>(wtx), &maxit, T(lgrid));
}

TYPED_TEST(FirRemez, MatchesScipy) {
  using T = TypeParam;
  const double tol = sizeof(T) == sizeof(float) ? 2e-4 : 1e-8;
  for (int i = 0; i < firRefCount("remez"); ++i) {
    const std::vector<double>& c = firRef("remez", "case", i);
    const int type = int(c[1]);
    const KelmVector<T> h = remez<T>(int(c[0]), type, firRef("remez", "edges", i), firRef("remez", "fx", i),
                                     firRef("remez", "wtx", i), c[2])
                                .B();
    std::vector<double> expected = firRef("remez", "h", i);
    // scipy's Hilbert transformer has the opposite sign (H = +j A).
    if (type == 3)
      for (double& v : expected) v = -v;
    expectClose(h, expected, tol, "case " + std::to_string(i));
  }
  this->expectNoErrors();
}

struct RippleCase {
  int nfilt, type;
  std::vector<double> edges, fx, wtx;
};

std::ostream& operator<<(std::ostream& os, const RippleCase& c) { return os << "nfilt " << c.nfilt << " type " << c.type; }

class RemezRipple : public ErrorCapture, public ::testing::WithParamInterface<RippleCase> {};

// The weighted error reaches the same extreme in every band and alternates
// in sign at least (number of cosine terms + 1) times.
TEST_P(RemezRipple, IsEquirippleWithTheWeights) {
  const RippleCase& c = GetParam();
  const KelmVectorDouble h = remez<double>(c.nfilt, c.type, c.edges, c.fx, c.wtx).B();
  ASSERT_EQ(h.length(), c.nfilt);
  const int terms = c.nfilt / 2 + (c.nfilt % 2 == 1 && c.type == 1 ? 1 : 0);
  // Weighted error on a dense grid of every band; its extremes, band ends
  // included, in the order of frequency.
  std::vector<double> peaks, bandWorst;
  for (std::size_t b = 0; b < c.fx.size(); ++b) {
    std::vector<double> error;
    const double lo = c.edges[2 * b], hi = c.edges[2 * b + 1];
    for (int i = 0; i <= 2000; ++i) {
      double f = lo + (hi - lo) * i / 2000;
      if (c.type != 1 && f == 0) continue;  // the antisymmetric response is 0 there
      if (c.type != 1 && c.nfilt % 2 == 1 && f == 1) continue;
      const std::complex<double> r = centredResponse(h, f);
      // H = A (type 1), j A (differentiator), -j A (Hilbert transformer).
      const double a = c.type == 1 ? r.real() : (c.type == 2 ? r.imag() : -r.imag());
      const double desired = c.type == 2 ? c.fx[b] * f / 2 : c.fx[b];
      const double weight = c.type == 2 && c.fx[b] >= 0.0001 ? c.wtx[b] / (f / 2) : c.wtx[b];
      error.push_back(weight * (a - desired));
    }
    double worst = 0;
    for (std::size_t i = 0; i < error.size(); ++i) {
      worst = std::max(worst, std::fabs(error[i]));
      const bool peak = (i == 0 || std::fabs(error[i]) >= std::fabs(error[i - 1])) &&
                        (i + 1 == error.size() || std::fabs(error[i]) >= std::fabs(error[i + 1]));
      if (peak) peaks.push_back(error[i]);
    }
    bandWorst.push_back(worst);
  }
  // Between the points of the design grid the error may exceed the levelled
  // one by a few per cent.
  const double dev = *std::max_element(bandWorst.begin(), bandWorst.end());
  for (double w : bandWorst) EXPECT_NEAR(w / dev, 1, 0.05) << "band extremes differ";
  int alternations = 0, lastSign = 0;
  for (double e : peaks) {
    if (std::fabs(e) < 0.9 * dev) continue;
    const int sign = e > 0 ? 1 : -1;
    if (sign != lastSign) ++alternations;
    lastSign = sign;
  }
  EXPECT_GE(alternations, terms + 1);
  expectNoErrors();
}

INSTANTIATE_TEST_SUITE_P(
    Kelm, RemezRipple,
    ::testing::Values(RippleCase{31, 1, {0, 0.3, 0.4, 1}, {1, 0}, {1, 1}},
                      RippleCase{32, 1, {0, 0.3, 0.4, 1}, {1, 0}, {1, 10}},
                      RippleCase{41, 1, {0, 0.2, 0.3, 0.6, 0.7, 1}, {0, 1, 0}, {4, 1, 2}},
                      RippleCase{27, 1, {0, 0.35, 0.5, 1}, {0, 1}, {3, 1}},
                      RippleCase{24, 2, {0, 0.9}, {M_PI}, {1}},
                      RippleCase{33, 2, {0, 0.5, 0.6, 1}, {1, 0}, {1, 5}},
                      RippleCase{31, 3, {0.1, 0.9}, {1}, {1}},
                      RippleCase{30, 3, {0.1, 1}, {2}, {1}}));

// y = h * x with the delay (n - 1)/2 of the linear phase, compared with the
// expected output at the delayed times.
template <class F>
double worstDeviation(const KelmVectorDouble& h, const std::vector<double>& x, F expected) {
  const int n = h.length();
  const double delay = (n - 1) / 2.0;
  double worst = 0;
  for (int k = n; k < int(x.size()); ++k) {
    double y = 0;
    for (int j = 0; j < n; ++j) y += h[j] * x[k - j];
    worst = std::max(worst, std::fabs(y - expected(k - delay)));
  }
  return worst;
}

// A differentiator with fx = 2 pi turns sin(w k) into w cos(w k); a Hilbert
// transformer turns cos(w k) into sin(w k), for odd and even lengths.
TEST(FirRemezSigns, DifferentiatorAndHilbertTransformerHaveTheirIdealSigns) {
  const double w = 0.4 * M_PI;
  std::vector<double> sine, cosine;
  for (int k = 0; k < 400; ++k) {
    sine.push_back(std::sin(w * k));
    cosine.push_back(std::cos(w * k));
  }
  for (int n : {31, 32}) {
    const KelmVectorDouble d = remez<double>(n, 2, {0, 0.8}, {2 * M_PI}, {1}).B();
    EXPECT_LT(worstDeviation(d, sine, [w](double t) { return w * std::cos(w * t); }), 0.01) << n;
    const KelmVectorDouble hilbert = remez<double>(n, 3, {0.1, n % 2 ? 0.9 : 1.0}, {1}, {1}).B();
    EXPECT_LT(worstDeviation(hilbert, cosine, [w](double t) { return std::sin(w * t); }), 0.01) << n;
    EXPECT_GT(hilbert[n / 2 + 1], 0) << "the ideal Hilbert transformer has 2/(pi k) after the centre";
  }
}

}  // namespace
