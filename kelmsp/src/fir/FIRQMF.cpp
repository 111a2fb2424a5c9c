// The complementary filter of a low-pass for an orthogonal two-channel
// filter bank.
#include <kelmsp/KelmFIRDesign.h>
#include <kelmsp/KelmPolynomial.h>

#include "fir/FIRInternal.h"

#include <cmath>

using kelm_detail::failed;
using kelm_detail::reportError;

// With E(z) = H(z) H(1/z), the symmetric M(z) (powers -(L-2)..L-2, L the
// length of H) with E(z) M(z) + E(-z) M(-z) = 1 makes P = E M a half-band
// product; the result is H times the spectral factor S of M, so that
// G(z) G(1/z) = P(z) and G(z) G(1/z) + G(-z) G(-1/z) = 1.
//
// M is the solution of least degree of the Bezout equation
// E(z) M(z) + E(-z) X(z) = 1. Because E is symmetric and M is too, it is
// found from the L - 1 even lags 0, 2, ..., 2(L-2) of P (1/2 at lag 0, zero
// elsewhere) as a square linear system; the Euclidean algorithm on E(z) and
// E(-z) loses this solution to rounding for any but the shortest filters.
template <class T>
KelmFIRFilter<T> FIRQMFFilterDesign(const KelmVector<T>& h) {
  KELM_ROUTINE("FIRQMFFilterDesign(const KelmVectorDouble&)");
  using Filter = KelmFIRFilter<T>;
  if (h.length() < 2) return reportError(200100, {"h"}, {2}), Filter();
  const int degree = polynomialDegree(h);
  if (failed()) return Filter();
  // A filter of one significant coefficient has no complementary filter of
  // this form.
  if (degree < 1) return reportError(200100, {"h"}, {2}), Filter();
  const int L = degree + 1;
  const KelmVector<T> H = kelm_detail::resized(h, L);
  const KelmVector<T> E = polynomialMultiply(H, reverse(H));
  if (failed()) return Filter();
  // Lag j of E(z) (the centre is the power L - 1).
  auto e = [&E, L](int j) { return std::abs(j) <= L - 1 ? E.array()[L - 1 + std::abs(j)] : T(0); };
  const int K = L - 2;
  KelmMatrixGeneral<T> A(K + 1, K + 1);
  KelmVector<T> rhs(K + 1);
  rhs.array()[0] = T(0.5);
  for (int r = 0; r <= K; ++r) {
    A(r, 0) = e(2 * r);
    for (int i = 1; i <= K; ++i) A(r, i) = e(2 * r - i) + e(2 * r + i);
  }
  const KelmVector<T> m = solve(A, rhs);
  if (failed() || m.length() != K + 1) return Filter();
  // A singular system: H(z) and H(-z) share zeros and the equation has no
  // solution.
  T residual = 0, scale = 0;
  for (int r = 0; r <= K; ++r) {
    T s = -rhs.array()[r];
    for (int i = 0; i <= K; ++i) {
      s += A(r, i) * m.array()[i];
      scale = std::max(scale, std::fabs(A(r, i) * m.array()[i]));
    }
    residual = std::max(residual, std::fabs(s));
  }
  if (!(residual <= T(kelm_detail::sqrtEpsilon<T>()) * std::max(scale, T(0.5))))
    return reportError(200252), Filter();
  // The half of M from the centre outwards, centre halved.
  KelmVector<T> U = m;
  U.array()[0] /= T(2);
  const KelmVector<T> S = polynomialSqrt2(U);
  if (failed()) return Filter();
  const KelmVector<T> g = polynomialMultiply(H, S);
  if (failed()) return Filter();
  return Filter(g);
}

template KelmFIRFilter<double> FIRQMFFilterDesign(const KelmVector<double>&);
template KelmFIRFilter<float> FIRQMFFilterDesign(const KelmVector<float>&);
