// Averaged periodograms and spectrograms against scipy and their definitions.
#include <kelmsp/kelmsp.h>

#include <gtest/gtest.h>

#include <cmath>

#include "KelmTestSupport.h"

using namespace kelm_test;

namespace {

template <class T>
class Spectra : public TypedErrorCapture<T> {};
TYPED_TEST_SUITE(Spectra, RealTypes);

// The library's Hann window: 0.5 + 0.5 cos(2pi' (k + (n-1)/2) / (n-1)) with
// its 2pi' = 6.2831854820251465 (single precision held in a double).
template <class R>
KelmVector<R> hann(int n) {
  KelmVector<R> w(n);
  for (int k = 0; k < n; ++k) w[k] = R(0.5 + 0.5 * std::cos(6.2831854820251465 * (k + (n - 1) / 2.0) / (n - 1)));
  return w;
}

TYPED_TEST(Spectra, WelchMatchesScipy) {
  using T = TypeParam;
  const KelmVector<T> x = vec<T>(refData("welch.x"));
  const KelmVector<KelmComplex<T>> z = cvec<T>(refData("welch.z"));
  for (auto [a, ov] : {std::pair{128, 64}, std::pair{100, 30}}) {
    const std::string s = std::to_string(a) + "." + std::to_string(ov);
    KelmVector<T> f;
    expectClose(spectrum(x, a, ov, hann<T>(a), f), refData("welch.real." + s), 20 * tolerance<T>(), "real " + s);
    ASSERT_EQ(f.length(), a / 2 + 1);
    EXPECT_NEAR(double(f[1]), 2.0 / a, 1e-7);
    expectClose(spectrum(z, a, ov, hann<T>(a), f), refData("welch.complex." + s), 20 * tolerance<T>(),
                "complex " + s);
    ASSERT_EQ(f.length(), a);
    EXPECT_NEAR(double(f[a - 1]), 2.0 * (a - 1) / a, 1e-6);
  }
  // The shorter forms use the Hann window and overlap a/2.
  KelmVector<T> f;
  expectClose(spectrum(x, 128, f), refData("welch.real.128.64"), 20 * tolerance<T>());
  expectClose(spectrum(x, 128, 64, f), refData("welch.real.128.64"), 20 * tolerance<T>());
  EXPECT_EQ(spectrum(x, f).length(), 1000 / 5 / 2 + 1);
  this->expectNoErrors();
}

TYPED_TEST(Spectra, ConstantSignalWithRectangularWindowHasAllEnergyInBinZero) {
  using T = TypeParam;
  KelmVector<T> x(64), w(16), f;
  x = T(2);
  w = T(1);
  const KelmVector<T> p = spectrum(x, 16, 8, w, f);
  ASSERT_EQ(p.length(), 9);
  EXPECT_NEAR(double(p[0]), 4.0 * 16, 10 * tolerance<T>() * 64);  // |sum 2|^2 / 16
  for (int k = 1; k < 9; ++k) EXPECT_NEAR(double(p[k]), 0.0, 10 * tolerance<T>() * 64);
  // A signal shorter than the segment is one zero-padded segment.
  const KelmVector<T> shortSpectrum = spectrum(vec<T>({1, 1, 1}), 4, 0, vec<T>({1, 1, 1, 1}), f);
  expectClose(shortSpectrum, {9.0 / 4, 1.0 / 4, 1.0 / 4}, tolerance<T>());
  this->expectNoErrors();
}

TYPED_TEST(Spectra, SpectrogramRowsMatchScipy) {
  using T = TypeParam;
  const KelmVector<T> x = vec<T>(refData("welch.x"));
  for (auto [a, ov] : {std::pair{128, 64}, std::pair{100, 30}}) {
    KelmVector<T> f;
    const KelmMatrixGeneral<T> s = spectrogram(x, a, ov, hann<T>(a), f);
    ASSERT_EQ(s.rowDim(), (1000 - a) / (a - ov) + 1);
    ASSERT_EQ(s.columnDim(), a / 2 + 1);
    std::vector<double> rows;
    for (int j = 0; j < s.rowDim(); ++j)
      for (double v : values(s.getRow(j))) rows.push_back(v);
    expectClose(rows, refData("specgram.real." + std::to_string(a) + "." + std::to_string(ov)), 20 * tolerance<T>());
  }
  // Defaults: a = 200 for 1000 samples, overlap 150; complex input gives a columns.
  KelmVector<T> f;
  const KelmMatrixGeneral<T> d = spectrogram(x, f);
  EXPECT_EQ(d.columnDim(), 101);
  EXPECT_EQ(d.rowDim(), (1000 - 200) / 50 + 1);
  const KelmMatrixGeneral<T> c = spectrogram(cvec<T>(refData("welch.z")), 64, f);
  EXPECT_EQ(c.columnDim(), 64);
  EXPECT_EQ(c.rowDim(), (1000 - 64) / 16 + 1);
  this->expectNoErrors();
}

TYPED_TEST(Spectra, SpectrogramOfAToneFollowsItsFrequency) {
  using T = TypeParam;
  KelmVector<T> x(512), f;
  for (int i = 0; i < 512; ++i) x[i] = T(std::sin(M_PI * 0.25 * i));  // f = 0.25
  const KelmMatrixGeneral<T> s = spectrogram(x, 64, 32, f);
  for (int j = 0; j < s.rowDim(); ++j) {
    const std::vector<double> row = values(s.getRow(j));
    const auto peak = std::max_element(row.begin(), row.end()) - row.begin();
    EXPECT_NEAR(double(f[int(peak)]), 0.25, 1e-6);
  }
}

}  // namespace
