"""Vesperon for Python: bat-call recordings, spectrograms, calls and projects.

Recordings open as the program opens them; samples and spectrograms come as
numpy arrays, calls and projects as pandas DataFrames with the columns and
values of ``vesperon-cli``. Long computations release the GIL, so threads
(and Dask workers) run them side by side. Errors raise ``ValueError`` (a
recording), ``vesperon.ProjectError`` (a project) or ``TypeError`` (an
unknown option) with the program's own message.
"""

from __future__ import annotations

import io
import os
from typing import Iterable, Optional, Sequence, Tuple, Union

import numpy as np

from . import _vesperon
from ._vesperon import ProjectError, Recording

__version__ = _vesperon.__version__
__all__ = ["open", "spectrogram", "power_spectrum", "filter", "calls", "Project", "Recording", "ProjectError", "__version__"]

PathLike = Union[str, "os.PathLike[str]"]


def open(path: PathLike) -> Recording:  # noqa: A001 - the package's own verb
    """Open a recording of any type the program reads.

    The result has ``rate`` (frames per second as stored), ``channels``,
    ``frames``, ``bits``, ``time_expansion``, ``duration`` (seconds of real
    time), ``guano`` (a dict), ``marks`` (a list of dicts) and
    ``samples(start=0, stop=None, channel=None)``: frames [start, stop) as a
    numpy array, shaped (frames,) for one channel and (frames, channels)
    otherwise. 16-bit data come as int16, a read-only view of the mapped
    file without a copy where the samples lie in one mapped piece (mono
    files up to 48 MiB); other widths as float32 in 16-bit units (full scale
    32768), the scale the program measures in.
    """
    return _vesperon.open(os.fspath(path))


def spectrogram(
    rec_or_path: Union[Recording, PathLike],
    start: float = 0.0,
    duration: Optional[float] = None,
    fft: int = 512,
    overlap: float = 0.5,
    window: Union[str, int] = "hanning",
    channel: int = 0,
) -> Tuple[np.ndarray, np.ndarray, np.ndarray]:
    """The spectrogram with the levels the program draws.

    Returns ``(power_db, freqs_hz, times_s)``: ``power_db[k, j]`` is
    10·log10 of the power of bin k in frame j as the plot computes it (the
    window's gain and shape, the program's FFT, |2 X_k / N|² in 16-bit units:
    a full-scale sine reads 90.3 dB whatever the window), the constant bin
    -inf; frequencies and times are real (time expansion undone), times at
    the centre of each frame. ``start`` and ``duration`` are seconds of real
    time; ``window`` is rectangular, parzen, hanning, welch, hamming,
    blackman or cosine, or the program's window code.
    """
    rec = rec_or_path if isinstance(rec_or_path, Recording) else os.fspath(rec_or_path)
    return _vesperon.spectrogram(rec, start, duration, fft, overlap, window, channel)


def power_spectrum(
    rec_or_path: Union[Recording, PathLike],
    start: float = 0.0,
    duration: Optional[float] = None,
    fft: int = 1024,
    window: Union[str, int] = "hanning",
    channel: int = 0,
    log: bool = True,
) -> Tuple[np.ndarray, np.ndarray]:
    """The averaged power spectrum of a stretch, as ``vesperon-cli power`` computes it.

    Returns ``(level, freqs_hz)`` for bins 0 .. fft/2 - 1 (those the power
    spectrum window shows and exports): the level in dB
    relative to full scale (a full-scale sine reads 0 dB; -inf for a bin
    with no power), or the power itself with ``log=False``. ``start`` and
    ``duration`` are seconds of real time.
    """
    rec = rec_or_path if isinstance(rec_or_path, Recording) else os.fspath(rec_or_path)
    return _vesperon.power_spectrum(rec, start, duration, fft, window, channel, log)


def filter(  # noqa: A001 - the command's own name
    rec_or_path: Union[Recording, PathLike],
    type: str = "lowpass",  # noqa: A002
    design: str = "butterworth",
    edges: Union[float, Sequence[float]] = (),
    order: int = 4,
    ripple: float = 0.5,
    attenuation: float = 50.0,
    start: int = 0,
    stop: Optional[int] = None,
) -> np.ndarray:
    """Frames [start, stop) of a recording after an IIR filter, as ``vesperon-cli filter`` makes them.

    ``type`` is lowpass, highpass, bandpass or bandstop; ``design``
    butterworth, chebyshev, inverse-chebyshev or elliptic; ``edges`` the
    cut-off frequency in real-time Hz, or the lower and upper one of a band;
    ``ripple`` and ``attenuation`` in dB as the command takes them. The
    samples come as ``Recording.samples`` gives them (int16 for 16-bit
    files, float32 in 16-bit units otherwise); the file is not changed.
    """
    rec = rec_or_path if isinstance(rec_or_path, Recording) else os.fspath(rec_or_path)
    edge_list = [float(edges)] if isinstance(edges, (int, float)) else [float(e) for e in edges]
    return _vesperon.filter(rec, type, design, edge_list, order, ripple, attenuation, start, stop)


def _csv_frame(text: str):
    import pandas as pd

    return pd.read_csv(io.StringIO(text), keep_default_na=False, na_values={"interval_ms": [""], "tbc_ms": [""]})


def calls(rec_or_path: Union[Recording, PathLike], **options):
    """The calls of a recording as a pandas DataFrame.

    Columns and values are those of ``vesperon-cli calls --csv`` (file, call,
    start_ms, end_ms, ... high_freq_hz; the interval and TBC of a file's
    first call are NaN). Options, with the command's defaults: band
    ((lo, hi) in kHz or "LO,HI"), snr, edge_snr, edge_drop, min_duration,
    min_interval, echo_window, max_roughness, channel ("mix", "left",
    "right") and time_expansion (a factor).
    """
    rec = rec_or_path if isinstance(rec_or_path, Recording) else os.fspath(rec_or_path)
    return _csv_frame(_vesperon.calls_csv(rec, dict(options)))


class Project:
    """A season project file (.vproj) made by ``vesperon-cli project``."""

    def __init__(self, path: PathLike):
        """Open the project at ``path``; a missing or foreign file raises ProjectError."""
        self.path = os.fspath(path)
        # Opening tells at once whether the file is a project.
        _vesperon.project_check(self.path)

    def __repr__(self) -> str:
        return f"vesperon.Project({self.path!r})"

    def recordings(self):
        """The recordings, one row each, as ``project export --recordings --csv``."""
        import pandas as pd

        return pd.read_csv(io.StringIO(_vesperon.project_recordings_csv(self.path)), keep_default_na=False,
                           na_values={"calls": [""]}, dtype={"site": str, "detector": str, "error": str,
                                                             "night": str, "start_time": str})

    def calls(self):
        """The calls of every analysed recording, as ``project export --calls --csv``."""
        return _csv_frame(_vesperon.project_calls_csv(self.path))

    def summary(self, by: Union[str, Sequence[str]] = "night", pass_gap_ms: float = 1000.0):
        """Files, recordings with calls, calls and passes per group, as ``project summary``.

        ``by`` is night, site or species, or several of them (a list or
        "night,site").
        """
        import pandas as pd

        keys = by.split(",") if isinstance(by, str) else list(by)
        rows = _vesperon.project_summary(self.path, keys, float(pass_gap_ms))
        return pd.DataFrame([list(k) + [f, w, c, p] for k, f, w, c, p in rows],
                            columns=keys + ["files", "recordings_with_calls", "calls", "passes"])

    def calls_shard(self, index: int, count: int, **options) -> dict:
        """Analyse shard ``index`` of ``count`` into its shard file, as ``project calls --shard``.

        Options: band, snr, channel (those of ``project calls``).
        """
        return _vesperon.project_calls_shard(self.path, index, count, dict(options))

    def merge(self) -> dict:
        """Import the shard files beside the project, as ``project merge``."""
        return _vesperon.project_merge(self.path)
