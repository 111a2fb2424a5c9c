// Vector routines and polynomial arithmetic.
#include <kelmsp/KelmPolynomial.h>

#include "common/KelmInternal.h"

#include <cmath>

using kelm_detail::reportError;

namespace kelm_detail {

template <class T>
int degree(const KelmVector<T>& p, KelmRealOfT<T> tol) {
  for (int i = p.length() - 1; i > 0; --i) {
    if (magnitude(p.array()[i]) > tol) return i;
  }
  return 0;
}

template int degree(const KelmVector<double>&, double);
template int degree(const KelmVector<float>&, float);
template int degree(const KelmVector<KelmDcomplex>&, double);
template int degree(const KelmVector<KelmFcomplex>&, float);

}  // namespace kelm_detail

#define KELM_TEXT(realText, complexText) (kKelmIsComplex<T> ? complexText : realText)

// --- Vector routines ---

template <class T>
KelmVector<T> reverse(const KelmVector<T>& v) {
  KELM_ROUTINE(KELM_TEXT("reverse(const KelmVectorDouble&)", "reverse(const KelmVectorDcomplex&)"));
  if (v.empty()) return reportError(200117, {"v"}), KelmVector<T>();
  return kelm_detail::reversed(v);
}

template <class T>
KelmVector<T> shift(const KelmVector<T>& v, int k) {
  KELM_ROUTINE(KELM_TEXT("shift(const KelmVectorDouble&, const int)", "shift(const KelmVectorDcomplex&, const int)"));
  const int n = v.length();
  if (n == 0 || k == 0) return v;
  // Element i goes to (i + k) mod n.
  const int s = ((k % n) + n) % n;
  KelmVector<T> out(n, v.base());
  T* d = out.array();
  for (int i = 0; i < n; ++i) d[(i + s) % n] = v.array()[i];
  return out;
}

template <class T>
KelmVector<T> sinc(const KelmVector<T>& v) {
  KELM_ROUTINE("sinc(const KelmVectorDouble&)");
  if (v.empty()) return reportError(200117, {"v"}), KelmVector<T>();
  KelmVector<T> out(v.length(), v.base());
  T* d = out.array();
  for (int i = 0; i < v.length(); ++i) {
    const T x = v.array()[i];
    d[i] = std::fabs(x) < T(1.4901161193847656e-8) ? T(1) : std::sin(x) / x;
  }
  return out;
}

// --- Polynomial arithmetic ---

template <class T>
KelmVector<T> polynomialMultiply(const KelmVector<T>& p, const KelmVector<T>& q) {
  KELM_ROUTINE(KELM_TEXT("polynomialMultiply(const KelmVectorDouble&, const KelmVectorDouble&)",
                         "polynomialMultiply(const KelmVectorDcomplex&, const KelmVectorDcomplex&)"));
  if (p.empty() || q.empty()) return reportError(200253), KelmVector<T>();
  return kelm_detail::multiply(p, q);
}

template <class T>
KelmVector<T> polynomialSum(const KelmVector<T>& p, const KelmVector<T>& q) {
  KELM_ROUTINE(KELM_TEXT("polynomialSum(const KelmVectorDouble&, const KelmVectorDouble&)",
                         "polynomialSum(const KelmVectorDcomplex&, const KelmVectorDcomplex&)"));
  if (p.empty() || q.empty()) return reportError(200253), KelmVector<T>();
  const KelmVector<T>& longer = p.length() >= q.length() ? p : q;
  const KelmVector<T>& shorter = p.length() >= q.length() ? q : p;
  KelmVector<T> out = kelm_detail::resized(longer, longer.length());
  T* d = out.array();
  for (int i = 0; i < shorter.length(); ++i) d[i] += shorter.array()[i];
  return out;
}

namespace {

// Long division with the exact degrees; d must not be the zero polynomial.
template <class T>
void divide(const KelmVector<T>& p, const KelmVector<T>& d, KelmVector<T>& quotient, KelmVector<T>& remainder,
            KelmRealOfT<T> remainderTolerance) {
  const int dp = kelm_detail::degree(p, KelmRealOfT<T>(0));
  const int dd = kelm_detail::degree(d, KelmRealOfT<T>(0));
  KelmVector<T> r = kelm_detail::resized(p, dp + 1);
  T* rd = r.array();
  const int nq = dp - dd + 1 > 1 ? dp - dd + 1 : 1;
  KelmVector<T> q(nq);
  T* qd = q.array();
  const T lead = d.array()[dd];
  for (int i = dp - dd; i >= 0; --i) {
    const T c = rd[i + dd] / lead;
    qd[i] = c;
    for (int j = 0; j <= dd; ++j) rd[i + j] -= c * d.array()[j];
    rd[i + dd] = T(0);
  }
  quotient = q;
  remainder = kelm_detail::resized(r, kelm_detail::degree(r, remainderTolerance) + 1);
}

}  // namespace

template <class T>
void polynomialDivide(const KelmVector<T>& p, const KelmVector<T>& d, KelmVector<T>& quotient,
                      KelmVector<T>& remainder) {
  KELM_ROUTINE(
      "polynomialDivide(const KelmVectorDouble&, const KelmVectorDouble&, KelmVectorDouble&, KelmVectorDouble&)");
  quotient = KelmVector<T>();
  remainder = KelmVector<T>();
  if (p.empty() || d.empty()) return reportError(200253);
  if (kelm_detail::degree(d, T(0)) == 0 && d.array()[0] == T(0)) return reportError(200107, {"d"});
  divide(p, d, quotient, remainder, T(kelm_detail::degreeTolerance<T>()));
}

template <class T>
int polynomialDegree(const KelmVector<T>& p, KelmRealOfT<T> tol) {
  KELM_ROUTINE(KELM_TEXT("polynomialDegree(const KelmVectorDouble&, const double)",
                         "polynomialDegree(const KelmVectorDcomplex&, const double)"));
  if (p.empty()) return reportError(200253), 0;
  return kelm_detail::degree(p, tol);
}

template <class T>
int polynomialDegree(const KelmVector<T>& p) {
  KELM_ROUTINE(KELM_TEXT("polynomialDegree(const KelmVectorDouble&)", "polynomialDegree(const KelmVectorDcomplex&)"));
  if (p.empty()) return reportError(200253), 0;
  return kelm_detail::degree(p, KelmRealOfT<T>(kelm_detail::degreeTolerance<T>()));
}

// Horner's rule from the highest non-zero coefficient down: coefficients of
// any size count, so the responses of filters with tiny coefficients stay exact.
template <class T>
T polynomialEvaluate(std::type_identity_t<T> x, const KelmVector<T>& p) {
  KELM_ROUTINE(KELM_TEXT("polynomialEvaluate(const double, const KelmVectorDouble&)",
                         "polynomialEvaluate(const KelmDcomplex&, const KelmVectorDcomplex&)"));
  if (p.empty()) return T(0);
  return kelm_detail::horner(x, kelm_detail::resized(p, kelm_detail::degree(p, KelmRealOfT<T>(0)) + 1));
}

template <class T>
KelmComplex<T> polynomialEvaluate(const KelmComplex<T>& x, const KelmVector<T>& p) {
  KELM_ROUTINE("polynomialEvaluate(const KelmDcomplex&, const KelmVectorDouble&)");
  if (p.empty()) return KelmComplex<T>(0);
  return kelm_detail::horner(x, kelm_detail::resized(p, kelm_detail::degree(p, T(0)) + 1));
}

template <class T>
KelmVector<T> root2Poly(const KelmVector<T>& r) {
  KELM_ROUTINE(KELM_TEXT("root2Poly(const KelmVectorDouble&)", "root2Poly(const KelmVectorDcomplex&)"));
  if (r.empty()) return reportError(200253), KelmVector<T>();
  const int n = r.length();
  KelmVector<T> p(n + 1);
  T* d = p.array();
  d[0] = T(1);
  // Multiply by (x - r_i): the coefficients move up one power, minus r_i times the old ones.
  for (int i = 0; i < n; ++i) {
    const T root = r.array()[i];
    for (int j = i + 1; j > 0; --j) d[j] = d[j - 1] - root * d[j];
    d[0] = -root * d[0];
  }
  return p;
}

template <class T>
void polynomialEuclid(const KelmVector<T>& a, const KelmVector<T>& b, const KelmVector<T>& c, KelmVector<T>& x,
                      KelmVector<T>& y) {
  KELM_ROUTINE(
      "polynomialEuclid(const KelmVectorDouble&, const KelmVectorDouble&, const KelmVectorDouble&, "
      "KelmVectorDouble&, KelmVectorDouble&)");
  x = KelmVector<T>();
  y = KelmVector<T>();
  if (a.empty() || b.empty() || c.empty()) return reportError(200253);
  const T tol = T(kelm_detail::sqrtEpsilon<T>());
  const T degTol = T(kelm_detail::degreeTolerance<T>());
  using kelm_detail::degree;
  using kelm_detail::multiply;
  using kelm_detail::resized;
  auto isZero = [tol](const KelmVector<T>& v) {
    for (const T& e : v)
      if (std::fabs(e) >= tol) return false;
    return true;
  };
  auto sub = [](const KelmVector<T>& u, const KelmVector<T>& v) {
    const int n = u.length() > v.length() ? u.length() : v.length();
    KelmVector<T> out = resized(u, n);
    for (int i = 0; i < v.length(); ++i) out.array()[i] -= v.array()[i];
    return out;
  };
  const KelmVector<T> A = resized(a, degree(a, degTol) + 1);
  const KelmVector<T> B = resized(b, degree(b, degTol) + 1);
  if (isZero(A) && isZero(B)) return reportError(200252);

  // Extended Euclid: A s + B t = g.
  KelmVector<T> r0 = A, r1 = B, s0{T(1)}, s1{T(0)}, t0{T(0)}, t1{T(1)};
  while (!isZero(r1)) {
    KelmVector<T> q, rem;
    divide(r0, r1, q, rem, tol);
    if (isZero(rem)) rem = KelmVector<T>{T(0)};
    r0 = r1;
    r1 = rem;
    KelmVector<T> s2 = sub(s0, multiply(q, s1)), t2 = sub(t0, multiply(q, t1));
    s0 = s1;
    s1 = s2;
    t0 = t1;
    t1 = t2;
  }
  const KelmVector<T>& g = r0;
  // c = g h exactly, else no solution.
  KelmVector<T> h, rest;
  divide(c, g, h, rest, tol);
  if (!isZero(rest)) return reportError(200252);
  // x = s0 h reduced modulo B/g (the solution of least degree), y = (c - A x)/B.
  KelmVector<T> bg, bgRest, unused, xr;
  divide(B, g, bg, bgRest, tol);
  divide(multiply(s0, h), bg, unused, xr, degTol);
  KelmVector<T> yq, yRest;
  divide(sub(c, multiply(A, xr)), B, yq, yRest, degTol);
  x = xr;
  y = resized(yq, degree(yq, degTol) + 1);
}

#define KELM_INSTANTIATE_REAL_AND_COMPLEX(T)                                                \
  template KelmVector<T> reverse(const KelmVector<T>&);                                     \
  template KelmVector<T> shift(const KelmVector<T>&, int);                                  \
  template KelmVector<T> polynomialMultiply(const KelmVector<T>&, const KelmVector<T>&);    \
  template KelmVector<T> polynomialSum(const KelmVector<T>&, const KelmVector<T>&);         \
  template int polynomialDegree(const KelmVector<T>&, KelmRealOfT<T>);                      \
  template int polynomialDegree(const KelmVector<T>&);                                      \
  template T polynomialEvaluate(std::type_identity_t<T>, const KelmVector<T>&);             \
  template KelmVector<T> root2Poly(const KelmVector<T>&);
#define KELM_INSTANTIATE_REAL(T)                                                                                \
  template KelmVector<T> sinc(const KelmVector<T>&);                                                            \
  template void polynomialDivide(const KelmVector<T>&, const KelmVector<T>&, KelmVector<T>&, KelmVector<T>&);   \
  template KelmComplex<T> polynomialEvaluate(const KelmComplex<T>&, const KelmVector<T>&);                      \
  template void polynomialEuclid(const KelmVector<T>&, const KelmVector<T>&, const KelmVector<T>&, KelmVector<T>&, \
                                 KelmVector<T>&);
KELM_INSTANTIATE_REAL_AND_COMPLEX(double)
KELM_INSTANTIATE_REAL_AND_COMPLEX(float)
KELM_INSTANTIATE_REAL_AND_COMPLEX(KelmDcomplex)
KELM_INSTANTIATE_REAL_AND_COMPLEX(KelmFcomplex)
KELM_INSTANTIATE_REAL(double)
KELM_INSTANTIATE_REAL(float)
