// Building blocks shared between the routine families. They neither push a
// routine text nor check their arguments unless stated; the exported
// routines check first and then call them.
#pragma once

#include "common/KelmRoutine.h"

#include <kelmmath/kelmmath.h>

namespace kelm_detail {

// Linear (circular = false: L values, see fastLength) or circular convolution by FFT.
template <class T>
KelmVector<T> convolve(const KelmVector<T>& x, const KelmVector<T>& y, bool circular);

// Exact linear convolution of length len(p) + len(q) - 1 (direct sums for
// small operands, FFT otherwise).
template <class T>
KelmVector<T> multiply(const KelmVector<T>& p, const KelmVector<T>& q);

// FIR filtering with the checks 200232..200235 (reported; empty result).
template <class T>
KelmVector<T> firFilter(const KelmVector<T>& b, const KelmVector<T>& x, int delay, bool full, bool periodic);

// Causal filtering in transposed direct form II by (b, a) with a[0] = 1 and
// len(b) = len(a).
template <class T>
KelmVector<T> iirCausal(const KelmVector<T>& b, const KelmVector<T>& a, const KelmVector<T>& x);

// b / a[0] and a / a[0], padded with zeros to equal length.
template <class T>
void normalisePair(const KelmVector<T>& b, const KelmVector<T>& a, KelmVector<T>& bn, KelmVector<T>& an);

// Largest index whose coefficient has magnitude above tol, 0 if none.
template <class T>
int degree(const KelmVector<T>& p, KelmRealOfT<T> tol);

template <class T>
KelmVector<T> reversed(const KelmVector<T>& v) {
  const int n = v.length();
  KelmVector<T> out(n);
  T* d = out.array();
  for (int i = 0; i < n; ++i) d[i] = v.array()[n - 1 - i];
  return out;
}

// v[0..n-1], padded with zeros or cut.
template <class T>
KelmVector<T> resized(const KelmVector<T>& v, int n) {
  KelmVector<T> out(n);
  T* d = out.array();
  for (int i = 0; i < n && i < v.length(); ++i) d[i] = v.array()[i];
  return out;
}

// p(x) by Horner's rule over every coefficient.
template <class X, class P>
X horner(const X& x, const KelmVector<P>& p) {
  X s = X(0);
  for (int i = p.length() - 1; i >= 0; --i) s = s * x + X(p.array()[i]);
  return s;
}

}  // namespace kelm_detail
