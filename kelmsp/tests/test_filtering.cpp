// Convolution, FIR and IIR filtering, responses, impulse responses and
// resampling, against their definitions and stored scipy results.
#include <kelmsp/kelmsp.h>

#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <random>

#include "KelmTestSupport.h"

using namespace kelm_test;

namespace {

std::vector<double> randomSignal(int n, unsigned seed) {
  std::mt19937 gen(seed);
  std::normal_distribution<double> dist;
  std::vector<double> x(static_cast<std::size_t>(n));
  for (double& v : x) v = dist(gen);
  return x;
}

// y = b * x, the direct sum.
std::vector<double> directConvolution(const std::vector<double>& x, const std::vector<double>& b) {
  std::vector<double> y(x.size() + b.size() - 1, 0.0);
  for (std::size_t i = 0; i < x.size(); ++i)
    for (std::size_t k = 0; k < b.size(); ++k) y[i + k] += x[i] * b[k];
  return y;
}

// a[0] y[n] = sum b[k] x[n-k] - sum_{k>=1} a[k] y[n-k], run by hand.
std::vector<double> differenceEquation(const std::vector<double>& b, const std::vector<double>& a,
                                       const std::vector<double>& x) {
  std::vector<double> y(x.size(), 0.0);
  for (std::size_t n = 0; n < x.size(); ++n) {
    double s = 0;
    for (std::size_t k = 0; k < b.size() && k <= n; ++k) s += b[k] * x[n - k];
    for (std::size_t k = 1; k < a.size() && k <= n; ++k) s -= a[k] * y[n - k];
    y[n] = s / a[0];
  }
  return y;
}

template <class T>
class Filtering : public TypedErrorCapture<T> {};
TYPED_TEST_SUITE(Filtering, RealTypes);

// --- Convolution ---

TYPED_TEST(Filtering, ConvolutionIsTheDirectSum) {
  using T = TypeParam;
  const auto& x = refData("conv.x");
  const auto& y = refData("conv.y");
  KelmVector<T> c = convolution(vec<T>(x), vec<T>(y), 0);
  ASSERT_EQ(c.length(), 48);  // 37 + 11 - 1 = 47 -> 48 = 2^4 * 3
  std::vector<double> got = values(c);
  std::vector<double> want = refData("conv.xy");
  want.push_back(0.0);
  expectClose(got, want, tolerance<T>());
  expectClose(got, [&] { auto d = directConvolution(x, y); d.push_back(0); return d; }(), tolerance<T>());
  // Circular: length max(nx, ny).
  expectClose(convolution(vec<T>({1, 2, 3}), vec<T>({1, 1}), 1), {4, 3, 5}, tolerance<T>());
  // Complex operands.
  const KelmVector<KelmComplex<T>> z = convolution(cvec<T>({1, 1, 2, 0}), cvec<T>({0, 1, 1, 0}), 0);
  expectClose(z, {-1, 1, 1, 3, 2, 0}, tolerance<T>());
  this->expectNoErrors();
}

TYPED_TEST(Filtering, ConvolutionLengthsOfTheTransform) {
  using T = TypeParam;
  expectClose(convolution(vec<T>({1, 2}), vec<T>({1, 3}), 0), {1, 5, 6}, tolerance<T>());
  const KelmVector<T> c = convolution(vec<T>({1, 1, 1}), vec<T>({1, 1, 1, 1, 1}), 0);
  expectClose(c, {1, 2, 3, 3, 3, 2, 1, 0}, tolerance<T>());
}

// --- FIR filtering ---

TYPED_TEST(Filtering, FirAlignmentsAgainstTheDirectSum) {
  using T = TypeParam;
  const std::vector<double> x = randomSignal(40, 1);
  const std::vector<double> b = {0.5, -0.25, 0.125, 1.0, 0.3};
  const KelmFIRFilter<T> fir(vec<T>(b));
  const std::vector<double> full = directConvolution(x, b);
  auto slice = [&](int from) {
    std::vector<double> s;
    for (int i = 0; i < 40; ++i) s.push_back(from + i < int(full.size()) ? full[std::size_t(from + i)] : 0.0);
    return s;
  };
  expectClose(fir(vec<T>(x)), slice(2), tolerance<T>(), "default delay n/2");
  expectClose(fir(vec<T>(x), 0), slice(0), tolerance<T>(), "delay 0");
  expectClose(fir(vec<T>(x), 5), slice(5), tolerance<T>(), "delay n reads zeros past the end");
  expectClose(fir(vec<T>(x), KELM_FIR_FULL), full, tolerance<T>(), "full");
  // Periodic: circular convolution rotated back by the delay.
  std::vector<double> circ(40, 0.0);
  for (int i = 0; i < 40; ++i)
    for (int k = 0; k < 5; ++k) circ[std::size_t((i + k) % 40)] += x[std::size_t(i)] * b[std::size_t(k)];
  std::vector<double> rotated(40);
  for (int i = 0; i < 40; ++i) rotated[std::size_t(i)] = circ[std::size_t((i + 3) % 40)];
  expectClose(fir(vec<T>(x), KELM_FIR_PERIODIC, 3), rotated, tolerance<T>(), "periodic");
  this->expectNoErrors();
}

TYPED_TEST(Filtering, FirIdentityAndDelay) {
  using T = TypeParam;
  const KelmVector<T> x = vec<T>({1, 2, 3, 4});
  expectClose(KelmFIRFilter<T>(vec<T>({1}))(x), {1, 2, 3, 4}, tolerance<T>());
  const KelmFIRFilter<T> delayOne(vec<T>({0, 1}));
  expectClose(delayOne(x), {1, 2, 3, 4}, tolerance<T>());
  expectClose(delayOne(x, 0), {0, 1, 2, 3}, tolerance<T>());
}

// --- IIR filtering ---

TYPED_TEST(Filtering, IirIsTheDifferenceEquation) {
  using T = TypeParam;
  const std::vector<double> x = randomSignal(60, 2);
  struct Case {
    std::vector<double> b, a;
  };
  const Case cases[] = {{{2.0}, {4.0}},  // order 0
                        {{1.0, 1.0}, {2.0, -1.0}},
                        {{0.2, 0.1}, {1.0, -1.1, 0.3, 0.05}},  // denominator longer
                        {{0.1, 0.2, 0.3, 0.4}, {1.0, 0.5}}};   // numerator longer
  for (const Case& c : cases) {
    const KelmIIRFilter<T> f(vec<T>(c.b), vec<T>(c.a));
    expectClose(f(vec<T>(x)), differenceEquation(c.b, c.a, x), 10 * tolerance<T>());
  }
  // A stored Butterworth design filtered by scipy.
  const KelmIIRFilter<T> butter(vec<T>(refData("iir.b")), vec<T>(refData("iir.a")));
  expectClose(butter(vec<T>(refData("iir.x"))), refData("iir.y"), 20 * tolerance<T>());
  this->expectNoErrors();
}

TYPED_TEST(Filtering, ZeroPhaseFilteringIsSymmetricAndSquaresTheResponse) {
  using T = TypeParam;
  const KelmIIRFilter<T> butter(vec<T>(refData("iir.b")), vec<T>(refData("iir.a")));
  expectClose(butter(vec<T>(refData("iir.x")), 1), refData("iir.zerophase"), 40 * tolerance<T>());
  // The response to a centred impulse is symmetric about it.
  KelmVector<T> impulse(201);
  impulse[100] = T(1);
  const std::vector<double> h = values(butter(impulse, 1));
  for (int k = 1; k <= 100; ++k) EXPECT_NEAR(h[std::size_t(100 - k)], h[std::size_t(100 + k)], 20 * tolerance<T>());
  // Gain |H(0)|^2 = 1 for the low-pass: a constant passes unchanged in the middle.
  KelmVector<T> ones(400);
  ones = T(1);
  EXPECT_NEAR(double(butter(ones, 1)[200]), 1.0, 20 * tolerance<T>());
  // A FIR filter as IIR: zero phase equals filtering by b(z) b(1/z).
  const KelmIIRFilter<T> fir(vec<T>({1, 2}), vec<T>({1}));
  expectClose(fir(vec<T>({0, 0, 1, 0, 0}), 1), {0, 2, 5, 2, 0}, tolerance<T>());
  this->expectNoErrors();
}

// --- Responses and impulse responses ---

TYPED_TEST(Filtering, ResponsesOfKnownFilters) {
  using T = TypeParam;
  // Stored Butterworth response at normalised frequencies.
  const KelmIIRFilter<T> butter(vec<T>(refData("iir.b")), vec<T>(refData("iir.a")));
  KelmVector<T> f;
  expectClose(butter.frequencyResponseZ(vec<T>(refData("iir.freqs")), f), refData("iir.H"), 10 * tolerance<T>());
  expectClose(f, refData("iir.freqs"), tolerance<T>());

  // Two-tap average: H = e^(-jw/2) cos(w/2); on the s-plane B(p) = 0.5 + 0.5 p.
  const KelmFIRFilter<T> avg(vec<T>({0.5, 0.5}));
  const auto evenly = avg.frequencyResponseZ(4, f);
  ASSERT_EQ(evenly.length(), 4);
  for (int k = 0; k < 4; ++k) {
    const double w = M_PI * f[k];
    EXPECT_NEAR(f[k], k / 4.0, 1e-7);
    EXPECT_NEAR(double(evenly[k].real()), std::cos(w / 2) * std::cos(w / 2), 10 * tolerance<T>());
    EXPECT_NEAR(double(evenly[k].imag()), -std::cos(w / 2) * std::sin(w / 2), 10 * tolerance<T>());
  }
  expectClose(avg.frequencyResponseS(vec<T>({1, -1, 3})), {1, 0, 0, 0, 2, 0}, tolerance<T>());
  expectClose(avg.frequencyResponseS(cvec<T>({0, 2})), {0.5, 1}, tolerance<T>());

  // 1 / (1 - 0.5 z^-1): evenly spaced response agrees with the direct one at
  // its frequencies (up to the library's single-precision pi in the latter).
  const KelmIIRFilter<T> pole(vec<T>({1}), vec<T>({1, -0.5}));
  const auto byFft = pole.frequencyResponseZ(8, f);
  KelmVector<T> f2;
  expectClose(byFft, values(pole.frequencyResponseZ(f, f2)), std::max(10 * tolerance<T>(), 1e-7));
  EXPECT_EQ(pole.frequencyResponseZ(f).length(), 512);
  EXPECT_EQ(pole.frequencyResponseZ(7).length(), 7);
  this->expectNoErrors();
}

TYPED_TEST(Filtering, ResponseCountsCoefficientsOfAnySize) {
  using T = TypeParam;
  // Every coefficient far below 1e-10, as in narrow-band designs: H(0) = 2e-12, not 1e-12.
  const KelmFIRFilter<T> tiny(vec<T>({1e-12, 1e-12}));
  KelmVector<T> f;
  const auto h = tiny.frequencyResponseZ(vec<T>({0.0}), f);
  EXPECT_NEAR(double(h[0].real()) / 2e-12, 1.0, 10 * tolerance<T>());
  const KelmIIRFilter<T> iir(vec<T>({1e-12, 1e-12}), vec<T>({1, 0.5}));
  EXPECT_NEAR(double(iir.frequencyResponseS(vec<T>({1}))[0].real()) / (2e-12 / 1.5), 1.0, 10 * tolerance<T>());
  this->expectNoErrors();
}

TYPED_TEST(Filtering, ImpulseResponses) {
  using T = TypeParam;
  expectClose(KelmIIRFilter<T>(vec<T>({2}), vec<T>({2, -1})).impulseResponse(5), {1, 0.5, 0.25, 0.125, 0.0625},
              tolerance<T>());
  expectClose(KelmFIRFilter<T>(vec<T>({3, 2, 1})).impulseResponse(5), {3, 2, 1, 0, 0}, tolerance<T>());
  expectClose(KelmFIRFilter<T>(vec<T>({3, 2, 1})).impulseResponse(2), {3, 2}, tolerance<T>());
  this->expectNoErrors();
}

TYPED_TEST(Filtering, DenominatorZeroWarnsOnceAndGoesOn) {
  using T = TypeParam;
  const KelmIIRFilter<T> f(vec<T>({1}), vec<T>({1, -1}));
  const auto h = f.frequencyResponseS(vec<T>({2, 1, 1}));  // A(1) = 0 twice
  ASSERT_EQ(h.length(), 3);
  EXPECT_NEAR(double(h[0].real()), -1.0, tolerance<T>());
  EXPECT_FALSE(std::isfinite(double(h[1].real())));
  const auto e = this->onlyError();
  EXPECT_EQ(e.code, 200244);
  EXPECT_EQ(e.severity, KELM_WARNING);
}

// --- Resampling ---

TYPED_TEST(Filtering, UpAndDownSamplingMatchUpfirdn) {
  using T = TypeParam;
  const KelmFIRFilter<T> h(vec<T>(refData("resample.h")));
  const KelmVector<T> x = vec<T>(refData("resample.x"));
  expectClose(upSample(h, x, 3, 1), refData("resample.up3"), tolerance<T>());
  // Full down-sampling keeps floor(len(y)/m) of the samples upfirdn gives.
  const KelmVector<T> down = downSample(h, x, 4, 1);
  std::vector<double> want = refData("resample.down4");
  ASSERT_EQ(down.length(), (24 + 9 - 1) / 4);
  want.resize(std::size_t(down.length()));
  expectClose(down, want, tolerance<T>());
  // Default delay: up-sampling by 2 through (0.5, 1, 0.5) interpolates linearly.
  expectClose(upSample(KelmFIRFilter<T>(vec<T>({0.5, 1, 0.5})), vec<T>({2, 4, 6}), 2, 0), {2, 3, 4, 5, 6},
              tolerance<T>());
  // Down-sampling by 2 through (1): every second sample, floor(len/m) of them
  // (a trailing part block gives no value).
  expectClose(downSample(KelmFIRFilter<T>(vec<T>({1})), vec<T>({1, 2, 3, 4, 5}), 2, 0), {1, 3}, tolerance<T>());
  expectClose(downSample(KelmFIRFilter<T>(vec<T>({1})), vec<T>({1, 2, 3, 4, 5, 6}), 3, 0), {1, 4}, tolerance<T>());
  this->expectNoErrors();
}

}  // namespace
