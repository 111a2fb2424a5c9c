#pragma once

// Which hand-vectorised inner loops the sample decoding and the spectrogram
// columns use. Automatic picks the widest the processor has; the others force
// one (tests compare them with the portable loops). Forcing kernels the
// processor lacks falls back to the widest it has.
enum class VectorKernels { Automatic, Portable, Avx2, Avx512 };

void setVectorKernels(VectorKernels kernels);
// The kernels in use after setVectorKernels: Portable, Avx2 or Avx512.
VectorKernels activeVectorKernels();
// The widest kernels this processor can run.
VectorKernels widestVectorKernels();
