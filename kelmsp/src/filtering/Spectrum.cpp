// Welch's averaged periodogram and the spectrogram.
#include <kelmsp/KelmFiltering.h>

#include "common/KelmInternal.h"

namespace {

using kelm_detail::reportError;

template <class T>
using Real = KelmRealOfT<T>;

// Checks shared by spectrum and spectrogram; false after a report.
template <class T>
bool checkArguments(const KelmVector<T>& x, int a, int overlap, const KelmVector<Real<T>>& w) {
  if (x.length() < 2) return reportError(200100, {"x"}, {2}), false;
  if (a <= 2) return reportError(200102, {}, {2, a}), false;
  if (a != w.length()) return reportError(200101, {}, {a, w.length()}), false;
  if (overlap < 0 || overlap > a - 1) return reportError(200103, {}, {overlap, a - 1}), false;
  Real<T> energy = 0;
  for (const Real<T>& v : w) energy += v * v;
  if (energy == Real<T>(0)) return reportError(200107, {"w"}), false;
  return true;
}

// Number of segments: (len(x) - a)/s + 1, and 1 for a signal shorter than a.
int segmentCount(int length, int a, int overlap) {
  const int step = a - overlap;
  return length >= a ? (length - a) / step + 1 : 1;
}

// |FFT|^2 of the windowed segment starting at start (zero-padded past the
// end of x), bins 0..a/2 for real and 0..a-1 for complex x, added to acc.
template <class T>
void addPeriodogram(const KelmVector<T>& x, int start, const KelmVector<Real<T>>& w, Real<T>* acc) {
  const int a = w.length();
  KelmVector<T> seg(a);
  T* s = seg.array();
  for (int k = 0; k < a && start + k < x.length(); ++k) s[k] = x.array()[start + k] * w.array()[k];
  const KelmVector<T> spec = FFTForward(seg);
  const T* p = spec.array();
  if constexpr (kKelmIsComplex<T>) {
    for (int k = 0; k < a; ++k) acc[k] += p[k].real() * p[k].real() + p[k].imag() * p[k].imag();
  } else {
    acc[0] += p[0] * p[0];
    for (int k = 1; 2 * k < a; ++k) acc[k] += p[2 * k - 1] * p[2 * k - 1] + p[2 * k] * p[2 * k];
    if (a % 2 == 0) acc[a / 2] += p[a - 1] * p[a - 1];
  }
}

template <class T>
int binCount(int a) {
  return kKelmIsComplex<T> ? a : a / 2 + 1;
}

template <class T>
KelmVector<Real<T>> frequencies(int a) {
  const int nb = binCount<T>(a);
  KelmVector<Real<T>> f(nb);
  for (int k = 0; k < nb; ++k) f.array()[k] = Real<T>(2.0 * k / a);
  return f;
}

template <class T>
KelmVector<Real<T>> spectrumCore(const KelmVector<T>& x, int a, int overlap, const KelmVector<Real<T>>& w,
                                 KelmVector<Real<T>>& f) {
  if (!checkArguments(x, a, overlap, w)) return KelmVector<Real<T>>();
  const int K = segmentCount(x.length(), a, overlap);
  KelmVector<Real<T>> out(binCount<T>(a));
  Real<T>* acc = out.array();
  for (int j = 0; j < K; ++j) addPeriodogram(x, j * (a - overlap), w, acc);
  Real<T> energy = 0;
  for (const Real<T>& v : w) energy += v * v;
  out /= Real<T>(K) * energy;
  f = frequencies<T>(a);
  return out;
}

template <class T>
KelmMatrixGeneral<Real<T>> spectrogramCore(const KelmVector<T>& x, int a, int overlap, const KelmVector<Real<T>>& w,
                                           KelmVector<Real<T>>& f) {
  if (!checkArguments(x, a, overlap, w)) return KelmMatrixGeneral<Real<T>>();
  const int K = segmentCount(x.length(), a, overlap);
  const int nb = binCount<T>(a);
  Real<T> energy = 0;
  for (const Real<T>& v : w) energy += v * v;
  KelmMatrixGeneral<Real<T>> out(K, nb);
  Real<T>* m = out.array();
  KelmVector<Real<T>> row(nb);
  for (int j = 0; j < K; ++j) {
    row = Real<T>(0);
    addPeriodogram(x, j * (a - overlap), w, row.array());
    for (int k = 0; k < nb; ++k) m[j + std::size_t(k) * K] = row.array()[k] / energy;
  }
  f = frequencies<T>(a);
  return out;
}

template <class T>
int defaultSpectrumLength(const KelmVector<T>& x) {
  const int a = x.length() / 5;
  return a < 3 ? 3 : a;
}

template <class T>
int defaultSpectrogramLength(const KelmVector<T>& x) {
  const int a = x.length() / 5;
  return kelm_detail::fastLength(a < 512 ? a : 512);
}

template <class T>
KelmVector<Real<T>> hann(int a) {
  return a >= 2 ? kelm_detail::hannWindow<Real<T>>(a) : KelmVector<Real<T>>();
}

}  // namespace

#define KELM_SPECTRUM_TEXT(args)                                                                \
  (kKelmIsComplex<T> ? "spectrum(const KelmVectorDcomplex&" args : "spectrum(const KelmVectorDouble&" args)
#define KELM_SPECTROGRAM_TEXT(args)                                                                \
  (kKelmIsComplex<T> ? "spectrogram(const KelmVectorDcomplex&" args : "spectrogram(const KelmVectorDouble&" args)

template <class T>
KelmVector<KelmRealOfT<T>> spectrum(const KelmVector<T>& x, int a, int overlap, const KelmVector<KelmRealOfT<T>>& w,
                                    KelmVector<KelmRealOfT<T>>& f) {
  KELM_ROUTINE(KELM_SPECTRUM_TEXT(", const int, const int, const KelmVectorDouble&, KelmVectorDouble&)"));
  return spectrumCore(x, a, overlap, w, f);
}

template <class T>
KelmVector<KelmRealOfT<T>> spectrum(const KelmVector<T>& x, int a, int overlap, KelmVector<KelmRealOfT<T>>& f) {
  KELM_ROUTINE(KELM_SPECTRUM_TEXT(", const int, const int, KelmVectorDouble&)"));
  return spectrumCore(x, a, overlap, hann<T>(a), f);
}

template <class T>
KelmVector<KelmRealOfT<T>> spectrum(const KelmVector<T>& x, int a, KelmVector<KelmRealOfT<T>>& f) {
  KELM_ROUTINE(KELM_SPECTRUM_TEXT(", const int, KelmVectorDouble&)"));
  return spectrumCore(x, a, a / 2, hann<T>(a), f);
}

template <class T>
KelmVector<KelmRealOfT<T>> spectrum(const KelmVector<T>& x, KelmVector<KelmRealOfT<T>>& f) {
  KELM_ROUTINE(KELM_SPECTRUM_TEXT(", KelmVectorDouble&)"));
  const int a = defaultSpectrumLength(x);
  return spectrumCore(x, a, a / 2, hann<T>(a), f);
}

template <class T>
KelmMatrixGeneral<KelmRealOfT<T>> spectrogram(const KelmVector<T>& x, int a, int overlap,
                                              const KelmVector<KelmRealOfT<T>>& w, KelmVector<KelmRealOfT<T>>& f) {
  KELM_ROUTINE(KELM_SPECTROGRAM_TEXT(", const int, const int, const KelmVectorDouble&, KelmVectorDouble&)"));
  return spectrogramCore(x, a, overlap, w, f);
}

template <class T>
KelmMatrixGeneral<KelmRealOfT<T>> spectrogram(const KelmVector<T>& x, int a, int overlap,
                                              KelmVector<KelmRealOfT<T>>& f) {
  KELM_ROUTINE(KELM_SPECTROGRAM_TEXT(", const int, const int, KelmVectorDouble&)"));
  return spectrogramCore(x, a, overlap, hann<T>(a), f);
}

template <class T>
KelmMatrixGeneral<KelmRealOfT<T>> spectrogram(const KelmVector<T>& x, int a, KelmVector<KelmRealOfT<T>>& f) {
  KELM_ROUTINE(KELM_SPECTROGRAM_TEXT(", const int, KelmVectorDouble&)"));
  return spectrogramCore(x, a, int(0.75 * a), hann<T>(a), f);
}

template <class T>
KelmMatrixGeneral<KelmRealOfT<T>> spectrogram(const KelmVector<T>& x, KelmVector<KelmRealOfT<T>>& f) {
  KELM_ROUTINE(KELM_SPECTROGRAM_TEXT(", KelmVectorDouble&)"));
  const int a = defaultSpectrogramLength(x);
  return spectrogramCore(x, a, int(0.75 * a), hann<T>(a), f);
}

#define KELM_INSTANTIATE_SPECTRA(T)                                                                          \
  template KelmVector<KelmRealOfT<T>> spectrum(const KelmVector<T>&, int, int, const KelmVector<KelmRealOfT<T>>&, \
                                               KelmVector<KelmRealOfT<T>>&);                                  \
  template KelmVector<KelmRealOfT<T>> spectrum(const KelmVector<T>&, int, int, KelmVector<KelmRealOfT<T>>&);   \
  template KelmVector<KelmRealOfT<T>> spectrum(const KelmVector<T>&, int, KelmVector<KelmRealOfT<T>>&);        \
  template KelmVector<KelmRealOfT<T>> spectrum(const KelmVector<T>&, KelmVector<KelmRealOfT<T>>&);             \
  template KelmMatrixGeneral<KelmRealOfT<T>> spectrogram(const KelmVector<T>&, int, int,                       \
                                                         const KelmVector<KelmRealOfT<T>>&,                    \
                                                         KelmVector<KelmRealOfT<T>>&);                         \
  template KelmMatrixGeneral<KelmRealOfT<T>> spectrogram(const KelmVector<T>&, int, int,                       \
                                                         KelmVector<KelmRealOfT<T>>&);                         \
  template KelmMatrixGeneral<KelmRealOfT<T>> spectrogram(const KelmVector<T>&, int, KelmVector<KelmRealOfT<T>>&); \
  template KelmMatrixGeneral<KelmRealOfT<T>> spectrogram(const KelmVector<T>&, KelmVector<KelmRealOfT<T>>&);
KELM_INSTANTIATE_SPECTRA(double)
KELM_INSTANTIATE_SPECTRA(float)
KELM_INSTANTIATE_SPECTRA(KelmDcomplex)
KELM_INSTANTIATE_SPECTRA(KelmFcomplex)
