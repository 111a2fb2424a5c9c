// IIR filtering: causal in transposed direct form II, and zero phase.
#include <kelmsp/KelmFilter.h>
#include <kelmsp/KelmPolynomial.h>

#include "common/KelmInternal.h"

namespace kelm_detail {

template <class T>
void normalisePair(const KelmVector<T>& b, const KelmVector<T>& a, KelmVector<T>& bn, KelmVector<T>& an) {
  const int n = b.length() > a.length() ? b.length() : a.length();
  bn = resized(b, n);
  an = resized(a, n);
  const T a0 = a.array()[0];
  bn /= a0;
  an /= a0;
}

template <class T>
KelmVector<T> iirCausal(const KelmVector<T>& b, const KelmVector<T>& a, const KelmVector<T>& x) {
  const int N = b.length() - 1;  // filter order
  const T* bb = b.array();
  const T* aa = a.array();
  KelmVector<T> out(x.length());
  T* y = out.array();
  // s[j] holds the state that the description of the form numbers j + 1.
  KelmVector<T> state(N > 0 ? N : 0);
  T* s = state.array();
  for (int i = 0; i < x.length(); ++i) {
    const T xi = x.array()[i];
    const T yi = bb[0] * xi + (N > 0 ? s[0] : T(0));
    for (int j = 0; j + 1 < N; ++j) s[j] = bb[j + 1] * xi - aa[j + 1] * yi + s[j + 1];
    if (N > 0) s[N - 1] = bb[N] * xi - aa[N] * yi;
    y[i] = yi;
  }
  return out;
}

template void normalisePair(const KelmVector<double>&, const KelmVector<double>&, KelmVector<double>&,
                            KelmVector<double>&);
template void normalisePair(const KelmVector<float>&, const KelmVector<float>&, KelmVector<float>&,
                            KelmVector<float>&);
template KelmVector<double> iirCausal(const KelmVector<double>&, const KelmVector<double>&, const KelmVector<double>&);
template KelmVector<float> iirCausal(const KelmVector<float>&, const KelmVector<float>&, const KelmVector<float>&);

}  // namespace kelm_detail

namespace {

template <class T>
KelmVector<T> filterCore(const KelmVector<T>& b, const KelmVector<T>& a, int defined, const KelmVector<T>& x,
                         bool zeroPhase) {
  using kelm_detail::reportError;
  if (!defined) return reportError(200105), KelmVector<T>();
  if (a.array()[0] == T(0)) return reportError(200107, {"a(0)"}), KelmVector<T>();
  KelmVector<T> bn, an;
  kelm_detail::normalisePair(b, a, bn, an);
  if (!zeroPhase) return kelm_detail::iirCausal(bn, an, x);

  // r: autocorrelation of b for the lags 0..n-1, r[0] halved.
  const int n = b.length();
  KelmVector<T> r(n);
  T* rd = r.array();
  for (int k = 0; k < n; ++k)
    for (int i = 0; i + k < n; ++i) rd[k] += bn.array()[i] * bn.array()[i + k];
  rd[0] /= T(2);
  // C(z)/A(z) + C(1/z)/A(1/z) = B(z)B(1/z) / (A(z)A(1/z)).
  const KelmVector<T> c = polynomialJury(an, r);
  if (kelm_detail::failed()) return KelmVector<T>();
  const int len = c.length() > an.length() ? c.length() : an.length();
  const KelmVector<T> cp = kelm_detail::resized(c, len);
  const KelmVector<T> ap = kelm_detail::resized(an, len);
  KelmVector<T> y = kelm_detail::iirCausal(cp, ap, x);
  const KelmVector<T> back = kelm_detail::reversed(kelm_detail::iirCausal(cp, ap, kelm_detail::reversed(x)));
  y += back;
  return y;
}

}  // namespace

template <class T>
KelmVector<T> KelmIIRFilter<T>::operator()(const Vector& x) const {
  KELM_ROUTINE("KelmIIRFilterDouble::operator()(const KelmVectorDouble&)");
  return filterCore(m_b, m_a, m_defined, x, false);
}

template <class T>
KelmVector<T> KelmIIRFilter<T>::operator()(const Vector& x, int zeroPhase) const {
  KELM_ROUTINE("KelmIIRFilterDouble::operator()(const KelmVectorDouble&, const int)");
  return filterCore(m_b, m_a, m_defined, x, zeroPhase != 0);
}

template KelmVector<double> KelmIIRFilter<double>::operator()(const Vector&) const;
template KelmVector<double> KelmIIRFilter<double>::operator()(const Vector&, int) const;
template KelmVector<float> KelmIIRFilter<float>::operator()(const Vector&) const;
template KelmVector<float> KelmIIRFilter<float>::operator()(const Vector&, int) const;
