#!/usr/bin/env bash
# Cold start to the first painted window, and peak memory: mokrin (quitting after
# its first paint under MOK_EXIT_AFTER_FIRST_PAINT) against startup_probe, a bare
# Qt window with a plain-text editor that does the same. Both run on the
# offscreen platform through the same launcher, alternating, after one untimed
# warm-up run each. Wall time is taken with the nanosecond clock around the
# launcher (its own cost is the same for both); peak RSS is /usr/bin/time's %M.
# Prints the medians and the ratios mokrin / probe.
# Usage: scripts/bench-startup.sh [runs, default 20] [build dir, default build-bench]
#   The build dir needs -DMOK_BENCHMARKS=ON and the targets mokrin and startup_probe.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
runs="${1:-20}"
build="${2:-$root/build-bench}"
mokrin="$build/mokrin"
probe="$build/bench/startup_probe"
for binary in "$mokrin" "$probe"; do
  [ -x "$binary" ] || { echo "bench-startup: $binary is missing; build mokrin and startup_probe" >&2; exit 1; }
done

tmp="$(mktemp -d)"
trap 'rm -rf "$tmp"' EXIT
mkdir -m 700 "$tmp/runtime" "$tmp/config"
# Both read an empty settings folder and never see the user's own.
export QT_QPA_PLATFORM=offscreen XDG_RUNTIME_DIR="$tmp/runtime" XDG_CONFIG_HOME="$tmp/config"
export MOK_EXIT_AFTER_FIRST_PAINT=1  # the probe quits after its first paint anyway

# run NAME BINARY: appends "wall_ms rss_kb" to $tmp/NAME.
run() {
  local start end
  start=$(date +%s%N)
  if ! timeout 60 /usr/bin/time -f "%M" -o "$tmp/time" "$2" >/dev/null 2>&1; then
    echo "bench-startup: $2 failed or did not quit after its first paint" >&2
    exit 1
  fi
  end=$(date +%s%N)
  echo "$(( (end - start) / 1000 )) $(tail -n 1 "$tmp/time")" >>"$tmp/$1"
}

run warmup "$probe"
run warmup "$mokrin"
for ((i = 0; i < runs; ++i)); do
  run probe "$probe"
  run mokrin "$mokrin"
done

# median FILE COLUMN
median() {
  cut -d' ' -f"$2" "$1" | sort -n | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
}

probe_us=$(median "$tmp/probe" 1)
probe_kb=$(median "$tmp/probe" 2)
mokrin_us=$(median "$tmp/mokrin" 1)
mokrin_kb=$(median "$tmp/mokrin" 2)
echo "$runs runs each, alternating, QT_QPA_PLATFORM=offscreen"
awk -v pu="$probe_us" -v pk="$probe_kb" -v mu="$mokrin_us" -v mk="$mokrin_kb" 'BEGIN {
  printf "%-15s %16s %20s\n", "", "median wall ms", "median peak RSS MB"
  printf "%-15s %16.1f %20.1f\n", "startup_probe", pu / 1000, pk / 1024
  printf "%-15s %16.1f %20.1f\n", "mokrin", mu / 1000, mk / 1024
  printf "%-15s %15.2fx %19.2fx   (target: at most 1.5x)\n", "mokrin / probe", mu / pu, mk / pk
}'
