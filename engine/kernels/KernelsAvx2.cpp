// The AVX2 kernels (with FMA): four doubles per instruction.
#include "kernels/KernelsInternal.h"

#if VES_X86_KERNELS

#include <immintrin.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <utility>

#define VES_AVX2_FN __attribute__((target("avx2,fma")))
#define VES_AVX2_INLINE __attribute__((target("avx2,fma"), always_inline)) inline

namespace vkern::avx2 {

namespace {

// ---------------------------------------------------------------------------
// FFT: the portable passes on 4-wide vectors (N >= 32), in KernelsFft4.h,
// and the split.

#define VES_FFT4_FN VES_AVX2_FN
#define VES_FFT4_INLINE VES_AVX2_INLINE
#include "kernels/KernelsFft4.h"

// The unscaled parts of bins k .. k + 3 (4 <= k, k + 3 < M/2) of the split
// and of their mirrors M - k .. M - k - 3 (in the same lane order):
// 2 Re X_k = e.r + t.r, 2 Im X_k = e.i + t.i, and for the mirrors
// e.r - t.r and t.i - e.i.
struct SplitParts {
    V2 e, t;
};

VES_AVX2_INLINE SplitParts splitParts(const FftTwiddles& t, const double* zr, const double* zi, std::size_t k)
{
    const std::size_t j = t.points - k - 3;  // the mirrors, in reverse lane order
    const __m256d ar = _mm256_loadu_pd(zr + k), ai = _mm256_loadu_pd(zi + k);
    const __m256d br = reverse4(_mm256_loadu_pd(zr + j)), bi = reverse4(_mm256_loadu_pd(zi + j));
    const __m256d er = _mm256_add_pd(ar, br), ei = _mm256_sub_pd(ai, bi);
    const __m256d orr = _mm256_add_pd(ai, bi), oi = _mm256_sub_pd(br, ar);
    const __m256d wr = _mm256_loadu_pd(t.sr + k), wi = _mm256_loadu_pd(t.si + k);
    return {{er, ei}, {_mm256_fmsub_pd(wr, orr, _mm256_mul_pd(wi, oi)), _mm256_fmadd_pd(wr, oi, _mm256_mul_pd(wi, orr))}};
}

}  // namespace

VES_AVX2_FN void splitBlocks(const FftTwiddles& t, const double* zr, const double* zi, double* out, std::size_t from,
                             std::size_t to, double scale)
{
    const std::size_t points = t.points;
    const __m256d half = _mm256_set1_pd(scale * 0.5);
    for (std::size_t k = from; k < to; k += 4) {
        const std::size_t j = points - k - 3;
        const SplitParts p = splitParts(t, zr, zi, k);
        _mm256_storeu_pd(out + k, _mm256_mul_pd(_mm256_add_pd(p.e.r, p.t.r), half));
        _mm256_storeu_pd(out + points + j, reverse4(_mm256_mul_pd(_mm256_add_pd(p.e.i, p.t.i), half)));
        _mm256_storeu_pd(out + j, reverse4(_mm256_mul_pd(_mm256_sub_pd(p.e.r, p.t.r), half)));
        _mm256_storeu_pd(out + points + k, _mm256_mul_pd(_mm256_sub_pd(p.t.i, p.e.i), half));
    }
}

// Bins 1 .. 3 and their mirrors on one vector (lane k: bin k, lane 0 left
// out), computed as the portable splitRange computes them: the products
// rounded on their own, not fused into the sums, so that these bins come
// out as on every other set of kernels.
VES_AVX2_FN void splitHead(const FftTwiddles& t, const double* zr, const double* zi, double* out, double scale)
{
    const std::size_t points = t.points;
    portable::splitEnds(points, zr, zi, out, scale);
    constexpr int kMirror = 0x6C;  // lanes (0, 3, 2, 1): lane k from element 4 - k
    const __m256i lanes123 = _mm256_set_epi64x(-1, -1, -1, 0);
    const __m256d half = _mm256_set1_pd(scale * 0.5);
    const __m256d ar = _mm256_loadu_pd(zr), ai = _mm256_loadu_pd(zi);
    const __m256d br = _mm256_permute4x64_pd(_mm256_loadu_pd(zr + points - 4), kMirror);
    const __m256d bi = _mm256_permute4x64_pd(_mm256_loadu_pd(zi + points - 4), kMirror);
    const __m256d er = _mm256_add_pd(ar, br), ei = _mm256_sub_pd(ai, bi);
    const __m256d orr = _mm256_add_pd(ai, bi), oi = _mm256_sub_pd(br, ar);
    const __m256d wr = _mm256_loadu_pd(t.sr), wi = _mm256_loadu_pd(t.si);
    const __m256d tr = _mm256_sub_pd(rounded(_mm256_mul_pd(wr, orr)), rounded(_mm256_mul_pd(wi, oi)));
    const __m256d ti = _mm256_add_pd(rounded(_mm256_mul_pd(wr, oi)), rounded(_mm256_mul_pd(wi, orr)));
    _mm256_maskstore_pd(out, lanes123, _mm256_mul_pd(_mm256_add_pd(er, tr), half));
    _mm256_maskstore_pd(out + 2 * points - 4, lanes123,
                        _mm256_permute4x64_pd(_mm256_mul_pd(_mm256_add_pd(ei, ti), half), kMirror));
    _mm256_maskstore_pd(out + points - 4, lanes123,
                        _mm256_permute4x64_pd(_mm256_mul_pd(_mm256_sub_pd(er, tr), half), kMirror));
    _mm256_maskstore_pd(out + points, lanes123, _mm256_mul_pd(_mm256_sub_pd(ti, ei), half));
}

VES_AVX2_FN void fftSplit(const FftTwiddles& t, const double* zr, const double* zi, double* out, double scale)
{
    splitHead(t, zr, zi, out, scale);
    splitBlocks(t, zr, zi, out, 4, t.points / 2, scale);
}

// |re|^2 + |im|^2 as the power sums take it, the real part's square fused.
VES_AVX2_INLINE __m256d power4(__m256d re, __m256d im)
{
    return _mm256_fmadd_pd(re, re, _mm256_mul_pd(im, im));
}

// The split of fftSplit, adding each bin's |2 X_k|^2 to acc instead of
// storing the spectrum. Its parts are fftSplit's before their scaling by
// 1/(2N), a power of two, so the sums are exactly (2N)^2 times those of the
// stored parts' squares; leaving the scaling out saves four products per
// four bins. The sums of the mirrors M - k come out in reverse lanes.
VES_AVX2_FN void splitPowerBlocks(const FftTwiddles& t, const double* zr, const double* zi, std::size_t from,
                                  std::size_t to, double* acc)
{
    const std::size_t points = t.points;
    for (std::size_t k = from; k < to; k += 4) {
        const std::size_t j = points - k - 3;
        const SplitParts p = splitParts(t, zr, zi, k);
        const __m256d low = power4(_mm256_add_pd(p.e.r, p.t.r), _mm256_add_pd(p.e.i, p.t.i));
        const __m256d high = power4(_mm256_sub_pd(p.e.r, p.t.r), _mm256_sub_pd(p.t.i, p.e.i));
        _mm256_storeu_pd(acc + k, _mm256_add_pd(_mm256_loadu_pd(acc + k), low));
        _mm256_storeu_pd(acc + j, _mm256_add_pd(_mm256_loadu_pd(acc + j), reverse4(high)));
    }
}

// The few bins of the scalar split, from its stored (scaled) parts.
VES_AVX2_FN void splitPowerHead(const FftTwiddles& t, const double* zr, const double* zi, double* x, double scale,
                                double* acc)
{
    const std::size_t points = t.points;
    splitHead(t, zr, zi, x, scale);
    const double unscale = 4.0 / (scale * scale);
    const auto addScalar = [&](std::size_t k) {
        const double re = x[k], im = x[2 * points - k];
        acc[k] += std::fma(re, re, im * im) * unscale;
    };
    for (std::size_t k = 1; k < 4; ++k) {
        addScalar(k);
        addScalar(points - k);
    }
    addScalar(points / 2);
}

VES_AVX2_FN void fftSplitPower(const FftTwiddles& t, const double* zr, const double* zi, double* x, double scale,
                               double* acc)
{
    splitPowerHead(t, zr, zi, x, scale, acc);
    splitPowerBlocks(t, zr, zi, 4, t.points / 2, acc);
}

VES_AVX2_FN double* fftPasses(const FftTwiddles& t, const double* x, double* work, double* scratch)
{
    return passes(t, DoublePairs{x}, work, scratch);
}

VES_AVX2_FN double* fftPcm16Passes(const FftTwiddles& t, const std::uint8_t* pcm, const double* window, double* work,
                                   double* scratch)
{
    return passes(t, Pcm16Pairs{pcm, window}, work, scratch);
}

// ---------------------------------------------------------------------------
// Samples and levels

// The portable loop built for AVX2: the compiler takes four conversions and
// products per instruction instead of two (no FMA in it, so the products
// round as the portable ones).
template <bool Windowed>
VES_AVX2_FN void decodeMono16Loop(const std::uint8_t* p, std::int64_t n, const double* __restrict window,
                                  double* __restrict out)
{
    for (std::int64_t i = 0; i < n; ++i) {
        std::int16_t v;
        std::memcpy(&v, p + 2 * i, 2);
        if constexpr (Windowed)
            out[i] = static_cast<double>(v) * window[i];
        else
            out[i] = v;
    }
}

VES_AVX2_FN void decodeMono16(const std::uint8_t* p, std::int64_t n, double* out)
{
    decodeMono16Loop<false>(p, n, nullptr, out);
}

VES_AVX2_FN void decodeMono16Windowed(const std::uint8_t* p, std::int64_t n, const double* window, double* out)
{
    decodeMono16Loop<true>(p, n, window, out);
}

// Four levels per compare.
VES_AVX2_FN void aboveBits(const double* level, int n, double threshold, std::uint64_t* bits)
{
    const __m256d t = _mm256_set1_pd(threshold);
    for (int w = 0; w * 64 < n; ++w) {
        std::uint64_t word = 0;
        const int end = std::min(64, n - w * 64);
        int j = 0;
        for (; j + 4 <= end; j += 4)
            word |= static_cast<std::uint64_t>(static_cast<unsigned>(
                        _mm256_movemask_pd(_mm256_cmp_pd(_mm256_loadu_pd(level + w * 64 + j), t, _CMP_GT_OQ))))
                    << j;
        for (; j < end; ++j)
            word |= static_cast<std::uint64_t>(level[w * 64 + j] > threshold) << j;
        bits[w] = word;
    }
}

namespace {

constexpr KernelTable makeTable()
{
    KernelTable k;
    k.kind = VectorKernels::Avx2;
    k.fftMinOrder = 5;  // N = 32: the first vector pass needs M/4 >= 4
    k.narrower = &portable::table;
    k.fftPasses = fftPasses;
    k.fftPcm16Passes = fftPcm16Passes;
    k.fftSplit = fftSplit;
    k.fftSplitPower = fftSplitPower;
    k.decodeMono16 = decodeMono16;
    k.decodeMono16Windowed = decodeMono16Windowed;
    k.aboveBits = aboveBits;
    return k;
}

}  // namespace

constinit const KernelTable table = makeTable();

}  // namespace vkern::avx2

#endif
