"""Type stubs of the vesperon package."""

import os
from typing import Any, Dict, List, Optional, Sequence, Tuple, Union

import numpy as np
import numpy.typing as npt
import pandas as pd

__version__: str

PathLike = Union[str, os.PathLike[str]]

class ProjectError(RuntimeError):
    """A project that cannot be opened or written, with the program's message."""

class Recording:
    """An opened recording."""
    @property
    def path(self) -> str: ...
    @property
    def rate(self) -> int: ...
    @property
    def channels(self) -> int: ...
    @property
    def bits(self) -> int: ...
    @property
    def frames(self) -> int: ...
    @property
    def time_expansion(self) -> float: ...
    @property
    def duration(self) -> float: ...
    @property
    def guano(self) -> Dict[str, str]: ...
    @property
    def marks(self) -> List[Dict[str, Any]]: ...
    def samples(
        self, start: int = 0, stop: Optional[int] = None, channel: Optional[int] = None
    ) -> Union[npt.NDArray[np.int16], npt.NDArray[np.float32]]: ...

def open(path: PathLike) -> Recording: ...
def spectrogram(
    rec_or_path: Union[Recording, PathLike],
    start: float = 0.0,
    duration: Optional[float] = None,
    fft: int = 512,
    overlap: float = 0.5,
    window: Union[str, int] = "hanning",
    channel: int = 0,
) -> Tuple[npt.NDArray[np.float32], npt.NDArray[np.float64], npt.NDArray[np.float64]]: ...
def power_spectrum(
    rec_or_path: Union[Recording, PathLike],
    start: float = 0.0,
    duration: Optional[float] = None,
    fft: int = 1024,
    window: Union[str, int] = "hanning",
    channel: int = 0,
    log: bool = True,
) -> Tuple[npt.NDArray[np.float64], npt.NDArray[np.float64]]: ...
def filter(
    rec_or_path: Union[Recording, PathLike],
    type: str = "lowpass",
    design: str = "butterworth",
    edges: Union[float, Sequence[float]] = (),
    order: int = 4,
    ripple: float = 0.5,
    attenuation: float = 50.0,
    start: int = 0,
    stop: Optional[int] = None,
) -> Union[npt.NDArray[np.int16], npt.NDArray[np.float32]]: ...
def calls(
    rec_or_path: Union[Recording, PathLike],
    *,
    band: Union[Tuple[float, float], str, None] = None,
    snr: Optional[float] = None,
    edge_snr: Optional[float] = None,
    edge_drop: Optional[float] = None,
    min_duration: Optional[float] = None,
    min_interval: Optional[float] = None,
    echo_window: Optional[float] = None,
    max_roughness: Optional[float] = None,
    channel: Optional[str] = None,
    time_expansion: Optional[float] = None,
) -> pd.DataFrame: ...

class Project:
    path: str
    def __init__(self, path: PathLike) -> None: ...
    def recordings(self) -> pd.DataFrame: ...
    def power_spectrum(
    rec_or_path: Union[Recording, PathLike],
    start: float = 0.0,
    duration: Optional[float] = None,
    fft: int = 1024,
    window: Union[str, int] = "hanning",
    channel: int = 0,
    log: bool = True,
) -> Tuple[npt.NDArray[np.float64], npt.NDArray[np.float64]]: ...
def calls(self) -> pd.DataFrame: ...
    def summary(self, by: Union[str, Sequence[str]] = "night", pass_gap_ms: float = 1000.0) -> pd.DataFrame: ...
    def calls_shard(
        self,
        index: int,
        count: int,
        *,
        band: Union[Tuple[float, float], str, None] = None,
        snr: Optional[float] = None,
        channel: Optional[str] = None,
    ) -> Dict[str, Any]: ...
    def merge(self) -> Dict[str, int]: ...
