"""A project's calls found on a Dask distributed cluster.

The work is the shards of ``vesperon-cli project calls --shard I/N``: each
task analyses one fixed part of the pending recordings into a shard file
beside the project, and the caller merges them. Workers need only the shared
file system and this package; a worker that dies takes nothing with it (its
shard file is written whole or not at all, and Dask runs the task again
elsewhere), and the merged project is the same for any number of shards and
workers.
"""

from __future__ import annotations

import os
import uuid
from typing import Optional

from . import _vesperon


def _run_shard(project: str, index: int, count: int, options: dict) -> dict:
    """One task: shard ``index`` of ``count`` into its file beside the project (on a worker)."""
    return _vesperon.project_calls_shard(project, index, count, options)


def project_calls(project, client, shards: Optional[int] = None, **options) -> dict:
    """Find the calls of a project's pending recordings on a Dask cluster and merge them.

    ``project`` is the path of the project file, on a file system every
    worker sees at the same path; ``client`` a ``distributed.Client``.
    ``shards`` is the number of parts (default: four per worker thread, at
    least one); ``options`` are those of ``project calls`` (band, snr,
    channel). Returns the merge's counts (shards, recordings, calls,
    unreadable, missing, skipped, pending). Run again after a failure, it
    does only what is still due.
    """
    path = os.path.abspath(os.fspath(project))
    _vesperon.project_check(path)
    if shards is None:
        threads = sum(client.nthreads().values()) or 1
        shards = 4 * threads
    if shards < 1:
        raise ValueError("shards must be at least 1")
    run = uuid.uuid4().hex[:8]
    futures = [client.submit(_run_shard, path, i, shards, dict(options), key=f"vesperon-shard-{i}-of-{shards}-{run}",
                             pure=False)
               for i in range(shards)]
    client.gather(futures)
    return _vesperon.project_merge(path)
