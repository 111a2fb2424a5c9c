// Linear prediction and symmetric Toeplitz systems.
#include <kelmsp/kelmsp.h>

#include <gtest/gtest.h>

#include "KelmTestSupport.h"

using namespace kelm_test;

namespace {

template <class T>
class Prediction : public TypedErrorCapture<T> {};
TYPED_TEST_SUITE(Prediction, RealTypes);

// The Toeplitz matrix T[i][j] = r[|i - j|].
template <class T>
KelmMatrixGeneral<T> toeplitz(const KelmVector<T>& r) {
  const int n = r.length();
  KelmMatrixGeneral<T> m(n, n);
  for (int i = 0; i < n; ++i)
    for (int j = 0; j < n; ++j) m(i, j) = r[i > j ? i - j : j - i];
  return m;
}

TYPED_TEST(Prediction, LevinsonDurbinSmallCase) {
  using T = TypeParam;
  KelmVector<T> e, k;
  KelmMatrixGeneral<T> A;
  levinsonDurbin(vec<T>({1, 0.5}), e, A, k);
  expectClose(k, {0, -0.5}, tolerance<T>());
  expectClose(e, {1, 0.75}, tolerance<T>());
  expectClose(A.getColumn(1), {1, -0.5}, tolerance<T>());
  this->expectNoErrors();
}

TYPED_TEST(Prediction, LevinsonDurbinAgreesWithADirectToeplitzSolve) {
  using T = TypeParam;
  const KelmVector<T> r = vec<T>(refData("toeplitz.r"));
  const int p = r.length() - 1;
  KelmVector<T> e, k;
  KelmMatrixGeneral<T> A;
  levinsonDurbin(r, e, A, k);
  ASSERT_EQ(A.rowDim(), p + 1);
  // Every column i solves the normal equations of order i: T_i a = -r[1..i].
  for (int i = 1; i <= p; ++i) {
    const KelmVector<T> direct = solve(toeplitz(r.getSection(0, i - 1)), -r.getSection(1, i));
    std::vector<double> want = {1.0};
    for (double v : values(direct)) want.push_back(v);
    want.resize(std::size_t(p + 1), 0.0);
    expectClose(A.getColumn(i), want, 50 * tolerance<T>(), "order " + std::to_string(i));
    // The error power is r[0] + sum a_j r[j].
    double err = double(r[0]);
    for (int j = 1; j <= i; ++j) err += double(A(j, i)) * double(r[j]);
    EXPECT_NEAR(double(e[i]), err, 50 * tolerance<T>());
  }
  expectClose(A.getColumn(p), refData("levinson.a"), 50 * tolerance<T>(), "scipy");
  this->expectNoErrors();
}

TYPED_TEST(Prediction, InversesRebuildTheInputs) {
  using T = TypeParam;
  const KelmVector<T> r = vec<T>(refData("toeplitz.r"));
  const int p = r.length() - 1;
  KelmVector<T> e, k, e2, k2, back;
  KelmMatrixGeneral<T> A, A2;
  levinsonDurbin(r, e, A, k);
  levinsonAC(back, e, A);
  expectClose(back, values(r), 50 * tolerance<T>(), "levinsonAC");
  // Step-down from the final predictor (scaled: a[0] need not be 1).
  juryRC(e[p], A.getColumn(p) * T(3), e2, A2, k2);
  expectClose(k2, values(k), 50 * tolerance<T>(), "reflection coefficients");
  expectClose(e2, values(e), 50 * tolerance<T>(), "error powers");
  for (int i = 0; i <= p; ++i) {
    std::vector<double> col = values(A.getColumn(i));
    expectClose(A2.getColumn(i), col, 50 * tolerance<T>(), "predictor " + std::to_string(i));
  }
  this->expectNoErrors();
}

TYPED_TEST(Prediction, ToeplitzSolve) {
  using T = TypeParam;
  expectClose(toeplitzSolve(vec<T>({2, 1}), vec<T>({3, 3})), {1, 1}, tolerance<T>());
  expectClose(toeplitzSolve(vec<T>(refData("toeplitz.r")), vec<T>(refData("toeplitz.y"))), refData("toeplitz.x"),
              500 * tolerance<T>());
  this->expectNoErrors();
  // Singular: r = (1, 1) makes T all ones.
  EXPECT_TRUE(toeplitzSolve(vec<T>({1, 1, 1}), vec<T>({1, 2, 3})).empty());
  const auto err = this->onlyError();
  EXPECT_EQ(err.code, 200259);
  EXPECT_EQ(err.params.i[0], 1);
}

}  // namespace
