// The portable kernels: plain loops for any processor, and the reference
// that the vector kernels are tested against.
#include "kernels/KernelsInternal.h"

#include <cstring>
#include <utility>

namespace vkern::portable {

namespace {

// ---------------------------------------------------------------------------
// FFT

// One Stockham radix-4 pass (decimation in frequency) over split arrays:
// sub-transforms of length n at stride s = M/n.
void radix4(const FftTwiddles& t, std::size_t n, std::size_t s, const double* xr, const double* xi, double* yr,
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
void radix2(std::size_t s, const double* xr, const double* xi, double* yr, double* yi)
{
    for (std::size_t q = 0; q < s; ++q) {
        const double ar = xr[q], ai = xi[q], br = xr[q + s], bi = xi[q + s];
        yr[q] = ar + br;
        yi[q] = ai + bi;
        yr[q + s] = ar - br;
        yi[q + s] = ai - bi;
    }
}

double* fftPasses(const FftTwiddles& t, const double* x, double* work, double* scratch)
{
    const std::size_t points = t.points;
    for (std::size_t j = 0; j < points; ++j) {
        scratch[j] = x[2 * j];
        scratch[points + j] = x[2 * j + 1];
    }
    double* cur = scratch;
    double* other = work;
    std::size_t n = points, s = 1;
    for (; n >= 4; n /= 4, s *= 4) {
        radix4(t, n, s, cur, cur + points, other, other + points);
        std::swap(cur, other);
    }
    if (n == 2) {
        radix2(s, cur, cur + points, other, other + points);
        std::swap(cur, other);
    }
    return cur;
}

void fftSplit(const FftTwiddles& t, const double* zr, const double* zi, double* out, double scale)
{
    splitEnds(t.points, zr, zi, out, scale);
    splitRange(t, zr, zi, out, 1, t.points / 2, scale * 0.5);
}

void fftSplitPower(const FftTwiddles& t, const double* zr, const double* zi, double* out, double scale, double* acc)
{
    fftSplit(t, zr, zi, out, scale);
    const std::size_t n = 2 * t.points;
    const double unscale = 4.0 / (scale * scale);  // (2N)^2, exact
    for (std::size_t k = 1; k < n / 2; ++k)
        acc[k] += (out[k] * out[k] + out[n - k] * out[n - k]) * unscale;
}

// ---------------------------------------------------------------------------
// Samples and levels

template <bool Windowed>
void decodeMono16Loop(const std::uint8_t* p, std::int64_t n, const double* __restrict window, double* __restrict out)
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

void decodeMono16(const std::uint8_t* p, std::int64_t n, double* out)
{
    decodeMono16Loop<false>(p, n, nullptr, out);
}

void decodeMono16Windowed(const std::uint8_t* p, std::int64_t n, const double* window, double* out)
{
    decodeMono16Loop<true>(p, n, window, out);
}

void aboveBits(const double* level, int n, double threshold, std::uint64_t* bits)
{
    for (int w = 0; w * 64 < n; ++w) {
        std::uint64_t word = 0;
        for (int j = 0; j < 64 && w * 64 + j < n; ++j)
            word |= static_cast<std::uint64_t>(level[w * 64 + j] > threshold) << j;
        bits[w] = word;
    }
}

constexpr KernelTable makeTable()
{
    KernelTable k;
    k.kind = VectorKernels::Portable;
    k.fftMinOrder = 1;
    k.fftPasses = fftPasses;
    k.fftSplit = fftSplit;
    k.fftSplitPower = fftSplitPower;
    k.decodeMono16 = decodeMono16;
    k.decodeMono16Windowed = decodeMono16Windowed;
    k.aboveBits = aboveBits;
    return k;
}

}  // namespace

void splitRange(const FftTwiddles& t, const double* zr, const double* zi, double* out, std::size_t from,
                std::size_t to, double half)
{
    const std::size_t points = t.points;
    for (std::size_t k = from; k < to; ++k) {
        const std::size_t j = points - k;
        const double ar = zr[k], ai = zi[k], br = zr[j], bi = zi[j];
        const double er = ar + br, ei = ai - bi;   // 2 E_k
        const double orr = ai + bi, oi = br - ar;  // 2 O_k
        const double wr = t.sr[k], wi = t.si[k];
        const double tr = wr * orr - wi * oi, ti = wr * oi + wi * orr;
        out[k] = (er + tr) * half;           // Re X_k
        out[points + j] = (ei + ti) * half;  // Im X_k at N - k
        out[j] = (er - tr) * half;           // Re X_(M-k)
        out[points + k] = (ti - ei) * half;  // Im X_(M-k) at N - (M - k)
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

constinit const KernelTable table = makeTable();

}  // namespace vkern::portable
