// Frequency transformations of IIR filters (all-pass substitution for
// z^-1), the design of mapping polynomials and the bilinear transformation.
#include <kelmsp/KelmFilter.h>
#include <kelmsp/KelmIIRDesign.h>
#include <kelmsp/KelmPolynomial.h>

#include "common/KelmInternal.h"

#include <cmath>
#include <vector>

using kelm_detail::reportError;

namespace {

template <class T>
bool inOpenUnit(T v) {
  return v > T(0) && v < T(1);
}

// Exact product by direct sums: the operands here are short, and the sums
// keep small coefficients next to large ones exact (a product through the
// FFT would bury them in its rounding).
template <class T>
std::vector<T> product(const std::vector<T>& p, const std::vector<T>& q) {
  std::vector<T> out(p.size() + q.size() - 1, T(0));
  for (std::size_t i = 0; i < p.size(); ++i)
    for (std::size_t j = 0; j < q.size(); ++j) out[i + j] += p[i] * q[j];
  return out;
}

// Degree relative to the polynomial's own size: the largest index whose
// coefficient exceeds tol times the largest magnitude. The coefficients of a
// narrow filter are all tiny, so an absolute tolerance would drop them.
template <class T>
int relativeDegree(const std::vector<T>& p) {
  T largest = T(0);
  for (T v : p) largest = std::fmax(largest, std::fabs(v));
  const T tol = T(kelm_detail::degreeTolerance<T>()) * largest;
  for (int i = int(p.size()) - 1; i > 0; --i)
    if (std::fabs(p[std::size_t(i)]) > tol) return i;
  return 0;
}

template <class T>
KelmVector<T> cutToDegree(const std::vector<T>& p) {
  return KelmVector<T>(relativeDegree(p) + 1, p.data());
}

// Replaces z^-1 in B(z^-1)/A(z^-1) by sigma N(z^-1)/D(z^-1) with N the
// reversed D, over the common denominator D^M:
//   b' = sum_j b[j] sigma^j N^j D^(M-j), and a' alike.
// Every coefficient of D counts, zeros at its end included: they are the
// factors z^-1 of the all-pass (D = (1, 0) is the identity mapping).
// Returns false after reporting 200250 when D is not a stable denominator.
template <class T>
bool substituteAllpass(const KelmVector<T>& D, int sigma, const KelmVector<T>& b, const KelmVector<T>& a,
                       KelmVector<T>& bOut, KelmVector<T>& aOut) {
  for (T v : D)
    if (!std::isfinite(v)) return reportError(200250), false;
  if (schurCohnTest(D, T(kelm_detail::sqrtEpsilon<T>())) != 1) {
    if (!kelm_detail::failed()) reportError(200250);
    return false;
  }
  const std::vector<T> Dv(D.begin(), D.end());
  const std::vector<T> Nv(Dv.rbegin(), Dv.rend());
  const int M = (b.length() > a.length() ? b.length() : a.length()) - 1;
  std::vector<std::vector<T>> Np{std::vector<T>{T(1)}}, Dp{std::vector<T>{T(1)}};
  for (int j = 1; j <= M; ++j) {
    Np.push_back(product(Np.back(), Nv));
    Dp.push_back(product(Dp.back(), Dv));
  }
  const std::size_t length = std::size_t(M) * (Dv.size() - 1) + 1;
  std::vector<T> bs(length, T(0)), as(length, T(0));
  for (int j = 0; j <= M; ++j) {
    const T bj = j < b.length() ? b.array()[j] : T(0);
    const T aj = j < a.length() ? a.array()[j] : T(0);
    if (bj == T(0) && aj == T(0)) continue;
    const T sign = (sigma < 0 && j % 2 == 1) ? T(-1) : T(1);
    const std::vector<T> term = product(Np[std::size_t(j)], Dp[std::size_t(M - j)]);
    for (std::size_t i = 0; i < term.size(); ++i) {
      bs[i] += sign * bj * term[i];
      as[i] += sign * aj * term[i];
    }
  }
  bOut = cutToDegree(bs);
  aOut = cutToDegree(as);
  return true;
}

}  // namespace

template <class T>
KelmIIRFilter<T>& KelmIIRFilter<T>::frequencyTransformation(KelmFilterDesignOption option, T fOld, T fNew) {
  KELM_ROUTINE("KelmIIRFilterDouble::frequencyTransformation(KelmFilterDesignOption, const double, const double)");
  if (!m_defined) return reportError(200105), *this;
  if (option != KELM_LOW_PASS && option != KELM_HIGH_PASS) return reportError(200249), *this;
  if (!inOpenUnit(fOld) || !inOpenUnit(fNew)) return reportError(200247), *this;
  const T pi = T(kelm_detail::kPi);
  const T theta = fOld * pi;
  Vector D;
  int sigma = 1;
  if (option == KELM_LOW_PASS) {
    // z^-1 -> (z^-1 - alpha)/(1 - alpha z^-1).
    const T wn = fNew * pi;
    D = Vector{T(1), -(std::sin((theta - wn) / T(2)) / std::sin((theta + wn) / T(2)))};
  } else {
    // z^-1 -> -(z^-1 + alpha)/(1 + alpha z^-1).
    const T A = (T(1) - fOld) * pi, B = (T(1) - fNew) * pi;
    D = Vector{T(1), std::cos((A + B) / T(2)) / std::cos((A - B) / T(2))};
    sigma = -1;
  }
  Vector b, a;
  if (substituteAllpass(D, sigma, m_b, m_a, b, a)) {
    m_b = b;
    m_a = a;
  }
  return *this;
}

template <class T>
KelmIIRFilter<T>& KelmIIRFilter<T>::frequencyTransformation(KelmFilterDesignOption option, T fOld, T fLow, T fHigh) {
  KELM_ROUTINE(
      "KelmIIRFilterDouble::frequencyTransformation(KelmFilterDesignOption, const double, const double, const "
      "double)");
  if (!m_defined) return reportError(200105), *this;
  if (option != KELM_BAND_PASS && option != KELM_BAND_STOP) return reportError(200246), *this;
  if (!inOpenUnit(fOld) || !inOpenUnit(fLow) || !inOpenUnit(fHigh)) return reportError(200247), *this;
  if (!(fLow < fHigh)) return reportError(200248), *this;
  const T pi = T(kelm_detail::kPi);
  const T theta = fOld * pi;
  const T A = (T(1) - fLow) * pi, B = (T(1) - fHigh) * pi;
  const T h = (B - A) / T(2);
  const T c = std::cos((A + B) / T(2)) / std::cos(h);
  // The mapping denominators are held with D[0] = 1. With the last
  // coefficient at 1 instead, band edges whose width equals fOld (band-pass)
  // or 1 - fOld (band-stop) divide by zero: k is negative and reaches -1
  // there, while k - 1 and 1 - k stay away from 0.
  Vector D;
  int sigma = 1;
  if (option == KELM_BAND_PASS) {
    const T k = std::tan(theta / T(2)) / std::tan(h);
    D = Vector{T(1), T(2) * k * c / (k - T(1)), (k + T(1)) / (k - T(1))};
    sigma = -1;
  } else {
    const T k = std::tan(theta / T(2)) * std::tan(h);
    D = Vector{T(1), T(2) * c / (T(1) - k), (T(1) + k) / (T(1) - k)};
  }
  Vector b, a;
  if (substituteAllpass(D, sigma, m_b, m_a, b, a)) {
    m_b = b;
    m_a = a;
  }
  return *this;
}

template <class T>
KelmIIRFilter<T>& KelmIIRFilter<T>::frequencyTransformation(const Vector& D) {
  KELM_ROUTINE("KelmIIRFilterDouble::frequencyTransformation(const KelmVectorDouble&)");
  if (!m_defined) return reportError(200105), *this;
  if (D.empty()) return reportError(200253), *this;
  Vector b, a;
  if (substituteAllpass(D, 1, m_b, m_a, b, a)) {
    m_b = b;
    m_a = a;
  }
  return *this;
}

template <class T>
KelmIIRFilter<T>& KelmIIRFilter<T>::biLinearTransformation(int c) {
  KELM_ROUTINE("KelmIIRFilterDouble::biLinearTransformation(const int)");
  if (!m_defined) return reportError(200105), *this;
  // B(z) = sum_j b[j] c^j (z - 1)^j (z + 1)^(M-1-j), ascending powers of z,
  // and A(z) alike: the analog polynomials over (z + 1)^(M-1).
  const int M = m_b.length() > m_a.length() ? m_b.length() : m_a.length();
  std::vector<std::vector<T>> minus{std::vector<T>{T(1)}}, plus{std::vector<T>{T(1)}};
  for (int j = 1; j < M; ++j) {
    minus.push_back(product(minus.back(), std::vector<T>{T(-1), T(1)}));
    plus.push_back(product(plus.back(), std::vector<T>{T(1), T(1)}));
  }
  auto map = [&](const Vector& p) {
    std::vector<T> out(std::size_t(M), T(0));
    T cj = T(1);
    for (int j = 0; j < p.length(); ++j, cj *= T(c)) {
      const std::vector<T> term = product(minus[std::size_t(j)], plus[std::size_t(M - 1 - j)]);
      for (std::size_t i = 0; i < term.size(); ++i) out[i] += p.array()[j] * cj * term[i];
    }
    return out;
  };
  const std::vector<T> B = map(m_b), A = map(m_a);
  // Same degree for both; reversed they are the filter in powers of z^-1.
  const int tb = relativeDegree(B), ta = relativeDegree(A);
  const int t = tb > ta ? tb : ta;
  Vector b(t + 1), a(t + 1);
  for (int i = 0; i <= t; ++i) {
    b.array()[i] = B[std::size_t(t - i)];
    a.array()[i] = A[std::size_t(t - i)];
  }
  m_b = b;
  m_a = a;
  return *this;
}

template <class T>
KelmVector<T> frequencyTransformationDesign(const KelmVector<T>& phi, int reversed) {
  KELM_ROUTINE("frequencyTransformationDesign(const KelmVectorDouble&, const int)");
  const int L = phi.length();
  if (L < 1) return reportError(200117, {"phi"}), KelmVector<T>();
  const T pi = T(kelm_detail::kPi);
  // One all-pass factor per frequency, each rotating the partial polynomial
  // (P[1..i]) and its reversal by the angle (theta - pi) s.
  std::vector<T> P(std::size_t(L) + 2, T(0));
  P[1] = T(1);
  T s = reversed ? T(-0.5) : T(0.5);
  for (int i = 2; i <= L + 1; ++i) {
    s = -s;
    const T phiAngle = (phi.array()[i - 2] * pi - pi) * s;
    const T S = std::sin(phiAngle), C = std::cos(phiAngle);
    std::vector<T> Q(P);
    for (int j = 1; j <= i; ++j) {
      const T u = (j > 1 ? P[std::size_t(j - 1)] : T(0)) + (i > j ? P[std::size_t(j)] : T(0));
      const T v = (j > 1 ? -P[std::size_t(i - j + 1)] : T(0)) + (i > j ? P[std::size_t(i - j)] : T(0));
      Q[std::size_t(j)] = v * S + u * C;
    }
    P = Q;
  }
  KelmVector<T> D(L + 1);
  for (int i = 0; i <= L; ++i) D.array()[reversed ? L - i : i] = P[std::size_t(i) + 1] / P[1];
  return D;
}

#define KELM_INSTANTIATE_TRANSFORMATIONS(T)                                                              \
  template KelmIIRFilter<T>& KelmIIRFilter<T>::frequencyTransformation(KelmFilterDesignOption, T, T);    \
  template KelmIIRFilter<T>& KelmIIRFilter<T>::frequencyTransformation(KelmFilterDesignOption, T, T, T); \
  template KelmIIRFilter<T>& KelmIIRFilter<T>::frequencyTransformation(const KelmVector<T>&);            \
  template KelmIIRFilter<T>& KelmIIRFilter<T>::biLinearTransformation(int);                              \
  template KelmVector<T> frequencyTransformationDesign(const KelmVector<T>&, int);
KELM_INSTANTIATE_TRANSFORMATIONS(double)
KELM_INSTANTIATE_TRANSFORMATIONS(float)
