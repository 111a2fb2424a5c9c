// Internal helpers shared by every routine of the library: the routine text
// pushed on the error stack, error reports, constants and element helpers.
#pragma once

#include <kelmerr/kelmerr.h>
#include <kelmmath/kelmmath.h>

#include <cmath>
#include <initializer_list>
#include <string>
#include <type_traits>

namespace kelm_detail {

// The routine text of the single-precision twin follows from the double
// one: Double -> Float, Dcomplex -> Fcomplex, double -> float.
std::string singleRoutineText(const char* doubleText);

template <class T>
inline constexpr bool kIsSingle = std::is_same_v<KelmRealOfT<T>, float>;

// Pushes the routine text on entry and pops it on every way out.
class RoutineGuard {
 public:
  explicit RoutineGuard(const char* text) : m_text(text) { kelm_e1psh(m_text); }
  ~RoutineGuard() { kelm_e1pop(m_text); }
  RoutineGuard(const RoutineGuard&) = delete;
  RoutineGuard& operator=(const RoutineGuard&) = delete;

 private:
  const char* m_text;
};

// Reports code with the given text, integer and real parameters (slots in order).
void reportError(int code, std::initializer_list<const char*> texts = {}, std::initializer_list<int> ints = {},
                 std::initializer_list<double> reals = {}, int severity = KELM_TERMINAL);

// True when the last message is worse than a warning: the caller stops too.
inline bool failed() { return kelm_n1rty(0) > KELM_WARNING; }

// pi as used throughout the library: the single-precision value held in a double.
inline constexpr double kPi = 3.1415927410125732;
// sqrt(2) of the filter banks.
inline constexpr double kSqrt2 = 1.4142135623730951;
// Machine epsilon of double precision, used for the fixed tolerances.
inline constexpr double kEps = 2.220446049250313e-16;

// Tolerances that follow the precision of the twin: the double values are
// eps^(2/3) = 3.666852862501036e-11 and sqrt(eps) = 1.4901161193847656e-08;
// the single-precision twin uses the same powers of its own epsilon, since
// float arithmetic cannot resolve the double values.
template <class T>
constexpr double degreeTolerance() {
  return kIsSingle<T> ? 2.422181780957337e-05 : 3.666852862501036e-11;
}
template <class T>
constexpr double sqrtEpsilon() {
  return kIsSingle<T> ? 3.4526698300124393e-04 : 1.4901161193847656e-08;
}

template <class T>
inline KelmRealOfT<T> magnitude(const T& x) {
  if constexpr (kKelmIsComplex<T>)
    return std::hypot(x.real(), x.imag());
  else
    return std::fabs(x);
}

template <class T>
inline T conjOf(const T& x) {
  if constexpr (kKelmIsComplex<T>)
    return conjg(x);
  else
    return x;
}

// Smallest number of the form 2^i 3^j 5^k not below n (1 for n <= 1).
int fastLength(long long n);

// The Hann window of length n (n >= 2): 0.5 - 0.5 cos(2 pi k / (n - 1)),
// with 2 pi = 6.2831854820251465.
template <class R>
KelmVector<R> hannWindow(int n);

}  // namespace kelm_detail

// Declares the routine's text (written for the double-precision twin) and
// pushes it for the rest of the scope. T must name the routine's element type.
#define KELM_ROUTINE(doubleText)                                                                           \
  static const std::string kelmRoutineText_ =                                                              \
      kelm_detail::kIsSingle<T> ? kelm_detail::singleRoutineText(doubleText) : std::string(doubleText);    \
  const kelm_detail::RoutineGuard kelmRoutineGuard_(kelmRoutineText_.c_str())
