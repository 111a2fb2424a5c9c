// Discrete Fourier transforms of any length: mixed-radix decimation in time
// for lengths whose prime factors are small, Bluestein's chirp transform for
// lengths with a large prime factor.
#include <kelmmath/KelmNumeric.h>

#include <complex>
#include <cstdint>
#include <memory>
#include <vector>

namespace {

// Prime factors above this go through Bluestein's algorithm.
constexpr std::size_t kLargestDirectRadix = 61;
// Plans kept per thread for repeated transforms of the same length.
constexpr std::size_t kCachedPlans = 8;

template <class T>
using Cx = std::complex<T>;

// e^(sign * 2 pi i * num / den), computed in long double.
template <class T>
Cx<T> unitRoot(std::uint64_t num, std::uint64_t den, int sign) {
  const long double pi = 3.141592653589793238462643383279502884L;
  num %= den;
  const long double angle = 2.0L * pi * static_cast<long double>(num) / static_cast<long double>(den);
  return Cx<T>(static_cast<T>(std::cos(angle)), static_cast<T>(sign * std::sin(angle)));
}

template <class T>
class Plan {
 public:
  Plan(std::size_t n, int sign) : m_n(n), m_sign(sign) {
    std::size_t rest = n;
    while (rest % 4 == 0 && rest > 4) {
      m_factors.push_back(4);
      rest /= 4;
    }
    for (std::size_t p = 2; p * p <= rest; p += (p == 2 ? 1 : 2)) {
      while (rest % p == 0) {
        m_factors.push_back(p);
        rest /= p;
      }
    }
    if (rest > 1) m_factors.push_back(rest);
    for (std::size_t f : m_factors) {
      if (f > kLargestDirectRadix) m_bluestein = true;
    }
    if (m_bluestein) {
      initBluestein();
    } else {
      m_twiddles.resize(n);
      for (std::size_t k = 0; k < n; ++k) m_twiddles[k] = unitRoot<T>(k, n, sign);
    }
  }

  std::size_t size() const { return m_n; }
  int sign() const { return m_sign; }

  void execute(const Cx<T>* in, Cx<T>* out) const {
    if (m_n == 0) return;
    if (m_n == 1) {
      out[0] = in[0];
      return;
    }
    if (m_bluestein) {
      executeBluestein(in, out);
      return;
    }
    std::vector<Cx<T>> scratch(maxFactor());
    work(out, in, 1, 0, scratch.data());
  }

 private:
  std::size_t maxFactor() const {
    std::size_t m = 1;
    for (std::size_t f : m_factors) m = f > m ? f : m;
    return m;
  }

  // out[0 .. p*m) from in[0], in[fstride], ... (kissfft-style recursion).
  void work(Cx<T>* out, const Cx<T>* in, std::size_t fstride, std::size_t stage, Cx<T>* scratch) const {
    const std::size_t p = m_factors[stage];
    std::size_t m = 1;
    for (std::size_t s = stage + 1; s < m_factors.size(); ++s) m *= m_factors[s];
    if (m == 1) {
      for (std::size_t q = 0; q < p; ++q) out[q] = in[q * fstride];
    } else {
      for (std::size_t q = 0; q < p; ++q) work(out + q * m, in + q * fstride, fstride * p, stage + 1, scratch);
    }
    switch (p) {
      case 2: butterfly2(out, fstride, m); break;
      case 4: butterfly4(out, fstride, m); break;
      default: butterflyGeneric(out, fstride, p, m, scratch); break;
    }
  }

  void butterfly2(Cx<T>* out, std::size_t fstride, std::size_t m) const {
    for (std::size_t u = 0; u < m; ++u) {
      const Cx<T> t = out[u + m] * m_twiddles[u * fstride];
      out[u + m] = out[u] - t;
      out[u] += t;
    }
  }

  void butterfly4(Cx<T>* out, std::size_t fstride, std::size_t m) const {
    for (std::size_t u = 0; u < m; ++u) {
      const Cx<T> a0 = out[u];
      const Cx<T> a1 = out[u + m] * m_twiddles[u * fstride];
      const Cx<T> a2 = out[u + 2 * m] * m_twiddles[2 * u * fstride];
      const Cx<T> a3 = out[u + 3 * m] * m_twiddles[3 * u * fstride];
      const Cx<T> s02 = a0 + a2, d02 = a0 - a2, s13 = a1 + a3, d13 = a1 - a3;
      // d13 times e^(sign * i pi / 2) = sign * i.
      const Cx<T> rot(-T(m_sign) * d13.imag(), T(m_sign) * d13.real());
      out[u] = s02 + s13;
      out[u + 2 * m] = s02 - s13;
      out[u + m] = d02 + rot;
      out[u + 3 * m] = d02 - rot;
    }
  }

  void butterflyGeneric(Cx<T>* out, std::size_t fstride, std::size_t p, std::size_t m, Cx<T>* scratch) const {
    for (std::size_t u = 0; u < m; ++u) {
      // The twiddles e^(sign 2 pi i q k fstride / n) with k = u + q1 m carry both
      // the inter-stage rotation and the length-p transform.
      for (std::size_t q = 0; q < p; ++q) scratch[q] = out[u + q * m];
      for (std::size_t q1 = 0; q1 < p; ++q1) {
        const std::size_t k = u + q1 * m;
        Cx<T> s = scratch[0];
        std::size_t step = (k * fstride) % m_n, idx = 0;
        for (std::size_t q2 = 1; q2 < p; ++q2) {
          idx += step;
          if (idx >= m_n) idx -= m_n;
          s += scratch[q2] * m_twiddles[idx];
        }
        out[k] = s;
      }
    }
  }

  void initBluestein() {
    std::size_t len = 1;
    while (len < 2 * m_n - 1) len <<= 1;
    m_chirp.resize(m_n);
    const std::uint64_t twoN = 2 * std::uint64_t(m_n);
    for (std::size_t k = 0; k < m_n; ++k) {
      const std::uint64_t kk = (std::uint64_t(k) * std::uint64_t(k)) % twoN;
      m_chirp[k] = unitRoot<T>(kk, twoN, m_sign);  // e^(sign pi i k^2 / n)
    }
    m_pow2Forward = std::make_unique<Plan>(len, -1);
    m_pow2Inverse = std::make_unique<Plan>(len, +1);
    std::vector<Cx<T>> b(len, Cx<T>(0));
    b[0] = std::conj(m_chirp[0]);
    for (std::size_t k = 1; k < m_n; ++k) b[k] = b[len - k] = std::conj(m_chirp[k]);
    m_chirpSpectrum.resize(len);
    m_pow2Forward->execute(b.data(), m_chirpSpectrum.data());
  }

  void executeBluestein(const Cx<T>* in, Cx<T>* out) const {
    const std::size_t len = m_chirpSpectrum.size();
    std::vector<Cx<T>> a(len, Cx<T>(0)), fa(len);
    for (std::size_t k = 0; k < m_n; ++k) a[k] = in[k] * m_chirp[k];
    m_pow2Forward->execute(a.data(), fa.data());
    for (std::size_t k = 0; k < len; ++k) fa[k] *= m_chirpSpectrum[k];
    m_pow2Inverse->execute(fa.data(), a.data());
    const T scale = T(1) / T(len);
    for (std::size_t k = 0; k < m_n; ++k) out[k] = a[k] * m_chirp[k] * scale;
  }

  std::size_t m_n;
  int m_sign;
  std::vector<std::size_t> m_factors;
  std::vector<Cx<T>> m_twiddles;
  bool m_bluestein = false;
  std::vector<Cx<T>> m_chirp;
  std::vector<Cx<T>> m_chirpSpectrum;
  std::unique_ptr<Plan> m_pow2Forward;
  std::unique_ptr<Plan> m_pow2Inverse;
};

template <class T>
const Plan<T>& planFor(std::size_t n, int sign) {
  thread_local std::vector<std::unique_ptr<Plan<T>>> cache;
  for (std::size_t i = 0; i < cache.size(); ++i) {
    if (cache[i]->size() == n && cache[i]->sign() == sign) {
      // Move to the front: most recently used first.
      for (std::size_t j = i; j > 0; --j) std::swap(cache[j], cache[j - 1]);
      return *cache[0];
    }
  }
  cache.insert(cache.begin(), std::make_unique<Plan<T>>(n, sign));
  if (cache.size() > kCachedPlans) cache.pop_back();
  return *cache[0];
}

template <class T>
void transform(const Cx<T>* in, Cx<T>* out, std::size_t n, int sign) {
  planFor<T>(n, sign).execute(in, out);
}

template <class T>
KelmVector<KelmComplex<T>> complexTransform(const KelmVector<KelmComplex<T>>& x, int sign) {
  const std::size_t n = std::size_t(x.length());
  KelmVector<KelmComplex<T>> out(x.length(), x.base());
  if (n == 0) return out;
  std::vector<Cx<T>> in(n), res(n);
  for (std::size_t k = 0; k < n; ++k) in[k] = Cx<T>(x.array()[k].real(), x.array()[k].imag());
  transform<T>(in.data(), res.data(), n, sign);
  KelmComplex<T>* d = out.array();
  for (std::size_t k = 0; k < n; ++k) d[k] = KelmComplex<T>(res[k].real(), res[k].imag());
  return out;
}

template <class T>
KelmVector<T> realForward(const KelmVector<T>& x) {
  const std::size_t n = std::size_t(x.length());
  KelmVector<T> out(x.length(), x.base());
  if (n == 0) return out;
  std::vector<Cx<T>> in(n), res(n);
  for (std::size_t k = 0; k < n; ++k) in[k] = Cx<T>(x.array()[k], T(0));
  transform<T>(in.data(), res.data(), n, -1);
  T* d = out.array();
  d[0] = res[0].real();
  for (std::size_t k = 1; 2 * k < n; ++k) {
    d[2 * k - 1] = res[k].real();
    d[2 * k] = res[k].imag();
  }
  if (n % 2 == 0) d[n - 1] = res[n / 2].real();
  return out;
}

template <class T>
KelmVector<T> realInverse(const KelmVector<T>& packed) {
  const std::size_t n = std::size_t(packed.length());
  KelmVector<T> out(packed.length(), packed.base());
  if (n == 0) return out;
  const T* p = packed.array();
  std::vector<Cx<T>> in(n), res(n);
  in[0] = Cx<T>(p[0], T(0));
  for (std::size_t k = 1; 2 * k < n; ++k) {
    in[k] = Cx<T>(p[2 * k - 1], p[2 * k]);
    in[n - k] = std::conj(in[k]);
  }
  if (n % 2 == 0) in[n / 2] = Cx<T>(p[n - 1], T(0));
  transform<T>(in.data(), res.data(), n, +1);
  T* d = out.array();
  for (std::size_t k = 0; k < n; ++k) d[k] = res[k].real();
  return out;
}

}  // namespace

KelmVectorDouble FFTForward(const KelmVectorDouble& x) { return realForward(x); }
KelmVectorFloat FFTForward(const KelmVectorFloat& x) { return realForward(x); }
KelmVectorDcomplex FFTForward(const KelmVectorDcomplex& x) { return complexTransform(x, -1); }
KelmVectorFcomplex FFTForward(const KelmVectorFcomplex& x) { return complexTransform(x, -1); }
KelmVectorDouble FFTInverse(const KelmVectorDouble& packed) { return realInverse(packed); }
KelmVectorFloat FFTInverse(const KelmVectorFloat& packed) { return realInverse(packed); }
KelmVectorDcomplex FFTInverse(const KelmVectorDcomplex& x) { return complexTransform(x, +1); }
KelmVectorFcomplex FFTInverse(const KelmVectorFcomplex& x) { return complexTransform(x, +1); }
