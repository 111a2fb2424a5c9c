// Roots of real polynomials, for factoring filters into sections.
#pragma once

#include <complex>
#include <vector>

// The roots of p[0] + p[1] x + ... + p[n] x^n, found all at once
// (Aberth-Ehrlich iteration in extended precision, each root then polished
// by Newton steps on the polynomial itself). Trailing zero coefficients
// lower the degree; leading zero coefficients give roots at 0. Complex roots
// come in exact conjugate pairs, real roots with an imaginary part of 0.
// Empty when p is empty, all zero, or a coefficient is not finite, or when
// the iteration does not settle.
std::vector<std::complex<double>> polynomialRoots(const std::vector<double>& p);

// The roots in z of a filter polynomial c[0] + c[1] z^-1 + c[2] z^-2 + ...:
// those of the polynomial without its leading zero coefficients (a delay of
// that many samples, which has no finite root) and its trailing ones. False
// when c has no coefficient other than 0 or its roots cannot be found.
bool filterPolynomialRootsInZ(const std::vector<double>& c, std::vector<std::complex<double>>& roots);

// Makes a set of estimated roots of a real polynomial conjugate-symmetric:
// roots whose imaginary part is within 1e-5 of their size become real (a
// pair that close to the axis is a double real root for every purpose of a
// filter), the others are matched with the root nearest to their mirror
// image and both set to the mean of the two estimates; a complex root left
// without a partner becomes real. Real roots come first, then the pairs.
void makeConjugateSymmetric(std::vector<std::complex<double>>& roots);
