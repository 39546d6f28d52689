"""convert() is the command line: the same files for the same options, the
same refusals in the same words; and no input, however broken, harms the
interpreter."""

import os
import pathlib
import shutil

import numpy
import pytest

import framelot
from conftest import SAMPLES, SOURCE, cli_refusal, files_under, run_cli, write_gif

# Options by keyword, and the command line's words for them.
CONVERT_OPTIONS = [
    ({}, []),
    ({"folder": False}, ["--no-folder"]),
    ({"frames": "1-3", "start": 10}, ["--frames", "1-3", "--start", "10"]),
    ({"every": 2, "name": "{name}-{index:03}-{delay}ms"}, ["--every", "2", "--name", "{name}-{index:03}-{delay}ms"]),
    ({"at": ["0", "100ms"], "timings": "csv"}, ["--at", "0,100ms", "--timings", "csv"]),
    ({"count": 2, "timings": "ffconcat"}, ["--count", "2", "--timings", "ffconcat"]),
    ({"merge_held": True, "timings": "json"}, ["--merge-held", "--timings", "json"]),
    ({"scale": 3}, ["--scale", "3"]),
    ({"fit": "10x10", "filter": "nearest"}, ["--fit", "10x10", "--filter", "nearest"]),
    ({"format": "webp", "quality": 60}, ["--format", "webp", "--quality", "60"]),
    ({"format": "jpeg", "background": (32, 32, 32)}, ["--format", "jpeg", "--background", "#202020"]),
    ({"canvas": "declared"}, ["--canvas", "declared"]),
    ({"max_output": "50M"}, ["--max-output", "50M"]),
    ({"npy": True}, ["--npy"]),
    ({"sheet": True, "columns": 2, "padding": 1, "margin": 2, "extrude": 1, "atlas": "aseprite"},
     ["--sheet", "--columns", "2", "--padding", "1", "--margin", "2", "--extrude", "1", "--atlas", "aseprite"]),
    ({"sheet": True, "trim": True, "pot": True, "atlas": "hash"}, ["--sheet", "--trim", "--pot", "--atlas", "hash"]),
    ({"sheet": True, "strip": True, "max_size": (512, 512), "atlas": "godot"},
     ["--sheet", "--strip", "--max-size", "512x512", "--atlas", "godot"]),
]


def two_copies(sample, tmp_path, kinds):
    """The samples copied into two folders: one for the command line, one for the module."""
    for side in ("cli", "py"):
        for kind in kinds:
            sample(kind, tmp_path / side)
    return tmp_path / "cli", tmp_path / "py"


@pytest.mark.parametrize("options,words", CONVERT_OPTIONS, ids=[" ".join(w) or "defaults" for _, w in CONVERT_OPTIONS])
def test_each_option_by_keyword_writes_the_command_lines_files(options, words, sample, tmp_path):
    cli, py = two_copies(sample, tmp_path, ["gif", "apng", "webp"])
    files = sorted(os.listdir(cli))
    status, out, _ = run_cli(*words, *[cli / f for f in files], check=False)
    results = framelot.convert([py / f for f in files], jobs=2, **options)
    assert [r.path for r in results] == [str(py / f) for f in files]
    assert [r.line.replace(str(py), "") for r in results] == [line.replace(str(cli), "") for line in out.splitlines()[:-1]]
    assert files_under(py) == files_under(cli)
    assert all(r.ok for r in results) == (status == 0)


def test_output_folder_and_a_folder_as_the_source(sample, tmp_path):
    cli, py = two_copies(sample, tmp_path, sorted(SAMPLES))
    run_cli("-o", tmp_path / "cli-out", "--recursive", cli)
    results = framelot.convert(py, output=tmp_path / "py-out", recursive=True)
    assert [pathlib.Path(r.path).name for r in results] == sorted(os.listdir(cli))
    assert [r.status for r in results] == ["converted"] * len(SAMPLES)
    assert files_under(tmp_path / "py-out") == files_under(tmp_path / "cli-out")
    # Again: every file's output is there, so each is skipped, and nothing changes.
    again = framelot.convert(py, output=tmp_path / "py-out")
    assert {r.status for r in again} == {"skipped"}
    assert files_under(tmp_path / "py-out") == files_under(tmp_path / "cli-out")


# Refused options: by keyword, and as the command line takes them.
REFUSED = [
    ({"every": 0}, ["--every", "0"]),
    ({"scale": 100}, ["--scale", "100"]),
    ({"fit": "10by10"}, ["--fit", "10by10"]),
    ({"format": "bmp"}, ["--format", "bmp"]),
    ({"quality": 50}, ["--quality", "50"]),
    ({"every": 2, "count": 3}, ["--every", "2", "--count", "3"]),
    ({"trim": True}, ["--trim"]),
    ({"npy": True, "sheet": True}, ["--npy", "--sheet"]),
    ({"frames": "5-2"}, ["--frames", "5-2"]),
    ({"at": "soon"}, ["--at", "soon"]),
    ({"name": "{name}"}, ["--name", "{name}"]),
    ({"max_output": "lots"}, ["--max-output", "lots"]),
    ({"background": "#12"}, ["--format", "jpeg", "--background", "#12"]),
    ({"folder": False, "name": "f{index}"}, ["--no-folder", "--name", "f{index}"]),
]


@pytest.mark.parametrize("options,words", REFUSED, ids=[" ".join(w) for _, w in REFUSED])
def test_refusals_are_the_command_lines(options, words, sample, tmp_path):
    gif = sample("gif")
    other = sample("webp")
    if "background" in options:
        options = {"format": "jpeg", **options}
    reason = cli_refusal(*words, gif, other)
    with pytest.raises(ValueError) as refused:
        framelot.convert([gif, other], **options)
    assert str(refused.value) == reason
    assert sorted(os.listdir(tmp_path)) == sorted([gif.name, other.name])  # nothing written


def test_wrong_keywords_and_jobs(sample):
    gif = sample("gif")
    with pytest.raises(TypeError, match="unexpected keyword argument 'colour'"):
        framelot.convert([gif], colour="red")
    with pytest.raises(ValueError, match="^--jobs takes a number from 1 to 256$"):
        framelot.convert([gif], jobs=0)
    with pytest.raises(ValueError, match="^--name or --start goes with writing files"):
        framelot.read(gif, name="{index}")
    with pytest.raises(ValueError, match="^--sheet goes with writing files"):
        list(framelot.frames(gif, sheet=True))
    with pytest.raises(TypeError):
        framelot.read(12)


def cut(path, keep):
    data = path.read_bytes()
    cut_path = path.with_name("cut-" + path.name)
    cut_path.write_bytes(data[:keep])
    return cut_path


def test_damaged_files_raise_with_the_frames_that_decoded(sample):
    gif = sample("gif")
    damaged = cut(gif, gif.stat().st_size - 40)
    _, out, _ = run_cli("-o", damaged.parent / "out", damaged)
    line = out.splitlines()[0]
    with pytest.raises(framelot.DamagedError) as raised:
        framelot.read(damaged)
    error = raised.value
    assert isinstance(error, framelot.Error) and error.source == str(damaged)
    assert line.endswith(str(error))
    assert error.frames.shape[0] == error.decoded == len(error.durations_ms) >= 1
    whole, _ = framelot.read(gif)
    height, width = error.frames.shape[1:3]
    assert numpy.array_equal(error.frames[0], whole[0, :height, :width])
    # Streaming hands out the frames that decoded, then raises.
    streamed = []
    with pytest.raises(framelot.DamagedError):
        for frame in framelot.frames(damaged):
            streamed.append(frame.index)
    assert streamed == list(range(error.decoded))
    # Converting reports it and goes on with the next file.
    results = framelot.convert([damaged, gif], folder=False, name="{name}_{index:04}")
    assert [r.status for r in results] == ["damaged", "converted"]
    assert results[0].damage and results[0].frames_written == error.decoded


def test_stills_and_other_files(sample, tmp_path):
    still = write_gif(tmp_path / "still.gif", [bytes(16)], 4, 4, [0, 0, 0])
    description = framelot.info(still)
    assert description["status"] == "not_animation" and "single image" in description["reason"]
    # A still is one frame to read.
    (frame,) = framelot.frames(still)
    assert frame.index == 0 and frame.duration_ms == 0 and frame.pixels.shape == (4, 4, 4)
    pixels, durations = framelot.read(still.read_bytes(), scale=2)
    assert pixels.shape == (1, 8, 8, 4) and durations == [0]
    with pytest.raises(ValueError, match="^no chosen frame is in the file"):
        framelot.read(still, frames="3")
    text = tmp_path / "notes.txt"
    text.write_text("hello")
    for source, kind in [(text, framelot.NotAnAnimationError), (b"hello", framelot.NotAnAnimationError),
                         (tmp_path / "missing.gif", framelot.UnreadableError), (b"GIF89a", framelot.DamagedError)]:
        with pytest.raises(kind):
            framelot.read(source)
        with pytest.raises(kind):
            framelot.frames(source)
    with pytest.raises(FileNotFoundError.__mro__[1]):  # an OSError too
        framelot.info(tmp_path / "missing.gif")
    _, out, _ = run_cli(still)
    assert framelot.convert([still])[0].line == out.splitlines()[0]


def test_no_input_harms_the_interpreter(sample):
    # Every cut of every sample, the files kept for faults found before,
    # bytes that start like each format and then go wrong, and the fuzzing
    # corpus: each is read, streamed and described, and may only raise
    # framelot.Error or ValueError (frames asked for that a broken file lacks).
    sources = []
    for kind in SAMPLES:
        data = sample(kind).read_bytes()
        sources += [data[:n] for n in sorted({0, 1, 8, 16, 32, 64, len(data) // 3, len(data) // 2, len(data) - 1})]
        sources.append(data[:len(data) // 2] + bytes(len(data) // 2))
        sources.append(bytes(b ^ 0x5A for b in data[:64]) + data[64:])
    sources += [p.read_bytes() for p in sorted((SOURCE / "tests/regressions").rglob("*.*")) if p.suffix != ".md"]
    for prefix in (b"GIF89a", b"\x89PNG\r\n\x1a\n", b"RIFF\xff\xff\xff\xffWEBPVP8X", b"\0\0\0\x1cftypavis", b"\xff\x0a"):
        sources.append(prefix + b"\xff" * 64)
    # The inputs the fuzzing smoke has kept (make test's last step), where an
    # earlier run left them: every 8th of each format's, at most 40.
    work = pathlib.Path(os.environ.get("FUZZ_WORK", pathlib.Path(os.environ.get("TMPDIR", "/tmp")) / "framelot-fuzz"))
    for kind in ("gif", "apng", "webp", "avif", "jxl"):
        kept = sorted((work / kind / "corpus").glob("*"))[::8][:40] if (work / kind / "corpus").is_dir() else []
        sources += [p.read_bytes() for p in kept if p.is_file() and p.stat().st_size < 1 << 20]
    for data in sources:
        for call in (lambda d: framelot.read(d), lambda d: list(framelot.frames(d, every=2)), framelot.info):
            try:
                call(data)
            except (framelot.Error, ValueError):
                pass
