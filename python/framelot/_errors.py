"""The exceptions framelot raises for files it cannot read as asked."""


class Error(Exception):
    """A file framelot cannot read as asked.

    ``reason`` says why in the command line's words; ``source`` is the path,
    or None for bytes.
    """

    def __init__(self, reason, source=None):
        super().__init__(reason)
        self.reason = reason
        self.source = source


class NotAnAnimationError(Error):
    """Not an image of a format framelot reads: another kind of file, or a
    file name of another extension. (A still image is one frame for
    ``frames`` and ``read``; ``convert`` reports it as not_animation, as the
    command line does.)"""


class DamagedError(Error):
    """The file is damaged. ``frames`` holds what did decode: for ``read``
    the array of those frames (N x H x W x 4) and ``durations_ms`` their
    times; for ``frames`` they were handed out before this was raised, and
    ``frames`` is None. ``decoded`` counts them (0 when the damage comes
    before the first)."""

    def __init__(self, reason, source=None, frames=None, durations_ms=None, decoded=0):
        super().__init__(reason, source)
        self.frames = frames
        self.durations_ms = durations_ms if durations_ms is not None else []
        self.decoded = decoded


class OverLimitError(Error):
    """Within its format, but past one of framelot's limits (canvas size,
    frame count, the size of an array in memory)."""


class UnreadableError(Error, OSError):
    """The file could not be opened or read (missing, a folder, no
    permission, larger than the source limit)."""
