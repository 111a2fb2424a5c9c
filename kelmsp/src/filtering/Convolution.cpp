// Convolution by FFT and the FIR filtering built on it.
#include <kelmsp/KelmFilter.h>
#include <kelmsp/KelmFiltering.h>

#include "common/KelmInternal.h"

namespace kelm_detail {

namespace {

// Packed half spectra of two real transforms of length L multiplied bin by bin.
template <class T>
void multiplyPacked(T* x, const T* y, int L) {
  x[0] *= y[0];
  for (int k = 1; 2 * k < L; ++k) {
    const T re = x[2 * k - 1] * y[2 * k - 1] - x[2 * k] * y[2 * k];
    const T im = x[2 * k - 1] * y[2 * k] + x[2 * k] * y[2 * k - 1];
    x[2 * k - 1] = re;
    x[2 * k] = im;
  }
  if (L % 2 == 0) x[L - 1] *= y[L - 1];
}

// Operands of at most this many products are convolved by direct sums.
constexpr long long kDirectProducts = 4096;

}  // namespace

template <class T>
KelmVector<T> convolve(const KelmVector<T>& x, const KelmVector<T>& y, bool circular) {
  const int nx = x.length(), ny = y.length();
  const int L = circular ? (nx > ny ? nx : ny) : fastLength(static_cast<long long>(nx) + ny - 1);
  const KelmVector<T> xp = resized(x, L);
  const KelmVector<T> yp = resized(y, L);
  KelmVector<T> fx = FFTForward(xp);
  const KelmVector<T> fy = FFTForward(yp);
  T* a = fx.array();
  const T* b = fy.array();
  if constexpr (kKelmIsComplex<T>) {
    for (int k = 0; k < L; ++k) a[k] *= b[k];
  } else {
    multiplyPacked(a, b, L);
  }
  KelmVector<T> out = FFTInverse(fx);
  out /= T(KelmRealOfT<T>(L));
  return out;
}

template <class T>
KelmVector<T> multiply(const KelmVector<T>& p, const KelmVector<T>& q) {
  const int np = p.length(), nq = q.length();
  if (np == 0 || nq == 0) return KelmVector<T>();
  if (static_cast<long long>(np) * nq > kDirectProducts) return resized(convolve(p, q, false), np + nq - 1);
  KelmVector<T> out(np + nq - 1);
  T* d = out.array();
  for (int i = 0; i < np; ++i)
    for (int j = 0; j < nq; ++j) d[i + j] += p.array()[i] * q.array()[j];
  return out;
}

template <class T>
KelmVector<T> firFilter(const KelmVector<T>& b, const KelmVector<T>& x, int delay, bool full, bool periodic) {
  const int n = b.length(), nx = x.length();
  if (full && periodic) return reportError(200232), KelmVector<T>();
  if (nx < n) return reportError(200233, {}, {nx, n}), KelmVector<T>();
  if (delay > n) return reportError(200234, {}, {delay, n}), KelmVector<T>();
  if (delay < 0) return reportError(200235, {}, {delay}), KelmVector<T>();
  if (periodic) {
    // Circular convolution of length len(x), rotated delay places towards lower indices.
    const KelmVector<T> c = convolve(b, x, true);
    KelmVector<T> out(nx);
    T* d = out.array();
    for (int i = 0; i < nx; ++i) d[i] = c.array()[(i + delay) % nx];
    return out;
  }
  const KelmVector<T> c = convolve(b, x, false);
  const int fullLength = nx + n - 1;
  if (full) return resized(c, fullLength);
  // Entries delay .. delay + len(x) - 1; past the convolution's end they are 0.
  KelmVector<T> out(nx);
  T* d = out.array();
  for (int i = 0; i < nx && delay + i < fullLength; ++i) d[i] = c.array()[delay + i];
  return out;
}

template KelmVector<double> convolve(const KelmVector<double>&, const KelmVector<double>&, bool);
template KelmVector<float> convolve(const KelmVector<float>&, const KelmVector<float>&, bool);
template KelmVector<KelmDcomplex> convolve(const KelmVector<KelmDcomplex>&, const KelmVector<KelmDcomplex>&, bool);
template KelmVector<KelmFcomplex> convolve(const KelmVector<KelmFcomplex>&, const KelmVector<KelmFcomplex>&, bool);
template KelmVector<double> multiply(const KelmVector<double>&, const KelmVector<double>&);
template KelmVector<float> multiply(const KelmVector<float>&, const KelmVector<float>&);
template KelmVector<KelmDcomplex> multiply(const KelmVector<KelmDcomplex>&, const KelmVector<KelmDcomplex>&);
template KelmVector<KelmFcomplex> multiply(const KelmVector<KelmFcomplex>&, const KelmVector<KelmFcomplex>&);
template KelmVector<double> firFilter(const KelmVector<double>&, const KelmVector<double>&, int, bool, bool);
template KelmVector<float> firFilter(const KelmVector<float>&, const KelmVector<float>&, int, bool, bool);

}  // namespace kelm_detail

template <class T>
KelmVector<T> convolution(const KelmVector<T>& x, const KelmVector<T>& y, int option) {
  KELM_ROUTINE(kKelmIsComplex<T> ? "convolution(const KelmVectorDcomplex&, const KelmVectorDcomplex&, const int)"
                                 : "convolution(const KelmVectorDouble&, const KelmVectorDouble&, const int)");
  if (x.empty() || y.empty()) return kelm_detail::reportError(200253), KelmVector<T>();
  return kelm_detail::convolve(x, y, option != 0);
}

template KelmVector<double> convolution(const KelmVector<double>&, const KelmVector<double>&, int);
template KelmVector<float> convolution(const KelmVector<float>&, const KelmVector<float>&, int);
template KelmVector<KelmDcomplex> convolution(const KelmVector<KelmDcomplex>&, const KelmVector<KelmDcomplex>&, int);
template KelmVector<KelmFcomplex> convolution(const KelmVector<KelmFcomplex>&, const KelmVector<KelmFcomplex>&, int);

// FIR filter members.

template <class T>
KelmVector<T> KelmFIRFilter<T>::operator()(const Vector& x) const {
  KELM_ROUTINE("KelmFIRFilterDouble::operator()(const KelmVectorDouble&)");
  if (!m_defined) return kelm_detail::reportError(200105), Vector();
  return kelm_detail::firFilter(m_b, x, m_b.length() / 2, false, false);
}

template <class T>
KelmVector<T> KelmFIRFilter<T>::operator()(const Vector& x, KelmFIRFilterOption option) const {
  KELM_ROUTINE("KelmFIRFilterDouble::operator()(const KelmVectorDouble&, KelmFIRFilterOption)");
  if (!m_defined) return kelm_detail::reportError(200105), Vector();
  return kelm_detail::firFilter(m_b, x, m_b.length() / 2, option == KELM_FIR_FULL, option == KELM_FIR_PERIODIC);
}

template <class T>
KelmVector<T> KelmFIRFilter<T>::operator()(const Vector& x, int delay) const {
  KELM_ROUTINE("KelmFIRFilterDouble::operator()(const KelmVectorDouble&, const int)");
  if (!m_defined) return kelm_detail::reportError(200105), Vector();
  return kelm_detail::firFilter(m_b, x, delay, false, false);
}

template <class T>
KelmVector<T> KelmFIRFilter<T>::operator()(const Vector& x, KelmFIRFilterOption option, int delay) const {
  KELM_ROUTINE("KelmFIRFilterDouble::operator()(const KelmVectorDouble&, KelmFIRFilterOption, const int)");
  if (!m_defined) return kelm_detail::reportError(200105), Vector();
  return kelm_detail::firFilter(m_b, x, delay, option == KELM_FIR_FULL, option == KELM_FIR_PERIODIC);
}

#define KELM_INSTANTIATE_FIR_CALLS(T)                                                                    \
  template KelmVector<T> KelmFIRFilter<T>::operator()(const Vector&) const;                              \
  template KelmVector<T> KelmFIRFilter<T>::operator()(const Vector&, KelmFIRFilterOption) const;         \
  template KelmVector<T> KelmFIRFilter<T>::operator()(const Vector&, int) const;                         \
  template KelmVector<T> KelmFIRFilter<T>::operator()(const Vector&, KelmFIRFilterOption, int) const;
KELM_INSTANTIATE_FIR_CALLS(double)
KELM_INSTANTIATE_FIR_CALLS(float)
