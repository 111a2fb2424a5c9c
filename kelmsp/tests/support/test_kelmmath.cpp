// The numeric component alone: value semantics of shared vectors and
// matrices, transforms against numpy, linear systems, roots and splines.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <complex>

#include "KelmTestSupport.h"

using namespace kelm_test;

namespace {

// --- Vectors and matrices ---

class KelmMathVector : public ErrorCapture {};

TEST_F(KelmMathVector, CopiesShareTheArrayButWritesStayPrivate) {
  KelmVectorDouble a = vec<double>({1, 2, 3});
  KelmVectorDouble b = a;
  EXPECT_TRUE(b.sharesArrayWith(a));
  EXPECT_EQ(a.useCount(), 2);
  b(0) = 10;  // the library's pattern: copy by assignment, then overwrite
  EXPECT_EQ(a[0], 1);
  EXPECT_EQ(b[0], 10);
  EXPECT_FALSE(b.sharesArrayWith(a));
  EXPECT_EQ(a.useCount(), 1);
  {
    const KelmVectorDouble c = a;
    EXPECT_EQ(a.useCount(), 2);
  }
  EXPECT_EQ(a.useCount(), 1);  // the earlier copy only lowered the count
  KelmVectorDouble d = a;
  a = KelmVectorDouble();  // the last other copy keeps the array alive
  EXPECT_EQ(d.useCount(), 1);
  EXPECT_EQ(d[2], 3);
  const KelmVectorDouble& same = d;
  d = same;  // self-assignment keeps the values
  EXPECT_EQ(d[1], 2);
}

TEST_F(KelmMathVector, IndexBaseSectionsAndInsert) {
  KelmVectorDouble v(5, 1);  // elements 1..5
  v.ramp();
  EXPECT_EQ(v(1), 0);
  EXPECT_EQ(v(5), 4);
  EXPECT_EQ(values(v.getSection(2, 5, 2)), (std::vector<double>{1, 3}));
  EXPECT_EQ(values(v.getSection(5, 1, -2)), (std::vector<double>{4, 2, 0}));
  v.insert(9, 1).insert(8, 7);
  EXPECT_EQ(values(v), (std::vector<double>{9, 0, 1, 2, 3, 4, 8}));
  expectNoErrors();
  EXPECT_TRUE(v.getSection(0, 3).empty());
  EXPECT_EQ(onlyError().code, 100002);
  clearErrors();
  v.insert(1, 9);
  EXPECT_EQ(onlyError().code, 100003);
  EXPECT_EQ(v.length(), 7);
}

TEST_F(KelmMathVector, ElementWiseArithmeticAndReductions) {
  const KelmVectorDouble a = vec<double>({1, -2, 4});
  const KelmVectorDouble b = vec<double>({2, 4, 8});
  EXPECT_EQ(values(a + b), (std::vector<double>{3, 2, 12}));
  EXPECT_EQ(values(a * b - 1.0), (std::vector<double>{1, -9, 31}));
  EXPECT_EQ(values(2.0 / b), (std::vector<double>{1, 0.5, 0.25}));
  EXPECT_EQ(values(-a), (std::vector<double>{-1, 2, -4}));
  EXPECT_EQ(values(abs(a)), (std::vector<double>{1, 2, 4}));
  EXPECT_EQ(sum(a), 3);
  EXPECT_EQ(product(a), -8);
  EXPECT_EQ(maxval(a), 4);
  EXPECT_EQ(minval(a), -2);
  KelmVectorDouble c = a;
  c += b;
  c /= 2.0;
  EXPECT_EQ(values(c), (std::vector<double>{1.5, 1, 6}));
  EXPECT_EQ(values(a), (std::vector<double>{1, -2, 4}));
  KelmVectorDouble self = b;
  self += self;
  EXPECT_EQ(values(self), (std::vector<double>{4, 8, 16}));
  expectNoErrors();

  EXPECT_TRUE((a + vec<double>({1, 2})).empty());
  const auto e = onlyError();
  EXPECT_EQ(e.code, 100001);
  EXPECT_EQ(e.params.i[0], 3);
  EXPECT_EQ(e.params.i[1], 2);
}

TEST_F(KelmMathVector, ConversionsAndComplexElements) {
  const KelmVectorFloat f = vec<float>({0.5, 1.5});
  const KelmVectorDouble d(f);
  EXPECT_EQ(values(d), (std::vector<double>{0.5, 1.5}));
  const KelmVectorDcomplex z(d);
  EXPECT_EQ(values(z), (std::vector<double>{0.5, 0, 1.5, 0}));
  KelmVectorDcomplex w = cvec<double>({3, 4, 0, -1});
  EXPECT_EQ(values(abs(w)), (std::vector<double>{5, 1}));
  EXPECT_EQ(values(conjg(w)), (std::vector<double>{3, -4, 0, 1}));
  w *= KelmDcomplex(0, 1);
  EXPECT_EQ(values(w), (std::vector<double>{-4, 3, 1, 0}));
  EXPECT_EQ(values(KelmRampDouble(5, 1.0, 2.0)), (std::vector<double>{1, 1.25, 1.5, 1.75, 2}));
  EXPECT_EQ(values(KelmRampDouble(3)), (std::vector<double>{0, 1, 2}));
  EXPECT_EQ(values(sqrt(vec<double>({4, 9}))), (std::vector<double>{2, 3}));
}

TEST_F(KelmMathVector, MatrixRowsColumnsSectionsAndInserts) {
  KelmMatrixGeneralDouble m(2, 3);
  m.setRow(0, vec<double>({1, 2, 3}));
  m.setRow(1, vec<double>({4, 5, 6}));
  EXPECT_EQ(values(m.getColumn(1)), (std::vector<double>{2, 5}));
  KelmMatrixGeneralDouble copy = m;
  copy(0, 0) = 100;
  EXPECT_EQ(m(0, 0), 1);
  m.rowInsert(vec<double>({7, 8, 9}), 1).columnInsert(vec<double>({0, 0, 0}), 3);
  EXPECT_EQ(m.rowDim(), 3);
  EXPECT_EQ(m.columnDim(), 4);
  EXPECT_EQ(values(m.getRow(1)), (std::vector<double>{7, 8, 9, 0}));
  const KelmMatrixGeneralDouble s = m.getSection(1, 2, 0, 1);
  EXPECT_EQ(values(s.getRow(0)), (std::vector<double>{7, 8}));
  EXPECT_EQ(values(s.getRow(1)), (std::vector<double>{4, 5}));
  EXPECT_EQ(values(product(s, vec<double>({1, -1}))), (std::vector<double>{-1, -1}));
  expectNoErrors();
  m.setColumn(0, vec<double>({1, 2}));
  EXPECT_EQ(onlyError().code, 100001);
}

TEST_F(KelmMathVector, SolveSquareAndLeastSquares) {
  KelmMatrixGeneralDouble a(2, 2);
  a.setRow(0, vec<double>({2, 1}));
  a.setRow(1, vec<double>({1, 3}));
  expectClose(solve(a, vec<double>({3, 5})), {0.8, 1.4}, 1e-14);
  // Line through (0,1), (1,2), (2,2), (3,4): least squares y = 1 + 0.9 x.
  KelmMatrixGeneralDouble ls(4, 2);
  for (int i = 0; i < 4; ++i) ls.setRow(i, vec<double>({1, double(i)}));
  expectClose(solve(ls, vec<double>({1, 2, 2, 4})), {0.9, 0.9}, 1e-14);
  KelmMatrixGeneralDcomplex c(1, 1);
  c(0, 0) = KelmDcomplex(0, 2);
  expectClose(solve(c, KelmVectorDcomplex{KelmDcomplex(4, 0)}), {0, -2}, 1e-14);
  expectNoErrors();
  EXPECT_TRUE(solve(a, vec<double>({1, 2, 3})).empty());
  EXPECT_EQ(onlyError().code, 100001);
}

// --- Transforms ---

template <class T>
class KelmMathFFT : public ::testing::Test {};
TYPED_TEST_SUITE(KelmMathFFT, RealTypes);

TYPED_TEST(KelmMathFFT, MatchesNumpyForEveryKindOfLength) {
  using T = TypeParam;
  for (int n : {1, 2, 3, 4, 5, 6, 7, 8, 12, 16, 30, 97, 128, 210, 1009}) {
    const std::string s = std::to_string(n);
    const KelmVector<T> x = vec<T>(refData("fft.real.x." + s));
    expectClose(FFTForward(x), refData("fft.real.X." + s), 40 * tolerance<T>(), "real " + s);
    const KelmVector<KelmComplex<T>> z = cvec<T>(refData("fft.complex.x." + s));
    expectClose(FFTForward(z), refData("fft.complex.X." + s), 40 * tolerance<T>(), "complex " + s);
    // Unnormalised inverse: N times the data.
    std::vector<double> scaled = refData("fft.real.x." + s);
    for (double& v : scaled) v *= n;
    expectClose(FFTInverse(FFTForward(x)), scaled, 40 * tolerance<T>(), "real inverse " + s);
    scaled = refData("fft.complex.x." + s);
    for (double& v : scaled) v *= n;
    expectClose(FFTInverse(FFTForward(z)), scaled, 40 * tolerance<T>(), "complex inverse " + s);
  }
}

TEST(KelmMathFFTLayout, PackedHalfSpectrumOfOddAndEvenLengths) {
  // x = (1, 2, 3): X0 = 6, X1 = -1.5 + 0.866i.
  expectClose(FFTForward(vec<double>({1, 2, 3})), {6, -1.5, std::sqrt(3.0) / 2}, 1e-15);
  // x = (1, 0, 0, 0): flat spectrum, R2 last.
  expectClose(FFTForward(vec<double>({1, 0, 0, 0})), {1, 1, 0, 1}, 1e-15);
  EXPECT_TRUE(FFTForward(KelmVectorDouble()).empty());
}

// --- Roots, splines, constants ---

std::vector<std::complex<double>> sortedRoots(const std::vector<double>& interleaved) {
  std::vector<std::complex<double>> r;
  for (std::size_t i = 0; i + 1 < interleaved.size(); i += 2) r.emplace_back(interleaved[i], interleaved[i + 1]);
  std::sort(r.begin(), r.end(), [](auto a, auto b) {
    return std::abs(a.real() - b.real()) > 1e-6 ? a.real() < b.real() : a.imag() < b.imag();
  });
  return r;
}

TEST(KelmMathRoots, MatchNumpy) {
  for (int i = 0; i < 3; ++i) {
    const std::string s = std::to_string(i);
    const auto got = sortedRoots(values(zerosPolynomial(vec<double>(refData("roots.c." + s)))));
    const auto want = sortedRoots(refData("roots.z." + s));
    ASSERT_EQ(got.size(), want.size());
    for (std::size_t k = 0; k < got.size(); ++k) EXPECT_LT(std::abs(got[k] - want[k]), 1e-10) << s;
  }
  // Zero highest coefficients are dropped; complex coefficients: (x - i)(x + 2).
  EXPECT_EQ(zerosPolynomial(vec<double>({-2, 1, 0, 0})).length(), 1);
  const auto z = sortedRoots(values(zerosPolynomial(cvec<double>({0, -2, 2, -1, 1, 0}))));
  ASSERT_EQ(z.size(), 2u);
  EXPECT_LT(std::abs(z[0] - std::complex<double>(-2, 0)), 1e-12);
  EXPECT_LT(std::abs(z[1] - std::complex<double>(0, 1)), 1e-12);
  EXPECT_TRUE(zerosPolynomial(vec<double>({3})).empty());
}

class KelmMathSpline : public ErrorCapture {};

TEST_F(KelmMathSpline, OrderTwoIsThePiecewiseLinearFitAndOrderFourHoldsCubics) {
  const KelmVectorDouble breaks = vec<double>({0, 0.3, 1});
  KelmVectorDouble x = KelmRampDouble(21, 0.0, 1.0);
  KelmVectorDouble y(21);
  for (int i = 0; i < 21; ++i) y[i] = x[i] < 0.3 ? 2 * x[i] : 0.6 - (x[i] - 0.3);
  KelmSplineDouble linear;
  ASSERT_EQ(linear.LSFit(x, y, 2, breaks), 0);
  expectClose(linear(vec<double>({0, 0.15, 0.3, 0.65, 1, 1.5})), {0, 0.3, 0.6, 0.25, -0.1, -0.6}, 1e-12);

  for (int i = 0; i < 21; ++i) y[i] = 1 - x[i] + 3 * x[i] * x[i] * x[i];
  KelmSplineDouble cubic;
  ASSERT_EQ(cubic.LSFit(x, y, 4, vec<double>({0, 0.5, 1})), 0);
  EXPECT_NEAR(cubic(0.77), 1 - 0.77 + 3 * 0.77 * 0.77 * 0.77, 1e-12);
  expectNoErrors();

  EXPECT_EQ(cubic.LSFit(x, y, 4, vec<double>({0.1, 1})), 1);
  EXPECT_EQ(onlyError().code, 100005);
  EXPECT_TRUE(cubic.empty());
}

TEST(KelmMathConstants, MachineConstants) {
  EXPECT_EQ(kelm_amach(4), 2.220446049250313e-16);
  EXPECT_EQ(kelm_amach(3), 2.220446049250313e-16 / 2);
  EXPECT_EQ(kelm_amach(1), 2.2250738585072014e-308);
  EXPECT_EQ(kelm_amach(2), 1.7976931348623157e+308);
  EXPECT_TRUE(std::isnan(kelm_amach(6)));
  EXPECT_EQ(kelm_samach(4), 1.1920929e-07f);
  EXPECT_EQ(kelmAmach<float>(4), kelm_samach(4));
}

}  // namespace
