#!/usr/bin/python3
"""Throughput of scipy.signal.sosfilt on the filter and the length of
bench_filter (60 s of 384 kHz sound, an elliptic band-pass of order 8 from
20 to 60 kHz, 0.5 dB ripple, 50 dB stopband), in millions of samples a second.

Run:  /usr/bin/python3 bench/sosfilt_throughput.py
"""
import time

import numpy as np
import scipy.signal

RATE = 384000
x = ((np.arange(RATE * 60) * 7919) % 2001 - 1000).astype(np.float64)
sos = scipy.signal.ellip(4, 0.5, 50, [20000 / (RATE / 2), 60000 / (RATE / 2)], "bandpass", output="sos")
best = None
for _ in range(5):
    t = time.perf_counter()
    scipy.signal.sosfilt(sos, x)
    dt = time.perf_counter() - t
    best = dt if best is None else min(best, dt)
print("scipy %s sosfilt: %.1f MS/s (best of 5: %.0f ms)" % (scipy.__version__, len(x) / best / 1e6, best * 1000))
