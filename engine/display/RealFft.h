// The program's own real FFT, shared by the spectrogram, the power spectrum,
// the pulse analysis and the recording trigger.
//
// RealFft(buffer, m) transforms N = 2^m doubles in place. On return the
// buffer holds the transform divided by N in split ("half-complex") order:
//   buffer[0]      real part of bin 0
//   buffer[k]      real part of bin k, 1 <= k <= N/2
//   buffer[N - k]  imaginary part of bin k, 1 <= k < N/2
// with X_k = sum x_n e^(-2 pi i k n / N). Callers use squared magnitudes
// only, so they must not rely on the sign of the imaginary parts.
//
// The transform runs as a complex FFT of N/2 points over the even/odd sample
// pairs (Stockham radix-4 passes, a radix-2 pass for odd orders) followed by
// the split into the real spectrum. Twiddle factors come from tables computed
// once per order in extended precision; results are double precision and
// within rounding of the exact transform. The passes and the split run in
// the vector kernels (kernels/Kernels.h): on x86-64 processors with AVX2 and
// FMA on 4-wide vectors (N >= 32), with AVX-512 partly on 8-wide ones
// (N >= 256, with exactly the AVX2 path's results); elsewhere
// (and for small N) a portable scalar path gives the same results within
// rounding. Which kernels run follows setVectorKernels.
//
// No allocation per call: the scratch lives on the stack for N <= 1024 and
// in a per-thread buffer above that; a size's tables are built on its first
// use. No failure: orders outside 0 .. kMaxFftOrder leave the buffer as it is
// (order 0, a single value, is its own transform).
#pragma once

#include <cstdint>
#include <vector>

constexpr int kMaxFftOrder = 20;

void RealFft(double* buffer, int m);

// Transforms buffer as RealFft does and adds each bin's power |2 X_k|^2
// (X_k as above, not divided by N) for 1 <= k < N/2 to acc[k]: (2N)^2 times
// the squared magnitude of RealFft's bin, exactly (a power of two). acc[0]
// and everything past N/2 - 1 are left alone, and the buffer is left
// holding scratch values. On the vector path the powers are taken while the
// spectrum is split, without storing it, which saves the spectrogram a pass
// over every frame; the real part's square is fused into the sum there, so
// a power may differ from a plain re*re + im*im in the last place.
void RealFftAddPower(double* buffer, int m, double* acc);

// The spectrogram's frame straight from stored samples. RealFftPcm16Window
// lays out a window of N = 2^m entries for it. RealFftPcm16AddPower reads N
// little-endian 16-bit samples at pcm, multiplies each by its window entry
// and adds the powers of the frame as RealFftAddPower does, with exactly its
// results; work holds N doubles of scratch. It saves the decoded frame's
// store and reload, and the transform's reordering of the samples into
// pairs. False, with nothing touched, where there is no vector path for the
// size (m < 5, or portable kernels): the caller then decodes the frame
// itself.
std::vector<double> RealFftPcm16Window(const double* window, int m);
bool RealFftPcm16AddPower(const std::uint8_t* pcm, const double* window, int m, double* work, double* acc);
