"""Batches on a Dask cluster keep the command line's promises."""

import pytest

import framelot
from conftest import SAMPLES, files_under, run_cli

distributed = pytest.importorskip("distributed")
framelot_dask = pytest.importorskip("framelot.dask")


@pytest.fixture(scope="module")
def client():
    cluster = distributed.LocalCluster(n_workers=2, threads_per_worker=1, processes=True, dashboard_address=None)
    with distributed.Client(cluster) as connected:
        yield connected
    cluster.close()


def twenty_files(sample, folder):
    """Four copies a format (one GIF), "same.gif" and "same.webp" (one output folder
    for both: the first one given writes it) and a damaged GIF."""
    for kind in sorted(SAMPLES):
        for n in range(4 if kind != "gif" else 1):
            source, _ = SAMPLES[kind]
            sample(kind, folder, f"{kind}-{n}{source.suffix}")
    sample("gif", folder, "same.gif")
    sample("webp", folder, "same.webp")
    damaged = sample("gif", folder, "damaged.gif")
    damaged.write_bytes(damaged.read_bytes()[:-40])
    return sorted(p.name for p in folder.iterdir())


def test_two_workers_write_the_command_lines_files(client, sample, tmp_path):
    names = twenty_files(sample, tmp_path / "cli")
    twenty_files(sample, tmp_path / "py")
    assert len(names) == 20
    _, out, _ = run_cli("-o", tmp_path / "cli-out", tmp_path / "cli")
    results = framelot_dask.convert(tmp_path / "py", client=client, output=tmp_path / "py-out", progress=False)
    assert files_under(tmp_path / "py-out") == files_under(tmp_path / "cli-out")
    lines = [line.replace(str(tmp_path / "cli"), "") for line in out.splitlines()[:-1]]
    assert [r.line.replace(str(tmp_path / "py"), "") for r in results] == lines
    by_name = {r.path.rsplit("/", 1)[1]: r for r in results}
    assert by_name["damaged.gif"].status == "damaged" and by_name["damaged.gif"].frames_written > 0
    assert by_name["same.webp"].status == "skipped" and "same.gif" in by_name["same.webp"].reason
    assert sum(r.status == "converted" for r in results) == 18


def test_refused_options_raise_before_any_task(client, sample, tmp_path):
    sample("gif")
    with pytest.raises(ValueError, match="^--every takes"):
        framelot_dask.convert(tmp_path, client=client, every=0)


def test_frames_as_a_bag(client, sample, tmp_path):
    paths = [sample(kind) for kind in sorted(SAMPLES)]
    items = framelot_dask.frames(paths).compute(scheduler=client.get)
    assert [(path, index) for path, index, _ in items] == [
        (str(p), i) for p, (kind) in zip(paths, sorted(SAMPLES)) for i in range(SAMPLES[kind][1])]
    pixels, _ = framelot.read(paths[0])
    first = [frame for path, _, frame in items if path == str(paths[0])]
    assert all((frame.pixels == pixels[i, :frame.shape[0], :frame.shape[1]]).all() for i, frame in enumerate(first))


def test_without_a_client_a_local_cluster_converts_and_closes(sample, tmp_path, capsys):
    gif = sample("gif")
    (result,) = framelot_dask.convert([gif], output=tmp_path / "out", progress=True)
    assert result.status == "converted" and result.frames_written == SAMPLES["gif"][1]
    assert "100%" in capsys.readouterr().out  # Dask's progress bar
