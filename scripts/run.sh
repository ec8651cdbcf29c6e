#!/usr/bin/env bash
# Installs what is missing, builds Mokrin and starts it.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/install-deps.sh"
cmake -S "$root" -B "$root/build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DMOK_TESTS=OFF >/dev/null
cmake --build "$root/build" --target mokrin
exec "$root/build/mokrin"
