// Vector and polynomial routines, stability and symmetric equations.
#include <kelmsp/kelmsp.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <random>

#include "KelmTestSupport.h"

using namespace kelm_test;

namespace {

template <class T>
class Polynomials : public TypedErrorCapture<T> {};
TYPED_TEST_SUITE(Polynomials, RealTypes);

std::vector<double> randomPolynomial(int n, unsigned seed) {
  std::mt19937 gen(seed);
  std::uniform_real_distribution<double> dist(-1, 1);
  std::vector<double> p(static_cast<std::size_t>(n));
  for (double& v : p) v = dist(gen);
  return p;
}

// Coefficients of X(z) A(1/z) + X(1/z) A(z) for lags 0..m.
std::vector<double> symmetricProduct(const std::vector<double>& x, const std::vector<double>& a) {
  const int m = int(std::max(x.size(), a.size())) - 1;
  std::vector<double> c(std::size_t(m + 1), 0.0);
  auto at = [](const std::vector<double>& v, int i) { return i >= 0 && i < int(v.size()) ? v[std::size_t(i)] : 0.0; };
  for (int k = 0; k <= m; ++k)
    for (int i = 0; i <= m; ++i) c[std::size_t(k)] += at(x, i) * (at(a, i - k) + at(a, i + k));
  return c;
}

TYPED_TEST(Polynomials, ElementaryResults) {
  using T = TypeParam;
  const double tol = tolerance<T>();
  expectClose(root2Poly(vec<T>({1, 2})), {2, -3, 1}, tol);
  expectClose(polynomialMultiply(vec<T>({1, 1}), vec<T>({1, -1})), {1, 0, -1}, tol);
  KelmVector<T> q, r;
  polynomialDivide(vec<T>({-1, 0, 1}), vec<T>({1, 1}), q, r);
  expectClose(q, {-1, 1}, tol);
  expectClose(r, {0}, tol);
  polynomialDivide(vec<T>({1, 2}), vec<T>({1, 0, 3}), q, r);  // lower degree: quotient (0)
  expectClose(q, {0}, tol);
  expectClose(r, {1, 2}, tol);
  expectClose(polynomialSum(vec<T>({1, 2, 3}), vec<T>({1, 1})), {2, 3, 3}, tol);
  EXPECT_EQ(schurCohnTest(vec<T>({1, -0.5}), 0), 1);
  EXPECT_EQ(schurCohnTest(vec<T>({1, -2}), 0), 0);
  EXPECT_EQ(schurCohnTest(vec<T>({1, -0.5}), T(0.6)), 0);  // k = 0.5 > 1 - 0.6
  EXPECT_EQ(values(shift(vec<T>({1, 2, 3}), 1)), (std::vector<double>{3, 1, 2}));
  EXPECT_EQ(values(shift(vec<T>({1, 2, 3}), -1)), (std::vector<double>{2, 3, 1}));
  EXPECT_EQ(values(shift(vec<T>({1, 2, 3}), 7)), (std::vector<double>{3, 1, 2}));
  EXPECT_TRUE(shift(KelmVector<T>(), 3).empty());
  EXPECT_EQ(values(reverse(vec<T>({1, 2, 3}))), (std::vector<double>{3, 2, 1}));
  expectClose(sinc(vec<T>({0, M_PI / 2, 1e-9})), {1, 2 / M_PI, 1}, tol);
  EXPECT_EQ(polynomialDegree(vec<T>({1, 2, 1e-12, 0})), 1);
  EXPECT_EQ(polynomialDegree(vec<T>({1, 2, 1e-12, 0}), T(0)), 2);
  EXPECT_EQ(polynomialDegree(vec<T>({0, 0})), 0);
  EXPECT_NEAR(double(polynomialEvaluate(T(2), vec<T>({1, -3, 2}))), 3.0, tol);
  // Tiny coefficients still count.
  EXPECT_NEAR(double(polynomialEvaluate(T(1), vec<T>({0, 1e-12}))) / 1e-12, 1.0, tol);
  const KelmComplex<T> i1 = polynomialEvaluate(KelmComplex<T>(0, 1), vec<T>({1, 0, 1}));
  EXPECT_NEAR(double(abs(i1)), 0.0, tol);
  EXPECT_EQ(polynomialEvaluate(T(3), KelmVector<T>()), T(0));
  // Complex roots to a complex polynomial: (x - i)(x + i) = x^2 + 1.
  expectClose(root2Poly(cvec<T>({0, 1, 0, -1})), {1, 0, 0, 0, 1, 0}, tol);
  this->expectNoErrors();
}

TYPED_TEST(Polynomials, MultiplyAndDivideUndoEachOther) {
  using T = TypeParam;
  for (auto [np, nd] : {std::pair{9, 3}, std::pair{4, 4}, std::pair{12, 6}}) {
    const KelmVector<T> p = vec<T>(randomPolynomial(np, unsigned(np)));
    const KelmVector<T> d = vec<T>(randomPolynomial(nd, unsigned(nd + 100)));
    const KelmVector<T> prod = polynomialMultiply(p, d);
    ASSERT_EQ(prod.length(), np + nd - 1);
    KelmVector<T> q, r;
    polynomialDivide(prod, d, q, r);
    expectClose(q, values(p), 200 * tolerance<T>(), "quotient");
    for (const T& v : r) EXPECT_NEAR(double(v), 0.0, 200 * tolerance<T>());
    // And with a remainder: p = q d + r.
    const KelmVector<T> s = polynomialSum(prod, vec<T>({0.5, -0.25}));
    polynomialDivide(s, d, q, r);
    const KelmVector<T> back = polynomialSum(polynomialMultiply(q, d), r);
    expectClose(kelm_test::values(back), values(s), 200 * tolerance<T>());
  }
  // Long operands go through the FFT: still the direct sum.
  const std::vector<double> p = randomPolynomial(70, 1), q = randomPolynomial(80, 2);
  std::vector<double> direct(149, 0.0);
  for (std::size_t i = 0; i < p.size(); ++i)
    for (std::size_t j = 0; j < q.size(); ++j) direct[i + j] += p[i] * q[j];
  expectClose(polynomialMultiply(vec<T>(p), vec<T>(q)), direct, 20 * tolerance<T>());
  this->expectNoErrors();
}

TYPED_TEST(Polynomials, EuclidSolvesTheBezoutEquation) {
  using T = TypeParam;
  const KelmVector<T> a = vec<T>({1, -0.5, 0.2});
  const KelmVector<T> b = vec<T>({2, 1, 0.3, 0.1});
  const KelmVector<T> c = vec<T>({1, 2, 3, 4});
  KelmVector<T> x, y;
  polynomialEuclid(a, b, c, x, y);
  ASSERT_FALSE(x.empty());
  EXPECT_LT(x.length(), b.length());  // the solution of least degree
  const KelmVector<T> lhs = polynomialSum(polynomialMultiply(a, x), polynomialMultiply(b, y));
  std::vector<double> got = values(lhs);
  got.resize(4);
  expectClose(got, {1, 2, 3, 4}, 500 * tolerance<T>());
  this->expectNoErrors();
  // Common factor (1 + z) that does not divide c: no solution.
  polynomialEuclid(polynomialMultiply(a, vec<T>({1, 1})), polynomialMultiply(b, vec<T>({1, 1})), vec<T>({1}), x, y);
  EXPECT_EQ(this->onlyError().code, 200252);
  EXPECT_TRUE(x.empty());
}

TYPED_TEST(Polynomials, JuryEquationHolds) {
  using T = TypeParam;
  struct Case {
    std::vector<double> a, r;
  };
  const Case cases[] = {{{1, -0.5}, {1, 0.3}},
                        {{1, -1.2, 0.5, 0.1}, {1, 0.3, 0.2}},
                        {{1, -1.2, 0.5}, {1, 0.3, 0.2, -0.4, 0.1}},
                        {{2}, {3}}};
  for (const Case& c : cases) {
    const KelmVector<T> x = polynomialJury(vec<T>(c.a), vec<T>(c.r));
    std::vector<double> rhs(x.length(), 0.0);
    for (std::size_t k = 0; k < c.r.size() && k < rhs.size(); ++k) rhs[k] = c.r[k];
    rhs[0] *= 2;
    expectClose(symmetricProduct(values(x), c.a), rhs, 20 * tolerance<T>());
  }
  this->expectNoErrors();
  // A zero pair z, 1/z in a (here both on the unit circle) makes the equation singular.
  EXPECT_TRUE(polynomialJury(vec<T>({1, -2, 1}), vec<T>({1, 0.5})).empty());
  EXPECT_EQ(this->onlyError().code, 8019);
}

TYPED_TEST(Polynomials, SpectralFactorIsMinimumPhase) {
  using T = TypeParam;
  // b = (1, 0.5, 0.2) is minimum phase; p = the upper half of b(z) b(1/z), p[0] halved.
  const std::vector<double> b = {1, 0.5, 0.2};
  const std::vector<double> p = {(1 + 0.25 + 0.04) / 2, 0.5 + 0.1, 0.2};
  expectClose(polynomialSqrt2(vec<T>(p)), b, 100 * tolerance<T>());
  // Its maximum-phase mirror (0.2, 0.5, 1) has the same p and the same factor.
  this->expectNoErrors();
}

TYPED_TEST(Polynomials, StabilizeReflectsOutsideZerosAndKeepsTheShape) {
  using T = TypeParam;
  const KelmVector<T> unstable = polynomialMultiply(vec<T>({1, -2}), vec<T>({1, -0.5}));  // zeros of z^2 p(1/z): 2, 0.5
  EXPECT_EQ(schurCohnTest(unstable, 0), 0);
  const KelmVector<T> s = polynomialStabilize(unstable, 0);
  EXPECT_EQ(schurCohnTest(s, 0), 1);
  expectClose(s, {1, -1, 0.25}, 50 * tolerance<T>());  // (1 - 0.5 z^-1)^2, s[0] = 1
  const KelmVector<T> kept = polynomialStabilize(vec<T>({2, -4}), 1);
  expectClose(kept, {2, -1}, 50 * tolerance<T>());
  const KelmVector<T> stable = vec<T>({1, -0.5});
  EXPECT_EQ(values(polynomialStabilize(stable, 1)), values(stable));
  this->expectNoErrors();
}

TEST(RootPairing, ConjugatesAndReciprocals) {
  using C = KelmDcomplex;
  const KelmVectorDcomplex roots{C(1, 1), C(3, 0), C(2, -2), C(1, -1), C(2, 2)};
  expectClose(pairConj(roots), {2, -2, 2, 2, 1, -1, 1, 1, 3, 0}, 0);
  const KelmVectorDcomplex real{C(1, 0), C(2, 0)};
  EXPECT_EQ(values(pairConj(real)), values(real));
  const KelmVectorDcomplex inv{C(4, 0), C(0.5, 0), C(2, 0), C(0.25, 0), C(-3, 0)};
  expectClose(pairInv(inv), {0.5, 0, 2, 0, 0.25, 0, 4, 0, -3, 0}, 0);
  const KelmVectorDcomplex inside{C(0.5, 0), C(0.1, 0)};
  EXPECT_EQ(values(pairInv(inside)), values(inside));
  EXPECT_EQ(pairInv(KelmVectorDcomplex{C(0, 0), C(2, 0)}).length(), 2);  // no finite reciprocal
}

}  // namespace
