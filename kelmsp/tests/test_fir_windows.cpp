// Windows of the FIR design against their definitions: the cosine and
// triangular formulas, Kaiser against the power series of I0, Dolph-Chebyshev
// against its side-lobe level, both against scipy.
#include <kelmsp/kelmsp.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "KelmTestSupport.h"
#include "test_fir_support.h"

using namespace kelm_test;
using namespace kelm_fir_test;

namespace {

const double kLibraryPi = 3.1415927410125732;

template <class T>
class FirWindows : public TypedErrorCapture<T> {};
TYPED_TEST_SUITE(FirWindows, RealTypes);

// I0 by its power series sum ((x/2)^k / k!)^2 in long double.
long double besselI0Series(long double x) {
  long double term = 1, sum = 1;
  for (int k = 1; k < 500; ++k) {
    term *= (x / 2) / k;
    sum += term * term;
    if (term * term < sum * 1e-21L) break;
  }
  return sum;
}

TYPED_TEST(FirWindows, CosineAndTriangularFormulas) {
  using T = TypeParam;
  struct Cosine {
    KelmFIRWindowOption option;
    double a0, a1, a2;
  };
  const Cosine table[] = {{KELM_WINDOW_RECTANGULAR, 1, 0, 0},
                          {KELM_WINDOW_HANN, 0.5, 0.5, 0},
                          {KELM_WINDOW_HAMMING, 0.54, 0.46, 0},
                          {KELM_WINDOW_BLACKMAN, 0.42, 0.5, 0.08}};
  for (int n : {2, 3, 5, 16, 33}) {
    for (const Cosine& c : table) {
      std::vector<double> expected;
      for (int k = 0; k < n; ++k) {
        const double x = 2 * M_PI * k / (n - 1);
        expected.push_back(c.a0 - c.a1 * std::cos(x) + c.a2 * std::cos(2 * x));
      }
      expectClose(FIRWindow<T>(n, c.option), expected, 2e-6, "option " + std::to_string(c.option));
    }
    std::vector<double> triangle;
    for (int k = 0; k < n; ++k) triangle.push_back(1 - 2 * std::fabs(k - (n - 1) / 2.0) / (n - 1));
    expectClose(FIRWindow<T>(n, KELM_WINDOW_TRIANGULAR), triangle, tolerance<T>(), "triangular");
  }
  // Exact up to the single-precision 2 pi of the cosine windows.
  expectClose(FIRWindow<T>(5, KELM_WINDOW_HANN), {0, 0.5, 1, 0.5, 0}, 2e-7);
  expectClose(FIRWindow<T>(3, KELM_WINDOW_TRIANGULAR), {0, 1, 0}, tolerance<T>());
  // The parameter form gives the same windows; the parameter is ignored.
  expectClose(FIRWindow<T>(7, KELM_WINDOW_HAMMING, T(3)), values(FIRWindow<T>(7, KELM_WINDOW_HAMMING)), 0);
  this->expectNoErrors();
}

TYPED_TEST(FirWindows, KaiserFollowsTheBesselSeries) {
  using T = TypeParam;
  const double tol = sizeof(T) == sizeof(float) ? 2e-6 : 2e-14;
  // w_0 = 1/I0(pi alpha): arguments in each range of the Chebyshev series
  // (below 3, 3 to 8, above 8) and a tiny one.
  for (double B : {1e-9, 0.5, 2.9, 3.1, 5.0, 7.9, 8.1, 20.0, 80.0, 100.0, 700.0}) {
    if (sizeof(T) == sizeof(float) && B > 80) continue;  // 1/I0(B) below the normal floats
    const KelmVector<T> w = FIRWindow<T>(2, KELM_WINDOW_KAISER, T(B / kLibraryPi));
    ASSERT_EQ(w.length(), 2);
    const long double exact = besselI0Series(static_cast<long double>(T(kLibraryPi) * T(B / kLibraryPi)));
    EXPECT_NEAR(1 / (double(w[0]) * double(exact)), 1.0, tol * 10) << "B " << B;
  }
  for (int n : {3, 10, 31}) {
    for (double alpha : {0.0, 0.5, 2.0, 5.0, 9.0, -2.0}) {
      const KelmVector<T> w = FIRWindow<T>(n, KELM_WINDOW_KAISER, T(alpha));
      const long double B = std::fabs(static_cast<long double>(T(kLibraryPi) * T(alpha)));
      std::vector<double> expected;
      for (int k = 0; k < n; ++k) {
        const long double x = 2.0L * (k - (n - 1) / 2.0L) / (n - 1);
        expected.push_back(double(besselI0Series(B * std::sqrt(std::max(0.0L, 1 - x * x))) / besselI0Series(B)));
      }
      expectClose(w, expected, tol * 10, "n " + std::to_string(n) + " alpha " + std::to_string(alpha));
    }
  }
  this->expectNoErrors();
}

TYPED_TEST(FirWindows, KaiserAndDolphChebyshevAgreeWithScipy) {
  using T = TypeParam;
  const double tol = sizeof(T) == sizeof(float) ? 2e-5 : 1e-11;
  for (int i = 0; i < firRefCount("kaiser"); ++i) {
    const std::vector<double>& c = firRef("kaiser", "case", i);
    // alpha = 300: pi alpha is far beyond where I0 itself overflows.
    expectClose(FIRWindow<T>(int(c[0]), KELM_WINDOW_KAISER, T(c[1])), firRef("kaiser", "w", i), tol,
                "kaiser " + std::to_string(i));
  }
  for (int i = 0; i < firRefCount("chebwin"); ++i) {
    const std::vector<double>& c = firRef("chebwin", "case", i);
    expectClose(FIRWindow<T>(int(c[0]), KELM_WINDOW_DOLPH_CHEBYSHEV, T(c[1])), firRef("chebwin", "w", i), tol * 10,
                "chebwin " + std::to_string(i));
  }
  this->expectNoErrors();
}

// The spectrum of the Dolph-Chebyshev window: main lobe of half-width
// pi theta, every side lobe at 1/T_(n-1)(c) of the peak.
TYPED_TEST(FirWindows, DolphChebyshevSideLobesAreEqualAtTheDesignedLevel) {
  using T = TypeParam;
  struct Case {
    int n;
    double theta;
  };
  for (const Case& c : {Case{9, 0.5}, Case{11, 0.3}, Case{31, 0.2}, Case{51, 0.12}, Case{201, 0.05}, Case{401, 0.03}}) {
    const KelmVector<T> w = FIRWindow<T>(c.n, KELM_WINDOW_DOLPH_CHEBYSHEV, T(c.theta));
    ASSERT_EQ(w.length(), c.n);
    const double chebC = 1 / std::cos(kLibraryPi * c.theta / 2);
    const double level = 1 / std::cosh((c.n - 1) * std::acosh(chebC));
    // Single precision resolves side lobes down to about 1e-3 of the peak.
    if (sizeof(T) == sizeof(float) && level < 1e-3) continue;
    const double peak = std::abs(response(w, 0));
    // Local maxima of |W| beyond the main lobe.
    const int points = 40 * c.n;
    std::vector<double> mag;
    for (int i = 0; i <= points; ++i) mag.push_back(std::abs(response(w, c.theta + (1 - c.theta) * i / points)) / peak);
    double highest = 0, lowest = 1;
    for (int i = 1; i < points; ++i) {
      if (mag[i] >= mag[i - 1] && mag[i] >= mag[i + 1]) {
        highest = std::max(highest, mag[i]);
        lowest = std::min(lowest, mag[i]);
      }
    }
    const double tol = sizeof(T) == sizeof(float) ? 0.05 : 1e-4;
    EXPECT_NEAR(highest / level, 1, tol) << "n " << c.n;
    EXPECT_NEAR(lowest / level, 1, 2e-2 + tol) << "n " << c.n << ": side lobes not equal";
    // The main lobe ends at pi theta, where |W| has fallen to the side-lobe level.
    EXPECT_NEAR(mag[0] / level, 1, 10 * tol) << "n " << c.n;
    EXPECT_NEAR(double(w[(c.n - 1) / 2]), 1, tolerance<T>());
  }
  this->expectNoErrors();
}

TYPED_TEST(FirWindows, ExtremeParametersStayFinite) {
  using T = TypeParam;
  const KelmVector<T> kaiser = FIRWindow<T>(41, KELM_WINDOW_KAISER, T(1e6));
  const KelmVector<T> dolph = FIRWindow<T>(301, KELM_WINDOW_DOLPH_CHEBYSHEV, T(0.999));
  for (const KelmVector<T>* w : {&kaiser, &dolph}) {
    ASSERT_FALSE(w->empty());
    for (const T& v : *w) EXPECT_TRUE(std::isfinite(double(v)) && v >= T(0) && v <= T(1.0001)) << v;
    EXPECT_NEAR(double((*w)[w->length() / 2]), 1, tolerance<T>());
  }
  this->expectNoErrors();
}

}  // namespace
