// Transforms, polynomial roots, splines and machine constants.
#pragma once

#include <kelmerr/kelm_api.h>
#include <kelmmath/KelmMatrix.h>
#include <kelmmath/KelmVector.h>

// Discrete Fourier transforms of any length (lengths with large prime factors
// included). Forward: X[k] = sum x[n] e^(-2 pi i k n / N). Inverse: the same
// with e^(+...), not normalised: FFTInverse(FFTForward(x)) is N * x.
//
// The real forward transform returns the packed half spectrum of N values:
// (R0, R1, I1, R2, I2, ..., and for even N the last real term R(N/2)). The
// real inverse transform reads the same layout and returns N real values.
KELM_API KelmVectorDouble FFTForward(const KelmVectorDouble& x);
KELM_API KelmVectorFloat FFTForward(const KelmVectorFloat& x);
KELM_API KelmVectorDcomplex FFTForward(const KelmVectorDcomplex& x);
KELM_API KelmVectorFcomplex FFTForward(const KelmVectorFcomplex& x);
KELM_API KelmVectorDouble FFTInverse(const KelmVectorDouble& packed);
KELM_API KelmVectorFloat FFTInverse(const KelmVectorFloat& packed);
KELM_API KelmVectorDcomplex FFTInverse(const KelmVectorDcomplex& x);
KELM_API KelmVectorFcomplex FFTInverse(const KelmVectorFcomplex& x);

// Complex roots of the polynomial c[0] + c[1] x + ... + c[n] x^n. Highest
// coefficients that are zero are dropped first; a constant polynomial has no
// roots (an empty vector).
KELM_API KelmVectorDcomplex zerosPolynomial(const KelmVectorDouble& c);
KELM_API KelmVectorFcomplex zerosPolynomial(const KelmVectorFloat& c);
KELM_API KelmVectorDcomplex zerosPolynomial(const KelmVectorDcomplex& c);
KELM_API KelmVectorFcomplex zerosPolynomial(const KelmVectorFcomplex& c);

// Polynomial splines in B-spline form.
//
// LSFit(x, y, order, breaks): the least-squares spline of the given order
// (degree order - 1) whose pieces join at the ascending break points, the
// first and last of which bound the fitted range. Order 2 gives the
// continuous piecewise-linear least-squares fit. Where the points do not
// determine every coefficient, the fit of least norm is taken. Returns 0 on
// success; otherwise reports 100001 (x and y of different lengths) or 100005
// (order below 1, fewer than two or not increasing break points, a point
// outside the break range), returns 1 and leaves the spline empty.
// Evaluation outside the break range continues the outermost piece.
template <class T>
class KELM_API KelmSpline {
 public:
  KelmSpline() = default;
  int LSFit(const KelmVector<T>& x, const KelmVector<T>& y, int order, const KelmVector<T>& breaks);
  KelmVector<T> operator()(const KelmVector<T>& points) const;
  T operator()(T point) const;
  bool empty() const noexcept { return m_coefficients.empty(); }
  int order() const noexcept { return m_order; }
  const KelmVector<T>& knots() const noexcept { return m_knots; }
  const KelmVector<T>& coefficients() const noexcept { return m_coefficients; }

 private:
  int m_order = 0;
  KelmVector<T> m_knots;
  KelmVector<T> m_coefficients;
};
using KelmSplineDouble = KelmSpline<double>;
using KelmSplineFloat = KelmSpline<float>;

// Machine constants of double precision:
//  1 smallest positive normalised number, 2 largest finite number,
//  3 smallest relative spacing (eps/2), 4 largest relative spacing (eps),
//  5 log10(2), 6 quiet NaN, 7 +infinity, 8 -infinity. Other arguments give 0.
KELM_API double kelm_amach(int which);
// The same constants of single precision.
KELM_API float kelm_samach(int which);
template <class T>
inline T kelmAmach(int which) {
  if constexpr (sizeof(T) == sizeof(float))
    return kelm_samach(which);
  else
    return kelm_amach(which);
}
