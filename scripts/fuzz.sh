#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (AddressSanitizer and
# UndefinedBehaviorSanitizer) and runs each for a bounded time.
# Usage: scripts/fuzz.sh [seconds per target, default 60]
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
seconds="${1:-60}"
build="$root/build-fuzz"
command -v clang++ >/dev/null || { echo "fuzz: clang++ is not installed" >&2; exit 1; }
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DMOK_FUZZERS=ON -DMOK_FUZZERS_ONLY=ON -DMOK_TESTS=OFF >/dev/null
targets=$(cd "$root/fuzz" && ls fuzz_*.cpp | sed 's/\.cpp$//')
cmake --build "$build" --target $targets
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
status=0
for target in $targets; do
  corpus="$build/corpus/$target"
  mkdir -p "$corpus"
  log="$build/$target.log"
  # libFuzzer exits non-zero when it finds a crash, a leak or a time-out.
  if (cd "$build" && "./fuzz/$target" -max_total_time="$seconds" -print_final_stats=1 "$corpus" >"$log" 2>&1); then
    runs=$(grep -oE 'stat::number_of_executed_units: *[0-9]+' "$log" | grep -oE '[0-9]+$' || echo "?")
    echo "$target: $runs executions in ${seconds}s, nothing found"
  else
    echo "$target: FAILED"
    tail -n 60 "$log"
    status=1
  fi
done
exit $status
