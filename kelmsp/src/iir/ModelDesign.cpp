// IIR filters fitted to data: Prony's method on an impulse response (given
// directly or through a frequency response) and the all-pole model of a
// signal by linear prediction.
#include <kelmsp/KelmFiltering.h>
#include <kelmsp/KelmIIRDesign.h>
#include <kelmsp/KelmPolynomial.h>

#include "common/KelmInternal.h"

#include <climits>

using kelm_detail::reportError;

namespace {

// Prony's method on the matrix Hm[t][j] = h[t - j] (t = 0..L-1, j = 0..na),
// where h[t - j] is 0 for t < j (linear) or h[(t - j) mod L] (circular):
// the denominator (1, e) with e the least-squares solution of
// Hm[nb+1..L-1][1..na] e = -Hm[nb+1..L-1][0], the numerator Hm[0..nb][.] a.
template <class T>
KelmIIRFilter<T> prony(int nb, int na, const KelmVector<T>& h, bool circular) {
  const int L = h.length();
  auto at = [&](int t, int j) {
    const int i = t - j;
    if (i >= 0) return h.array()[i];
    return circular ? h.array()[i + L] : T(0);
  };
  KelmVector<T> a(na + 1);
  a.array()[0] = T(1);
  if (na > 0) {
    const int rows = L - 1 - nb;
    KelmMatrixGeneral<T> H2(rows, na);
    KelmVector<T> f(rows);
    for (int r = 0; r < rows; ++r) {
      f.array()[r] = -at(nb + 1 + r, 0);
      for (int j = 1; j <= na; ++j) H2(r, j - 1) = at(nb + 1 + r, j);
    }
    const KelmVector<T> e = solve(H2, f);
    if (kelm_detail::failed() || e.length() != na) return KelmIIRFilter<T>();
    for (int j = 0; j < na; ++j) a.array()[j + 1] = e.array()[j];
  }
  KelmVector<T> b(nb + 1);
  for (int t = 0; t <= nb; ++t) {
    T s = T(0);
    for (int j = 0; j <= na; ++j) s += at(t, j) * a.array()[j];
    b.array()[t] = s;
  }
  return KelmIIRFilter<T>(b, a);
}

}  // namespace

template <class T>
KelmIIRFilter<T> IIRLSFilterDesign(int nb, int na, const KelmVector<T>& h) {
  KELM_ROUTINE("IIRLSFilterDesign(const int, const int, const KelmVectorDouble&)");
  if (nb < 0) return reportError(200118, {"nb"}, {-1}), KelmIIRFilter<T>();
  if (na < 0) return reportError(200118, {"na"}, {-1}), KelmIIRFilter<T>();
  const int L = h.length();
  if (L < 1 || static_cast<long long>(L) - 1 < static_cast<long long>(nb) + na)
    return reportError(200243), KelmIIRFilter<T>();
  return prony(nb, na, h, false);
}

template <class T>
KelmIIRFilter<T> IIRLSFilterDesign(int nb, int na, const KelmVector<KelmComplex<T>>& H, int c) {
  KELM_ROUTINE("IIRLSFilterDesign(const int, const int, const KelmVectorDcomplex&, const int)");
  if (nb < 0) return reportError(200118, {"nb"}, {-1}), KelmIIRFilter<T>();
  if (na < 0) return reportError(200118, {"na"}, {-1}), KelmIIRFilter<T>();
  const long long orders = static_cast<long long>(nb) + na;
  if (c < 1 || c < orders || c == INT_MAX)
    return reportError(200241, {}, {c == INT_MAX ? c : c + 1, orders > INT_MAX ? INT_MAX : int(orders)}),
           KelmIIRFilter<T>();
  const int N = c + 1;
  const int half = N / 2;
  if (H.length() < half + 1) return reportError(200242), KelmIIRFilter<T>();
  // The full spectrum of a real response: H on the bins 0..N/2 and its
  // conjugate mirrored above them. The inverse transform takes e^(+i...), so
  // this yields h itself (conjugating the lower half instead would give h
  // reversed in time).
  KelmVector<KelmComplex<T>> X(N);
  for (int j = 0; j <= half; ++j) X.array()[j] = H.array()[j];
  for (int j = 1; j <= N - half - 1; ++j) X.array()[N - j] = conjg(H.array()[j]);
  const KelmVector<KelmComplex<T>> x = FFTInverse(X);
  KelmVector<T> h(N);
  for (int j = 0; j < N; ++j) h.array()[j] = x.array()[j].real() / T(N);
  return prony(nb, na, h, true);
}

template <class T>
KelmIIRFilter<T> IIRLPCFilterDesign(const KelmVector<T>& x, int p) {
  KELM_ROUTINE("IIRLPCFilterDesign(const KelmVectorDouble&, const int)");
  if (p <= 0) return reportError(200109, {"n"}), KelmIIRFilter<T>();
  const int L = x.length();
  if (L < 2) return reportError(200100, {"x"}, {2}), KelmIIRFilter<T>();
  // r[k] = sum_i x[i] x[i+k]: the full convolution of x with its reverse
  // from its middle (index L - 1) on.
  const KelmVector<T> full = convolution(x, kelm_detail::reversed(x), 0);
  if (kelm_detail::failed()) return KelmIIRFilter<T>();
  // r[0..p], padded with zeros beyond the signal's lags.
  KelmVector<T> r(p + 1);
  for (int k = 0; k <= p && k < L; ++k) r.array()[k] = full.array()[L - 1 + k];
  KelmVector<T> lhs(p), rhs(p);
  for (int k = 0; k < p; ++k) {
    lhs.array()[k] = r.array()[k];
    rhs.array()[k] = -r.array()[k + 1];
  }
  const KelmVector<T> alpha = toeplitzSolve(lhs, rhs);
  if (kelm_detail::failed()) return KelmIIRFilter<T>();
  KelmVector<T> a(p + 1);
  a.array()[0] = T(1);
  for (int k = 0; k < p; ++k) a.array()[k + 1] = alpha.array()[k];
  return KelmIIRFilter<T>(KelmVector<T>{T(1)}, a);
}

template KelmIIRFilter<double> IIRLSFilterDesign(int, int, const KelmVector<double>&);
template KelmIIRFilter<float> IIRLSFilterDesign(int, int, const KelmVector<float>&);
template KelmIIRFilter<double> IIRLSFilterDesign(int, int, const KelmVector<KelmDcomplex>&, int);
template KelmIIRFilter<float> IIRLSFilterDesign(int, int, const KelmVector<KelmFcomplex>&, int);
template KelmIIRFilter<double> IIRLPCFilterDesign(const KelmVector<double>&, int);
template KelmIIRFilter<float> IIRLPCFilterDesign(const KelmVector<float>&, int);
