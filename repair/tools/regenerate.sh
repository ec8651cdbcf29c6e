#!/usr/bin/env bash
# Rebuilds the language model tables and the benchmark corpus of the repair
# suggestions from the Debian packages named in repair/model/SOURCES.md.
# Usage: repair/tools/regenerate.sh [--new-manifest]
#   Without --new-manifest it refuses to run when an installed package or file
#   differs from repair/model/MANIFEST.txt.
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
work="$root/build-model"
# Debian's own Python, whose codecs make the samples of other programs' decoders.
python=/usr/bin/python3
"$python" "$root/repair/tools/build_model.py" --work "$work" "$@"
cmake -S "$root" -B "$work/build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DMOK_TESTS=OFF >/dev/null
cmake --build "$work/build" --target make_corpus
mkdir -p "$root/repair/corpus"
"$work/build/repair/tools/make_corpus" "$work/passages.jsonl" "$work/program.jsonl"
"$python" "$root/repair/tools/garble_python.py" "$work/passages.jsonl" "$work/python.jsonl"
"$work/build/repair/tools/make_corpus" --decode "$work/python.jsonl" "$work/python-read.jsonl"
cat "$work/program.jsonl" "$work/python-read.jsonl" > "$root/repair/corpus/benchmark.jsonl"
