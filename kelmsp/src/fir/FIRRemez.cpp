// Equiripple FIR design by the Remez exchange, after the program of
// McClellan, Parks and Rabiner: the same dense grid of the bands, the same
// reduction of the four linear-phase cases to a weighted approximation by
// cosine polynomials, barycentric Lagrange interpolation through the
// extremal frequencies and the coefficients from an inverse DFT of the best
// approximation. The extremal search is a multiple exchange: every extremal
// frequency moves to the largest error of its sign between its neighbours,
// and further local extrema of the error beyond the levelled one enter the
// set where they keep the alternation. The exchange works in double
// precision for both twins.
#include <kelmsp/KelmFIRDesign.h>

#include "fir/FIRInternal.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdio>
#include <vector>

using kelm_detail::reportError;

namespace {

constexpr double kTwoPi = 6.283185307179586;
// Largest lgrid times the number of cosine terms: keeps the grid below 2^23
// points.
constexpr double kMaxGridProduct = 8388608;

struct RemezProblem {
  int nfilt = 0;
  int type = 1;  // 1 multiple-band filter, 2 differentiator, 3 Hilbert transformer
  std::vector<double> edges;  // halved: cycles per sample
  std::vector<double> fx;
  std::vector<double> wtx;
  double lgrid = 16;
  int maxit = 25;

  int bands() const { return int(fx.size()); }
  bool antisymmetric() const { return type != 1; }
  bool odd() const { return nfilt % 2 == 1; }
  // Number of cosine terms of the approximating polynomial.
  int terms() const { return nfilt / 2 + (odd() && !antisymmetric() ? 1 : 0); }
  double desired(int band, double f) const { return type == 2 ? fx[band] * f : fx[band]; }
  double weight(int band, double f) const {
    return type == 2 && fx[band] >= 0.0001 ? wtx[band] / f : wtx[band];
  }
};

struct Grid {
  std::vector<double> f, des, wt;
};

// The grid of every band with spacing 0.5 / (lgrid * terms), each band's last
// point on its upper edge. Frequencies where the type's factor vanishes (0
// for antisymmetric filters, 1/2 for even symmetric and odd antisymmetric
// ones) are left out. With store false only the size is determined.
Grid buildGrid(const RemezProblem& p, double lgrid, bool store, long long* size) {
  Grid g;
  const double delf = 0.5 / (lgrid * p.terms());
  long long count = 0;
  double last = 0;
  for (int b = 0; b < p.bands(); ++b) {
    double t = p.edges[2 * b];
    if (b == 0 && p.antisymmetric() && t < delf) t = delf;
    const double up = p.edges[2 * b + 1];
    for (;;) {
      ++count;
      if (store) g.f.push_back(t);
      const double next = t + delf;
      if (next > up) break;
      t = next;
    }
    if (store) g.f.back() = up;
    last = up;
  }
  if (p.antisymmetric() == p.odd() && last > 0.5 - delf) {
    --count;
    if (store) g.f.pop_back();
  }
  if (size) *size = count;
  if (!store) return g;
  // Desired values and weights of each point, then the reduction to a
  // plain cosine polynomial: the amplitude of the even symmetric type is
  // cos(pi f) times it, of the antisymmetric types sin(2 pi f) (odd) or
  // sin(pi f) (even) times it.
  g.des.resize(g.f.size());
  g.wt.resize(g.f.size());
  int band = 0;
  for (std::size_t i = 0; i < g.f.size(); ++i) {
    const double f = g.f[i];
    while (band < p.bands() - 1 && f > p.edges[2 * band + 1]) ++band;
    g.des[i] = p.desired(band, f);
    g.wt[i] = p.weight(band, f);
    double change = 1;
    if (!p.antisymmetric() && !p.odd()) change = std::cos(kTwoPi / 2 * f);
    if (p.antisymmetric()) change = p.odd() ? std::sin(kTwoPi * f) : std::sin(kTwoPi / 2 * f);
    g.des[i] /= change;
    g.wt[i] *= change;
  }
  return g;
}

// Lagrange interpolation through the points (x_j, y_j).
class Interpolant {
 public:
  explicit Interpolant(const std::vector<double>& x) : m_x(x), m_y(x.size(), 0.0) {
    const std::size_t n = x.size();
    m_logWeight.assign(n, 0);
    m_sign.assign(n, 1);
    for (std::size_t k = 0; k < n; ++k) {
      for (std::size_t j = 0; j < n; ++j) {
        if (j == k) continue;
        const double d = 2 * (x[k] - x[j]);
        m_logWeight[k] -= std::log(std::fabs(d));
        if (d < 0) m_sign[k] = -m_sign[k];
      }
    }
    const double top = *std::max_element(m_logWeight.begin(), m_logWeight.end());
    m_weight.resize(n);
    for (std::size_t k = 0; k < n; ++k) m_weight[k] = m_sign[k] * std::exp(m_logWeight[k] - top);
  }
  // Barycentric weights, scaled so that the largest magnitude is 1.
  const std::vector<double>& weights() const { return m_weight; }
  // The values to interpolate at the points.
  void setValues(const std::vector<double>& y) { m_y = y; }

  double operator()(double xv) const {
    // The barycentric formula of the second kind, or of the first kind
    // where the sums of the second cancel.
    double num = 0, den = 0;
    for (std::size_t j = 0; j < m_x.size(); ++j) {
      const double d = xv - m_x[j];
      if (d == 0) return m_y[j];
      const double c = m_weight[j] / d;
      num += c * m_y[j];
      den += c;
    }
    if (den != 0 && std::isfinite(den) && std::isfinite(num)) return num / den;
    double logL = 0;
    int signL = 1;
    for (double xj : m_x) {
      const double d = 2 * (xv - xj);
      logL += std::log(std::fabs(d));
      if (d < 0) signL = -signL;
    }
    double sum = 0;
    for (std::size_t j = 0; j < m_x.size(); ++j) {
      const double d = 2 * (xv - m_x[j]);
      const double magnitude = std::exp(logL - std::log(std::fabs(d)) + m_logWeight[j]);
      sum += signL * m_sign[j] * (d < 0 ? -1 : 1) * magnitude * m_y[j];
    }
    return sum;
  }

 private:
  std::vector<double> m_x, m_y, m_logWeight, m_weight;
  std::vector<int> m_sign;
};

// Keeps nz alternating extremal candidates: consecutive ones of one sign
// give way to the larger, then the smallest are dropped (an end one when
// only one is too many, so that the alternation stays).
std::vector<int> alternatingSet(std::vector<int> idx, std::vector<int> sign, const std::vector<double>& e, int nz) {
  std::vector<int> keep, keepSign;
  for (std::size_t i = 0; i < idx.size(); ++i) {
    if (!keep.empty() && keepSign.back() == sign[i]) {
      if (std::fabs(e[idx[i]]) > std::fabs(e[keep.back()])) keep.back() = idx[i];
    } else {
      keep.push_back(idx[i]);
      keepSign.push_back(sign[i]);
    }
  }
  while (int(keep.size()) > nz) {
    const int n = int(keep.size());
    auto mag = [&](int i) { return std::fabs(e[keep[i]]); };
    int drop;
    if (n == nz + 1) {
      drop = mag(0) < mag(n - 1) ? 0 : n - 1;
    } else {
      drop = 0;
      for (int i = 1; i < n; ++i)
        if (mag(i) < mag(drop)) drop = i;
    }
    keep.erase(keep.begin() + drop);
    keepSign.erase(keepSign.begin() + drop);
    if (drop > 0 && drop < n - 1) {
      // Its neighbours now have one sign: the smaller goes too.
      const int weaker = mag(drop - 1) >= mag(drop) ? drop : drop - 1;
      keep.erase(keep.begin() + weaker);
      keepSign.erase(keepSign.begin() + weaker);
    }
  }
  return keep;
}

// Chebyshev series arithmetic: x times sum s_j T_j(x).
std::vector<double> timesX(const std::vector<double>& s) {
  const std::size_t n = s.size();
  std::vector<double> out(n, 0);
  for (std::size_t j = 0; j < n; ++j) {
    if (j == 0) {
      if (n > 1) out[1] += s[0];
    } else {
      out[j - 1] += s[j] / 2;
      if (j + 1 < n) out[j + 1] += s[j] / 2;
    }
  }
  return out;
}

enum class RemezOutcome { Done, NoConvergence };

// Runs the exchange; c receives the first ceil(nfilt/2) impulse-response
// values with the sign convention H = j A for the antisymmetric types.
RemezOutcome remezExchange(const RemezProblem& p, const Grid& g, std::vector<double>& c) {
  const int nfcns = p.terms();
  const int nz = nfcns + 1;
  const int ng = int(g.f.size());
  std::vector<double> xg(ng);
  for (int i = 0; i < ng; ++i) xg[i] = std::cos(kTwoPi * g.f[i]);

  std::vector<int> ext(nz);
  const double step = double(ng - 1) / nfcns;
  for (int j = 0; j < nfcns; ++j) ext[j] = int(j * step);
  ext[nfcns] = ng - 1;

  std::vector<double> x(nz), y(nz), e(ng);
  double devl = -1;
  for (int iteration = 1;; ++iteration) {
    if (iteration > p.maxit) return RemezOutcome::NoConvergence;
    for (int j = 0; j < nz; ++j) x[j] = xg[ext[j]];
    // Levelled error of the reference: the polynomial through
    // des + (-1)^j dev / wt with dev making its top coefficient vanish.
    Interpolant a(x);
    const std::vector<double>& w = a.weights();
    double num = 0, den = 0;
    for (int j = 0; j < nz; ++j) {
      num += w[j] * g.des[ext[j]];
      den += (j % 2 == 0 ? 1 : -1) * w[j] / g.wt[ext[j]];
    }
    double dev = num / den;
    const int nu = dev > 0 ? -1 : 1;
    dev = -nu * dev;
    for (int j = 0; j < nz; ++j) y[j] = g.des[ext[j]] + nu * (j % 2 == 0 ? 1 : -1) * dev / g.wt[ext[j]];
    // Rounding has stopped the levelled error from growing: this reference
    // is as good as the exchange gets.
    if (dev <= devl) break;
    devl = dev;

    a.setValues(y);
    for (int i = 0; i < ng; ++i) e[i] = (a(xg[i]) - g.des[i]) * g.wt[i];

    // Each extremal frequency moves to the largest error of its sign
    // between its neighbours.
    std::vector<int> moved(nz), sign(nz);
    for (int j = 0; j < nz; ++j) {
      sign[j] = nu * (j % 2 == 0 ? 1 : -1);
      const int lo = j > 0 ? moved[j - 1] + 1 : 0;
      const int hi = j < nz - 1 ? ext[j + 1] - 1 : ng - 1;
      int best = ext[j];
      double value = sign[j] * e[best];
      for (int i = lo; i <= hi; ++i) {
        if (sign[j] * e[i] > value) {
          best = i;
          value = sign[j] * e[i];
        }
      }
      moved[j] = best;
    }
    // Further local extrema above the levelled error.
    std::vector<int> candidateSign(ng, 0);
    for (int j = 0; j < nz; ++j) candidateSign[moved[j]] = sign[j];
    for (int i = 0; i < ng; ++i) {
      if (candidateSign[i] != 0 || !(std::fabs(e[i]) > dev)) continue;
      const bool above = (i == 0 || e[i] >= e[i - 1]) && (i == ng - 1 || e[i] >= e[i + 1]);
      const bool below = (i == 0 || e[i] <= e[i - 1]) && (i == ng - 1 || e[i] <= e[i + 1]);
      if (e[i] > 0 && above) candidateSign[i] = 1;
      if (e[i] < 0 && below) candidateSign[i] = -1;
    }
    std::vector<int> idx, sgn;
    for (int i = 0; i < ng; ++i) {
      if (candidateSign[i] == 0) continue;
      idx.push_back(i);
      sgn.push_back(candidateSign[i]);
    }
    const std::vector<int> next = alternatingSet(idx, sgn, e, nz);
    if (int(next.size()) != nz || next == ext) break;
    ext = next;
  }

  // Cosine coefficients alpha of the best approximation P(x), x = cos(2 pi f),
  // from its values at x = cos(2 pi j / cn); where the bands leave out the
  // ends of [0, 1/2], those values are taken on the grid's range mapped onto
  // [-1, 1] and the series is transformed back.
  Interpolant best(x);
  best.setValues(y);
  const int cn = 2 * nfcns - 1;
  double aa = 1, bb = 0;
  const bool direct = (p.edges.front() == 0 && p.edges.back() == 0.5) || nfcns <= 3;
  if (!direct) {
    const double x1 = std::cos(kTwoPi * g.f.front());
    const double xn = std::cos(kTwoPi * g.f.back());
    aa = 2 / (x1 - xn);
    bb = -(x1 + xn) / (x1 - xn);
  }
  std::vector<double> samples(nfcns), beta(nfcns);
  for (int j = 0; j < nfcns; ++j) samples[j] = best((std::cos(kTwoPi * j / cn) - bb) / aa);
  for (int k = 0; k < nfcns; ++k) {
    double s = samples[0];
    for (int j = 1; j < nfcns; ++j) s += 2 * samples[j] * std::cos(kTwoPi * double(k) * j / cn);
    beta[k] = (k == 0 ? 1 : 2) * s / cn;
  }
  std::vector<double> alpha = beta;
  if (!direct) {
    // sum beta_k T_k(aa x + bb) as a Chebyshev series in x (Clenshaw).
    auto timesY = [aa, bb](const std::vector<double>& s) {
      std::vector<double> out = timesX(s);
      for (std::size_t j = 0; j < s.size(); ++j) out[j] = aa * out[j] + bb * s[j];
      return out;
    };
    std::vector<double> b1(nfcns, 0), b2(nfcns, 0);
    for (int k = nfcns - 1; k >= 1; --k) {
      std::vector<double> bk = timesY(b1);
      for (int j = 0; j < nfcns; ++j) bk[j] = 2 * bk[j] - b2[j];
      bk[0] += beta[k];
      b2 = b1;
      b1 = bk;
    }
    alpha = timesY(b1);
    for (int j = 0; j < nfcns; ++j) alpha[j] -= b2[j];
    alpha[0] += beta[0];
  }

  // Impulse response from the cosine coefficients of each case.
  auto al = [&alpha, nfcns](int k) { return k >= 0 && k < nfcns ? alpha[k] : 0.0; };
  c.assign((p.nfilt + 1) / 2, 0.0);
  const int M = nfcns;
  if (!p.antisymmetric() && p.odd()) {
    // A = sum alpha_k cos(2 pi f k): centre alpha_0, the others alpha_k / 2.
    const int centre = nfcns - 1;
    for (int i = 0; i < centre; ++i) c[i] = al(centre - i) / 2;
    c[centre] = al(0);
  } else if (!p.antisymmetric()) {
    // A = cos(pi f) P.
    c[M - 1] = al(0) / 2 + al(1) / 4;
    for (int m = 1; m < M; ++m) c[M - 1 - m] = (al(m) + al(m + 1)) / 4;
  } else if (p.odd()) {
    // A = sin(2 pi f) P; the centre value is 0.
    for (int i = 1; i <= M; ++i) {
      const double coefficient = i == 1 ? al(0) - al(2) / 2 : (al(i - 1) - al(i + 1)) / 2;
      c[M - i] = coefficient / 2;
    }
    c[M] = 0;
  } else {
    // A = sin(pi f) P.
    for (int m = 0; m < M; ++m) {
      const double coefficient = m == 0 ? al(0) - al(1) / 2 : (al(m) - al(m + 1)) / 2;
      c[M - 1 - m] = coefficient / 2;
    }
  }
  return RemezOutcome::Done;
}

}  // namespace

template <class T>
KelmFIRFilter<T> FIRRemezFilterDesign(std::type_identity_t<T> nfilt, std::type_identity_t<T> type,
                                      const KelmVector<T>& edges, const KelmVector<T>& fx, const KelmVector<T>& wtx,
                                      int* maxit, std::type_identity_t<T> lgrid) {
  KELM_ROUTINE(
      "FIRRemezFilterDesign(const double, const double, const KelmVectorDouble&, const KelmVectorDouble&, "
      "const KelmVectorDouble&, int*, const double)");
  using Filter = KelmFIRFilter<T>;
  const double length = std::trunc(double(nfilt));
  if (!(length >= 3)) return reportError(200214, {"nfilt"}, {3}), Filter();
  if (length > 16777216) return reportError(200110, {"nfilt", "[3, 16777216]"}), Filter();
  if (type != T(1) && type != T(2) && type != T(3)) return reportError(200215), Filter();
  const int count = edges.length();
  if (count % 2 != 0) return reportError(200216), Filter();
  if (count < 2 || count > 20) return reportError(200217), Filter();
  const int bands = count / 2;
  if (fx.length() != bands) return reportError(200108, {"fx"}), Filter();
  if (wtx.length() != bands) return reportError(200108, {"wtx"}), Filter();
  if (!(lgrid > T(0))) return reportError(200214, {"lgrid"}, {1}), Filter();
  if (!maxit || *maxit < 1 || *maxit > 25) return reportError(200218), Filter();
  for (int i = 0; i < count; ++i)
    if (!(edges.array()[i] >= T(0) && edges.array()[i] <= T(1))) return reportError(200219), Filter();
  for (int i = 1; i < count; ++i)
    if (!(edges.array()[i] > edges.array()[i - 1])) return reportError(200228), Filter();
  for (int b = 0; b < bands; ++b)
    if (!(wtx.array()[b] > T(0))) return reportError(200109, {"wtx"}), Filter();

  RemezProblem p;
  p.nfilt = int(length);
  p.type = int(type);
  for (int i = 0; i < count; ++i) p.edges.push_back(double(edges.array()[i]) / 2);
  for (int b = 0; b < bands; ++b) {
    p.fx.push_back(double(fx.array()[b]));
    p.wtx.push_back(double(wtx.array()[b]));
  }
  p.lgrid = double(lgrid);
  p.maxit = *maxit;
  const int nz = p.terms() + 1;
  if (p.lgrid * p.terms() > kMaxGridProduct) {
    char range[kKelmErrorTextLength];
    std::snprintf(range, sizeof range, "(0, %g]", kMaxGridProduct / p.terms());
    return reportError(200110, {"lgrid", range}), Filter();
  }
  long long size = 0;
  const Grid grid = buildGrid(p, p.lgrid, true, &size);
  if (size < nz) {
    // Too few grid points for the number of coefficients: name the density
    // that gives enough.
    double needed = std::ceil(p.lgrid);
    long long found = 0;
    while (needed * p.terms() <= kMaxGridProduct) {
      buildGrid(p, needed, false, &found);
      if (found >= nz) break;
      needed = std::ceil(needed * std::max(1.25, double(nz) / double(std::max(found, 1LL))));
    }
    return reportError(200214, {"lgrid"}, {int(std::min(needed, double(INT_MAX)))}), Filter();
  }

  std::vector<double> c;
  if (remezExchange(p, grid, c) == RemezOutcome::NoConvergence)
    return reportError(200220, {}, {*maxit}), Filter();

  // c followed by its mirror: symmetric for type 1, antisymmetric for the
  // differentiator (H = j A) and the Hilbert transformer, whose sign is
  // turned so that H = -j A, the Hilbert transform for A = 1.
  const int half = p.nfilt / 2;
  const double s = p.type == 3 ? -1.0 : 1.0;
  KelmVector<T> h(p.nfilt);
  for (int i = 0; i < int(c.size()); ++i) h.array()[i] = T(s * c[i]);
  for (int i = 0; i < half; ++i) h.array()[p.nfilt - 1 - i] = T(p.type == 1 ? c[i] : -s * c[i]);
  return Filter(h);
}

template KelmFIRFilter<double> FIRRemezFilterDesign(double, double, const KelmVector<double>&,
                                                    const KelmVector<double>&, const KelmVector<double>&, int*,
                                                    double);
template KelmFIRFilter<float> FIRRemezFilterDesign(float, float, const KelmVector<float>&, const KelmVector<float>&,
                                                   const KelmVector<float>&, int*, float);
