// FIR and IIR filter objects in single and double precision.
//
// A FIR filter holds its coefficients b (the impulse response); an IIR filter
// holds numerator b and denominator a of B(z)/A(z), both in ascending powers
// of z^-1. A filter is defined when its coefficient vectors are not empty.
// Filters own their vectors; copies behave as independent values.
//
// The members are defined in the library and instantiated for float and
// double only (the Float and Double names below).
#pragma once

#include <kelmmath/kelmmath.h>
#include <kelmsp/KelmExport.h>
#include <kelmsp/KelmOptions.h>

template <class T>
class KELMSP_API KelmFIRFilter {
 public:
  using Vector = KelmVector<T>;
  using ComplexVector = KelmVector<KelmComplex<T>>;

  // Empty, not defined.
  KelmFIRFilter();
  KelmFIRFilter(const KelmFIRFilter& other);
  // Takes the coefficients; defined when there is at least one.
  explicit KelmFIRFilter(const Vector& b);
  // Copies n coefficients; defined when n > 0.
  KelmFIRFilter(int n, const T* coefficients);
  KelmFIRFilter& operator=(const KelmFIRFilter& other);
  ~KelmFIRFilter();

  // A copy of the coefficients.
  Vector B() const;
  // Non-zero when the filter holds at least one coefficient.
  int defined() const { return m_defined; }

  // Filtering by FFT convolution. With n coefficients the result is aligned
  // by the delay n/2 unless a delay is given: the plain forms return as many
  // samples as x has (the linear convolution from index delay on), the
  // periodic option the circular convolution rotated back by the delay, and
  // the full option the whole linear convolution. Errors: 200105 undefined
  // filter, 200232 full and periodic together, 200233 x shorter than the
  // filter, 200234 delay above n, 200235 negative delay.
  Vector operator()(const Vector& x) const;
  Vector operator()(const Vector& x, KelmFIRFilterOption option) const;
  Vector operator()(const Vector& x, int delay) const;
  Vector operator()(const Vector& x, KelmFIRFilterOption option, int delay) const;

  // B(p) at real or complex points p (ascending powers of p).
  ComplexVector frequencyResponseS(const Vector& points) const;
  ComplexVector frequencyResponseS(const ComplexVector& points) const;
  // Response at the given normalised frequencies (1 = half the sampling
  // rate); f receives the frequencies.
  ComplexVector frequencyResponseZ(const Vector& frequencies, Vector& f) const;
  // Evenly spaced response by FFT: L/2 values at the frequencies 2k/L, with
  // L = 2n (or longer for long filters); f receives those frequencies.
  ComplexVector frequencyResponseZ(int n, Vector& f) const;
  ComplexVector frequencyResponseZ(int n) const;
  // The same with n = 512.
  ComplexVector frequencyResponseZ(Vector& f) const;

  // The first n samples of the response to a unit impulse.
  Vector impulseResponse(int n) const;

 private:
  Vector m_b;
  int m_defined;
};

template <class T>
class KELMSP_API KelmIIRFilter {
 public:
  using Vector = KelmVector<T>;
  using ComplexVector = KelmVector<KelmComplex<T>>;

  // Empty, not defined.
  KelmIIRFilter();
  // Copy; the vectors are copied only when the source is defined.
  KelmIIRFilter(const KelmIIRFilter& other);
  // b = the FIR coefficients, a = (1); defined when b is not empty.
  explicit KelmIIRFilter(const KelmFIRFilter<T>& fir);
  // Defined when both vectors hold at least one coefficient.
  KelmIIRFilter(const Vector& b, const Vector& a);
  // Copies nb and na coefficients; defined when both counts are above 0.
  KelmIIRFilter(int nb, const T* b, int na, const T* a);
  KelmIIRFilter& operator=(const KelmIIRFilter& other);
  ~KelmIIRFilter();

  // Copies of numerator and denominator.
  Vector B() const;
  Vector A() const;
  int defined() const { return m_defined; }

  // Causal filtering (transposed direct form II), or zero-phase filtering
  // with the response |H|^2 when zeroPhase is non-zero. Errors: 200105
  // undefined filter, 200107 a[0] = 0.
  Vector operator()(const Vector& x) const;
  Vector operator()(const Vector& x, int zeroPhase) const;

  // B(p)/A(p) at real or complex points (a zero denominator warns with 200244).
  ComplexVector frequencyResponseS(const Vector& points) const;
  ComplexVector frequencyResponseS(const ComplexVector& points) const;
  // As for FIR filters.
  ComplexVector frequencyResponseZ(const Vector& frequencies, Vector& f) const;
  ComplexVector frequencyResponseZ(int n, Vector& f) const;
  ComplexVector frequencyResponseZ(int n) const;
  ComplexVector frequencyResponseZ(Vector& f) const;

  Vector impulseResponse(int n) const;

  // Frequency transformations in place (a[0] is not normalised): z^-1 is
  // replaced by an all-pass s N(z^-1)/D(z^-1), N = D reversed. Low-pass to
  // low-pass (option 0) or high-pass (option 1) moving the prototype's edge
  // fOld to fNew; low-pass to band-pass (2) or band-stop (3) with the edges
  // fLow < fHigh, doubling the order; or a mapping polynomial D (s = +1).
  // Errors leave the filter unchanged: 200105 undefined filter, 200249 or
  // 200246 option of the other form, 200247 a frequency outside (0, 1),
  // 200248 fLow not below fHigh, 200253 empty D, 200250 unstable mapping.
  KelmIIRFilter& frequencyTransformation(KelmFilterDesignOption option, T fOld, T fNew);
  KelmIIRFilter& frequencyTransformation(KelmFilterDesignOption option, T fOld, T fLow, T fHigh);
  KelmIIRFilter& frequencyTransformation(const Vector& D);
  // Analog b(s)/a(s) (ascending powers of s) to digital with
  // s = c (1 - z^-1)/(1 + z^-1); 200105 for an undefined filter.
  KelmIIRFilter& biLinearTransformation(int c);

 private:
  Vector m_b;
  Vector m_a;
  int m_defined;
};

using KelmFIRFilterDouble = KelmFIRFilter<double>;
using KelmFIRFilterFloat = KelmFIRFilter<float>;
using KelmIIRFilterDouble = KelmIIRFilter<double>;
using KelmIIRFilterFloat = KelmIIRFilter<float>;
