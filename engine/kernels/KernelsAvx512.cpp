// The AVX-512 kernels (AVX-512F and VL with FMA): eight doubles per instruction.
#include "kernels/KernelsInternal.h"

#if VES_X86_KERNELS

#include <immintrin.h>

#include <algorithm>
#include <cstring>
#include <utility>

#define VES_AVX512_FN __attribute__((target("avx512f,avx512vl,avx2,fma")))

namespace vkern::avx512 {

namespace {

VES_AVX512_KERNELS_BEGIN

// The four-wide FFT code of the AVX2 kernels, built here with AVX-512VL's
// 32 vector registers for the fused first two passes.
namespace fft4 {
#define VES_FFT4_FN __attribute__((target("avx512f,avx512vl,avx2,fma")))
#define VES_FFT4_INLINE __attribute__((target("avx512f,avx512vl,avx2,fma"), always_inline)) inline
#include "kernels/KernelsFft4.h"
}  // namespace fft4

// ---------------------------------------------------------------------------
// FFT: the AVX2 passes on 8-wide vectors (N >= 256). Every lane performs
// exactly the AVX2 kernels' operations on the same values (products fused
// alike), so the results are theirs to the bit; only the way values move
// between memory and lanes differs. The first two passes run the AVX2
// kernels' four-wide code built here (with 32 registers); the split's edges
// and transforms below N = 256 run on the AVX2 kernels themselves.

#define VES_AVX512_INLINE __attribute__((target("avx512f,avx512vl,avx2,fma"), always_inline)) inline

struct V2 {
    __m512d r, i;
};

VES_AVX512_INLINE V2 cmul(V2 w, V2 z)
{
    return {_mm512_fmsub_pd(w.r, z.r, _mm512_mul_pd(w.i, z.i)), _mm512_fmadd_pd(w.r, z.i, _mm512_mul_pd(w.i, z.r))};
}

VES_AVX512_INLINE V2 load2(const double* re, const double* im)
{
    return {_mm512_loadu_pd(re), _mm512_loadu_pd(im)};
}

VES_AVX512_INLINE void store2(double* re, double* im, V2 v)
{
    _mm512_storeu_pd(re, v.r);
    _mm512_storeu_pd(im, v.i);
}

VES_AVX512_INLINE __m512d reverse8(__m512d v)
{
    return _mm512_permutexvar_pd(_mm512_set_epi64(0, 1, 2, 3, 4, 5, 6, 7), v);
}

struct Butterfly {
    V2 y0, u1, u2, u3;  // y0 and the three outputs before their twiddles
};

VES_AVX512_INLINE Butterfly butterfly4(V2 a, V2 b, V2 c, V2 d)
{
    const __m512d apcR = _mm512_add_pd(a.r, c.r), apcI = _mm512_add_pd(a.i, c.i);
    const __m512d amcR = _mm512_sub_pd(a.r, c.r), amcI = _mm512_sub_pd(a.i, c.i);
    const __m512d bpdR = _mm512_add_pd(b.r, d.r), bpdI = _mm512_add_pd(b.i, d.i);
    const __m512d bmdR = _mm512_sub_pd(b.r, d.r), bmdI = _mm512_sub_pd(b.i, d.i);
    Butterfly f;
    f.y0 = {_mm512_add_pd(apcR, bpdR), _mm512_add_pd(apcI, bpdI)};
    f.u1 = {_mm512_add_pd(amcR, bmdI), _mm512_sub_pd(amcI, bmdR)};
    f.u2 = {_mm512_sub_pd(apcR, bpdR), _mm512_sub_pd(apcI, bpdI)};
    f.u3 = {_mm512_sub_pd(amcR, bmdI), _mm512_add_pd(amcI, bmdR)};
    return f;
}

// One radix-4 pass at stride s >= 8.
VES_AVX512_FN void radix4(const FftTwiddles& t, std::size_t n, std::size_t s, const double* xr, const double* xi,
                          double* yr, double* yi)
{
    const std::size_t n1 = n / 4;
    const std::size_t step = s * n1;
    for (std::size_t p = 0; p < n1; ++p) {
        const std::size_t in = s * p, out = s * 4 * p;
        if (p == 0) {
            for (std::size_t q = 0; q < s; q += 8) {
                const std::size_t a = in + q, o = out + q;
                const Butterfly f = butterfly4(load2(xr + a, xi + a), load2(xr + a + step, xi + a + step),
                                               load2(xr + a + 2 * step, xi + a + 2 * step),
                                               load2(xr + a + 3 * step, xi + a + 3 * step));
                store2(yr + o, yi + o, f.y0);
                store2(yr + o + s, yi + o + s, f.u1);
                store2(yr + o + 2 * s, yi + o + 2 * s, f.u2);
                store2(yr + o + 3 * s, yi + o + 3 * s, f.u3);
            }
            continue;
        }
        const std::size_t ti = p * s;
        const V2 w1 = {_mm512_set1_pd(t.w1r[ti]), _mm512_set1_pd(t.w1i[ti])};
        const V2 w2 = {_mm512_set1_pd(t.w2r[ti]), _mm512_set1_pd(t.w2i[ti])};
        const V2 w3 = {_mm512_set1_pd(t.w3r[ti]), _mm512_set1_pd(t.w3i[ti])};
        for (std::size_t q = 0; q < s; q += 8) {
            const std::size_t a = in + q, o = out + q;
            const Butterfly f = butterfly4(load2(xr + a, xi + a), load2(xr + a + step, xi + a + step),
                                           load2(xr + a + 2 * step, xi + a + 2 * step),
                                           load2(xr + a + 3 * step, xi + a + 3 * step));
            store2(yr + o, yi + o, f.y0);
            store2(yr + o + s, yi + o + s, cmul(w1, f.u1));
            store2(yr + o + 2 * s, yi + o + 2 * s, cmul(w2, f.u2));
            store2(yr + o + 3 * s, yi + o + 3 * s, cmul(w3, f.u3));
        }
    }
}

// The last two passes of an even order in one, as the AVX2 kernels' radix8Last.
VES_AVX512_FN void radix8Last(const FftTwiddles& t, std::size_t s, const double* xr, const double* xi, double* yr,
                              double* yi)
{
    const V2 w1 = {_mm512_set1_pd(t.w1r[s]), _mm512_set1_pd(t.w1i[s])};
    const V2 w2 = {_mm512_set1_pd(t.w2r[s]), _mm512_set1_pd(t.w2i[s])};
    const V2 w3 = {_mm512_set1_pd(t.w3r[s]), _mm512_set1_pd(t.w3i[s])};
    const std::size_t step = 2 * s;
    for (std::size_t q = 0; q < s; q += 8) {
        const std::size_t a = q, b = q + s;  // the sub-transforms p = 0 and p = 1
        const Butterfly f = butterfly4(load2(xr + a, xi + a), load2(xr + a + step, xi + a + step),
                                       load2(xr + a + 2 * step, xi + a + 2 * step),
                                       load2(xr + a + 3 * step, xi + a + 3 * step));
        const Butterfly g = butterfly4(load2(xr + b, xi + b), load2(xr + b + step, xi + b + step),
                                       load2(xr + b + 2 * step, xi + b + 2 * step),
                                       load2(xr + b + 3 * step, xi + b + 3 * step));
        const V2 lo[4] = {f.y0, f.u1, f.u2, f.u3};
        const V2 hi[4] = {g.y0, cmul(w1, g.u1), cmul(w2, g.u2), cmul(w3, g.u3)};
        for (std::size_t j = 0; j < 4; ++j) {
            const std::size_t o = q + j * s;
            store2(yr + o, yi + o, {_mm512_add_pd(lo[j].r, hi[j].r), _mm512_add_pd(lo[j].i, hi[j].i)});
            store2(yr + o + 4 * s, yi + o + 4 * s, {_mm512_sub_pd(lo[j].r, hi[j].r), _mm512_sub_pd(lo[j].i, hi[j].i)});
        }
    }
}

// The passes after the first two, which the four-wide code takes in one
// (its vectors suit the stride-4 half, and wider ones measured no faster
// there), from scratch; returns where their result lies.
VES_AVX512_FN double* laterPasses(const FftTwiddles& t, double* work, double* scratch)
{
    const std::size_t points = t.points;
    double* cur = scratch;
    double* other = work;
    for (std::size_t n = points / 16, s = 16; n >= 4; n /= 4, s *= 4) {
        if (n == 8)
            radix8Last(t, s, cur, cur + points, other, other + points);
        else
            radix4(t, n, s, cur, cur + points, other, other + points);
        std::swap(cur, other);
        if (n == 8)
            break;
    }
    return cur;
}

VES_AVX512_FN double* fftPasses(const FftTwiddles& t, const double* x, double* work, double* scratch)
{
    fft4::firstPasses(t, fft4::DoublePairs{x}, scratch, scratch + t.points);
    return laterPasses(t, work, scratch);
}

VES_AVX512_FN double* fftPcm16Passes(const FftTwiddles& t, const std::uint8_t* pcm, const double* window,
                                     double* work, double* scratch)
{
    fft4::firstPasses(t, fft4::Pcm16Pairs{pcm, window}, scratch, scratch + t.points);
    return laterPasses(t, work, scratch);
}

// The split's parts of bins k .. k + 7 and their mirrors, as the AVX2
// kernels' splitParts takes them four at a time.
struct SplitParts {
    V2 e, t;
};

VES_AVX512_INLINE SplitParts splitParts(const FftTwiddles& t, const double* zr, const double* zi, std::size_t k)
{
    const std::size_t j = t.points - k - 7;  // the mirrors, in reverse lane order
    const __m512d ar = _mm512_loadu_pd(zr + k), ai = _mm512_loadu_pd(zi + k);
    const __m512d br = reverse8(_mm512_loadu_pd(zr + j)), bi = reverse8(_mm512_loadu_pd(zi + j));
    const __m512d er = _mm512_add_pd(ar, br), ei = _mm512_sub_pd(ai, bi);
    const __m512d orr = _mm512_add_pd(ai, bi), oi = _mm512_sub_pd(br, ar);
    const __m512d wr = _mm512_loadu_pd(t.sr + k), wi = _mm512_loadu_pd(t.si + k);
    return {{er, ei}, {_mm512_fmsub_pd(wr, orr, _mm512_mul_pd(wi, oi)), _mm512_fmadd_pd(wr, oi, _mm512_mul_pd(wi, orr))}};
}

// Bins 4 .. M/2 - 1 go eight at a time from 4 and the last four on the AVX2
// kernels (M/2 is a multiple of eight).
VES_AVX512_FN void fftSplit(const FftTwiddles& t, const double* zr, const double* zi, double* out, double scale)
{
    const std::size_t points = t.points;
    avx2::splitHead(t, zr, zi, out, scale);
    const __m512d half = _mm512_set1_pd(scale * 0.5);
    std::size_t k = 4;
    for (; k + 8 <= points / 2; k += 8) {
        const std::size_t j = points - k - 7;
        const SplitParts p = splitParts(t, zr, zi, k);
        _mm512_storeu_pd(out + k, _mm512_mul_pd(_mm512_add_pd(p.e.r, p.t.r), half));
        _mm512_storeu_pd(out + points + j, reverse8(_mm512_mul_pd(_mm512_add_pd(p.e.i, p.t.i), half)));
        _mm512_storeu_pd(out + j, reverse8(_mm512_mul_pd(_mm512_sub_pd(p.e.r, p.t.r), half)));
        _mm512_storeu_pd(out + points + k, _mm512_mul_pd(_mm512_sub_pd(p.t.i, p.e.i), half));
    }
    avx2::splitBlocks(t, zr, zi, out, k, points / 2, scale);
}

VES_AVX512_INLINE __m512d power8(__m512d re, __m512d im)
{
    return _mm512_fmadd_pd(re, re, _mm512_mul_pd(im, im));
}

VES_AVX512_FN void fftSplitPower(const FftTwiddles& t, const double* zr, const double* zi, double* x, double scale,
                                 double* acc)
{
    const std::size_t points = t.points;
    avx2::splitPowerHead(t, zr, zi, x, scale, acc);
    std::size_t k = 4;
    for (; k + 8 <= points / 2; k += 8) {
        const std::size_t j = points - k - 7;
        const SplitParts p = splitParts(t, zr, zi, k);
        const __m512d low = power8(_mm512_add_pd(p.e.r, p.t.r), _mm512_add_pd(p.e.i, p.t.i));
        const __m512d high = power8(_mm512_sub_pd(p.e.r, p.t.r), _mm512_sub_pd(p.t.i, p.e.i));
        _mm512_storeu_pd(acc + k, _mm512_add_pd(_mm512_loadu_pd(acc + k), low));
        _mm512_storeu_pd(acc + j, _mm512_add_pd(_mm512_loadu_pd(acc + j), reverse8(high)));
    }
    avx2::splitPowerBlocks(t, zr, zi, k, points / 2, acc);
}


// ---------------------------------------------------------------------------
// Samples and levels

// Sixteen samples at a time, which the compiler does not do by itself (it
// keeps to 256-bit vectors). For windowed frames, which stay in the
// first-level cache; plain reads are long runs whose doubles go out to
// memory, where the AVX2 loop is the faster (by a fifth, measured).
VES_AVX512_FN void decodeMono16Windowed(const std::uint8_t* p, std::int64_t n, const double* window, double* out)
{
    std::int64_t i = 0;
    for (; i + 16 <= n; i += 16) {
        const __m512i wide = _mm512_cvtepi16_epi32(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + 2 * i)));
        const __m512d lo = _mm512_cvtepi32_pd(_mm512_castsi512_si256(wide));
        const __m512d hi = _mm512_cvtepi32_pd(_mm512_extracti64x4_epi64(wide, 1));
        _mm512_storeu_pd(out + i, _mm512_mul_pd(lo, _mm512_loadu_pd(window + i)));
        _mm512_storeu_pd(out + i + 8, _mm512_mul_pd(hi, _mm512_loadu_pd(window + i + 8)));
    }
    for (; i < n; ++i) {
        std::int16_t v;
        std::memcpy(&v, p + 2 * i, 2);
        out[i] = static_cast<double>(v) * window[i];
    }
}

// Eight levels per compare.
VES_AVX512_FN void aboveBits(const double* level, int n, double threshold, std::uint64_t* bits)
{
    const __m512d t = _mm512_set1_pd(threshold);
    for (int w = 0; w * 64 < n; ++w) {
        std::uint64_t word = 0;
        const int end = std::min(64, n - w * 64);
        int j = 0;
        for (; j + 8 <= end; j += 8)
            word |= static_cast<std::uint64_t>(
                        _mm512_cmp_pd_mask(_mm512_loadu_pd(level + w * 64 + j), t, _CMP_GT_OQ))
                    << j;
        for (; j < end; ++j)
            word |= static_cast<std::uint64_t>(level[w * 64 + j] > threshold) << j;
        bits[w] = word;
    }
}

VES_AVX512_KERNELS_END

constexpr KernelTable makeTable()
{
    KernelTable k;
    k.kind = VectorKernels::Avx512;
    k.fftMinOrder = 8;  // N = 256: smaller transforms run on the AVX2 kernels (measured no slower)
    k.narrower = &avx2::table;
    k.fftPasses = fftPasses;
    k.fftPcm16Passes = fftPcm16Passes;
    k.fftSplit = fftSplit;
    k.fftSplitPower = fftSplitPower;
    k.decodeMono16 = avx2::decodeMono16;
    k.decodeMono16Windowed = decodeMono16Windowed;
    k.aboveBits = aboveBits;
    return k;
}

}  // namespace

constinit const KernelTable table = makeTable();

}  // namespace vkern::avx512

#endif
