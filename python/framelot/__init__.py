"""Framelot: the frames of animated GIF, PNG (APNG), WebP, AVIF and JPEG XL
files, composed by each format's own rules, as NumPy arrays or as files.

    import framelot
    pixels, durations = framelot.read("anim.gif")      # N x H x W x 4 uint8, RGBA
    for frame in framelot.frames("long.webp", every=10):
        print(frame.index, frame.time_ms, frame.pixels.shape)
    framelot.convert(["a.gif", "b.webp"], output="out", scale=2)
    framelot.info("anim.png")["frames"][0]["dispose"]

Options are the command line's, by keyword (``merge_held=True`` is
``--merge-held``), read by the same reader: what the command line refuses
raises ValueError in its words. A source is a path (str or os.PathLike),
whose extension names its format as on the command line, or bytes-like data,
whose first bytes do. Files that cannot be read raise ``framelot.Error``'s
subclasses. The GIL is let go while the core reads, decodes and writes.
``framelot.dask`` spreads conversions over a Dask cluster.
"""

import os
import warnings

from . import _framelot
from ._errors import DamagedError, Error, NotAnAnimationError, OverLimitError, UnreadableError
from ._objects import Frame, Result
from ._options import words as _words

__all__ = ["info", "frames", "read", "convert", "Frame", "Result", "Error", "DamagedError", "NotAnAnimationError",
           "OverLimitError", "UnreadableError", "__version__"]
__version__ = _framelot.version

# The options a reading of frames takes; the command line's others write files.
_FRAME_OPTIONS = ("frames", "every", "at", "count", "merge_held", "scale", "fit", "filter", "canvas")


def _source(source):
    """A path as str, or bytes-like data as it is."""
    if isinstance(source, (bytes, bytearray, memoryview)):
        return source
    if isinstance(source, (str, os.PathLike)):
        return os.fsdecode(os.fspath(source))
    raise TypeError(f"a source is a path or bytes, not {type(source).__name__}")


def _status(result):
    """A result dict's one status word (see Result)."""
    status, failure = result["status"], result["failure"]
    if status == "converted":
        return "damaged" if result["damage"] else "converted"
    if status == "failed" and failure in ("usage", "over_limit", "damaged"):
        return failure
    return status


def _raise_for(result, source, frames=None, durations=None):
    """Raises what a result that is not a clean reading stands for."""
    name = source if isinstance(source, str) else None
    status = _status(result)
    if status == "converted":
        return
    reason = result["reason"]
    if status == "damaged":
        damage = result["damage"]
        reason = f"the file is damaged: {damage}" if damage else reason
        decoded = 0 if frames is None else len(frames)
        raise DamagedError(reason, name, frames, durations, result.get("frames", decoded) or decoded)
    if status == "not_animation":
        raise NotAnAnimationError(reason, name)
    if status == "unreadable":
        raise UnreadableError(reason, name)
    if status == "over_limit":
        raise OverLimitError(reason, name)
    if status == "usage":
        raise ValueError(reason)
    raise Error(reason, name)


def info(source):
    """The description ``framelot-cli --info --json`` gives, as a dict.

    ``source``: a path or bytes. Keys: ``file`` (the path, None for bytes),
    ``status`` (``ok``, or ``not_animation`` with a ``reason`` for a still or
    another kind of file, which is not an error here), ``format``,
    ``canvas`` and ``declared`` (``{"width", "height"}``), ``loops`` (0:
    forever, None: the file does not say), ``damage`` when part of the file
    is broken, and ``frames``: one dict a frame with ``index``, ``left``,
    ``top``, ``width``, ``height``, ``delay_ms``, ``delay_raw`` (as stored),
    ``dispose`` and ``blend``. Nothing is decoded: it costs the format's
    walk over the file.

    Raises UnreadableError when the file cannot be read, DamagedError when
    it is damaged before its first frame, OverLimitError past a limit.
    """
    import json

    source = _source(source)
    text, result = _framelot.describe(source)
    if result["status"] not in ("converted", "not_animation"):
        _raise_for(result, source)
    description = json.loads(text)
    if not isinstance(source, str):
        description["file"] = None
    return description


class _FrameIterator:
    """The frames of one source, decoded on a thread of their own a frame or
    two ahead of the caller."""

    def __init__(self, stream, source):
        self._stream = stream
        self._source = source

    def __iter__(self):
        return self

    def __next__(self):
        if self._stream is None:
            raise StopIteration
        item = self._stream.next()
        if item is not None:
            index, start, duration, pixels = item
            return Frame(index, pixels, start, duration)
        outcome = self._stream.outcome()
        self._stream = None
        _raise_for(outcome, self._source)
        if outcome["note"]:
            warnings.warn(outcome["note"], stacklevel=2)
        raise StopIteration

    def close(self):
        """Stops decoding; later frames are not read."""
        self._stream = None

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()


def frames(source, **options):
    """The frames of an animation, one at a time, as ``Frame`` objects.

    ``source``: a path or bytes. Each frame has ``index``, ``pixels`` (an
    H x W x 4 ``uint8`` array, RGBA, the pixels its PNG file would hold),
    ``time_ms`` and ``duration_ms``. Frames are decoded on a thread of their
    own at most two ahead, so a long file streams in the memory of a few
    frames; stop early with ``close()`` or by leaving a ``with`` block.

    Options (the command line's, by keyword): ``frames`` (``"0,5,10-20"``,
    ``[0, 5, range(10, 21)]``, ``"10-"``), ``every=N``, ``at`` (seconds, or
    ``"2500ms"``, or a list), ``count=N``, ``merge_held=True``, ``scale=F``,
    ``fit=(W, H)``, ``filter`` (``"nearest"``, ``"box"``, ``"lanczos"``),
    ``canvas`` (``"grown"`` or ``"declared"``). Options that write files
    raise ValueError.

    A still image of one of the formats is one frame, shown for 0 ms.

    Raises, before the first frame: NotAnAnimationError (another kind of
    file, or a name of another extension), UnreadableError, OverLimitError, DamagedError (damaged
    before its first frame), ValueError (options refused, or frames asked
    for that the file does not have); after the last frame that decoded:
    DamagedError when the rest of the file is broken. Frames asked for past
    the file's end are warned about.
    """
    words = _words("frames", options)
    source = _source(source)
    stream, result = _framelot.open_frames(source, words)
    if stream is None:
        _raise_for(result, source)
    return _FrameIterator(stream, source)


def read(source, **options):
    """All frames at once: ``(pixels, durations_ms)``.

    ``pixels`` is the N x H x W x 4 ``uint8`` array ``framelot-cli --npy``
    writes (RGBA, every frame on one canvas at its origin); ``durations_ms``
    a list of N floats, each frame's time until the next one read. A still
    image is one frame. Takes the options ``frames`` does. The array is checked against the 1 GiB limit
    before anything is decoded (OverLimitError: pick fewer frames, or use
    ``frames``).

    Raises as ``frames`` does; DamagedError carries the frames that did
    decode as ``frames`` and ``durations_ms``.
    """
    words = _words("read", options)
    source = _source(source)
    pixels, durations, _indices, result = _framelot.read(source, words)
    _raise_for(result, source, pixels, durations)
    if result["note"]:
        warnings.warn(result["note"], stacklevel=2)
    return pixels, durations


def _paths(paths):
    if isinstance(paths, (str, os.PathLike)):
        paths = [paths]
    return [os.fsdecode(os.fspath(p)) for p in paths]


def _files(paths, recursive, output):
    """The files that paths stand for, folders expanded as on the command
    line; ValueError when they stand for none."""
    files, empty = _framelot.expand(_paths(paths), recursive, output or "")
    for folder in empty:
        if files:
            warnings.warn(f"no animations in {folder}", stacklevel=3)
    if not files and empty:
        raise ValueError("; ".join(f"no animations in {folder}" for folder in empty))
    return files


def _result(item):
    return Result(item["path"], _status(item), item["reason"], item["folder"], item["destination"],
                  item["frames_written"], item["damage"], item["note"], item["line"])


def _jobs(jobs):
    if jobs is None:
        return _framelot.cores
    if isinstance(jobs, bool) or not isinstance(jobs, int) or not 1 <= jobs <= _framelot.max_jobs:
        raise ValueError(f"--jobs takes a number from 1 to {_framelot.max_jobs}")
    return jobs


def convert(paths, *, jobs=None, recursive=False, **options):
    """Converts files as ``framelot-cli`` does; one ``Result`` a file, in order.

    ``paths``: a path or a list of paths; a folder stands for the
    animations directly inside it (``recursive=True``: below it too).
    ``jobs``: files converted side by side (default: the cores). Options by
    keyword, as on the command line: ``folder`` (True: a folder per file,
    the default; False: beside it), ``output``, ``frames``, ``every``,
    ``at``, ``count``, ``name``, ``start``, ``merge_held``, ``scale``,
    ``fit``, ``filter``, ``format``, ``quality``, ``background``,
    ``max_output``, ``timings``, ``canvas``, ``npy``, ``sheet`` with
    ``columns``, ``rows``, ``strip``, ``padding``, ``margin``, ``extrude``,
    ``pot``, ``max_size``, ``trim``, ``atlas``.

    No file is overwritten; a file whose output is there is skipped; one
    that fails leaves nothing. Failures are results, not exceptions; options
    the command line refuses raise ValueError, in its words.
    """
    words = _words("convert", options)
    jobs = _jobs(jobs)
    _framelot.check_options(words)
    output = options.get("output")
    files = _files(paths, recursive, os.fsdecode(os.fspath(output)) if output is not None else "")
    return [_result(item) for item in _framelot.convert(files, words, jobs)]
