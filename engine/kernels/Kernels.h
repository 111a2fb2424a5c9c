// The hand-vectorised inner loops of the sample decoding, the FFT and the
// spectrogram columns, one file per instruction set (KernelsPortable.cpp,
// KernelsAvx2.cpp, KernelsAvx512.cpp), behind one switch: a table of entry
// points chosen once from the processor's features. The callers keep their
// algorithms and reach the loops only through this table; the loops see
// plain pointers and sizes, nothing of the callers' types.
//
// Every table computes what the portable one does: exactly for decoding and
// comparisons; to rounding for the FFT, whose vector passes fuse products
// into sums. The AVX-512 FFT performs exactly the AVX2 one's operations on
// wider vectors, so the spectrogram's levels do not depend on which of the
// two runs.
#pragma once

#include <cstddef>
#include <cstdint>

// Which kernels run. Automatic picks the widest the processor has; the
// others force one (tests and benchmarks compare them). Forcing kernels the
// processor lacks falls back to the widest it has.
enum class VectorKernels { Automatic, Portable, Avx2, Avx512 };

// Whether this build has the x86 kernels (the others run the portable loops).
#if defined(__x86_64__) && defined(__GNUC__) && defined(__linux__)
#define VES_X86_KERNELS 1
#else
#define VES_X86_KERNELS 0
#endif

// The twiddle factors of one FFT order as the passes read them, in split
// (real, imaginary) arrays; W_n = e^(-2 pi i / n), M = N/2 complex points.
struct FftTwiddles {
    std::size_t points = 0;  // M
    // The first radix-4 pass: W_M^p, W_M^2p, W_M^3p for p < M/4. Pass k
    // (stride s = 4^k) uses entry p*s of the same arrays.
    const double *w1r = nullptr, *w1i = nullptr, *w2r = nullptr, *w2i = nullptr, *w3r = nullptr, *w3i = nullptr;
    // The same factors for the second pass (entries 4p, p < M/16) in
    // arrays of their own, for passes that read them four p at a time.
    const double *v1r = nullptr, *v1i = nullptr, *v2r = nullptr, *v2i = nullptr, *v3r = nullptr, *v3i = nullptr;
    // The split into the real spectrum: W_N^k for k < M/2.
    const double *sr = nullptr, *si = nullptr;
};

struct KernelTable {
    VectorKernels kind = VectorKernels::Portable;

    // FFT of N = 2^m real values (see display/RealFft.h for the algorithm).
    // Orders below fftMinOrder go to the `narrower` table.
    int fftMinOrder = 1;
    const KernelTable* narrower = nullptr;
    // The complex transform of the M pairs (x[2j], x[2j + 1]): split arrays
    // (re at r, im at r + M) at the returned r, which is work or scratch (N
    // doubles each; work may be x itself).
    double* (*fftPasses)(const FftTwiddles& t, const double* x, double* work, double* scratch) = nullptr;
    // The same from N little-endian 16-bit samples times a window laid out
    // as RealFftPcm16Window does; nullptr where the kernels have no such path.
    double* (*fftPcm16Passes)(const FftTwiddles& t, const std::uint8_t* pcm, const double* window, double* work,
                              double* scratch) = nullptr;
    // The real spectrum from the complex transform z (re zr, im zi), times
    // scale, in half-complex order into out (which may hold z).
    void (*fftSplit)(const FftTwiddles& t, const double* zr, const double* zi, double* out, double scale) = nullptr;
    // As fftSplit, but adds each bin's |2 X_k|^2 (X_k not scaled) for
    // 1 <= k < N/2 to acc[k]; out is left holding scratch values.
    void (*fftSplitPower)(const FftTwiddles& t, const double* zr, const double* zi, double* out, double scale,
                          double* acc) = nullptr;

    // n little-endian 16-bit samples at p as doubles; the windowed one times
    // window[i] (each product rounded on its own).
    void (*decodeMono16)(const std::uint8_t* p, std::int64_t n, double* out) = nullptr;
    void (*decodeMono16Windowed)(const std::uint8_t* p, std::int64_t n, const double* window, double* out) = nullptr;

    // Bit j % 64 of bits[j / 64] says whether level[j] (0 <= j < n) lies
    // above the threshold (NaN does not); (n + 63) / 64 words are written.
    void (*aboveBits)(const double* level, int n, double threshold, std::uint64_t* bits) = nullptr;
};

void setVectorKernels(VectorKernels kernels);
// The kernels in use after setVectorKernels: Portable, Avx2 or Avx512.
VectorKernels activeVectorKernels();
// The table in use.
const KernelTable& vectorKernels();
// The table of one set, or nullptr when this processor or build lacks it
// (Automatic: the widest there is).
const KernelTable* vectorKernelsOf(VectorKernels kernels);
// "portable", "avx2", "avx512"; anything else reads as Automatic (for
// settings from the environment, such as the benchmarks' VES_BENCH_KERNELS).
VectorKernels vectorKernelsNamed(const char* name);
const char* vectorKernelsName(VectorKernels kernels);
