// Least-squares designs: the Wiener smoother against its normal equations,
// linear-phase frequency sampling against an independent least-squares
// solution and scipy's firls, Savitzky-Golay smoothers against exact
// rational values and by reproducing polynomials.
#include <kelmsp/kelmsp.h>

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "KelmTestSupport.h"
#include "test_fir_support.h"

using namespace kelm_test;
using namespace kelm_fir_test;

namespace {

const double kLibraryPi = 3.1415927410125732;

template <class T>
class FirLeastSquares : public TypedErrorCapture<T> {};
TYPED_TEST_SUITE(FirLeastSquares, RealTypes);

TYPED_TEST(FirLeastSquares, WienerSmootherSolvesItsNormalEquations) {
  using T = TypeParam;
  const int n = 9, len = 12;
  KelmVector<T> r(len), p(len), none(len);
  for (int k = 0; k < len; ++k) {
    r[k] = T(std::pow(0.9, k));
    p[k] = T(k == 0 ? 0.5 : 0.1 * std::pow(-0.5, k));
  }
  const std::vector<double> h = values(FIRLSFilterDesign(n, r, p).B());
  ASSERT_EQ(int(h.size()), n);
  const int q = (n - 1) / 2;
  for (int i = 0; i < n; ++i) {
    double lhs = 0;
    for (int j = 0; j < n; ++j) lhs += (double(r[std::abs(i - j)]) + double(p[std::abs(i - j)])) * h[j];
    EXPECT_NEAR(lhs, double(r[std::abs(i - q)]), 10 * tolerance<T>()) << i;
  }
  // Without noise the best smoother passes the signal unchanged.
  std::vector<double> unit(n, 0.0);
  unit[q] = 1;
  expectClose(FIRLSFilterDesign(n, r, none).B(), unit, 10 * tolerance<T>());
  this->expectNoErrors();
}

TYPED_TEST(FirLeastSquares, FrequencySamplingMatchesIndependentSolutions) {
  using T = TypeParam;
  const double tol = sizeof(T) == sizeof(float) ? 5e-4 : 1e-9;
  for (int i = 0; i < firRefCount("firls"); ++i) {
    const std::vector<double>& c = firRef("firls", "case", i);
    const int n = int(c[0]), anti = int(c[1]);
    const KelmVector<T> h =
        FIRLSFilterDesign(n, vec<T>(firRef("firls", "f", i)), vec<T>(firRef("firls", "a", i)), anti, int(c[2])).B();
    const std::string what = "case " + std::to_string(i);
    expectClose(h, firRef("firls", "h", i), tol, what);
    ASSERT_EQ(h.length(), n) << what;
    for (int k = 0; k < n; ++k) EXPECT_EQ(h[k], anti ? -h[n - 1 - k] : h[n - 1 - k]) << what << " at " << k;
  }
  // A dense grid approaches scipy's firls, which minimises the integral of
  // the squared error.
  for (int i = 0; i < firRefCount("scipyfirls"); ++i) {
    const int n = int(firRef("scipyfirls", "case", i)[0]);
    expectClose(
        FIRLSFilterDesign(n, vec<T>(firRef("scipyfirls", "f", i)), vec<T>(firRef("scipyfirls", "a", i)), 0, 200).B(),
        firRef("scipyfirls", "h", i), sizeof(T) == sizeof(float) ? 1e-3 : 1e-4, "firls " + std::to_string(i));
  }
  this->expectNoErrors();
}

// With as many points as unknowns the design interpolates the targets, for
// every type; the antisymmetric types respond with j times the amplitude.
TEST(FirLeastSquaresExact, InterpolatesTheTargets) {
  struct Case {
    int n, anti;
    std::vector<double> f, a;
  };
  const Case cases[] = {
      {11, 0, {0.0, 0.2, 0.4, 0.6, 0.8, 1.0}, {1, 0.9, 0.7, 0.4, 0.2, 0.1}},
      {12, 0, {0.0, 0.2, 0.4, 0.6, 0.8, 0.9}, {1, 0.9, 0.7, 0.4, 0.2, 0.1}},
      {13, 1, {0.1, 0.25, 0.4, 0.6, 0.75, 0.9}, {0.1, 0.3, 0.5, 0.7, 0.5, 0.2}},
      {12, 1, {0.1, 0.25, 0.4, 0.6, 0.75, 1.0}, {0.1, 0.3, 0.5, 0.7, 0.9, 1.0}},
  };
  for (const Case& c : cases) {
    const KelmVectorDouble h = FIRLSFilterDesign(c.n, vec<double>(c.f), vec<double>(c.a), c.anti, 0).B();
    ASSERT_EQ(h.length(), c.n);
    for (std::size_t i = 0; i < c.f.size(); ++i) {
      // The library's frequencies use its single-precision pi.
      const std::complex<double> r = centredResponse(h, c.f[i] * kLibraryPi / M_PI);
      EXPECT_NEAR(c.anti ? r.imag() : r.real(), c.a[i], 1e-10) << "n " << c.n << " f " << c.f[i];
      EXPECT_NEAR(c.anti ? r.real() : r.imag(), 0, 1e-10);
    }
  }
}

TYPED_TEST(FirLeastSquares, SavitzkyGolayMatchesExactCoefficients) {
  using T = TypeParam;
  const double tol = sizeof(T) == sizeof(float) ? 2e-5 : 1e-12;
  for (int i = 0; i < firRefCount("savgol"); ++i) {
    const std::vector<double>& c = firRef("savgol", "case", i);
    expectClose(KelmFIRSGFFilterDesign<T>(T(c[0]), T(c[1])).B(), firRef("savgol", "h", i), tol,
                "n " + std::to_string(int(c[0])) + " l " + std::to_string(int(c[1])));
  }
  // Odd degrees give the filter of the even degree below; the full degree
  // leaves the samples unchanged; degree 0 is the moving average.
  expectClose(KelmFIRSGFFilterDesign<T>(T(9), T(5)).B(), values(KelmFIRSGFFilterDesign<T>(T(9), T(4)).B()), tol);
  expectClose(KelmFIRSGFFilterDesign<T>(T(9), T(4.5)).B(), values(KelmFIRSGFFilterDesign<T>(T(9), T(4)).B()), tol);
  for (double l : {8.0, 9.0}) expectClose(KelmFIRSGFFilterDesign<T>(T(9), T(l)).B(), {0, 0, 0, 0, 1, 0, 0, 0, 0}, tol);
  expectClose(KelmFIRSGFFilterDesign<T>(T(5), T(1)).B(), {0.2, 0.2, 0.2, 0.2, 0.2}, tol);
  expectClose(KelmFIRSGFFilterDesign<T>(T(1), T(0)).B(), {1}, 0);
  this->expectNoErrors();
}

TYPED_TEST(FirLeastSquares, SavitzkyGolayReproducesPolynomialsOfItsDegree) {
  using T = TypeParam;
  std::mt19937 gen(3);
  std::uniform_real_distribution<double> dist(-1, 1);
  struct Case {
    int n, l;
  };
  for (const Case& c : {Case{5, 2}, Case{11, 4}, Case{21, 7}, Case{31, 10}, Case{61, 20}}) {
    const std::vector<double> h = values(KelmFIRSGFFilterDesign<T>(T(c.n), T(c.l)).B());
    ASSERT_EQ(int(h.size()), c.n);
    // A symmetric smoother of even degree d also passes degree d + 1.
    const int degree = 2 * (c.l / 2) + 1;
    std::vector<double> poly(degree + 1);
    for (double& v : poly) v = dist(gen);
    const int len = 3 * c.n;
    std::vector<double> x(len);
    for (int k = 0; k < len; ++k) {
      const double t = (k - len / 2.0) / len;
      double s = 0;
      for (int j = degree; j >= 0; --j) s = s * t + poly[j];
      x[k] = s;
    }
    const int m = (c.n - 1) / 2;
    double scale = 0;
    for (double v : x) scale = std::max(scale, std::fabs(v));
    for (int i = m; i < len - m; ++i) {
      double y = 0;
      for (int j = 0; j < c.n; ++j) y += h[j] * x[i + m - j];
      EXPECT_NEAR(y, x[i], (sizeof(T) == sizeof(float) ? 1e-3 : 1e-11) * scale) << "n " << c.n << " at " << i;
    }
  }
  this->expectNoErrors();
}

}  // namespace
