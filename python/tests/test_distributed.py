"""Shards on a real Dask cluster: a scheduler and two worker processes on
127.0.0.1, one of them killed mid-run; the merged project must be the one a
single plain run makes."""

import os
import signal
import threading

import pytest

import vesperon

distributed = pytest.importorskip("distributed", reason="python3-distributed is not installed")
from vesperon.distributed import project_calls  # noqa: E402


@pytest.fixture(scope="module")
def cluster():
    # One cluster for the module (starting one takes seconds); the test that
    # kills a worker comes last, and the nanny starts it again anyway.
    cluster = distributed.LocalCluster(n_workers=2, threads_per_worker=1, processes=True, host="127.0.0.1",
                                       dashboard_address=None, silence_logs=40)
    client = distributed.Client(cluster)
    yield client
    client.close()
    cluster.close()


def export(cli, p):
    return cli("project", "export", p, "--calls", "--csv").stdout


@pytest.mark.parametrize("shards", [1, 3, 16])
def test_any_number_of_shards_gives_the_single_runs_calls(cluster, make_project, cli, reference_csv, shards):
    p = make_project(f"dask{shards}.vproj")
    report = project_calls(p, cluster, shards=shards)
    assert report["recordings"] == 6 and report["pending"] == 0
    assert export(cli, p) == reference_csv
    assert not [f for f in os.listdir(p.parent) if ".shard-" in f], "merged shard files are removed"


def test_a_worker_killed_mid_run_loses_and_doubles_nothing(cluster, make_project, cli, reference_csv):
    p = make_project("killed.vproj")
    pids = cluster.run(os.getpid)
    victim = sorted(pids.values())[0]
    started = threading.Event()
    killed = []

    # The first shard to start on the victim's side kills it: the task is
    # lost with its worker, and Dask runs it again on the other one.
    def kill_when_busy():
        while not started.is_set():
            if any(cluster.processing().values()):
                os.kill(victim, signal.SIGKILL)
                killed.append(victim)
                started.set()
            started.wait(0.05)

    killer = threading.Thread(target=kill_when_busy)
    killer.start()
    try:
        report = project_calls(p, cluster, shards=8)
    except distributed.KilledWorker:
        report = None  # too many deaths for one task: the run is repeated below
    finally:
        started.set()
        killer.join()
    assert killed, "a worker died during the run"
    if report is None or report["pending"]:
        report = project_calls(p, cluster, shards=8)
    assert report["pending"] == 0
    assert export(cli, p) == reference_csv
    # Repeated once more, the run finds nothing due and changes nothing.
    assert project_calls(p, cluster, shards=8)["recordings"] == 0
    assert export(cli, p) == reference_csv
