// Vector and polynomial routines, stability tests, linear prediction and
// root pairing. Polynomials are coefficient vectors in ascending powers,
// p[0] + p[1] x + p[2] x^2 + ...; for filters x stands for z^-1.
//
// Every routine is a template instantiated in the library for the element
// types named at its declaration ("real": double and float; "complex":
// KelmDcomplex and KelmFcomplex).
#pragma once

#include <kelmmath/kelmmath.h>
#include <kelmsp/KelmExport.h>

#include <type_traits>

// --- Vector routines (real and complex) ---

// Elements in reverse order; an empty vector reports 200117.
template <class T>
KELMSP_API KelmVector<T> reverse(const KelmVector<T>& v);
// Circular shift: k > 0 moves every element k places towards higher indices,
// k < 0 towards lower ones.
template <class T>
KELMSP_API KelmVector<T> shift(const KelmVector<T>& v, int k);
// sin(x)/x element by element, 1 near 0 (real); an empty vector reports 200117.
template <class T>
KELMSP_API KelmVector<T> sinc(const KelmVector<T>& v);

// --- Polynomial arithmetic ---

// Product (real and complex); empty operands report 200253.
template <class T>
KELMSP_API KelmVector<T> polynomialMultiply(const KelmVector<T>& p, const KelmVector<T>& q);
// Sum (real and complex); empty operands report 200253.
template <class T>
KELMSP_API KelmVector<T> polynomialSum(const KelmVector<T>& p, const KelmVector<T>& q);
// Long division p = quotient * d + remainder (real). Empty operands report
// 200253; a zero divisor reports 200107.
template <class T>
KELMSP_API void polynomialDivide(const KelmVector<T>& p, const KelmVector<T>& d, KelmVector<T>& quotient,
                                 KelmVector<T>& remainder);
// Largest index whose coefficient has magnitude above tol, 0 if none (real
// and complex); the one-argument form uses tol = eps^(2/3) of the precision
// (3.666852862501036e-11 for double). An empty vector
// reports 200253 and gives 0.
template <class T>
KELMSP_API int polynomialDegree(const KelmVector<T>& p, KelmRealOfT<T> tol);
template <class T>
KELMSP_API int polynomialDegree(const KelmVector<T>& p);
// p(x) by Horner's rule; an empty p gives 0. Real x with a real p, complex x
// with a real or complex p.
template <class T>
KELMSP_API T polynomialEvaluate(std::type_identity_t<T> x, const KelmVector<T>& p);
template <class T>
KELMSP_API KelmComplex<T> polynomialEvaluate(const KelmComplex<T>& x, const KelmVector<T>& p);
// The monic polynomial prod (x - r_i) (real and complex); empty r reports 200253.
template <class T>
KELMSP_API KelmVector<T> root2Poly(const KelmVector<T>& r);
// x and y with a x + b y = c, x of the least degree (real); 200252 when the
// greatest common divisor of a and b does not divide c.
template <class T>
KELMSP_API void polynomialEuclid(const KelmVector<T>& a, const KelmVector<T>& b, const KelmVector<T>& c,
                                 KelmVector<T>& x, KelmVector<T>& y);

// --- Stability and symmetric equations (real) ---

// 1 when every zero of z^m p(1/z) lies inside the circle of radius 1 - eps
// (each reflection coefficient below 1 - eps), 0 otherwise, -1 after an
// error (200100 empty p, 200110 eps outside [0, 1)).
template <class T>
KELMSP_API int schurCohnTest(const KelmVector<T>& p, KelmRealOfT<T> epsilon);
// x with X(z) A(1/z) + X(1/z) A(z) = R(z) + R(1/z), by Jury's recursion;
// 8019 when the equation is singular or too ill-conditioned.
template <class T>
KELMSP_API KelmVector<T> polynomialJury(const KelmVector<T>& a, const KelmVector<T>& r);
// Spectral factor: the minimum-phase b with B(z) B(1/z) = P(z) + P(1/z), p
// holding the half p[0..n] of a symmetric polynomial with p[0] halved.
template <class T>
KELMSP_API KelmVector<T> polynomialSqrt2(const KelmVector<T>& p);
// The polynomial with the zeros of z^m p(1/z) outside the unit circle
// reflected inside (z -> 1/z), so that it passes schurCohnTest; p itself when
// none lies outside. The result has result[0] = 1, or p[0] when keepGain is
// non-zero.
template <class T>
KELMSP_API KelmVector<T> polynomialStabilize(const KelmVector<T>& p, int keepGain);

// --- Linear prediction (real) ---

// Levinson-Durbin recursion on the autocorrelation r[0..p]: error powers
// e[0..p], reflection coefficients k[0..p] (k[0] = 0) and the (p+1) x (p+1)
// matrix A whose column i is the order-i predictor (1, a1, ..., ai).
template <class T>
KELMSP_API void levinsonDurbin(const KelmVector<T>& r, KelmVector<T>& e, KelmMatrixGeneral<T>& A, KelmVector<T>& k);
// The inverse: the autocorrelation r[0..p] from e and A.
template <class T>
KELMSP_API void levinsonAC(KelmVector<T>& r, const KelmVector<T>& e, const KelmMatrixGeneral<T>& A);
// Step-down from the final predictor a and its error power ep to the
// reflection coefficients, the lower-order predictors and error powers.
template <class T>
KELMSP_API void juryRC(std::type_identity_t<T> ep, const KelmVector<T>& a, KelmVector<T>& e, KelmMatrixGeneral<T>& A,
                       KelmVector<T>& k);
// x with T x = y, T[i][j] = r[|i - j|], by Levinson's recursion.
template <class T>
KELMSP_API KelmVector<T> toeplitzSolve(const KelmVector<T>& r, const KelmVector<T>& y);

// --- Root pairing (complex; the element type is KelmComplex<T>) ---

// Each root of the smaller of the groups |z| < 1 and |z| >= 1 followed by the
// root of the other group nearest to its reciprocal; unpaired roots follow.
template <class T>
KELMSP_API KelmVector<KelmComplex<T>> pairInv(const KelmVector<KelmComplex<T>>& z);
// Each root of the smaller of the groups imag < 0 and imag >= 0 followed by
// the root of the other group nearest to its conjugate; unpaired roots follow.
template <class T>
KELMSP_API KelmVector<KelmComplex<T>> pairConj(const KelmVector<KelmComplex<T>>& z);
