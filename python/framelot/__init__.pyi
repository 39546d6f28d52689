# Types of the framelot package, for editors and type checkers.
import os
from typing import Any, Iterable, Iterator, Literal, Sequence, Union

import numpy
import numpy.typing

Source = Union[str, os.PathLike[str], bytes, bytearray, memoryview]
Paths = Union[str, os.PathLike[str], Iterable[Union[str, os.PathLike[str]]]]
FrameChoice = Union[str, int, range, Iterable[Union[str, int, range]]]
Times = Union[str, float, Iterable[Union[str, float]]]
Size = Union[str, tuple[int, int]]
Filter = Literal["nearest", "box", "lanczos"]
Canvas = Literal["grown", "declared"]
Status = Literal["converted", "damaged", "skipped", "not_animation", "unreadable", "over_limit", "usage", "failed"]

__version__: str

class Error(Exception):
    reason: str
    source: str | None
    def __init__(self, reason: str, source: str | None = ...) -> None: ...

class NotAnAnimationError(Error): ...

class DamagedError(Error):
    frames: numpy.typing.NDArray[numpy.uint8] | None
    durations_ms: list[float]
    decoded: int

class OverLimitError(Error): ...
class UnreadableError(Error, OSError): ...

class Frame:
    index: int
    pixels: numpy.typing.NDArray[numpy.uint8]
    time_ms: float
    duration_ms: float
    @property
    def shape(self) -> tuple[int, int, int]: ...

class Result:
    path: str
    status: Status
    reason: str
    folder: str
    destination: str
    frames_written: int
    damage: str
    note: str
    line: str
    @property
    def ok(self) -> bool: ...

class _FrameIterator(Iterator[Frame]):
    def __next__(self) -> Frame: ...
    def close(self) -> None: ...
    def __enter__(self) -> _FrameIterator: ...
    def __exit__(self, *exc: object) -> None: ...

def info(source: Source) -> dict[str, Any]: ...
def frames(
    source: Source,
    *,
    frames: FrameChoice | None = ...,
    every: int | None = ...,
    at: Times | None = ...,
    count: int | None = ...,
    merge_held: bool = ...,
    scale: float | None = ...,
    fit: Size | None = ...,
    filter: Filter | None = ...,
    canvas: Canvas | None = ...,
) -> _FrameIterator: ...
def read(
    source: Source,
    *,
    frames: FrameChoice | None = ...,
    every: int | None = ...,
    at: Times | None = ...,
    count: int | None = ...,
    merge_held: bool = ...,
    scale: float | None = ...,
    fit: Size | None = ...,
    filter: Filter | None = ...,
    canvas: Canvas | None = ...,
) -> tuple[numpy.typing.NDArray[numpy.uint8], list[float]]: ...
def convert(
    paths: Paths,
    *,
    jobs: int | None = ...,
    recursive: bool = ...,
    folder: bool | None = ...,
    output: str | os.PathLike[str] | None = ...,
    frames: FrameChoice | None = ...,
    every: int | None = ...,
    at: Times | None = ...,
    count: int | None = ...,
    name: str | None = ...,
    start: int | None = ...,
    merge_held: bool = ...,
    scale: float | None = ...,
    fit: Size | None = ...,
    filter: Filter | None = ...,
    format: Literal["png", "webp", "jpeg"] | None = ...,
    quality: int | None = ...,
    background: str | tuple[int, int, int] | None = ...,
    max_output: str | int | None = ...,
    timings: Literal["ffconcat", "json", "csv"] | None = ...,
    canvas: Canvas | None = ...,
    npy: bool = ...,
    sheet: bool = ...,
    columns: int | None = ...,
    rows: int | None = ...,
    strip: bool = ...,
    padding: int | None = ...,
    margin: int | None = ...,
    extrude: int | None = ...,
    pot: bool = ...,
    max_size: Size | None = ...,
    trim: bool = ...,
    atlas: Literal["array", "hash", "aseprite", "godot", "css"] | None = ...,
) -> list[Result]: ...
