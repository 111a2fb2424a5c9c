"""The package against the program: the same samples, levels, calls and project tables."""

import os
import subprocess
import sys

import numpy as np
import pytest

import vesperon

pd = pytest.importorskip("pandas", reason="python3-pandas is not installed")


def test_recording_properties_and_samples(season, cli, tmp_path):
    rec = vesperon.open(season / "a" / "demo.wav")
    assert (rec.rate, rec.channels, rec.frames, rec.time_expansion) == (384000, 1, 1152000, 1.0)
    assert isinstance(rec.guano, dict) and isinstance(rec.marks, list)
    whole = rec.samples()
    assert whole.dtype == np.int16 and whole.shape == (rec.frames,)
    assert not whole.flags.owndata and not whole.flags.writeable, "a view of the mapped file"
    import wave
    with wave.open(str(season / "a" / "demo.wav")) as w:
        assert np.array_equal(whole, np.frombuffer(w.readframes(w.getnframes()), "<i2"))
    part = rec.samples(1000, 1010)
    assert np.array_equal(part, whole[1000:1010])
    assert np.array_equal(rec.samples(-5), whole[-5:])
    assert rec.samples(10, 5).shape == (0,)
    del rec
    assert int(np.abs(whole.astype(np.int32)).max()) > 1000, "the view outlives its recording object"

    # 16-bit stereo: frames as a (frames, 2) view, a channel as a strided one.
    pair = np.stack([np.arange(-300, 300, dtype=np.int16) * 50, np.arange(600, dtype=np.int16)], axis=1)
    stereo = tmp_path / "stereo.wav"
    with wave.open(str(stereo), "wb") as w:
        w.setnchannels(2)
        w.setsampwidth(2)
        w.setframerate(384000)
        w.writeframes(pair.astype("<i2").tobytes())
    st = vesperon.open(stereo)
    both = st.samples()
    assert both.shape == (600, 2) and not both.flags.owndata and not both.flags.writeable
    assert np.array_equal(both, pair)
    right_view = st.samples(100, 110, channel=1)
    assert not right_view.flags.owndata and np.array_equal(right_view, pair[100:110, 1])

    # Other widths come as float32 in 16-bit units: a stereo 24-bit file
    # written here with known values.
    left = np.arange(-500, 500, dtype=np.int32) * 4099
    right = -left // 3
    pcm = np.stack([left, right], axis=1).astype("<i4").tobytes()
    packed = b"".join(pcm[i:i + 3] for i in range(0, len(pcm), 4))
    wide = tmp_path / "wide.wav"
    with wave.open(str(wide), "wb") as w:
        w.setnchannels(2)
        w.setsampwidth(3)
        w.setframerate(250000)
        w.writeframes(packed)
    w = vesperon.open(wide)
    assert (w.rate, w.channels, w.bits, w.frames) == (250000, 2, 24, 1000)
    s = w.samples()
    assert s.dtype == np.float32 and s.shape == (1000, 2)
    assert np.array_equal(s[:, 0], (left / 256).astype(np.float32))
    assert np.array_equal(w.samples(10, 20, channel=1), (right[10:20] / 256).astype(np.float32))
    with pytest.raises(IndexError, match="channel 2"):
        w.samples(channel=2)


@pytest.mark.parametrize("bad, message", [
    ("missing.wav", "no such file"),
    ("broken.wav", "Unable to open"),
])
def test_unreadable_recordings_raise_the_programs_message(tmp_path, bad, message):
    path = tmp_path / bad
    if bad == "broken.wav":
        path.write_bytes(b"RIFF and then nothing useful")
    with pytest.raises(ValueError, match=message):
        vesperon.open(path)
    with pytest.raises(ValueError, match=message):
        vesperon.calls(path)


def test_spectrogram_levels_axes_and_options(season):
    rec = vesperon.open(season / "a" / "demo.wav")
    power, freqs, times = vesperon.spectrogram(rec, fft=512, overlap=0.5)
    assert power.shape == (256, len(times)) and freqs.shape == (256,)
    assert freqs[1] == pytest.approx(384000 / 512)
    assert np.all(np.diff(times) == pytest.approx(256 / 384000))
    assert np.isneginf(power[0]).all(), "the constant bin is never drawn"
    # The demo's calls stand far above its quiet background, under the
    # full-scale sine's 90.3 dB.
    assert 50 < np.nanmax(power[1:]) < 90.4
    hann = vesperon.spectrogram(rec, start=1.0, duration=0.1, fft=256, window="hanning")[0]
    rect = vesperon.spectrogram(rec, start=1.0, duration=0.1, fft=256, window="rectangular")[0]
    assert hann.shape == rect.shape and not np.array_equal(hann, rect)
    for bad in [dict(fft=500), dict(overlap=1.0), dict(window="gauss"), dict(channel=1)]:
        with pytest.raises((ValueError, IndexError)):
            vesperon.spectrogram(rec, **bad)


def _write_wav(path, samples, rate):
    import wave
    with wave.open(str(path), "wb") as w:
        w.setnchannels(1)
        w.setsampwidth(2)
        w.setframerate(rate)
        w.writeframes(np.asarray(samples, dtype="<i2").tobytes())


@pytest.mark.parametrize("window, gain, shape", [
    ("hanning", 2.0, lambda x: (1 - np.cos(6.283 * x)) / 2),
    ("hamming", 1.852, lambda x: 0.54 - 0.46 * np.cos(6.283 * x)),
    ("rectangular", 1.0, lambda x: np.ones_like(x)),
])
def test_spectrogram_levels_are_the_plots_whatever_the_window(tmp_path, window, gain, shape):
    # A full-scale sine centred on bin 100 of 512 reads 2^30 (90.31 dB) with
    # every window, as the palette's scale expects; a noisy signal gives,
    # bin for bin, |2 X_k / N|^2 of the plot's window table (its 6.283 for 2 pi).
    rate, n = 384000, 512
    t = np.arange(20000)
    sine = np.round(32767 * np.sin(2 * np.pi * 100 * t / n))
    _write_wav(tmp_path / "sine.wav", sine, rate)
    power, _, _ = vesperon.spectrogram(tmp_path / "sine.wav", fft=n, window=window)
    assert power[100].max() == pytest.approx(10 * np.log10(2.0 ** 30), abs=0.1)

    noise = np.random.default_rng(7).integers(-3000, 3000, 8192)
    _write_wav(tmp_path / "noise.wav", noise, rate)
    power, freqs, times = vesperon.spectrogram(tmp_path / "noise.wav", fft=n, overlap=0.75, window=window)
    table = gain * shape(np.arange(n) / (n - 1))
    for j in (0, 5, len(times) - 1):
        start = j * n // 4
        x = np.fft.rfft(noise[start:start + n] * table)[:n // 2]
        expected = 10 * np.log10(np.abs(2 * x / n) ** 2)
        assert np.allclose(power[1:, j], expected[1:], atol=1e-4)
        assert times[j] == pytest.approx((start + n / 2) / rate)


@pytest.mark.parametrize("fft, window, start, duration", [(1024, "hanning", 0, None), (256, "hamming", 0.5, 0.25)])
def test_power_spectrum_is_the_power_commands(season, cli, fft, window, start, duration):
    path = season / "a" / "demo.wav"
    level, freqs = vesperon.power_spectrum(path, start=start, duration=duration, fft=fft, window=window)
    args = ["power", "--log", "--fft", fft, "--window", window, "--start", f"{start}s"]
    if duration is not None:
        args += ["--end", f"{start + duration}s"]
    rows = [line.split("\t") for line in cli(*args, path).stdout.splitlines()[1:]]
    assert len(rows) == len(level) == fft // 2
    assert np.allclose(freqs / 1000, [float(r[0]) for r in rows], atol=0.0005)
    assert np.allclose(level, [float(r[1]) for r in rows], atol=0.0005)


@pytest.mark.parametrize("py, args", [
    (dict(type="highpass", edges=30000), ["--type", "highpass", "--edges", "30000"]),
    (dict(type="bandpass", design="elliptic", edges=(30000, 60000), order=6, ripple=1, attenuation=60, start=1000,
          stop=50000),
     ["--type", "bandpass", "--design", "elliptic", "--edges", "30000,60000", "--order", "6", "--ripple", "1",
      "--attenuation", "60", "--start", "1000", "--end", "50000"]),
])
def test_filter_gives_the_filter_commands_samples(season, cli, tmp_path, py, args):
    path = season / "b" / "cut5.wav"
    rec = vesperon.open(path)
    before = rec.samples().copy()
    filtered = vesperon.filter(rec, **py)
    out = tmp_path / "filtered.wav"
    cli("filter", *args, path, out)
    start, stop = py.get("start", 0), py.get("stop", rec.frames)
    assert np.array_equal(filtered, vesperon.open(out).samples(start, stop))
    assert not np.array_equal(filtered, before[start:stop])
    assert np.array_equal(rec.samples(), before), "the recording itself is not filtered"
    with pytest.raises(ValueError, match="band filter needs"):
        vesperon.filter(rec, type="bandpass", edges=30000)


@pytest.mark.parametrize("options, cli_options", [
    ({}, []),
    ({"band": (20, 100), "snr": 20}, ["--band", "20,100", "--snr", "20"]),
    ({"band": "20,100", "min_duration": 2, "channel": "mix"}, ["--band", "20,100", "--min-duration", "2", "--channel", "mix"]),
    ({"time_expansion": 2, "echo_window": 5}, ["--time-expansion", "2", "--echo-window", "5"]),
])
def test_calls_are_the_calls_commands_rows(season, cli, options, cli_options):
    path = season / "a" / "cut2.wav"
    rec = vesperon.open(path)
    frame = vesperon.calls(rec, **options)
    assert rec.time_expansion == 1.0, "the options are the analysis's, not the recording's"
    text = cli("calls", "--csv", *cli_options, path).stdout
    expected = pd.read_csv(__import__("io").StringIO(text))
    assert list(frame.columns) == list(expected.columns)
    assert len(frame) > 10
    pd.testing.assert_frame_equal(frame, expected)


def test_unknown_options_are_refused(season):
    with pytest.raises(TypeError, match="unknown option 'snr_db'"):
        vesperon.calls(season / "a" / "cut1.wav", snr_db=3)
    with pytest.raises(ValueError, match="band"):
        vesperon.calls(season / "a" / "cut1.wav", band=(100, 20))


def test_project_tables_are_the_exports(make_project, cli, tmp_path):
    p = make_project()
    cli("project", "calls", p)
    project = vesperon.Project(p)
    exported = cli("project", "export", p, "--calls", "--csv").stdout
    calls = project.calls()
    assert calls.to_csv(index=False, float_format=None).count("\n") == exported.count("\n")
    pd.testing.assert_frame_equal(calls, pd.read_csv(__import__("io").StringIO(exported)))
    recs = project.recordings()
    assert len(recs) == 6 and recs["calls"].notna().all()
    summary = project.summary(by=["night", "site"])
    assert list(summary.columns) == ["night", "site", "files", "recordings_with_calls", "calls", "passes"]
    assert summary["calls"].sum() == len(calls)
    with pytest.raises(vesperon.ProjectError, match="not a Vesperon project"):
        other = tmp_path / "other.db"
        import sqlite3
        sqlite3.connect(other).execute("CREATE TABLE t(x)").connection.commit()
        vesperon.Project(other)
    with pytest.raises(vesperon.ProjectError, match="cannot open the project"):
        vesperon.Project(tmp_path / "none.vproj")


def test_shards_from_python_merge_to_the_single_run(make_project, cli, reference_csv):
    p = make_project()
    project = vesperon.Project(p)
    for i in range(3):
        assert project.calls_shard(i, 3)["done_already"] is False
    assert project.calls_shard(1, 3)["done_already"] is True
    report = project.merge()
    assert report["shards"] == 3 and report["recordings"] == 6 and report["pending"] == 0
    assert cli("project", "export", p, "--calls", "--csv").stdout == reference_csv
