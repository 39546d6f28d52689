#!/usr/bin/python3
"""Times framelot-cli against the tools a user would pick instead.

Each run is a whole process writing every frame as an RGBA PNG into an empty
folder. Tools alternate within each round; after a warm-up round the median of
the timed rounds is reported with the peak memory and the output bytes, and
bench/RESULTS.md gets the table. Our frames are also compared with one peer's
per format on pixels that are opaque in both, so a fast wrong answer shows.
"""
import os, platform, random, re, shutil, statistics, subprocess, sys, tempfile, time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
CLI = os.path.join(ROOT, "build", "framelot-cli")
MAKE = os.path.join(ROOT, "build", "framelot-bench-make")
FLOOR = os.path.join(ROOT, "build", "framelot-bench-floor")
WEB = os.path.join(ROOT, "build-web")
ROUNDS = int(os.environ.get("BENCH_ROUNDS", "3"))
# BENCH_FILES=scene.avif,scene.jxl times only those files and prints their
# table without rewriting bench/RESULTS.md, which holds every file.
ONLY = [f for f in os.environ.get("BENCH_FILES", "").split(",") if f]
# Beside the fixed files, animations drawn from random families by a seed,
# fresh each run unless BENCH_SEED=N repeats one; BENCH_GENERATED=N of them.
SEED = int(os.environ.get("BENCH_SEED") or random.SystemRandom().randrange(1, 2**31))
GENERATED = int(os.environ.get("BENCH_GENERATED", "8"))
# And GIFs made from video (full-frame motion, 64 to 216 colours, up to 1920 wide),
# drawn from the same seed and reported apart: BENCH_VIDEO=N of them.
VIDEO = int(os.environ.get("BENCH_VIDEO", "3"))
FORMAT_OF = {".gif": "gif", ".png": "apng", ".webp": "webp", ".avif": "avif", ".jxl": "jxl"}
CHECKER = {"gif": ("ImageMagick", 0), "apng": ("Pillow", 0), "webp": ("Pillow", 2), "avif": ("ffmpeg", 3),
           "jxl": (None, 0)}

PILLOW = r"""
import sys
from PIL import Image, ImageSequence
im = Image.open(sys.argv[1])
for i, frame in enumerate(ImageSequence.Iterator(im)):
    frame.convert('RGBA').save('%s/f_%04d.png' % (sys.argv[2], i))
"""

FRAME_COUNTS = {}
SLOW_PEER_SECONDS = 30
WRITER_COUNTS = {}  # file: PNG frames encoded in full, in bands, recalled (framelot-cli says)

def writer_share(name):
    """How our frames were written, in percent: in full / in bands / recalled."""
    counts = WRITER_COUNTS.get(name)
    if not counts or not sum(counts):
        return "-"
    return "/".join(str(round(100 * c / sum(counts))) for c in counts)

def frame_count(src):
    """The file's frame count, as framelot-cli --info says it."""
    if src not in FRAME_COUNTS:
        info = subprocess.run([CLI, "--info", src], capture_output=True, text=True).stdout
        FRAME_COUNTS[src] = int(re.search(r"(\d+) frames", info).group(1))
    return FRAME_COUNTS[src]

# libavif's own decoder keeps the alpha track that ffmpeg drops; it writes one
# frame a run, so a user splitting a sequence with it runs it once a frame.
AVIFDEC_LOOP = 'i=0; while [ "$i" -lt "$3" ]; do avifdec --index "$i" "$1" "$2/f_$(printf %04d "$i").png" >/dev/null || exit 1; i=$((i+1)); done'

def tools(fmt, src, out):
    ours = [CLI, "--folder", src]
    magick = ["convert", src, "-alpha", "set", "-coalesce", "PNG32:" + out + "/f_%04d.png"]
    ff_in = ["-f", "apng"] if fmt == "apng" else []
    ffmpeg = ["ffmpeg", "-nostdin", "-v", "error"] + ff_in + ["-i", src, "-fps_mode", "passthrough",
              "-start_number", "0", "-pix_fmt", "rgba", out + "/f_%04d.png"]
    pillow = ["/usr/bin/python3", "-c", PILLOW, src, out]
    table = {"gif": [("framelot", ours), ("ImageMagick", magick), ("ffmpeg", ffmpeg), ("Pillow", pillow)],
             "apng": [("framelot", ours), ("ffmpeg", ffmpeg), ("Pillow", pillow)],
             "webp": [("framelot", ours), ("Pillow", pillow), ("ImageMagick", magick)],
             # On Debian 12 only ffmpeg splits an AVIF sequence. Nothing splits a JPEG XL
             # animation into frame files: djxl decoding it to one APNG on as many threads
             # is the time to beat, not the bytes.
             "avif": [("framelot", ours), ("ffmpeg", ffmpeg)] +
                     ([("avifdec", ["sh", "-c", AVIFDEC_LOOP, "avifdec", src, out, str(frame_count(src))])]
                      if src and shutil.which("avifdec") else []),
             "jxl": [("framelot", ours), ("djxl", ["djxl", src, out + "/all.apng", f"--num_threads={os.cpu_count()}"])]}
    # The floor: the same decoding and composing with no PNG written.
    return table[fmt] + [("floor", [FLOOR, src])]

def run(fmt, name, inputs, work):
    """One timed process in a fresh folder; returns (seconds, peak KB, bytes, frames folder)."""
    base = tempfile.mkdtemp(dir=work)
    src = os.path.join(base, os.path.basename(inputs))
    os.link(inputs, src) if os.stat(inputs).st_dev == os.stat(base).st_dev else shutil.copy(inputs, src)
    out = os.path.join(base, "out")
    os.mkdir(out)
    command = dict(tools(fmt, src, out))[name]
    timing = os.path.join(base, "time.txt")
    env = dict(os.environ, FRAMELOT_WRITER_COUNTS="1") if name == "framelot" else None
    start = time.monotonic()
    result = subprocess.run(["/usr/bin/time", "-f", "%M", "-o", timing] + command,
                            stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, env=env)
    seconds = time.monotonic() - start
    if result.returncode != 0:
        raise RuntimeError(f"{name} on {inputs} failed: {result.stderr.decode()[-500:]}")
    counts = re.search(r"in full (\d+), in bands (\d+), recalled (\d+)", result.stderr.decode())
    if counts:
        WRITER_COUNTS[os.path.basename(inputs)] = tuple(int(c) for c in counts.groups())
    peak = int(open(timing).read().split()[-1])
    frames = os.path.splitext(src)[0] if name == "framelot" else out
    size = sum(os.path.getsize(os.path.join(frames, f)) for f in os.listdir(frames)) if os.path.isdir(frames) else 0
    return seconds, peak, size, frames, base

def compare(ours, theirs, tolerance):
    """Pixels opaque in both that differ by more than `tolerance`, over all frames; and, apart,
    pixels translucent in both (alpha 1-254) that differ in any channel by more than it."""
    from PIL import Image
    a = sorted(f for f in os.listdir(ours) if f.endswith(".png"))
    b = sorted(f for f in os.listdir(theirs) if f.endswith(".png"))
    if len(a) != len(b):
        return f"frame count {len(a)} vs {len(b)}"
    bad = checked = translucent = translucent_bad = worst = 0
    for fa, fb in zip(a, b):
        x = Image.open(os.path.join(ours, fa)).convert("RGBA")
        y = Image.open(os.path.join(theirs, fb)).convert("RGBA")
        w, h = min(x.width, y.width), min(x.height, y.height)
        px, py = x.load(), y.load()
        for j in range(0, h, 2):
            for i in range(0, w, 2):
                p, q = px[i, j], py[i, j]
                if p[3] == 255 and q[3] == 255:
                    checked += 1
                    if max(abs(p[k] - q[k]) for k in range(3)) > tolerance:
                        bad += 1
                elif 0 < p[3] < 255 and 0 < q[3] < 255:
                    translucent += 1
                    difference = max(abs(p[k] - q[k]) for k in range(4))
                    if difference > tolerance:
                        translucent_bad += 1
                        worst = max(worst, difference)
    verdict = f"{bad} of {checked} sampled opaque pixels differ" if bad else f"equal ({checked} sampled opaque pixels)"
    if translucent_bad:
        verdict += f"; {translucent_bad} of {translucent} sampled translucent pixels differ, by at most {worst} levels"
    elif translucent:
        verdict += f"; translucent ones equal ({translucent} sampled)"
    return verdict

def compare_avifdec(ours, src, step=12):
    """Every step-th frame against libavif's own decoder, all four channels."""
    from PIL import Image
    frames = sorted(f for f in os.listdir(ours) if f.endswith(".png"))
    bad = checked = worst = 0
    with tempfile.TemporaryDirectory() as tmp:
        for i in range(0, len(frames), step):
            ref = os.path.join(tmp, "ref.png")
            subprocess.run(["avifdec", "--depth", "8", "--index", str(i), src, ref], check=True,
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            a = list(Image.open(os.path.join(ours, frames[i])).convert("RGBA").getdata())
            b = list(Image.open(ref).convert("RGBA").getdata())
            checked += len(a)
            bad += sum(1 for p, q in zip(a, b) if p != q)
            worst = max([worst] + [abs(x - y) for p, q in zip(a, b) for x, y in zip(p, q)])
    if not bad:
        return f"equal ({checked} pixels of every {step}th frame)"
    return f"{bad} of {checked} pixels differ, by at most {worst} levels"

def main():
    work = tempfile.mkdtemp(prefix="framelot-bench-")
    inputs = os.path.join(work, "inputs")
    os.mkdir(inputs)
    subprocess.run([MAKE, inputs], check=True)
    print(f"generated files: seed {SEED} (BENCH_SEED={SEED} makes them again)", file=sys.stderr)
    made = subprocess.run([MAKE, inputs, "--generated", str(SEED), str(GENERATED)], check=True,
                          capture_output=True, text=True).stdout
    families = dict(line.split("\t", 1) for line in made.strip().splitlines())
    made = subprocess.run([MAKE, inputs, "--video", str(SEED), str(VIDEO)], check=True,
                          capture_output=True, text=True).stdout if VIDEO else ""
    videos = dict(line.split("\t", 1) for line in made.strip().splitlines())
    files = [("gif", "scene.gif", "ImageMagick", 0), ("gif", "flat.gif", "ImageMagick", 0),
             ("gif", "photo.gif", "ImageMagick", 0), ("apng", "scene.png", "Pillow", 0),
             ("apng", "sprite.png", "Pillow", 0), ("webp", "scene.webp", "Pillow", 2),
             ("webp", "noisy.webp", "Pillow", 2), ("avif", "scene.avif", "ffmpeg", 3),
             ("jxl", "scene.jxl", None, 0),
             # Kinds we did not tune on.
             ("gif", "dither8.gif", "ImageMagick", 0), ("apng", "translucent.png", "Pillow", 0),
             ("webp", "long.webp", "Pillow", 2), ("avif", "translucent.avif", "ffmpeg", 3),
             ("jxl", "dither8.jxl", None, 0)]
    for name in list(families) + list(videos):
        fmt = FORMAT_OF[os.path.splitext(name)[1]]
        files.append((fmt, name) + CHECKER[fmt])
    if ONLY:
        files = [f for f in files if f[1] in ONLY]
    rows, checks, summary, failed = [], [], [], {}
    for fmt, name, checker, tolerance in files:
        src = os.path.join(inputs, name)
        names = [n for n, _ in tools(fmt, src, "")]
        results = {n: [] for n in names}
        for round_ in range(ROUNDS + 1):
            order = names[round_ % len(names):] + names[:round_ % len(names)]
            for tool in order:
                if tool in failed.get(name, {}):
                    continue
                # A peer that takes minutes (avifdec, once a frame) is timed in one round.
                if round_ > 1 and results[tool] and results[tool][0][0] > SLOW_PEER_SECONDS:
                    continue
                try:
                    seconds, peak, size, frames, base = run(fmt, tool, src, work)
                except RuntimeError as error:
                    if tool in ("framelot", "floor"):
                        raise
                    # A peer that cannot do this file leaves the row; the report says why.
                    failed.setdefault(name, {})[tool] = str(error).strip().splitlines()[-1][:200]
                    print(f"{name} {tool} round {round_}: failed", file=sys.stderr)
                    continue
                if round_ == 0 and (checker or fmt == "avif") and tool in ("framelot", checker):
                    results.setdefault("_frames_" + tool, frames)
                else:
                    shutil.rmtree(base)
                if round_ > 0:
                    results[tool].append((seconds, peak, size))
                print(f"{name} {tool} round {round_}: {seconds:.2f} s", file=sys.stderr)
        ours = statistics.median(s for s, _, _ in results["framelot"])
        names = [t for t in names if t not in failed.get(name, {})]
        if checker in failed.get(name, {}):
            checker = None
        peers = [t for t in names if t not in ("framelot", "floor")]
        frame_writers = [t for t in peers if t != "djxl"]  # djxl writes one APNG, not frames
        smallest = min(results[t][0][2] for t in frame_writers) if frame_writers else None
        fastest = min(statistics.median(s for s, _, _ in results[t]) for t in peers) if peers else None
        for tool in names:
            med = statistics.median(s for s, _, _ in results[tool])
            peak = max(p for _, p, _ in results[tool])
            size = results[tool][0][2]
            rows.append((name, tool, med, med / ours, size,
                         size / smallest if smallest and tool in ["framelot"] + frame_writers else None, peak))
        floor = statistics.median(s for s, _, _ in results["floor"])
        summary.append((name, fmt, ours, fastest, fastest / ours if fastest else None,
                        results["framelot"][0][2] / smallest if smallest else None, floor, ours / floor))
        if checker:
            checks.append((name, checker, compare(results["_frames_framelot"], results["_frames_" + checker], tolerance)))
        if fmt == "avif":  # ffmpeg drops the alpha track and upsamples chroma its own way
            checks.append((name, "avifdec, all channels", compare_avifdec(results["_frames_framelot"], src)))
    # The page in a browser, a file a format, where make web has built it.
    web_table = []
    if os.path.exists(os.path.join(WEB, "framelot.wasm")) and shutil.which("node") and not ONLY:
        chosen = [os.path.join(inputs, n) for n in ("scene.gif", "scene.png", "scene.webp", "scene.avif", "scene.jxl")]
        web = subprocess.run(["node", os.path.join(ROOT, "bench", "web.mjs"), WEB, CLI] + chosen,
                             capture_output=True, text=True)
        web_table = web.stdout.strip().splitlines() if web.returncode == 0 else [f"(the page's run failed: {web.stderr.strip()[-200:]})"]
    shutil.rmtree(work)

    cpu = next((l.split(":", 1)[1].strip() for l in open("/proc/cpuinfo") if l.startswith("model name")), platform.processor())
    lines = ["# Benchmark results", "",
             f"Machine: {cpu}, {os.cpu_count()} cores, {round(os.sysconf('SC_PAGE_SIZE') * os.sysconf('SC_PHYS_PAGES') / 2**30)} GiB, "
             f"{platform.system()} {platform.release()}. {ROUNDS} timed rounds after a warm-up; tools alternate.", "",
             "Per file: our time, the fastest peer's, how many times faster we are, our output bytes over the",
             "smallest output any peer writes, the floor (the same decoding and composing, no PNG written), and",
             "our time over the floor (what writing the PNGs adds). The last five files are kinds the encoder was",
             "not tuned on: an 8-colour dithered, optimised GIF with transparency, an encoder's APNG of a",
             "semi-transparent scene, a 600-frame lossy WebP, that APNG as an AVIF and that GIF as a lossless",
             "JPEG XL. The last column says how our PNG frames were written, in percent: encoded in full, in",
             "bands (the rows unchanged since the writer thread's last frame taken from its parse), or",
             "recalled (an equal frame's file copied).", "",
             "| file | framelot s | fastest peer s | speed × fastest peer | × smallest peer bytes | floor s | ours / floor | full/bands/recalled % |",
             "|---|---:|---:|---:|---:|---:|---:|---:|"]
    shown = lambda v, form: format(v, form) if v is not None else "-"
    for name, fmt, ours, fastest, speed, bytes_ratio, floor, over_floor in summary:
        if name in families or name in videos:
            continue
        lines.append(f"| {name} | {ours:.2f} | {shown(fastest, '.2f')} | {shown(speed, '.2f')} | "
                     f"{shown(bytes_ratio, '.2f')} | {floor:.2f} | {over_floor:.2f} | {writer_share(name)} |")
    generated = [row for row in summary if row[0] in families]
    if generated or videos:
        lines += ["", f"Generated files, seed {SEED} (`BENCH_SEED={SEED} make bench` makes them again; each run draws",
                  "new ones): content from random families of colour count, dithering, noise, motion, translucency,",
                  "held and returning frames, frame size (64 to 1920 wide) and count, that no part of the writer was",
                  "tuned on.", "",
                  "| file | drawn | framelot s | fastest peer s | speed × fastest peer | × smallest peer bytes | floor s | ours / floor | full/bands/recalled % |",
                  "|---|---|---:|---:|---:|---:|---:|---:|---:|"]
        for name, fmt, ours, fastest, speed, bytes_ratio, floor, over_floor in generated:
            lines.append(f"| {name} | {families[name]} | {ours:.2f} | {shown(fastest, '.2f')} | {shown(speed, '.2f')} | "
                         f"{shown(bytes_ratio, '.2f')} | {floor:.2f} | {over_floor:.2f} | {writer_share(name)} |")
    video_rows = [row for row in summary if row[0] in videos]
    if video_rows:
        lines += ["", f"GIFs made from video, seed {SEED}: the whole frame moves every frame (a panning backdrop,",
                  "moving shapes, grain), 64 to 216 colours, dithered or not, whole frames at 16:9 sizes up to 1920",
                  "wide, as a video converter writes them.", "",
                  "| file | drawn | framelot s | fastest peer s | speed × fastest peer | × smallest peer bytes | floor s | ours / floor | full/bands/recalled % |",
                  "|---|---|---:|---:|---:|---:|---:|---:|---:|"]
        for name, fmt, ours, fastest, speed, bytes_ratio, floor, over_floor in video_rows:
            lines.append(f"| {name} | {videos[name]} | {ours:.2f} | {shown(fastest, '.2f')} | {shown(speed, '.2f')} | "
                         f"{shown(bytes_ratio, '.2f')} | {floor:.2f} | {over_floor:.2f} | {writer_share(name)} |")
        lines += ["", "Per format, over the generated and the fixed files (GIFs made from video among the GIFs, and",
                  "also apart): the median and the worst of our speed over the fastest peer's and of our bytes over",
                  "the smallest peer's, the worst with its file.", "",
                  "| format | files | median speed × | worst speed × | median bytes × | worst bytes × |",
                  "|---|---:|---:|---:|---:|---:|"]
        for fmt in ("gif", "gif from video", "apng", "webp", "avif", "jxl"):
            mine = [row for row in summary if row[1] == fmt or (fmt == "gif from video" and row[0] in videos)]
            speeds = [(row[4], row[0]) for row in mine if row[4] is not None]
            sizes = [(row[5], row[0]) for row in mine if row[5] is not None]
            worst_speed = min(speeds) if speeds else None
            worst_size = max(sizes) if sizes else None
            lines.append(f"| {fmt} | {len(mine)} | "
                         f"{shown(statistics.median(v for v, _ in speeds) if speeds else None, '.2f')} | "
                         f"{f'{worst_speed[0]:.2f} ({worst_speed[1]})' if worst_speed else '-'} | "
                         f"{shown(statistics.median(v for v, _ in sizes) if sizes else None, '.2f')} | "
                         f"{f'{worst_size[0]:.2f} ({worst_size[1]})' if worst_size else '-'} |")
    lines += ["", "Every tool:", "",
              "| file | tool | median s | × framelot | output bytes | × smallest peer bytes | peak RSS KB |",
              "|---|---|---:|---:|---:|---:|---:|"]
    for name, tool, med, ratio, size, bytes_ratio, peak in rows:
        lines.append(f"| {name} | {tool} | {med:.2f} | {ratio:.2f} | {size:,} | {shown(bytes_ratio, '.2f')} | {peak:,} |")
    lines += ["", "Frames compared with a peer on pixels opaque in both (every other pixel of every frame; JPEG XL has",
              "no peer that writes frames), and apart on pixels translucent in both, all four channels. ffmpeg decodes AVIF without its alpha track and upsamples chroma its own way,",
              "so the AVIF frames are also compared with libavif's own decoder, avifdec. We ask libavif for its exact",
              "YUV conversion; an avifdec built with libyuv takes libyuv's faster path, a few levels off at colour",
              "edges, so a small difference here is avifdec's (the unit tests compare with the exact conversion):", ""]
    lines += [f"- {name} vs {checker}: {verdict}" for name, checker, verdict in checks]
    if web_table:
        lines += ["", "In a browser (make web): the page converting each file in its worker, on one thread, against",
                  "the command line on one core; the aim is within 3x.", ""] + web_table
    if failed:
        lines += ["", "Peers that could not do a file (left out of its row):", ""]
        lines += [f"- {name}, {tool}: {why}" for name, tools_ in failed.items() for tool, why in tools_.items()]
    text = "\n".join(lines) + "\n"
    # The Python table (bench/python.py) stays as it was.
    results_path = os.path.join(ROOT, "bench", "RESULTS.md")
    previous = open(results_path).read() if os.path.exists(results_path) else ""
    if "\n## In Python" in previous:
        text += "\n" + previous[previous.index("\n## In Python") + 1:]
    if not ONLY:
        open(results_path, "w").write(text)
    print(text)

if __name__ == "__main__":
    main()
