"""Shared fixtures: a small synthetic season made by vesperon-cli, and the CLI itself."""

import os
import shutil
import subprocess

import pytest


def _cli_path():
    path = os.environ.get("VES_CLI") or shutil.which("vesperon-cli")
    if not path:
        pytest.skip("vesperon-cli not found (run the tests through ctest, which names it in VES_CLI)")
    return path


@pytest.fixture(scope="session")
def cli():
    path = _cli_path()

    def run(*args, check=True):
        r = subprocess.run([path, *map(str, args)], capture_output=True, text=True)
        if check and r.returncode != 0:
            raise AssertionError(f"vesperon-cli {' '.join(map(str, args))}: {r.returncode}\n{r.stderr}")
        return r

    return run


@pytest.fixture(scope="session")
def season(tmp_path_factory, cli):
    """A folder of six short recordings: the demo and five stretches of it, plus a broken file."""
    root = tmp_path_factory.mktemp("season")
    (root / "a").mkdir()
    (root / "b").mkdir()
    demo = root / "a" / "demo.wav"
    cli("demo", demo)
    for start, end, name in [("0.2s", "1.5s", "a/cut1.wav"), ("0.7s", "2.6s", "a/cut2.wav"),
                             ("0.1s", "2.0s", "b/cut3.wav"), ("1.0s", "2.9s", "b/cut4.wav"),
                             ("0.4s", "1.1s", "b/cut5.wav")]:
        cli("convert", "--start", start, "--end", end, demo, root / name)
    return root


def _make_project(path, cli, season):
    cli("project", "init", path, "--root", season)
    cli("project", "add", path, season)
    return path


@pytest.fixture
def make_project(tmp_path, cli, season):
    """Makes a project of the season (its recordings added, none analysed)."""
    return lambda name="p.vproj": _make_project(tmp_path / name, cli, season)


@pytest.fixture(scope="session")
def reference_csv(tmp_path_factory, cli, season):
    """The calls of the season found by one plain ``project calls`` run, exported as CSV."""
    p = _make_project(tmp_path_factory.mktemp("reference") / "reference.vproj", cli, season)
    cli("project", "calls", p)
    return cli("project", "export", p, "--calls", "--csv").stdout
