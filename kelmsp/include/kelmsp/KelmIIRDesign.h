// IIR filter design: the four classical low-pass prototypes mapped to the
// z-plane by the bilinear transform, order estimation, complete elliptic
// integrals, mapping polynomials for frequency transformations, and
// pole-zero models fitted to data (Prony's method, linear prediction).
//
// Frequencies are normalised: 1 is half the sampling rate. The designs use
// pi = 3.1415927410125732 (the single-precision value) for prewarping and
// section angles; the frequency transformations and the responses of the
// filter objects use the same value, so band edges land where they are asked
// for (within about 1e-7) when the filters are evaluated with the library's
// responses.
// Filters come back with b and a in ascending powers of z^-1.
//
// The frequency transformations and the bilinear transformation are members
// of the IIR filter class (KelmFilter.h). Every routine is a template
// instantiated in the library for float and double.
#pragma once

#include <kelmmath/kelmmath.h>
#include <kelmsp/KelmExport.h>
#include <kelmsp/KelmFilter.h>
#include <kelmsp/KelmOptions.h>

#include <type_traits>

// Low-pass design of order n with edge fp in (0, 1): the passband edge for
// Butterworth (gain 1/sqrt(2) there), Chebyshev and elliptic filters, the
// edge where the stopband begins for the inverse Chebyshev filter. p1 is the
// passband ripple rp (Chebyshev, elliptic: the passband gain stays within
// [1 - rp, 1]) or the stopband gain rs (inverse Chebyshev); p2 is the
// stopband gain rs of the elliptic filter; unused parameters are ignored.
// b and a are normalised to a[0] = 1. Errors (undefined filter): 200110 option
// outside 0..3, 200109 n below 1, 200110 fp, rp or rs outside (0, 1), 200110
// an elliptic rs not below 1 - rp.
template <class T>
KELMSP_API KelmIIRFilter<T> IIRFilterDesign(KelmIIRFilterOption option, int n, T fp, std::type_identity_t<T> p1,
                                            std::type_identity_t<T> p2);

// The least order for which a filter of the option meets the passband edge
// fp with ripple rp and the stopband edge fs with stopband gain rs. The
// selectivity is the ratio tan(pi fp / 2) / tan(pi fs / 2) of the prewarped
// edges, so that the designs of IIRFilterDesign of that order meet the
// specification: Chebyshev and elliptic filters designed with the edge fp,
// inverse Chebyshev filters with the edge fs, Butterworth filters with an
// edge between whose gain at fp is 1 - rp. Returns 0 after an error: 200110
// option outside 0..3, fp, fs, rp or rs outside (0, 1), or rs not below
// 1 - rp; 200111 fs not above fp.
template <class T>
KELMSP_API int IIROrder(KelmIIRFilterOption option, T fp, std::type_identity_t<T> fs, std::type_identity_t<T> rp,
                        std::type_identity_t<T> rs);

// Complete elliptic integral of the first kind K(m) for the parameter
// m = k^2 in [0, 1) (200110 otherwise, result 0).
template <class T>
KELMSP_API T KelmElk(T m);

// Carlson's symmetric integral R_F(x, y, z). Errors (result 0): 200113 a
// negative argument, 200114 the sum of two arguments below the smallest
// normalised number, 200115 an argument above the largest finite number.
template <class T>
KELMSP_API T KelmElrf(T x, std::type_identity_t<T> y, std::type_identity_t<T> z);

// Mapping polynomial D for KelmIIRFilter::frequencyTransformation(D): an
// all-pass of degree len(phi) that takes each frequency phi[i] to the edge
// 0.5 of a low-pass prototype, so that the transformed filter has a band
// edge at every phi[i] (ascending values in (0, 1)). D[0] = 1, or D is given
// reversed (last coefficient 1) when reversed is non-zero. An empty phi
// reports 200117 and gives an empty vector.
template <class T>
KELMSP_API KelmVector<T> frequencyTransformationDesign(const KelmVector<T>& phi, int reversed);

// Prony's method: the filter with numerator order nb and denominator order
// na whose impulse response matches h exactly in its first nb + 1 samples
// and in the least-squares sense after them. Errors (undefined filter):
// 200118 nb or na negative, 200243 h shorter than nb + na + 1 samples.
template <class T>
KELMSP_API KelmIIRFilter<T> IIRLSFilterDesign(int nb, int na, const KelmVector<T>& h);

// The same fit to the impulse response of length c + 1 computed from the
// frequency response H at the frequencies 2j/(c + 1), j = 0 .. (c + 1)/2
// (complex samples of B/A on the upper half of the unit circle, as
// frequencyResponseZ gives them). Errors: 200118 nb or na negative, 200241 c
// below 1 or below nb + na, 200242 H holding fewer than (c + 1)/2 + 1 values.
template <class T>
KELMSP_API KelmIIRFilter<T> IIRLSFilterDesign(int nb, int na, const KelmVector<KelmComplex<T>>& H, int c);

// All-pole model 1/A(z) of order p of the signal x by the autocorrelation
// method (a[0] = 1, b = (1)). Errors (undefined filter): 200109 p below 1,
// 200100 x shorter than 2 samples, and those of toeplitzSolve (200107 for a
// signal of zeros).
template <class T>
KELMSP_API KelmIIRFilter<T> IIRLPCFilterDesign(const KelmVector<T>& x, int p);
