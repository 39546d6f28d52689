#!/usr/bin/python3
"""Times framelot.read against what Python users reach for: Pillow's
ImageSequence with numpy.asarray on each frame, and imageio's mimread.

Each reading runs in a process of its own, which reports the time of the
call alone (imports excluded), the frames it gave and the growth of its peak
resident size over the call; the median of the timed rounds is reported.
The first round's arrays are kept and every frame compared with ours: all
four channels where either has alpha, the colour nowhere else. The table
goes into bench/RESULTS.md under "In Python", replacing the one there.
"""
import json, os, random, re, statistics, subprocess, sys, tempfile

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
MAKE = os.path.join(ROOT, "build", "framelot-bench-make")
MODULE = os.path.join(ROOT, "build", "python")
PYTHON = "/usr/bin/python3"
ROUNDS = int(os.environ.get("BENCH_ROUNDS", "3"))
SEED = int(os.environ.get("BENCH_SEED") or random.SystemRandom().randrange(1, 2**31))
GENERATED = int(os.environ.get("BENCH_GENERATED", "4"))
VIDEO = int(os.environ.get("BENCH_VIDEO", "2"))
HEADING = "## In Python"

READER = r"""
import json, sys, time
import numpy

def peak_kib():
    # The process's own high-water mark (a child's getrusage maxrss would
    # start at its parent's).
    for line in open("/proc/self/status"):
        if line.startswith("VmHWM:"):
            return int(line.split()[1])
    return 0

kind, source, keep = sys.argv[1:4]
if kind == "framelot":
    import framelot
    read = lambda: framelot.read(source)[0]
elif kind == "Pillow":
    from PIL import Image, ImageSequence
    read = lambda: numpy.stack([numpy.asarray(f.convert("RGBA")) for f in ImageSequence.Iterator(Image.open(source))])
else:
    import imageio
    read = lambda: numpy.stack(imageio.mimread(source, memtest=False))
before = peak_kib()
start = time.perf_counter()
pixels = read()
seconds = time.perf_counter() - start
grown = peak_kib() - before
if keep != "-":
    numpy.save(keep, pixels)
print(json.dumps({"seconds": seconds, "frames": int(pixels.shape[0]), "shape": list(pixels.shape), "grown_kib": grown}))
"""

READERS = ("framelot", "Pillow", "imageio")


def run(kind, source, keep):
    env = dict(os.environ, PYTHONPATH=MODULE)
    done = subprocess.run([PYTHON, "-c", READER, kind, source, keep], capture_output=True, text=True, env=env)
    if done.returncode != 0:
        raise RuntimeError((done.stderr.strip().splitlines() or ["failed"])[-1][:160])
    return json.loads(done.stdout)


def differences(ours_path, theirs_path):
    """How the other reader's frames differ from ours."""
    import numpy

    ours, theirs = numpy.load(ours_path), numpy.load(theirs_path)
    if theirs.ndim != 4 or theirs.shape[3] != 4:
        return f"shape {tuple(theirs.shape)}: not RGBA frames"
    if theirs.shape[0] != ours.shape[0]:
        return f"{theirs.shape[0]} frames, not {ours.shape[0]}"
    height, width = min(ours.shape[1], theirs.shape[1]), min(ours.shape[2], theirs.shape[2])
    differing, worst = 0, 0
    for a, b in zip(ours[:, :height, :width].astype(numpy.int16), theirs[:, :height, :width].astype(numpy.int16)):
        seen = (a[..., 3] > 0) | (b[..., 3] > 0)
        gap = numpy.abs(a - b)[seen]
        level = int(gap.max()) if gap.size else 0
        differing += level > 0
        worst = max(worst, level)
    sized = "" if theirs.shape[1:3] == ours.shape[1:3] else f" (canvas {theirs.shape[2]}x{theirs.shape[1]})"
    if not differing:
        return "equal" + sized
    return f"{differing} of {ours.shape[0]} differ, by up to {worst}{sized}"


def main():
    work = tempfile.mkdtemp(prefix="framelot-bench-python-")
    inputs = os.path.join(work, "inputs")
    os.mkdir(inputs)
    subprocess.run([MAKE, inputs], check=True)
    drawn = {}
    for flag, count in (("--generated", GENERATED), ("--video", VIDEO)):
        if count:
            made = subprocess.run([MAKE, inputs, flag, str(SEED), str(count)], check=True, capture_output=True,
                                  text=True).stdout
            drawn.update(line.split("\t", 1) for line in made.strip().splitlines())
    names = sorted(n for n in os.listdir(inputs) if n not in drawn) + sorted(drawn)
    rows = []
    for name in names:
        source = os.path.join(inputs, name)
        results, failed, kept = {k: [] for k in READERS}, {}, {}
        for round_ in range(ROUNDS):
            for kind in READERS[round_ % 3:] + READERS[:round_ % 3]:
                if kind in failed:
                    continue
                keep = os.path.join(work, f"{kind}.npy") if round_ == 0 else "-"
                try:
                    result = run(kind, source, keep)
                except RuntimeError as error:
                    if kind == "framelot":
                        raise
                    failed[kind] = str(error)
                    continue
                if round_ == 0:
                    kept[kind] = keep
                results[kind].append(result)
                print(f"{name} {kind} round {round_}: {result['seconds']:.2f} s", file=sys.stderr)
        ours = statistics.median(r["seconds"] for r in results["framelot"])
        for kind in READERS:
            if kind in failed:
                rows.append((name, kind, None, None, None, None, f"cannot read it: {failed[kind]}"))
                continue
            seconds = statistics.median(r["seconds"] for r in results[kind])
            frames = results[kind][0]["frames"]
            peak = max(r["grown_kib"] for r in results[kind])
            verdict = "-" if kind == "framelot" else differences(kept["framelot"], kept[kind])
            rows.append((name, kind, seconds, frames / seconds if seconds else None, seconds / ours, peak, verdict))
        for path in kept.values():
            os.remove(path)
    subprocess.run(["rm", "-rf", work])

    lines = [HEADING, "",
             f"`framelot.read` against Pillow (`ImageSequence` with `numpy.asarray` on each frame, stacked) and",
             f"imageio (`mimread`, stacked) from Debian 12, each file read whole into one N x H x W x 4 array,",
             f"in a process of its own: the time of the call (imports excluded, median of {ROUNDS} rounds), frames",
             "a second, that time over ours, the growth of the peak resident size over the call, and how the",
             "reader's frames differ from ours (all four channels where either has alpha). The fixed files, then",
             f"files drawn with seed {SEED} (`BENCH_SEED={SEED} make bench-python`).", "",
             "| file | reader | s | frames/s | × framelot time | peak growth MiB | frames vs framelot |",
             "|---|---|---:|---:|---:|---:|---|"]
    for name, kind, seconds, rate, ratio, peak, verdict in rows:
        label = f"{name} ({drawn[name]})" if name in drawn and kind == "framelot" else name
        if seconds is None:
            lines.append(f"| {label} | {kind} | - | - | - | - | {verdict} |")
        else:
            lines.append(f"| {label} | {kind} | {seconds:.2f} | {rate:.0f} | {ratio:.1f} | {peak / 1024:.0f} | {verdict} |")
    speedups = [(r[4], r[0]) for r in rows if r[1] == "Pillow" and r[2] is not None]
    gif = [s for s, n in speedups if n.endswith(".gif")]
    if gif:
        lines += ["", f"Pillow's time over ours on the GIFs: median {statistics.median(gif):.1f}, worst {min(gif):.1f}."]
    if speedups:
        lines += ["", f"On every file Pillow reads, the least: {min(speedups)[0]:.1f} ({min(speedups)[1]})."]
    section = "\n".join(lines) + "\n"
    results_path = os.path.join(ROOT, "bench", "RESULTS.md")
    text = open(results_path).read() if os.path.exists(results_path) else "# Benchmark results\n"
    at = text.find(HEADING)
    text = (text[:at] if at >= 0 else text.rstrip("\n") + "\n\n") + section
    open(results_path, "w").write(text)
    print(section)


if __name__ == "__main__":
    main()
