#!/usr/bin/python3
"""Writes reference.txt: inputs and expected outputs for the kelmsp tests,
computed independently with numpy and scipy.

Run from anywhere:  /usr/bin/python3 kelmsp/tests/reference/make_reference.py
The tests only read the stored file; they never run this script.

File format: a line "@name count" followed by count numbers, one per line
(complex values as two numbers, real part first; count counts numbers).
Lines starting with '#' are comments.
"""
import os
import sys

import numpy as np
import scipy
import scipy.linalg
import scipy.signal

OUT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "reference.txt")
PI_LIBRARY = 3.1415927410125732  # the library's pi (single precision held in a double)

entries = []


def put(name, values):
    arr = np.asarray(values)
    if np.iscomplexobj(arr):
        flat = np.column_stack([arr.real.ravel(), arr.imag.ravel()]).ravel()
    else:
        flat = arr.astype(float).ravel()
    entries.append((name, flat))


def hann(n):
    # The library's Hann window: 0.5 + 0.5 cos(2pi' (k + (n-1)/2) / (n-1)), 2pi' = 6.2831854820251465.
    k = np.arange(n)
    beta = 6.2831854820251465 * (k + (n - 1) / 2.0) / (n - 1)
    return 0.5 + 0.5 * np.cos(beta)


rng = np.random.default_rng(20240611)

# Discrete Fourier transforms of lengths with small, mixed and large prime factors.
for n in [1, 2, 3, 4, 5, 6, 7, 8, 12, 16, 30, 97, 128, 210, 1009]:
    x = rng.standard_normal(n)
    X = np.fft.fft(x)
    packed = [X[0].real]
    for k in range(1, (n + 1) // 2):
        packed += [X[k].real, X[k].imag]
    if n % 2 == 0:
        packed.append(X[n // 2].real)
    put(f"fft.real.x.{n}", x)
    put(f"fft.real.X.{n}", packed)
    z = rng.standard_normal(n) + 1j * rng.standard_normal(n)
    put(f"fft.complex.x.{n}", z)
    put(f"fft.complex.X.{n}", np.fft.fft(z))

# Polynomial roots (coefficients in ascending powers).
for i, c in enumerate([[6.0, -5.0, 1.0], [1.0, 0.0, 0.0, 1.0], [2.0, -3.0, 0.5, 4.0, 1.5, -1.0]]):
    put(f"roots.c.{i}", c)
    put(f"roots.z.{i}", np.roots(c[::-1]).astype(complex))

# Linear convolution.
cx = rng.standard_normal(37)
cy = rng.standard_normal(11)
put("conv.x", cx)
put("conv.y", cy)
put("conv.xy", np.convolve(cx, cy))

# IIR filtering: a Butterworth low-pass, causal and zero phase.
b, a = scipy.signal.butter(4, 0.2)
x = rng.standard_normal(200)
put("iir.b", b)
put("iir.a", a)
put("iir.x", x)
put("iir.y", scipy.signal.lfilter(b, a, x))
# Zero phase as the two-sided response |H|^2 over the whole signal: forward
# and backward passes with enough zeros after the signal for the forward tail.
padded = np.concatenate([x, np.zeros(4000)])
zp = scipy.signal.lfilter(b, a, scipy.signal.lfilter(b, a, padded)[::-1])[::-1][: len(x)]
put("iir.zerophase", zp)
freqs = np.linspace(0.0, 1.0, 11)
_, h = scipy.signal.freqz(b, a, worN=PI_LIBRARY * freqs)
put("iir.freqs", freqs)
put("iir.H", h)

# Resampling through a FIR filter (full convolutions).
hf = scipy.signal.firwin(9, 0.4)
xs = rng.standard_normal(23)
put("resample.h", hf)
put("resample.x", xs)
put("resample.up3", scipy.signal.upfirdn(hf, xs, up=3))
xs_pad = np.concatenate([xs, np.zeros((-len(xs)) % 4)])
put("resample.down4", scipy.signal.upfirdn(hf, xs_pad, down=4))

# Averaged periodogram and spectrogram (density scaling with fs = 1: |X|^2 / sum w^2).
xw = rng.standard_normal(1000)
zw = rng.standard_normal(1000) + 1j * rng.standard_normal(1000)
for a_len, ov in [(128, 64), (100, 30)]:
    w = hann(a_len)
    common = dict(window=w, nperseg=a_len, noverlap=ov, nfft=a_len, detrend=False,
                  return_onesided=False, scaling="density", fs=1.0)
    _, p = scipy.signal.welch(xw, average="mean", **common)
    put(f"welch.real.{a_len}.{ov}", p[: a_len // 2 + 1])
    _, p = scipy.signal.welch(zw, average="mean", **common)
    put(f"welch.complex.{a_len}.{ov}", p)
    _, _, s = scipy.signal.spectrogram(xw, mode="psd", **common)
    put(f"specgram.real.{a_len}.{ov}", s[: a_len // 2 + 1, :].T)  # rows = segments
put("welch.x", xw)
put("welch.z", zw)

# Symmetric Toeplitz systems and linear prediction.
ar = scipy.signal.lfilter([1.0], [1.0, -0.9, 0.5, -0.2], rng.standard_normal(4000))
r = np.correlate(ar, ar, "full")[len(ar) - 1 : len(ar) + 6] / len(ar)
y = rng.standard_normal(len(r))
put("toeplitz.r", r)
put("toeplitz.y", y)
put("toeplitz.x", scipy.linalg.solve_toeplitz(r, y))
order = len(r) - 1
put("levinson.a", np.concatenate([[1.0], scipy.linalg.solve_toeplitz(r[:order], -r[1 : order + 1])]))

with open(OUT, "w") as f:
    f.write("# kelmsp test reference vectors, written by make_reference.py\n")
    f.write(f"# python {sys.version.split()[0]}, numpy {np.__version__}, scipy {scipy.__version__}\n")
    for name, flat in entries:
        f.write(f"@{name} {len(flat)}\n")
        for v in flat:
            f.write(f"{v:.17g}\n")
print(f"wrote {OUT}: {len(entries)} vectors")
