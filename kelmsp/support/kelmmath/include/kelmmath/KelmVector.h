// Vectors of real, complex and integer values.
//
// A vector has a length, an element array and an index base: element access
// v(i) and v[i] read element i - base (base 0 unless set). Copies share the
// element array but behave as independent values (see KelmShared.h).
// Element-wise operations on vectors of different lengths report 100001
// through the error component and give an empty vector.
#pragma once

#include <kelmerr/kelm_api.h>
#include <kelmerr/kelmerr.h>
#include <kelmmath/KelmComplex.h>
#include <kelmmath/KelmShared.h>

#include <cassert>
#include <cmath>
#include <cstddef>
#include <initializer_list>
#include <type_traits>

namespace kelm_detail {
inline void reportSizeMismatch(int a, int b) {
  kelm_e1sti(1, a);
  kelm_e1sti(2, b);
  kelm_ermes(KELM_TERMINAL, 100001);
}
}  // namespace kelm_detail

template <class T>
class KELM_API KelmVector {
 public:
  using value_type = T;
  using real_type = KelmRealOfT<T>;

  KelmVector() noexcept = default;
  // n zeroed elements.
  explicit KelmVector(int n, int base = 0) : m_data(n > 0 ? std::size_t(n) : 0), m_base(base) {}
  // n values copied from an array.
  KelmVector(int n, const T* values, int base = 0) : m_data(n > 0 ? std::size_t(n) : 0), m_base(base) {
    T* d = m_data.mutableData();
    for (int i = 0; i < n; ++i) d[i] = values[i];
  }
  KelmVector(std::initializer_list<T> values) : m_data(values.size()) {
    T* d = m_data.mutableData();
    std::size_t i = 0;
    for (const T& v : values) d[i++] = v;
  }
  // Conversion: single to double precision, real to complex.
  template <class U, std::enable_if_t<!std::is_same_v<U, T>, int> = 0>
  explicit KelmVector(const KelmVector<U>& other) : m_data(std::size_t(other.length())), m_base(other.base()) {
    T* d = m_data.mutableData();
    const U* s = other.array();
    for (int i = 0; i < other.length(); ++i) d[i] = T(s[i]);
  }

  KelmVector(const KelmVector&) = default;
  KelmVector(KelmVector&&) noexcept = default;
  KelmVector& operator=(const KelmVector&) = default;
  KelmVector& operator=(KelmVector&&) noexcept = default;
  ~KelmVector() = default;

  // Every element takes the scalar.
  KelmVector& operator=(const T& scalar) {
    T* d = m_data.mutableData();
    for (int i = 0; i < length(); ++i) d[i] = scalar;
    return *this;
  }

  int length() const noexcept { return static_cast<int>(m_data.size()); }
  bool empty() const noexcept { return m_data.size() == 0; }
  int base() const noexcept { return m_base; }
  void setBase(int base) noexcept { m_base = base; }

  const T* array() const noexcept { return m_data.data(); }
  T* array() { return m_data.mutableData(); }

  const T& operator()(int i) const noexcept { return at(i); }
  T& operator()(int i) { return mutableAt(i); }
  const T& operator[](int i) const noexcept { return at(i); }
  T& operator[](int i) { return mutableAt(i); }

  const T* begin() const noexcept { return m_data.data(); }
  const T* end() const noexcept { return m_data.data() + m_data.size(); }

  // Number of vectors sharing the element array (0 for an empty vector).
  int useCount() const noexcept { return m_data.useCount(); }
  bool sharesArrayWith(const KelmVector& other) const noexcept { return m_data.sharesWith(other.m_data); }

  // Elements first, first + stride, ... up to last (indices with the base;
  // a negative stride walks backwards). An index outside the vector or a zero
  // stride reports 100002 and gives an empty vector.
  KelmVector getSection(int first, int last, int stride = 1) const {
    const int f = first - m_base;
    const int l = last - m_base;
    if (stride == 0 || f < 0 || l < 0 || f >= length() || l >= length() || (stride > 0 && l < f) ||
        (stride < 0 && l > f)) {
      kelm_e1sti(1, first);
      kelm_e1sti(2, last);
      kelm_e1sti(3, stride);
      kelm_ermes(KELM_TERMINAL, 100002);
      return KelmVector();
    }
    const int n = (l - f) / stride + 1;
    KelmVector out(n, m_base);
    T* d = out.m_data.mutableData();
    const T* s = array();
    for (int i = 0; i < n; ++i) d[i] = s[f + i * stride];
    return out;
  }

  // Inserts a value before the element at position (index with the base);
  // position = base + length appends. Another position reports 100003.
  KelmVector& insert(const T& value, int position) {
    const int p = position - m_base;
    if (p < 0 || p > length()) {
      kelm_e1sti(1, position);
      kelm_ermes(KELM_TERMINAL, 100003);
      return *this;
    }
    KelmVector out(length() + 1, m_base);
    T* d = out.m_data.mutableData();
    const T* s = array();
    for (int i = 0; i < p; ++i) d[i] = s[i];
    d[p] = value;
    for (int i = p; i < length(); ++i) d[i + 1] = s[i];
    *this = out;
    return *this;
  }

  // 0, 1, 2, ...
  KelmVector& ramp() {
    T* d = m_data.mutableData();
    for (int i = 0; i < length(); ++i) d[i] = T(real_type(i));
    return *this;
  }

  KelmVector operator-() const {
    KelmVector out(length(), m_base);
    T* d = out.m_data.mutableData();
    for (int i = 0; i < length(); ++i) d[i] = -array()[i];
    return out;
  }

  KelmVector& operator+=(const KelmVector& o) { return apply(o, [](T& a, const T& b) { a += b; }); }
  KelmVector& operator-=(const KelmVector& o) { return apply(o, [](T& a, const T& b) { a -= b; }); }
  KelmVector& operator*=(const KelmVector& o) { return apply(o, [](T& a, const T& b) { a *= b; }); }
  KelmVector& operator/=(const KelmVector& o) { return apply(o, [](T& a, const T& b) { a /= b; }); }
  KelmVector& operator+=(const T& s) { return applyScalar([&s](T& a) { a += s; }); }
  KelmVector& operator-=(const T& s) { return applyScalar([&s](T& a) { a -= s; }); }
  KelmVector& operator*=(const T& s) { return applyScalar([&s](T& a) { a *= s; }); }
  KelmVector& operator/=(const T& s) { return applyScalar([&s](T& a) { a /= s; }); }

 private:
  const T& at(int i) const noexcept {
    assert(i - m_base >= 0 && i - m_base < length());
    return m_data.data()[i - m_base];
  }
  T& mutableAt(int i) {
    assert(i - m_base >= 0 && i - m_base < length());
    return m_data.mutableData()[i - m_base];
  }
  template <class F>
  KelmVector& apply(const KelmVector& o, F f) {
    if (o.length() != length()) {
      kelm_detail::reportSizeMismatch(length(), o.length());
      *this = KelmVector();
      return *this;
    }
    const KelmVector keep = o;  // o may be *this or share our array
    T* d = m_data.mutableData();
    const T* s = keep.array();
    for (int i = 0; i < length(); ++i) f(d[i], s[i]);
    return *this;
  }
  template <class F>
  KelmVector& applyScalar(F f) {
    T* d = m_data.mutableData();
    for (int i = 0; i < length(); ++i) f(d[i]);
    return *this;
  }

  KelmSharedArray<T> m_data;
  int m_base = 0;
};

using KelmVectorDouble = KelmVector<double>;
using KelmVectorFloat = KelmVector<float>;
using KelmVectorInt = KelmVector<int>;
using KelmVectorDcomplex = KelmVector<KelmDcomplex>;
using KelmVectorFcomplex = KelmVector<KelmFcomplex>;

// Element-wise binary operators with vectors and scalars.
#define KELM_VECTOR_BINARY(op)                                                                        \
  template <class T>                                                                                  \
  KelmVector<T> operator op(const KelmVector<T>& a, const KelmVector<T>& b) {                         \
    KelmVector<T> r = a;                                                                              \
    return r op## = b;                                                                                \
  }                                                                                                   \
  template <class T>                                                                                  \
  KelmVector<T> operator op(const KelmVector<T>& a, const std::type_identity_t<T>& s) {               \
    KelmVector<T> r = a;                                                                              \
    return r op## = s;                                                                                \
  }                                                                                                   \
  template <class T>                                                                                  \
  KelmVector<T> operator op(const std::type_identity_t<T>& s, const KelmVector<T>& b) {               \
    KelmVector<T> r(b.length(), b.base());                                                            \
    r = s;                                                                                            \
    return r op## = b;                                                                                \
  }
KELM_VECTOR_BINARY(+)
KELM_VECTOR_BINARY(-)
KELM_VECTOR_BINARY(*)
KELM_VECTOR_BINARY(/)
#undef KELM_VECTOR_BINARY

namespace kelm_detail {
template <class T, class F>
auto mapVector(const KelmVector<T>& v, F f) {
  using R = decltype(f(std::declval<T>()));
  KelmVector<R> out(v.length(), v.base());
  R* d = out.array();
  const T* s = v.array();
  for (int i = 0; i < v.length(); ++i) d[i] = f(s[i]);
  return out;
}
template <class T>
auto absValue(const T& x) {
  if constexpr (kKelmIsComplex<T>) {
    return std::hypot(x.real(), x.imag());
  } else {
    return std::abs(x);
  }
}
}  // namespace kelm_detail

template <class T>
KelmVector<KelmRealOfT<T>> abs(const KelmVector<T>& v) {
  return kelm_detail::mapVector(v, [](const T& x) { return KelmRealOfT<T>(kelm_detail::absValue(x)); });
}
template <class T>
KelmVector<T> conjg(const KelmVector<T>& v) {
  if constexpr (kKelmIsComplex<T>) {
    return kelm_detail::mapVector(v, [](const T& x) { return conjg(x); });
  } else {
    return v;
  }
}
template <class T, std::enable_if_t<std::is_floating_point_v<T>, int> = 0>
KelmVector<T> cos(const KelmVector<T>& v) {
  return kelm_detail::mapVector(v, [](T x) { return std::cos(x); });
}
template <class T, std::enable_if_t<std::is_floating_point_v<T>, int> = 0>
KelmVector<T> sin(const KelmVector<T>& v) {
  return kelm_detail::mapVector(v, [](T x) { return std::sin(x); });
}
template <class T, std::enable_if_t<std::is_floating_point_v<T>, int> = 0>
KelmVector<T> sqrt(const KelmVector<T>& v) {
  return kelm_detail::mapVector(v, [](T x) { return std::sqrt(x); });
}
template <class T>
T sum(const KelmVector<T>& v) {
  T s = T(0);
  for (const T& x : v) s += x;
  return s;
}
template <class T>
T product(const KelmVector<T>& v) {
  T p = T(1);
  for (const T& x : v) p *= x;
  return p;
}
// Largest and smallest element; 0 for an empty vector.
template <class T, std::enable_if_t<!kKelmIsComplex<T>, int> = 0>
T maxval(const KelmVector<T>& v) {
  if (v.empty()) return T(0);
  T m = v.array()[0];
  for (const T& x : v) m = x > m ? x : m;
  return m;
}
template <class T, std::enable_if_t<!kKelmIsComplex<T>, int> = 0>
T minval(const KelmVector<T>& v) {
  if (v.empty()) return T(0);
  T m = v.array()[0];
  for (const T& x : v) m = x < m ? x : m;
  return m;
}

// n values 0, 1, ..., n - 1; and n equally spaced values from first to last.
template <class T>
KelmVector<T> kelmRamp(int n) {
  KelmVector<T> v(n);
  return v.ramp();
}
template <class T>
KelmVector<T> kelmRamp(int n, T first, T last) {
  KelmVector<T> v(n);
  T* d = v.array();
  for (int i = 0; i < n; ++i) {
    d[i] = n == 1 ? first : first + (last - first) * T(i) / T(n - 1);
  }
  if (n > 1) d[n - 1] = last;
  return v;
}
inline KelmVectorDouble KelmRampDouble(int n) { return kelmRamp<double>(n); }
inline KelmVectorDouble KelmRampDouble(int n, double first, double last) { return kelmRamp<double>(n, first, last); }
inline KelmVectorFloat KelmRampFloat(int n) { return kelmRamp<float>(n); }
inline KelmVectorFloat KelmRampFloat(int n, float first, float last) { return kelmRamp<float>(n, first, last); }
