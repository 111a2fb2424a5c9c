// Window-method designs, the resampling filters and the complementary
// filter of a two-channel filter bank: against scipy's firwin and the
// defining properties (linear phase, band type, -6 dB cutoffs, rejection of
// images and aliases, perfect reconstruction).
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
class FirDesign : public TypedErrorCapture<T> {};
TYPED_TEST_SUITE(FirDesign, RealTypes);

TYPED_TEST(FirDesign, WindowMethodMatchesScipyFirwin) {
  using T = TypeParam;
  const double tol = sizeof(T) == sizeof(float) ? 2e-6 : 1e-7;  // the library's pi is single precision
  for (int i = 0; i < firRefCount("firwin"); ++i) {
    const std::vector<double>& c = firRef("firwin", "case", i);
    const auto option = static_cast<KelmFilterDesignOption>(int(c[0]));
    const int n = int(c[1]);
    const T f1 = T(c[2]), f2 = T(c[3]);
    const std::vector<double>& expected = firRef("firwin", "h", i);
    const std::string what = "case " + std::to_string(i);
    if (c[4] == 0) {
      expectClose(FIRFilterDesign(option, n, f1, f2).B(), expected, tol, what);
      if (option <= KELM_HIGH_PASS) expectClose(FIRFilterDesign(option, n, f1).B(), expected, tol, what);
    } else {
      const KelmVector<T> w = FIRWindow<T>(n, KELM_WINDOW_HAMMING);
      expectClose(FIRFilterDesign(option, w, f1, f2).B(), expected, tol, what);
      if (option <= KELM_HIGH_PASS) expectClose(FIRFilterDesign(option, w, f1).B(), expected, tol, what);
    }
  }
  // The Hann window of length 3 is (0, 1, 0); the ideal low-pass is 0.5 at the centre.
  expectClose(FIRFilterDesign(KELM_LOW_PASS, 3, T(0.5)).B(), {0, 0.5, 0}, tolerance<T>());
  this->expectNoErrors();
}

struct BandCase {
  KelmFilterDesignOption option;
  int n;
  double f1, f2;
};

std::ostream& operator<<(std::ostream& os, const BandCase& c) {
  return os << "option " << c.option << " n " << c.n << " f " << c.f1 << ", " << c.f2;
}

class WindowMethodBands : public ErrorCapture, public ::testing::WithParamInterface<BandCase> {};

// Linear phase, unit gain in the pass bands, rejection in the stop bands and
// half the amplitude (-6 dB) at every edge.
TEST_P(WindowMethodBands, HaveTheRequestedShape) {
  const BandCase& c = GetParam();
  const KelmFIRFilterDouble filter = FIRFilterDesign(c.option, c.n, c.f1, c.f2);
  const KelmVectorDouble h = filter.B();
  ASSERT_EQ(h.length(), c.n);
  for (int k = 0; k < c.n; ++k) EXPECT_NEAR(h[k], h[c.n - 1 - k], 1e-15) << "not symmetric at " << k;
  std::vector<double> edges = {c.f1};
  if (c.option >= KELM_BAND_PASS) edges.push_back(c.f2);
  auto passes = [&](double f) {
    const bool inside = f > c.f1 && (c.option < KELM_BAND_PASS || f < c.f2);
    return c.option == KELM_LOW_PASS ? f < c.f1 : (c.option == KELM_BAND_STOP ? !inside : inside);
  };
  const double margin = 6.0 / c.n;  // beyond the transition of the Hann window
  for (int i = 0; i <= 400; ++i) {
    const double f = i / 400.0;
    const std::complex<double> a = centredResponse(h, f);
    EXPECT_NEAR(a.imag(), 0, 1e-12);
    bool nearEdge = false;
    for (double e : edges) nearEdge = nearEdge || std::fabs(f - e) < margin;
    if (nearEdge) continue;
    EXPECT_NEAR(a.real(), passes(f) ? 1.0 : 0.0, 0.01) << "f " << f;
  }
  for (double e : edges) EXPECT_NEAR(std::abs(response(h, e)), 0.5, 0.02) << "edge " << e;
  expectNoErrors();
}

INSTANTIATE_TEST_SUITE_P(Kelm, WindowMethodBands,
                         ::testing::Values(BandCase{KELM_LOW_PASS, 51, 0.3, 1}, BandCase{KELM_LOW_PASS, 40, 0.5, 1},
                                           BandCase{KELM_HIGH_PASS, 51, 0.4, 1},
                                           BandCase{KELM_BAND_PASS, 64, 0.3, 0.6},
                                           BandCase{KELM_BAND_PASS, 51, 0.2, 0.7},
                                           BandCase{KELM_BAND_STOP, 61, 0.3, 0.6}));

// Amplitude of the middle part of a signal (a full period or more of a tone).
double rmsAmplitude(const std::vector<double>& y, int from, int to) {
  double s = 0;
  for (int i = from; i < to; ++i) s += y[i] * y[i];
  return std::sqrt(2 * s / (to - from));
}

TYPED_TEST(FirDesign, DecimationFilterPassesTheBandAndRejectsAliases) {
  using T = TypeParam;
  EXPECT_EQ(downSampleFilterDesign<T>(2, 1000).B().length(), 128);
  EXPECT_EQ(downSampleFilterDesign<T>(2, 10).B().length(), 16);
  EXPECT_EQ(downSampleFilterDesign<T>(3, 300).B().length(), 60);
  expectClose(downSampleFilterDesign<T>(3, 300).B(),
              values(FIRFilterDesign(KELM_LOW_PASS, FIRWindow<T>(60, KELM_WINDOW_HAMMING), T(1) / T(3)).B()),
              tolerance<T>());
  // Decimation by 4 of a tone inside the new band and of one that would alias.
  const int m = 4, n = 4000;
  const KelmFIRFilter<T> filter = downSampleFilterDesign<T>(m, n);
  for (double f : {0.1, 0.6}) {
    KelmVector<T> x(n);
    for (int k = 0; k < n; ++k) x[k] = T(std::cos(M_PI * f * k));
    const std::vector<double> y = values(downSample(filter, x, m, 0));
    ASSERT_EQ(int(y.size()), n / m);
    const double amplitude = rmsAmplitude(y, 100, n / m - 100);
    if (f < 1.0 / m) {
      EXPECT_NEAR(amplitude, 1, 0.01) << "f " << f;
    } else {
      EXPECT_LT(amplitude, 0.005) << "alias of f " << f;
    }
  }
  this->expectNoErrors();
}

TYPED_TEST(FirDesign, InterpolationFilterPassesTheBandAndRejectsImages) {
  using T = TypeParam;
  // The sinc systems are ill-conditioned: agreement to about 1e7 times the
  // double precision (both twins solve them in double).
  const double tol = sizeof(T) == sizeof(float) ? 1e-6 : 1e-7;
  for (int i = 0; i < firRefCount("upsample"); ++i) {
    const std::vector<double>& c = firRef("upsample", "case", i);
    expectClose(upSampleFilterDesign<T>(int(c[0]), int(c[1]), T(c[2])).B(), firRef("upsample", "h", i), tol,
                "case " + std::to_string(i));
  }
  const KelmVector<T> shortest = upSampleFilterDesign<T>(2, 1, T(0.5)).B();
  ASSERT_EQ(shortest.length(), 5);
  EXPECT_NEAR(double(shortest[2]), 1, tol);
  EXPECT_NEAR(double(shortest[0]), 0, tol);
  EXPECT_NEAR(double(shortest[1]), double(shortest[3]), tol);
  const int l = 4, n = 6;
  const KelmVector<T> h = upSampleFilterDesign<T>(l, n, T(0.7)).B();
  ASSERT_EQ(h.length(), 2 * n * l + 1);
  for (int k = 0; k < h.length(); ++k) {
    EXPECT_NEAR(double(h[k]), double(h[h.length() - 1 - k]), tol) << k;
    // The original samples pass unchanged: 1 at the centre, 0 at the other multiples of l.
    if (k % l == 0) {
      EXPECT_NEAR(double(h[k]), k == n * l ? 1 : 0, tol) << k;
    }
  }
  // A tone inside the band alpha interpolated by 4; the images of it are
  // rejected and the interpolated samples follow the tone.
  const double f = 0.3;
  KelmVector<T> x(400);
  for (int k = 0; k < x.length(); ++k) x[k] = T(std::cos(M_PI * f * k));
  const std::vector<double> y = values(upSample(KelmFIRFilter<T>(h), x, l, 0));
  double worst = 0;
  for (int k = 200; k < 1400; ++k) worst = std::max(worst, std::fabs(y[k] - std::cos(M_PI * f * k / l)));
  EXPECT_LT(worst, 0.01);
  const double pass = std::abs(response(h, f / l));
  for (int image = 1; image < l; ++image) {
    for (double g : {(2.0 * image - f) / l, (2.0 * image + f) / l}) {
      if (g > 1) continue;
      EXPECT_LT(std::abs(response(h, g)) / pass, 0.01) << "image at " << g;
    }
  }
  this->expectNoErrors();
}

TYPED_TEST(FirDesign, ComplementaryFilterMakesAnOrthogonalFilterBank) {
  using T = TypeParam;
  const double tol = sizeof(T) == sizeof(float) ? 1e-4 : 1e-9;
  // Filters that already make an orthogonal bank come back unchanged.
  const double s3 = std::sqrt(3.0);
  const std::vector<double> haar = {0.5, 0.5};
  const std::vector<double> d4 = {(1 + s3) / 8, (3 + s3) / 8, (3 - s3) / 8, (1 - s3) / 8};
  expectClose(FIRQMFFilterDesign(vec<T>(haar)).B(), haar, tol, "Haar");
  // (with as many zeros after it as the spectral factor of the constant has)
  expectClose(FIRQMFFilterDesign(vec<T>(d4)).B(), {d4[0], d4[1], d4[2], d4[3], 0, 0}, tol, "Daubechies 4");
  // Window-method low-passes at half band: the result is power
  // complementary and reconstructs through the filter bank.
  for (int n : {4, 6, 10}) {
    if (sizeof(T) == sizeof(float) && n > 6) continue;  // its spectral factor needs double precision
    const KelmVector<T> h = FIRFilterDesign(KELM_LOW_PASS, FIRWindow<T>(n, KELM_WINDOW_HAMMING), T(0.5)).B();
    const KelmVector<T> g = FIRQMFFilterDesign(h).B();
    ASSERT_FALSE(g.empty()) << n;
    double sum = 0;
    for (const T& v : g) sum += double(v);
    EXPECT_NEAR(sum, 1, tol) << n;
    for (int i = 0; i <= 50; ++i) {
      const double f = i / 100.0;
      EXPECT_NEAR(std::norm(response(g, f)) + std::norm(response(g, 1 - f)), 1, tol) << "n " << n << " f " << f;
    }
    const KelmFIRFilter<T> bank(g);
    std::vector<double> x;
    for (int k = 0; k < 61; ++k) x.push_back(std::sin(0.3 * k) + 0.5 * std::cos(2.1 * k) + (k % 7) * 0.1);
    KelmVector<T> low, high, y;
    QMFForward(bank, vec<T>(x), low, high);
    QMFBackward(bank, y, int(x.size()), low, high);
    expectClose(y, x, 10 * tol, "reconstruction, n " + std::to_string(n));
  }
  this->expectNoErrors();
}

}  // namespace
