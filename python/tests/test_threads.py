"""The module lets go of the GIL while the core works, so Python threads
run beside it."""

import sys
import threading

import framelot
from conftest import write_gif


def steps_beside(work):
    """How many times this thread gets to run while another runs `work`.

    The switch interval is made so long that a thread holding the GIL keeps
    it: this thread then runs only while the other has let it go."""
    interval = sys.getswitchinterval()
    sys.setswitchinterval(100)
    try:
        started, done = threading.Event(), threading.Event()

        def call():
            started.set()
            work()
            done.set()

        worker = threading.Thread(target=call)
        worker.start()
        started.wait()
        steps = 0
        while not done.wait(0.0002):
            steps += 1
        worker.join()
        return steps
    finally:
        sys.setswitchinterval(interval)


def test_python_runs_while_frames_are_read_and_written(tmp_path):
    frames = [bytes([i % 7]) * (320 * 240) for i in range(900)]
    path = write_gif(tmp_path / "busy.gif", frames, 320, 240, [c for i in range(256) for c in (i, i, 255 - i)])

    def held():  # Python's own work holds the GIL: the measure of holding it
        total = 0
        for i in range(3_000_000):
            total += i

    assert steps_beside(held) < 5
    for work in (lambda: framelot.read(path, every=3), lambda: sum(1 for _ in framelot.frames(path)),
                 lambda: framelot.convert([path], output=tmp_path / "out", format="webp")):
        assert steps_beside(work) >= 10


def test_two_threads_read_side_by_side(tmp_path):
    frames = [bytes([i % 7]) * (64 * 48) for i in range(300)]
    path = write_gif(tmp_path / "busy.gif", frames, 64, 48, [c for i in range(256) for c in (i, i, 255 - i)])
    results = [None, None]
    threads = [threading.Thread(target=lambda i=i: results.__setitem__(i, framelot.read(path, every=3)[0]))
               for i in range(2)]
    for thread in threads:
        thread.start()
    for thread in threads:
        thread.join()
    assert (results[0] == results[1]).all() and results[0].shape[0] == 100
