#!/usr/bin/python3
"""Writes reference_fir.txt: inputs and expected outputs for the FIR design
tests of kelmsp, computed independently with numpy and scipy.

Run from anywhere:  /usr/bin/python3 kelmsp/tests/reference/make_reference_fir.py
The tests only read the stored file; they never run this script.

File format (as reference.txt): a line "@name count" followed by count numbers,
one per line. Lines starting with '#' are comments.
"""
import math
import os
import sys
from fractions import Fraction

import numpy as np
import scipy
import scipy.linalg
import scipy.signal
import scipy.special

OUT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "reference_fir.txt")
PI_LIBRARY = 3.1415927410125732  # the library's pi (single precision held in a double)

entries = []


def put(name, values):
    entries.append((name, np.asarray(values, dtype=float).ravel()))


# --- Kaiser windows: I0 through scipy's exponentially scaled i0e, so that
# large shape parameters stay finite. ---
kaiser_cases = [(11, 1.0), (32, 2.5), (51, 4.0), (8, 0.3), (21, 300.0)]
for i, (n, alpha) in enumerate(kaiser_cases):
    B = PI_LIBRARY * alpha
    x = 2.0 * (np.arange(n) - (n - 1) / 2.0) / (n - 1)
    a = B * np.sqrt(np.clip(1 - x * x, 0, None))
    w = scipy.special.i0e(a) * np.exp(a - B) / scipy.special.i0e(B)
    put(f"kaiser.case.{i}", [n, alpha])
    put(f"kaiser.w.{i}", w)

# --- Dolph-Chebyshev windows: scipy's chebwin with the attenuation that the
# main-lobe parameter theta gives, normalised to 1 at the centre. ---
cheb_cases = [(11, 0.3), (31, 0.2), (51, 0.1), (101, 0.08), (7, 0.9)]
for i, (n, theta) in enumerate(cheb_cases):
    c = 1.0 / math.cos(PI_LIBRARY * theta / 2)
    at = 20 * math.log10(math.cosh((n - 1) * math.acosh(c)))
    w = scipy.signal.windows.chebwin(n, at)
    put(f"chebwin.case.{i}", [n, theta, at])
    put(f"chebwin.w.{i}", w / w[(n - 1) // 2])

# --- Window method: scipy's firwin without scaling (the Hann or Hamming
# window of the same length). ---
firwin_cases = [
    # option, n, f1, f2, window ("hann" or "hamming")
    (0, 21, 0.3, 1.0, "hann"),
    (1, 21, 0.4, 1.0, "hann"),
    (2, 32, 0.2, 0.5, "hann"),
    (3, 31, 0.3, 0.6, "hann"),
    (0, 40, 0.25, 1.0, "hamming"),
    (2, 45, 0.1, 0.35, "hamming"),
]
for i, (option, n, f1, f2, window) in enumerate(firwin_cases):
    if option == 0:
        h = scipy.signal.firwin(n, f1, window=window, pass_zero=True, scale=False, fs=2)
    elif option == 1:
        h = scipy.signal.firwin(n, f1, window=window, pass_zero=False, scale=False, fs=2)
    elif option == 2:
        h = scipy.signal.firwin(n, [f1, f2], window=window, pass_zero=False, scale=False, fs=2)
    else:
        h = scipy.signal.firwin(n, [f1, f2], window=window, pass_zero=True, scale=False, fs=2)
    put(f"firwin.case.{i}", [option, n, f1, f2, 0 if window == "hann" else 1])
    put(f"firwin.h.{i}", h)


# --- Least-squares frequency sampling. The discrete problem is solved
# here from the frequency response itself: h = S c with S the symmetry of
# the type, amplitude Re(e^(jwM) H(w)) (symmetric) or Im(...) (antisymmetric,
# H = j A), least squares over the grid. ---
def ls_grid(f, a, density, q):
    f = np.asarray(f, float)
    a = np.asarray(a, float)
    if density < 1 and len(f) >= q:
        return f, a
    d = density if density >= 1 else 4
    g = np.linspace(0, 1, len(f) * d)
    # piecewise-linear interpolant continued beyond the ends
    t = np.interp(g, f, a)
    lo = g < f[0]
    t[lo] = a[0] + (a[1] - a[0]) / (f[1] - f[0]) * (g[lo] - f[0])
    hi = g > f[-1]
    t[hi] = a[-2] + (a[-1] - a[-2]) / (f[-1] - f[-2]) * (g[hi] - f[-2])
    return g, t


def ls_design(n, f, a, anti, density):
    odd = n % 2 == 1
    q = (n - 1) // 2 if odd else n // 2
    g, t = ls_grid(f, a, density, q)
    M = (n - 1) / 2.0
    k = np.arange(n)
    # symmetry matrix: h = S c, c the taps left of the centre (and the centre)
    free = (n + 1) // 2 if not anti else n // 2
    S = np.zeros((n, free))
    for i in range(free):
        S[i, i] = 1.0
        S[n - 1 - i, i] = -1.0 if anti else 1.0
    w = PI_LIBRARY * g
    H = np.exp(1j * np.outer(w, M - k))  # e^(jwM) e^(-jwk)
    A = (H.imag if anti else H.real) @ S
    c, *_ = np.linalg.lstsq(A, t, rcond=None)
    return S @ c


ls_cases = [
    # n, f, a, antisymmetric, density
    (21, [0, 0.3, 0.5, 1], [1, 1, 0, 0], 0, 16),
    (20, [0, 0.4, 0.6, 1], [1, 1, 0, 0], 0, 8),
    (21, [0, 0.5, 1], [0, 0.5, 1.0], 1, 16),
    (20, [0, 0.5, 1], [0, 0.5, 1.0], 1, 16),
    (11, [0.1, 0.2, 0.35, 0.5, 0.8, 0.95], [0.2, 0.6, 1.0, 1.0, 0.4, 0.1], 0, 0),
    (21, [0.0, 0.5, 1.0], [1.0, 0.5, 0.0], 0, 0),
    (12, [0.0, 0.3, 0.5, 0.7, 0.8, 0.9], [1.0, 0.8, 0.5, 0.3, 0.2, 0.1], 0, 0),
    (13, [0.1, 0.25, 0.4, 0.6, 0.75, 0.9], [0.1, 0.25, 0.4, 0.6, 0.75, 0.9], 1, 0),
    (12, [0.1, 0.25, 0.4, 0.6, 0.75, 1.0], [0.1, 0.25, 0.4, 0.6, 0.75, 1.0], 1, 0),
    (31, [0.0, 0.2, 0.3, 1.0], [1.0, 1.0, 0.0, 0.0], 0, 1),
]
for i, (n, f, a, anti, density) in enumerate(ls_cases):
    put(f"firls.case.{i}", [n, anti, density])
    put(f"firls.f.{i}", f)
    put(f"firls.a.{i}", a)
    put(f"firls.h.{i}", ls_design(n, f, a, anti, density))

# scipy's firls minimises the integral of the squared error over the bands;
# a dense grid of the discrete design approaches it.
firls_scipy = [
    (31, [0, 0.3, 0.5, 1], [1, 1, 0, 0]),
    (25, [0, 0.4, 0.45, 1], [1, 1, 0, 0]),
    (41, [0, 0.2, 0.3, 0.6, 0.7, 1], [0, 0, 1, 1, 0, 0]),
]
for i, (n, f, a) in enumerate(firls_scipy):
    bands, desired = [], []
    for j in range(len(f) - 1):
        bands += [f[j], f[j + 1]]
        desired += [a[j], a[j + 1]]
    put(f"scipyfirls.case.{i}", [n])
    put(f"scipyfirls.f.{i}", f)
    put(f"scipyfirls.a.{i}", a)
    put(f"scipyfirls.h.{i}", scipy.signal.firls(n, bands, desired, fs=2))

# --- Remez exchange: scipy's remez on the normalised band edges (fs = 2).
# scipy returns the Hilbert transformer with H = +j A; the library's has the
# sign of the Hilbert transform (H = -j A), so the tests negate this one. ---
remez_cases = [
    # nfilt, type, edges, fx, wtx, lgrid
    (31, 1, [0, 0.3, 0.4, 1], [1, 0], [1, 1], 16),
    (32, 1, [0, 0.3, 0.4, 1], [1, 0], [1, 10], 16),
    (41, 1, [0, 0.2, 0.3, 0.6, 0.7, 1], [0, 1, 0], [1, 1, 1], 16),
    (25, 1, [0, 0.35, 0.5, 1], [0, 1], [3, 1], 16),
    (45, 1, [0, 0.15, 0.2, 0.5, 0.55, 0.8, 0.85, 1], [1, 0, 1, 0], [1, 2, 1, 2], 16),
    (61, 1, [0.05, 0.2, 0.3, 0.7, 0.8, 0.95], [0, 1, 0], [1, 1, 1], 24),
    (21, 2, [0, 0.9], [1], [1], 16),
    (20, 2, [0, 1], [math.pi], [1], 16),
    (33, 2, [0, 0.5, 0.6, 1], [1, 0], [1, 1], 16),
    (21, 3, [0.1, 0.9], [1], [1], 16),
    (30, 3, [0.1, 1], [1], [1], 16),
    (51, 3, [0.05, 0.95], [1], [1], 32),
]
types = {1: "bandpass", 2: "differentiator", 3: "hilbert"}
for i, (nfilt, typ, edges, fx, wtx, lgrid) in enumerate(remez_cases):
    h = scipy.signal.remez(nfilt, edges, fx, weight=wtx, type=types[typ], maxiter=25, grid_density=lgrid, fs=2)
    put(f"remez.case.{i}", [nfilt, typ, lgrid])
    put(f"remez.edges.{i}", edges)
    put(f"remez.fx.{i}", fx)
    put(f"remez.wtx.{i}", wtx)
    put(f"remez.h.{i}", h)


# --- Savitzky-Golay: exact rational arithmetic with the monic Gram
# polynomials of the points -m..m, then rounded. ---
def savgol_exact(n, l):
    m = (n - 1) // 2
    d = 2 * (l // 2)
    ks = range(m + 1)
    prev = [Fraction(0)] * (m + 1)
    cur = [Fraction(1)] * (m + 1)
    norm = Fraction(n)
    acc = [cur[0] * cur[k] / norm for k in ks]
    for j in range(d):
        bj = Fraction(j * j * (n * n - j * j), 4 * (4 * j * j - 1)) if j > 0 else Fraction(0)
        nxt = [k * cur[k] - bj * prev[k] for k in ks]
        norm *= Fraction((j + 1) ** 2 * (n * n - (j + 1) ** 2), 4 * (4 * (j + 1) ** 2 - 1))
        prev, cur = cur, nxt
        if (j + 1) % 2 == 0:
            acc = [acc[k] + cur[0] * cur[k] / norm for k in ks]
    half = [float(v) for v in acc]
    return np.array(half[:0:-1] + half)


sg_cases = [(5, 2), (7, 3), (11, 4), (25, 6), (41, 40), (101, 60)]
for i, (n, l) in enumerate(sg_cases):
    h = savgol_exact(n, l)
    if n <= 25:  # cross-check with scipy where its power basis is well conditioned
        assert np.allclose(h, scipy.signal.savgol_coeffs(n, l), atol=1e-12)
    put(f"savgol.case.{i}", [n, l])
    put(f"savgol.h.{i}", h)

# --- Interpolation filter of up-sampling: for each phase the Toeplitz system
# of the band-limited correlation, solved by scipy. ---
up_cases = [(2, 1, 0.5), (3, 4, 0.8), (4, 6, 0.5)]
for i, (l, n, alpha) in enumerate(up_cases):
    k = np.arange(2 * n)
    r = np.sinc(alpha * k * PI_LIBRARY / np.pi) * alpha / l
    out = np.zeros(2 * n * l + 1)
    for ph in range(l):
        p = np.sinc(alpha * (k - n + ph / l) * PI_LIBRARY / np.pi) * alpha / l
        out[ph + k * l] = scipy.linalg.solve_toeplitz(r, p)
    out[-1] = out[0]
    put(f"upsample.case.{i}", [l, n, alpha])
    put(f"upsample.h.{i}", out)

with open(OUT, "w") as fh:
    fh.write("# kelmsp FIR design reference vectors, written by make_reference_fir.py\n")
    fh.write(f"# python {sys.version.split()[0]}, numpy {np.__version__}, scipy {scipy.__version__}\n")
    for name, flat in entries:
        fh.write(f"@{name} {len(flat)}\n")
        for v in flat:
            fh.write(repr(float(v)) + "\n")
print(f"wrote {len(entries)} vectors to {OUT}")
