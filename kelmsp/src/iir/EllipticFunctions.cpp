// Complete elliptic integrals, Carlson's R_F, Jacobi elliptic functions, the
// incomplete integral F(arctan x) and the modulus from a ratio of periods.
#include "iir/EllipticFunctions.h"

#include <kelmsp/KelmIIRDesign.h>

#include "common/KelmInternal.h"

#include <cmath>

using kelm_detail::reportError;

namespace kelm_detail {

template <class T>
T carlsonRF(T x, T y, T z) {
  // Duplication until the scaled deviations from the mean fall below 0.001
  // (float(0.001) held in a double); the series below is then exact to the
  // sixth power of that deviation.
  const T stop = T(0.0010000000474974513);
  for (;;) {
    const T mu = (x + y + z) / T(3);
    const T X = T(2) - (mu + x) / mu;
    const T Y = T(2) - (mu + y) / mu;
    const T Z = T(2) - (mu + z) / mu;
    const T largest = std::fmax(std::fabs(X), std::fmax(std::fabs(Y), std::fabs(Z)));
    if (largest < stop) {
      const T E2 = X * Y - Z * Z;
      const T E3 = X * Y * Z;
      return (T(1) + (E2 / T(24) - T(0.1) - T(3) * E3 / T(44)) * E2 + E3 / T(14)) / std::sqrt(mu);
    }
    const T sx = std::sqrt(x), sy = std::sqrt(y), sz = std::sqrt(z);
    const T lambda = sx * sy + sx * sz + sy * sz;
    x = (x + lambda) / T(4);
    y = (y + lambda) / T(4);
    z = (z + lambda) / T(4);
  }
}

template <class T>
T completeEllipticK(T mc) {
  if (mc < kelmAmach<T>(4)) return T(0.5) * std::log(T(16) / mc);
  return carlsonRF(T(0), mc, T(1));
}

template <class T>
JacobiValues<T> jacobiElliptic(T u, T m, T mc) {
  // Descending Landen steps: kappa = (1 - k')/(1 + k') with k' = sqrt(1 - p),
  // written as p/(1 + k')^2 and 1 - kappa^2 = 4k'/(1 + k')^2 so that neither
  // small p nor p close to 1 cancels.
  constexpr int kMaxSteps = 25;
  T kappa[kMaxSteps];
  int steps = 0;
  const T u0 = u;
  T p = m, pc = mc;
  bool converged = false;
  while (steps < kMaxSteps) {
    if (double(p) < 1.66880546019277e-309) {
      converged = true;
      break;
    }
    const T kp = std::sqrt(pc);
    const T onePlus = T(1) + kp;
    const T k = p / (onePlus * onePlus);
    kappa[steps++] = k;
    p = k * k;
    pc = T(4) * kp / (onePlus * onePlus);
    u = u / (T(1) + k);
  }
  if (!converged) reportError(200236, {}, {}, {}, KELM_WARNING);

  const T c = std::cos(u), s = std::sin(u);
  const T t = u - s * c;
  JacobiValues<T> v{s - c * t * p / T(4), c + s * t * p / T(4), T(1) - p * s * s / T(2)};
  // Back up the steps from the last to the first.
  for (int i = steps - 1; i >= 0; --i) {
    const T k = kappa[i];
    const T sn2 = v.sn * v.sn;
    const T e = T(1) + k * sn2;
    v.cn = v.cn * v.dn / e;
    v.dn = (T(1) - k * sn2) / e;
    v.sn = (T(1) + k) * v.sn / e;
  }
  if (mc == T(0)) {
    // m = 1: the steps cannot shrink the parameter; the closed forms hold.
    const T sech = T(1) / std::cosh(u0);
    v = {std::tanh(u0), sech, sech};
  }
  return v;
}

template <class T>
T ellipticArgument(T x, T kc) {
  if (x == T(0)) return T(0);
  if (kc == T(0)) return reportError(200239), T(0);
  constexpr int kMaxPasses = 20;
  T y = std::fabs(T(1) / x);
  T g = std::fabs(kc);
  T m = T(1);
  long long l = 0;
  int pass = 1;
  for (;; ++pass) {
    const T e = m * g;
    m = m + g;
    y = y - e / y;
    if (y == T(0)) y = std::sqrt(e) * T(1e-14);
    g = T(2) * std::sqrt(e);
    if (pass == kMaxPasses || std::fabs(m - g) < T(1e-6) * m) break;
    l = 2 * l + (y < T(0) ? 1 : 0);
  }
  if (pass == kMaxPasses) return reportError(200240), T(0);
  if (y < T(0)) ++l;
  const T result = (std::atan(m / y) + T(double(l)) * T(kPi)) / m;
  return x < T(0) ? -result : result;
}

template <class T>
T modulusFromPeriodRatio(T r) {
  // A = 1 + 2 sum q^(j^2) and B = sum q^(j(j+1)): the theta functions whose
  // squared ratio, times 4 sqrt(q), is the modulus of nome q.
  const T q = std::exp(-T(kPi) * r);
  T A = T(1), B = T(1), t = T(1), w = q;
  for (int j = 1; j <= 19; ++j) {
    A = A + T(2) * w * t;
    t = w * w * t;
    B = B + t;
    w = w * q;
    if (t < T(1e-14)) {
      const T ratio = B / A;
      return T(4) * std::sqrt(q) * ratio * ratio;
    }
  }
  return reportError(200240), T(0);
}

#define KELM_INSTANTIATE_ELLIPTIC(T)                \
  template T carlsonRF(T, T, T);                    \
  template T completeEllipticK(T);                  \
  template JacobiValues<T> jacobiElliptic(T, T, T); \
  template T ellipticArgument(T, T);                \
  template T modulusFromPeriodRatio(T);
KELM_INSTANTIATE_ELLIPTIC(double)
KELM_INSTANTIATE_ELLIPTIC(float)
#undef KELM_INSTANTIATE_ELLIPTIC

}  // namespace kelm_detail

template <class T>
T KelmElk(T m) {
  KELM_ROUTINE("KelmElk(const double)");
  if (!(m >= T(0) && m < T(1))) return reportError(200110, {"x", "[0, 1)"}), T(0);
  return kelm_detail::completeEllipticK(T(1) - m);
}

template <class T>
T KelmElrf(T x, std::type_identity_t<T> y, std::type_identity_t<T> z) {
  KELM_ROUTINE("KelmElrf(const double, const double, const double)");
  // Written so that NaN arguments fail the first check.
  if (!(x >= T(0) && y >= T(0) && z >= T(0))) return reportError(200113), T(0);
  const T smallest = kelmAmach<T>(1);
  if (x + y < smallest || x + z < smallest || y + z < smallest)
    return reportError(200114, {}, {}, {double(smallest)}), T(0);
  const T largest = kelmAmach<T>(2);
  if (x > largest || y > largest || z > largest) return reportError(200115, {}, {}, {double(largest)}), T(0);
  return kelm_detail::carlsonRF(x, T(y), T(z));
}

template double KelmElk<double>(double);
template float KelmElk<float>(float);
template double KelmElrf<double>(double, double, double);
template float KelmElrf<float>(float, float, float);
