"""How a season's call analysis scales: one plain run against Dask runs with
1, 2 and 4 worker processes, for projects of several sizes.

    PYTHONPATH=build/python /usr/bin/python3 python/bench/season_speedup.py \\
        --cli build/cli/vesperon-cli --sizes 32,96,288 --workers 1,2,4

The recordings are stretches of the synthetic demo (2.5 s at 384 kHz each),
made once in the work folder (default: a temporary one). Every run checks
that the merged calls are those of the plain run.
"""

import argparse
import os
import subprocess
import tempfile
import time

import distributed

from vesperon.distributed import project_calls


def main():
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("--cli", required=True)
    ap.add_argument("--sizes", default="32,96,288")
    ap.add_argument("--workers", default="1,2,4")
    ap.add_argument("--work", default=None)
    a = ap.parse_args()
    work = a.work or tempfile.mkdtemp(prefix="vesperon-bench-")

    def cli(*args):
        return subprocess.run([a.cli, *map(str, args)], check=True, capture_output=True, text=True).stdout

    demo = os.path.join(work, "demo.wav")
    if not os.path.exists(demo):
        cli("demo", demo)

    def project(n, tag):
        root = os.path.join(work, f"season{n}")
        if not os.path.isdir(root):
            os.makedirs(root)
            for i in range(n):
                s = (i % 10) * 0.05
                cli("convert", "--start", f"{s}s", "--end", f"{s + 2.5}s", demo, os.path.join(root, f"r{i:05d}.wav"))
        p = os.path.join(work, f"p{n}-{tag}.vproj")
        for f in os.listdir(work):
            if f.startswith(os.path.basename(p)):
                os.remove(os.path.join(work, f))
        cli("project", "init", p, "--root", root)
        cli("project", "add", p, root)
        return p

    for n in map(int, a.sizes.split(",")):
        p = project(n, "plain")
        t = time.perf_counter()
        cli("project", "calls", p)
        plain = time.perf_counter() - t
        reference = cli("project", "export", p, "--calls", "--csv")
        print(f"{n} recordings: plain run {plain:.2f} s ({plain / n * 1000:.0f} ms each)", flush=True)
        for w in map(int, a.workers.split(",")):
            cluster = distributed.LocalCluster(n_workers=w, threads_per_worker=1, processes=True, host="127.0.0.1",
                                               dashboard_address=None, silence_logs=40)
            client = distributed.Client(cluster)
            p = project(n, f"w{w}")
            t = time.perf_counter()
            project_calls(p, client, shards=4 * w)
            dt = time.perf_counter() - t
            same = cli("project", "export", p, "--calls", "--csv") == reference
            print(f"{n} recordings, {w} workers: {dt:.2f} s, speed-up {plain / dt:.2f}, same calls: {same}",
                  flush=True)
            client.close()
            cluster.close()


if __name__ == "__main__":
    main()
