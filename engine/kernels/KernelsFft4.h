// The four-wide FFT passes that the AVX2 kernels run and that the AVX-512
// kernels build again with 32 vector registers (AVX-512VL), for the fused
// passes whose sixteen values held between two passes spill from AVX2's 16
// registers. Included inside a kernel file's namespace, after
// <immintrin.h>, with VES_FFT4_FN and VES_FFT4_INLINE set to its target.
// The same operations either way, so the results are alike to the bit.
#pragma once

struct V2 {
    __m256d r, i;
};

VES_FFT4_INLINE V2 cmul(V2 w, V2 z)
{
    return {_mm256_fmsub_pd(w.r, z.r, _mm256_mul_pd(w.i, z.i)), _mm256_fmadd_pd(w.r, z.i, _mm256_mul_pd(w.i, z.r))};
}

VES_FFT4_INLINE V2 load2(const double* re, const double* im)
{
    return {_mm256_loadu_pd(re), _mm256_loadu_pd(im)};
}

VES_FFT4_INLINE void store2(double* re, double* im, V2 v)
{
    _mm256_storeu_pd(re, v.r);
    _mm256_storeu_pd(im, v.i);
}

// Four complex values from interleaved (re, im) pairs into split lanes.
VES_FFT4_INLINE V2 loadPairs(const double* p)
{
    const __m256d lo = _mm256_loadu_pd(p);
    const __m256d hi = _mm256_loadu_pd(p + 4);
    return {_mm256_permute4x64_pd(_mm256_unpacklo_pd(lo, hi), 0xD8),
            _mm256_permute4x64_pd(_mm256_unpackhi_pd(lo, hi), 0xD8)};
}

VES_FFT4_INLINE __m256d reverse4(__m256d v)
{
    return _mm256_permute4x64_pd(v, 0x1B);
}

// Stores four vectors as the rows of their transpose: out[4l + r] = v_r[l].
VES_FFT4_INLINE void storeTransposed(double* out, __m256d v0, __m256d v1, __m256d v2, __m256d v3)
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

VES_FFT4_INLINE Butterfly butterfly4(V2 a, V2 b, V2 c, V2 d)
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
    VES_FFT4_INLINE V2 operator()(std::size_t i) const { return loadPairs(x + 2 * i); }
};

// The same from stored 16-bit samples (little-endian), each times its
// window entry. A pair of samples read as one 32-bit integer holds the even
// one in its low half and the odd one in its high half, so shifts split
// them without shuffles; the window lies in the order the pairs come out in
// (RealFftPcm16Window). The products are those of the samples as doubles
// times the plain window, rounded on their own (the compiler would otherwise
// fuse them into the first butterfly's sums), so the transform is exactly
// that of decoded frames.
VES_FFT4_INLINE __m256d rounded(__m256d v)
{
    __asm__("" : "+x"(v));
    return v;
}

struct Pcm16Pairs {
    const std::uint8_t* pcm;
    const double* window;
    VES_FFT4_INLINE V2 operator()(std::size_t i) const
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
VES_FFT4_FN void firstPass(const FftTwiddles& t, Pairs pairs, double* yr, double* yi)
{
    const std::size_t n1 = t.points / 4;
    for (std::size_t p = 0; p < n1; p += 4) {
        const V2 a = pairs(p);
        const V2 b = pairs(p + n1);
        const V2 c = pairs(p + 2 * n1);
        const V2 d = pairs(p + 3 * n1);
        const Butterfly f = butterfly4(a, b, c, d);
        const V2 y1 = cmul(load2(t.w1r + p, t.w1i + p), f.u1);
        const V2 y2 = cmul(load2(t.w2r + p, t.w2i + p), f.u2);
        const V2 y3 = cmul(load2(t.w3r + p, t.w3i + p), f.u3);
        storeTransposed(yr + 4 * p, f.y0.r, y1.r, y2.r, y3.r);
        storeTransposed(yi + 4 * p, f.y0.i, y1.i, y2.i, y3.i);
    }
}

// Stores four vectors as rows of four, row l at out + l * stride:
// out[l * stride + r] = v_r[l].
VES_FFT4_INLINE void storeRows(double* out, std::size_t stride, __m256d v0, __m256d v1, __m256d v2, __m256d v3)
{
    const __m256d t0 = _mm256_unpacklo_pd(v0, v1);
    const __m256d t1 = _mm256_unpackhi_pd(v0, v1);
    const __m256d t2 = _mm256_unpacklo_pd(v2, v3);
    const __m256d t3 = _mm256_unpackhi_pd(v2, v3);
    _mm256_storeu_pd(out, _mm256_permute2f128_pd(t0, t2, 0x20));
    _mm256_storeu_pd(out + stride, _mm256_permute2f128_pd(t1, t3, 0x20));
    _mm256_storeu_pd(out + 2 * stride, _mm256_permute2f128_pd(t0, t2, 0x31));
    _mm256_storeu_pd(out + 3 * stride, _mm256_permute2f128_pd(t1, t3, 0x31));
}

// The first two passes in one (M >= 128): the first pass's butterflies of
// points p + k M/16 (k < 4) for four p at a time are what the second pass
// (stride 4) combines for sub-transforms p .. p + 3, lane by lane, so its
// butterflies run on the first pass's results in registers. The second
// pass's factors (entries 4p of the tables) come from their own contiguous
// copies; its sub-transform 0 takes none, as in radix4. Writes the second
// pass's output (the input of the pass at stride 16).
template <typename Pairs>
VES_FFT4_FN void firstPasses(const FftTwiddles& t, Pairs pairs, double* yr, double* yi)
{
    const std::size_t n1 = t.points / 4;  // the first pass's butterflies
    const std::size_t m1 = n1 / 4;        // the second pass's sub-transforms
    for (std::size_t p = 0; p < m1; p += 4) {
        V2 y[4][4];  // the first pass's outputs j of points p + k m1: y[k][j]
        for (std::size_t k = 0; k < 4; ++k) {
            const std::size_t pk = p + k * m1;
            const Butterfly f = butterfly4(pairs(pk), pairs(pk + n1), pairs(pk + 2 * n1), pairs(pk + 3 * n1));
            y[k][0] = f.y0;
            y[k][1] = cmul(load2(t.w1r + pk, t.w1i + pk), f.u1);
            y[k][2] = cmul(load2(t.w2r + pk, t.w2i + pk), f.u2);
            y[k][3] = cmul(load2(t.w3r + pk, t.w3i + pk), f.u3);
        }
        const V2 w1 = load2(t.v1r + p, t.v1i + p);
        const V2 w2 = load2(t.v2r + p, t.v2i + p);
        const V2 w3 = load2(t.v3r + p, t.v3i + p);
        V2 z[4][4];  // the second pass's outputs: z[j'][j] for input j
        for (std::size_t j = 0; j < 4; ++j) {
            const Butterfly g = butterfly4(y[0][j], y[1][j], y[2][j], y[3][j]);
            z[0][j] = g.y0;
            z[1][j] = cmul(w1, g.u1);
            z[2][j] = cmul(w2, g.u2);
            z[3][j] = cmul(w3, g.u3);
            if (p == 0) {  // lane 0 is sub-transform 0
                z[1][j] = {_mm256_blend_pd(z[1][j].r, g.u1.r, 1), _mm256_blend_pd(z[1][j].i, g.u1.i, 1)};
                z[2][j] = {_mm256_blend_pd(z[2][j].r, g.u2.r, 1), _mm256_blend_pd(z[2][j].i, g.u2.i, 1)};
                z[3][j] = {_mm256_blend_pd(z[3][j].r, g.u3.r, 1), _mm256_blend_pd(z[3][j].i, g.u3.i, 1)};
            }
        }
        // Output j' of sub-transform p + l, from input j, lies at 16 (p + l) + 4 j' + j.
        for (std::size_t jj = 0; jj < 4; ++jj) {
            storeRows(yr + 16 * p + 4 * jj, 16, z[jj][0].r, z[jj][1].r, z[jj][2].r, z[jj][3].r);
            storeRows(yi + 16 * p + 4 * jj, 16, z[jj][0].i, z[jj][1].i, z[jj][2].i, z[jj][3].i);
        }
    }
}

VES_FFT4_FN void radix4(const FftTwiddles& t, std::size_t n, std::size_t s, const double* xr, const double* xi,
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


// The last two passes of an odd order in one: the radix-4 pass over
// sub-transforms of length 16 (stride s = M/16) and the twiddle-free one
// over length 4 after it (stride 4s), on values held in registers between
// them. The operations are those of the two passes.
VES_FFT4_FN void radix16Last(const FftTwiddles& t, std::size_t s, const double* xr, const double* xi, double* yr,
                             double* yi)
{
    const std::size_t step = 4 * s;
    for (std::size_t q = 0; q < s; q += 4) {
        V2 y[4][4];  // the first pass's outputs: sub-transform p, output j
        for (std::size_t p = 0; p < 4; ++p) {
            const std::size_t a = q + s * p;
            const Butterfly f = butterfly4(load2(xr + a, xi + a), load2(xr + a + step, xi + a + step),
                                           load2(xr + a + 2 * step, xi + a + 2 * step),
                                           load2(xr + a + 3 * step, xi + a + 3 * step));
            y[p][0] = f.y0;
            if (p == 0) {
                y[p][1] = f.u1;
                y[p][2] = f.u2;
                y[p][3] = f.u3;
            } else {
                const std::size_t ti = p * s;
                y[p][1] = cmul({_mm256_set1_pd(t.w1r[ti]), _mm256_set1_pd(t.w1i[ti])}, f.u1);
                y[p][2] = cmul({_mm256_set1_pd(t.w2r[ti]), _mm256_set1_pd(t.w2i[ti])}, f.u2);
                y[p][3] = cmul({_mm256_set1_pd(t.w3r[ti]), _mm256_set1_pd(t.w3i[ti])}, f.u3);
            }
        }
        for (std::size_t j = 0; j < 4; ++j) {
            const Butterfly g = butterfly4(y[0][j], y[1][j], y[2][j], y[3][j]);
            const std::size_t o = q + s * j;
            store2(yr + o, yi + o, g.y0);
            store2(yr + o + 4 * s, yi + o + 4 * s, g.u1);
            store2(yr + o + 8 * s, yi + o + 8 * s, g.u2);
            store2(yr + o + 12 * s, yi + o + 12 * s, g.u3);
        }
    }
}

// The last two passes of an even order in one: the radix-4 pass over
// sub-transforms of length 8 (stride s = M/8) and the radix-2 pass after it
// (stride 4s), on values held in registers between them instead of a trip
// through memory. The operations are those of the two passes.
VES_FFT4_FN void radix8Last(const FftTwiddles& t, std::size_t s, const double* xr, const double* xi, double* yr,
                            double* yi)
{
    const V2 w1 = {_mm256_set1_pd(t.w1r[s]), _mm256_set1_pd(t.w1i[s])};
    const V2 w2 = {_mm256_set1_pd(t.w2r[s]), _mm256_set1_pd(t.w2i[s])};
    const V2 w3 = {_mm256_set1_pd(t.w3r[s]), _mm256_set1_pd(t.w3i[s])};
    const std::size_t step = 2 * s;
    for (std::size_t q = 0; q < s; q += 4) {
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
            store2(yr + o, yi + o, {_mm256_add_pd(lo[j].r, hi[j].r), _mm256_add_pd(lo[j].i, hi[j].i)});
            store2(yr + o + 4 * s, yi + o + 4 * s, {_mm256_sub_pd(lo[j].r, hi[j].r), _mm256_sub_pd(lo[j].i, hi[j].i)});
        }
    }
}


// The complex passes over the input that `pairs` reads, ping-ponging
// between scratch and work (which the first pass may read); returns where
// their result lies.
template <typename Pairs>
VES_FFT4_FN double* passes(const FftTwiddles& t, Pairs pairs, double* work, double* scratch)
{
    const std::size_t points = t.points;
    std::size_t n = points / 4, s = 4;
    if (n >= 32) {
        firstPasses(t, pairs, scratch, scratch + points);
        n /= 4;
        s *= 4;
    } else {
        firstPass(t, pairs, scratch, scratch + points);
    }
    double* cur = scratch;
    double* other = work;
    // The last two passes in one where that saves more than it costs: always
    // for even orders; for odd ones only at stride 4 (N = 128), as at wider
    // strides the sixteen values held between the two spill from the
    // registers and the fused pass measured slower than the two.
    for (; n >= 4; n /= 4, s *= 4) {
        const bool last = n == 8 || (n == 16 && s == 4);
        if (n == 16 && s == 4)
            radix16Last(t, s, cur, cur + points, other, other + points);
        else if (n == 8)
            radix8Last(t, s, cur, cur + points, other, other + points);
        else
            radix4(t, n, s, cur, cur + points, other, other + points);
        std::swap(cur, other);
        if (last)
            break;
    }
    return cur;
}
