"""Frames in memory are the frames the command line writes."""

import json
import subprocess
import sys
import textwrap

import numpy
import pytest
from PIL import Image

import framelot
from conftest import SAMPLES, files_under, run_cli, write_gif


def cli_frames(folder):
    """The PNG frames under `folder`, in name order, decoded to RGBA."""
    return [numpy.asarray(Image.open(folder / name).convert("RGBA"))
            for name in sorted(files_under(folder)) if name.endswith(".png")]


@pytest.mark.parametrize("kind", sorted(SAMPLES))
def test_read_and_frames_are_the_written_frames(kind, sample, tmp_path):
    path = sample(kind)
    status, out, err = run_cli("-o", tmp_path / "out", path)
    assert status == 0, err
    written = cli_frames(tmp_path / "out" / path.stem)
    assert len(written) == SAMPLES[kind][1]

    pixels, durations = framelot.read(path)
    assert pixels.dtype == numpy.uint8 and pixels.shape[0] == len(written) and pixels.shape[3] == 4
    assert len(durations) == len(written)
    streamed = list(framelot.frames(path))
    assert [f.index for f in streamed] == list(range(len(written)))
    assert [f.duration_ms for f in streamed] == durations
    # Each frame shows when the ones before it have been shown.
    assert [f.time_ms for f in streamed] == [sum(durations[:i]) for i in range(len(durations))]
    for i, png in enumerate(written):
        assert numpy.array_equal(streamed[i].pixels, png), f"{kind} frame {i}"
        # The array holds every frame on the last canvas (a GIF's may grow).
        height, width, _ = png.shape
        assert numpy.array_equal(pixels[i, :height, :width], png), f"{kind} frame {i}"
        assert not pixels[i, height:].any() and not pixels[i, :, width:].any()
    # Bytes read as the path is.
    data_pixels, data_durations = framelot.read(path.read_bytes())
    assert numpy.array_equal(data_pixels, pixels) and data_durations == durations


# The frame options by keyword, and the command line's words for them.
FRAME_OPTIONS = [
    ({"frames": [0, range(2, 4)]}, ["--frames", "0,2-3"]),
    ({"frames": "1-"}, ["--frames", "1-"]),
    ({"every": 2}, ["--every", "2"]),
    ({"count": 3}, ["--count", "3"]),
    ({"at": [0, 0.25]}, ["--at", "0,0.25"]),
    ({"merge_held": True}, ["--merge-held"]),
    ({"scale": 2}, ["--scale", "2"]),
    ({"scale": 0.5, "filter": "box"}, ["--scale", "0.5", "--filter", "box"]),
    ({"fit": (16, 12)}, ["--fit", "16x12"]),
    ({"canvas": "declared", "every": 3}, ["--canvas", "declared", "--every", "3"]),
]


@pytest.mark.parametrize("kind", ["gif", "apng", "webp"])
@pytest.mark.parametrize("options,words", FRAME_OPTIONS, ids=[" ".join(w) for _, w in FRAME_OPTIONS])
def test_frame_options_give_the_command_lines_array(kind, options, words, sample, tmp_path):
    path = sample(kind)
    status, _, err = run_cli("--npy", "--no-folder", "-o", tmp_path / "out", *words, path)
    assert status == 0, err
    expected = numpy.load(tmp_path / "out" / (path.stem + ".npy"))
    times = json.loads((tmp_path / "out" / (path.stem + ".json")).read_text())
    pixels, durations = framelot.read(path, **options)
    assert numpy.array_equal(pixels, expected)
    assert durations == [f["delay_ms"] for f in times["frames"]]
    streamed = list(framelot.frames(path, **options))
    assert [f.index for f in streamed] == [f["index"] for f in times["frames"]]


def test_a_long_file_streams_in_the_memory_of_a_few_frames(tmp_path):
    # 1500 frames of 256 x 256 are 375 MiB as one array; streamed, a few
    # frames are held at once. Measured as the peak resident size of a
    # process of its own (VmHWM: getrusage's would start at pytest's), after
    # the module and the file are in.
    frames = [bytes([i % 3]) * (256 * 256) for i in range(1500)]
    palette = [c for i in range(256) for c in (i, 255 - i, (i * 7) % 256)]
    path = write_gif(tmp_path / "long.gif", frames, 256, 256, palette)
    script = textwrap.dedent(f"""
        import framelot
        def peak_kib():
            return next(int(l.split()[1]) for l in open("/proc/self/status") if l.startswith("VmHWM:"))
        data = open({str(path)!r}, "rb").read()
        next(iter(framelot.frames(data)))
        before = peak_kib()
        count = 0
        for frame in framelot.frames(data):
            assert frame.pixels[0, 0, 3] == 255
            count += 1
        grown = peak_kib() - before
        print(count, grown)
    """)
    done = subprocess.run([sys.executable, "-c", script], capture_output=True, text=True, timeout=300, check=True)
    count, grown_kib = map(int, done.stdout.split())
    assert count == 1500
    assert grown_kib < 32 * 1024, f"peak memory grew by {grown_kib} KiB while streaming"


def test_info_is_the_command_lines_description(sample):
    for kind in SAMPLES:
        path = sample(kind)
        _, out, _ = run_cli("--info", "--json", path)
        expected = json.loads(out)[0]
        expected.pop("estimated_bytes", None)
        assert framelot.info(path) == expected
        from_bytes = framelot.info(path.read_bytes())
        assert from_bytes["file"] is None and from_bytes["frames"] == expected["frames"]


def test_stopping_early_stops_decoding(tmp_path):
    frames = [bytes([i % 5]) * (64 * 64) for i in range(400)]
    path = write_gif(tmp_path / "many.gif", frames, 64, 64, list(range(256)) * 3)
    with framelot.frames(path) as stream:
        first = [next(stream) for _ in range(3)]
    assert [f.index for f in first] == [0, 1, 2]
    assert list(stream) == []
    # An iterator dropped half-way lets the next reading go on as usual.
    iterator = framelot.frames(path)
    next(iterator)
    del iterator
    assert sum(1 for _ in framelot.frames(path, every=100)) == 4
