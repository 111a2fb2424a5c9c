// Least-squares FIR designs: the Wiener smoother, linear-phase frequency
// sampling, Savitzky-Golay smoothers and the interpolation filter of
// up-sampling.
#include <kelmsp/KelmFIRDesign.h>
#include <kelmsp/KelmPolynomial.h>

#include "fir/FIRInternal.h"

#include <climits>
#include <cmath>
#include <cstdio>
#include <vector>

using kelm_detail::reportError;

template <class T>
KelmFIRFilter<T> FIRLSFilterDesign(int n, const KelmVector<T>& r, const KelmVector<T>& p) {
  KELM_ROUTINE("FIRLSFilterDesign(const int, const KelmVectorDouble&, const KelmVectorDouble&)");
  if (r.length() != p.length()) return reportError(200226), KelmFIRFilter<T>();
  if (r.length() < n) return reportError(200255), KelmFIRFilter<T>();
  if (n % 2 == 0) return reportError(200227, {"n"}), KelmFIRFilter<T>();
  if (n < 1) return reportError(200109, {"n"}), KelmFIRFilter<T>();
  const int q = (n - 1) / 2;
  KelmVector<T> column(n), target(n);
  for (int i = 0; i < n; ++i) {
    column.array()[i] = r.array()[i] + p.array()[i];
    target.array()[i] = r.array()[i < q ? q - i : i - q];
  }
  const KelmVector<T> h = toeplitzSolve(column, target);
  if (kelm_detail::failed()) return KelmFIRFilter<T>();
  return KelmFIRFilter<T>(h);
}

template <class T>
KelmFIRFilter<T> FIRLSFilterDesign(int n, const KelmVector<T>& f, const KelmVector<T>& a, int antisymmetric,
                                   int density) {
  KELM_ROUTINE(
      "FIRLSFilterDesign(const int, const KelmVectorDouble&, const KelmVectorDouble&, const int, const int)");
  const int count = f.length();
  if (count < 3) return reportError(200100, {"f"}, {3}), KelmFIRFilter<T>();
  if (a.length() < 3) return reportError(200100, {"amplitude"}, {3}), KelmFIRFilter<T>();
  if (a.length() != count) return reportError(200112, {"f", "amplitude"}), KelmFIRFilter<T>();
  const T* fv = f.array();
  const T* av = a.array();
  for (int i = 1; i < count; ++i)
    if (!(fv[i] > fv[i - 1])) return reportError(200228), KelmFIRFilter<T>();
  if (fv[0] < T(0) || fv[count - 1] > T(1)) return reportError(200256), KelmFIRFilter<T>();
  const int shortest = antisymmetric ? 2 : 1;
  if (n < shortest) return reportError(200214, {"n"}, {shortest}), KelmFIRFilter<T>();

  const bool odd = n % 2 == 1;
  const int q = odd ? (n - 1) / 2 : n / 2;
  const int unknowns = !antisymmetric && odd ? q + 1 : q;
  KelmVector<T> grid, target;
  if (density < 1 && count >= q) {
    // The given points directly; with as many points as unknowns of types
    // II..IV the design is exactly determined and must not ask for a
    // response the type forces to zero.
    if (count == q) {
      if (!antisymmetric && !odd && fv[count - 1] == T(1)) return reportError(200229), KelmFIRFilter<T>();
      if (antisymmetric && odd && (fv[0] == T(0) || fv[count - 1] == T(1)))
        return reportError(200230), KelmFIRFilter<T>();
      if (antisymmetric && !odd && fv[0] == T(0)) return reportError(200231), KelmFIRFilter<T>();
    }
    grid = f;
    target = a;
  } else {
    const long long points = static_cast<long long>(count) * (density >= 1 ? density : 4);
    if (points > INT_MAX) {
      char range[kKelmErrorTextLength];
      std::snprintf(range, sizeof range, "[1, %d]", INT_MAX / count);
      return reportError(200110, {"density", range}), KelmFIRFilter<T>();
    }
    // The piecewise-linear interpolant of (f, a) on an equally spaced grid,
    // its outermost pieces continued to 0 and 1.
    grid = kelmRamp<T>(int(points), T(0), T(1));
    target = KelmVector<T>(int(points));
    int piece = 0;
    for (int j = 0; j < int(points); ++j) {
      const T g = grid.array()[j];
      while (piece < count - 2 && g > fv[piece + 1]) ++piece;
      const T slope = (av[piece + 1] - av[piece]) / (fv[piece + 1] - fv[piece]);
      target.array()[j] = av[piece] + slope * (g - fv[piece]);
    }
  }

  // Amplitude of each type as a sum over the unknowns c_i.
  const int rows = grid.length();
  KelmMatrixGeneral<T> m(rows, unknowns);
  const T pi = T(kelm_detail::kPi);
  for (int j = 0; j < rows; ++j) {
    const T w = pi * grid.array()[j];
    for (int i = 0; i < unknowns; ++i) {
      T v;
      if (!antisymmetric && odd)
        v = i == 0 ? T(1) : T(2) * std::cos(w * T(i));
      else if (!antisymmetric)
        v = T(2) * std::cos(w * (T(i) + T(0.5)));
      else if (odd)
        v = T(2) * std::sin(w * T(i + 1));
      else
        v = T(2) * std::sin(w * (T(i) + T(0.5)));
      m(j, i) = v;
    }
  }
  const KelmVector<T> c = solve(m, target);
  if (kelm_detail::failed() || c.length() != unknowns) return KelmFIRFilter<T>();

  KelmVector<T> h(n);
  T* hv = h.array();
  const T* cv = c.array();
  if (!antisymmetric && odd) {
    for (int i = 0; i <= q; ++i) hv[q - i] = hv[q + i] = cv[i];
  } else if (!antisymmetric) {
    for (int i = 0; i < q; ++i) hv[q - 1 - i] = hv[q + i] = cv[i];
  } else if (odd) {
    for (int i = 0; i < q; ++i) {
      hv[q - 1 - i] = cv[i];
      hv[q + 1 + i] = -cv[i];
    }
  } else {
    for (int i = 0; i < q; ++i) {
      hv[q - 1 - i] = cv[i];
      hv[q + i] = -cv[i];
    }
  }
  return KelmFIRFilter<T>(h);
}

template <class T>
KelmFIRFilter<T> KelmFIRSGFFilterDesign(std::type_identity_t<T> n, std::type_identity_t<T> l) {
  KELM_ROUTINE("KelmFIRSGFFilterDesignDouble(const double, const double)");
  if (!(std::fmod(std::fabs(n), T(2)) == T(1))) return reportError(200213), KelmFIRFilter<T>();
  if (!(l >= T(0))) return reportError(200214, {"l"}, {0}), KelmFIRFilter<T>();
  if (l > n) return reportError(200111, {"n", "l"}), KelmFIRFilter<T>();
  if (n > T(1073741823)) return reportError(200110, {"n", "[1, 1073741823]"}), KelmFIRFilter<T>();
  const int length = static_cast<int>(n);
  const int m = (length - 1) / 2;
  // Only the even polynomials matter at the centre: a fit of degree l and
  // one of degree 2 floor(l/2) give the same smoother.
  const int p = static_cast<int>(std::floor(l / T(2)));
  KelmVector<T> h(length);
  if (m == 0) {
    h.array()[0] = T(1);
    return KelmFIRFilter<T>(h);
  }
  // Orthonormal basis of the even polynomials of degree <= 2p in x = k/m,
  // k = -m..m, held on k = 0..m (the value at k also stands for -k), built by
  // Gram-Schmidt with reorthogonalisation from powers of x^2.
  const int points = m + 1;
  auto dot = [points](const T* u, const T* v) {
    T s = u[0] * v[0];
    for (int k = 1; k < points; ++k) s += T(2) * u[k] * v[k];
    return s;
  };
  std::vector<T> basis(static_cast<std::size_t>(p + 1) * points);
  std::vector<T> u2(points), sum(points, T(0));
  for (int k = 0; k < points; ++k) u2[k] = (T(k) / T(m)) * (T(k) / T(m));
  for (int i = 0; i <= p; ++i) {
    T* v = basis.data() + static_cast<std::size_t>(i) * points;
    const T* previous = v - (i > 0 ? points : 0);
    for (int k = 0; k < points; ++k) v[k] = i == 0 ? T(1) : u2[k] * previous[k];
    for (int pass = 0; pass < 2; ++pass) {
      for (int j = 0; j < i; ++j) {
        const T* b = basis.data() + static_cast<std::size_t>(j) * points;
        const T coefficient = dot(v, b);
        for (int k = 0; k < points; ++k) v[k] -= coefficient * b[k];
      }
    }
    const T norm = std::sqrt(dot(v, v));
    for (int k = 0; k < points; ++k) v[k] /= norm;
    for (int k = 0; k < points; ++k) sum[k] += v[0] * v[k];
  }
  T outer = 0;
  for (int k = 1; k <= m; ++k) {
    h.array()[m - k] = h.array()[m + k] = sum[k];
    outer += sum[k];
  }
  h.array()[m] = T(1) - T(2) * outer;
  return KelmFIRFilter<T>(h);
}

template <class T>
KelmFIRFilter<T> upSampleFilterDesign(int l, int n, std::type_identity_t<T> alpha) {
  KELM_ROUTINE("upSampleFilterDesignDouble(const int, const int, const double)");
  if (!(alpha > T(0) && alpha <= T(1))) return reportError(200110, {"alpha", "(0, 1]"}), KelmFIRFilter<T>();
  if (l < 1) return reportError(200109, {"l"}), KelmFIRFilter<T>();
  if (n < 1 || 2LL * n * l + 1 > INT_MAX) return reportError(200109, {"n"}), KelmFIRFilter<T>();
  const int taps = 2 * n;
  // The sinc Toeplitz systems are ill-conditioned (increasingly so for
  // small alpha and large n): both twins solve them in double precision.
  const double pi = kelm_detail::kPi;
  const double a = double(alpha);
  const double gain = a / l;
  // Autocorrelation of a signal band-limited to alpha and, for each phase
  // i/l, its correlation with the value to interpolate.
  KelmVector<double> arg(taps);
  for (int k = 0; k < taps; ++k) arg.array()[k] = pi * a * k;
  KelmVector<double> r = sinc(arg);
  r *= gain;
  KelmVector<T> out(2 * n * l + 1);
  for (int i = 0; i < l; ++i) {
    for (int k = 0; k < taps; ++k) arg.array()[k] = pi * a * (k - n + double(i) / l);
    KelmVector<double> p = sinc(arg);
    p *= gain;
    const KelmVector<double> solution = toeplitzSolve(r, p);
    if (kelm_detail::failed()) return KelmFIRFilter<T>();
    for (int k = 0; k < taps; ++k) out.array()[i + k * l] = T(solution.array()[k]);
  }
  out.array()[2 * n * l] = out.array()[0];
  return KelmFIRFilter<T>(out);
}

#define KELM_INSTANTIATE_LS_DESIGN(T)                                                                         \
  template KelmFIRFilter<T> FIRLSFilterDesign(int, const KelmVector<T>&, const KelmVector<T>&);               \
  template KelmFIRFilter<T> FIRLSFilterDesign(int, const KelmVector<T>&, const KelmVector<T>&, int, int);     \
  template KelmFIRFilter<T> KelmFIRSGFFilterDesign<T>(std::type_identity_t<T>, std::type_identity_t<T>);     \
  template KelmFIRFilter<T> upSampleFilterDesign<T>(int, int, std::type_identity_t<T>);
KELM_INSTANTIATE_LS_DESIGN(double)
KELM_INSTANTIATE_LS_DESIGN(float)
