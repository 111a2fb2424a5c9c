// Responses of the filter objects on the s- and z-planes and impulse responses.
#include <kelmsp/KelmFilter.h>

#include "common/KelmInternal.h"

#include <cmath>

namespace {

using kelm_detail::reportError;

template <class T>
using CVec = KelmVector<KelmComplex<T>>;

// B(p)/A(p) at every point; a zero denominator warns once (200244) and the
// division goes on.
template <class T>
CVec<T> evaluateRatio(const KelmVector<T>& b, const KelmVector<T>& a, const CVec<T>& points) {
  CVec<T> out(points.length());
  KelmComplex<T>* d = out.array();
  bool warned = false;
  for (int i = 0; i < points.length(); ++i) {
    const KelmComplex<T> p = points.array()[i];
    const KelmComplex<T> num = kelm_detail::horner(p, b);
    const KelmComplex<T> den = kelm_detail::horner(p, a);
    if (den == KelmComplex<T>(0) && !warned) {
      reportError(200244, {}, {i}, {}, KELM_WARNING);
      warned = true;
    }
    d[i] = num / den;
  }
  return out;
}

template <class T>
CVec<T> responseS(const KelmVector<T>& b, const KelmVector<T>& a, int defined, const CVec<T>& points) {
  if (!defined) return reportError(200105), CVec<T>();
  if (points.empty()) return reportError(200117, {"points"}), CVec<T>();
  return evaluateRatio(b, a, points);
}

// Response at normalised frequencies: sum b[k] e^(-jwk) / sum a[k] e^(-jwk), w = pi f.
template <class T>
CVec<T> responseZ(const KelmVector<T>& b, const KelmVector<T>& a, int defined, const KelmVector<T>& frequencies,
                  KelmVector<T>& f) {
  if (!defined) return reportError(200105), CVec<T>();
  if (frequencies.empty()) return reportError(200109, {"npoints"}), CVec<T>();
  CVec<T> points(frequencies.length());
  KelmComplex<T>* p = points.array();
  for (int i = 0; i < frequencies.length(); ++i) {
    const double w = kelm_detail::kPi * double(frequencies.array()[i]);
    p[i] = KelmComplex<T>(T(std::cos(w)), T(-std::sin(w)));
  }
  f = frequencies;
  return evaluateRatio(b, a, points);
}

// Power spectrum bins 0 .. L/2 - 1 of a real vector zero-padded to L.
template <class T>
CVec<T> halfSpectrum(const KelmVector<T>& v, int L) {
  const KelmVector<T> packed = FFTForward(kelm_detail::resized(v, L));
  CVec<T> out(L / 2);
  KelmComplex<T>* d = out.array();
  const T* s = packed.array();
  for (int k = 0; k < L / 2; ++k) d[k] = k == 0 ? KelmComplex<T>(s[0]) : KelmComplex<T>(s[2 * k - 1], s[2 * k]);
  return out;
}

// Evenly spaced response by FFT: L/2 values at the frequencies 2k/L.
template <class T>
CVec<T> responseZn(const KelmVector<T>& b, const KelmVector<T>& a, int defined, int n, KelmVector<T>* f) {
  if (!defined) return reportError(200105), CVec<T>();
  if (n <= 0 || n > (1 << 29)) return reportError(200109, {"npoints"}), CVec<T>();
  const int longest = b.length() > a.length() ? b.length() : a.length();
  const long long twice = 2LL * n;
  const int L = twice >= longest ? int(twice) : kelm_detail::fastLength(2LL * longest - 1);
  const CVec<T> num = halfSpectrum(b, L);
  const CVec<T> den = halfSpectrum(a, L);
  CVec<T> out(L / 2);
  KelmComplex<T>* d = out.array();
  bool warned = false;
  for (int k = 0; k < L / 2; ++k) {
    if (den.array()[k] == KelmComplex<T>(0) && !warned) {
      reportError(200244, {}, {k}, {}, KELM_WARNING);
      warned = true;
    }
    d[k] = num.array()[k] / den.array()[k];
  }
  if (f) {
    *f = KelmVector<T>(L / 2);
    T* fd = f->array();
    for (int k = 0; k < L / 2; ++k) fd[k] = T(2.0 * k / L);
  }
  return out;
}

template <class T>
KelmVector<T> impulse(const KelmVector<T>& b, const KelmVector<T>& a, int defined, int n) {
  if (!defined) return reportError(200105), KelmVector<T>();
  if (n <= 0) return reportError(200118, {"npoints"}, {0}), KelmVector<T>();
  if (a.array()[0] == T(0)) return reportError(200107, {"a(0)"}), KelmVector<T>();
  KelmVector<T> bn, an;
  kelm_detail::normalisePair(b, a, bn, an);
  KelmVector<T> x(n);
  x.array()[0] = T(1);
  return kelm_detail::iirCausal(bn, an, x);
}

template <class T>
CVec<T> toComplex(const KelmVector<T>& v) {
  return CVec<T>(v);
}

template <class T>
const KelmVector<T>& unitDenominator() {
  static const KelmVector<T> one{T(1)};
  return one;
}

}  // namespace

// FIR filters: A = (1).

template <class T>
KelmVector<KelmComplex<T>> KelmFIRFilter<T>::frequencyResponseS(const Vector& points) const {
  KELM_ROUTINE("KelmFIRFilterDouble::frequencyResponseS(const KelmVectorDouble&)");
  return responseS(m_b, unitDenominator<T>(), m_defined, toComplex(points));
}

template <class T>
KelmVector<KelmComplex<T>> KelmFIRFilter<T>::frequencyResponseS(const ComplexVector& points) const {
  KELM_ROUTINE("KelmFIRFilterDouble::frequencyResponseS(const KelmVectorDcomplex&)");
  return responseS(m_b, unitDenominator<T>(), m_defined, points);
}

template <class T>
KelmVector<KelmComplex<T>> KelmFIRFilter<T>::frequencyResponseZ(const Vector& frequencies, Vector& f) const {
  KELM_ROUTINE("KelmFIRFilterDouble::frequencyResponseZ(const KelmVectorDouble&, KelmVectorDouble&)");
  return responseZ(m_b, unitDenominator<T>(), m_defined, frequencies, f);
}

template <class T>
KelmVector<KelmComplex<T>> KelmFIRFilter<T>::frequencyResponseZ(int n, Vector& f) const {
  KELM_ROUTINE("KelmFIRFilterDouble::frequencyResponseZ(const int, KelmVectorDouble&)");
  return responseZn(m_b, unitDenominator<T>(), m_defined, n, &f);
}

template <class T>
KelmVector<KelmComplex<T>> KelmFIRFilter<T>::frequencyResponseZ(int n) const {
  KELM_ROUTINE("KelmFIRFilterDouble::frequencyResponseZ(const int)");
  return responseZn<T>(m_b, unitDenominator<T>(), m_defined, n, nullptr);
}

template <class T>
KelmVector<KelmComplex<T>> KelmFIRFilter<T>::frequencyResponseZ(Vector& f) const {
  KELM_ROUTINE("KelmFIRFilterDouble::frequencyResponseZ(KelmVectorDouble&)");
  return responseZn(m_b, unitDenominator<T>(), m_defined, 512, &f);
}

template <class T>
KelmVector<T> KelmFIRFilter<T>::impulseResponse(int n) const {
  KELM_ROUTINE("KelmFIRFilterDouble::impulseResponse(const int)");
  return impulse(m_b, unitDenominator<T>(), m_defined, n);
}

// IIR filters.

template <class T>
KelmVector<KelmComplex<T>> KelmIIRFilter<T>::frequencyResponseS(const Vector& points) const {
  KELM_ROUTINE("KelmIIRFilterDouble::frequencyResponseS(const KelmVectorDouble&)");
  return responseS(m_b, m_a, m_defined, toComplex(points));
}

template <class T>
KelmVector<KelmComplex<T>> KelmIIRFilter<T>::frequencyResponseS(const ComplexVector& points) const {
  KELM_ROUTINE("KelmIIRFilterDouble::frequencyResponseS(const KelmVectorDcomplex&)");
  return responseS(m_b, m_a, m_defined, points);
}

template <class T>
KelmVector<KelmComplex<T>> KelmIIRFilter<T>::frequencyResponseZ(const Vector& frequencies, Vector& f) const {
  KELM_ROUTINE("KelmIIRFilterDouble::frequencyResponseZ(const KelmVectorDouble&, KelmVectorDouble&)");
  return responseZ(m_b, m_a, m_defined, frequencies, f);
}

template <class T>
KelmVector<KelmComplex<T>> KelmIIRFilter<T>::frequencyResponseZ(int n, Vector& f) const {
  KELM_ROUTINE("KelmIIRFilterDouble::frequencyResponseZ(const int, KelmVectorDouble&)");
  return responseZn(m_b, m_a, m_defined, n, &f);
}

template <class T>
KelmVector<KelmComplex<T>> KelmIIRFilter<T>::frequencyResponseZ(int n) const {
  KELM_ROUTINE("KelmIIRFilterDouble::frequencyResponseZ(const int)");
  return responseZn<T>(m_b, m_a, m_defined, n, nullptr);
}

template <class T>
KelmVector<KelmComplex<T>> KelmIIRFilter<T>::frequencyResponseZ(Vector& f) const {
  KELM_ROUTINE("KelmIIRFilterDouble::frequencyResponseZ(KelmVectorDouble&)");
  return responseZn(m_b, m_a, m_defined, 512, &f);
}

template <class T>
KelmVector<T> KelmIIRFilter<T>::impulseResponse(int n) const {
  KELM_ROUTINE("KelmIIRFilterDouble::impulseResponse(const int)");
  return impulse(m_b, m_a, m_defined, n);
}

#define KELM_INSTANTIATE_RESPONSES(Class, T)                                                           \
  template KelmVector<KelmComplex<T>> Class<T>::frequencyResponseS(const Vector&) const;               \
  template KelmVector<KelmComplex<T>> Class<T>::frequencyResponseS(const ComplexVector&) const;        \
  template KelmVector<KelmComplex<T>> Class<T>::frequencyResponseZ(const Vector&, Vector&) const;      \
  template KelmVector<KelmComplex<T>> Class<T>::frequencyResponseZ(int, Vector&) const;                \
  template KelmVector<KelmComplex<T>> Class<T>::frequencyResponseZ(int) const;                         \
  template KelmVector<KelmComplex<T>> Class<T>::frequencyResponseZ(Vector&) const;                     \
  template KelmVector<T> Class<T>::impulseResponse(int) const;
KELM_INSTANTIATE_RESPONSES(KelmFIRFilter, double)
KELM_INSTANTIATE_RESPONSES(KelmFIRFilter, float)
KELM_INSTANTIATE_RESPONSES(KelmIIRFilter, double)
KELM_INSTANTIATE_RESPONSES(KelmIIRFilter, float)
