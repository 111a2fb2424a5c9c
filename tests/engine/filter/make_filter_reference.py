#!/usr/bin/python3
"""Writes filter_reference.txt: filter outputs computed with numpy and scipy,
for the filter kernel tests.

Run from anywhere:  /usr/bin/python3 tests/engine/filter/make_filter_reference.py
The tests only read the stored file; they never run this script.

Format: a line "@name count" followed by count numbers, one per line. Each
case stores its second-order sections ("@<case>.sos", six numbers per
section: b0 b1 b2 1 a1 a2, as scipy writes them) or its transfer function
("@<case>.b", "@<case>.a"), the input ("@<case>.x<bits>", integer sample
values relative to the zero line) and the expected output
("@<case>.y<bits>": scipy's sosfilt or lfilter output, clipped to the width
and truncated toward zero) for sample widths of 8, 16, 24 and 32 bits.
"""
import os

import numpy as np
import scipy
import scipy.signal

OUT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "filter_reference.txt")
N = 400
RATE = 384000.0
NYQ = RATE / 2

rng = np.random.default_rng(20261210)
t = np.arange(N) / RATE
# A low tone, a call-like tone and noise: something in every band.
signal = 0.45 * np.sin(2 * np.pi * 3000 * t) + 0.35 * np.sin(2 * np.pi * 45000 * t) + 0.15 * rng.standard_normal(N)
signal = np.clip(signal, -0.95, 0.95)

cases = {
    "ellip_bp": {"sos": scipy.signal.ellip(4, 0.5, 50, [20000 / NYQ, 60000 / NYQ], "bandpass", output="sos")},
    "butter_hp": {"sos": scipy.signal.butter(4, 10000 / NYQ, "highpass", output="sos")},
    "cheby_lp": {"sos": scipy.signal.cheby1(5, 1.0, 30000 / NYQ, "lowpass", output="sos")},
    "butter_lp_ba": {"ba": scipy.signal.butter(3, 0.2, "lowpass", output="ba")},
}

lines = ["# filter kernel references: scipy %s, numpy %s" % (scipy.__version__, np.__version__)]


def put(name, values):
    values = list(values)
    lines.append("@%s %d" % (name, len(values)))
    lines.extend(repr(float(v)) for v in values)


for name, case in cases.items():
    if "sos" in case:
        put(name + ".sos", np.asarray(case["sos"]).ravel())
    else:
        b, a = case["ba"]
        put(name + ".b", b)
        put(name + ".a", a)
    for bits in (8, 16, 24, 32):
        full = 2 ** (bits - 1)
        x = np.trunc(signal * full)
        if "sos" in case:
            y = scipy.signal.sosfilt(case["sos"], x)
        else:
            y = scipy.signal.lfilter(case["ba"][0], case["ba"][1], x)
        y = np.trunc(np.clip(y, -full, full - 1))
        put("%s.x%d" % (name, bits), x)
        put("%s.y%d" % (name, bits), y)

with open(OUT, "w") as f:
    f.write("\n".join(lines) + "\n")
print("wrote", OUT)
