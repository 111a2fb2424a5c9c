#!/usr/bin/env python3
"""Runs `vesperon-cli calls` over the annotated bat recordings of a data folder
and compares the calls it finds with the people's (and other programs')
annotations.

    tools/validate_calls.py [--cli build/cli/vesperon-cli] [--data ../shared/data] [-- EXTRA CLI OPTIONS]

Per source it prints the recall (reference calls overlapped by a detected call,
or call points inside one), the precision (detected calls that overlap a
reference), and the median differences detected − reference of start, end,
lowest and highest frequency (the call's box, low_freq_hz and high_freq_hz,
or its contour's min and max where a table has no box) over the matched pairs (each reference paired with
the detected call that overlaps it most). Noise-only recordings count their
detections as false ones. A missing data folder or source is reported and
skipped. Exit status 0 unless the tool itself fails.
"""

import argparse
import csv
import io
import json
import os
import statistics
import subprocess
import sys


def run_cli(cli, files, extra, time_expansion=None):
    if not files:
        return {}
    cmd = [cli, "calls", "--csv", "--jobs", "2"] + extra
    if time_expansion:
        cmd += ["--time-expansion", str(time_expansion)]
    out = subprocess.run(cmd + files, check=False, capture_output=True, text=True)
    if out.returncode not in (0, 1):
        sys.exit("vesperon-cli failed: " + out.stderr)
    calls = {f: [] for f in files}
    for row in csv.DictReader(io.StringIO(out.stdout)):
        calls.setdefault(row["file"], []).append(row)
    return calls


def fnum(text):
    return float(text) if text not in ("", None) else None


def box(row, name, older):
    """The call's box frequency, or its contour's extreme from tables made
    before the box columns."""
    return float(row[name]) if row.get(name) not in ("", None) else float(row[older])


class Score:
    def __init__(self, name):
        self.name = name
        self.refs = 0
        self.found = 0
        self.dets = 0
        self.true_dets = 0
        self.noise_files = 0
        self.noise_dets = 0
        self.noise_seconds = 0.0
        self.d_start, self.d_end, self.d_low, self.d_high = [], [], [], []

    def add_boxes(self, refs, dets, precision=True):
        """refs: [(start_ms, end_ms, low_hz or None, high_hz or None)]."""
        self.refs += len(refs)
        if precision:
            self.dets += len(dets)
        for r in refs:
            best, best_overlap = None, 0.0
            for d in dets:
                ov = min(r[1], float(d["end_ms"])) - max(r[0], float(d["start_ms"]))
                if ov > best_overlap:
                    best, best_overlap = d, ov
            if best is None:
                continue
            self.found += 1
            self.d_start.append(float(best["start_ms"]) - r[0])
            self.d_end.append(float(best["end_ms"]) - r[1])
            if r[2] is not None:
                self.d_low.append((box(best, "low_freq_hz", "min_freq_hz") - r[2]) / 1000)
                self.d_high.append((box(best, "high_freq_hz", "max_freq_hz") - r[3]) / 1000)
        if precision:
            for d in dets:
                ok = any(min(r[1], float(d["end_ms"])) > max(r[0], float(d["start_ms"])) for r in refs)
                if ok:
                    self.true_dets += 1

    def add_points(self, points_ms, dets, tolerance_ms=0.5):
        self.refs += len(points_ms)
        self.dets += len(dets)
        inside = lambda p, d: float(d["start_ms"]) - tolerance_ms <= p <= float(d["end_ms"]) + tolerance_ms
        for p in points_ms:
            if any(inside(p, d) for d in dets):
                self.found += 1
        for d in dets:
            ok = any(inside(p, d) for p in points_ms)
            if ok:
                self.true_dets += 1

    def add_noise(self, dets, seconds):
        self.noise_files += 1
        self.noise_dets += len(dets)
        self.noise_seconds += seconds

    def report(self):
        med = lambda v: "%+.2f" % statistics.median(v) if v else "  -  "
        line = "%-22s" % self.name
        if self.refs:
            line += " refs %4d  recall %5.1f%%" % (self.refs, 100.0 * self.found / self.refs)
            if self.dets:
                line += "  precision %5.1f%% (%d calls)" % (100.0 * self.true_dets / self.dets, self.dets)
            if self.d_start:
                line += "  start %s ms  end %s ms" % (med(self.d_start), med(self.d_end))
            if self.d_low:
                line += "  low %s kHz  high %s kHz" % (med(self.d_low), med(self.d_high))
        if self.noise_files:
            line += "  noise-only: %d files, %d calls found in %.1f s (%.1f a minute)" % (
                self.noise_files, self.noise_dets, self.noise_seconds,
                60.0 * self.noise_dets / self.noise_seconds if self.noise_seconds else 0.0)
        print(line)


def timeexp10(data, cli, extra):
    folder = os.path.join(data, "timeexp10")
    score = Score("timeexp10 (boxes)")
    jsons = sorted(f for f in os.listdir(folder) if f.endswith(".json"))
    wavs = [os.path.join(folder, j[:-5] + ".wav") for j in jsons]
    calls = run_cli(cli, wavs, extra, time_expansion=10)
    for j, w in zip(jsons, wavs):
        boxes = json.load(open(os.path.join(folder, j)))["annotation"]["bboxes"]
        refs = [(b[0] * 1000, b[1] * 1000, b[2] * 1000, b[3] * 1000) for b in boxes]
        score.add_boxes(refs, calls.get(w, []))
    return [score]


def tadarida(data, cli, extra):
    folder = os.path.join(data, "tadarida")
    calls_score = Score("tadarida (.ta events)")
    noise_score = Score("tadarida (noise)")
    stems = sorted(f[:-4] for f in os.listdir(folder) if f.endswith(".eti"))
    wavs = [os.path.join(folder, s + ".wav") for s in stems]
    calls = run_cli(cli, wavs, extra)
    for s, w in zip(stems, wavs):
        labels = {}
        with open(os.path.join(folder, s + ".eti"), encoding="latin-1") as f:
            for row in csv.DictReader(f, delimiter="\t"):
                labels[row["Cri"]] = row["Type"]
        events = []
        duration = 0.0
        with open(os.path.join(folder, s + ".ta"), encoding="latin-1") as f:
            for row in csv.DictReader(f, delimiter="\t"):
                duration = float(row["FileDur"])
                events.append((row["CallNum"], float(row["StTime"]), float(row["Dur"]),
                               float(row["Fmin"]) * 1000, float(row["Fmax"]) * 1000))
        refs = [(st, st + dur, lo, hi) for num, st, dur, lo, hi in events if labels.get(num) == "echolo"]
        dets = calls.get(w, [])
        if refs:
            calls_score.add_boxes(refs, dets)
        else:
            noise_score.add_noise(dets, duration)
    return [calls_score, noise_score]


def soundclass(data, cli, extra):
    folder = os.path.join(data, "soundclass")
    score = Score("soundclass (points)")
    noise = Score("soundclass (noise)")
    info = {}
    with open(os.path.join(folder, "files.tsv")) as f:
        for row in csv.DictReader(f, delimiter="\t"):
            info[row["file"]] = row
    points = {}
    with open(os.path.join(folder, "annotations.csv")) as f:
        for row in csv.DictReader(f):
            points.setdefault(row["file"], []).append(float(row["start_time"]) * 1000)
    by_te = {}
    for name, row in info.items():
        by_te.setdefault(float(row["te_factor"]), []).append(name)
    for te, names in sorted(by_te.items()):
        wavs = [os.path.join(folder, n) for n in sorted(names)]
        calls = run_cli(cli, wavs, extra, time_expansion=te if te != 1 else None)
        for n, w in zip(sorted(names), wavs):
            dets = calls.get(w, [])
            if n in points:
                score.add_points(points[n], dets)
            elif "noise" in n:
                noise.add_noise(dets, float(info[n]["real_duration_s"]))
    return [score, noise]


def batdetect2(data, cli, extra):
    folder = os.path.join(data, "batdetect2")
    score = Score("batdetect2 (model)")
    noise = Score("batdetect2 (no calls)")
    anns = sorted(f for f in os.listdir(folder) if f.startswith("anns_") and f.endswith(".json"))
    wavs = [os.path.join(folder, "audio_" + a[len("anns_"):-len(".wav.json")] + ".wav") for a in anns]
    nobat = os.path.join(folder, "contrib_padpadpadpad_AudiomothNoBatCalls.WAV")
    extra_files = [nobat] if os.path.exists(nobat) else []
    calls = run_cli(cli, wavs + extra_files, extra)
    for a, w in zip(anns, wavs):
        js = json.load(open(os.path.join(folder, a)))
        refs = [(e["start_time"] * 1000, e["end_time"] * 1000, e["low_freq"], e["high_freq"])
                for e in js["annotation"] if e.get("event") == "Echolocation"]
        score.add_boxes(refs, calls.get(w, []))
    for f in extra_files:
        frames = os.path.getsize(f) / 2.0
        noise.add_noise(calls.get(f, []), frames / 250000.0)
    return [score, noise]


def ccby(data, cli, extra):
    folder = os.path.join(data, "cc-by")
    w = os.path.join(folder, "test_file.wav")
    score = Score("cc-by (3 calls)")
    dets = run_cli(cli, [w], extra).get(w, [])
    score.refs = 3
    score.found = min(3, len(dets))
    score.dets = len(dets)
    score.true_dets = min(3, len(dets))
    return [score]


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("--cli", default=os.path.join(here, "..", "build", "cli", "vesperon-cli"))
    ap.add_argument("--data", default=os.path.join(here, "..", "..", "shared", "data"))
    ap.add_argument("extra", nargs="*", help="options passed to vesperon-cli calls")
    args = ap.parse_args()
    if not os.path.isdir(args.data):
        print("no data folder at %s: nothing to validate" % args.data)
        return 0
    noise_dets, noise_seconds = 0, 0.0
    for source in (timeexp10, tadarida, soundclass, batdetect2, ccby):
        name = source.__name__ if source.__name__ != "ccby" else "cc-by"
        if not os.path.isdir(os.path.join(args.data, name)):
            print("%-22s missing, skipped" % name)
            continue
        for score in source(args.data, args.cli, args.extra):
            score.report()
            noise_dets += score.noise_dets
            noise_seconds += score.noise_seconds
    if noise_seconds > 0:
        # The recordings with no bats together: the false calls a minute.
        print("%-22s  %d calls found in %.1f s (%.1f a minute)" % (
            "all bat-free", noise_dets, noise_seconds, 60.0 * noise_dets / noise_seconds))
    return 0


if __name__ == "__main__":
    sys.exit(main())
