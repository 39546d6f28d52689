"""The values framelot hands out: frames and conversion results."""

from dataclasses import dataclass, field

import numpy


@dataclass(frozen=True)
class Frame:
    """One composed frame.

    ``index`` is its place in the file (the first of a run with
    ``merge_held``); ``pixels`` an H x W x 4 ``uint8`` array, RGBA with
    straight alpha, the pixels the frame's PNG file holds; ``time_ms`` when
    the file shows it (the sum of the delays before it); ``duration_ms``
    how long it stands, until the next frame handed out.
    """

    index: int
    pixels: numpy.ndarray = field(repr=False)
    time_ms: float
    duration_ms: float

    @property
    def shape(self):
        return self.pixels.shape


@dataclass(frozen=True)
class Result:
    """What converting one file came to.

    ``status`` is one of ``converted``, ``damaged`` (its frames that
    decoded were written; ``damage`` says what is missing), ``skipped``
    (its output is there already), ``not_animation``, ``unreadable``,
    ``over_limit``, ``usage`` (the options ask for frames it does not have)
    or ``failed``. ``reason`` says why for all but ``converted``; ``line``
    is the command line's line for the file; ``folder`` is where the frames
    (or the sheet, the array) went; ``destination`` is what the line names.
    """

    path: str
    status: str
    reason: str = ""
    folder: str = ""
    destination: str = ""
    frames_written: int = 0
    damage: str = ""
    note: str = ""
    line: str = ""

    @property
    def ok(self):
        """True for converted and skipped files."""
        return self.status in ("converted", "skipped")
