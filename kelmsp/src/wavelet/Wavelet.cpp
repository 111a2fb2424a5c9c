// Two-channel quadrature-mirror filter bank and the wavelet transform.
#include <kelmsp/KelmFiltering.h>
#include <kelmsp/KelmWavelet.h>

#include "common/KelmInternal.h"

#include <cmath>

using kelm_detail::reportError;

namespace {

// Analysis filters g0 = sqrt(2) h and g1 = reversed g0 with its odd-position
// coefficients negated.
template <class T>
void analysisFilters(const KelmFIRFilter<T>& h, KelmVector<T>& g0, KelmVector<T>& g1) {
  g0 = h.B();
  g0 *= T(kelm_detail::kSqrt2);
  g1 = kelm_detail::reversed(g0);
  T* d = g1.array();
  for (int i = 1; i < g1.length(); i += 2) d[i] = -d[i];
}

}  // namespace

template <class T>
void QMFForward(const KelmFIRFilter<T>& h, const KelmVector<T>& x, KelmVector<T>& low, KelmVector<T>& high) {
  KELM_ROUTINE(
      "QMFForward(const KelmFIRFilterDouble&, const KelmVectorDouble&, KelmVectorDouble&, KelmVectorDouble&)");
  low = KelmVector<T>();
  high = KelmVector<T>();
  if (x.empty()) return reportError(200117, {"x"});
  if (!h.defined()) return reportError(200105);
  KelmVector<T> g0, g1;
  analysisFilters(h, g0, g1);
  const KelmVector<T> xs = x.length() % 2 == 0 ? kelm_detail::resized(x, x.length() + 1) : x;
  KelmVector<T> lo = downSample(KelmFIRFilter<T>(g0), xs, 2, 1);
  if (kelm_detail::failed()) return;
  KelmVector<T> hi = downSample(KelmFIRFilter<T>(g1), xs, 2, 1);
  if (kelm_detail::failed()) return;
  low = lo;
  high = hi;
}

template <class T>
void QMFBackward(const KelmFIRFilter<T>& h, KelmVector<T>& y, int n, const KelmVector<T>& low,
                 const KelmVector<T>& high) {
  KELM_ROUTINE(
      "QMFBackward(const KelmFIRFilterDouble&, KelmVectorDouble&, const int, const KelmVectorDouble&, "
      "const KelmVectorDouble&)");
  y = KelmVector<T>();
  if (!h.defined()) return reportError(200105);
  if (low.length() != high.length()) return reportError(200106, {}, {low.length(), high.length()});
  if (n < 1) return reportError(200109, {"n"});
  KelmVector<T> g0, g1;
  analysisFilters(h, g0, g1);
  const KelmVector<T> a = upSample(KelmFIRFilter<T>(kelm_detail::reversed(g0)), low, 2, 1);
  if (kelm_detail::failed()) return;
  const KelmVector<T> b = upSample(KelmFIRFilter<T>(kelm_detail::reversed(g1)), high, 2, 1);
  if (kelm_detail::failed()) return;
  // Analysis and synthesis together delay the signal by len(h) - 1 samples.
  const int delay = h.B().length() - 1;
  KelmVector<T> out(n);
  T* d = out.array();
  for (int i = 0; i < n; ++i) {
    const int k = delay + i;
    if (k < a.length()) d[i] += a.array()[k];
    if (k < b.length()) d[i] += b.array()[k];
  }
  y = out;
}

template <class T>
KelmWavelet<T>::KelmWavelet() : m_stages(-1) {}

template <class T>
KelmWavelet<T>::KelmWavelet(const KelmWavelet& other)
    : m_stages(other.m_stages), m_coefficients(other.m_coefficients), m_lengths(other.m_lengths) {}

template <class T>
KelmWavelet<T>& KelmWavelet<T>::operator=(const KelmWavelet& other) {
  if (this != &other) {
    m_stages = other.m_stages;
    m_coefficients = other.m_coefficients;
    m_lengths = other.m_lengths;
  }
  return *this;
}

template <class T>
KelmWavelet<T>::~KelmWavelet() = default;

template <class T>
KelmWavelet<T>& KelmWavelet<T>::forward(const KelmFIRFilter<T>& h, const KelmVector<T>& x, int J) {
  KELM_ROUTINE("KelmWaveletDouble::forward(const KelmFIRFilterDouble&, const KelmVectorDouble&, const int)");
  if (!h.defined()) return reportError(200105), *this;
  if (J < 1) return reportError(200109, {"J"}), *this;
  if (std::ldexp(1.0, J > 1100 ? 1100 : J) > x.length() + J * (h.B().length() / 2.0))
    return reportError(200104, {}, {J}), *this;
  std::vector<KelmVector<T>> coefficients;
  KelmVector<int> lengths(J);
  KelmVector<T> current = x;
  for (int i = 0; i < J; ++i) {
    lengths.array()[i] = current.length();
    KelmVector<T> low, high;
    QMFForward(h, current, low, high);
    if (kelm_detail::failed()) return *this;
    coefficients.push_back(high);
    current = low;
  }
  coefficients.push_back(current);
  m_stages = J;
  m_coefficients = coefficients;
  m_lengths = lengths;
  return *this;
}

template <class T>
KelmVector<T> KelmWavelet<T>::coefs(int i) const {
  KELM_ROUTINE("KelmWaveletDouble::coefs(const int)");
  if (m_stages < 0) return reportError(200257), KelmVector<T>();
  if (i < 1 || i > m_stages) return reportError(200258, {}, {i, m_stages}), KelmVector<T>();
  return m_coefficients[std::size_t(i - 1)];
}

template <class T>
KelmVector<T> KelmWavelet<T>::approximation() const {
  return m_stages < 0 ? KelmVector<T>() : m_coefficients.back();
}

template <class T>
KelmVector<T> KelmWavelet<T>::backward(const KelmFIRFilter<T>& h) const {
  KELM_ROUTINE("KelmWaveletDouble::backward(const KelmFIRFilterDouble&)");
  if (!h.defined()) return reportError(200105), KelmVector<T>();
  if (m_stages < 0) return reportError(200257), KelmVector<T>();
  KelmVector<T> current = m_coefficients.back();
  for (int i = m_stages; i >= 1; --i) {
    KelmVector<T> y;
    QMFBackward(h, y, m_lengths.array()[i - 1], current, m_coefficients[std::size_t(i - 1)]);
    if (kelm_detail::failed()) return KelmVector<T>();
    current = y;
  }
  return current;
}

template void QMFForward(const KelmFIRFilter<double>&, const KelmVector<double>&, KelmVector<double>&,
                         KelmVector<double>&);
template void QMFForward(const KelmFIRFilter<float>&, const KelmVector<float>&, KelmVector<float>&,
                         KelmVector<float>&);
template void QMFBackward(const KelmFIRFilter<double>&, KelmVector<double>&, int, const KelmVector<double>&,
                          const KelmVector<double>&);
template void QMFBackward(const KelmFIRFilter<float>&, KelmVector<float>&, int, const KelmVector<float>&,
                          const KelmVector<float>&);
template class KelmWavelet<double>;
template class KelmWavelet<float>;
