// Two-channel quadrature-mirror filter bank and the wavelet transform built
// on it. h is an orthogonal low-pass filter normalised to the sum 1 (the Haar
// filter is (0.5, 0.5)); the analysis filters are g0 = sqrt(2) h and g1, the
// reversed g0 with its odd-position coefficients negated, and the synthesis
// filters are the reversed analysis filters. Instantiated for float and double.
#pragma once

#include <kelmmath/kelmmath.h>
#include <kelmsp/KelmExport.h>
#include <kelmsp/KelmFilter.h>

#include <vector>

// Analysis: low and high are x (one zero appended to an even length) filtered
// by g0 and g1 with full convolution and down-sampled by 2.
// Errors: 200117 empty x, 200105 undefined h.
template <class T>
KELMSP_API void QMFForward(const KelmFIRFilter<T>& h, const KelmVector<T>& x, KelmVector<T>& low,
                           KelmVector<T>& high);
// Synthesis: y = the n samples of the sum of both channels up-sampled by 2
// through the synthesis filters, from the overall delay len(h) - 1 on.
// Errors: 200105 undefined h, 200106 channels of different lengths, 200109
// n below 1.
template <class T>
KELMSP_API void QMFBackward(const KelmFIRFilter<T>& h, KelmVector<T>& y, int n, const KelmVector<T>& low,
                            const KelmVector<T>& high);

template <class T>
class KELMSP_API KelmWavelet {
 public:
  KelmWavelet();
  KelmWavelet(const KelmWavelet& other);
  KelmWavelet& operator=(const KelmWavelet& other);
  ~KelmWavelet();

  // Number of stages of the last transform, -1 before the first.
  int QMFStages() const { return m_stages; }
  // J stages of analysis of x (errors: 200105 undefined h, 200109 J below 1,
  // 200104 2^J above len(x) + J len(h)/2).
  KelmWavelet& forward(const KelmFIRFilter<T>& h, const KelmVector<T>& x, int J);
  // Details of stage i (1..J); 200257 before any transform, 200258 for i
  // outside 1..J.
  KelmVector<T> coefs(int i) const;
  // The final approximation (empty before any transform).
  KelmVector<T> approximation() const;
  // Reconstruction from the stored coefficients (200105 undefined h, 200257
  // before any transform).
  KelmVector<T> backward(const KelmFIRFilter<T>& h) const;

 private:
  int m_stages;
  std::vector<KelmVector<T>> m_coefficients;  // details 1..J, then the approximation
  KelmVector<int> m_lengths;                  // signal length entering each stage
};

using KelmWaveletDouble = KelmWavelet<double>;
using KelmWaveletFloat = KelmWavelet<float>;
