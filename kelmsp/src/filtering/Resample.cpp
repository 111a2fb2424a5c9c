// Up- and down-sampling through FIR filters.
#include <kelmsp/KelmFiltering.h>

#include "common/KelmInternal.h"

using kelm_detail::reportError;

template <class T>
KelmVector<T> upSample(const KelmFIRFilter<T>& filter, const KelmVector<T>& x, int l, int full) {
  KELM_ROUTINE("upSample(const KelmFIRFilterDouble&, const KelmVectorDouble&, const int, const int)");
  if (!filter.defined()) return reportError(200105), KelmVector<T>();
  if (x.empty()) return reportError(200117, {"x"}), KelmVector<T>();
  if (l < 1) return reportError(200109, {"l"}), KelmVector<T>();
  const long long n = static_cast<long long>(l) * (x.length() - 1) + 1;
  if (n > 0x7fffffffLL) return reportError(200109, {"l"}), KelmVector<T>();
  KelmVector<T> z(static_cast<int>(n));
  T* d = z.array();
  for (int i = 0; i < x.length(); ++i) d[static_cast<long long>(i) * l] = x.array()[i];
  return full ? filter(z, KELM_FIR_FULL) : filter(z);
}

template <class T>
KelmVector<T> downSample(const KelmFIRFilter<T>& filter, const KelmVector<T>& x, int m, int full) {
  KELM_ROUTINE("downSample(const KelmFIRFilterDouble&, const KelmVectorDouble&, const int, const int)");
  if (!filter.defined()) return reportError(200105), KelmVector<T>();
  if (m < 1) return reportError(200109, {"m"}), KelmVector<T>();
  if (x.length() < m) return reportError(200100, {"x"}, {m}), KelmVector<T>();
  const int padded = (x.length() + m - 1) / m * m;
  const KelmVector<T> y = full ? filter(kelm_detail::resized(x, padded), KELM_FIR_FULL)
                               : filter(kelm_detail::resized(x, padded));
  if (kelm_detail::failed()) return KelmVector<T>();
  // The default keeps one value per whole block of m input samples; the
  // padding only gives the filter's tail something to run into.
  const int count = (full ? y.length() : x.length()) / m;
  KelmVector<T> out(count);
  T* d = out.array();
  for (int i = 0; i < count; ++i) d[i] = y.array()[i * m];
  return out;
}

template KelmVector<double> upSample(const KelmFIRFilter<double>&, const KelmVector<double>&, int, int);
template KelmVector<float> upSample(const KelmFIRFilter<float>&, const KelmVector<float>&, int, int);
template KelmVector<double> downSample(const KelmFIRFilter<double>&, const KelmVector<double>&, int, int);
template KelmVector<float> downSample(const KelmFIRFilter<float>&, const KelmVector<float>&, int, int);
