"""Shared inputs of the mokrin tests: lines of the repair benchmark corpus."""
import json
import pathlib

import pytest

ROOT = pathlib.Path(__file__).resolve().parents[2]


def garbled_lines(count, step=7):
    """Non-empty lines of the benchmark's garbled texts, every step-th one."""
    lines = []
    with open(ROOT / "repair" / "corpus" / "benchmark.jsonl", encoding="utf-8") as corpus:
        for row in corpus:
            entry = json.loads(row)
            if entry["garbling"] != "clean":
                lines += [line for line in entry["input"].splitlines() if line.strip()]
    return lines[::step][:count]


@pytest.fixture(scope="session")
def root():
    return ROOT
