// Butterworth, Chebyshev, inverse Chebyshev and elliptic low-pass designs and
// the estimation of the order a specification needs.
//
// Every design places its analog prototype at the prewarped edge
// W = tan(pi fp / 2) and maps it to the z-plane with s = (1 - z^-1)/(1 + z^-1)
// one section at a time: a pole pair W (sigma +- j omega) with
// P = sigma^2 + omega^2 gives the denominator
//   (W^2 P - 2 sigma W + 1, 2 (W^2 P - 1), W^2 P + 2 sigma W + 1),
// a real pole W sigma the first-order section b = (-W sigma, -W sigma),
// a = (1 - W sigma, -W sigma - 1).
#include <kelmsp/KelmIIRDesign.h>

#include "common/KelmInternal.h"
#include "iir/EllipticFunctions.h"

#include <climits>
#include <cmath>

using kelm_detail::reportError;

namespace {

template <class T>
bool inOpenUnit(T v) {
  return v > T(0) && v < T(1);
}

// Passband and stopband deviations as ripple factors: the gain at the
// passband edge is 1/sqrt(1 + ep^2) = 1 - rp, in the stopband
// 1/sqrt(1 + es^2) = rs.
template <class T>
T passbandEpsilon(T rp) {
  return std::sqrt((T(2) - rp) * rp / ((rp - T(2)) * rp + T(1)));
}
template <class T>
T stopbandEpsilon(T rs) {
  return std::sqrt(T(1) / (rs * rs) - T(1));
}

// b and a built up section by section.
template <class T>
struct Sections {
  KelmVector<T> b{T(1)};
  KelmVector<T> a{T(1)};

  void firstOrder(T b0, T b1, T a0, T a1) {
    b = KelmVector<T>{b0, b1};
    a = KelmVector<T>{a0, a1};
  }
  void add(const KelmVector<T>& bs, const KelmVector<T>& as) {
    b = kelm_detail::multiply(b, bs);
    a = kelm_detail::multiply(a, as);
  }
  // Denominator of the pole pair W (sigma +- j omega), P = sigma^2 + omega^2.
  static KelmVector<T> poles(T W, T sigma, T P) {
    const T w2p = W * W * P;
    return KelmVector<T>{w2p - T(2) * sigma * W + T(1), T(2) * (w2p - T(1)), w2p + T(2) * sigma * W + T(1)};
  }
  KelmIIRFilter<T> finish(T gain) {
    b *= gain;
    const T a0 = a.array()[0];
    b /= a0;
    a /= a0;
    return KelmIIRFilter<T>(b, a);
  }
};

// Section indices i = 1, 3, 5, ... (even n) or 2, 4, ... (odd n) below n,
// each with its angle theta = pi i / (2n).
template <class T, class F>
void forEachSection(int n, F f) {
  for (int i = n % 2 == 0 ? 1 : 2; i < n; i += 2) f(i, T(kelm_detail::kPi) * T(i) / T(2 * n));
}

template <class T>
KelmIIRFilter<T> butterworth(int n, T W) {
  Sections<T> s;
  if (n % 2 == 1) s.firstOrder(W, W, W + T(1), W - T(1));
  const T W2 = W * W;
  forEachSection<T>(n, [&](int, T theta) {
    const T c = std::cos(theta);
    s.add(KelmVector<T>{W2, T(2) * W2, W2},
          KelmVector<T>{W2 + T(2) * c * W + T(1), T(2) * (W2 - T(1)), W2 - T(2) * c * W + T(1)});
  });
  return s.finish(T(1));
}

template <class T>
KelmIIRFilter<T> chebyshev(int n, T W, T rp) {
  const T eps = passbandEpsilon(rp);
  const T nu0 = std::log(T(1) / eps + std::sqrt(T(1) / (eps * eps) + T(1))) / T(n);
  const T S = std::sinh(nu0), C = std::cosh(nu0);
  Sections<T> s;
  if (n % 2 == 1) s.firstOrder(W * S, W * S, T(1) + W * S, W * S - T(1));
  forEachSection<T>(n, [&](int, T theta) {
    const T E = S * std::cos(theta), G = C * std::sin(theta);
    const T w2p = W * W * (E * E + G * G);
    s.add(KelmVector<T>{w2p, T(2) * w2p, w2p}, Sections<T>::poles(W, -E, E * E + G * G));
  });
  return s.finish(n % 2 == 0 ? T(1) / std::sqrt(T(1) + eps * eps) : T(1));
}

template <class T>
KelmIIRFilter<T> inverseChebyshev(int n, T W, T rs) {
  const T eps = rs / std::sqrt(T(1) - rs * rs);
  const T nu0 = std::log(T(1) / eps + std::sqrt(T(1) / (eps * eps) + T(1))) / T(n);
  const T S = std::sinh(nu0), C = std::cosh(nu0);
  Sections<T> s;
  if (n % 2 == 1) {
    const T g = W / S;
    s.firstOrder(g, g, g + T(1), g - T(1));
  }
  const T W2 = W * W;
  forEachSection<T>(n, [&](int, T theta) {
    // The Chebyshev poles inverted; zeros at W / sin(theta), unit gain at 0.
    const T E = S * std::cos(theta), G = C * std::sin(theta);
    const T q = T(1) / (E * E + G * G);
    const T sn = std::sin(theta);
    const T t = sn * sn;
    s.add(KelmVector<T>{q * (W2 + t), q * T(2) * (W2 - t), q * (W2 + t)}, Sections<T>::poles(W, -E * q, q));
  });
  return s.finish(T(1));
}

template <class T>
KelmIIRFilter<T> elliptic(int n, T W, T rp, T rs) {
  using namespace kelm_detail;
  const T ep = passbandEpsilon(rp);
  const T k1 = ep / stopbandEpsilon(rs);
  // A stopband gain of at least the passband's lowest gain is no specification.
  if (!(k1 < T(1))) return reportError(200110, {"rs", "(0,1-rp)"}), KelmIIRFilter<T>();
  // Complete integrals of the discrimination k1 and of its complement
  // k1' = sqrt(1 - k1^2); each takes its complementary parameter directly.
  const T k1c2 = (T(1) - k1) * (T(1) + k1);
  const T K1 = completeEllipticK(k1c2);
  const T K1c = completeEllipticK(k1 * k1);
  // The selectivity k from the degree equation: its complement k' has the
  // ratio of quarter periods n K1 / K1'.
  const T kc = modulusFromPeriodRatio(T(n) * K1 / K1c);
  if (failed()) return KelmIIRFilter<T>();
  // An order so high that k' underflows has no representable selectivity.
  if (!(kc > T(0))) return reportError(200110, {"x", "[0, 1)"}), KelmIIRFilter<T>();
  const T kc2 = kc * kc;
  const T k2 = (T(1) - kc) * (T(1) + kc);
  const T k = std::sqrt(k2);
  const T K = completeEllipticK(kc2);
  const T nu0 = ellipticArgument(T(1) / ep, k1) * K / (T(n) * K1);
  if (failed()) return KelmIIRFilter<T>();
  const JacobiValues<T> v0 = jacobiElliptic(nu0, kc2, k2);
  const T sn0 = v0.sn, cn0 = v0.cn, dn0 = v0.dn;

  Sections<T> s;
  if (n % 2 == 1) {
    const T sigma0 = -sn0 * cn0 / (T(1) - sn0 * sn0);
    s.firstOrder(W * sigma0, W * sigma0, W * sigma0 - T(1), T(1) + W * sigma0);
  }
  const T W2 = W * W;
  for (int i = n % 2 == 0 ? 1 : 2; i < n; i += 2) {
    const JacobiValues<T> vi = jacobiElliptic(T(i) * K / T(n), k2, kc2);
    const T D = T(1) - vi.dn * vi.dn * sn0 * sn0;
    const T sigma = -vi.cn * vi.dn * sn0 * cn0 / D;
    const T omega = vi.sn * dn0 / D;
    const T P = sigma * sigma + omega * omega;
    // Zeros at the analog frequencies W / (k sn); each section has gain 1 at 0.
    const T ks = k * vi.sn;
    const T z = ks * ks;
    s.add(KelmVector<T>{P * (W2 + z), P * T(2) * (W2 - z), P * (W2 + z)}, Sections<T>::poles(W, sigma, P));
  }
  return s.finish(n % 2 == 0 ? T(1) - rp : T(1));
}

}  // namespace

template <class T>
KelmIIRFilter<T> IIRFilterDesign(KelmIIRFilterOption option, int n, T fp, std::type_identity_t<T> p1,
                                 std::type_identity_t<T> p2) {
  KELM_ROUTINE("IIRFilterDesign(KelmIIRFilterOption, const int, const double, const double, const double)");
  const int opt = static_cast<int>(option);
  // An unknown design gives an undefined filter and no message: callers
  // test the filter (defined()) rather than the error state for this.
  if (opt < 0 || opt > 3) return KelmIIRFilter<T>();
  if (n < 1) return reportError(200109, {"n"}), KelmIIRFilter<T>();
  if (!inOpenUnit(fp)) return reportError(200110, {"fp", "(0,1)"}), KelmIIRFilter<T>();
  const T rp = p1;
  const T rs = option == KELM_ELLIPTIC ? p2 : p1;
  if ((option == KELM_CHEBYSHEV || option == KELM_ELLIPTIC) && !inOpenUnit(rp))
    return reportError(200110, {"rp", "(0,1)"}), KelmIIRFilter<T>();
  if ((option == KELM_INVERSE_CHEBYSHEV || option == KELM_ELLIPTIC) && !inOpenUnit(rs))
    return reportError(200110, {"rs", "(0,1)"}), KelmIIRFilter<T>();

  const T W = std::tan(T(kelm_detail::kPi) * fp / T(2));
  switch (option) {
    case KELM_BUTTERWORTH: return butterworth(n, W);
    case KELM_CHEBYSHEV: return chebyshev(n, W, rp);
    case KELM_INVERSE_CHEBYSHEV: return inverseChebyshev(n, W, rs);
    case KELM_ELLIPTIC: return elliptic(n, W, rp, rs);
  }
  return KelmIIRFilter<T>();
}

template <class T>
int IIROrder(KelmIIRFilterOption option, T fp, std::type_identity_t<T> fs, std::type_identity_t<T> rp,
             std::type_identity_t<T> rs) {
  KELM_ROUTINE("IIROrder(KelmIIRFilterOption, const double, const double, const double, const double)");
  const int opt = static_cast<int>(option);
  if (opt < 0 || opt > 3) return 0;  // as IIRFilterDesign: no message
  const struct {
    T value;
    const char* name;
  } args[] = {{fp, "fp"}, {T(fs), "fs"}, {T(rp), "rp"}, {T(rs), "rs"}};
  for (const auto& arg : args)
    if (!inOpenUnit(arg.value)) return reportError(200110, {arg.name, "(0, 1)"}), 0;
  if (!(fs > fp)) return reportError(200111, {"fs", "fp"}), 0;
  const T k1 = passbandEpsilon(T(rp)) / stopbandEpsilon(T(rs));
  if (!(k1 < T(1))) return reportError(200110, {"rs", "(0, 1 - rp)"}), 0;

  // Selectivity: the ratio of the prewarped edges, the ratio that the
  // designs see between their analog passband and stopband edges.
  const T halfPi = T(1.5707963705062866);
  const T k = std::tan(fp * halfPi) / std::tan(T(fs) * halfPi);
  // tan(fs pi/2) turns negative within 3e-8 of 1 with this pi: an edge that
  // close to the Nyquist frequency is an infinitely wide transition band.
  if (!(k > T(0))) return 1;

  using kelm_detail::completeEllipticK;
  double x = 0;
  switch (option) {
    case KELM_BUTTERWORTH: x = double(std::log(k1) / std::log(k)); break;
    case KELM_CHEBYSHEV:
    case KELM_INVERSE_CHEBYSHEV: {
      const T A1 = std::log(T(1) / k1 + std::sqrt(T(1) / (k1 * k1) - T(1)));
      const T A = std::log((T(1) + std::sqrt((T(1) - k) * (T(1) + k))) / k);
      x = double(A1 / A);
      break;
    }
    case KELM_ELLIPTIC: {
      // K(k) K(k1') / (K(k') K(k1)), each K from its complementary parameter.
      const T kc2 = (T(1) - k) * (T(1) + k);
      const T k1c2 = (T(1) - k1) * (T(1) + k1);
      x = double(completeEllipticK(kc2) * completeEllipticK(k1 * k1) /
                 (completeEllipticK(k * k) * completeEllipticK(k1c2)));
      break;
    }
  }
  // The integer part plus one; beyond int the specification is unreachable anyway.
  if (!(x < double(INT_MAX - 1))) return INT_MAX;
  return static_cast<int>(x) + 1;
}

template KelmIIRFilter<double> IIRFilterDesign<double>(KelmIIRFilterOption, int, double, double, double);
template KelmIIRFilter<float> IIRFilterDesign<float>(KelmIIRFilterOption, int, float, float, float);
template int IIROrder<double>(KelmIIRFilterOption, double, double, double, double);
template int IIROrder<float>(KelmIIRFilterOption, float, float, float, float);
