// FIR filter design: windows, the window method, least-squares designs, the
// Remez exchange, the complementary filter of a two-channel filter bank,
// Savitzky-Golay smoothers and the filters that upSample and downSample need.
//
// Frequencies are normalised so that 1 is half the sampling rate. Every design
// returns a FIR filter whose coefficients are the impulse response h[0..n-1];
// a failed check reports its code through the error component and returns an
// undefined filter (the window routines an empty vector).
//
// Every routine is a template instantiated in the library for float and
// double; the routines whose names carry the precision are inline aliases.
#pragma once

#include <kelmmath/kelmmath.h>
#include <kelmsp/KelmExport.h>
#include <kelmsp/KelmFilter.h>
#include <kelmsp/KelmOptions.h>

#include <type_traits>

// --- Windows ---

// Window of length n, k = 0..n-1:
//  rectangular, Hann, Hamming, Blackman: a0 - a1 cos(2 pi k/(n-1)) + a2 cos(4 pi k/(n-1))
//    with (a0, a1, a2) = (1, 0, 0), (0.5, 0.5, 0), (0.54, 0.46, 0), (0.42, 0.5, 0.08)
//    (Hamming and Blackman with the single-precision values of these numbers);
//  triangular: 1 - 2 |k - (n-1)/2| / (n-1);
//  Kaiser (parameter alpha): I0(pi alpha sqrt(1 - x^2)) / I0(pi alpha),
//    x = 2 (k - (n-1)/2)/(n-1);
//  Dolph-Chebyshev (parameter theta in (0, 1), n odd): the window whose
//    spectrum is the Chebyshev polynomial T_(n-1)(cos(omega/2)/cos(pi theta/2)),
//    main-lobe half-width pi theta and equal side lobes 1/T_(n-1)(1/cos(pi theta/2))
//    below the main lobe; normalised to 1 at the centre.
// Errors (severity 5 unless stated): 200118 n below 2; 200110 an unknown
// option; 200120 Kaiser or Dolph-Chebyshev without a parameter; 200119
// Dolph-Chebyshev of even length; 200110 theta outside (0, 1); 200212
// (severity 4) pi alpha beyond the range of the Bessel function.
template <class T>
KELMSP_API KelmVector<T> FIRWindow(int n, KelmFIRWindowOption option, std::type_identity_t<T> parameter);
template <class T>
KELMSP_API KelmVector<T> FIRWindow(int n, KelmFIRWindowOption option);

inline KelmVectorDouble FIRWindowDouble(int n, KelmFIRWindowOption option, double parameter) {
  return FIRWindow<double>(n, option, parameter);
}
inline KelmVectorDouble FIRWindowDouble(int n, KelmFIRWindowOption option) { return FIRWindow<double>(n, option); }
inline KelmVectorFloat FIRWindowFloat(int n, KelmFIRWindowOption option, float parameter) {
  return FIRWindow<float>(n, option, parameter);
}
inline KelmVectorFloat FIRWindowFloat(int n, KelmFIRWindowOption option) { return FIRWindow<float>(n, option); }

// --- Window method ---

// The ideal response of the band type sampled at t_k = k - (n-1)/2 and
// multiplied by the window (Hann of length n, or the caller's window):
// low-pass f1 sinc(pi f1 t); high-pass sinc(pi t) - f1 sinc(pi f1 t) (n odd);
// band-pass f2 sinc(pi f2 t) - f1 sinc(pi f1 t); band-stop sinc(pi t) +
// f1 sinc(pi f1 t) - f2 sinc(pi f2 t) (n odd). The cutoffs lie at about -6 dB.
// The one-edge forms design low-pass and high-pass filters.
// Errors: 200111 n below 2; 200101 a window shorter than 2; 200223 band-pass
// or band-stop in a one-edge form; 200110 an unknown option; 200224
// high-pass and 200225 band-stop of even length; 200254 f1 not below f2.
template <class T>
KELMSP_API KelmFIRFilter<T> FIRFilterDesign(KelmFilterDesignOption option, int n, T f);
template <class T>
KELMSP_API KelmFIRFilter<T> FIRFilterDesign(KelmFilterDesignOption option, const KelmVector<T>& window,
                                            std::type_identity_t<T> f);
template <class T>
KELMSP_API KelmFIRFilter<T> FIRFilterDesign(KelmFilterDesignOption option, int n, T f1, std::type_identity_t<T> f2);
template <class T>
KELMSP_API KelmFIRFilter<T> FIRFilterDesign(KelmFilterDesignOption option, const KelmVector<T>& window,
                                            std::type_identity_t<T> f1, std::type_identity_t<T> f2);

// --- Least squares ---

// Least-squares (Wiener) smoother of odd length n for a signal with the
// autocorrelation r in noise with the autocorrelation p: h solves the
// Toeplitz system (r + p) h = (r[q], ..., r[1], r[0], r[1], ..., r[q]),
// q = (n-1)/2. Errors: 200226 r and p of different lengths; 200255 r
// shorter than n; 200227 n even; 200109 n not positive; and those of
// toeplitzSolve.
template <class T>
KELMSP_API KelmFIRFilter<T> FIRLSFilterDesign(int n, const KelmVector<T>& r, const KelmVector<T>& p);

// Linear-phase filter of length n whose amplitude fits the samples a at the
// frequencies f in the least-squares sense: symmetric (types I, II) or, when
// antisymmetric is non-zero, antisymmetric (types III, IV, the response then
// being j times the amplitude). With density >= 1 the target is the
// piecewise-linear interpolant of (f, a) on len(f) * density equally spaced
// frequencies from 0 to 1; with density < 1 the given points are used
// directly, unless they are fewer than the half length q (then density 4).
// Errors: 200100 f or a shorter than 3; 200112 f and a of different
// lengths; 200228 f not strictly increasing; 200256 f outside [0, 1];
// 200214 n below 1 (below 2 when antisymmetric); 200110 a grid too large;
// 200229, 200230, 200231 an exactly determined design asked for a response
// the type cannot have (even symmetric at 1, odd antisymmetric at 0 or 1,
// even antisymmetric at 0).
template <class T>
KELMSP_API KelmFIRFilter<T> FIRLSFilterDesign(int n, const KelmVector<T>& f, const KelmVector<T>& a, int antisymmetric,
                                              int density);

// --- Remez exchange ---

// Equiripple (minimax) design of length nfilt after McClellan, Parks and
// Rabiner. type 1: multiple-band filter, fx the desired gain of each band;
// type 2: differentiator, desired amplitude fx * f/2 in each band (f the
// normalised frequency; fx = 2 pi gives the derivative d/dn), weighted by
// 1/(f/2) where fx >= 0.0001; type 3: Hilbert transformer, desired gain fx.
// edges holds the band edges in pairs (0 <= edge <= 1, strictly increasing),
// wtx a positive weight per band, lgrid the grid density (16 is usual) and
// *maxit the iteration limit (1..25). Types 2 and 3 are antisymmetric; with
// M = (nfilt-1)/2 their responses are H(e^jw) = j A(w) e^(-jwM) for the
// differentiator and H(e^jw) = -j A(w) e^(-jwM) for the Hilbert transformer
// (0 < w < pi), A being the designed amplitude, so that both carry the sign
// of their ideal (j w and -j sign(w)).
// Errors: 200214 nfilt below 3; 200215 type; 200216 odd number of edges;
// 200217 fewer than 2 or more than 20 edges; 200108 fx or wtx not one per
// band; 200214 lgrid not positive; 200218 maxit outside 1..25 (or no
// maxit); 200219 an edge outside [0, 1]; 200228 edges not strictly
// increasing; 200109 a weight not positive; 200110 nfilt or the grid too
// large; 200214 a grid too coarse for the filter length (with the density
// needed); 200220 no convergence in *maxit iterations.
template <class T>
KELMSP_API KelmFIRFilter<T> FIRRemezFilterDesign(std::type_identity_t<T> nfilt, std::type_identity_t<T> type,
                                                 const KelmVector<T>& edges, const KelmVector<T>& fx,
                                                 const KelmVector<T>& wtx, int* maxit,
                                                 std::type_identity_t<T> lgrid);

// --- Two-channel filter bank ---

// The filter g = h s that turns the low-pass h into an orthogonal
// two-channel filter bank: G(z) G(1/z) + G(-z) G(-1/z) = 1, usable with
// QMFForward and QMFBackward (s is the minimum-phase spectral factor of the
// symmetric m with E(z) m(z) + E(-z) m(-z) = 1, E(z) = h(z) h(1/z)); g has
// 2 L - 2 coefficients, L the length of h without negligible trailing ones.
// Errors: 200100 h with fewer than 2 such coefficients; 200252 h(z) and h(-z) sharing
// zeros (no m exists); 200251 (from polynomialSqrt2) m not positive on the
// unit circle (no such filter exists for this h).
template <class T>
KELMSP_API KelmFIRFilter<T> FIRQMFFilterDesign(const KelmVector<T>& h);

// --- Savitzky-Golay smoother ---

// Smoother of odd length n that replaces each sample by the value at the
// centre of the least-squares polynomial of degree l through the n samples
// around it (degree 2 floor(l/2) gives the same filter); it passes
// polynomials of that degree unchanged. Errors: 200213 n not an odd whole
// number; 200214 l negative; 200111 l above n; 200110 n too large.
template <class T>
KELMSP_API KelmFIRFilter<T> KelmFIRSGFFilterDesign(std::type_identity_t<T> n, std::type_identity_t<T> l);

inline KelmFIRFilterDouble KelmFIRSGFFilterDesignDouble(double n, double l) {
  return KelmFIRSGFFilterDesign<double>(n, l);
}
inline KelmFIRFilterFloat KelmFIRSGFFilterDesignFloat(float n, float l) { return KelmFIRSGFFilterDesign<float>(n, l); }

// --- Resampling filters ---

// Anti-alias low-pass for decimation by m of a signal of n samples: the
// window design with cutoff 1/m and a Hamming window of length n/5 limited
// to 16..128. Errors: 200100 m below 2.
template <class T>
KELMSP_API KelmFIRFilter<T> downSampleFilterDesign(int m, int n);

// Interpolation filter for up-sampling by l: 2 n l + 1 coefficients, the
// optimal interpolator from 2n neighbours of a signal band-limited to alpha
// (1 = half the rate before up-sampling); symmetric about index n l, where it
// is 1, and 0 at the other multiples of l. Errors: 200110 alpha outside
// (0, 1]; 200109 l or n not positive (or a filter too long); and those of
// toeplitzSolve.
template <class T>
KELMSP_API KelmFIRFilter<T> upSampleFilterDesign(int l, int n, std::type_identity_t<T> alpha);

inline KelmFIRFilterDouble downSampleFilterDesignDouble(int m, int n) { return downSampleFilterDesign<double>(m, n); }
inline KelmFIRFilterFloat downSampleFilterDesignFloat(int m, int n) { return downSampleFilterDesign<float>(m, n); }
inline KelmFIRFilterDouble upSampleFilterDesignDouble(int l, int n, double alpha) {
  return upSampleFilterDesign<double>(l, n, alpha);
}
inline KelmFIRFilterFloat upSampleFilterDesignFloat(int l, int n, float alpha) {
  return upSampleFilterDesign<float>(l, n, alpha);
}
