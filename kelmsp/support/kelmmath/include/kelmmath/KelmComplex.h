// Complex scalars in single and double precision (KelmFcomplex, KelmDcomplex).
//
// A real or integer operand acts as a complex number with imaginary part 0:
// real - complex negates the imaginary part, while += and -= with a real only
// change the real part and *= and /= with a real scale both parts.
#pragma once

#include <kelmerr/kelm_api.h>

#include <cmath>
#include <type_traits>

template <class T>
class KELM_API KelmComplex {
  static_assert(std::is_floating_point_v<T>, "KelmComplex holds float or double parts");

 public:
  using value_type = T;

  constexpr KelmComplex(T re = T(0), T im = T(0)) noexcept : m_re(re), m_im(im) {}
  template <class U, std::enable_if_t<!std::is_same_v<U, T>, int> = 0>
  constexpr explicit KelmComplex(const KelmComplex<U>& other) noexcept
      : m_re(static_cast<T>(other.real())), m_im(static_cast<T>(other.imag())) {}

  constexpr T real() const noexcept { return m_re; }
  constexpr T imag() const noexcept { return m_im; }
  constexpr void real(T re) noexcept { m_re = re; }
  constexpr void imag(T im) noexcept { m_im = im; }

  template <class S, std::enable_if_t<std::is_arithmetic_v<S>, int> = 0>
  constexpr KelmComplex& operator=(S re) noexcept {
    m_re = static_cast<T>(re);
    m_im = T(0);
    return *this;
  }

  template <class S, std::enable_if_t<std::is_arithmetic_v<S>, int> = 0>
  constexpr KelmComplex& operator+=(S s) noexcept {
    m_re += static_cast<T>(s);
    return *this;
  }
  template <class S, std::enable_if_t<std::is_arithmetic_v<S>, int> = 0>
  constexpr KelmComplex& operator-=(S s) noexcept {
    m_re -= static_cast<T>(s);
    return *this;
  }
  template <class S, std::enable_if_t<std::is_arithmetic_v<S>, int> = 0>
  constexpr KelmComplex& operator*=(S s) noexcept {
    m_re *= static_cast<T>(s);
    m_im *= static_cast<T>(s);
    return *this;
  }
  template <class S, std::enable_if_t<std::is_arithmetic_v<S>, int> = 0>
  constexpr KelmComplex& operator/=(S s) noexcept {
    m_re /= static_cast<T>(s);
    m_im /= static_cast<T>(s);
    return *this;
  }

  constexpr KelmComplex& operator+=(const KelmComplex& c) noexcept {
    m_re += c.m_re;
    m_im += c.m_im;
    return *this;
  }
  constexpr KelmComplex& operator-=(const KelmComplex& c) noexcept {
    m_re -= c.m_re;
    m_im -= c.m_im;
    return *this;
  }
  constexpr KelmComplex& operator*=(const KelmComplex& c) noexcept {
    const T re = m_re * c.m_re - m_im * c.m_im;
    m_im = m_re * c.m_im + m_im * c.m_re;
    m_re = re;
    return *this;
  }
  // Smith's division: no overflow from squaring the divisor's parts.
  KelmComplex& operator/=(const KelmComplex& c) noexcept {
    if (std::fabs(c.m_re) >= std::fabs(c.m_im)) {
      if (c.m_re == T(0) && c.m_im == T(0)) {
        m_re /= T(0);
        m_im /= T(0);
        return *this;
      }
      const T r = c.m_im / c.m_re;
      const T d = c.m_re + c.m_im * r;
      const T re = (m_re + m_im * r) / d;
      m_im = (m_im - m_re * r) / d;
      m_re = re;
    } else {
      const T r = c.m_re / c.m_im;
      const T d = c.m_re * r + c.m_im;
      const T re = (m_re * r + m_im) / d;
      m_im = (m_im * r - m_re) / d;
      m_re = re;
    }
    return *this;
  }

  constexpr KelmComplex operator-() const noexcept { return KelmComplex(-m_re, -m_im); }
  constexpr KelmComplex operator+() const noexcept { return *this; }

  friend constexpr bool operator==(const KelmComplex& a, const KelmComplex& b) noexcept {
    return a.m_re == b.m_re && a.m_im == b.m_im;
  }
  friend constexpr bool operator!=(const KelmComplex& a, const KelmComplex& b) noexcept { return !(a == b); }

 private:
  T m_re;
  T m_im;
};

using KelmDcomplex = KelmComplex<double>;
using KelmFcomplex = KelmComplex<float>;

template <class T>
struct KelmIsComplex : std::false_type {};
template <class T>
struct KelmIsComplex<KelmComplex<T>> : std::true_type {};
template <class T>
inline constexpr bool kKelmIsComplex = KelmIsComplex<T>::value;

// Real type underlying a scalar (T for T and for KelmComplex<T>).
template <class T>
struct KelmRealOf {
  using type = T;
};
template <class T>
struct KelmRealOf<KelmComplex<T>> {
  using type = T;
};
template <class T>
using KelmRealOfT = typename KelmRealOf<T>::type;

// Binary operators: (complex, complex), (complex, real or int), (real or int, complex).
template <class T>
constexpr KelmComplex<T> operator+(KelmComplex<T> a, const KelmComplex<T>& b) noexcept {
  return a += b;
}
template <class T>
constexpr KelmComplex<T> operator-(KelmComplex<T> a, const KelmComplex<T>& b) noexcept {
  return a -= b;
}
template <class T>
constexpr KelmComplex<T> operator*(KelmComplex<T> a, const KelmComplex<T>& b) noexcept {
  return a *= b;
}
template <class T>
inline KelmComplex<T> operator/(KelmComplex<T> a, const KelmComplex<T>& b) noexcept {
  return a /= b;
}

template <class T, class S, std::enable_if_t<std::is_arithmetic_v<S>, int> = 0>
constexpr KelmComplex<T> operator+(KelmComplex<T> a, S s) noexcept {
  return a += s;
}
template <class T, class S, std::enable_if_t<std::is_arithmetic_v<S>, int> = 0>
constexpr KelmComplex<T> operator-(KelmComplex<T> a, S s) noexcept {
  return a -= s;
}
template <class T, class S, std::enable_if_t<std::is_arithmetic_v<S>, int> = 0>
constexpr KelmComplex<T> operator*(KelmComplex<T> a, S s) noexcept {
  return a *= s;
}
template <class T, class S, std::enable_if_t<std::is_arithmetic_v<S>, int> = 0>
constexpr KelmComplex<T> operator/(KelmComplex<T> a, S s) noexcept {
  return a /= s;
}

template <class T, class S, std::enable_if_t<std::is_arithmetic_v<S>, int> = 0>
constexpr KelmComplex<T> operator+(S s, const KelmComplex<T>& b) noexcept {
  return KelmComplex<T>(static_cast<T>(s)) + b;
}
template <class T, class S, std::enable_if_t<std::is_arithmetic_v<S>, int> = 0>
constexpr KelmComplex<T> operator-(S s, const KelmComplex<T>& b) noexcept {
  return KelmComplex<T>(static_cast<T>(s)) - b;
}
template <class T, class S, std::enable_if_t<std::is_arithmetic_v<S>, int> = 0>
constexpr KelmComplex<T> operator*(S s, const KelmComplex<T>& b) noexcept {
  return KelmComplex<T>(static_cast<T>(s)) * b;
}
template <class T, class S, std::enable_if_t<std::is_arithmetic_v<S>, int> = 0>
inline KelmComplex<T> operator/(S s, const KelmComplex<T>& b) noexcept {
  return KelmComplex<T>(static_cast<T>(s)) / b;
}

template <class T>
constexpr T real(const KelmComplex<T>& c) noexcept {
  return c.real();
}
template <class T>
constexpr T imag(const KelmComplex<T>& c) noexcept {
  return c.imag();
}
template <class T>
constexpr KelmComplex<T> conjg(const KelmComplex<T>& c) noexcept {
  return KelmComplex<T>(c.real(), -c.imag());
}
template <class T>
inline T abs(const KelmComplex<T>& c) noexcept {
  return std::hypot(c.real(), c.imag());
}
