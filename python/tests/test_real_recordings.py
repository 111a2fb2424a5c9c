"""Real recordings of the shared data folder (skipped when it is absent):
metadata, samples and calls as vesperon-cli gives them."""

import io
import json
import os
import pathlib

import numpy as np
import pytest

import vesperon

pd = pytest.importorskip("pandas", reason="python3-pandas is not installed")

DATA = pathlib.Path(os.environ.get("VES_SHARED_DIR", pathlib.Path(__file__).parents[3] / "shared")) / "data"
RECORDINGS = sorted(DATA.rglob("*.wav")) if DATA.is_dir() else []
pytestmark = pytest.mark.skipif(not RECORDINGS, reason=f"no shared recordings in {DATA}")

# A file each of: GUANO metadata, time expansion 10, stereo, a high rate.
PICKS = ["contrib_jeff37_0166_20240602_225340.wav", "Car370293-2016-Pass1-Z3-US-16611-0_20160629_213356_166.wav",
         "Bbar009.wav", "audio_20170701_213954-MYOMYS-LR_0_0.5.wav"]


def picked():
    by_name = {p.name: p for p in RECORDINGS}
    return [by_name[n] for n in PICKS if n in by_name]


@pytest.mark.parametrize("path", picked(), ids=lambda p: p.name)
def test_metadata_samples_and_calls_are_the_programs(path, cli):
    info = json.loads(cli("info", "--json", path).stdout)[0]
    rec = vesperon.open(path)
    assert (rec.rate, rec.channels, rec.frames, rec.time_expansion) == (
        info["rate_hz"], info["channels"], info["frames"], info["time_expansion"])
    assert rec.guano == info.get("guano", {})
    assert len(rec.marks) == len(info["marks"])
    s = rec.samples(0, 1000)
    assert s.dtype == np.int16 and s.shape == ((1000,) if rec.channels == 1 else (1000, rec.channels))
    frame = vesperon.calls(rec)
    expected = pd.read_csv(io.StringIO(cli("calls", "--csv", path).stdout))
    pd.testing.assert_frame_equal(frame, expected, check_dtype=False)
