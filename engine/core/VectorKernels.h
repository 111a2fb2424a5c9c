#pragma once

// Which hand-vectorised inner loops the sample decoding and the spectrogram
// columns use. Automatic picks the widest the processor has; the others force
// one (tests compare them with the portable loops). Forcing kernels the
// processor lacks falls back to the widest it has.
enum class VectorKernels { Automatic, Portable, Avx2, Avx512 };

void setVectorKernels(VectorKernels kernels);
// The kernels in use after setVectorKernels: Portable, Avx2 or Avx512.
VectorKernels activeVectorKernels();

// Whether this build has the x86 kernels (the others run the portable loops).
#if defined(__x86_64__) && defined(__GNUC__) && defined(__linux__)
#define VES_X86_KERNELS 1
#else
#define VES_X86_KERNELS 0
#endif

// Around AVX-512 kernels: GCC 12 takes the undefined pass-through vectors
// inside its own AVX-512 intrinsics for uninitialised values (a false alarm).
#if defined(__GNUC__) && !defined(__clang__)
#define VES_AVX512_KERNELS_BEGIN \
    _Pragma("GCC diagnostic push") _Pragma("GCC diagnostic ignored \"-Wmaybe-uninitialized\"")
#define VES_AVX512_KERNELS_END _Pragma("GCC diagnostic pop")
#else
#define VES_AVX512_KERNELS_BEGIN
#define VES_AVX512_KERNELS_END
#endif
