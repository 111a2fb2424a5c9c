#include "display/RealFft.h"

#include <array>
#include <atomic>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define VES_FFT_X86 1
#define VES_AVX2_FN __attribute__((target("avx2,fma")))
#define VES_AVX2_INLINE __attribute__((target("avx2,fma"), always_inline)) inline
#endif

namespace {

// Twiddle factors of one order, in split (real, imaginary) arrays.
struct FftTables {
    std::size_t points = 0;  // M = N/2 complex points
    // The first radix-4 pass: W_M^p, W_M^2p, W_M^3p for p < M/4 (W_n = e^(-2 pi i / n)).
    // Pass k (stride s = 4^k) uses entry p*s of the same arrays.
    std::vector<double> w1r, w1i, w2r, w2i, w3r, w3i;
    // The split into the real spectrum: W_N^k for k < M/2.
    std::vector<double> sr, si;
};

void unitRoot(std::size_t k, std::size_t n, double& re, double& im)
{
    const long double twoPi = 6.283185307179586476925286766559005768L;
    const long double a = twoPi * static_cast<long double>(k % n) / static_cast<long double>(n);
    re = static_cast<double>(std::cos(a));
    im = static_cast<double>(-std::sin(a));
}

std::unique_ptr<FftTables> buildTables(int m)
{
    auto t = std::make_unique<FftTables>();
    const std::size_t n = std::size_t{1} << m;
    const std::size_t points = n / 2;
    t->points = points;
    const std::size_t q = points / 4;
    for (auto* v : {&t->w1r, &t->w1i, &t->w2r, &t->w2i, &t->w3r, &t->w3i})
        v->resize(q);
    for (std::size_t p = 0; p < q; ++p) {
        unitRoot(p, points, t->w1r[p], t->w1i[p]);
        unitRoot(2 * p, points, t->w2r[p], t->w2i[p]);
        unitRoot(3 * p, points, t->w3r[p], t->w3i[p]);
    }
    t->sr.resize(points / 2);
    t->si.resize(points / 2);
    for (std::size_t k = 0; k < points / 2; ++k)
        unitRoot(k, n, t->sr[k], t->si[k]);
    return t;
}

const FftTables& tablesFor(int m)
{
    static std::array<std::once_flag, kMaxFftOrder + 1> once;
    static std::array<std::unique_ptr<FftTables>, kMaxFftOrder + 1> tables;
    std::call_once(once[static_cast<std::size_t>(m)], [m] { tables[static_cast<std::size_t>(m)] = buildTables(m); });
    return *tables[static_cast<std::size_t>(m)];
}

// ---------------------------------------------------------------------------
// Portable path

// One Stockham radix-4 pass (decimation in frequency) over split arrays:
// sub-transforms of length n at stride s = M/n.
void radix4Portable(const FftTables& t, std::size_t n, std::size_t s, const double* xr, const double* xi, double* yr,
                    double* yi)
{
    const std::size_t n1 = n / 4;
    for (std::size_t p = 0; p < n1; ++p) {
        const std::size_t ti = p * s;
        const double w1r = t.w1r[ti], w1i = t.w1i[ti];
        const double w2r = t.w2r[ti], w2i = t.w2i[ti];
        const double w3r = t.w3r[ti], w3i = t.w3i[ti];
        const std::size_t in = s * p, step = s * n1, out = s * 4 * p;
        for (std::size_t q = 0; q < s; ++q) {
            const std::size_t a = in + q;
            const double ar = xr[a], ai = xi[a];
            const double br = xr[a + step], bi = xi[a + step];
            const double cr = xr[a + 2 * step], ci = xi[a + 2 * step];
            const double dr = xr[a + 3 * step], di = xi[a + 3 * step];
            const double apcR = ar + cr, apcI = ai + ci, amcR = ar - cr, amcI = ai - ci;
            const double bpdR = br + dr, bpdI = bi + di, bmdR = br - dr, bmdI = bi - di;
            // (a - c) -/+ i (b - d)
            const double u1r = amcR + bmdI, u1i = amcI - bmdR;
            const double u3r = amcR - bmdI, u3i = amcI + bmdR;
            const double u2r = apcR - bpdR, u2i = apcI - bpdI;
            const std::size_t o = out + q;
            yr[o] = apcR + bpdR;
            yi[o] = apcI + bpdI;
            yr[o + s] = w1r * u1r - w1i * u1i;
            yi[o + s] = w1r * u1i + w1i * u1r;
            yr[o + 2 * s] = w2r * u2r - w2i * u2i;
            yi[o + 2 * s] = w2r * u2i + w2i * u2r;
            yr[o + 3 * s] = w3r * u3r - w3i * u3i;
            yi[o + 3 * s] = w3r * u3i + w3i * u3r;
        }
    }
}

// The last pass of an odd order: sub-transforms of length 2 at stride s = M/2.
void radix2Portable(std::size_t s, const double* xr, const double* xi, double* yr, double* yi)
{
    for (std::size_t q = 0; q < s; ++q) {
        const double ar = xr[q], ai = xi[q], br = xr[q + s], bi = xi[q + s];
        yr[q] = ar + br;
        yi[q] = ai + bi;
        yr[q + s] = ar - br;
        yi[q + s] = ai - bi;
    }
}

// The real spectrum from the complex transform Z of the pairs (x[2j], x[2j+1]),
// scaled by 1/N, for bins k in [from, to) (1 <= from, to <= M/2) and their
// mirrors M - k. `out` may be the same storage as (zr, zi) = (out, out + M):
// each step writes exactly the four places it read.
void splitRange(const FftTables& t, std::size_t points, const double* zr, const double* zi, double* out,
                std::size_t from, std::size_t to, double half)
{
    for (std::size_t k = from; k < to; ++k) {
        const std::size_t j = points - k;
        const double ar = zr[k], ai = zi[k], br = zr[j], bi = zi[j];
        const double er = ar + br, ei = ai - bi;  // 2 E_k
        const double orr = ai + bi, oi = br - ar; // 2 O_k
        const double wr = t.sr[k], wi = t.si[k];
        const double tr = wr * orr - wi * oi, ti = wr * oi + wi * orr;
        out[k] = (er + tr) * half;              // Re X_k
        out[points + j] = (ei + ti) * half;     // Im X_k at N - k
        out[j] = (er - tr) * half;              // Re X_(M-k)
        out[points + k] = (ti - ei) * half;     // Im X_(M-k) at N - (M - k)
    }
}

void splitEnds(std::size_t points, const double* zr, const double* zi, double* out, double scale)
{
    const double r0 = zr[0], i0 = zi[0];
    out[0] = (r0 + i0) * scale;
    out[points] = (r0 - i0) * scale;
    if (points >= 2) {
        const std::size_t h = points / 2;
        const double r = zr[h], i = zi[h];
        out[h] = r * scale;
        out[points + h] = -i * scale;
    }
}

void fftPortable(double* x, int m, double* scratch)
{
    const FftTables& t = tablesFor(m);
    const std::size_t points = t.points;
    for (std::size_t j = 0; j < points; ++j) {
        scratch[j] = x[2 * j];
        scratch[points + j] = x[2 * j + 1];
    }
    double* cur = scratch;
    double* other = x;
    std::size_t n = points, s = 1;
    for (; n >= 4; n /= 4, s *= 4) {
        radix4Portable(t, n, s, cur, cur + points, other, other + points);
        std::swap(cur, other);
    }
    if (n == 2) {
        radix2Portable(s, cur, cur + points, other, other + points);
        std::swap(cur, other);
    }
    const double scale = std::ldexp(1.0, -m);
    splitEnds(points, cur, cur + points, x, scale);
    splitRange(t, points, cur, cur + points, x, 1, points / 2, scale * 0.5);
}

// ---------------------------------------------------------------------------
// AVX2 path (N >= 32): the same passes on 4-wide vectors.

#ifdef VES_FFT_X86

struct V2 {
    __m256d r, i;
};

VES_AVX2_INLINE V2 cmul(V2 w, V2 z)
{
    return {_mm256_fmsub_pd(w.r, z.r, _mm256_mul_pd(w.i, z.i)), _mm256_fmadd_pd(w.r, z.i, _mm256_mul_pd(w.i, z.r))};
}

VES_AVX2_INLINE V2 load2(const double* re, const double* im)
{
    return {_mm256_loadu_pd(re), _mm256_loadu_pd(im)};
}

VES_AVX2_INLINE void store2(double* re, double* im, V2 v)
{
    _mm256_storeu_pd(re, v.r);
    _mm256_storeu_pd(im, v.i);
}

// Four complex values from interleaved (re, im) pairs into split lanes.
VES_AVX2_INLINE V2 loadPairs(const double* p)
{
    const __m256d lo = _mm256_loadu_pd(p);
    const __m256d hi = _mm256_loadu_pd(p + 4);
    return {_mm256_permute4x64_pd(_mm256_unpacklo_pd(lo, hi), 0xD8),
            _mm256_permute4x64_pd(_mm256_unpackhi_pd(lo, hi), 0xD8)};
}

VES_AVX2_INLINE __m256d reverse4(__m256d v)
{
    return _mm256_permute4x64_pd(v, 0x1B);
}

// Stores four vectors as the rows of their transpose: out[4l + r] = v_r[l].
VES_AVX2_INLINE void storeTransposed(double* out, __m256d v0, __m256d v1, __m256d v2, __m256d v3)
{
    const __m256d t0 = _mm256_unpacklo_pd(v0, v1);
    const __m256d t1 = _mm256_unpackhi_pd(v0, v1);
    const __m256d t2 = _mm256_unpacklo_pd(v2, v3);
    const __m256d t3 = _mm256_unpackhi_pd(v2, v3);
    _mm256_storeu_pd(out, _mm256_permute2f128_pd(t0, t2, 0x20));
    _mm256_storeu_pd(out + 4, _mm256_permute2f128_pd(t1, t3, 0x20));
    _mm256_storeu_pd(out + 8, _mm256_permute2f128_pd(t0, t2, 0x31));
    _mm256_storeu_pd(out + 12, _mm256_permute2f128_pd(t1, t3, 0x31));
}

struct Butterfly {
    V2 y0, u1, u2, u3;  // y0 and the three outputs before their twiddles
};

VES_AVX2_INLINE Butterfly butterfly4(V2 a, V2 b, V2 c, V2 d)
{
    const __m256d apcR = _mm256_add_pd(a.r, c.r), apcI = _mm256_add_pd(a.i, c.i);
    const __m256d amcR = _mm256_sub_pd(a.r, c.r), amcI = _mm256_sub_pd(a.i, c.i);
    const __m256d bpdR = _mm256_add_pd(b.r, d.r), bpdI = _mm256_add_pd(b.i, d.i);
    const __m256d bmdR = _mm256_sub_pd(b.r, d.r), bmdI = _mm256_sub_pd(b.i, d.i);
    Butterfly f;
    f.y0 = {_mm256_add_pd(apcR, bpdR), _mm256_add_pd(apcI, bpdI)};
    f.u1 = {_mm256_add_pd(amcR, bmdI), _mm256_sub_pd(amcI, bmdR)};
    f.u2 = {_mm256_sub_pd(apcR, bpdR), _mm256_sub_pd(apcI, bpdI)};
    f.u3 = {_mm256_sub_pd(amcR, bmdI), _mm256_add_pd(amcI, bmdR)};
    return f;
}

// The real input read as complex pairs, four at a time: points i .. i + 3
// are samples 2i .. 2i + 7.
struct DoublePairs {
    const double* x;
    VES_AVX2_INLINE V2 operator()(std::size_t i) const { return loadPairs(x + 2 * i); }
};

// The same from stored 16-bit samples (little-endian), each times its
// window entry. A pair of samples read as one 32-bit integer holds the even
// one in its low half and the odd one in its high half, so shifts split
// them without shuffles; the window lies in the order the pairs come out in
// (RealFftPcm16Window). The products are those of the samples as doubles
// times the plain window, rounded on their own (the compiler would otherwise
// fuse them into the first butterfly's sums), so the transform is exactly
// that of decoded frames.
VES_AVX2_INLINE __m256d rounded(__m256d v)
{
    __asm__("" : "+x"(v));
    return v;
}

struct Pcm16Pairs {
    const std::uint8_t* pcm;
    const double* window;
    VES_AVX2_INLINE V2 operator()(std::size_t i) const
    {
        const __m128i pairs = _mm_loadu_si128(reinterpret_cast<const __m128i*>(pcm + 4 * i));
        const __m128i even = _mm_srai_epi32(_mm_slli_epi32(pairs, 16), 16);
        const __m128i odd = _mm_srai_epi32(pairs, 16);
        return {rounded(_mm256_mul_pd(_mm256_cvtepi32_pd(even), _mm256_loadu_pd(window + 2 * i))),
                rounded(_mm256_mul_pd(_mm256_cvtepi32_pd(odd), _mm256_loadu_pd(window + 2 * i + 4)))};
    }
};

// First pass: reads the real input as M complex pairs, writes split arrays
// with the outputs of four sub-transforms transposed into place.
template <typename Pairs>
VES_AVX2_FN void firstPassAvx2(const FftTables& t, Pairs pairs, double* yr, double* yi)
{
    const std::size_t n1 = t.points / 4;
    for (std::size_t p = 0; p < n1; p += 4) {
        const V2 a = pairs(p);
        const V2 b = pairs(p + n1);
        const V2 c = pairs(p + 2 * n1);
        const V2 d = pairs(p + 3 * n1);
        const Butterfly f = butterfly4(a, b, c, d);
        const V2 y1 = cmul(load2(t.w1r.data() + p, t.w1i.data() + p), f.u1);
        const V2 y2 = cmul(load2(t.w2r.data() + p, t.w2i.data() + p), f.u2);
        const V2 y3 = cmul(load2(t.w3r.data() + p, t.w3i.data() + p), f.u3);
        storeTransposed(yr + 4 * p, f.y0.r, y1.r, y2.r, y3.r);
        storeTransposed(yi + 4 * p, f.y0.i, y1.i, y2.i, y3.i);
    }
}

VES_AVX2_FN void radix4Avx2(const FftTables& t, std::size_t n, std::size_t s, const double* xr, const double* xi,
                            double* yr, double* yi)
{
    const std::size_t n1 = n / 4;
    const std::size_t step = s * n1;
    for (std::size_t p = 0; p < n1; ++p) {
        const std::size_t in = s * p, out = s * 4 * p;
        if (p == 0) {
            for (std::size_t q = 0; q < s; q += 4) {
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
        const V2 w1 = {_mm256_set1_pd(t.w1r[ti]), _mm256_set1_pd(t.w1i[ti])};
        const V2 w2 = {_mm256_set1_pd(t.w2r[ti]), _mm256_set1_pd(t.w2i[ti])};
        const V2 w3 = {_mm256_set1_pd(t.w3r[ti]), _mm256_set1_pd(t.w3i[ti])};
        for (std::size_t q = 0; q < s; q += 4) {
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

VES_AVX2_FN void radix2Avx2(std::size_t s, const double* xr, const double* xi, double* yr, double* yi)
{
    for (std::size_t q = 0; q < s; q += 4) {
        const V2 a = load2(xr + q, xi + q), b = load2(xr + q + s, xi + q + s);
        store2(yr + q, yi + q, {_mm256_add_pd(a.r, b.r), _mm256_add_pd(a.i, b.i)});
        store2(yr + q + s, yi + q + s, {_mm256_sub_pd(a.r, b.r), _mm256_sub_pd(a.i, b.i)});
    }
}

// The unscaled parts of bins k .. k + 3 (4 <= k, k + 3 < M/2) of the split
// and of their mirrors M - k .. M - k - 3 (in the same lane order):
// 2 Re X_k = e.r + t.r, 2 Im X_k = e.i + t.i, and for the mirrors
// e.r - t.r and t.i - e.i.
struct SplitParts {
    V2 e, t;
};

VES_AVX2_INLINE SplitParts splitParts(const FftTables& t, const double* zr, const double* zi, std::size_t k)
{
    const std::size_t j = t.points - k - 3;  // the mirrors, in reverse lane order
    const __m256d ar = _mm256_loadu_pd(zr + k), ai = _mm256_loadu_pd(zi + k);
    const __m256d br = reverse4(_mm256_loadu_pd(zr + j)), bi = reverse4(_mm256_loadu_pd(zi + j));
    const __m256d er = _mm256_add_pd(ar, br), ei = _mm256_sub_pd(ai, bi);
    const __m256d orr = _mm256_add_pd(ai, bi), oi = _mm256_sub_pd(br, ar);
    const __m256d wr = _mm256_loadu_pd(t.sr.data() + k), wi = _mm256_loadu_pd(t.si.data() + k);
    return {{er, ei}, {_mm256_fmsub_pd(wr, orr, _mm256_mul_pd(wi, oi)), _mm256_fmadd_pd(wr, oi, _mm256_mul_pd(wi, orr))}};
}

VES_AVX2_FN void splitAvx2(const FftTables& t, const double* zr, const double* zi, double* out, double scale)
{
    const std::size_t points = t.points;
    splitEnds(points, zr, zi, out, scale);
    splitRange(t, points, zr, zi, out, 1, 4, scale * 0.5);
    const __m256d half = _mm256_set1_pd(scale * 0.5);
    for (std::size_t k = 4; k < points / 2; k += 4) {
        const std::size_t j = points - k - 3;
        const SplitParts p = splitParts(t, zr, zi, k);
        _mm256_storeu_pd(out + k, _mm256_mul_pd(_mm256_add_pd(p.e.r, p.t.r), half));
        _mm256_storeu_pd(out + points + j, reverse4(_mm256_mul_pd(_mm256_add_pd(p.e.i, p.t.i), half)));
        _mm256_storeu_pd(out + j, reverse4(_mm256_mul_pd(_mm256_sub_pd(p.e.r, p.t.r), half)));
        _mm256_storeu_pd(out + points + k, _mm256_mul_pd(_mm256_sub_pd(p.t.i, p.e.i), half));
    }
}

// |re|^2 + |im|^2 as the power sums take it, the real part's square fused.
VES_AVX2_INLINE __m256d power4(__m256d re, __m256d im)
{
    return _mm256_fmadd_pd(re, re, _mm256_mul_pd(im, im));
}

// The split of splitAvx2, adding each bin's |2 X_k|^2 to acc instead of
// storing the spectrum. Its parts are splitAvx2's before their scaling by
// 1/(2N), a power of two, so the sums are exactly (2N)^2 times those of the
// stored parts' squares; leaving the scaling out saves four products per
// four bins. The sums of the mirrors M - k come out in reverse lanes.
VES_AVX2_FN void splitPowerAvx2(const FftTables& t, const double* zr, const double* zi, double* x, double scale,
                                double* acc)
{
    const std::size_t points = t.points;
    // The few bins of the scalar split from its stored (scaled) parts.
    splitEnds(points, zr, zi, x, scale);
    splitRange(t, points, zr, zi, x, 1, 4, scale * 0.5);
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
    for (std::size_t k = 4; k < points / 2; k += 4) {
        const std::size_t j = points - k - 3;
        const SplitParts p = splitParts(t, zr, zi, k);
        const __m256d low = power4(_mm256_add_pd(p.e.r, p.t.r), _mm256_add_pd(p.e.i, p.t.i));
        const __m256d high = power4(_mm256_sub_pd(p.e.r, p.t.r), _mm256_sub_pd(p.t.i, p.e.i));
        _mm256_storeu_pd(acc + k, _mm256_add_pd(_mm256_loadu_pd(acc + k), low));
        _mm256_storeu_pd(acc + j, _mm256_add_pd(_mm256_loadu_pd(acc + j), reverse4(high)));
    }
}

// The complex passes of the AVX2 path over the input that `pairs` reads,
// ping-ponging between scratch and x (which the first pass may read);
// returns where their result lies.
template <typename Pairs>
VES_AVX2_FN double* passesAvx2(const FftTables& t, Pairs pairs, double* x, double* scratch)
{
    const std::size_t points = t.points;
    firstPassAvx2(t, pairs, scratch, scratch + points);
    double* cur = scratch;
    double* other = x;
    std::size_t n = points / 4, s = 4;
    for (; n >= 4; n /= 4, s *= 4) {
        radix4Avx2(t, n, s, cur, cur + points, other, other + points);
        std::swap(cur, other);
    }
    if (n == 2) {
        radix2Avx2(s, cur, cur + points, other, other + points);
        std::swap(cur, other);
    }
    return cur;
}

VES_AVX2_FN void fftAvx2(double* x, int m, double* scratch)
{
    const FftTables& t = tablesFor(m);
    const double* z = passesAvx2(t, DoublePairs{x}, x, scratch);
    splitAvx2(t, z, z + t.points, x, std::ldexp(1.0, -m));
}

VES_AVX2_FN void fftPowerAvx2(double* x, int m, double* scratch, double* acc)
{
    const FftTables& t = tablesFor(m);
    const double* z = passesAvx2(t, DoublePairs{x}, x, scratch);
    splitPowerAvx2(t, z, z + t.points, x, std::ldexp(1.0, -m), acc);
}

VES_AVX2_FN void fftPcm16PowerAvx2(const std::uint8_t* pcm, const double* window, int m, double* work,
                                   double* scratch, double* acc)
{
    const FftTables& t = tablesFor(m);
    const double* z = passesAvx2(t, Pcm16Pairs{pcm, window}, work, scratch);
    splitPowerAvx2(t, z, z + t.points, work, std::ldexp(1.0, -m), acc);
}

bool cpuHasAvx2()
{
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma");
}

#else

bool cpuHasAvx2()
{
    return false;
}

#endif

constexpr int kMinVectorOrder = 5;  // N = 32: the first vector pass needs M/4 >= 4

std::atomic<bool> g_useAvx2{cpuHasAvx2()};

// Whether transforms of order m run on the vector kernel.
bool vectorPath(int m)
{
#ifdef VES_FFT_X86
    return m >= kMinVectorOrder && g_useAvx2.load(std::memory_order_relaxed);
#else
    (void)m;
    return false;
#endif
}

void transform(double* x, int m, double* scratch)
{
#ifdef VES_FFT_X86
    if (vectorPath(m)) {
        fftAvx2(x, m, scratch);
        return;
    }
#endif
    fftPortable(x, m, scratch);
}

// The transform, then x's squared magnitudes added to acc; on vector
// processors the split adds them without storing the spectrum.
void transformPower(double* x, int m, double* scratch, double* acc)
{
#ifdef VES_FFT_X86
    if (vectorPath(m)) {
        fftPowerAvx2(x, m, scratch, acc);
        return;
    }
#endif
    transform(x, m, scratch);
    const std::size_t n = std::size_t{1} << m;
    const double unscale = std::ldexp(4.0, 2 * m);  // (2N)^2, exact
    for (std::size_t k = 1; k < n / 2; ++k)
        acc[k] += (x[k] * x[k] + x[n - k] * x[n - k]) * unscale;
}

// Calls f with 2^m doubles of scratch: on the stack up to 8192 of them, in
// a per-thread buffer above that.
template <typename F>
void withScratch(int m, F f)
{
    if (m <= 10) {
        alignas(32) double scratch[1024];
        f(scratch);
    } else if (m <= 13) {
        alignas(32) double scratch[8192];
        f(scratch);
    } else {
        thread_local std::vector<double> scratch;
        const std::size_t n = std::size_t{1} << m;
        if (scratch.size() < n)
            scratch.resize(n);
        f(scratch.data());
    }
}

}  // namespace

void RealFft(double* buffer, int m)
{
    if (buffer == nullptr || m < 1 || m > kMaxFftOrder)
        return;
    withScratch(m, [&](double* scratch) { transform(buffer, m, scratch); });
}

void RealFftAddPower(double* buffer, int m, double* acc)
{
    if (buffer == nullptr || acc == nullptr || m < 1 || m > kMaxFftOrder)
        return;
    withScratch(m, [&](double* scratch) { transformPower(buffer, m, scratch, acc); });
}

std::vector<double> RealFftPcm16Window(const double* window, int m)
{
    const std::size_t n = m >= 0 && m <= kMaxFftOrder ? std::size_t{1} << m : 0;
    std::vector<double> layout(window, window + n);
    for (std::size_t block = 0; block + 8 <= n; block += 8)
        for (std::size_t j = 0; j < 4; ++j) {
            layout[block + j] = window[block + 2 * j];
            layout[block + 4 + j] = window[block + 2 * j + 1];
        }
    return layout;
}

bool RealFftPcm16AddPower(const std::uint8_t* pcm, const double* window, int m, double* work, double* acc)
{
    if (pcm == nullptr || window == nullptr || work == nullptr || acc == nullptr || m > kMaxFftOrder ||
        !vectorPath(m))
        return false;
#ifdef VES_FFT_X86
    withScratch(m, [&](double* scratch) { fftPcm16PowerAvx2(pcm, window, m, work, scratch, acc); });
#endif
    return true;
}

void setFftKernel(FftKernel kernel)
{
    const bool avx2 = cpuHasAvx2();
    g_useAvx2.store(kernel == FftKernel::Portable ? false : avx2, std::memory_order_relaxed);
}

FftKernel activeFftKernel()
{
    return g_useAvx2.load(std::memory_order_relaxed) ? FftKernel::Avx2 : FftKernel::Portable;
}
