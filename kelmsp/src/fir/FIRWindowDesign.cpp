// Window-method FIR design of the four band types and the anti-alias filter
// of decimation.
#include <kelmsp/KelmFIRDesign.h>
#include <kelmsp/KelmPolynomial.h>

#include "fir/FIRInternal.h"

#include <algorithm>

using kelm_detail::reportError;

namespace kelm_detail {

template <class T>
KelmVector<T> windowDesign(int option, const KelmVector<T>& window, T f1, T f2) {
  const int n = window.length();
  const T half = T(n - 1) / T(2);
  // f sinc(pi f t_k), t_k = k - (n-1)/2: the ideal low-pass with edge f.
  auto lowPass = [n, half](T f) {
    KelmVector<T> arg(n);
    for (int k = 0; k < n; ++k) arg.array()[k] = T(kPi) * f * (T(k) - half);
    KelmVector<T> out = sinc(arg);
    out *= f;
    return out;
  };
  KelmVector<T> h;
  switch (option) {
    case KELM_LOW_PASS:
      h = lowPass(f1);
      break;
    case KELM_HIGH_PASS:
      h = lowPass(T(1)) - lowPass(f1);
      break;
    case KELM_BAND_PASS:
      h = lowPass(f2) - lowPass(f1);
      break;
    default:
      h = lowPass(T(1)) + lowPass(f1) - lowPass(f2);
      break;
  }
  for (int k = 0; k < n; ++k) h.array()[k] *= window.array()[k];
  return h;
}

template KelmVector<double> windowDesign(int, const KelmVector<double>&, double, double);
template KelmVector<float> windowDesign(int, const KelmVector<float>&, float, float);

}  // namespace kelm_detail

namespace {

// Checks of the band type and edges shared by every form (the length has
// been checked); true when the design may go on.
template <class T>
bool bandChecks(KelmFilterDesignOption option, int n, T f1, T f2, bool oneEdge) {
  if (oneEdge && option != KELM_LOW_PASS && option != KELM_HIGH_PASS) return reportError(200223), false;
  if (option < KELM_LOW_PASS || option > KELM_BAND_STOP) return reportError(200110, {"option", "[0, 3]"}), false;
  if (option == KELM_HIGH_PASS && n % 2 == 0) return reportError(200224), false;
  if (option == KELM_BAND_STOP && n % 2 == 0) return reportError(200225), false;
  if ((option == KELM_BAND_PASS || option == KELM_BAND_STOP) && !(f1 < f2)) return reportError(200254), false;
  return true;
}

template <class T>
KelmFIRFilter<T> designWithHann(KelmFilterDesignOption option, int n, T f1, T f2, bool oneEdge) {
  if (n <= 1) return reportError(200111, {"length", "one"}), KelmFIRFilter<T>();
  if (!bandChecks(option, n, f1, f2, oneEdge)) return KelmFIRFilter<T>();
  const KelmVector<T> window = kelm_detail::firWindow<T>(n, KELM_WINDOW_HANN, T(0));
  return KelmFIRFilter<T>(kelm_detail::windowDesign(int(option), window, f1, f2));
}

template <class T>
KelmFIRFilter<T> designWithWindow(KelmFilterDesignOption option, const KelmVector<T>& window, T f1, T f2,
                                  bool oneEdge) {
  if (window.length() < 2) return reportError(200101, {}, {2}), KelmFIRFilter<T>();
  if (!bandChecks(option, window.length(), f1, f2, oneEdge)) return KelmFIRFilter<T>();
  return KelmFIRFilter<T>(kelm_detail::windowDesign(int(option), window, f1, f2));
}

}  // namespace

template <class T>
KelmFIRFilter<T> FIRFilterDesign(KelmFilterDesignOption option, int n, T f) {
  KELM_ROUTINE("FIRFilterDesign(KelmFilterDesignOption, const int, const double)");
  return designWithHann(option, n, f, T(1), true);
}

template <class T>
KelmFIRFilter<T> FIRFilterDesign(KelmFilterDesignOption option, const KelmVector<T>& window,
                                 std::type_identity_t<T> f) {
  KELM_ROUTINE("FIRFilterDesign(KelmFilterDesignOption, const KelmVectorDouble&, const double)");
  return designWithWindow(option, window, f, T(1), true);
}

template <class T>
KelmFIRFilter<T> FIRFilterDesign(KelmFilterDesignOption option, int n, T f1, std::type_identity_t<T> f2) {
  KELM_ROUTINE("FIRFilterDesign(KelmFilterDesignOption, const int, const double, const double)");
  return designWithHann(option, n, f1, f2, false);
}

template <class T>
KelmFIRFilter<T> FIRFilterDesign(KelmFilterDesignOption option, const KelmVector<T>& window,
                                 std::type_identity_t<T> f1, std::type_identity_t<T> f2) {
  KELM_ROUTINE("FIRFilterDesign(KelmFilterDesignOption, const KelmVectorDouble&, const double, const double)");
  return designWithWindow(option, window, f1, f2, false);
}

template <class T>
KelmFIRFilter<T> downSampleFilterDesign(int m, int n) {
  KELM_ROUTINE("downSampleFilterDesignDouble(const int, const int)");
  if (m < 2) return reportError(200100, {"m"}, {2}), KelmFIRFilter<T>();
  const int length = std::clamp(n / 5, 16, 128);
  const KelmVector<T> window = kelm_detail::firWindow<T>(length, KELM_WINDOW_HAMMING, T(0));
  return KelmFIRFilter<T>(kelm_detail::windowDesign(KELM_LOW_PASS, window, T(1) / T(m), T(1)));
}

#define KELM_INSTANTIATE_WINDOW_DESIGN(T)                                                                    \
  template KelmFIRFilter<T> FIRFilterDesign(KelmFilterDesignOption, int, T);                                 \
  template KelmFIRFilter<T> FIRFilterDesign(KelmFilterDesignOption, const KelmVector<T>&,                    \
                                            std::type_identity_t<T>);                                        \
  template KelmFIRFilter<T> FIRFilterDesign(KelmFilterDesignOption, int, T, std::type_identity_t<T>);        \
  template KelmFIRFilter<T> FIRFilterDesign(KelmFilterDesignOption, const KelmVector<T>&,                    \
                                            std::type_identity_t<T>, std::type_identity_t<T>);               \
  template KelmFIRFilter<T> downSampleFilterDesign<T>(int, int);
KELM_INSTANTIATE_WINDOW_DESIGN(double)
KELM_INSTANTIATE_WINDOW_DESIGN(float)
