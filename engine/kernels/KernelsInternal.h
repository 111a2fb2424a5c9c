// What the kernel files share among themselves; callers use Kernels.h.
#pragma once

#include "kernels/Kernels.h"

#include <cstddef>

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

namespace vkern {

namespace portable {
extern const KernelTable table;

// The scalar split of the FFT: bins k in [from, to) (1 <= from, to <= M/2)
// and their mirrors M - k, scaled by `half` (1/(2N)). `out` may be the same
// storage as (zr, zi) = (out, out + M): each step writes exactly the four
// places it read. The vector splits take bins 0 and M/2 from splitEnds, and
// bins 1 .. 3 with splitRange's operations (products not fused), so that
// every table rounds those bins alike.
void splitRange(const FftTwiddles& t, const double* zr, const double* zi, double* out, std::size_t from,
                std::size_t to, double half);
// Bins 0 and M/2 (and the Nyquist bin), scaled by `scale` (1/N).
void splitEnds(std::size_t points, const double* zr, const double* zi, double* out, double scale);
}  // namespace portable

#if VES_X86_KERNELS
namespace avx2 {
extern const KernelTable table;
// What the AVX-512 kernels take from the AVX2 ones.
void decodeMono16(const std::uint8_t* p, std::int64_t n, double* out);
// The split's first bins (0 .. 3, their mirrors and M/2), and its vector
// bins k in [from, to) in steps of four (4 <= from, to <= M/2).
void splitHead(const FftTwiddles& t, const double* zr, const double* zi, double* out, double scale);
void splitBlocks(const FftTwiddles& t, const double* zr, const double* zi, double* out, std::size_t from,
                 std::size_t to, double scale);
void splitPowerHead(const FftTwiddles& t, const double* zr, const double* zi, double* out, double scale, double* acc);
void splitPowerBlocks(const FftTwiddles& t, const double* zr, const double* zi, std::size_t from, std::size_t to,
                      double* acc);
}  // namespace avx2
namespace avx512 {
extern const KernelTable table;
}
#endif

}  // namespace vkern
