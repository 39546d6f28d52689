"""Framelot on a Dask cluster: conversions spread over the workers of
Dask's ``distributed`` scheduler, and frames as a Dask bag.

    import framelot.dask
    results = framelot.dask.convert("stickers/", output="frames")   # a LocalCluster of this machine's cores
    from distributed import Client
    results = framelot.dask.convert(paths, client=Client("tcp://scheduler:8786"), scale=0.5)
    bag = framelot.dask.frames(paths, every=10)    # (path, index, Frame) items

Framelot does not schedule machines: any ``distributed.Client`` does. The
promise of the command line holds across workers: files whose outputs may
share a path (the same names in one folder) go to one task, converted in the
order given, so no file's output is mixed with or skipped for another's by
chance of timing.
"""

import os
import uuid

import framelot
from framelot import _framelot
from framelot._objects import Result
from framelot._options import words as _words

__all__ = ["convert", "frames"]


def _convert_group(paths, words):
    """One task: files whose outputs may share a path, one after the other."""
    try:
        return [framelot._result(item) for item in _framelot.convert(paths, words, 1)]
    except Exception as error:  # one task's trouble is its files' results, not the batch's end
        return [Result(path, "failed", f"{type(error).__name__}: {error}") for path in paths]


def _local_client():
    from distributed import Client, LocalCluster

    cluster = LocalCluster(n_workers=_framelot.cores, threads_per_worker=1, processes=True)
    return Client(cluster), cluster


def convert(paths, client=None, *, recursive=False, progress=True, **options):
    """Converts files on a Dask cluster; one ``framelot.Result`` a file, in
    the order given.

    ``paths``: a path, a folder (its animations; ``recursive=True``: below it
    too) or a list of them, as the workers see them (on a cluster of
    machines, a shared file system). ``client``: a ``distributed.Client``;
    None starts a ``LocalCluster`` of this machine's cores, one thread a
    worker, and closes it after. ``progress``: Dask's progress bar while the
    tasks run. Options are ``framelot.convert``'s, by keyword.

    Files whose outputs may share a path go to one task in order; the rest
    are a task each. A file that fails is a result, and a task that fails
    (a worker lost) is a ``failed`` result for each of its files: the rest
    go on. Options the command line refuses raise ValueError before any
    task is sent.
    """
    words = _words("convert", options)
    _framelot.check_options(words)
    output = options.get("output")
    files = framelot._files(paths, recursive, os.fsdecode(os.fspath(output)) if output is not None else "")
    groups = _framelot.groups(files, words)
    cluster = None
    if client is None:
        client, cluster = _local_client()
    try:
        batch = uuid.uuid4().hex
        futures = [client.submit(_convert_group, [files[i] for i in group], words, key=f"framelot-convert-{batch}-{n}",
                                 pure=False)
                   for n, group in enumerate(groups)]
        if progress and futures:
            from distributed import progress as show_progress

            show_progress(futures)
        results = [None] * len(files)
        for group, future in zip(groups, futures):
            try:
                items = future.result()
            except Exception as error:
                items = [Result(files[i], "failed", f"{type(error).__name__}: {error}") for i in group]
            for i, item in zip(group, items):
                results[i] = item
        return results
    finally:
        if cluster is not None:
            client.close()
            cluster.close()


def _file_frames(path, options, errors):
    items = []
    try:
        for frame in framelot.frames(path, **options):
            items.append((path, frame.index, frame))
    except framelot.Error:
        if errors == "raise":
            raise
    return items


def frames(paths, *, recursive=False, errors="skip", **options):
    """A Dask bag of ``(path, index, framelot.Frame)``, a partition a file.

    ``paths`` as ``convert`` takes them; options are ``framelot.frames``'s.
    Each file's frames are decoded on a worker when the bag is computed.
    ``errors``: ``"skip"`` (a file that cannot be read gives no frames, a
    damaged one those that decoded) or ``"raise"``.
    """
    import dask.bag

    if errors not in ("skip", "raise"):
        raise ValueError('errors takes "skip" or "raise"')
    _framelot.check_options(_words("frames", options))
    files = framelot._files(paths, recursive, "")
    return dask.bag.from_sequence(files, npartitions=max(len(files), 1)).map(_file_frames, options, errors).flatten()
