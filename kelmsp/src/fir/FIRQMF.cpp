// The complementary filter of a low-pass for an orthogonal two-channel
// filter bank.
#include <kelmsp/KelmFIRDesign.h>
#include <kelmsp/KelmPolynomial.h>

#include "fir/FIRInternal.h"

using kelm_detail::failed;
using kelm_detail::reportError;

// With E(z) = H(z) H(1/z) and E(-z), Euclid's algorithm gives the symmetric
// M with E(z) M(z) + E(-z) M(-z) = 1 (in powers of z shifted to a
// polynomial); the result is H times the spectral factor S of M, so that
// G(z) G(1/z) = E(z) M(z) is a half-band product.
template <class T>
KelmFIRFilter<T> FIRQMFFilterDesign(const KelmVector<T>& h) {
  KELM_ROUTINE("FIRQMFFilterDesign(const KelmVectorDouble&)");
  using Filter = KelmFIRFilter<T>;
  if (h.length() < 2) return reportError(200100, {"h"}, {2}), Filter();
  const int degree = polynomialDegree(h);
  if (failed()) return Filter();
  // A filter of one significant coefficient has no complementary filter of
  // this form.
  if (degree < 1) return reportError(200100, {"h"}, {2}), Filter();
  KelmVector<T> H(degree + 1), D(degree + 1);
  for (int k = 0; k <= degree; ++k) {
    H.array()[k] = h.array()[k];
    D.array()[k] = k % 2 == 0 ? h.array()[k] : -h.array()[k];
  }
  const KelmVector<T> E = polynomialMultiply(H, reverse(H));
  if (failed()) return Filter();
  const KelmVector<T> G = polynomialMultiply(D, reverse(D));
  if (failed()) return Filter();
  const int top = polynomialDegree(E);
  if (failed()) return Filter();
  KelmVector<T> target(top);
  target.array()[top - 1] = T(1);
  KelmVector<T> M, X;
  polynomialEuclid(E, G, target, M, X);
  if (failed() || M.empty()) return Filter();
  // The half M[0 .. len/2] read from the centre outwards, centre halved.
  const int half = M.length() / 2;
  KelmVector<T> U(half + 1);
  for (int i = 0; i <= half; ++i) U.array()[i] = M.array()[half - i];
  U.array()[0] /= T(2);
  const KelmVector<T> S = polynomialSqrt2(U);
  if (failed()) return Filter();
  const KelmVector<T> g = polynomialMultiply(H, S);
  if (failed()) return Filter();
  return Filter(g);
}

template KelmFIRFilter<double> FIRQMFFilterDesign(const KelmVector<double>&);
template KelmFIRFilter<float> FIRQMFFilterDesign(const KelmVector<float>&);
