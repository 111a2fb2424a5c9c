// Convolution, resampling through FIR filters, averaged periodograms and
// spectrograms. Frequencies are normalised: 1 is half the sampling rate.
//
// Every routine is a template instantiated in the library for the element
// types named at its declaration; other element types do not link.
#pragma once

#include <kelmmath/kelmmath.h>
#include <kelmsp/KelmExport.h>
#include <kelmsp/KelmFilter.h>

// Linear (option 0) or circular (option non-zero) convolution by FFT.
// Linear: the result holds L values, L the smallest 2^i 3^j 5^k not below
// len(x) + len(y) - 1; the first len(x) + len(y) - 1 are the convolution and
// the rest are zero up to rounding. Circular: max(len(x), len(y)) values.
// An empty operand reports 200253. Element types: double, float,
// KelmDcomplex, KelmFcomplex.
template <class T>
KELMSP_API KelmVector<T> convolution(const KelmVector<T>& x, const KelmVector<T>& y, int option);

// Up-sampling by l: l - 1 zeros between the samples of x, then the filter
// (full convolution when full is non-zero, the default delay otherwise).
// Errors: 200105 undefined filter, 200117 empty x, 200109 l below 1, and
// those of the filtering. Element types: double, float.
template <class T>
KELMSP_API KelmVector<T> upSample(const KelmFIRFilter<T>& filter, const KelmVector<T>& x, int l, int full);

// Down-sampling by m: x padded with zeros to a multiple of m, filtered (full
// when full is non-zero, default delay otherwise), every m-th sample kept.
// Errors: 200105 undefined filter, 200109 m below 1, 200100 x shorter than m,
// and those of the filtering. Element types: double, float.
template <class T>
KELMSP_API KelmVector<T> downSample(const KelmFIRFilter<T>& filter, const KelmVector<T>& x, int m, int full);

// Welch's averaged periodogram of x with segments of a samples overlapping
// by overlap samples, each multiplied by the window w: the sum over the
// segments of |FFT|^2 divided by (segments * sum of w^2). Real x gives the
// bins 0..a/2 at f_k = 2k/a, complex x all a bins at f_k = 2k/a. A signal
// shorter than a gives one zero-padded segment.
// Shorter forms: w = Hann window of length a; overlap = a/2; a = len(x)/5 but
// at least 3. Errors (200100, 200102, 200101, 200103) give an empty result.
// Element types of x: double, float, KelmDcomplex, KelmFcomplex.
template <class T>
KELMSP_API KelmVector<KelmRealOfT<T>> spectrum(const KelmVector<T>& x, int a, int overlap,
                                               const KelmVector<KelmRealOfT<T>>& w, KelmVector<KelmRealOfT<T>>& f);
template <class T>
KELMSP_API KelmVector<KelmRealOfT<T>> spectrum(const KelmVector<T>& x, int a, int overlap, KelmVector<KelmRealOfT<T>>& f);
template <class T>
KELMSP_API KelmVector<KelmRealOfT<T>> spectrum(const KelmVector<T>& x, int a, KelmVector<KelmRealOfT<T>>& f);
template <class T>
KELMSP_API KelmVector<KelmRealOfT<T>> spectrum(const KelmVector<T>& x, KelmVector<KelmRealOfT<T>>& f);

// Spectrogram: one row per segment (segments as for spectrum), each row the
// periodogram |FFT|^2 / sum of w^2 of its windowed segment; a/2 + 1 columns
// for real x, a for complex x; f as for spectrum.
// Shorter forms: w = Hann; overlap = 3a/4 (rounded down); a = the smallest
// 2^i 3^j 5^k not below min(len(x)/5, 512).
template <class T>
KELMSP_API KelmMatrixGeneral<KelmRealOfT<T>> spectrogram(const KelmVector<T>& x, int a, int overlap,
                                                         const KelmVector<KelmRealOfT<T>>& w,
                                                         KelmVector<KelmRealOfT<T>>& f);
template <class T>
KELMSP_API KelmMatrixGeneral<KelmRealOfT<T>> spectrogram(const KelmVector<T>& x, int a, int overlap,
                                                         KelmVector<KelmRealOfT<T>>& f);
template <class T>
KELMSP_API KelmMatrixGeneral<KelmRealOfT<T>> spectrogram(const KelmVector<T>& x, int a, KelmVector<KelmRealOfT<T>>& f);
template <class T>
KELMSP_API KelmMatrixGeneral<KelmRealOfT<T>> spectrogram(const KelmVector<T>& x, KelmVector<KelmRealOfT<T>>& f);
