"""What the module's tests share: the command line beside the module, the
five formats' sample animations (copied out of read-only places into each
test's own folder), and animations written here."""

import os
import pathlib
import shutil
import struct
import subprocess
import zlib

import pytest

SOURCE = pathlib.Path(os.environ.get("FRAMELOT_SOURCE", pathlib.Path(__file__).resolve().parents[2]))
CORPUS = pathlib.Path(os.environ.get("FRAMELOT_CORPUS", SOURCE.parent / "shared" / "corpus"))

# One animation a format, with its frame count.
SAMPLES = {
    "gif": (CORPUS / "image-rs-image/gif/mixed-disposal.gif", 5),
    "apng": (CORPUS / "image-rs-image/apng/ball.png", 20),
    "webp": (CORPUS / "image-rs-image/webp/anim.webp", 6),
    "avif": (SOURCE / "tests/samples/two-frames-8x8.avif", 2),
    "jxl": (SOURCE / "tests/samples/three-frames-4x4.jxl", 3),
}


def cli_path():
    return os.environ.get("FRAMELOT_CLI", str(SOURCE / "build/framelot-cli"))


def run_cli(*words, check=True):
    """framelot-cli with these words: (exit status, standard output, standard error)."""
    done = subprocess.run([cli_path(), *map(str, words)], capture_output=True, text=True, timeout=300)
    if check and done.returncode not in (0, 1):
        raise AssertionError(f"framelot-cli {words}: {done.returncode}\n{done.stderr}")
    return done.returncode, done.stdout, done.stderr


def cli_refusal(*words):
    """The reason the command line gives for refusing these words."""
    status, _, err = run_cli(*words, check=False)
    assert status == 2, err
    return err.splitlines()[0].removeprefix("framelot-cli: ")


@pytest.fixture
def sample(tmp_path):
    """Copies the sample of a format into the test's folder: sample("gif")."""
    def copy(kind, folder=None, name=None):
        source, _ = SAMPLES[kind]
        if not source.exists():
            pytest.skip(f"{source} is not here")
        target = pathlib.Path(folder or tmp_path) / (name or source.name)
        target.parent.mkdir(parents=True, exist_ok=True)
        shutil.copyfile(source, target)
        return target
    return copy


def files_under(folder):
    """{relative path: bytes} of every file below `folder`."""
    folder = pathlib.Path(folder)
    return {str(p.relative_to(folder)): p.read_bytes() for p in sorted(folder.rglob("*")) if p.is_file()}


# Animations written here: a GIF of many frames (LZW codes of 9 bits, a clear
# code often enough that the width never grows) and an APNG (stored zlib).

def _lzw_9bit(indices):
    clear, end = 256, 257
    codes = []
    for i, index in enumerate(indices):
        if i % 250 == 0:
            codes.append(clear)
        codes.append(index)
    codes.append(end)
    bits, width, out = 0, 0, bytearray()
    for code in codes:
        bits |= code << width
        width += 9
        while width >= 8:
            out.append(bits & 0xFF)
            bits >>= 8
            width -= 8
    if width:
        out.append(bits)
    blocks = bytearray([8])
    for i in range(0, len(out), 255):
        chunk = out[i:i + 255]
        blocks += bytes([len(chunk)]) + chunk
    return bytes(blocks + b"\0")


def write_gif(path, frames, width, height, palette, delay_cs=4):
    """`frames`: each a bytes of width*height palette indices (256 colours)."""
    data = bytearray(b"GIF89a" + struct.pack("<HHBBB", width, height, 0xF7, 0, 0))
    data += bytes(palette) + bytes(768 - len(palette))
    data += b"\x21\xFF\x0BNETSCAPE2.0\x03\x01\0\0\0"
    encoded = {}  # a frame repeated is encoded once
    for frame in frames:
        data += b"\x21\xF9\x04" + struct.pack("<BHBB", 0x04, delay_cs, 0, 0)
        data += b"\x2C" + struct.pack("<HHHHB", 0, 0, width, height, 0)
        if frame not in encoded:
            encoded[frame] = _lzw_9bit(frame)
        data += encoded[frame]
    data += b"\x3B"
    pathlib.Path(path).write_bytes(bytes(data))
    return path


def _chunk(kind, body):
    return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body))


def write_apng(path, frames, width, height, delay=(1, 10)):
    """`frames`: each width*height*4 bytes of RGBA, every frame whole."""
    data = bytearray(b"\x89PNG\r\n\x1a\n")
    data += _chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0))
    data += _chunk(b"acTL", struct.pack(">II", len(frames), 0))
    sequence = 0
    for i, rgba in enumerate(frames):
        rows = b"".join(b"\0" + rgba[y * width * 4:(y + 1) * width * 4] for y in range(height))
        data += _chunk(b"fcTL", struct.pack(">IIIIIHHBB", sequence, width, height, 0, 0, *delay, 0, 0))
        sequence += 1
        if i == 0:
            data += _chunk(b"IDAT", zlib.compress(rows))
        else:
            data += _chunk(b"fdAT", struct.pack(">I", sequence) + zlib.compress(rows))
            sequence += 1
    data += _chunk(b"IEND", b"")
    pathlib.Path(path).write_bytes(bytes(data))
    return path
