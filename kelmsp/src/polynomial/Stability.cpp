// Stability test, Jury's symmetric polynomial equation, spectral factor and
// stabilisation of polynomials.
#include <kelmsp/KelmPolynomial.h>

#include "common/KelmInternal.h"

#include <cmath>
#include <vector>

using kelm_detail::reportError;

template <class T>
int schurCohnTest(const KelmVector<T>& p, KelmRealOfT<T> epsilon) {
  KELM_ROUTINE("schurCohnTest(const KelmVectorDouble&, const double)");
  if (p.empty()) return reportError(200100, {"p"}, {1}), -1;
  if (!(epsilon >= T(0) && epsilon < T(1))) return reportError(200110, {"epsilon", "[0, 1)"}), -1;
  std::vector<T> q(p.begin(), p.end());
  for (int m = p.length() - 1; m >= 1; --m) {
    if (q[0] == T(0)) return 0;
    const T k = q[std::size_t(m)] / q[0];
    if (std::fabs(k) > T(1) - epsilon) return 0;
    // q[i] - k q[m - i] with the values from before this step.
    const std::vector<T> before(q.begin(), q.begin() + m + 1);
    for (int i = 0; i < m; ++i) q[std::size_t(i)] = before[std::size_t(i)] - k * before[std::size_t(m - i)];
  }
  return 1;
}

namespace {

// Reduced values beyond this mean the equation is singular or too
// ill-conditioned to solve.
constexpr double kJuryLimit = 4503599627370496.0;  // 2^52

// Solves X(z) A~(z) + X~(z) A(z) = Tz(z) for X of degree m, where A~ and X~
// are the reversals as degree-m polynomials and Tz is the symmetric
// polynomial z^m (R(z) + R(1/z)) of degree 2m. Each step removes the
// reflection coefficient k = a_m / a_0 from A and reduces Tz with it; X is
// rebuilt from the reduced solution. Returns false when a reduced value is
// not finite or exceeds 2^52, or a reduction divides by zero.
template <class T>
bool jurySolve(std::vector<T> A, std::vector<T> Tz, int m, std::vector<T>& X) {
  auto bad = [](T v) { return !std::isfinite(v) || std::fabs(double(v)) > kJuryLimit; };
  if (m == 0) {
    if (A[0] == T(0)) return false;
    X.assign(1, Tz[0] / (T(2) * A[0]));
    return !bad(X[0]);
  }
  if (A[0] == T(0)) return false;
  const T k = A[std::size_t(m)] / A[0];
  const T c = T(1) - k * k;
  // A1 = A - k A~ has degree m - 1.
  std::vector<T> A1(static_cast<std::size_t>(m));
  for (int i = 0; i < m; ++i) A1[std::size_t(i)] = A[std::size_t(i)] - k * A[std::size_t(m - i)];
  if (c == T(0) || A1[0] == T(0)) return false;
  const T um = c * Tz[0] / A1[0];
  // (c Tz - um (z^(m+1) A1~ + A1)) / z, of degree 2m - 2.
  std::vector<T> B(static_cast<std::size_t>(2 * m + 1));
  for (int i = 0; i <= 2 * m; ++i) B[std::size_t(i)] = c * Tz[std::size_t(i)];
  for (int i = 0; i < m; ++i) {
    B[std::size_t(m + 1 + i)] -= um * A1[std::size_t(m - 1 - i)];
    B[std::size_t(i)] -= um * A1[std::size_t(i)];
  }
  std::vector<T> T1(B.begin() + 1, B.begin() + 2 * m);
  if (bad(um)) return false;
  for (T v : T1)
    if (bad(v)) return false;
  std::vector<T> V;
  if (!jurySolve(A1, T1, m - 1, V)) return false;
  // U = V + um z^m, and X = (U - k U~) / c.
  std::vector<T> U(V);
  U.push_back(um);
  X.assign(std::size_t(m + 1), T(0));
  for (int i = 0; i <= m; ++i) X[std::size_t(i)] = (U[std::size_t(i)] - k * U[std::size_t(m - i)]) / c;
  for (T v : X)
    if (bad(v)) return false;
  return true;
}

template <class T>
KelmVector<T> juryCore(const KelmVector<T>& a, const KelmVector<T>& r) {
  const T tol = T(kelm_detail::degreeTolerance<T>());
  const int da = kelm_detail::degree(a, tol), dr = kelm_detail::degree(r, tol);
  const int m = da > dr ? da : dr;
  std::vector<T> A(std::size_t(m + 1), T(0)), R(std::size_t(m + 1), T(0));
  for (int i = 0; i <= m && i < a.length(); ++i) A[std::size_t(i)] = a.array()[i];
  for (int i = 0; i <= m && i < r.length(); ++i) R[std::size_t(i)] = r.array()[i];
  std::vector<T> Tz(std::size_t(2 * m + 1), T(0));
  Tz[std::size_t(m)] = T(2) * R[0];
  for (int j = 1; j <= m; ++j) Tz[std::size_t(m + j)] = Tz[std::size_t(m - j)] = R[std::size_t(j)];
  std::vector<T> X;
  if (!jurySolve(A, Tz, m, X)) {
    reportError(8019, {}, {}, {kJuryLimit});
    return KelmVector<T>();
  }
  return KelmVector<T>(m + 1, X.data());
}

}  // namespace

template <class T>
KelmVector<T> polynomialJury(const KelmVector<T>& a, const KelmVector<T>& r) {
  KELM_ROUTINE("polynomialJury(const KelmVectorDouble&, const KelmVectorDouble&)");
  if (a.empty() || r.empty()) return reportError(200253), KelmVector<T>();
  return juryCore(a, r);
}

template <class T>
KelmVector<T> polynomialSqrt2(const KelmVector<T>& p) {
  KELM_ROUTINE("polynomialSqrt2(const KelmVectorDouble&)");
  if (p.empty()) return reportError(200253), KelmVector<T>();
  const T p0 = p.array()[0];
  if (!(p0 > T(0))) return reportError(200109, {"p(0)"}), KelmVector<T>();
  const int n = p.length() - 1;
  KelmVector<T> b(n + 1);
  b.array()[0] = std::sqrt(T(2) * p0);
  const T tolerance = T(10) * p0 * T(kelm_detail::sqrtEpsilon<T>());
  T previous = b.array()[0];
  for (int pass = 1; pass <= 30; ++pass) {
    const KelmVector<T> x = juryCore(b, p);
    if (kelm_detail::failed()) return KelmVector<T>();
    KelmVector<T> next = kelm_detail::resized(x, n + 1);
    for (int i = 0; i <= n; ++i) next.array()[i] += b.array()[i] / T(2);
    b = next;
    const T change = std::fabs(b.array()[0] - previous);
    previous = b.array()[0];
    if (pass >= 3 && change <= tolerance) return b;
  }
  reportError(200251);
  return KelmVector<T>();
}

template <class T>
KelmVector<T> polynomialStabilize(const KelmVector<T>& p, int keepGain) {
  KELM_ROUTINE("polynomialStabilize(const KelmVectorDouble&, const int)");
  if (p.empty()) return reportError(200253), KelmVector<T>();
  const int d = kelm_detail::degree(p, T(0));
  if (d == 0) return p;
  // z^d p(1/z) has the coefficients of p reversed.
  const KelmVector<T> zpoly = kelm_detail::reversed(kelm_detail::resized(p, d + 1));
  KelmVector<KelmComplex<T>> roots = zerosPolynomial(zpoly);
  bool moved = false;
  KelmComplex<T>* z = roots.array();
  for (int i = 0; i < roots.length(); ++i) {
    if (kelm_detail::magnitude(z[i]) > T(1)) {
      z[i] = KelmComplex<T>(1) / z[i];
      moved = true;
    }
  }
  if (!moved) return p;
  // prod (z - z_i), monic in z; reversed it is a polynomial in z^-1 with result[0] = 1.
  KelmVector<KelmComplex<T>> monic(roots.length() + 1);
  KelmComplex<T>* m = monic.array();
  m[0] = KelmComplex<T>(1);
  for (int i = 0; i < roots.length(); ++i) {
    for (int j = i + 1; j > 0; --j) m[j] = m[j - 1] - z[i] * m[j];
    m[0] = -z[i] * m[0];
  }
  const int n = monic.length();
  KelmVector<T> out(n);
  for (int i = 0; i < n; ++i) out.array()[i] = m[n - 1 - i].real();
  if (keepGain) out *= p.array()[0] / out.array()[0];
  return out;
}

#define KELM_INSTANTIATE_STABILITY(T)                                                  \
  template int schurCohnTest(const KelmVector<T>&, KelmRealOfT<T>);                    \
  template KelmVector<T> polynomialJury(const KelmVector<T>&, const KelmVector<T>&);   \
  template KelmVector<T> polynomialSqrt2(const KelmVector<T>&);                        \
  template KelmVector<T> polynomialStabilize(const KelmVector<T>&, int);
KELM_INSTANTIATE_STABILITY(double)
KELM_INSTANTIATE_STABILITY(float)
