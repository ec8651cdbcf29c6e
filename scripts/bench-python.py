#!/usr/bin/python3
"""mokrin.repair on short strings beside BestRepair, the call it makes, called from C++.

Usage: /usr/bin/python3 scripts/bench-python.py [BUILD_DIR]   (default build-bench)

BUILD_DIR is a Release build with -DMOK_BENCHMARKS=ON, built with
`cmake --build BUILD_DIR --target python_bench _mokrin`. Both sides take the
lines of 20 to 200 UTF-16 code units of the repair benchmark corpus, garbled
and clean ones apart, by the same rule ("all": every line once, the two sets'
figures weighed by their lines). Printed: calls per second and time
per call on one core for C++ and for Python, the difference (the module's
own cost per call; noisy, as it is the difference of two measurements), the
calls per second of one and of two threads (the GIL is released during the
C++ work, so a second core adds its share), and the module's fixed cost
measured directly: mokrin.repair of the empty string, for which the library
returns at once, and of a 200-character line through the str conversions
alone (mokrin.reinterpret by the byte view, 1200 to 1200).
"""
import json
import pathlib
import subprocess
import sys
import threading
import time

ROOT = pathlib.Path(__file__).resolve().parent.parent
BUILD = pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else ROOT / "build-bench").resolve()
sys.path.insert(0, str(BUILD / "python"))
import mokrin  # noqa: E402


def short_lines():
    sets = {True: [], False: []}
    with open(ROOT / "repair" / "corpus" / "benchmark.jsonl", encoding="utf-8") as corpus:
        for row in corpus:
            entry = json.loads(row)
            for line in entry["input"].split("\n"):
                if 20 <= len(line.encode("utf-16-le", "surrogatepass")) // 2 <= 200:
                    sets[entry["garbling"] != "clean"].append(line)
    return sets


def cpp_seconds_per_call(function):
    out = subprocess.run(
        [str(BUILD / "bench" / "python_bench"), f"--benchmark_filter=BM_{function}Short", "--benchmark_format=json"],
        check=True, capture_output=True, text=True).stdout
    times = {}
    for entry in json.loads(out)["benchmarks"]:
        kind = entry["name"].split("/")[1]
        times[kind == "garbled"] = entry["cpu_time"] * {"ns": 1e-9, "us": 1e-6, "ms": 1e-3}[entry["time_unit"]]
    return times


def python_seconds_per_call(lines, seconds=3.0):
    """Every line of the set in turn, as the C++ benchmark takes them, for at
    least one whole pass."""
    calls, start = 0, time.process_time()
    while calls < len(lines) or time.process_time() - start < seconds:
        for line in lines[calls % len(lines):][:2000]:
            mokrin.repair(line)
            calls += 1
    return (time.process_time() - start) / calls


def seconds_per_call(call, seconds=1.0):
    calls, start = 0, time.process_time()
    while time.process_time() - start < seconds:
        for _ in range(1000):
            call()
        calls += 1000
    return (time.process_time() - start) / calls


def threaded_calls_per_second(lines, threads, seconds=3.0):
    counts = [0] * threads
    stop = time.perf_counter() + seconds

    def work(index):
        i = index
        while time.perf_counter() < stop:
            mokrin.repair(lines[i % len(lines)])
            counts[index] += 1
            i += threads

    workers = [threading.Thread(target=work, args=(i,)) for i in range(threads)]
    start = time.perf_counter()
    for worker in workers:
        worker.start()
    for worker in workers:
        worker.join()
    return sum(counts) / (time.perf_counter() - start)


def main():
    sets = short_lines()
    cpp = cpp_seconds_per_call("BestRepair")
    listed = cpp_seconds_per_call("SuggestRepairs")
    print(f"lines of 20-200 code units: {len(sets[True])} garbled, {len(sets[False])} clean")
    print("| strings | C++ BestRepair | mokrin.repair | module's cost per call | 1 thread | 2 threads "
          "| C++ SuggestRepairs(text, 1) |")
    print("|---|---:|---:|---:|---:|---:|---:|")
    rows = {}
    for garbled in (True, False):
        lines = sets[garbled]
        rows[garbled] = (cpp[garbled], python_seconds_per_call(lines), threaded_calls_per_second(lines, 1),
                         threaded_calls_per_second(lines, 2), listed[garbled])
    # Every line once: each set's time per call weighed by its lines.
    weights = {garbled: len(sets[garbled]) / (len(sets[True]) + len(sets[False])) for garbled in (True, False)}
    rows[None] = tuple(sum(weights[g] * rows[g][i] for g in (True, False)) for i in (0, 1)) + tuple(
        1 / sum(weights[g] / rows[g][i] for g in (True, False)) for i in (2, 3)) + (
        sum(weights[g] * rows[g][4] for g in (True, False)),)
    for garbled, name in ((True, "garbled"), (False, "clean"), (None, "all")):
        c, py, one, two, suggest = rows[garbled]
        print(f"| {name} | {c * 1e6:.1f} µs ({1 / c:,.0f}/s) | {py * 1e6:.1f} µs ({1 / py:,.0f}/s) "
              f"| {(py - c) * 1e6:+.2f} µs | {one:,.0f}/s | {two:,.0f}/s | {suggest * 1e6:.1f} µs |")
    line = max(sets[True], key=len)
    print(f"mokrin.repair(''): {seconds_per_call(lambda: mokrin.repair('')) * 1e6:.2f} µs per call; "
          f"reinterpret of {len(line)} characters by the byte view: "
          f"{seconds_per_call(lambda: mokrin.reinterpret(line, 1200, 1200)) * 1e6:.2f} µs per call")


if __name__ == "__main__":
    main()
