#!/usr/bin/python3
"""Writes reference_iir.txt: independent IIR designs, transformations and
model fits computed with numpy and scipy, for the kelmsp IIR design tests.

Run from anywhere:  /usr/bin/python3 kelmsp/tests/reference/make_reference_iir.py
The tests only read the stored file; they never run this script.

File format as reference.txt: a line "@name count" followed by count numbers,
one per line (complex values as two numbers, real part first). Lines starting
with '#' are comments.

Conventions. The library's deviations are gains: the passband gain stays
within [1 - rp, 1], the stopband gain at or below rs; scipy takes decibels,
-20 log10(1 - rp) and -20 log10(rs). Edges are normalised to the Nyquist
frequency in both. Responses are evaluated with the true pi at
exp(-i pi f). The library prewarps its edges and places its section angles
with pi = 3.1415927410125732 (single precision held in a double); each case
therefore stores, beside scipy's response, the tolerance that this pi
explains: four times the largest change of scipy's own response when its
edges move by the factor pi_single / pi, plus 2e-6 (the elliptic designs
also stop their argument iteration at a relative gap of 1e-6).
"""
import os
import sys

import numpy as np
import scipy
import scipy.linalg
import scipy.signal
import scipy.special

OUT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "reference_iir.txt")
PI_LIBRARY = 3.1415927410125732
EDGE_SCALE = PI_LIBRARY / np.pi
TYPES = ["butter", "cheby1", "cheby2", "ellip"]  # the library's options 0..3

entries = []


def put(name, values):
    arr = np.asarray(values)
    if np.iscomplexobj(arr):
        flat = np.column_stack([arr.real.ravel(), arr.imag.ravel()]).ravel()
    else:
        flat = arr.astype(float).ravel()
    entries.append((name, flat))


def db_pass(rp):
    return -20 * np.log10(1 - rp)


def db_stop(rs):
    return -20 * np.log10(rs)


def scipy_design(kind, n, wn, rp, rs, btype="lowpass"):
    """zpk of scipy's design; rp and rs are the library's gains."""
    if kind == "butter":
        return scipy.signal.butter(n, wn, btype, output="zpk")
    if kind == "cheby1":
        return scipy.signal.cheby1(n, db_pass(rp), wn, btype, output="zpk")
    if kind == "cheby2":
        return scipy.signal.cheby2(n, db_stop(rs), wn, btype, output="zpk")
    return scipy.signal.ellip(n, db_pass(rp), db_stop(rs), wn, btype, output="zpk")


def response(zpk, f):
    _, h = scipy.signal.freqz_zpk(*zpk, worN=np.pi * np.asarray(f))
    return h


def explained_tolerance(kind, n, wn, rp, rs, btype, f):
    wn = np.asarray(wn, dtype=float)
    moved = response(scipy_design(kind, n, wn * EDGE_SCALE, rp, rs, btype), f)
    nominal = response(scipy_design(kind, n, wn, rp, rs, btype), f)
    return 4 * np.max(np.abs(moved - nominal)) + 2e-6


# --- Low-pass designs: every type, orders 1..10, three specifications ---
GRID = np.linspace(0.01, 0.99, 64)
put("design.grid", GRID)
SPECS = [(0.3, 0.05, 0.01), (0.6, 0.2, 0.001), (0.1, 0.01, 0.0001)]  # (fp, rp, rs)
cases = []
for t, kind in enumerate(TYPES):
    for n in range(1, 11):
        for fp, rp, rs in SPECS:
            i = len(cases)
            cases.append([t, n, fp, rp, rs])
            put(f"design.{i}.H", response(scipy_design(kind, n, fp, rp, rs), GRID))
            put(f"design.{i}.tol", [explained_tolerance(kind, n, fp, rp, rs, "lowpass", GRID)])
put("design.cases", cases)

# --- Frequency transformations of prototypes with the edge 0.5 ---
# option: 0 low-pass, 1 high-pass (edge f1), 2 band-pass, 3 band-stop (f1, f2).
TRANSFORMS = [(0, 0.2, 0.0), (1, 0.3, 0.0), (2, 0.2, 0.7), (2, 0.3, 0.45), (3, 0.25, 0.6), (3, 0.1, 0.6)]
BTYPES = ["lowpass", "highpass", "bandpass", "bandstop"]
tcases = []
for t, kind in enumerate(TYPES):
    for n in (2, 3):
        for option, f1, f2 in TRANSFORMS:
            rp, rs = 0.1, 0.01
            wn = f1 if option < 2 else [f1, f2]
            i = len(tcases)
            tcases.append([t, n, rp, rs, option, f1, f2])
            put(f"transform.{i}.H", response(scipy_design(kind, n, wn, rp, rs, BTYPES[option]), GRID))
            put(f"transform.{i}.tol", [explained_tolerance(kind, n, wn, rp, rs, BTYPES[option], GRID)])
put("transform.cases", tcases)

# --- Order estimation: scipy's order for the same specification ---
# (fp, fs, rp, rs); the cases avoid exact integer ratios, where the library
# answers one more than scipy.
ORDER_SPECS = [(0.2, 0.3, 0.05, 0.01), (0.3, 0.35, 0.1, 0.001), (0.5, 0.8, 0.01, 0.01), (0.1, 0.15, 0.2, 0.05),
               (0.4, 0.42, 0.05, 0.01), (0.05, 0.5, 0.3, 0.2), (0.7, 0.75, 0.02, 0.003)]
ordfun = [scipy.signal.buttord, scipy.signal.cheb1ord, scipy.signal.cheb2ord, scipy.signal.ellipord]
orders = []
for t in range(4):
    for fp, fs, rp, rs in ORDER_SPECS:
        n, _ = ordfun[t](fp, fs, db_pass(rp), db_stop(rs))
        orders.append([t, fp, fs, rp, rs, n])
put("order.cases", orders)

# --- Bilinear transformation: analog (b, a) ascending in s, the constant c ---
# scipy.signal.bilinear uses s = 2 fs (z - 1)/(z + 1), so fs = c / 2.
BILINEAR = [([1.0], [1.0, 1.4142135623730951, 1.0], 2),
            ([0.5, 0.0, 2.0], [3.0, 2.5, 1.5, 1.0], 3),
            ([0.0, 1.0], [1.0, 1.0], 1)]
for i, (b, a, c) in enumerate(BILINEAR):
    bz, az = scipy.signal.bilinear(b[::-1], a[::-1], fs=c / 2.0)
    put(f"bilinear.{i}.b", b)
    put(f"bilinear.{i}.a", a)
    put(f"bilinear.{i}.c", [c])
    put(f"bilinear.{i}.bz", np.asarray(bz) / az[0])
    put(f"bilinear.{i}.az", np.asarray(az) / az[0])

# --- Linear prediction: an AR(4) process and the normal equations solved by scipy ---
rng = np.random.default_rng(20240612)
AR = [1.0, -1.6, 1.2, -0.5, 0.15]
x = scipy.signal.lfilter([1.0], AR, rng.standard_normal(3000))
put("lpc.true", AR)
put("lpc.x", x)
for p in (4, 6):
    r = np.correlate(x, x, "full")[len(x) - 1 : len(x) + p]
    put(f"lpc.{p}.a", np.concatenate([[1.0], scipy.linalg.solve_toeplitz(r[:p], -r[1 : p + 1])]))
# A signal shorter than the order: the autocorrelation is padded with zeros.
short = np.array([1.0, -0.5, 0.25, 0.4])
p = 6
r = np.concatenate([np.correlate(short, short, "full")[len(short) - 1 :], np.zeros(p + 1 - len(short))])
put("lpc.short.x", short)
put("lpc.short.a", np.concatenate([[1.0], scipy.linalg.solve_toeplitz(r[:p], -r[1 : p + 1])]))

# --- Complete elliptic integrals and Carlson's R_F ---
M = [0.0, 1e-6, 0.1, 0.5, 0.9, 0.99, 1 - 1e-6, 1 - 1e-12, 1 - 1e-15]
put("elk.m", M)
put("elk.K", scipy.special.ellipk(M))
RF = [(0.0, 1.0, 1.0), (1.0, 2.0, 3.0), (0.5, 0.5, 0.5), (1e-10, 1.0, 4.0), (0.0, 1e-20, 1.0), (2.0, 1e5, 3e-3)]
put("elrf.xyz", RF)
put("elrf.value", [scipy.special.elliprf(*xyz) for xyz in RF])

with open(OUT, "w") as f:
    f.write("# kelmsp IIR design reference vectors, written by make_reference_iir.py\n")
    f.write(f"# python {sys.version.split()[0]}, numpy {np.__version__}, scipy {scipy.__version__}\n")
    for name, flat in entries:
        f.write(f"@{name} {len(flat)}\n")
        for v in flat:
            f.write(f"{v:.17g}\n")
print(f"wrote {OUT}: {len(entries)} vectors")
