"""mokrin.dask: a cluster of two worker processes repairs a corpus exactly as
one process does, and how many lines a second each manages."""
import time

import dask
import dask.bag
import pytest
from dask.distributed import Client, LocalCluster

import mokrin
import mokrin.dask
from conftest import garbled_lines

LINES = garbled_lines(3000)


@pytest.fixture(scope="module")
def expected():
    return [mokrin.repair(line) for line in LINES]


def lines_per_second(workers):
    with LocalCluster(n_workers=workers, threads_per_worker=1, processes=True, dashboard_address=None) as cluster:
        with Client(cluster) as client:
            client.wait_for_workers(workers)
            # Warm the workers (import, model) before the clock starts.
            mokrin.dask.repair_bag(dask.bag.from_sequence(LINES[:8], npartitions=workers)).compute()
            start = time.perf_counter()
            repaired = mokrin.dask.repair_bag(dask.bag.from_sequence(LINES, npartitions=8 * workers)).compute()
            return repaired, len(LINES) / (time.perf_counter() - start)


def test_two_worker_processes_repair_as_one_process_does(expected):
    assert len(LINES) == 3000
    assert sum(a != b for a, b in zip(LINES, expected)) > len(LINES) // 2  # mostly garbled lines
    rates = {}
    for workers in (1, 2):
        repaired, rates[workers] = lines_per_second(workers)
        assert repaired == expected
    print(f"\nmokrin.dask: {rates[1]:.0f} lines/s with 1 worker, {rates[2]:.0f} lines/s with 2 workers")


def test_files_are_repaired_line_by_line_under_their_own_names(tmp_path, expected):
    # One file in GBK, one in UTF-8, each of the lines it can hold (a lone
    # high surrogate has no bytes in either), each read in the format detected.
    def held(encoding):
        return [i for i, line in enumerate(LINES) if mokrin.decode_bytes(mokrin.encode_text(line, encoding), encoding) == line]

    parts = [(held("gbk")[:40], "gbk"), (held("utf8")[:100], "utf8")]
    sources = []
    for i, (rows, encoding) in enumerate(parts):
        folder = tmp_path / f"in{i}"
        folder.mkdir()
        sources.append(folder / f"part{i}.txt")
        sources[-1].write_bytes(mokrin.encode_text("\r\n".join(LINES[r] for r in rows) + "\r\n", encoding))
    with dask.config.set(scheduler="threads"):
        written = mokrin.dask.repair_files(sources, tmp_path / "out", encoding=None)
    assert written == [str(tmp_path / "out" / f"part{i}.txt") for i in range(2)]
    for path, (rows, _) in zip(written, parts):
        with open(path, "rb") as result:
            assert result.read().decode() == "\r\n".join(expected[r] for r in rows) + "\r\n"


def test_two_files_of_one_name_are_refused_before_anything_is_written(tmp_path):
    for folder in ("a", "b"):
        (tmp_path / folder).mkdir()
        (tmp_path / folder / "same.txt").write_text("x")
    with pytest.raises(ValueError, match="same.txt"):
        mokrin.dask.repair_files([tmp_path / "a" / "same.txt", tmp_path / "b" / "same.txt"], tmp_path / "out")
    assert not (tmp_path / "out").exists()
